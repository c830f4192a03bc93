// The trait-subset search (K) and the functional analysis (H) end to end on a survey whose
// environment holds nominal variables beside a quantitative one, where the environmental
// resemblance is 1 - Gower similarity: every cell of DE, the last community's row included, against
// the hand values below, and r(TE) against the Mantel correlation of those values with the trait
// distances computed here from the raw files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "session/session_fixture.h"

namespace {

using tnxtest::Result;
using tnxtest::Sandbox;
using Mat = std::vector<std::vector<double>>;

// Six communities of the five OTUs of fa_B.txt (traits h and w), as rows.
const Mat kW = {{1, 2, 0, 0, 1}, {0, 1, 3, 0, 0}, {2, 0, 1, 1, 0}, {0, 0, 2, 2, 4}, {1, 1, 1, 1, 1}, {0, 3, 0, 1, 2}};
const Mat kB = {{1, 10}, {2, 30}, {4, 20}, {5, 50}, {3, 40}};
const std::string kWFile = "1\t2\t0\t0\t1\n0\t1\t3\t0\t0\n2\t0\t1\t1\t0\n0\t0\t2\t2\t4\n1\t1\t1\t1\t1\n0\t3\t0\t1\t2\n"
                           "c1\tc2\tc3\tc4\tc5\tc6\n";
// soil and land nominal (types 2), alt quantitative (3), c3's alt missing:
//        soil land alt
//   c1    1    1    2
//   c2    2    1    4
//   c3    1    2    -
//   c4    3    2    1
//   c5    2    3    5
//   c6    3    3    9
const std::string kEFile = "1\t1\t2\n2\t1\t4\n1\t2\t-999\n3\t2\t1\n2\t3\t5\n3\t3\t9\nsoil\tland\talt\n";

// DE = 1 - s by hand. alt's range over its present values is 9 - 1 = 8, so each of its terms
// 1 - |x - y| / 8 is exact; s = (agreements of soil and land + alt's term) / 3, and for a pair
// with c3, whose alt is missing, s = agreements / 2.
//   c1-c2: land agrees, 1 - 2/8 = 0.75: s = 1.75/3          c2-c5: soil, 1 - 1/8: s = 1.875/3
//   c1-c3: soil: s = 1/2                                    c2-c6: 1 - 5/8: s = 0.375/3
//   c1-c4: 1 - 1/8 = 0.875: s = 0.875/3                     c3-c4: land: s = 1/2
//   c1-c5: 1 - 3/8: s = 0.625/3                             c3-c5, c3-c6: none: s = 0
//   c1-c6: 1 - 7/8: s = 0.125/3                             c4-c5: 1 - 4/8: s = 0.5/3
//   c2-c3: none: s = 0                                      c4-c6: soil, 1 - 8/8: s = 1/3
//   c2-c4: 1 - 3/8: s = 0.625/3                             c5-c6: land, 1 - 4/8: s = 1.5/3
// Lower half with the diagonal, as the files print it.
const Mat kDE = {{0},
                 {1.25 / 3, 0},
                 {0.5, 1, 0},
                 {2.125 / 3, 2.375 / 3, 0.5, 0},
                 {2.375 / 3, 1.125 / 3, 1, 2.5 / 3, 0},
                 {2.875 / 3, 2.625 / 3, 1, 2.0 / 3, 1.5 / 3, 0}};

// Import: B and species of tests/data, no phylogeny, W and E above; 5 OTUs, 2 quantitative traits;
// 6 communities as rows; 3 variables of several types (5), typed 2 2 3, by communities.
const std::string kImport = "N\nq\n1\nfa_B.txt\n0\nW.txt\n1\nfa_spp.txt\n1\nE.txt\n5\n2\n2\n2\nk\n3 3\ny\n0\n6\n2\n1\n2\n"
                            "3\n2\n5\nk\n2 2 3\ny\nn\nC\nX\n";
// Preferences: 10 significant digits and the structure file, the rest the defaults.
const std::string kPrefs = "18Nov2016\n0\n0.000000\n0.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n0.000000\n"
                           "10\n2147483647\n6\ny\nn\nn\n1\n1\n0\n1\n2\n1\n0\n";

// `count` numbers after the first `heading` in `text`.
std::vector<double> NumbersAfter(const std::string& text, const std::string& heading, size_t count) {
    std::vector<double> v;
    const size_t at = text.find(heading);
    if (at == std::string::npos) return v;
    const char* p = text.c_str() + at + heading.size();
    for (char* end = nullptr; v.size() < count; p = end) {
        const double x = std::strtod(p, &end);
        if (end == p) break;
        v.push_back(x);
    }
    return v;
}

void ExpectDE(const std::string& text, const std::string& heading) {
    std::vector<double> want;
    for (const auto& row : kDE) want.insert(want.end(), row.begin(), row.end());
    const std::vector<double> got = NumbersAfter(text, heading, want.size());
    ASSERT_EQ(got.size(), want.size()) << heading;
    for (size_t i = 0; i < want.size(); i++) EXPECT_NEAR(got[i], want[i], 1e-9) << heading << " cell " << i;
}

// r(TE) of the traits `cols`: T = W at unit row sums times B, each column at unit length, DT their
// Euclidean distances, and the Pearson correlation of DT with kDE over the pairs of communities.
double MantelTE(const std::vector<int>& cols) {
    const size_t n = kW.size();
    Mat T(n, std::vector<double>(cols.size(), 0.0));
    for (size_t c = 0; c < n; c++) {
        double total = 0;
        for (double x : kW[c]) total += x;
        for (size_t k = 0; k < cols.size(); k++)
            for (size_t o = 0; o < kB.size(); o++) T[c][k] += kW[c][o] / total * kB[o][cols[k]];
    }
    for (size_t k = 0; k < cols.size(); k++) {
        double ss = 0;
        for (size_t c = 0; c < n; c++) ss += T[c][k] * T[c][k];
        for (size_t c = 0; c < n; c++) T[c][k] /= std::sqrt(ss);
    }
    std::vector<double> x, y;
    for (size_t i = 1; i < n; i++)
        for (size_t j = 0; j < i; j++) {
            double d = 0;
            for (size_t k = 0; k < cols.size(); k++) d += (T[i][k] - T[j][k]) * (T[i][k] - T[j][k]);
            x.push_back(kDE[i][j]);
            y.push_back(std::sqrt(d));
        }
    double mx = 0, my = 0;
    for (size_t q = 0; q < x.size(); q++) mx += x[q] / x.size(), my += y[q] / y.size();
    double sxy = 0, sxx = 0, syy = 0;
    for (size_t q = 0; q < x.size(); q++)
        sxy += (x[q] - mx) * (y[q] - my), sxx += (x[q] - mx) * (x[q] - mx), syy += (y[q] - my) * (y[q] - my);
    return sxy / std::sqrt(sxx * syy);
}

// K, criterion 10 under Mantel on every subset of the two traits, with the structure file: the DE it
// prints, and each subset's ro(TE). H with the species as types (three fuzzy types given at the
// keyboard), 9 iterations, Mantel with Euclidean distances, all traits, the detailed report: its DE
// and r(TE) of both traits.
TEST(QualitativeEnvironmentE2E, GowerDistancesOfNominalAndQuantitativeVariablesInKAndH) {
    Sandbox box;
    for (const char* f : {"fa_B.txt", "fa_spp.txt"})
        std::filesystem::copy(std::string(TARNEX_TESTDATA) + "/" + f, box.Path(f));
    box.WriteFile("W.txt", kWFile);
    box.WriteFile("E.txt", kEFile);
    box.WriteFile("TARNEX.prf", kPrefs);
    const Result imported = box.Run(kImport);
    ASSERT_EQ(imported.status, 0) << imported.err;

    const Result k = box.Run("O\nq\nV\nK\n10\n1\n1\n1\n2\ny\n\nC\nC\nX\n");
    ASSERT_EQ(k.status, 0) << k.err;
    const std::string st = box.ReadFile("qStr.txt");
    ExpectDE(st, "Resemblance matrix between 6 relevés based on 3 environmental variables:\n");
    const struct {
        std::vector<int> cols;
        const char* labels;
    } subsets[] = {{{0}, "h \t"}, {{1}, "w \t"}, {{0, 1}, "h \tw \t"}};
    for (const auto& s : subsets) {
        SCOPED_TRACE(s.labels);
        const std::string label = "Trait ranking criterion ro(TE)=\t";
        const size_t end = st.find(std::string("\tTrait subset used:\t") + s.labels + "\n");
        const size_t at = st.rfind(label, end);
        ASSERT_TRUE(end != std::string::npos && at != std::string::npos);
        EXPECT_NEAR(std::atof(st.c_str() + at + label.size()), MantelTE(s.cols), 1e-5);
    }

    const Result h = box.Run("O\nq\nV\nH\nn\nk\n1 1 2 2 3\n1\n9\n0\n2\n5\n1\n6\n1\ny\ny\n\nC\nC\nX\n");
    ASSERT_EQ(h.status, 0) << h.err;
    const std::string report = box.ReadFile("qPrinda.txt");
    ExpectDE(report, "Resemblance matrix (DE) between community sites based on ecological variables:\n");
    const std::vector<double> te = NumbersAfter(report, "Convergence (TCAP): r(TE)=\t", 1);
    ASSERT_EQ(te.size(), 1u);
    EXPECT_NEAR(te[0], MantelTE({0, 1}), 1e-5);
}

}  // namespace
