// Group counts, fuzzy and crisp belonging, class numbers and frequency distributions,
// checked on small matrices whose results are worked out by hand.
#include "matrix/qwlib.h"

#include "foundation/qwlibDim.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <vector>

namespace {

// Owned row-pointer matrix filled from rows of values.
template <typename T>
struct Mat {
    int rows, cols;
    T** m;
    Mat(int r, int c, T fill = 0) : rows(r), cols(c)
    {
        m = reinterpret_cast<T**>(dim2D(sizeof(T), r, c));
        for (int i = 0; i < r; i++)
            for (int j = 0; j < c; j++) m[i][j] = fill;
    }
    Mat(std::initializer_list<std::initializer_list<T>> v) : Mat(int(v.size()), int(v.begin()->size()))
    {
        int i = 0;
        for (auto& row : v) {
            int j = 0;
            for (T x : row) m[i][j++] = x;
            i++;
        }
    }
    ~Mat() { free2D(m, rows); }
    Mat(const Mat&) = delete;
    Mat& operator=(const Mat&) = delete;
    T* operator[](int i) { return m[i]; }
};

// Symmetric resemblance of n objects from its upper triangle (row-major, i < j) and a
// diagonal value; the lower triangle is filled with a value the routines must not read.
template <typename T>
void FillUpper(Mat<T>& S, const std::vector<double>& upper, T diag, T lowerJunk = 9)
{
    int t = 0;
    for (int i = 0; i < S.rows; i++) {
        S[i][i] = diag;
        for (int j = i + 1; j < S.rows; j++) {
            S[i][j] = static_cast<T>(upper[t++]);
            S[j][i] = lowerJunk;
        }
    }
}

template <typename T>
void ExpectRow(Mat<T>& U, int i, std::vector<double> expected, double tol = 1e-6)
{
    for (int k = 0; k < U.cols; k++) EXPECT_NEAR(U[i][k], expected[k], tol) << "row " << i << " col " << k;
}

template <typename T>
void ExpectUnitRowSums(Mat<T>& U, double tol = 1e-6)
{
    for (int i = 0; i < U.rows; i++) {
        double s = 0;
        for (int k = 0; k < U.cols; k++) s += U[i][k];
        EXPECT_NEAR(s, 1.0, tol) << "row " << i;
    }
}

}  // namespace

// ------------------------------------------------------------------ group counts

TEST(CountGroupsNew, DistinctLabelsAscending)
{
    int labels[] = {7, 3, 7};
    int distinct[3] = {0, 0, 0};
    int g = -1;
    CountGroupsNew(3, labels, &g, distinct);
    EXPECT_EQ(g, 2);
    EXPECT_EQ(distinct[0], 3);
    EXPECT_EQ(distinct[1], 7);

    int many[] = {4, -2, 4, 0, -2, 9};
    int d[6];
    CountGroupsNew(6, many, &g, d);
    ASSERT_EQ(g, 4);
    EXPECT_EQ(d[0], -2);
    EXPECT_EQ(d[1], 0);
    EXPECT_EQ(d[2], 4);
    EXPECT_EQ(d[3], 9);
    // The labels themselves are left as they were.
    EXPECT_EQ(many[0], 4);
    EXPECT_EQ(many[1], -2);
}

TEST(CountGroupsNew, EmptyNullAndExtremeLabels)
{
    int g = -1;
    CountGroupsNew(0, nullptr, &g, nullptr);
    EXPECT_EQ(g, 0);

    int labels[] = {5, 5, 1};
    CountGroupsNew(3, labels, &g, nullptr);
    EXPECT_EQ(g, 2);

    // Labels whose difference does not fit an int still come out in ascending order.
    int far[] = {2000000000, -2000000000, 0, INT_MIN, INT_MAX};
    int d[5];
    CountGroupsNew(5, far, &g, d);
    ASSERT_EQ(g, 5);
    EXPECT_EQ(d[0], INT_MIN);
    EXPECT_EQ(d[1], -2000000000);
    EXPECT_EQ(d[2], 0);
    EXPECT_EQ(d[3], 2000000000);
    EXPECT_EQ(d[4], INT_MAX);
}

// ------------------------------------------------------------------ crisp belonging

TEST(CrispBelonging, ColumnsFollowAscendingLabels)
{
    int labels[] = {7, 3, 7, 5};
    Mat<float> U(4, 3, 9.0f);
    EXPECT_TRUE(CrispBelonging(4, 3, labels, U.m));
    ExpectRow(U, 0, {0, 0, 1});
    ExpectRow(U, 1, {1, 0, 0});
    ExpectRow(U, 2, {0, 0, 1});
    ExpectRow(U, 3, {0, 1, 0});

    Mat<double> D(4, 3, 9.0);
    EXPECT_TRUE(CrispBelonging(4, 3, labels, D.m));
    for (int i = 0; i < 4; i++)
        for (int k = 0; k < 3; k++) EXPECT_EQ(D[i][k], double(U[i][k]));
}

TEST(CrispBelonging, NullLabelsGiveIdentity)
{
    Mat<float> U(3, 3, 5.0f);
    CrispBelonging(3, 3, nullptr, U.m);
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 3; k++) EXPECT_EQ(U[i][k], i == k ? 1.0f : 0.0f);
}

TEST(CrispBelonging, GroupCountDisagreeingWithLabelsStaysInsideArrays)
{
    // More columns than distinct labels: the extra column stays 0.
    int labels[] = {5, 5};
    Mat<float> U(2, 4, 9.0f);
    CrispBelonging(2, 4, labels, U.m);
    ExpectRow(U, 0, {1, 0, 0, 0});
    ExpectRow(U, 1, {1, 0, 0, 0});

    // Fewer columns than distinct labels: objects of the labels without a column get none.
    int three[] = {1, 2, 3};
    Mat<double> V(3, 2, 9.0);
    CrispBelonging(3, 2, three, V.m);
    ExpectRow(V, 0, {1, 0});
    ExpectRow(V, 1, {0, 1});
    ExpectRow(V, 2, {0, 0});
}

// ------------------------------------------------------------------ fuzzy belonging

// Three objects, labels {1, 1, 2}, similarities s01 = .5, s02 = .2, s12 = .4, unit diagonal:
//   row 0: group 1 (1 + .5)/2 = .75, group 2 .2       -> (.75, .2) / .95
//   row 1: group 1 (.5 + 1)/2 = .75, group 2 .4       -> (.75, .4) / 1.15
//   row 2: group 1 (.2 + .4)/2 = .3, group 2 1        -> (.3, 1) / 1.3
TEST(FuzzyBelonging, HandWorkedSimilarities)
{
    int labels[] = {1, 1, 2};
    Mat<float> S(3, 3);
    FillUpper(S, {0.5, 0.2, 0.4}, 1.0f);
    Mat<float> U(3, 2, 7.0f);
    EXPECT_TRUE(FuzzyBelonging(3, 2, S.m, labels, U.m, false));
    ExpectRow(U, 0, {0.75 / 0.95, 0.2 / 0.95});
    ExpectRow(U, 1, {0.75 / 1.15, 0.4 / 1.15});
    ExpectRow(U, 2, {0.3 / 1.3, 1.0 / 1.3});
    ExpectUnitRowSums(U);
    // The lower triangle now mirrors the upper one; the upper one is unchanged.
    EXPECT_EQ(S[1][0], 0.5f);
    EXPECT_EQ(S[2][0], 0.2f);
    EXPECT_EQ(S[2][1], 0.4f);
    EXPECT_EQ(S[0][1], 0.5f);
}

TEST(FuzzyBelonging, DissimilaritiesAndAllOverloadsAgree)
{
    int labels[] = {1, 1, 2};
    const std::vector<double> expect0 = {0.75 / 0.95, 0.2 / 0.95};
    const std::vector<double> expect2 = {0.3 / 1.3, 1.0 / 1.3};

    Mat<float> D(3, 3);
    FillUpper(D, {0.5, 0.8, 0.6}, 0.0f);
    Mat<float> U(3, 2);
    FuzzyBelonging(3, 2, D.m, labels, U.m, true);
    ExpectRow(U, 0, expect0);
    ExpectRow(U, 2, expect2);

    Mat<float> D2(3, 3);
    FillUpper(D2, {0.5, 0.8, 0.6}, 0.0f);
    Mat<double> Ud(3, 2);
    FuzzyBelonging(3, 2, D2.m, labels, Ud.m, true);
    ExpectRow(Ud, 0, expect0);
    ExpectRow(Ud, 2, expect2);

    Mat<double> Dd(3, 3);
    FillUpper(Dd, {0.5, 0.8, 0.6}, 0.0);
    Mat<double> Udd(3, 2);
    FuzzyBelonging(3, 2, Dd.m, labels, Udd.m, true);
    ExpectRow(Udd, 0, expect0, 1e-12);
    ExpectRow(Udd, 1, {0.75 / 1.15, 0.4 / 1.15}, 1e-12);
    ExpectRow(Udd, 2, expect2, 1e-12);
}

// Labels {7, 3, 7}: column 0 is label 3 (object 1 alone), column 1 label 7 (objects 0, 2).
// Row 0: label 3 gets .5/1; label 7 gets (1 + .2)/2 = .6 -> (.5, .6) / 1.1.
TEST(FuzzyBelonging, ColumnsFollowAscendingLabels)
{
    int labels[] = {7, 3, 7};
    Mat<float> S(3, 3);
    FillUpper(S, {0.5, 0.2, 0.4}, 1.0f);
    Mat<float> U(3, 2);
    FuzzyBelonging(3, 2, S.m, labels, U.m, false);
    ExpectRow(U, 0, {0.5 / 1.1, 0.6 / 1.1});
    // Row 1: label 3 gets 1; label 7 gets (.5 + .4)/2 = .45.
    ExpectRow(U, 1, {1.0 / 1.45, 0.45 / 1.45});
    ExpectUnitRowSums(U);
}

TEST(FuzzyBelonging, NullLabelsGiveRowsProportionalToSimilarities)
{
    Mat<double> S(3, 3);
    FillUpper(S, {0.5, 0.2, 0.4}, 1.0);
    Mat<double> U(3, 3);
    FuzzyBelonging(3, 3, S.m, nullptr, U.m, false);
    ExpectRow(U, 0, {1 / 1.7, 0.5 / 1.7, 0.2 / 1.7}, 1e-12);
    ExpectRow(U, 1, {0.5 / 1.9, 1 / 1.9, 0.4 / 1.9}, 1e-12);
    ExpectRow(U, 2, {0.2 / 1.6, 0.4 / 1.6, 1 / 1.6}, 1e-12);
}

// Objects 0 and 1 are identical (similarity 1) in group 1 = {0, 1, 2}; object 3 is group 2.
// s02 = s12 = .5, s03 = s13 = .2, s23 = .6. Group 1 counts two distinct members (0 and 2):
//   row 3: group 1 (.2 + .6)/2 = .4, group 2 1                 -> (.4, 1) / 1.4
//   rows 0 and 1: group 1 (1 + .5)/2 = .75, group 2 .2         -> (.75, .2) / .95
//   row 2: group 1 (.5 + 1)/2 = .75, group 2 .6                -> (.75, .6) / 1.35
// Counting object 1 as well would give row 3 (.2 + .2 + .6)/3 = 1/3 -> (.25, .75).
TEST(FuzzyBelonging, IdenticalObjectsCountOnceAndShareTheirBelonging)
{
    int labels[] = {1, 1, 1, 2};
    Mat<float> S(4, 4);
    FillUpper(S, {1.0, 0.5, 0.2, 0.5, 0.2, 0.6}, 1.0f);
    Mat<float> U(4, 2);
    FuzzyBelonging(4, 2, S.m, labels, U.m, false);
    ExpectRow(U, 3, {0.4 / 1.4, 1.0 / 1.4});
    ExpectRow(U, 0, {0.75 / 0.95, 0.2 / 0.95});
    ExpectRow(U, 1, {0.75 / 0.95, 0.2 / 0.95});
    ExpectRow(U, 2, {0.75 / 1.35, 0.6 / 1.35});
    EXPECT_EQ(U[0][0], U[1][0]);
    EXPECT_EQ(U[0][1], U[1][1]);

    // The same objects as dissimilarities (0 between the identical pair), double throughout.
    Mat<double> D(4, 4);
    FillUpper(D, {0.0, 0.5, 0.8, 0.5, 0.8, 0.4}, 0.0);
    Mat<double> V(4, 2);
    FuzzyBelonging(4, 2, D.m, labels, V.m, true);
    ExpectRow(V, 3, {0.4 / 1.4, 1.0 / 1.4}, 1e-12);
    ExpectRow(V, 1, {0.75 / 0.95, 0.2 / 0.95}, 1e-12);
}

TEST(FuzzyBelonging, IdentityToleranceIsOneSinglePrecisionStep)
{
    int labels[] = {1, 1, 1, 2};
    const float oneStep = std::nextafter(1.0f, 0.0f);
    const float twoSteps = std::nextafter(oneStep, 0.0f);

    Mat<float> S(4, 4);
    FillUpper(S, {oneStep, 0.5, 0.2, 0.5, 0.2, 0.6}, 1.0f);
    Mat<float> U(4, 2);
    FuzzyBelonging(4, 2, S.m, labels, U.m, false);
    ExpectRow(U, 3, {0.4 / 1.4, 1.0 / 1.4});   // a duplicate

    Mat<float> S2(4, 4);
    FillUpper(S2, {twoSteps, 0.5, 0.2, 0.5, 0.2, 0.6}, 1.0f);
    Mat<float> U2(4, 2);
    FuzzyBelonging(4, 2, S2.m, labels, U2.m, false);
    ExpectRow(U2, 3, {0.25, 0.75});           // three distinct members

    // The double form judges identity in single precision: 1 - 1e-9 rounds to 1.0f.
    Mat<double> Sd(4, 4);
    FillUpper(Sd, {1.0 - 1e-9, 0.5, 0.2, 0.5, 0.2, 0.6}, 1.0);
    Mat<double> Ud(4, 2);
    FuzzyBelonging(4, 2, Sd.m, labels, Ud.m, false);
    ExpectRow(Ud, 3, {0.4 / 1.4, 1.0 / 1.4});
}

// Objects 0 and 1 have similarity 1 but different labels {1, 2, 2}: no duplicates.
// Row 0: group 1 gets 1; group 2 (1 + .5)/2 = .75 -> (1, .75) / 1.75.
TEST(FuzzyBelonging, IdenticalObjectsOfDifferentGroupsAreNotDuplicates)
{
    int labels[] = {1, 2, 2};
    Mat<float> S(3, 3);
    FillUpper(S, {1.0, 0.5, 0.5}, 1.0f);
    Mat<float> U(3, 2);
    FuzzyBelonging(3, 2, S.m, labels, U.m, false);
    ExpectRow(U, 0, {1 / 1.75, 0.75 / 1.75});
}

// A missing cell (-999) adds nothing and keeps the divisor: labels {1, 1, 2}, s01 missing.
// Row 0: group 1 1/2 = .5, group 2 .2 -> (.5, .2) / .7.
TEST(FuzzyBelonging, MissingCellsAddNothing)
{
    int labels[] = {1, 1, 2};
    Mat<float> S(3, 3);
    FillUpper(S, {-999.0, 0.2, 0.4}, 1.0f);
    Mat<float> U(3, 2);
    FuzzyBelonging(3, 2, S.m, labels, U.m, false);
    ExpectRow(U, 0, {0.5 / 0.7, 0.2 / 0.7});
    ExpectRow(U, 2, {0.3 / 1.3, 1.0 / 1.3});   // group 1 (.2 + .4)/2 = .3, both members present
}

TEST(FuzzyBelonging, MissingDissimilarityIsNotComplemented)
{
    int labels[] = {1, 1, 2};
    Mat<double> D(3, 3);
    FillUpper(D, {-999.0, 0.8, 0.6}, 0.0);
    Mat<double> U(3, 2);
    FuzzyBelonging(3, 2, D.m, labels, U.m, true);
    ExpectRow(U, 0, {0.5 / 0.7, 0.2 / 0.7}, 1e-12);
}

TEST(FuzzyBelonging, NaNCellIsNeitherIdentityNorMissing)
{
    // s01 is NaN: the pair is no duplicate (group 1 keeps two members), rows 0 and 1 carry
    // the NaN, row 2 is the plain mean.
    int labels[] = {1, 1, 2};
    Mat<float> S(3, 3);
    FillUpper(S, {NAN, 0.2, 0.4}, 1.0f);
    Mat<float> U(3, 2);
    FuzzyBelonging(3, 2, S.m, labels, U.m, false);
    ExpectRow(U, 2, {0.3 / 1.3, 1.0 / 1.3});
    EXPECT_TRUE(std::isnan(U[0][0]));
    EXPECT_TRUE(std::isnan(U[1][0]));
}

TEST(FuzzyBelonging, SingleObjectAndEmptyCall)
{
    int label = 4;
    Mat<float> S{{1.0f}};
    Mat<float> U(1, 1, 3.0f);
    FuzzyBelonging(1, 1, S.m, &label, U.m, false);
    EXPECT_FLOAT_EQ(U[0][0], 1.0f);
    EXPECT_EQ(S[0][0], 1.0f);

    // A missing diagonal leaves the row at 0.
    Mat<float> M{{-999.0f}};
    FuzzyBelonging(1, 1, M.m, &label, U.m, false);
    EXPECT_EQ(U[0][0], 0.0f);

    // n < 1 touches nothing.
    Mat<float> V(1, 1, 3.0f);
    EXPECT_TRUE(FuzzyBelonging(0, 1, S.m, nullptr, V.m, false));
    EXPECT_EQ(V[0][0], 3.0f);
}

TEST(FuzzyBelonging, UnitSumsBoundsAndPermutationInvariance)
{
    // Six objects in three groups with labels out of order; similarities in (0, 1).
    const int n = 6, g = 3;
    int labels[n] = {20, 5, 20, 11, 5, 11};
    double sim[n][n];
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) sim[i][j] = i == j ? 1.0 : 0.1 + 0.13 * ((i + 2 * j + i * j) % 6);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < i; j++) sim[i][j] = sim[j][i];

    Mat<double> S(n, n);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) S[i][j] = sim[i][j];
    Mat<double> U(n, g);
    FuzzyBelonging(n, g, S.m, labels, U.m, false);
    ExpectUnitRowSums(U, 1e-12);
    for (int i = 0; i < n; i++)
        for (int k = 0; k < g; k++) {
            EXPECT_GE(U[i][k], 0.0);
            EXPECT_LE(U[i][k], 1.0);
        }

    // Objects listed in another order: the rows follow their objects.
    const int perm[n] = {3, 0, 5, 1, 4, 2};
    int plabels[n];
    Mat<double> P(n, n);
    for (int i = 0; i < n; i++) {
        plabels[i] = labels[perm[i]];
        for (int j = 0; j < n; j++) P[i][j] = sim[perm[i]][perm[j]];
    }
    Mat<double> PU(n, g);
    FuzzyBelonging(n, g, P.m, plabels, PU.m, false);
    for (int i = 0; i < n; i++)
        for (int k = 0; k < g; k++) EXPECT_NEAR(PU[i][k], U[perm[i]][k], 1e-12);
}

TEST(FuzzyBelonging, GroupCountDisagreeingWithLabelsStaysInsideArrays)
{
    int labels[] = {1, 1, 2};
    // More columns than groups: the extra column is 0 and the rows still add up to 1.
    Mat<float> S(3, 3);
    FillUpper(S, {0.5, 0.2, 0.4}, 1.0f);
    Mat<float> U(3, 5, 4.0f);
    FuzzyBelonging(3, 5, S.m, labels, U.m, false);
    ExpectRow(U, 0, {0.75 / 0.95, 0.2 / 0.95, 0, 0, 0});
    ExpectUnitRowSums(U);

    // Fewer columns than groups: only group 1 is described.
    Mat<float> S2(3, 3);
    FillUpper(S2, {0.5, 0.2, 0.4}, 1.0f);
    Mat<float> V(3, 1);
    FuzzyBelonging(3, 1, S2.m, labels, V.m, false);
    ExpectRow(V, 2, {1.0});
}

// The earlier form: labels 1..g are the columns; with dissimilarities the rows are scaled,
// complemented and scaled again. D01 = .5, D02 = .8, D12 = .6, zero diagonal, labels {1,1,2}:
//   row 0: (.25, .8)/1.05 -> complement -> (.8, .25)/1.05
//   row 1: (.25, .6)/.85  -> (.6, .25)/.85
//   row 2: (.7, 0)        -> (0, 1)
TEST(FuzzyBelongingOld, ComplementsScaledDissimilarities)
{
    int labels[] = {1, 1, 2};
    Mat<float> D(3, 3);
    FillUpper(D, {0.5, 0.8, 0.6}, 0.0f);
    Mat<float> U(3, 2);
    EXPECT_TRUE(FuzzyBelonging_OLD(3, 2, D.m, labels, U.m, true));
    ExpectRow(U, 0, {0.8 / 1.05, 0.25 / 1.05});
    ExpectRow(U, 1, {0.6 / 0.85, 0.25 / 0.85});
    ExpectRow(U, 2, {0, 1});
    EXPECT_EQ(D[2][1], 0.6f);

    // With similarities it agrees with the current form.
    Mat<float> S(3, 3);
    FillUpper(S, {0.5, 0.2, 0.4}, 1.0f);
    Mat<float> V(3, 2);
    FuzzyBelonging_OLD(3, 2, S.m, labels, V.m, false);
    ExpectRow(V, 0, {0.75 / 0.95, 0.2 / 0.95});
    ExpectRow(V, 2, {0.3 / 1.3, 1.0 / 1.3});
}

TEST(FuzzyBelongingOld, LabelsOutsideTheColumnsAreLeftOut)
{
    int labels[] = {1, 3, 0, 1};   // only labels 1 and 2 have columns
    Mat<float> S(4, 4);
    FillUpper(S, {0.5, 0.5, 0.5, 0.5, 0.5, 0.5}, 1.0f);
    Mat<float> U(4, 2, 8.0f);
    FuzzyBelonging_OLD(4, 2, S.m, labels, U.m, false);
    for (int i = 0; i < 4; i++) {
        EXPECT_FLOAT_EQ(U[i][0], 1.0f);
        EXPECT_EQ(U[i][1], 0.0f);
    }
}

// ------------------------------------------------------------------ classes

TEST(Classes, EqualWidthClassNumbers)
{
    float x[] = {0, 1, 2, 4};
    float c[4];
    ClassesDefinition(4, x, c, 4, 0.0f, 4.0f);
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[1], 1);
    EXPECT_EQ(c[2], 2);
    EXPECT_EQ(c[3], 4);

    float c2[4];
    Classes(4, x, c2, 4);
    for (int i = 0; i < 4; i++) EXPECT_EQ(c2[i], c[i]);

    double xd[] = {10, 12.5, 13, 20, 17.5};
    double cd[5];
    Classes(5, xd, cd, 4);
    // min 10, max 20, width 2.5: 12.5 closes class 1, 13 in class 2, 17.5 closes class 3.
    EXPECT_EQ(cd[0], 1);
    EXPECT_EQ(cd[1], 1);
    EXPECT_EQ(cd[2], 2);
    EXPECT_EQ(cd[3], 4);
    EXPECT_EQ(cd[4], 3);
}

TEST(Classes, MissingValuesKeepTheirCode)
{
    float x[] = {-999, 0, 1, 2, 4};
    float c[5];
    ClassesMV(5, x, c, 4);
    EXPECT_EQ(c[0], -999);
    EXPECT_EQ(c[1], 1);
    EXPECT_EQ(c[2], 1);
    EXPECT_EQ(c[3], 2);
    EXPECT_EQ(c[4], 4);

    // Without the MV form -999 is the minimum.
    float c2[5];
    Classes(5, x, c2, 2);
    EXPECT_EQ(c2[0], 1);
    EXPECT_EQ(c2[4], 2);
    EXPECT_EQ(c2[1], 2);

    double xd[] = {3, -999, 5};
    double cd[3];
    ClassesDefinitionMV(3, xd, cd, 2, 3.0, 5.0);
    EXPECT_EQ(cd[0], 1);
    EXPECT_EQ(cd[1], -999);
    EXPECT_EQ(cd[2], 2);
}

TEST(Classes, NaNValuesGetNoClassAndLeaveTheRangeAlone)
{
    float x[] = {0, NAN, 4, 3};
    float c[4];
    Classes(4, x, c, 2);
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[1], -999);
    EXPECT_EQ(c[2], 2);
    EXPECT_EQ(c[3], 2);

    double xd[] = {NAN, -999, 1, 2};
    double cd[4];
    ClassesMV(4, xd, cd, 3);
    EXPECT_EQ(cd[0], -999);
    EXPECT_EQ(cd[1], -999);
    EXPECT_EQ(cd[2], 1);
    EXPECT_EQ(cd[3], 3);
}

TEST(Classes, EveryValueInsideTheRangeGetsAClassWithin1ToK)
{
    // Bounds at the ends of the float range overflow the plain formula.
    float x[] = {-FLT_MAX, 0.0f, FLT_MAX, FLT_MAX / 2, -FLT_MAX * 0.9f};
    float c[5];
    Classes(5, x, c, 3);
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[1], 2);
    EXPECT_EQ(c[2], 3);
    EXPECT_EQ(c[3], 3);
    EXPECT_EQ(c[4], 1);

    // Many values, several class counts: all classes within 1..k.
    std::vector<float> v;
    for (int i = 0; i < 500; i++) v.push_back(0.1f * i + 1e-7f * i * i);
    std::vector<float> cls(v.size());
    for (int k = 1; k <= 13; k++) {
        Classes(int(v.size()), v.data(), cls.data(), k);
        for (float cl : cls) {
            EXPECT_GE(cl, 1);
            EXPECT_LE(cl, k);
            EXPECT_EQ(cl, std::floor(cl));
        }
    }
}

TEST(Classes, EmptyVectorWritesNothing)
{
    float x[1] = {3};
    float c[1] = {42};
    Classes(0, x, c, 3);
    ClassesMV(0, x, c, 3);
    EXPECT_EQ(c[0], 42);
}

// ------------------------------------------------------------------ frequency distribution

TEST(FreqDistribution, CountsAndUpperLimits)
{
    float x[] = {0, 1, 2, 4};
    int freq[4] = {9, 9, 9, 9};
    float limits[4];
    FreqDistribution(4, x, freq, 4, limits);
    EXPECT_EQ(freq[0], 2);
    EXPECT_EQ(freq[1], 1);
    EXPECT_EQ(freq[2], 0);
    EXPECT_EQ(freq[3], 1);
    EXPECT_FLOAT_EQ(limits[0], 1);
    EXPECT_FLOAT_EQ(limits[1], 2);
    EXPECT_FLOAT_EQ(limits[2], 3);
    EXPECT_FLOAT_EQ(limits[3], 4);

    // Minimum into the first class, maximum into the last, limits from min to max.
    double xd[] = {-3, 7, 2, -3, 7, 7};
    int fd[2];
    double ld[2];
    FreqDistribution(6, xd, fd, 2, ld);
    EXPECT_EQ(fd[0], 3);   // -3, 2 (ceil(5 * 2 / 10) = 1), -3
    EXPECT_EQ(fd[1], 3);
    EXPECT_DOUBLE_EQ(ld[0], 2);
    EXPECT_DOUBLE_EQ(ld[1], 7);

    float same[] = {5, 5, 5};
    int fs[3];
    FreqDistribution(3, same, fs, 3, nullptr);
    EXPECT_EQ(fs[0], 3);
    EXPECT_EQ(fs[1], 0);
    EXPECT_EQ(fs[2], 0);
}

TEST(FreqDistribution, NaNValuesAreNotCounted)
{
    float x[] = {NAN, 0, NAN, 4, 1};
    int freq[2];
    FreqDistribution(5, x, freq, 2, nullptr);
    EXPECT_EQ(freq[0], 2);
    EXPECT_EQ(freq[1], 1);

    double all[] = {NAN, NAN};
    int f2[3] = {7, 7, 7};
    FreqDistribution(2, all, f2, 3, nullptr);
    EXPECT_EQ(f2[0] + f2[1] + f2[2], 0);
}

TEST(FreqDistribution, TotalIsTheNumberOfValuesAtAnyClassCount)
{
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

    // No class: nothing is written.
    int guard = 11;
    FreqDistribution(int(v.size()), v.data(), &guard, 0, nullptr);
    EXPECT_EQ(guard, 11);
}
