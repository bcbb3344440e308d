// cfunction layer: the functions and macros of the library written in the
// dialect, defined the first time their name is called, expanded or asked
// for (library/lisptext.h).
#include <cstdlib>
#include <cstring>

#include "eval/cfunction.h"
#include "library/lisptext.h"

const LispText* const kLispTextTables[] = {
    kFormTexts,   kToolTexts,  kFormatTexts, kConditionTexts, kIntegerTexts,
    kSortTexts,   kStreamTexts, kTableTexts, kLoopTexts,      kNumberTexts,
    kSequenceTexts, kStructTexts, kPlistTexts, kStringTexts,
    kStringStreamTexts, kObjectTexts,
    nullptr};

namespace {

const LispText* findText(const char* name, int* index) {
    int i = 0;
    for (const LispText* const* t = kLispTextTables; *t; t++)
        for (const LispText* e = *t; e->name; e++, i++)
            if (std::strcmp(e->name, name) == 0) {
                *index = i;
                return e;
            }
    return nullptr;
}

}  // namespace

_symval* cfunction::FunctionOf(_cell* symbol) {
    if (_symval* r = getFuncval2(symbol)) return r;
    if (!isSymbol(symbol) || operatorOf(symbol) != OP_NONE) return nullptr;
    int i;
    const LispText* e = findText(symbol->car.s, &i);
    // Each text is evaluated once per session: a text that did not define
    // its name is not tried again, and one being loaded is not reentered.
    if (!e || i >= kMaxLispTexts || lispTextTried[i]) return nullptr;
    lispTextTried[i] = true;
    size_t len = std::strlen(e->text);
    if (len >= (size_t)kLineSize) return nullptr;
    // The reader rewrites its text in place; lineStr may hold what the
    // console has gathered, so the text is read from a buffer of its own.
    char* buf = static_cast<char*>(std::malloc(kLineSize));
    if (!buf) return nullptr;
    std::memcpy(buf, e->text, len + 1);
    _cell* form = nullptr;
    int got = ReadText(buf, &form);
    std::free(buf);
    if (got != 1) return nullptr;
    MarkLibraryForm(form);
    {
        CellGroup g(this);
        g.push(form);
        if (!eval(form, nullptr, 0)) return nullptr;
    }
    return getFuncval2(symbol);
}

// Library forms nest a few dozen levels at most: the recursion follows
// the cars only and walks each list in a loop.
void cfunction::MarkLibraryForm(_cell* form) {
    for (; isCons(form) && !(form->symFlags & kLibraryForm);
         form = form->cdr.p) {
        form->symFlags |= kLibraryForm;
        MarkLibraryForm(form->car.p);
    }
}

bool cfunction::IsLispTextName(const char* name) {
    int i;
    return findText(name, &i) != nullptr;
}

const char* cfunction::LispTextOf(const char* name) {
    int i;
    const LispText* e = findText(name, &i);
    return e ? e->text : nullptr;
}
