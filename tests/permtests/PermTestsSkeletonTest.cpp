// The skeleton the permutation tests share: the counting rule, the resemblance-option table, the
// two-community rule, the OTU list and its draws, the guards (too few communities, too few
// iterations, refused statistics), the identity counting as a tie, and the intermediate results
// of ro(TE) written out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
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

// ----------------------------------------------------------------- guards

TEST(PermTestsGuards, StatisticsNotOfferedComputeNothing) {
    // Prob_ro_Traits offers 1-3, the 20-argument Prob_ro_PE_X 1-2: otherwise P = 1, no draw, false.
    MantelData d;
    const unsigned long untouched = DrawAfter(2, [] {});
    for (const auto& refused : {std::pair<int, int>{0, 0}, {4, 3}}) {
        double p[7] = {0, 0, 0, 0, 0, 0, 0};
        bool traits = true, pex = true;
        EXPECT_EQ(DrawAfter(2, [&] {
                      traits = Prob_ro_Traits(30, kTraits, d.sel, kOtus, kTypes, 2, kComm, d.B, d.S, d.U, d.W, d.Ef, d.DE,
                                              &p[0], &p[1], &p[2], &p[3], &p[4], 6, false, nullptr, false, refused.first);
                      pex = Prob_ro_PE_X(30, kOtus, kTypes, 2, 2, kComm, d.U, d.W, kRTE, d.P, d.DT, d.E, d.DE, &p[5],
                                         &p[6], 6, false, nullptr, false, refused.second);
                  }),
                  untouched);
        EXPECT_FALSE(traits);
        EXPECT_FALSE(pex);
        for (double v : p) EXPECT_EQ(v, 1.0);
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

TEST(PermTestsEdges, ConstantStatisticsTieInEveryArrangement) {
    // Every similarity 1: every Rao entropy is 0, R = 1 everywhere, DR = 0, ro(RE) = 0 in every
    // arrangement. One label for every OTU: every arrangement rebuilds the same U.
    MantelData d;
    Mat<float> S1(kOtus, kOtus);
    S1.fill(1);
    InitRndNumberGenerator(17);
    double p[5];
    Prob_ro_Traits(30, kTraits, d.sel, kOtus, kTypes, kComm, d.B, S1, d.U, d.W, d.DE, &p[0], &p[1], &p[2], &p[3],
                   &p[4], 6, false, nullptr, false);
    EXPECT_EQ(p[3], 1.0);
    EXPECT_LT(p[1], 1.0);  // ro(TE) is tested all the same
    for (bool fuzzy : {false, true}) {
        int labels[kOtus] = {4, 4, 4, 4, 4};
        EXPECT_EQ(Prob_ro_XE_T_2(30, kOtus, 1, kComm, labels, d.S, d.Wf, 0.3f, d.DT, d.DE, 6, false, fuzzy, false, nullptr),
                  1.0f);
        for (int l : labels) EXPECT_EQ(l, 4);  // the caller's labels stay
    }
}

TEST(PermTestsEdges, SimilaritiesComeBackMirrored) {
    // The Rao entropies read S's upper triangle, copied into its lower one.
    MantelData d;
    for (int i = 0; i < kOtus; i++)
        for (int j = 0; j < i; j++) d.S[i][j] = 9;
    double p[5];
    InitRndNumberGenerator(2);
    Prob_ro_Traits(3, kTraits, d.sel, kOtus, kTypes, kComm, d.B, d.S, d.U, d.W, d.DE, &p[0], &p[1], &p[2], &p[3], &p[4],
                   6, false, nullptr, false);
    for (int i = 0; i < kOtus; i++)
        for (int j = 0; j < i; j++) EXPECT_EQ(d.S[i][j], d.S[j][i]) << i << "," << j;
}

}  // namespace
