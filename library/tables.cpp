// Questions about hash tables and arrays, loaded on first use
// (library/lisptext.h). A hash table is the list (HASH-TABLE test entry...);
// an array is read through ARRAY-CAR, its number of dimensions, and
// ARRAY-CDR, (element-type . rows), where each dimension is one level of
// nested lists. A dimension of 0 hides the ones after it, which count 0.
#include "library/lisptext.h"

const LispText kTableTexts[] = {
    {"HASH-TABLE-P", R"lisp((defun hash-table-p (x) (if (and (consp x) (eq (car x) 'hash-table) (consp (cdr x))) t nil)))lisp"},
    {"CLRHASH", R"lisp((defun clrhash (h)
  (if (null (hash-table-p h)) (error "エラー: ハッシュテーブルではありません"))
  (rplacd (cdr h) nil)
  h))lisp"},
    {"VECTOR", R"lisp((defun vector (&rest items)
  (make-array (length items) :initial-contents items)))lisp"},
    {"ARRAY-RANK", R"lisp((defun array-rank (a)
  (if (null (arrayp a)) (error "エラー: 配列ではありません"))
  (array-car a)))lisp"},
    {"ARRAY-DIMENSIONS", R"lisp((defun array-dimensions (a)
  (if (null (arrayp a)) (error "エラー: 配列ではありません"))
  (let ((rows (cdr (array-cdr a))) (dims nil))
    (dotimes (k (array-car a))
      (setq dims (cons (length rows) dims))
      (setq rows (if (consp rows) (car rows) nil)))
    (reverse dims))))lisp"},
    {"ARRAY-DIMENSION", R"lisp((defun array-dimension (a k)
  (let ((dims (array-dimensions a)))
    (if (or (null (integerp k)) (minusp k) (null (< k (length dims))))
        (error "エラー: 配列の次元の番号が範囲外です"))
    (nth k dims))))lisp"},
    {"ARRAY-TOTAL-SIZE", R"lisp((defun array-total-size (a)
  (let ((n 1)) (dolist (d (array-dimensions a)) (setq n (* n d))) n)))lisp"},
    {nullptr, nullptr},
};
