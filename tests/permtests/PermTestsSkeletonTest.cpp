// The skeleton the permutation tests share: the counting rule, the resemblance-option table, the
// two-community rule, the OTU list and its draws, the guards (too few communities, too few
// iterations, refused statistics), the identity counting as a tie, and the intermediate results
// of ro(TE) written out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "MantelData.h"
#include "matrix/core/qwlibPermut.h"
#include "permtests/qwlibPermTests.h"
#include "traits/TNXPERMTEST.h"

namespace {

TEST(PermTestsSkeleton, CountingRuleTakesOneSinglePrecisionStepBelow) {
    const float obs = 0.3f;
    const float below1 = std::nextafter(obs, 0.0f), below2 = std::nextafter(below1, 0.0f);
    struct Case {
        double random, observed;
        bool counts;
    } cases[] = {
        {obs, obs, true},
        {std::nextafter(obs, 1.0f), obs, true},
        {below1, obs, true},   // one step below: a tie
        {below2, obs, false},  // two steps below
        {-0.3, 0.3, false},    // signs kept: upper tail only
        {0.3, -0.3, true},
        {0.3 - 1e-9, 0.3, true},  // below in double, the same single-precision value
        {-1.0, -0.5, false},
    };
    for (const Case& c : cases) EXPECT_EQ(AtLeastAsLarge(c.random, c.observed), c.counts) << c.random << " " << c.observed;
}

TEST(PermTestsSkeleton, ResemblanceOptionsTranslateToDispatcherCodes) {
    // 1, 2, 4: no coefficient; 3 cross products; 5 correlation; 6, 7 Euclidean; 8, 9 absolute
    // value function; 10 chord; anything else cross products.
    const int codes[][2] = {{-3, 1}, {0, 1}, {1, 0},  {2, 0}, {3, 1},  {4, 0},  {5, 17},
                            {6, 3},  {7, 3}, {8, 2},  {9, 2}, {10, 18}, {11, 1}};
    for (const auto& c : codes) EXPECT_EQ(TranslateReseOpt_TARNEX_ORBALD(c[0]), c[1]) << "option " << c[0];
}

TEST(PermTestsSkeleton, CommunityCorrelationByNumberOfCommunities) {
    // Upper cells: DE (1, 3, 2); A has 2 at [0][1]; the correlation of (1, 3, 2) with (2, 6, 4) is
    // 1 and with (3, 1, 2) is -1; 2 communities: 1 - |a - b| / max(|a|, |b|), with a = 1, b = -4
    // 1 - 5 / 4 = -0.25.
    Mat<double> DE{{0, 1, 3}, {9, 0, 2}, {9, 9, 0}}, up{{0, 2, 6}, {9, 0, 4}, {9, 9, 0}}, down{{0, 3, 1}, {9, 0, 2}, {9, 9, 0}};
    Mat<double> zero(3, 3), neg{{0, -4, 0}, {0, 0, 0}, {0, 0, 0}};
    struct Case {
        int n;
        double** a;
        double** b;
        double expected;
    } cases[] = {{1, DE, up, 0.0},   {2, DE, up, 0.5},    {2, DE, DE, 1.0},  {2, zero, zero, 1.0},
                 {2, DE, neg, -0.25}, {3, DE, up, 1.0},    {3, DE, down, -1.0}, {3, DE, zero, 0.0}};
    for (const Case& c : cases) EXPECT_NEAR(CommunityCorr(c.n, c.a, c.b), c.expected, 1e-15) << c.n;
}

std::vector<int> Entries(const OtuList& l, int n) { return std::vector<int>(l.Entries(), l.Entries() + n); }

TEST(PermTestsSkeleton, OccurrenceListTakesEveryPositiveCellInCommunityOrder) {
    Mat<double> W{{0, 2, 0}, {1, -999, 3}};
    OtuList list(3, 2, W, true);
    EXPECT_EQ(list.Length(), 3);
    EXPECT_EQ(Entries(list, 3), (std::vector<int>{2, 1, 3}));
    EXPECT_EQ(std::vector<int>(list.Identity(), list.Identity() + 3), (std::vector<int>{1, 2, 3}));
    OtuList plain(3, 2, W, false);
    EXPECT_EQ(plain.Length(), 3);
    EXPECT_EQ(Entries(plain, 3), (std::vector<int>{1, 2, 3}));
}

TEST(PermTestsSkeleton, DrawsFollowTheGeneratorAsTheListStands) {
    // Continued: each draw shuffles what the previous one left; fresh: a new permutation of 1..s.
    for (ListDraw how : {ListDraw::kContinued, ListDraw::kFresh}) {
        InitRndNumberGenerator(99);
        OtuList list(6);
        std::vector<std::vector<int>> got;
        for (int k = 0; k < 3; k++) {
            list.Draw(how);
            got.push_back(Entries(list, 6));
        }
        InitRndNumberGenerator(99);
        int ref[6] = {1, 2, 3, 4, 5, 6};
        for (int k = 0; k < 3; k++) {
            how == ListDraw::kFresh ? RndList(6, ref) : RndListSpecified(6, ref);
            EXPECT_EQ(got[k], std::vector<int>(ref, ref + 6)) << k;
        }
    }
}

TEST(PermTestsSkeleton, FewerOccurrencesThanOtusDrawOnlyOccurringOtus) {
    Mat<double> W{{1, 0, 0, 0}, {0, 0, 5, 0}};
    OtuList list(4, 2, W, true);
    ASSERT_EQ(list.Length(), 2);
    InitRndNumberGenerator(5);
    for (int k = 0; k < 50; k++) {
        list.Draw(ListDraw::kContinued);
        for (int i = 0; i < 4; i++) EXPECT_TRUE(list.Entries()[i] == 1 || list.Entries()[i] == 3) << i;
        EXPECT_NE(list.Entries()[0], list.Entries()[1]);  // the two occurrences, shuffled
    }
}

TEST(PermTestsSkeleton, NoOccurrenceKeepsTheIdentityAndDrawsNothing) {
    Mat<double> W{{0, -999, 0}, {-1, 0, 0}};
    OtuList list(3, 2, W, true);
    EXPECT_EQ(list.Length(), 0);
    const unsigned long drawn = DrawAfter(8, [&] { list.Draw(ListDraw::kContinued); });
    EXPECT_EQ(drawn, DrawAfter(8, [] {}));
    EXPECT_EQ(Entries(list, 3), (std::vector<int>{1, 2, 3}));
}

TEST(PermTestsSkeleton, TraitMeansAreTheProductOverSelectedTraits) {
    // W (3 x 1) = (1, 2, 4), B = (1, 2, 5), third trait not selected: T = (1, 2; 2, 4; 4, 8; 0),
    // unit columns (1, 2, 4) / sqrt(21); a column of zeros stays zero.
    Mat<double> W{{1}, {2}, {4}};
    Mat<float> B{{1, 2, 5}};
    int sel[3] = {1, 1, 7}, id[1] = {1};
    const double r21 = std::sqrt(21.0);
    for (bool normalise : {false, true}) {
        TraitMeans<double> m(1, 3, 3, B, W, sel, normalise, 3);
        m.Arrange(id);
        const double k1 = normalise ? r21 : 1.0, k2 = normalise ? 2 * r21 : 1.0;
        ExpectCells(m.T, {{1 / k1, 2 / k2, 0}, {2 / k1, 4 / k2, 0}, {4 / k1, 8 / k2, 0}}, 1e-7);
        // Euclidean distance between rows 0 and 2.
        EXPECT_NEAR(m.DT[0][2], std::hypot(3 / k1, 6 / k2), 1e-6);
    }
}

// ----------------------------------------------------------------- guards

// Every member on the data of MantelData, with a number of communities and iterations; returns
// the probabilities it gives.
struct Member {
    const char* name;
    std::function<std::vector<double>(MantelData&, int n, int it, FILE* f)> run;
};

std::vector<Member> Members() {
    return {
        {"Prob_roTE",
         [](MantelData& d, int n, int it, FILE* f) {
             return std::vector<double>{Prob_roTE(it, kOtus, kTraits, n, d.B, d.W, d.DE, d.sel, 6, f != nullptr, f, false)};
         }},
        {"Prob_roTE_C",
         [](MantelData& d, int n, int it, FILE* f) {
             return std::vector<double>{Prob_roTE_C(it, kOtus, kTraits, n, d.B, d.W, d.DE, d.DC, d.sel, 6, f != nullptr, f, true)};
         }},
        {"Prob_roTE_P",
         [](MantelData& d, int n, int it, FILE* f) {
             return std::vector<double>{Prob_roTE_P(it, kOtus, kTraits, n, d.B, d.W, kRPE, d.DE, d.DP, d.sel, 6, f != nullptr, f)};
         }},
        {"Prob_roTE_PC",
         [](MantelData& d, int n, int it, FILE* f) {
             return std::vector<double>{
                 Prob_roTE_PC(it, kOtus, kTraits, n, d.B, d.W, kRPE_C, d.DE, d.DC, d.DP, d.sel, 6, f != nullptr, f, false)};
         }},
        {"Prob_ro_XE_T",
         [](MantelData& d, int n, int it, FILE* f) {
             std::vector<double> p(2);
             EXPECT_TRUE(Prob_ro_XE_T(it, kOtus, kTypes, n, d.U, d.W, kRTE, d.DT, d.DE, &p[0], &p[1], 6, f != nullptr, f));
             return p;
         }},
        {"Prob_ro_PE_X",
         [](MantelData& d, int n, int it, FILE* f) {
             std::vector<double> p(2);
             EXPECT_TRUE(Prob_ro_PE_X(it, kOtus, kTypes, 2, 2, n, d.U, d.W, kRTE, d.P, d.DT, d.E, d.DE, &p[0], &p[1],
                                      6, f, f, false, 2));
             return p;
         }},
        {"Prob_ro_XE_TC",
         [](MantelData& d, int n, int it, FILE* f) {
             std::vector<double> p(2);
             Prob_ro_XE_TC(it, kOtus, kTypes, n, d.U, d.W, kRTE_C, d.DT, d.DE, d.DC, &p[0], &p[1], 6, f != nullptr, f, true);
             return p;
         }},
        {"Prob_ro_XE_P",
         [](MantelData& d, int n, int it, FILE* f) {
             return std::vector<double>{Prob_ro_XE_P(it, kOtus, kTypes, n, d.U, d.W, kRPE, d.DE, d.DP, 6, f != nullptr, f, false)};
         }},
        {"Prob_ro_XE_TP",
         [](MantelData& d, int n, int it, FILE* f) {
             return std::vector<double>{
                 Prob_ro_XE_TP(it, kOtus, kTypes, n, d.U, d.W, kRPE, kRPT, kRTE_P, d.DT, d.DE, d.DP, 6, f != nullptr, f)};
         }},
        {"Prob_ro_XE_TPC",
         [](MantelData& d, int n, int it, FILE* f) {
             return std::vector<double>{Prob_ro_XE_TPC(it, kOtus, kTypes, n, d.U, d.W, kRPE_C, kRPT, kRTE_PC, d.DT,
                                                       d.DE, d.DC, d.DP, 6, f != nullptr, f, false)};
         }},
        {"Prob_ro_Traits",
         [](MantelData& d, int n, int it, FILE* f) {
             std::vector<double> p(5);
             EXPECT_TRUE(Prob_ro_Traits(it, kTraits, d.sel, kOtus, kTypes, n, d.B, d.S, d.U, d.W, d.DE, &p[0], &p[1],
                                        &p[2], &p[3], &p[4], 6, f != nullptr, f, true));
             return p;
         }},
        {"Prob_ro_XE_T_2",
         [](MantelData& d, int n, int it, FILE* f) {
             Mat<float> Wf(kComm, kOtus);
             Copy(d.W, Wf);
             int labels[kOtus] = {1, 2, 1, 3, 2};
             return std::vector<double>{
                 Prob_ro_XE_T_2(it, kOtus, 1, n, labels, d.S, Wf, float(kRTE), d.DT, d.DE, 6, false, true, f != nullptr, f)};
         }},
        {"Prob_ro_PX_T",
         [](MantelData& d, int n, int it, FILE* f) {
             std::vector<double> p(3);
             Prob_ro_PX_T(it, kOtus, kTypes, n, d.U, d.Q, d.W, d.DT, &p[0], &p[1], &p[2], 6, f != nullptr, f, true);
             return p;
         }},
    };
}

TEST(PermTestsGuards, OneCommunityGivesProbabilityOneAndDrawsNothing) {
    const unsigned long untouched = DrawAfter(21, [] {});
    for (const Member& m : Members()) {
        MantelData d;
        Scratch s;
        std::vector<double> p;
        EXPECT_EQ(DrawAfter(21, [&] { p = m.run(d, 1, 50, s.f); }), untouched) << m.name;
        for (double v : p) EXPECT_EQ(v, 1.0) << m.name;
        EXPECT_EQ(s.Text(), "") << m.name;
    }
}

TEST(PermTestsGuards, OneIterationOrFewerGiveProbabilityOneAndDrawNothing) {
    const unsigned long untouched = DrawAfter(4, [] {});
    for (const Member& m : Members())
        for (int it : {1, 0, -3}) {
            MantelData d;
            std::vector<double> p;
            EXPECT_EQ(DrawAfter(4, [&] { p = m.run(d, kComm, it, nullptr); }), untouched) << m.name;
            for (double v : p) EXPECT_EQ(v, 1.0) << m.name << " " << it;
        }
}

TEST(PermTestsGuards, ProbabilitiesAreCountsOverIterations) {
    // 2 to 7 iterations: every probability is k / iterations with 1 <= k <= iterations.
    for (const Member& m : Members())
        for (int it = 2; it <= 7; it++) {
            MantelData d;
            InitRndNumberGenerator(it);
            for (double v : m.run(d, kComm, it, nullptr)) {
                const double k = v * it;
                EXPECT_NEAR(k, std::round(k), 1e-5) << m.name;
                EXPECT_GE(k, 1.0 - 1e-9) << m.name;
                EXPECT_LE(k, it + 1e-9) << m.name;
            }
        }
}

TEST(PermTestsGuards, StatisticsNotOfferedComputeNothing) {
    MantelData d;
    Mat<float> Ef(kComm, 2);
    Copy(d.E, Ef);
    const unsigned long untouched = DrawAfter(2, [] {});
    for (int statistic : {0, 4}) {
        double p[5] = {0, 0, 0, 0, 0};
        bool ok = true;
        EXPECT_EQ(DrawAfter(2, [&] {
                      ok = Prob_ro_Traits(30, kTraits, d.sel, kOtus, kTypes, 2, kComm, d.B, d.S, d.U, d.W, Ef, d.DE,
                                          &p[0], &p[1], &p[2], &p[3], &p[4], 6, false, nullptr, false, statistic);
                  }),
                  untouched);
        EXPECT_FALSE(ok);
        for (double v : p) EXPECT_EQ(v, 1.0);
    }
    for (int statistic : {0, 3}) {
        double p[2] = {0, 0};
        bool ok = true;
        EXPECT_EQ(DrawAfter(2, [&] {
                      ok = Prob_ro_PE_X(30, kOtus, kTypes, 2, 2, kComm, d.U, d.W, kRTE, d.P, d.DT, d.E, d.DE, &p[0],
                                        &p[1], 6, false, nullptr, false, statistic);
                  }),
                  untouched);
        EXPECT_FALSE(ok);
        EXPECT_EQ(p[0], 1.0);
        EXPECT_EQ(p[1], 1.0);
    }
}

TEST(PermTestsGuards, OptionsWithoutCoefficientTieEveryArrangement) {
    // Options 1, 2, 4 leave DT and DX zero: every correlation is 0, every arrangement ties.
    // Options outside 1-10 are cross products, as option 3.
    MantelData d;
    InitRndNumberGenerator(6);
    for (int opt : {1, 2, 4}) {
        EXPECT_EQ(Prob_roTE(40, kOtus, kTraits, kComm, d.B, d.W, d.DE, d.sel, opt, false, nullptr, false), 1.0) << opt;
        double pXE = 0, pXE_T = 0;
        Prob_ro_XE_T(40, kOtus, kTypes, kComm, d.U, d.W, kRTE, d.DT, d.DE, &pXE, &pXE_T, opt, false, nullptr, false);
        EXPECT_EQ(pXE, 1.0) << opt;
    }
    InitRndNumberGenerator(6);
    const double cross = Prob_roTE(40, kOtus, kTraits, kComm, d.B, d.W, d.DE, d.sel, 3, false, nullptr, false);
    EXPECT_LT(cross, 1.0);
    for (int opt : {0, 11, -3}) {
        InitRndNumberGenerator(6);
        EXPECT_EQ(Prob_roTE(40, kOtus, kTraits, kComm, d.B, d.W, d.DE, d.sel, opt, false, nullptr, false), cross) << opt;
    }
}

TEST(PermTestsGuards, IdentityWithMissingPerformanceCountsAsTie) {
    // One OTU: every arrangement is the identity. A -999 performance (its term skipped, the sum
    // 0) must give the random X the observed X, never a -999 mark.
    Mat<double> U{{0.1, 0.7}}, W{{1}, {-999}, {3}, {2}};
    Mat<double> DT{{0, 1, 2, 4}, {0, 0, 3, 1}, {0, 0, 0, 2}, {0, 0, 0, 0}}, DE{{0, 2, 1, 3}, {0, 0, 5, 1}, {0, 0, 0, 4}, {0, 0, 0, 0}};
    InitRndNumberGenerator(1);
    for (bool weighted : {false, true}) {
        double pXE = 0, pXE_T = 0;
        Prob_ro_XE_T(25, 1, 2, 4, U, W, 0.2, DT, DE, &pXE, &pXE_T, 6, false, nullptr, weighted);
        EXPECT_EQ(pXE, 1.0);
        EXPECT_EQ(pXE_T, 1.0);
    }
}

TEST(PermTestsGuards, SameStatisticGivesSameProbabilityWhateverTheForm) {
    // The 16-argument ro(TE.P) ignores its third and fourth arguments; the 15-argument
    // Prob_ro_PE_X is the double Prob_ro_XE_T; float and double W give the same ro(TE).
    MantelData d;
    Mat<float> Wf(kComm, kOtus);
    Copy(d.W, Wf);
    auto twice = [](std::function<double()> a, std::function<double()> b) {
        InitRndNumberGenerator(12);
        const double x = a();
        InitRndNumberGenerator(12);
        EXPECT_EQ(x, b());
    };
    twice([&] { return Prob_roTE_P(60, kOtus, kTraits, kComm, d.B, d.W, kRPE, d.DE, d.DP, d.sel, 6, false, nullptr, true); },
          [&] {
              return Prob_roTE_P(60, kOtus, nullptr, 17, kTraits, kComm, d.B, d.W, kRPE, d.DE, d.DP, d.sel, 6, false,
                                 nullptr, true);
          });
    twice([&] { return Prob_roTE(60, kOtus, kTraits, kComm, d.B, d.W, d.DE, d.sel, 6, false, nullptr, false); },
          [&] { return Prob_roTE(60, kOtus, kTraits, kComm, d.B, Wf, d.DE, d.sel, 6, false, nullptr, false, true); });
    twice(
        [&] {
            double a, b;
            Prob_ro_XE_T(60, kOtus, kTypes, kComm, d.U, d.W, kRTE, d.DT, d.DE, &a, &b, 6, false, nullptr, true);
            return a + 10 * b;
        },
        [&] {
            double a, b;
            Prob_ro_PE_X(60, kOtus, kTypes, kComm, d.U, d.W, kRTE, d.DT, d.DE, &a, &b, 6, false, nullptr, true);
            return a + 10 * b;
        });
}

// ----------------------------------------------------------------- intermediate results

TEST(PermTestsTexts, RoTEWithOneOtuWrittenOutByHand) {
    // W = (1, 2, 4), B = (1, 2): T has the column (1, 2, 4) / sqrt(21) twice (0.218218, 0.436436,
    // 0.872872); the distances are sqrt(2) times the differences (0.308607, 0.92582, 0.617213),
    // proportional to DE's upper cells (1, 3, 2): ro(TE) = 1, and the one arrangement ties.
    Mat<double> W{{1}, {2}, {4}}, DE{{0, 1, 3}, {9, 0, 2}, {9, 9, 0}};
    Mat<float> B{{1, 2}};
    int sel[2] = {1, 1};
    Scratch s;
    EXPECT_EQ(Prob_roTE(2, 1, 2, 3, B, W, DE, sel, 6, true, s.f, false), 1.0);
    EXPECT_EQ(s.Text(),
              "\nPERMUTATION TEST FOR MATRIX CORRELATION ro(TE)\nINTERMEDIATE RESULTS\n"
              "\nObserved trait matrix (B):\n1\t2\t\n"
              "\nMatrix W (3 communities by 1 OTUs):\n1\t\n2\t\n4\t\n"
              "\nResemblance matrix DE between 3 communities (base don matrix E of ecological variables by "
              "communities):\n0\t\n1\t0\t\n3\t2\t0\t\n"
              "\nObserved ro(TE)=\t1\n"
              "\n\nITERATION\t1\nPermuted trait matrix (Brnd):\n1\t2\t\n"
              "\nOrder of original OTUs in permuted traits matrix Brnd:\t1\t\n"
              "\n\nMatrix Trnd (3 communities by 2 traits) generated after Brnd (Trnd = W x Brnd):\n"
              "0.218218\t0.218218\t\n0.436436\t0.436436\t\n0.872872\t0.872872\t\n"
              "\nResemblance matrix DT between 3 communities:\n0\t\n0.308607\t0\t\n0.92582\t0.617213\t0\t\n"
              "\nIteration 1\tRandom ro(TE) =\t1\tCummulative frequency for ro(TE)=2\n");
    // DE printed through its transpose and restored.
    ExpectCells(DE, {{0, 1, 3}, {9, 0, 2}, {9, 9, 0}}, 0);
}

}  // namespace

namespace {

// Each member's own texts, in the order written (values from r/mantel_family.R at 6 digits).
const std::map<std::string, std::vector<std::string>> kTexts = {
    {"Prob_roTE_C",
     {"ro(TE)\n", "(base don matrix E", "\nResemblance matrix DC between 6 communities (based on matrix of ecological "
      "covariables by communities):\n", "\nObserved ro(TE)=\t0.03562", "\tRandom ro(TE) =\t"}},
    {"Prob_roTE_P",
     {"\nPERMUTATION TEST FOR PARTIAL MATRIX CORRELATION ro(TE.P)\n", "\nResemblance matrix DP between 6 communities "
      "(based on matrix P of OTUs by communities weighted by phylogeny):\n", "(base don matrix E",
      "\nMatrix correlation between DP and DE:\t0.218425\n", "\nObserved ro(TE.P)=\t-0.285176\n",
      "Cummulative frequency for ro(TE.P)="}},
    {"Prob_roTE_PC",
     {"ro(TE.P)\n", "\nResemblance matrix DP", "(base don matrix E", "\nResemblance matrix DC between 6 communities "
      "(based on matrix of ecological covariable(s) by communities):\n",
      "\nPartial matrix correlation between DP and DE controlling DC:\t0.240082\n", "\nObserved ro(TE.P)=\t-0.326303\n",
      "\tRandom ro(TE.P) =\t"}},
    {"Prob_ro_XE_T",
     {"\nPERMUTATION TEST FOR PARTIAL CORRELATION ro(XE.T)\nINTERMEDIATE RESULTS\n\nObserved belonging matrix (U):\n1\t0\t\n"
      "0.8\t0.2\t\n", "\nMatrix W (6 communities by 5 OTUs):\n3\t1\t0\t0\t2\t\n", "(based on matrix T of traits",
      "(base don matrix E", "\nMatrix correlation between DT and DE:\t0.0311392\n\nObserved ro(XT)=\t",
      "Observed ro(XE)=\t0.260943\nObserved ro(XE.T)=\t0.379304\n", "\n\nITERATION\t1\nPermuted belonging matrix (Urnd):\n",
      "\nOrder of original OTUs in permuted belongin matrix Urnd:\t", "\n\nMatrix Xrnd (6 communities by 2 PFTs) "
      "generated after Urnd (Xrnd = W x Urnd):\n", "\nResemblance matrix DX between 6 communities:\n",
      "\nIteration 1\tRandom ro(XT) =\t", "\tCummulative frequency for ro(XE)=", "\tCummulative frequency for ro(XE.T)="}},
    {"Prob_ro_PE_X", {"ro(XE.T)\n", "(6 communities by 5 OTUs)", "\n:Procrustes correlation between T and E:\t0.0311392\n"
                      "\nObserved ro(XT)=\t", "Observed ro(XE.T)=\t", "Urnd:\t"}},
    {"Prob_ro_XE_TC",
     {"ro(XE.T)\n", "(base don matrix E", "covariables by communities):\n", "\nPartial matrix correlation between DT and DE "
      "removing DC:\t0.0356254\n\nObserved ro(XT)=\t", "Observed ro(XE)=\t0.276292\nObserved ro(XE.T)=\t0.398902\n",
      "\nIteration 1\tRandom ro(XT_C) =\t", "\tRandom ro(XE_C) =\t", "\tRandom ro(XE.TC) =\t",
      "\tCummulative frequency for ro(XE_C)=", "\tCummulative frequency for ro(XE.TC)="}},
    {"Prob_ro_XE_P",
     {"\nPERMUTATION TEST FOR PARTIAL CORRELATION ro(XE.TP)\n", "(based on matrix E", "(based on matrix P of taxons weighted "
      "by phylogeny by communities):\n", "\nMatrix correlation between DP and DE:\t0.218425\nObserved ro(XE)=\t0.260943\n"
      "Observed ro(XP)=\t", "Observed ro(XE.P)=\t0.149191\n", "\nIteration 1\tRandom ro(XE) =\t", "\tRandom ro(XE.P) =\t",
      "\tCummulative frequency="}},
    {"Prob_ro_XE_TP",
     {"ro(XE.TP)\n", "(based on matrix T", "(based on matrix E", "taxons weighted by phylogeny by communities):\n",
      "\nMatrix correlation between DP and DE:\t0.218425\n\nMatrix correlation between DP and DT:\t0.837928\n"
      "\nMatrix correlation between DT and DE, removing DP:\t-0.285176\n\nObserved ro(XT)=\t",
      "Observed ro(XE.P)=\t0.149191\nObserved ro(XT.P)=\t", "Observed ro(XE.TP)=\t0.202552\n", "\tRandom ro(XT.P) =\t",
      "\tRandom ro(XE.TP) =\t"}},
    {"Prob_ro_XE_TPC",
     {"ro(XE.TP)\n", "(based on matrix E", "covariables by communities):\n", "(based on matrix P of taxons, weighted by "
      "phylogeny, by communities):\n", "\nPartial matrix correlation between DP and DE, removing DC:\t0.240082\n"
      "\nMatrix correlation between DP and DT:\t0.837928\n\nPartial matrix correlation between DT and DE, removing DP "
      "and DC:\t-0.326303\n\nObserved ro(XT_C)=\t", "Observed ro(XP_C)=\t", "Observed ro(XT.PC)=\t",
      "Observed ro(XE.TPC)=\t0.197103\n", "\tRandom ro(XE.PC) =\t", "\tRandom ro(XE.TPC) =\t"}},
    {"Prob_ro_Traits",
     {"\nPERMUTATION TEST FOR MATRIX CORRELATIONS ro(XE), ro(TE) AND ro(RE), AND PARTIAL MATRIX CORRELATIONS ro(XE.T), "
      "ro(XE.TR)\n", "\n\nMatrix T (comunity weighted means traits in 6 communities by 3 traits) computed after B (T = W "
      "x B):\n", "(base don matrix E", "\nMatrix correlation between DT and DE:\t0.0311392\n\nObserved belonging matrix "
      "(U):\n", "Observed ro(XE.T)=\t0.379304\n\nObserved similarity matrix (S) between OTUs, based on the traits:\n:1\t",
      "\n\nRao entropy vector R (6 communities) computed after S and expressed as equivalent number of OTUs (Brell "
      "2007):\n1.57213\t", "\nResemblance matrix DR comparing communities based on their Rao entropy: \n", "\n\n\nITERATION\t1\n",
      "Random ro(TE) =\t", "Random ro(XE.T) =\t", "\n\nITERATION\t1\nPermuted similarity matrix (Srnd):\n",
      "\nOrder of original OTUs in permuted similarity matrix Srnd:\t", "Rao entropy vector Rrnd (6 communities) generated "
      "after Srnd and expressed", "\nResemblance matrix DR between 6 communities:\n", "\tRandom ro(XE.TR) =\t",
      "\tCummulative frequency for ro(XE.TR)="}},
    {"Prob_ro_XE_T_2",
     {"\nObserved vector with crisp belonging of OTUs to groups:\n1\t2\t1\t3\t2\t\n\nObserved belonging matrix (U):\n",
      "\nMatrix correlation between DT and DE:\t0.0311392\n\nObserved ro(XT)=\t", "\n\nITERATION\t1\n\nPermuted vector "
      "with crisp belonging of OTUs to groups:\n", "Permuted belonging matrix (Urnd):\n", "(6 communities by 3 PFTs)",
      "\tRandom ro(XE.T) =\t", "\tCummulative frequency="}},
    {"Prob_ro_PX_T",
     {"\nPERMUTATION TEST FOR PARTIAL CORRELATION ro(XP.T) (correlation of PSAP to TDAP)\n", "\nObserved belonging matrix "
      "based on traits(U):\n", "\nObserved belonging matrix based on phylogeny(Q):\n", "\nResemblance matrix DX between "
      "6 communities:\n", "Observed ro(XP)=\t0.887452\n\nObserved ro(XT)=\t", "Observed ro(PT)=\t0.837928\n"
      "Observed ro(XP.T)=\t0.683295\n", "Permuted belonging matrix based on plylogenetic similarities (Qrnd):\n",
      "\nOrder of original OTUs in permuted belongin matrices Urnd and Qrnd:\t", "(Xrnd = W x Qrnd):\n",
      "\nResemblance matrix DP between 6 communities:\n", "\nIteration 1\nRandom ro(PX) =\t", "\nRandom ro(PT) =\t",
      "\n ro(XT) =\t", "\nRandom ro(PX.T) =\t"}},
};

TEST(PermTestsTexts, EveryMemberWritesItsTextsInOrder) {
    for (const Member& m : Members()) {
        const auto texts = kTexts.find(m.name);
        if (texts == kTexts.end()) continue;  // ro(TE): written out whole above
        MantelData d;
        Scratch s;
        InitRndNumberGenerator(3);
        m.run(d, kComm, 2, s.f);
        const std::string out = s.Text();
        size_t at = 0;
        for (const std::string& t : texts->second) {
            const size_t next = out.find(t, at);
            EXPECT_NE(next, std::string::npos) << m.name << ": " << t;
            if (next != std::string::npos) at = next + t.size();
        }
        // Procrustes computes no resemblance of X.
        if (m.name == std::string("Prob_ro_PE_X")) EXPECT_EQ(out.find("Resemblance matrix DX"), std::string::npos);
    }
}

}  // namespace

namespace {

// The OTU orders of the iteration blocks, as written.
std::vector<std::string> Orders(const std::string& out) {
    std::vector<std::string> orders;
    for (size_t at = out.find("Order of original OTUs"); at != std::string::npos;
         at = out.find("Order of original OTUs", at + 1)) {
        const size_t from = out.find(":\t", at) + 2;
        orders.push_back(out.substr(from, out.find('\n', from) - from));
    }
    return orders;
}

TEST(PermTestsDraws, EachFormDrawsItsOwnKindOfList) {
    MantelData d;
    Mat<float> Uf(kOtus, kTypes), Wf(kComm, kOtus);
    Copy(d.U, Uf);
    Copy(d.W, Wf);
    double a, b;
    // Fresh lists take no weighted model; the continued ones are weighted where the flag is set.
    const struct {
        const char* name;
        ListDraw how;
        bool weighted;
        std::function<bool(FILE*, bool)> run;
    } forms[] = {
        {"float, 14", ListDraw::kFresh, false,
         [&](FILE* f, bool) { return Prob_ro_XE_T(4, kOtus, kTypes, kComm, Uf, Wf, 0.5f, d.DT, d.DE, &a, &b, 6, true, f); }},
        {"float, 15", ListDraw::kContinued, true,
         [&](FILE* f, bool w) {
             return Prob_ro_XE_T(4, kOtus, kTypes, kComm, Uf, Wf, 0.5f, d.DT, d.DE, &a, &b, 6, true, f, w);
         }},
        {"double, 14", ListDraw::kFresh, false,
         [&](FILE* f, bool) { return Prob_ro_XE_T(4, kOtus, kTypes, kComm, d.U, d.W, 0.5, d.DT, d.DE, &a, &b, 6, true, f); }},
        {"double, 15", ListDraw::kContinued, false,
         [&](FILE* f, bool w) {
             return Prob_ro_XE_T(4, kOtus, kTypes, kComm, d.U, d.W, 0.5, d.DT, d.DE, &a, &b, 6, true, f, w);
         }},
        {"double U, float W", ListDraw::kContinued, true,
         [&](FILE* f, bool w) {
             return Prob_ro_XE_T(4, kOtus, kTypes, kComm, d.U, Wf, 0.5, d.DT, d.DE, &a, &b, 6, true, f, w);
         }},
        {"XE_TC", ListDraw::kContinued, true,
         [&](FILE* f, bool w) {
             return Prob_ro_XE_TC(4, kOtus, kTypes, kComm, d.U, d.W, 0.5, d.DT, d.DE, d.DC, &a, &b, 6, true, f, w);
         }},
        {"PE_X, 20", ListDraw::kContinued, true,
         [&](FILE* f, bool w) {
             return Prob_ro_PE_X(4, kOtus, kTypes, 2, 2, kComm, d.U, d.W, kRTE, d.P, d.DT, d.E, d.DE, &a, &b, 6, true,
                                 f, w, 1);
         }},
        {"TE_P, 13", ListDraw::kFresh, false,
         [&](FILE* f, bool) {
             Prob_roTE_P(4, kOtus, kTraits, kComm, d.B, d.W, kRPE, d.DE, d.DP, d.sel, 6, true, f);
             return true;
         }},
        {"TE_P, 16", ListDraw::kContinued, true,
         [&](FILE* f, bool w) {
             Prob_roTE_P(4, kOtus, nullptr, 0, kTraits, kComm, d.B, d.W, kRPE, d.DE, d.DP, d.sel, 6, true, f, w);
             return true;
         }},
        {"XE_TP, 15", ListDraw::kFresh, false,
         [&](FILE* f, bool) {
             Prob_ro_XE_TP(4, kOtus, kTypes, kComm, d.U, d.W, kRPE, kRPT, kRTE_P, d.DT, d.DE, d.DP, 6, true, f);
             return true;
         }},
        {"XE_TP, 16", ListDraw::kContinued, true,
         [&](FILE* f, bool w) {
             Prob_ro_XE_TP(4, kOtus, kTypes, kComm, d.U, d.W, kRPE, kRPT, kRTE_P, d.DT, d.DE, d.DP, 6, true, f, w);
             return true;
         }},
    };
    for (const auto& form : forms) {
        Scratch s;
        InitRndNumberGenerator(31);
        EXPECT_TRUE(form.run(s.f, form.weighted)) << form.name;
        const std::vector<std::string> orders = Orders(s.Text());
        ASSERT_EQ(orders.size(), 3u) << form.name;
        InitRndNumberGenerator(31);
        OtuList ref(kOtus, kComm, d.W, form.weighted);
        for (const std::string& order : orders) {
            ref.Draw(form.how);
            std::string want;
            for (int o : Entries(ref, kOtus)) want += std::to_string(o) + "\t";
            EXPECT_EQ(order, want) << form.name;
        }
    }
}

}  // namespace

namespace {

TEST(PermTestsEdges, ConstantStatisticsTieInEveryArrangement) {
    // Every similarity 1: every Rao entropy is 0, R = 1 everywhere, DR = 0, ro(RE) = 0 in every
    // arrangement. One label for every OTU: every arrangement rebuilds the same U.
    MantelData d;
    Mat<float> S1(kOtus, kOtus), Wf(kComm, kOtus);
    S1.fill(1);
    Copy(d.W, Wf);
    InitRndNumberGenerator(17);
    double p[5];
    Prob_ro_Traits(30, kTraits, d.sel, kOtus, kTypes, kComm, d.B, S1, d.U, d.W, d.DE, &p[0], &p[1], &p[2], &p[3],
                   &p[4], 6, false, nullptr, false);
    EXPECT_EQ(p[3], 1.0);
    EXPECT_LT(p[1], 1.0);  // ro(TE) is tested all the same
    for (bool fuzzy : {false, true}) {
        int labels[kOtus] = {4, 4, 4, 4, 4};
        EXPECT_EQ(Prob_ro_XE_T_2(30, kOtus, 1, kComm, labels, d.S, Wf, 0.3f, d.DT, d.DE, 6, false, fuzzy, false, nullptr),
                  1.0f);
        for (int l : labels) EXPECT_EQ(l, 4);  // the caller's labels stay
    }
}

TEST(PermTestsEdges, SimilaritiesComeBackMirroredAndTheFixedCorrelationStays) {
    // S's upper triangle is copied into its lower one; r(XT) of the taxa test never changes.
    MantelData d;
    for (int i = 0; i < kOtus; i++)
        for (int j = 0; j < i; j++) d.S[i][j] = 9;
    double p[5];
    InitRndNumberGenerator(2);
    Prob_ro_Traits(3, kTraits, d.sel, kOtus, kTypes, kComm, d.B, d.S, d.U, d.W, d.DE, &p[0], &p[1], &p[2], &p[3], &p[4],
                   6, false, nullptr, false);
    for (int i = 0; i < kOtus; i++)
        for (int j = 0; j < i; j++) EXPECT_EQ(d.S[i][j], d.S[j][i]) << i << "," << j;
    Scratch s;
    Prob_ro_PX_T(6, kOtus, kTypes, kComm, d.U, d.Q, d.W, d.DT, &p[0], &p[1], &p[2], 6, true, s.f, true);
    const std::string out = s.Text();
    const size_t obs = out.find("\nObserved ro(XT)=\t") + 18;
    const std::string xt = out.substr(obs, out.find('\n', obs) - obs);
    int lines = 0;
    for (size_t at = out.find("\n ro(XT) =\t"); at != std::string::npos; at = out.find("\n ro(XT) =\t", at + 1), lines++)
        EXPECT_EQ(out.substr(at + 11, xt.size() + 1), xt + "\n");
    EXPECT_EQ(lines, 5);
}

}  // namespace
