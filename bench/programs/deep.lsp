(defun deep (n)
  (if (zerop n)
      0
      (1+ (deep (1- n)))))
(print (list 'checksum (deep 100000)))
