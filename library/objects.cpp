// Common Lisp's functions about objects, symbols and functions that the
// other tables lack: TYPE-OF, KEYWORDP, FUNCTIONP, SYMBOL-VALUE, BOUNDP,
// FBOUNDP, VECTORP, IDENTITY, COMPLEMENT, CONSTANTLY, VALUES-LIST, NTH-VALUE, and
// the :KEY and :TEST-NOT of MEMBER and ASSOC; loaded on first use
// (library/lisptext.h).
//
// KIND$ (library/describe.cpp) tells the kinds the predicates of the
// dialect do not: a stream (an integer underneath), a keyword, and what a
// symbol names as a function. A function object is a symbol that names a
// function or a closure, a list that starts with LAMBDA.
//
// SYMBOL-VALUE and BOUNDP look at the global value only: their parameter
// carries a `$`, so no binding of the library's own can hide the user's.
//
// The prelude's MEMBER and ASSOC walk the list themselves when called
// without keywords, and hand a call with keywords to MEMBER$KEYED and
// ASSOC$KEYED, so that the everyday call costs nothing more. ASSOC keeps
// EQ as its default test.
#include "library/lisptext.h"

const LispText kObjectTexts[] = {
    {"KEYWORDP",
     R"lisp((defun keywordp (x) (and (symbolp x) (eq (kind$ x) :keyword))))lisp"},
    {"FUNCTIONP", R"lisp((defun functionp (x)
  (cond ((symbolp x) (and x (member (kind$ x) '(:function :operator)) t))
        ((consp x) (eq (car x) 'lambda))
        (t nil))))lisp"},
    {"TYPE-OF", R"lisp((defun type-of (x)
  (cond ((null x) 'null)
        ((eq x t) 'boolean)
        ((symbolp x) (if (eq (kind$ x) :keyword) 'keyword 'symbol))
        ((eq (kind$ x) :stream) 'stream)
        ((integerp x) (if (or (eql x 0) (eql x 1)) 'bit 'fixnum))
        ((numberp x) (if (typecase$floatp x) 'double-float 'ratio))
        ((characterp x) 'character)
        ((stringp x) (list 'simple-array 'character (list (length x))))
        ((struct$p x) (car (cdr (car (array-cdr x)))))
        ((arrayp x)
         (if (eql (array-car x) 1)
             (list 'simple-vector (length x))
             (list 'simple-array t (array-dimensions x))))
        ((typecase$hash-table-p x) 'hash-table)
        ((eq (car x) 'lambda) 'function)
        (t 'cons))))lisp"},
    {"SYMBOL-VALUE", R"lisp((defun symbol-value (symbol-value$s)
  (if (symbolp symbol-value$s)
      (eval symbol-value$s)
      (error "エラー: シンボルではありません--~S" symbol-value$s))))lisp"},
    {"BOUNDP", R"lisp((defun boundp (boundp$s)
  (if (symbolp boundp$s)
      (or (null boundp$s) (eq boundp$s t) (eq (kind$ boundp$s) :keyword) (boundp$ boundp$s))
      (error "エラー: シンボルではありません--~S" boundp$s))))lisp"},
    {"FBOUNDP", R"lisp((defun fboundp (s)
  (if (symbolp s)
      (and (member (kind$ s) '(:function :macro :operator)) t)
      (error "エラー: シンボルではありません--~S" s))))lisp"},
    {"VECTORP", R"lisp((defun vectorp (x) (typecase$vectorp x)))lisp"},
    {"MACROEXPAND-1", R"lisp((defun macroexpand-1 (form &optional env)
  (if (and (consp form) (symbolp (car form)) (eq (kind$ (car form)) :macro))
      (values (macroexpand form) t)
      (values form nil))))lisp"},
    {"IDENTITY", R"lisp((defun identity (x) x))lisp"},
    {"COMPLEMENT",
     R"lisp((defun complement (f) (lambda (&rest a) (not (apply f a)))))lisp"},
    {"CONSTANTLY", R"lisp((defun constantly (v) (lambda (&rest a) v)))lisp"},
    {"VALUES-LIST", R"lisp((defun values-list (l) (apply #'values l)))lisp"},
    {"NTH-VALUE",
     R"lisp((defmacro nth-value (n form) `(nth-value$get ,n (multiple-value-list ,form))))lisp"},
    {"NTH-VALUE$GET", R"lisp((defun nth-value$get (n l)
  (let ((r (str$drop l n))) (if (consp r) (car r) nil))))lisp"},
    {"MEMBER$KEYED", R"lisp((defun member$keyed (item l keys)
  (prog (test key)
   (setq test (seq$tester keys) key (seq$key keys :key nil))
   lab
   (if (atom l) (return nil))
   (if (funcall test item (if key (funcall key (car l)) (car l))) (return l))
   (setq l (cdr l))
   (go lab))))lisp"},
    {"ASSOC$KEYED", R"lisp((defun assoc$keyed (item l keys)
  (prog (test key)
   (setq test (if (or (seq$has-key keys :test) (seq$has-key keys :test-not)) (seq$tester keys) #'eq)
         key (seq$key keys :key nil))
   lab
   (if (atom l) (return nil))
   (if (and (car l) (funcall test item (if key (funcall key (car (car l))) (car (car l)))))
       (return (car l)))
   (setq l (cdr l))
   (go lab))))lisp"},
    {"ELT$SET", R"lisp((defun elt$set (seq i v)
  (let ((l (seq$list seq)))
    (if (or (null (integerp i)) (minusp i)) (error "エラー: 添字が範囲外です--~S" i))
    (setq l (str$drop l i))
    (if (atom l) (error "エラー: 添字が範囲外です--~S" i))
    (rplaca l v)
    v)))lisp"},
    {nullptr, nullptr},
};
