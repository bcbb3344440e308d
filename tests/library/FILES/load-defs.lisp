; loaded by load-file.in
(defun sq (x) (* x x))   ; square
(setq loaded-a (quote yes))
(setq seen-name (list fname strm))
(defvar s 0)
(setq s (+ s 1))
