// Community resemblance of pooled matrices, community-weighted trait means and the
// two-community congruence.
#include "traits/TNXCOMRESE.h"

#include <algorithm>
#include <cmath>

#include "foundation/qwlibDim.h"
#include "statistics/qwlibRes.h"

namespace {

template <class Data>
Data** Alloc(int n, int p);
template <>
double** Alloc<double>(int n, int p) { return dim2Double(n, p); }
template <>
float** Alloc<float>(int n, int p) { return dim2Dfloat(n, p); }

template <class Data>
bool Resemblance(int n, int p, Data** x, double** d, int opt) {
    if (n < 2) return false;
    switch (opt) {
        case 6:
        case 7:  // the relative form computes what the plain one does
            EucliDistMV(n, p, x, d);
            break;
        case 8:
        case 9:
            AbsValFunctionMV(n, p, x, d);
            break;
        case 10: {
            Data** unit = Alloc<Data>(n, p);
            NormalizeRowsMV(n, p, x, unit);
            EucliDistMV(n, p, unit, d);
            free2D(unit, n);
            break;
        }
        default:
            break;
    }
    return true;
}

}  // namespace

bool NominalReseNonHier(int n, int p, double** x, double** d, int opt) { return Resemblance(n, p, x, d, opt); }

bool NominalReseNonHier(int n, int p, float** x, double** d, int opt) { return Resemblance(n, p, x, d, opt); }

void CommunityWeightedMeans(int n, int s, int p, double** W, float** B, int* select, double** T) {
    for (int c = 0; c < n; c++) {
        for (int t = 0; t < p; t++) {
            if (select[t] != 1) {
                T[c][t] = 0.0;
                continue;
            }
            double sum = 0.0, weights = 0.0;
            for (int o = 0; o < s; o++) {
                if (IsMissing(W[c][o]) || IsMissing(B[o][t])) continue;
                sum += W[c][o] * static_cast<double>(B[o][t]);
                weights += W[c][o];
            }
            T[c][t] = weights != 0.0 ? sum / weights : MissingValue;
        }
    }
}

double TwoCommunityCongruence(double a, double b) {
    if (a == b) return 1.0;
    return 1.0 - std::fabs(a - b) / std::max(std::fabs(a), std::fabs(b));
}
