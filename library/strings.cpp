// The string and character functions of Common Lisp, loaded on first use
// (library/lisptext.h).
//
// A string is a one-dimensional array whose contents are a list of
// characters; STR$CHARS gives that list (never copied: the functions that
// answer a new string build a new list, and the N- variants change the
// string's own cells by RPLACA only, which keeps an index of the array
// good). A string designator (a string, a symbol's name, a character) is
// taken wherever Common Lisp takes one. STR$RANGE checks :START and :END
// against the length and answers (tail start end), tail being the list
// from start on.
//
// Every loop walks the list with PROG and GO, so a string of any length
// needs no stack. The functions call only `$` helpers and the dialect's
// own primitives, so that a user's DEFUN of a Common Lisp name (say
// CHAR-UPCASE) changes that name alone.
//
// The comparisons share the primitive STRING-COMPARE$
// (library/stringcompare.cpp). The case-insensitive ones compare the
// lower-case codes, as SBCL does, so (string-lessp "A" "_") is NIL.
//
// Characters are bytes: only the ASCII letters have a case, the ASCII
// digits and letters a digit weight; a byte of 128 or more (a piece of a
// UTF-8 character) is graphic and neither alphabetic nor a digit.
#include "library/lisptext.h"

const LispText kStringTexts[] = {
    {"STR$CHARS", R"lisp((defun str$chars (x)
  (cond ((stringp x) (cdr (array-cdr x)))
        ((symbolp x) (cdr (array-cdr (symbol-name x))))
        ((characterp x) (list x))
        (t (error "エラー: 文字列、シンボル、文字のどれでもありません--~S" x)))))lisp"},
    {"STR$DROP", R"lisp((defun str$drop (l k)
  (prog ()
   lab
   (if (or (<= k 0) (atom l)) (return l))
   (setq l (cdr l) k (1- k))
   (go lab))))lisp"},
    {"STR$RANGE", R"lisp((defun str$range (l start end)
  (let ((n (length l)))
    (if (null end) (setq end n))
    (if (or (null (integerp start)) (null (integerp end)) (minusp start) (> start end) (> end n))
        (error "エラー: 列の範囲の指定が違います"))
    (list (str$drop l start) start end))))lisp"},
    {"STR$CODE", R"lisp((defun str$code (c fold)
  (let ((k (char-code c)))
    (if (and fold (> k 64) (< k 91)) (+ k 32) k))))lisp"},
    {"STRING=", R"lisp((defun string= (a b &key (start1 0) end1 (start2 0) end2)
  (string-compare$ 0 a b start1 end1 start2 end2)))lisp"},
    {"STRING/=", R"lisp((defun string/= (a b &key (start1 0) end1 (start2 0) end2)
  (string-compare$ 1 a b start1 end1 start2 end2)))lisp"},
    {"STRING<", R"lisp((defun string< (a b &key (start1 0) end1 (start2 0) end2)
  (string-compare$ 2 a b start1 end1 start2 end2)))lisp"},
    {"STRING>", R"lisp((defun string> (a b &key (start1 0) end1 (start2 0) end2)
  (string-compare$ 3 a b start1 end1 start2 end2)))lisp"},
    {"STRING<=", R"lisp((defun string<= (a b &key (start1 0) end1 (start2 0) end2)
  (string-compare$ 4 a b start1 end1 start2 end2)))lisp"},
    {"STRING>=", R"lisp((defun string>= (a b &key (start1 0) end1 (start2 0) end2)
  (string-compare$ 5 a b start1 end1 start2 end2)))lisp"},
    {"STRING-NOT-EQUAL", R"lisp((defun string-not-equal (a b &key (start1 0) end1 (start2 0) end2)
  (string-compare$ 9 a b start1 end1 start2 end2)))lisp"},
    {"STRING-LESSP", R"lisp((defun string-lessp (a b &key (start1 0) end1 (start2 0) end2)
  (string-compare$ 10 a b start1 end1 start2 end2)))lisp"},
    {"STRING-GREATERP", R"lisp((defun string-greaterp (a b &key (start1 0) end1 (start2 0) end2)
  (string-compare$ 11 a b start1 end1 start2 end2)))lisp"},
    {"STRING-NOT-GREATERP", R"lisp((defun string-not-greaterp (a b &key (start1 0) end1 (start2 0) end2)
  (string-compare$ 12 a b start1 end1 start2 end2)))lisp"},
    {"STRING-NOT-LESSP", R"lisp((defun string-not-lessp (a b &key (start1 0) end1 (start2 0) end2)
  (string-compare$ 13 a b start1 end1 start2 end2)))lisp"},
    {"STR$COPY", R"lisp((defun str$copy (l)
  (prog (r tl)
   (setq r (list nil) tl r)
   lab
   (if (atom l) (return (cdr r)))
   (rplacd tl (list (car l)))
   (setq tl (cdr tl) l (cdr l))
   (go lab))))lisp"},
    {"STR$CASE", R"lisp((defun str$case (x start end mode destroy)
  (prog (l r i e c inword alnum)
   (if (and destroy (null (stringp x))) (error "エラー: 文字列ではありません--~S" x))
   (setq l (str$chars x))
   (if (null destroy) (setq l (str$copy l)))
   (setq r (str$range l start end) e (car (cdr (cdr r))) i start r l l (str$drop l start))
   lab
   (if (>= i e) (return (if destroy x (coerce r 'string))))
   (setq c (car l) alnum (str$alnump c))
   (rplaca l (cond ((eq mode 'up) (str$upcase c))
                   ((eq mode 'down) (str$downcase c))
                   ((and alnum (null inword)) (str$upcase c))
                   (t (str$downcase c))))
   (setq inword alnum l (cdr l) i (1+ i))
   (go lab))))lisp"},
    {"STRING-UPCASE", R"lisp((defun string-upcase (x &key (start 0) end) (str$case x start end 'up nil)))lisp"},
    {"STRING-DOWNCASE", R"lisp((defun string-downcase (x &key (start 0) end) (str$case x start end 'down nil)))lisp"},
    {"STRING-CAPITALIZE", R"lisp((defun string-capitalize (x &key (start 0) end) (str$case x start end 'cap nil)))lisp"},
    {"NSTRING-UPCASE", R"lisp((defun nstring-upcase (x &key (start 0) end) (str$case x start end 'up t)))lisp"},
    {"NSTRING-DOWNCASE", R"lisp((defun nstring-downcase (x &key (start 0) end) (str$case x start end 'down t)))lisp"},
    {"NSTRING-CAPITALIZE", R"lisp((defun nstring-capitalize (x &key (start 0) end) (str$case x start end 'cap t)))lisp"},
    {"STR$TRIM", R"lisp((defun str$trim (bag x left right)
  (prog (b l n s e m r tl)
   (setq b (if (stringp bag) (str$chars bag) (seq$list bag)) l (str$chars x) n (length l) s 0)
   (if left (prog () lab (if (and (consp l) (member (car l) b)) (progn (setq l (cdr l) s (1+ s)) (go lab)))))
   (setq e (if right s n) m l n s)
   (if right (prog () lab (if (atom m) (return nil)) (setq n (1+ n)) (if (null (member (car m) b)) (setq e n)) (setq m (cdr m)) (go lab)))
   (setq r (list nil) tl r)
   lab
   (if (>= s e) (return (coerce (cdr r) 'string)))
   (rplacd tl (list (car l)))
   (setq tl (cdr tl) l (cdr l) s (1+ s))
   (go lab))))lisp"},
    {"STRING-TRIM", R"lisp((defun string-trim (bag x) (str$trim bag x t t)))lisp"},
    {"STRING-LEFT-TRIM", R"lisp((defun string-left-trim (bag x) (str$trim bag x t nil)))lisp"},
    {"STRING-RIGHT-TRIM", R"lisp((defun string-right-trim (bag x) (str$trim bag x nil t)))lisp"},
    {"STRING", R"lisp((defun string (x)
  (cond ((stringp x) x)
        ((symbolp x) (symbol-name x))
        ((characterp x) (coerce (list x) 'string))
        (t (error "エラー: 文字列、シンボル、文字のどれでもありません--~S" x)))))lisp"},
    {"MAKE-STRING", R"lisp((defun make-string (n &key (initial-element (code-char 32)) element-type)
  (prog (l)
   (if (or (null (integerp n)) (minusp n)) (error "エラー: 文字列の長さが違います--~S" n))
   (if (null (characterp initial-element)) (error "エラー: 文字ではありません--~S" initial-element))
   lab
   (if (<= n 0) (return (coerce l 'string)))
   (setq l (cons initial-element l) n (1- n))
   (go lab))))lisp"},
    {"STR$BLANKP", R"lisp((defun str$blankp (c) (member (char-code c) '(32 9 10 13 12 11))))lisp"},
    {"PARSE-INTEGER", R"lisp((defun parse-integer (s &key (start 0) end (radix 10) junk-allowed)
  (prog (r l i e sign v d any)
   (if (null (stringp s)) (error "エラー: 文字列ではありません--~S" s))
   (if (or (null (integerp radix)) (< radix 2) (> radix 36)) (error "エラー: 基数が違います--~S" radix))
   (setq r (str$range (str$chars s) start end) l (car r) i start e (car (cdr (cdr r))) sign 1 v 0)
   skip
   (if (and (< i e) (str$blankp (car l))) (progn (setq l (cdr l) i (1+ i)) (go skip)))
   (if (and (< i e) (member (char-code (car l)) '(43 45)))
       (progn (if (= (char-code (car l)) 45) (setq sign -1)) (setq l (cdr l) i (1+ i))))
   digits
   (setq d (if (< i e) (str$weight (car l) radix) nil))
   (if d (progn (setq v (+ (* v radix) (* sign d)) any t l (cdr l) i (1+ i)) (go digits)))
   (if junk-allowed (return (values (if any v nil) i)))
   trail
   (if (and (< i e) (str$blankp (car l))) (progn (setq l (cdr l) i (1+ i)) (go trail)))
   (if (or (< i e) (null any)) (error "エラー: 整数として読めません--~S" s))
   (return (values v i)))))lisp"},
    {"STR$CHAR-ARGS", R"lisp((defun str$char-args (c more)
  (if (null (characterp c)) (error "エラー: 文字ではありません--~S" c))
  (prog ()
   lab
   (if (atom more) (return t))
   (if (null (characterp (car more))) (error "エラー: 文字ではありません--~S" (car more)))
   (setq more (cdr more))
   (go lab))))lisp"},
    {"STR$CHAR-ORDER", R"lisp((defun str$char-order (c more rel)
  (str$char-args c more)
  (prog (a b)
   (setq a (str$code c t))
   lab
   (if (atom more) (return t))
   (setq b (str$code (car more) t))
   (if (null (cond ((eq rel '<) (< a b)) ((eq rel '>) (> a b)) ((eq rel '<=) (<= a b)) (t (>= a b))))
       (return nil))
   (setq a b more (cdr more))
   (go lab))))lisp"},
    {"CHAR$COMPARE", R"lisp((defun char$compare (l rel)
  (prog (m)
   (str$char-args (car l) (cdr l))
   lab
   (if (atom (cdr l)) (return t))
   (cond ((= rel 0)
          (setq m (cdr l))
          (prog () in (if (atom m) (return nil))
            (if (char-equal (car l) (car m)) (return-from char$compare nil))
            (setq m (cdr m)) (go in)))
         ((= rel 1) (if (null (char< (car (cdr l)) (car l))) (return nil)))
         ((= rel 2) (if (char< (car (cdr l)) (car l)) (return nil)))
         (t (if (char< (car l) (car (cdr l))) (return nil))))
   (setq l (cdr l))
   (go lab))))lisp"},
    {"CHAR-NOT-EQUAL", R"lisp((defun char-not-equal (c &rest more)
  (str$char-args c more)
  (prog (l m)
   (setq l (cons c more))
   lab
   (if (atom l) (return t))
   (setq m (cdr l))
   in
   (if (consp m)
       (progn (if (= (str$code (car l) t) (str$code (car m) t)) (return nil)) (setq m (cdr m)) (go in)))
   (setq l (cdr l))
   (go lab))))lisp"},
    {"CHAR-LESSP", R"lisp((defun char-lessp (c &rest more) (str$char-order c more '<)))lisp"},
    {"CHAR-GREATERP", R"lisp((defun char-greaterp (c &rest more) (str$char-order c more '>)))lisp"},
    {"CHAR-NOT-GREATERP", R"lisp((defun char-not-greaterp (c &rest more) (str$char-order c more '<=)))lisp"},
    {"CHAR-NOT-LESSP", R"lisp((defun char-not-lessp (c &rest more) (str$char-order c more '>=)))lisp"},
    {"STR$UPCASE", R"lisp((defun str$upcase (c)
  (let ((k (char-code c))) (if (and (> k 96) (< k 123)) (code-char (- k 32)) c))))lisp"},
    {"STR$DOWNCASE", R"lisp((defun str$downcase (c)
  (let ((k (char-code c))) (if (and (> k 64) (< k 91)) (code-char (+ k 32)) c))))lisp"},
    {"STR$ALNUMP", R"lisp((defun str$alnump (c)
  (let ((k (char-code c)))
    (or (and (> k 47) (< k 58)) (and (> k 64) (< k 91)) (and (> k 96) (< k 123))))))lisp"},
    {"STR$WEIGHT", R"lisp((defun str$weight (c radix)
  (let* ((k (char-code c))
         (w (cond ((and (> k 47) (< k 58)) (- k 48))
                  ((and (> k 64) (< k 91)) (- k 55))
                  ((and (> k 96) (< k 123)) (- k 87))
                  (t nil))))
    (if (and w (< w radix)) w nil))))lisp"},
    {"CHAR-UPCASE", R"lisp((defun char-upcase (c) (str$upcase c)))lisp"},
    {"CHAR-DOWNCASE", R"lisp((defun char-downcase (c) (str$downcase c)))lisp"},
    {"UPPER-CASE-P", R"lisp((defun upper-case-p (c) (let ((k (char-code c))) (and (> k 64) (< k 91)))))lisp"},
    {"LOWER-CASE-P", R"lisp((defun lower-case-p (c) (let ((k (char-code c))) (and (> k 96) (< k 123)))))lisp"},
    {"BOTH-CASE-P", R"lisp((defun both-case-p (c) (let ((k (char-code c))) (or (and (> k 64) (< k 91)) (and (> k 96) (< k 123))))))lisp"},
    {"ALPHA-CHAR-P", R"lisp((defun alpha-char-p (c) (let ((k (char-code c))) (or (and (> k 64) (< k 91)) (and (> k 96) (< k 123))))))lisp"},
    {"ALPHANUMERICP", R"lisp((defun alphanumericp (c) (str$alnump c)))lisp"},
    {"GRAPHIC-CHAR-P", R"lisp((defun graphic-char-p (c) (let ((k (char-code c))) (and (> k 31) (/= k 127)))))lisp"},
    {"DIGIT-CHAR-P", R"lisp((defun digit-char-p (c &optional (radix 10)) (str$weight c radix)))lisp"},
    {"DIGIT-CHAR", R"lisp((defun digit-char (w &optional (radix 10))
  (if (and (integerp w) (>= w 0) (< w radix))
      (code-char (if (< w 10) (+ w 48) (+ w 55)))
      nil)))lisp"},
    {"CHAR-INT", R"lisp((defun char-int (c) (char-code c)))lisp"},
    {nullptr, nullptr},
};
