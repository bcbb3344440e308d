// tamarisk text layer: building cells from the normalised and
// rewritten text of one expression, and the string cells of literals.
//
// A list text is read element by element: the first element's text is read
// on its own (recursively, so the depth is the nesting of the text), and
// the rest of the list is read by the loop that follows, which is what
// reading "(" followed by the rest would give. Reading works on the caller's
// text where it stands: a token is cut by a NUL that is put back before its
// atom is returned, so the text is unchanged when the read ends. Nothing
// here evaluates, so nothing collects while cells are made.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "reader/ctextproc.h"
#include "reader/scan.h"
#include "toplevel/symbols.h"

namespace {

const char kNoCloser[] = "エラー: 右括弧が足りません";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// End of the first element of s; null, with the message out, when it is a
// list that never closes.
char* elementEnd(char* s) {
    char* end = ExprEnd(s);
    if (!end) PutMessage(kNoCloser);
    return end;
}

const char kOverflow[] = "エラー: 整数値がオーバーフローしました";

// The digit run at text (with its sign) as a long; false when it lies
// outside the range of long, which a literal is never cut to.
bool digitRun(const char* text, long* out) {
    errno = 0;
    *out = std::strtol(text, nullptr, 10);
    return errno != ERANGE;
}

// An integer literal; null after the overflow message when it does not fit.
_cell* buildInteger(ctextproc* m, char* token) {
    long n;
    if (!digitRun(token, &n)) {
        PutMessage(kOverflow);
        return nullptr;
    }
    return m->IntToCell(n);
}

_cell* buildFraction(ctextproc* m, char* token) {
    // The numerator is the digit run before the '/', the denominator the
    // digits after it; both are converted where they stand, so texts of any
    // length are safe. Either beyond the range of long fails the read with
    // the overflow message, even when the fraction would reduce into range
    // (the literal stands for its digits, as an integer literal does).
    long n, d;
    if (!digitRun(token, &n) || !digitRun(std::strchr(token, '/') + 1, &d)) {
        PutMessage(kOverflow);
        return nullptr;
    }
    if (n == 0) return m->IntToCell(0);
    long rn = 0;
    long rd = 0;
    // The denominator has no sign, so a non-zero one reduces into range.
    if (d == 0 || !reduceFraction(n, d, &rn, &rd)) {
        PutMessage("エラー: 0で割りました。");
        return nullptr;
    }
    if (rd == 1) return m->IntToCell(rn);
    return m->BunsuToCell(rn, rd);
}

// The character a name after #\ stands for, in any case; -1 when the
// text is not a name, so that its first byte is the character as before.
int namedCharacter(const char* name) {
    static const struct {
        const char* name;
        int code;
    } kNames[] = {{"SPACE", ' '},      {"NEWLINE", '\n'},  {"TAB", '\t'},
                  {"RETURN", '\r'},    {"LINEFEED", '\n'}, {"PAGE", '\f'},
                  {"BACKSPACE", '\b'}, {"RUBOUT", 127},    {"ESCAPE", 27},
                  {"BELL", 7}};
    if (name[0] == 0 || name[1] == 0) return -1;
    for (const auto& n : kNames) {
        const char* a = name;
        const char* b = n.name;
        while (*a && *b && std::toupper((unsigned char)*a) == *b) a++, b++;
        if (*a == 0 && *b == 0) return n.code;
    }
    return -1;
}

_cell* buildAtom(ctextproc* m, char* token) {
    switch (m->AnaType(token)) {
        case 1: return m->NumberToCell(m->myatof(token));
        case 2: return buildInteger(m, token);
        case 3: return buildFraction(m, token);
        case 4: return m->getMojiretsuCell(token);
        case 5: {
            int named = namedCharacter(token + 2);
            return m->getMojiCell(named >= 0 ? named : (signed char)token[2],
                                  0);
        }
        default:
            return m->getStringCell(token);  // null: table full, message out
    }
}

// Reading stops with the area's message before it takes the reserve that
// the debug loop needs: a text too large for what is left is an error of
// that text, not the end of the session. Nothing collects while cells are
// made here (ReadText collects before, when the text may not fit).
const char kCellsFull[] = "エラー: セル領域が一杯です。";
const char kNamesFull[] = "エラー: ストリング領域が一杯です。";

bool roomFor(ctextproc* m, long cells) {
    if (m->policy.freeCells - cells > m->policy.CellFloor()) return true;
    PutMessage(kCellsFull);
    return false;
}

_cell* readToken(ctextproc* m, char* p) {
    char* end = elementEnd(p);
    char saved = *end;
    *end = 0;
    _cell* atom = nullptr;
    size_t len = (size_t)(end - p);
    // A string takes a cons a byte; a new symbol's name goes into the
    // string area, whose last 4096 bytes are kept for the debug loop.
    if (!roomFor(m, (long)len + 8)) {
    } else if (m->AnaType(p) == 0 && !m->CheckStringCell(p) &&
               (size_t)(m->stringNext - m->stringArea) + len + 4096 >
                   (size_t)kStringCapacity) {
        PutMessage(kNamesFull);
    } else {
        atom = buildAtom(m, p);
    }
    *end = saved;
    return atom;
}

_cell* readExpr(ctextproc* m, char* p);

// #(a b ...): the one-dimensional array of general element type holding the
// elements read as a list, as MAKE-ARRAY builds it. A dotted list has no
// vector to stand for.
_cell* readVector(ctextproc* m, char* p) {
    _cell* elements = m->readFromString(p + 1);
    if (!elements) return nullptr;
    for (_cell* c = elements; !isNil(c); c = cdr(c)) {
        if (!isCons(c)) {
            PutMessage("エラー: 文法エラー");
            return nullptr;
        }
    }
    _cell* type = m->getStringCell("ALL");
    if (!type) return nullptr;
    _cell* body = m->getCell();
    body->car.p = type;
    body->cdr.p = elements;
    _cell* array = m->getCell();
    array->car.p = m->IntToCell(1);
    array->cdr.p = body;
    array->type = 'a';
    return array;
}

// Reads the first expression of p. null: the message is out.
_cell* readExpr(ctextproc* m, char* p) {
    // The conses of a list and of the lists after its dots, in one chain.
    ListBuilder list(m);
    for (;;) {
        p = m->SkipSpc(p);
        if (p[0] == '#' && p[1] == '(') {
            _cell* vector = readVector(m, p);
            if (!vector) return nullptr;
            return list.finish(vector);
        }
        if (*p != '(') {
            _cell* atom = readToken(m, p);
            if (!atom) return nullptr;
            return list.finish(atom);
        }
        p = m->SkipSpc(p + 1);
        for (;;) {
            if (*p == ')') return list.finish(NILCell);
            // An empty rest means the list never closed; reading on would
            // find the same empty rest forever.
            if (*p == 0) {
                PutMessage(kNoCloser);
                return nullptr;
            }
            if (p[0] == '.' && p[1] == ' ') break;
            char* end = elementEnd(p);
            if (!end) return nullptr;
            _cell* car = readExpr(m, p);
            if (!car || !roomFor(m, 1)) return nullptr;
            list.add(car);
            p = m->SkipSpc(end);
        }
        // A dotted tail: the first expression after the dot is the cdr; its
        // closing parenthesis and whatever follows are not read.
        p += 2;
    }
}

}  // namespace

_cell* ctextproc::readFromString(char* text) { return readExpr(this, text); }

char* ctextproc::SkipSpc(char* text) {
    while (*text == ' ') text++;
    return text;
}

// ---------------------------------------------------------------------------
// Tokens
// ---------------------------------------------------------------------------

// 0 symbol, 1 floating number, 2 integer, 3 fraction, 4 string, 5 character.
int ctextproc::AnaType(char* token) {
    const char* t = token;
    if (std::strcmp(t, "1+") == 0 || std::strcmp(t, "1-") == 0) return 0;
    if ((t[0] == '.' && isDigit(t[1])) ||
        (t[0] == '-' && t[1] == '.' && isDigit(t[2])))
        return 1;
    const char* run = nullptr;  // first digit of a number head
    if (isDigit(t[0]))
        run = t;
    else if (t[0] == '-' && isDigit(t[1]))
        run = t + 1;
    if (!run) {
        if (t[0] == '"') return 4;
        if (t[0] == '#' && t[1] == '\\' && t[2] != 0) return 5;
        return 0;
    }
    while (isDigit(*run)) run++;
    if (run[0] == '.' && isDigit(run[1])) return 1;
    if (run[0] == 'E' && (isDigit(run[1]) || run[1] == '+' || run[1] == '-'))
        return 1;
    if (run[0] == '/' && isDigit(run[1])) return 3;
    return 2;
}

long double ctextproc::myatof(char* token) {
    long double v = 0.0L;
    if (std::sscanf(token, "%Lg", &v) != 1) return 0.0L;
    return v;
}

// ---------------------------------------------------------------------------
// Strings
// ---------------------------------------------------------------------------

_cell* ctextproc::MakeMojiretsu(_cell* chars) {
    _cell* rank = IntToCell(1);
    _cell* array = getCell();
    array->type = 'a';
    array->car.p = rank;
    _cell* body = getCell();
    body->car.p = CHARACTER;
    body->cdr.p = chars;
    array->cdr.p = body;
    return array;
}

// Decodes a literal that begins with a double quote, up to the closing one
// or the end of the text.
_cell* ctextproc::getMojiretsuCell(char* text) {
    ListBuilder chars(this);
    char* p = text;
    if (*p == '"') p++;
    while (*p && *p != '"') {
        chars.add(get1char(p));
        p = getRestchar(p);
    }
    return MakeMojiretsu(chars.finish(NILCell));
}

// A backslash stands for the byte after it (two backslashes for one),
// except \0, the gatherers' escape for a NUL byte (they write a \0 typed
// in a string as the digit alone); a backslash at the very end of the text
// stands for itself.
_cell* ctextproc::get1char(char* p) {
    if (p[0] == '\\' && p[1] == '0') return getMojiCell(0, 0);
    if (p[0] == '\\' && p[1] != 0) return getMojiCell((signed char)p[1], 0);
    return getMojiCell((signed char)p[0], 0);
}

char* ctextproc::getRestchar(char* p) {
    if (p[0] == '\\' && p[1] != 0) return p + 2;
    return p + 1;
}
