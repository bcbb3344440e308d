;;; lists.lisp -- list processing with MAPCAR, SORT, REMOVE and ASSOC.
;;;
;;; A small table of people, each a list (name age city), is queried:
;;; names, ages, averages (an exact fraction), sorting by different keys,
;;; filtering and grouping.
;;;
;;; Load it from the top of the source tree:
;;;     (load "examples/lists.lisp")

(defparameter *people*
  '(("Sato"      34 tokyo)
    ("Suzuki"    28 osaka)
    ("Takahashi" 45 tokyo)
    ("Tanaka"    19 nagoya)
    ("Ito"       52 osaka)
    ("Watanabe"  28 tokyo)))

(defun person-name (p) (first p))
(defun person-age (p) (second p))
(defun person-city (p) (third p))

(defun show (label x)
  (princ label)
  (prin1 x)
  (terpri))

(show "names: " (mapcar #'person-name *people*))
(show "ages:  " (mapcar #'person-age *people*))

;; APPLY spreads a list as arguments; + takes any number of them.
(defun sum (numbers) (apply #'+ numbers))
(show "average age: " (/ (sum (mapcar #'person-age *people*)) (length *people*)))

;; MAPCAR with two lists walks them side by side.
(show "name/age pairs: "
      (mapcar #'(lambda (n a) (cons n a))
              (mapcar #'person-name *people*)
              (mapcar #'person-age *people*)))

;; SORT reuses the conses of the list it is given (its first cons becomes
;; the first cons of the result), so sort a copy to keep the original.
(show "youngest first: "
      (mapcar #'person-name (sort (copy *people*) #'< :key #'person-age)))

;; There is no STRING<; compare the character codes one by one.
(defun string-before-p (a b)
  (let ((x (coerce a 'list)) (y (coerce b 'list)))
    (loop
      (cond ((null y) (return nil))
            ((null x) (return t))
            ((char< (car x) (car y)) (return t))
            ((char< (car y) (car x)) (return nil)))
      (setq x (cdr x))
      (setq y (cdr y)))))

(show "by name: "
      (mapcar #'person-name (sort (copy *people*) #'string-before-p :key #'person-name)))

;; REMOVE with a :TEST keeps the elements for which the test fails; the
;; test is called with the item first and the element second.
(defun older-than (age people)
  (remove age people :test #'(lambda (limit p) (<= (person-age p) limit))))
(show "older than 30: " (mapcar #'person-name (older-than 30 *people*)))

;; Group names by city in an association list ((city name ...) ...).
(defun group-by-city (people)
  (let ((groups nil))
    (dolist (p people)
      (let ((entry (assoc (person-city p) groups)))
        (if entry
            (rplacd entry (append (cdr entry) (list (person-name p))))
            (setq groups (append groups (list (list (person-city p) (person-name p))))))))
    groups))
(princ "by city:")
(terpri)
(dolist (g (group-by-city *people*))
  (princ "  ")
  (prin1 (car g))
  (princ ": ")
  (prin1 (cdr g))
  (terpri))

(show "the original is unchanged: " (mapcar #'person-name *people*))
