// The Mantel-family permutation tests against independent computations: every observed
// statistic against R (r/mantel_family.R: vegan::mantel and mantel.partial, the higher-order
// partials as correlations of lm residuals), the probability of ro(TE) against the exact one over
// all 120 arrangements of 5 OTUs, and agreement with the functional analysis's engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "MantelData.h"
#include "matrix/core/qwlibRandom.h"
#include "permtests/qwlibPermTests.h"
#include "traits/TNXPERMTEST.h"

namespace {

// The observed values of one test: its statistics after the identity arrangement.
template <class Test>
const double* Observed(Test& t, const int* identity) {
    t.Arrange(identity);
    return t.stat;
}

CompositionInput Given(CompositionStatistic kind, MantelData& d, double g0, double g1 = 0, double g2 = 0) {
    CompositionInput in;
    in.kind = kind;
    in.DT = d.DT;
    in.DE = d.DE;
    in.DC = d.DC;
    in.DP = d.DP;
    in.given[0] = g0;
    in.given[1] = g1;
    in.given[2] = g2;
    return in;
}

using TraitD = TraitCorrelationTest<double>;
using CompD = CompositionCorrelationTest<double, double, float>;

struct ObservedCase {
    const char* name;
    std::function<double(MantelData&)> observed;
    double expected;  // r/mantel_family.R
    double tol;       // single-precision statistics 1e-6, double 1e-12
};

const ObservedCase kObserved[] = {
    {"ro(TE), double W",
     [](MantelData& d) {
         TraitD t(TraitStatistic::kTE, kOtus, kTraits, kComm, d.B, d.W, d.sel, 6, true, d.DE, nullptr, nullptr, 0);
         return Observed(t, d.identity)[0];
     },
     0.031139244177606006, 1e-6},
    {"ro(TE), float W",
     [](MantelData& d) {
         Mat<float> Wf(kComm, kOtus);
         Copy(d.W, Wf);
         TraitCorrelationTest<float> t(TraitStatistic::kTE, kOtus, kTraits, kComm, d.B, Wf, d.sel, 6, true, d.DE,
                                       nullptr, nullptr, 0);
         return Observed(t, d.identity)[0];
     },
     0.031139244177606006, 1e-6},
    {"ro(TE.C)",
     [](MantelData& d) {
         TraitD t(TraitStatistic::kTE_C, kOtus, kTraits, kComm, d.B, d.W, d.sel, 6, true, d.DE, d.DC, nullptr, 0);
         return Observed(t, d.identity)[0];
     },
     0.035625449791580582, 1e-6},
    {"ro(TE.P)",
     [](MantelData& d) {
         TraitD t(TraitStatistic::kTE_P, kOtus, kTraits, kComm, d.B, d.W, d.sel, 6, true, d.DE, nullptr, d.DP, kRPE);
         return Observed(t, d.identity)[0];
     },
     -0.28517562798967727, 1e-12},
    {"ro(TE.PC), residuals on DP and DC",
     [](MantelData& d) {
         TraitD t(TraitStatistic::kTE_PC, kOtus, kTraits, kComm, d.B, d.W, d.sel, 6, true, d.DE, d.DC, d.DP, kRPE_C);
         return Observed(t, d.identity)[0];
     },
     -0.32630348417966337, 1e-12},
    {"ro(XE)",
     [](MantelData& d) {
         CompD t(kOtus, kTypes, kComm, d.U, d.W, Given(CompositionStatistic::kXE_T, d, kRTE));
         return Observed(t, d.identity)[0];
     },
     0.26094343549857929, 1e-12},
    {"ro(XE.T)",
     [](MantelData& d) {
         CompD t(kOtus, kTypes, kComm, d.U, d.W, Given(CompositionStatistic::kXE_T, d, kRTE));
         return Observed(t, d.identity)[1];
     },
     0.37930435998720485, 1e-12},
    {"ro(XE.T), float U and W",
     [](MantelData& d) {
         Mat<float> Uf(kOtus, kTypes), Wf(kComm, kOtus);
         Copy(d.U, Uf);
         Copy(d.W, Wf);
         CompositionInput in = Given(CompositionStatistic::kXE_T, d, float(kRTE));
         in.single = true;
         CompositionCorrelationTest<float, float, float> t(kOtus, kTypes, kComm, Uf, Wf, in);
         return Observed(t, d.identity)[1];
     },
     0.37930435998720485, 1e-6},
    {"ro(XE.T), double U, float W",
     [](MantelData& d) {
         Mat<float> Wf(kComm, kOtus);
         Copy(d.W, Wf);
         CompositionCorrelationTest<float, double, float> t(kOtus, kTypes, kComm, d.U, Wf,
                                                             Given(CompositionStatistic::kXE_T, d, kRTE));
         return Observed(t, d.identity)[1];
     },
     0.37930435998720485, 1e-12},
    {"ro(XE.T), Procrustes",
     [](MantelData& d) {
         Mat<double> T(kComm, 2);
         for (int c = 0; c < kComm; c++)
             for (int o = 0; o < kOtus; o++)
                 for (int t = 0; t < 2; t++) T[c][t] += d.W[c][o] * d.B[o][t];
         CompositionInput in = Given(CompositionStatistic::kXE_T, d, kRTE);
         in.statistic = 2;
         in.traits = 2;
         in.env = 2;
         in.T = T;
         in.E = d.E;
         CompositionCorrelationTest<double, double, double> t(kOtus, kTypes, kComm, d.U, d.W, in);
         return Observed(t, d.identity)[1];
     },
     0.83963964331923024, 1e-12},
    {"ro(XE_C)",
     [](MantelData& d) {
         CompD t(kOtus, kTypes, kComm, d.U, d.W, Given(CompositionStatistic::kXE_TC, d, kRTE_C));
         return Observed(t, d.identity)[0];
     },
     0.27629224523002466, 1e-12},
    {"ro(XE.TC), residuals on DT and DC",
     [](MantelData& d) {
         CompD t(kOtus, kTypes, kComm, d.U, d.W, Given(CompositionStatistic::kXE_TC, d, kRTE_C));
         return Observed(t, d.identity)[1];
     },
     0.39890152092808057, 1e-12},
    {"ro(XE.P)",
     [](MantelData& d) {
         CompD t(kOtus, kTypes, kComm, d.U, d.W, Given(CompositionStatistic::kXE_P, d, kRPE));
         return Observed(t, d.identity)[0];
     },
     0.14919128290871486, 1e-12},
    {"ro(XE.TP), residuals on DT and DP",
     [](MantelData& d) {
         CompD t(kOtus, kTypes, kComm, d.U, d.W, Given(CompositionStatistic::kXE_TP, d, kRPE, kRPT, kRTE_P));
         return Observed(t, d.identity)[0];
     },
     0.20255229174367867, 1e-12},
    {"ro(XE.TPC), residuals on DT, DP and DC",
     [](MantelData& d) {
         CompD t(kOtus, kTypes, kComm, d.U, d.W, Given(CompositionStatistic::kXE_TPC, d, kRPE_C, kRPT, kRTE_PC));
         return Observed(t, d.identity)[0];
     },
     0.1971034856084066, 1e-12},
    {"ro(XP)",
     [](MantelData& d) {
         PhylogenyCompositionTest t(kOtus, kTypes, kComm, d.U, d.Q, d.W, d.DT, 6);
         return Observed(t, d.identity)[0];
     },
     0.88745233102409993, 1e-12},
    {"ro(PT)",
     [](MantelData& d) {
         PhylogenyCompositionTest t(kOtus, kTypes, kComm, d.U, d.Q, d.W, d.DT, 6);
         return Observed(t, d.identity)[1];
     },
     0.83792826847291013, 1e-12},
    {"ro(XP.T)",
     [](MantelData& d) {
         PhylogenyCompositionTest t(kOtus, kTypes, kComm, d.U, d.Q, d.W, d.DT, 6);
         return Observed(t, d.identity)[2];
     },
     0.68329495768655579, 1e-12},
};

TEST(MantelObserved, StatisticsAgreeWithR) {
    MantelData d;
    for (const auto& c : kObserved) EXPECT_NEAR(c.observed(d), c.expected, c.tol) << c.name;
}

struct LabelCase {
    bool fuzzy;
    double expected;  // r/mantel_family.R, labels 1 2 1 3 2
};

TEST(MantelObserved, GroupLabelBelongingAgreesWithR) {
    for (const LabelCase& c : {LabelCase{false, 0.21633301846250336}, LabelCase{true, 0.003343669902487187}}) {
        MantelData d;
        Mat<float> Wf(kComm, kOtus);
        Copy(d.W, Wf);
        int labels[kOtus] = {1, 2, 1, 3, 2};
        LabelBelongingTest t(kOtus, kComm, labels, d.S, Wf, float(kRTE), d.DT, d.DE, 6, false, c.fuzzy);
        EXPECT_EQ(t.groups, 3);
        EXPECT_NEAR(Observed(t, d.identity)[0], c.expected, 1e-6) << (c.fuzzy ? "fuzzy" : "crisp");
    }
}

struct MultiCase {
    int statistic, index;  // index: 0 ro(XE), 1 ro(TE), 2 ro(XE.T), 3 ro(RE), 4 ro(XE.TR)
    double expected;       // r/mantel_family.R
};

TEST(MantelObserved, MultiStatisticTestAgreesWithR) {
    const MultiCase cases[] = {{1, 0, 0.26094343549857929},  {1, 1, 0.031139244177606006}, {1, 2, 0.37930435998720485},
                               {1, 3, 0.67583371350698973},  {1, 4, -0.18780937606607345}, {2, 0, 0.65422338253326107},
                               {2, 1, 0.61940352634905615}, {2, 3, 0.84667337242113383}};
    for (const MultiCase& c : cases) {
        MantelData d;
        Mat<float> Ef(kComm, 2);
        Copy(d.E, Ef);
        TraitsMultiTest t(kOtus, kTraits, kTypes, 2, kComm, d.sel, d.B, d.S, d.U, d.W, Ef, d.DE, 6, c.statistic, true);
        EXPECT_NEAR(Observed(t, d.identity)[c.index], c.expected, 1e-12) << c.statistic << " " << c.index;
        // R as an equivalent number of OTUs.
        EXPECT_NEAR(t.R[0][0], 1.5721330645714839, 1e-12);
        EXPECT_NEAR(t.R[5][0], 1.4550253652215799, 1e-12);
    }
}

// The exact probability of ro(TE) is the share of the 120 arrangements at least as large as the
// observed one (71 by r/mantel_family.R); with N iterations the library's P estimates
// (1 + (N - 1) K / 120) / N, with standard error sqrt(q (1 - q) / (N - 1)) (N - 1) / N.
TEST(MantelProbability, RoTEMatchesTheEnumerationOfAllArrangements) {
    MantelData d;
    TraitD t(TraitStatistic::kTE, kOtus, kTraits, kComm, d.B, d.W, d.sel, 6, true, d.DE, nullptr, nullptr, 0);
    const double observed = Observed(t, d.identity)[0];
    int order[kOtus] = {1, 2, 3, 4, 5}, atLeast = 0, all = 0;
    do {
        t.Arrange(order);
        atLeast += AtLeastAsLarge(t.stat[0], observed);
        all++;
    } while (std::next_permutation(order, order + kOtus));
    ASSERT_EQ(all, 120);
    EXPECT_EQ(atLeast, 71);

    const int N = 20000;
    InitRndNumberGenerator(2024);
    const double P = Prob_roTE(N, kOtus, kTraits, kComm, d.B, d.W, d.DE, d.sel, 6, false, nullptr, false);
    const double q = 71.0 / 120.0;
    const double mean = (1.0 + (N - 1) * q) / N, se = std::sqrt(q * (1 - q) / (N - 1)) * (N - 1) / N;
    EXPECT_LT(std::fabs(P - mean), 4 * se) << P << " vs " << mean;
}

// With W's rows summing to 1, the engine's community-weighted means are the library's W x B, and
// both shuffle the OTU list alike: the same seed gives the same probability of ro(TE).
TEST(MantelProbability, RoTEAgreesWithTheFunctionalAnalysisEngine) {
    MantelData d;
    Mat<double> Wu(kComm, kOtus), U(kOtus, 1), DY(kComm, kComm);
    for (int c = 0; c < kComm; c++) {
        double tot = 0;
        for (int o = 0; o < kOtus; o++) tot += d.W[c][o];
        for (int o = 0; o < kOtus; o++) Wu[c][o] = d.W[c][o] / tot;
    }
    PermTest_FunctionalPhyl_Correl_Input in{};
    in.iterations = 400;
    in.nTraits = kTraits;
    in.traitSelected = d.sel;
    in.nOTUs = kOtus;
    in.nTypes = 1;
    in.nEnv = 2;
    in.nCommunities = kComm;
    in.B = d.B;
    in.Sb = d.S;
    in.E = d.E;
    in.U = U;
    in.W = Wu;
    in.DE = d.DE;
    in.DY = in.DZ = DY;
    in.reseOpt = 6;
    in.optRo = 1;
    in.twoTailed = false;
    for (unsigned long seed : {3UL, 11UL}) {
        InitRndNumberGenerator(seed);
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&in));
        InitRndNumberGenerator(seed);
        const double P = Prob_roTE(400, kOtus, kTraits, kComm, d.B, Wu, d.DE, d.sel, 6, false, nullptr, false);
        EXPECT_EQ(P, in.probability[kRoTE]) << seed;
        EXPECT_GT(P, 0.3);  // far from the trivial 1
    }
}

}  // namespace
