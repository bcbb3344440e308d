// cfunction: the table of C++ paths of prelude functions, shared by the
// files that hold their handlers (eval/fastpath.cpp, library/arraypath.cpp,
// eval/mapcarpath.cpp). See eval/fastpath.cpp for when a path may answer a
// call instead of the prelude's definition.
//
// A new path is one row of kFastPaths (eval/fastpath.cpp): the name of the
// function it stands for, its OP_F_ number (eval/cfunction.h, where the
// rows' order is fixed), the argument counts, the bits of every prelude
// definition its answer relies on (a Bit here, and the names behind it in
// kNames: a DEFUN or DEFMACRO of any of them turns the path off), and the
// handler. The dispatcher (cfunction::FastCall) checks the bits and the
// form count, evaluates the arguments, calls the handler, and runs the
// definition when the handler declines, so a handler only looks at values;
// a macro's row (SETF) hands its handler the forms instead.
#ifndef TAMARISK_EVAL_FASTPATH_H
#define TAMARISK_EVAL_FASTPATH_H

#include "eval/cfunction.h"

namespace fastpath {

// One bit per prelude name a C++ path depends on.
enum Bit {
    B_NOT, B_ZEROP, B_LESS, B_GREATER, B_LESSEQ, B_GREATEREQ, B_NTH,
    B_NTHNAMES, B_CXR, B_LAST, B_REVERSE, B_REVERSE1, B_APPEND, B_APPEND1,
    B_EQUAL, B_AREF, B_GETARRAYPOS, B_ACCEPTDIMBASE, B_PREAREF,
    B_PREGETARRAYPOS, B_NTHCDR, B_MAKEARRAY, B_MAKEARRAYHELPERS, B_SETF,
    B_SETFHELPERS, B_GETHASH, B_MAPCAR, B_SUBSEQ,
    kBitCount
};

constexpr unsigned long long bit(int b) { return 1ULL << b; }

// What the array paths stand for.
constexpr unsigned long long kArefNeeds =
    bit(B_AREF) | bit(B_GETARRAYPOS) | bit(B_ACCEPTDIMBASE) | bit(B_NTH);
constexpr unsigned long long kPreArefNeeds =
    bit(B_PREAREF) | bit(B_PREGETARRAYPOS) | bit(B_ACCEPTDIMBASE) |
    bit(B_NTH) | bit(B_NTHCDR) | bit(B_GREATER) | bit(B_ZEROP);
constexpr unsigned long long kSetfNeeds = bit(B_SETF) | bit(B_SETFHELPERS);
constexpr unsigned long long kReverseNeeds =
    bit(B_REVERSE) | bit(B_REVERSE1) | bit(B_APPEND) | bit(B_APPEND1);
// MAKE-ARRAY fills its array through SETF of AREF, and walks positions
// with REVERSE, NTH, < and ZEROP.
constexpr unsigned long long kMakeArrayNeeds =
    bit(B_MAKEARRAY) | bit(B_MAKEARRAYHELPERS) | kReverseNeeds | bit(B_NTH) |
    bit(B_LESS) | bit(B_ZEROP) | kSetfNeeds | kPreArefNeeds;

// Every bit the prelude sets: all of them.
constexpr unsigned long long kAllBits = (1ULL << kBitCount) - 1;

// The most argument forms a path takes.
constexpr int kMaxArgs = 16;

// How a handler answers. A null answer with kValue or kKeepValues is a
// failure already reported (or an exit), as everywhere in the evaluator.
enum class FastAnswer : char {
    kValue,       // handed on as CAR and CDR hand a value: any multiple
                  // values it carried are dropped
    kKeepValues,  // handed on as the definition's last form hands it,
                  // with its multiple values
    kDeclined,    // the definition answers: on the values already
                  // evaluated, or (a path that takes its forms, which has
                  // evaluated nothing yet) by the ordinary call
};

// One call as the dispatcher hands it to a handler. The definition, the
// forms and the values are protected for the length of the call.
struct FastCallArgs {
    _cell* op;          // the function's symbol
    _cell* forms;       // the argument forms
    _cell** v;          // their values, left to right (null: forms path)
    int n;              // the number of forms
    _symval* record;    // the function's (or the macro's) record
    _symval* frame;
    long count;
};

using FastHandler = FastAnswer (*)(cfunction* f, const FastCallArgs& call,
                                   _cell** out);

struct FastPath {
    const char* name;   // the function it stands for (the C[AD]+R names
                        // share one row)
    int op;             // its OP_F_ number, the row's place in the table
    int minArgs;        // argument forms it accepts
    int maxArgs;
    unsigned long long needs;   // bits that must all be intact
    char kind;          // 'f' a DEFUN function: the dispatcher evaluates
                        // the arguments; 'm' a macro: the handler takes
                        // the forms and evaluates them itself
    FastHandler handler;
};


// The record of a path's function when the path may run: every bit of
// needs intact and op still of the kind ('f' or 'm'); else null.
inline _symval* intactRecord(cfunction* f, unsigned long long needs,
                             _cell* op, char kind) {
    if ((f->fastIntact & needs) != needs) return nullptr;
    _symval* record = f->getFuncval2(op);
    return record && record->kind == kind ? record : nullptr;
}

// The NTHCDR-like walk of NTH: null when a CDR or the final CAR would meet
// something other than a cons.
inline _cell* nthElement(long n, _cell* list) {
    for (; n > 0; n--) {
        if (!isCons(list)) return nullptr;
        list = list->cdr.p;
    }
    return isCons(list) ? list->car.p : nullptr;
}

// The row of the table for an OP_F_ number; null for any other number.
const FastPath* pathOf(int op);

// The handlers of other files.
FastAnswer arefPath(cfunction* f, const FastCallArgs& call, _cell** out);
FastAnswer makeArrayPath(cfunction* f, const FastCallArgs& call, _cell** out);
FastAnswer mapcarPath(cfunction* f, const FastCallArgs& call, _cell** out);
// SETF of AREF on values already evaluated: true with the element stored
// when the change can be made without an error; false, nothing changed.
bool storeElement(cfunction* f, _cell* array, _cell* indexes, _cell* value);
// After the prelude: takes MAPCAR's shape from the definition `def`;
// false when it is not one the MAPCAR path can stand for.
bool takeMapcarShape(cfunction* f, _cell* def);

}  // namespace fastpath

#endif  // TAMARISK_EVAL_FASTPATH_H
