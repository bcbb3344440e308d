// READ-CHAR and PEEK-CHAR over the primitive READ-CHAR$ (library/stream.cpp),
// PROBE-FILE over OPEN and WRITE over PRIN1 and PRINC, loaded on first use (library/lisptext.h). Their optional arguments come
// as a list, since the end-of-file flag defaults to true: (read-char) and
// (read-char s) report the end as an error.
//
// PEEK-CHAR's first argument is the peek type: NIL looks at the next
// character, T first reads past blanks (space, tab, newline, return, page),
// and a character reads up to that character.
#include "library/lisptext.h"

const LispText kStreamTexts[] = {
    {"READ-CHAR", R"lisp((defun read-char (&rest a)
  (let* ((s (if a (car a) nil)) (r (if a (cdr a) nil)))
    (read-char$ 0 s (if r (car r) t) (if (and r (cdr r)) (car (cdr r)) nil)))))lisp"},
    {"PEEK-CHAR", R"lisp((defun peek-char (&rest a)
  (let* ((type (if a (car a) nil)) (r (if a (cdr a) nil))
         (s (if r (car r) nil)) (r2 (if r (cdr r) nil))
         (eofp (if r2 (car r2) t))
         (eofv (if (and r2 (cdr r2)) (car (cdr r2)) nil)) (c nil))
    (prog ()
      again
      (setq c (read-char$ 1 s eofp 'peek-char$end))
      (if (eq c 'peek-char$end) (return eofv))
      (if (cond ((null type) nil)
                ((eq type t) (member (char-code c) '(32 9 10 13 12)))
                (t (null (eql c type))))
          (progn (read-char$ 0 s eofp nil) (go again)))
      (return c)))))lisp"},
    {"PROBE-FILE", R"lisp((defun probe-file (path)
  (let ((s (ignore-errors (open path :if-does-not-exist nil))))
    (if s (progn (close s) path) nil))))lisp"},
    {"WRITE", R"lisp((defun write (object &rest keys)
  (if (and (member :escape keys) (null (getf keys :escape)))
      (princ object (getf keys :stream))
      (prin1 object (getf keys :stream)))))lisp"},
    {nullptr, nullptr},
};
