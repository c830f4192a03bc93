// Quantitative distances. Reference values from r/distance.R (vegan's vegdist for Euclidean,
// chord, Manhattan and Bray-Curtis; the Cao index by its own formula); the rest by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

Rows kX = {{1, 0, 3, 2, 5}, {0, 4, 1, 2, 0}, {2, 2, 0, 0, 1}, {7, 1, 3, 0, 2}};

// Cells (0,1) (0,2) (0,3) (1,2) (1,3) (2,3), the order of dist() in R.
const std::initializer_list<double> kEuclid = {6.78232998312527, 5.83095189484530, 7.07106781186548,
                                                3.74165738677394, 8.36660026534076, 6.0};
const std::initializer_list<double> kChord = {1.229146211615922, 1.119256575697872, 0.975160983312025,
                                               0.914424000163331, 1.270865775973312, 0.698671673937831};
const std::initializer_list<double> kManhattan = {12, 12, 12, 8, 16, 10};
const std::initializer_list<double> kBray = {0.666666666666667, 0.75, 0.5, 0.666666666666667, 0.8,
                                              0.555555555555556};
const std::initializer_list<double> kCao = {0.695421910156836, 0.699505557221458, 0.446890545603073,
                                             0.658625220768641, 0.780397945722517, 0.381364247007130};

// The upper cells against want, a zero diagonal, and the lower triangle still holding the 99 it
// was filled with.
template <class R>
void CheckUpper(Mat<R>& out, std::initializer_list<double> want, double tol) {
    for (int i = 0, k = 0; i < 4; i++) {
        EXPECT_EQ(out[i][i], R(0));
        for (int j = 0; j < i; j++) EXPECT_EQ(out[i][j], R(99)) << i << "," << j;
        for (int j = i + 1; j < 4; j++) EXPECT_NEAR(out[i][j], want.begin()[k++], tol) << i << "," << j;
    }
}

TEST(Distances, EveryOverloadAgainstVegdist) {
    Mat<float> xf(kX), of(4, 4);
    Mat<double> xd(kX), od(4, 4);
    using FF = void (*)(int, int, float**, float**);
    using FD = void (*)(int, int, float**, double**);
    using DD = void (*)(int, int, double**, double**);
    struct {
        const char* name;
        FF ff;
        FD fd;
        DD dd;
        std::initializer_list<double> want;
        double tolFD = 1e-12;  // float data, double result
    } table[] = {
        {"EucliDist", EucliDist, EucliDist, EucliDist, kEuclid},
        {"EucliDistMV", EucliDistMV, EucliDistMV, EucliDistMV, kEuclid},
        {"AbsValFunction", AbsValFunction, AbsValFunction, AbsValFunction, kManhattan},
        {"AbsValFunctionMV", AbsValFunctionMV, AbsValFunctionMV, AbsValFunctionMV, kManhattan},
        {"BrayCurtisMV", BrayCurtisMV, BrayCurtisMV, BrayCurtisMV, kBray},
        {"BrayCurtis", BrayCurtis, nullptr, nullptr, kBray},
        {"CYD", CYD, CYD, nullptr, kCao, 2e-7},  // cross products in single precision
    };
    for (auto& t : table) {
        SCOPED_TRACE(t.name);
        of.fill(99);
        t.ff(4, 5, xf, of);
        CheckUpper(of, t.want, 2e-6);
        od.fill(99);
        if (t.fd) t.fd(4, 5, xf, od), CheckUpper(od, t.want, t.tolFD);
        od.fill(99);
        if (t.dd) t.dd(4, 5, xd, od), CheckUpper(od, t.want, 1e-12);
    }
    of.fill(99);
    AbsValFunctionMV(4, 5, xd, of);  // double data, float result
    CheckUpper(of, kManhattan, 0);
    od.fill(99);
    ChordDistMV(4, 5, xd, od);
    CheckUpper(od, kChord, 1e-12);
    // Squared forms (the squares of vegdist's values) and the forms on two vectors.
    const double* e = kEuclid.begin();
    od.fill(99);
    EucliDistSq(4, 5, xd, od);
    CheckUpper(od, {e[0] * e[0], e[1] * e[1], e[2] * e[2], e[3] * e[3], e[4] * e[4], e[5] * e[5]}, 1e-10);
    const double c01 = *kChord.begin() * *kChord.begin();
    ExpectVec(std::vector<double>{EucliDistSq2Vec(5, xf[0], xf[1]), EucliDistSq2Vec(5, xd[0], xd[1]),
                                  EucliDistSq2Vec(5, xf[0], xd[1]), AbsValFunction2Vec(5, xf[1], xf[3]),
                                  AbsValFunction2VecD(5, xd[1], xd[3])}.data(), {46, 46, 46, 16, 16}, 0);
    ExpectVec(std::vector<double>{ChordDistSq2Vec(5, xd[0], xd[1]), ChordDistSq2VecMV(5, xd[0], xd[1])}.data(), {c01, c01});
    EXPECT_NEAR(ChordDistSq2Vec(5, xf[0], xf[1]), c01, 1e-6);
    EXPECT_EQ(EucliDistSq2Vec(0, xf[0], xd[1]) + ChordDistSq2Vec(0, xd[0], xd[1]) + AbsValFunction2VecD(0, xd[1], xd[3]), 0.0);
}

// Rows (1, -999, 3) and (2, 5, 5): sqrt(1 + 4); city block 1 + 2; the plain form takes -999
// as a number; masked to variable 2 alone: |3 - 5| = 2.
TEST(Distances, MissingVariableIsLeftOut) {
    Mat<float> x{{1, -999, 3}, {2, 5, 5}}, of(2, 2);
    Mat<double> xd{{1, -999, 3}, {2, 5, 5}}, od(2, 2);
    AbsValFunctionMV(2, 3, xd, od);
    EXPECT_EQ(od[0][1], 3.0);
    EucliDist(2, 3, xd, od);
    EXPECT_DOUBLE_EQ(od[0][1], std::sqrt(1.0 + 1004.0 * 1004.0 + 4.0));
    int use[] = {0, 1, 7};
    for (bool masked : {false, true}) {
        const double want = masked ? 2.0 : std::sqrt(5.0);
        masked ? EucliDistMVSelect(2, 3, x, of, use) : EucliDistMV(2, 3, x, of);
        masked ? EucliDistMVSelect(2, 3, xd, od, use) : EucliDistMV(2, 3, xd, od);
        EXPECT_FLOAT_EQ(of[0][1], float(want));
        EXPECT_DOUBLE_EQ(od[0][1], want);
    }
}

// Chord of (1, 0) and (0, 1) is sqrt 2 with or without a missing value elsewhere; a zero row
// is 1 from any other row and 0 from another zero row on both paths, never NaN.
TEST(Distances, ChordZeroRowsAndMissingPathAgree) {
    Mat<double> a{{1, 0}, {0, 1}, {0, 0}, {0, 0}}, b{{1, 0, 2}, {0, 1, -999}, {0, 0, -999}, {0, 0, -999}};
    Mat<double> oa(4, 4), ob(4, 4);
    ChordDistMV(4, 2, a, oa);
    ChordDistMV(4, 3, b, ob);
    for (auto* o : {&oa, &ob}) ExpectCells(*o, {{0, std::sqrt(2.0), 1, 1}, {0, 0, 1, 1}, {0, 0, 0, 0}}, 1e-15);
    float z[] = {0, 0}, u[] = {3, 4};
    EXPECT_DOUBLE_EQ(ChordDistSq2Vec(2, z, u), 1.0);
}

// Bray-Curtis: two all-zero rows give 0 whatever the cell held; a table whose smallest value
// is -2 is shifted by 2: rows (-2, 1) and (0, 3): |diff| sum 4, shifted sums (0 + 3) + (2 + 5)
// = 10: 0.4; -999 is neither the minimum nor a term.
TEST(Distances, BrayCurtisShiftAndEmptyRows) {
    Mat<double> z{{0, 0}, {0, 0}, {1, 2}}, o(3, 3);
    Mat<float> zf{{0, 0}, {0, 0}}, of(2, 2), negf{{-2, 1}, {0, 3}, {-999, 5}};
    o.fill(7);
    of.fill(7);
    BrayCurtisMV(3, 2, z, o);
    ExpectVec(o[0], {0, 0, 1}, 0);
    BrayCurtis(2, 2, zf, of);
    EXPECT_EQ(of[0][1], 0.0f);
    BrayCurtisMV(3, 2, negf, o);
    ExpectVec(o[0], {0, 0.4, 4.0 / 10.0}, 1e-15);  // (1 vs 5): |4| / (3 + 7)
}

// Cao: a double zero is skipped; nothing >= 1 in either row gives N = 0 and the result 0;
// one zero stands for 0.1: x = 1, y = 0 -> ((1.1) log10(0.55) - 1 log10(0.1) - 0.1 log10(1)) / 1.1
// with N = 1.
TEST(Distances, CaoZerosNeverInfinite) {
    Mat<float> x{{1, 0}, {0, 0}, {0.5f, 0}, {0.2f, 0}};
    Mat<double> o(4, 4);
    CYD(4, 2, x, o);
    EXPECT_NEAR(o[0][1], (1.1 * std::log10(0.55) + 1.0) / 1.1, 1e-6);
    EXPECT_EQ(o[2][3], 0.0);  // N = 0
    for (int i = 0; i < 4; i++)
        for (int j = i; j < 4; j++) EXPECT_TRUE(std::isfinite(o[i][j])) << i << "," << j;
}

TEST(Distances, NeighboursAndVectorForms) {
    Mat<float> x{{1, 2, 3}, {4, 6, 11}, {0, 0, 0}, {1, 1, 1}};
    Mat<double> o(4, 4);
    o.fill(1);
    AbsValFunctionNeighbours(4, 3, x, o, 1);  // third variable only, added to the cell
    AbsValFunctionNeighbours(2, 3, x, o, 2);  // n <= w: nothing
    ExpectCells(o, {{1, 1 + 8, 1, 1}, {1, 1, 1 + 11, 1}, {1, 1, 1, 1 + 1}}, 0);
    o.fill(0);
    EucliDistSqNeighbours(4, 3, x, o, 2);
    ExpectCells(o, {{0, 0, 1 + 4 + 9, 0}, {0, 0, 0, 9 + 25 + 100}}, 0);
    double v[] = {1, -999, 4};
    float vf[] = {1, -999, 4};
    Mat<double> ov(3, 3);
    Mat<float> ovf(3, 3);
    ov.fill(6);
    AbsValFunctionMV(3, v, ov);
    ExpectCells(ov, {{0, 0, 3}, {6, 0, 0}, {6, 6, 0}});
    AbsValFunctionMV(3, vf, ovf);
    ExpectVec(ovf[0], {0, 0, 3}, 0);
}

}  // namespace
