;;; macros.lisp -- new control forms with DEFMACRO and backquote.
;;;
;;; The dialect has no WHEN, UNLESS, PUSH, POP or INCF built in; this
;;; file defines them, and WHILE, FOR and SWAP, as macros.  A macro
;;; receives its argument forms unevaluated and returns a new form, which
;;; is then evaluated where the macro was used.  In a backquote template,
;;; ,x puts in the value of x and ,@x splices in the elements of a list.
;;;
;;; Load it from the top of the source tree:
;;;     (load "examples/macros.lisp")

(defmacro when (test &body body)
  `(if ,test (progn ,@body) nil))

(defmacro unless (test &body body)
  `(if ,test nil (progn ,@body)))

;; (while test form ...) repeats the forms as long as the test is true.
;; LOOP runs until RETURN; both come with the dialect.
(defmacro while (test &body body)
  `(loop (unless ,test (return nil)) ,@body))

;; (for (var from to) form ...) counts var from FROM up to TO inclusive.
(defmacro for (range &body body)
  `(let ((,(first range) ,(second range)))
     (while (<= ,(first range) ,(third range))
       ,@body
       (setq ,(first range) (1+ ,(first range))))))

(defmacro push (item place) `(setq ,place (cons ,item ,place)))

(defmacro pop (place)
  `(prog1 (car ,place) (setq ,place (cdr ,place))))

;; (incf x) adds 1, (incf x n) adds n.  An optional argument is written
;; as &rest and looked at by hand.
(defmacro incf (place &rest by)
  `(setq ,place (+ ,place ,(if by (car by) 1))))

;; SWAP needs a temporary variable whose name cannot clash with the
;; caller's variables: GENSYM makes a fresh symbol that no program can
;; name.
(defmacro swap (a b)
  (let ((tmp (gensym)))
    `(let ((,tmp ,a))
       (setq ,a ,b)
       (setq ,b ,tmp))))

(defun show (label x)
  (princ label)
  (prin1 x)
  (terpri))

;; MACROEXPAND shows the form a macro call turns into (one step).
(show "(while (> n 0) (decrement)) expands to " (macroexpand '(while (> n 0) (decrement))))
(show "(incf total 5) expands to " (macroexpand '(incf total 5)))

(defun collatz-steps (n)
  (let ((steps 0))
    (while (> n 1)
      (if (evenp n) (setq n (/ n 2)) (setq n (+ (* 3 n) 1)))
      (incf steps))
    steps))
(show "Collatz steps from 27: " (collatz-steps 27))

(defun squares-up-to (n)
  (let ((result nil))
    (for (i 1 n) (push (* i i) result))
    (reverse result)))
(show "squares: " (squares-up-to 10))

(defun stack-demo ()
  (let ((stack nil) (popped nil))
    (push 'a stack)
    (push 'b stack)
    (push 'c stack)
    (setq popped (pop stack))
    (list popped stack)))
(show "pop after pushing A B C: " (stack-demo))

(defun swap-demo ()
  (let ((x 1) (y 2) (tmp 'mine))
    (swap x y)
    (list x y tmp)))
(show "x, y and tmp after (swap x y): " (swap-demo))

(show "(when (> 2 1) 'yes 'really) is " (when (> 2 1) 'yes 'really))
(show "(unless (> 2 1) 'no) is " (unless (> 2 1) 'no))
