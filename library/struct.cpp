// DEFSTRUCT and what goes with structures (COPY-STRUCTURE, TYPEP, EQUALP),
// loaded on first use (library/lisptext.h).
//
// A structure is a one-dimensional array cell whose element-type position
// holds its type's descriptor and whose contents are the slot values in
// the order of the definition:
//     array cell: car 1, cdr (descriptor value-1 value-2 ...)
// A descriptor is the list
//     (STRUCTURE$ name slot-names key-cache parent defaults),
// made once per definition; parent is the descriptor of the type named by
// :INCLUDE (or NIL), whose slots come first, and defaults the slots'
// default forms, which a type including this one starts from; the printer (printer/print.cpp) recognises a
// structure by the symbol STRUCTURE$ at the head of its element type and
// writes #S(NAME :SLOT value ...). The key cache is an alist from the
// keywords a constructor has been called with to their slot positions:
// no keyword can be made from a string in this dialect (INTERN refuses the
// colon), so the first call with a keyword finds its slot by name and the
// later ones by EQ.
//
// Every function DEFSTRUCT makes tests its argument against the descriptor
// itself, which its body holds as a quoted constant: an accessor is a
// function call and a few built-in operators. A structure of an including
// type fails that test and takes the slower way of STRUCT$SLOT, which
// walks the parents of its descriptor (STRUCT$OF); the predicate and
// TYPEP walk them too. A definition with the same
// slot names as the one in place keeps its descriptor, so that loading a
// file again leaves the structures already made usable; any other
// definition makes a new type of the same name, of which the structures
// made before are not members. STRUCT$TYPES maps each name to the
// descriptor in place.
//
// SETF of an accessor goes through PLACE$DEFINE-WRITER (library/forms.cpp):
// the writer of NAME-SLOT is the function SETF$NAME-SLOT, taking the
// structure and the value, so INCF, PUSH and the other place macros
// evaluate the structure's form once. It is a named function, not a lambda
// form in the expansion, because an expansion is copied (eval/macro.cpp)
// and a copied descriptor would no longer be EQ to the one it stands for.
//
// CAR and CDR of NIL are errors in this dialect: no text takes either of a
// list that may be empty. The texts call built-in operators and their own
// `$` helpers rather than prelude functions a program may redefine, except
// NTH, NTHCDR and >, which the constructors and the accessors of
// slots past the eighth use for their speed.
#include "library/lisptext.h"

namespace {

// The registry of definitions and the functions that need it, one text for
// all of them, so that the variable exists whichever is used first.
const char kStructRegistry[] = R"lisp((progn
  (defvar struct$types nil)
  (defun struct$find (name)
    (prog** (l)
      (setq l struct$types)
      next
      (if (atom l) (return-from struct$find nil))
      (if (eq (car (car l)) name) (return-from struct$find (cdr (car l))))
      (setq l (cdr l))
      (go next)))
  (defun struct$register (name d)
    (prog** (l)
      (setq l struct$types)
      next
      (if (atom l) (return-from struct$register (setq struct$types (cons (cons name d) struct$types))))
      (if (eq (car (car l)) name) (return-from struct$register (rplacd (car l) d)))
      (setq l (cdr l))
      (go next)))
  (defun struct$define (head slots)
    (prog** (name opts o conc ctors pred copier names defaults d l s i acc qd parent incl dl)
      (setq name (if (consp head) (car head) head))
      (if (or (null (symbolp name)) (null name) (eq name t) (eq (kind$ name) :keyword))
          (error "エラー: DEFSTRUCTの名前が違います--~s" name))
      (setq opts (if (consp head) (cdr head) nil))
      (setq conc (struct$concat (symbol-name name) "-"))
      (setq pred (struct$symbol (symbol-name name) "-P"))
      (setq copier (struct$symbol "COPY-" (symbol-name name)))
      (setq ctors 'default)
      option
      (if (atom opts) (go slots))
      (setq o (car opts))
      (if (symbolp o) (setq o (list o)))
      (if (atom o) (error "エラー: DEFSTRUCTの指定が違います--~s" o))
      (cond ((eq (car o) :conc-name)
             (setq conc (if (and (consp (cdr o)) (car (cdr o))) (struct$string (car (cdr o))) "")))
            ((eq (car o) :constructor)
             (if (eq ctors 'default) (setq ctors nil))
             (cond ((atom (cdr o)) (setq ctors (cons (list (struct$symbol "MAKE-" (symbol-name name))) ctors)))
                   ((null (car (cdr o))) nil)
                   ((symbolp (car (cdr o))) (setq ctors (cons (cdr o) ctors)))
                   (t (error "エラー: DEFSTRUCTの指定が違います--~s" o))))
            ((eq (car o) :predicate)
             (if (consp (cdr o)) (setq pred (car (cdr o)))))
            ((eq (car o) :copier)
             (if (consp (cdr o)) (setq copier (car (cdr o)))))
            ((and (eq (car o) :include) (consp (cdr o)) (null parent))
             (setq parent (struct$find (car (cdr o))))
             (if (null parent) (error "エラー: DEFSTRUCTの:INCLUDEの構造体が定義されていません--~s" (car (cdr o))))
             (setq incl (cdr (cdr o))))
            (t (error "エラー: DEFSTRUCTのその指定には対応していません--~s" (car o))))
      (setq opts (cdr opts))
      (go option)
      slots
      (if (eq ctors 'default) (setq ctors (list (list (struct$symbol "MAKE-" (symbol-name name))))))
      (if (and (consp slots) (stringp (car slots))) (setq slots (cdr slots)))
      (if (null parent) (go own))
      (setq l (car (cdr (cdr parent))))
      (setq dl (nth 5 parent))
      inherited
      (if (atom l) (go own))
      (setq s (struct$slot-named (car l) incl))
      (setq names (cons (car l) names))
      (setq defaults (cons (if (and (consp s) (consp (cdr s))) (car (cdr s)) (car dl)) defaults))
      (setq l (cdr l))
      (setq dl (cdr dl))
      (go inherited)
      own
      (setq l slots)
      slot
      (if (atom l) (go define))
      (setq s (car l))
      (if (and (consp s) (symbolp (car s)))
          (progn (setq defaults (cons (if (consp (cdr s)) (car (cdr s)) nil) defaults))
                 (setq s (car s)))
          (setq defaults (cons nil defaults)))
      (if (or (null (symbolp s)) (null s) (eq s t) (eq (kind$ s) :keyword))
          (error "エラー: DEFSTRUCTのスロットの指定が違います--~s" (car l)))
      (if (struct$memq s names) (error "エラー: DEFSTRUCTのスロットが重複しています--~s" s))
      (setq names (cons s names))
      (setq l (cdr l))
      (go slot)
      define
      (setq names (struct$reverse names))
      (setq defaults (struct$reverse defaults))
      (setq d (struct$find name))
      (if (and d (struct$same (car (cdr (cdr d))) names) (eq (nth 4 d) parent))
          (rplaca (nthcdr 5 d) defaults)
          (setq d (list 'structure$ name names nil parent defaults)))
      (struct$register name d)
      (setq qd (list 'quote d))
      (setq l ctors)
      ctor
      (if (atom l) (go rest))
      (if (consp (cdr (car l)))
          (struct$boa (car (car l)) (car (cdr (car l))) qd names defaults)
          (eval (list 'defun (car (car l)) '(&rest struct$args)
                      (list 'let (list (list 'struct$v (list 'struct$keys (list 'quote (car (car l))) qd 'struct$args)))
                            (list 'set-array (list 'cons 1 (list 'cons qd (cons 'list (struct$key-values defaults 0)))))))))
      (setq l (cdr l))
      (go ctor)
      rest
      (if pred (eval (list 'defun pred '(struct$o) (list 'struct$of 'struct$o qd))))
      (if copier
          (eval (list 'defun copier '(struct$o)
                      (list 'if (list 'struct$of 'struct$o qd)
                            '(struct$copy struct$o)
                            (list 'struct$wrong (list 'quote copier) qd 'struct$o)))))
      (setq l names)
      (setq i 0)
      accessor
      (if (atom l) (return-from struct$define name))
      (setq acc (struct$symbol conc (symbol-name (car l))))
      (eval (list 'defun acc '(struct$o)
                  (list 'if (list 'struct$is 'struct$o qd)
                        (list 'car (struct$slot-cell i))
                        (list 'struct$slot (list 'quote acc) qd 'struct$o i))))
      (setq s (struct$symbol "SETF$" (symbol-name acc)))
      (eval (list 'defun s '(struct$o struct$v)
                  (list 'if (list 'struct$is 'struct$o qd)
                        (list 'rplaca (struct$slot-cell i) 'struct$v)
                        (list 'struct$store (list 'quote acc) qd 'struct$o i 'struct$v))
                  'struct$v))
      (place$define-writer acc s)
      (setq l (cdr l))
      (setq i (+ i 1))
      (go accessor)))))lisp";

}  // namespace

const LispText kStructTexts[] = {
    {"DEFSTRUCT", R"lisp((defmacro defstruct (head &rest slots)
  (list 'struct$define (list 'quote head) (list 'quote slots))))lisp"},
    {"STRUCT$DEFINE", kStructRegistry},
    {"STRUCT$FIND", kStructRegistry},
    {"STRUCT$REGISTER", kStructRegistry},
    {"STRUCT$IS", R"lisp((defun struct$is (o d)
  (and (arrayp o) (consp (array-cdr o)) (eq (car (array-cdr o)) d))))lisp"},
    {"STRUCT$P", R"lisp((defun struct$p (o)
  (and (arrayp o) (consp (array-cdr o)) (consp (car (array-cdr o)))
       (eq (car (car (array-cdr o))) 'structure$))))lisp"},
    {"STRUCT$OF", R"lisp((defun struct$of (o d)
  (prog** (x)
    (if (null (struct$p o)) (return-from struct$of nil))
    (setq x (car (array-cdr o)))
    next
    (if (eq x d) (return-from struct$of t))
    (if (atom (cdr (cdr (cdr (cdr x))))) (return-from struct$of nil))
    (setq x (car (cdr (cdr (cdr (cdr x))))))
    (if (consp x) (go next))
    (return-from struct$of nil))))lisp"},
    {"STRUCT$SLOT", R"lisp((defun struct$slot (fname d o i)
  (if (struct$of o d) (nth i (cdr (array-cdr o))) (struct$wrong fname d o))))lisp"},
    {"STRUCT$STORE", R"lisp((defun struct$store (fname d o i v)
  (if (struct$of o d) (rplaca (nthcdr i (cdr (array-cdr o))) v) (struct$wrong fname d o))))lisp"},
    {"STRUCT$SLOT-NAMED", R"lisp((defun struct$slot-named (name slot-list)
  (prog** ()
    next
    (if (atom slot-list) (return-from struct$slot-named nil))
    (if (or (eq (car slot-list) name) (and (consp (car slot-list)) (eq (car (car slot-list)) name)))
        (return-from struct$slot-named (car slot-list)))
    (setq slot-list (cdr slot-list))
    (go next))))lisp"},
    {"STRUCT$WRONG", R"lisp((defun struct$wrong (fname d o)
  (error "エラー: ~sの引数が構造体~sではありません--~s" fname (car (cdr d)) o)))lisp"},
    {"STRUCT$SLOT-CELL", R"lisp((defun struct$slot-cell (i)
  (prog** (f)
    (if (> i 7) (return-from struct$slot-cell (list 'nthcdr (+ i 1) '(array-cdr struct$o))))
    (setq f '(cdr (array-cdr struct$o)))
    next
    (if (= i 0) (return-from struct$slot-cell f))
    (setq f (list 'cdr f))
    (setq i (- i 1))
    (go next))))lisp"},
    {"STRUCT$KEY-VALUES", R"lisp((defun struct$key-values (defaults i)
  (prog** (r)
    next
    (if (atom defaults) (return-from struct$key-values (struct$reverse r)))
    (setq r (cons (list 'if (list 'eq (list 'nth i 'struct$v) ''struct$none)
                        (car defaults)
                        (list 'nth i 'struct$v))
                  r))
    (setq defaults (cdr defaults))
    (setq i (+ i 1))
    (go next))))lisp"},
    {"STRUCT$KEYS", R"lisp((defun struct$keys (fname d args)
  (prog** (v n k i)
    (setq n (length (car (cdr (cdr d)))))
    next
    (if (> n 0) (progn (setq v (cons 'struct$none v)) (setq n (- n 1)) (go next)))
    pair
    (if (atom args) (return-from struct$keys v))
    (if (atom (cdr args)) (error "エラー: ~sのキーワード引数が対になっていません" fname))
    (setq k (car args))
    (setq i (struct$key-index d k))
    (cond (i (if (eq (nth i v) 'struct$none) (rplaca (nthcdr i v) (car (cdr args)))))
          ((eq k :allow-other-keys) nil)
          (t (error "エラー: ~sの知らないキーワードです--~s" fname k)))
    (setq args (cdr (cdr args)))
    (go pair))))lisp"},
    {"STRUCT$KEY-INDEX", R"lisp((defun struct$key-index (d k)
  (prog** (c l i name)
    (setq c (cdr (cdr (cdr d))))
    (setq l (car c))
    cached
    (if (consp l)
        (progn (if (eq (car (car l)) k) (return-from struct$key-index (cdr (car l))))
               (setq l (cdr l))
               (go cached)))
    (if (null (eq (kind$ k) :keyword)) (return-from struct$key-index nil))
    (setq name (symbol-name k))
    (setq l (car (cdr (cdr d))))
    (setq i 0)
    slot
    (if (atom l) (return-from struct$key-index nil))
    (if (string-equal name (symbol-name (car l)))
        (progn (rplaca c (cons (cons k i) (car c)))
               (return-from struct$key-index i)))
    (setq l (cdr l))
    (setq i (+ i 1))
    (go slot))))lisp"},
    {"STRUCT$BOA", R"lisp((defun struct$boa (fname params qd names defaults)
  (prog** (req binds mode p v n has-rest values l dl)
    (setq n 0)
    next
    (if (atom params) (go build))
    (setq p (car params))
    (setq params (cdr params))
    (cond ((eq p '&optional) (setq mode 'optional) (go next))
          ((eq p '&rest) (setq mode 'rest) (go next))
          ((eq p '&aux) (setq mode 'aux) (go next))
          ((struct$memq p '(&key &body &allow-other-keys))
           (error "エラー: DEFSTRUCTの構築関数の引数には~sは使えません" p)))
    (setq v (if (consp p) (car p) p))
    (if (or (null (symbolp v)) (null v) (eq v t))
        (error "エラー: DEFSTRUCTの構築関数の引数が違います--~s" p))
    (cond ((null mode) (setq req (cons v req)))
          ((eq mode 'optional)
           (setq binds (cons (list v (list 'if (list '> '(length struct$args) n)
                                           (list 'nth n 'struct$args)
                                           (if (and (consp p) (consp (cdr p)))
                                               (car (cdr p))
                                               (struct$default v names defaults))))
                             binds))
           (setq n (+ n 1)))
          ((eq mode 'rest)
           (setq has-rest t)
           (setq binds (cons (list v (list 'nthcdr n 'struct$args)) binds)))
          (t (setq binds (cons (list v (if (and (consp p) (consp (cdr p))) (car (cdr p)) nil)) binds))))
    (go next)
    build
    (setq l names)
    (setq dl defaults)
    slot
    (if (atom l) (go done))
    (setq values (cons (if (or (struct$memq (car l) req) (struct$bound (car l) binds)) (car l) (car dl))
                       values))
    (setq l (cdr l))
    (setq dl (cdr dl))
    (go slot)
    done
    (eval (list 'defun fname (struct$reverse (cons 'struct$args (cons '&rest req)))
                (list 'let* (struct$reverse binds)
                      (if has-rest nil
                          (list 'if (list '> '(length struct$args) n) '(error "エラー: 引数の数が違います")))
                      (list 'set-array (list 'cons 1 (list 'cons qd (cons 'list (struct$reverse values))))))))
    (return-from struct$boa fname))))lisp"},
    {"STRUCT$DEFAULT", R"lisp((defun struct$default (v names defaults)
  (prog** ()
    next
    (if (atom names) (return-from struct$default nil))
    (if (eq (car names) v) (return-from struct$default (car defaults)))
    (setq names (cdr names))
    (setq defaults (cdr defaults))
    (go next))))lisp"},
    {"STRUCT$BOUND", R"lisp((defun struct$bound (v binds)
  (prog** ()
    next
    (if (atom binds) (return-from struct$bound nil))
    (if (eq (car (car binds)) v) (return-from struct$bound t))
    (setq binds (cdr binds))
    (go next))))lisp"},
    {"STRUCT$COPY", R"lisp((defun struct$copy (o)
  (prog** (l r)
    (setq l (cdr (array-cdr o)))
    next
    (if (consp l) (progn (setq r (cons (car l) r)) (setq l (cdr l)) (go next)))
    (return-from struct$copy
      (set-array (cons 1 (cons (car (array-cdr o)) (struct$reverse r))))))))lisp"},
    {"STRUCT$REVERSE", R"lisp((defun struct$reverse (l)
  (prog** (r)
    next
    (if (atom l) (return-from struct$reverse r))
    (setq r (cons (car l) r))
    (setq l (cdr l))
    (go next))))lisp"},
    {"STRUCT$MEMQ", R"lisp((defun struct$memq (x l)
  (prog** ()
    next
    (if (atom l) (return-from struct$memq nil))
    (if (eq (car l) x) (return-from struct$memq l))
    (setq l (cdr l))
    (go next))))lisp"},
    {"STRUCT$SAME", R"lisp((defun struct$same (a b)
  (prog** ()
    next
    (if (and (atom a) (atom b)) (return-from struct$same t))
    (if (or (atom a) (atom b) (null (eq (car a) (car b)))) (return-from struct$same nil))
    (setq a (cdr a))
    (setq b (cdr b))
    (go next))))lisp"},
    {"STRUCT$STRING", R"lisp((defun struct$string (x)
  (cond ((stringp x) x)
        ((symbolp x) (symbol-name x))
        (t (error "エラー: DEFSTRUCTの名前の指定が違います--~s" x)))))lisp"},
    {"STRUCT$CONCAT", R"lisp((defun struct$concat (a b)
  (prog** (l r c)
    (setq r (struct$reverse (coerce a 'list)))
    (setq l (coerce b 'list))
    next
    (if (atom l) (return-from struct$concat (coerce (struct$reverse r) 'string)))
    (setq c (char-code (car l)))
    (setq r (cons (if (and (> c 96) (< c 123)) (code-char (- c 32)) (car l)) r))
    (setq l (cdr l))
    (go next))))lisp"},
    {"STRUCT$SYMBOL", R"lisp((defun struct$symbol (a b)
  (car (multiple-value-list (intern (struct$concat a b))))))lisp"},
    {"COPY-STRUCTURE", R"lisp((defun copy-structure (o)
  (if (struct$p o)
      (struct$copy o)
      (error "エラー: COPY-STRUCTUREの引数が構造体ではありません--~s" o))))lisp"},
    {"TYPEP", R"lisp((defun typep (x type)
  (if (funcall (list 'lambda '(typep$x) (typecase$test type 'typep$x)) x) t nil)))lisp"},
    {"EQUALP", R"lisp((defun equalp (x y)
  (prog** ()
    next
    (cond ((eq x y) (return-from equalp t))
          ((consp x)
           (if (and (consp y) (equalp (car x) (car y)))
               (progn (setq x (cdr x)) (setq y (cdr y)) (go next))
               (return-from equalp nil)))
          ((numberp x) (return-from equalp (and (numberp y) (= x y))))
          ((characterp x) (return-from equalp (and (characterp y) (equalp$char x y))))
          ((arrayp x) (return-from equalp (and (arrayp y) (equalp$array x y))))
          (t (return-from equalp nil))))))lisp"},
    {"EQUALP$CHAR", R"lisp((defun equalp$char (a b)
  (let ((i (char-code a)) (j (char-code b)))
    (if (and (> i 96) (< i 123)) (setq i (- i 32)))
    (if (and (> j 96) (< j 123)) (setq j (- j 32)))
    (= i j))))lisp"},
    {"EQUALP$ARRAY", R"lisp((defun equalp$array (x y)
  (cond ((or (struct$p x) (struct$p y))
         (and (struct$p x) (struct$p y)
              (eq (car (array-cdr x)) (car (array-cdr y)))
              (equalp (cdr (array-cdr x)) (cdr (array-cdr y)))))
        (t (and (eql (array-car x) (array-car y))
                (consp (array-cdr x)) (consp (array-cdr y))
                (equalp (cdr (array-cdr x)) (cdr (array-cdr y))))))))lisp"},
    {nullptr, nullptr},
};
