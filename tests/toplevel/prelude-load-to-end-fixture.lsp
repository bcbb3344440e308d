; Loaded by regression/prelude-load-to-end.in: the expressions that read as
; nil must not end loading.
(setq seen (list 'first))
nil
(setq seen (cons 'after-nil seen))
()
(setq seen (cons 'after-empty-list seen))
