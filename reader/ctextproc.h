// tamarisk text layer: gathering the text of one expression, normalising it
// and rewriting the reader marks into plain list text.
//
// All passes work in place on lineStr, byte by byte; every byte is one
// character. lineStr grows up to kTextCeiling bytes (gather.cpp), and
// no pass reads or writes past the terminating NUL or the buffer's end.
// Strings ("...", a backslash escaping the byte after it) and character
// literals (#\ and one byte) are units that every pass steps over unchanged;
// reader/scan.h describes them, and comments, once for every pass.
#ifndef TAMARISK_READER_CTEXTPROC_H
#define TAMARISK_READER_CTEXTPROC_H

#include "memory/cmemory.h"
#include "reader/console.h"
#include "reader/scan.h"

class ctextproc : public cmemory {
public:
    // --- reader/build.cpp (cell building from text) -------------------------
    [[nodiscard]] _cell* readFromString(char* text);  // null: printed
    char* SkipSpc(char* text);
    int AnaType(char* token);
    long double myatof(char* token);
    _cell* getMojiretsuCell(char* text);
    _cell* get1char(char* p);
    char* getRestchar(char* p);
    _cell* MakeMojiretsu(_cell* chars);  // string cell around a char list

    // --- reader/linereader.cpp ----------------------------------------------
    // The console's next line. At the end of standard input the session
    // ends, unless atEnd is given: then *atEnd is set and NIL answered.
    _cell* ReadLine(bool* atEnd = nullptr);
    _cell* ReadLineStrm(FILE* f);

    // --- reader/read.cpp ----------------------------------------------------
    // Normalises, rewrites and builds the expression of text (in place).
    // 1 built (*out set); -1 the rewriting refused; -2 building failed. The
    // message is out, except when rewriting meets a string that never
    // closes after the first complete expression.
    [[nodiscard]] int ReadText(char* text, _cell** out);
    // Gathers one expression typed at a prompt into lineStr and reads it.
    // 1 built (*out set); 0 it could not be gathered, rewritten or built
    // (message out: the caller opens the debug loop); -3 Ctrl-C dropped
    // what was typed (the caller prompts again); -4 Ctrl-D typed on a
    // terminal in a debug loop (the caller leaves the loop). Any other end
    // of standard input ends the session with status 0.
    [[nodiscard]] int ReadExpression(_cell** out);
    // The one reading of an expression from a file, for READ (and so
    // LOAD) and script mode: gathers the next expression of f into lineStr
    // (GetOneSStream, whose end-of-file rule it keeps) and reads it.
    // wholeOnly is READ's rule: a text whose parentheses do not balance as
    // the console counts them (CheckBrace) is refused unread; script mode
    // reads such a text all the same, so that the builder tells what is
    // wrong with it. *gathered, when asked for, is the text as gathered:
    // once read, a copy kept until the next call (lineStr is rewritten in
    // place), null when there was no memory for it; lineStr otherwise.
    // Answers a FileRead.
    [[nodiscard]] int ReadFileExpression(FILE* f, bool wholeOnly, _cell** out,
                                         const char** gathered);

    // --- reader/gather.cpp --------------------------------------------------
    int GetOneS(int echoKept);  // 1 gathered; 0 failed (message out); -1 EOF
                                // -3 interrupted by Ctrl-C, text dropped
    // 1 gathered (at the end of the file: any text not all blank), 0 failed
    // (message out), 2 the file held nothing more but blanks and comments.
    int GetOneSStream(FILE* f);
    int CheckBrace(char* text);   // 1 complete, 0 incomplete, -1 extra ')'
    int CheckBrace2(char* text);  // the same, for text from a file
    int CrTabOnly(char* text);
    // Newlines that GetOneSStream took from countedStream (the newline
    // that ends a comment included): script mode numbers the lines of its
    // program with them.
    FILE* countedStream = nullptr;
    long countedLines = 0;
    int AllBlank(char* text);
    void SkipTerm(char* text);

    // --- reader/rewrite.cpp -------------------------------------------------
    // Each returns 1 when the whole text was rewritten, 0 on failure.
    int MakeFunctionText(char* text, int bound);
    int MakeQuoteText(char* text, int bound);
    int MakeBackQuoteText(char* text, int bound);
    int MakeCommaText(char* text, int bound);
    int MakeAstText(char* text, int bound);
    char* taiou(char* p);
    void slide(char* p, int n);
    // The five rewritings in their fixed order; 0 at the first failure.
    int RewriteAll(char* text);

    // --- printer/format.cpp -------------------------------------------------
    // buf must hold kFloatTextSize bytes.
    void myftoa(char* buf, long double v);
};

constexpr int kFloatTextSize = 64;

// What ReadFileExpression did.
enum FileRead {
    kFileFailed = 0,      // gathering failed (message out)
    kFileRead = 1,        // read (*out set)
    kFileEnded = 2,       // nothing more but blanks and comments
    kFileUnbalanced = 3,  // refused by wholeOnly (no message)
    kFileUnread = 4       // gathered, but not read (as ReadText fails)
};

#endif  // TAMARISK_READER_CTEXTPROC_H
