// The Procrustes permutation tests on MantelData: observed congruences against R (r/procrustes.R),
// the caller's selection and S, residuals that vanish or alias, guards and texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MantelData.h"
#include "permtests/qwlibPermProcrustes.h"
#include "permtests/qwlibPermTests.h"

namespace {

// The five congruences in the order counted: TE, XE, XE.T, RE, XE.TR.
std::vector<double> Five(MantelData& d, int communities, int* select, float** B) {
    ProcrustesTraitsTest t(kOtus, kTraits, kTypes, 2, communities, select, B, d.S, d.U, d.W, d.Ef);
    t.Arrange(d.identity);
    return {t.stat, t.stat + 5};
}

// vegan::protest(symmetric = TRUE) and ade4::procuste.rtest (equal to 1e-15), the partialled ones
// on lm residuals, ade4::RV.rtest last. Single precision within 1e-6, double 1e-12.
TEST(Procrustes, ObservedCongruencesAgreeWithR) {
    MantelData d;
    ProcrustesTest te(ProcrustesStatistic::kTE, kOtus, kTraits, kComm, d.B, nullptr, d.W, d.sel, 2, d.Ef);
    ProcrustesTest xe(ProcrustesStatistic::kXE, kOtus, kTypes, kComm, nullptr, d.U, d.W, nullptr, 2, d.Ef);
    ProcrustesTraitsTest all(kOtus, kTraits, kTypes, 2, kComm, d.sel, d.B, d.S, d.U, d.W, d.Ef);
    te.Arrange(d.identity);
    xe.Arrange(d.identity);
    all.Arrange(d.identity);
    const double got[] = {te.stat[0],  xe.stat[0],  all.stat[0], all.stat[1], all.stat[2],
                          all.stat[3], all.stat[4], all.R[0][0], all.R[5][0], RVcoeff(kComm, 2, 2, all.T, d.E)};
    const double want[] = {0.61940352634905615, 0.65422338253326151, 0.6194034928908384,  0.6542233667122882,
                           0.49905392573729024, 0.82869274621564126, 0.53925481638223072, 0.36392152640554637,
                           0.31272675796430938, 0.33715087697370782};
    for (int k = 0; k < 10; k++) EXPECT_NEAR(got[k], want[k], k < 2 ? 1e-6 : 1e-12) << k;
}

TEST(Procrustes, SelectionAndSAsTheCallerExpectsAndResidualsThatVanishOrAlias) {
    MantelData d;
    std::vector<int> select(d.sel, d.sel + kTraits);  // no room for R's entry: ASan sees a write
    d.S[4][1] = 0.05f;
    double p[5];
    InitRndNumberGenerator(6);
    Prob_Procrustes_Traits(3, kTraits, select.data(), kOtus, kTypes, kComm, d.B, d.S, d.U, d.W, 2, d.Ef, &p[0], &p[1],
                           &p[2], &p[3], &p[4], false, nullptr, false);
    EXPECT_EQ(select, std::vector<int>(d.sel, d.sel + kTraits));
    EXPECT_EQ(d.S[4][1], 0.5f);  // mirrored from the upper triangle, which alone is read
    // Three communities: the two traits and R explain X and E wholly, nothing is left to compare.
    const std::vector<double> three = Five(d, 3, d.sel, d.B);
    EXPECT_TRUE(three[0] > 0.1 && three[2] == 0.0 && three[4] == 0.0);
    // A constant added to E moves nothing: every congruence compares centred configurations.
    MantelData shifted;
    for (int c = 0; c < kComm; c++) shifted.Ef[c][0] += 1e6f, shifted.Ef[c][1] += 1e6f;
    const std::vector<double> base = Five(d, kComm, d.sel, d.B), moved = Five(shifted, kComm, d.sel, d.B);
    for (int k = 0; k < 5; k++) EXPECT_NEAR(moved[k], base[k], 1e-9) << k;
    // A second trait twice the first: the same normalised column, aliased (coefficient 0).
    Mat<float> B2(kOtus, kTraits);
    for (int o = 0; o < kOtus; o++) B2[o][0] = d.B[o][0], B2[o][1] = 2 * d.B[o][0];
    int first[kTraits] = {1, 0, 0};
    const std::vector<double> aliased = Five(d, kComm, d.sel, B2), alone = Five(d, kComm, first, B2);
    EXPECT_TRUE(alone[2] > 0.01 && std::fabs(aliased[2] - alone[2]) < 1e-12 && std::fabs(aliased[4] - alone[4]) < 1e-12);
}

// Member m on n communities with it iterations, intermediate results to f.
std::vector<double> RunMember(int m, MantelData& d, int n, int it, FILE* f) {
    std::vector<double> p(m == 2 ? 5 : 1);
    if (m == 0) p[0] = Prob_ProcrustesTE(it, kOtus, kTraits, n, d.B, d.W, d.sel, 2, d.Ef, f, f, true);
    if (m == 1) p[0] = Prob_Procrustes_XE(it, kOtus, kTypes, n, d.U, d.W, 2, d.Ef, f, f, false);
    if (m == 2)
        Prob_Procrustes_Traits(it, kTraits, d.sel, kOtus, kTypes, n, d.B, d.S, d.U, d.W, 2, d.Ef, &p[0], &p[1], &p[2],
                               &p[3], &p[4], f, f, true);
    return p;
}

TEST(ProcrustesMembers, GuardsAndTexts) {
    const unsigned long untouched = DrawAfter(21, [] {});
    const std::vector<std::string> texts[3] = {
        {"\nPERMUTATION TEST FOR PROCRUSTES CONGRUENCE trace(TE)\nINTERMEDIATE RESULTS\n\nObserved trait matrix (B):\n",
         "\t\n\nObserved Procrustes trace(TE)=\t0.619404\n\n\nITERATION\t1\n", "\t\n\nIteration 1\tRandom traceTE =\t"},
        {"\nPERMUTATION TEST FOR PROCRUSTES traceW(XE)\nINTERMEDIATE RESULTS\n\nObserved belonging matrix (U):\n1\t0\t\n",
         "\t\nObserved traceXE=\t0.654223\n\n\nITERATION\t1\n", "\t\n\nIteration 1\tRandom procrustesXE =\t"},
        {"\nPERMUTATION TEST FOR PROCRUSTES traceW\nINTERMEDIATE RESULTS\n", "after S:\n0.363922\t", "\t0.312727\t\n\n"
         "Procrustes congruence observed traceW(XE):\t0.654223\n\nProcrustes congruence observed traceW(TE):\t0.619403\n"
         "\nProcrustes congruence observed traceW(XE.T):\t0.499054\n\nProcrustes congruence observed traceW(RE):\t"
         "0.828693\n\nProcrustes congruence observed traceW(XE.TR):\t0.539255\n\n\nITERATION\t1\n",
         "\tCummulative frequency for ro(XE.T)=", "\tCummulative frequency for ro(XE.TR)=", "\t\n\n\nITERATION\t2\n"}};
    for (int m = 0; m < 3; m++) {
        MantelData d;
        Scratch s;
        for (const auto& [n, it] : std::vector<std::pair<int, int>>{{1, 50}, {kComm, 1}, {kComm, -3}}) {
            std::vector<double> p;
            EXPECT_EQ(DrawAfter(21, [&] { p = RunMember(m, d, n, it, nullptr); }), untouched) << m;
            EXPECT_EQ(p, std::vector<double>(p.size(), 1.0)) << m << " " << n << " " << it;
        }
        InitRndNumberGenerator(31);
        RunMember(m, d, kComm, 3, s.f);
        const std::string out = s.Text();
        size_t at = 0;
        for (const std::string& t : texts[m]) ASSERT_NE(at = out.find(t, at), std::string::npos) << m << ": " << t;
    }
}

}  // namespace
