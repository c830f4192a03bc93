// Arrays, checked input and numeric utilities.
//
// Array model: a matrix is a table of row pointers, each row its own zero-filled block; a
// 3-D array is a table of matrices, and so on. Every block, pointer tables included, is
// zero-filled when handed out, and a count of 0 gives a valid empty block (never null).
// The caller releases with the routine of the same rank, passing the same leading sizes.
// A negative count or a failed allocation raises error code 1 (out of memory).
//
// Checked input: the readers turn the end of input into error code 2 (see each routine).
// No reader ever closes a stream: the routine that opened a file closes it, also when an
// error travels through it; standard input is never closed.
#ifndef TNX_QWLIBDIM_H
#define TNX_QWLIBDIM_H

#include <cstddef>
#include <cstdio>

// ---------------------------------------------------------------- allocation

void* dim1D(size_t elsize, int n);
void* dim1D_Clear(int n, size_t elsize);
void** dim2D(size_t elsize, int rows, int cols);
void*** dim3D(size_t elsize, int d1, int d2, int d3);
void**** dim4D(size_t elsize, int d1, int d2, int d3, int d4);
void***** dim5D(size_t elsize, int d1, int d2, int d3, int d4, int d5);
// Triangular matrix: row i holds i + 1 elements.
void** dim2DT(size_t elsize, int n);
// d1 triangular matrices of order n.
void*** dim3DT(size_t elsize, int d1, int n);

// General N-dimensional form: ndims sizes in all, firstSize then ndims - 1 further int sizes.
// ndims above 20 prints a message and ends the program with status 0; ndims below 2 gives
// one block of firstSize elements. The tree is the one dim2D .. dim5D build.
void* dim(int ndims, size_t elsize, int firstSize, ...);
// Triangular N-dimensional form (ndims 2 .. 20, otherwise a message and exit status 0):
// ndims - 1 sizes in all, firstSize then ndims - 2 further int sizes; the last size is the
// order of the triangular matrices at the bottom (dimT(2, es, n) == dim2DT(es, n),
// dimT(3, es, d1, n) == dim3DT(es, d1, n)).
void* dimT(int ndims, size_t elsize, int firstSize, ...);
// Recursive workers of dim and dimT: n is the first size, sizes[] the remaining ones.
void* dim_(int ndims, size_t elsize, int n, int* sizes);
void* dimT_(int ndims, size_t elsize, int n, int* sizes);

char* dim1Dchar(int n);
char** dim2Dchar(int rows, int cols);
char*** dim3Dchar(int d1, int d2, int d3);
short* dim1Dshort(int n);
short** dim2Dshort(int rows, int cols);
short*** dim3Dshort(int d1, int d2, int d3);
int* dim1Dint(int n);
int** dim2Dint(int rows, int cols);
int*** dim3Dint(int d1, int d2, int d3);
long* dim1Dlong(int n);
long** dim2Dlong(int rows, int cols);
long*** dim3Dlong(int d1, int d2, int d3);
long**** dim4Dlong(int d1, int d2, int d3, int d4);
float* dim1Dfloat(int n);
float** dim2Dfloat(int rows, int cols);
float*** dim3Dfloat(int d1, int d2, int d3);
float**** dim4Dfloat(int d1, int d2, int d3, int d4);
double* dim1Double(int n);
double** dim2Double(int rows, int cols);
double*** dim3Double(int d1, int d2, int d3);
double**** dim4Double(int d1, int d2, int d3, int d4);

// Raises code 1 when a table of `rows` rows of `cols` elements of `elsize` bytes needs more
// memory than the machine has (each row its own block behind its pointer slot). Readers call it
// with the sizes a file announces before they allocate.
void EnsureAllocatable(long long rows, long long cols, size_t elsize);

// Pointer arrays: slots that each hold one pointer, zero-filled (null).
void** dim1Dptr(int n);
void*** dim2Dptr(int d1, int d2);
void**** dim3Dptr(int d1, int d2, int d3);

// Release. A null table with a count of 0 or less is accepted, and a null table is
// ignored for any count; null row slots are skipped (a row released early and nulled).
void free1D(void* p);
void free2D(void** p, int rows);
void free3D(void*** p, int d1, int d2);
void free4D(void**** p, int d1, int d2, int d3);
void free5D(void***** p, int d1, int d2, int d3, int d4);

// Typed release: free2D(floatMatrix, rows) etc. without casts.
template <class T> inline void free2D(T** p, int rows) { free2D(reinterpret_cast<void**>(p), rows); }
template <class T> inline void free3D(T*** p, int d1, int d2) { free3D(reinterpret_cast<void***>(p), d1, d2); }
template <class T> inline void free4D(T**** p, int d1, int d2, int d3) { free4D(reinterpret_cast<void****>(p), d1, d2, d3); }
template <class T> inline void free5D(T***** p, int d1, int d2, int d3, int d4) { free5D(reinterpret_cast<void*****>(p), d1, d2, d3, d4); }

// ---------------------------------------------------------------- checked input

// Opens dir + name (name alone when dir is null; the path holds at most 111 characters) as
// OpenRegular does. On failure writes ReportCantOpen's message (a longer path: the text of
// ENAMETOOLONG, "File name too long") and returns null; a stream that memory refuses raises code
// 1 (out of memory) instead.
FILE* fopenck(const char* name, const char* dir, const char* mode);

// The reason OpenRegular gives for a name that stands but is neither a regular file nor a folder
// (a named pipe, a device, a socket); every other reason is an errno value.
constexpr int kNotRegularFile = -1;
// The text of a reason: strerror's (a folder: "Is a directory"), or "not a regular file".
const char* OpenFailureText(int reason);
// Opens path with an fopen mode ("r", "w" or "a", each with "+" and "b") only where it names a
// regular file (a link to one is followed) or, for "w" and "a", nothing yet. Anything else is
// refused without blocking and unchanged: a named pipe with no other end never holds the open,
// and "w" empties a file only once it is known to be regular. Null on failure, with the reason
// in *reason (errno's value, EISDIR for a folder, kNotRegularFile); prints nothing. The
// descriptor is closed on exec.
FILE* OpenRegular(const char* path, const char* mode, int* reason);
// Writes "\ncan't open <path>: <OpenFailureText(reason)> \n" to stderr and rings the bell.
void ReportCantOpen(const char* path, int reason);

// Strict readers of one number of a data file: the number must end at a blank, a line end or
// the end of the file ("25Jun2016" where a count belongs is a corrupt file, not the count 25).
// An unreadable item, a number that runs into other characters or the end of the file is code
// 2 with the readers' message naming the file.
int ReadIntStrict(FILE* f, const char* fileName);
float ReadFloatStrict(FILE* f, const char* fileName);
double ReadDoubleStrict(FILE* f, const char* fileName);
// Every item of a file takes at least one byte, so a count of items beyond the bytes left cannot
// be read: code 2 (the file is cut short or corrupt), before anything is allocated for them.
// A stream that is not a plain file sets no bound.
void EnsureInFile(FILE* f, long long items, const char* fileName);

// Numbers (the integer conversions %d, %u, ... and the floating ones %f, %lf, %g, ...) are read
// by the program's own scanner: an optional sign, then for an integer its digits, for a floating
// value digits with at most one decimal point and an exponent only when a digit follows its sign
// ("1e" is the number 1 followed by the letter e). The scanner never takes a character that
// cannot continue the number: that character, and any it read to find out, stay in the stream,
// so a read that fails consumes nothing but the blanks before it. Hexadecimal numbers are not
// numbers ("0x1A" is 0 followed by "x1A"). A floating text longer than kLongestNumber
// characters is read to its end and refused like an integer its type cannot hold.
const int kLongestNumber = 511;   // "%f" of any double fits

// What a skipping read of a floating value makes of a word that the C library reads as a
// number that is not finite ("nan", "inf", "infinity", any case, after an optional sign):
// letters, passed over like any others (the console's answers), or that value (the files whose
// readers refuse such a value by its value, and whose messages name it). Only those words,
// letter for letter, are such a value: "inn" or "nafinity" is text that is no number.
enum NonFiniteWords { kSkipNonFinite, kReadNonFinite };

// Where ScanNumber reads. In a file, a number too long to read is refused like an unreadable
// item (code 2); typed at a prompt (or replayed from a macro), it is refused like a value out of
// range: the bell, "\nIncorrect input = <its first 20 characters>.... Reenter.\n", the line of
// what the prompt accepts ("Accepted input: %s\n" with the list or "%g to %g" with the range;
// "a number of at most 511 characters" where any number is taken), and the answer is read again.
enum NumberSource { kFileNumbers, kPromptAnswers };

// One formatted read of fmt into dst. Converting nothing or the end of input: "\nfile %s "
// on stderr, the bell, and code 2. Integer conversions (%d, %ld, %u, ...) refuse values
// outside the target type's range (code 2) instead of overflowing. A floating conversion reads
// "nan", "inf" and "infinity" as those values, as the files the program writes hold them for
// a value that is no number; any other word is refused. A string conversion must carry a width
// ("%40s") or use freadckString.
void freadck(FILE* f, const char* fmt, void* dst, const char* fileName);
// One whitespace-delimited word into dst (room for size bytes: at most size - 1 characters
// kept, the rest of the word passed over). End of input before the word: as freadck.
// In this reader, the field and line readers and ScanString, a control byte that the reader
// does not take for a blank or an end (NUL, DEL and the others below 32) is refused like an
// unreadable item: "\nfile %s ", the bell, code 2.
void freadckString(FILE* f, char* dst, int size, const char* fileName);
// Formatted read that passes over text it cannot convert, one character at a time: the number
// that follows such text is read whole. Returns 1 when an item was read; at the end of input
// writes "\nEnd of file %s\n" to stderr, rings the bell and returns 0. A number too long to
// read: as freadck.
int freadck1(FILE* f, const char* fmt, void* dst, const char* fileName, NonFiniteWords words = kSkipNonFinite);

// One field: skips TAB, LF, CR and spaces, then stores at most max characters up to a TAB,
// LF or CR (consumed, not stored). buf needs max + 1 bytes. Returns the last character read.
// End of input before the field: "\nfile %s " on stderr, the bell, code 2.
int freadlineck(FILE* f, int max, char* buf, const char* fileName);
// Same; when crEnds is false only TAB and LF end the field (a CR is stored).
int freadlineck(FILE* f, int max, char* buf, const char* fileName, bool crEnds);
// One line: only LF or CR ends it; each TAB is stored as a space.
void freadlineckTEMP(FILE* f, int max, char* buf, const char* fileName);

// Reads characters until one is in accept (a list such as "N O S A X"); returns it in
// lower case. Null or empty accept: the first character that is not TAB, LF or space.
// Refused characters get "\nIncorrect input = %c. Reenter.\n" / "Accepted input: %s\n".
// End of input: "\nfile %s " on stderr and code 2.
char ScanChar(FILE* f, const char* accept, const char* fileName);
// Reads standard input; a bare return key chooses the last character of accept (echoed as
// "\b%c\n" on stdout); -1 when accept has none.
int ScanCharDef(const char* accept);

// Reads a number (any number when accept is null or empty; a blank-separated list such as
// "1 2 3 4" otherwise), re-asking on refused values. Text that is no number is passed over
// silently (through freadck1, with `words`). End of input: "\nEnd of file %s\n", the bell,
// then code 2. A number too long to read: as `source` says.
double ScanNumber(FILE* f, const char* fileName, const char* accept, NonFiniteWords words = kSkipNonFinite,
                  NumberSource source = kFileNumbers);
// accept "-": the closed range lo .. hi (the console's answers, read as kPromptAnswers).
double ScanNumber(FILE* f, const char* fileName, const char* accept, double lo, double hi);

// One word (at most 255 characters read) into dst, cut to len characters (dst: len + 1
// bytes) and trimmed. accept null/empty takes any word; otherwise the words allowed,
// separated by "/". Returns dst, or null at the end of input or for a refused word.
char* ScanString(FILE* f, int len, char* dst, const char* accept, int caseSensitive, const char* fileName);

// Removes every space followed by a space or by the end of the text.
void trimString(char* s);
// strcmp of the upper-cased texts.
int StrCmp(const char* a, const char* b);
void StrToUpper(char* s);
// Two characters (no terminator) of n in base 62: 0-9, A-Z, a-z; n in 0 .. 3843.
char* IntToAlpha(int n, char* code);
// The bytes an analysis may keep in memory for its working values (a fixed 256 MB); beyond them
// it spills to a temporary file.
size_t MemoryCheck();

// ---------------------------------------------------------------- numeric utilities

double Round(double x, int d);
float Round(float x, int d);
double RoundDigit(double x, int d);
float RoundDigit(float x, int d);

// True when a and b lie at most maxUlps single-precision steps apart (+0 and -0 coincide).
// maxUlps is clamped to 0 .. 4194303: below 0 acts as 0 (only the same step), above the
// upper bound as the bound (which keeps a NaN from matching an infinity).
bool AlmostEqual2sComplement(float a, float b, int maxUlps);
// Both values rounded to single precision first.
bool AlmostEqual2sComplement(double a, double b, int maxUlps);
bool AlmostEqual2sComplement(float a, float b, int maxUlps, bool useAbs);
bool AlmostEqual2sComplement(double a, double b, int maxUlps, bool useAbs);
bool IsLargerThanOrEqual(double a, double b, int maxUlps, bool useAbs);
bool AlmostEqual_Tolerance(double a, double b, double tol);
bool AlmostEqual_Tolerance(float a, float b, float tol);

// Whether a residual keeps variation of its table: its sum of squares about its column means is
// above 0 and above a relative tolerance (1e-12) of scaleSumSq, the same sum of the table before
// the covariates were taken out (both centred, so where the columns sit plays no part). Below it
// the residual is rounding noise, which a measure that does not depend on scale would turn into
// a full-size number. False when either sum is not a number.
bool HasVariation(double centredSumSq, double scaleSumSq);

// The most rounding a value computed in double precision from the survey's data carries,
// relative to the largest magnitude among the values of its column: 2^-40, some four thousand
// roundings of 2^-53 (a weighted mean over s OTUs, its weights and its division keep within
// 2 s + 4 of them). Values held in single precision are taken as they are (rounding 0): they are
// data as read, or double values rounded once, and each difference between two of them is at
// least one step of single precision, which is variation of the data however far from 0 the
// column lies (double values that differ by rounding alone round alike). Values computed from
// single-precision ones (distances between single-precision means, say) carry the rounding of
// the steps that formed them, which the code that forms them bounds.
constexpr double kDoubleRounding = 0x1p-40;
// Whether one column varies beyond the rounding its values can carry: centredSumSq, its sum of
// squares about its mean over `count` present values (formed in double), is above 0 and above
// count * (rounding * magnitude)^2, magnitude the largest absolute value of the column. A
// positive factor on the column never changes the verdict; a constant added to it, only where
// the constant is some 2^40 times the column's spread (kDoubleRounding), or never for values held
// as read (rounding 0) that stay exact. A table varies when any of its columns does.
bool ColumnVaries(double centredSumSq, int count, double magnitude, double rounding);

// The spread of one vector (a column, a strided column, the present cells of a matrix): the one
// computation of its centred sum of squares behind every judgement of variation. Its values are
// taken as deviations from one present value of it (`origin`, the first), so that equal values
// deviate by exact zeros: a constant vector has a centred sum of exactly 0 at any length, and the
// mean the sums imply (origin + sum / count) errs relative to the spread, not to the magnitude.
// Each value is first multiplied by `unit`, a power of two (so exactly) that brings the
// largest magnitude into [1, 2): no square underflows or overflows at any scale. Made from the
// first present value, the largest magnitude and the count (a first pass), then fed every
// present value (Add, in any order; sums of lanes started alike join by Join).
struct Spread {
    double origin = 0.0;     // the first present value times unit
    double unit = 1.0;       // 2^-e, 2^e the binade of the magnitude
    double sum = 0.0;        // of the deviations x * unit - origin
    double sumSq = 0.0;      // of their squares
    double magnitude = 0.0;  // the largest |x|
    int count = 0;
    Spread() = default;
    Spread(double first, double magnitude_, int count_);
    // Sums in the values' own units (unit 1), for values known to lie far inside the range of
    // double, whose squares neither underflow nor overflow, when the magnitude is known only
    // after the sums (set it then).
    static Spread InOwnUnits(double first, int count);
    void Add(double x) {
        const double d = x * unit - origin;
        sum += d;
        sumSq += d * d;
    }
    void Join(const Spread& lane) {
        sum += lane.sum;
        sumSq += lane.sumSq;
    }
    // The sum of squares about the mean, sumSq - sum^2 / count, in the scaled units (never below 0).
    double ScaledCentred() const;
    // The same in the values' own units (beyond about 1e154 it is not representable: infinite).
    double Centred() const;
    // The same of the values multiplied by `scale`, a power of two (ValueScale).
    double CentredIn(double scale) const;
    // Whether the vector varies beyond `rounding` of its magnitude (ColumnVaries on the scaled sums).
    bool Varies(double rounding) const;
};

// The factor, a power of two, by which values of largest magnitude `magnitude` are multiplied
// before a correlation is formed from their squares and products: 1 where those stay normal
// numbers (magnitudes from 2^-200 to 2^200, as in any survey: the values are taken as they are),
// otherwise the unit of their Spread. No such factor changes a correlation.
double ValueScale(double magnitude);

// The spread of the values at(i), i in 0 .. n - 1, for which present(i) holds: two passes, the
// first for the first value, the magnitude and the count.
template <class At, class Present>
Spread SpreadOf(int n, At at, Present present) {
    double first = 0.0, magnitude = 0.0;
    int count = 0;
    for (int i = 0; i < n; i++) {
        if (!present(i)) continue;
        const double x = at(i), a = x < 0 ? -x : x;
        if (count == 0) first = x;
        if (a > magnitude) magnitude = a;
        count++;
    }
    Spread s(first, magnitude, count);
    for (int i = 0; i < n; i++)
        if (present(i)) s.Add(at(i));
    return s;
}

double Fmax(double a, double b);
float Fmax(float a, float b);
int Fmax(int a, int b);
double Fmin(double a, double b);
float Fmin(float a, float b);
int Fmin(int a, int b);

// Number of distinct integer states (integer parts in 0 .. INT_MAX) among the values that
// are not -999; non-finite values and integer parts beyond INT_MAX are not states.
int CountStates(int n, float* x);
int CountStates(int n, double* x);
// Also lists the present states 1 .. largest in ascending order (state 0 is counted only).
int CountStates(int n, float* x, int* states);
int CountStates(int n, double* x, int* states);

double Factorial(double n);
float Factorial(float n);
long double Factorial(long double n);
long double Factorial(int n);

// qsort comparators.
int compareInt(const void* a, const void* b);
int compareIntDecreasing(const void* a, const void* b);
int compareDouble(const void* a, const void* b);
int compareFloat(const void* a, const void* b);
int compareDoubleDecreasing(const void* a, const void* b);
int compareFloatDecreasing(const void* a, const void* b);
// On arrays of row pointers: compare the first element of each row.
int compare2Double(const void* a, const void* b);
int compare2Dfloat(const void* a, const void* b);
int compare2DoubleDecreasing(const void* a, const void* b);
int compare2DfloatDecreasing(const void* a, const void* b);
// On arrays of text pointers.
int compareStr(const void* a, const void* b);

// Exchanges the pointer slots i and j of a (rows of a matrix, labels).
void swap(void** a, int i, int j);
template <class T> inline void swap(T** a, int i, int j) { T* t = a[i]; a[i] = a[j]; a[j] = t; }
// Exchanges the two pointers *a and *b.
void swapArray1D(void** a, void** b);
template <class T> inline void swapArray1D(T** a, T** b) { T* t = *a; *a = *b; *b = t; }

#endif
