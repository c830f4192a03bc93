// Group counts, fuzzy and crisp belonging, class numbers and frequency distributions, on small
// matrices whose results are worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <vector>

#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"

namespace {

// n x n resemblance from its upper triangle (row-major, i < j) and a diagonal value; the lower
// triangle holds 9, which the routines must not read.
template <class T>
void Upper(Mat<T>& S, std::initializer_list<double> upper, double diag) {
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
    for (int i = 0; i < U.rows(); i++) {
        double s = 0;
        for (int k = 0; k < U.cols(); k++) s += U[i][k];
        EXPECT_NEAR(s, 1.0, tol) << "row " << i;
    }
}

TEST(CountGroups, DistinctLabelsAscending) {
    // Labels far apart (their difference overflows an int) still come out in ascending order.
    for (auto count : {CountGroupsNew, CountGroups}) {
        int labels[] = {4, -2, 4, 0, -2, 9}, far[] = {2000000000, -2000000000, 0, INT_MIN, INT_MAX};
        int d[6], g = -1;
        count(6, labels, &g, d);
        EXPECT_EQ(g, 4);
        ExpectVec(d, {-2, 0, 4, 9}, 0);
        EXPECT_EQ(labels[1], -2);  // the labels are left as they were
        count(5, far, &g, d);
        EXPECT_EQ(g, 5);
        ExpectVec(d, {INT_MIN, -2e9, 0, 2e9, INT_MAX}, 0);
        count(3, labels, &g, nullptr);
        EXPECT_EQ(g, 2);
        count(0, nullptr, &g, nullptr);
        EXPECT_EQ(g, 0);
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
    Mat<double> D(4, 3), N(3, 2);
    for (auto* m : {&U, &I, &W}) m->fill(9);
    for (auto* m : {&D, &N}) m->fill(9);
    EXPECT_TRUE(CrispBelonging(4, 3, labels, U));
    EXPECT_TRUE(CrispBelonging(4, 3, labels, D));
    ExpectCells(U, {{0, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, 0);
    ExpectSame(D, U, 0);
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
// The dissimilarities 1 - s with a zero diagonal give the same rows, in every overload.
TEST(FuzzyBelonging, HandWorkedSimilaritiesAndDissimilarities) {
    auto expect = [](auto& U, double tol) {
        ExpectCells(U, {{0.75 / 0.95, 0.2 / 0.95}, {0.75 / 1.15, 0.4 / 1.15}, {0.3 / 1.3, 1 / 1.3}}, tol);
        ExpectUnitRowSums(U, tol);
    };
    int labels[] = {1, 1, 2}, other[] = {7, 3, 7};
    Mat<float> S(3, 3), D(3, 3), U(3, 2);
    Mat<double> Dd(3, 3), Ud(3, 2), V(3, 3);
    Upper(S, {0.5, 0.2, 0.4}, 1);
    Upper(D, {0.5, 0.8, 0.6}, 0);
    Upper(Dd, {0.5, 0.8, 0.6}, 0);
    U.fill(7);
    EXPECT_TRUE(FuzzyBelonging(3, 2, S, labels, U, false));
    expect(U, 1e-6);
    ExpectCells(S, {{1, 0.5, 0.2}, {0.5, 1, 0.4}, {0.2, 0.4, 1}}, 1e-7);  // the lower half mirrored
    FuzzyBelonging(3, 2, D, labels, U, true);
    expect(U, 1e-6);
    FuzzyBelonging(3, 2, D, labels, Ud, true);
    expect(Ud, 1e-6);
    FuzzyBelonging(3, 2, Dd, labels, Ud, true);
    expect(Ud, 1e-12);
    // Labels {7, 3, 7}: column 0 is label 3 (object 1), column 1 label 7 (objects 0 and 2).
    // Row 0: .5 and (1 + .2)/2 = .6; row 1: 1 and (.5 + .4)/2 = .45; row 2: .4 and (.2 + 1)/2.
    FuzzyBelonging(3, 2, S, other, U, false);
    ExpectCells(U, {{0.5 / 1.1, 0.6 / 1.1}, {1 / 1.45, 0.45 / 1.45}, {0.4, 0.6}}, 1e-6);
    // No labels: every object its own group, rows proportional to the similarities.
    FuzzyBelonging(3, 3, Dd, nullptr, V, true);
    ExpectCells(V, {{1 / 1.7, 0.5 / 1.7, 0.2 / 1.7}, {0.5 / 1.9, 1 / 1.9, 0.4 / 1.9}}, 1e-12);
    // More columns than groups: the extra ones are 0 and the rows still add up to 1; fewer
    // columns: only group 1 is described. Either way the routine stays inside its arrays.
    Mat<float> W(3, 5), G(3, 1);
    W.fill(4);
    FuzzyBelonging(3, 5, S, labels, W, false);
    FuzzyBelonging(3, 1, S, labels, G, false);
    ExpectVec(W[0], {0.75 / 0.95, 0.2 / 0.95, 0, 0, 0}, 1e-6);
    ExpectUnitRowSums(W);
    ExpectCells(G, {{1}, {1}, {1}}, 1e-6);
}

// Objects 0 and 1 are identical (similarity 1) in group 1 = {0, 1, 2}; object 3 is group 2.
// s02 = s12 = .5, s03 = s13 = .2, s23 = .6. Group 1 counts two distinct members (0 and 2):
//   row 3: group 1 (.2 + .6)/2 = .4, group 2 1          -> (.4, 1) / 1.4
//   rows 0 and 1: group 1 (1 + .5)/2 = .75, group 2 .2  -> (.75, .2) / .95
//   row 2: group 1 (.5 + 1)/2 = .75, group 2 .6         -> (.75, .6) / 1.35
// Counting object 1 as well would give row 3 (.2 + .2 + .6)/3 = 1/3, that is (.25, .75).
TEST(FuzzyBelonging, IdenticalObjectsCountOnceAndShareTheirBelonging) {
    int labels[] = {1, 1, 1, 2}, split[] = {1, 2, 2};
    const float oneStep = std::nextafter(1.0f, 0.0f), twoSteps = std::nextafter(oneStep, 0.0f);
    Mat<float> S(4, 4), U(4, 2);
    Mat<double> D(4, 4), V(4, 2);
    Upper(S, {1, 0.5, 0.2, 0.5, 0.2, 0.6}, 1);
    Upper(D, {0, 0.5, 0.8, 0.5, 0.8, 0.4}, 0);
    FuzzyBelonging(4, 2, S, labels, U, false);
    FuzzyBelonging(4, 2, D, labels, V, true);
    ExpectCells(U, {{0.75 / 0.95, 0.2 / 0.95}, {0.75 / 0.95, 0.2 / 0.95}, {0.75 / 1.35, 0.6 / 1.35},
                    {0.4 / 1.4, 1 / 1.4}}, 1e-6);
    ExpectSame(V, U, 1e-6);
    EXPECT_EQ(U[0][0], U[1][0]);
    // Identity is judged within one single-precision step, also for double data.
    for (double s01 : {double(oneStep), 1.0 - 1e-9, double(twoSteps)}) {
        SCOPED_TRACE(s01);
        Upper(D, {s01, 0.5, 0.2, 0.5, 0.2, 0.6}, 1);
        FuzzyBelonging(4, 2, D, labels, V, false);
        EXPECT_NEAR(V[3][0], s01 == twoSteps ? 0.25 : 0.4 / 1.4, 1e-6);
    }
    // Identical objects of different groups are no duplicates: row 0 gets 1 and (1 + .5)/2.
    Mat<float> T(3, 3);
    Upper(T, {1, 0.5, 0.5}, 1);
    FuzzyBelonging(3, 2, T, split, U, false);
    ExpectVec(U[0], {1 / 1.75, 0.75 / 1.75}, 1e-6);
}

TEST(FuzzyBelonging, MissingAndNaNCells) {
    // A missing cell (-999) adds nothing and keeps the divisor, also as a dissimilarity: labels
    // {1, 1, 2}, s01 missing. Row 0: group 1 1/2, group 2 .2; row 2: (.2 + .4)/2 and 1.
    int labels[] = {1, 1, 2}, one = 4;
    Mat<float> S(3, 3), U(3, 2), N(3, 3);
    Mat<double> D(3, 3), V(3, 2);
    Upper(S, {-999, 0.2, 0.4}, 1);
    Upper(D, {-999, 0.8, 0.6}, 0);
    FuzzyBelonging(3, 2, S, labels, U, false);
    FuzzyBelonging(3, 2, D, labels, V, true);
    ExpectCells(U, {{0.5 / 0.7, 0.2 / 0.7}, {0.5 / 0.9, 0.4 / 0.9}, {0.3 / 1.3, 1 / 1.3}}, 1e-6);
    ExpectSame(V, U, 1e-6);
    // A NaN cell is neither an identity nor a missing value: rows 0 and 1 carry it.
    Upper(N, {NAN, 0.2, 0.4}, 1);
    FuzzyBelonging(3, 2, N, labels, U, false);
    EXPECT_TRUE(std::isnan(U[0][0]) && std::isnan(U[1][0]));
    ExpectVec(U[2], {0.3 / 1.3, 1 / 1.3}, 1e-6);
    // One object belongs wholly to its group; a missing diagonal leaves it at 0; n < 1 touches
    // nothing.
    Mat<float> s{{1}}, m{{-999}}, u{{3}};
    FuzzyBelonging(1, 1, s, &one, u, false);
    EXPECT_EQ(u[0][0], 1.0f);
    FuzzyBelonging(1, 1, m, &one, u, false);
    EXPECT_EQ(u[0][0], 0.0f);
    u[0][0] = 3;
    EXPECT_TRUE(FuzzyBelonging(0, 1, s, nullptr, u, false));
    EXPECT_EQ(u[0][0], 3.0f);
}

TEST(FuzzyBelonging, UnitSumsBoundsAndPermutationInvariance) {
    // Six objects in three groups with labels out of order; similarities in (0, 1).
    const int n = 6, g = 3, perm[n] = {3, 0, 5, 1, 4, 2};
    int labels[n] = {20, 5, 20, 11, 5, 11}, plabels[n];
    auto sim = [](int i, int j) {
        return i == j ? 1.0 : 0.1 + 0.13 * ((std::min(i, j) + 2 * std::max(i, j) + i * j) % 6);
    };
    Mat<double> S(n, n), P(n, n), U(n, g), PU(n, g);
    for (int i = 0; i < n; i++) {
        plabels[i] = labels[perm[i]];
        for (int j = 0; j < n; j++) {
            S[i][j] = sim(i, j);
            P[i][j] = sim(perm[i], perm[j]);
        }
    }
    FuzzyBelonging(n, g, S, labels, U, false);
    FuzzyBelonging(n, g, P, plabels, PU, false);
    ExpectUnitRowSums(U, 1e-12);
    for (int i = 0; i < n; i++)
        for (int k = 0; k < g; k++) {
            EXPECT_GE(U[i][k], 0.0);
            EXPECT_NEAR(PU[i][k], U[perm[i]][k], 1e-12);  // the rows follow their objects
        }
}

// The earlier form: labels 1..g are the columns (others left out); with dissimilarities the rows
// are scaled, complemented and scaled again. D01 = .5, D02 = .8, D12 = .6, labels {1,1,2}:
//   row 0: (.25, .8)/1.05 -> (.8, .25)/1.05;  row 1: (.25, .6)/.85 -> (.6, .25)/.85;
//   row 2: (.7, 0) -> (0, 1). With similarities it agrees with the current form.
TEST(FuzzyBelongingOld, ComplementsScaledDissimilarities) {
    int labels[] = {1, 1, 2}, outside[] = {1, 3, 0, 1};
    Mat<float> D(3, 3), S(3, 3), U(3, 2), V(3, 2), E(4, 4), W(4, 2);
    Upper(D, {0.5, 0.8, 0.6}, 0);
    Upper(S, {0.5, 0.2, 0.4}, 1);
    Upper(E, {0.5, 0.5, 0.5, 0.5, 0.5, 0.5}, 1);
    EXPECT_TRUE(FuzzyBelonging_OLD(3, 2, D, labels, U, true));
    ExpectCells(U, {{0.8 / 1.05, 0.25 / 1.05}, {0.6 / 0.85, 0.25 / 0.85}, {0, 1}}, 1e-6);
    FuzzyBelonging(3, 2, S, labels, U, false);
    FuzzyBelonging_OLD(3, 2, S, labels, V, false);
    ExpectSame(V, U, 1e-6);
    W.fill(8);
    FuzzyBelonging_OLD(4, 2, E, outside, W, false);  // only labels 1 and 2 have columns
    ExpectCells(W, {{1, 0}, {1, 0}, {1, 0}, {1, 0}}, 1e-6);
}

TEST(Classes, EqualWidthClassNumbers) {
    // 0..4 in four classes of width 1: 0 and 1 in class 1, 2 in class 2, 4 in class 4. Without
    // the MV form -999 is the minimum.
    float x[] = {-999, 0, 1, 2, 4}, c[5], d[5];
    ClassesDefinition(4, x + 1, c, 4, 0.0f, 4.0f);
    ExpectVec(c, {1, 1, 2, 4}, 0);
    Classes(4, x + 1, d, 4);
    ExpectVec(d, {1, 1, 2, 4}, 0);
    ClassesMV(5, x, c, 4);
    ExpectVec(c, {-999, 1, 1, 2, 4}, 0);
    Classes(5, x, c, 2);
    ExpectVec(c, {1, 2, 2, 2, 2}, 0);
    // 10..20 width 2.5: 12.5 closes class 1, 13 in class 2, 17.5 closes class 3.
    double xd[] = {10, 12.5, 13, 20, 17.5, -999}, cd[6];
    Classes(5, xd, cd, 4);
    ExpectVec(cd, {1, 1, 2, 4, 3}, 0);
    ClassesDefinitionMV(6, xd, cd, 4, 10.0, 20.0);
    ExpectVec(cd, {1, 1, 2, 4, 3, -999}, 0);
    // An empty vector writes nothing.
    c[0] = 42;
    Classes(0, x, c, 3);
    ClassesMV(0, x, c, 3);
    EXPECT_EQ(c[0], 42);
}

TEST(Classes, NaNAndExtremeValuesStayWithin1ToK) {
    // A NaN gets no class and leaves the range alone.
    float x[] = {0, NAN, 4, 3}, c[5];
    double xd[] = {NAN, -999, 1, 2}, cd[4];
    Classes(4, x, c, 2);
    ClassesMV(4, xd, cd, 3);
    ExpectVec(c, {1, -999, 2, 2}, 0);
    ExpectVec(cd, {-999, -999, 1, 3}, 0);
    // Bounds at the ends of the float range overflow the plain formula.
    float e[] = {-FLT_MAX, 0.0f, FLT_MAX, FLT_MAX / 2, -FLT_MAX * 0.9f};
    Classes(5, e, c, 3);
    ExpectVec(c, {1, 2, 3, 3, 1}, 0);
}

TEST(FreqDistribution, CountsAndUpperLimits) {
    // 0, 1, 2, 4 in four classes: 0 and 1 in the first; limits 1, 2, 3, 4.
    float x[] = {0, 1, 2, 4}, limits[4], same[] = {5, 5, 5}, withNaN[] = {NAN, 0, NAN, 4, 1};
    int freq[4] = {9, 9, 9, 9};
    FreqDistribution(4, x, freq, 4, limits);
    ExpectVec(freq, {2, 1, 0, 1}, 0);
    ExpectVec(limits, {1, 2, 3, 4}, 0);
    // The minimum goes into the first class, the maximum into the last: -3, 2 (ceil(5 * 2 / 10)
    // = 1), -3 | 7, 7, 7.
    double xd[] = {-3, 7, 2, -3, 7, 7}, ld[2];
    FreqDistribution(6, xd, freq, 2, ld);
    ExpectVec(freq, {3, 3}, 0);
    ExpectVec(ld, {2, 7}, 0);
    FreqDistribution(3, same, freq, 3, nullptr);
    ExpectVec(freq, {3, 0, 0}, 0);
    // NaN values are not counted.
    FreqDistribution(5, withNaN, freq, 2, nullptr);
    ExpectVec(freq, {2, 1}, 0);
    double all[] = {NAN, NAN};
    FreqDistribution(2, all, freq, 3, nullptr);
    ExpectVec(freq, {0, 0, 0}, 0);
}

TEST(FreqDistribution, TotalIsTheNumberOfValuesAtAnyClassCount) {
    std::vector<float> v = {-FLT_MAX, FLT_MAX, 0.0f};
    for (int i = 0; i < 300; i++) v.push_back(std::sin(0.37f * i) * 1e37f);
    for (int k = 1; k <= 17; k++) {
        std::vector<int> freq(k);
        FreqDistribution(int(v.size()), v.data(), freq.data(), k, nullptr);
        int total = 0;
        for (int f : freq) total += f;
        EXPECT_EQ(total, int(v.size())) << "k = " << k;
        EXPECT_GE(freq[0], 1);
        EXPECT_GE(freq[k - 1], 1);
    }
    int guard = 11;  // no class: nothing is written
    FreqDistribution(int(v.size()), v.data(), &guard, 0, nullptr);
    EXPECT_EQ(guard, 11);
}

}  // namespace
