; Loaded by prelude-files.in: comments are skipped, the expressions see
; load's own variables, and an expression that reads as nil does not end
; loading: everything up to the end of the file is evaluated.
(setq load-a 1)
(setq load-name fname) ; fname is load's parameter
(defun load-sq (x) (* x x))
nil
(setq load-b 2)
