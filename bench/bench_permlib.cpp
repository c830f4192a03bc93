// The single-statistic permutation tests of the library and the randomization MANOVA class:
// 999 iterations on a fixed synthetic survey of 75 communities x 82 OTUs x 8 traits (10 types,
// 5 environmental variables), and 75 units x 5 variables under two crossed factors.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibRandom.h"
#include "permtests/qwlibClasses.h"
#include "permtests/qwlibPermTests.h"

namespace {

const int kN = 75, kS = 82, kP = 8, kK = 10, kV = 5;

// A deterministic pseudo-random value in [0, 1).
double Next(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 16777216.0;
}

// The survey; everything released on scope exit.
struct Survey {
    float **B, **U, **Wf;
    double **W, **E, **DE, **DT;
    int sel[kP];

    Survey() {
        std::uint32_t st = 2024u;
        B = dim2Dfloat(kS, kP);
        U = dim2Dfloat(kS, kK);
        Wf = dim2Dfloat(kN, kS);
        W = dim2Double(kN, kS);
        E = dim2Double(kN, kV);
        DE = dim2Double(kN, kN);
        DT = dim2Double(kN, kN);
        for (int o = 0; o < kS; o++) {
            for (int t = 0; t < kP; t++) B[o][t] = static_cast<float>(10 * Next(st));
            U[o][o % kK] = 0.6f;
            U[o][(o + 3) % kK] += 0.4f;
        }
        // About a quarter of the cells occupied, with abundances 1-5.
        for (int c = 0; c < kN; c++) {
            for (int o = 0; o < kS; o++)
                if (Next(st) < 0.25) W[c][o] = Wf[c][o] = static_cast<float>(1 + static_cast<int>(5 * Next(st)));
            for (int j = 0; j < kV; j++) E[c][j] = Next(st);
        }
        for (int a = 0; a < kN; a++)
            for (int b = 0; b < kN; b++) {
                double s = 0;
                for (int j = 0; j < kV; j++) s += (E[a][j] - E[b][j]) * (E[a][j] - E[b][j]);
                DE[a][b] = std::sqrt(s);
                DT[a][b] = std::fabs(E[a][0] - E[b][0]);
            }
        for (int t = 0; t < kP; t++) sel[t] = 1;
    }
    ~Survey() {
        free2D(B, kS);
        free2D(U, kS);
        free2D(Wf, kN);
        free2D(W, kN);
        free2D(E, kN);
        free2D(DE, kN);
        free2D(DT, kN);
    }
};

// ro(TE) with the OTUs permuted (range 0) or drawn from the occurrences (range 1).
void BM_RoTE999(benchmark::State& st) {
    Survey s;
    InitRndNumberGenerator(7);
    for (auto _ : st)
        benchmark::DoNotOptimize(
            Prob_roTE(999, kS, kP, kN, s.B, s.W, s.DE, s.sel, 6, false, nullptr, st.range(0) == 1));
}
BENCHMARK(BM_RoTE999)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// ro(XE) and ro(XE.T) with the type rows permuted, single precision.
void BM_RoXE_T999(benchmark::State& st) {
    Survey s;
    InitRndNumberGenerator(7);
    double pXE = 0, pXE_T = 0;
    for (auto _ : st) {
        Prob_ro_XE_T(999, kS, kK, kN, s.U, s.Wf, 0.3f, s.DT, s.DE, &pXE, &pXE_T, 6, false, nullptr, false);
        benchmark::DoNotOptimize(pXE_T);
    }
}
BENCHMARK(BM_RoXE_T999)->Unit(benchmark::kMillisecond);

// The MANOVA class on 75 units x 5 variables, two crossed factors of 3 and 5 groups: range 0 is
// the statistic (1 SUM-F, 2 LR-IND, 3 MRPP, 4 ANOSIM) or 0 for the multi-factor test.
void BM_Manova999(benchmark::State& st) {
    const int n = 75, p = 5;
    std::uint32_t seed = 99u;
    double** X = dim2Double(n, p);
    double** D = dim2Double(n, n);
    int* g1 = new int[n];
    int* g2 = new int[n];
    for (int i = 0; i < n; i++) {
        g1[i] = 1 + i % 3;
        g2[i] = 1 + (i / 3) % 5;
        for (int j = 0; j < p; j++) X[i][j] = g1[i] * 0.2 + Next(seed);
    }
    for (int i = 0; i < n; i++)
        for (int j = 0; j < i; j++) {
            double s = 0;
            for (int c = 0; c < p; c++) s += (X[i][c] - X[j][c]) * (X[i][c] - X[j][c]);
            D[i][j] = D[j][i] = std::sqrt(s);
        }
    int* groups[2] = {g1, g2};
    char a[] = "A", b[] = "B";
    char* labels[2] = {a, b};
    manovaInput in;
    in.nUnits = n;
    in.nVars = p;
    in.nIterations = 999;
    in.distances = D;
    in.data = X;
    in.nFactors = 2;
    in.groups = groups;
    in.factorLabels = labels;
    in.initGenerator = true;
    in.seed = 11;
    const int statistic = static_cast<int>(st.range(0));
    for (auto _ : st) {
        if (statistic == 0) {
            RandomizationTestManova t(&in);
            benchmark::DoNotOptimize(t.GetManovaResults()->probabilities[0][0]);
        } else {
            RandomizationTestManova t(&in, statistic);
            benchmark::DoNotOptimize(t.GetManovaResults()->probabilities[0][0]);
        }
    }
    delete[] g1;
    delete[] g2;
    free2D(X, n);
    free2D(D, n);
}
BENCHMARK(BM_Manova999)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
