// Report printers, byte for byte on small matrices and vectors.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <type_traits>

#include "FoundationTestSupport.h"
#include "foundation/qwlibOut.h"

namespace {

// Runs print on a fresh stream: checks the value it returns (0 if void) and the exact text.
template <class F>
void ExpectPrints(F print, int ret, const std::string& text, const char* what) {
    TextStream s;
    int got = 0;
    if constexpr (std::is_void_v<decltype(print(s.f))>) print(s.f);
    else got = print(s.f);
    EXPECT_EQ(got, ret) << what;
    EXPECT_EQ(s.Text(), text) << what;
}

}  // namespace

// `call` is a printer writing to the stream f.
#define EXPECT_PRINTS(call, ret, text) ExpectPrints([&](FILE* f) { return call; }, ret, text, #call)

TEST(Printers, PaddedFieldsAreAsWideAsTheWidestValue) {
    Table<double> m(2, 2, {1, 22.5, 3, 4}), n(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    Table<float> fm(2, 2, {1, 22.5f, 3, 4}), sq(3, 3, {0, 4, 9, 4, 0, 16, 9, 16, 0});
    EXPECT_PRINTS(PrintMatrix(f, 2, 2, m, 6, 0), 4, "   1\t22.5\t\n   3\t   4\t\n");
    EXPECT_PRINTS(PrintMatrixFloat(f, 2, 2, fm, 6, 6), 6, "     1\t  22.5\t\n     3\t     4\t\n");
    EXPECT_PRINTS(PrintLowerHalfMatrix(f, 2, m, 6, 0), 4, "   1\t\n   3\t   4\t\n");   // measured over all
    EXPECT_PRINTS(PrintHalfMatrix(f, 3, n, 1, 6), 1, " \t2\t3\t\n \t \t6\t\n");
    EXPECT_PRINTS(PrintHalfMatrix(f, 3, sq, 1, 6, 1), 1, " \t2\t3\t\n \t \t4\t\n");   // square roots
    EXPECT_PRINTS(PrintHalfMatrix(f, 3, sq, 1, 6, 0), 2, "  \t 4\t 9\t\n  \t  \t16\t\n");
    float v[3] = {1.5f, -20, 3};
    int order[3] = {3, 1, 2}, rev[2] = {2, 1};
    char a[] = "a", bcd[] = "bcd";
    char* labels[2] = {a, bcd};
    EXPECT_PRINTS(PrintVector(f, 3, v, 6, 0, 0, order), 3, "  3\t1.5\t-20\t\n");
    EXPECT_PRINTS(PrintStringVector(f, 2, labels, 0, 0, rev), 3, "bcd\t  a\t\n");
}

TEST(Printers, PaddedLinesWrapOnceTheCountExceedsTheLimit) {
    maxColsPrint = 20;
    double v[6] = {1, 2, 3, 4, 5, 6};
    // Counts 5, 10, 15, 20 print; 25 wraps and starts again at the indent.
    EXPECT_PRINTS(PrintVector(f, 6, v, 6, 4, 5, nullptr), 4, "   1\t   2\t   3\t   4\t\n     \t   5\t   6\t\n");
    // Matrix rows of width-2 fields advance 3 each: with the limit 8 the count 9 wraps before the
    // fourth field, with the limit 9 (a count equal to it prints) before the fifth; every row starts
    // again at 0 and a continuation line starts with one blank field.
    Table<double> row(2, 6, {1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3}), sq(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    maxColsPrint = 8;
    EXPECT_PRINTS(PrintMatrix(f, 2, 6, row, 6, 2), 2,
                  " 1\t 2\t 3\t\n  \t 4\t 5\t 6\t\n 7\t 8\t 9\t\n  \t 1\t 2\t 3\t\n");
    maxColsPrint = 9;
    EXPECT_PRINTS(PrintMatrix(f, 1, 6, row, 6, 2), 2, " 1\t 2\t 3\t 4\t\n  \t 5\t 6\t\n");
    // Half matrices of width-1 fields (2 each), the blanks of the upper half counted like values.
    maxColsPrint = 3;
    EXPECT_PRINTS(PrintHalfMatrix(f, 3, sq, 0, 6), 1, "1\t2\t\n \t3\t\n \t5\t\n \t6\t\n \t \t\n \t9\t\n");
    EXPECT_PRINTS(PrintLowerHalfMatrix(f, 3, sq, 6, 0), 1, "1\t\n4\t5\t\n7\t8\t\n \t9\t\n");
    maxColsPrint = 2147483647;
}

TEST(Printers, AnyDigitCountPrintsWithoutOverrun) {
    Table<double> m(1, 2, {1e300, 0.1});
    // 1e300 is an integer of 301 digits; asked for 400 digits "%g" writes all of them.
    EXPECT_EQ(GetWidthMax(1, 1, m, 400), 301);
    TextStream s, t;
    const int w = PrintMatrix(s.f, 1, 2, m, 400, 0);
    const std::string text = s.Text();
    EXPECT_GE(w, 301);
    EXPECT_EQ(text.size(), 2u * (w + 1) + 1);
    EXPECT_EQ(strtod(text.c_str() + w + 1, nullptr), 0.1);
    PrintMatrixTab(t.f, 1, 2, m, 100000);
    EXPECT_EQ(strtod(t.Text().c_str(), nullptr), 1e300);
}

TEST(Printers, TabAndFreeFormsOfEveryElementType) {
    Table<float> fm(1, 2, {1.23456f, -0.5f}), s(2, 2, {4, 0.1f, 0, 16}), rf(2, 2, {9, 4, 0, 1});
    Table<double> m(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}), r(2, 2, {9, 4, 0, 1});
    Table<int> im(2, 2, {-3, 0, 0, INT_MAX});
    Table<unsigned long> um(1, 2, {4294967296UL, ULONG_MAX});
    EXPECT_PRINTS(PrintMatrixTab(f, 1, 2, fm, 3), 1, "1.23\t-0.5\t\n");
    EXPECT_PRINTS(PrintMatrixTab(f, 2, 2, im), 1, "-3\t0\t\n0\t2147483647\t\n");
    EXPECT_PRINTS(PrintMatrixTab(f, 1, 2, um), 1, "4294967296\t18446744073709551615\t\n");
    EXPECT_PRINTS(PrintLowerHalfMatrixTab(f, 3, m, 6), 1, "1\t\n4\t5\t\n7\t8\t9\t\n");
    EXPECT_PRINTS(PrintHalfMatrixTab(f, 3, m, 1), 2, "1\t2\t3\t\n4\t5\t6\t\n");
    EXPECT_PRINTS(PrintNeighborRese(f, 3, m, 6), 1, "4\t8\t\n");
    int iv[3] = {10, 20, 30}, order[3] = {3, 1, 2};
    EXPECT_PRINTS(PrintVectorTab(f, 3, iv, order), 1, "30\t10\t20\t\n");
    // Free forms: one value per line, or one line.
    EXPECT_PRINTS(PrintLowerHalfMatrix_ff(f, 3, m, 6, true), 0, "1\n4\n5\n7\n8\n9\n");
    EXPECT_PRINTS(PrintLowerHalfMatrix_ff(f, 3, m, 6, false), 0, "4\n7\n8\n");
    // 0.1f is 0.100000001490116...; twelve significant digits keep the single-precision tail.
    EXPECT_PRINTS(PrintHalfMatrix_ff(f, 2, s, 1), 0, "0.10000000149\n");
    EXPECT_PRINTS(PrintHalfMatrix_row(f, 2, r, 0, 1), 0, "3\t2\t1\t");   // square roots
    EXPECT_PRINTS(PrintHalfMatrix_row(f, 2, rf, 0, 0), 0, "9\t4\t1\t");
}

TEST(Printers, FieldsAreRewrittenInPlace) {
    TextStream s(std::string(45, '.'));
    Table<double> m(2, 2, {0, 1.5, 0, 0});
    Table<long> pos(2, 2, {0, 15, 0, 0});
    float v[2] = {-2.0f, 0.25f};
    long vpos[2] = {30, -5};   // the seek to -5 fails: that value is skipped
    PrintHalfMatrix_bi(s.f, 2, m, pos, 1);
    PrintVector_bi(s.f, 2, v, vpos);
    EXPECT_EQ(s.Text(), std::string(15, '.') + "  1.500000e+00 " + " -2.000000e+00 ");
    EXPECT_EQ(pos[0][1], 30);   // each position moves past its field
    EXPECT_EQ(vpos[0], 45);
    EXPECT_EQ(vpos[1], -5);
}
