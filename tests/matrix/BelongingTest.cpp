// Group counts, fuzzy and crisp belonging, classes and frequencies, on small cases worked out by hand.

#include <cfloat>
#include <climits>
#include <numeric>

#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"

namespace {

// n x n resemblance from its upper triangle (row-major, i < j) and a diagonal value; the lower
// triangle holds 9, which the routines must not read.
template <class T>
void Upper(Mat<T>& S, const std::vector<double>& upper, double diag) {
    auto u = upper.begin();
    for (int i = 0; i < S.rows(); i++) {
        S[i][i] = T(diag);
        for (int j = i + 1; j < S.rows(); j++) {
            S[i][j] = T(*u++);
            S[j][i] = 9;
        }
    }
}

template <class T>
void ExpectUnitRowSums(Mat<T>& U, double tol = 1e-6) {
    for (int i = 0; i < U.rows(); i++)
        EXPECT_NEAR(std::accumulate(U[i], U[i] + U.cols(), 0.0), 1.0, tol) << "row " << i;
}

// FuzzyBelonging on the similarities s in float (unit diagonal) and on the dissimilarities 1 - s in
// double (zero diagonal, -999 kept): both give the rows want, which add up to 1.
void ExpectFuzzy(std::vector<int> labels, const std::vector<double>& s, Rows want) {
    const int n = int(labels.size()), g = int(want.begin()->size());
    Mat<float> S(n, n), U(n, g);
    Mat<double> D(n, n), V(n, g);
    std::vector<double> d;
    for (double x : s) d.push_back(x == -999 ? -999 : 1 - x);
    Upper(S, s, 1);
    Upper(D, d, 0);
    EXPECT_TRUE(FuzzyBelonging(n, g, S, labels.data(), U, false));
    EXPECT_TRUE(FuzzyBelonging(n, g, D, labels.data(), V, true));
    ExpectCells(U, want, 1e-6);
    ExpectCells(V, want, 1e-12);
    ExpectUnitRowSums(U);
}

TEST(CountGroups, DistinctLabelsAscending) {
    // Labels far apart (their difference overflows an int) still come out in ascending order.
    for (auto count : {CountGroupsNew, CountGroups}) {
        int labels[] = {4, -2, 4, 0, -2, 9}, far[] = {2000000000, -2000000000, 0, INT_MIN, INT_MAX};
        int d[6], g = -1;
        count(6, labels, &g, d);
        EXPECT_EQ(g, 4);
        ExpectVec(d, {-2, 0, 4, 9}, 0);
        count(5, far, &g, d);
        EXPECT_EQ(g, 5);
        ExpectVec(d, {INT_MIN, -2e9, 0, 2e9, INT_MAX}, 0);
    }
    // Only the objects whose selection entry is 1 count.
    int labels[] = {3, 1, 3, 2, 5}, select[] = {1, 0, 1, 1, 2}, d[5], g = -1;
    CountGroupsSelect(5, labels, select, &g, d);
    EXPECT_EQ(g, 2);
    ExpectVec(d, {2, 3}, 0);
}

TEST(CrispBelonging, ZeroOneColumnsInAscendingLabelOrder) {
    int labels[] = {7, 3, 7, 5}, five[] = {5, 5}, three[] = {1, 2, 3};
    Mat<float> U(4, 3), I(3, 3), W(2, 4);
    Mat<double> N(3, 2);
    for (auto* m : {&U, &I, &W}) m->fill(9);
    N.fill(9);
    CrispBelonging(4, 3, labels, U);
    ExpectCells(U, {{0, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, 0);
    CrispBelonging(3, 3, nullptr, I);  // no labels: each object its own group
    ExpectCells(I, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0);
    // A column count that disagrees with the labels stays inside the arrays: an extra column is
    // 0, and the objects of a label without a column get none.
    CrispBelonging(2, 4, five, W);
    CrispBelonging(3, 2, three, N);
    ExpectCells(W, {{1, 0, 0, 0}, {1, 0, 0, 0}}, 0);
    ExpectCells(N, {{1, 0}, {0, 1}, {0, 0}}, 0);
}

// Labels {1, 1, 2}, similarities s01 = .5, s02 = .2, s12 = .4, unit diagonal:
//   row 0: group 1 (1 + .5)/2 = .75, group 2 .2  -> (.75, .2) / .95
//   row 1: group 1 (.5 + 1)/2 = .75, group 2 .4  -> (.75, .4) / 1.15
//   row 2: group 1 (.2 + .4)/2 = .3,  group 2 1   -> (.3, 1) / 1.3
// Labels {7, 3, 7}: column 0 is label 3 (object 1), column 1 label 7 (objects 0 and 2).
// Row 0: .5 and (1 + .2)/2 = .6; row 1: 1 and (.5 + .4)/2 = .45; row 2: .4 and (.2 + 1)/2.
// A missing s01 (-999) adds nothing and keeps the divisor: rows 0 and 1 get 1/2 in group 1.
TEST(FuzzyBelonging, HandWorkedSimilaritiesAndDissimilarities) {
    const double a = 0.95, b = 1.15, c = 1.3;
    ExpectFuzzy({1, 1, 2}, {0.5, 0.2, 0.4}, {{0.75 / a, 0.2 / a}, {0.75 / b, 0.4 / b}, {0.3 / c, 1 / c}});
    ExpectFuzzy({7, 3, 7}, {0.5, 0.2, 0.4}, {{0.5 / 1.1, 0.6 / 1.1}, {1 / 1.45, 0.45 / 1.45}, {0.4, 0.6}});
    ExpectFuzzy({1, 1, 2}, {-999, 0.2, 0.4},
                {{0.5 / 0.7, 0.2 / 0.7}, {0.5 / 0.9, 0.4 / 0.9}, {0.3 / c, 1 / c}});
    int labels[] = {1, 1, 2};
    // More columns than groups: the extra ones are 0 and the rows still add up to 1.
    Mat<float> S(3, 3), W(3, 5);
    Upper(S, {0.5, 0.2, 0.4}, 1);
    W.fill(4);
    FuzzyBelonging(3, 5, S, labels, W, false);
    ExpectVec(W[0], {0.75 / a, 0.2 / a, 0, 0, 0}, 1e-6);
    ExpectUnitRowSums(W);
    ExpectCells(S, {{1, 0.5, 0.2}, {0.5, 1, 0.4}, {0.2, 0.4, 1}}, 1e-7);  // the lower half mirrored
    // A NaN cell is neither an identity nor a missing value: rows 0 and 1 carry it.
    Mat<float> N(3, 3), U(3, 2);
    Upper(N, {NAN, 0.2, 0.4}, 1);
    FuzzyBelonging(3, 2, N, labels, U, false);
    EXPECT_TRUE(std::isnan(U[0][0]) && std::isnan(U[1][0]));
    ExpectVec(U[2], {0.3 / 1.3, 1 / 1.3}, 1e-6);
}

// Objects 0 and 1 are identical (similarity 1) in group 1 = {0, 1, 2}; object 3 is group 2.
// s02 = s12 = .5, s03 = s13 = .2, s23 = .6. Group 1 counts two distinct members (0 and 2):
//   row 3: group 1 (.2 + .6)/2 = .4, group 2 1          -> (.4, 1) / 1.4
//   rows 0 and 1: group 1 (1 + .5)/2 = .75, group 2 .2  -> (.75, .2) / .95
//   row 2: group 1 (.5 + 1)/2 = .75, group 2 .6         -> (.75, .6) / 1.35
// Counting object 1 as well would give row 3 (.2 + .2 + .6)/3 = 1/3, that is (.25, .75).
// Identical objects of different groups are no duplicates: labels {1, 2, 2}, s01 = 1, s02 = s12 = .5
// give rows 0 and 1 1 and (1 + .5)/2, row 2 .5 and (.5 + 1)/2.
TEST(FuzzyBelonging, IdenticalObjectsCountOnceAndShareTheirBelonging) {
    ExpectFuzzy({1, 1, 1, 2}, {1, 0.5, 0.2, 0.5, 0.2, 0.6},
                {{0.75 / 0.95, 0.2 / 0.95}, {0.75 / 0.95, 0.2 / 0.95}, {0.75 / 1.35, 0.6 / 1.35},
                 {0.4 / 1.4, 1 / 1.4}});
    ExpectFuzzy({1, 2, 2}, {1, 0.5, 0.5}, {{1 / 1.75, 0.75 / 1.75}, {1 / 1.75, 0.75 / 1.75}, {0.4, 0.6}});
    // Identity is judged within one single-precision step, also for double data.
    const float oneStep = std::nextafter(1.0f, 0.0f), twoSteps = std::nextafter(oneStep, 0.0f);
    int labels[] = {1, 1, 1, 2};
    Mat<double> D(4, 4), V(4, 2);
    for (double s01 : {double(oneStep), 1.0 - 1e-9, double(twoSteps)}) {
        Upper(D, {s01, 0.5, 0.2, 0.5, 0.2, 0.6}, 1);
        FuzzyBelonging(4, 2, D, labels, V, false);
        EXPECT_NEAR(V[3][0], s01 == twoSteps ? 0.25 : 0.4 / 1.4, 1e-6) << s01;
    }
}

// Five objects, labels {1, 1, 2, 2, 2}; only objects 3 and 4 are identical (the second group's
// second and third members), so group 2 counts 2 distinct members:
//   row 0: (1 + .4)/2 = .7, (.2 + .3)/2 = .25;  row 1: .7, (.5 + .1)/2 = .3;  row 2: .35, (1 + .6)/2
//   rows 3 and 4: (.3 + .1)/2 = .2, (.6 + 1)/2 = .8
// (counting object 4 too would give row 0 (.2 + .3 + .3)/3 in group 2).
// A duplicate marks no other: s01 = s12 = 1 but s02 = .5 with labels {1, 1, 1, 2}; object 1 is a
// duplicate of 0, and object 2 stays a member of its own (group 1 counts objects 0 and 2):
//   row 0: (1 + .5)/2, .2;  row 1: (1 + 1)/2, .3;  row 2: (.5 + 1)/2, .6;  row 3: (.2 + .6)/2, 1.
TEST(FuzzyBelonging, DuplicatesBeyondTheFirstPairAndNoChainOfDuplicates) {
    ExpectFuzzy({1, 1, 2, 2, 2}, {0.4, 0.2, 0.3, 0.3, 0.5, 0.1, 0.1, 0.6, 0.6, 1},
                {{0.7 / 0.95, 0.25 / 0.95}, {0.7, 0.3}, {0.35 / 1.15, 0.8 / 1.15}, {0.2, 0.8}, {0.2, 0.8}});
    ExpectFuzzy({1, 1, 1, 2}, {1, 0.5, 0.2, 1, 0.3, 0.6},
                {{0.75 / 0.95, 0.2 / 0.95}, {1 / 1.3, 0.3 / 1.3}, {0.75 / 1.35, 0.6 / 1.35}, {0.4 / 1.4, 1 / 1.4}});
}

// The earlier form: labels 1..g are the columns (others left out). Labels at the bounds: 1 and
// g = 2 have columns, 0 and 3 none; all similarities .5 (unit diagonal); column 1 counts objects
// 1 and 4: row 0: 1 and (.5 + .5)/2 -> (2/3, 1/3); rows 1 and 4: .5 and (1 + .5)/2 -> (.4, .6);
// rows 2, 3: equal. With dissimilarities the rows are scaled, complemented and scaled again:
// D01 = .5, D02 = .8, D12 = .6, labels {1,1,2}: row 0: (.25, .8)/1.05 -> (.8, .25)/1.05;
// row 1: (.25, .6)/.85 -> (.6, .25)/.85; row 2: (.7, 0) -> (0, 1).
TEST(FuzzyBelongingOld, LabelsOneAndGHaveColumnsAndDissimilaritiesAreComplemented) {
    int labels[] = {1, 2, 0, 3, 2}, three[] = {1, 1, 2};
    Mat<float> E(5, 5), W(5, 2), D(3, 3), U(3, 2);
    Upper(E, std::vector<double>(10, 0.5), 1);
    FuzzyBelonging_OLD(5, 2, E, labels, W, false);
    ExpectCells(W, {{2.0 / 3, 1.0 / 3}, {0.4, 0.6}, {0.5, 0.5}, {0.5, 0.5}, {0.4, 0.6}}, 1e-6);
    Upper(D, {0.5, 0.8, 0.6}, 0);
    FuzzyBelonging_OLD(3, 2, D, three, U, true);
    ExpectCells(U, {{0.8 / 1.05, 0.25 / 1.05}, {0.6 / 0.85, 0.25 / 0.85}, {0, 1}}, 1e-6);
}

// Classes 1..k of equal width between the smallest and the largest value (or given bounds): 0..4 in
// four classes (MV form) put 0 and 1 in class 1, 2 in 2, 4 in 4; the plain form takes -999 as a value.
// 10..20 width 2.5: 12.5 closes class 1, 13 is in 2, 17.5 closes 3. A NaN gets no class (-999) and
// leaves the range alone; bounds at the ends of the float range overflow the plain formula, and the
// smallest float above 0 underflows it to class 0.
TEST(Classes, EqualWidthClassNumbersStayWithin1ToK) {
    struct Row { std::vector<double> x; int k; bool mv; double lo, hi; std::vector<double> classes; };
    const Row rows[] = {{{-999, 0, 1, 2, 4}, 2, false, NAN, NAN, {1, 2, 2, 2, 2}},
                        {{-999, 0, 1, 2, 4}, 4, true, NAN, NAN, {-999, 1, 1, 2, 4}},
                        {{-999, 0, 1, 2, 4}, 4, true, 0, 8, {-999, 1, 1, 1, 2}},
                        {{-999, 1, 2}, 2, false, -999, 2, {1, 2, 2}},
                        {{10, 12.5, 13, 20, 17.5}, 4, false, NAN, NAN, {1, 1, 2, 4, 3}},
                        {{0, NAN, 4, 3}, 2, false, NAN, NAN, {1, -999, 2, 2}},
                        {{NAN, -999, 1, 2}, 3, true, NAN, NAN, {-999, -999, 1, 3}},
                        {{0, FLT_TRUE_MIN, 4}, 2, false, NAN, NAN, {1, 1, 2}},
                        {{-FLT_MAX, 0, FLT_MAX, FLT_MAX / 2, -FLT_MAX * 0.9}, 3, false, NAN, NAN,
                         {1, 2, 3, 3, 1}},
                        {{}, 3, false, NAN, NAN, {}}};
    BothPrecisions([&rows](auto zero, double) {
        using T = decltype(zero);
        for (const Row& r : rows) {
            const int n = int(r.x.size());
            std::vector<T> x(r.x.begin(), r.x.end()), c(n + 1, T(42));
            if (!std::isnan(r.lo)) r.mv ? ClassesDefinitionMV(n, x.data(), c.data(), r.k, T(r.lo), T(r.hi))
                                        : ClassesDefinition(n, x.data(), c.data(), r.k, T(r.lo), T(r.hi));
            else r.mv ? ClassesMV(n, x.data(), c.data(), r.k) : Classes(n, x.data(), c.data(), r.k);
            EXPECT_EQ(std::vector<double>(c.begin(), c.end() - 1), r.classes) << n << " values, MV " << r.mv;
            EXPECT_EQ(c.back(), T(42));  // nothing written past the values
        }
    });
}

// Counts per class of equal width, and the upper limits: 0, 1, 2, 4 in four classes put 0 and 1 in
// the first, limits 1..4. The minimum goes into the first class, the maximum into the last: 2 is
// ceil(5 * 2 / 10) = 1. Equal values all go into the first class; NaN values are not counted; the
// classes of the extreme values are those of the Classes test above. One class holds every value,
// and its upper limit is the maximum.
TEST(FreqDistribution, CountsAndUpperLimits) {
    struct Row { std::vector<double> x; std::vector<int> freq; std::vector<double> limits; };
    const Row rows[] = {{{0, 1, 2, 4}, {2, 1, 0, 1}, {1, 2, 3, 4}}, {{-3, 7, 2, -3, 7, 7}, {3, 3}, {2, 7}},
                        {{5, 5, 5}, {3, 0, 0}, {}}, {{-2, 3, 1}, {3}, {3}}, {{NAN, 0, NAN, 4, 1}, {2, 1}, {}},
                        {{NAN, NAN}, {0, 0, 0}, {}}, {{0, FLT_TRUE_MIN, 4}, {2, 1}, {}},
                        {{-FLT_MAX, 0, FLT_MAX, FLT_MAX / 2, -FLT_MAX * 0.9}, {2, 1, 2}, {}}};
    BothPrecisions([&rows](auto zero, double) {
        using T = decltype(zero);
        for (const Row& r : rows) {
            std::vector<T> x(r.x.begin(), r.x.end()), limits(r.freq.size());
            std::vector<int> freq(r.freq.size(), 9);
            FreqDistribution(int(x.size()), x.data(), freq.data(), int(freq.size()),
                             r.limits.empty() ? nullptr : limits.data());
            EXPECT_EQ(freq, r.freq) << r.x.size() << " values";
            EXPECT_TRUE(r.limits.empty() || std::vector<double>(limits.begin(), limits.end()) == r.limits);
        }
    });
    float v[] = {1, 2};
    int guard = 11;  // no class: nothing is written
    FreqDistribution(2, v, &guard, 0, nullptr);
    EXPECT_EQ(guard, 11);
}

}  // namespace
