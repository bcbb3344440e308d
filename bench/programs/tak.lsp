(defun tak (x y z)
  (if (not (< y x))
      z
      (tak (tak (1- x) y z) (tak (1- y) z x) (tak (1- z) x y))))
(defun bench-main ()
  (let ((s 0))
    (dotimes (i 30) (setq s (+ s (tak 18 12 6))))
    s))
(print (list 'checksum (bench-main)))
