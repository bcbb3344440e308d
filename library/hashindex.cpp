// The index of a hash table. A hash table stays the list
// (HASH-TABLE test (key . value) ...) that a program sees, prints and
// changes; next to it the interpreter keeps, for the tables used last, an
// index from each key's hash to the spine cons holding its entry, so that
// GETHASH, SETF of GETHASH (SETF-HASH) and REMHASH cost constant time on
// average when the test is EQ, EQL (the built-ins) or the prelude's EQUAL.
//
// The index is a cache: whatever it answers is what the walk of the list
// would answer, and whenever it cannot be sure of that it is dropped and
// built again from the list (or, for a list of another shape, the walk
// runs). It is good while
//  - the table cell is the one it was built for: building marks the table
//    cell with kind kHashCons and a serial number of the table in its
//    closureCount, which a cell freed by the collector and handed out again
//    loses (getCell clears both), and the cell is still in use after the
//    last collection;
//  - no cons it depends on has been changed behind its back. Building marks
//    these conses in their kind (see the door, cfunction.h): kHashCons on
//    the table cell, the (test . entries) cons, the spine conses and, in an
//    EQUAL table, the conses a key's hash looked at; kHashEntryCons on the
//    entry conses, whose car is the key (a change of the value in their cdr
//    changes no hash). A cons that an array index marked too becomes
//    kArrayHashCons.
//    Every change of a marked cons counts in hashChanges, and an index is
//    good while that count is what it was when the index was last in step.
// SETF-HASH and REMHASH change the list themselves (through HASH$PUT and
// HASH$REMOVE) and keep the index in step. The change they make counts in
// hashChanges like any other; the other indexes in step before it stay in
// step when no spine cons can belong to two indexed tables: building
// stamps each spine cons with the table's serial, and an index that meets
// a cons already marked for another table (a shared tail, an entry or key
// of another table) is "shared" and never kept in step with another's
// change, nor keeps another in step with its own.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

constexpr int kSlots = 64;          // indexes kept
constexpr int kProbe = 4;           // places a table's index may be in
constexpr long kMaxEntries = INT_MAX / 4;
// How far the hash of an EQUAL key looks: the first elements of a list
// (or characters of a string) and the first levels of CARs.
constexpr long kEqualElements = 32;
constexpr int kEqualDepth = 4;

}  // namespace

struct HashIndex {
    _cell* table = nullptr;     // null: the slot is free
    int serial = 0;
    int test = 0;
    bool shared = false;
    long gcEpoch = -1;
    unsigned long changes = 0;
    unsigned long used = 0;     // when it was used last, for replacement
    // Positions: each entry of the list has one, in list order through
    // prev/next; free ones are chained through chain.
    long capacity = 0;
    _cell** link = nullptr;     // the spine cons whose car is the entry
    unsigned* hash = nullptr;
    int* chain = nullptr;       // next position of the same bucket
    int* prev = nullptr;
    int* next = nullptr;
    int* bucket = nullptr;      // first position of each bucket, -1 none
    long buckets = 0;           // a power of 2
    int first = -1, last = -1, freeList = -1;
    long count = 0;
};

namespace {

// Mixed in 64 bits on both builds, folded to the width of long.
unsigned long mix(unsigned long v) {
    uint64_t x = v;
    x ^= x >> 31;
    x *= 0x7fb5d329728ea185ULL;
    x ^= x >> 27;
    x *= 0x81dadef4bc2dd44dULL;
    x ^= x >> 33;
    return (unsigned long)(x ^ (x >> 32));
}

unsigned long hashFloat(const _cell* c) {
    long double v = c->car.n->value;
    if (v != v) return (unsigned long)c;    // NaN: EQL to itself only
    if (v == 0) return 0x5bd1e995UL;        // 0.0 and -0.0 are EQL
    double d = (double)v;
    unsigned long long bits;
    std::memcpy(&bits, &d, sizeof bits);
    return (unsigned long)(bits ^ (bits >> 32));
}

// Hashes that agree whenever EQ, EQL say two keys are the same.
unsigned long hashEq(const _cell* c) {
    switch (c->type) {
    case kSymbolTag: return (unsigned long)c->car.s;
    case kIntegerTag: return (unsigned long)c->car.i->value;
    default: return (unsigned long)c;
    }
}

unsigned long hashEql(const _cell* c) {
    switch (c->type) {
    case kSymbolTag: return (unsigned long)c->car.s;
    case kIntegerTag: return (unsigned long)c->car.i->value;
    case kFloatingTag: return hashFloat(c);
    case kFractionTag:
        return mix((unsigned long)CellToBunshi((_cell*)c)) ^
               (unsigned long)CellToBunbo((_cell*)c);
    case kCharacterTag: return 0x9e37UL + (unsigned long)mojiByte(c) * 31UL +
                     (unsigned long)c->cdr.c;
    default: return (unsigned long)c;
    }
}

// The serial of the table whose index marked a cons or table cell (0:
// none), which its closureCount holds.
inline int hashSerialOf(const _cell* c) { return c->closureCount; }
inline void setHashSerial(_cell* c, int serial) { c->closureCount = serial; }

// Marks c for the index: kHashCons (every change counts) or kHashEntryCons
// (a change of the car counts). False for a cons of another use (a
// definition), which no change count follows.
bool markFor(_cell* c, char want) {
    switch (c->kind) {
    case kInternedKind: c->kind = want; return true;
    case kHashEntryCons:
        if (want == kHashCons) c->kind = kHashCons;
        return true;
    case kHashCons: case kArrayHashCons: return true;
    case kElementCons: case kRowCons: c->kind = kArrayHashCons; return true;
    default: return false;
    }
}

// Whether a cons carries the serial of a table's spine other than `serial`
// (or, being marked already, none).
bool markedForAnother(const _cell* c, int serial) {
    if (!isHashMarked(c)) return false;
    return hashSerialOf(c) != serial;
}

struct Hasher {
    bool mark;          // mark the conses looked at (a key kept in the table)
    bool ok = true;     // false: a cons looked at could not be marked
    int serial;
    bool* shared;

    void note(_cell* c) {
        if (!mark) return;
        if (hashSerialOf(c) != 0) *shared = true;
        if ((c->extraKind & kHasEnv) || !markFor(c, kHashCons)) ok = false;
    }

    // Agrees whenever the prelude's EQUAL says two keys are the same: an
    // atom as EQL, a string by its characters, a list by its elements.
    unsigned long equal(_cell* x, int depth) {
        if (!isCons(x)) {
            if (!isString(x)) return hashEql(x);
            note(x->cdr.p);
            unsigned long h = 0x51ed27UL;
            long n = 0;
            for (_cell* p = stringChars(x); isCons(p) && n < kEqualElements;
                 p = p->cdr.p, n++) {
                note(p);
                _cell* ch = p->car.p;
                h = h * 131 + (isMoji(ch) ? (unsigned long)mojiByte(ch) +
                                                ((unsigned long)ch->cdr.c << 8)
                                          : (unsigned long)ch);
            }
            return h;
        }
        unsigned long h = 0xc0ffeeUL;
        long n = 0;
        for (; isCons(x); x = x->cdr.p) {
            if (n++ >= kEqualElements) return h;
            note(x);
            h = mix(h + (depth < kEqualDepth ? equal(x->car.p, depth + 1) : 1));
        }
        return mix(h ^ equal(x, depth + 1));
    }
};

// EQUAL of the prelude, without its recursion along the CDR chain. 1 equal,
// 0 not, -1 nested deeper along CARs than this follows (the prelude's
// definition is left to meet that).
int equalValues(cfunction* f, _cell* x, _cell* y, int depth) {
    for (long steps = 0;; steps++) {
        if (steps > kCellCapacity) return -1;
        if (x == y) return 1;
        if (!isCons(x)) {
            if (!isNil(f->teql(x, y))) return 1;
            if (isString(x) && isString(y))
                return isNil(f->StringEqual(x, y)) ? 0 : 1;
            return 0;
        }
        if (!isCons(y)) return 0;
        if (depth > 10000) return -1;
        int e = equalValues(f, x->car.p, y->car.p, depth + 1);
        if (e <= 0) return e;
        x = x->cdr.p;
        y = y->cdr.p;
    }
}

}  // namespace

struct HashIndexCache {
    HashIndex slots[kSlots];
    unsigned long clock = 0;
    int nextSerial = 1;
};

namespace {

void release(HashIndex& e) {
    free(e.link);
    free(e.hash);
    free(e.chain);
    free(e.prev);
    free(e.next);
    free(e.bucket);
    e = HashIndex{};
}

template <typename T>
bool grow(T*& p, long cap) {
    T* q = (T*)realloc(p, (size_t)cap * sizeof(T));
    if (!q) return false;
    p = q;
    return true;
}

// Room for n positions and buckets for them; false when the C library
// refuses (the index is then left empty and unusable).
bool reserve(HashIndex& e, long n) {
    if (n <= e.capacity) return true;
    long cap = e.capacity ? e.capacity : 16;
    while (cap < n) cap *= 2;
    if (!grow(e.link, cap) || !grow(e.hash, cap) || !grow(e.chain, cap) ||
        !grow(e.prev, cap) || !grow(e.next, cap))
        return false;
    int* b = (int*)realloc(e.bucket, (size_t)cap * sizeof(int));
    if (!b) return false;
    e.bucket = b;
    e.buckets = cap;
    e.capacity = cap;
    for (long i = 0; i < e.buckets; i++) e.bucket[i] = -1;
    // Every position in use goes into its new bucket.
    for (int p = e.first; p >= 0; p = e.next[p]) {
        long b2 = e.hash[p] & (e.buckets - 1);
        e.chain[p] = e.bucket[b2];
        e.bucket[b2] = p;
    }
    return true;
}

// A position for the spine cons at the end of the list order.
int append(HashIndex& e, _cell* spine, unsigned h) {
    int p;
    if (e.freeList >= 0) {
        p = e.freeList;
        e.freeList = e.chain[p];
    } else {
        p = (int)e.count;
        // Positions below count + free ones are all taken when the free
        // list is empty.
    }
    e.link[p] = spine;
    e.hash[p] = h;
    long b = h & (e.buckets - 1);
    e.chain[p] = e.bucket[b];
    e.bucket[b] = p;
    e.prev[p] = e.last;
    e.next[p] = -1;
    if (e.last >= 0) e.next[e.last] = p; else e.first = p;
    e.last = p;
    e.count++;
    return p;
}

void unlink(HashIndex& e, int p) {
    long b = e.hash[p] & (e.buckets - 1);
    int* q = &e.bucket[b];
    while (*q != p) q = &e.chain[*q];
    *q = e.chain[p];
    if (e.prev[p] >= 0) e.next[e.prev[p]] = e.next[p]; else e.first = e.next[p];
    if (e.next[p] >= 0) e.prev[e.next[p]] = e.prev[p]; else e.last = e.prev[p];
    e.chain[p] = e.freeList;
    e.freeList = p;
    e.count--;
}

}  // namespace

unsigned cfunction::HashOf(_cell* key, int test, bool mark, int serial,
                           bool* shared, bool* ok) {
    unsigned long h;
    if (test == kHashEqual) {
        Hasher hs{mark, true, serial, shared};
        h = hs.equal(key, 0);
        if (!hs.ok) *ok = false;
    } else {
        h = test == kHashEq ? hashEq(key) : hashEql(key);
    }
    return (unsigned)mix(h);
}

// 1 the keys are the same for the test, 0 not, -1 EQUAL cannot tell here.
int cfunction::HashSame(_cell* key, _cell* other, int test) {
    if (test == kHashEq) return isNil(teq(key, other)) ? 0 : 1;
    if (test == kHashEql) return isNil(teql(key, other)) ? 0 : 1;
    return equalValues(this, key, other, 0);
}

int cfunction::HashTestOf(_cell* table) {
    if (!isCons(table) || !sameSymbol(table->car.p, symHashTableName) ||
        !isCons(table->cdr.p))
        return 0;
    _cell* t = table->cdr.p->car.p;
    if (sameSymbol(t, EQL) && !getFuncval2(EQL)) return kHashEql;
    if (sameSymbol(t, EQ) && !getFuncval2(EQ)) return kHashEq;
    if (sameSymbol(t, symEqualName) && preludeEqual) {
        _symval* r = getFuncval2(symEqualName);
        if (r && r->kind == kFunctionRecord && r->value == preludeEqual)
            return kHashEqual;
    }
    return 0;
}

void cfunction::InitHashIndex() {
    symHashTableName = getStringCell("HASH-TABLE");
    symEqualName = getStringCell("EQUAL");
    symGethashName = getStringCell("GETHASH");
    symSetfHashName = getStringCell("SETF-HASH");
    _cell* assoc = getStringCell("ASSOC");
    _symval* r = symEqualName ? getFuncval2(symEqualName) : nullptr;
    preludeEqual = r && r->kind == kFunctionRecord ? r->value : nullptr;
    symAssocName = assoc;
    r = assoc ? getFuncval2(assoc) : nullptr;
    preludeAssoc = r && r->kind == kFunctionRecord ? r->value : nullptr;
}

void cfunction::ForgetHashIndexes() {
    if (!hashIndexes) return;
    for (HashIndex& e : hashIndexes->slots) release(e);
    free(hashIndexes);
    hashIndexes = nullptr;
}

// The index of the table, in step with its list: kept, or built now.
// Null when the list is not a well-formed table of distinct keys (the
// walk then answers) or memory is refused.
HashIndex* cfunction::IndexOfTable(_cell* table, int test) {
    if (!hashIndexes) {
        hashIndexes = (HashIndexCache*)malloc(sizeof(HashIndexCache));
        if (!hashIndexes) return nullptr;
        for (HashIndex& s : hashIndexes->slots) s = HashIndex{};
        hashIndexes->clock = 0;
        hashIndexes->nextSerial = 1;
    }
    HashIndexCache& c = *hashIndexes;
    unsigned long home = ((unsigned long)(table - cellArea) * 2654435761UL >> 7);
    HashIndex* victim = nullptr;
    for (int k = 0; k < kProbe; k++) {
        HashIndex& e = c.slots[(home + k) % kSlots];
        if (e.table == table && e.test == test && e.changes == hashChanges &&
            table->kind == kHashCons && hashSerialOf(table) == e.serial) {
            if (e.gcEpoch != gcEpoch) {
                if (!InUse(table)) { e.table = nullptr; continue; }
                e.gcEpoch = gcEpoch;
            }
            e.used = ++c.clock;
            return &e;
        }
        if (e.table == table) e.table = nullptr;
        if (!victim || !e.table || (victim->table && e.used < victim->used))
            victim = &e;
    }
    HashIndex& e = *victim;
    e.table = nullptr;
    e.count = 0;
    e.first = e.last = e.freeList = -1;
    e.shared = false;
    if (table->extraKind & kHasEnv) return nullptr;
    _cell* head = table->cdr.p;
    if (head->extraKind & kHasEnv) return nullptr;
    // The serial: the table's own when it had an index before.
    if (!(table->kind == kHashCons && hashSerialOf(table) > 0)) {
        // Marked already, the cell is an entry or a key of another table.
        if (table->kind != kInternedKind) e.shared = true;
        if (!markFor(table, kHashCons)) return nullptr;
        if (c.nextSerial >= INT_MAX) c.nextSerial = 1;
        setHashSerial(table, c.nextSerial++);
    }
    int serial = hashSerialOf(table);
    if (markedForAnother(head, serial)) e.shared = true;
    if (!markFor(head, kHashCons)) return nullptr;
    setHashSerial(head, serial);
    long n = 0;
    for (_cell* p = head->cdr.p; isCons(p); p = p->cdr.p)
        if (++n > kMaxEntries) return nullptr;
    if (!reserve(e, n + 1)) {
        release(e);
        return nullptr;
    }
    for (long i = 0; i < e.buckets; i++) e.bucket[i] = -1;
    for (_cell* p = head->cdr.p;; p = p->cdr.p) {
        if (!isCons(p)) {
            if (!isNil(p)) return nullptr;
            break;
        }
        _cell* entry = p->car.p;
        if (!isCons(entry) || (p->extraKind & kHasEnv) ||
            (entry->extraKind & kHasEnv))
            return nullptr;
        if (markedForAnother(p, serial)) e.shared = true;
        if (!markFor(p, kHashCons)) return nullptr;
        setHashSerial(p, serial);
        if (hashSerialOf(entry) != 0) e.shared = true;
        if (!markFor(entry, kHashEntryCons)) return nullptr;
        bool ok = true;
        unsigned h = HashOf(entry->car.p, test, true, serial, &e.shared, &ok);
        if (!ok) return nullptr;
        // A key met again would be hidden behind the first: the walk
        // answers for such a list.
        for (int q = e.bucket[h & (e.buckets - 1)]; q >= 0; q = e.chain[q])
            if (e.hash[q] == h &&
                HashSame(entry->car.p, e.link[q]->car.p->car.p, test) != 0)
                return nullptr;
        append(e, p, h);
    }
    e.table = table;
    e.test = test;
    e.serial = serial;
    e.gcEpoch = gcEpoch;
    e.changes = hashChanges;
    e.used = ++c.clock;
    return &e;
}

// The position of key's entry: >= 0, -1 absent, -2 EQUAL cannot tell.
int cfunction::FindInIndex(HashIndex* e, _cell* key, unsigned h) {
    for (int q = e->bucket[h & (e->buckets - 1)]; q >= 0; q = e->chain[q]) {
        if (e->hash[q] != h) continue;
        int same = HashSame(key, e->link[q]->car.p->car.p, e->test);
        if (same < 0) return -2;
        if (same) return q;
    }
    return -1;
}

int cfunction::HashFind(_cell* table, _cell* key, int test, _cell** entry) {
    HashIndex* e = IndexOfTable(table, test);
    if (!e) return -1;
    bool shared = false, ok = true;
    int q = FindInIndex(e, key, HashOf(key, test, false, 0, &shared, &ok));
    if (q == -2) return -1;
    if (q < 0) return 0;
    *entry = e->link[q]->car.p;
    return 1;
}

// After a change of a spine cons of e's table that e follows, counted
// from `before`: e is in step again, and so is every other index that was,
// unless a spine cons may belong to two of them.
void cfunction::KeepInStep(HashIndex* e, unsigned long before) {
    if (hashChanges != before + 1) {
        e->table = nullptr;
        return;
    }
    e->changes = hashChanges;
    if (e->shared) return;
    for (HashIndex& o : hashIndexes->slots)
        if (&o != e && o.table && o.changes == before && !o.shared)
            o.changes = hashChanges;
}

// HASH$PUT key table value: T when it has stored the value as SETF-HASH
// does (the entry's value replaced, or (key . value) added at the end);
// NIL, having changed nothing, when SETF-HASH's own walk must do it.
_cell* cfunction::hash_put(_cell* args, _symval* frame, long count) {
    CellGroup g(this);
    _cell* v[3];
    int got = EvalN(g, args, 3, v, frame, count);
    if (got == 0) return nullptr;
    if (got < 0) return Fail(MSG_ARGCOUNT, frame, count);
    _cell* key = v[0];
    _cell* table = v[1];
    int test = HashTestOf(table);
    if (!test || !preludeAssoc) return NILCell;
    _symval* r = getFuncval2(symAssocName);
    if (!r || r->kind != kFunctionRecord || r->value != preludeAssoc)
        return NILCell;
    HashIndex* e = IndexOfTable(table, test);
    if (!e) return NILCell;
    bool ok = true;
    bool shared = false;
    unsigned h = HashOf(key, test, false, 0, &shared, &ok);
    int q = FindInIndex(e, key, h);
    if (q == -2) return NILCell;
    if (q >= 0) {
        _cell* entry = e->link[q]->car.p;
        // A value is no part of any index, unless the entry cons is also
        // some table's spine or key: then the change is counted.
        SetCdr(entry, v[2]);
        return TCell;
    }
    if (!reserve(*e, e->count + 1)) {
        e->table = nullptr;
        return NILCell;
    }
    _cell* entry = getCell();
    entry->car.p = key;
    entry->cdr.p = v[2];
    _cell* spine = getCell();
    spine->car.p = entry;
    spine->kind = kHashCons;
    setHashSerial(spine, e->serial);
    entry->kind = kHashEntryCons;
    ok = true;
    HashOf(key, test, true, e->serial, &e->shared, &ok);
    _cell* pred = e->last >= 0 ? e->link[e->last] : table->cdr.p;
    unsigned long before = hashChanges;
    SetCdr(pred, spine);
    append(*e, spine, h);
    if (ok)
        KeepInStep(e, before);
    else
        e->table = nullptr;
    return TCell;
}

// HASH$REMOVE key table: T when it has removed key's entry as REMHASH
// does, 0 when there is none; NIL, having changed nothing, when REMHASH's
// own walk must answer.
_cell* cfunction::hash_remove(_cell* args, _symval* frame, long count) {
    CellGroup g(this);
    _cell* v[2];
    int got = EvalN(g, args, 2, v, frame, count);
    if (got == 0) return nullptr;
    if (got < 0) return Fail(MSG_ARGCOUNT, frame, count);
    _cell* key = v[0];
    _cell* table = v[1];
    int test = HashTestOf(table);
    if (!test) return NILCell;
    HashIndex* e = IndexOfTable(table, test);
    if (!e) return NILCell;
    bool ok = true;
    bool shared = false;
    int q = FindInIndex(e, key, HashOf(key, test, false, 0, &shared, &ok));
    if (q == -2) return NILCell;
    if (q == -1) return IntToCell(0);
    _cell* pred = e->prev[q] >= 0 ? e->link[e->prev[q]] : table->cdr.p;
    unsigned long before = hashChanges;
    SetCdr(pred, e->link[q]->cdr.p);
    unlink(*e, q);
    KeepInStep(e, before);
    return TCell;
}

bool cfunction::IsGethashPlace(_cell* place) {
    return isCons(place) && symGethashName &&
           sameSymbol(place->car.p, symGethashName) &&
           isCons(place->cdr.p) && isCons(place->cdr.p->cdr.p);
}

// args is (place value-form), kept reachable by the caller.
_cell* cfunction::SetfGethash(_cell* args, _symval* frame, long count,
                              int* keepValues) {
    CellGroup g(this);
    _cell* place = args->car.p;
    ListBuilder form(this, &g);
    form.add(symSetfHashName);
    form.add(place->cdr.p->car.p);
    form.add(place->cdr.p->cdr.p->car.p);
    form.add(args->cdr.p->car.p);
    _cell* call = form.finish(NILCell);
    *keepValues = 1;
    return eval(call, frame, count);
}
