(defun fib (n)
  (if (< n 2)
      n
      (+ (fib (- n 1)) (fib (- n 2)))))
(defun bench-main ()
  (let ((s 0))
    (dotimes (i 5) (setq s (+ s (fib 25))))
    s))
(print (list 'checksum (bench-main)))
