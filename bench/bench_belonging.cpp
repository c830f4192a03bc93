// Fuzzy belonging and rank correlation: the kernels that the permutation tests and the
// trait-subset search repeat once per permutation or per subset.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "foundation/qwlibDim.h"
#include "matrix/qwlib.h"
#include "statistics/qwlibRes.h"

namespace {

// A deterministic pseudo-random value in [0, 1).
float Next(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 16777216.0f;
}

void BM_FuzzyBelonging(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    const int g = n / 4;
    std::uint32_t seed = 12345u;
    float** S = dim2Dfloat(n, n);
    for (int i = 0; i < n; i++) {
        S[i][i] = 1.0f;
        for (int j = i + 1; j < n; j++) S[i][j] = Next(seed);
    }
    int* labels = dim1Dint(n);
    for (int i = 0; i < n; i++) labels[i] = 1 + i % g;
    float** U = dim2Dfloat(n, g);
    for (auto _ : st) {
        FuzzyBelonging(n, g, S, labels, U, false);
        benchmark::DoNotOptimize(U[0][0]);
    }
    free2D(U, n);
    free1D(labels);
    free2D(S, n);
}
BENCHMARK(BM_FuzzyBelonging)->Arg(40)->Arg(200)->Arg(1000);

void BM_Spearman(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    std::uint32_t seed = 777u;
    double* a = dim1Double(n);
    double* b = dim1Double(n);
    for (int i = 0; i < n; i++) {
        a[i] = static_cast<int>(10 * Next(seed));  // many ties, as in ordinal data
        b[i] = Next(seed);
    }
    for (auto _ : st) benchmark::DoNotOptimize(Spearman2Vec(n, a, b));
    free1D(a);
    free1D(b);
}
BENCHMARK(BM_Spearman)->Arg(51)->Arg(1275)->Arg(20000);

}  // namespace
