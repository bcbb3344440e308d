;; the innermost form fails on line 3
(defun bt-inner (x)
  (let ((y (list x x)))
    (car x)))
(defun bt-outer (n)
  (bt-inner n))
(bt-outer 7)
