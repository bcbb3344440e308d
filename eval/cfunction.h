// tamarisk evaluator layer: eval and the dispatch over built-in operators,
// function application and closures, control forms, non-local exits, macros
// and backquote, the debug and break loops, and every built-in function.
//
// The number of HANDLER-CASE$ forms running (eval/handler.cpp).
extern int handlerDepth;

// Failure. A member that can fail returns null (or the failure value its
// comment names) for one of three kinds of failure, and its declaration
// says which kinds it may return:
//   reported  the message is printed and the debug loop has run and been
//             left;
//   exit      a THROW, RETURN-FROM or GO is in flight with its pending state
//             set (see exit.cpp);
//   printed   the message is printed but no debug loop has run: the caller
//             runs it (errorlisp) before passing the failure on as reported,
//             or passes it on as printed itself.
// On reported or exit the caller prints nothing, releases its group and
// frame, and returns null too. A printed failure that a built-in hands to
// eval goes up unchanged, so for those built-ins no debug loop runs. Every
// member that can fail is [[nodiscard]], and no member accepts a null
// argument to pass a failure on: the caller tests the value first.
//
// Invariants of this layer:
// - "May collect": eval and everything that reaches it. Protect every cell
//   still needed across such a call on the cell stack (CellGroup) first, and
//   evaluate at most one Lisp form per C++ statement.
// - A frame is an array of _symval records from AllocFrame: new bindings
//   first, then copies of the bindings the form started from. Lookup sees
//   the current frame only, then the global table.
#ifndef TAMARISK_EVAL_CFUNCTION_H
#define TAMARISK_EVAL_CFUNCTION_H

#include <climits>

#include "math/cmathproc.h"

// The column where the next byte written to f lands (library/format.cpp).
long fileColumn(FILE* f);

// Messages shared by many built-ins.
#define MSG_SYNTAX "エラー: 文法エラー"
#define MSG_SYNTAX2 "エラー: 文法が違います。"
#define MSG_ARGCOUNT "エラー: 引数の数が違います"
#define MSG_NOTNUMBER "エラー: 数値ではありません"
#define MSG_OVERFLOW "エラー: 整数値がオーバーフローしました"
#define MSG_DEEP "エラー: 再帰が深すぎます。"

#include "eval/operators.h"
#include "eval/caches.h"

// A link of the chain of evaluations running, innermost first, which the
// backtrace reads (eval/backtrace.cpp). eval puts one on for each form
// that is a list (params < 0: form, and the frame it runs in); a call of a
// function's body puts one on too (form: the definition (params . body),
// frame: the new bindings, count records of them, the first params of
// which hold the parameters). A link lives in the C++ frame of the call it
// stands for and is taken off on every way out, so the chain costs no
// allocation however deep evaluation goes.
struct EvalLink {
    EvalLink* up;
    _cell* form;
    _symval* frame;
    long count;
    long params;
};
// The failure a debug or break loop was opened for: the chain as it was
// then, and the frame chosen with FRAME, UP or DOWN (0: where it failed),
// whose bindings the loop evaluates among.
struct DebugLevel {
    DebugLevel* prev;
    EvalLink* top;
    _symval* frame;  // where it failed
    long count;
    long selected;
};

class cfunction : public cmathproc {
public:
    cfunction();
    ~cfunction();
    // Drops every array index and kept macro expansion: they name cells of
    // the areas of the session that made them. StartUp calls it, so that
    // an object started again never finds one of its earlier session at
    // the same address and collector epoch.
    void ForgetCaches();

    // --- The one door for changing a cell -----------------------------------
    // Invariant: a cell the program could reach before the write has its
    // car, cdr or tag changed, or a values list put on it, only through
    // these members. Each counts the change for the caches that hold only
    // while cells stay as they were: the kept macro expansions count every
    // change (cellChanges), the array indexes the changes of an array's
    // structure (spineChanges) and the hash tables' indexes those of the
    // conses they follow (hashChanges), told apart by the kind the index
    // put on the cons. A cell the code writing it has just allocated, not
    // yet handed to the program (a list being built, a copy, a cons whose
    // parts are evaluated after it is made), is written directly. The
    // kinds the indexes put on conses are their own marks, not changes of
    // the program's data, and count for nothing. Inline and as cheap as a
    // store and two counts: RPLACA, SETF and SETARRAY run them often.
    void SetCar(_cell* c, _cell* v) {
        NoteCellChange(c, kCarPart);
        c->car.p = v;
    }
    void SetCdr(_cell* c, _cell* v) {
        NoteCellChange(c, kCdrPart);
        c->cdr.p = v;
    }
    // A cons that stops being one (SETARRAY): a change of car and cdr.
    void SetTypeOf(_cell* c, char type) {
        NoteCellChange(c, kCarPart | kCdrPart);
        c->type = type;
    }
    // The values list put on a cell the program has (TwoValues).
    void SetValuesOn(_cell* c, _cell* list) {
        setValues(c, list);
        cellChanges++;
    }
    // The counts, since the interpreter was made. Each only grows.
    unsigned long cellChanges = 0;
    unsigned long spineChanges = 0;
    unsigned long hashChanges = 0;
    // A cache slot filled now, for the count `changes`, and whether a
    // slot so stamped still holds.
    CacheStamp StampNow(unsigned long changes) const {
        return CacheStamp{gcEpoch, changes};
    }
    bool StillGood(const CacheStamp& s, unsigned long changes) const {
        return s.gcEpoch == gcEpoch && s.changes == changes;
    }
    static constexpr int kCarPart = 1;
    static constexpr int kCdrPart = 2;
    void NoteCellChange(const _cell* c, int parts) {
        cellChanges++;
        switch (c->kind) {
            case kRowCons: spineChanges++; break;
            case kElementCons:
                if (parts & kCdrPart) spineChanges++;
                break;
            case kHashEntryCons:
                if (parts & kCarPart) hashChanges++;
                break;
            case kHashCons: hashChanges++; break;
            case kArrayHashCons:
                spineChanges++;
                hashChanges++;
                break;
            default: break;
        }
    }

    // The label of a GO whose jump is not yet made, or null.
    _cell* GoSymbol = nullptr;

    // Pending exits (the flags are in cmemory). These four are roots of the
    // collector while set, since the cells travel while code still runs.
    _cell* throwValue;
    _cell* throwTag;
    _cell* pendingReturnValue;
    _cell* returnFromName;
    // Where a block named `name` ends (BLOCK, a function's body, MAPCAR's
    // path): the value of a RETURN-FROM pending for it, which it takes.
    // Null when none is, or when one left a user function's body on its
    // way (its value cleared: it goes on upward to be reported).
    _cell* ReceiveReturn(_cell* name) {
        if (!returnFromPending || returnFromName != name || !pendingReturnValue)
            return nullptr;
        returnFromPending = 0;
        return pendingReturnValue;
    }

    // Script mode: nobody is there to answer a debug or break loop, so an
    // error leaves at once, as if ABORT had been typed, and the loop that
    // reads the program reports it.
    int scriptMode;

    // Built-ins take their argument forms (args), or one form, and the
    // frame they run in; unless their comment says otherwise they may
    // collect, and their null is reported or exit.

    // --- eval/eval.cpp ------------------------------------------------------
    // May collect. The caller keeps `form` reachable from the roots. Null:
    // reported, exit, or printed as a built-in left it.
    [[nodiscard]] _cell* eval(_cell* form, _symval* frame, long count);
    // How a step hands its result back to eval (*keepValues of evalu):
    // kKeepValues, the result keeps its multiple values; kChecked, no cell
    // or number has been allocated since the step's last look at the
    // collector (the forms it evaluated last each took one when they
    // ended, and what the step did after allocates nothing).
    enum { kKeepValues = 1, kChecked = 2 };
    // eval, with the value of a variable found here when its step has
    // nothing to take (no interrupt or collection pending); for the forms
    // of the evaluator's own loops.
    [[nodiscard]] inline _cell* evalArg(_cell* form, _symval* frame,
                                        long count);
    // The binding a variable's value is read from: the first record of the
    // frame naming it (form is never null, and unused records name none),
    // else its record in the global table; null when it has neither.
    inline _symval* FindVariable(_cell* symbol, _symval* frame, long count);
    [[nodiscard]] _cell* EvalOne(_cell* args, _symval* frame,
                                 long count);  // first arg
    const char* BeginStep();  // the checks of a step; null: go on
    // The message of an area that the last gc() found full, or null; taken
    // once, by the step that collected.
    const char* TakeAreaFull();
    // A step BeginStep refused: the message and the debug loop, or for
    // Ctrl-C the break loop; true when CONTINUE lets the step run.
    bool Refuse(const char* why, _symval* frame, long count);
    // The checks of a step that a C++ path stands for, refused as Refuse
    // does; true when the step may run.
    bool CheckStep(_symval* frame, long count);
    // Report a failure: the message, the debug loop, and null (reported).
    _cell* SyntaxError(_symval* frame, long count);
    _cell* Fail(const char* message, _symval* frame, long count);
    [[nodiscard]] _cell* CallUser(_symval* record, _cell* args, _symval* frame,
                                  long count);
    // CallUser with the definition (params . body) taken beforehand; the
    // caller keeps `def` protected.
    [[nodiscard]] _cell* CallDef(_cell* def, _cell* args, _symval* frame,
                                 long count);
    // The body of `def` (protected by the caller) in its frame `inner` of
    // n records, already bound and on the local stack; the first `params`
    // are the parameters, the rest a closure's captured bindings.
    [[nodiscard]] _cell* RunDefBody(_cell* def, _symval* inner, long n,
                                    long params);

    // --- eval/autoload.cpp --------------------------------------------------
    // The function record of `symbol`; when it has none and the library
    // written in the dialect defines the name, its text is evaluated first
    // (once per session). Null: no function or macro of that name. May
    // collect: the caller protects its cells.
    _symval* FunctionOf(_cell* symbol);
    // Marks every cons of a form read from the library's text kLibraryForm.
    static void MarkLibraryForm(_cell* form);
    // The name (upper case) is one the dialect's library defines on use.
    static bool IsLispTextName(const char* name);
    // The text that defines the name on use, as written; null: none.
    static const char* LispTextOf(const char* name);
    static constexpr int kMaxLispTexts = 2048;
    bool lispTextTried[kMaxLispTexts] = {};

    // --- eval/fastpath.cpp (the table: eval/fastpath.h) ---------------------
    // After the prelude: gives its names their C++ paths.
    void InitFastPaths();
    // DEFUN or DEFMACRO of `sym`: a C++ path that stands for a definition
    // of that name is off from now on.
    void NoteRedefinition(_cell* sym);
    // 1: test is the prelude's <, -1: its >, 0: neither (eval/fastpath.cpp).
    int IntactOrder(_cell* test);
    // The C++ path of a prelude function (operatorOf(op) is its OP_F_
    // number). *declined: nothing was evaluated and the caller goes on with
    // the ordinary call.
    [[nodiscard]] _cell* FastCall(_cell* op, _cell* args, _symval* frame,
                                  long count, int* keepValues, bool* declined);
    // Calls `def` (protected by the caller) on values already evaluated.
    [[nodiscard]] _cell* CallDefValues(_cell* def, _cell** values, long n,
                                       _symval* frame, long count);
    unsigned long long fastIntact = 0;  // prelude names still as loaded
    // What InitFastPaths found, for this session: the paths' symbols, the
    // symbols of the names the paths depend on (null: none), MAPCAR's shape
    // and the definition it was taken from (null: the path is off).
    FastSymbols fastSym;
    _cell* fastNameSymbols[kFastNameCount] = {};
    MapcarShape mapcarShape;
    const _cell* mapcarDef = nullptr;
    // A result of `cells` cells made in one go: room above the cell area's
    // level (RoomFor), or the area's message and false. May collect.
    [[nodiscard]] bool RoomForResult(long cells, _symval* frame, long count);

    // --- library/arraypath.cpp ----------------------------------------------
    // The cons holding the element at the indexes (rank of them, each an
    // integer not below 0) of an array of rank `rank` whose contents are
    // well formed there; null otherwise.
    _cell* ElementCons(_cell* array, _cell** indexes, long rank);
    // The index of an array whose contents are a rectangular structure of
    // proper lists of rank 1 to 8; null for any other.
    const ArrayIndex* IndexOf(_cell* array);
    // The indexes of the arrays used last, found by a hash of the array
    // cell's place. They point into this interpreter's cells, so they are
    // its own: another interpreter's area, made later in the same process,
    // may lie at the same address, with a collector epoch counting from 0
    // again, and would find an index of cells that are no longer there.
    static constexpr int kIndexSlots = 64;
    ArrayIndex indexCache[kIndexSlots];

    // --- library/hashindex.cpp ----------------------------------------------
    // The entry of key in a hash table whose test is known (kHashEq..):
    // 1 found (*entry is the (key . value) cons), 0 absent, -1 no index
    // can be had and the list must be walked.
    int HashFind(_cell* table, _cell* key, int test, _cell** entry);
    // The test of a well-formed hash table head whose test the index
    // knows, else 0.
    int HashTestOf(_cell* table);
    // HASH$PUT key table value and HASH$REMOVE key table (see the file).
    [[nodiscard]] _cell* hash_put(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* hash_remove(_cell* args, _symval* frame, long count);
    // SETF of (GETHASH key table [default]): the SETF-HASH call the
    // prelude's SETF expands it into, evaluated without the expansion.
    bool IsGethashPlace(_cell* place);
    [[nodiscard]] _cell* SetfGethash(_cell* args, _symval* frame, long count,
                                     int* keepValues);
    _cell* symGethashName = nullptr;
    _cell* symSetfHashName = nullptr;
    void InitHashIndex();  // after the prelude
    void ForgetHashIndexes();
    HashIndex* IndexOfTable(_cell* table, int test);
    int FindInIndex(HashIndex* e, _cell* key, unsigned h);
    unsigned HashOf(_cell* key, int test, bool mark, int serial, bool* shared,
                    bool* ok);
    int HashSame(_cell* key, _cell* other, int test);
    void KeepInStep(HashIndex* e, unsigned long before);
    HashIndexCache* hashIndexes = nullptr;
    _cell* symHashTableName = nullptr;
    _cell* symEqualName = nullptr;
    _cell* symAssocName = nullptr;
    _cell* preludeEqual = nullptr;  // the definitions the index stands for
    _cell* preludeAssoc = nullptr;

    // --- eval/builtin.cpp ---------------------------------------------------
    [[nodiscard]] _cell* tprint(_cell* args, _symval* frame, long count,
                                int style);
    [[nodiscard]] _cell* tset(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* defparameter(_cell* args, _symval* frame, long count,
                                      int isVar);
    [[nodiscard]] _cell* setq(_cell* args, _symval* frame, long count);
    _cell* numberEqual(_cell* a, _cell* b);  // both numbers; T or NIL
    [[nodiscard]] _cell* numberEqualAll(_cell* args, _symval* frame,
                                        long count);
    _cell* teq(_cell* a, _cell* b);
    _cell* teql(_cell* a, _cell* b);
    int CheckFunc(_cell* args, char kind);
    // Null: reported; printed when the symbol table is full.
    [[nodiscard]] _cell* DefineFunc(_cell* args, char kind, _symval* frame,
                                    long count);
    [[nodiscard]] _cell* tlist(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* spaces(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* terpri(_cell* args, _symval* frame, long count);
    // CHAR-EQUAL (less 0) and CHAR< (less 1) of two or more characters.
    [[nodiscard]] _cell* charCompare(_cell* args, _symval* frame, long count,
                                     int less);
    static bool charOrder(const _cell* a, const _cell* b, int less);
    // Null: reported, exit; printed when the form names no macro.
    [[nodiscard]] _cell* macroexpand(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* terror(_cell* args, _symval* frame, long count);
    // The stream an output function writes to when it is given none or
    // NIL (and FORMAT given T): the value of *STANDARD-OUTPUT* when that is
    // an output stream, else standard output. Null: reported (a stream
    // that is closed or for input).
    [[nodiscard]] FILE* StandardOutput(_symval* frame, long count);
    // Null: reported, exit (no value, or not a stream).
    [[nodiscard]] FILE* OutputArg(_cell* rest, _symval* frame, long count);
    // The two ways a multiple-value result is made: a fresh cell copying
    // first and carrying list; or first itself carrying (first second).
    _cell* MakeValues(_cell* first, _cell* list);
    // A fresh cell with c's tags, car and cdr (a closure stays one) and no
    // values list; allocation only, never collects.
    _cell* CopyCell(_cell* c);
    _cell* TwoValues(_cell* first, _cell* second);

    // --- eval/apply.cpp -----------------------------------------------------
    // 1 bound; 0 the parameters or the argument count do not fit (nothing
    // printed); -1 an argument yielded no value (reported, exit).
    [[nodiscard]] int initTemploc(_symval* frame, long length, _cell* params,
                                  _cell* args, _symval* callerFrame,
                                  long callerCount);
    [[nodiscard]] _cell* MakeRest(_cell* forms, _symval* frame, long count);
    [[nodiscard]] _cell* EvalEach(_cell* forms, _symval* frame, long count,
                                  int keepTail);
    // The first two argument forms, evaluated left to right into *a and
    // *b. args and *a go on g, the caller's open group, as they are needed
    // after the next evaluation; *b is left to the caller. 1 both
    // evaluated; 0 an evaluation failed (reported); -1 a form is missing
    // (nothing reported; when it is the second, the first was evaluated).
    [[nodiscard]] int EvalTwo(CellGroup& g, _cell* args, _symval* frame,
                              long count, _cell** a, _cell** b);
    // The first n argument forms, evaluated left to right into v, each
    // value pushed on g. 1 all evaluated; 0 an evaluation failed
    // (reported); -1 a form is missing (nothing reported).
    [[nodiscard]] int EvalN(CellGroup& g, _cell* args, int n, _cell** v,
                            _symval* frame, long count);
    [[nodiscard]] _cell* CallValue(_cell* fn, _cell* forms, _symval* frame,
                                   long count, const char* misuse);
    [[nodiscard]] _cell* apply(_cell* args, _cell* rest, _symval* frame,
                               long count);
    [[nodiscard]] _cell* funcall(_cell* args, _cell* rest, _symval* frame,
                                 long count);
    [[nodiscard]] _cell* function(_cell* arg, _symval* frame,
                                  long count);  // reported
    // The forms ((QUOTE x) ...) that give back, when evaluated, the n
    // values and then the elements of list. Allocates only.
    _cell* QuoteEach(_cell* const* values, long n, _cell* list);
    [[nodiscard]] _cell* rplaca(_cell* a, _cell* b, _symval* frame,
                                long count);  // reported
    [[nodiscard]] _cell* rplacd(_cell* a, _cell* b, _symval* frame,
                                long count);  // reported
    void SetOrgLoc(_symval* outer, long outerCount, _symval* inner, long f,
                   long c);
    // Calls a lambda expression or closure with argument forms evaluated in
    // the caller's frame.
    [[nodiscard]] _cell* CallLambda(_cell* lambda, _cell* argForms,
                                    _symval* frame, long count);

    // --- eval/control.cpp ---------------------------------------------------
    [[nodiscard]] _cell* tprogn(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* tprog1(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* tand(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* tor(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* condition(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* IfClause(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* Let(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* LetAst(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* prog(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* progBody(_cell* body, _symval* frame, long count);
    // The body from the statement list `start` on (null: a GO is pending).
    [[nodiscard]] _cell* progBodyFrom(_cell* body, _cell* start, _symval* frame,
                                      long count);
    // 1 ran off the end, 0 failed (reported, exit), 2 jump pending
    [[nodiscard]] int progBody2(_cell* start, _symval* frame, long count);
    _cell* tmember(_cell* label, _cell* list);
    [[nodiscard]] _cell* values(_cell* args, _symval* frame, long count);

    // --- eval/exit.cpp ------------------------------------------------------
    [[nodiscard]] _cell* catch_lisp(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* throw_lisp(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* block_lisp(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* return_from_lisp(_cell* args, _symval* frame,
                                          long count);
    [[nodiscard]] _cell* unwind_protect(_cell* args, _symval* frame,
                                        long count);

    // --- eval/macro.cpp -----------------------------------------------------
    KeptExpansion keptExpansions[kKeptExpansions];
    // 1 bound; 0 the parameters or the arguments do not fit (nothing
    // printed).
    [[nodiscard]] int initTemplocForMacro(_symval* frame, long count,
                                          _cell* params, _cell* args);
    // The three below: null reported, exit; printed when a copy finds the
    // structure too deep.
    [[nodiscard]] _cell* MacroExec(_cell* args, _symval* record, _symval* frame,
                                   long count);
    [[nodiscard]] _cell* MacroExec2(_cell* args, _symval* record,
                                    _symval* frame, long count);
    [[nodiscard]] _cell* backquote(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* backquote2(_cell* tmpl, _symval* frame, long count);
    [[nodiscard]] _cell* Copy(_cell* c);  // null: printed (too deep)
                                          // or copyRanOut (nothing printed)
    bool copyRanOut = false;  // Copy stopped short of the cells' reserve
    bool copyStopsAtReserve = false;  // set by CopyOrReport only
    // Copy, collecting once when it ran into the reserve; null: printed
    // (too deep) or reported (the cell area full). May collect: c must be
    // protected.
    [[nodiscard]] _cell* CopyOrReport(_cell* c, _symval* frame, long count);
    _cell* LastCell(_cell* c);
    // The conses along the CDR chain of c; -1 when there are more than
    // limit (a circular chain, when the limit is the area's size). *proper,
    // when asked for: the chain ends in NIL (false for -1).
    static long tlength(_cell* c, long limit = LONG_MAX,
                        bool* proper = nullptr);

    // --- eval/lambdalist.cpp ------------------------------------------------
    // What a lambda list asks of its binder. kPlainList: symbols and &REST
    // (and &BODY in a macro), which initTemploc and initTemplocForMacro
    // bind as they always have (a DEFUN's dotted tail ignored, &REST
    // misplaced refused at the call); kFullList: a well-formed list with
    // &OPTIONAL, &KEY, &ALLOW-OTHER-KEYS, &AUX or, in a macro, nested lists
    // or a dotted tail; kBadList: neither. Allocates nothing.
    enum { kPlainList, kFullList, kBadList };
    static int LambdaListShape(_cell* params, bool macro);
    // The calls whose lambda list is full: a DEFUN function (def protected
    // by the caller), a lambda expression or closure, a macro's frame.
    // Null: reported, exit.
    [[nodiscard]] _cell* CallFullDef(_cell* def, _cell* args, _symval* frame,
                                     long count);
    [[nodiscard]] _cell* CallFullLambda(_cell* lambda, _cell* argForms,
                                        _symval* frame, long count);
    // The records a full lambda list's variables take in a frame; -1 when
    // it is no well-formed lambda list. *pure: it has no default or &AUX
    // form, so its bindings follow from the arguments alone.
    static long LambdaListRecords(_cell* params, bool macro, bool* pure);
    // Binds the full lambda list `params` to the list of values (for a
    // macro, its argument forms) in records 0..n-1 of `inner`, which the
    // caller pushed on the local stack through fg with all its `total`
    // records, those from n on already holding what default forms may see
    // besides the earlier parameters. Default forms are evaluated in
    // (inner, total). 1 bound; 0 reported (the mismatch after closing fg,
    // with `mismatch` as the message for a wrong count or shape) or exit.
    [[nodiscard]] int BindFull(_cell* params, _cell* values, bool macro,
                               _symval* inner, long n, long total,
                               FrameGuard& fg, const char* mismatch,
                               _symval* frame, long count);
    // The forms of a body without the declarations at its start; a
    // documentation string among them stays first, with NIL after it when
    // no form follows. The body itself when it starts with no declaration.
    // Allocates; never collects.
    _cell* WithoutDeclarations(_cell* body);
    // Whether the declarations at the start of body hold (SPECIAL name...);
    // binds dynamically each of the first n records of inner so named.
    bool DeclaresDynamic(_cell* body);
    void BindDeclaredDynamic(_symval* inner, long n, _cell* body);
    // DESTRUCTURING-BIND$ lambda-list form body...
    [[nodiscard]] _cell* destructuringBind(_cell* args, _symval* frame,
                                           long count);
    // FLET$ labels ((name lambda-list body...)...) body...: the body runs
    // in a copy of the current frame followed by the local functions,
    // records named FLET$ whose values are (name . closure). With labels
    // non-NIL the closures see the whole new frame, so each other;
    // otherwise only its copy of the current frame.
    [[nodiscard]] _cell* flet(_cell* args, _symval* frame, long count);
    // The closure of the innermost local function of that name the frame
    // holds (the last record of that name); null: none.
    static _cell* LocalFunction(_cell* name, _symval* frame, long count);
    // Some FLET$ has run in this session: only then do calls and FUNCTION
    // look for local functions.
    bool localFunctions = false;

    // --- eval/debug.cpp -----------------------------------------------------
    void errorlisp(_symval* frame, long count);

    // --- eval/backtrace.cpp -------------------------------------------------
    EvalLink* evalTop = nullptr;     // innermost link of the chain
    DebugLevel* debugTop = nullptr;  // innermost debug or break loop
    // Script mode: the first failure of a top-level form (no exit in
    // flight, no handler around it) writes its place and a few frames to
    // failureReport; the loop reading the script prints them.
    bool reportFailures = false;
    bool failureNoted = false;
    char failureReport[2048];
    // The innermost form of the failure read from a file: its place
    // ("name:line") and, unless it is reportTop (the top-level form
    // itself), its text; empty when there is none.
    _cell* reportTop = nullptr;
    char failurePlace[512];
    char failureForm[256];
    // eval's way out with a null result: notes the failure for the report.
    void NoteFailure();
    // Writes frames [first, first + n) of the chain from top to out, with
    // a line for the frames left out; n < 0: all. Answers how many frames
    // the chain holds. Never allocates a cell nor evaluates.
    long WriteFrames(FILE* out, EvalLink* top, long first, long n,
                     const char* indent);
    // The bindings frame k of the chain from top evaluates among; false
    // when there is no frame k.
    bool FrameBindings(EvalLink* top, long k, _symval** frame, long* count);
    // BACKTRACE$ n, FRAME$ n: the primitives of BACKTRACE and FRAME.
    [[nodiscard]] _cell* backtrace_lisp(_cell* args, _symval* frame,
                                        long count);
    [[nodiscard]] _cell* frame_lisp(_cell* args, _symval* frame, long count);
    // A debug loop's short commands BT, UP and DOWN (true: e was one).
    bool DebugCommand(_cell* e);
    // Source lines. The conses that start a list read from a file carry
    // (source << 24 | line) in closureCount, which a cons that is no
    // closure does not use; source numbers a file name of sourceNames.
    // TagSourceLines walks the text as gathered (comments gone, newlines
    // kept) beside the form built from it, the first byte on firstLine.
    int SourceNumber(const char* name);
    void TagSourceLines(const char* text, _cell* form, int source,
                        long firstLine);
    // A file opened for reading by OPEN: READ tags what it reads from it.
    void NoteStreamSource(FILE* f, const char* path);
    long SourceOffset(FILE* f);
    // Tags the lines of e, read from text gathered from f starting at
    // offset start, when f is a file OPEN noted (start from SourceOffset).
    void TagStreamLines(FILE* f, long start, const char* text, _cell* e);
    // "name:line" of a tagged cons into buf; false when it has no tag.
    bool SourcePlace(const _cell* c, char* buf, size_t size);
    // --- eval/handler.cpp ---------------------------------------------------
    // HANDLER-CASE$ form: the value of form; when form fails with an error
    // (reported, or printed), the list (HANDLER-CASE$ . message) instead,
    // message a string without the "エラー: " prefix. While it runs, the
    // messages go to a memory stream and errorlisp opens no debug loop.
    // Exits pass through. Null: exit.
    [[nodiscard]] _cell* handler_case(_cell* args, _symval* frame, long count);

    // NIL: CONTINUE was typed; null (reported): the loop was aborted.
    [[nodiscard]] _cell* breaklisp(_symval* frame, long count);
    void MultiPrintS(_cell* list);
    // Prints a loop's outcome: values, a value, or the report of an exit
    // that nobody received.
    void PrintOutcome(_cell* result);
    // What the top level and the debug loops share. ReadAtPrompt shows the
    // prompt (a * per open debug loop, then [counter], counting on) and
    // reads one expression: after Ctrl-C the same prompt comes again, and
    // text that cannot be read has its message and a debug loop in frame
    // before the next prompt. EvalAndPrint evaluates in frame and prints
    // the outcome; it may collect.
    _cell* ReadAtPrompt(int* counter, _symval* frame, long count);
    void EvalAndPrint(_cell* e, _symval* frame, long count);
    // After a form evaluated at a prompt: its value into * and its
    // values into /, the older ones moving down to ** and ***.
    void RememberOutcome(_cell* form, _cell* value);

    // --- math/math.cpp ------------------------------------------------------
    // The four operations on two number cells. Null: printed (not numbers,
    // or an exact result with no denominator).
    [[nodiscard]] _cell* Wa(_cell* a, _cell* b);
    [[nodiscard]] _cell* Sa(_cell* a, _cell* b);
    [[nodiscard]] _cell* Seki(_cell* a, _cell* b);
    [[nodiscard]] _cell* Sho(_cell* a, _cell* b);
    [[nodiscard]] _cell* plus(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* minus(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* times(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* divide(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* OnePlus(_cell* form, _symval* frame, long count);
    [[nodiscard]] _cell* OneMinus(_cell* form, _symval* frame, long count);
    [[nodiscard]] _cell* minusp(_cell* value);  // of a value; null: printed
    // (COMPARE$ op x more). Null: reported, exit.
    [[nodiscard]] _cell* compare(_cell* args, _symval* frame, long count);

    // --- math/elementary.cpp ------------------------------------------------
    [[nodiscard]] _cell* jSqrt(_cell* form, _symval* frame, long count);
    // base^e for a base that is not negative (a number), e a number;
    // null after the power routines' message.
    _cell* positivePower(_cell* base, _cell* e);
    // Null: reported, exit; printed by the power routines (exponent not a
    // number, overflow, zero denominator).
    [[nodiscard]] _cell* jExpt(_cell* baseForm, _cell* expForm, _symval* frame,
                               long count);
    [[nodiscard]] _cell* jExp(_cell* form, _symval* frame, long count);
    [[nodiscard]] _cell* jLog(_cell* form, _symval* frame, long count);
    [[nodiscard]] _cell* jSin(_cell* form, _symval* frame, long count);
    [[nodiscard]] _cell* jCos(_cell* form, _symval* frame, long count);
    [[nodiscard]] _cell* jTan(_cell* form, _symval* frame, long count);
    [[nodiscard]] _cell* jAsin(_cell* form, _symval* frame, long count);
    [[nodiscard]] _cell* jAcos(_cell* form, _symval* frame, long count);
    [[nodiscard]] _cell* jAtan(_cell* form, _symval* frame, long count);
    [[nodiscard]] _cell* jEvenp(_cell* form, _symval* frame, long count);
    // (FLOOR x) and (FLOOR x y); (QUOTIENT$ mode x divisor). Null:
    // reported, exit.
    [[nodiscard]] _cell* tfloor(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* quotient(_cell* args, _symval* frame, long count);
    // The two values of x divided by y (by 1 when y is null) and rounded by
    // mode, or the remainder alone; x and y are numbers, y not zero.
    // Allocates only, unless it fails. Null: reported (overflow).
    [[nodiscard]] _cell* RoundedDivision(_cell* x, _cell* y, Rounding mode,
                                         _symval* frame, long count,
                                         bool remainderOnly = false);

    // --- math/random.cpp ----------------------------------------------------
    [[nodiscard]] _cell* Random(_cell* form, _symval* frame, long count);

    // --- library/stream.cpp -------------------------------------------------
    [[nodiscard]] _cell* topen(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* tclose(_cell* form, _symval* frame, long count);
    // Null: reported, exit; printed when the text read does not build.
    [[nodiscard]] _cell* tread(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* treadline(_cell* args, _symval* frame, long count);
    _cell* SetFilePointer(FILE* f,
                          bool output);  // stream object; NIL: no free slot
    // The file of an open stream object for reading (output false) or for
    // writing; null after the message and the debug loop for a closed
    // stream or one opened the other way.
    FILE* DirectedStream(_cell* s, bool output, _symval* frame, long count);
    // After a primitive's output to f (a file or standard output): false
    // after the message and the debug loop when a write or a flush it made
    // failed (reported).
    [[nodiscard]] bool Written(FILE* f, _symval* frame, long count);
    // At the end of the session: flushes standard output and every file
    // open for output; when any of them lost what was written, says so on
    // standard error and answers 1 for a status of 0, else the status.
    int FlushOutputs(int status);
    // READ's and READ-LINE's (eof-error-p [eof-value]) (library/stream.cpp).
    bool EofArguments(CellGroup& g, _cell* rest, _symval* frame, long count,
                      bool* given, bool* error, _cell** value);
    FILE* getStream(_cell* c);   // open file of a stream object, else null
    FILE* getStream2(_cell* c);  // the same, and frees the slot
    int toPathMojiretsu(_cell* c, char* buf, int size);

    // --- library/array.cpp --------------------------------------------------
    [[nodiscard]] _cell* jlength(_cell* value);  // of a value; null: printed
    [[nodiscard]] _cell* tchar(_cell* args, _symval* frame, long count);
    // Null: reported, exit; printed when a copy finds the list too deep.
    [[nodiscard]] _cell* coerce(_cell* args, _symval* frame, long count);
    _cell* StringEqual(_cell* a, _cell* b);
    [[nodiscard]] _cell* SetArray(_cell* form, _symval* frame, long count);
    [[nodiscard]] _cell* ArrayCar(_cell* value);  // of a value; null: printed
    [[nodiscard]] _cell* ArrayCdr(_cell* value);  // of a value; null: printed
    int isAllMoji(_cell* c);

    // --- library/linux.cpp --------------------------------------------------
    [[nodiscard]] _cell* char_to_code(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* code_to_char(_cell* args, _symval* frame, long count);
    // Null: reported, exit; printed when the symbol table is full.
    [[nodiscard]] _cell* t_intern(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* t_intern_wide(_cell* args, _symval* frame, long count);

    // --- library/symbol.cpp -------------------------------------------------
    [[nodiscard]] _cell* symbolname(_cell* args, _symval* frame, long count);
    [[nodiscard]] _cell* symbol_function(_cell* args, _symval* frame,
                                         long count);
    // A string of one character per byte of text, whatever the bytes are;
    // allocation only, never collects.
    _cell* StringOfBytes(const char* text);

    // --- library/format.cpp ------------------------------------------------
    [[nodiscard]] _cell* formatd(_cell* args, _symval* frame, long count);
    // EXACT$: bits of integers, terms of fractions (math/exact.cpp).
    [[nodiscard]] _cell* exact_lisp(_cell* args, _symval* frame, long count);
    // SORT$: a list of (key . element) sorted by numeric keys (library/sort.cpp).
    [[nodiscard]] _cell* sort_lisp(_cell* args, _symval* frame, long count);
    // READ-CHAR$: a byte of a stream or the console (library/stream.cpp).
    [[nodiscard]] _cell* read_char_lisp(_cell* args, _symval* frame,
                                        long count);

    // --- library/stringcompare.cpp -----------------------------------------
    // STRING-COMPARE$: the string comparisons.
    [[nodiscard]] _cell* string_compare_lisp(_cell* args, _symval* frame,
                                             long count);

    // --- library/stringstream.cpp ------------------------------------------
    // STRING-STREAM$: string streams over temporary files.
    [[nodiscard]] _cell* string_stream_lisp(_cell* args, _symval* frame,
                                            long count);
    // When every file slot is taken: collects, and closes the string
    // streams that no live stream object designates. May collect.
    void ReclaimStringStreams();
    // True for an open stream that STRING-STREAM$ made.
    bool IsStringStream(_cell* s);
    // The opening number of the string stream in each file slot (0: none).
    long stringStreams[kFileSlots] = {};

    // --- library/time.cpp ---------------------------------------------------
    // Null: reported (also after a failed argument, which reported itself).
    [[nodiscard]] _cell* LocalTime(_cell* form, _symval* frame, long count);
    [[nodiscard]] _cell* MakeTime(_cell* form, _symval* frame, long count);

    // --- library/describe.cpp -----------------------------------------------
    // The primitives of the tools that look at a session (TRACE, DESCRIBE,
    // APROPOS, DOCUMENTATION, TIME). Null: reported, exit.
    // KIND$ object: for a symbol :OPERATOR, :FUNCTION, :MACRO, :KEYWORD or
    // NIL, without defining a library name it asks about; else the type:
    // :CONS, :INTEGER, :FRACTION, :FLOAT, :CHARACTER, :STRING, :ARRAY or
    // :STREAM.
    [[nodiscard]] _cell* kind_lisp(_cell* args, _symval* frame, long count);
    // BOUNDP$ symbol: T when it has a global value.
    [[nodiscard]] _cell* boundp_lisp(_cell* args, _symval* frame, long count);
    // DOCUMENTATION$ symbol language: the reference text of the name
    // (lisptext.h), in English when language is :EN; NIL: none.
    [[nodiscard]] _cell* documentation_lisp(_cell* args, _symval* frame,
                                            long count);
    // APROPOS$ string: the symbols whose names contain it, ignoring the
    // case of ASCII letters, sorted by name; the names the library defines
    // on use are among them before they are used. Names with a `$` are
    // private and left out.
    [[nodiscard]] _cell* apropos_lisp(_cell* args, _symval* frame, long count);
    // A documentation string given to DEFVAR or DEFPARAMETER: kept in the
    // list (symbol . string) of VARIABLE-DOCUMENTATION$, which DOCUMENTATION
    // reads. Allocates; never collects.
    void NoteVariableDocumentation(_cell* sym, _cell* doc);
    // DRIBBLE$ path: from now on the console's input and standard output
    // are also written to the file (added at its end); DRIBBLE$ NIL ends
    // the record. T, or NIL when NIL finds no record to end.
    [[nodiscard]] _cell* dribble_lisp(_cell* args, _symval* frame, long count);
    // TIME$ form: the values of form, after a report of the time it took,
    // the cells and slots it took and the collections, on messageOut.
    [[nodiscard]] _cell* time_lisp(_cell* args, _symval* frame, long count);

private:
    // One evaluation step of a form (not an atom), built into eval, its
    // only caller; *keepValues as described at kKeepValues.
    [[nodiscard]] _cell* evalu(_cell* form, _symval* frame, long count,
                               int* keepValues);
};

inline _symval* cfunction::FindVariable(_cell* symbol, _symval* frame,
                                        long count) {
    long i = getLocal(frame, count, symbol);
    if (i >= 0) return frame + i;
    // A global record without a value is one a dynamic binding made for a
    // name that had none, and has since put back: the name is unbound.
    i = getSymVal(symbol);
    return i >= 0 && globalTable[i].value ? globalTable + i : nullptr;
}

inline _cell* cfunction::evalArg(_cell* form, _symval* frame, long count) {
#if !TK_GCSTRESS && !TK_FUZZ
    TK_ASSERT(InUse(form) && hasValidTag(form));
    if (form->type == kSymbolTag && !isKeyword(form) &&
        !__builtin_expect(interruptRequested, 0) && !CollectDue())
        if (_symval* r = FindVariable(form, frame, count)) return r->value;
#endif
    return eval(form, frame, count);
}

// Puts a link on the chain for as long as it lives.
class LinkGuard {
public:
    LinkGuard(cfunction* f, _cell* form, _symval* frame, long count,
              long params)
        : f_(f), link_{f->evalTop, form, frame, count, params} {
        f->evalTop = &link_;
    }
    ~LinkGuard() { f_->evalTop = link_.up; }
    LinkGuard(const LinkGuard&) = delete;
    LinkGuard& operator=(const LinkGuard&) = delete;

private:
    cfunction* f_;
    EvalLink link_;
};

#endif  // TAMARISK_EVAL_CFUNCTION_H
