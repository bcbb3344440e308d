// tamarisk evaluator layer: the records of the evaluator's caches (the
// array and hash-table indexes, the kept macro expansions, the fast paths'
// symbols and MAPCAR's shape), the stamp that says when one is still good,
// and the kinds an index puts on the conses it follows.
#ifndef TAMARISK_EVAL_CACHES_H
#define TAMARISK_EVAL_CACHES_H

#include "memory/cell.h"

// The stamp of a cache slot: the collector's epoch and a count of cell
// changes when the slot was filled. A slot is good while both are what
// they are now (cfunction::StillGood): no collection has run, so every cell
// it names is still in use and the same cell, and no change that the count
// counts has been made.
struct CacheStamp {
    long gcEpoch = -1;
    unsigned long changes = 0;
};

// An index of an array's elements: the conses that hold them, in row-major
// order, and the dimensions. Building one marks the conses of the array's
// structure in their kind: kElementCons on the conses that hold elements,
// kRowCons on the (type . contents) cons and the conses that hold rows.
// RPLACD of either and RPLACA of a row cons change the structure, and count
// in spineChanges; an index is good while its stamp, taken with that count,
// is still good.
struct ArrayIndex {
    _cell* array = nullptr;
    CacheStamp stamp;
    long rank = 0;
    long dims[8] = {0};
    long size = 0;
    _cell** cells = nullptr;  // size conses
    long capacity = 0;
};
// The tests a hash table's index knows: EQ and EQL while they are the
// built-ins, EQUAL while it is the prelude's.
constexpr int kHashEq = 1;
constexpr int kHashEql = 2;
constexpr int kHashEqual = 3;
struct HashIndex;
struct HashIndexCache;

// The kind of the cons of a definition (params . body) made by DEFUN or
// DEFMACRO, and of a closure made by FUNCTION, whose lambda list was found
// plain when it was made: symbols only, with &REST (and &BODY) as the one
// lambda-list keyword, bound by initTemploc or initTemplocForMacro. Any
// other cons is looked at again when called (LambdaListShape).
constexpr char kPlainDef = 'P';

// The kinds an index puts on the conses it follows (see the door, class
// cfunction), and the changes of each that count:
//   kElementCons     an array's element cons: its cdr, for the array
//   kRowCons         a cons of an array's rows or its (type . contents)
//                    cons: car and cdr, for the array
//   kHashEntryCons   a hash table's entry (key . value): its car, the key,
//                    for the table
//   kHashCons        a cons of a hash table's list or of a key its hash
//                    looked at: car and cdr, for the table
//   kArrayHashCons   a cons of both an array and a hash table: car and cdr,
//                    for both
// (library/arraypath.cpp and library/hashindex.cpp).
constexpr char kElementCons = 'W';
constexpr char kRowCons = 'A';
constexpr char kHashEntryCons = 'E';
constexpr char kHashCons = 'H';
constexpr char kArrayHashCons = 'X';
// A cons some hash table's index follows.
inline bool isHashMarked(const _cell* c) {
    return c->kind == kHashCons || c->kind == kHashEntryCons ||
           c->kind == kArrayHashCons;
}

// A macro call's expansion kept for the next evaluation of the same call
// (see callMacro in macro.cpp): the argument list and the definition it
// was made from, and its stamp taken with cellChanges.
struct KeptExpansion {
    _cell* args = nullptr;
    _cell* def = nullptr;
    CacheStamp stamp;
    _cell* expansion = nullptr;
};
constexpr int kKeptExpansions = 256;

// The symbols the C++ paths of prelude functions compare with, interned
// once per session by InitFastPaths (eval/fastpath.cpp).
struct FastSymbols {
    _cell* rest = nullptr;
    _cell* hashTable = nullptr;
    _cell* eq = nullptr;
    _cell* eql = nullptr;
    _cell* equal = nullptr;
    _cell* aref = nullptr;
    _cell* all = nullptr;
    _cell* nothing = nullptr;
    _cell* initialElement = nullptr;
    _cell* initialContents = nullptr;
    _cell* elementType = nullptr;
    // The global record of *STANDARD-OUTPUT*, set at start-up: records
    // never move, and a dynamic binding of the name writes this record.
    _symval* standardOutput = nullptr;
};
// The names InitFastPaths looks up (the table kNames of eval/fastpath.cpp).
constexpr int kFastNameCount = 80;

// The shape of the prelude's MAPCAR that its C++ path stands for, taken
// once per session from the definition (eval/mapcarpath.cpp): its PROG**
// frame (R TL L, then FUNC A B and the record behind the &REST
// parameter) and the statements the path reads.
struct MapcarShape {
    enum { R, TL, L, FUNC, A, B, REST, kRecords };
    _cell* def = nullptr;
    _cell* name = nullptr;         // the BLOCK's name
    _cell* body = nullptr;         // the PROG** statements
    _cell* atIf = nullptr;         // the statements from (IF (ATOM A) ...)
    _cell* atSetqTl = nullptr;     // ... from (SETQ TL (CDR TL))
    _cell* atSetqA = nullptr;      // ... from (SETQ A (CDR A))
    _cell* funcallForm = nullptr;  // (FUNCALL FUNC (CAR A))
    _cell* symbols[kRecords] = {};

    bool take(_cell* d);
};

#endif  // TAMARISK_EVAL_CACHES_H
