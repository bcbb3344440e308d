;;; wordcount.lisp -- counting words with a hash table.
;;;
;;; Reads examples/words.txt line by line with READ-LINE, splits each line
;;; into lower-case words, counts them in a hash table keyed by strings
;;; (so it needs :TEST #'EQUAL) and prints the most frequent words.
;;;
;;; The text is the file words.txt beside this one, found through
;;; *LOAD-PATHNAME* (the name of the file being loaded), so it runs from
;;; any folder: (load "examples/wordcount.lisp") from the top of the
;;; source tree, or tamarisk /usr/local/share/doc/tamarisk/examples/wordcount.lisp

;; A letter's lower-case form; any other character is returned as it is.
(defun lower (c)
  (let ((code (char-code c)))
    (if (and (>= code 65) (<= code 90))
        (code-char (+ code 32))
        c)))

(defun letter-p (c)
  (let ((code (char-code (lower c))))
    (and (>= code 97) (<= code 122))))

;; The words of a string: runs of letters, in lower case.
(defun split-words (str)
  (let ((words nil) (cur nil))
    (dolist (c (coerce str 'list))
      (if (letter-p c)
          (setq cur (cons (lower c) cur))
          (progn
            (if cur (setq words (cons (coerce (reverse cur) 'string) words)))
            (setq cur nil))))
    (if cur (setq words (cons (coerce (reverse cur) 'string) words)))
    (reverse words)))

;; READ-LINE returns two values: the line, and T when it was the last one
;; (the end of the file was reached).  WITH-OPEN-FILE would print CLOSED
;; when it closes the file, so this function opens and closes the stream
;; itself; UNWIND-PROTECT closes it even if counting fails.
(defun count-words (file-name)
  (let ((table (make-hash-table :test #'equal))
        (in (open file-name)))
    (unwind-protect
        (loop
          (multiple-value-bind (line last) (read-line in)
            (dolist (w (split-words line))
              (setf (gethash w table) (1+ (or (gethash w table) 0))))
            (if last (return table))))
      (close in))))

;; The characters of the folder part of a file name: everything up to its
;; last "/", none when it has no "/" (the file is in the current folder).
(defun folder-of (name)
  (let ((folder nil) (part nil))
    (dolist (c (coerce name 'list))
      (setq part (cons c part))
      (if (char= c #\/)
          (setq folder (append folder (reverse part)) part nil)))
    folder))

(defparameter *counts*
  (count-words (coerce (append (if *load-pathname* (folder-of *load-pathname*))
                               (coerce "words.txt" 'list))
                       'string)))

;; A hash table is a list (HASH-TABLE test (key . value) ...), oldest
;; entry first; MAPHASH visits the entries in that order.
(defun entries (table)
  (let ((pairs nil))
    (maphash #'(lambda (k v) (setq pairs (cons (cons k v) pairs))) table)
    (reverse pairs)))

(defun string-before-p (a b)
  (let ((x (coerce a 'list)) (y (coerce b 'list)))
    (loop
      (cond ((null y) (return nil))
            ((null x) (return t))
            ((char< (car x) (car y)) (return t))
            ((char< (car y) (car x)) (return nil)))
      (setq x (cdr x))
      (setq y (cdr y)))))

;; More frequent first; equal counts in alphabetical order.
(defun entry-before-p (a b)
  (or (> (cdr a) (cdr b))
      (and (= (cdr a) (cdr b)) (string-before-p (car a) (car b)))))

(princ "different words: ")
(prin1 (hash-table-count *counts*))
(terpri)
(princ "words in all: ")
(prin1 (apply #'+ (mapcar #'cdr (entries *counts*))))
(terpri)
(princ "the ten most frequent:")
(terpri)
(let ((sorted (sort (entries *counts*) #'entry-before-p)))
  (dotimes (i 10)
    (let ((e (nth i sorted)))
      (princ "  ")
      (prin1 (cdr e))
      (spaces (if (< (cdr e) 10) 2 1))
      (princ (car e))
      (terpri))))
(princ "\"tamarisk\" occurs ")
(prin1 (gethash "tamarisk" *counts*))
(princ " times, \"oak\" ")
(prin1 (or (gethash "oak" *counts*) 0))
(princ " times.")
(terpri)
