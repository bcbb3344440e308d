(setq after-nil 1)
nil
(setq after-nil 2)
