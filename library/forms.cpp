// The forms and macros of everyday Common Lisp that the prelude does not
// define, loaded on first use (library/lisptext.h).
//
// Places. Every macro that changes a place (PUSH, POP, PUSHNEW, INCF, DECF,
// PSETQ, PSETF, ROTATEF, SHIFTF, and SETF for the places the prelude's SETF
// leaves to PLACE$SETF) goes through PLACE$EXPAND, which answers
// (bindings store reader writer):
// - bindings: a LET* list binding a fresh variable to each argument form
//   of the place that is not a constant, in order; the place's subforms are
//   evaluated there and only there, so each exactly once;
// - store: a fresh variable the writer stores from;
// - reader: a form reading the place through those variables;
// - writer: a form storing the store variable's value into the place and
//   returning it.
// A variable is its own place, with no bindings and the writer (SETQ var
// store); PLACE$WRAP turns that case into a plain SETQ, so (INCF X) is
// (SETQ X (+ X 1)). The fresh variables come from GENSYM with a `$` in
// their names, so they never meet a program's own variables; the LET* that
// binds them copies the caller's variables in after its forms ran and
// writes them back when it ends, so an assignment made by a place's or a
// value's form is kept.
// (GETF place key [default]) is a place over a place: PLACE$GETF expands
// the inner place, reads the list from it and stores the list GETF$PUT
// (library/plist.cpp) answers back into it, through a variable of its own
// that the bindings introduce.
// PLACE$WRITERS is an alist from an accessor's name to a function taking
// the object and the value: DEFSTRUCT adds its accessors there. SETF of
// such a place is a call of the writer on the object's form and the
// value's, which evaluates each once and in order, with no variables.
// CAR of NIL is an error in this dialect, so no text takes the CAR of a
// list that may be empty: POP of an empty place gives NIL and leaves it NIL.
//
// DO and DO* run in a PROG** inside the BLOCK NIL and the LET or LET* of
// their variables, so RETURN leaves them and the body may hold GO tags; the
// loop's own tag is a fresh symbol. The steps are a PSETQ (DO) or SETF
// (DO*) of the variables that have a step form.
//
// TYPECASE binds the key to a fresh variable and tests it with the
// predicate of each type; a type it does not know by name is tested at run
// time by TYPECASE$IS: the name of a structure type DEFSTRUCT defined
// (library/struct.cpp), else reported. A structure is an array
// underneath, which the types ARRAY and VECTOR leave out.
#include "library/lisptext.h"

namespace {

// PLACE$WRITERS and the functions that read and extend it, one text for
// all three names, so the variable exists whichever is used first.
const char kPlaceAccess[] = R"lisp((progn
          (defvar place$writers nil)
          (defun place$writer-of (name) (assoc name place$writers))
          (defun place$define-writer (name writer)
            (setq place$writers (cons (cons name writer) place$writers))
            name)
          (defun place$access (op a s)
            (let ((n (length a)) (f nil))
              (cond ((and (= n 1) (eq op 'car))
                     (list (list 'car (car a)) (list 'progn (list 'rplaca (car a) s) s)))
                    ((and (= n 1) (or (eq op 'cdr) (eq op 'rest)))
                     (list (list op (car a)) (list 'progn (list 'rplacd (car a) s) s)))
                    ((and (= n 2) (eq op 'nth))
                     (list (cons 'nth a) (list 'progn (list 'rplaca (cons 'nthcdr a) s) s)))
                    ((and (= n 1) (setq f (find-nth-name op)))
                     (list (list op (car a))
                           (list 'progn (list 'rplaca (list 'nthcdr (cdr f) (car a)) s) s)))
                    ((and (= n 1) (setq f (find-a-name op)))
                     (list (list op (car a)) (list 'progn (list 'rplaca (list (cdr f) (car a)) s) s)))
                    ((and (= n 1) (setq f (find-d-name op)))
                     (list (list op (car a)) (list 'progn (list 'rplacd (list (cdr f) (car a)) s) s)))
                    ((eq op 'aref) (list (cons 'aref a) (list 'setf (cons 'aref a) s)))
                    ((and (= n 2) (eq op 'char))
                     (list (cons op a) (list 'setf (cons 'aref a) s)))
                    ((and (eq op 'gethash) (or (= n 2) (= n 3)))
                     (list (cons 'gethash a) (list 'setf-hash (car a) (car (cdr a)) s)))
                    ((and (= n 2) (eq op 'elt))
                     (list (cons 'elt a) (list 'elt$set (car a) (car (cdr a)) s)))
                    ((and (= n 1) (eq op 'symbol-value))
                     (list (list 'symbol-value (car a)) (list 'set (car a) s)))
                    ((and (or (= n 2) (= n 3)) (eq op 'get))
                     (list (cons 'get a) (list 'get$put (car a) (car (cdr a)) s)))
                    ((and (= n 1) (eq op 'symbol-plist))
                     (list (list 'symbol-plist (car a)) (list 'plist$set (car a) s)))
                    ((setq f (place$writer-of op))
                     (list (cons op a) (append (cons (cdr f) a) (list s))))
                    (t nil))))))lisp";

}  // namespace

const LispText kFormTexts[] = {
    {"TAGBODY",
     R"lisp((defmacro tagbody (&rest body) `(prog** () ,@body)))lisp"},
    {"MULTIPLE-VALUE-CALL",
     R"lisp((defmacro multiple-value-call (function &rest forms)
  `(apply ,function (append ,@(mapcar #'(lambda (f) (list 'multiple-value-list f)) forms)))))lisp"},
    {"WHEN",
     R"lisp((defmacro when (test &rest body) `(if ,test (progn ,@body) nil)))lisp"},
    {"UNLESS",
     R"lisp((defmacro unless (test &rest body) `(if ,test nil (progn ,@body))))lisp"},
    {"FLET",
     R"lisp((defmacro flet (definitions &body body) `(flet$ nil ,definitions ,@body)))lisp"},
    {"LABELS",
     R"lisp((defmacro labels (definitions &body body) `(flet$ t ,definitions ,@body)))lisp"},
    {"DESTRUCTURING-BIND",
     R"lisp((defmacro destructuring-bind (lambda-list form &body body)
  `(destructuring-bind$ ,lambda-list ,form ,@body)))lisp"},
    {"DECLARE", R"lisp((defmacro declare (&rest declarations) nil))lisp"},
    {"DECLAIM", R"lisp((defmacro declaim (&rest declarations)
  `(progn ,@(mapcan #'(lambda (s)
                        (if (and (consp s) (eq (car s) 'special))
                            (mapcar #'(lambda (v) (list 'defvar v)) (cdr s))
                            nil))
                    declarations)
          nil)))lisp"},
    {"THE", R"lisp((defmacro the (type form) form))lisp"},
    {"LOCALLY", R"lisp((defmacro locally (&rest body) `(progn ,@body)))lisp"},
    {"DO",
     R"lisp((defmacro do (bindings end &rest body) (do$expand 'let 'psetq bindings end body)))lisp"},
    {"DO*",
     R"lisp((defmacro do* (bindings end &rest body) (do$expand 'let* 'setf bindings end body)))lisp"},
    {"DO$EXPAND", R"lisp((defun do$expand (binder stepper bindings end body)
          (prog** (binds steps s tag form)
            (setq tag (gensym "DO$"))
            label
            (if (atom bindings) (go done))
            (setq s (car bindings))
            (if (symbolp s) (setq s (list s)))
            (if (or (atom s) (null (symbolp (car s))))
                (error "エラー: DOの変数の指定が違います"))
            (setq binds (cons (list (car s) (if (consp (cdr s)) (car (cdr s)) nil)) binds))
            (if (and (consp (cdr s)) (consp (cdr (cdr s))))
                (setq steps (cons (car (cdr (cdr s))) (cons (car s) steps))))
            (setq bindings (cdr bindings))
            (go label)
            done
            (if (atom end) (error "エラー: DOの終了条件がありません"))
            (setq form (cons 'prog**
                             (cons nil
                                   (cons tag
                                         (cons (list 'if (car end)
                                                     (list 'return-from nil (cons 'progn (cdr end))))
                                               (append body
                                                       (if steps
                                                           (list (cons stepper (reverse steps)) (list 'go tag))
                                                           (list (list 'go tag)))))))))
            (if binds (setq form (list binder (reverse binds) form)))
            (return-from do$expand (list 'block nil form)))))lisp"},
    {"PLACE$CONSTANTP", R"lisp((defun place$constantp (x)
          (or (numberp x) (stringp x) (characterp x) (null x) (eq x t)
              (and (consp x) (eq (car x) 'quote)))))lisp"},
    {"PLACE$EXPAND", R"lisp((defun place$expand (p)
          (prog** (s a temps tl tmp binds e)
            (setq s (gensym "S$"))
            (if (symbolp p) (return-from place$expand (list nil s p (list 'setq p s))))
            (if (atom p) (go bad))
            (if (and (eq (car p) 'getf) (consp (cdr p)) (consp (cdr (cdr p))))
                (return-from place$expand (place$getf p s)))
            (setq a (cdr p))
            (setq temps (list nil))
            (setq tl temps)
            next
            (if (atom a) (go done))
            (if (place$constantp (car a))
                (setq tmp (car a))
                (progn (setq tmp (gensym "P$"))
                       (setq binds (cons (list tmp (car a)) binds))))
            (rplacd tl (list tmp))
            (setq tl (cdr tl))
            (setq a (cdr a))
            (go next)
            done
            (if (atom (cdr temps)) (go bad))
            (setq e (place$access (car p) (cdr temps) s))
            (if e (return-from place$expand (cons (reverse binds) (cons s e))))
            bad
            (error "エラー: SETFに対してその関数は定義されていません"))))lisp"},
    {"PLACE$GETF", R"lisp((defun place$getf (p s)
          (let ((e (place$expand (car (cdr p)))) (k (gensym "K$")) (d (gensym "D$")))
            (list (append (car e)
                          (list (list k (car (cdr (cdr p))))
                                (list d (if (consp (cdr (cdr (cdr p)))) (car (cdr (cdr (cdr p)))) nil))
                                (list (nth 1 e) nil)))
                  s
                  (list 'getf (nth 2 e) k d)
                  (list 'progn (list 'setq (nth 1 e) (list 'getf$put (nth 2 e) k s)) (nth 3 e) s)))))lisp"},
    {"PLACE$ACCESS", kPlaceAccess},
    {"PLACE$DEFINE-WRITER", kPlaceAccess},
    {"PLACE$WRITER-OF", kPlaceAccess},
    {"PLACE$SETF", R"lisp((defun place$setf (p v)
          (cond ((and (consp p) (symbolp (car p)) (consp (cdr p)) (null (cdr (cdr p)))
                      (place$writer-of (car p)))
                 (list (cdr (place$writer-of (car p))) (car (cdr p)) v))
                ((and (consp p) (consp (cdr p)) (symbolp (car p))
                      (or (eq (car p) 'symbol-value) (eq (car p) 'get) (eq (car p) 'getf) (eq (car p) 'elt) (eq (car p) 'char)
                          (eq (car p) 'symbol-plist) (place$writer-of (car p))))
                 (place$wrap (place$expand p) v))
                (t '(error "エラー: SETFに対してその関数は定義されていません")))))lisp"},
    {"PLACE$WRAP", R"lisp((defun place$wrap (e v)
          (cond ((and (null (car e)) (eq (car (nth 3 e)) 'setq))
                 (list 'setq (nth 2 e) v))
                (t (list 'let* (append (car e) (list (list (nth 1 e) v))) (nth 3 e))))))lisp"},
    {"PLACE$UPDATE", R"lisp((defun place$update (place op arg)
          (let ((e (place$expand place)))
            (place$wrap e (list op (nth 2 e) arg)))))lisp"},
    {"INCF",
     R"lisp((defmacro incf (place &rest d) (place$update place '+ (if d (car d) 1))))lisp"},
    {"DECF",
     R"lisp((defmacro decf (place &rest d) (place$update place '- (if d (car d) 1))))lisp"},
    {"PUSH", R"lisp((defmacro push (v place)
          (let ((e (place$expand place)) (tmp (gensym "V$")))
            (cond ((symbolp place) (list 'setq place (list 'cons v place)))
                  (t (list 'let*
                           (cons (list tmp v)
                                 (append (car e) (list (list (nth 1 e) (list 'cons tmp (nth 2 e))))))
                           (nth 3 e)))))))lisp"},
    {"PUSHNEW", R"lisp((defmacro pushnew (v place &rest keys)
          (let ((e (place$expand place)) (tmp (gensym "V$")))
            (list 'let*
                  (cons (list tmp v) (append (car e) (list (list (nth 1 e) (nth 2 e)))))
                  (list 'if (append (list 'member tmp (nth 1 e)) keys)
                        (nth 1 e)
                        (list 'progn (list 'setq (nth 1 e) (list 'cons tmp (nth 1 e))) (nth 3 e)))))))lisp"},
    {"POP", R"lisp((defmacro pop (place)
          (let ((e (place$expand place)))
            (list 'let*
                  (append (car e) (list (list (nth 1 e) (nth 2 e))))
                  (list 'prog1
                        (list 'if (nth 1 e) (list 'car (nth 1 e)) nil)
                        (list 'setq (nth 1 e) (list 'if (nth 1 e) (list 'cdr (nth 1 e)) nil))
                        (nth 3 e))))))lisp"},
    {"PSETF",
     R"lisp((defmacro psetf (&rest pairs) (place$parallel pairs)))lisp"},
    {"PSETQ",
     R"lisp((defmacro psetq (&rest pairs) (place$parallel pairs)))lisp"},
    {"PLACE$PARALLEL", R"lisp((defun place$parallel (pairs)
          (prog** (binds writers e)
            next
            (if (atom pairs)
                (return-from place$parallel
                  (if binds (cons 'let* (cons (reverse binds) (reverse (cons nil writers)))) nil)))
            (if (atom (cdr pairs)) (error "エラー: 引数の数が違います"))
            (setq e (place$expand (car pairs)))
            (setq binds (append (reverse (car e)) binds))
            (setq binds (cons (list (nth 1 e) (car (cdr pairs))) binds))
            (setq writers (cons (nth 3 e) writers))
            (setq pairs (cdr (cdr pairs)))
            (go next))))lisp"},
    {"ROTATEF", R"lisp((defmacro rotatef (&rest places)
          (prog** (es binds stores writers l)
            (if (atom places) (return-from rotatef nil))
            (setq l places)
            next
            (if (atom l) (go done))
            (setq es (cons (place$expand (car l)) es))
            (setq binds (append (reverse (car (car es))) binds))
            (setq l (cdr l))
            (go next)
            done
            (setq es (reverse es))
            (setq l es)
            pair
            (setq stores (cons (list (nth 1 (car l))
                                     (nth 2 (if (consp (cdr l)) (car (cdr l)) (car es))))
                               stores))
            (setq writers (cons (nth 3 (car l)) writers))
            (setq l (cdr l))
            (if (consp l) (go pair))
            (return-from rotatef
              (cons 'let* (cons (append (reverse binds) (reverse stores))
                                (reverse (cons nil writers))))))))lisp"},
    {"SHIFTF", R"lisp((defmacro shiftf (&rest args)
          (prog** (es binds stores writers l old)
            (if (or (atom args) (atom (cdr args))) (error "エラー: 引数の数が違います"))
            (setq l args)
            next
            (if (atom (cdr l)) (go done))
            (setq es (cons (place$expand (car l)) es))
            (setq binds (append (reverse (car (car es))) binds))
            (setq l (cdr l))
            (go next)
            done
            (setq es (reverse es))
            (setq old (gensym "O$"))
            (setq binds (cons (list old (nth 2 (car es))) binds))
            (setq l es)
            pair
            (setq stores (cons (list (nth 1 (car l))
                                     (if (consp (cdr l)) (nth 2 (car (cdr l))) (car (last args))))
                               stores))
            (setq writers (cons (nth 3 (car l)) writers))
            (setq l (cdr l))
            (if (consp l) (go pair))
            (return-from shiftf
              (cons 'let* (cons (append (reverse binds) (reverse stores))
                                (reverse (cons old writers))))))))lisp"},
    {"TYPECASE",
     R"lisp((defmacro typecase (key &rest clauses) (typecase$expand key clauses nil)))lisp"},
    {"ETYPECASE",
     R"lisp((defmacro etypecase (key &rest clauses) (typecase$expand key clauses t)))lisp"},
    {"TYPECASE$EXPAND", R"lisp((defun typecase$expand (key clauses strict)
          (prog** (v r c)
            (setq v (gensym "K$"))
            next
            (if (atom clauses) (go done))
            (setq c (car clauses))
            (if (atom c) (error "エラー: TYPECASEの節が違います"))
            (setq r (cons (cons (if (and (null strict) (or (eq (car c) t) (eq (car c) 'otherwise)))
                                    t
                                    (typecase$test (car c) v))
                                (if (consp (cdr c)) (cdr c) (list nil)))
                          r))
            (setq clauses (cdr clauses))
            (go next)
            done
            (if strict
                (setq r (cons (list t '(error "エラー: ETYPECASEのどの型にも当てはまりません")) r)))
            (return-from typecase$expand
              (list 'let (list (list v key)) (cons 'cond (reverse r)))))))lisp"},
    {"TYPECASE$TEST", R"lisp((defun typecase$test (type v)
          (let ((p (assoc type '((integer . integerp) (fixnum . integerp) (number . numberp)
                                 (real . numberp) (string . stringp) (simple-string . stringp)
                                 (character . characterp) (base-char . characterp)
                                 (symbol . symbolp) (cons . consp) (list . listp) (null . null)
                                 (atom . atom) (array . typecase$arrayp) (vector . typecase$vectorp)
                                 (simple-vector . typecase$simple-vector-p) (structure-object . struct$p) (float . typecase$floatp)
                                 (single-float . typecase$floatp) (double-float . typecase$floatp)
                                 (ratio . typecase$ratiop) (rational . typecase$rationalp)
                                 (hash-table . typecase$hash-table-p) (keyword . keywordp)
                                 (stream . typecase$streamp) (function . functionp)
                                 (compiled-function . functionp) (boolean . typecase$booleanp)
                                 (sequence . typecase$sequencep) (bit . typecase$bitp)
                                 (standard-char . characterp) (simple-array . typecase$arrayp)))))
            (cond ((eq type t) t)
                  ((eq type nil) nil)
                  (p (list (cdr p) v))
                  ((and (consp type) (or (eq (car type) 'or) (eq (car type) 'and)))
                   (cons (car type) (typecase$tests (cdr type) v)))
                  ((and (consp type) (eq (car type) 'not) (consp (cdr type)))
                   (list 'null (typecase$test (car (cdr type)) v)))
                  ((and (consp type) (member (car type) '(integer float real rational)))
                   (list 'and (typecase$test (car type) v)
                         (list 'typecase$in-range v (list 'quote (cdr type)))))
                  ((and (consp type) (eq (car type) 'mod) (consp (cdr type)))
                   (typecase$test (list 'integer 0 (list (car (cdr type)))) v))
                  ((and (consp type) (member (car type) '(string simple-string vector simple-vector array
                                                          simple-array cons)))
                   (typecase$test (car type) v))
                  ((and (consp type) (eq (car type) 'member))
                   (list 'member v (list 'quote (cdr type))))
                  ((and (consp type) (eq (car type) 'eql) (consp (cdr type)))
                   (list 'eql v (list 'quote (car (cdr type)))))
                  ((and (consp type) (eq (car type) 'satisfies) (consp (cdr type)))
                   (list (car (cdr type)) v))
                  ((symbolp type) (list 'typecase$is v (list 'quote type)))
                  (t (error "エラー: TYPECASEの型の指定が違います"))))))lisp"},
    {"TYPECASE$TESTS", R"lisp((defun typecase$tests (types v)
          (cond ((atom types) nil)
                (t (cons (typecase$test (car types) v) (typecase$tests (cdr types) v))))))lisp"},
    {"TYPECASE$FLOATP",
     R"lisp((defun typecase$floatp (x) (and (numberp x) (eql x (* x 1.0)))))lisp"},
    {"TYPECASE$RATIONALP",
     R"lisp((defun typecase$rationalp (x) (and (numberp x) (null (typecase$floatp x)))))lisp"},
    {"TYPECASE$RATIOP",
     R"lisp((defun typecase$ratiop (x) (and (typecase$rationalp x) (null (integerp x)))))lisp"},
    {"TYPECASE$HASH-TABLE-P", R"lisp((defun typecase$hash-table-p (x)
          (and (consp x) (eq (car x) 'hash-table) (consp (cdr x)))))lisp"},
    {"TYPECASE$STREAMP",
     R"lisp((defun typecase$streamp (x) (eq (kind$ x) :stream)))lisp"},
    {"TYPECASE$BOOLEANP",
     R"lisp((defun typecase$booleanp (x) (or (eq x t) (null x))))lisp"},
    {"TYPECASE$SEQUENCEP",
     R"lisp((defun typecase$sequencep (x) (or (listp x) (typecase$arrayp x))))lisp"},
    {"TYPECASE$BITP",
     R"lisp((defun typecase$bitp (x) (or (eql x 0) (eql x 1))))lisp"},
    {"TYPECASE$IN-RANGE", R"lisp((defun typecase$in-range (x bounds)
          (let ((lo (if (consp bounds) (car bounds) '*))
                (hi (if (and (consp bounds) (consp (cdr bounds))) (car (cdr bounds)) '*)))
            (and (cond ((eq lo '*) t) ((consp lo) (> x (car lo))) (t (>= x lo)))
                 (cond ((eq hi '*) t) ((consp hi) (< x (car hi))) (t (<= x hi)))))))lisp"},
    {"TYPECASE$VECTORP",
     R"lisp((defun typecase$vectorp (x) (and (typecase$arrayp x) (eql (array-car x) 1))))lisp"},
    {"TYPECASE$SIMPLE-VECTOR-P",
     R"lisp((defun typecase$simple-vector-p (x) (and (typecase$vectorp x) (null (stringp x)))))lisp"},
    {"TYPECASE$ARRAYP",
     R"lisp((defun typecase$arrayp (x) (and (arrayp x) (null (struct$p x)))))lisp"},
    {"TYPECASE$IS", R"lisp((defun typecase$is (x type)
          (let ((d (struct$find type)))
            (if d (struct$of x d) (error (forms$message "エラー: 知らない型です--" type))))))lisp"},
    {"FORMS$MESSAGE", R"lisp((defun forms$message (text name)
          (coerce (append (coerce text 'list) (coerce (symbol-name name) 'list)) 'string)))lisp"},
    {"ECASE", R"lisp((defmacro ecase (key &rest clauses)
          `(case ,key ,@clauses (otherwise (error "エラー: ECASEのどのキーにも当てはまりません")))))lisp"},
    {"PROG2",
     R"lisp((defmacro prog2 (a b &rest c) `(progn ,a (prog1 ,b ,@c))))lisp"},
    {"DEFCONSTANT",
     R"lisp((defmacro defconstant (name value &rest doc) `(defparameter ,name ,value)))lisp"},
    {nullptr, nullptr},
};
