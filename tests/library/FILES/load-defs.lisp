; loaded by load-file.in
(defun sq (x) (* x x))   ; square
(setq loaded-a (quote yes))
(setq seen-name fname)
