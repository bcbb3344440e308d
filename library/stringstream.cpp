// cfunction layer, library part: string streams, the primitive
// STRING-STREAM$ behind MAKE-STRING-OUTPUT-STREAM, GET-OUTPUT-STREAM-STRING,
// MAKE-STRING-INPUT-STREAM, FRESH-LINE and READ-FROM-STRING (their Lisp
// texts are in library/strings.cpp).
//
// A string stream is an ordinary stream object over an anonymous temporary
// file (tmpfile): it takes one of the file slots, and everything that reads
// or writes a stream (PRINT, PRINC, FORMAT, READ, READ-LINE, READ-CHAR$...)
// works on it unchanged, and CLOSE closes it as any file. An input stream's
// file holds the string's bytes from the start; an output stream's file
// holds what was written since the last GET-OUTPUT-STREAM-STRING, which
// empties it. stringStreams[slot] keeps the opening number of the string
// stream in each slot, so that a file stream is never taken for one
// (opening numbers are never reused within a session).
//
// A string stream that the program dropped without closing it would hold
// its slot for good, and a program that makes one per call would soon find
// no slot left. So when a new string stream finds every slot taken, a
// collection runs and every string stream that no live stream object
// designates any more is closed, as if the program had closed it. File
// streams are never closed behind the program's back.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "eval/cfunction.h"
#include "library/lisptext.h"
#include "toplevel/symbols.h"

namespace {

constexpr const char* kNotStringStream =
    "エラー: 文字列出力ストリームではありません";

}  // namespace

bool cfunction::IsStringStream(_cell* s) {
    if (getStream(s) == nullptr) return false;
    long n = CellToInt(s);
    return stringStreams[n - 1] == s->cdr.c;
}

void cfunction::ReclaimStringStreams() {
    for (int i = 0; i < kFileSlots; ++i)
        if (fileTable[i] == nullptr) return;
    gcSilent();
    bool held[kFileSlots] = {};
    for (long i = 0; i < cellHigh; ++i) {
        _cell* c = cellArea + i;
        if (!InUse(c) || !isStream(c)) continue;
        long n = CellToInt(c);
        if (n >= 1 && n <= kFileSlots && c->cdr.c == fileOpening[n - 1])
            held[n - 1] = true;
    }
    for (int i = 0; i < kFileSlots; ++i) {
        if (held[i] || fileTable[i] == nullptr ||
            stringStreams[i] != fileOpening[i])
            continue;
        std::fclose(fileTable[i]);
        fileTable[i] = nullptr;
    }
}

// (STRING-STREAM$ what [x [start [end]]]); what is a literal integer:
//   0  an input stream over the bytes of string x from start to end (the
//      caller has checked the range);
//   1  a new output stream;
//   2  the string written to output stream x since the last call, which
//      empties it;
//   3  the column output stream x (standard output for T or NIL) writes at
//      next, as far as its buffer tells (see fileColumn);
//   4  the byte position of stream x.
_cell* cfunction::string_stream_lisp(_cell* args, _symval* frame, long count) {
    if (!isCons(args) || !isInteger(args->car.p))
        return Fail(MSG_ARGCOUNT, frame, count);
    long what = CellToInt(args->car.p);
    CellGroup g(this);
    g.push(args);
    _cell* v[3] = {NILCell, NILCell, NILCell};
    int n = 0;
    for (_cell* p = args->cdr.p; isCons(p) && n < 3; p = p->cdr.p) {
        v[n] = evalArg(p->car.p, frame, count);
        if (!v[n]) return nullptr;
        g.push(v[n]);
        n++;
    }
    if (what == 0 || what == 1) {
        // Every cell this call still needs is on the cell stack (g).
        ReclaimStringStreams();
        FILE* f = std::tmpfile();
        if (f == nullptr)
            return Fail("エラー: 文字列ストリームを作れません", frame, count);
        if (what == 0) {
            if (!isString(v[0])) {
                std::fclose(f);
                return Fail("エラー: 文字列ではありません", frame, count);
            }
            long start = isInteger(v[1]) ? CellToInt(v[1]) : 0;
            long end = isInteger(v[2]) ? CellToInt(v[2]) : -1;
            long i = 0;
            for (_cell* p = stringChars(v[0]); isCons(p); p = p->cdr.p, i++) {
                if (end >= 0 && i >= end) break;
                if (i >= start && isMoji(p->car.p))
                    std::putc(mojiByte(p->car.p), f);
            }
            std::rewind(f);
        }
        _cell* s = SetFilePointer(f, what == 1);
        if (isNil(s)) {
            std::fclose(f);
            return Fail("エラー: ファイルの数が多すぎます", frame, count);
        }
        stringStreams[CellToInt(s) - 1] = s->cdr.c;
        return s;
    }
    if (what == 3 && (isNil(v[0]) || v[0] == TCell))
        return IntToCell(fileColumn(stdout));
    FILE* f = getStream(v[0]);
    if (f == nullptr) return Fail("エラー: 無効なストリームです", frame, count);
    if (what == 3) return IntToCell(fileColumn(f));
    if (what == 4) return IntToCell(std::ftell(f));
    if (what != 2 || !IsStringStream(v[0]) || !fileWrites[CellToInt(v[0]) - 1])
        return Fail(kNotStringStream, frame, count);
    std::fflush(f);
    long len = std::ftell(f);
    // A cell a character, and the string's own (v is held by g).
    if (!RoomForResult(len + 3, frame, count)) return nullptr;
    std::rewind(f);
    // Allocation never collects, so the characters need no protection
    // while the list grows.
    ListBuilder chars(this);
    for (long i = 0; i < len; i++) {
        int c = std::getc(f);
        if (c == EOF) break;
        chars.add(getMojiCell((signed char)c, 0));
    }
    _cell* r = MakeMojiretsu(chars.finish(NILCell));
    std::rewind(f);
    if (ftruncate(fileno(f), 0) != 0)
        return Fail("エラー: 文字列ストリームを空にできません", frame, count);
    return r;
}

// The functions over string streams and the output helpers, loaded on
// first use (library/lisptext.h). A stream argument of T or NIL is
// standard output, as for PRINT. WITH-OUTPUT-TO-STRING and
// WITH-INPUT-FROM-STRING keep the stream in a variable of their own, so
// that a body that assigns the user's variable still has its stream
// closed, and close it on every way out (UNWIND-PROTECT): a string stream
// holds one of the file slots while it is open.
const LispText kStringStreamTexts[] = {
    {"STR$SUB", R"lisp((defun str$sub (s start end)
  (if (and (= start 0) (null end))
      (if (stringp s) s (error "エラー: 文字列ではありません--~S" s))
      (prog (r l tl n)
       (if (null (stringp s)) (error "エラー: 文字列ではありません--~S" s))
       (setq r (str$range (str$chars s) start end) l (car r) n (- (car (cdr (cdr r))) start) r (list nil) tl r)
       lab
       (if (<= n 0) (return (coerce (cdr r) 'string)))
       (rplacd tl (list (car l)))
       (setq tl (cdr tl) l (cdr l) n (1- n))
       (go lab)))))lisp"},
    {"WRITE-STRING", R"lisp((defun write-string (s &optional stream &key (start 0) end)
  (princ (str$sub s start end) stream)
  s))lisp"},
    {"WRITE-LINE", R"lisp((defun write-line (s &optional stream &key (start 0) end)
  (princ (str$sub s start end) stream)
  (terpri stream)
  s))lisp"},
    {"WRITE-CHAR", R"lisp((defun write-char (c &optional stream)
  (if (null (characterp c)) (error "エラー: 文字ではありません--~S" c))
  (princ c stream)
  c))lisp"},
    {"FRESH-LINE", R"lisp((defun fresh-line (&optional stream)
  (if (= (string-stream$ 3 stream) 0) nil (progn (terpri stream) t))))lisp"},
    {"PRIN1-TO-STRING", R"lisp((defun prin1-to-string (x) (format nil "~S" x)))lisp"},
    {"PRINC-TO-STRING", R"lisp((defun princ-to-string (x) (format nil "~A" x)))lisp"},
    {"WRITE-TO-STRING", R"lisp((defun write-to-string (x &rest keys)
  (if (and (seq$has-key keys :escape) (null (seq$key keys :escape t)))
      (format nil "~A" x)
      (format nil "~S" x))))lisp"},
    {"MAKE-STRING-OUTPUT-STREAM", R"lisp((defun make-string-output-stream (&key element-type)
  (string-stream$ 1)))lisp"},
    {"GET-OUTPUT-STREAM-STRING", R"lisp((defun get-output-stream-string (s) (string-stream$ 2 s)))lisp"},
    {"STR$INPUT-STREAM", R"lisp((defun str$input-stream (s start end)
  (if (null (stringp s)) (error "エラー: 文字列ではありません--~S" s))
  (let ((r (str$range (str$chars s) start end)))
    (string-stream$ 0 s start (car (cdr (cdr r)))))))lisp"},
    {"MAKE-STRING-INPUT-STREAM", R"lisp((defun make-string-input-stream (s &optional (start 0) end)
  (str$input-stream s start end)))lisp"},
    {"WITH-OUTPUT-TO-STRING", R"lisp((defmacro with-output-to-string (head &rest body)
  (let ((g (gensym)))
    `(let* ((,g (string-stream$ 1)) (,(car head) ,g))
       (unwind-protect (progn ,@body (string-stream$ 2 ,g))
         (close ,g))))))lisp"},
    {"WITH-INPUT-FROM-STRING", R"lisp((defmacro with-input-from-string (head &rest body)
  (let ((g (gensym)) (st (gensym)) (keys (cdr (cdr head))))
    `(let* ((,st ,(seq$key keys :start 0))
            (,g (str$input-stream ,(car (cdr head)) ,st ,(seq$key keys :end nil)))
            (,(car head) ,g))
       (unwind-protect
           (prog1 (progn ,@body)
             ,@(if (seq$has-key keys :index)
                   (list (list 'setf (seq$key keys :index nil) (list '+ st (list 'string-stream$ 4 g))))
                   nil))
         (close ,g))))))lisp"},
    {"READ-FROM-STRING", R"lisp((defun read-from-string (string &optional (eof-error-p t) eof-value &key (start 0) end preserve-whitespace)
  (let ((s (str$input-stream string start end)) (x nil) (pos 0))
    (unwind-protect
        (progn (setq x (read s eof-error-p eof-value))
               (setq pos (+ start (string-stream$ 4 s))))
      (close s))
    (if (and (null preserve-whitespace) (> pos 0) (< pos (if end end (length string)))
             (str$blankp (char string pos)) (null (str$blankp (char string (1- pos)))))
        (setq pos (1+ pos)))
    (values x pos))))lisp"},
    {nullptr, nullptr},
};
