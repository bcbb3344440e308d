// cfunction layer, library part: FORMAT$, the directive interpreter behind
// the library's FORMAT (library/formattext.cpp).
//
// The whole output of one call is composed in a byte buffer first and
// written to its destination at the end, so that a case conversion can
// rewrite what its clause produced and a failing call writes nothing. The
// interpreter evaluates nothing and allocates only the string it answers,
// so no cell needs protecting while it runs: its arguments are held by the
// caller's argument list.
//
// Characters are bytes here as everywhere in the dialect; a column counts
// the bytes that begin a UTF-8 sequence, so Japanese text takes one column
// per character, as it does in Common Lisp.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "library/format.h"
#include "toplevel/symbols.h"

namespace formatting {

bool isLead(unsigned char b) { return (b & 0xC0) != 0x80; }

long textWidth(const std::string& s) {
    long n = 0;
    for (unsigned char b : s) n += isLead(b);
    return n;
}

}  // namespace formatting

// The column where the next byte written to f lands, as far as the bytes
// still in f's buffer tell it: counted from the last newline among them,
// else from the start of the buffer. An empty buffer has just been flushed,
// which the console does after a newline or a prompt: column 0.
long fileColumn(FILE* f) {
#if defined(__GLIBC__)
    const char* base = f->_IO_write_base;
    const char* p = f->_IO_write_ptr;
    if (base == nullptr || p == nullptr || p <= base) return 0;
    long n = 0;
    while (p > base && p[-1] != '\n') {
        --p;
        n += formatting::isLead((unsigned char)*p);
    }
    return n;
#else
    (void)f;
    return 0;
#endif
}

namespace formatting {

// The printed text of a cell, in PRINC's style or PRIN1's.
std::string printed(cfunction* lisp, _cell* c, bool escape) {
    char* buf = nullptr;
    size_t len = 0;
    FILE* m = open_memstream(&buf, &len);
    if (m == nullptr) return std::string();
    if (escape) {
        lisp->printSFile(c, m);
    } else {
        lisp->princS(c, m);
    }
    std::fclose(m);
    std::string s(buf, len);
    std::free(buf);
    return s;
}

void collect(_cell* list, Args* a) {
    for (_cell* p = list; isCons(p); p = p->cdr.p) a->items.push_back(p->car.p);
}

// Parses the directive whose tilde is at `at`. False: the text ends inside
// it (the message is set).
bool Formatter::parse(size_t at, Directive* d) {
    d->start = at;
    d->params.clear();
    d->colon = d->at = false;
    size_t i = at + 1;
    for (;;) {
        Param p;
        if (i < ctl.size() && (ctl[i] == 'v' || ctl[i] == 'V')) {
            p.kind = Param::kV;
            i++;
        } else if (i < ctl.size() && ctl[i] == '#') {
            p.kind = Param::kCount;
            i++;
        } else if (i < ctl.size() && ctl[i] == '\'') {
            if (i + 1 >= ctl.size()) break;
            p.kind = Param::kChar;
            p.value = (unsigned char)ctl[i + 1];
            i += 2;
        } else if (i < ctl.size() &&
                   (std::isdigit((unsigned char)ctl[i]) ||
                    ((ctl[i] == '-' || ctl[i] == '+') && i + 1 < ctl.size() &&
                     std::isdigit((unsigned char)ctl[i + 1])))) {
            bool neg = ctl[i] == '-';
            if (ctl[i] == '-' || ctl[i] == '+') i++;
            long v = 0;
            while (i < ctl.size() && std::isdigit((unsigned char)ctl[i])) {
                if (v < 100000000L) v = v * 10 + (ctl[i] - '0');
                i++;
            }
            p.kind = Param::kNumber;
            p.value = neg ? -v : v;
        }
        if (i < ctl.size() && ctl[i] == ',') {
            d->params.push_back(p);
            i++;
            continue;
        }
        if (p.kind != Param::kNone) d->params.push_back(p);
        break;
    }
    while (i < ctl.size() && (ctl[i] == ':' || ctl[i] == '@')) {
        if (ctl[i] == ':')
            d->colon = true;
        else
            d->at = true;
        i++;
    }
    if (i >= ctl.size())
        return fail(
            "エラー: FORMAT の制御文字列が指令の途中で終わっています--" +
            ctl.substr(at));
    d->ch = (char)std::toupper((unsigned char)ctl[i]);
    d->end = i + 1;
    return true;
}

// From `from`, the directive `close` that ends the construct opened just
// before, stepping over nested constructs; the ~; separators at this level
// go to seps.
bool Formatter::findClose(size_t from, char close, std::vector<Directive>* seps,
                          Directive* end) {
    std::vector<char> stack;
    size_t i = from;
    while (i < ctl.size()) {
        if (ctl[i] != '~') {
            i++;
            continue;
        }
        Directive d;
        if (!parse(i, &d)) return false;
        i = d.end;
        char c = d.ch;
        if (c == '[' || c == '{' || c == '(' || c == '<') {
            stack.push_back(c == '['   ? ']'
                            : c == '{' ? '}'
                            : c == '(' ? ')'
                                       : '>');
        } else if (c == ']' || c == '}' || c == ')' || c == '>') {
            if (stack.empty()) {
                if (c != close)
                    return fail("エラー: FORMAT の指令の対応が違います--" +
                                named(d));
                *end = d;
                return true;
            }
            if (stack.back() != c)
                return fail("エラー: FORMAT の指令の対応が違います--" +
                            named(d));
            stack.pop_back();
        } else if (c == ';' && stack.empty() && seps) {
            seps->push_back(d);
        }
    }
    return fail(std::string("エラー: FORMAT の指令を閉じる ~") + close +
                " がありません");
}

bool Formatter::take(Args* a, const Directive& d, _cell** v) {
    if (a->remaining() == 0)
        return fail("エラー: FORMAT の引数が足りません--" + named(d));
    *v = a->items[a->next++];
    return true;
}

// The parameter i as a number: dflt when omitted (or V of NIL).
bool Formatter::param(const Directive& d, size_t i, Args* a, long dflt,
                      long* v) {
    *v = dflt;
    if (i >= d.params.size()) return true;
    const Param& p = d.params[i];
    switch (p.kind) {
        case Param::kNone: return true;
        case Param::kNumber:
        case Param::kChar: *v = p.value; return true;
        case Param::kCount: *v = (long)a->remaining(); return true;
        case Param::kV: {
            _cell* c = nullptr;
            if (!take(a, d, &c)) return false;
            if (isNil(c)) return true;
            if (isInteger(c)) {
                *v = CellToInt(c);
                return true;
            }
            if (isMoji(c)) {
                *v = mojiByte(c);
                return true;
            }
            return fail(
                "エラー: FORMAT の V の引数が整数でも文字でもありません--" +
                named(d));
        }
    }
    return true;
}

bool Formatter::charParam(const Directive& d, size_t i, Args* a, char dflt,
                          char* v) {
    long n;
    if (!param(d, i, a, (unsigned char)dflt, &n)) return false;
    *v = (char)n;
    return true;
}

// text padded to mincol columns: minpad pad characters at least, then
// colinc at a time; on the left when `left`.
bool Formatter::padded(const std::string& text, long mincol, long colinc,
                       long minpad, char pad, bool left) {
    long width = textWidth(text);
    long n = minpad > 0 ? minpad : 0;
    if (colinc < 1) colinc = 1;
    while (width + n < mincol) n += colinc;
    if (left) out.append((size_t)n, pad);
    out += text;
    if (!left) out.append((size_t)n, pad);
    return true;
}

// ~D ~B ~O ~X and ~nR: mincol, padchar, commachar, comma-interval.
bool Formatter::integer(const Directive& d, Args* a, int radix) {
    size_t first = d.ch == 'R' ? 1 : 0;
    long mincol, interval;
    char pad, comma;
    if (!param(d, first, a, 0, &mincol) ||
        !charParam(d, first + 1, a, ' ', &pad) ||
        !charParam(d, first + 2, a, ',', &comma) ||
        !param(d, first + 3, a, 3, &interval))
        return false;
    _cell* v = nullptr;
    if (!take(a, d, &v)) return false;
    if (!isInteger(v)) {
        // As Common Lisp does: anything else is written as ~A writes it.
        out += printed(lisp, v, false);
        return true;
    }
    long n = CellToInt(v);
    unsigned long u = n < 0 ? 0UL - (unsigned long)n : (unsigned long)n;
    std::string digits;
    do {
        int k = (int)(u % (unsigned long)radix);
        digits.insert(digits.begin(), (char)(k < 10 ? '0' + k : 'A' + k - 10));
        u /= (unsigned long)radix;
    } while (u != 0);
    if (d.colon && interval > 0) {
        std::string grouped;
        long left = (long)digits.size();
        for (char c : digits) {
            grouped += c;
            if (--left > 0 && left % interval == 0) grouped += comma;
        }
        digits = grouped;
    }
    if (n < 0) {
        digits.insert(digits.begin(), '-');
    } else if (d.at) {
        digits.insert(digits.begin(), '+');
    }
    return padded(digits, mincol, 1, 0, pad, true);
}

// ~C: the character; ~:C spells out the unprinted ones, ~@C as PRIN1 writes
// it.
bool Formatter::character(const Directive& d, Args* a) {
    _cell* v = nullptr;
    if (!take(a, d, &v)) return false;
    if (!isMoji(v))
        return fail("エラー: FORMAT の ~C の引数が文字ではありません");
    if (d.at && !d.colon) {
        out += printed(lisp, v, true);
        return true;
    }
    int b = mojiByte(v);
    if (d.colon) {
        static const struct {
            int byte;
            const char* name;
        } kNames[] = {{' ', "Space"},   {'\n', "Newline"},   {'\t', "Tab"},
                      {'\r', "Return"}, {'\b', "Backspace"}, {'\f', "Page"},
                      {127, "Rubout"},  {0, "Nul"}};
        for (const auto& n : kNames)
            if (n.byte == b) {
                out += n.name;
                return true;
            }
    }
    out += (char)b;
    return true;
}

// ~colnum,colincT moves to column colnum, else past it to the next
// colnum + k*colinc; ~colrel,colinc@T moves colrel on, then to a multiple of
// colinc.
bool Formatter::tabulate(const Directive& d, Args* a) {
    long p1, colinc;
    if (!param(d, 0, a, 1, &p1) || !param(d, 1, a, 1, &colinc)) return false;
    long col = column();
    if (d.at) {
        if (p1 < 0) p1 = 0;
        out.append((size_t)p1, ' ');
        col += p1;
        if (colinc > 1 && col % colinc != 0)
            out.append((size_t)(colinc - col % colinc), ' ');
        return true;
    }
    if (col < p1) {
        out.append((size_t)(p1 - col), ' ');
    } else if (colinc > 0) {
        long k = (col - p1) / colinc + 1;
        out.append((size_t)(p1 + k * colinc - col), ' ');
    }
    return true;
}

// ~[ ... ~; ... ~]: the clause the argument (or the parameter) numbers,
// the ~:; clause for any other; ~:[ false ~; true ~]; ~@[ the clause when
// the argument is true, which the clause then reads again.
Outcome Formatter::conditional(const Directive& d, Args* a, Args* outer,
                               size_t* resume) {
    std::vector<Directive> seps;
    Directive close;
    if (!findClose(d.end, ']', &seps, &close)) return kFailed;
    *resume = close.end;
    std::vector<size_t> starts{d.end}, ends;
    for (const Directive& s : seps) {
        ends.push_back(s.start);
        starts.push_back(s.end);
    }
    ends.push_back(close.start);
    long chosen = -1;
    if (d.at) {
        if (seps.size() != 0)
            return fail("エラー: FORMAT の ~@[ には節が一つだけです"), kFailed;
        if (a->remaining() == 0)
            return fail("エラー: FORMAT の引数が足りません--~@["), kFailed;
        if (isNil(a->items[a->next])) {
            a->next++;
            return kDone;
        }
        chosen = 0;
    } else if (d.colon) {
        if (seps.size() != 1)
            return fail("エラー: FORMAT の ~:[ には節が二つです"), kFailed;
        _cell* v = nullptr;
        if (!take(a, d, &v)) return kFailed;
        chosen = isNil(v) ? 0 : 1;
    } else {
        long n;
        if (!d.params.empty() && d.params[0].kind != Param::kNone) {
            if (!param(d, 0, a, 0, &n)) return kFailed;
        } else {
            _cell* v = nullptr;
            if (!take(a, d, &v)) return kFailed;
            if (!isInteger(v))
                return fail("エラー: FORMAT の ~[ の引数が整数ではありません"),
                       kFailed;
            n = CellToInt(v);
        }
        bool hasDefault = !seps.empty() && seps.back().colon;
        long count = (long)starts.size();
        if (n >= 0 && n < count && !(hasDefault && n == count - 1)) {
            chosen = n;
        } else if (hasDefault) {
            chosen = count - 1;
        } else {
            return kDone;
        }
    }
    return run(starts[(size_t)chosen], ends[(size_t)chosen], a, outer);
}

// ~{ body ~}: the body over the elements of a list argument, while any
// remain; ~:{ over a list of lists, each the arguments of one pass; ~@{
// over the remaining arguments, ~:@{ each of them a list. A parameter
// bounds the passes; ~:} makes at least one.
Outcome Formatter::iterate(const Directive& d, Args* a, size_t* resume) {
    Directive close;
    if (!findClose(d.end, '}', nullptr, &close)) return kFailed;
    *resume = close.end;
    long limit;
    if (!param(d, 0, a, -1, &limit)) return kFailed;
    // An empty body takes the control string of each pass from the
    // arguments, before the list.
    bool fromArg = close.start == d.end;
    std::string body;
    if (fromArg) {
        _cell* c = nullptr;
        if (!take(a, d, &c)) return kFailed;
        if (!isString(c))
            return fail("エラー: FORMAT の ~{~} の引数が文字列ではありません"),
                   kFailed;
        body = printed(lisp, c, false);
    }
    Args own;
    Args* list = a;
    if (!d.at) {
        _cell* v = nullptr;
        if (!take(a, d, &v)) return kFailed;
        if (!isNil(v) && !isCons(v))
            return fail("エラー: FORMAT の ~{ の引数がリストではありません"),
                   kFailed;
        collect(v, &own);
        list = &own;
    }
    bool once = close.colon;
    auto pass1 = [&](Args* args, Args* up) {
        if (!fromArg) return run(d.end, close.start, args, up);
        Formatter inner(lisp, body, column());
        Outcome r = inner.run(0, body.size(), args, up);
        if (r == kFailed) return fail(inner.error), kFailed;
        out += inner.out;
        return r;
    };
    for (long pass = 0; limit < 0 || pass < limit; pass++) {
        if (list->remaining() == 0 && !(once && pass == 0)) break;
        Outcome r;
        if (d.colon) {
            _cell* v = NILCell;
            if (list->remaining() != 0) v = list->items[list->next++];
            if (!isNil(v) && !isCons(v))
                return fail(
                           "エラー: FORMAT の ~:{ "
                           "の要素がリストではありません"),
                       kFailed;
            Args sub;
            collect(v, &sub);
            r = pass1(&sub, list);
        } else {
            r = pass1(list, nullptr);
        }
        if (r == kFailed) return kFailed;
        if (r == kEscapeAll || (r == kEscape && !d.colon)) break;
    }
    return kDone;
}

// ~( ~) lower case; ~:( every word capitalised; ~@( the first word
// capitalised and the rest lower case; ~:@( upper case.
Outcome Formatter::caseConvert(const Directive& d, Args* a, Args* outer,
                               size_t* resume) {
    Directive close;
    if (!findClose(d.end, ')', nullptr, &close)) return kFailed;
    *resume = close.end;
    size_t from = out.size();
    Outcome r = run(d.end, close.start, a, outer);
    if (r == kFailed) return r;
    bool inWord = false, firstDone = false;
    for (size_t i = from; i < out.size(); i++) {
        unsigned char c = (unsigned char)out[i];
        bool alnum = c < 0x80 && std::isalnum(c);
        if (d.colon && d.at) {
            if (c < 0x80) out[i] = (char)std::toupper(c);
        } else if (d.colon || d.at) {
            if (alnum && !inWord && !(d.at && firstDone)) {
                out[i] = (char)std::toupper(c);
                firstDone = true;
            } else if (c < 0x80) {
                if (alnum && !inWord) firstDone = true;
                out[i] = (char)std::tolower(c);
            }
        } else if (c < 0x80) {
            out[i] = (char)std::tolower(c);
        }
        inWord = alnum;
    }
    return r;
}

// Interprets ctl[from, to) with the arguments a; outer is the list whose
// element a came from under ~:{, for ~:^.
Outcome Formatter::run(size_t from, size_t to, Args* a, Args* outer) {
    size_t i = from;
    while (i < to) {
        size_t tilde = ctl.find('~', i);
        if (tilde == std::string::npos || tilde >= to) {
            out.append(ctl, i, to - i);
            return kDone;
        }
        out.append(ctl, i, tilde - i);
        Directive d;
        if (!parse(tilde, &d)) return kFailed;
        i = d.end;
        long n;
        switch (d.ch) {
            case 'A':
            case 'S': {
                long mincol, colinc, minpad;
                char pad;
                if (!param(d, 0, a, 0, &mincol) ||
                    !param(d, 1, a, 1, &colinc) ||
                    !param(d, 2, a, 0, &minpad) ||
                    !charParam(d, 3, a, ' ', &pad))
                    return kFailed;
                _cell* v = nullptr;
                if (!take(a, d, &v)) return kFailed;
                std::string text =
                    d.colon && isNil(v) ? "()" : printed(lisp, v, d.ch == 'S');
                padded(text, mincol, colinc, minpad, pad, d.at);
                break;
            }
            case 'D':
                if (!integer(d, a, 10)) return kFailed;
                break;
            case 'B':
                if (!integer(d, a, 2)) return kFailed;
                break;
            case 'O':
                if (!integer(d, a, 8)) return kFailed;
                break;
            case 'X':
                if (!integer(d, a, 16)) return kFailed;
                break;
            case 'R':
                if (!radix(d, a)) return kFailed;
                break;
            case 'F':
                if (!fixedFloat(d, a)) return kFailed;
                break;
            case 'E':
                if (!expFloat(d, a)) return kFailed;
                break;
            case '$':
                if (!money(d, a)) return kFailed;
                break;
            case 'C':
                if (!character(d, a)) return kFailed;
                break;
            case 'P': {
                if (d.colon) {
                    if (a->next == 0)
                        return fail(
                                   "エラー: FORMAT の ~:P "
                                   "の前に引数がありません"),
                               kFailed;
                    a->next--;
                }
                _cell* v = nullptr;
                if (!take(a, d, &v)) return kFailed;
                bool one = isInteger(v) && CellToInt(v) == 1;
                if (d.at) {
                    out += one ? "y" : "ies";
                } else if (!one) {
                    out += 's';
                }
                break;
            }
            case '%':
            case '&':
            case '|':
            case '~':
                if (!param(d, 0, a, 1, &n)) return kFailed;
                if (n <= 0) break;
                if (d.ch == '&') {
                    if (column() != 0) out += '\n';
                    n--;
                }
                out.append((size_t)n, d.ch == '~'   ? '~'
                                      : d.ch == '|' ? '\f'
                                                    : '\n');
                break;
            case '\n':
                // ~ at the end of a line: the newline goes, and the blanks after
                // it unless ':'; '@' keeps the newline.
                if (d.at) out += '\n';
                if (!d.colon)
                    while (i < to && (ctl[i] == ' ' || ctl[i] == '\t')) i++;
                break;
            case 'T':
                if (!tabulate(d, a)) return kFailed;
                break;
            case '*': {
                if (d.at) {
                    if (!param(d, 0, a, 0, &n)) return kFailed;
                    if (n < 0 || (size_t)n > a->items.size())
                        return fail(
                                   "エラー: FORMAT の ~@* "
                                   "の位置に引数がありません"),
                               kFailed;
                    a->next = (size_t)n;
                } else {
                    if (!param(d, 0, a, 1, &n)) return kFailed;
                    if (d.colon) {
                        if (n > (long)a->next)
                            return fail(
                                       "エラー: FORMAT の ~:* "
                                       "で戻る引数がありません"),
                                   kFailed;
                        a->next -= (size_t)n;
                    } else {
                        if (n > (long)a->remaining())
                            return fail("エラー: FORMAT の引数が足りません--" +
                                        named(d)),
                                   kFailed;
                        a->next += (size_t)n;
                    }
                }
                break;
            }
            case '?': {
                _cell* c = nullptr;
                if (!take(a, d, &c)) return kFailed;
                if (!isString(c))
                    return fail(
                               "エラー: FORMAT の ~? "
                               "の引数が文字列ではありません"),
                           kFailed;
                std::string sub = printed(lisp, c, false);
                Formatter inner(lisp, sub, column());
                Outcome r;
                if (d.at) {
                    r = inner.run(0, sub.size(), a, nullptr);
                } else {
                    _cell* l = nullptr;
                    if (!take(a, d, &l)) return kFailed;
                    if (!isNil(l) && !isCons(l))
                        return fail(
                                   "エラー: FORMAT の ~? "
                                   "の引数がリストではありません"),
                               kFailed;
                    Args own;
                    collect(l, &own);
                    r = inner.run(0, sub.size(), &own, nullptr);
                }
                if (r == kFailed) return fail(inner.error), kFailed;
                out += inner.out;
                break;
            }
            case '^': {
                long p[3];
                size_t np = d.params.size();
                for (size_t k = 0; k < 3; k++)
                    if (!param(d, k, a, 0, &p[k])) return kFailed;
                bool stop;
                if (np == 0) {
                    stop = d.colon
                               ? (outer == nullptr || outer->remaining() == 0)
                               : a->remaining() == 0;
                } else if (np == 1) {
                    stop = p[0] == 0;
                } else if (np == 2) {
                    stop = p[0] == p[1];
                } else {
                    stop = p[0] <= p[1] && p[1] <= p[2];
                }
                if (stop) return d.colon ? kEscapeAll : kEscape;
                break;
            }
            case '[':
            case '{':
            case '(': {
                size_t resume = i;
                Outcome r = d.ch == '['   ? conditional(d, a, outer, &resume)
                            : d.ch == '{' ? iterate(d, a, &resume)
                                          : caseConvert(d, a, outer, &resume);
                if (r != kDone) return r;
                i = resume;
                break;
            }
            case ']':
            case '}':
            case ')':
            case '>':
            case ';':
                return fail("エラー: FORMAT の指令の対応が違います--" +
                            named(d)),
                       kFailed;
            default:
                return fail("エラー: FORMAT の知らない指令です--" + named(d)),
                       kFailed;
        }
    }
    return kDone;
}

}  // namespace formatting

using namespace formatting;

// (FORMAT$ destination control arguments): T writes to standard output,
// NIL answers a new string, a stream writes to it.
_cell* cfunction::formatd(_cell* args, _symval* frame, long count) {
    if (!isCons(args) || !hasTwo(args) || !isCons(args->cdr.p->cdr.p))
        return SyntaxError(frame, count);
    CellGroup g(this);
    g.push(args);
    _cell* dest = eval(args->car.p, frame, count);
    if (!dest) return nullptr;
    g.push(dest);
    _cell* control = eval(args->cdr.p->car.p, frame, count);
    if (!control) return nullptr;
    g.push(control);
    _cell* list = eval(args->cdr.p->cdr.p->car.p, frame, count);
    if (!list) return nullptr;
    g.push(list);

    FILE* f = nullptr;
    if (isNil(dest)) {
        f = nullptr;
    } else if (sameSymbol(dest, TCell)) {
        f = StandardOutput(frame, count);
        if (f == nullptr) return nullptr;
    } else {
        f = getStream(dest);
        if (f == nullptr)
            return Fail(
                "エラー: FORMAT の出力先が "
                "T、NIL、ストリームのどれでもありません",
                frame, count);
    }
    if (!isString(control))
        return Fail("エラー: FORMAT の制御文字列が文字列ではありません", frame,
                    count);
    std::string text = printed(this, control, false);
    Args a;
    collect(list, &a);
    Formatter fm(this, text, f ? fileColumn(f) : 0);
    if (fm.run(0, text.size(), &a, nullptr) == kFailed) {
        if (messageOut != stdout) fflush(stdout);
        return Fail(fm.error.c_str(), frame, count);
    }
    if (f != nullptr) {
        std::fwrite(fm.out.data(), 1, fm.out.size(), f);
        if (!Written(f, frame, count)) return nullptr;
        return NILCell;
    }
    // A cons a byte: a text larger than the free cells is the cell area's
    // error (the arguments are held by the group, so collecting is safe).
    if (!RoomForResult((long)fm.out.size() + reserveOf(kCellCapacity), frame,
                       count))
        return nullptr;
    ListBuilder chars(this);
    for (char c : fm.out) chars.add(getMojiCell((signed char)c, 0));
    return MakeMojiretsu(chars.finish(NILCell));
}
