// The machinery of the trait-subset searches: the order and count of the subsets, the top
// list, the per-size records, the small vector routines, whole files, the fast r(TE).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "foundation/qwlibDim.h"
#include "session/session_fixture.h"
#include "statistics/qwlibRes.h"
#include "traits/TNXCHORD.h"
#include "traits/TNXCHORDCommon.h"
#include "traits/TNXCHORDSearch.h"
#include "traits/TNXCOMRESE.h"

namespace {

using chrank::Enumeration;
using chrank::Rank;
using chrank::TopList;

std::vector<std::vector<int>> Enumerated(const std::vector<int>& eligible, int kMin, int kMax,
                                         std::vector<int>* changed = nullptr) {
    std::vector<std::vector<int>> out;
    Enumeration en(eligible, kMin, kMax);
    en.Run(
        [&](const int* t, int k, int c) {
            out.emplace_back(t, t + k);
            if (changed) changed->push_back(c);
        },
        [](int) {});
    return out;
}

TEST(ChRankEnumeration, LexicographicOrderOfEachSizeOverTheEligibleTraits) {
    // Four traits, pairs: {1,2} {1,3} {1,4} {2,3} {2,4} {3,4} (0-based here), each with the
    // first position that differs from the previous subset of the size.
    std::vector<int> changed;
    EXPECT_EQ(Enumerated({0, 1, 2, 3}, 2, 2, &changed),
              (std::vector<std::vector<int>>{{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}}));
    EXPECT_EQ(changed, (std::vector<int>{0, 1, 1, 0, 1, 0}));
    // Traits 1 and 3 excluded: the subsets of {0, 2, 4} of sizes 2 and 3, sizes below the
    // minimum neither enumerated nor counted.
    Enumeration en({0, 2, 4}, 2, 5);
    EXPECT_EQ(en.Total(), 4);
    EXPECT_EQ(en.KMax(), 3);
    EXPECT_EQ(Enumerated({0, 2, 4}, 2, 5), (std::vector<std::vector<int>>{{0, 2}, {0, 4}, {2, 4}, {0, 2, 4}}));
    // Seven traits, every size: each of the 127 subsets once, ascending.
    std::vector<int> seen(128, 0);
    for (const auto& s : Enumerated({0, 1, 2, 3, 4, 5, 6}, 1, 7)) {
        unsigned mask = 0;
        for (size_t i = 0; i < s.size(); i++) mask |= 1u << s[i];
        EXPECT_TRUE(std::is_sorted(s.begin(), s.end()));
        seen[mask]++;
    }
    EXPECT_EQ(seen[0], 0);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 127);
}

TEST(ChRankEnumeration, ExactSixtyFourBitCounts) {
    // All sizes of 40 traits: 2^40 - 1 subsets, beyond any 32-bit counter; 24 traits give
    // 2^24 - 1, which the double factorial ratio no longer counts exactly; C(24, 12) = 2704156.
    std::vector<int> forty(40);
    for (int i = 0; i < 40; i++) forty[i] = i;
    const std::vector<int> twentyFour(forty.begin(), forty.begin() + 24);
    EXPECT_EQ(Enumeration(forty, 1, 40).Total(), (int64_t{1} << 40) - 1);
    EXPECT_EQ(Enumeration(twentyFour, 1, 24).Total(), (int64_t{1} << 24) - 1);
    EXPECT_EQ(Enumeration(twentyFour, 12, 12).Total(), 2704156);
}

std::vector<double> Values(const TopList& top) {
    std::vector<double> v;
    for (int i = top.Size() - 1; i >= 1; i--)
        if (!top.Slot(i).traits.empty()) v.push_back(top.Slot(i).value);
    return v;
}

TEST(ChRankTopList, SignedListKeepsTheBestInDescendingOrderAndRefusesNonPositive) {
    TopList top(100, 0.0, Rank::kSigned, false);
    const int t[] = {3};
    EXPECT_TRUE(top.Offer(0.5, 2, t, 1));
    EXPECT_FALSE(top.Offer(0.0, 2, t, 1));   // does not beat an empty slot's 0
    EXPECT_FALSE(top.Offer(-0.7, 2, t, 1));
    EXPECT_TRUE(top.Offer(0.9, 4, t, 1));
    EXPECT_TRUE(top.Offer(0.1, 5, t, 1));
    EXPECT_EQ(Values(top), (std::vector<double>{0.9, 0.5, 0.1}));
    EXPECT_EQ(top.Slot(100).groups, 4);
    EXPECT_EQ(top.Slot(100).traits, (std::vector<int>{3}));
}

TEST(ChRankTopList, HoldsTheHundredBestOnceFull) {
    TopList top(100, 0.0, Rank::kSigned, false);
    std::vector<double> offered;
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> u(0.001, 1.0);
    for (int i = 0; i < 400; i++) {
        const double v = u(gen);
        offered.push_back(v);
        const int t[] = {i % 7, 7 + i % 3};
        top.Offer(v, 0, t, 2);
    }
    std::sort(offered.rbegin(), offered.rend());
    offered.resize(100);
    EXPECT_EQ(Values(top), offered);
}

TEST(ChRankTopList, AbsoluteListRanksMagnitudesAndKeepsSigns) {
    TopList top(100, 0.0, Rank::kAbsolute, true);
    const int t[] = {0, 1};
    EXPECT_TRUE(top.Offer(-0.8, 1, t, 2));
    EXPECT_TRUE(top.Offer(0.3, 1, t, 2));
    EXPECT_FALSE(top.Offer(0.0, 1, t, 2));
    EXPECT_TRUE(top.Offer(-0.05, 1, t, 2));
    EXPECT_EQ(Values(top), (std::vector<double>{-0.8, 0.3, -0.05}));
}

TEST(ChRankTopList, StartValueOfTheSecondListKindAndEmptySlots) {
    // A list starting at -DBL_MAX takes any value; the others keep the start value and no
    // traits.
    TopList top(100, -DBL_MAX, Rank::kSigned, false);
    const int t[] = {2};
    EXPECT_TRUE(top.Offer(-0.4, 3, t, 1));
    EXPECT_DOUBLE_EQ(top.Slot(100).value, -0.4);
    EXPECT_EQ(top.Slot(99).value, -DBL_MAX);
    EXPECT_TRUE(top.Slot(99).traits.empty());
}

TEST(ChRankSearchRecords, FirstOfEqualValuesStaysAndSignedOrAbsoluteComparison) {
    chrank::Search signedSearch(2, Rank::kSigned, -DBL_MAX, Rank::kSigned, false);
    const int a[] = {0}, b[] = {1}, c[] = {2};
    signedSearch.Record(1, 0.4, 0, a);
    signedSearch.Record(1, 0.4, 0, b);   // a tie: the first stays
    signedSearch.Record(1, -0.9, 0, c);
    EXPECT_EQ(signedSearch.sizes[1].best.traits, (std::vector<int>{0}));
    EXPECT_DOUBLE_EQ(signedSearch.sizes[1].best.value, 0.4);
    EXPECT_FALSE(signedSearch.sizes[2].filled);

    chrank::Search absSearch(1, Rank::kAbsolute, 0.0, Rank::kAbsolute, true);
    absSearch.Record(1, 0.4, 2, a);
    absSearch.Record(1, -0.9, 3, c);
    EXPECT_DOUBLE_EQ(absSearch.sizes[1].best.value, -0.9);
    EXPECT_EQ(absSearch.sizes[1].best.groups, 3);
}

TEST(ChRankVectors, ReorderVectorsBringsTheListedTraitsFirst) {
    int order[] = {3, 1, 4, 2};
    int states[] = {10, 20, 30, 40};
    int types[] = {1, 2, 3, 4};
    float ranges[] = {0.5f, 1.5f, 2.5f, 3.5f};
    float weights[] = {1.0f, 0.0f, 2.0f, 3.0f};
    ReorderVectors(4, order, states, types, ranges, weights);
    EXPECT_EQ(std::vector<int>(states, states + 4), (std::vector<int>{30, 10, 40, 20}));
    EXPECT_EQ(std::vector<int>(types, types + 4), (std::vector<int>{3, 1, 4, 2}));
    EXPECT_EQ(std::vector<float>(ranges, ranges + 4), (std::vector<float>{2.5f, 0.5f, 3.5f, 1.5f}));
    EXPECT_EQ(std::vector<float>(weights, weights + 4), (std::vector<float>{2.0f, 1.0f, 3.0f, 0.0f}));
}

TEST(ChRankVectors, DataPartitionTotalsMeansAndDeviations) {
    // Three populations (rows) in two communities (columns) (2, 0, 4) and (1, 2, 6): totals 6
    // and 9; means over the counts 2 and 3 are 3 and 3. With part 1 the data stay; part 3 puts the
    // mean in each positive cell; part 2 takes it from them and sets the totals back to 0; a
    // count below 1 leaves its community's cells.
    const struct {
        int part, counts[2];
        float data[3][2], tot[2];
    } cases[] = {
        {1, {2, 3}, {{2, 1}, {0, 2}, {4, 6}}, {6, 9}},
        {3, {2, 3}, {{3, 3}, {0, 3}, {3, 3}}, {6, 9}},
        {2, {2, 3}, {{-1, -2}, {0, -1}, {1, 3}}, {0, 0}},
        {3, {2, 0}, {{3, 1}, {0, 2}, {3, 6}}, {6, 9}},
    };
    for (const auto& c : cases) {
        float** d = dim2Dfloat(3, 2);
        d[0][0] = 2, d[1][0] = 0, d[2][0] = 4, d[0][1] = 1, d[1][1] = 2, d[2][1] = 6;
        float** tot = dim2Dfloat(2, 1);
        int counts[2] = {c.counts[0], c.counts[1]};
        DataPartitionL(3, 2, counts, c.part, d, tot);
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 2; j++) EXPECT_FLOAT_EQ(d[i][j], c.data[i][j]) << c.part << " " << i << "," << j;
        EXPECT_FLOAT_EQ(tot[0][0], c.tot[0]) << c.part;
        EXPECT_FLOAT_EQ(tot[1][0], c.tot[1]) << c.part;
        // No community: nothing is done.
        DataPartitionL(3, 0, counts, c.part, d, tot);
        EXPECT_FLOAT_EQ(d[2][1], c.data[2][1]);
        free2D(tot, 2);
        free2D(d, 3);
    }
}

TEST(ChRankMantel, TwoCommunitiesUseTheSinglePairRule) {
    double** A = dim2Double(2, 2);
    double** B = dim2Double(2, 2);
    A[0][1] = 2.0;
    B[0][1] = 3.0;
    // 1 - |2 - 3| / 3.
    EXPECT_DOUBLE_EQ(chrank::Mantel(2, A, B), 1.0 - 1.0 / 3.0);
    B[0][1] = 2.0;
    EXPECT_DOUBLE_EQ(chrank::Mantel(2, A, B), 1.0);
    free2D(A, 2);
    free2D(B, 2);
}

// The reused partial sums give, for every subset in enumeration order, the value computed
// from scratch: float means of the subset's columns, EucliDistMV, MatrixCorr.
// Three communities (the smallest correlated over pairs) and nine, one pair of DE missing (an
// odd count of pairs used, the last of them two equal communities: distance 0).
TEST(ChRankFastTraitDistance, AgreesWithFromScratchForEverySubset) {
    const int p = 6;
    for (int n : {3, 9}) {
        std::mt19937 gen(11);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        float** Tn = dim2Dfloat(n, p);
        for (int c = 0; c < n; c++)
            for (int t = 0; t < p; t++) Tn[c][t] = u(gen);
        double** DE = dim2Double(n, n);
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) DE[i][j] = std::fabs(u(gen)) + 0.1 * (j - i);
        if (n == 9) {
            Tn[3][2] = -999.0f;  // a community without the trait's mean
            DE[1][4] = -999.0;   // a pair MatrixCorr leaves out (its distance is still computed)
            for (int t = 0; t < p; t++) Tn[8][t] = Tn[7][t];
            // A trait the same in every community: alone it spreads no distance, correlation 0.
            for (int c = 0; c < n; c++) Tn[c][5] = 0.5f;
        }
        chrank::TraitDistanceMantel fast(n, p, Tn, DE, p);
        float** sub = dim2Dfloat(n, p);
        double** DT = dim2Double(n, n);
        double** DT2 = dim2Double(n, n);
        int count = 0;
        Enumeration en({0, 1, 2, 3, 4, 5}, 1, p);
        en.Run(
            [&](const int* t, int k, int changed) {
                const double value = fast.Value(t, k, changed);
                for (int c = 0; c < n; c++)
                    for (int j = 0; j < p; j++) sub[c][j] = 0.0f;
                for (int i = 0; i < k; i++)
                    for (int c = 0; c < n; c++) sub[c][t[i]] = Tn[c][t[i]];
                EucliDistMV(n, p, sub, DT);
                fast.Distances(DT2);
                // The upper triangle and its zero diagonal.
                for (int i = 0; i < n; i++)
                    for (int j = i; j < n; j++) ASSERT_EQ(DT[i][j], DT2[i][j]);
                EXPECT_NEAR(value, MatrixCorr(n, DE, DT), 1e-12) << n;
                count++;
            },
            [](int) {});
        EXPECT_EQ(count, 63);
        for (float** m : {Tn, sub}) free2D(m, n);
        for (double** m : {DE, DT, DT2}) free2D(m, n);
    }
}

// Copies share the run's tables and own their partial sums: two copies valuing different subsets in
// turn each keep their own sums, and one goes on from its own to a larger subset as a fresh copy
// values it from scratch; before any subset (or for the empty one) the distances are 0. Four communities on a line at 0, 1, 3, 6 (one trait),
// and 0, 0, 4, 4 (another): by hand, DT of the first trait alone is |x_i - x_j|.
TEST(ChRankFastTraitDistance, CopiesShareTheTablesAndKeepTheirOwnSums) {
    const int n = 4, p = 2;
    float** Tn = dim2Dfloat(n, p);
    const float line[n] = {0, 1, 3, 6}, pairs[n] = {0, 0, 4, 4};
    for (int c = 0; c < n; c++) Tn[c][0] = line[c], Tn[c][1] = pairs[c];
    double** DE = dim2Double(n, n);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) DE[i][j] = j - i;
    const chrank::TraitDistanceMantel original(n, p, Tn, DE, p);
    chrank::TraitDistanceMantel a(original), b(original);
    double** D = dim2Double(n, n);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) D[i][j] = 7.0;
    a.Distances(D);
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) EXPECT_EQ(D[i][j], 0.0) << i << " " << j;
    const int first[1] = {0}, second[1] = {1}, both[2] = {0, 1};
    const double valueFirst = a.Value(first, 1, 0);
    const double valueSecond = b.Value(second, 1, 0);
    EXPECT_EQ(a.Value(first, 1, 0), valueFirst);
    a.Distances(D);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) EXPECT_EQ(D[i][j], double(line[j] - line[i])) << i << " " << j;
    EXPECT_NE(valueFirst, valueSecond);
    // a's sum of the first trait is its own: b's valuing left it, so a goes on from it.
    EXPECT_EQ(a.Value(both, 2, 1), chrank::TraitDistanceMantel(original).Value(both, 2, 0));
    EXPECT_EQ(a.Value(both, 0, 0), 0.0);
    a.Distances(D);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) EXPECT_EQ(D[i][j], 0.0) << i << " " << j;
    free2D(Tn, n);
    free2D(DE, n);
    free2D(D, n);
}

// The Mantel value with its flag: one community has no pair (0, which the run leaves undefined);
// two communities take their single pair's congruence whatever their tables (1 - |2 - 3| / 3),
// never flat; from 3 communities a table without variation makes the value 0 and flat, and so does
// a matrix whose own cells are equal; otherwise MatrixCorr. A = |a_i - a_j| of a = (0, 1, 3, 6),
// B of b = (0, 2, 3, 7): Pearson over the six pairs.
TEST(ChRankMantel, SaysWhenAResemblanceOrItsTableIsFlat) {
    const double a[] = {0, 1, 3, 6}, b[] = {0, 2, 3, 7};
    double** A = dim2Double(4, 4);
    double** B = dim2Double(4, 4);
    double** K = dim2Double(4, 4);
    for (int i = 0; i < 4; i++)
        for (int j = i + 1; j < 4; j++)
            A[i][j] = std::fabs(a[i] - a[j]), B[i][j] = std::fabs(b[i] - b[j]), K[i][j] = 2.0;
    A[0][1] = 2.0, B[0][1] = 3.0;  // the single pair of two communities: 2 and 3
    struct Row {
        const char* what;
        int n;
        double** first;
        bool tablesFlat;
        double value;
        bool flat;
    };
    // Pearson r of A's cells (2, 3, 6, 2, 5, 3) and B's (3, 3, 7, 1, 5, 4), by hand: means 7/2 and
    // 23/6; sum of products of deviations 31/2, sums of squares 27/2 and 125/6.
    const double r = 15.5 / std::sqrt(13.5 * 125.0 / 6.0);
    const Row rows[] = {
        {"one community", 1, A, false, 0.0, false},
        {"one community, a flat table", 1, A, true, 0.0, false},
        {"two communities", 2, A, false, 1.0 - 1.0 / 3.0, false},
        {"two communities, a flat table", 2, A, true, 1.0 - 1.0 / 3.0, false},
        {"four communities", 4, A, false, r, false},
        {"a flat table", 4, A, true, 0.0, true},
        {"equal cells", 4, K, false, 0.0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        bool flat = !row.flat;
        EXPECT_NEAR(chrank::Mantel(row.n, row.first, B, &flat, row.tablesFlat), row.value, 1e-15);
        EXPECT_EQ(flat, row.flat);
    }
    for (double** m : {A, B, K}) free2D(m, 4);
}

// The variation of a subset's means, judged once per trait: four communities. A column (1, 1, 1,
// 1 + d) in double has sum of squares about its mean 3 d^2 / 4 against 4 (2^-40 (1 + d))^2 for the
// rounding of its values: variation from d = sqrt(16 / 3) 2^-40, so 2.5 2^-40 varies and 2.1 2^-40
// does not; rounded to single precision both become the constant 1. Single-precision means are
// taken as they are: one float step apart (2^-23) varies there, as in double, and so does 2^-18.
// A -999 cell is left out: (5, -999, 5, 5) is constant. A subset varies when one of its traits
// does: a flat column beside a varying one varies, two flat ones do not, nor does the empty subset.
TEST(ChRankTraitVariation, ASubsetVariesWhenOneOfItsTraitsDoes) {
    const int n = 4, p = 7;
    const double above = 2.5 * std::ldexp(1.0, -40), below = 2.1 * std::ldexp(1.0, -40);
    const double cols[p][n] = {{1, 1, 1, 1 + std::ldexp(1.0, -18)}, {1, 1, 1, 1 + above}, {1, 1, 1, 1 + below},
                               {1, 1, 1, std::nextafter(1.0f, 2.0f)}, {.3, .3, .3, .3},
                               {5, -999, 5, 5},                        {1, 2, 3, 4}};
    float** Tf = dim2Dfloat(n, p);
    double** Td = dim2Double(n, p);
    for (int c = 0; c < n; c++)
        for (int t = 0; t < p; t++) Tf[c][t] = static_cast<float>(cols[t][c]), Td[c][t] = cols[t][c];
    const chrank::TraitVariation vf(n, p, Tf), vd(n, p, Td);
    struct Row {
        std::vector<int> traits;
        bool variesFloat, variesDouble;
    };
    const Row rows[] = {{{0}, true, true},     {{1}, false, true},     {{2}, false, false},  {{3}, true, true},
                        {{4}, false, false},   {{5}, false, false},    {{6}, true, true},    {{2, 4}, false, false},
                        {{1, 2}, false, true}, {{2, 6}, true, true},   {{4, 5}, false, false}, {{}, false, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.traits));
        EXPECT_EQ(vf.Varies(r.traits.data(), static_cast<int>(r.traits.size())), r.variesFloat);
        EXPECT_EQ(vd.Varies(r.traits.data(), static_cast<int>(r.traits.size())), r.variesDouble);
    }
    free2D(Tf, n);
    free2D(Td, n);
}

// The fast r(TE) says when it is not defined, valuing 0: a trait the same in every community
// selected alone, or DE without variation, or means one ulp apart (0.5 and the float above it),
// which lies within the rounding single-precision means carry (2 g m = 5 2^-24 m of a distance
// here), alone or beside a constant trait. A spread of 2^-19 about 1 (16 steps of single
// precision) is variation of the data, and so is a flat trait beside a varying one: each a value,
// the Pearson correlation of DE with the distances of the trait that varies (the flat one adds 0
// to each squared distance). Two communities take their single pair's congruence.
TEST(ChRankFastTraitDistance, SaysWhenTheMeansOrDEHaveNoVariation) {
    const int p = 5;
    const float up = std::nextafter(0.5f, 1.0f);
    // Traits: 0 varying, 1 constant, 2 one ulp apart, 3 spread 2^-18, 4 spread 2^-19 (about 1).
    const float cols[p][5] = {{0.1f, 0.4f, 0.2f, 0.9f, 0.7f}, {0.5f, 0.5f, 0.5f, 0.5f, 0.5f},
                              {0.5f, up, 0.5f, 0.5f, up},
                              {1, 1, 1, 1, 1 + std::ldexp(1.0f, -18)},
                              {1, 1, 1, 1, 1 + std::ldexp(1.0f, -19)}};
    for (int n : {5, 2}) {
        float** Tn = dim2Dfloat(n, p);
        for (int c = 0; c < n; c++)
            for (int t = 0; t < p; t++) Tn[c][t] = cols[t][c];
        double** DE = dim2Double(n, n);
        double** flatDE = dim2Double(n, n);
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) DE[i][j] = (i + 1) * (j + 2) % 7 + 0.5, flatDE[i][j] = 3.0;
        // The references: DE against the distances of one varying trait alone.
        double** D[p];
        for (int t = 0; t < p; t++) {
            D[t] = dim2Double(n, n);
            for (int i = 0; i < n; i++)
                for (int j = i + 1; j < n; j++) D[t][i][j] = std::fabs(double(cols[t][i]) - cols[t][j]);
        }
        struct Row {
            std::vector<int> traits;
            bool flatDE, flat;
            int reference;  // the trait whose distances give the value; -1: the value is 0
        };
        const Row rows[] = {
            {{1}, false, true, -1},   {{2}, false, true, -1}, {{4}, false, false, 4},  {{0}, true, true, -1},
            {{0}, false, false, 0},   {{3}, false, false, 3}, {{0, 1}, false, false, 0}, {{1, 2}, false, true, -1},
        };
        const chrank::TraitDistanceMantel fast(n, p, Tn, DE, p), onFlatDE(n, p, Tn, flatDE, p);
        for (const Row& r : rows) {
            SCOPED_TRACE(testing::Message() << n << " communities, " << testing::PrintToString(r.traits)
                                            << (r.flatDE ? ", DE flat" : ""));
            chrank::TraitDistanceMantel m(r.flatDE ? onFlatDE : fast);
            bool flat = !r.flat;
            const double v = m.Value(r.traits.data(), static_cast<int>(r.traits.size()), 0, &flat);
            if (n == 2) {
                // The single pair: DE's cell against the distance, never flat.
                double** Dn = dim2Double(n, n);
                m.Distances(Dn);
                EXPECT_FALSE(flat);
                EXPECT_EQ(v, chrank::Mantel(2, r.flatDE ? flatDE : DE, Dn));
                free2D(Dn, n);
                continue;
            }
            EXPECT_EQ(flat, r.flat);
            if (r.reference < 0) {
                EXPECT_EQ(v, 0.0);
            } else {
                EXPECT_NEAR(v, MatrixCorr(n, DE, D[r.reference]), 1e-6);
                EXPECT_GT(std::fabs(v), 0.05);
            }
        }
        for (double** m : {DE, flatDE}) free2D(m, n);
        for (double** m : D) free2D(m, n);
        free2D(Tn, n);
    }
}

// The fast r(TE) on distances within about 1e-7 of each other: community c holds OTU c alone and
// trait c is 2 s_c at OTU c and s_c elsewhere, so the normalised means are 2 and 1 over sqrt(n + 3)
// but for the single-precision rounding of each column's scale s_c, and so is every distance over
// all the traits, sqrt(2 / (n + 3)): equal but for that rounding (a few steps of 2^-24, where the
// means' rounding allows 2 g sqrt(4 n / (n + 3)), about ten), flat, valued 0,
// whatever the scales (every s_c 1 makes the distances equal to the last bit). Over all but the
// first trait its community lies half as far from the others: a value in [-1, 1], MatrixCorr of
// the same distances to 1e-9 of its size, against DE = sqrt 2 + 1e-9 times a pattern (larger for
// the first community's pairs), whose own sum centred on its rounded mean is no longer 0 beside
// its spread.
TEST(ChRankFastTraitDistance, NearlyEqualDistancesCorrelateAsMatrixCorrDoes) {
    for (int n : {14, 20, 30})
        for (bool sameScale : {false, true}) {
            float** T = dim2Dfloat(n, n);
            double** DE = dim2Double(n, n);
            double** DT = dim2Double(n, n);
            std::vector<int> all(static_cast<size_t>(n));
            for (int c = 0; c < n; c++) {
                all[static_cast<size_t>(c)] = c;
                for (int t = 0; t < n; t++) T[c][t] = (c == t ? 2.0f : 1.0f) * (sameScale ? 1.0f : 1.0f + 0.37f * t);
                for (int j = c + 1; j < n; j++)
                    DE[c][j] = std::sqrt(2.0) + 1e-9 * ((c * 7 + j * 3) % 11 + (c == 0 ? 6.5 : 0.5));
            }
            NormalizeColsMV(n, n, T, T);
            const chrank::TraitDistanceMantel original(n, n, T, DE, n);
            for (int from : {0, 1}) {
                SCOPED_TRACE(testing::Message() << n << (sameScale ? " alike" : "") << " from " << from);
                chrank::TraitDistanceMantel m(original);
                bool flat = from == 1;
                const double v = m.Value(all.data() + from, n - from, 0, &flat);
                EXPECT_EQ(flat, from == 0);
                if (flat) {
                    EXPECT_EQ(v, 0.0);
                    continue;
                }
                m.Distances(DT);
                const double want = MatrixCorr(n, DE, DT);
                EXPECT_TRUE(std::fabs(v) <= 1.0 && std::fabs(want) > 0.05) << v << " " << want;
                EXPECT_NEAR(v, want, 1e-9 * std::fabs(want));
            }
            free2D(T, n);
            for (double** x : {DE, DT}) free2D(x, n);
        }
}

// The Pearson correlation of the upper triangles of A and B, in long double over two passes: the
// reference the double forms are held to.
double LongDoubleCorrelation(int n, double** A, double** B) {
    long double sa = 0, sb = 0;
    const long double m = static_cast<long double>(n) * (n - 1) / 2;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) sa += A[i][j], sb += B[i][j];
    const long double ma = sa / m, mb = sb / m;
    long double ab = 0, aa = 0, bb = 0;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            const long double da = A[i][j] - ma, db = B[i][j] - mb;
            ab += da * db, aa += da * da, bb += db * db;
        }
    return static_cast<double>(ab / std::sqrt(aa * bb));
}

// The fast r(TE) against DE that lies close together or far from 0, where a mean rounded once
// leaves the centred DE a sum that is not 0 beside its spread: DE = sqrt 2 + 1e-9 u at 200
// communities, sqrt 2 + 1e-7 u at 1,000 and 1e8 + u at 200, u = (U + d / max d) / 2 with U uniform
// on [0, 1) and d the subset's distances, so that the value is far from 0. Three traits of
// uniform means; the subsets of all three and of the first and third (the second position's sum
// formed anew). Each value equals MatrixCorr of the same distances, and a long double two-pass
// correlation, to 1e-9 of its size.
TEST(ChRankFastTraitDistance, NearEqualOrOffsetEnvironmentCorrelatesAsMatrixCorrToRounding) {
    const struct {
        int n;
        double base, spread;
    } cases[] = {{200, std::sqrt(2.0), 1e-9}, {1000, std::sqrt(2.0), 1e-7}, {200, 1e8, 1.0}};
    const int p = 3;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.n << " communities, DE = " << c.base << " + " << c.spread << " u");
        const int n = c.n;
        std::mt19937 gen(static_cast<unsigned>(n + 7));
        std::uniform_real_distribution<double> u(0.0, 1.0);
        float** Tn = dim2Dfloat(n, p);
        for (int i = 0; i < n; i++)
            for (int t = 0; t < p; t++) Tn[i][t] = static_cast<float>(u(gen));
        double** DE = dim2Double(n, n);
        double** DT = dim2Double(n, n);
        const std::vector<std::vector<int>> subsets = {{0, 1, 2}, {0, 2}};
        for (size_t k = 0; k < subsets.size(); k++) {
            // The distances of the subset first (a probe, whatever its DE), then DE from them.
            chrank::TraitDistanceMantel probe(n, p, Tn, DE, p);
            probe.Value(subsets[k].data(), static_cast<int>(subsets[k].size()), 0);
            probe.Distances(DT);
            double dmax = 0;
            for (int i = 0; i < n; i++)
                for (int j = i + 1; j < n; j++) dmax = std::max(dmax, DT[i][j]);
            for (int i = 0; i < n; i++)
                for (int j = i + 1; j < n; j++) DE[i][j] = c.base + c.spread * (u(gen) + DT[i][j] / dmax) / 2;
            chrank::TraitDistanceMantel fast(n, p, Tn, DE, p);
            if (k == 1) fast.Value(subsets[0].data(), 3, 0);  // {0, 1, 2}, then {0, 2} from position 1
            bool flat = true;
            const double v = fast.Value(subsets[k].data(), static_cast<int>(subsets[k].size()), k == 1 ? 1 : 0, &flat);
            fast.Distances(DT);
            const double library = MatrixCorr(n, DE, DT), exact = LongDoubleCorrelation(n, DE, DT);
            SCOPED_TRACE(testing::Message() << "subset " << k << ": " << v << ", MatrixCorr " << library
                                            << ", long double " << exact);
            EXPECT_FALSE(flat);
            EXPECT_GT(std::fabs(exact), 0.3);
            EXPECT_NEAR(library, exact, 1e-9 * std::fabs(exact));
            EXPECT_NEAR(v, library, 1e-9 * std::fabs(library));
            EXPECT_NEAR(v, exact, 1e-9 * std::fabs(exact));
        }
        free2D(Tn, n);
        free2D(DE, n);
        free2D(DT, n);
    }
}

// Distances from single-precision means judged against the rounding they carry: within 2 g
// sqrt(sum m_t^2) + 4u of the largest distance of their exact value, u = 2^-24, g = 2.5u, m_t the
// largest magnitude of trait t's means. Four communities, four traits: community c has 0.5 at trait
// c and 0.25 at the others (exact in float), every distance d0 = sqrt(1/8); the first cell 0.5 + e
// puts the three distances of the first community at d1 = sqrt((1/4 + e)^2 + 1/16). Their sum of
// squares about the mean, 3/2 (d1 - d0)^2, against 6 bound^2: variation from d1 - d0 = 2 bound,
// e about 18u. The first cell is moved a float step at a time until that formula, worked here in
// double, says the distances vary: two steps before it they are flat (0), two steps after it a
// value as MatrixCorr gives it, and so at 0.8 2^-11 and 1.25 2^-11 (the first once within the
// 2^-11 of the largest distance allowed for rounding); at 0 flat. The same with every mean times
// 3 (the bound follows the means' scale) and with 0.25 added to the fourth trait (the same
// distances from larger means, which carry more rounding). SingleDistancesVary says the same of
// the distances themselves with MeansRounding's bound; two communities are never judged.
TEST(ChRankFastTraitDistance, DistancesOfSinglePrecisionMeansVaryBeyondTheirRounding) {
    const int n = 4, p = 4;
    const int all[p] = {0, 1, 2, 3};
    const double u = std::ldexp(1.0, -24);
    double** DE = dim2Double(n, n);
    double** D = dim2Double(n, n);
    float** Tn = dim2Dfloat(n, p);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) DE[i][j] = (i + 1) * (j + 2) % 7 + 0.5;
    const auto fill = [&](float scale, float shift, float first) {
        for (int c = 0; c < n; c++)
            for (int t = 0; t < p; t++) Tn[c][t] = (c == t ? 0.5f : 0.25f) * scale + (t == 3 ? shift : 0.0f);
        Tn[0][0] = first;
    };
    const auto formulaVaries = [&] {
        double m2 = 0, d[6], largest = 0, mean = 0, ss = 0;
        for (int t = 0; t < p; t++) {
            double m = 0;  // the largest magnitude of trait t's means
            for (int c = 0; c < n; c++) m = std::max(m, std::fabs(double(Tn[c][t])));
            m2 += m * m;
        }
        for (int i = 0, q = 0; i < n; i++)
            for (int j = i + 1; j < n; j++, q++) {
                double s = 0;
                for (int t = 0; t < p; t++) s += (double(Tn[i][t]) - Tn[j][t]) * (double(Tn[i][t]) - Tn[j][t]);
                d[q] = std::sqrt(s), largest = std::max(largest, d[q]), mean += d[q] / 6;
            }
        for (double x : d) ss += (x - mean) * (x - mean);
        const double bound = 2 * 2.5 * u * std::sqrt(m2) + 4 * u * largest;
        return ss > 6 * bound * bound;
    };
    const struct {
        float scale, shift;
    } rows[] = {{1, 0}, {3, 0}, {1, 0.25f}};
    for (const auto& row : rows) {
        const float base = 0.5f * row.scale;
        float edge = base;
        for (int steps = 0; steps < 1000 && (fill(row.scale, row.shift, edge), !formulaVaries()); steps++)
            edge = std::nextafter(edge, 2 * base);
        ASSERT_GT(edge, base);
        const float step = edge - std::nextafter(edge, 0.0f);
        const struct {
            const char* what;
            float first;
            bool varies;
        } cases[] = {{"equal", base, false},
                     {"two steps inside", edge - 2 * step, false},
                     {"two steps outside", edge + 2 * step, true},
                     {"0.8 2^-11", base + row.scale * std::ldexp(0.8f, -11), true},
                     {"1.25 2^-11", base + row.scale * std::ldexp(1.25f, -11), true}};
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "scale " << row.scale << ", shift " << row.shift << ", " << c.what
                                            << ": e = " << (c.first - base) / u << " u");
            fill(row.scale, row.shift, c.first);
            ASSERT_EQ(formulaVaries(), c.varies);
            chrank::TraitDistanceMantel m(n, p, Tn, DE, p);
            bool flat = c.varies;
            const double v = m.Value(all, p, 0, &flat);
            m.Distances(D);
            EXPECT_EQ(flat, !c.varies);
            EXPECT_EQ(chrank::SingleDistancesVary(n, D, chrank::MeansRounding(n, p, Tn, 6)), c.varies);
            EXPECT_NEAR(v, c.varies ? MatrixCorr(n, DE, D) : 0.0, c.varies ? 1e-12 : 0.0);  // flat: exactly 0
            EXPECT_TRUE(!c.varies || std::fabs(v) > 0.05) << v;
            EXPECT_TRUE(chrank::SingleDistancesVary(2, D, 1.0));
        }
    }
    // The bound's part from the means by resemblance option, on the equal means: every m_t 1/2,
    // every row of length sqrt(1/4 + 3/16); Euclidean 2 g, absolute-value function 4 g, chord
    // 4 g / sqrt(7/16) + 10u.
    fill(1, 0, 0.5f);
    const struct {
        int opt;
        double bound;
    } options[] = {{6, 5 * u}, {7, 5 * u}, {8, 10 * u}, {9, 10 * u}, {10, 10 * u / std::sqrt(7.0 / 16) + 10 * u}};
    for (const auto& o : options) EXPECT_NEAR(chrank::MeansRounding(n, p, Tn, o.opt), o.bound, 1e-9 * u) << o.opt;
    // The chord's shortest row, wherever it stands, a row of zeros left out: the first row (1/2, 0,
    // 0, 0), of length 1/2, every m_t still 1/2: 2 (5u) / (1/2) + 10u; the first row all 0: m_0 1/4,
    // the shortest row of length sqrt(7/16): 2 (5u sqrt(1/16 + 3/4)) / sqrt(7/16) + 10u.
    const struct {
        float first[p];
        double bound;
    } chordRows[] = {{{0.5f, 0, 0, 0}, 30 * u}, {{0, 0, 0, 0}, 10 * u * std::sqrt(13.0 / 7) + 10 * u}};
    for (const auto& r : chordRows) {
        std::copy(r.first, r.first + p, Tn[0]);
        EXPECT_NEAR(chrank::MeansRounding(n, p, Tn, 10), r.bound, 1e-9 * u) << r.first[0];
    }
    free2D(Tn, n);
    free2D(DE, n);
    free2D(D, n);
}

TEST(ChRankWholeFile, WrittenWholeWithPrefixOrNotAtAll) {
    // A folder of its own, so that parallel test runs never share it, removed however the test ends.
    const tnxtest::Sandbox box;
    const std::filesystem::path dir = box.Path("");
    const std::string target = (dir / "r.txt").string();
    std::ofstream(target) << "old";
    {
        chrank::WholeFile w(target);
        FILE* f = w.Open();
        ASSERT_NE(f, nullptr);
        fputs("body\n", f);
        // Not committed: the old file stays, no temporary file remains.
    }
    EXPECT_EQ(tnxtest::Slurp(target), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    {
        chrank::WholeFile w(target);
        FILE* f = w.Open();
        fputs("body\n", f);
        EXPECT_TRUE(w.Commit("summary\n"));
    }
    EXPECT_EQ(tnxtest::Slurp(target), "summary\nbody\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    // A target that cannot be replaced (a folder holding a file): false, nothing left behind,
    // with or without the prefix; no file opened: false.
    const std::string blocked = (dir / "blocked").string();
    std::filesystem::create_directories(dir / "blocked");
    std::ofstream((dir / "blocked" / "x").string()) << "x";
    for (const std::string prefix : {"", "summary\n"}) {
        chrank::WholeFile w(blocked);
        FILE* f = w.Open();
        ASSERT_NE(f, nullptr);
        fputs("body\n", f);
        EXPECT_FALSE(w.Commit(prefix));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);
    }
    chrank::WholeFile never((dir / "never.txt").string());
    EXPECT_FALSE(never.Commit());
    EXPECT_FALSE(std::filesystem::exists(dir / "never.txt"));
}

// A scratch file the system cannot make is named with the system's reason: the process may open
// one file more, which the target's temporary file takes, and the scratch file finds no
// descriptor left (EMFILE). Open gives null, and nothing stays in the folder.
TEST(ChRankWholeFile, AScratchFileThatCannotBeMadeIsNamedWithTheReason) {
    const tnxtest::Sandbox box;
    const std::filesystem::path dir = box.Path("");
    const std::string target = (dir / "r.txt").string();
    FILE* f = nullptr;
    testing::internal::CaptureStderr();
    {
        chrank::WholeFile w(target);
        // The two lowest free descriptors: the first may be opened, the second may not.
        const int a = dup(2), b = dup(2);
        close(a);
        close(b);
        rlimit saved{};
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit one = saved;
        one.rlim_cur = static_cast<rlim_t>(b);
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &one), 0);
        f = w.Open();
        setrlimit(RLIMIT_NOFILE, &saved);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\ncan't open " + target + ": Too many open files \n");
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 0);
}

}  // namespace
