// tamarisk console input: the text buffer of one expression, the console
// as one stream of bytes, the record DRIBBLE keeps of it, and line editing
// on a terminal. Plain functions over process-wide state (there is one
// standard input); the memory layer uses only ConsoleForget and EndDribble,
// when a session starts and ends.
#ifndef TAMARISK_READER_CONSOLE_H
#define TAMARISK_READER_CONSOLE_H

#include <cstddef>
#include <cstdio>

class cmemory;

// The text buffer of one expression: lineCapacity bytes, kLineSize at
// first. GrowLine makes it hold at least `need` bytes, moving it (so no
// pointer into it survives the call); false past kTextCeiling.
extern char* lineStr;
extern size_t lineCapacity;
bool GrowLine(size_t need);

// --- reader/linereader.cpp ---
// The console as one stream of bytes: what a reader took from standard
// input but did not use (the rest of a line after a complete expression)
// is kept and comes first, then standard input. Every console reader goes
// through these, so no byte typed is lost between them.
int ConsoleGetc();  // next byte, or EOF
// After ConsoleGetc answered EOF: true when Ctrl-C interrupted the wait
// rather than standard input ending (the stream's error is cleared).
bool ConsoleInterrupted();
void ConsoleKeep(const char* text, size_t n);  // n bytes back in front
size_t ConsoleKept();                          // bytes kept, not yet read
void ConsoleForget();                          // a new session keeps nothing
// The record DRIBBLE keeps of the console, or null: every byte the console
// takes from standard input is written to it as it is read, the prompt of
// the line editor too; standard output reaches it through the stream
// StartDribble puts in its place.
extern FILE* dribbleFile;
// The record starts (added at the end of the file; one kept already ends
// once the file is open) or ends; false: the file cannot be opened, or no
// record was kept.
bool StartDribble(const char* path);
bool EndDribble();

// --- reader/lineedit.cpp ---
// Line editing, history and completion of names when the console is a
// terminal (libedit, opened at run time); nothing changes on a pipe.
bool LineEditorAvailable();        // the library can be opened
void LineEditorStart(cmemory* m);  // on a terminal only; once
bool LineEditorActive();
void LineEditorPrompt(const char* text);  // shown by the next line read
int LineEditorGetc();                     // next byte, or EOF
void LineEditorForget();                  // drop the rest of the line

#endif  // TAMARISK_READER_CONSOLE_H
