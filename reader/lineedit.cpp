// cmemory layer, reader part: line editing for the console on a terminal.
//
// The editor is libedit (BSD-licensed), opened at run time with dlopen
// only when standard input and output are a terminal that is not dumb: a
// session on a pipe or a file never loads it, reads its input byte for
// byte as before, and starts as fast as ever. Without the library (the
// i386 build on a machine with only the 64-bit one, say) the console reads
// as on a pipe; --version tells which.
//
// The editor hands over a whole line; its bytes and a newline are served
// one at a time to ConsoleGetc, so the gatherers see what a terminal
// without an editor would have given them. The prompt printed before a
// read is handed to the editor instead of being written, so that it can
// redraw the line.
#include <dlfcn.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "memory/cmemory.h"
#include "reader/console.h"

namespace {

// The part of libedit's readline interface the console uses.
using CompletionGenerator = char* (*)(const char*, int);
struct Editor {
    char* (*readline)(const char*);
    int (*add_history)(const char*);
    int (*read_history)(const char*);
    int (*write_history)(const char*);
    int (*getcFunction)(FILE*);
    CompletionGenerator* completionEntry;  // rl_completion_entry_function
    const char** wordBreaks;               // rl_basic_word_break_characters
    int (**getcHook)(FILE*);               // rl_getc_function
};

Editor editor;
bool active = false;
cmemory* session = nullptr;
// Plain buffers: the program does not load the C++ runtime library.
char historyPath[4096];
char prompt[256];
size_t promptLength = 0;
char* line = nullptr;  // the line being served, from the editor
size_t lineAt = 0;
bool lineDone = true;  // its newline has been served too

// Ctrl-C sets interruptRequested and, with no SA_RESTART, ends a blocking
// read with EINTR: the editor then sees the end of input, and the console
// finds the flag (ConsoleInterrupted).
int readByte() {
    unsigned char c;
    for (;;) {
        ssize_t n = read(0, &c, 1);
        if (n == 1) return c;
        if (n < 0 && errno == EINTR && !interruptRequested) continue;
        return EOF;
    }
}

// The editor takes what its input function answers as one character (a
// wide character), so a UTF-8 sequence is decoded here; a byte that does
// not begin a well-formed sequence goes as it is.
int readCharacter(FILE*) {
    int c = readByte();
    if (c == EOF || c < 0xc0 || c > 0xf4) return c;
    int more = c >= 0xf0 ? 3 : c >= 0xe0 ? 2 : 1;
    int code = c & (0x3f >> more);
    for (int i = 0; i < more; i++) {
        int next = readByte();
        if (next == EOF) return EOF;
        if ((next & 0xc0) != 0x80) return next;  // malformed: resync
        code = (code << 6) | (next & 0x3f);
    }
    return code;
}

// Completion: the interned names that begin with the text typed, in the
// case it was typed in (names are read upper-cased).
long completionAt = 0;
char* completeName(const char* text, int state) {
    if (state == 0) completionAt = 0;
    size_t n = std::strlen(text);
    bool lower = false;
    for (size_t i = 0; i < n; i++)
        if (std::islower((unsigned char)text[i])) lower = true;
    long count = session->symbolTableEnd - session->symbolTable;
    while (completionAt < count) {
        _cell* sym = session->symbolTable[completionAt++];
        const char* name = sym->car.s;
        if (!name || std::strlen(name) < n) continue;
        bool match = true;
        for (size_t i = 0; i < n && match; i++)
            match =
                std::toupper((unsigned char)text[i]) == (unsigned char)name[i];
        if (!match || (n == 0 && name[0] == 0)) continue;
        char* out = static_cast<char*>(std::malloc(std::strlen(name) + 1));
        if (!out) return nullptr;
        for (size_t i = 0; name[i]; i++)
            out[i] =
                lower ? (char)std::tolower((unsigned char)name[i]) : name[i];
        out[std::strlen(name)] = 0;
        return out;
    }
    return nullptr;
}

bool wantEditor() {
    if (!isatty(0) || !isatty(1)) return false;
    const char* term = std::getenv("TERM");
    if (!term || !*term || std::strcmp(term, "dumb") == 0) return false;
    if (std::getenv("INSIDE_EMACS")) return false;
    const char* off = std::getenv("TAMARISK_NO_EDITOR");
    return !(off && *off);
}

template <typename T>
bool symbol(void* lib, const char* name, T* out) {
    *out = reinterpret_cast<T>(dlsym(lib, name));
    return *out != nullptr;
}

}  // namespace

bool LineEditorAvailable() {
    void* lib = dlopen("libedit.so.2", RTLD_LAZY | RTLD_LOCAL);
    if (!lib) return false;
    dlclose(lib);
    return true;
}

void LineEditorStart(cmemory* m) {
    if (active || !wantEditor()) return;
    void* lib = dlopen("libedit.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return;
    Editor e{};
    if (!symbol(lib, "readline", &e.readline) ||
        !symbol(lib, "add_history", &e.add_history) ||
        !symbol(lib, "read_history", &e.read_history) ||
        !symbol(lib, "write_history", &e.write_history) ||
        !symbol(lib, "rl_completion_entry_function", &e.completionEntry) ||
        !symbol(lib, "rl_basic_word_break_characters", &e.wordBreaks) ||
        !symbol(lib, "rl_getc_function", &e.getcHook)) {
        dlclose(lib);
        return;
    }
    // Wide characters are shown and edited by the terminal's encoding.
    std::setlocale(LC_CTYPE, "");
    editor = e;
    session = m;
    *editor.completionEntry = completeName;
    *editor.wordBreaks = " \t\n\"'`(),;";
    *editor.getcHook = readCharacter;
    const char* path = std::getenv("TAMARISK_HISTORY");
    const char* home = std::getenv("HOME");
    int n = 0;
    if (path && *path)
        n = std::snprintf(historyPath, sizeof historyPath, "%s", path);
    else if (home && *home)
        n = std::snprintf(historyPath, sizeof historyPath,
                          "%s/.tamarisk_history", home);
    if (n <= 0 || n >= (int)sizeof historyPath) historyPath[0] = 0;
    if (historyPath[0]) editor.read_history(historyPath);
    active = true;
}

bool LineEditorActive() { return active; }

// A prompt longer than the buffer (a debug loop hundreds of levels deep)
// is shown cut: the editor needs only to know where the line starts.
void LineEditorPrompt(const char* text) {
    if (dribbleFile) std::fputs(text, dribbleFile);
    size_t n = std::strlen(text);
    if (promptLength + n >= sizeof prompt) n = sizeof prompt - 1 - promptLength;
    std::memcpy(prompt + promptLength, text, n);
    promptLength += n;
    prompt[promptLength] = 0;
}

// The next byte of the console through the editor; EOF at the end of
// input (Ctrl-D on an empty line) or when Ctrl-C ended the wait.
int LineEditorGetc() {
    if (!lineDone) {
        if (line[lineAt]) return (unsigned char)line[lineAt++];
        lineDone = true;
        std::free(line);
        line = nullptr;
        return '\n';
    }
    std::fflush(stdout);
    char* got = editor.readline(prompt);
    prompt[promptLength = 0] = 0;
    if (!got) return EOF;
    bool blank = true;
    for (const char* p = got; *p; p++)
        if (!std::isspace((unsigned char)*p)) blank = false;
    if (!blank) {
        editor.add_history(got);
        if (historyPath[0]) editor.write_history(historyPath);
    }
    line = got;
    lineAt = 0;
    lineDone = false;
    return LineEditorGetc();
}

// Drops what is left of the line being served (Ctrl-C dropped the input).
void LineEditorForget() {
    if (!lineDone) std::free(line);
    line = nullptr;
    lineDone = true;
    prompt[promptLength = 0] = 0;
}
