// The numeric functions of everyday Common Lisp that the prelude does not
// define, loaded on first use (library/lisptext.h). The rounding divisions
// and the comparison /= are answered by the C++ primitives QUOTIENT$ and
// COMPARE$ (math/), which the wrappers pass their mode as a symbol; a
// user's DEFUN of any of these names replaces the wrapper.
#include "library/lisptext.h"

const LispText kNumberTexts[] = {
    {"/=", R"lisp((defun /= (x &rest more) (compare$ '/= x more)))lisp"},
    {"CEILING", R"lisp((defun ceiling (x &rest divisor) (quotient$ 'ceiling x divisor)))lisp"},
    {"TRUNCATE", R"lisp((defun truncate (x &rest divisor) (quotient$ 'truncate x divisor)))lisp"},
    {"ROUND", R"lisp((defun round (x &rest divisor) (quotient$ 'round x divisor)))lisp"},
    {"REM", R"lisp((defun rem (x y) (quotient$ 'rem x y)))lisp"},
    {nullptr, nullptr},
};
