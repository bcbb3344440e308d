// FORMAT, loaded on first use (library/lisptext.h): the directives are
// interpreted by FORMAT$ (library/format.cpp); the function itself is a
// text so that a user's DEFUN of FORMAT replaces it.
#include "library/lisptext.h"

const LispText kFormatTexts[] = {
    {"FORMAT", R"lisp((defun format (destination control &rest arguments) (format$ destination control arguments)))lisp"},
    {nullptr, nullptr},
};
