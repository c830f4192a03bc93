// Huffman-code complexity: mean code lengths worked out by hand from the Huffman construction,
// the code's own invariants, and the guards of the frequencies.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "classical/qwComplexity.h"

namespace {

using Lengths = std::vector<unsigned long>;

// Frequencies out of 1e6 (hand): the merges give the lengths, and the mean length is the sum of
// the merged weights over 1e6.
TEST(Complexity, MeanCodeLengthOfHandBuiltCodes) {
    const struct {
        const char* what;
        std::vector<double> v;
        double mean;
        Lengths lengths;
    } cases[] = {
        // 500000, 250000, 125000, 125000: merges 250000, 500000, 1000000.
        {"halves", {0.5, 0.25, 0.125, 0.125}, 1.75, {1, 2, 3, 3}},
        // 333333 each: merges 666666 (symbols 1 and 3 by the heap order) and 999999.
        {"three equal", {1, 1, 1}, 1.666665, {2, 1, 2}},
        // 166666, 333333, 500000: merges 499999 and 999999.
        {"scaled", {10, 20, 30}, 1.499998, {2, 2, 1}},
        // Two symbols: one bit each, 750000 + 250000.
        {"two positive", {3, 1}, 1.0, {1, 1}},
        // Negative and missing entries count 0: 500000, 250000, 250000.
        {"negative", {2, -1, 1, 1}, 1.5, {1, 0, 2, 2}},
        {"missing", {1, -999, 1, 1}, 1.666665, {2, 0, 1, 2}},
        // 1e-7 of 3 truncates to frequency 0: no code.
        {"tiny", {1, 1e-7, 1, 1}, 1.666665, {2, 0, 1, 2}},
        {"one positive", {5, 0, -2}, 0.0, {0, 0, 0}},
        {"all zero", {0, 0, 0, 0}, 0.0, {0, 0, 0, 0}},
        {"NaN counts 0", {NAN, 2, 2}, 1.0, {0, 1, 1}},
    };
    for (const auto& c : cases) {
        std::vector<double> d = c.v;
        std::vector<float> f(c.v.begin(), c.v.end());
        Lengths ld(d.size()), lf(f.size());
        EXPECT_NEAR(ComplexityVectorHuffCode(static_cast<int>(d.size()), d.data(), ld.data()), c.mean, 1e-12) << c.what;
        EXPECT_NEAR(ComplexityVector(static_cast<int>(f.size()), f.data()), c.mean, 1e-12) << c.what;
        ComplexityVectorHuffCode(static_cast<int>(f.size()), f.data(), lf.data());
        EXPECT_EQ(ld, c.lengths) << c.what;
        EXPECT_EQ(lf, c.lengths) << c.what;
    }
}

// Full binary codes: the Kraft sum of 2^-length over the coded symbols is 1, the mean length lies
// within one bit above the entropy, the bits lie below the length. Longest codes by hand: in the
// first set frequencies 1 and 5 (symbols 3 and 1) merge first (merged weights 6, 23, 40, 100, 160,
// 410, 1310, 4310) and sit 8 steps down; Fibonacci frequencies of 66 symbols merge in a chain, the
// two smallest 65 steps down, deeper than the bits of a word. The first of equals is reported.
TEST(Complexity, FullCodesAndTheLongest) {
    std::vector<unsigned long> fibonacci = {0, 1, 1};
    while (fibonacci.size() < 67) fibonacci.push_back(fibonacci[fibonacci.size() - 1] + fibonacci[fibonacci.size() - 2]);
    const struct {
        std::vector<unsigned long> freq;
        Lengths longest;  // its length, its symbol, the root
    } cases[] = {{{0, 5, 900, 1, 0, 60, 60, 3000, 17, 17, 250}, {8, 0, 10 + 8}}, {fibonacci, {65, 0, 66 + 65}}};
    for (auto c : cases) {
        const unsigned long n = c.freq.size() - 1;
        huffcode code;
        unsigned long longest = 99, length = 0;
        hufmak(c.freq.data(), n, &longest, &length, &code);
        double kraft = 0, total = 0, mean = 0, entropy = 0;
        for (unsigned long j = 1; j <= n; j++) total += c.freq[j];
        for (unsigned long j = 1; j <= n; j++) {
            const double p = c.freq[j] / total;
            if (p == 0) {
                EXPECT_EQ(code.ncod[j], 0u);
                continue;
            }
            kraft += std::ldexp(1.0, -static_cast<int>(code.ncod[j]));
            mean += p * code.ncod[j];
            entropy -= p * std::log2(p);
            if (code.ncod[j] < 64) {
                EXPECT_LT(code.icod[j], 1UL << code.ncod[j]);
            }
        }
        EXPECT_DOUBLE_EQ(kraft, 1.0);
        EXPECT_GE(mean, entropy);
        EXPECT_LT(mean, entropy + 1.0);
        EXPECT_EQ((Lengths{length, longest, code.nodemax}), c.longest);
    }
}

// The heap: the moving entry sinks to the smaller child, the left one on a tie, and stops above a
// child of equal frequency.
TEST(Complexity, HeapRestoreTakesTheSmallerChildLeftOnTies) {
    const struct {
        std::vector<unsigned long> heap, freq, expected;
    } cases[] = {
        {{0, 1, 2, 3}, {0, 9, 4, 4}, {0, 2, 1, 3}},           // tie of the children: left
        {{0, 1, 2, 3}, {0, 9, 5, 4}, {0, 3, 2, 1}},           // right child smaller
        {{0, 1, 2, 3}, {0, 4, 4, 7}, {0, 1, 2, 3}},           // equal to the child: stays
        {{0, 1, 2, 3, 4}, {0, 9, 3, 5, 1}, {0, 2, 4, 3, 1}},  // sinks two levels
    };
    for (auto c : cases) {
        hufapp(c.heap.data(), c.freq.data(), c.heap.size() - 1, 1);
        EXPECT_EQ(c.heap, c.expected);
    }
}

// Row totals 2, 1, 1 of a 3 x 2 table: frequencies 500000, 250000, 250000.
TEST(Complexity, RowsUseTheRowTotals) {
    float rows[3][2] = {{1.5f, 0.5f}, {1, 0}, {0.25f, 0.75f}};
    float* m[3] = {rows[0], rows[1], rows[2]};
    EXPECT_NEAR(ComplexityRows(3, 2, m), 1.5, 1e-12);
    EXPECT_EQ(ComplexityRows(0, 2, m), 0.0);
}

}  // namespace
