// The trait-subset search on a synthetic survey (fixed seed): 100 communities, 200 OTUs.
// r(TE) (criterion 10) over every subset of 12 and of 20 traits and r(XE) with fuzzy types
// (criterion 1) over every subset of 12 traits, whole runs including the result file, each on
// one thread and on every core (the second argument: threads, 0 for the machine's count), under
// the matrix correlation, and over 12 traits under Procrustes and RV (the third argument: the
// measure, 1 Mantel, 2 Procrustes, 3 RV).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "traits/TNXCHORD.h"

namespace {

// The data model of a survey with p quantitative traits, s OTUs, n communities, 4 variables
// and 8 types, set directly in the globals.
void MakeSurvey(int p, int s, int n) {
    std::mt19937 gen(20261206);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    nch = p;
    tcst = s;
    ncsm = n;
    nenv = 4;
    csm_Float = dim2Dfloat(s, p);
    cadat = dim2Dfloat(s, n);
    env = dim2Dfloat(n, nenv);
    chtype = dim1Dint(p);
    chrange = dim1Dfloat(p);
    onsta = dim1Dint(p);
    weight = dim1Dfloat(p);
    chLabel = reinterpret_cast<char**>(dim2D(sizeof(char), p, 16));
    partition_OTUs = dim1Dint(s);
    envVarType = dim1Dint(nenv);
    for (int t = 0; t < p; t++) {
        chtype[t] = 3;
        weight[t] = 1.0f;
        std::snprintf(chLabel[t], 16, "t%d", t + 1);
    }
    for (int i = 0; i < s; i++) {
        for (int t = 0; t < p; t++) csm_Float[i][t] = 10.0f * u(gen);
        for (int c = 0; c < n; c++) cadat[i][c] = u(gen) < 0.3f ? std::floor(1.0f + 9.0f * u(gen)) : 0.0f;
        partition_OTUs[i] = 1 + i % 8;
    }
    for (int c = 0; c < n; c++)
        for (int v = 0; v < nenv; v++) env[c][v] = 5.0f * u(gen) + static_cast<float>(c % 7);
    for (int v = 0; v < nenv; v++) envVarType[v] = 3;
    optEnvVarType = 1;
    opt_ro = 1;
    rese_opt = 6;
    fuzzy = 3;
    reseCSTopt = 1;
    poolCSTopt = 2;
    clusMethPoolCSTs = 0;
    rankingAlgorithm = 2;
    optUnitTotalAdjust1 = true;
    optUnitTotalAdjust2 = false;
    printRankIntermedResults = 'n';
    saveStruct = 'n';
    sDigits = 6;
    nMinTraitsChRank = 1;
    nMaxTraitsChRank = p;
    std::snprintf(sessionName, sizeof sessionName, "bench");
    std::snprintf(whichChorder, sizeof whichChorder, "benchChRank.txt");
}

void FreeSurvey() {
    free2D(csm_Float, tcst);
    free2D(cadat, tcst);
    free2D(env, ncsm);
    free2D(chLabel, nch);
    free1D(chtype);
    free1D(chrange);
    free1D(onsta);
    free1D(weight);
    free1D(partition_OTUs);
    free1D(envVarType);
}

// TARNEX_THREADS for a run: `threads`, or the machine's hardware concurrency when 0.
void UseThreads(benchmark::State& st, int threads) {
    if (threads < 1) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    setenv("TARNEX_THREADS", std::to_string(threads).c_str(), 1);
    st.counters["threads"] = threads;
}

void InTempDir() {
    const auto dir = std::filesystem::temp_directory_path() / "tarnex-bench-chrank";
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
}

void BM_TraitConvergenceAllSubsets(benchmark::State& st) {
    const int p = static_cast<int>(st.range(0));
    UseThreads(st, static_cast<int>(st.range(1)));
    InTempDir();
    MakeSurvey(p, 200, 100);
    opt_ro = static_cast<int>(st.range(2));
    opt_struct = 10;
    traitBasedOpt = 2;
    for (auto _ : st) benchmark::DoNotOptimize(ChRankTCAP());
    st.SetItemsProcessed(st.iterations() * ((int64_t{1} << p) - 1));
    FreeSurvey();
}
BENCHMARK(BM_TraitConvergenceAllSubsets)
    ->Args({12, 1, 1})
    ->Args({12, 0, 1})
    ->Args({20, 1, 1})
    ->Args({20, 0, 1})
    ->Args({12, 1, 2})
    ->Args({12, 0, 2})
    ->Args({12, 1, 3})
    ->Args({12, 0, 3})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

void BM_TypeCompositionAllSubsets(benchmark::State& st) {
    const int p = static_cast<int>(st.range(0));
    UseThreads(st, static_cast<int>(st.range(1)));
    InTempDir();
    MakeSurvey(p, 200, 100);
    opt_ro = static_cast<int>(st.range(2));
    opt_struct = 1;
    traitBasedOpt = 1;
    for (auto _ : st) benchmark::DoNotOptimize(ChRankTDAP_TCAP());
    st.SetItemsProcessed(st.iterations() * ((int64_t{1} << p) - 1));
    FreeSurvey();
}
BENCHMARK(BM_TypeCompositionAllSubsets)
    ->Args({12, 1, 1})
    ->Args({12, 0, 1})
    ->Args({12, 1, 2})
    ->Args({12, 0, 2})
    ->Args({12, 1, 3})
    ->Args({12, 0, 3})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
