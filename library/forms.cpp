// The forms and macros of everyday Common Lisp that the prelude does not
// define, loaded on first use (library/lisptext.h).
#include "library/lisptext.h"

const LispText kFormTexts[] = {
    {"WHEN", R"lisp((defmacro when (test &rest body) `(if ,test (progn ,@body) nil)))lisp"},
    {"UNLESS", R"lisp((defmacro unless (test &rest body) `(if ,test nil (progn ,@body))))lisp"},
    {nullptr, nullptr},
};
