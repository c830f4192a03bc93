// Pooling by groups, relevé changes, moving windows, extremes, naive Bayes: small tables by hand.

#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"

namespace {

// The 3 x 4 table 1..12 (total 78) that every pooling case below reads.
const Rows kIn = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};

// Row groups {1, 2, 1}, column groups {2, 1, 2, 1}:
//   (1,1) rows 0,2 x cols 1,3: 2+4+10+12 = 28 / 4 = 7     (1,2) 1+3+9+11 = 24 / 4 = 6
//   (2,1) row 1 x cols 1,3: 6+8 = 14 / 2 = 7              (2,2) 5+7 = 12 / 2 = 6
// Rescaled: sum of sums 78, sum of means 26, factor 3. An empty third group pools to 0, out of
// the sums. Labels outside 1..k are left out: row 0 (k = 2) and columns 0, 2 (g = 1) give
// (1 + 3) / 2, rescaled to the total 4 of the cells in groups. Means of zeros are 0, not 0/0.
TEST(ConcentrateGroups, MeansRescaledMeansEmptyGroupsAndZeroData) {
    Mat<float> in(kIn), out(3, 3), zero(2, 2), o2{{5}, {5}};
    int rows[] = {1, 2, 1}, cols[] = {2, 1, 2, 1}, r2[] = {1, 0, 3}, c2[] = {1, -4, 1, 1000};
    int r3[] = {1, 2}, c3[] = {1, 1};
    out.fill(99);
    ConcentrateGroups(3, 4, in, out, 2, rows, 2, cols, 0);
    ExpectCells(out, {{7, 6, 99}, {7, 6, 99}, {99, 99, 99}}, 1e-5);
    ConcentrateGroups(3, 4, in, out, 3, rows, 3, cols, 2);
    ExpectCells(out, {{7, 6, 0}, {7, 6, 0}, {0, 0, 0}}, 1e-5);
    ConcentrateGroups(3, 4, in, out, 3, rows, 3, cols, 1);
    ExpectCells(out, {{21, 18, 0}, {21, 18, 0}, {0, 0, 0}}, 1e-4);
    ConcentrateGroups(3, 4, in, out, 2, r2, 1, c2, 1);
    ExpectCells(out, {{4}, {0}}, 1e-6);
    ConcentrateGroups(2, 2, zero, o2, 2, r3, 1, c3, 1);
    ExpectCells(o2, {{0}, {0}}, 0);
}

// Means (option 1 rescaled, 2 plain): row groups {0, 2} and {1}: (5, 6, 7, 8) twice, sum of sums
// 78, sum of means 52, factor 1.5; group 3 is empty. Column groups of sizes 3 and 1: means (2, 4)
// (6, 8) (10, 12) sum to 42, factor 78 / 42; with group 2 empty the means of columns {0, 1} and
// {2, 3}. Option 0 keeps the plain sums: rows 0 + 2 and row 1; columns 0..2 and column 3. Labels
// 1 and k have groups; 0 and k + 1 none (row 1 and column 0 are left out).
TEST(ConcentrateRowColGroups, MeansSumsEmptyGroupsAndLabelsAtTheirBounds) {
    Mat<float> in(kIn), r(3, 4), c(3, 3), r2(2, 4), c2(3, 2);
    int rows[] = {1, 2, 1}, uneven[] = {1, 1, 1, 2}, empty2[] = {1, 1, 3, 3};
    int rowsOut[] = {2, 0, 1}, colsOut[] = {3, 2, 1, 2};
    r.fill(99);
    ConcentrateRowGroups(3, 4, in, r, 3, rows, 1);
    ExpectCells(r, {{7.5, 9, 10.5, 12}, {7.5, 9, 10.5, 12}, {0, 0, 0, 0}}, 1e-5);
    ConcentrateColGroups(3, 4, in, c, 2, uneven, 1);
    const double f = 78.0 / 42;
    ExpectCells(c, {{2 * f, 4 * f}, {6 * f, 8 * f}, {10 * f, 12 * f}}, 1e-4);
    ConcentrateColGroups(3, 4, in, c, 3, empty2, 2);
    ExpectCells(c, {{1.5, 0, 3.5}, {5.5, 0, 7.5}, {9.5, 0, 11.5}}, 1e-5);
    ConcentrateRowGroups(3, 4, in, r2, 2, rows, 0);
    ExpectCells(r2, {{10, 12, 14, 16}, {5, 6, 7, 8}}, 0);
    ConcentrateColGroups(3, 4, in, c2, 2, uneven, 0);
    ExpectCells(c2, {{6, 4}, {18, 8}, {30, 12}}, 0);
    ConcentrateRowGroups(3, 4, in, r2, 2, rowsOut, 0);
    ExpectCells(r2, {{9, 10, 11, 12}, {1, 2, 3, 4}}, 0);
    ConcentrateColGroups(3, 4, in, c2, 2, colsOut, 0);
    ExpectCells(c2, {{3, 6}, {7, 14}, {11, 22}}, 0);
    // One group (k = 1, g = 1): the whole table pooled; labels 1 only.
    int ones[] = {1, 1, 1, 1};
    ConcentrateRowGroups(3, 4, in, r2, 1, ones, 0);
    ConcentrateColGroups(3, 4, in, c2, 1, ones, 0);
    ExpectCells(r2, {{15, 18, 21, 24}}, 0);
    ExpectCells(c2, {{10}, {26}, {42}}, 0);
}

TEST(ReleveChange, DifferencesWithinUnits) {
    // 2 variables x 4 relevés. Three relevés: third - second + first; a lone relevé is itself; a
    // pair: the later relevé minus the earlier one; labels outside 1..k are left out.
    Mat<float> A{{1, 2, 3, 4}, {10, 20, 30, 40}}, C(2, 2), D(2, 2);
    int three[] = {1, 1, 1, 2}, odd[] = {0, 1, 7, 1};
    ReleveChange(4, A, C, 2, 2, three);
    ReleveChange(4, A, D, 2, 2, odd);
    ExpectCells(C, {{2, 4}, {20, 40}}, 0);
    ExpectCells(D, {{2, 0}, {20, 0}}, 0);
}

TEST(SplitMovingWinPool, WindowMeans) {
    Mat<float> in{{1, 2}, {3, 4}, {5, 6}, {7, 8}}, out(4, 2), wide{{1, 2, 3, 4}, {5, 6, 7, 8}}, o2(2, 2);
    int nOut = -5;
    out.fill(-1);
    SplitMovingWinPool(4, 2, in, out, 2, &nOut, true);
    EXPECT_EQ(nOut, 3);
    ExpectCells(out, {{2, 3}, {4, 5}, {6, 7}, {-1, -1}}, 0);
    SplitMovingWinPool(2, 4, wide, o2, 3, &nOut, false);
    EXPECT_EQ(nOut, 2);
    ExpectCells(o2, {{2, 3}, {6, 7}}, 0);
    // Windows longer than the series (by one, by two, by far), empty or negative: no window,
    // nothing written, and never a negative count.
    for (int w : {5, 6, 50, 0, -2}) {
        SplitMovingWinPool(4, 2, in, o2, w, &nOut, w != 0);
        EXPECT_EQ(nOut, 0) << "w = " << w;
    }
    ExpectCells(o2, {{2, 3}, {6, 7}}, 0);
    for (int w : {3, 4, 9}) {
        nOut = -5;
        SplitMovingWinPool(2, 4, wide, o2, w, &nOut, false);
        EXPECT_EQ(nOut, w <= 4 ? 5 - w : 0) << "columns, w = " << w;
    }
    // A window as long as the series is the one window: the means of the whole rows and columns.
    o2.fill(-1);
    SplitMovingWinPool(2, 4, wide, o2, 4, &nOut, false);
    EXPECT_EQ(nOut, 1);
    ExpectCells(o2, {{2.5, -1}, {6.5, -1}}, 0);
    out.fill(-1);
    SplitMovingWinPool(4, 2, in, out, 4, &nOut, true);
    EXPECT_EQ(nOut, 1);
    ExpectCells(out, {{4, 5}, {-1, -1}, {-1, -1}, {-1, -1}}, 0);
}

TEST(VectorExtremes, ValuesAndFirstLargest) {
    int iv[] = {4, -7, 9, 2};
    float fv[] = {1.5f, NAN, -2.0f, 8.25f}, twice[] = {2, 5, 5};
    EXPECT_EQ(maxVector(4, iv), 9);
    EXPECT_EQ(minVectorInt(4, iv), -7);
    EXPECT_EQ(maxVector(4, fv), 8.25f);  // a NaN is passed over
    EXPECT_EQ(minVector(4, fv), -2.0f);
    EXPECT_EQ(MaxVectorWhich(3, twice), 1);  // the position of the first largest value
}

// One trait, training states {1, 1, 2, 2}; group A = objects 0..2, group B = object 3; group
// weights A 3/4, B 1/4 -> sqrt: .866, .5. BayesRaw shares of each state: s1 (1, 0), s2 (.5, .5),
// so state 2 -> (.5 * .866, .5 * .5) normalised; Bayes frequencies within groups: A (2/3, 1/3),
// B (0, 1), so state 2 -> (.866/3, .5) normalised. A state without an entry (0, 3, NaN) gives the
// weights alone; the fifth training value (3) lies past the 4 training objects.
// Two traits multiply: trait 2 states {1, 2, 2, 2}, BayesRaw shares s1 (1, 0), s2 (2/3, 1/3);
// weights .75, .25. New object (2, 2): L = (1/3, 1/6); LW = (.25, 1/24) -> (6/7, 1/7).
TEST(Bayes, HandWorkedTraitsMultiplyAndEmptyTrainingGivesZeros) {
    Mat<float> train{{1, 1, 2, 2, 3}}, member{{1, 1, 1, 0}, {0, 0, 0, 1}}, fresh{{1, 2, 3, 0, NAN}}, out(2, 5);
    Mat<double> outD(2, 5);
    const double wA = std::sqrt(0.75), wB = 0.5, a = wA / (wA + wB), b = wB / (wA + wB);
    BayesRaw(1, 4, train, 2, member, 5, fresh, out);
    ExpectCells(out, {{1, a, a, a, a}, {0, b, b, b, b}}, 1e-6);
    const double c = (wA / 3) / (wA / 3 + wB);
    Bayes(1, 4, train, 2, member, 5, fresh, outD);
    ExpectCells(outD, {{1, c, a, a, a}, {0, 1 - c, b, b, b}}, 1e-12);

    Mat<float> train2{{1, 1, 2, 2}, {1, 2, 2, 2}}, fresh2{{2, 1, 2, 1}, {2, 2, 1, 1}}, out2(2, 4);
    BayesRaw(2, 4, train2, 2, member, 4, fresh2, out2);
    EXPECT_NEAR(out2[0][0], 6.0 / 7, 1e-6);
    for (int j = 0; j < 4; j++) EXPECT_NEAR(out2[0][j] + out2[1][j], 1.0, 1e-6);
    // No training object or no trait at all, or a state in no training object: no likelihood,
    // zeros.
    Mat<float> none{{9, 9}, {9, 9}}, t1{{1, 3}}, m1{{1, 0}, {0, 1}}, f1{{2}}, o1{{9}, {9}};
    Bayes(2, 0, train2, 2, member, 2, fresh2, none);
    ExpectCells(none, {{0, 0}, {0, 0}}, 0);
    none.fill(9);
    BayesRaw(0, 4, train2, 2, member, 2, fresh2, none);
    ExpectCells(none, {{0, 0}, {0, 0}}, 0);
    BayesRaw(1, 2, t1, 2, m1, 1, f1, o1);
    ExpectCells(o1, {{0}, {0}}, 0);
}

}  // namespace
