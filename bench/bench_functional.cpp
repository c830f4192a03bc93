// The whole functional analysis (letter H) on a survey of the size an ecologist brings: 75
// communities, 82 OTUs, 8 quantitative traits, 4 environmental variables, each OTU its own type,
// fuzzy belonging, Mantel, 999 iterations; the report is written each time to a temporary folder.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "traits/TNXRESE.h"

namespace {

float Next(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 16777216.0f;
}

char** Labels(int n, const char* prefix) {
    char** l = dim2Dchar(n, kLabelSize);
    for (int i = 0; i < n; i++) {
        // Cut to the label size: a label keeps at most its first 10 characters.
        const std::string label = prefix + std::to_string(i + 1);
        std::snprintf(l[i], kLabelSize, "%s", label.c_str());
    }
    return l;
}

// A synthetic survey in the global data model (fixed seed) and the options the dialog leaves.
struct Survey {
    Survey(int communities, int otus, int traits, int variables, int optRo) {
        ncsm = communities, tcst = otus, nch = traits, nenv = variables, nSpp = 0;
        std::uint32_t seed = 20261206u;
        csm_Float = dim2Dfloat(tcst, nch);
        for (int i = 0; i < tcst; i++)
            for (int j = 0; j < nch; j++) csm_Float[i][j] = 10.0f * Next(seed);
        cadat = dim2Dfloat(tcst, ncsm);
        for (int i = 0; i < tcst; i++)
            for (int c = 0; c < ncsm; c++) cadat[i][c] = Next(seed) < 0.3f ? static_cast<float>(1 + static_cast<int>(5 * Next(seed))) : 0.0f;
        for (int c = 0; c < ncsm; c++) cadat[c % tcst][c] += 1.0f;  // no empty community
        env = dim2Dfloat(ncsm, nenv);
        for (int c = 0; c < ncsm; c++)
            for (int v = 0; v < nenv; v++) env[c][v] = 100.0f * Next(seed);
        chLabel = Labels(nch, "t");
        reLabel = Labels(ncsm, "c");
        envLabel = Labels(nenv, "e");
        chtype = dim1Dint(nch);
        onsta = dim1Dint(nch);
        chrange = dim1Dfloat(nch);
        weight = dim1Dfloat(nch);
        nchor = dim1Dint(nch);
        nGrPoly = dim1Dint(nch);
        rcst = dim1Dint(nch);
        for (int j = 0; j < nch; j++) chtype[j] = 3, onsta[j] = 10, weight[j] = 1.0f, nchor[j] = j + 1;
        nGrPoly[0] = tcst;
        partition_OTUs = dim1Dint(tcst);
        for (int i = 0; i < tcst; i++) partition_OTUs[i] = i + 1;
        envVarType = dim1Dint(nenv);
        for (int v = 0; v < nenv; v++) envVarType[v] = 3;
        optEnvVarType = 2, temEnvQual = 0;
        hasPhylogeny = includePhylogeny = false;
        std::snprintf(sessionName, sizeof sessionName, "bench");
        std::snprintf(whichPrinda, sizeof whichPrinda, "benchPrinda.txt");
        std::snprintf(prindaMode, sizeof prindaMode, "w");
        volumeName[0] = '\0';
        sDigits = 6, maxColsPrint = 2147483647;
        traitBasedOpt = 1, poolCSTopt = 2, clusMethPoolCSTs = 0, reseCSTopt = 1;
        fuzzy = 3, fuzziness = 1.0f, opt_ro = optRo, rese_opt = 6;
        optRndTests = true, niter = 999, rseed = 1, optRestrictPermutNullModel = 0, optWeightedNullModel = 0;
        optUnitTotalAdjust2 = true, printDetail = 0, saveRndData = 'n', twoTailedTestMantel = 1;
        sqrtDissimOpt_RaoTraits = 1, BealsIncludeOpt = 1, overfitFactorPCARegr = 2.0;
    }
    ~Survey() {
        free2D(csm_Float, tcst);
        free2D(cadat, tcst);
        free2D(env, ncsm);
        free2D(chLabel, nch);
        free2D(reLabel, ncsm);
        free2D(envLabel, nenv);
        for (void* p : {static_cast<void*>(chtype), static_cast<void*>(onsta), static_cast<void*>(chrange),
                        static_cast<void*>(weight), static_cast<void*>(nchor), static_cast<void*>(nGrPoly),
                        static_cast<void*>(rcst), static_cast<void*>(partition_OTUs), static_cast<void*>(envVarType)})
            free1D(p);
        csm_Float = cadat = env = nullptr;
        chLabel = reLabel = envLabel = nullptr;
        chtype = onsta = nchor = nGrPoly = rcst = partition_OTUs = envVarType = nullptr;
        chrange = weight = nullptr;
    }
};

void BM_FunctionalAnalysis(benchmark::State& st) {
    const auto old = std::filesystem::current_path();
    const auto dir = std::filesystem::temp_directory_path() / "tarnex-bench-functional";
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    {
        Survey survey(75, 82, 8, 4, static_cast<int>(st.range(0)));
        for (auto _ : st) benchmark::DoNotOptimize(PFTs_ScalingUp());
    }
    std::filesystem::current_path(old);
    std::filesystem::remove_all(dir);
}
// 1 Mantel, 2 Procrustes, 3 RV.
BENCHMARK(BM_FunctionalAnalysis)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
