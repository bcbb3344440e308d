(setq err-b 1)
(car nil)
(setq err-b 2)
