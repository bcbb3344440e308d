// cmemory: the string area, interning, characters, and the global-variable
// and function tables.
#include <cstring>

#include "memory/cmemory.h"

char* cmemory::getString(const char* text) {
    size_t len = strlen(text);
    size_t used = (size_t)(stringNext - stringArea);
    if (used + len + 2 > (size_t)kStringCapacity - 1)
        Exhausted("エラー: ストリング領域が一杯です。終了します。");
    char* copy = stringNext;
    memcpy(copy, text, len + 1);
    stringNext += len + 1;
    // Running low: collect at the next step, which reclaims the names of
    // uninterned symbols nothing uses any more.
    if (kStringCapacity - (stringNext - stringArea) < gcDueString) {
        gcDueCells = kCellCapacity + 1;
        SetCountdown();
    }
    return copy;
}

namespace {

unsigned long nameHash(const char* name) {
    unsigned long long h = 14695981039346656037ULL;     // FNV-1a
    for (const unsigned char* p = (const unsigned char*)name; *p; p++)
        h = (h ^ *p) * 1099511628211ULL;
    return (unsigned long)(h ^ (h >> 32));
}

}  // namespace

// The interned symbol of that name (the first one made, which is the only
// one the index holds), or null. Uninterned symbols are never indexed.
_cell* cmemory::CheckStringCell(const char* name) {
    const unsigned long mask = (unsigned long)kSymbolIndexSize - 1;
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
        gcDueCells = kCellCapacity + 1;
        SetCountdown();
        PutMessage("エラー: ストリングの数が多すぎます");
        return nullptr;
    }
    char* copy = getString(name);
    _cell* c = getCell();
    c->type = 's';
    c->kind = kind;
    c->car.s = copy;
    if (kind != 'g' && !CheckStringCell(name))
        IndexSymbol(name, symbolTableEnd - symbolTable);
    *symbolTableEnd++ = c;
    if (kSymbolCapacity - (symbolTableEnd - symbolTable) < gcDueSymbols) {
        gcDueCells = kCellCapacity + 1;     // collect at the next step
        SetCountdown();
    }
    return c;
}

// Enters the symbol at that position of the table in the index, under its
// name.
void cmemory::IndexSymbol(const char* name, long position) {
    const unsigned long mask = (unsigned long)kSymbolIndexSize - 1;
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
    (void)second;   // every byte is one character: the second byte is 0
    _cell* c = getCell();
    c->type = 'm';
    c->car.c = (signed char)byte;
    c->cdr.c = 0;
    return c;
}

long cmemory::getSymVal(_cell* symbol) {
    for (_symval* r = globalTable; r < globalTableEnd; r++)
        if (r->symbol == symbol) return r - globalTable;
    return -1;
}

long cmemory::getSymVal2(_cell* symbol) {
    long i = getSymVal(symbol);
    if (i >= 0) return i;
    if (globalTableEnd - globalTable >= kTableCapacity - 1)
        Exhausted("エラー: グローバル変数領域が不足しています。終了します。");
    globalTableEnd->symbol = symbol;
    return globalTableEnd++ - globalTable;
}

// A symbol cell's cdr is otherwise unused; it remembers the symbol's
// function record. Records never move and are never removed, so a cached
// record is checked only for lying in the table and still naming the
// symbol (a fresh symbol's cdr is NIL, which lies outside the table).
_symval* cmemory::getFuncval2(_cell* symbol) {
    _symval* cached = isSymbol(symbol) ? symbol->cdr.f : nullptr;
    if (cached && cached >= funcTable && cached < funcTableEnd &&
        cached->symbol == symbol)
        return cached;
    for (_symval* r = funcTable; r < funcTableEnd; r++)
        if (r->symbol == symbol) {
            if (isSymbol(symbol)) symbol->cdr.f = r;
            return r;
        }
    return nullptr;
}

_symval* cmemory::getFuncval(_cell* symbol) {
    _symval* r = getFuncval2(symbol);
    if (r) return r;
    if (funcTableEnd - funcTable >= kTableCapacity - 1)
        Exhausted("エラー: 関数領域が一杯になりました。終了します。");
    return funcTableEnd++;
}
