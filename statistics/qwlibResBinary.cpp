// Binary coefficients from the 2 x 2 table of two objects, and simple matching.
#include <cmath>
#include <cstdint>

#include "statistics/qwlibRes.h"

namespace {

template <class T>
void JointFreqT(int p, const T* x, const T* y, int* a, int* b, int* c, int* d) {
    *a = *b = *c = *d = 0;
    for (int k = 0; k < p; k++) {
        bool x1 = x[k] == T(1), x0 = x[k] == T(0), y1 = y[k] == T(1), y0 = y[k] == T(0);
        if (x1 && y1) ++*a;
        else if (x1 && y0) ++*b;
        else if (x0 && y1) ++*c;
        else if (x0 && y0) ++*d;
    }
}

// Kernels on the four counts, one per coefficient. Products of counts in 64-bit integers, so
// that no table is large enough to overflow them; a zero denominator gives 0.
using Count = std::int64_t;

double JaccardOf(Count a, Count b, Count c, Count) {
    Count den = a + b + c;
    return den == 0 ? 0.0 : double(a) / double(den);
}
double SokalMichenerOf(Count a, Count b, Count c, Count d) {
    Count den = a + b + c + d;
    return den == 0 ? 0.0 : double(a) / double(den);
}
double OchiaiOf(Count a, Count b, Count c, Count) {
    Count prod = (a + b) * (a + c);
    return prod < 1 ? 0.0 : double(a) / std::sqrt(double(prod));
}
double SorensenOf(Count a, Count b, Count c, Count) {
    Count den = 2 * a + b + c;
    return den == 0 ? 0.0 : 2.0 * double(a) / double(den);
}
double MeanSquareContingencyOf(Count a, Count b, Count c, Count d) {
    // The margin product can exceed 64 bits only beyond 2^16 variables per margin: taken in
    // double, exactly as long as it fits.
    double margins = double(a + b) * double(c + d) * double(a + c) * double(b + d);
    if (margins < 1) return 0.0;
    double diff = double(a * d - b * c);
    return diff * diff / margins;
}

using Kernel = double (*)(Count, Count, Count, Count);

// Cells j >= i from the counts of rows i and j.
template <class T, class R>
void BinaryT(int n, int p, T** in, R** out, Kernel kernel) {
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) {
            int a, b, c, d;
            JointFreqT(p, in[i], in[j], &a, &b, &c, &d);
            out[i][j] = R(kernel(a, b, c, d));
        }
}

// Equal values over the variables where both are present, whatever the values.
template <class T, class R>
void SimpleMatchingT(int n, int p, T** in, R** out) {
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) {
            int same = 0, used = 0;
            for (int k = 0; k < p; k++) {
                if (IsMissing(in[i][k]) || IsMissing(in[j][k])) continue;
                used++;
                if (in[i][k] == in[j][k]) same++;
            }
            out[i][j] = used == 0 ? R(0) : R(double(same) / double(used));
        }
}

}  // namespace

void JointFreq(int p, float* x, float* y, int* a, int* b, int* c, int* d) { JointFreqT(p, x, y, a, b, c, d); }
void JointFreq(int p, double* x, double* y, int* a, int* b, int* c, int* d) { JointFreqT(p, x, y, a, b, c, d); }

#define TNX_BINARY_COEFFICIENT(Name, kernel)                                                      \
    void Name(int n, int p, float** in, float** out) { BinaryT(n, p, in, out, kernel); }          \
    void Name(int n, int p, float** in, double** out) { BinaryT(n, p, in, out, kernel); }         \
    void Name(int n, int p, double** in, double** out) { BinaryT(n, p, in, out, kernel); }

TNX_BINARY_COEFFICIENT(Jaccard, JaccardOf)
TNX_BINARY_COEFFICIENT(SokalMichener, SokalMichenerOf)
TNX_BINARY_COEFFICIENT(Ochiai, OchiaiOf)
TNX_BINARY_COEFFICIENT(Sorensen, SorensenOf)
TNX_BINARY_COEFFICIENT(MeanSquareContingency, MeanSquareContingencyOf)

void SimpleMatching(int n, int p, float** in, float** out) { SimpleMatchingT(n, p, in, out); }
void SimpleMatching(int n, int p, float** in, double** out) { SimpleMatchingT(n, p, in, out); }
void SimpleMatching(int n, int p, double** in, double** out) { SimpleMatchingT(n, p, in, out); }
