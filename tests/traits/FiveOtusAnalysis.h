// The settings of the functional analysis run in the process on the five-OTU data set of the
// session tests: the data loaded, the report "s1Prinda.txt" erased, user types (1, 1, 2, 2, 3),
// fuzzy belonging, Mantel with Euclidean distances, W at unit totals, 9 iterations with seed 11;
// saveRandomData: 'y' to write the random-data file, 'n' not.
#pragma once

#include <cstdio>

#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"

namespace tnxtest {

inline void LoadFiveOtusAnalysis(char saveRandomData) {
    LoadFiveOtus();
    std::snprintf(sessionName, sizeof sessionName, "s1");
    std::snprintf(whichPrinda, sizeof whichPrinda, "s1Prinda.txt");
    std::snprintf(prindaMode, sizeof prindaMode, "w");
    volumeName[0] = '\0';
    sDigits = 6;
    traitBasedOpt = 1, poolCSTopt = 2, clusMethPoolCSTs = 0, reseCSTopt = 1;
    fuzzy = 3, opt_ro = 1, rese_opt = 6, optUnitTotalAdjust2 = true;
    optRndTests = true, niter = 9, rseed = 11, optRestrictPermutNullModel = 0, optWeightedNullModel = 0;
    printDetail = 0, saveRndData = saveRandomData, twoTailedTestMantel = 1, sqrtDissimOpt_RaoTraits = 1;
    BealsIncludeOpt = 1, overfitFactorPCARegr = 2.0;
    includePhylogeny = false;
    for (int j = 0; j < nch; j++) weight[j] = 1.0f;
    const int types[5] = {1, 1, 2, 2, 3};
    for (int i = 0; i < 5; i++) partition_OTUs[i] = types[i];
    nGrPoly[0] = 3;
}

}  // namespace tnxtest
