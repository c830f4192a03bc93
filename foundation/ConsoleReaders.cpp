// The six console readers and the console state they share with the macro dialog.
#include "foundation/ConsoleReaders.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"

FILE* in = stdin;
FILE* out = stdout;
FILE* outm = nullptr;
unsigned char createMacro = 0;
unsigned char runMacro = 0;

void InitConsoleStreams() {
    in = stdin;
    out = stdout;
    outm = nullptr;
    createMacro = 0;
    runMacro = 0;
}

FILE* DirectIn() {
    if (runMacro) return stdin;
    return in != nullptr ? in : stdin;
}

namespace {

FILE* In() { return in != nullptr ? in : stdin; }
FILE* Out() { return out != nullptr ? out : stdout; }

// The echo stream, or null when answers are not echoed now.
FILE* Echo() {
    if (createMacro != 1 && runMacro != 1) return nullptr;
    return outm;
}

void Bell() {
    fputc(7, stdout);
    fflush(stdout);
}

void RefuseOutside(double v, double lo, double hi) {
    Bell();
    fprintf(stderr, "\nIncorrect input = %g. Reenter.\n", v);
    fprintf(stderr, "Accepted input: %g to %g\n", lo, hi);
}

// True when v truncated toward zero lies in lo .. hi (v finite).
bool TruncFits(double v, double lo, double hi) {
    if (!std::isfinite(v)) return false;
    double t = std::trunc(v);
    return t >= lo && t <= hi;
}

// The kind of value that an echo format takes.
enum class EchoKind { Int, Long, LongLong, UInt, ULong, ULongLong, Float, Double, LongDouble, None };

EchoKind EchoKindOf(const char* fmt) {
    const char* p = fmt;
    for (;;) {
        while (*p != '\0' && *p != '%') p++;
        if (*p == '\0') return EchoKind::None;
        if (p[1] == '%') { p += 2; continue; }
        break;
    }
    p++;
    while (*p != '\0' && strchr("-+ #0", *p) != nullptr) p++;
    while (isdigit(static_cast<unsigned char>(*p))) p++;
    if (*p == '.') {
        p++;
        while (isdigit(static_cast<unsigned char>(*p))) p++;
    }
    std::string len;
    while (*p == 'h' || *p == 'l' || *p == 'L') len += *p++;
    switch (*p) {
        case 'd':
        case 'i':
            return len == "l" ? EchoKind::Long : len == "ll" ? EchoKind::LongLong : EchoKind::Int;
        case 'u':
            return len == "l" ? EchoKind::ULong : len == "ll" ? EchoKind::ULongLong : EchoKind::UInt;
        case 'f':
        case 'F':
            // "%f" echoes the value rounded to single precision, "%lf" the double itself.
            return len == "L" ? EchoKind::LongDouble : len == "l" ? EchoKind::Double : EchoKind::Float;
        case 'g':
        case 'G':
        case 'e':
        case 'E':
        case 'a':
        case 'A':
            return len == "L" ? EchoKind::LongDouble : EchoKind::Double;
        default:
            return EchoKind::None;
    }
}

// The range that an integer echo format can hold (false for the floating formats).
bool IntegerRange(EchoKind k, double* lo, double* hi) {
    switch (k) {
        case EchoKind::Int: *lo = INT_MIN; *hi = INT_MAX; return true;
        case EchoKind::Long: *lo = static_cast<double>(LONG_MIN); *hi = static_cast<double>(LONG_MAX); return true;
        case EchoKind::LongLong: *lo = static_cast<double>(LLONG_MIN); *hi = static_cast<double>(LLONG_MAX); return true;
        case EchoKind::UInt: *lo = 0; *hi = UINT_MAX; return true;
        case EchoKind::ULong: *lo = 0; *hi = static_cast<double>(ULONG_MAX); return true;
        case EchoKind::ULongLong: *lo = 0; *hi = static_cast<double>(ULLONG_MAX); return true;
        default: return false;
    }
}

// True when trunc(v) converts to the integer kind without overflow. The upper limits of the
// 64-bit kinds are not exact doubles (they round up to 2^63 and 2^64), hence the strict test.
bool FitsKind(EchoKind k, double v) {
    double lo, hi;
    if (!IntegerRange(k, &lo, &hi)) return true;
    if (!std::isfinite(v)) return false;
    double t = std::trunc(v);
    if (k == EchoKind::Long || k == EchoKind::LongLong || k == EchoKind::ULong || k == EchoKind::ULongLong)
        return t >= lo && t < hi;
    return t >= lo && t <= hi;
}

void EchoNumber(FILE* e, const char* fmt, double v) {
    switch (EchoKindOf(fmt)) {
        case EchoKind::Int: fprintf(e, fmt, static_cast<int>(v)); break;
        case EchoKind::Long: fprintf(e, fmt, static_cast<long>(v)); break;
        case EchoKind::LongLong: fprintf(e, fmt, static_cast<long long>(v)); break;
        case EchoKind::UInt: fprintf(e, fmt, static_cast<unsigned int>(v)); break;
        case EchoKind::ULong: fprintf(e, fmt, static_cast<unsigned long>(v)); break;
        case EchoKind::ULongLong: fprintf(e, fmt, static_cast<unsigned long long>(v)); break;
        case EchoKind::Float: fprintf(e, fmt, static_cast<double>(static_cast<float>(v))); break;
        case EchoKind::Double: fprintf(e, fmt, v); break;
        case EchoKind::LongDouble: fprintf(e, fmt, static_cast<long double>(v)); break;
        case EchoKind::None: fprintf(e, "%g\n", v); break;
    }
}

double ReadNumberImpl(const char* fmt, const char* accept, bool hasRange, double lo, double hi) {
    EchoKind kind = EchoKindOf(fmt != nullptr ? fmt : "%g\n");
    double v;
    for (;;) {
        v = hasRange ? ScanNumber(In(), "input", accept, lo, hi)
                     : ScanNumber(In(), "input", accept, kSkipNonFinite, kPromptAnswers);
        if (FitsKind(kind, v)) break;
        // An integer answer that its type cannot hold (or no finite number: 1e999).
        double ilo = 0.0, ihi = 0.0;
        IntegerRange(kind, &ilo, &ihi);
        RefuseOutside(v, ilo, ihi);
    }
    if (FILE* e = Echo()) EchoNumber(e, fmt != nullptr ? fmt : "%g\n", v);
    return v;
}

// One int answer: refused and asked again while it is not a number an int can hold.
int ReadIntAnswer(FILE* f, const char* fileName, const char* accept) {
    for (;;) {
        double v = ScanNumber(f, fileName, accept, kSkipNonFinite, kPromptAnswers);
        if (TruncFits(v, INT_MIN, INT_MAX)) return static_cast<int>(v);
        RefuseOutside(v, INT_MIN, INT_MAX);
    }
}

// The file-or-keyboard question of ReadLongInput, always on standard input.
char FileOrKeyboard() {
    fprintf(Out(), "Read input from file (f) or from the keyboard (k)? f/k ");
    fflush(Out());
    char c = ScanChar(stdin, "f k", "keyboard");
    printf("\n");
    return c;
}

bool Confirmed() {
    printf("Are these correct? y/n ");
    fflush(stdout);
    return ScanChar(stdin, "y n", "input") == 'y';
}

}  // namespace

char ReadCharIn(const char* accept) {
    char c = ScanChar(In(), accept, "input");
    if (FILE* e = Echo()) fprintf(e, "%c\n", c);
    return c;
}

double ReadNumberIn(const char* fmt, const char* accept) { return ReadNumberImpl(fmt, accept, false, 0.0, 0.0); }

double ReadNumberIn(const char* fmt, const char* accept, double lo, double hi) {
    return ReadNumberImpl(fmt, accept, true, lo, hi);
}

char* ReadStringIn(const char* fmt, char* dst, int dstSize) {
    if (fmt == nullptr) fmt = "%s\n";
    std::string token(fmt);
    size_t cut = token.find_first_of(" \n");
    if (cut != std::string::npos) token.resize(cut);
    // A word conversion is read with the buffer's bound (a longer word is cut), whatever
    // width the format gives; any other conversion is read as it stands.
    size_t pct = token.find('%');
    size_t conv = pct == std::string::npos ? std::string::npos : token.find_first_not_of("0123456789", pct + 1);
    if (conv != std::string::npos && token[conv] == 's') {
        int size = dstSize;
        if (conv > pct + 1) {
            int w = atoi(token.substr(pct + 1, conv - pct - 1).c_str());
            if (w + 1 < size) size = w + 1;
        }
        freadckString(In(), dst, size, "input");
    } else {
        freadck(In(), token.c_str(), dst, "input");
    }
    if (FILE* e = Echo()) fprintf(e, fmt, dst);
    return dst;
}

char* ReadLineIn(char* dst, int max) {
    freadlineck(In(), max, dst, "input");
    if (FILE* e = Echo()) fprintf(e, "%s\n", dst);
    return dst;
}

int ReadLongInput(int n, int len, char** labels, const char* what) {
    for (;;) {
        char answer = runMacro ? 'k' : FileOrKeyboard();
        if (answer == 'f') {
            printf("Enter name of file containing the labels: ");
            fflush(stdout);
            char name[42];
            if (ScanString(stdin, 41, name, nullptr, 0, "keyboard") == nullptr) continue;
            FILE* lf = fopenck(name, nullptr, "r");
            if (lf == nullptr) {
                fprintf(Out(), "\n");
                continue;
            }
            // A file with fewer words leaves the remaining labels empty; the user sees them.
            int i = 0;
            for (; i < n; i++)
                if (ScanString(lf, len, labels[i], nullptr, 0, name) == nullptr) break;
            for (; i < n; i++) labels[i][0] = '\0';
            fclose(lf);
            fprintf(Out(), "%s:\t", what);
            for (int j = 0; j < n; j++) fprintf(Out(), "%s\t", labels[j]);
            fprintf(Out(), "\n");
        } else {
            fprintf(Out(), "Enter %s:\t", what);
            bool ended = false;
            for (int i = 0; i < n && !ended; i++)
                ended = ScanString(In(), len, labels[i], nullptr, 0, "input") == nullptr;
            if (ended) {
                fprintf(Out(), "\n");
                if (runMacro) RaiseError(TNX_END_OF_FILE);   // a replay cannot ask again
                continue;
            }
        }
        if (!runMacro && !Confirmed()) continue;
        break;
    }
    if (FILE* e = Echo()) {
        for (int i = 0; i < n; i++) fprintf(e, "%s\t", labels[i]);
        fprintf(e, "\n");
    }
    return 1;
}

int ReadLongInput(int n, int* values, const char* what, const char* accept) {
    for (;;) {
        char answer = runMacro ? 'k' : FileOrKeyboard();
        if (answer == 'f') {
            printf("Enter name of file containing %s: ", what);
            fflush(stdout);
            char name[42];
            if (ScanString(stdin, 41, name, nullptr, 0, "keyboard") == nullptr) continue;
            FILE* vf = fopenck(name, nullptr, "r");
            if (vf == nullptr) {
                fprintf(Out(), "\n");
                continue;
            }
            bool stopped = false;
            try {
                for (int i = 0; i < n && !stopped; i++) {
                    double v = ScanNumber(vf, name, accept, kReadNonFinite);
                    if (!TruncFits(v, INT_MIN, INT_MAX)) {
                        // Not a value an int can hold ("nan" and "inf" included): unreadable,
                        // as at the end of the file.
                        fprintf(stderr, "\nfile %s ", name);
                        Bell();
                        RaiseError(TNX_END_OF_FILE);
                    }
                    int iv = static_cast<int>(v);
                    if (iv == -1) stopped = true;
                    else values[i] = iv;
                }
            } catch (...) {
                fclose(vf);
                throw;
            }
            fclose(vf);
            fprintf(Out(), "%s:\t", what);
            for (int j = 0; j < n; j++) fprintf(Out(), "%d\t", values[j]);
            fprintf(Out(), "\n");
            if (stopped) {
                fprintf(Out(), "\n");
                continue;
            }
        } else {
            fprintf(Out(), "Enter %s: \t", what);
            bool stopped = false;
            for (int i = 0; i < n && !stopped; i++) {
                int iv = ReadIntAnswer(In(), "keyboard", accept);
                if (iv == -1) stopped = true;
                else values[i] = iv;
            }
            if (stopped) {
                fprintf(Out(), "\n");
                continue;
            }
        }
        if (!runMacro && !Confirmed()) continue;
        break;
    }
    if (FILE* e = Echo()) {
        for (int i = 0; i < n; i++) fprintf(e, "%d\t", values[i]);
        fprintf(e, "\n");
    }
    return 1;
}
