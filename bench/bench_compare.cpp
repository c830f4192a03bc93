// Matrix comparisons as a permutation loop calls them: the matrix correlation of two
// resemblance matrices, Rao's entropy of a community, and the RV and Procrustes coefficients
// with and without a work space allocated once.
#include <benchmark/benchmark.h>

#include <random>

#include "foundation/qwlibDim.h"
#include "statistics/qwlibRes.h"

namespace {

struct Data {
    Data(int n, int p1, int p2) : n(n), p1(p1), p2(p2) {
        X = dim2Double(n, p1);
        Y = dim2Double(n, p2);
        A = dim2Double(n, n);
        B = dim2Double(n, n);
        x = dim1Double(n);
        std::mt19937 g(7);
        std::uniform_real_distribution<double> u(0, 1);
        for (int i = 0; i < n; i++) {
            x[i] = u(g);
            for (int k = 0; k < p1; k++) X[i][k] = u(g);
            for (int k = 0; k < p2; k++) Y[i][k] = u(g);
            for (int j = 0; j < n; j++) {
                A[i][j] = u(g);
                B[i][j] = u(g);
            }
        }
    }
    ~Data() {
        free2D(X, n);
        free2D(Y, n);
        free2D(A, n);
        free2D(B, n);
        free1D(x);
    }
    int n, p1, p2;
    double **X, **Y, **A, **B, *x;
};

void BM_MatrixCorr(benchmark::State& st) {
    Data d(int(st.range(0)), 1, 1);
    for (auto _ : st) benchmark::DoNotOptimize(MatrixCorr(d.n, d.A, d.B));
}
BENCHMARK(BM_MatrixCorr)->Arg(50)->Arg(200);

void BM_RaoIndex(benchmark::State& st) {
    Data d(int(st.range(0)), 1, 1);
    for (auto _ : st) benchmark::DoNotOptimize(RaoIndex(d.n, d.x, d.A, true, false));
}
BENCHMARK(BM_RaoIndex)->Arg(50)->Arg(200);

void BM_RVcoeff(benchmark::State& st) {
    Data d(int(st.range(0)), 5, 3);
    for (auto _ : st) benchmark::DoNotOptimize(RVcoeff(d.n, d.p1, d.p2, d.X, d.Y));
}
BENCHMARK(BM_RVcoeff)->Arg(50)->Arg(200);

void BM_RVcoeffWorkspace(benchmark::State& st) {
    Data d(int(st.range(0)), 5, 3);
    ComparisonWorkspace<double> ws(d.n, d.p1, d.p2);
    for (auto _ : st) benchmark::DoNotOptimize(RVcoeff(d.n, d.p1, d.p2, d.X, d.Y, ws));
}
BENCHMARK(BM_RVcoeffWorkspace)->Arg(50)->Arg(200);

void BM_Procrustes(benchmark::State& st) {
    Data d(int(st.range(0)), 5, 3);
    for (auto _ : st) benchmark::DoNotOptimize(ProcrustesCoeff(d.n, d.p1, d.p2, d.X, d.Y));
}
BENCHMARK(BM_Procrustes)->Arg(50)->Arg(200);

void BM_ProcrustesWorkspace(benchmark::State& st) {
    Data d(int(st.range(0)), 5, 3);
    ComparisonWorkspace<double> ws(d.n, d.p1, d.p2);
    for (auto _ : st) benchmark::DoNotOptimize(ProcrustesCoeff(d.n, d.p1, d.p2, d.X, d.Y, ws));
}
BENCHMARK(BM_ProcrustesWorkspace)->Arg(50)->Arg(200);

}  // namespace
