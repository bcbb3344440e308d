abc;note
def (a "x;y" #\; b) ; trailing note
(s "say \"hi; there\"") ; the ; stays in the string
(c #\" d) ; the literal for " opens no string
(f1
  ;; a comment line inside a list
  1/2 #\( ) last
#(1
 2 "s") #'(lambda (x)
 x)
