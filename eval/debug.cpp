// cfunction: the debug loop entered on every error, the break loop, and the
// printing of a loop's outcome shared with the top level.
#include <cstdlib>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

void cfunction::MultiPrintS(_cell* list) {
    for (; isCons(list); list = list->cdr.p) {
        printS(list->car.p);
        if (isCons(list->cdr.p))
            printf(" ;\n");
        else
            putchar('\n');
    }
}

void cfunction::PrintOutcome(_cell* result) {
    if (result) {
        if (_cell* list = valuesOf(result)) {
            MultiPrintS(list);
        } else {
            printS(result);
            putchar('\n');
        }
    } else if (throwPending) {
        puts("エラー: THROWされましたが受け取り先のタグが見つかりません\n");
        throwPending = 0;
    } else if (returnFromPending) {
        puts("エラー: RETURN-FROMの受け取り先が見つかりません\n");
        returnFromPending = 0;
    }
}

namespace {
enum { kLeftAbort, kLeftContinue };
}

_cell* cfunction::ReadAtPrompt(int* counter, _symval* frame, long count) {
    for (;;) {
        if (LineEditorActive()) {
            // The editor shows the prompt with the line it reads.
            char number[32];
            for (int i = 0; i < debugLevel; i++) LineEditorPrompt("*");
            snprintf(number, sizeof number, "[%d]", (*counter)++);
            LineEditorPrompt(number);
        } else {
            for (int i = 0; i < debugLevel; i++) putchar('*');
            printf("[%d]", (*counter)++);
        }
        _cell* e = nullptr;
        int got = ReadExpression(&e);
        if (got == 1) return e;
        if (got == -4) {
            puts("\nデバッグループを抜けました。");
            return ABORT;
        }
        if (got == -3) {
            putchar('\n');
            (*counter)--;
        } else {
            errorlisp(frame, count);
        }
    }
}

// The variables of the prompt's history: * ** *** the last three primary
// values, / // /// their lists of values, + ++ +++ the last three forms.
// Each names a global of its own, apart from the operators of the same
// name; a form that failed leaves them as they were.
void cfunction::RememberOutcome(_cell* form, _cell* value) {
    CellGroup g(this);
    g.push(form);
    g.push(value);
    _cell* values = valuesOf(value);
    if (!values) {
        values = g.push(getCell());
        values->car.p = value;
        values->cdr.p = NILCell;
    }
    static const char* const kNames[3][3] = {
        {"***", "**", "*"}, {"///", "//", "/"}, {"+++", "++", "+"}};
    // The primary value may carry the values list itself (TwoValues): *
    // holds a copy that carries none, so that it reads as one value.
    // (VALUES) has an empty list: * is then NIL.
    _cell* primary = isCons(values) ? values->car.p : NILCell;
    if (valuesOf(primary)) primary = g.push(CopyCell(primary));
    _cell* newest[3] = {primary, values, form};
    for (int k = 0; k < 3; k++) {
        _symval* rec[3];
        for (int i = 0; i < 3; i++)
            rec[i] = globalTable + getSymVal2(getStringCell(kNames[k][i]));
        rec[0]->value = rec[1]->value ? rec[1]->value : NILCell;
        rec[1]->value = rec[2]->value ? rec[2]->value : NILCell;
        rec[2]->value = newest[k];
    }
}

void cfunction::EvalAndPrint(_cell* e, _symval* frame, long count) {
    _cell* v;
    {
        CellGroup g(this);
        g.push(e);
        v = eval(e, frame, count);
        if (v) {
            g.push(v);
            RememberOutcome(e, v);
        }
    }
    PrintOutcome(v);
    // The echo is a write like PRINT's, and its failure is reported the
    // same way, at once: the flush is the one the next prompt would make.
    if (v) {
        std::fflush(stdout);
        (void)Written(stdout, frame, count);
    }
}

// The loop shared by the debug and break loops; returns how it was left.
static int debugLoop(cfunction* self, _symval* frame, long count,
                     bool breaking) {
    self->debugLevel++;
    self->SetDepthLimits();
    // Every group and frame an iteration pushes is popped on every way out
    // of it, so the stacks stay where the failure left them.
    [[maybe_unused]] _cell** cellDepth = self->cellStackTop;
    [[maybe_unused]] _symval** locDepth = self->locStackTop;
    int counter = 1;
    int how = kLeftAbort;
    // The chain as the failure left it, for BACKTRACE, BT, FRAME, UP and
    // DOWN. The forms typed here start a chain of their own, so that a
    // failure among them shows its own frames only.
    DebugLevel level{self->debugTop, self->evalTop, frame, count, 0};
    self->debugTop = &level;
    self->evalTop = nullptr;
    for (;;) {
        _symval* at = frame;
        long atCount = count;
        if (level.selected > 0 &&
            !self->FrameBindings(level.top, level.selected, &at, &atCount)) {
            at = frame;
            atCount = count;
        }
        _cell* e = self->ReadAtPrompt(&counter, at, atCount);
        if (e == ABORT) break;
        if (breaking && e == CONTINUELISP) {
            how = kLeftContinue;
            break;
        }
        if (self->DebugCommand(e)) continue;
        self->EvalAndPrint(e, at, atCount);
        TK_ASSERT(self->cellStackTop == cellDepth);
        TK_ASSERT(self->locStackTop == locDepth);
    }
    self->debugTop = level.prev;
    self->evalTop = level.top;
    self->debugLevel--;
    self->SetDepthLimits();
    return how;
}

// Past the bound no loop opens: the failure goes back to the innermost
// loop, which has room left for the user to look around, ABORT or (bye).
static const char kTooDeepLoops[] = "エラー: デバッグループが深すぎます。";

void cfunction::errorlisp(_symval* frame, long count) {
    if (scriptMode) return;
    if (!RoomForLoop()) {
        puts(kTooDeepLoops);
        return;
    }
    puts("デバッグモードに入りました。");
    puts("ABORTと入力すれば抜けられます。");
    debugLoop(this, frame, count, false);
}

_cell* cfunction::breaklisp(_symval* frame, long count) {
    if (scriptMode) {
        PutMessage("中断しました。");
        return nullptr;
    }
    puts("中断しました。");
    if (!RoomForLoop()) {
        puts(kTooDeepLoops);
        return nullptr;
    }
    puts("CONTINUEと入力すれば続行します。");
    puts("ABORTと入力すれば抜けられます。");
    return debugLoop(this, frame, count, true) == kLeftContinue ? NILCell
                                                                : nullptr;
}
