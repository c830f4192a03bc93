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

bool CongruenceDefined(int n, int optRo, int partialled, bool pairRule) {
    if (n < 2) return false;
    if (optRo != 1) return true;
    const long long cells = static_cast<long long>(n) * (n - 1) / 2;
    if (pairRule && partialled == 0) return true;
    return cells >= partialled + 2;
}

bool EnvironmentWithoutVariation(int n, double** DE, int optRo) {
    if (!DE || n < 2) return false;
    // Over the distances present: the correlations skip a missing one.
    bool any = false;
    double first = 0.0;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            if (IsMissing(DE[i][j])) continue;
            if (!any) first = DE[i][j], any = true;
            else if (DE[i][j] != first) return false;
        }
    return !any || first == 0.0 || (optRo == 1 && n >= 3);
}
