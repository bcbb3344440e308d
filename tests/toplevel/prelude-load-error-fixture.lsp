(setq load-c 1)
(car 5)
(setq load-d 2)
