// Matrix and vector utilities: products with missing values, transposes, totals, by hand.

#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"

namespace {

// A (2 x 3) x B (3 x 2) by hand: row 0 (1,2,3).(7,9,11) = 58, (1,2,3).(8,10,12) = 64;
// row 1 (4,5,6).(7,9,11) = 139, (4,5,6).(8,10,12) = 154, whatever the element types.
// Sizes that do not agree: 1, C untouched. A -999 in A drops only its own terms: row 0 becomes
// 1*7 + 3*11 = 40, 1*8 + 3*12 = 44.
template <class TA, class TB, class TC>
void CheckPlainProduct(int (*prod)(int, int, int, int, TA**, TB**, TC**)) {
    Mat<TA> A{{1, 2, 3}, {4, 5, 6}};
    Mat<TB> B{{7, 8}, {9, 10}, {11, 12}};
    Mat<TC> C(2, 2);
    EXPECT_EQ(prod(2, 3, 3, 2, A, B, C), 0);
    ExpectCells(C, {{58, 64}, {139, 154}});
    C.fill(5);
    EXPECT_EQ(prod(2, 3, 2, 2, A, B, C), 1);
    ExpectCells(C, {{5, 5}, {5, 5}});
    A[0][1] = TA(-999);
    prod(2, 3, 3, 2, A, B, C);
    ExpectCells(C, {{40, 44}, {139, 154}});
}

TEST(MatrixProducts, EveryMemberMultipliesAndSkipsMissingTerms) {
    CheckPlainProduct<float, float, float>(MatrixProdMV), CheckPlainProduct<double, double, double>(MatrixProdMV);
    CheckPlainProduct<double, float, float>(MatrixProdMV), CheckPlainProduct<float, double, double>(MatrixProdMV);
    CheckPlainProduct<float, double, float>(MatrixProdMV), CheckPlainProduct<double, float, double>(MatrixProdMV);
    CheckPlainProduct<float, float, double>(MatrixProdMV), CheckPlainProduct<float, float, float>(MatrixProd);
    CheckPlainProduct<double, double, double>(MatrixProd), CheckPlainProduct<double, float, float>(MatrixProd);
    CheckPlainProduct<double, double, float>(MatrixProd);
}

// 2*3 + (-6)*1 with a third term skipped sums to exactly 0: the double/float/float member marks
// the cell -999, double/float/double keeps 0; with no skipped term a zero sum stays 0.
// A float result sums in float after every term: 2^24 + 1 + 1 stays 2^24 (a double sum: 2^24 + 2).
TEST(MatrixProducts, DoubleFloatFloatMarksSkippedZeroSumsAndFloatResultsRoundEveryTerm) {
    Mat<double> A{{2, -6, -999}, {2, -6, 1}}, Cd(2, 1), R{{16777216.0, 1.0, 1.0}};
    Mat<float> B{{3}, {1}, {4}}, C(2, 1), Rf(1, 1), one{{1}, {1}, {1}};
    MatrixProdMV(2, 3, 3, 1, A, B, C);
    MatrixProdMV(2, 3, 3, 1, A, B, Cd);
    ExpectCells(C, {{-999}, {4}}, 0);
    EXPECT_EQ(Cd[0][0], 0.0);
    MatrixProdMV(1, 3, 3, 1, R, one, Rf);
    MatrixProdMV(1, 3, 3, 1, R, one, Cd);
    EXPECT_EQ(Rf[0][0], 16777216.0f);
    EXPECT_EQ(Cd[0][0], 16777218.0);
}

// Only the select value 1 computes a column; the others are set to 0.
TEST(MatrixProducts, SelectWritesZeroIntoUnselectedColumns) {
    Mat<double> A{{1, 2, 3}, {4, 5, 6}}, Bd{{7, 8}, {9, 10}, {11, 12}}, Cd(2, 2), Cdd(2, 2);
    Mat<float> B{{7, 8}, {9, 10}, {11, 12}}, C(2, 2);
    int sel[] = {0, 1}, sel2[] = {1, 2};
    C.fill(77);
    EXPECT_EQ(MatrixProdSelectMV(2, 3, 3, 2, A, B, C, sel), 0);
    ExpectCells(C, {{0, 64}, {0, 154}});
    MatrixProdSelectMV(2, 3, 3, 2, A, B, Cd, sel2);
    ExpectCells(Cd, {{58, 0}, {139, 0}});
    MatrixProdSelect(2, 3, 3, 2, A, Bd, Cdd, sel);
    ExpectCells(Cdd, {{0, 64}, {0, 154}});
    EXPECT_EQ(MatrixProdSelectMV(2, 3, 2, 2, A, Bd, C, sel), 1);
}

// Weighted means: row (1, 2, 3) with weights (1, 1, 2): (1 + 2 + 6) / 4 = 2.25. A -999 value
// drops its weight too: (1 + 6) / 3. All weights skipped, or summing to 0: -999, never NaN.
TEST(MatrixProducts, AdjustGivesWeightedMeansAndMissingForNoWeight) {
    Mat<double> A{{1, 2, 3}, {1, -999, 3}, {-999, -999, -999}}, C(3, 3);
    Mat<float> B{{1, 1, 5}, {1, -1, 5}, {2, 0, 5}};
    int sel[] = {1, 1, 0};
    EXPECT_EQ(MatrixProdSelectMV_Adjust(3, 3, 3, 3, A, B, C, sel), 0);
    ExpectCells(C, {{9.0 / 4.0, -999, 0}, {7.0 / 3.0}, {-999}}, 1e-15);  // C[0][1]: weights 1 - 1 + 0 = 0
    EXPECT_EQ(MatrixProdSelectMV_Adjust(3, 2, 3, 3, A, B, C, sel), 1);
}

// After B0 changes into B in row and column 1, the update equals the product recomputed, and
// a -999 in B0 or B is never used as a number.
TEST(MatrixProducts, TargetUpdateMatchesRecomputedProduct) {
    Mat<double> A{{1, 2, 3}, {-1, 0.5, 2}}, C(2, 3), want(2, 3);
    Mat<double> B0{{1, 2, 3}, {2, 5, 6}, {3, 6, 9}}, B{{1, 7, 3}, {7, -2, 4}, {3, 4, 9}};
    Mat<double> B0m{{1, -999, 3}, {2, 5, 6}, {3, 6, 9}}, Bm{{1, 7, 3}, {-999, -2, 4}, {3, 4, 9}};
    for (auto [b0, b] : {std::pair<double**, double**>{B0, B}, {B0m, Bm}}) {
        MatrixProd(2, 3, 3, 3, A, b0, C);
        EXPECT_EQ(MatrixProdTargetMV(2, 3, 3, 3, 1, b0, A, b, C), 0);
        MatrixProd(2, 3, 3, 3, A, b, want);
        ExpectSame(C, want, 1e-12);
    }
    EXPECT_EQ(MatrixProdTargetMV(2, 3, 3, 3, 3, B0, A, B, C), 1);  // target beyond colsB
}

TEST(SmallUtilities, ScalarProductTransposesTraceInnerProductsMirrorsCopies) {
    Mat<float> A{{1, -999}, {2.5, -3}}, B(2, 2);
    EXPECT_EQ(ScalarMatrixProd(2, 2, 0.0f, A, B), 0);
    ExpectCells(B, {{0, -999}, {0, 0}});  // a missing value stays missing
    Mat<float> R{{1, 2, 3}, {4, 5, 6}};
    Mat<double> Rt(3, 2);
    TransposeMatrix(2, 3, R, Rt);
    ExpectCells(Rt, {{1, 4}, {2, 5}, {3, 6}});
    // In place once gives the transpose, twice the matrix back; distinct: B the transpose, A kept.
    Mat<double> S{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    TransposeSqMatrix(3, S, S);
    ExpectCells(S, {{1, 4, 7}, {2, 5, 8}, {3, 6, 9}});
    TransposeSqMatrix(3, S, S);
    ExpectCells(S, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    Mat<float> Sf{{1, 2}, {3, 4}}, Tf(2, 2);
    TransposeSqMatrix(2, Sf, Tf);
    ExpectCells(Tf, {{1, 3}, {2, 4}});
    ExpectCells(Sf, {{1, 2}, {3, 4}});

    EXPECT_EQ(MatrixTrace(2, Sf), 5.0f);
    EXPECT_EQ(MatrixTrace(3, S), 15.0);
    float x[] = {1, 2, 3}, y[] = {4, -5, 6};
    int yi[] = {4, -5, 6};
    EXPECT_EQ(VectorProd(3, x, y), 12.0f);  // 4 - 10 + 18
    EXPECT_EQ(VectorProd(3, x, yi), 12.0f);
    Mat<double> U{{1, 2, 3}, {0, 4, 5}, {0, 0, 6}}, C(3, 3);
    Mat<float> L{{1, 9, 9}, {2, 4, 9}, {3, 5, 6}};
    UpperToLowerMatrix(3, U);
    LowerToUpperMatrix(3, L);
    ExpectCells(U, {{1, 2, 3}, {2, 4, 5}, {3, 5, 6}});
    ExpectCells(L, {{1, 2, 3}, {2, 4, 5}, {3, 5, 6}});
    CopyMatrix(3, 3, U, C);
    ExpectSame(C, U, 0.0);
}

// Table with one -999: rows (1, 2, -999) and (4, 5, 6); the plain forms add -999 as a number.
TEST(Totals, RowsColumnsAndGrandWithAndWithoutMissing) {
    Mat<float> A{{1, 2, -999}, {4, 5, 6}};
    Mat<double> Ad{{1, 2, -999}, {4, 5, 6}};
    float tf[3];
    double td[3];
    // f in each form (float table to float and to double totals, double table to double).
    auto each = [&](auto f, std::initializer_list<double> want) {
        f(A, tf), f(A, td);
        ExpectVec(tf, want), ExpectVec(td, want);
        f(Ad, td);
        ExpectVec(td, want);
    };
    each([](auto& m, auto* t) { RowTotalsMV(2, 3, m, t); }, {3, 15});
    each([](auto& m, auto* t) { RowTotals(2, 3, m, t); }, {-996, 15});
    each([](auto& m, auto* t) { ColTotalsMV(2, 3, m, t); }, {5, 7, 6});
    each([](auto& m, auto* t) { ColTotals(2, 3, m, t); }, {5, 7, -993});
    EXPECT_EQ(RowTotals(2, 3, Ad, td), 1);
    EXPECT_EQ(MatrixTotal(2, 3, A), -981.0f);
    EXPECT_EQ(MatrixTotalMV(2, 3, A), 18.0f);
}

}  // namespace
