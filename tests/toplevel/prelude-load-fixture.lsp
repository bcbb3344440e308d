; Loaded by prelude-files.in: comments are skipped, the expressions see
; what the prompt sees (none of load's own variables), and an expression
; that reads as nil does not end loading: everything up to the end of the
; file is evaluated.
(setq load-a 1)
(setq load-name fname) ; the prompt's fname, not load's argument
(defun load-sq (x) (* x x))
nil
(setq load-b 2)
