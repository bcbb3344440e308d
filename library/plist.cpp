// Property lists: GET, REMPROP, SYMBOL-PLIST on symbols, GETF and REMF on
// any place holding a property list, loaded on first use
// (library/lisptext.h).
//
// A symbol cell has no room for a property list, so the lists live in
// PLIST$TABLE, an alist from each symbol that has one to its list; a
// global variable is a root of the collector, so the lists and their
// symbols stay alive with it. A property list is (indicator value ...);
// indicators are compared with EQ. Changing a property changes the
// list's value cell in place; adding one puts the pair in front.
//
// The texts call their own `$` helpers, not GETF or SYMBOL-PLIST, which a
// program may define for itself. SETF of GET, GETF and SYMBOL-PLIST goes
// through PLACE$EXPAND (library/forms.cpp), which evaluates each subform
// once. A list of odd length, or a dotted one, is reported where a
// property is looked for.
#include "library/lisptext.h"

namespace {

const char kSymbolPlists[] = R"lisp((progn
  (defvar plist$table nil)
  (defun plist$entry (s)
    (prog** (l)
      (if (null (symbolp s)) (error "エラー: シンボルではありません--~s" s))
      (setq l plist$table)
      next
      (if (atom l) (return-from plist$entry nil))
      (if (eq (car (car l)) s) (return-from plist$entry (car l)))
      (setq l (cdr l))
      (go next)))
  (defun plist$get (s)
    (let ((e (plist$entry s))) (if e (cdr e) nil)))
  (defun symbol-plist (s) (plist$get s))
  (defun plist$set (s l)
    (let ((e (plist$entry s)))
      (if e (rplacd e l) (setq plist$table (cons (cons s l) plist$table)))
      l))
  (defun get (s p &rest d)
    (let ((tl (getf$tail (plist$get s) p)))
      (cond (tl (car (cdr tl))) ((consp d) (car d)) (t nil))))
  (defun get$put (s p v)
    (plist$set s (getf$put (plist$get s) p v))
    v)
  (defun remprop (s p)
    (let ((e (plist$entry s)))
      (cond ((null e) nil)
            ((null (getf$tail (cdr e) p)) nil)
            (t (rplacd e (getf$remove (cdr e) p)) t)))))))lisp";

}  // namespace

const LispText kPlistTexts[] = {
    {"SYMBOL-PLIST", kSymbolPlists},
    {"GET", kSymbolPlists},
    {"REMPROP", kSymbolPlists},
    {"PLIST$ENTRY", kSymbolPlists},
    {"PLIST$SET", kSymbolPlists},
    {"PLIST$GET", kSymbolPlists},
    {"GET$PUT", kSymbolPlists},
    {"GETF$TAIL", R"lisp((defun getf$tail (l p)
  (prog** (all)
    (setq all l)
    next
    (if (null l) (return-from getf$tail nil))
    (if (or (atom l) (atom (cdr l))) (error "エラー: 属性リストが正しくありません--~s" all))
    (if (eq (car l) p) (return-from getf$tail l))
    (setq l (cdr (cdr l)))
    (go next))))lisp"},
    {"GETF", R"lisp((defun getf (l p &rest d)
  (let ((tl (getf$tail l p)))
    (cond (tl (car (cdr tl)))
          ((consp d) (car d))
          (t nil)))))lisp"},
    {"GETF$PUT", R"lisp((defun getf$put (l p v)
  (let ((tl (getf$tail l p)))
    (if tl (progn (rplaca (cdr tl) v) l) (cons p (cons v l))))))lisp"},
    {"GETF$REMOVE", R"lisp((defun getf$remove (l p)
  (prog** (k)
    (if (eq (car l) p) (return-from getf$remove (cdr (cdr l))))
    (setq k (cdr l))
    next
    (if (atom (cdr k)) (return-from getf$remove l))
    (if (eq (car (cdr k)) p)
        (progn (rplacd k (cdr (cdr (cdr k)))) (return-from getf$remove l)))
    (setq k (cdr (cdr k)))
    (go next))))lisp"},
    {"REMF", R"lisp((defmacro remf (place p)
  (let ((e (place$expand place)) (k (gensym "K$")))
    (list 'let*
          (append (car e) (list (list k p) (list (nth 1 e) (nth 2 e))))
          (list 'if (list 'getf$tail (nth 1 e) k)
                (list 'progn (list 'setq (nth 1 e) (list 'getf$remove (nth 1 e) k)) (nth 3 e) t)
                nil)))))lisp"},
    {nullptr, nullptr},
};
