// The functional and phylogenetic permutation test: 999 iterations, all 22 statistics, on fixed
// synthetic data sets of 8 traits, 8 taxa, 5 environmental variables and 20 phylogenetic axes:
// 75 communities x 82 OTUs in 10 types, and every OTU its own type on 75 x 82 and 400 x 800;
// under each congruence measure, on one thread and on every core.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibRandom.h"
#include "traits/TNXPERMTEST.h"

namespace {

const int kP = 8, kTypes = 10, kQ = 8, kV = 5, kA = 20;

// A deterministic pseudo-random value in [0, 1).
double Next(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 16777216.0;
}

template <class T>
void Euclid(int n, int p, T** x, double** d) {
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            double s = 0;
            for (int c = 0; c < p; c++) s += (x[i][c] - x[j][c]) * (x[i][c] - x[j][c]);
            d[i][j] = d[j][i] = std::sqrt(s);
        }
}

// s = 1 - d / max(d).
template <class T>
void ToSimilarity(int n, double** d, T** s) {
    double mx = 0;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) mx = std::fmax(mx, d[i][j]);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) s[i][j] = static_cast<T>(1 - d[i][j] / mx);
}

// The data set and a filled record; everything released on scope exit.
struct Data {
    float **B, **Sb, **axes;
    double **Sf, **E, **U, **Q, **W, **DE, **DY, **DZ, **Y, **Z;
    int sel[kP];
    PermTest_FunctionalPhyl_Correl_Input in{};

    const int kN, kS, kK;

    // n communities, s OTUs; ownTypes: every OTU its own type (k = s), else 10 types.
    Data(int optRo, int n, int s, bool ownTypes) : kN(n), kS(s), kK(ownTypes ? s : kTypes) {
        std::uint32_t st = 2024u;
        B = dim2Dfloat(kS, kP);
        Sb = dim2Dfloat(kS, kS);
        axes = dim2Dfloat(kS, kA);
        Sf = dim2Double(kS, kS);
        E = dim2Double(kN, kV);
        U = dim2Double(kS, kK);
        Q = dim2Double(kS, kQ);
        W = dim2Double(kN, kS);
        Y = dim2Double(kN, kS);
        Z = dim2Double(kN, kS);
        DE = dim2Double(kN, kN);
        DY = dim2Double(kN, kN);
        DZ = dim2Double(kN, kN);
        for (int o = 0; o < kS; o++) {
            for (int t = 0; t < kP; t++) B[o][t] = static_cast<float>(10 * Next(st));
            for (int t = 0; t < kA; t++) axes[o][t] = static_cast<float>(Next(st) - 0.5);
            U[o][o % kK] = 0.6;
            U[o][(o + 3) % kK] += 0.4;
            Q[o][(o / 3) % kQ] = 1;
        }
        // Similarities from distances among the OTUs (traits, phylogenetic axes), scaled into 0-1.
        double** d = dim2Double(kS, kS);
        Euclid(kS, kP, B, d);
        ToSimilarity(kS, d, Sb);
        Euclid(kS, kA, axes, d);
        ToSimilarity(kS, d, Sf);
        free2D(d, kS);
        // About a quarter of the cells occupied, with abundances 1-5.
        for (int c = 0; c < kN; c++) {
            for (int o = 0; o < kS; o++) {
                if (Next(st) < 0.25) W[c][o] = 1 + static_cast<int>(5 * Next(st));
                Y[c][o] = W[c][o] + Next(st);
                Z[c][o] = std::sqrt(W[c][o]) + Next(st);
            }
            for (int j = 0; j < kV; j++) E[c][j] = Next(st);
        }
        Euclid(kN, kV, E, DE);
        Euclid(kN, kS, Y, DY);
        Euclid(kN, kS, Z, DZ);
        for (int t = 0; t < kP; t++) sel[t] = 1;

        in.iterations = 999;
        in.nTraits = kP;
        in.traitSelected = sel;
        in.nOTUs = kS;
        in.nTypes = kK;
        in.nTaxa = kQ;
        in.nEnv = kV;
        in.nCommunities = kN;
        in.nPhylAxes = kA;
        in.B = B;
        in.Sb = Sb;
        in.phylAxes = axes;
        in.Sf = Sf;
        in.E = E;
        in.U = U;
        in.Q = Q;
        in.W = W;
        in.DE = DE;
        in.DY = DY;
        in.DZ = DZ;
        in.Y = Y;
        in.Z = Z;
        in.reseOpt = 6;
        in.optRo = optRo;
        in.overfitFactor = 2.0;
        in.includePhylogeny = true;
        in.sqrtRaoTraits = true;
        in.twoTailed = true;
    }
    ~Data() {
        free2D(B, kS);
        free2D(Sb, kS);
        free2D(axes, kS);
        free2D(Sf, kS);
        free2D(E, kN);
        free2D(U, kS);
        free2D(Q, kS);
        free2D(W, kN);
        free2D(Y, kN);
        free2D(Z, kN);
        free2D(DE, kN);
        free2D(DY, kN);
        free2D(DZ, kN);
    }
};

// The number of threads for the engine: range 0 leaves the machine's count, another sets it.
void SetThreads(std::int64_t threads) {
    if (threads > 0)
        setenv("TARNEX_THREADS", std::to_string(threads).c_str(), 1);
    else
        unsetenv("TARNEX_THREADS");
}

// One whole test per benchmark iteration; range(0) is the measure (1 Mantel, 2 Procrustes,
// 3 RV), range(1) the threads (0: every core), range(2) the iterations of the test (999, or fewer
// where one permutation takes seconds).
void Run(benchmark::State& st, int n, int s, bool ownTypes) {
    Data d(static_cast<int>(st.range(0)), n, s, ownTypes);
    d.in.iterations = static_cast<int>(st.range(2));
    SetThreads(st.range(1));
    for (auto _ : st) {
        InitRndNumberGenerator(1);
        PermTest_FunctionalPhyl_Correl(&d.in);
        benchmark::DoNotOptimize(d.in.probability[0]);
    }
    SetThreads(0);
}

void BM_PermTest999(benchmark::State& st) { Run(st, 75, 82, false); }
void BM_PermTest999_OwnTypes_75x82(benchmark::State& st) { Run(st, 75, 82, true); }
void BM_PermTest_OwnTypes_400x800(benchmark::State& st) { Run(st, 400, 800, true); }

BENCHMARK(BM_PermTest999)->ArgsProduct({{1, 2, 3}, {1, 0}, {999}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PermTest999_OwnTypes_75x82)->ArgsProduct({{1, 2, 3}, {1, 0}, {999}})->Unit(benchmark::kMillisecond);
// 400 x 800: Mantel with 999 iterations; Procrustes and RV, whose partial congruences decompose
// 800-column tables in every permutation, with 99.
BENCHMARK(BM_PermTest_OwnTypes_400x800)
    ->ArgsProduct({{1}, {1, 0}, {999}})
    ->ArgsProduct({{2, 3}, {1, 0}, {99}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
