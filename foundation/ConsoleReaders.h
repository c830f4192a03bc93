// Console readers: every answer typed into a menu or dialog is read from `in` through the
// checked readers, filtered by an accept list or range, and echoed as one line to `outm`
// while a macro is recorded (createMacro) or replayed (runMacro).
#ifndef TNX_CONSOLEREADERS_H
#define TNX_CONSOLEREADERS_H

#include <cstddef>
#include <cstdio>

extern FILE* in;                    // answers (standard input, or the macro file)
extern FILE* out;                   // prompts (standard output, or the replay report)
extern FILE* outm;                  // echo of accepted answers (macro file or report)
extern unsigned char createMacro;   // 1 while a macro is recorded
extern unsigned char runMacro;      // 1 while a macro is replayed

// in = stdin, out = stdout, outm = null, both macro flags 0. (The streams already hold
// stdin and stdout before main; the readers take a null in/out as stdin/stdout.)
void InitConsoleStreams();

// Where the dialogs read the answers that they do not echo ("direct" answers): `in`, except
// while a macro is replayed, when they come from standard input (the macro does not hold them,
// so reading them from it would hand the following recorded answers to the wrong questions).
FILE* DirectIn();

// A letter from accept ("N O S A X"), lower case; echo "%c\n".
char ReadCharIn(const char* accept);
// A number: accept null (any), a list ("1 2 3 4"), or "-" with the bounds lo .. hi.
// fmt is the echo format ("%d\n", "%u\n", "%g\n", "%lf\n", "%-3d"); with an integer
// format the answer must also fit that integer type (otherwise it is refused and asked
// again). Returns the value as typed; callers truncate it themselves.
double ReadNumberIn(const char* fmt, const char* accept);
double ReadNumberIn(const char* fmt, const char* accept, double lo, double hi);
// One word (the first token of fmt, normally "%s") into dst, which has room for dstSize
// bytes (a longer word is cut); echo fmt with dst.
char* ReadStringIn(const char* fmt, char* dst, int dstSize);
template <size_t N> inline char* ReadStringIn(const char* fmt, char (&dst)[N]) {
    return ReadStringIn(fmt, dst, static_cast<int>(N));
}
// One field of at most max characters (dst: max + 1 bytes); echo "%s\n".
char* ReadLineIn(char* dst, int max);
// n labels (each room len + 1), from a file or from `in`; returns 1.
int ReadLongInput(int n, int len, char** labels, const char* what);
// n integers, from a file or from `in`; accept null or a list; returns 1.
int ReadLongInput(int n, int* values, const char* what, const char* accept);

#endif
