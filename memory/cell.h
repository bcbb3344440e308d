// tamarisk memory layer: the cell, the binding record and the frame, and
// the vocabulary every layer reads them through (tags, predicates, field
// accessors), with the in-use bitmaps and the wrapping arithmetic. Plain
// types and inline functions only; the areas and the collector that own
// these are in memory/cmemory.h.
#ifndef TAMARISK_MEMORY_CELL_H
#define TAMARISK_MEMORY_CELL_H

struct _cell;
struct _symval;
struct _intslot;
struct _numslot;

// The two polymorphic words of a cell; which member is meant depends on the
// cell's type (see _cell).
union _word {
    _cell* p;     // cons car/cdr, array car/cdr
    _intslot* i;  // integer value, fraction numerator/denominator
    _numslot* n;  // floating-number value
    char* s;      // symbol name in the string area
    _symval* f;   // symbol cdr: its function-table record once looked up
                  // (a cache of getFuncval2, never followed by the
                  // collector), or anything else
    long c;       // character byte (signed or 0..255), second byte
};

// What a cell's `extra` word holds, by the bits of `extraKind`:
//   0                        nothing;
//   kHasValues               extra.p: the list of all values of a
//                            multiple-value result (a table symbol keeps
//                            the one INTERN gave it until a collection
//                            frees that list);
//   kHasEnv (conses)         extra.env: the frame captured by FUNCTION,
//                            with closureCount records;
//   kHasValues | kHasEnv     extra.p: a carrier cons whose car is the
//                            values list and whose own extra is the frame,
//                            for the rare closure that is also the first
//                            of several values.
// The collector follows extra.p as a cell and walks a captured frame, so
// a cell is 32 bytes (20 on i386) and most cells never pay for the rare
// fields. Read and write them only through the functions below.
// A symbol that DEFVAR or DEFPARAMETER has named: every binding of it is
// dynamic (see SpecialSave).
constexpr unsigned char kSpecialSymbol = 1;
// A cons of a form of the library written in the dialect (and the
// definition DEFUN makes of one): its binding forms bind every name
// lexically, so that a user's DEFVAR of a name that a library function
// happens to bind changes nothing of what the function does.
constexpr unsigned char kLibraryForm = 2;
// A definition DEFUN made of a body that declares some of its parameters
// dynamic, (DECLARE (SPECIAL name...)): each call binds those dynamically.
constexpr unsigned char kDeclaresDynamic = 4;
// A cons or array that the printer is writing (printer/print.cpp): met
// again inside itself, it is written "...". Set and cleared by one walk.
constexpr unsigned char kBeingPrinted = 8;
constexpr unsigned char kHasValues = 1;
constexpr unsigned char kHasEnv = 2;
union _extra {
    _cell* p;
    _symval* env;
};

// The tag of a cell, in its `type`: what its car and cdr hold. The
// characters are what they have always been (0: never handed out).
enum CellTag : char {
    kConsTag = 'l',
    kSymbolTag = 's',
    kIntegerTag = 'i',
    kFloatingTag = 'n',
    kFractionTag = 'b',
    kCharacterTag = 'm',
    kArrayTag = 'a',
};
// The kinds of a cell, in its `kind`: a symbol's kInternedKind,
// kKeywordKind or kUninternedKind; kStreamKind on the integer cell of a
// stream; on a cons, kPlainDef and the marks of the indexes (cfunction.h);
// kInternedKind elsewhere, as every cell starts.
constexpr char kInternedKind = 'u';
constexpr char kKeywordKind = 'c';
constexpr char kUninternedKind = 'g';
constexpr char kStreamKind = 's';
struct _cell {
    char type;
    char kind;
    unsigned char extraKind;
    unsigned char symFlags;  // symbols: kSpecialSymbol; conses: kLibraryForm
    int closureCount;        // conses: records in the captured frame;
                             // symbols: the built-in operator number (0: none)
    _word car;
    _word cdr;
    _extra extra;
};
// Tags, count and three words: the marking reads the whole area, so every
// byte added to a cell costs every collection.
static_assert(sizeof(_cell) == 8 + 3 * sizeof(void*), "a cell grew");

// The values list of a multiple-value result, or null.
inline _cell* valuesOf(const _cell* c) {
    switch (c->extraKind) {
        case kHasValues: return c->extra.p;
        case kHasValues | kHasEnv: return c->extra.p->car.p;
        default: return nullptr;
    }
}

// The frame a closure captured, or null.
inline _symval* closureEnvOf(const _cell* c) {
    switch (c->extraKind) {
        case kHasEnv: return c->extra.env;
        case kHasValues | kHasEnv: return c->extra.p->extra.env;
        default: return nullptr;
    }
}

// The cell is no longer a multiple-value result; a closure stays one.
inline void clearValues(_cell* c) {
    if (!(c->extraKind & kHasValues)) return;
    if (c->extraKind & kHasEnv) {
        c->extra.env = c->extra.p->extra.env;
        c->extraKind = kHasEnv;
    } else {
        c->extra.p = nullptr;
        c->extraKind = 0;
    }
}

// A symbol's cdr is otherwise unused: it caches the symbol's function
// record (see getFuncval2), which the collector never follows. Whatever a
// cdr holds may be read as a record; the reader checks it against the
// table before trusting it.
inline _symval* cachedFunction(const _cell* symbol) { return symbol->cdr.f; }
inline void cacheFunction(_cell* symbol, _symval* record) {
    symbol->cdr.f = record;
}

struct _intslot {
    long value;
};

struct _numslot {
    long double value;
};

// ---------------------------------------------------------------------------
// Glossary of the romanised words used in names:
//   Wa, Sa, Seki, Sho   sum, difference, product, quotient
//   Bunshi, Bunbo       numerator, denominator; Bunsu: fraction
//   yakubun             reducing a fraction, in the name of an operation
//                       that reduces its result (SekiWithYakubun); the
//                       reducer itself is reduceFraction (below),
//                       which the reader and the arithmetic share.
//                       Tsubun: common denominator (WaWithTsubun)
//   Moji, Mojiretsu     character, string
//   taiou               matching (the end of an expression)
//
// Cell vocabulary: every layer reads tags and fields through these names.
// Each predicate answers false for a null pointer. The result of VALUES
// is a fresh cell copying its first value (tag, kind, car and cdr), so a
// copy of a symbol is that symbol for every test of truth and identity:
// it shares the name in the string area, and each symbol has a name copy
// of its own, so the name pointer identifies the symbol. (The two values
// of FLOOR and INTERN hang on the first value itself: see TwoValues.)
// ---------------------------------------------------------------------------
extern _cell* NILCell;  // the built-in symbols (toplevel/symbols.h)
extern _cell* TCell;
extern _cell* CHARACTER;

// A live cell of that tag (null is none).
inline bool hasTag(const _cell* c, CellTag t) {
    return c != nullptr && c->type == t;
}
inline bool isCons(const _cell* c) { return hasTag(c, kConsTag); }
inline bool isSymbol(const _cell* c) { return hasTag(c, kSymbolTag); }
inline bool isInteger(const _cell* c) { return hasTag(c, kIntegerTag); }
inline bool isBunsu(const _cell* c) { return hasTag(c, kFractionTag); }
inline bool isFloating(const _cell* c) { return hasTag(c, kFloatingTag); }
inline bool isMoji(const _cell* c) { return hasTag(c, kCharacterTag); }
inline bool isArray(const _cell* c) { return hasTag(c, kArrayTag); }
// One of the seven tags above: anything else is a free or poisoned cell.
inline bool hasValidTag(const _cell* c) {
    switch (c->type) {
        case kConsTag:
        case kSymbolTag:
        case kIntegerTag:
        case kFractionTag:
        case kFloatingTag:
        case kCharacterTag:
        case kArrayTag: return true;
        default: return false;
    }
}
inline bool isNumber(const _cell* c) {
    return isInteger(c) || isBunsu(c) || isFloating(c);
}
// Car and cdr hold cells: a cons, or an array (its dimensions and
// (element-type . contents)).
inline bool isConsOrArray(const _cell* c) { return isCons(c) || isArray(c); }
inline bool isKeyword(const _cell* c) {
    return isSymbol(c) && c->kind == kKeywordKind;
}
// The integer cell that designates an open-file slot.
inline bool isStream(const _cell* c) {
    return isInteger(c) && c->kind == kStreamKind;
}

inline _cell* car(const _cell* c) { return c->car.p; }
inline _cell* cdr(const _cell* c) { return c->cdr.p; }
// A list of at least two elements (an argument list, say).
inline bool hasTwo(const _cell* list) {
    return isCons(list) && isCons(list->cdr.p);
}

inline bool sameSymbol(const _cell* a, const _cell* b) {
    return a == b || (isSymbol(a) && isSymbol(b) && a->car.s == b->car.s);
}
// The one test of NIL, a multiple-value copy of NIL included.
inline bool isNil(const _cell* c) { return sameSymbol(c, NILCell); }
inline _cell* truth(bool b) { return b ? TCell : NILCell; }

// The byte of a character. Characters are one byte each (the second byte
// is always 0); car may hold it signed (the reader) or as 0..255
// (CODE-CHAR), so only its low eight bits count.
inline int mojiByte(const _cell* c) {
    return static_cast<int>(static_cast<unsigned long>(c->car.c) & 0xFFUL);
}
inline bool sameMoji(const _cell* a, const _cell* b) {
    return mojiByte(a) == mojiByte(b) && a->cdr.c == b->cdr.c;
}

// A string is the one-dimensional array of element type CHARACTER: an
// array cell whose car is the integer 1 and whose cdr is
// (CHARACTER . contents).
inline bool isString(const _cell* c) {
    if (!isArray(c)) return false;
    const _cell* dims = c->car.p;
    if (!isInteger(dims) || dims->car.i == nullptr || dims->car.i->value != 1)
        return false;
    return isCons(c->cdr.p) && c->cdr.p->car.p == CHARACTER;
}
// The contents of a string (or of any array): its list of elements.
inline _cell* stringChars(const _cell* s) { return s->cdr.p->cdr.p; }

// One bit per cell or slot of an area, set while it is in use.
typedef unsigned long markword;
constexpr long kMarkBits = (long)sizeof(markword) * 8;
constexpr long markWords(long capacity) {
    return (capacity + kMarkBits - 1) / kMarkBits;
}
// Indexes are never negative; unsigned, the division is a shift.
inline bool testMark(const markword* m, long i) {
    unsigned long u = (unsigned long)i;
    return (m[u / kMarkBits] >> (u % kMarkBits)) & 1UL;
}
// Sets the bit; true when it was clear.
inline bool setMark(markword* m, long i) {
    unsigned long u = (unsigned long)i;
    markword bit = 1UL << (u % kMarkBits);
    markword& w = m[u / kMarkBits];
    if (w & bit) return false;
    w |= bit;
    return true;
}

// The index of a table's records by symbol cell: open addressing, each
// slot 0 (empty) or 1 + the record's position; the first record of a
// symbol is the one entered. It grows (and is entered anew from the table)
// when half full.
struct RecordIndex {
    unsigned* slots = nullptr;
    unsigned long size = 0;  // a power of 2, or 0 before the first use
    long count = 0;
};

// The kind of a record of the function table: a function (DEFUN) or a
// macro (DEFMACRO).
constexpr char kFunctionRecord = 'f';
constexpr char kMacroRecord = 'm';

// Binding record of the global table, the function table and of frames.
struct _symval {
    char kind;      // kFunctionRecord / kMacroRecord in the
                    // function table
    _cell* symbol;  // null: an unused record, ignored by lookup
    _cell* value;
};

// A dynamic binding of a special symbol is shallow: the binding form puts
// the global value aside on the special stack, stores the new value in the
// global record, and gives its frame record no symbol, so that lookup and
// assignment from anywhere reach the global record. Every way out of the
// form (a value, an error reported, a THROW, RETURN-FROM or GO in flight,
// ABORT of a debug loop) is a C++ return through its SpecialScope, which
// puts the values back. Global records never move, so the entry keeps the
// record itself.
struct SpecialSave {
    _symval* record;
    _cell* old;
};

// Every frame is allocated with this header in front of its records; the
// records are what the rest of the interpreter sees (a closure's extra.env
// points at them). A frame whose call has ended but that a closure captured stays on
// the kept list until the collector finds no closure pointing at it.
struct _framehead {
    long count;        // number of records
    int captured;      // a closure has pointed at this frame
    int active;        // the binding form that made it is running
    long mark;         // collector epoch that last reached it
    _framehead* next;  // kept list
};

// ---------------------------------------------------------------------------
// Wrapping integer arithmetic, for every layer. The interpreter's integers
// wrap in two's complement; signed overflow is undefined in C++, so the
// arithmetic is done in unsigned.
// ---------------------------------------------------------------------------
inline long wrapAdd(long a, long b) {
    return (long)((unsigned long)a + (unsigned long)b);
}
inline long wrapSub(long a, long b) {
    return (long)((unsigned long)a - (unsigned long)b);
}
inline long wrapMul(long a, long b) {
    return (long)((unsigned long)a * (unsigned long)b);
}
inline long wrapNeg(long a) { return (long)(0UL - (unsigned long)a); }
// Reduces n/d: sign on the numerator, no common divisor, 0 gives 0/1.
// Returns 0 (and writes nothing) when d is 0, or when the reduced
// denominator would be the smallest long, which no positive long holds.
int reduceFraction(long n, long d, long* rn, long* rd);

// Conversions from cells; a cell of another tag gives 0.
long double CellToNumber(_cell* c);
long CellToInt(_cell* c);
long CellToBunshi(_cell* c);
long CellToBunbo(_cell* c);

#endif  // TAMARISK_MEMORY_CELL_H
