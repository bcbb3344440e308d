// HANDLER-CASE and IGNORE-ERRORS over the primitive HANDLER-CASE$
// (eval/handler.cpp), loaded on first use (library/lisptext.h). Every
// error is of one kind here: the first clause catches it, whatever type it
// names, and its variable is bound to the condition, the message string.
// ASSERT and CHECK-TYPE signal through ERROR, so a handler catches them
// too; WARN writes its line to standard output, as the values printed at
// the prompt go, and signals nothing. CHECK-TYPE reads its place once,
// into a variable with a `$` in its name, which no program's place
// names.
#include "library/lisptext.h"

const LispText kConditionTexts[] = {
    {"HANDLER-CASE", R"lisp((defmacro handler-case (form &rest clauses)
  (if (null clauses) form
    `(let ((handler-case$r (handler-case$ ,form)))
       (if (and (consp handler-case$r) (eq (car handler-case$r) 'handler-case$))
           ,(if (car (cdr (car clauses)))
                `(let ((,(car (car (cdr (car clauses)))) (cdr handler-case$r))) ,@(cdr (cdr (car clauses))))
                `(progn ,@(cdr (cdr (car clauses)))))
           handler-case$r)))))lisp"},
    {"IGNORE-ERRORS", R"lisp((defmacro ignore-errors (&rest body)
  `(let ((handler-case$r (handler-case$ (progn ,@body))))
     (if (and (consp handler-case$r) (eq (car handler-case$r) 'handler-case$))
         (values nil (cdr handler-case$r))
         handler-case$r))))lisp"},
    {"ASSERT", R"lisp((defmacro assert (test &rest more)
  (if (and (consp more) (consp (cdr more)))
      `(if ,test nil (error ,@(cdr more)))
      `(if ,test nil (error "エラー: 表明が成り立ちません--~s" ',test)))))lisp"},
    {"CHECK-TYPE", R"lisp((defmacro check-type (place type &rest text)
  `(let ((check-type$v ,place))
     (if (typep check-type$v ',type)
         nil
         ,(if (consp text)
              `(error "エラー: ~sの値が~aではありません--~s" ',place ,(car text) check-type$v)
              `(error "エラー: ~sの値が型~sではありません--~s" ',place ',type check-type$v))))))lisp"},
    {"WARN", R"lisp((defun warn (control &rest arguments)
  (if (stringp control)
      (format$ t "警告: ~?~%" (list control arguments))
      (format$ t "警告: ~a~%" (list control)))
  nil))lisp"},
    {nullptr, nullptr},
};
