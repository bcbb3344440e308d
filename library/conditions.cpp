// HANDLER-CASE and IGNORE-ERRORS over the primitive HANDLER-CASE$
// (eval/handler.cpp), loaded on first use (library/lisptext.h). Every
// error is of one kind here: the first clause catches it, whatever type it
// names, and its variable is bound to the condition, the message string.
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
    {nullptr, nullptr},
};
