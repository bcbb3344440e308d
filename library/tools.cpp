// The tools for looking at a running program: TRACE and UNTRACE, TIME,
// DESCRIBE, APROPOS, DOCUMENTATION and DRIBBLE, loaded on first use
// (library/lisptext.h). What needs the interpreter's insides is done by the
// primitives of library/describe.cpp, whose names carry a `$`.
//
// Notes on the texts:
// - They call built-in operators and their own `$` helpers only, never a
//   prelude function such as REVERSE or APPEND: a program may trace or
//   redefine any of those, and the tools must keep working (and must not
//   call themselves through a traced function) when it does.
// - TRACE replaces the definition of each name with a wrapper that calls
//   TRACE$CALL, and keeps (name original wrapper hidden) in TRACE$LIST,
//   newest first. The original definition is also given to the symbol
//   hidden, NAME$TRACED, which TRACE$CALL applies: a call with the wrong
//   number of arguments fails as it does untraced, and the BLOCK of the
//   name is still there for a RETURN-FROM in the body. A name stays traced while its definition is still that wrapper:
//   a DEFUN of the name since then has replaced it, so the entry is
//   dropped without restoring anything. UNTRACE defines the original again
//   with DEFUN, from the parameters and the forms of its BLOCK. A prelude
//   function with a C++ path (eval/fastpath.cpp) keeps its definition
//   but not that path once traced: the DEFUN of the wrapper turned it off.
// - TRACE$DEPTH is the number of traced calls running. TRACE$CALL puts it
//   back in an UNWIND-PROTECT, so an error left with ABORT or a THROW
//   through a traced call leaves the count as it was before the call.
// - The lines go to standard output, as the values printed at the prompt
//   do, indented two columns per level (at most 40) in the shape
//   "  0: (FACT 3)" and "  0: FACT returned 6".
#include "library/lisptext.h"

const LispText kToolTexts[] = {
    // --- helpers ---------------------------------------------------------
    {"TOOLS$REVERSE", R"lisp((defun tools$reverse (l)
  (prog** (r)
    next
    (if (null l) (return-from tools$reverse r))
    (setq r (cons (car l) r))
    (setq l (cdr l))
    (go next))))lisp"},
    {"TOOLS$CONCAT", R"lisp((defun tools$concat (a b)
  (prog** (l r)
    (setq r (tools$reverse (coerce a 'list)))
    (setq l (coerce b 'list))
    next
    (if (null l) (return-from tools$concat (coerce (tools$reverse r) 'string)))
    (setq r (cons (car l) r))
    (setq l (cdr l))
    (go next))))lisp"},
    {"TOOLS$ERROR", R"lisp((defun tools$error (text name)
  (if (symbolp name)
      (error (tools$concat text (symbol-name name)))
      (error text))))lisp"},

    // --- TRACE and UNTRACE -----------------------------------------------
    {"TRACE", R"lisp((defmacro trace (&rest names) (list 'trace$add (list 'quote names))))lisp"},
    {"UNTRACE", R"lisp((defmacro untrace (&rest names) (list 'trace$remove (list 'quote names))))lisp"},
    {"TRACE$ADD", R"lisp((progn
  (defvar trace$list nil)
  (defvar trace$depth 0)
  (defun trace$add (names)
    (prog** (l name kind)
      (if (null names) (return-from trace$add (trace$names)))
      (setq l names)
      next
      (if (null l) (return-from trace$add names))
      (setq name (car l))
      (if (null (symbolp name))
          (error "エラー: TRACEの引数が関数の名前ではありません"))
      (setq kind (kind$ name))
      (if (eq kind :operator)
          (tools$error "エラー: 組み込みの演算子はトレースできません--" name))
      (if (eq kind :macro)
          (tools$error "エラー: マクロはトレースできません--" name))
      (if (null kind)
          (tools$error "エラー: 未定義の関数はトレースできません--" name))
      (if (null (trace$live (trace$find name))) (trace$wrap name))
      (setq l (cdr l))
      (go next)))))lisp"},
    {"TRACE$REMOVE", R"lisp((progn
  (defvar trace$list nil)
  (defvar trace$depth 0)
  (defun trace$remove (names)
    (prog** (l e done)
      (setq l (if names names (trace$names)))
      next
      (if (null l) (return-from trace$remove (tools$reverse done)))
      (setq e (trace$find (car l)))
      (cond (e
             (if (trace$live e) (trace$restore e))
             (setq trace$list (trace$drop (car l)))
             (setq done (cons (car l) done))))
      (setq l (cdr l))
      (go next)))))lisp"},
    {"TRACE$NAMES", R"lisp((defun trace$names ()
  (prog** (l kept names)
    (setq l trace$list)
    next
    (cond ((null l)
           (setq trace$list (tools$reverse kept))
           (return-from trace$names names)))
    (cond ((trace$live (car l))
           (setq kept (cons (car l) kept))
           (setq names (cons (car (car l)) names))))
    (setq l (cdr l))
    (go next))))lisp"},
    {"TRACE$FIND", R"lisp((defun trace$find (name)
  (prog** (l)
    (setq l trace$list)
    next
    (if (null l) (return-from trace$find nil))
    (if (eq (car (car l)) name) (return-from trace$find (car l)))
    (setq l (cdr l))
    (go next))))lisp"},
    {"TRACE$DROP", R"lisp((defun trace$drop (name)
  (prog** (l r)
    (setq l trace$list)
    next
    (if (null l) (return-from trace$drop (tools$reverse r)))
    (if (null (eq (car (car l)) name)) (setq r (cons (car l) r)))
    (setq l (cdr l))
    (go next))))lisp"},
    {"TRACE$LIVE", R"lisp((defun trace$live (e)
  (if e (eq (cdr (symbol-function (car e))) (car (cdr (cdr e)))) nil)))lisp"},
    {"TRACE$WRAP", R"lisp((defun trace$wrap (name)
  (let ((orig (cdr (symbol-function name)))
        (hidden (intern (tools$concat (symbol-name name) "$TRACED"))))
    (setq trace$list (trace$drop name))
    (eval (cons 'defun (cons hidden orig)))
    (eval (list 'defun name '(&rest trace$args)
                (list 'trace$call (list 'quote name) 'trace$args)))
    (setq trace$list
          (cons (list name orig (cdr (symbol-function name)) hidden)
                trace$list))
    name)))lisp"},
    {"TRACE$RESTORE", R"lisp((defun trace$restore (e)
  (let ((params (car (car (cdr e)))) (body (cdr (car (cdr e)))))
    (if (and (consp body) (null (cdr body)) (consp (car body))
             (eq (car (car body)) 'block))
        (setq body (cdr (cdr (car body)))))
    (eval (cons 'defun (cons (car e) (cons params body)))))))lisp"},
    {"TRACE$LINE", R"lisp((defun trace$line (d)
  (spaces (if (minusp (- 19 d)) 40 (* 2 (1+ d))))
  (prin1 d)
  (princ ": ")))lisp"},
    {"TRACE$CALL", R"lisp((defun trace$call (trace$name trace$args)
  (prog** (trace$fn trace$d trace$vals trace$l)
    (setq trace$fn (car (cdr (cdr (cdr (trace$find trace$name))))))
    (setq trace$d trace$depth)
    (trace$line trace$d)
    (prin1 (cons trace$name trace$args))
    (terpri)
    (setq trace$depth (1+ trace$d))
    (unwind-protect
      (setq trace$vals (multiple-value-list (apply trace$fn trace$args)))
      (setq trace$depth trace$d))
    (trace$line trace$d)
    (prin1 trace$name)
    (princ " returned")
    (setq trace$l trace$vals)
    next
    (cond (trace$l
           (princ " ")
           (prin1 (car trace$l))
           (setq trace$l (cdr trace$l))
           (go next)))
    (terpri)
    (return-from trace$call (apply 'values trace$vals)))))lisp"},

    // --- TIME ------------------------------------------------------------
    {"TIME", R"lisp((defmacro time (form) (list 'time$ form)))lisp"},

    // --- DOCUMENTATION, DESCRIBE, APROPOS --------------------------------
    {"TOOLS$MEMQ", R"lisp((defun tools$memq (x l)
  (prog** ()
    next
    (if (null l) (return-from tools$memq nil))
    (if (eq (car l) x) (return-from tools$memq l))
    (setq l (cdr l))
    (go next))))lisp"},
    {"DOCUMENTATION", R"lisp((progn
  (defvar *documentation-language* :ja)
  (defun documentation (x doc-type)
    (cond ((eq doc-type 'function)
           (or (doc$of-definition x)
               (documentation$ x *documentation-language*)))
          ((eq doc-type 'variable) (doc$of-variable x))
          (t nil)))))lisp"},
    {"TOOLS$DEFINITION", R"lisp((defun tools$definition (x)
  (let ((e nil))
    (if (boundp$ 'trace$list) (setq e (trace$find x)))
    (if (trace$live e) (car (cdr e)) (cdr (symbol-function x))))))lisp"},
    {"DOC$OF-DEFINITION", R"lisp((defun doc$of-definition (x)
  (let ((k (kind$ x)) (forms nil))
    (cond ((or (eq k :function) (eq k :macro))
           (setq forms (cdr (tools$definition x)))
           (if (and (consp forms) (null (cdr forms)) (consp (car forms))
                    (eq (car (car forms)) 'block))
               (setq forms (cdr (cdr (car forms)))))
           (if (and (consp forms) (stringp (car forms)) (consp (cdr forms)))
               (car forms)
               nil))
          (t nil)))))lisp"},
    {"DOC$OF-VARIABLE", R"lisp((defun doc$of-variable (x)
  (prog** (l)
    (if (null (boundp$ 'variable-documentation$)) (return-from doc$of-variable nil))
    (setq l variable-documentation$)
    next
    (if (null l) (return-from doc$of-variable nil))
    (if (eq (car (car l)) x) (return-from doc$of-variable (cdr (car l))))
    (setq l (cdr l))
    (go next))))lisp"},
    {"DESCRIBE$SPECIAL-FORM-P", R"lisp((defun describe$special-form-p (x)
  (tools$memq x '(quote backquote setq defparameter defvar and or progn prog1
                  cond if defun defmacro let let* prog** go function catch
                  throw block return-from unwind-protect multiple-value-list
                  eval1))))lisp"},
    {"DESCRIBE$KINDS", R"lisp((defun describe$kinds (x)
  (let ((k (kind$ x)) (r nil))
    (if (boundp$ x) (setq r (cons "変数" r)))
    (cond ((eq k :operator)
           (setq r (cons (if (describe$special-form-p x) "特殊形式" "組み込み関数")
                         r)))
          ((eq k :function) (setq r (cons "関数" r)))
          ((eq k :macro) (setq r (cons "マクロ" r)))
          ((eq k :keyword) (setq r (cons "キーワード" r))))
    r)))lisp"},
    {"DESCRIBE", R"lisp((defun describe (describe$x)
  (let ((describe$k (kind$ describe$x)) (describe$doc nil) (describe$e nil))
    (prin1 describe$x)
    (princ (cond ((eq describe$k :integer) " は整数です。")
                 ((eq describe$k :fraction) " は分数です。")
                 ((eq describe$k :float) " は浮動小数点数です。")
                 ((eq describe$k :character) " は文字です。")
                 ((eq describe$k :string) " は文字列です。")
                 ((eq describe$k :array) " は配列です。")
                 ((eq describe$k :stream) " はストリームです。")
                 ((eq describe$k :cons) " はコンス（リスト）です。")
                 ((eq describe$k :keyword) " はキーワードです。")
                 (t " はシンボルです。")))
    (terpri)
    (cond ((eq describe$k :operator)
           (princ (if (describe$special-form-p describe$x)
                      "組み込みの特殊形式です。" "組み込みの関数です。"))
           (terpri))
          ((or (eq describe$k :function) (eq describe$k :macro))
           (princ (if (eq describe$k :macro) "マクロです。" "関数です。"))
           (terpri)
           (princ "  引数: ")
           (prin1 (car (tools$definition describe$x)))
           (terpri)
           (cond ((and (boundp$ 'trace$list) (trace$live (trace$find describe$x)))
                  (princ "  トレース中です。") (terpri)))))
    (cond ((or (eq describe$k :operator) (eq describe$k :function)
               (eq describe$k :macro))
           (setq describe$doc (documentation describe$x 'function))
           (cond (describe$doc
                  (princ "  説明: ") (princ describe$doc) (terpri)))))
    (cond ((and (boundp$ describe$x) (null (eq describe$k :keyword)))
           (princ "大域変数です。")
           (terpri)
           (princ "  値: ")
           (prin1 (eval describe$x))
           (terpri)
           (setq describe$doc (documentation describe$x 'variable))
           (cond (describe$doc
                  (princ "  説明: ") (princ describe$doc) (terpri)))))
    (cond ((and (symbolp describe$x) (null describe$k) (null (boundp$ describe$x)))
           (princ "関数も値も持ちません。")
           (terpri)))
    (values))))lisp"},
    {"APROPOS-LIST", R"lisp((defun apropos-list (s) (apropos$ s)))lisp"},
    {"APROPOS", R"lisp((defun apropos (s)
  (prog** (l k)
    (setq l (apropos$ s))
    next
    (if (null l) (return-from apropos (values)))
    (prin1 (car l))
    (setq k (describe$kinds (car l)))
    (cond (k
           (princ " (")
           (princ (car k))
           (setq k (cdr k))
           (prog** ()
             more
             (cond (k (princ "、") (princ (car k)) (setq k (cdr k)) (go more))))
           (princ ")")))
    (terpri)
    (setq l (cdr l))
    (go next))))lisp"},

    // --- DRIBBLE ---------------------------------------------------------
    {"DRIBBLE", R"lisp((defun dribble (&rest path) (dribble$ (if path (car path) nil))))lisp"},

    // --- BACKTRACE and FRAME -------------------------------------------
    {"BACKTRACE", R"lisp((defun backtrace (&rest n) (backtrace$ (if n (car n) nil))))lisp"},
    {"FRAME", R"lisp((defun frame (&rest n) (frame$ (if n (car n) nil))))lisp"},
    {nullptr, nullptr},
};
