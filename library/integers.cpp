// The numeric functions of everyday Common Lisp over integers, fractions
// and their kinds, loaded on first use (library/lisptext.h). The bit
// operations and a fraction's terms come from the primitive EXACT$
// (math/exact.cpp), whose first argument is the operation's code: 0 AND,
// 1 IOR, 2 XOR, 3 ASH, 4 LOGBITP, 5 LOGCOUNT, 6 INTEGER-LENGTH,
// 7 NUMERATOR, 8 DENOMINATOR.
//
// Arithmetic here goes through + - * /, so a result outside the build's
// integers is their error, never a wrapped number. GCD runs Euclid's steps
// on the signed numbers with REM and takes the magnitude only at the end, so
// the smallest integer, whose magnitude no integer holds, has a divisor
// found with every other number. ISQRT starts Newton's
// iteration from a power of two at or above the root, so that the sum of
// the guess and the quotient stays far below the range. RATIONAL doubles a
// floating number until it is integral: the exact value of its binary
// fraction.
#include "library/lisptext.h"

const LispText kIntegerTexts[] = {
    {"FLOATP", R"lisp((defun floatp (x) (eq (kind$ x) :float)))lisp"},
    {"RATIONALP", R"lisp((defun rationalp (x) (if (member (kind$ x) '(:integer :fraction)) t nil)))lisp"},
    {"REALP", R"lisp((defun realp (x) (numberp x)))lisp"},
    {"PLUSP", R"lisp((defun plusp (x) (> x 0)))lisp"},
    {"ABS", R"lisp((defun abs (x) (if (minusp x) (- x) x)))lisp"},
    {"SIGNUM", R"lisp((defun signum (x)
  (cond ((> x 0) (if (floatp x) 1.0 1))
        ((< x 0) (if (floatp x) -1.0 -1))
        (t x))))lisp"},
    {"MAX", R"lisp((defun max (x &rest more)
  (let ((m x))
    (if (null (numberp x)) (error "エラー: 数値ではありません"))
    (dolist (y more) (if (> y m) (setq m y)))
    m)))lisp"},
    {"MIN", R"lisp((defun min (x &rest more)
  (let ((m x))
    (if (null (numberp x)) (error "エラー: 数値ではありません"))
    (dolist (y more) (if (< y m) (setq m y)))
    m)))lisp"},
    {"GCD", R"lisp((progn
  (defun gcd$2 (a b)
    (if (null (and (integerp a) (integerp b))) (error "エラー: 整数ではありません"))
    (prog (r)
      next
      (if (= b 0) (return a))
      (setq r (rem a b))
      (setq a b)
      (setq b r)
      (go next)))
  (defun gcd (&rest l)
    (let ((g 0))
      (dolist (x l) (setq g (gcd$2 g x)))
      (abs g)))))lisp"},
    {"LCM", R"lisp((defun lcm (&rest l)
  (let ((m 1))
    (dolist (x l)
      (setq m (if (or (= m 0) (= x 0)) (progn (gcd x 1) 0)
                (* (abs (/ m (gcd m x))) (abs x)))))
    m)))lisp"},
    {"ISQRT", R"lisp((defun isqrt (n)
  (if (or (null (integerp n)) (minusp n)) (error "エラー: 0以上の整数ではありません"))
  (if (= n 0) 0
    (let ((s (ash 1 (floor (/ (+ (integer-length n) 1) 2)))) (next 0))
      (prog ()
        again
        (setq next (floor (/ (+ s (floor (/ n s))) 2)))
        (if (>= next s) (return s))
        (setq s next)
        (go again))))))lisp"},
    {"NUMERATOR", R"lisp((defun numerator (x) (exact$ 7 x 0)))lisp"},
    {"DENOMINATOR", R"lisp((defun denominator (x) (exact$ 8 x 0)))lisp"},
    {"RATIONAL", R"lisp((defun rational (x)
  (if (floatp x)
      (let ((d 1))
        (prog ()
          again
          (if (= x (floor x)) (return (/ (floor x) d)))
          (setq x (* x 2))
          (setq d (* d 2))
          (go again)))
      (progn (exact$ 8 x 0) x))))lisp"},
    {"FLOAT", R"lisp((defun float (x &rest prototype) (if (floatp x) x (* 1.0 x))))lisp"},
    {"LOGAND", R"lisp((defun logand (&rest l) (let ((r -1)) (dolist (x l) (setq r (exact$ 0 r x))) r)))lisp"},
    {"LOGIOR", R"lisp((defun logior (&rest l) (let ((r 0)) (dolist (x l) (setq r (exact$ 1 r x))) r)))lisp"},
    {"LOGXOR", R"lisp((defun logxor (&rest l) (let ((r 0)) (dolist (x l) (setq r (exact$ 2 r x))) r)))lisp"},
    {"LOGNOT", R"lisp((defun lognot (x) (exact$ 2 x -1)))lisp"},
    {"ASH", R"lisp((defun ash (x n) (exact$ 3 x n)))lisp"},
    {"LOGBITP", R"lisp((defun logbitp (i x) (exact$ 4 i x)))lisp"},
    {"LOGCOUNT", R"lisp((defun logcount (x) (exact$ 5 x 0)))lisp"},
    {"INTEGER-LENGTH", R"lisp((defun integer-length (x) (exact$ 6 x 0)))lisp"},
    {nullptr, nullptr},
};
