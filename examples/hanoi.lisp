;;; hanoi.lisp -- recursion: the towers of Hanoi and permutations.
;;;
;;; HANOI prints the moves that carry a tower of disks from one peg to
;;; another; PERMUTATIONS builds every ordering of a list with MAPCAR
;;; and APPLY.  Both functions call themselves on a smaller problem.
;;;
;;; Load it from the top of the source tree:
;;;     (load "examples/hanoi.lisp")

;; Move N disks from peg FROM to peg TO, using peg VIA; returns the
;; number of moves made.
(defun hanoi (n from to via)
  (if (= n 0)
      0
      (let ((before (hanoi (1- n) from via to)))
        (princ "  disk ")
        (prin1 n)
        (princ ": ")
        (prin1 from)
        (princ " -> ")
        (prin1 to)
        (terpri)
        (+ before 1 (hanoi (1- n) via to from)))))

(princ "Three disks from A to C:")
(terpri)
(let ((count (hanoi 3 'a 'c 'b)))
  (princ "moves: ")
  (prin1 count)
  (terpri))

;; The same count without printing: 2^n - 1.
(defun hanoi-count (n)
  (if (= n 0) 0 (+ 1 (* 2 (hanoi-count (1- n))))))

(princ "moves for 10, 20 and 30 disks: ")
(prin1 (mapcar #'hanoi-count '(10 20 30)))
(terpri)

;; Every ordering of LST.  For each element X, the orderings of the rest
;; with X in front; APPLY #'APPEND joins the lists of lists.
(defun remove-one (x lst)
  (cond ((null lst) nil)
        ((eql x (car lst)) (cdr lst))
        (t (cons (car lst) (remove-one x (cdr lst))))))

(defun permutations (lst)
  (if (null lst)
      (list nil)
      (apply #'append
             (mapcar #'(lambda (x)
                         (mapcar #'(lambda (p) (cons x p))
                                 (permutations (remove-one x lst))))
                     lst))))

(princ "Permutations of (A B C):")
(terpri)
(dolist (p (permutations '(a b c)))
  (princ "  ")
  (prin1 p)
  (terpri))
(princ "how many orderings of 1 ... 6: ")
(prin1 (length (permutations '(1 2 3 4 5 6))))
(terpri)
