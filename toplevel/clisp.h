// tamarisk top layer: start-up, the built-in names, the prelude and the
// read-eval-print loop. clisp is the type of the one interpreter object.
#ifndef TAMARISK_TOPLEVEL_CLISP_H
#define TAMARISK_TOPLEVEL_CLISP_H

#include "eval/cfunction.h"

class clisp : public cfunction {
public:
    // --- toplevel/keyword.cpp -----------------------------------------------
    void SetKeyword();
    // Script mode on or off: where messages go, and what the prelude sees.
    void SetScriptMode(int on);

    // --- toplevel/repl.cpp --------------------------------------------------
    // Start-up before the prelude: areas, base markers, built-in names.
    // 0: an area could not be had (message out). FreeMemory undoes it.
    int StartUp();
    int ReadEvalLoop();         // 1: the whole prelude evaluated
    void DispMessage();
    void ReadEvalPrintLoop();
    // Start-up, then what the command line asks for; the process status.
    int Run(int argc, char** argv);

    // --- toplevel/options.cpp -----------------------------------------------
    // One -e or -l of the command line, in the order given.
    struct Step {
        char kind;              // 'e' an expression, 'l' a file to load
        const char* text;
    };
    Step* steps;                // stepCount entries, from argv
    int stepCount;
    const char* scriptName;     // FILE ("-": standard input), or null
    char** scriptArgs;          // the arguments after FILE
    int scriptArgCount;
    int quiet;                  // -q: no banner
    int hasArguments;           // the command line was not empty
    // -1: go on and run; otherwise the process status, the answer to --help
    // or --version or a usage error already written.
    int ReadOptions(int argc, char** argv);
    // After start-up: the -e and -l steps, then the program or the console.
    int RunCommandLine();

    // --- toplevel/script.cpp ------------------------------------------------
    // Evaluates every expression of f in script mode: 1 when the end was
    // reached; 0 when one failed (its message and the line naming the file
    // and the expression are on standard error). name is for that line.
    int RunStream(const char* name, FILE* f);
    // RunStream on a file ("-": standard input), as a process status: 0
    // the end was reached, 1 an expression failed, 2 the file cannot be
    // opened (message out).
    int RunFile(const char* name);
    void SetArgs(char** args, int count);    // *ARGS*: a list of strings
};

// The prelude texts, in evaluation order.
extern const char* const ReadEvalData[];
extern const int kPreludeCount;

#endif  // TAMARISK_TOPLEVEL_CLISP_H
