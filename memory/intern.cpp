// cmemory: the string area, interning, characters, and the global-variable
// and function tables.
#include <cstdlib>
#include <cstring>

#include "memory/cmemory.h"

char* cmemory::getString(const char* text) {
    size_t len = strlen(text);
    size_t used = (size_t)(stringNext - stringArea);
    if (used + len + 2 > (size_t)kStringCapacity - 1) return nullptr;
    char* copy = stringNext;
    memcpy(copy, text, len + 1);
    stringNext += len + 1;
    // Running low: collect at the next step, which reclaims the names of
    // uninterned symbols nothing uses any more.
    if (kStringCapacity - (stringNext - stringArea) < policy.dueString)
        policy.Want();
    return copy;
}

namespace {

unsigned long nameHash(const char* name) {
    unsigned long long h = 14695981039346656037ULL;  // FNV-1a
    for (const unsigned char* p = (const unsigned char*)name; *p; p++)
        h = (h ^ *p) * 1099511628211ULL;
    return (unsigned long)(h ^ (h >> 32));
}

}  // namespace

// The interned symbol of that name (the first one made, which is the only
// one the index holds), or null. Uninterned symbols are never indexed.
_cell* cmemory::CheckStringCell(const char* name) {
    const unsigned long mask = (unsigned long)symbolIndexSize - 1;
    for (unsigned long h = nameHash(name) & mask;; h = (h + 1) & mask) {
        unsigned slot = symbolIndex[h];
        if (slot == 0) return nullptr;
        _cell* c = symbolTable[slot - 1];
        if (strcmp(c->car.s, name) == 0) return c;
    }
}

// Appends a new symbol of the kind to the symbol table; null when the table
// is full (the making operation fails, the process goes on).
_cell* cmemory::MakeSymbol(const char* name, char kind) {
    if (symbolTableEnd - symbolTable >= kSymbolCapacity - 1) {
        // Uninterned symbols dropped since the last collection come back
        // at the next step.
        policy.Want();
        PutMessage("エラー: ストリングの数が多すぎます");
        return nullptr;
    }
    char* copy = getString(name);
    if (!copy) {
        // A name longer than what is left, which a collection at the next
        // step may give back: refused like a symbol past the table's end.
        policy.Want();
        PutMessage("エラー: ストリング領域が一杯です。");
        return nullptr;
    }
    _cell* c = getCell();
    c->type = 's';
    c->kind = kind;
    c->car.s = copy;
    if (kind != 'g' && !CheckStringCell(name))
        IndexSymbol(name, symbolTableEnd - symbolTable);
    *symbolTableEnd++ = c;
    // Half full: twice the slots, every interned symbol entered anew.
    if ((symbolTableEnd - symbolTable) * 2 > symbolIndexSize &&
        symbolIndexSize < symbolIndexMost) {
        symbolIndexSize *= 2;
        RebuildSymbolIndex();
    }
    if (kSymbolCapacity - (symbolTableEnd - symbolTable) < policy.dueSymbols)
        policy.Want();
    return c;
}

// Enters the symbol at that position of the table in the index, under its
// name.
void cmemory::IndexSymbol(const char* name, long position) {
    const unsigned long mask = (unsigned long)symbolIndexSize - 1;
    unsigned long h = nameHash(name) & mask;
    while (symbolIndex[h]) h = (h + 1) & mask;
    symbolIndex[h] = (unsigned)position + 1;
}

_cell* cmemory::getStringCell(const char* name) {
    _cell* found = CheckStringCell(name);
    if (found) return found;
    return MakeSymbol(name, name[0] == ':' ? 'c' : 'u');
}

_cell* cmemory::getStringCellWide(const char* name) {
    return MakeSymbol(name, 'g');
}

_cell* cmemory::getMojiCell(int byte, int second) {
    (void)second;  // every byte is one character: the second byte is 0
    _cell* c = getCell();
    c->type = 'm';
    c->car.c = (signed char)byte;
    c->cdr.c = 0;
    return c;
}

namespace {

unsigned long pointerHash(const _cell* c) {
    unsigned long h = (unsigned long)c;
    h ^= h >> 17;
    h *= 0xed5ad4bbUL;
    h ^= h >> 11;
    return h;
}

}  // namespace

long cmemory::FindRecord(RecordIndex& ix, _symval* table, _cell* symbol) {
    if (!ix.size) return -1;
    const unsigned long mask = ix.size - 1;
    for (unsigned long h = pointerHash(symbol) & mask;; h = (h + 1) & mask) {
        unsigned slot = ix.slots[h];
        if (slot == 0) return -1;
        if (table[slot - 1].symbol == symbol) return slot - 1;
    }
}

void cmemory::EnterRecord(RecordIndex& ix, _symval* table, long position) {
    _cell* symbol = table[position].symbol;
    if (!symbol || FindRecord(ix, table, symbol) >= 0) return;
    if ((unsigned long)(ix.count + 1) * 2 > ix.size) {
        unsigned long size = ix.size ? ix.size * 2 : 4096;
        unsigned* slots = (unsigned*)calloc(size, sizeof(unsigned));
        if (!slots)
            Exhausted("エラー: 記号の索引の獲得に失敗しました。終了します。");
        free(ix.slots);
        ix.slots = slots;
        ix.size = size;
        ix.count = 0;
        // Entered anew in table order, so the first record of a symbol
        // stays the one found.
        _symval* end = table == globalTable ? globalTableEnd : funcTableEnd;
        for (long i = 0; table + i < end; i++)
            if (i != position) EnterRecord(ix, table, i);
        if (FindRecord(ix, table, symbol) >= 0) return;
    }
    const unsigned long mask = ix.size - 1;
    unsigned long h = pointerHash(symbol) & mask;
    while (ix.slots[h]) h = (h + 1) & mask;
    ix.slots[h] = (unsigned)position + 1;
    ix.count++;
}

// The next step reports the message: its allocation budget is used up, so
// it runs a silent collection and then takes areaFull, as after a
// collection that found an area full.
void cmemory::TableFull(const char* message) {
    areaFull = message;
    policy.SpendBudget();
}

long cmemory::getSymVal(_cell* symbol) {
    return FindRecord(globalIndex, globalTable, symbol);
}

// A new record past the table's reserve makes the next step fail; the
// last record is a scratch one that no lookup finds, handed out to every
// caller once the others are taken, so that what the caller stores goes
// nowhere and the session goes on.
long cmemory::getSymVal2(_cell* symbol) {
    long i = getSymVal(symbol);
    if (i >= 0) return i;
    long used = globalTableEnd - globalTable;
    if (used >= tableCapacity - kTableReserve)
        TableFull("エラー: グローバル変数領域が一杯です。");
    if (used >= tableCapacity - 1) {
        globalTable[tableCapacity - 1].symbol = symbol;
        return tableCapacity - 1;
    }
    globalTableEnd->symbol = symbol;
    EnterRecord(globalIndex, globalTable, used);
    return globalTableEnd++ - globalTable;
}

// A symbol cell's cdr is otherwise unused; it remembers the symbol's
// function record. Records never move and are never removed, so a cached
// record is checked only for lying in the table and still naming the
// symbol (a fresh symbol's cdr is NIL, which lies outside the table).
_symval* cmemory::getFuncval2(_cell* symbol) {
    _symval* cached = isSymbol(symbol) ? cachedFunction(symbol) : nullptr;
    if (cached && cached >= funcTable && cached < funcTableEnd &&
        cached->symbol == symbol)
        return cached;
    long i = FindRecord(funcIndex, funcTable, symbol);
    if (i < 0) return nullptr;
    if (isSymbol(symbol)) cacheFunction(symbol, funcTable + i);
    return funcTable + i;
}

_symval* cmemory::getFuncval(_cell* symbol) {
    _symval* r = getFuncval2(symbol);
    if (r) return r;
    long used = funcTableEnd - funcTable;
    if (used >= tableCapacity - kTableReserve)
        TableFull("エラー: 関数領域が一杯です。");
    if (used >= tableCapacity - 1) return funcTable + tableCapacity - 1;
    return funcTableEnd++;
}

void cmemory::NoteFuncRecord(_symval* record) {
    if (record >= funcTable && record < funcTableEnd)
        EnterRecord(funcIndex, funcTable, record - funcTable);
}
