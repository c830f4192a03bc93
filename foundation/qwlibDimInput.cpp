// Checked file opening and reading: fields, lines, filtered characters, numbers and words.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"

namespace {

const int kPathMax = 111;   // characters of dir + name that fopenck accepts

void Bell() {
    fputc(7, stdout);
    fflush(stdout);
}

const char* NameOf(const char* fileName) { return fileName != nullptr ? fileName : ""; }

// The end of input (or an unreadable item) where one is required: message, bell, code 2.
[[noreturn]] void EndOfInput(const char* fileName, bool bell) {
    fprintf(stderr, "\nfile %s ", NameOf(fileName));
    if (bell) Bell();
    RaiseError(TNX_END_OF_FILE);
}

const int kOutOfRange = -2;   // ReadOneItem: an integer too large for its type, a number too long

// A control byte that no reader takes for a blank or a line end (NUL above all). Stored in a
// label or name it would cut it short, or leave it empty so that the files written from it no
// longer read back; the word readers (isspace blanks) and the field readers (TAB, LF, CR and
// space) refuse it.
bool StrayControl(int c, bool isspaceBlanks) {
    if (c == 127) return true;
    if (c < 0 || c >= 32) return false;
    if (isspaceBlanks) return !isspace(c);
    return c != '\t' && c != '\n' && c != '\r';
}

// The one conversion of a scanf format, taken apart: views into the format, so that taking it
// apart for each item of a large file costs no allocation.
struct Conversion {
    bool found = false;
    bool suppressed = false;
    int width = 0;              // 0: none
    std::string_view length;    // "", "h", "hh", "l", "ll", "j", "z", "t", "L"
    char conv = 0;
    std::string_view prefix;    // text before the '%'
    const char* rest = "";      // text after the conversion
};

Conversion ParseFormat(const char* fmt) {
    Conversion c;
    const char* p = fmt;
    while (*p != '\0') {
        if (p[0] == '%' && p[1] == '%') { p += 2; continue; }
        if (p[0] == '%') break;
        p++;
    }
    if (*p != '%') return c;
    c.prefix = std::string_view(fmt, static_cast<size_t>(p - fmt));
    p++;
    if (*p == '*') { c.suppressed = true; p++; }
    while (isdigit(static_cast<unsigned char>(*p))) {
        if (c.width < 100000) c.width = c.width * 10 + (*p - '0');
        p++;
    }
    const char* length = p;
    while (*p == 'h' || *p == 'l' || *p == 'j' || *p == 'z' || *p == 't' || *p == 'L') p++;
    c.length = std::string_view(length, static_cast<size_t>(p - length));
    if (*p == '\0') return c;
    c.conv = *p++;
    c.rest = p;
    c.found = true;
    return c;
}

bool AllSpace(std::string_view s) {
    for (char ch : s)
        if (!isspace(static_cast<unsigned char>(ch))) return false;
    return true;
}

// Stores v into dst as the integer type of the conversion; false when it does not fit.
bool StoreInteger(const Conversion& c, bool negative, unsigned long long magnitude, bool overflow, void* dst) {
    if (overflow) return false;
    if (c.conv == 'u') {
        if (negative && magnitude != 0) return false;
        unsigned long long limit = c.length == "hh" ? UCHAR_MAX
                                 : c.length == "h"  ? USHRT_MAX
                                 : c.length == ""   ? UINT_MAX
                                 : c.length == "l"  ? ULONG_MAX
                                 : c.length == "z"  ? SIZE_MAX
                                                    : ULLONG_MAX;
        if (magnitude > limit) return false;
        if (c.length == "hh") *static_cast<unsigned char*>(dst) = static_cast<unsigned char>(magnitude);
        else if (c.length == "h") *static_cast<unsigned short*>(dst) = static_cast<unsigned short>(magnitude);
        else if (c.length == "") *static_cast<unsigned int*>(dst) = static_cast<unsigned int>(magnitude);
        else if (c.length == "l") *static_cast<unsigned long*>(dst) = static_cast<unsigned long>(magnitude);
        else if (c.length == "z") *static_cast<size_t*>(dst) = static_cast<size_t>(magnitude);
        else *static_cast<unsigned long long*>(dst) = magnitude;
        return true;
    }
    long long maxv = c.length == "hh" ? SCHAR_MAX
                   : c.length == "h"  ? SHRT_MAX
                   : c.length == ""   ? INT_MAX
                   : c.length == "l"  ? LONG_MAX
                                      : LLONG_MAX;
    // The most negative value has a magnitude one above the largest positive one.
    unsigned long long limit = static_cast<unsigned long long>(maxv) + (negative ? 1u : 0u);
    if (magnitude > limit) return false;
    long long v = negative ? (magnitude == limit ? -maxv - 1 : -static_cast<long long>(magnitude))
                           : static_cast<long long>(magnitude);
    if (c.length == "hh") *static_cast<signed char*>(dst) = static_cast<signed char>(v);
    else if (c.length == "h") *static_cast<short*>(dst) = static_cast<short>(v);
    else if (c.length == "") *static_cast<int*>(dst) = static_cast<int>(v);
    else if (c.length == "l") *static_cast<long*>(dst) = static_cast<long>(v);
    else *static_cast<long long*>(dst) = v;
    return true;
}

// The stream held by the calling thread while one number is read, so that each character is
// taken without locking the stream again (a large data file holds millions of them).
class StreamHeld {
public:
    explicit StreamHeld(FILE* f) : f_(f) { flockfile(f_); }
    ~StreamHeld() { funlockfile(f_); }
    StreamHeld(const StreamHeld&) = delete;
    StreamHeld& operator=(const StreamHeld&) = delete;

private:
    FILE* f_;
};

// One character of a stream that the caller holds (StreamHeld).
int Take(FILE* f) { return getc_unlocked(f); }

// Blanks before an item are passed over, as scanf passes them over. Returns the first other
// character, taken from the stream, or EOF.
int SkipBlanks(FILE* f) {
    int ch = Take(f);
    while (ch != EOF && isspace(ch)) ch = Take(f);
    return ch;
}

// What the format asks after its conversion: blanks (passed over) or literal text and
// suppressed items (read by the C library, whose result changes nothing).
void FormatRest(FILE* f, const Conversion& c) {
    if (AllSpace(c.rest)) {
        if (c.rest[0] != '\0') {
            int w = SkipBlanks(f);
            if (w != EOF) ungetc(w, f);
        }
        return;
    }
    std::string tail = std::string(c.rest) + "%n";
    int consumed = 0;
    int r = fscanf(f, tail.c_str(), &consumed);
    (void)r;
}

// A decimal integer of at most `limit` characters, sign included. A sign that no digit follows
// goes back to the stream with the character after it: a failed read consumes nothing.
int ReadInteger(FILE* f, const Conversion& c, void* dst) {
    StreamHeld held(f);
    int limit = c.width > 0 ? c.width : INT_MAX;
    int ch = SkipBlanks(f);
    if (ch == EOF) return EOF;
    int used = 0;
    bool negative = false;
    int sign = EOF;
    if (ch == '+' || ch == '-') {
        negative = ch == '-';
        sign = ch;
        used++;
        ch = used < limit ? Take(f) : EOF;
    }
    if (ch == EOF || !isdigit(ch)) {
        if (ch != EOF) ungetc(ch, f);
        if (sign != EOF) ungetc(sign, f);
        return 0;
    }
    unsigned long long magnitude = 0;
    bool overflow = false;
    while (ch != EOF && isdigit(ch) && used < limit) {
        unsigned d = static_cast<unsigned>(ch - '0');
        if (magnitude > (ULLONG_MAX - d) / 10) overflow = true;
        else magnitude = magnitude * 10 + d;
        used++;
        ch = used < limit ? Take(f) : EOF;
    }
    if (ch != EOF && used < limit) ungetc(ch, f);
    if (!StoreInteger(c, negative, magnitude, overflow, dst)) return kOutOfRange;
    FormatRest(f, c);
    return 1;
}

// The characters of one floating item, taken one by one from the stream, at most `width` when
// the format gives one. The first kCapacity are kept: the longest number and the three characters
// a scanner may read past it ("e+" and the one after). Of a longer number, which is read to its
// end so that what follows it stays in the stream, only the last kLast are kept as well, those
// that go back to the stream after it.
struct FloatText {
    FloatText(FILE* stream, int width) : f(stream), limit(width > 0 ? width : LLONG_MAX) {}
    // The next character (kept), or EOF at the end of input or of the field.
    int Next() {
        if (n >= limit) return EOF;
        int ch = Take(f);
        if (ch != EOF) Keep(ch);
        return ch;
    }
    void Keep(int ch) {
        if (n < kCapacity) read[n] = static_cast<char>(ch);
        last[n % kLast] = static_cast<char>(ch);
        n++;
    }
    // Returns the characters [from, to) to the stream, the last first, so that the next read meets
    // them in their order. They lie among the first kCapacity or the last kLast characters.
    void PutBack(long long from, long long to) const {
        for (long long k = to - 1; k >= from; k--)
            ungetc(static_cast<unsigned char>(k < kCapacity ? read[k] : last[k % kLast]), f);
    }
    static constexpr int kCapacity = kLongestNumber + 3;
    static constexpr int kLast = 4;
    FILE* f;
    long long limit;
    long long n = 0;
    char read[kCapacity + 1];   // and the terminator of the text handed to the conversion
    char last[kLast];
};

// A word that the C library reads as a number that is not finite ("nan", "inf", "infinity", in
// any case), whose first letter `ch` is the last character of `t`, after at most a sign. Each
// word is followed on its own, so that letters of different words never make one ("inn" is none).
// Returns the characters of the longest word spelt whole (sign included), 0 when the letters
// spell none; "infinix" gives "inf".
long long NonFiniteWord(FloatText& t, int ch) {
    static const char* const kWords[] = {"nan", "inf", "infinity"};
    bool alive[] = {true, true, true};   // every letter so far is that word's
    const long long first = t.n - 1;
    long long taken = 0;
    for (int k = 0; ch != EOF; k++) {
        bool any = false;
        for (int w = 0; w < 3; w++) {
            alive[w] = alive[w] && kWords[w][k] != '\0' && tolower(ch) == kWords[w][k];
            if (!alive[w]) continue;
            any = true;
            if (kWords[w][k + 1] == '\0') taken = first + k + 1;
        }
        if (!any) break;
        ch = t.Next();
    }
    return taken;
}

// The first characters of a number too long to read, which a prompt's refusal shows.
struct LongNumber {
    static constexpr int kShown = 20;
    char start[kShown + 1] = "";
};

// Stores into dst the value that `convert` (strtod, strtof or strtold) gives for text, only when
// it takes the whole text: a text it does not convert gives 0, which must not pass for a value.
template <class T, class Convert>
bool StoreWhole(const char* text, void* dst, Convert convert) {
    char* end = nullptr;
    const T v = convert(text, &end);
    if (end == text || *end != '\0') return false;
    *static_cast<T*>(dst) = v;
    return true;
}

// The text converted by the C library's strto* function of the destination's type, as the C
// library's scanf converts it.
bool StoreFloat(const Conversion& c, const char* text, void* dst) {
    if (c.length == "l") return StoreWhole<double>(text, dst, [](const char* s, char** e) { return strtod(s, e); });
    if (c.length == "L")
        return StoreWhole<long double>(text, dst, [](const char* s, char** e) { return strtold(s, e); });
    return StoreWhole<float>(text, dst, [](const char* s, char** e) { return strtof(s, e); });
}

// A floating item: an optional sign, digits with at most one decimal point (one digit at least),
// and an exponent only when a digit follows its sign; with `words`, a word NonFiniteWord takes.
// The stream keeps every character the number does not take: a failed read consumes nothing but
// the blanks before it. A number longer than kLongestNumber characters is read to its end and
// refused (kOutOfRange), its first characters in tooLong when given.
int ReadFloat(FILE* f, const Conversion& c, void* dst, bool words, LongNumber* tooLong) {
    StreamHeld held(f);
    int ch = SkipBlanks(f);
    if (ch == EOF) return EOF;
    FloatText t(f, c.width);
    t.Keep(ch);   // the first character, a field holds at least one
    if (ch == '+' || ch == '-') ch = t.Next();
    int digits = 0;
    while (isdigit(ch)) digits++, ch = t.Next();
    if (ch == '.') {
        ch = t.Next();
        while (isdigit(ch)) digits++, ch = t.Next();
    }
    // The characters of the number: all those read but the last, which ends it.
    long long taken = digits > 0 ? t.n - (ch != EOF ? 1 : 0) : 0;
    if (digits > 0 && (ch == 'e' || ch == 'E')) {
        ch = t.Next();
        if (ch == '+' || ch == '-') ch = t.Next();
        if (isdigit(ch)) {
            while (isdigit(ch)) ch = t.Next();
            taken = t.n - (ch != EOF ? 1 : 0);
        }
    } else if (digits == 0 && words && isalpha(ch) && t.n <= 2 && (t.n == 1 || t.read[0] != '.')) {
        taken = NonFiniteWord(t, ch);   // a letter first, or after a sign
    }
    t.PutBack(taken, t.n);
    if (taken > kLongestNumber) {
        if (tooLong != nullptr) {
            memcpy(tooLong->start, t.read, LongNumber::kShown);
            tooLong->start[LongNumber::kShown] = '\0';
        }
        return kOutOfRange;
    }
    if (taken == 0) return 0;
    t.read[taken] = '\0';
    // The scanner hands the conversion only numbers; should it take less than the whole text,
    // nothing was read.
    if (!StoreFloat(c, t.read, dst)) {
        t.PutBack(0, taken);
        return 0;
    }
    FormatRest(f, c);
    return 1;
}

bool IsFloatConversion(const Conversion& c) {
    return c.conv == 'f' || c.conv == 'F' || c.conv == 'e' || c.conv == 'E' || c.conv == 'g' || c.conv == 'G';
}

// One item of fmt into dst: 1 converted, 0 nothing convertible at the stream's position,
// EOF at the end of input, kOutOfRange for an integer that its type cannot hold or a number
// too long to read (its first characters in tooLong when given). Decimal integers and floating
// values are read here, so that a too-large integer is refused instead of overflowing and so
// that a read that fails leaves the stream where it was; `words` lets a floating item be a word
// that spells a value that is not finite. Everything else goes to fscanf.
int ReadOneItem(FILE* f, const char* fmt, void* dst, bool words, LongNumber* tooLong = nullptr) {
    Conversion c = ParseFormat(fmt);
    const bool plain = c.found && !c.suppressed && AllSpace(c.prefix);
    if (plain && (c.conv == 'd' || c.conv == 'u') &&
        (c.length == "" || c.length == "h" || c.length == "hh" || c.length == "l" || c.length == "ll" ||
         c.length == "j" || c.length == "z"))
        return ReadInteger(f, c, dst);
    if (plain && IsFloatConversion(c) && (c.length == "" || c.length == "l" || c.length == "L"))
        return ReadFloat(f, c, dst, words, tooLong);
    int r = fscanf(f, fmt, dst);
    if (r == EOF) return EOF;
    if (c.found && c.suppressed) return 1;
    return r >= 1 ? 1 : 0;
}

int LowerOf(int c) { return tolower(c); }

// The open flags of an fopen mode, without O_TRUNC (the caller empties a file once it is known to
// be regular); -1 for a mode fopen would refuse.
int OpenFlags(const char* mode, bool* emptied) {
    int flags = 0;
    switch (mode != nullptr ? mode[0] : '\0') {
        case 'r': break;
        case 'w': flags = O_CREAT; *emptied = true; break;
        case 'a': flags = O_CREAT | O_APPEND; break;
        default: return -1;
    }
    if (std::strchr(mode + 1, '+') != nullptr) return flags | O_RDWR;
    return flags | (mode[0] == 'r' ? O_RDONLY : O_WRONLY);
}

}  // namespace

const char* OpenFailureText(int reason) {
    return reason == kNotRegularFile ? "not a regular file" : strerror(reason);
}

FILE* OpenRegular(const char* path, const char* mode, int* reason) {
    bool emptied = false;
    const int flags = OpenFlags(mode, &emptied);
    int why = EINVAL, fd = -1;
    // Without blocking: a named pipe that no other process holds open would otherwise hold the
    // open until one does.
    if (flags >= 0) fd = open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        // ENXIO: a pipe or socket with no reader, opened for writing, or a device with no device.
        if (flags >= 0) why = errno == ENXIO ? kNotRegularFile : errno;
    } else {
        struct stat st;
        int status = 0;
        why = 0;
        if (fstat(fd, &st) != 0)
            why = errno;
        else if (!S_ISREG(st.st_mode))
            why = S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile;
        else if ((status = fcntl(fd, F_GETFL)) < 0 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0)
            why = errno;
        else if (emptied && ftruncate(fd, 0) != 0)
            why = errno;
        // As fopen places a stream that only appends: at the end, where ftell then finds it.
        else if (mode[0] == 'a' && (flags & O_RDWR) == 0 && lseek(fd, 0, SEEK_END) < 0)
            why = errno;
        FILE* f = why == 0 ? fdopen(fd, mode) : nullptr;
        if (f != nullptr) return f;
        if (why == 0) why = errno;
        close(fd);
    }
    *reason = why;
    if (why > 0) errno = why;
    return nullptr;
}

void ReportCantOpen(const char* path, int reason) {
    fprintf(stderr, "\ncan't open %s: %s \n", path, OpenFailureText(reason));
    Bell();
}

FILE* fopenck(const char* name, const char* dir, const char* mode) {
    std::string path = dir != nullptr ? dir : "";
    path += name != nullptr ? name : "";
    FILE* f = nullptr;
    // A path longer than the program's path buffer is refused rather than cut, so that no
    // other file than the one named is opened.
    int reason = ENAMETOOLONG;
    if (path.size() <= static_cast<size_t>(kPathMax)) f = OpenRegular(path.c_str(), mode, &reason);
    // A stream that memory refuses is the program's out-of-memory error, not a file that cannot
    // be opened.
    if (f == nullptr && reason == ENOMEM) RaiseError(TNX_OUT_OF_MEMORY);
    if (f == nullptr) ReportCantOpen(path.c_str(), reason);
    return f;
}

void freadck(FILE* f, const char* fmt, void* dst, const char* fileName) {
    if (ReadOneItem(f, fmt, dst, true) != 1) EndOfInput(fileName, true);
}

void freadckString(FILE* f, char* dst, int size, const char* fileName) {
    int ch = fgetc(f);
    while (ch != EOF && isspace(ch)) ch = fgetc(f);
    if (ch == EOF) EndOfInput(fileName, true);
    int n = 0;
    while (ch != EOF && !isspace(ch)) {
        if (StrayControl(ch, true)) EndOfInput(fileName, true);
        if (n < size - 1) dst[n++] = static_cast<char>(ch);
        ch = fgetc(f);
    }
    if (ch != EOF) ungetc(ch, f);
    if (size > 0) dst[n] = '\0';
}

namespace {

// What follows a number must be a blank, a line end or the end of the file.
void EndOfNumber(FILE* f, const char* fileName) {
    int c = fgetc(f);
    if (c == EOF) return;
    ungetc(c, f);
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f') EndOfInput(fileName, true);
}

}  // namespace

int ReadIntStrict(FILE* f, const char* fileName) {
    int v = 0;
    freadck(f, "%d", &v, fileName);
    EndOfNumber(f, fileName);
    return v;
}

float ReadFloatStrict(FILE* f, const char* fileName) {
    float v = 0.0f;
    freadck(f, "%f", &v, fileName);
    EndOfNumber(f, fileName);
    return v;
}

double ReadDoubleStrict(FILE* f, const char* fileName) {
    double v = 0.0;
    freadck(f, "%lf", &v, fileName);
    EndOfNumber(f, fileName);
    return v;
}

void EnsureInFile(FILE* f, long long items, const char* fileName) {
    long here = ftell(f);
    if (here < 0 || fseek(f, 0, SEEK_END) != 0) return;
    long end = ftell(f);
    fseek(f, here, SEEK_SET);
    if (end >= here && items > static_cast<long long>(end - here)) EndOfInput(fileName, true);
}

namespace {

// freadck1's reading. A number too long to read ends the reading (code 2); with tooLong (the
// answers to a prompt) it is returned as kOutOfRange, read to its end, its first characters kept.
int ReadSkipping(FILE* f, const char* fmt, void* dst, const char* fileName, NonFiniteWords words,
                 LongNumber* tooLong) {
    for (;;) {
        int r = ReadOneItem(f, fmt, dst, words == kReadNonFinite, tooLong);
        if (r == 1) return 1;
        if (r == kOutOfRange && tooLong != nullptr) return kOutOfRange;
        if (r == kOutOfRange) EndOfInput(fileName, true);
        if (r == 0 && fgetc(f) != EOF) continue;
        fprintf(stderr, "\nEnd of file %s\n", NameOf(fileName));
        Bell();
        return 0;
    }
}

}  // namespace

int freadck1(FILE* f, const char* fmt, void* dst, const char* fileName, NonFiniteWords words) {
    return ReadSkipping(f, fmt, dst, fileName, words, nullptr);
}

namespace {

// Skips TAB, LF, CR and spaces, then stores at most `max` characters of one item up to a
// character that ends it (consumed, not stored). End of input before the item raises code 2;
// after some characters it ends the item. Returns the last character read.
template <class Ends>
int ReadItem(FILE* f, int max, char* buf, const char* fileName, Ends ends, bool tabAsSpace) {
    int c = fgetc(f);
    while (c == '\t' || c == '\n' || c == '\r' || c == ' ') c = fgetc(f);
    if (c == EOF) EndOfInput(fileName, true);
    ungetc(c, f);
    int n = 0;
    while (n < max) {
        c = fgetc(f);
        if (c == EOF || ends(c)) break;
        if (StrayControl(c, false)) EndOfInput(fileName, true);
        buf[n++] = (tabAsSpace && c == '\t') ? ' ' : static_cast<char>(c);
    }
    buf[n] = '\0';
    return c;
}

}  // namespace

int freadlineck(FILE* f, int max, char* buf, const char* fileName, bool crEnds) {
    auto ends = [crEnds](int c) { return c == '\t' || c == '\n' || (crEnds && c == '\r'); };
    return ReadItem(f, max, buf, fileName, ends, false);
}

int freadlineck(FILE* f, int max, char* buf, const char* fileName) {
    return freadlineck(f, max, buf, fileName, true);
}

void freadlineckTEMP(FILE* f, int max, char* buf, const char* fileName) {
    ReadItem(f, max, buf, fileName, [](int c) { return c == '\n' || c == '\r'; }, true);
}

char ScanChar(FILE* f, const char* accept, const char* fileName) {
    bool anyChar = accept == nullptr || accept[0] == '\0';
    for (;;) {
        int c = fgetc(f);
        if (c == EOF) EndOfInput(fileName, false);
        int lc = LowerOf(c);
        if (anyChar) {
            if (c != '\t' && c != '\n' && c != ' ') return static_cast<char>(lc);
            continue;
        }
        if (c != ' ')
            for (const char* a = accept; *a != '\0'; a++)
                if (LowerOf(static_cast<unsigned char>(*a)) == lc) return static_cast<char>(lc);
        if (c == ' ' || c < 32 || c == 127) continue;
        Bell();
        fprintf(stderr, "\nIncorrect input = %c. Reenter.\n", lc);
        fprintf(stderr, "Accepted input: %s\n", accept);
    }
}

int ScanCharDef(const char* accept) {
    fflush(stdout);
    int c = fgetc(stdin);
    if (c == EOF) EndOfInput("keyboard", false);
    if (c >= 32 && c != 127) {
        ungetc(c, stdin);
        return static_cast<unsigned char>(ScanChar(stdin, accept, "keyboard"));
    }
    int def = -1;
    if (accept != nullptr)
        for (const char* a = accept; *a != '\0'; a++)
            if (*a != ' ') def = static_cast<unsigned char>(*a);
    if (def == -1) return -1;
    printf("\b%c\n", def);
    return def;
}

namespace {

// A number too long to read, typed at a prompt: refused as a value out of range is, with its
// first characters and what the prompt accepts (a prompt that takes any number: the longest).
void RefuseLongAnswer(const LongNumber& number, const char* accept, bool hasRange, double lo, double hi) {
    Bell();
    fprintf(stderr, "\nIncorrect input = %s.... Reenter.\n", number.start);
    const bool list = accept != nullptr && accept[0] != '\0' && accept[0] != '-';
    const bool range = accept != nullptr && accept[0] == '-' && hasRange;
    if (list) fprintf(stderr, "Accepted input: %s\n", accept);
    else if (range) fprintf(stderr, "Accepted input: %g to %g\n", lo, hi);
    else fprintf(stderr, "Accepted input: a number of at most %d characters\n", kLongestNumber);
}

double ScanNumberImpl(FILE* f, const char* fileName, const char* accept, bool hasRange, double lo, double hi,
                      NonFiniteWords words, NumberSource source) {
    for (;;) {
        double v = 0.0;
        LongNumber tooLong;
        const int r = ReadSkipping(f, "%lf", &v, fileName, words, source == kPromptAnswers ? &tooLong : nullptr);
        if (r == kOutOfRange) {
            RefuseLongAnswer(tooLong, accept, hasRange, lo, hi);
            continue;
        }
        if (r != 1) RaiseError(TNX_END_OF_FILE);
        if (accept == nullptr || accept[0] == '\0') return v;
        if (accept[0] == '-') {
            if (!hasRange) return v;   // a range needs its bounds; without them any number
            if (lo <= v && v <= hi) return v;
            Bell();
            fprintf(stderr, "\nIncorrect input = %g. Reenter.\n", v);
            fprintf(stderr, "Accepted input: %g to %g\n", lo, hi);
            continue;
        }
        const char* p = accept;
        for (;;) {
            char* end = nullptr;
            double item = strtod(p, &end);
            if (end == p) break;   // end of the list, or text that is no number
            if (item == v) return v;
            p = end;
        }
        Bell();
        fprintf(stderr, "\nIncorrect input = %g. Reenter.\n", v);
        fprintf(stderr, "Accepted input: %s\n", accept);
    }
}

// True when the word equals one of the "/"-separated entries of accept.
bool WordAccepted(const char* word, const char* accept, int caseSensitive) {
    size_t wlen = strlen(word);
    const char* p = accept;
    for (;;) {
        const char* e = strchr(p, '/');
        size_t len = e != nullptr ? static_cast<size_t>(e - p) : strlen(p);
        if (len == wlen) {
            bool same = true;
            for (size_t i = 0; i < len && same; i++) {
                unsigned char a = static_cast<unsigned char>(word[i]), b = static_cast<unsigned char>(p[i]);
                same = caseSensitive ? a == b : toupper(a) == toupper(b);
            }
            if (same) return true;
        }
        if (e == nullptr) return false;
        p = e + 1;
    }
}

}  // namespace

double ScanNumber(FILE* f, const char* fileName, const char* accept, NonFiniteWords words, NumberSource source) {
    return ScanNumberImpl(f, fileName, accept, false, 0.0, 0.0, words, source);
}

double ScanNumber(FILE* f, const char* fileName, const char* accept, double lo, double hi) {
    return ScanNumberImpl(f, fileName, accept, true, lo, hi, kSkipNonFinite, kPromptAnswers);
}

char* ScanString(FILE* f, int len, char* dst, const char* accept, int caseSensitive, const char* fileName) {
    // One word of at most 255 characters (the rest of a longer one stays for the next read).
    char word[256];
    int ch = fgetc(f);
    while (ch != EOF && isspace(ch)) ch = fgetc(f);
    if (ch == EOF) {
        fprintf(stderr, "\nEnd of file %s\n", NameOf(fileName));
        Bell();
        return nullptr;
    }
    int n = 0;
    while (ch != EOF && !isspace(ch) && n < 255) {
        if (StrayControl(ch, true)) EndOfInput(fileName, true);
        word[n++] = static_cast<char>(ch);
        ch = fgetc(f);
    }
    if (ch != EOF) ungetc(ch, f);
    word[n] = '\0';
    if (len < 0) len = 0;
    strncpy(dst, word, static_cast<size_t>(len));
    dst[len] = '\0';
    trimString(dst);
    if (accept == nullptr || accept[0] == '\0') return dst;
    if (WordAccepted(dst, accept, caseSensitive)) return dst;
    Bell();
    fprintf(stderr, "\nIncorrect input = %s. Reenter.\n", word);
    fprintf(stderr, "Accepted input: %s\n", accept);
    dst[0] = '\0';
    return nullptr;
}

void trimString(char* s) {
    if (s == nullptr) return;
    char* w = s;
    for (char* r = s; *r != '\0'; r++) {
        if (*r == ' ' && (r[1] == ' ' || r[1] == '\0')) continue;
        *w++ = *r;
    }
    *w = '\0';
}

void StrToUpper(char* s) {
    if (s == nullptr) return;
    for (; *s != '\0'; s++) *s = static_cast<char>(toupper(static_cast<unsigned char>(*s)));
}

int StrCmp(const char* a, const char* b) {
    std::string ua = a != nullptr ? a : "";
    std::string ub = b != nullptr ? b : "";
    StrToUpper(&ua[0]);
    StrToUpper(&ub[0]);
    return strcmp(ua.c_str(), ub.c_str());
}

char* IntToAlpha(int n, char* code) {
    static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    // Two base-62 digits cover 0 .. 3843; other values are held to that range.
    if (n < 0) n = 0;
    if (n > 62 * 62 - 1) n = 62 * 62 - 1;
    code[0] = kDigits[n / 62];
    code[1] = kDigits[n % 62];
    return code;
}

size_t MemoryCheck() { return static_cast<size_t>(256) * 1024 * 1024; }
