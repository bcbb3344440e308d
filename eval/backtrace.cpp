// cfunction: the backtrace. The chain of EvalLink records (cfunction.h)
// is read into frames: frame 0 is the innermost form, the one that failed;
// then one frame per call of a function's body, innermost first. A call's
// frame shows the function and the values of its parameters, and the place
// it was called from when that form was read from a file; its bindings are
// those of the innermost form running in its body, so that a debug loop
// that chose it evaluates where the function stood.
//
// Reading the chain evaluates nothing and makes no cell: the backtrace must
// work where the error is that evaluation went too deep, or that an area is
// full. Values are written by a walk that stops after a few elements and
// levels, so long and circular lists print short.
//
// Source lines: the conses that start a list read from a file (by the
// script reader or by READ from a file that OPEN opened) carry the file and
// the line in closureCount, which only a closure's cons uses otherwise; a
// copy or a closure loses the tag, which only costs a place in a report.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

constexpr int kLineBits = 24;
constexpr long kMaxLine = (1L << kLineBits) - 1;
constexpr int kMaxSources = 127;
// Elements of a list and levels of nesting written before "...".
constexpr int kBriefElements = 8;
constexpr int kBriefDepth = 4;
// Bytes of an atom's printed text written before "...".
constexpr size_t kBriefAtom = 60;
// Frames BT and BACKTRACE write when no number is given, and the script
// report.
constexpr long kShownFrames = 20;
constexpr long kReportFrames = 5;

char* sourceNames[kMaxSources + 1];
int sourceCount = 0;

// The files OPEN opened for reading, and how far their lines are counted.
struct StreamSource {
    FILE* f;
    dev_t dev;      // the file it was opened on: a FILE* that the C
    ino_t ino;      // library hands out again later is another stream
    int source;
    long offset;    // bytes counted
    long line;      // the line at offset
};
constexpr int kStreamSources = 16;
StreamSource streamSources[kStreamSources];
int nextStreamSource = 0;

bool isCallLink(const EvalLink* l) { return l->params >= 0; }

// The name of the function a call link runs: the BLOCK of a DEFUN's body,
// else LAMBDA.
_cell* callName(const EvalLink* l) {
    _cell* body = l->form->cdr.p;
    if (isCons(body) && isNil(body->cdr.p) && isCons(body->car.p)) {
        _cell* block = body->car.p;
        if (block->car.p == BLOCKLISP && isCons(block->cdr.p) &&
            isSymbol(block->cdr.p->car.p))
            return block->cdr.p->car.p;
    }
    return LAMBDA;
}

// Private helpers (a `$` in the name, the wrappers of TRACE among them)
// and the thunks of LOAD and the binding forms (a LAMBDA without
// parameters) are no frames of the program's own.
bool shown(const EvalLink* l) {
    if (!isCallLink(l)) return false;
    _cell* name = callName(l);
    if (name == LAMBDA) return l->params > 0;
    return std::strchr(name->car.s, '$') == nullptr;
}

int sourceOf(const _cell* c) {
    if (!isCons(c) || c->extraKind != 0) return 0;
    return c->closureCount >> kLineBits;
}

// The first link from l outwards, before the next shown call, whose form
// was read from a file; null when none is.
const _cell* placeFrom(const EvalLink* l) {
    for (; l && !shown(l); l = l->up)
        if (!isCallLink(l) && sourceOf(l->form)) return l->form;
    return nullptr;
}

struct Frame {
    const EvalLink* call;   // null for frame 0, the failing form
    const EvalLink* form;   // frame 0: the failing form's link
    const EvalLink* inner;  // innermost form link of the body, or null
};

// Calls visit(k, frame) for each frame from the innermost until it
// answers false; answers the number of frames visited.
template <typename Visit>
long eachFrame(const EvalLink* top, Visit visit) {
    long k = 0;
    const EvalLink* l = top;
    const EvalLink* inner = nullptr;
    if (l && !isCallLink(l)) {
        if (!visit(k++, Frame{nullptr, l, l})) return k;
    }
    for (; l; l = l->up) {
        if (!isCallLink(l)) {
            if (!inner) inner = l;
            continue;
        }
        if (!shown(l)) continue;
        if (!visit(k++, Frame{l, nullptr, inner})) return k;
        inner = nullptr;
    }
    return k;
}

// The printed text of an atom, cut after kBriefAtom bytes.
void briefAtom(cfunction* f, FILE* out, _cell* c) {
    char buf[kBriefAtom * 2 + 8];
    std::memset(buf, 0, sizeof buf);
    FILE* m = fmemopen(buf, sizeof buf - 1, "w");
    if (!m) {
        fputs("?", out);
        return;
    }
    setvbuf(m, nullptr, _IONBF, 0);
    f->printSFile(c, m);
    fclose(m);
    size_t n = std::strlen(buf);
    if (n > kBriefAtom) {
        n = kBriefAtom;
        while (n > 0 && ((unsigned char)buf[n] & 0xC0) == 0x80) n--;
        fwrite(buf, 1, n, out);
        fputs("...", out);
    } else {
        fputs(buf, out);
    }
}

void brief(cfunction* f, FILE* out, _cell* c, int depth) {
    if (!isCons(c)) {
        briefAtom(f, out, c);
        return;
    }
    if (depth >= kBriefDepth) {
        fputs("(...)", out);
        return;
    }
    fputc('(', out);
    for (int k = 0;; k++) {
        if (k >= kBriefElements) {
            fputs("...", out);
            break;
        }
        brief(f, out, c->car.p, depth + 1);
        c = c->cdr.p;
        if (!isCons(c)) {
            if (!isNil(c)) {
                fputs(" . ", out);
                briefAtom(f, out, c);
            }
            break;
        }
        fputc(' ', out);
    }
    fputc(')', out);
}

// (NAME value...): the values of the parameters' records, which hold the
// variables in the order the lambda list names them, a supplied-p
// variable after its own. A &REST list is written element by element, a
// &KEY value after its keyword; supplied-p and &AUX variables are left out.
void writeCall(cfunction* f, FILE* out, const EvalLink* l) {
    fputc('(', out);
    briefAtom(f, out, callName(l));
    int written = 0;
    auto value = [&](_cell* v) -> bool {
        if (written++ >= kBriefElements) {
            fputs(" ...", out);
            return false;
        }
        fputc(' ', out);
        if (v) brief(f, out, v, 1);
        return true;
    };
    enum { kRequired, kOptional, kRest, kKey } part = kRequired;
    long i = 0;
    for (_cell* p = l->form->car.p; isCons(p) && i < l->params; p = p->cdr.p) {
        _cell* e = p->car.p;
        if (e == AMPOPTIONAL) { part = kOptional; continue; }
        if (e == AMPREST || e == AMPBODY) { part = kRest; continue; }
        if (e == AMPKEY) { part = kKey; continue; }
        if (e == AMPALLOWOTHERKEYS) continue;
        if (e == AMPAUX) break;
        _cell* v = l->frame[i++].value;
        if (part == kRest) {
            bool going = true;
            for (_cell* r = v; going && r && isCons(r); r = r->cdr.p)
                going = value(r->car.p);
            if (!going) break;
            continue;
        }
        if (part == kKey) {
            // :NAME, or the keyword of a ((keyword var) ...) element.
            _cell* name = isCons(e) ? e->car.p : e;
            if (isCons(name)) {
                if (written < kBriefElements) {
                    fputc(' ', out);
                    briefAtom(f, out, name->car.p);
                }
            } else if (isSymbol(name) && written < kBriefElements) {
                fprintf(out, " :%s", name->car.s);
            }
        }
        if (!value(v)) break;
        // A supplied-p variable takes the next record.
        if (part != kRequired && isCons(e) && isCons(e->cdr.p) &&
            isCons(e->cdr.p->cdr.p))
            i++;
    }
    fputc(')', out);
}

}  // namespace

bool cfunction::SourcePlace(const _cell* c, char* buf, size_t size) {
    int s = sourceOf(c);
    if (s <= 0 || s > sourceCount) return false;
    snprintf(buf, size, "%s:%ld", sourceNames[s],
             (long)(c->closureCount & kMaxLine));
    return true;
}

long cfunction::WriteFrames(FILE* out, EvalLink* top, long first, long n,
                            const char* indent) {
    long written = 0;
    long total = eachFrame(top, [&](long k, const Frame& fr) {
        if (k < first || (n >= 0 && written >= n)) return true;
        fprintf(out, "%s%ld: ", indent, k);
        const _cell* place;
        if (fr.call) {
            writeCall(this, out, fr.call);
            place = placeFrom(fr.call->up);
        } else {
            brief(this, out, fr.form->form, 0);
            place = placeFrom(fr.form);
        }
        char where[512];
        if (place && SourcePlace(place, where, sizeof where))
            fprintf(out, " ; %s", where);
        fputc('\n', out);
        written++;
        return true;
    });
    if (first == 0 && written < total && n >= 0)
        fprintf(out, "%s… ほか %ld 個\n", indent, total - first - written);
    fflush(out);
    return total;
}

bool cfunction::FrameBindings(EvalLink* top, long k, _symval** frame,
                              long* count) {
    bool found = false;
    eachFrame(top, [&](long i, const Frame& fr) {
        if (i < k) return true;
        if (fr.inner) {
            *frame = fr.inner->frame;
            *count = fr.inner->count;
        } else {
            *frame = fr.call->frame;
            *count = fr.call->count;
        }
        found = true;
        return false;
    });
    return found;
}

// ---------------------------------------------------------------------------
// BACKTRACE, FRAME and the debug loop's short commands
// ---------------------------------------------------------------------------

namespace {

// The chain a backtrace reads: the failure of the innermost debug or break
// loop; outside any, the calls around BACKTRACE's own, without it.
EvalLink* chainOf(cfunction* f) {
    if (f->debugTop) return f->debugTop->top;
    EvalLink* l = f->evalTop;
    for (int i = 0; l && i < 4; i++, l = l->up) {
        if (isCallLink(l) && callName(l) == f->getStringCell("BACKTRACE"))
            return l->up ? l->up->up : nullptr;
    }
    return f->evalTop ? f->evalTop->up : nullptr;
}

// A count argument: NIL (default), or an integer not below 0.
bool countArgument(cfunction* f, _cell* args, _symval* frame, long count,
                   long* n, bool* given, _cell** failed) {
    *given = false;
    *failed = nullptr;
    if (!isCons(args)) return true;
    _cell* v = f->evalArg(args->car.p, frame, count);
    if (!v) return false;
    if (isNil(v)) return true;
    if (!isInteger(v) || v->car.i->value < 0) {
        *failed = v;
        return false;
    }
    *n = v->car.i->value;
    *given = true;
    return true;
}

void writeSelected(cfunction* f, DebugLevel* d) {
    f->WriteFrames(stdout, d->top, d->selected, 1, "");
}

}  // namespace

_cell* cfunction::backtrace_lisp(_cell* args, _symval* frame, long count) {
    long n = kShownFrames;
    bool given;
    _cell* bad;
    if (!countArgument(this, args, frame, count, &n, &given, &bad)) {
        if (!bad) return nullptr;
        return Fail("エラー: BACKTRACEの引数は0以上の整数です", frame, count);
    }
    fflush(stdout);
    WriteFrames(messageOut, chainOf(this), 0, n, "");
    return MakeValues(NILCell, NILCell);
}

_cell* cfunction::frame_lisp(_cell* args, _symval* frame, long count) {
    long n = 0;
    bool given;
    _cell* bad;
    if (!countArgument(this, args, frame, count, &n, &given, &bad)) {
        if (!bad) return nullptr;
        return Fail("エラー: FRAMEの引数は0以上の整数です", frame, count);
    }
    if (!debugTop)
        return Fail("エラー: FRAMEはデバッグループの中で使います", frame, count);
    if (given) {
        _symval* f;
        long c;
        if (!FrameBindings(debugTop->top, n, &f, &c))
            return Fail("エラー: その番号のフレームはありません", frame, count);
        debugTop->selected = n;
    }
    writeSelected(this, debugTop);
    return MakeValues(NILCell, NILCell);
}

bool cfunction::DebugCommand(_cell* e) {
    if (!isSymbol(e) || !debugTop) return false;
    const char* name = e->car.s;
    DebugLevel* d = debugTop;
    if (std::strcmp(name, "BT") == 0) {
        WriteFrames(stdout, d->top, 0, kShownFrames, "");
        return true;
    }
    bool up = std::strcmp(name, "UP") == 0;
    if (!up && std::strcmp(name, "DOWN") != 0) return false;
    _symval* f;
    long c;
    if (up ? !FrameBindings(d->top, d->selected + 1, &f, &c)
           : d->selected == 0) {
        puts(up ? "これより外のフレームはありません。"
                : "これより内のフレームはありません。");
        return true;
    }
    d->selected += up ? 1 : -1;
    writeSelected(this, d);
    return true;
}

// ---------------------------------------------------------------------------
// The script report
// ---------------------------------------------------------------------------

void cfunction::NoteFailure() {
    if (!reportFailures || failureNoted || handlerDepth || throwPending ||
        returnFromPending || GoSymbol)
        return;
    failureNoted = true;
    failureReport[0] = 0;
    failurePlace[0] = 0;
    failureForm[0] = 0;
    for (EvalLink* l = evalTop; l; l = l->up) {
        if (!isCallLink(l) && sourceOf(l->form)) {
            if (!SourcePlace(l->form, failurePlace, sizeof failurePlace) ||
                l->form == reportTop)
                break;
            FILE* m = fmemopen(failureForm, sizeof failureForm - 1, "w");
            if (!m) break;
            brief(this, m, l->form, 0);
            long end = ftell(m);
            fclose(m);
            if (end < 0 || end >= (long)sizeof failureForm) end = 0;
            failureForm[end] = 0;
            break;
        }
    }
    // Only a failure inside a function has frames to tell beyond the
    // report's line.
    bool inCall = false;
    for (EvalLink* l = evalTop; l && !inCall; l = l->up) inCall = shown(l);
    if (!inCall) return;
    FILE* m = fmemopen(failureReport, sizeof failureReport - 1, "w");
    if (!m) return;
    WriteFrames(m, evalTop, 0, kReportFrames, "  ");
    long end = ftell(m);
    fclose(m);
    if (end < 0 || end >= (long)sizeof failureReport) end = 0;
    failureReport[end] = 0;
}

// ---------------------------------------------------------------------------
// Source lines
// ---------------------------------------------------------------------------

int cfunction::SourceNumber(const char* name) {
    for (int i = 1; i <= sourceCount; i++)
        if (std::strcmp(sourceNames[i], name) == 0) return i;
    if (sourceCount >= kMaxSources) return 0;
    char* copy = strdup(name);
    if (!copy) return 0;
    sourceNames[++sourceCount] = copy;
    return sourceCount;
}

namespace {

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Walks one element of the text from p beside the cell built from it, and
// tags the conses that start its lists; answers where the element ends.
// The cells are only looked at while they have the shape the text has:
// once they differ, the rest of that list is walked in the text alone.
struct Tagger {
    int source;
    long line;
    const char* at;     // how far the newlines are counted

    void countTo(const char* p) {
        for (; at < p; at++)
            if (*at == '\n') line++;
    }
    const char* skipBlanks(const char* p) {
        while (blank(*p)) p++;
        return p;
    }
    void tag(_cell* c) {
        if (c && isCons(c) && c->extraKind == 0 && c->closureCount == 0 &&
            line <= kMaxLine)
            c->closureCount = (int)((long)source << kLineBits | line);
    }
    // c: the cell built from the element (null: do not look).
    const char* element(const char* p, _cell* c) {
        p = skipBlanks(p);
        countTo(p);
        _cell* head = nullptr;
        int marks = 0;
        if (p[0] == '#' && p[1] == '\'') {
            head = FUNCTION;
            marks = 2;
        } else if (p[0] == '\'') {
            head = QUOTE;
            marks = 1;
        } else if (p[0] == '`') {
            head = BACKQUOTE;
            marks = 1;
        }
        if (head) {
            bool fits = c && isCons(c) && c->car.p == head &&
                        isCons(c->cdr.p);
            if (fits) tag(c);
            return element(p + marks, fits ? c->cdr.p->car.p : nullptr);
        }
        if (p[0] == '#' && p[1] == '(') {
            char* end = ExprEnd(const_cast<char*>(p));
            return end ? end : p + std::strlen(p);
        }
        if (*p != '(') return ExprEnd(const_cast<char*>(p));  // an atom
        if (c && !isCons(c)) c = nullptr;
        tag(c);
        p++;
        for (;;) {
            p = skipBlanks(p);
            if (*p == 0) return p;
            if (*p == ')') return p + 1;
            if (*p == ',') {
                // ", x" and ", @ x": the marks are elements of their own.
                if (c && isCons(c) && c->car.p == COMMA) c = c->cdr.p;
                else c = nullptr;
                p++;
                if (*p == '@') {
                    if (c && isCons(c) && c->car.p == AST) c = c->cdr.p;
                    else c = nullptr;
                    p++;
                }
                continue;
            }
            if (p[0] == '.' && blank(p[1])) {
                p = element(p + 1, c);
                c = nullptr;
                continue;
            }
            _cell* car = c && isCons(c) ? c->car.p : nullptr;
            p = element(p, car);
            if (c) c = isCons(c) ? c->cdr.p : nullptr;
            if (c && !isCons(c) && isNil(c)) c = nullptr;
        }
    }
};

StreamSource* streamSource(FILE* f) {
    for (StreamSource& s : streamSources) {
        if (s.f != f || !s.source) continue;
        struct stat st;
        if (fstat(fileno(f), &st) != 0 || st.st_dev != s.dev ||
            st.st_ino != s.ino)
            return nullptr;
        return &s;
    }
    return nullptr;
}

}  // namespace

void cfunction::TagSourceLines(const char* text, _cell* form, int source,
                               long firstLine) {
    if (source <= 0 || !form) return;
    Tagger t{source, firstLine, text};
    t.element(text, form);
}

void cfunction::NoteStreamSource(FILE* f, const char* path) {
    struct stat st;
    if (fstat(fileno(f), &st) != 0) return;
    StreamSource* s = nullptr;
    for (StreamSource& e : streamSources)
        if (e.f == f) s = &e;
    if (!s) {
        s = &streamSources[nextStreamSource];
        nextStreamSource = (nextStreamSource + 1) % kStreamSources;
    }
    *s = StreamSource{f, st.st_dev, st.st_ino, SourceNumber(path), 0, 1};
}

long cfunction::SourceOffset(FILE* f) { return streamSource(f) ? ftell(f) : -1; }

void cfunction::TagStreamLines(FILE* f, long start, const char* text,
                               _cell* e) {
    StreamSource* s = start >= 0 ? streamSource(f) : nullptr;
    if (!s || !text) return;
    // The lines before start, counted from where the last read left off
    // (the file is read again through its descriptor, which leaves the
    // stream's own position alone).
    if (start < s->offset) {
        s->offset = 0;
        s->line = 1;
    }
    char buf[4096];
    while (s->offset < start) {
        long want = start - s->offset;
        if (want > (long)sizeof buf) want = sizeof buf;
        ssize_t got = pread(fileno(f), buf, (size_t)want, s->offset);
        if (got <= 0) return;
        for (ssize_t i = 0; i < got; i++)
            if (buf[i] == '\n') s->line++;
        s->offset += got;
    }
    TagSourceLines(text, e, s->source, s->line);
}
