// Random permutation lists and the k-subset enumeration. The generators are checked against
// the draw sequence their definition prescribes (the same draws replayed on the shared
// generator), against invariants (a permutation holds every number once, restricted lists keep
// objects in their groups) and against hand-worked cases; the subset order against R's combn
// (r/combn.R).
#include <gsl/gsl_rng.h>

#include <algorithm>
#include <numeric>

#include "foundation/ConsoleReaders.h"
#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"

namespace {

using V = std::vector<int>;

V Identity(int n) {
    V v(n);
    std::iota(v.begin(), v.end(), 1);
    return v;
}
bool IsPermutation(V s) { return std::sort(s.begin(), s.end()), s == Identity(int(s.size())); }
int Draw(int m) { return int(gsl_rng_uniform_int(r, m)); }

// The forward Fisher-Yates shuffle of 1..n, replayed draw by draw.
V FisherYates(int n) {
    V v = Identity(n);
    for (int i = 0; i + 1 < n; i++) std::swap(v[i], v[i + Draw(n - i)]);
    return v;
}

// f() run on the generator seeded with seed; returns the generator's next raw output after it,
// equal after two runs only when both made the same draws.
template <class F>
unsigned long Seeded(unsigned long seed, F f) {
    InitRndNumberGenerator(seed);
    f();
    return gsl_rng_get(r);
}

template <class F>
void ExpectNoDraw(F f) { EXPECT_EQ(Seeded(21, f), Seeded(21, [] {})); }

// Every position keeps an object of its own group.
void ExpectWithinGroups(const V& list, const V& groups) {
    for (size_t i = 0; i < list.size(); i++) EXPECT_EQ(groups[list[i] - 1], groups[i]) << "position " << i;
}

TEST(RandomLists, EachGeneratorReplaysTheDrawsItsDefinitionPrescribes) {
    const int n = 9;
    for (unsigned long seed : {1ul, 77ul, 123456ul}) {
        SCOPED_TRACE(seed);
        V want, got = Identity(n), plain(n), part = Identity(n), boot(n), boot4(6, -1);
        const unsigned long after = Seeded(seed, [&] { want = FisherYates(n); });
        EXPECT_EQ(Seeded(seed, [&] { RndListSpecified(n, got.data()); }), after);
        EXPECT_EQ(Seeded(seed, [&] { RndList(n, plain.data()); }), after);
        EXPECT_EQ(got, want);
        EXPECT_EQ(plain, want);
        // Partial: every position i swaps with a partner drawn from the whole list.
        Seeded(seed, [&] { for (int i = 0; i < n; i++) std::swap(part[i], part[Draw(n)]); });
        got = Identity(n);
        Seeded(seed, [&] { RndListPartial(n, got.data()); });
        EXPECT_EQ(got, part);
        // Bootstrap: 1 + uniform(n) per entry; the N form writes m entries and no more.
        Seeded(seed, [&] { for (int& b : boot) b = 1 + Draw(n); });
        Seeded(seed, [&] { RndListBootstrap(n, got.data()); });
        EXPECT_EQ(got, boot);
        Seeded(seed, [&] { RndListBootstrapN(n, 4, boot4.data()); });
        EXPECT_EQ(boot4, V({boot[0], boot[1], boot[2], boot[3], -1, -1}));
    }
    // One object: {1} without a draw; none: the list is left alone.
    int one[1] = {42}, none[1] = {42};
    ExpectNoDraw([&] { RndList(1, one), RndList(0, none); });
    EXPECT_EQ(V({one[0], none[0]}), V({1, 42}));
    // RndIntegers: one draw even for a one-value range; an empty range gives its lower end, no draw.
    EXPECT_EQ(Seeded(11, [] { EXPECT_EQ(RndIntegers(5, 5), 5); }), Seeded(11, [] { Draw(1); }));
    ExpectNoDraw([] { EXPECT_EQ(RndIntegers(5, 2), 5); });
}

TEST(RndListSelect, SelectedPositionsGetTheirOwnNumbersInRandomOrder) {
    // Nothing selected: unchanged and no draw. One selected: list[i-1] = i whatever it held.
    V list(5, 9);
    bool none[5] = {}, third[5] = {false, false, true, false, false};
    ExpectNoDraw([&] { RndListSelect(5, list.data(), none); });
    EXPECT_EQ(list, V(5, 9));
    RndListSelect(5, list.data(), third);
    EXPECT_EQ(list, V({9, 9, 3, 9, 9}));
    // Positions 2, 4, 5 (1-based) selected: P = RndList(3), list[m_t - 1] = m_(P[t]).
    bool sel[6] = {false, true, false, true, true, false};
    int seli[6] = {0, 1, 2, 1, 1, -1};  // only == 1 selects
    const int m[3] = {2, 4, 5};
    for (unsigned long seed : {2ul, 8ul, 31ul}) {
        V P, want(6, 0), got(6, 0), goti(6, 0);
        Seeded(seed, [&] { P = FisherYates(3); });
        for (int t = 0; t < 3; t++) want[m[t] - 1] = m[P[t] - 1];
        Seeded(seed, [&] { RndListSelect(6, got.data(), sel); });
        Seeded(seed, [&] { RndListSelect(6, goti.data(), seli); });
        EXPECT_EQ(got, want);
        EXPECT_EQ(goti, want);
    }
    // The synchronised form in identity order equals it; with draw false the kept permutation
    // moves a second list the same way, without a draw.
    bool sel7[7] = {true, false, true, true, false, true, true};
    int order[5] = {0, 1, 2, 3, 4}, perm[5];
    V a(7, 0), b(7, 0), c(7, 0);
    Seeded(19, [&] { RndListSelect(7, a.data(), sel7); });
    Seeded(19, [&] { RndListSelectSynchronized(7, b.data(), sel7, order, perm, true); });
    EXPECT_EQ(b, a);
    EXPECT_TRUE(IsPermutation(V(perm, perm + 5)));
    ExpectNoDraw([&] { RndListSelectSynchronized(7, c.data(), sel7, order, perm, false); });
    EXPECT_EQ(c, a);
}

TEST(RndListMantelRestricted, PairsFollowTheObjectPermutation) {
    // Pair number of (a, b), 1-based objects, along the upper triangle row by row: the object
    // order 2, 1, 3 maps (1,2)->(2,1)=1, (1,3)->(2,3)=3, (2,3)->(1,3)=2.
    const int m = 6;
    auto pairNo = [m](int a, int b) {
        if (a > b) std::swap(a, b);
        return (a - 1) * m - a * (a - 1) / 2 + (b - a);
    };
    for (unsigned long s : {4ul, 40ul, 400ul}) {
        V perm, want, got(15);
        Seeded(s, [&] { perm = FisherYates(m); });
        for (int i = 0; i < m; i++)
            for (int j = i + 1; j < m; j++) want.push_back(pairNo(perm[i], perm[j]));
        Seeded(s, [&] { RndListMantelRestricted(15, got.data(), m); });
        EXPECT_EQ(got, want);
    }
    V small = {0, 0};
    RndListMantelRestricted(2, small.data(), 1);  // m < 2: the identity
    EXPECT_EQ(small, V({1, 2}));
}

// ---------------------------------------------------------------- restricted by groups

TEST(RndListNestedNew, ModeThreeWithUnequalGroupsPermutesWithinAndKeepsGroupsInPlace) {
    V groups = {5, 2, 5, 2, 9, 9, 9};  // sizes 2, 2, 3 (labels 2, 5, 9)
    // Draws: one RndList per group in ascending label order, no block draw (the sizes differ).
    const V pos[3] = {{2, 4}, {1, 3}, {5, 6, 7}};
    for (unsigned long seed : {1ul, 2ul, 3ul, 4ul, 5ul}) {
        V list(7), want(7);
        const unsigned long after = Seeded(seed, [&] {
            for (const V& p : pos) {
                V P = FisherYates(int(p.size()));
                for (size_t t = 0; t < p.size(); t++) want[p[t] - 1] = p[P[t] - 1];
            }
        });
        Seeded(seed, [&] { RndListNestedNew(7, groups.data(), 3, list.data()); });
        EXPECT_EQ(list, want);
        // The three-argument form is mode 3.
        EXPECT_EQ(Seeded(seed, [&] { RndListNestedNew(7, groups.data(), list.data()); }), after);
        EXPECT_EQ(list, want);
    }
}

TEST(RndListNestedNew, ModesOneAndTwoReplayTheirDraws) {
    // Mode 2, labels 7 and 3: label 3 (positions 2, 4, 5) is group 1, label 7 (1, 3, 6) group 2;
    // the whole groups move as blocks by one RndList(2).
    V groups = {7, 3, 7, 3, 3, 7};
    const V pos[2] = {{2, 4, 5}, {1, 3, 6}};
    for (unsigned long seed = 1; seed <= 8; seed++) {
        V P, want(6), list(6);
        Seeded(seed, [&] { P = FisherYates(2); });
        for (int k = 0; k < 2; k++)
            for (int t = 0; t < 3; t++) want[pos[k][t] - 1] = pos[P[k] - 1][t];
        Seeded(seed, [&] { RndListNestedNew(6, groups.data(), 2, list.data()); });
        EXPECT_EQ(list, want);
    }
    // Mode 1: one permutation per group, label 1 (positions 2, 4, 6) first.
    V alt = {2, 1, 2, 1, 2, 1}, a, b, want(6), list(6);
    Seeded(17, [&] { a = FisherYates(3), b = FisherYates(3); });
    for (int t = 0; t < 3; t++) want[2 * t + 1] = 2 * a[t], want[2 * t] = 2 * b[t] - 1;
    Seeded(17, [&] { RndListNestedNew(6, alt.data(), 1, list.data()); });
    EXPECT_EQ(list, want);
}

TEST(RndListNestedNew, ModesThatDoNothingLeaveTheIdentityAndDrawNothing) {
    // One group in mode 2, modes other than 1..3, and unequal groups in mode 2 (no block step).
    V one = {4, 4, 4, 4}, two = {1, 2, 1, 2}, uneven = {1, 1, 2, 0};
    for (auto [g, mode, n] : {std::tuple<V*, int, int>{&one, 2, 4}, {&two, 0, 4}, {&two, 4, 4}, {&two, -1, 4}, {&uneven, 2, 3}}) {
        V list(4, 0);
        ExpectNoDraw([&] { RndListNestedNew(n, g->data(), mode, list.data()); });
        EXPECT_EQ(V(list.begin(), list.begin() + n), Identity(n)) << "mode " << mode;
    }
}

TEST(RndListNestedNew, TwoFactorFormsKeepTheirRestrictions) {
    // A: two groups of 6; B: four blocks of 3, two inside each group of A.
    V A = {1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2}, B = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    for (unsigned long seed = 1; seed <= 30; seed++) {
        V list(12), six(12);
        InitRndNumberGenerator(seed);
        // Within A only; then blocks of B within A (each block of 3 moves whole, inside its group).
        for (bool blocks : {false, true}) {
            RndListNestedNew(12, true, A.data(), blocks, B.data(), blocks, list.data());
            EXPECT_TRUE(IsPermutation(list));
            ExpectWithinGroups(list, A);
        }
        for (int blk = 0; blk < 4; blk++) {
            const int first = list[3 * blk];
            EXPECT_EQ((first - 1) % 3, 0);
            EXPECT_EQ(V(list.begin() + 3 * blk, list.begin() + 3 * blk + 3), V({first, first + 1, first + 2}));
        }
        // The six-argument form is the same without the blocks-within option.
        Seeded(seed, [&] { RndListNestedNew(12, true, A.data(), true, B.data(), six.data()); });
        Seeded(seed, [&] { RndListNestedNew(12, true, A.data(), true, B.data(), false, list.data()); });
        EXPECT_EQ(six, list);
    }
}

TEST(RndListNestedSynchronized, EveryGroupOfAMovesTheSameWay) {
    V A = {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4}, B(14, 1);  // sizes 4, 4, 4 and 2
    int order[4] = {0, 1, 2, 3};
    for (unsigned long seed = 1; seed <= 10; seed++) {
        V P, Q, list(14), plain(14), seven(14);
        Seeded(seed, [&] { P = FisherYates(4), Q = FisherYates(2); });
        Seeded(seed, [&] { RndListNestedSynchronized(14, true, A.data(), false, B.data(), false, list.data(), true, order); });
        for (int g = 0; g < 3; g++)
            for (int t = 0; t < 4; t++) EXPECT_EQ(list[4 * g + t], 4 * g + P[t]);
        // The group of size 2 draws its own permutation.
        EXPECT_EQ(V(list.begin() + 12, list.end()), V({12 + Q[0], 12 + Q[1]}));
        // Without sync it is the seven-argument form.
        Seeded(seed, [&] { RndListNestedSynchronized(14, true, A.data(), false, B.data(), false, plain.data(), false, order); });
        Seeded(seed, [&] { RndListNestedNew(14, true, A.data(), false, B.data(), false, seven.data()); });
        EXPECT_EQ(plain, seven);
    }
}

TEST(RndListNestedSelect, UnselectedKeepTheirNumbersAndUnbalancedBlocksAreReported) {
    V A = {1, 1, 1, 1, 2, 2, 2, 2}, B = {1, 1, 2, 2, 3, 3, 4, 4}, list(8);
    bool sel[8] = {true, true, true, false, true, true, true, true};
    bool noBlock2[8] = {true, true, false, false, true, true, true, true};
    FILE *saved = out, *cap = std::tmpfile();
    out = cap;
    for (unsigned long seed = 1; seed <= 10; seed++) {
        InitRndNumberGenerator(seed);
        RndListNestedSelect(8, true, A.data(), false, B.data(), false, list.data(), sel);
        EXPECT_EQ(list[3], 4);
        ExpectWithinGroups(list, A);
        for (int i = 0; i < 8; i++) EXPECT_EQ(sel[list[i] - 1], sel[i]);
        // A block with no selected member takes no part: the three others move as wholes.
        RndListNestedSelect(8, false, A.data(), true, B.data(), false, list.data(), noBlock2);
        EXPECT_TRUE(IsPermutation(list));
        EXPECT_EQ(V(list.begin() + 2, list.begin() + 4), V({3, 4}));
        for (int blk : {0, 4, 6}) EXPECT_EQ(list[blk + 1], list[blk] + 1);
    }
    EXPECT_EQ(ReadBack(cap), "");
    // Block 2 has one selected member, the others two: reported, no block step.
    RndListNestedSelect(8, false, A.data(), true, B.data(), false, list.data(), sel);
    EXPECT_EQ(list, Identity(8));
    EXPECT_EQ(ReadBack(cap), "Unbalanced design. Permutation among bundling blocks is not possible.\n");
    out = saved;
    std::fclose(cap);
}

TEST(RndListNested, LevelsArePermutedWithinTheirGroupsOrWholeAtLevelZero) {
    // Two levels; level 0 has groups 1, 2 by objectLabels[0]. Flag of level 1 = 1: within groups.
    int labels0[6] = {1, 2, 1, 2, 1, 2}, labels1[6] = {1, 1, 1, 1, 1, 1};
    int* objectLabels[2] = {labels0, labels1};
    int nGroups[2] = {2, 1}, within[2] = {0, 1}, whole[2] = {0, 0}, gl0[2] = {2, 1}, gl1[1] = {1};
    int* groupLabels[2] = {gl0, gl1};
    V a, b, last, want(6), want2(6), list(6, 0);
    Seeded(9, [&] { a = FisherYates(3), b = FisherYates(3); });
    for (int t = 0; t < 3; t++) {  // labels in order: 1 takes a; given labels (2, 1): 2 takes a
        want[2 * t] = 2 * a[t] - 1, want[2 * t + 1] = 2 * b[t];
        want2[2 * t] = 2 * b[t] - 1, want2[2 * t + 1] = 2 * a[t];
    }
    Seeded(9, [&] { RndListNested(6, 2, within, nGroups, nullptr, objectLabels, list.data()); });
    EXPECT_EQ(list, want);
    Seeded(9, [&] { RndListNested(6, 2, within, nGroups, groupLabels, objectLabels, list.data()); });
    EXPECT_EQ(list, want2);
    // Flag 0 at level 0: a fresh permutation of 1..n once per group of level 0 (the last one stays).
    Seeded(9, [&] { FisherYates(6), last = FisherYates(6); });
    Seeded(9, [&] { RndListNested(6, 2, whole, nGroups, nullptr, objectLabels, list.data()); });
    EXPECT_EQ(list, last);
}

// ---------------------------------------------------------------- subsets

TEST(PermuteArray, SixChooseThreeInTheOrderOfRCombnCallByCall) {
    // combn(6, 3) from r/combn.R; the unchosen rest follows in increasing order.
    const char* want[20] = {"123", "124", "125", "126", "134", "135", "136", "145", "146", "156",
                            "234", "235", "236", "245", "246", "256", "345", "346", "356", "456"};
    V combo(6), untouched(6, 9);
    for (int c = 0; c < 20; c++) {
        EXPECT_EQ(PermuteArray(6, 3, combo.data(), c == 0), c + 1);
        EXPECT_EQ(std::string() + char('0' + combo[0]) + char('0' + combo[1]) + char('0' + combo[2]), want[c]);
        EXPECT_TRUE(IsPermutation(combo));
        EXPECT_TRUE(std::is_sorted(combo.begin() + 3, combo.end()));
    }
    // After the last subset: nothing written, 0 returned. k = 0 and k = n: one call each, 1..n.
    EXPECT_EQ(PermuteArray(6, 3, untouched.data(), false), 0);
    EXPECT_EQ(untouched, V(6, 9));
    for (int k : {0, 6}) {
        EXPECT_EQ(PermuteArray(6, k, combo.data(), true), 1);
        EXPECT_EQ(combo, Identity(6));
        EXPECT_EQ(PermuteArray(6, k, combo.data(), false), 0);
    }
    // k > n or k < 0: nothing to deliver.
    EXPECT_EQ(PermuteArray(3, 4, untouched.data(), true), 0);
    EXPECT_EQ(PermuteArray(3, -1, untouched.data(), true), 0);
    EXPECT_EQ(untouched, V(6, 9));
}

TEST(BinomialCount, ExactAgainstPascalsTriangleAndSaturatesBeyond64Bits) {
    // r/combn.R; a double ratio of factorials loses the last digits of these.
    EXPECT_EQ(BinomialCount(24, 12), INT64_C(2704156));
    EXPECT_EQ(BinomialCount(40, 20), INT64_C(137846528820));
    // Pascal's triangle by additions, exact up to n = 66; row n made from row n - 1 in place.
    std::vector<int64_t> row;
    for (int n = 0; n <= 66; n++) {
        for (int k = n - 1; k > 0; k--) row[k] += row[k - 1];
        row.push_back(1);
        for (int k = 0; k <= n; k++) ASSERT_EQ(BinomialCount(n, k), row[k]) << n << " " << k;
    }
    EXPECT_EQ(BinomialCount(67, 33), INT64_MAX);  // 14226520737620288370 > 2^63 - 1
    EXPECT_EQ(BinomialCount(67, 2), INT64_C(2211));
    EXPECT_EQ(BinomialCount(5, 6), 0);
    EXPECT_EQ(BinomialCount(5, -1), 0);
}

}  // namespace
