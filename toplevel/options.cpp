// clisp layer, top-level part: the command line. Options come first, in the
// usual GNU shape; the first other argument names the program to run, and
// every argument after it belongs to the program.
#include <cstdlib>
#include <cstring>

#include "toplevel/clisp.h"

namespace {

const char kVersion[] = "tamariskVelmora for Linux version2.21";

const char kUsage[] =
    "使い方: tamarisk [オプション]... [ファイル [引数]...]\n"
    "Usage: tamarisk [OPTION]... [FILE [ARG]...]\n";

const char kHelp[] =
    "使い方: tamarisk [オプション]... [ファイル [引数]...]\n"
    "ファイルを与えると、その中の式を順に評価して終了します(スクリプトモード)。\n"
    "バナー、プロンプト、評価結果の表示はありません。エラーが起きると、\n"
    "メッセージと止まった場所を標準エラー出力に書き、状態1で終了します。\n"
    "ファイルが - なら標準入力からプログラムを読みます。ファイルの後の引数は\n"
    "文字列のリストとして *ARGS* に入ります。最初の行が #! で始まっていれば\n"
    "読み飛ばします。ファイルがなければ対話コンソールを開きます。\n"
    "\n"
    "  -e, --eval 式         式を評価します。何度でも指定できます。式が表示\n"
    "                        するもののほかは何も表示しません。\n"
    "  -l, --load ファイル   ファイルを読み込んでからコンソールを開きます。\n"
    "  -q, --quiet           バナーを表示せずにコンソールを開きます。\n"
    "      --heap 大きさ     使ってよいメモリの上限です(例: 2G、512M、64K)。\n"
    "                        環境変数 TAMARISK_HEAP でも与えられます。既定は\n"
    "                        x86-64 では物理メモリの半分、i386 では約2GBです。\n"
    "  -h, --help            この説明を表示して終了します。\n"
    "      --version         版を表示して終了します。\n"
    "      --                オプションの終わりです。\n"
    "\n"
    "終了状態: 0 正常終了(ファイルの終わり、BYE、QUIT、EXIT)、1 エラー、\n"
    "または領域を使い切ったとき、2 コマンド行の誤りか開けないファイル。\n"
    "\n"
    "Usage: tamarisk [OPTION]... [FILE [ARG]...]\n"
    "With a FILE, evaluate its expressions in order and exit (script mode):\n"
    "no banner, no prompts, no echoed values. An error writes its message and\n"
    "where it stopped to standard error and exits with status 1. FILE - reads\n"
    "the program from standard input. The arguments after FILE are in *ARGS*,\n"
    "a list of strings. A first line starting with #! is skipped. Without a\n"
    "FILE, open the interactive console.\n"
    "\n"
    "  -e, --eval EXPR       evaluate EXPR; may be given several times. Prints\n"
    "                        nothing but what the expression prints.\n"
    "  -l, --load FILE       load FILE, then open the console.\n"
    "  -q, --quiet           open the console without the banner.\n"
    "      --heap SIZE       the most memory the session may use (e.g. 2G,\n"
    "                        512M, 64K); also the environment variable\n"
    "                        TAMARISK_HEAP. Default: half the physical memory\n"
    "                        on x86-64, about 2 GB on i386.\n"
    "  -h, --help            show this help and exit.\n"
    "      --version         show the version and exit.\n"
    "      --                end of the options.\n"
    "\n"
    "Exit status: 0 normal end (end of the file, BYE, QUIT, EXIT); 1 an error,\n"
    "or a storage area used up; 2 a wrong command line or a file that cannot\n"
    "be opened.\n";

int usageError(const char* what, const char* arg) {
    fflush(stdout);
    fprintf(stderr, "tamarisk: %s: %s\n", what, arg);
    fputs(kUsage, stderr);
    return 2;
}

// The value of an option that takes one: "-eEXPR", "--eval=EXPR", or the
// next argument. Null when there is none.
const char* optionValue(const char* arg, const char* shortName,
                        const char* longName, int argc, char** argv, int* i) {
    size_t s = std::strlen(shortName), l = std::strlen(longName);
    if (std::strcmp(arg, shortName) == 0 || std::strcmp(arg, longName) == 0)
        return *i + 1 < argc ? argv[++*i] : nullptr;
    if (std::strncmp(arg, longName, l) == 0 && arg[l] == '=') return arg + l + 1;
    if (std::strncmp(arg, shortName, s) == 0 && arg[1] != '-') return arg + s;
    return nullptr;
}

bool takesValue(const char* arg, const char* shortName, const char* longName) {
    size_t l = std::strlen(longName);
    return std::strncmp(arg, shortName, 2) == 0 ||
           std::strcmp(arg, longName) == 0 ||
           (std::strncmp(arg, longName, l) == 0 && arg[l] == '=');
}

}  // namespace

int clisp::ReadOptions(int argc, char** argv) {
    steps = (Step*)std::calloc((size_t)argc + 1, sizeof(Step));
    stepCount = 0;
    scriptName = nullptr;
    scriptArgs = nullptr;
    scriptArgCount = 0;
    quiet = 0;
    hasArguments = argc > 1;
    if (!steps) return 1;
    heapLimit = 0;
    if (const char* env = std::getenv("TAMARISK_HEAP")) {
        heapLimit = ParseSize(env);
        if (heapLimit < 0) return usageError("TAMARISK_HEAP の大きさが違います", env);
    }
    int i = 1;
    for (; i < argc; i++) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) {
            i++;
            break;
        }
        if (arg[0] != '-' || arg[1] == 0) break;   // FILE, or "-"
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(arg, "--version") == 0) {
            puts(kVersion);
            puts(LineEditorAvailable() ? "行編集: libedit / line editing: libedit"
                                       : "行編集: なし (libedit.so.2 が見つかりません) / "
                                         "line editing: none (libedit.so.2 not found)");
            return 0;
        }
        if (std::strcmp(arg, "-q") == 0 || std::strcmp(arg, "--quiet") == 0) {
            quiet = 1;
            continue;
        }
        if (std::strcmp(arg, "--heap") == 0 ||
            std::strncmp(arg, "--heap=", 7) == 0) {
            const char* value = arg[6] == '=' ? arg + 7
                                : i + 1 < argc ? argv[++i]
                                               : nullptr;
            if (!value) return usageError("引数が足りません", arg);
            heapLimit = ParseSize(value);
            if (heapLimit < 0) return usageError("大きさが違います", value);
            continue;
        }
        char kind = 0;
        if (takesValue(arg, "-e", "--eval")) kind = 'e';
        if (takesValue(arg, "-l", "--load")) kind = 'l';
        if (!kind) return usageError("知らないオプションです", arg);
        const char* value =
            kind == 'e' ? optionValue(arg, "-e", "--eval", argc, argv, &i)
                        : optionValue(arg, "-l", "--load", argc, argv, &i);
        if (!value) return usageError("引数が足りません", arg);
        steps[stepCount].kind = kind;
        steps[stepCount].text = value;
        stepCount++;
    }
    if (i < argc) {
        scriptName = argv[i];
        scriptArgs = argv + i + 1;
        scriptArgCount = argc - i - 1;
    }
    return -1;
}

int clisp::RunCommandLine() {
    if (!hasArguments) {
        DispMessage();
        LineEditorStart(this);
        ReadEvalPrintLoop();
        return 0;
    }
    SetArgs(scriptArgs, scriptArgCount);
    bool loaded = false;
    SetScriptMode(1);
    for (int k = 0; k < stepCount; k++) {
        int status;
        if (steps[k].kind == 'l') {
            status = RunFile(steps[k].text);
            loaded = true;
        } else {
            // The text is read as a file of its own, so that it may hold
            // several expressions and comments.
            if (!steps[k].text[0]) continue;
            FILE* f = fmemopen((void*)steps[k].text,
                               std::strlen(steps[k].text), "r");
            if (!f) return 1;
            status = RunStream("-e", f) ? 0 : 1;
            std::fclose(f);
        }
        // A file of -l that fails has had its report; without a program
        // to run, the console the user asked for still opens, with what
        // the file defined before it stopped.
        if (status != 0 && !(steps[k].kind == 'l' && !scriptName))
            return status;
    }
    if (scriptName) return RunFile(scriptName);
    // -e alone is a program of its own; -l, -q or nothing else leads to
    // the console.
    if (stepCount > 0 && !loaded && !quiet) return 0;
    SetScriptMode(0);
    if (!quiet) DispMessage();
    LineEditorStart(this);
    ReadEvalPrintLoop();
    return 0;
}
