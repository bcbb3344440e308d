;;; files.lisp -- writing a file and reading it back.
;;;
;;; Writes a small file of Lisp data and text to /tmp, reads it back two
;;; ways (as Lisp objects with READ, as lines of text with READ-LINE), and
;;; at the end empties it again (the dialect has no function that deletes
;;; a file, so an empty /tmp/tamarisk-files-example.txt stays behind).
;;;
;;; Load it from the top of the source tree:
;;;     (load "examples/files.lisp")
;;;
;;; The test of the examples removes the file named on this line:
;;; scratch: /tmp/tamarisk-files-example.txt

(defparameter *scratch* "/tmp/tamarisk-files-example.txt")

;; WITH-OPEN-FILE opens the file, runs its body with the stream bound to
;; the variable, and closes the file however the body ends.  When it has
;; closed the file it prints CLOSED on the console (a newline, CLOSED and
;; a blank): that line belongs to WITH-OPEN-FILE, not to this program.
;; :DIRECTION :OUTPUT creates the file or empties an existing one.
(with-open-file (out *scratch* :direction :output)
  (princ ";; prices of fruit, in yen per kilogram" out)
  (terpri out)
  (dolist (item '((apple 480) (pear 620) (fig 1500/2) (melon 1200)))
    (prin1 item out)
    (terpri out))
  (prin1 '(note "sold by weight") out)
  (terpri out))
(terpri)

;; READ reads one object at a time and skips the comment line.  With NIL
;; as its second argument it returns its third argument at the end of the
;; file instead of stopping with an error.  (In a file, a string standing
;; alone at the top level ends at its first blank, so the note above keeps
;; its string inside a list.)
(defun read-all (file-name)
  (let ((in (open file-name)) (items nil) (x nil))
    (unwind-protect
        (loop
          (setq x (read in nil 'end-of-file))
          (if (eq x 'end-of-file) (return (reverse items)))
          (setq items (cons x items)))
      (close in))))

(defparameter *items* (read-all *scratch*))
(princ "read back as objects: ")
(prin1 *items*)
(terpri)
(princ "the fruit cost together: ")
(prin1 (apply #'+ (mapcar #'second (remove 'note *items* :test #'(lambda (tag item) (eq tag (first item)))))))
(terpri)

;; READ-LINE returns the line and a second value, T when the line was the
;; last one.  A file that ends with a newline ends with an empty line.
(princ "read back as lines:")
(with-open-file (in *scratch*)
  (let ((n 1))
    (loop
      (multiple-value-bind (line last) (read-line in)
        (if (and last (string-equal line "")) (return n))
        (terpri)
        (prin1 n)
        (princ ": ")
        (princ line)
        (setq n (1+ n))
        (if last (return n))))))
(terpri)

;; Opening for output again leaves an empty file behind.
(close (open *scratch* :direction :output))
(princ "emptied: ")
(with-open-file (in *scratch*)
  (prin1 (multiple-value-list (read-line in))))
(terpri)
