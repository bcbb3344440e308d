;;; queens.lisp -- a recursive search: the n-queens puzzle.
;;;
;;; Place n queens on an n x n board so that no two attack each other.
;;; A solution is a list of column numbers, one per row, built row by
;;; row; SAFE-P checks a new queen against those already placed.
;;;
;;; Load it from the top of the source tree:
;;;     (load "examples/queens.lisp")

;; A queen in column COL of the next row attacks none of PLACED, the
;; columns of the rows above, nearest row first.
(defun safe-p (col placed)
  (let ((distance 1) (ok t))
    (dolist (c placed)
      (if (or (= c col)
              (= c (+ col distance))
              (= c (- col distance)))
          (setq ok nil))
      (setq distance (1+ distance)))
    ok))

;; Every way to complete PLACED to N rows; each solution is returned
;; top row first.
(defun queens-from (n placed)
  (if (= (length placed) n)
      (list (reverse placed))
      (let ((found nil))
        (dotimes (col n)
          (if (safe-p col placed)
              (setq found (append found (queens-from n (cons col placed))))))
        found)))

(defun queens (n) (queens-from n nil))

;; Draw a board: Q for a queen, a dot for an empty square.
(defun draw (solution)
  (let ((n (length solution)))
    (dolist (col solution)
      (dotimes (i n)
        (if (> i 0) (princ " "))
        (princ (if (= i col) "Q" ".")))
      (terpri))))

(princ "The solutions for 6 queens:")
(terpri)
(dolist (s (queens 6))
  (prin1 s)
  (terpri))
(terpri)
(princ "The first one drawn:")
(terpri)
(draw (car (queens 6)))
(terpri)
(princ "Number of solutions for n = 1 ... 8:")
(terpri)
(dotimes (i 8)
  (princ "  n = ")
  (prin1 (1+ i))
  (princ ": ")
  (prin1 (length (queens (1+ i))))
  (terpri))
