// cfunction layer, evaluator part: HANDLER-CASE$, the primitive under
// HANDLER-CASE and IGNORE-ERRORS (library/conditions.cpp).
//
// Every error ends in errorlisp after its message is printed to messageOut,
// and the failure then travels up as a null result with no exit pending.
// While a handler runs its form, messageOut is a memory stream of its own
// and errorlisp opens no debug loop (scriptMode is set meanwhile), so the failure
// reaches the handler, which turns the captured text into the condition.
// The stream is put back on every way out, so an outer handler, or the
// console when none is left, sees exactly what it saw before.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

int handlerDepth = 0;

namespace {

const char kPrefix[] = "エラー: ";

// The condition's text: the captured messages without the prefix of the
// first and without the newlines that end them.
std::string conditionText(const char* buf, size_t len) {
    std::string s(buf, len);
    size_t start = s.find_first_not_of('\n');
    if (start == std::string::npos) return std::string();
    s.erase(0, start);
    if (s.compare(0, sizeof kPrefix - 1, kPrefix) == 0)
        s.erase(0, sizeof kPrefix - 1);
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

}  // namespace

[[gnu::noinline]] _cell* cfunction::handler_case(_cell* args, _symval* frame, long count) {
    if (!isCons(args))
        return Fail("エラー: HANDLER-CASEの引数が異常です\n", frame, count);
    char* buf = nullptr;
    size_t len = 0;
    FILE* capture = open_memstream(&buf, &len);
    if (!capture)
        return Fail("エラー: HANDLER-CASEの作業領域の獲得に失敗しました\n",
                    frame, count);
    FILE* saved = messageOut;
    fflush(stdout);
    messageOut = capture;
    // errorlisp opens no debug loop in script mode: the failure comes
    // back here as it would go up to the loop reading a script.
    int savedScript = scriptMode;
    scriptMode = 1;
    handlerDepth++;
    _cell* result;
    {
        CellGroup g(this);
        g.push(args);
        result = eval(args->car.p, frame, count);
    }
    handlerDepth--;
    scriptMode = savedScript;
    messageOut = saved;
    fclose(capture);
    if (result || throwPending || returnFromPending || GoSymbol) {
        std::free(buf);
        return result;
    }
    std::string text = conditionText(buf, len);
    std::free(buf);
    // Built from the last byte backwards, so each cell is consed in front;
    // consing never collects.
    _cell* chars = NILCell;
    for (size_t i = text.size(); i > 0; --i) {
        _cell* c = getCell();
        c->car.p = getMojiCell((signed char)text[i - 1], 0);
        c->cdr.p = chars;
        chars = c;
    }
    _cell* condition = getCell();
    condition->car.p = HANDLERCASE;
    condition->cdr.p = MakeMojiretsu(chars);
    return condition;
}
