// The functional analysis (letter H) run end to end by the built program: on a small data set
// whose every matrix the test recomputes from the raw files, on the sample surveys, and in the
// settings the report distinguishes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <utility>
#include <string>
#include <vector>

#include "session/session_fixture.h"

namespace {

using tnxtest::Count;
using tnxtest::Result;
using tnxtest::Sandbox;
using Mat = std::vector<std::vector<double>>;

const std::string kData = TARNEX_TESTDATA;
const std::string kExamples = TARNEX_EXAMPLES;

// Import of the small data set: B (2 quantitative traits) with a full matrix of phylogenetic
// distances, W, species names, E (2 quantitative variables in different units).
const std::string kFaImport =
    "N\nfa\n1\nfa_B.txt\n1\nfa_F.txt\nfa_W.txt\n1\nfa_spp.txt\n1\nfa_E.txt\n5\n2\n2\n2\nk\n3 3\ny\n0\n1\n4\n2\n1\n2\n"
    "2\n2\n2\nn\nC\nX\n";
const std::string kMafraghImport =
    "N\nmafragh\n1\nmafragh_B.txt\n1\nmafragh_F.txt\nmafragh_W.txt\n1\nmafragh_spp.txt\n1\nmafragh_E.txt\n56\n6\n2\n2\n"
    "k\n3 3 3 4 4 4\ny\n0\n1\n97\n2\n1\n2\n11\n2\n2\nn\nC\nX\n";

// A sandbox with the session imported from the given files.
void Prepare(const Sandbox& box, const std::string& dir, const std::vector<std::string>& files, const std::string& import) {
    for (const std::string& f : files) std::filesystem::copy(dir + "/" + f, box.Path(f));
    const Result r = box.Run(import);
    ASSERT_EQ(r.status, 0) << r.err;
}

// `count` numbers that follow the first occurrence of `heading` at or after `from`.
std::vector<double> NumbersAfter(const std::string& text, const std::string& heading, int count, size_t from = 0) {
    std::vector<double> v;
    const size_t at = text.find(heading, from);
    EXPECT_NE(at, std::string::npos) << heading;
    if (at == std::string::npos) return v;
    const char* p = text.c_str() + at + heading.size();
    for (int i = 0; i < count; i++) {
        char* end = nullptr;
        const double x = std::strtod(p, &end);
        if (end == p) break;
        v.push_back(x);
        p = end;
    }
    EXPECT_EQ(static_cast<int>(v.size()), count) << heading;
    return v;
}

// The value printed after `label` (as "label\t%g").
double ValueAfter(const std::string& text, const std::string& label) {
    const std::vector<double> v = NumbersAfter(text, label, 1);
    return v.empty() ? NAN : v[0];
}

// A printed matrix against its expected value, each number to the report's 6 significant digits.
void ExpectMatrix(const std::string& text, const std::string& heading, const Mat& m) {
    std::vector<double> expected;
    for (const auto& row : m) expected.insert(expected.end(), row.begin(), row.end());
    const std::vector<double> got = NumbersAfter(text, heading, static_cast<int>(expected.size()));
    if (got.size() != expected.size()) return;
    for (size_t i = 0; i < got.size(); i++)
        EXPECT_NEAR(got[i], expected[i], 2e-6 + 2e-5 * std::fabs(expected[i])) << heading << " cell " << i;
}
// A resemblance matrix printed as a lower half with its diagonal.
void ExpectLowerHalf(const std::string& text, const std::string& heading, const Mat& m) {
    Mat lower;
    for (size_t i = 0; i < m.size(); i++) lower.emplace_back(m[i].begin(), m[i].begin() + i + 1);
    ExpectMatrix(text, heading, lower);
}

Mat Rows(const std::string& path, int rows, int cols) {
    std::FILE* f = std::fopen(path.c_str(), "r");
    EXPECT_NE(f, nullptr) << path;
    Mat m(rows, std::vector<double>(cols));
    for (auto& row : m)
        for (double& x : row) EXPECT_EQ(std::fscanf(f, "%lf", &x), 1);
    std::fclose(f);
    return m;
}

Mat Product(const Mat& a, const Mat& b) {
    Mat c(a.size(), std::vector<double>(b[0].size(), 0.0));
    for (size_t i = 0; i < a.size(); i++)
        for (size_t j = 0; j < b[0].size(); j++)
            for (size_t k = 0; k < b.size(); k++) c[i][j] += a[i][k] * b[k][j];
    return c;
}

Mat RowsToUnitSum(Mat m) {
    for (auto& row : m) {
        double s = 0;
        for (double x : row) s += x;
        for (double& x : row) x /= s;
    }
    return m;
}

Mat Euclidean(const Mat& m) {
    Mat d(m.size(), std::vector<double>(m.size(), 0.0));
    for (size_t i = 0; i < m.size(); i++)
        for (size_t j = 0; j < m.size(); j++) {
            double s = 0;
            for (size_t k = 0; k < m[0].size(); k++) s += (m[i][k] - m[j][k]) * (m[i][k] - m[j][k]);
            d[i][j] = std::sqrt(s);
        }
    return d;
}

// Pearson correlation of the cells above the diagonal.
double Mantel(const Mat& a, const Mat& b) {
    std::vector<double> x, y;
    for (size_t i = 0; i < a.size(); i++)
        for (size_t j = i + 1; j < a.size(); j++) x.push_back(a[i][j]), y.push_back(b[i][j]);
    double mx = 0, my = 0;
    for (size_t k = 0; k < x.size(); k++) mx += x[k] / x.size(), my += y[k] / y.size();
    double sxy = 0, sxx = 0, syy = 0;
    for (size_t k = 0; k < x.size(); k++)
        sxy += (x[k] - mx) * (y[k] - my), sxx += (x[k] - mx) * (x[k] - mx), syy += (y[k] - my) * (y[k] - my);
    return sxy / std::sqrt(sxx * syy);
}
double Partial(double rxy, double rxz, double ryz) { return (rxy - rxz * ryz) / std::sqrt((1 - rxz * rxz) * (1 - ryz * ryz)); }

// Fuzzy belonging: the mean resemblance (1 - d for dissimilarities) of each object to the
// members of each group, rows at unit sum.
Mat Fuzzy(const Mat& s, const std::vector<int>& groups, int g, bool dissimilarity) {
    Mat u(s.size(), std::vector<double>(g, 0.0));
    for (size_t i = 0; i < s.size(); i++) {
        std::vector<int> count(g, 0);
        for (size_t j = 0; j < s.size(); j++) {
            u[i][groups[j] - 1] += dissimilarity ? 1.0 - s[i][j] : s[i][j];
            count[groups[j] - 1]++;
        }
        double total = 0;
        for (int k = 0; k < g; k++) total += (u[i][k] /= count[k]);
        for (int k = 0; k < g; k++) u[i][k] /= total;
    }
    return u;
}

double Rao(const std::vector<double>& p, const std::function<double(int, int)>& d) {
    double q = 0;
    for (size_t i = 0; i < p.size(); i++)
        for (size_t j = 0; j < p.size(); j++) q += p[i] * p[j] * d(i, j);
    return q;
}

// The small data set, computed from its raw files as the report defines each matrix.
struct FaExpected {
    Mat B = Rows(kData + "/fa_B.txt", 5, 2);
    Mat W = Rows(kData + "/fa_W.txt", 4, 5);
    Mat E = Rows(kData + "/fa_E.txt", 4, 2);
    Mat F = Rows(kData + "/fa_F.txt", 5, 5);
    std::vector<int> types{1, 1, 2, 2, 3};
    Mat W2, DE, T, Tn, DT, S, U, C, X, Xc, A, Fd, Q, P, DP;
    std::vector<double> D, Rf, FR, Rp, PR;
    double rTE, rXE, rXT, rXE_T;

    FaExpected() {
        W2 = RowsToUnitSum(W);
        // E: each variable centred and divided by the root of its sum of squares.
        Mat Es = E;
        for (int v = 0; v < 2; v++) {
            double mean = 0, ss = 0;
            for (int c = 0; c < 4; c++) mean += E[c][v] / 4;
            for (int c = 0; c < 4; c++) ss += (E[c][v] - mean) * (E[c][v] - mean);
            for (int c = 0; c < 4; c++) Es[c][v] = (E[c][v] - mean) / std::sqrt(ss);
        }
        DE = Euclidean(Es);
        T = Product(W2, B);  // complete data: the community-weighted means
        Tn = T;
        for (int t = 0; t < 2; t++) {
            double ss = 0;
            for (int c = 0; c < 4; c++) ss += T[c][t] * T[c][t];
            for (int c = 0; c < 4; c++) Tn[c][t] = T[c][t] / std::sqrt(ss);
        }
        DT = Euclidean(Tn);
        // Gower: ranges 4 (h) and 40 (w).
        S.assign(5, std::vector<double>(5));
        for (int i = 0; i < 5; i++)
            for (int j = 0; j < 5; j++)
                S[i][j] = ((1 - std::fabs(B[i][0] - B[j][0]) / 4) + (1 - std::fabs(B[i][1] - B[j][1]) / 40)) / 2;
        U = Fuzzy(S, types, 3, false);
        C.assign(5, std::vector<double>(3, 0.0));
        for (int i = 0; i < 5; i++) C[i][types[i] - 1] = 1;
        X = Product(W2, U);
        Xc = Product(W2, C);
        A = {{1.5, 20}, {4.5, 35}, {3, 40}};
        Fd = F;
        for (auto& row : Fd)
            for (double& x : row) x /= 8;  // the import divides by the largest distance
        Q = Fuzzy(Fd, types, 3, true);
        P = Product(W2, Q);
        DP = Euclidean(P);
        for (int c = 0; c < 4; c++) {
            double gs = 1;
            for (double p : W2[c]) gs -= p * p;
            D.push_back(gs);
            Rf.push_back(Rao(W2[c], [this](int i, int j) { return std::sqrt(1 - S[i][j]); }));
            Rp.push_back(Rao(W2[c], [this](int i, int j) { return Fd[i][j]; }));
            FR.push_back(D[c] - Rf[c]);
            PR.push_back(D[c] - Rp[c]);
        }
        const Mat DX = Euclidean(X);
        rTE = Mantel(DE, DT);
        rXE = Mantel(DE, DX);
        rXT = Mantel(DX, DT);
        rXE_T = Partial(rXE, rXT, rTE);
    }
};

class FunctionalAnalysisE2E : public ::testing::Test {
protected:
    Sandbox box_;
};

// The detailed report with fuzzy types and the phylogeny: every matrix recomputed.
TEST_F(FunctionalAnalysisE2E, DetailedReportMatricesEqualTheirRecomputation) {
    Prepare(box_, kData, {"fa_B.txt", "fa_W.txt", "fa_E.txt", "fa_F.txt", "fa_spp.txt"}, kFaImport);
    // Types typed (1 1 2 2 3), fuzzy, 99 iterations, seed 5, Mantel, Euclidean, all traits, W at
    // unit totals, detailed report.
    const Result r = box_.Run("O\nfa\nV\nH\nn\nk\n1 1 2 2 3\n1\n99\n0\n2\n5\n1\n6\n1\ny\ny\n\nC\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Count(r.out, "\n\nResults on file faPrinda.txt\n"), 1);
    const std::string t = box_.ReadFile("faPrinda.txt");
    const FaExpected e;

    ExpectMatrix(t, "\nCommunity matrix W with 4 communities by 5 OTUs: \n", e.W);
    ExpectMatrix(t, "\nCommunity matrix W with 4 communities by 5 OTUs adjusted to unit sum within each community: \n",
                 e.W2);
    ExpectMatrix(t, "\nDissimilarity matrix, in the range 0-1, between 5 OTUs based on their phylogeny:\n", e.Fd);
    EXPECT_EQ(Count(t, "\nPartition vector of 5 OTUs in 3 taxa:\n1\t1\t2\t2\t3\t\n"), 1);
    ExpectMatrix(t, "\nFuzzy belonging of 5 OTUs (rows) in 3 taxa (columns) according to their phylogeny:\n", e.Q);
    ExpectMatrix(t, "\nPooled performance matrix P (4 communities x 3 taxa) after fuzzy-weighting by the specified "
                    "phylogeny:\n", e.P);
    ExpectLowerHalf(t, "\nResemblance matrix (DP) between communities based on matrix P, the composition of OTUs "
                       "weighted by their phylogeny:\n", e.DP);
    ExpectMatrix(t, "\nTrait matrix B with 5 OTUs by 2 traits: \n", e.B);
    ExpectMatrix(t, "\nMatrix E with ecological variables (4 communities x 2 variables):\n", e.E);
    ExpectLowerHalf(t, "Resemblance matrix (DE) between community sites based on ecological variables:\n", e.DE);
    ExpectMatrix(t, "\nMatrix T with trait averages at community level (4 communities x 2 traits):\n", e.T);
    ExpectMatrix(t, "\nMatrix T with normalized traits at community level (4 communities x 2 traits adjusted to unit "
                    "length):\n", e.Tn);
    ExpectLowerHalf(t, "Resemblance matrix (DT) between communities based on selected traits:\n", e.DT);
    ExpectLowerHalf(t, "\nSimilarity matrix between 5 OTUs, based on 2 traits:\n", e.S);
    EXPECT_EQ(Count(t, "\nPartition vector of 5 OTUs in 3 specified types:\n1\t1\t2\t2\t3\t\n"), 1);
    ExpectMatrix(t, "\nFuzzy degrees of belonging (matrix U) of 5 OTUs (rows) in 3 types (columns):\n", e.U);
    ExpectMatrix(t, "\nCrisp degrees of belonging (matrix C) of 5 OTUs (rows) in 3 types (columns):\n", e.C);
    EXPECT_EQ(Count(t, "\nLabels of 3 specified types:\n1\t2\t3\t\n\nNumber of OTUs in each type:\n2\t2\t1\t\n\n"), 1);
    ExpectMatrix(t, "\nAverage trait matrix (3 types x 2 traits):\n", e.A);
    ExpectMatrix(t, "Pooled performance community matrix (4 communities x 3 crisp types) without fuzzy-weighting by "
                    "the selected traits.\n", e.Xc);
    ExpectMatrix(t, "Pooled performance matrix X (4 communities x 3 types) after fuzzy-weighting by the selected "
                    "traits.\nTraits:\th\tw\t\n", e.X);
    ExpectMatrix(t, "(D) within each community (equivalent to Rao quadratic entropy with null, crisp, similarities):\n",
                 {e.D});
    ExpectMatrix(t, "[D=sqrt(1-GowerIndex)] between OTUs (Rf):\n", {e.Rf});
    ExpectMatrix(t, "\nFunctional redundancy in each community (FR = D-Rf):\n", {e.FR});
    ExpectMatrix(t, "considering phylogenetic dissimilarities between OTUs:\n", {e.Rp});
    ExpectMatrix(t, "\nPhylogenetic redundancy in each community (PR = D-Rp):\n", {e.PR});

    // The principal coordinates reproduce the phylogenetic distances (an ultrametric is Euclidean).
    const std::string pcoa = "\nPCoA scores based on the phylogenetic resemblance matrix with 5 OTUs by ";
    const int axes = static_cast<int>(ValueAfter(t, pcoa));
    ASSERT_GE(axes, 1);
    const std::vector<double> sc = NumbersAfter(t, pcoa + std::to_string(axes) + " ordination dimensions: \n", 5 * axes);
    for (int i = 0; i < 5; i++)
        for (int j = 0; j < 5 && sc.size() == 5u * axes; j++) {
            double d2 = 0;
            for (int a = 0; a < axes; a++) d2 += (sc[i * axes + a] - sc[j * axes + a]) * (sc[i * axes + a] - sc[j * axes + a]);
            EXPECT_NEAR(std::sqrt(d2), e.Fd[i][j], 1e-4) << i << " " << j;
        }

    // The statistics: matrix correlations of the recomputed resemblances; probabilities k / 99.
    EXPECT_NEAR(ValueAfter(t, "Convergence (TCAP): r(TE)=\t"), e.rTE, 1e-5);
    EXPECT_NEAR(ValueAfter(t, "Both TCAP and Divergence (TDAP): r(XE)=\t"), e.rXE, 1e-5);
    EXPECT_NEAR(ValueAfter(t, "TDAP: r(XE.T)=\t"), e.rXE_T, 1e-5);
    for (const char* label : {"r(TE)=\t", "r(XE)=\t", "r(XE.T)=\t", "r(RE)=\t", "r(XE.TR)=\t", "ro(BF) = \t", "ro(PE)=\t"}) {
        const size_t at = t.find(label);
        ASSERT_NE(at, std::string::npos) << label;
        const double prob = NumbersAfter(t, "P=\t", 1, at)[0];
        EXPECT_GT(prob, 0.0) << label;
        EXPECT_LE(prob, 1.0) << label;
        EXPECT_NEAR(prob * 99, std::round(prob * 99), 1e-3) << label;
    }
    EXPECT_EQ(Count(t, "\nNumber of iterations for permutation tests: 99\nRandom generator seed: 5\n"
                       "Permutations of OTUs: Unrestricted\n"), 1);
    EXPECT_EQ(t.substr(t.size() - 2), "\n\n");
}

// One setting per row: the dialog's answers after "H" and the lines that must (or must not) be in
// the report.
struct Setting {
    const char* name;
    const char* answers;
    std::vector<std::string> present, absent;
};

const Setting kFaSettings[] = {
    {"species as crisp types, Procrustes, short report, no iterations",
     "y\n0\n0\n0\n2\n3\n2\n1\ny\nn\n",
     {"\nThe types are species (# labels are used later in these results to identify the species) :\n#\tSpecies\n"
      "1\tAlon Alpha one\n2\tBetw Beta two\n3\tGath Gamma three\n4\tDefo Delta four\n5\tEpfi Epsilon five\n",
      "\nFuzzy transformation: \tnone (crisp)\nNumber of types examined: \t5\n",
      "\nThe statistics shown below are Procrustes correlations (traceW).\n",
      "\nNumber of crisp types:\t5\nTraits:\th \tw \t\nNumber of OTUs in each type:\t1\t1\t1\t1\t1\t\n",
      "\nNumber of iterations for permutation tests: 0\n"},
     {"Resemblance matrix (DE)", "Fuzzy degrees", "Community matrix W with"}},
    {"types from a file, RV, one iteration: every probability 1",
     "n\nf\nfa_types.txt\n1\n1\n0\n2\n9\n3\n1\ny\nn\n",
     {"\nThe statistics shown below are RV coefficients (Dantrel 1973).\n", "r(XE.TR)=\t", "P=\t1\n"},
     {"P=\t0.", "Resemblance matrix (DT)"}},
    {"restricted permutations read from a file, chord distance, one trait",
     "n\nk\n1 1 2 2 3\n1\n19\n1\nf\nfa_nest.txt\n2\n3\n1\n10\n2\n0 1\ny\nn\n",
     {"Permutations of OTUs: Restricted within the following groups:\nNesting groups for 5 OTUs:\t1\t1\t2\t2\t1\t\n",
      "Resemblance option between communities: 10 (chord distance)\n",
      "Traits considered in the computation of OTUs resemblance:\nw  \nFuzzy transformation: ",
      "\nNumber of fuzzy types:\t3\nTraits:\tw \t\n"},
     {"All traits were considered"}},
    {"relative Euclidean and relative absolute value options compute their plain forms",
     "n\nk\n1 1 2 2 3\n1\n1\n0\n2\n3\n1\n7\n1\nn\nn\n",
     {"Resemblance option between communities: 7 (relative Euclidean distance)\n",
      "Community data matrix W NOT adjusted to unit totals prior to evaluation of TDAP.\n"},
     {}},
};

// Each setting writes its own lines; options 7 and 9 give the statistics of 6 and 8.
TEST_F(FunctionalAnalysisE2E, EachSettingWritesItsOwnLines) {
    Prepare(box_, kData, {"fa_B.txt", "fa_W.txt", "fa_E.txt", "fa_F.txt", "fa_spp.txt", "fa_types.txt", "fa_nest.txt"},
            kFaImport);
    const auto report = [this](const std::string& answers) {
        std::filesystem::remove(box_.Path("faPrinda.txt"));
        const Result r = box_.Run("O\nfa\nV\nH\n" + answers + "\nC\nC\nX\n");
        EXPECT_EQ(r.status, 0) << answers << r.err;
        return box_.ReadFile("faPrinda.txt");
    };
    for (const Setting& s : kFaSettings) {
        const std::string t = report(s.answers);
        for (const std::string& p : s.present) EXPECT_GE(Count(t, p), 1) << s.name << ": [" << p << "]";
        for (const std::string& a : s.absent) EXPECT_EQ(Count(t, a), 0) << s.name << ": [" << a << "]";
    }
    std::vector<std::string> stats;
    for (int option : {6, 7, 8, 9}) {
        const std::string t = report("n\nk\n1 1 2 2 3\n1\n1\n0\n2\n3\n1\n" + std::to_string(option) + "\n1\ny\nn\n");
        const size_t from = t.find("\nStatistics and probabilities*:");
        ASSERT_NE(from, std::string::npos);
        stats.push_back(t.substr(from, t.find("\nNumber of iterations") - from));
    }
    EXPECT_EQ(stats[0], stats[1]);
    EXPECT_EQ(stats[2], stats[3]);
    EXPECT_NE(stats[0], stats[2]);
}

// A run that does not save the random data leaves a file saved earlier as it was; appending
// leaves the earlier report and adds a section without the title line.
TEST_F(FunctionalAnalysisE2E, AppendingKeepsTheEarlierReportAndTheRandomDataFile) {
    Prepare(box_, kData, {"fa_B.txt", "fa_W.txt", "fa_E.txt", "fa_F.txt", "fa_spp.txt"}, kFaImport);
    box_.WriteFile("faRDa.txt", "saved earlier\n");
    box_.WriteFile("faPrinda.txt", "earlier report\n");
    const Result r = box_.Run("O\nfa\nV\nH\nn\nk\n1 1 2 2 3\n1\n9\n0\n2\n3\n1\n6\n1\ny\nn\na\n\nC\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(box_.ReadFile("faRDa.txt"), "saved earlier\n");
    const std::string t = box_.ReadFile("faPrinda.txt");
    EXPECT_EQ(t.substr(0, 15 + 71), "earlier report\n" + std::string(70, '-') + "\n");
    EXPECT_EQ(Count(t, "TARNEX v."), 0);
    EXPECT_EQ(Count(t, "\nNumber of iterations for permutation tests: 9\n"), 1);
}

// A word typed before the iteration count, on the line before it or on its own line, is passed
// over and the count read whole: the report carries 999 iterations, and no answer is refused.
TEST_F(FunctionalAnalysisE2E, AWordBeforeTheIterationCountLeavesTheCountWhole) {
    Prepare(box_, kData, {"fa_B.txt", "fa_W.txt", "fa_E.txt", "fa_F.txt", "fa_spp.txt"}, kFaImport);
    for (const char* word : {"n\n", "i\n", "in\n", "inf\n", "nan\n", "n ", "-\n", ".\n"}) {
        SCOPED_TRACE(word);
        std::filesystem::remove(box_.Path("faPrinda.txt"));
        const Result r = box_.Run("O\nfa\nV\nH\nn\nk\n1 1 2 2 3\n1\n" + std::string(word) +
                                  "999\n0\n2\n3\n1\n6\n1\ny\nn\n\nC\nC\nX\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Count(r.err, "Incorrect input"), 0) << r.err;
        const std::string t = box_.ReadFile("faPrinda.txt");
        EXPECT_EQ(Count(t, "\nNumber of iterations for permutation tests: 999\nRandom generator seed: 3\n"), 1);
    }
}

// The types of the OTUs: a file whose reader refuses a value that is no group refuses "nan" as such
// (the program ends on the unreadable file, no report); typed at the keyboard, "nan" is letters,
// passed over, and the types that follow are read whole.
TEST_F(FunctionalAnalysisE2E, NanAmongTheTypesIsRefusedInAFileAndPassedOverAtTheKeyboard) {
    Prepare(box_, kData, {"fa_B.txt", "fa_W.txt", "fa_E.txt", "fa_F.txt", "fa_spp.txt"}, kFaImport);
    box_.WriteFile("nan_types.txt", "1 1 nan 2 2 3\n");
    const std::string rest = "1\n9\n0\n2\n3\n1\n6\n1\ny\nn\n\nC\nC\nX\n";
    const Result file = box_.Run("O\nfa\nV\nH\nn\nf\nnan_types.txt\n" + rest);
    EXPECT_EQ(file.status, 1);
    EXPECT_EQ(Count(file.err, "\nfile nan_types.txt \nEND OF FILE !!!\n"), 1) << file.err;
    EXPECT_FALSE(std::filesystem::exists(box_.Path("faPrinda.txt")));
    const Result typed = box_.Run("O\nfa\nV\nH\nn\nk\n1 1 nan 2 2 3\n" + rest);
    ASSERT_EQ(typed.status, 0) << typed.err;
    EXPECT_EQ(Count(box_.ReadFile("faPrinda.txt"),
                    "\nPartition vector of 5 OTUs in 3 specified types:\n1\t1\t2\t2\t3\t\n"),
              1);
}

// Fewer than 2 communities: refused with a message, no report.
TEST_F(FunctionalAnalysisE2E, OneCommunityIsRefused) {
    box_.WriteFile("one_B.txt", "1\t10\n2\t30\nh\tw\n");
    box_.WriteFile("one_W.txt", "1\t2\nc1\n");
    box_.WriteFile("one_E.txt", "1\t5\ne1\te2\n");
    const Result imp = box_.Run("N\none\n1\none_B.txt\n0\none_W.txt\n0\n1\none_E.txt\n2\n2\n2\n2\nk\n3 3\ny\n0\n1\n2\n1\n"
                                "2\n2\n2\nn\nC\nX\n");
    ASSERT_EQ(imp.status, 0) << imp.err;
    const Result r = box_.Run("O\none\nV\nH\nk\n1 2\n1\n9\n0\n2\n3\n1\n6\n1\ny\nn\n\nC\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Count(r.err, "\nThe functional analysis needs at least 2 communities.\n"), 1);
    EXPECT_EQ(Count(r.out, "Results on file"), 0);
    EXPECT_FALSE(std::filesystem::exists(box_.Path("onePrinda.txt")));
}

// aviurba (no phylogeny, binary and ordinal variables) with default answers and 999 iterations.
TEST_F(FunctionalAnalysisE2E, AviurbaWithoutPhylogeny) {
    Prepare(box_, kExamples, {"aviurba_B.txt", "aviurba_W.txt", "aviurba_E.txt", "aviurba_spp.txt"},
            tnxtest::kAviImport);
    const Result r = box_.Run("O\navi\nV\nH\ny\n1\n999\n0\n2\n1\n1\n6\n1\ny\nn\n\nC\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string t = box_.ReadFile("aviPrinda.txt");
    EXPECT_EQ(Count(t, "\nPhylogeny: Is NOT considered\n"), 2);
    EXPECT_EQ(Count(t, "PHYLOGENETIC DIVERSITY"), 0);
    EXPECT_EQ(Count(t, "ro(BF)"), 0);
    EXPECT_EQ(Count(t, "\nNumber of fuzzy types:\t40\n"), 1);
    const double rTE = ValueAfter(t, "Convergence (TCAP): r(TE)=\t");
    EXPECT_TRUE(rTE >= -1.0 && rTE <= 1.0) << rTE;
    // Three of the four traits are nominal: named on the line right after the statistics.
    const size_t beta = t.find("divergence: r(XE.TR)=\t");
    ASSERT_NE(beta, std::string::npos);
    EXPECT_EQ(t.substr(t.find('\n', beta) + 1).rfind("r(TE), r(XE.T) and r(XE.TR) rest on T, which averages the "
                                                     "category codes of the nominal traits:\tfeedhab\tfeedstrat\t"
                                                     "breeding\t\n\nNumber of iterations", 0), 0u);
    // Only the migratory trait (dichotomous) selected: no such line.
    std::filesystem::remove(box_.Path("aviPrinda.txt"));
    ASSERT_EQ(box_.Run("O\navi\nV\nH\ny\n1\n0\n0\n2\n1\n1\n6\n2\n0 0 0 1\ny\nn\n\nC\nC\nX\n").status, 0);
    const std::string one = box_.ReadFile("aviPrinda.txt");
    EXPECT_EQ(Count(one, "divergence: r(XE.TR)=\t"), 1);
    EXPECT_EQ(Count(one, "nominal traits"), 0);
}

// mafragh in the setting of its independent R computation: the statistics and the diversity
// of the first ten communities equal the values that mafragh_expected.R wrote.
TEST_F(FunctionalAnalysisE2E, MafraghEqualsTheIndependentComputation) {
    Prepare(box_, kExamples, {"mafragh_B.txt", "mafragh_F.txt", "mafragh_W.txt", "mafragh_E.txt", "mafragh_spp.txt"},
            kMafraghImport);
    const Result r = box_.Run("O\nmafragh\nV\nH\ny\n1\n999\n0\n2\n1\n1\n6\n1\ny\nn\n\nC\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string t = box_.ReadFile("mafraghPrinda.txt");
    EXPECT_EQ(Count(t, "nominal traits"), 0);  // quantitative and ordinal traits only
    const std::string x = tnxtest::Slurp(kExamples + "/mafragh_expected_H.txt");
    const struct {
        const char* expected;
        const char* report;
    } stats[] = {
        {"Convergence (TCAP): r(TE)=\t", "Convergence (TCAP): r(TE)=\t"},
        {"Both TCAP and Divergence (TDAP): r(XE)=\t", "Both TCAP and Divergence (TDAP): r(XE)=\t"},
        {"TDAP: r(XE.T)=\t", "TDAP: r(XE.T)=\t"},
        {"Alpha divergence: r(RE)=\t", "and Rao entropy): r(RE)=\t"},
        {"Beta divergence: r(XE.TR)=\t", "Beta divergence: r(XE.TR)=\t"},
    };
    for (const auto& s : stats) {
        const double want = ValueAfter(x, s.expected);
        // 5 significant digits (the expected values carry 6).
        EXPECT_NEAR(ValueAfter(t, s.report), want, 6e-5 * std::fabs(want)) << s.report;
    }
    // D and Rf of s1..s10: the lines "s<k>\tD\tRf".
    const std::vector<double> D = NumbersAfter(t, "(equivalent to Rao quadratic entropy with null, crisp, similarities):\n", 10);
    const std::vector<double> Rf = NumbersAfter(t, "[D=sqrt(1-GowerIndex)] between OTUs (Rf):\n", 10);
    for (int c = 0; c < 10 && D.size() == 10u && Rf.size() == 10u; c++) {
        const std::vector<double> row = NumbersAfter(x, "\ns" + std::to_string(c + 1) + "\t", 2);
        EXPECT_NEAR(D[c], row[0], 6e-5 * row[0]) << c;
        EXPECT_NEAR(Rf[c], row[1], 6e-5 * row[1]) << c;
    }
    EXPECT_EQ(Count(t, "\nPHYLOGENETIC DIVERSITY"), 1);
    EXPECT_EQ(Count(t, "\nThe types are species (# labels are used later in these results to identify the species) :\n"
                       "#\tSpecies\n1\tArvu Arisarum vulgare\n"), 1);
}

}  // namespace

namespace {

// The statistics lines of a report, from "Statistics" up to the number of iterations.
std::string StatisticsOf(const std::string& t) {
    const size_t from = t.find("\nStatistics and probabilities*:");
    return from == std::string::npos ? "" : t.substr(from, t.find("\nNumber of iterations") - from);
}

// The session `name` from fa_B.txt, `w` and `e` (variables of one unit, labels last), then letter H with
// keyboard types, fuzzy belonging, 19 permutations, seed 3, the `congruence` answers and all traits.
std::string ImportAndH(const std::string& name, const std::string& w, const std::string& e, char n, char v,
                       const std::string& congruence) {
    return "N\n" + name + "\n1\nfa_B.txt\n0\n" + w + "\n0\n1\n" + e + "\n5\n2\n2\n2\nk\n3 3\ny\n0\n" + n +
           "\n2\n1\n" + v + "\n2\n1\nn\nV\nH\nk\n1 1 2 2 3\n1\n19\n0\n2\n3\n" + congruence +
           "1\ny\nn\n\nC\nC\nX\n";
}

}  // namespace

// Variables of one unit whose differences exceed single precision: the distances are those of the values in
// double (worked out here), and the statistics of H and the subsets of K equal those of the same variables
// 1e37 times smaller (a correlation does not change with the scale of one matrix). Variables alike in every
// community, or three communities at equal distances (unit vectors), leave the matrix correlations
// undefined; Procrustes keeps them defined, and so do two communities for r(TE) and r(XE), which take their
// single pair's congruence (r(XE.T), r(RE) and r(XE.TR) need more: see TooFewCommunities).
TEST_F(FunctionalAnalysisE2E, LargeOrFlatEnvironmentalVariables) {
    std::filesystem::copy(kData + "/fa_B.txt", box_.Path("fa_B.txt"));
    std::filesystem::copy(kData + "/fa_W.txt", box_.Path("fa_W.txt"));
    box_.WriteFile("small.txt", "2 -1\n30 10\n-30 0\n1 -20\ne1 e2\n");
    box_.WriteFile("large.txt", "2e37 -1e37\n3e38 1e38\n-3e38 0\n1e37 -2e38\ne1 e2\n");
    box_.WriteFile("flat.txt", "5 5\n5 5\n5 5\n5 5\ne1 e2\n");
    box_.WriteFile("w3.txt", "1 2 0 0 1\n0 1 3 0 0\n2 0 1 1 0\nc1 c2 c3\n");
    box_.WriteFile("e3.txt", "1 0 0\n0 1 0\n0 0 1\ne1 e2 e3\n");
    box_.WriteFile("w2.txt", "1 2 0 0 1\n0 1 3 0 0\nc1 c2\n");
    box_.WriteFile("e2.txt", "1 0 0\n0 1 0\ne1 e2 e3\n");
    // name, W, E, communities, variables, congruence (Mantel with Euclidean distances, or Procrustes), undefined
    const std::tuple<const char*, const char*, const char*, char, char, const char*, int> runs[] = {
        {"small", "fa_W.txt", "small.txt", '4', '2', "1\n6\n", 0}, {"large", "fa_W.txt", "large.txt", '4', '2', "1\n6\n", 0},
        {"flat", "fa_W.txt", "flat.txt", '4', '2', "1\n6\n", 10}, {"equal", "w3.txt", "e3.txt", '3', '3', "1\n6\n", 10},
        {"procrustes", "w3.txt", "e3.txt", '3', '3', "2\n", 0}, {"two", "w2.txt", "e2.txt", '2', '3', "1\n6\n", 6}};
    std::map<std::string, std::string> stats, ranked;
    for (const auto& [name, w, e, n, v, congruence, undefined] : runs) {
        ASSERT_EQ(box_.Run(ImportAndH(name, w, e, n, v, congruence)).status, 0) << name;
        stats[name] = StatisticsOf(box_.ReadFile(std::string(name) + "Prinda.txt"));
        EXPECT_EQ(Count(stats[name], "undefined"), undefined) << stats[name];
        EXPECT_EQ(Count(stats[name], "nan") + Count(stats[name], "inf"), 0) << stats[name];
        if (std::string(name) == "small" || std::string(name) == "large") {
            ASSERT_EQ(box_.Run("O\n" + std::string(name) + "\nV\nK\n10\n1\n1\n1\n2\nn\n\nC\nC\nX\n").status, 0);
            const std::string t = box_.ReadFile(std::string(name) + "ChRank_TCAP.txt");
            ranked[name] = t.substr(t.find("Ranking criterion value"), t.find("\n\n\n") - t.find("Ranking criterion value"));
        }
    }
    EXPECT_EQ(stats["large"], stats["small"]);
    EXPECT_EQ(ranked["large"], ranked["small"]);
    EXPECT_EQ(Count(ranked["small"], "Ranking criterion value and optimal subset with "), 2);
    const Mat e = {{2, -1}, {30, 10}, {-30, 0}, {1, -20}};
    Mat DE(4, std::vector<double>(4));
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) DE[i][j] = 1e37 * std::hypot(e[i][0] - e[j][0], e[i][1] - e[j][1]);
    ExpectLowerHalf(box_.ReadFile("largePrinda.txt"),
                    "Resemblance matrix (DE) between community sites based on ecological variables:\n", DE);
}

// Too few communities for a statistic. A matrix correlation runs over the n(n - 1)/2 pairs of communities;
// centred, they keep one degree of freedom less, and each matrix partialled out takes one more: a simple
// correlation needs 2 pairs (two communities take their single pair's congruence), a first-order partial 3
// (3 communities), a second-order one 4 (4 communities). So under Mantel 2 communities leave r(XE.T), r(RE)
// (taken without the single-pair rule) and r(XE.TR) undefined, 3 communities r(XE.TR), 4 none; Procrustes
// compares configurations, which 2 communities define. The report prints "undefined" with no P; the
// trait-subset files write -999 (and "none" for the subset) for ro(XE.T) (criterion 9) and ro(XE.TR)
// (criterion 17), and for r(TE) and r(XE) (criteria 10 and 1) of variables alike in every community.
TEST_F(FunctionalAnalysisE2E, TooFewCommunities) {
    std::filesystem::copy(kData + "/fa_B.txt", box_.Path("fa_B.txt"));
    std::filesystem::copy(kData + "/fa_W.txt", box_.Path("fa_W.txt"));
    box_.WriteFile("w2.txt", "1 2 0 0 1\n0 1 3 0 0\nc1 c2\n");
    box_.WriteFile("e2.txt", "1 5\n2 3\ne1 e2\n");
    box_.WriteFile("w3.txt", "1 2 0 0 1\n0 1 3 0 0\n2 0 1 1 0\nc1 c2 c3\n");
    box_.WriteFile("e3.txt", "1 5\n2 3\n4 4\ne1 e2\n");
    box_.WriteFile("e4.txt", "1 5\n2 3\n4 4\n3 1\ne1 e2\n");
    box_.WriteFile("flat.txt", "5 5\n5 5\n5 5\n5 5\ne1 e2\n");
    // Letter K for criterion `c` (types typed, fuzzy, the measure's answers, all traits, W at unit totals,
    // subsets of 1 and 2 traits, no intermediate lines); criterion 10 asks neither the types, the
    // resemblance (Euclidean) nor the totals.
    auto K = [](int c, const std::string& measure) {
        if (c == 10) return "K\n10\n" + measure.substr(0, 2) + "1\n1\n2\nn\n\n";
        return "K\n" + std::to_string(c) + "\nk\n1 1 2 2 3\n1\n" + measure + "1\ny\n1\n2\nn\n\n";
    };
    const std::string mantel = "1\n6\n", procrustes = "2\n";
    const struct {
        const char *name, *w, *e;
        char n;
        std::string congruence;
        std::vector<std::string> undefined;  // of r(TE), r(XE), r(XE.T), r(RE), r(XE.TR)
        std::vector<int> criteria;           // the trait-subset searches run
        std::vector<std::string> missing;    // the result files whose values are -999
    } runs[] = {
        {"two", "w2.txt", "e2.txt", '2', mantel, {"r(XE.T)", "r(RE)", "r(XE.TR)"}, {9, 17}, {"TDAP", "BetaDivergence"}},
        {"three", "w3.txt", "e3.txt", '3', mantel, {"r(XE.TR)"}, {9, 17}, {"BetaDivergence"}},
        {"four", "fa_W.txt", "e4.txt", '4', mantel, {}, {9, 17}, {}},
        {"twoP", "w2.txt", "e2.txt", '2', procrustes, {}, {9, 17}, {}},
        {"flat", "fa_W.txt", "flat.txt", '4', mantel, {"r(TE)", "r(XE)", "r(XE.T)", "r(RE)", "r(XE.TR)"}, {1, 10},
         {"TDAP_TCAP", "TCAP"}},
    };
    const char* files[] = {"", "TDAP_TCAP", "", "", "", "", "", "", "", "TDAP", "TCAP", "", "", "", "", "", "", "BetaDivergence"};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.name);
        ASSERT_EQ(box_.Run(ImportAndH(run.name, run.w, run.e, run.n, '2', run.congruence)).status, 0);
        const std::string stats = StatisticsOf(box_.ReadFile(std::string(run.name) + "Prinda.txt"));
        for (const char* s : {"r(TE)", "r(XE)", "r(XE.T)", "r(RE)", "r(XE.TR)"}) {
            const bool undefined = std::find(run.undefined.begin(), run.undefined.end(), s) != run.undefined.end();
            EXPECT_EQ(Count(stats, std::string(" ") + s + "=\tundefined\tP=\tundefined\n"), undefined ? 1 : 0) << s;
            if (undefined) continue;
            const std::vector<double> v = NumbersAfter(stats, std::string(" ") + s + "=\t", 1);
            for (double x : v) EXPECT_TRUE(std::isfinite(x) && std::fabs(x) <= 1.0) << s;
        }
        EXPECT_EQ(Count(stats, "undefined"), 2 * static_cast<int>(run.undefined.size())) << stats;
        EXPECT_EQ(Count(stats, "nan"), 0) << stats;

        std::string script = "O\n" + std::string(run.name) + "\nV\n";
        for (int c : run.criteria) script += K(c, run.congruence);
        ASSERT_EQ(box_.Run(script + "C\nC\nX\n").status, 0);
        for (int c : run.criteria) {
            const std::string file = files[c];
            const std::string text = box_.ReadFile(std::string(run.name) + "ChRank_" + file + ".txt");
            const bool missing = std::find(run.missing.begin(), run.missing.end(), file) != run.missing.end();
            // Each size's line and its line in the list at the end: -999 and no subset.
            const std::string prefix = c == 17 ? "Ranking criterion value, groups and optimal subset with "
                                               : "Ranking criterion value and optimal subset with ";
            for (int k = 1; k <= 2; k++) {
                const std::string line = prefix + std::to_string(k) + " traits: \t";
                const std::vector<double> v = NumbersAfter(text, line, 1);
                if (v.empty()) continue;
                if (missing) {
                    EXPECT_EQ(v[0], -999.0) << file << " " << k;
                    EXPECT_EQ(Count(text, line + "-999        \t" + (c == 17 ? "3 groups\t" : "") + "none\n"), 1) << file;
                } else {
                    EXPECT_TRUE(v[0] != -999.0 && std::fabs(v[0]) <= 1.0) << file << " " << k;
                }
            }
            EXPECT_EQ(Count(text, "-999         \tnone\n"), missing ? 2 : 0) << file;
            EXPECT_EQ(Count(text, "nan"), 0) << file;
        }
    }
}

namespace {

// The aviurba survey imported twice: as given ("avi"), and with its communities in the reverse
// order ("rev": the rows of W and E, and the labels of W, reversed into files of the sandbox).
// traits, when given, takes the place of the trait file and types of the answer that types its
// four traits ("2 2 2 1").
void ImportAviurbaBothWays(const Sandbox& box, const std::string& traits = "", const std::string& types = "") {
    std::string given = tnxtest::kAviImport;
    if (!types.empty()) given.replace(given.find("k\n2 2 2 1\n"), 10, "k\n" + types + "\n");
    for (const char* f : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_E.txt", "aviurba_spp.txt"})
        std::filesystem::copy(kExamples + "/" + f, box.Path(f));
    if (!traits.empty()) box.WriteFile("aviurba_B.txt", traits);
    ASSERT_EQ(box.Run(given).status, 0);
    const auto reversed = [&](const std::string& name, bool labels) {
        std::vector<std::string> lines;
        std::istringstream in(box.ReadFile(name));
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) lines.push_back(line);
        std::string last = lines.back();
        lines.pop_back();
        if (labels) {
            std::vector<std::string> words;
            std::istringstream w(last);
            for (std::string word; w >> word;) words.push_back(word);
            last.clear();
            for (auto it = words.rbegin(); it != words.rend(); ++it) last += *it + "\t";
        }
        std::string text;
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) text += *it + "\n";
        return text + last + "\n";
    };
    box.WriteFile("rev_W.txt", reversed("aviurba_W.txt", true));
    box.WriteFile("rev_E.txt", reversed("aviurba_E.txt", false));
    const std::string w = box.ReadFile("rev_W.txt");
    ASSERT_EQ(w.substr(w.rfind('\n', w.size() - 2) + 1, 8), "s51\ts50\t");
    std::string import = given;
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"N\navi\n", "N\nrev\n"},
                                   {"aviurba_W.txt", "rev_W.txt"}, {"aviurba_E.txt", "rev_E.txt"}})
        import.replace(import.find(from), from.size(), to);
    const Result r = box.Run(import);
    ASSERT_EQ(r.status, 0) << r.err;
}

// The types of the aviurba OTUs by migratory status (the fourth trait): 1 resident, 2 migrant.
std::string MigratoryTypes() {
    const Mat B = Rows(kExamples + "/aviurba_B.txt", 40, 4);
    std::string types;
    for (const auto& row : B) types += std::to_string(static_cast<int>(row[3]) + 1) + " ";
    return types;
}

// The aviurba trait file with the feeding strategy (the second trait) made 2 for every bird.
std::string ConstantFeedingStrategy() {
    std::string traits;
    std::istringstream in(tnxtest::Slurp(kExamples + "/aviurba_B.txt"));
    std::string line;
    for (int row = 0; row < 40 && std::getline(in, line); row++) {
        std::istringstream cells(line);
        int a, b, c, d;
        cells >> a >> b >> c >> d;
        traits += std::to_string(a) + "\t2\t" + std::to_string(c) + "\t" + std::to_string(d) + "\n";
    }
    std::getline(in, line);
    return traits + line + "\n";
}

}  // namespace

// Crisp types by migratory status: X = (1 - m, m), m the share of migrants, is an affine function
// of T's migratory column, so X given T (r(XE.T)) and given T and R (r(XE.TR)) keeps nothing but
// rounding: under Procrustes and RV both are undefined, with no P, whatever the order of the
// communities; r(TE), r(XE) and r(RE) and their P are the same in both orders.
TEST_F(FunctionalAnalysisE2E, AviurbaMigratoryTypesLeaveThePartialsUndefinedInEitherOrder) {
    ImportAviurbaBothWays(box_);
    const std::string types = MigratoryTypes();
    ASSERT_EQ(Count(types, "1 ") + Count(types, "2 "), 40);
    for (const char* measure : {"2", "3"}) {
        std::string stats[2];
        for (int order = 0; order < 2; order++) {
            const std::string name = order == 0 ? "avi" : "rev";
            SCOPED_TRACE(name + " measure " + measure);
            std::filesystem::remove(box_.Path(name + "Prinda.txt"));
            const Result r = box_.Run("O\n" + name + "\nV\nH\nn\nk\n" + types + "\n0\n999\n0\n2\n1\n" + measure +
                                      "\n1\ny\nn\n\nC\nC\nX\n");
            ASSERT_EQ(r.status, 0) << r.err;
            stats[order] = StatisticsOf(box_.ReadFile(name + "Prinda.txt"));
            EXPECT_EQ(Count(stats[order], "TDAP: r(XE.T)=\tundefined\tP=\tundefined\n"), 1) << stats[order];
            EXPECT_EQ(Count(stats[order], "Beta divergence: r(XE.TR)=\tundefined\tP=\tundefined\n"), 1);
            EXPECT_EQ(Count(stats[order], "undefined"), 4);
            for (const char* label : {"r(TE)=\t", "r(XE)=\t", "r(RE)=\t"}) {
                const double v = ValueAfter(stats[order], label);
                EXPECT_TRUE(v > 0.0 && v <= 1.0) << label << v;
            }
        }
        EXPECT_EQ(stats[0], stats[1]);
    }
}

// The trait-subset search for r(XE.TR) (criterion 17) under Procrustes on the migratory types: the
// 8 subsets of 15 that hold the migratory trait leave X given T and R nothing but rounding; each
// prints -999 and ranks nowhere (the best of 4 traits, the only subset of that size, is none).
// The whole ranking is the same with the communities in the reverse order.
TEST_F(FunctionalAnalysisE2E, AviurbaMigratorySubsetsRankNowhereInEitherOrder) {
    ImportAviurbaBothWays(box_);
    const std::string types = MigratoryTypes();
    std::string body[2];
    for (int order = 0; order < 2; order++) {
        const std::string name = order == 0 ? "avi" : "rev";
        SCOPED_TRACE(name);
        const Result r = box_.Run("O\n" + name + "\nV\nK\n17\nn\nk\n" + types + "\n0\n2\n1\ny\n1\n4\ny\n\nC\nC\nX\n");
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string t = box_.ReadFile(name + "ChRank_BetaDivergence.txt");
        body[order] = t.substr(t.find("Trait ranking criterion"), t.find("Elapsed time") - t.find("Trait ranking criterion"));
        int missing = 0, values = 0;
        std::istringstream lines(body[order]);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("r(XE.TR)=\t", 0) != 0) continue;
            const bool migratory = line.find("migratory") != std::string::npos;
            const bool undefined = line.rfind("r(XE.TR)=\t-999\tTraits:\t", 0) == 0;
            EXPECT_EQ(undefined, migratory) << line;
            (undefined ? missing : values)++;
        }
        EXPECT_EQ(missing, 8);
        EXPECT_EQ(values, 7);
        EXPECT_EQ(Count(body[order], "optimal subset with 4 traits: \t-999        \t2 groups\tnone\n"), 1);
        const size_t top = body[order].find("\n\nTrait subsets with maximum");
        ASSERT_NE(top, std::string::npos);
        EXPECT_EQ(Count(body[order].substr(top), "migratory"), 0);
        EXPECT_EQ(Count(body[order].substr(top), "-999         \tnone\n"), 1);
    }
    EXPECT_EQ(body[0], body[1]);
}

// The aviurba survey with its feeding strategy made the same for every bird (2) and its traits taken
// as quantitative, the migratory status binary: under the matrix correlation, the feeding strategy
// alone leaves T constant, so that DT (r(TE), criterion 10) is flat, and, each OTU its own fuzzy
// type, every OTU alike to every other: X is the same in every community (W at unit totals) and DX is
// flat (r(XE), criterion 1; ro(XE.T), 9; r(XE.TR), 17). That subset prints -999, on its line only, and
// ranks nowhere; the whole ranking is the same with the communities in the reverse order.
TEST_F(FunctionalAnalysisE2E, AviurbaConstantTraitRanksNowhereUnderMantelInEitherOrder) {
    ImportAviurbaBothWays(box_, ConstantFeedingStrategy(), "3 3 3 1");
    const std::pair<int, std::string> criteria[] = {
        {10, "TCAP"}, {1, "TDAP_TCAP"}, {9, "TDAP"}, {17, "BetaDivergence"}};
    for (const auto& [criterion, file] : criteria) {
        std::string body[2];
        for (int order = 0; order < 2; order++) {
            const std::string name = order == 0 ? "avi" : "rev";
            SCOPED_TRACE(name + " criterion " + std::to_string(criterion));
            // Criterion 10: Mantel, all traits, sizes 1 and 2, the intermediate lines; the others: each
            // OTU its own fuzzy type, Mantel with Euclidean distances, all traits, W at unit totals.
            const std::string k = criterion == 10
                                      ? "K\n10\n1\n1\n1\n2\ny\n\n"
                                      : "K\n" + std::to_string(criterion) + "\ny\n1\n1\n6\n1\ny\n1\n2\ny\n\n";
            const Result r = box_.Run("O\n" + name + "\nV\n" + k + "C\nC\nX\n");
            ASSERT_EQ(r.status, 0) << r.err;
            const std::string t = box_.ReadFile(name + "ChRank_" + file + ".txt");
            ASSERT_NE(t.find("Correlation measure: matrix correlation (Mantel)\n"), std::string::npos);
            const size_t from = t.find("Trait ranking criterion");
            body[order] = t.substr(from, t.find("Elapsed time") - from);
            // The lines that name the feeding strategy alone: its intermediate line, with -999 as the
            // criterion's value, and no other; no other line holds -999.
            std::vector<std::string> alone;
            std::istringstream lines(body[order]);
            for (std::string line; std::getline(lines, line);) {
                // A subset that ends with the feeding strategy is it alone or with the feeding habitat.
                const size_t at = line.find("feedstrat");
                if (at != std::string::npos && line.find('\t', at) == line.size() - 1 &&
                    line.find("feedhab") == std::string::npos)
                    alone.push_back(line);
            }
            ASSERT_EQ(alone.size(), 1u) << body[order];
            const std::string value =
                criterion == 10  ? "-999\tfeedstrat\t"
                : criterion == 1 ? "-999        \tfeedstrat\t"
                : criterion == 9 ? "ro(TE)=\t-999\tro(XE)=\t-999\tro(XT)=\t-999\tro(XE.T)=\t-999\t"
                                 : "r(XE.TR)=\t-999\tTraits:\tfeedstrat\t";
            EXPECT_EQ(alone[0].rfind(value, 0), 0u) << alone[0];
            // The binary migratory trait makes T and X affine in the share of migrants, so that
            // ro(XT) = 1: a partial given T is undefined for {migratory} and {feedstrat, migratory}
            // (criteria 9 and 17), one -999 each.
            EXPECT_EQ(Count(body[order], "-999"), criterion == 9 ? 6 : criterion == 17 ? 3 : 1) << body[order];
            EXPECT_EQ(Count(body[order], "nan"), 0);
            EXPECT_EQ(Count(body[order], "optimal subset with "), 2);
        }
        // Up to the top list, line for line; the top list holds the same lines, but values that print
        // alike ({migratory} and {feedstrat, migratory} under criterion 1) may trade places with the
        // rounding of the other order.
        const std::string top = "\n\nTrait subsets with maximum";
        EXPECT_EQ(body[0].substr(0, body[0].find(top)), body[1].substr(0, body[1].find(top)));
        std::vector<std::string> sorted[2];
        for (int order = 0; order < 2; order++) {
            std::istringstream lines(body[order]);
            for (std::string line; std::getline(lines, line);) sorted[order].push_back(line);
            std::sort(sorted[order].begin(), sorted[order].end());
        }
        EXPECT_EQ(sorted[0], sorted[1]);
    }
}

// The feeding strategy made the same for every bird and selected alone, each OTU its own crisp type
// (with fuzzy types every OTU would belong alike to every type, and X would be flat too): T is
// constant, and so is the Gower similarity of the OTUs over that trait (all 1), so that every Rao
// entropy is 0. r(TE) and r(RE) compare tables without variation under every measure (the
// centring of T leaves it one ulp off under Procrustes and RV): each prints "undefined" with no P.
// X varies: r(XE) is a number, and so are r(XE.T) and r(XE.TR), whose covariates have nothing to
// take out (they equal r(XE)). The same with the communities in the reverse order.
TEST_F(FunctionalAnalysisE2E, AviurbaConstantTraitAloneLeavesItsStatisticsUndefinedUnderEveryMeasure) {
    ImportAviurbaBothWays(box_, ConstantFeedingStrategy(), "3 3 3 1");
    for (const char* measure : {"1\n6\n", "2\n", "3\n"}) {
        std::string stats[2];
        for (int order = 0; order < 2; order++) {
            const std::string name = order == 0 ? "avi" : "rev";
            SCOPED_TRACE(name + " measure " + measure);
            std::filesystem::remove(box_.Path(name + "Prinda.txt"));
            const Result r = box_.Run("O\n" + name + "\nV\nH\ny\n0\n99\n0\n2\n1\n" + measure +
                                      "2\n0 1 0 0\ny\nn\n\nC\nC\nX\n");
            ASSERT_EQ(r.status, 0) << r.err;
            stats[order] = StatisticsOf(box_.ReadFile(name + "Prinda.txt"));
            EXPECT_EQ(Count(stats[order], "Convergence (TCAP): r(TE)=\tundefined\tP=\tundefined\n"), 1)
                << stats[order];
            EXPECT_EQ(Count(stats[order], " r(RE)=\tundefined\tP=\tundefined\n"), 1) << stats[order];
            EXPECT_EQ(Count(stats[order], "undefined"), 4) << stats[order];
            const double xe = ValueAfter(stats[order], " r(XE)=\t");
            EXPECT_TRUE(xe > -1.0 && xe < 1.0 && xe != 0.0) << xe;
            EXPECT_NEAR(ValueAfter(stats[order], "r(XE.T)=\t"), xe, 1e-5 * std::fabs(xe));
        }
        EXPECT_EQ(stats[0], stats[1]);
    }
}

// A phylogeny whose taxa are the OTUs' own types (psap_*: 4 OTUs, 12 communities): P = W Q and X =
// W U, so P = X U^-1 Q and X = P Q^-1 U span the same columns, and T = X U^-1 B lies among them.
// Under Procrustes and RV, with crisp or fuzzy types, P given X (ro(PE.X)), X given P (ro(XE.P)),
// X given T and P (ro(XE.TP)) and T given P (ro(TE.P)) keep nothing but rounding: undefined, and
// nothing else. The matrix correlation's partials, from three correlations, stay defined.
TEST_F(FunctionalAnalysisE2E, PhylogenyOfTheTypesLeavesItsPartialsUndefined) {
    Prepare(box_, kData, {"psap_B.txt", "psap_W.txt", "psap_E.txt", "psap_F.txt"},
            "N\nph\n1\npsap_B.txt\n1\npsap_F.txt\npsap_W.txt\n0\n1\npsap_E.txt\n4\n2\n2\n2\nk\n3 3\ny\n0\n1\n12\n2\n1\n2\n2\n2\n"
            "2\nn\nC\nX\n");
    for (const char* fuzzy : {"0", "1"})
        for (const char* measure : {"2\n", "3\n", "1\n6\n"}) {
            SCOPED_TRACE(std::string("fuzzy ") + fuzzy + " measure " + measure);
            std::filesystem::remove(box_.Path("phPrinda.txt"));
            const Result r = box_.Run(std::string("O\nph\nV\nH\nn\nk\n1 2 3 4\n") + fuzzy + "\n99\n0\n2\n3\n" + measure +
                                      "1\ny\nn\n\nC\nC\nX\n");
            ASSERT_EQ(r.status, 0) << r.err;
            const std::string t = box_.ReadFile("phPrinda.txt");
            const bool mantel = measure[0] == '1';
            for (const char* s : {" ro(PE.X)=\t", " ro(XE.P)=\t", " ro(XE.TP)=\t", " ro(TE.P)=\t"}) {
                EXPECT_EQ(Count(t, std::string(s) + "undefined\tP=\tundefined\n"), mantel ? 0 : 1) << s;
                EXPECT_EQ(Count(t, s), 1) << s;
            }
            EXPECT_EQ(Count(t, "undefined"), mantel ? 0 : 8);
            for (const char* s : {" ro(PE)=\t", " ro(PT)=\t", " ro(PX)=\t", " ro(PX.T)=\t", " ro(PE.T)=\t", " ro(BF) = \t"}) {
                const double v = ValueAfter(t, s);
                EXPECT_TRUE(std::isfinite(v) && std::fabs(v) <= 1.0) << s << v;
            }
        }
}

namespace {

// The mafragh import with other trait and environment files: `traits` traits of types `types`,
// `variables` variables of type option `option`.
std::string MafraghImport(const std::string& name, const std::string& b, int traits, const std::string& types,
                          const std::string& e, int variables, int option) {
    return "N\n" + name + "\n1\n" + b + "\n1\nmafragh_F.txt\nmafragh_W.txt\n1\nmafragh_spp.txt\n1\n" + e + "\n56\n" +
           std::to_string(traits) + "\n2\n2\nk\n" + types + "\ny\n0\n1\n97\n2\n1\n2\n" + std::to_string(variables) +
           "\n2\n" + std::to_string(option) + "\nn\nC\nX\n";
}

// The part of a search's result file from the criterion's line to the elapsed time.
std::string SearchBody(const std::string& t) {
    const size_t from = t.find("Trait ranking criterion");
    return from == std::string::npos ? "" : t.substr(from, t.find("Elapsed time") - from);
}

}  // namespace

// Quadrat coordinates in metres as variables of one unit (type option 1): the 97 relevés of the
// mafragh survey on a 1 m grid of ten columns, at the origin and at easting and northing 10^7
// (values exact in single precision). Where the grid lies changes nothing: H's statistics under
// Procrustes, RV and Mantel, and K's files for r(XE), r(TE), r(XE.T) and r(XE.TR) under Procrustes
// and RV, are the same text, and none is undefined. A seventh trait 0.25 k (k = OTU mod 9) at 0
// and at 3 10^6 (exact in single precision): selected alone, H's statistics and r(XE.T)'s line of
// {t7} in K (its means in double) are the same text at both places; with every trait it is never
// without variation, nor dropped as a covariate (r(XE.T) under Procrustes keeps the value its
// centred components give at 0), and r(TE), whose columns of T are scaled to unit length about 0,
// is a value of its own.
TEST_F(FunctionalAnalysisE2E, AnOffsetOfTheEnvironmentOrOfATraitLeavesEveryStatisticDefined) {
    for (const char* f : {"mafragh_B.txt", "mafragh_F.txt", "mafragh_W.txt", "mafragh_spp.txt", "mafragh_E.txt"})
        std::filesystem::copy(kExamples + "/" + f, box_.Path(f));
    for (const auto& [file, offset] : {std::pair<const char*, long>{"g0.txt", 0L}, {"g7.txt", 10000000L}}) {
        std::string grid;
        for (int c = 0; c < 97; c++)
            grid += std::to_string(offset + c % 10) + "\t" + std::to_string(offset + c / 10) + "\n";
        box_.WriteFile(file, grid + "east\tnorth\n");
    }
    std::istringstream traits(box_.ReadFile("mafragh_B.txt"));
    std::string line, t0, t6;
    for (int o = 0; o < 56 && std::getline(traits, line); o++) {
        const double v = 0.25 * (o % 9);
        std::ostringstream a, b;
        a.precision(12), b.precision(12);
        a << line << "\t" << v << "\n";
        b << line << "\t" << 3e6 + v << "\n";
        t0 += a.str();
        t6 += b.str();
    }
    std::getline(traits, line);
    box_.WriteFile("t0.txt", t0 + line + "\tt7\n");
    box_.WriteFile("t6.txt", t6 + line + "\tt7\n");
    const std::string six = "3 3 3 4 4 4", seven = "3 3 3 4 4 4 3";
    for (const auto& [name, b, n, types, e, v, option] :
         {std::tuple<const char*, const char*, int, std::string, const char*, int, int>{"o", "mafragh_B.txt", 6, six, "g0.txt", 2, 1},
          {"u", "mafragh_B.txt", 6, six, "g7.txt", 2, 1},
          {"t", "t0.txt", 7, seven, "mafragh_E.txt", 11, 2},
          {"v", "t6.txt", 7, seven, "mafragh_E.txt", 11, 2}})
        ASSERT_EQ(box_.Run(MafraghImport(name, b, n, types, e, v, option)).status, 0) << name;

    const auto h = [&](const std::string& name, const std::string& measure, const std::string& traitAnswers) {
        std::filesystem::remove(box_.Path(name + "Prinda.txt"));
        const Result r = box_.Run("O\n" + name + "\nV\nH\ny\n1\n19\n0\n2\n1\n" + measure + traitAnswers +
                                  "y\nn\n\nC\nC\nX\n");
        EXPECT_EQ(r.status, 0) << r.err;
        return StatisticsOf(box_.ReadFile(name + "Prinda.txt"));
    };
    const std::pair<int, std::string> criteria[] = {{1, "TDAP_TCAP"}, {9, "TDAP"}, {10, "TCAP"}, {17, "BetaDivergence"}};
    const auto k = [&](const std::string& name, int criterion, const std::string& file, const std::string& measure) {
        const std::string answers = criterion == 10 ? "K\n10\n" + measure + "1\n1\n2\ny\n\n"
                                                    : "K\n" + std::to_string(criterion) + "\ny\n1\n" + measure +
                                                          "1\ny\n1\n2\ny\n\n";
        const Result r = box_.Run("O\n" + name + "\nV\n" + answers + "C\nC\nX\n");
        EXPECT_EQ(r.status, 0) << r.err;
        return SearchBody(box_.ReadFile(name + "ChRank_" + file + ".txt"));
    };
    for (const std::string measure : {"2\n", "3\n", "1\n6\n"}) {
        SCOPED_TRACE("measure " + measure);
        const std::string atOrigin = h("o", measure, "1\n"), far = h("u", measure, "1\n");
        EXPECT_EQ(Count(atOrigin, "undefined"), 0) << atOrigin;
        EXPECT_EQ(far, atOrigin);
        const std::string alone0 = h("t", measure, "2\n0 0 0 0 0 0 1\n"), alone6 = h("v", measure, "2\n0 0 0 0 0 0 1\n");
        EXPECT_EQ(Count(alone0, "undefined"), 0) << alone0;
        EXPECT_EQ(alone6, alone0);
        const std::string all0 = h("t", measure, "1\n"), all6 = h("v", measure, "1\n");
        EXPECT_EQ(Count(all6, "undefined"), 0) << all6;
        if (measure != "1\n6\n") {
            EXPECT_EQ(ValueAfter(all6, "TDAP: r(XE.T)=\t"), ValueAfter(all0, "TDAP: r(XE.T)=\t"));
            EXPECT_NE(ValueAfter(all6, "r(TE)=\t"), ValueAfter(all0, "r(TE)=\t"));
        }
        if (measure == "1\n6\n") continue;
        for (const auto& [criterion, file] : criteria) {
            SCOPED_TRACE(criterion);
            const std::string origin = k("o", criterion, file, measure);
            ASSERT_FALSE(origin.empty());
            EXPECT_EQ(Count(origin, "-999"), 0) << origin;
            EXPECT_EQ(k("u", criterion, file, measure), origin);
            const std::string body6 = k("v", criterion, file, measure);
            EXPECT_EQ(Count(body6, "-999"), 0) << body6;
            if (criterion != 9) continue;
            const auto lineOfT7 = [](const std::string& body) {
                std::istringstream lines(body);
                for (std::string l; std::getline(lines, l);)
                    if (l.size() > 11 && l.compare(l.size() - 11, 11, "Traits:\tt7\t") == 0) return l;
                return std::string();
            };
            EXPECT_FALSE(lineOfT7(body6).empty()) << body6;
            EXPECT_EQ(lineOfT7(body6), lineOfT7(k("t", criterion, file, measure)));
        }
    }
}
