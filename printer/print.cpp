// cprint layer, printer part: writing any cell in the escaping style (to
// standard output or to a stream) or in the plain style.
//
// Every printed form is made of three positions: an object by itself, an
// element inside a list, and the tail after a list's last element. The
// entry points (printS, printSFile, printSStrm, princS) share one walker
// that differs only in how it writes characters, strings and arrays.
#include <cstdio>
#include <cstring>
#include <cstdlib>

#include "printer/cprint.h"
#include "toplevel/symbols.h"

namespace {

const char kArrayToFile[] = "エラー: 配列はファイルに出力できません";

enum class Style {
    kEscape,        // PRIN1 to standard output: arrays are written out
    kEscapeStrm,    // PRIN1 to a stream: arrays are refused with a message
    kPlain,         // PRINC: raw characters and strings
};



long slotValue(const _intslot* s) { return s != nullptr ? s->value : 0; }

// A structure made by DEFSTRUCT (library/struct.cpp): a one-dimensional
// array whose element type is its descriptor, a list headed by the symbol
// STRUCTURE$. Compared by name: the symbol is made by the library's text
// when the first structure is defined, so it has no global of its own.
bool isStructure(const _cell* c) {
    if (!isArray(c) || !isCons(c->cdr.p)) return false;
    const _cell* d = c->cdr.p->car.p;
    return isCons(d) && isSymbol(d->car.p) && d->car.p->car.s != nullptr &&
           std::strcmp(d->car.p->car.s, "STRUCTURE$") == 0;
}

// One printing job: a style and a destination. For kEscape the destination
// is standard output.
//
// The walk keeps its own stack of what is left to write (tasks popped last
// in, first out), so that the depth of nesting costs memory, not C++ stack:
// a structure nested millions deep is written whole, to the console as to
// a file. A list, array or structure that is met again inside itself
// (circular through its cars or slots) is written "..." there, as a cdr
// chain that runs into a cycle is.
class Walker {
public:
    Walker(cprint* p, Style s, FILE* f) : lisp(p), style(s), out(f) {}
    ~Walker() { std::free(tasks); }
    Walker(const Walker&) = delete;
    Walker& operator=(const Walker&) = delete;

    // An object by itself.
    void object(_cell* c) {
        push(kObject, c);
        run();
    }

private:
    enum Kind {
        kObject,        // c by itself
        kElement,       // c as a list element; n: 1 when it is the last
        kChain,         // the list from cons c on; n: cons left before the
                        // cdr cycle closes, or -1
        kTail,          // c after a list's last element
        kArray,         // the array c; n: 1 with the trailing space
        kSlots,         // a structure's slots c and values d
        kChar,          // the byte n
        kClose,         // n, then c is no longer open
    };
    struct Task {
        Kind kind;
        _cell* c;
        _cell* d;
        long n;
    };

    // False, with "..." written in place of what the task would have
    // written, when memory for the task cannot be had: the output is cut
    // there, and every object opened so far is still closed.
    bool push(Kind k, _cell* c, long n = 0, _cell* d = nullptr) {
        if (used == capacity) {
            long more = capacity ? 2 * capacity : 64;
            void* grown = std::realloc(tasks, (size_t)more * sizeof(Task));
            if (!grown) {
                std::fputs("...", out);
                return false;
            }
            tasks = (Task*)grown;
            capacity = more;
        }
        tasks[used++] = Task{k, c, d, n};
        return true;
    }

    void run() {
        while (used > 0) {
            Task t = tasks[--used];
            switch (t.kind) {
            case kObject: objectStep(t.c); break;
            case kElement: elementStep(t.c, t.n); break;
            case kChain: chainStep(t.c, t.n); break;
            case kTail: tailStep(t.c); break;
            case kArray: arrayStep(t.c, t.n != 0); break;
            case kSlots: slotsStep(t.c, t.d); break;
            case kChar: std::fputc((int)t.n, out); break;
            case kClose:
                if (t.n) std::fputc((int)t.n, out);
                t.c->symFlags &= (unsigned char)~kBeingPrinted;
                break;
            }
        }
    }

    // Opens a compound object: false (and "..." written) when it is open
    // already, further out. Its kClose task, pushed here, closes it.
    bool enter(_cell* c, int closer) {
        if (c->symFlags & kBeingPrinted) {
            std::fputs("...", out);
            return false;
        }
        if (!push(kClose, c, closer)) return false;
        c->symFlags |= kBeingPrinted;
        return true;
    }

    void objectStep(_cell* c) {
        if (c == nullptr) return;
        switch (c->type) {
        case kConsTag:
            if (!enter(c, ')')) return;
            std::fputc('(', out);
            push(kChain, c, distinctConses(c));
            return;
        case kArrayTag:
            if (isString(c)) {
                string(c);
            } else if (isStructure(c)) {
                structure(c);
            } else {
                arrayStep(c, true);
            }
            return;
        case kCharacterTag:
            if (style != Style::kPlain) std::fputs("#\\", out);
            std::fputc(mojiByte(c), out);
            return;
        default:
            atomText(c);
            return;
        }
    }

    // A list element: the object, then a separating space unless it is the
    // last one. A non-string array writes no trailing space of its own here,
    // and when refused by a stream it skips the separator as well.
    void elementStep(_cell* c, long last) {
        if (isArray(c) && !isString(c) && !isStructure(c)) {
            if (style == Style::kEscapeStrm) {
                PutMessage(kArrayToFile);
                return;
            }
            if (!last) push(kChar, nullptr, ' ');
            push(kArray, c, 0);
            return;
        }
        if (!last) push(kChar, nullptr, ' ');
        push(kObject, c);
    }

    // The next element of a list and what follows it. The cdr chain is one
    // task after another, so long lists cost no stack. A chain that runs
    // into a cycle has no end: each of its conses is printed once, up to
    // where the cycle closes, and "..." stands for the rest.
    void chainStep(_cell* c, long bound) {
        while (isCons(c)) {
            if (bound == 0) {
                std::fputs("...", out);
                return;
            }
            if (bound > 0) bound--;
            _cell* rest = c->cdr.p;
            long last = isNil(rest) ? 1 : 0;
            _cell* x = c->car.p;
            if (x != nullptr && x->type != kConsTag &&
                (x->type != kArrayTag || isString(x))) {
                // An atom or a string is written here, with no task.
                objectStep(x);
                if (!last) std::fputc(' ', out);
                if (!isCons(rest)) {
                    tailStep(rest);
                    return;
                }
                c = rest;
                continue;
            }
            if (isCons(rest)) {
                push(kChain, rest, bound);
            } else {
                push(kTail, rest);
            }
            push(kElement, x, last);
            return;
        }
    }

    // -1 when the cdr chain from c ends; otherwise the number of distinct
    // conses on it (those before the cycle plus those of the cycle). Floyd's
    // walk: the hare meets the tortoise inside the cycle; a tortoise started
    // again at c then meets a second one stepping from the meeting point at
    // the first cons of the cycle, and one more lap counts the cycle.
    static long distinctConses(_cell* c) {
        _cell* slow = c;
        _cell* fast = c;
        for (;;) {
            if (!isCons(fast) || !isCons(fast->cdr.p)) return -1;
            fast = fast->cdr.p->cdr.p;
            slow = slow->cdr.p;
            if (fast == slow) break;
        }
        long n = 0;
        for (_cell* p = c; p != slow; p = p->cdr.p, slow = slow->cdr.p) n++;
        _cell* start = slow;
        do {
            n++;
            slow = slow->cdr.p;
        } while (slow != start);
        return n;
    }

    // A tail that is not a cons: nothing for NIL, else ". " and the atom.
    void tailStep(_cell* c) {
        if (c == nullptr || isNil(c)) return;
        switch (c->type) {
        case kSymbolTag: case kIntegerTag:
        case kFractionTag: case kFloatingTag:
            std::fputs(". ", out);
            atomText(c);
            return;
        case kCharacterTag:
            std::fputs(style == Style::kPlain ? ". " : ". #\\", out);
            std::fputc(mojiByte(c), out);
            return;
        case kArrayTag:
            if (isString(c)) {
                std::fputs(". ", out);
                string(c);
                return;
            }
            if (isStructure(c)) {
                std::fputs(". ", out);
                structure(c);
                return;
            }
            if (style == Style::kEscapeStrm) {
                PutMessage(kArrayToFile);
                return;
            }
            std::fputs(". ", out);
            arrayStep(c, true);
            return;
        default:
            return;
        }
    }

    // Symbols and the three kinds of number; other tags write nothing.
    void atomText(_cell* c) {
        switch (c->type) {
        case kSymbolTag:
            if (c->car.s != nullptr) std::fputs(c->car.s, out);
            return;
        case kIntegerTag:
            std::fprintf(out, "%ld", slotValue(c->car.i));
            return;
        case kFractionTag:
            std::fprintf(out, "%ld/%ld", slotValue(c->car.i),
                         slotValue(c->cdr.i));
            return;
        case kFloatingTag: {
            char buf[kFloatTextSize];
            lisp->myftoa(buf, c->car.n != nullptr ? c->car.n->value : 0.0L);
            std::fputs(buf, out);
            return;
        }
        default:
            return;
        }
    }

    void string(_cell* c) {
        _cell* chars = stringChars(c);
        if (style == Style::kPlain) {
            lisp->PutStringC(chars, out);
        } else {
            lisp->PutString(chars, out);
        }
    }

    // '#', the dimension count unless it is the integer 1, 'A', the contents
    // list, and (by itself or as a tail) one space. A stream in the escaping
    // style refuses arrays: the message goes to standard output instead.
    void arrayStep(_cell* c, bool trailingSpace) {
        if (style == Style::kEscapeStrm) {
            PutMessage(kArrayToFile);
            return;
        }
        if (!enter(c, 0)) return;
        std::fputc('#', out);
        if (trailingSpace) push(kChar, nullptr, ' ');
        // (element-type . contents); an array whose cdr was never given
        // that shape has no contents to show.
        push(kObject, isCons(c->cdr.p) ? stringChars(c) : NIL);
        push(kChar, nullptr, 'A');
        _cell* count = c->car.p;
        if (!(isInteger(count) && slotValue(count->car.i) == 1))
            push(kObject, count);
    }

    // #S(NAME :SLOT value ...): the slot names of the descriptor
    // (STRUCTURE$ name slot-names ...) paired with the contents, each
    // value printed as a list element is. A structure is written to a
    // stream too; an array in one of its slots is refused there as
    // anywhere else.
    void structure(_cell* c) {
        if (!enter(c, ')')) return;
        _cell* d = c->cdr.p->car.p;
        _cell* rest = d->cdr.p;
        _cell* name = isCons(rest) ? rest->car.p : nullptr;
        _cell* slots = isCons(rest) && isCons(rest->cdr.p)
                           ? rest->cdr.p->car.p : nullptr;
        std::fputs("#S(", out);
        if (name) atomText(name);
        push(kSlots, slots, 0, c->cdr.p->cdr.p);
    }

    void slotsStep(_cell* slots, _cell* v) {
        if (!isCons(slots) || !isCons(v)) return;
        std::fputs(" :", out);
        if (isSymbol(slots->car.p)) atomText(slots->car.p);
        std::fputc(' ', out);
        push(kSlots, slots->cdr.p, 0, v->cdr.p);
        push(kElement, v->car.p, 1);
    }

    cprint* lisp;
    Style style;
    FILE* out;
    Task* tasks = nullptr;     // malloc'd; used of capacity
    long used = 0;
    long capacity = 0;
};

}  // namespace

// ---------------------------------------------------------------------------
// The three styles: escaping (to standard output or any file), escaping to
// a stream, plain
// ---------------------------------------------------------------------------

void cprint::printS(_cell* c) { Walker(this, Style::kEscape, stdout).object(c); }

void cprint::printSFile(_cell* c, FILE* f) {
    Walker(this, Style::kEscape, f).object(c);
}

void cprint::printSStrm(_cell* c, FILE* f) {
    Walker(this, Style::kEscapeStrm, f).object(c);
}

void cprint::princS(_cell* c, FILE* f) { Walker(this, Style::kPlain, f).object(c); }

// ---------------------------------------------------------------------------
// Strings
// ---------------------------------------------------------------------------

// A string's characters between double quotes, with a backslash before each
// double quote and backslash. An element that is not a character ends the
// text at once, without the closing quote.
void cprint::PutString(_cell* chars, FILE* f) {
    std::fputc('"', f);
    for (_cell* p = chars; isCons(p); p = p->cdr.p) {
        _cell* m = p->car.p;
        if (!isMoji(m)) return;
        int b = mojiByte(m);
        if (b == '"' || b == '\\') std::fputc('\\', f);
        std::fputc(b, f);
    }
    std::fputc('"', f);
}

void cprint::PutStringC(_cell* chars, FILE* f) {
    for (_cell* p = chars; isCons(p); p = p->cdr.p) {
        _cell* m = p->car.p;
        if (!isMoji(m)) return;
        std::fputc(mojiByte(m), f);
    }
}

