/* Fault injection for tests/resources.py, loaded with LD_PRELOAD.
 *
 *   TK_FAIL_WHAT  malloc (malloc, calloc and realloc counted together),
 *                 fopen, getc or fgets
 *   TK_FAIL_AT    N: the N-th call of that family fails, every other call
 *                 goes through
 *   TK_FAIL_LOG   file to which "hit" is appended when the N-th call came,
 *                 so the caller knows when N is past the end of the session
 *
 * A failing allocation answers null with ENOMEM, fopen null with EMFILE,
 * getc EOF and fgets null, as the C library does when the resource is not
 * there. The counts include calls the C library makes on the program's
 * behalf (stdio buffers, for one), which is the point. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t n, size_t size);
extern void* __libc_realloc(void* p, size_t size);

enum { kNone, kMalloc, kFopen, kGetc, kFgets };

static int what = -1;       /* -1 until the environment was read */
static long failAt;
static long calls;

static void setup(void) {
    const char* w;
    const char* n;
    if (what >= 0) return;
    what = kNone;           /* getenv allocates nothing; no recursion */
    w = getenv("TK_FAIL_WHAT");
    n = getenv("TK_FAIL_AT");
    if (w == NULL || n == NULL) return;
    failAt = strtol(n, NULL, 10);
    if (strcmp(w, "malloc") == 0) what = kMalloc;
    else if (strcmp(w, "fopen") == 0) what = kFopen;
    else if (strcmp(w, "getc") == 0) what = kGetc;
    else if (strcmp(w, "fgets") == 0) what = kFgets;
}

/* 1 when this call of family f is the one to fail. */
static int failNow(int f) {
    setup();
    if (what != f) return 0;
    if (++calls != failAt) return 0;
    const char* log = getenv("TK_FAIL_LOG");
    if (log != NULL) {
        int fd = open(log, O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (fd >= 0) {
            ssize_t r = write(fd, "hit\n", 4);
            (void)r;
            close(fd);
        }
    }
    return 1;
}

void* malloc(size_t size) {
    if (failNow(kMalloc)) {
        errno = ENOMEM;
        return NULL;
    }
    return __libc_malloc(size);
}

void* calloc(size_t n, size_t size) {
    if (failNow(kMalloc)) {
        errno = ENOMEM;
        return NULL;
    }
    return __libc_calloc(n, size);
}

void* realloc(void* p, size_t size) {
    if (failNow(kMalloc)) {
        errno = ENOMEM;
        return NULL;
    }
    return __libc_realloc(p, size);
}

typedef FILE* (*FopenFn)(const char*, const char*);
typedef int (*GetcFn)(FILE*);
typedef char* (*FgetsFn)(char*, int, FILE*);

FILE* fopen(const char* path, const char* mode) {
    static FopenFn real;
    if (real == NULL) real = (FopenFn)dlsym(RTLD_NEXT, "fopen");
    if (failNow(kFopen)) {
        errno = EMFILE;
        return NULL;
    }
    return real(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
    static FopenFn real;
    if (real == NULL) real = (FopenFn)dlsym(RTLD_NEXT, "fopen64");
    if (failNow(kFopen)) {
        errno = EMFILE;
        return NULL;
    }
    return real(path, mode);
}

int getc(FILE* f) {
    static GetcFn real;
    if (real == NULL) real = (GetcFn)dlsym(RTLD_NEXT, "getc");
    if (failNow(kGetc)) return EOF;
    return real(f);
}

int fgetc(FILE* f) {
    static GetcFn real;
    if (real == NULL) real = (GetcFn)dlsym(RTLD_NEXT, "fgetc");
    if (failNow(kGetc)) return EOF;
    return real(f);
}

char* fgets(char* s, int n, FILE* f) {
    static FgetsFn real;
    if (real == NULL) real = (FgetsFn)dlsym(RTLD_NEXT, "fgets");
    if (failNow(kFgets)) return NULL;
    return real(s, n, f);
}
