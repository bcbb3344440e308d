// cfunction layer, library part: the built-ins that depend on the byte
// encoding (CHAR-CODE, CODE-CHAR, INTERN, INTERN-WIDE).
//
// Every byte is one character here, so a character code is the byte value
// 0..255 and a symbol name is the string's bytes unchanged.
#include <cstring>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

// Names are gathered in a buffer of this size, NUL included.
constexpr int kNameBufSize = 1024;

// Copies the string's bytes into buf up to the first element that is not a
// character. 0 when they do not fit in kNameBufSize - 1 bytes.
int copyName(_cell* str, char* buf) {
    int n = 0;
    for (_cell* p = stringChars(str); isCons(p); p = cdr(p)) {
        _cell* ch = car(p);
        if (!isMoji(ch)) break;
        if (n >= kNameBufSize - 1) return 0;
        buf[n++] = (char)mojiByte(ch);
    }
    buf[n] = '\0';
    return 1;
}

// 1: first offending byte is a lower-case letter; 2: one of the marks the
// reader would take apart; 0: the name is acceptable.
int badByte(const char* name) {
    for (const char* p = name; *p != '\0'; ++p) {
        char b = *p;
        if (b >= 'a' && b <= 'z') return 1;
        if (std::strchr(" @,';:\"", b) != nullptr) return 2;
    }
    return 0;
}

struct InternMessages {
    const char* tooLong;
    const char* lower;
    const char* mark;
    const char* empty;
};

const InternMessages kIntern = {
    "エラー: INTERNは現在のところ長すぎる文字列には対応していません",
    "エラー: INTERNは現在のところ小文字を含む文字列には対応していません",
    "エラー: INTERNは現在のところその文字を含む文字列には対応していません",
    "エラー: INTERNは現在のところ空文字列には対応していません",
};

const InternMessages kInternWide = {
    "エラー: INTERN-WIDEは現在のところ長すぎる文字列には対応していません",
    "エラー: INTERN-WIDEは現在のところ小文字を含む文字列には対応していません",
    "エラー: INTERN-WIDEは現在のところその文字を含む文字列には対応していません",
    "エラー: INTERN-WIDEは現在のところ空文字列には対応していません",
};

}  // namespace

// ---------------------------------------------------------------------------
// CHAR-CODE and CODE-CHAR
// ---------------------------------------------------------------------------

_cell* cfunction::char_to_code(_cell* args, _symval* frame, long count) {
    _cell* ch = eval(car(args), frame, count);
    if (ch == nullptr) return nullptr;
    if (!isMoji(ch))
        return Fail("エラー: CHAR-CODEの使い方が間違っています。", frame,
                    count);
    return IntToCell(mojiByte(ch));
}

_cell* cfunction::code_to_char(_cell* args, _symval* frame, long count) {
    _cell* code = eval(car(args), frame, count);
    if (code == nullptr) return nullptr;
    if (!isInteger(code) || CellToInt(code) < 0)
        return Fail("エラー: CODE-CHARの使い方が間違っています。", frame,
                    count);
    return getMojiCell((int)(CellToInt(code) % 256), 0);
}

// ---------------------------------------------------------------------------
// INTERN and INTERN-WIDE
// ---------------------------------------------------------------------------

namespace {

// Shared steps of INTERN and INTERN-WIDE up to the making of the symbol.
// 1 with the checked name in buf; 0 after the failure was reported (or the
// argument's evaluation failed), nothing interned.
int gatherName(cfunction* L, _cell* args, _symval* frame, long count,
               const InternMessages& m, char* buf) {
    if (!isCons(args)) {
        L->Fail("引数が足りません", frame, count);
        return 0;
    }
    _cell* str = L->eval(car(args), frame, count);
    if (str == nullptr) return 0;
    const char* bad = nullptr;
    if (!isString(str)) {
        bad = "文字列ではありません";
    } else if (!copyName(str, buf)) {
        bad = m.tooLong;
    } else {
        int b = badByte(buf);
        if (b == 1)
            bad = m.lower;
        else if (b == 2)
            bad = m.mark;
        else if (buf[0] == '\0')
            bad = m.empty;
    }
    if (bad != nullptr) {
        L->Fail(bad, frame, count);
        return 0;
    }
    return 1;
}

}  // namespace

// The list (symbol status) goes into the symbol's own values field; the
// evaluator keeps it for these two operators. The answer is the symbol
// itself, not a copy, so that SET, FUNCALL and the tables find it; the
// collector drops the list when it frees it.
_cell* cfunction::t_intern(_cell* args, _symval* frame, long count) {
    char name[kNameBufSize];
    if (!gatherName(this, args, frame, count, kIntern, name)) return nullptr;
    int existed = CheckStringCell(name) != nullptr;
    _cell* sym = getStringCell(name);
    if (sym == nullptr) return nullptr;     // symbol table full, reported
    return TwoValues(sym, existed ? TINTERNAL : NILCell);
}

_cell* cfunction::t_intern_wide(_cell* args, _symval* frame, long count) {
    char name[kNameBufSize];
    if (!gatherName(this, args, frame, count, kInternWide, name))
        return nullptr;
    _cell* sym = getStringCellWide(name);
    if (sym == nullptr) return nullptr;     // symbol table full, reported
    return TwoValues(sym, NILCell);
}
