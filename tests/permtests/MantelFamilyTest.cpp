// The Mantel-family permutation tests against independent computations: every observed
// statistic against R (r/mantel_family.R: vegan::mantel and mantel.partial, the higher-order
// partials as correlations of lm residuals), the probability of ro(TE) against the exact one over
// all 120 arrangements of 5 OTUs, and agreement with the functional analysis's engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

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

// The observed statistic of a trait-row test, double W (or float W).
double Trait(MantelData& d, TraitStatistic kind, double given, bool floatW = false) {
    if (floatW) {
        TraitCorrelationTest<float> t(kind, kOtus, kTraits, kComm, d.B, d.Wf, d.sel, 6, true, d.DE, d.DC, d.DP, given);
        return Observed(t, d.identity)[0];
    }
    TraitD t(kind, kOtus, kTraits, kComm, d.B, d.W, d.sel, 6, true, d.DE, d.DC, d.DP, given);
    return Observed(t, d.identity)[0];
}

// Counted statistic i of a type-row test on double U and W.
double Comp(MantelData& d, const CompositionInput& in, int i) {
    CompD t(kOtus, kTypes, kComm, d.U, d.W, in);
    return Observed(t, d.identity)[i];
}

TEST(MantelObserved, StatisticsAgreeWithR) {
    using K = CompositionStatistic;
    MantelData d;
    CompositionInput single = Given(K::kXE_T, d, float(kRTE));
    single.single = true;
    CompositionCorrelationTest<float, float, float> floatForm(kOtus, kTypes, kComm, d.Uf, d.Wf, single);
    CompositionCorrelationTest<float, double, float> mixedForm(kOtus, kTypes, kComm, d.U, d.Wf, Given(K::kXE_T, d, kRTE));
    // Procrustes form: T = W B over the two selected traits, in double.
    Mat<double> T(kComm, 2);
    for (int c = 0; c < kComm; c++)
        for (int o = 0; o < kOtus; o++)
            for (int t = 0; t < 2; t++) T[c][t] += d.W[c][o] * d.B[o][t];
    CompositionInput pro = Given(K::kXE_T, d, kRTE);
    pro.statistic = 2;
    pro.traits = pro.env = 2;
    pro.T = T;
    pro.E = d.E;
    CompositionCorrelationTest<double, double, double> procrustes(kOtus, kTypes, kComm, d.U, d.W, pro);
    CompositionCorrelationTest<double, double, double> doubleX(kOtus, kTypes, kComm, d.U, d.W, Given(K::kXE_T, d, kRTE));
    PhylogenyCompositionTest taxa(kOtus, kTypes, kComm, d.U, d.Q, d.W, d.DT, 6);
    Observed(taxa, d.identity);
    int labels[kOtus] = {1, 2, 1, 3, 2};
    LabelBelongingTest crisp(kOtus, kComm, labels, d.S, d.Wf, float(kRTE), d.DT, d.DE, 6, false, false);
    LabelBelongingTest fuzzy(kOtus, kComm, labels, d.S, d.Wf, float(kRTE), d.DT, d.DE, 6, false, true);
    TraitsMultiTest mantel(kOtus, kTraits, kTypes, 2, kComm, d.sel, d.B, d.S, d.U, d.W, d.Ef, d.DE, 6, 1, true);
    TraitsMultiTest procrustes2(kOtus, kTraits, kTypes, 2, kComm, d.sel, d.B, d.S, d.U, d.W, d.Ef, d.DE, 6, 2, true);
    Observed(mantel, d.identity);
    Observed(procrustes2, d.identity);

    // Expected: r/mantel_family.R; single-precision statistics within 1e-6, double 1e-12.
    const struct {
        const char* name;
        double got, want, tol;
    } cases[] = {
        {"ro(TE)", Trait(d, TraitStatistic::kTE, 0), 0.031139244177606006, 1e-6},
        {"ro(TE), float W", Trait(d, TraitStatistic::kTE, 0, true), 0.031139244177606006, 1e-6},
        {"ro(TE.C)", Trait(d, TraitStatistic::kTE_C, 0), 0.035625449791580582, 1e-6},
        {"ro(TE.P)", Trait(d, TraitStatistic::kTE_P, kRPE), -0.28517562798967727, 1e-12},
        {"ro(TE.PC), residuals on DP, DC", Trait(d, TraitStatistic::kTE_PC, kRPE_C), -0.32630348417966337, 1e-12},
        {"ro(XE)", Comp(d, Given(K::kXE_T, d, kRTE), 0), 0.26094343549857929, 1e-12},
        {"ro(XE.T)", Comp(d, Given(K::kXE_T, d, kRTE), 1), 0.37930435998720485, 1e-12},
        {"ro(XE.T), float U and W", Observed(floatForm, d.identity)[1], 0.37930435998720485, 1e-6},
        {"ro(XE.T), float W", Observed(mixedForm, d.identity)[1], 0.37930435998720485, 1e-12},
        {"ro(XE.T), double X", Observed(doubleX, d.identity)[1], 0.37930435998720485, 1e-6},
        {"ro(XE.T), Procrustes", Observed(procrustes, d.identity)[1], 0.83963964331923024, 1e-12},
        {"ro(XE_C)", Comp(d, Given(K::kXE_TC, d, kRTE_C), 0), 0.27629224523002466, 1e-12},
        {"ro(XE.TC), residuals on DT, DC", Comp(d, Given(K::kXE_TC, d, kRTE_C), 1), 0.39890152092808057, 1e-12},
        {"ro(XE.P)", Comp(d, Given(K::kXE_P, d, kRPE), 0), 0.14919128290871486, 1e-12},
        {"ro(XE.TP), residuals on DT, DP", Comp(d, Given(K::kXE_TP, d, kRPE, kRPT, kRTE_P), 0), 0.20255229174367867,
         1e-12},
        {"ro(XE.TPC), residuals on DT, DP, DC", Comp(d, Given(K::kXE_TPC, d, kRPE_C, kRPT, kRTE_PC), 0),
         0.1971034856084066, 1e-12},
        {"ro(XP)", taxa.stat[0], 0.88745233102409993, 1e-12},
        {"ro(PT)", taxa.stat[1], 0.83792826847291013, 1e-12},
        {"ro(XP.T)", taxa.stat[2], 0.68329495768655579, 1e-12},
        {"ro(XE.T), labels 1 2 1 3 2, crisp", Observed(crisp, d.identity)[0], 0.21633301846250336, 1e-6},
        {"ro(XE.T), labels, fuzzy", Observed(fuzzy, d.identity)[0], 0.003343669902487187, 1e-6},
        {"groups of the labels", double(crisp.groups), 3, 0},
        {"R of community 1 (equivalent number of OTUs)", mantel.R[0][0], 1.5721330645714839, 1e-12},
        {"R of community 6", mantel.R[5][0], 1.4550253652215799, 1e-12},
        {"several: ro(XE)", mantel.stat[0], 0.26094343549857929, 1e-12},
        {"several: ro(TE)", mantel.stat[1], 0.031139244177606006, 1e-12},
        {"several: ro(XE.T)", mantel.stat[2], 0.37930435998720485, 1e-12},
        {"several: ro(RE)", mantel.stat[3], 0.67583371350698973, 1e-12},
        {"several: ro(XE.TR), residuals on DT, DR", mantel.stat[4], -0.18780937606607345, 1e-12},
        {"several, Procrustes: ro(XE)", procrustes2.stat[0], 0.65422338253326107, 1e-12},
        {"several, Procrustes: ro(TE)", procrustes2.stat[1], 0.61940352634905615, 1e-12},
        {"several, Procrustes: ro(RE)", procrustes2.stat[3], 0.84667337242113383, 1e-12},
    };
    for (const auto& c : cases) EXPECT_NEAR(c.got, c.want, c.tol) << c.name;
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
