// Contingency tables, nominal resemblances and mutual information: chi-square and G statistic
// against R (r/nominal.R), the diagonal cases in closed form (2 N H, N (S - 1), coherence 1),
// hand-worked mutual information, and the listing files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "common/ErrorCode.h"
#include "session/session_fixture.h"
#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

const double kLn2 = std::log(2.0);

std::string Read(const char* name) {
    std::ifstream in(name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs each test in a fresh directory of its own, so that the listing files land there.
class InDirectory : public testing::Test {
protected:
    // Names of the files left in the directory, one a line.
    std::string Listing() {
        std::string s;
        for (const auto& e : std::filesystem::directory_iterator(dir_.Path())) s += e.path().filename().string() + "\n";
        return s;
    }
    InTempDir dir_;
};

// ---------------------------------------------------------------- tables

TEST(ContingencyMV, StatesInOrderOfFirstAppearanceAndTheListing) {
    // a: 3, 1, 3, 2 (row states 3 1 2); b: 7, 7, 5, -999 (column states 7 5; the last object
    // is missing in b and left out of the table).
    double a[4] = {3, 1, 3, 2}, b[4] = {7, 7, 5, -999};
    Mat<double> t(3, 3);
    t.fill(-1);
    int size[2];
    FILE* f = std::tmpfile();
    ContingencyMV(4, a, b, t, size, f);
    ExpectVec(size, {3, 2}, 0);
    ExpectCells(t, {{1, 1, -1}, {1, 0, -1}, {0, 0, -1}}, 0);
    EXPECT_EQ(ReadBack(f), "Row states (3): 3\t1\t2\t\nColumn states (2): 7\t5\t\n1\t1\t\n1\t0\t\n0\t0\t\n");
    std::fclose(f);
}

TEST(ContingencyMV, ValuesAreTruncatedToTheirStateAndNeverLeaveTheTable) {
    // 2 and 2.5 are one state; -3 is a state of its own; -999 is missing (MV) or a state (plain).
    float a[5] = {2, 2.5f, -3, -999, 2.9f}, b[5] = {1, 1, 1, 1, 1};
    Mat<float> t(3, 3);
    int size[2];
    ContingencyMV(5, a, b, t, size, nullptr);
    ExpectVec(size, {2, 1}, 0);
    ExpectCells(t, {{3}, {1}}, 0);
    Contingency(5, a, b, t, size, nullptr);
    EXPECT_EQ(size[0], 3);
    EXPECT_EQ(t[2][0], 1);
    // Values that are no state at all (not finite, beyond the int range) are passed over.
    float odd[3] = {NAN, 3e10f, 1}, one[3] = {1, 1, 1};
    Contingency(3, odd, one, t, size, nullptr);
    EXPECT_EQ(size[0], 1);
    EXPECT_EQ(t[0][0], 1);
    // The ends of the int range are states themselves; 2^31 is one beyond. The vector form has
    // no missing-value test: -999 is a state.
    double edge[3] = {2147483647.0, -2147483648.0, 2147483648.0}, freq[3];
    float x[6] = {4, 2, 4, 4, -999, 2.7f}, ff[6];
    int count, states[6];
    ContingencyVector(3, edge, freq, &count, states);
    ASSERT_EQ(count, 2);
    ExpectVec(states, {INT_MAX, INT_MIN}, 0);
    ExpectVec(freq, {1, 1}, 0);
    ContingencyVector(6, x, ff, &count, states);
    ASSERT_EQ(count, 3);
    ExpectVec(states, {4, 2, -999}, 0);
    ExpectVec(ff, {3, 2, 1}, 0);
}

TEST(Contingency3D_MV, CountsPerLayerAndListing) {
    double a[5] = {1, 1, 2, 2, 1}, b[5] = {0, 1, 0, 1, 1}, c[5] = {5, 5, 5, 6, -999};
    double*** t = dim3Double(2, 2, 2);
    int size[3];
    FILE* f = std::tmpfile();
    Contingency3D_MV(5, a, b, c, t, size, f);
    ExpectVec(size, {2, 2, 2}, 0);
    // (a 1, b 0, c 5), (1, 1, 5), (2, 0, 5), (2, 1, 6); the fifth object is missing in c.
    for (int c = 0; c < 8; c++) EXPECT_EQ(t[c / 4][c / 2 % 2][c % 2], c == 0 || c == 2 || c == 4 || c == 7) << c;
    EXPECT_EQ(ReadBack(f).rfind("Row states (2): 0\t1\t\nColumn states (2): 5\t6\t\n", 0), 0u);
    std::fclose(f);
    free3D(t, 2, 2);
}

// ---------------------------------------------------------------- pairwise kernels

// Row 0: a of r/nominal.R; row 1: b; row 2: a relabelled (1 -> 8, 2 -> 6, 3 -> 0).
const Rows kNominal = {{1, 2, 2, 3, 1, 3, 3, 2, 1, 1}, {5, 5, 7, 7, 5, 9, 7, 7, 9, 5}, {8, 6, 6, 0, 8, 0, 0, 6, 8, 8}};
// The table of rows 0 and 1 by hand.
const Rows kNominalTable = {{3, 0, 1}, {1, 2, 0}, {0, 2, 1}};

// Entropy of order 2 - a of state frequencies q (Shannon at a = 1). A variable with itself gives a
// diagonal table with P = r = c there, so sum P^a / (r c)^(a - 1) = sum q^(2 - a): its mutual
// entropy of order a is this.
double DiagonalOrder(double a, std::initializer_list<double> q) {
    double s = 0;
    for (double x : q) s += std::fabs(a - 1) < 1e-9 ? -x * std::log(x) : std::pow(x, 2 - a);
    return std::fabs(a - 1) < 1e-9 ? s : std::log(s) / (a - 1);
}

// Every pairwise kernel on kNominal (row 0: a, row 1: b, row 2: a relabelled): cell (0, 1) against
// R or its own table, a variable with itself and with its relabelling in closed form (a: frequencies
// .4 .3 .3, b: .4 .4 .2), the lower triangle not written, and the plain float-data form agreeing.
TEST(PairwiseKernels, AgainstRAndTheDiagonalInClosedForm) {
    Mat<double> t(kNominalTable);
    const auto H = [](std::initializer_list<double> q) { return DiagonalOrder(1, q); };
    using MV = std::function<void(Mat<double>&, Mat<double>&)>;
    using Plain = std::function<void(Mat<float>&, Mat<double>&)>;
    struct Case {
        const char* name;
        MV mv;
        Plain plain;
        double pair, diagA, diagB, plainTol;
    } cases[] = {
        // r/nominal.R; with itself sum (o - e)^2 / e over a diagonal table is N (S - 1) = 20.
        {"QuiSquare", [](auto& x, auto& r) { QuiSquareMV(3, 10, x, r, 0); },
         [](auto& x, auto& r) { QuiSquare(3, 10, x, r, 0); }, 6.04166666666667, 20, 20, 1e-12},
        // r/nominal.R; with itself 2 N H.
        {"MDIS", [](auto& x, auto& r) { MDISMV(3, 10, x, r, 0); }, [](auto& x, auto& r) { MDIS(3, 10, x, r, 0); },
         8.96155218323466, 20 * H({.4, .3, .3}), 20 * H({.4, .4, .2}), 1e-5},
        {"CoheCoef", [](auto& x, auto& r) { CoheCoefPairwiseMV(3, 10, x, r, 1.0f, 0); },
         [](auto& x, auto& r) { CoheCoefPairwise(3, 10, x, r, 1.0, 0); }, CoheCoefMV(3, 3, t, 1.0), 1, 1, 1e-5},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (double a : {0.5, 1.0, 2.0})
        all.push_back({"MutualEntropy", [a](auto& x, auto& r) { MutualEntropyPairwiseMV(3, 10, x, r, a, 0); },
                       [a](auto& x, auto& r) { MutualEntropyPairwise(3, 10, x, r, a, 0); }, MutualEntropyMV(3, 3, t, a),
                       DiagonalOrder(a, {.4, .3, .3}), DiagonalOrder(a, {.4, .4, .2}), 1e-6});
    EXPECT_NEAR(DiagonalOrder(2.0, {.4, .3, .3}), std::log(3.0), 1e-12);  // order 0: ln of the state count
    for (const Case& c : all) {
        SCOPED_TRACE(c.name);
        Mat<double> x(kNominal), r(3, 3), rp(3, 3);
        Mat<float> xf(kNominal);
        r.fill(-1);
        c.mv(x, r);
        c.plain(xf, rp);
        EXPECT_NEAR(r[0][1], c.pair, 1e-12);
        EXPECT_NEAR(rp[0][1], c.pair, c.plainTol);
        EXPECT_NEAR(r[0][0], c.diagA, 1e-12);
        EXPECT_NEAR(r[0][2], c.diagA, 1e-12);
        EXPECT_NEAR(rp[1][1], c.diagB, c.plainTol);
        EXPECT_EQ(r[1][0], -1);
    }
    // A constant variable has one state: coherence 0 with itself.
    Mat<double> k{{4, 4, 4}}, rk(1, 1);
    CoheCoefPairwiseMV(1, 3, k, rk, 1.0f, 0);
    EXPECT_EQ(rk[0][0], 0);
}

TEST(QuiSquareFromContingencyMV, HandTableEmptyMarginsAndNoTable) {
    Mat<double> t{{10, 20}, {30, 40}};
    EXPECT_NEAR(QuiSquareFromContingencyMV(2, 2, t), 0.793650793650794, 1e-12);  // r/nominal.R
    // An empty row (a state seen only where the other variable is missing) is left out:
    // the remaining row matches its expectation exactly.
    Mat<double> e{{0, 0}, {3, 5}}, z(2, 2);
    EXPECT_EQ(QuiSquareFromContingencyMV(2, 2, e), 0);
    EXPECT_EQ(QuiSquareFromContingencyMV(2, 2, z), 0);
    // A missing cell is left out of the totals and the sum.
    Mat<double> m{{10, 20, -999}, {30, 40, -999}};
    EXPECT_NEAR(QuiSquareFromContingencyMV(2, 3, m), 0.793650793650794, 1e-12);
}

TEST(PairwiseKernels, AMissingObjectIsLeftOutOfItsOwnPairsOnly) {
    // Object 4 is missing in variable 1: pairs with variable 1 count 4 objects, the pair (0, 2)
    // counts all 5.
    Mat<double> x{{1, 2, 1, 2, 1}, {1, 2, 1, -999, 2}, {1, 2, 1, 2, 1}}, r(3, 3), t{{2, 1}, {0, 1}};
    MDISMV(3, 5, x, r, 0);
    double H5 = -(0.6 * std::log(0.6) + 0.4 * std::log(0.4));
    EXPECT_NEAR(r[0][2], 2 * 5 * H5, 1e-12);
    // Pair (0, 1) over objects 1, 2, 3, 5: table [[2, 1], [0, 1]] by hand.
    EXPECT_NEAR(r[0][1], 2 * 4 * MutualEntropyMV(2, 2, t, 1.0), 1e-12);
}

TEST_F(InDirectory, ListingWritesEveryPairInOrderOnlyForTheNumberOne) {
    Mat<double> x{{3, 1, 3, 2}, {1, 1, 2, 2}, {5, 6, 5, 6}}, r(3, 3), one{{1, 2}}, r1(1, 1);
    QuiSquareMV(3, 4, x, r, '1');  // the character '1' is not the number 1: no listing
    EXPECT_EQ(Listing(), "");
    QuiSquareMV(3, 4, x, r, 1);
    EXPECT_EQ(Listing(), "Tables.txt\n");  // no temporary file left beside it
    std::string s = Read("Tables.txt");
    size_t at = 0;
    for (const char* h : {"1 x var.1", "1 x var.2", "1 x var.3", "2 x var.2", "2 x var.3", "3 x var.3"}) {
        at = s.find(std::string("\nContingency table var.") + h + ":\nRow states (", at);
        ASSERT_NE(at++, std::string::npos) << h;
    }
    EXPECT_EQ(s.find("\nContingency table var.1 x var.1:\nRow states (3): 3\t1\t2\t\nColumn states (3): 3\t1\t2\t\n"), 0u);
    // A second run replaces the file.
    MDISMV(1, 2, one, r1, 1);
    EXPECT_EQ(Read("Tables.txt").find("\nContingency table var.1 x var.1:\nRow states (2): 1\t2\t"), 0u);
    EXPECT_EQ(Read("Tables.txt").find("var.2"), std::string::npos);
}

TEST_F(InDirectory, ATableFileThatCannotBeCreatedRaisesCodeFourAndLeavesNothing) {
    ASSERT_EQ(mkdir("Tables.txt", 0755), 0);  // a directory cannot be replaced by the listing
    Mat<double> x{{1, 2}, {2, 1}}, r(2, 2);
    EXPECT_EQ(tnxtest::CodeOf([&] { CoheCoefPairwiseMV(2, 2, x, r, 1.0f, 1); }), 4);
    EXPECT_EQ(Listing(), "Tables.txt\n");
    struct stat st;
    ASSERT_EQ(stat("Tables.txt", &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

// A listing whose write fails (no file may grow past 64 bytes) raises code 3 after the message
// naming Tables.txt with the system's reason, and leaves no file.
TEST_F(InDirectory, ATableFileWhoseWriteFailsRaisesCodeThreeNamingItAndLeavesNothing) {
    Mat<double> x{{3, 1, 3, 2}, {1, 1, 2, 2}, {5, 6, 5, 6}}, r(3, 3);
    testing::internal::CaptureStderr();
    const int code = tnxtest::CodeWithSmallFiles([&] { QuiSquareMV(3, 4, x, r, 1); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\ncan't write Tables.txt: File too large \n");
    EXPECT_EQ(code, 3);
    EXPECT_EQ(Listing(), "");
}

// Three variables: A, B independent and uniform, C a copy of A. With E_ijk = t_ij t_ik t_jk /
// (t_i t_j t_k): a triple holding two independent variables has E = P = 1/4 on its occupied
// cells, so 0; a triple of one variable three times has P = 1/2, E = 1 on its two cells, so
// -ln 2 (these expectations do not sum to 1).
TEST_F(InDirectory, TripletsFillEveryOrderedTripleAndListTheirTables) {
    Mat<float> x{{1, 1, 2, 2}, {1, 2, 1, 2}, {1, 1, 2, 2}};
    float*** r3 = dim3Dfloat(3, 3, 3);
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) std::fill(r3[i][j], r3[i][j] + 3, -1.0f);
    MutualEntropyTripletsMV(3, 4, x, r3, 1.0f, 1);
    const int var[3] = {0, 1, 0};  // variable 2 is a copy of variable 0
    for (int c = 0; c < 27; c++) {  // only i <= j <= k is written
        const int i = c / 9, j = c / 3 % 3, k = c % 3;
        const bool same = var[i] == var[j] && var[j] == var[k];
        EXPECT_NEAR(r3[i][j][k], i > j || j > k ? -1 : same ? -kLn2 : 0.0, 1e-6) << i << j << k;
    }
    EXPECT_EQ(Read("Tables3D.txt").find("\nContingency table var.1 x var.1:\nRow states (2): 1\t2\t\nColumn states (2): 1\t2\t\n"), 0u);
    free3D(r3, 3, 3);
    Mat<double> xd{{1, 1, 2, 2}, {1, 2, 1, 2}};
    double*** d3 = dim3Double(2, 2, 2);
    MutualEntropyTripletsMV(2, 4, xd, d3, 2.0f, 0);
    EXPECT_NEAR(d3[0][0][0], -kLn2, 1e-12);  // order 2: ln(sum P^2 / E) = ln(1/2)
    free3D(d3, 2, 2);
}

// ---------------------------------------------------------------- mutual information

// (1, 0) and (0, 1): divergence 2 ln 2, totals equal (no correction): 2 ln 2.
// (2, 0) and (0, 1): divergence 3 ln 2, correction 2 ln(4/3) + ln(2/3).
// (0, 0) and (1, 1): divergence 2 ln 2, correction 0 ln 0 + 2 ln 2 = 2 ln 2: 0.
// (1, 2) and (2, 4): proportional, 0.
TEST(MutualInformationMV, HandValuesZeroRowsAndProportionalRows) {
    const Rows rows = {{1, 0}, {0, 1}, {2, 0}, {0, 0}, {1, 1}, {1, 2}, {2, 4}};
    Mat<double> x(rows), d(7, 7), dq(7, 7), m{{1, 0, -999}, {0, 1, 5}}, dm(2, 2);
    Mat<float> xf(rows), dp(7, 7);
    MutualInformationMV(7, 2, x, d);
    // The divergence keeps its running sums in single precision: agreement to 1e-6.
    EXPECT_NEAR(d[0][1], 2 * kLn2, 1e-6);
    EXPECT_NEAR(d[1][2], 3 * kLn2 - 2 * std::log(4.0 / 3) - std::log(2.0 / 3), 1e-6);
    EXPECT_NEAR(d[3][4], 0, 1e-6);
    EXPECT_NEAR(d[5][6], 0, 1e-6);
    for (int i = 0; i < 7; i++) EXPECT_NEAR(d[i][i], 0, 1e-12);
    MutualInformation(7, 2, xf, dp);
    MutualInformation(7, 2, xf, dq);
    ExpectVec(std::vector<double>{dp[1][2], dq[1][2], dp[3][4], dq[5][6]}.data(), {d[1][2], d[1][2], 0, 0}, 1e-5);
    // A missing column is left out of the divergence and of the totals alike.
    MutualInformationMV(2, 3, m, dm);
    EXPECT_NEAR(dm[0][1], 2 * kLn2 - (1 * std::log(2.0 / 7) + 6 * std::log(12.0 / 7)), 1e-6);
}

}  // namespace
