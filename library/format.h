// cfunction layer, library part: the directive interpreter of FORMAT$
// (library/format.cpp, and library/formatnum.cpp for the directives that
// print numbers), shared by its two files.
#ifndef TAMARISK_LIBRARY_FORMAT_H
#define TAMARISK_LIBRARY_FORMAT_H

#include <string>
#include <vector>

#include "eval/cfunction.h"

namespace formatting {

// The columns a text takes: the bytes that begin a UTF-8 sequence.
long textWidth(const std::string& s);

// The printed text of a cell, in PRINC's style or PRIN1's.
std::string printed(cfunction* lisp, _cell* c, bool escape);

// The arguments a directive consumes: a list's elements, read in order,
// with a position that ~* may move back.
struct Args {
    std::vector<_cell*> items;
    size_t next = 0;
    size_t remaining() const { return items.size() - next; }
};

void collect(_cell* list, Args* a);

// One directive of the control string: its parameters as written (a
// number, a character, V or #, or none), its modifiers and its character.
struct Param {
    enum Kind { kNone, kNumber, kChar, kV, kCount } kind = kNone;
    long value = 0;
};

struct Directive {
    size_t start = 0;  // the tilde
    size_t end = 0;    // just after the directive character
    std::vector<Param> params;
    bool colon = false;
    bool at = false;
    char ch = 0;  // upper case
};

enum Outcome { kDone, kEscape, kEscapeAll, kFailed };

class Formatter {
public:
    Formatter(cfunction* l, const std::string& control, long column)
        : lisp(l), ctl(control), baseColumn(column) {}

    std::string out;
    std::string error;  // the message of a failure

    Outcome run(size_t from, size_t to, Args* a, Args* outer);

private:
    cfunction* lisp;
    const std::string& ctl;
    long baseColumn;

    bool fail(const std::string& message) {
        if (error.empty()) error = message;
        return false;
    }
    std::string named(const Directive& d) const {
        return ctl.substr(d.start, d.end - d.start);
    }

    long column() const {
        size_t nl = out.rfind('\n');
        if (nl == std::string::npos) return baseColumn + textWidth(out);
        return textWidth(out.substr(nl + 1));
    }
    bool parse(size_t at, Directive* d);
    bool findClose(size_t from, char close, std::vector<Directive>* seps,
                   Directive* end);
    bool param(const Directive& d, size_t i, Args* a, long dflt, long* v);
    bool charParam(const Directive& d, size_t i, Args* a, char dflt, char* v);
    bool take(Args* a, const Directive& d, _cell** v);

    bool padded(const std::string& text, long mincol, long colinc, long minpad,
                char pad, bool left);
    bool integer(const Directive& d, Args* a, int radix);
    bool fixedFloat(const Directive& d, Args* a);
    bool expFloat(const Directive& d, Args* a);
    bool money(const Directive& d, Args* a);
    bool radix(const Directive& d, Args* a);
    bool character(const Directive& d, Args* a);
    bool tabulate(const Directive& d, Args* a);
    Outcome conditional(const Directive& d, Args* a, Args* outer,
                        size_t* resume);
    Outcome iterate(const Directive& d, Args* a, size_t* resume);
    Outcome caseConvert(const Directive& d, Args* a, Args* outer,
                        size_t* resume);
};

}  // namespace formatting

#endif  // TAMARISK_LIBRARY_FORMAT_H
