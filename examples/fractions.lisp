;;; fractions.lisp -- exact arithmetic with fractions.
;;;
;;; Integers divided by integers give reduced fractions, never rounded
;;; floating numbers: (/ 1 3) is 1/3 and (+ 1/2 1/3) is 5/6.  This file
;;; computes harmonic numbers, Bernoulli numbers and Egyptian fractions.
;;;
;;; Load it from the top of the source tree:
;;;     (load "examples/fractions.lisp")

;; Print a label, a value and a newline.
(defun show (label x)
  (princ label)
  (prin1 x)
  (terpri))

;; H(n) = 1 + 1/2 + ... + 1/n
(defun harmonic (n)
  (let ((sum 0))
    (dotimes (i n)
      (setq sum (+ sum (/ 1 (1+ i)))))
    sum))

(princ "Harmonic numbers H(n) = 1 + 1/2 + ... + 1/n")
(terpri)
(dolist (n '(1 2 3 4 5 10 20))
  (princ "  H(")
  (prin1 n)
  (show ") = " (harmonic n)))

;; Binomial coefficient n over k, by the product formula; every partial
;; product divided so far is itself a binomial coefficient, so it stays exact.
(defun choose (n k)
  (let ((r 1))
    (dotimes (i k)
      (setq r (/ (* r (- n i)) (1+ i))))
    r))

;; Bernoulli numbers B(0) ... B(m) from the recurrence
;;   B(m) = -1/(m+1) * sum_{k<m} (m+1 choose k) B(k),  B(0) = 1.
;; The result is a list, B(0) first.  (- x) with one argument returns x
;; unchanged in this dialect, so a value is negated as (- 0 x).
(defun bernoulli-list (m)
  (let ((bs (list 1)))
    (dotimes (i m)
      (let ((n (1+ i)) (sum 0) (k 0))
        (dolist (b bs)
          (setq sum (+ sum (* (choose (1+ n) k) b)))
          (setq k (1+ k)))
        (setq bs (append bs (list (- 0 (/ sum (1+ n))))))))
    bs))

(princ "Bernoulli numbers B(0) ... B(16)")
(terpri)
(let ((i 0))
  (dolist (b (bernoulli-list 16))
    (if (not (zerop b))
        (progn (princ "  B(") (prin1 i) (show ") = " b)))
    (setq i (1+ i))))

;; The smallest integer not less than x (FLOOR gives two values; a form
;; that uses it as an argument sees the first).
(defun ceiling-of (x)
  (let ((f (floor x)))
    (if (= f x) f (1+ f))))

;; Greedy Egyptian fraction: write 0 < x < 1 as a sum of distinct unit
;; fractions, always taking the largest one that still fits.
(defun egyptian (x)
  (let ((parts nil))
    (loop
      (if (zerop x) (return (reverse parts)))
      (let ((d (ceiling-of (/ 1 x))))
        (setq parts (cons (/ 1 d) parts))
        (setq x (- x (/ 1 d)))))))

(princ "Egyptian fractions (greedy)")
(terpri)
(dolist (x '(2/3 3/7 4/13 4/17 7/15))
  (princ "  ")
  (prin1 x)
  (show " = " (egyptian x))
  (princ "    check: ")
  (prin1 (apply #'+ (egyptian x)))
  (terpri))

;; Fractions and floating numbers mix: the result is floating.
(show "1/3 + 0.5 = " (+ 1/3 0.5))
(show "(= 1/2 0.5) is " (= 1/2 0.5))
