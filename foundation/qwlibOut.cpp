// Report printers: padded (aligned, wrapped) and tab-separated forms of matrices and vectors.
#include "foundation/qwlibOut.h"

#include <cmath>
#include <cstring>

int maxColsPrint = 2147483647;

namespace {

// Length of the "%.*g" text of v; measured without a buffer, so any digit count is safe.
int TextLength(double v, int digits) {
    int len = snprintf(nullptr, 0, "%.*g", digits, v);
    return len > 0 ? len : 0;
}

float SqrtOf(float v) { return std::sqrt(v); }
double SqrtOf(double v) { return std::sqrt(v); }

template <class M>
int WidthMax(int rows, int cols, M** m, int digits, bool useSqrt) {
    int w = 0;
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) {
            M v = useSqrt ? SqrtOf(m[i][j]) : m[i][j];
            int len = TextLength(static_cast<double>(v), digits);
            if (len > w) w = len;
        }
    return w;
}

// The running character count of one padded line and its wrapping.
struct PaddedLine {
    FILE* f;
    int count;
    int reset;       // the count after a wrap
    int blank;       // width of the blank field that starts a continuation line
    void BeforeCell() {
        if (count > maxColsPrint) {
            fprintf(f, "\n%*s\t", blank, "");
            count = reset;
        }
    }
    void Cell(double v, int width, int digits) {
        BeforeCell();
        fprintf(f, "%*.*g\t", width, digits, v);
        Advance(width);
    }
    void Blank(int width) {
        BeforeCell();
        fprintf(f, "%*s\t", width, "");
        Advance(width);
    }
    void Text(const char* s, int width) {
        BeforeCell();
        fprintf(f, "%*s\t", width, s);
        Advance(width);
    }
    // width + 1 characters, held below the int limit so that the count cannot overflow.
    void Advance(int width) {
        long long c = static_cast<long long>(count) + width + 1;
        count = c > 2147483647LL ? 2147483647 : static_cast<int>(c);
    }
};

template <class M>
int PrintMatrixT(FILE* f, int rows, int cols, M** m, int digits, int width) {
    if (width == 0) width = WidthMax(rows, cols, m, digits, false);
    for (int i = 0; i < rows; i++) {
        PaddedLine line{f, 0, 0, width};
        for (int j = 0; j < cols; j++) line.Cell(static_cast<double>(m[i][j]), width, digits);
        fprintf(f, "\n");
    }
    return width;
}

template <class M>
int PrintLowerHalfMatrixT(FILE* f, int n, M** m, int digits, int width) {
    if (width == 0) width = WidthMax(n, n, m, digits, false);
    for (int i = 0; i < n; i++) {
        PaddedLine line{f, 0, 0, width};
        for (int j = 0; j <= i; j++) line.Cell(static_cast<double>(m[i][j]), width, digits);
        fprintf(f, "\n");
    }
    return width;
}

template <class M>
int PrintHalfMatrixT(FILE* f, int n, M** m, int offset, int digits, bool useSqrt) {
    int width = WidthMax(n, n, m, digits, useSqrt);
    for (int i = 0; i < n - offset; i++) {
        PaddedLine line{f, 0, 0, width};
        for (int j = 0; j < n; j++) {
            if (j < i + offset) line.Blank(width);
            else line.Cell(static_cast<double>(useSqrt ? SqrtOf(m[i][j]) : m[i][j]), width, digits);
        }
        fprintf(f, "\n");
    }
    return width;
}

// Index of output item i: order[i] - 1 when an order is given.
inline int Pick(const int* order, int i) { return order != nullptr ? order[i] - 1 : i; }

template <class M>
int PrintVectorT(FILE* f, int n, M* v, int digits, int width, int indent, int* order) {
    if (n < 1) {
        fprintf(f, "\n");
        return width;
    }
    if (width == 0)
        for (int i = 0; i < n; i++) {
            int len = TextLength(static_cast<double>(v[i]), digits);
            if (len > width) width = len;
        }
    PaddedLine line{f, indent, indent, indent};
    for (int i = 0; i < n; i++) line.Cell(static_cast<double>(v[Pick(order, i)]), width, digits);
    fprintf(f, "\n");
    return width;
}

template <class M>
int PrintMatrixTabT(FILE* f, int rows, int cols, M** m, int digits) {
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < cols; j++) fprintf(f, "%.*g\t", digits, static_cast<double>(m[i][j]));
        fprintf(f, "\n");
    }
    return 1;
}

template <class M>
int PrintLowerHalfMatrixTabT(FILE* f, int n, M** m, int digits) {
    for (int i = 0; i < n; i++) {
        for (int j = 0; j <= i; j++) fprintf(f, "%.*g\t", digits, static_cast<double>(m[i][j]));
        fprintf(f, "\n");
    }
    return 1;
}

template <class M>
int PrintHalfMatrixTabT(FILE* f, int n, M** m, int offset) {
    for (int i = 0; i < n - offset; i++) {
        for (int j = 0; j < n; j++) fprintf(f, "%g\t", static_cast<double>(m[i][j]));
        fprintf(f, "\n");
    }
    return n - offset;
}

template <class M>
int PrintVectorTabT(FILE* f, int n, M* v, int digits, int* order) {
    for (int i = 0; i < n; i++) fprintf(f, "%.*g\t", digits, static_cast<double>(v[Pick(order, i)]));
    fprintf(f, "\n");
    return 1;
}

template <class M>
int PrintNeighborReseT(FILE* f, int n, M** m, int digits) {
    for (int i = 0; i + 1 < n; i++) fprintf(f, "%.*g\t", digits, static_cast<double>(m[i + 1][i]));
    fprintf(f, "\n");
    return 1;
}

template <class M>
void PrintLowerHalfMatrixFfT(FILE* f, int n, M** m, int digits, bool withDiagonal) {
    for (int i = 0; i < n; i++) {
        int last = withDiagonal ? i : i - 1;
        for (int j = 0; j <= last; j++) fprintf(f, "%.*g\n", digits, static_cast<double>(m[i][j]));
    }
}

template <class M>
void PrintHalfMatrixRowT(FILE* f, int n, M** m, int offset, bool useSqrt) {
    for (int i = 0; i < n; i++)
        for (int j = i + offset; j < n; j++)
            fprintf(f, "%g\t", static_cast<double>(useSqrt ? SqrtOf(m[i][j]) : m[i][j]));
}

// Seeks to *pos, writes the 15-character field of v and stores the position after it.
template <class M>
void RewriteField(FILE* f, M v, long* pos) {
    if (fseek(f, *pos, SEEK_SET) != 0) return;
    fprintf(f, "% #14e ", static_cast<double>(v));
    *pos = ftell(f);
}

template <class M>
void PrintHalfMatrixBiT(FILE* f, int n, M** m, long** pos, int offset) {
    for (int i = 0; i < n; i++)
        for (int j = i + offset; j < n; j++) RewriteField(f, m[i][j], &pos[i][j]);
}

template <class M>
void PrintVectorBiT(FILE* f, int n, M* v, long* pos) {
    for (int i = 0; i < n; i++) RewriteField(f, v[i], &pos[i]);
}

}  // namespace

int GetWidthMax(int rows, int cols, float** m, int digits) { return WidthMax(rows, cols, m, digits, false); }
int GetWidthMax(int rows, int cols, double** m, int digits) { return WidthMax(rows, cols, m, digits, false); }
int GetWidthMaxSqrt(int rows, int cols, float** m, int digits, int sqrtFlag) {
    return WidthMax(rows, cols, m, digits, sqrtFlag != 0);
}
int GetWidthMaxSqrt(int rows, int cols, double** m, int digits, int sqrtFlag) {
    return WidthMax(rows, cols, m, digits, sqrtFlag != 0);
}

int PrintMatrix(FILE* f, int rows, int cols, float** m, int digits, int width) {
    return PrintMatrixT(f, rows, cols, m, digits, width);
}
int PrintMatrix(FILE* f, int rows, int cols, double** m, int digits, int width) {
    return PrintMatrixT(f, rows, cols, m, digits, width);
}
int PrintMatrixFloat(FILE* f, int rows, int cols, float** m, int digits, int width) {
    return PrintMatrixT(f, rows, cols, m, digits, width);
}
int PrintMatrixFloat(FILE* f, int rows, int cols, double** m, int digits, int width) {
    return PrintMatrixT(f, rows, cols, m, digits, width);
}
int PrintLowerHalfMatrix(FILE* f, int n, float** m, int digits, int width) {
    return PrintLowerHalfMatrixT(f, n, m, digits, width);
}
int PrintLowerHalfMatrix(FILE* f, int n, double** m, int digits, int width) {
    return PrintLowerHalfMatrixT(f, n, m, digits, width);
}
int PrintHalfMatrix(FILE* f, int n, float** m, int offset, int digits) {
    return PrintHalfMatrixT(f, n, m, offset, digits, false);
}
int PrintHalfMatrix(FILE* f, int n, double** m, int offset, int digits) {
    return PrintHalfMatrixT(f, n, m, offset, digits, false);
}
int PrintHalfMatrix(FILE* f, int n, float** m, int offset, int digits, int sqrtFlag) {
    return PrintHalfMatrixT(f, n, m, offset, digits, sqrtFlag != 0);
}
int PrintHalfMatrix(FILE* f, int n, double** m, int offset, int digits, int sqrtFlag) {
    return PrintHalfMatrixT(f, n, m, offset, digits, sqrtFlag != 0);
}
int PrintVector(FILE* f, int n, float* v, int digits, int width, int indent, int* order) {
    return PrintVectorT(f, n, v, digits, width, indent, order);
}
int PrintVector(FILE* f, int n, double* v, int digits, int width, int indent, int* order) {
    return PrintVectorT(f, n, v, digits, width, indent, order);
}

int PrintStringVector(FILE* f, int n, char** s, int width, int indent, int* order) {
    if (width == 0)
        for (int i = 0; i < n; i++) {
            int len = static_cast<int>(strlen(s[i]));
            if (len > width) width = len;
        }
    PaddedLine line{f, indent, indent, indent};
    for (int i = 0; i < n; i++) line.Text(s[Pick(order, i)], width);
    fprintf(f, "\n");
    return width;
}

int PrintMatrixTab(FILE* f, int rows, int cols, float** m, int digits) {
    return PrintMatrixTabT(f, rows, cols, m, digits);
}
int PrintMatrixTab(FILE* f, int rows, int cols, double** m, int digits) {
    return PrintMatrixTabT(f, rows, cols, m, digits);
}
int PrintMatrixTab(FILE* f, int rows, int cols, int** m) {
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < cols; j++) fprintf(f, "%d\t", m[i][j]);
        fprintf(f, "\n");
    }
    return 1;
}
int PrintMatrixTab(FILE* f, int rows, int cols, unsigned long** m) {
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < cols; j++) fprintf(f, "%lu\t", m[i][j]);
        fprintf(f, "\n");
    }
    return 1;
}
int PrintMatrixTab(FILE* f, int rows, int cols, char** m) {
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < cols; j++) fprintf(f, "%c\t", m[i][j]);
        fprintf(f, "\n");
    }
    return 1;
}

int PrintLowerHalfMatrixTab(FILE* f, int n, float** m, int digits) { return PrintLowerHalfMatrixTabT(f, n, m, digits); }
int PrintLowerHalfMatrixTab(FILE* f, int n, double** m, int digits) { return PrintLowerHalfMatrixTabT(f, n, m, digits); }
int PrintLowerHalfMatrixTab(FILE* f, int n, int** m) {
    for (int i = 0; i < n; i++) {
        for (int j = 0; j <= i; j++) fprintf(f, "%d\t", m[i][j]);
        fprintf(f, "\n");
    }
    return 1;
}

int PrintHalfMatrixTab(FILE* f, int n, float** m, int offset) { return PrintHalfMatrixTabT(f, n, m, offset); }
int PrintHalfMatrixTab(FILE* f, int n, double** m, int offset) { return PrintHalfMatrixTabT(f, n, m, offset); }
int PrintHalfMatrixTab(FILE* f, int n, int** m, int offset) {
    for (int i = 0; i < n - offset; i++) {
        for (int j = 0; j < n; j++) fprintf(f, "%d\t", m[i][j]);
        fprintf(f, "\n");
    }
    return n - offset;
}

int PrintVectorTab(FILE* f, int n, int* v, int* order) {
    for (int i = 0; i < n; i++) fprintf(f, "%d\t", v[Pick(order, i)]);
    fprintf(f, "\n");
    return 1;
}
int PrintVectorTab(FILE* f, int n, float* v, int digits, int* order) { return PrintVectorTabT(f, n, v, digits, order); }
int PrintVectorTab(FILE* f, int n, double* v, int digits, int* order) { return PrintVectorTabT(f, n, v, digits, order); }

int PrintStringVectorTab(FILE* f, int n, char** s, int* order) {
    for (int i = 0; i < n; i++) fprintf(f, "%s\t", s[Pick(order, i)]);
    fprintf(f, "\n");
    return 1;
}

int PrintNeighborRese(FILE* f, int n, float** m, int digits) { return PrintNeighborReseT(f, n, m, digits); }
int PrintNeighborRese(FILE* f, int n, double** m, int digits) { return PrintNeighborReseT(f, n, m, digits); }

void PrintLowerHalfMatrix_ff(FILE* f, int n, float** m, int digits, bool withDiagonal) {
    PrintLowerHalfMatrixFfT(f, n, m, digits, withDiagonal);
}
void PrintLowerHalfMatrix_ff(FILE* f, int n, double** m, int digits, bool withDiagonal) {
    PrintLowerHalfMatrixFfT(f, n, m, digits, withDiagonal);
}

void PrintHalfMatrix_ff(FILE* f, int n, float** m, int offset) {
    for (int i = 0; i < n; i++)
        for (int j = i + offset; j < n; j++) fprintf(f, "%.12g\n", static_cast<double>(m[i][j]));
}
void PrintHalfMatrix_ff(FILE* f, int n, double** m, int offset) {
    for (int i = 0; i < n; i++)
        for (int j = i + offset; j < n; j++) fprintf(f, "%g\n", m[i][j]);
}

void PrintHalfMatrix_row(FILE* f, int n, float** m, int offset) { PrintHalfMatrixRowT(f, n, m, offset, false); }
void PrintHalfMatrix_row(FILE* f, int n, double** m, int offset) { PrintHalfMatrixRowT(f, n, m, offset, false); }
void PrintHalfMatrix_row(FILE* f, int n, float** m, int offset, int sqrtFlag) {
    PrintHalfMatrixRowT(f, n, m, offset, sqrtFlag != 0);
}
void PrintHalfMatrix_row(FILE* f, int n, double** m, int offset, int sqrtFlag) {
    PrintHalfMatrixRowT(f, n, m, offset, sqrtFlag != 0);
}

void PrintHalfMatrix_bi(FILE* f, int n, float** m, long** pos, int offset) { PrintHalfMatrixBiT(f, n, m, pos, offset); }
void PrintHalfMatrix_bi(FILE* f, int n, double** m, long** pos, int offset) { PrintHalfMatrixBiT(f, n, m, pos, offset); }
void PrintVector_bi(FILE* f, int n, float* v, long* pos) { PrintVectorBiT(f, n, v, pos); }
void PrintVector_bi(FILE* f, int n, double* v, long* pos) { PrintVectorBiT(f, n, v, pos); }
