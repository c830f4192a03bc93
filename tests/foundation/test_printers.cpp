// Report printers, byte for byte on small matrices and vectors.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "FoundationTestSupport.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"

namespace {

// A rows x cols double matrix filled row by row from values.
double** MatrixOf(int rows, int cols, std::initializer_list<double> values) {
    double** m = dim2Double(rows, cols);
    auto it = values.begin();
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) m[i][j] = *it++;
    return m;
}

float** FloatMatrixOf(int rows, int cols, std::initializer_list<float> values) {
    float** m = dim2Dfloat(rows, cols);
    auto it = values.begin();
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) m[i][j] = *it++;
    return m;
}

// maxColsPrint set for one test and put back.
class WrapLimit {
public:
    explicit WrapLimit(int limit) : saved_(maxColsPrint) { maxColsPrint = limit; }
    ~WrapLimit() { maxColsPrint = saved_; }

private:
    int saved_;
};

}  // namespace

TEST(PaddedPrinters, MatrixFieldsAreAsWideAsTheWidestValue) {
    double** m = MatrixOf(2, 2, {1, 22.5, 3, 4});
    SinkStream s;
    EXPECT_EQ(PrintMatrix(s.f, 2, 2, m, 6, 0), 4);
    EXPECT_EQ(s.Text(), "   1\t22.5\t\n   3\t   4\t\n");
    SinkStream s2;
    EXPECT_EQ(PrintMatrixFloat(s2.f, 2, 2, m, 6, 0), 4);
    EXPECT_EQ(s2.Text(), s.Text());
    SinkStream s3;
    EXPECT_EQ(PrintMatrix(s3.f, 2, 2, m, 6, 6), 6);   // a given width is used as it is
    EXPECT_EQ(s3.Text(), "     1\t  22.5\t\n     3\t     4\t\n");
    EXPECT_EQ(GetWidthMax(2, 2, m, 6), 4);
    EXPECT_EQ(GetWidthMax(0, 2, m, 6), 0);
    free2D(m, 2);

    float** f = FloatMatrixOf(2, 2, {1, 22.5f, 3, 4});
    SinkStream s4, s5;
    EXPECT_EQ(PrintMatrix(s4.f, 2, 2, f, 6, 0), 4);
    EXPECT_EQ(PrintMatrixFloat(s5.f, 2, 2, f, 6, 0), 4);
    EXPECT_EQ(s4.Text(), "   1\t22.5\t\n   3\t   4\t\n");
    EXPECT_EQ(s5.Text(), s4.Text());
    EXPECT_EQ(GetWidthMax(2, 2, f, 6), 4);
    SinkStream empty;
    EXPECT_EQ(PrintMatrixFloat(empty.f, 0, 2, f, 6, 0), 0);
    EXPECT_EQ(empty.Text(), "");
    free2D(f, 2);
}

TEST(PaddedPrinters, LinesWrapOnceTheCountExceedsTheLimit) {
    WrapLimit limit(80);
    double** m = dim2Double(1, 12);
    for (int j = 0; j < 12; j++) m[0][j] = 1;
    SinkStream s;
    PrintMatrix(s.f, 1, 12, m, 6, 9);
    std::string cell = "        1\t";
    std::string expected;
    for (int j = 0; j < 9; j++) expected += cell;   // counts 0, 10, ..., 80 are not above 80
    expected += "\n         \t" + cell + cell + cell + "\n";
    EXPECT_EQ(s.Text(), expected);
    free2D(m, 1);
}

TEST(PaddedPrinters, DefaultLimitNeverWraps) {
    EXPECT_EQ(maxColsPrint, 2147483647);
    double** m = dim2Double(1, 3000);
    SinkStream s;
    PrintMatrix(s.f, 1, 3000, m, 6, 0);
    std::string text = s.Text();
    EXPECT_EQ(text.find('\n'), text.size() - 1);
    EXPECT_EQ(text.size(), 3000u * 2 + 1);
    free2D(m, 1);
}

TEST(PaddedPrinters, HalfMatricesLeaveBlankFields) {
    double** m = MatrixOf(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    SinkStream s;
    EXPECT_EQ(PrintHalfMatrix(s.f, 3, m, 1, 6), 1);
    EXPECT_EQ(s.Text(), " \t2\t3\t\n \t \t6\t\n");
    SinkStream d;
    PrintHalfMatrix(d.f, 3, m, 0, 6);
    EXPECT_EQ(d.Text(), "1\t2\t3\t\n \t5\t6\t\n \t \t9\t\n");
    free2D(m, 3);

    float** sq = FloatMatrixOf(3, 3, {0, 4, 9, 4, 0, 16, 9, 16, 0});
    SinkStream r;
    EXPECT_EQ(PrintHalfMatrix(r.f, 3, sq, 1, 6, 1), 1);
    EXPECT_EQ(r.Text(), " \t2\t3\t\n \t \t4\t\n");
    EXPECT_EQ(GetWidthMaxSqrt(3, 3, sq, 6, 1), 1);
    EXPECT_EQ(GetWidthMaxSqrt(3, 3, sq, 6, 0), 2);
    SinkStream r2;
    EXPECT_EQ(PrintHalfMatrix(r2.f, 3, sq, 1, 6, 0), 2);
    EXPECT_EQ(r2.Text(), "  \t 4\t 9\t\n  \t  \t16\t\n");
    free2D(sq, 3);
}

TEST(PaddedPrinters, LowerHalfIsMeasuredOverTheWholeMatrix) {
    double** m = MatrixOf(2, 2, {1, 100, 22, 3});
    SinkStream s;
    EXPECT_EQ(PrintLowerHalfMatrix(s.f, 2, m, 6, 0), 3);
    EXPECT_EQ(s.Text(), "  1\t\n 22\t  3\t\n");
    free2D(m, 2);
    float** f = FloatMatrixOf(2, 2, {1, 0, 2, 3});
    SinkStream t;
    EXPECT_EQ(PrintLowerHalfMatrix(t.f, 2, f, 6, 2), 2);
    EXPECT_EQ(t.Text(), " 1\t\n 2\t 3\t\n");
    free2D(f, 2);
}

TEST(PaddedPrinters, VectorsWrapBehindTheirIndent) {
    WrapLimit limit(20);
    double v[6] = {1, 2, 3, 4, 5, 6};
    SinkStream s;
    EXPECT_EQ(PrintVector(s.f, 6, v, 6, 4, 5, nullptr), 4);
    // Counts 5, 10, 15, 20 print; 25 wraps and starts again at the indent.
    EXPECT_EQ(s.Text(), "   1\t   2\t   3\t   4\t\n     \t   5\t   6\t\n");
}

TEST(PaddedPrinters, VectorsFollowTheirOrderAndMeasureTheirWidth) {
    float v[3] = {1.5f, -20, 3};
    int order[3] = {3, 1, 2};
    SinkStream s;
    EXPECT_EQ(PrintVector(s.f, 3, v, 6, 0, 0, order), 3);
    EXPECT_EQ(s.Text(), "  3\t1.5\t-20\t\n");
    SinkStream e;
    PrintVector(e.f, 0, v, 6, 0, 0, nullptr);
    EXPECT_EQ(e.Text(), "\n");
    char a[] = "a", b[] = "bcd";
    char* labels[2] = {a, b};
    int rev[2] = {2, 1};
    SinkStream l;
    EXPECT_EQ(PrintStringVector(l.f, 2, labels, 0, 0, rev), 3);
    EXPECT_EQ(l.Text(), "bcd\t  a\t\n");
}

TEST(PaddedPrinters, AnyDigitCountPrintsWithoutOverrun) {
    double** m = MatrixOf(1, 2, {1e300, 0.1});
    // 1e300 is an integer of 301 digits; asked for 400 digits "%g" writes all of them.
    EXPECT_EQ(GetWidthMax(1, 1, m, 400), 301);
    SinkStream s;
    int w = PrintMatrix(s.f, 1, 2, m, 400, 0);
    EXPECT_GE(w, 301);
    std::string text = s.Text();
    EXPECT_EQ(text.size(), 2u * (w + 1) + 1);
    EXPECT_EQ(strtod(text.c_str() + w + 1, nullptr), 0.1);
    SinkStream t;
    PrintMatrixTab(t.f, 1, 2, m, 100000);
    EXPECT_EQ(strtod(t.Text().c_str(), nullptr), 1e300);
    free2D(m, 1);
}

TEST(TabPrinters, MatricesOfEveryElementType) {
    float** f = FloatMatrixOf(1, 2, {1.23456f, -0.5f});
    SinkStream sf;
    EXPECT_EQ(PrintMatrixTab(sf.f, 1, 2, f, 3), 1);
    EXPECT_EQ(sf.Text(), "1.23\t-0.5\t\n");
    free2D(f, 1);

    double** d = MatrixOf(2, 1, {1e-7, 123456789});
    SinkStream sd;
    PrintMatrixTab(sd.f, 2, 1, d, 6);
    EXPECT_EQ(sd.Text(), "1e-07\t\n1.23457e+08\t\n");
    free2D(d, 2);

    int** i = dim2Dint(2, 2);
    i[0][0] = -3;
    i[1][1] = INT_MAX;
    SinkStream si;
    PrintMatrixTab(si.f, 2, 2, i);
    EXPECT_EQ(si.Text(), "-3\t0\t\n0\t2147483647\t\n");
    SinkStream sl;
    PrintLowerHalfMatrixTab(sl.f, 2, i);
    EXPECT_EQ(sl.Text(), "-3\t\n0\t2147483647\t\n");
    SinkStream sh;
    EXPECT_EQ(PrintHalfMatrixTab(sh.f, 2, i, 1), 1);
    EXPECT_EQ(sh.Text(), "-3\t0\t\n");
    free2D(i, 2);

    unsigned long** u = reinterpret_cast<unsigned long**>(dim2D(sizeof(unsigned long), 1, 2));
    u[0][0] = 4294967296UL;
    u[0][1] = ULONG_MAX;
    SinkStream su;
    PrintMatrixTab(su.f, 1, 2, u);
    EXPECT_EQ(su.Text(), "4294967296\t18446744073709551615\t\n");
    free2D(u, 1);

    char** c = dim2Dchar(2, 3);
    c[0][0] = 'a'; c[0][1] = 'b'; c[1][0] = 'c'; c[1][1] = 'd';
    SinkStream sc;
    PrintMatrixTab(sc.f, 2, 2, c);
    EXPECT_EQ(sc.Text(), "a\tb\t\nc\td\t\n");
    free2D(c, 2);
}

TEST(TabPrinters, HalvesAndNeighbours) {
    double** m = MatrixOf(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    SinkStream lower;
    EXPECT_EQ(PrintLowerHalfMatrixTab(lower.f, 3, m, 6), 1);
    EXPECT_EQ(lower.Text(), "1\t\n4\t5\t\n7\t8\t9\t\n");
    SinkStream half;
    EXPECT_EQ(PrintHalfMatrixTab(half.f, 3, m, 1), 2);
    EXPECT_EQ(half.Text(), "1\t2\t3\t\n4\t5\t6\t\n");
    SinkStream nb;
    EXPECT_EQ(PrintNeighborRese(nb.f, 3, m, 6), 1);
    EXPECT_EQ(nb.Text(), "4\t8\t\n");
    SinkStream one;
    PrintNeighborRese(one.f, 1, m, 6);
    EXPECT_EQ(one.Text(), "\n");
    free2D(m, 3);

    float** f = FloatMatrixOf(2, 2, {0.5f, 1, 2, 0.25f});
    SinkStream lf, hf, nf;
    PrintLowerHalfMatrixTab(lf.f, 2, f, 6);
    PrintHalfMatrixTab(hf.f, 2, f, 0);
    PrintNeighborRese(nf.f, 2, f, 6);
    EXPECT_EQ(lf.Text(), "0.5\t\n2\t0.25\t\n");
    EXPECT_EQ(hf.Text(), "0.5\t1\t\n2\t0.25\t\n");
    EXPECT_EQ(nf.Text(), "2\t\n");
    free2D(f, 2);
}

TEST(TabPrinters, VectorsAndOrders) {
    int iv[3] = {10, 20, 30};
    int order[3] = {3, 1, 2};
    SinkStream a, b, c, d, e, g;
    EXPECT_EQ(PrintVectorTab(a.f, 0, iv, nullptr), 1);
    EXPECT_EQ(a.Text(), "\n");
    PrintVectorTab(b.f, 3, iv, order);
    EXPECT_EQ(b.Text(), "30\t10\t20\t\n");
    double dv[3] = {1.26, 2, 3};
    PrintVectorTab(c.f, 3, dv, 2, order);
    EXPECT_EQ(c.Text(), "3\t1.3\t2\t\n");
    float fv[2] = {0.1f, 7};
    PrintVectorTab(d.f, 2, fv, 3, nullptr);
    EXPECT_EQ(d.Text(), "0.1\t7\t\n");
    char x[] = "x", y[] = "yy";
    char* labels[2] = {x, y};
    int rev[2] = {2, 1};
    EXPECT_EQ(PrintStringVectorTab(e.f, 2, labels, rev), 1);
    EXPECT_EQ(e.Text(), "yy\tx\t\n");
    PrintStringVectorTab(g.f, 2, labels, nullptr);
    EXPECT_EQ(g.Text(), "x\tyy\t\n");
}

TEST(FreePrinters, OneValuePerLineOrOneLine) {
    double** m = MatrixOf(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    SinkStream with, without, ffd, row;
    PrintLowerHalfMatrix_ff(with.f, 3, m, 6, true);
    PrintLowerHalfMatrix_ff(without.f, 3, m, 6, false);
    EXPECT_EQ(with.Text(), "1\n4\n5\n7\n8\n9\n");
    EXPECT_EQ(without.Text(), "4\n7\n8\n");
    PrintHalfMatrix_ff(ffd.f, 3, m, 1);
    EXPECT_EQ(ffd.Text(), "2\n3\n6\n");
    PrintHalfMatrix_row(row.f, 3, m, 0);
    EXPECT_EQ(row.Text(), "1\t2\t3\t5\t6\t9\t");
    free2D(m, 3);

    float** f = FloatMatrixOf(2, 2, {4, 0.1f, 0, 16});
    SinkStream fff, frow, fsq, flow;
    PrintHalfMatrix_ff(fff.f, 2, f, 1);
    // 0.1f is 0.100000001490116...; twelve significant digits keep the single-precision tail.
    EXPECT_EQ(fff.Text(), "0.10000000149\n");
    PrintHalfMatrix_row(frow.f, 2, f, 1);
    EXPECT_EQ(frow.Text(), "0.1\t");
    PrintHalfMatrix_row(fsq.f, 2, f, 0, 1);
    EXPECT_EQ(fsq.Text(), "2\t0.316228\t4\t");
    PrintLowerHalfMatrix_ff(flow.f, 2, f, 3, true);
    EXPECT_EQ(flow.Text(), "4\n0\n16\n");
    free2D(f, 2);

    double** d = MatrixOf(2, 2, {9, 4, 0, 1});
    SinkStream dsq;
    PrintHalfMatrix_row(dsq.f, 2, d, 0, 1);
    EXPECT_EQ(dsq.Text(), "3\t2\t1\t");
    free2D(d, 2);
}

TEST(FreePrinters, FieldsAreRewrittenInPlace) {
    SinkStream s;
    fputs(std::string(45, '.').c_str(), s.f);
    double** m = MatrixOf(2, 2, {0, 1.5, 0, 0});
    long** pos = dim2Dlong(2, 2);
    pos[0][1] = 15;
    PrintHalfMatrix_bi(s.f, 2, m, pos, 1);
    EXPECT_EQ(s.Text(), std::string(15, '.') + "  1.500000e+00 " + std::string(15, '.'));
    EXPECT_EQ(pos[0][1], 30);

    float v[2] = {-2.0f, 0.25f};
    long vpos[2] = {30, -5};   // the second seek fails: that value is skipped
    PrintVector_bi(s.f, 2, v, vpos);
    EXPECT_EQ(s.Text(), std::string(15, '.') + "  1.500000e+00 " + " -2.000000e+00 ");
    EXPECT_EQ(vpos[0], 45);
    EXPECT_EQ(vpos[1], -5);

    float** f = FloatMatrixOf(1, 1, {3});
    long** fpos = dim2Dlong(1, 1);
    PrintHalfMatrix_bi(s.f, 1, f, fpos, 0);
    EXPECT_EQ(s.Text().substr(0, 15), "  3.000000e+00 ");
    double dv[1] = {10};
    long dpos[1] = {15};
    PrintVector_bi(s.f, 1, dv, dpos);
    EXPECT_EQ(s.Text().substr(15, 15), "  1.000000e+01 ");
    free2D(fpos, 1);
    free2D(f, 1);
    free2D(pos, 2);
    free2D(m, 2);
}
