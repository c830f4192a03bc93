// The simulator's per-step files (intermediate results of a single run) when the traits are
// generated from a trait correlation matrix (input c) or from it and an OTU correlation matrix
// (input b), end to end in the built program: each file's layout, the matrices as read, and the
// values one file gives from the others (weighted means of the abundances, distances to the
// expected means, the feedback of the means on the environment).
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "session/session_fixture.h"

namespace {

using tnxtest::Sandbox;
using Rows = std::vector<std::vector<double>>;

// A run's answers and what it reads.
struct StepRun {
    const char* what;
    std::string script;
    std::vector<const char*> inputs;
    char traitInput;
    int n, s, p, f, G;
    const char* traitCorr;
    const char* otuCorr;   // input b only
    const char* response;  // A: p rows of predictors (factors, then their interactions)
    const char* effect;    // K: f rows of p traits
};

// Input c: 4 sites, 5 OTUs, 2 traits correlated 0.3 and normal, one factor generated from its
// correlation, trait 1 responding to it (A = 1; 0), the factor moved by 0.1 of the first trait's
// mean (K = 0.1 0); at most 5 individuals a site, 30 steps, seed 7, every per-step file.
const StepRun kInputC = {
    "input c",
    "A\n4\n5\n2\nc\nsim_traitcorr.txt\nn\nr\n-5\n-6\n0.4\n0.6\n0.1\nr\n1\nc\nsim_factorcorr1.txt\nn\nn\nsim_A.txt\n"
    "sim_K.txt\nr\n-3\n-4\n0.4\n0.6\nr\n-5\n-5\n0.5\n0.5\n5\n30\n0.5\nn\n2\n7\ny\nX\n",
    {"sim_traitcorr.txt", "sim_factorcorr1.txt", "sim_A.txt", "sim_K.txt"},
    'c', 4, 5, 2, 1, 30, "sim_traitcorr.txt", nullptr, "sim_A.txt", "sim_K.txt"};
// Input b: 6 sites, the same 5 OTUs correlated in a band and 2 traits, uniform; two factors
// correlated -0.4 with their interaction, both traits responding (A2), each factor moved by one
// trait (K2); at most 8 individuals a site, 40 steps, seed 99.
const StepRun kInputB = {
    "input b",
    "A\n6\n5\n2\nb\nsim_traitcorr.txt\nsim_otucorr.txt\nu\nr\n-2\n-8\n0.2\n0.8\n0.3\nr\n2\nc\nsim_factorcorr.txt\n"
    "n\ny\nsim_A2.txt\nsim_K2.txt\nr\n-1\n-5\n0.3\n0.7\nr\n-3\n-6\n0.4\n0.6\n8\n40\n0.3\nn\n2\n99\ny\nX\n",
    {"sim_traitcorr.txt", "sim_otucorr.txt", "sim_factorcorr.txt", "sim_A2.txt", "sim_K2.txt"},
    'b', 6, 5, 2, 2, 40, "sim_traitcorr.txt", "sim_otucorr.txt", "sim_A2.txt", "sim_K2.txt"};

std::string Data(const char* name) { return tnxtest::Slurp(std::string(TARNEX_TESTDATA) + "/" + name); }

std::vector<double> Numbers(const std::string& text) {
    std::istringstream in(text);
    std::vector<double> v;
    for (double x; in >> x;) v.push_back(x);
    return v;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The rows of numbers that follow the line `caption` in `text`, up to a line that holds none; empty
// when the caption is not there.
Rows After(const std::string& text, const std::string& caption) {
    Rows rows;
    const size_t at = text.find("\n" + caption + "\n");
    if (at == std::string::npos) return rows;
    std::istringstream in(text.substr(at + caption.size() + 2));
    for (std::string line; std::getline(in, line);) {
        const std::vector<double> row = Numbers(line);
        if (row.empty()) break;
        rows.push_back(row);
    }
    return rows;
}

Rows Square(const std::string& text, int size) {
    const std::vector<double> v = Numbers(text);
    Rows rows(size);
    for (int i = 0; i < size; i++) rows[i].assign(v.begin() + i * size, v.begin() + (i + 1) * size);
    return rows;
}

// A file of lines "step <tab> site <tab> values": its caption, then one line per step and site in
// that order; the values by [step - 1][site - 1].
std::vector<Rows> SiteLines(const std::string& text, const std::string& caption, const StepRun& run, int width) {
    const std::vector<std::string> lines = Lines(text);
    EXPECT_EQ(lines.size(), static_cast<size_t>(1 + run.G * run.n)) << caption;
    EXPECT_EQ(lines.empty() ? "" : lines[0], caption);
    std::vector<Rows> at(run.G, Rows(run.n));
    for (size_t l = 1; l < lines.size() && l <= static_cast<size_t>(run.G * run.n); l++) {
        const std::vector<double> v = Numbers(lines[l]);
        const int g = static_cast<int>((l - 1) / run.n) + 1, k = static_cast<int>((l - 1) % run.n) + 1;
        EXPECT_EQ(v.size(), static_cast<size_t>(2 + width)) << caption << " line " << l;
        if (v.size() != static_cast<size_t>(2 + width)) continue;
        EXPECT_EQ((std::vector<double>{v[0], v[1]}), (std::vector<double>{double(g), double(k)}));
        at[g - 1][k - 1].assign(v.begin() + 2, v.end());
    }
    return at;
}

// The blocks of a per-step file: after each caption that `pattern` matches, its first `rows` lines
// of numbers (lines of words passed over, the next caption ending it), with the step the caption
// captures first and the word it captures second.
struct Block {
    int step;
    std::string when;
    Rows rows;
};
std::vector<Block> Blocks(const std::string& text, const std::string& pattern, size_t rows) {
    std::vector<Block> blocks;
    const std::regex caption(pattern);
    const std::vector<std::string> lines = Lines(text);
    for (size_t l = 0; l < lines.size(); l++) {
        std::smatch m;
        if (!std::regex_match(lines[l], m, caption)) continue;
        Block b{std::stoi(m[1]), m.size() > 2 ? m[2].str() : "", {}};
        for (size_t r = l + 1; r < lines.size() && b.rows.size() < rows && !std::regex_match(lines[r], caption); r++) {
            const std::vector<double> v = Numbers(lines[r]);
            if (!v.empty()) b.rows.push_back(v);
        }
        blocks.push_back(b);
    }
    return blocks;
}

void ExpectNear(double value, double expected, double tolerance, const std::string& where) {
    EXPECT_NEAR(value, expected, tolerance) << where;
}

// The most a value printed with 6 significant digits lies from the value itself.
double PrintedError(double x) { return x == 0 ? 0 : 0.5 * std::pow(10.0, std::floor(std::log10(std::fabs(x))) - 5); }

// A column of z-scores (divisor the count): it sums to 0 and its squares to the count, within what
// printing the values to 6 digits moves.
void ExpectZScores(const std::vector<double>& z, const std::string& what) {
    double sum = 0, squares = 0, sumError = 1e-12, squaresError = 1e-12;
    for (double x : z) {
        sum += x;
        squares += x * x;
        sumError += PrintedError(x);
        squaresError += 2 * std::fabs(x) * PrintedError(x);
    }
    ExpectNear(sum, 0.0, sumError, what + " sum");
    ExpectNear(squares, static_cast<double>(z.size()), squaresError, what + " squares");
}

}  // namespace

TEST(SimulatorStepFiles, GeneratedTraitsWriteEveryStepFileWithTheMatricesAndConsistentValues) {
    for (const StepRun& run : {kInputC, kInputB}) {
        SCOPED_TRACE(run.what);
        Sandbox box;
        for (const char* name : run.inputs) box.WriteFile(name, Data(name));
        const tnxtest::Result r = box.Run(run.script);
        ASSERT_EQ(r.status, 0) << r.err;
        for (const char* name : {"TraitData.txt", "EnvData.txt", "CWM_Expected.txt", "Distances.txt", "Prob.txt",
                                 "CommunityData.txt", "CWM.txt", "B_Simulated.txt"})
            ASSERT_TRUE(std::filesystem::exists(box.Path(name))) << name;
        const int n = run.n, s = run.s, p = run.p, f = run.f, G = run.G;

        // The trait data file: the correlation matrices as read, then the z-scores of the traits
        // generated (divisor s: each column sums to 0 and its squares to s), their means and
        // standard deviations.
        const std::string traits = box.ReadFile("TraitData.txt");
        const std::string corrCaption = "Trait correlation matrix (" + std::to_string(p) + " traits):";
        EXPECT_EQ(traits.rfind("\n" + corrCaption + "\n", 0), 0u);
        EXPECT_EQ(After(traits, corrCaption), Square(Data(run.traitCorr), p));
        const std::string otuCaption = "Correlation matrix between OTUs (" + std::to_string(s) + " nOTUs):";
        if (run.otuCorr) {
            EXPECT_EQ(After(traits, otuCaption), Square(Data(run.otuCorr), s));
            EXPECT_LT(traits.find(otuCaption), traits.find("Trait data"));
        } else {
            EXPECT_EQ(traits.find("between OTUs"), std::string::npos);
        }
        const Rows Z = After(traits, "Trait data (standardized to Z scores, " + std::to_string(s) +
                                         " OTUs in rows and " + std::to_string(p) + " traits in columns):");
        ASSERT_EQ(Z.size(), static_cast<size_t>(s));
        for (const auto& row : Z) ASSERT_EQ(row.size(), static_cast<size_t>(p));
        for (int t = 0; t < p; t++) {
            std::vector<double> column;
            for (int o = 0; o < s; o++) column.push_back(Z[o][t]);
            ExpectZScores(column, "trait " + std::to_string(t + 1));
        }
        const Rows means = After(traits, "Trait means (" + std::to_string(p) + " traits):");
        const Rows sds = After(traits, "Trait standard deviations (" + std::to_string(p) + " traits):");
        ASSERT_EQ(means.size(), 1u);
        ASSERT_EQ(sds.size(), 1u);
        EXPECT_EQ(means[0].size(), static_cast<size_t>(p));
        ASSERT_EQ(sds[0].size(), static_cast<size_t>(p));
        for (double sd : sds[0]) EXPECT_GT(sd, 0.0);
        EXPECT_EQ(tnxtest::Count(traits, "Trait data"), 1);  // one data set
        // The last data set's traits: the same z-scores.
        const std::vector<double> simulated = Numbers(box.ReadFile("B_Simulated.txt"));
        ASSERT_GE(simulated.size(), static_cast<size_t>(s * p));
        for (int o = 0; o < s; o++)
            for (int t = 0; t < p; t++) EXPECT_EQ(simulated[o * p + t], Z[o][t]);

        // The community data: one block before the mortality of each step, and one after it where
        // some died; every row holds whole abundances, summed in the abundance line and the total.
        const std::string community = box.ReadFile("CommunityData.txt");
        const std::vector<Block> blocks = Blocks(
            community, "Community data matrix at step (\\d+), (BEFORE|AFTER) mortality, for " + std::to_string(n) +
                           " community sites in rows and " + std::to_string(s) + " OTUs in columns:",
            n + 1);
        std::vector<Rows> W(G);  // the abundances at the end of each step's mortality
        int before = 0;
        for (const Block& b : blocks) {
            ASSERT_EQ(b.rows.size(), static_cast<size_t>(n + 1)) << b.step;  // the sites and their totals
            ASSERT_TRUE(b.step >= 1 && b.step <= G);
            before += b.when == "BEFORE";
            double total = 0;
            for (int k = 0; k < n; k++) {
                ASSERT_EQ(b.rows[k].size(), static_cast<size_t>(s));
                double a = 0;
                for (double x : b.rows[k]) {
                    EXPECT_TRUE(x >= 0 && x == std::floor(x)) << x;
                    a += x;
                }
                EXPECT_EQ(b.rows[n][k], a) << "step " << b.step << " site " << k + 1;
                total += a;
            }
            const std::string line = "Total abundance:\t" + std::to_string(static_cast<int>(total)) + "\n";
            EXPECT_NE(community.find(line), std::string::npos) << line;
            W[b.step - 1] = Rows(b.rows.begin(), b.rows.begin() + n);  // AFTER follows BEFORE
        }
        EXPECT_EQ(before, G);

        // The means weighted by the abundances of each site (0 at an empty one), from the community
        // data and the z-scores.
        const std::string cwmCaption = "Community weighted means (CWM), (simulation steps and community sites in rows, " +
                                       std::to_string(p) + " traits in columns):";
        const std::vector<Rows> C = SiteLines(box.ReadFile("CWM.txt"), cwmCaption, run, p);
        double largest = 0;
        for (int g = 0; g < G; g++)
            for (int k = 0; k < n; k++) {
                if (W[g].empty() || C[g][k].empty()) continue;
                double a = 0;
                for (int o = 0; o < s; o++) a += W[g][k][o];
                for (int t = 0; t < p; t++) {
                    double m = 0;
                    for (int o = 0; o < s; o++) m += a > 0 ? W[g][k][o] / a * Z[o][t] : 0.0;
                    ExpectNear(C[g][k][t], m, 2e-5, "CWM step " + std::to_string(g + 1));
                    largest = std::max(largest, std::fabs(m));
                }
            }
        EXPECT_GT(largest, 0.1);  // the communities are not empty throughout

        // The environment: each factor generated as z-scores over the sites (divisor n), then moved
        // after each step from the second on by K times the change of the weighted means.
        const std::vector<Rows> E = SiteLines(
            box.ReadFile("EnvData.txt"),
            "Ecosystem data matrix (simulation steps and community sites in rows, " + std::to_string(f) +
                " environmental variables in columns):",
            run, f);
        const std::vector<double> K = Numbers(Data(run.effect));
        ASSERT_EQ(K.size(), static_cast<size_t>(f * p));
        for (int i = 0; i < f; i++) {
            std::vector<double> row;
            for (int k = 0; k < n; k++) row.push_back(E[0][k][i]);
            ExpectZScores(row, "factor " + std::to_string(i + 1));
        }
        double moved = 0;
        for (int g = 1; g < G; g++)
            for (int k = 0; k < n; k++)
                for (int i = 0; i < f; i++) {
                    double change = 0;
                    if (g >= 2)
                        for (int t = 0; t < p; t++) change += K[i * p + t] * (C[g - 1][k][t] - C[g - 2][k][t]);
                    ExpectNear(E[g][k][i] - E[g - 1][k][i], change, 5e-5, "factor step " + std::to_string(g + 1));
                    moved = std::max(moved, std::fabs(change));
                }
        EXPECT_GT(moved, 0.01);

        // The expected means, and the distances of each OTU's traits to them summed over the traits
        // that respond to the environment (a non-zero row of A), one block a step.
        const std::vector<Rows> expected = SiteLines(
            box.ReadFile("CWM_Expected.txt"),
            "Expected community weighted means (CWM), standardized to Z scores according to mean and standard "
            "deviations in the trait matrix matrix (simulation steps and community sites in rows, " +
                std::to_string(p) + " traits in columns):",
            run, p);
        const std::vector<double> A = Numbers(Data(run.response));
        const size_t v = A.size() / p;
        std::vector<int> considered(p, 0);
        for (int t = 0; t < p; t++)
            for (size_t j = 0; j < v; j++) considered[t] |= A[t * v + j] != 0.0;
        const std::string distances = box.ReadFile("Distances.txt");
        const std::vector<Block> D = Blocks(distances,
                                            "Distances between OTU trait value and expected value at the community site, "
                                            "at step (\\d+), " + std::to_string(n) +
                                                " community sites in rows and for " + std::to_string(s) +
                                                " OTUs in columns:",
                                            n);
        std::string flags = "Traits that were considered to compute these distances (traits with non-zero parameters "
                            "for community responses to ecosystem conditions): \t";
        for (int t = 0; t < p; t++) flags += std::to_string(considered[t]) + "\t";
        EXPECT_EQ(tnxtest::Count(distances, "\n" + flags + "\n"), G) << flags;
        ASSERT_EQ(D.size(), static_cast<size_t>(G));
        for (int g = 0; g < G; g++) {
            ASSERT_EQ(D[g].step, g + 1);
            ASSERT_EQ(D[g].rows.size(), static_cast<size_t>(n));
            for (int k = 0; k < n; k++) {
                ASSERT_EQ(D[g].rows[k].size(), static_cast<size_t>(s));
                for (int o = 0; o < s; o++) {
                    double d = 0;
                    for (int t = 0; t < p; t++)
                        if (considered[t]) d += (Z[o][t] - expected[g][k][t]) * (Z[o][t] - expected[g][k][t]);
                    ExpectNear(D[g].rows[k][o], d, 1e-4 * (1 + d), "distance step " + std::to_string(g + 1));
                }
            }
        }

        // The survival probabilities: one block a step, each a probability.
        const std::vector<Block> P = Blocks(box.ReadFile("Prob.txt"),
                                            "Probabilities of survival of OTUs at the community sites, at step (\\d+), "
                                            "for " + std::to_string(n) + " community sites in rows and " +
                                                std::to_string(s) + " OTUs in columns, considering traits:",
                                            n);
        ASSERT_EQ(P.size(), static_cast<size_t>(G));
        for (const Block& b : P) {
            ASSERT_EQ(b.rows.size(), static_cast<size_t>(n));
            for (const auto& row : b.rows) {
                ASSERT_EQ(row.size(), static_cast<size_t>(s));
                for (double x : row) EXPECT_TRUE(x >= 0 && x <= 1) << x;
            }
        }
    }
}
