// Pooling by groups, relevé changes, moving windows, distinct labels, vector extremes and the
// naive-Bayes estimates, on small tables worked out by hand.
#include "matrix/qwlib.h"

#include "foundation/qwlibDim.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <memory>
#include <vector>

namespace {

struct FMat {
    int rows, cols;
    float** m;
    FMat(int r, int c, float fill = 0) : rows(r), cols(c), m(dim2Dfloat(r, c))
    {
        for (int i = 0; i < r; i++)
            for (int j = 0; j < c; j++) m[i][j] = fill;
    }
    FMat(std::initializer_list<std::initializer_list<float>> v) : FMat(int(v.size()), int(v.begin()->size()))
    {
        int i = 0;
        for (auto& row : v) {
            int j = 0;
            for (float x : row) m[i][j++] = x;
            i++;
        }
    }
    ~FMat() { free2D(m, rows); }
    FMat(const FMat&) = delete;
    FMat& operator=(const FMat&) = delete;
    float* operator[](int i) { return m[i]; }
    double Total()
    {
        double t = 0;
        for (int i = 0; i < rows; i++)
            for (int j = 0; j < cols; j++) t += m[i][j];
        return t;
    }
};

void ExpectMat(FMat& A, std::vector<std::vector<double>> expected, double tol = 1e-5)
{
    ASSERT_EQ(int(expected.size()), A.rows);
    for (int i = 0; i < A.rows; i++)
        for (int j = 0; j < A.cols; j++)
            EXPECT_NEAR(A[i][j], expected[i][j], tol) << "cell " << i << "," << j;
}

// 3 x 4 table used by the pooling tests; total 78.
FMat* Table()
{
    return new FMat{{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
}

}  // namespace

// ------------------------------------------------------------------ ConcentrateGroups

// Row groups {1, 2, 1}, column groups {2, 1, 2, 1}:
//   (1,1) rows 0,2 x cols 1,3: 2+4+10+12 = 28 / 4 = 7     (1,2) 1+3+9+11 = 24 / 4 = 6
//   (2,1) row 1 x cols 1,3: 6+8 = 14 / 2 = 7              (2,2) 5+7 = 12 / 2 = 6
// Rescaled: sum of sums 78, sum of means 26, factor 3.
TEST(ConcentrateGroups, CellMeansAndRescaledMeans)
{
    std::unique_ptr<FMat> in(Table());
    int rows[] = {1, 2, 1};
    int cols[] = {2, 1, 2, 1};
    FMat out(2, 2, 99.0f);
    EXPECT_EQ(ConcentrateGroups(3, 4, in->m, out.m, 2, rows, 2, cols, 2), 1);
    ExpectMat(out, {{7, 6}, {7, 6}});
    ConcentrateGroups(3, 4, in->m, out.m, 2, rows, 2, cols, 0);
    ExpectMat(out, {{7, 6}, {7, 6}});

    ConcentrateGroups(3, 4, in->m, out.m, 2, rows, 2, cols, 1);
    ExpectMat(out, {{21, 18}, {21, 18}});
    EXPECT_NEAR(out.Total(), in->Total(), 1e-4);
    // The input is left as it was.
    EXPECT_EQ((*in)[2][3], 12.0f);
}

TEST(ConcentrateGroups, LabelsOutsideTheGroupsAreLeftOut)
{
    std::unique_ptr<FMat> in(Table());
    int rows[] = {1, 0, 3};          // only row 0 is in a group (k = 2)
    int cols[] = {1, -4, 1, 1000};   // columns 0 and 2 are group 1 (g = 1)
    FMat out(2, 1);
    ConcentrateGroups(3, 4, in->m, out.m, 2, rows, 1, cols, 2);
    ExpectMat(out, {{2}, {0}});      // (1 + 3) / 2; group 2 has no members
    ConcentrateGroups(3, 4, in->m, out.m, 2, rows, 1, cols, 1);
    ExpectMat(out, {{4}, {0}});      // the total of the cells in groups is 4
}

TEST(ConcentrateGroups, EmptyGroupGivesZeroAndStaysOutOfTheRescaling)
{
    std::unique_ptr<FMat> in(Table());
    int rows[] = {1, 2, 1};
    int cols[] = {2, 1, 2, 1};
    FMat out(3, 3, 99.0f);   // row group 3 and column group 3 have no members
    ConcentrateGroups(3, 4, in->m, out.m, 3, rows, 3, cols, 2);
    ExpectMat(out, {{7, 6, 0}, {7, 6, 0}, {0, 0, 0}});
    ConcentrateGroups(3, 4, in->m, out.m, 3, rows, 3, cols, 1);
    ExpectMat(out, {{21, 18, 0}, {21, 18, 0}, {0, 0, 0}});
    for (int a = 0; a < 3; a++)
        for (int b = 0; b < 3; b++) EXPECT_FALSE(std::isnan(out[a][b]));
}

TEST(ConcentrateGroups, RescaledTotalsArePreservedAndZeroDataStayZero)
{
    // Unequal group sizes: the rescaled grand total still equals the input total.
    const int n = 7, p = 5;
    FMat in(n, p);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) in[i][j] = float((i * 7 + j * 3) % 11) + 0.25f * j;
    int rows[n] = {3, 1, 1, 2, 3, 3, 3};
    int cols[p] = {2, 1, 2, 2, 2};
    FMat out(3, 2);
    ConcentrateGroups(n, p, in.m, out.m, 3, rows, 2, cols, 1);
    EXPECT_NEAR(out.Total(), in.Total(), 1e-3);

    // Group means of an all-zero table are 0, not 0/0.
    FMat zero(2, 2);
    int r2[] = {1, 2};
    int c2[] = {1, 1};
    FMat o2(2, 1, 5.0f);
    ConcentrateGroups(2, 2, zero.m, o2.m, 2, r2, 1, c2, 1);
    ExpectMat(o2, {{0}, {0}});
}

// ------------------------------------------------------------------ row and column groups

TEST(ConcentrateRowGroups, SumsMeansAndRescaledMeans)
{
    std::unique_ptr<FMat> in(Table());
    int rows[] = {1, 2, 1};
    FMat out(2, 4);
    ConcentrateRowGroups(3, 4, in->m, out.m, 2, rows, 0);
    ExpectMat(out, {{10, 12, 14, 16}, {5, 6, 7, 8}});
    ConcentrateRowGroups(3, 4, in->m, out.m, 2, rows, 2);
    ExpectMat(out, {{5, 6, 7, 8}, {5, 6, 7, 8}});
    // Sum of sums 78, sum of means 52: factor 1.5.
    ConcentrateRowGroups(3, 4, in->m, out.m, 2, rows, 1);
    ExpectMat(out, {{7.5, 9, 10.5, 12}, {7.5, 9, 10.5, 12}});
    EXPECT_NEAR(out.Total(), 78.0, 1e-4);

    FMat out3(3, 4, 99.0f);
    ConcentrateRowGroups(3, 4, in->m, out3.m, 3, rows, 2);
    ExpectMat(out3, {{5, 6, 7, 8}, {5, 6, 7, 8}, {0, 0, 0, 0}});
    ConcentrateRowGroups(3, 4, in->m, out3.m, 3, rows, 1);
    ExpectMat(out3, {{7.5, 9, 10.5, 12}, {7.5, 9, 10.5, 12}, {0, 0, 0, 0}});
}

TEST(ConcentrateColGroups, SumsMeansAndRescaledMeans)
{
    std::unique_ptr<FMat> in(Table());
    int cols[] = {2, 1, 2, 1};
    FMat out(3, 2);
    ConcentrateColGroups(3, 4, in->m, out.m, 2, cols, 0);
    ExpectMat(out, {{6, 4}, {14, 12}, {22, 20}});
    ConcentrateColGroups(3, 4, in->m, out.m, 2, cols, 2);
    ExpectMat(out, {{3, 2}, {7, 6}, {11, 10}});
    ConcentrateColGroups(3, 4, in->m, out.m, 2, cols, 1);
    ExpectMat(out, {{6, 4}, {14, 12}, {22, 20}});

    int uneven[] = {1, 1, 1, 2};   // sizes 3 and 1: sums (6,4) (18,8) (30,12), total 78
    ConcentrateColGroups(3, 4, in->m, out.m, 2, uneven, 1);
    EXPECT_NEAR(out.Total(), 78.0, 1e-4);
    // Means (2,4) (6,8) (10,12) sum to 42; factor 78/42.
    EXPECT_NEAR(out[0][0], 2 * 78.0 / 42, 1e-4);
    EXPECT_NEAR(out[2][1], 12 * 78.0 / 42, 1e-4);

    int withEmpty[] = {1, 1, 3, 3};   // group 2 empty
    FMat o3(3, 3, 99.0f);
    ConcentrateColGroups(3, 4, in->m, o3.m, 3, withEmpty, 2);
    ExpectMat(o3, {{1.5, 0, 3.5}, {5.5, 0, 7.5}, {9.5, 0, 11.5}});
}

// ------------------------------------------------------------------ ReleveChange

TEST(ReleveChange, DifferencesWithinUnits)
{
    FMat A{{1, 2, 3, 4}, {10, 20, 30, 40}};   // 2 variables x 4 relevés
    int pairs[] = {1, 2, 1, 2};
    FMat B(2, 2);
    ReleveChange(4, A.m, B.m, 2, 2, pairs);
    ExpectMat(B, {{2, 2}, {20, 20}});   // later relevé minus earlier one

    int three[] = {1, 1, 1, 2};          // third - second + first; a lone relevé is itself
    FMat C(2, 2);
    ReleveChange(4, A.m, C.m, 2, 2, three);
    ExpectMat(C, {{2, 4}, {20, 40}});

    int odd[] = {0, 1, 7, 1};            // labels outside 1..k are left out
    FMat D(2, 2, 0.0f);
    ReleveChange(4, A.m, D.m, 2, 2, odd);
    ExpectMat(D, {{2, 0}, {20, 0}});
}

// ------------------------------------------------------------------ moving windows

TEST(SplitMovingWinPool, WindowMeansByRowsAndColumns)
{
    FMat in{{1, 2}, {3, 4}, {5, 6}, {7, 8}};
    FMat out(4, 2, -1.0f);
    int nOut = -5;
    SplitMovingWinPool(4, 2, in.m, out.m, 2, &nOut, true);
    ASSERT_EQ(nOut, 3);
    ExpectMat(out, {{2, 3}, {4, 5}, {6, 7}, {-1, -1}});

    // A window as long as the series: one window, the column means.
    SplitMovingWinPool(4, 2, in.m, out.m, 4, &nOut, true);
    ASSERT_EQ(nOut, 1);
    EXPECT_FLOAT_EQ(out[0][0], 4);
    EXPECT_FLOAT_EQ(out[0][1], 5);

    FMat wide{{1, 2, 3, 4}, {5, 6, 7, 8}};
    FMat o2(2, 2);
    SplitMovingWinPool(2, 4, wide.m, o2.m, 3, &nOut, false);
    ASSERT_EQ(nOut, 2);
    ExpectMat(o2, {{2, 3}, {6, 7}});
}

TEST(SplitMovingWinPool, TooLongOrEmptyWindowsWriteNothing)
{
    FMat in{{1, 2}, {3, 4}};
    FMat out(2, 2, -1.0f);
    int nOut = 99;
    SplitMovingWinPool(2, 2, in.m, out.m, 3, &nOut, true);
    EXPECT_EQ(nOut, 0);
    SplitMovingWinPool(2, 2, in.m, out.m, 5, &nOut, false);
    EXPECT_LT(nOut, 1);
    SplitMovingWinPool(2, 2, in.m, out.m, 0, &nOut, true);
    EXPECT_EQ(nOut, 0);
    SplitMovingWinPool(2, 2, in.m, out.m, -2, &nOut, false);
    EXPECT_EQ(nOut, 0);
    ExpectMat(out, {{-1, -1}, {-1, -1}});
}

// ------------------------------------------------------------------ group counts

TEST(CountGroups, DistinctLabelsAscending)
{
    int labels[] = {3, 1, 3, 2};
    int d[4] = {0, 0, 0, 0};
    int g = -1;
    CountGroups(4, labels, &g, d);
    ASSERT_EQ(g, 3);
    EXPECT_EQ(d[0], 1);
    EXPECT_EQ(d[1], 2);
    EXPECT_EQ(d[2], 3);

    CountGroups(0, labels, &g, d);
    EXPECT_EQ(g, 0);
    CountGroups(4, labels, &g, nullptr);
    EXPECT_EQ(g, 3);

    int far[] = {INT_MAX, INT_MIN, 7};
    CountGroups(3, far, &g, d);
    ASSERT_EQ(g, 3);
    EXPECT_EQ(d[0], INT_MIN);
    EXPECT_EQ(d[1], 7);
    EXPECT_EQ(d[2], INT_MAX);
}

TEST(CountGroupsSelect, OnlySelectedObjectsCount)
{
    int labels[] = {3, 1, 3, 2, 5};
    int select[] = {1, 0, 1, 1, 2};   // only entries equal to 1 select
    int d[5];
    int g = -1;
    CountGroupsSelect(5, labels, select, &g, d);
    ASSERT_EQ(g, 2);
    EXPECT_EQ(d[0], 2);
    EXPECT_EQ(d[1], 3);
    CountGroupsSelect(5, labels, select, &g, nullptr);
    EXPECT_EQ(g, 2);
    int none[] = {0, 0, 0, 0, 0};
    CountGroupsSelect(5, labels, none, &g, d);
    EXPECT_EQ(g, 0);
}

// ------------------------------------------------------------------ vector extremes

TEST(VectorExtremes, ValuesAndStartValues)
{
    int iv[] = {4, -7, 9, 2};
    float fv[] = {1.5f, -2.0f, 8.25f};
    double dv[] = {-1e300, 3.0, -4.0};
    EXPECT_EQ(maxVector(4, iv), 9);
    EXPECT_EQ(maxVectorInt(4, iv), 9);
    EXPECT_EQ(minVectorInt(4, iv), -7);
    EXPECT_EQ(maxVector(3, fv), 8.25f);
    EXPECT_EQ(minVector(3, fv), -2.0f);
    EXPECT_EQ(maxVector(3, dv), 3.0);
    EXPECT_EQ(minVector(3, dv), -1e300);

    EXPECT_EQ(maxVector(0, iv), -2147483647);
    EXPECT_EQ(maxVectorInt(0, iv), INT_MIN);
    EXPECT_EQ(minVectorInt(0, iv), INT_MAX);
    EXPECT_EQ(maxVector(0, fv), -FLT_MAX);
    EXPECT_EQ(minVector(0, fv), FLT_MAX);
    EXPECT_EQ(maxVector(0, dv), -DBL_MAX);
    EXPECT_EQ(minVector(0, dv), DBL_MAX);

    float withNaN[] = {1, NAN, 3};
    EXPECT_EQ(maxVector(3, withNaN), 3.0f);
    EXPECT_EQ(minVector(3, withNaN), 1.0f);
}

TEST(VectorExtremes, MaxVectorWhichFindsTheFirstLargest)
{
    float v[] = {2, 5, 5};
    EXPECT_EQ(MaxVectorWhich(3, v), 1);
    double d[] = {-3, -1, -2, -1};
    EXPECT_EQ(MaxVectorWhich(4, d), 1);
    EXPECT_EQ(MaxVectorWhich(0, d), 0);
    float lowest[] = {-FLT_MAX, -FLT_MAX};
    EXPECT_EQ(MaxVectorWhich(2, lowest), 0);   // nothing beats the start value
}

// ------------------------------------------------------------------ naive Bayes

// One trait, training states {1, 1, 2, 2}; group A = objects 0..2, group B = object 3.
// Counts: A s1 2, s2 1; B s1 0, s2 1. Group weights: A 3/4, B 1/4 -> sqrt: .8660, .5.
//   BayesRaw shares of each state: s1 (1, 0), s2 (.5, .5)
//     state 1 -> (1, 0); state 2 -> (.5 * .866, .5 * .5) normalised = (.633975, .366025)
//   Bayes frequencies within groups: A (2/3, 1/3), B (0, 1)
//     state 1 -> (1, 0); state 2 -> (.866/3, .5) normalised = (.366025, .633975)
//   A state without an entry (0, 3, NaN) carries no information: the weights alone.
TEST(Bayes, HandWorkedOneTrait)
{
    FMat train{{1, 1, 2, 2}};
    FMat member{{1, 1, 1, 0}, {0, 0, 0, 1}};
    FMat fresh{{1, 2, 3, 0, NAN}};
    const double wA = std::sqrt(0.75), wB = 0.5;
    const double noInfo[2] = {wA / (wA + wB), wB / (wA + wB)};

    FMat out(2, 5);
    EXPECT_EQ(BayesRaw(1, 4, train.m, 2, member.m, 5, fresh.m, out.m), 1);
    EXPECT_NEAR(out[0][0], 1, 1e-6);
    EXPECT_NEAR(out[1][0], 0, 1e-6);
    EXPECT_NEAR(out[0][1], 0.5 * wA / (0.5 * wA + 0.5 * wB), 1e-6);
    EXPECT_NEAR(out[1][1], 0.5 * wB / (0.5 * wA + 0.5 * wB), 1e-6);
    for (int j = 2; j < 5; j++) {
        EXPECT_NEAR(out[0][j], noInfo[0], 1e-6);
        EXPECT_NEAR(out[1][j], noInfo[1], 1e-6);
    }

    double** outD = dim2Double(2, 5);
    Bayes(1, 4, train.m, 2, member.m, 5, fresh.m, outD);
    EXPECT_NEAR(outD[0][0], 1, 1e-12);
    EXPECT_NEAR(outD[0][1], (wA / 3) / (wA / 3 + wB), 1e-12);
    EXPECT_NEAR(outD[1][1], wB / (wA / 3 + wB), 1e-12);
    EXPECT_NEAR(outD[0][3], noInfo[0], 1e-12);
    for (int j = 0; j < 5; j++) EXPECT_NEAR(outD[0][j] + outD[1][j], 1.0, 1e-12);

    BayesRaw(1, 4, train.m, 2, member.m, 5, fresh.m, outD);
    EXPECT_NEAR(outD[0][1], 0.5 * wA / (0.5 * wA + 0.5 * wB), 1e-12);
    free2D(outD, 2);
}

// Two traits multiply: trait 2 states {1, 2, 2, 2}. BayesRaw shares: trait 2 s1 (1, 0),
// s2 (2/3, 1/3); weights per trait A 3/4, B 1/4, so W = sqrt(9/16), sqrt(1/16) = .75, .25.
// New object (2, 2): L = (.5 * 2/3, .5 * 1/3) = (1/3, 1/6); LW = (.25, 1/24) -> (6/7, 1/7).
TEST(Bayes, TraitsMultiplyAndColumnsSumToOne)
{
    FMat train{{1, 1, 2, 2}, {1, 2, 2, 2}};
    FMat member{{1, 1, 1, 0}, {0, 0, 0, 1}};
    FMat fresh{{2, 1, 2}, {2, 2, 1}};
    FMat out(2, 3);
    BayesRaw(2, 4, train.m, 2, member.m, 3, fresh.m, out.m);
    EXPECT_NEAR(out[0][0], 6.0 / 7, 1e-6);
    EXPECT_NEAR(out[1][0], 1.0 / 7, 1e-6);
    for (int j = 0; j < 3; j++) EXPECT_NEAR(out[0][j] + out[1][j], 1.0, 1e-6);

    // Bayes on the same data: every column sums to 1 as well.
    Bayes(2, 4, train.m, 2, member.m, 3, fresh.m, out.m);
    for (int j = 0; j < 3; j++) EXPECT_NEAR(out[0][j] + out[1][j], 1.0, 1e-6);

    // State (1, 1) occurs only in group A.
    FMat one{{1}, {1}};
    FMat o1(2, 1);
    BayesRaw(2, 4, train.m, 2, member.m, 1, one.m, o1.m);
    EXPECT_NEAR(o1[0][0], 1, 1e-6);
    EXPECT_NEAR(o1[1][0], 0, 1e-6);
}

TEST(Bayes, NoLikelihoodAnywhereGivesZeros)
{
    // State 2 of the only trait occurs in no training object of any group.
    FMat train{{1, 3}};
    FMat member{{1, 0}, {0, 1}};
    FMat fresh{{2}};
    FMat out(2, 1, 9.0f);
    BayesRaw(1, 2, train.m, 2, member.m, 1, fresh.m, out.m);
    EXPECT_EQ(out[0][0], 0.0f);
    EXPECT_EQ(out[1][0], 0.0f);
    Bayes(1, 2, train.m, 2, member.m, 1, fresh.m, out.m);
    EXPECT_EQ(out[0][0], 0.0f);
    EXPECT_EQ(out[1][0], 0.0f);
}
