// The functional analysis (H) end to end with a phylogeny whose distances all lie below 2^-200:
// the small data set of tests/data (fa_*) imported with its phylogenetic distances as given
// (largest 8, which the import brings to [0, 1] as D / 8), multiplied by 2^-204 (largest 2^-201)
// and by 2^-600 (largest 2^-597, whose squares leave double), both kept as read since no value
// exceeds 1; H run on each with one seed.
//
// What the mathematics says of the small phylogeny:
// - Mantel, Procrustes and RV do not depend on scale, and the Rao entropy Rp is linear in the
//   distances: every statistic of T, X and R, the phylogenetic signal ro(BF) (B against the
//   phylogeny or its principal coordinates) and r(FE) (Rp against E) are those of the phylogeny as
//   given; Rp itself is Σ p_i p_j d_ij by hand, with d = F 2^e.
// - The belonging Q of the OTUs to the taxa averages 1 - d, which is 1 in double for every d below
//   2^-53: each OTU belongs by 1/3 to each of the three taxa, P = W Q is the same in every community
//   (W at unit totals) and DP is 0. Every statistic that compares P is then undefined, and a partial
//   that removes P is the simple statistic: ro(TE.P) = r(TE), ro(XE.P) = r(XE), ro(XE.TP) = r(XE.T).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "session/session_fixture.h"

namespace {

using tnxtest::Count;
using tnxtest::Result;
using tnxtest::Sandbox;

const std::string kData = TARNEX_TESTDATA;
const std::string kNormalised = "Phylogenetic distances were normalized to values in the range [0,1]";
// The phylogeny multiplied by 2^e.
const int kExponents[] = {-204, -600};
const std::string kSignal = "Phylogenetic signal at OTU (species) level ro(BF) = \t";
const std::string kAlphaDivergence =
    "Alpha divergence (correlation between environmental variables and Rao entropy based on phylogeny): r(FE)=\t";
std::string Name(int e) { return "t" + std::to_string(-e); }

std::string Import(const std::string& name, const std::string& phylogeny) {
    return "N\n" + name + "\n1\nfa_B.txt\n1\n" + phylogeny +
           "\nfa_W.txt\n1\nfa_spp.txt\n1\nfa_E.txt\n5\n2\n2\n2\nk\n3 3\ny\n0\n1\n4\n2\n1\n2\n2\n2\n2\nn\nC\nX\n";
}

// Types typed (1 1 2 2 3), fuzzy, 99 iterations, seed 5, the measure's answers, all traits, W at unit
// totals, the detailed report.
std::string H(const std::string& name, const std::string& measure) {
    return "O\n" + name + "\nV\nH\nn\nk\n1 1 2 2 3\n1\n99\n0\n2\n5\n" + measure + "1\ny\ny\n\nC\nC\nX\n";
}

std::vector<double> Numbers(const std::string& path) {
    std::ifstream f(path);
    std::vector<double> v;
    for (double x; f >> x;) v.push_back(x);
    return v;
}

// The line of the report that starts with `label` (empty when there is none).
std::string Line(const std::string& text, const std::string& label) {
    const size_t at = text.find("\n" + label);
    if (at == std::string::npos) return "";
    return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

// The line after the one that `heading` starts.
std::string LineAfter(const std::string& text, const std::string& heading) {
    const size_t at = text.find(heading);
    if (at == std::string::npos) return "";
    const size_t from = text.find('\n', at + 1) + 1;
    return text.substr(from, text.find('\n', from) - from);
}

// `count` numbers after `heading` (fewer when the text has fewer).
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

// The word after `label` in the report (up to a tab or the end of the line).
std::string Word(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    if (at == std::string::npos) return "";
    const size_t from = at + label.size();
    return text.substr(from, text.find_first_of("\t\n", from) - from);
}

class TinyPhylogenyE2E : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* f : {"fa_B.txt", "fa_W.txt", "fa_E.txt", "fa_F.txt", "fa_spp.txt"})
            std::filesystem::copy(kData + "/" + f, box_.Path(f));
        const Result given = box_.Run(Import("fa", "fa_F.txt"));
        ASSERT_EQ(given.status, 0) << given.err;
        EXPECT_EQ(Count(given.out, kNormalised), 1);
        for (int e : kExponents) {
            std::string tiny;
            for (double d : Numbers(kData + "/fa_F.txt")) {
                char word[40];
                std::snprintf(word, sizeof word, "%.17g\t", std::ldexp(d, e));
                tiny += word;
            }
            box_.WriteFile("F" + Name(e) + ".txt", tiny);
            const Result small = box_.Run(Import(Name(e), "F" + Name(e) + ".txt"));
            ASSERT_EQ(small.status, 0) << small.err;
            EXPECT_EQ(Count(small.out, kNormalised), 0);
        }
    }
    // The report of H on the session `name` under `measure`.
    std::string Report(const std::string& name, const std::string& measure) {
        std::filesystem::remove(box_.Path(name + "Prinda.txt"));  // else H asks to erase it
        const Result r = box_.Run(H(name, measure));
        EXPECT_EQ(r.status, 0) << name << r.err;
        return r.status == 0 ? box_.ReadFile(name + "Prinda.txt") : "";
    }
    Sandbox box_;
};

// Under each measure and at each scale: the statistics the phylogeny's scale leaves alone, line for
// line (value and probability, from the same draws); those of P undefined, the partials given P the
// simple ones; Q at 1/3; Rp by hand and PR = D; no "nan" or "inf" anywhere.
TEST_F(TinyPhylogenyE2E, StatisticsAreThoseOfThePhylogenyAtItsOrdinaryScaleOrUndefined) {
    const std::vector<double> F = Numbers(kData + "/fa_F.txt"), W = Numbers(kData + "/fa_W.txt");
    ASSERT_EQ(F.size(), 25u);
    ASSERT_GE(W.size(), 20u);
    const char* same[] = {"Convergence (TCAP): r(TE)=\t", "Both TCAP and Divergence (TDAP): r(XE)=\t",
                          "TDAP: r(XE.T)=\t",
                          "Alpha divergence (correlation between environmental variables and Rao entropy): r(RE)=\t",
                          "Beta divergence: r(XE.TR)=\t"};
    for (const char* measure : {"1\n6\n", "2\n", "3\n"}) {
        const std::string given = Report("fa", measure);
        for (const char* label : same) EXPECT_NE(Line(given, label), "") << label;
        for (int e : kExponents) {
            SCOPED_TRACE(std::string("measure ") + measure[0] + ", 2^" + std::to_string(e));
            const std::string tiny = Report(Name(e), measure);
            ASSERT_NE(Line(tiny, "Phylogenetically structured assembly patterns (PSAP):"), "");
            for (const char* label : same) EXPECT_EQ(Line(tiny, label), Line(given, label));
            if (measure[0] == '1') {
                for (const std::string& label : {kSignal, kAlphaDivergence}) EXPECT_EQ(Line(tiny, label), Line(given, label));
            }
            for (const char* label : {"ro(PE)=\t", "ro(PT)=\t", "ro(PX)=\t", "ro(PX.T)=\t", "ro(PE.T)=\t", "ro(PE.X)=\t"})
                EXPECT_EQ(Count(tiny, std::string(label) + "undefined\tP=\tundefined\n"), 1) << label;
            const std::pair<const char*, const char*> partials[] = {
                {"ro(TE.P)=\t", "r(TE)=\t"}, {"ro(XE.P)=\t", "r(XE)=\t"}, {"ro(XE.TP)=\t", "r(XE.T)=\t"}};
            for (const auto& [partial, simple] : partials) {
                EXPECT_NE(Word(tiny, simple), "");
                EXPECT_EQ(Word(tiny, partial), Word(tiny, simple)) << partial;
            }
            EXPECT_EQ(Count(tiny, "nan"), 0);
            EXPECT_EQ(Count(tiny, "inf"), 0);

            const std::vector<double> q = NumbersAfter(tiny, "according to their phylogeny:\n", 15);
            ASSERT_EQ(q.size(), 15u);
            for (double x : q) EXPECT_NEAR(x, 1.0 / 3, 1e-6);
            // Rp_c = Σ_ij p_i p_j F_ij 2^e, p the community's row of W at unit total.
            const std::vector<double> rp =
                NumbersAfter(tiny, "considering phylogenetic dissimilarities between OTUs:\n", 4);
            ASSERT_EQ(rp.size(), 4u);
            for (int c = 0; c < 4; c++) {
                double total = 0, sum = 0;
                for (int i = 0; i < 5; i++) total += W[c * 5 + i];
                for (int i = 0; i < 5; i++)
                    for (int j = 0; j < 5; j++) sum += W[c * 5 + i] / total * W[c * 5 + j] / total * F[i * 5 + j];
                const double want = std::ldexp(sum, e);
                EXPECT_NEAR(rp[c], want, 1e-5 * want) << "Rp of community " << c;
            }
            EXPECT_EQ(LineAfter(tiny, "\nPhylogenetic redundancy in each community (PR = D-Rp):\n"),
                      LineAfter(tiny, "\nGini-Simpson index (D) within each community"));
        }
    }
}

// Under Procrustes and RV, ro(BF) compares B with the principal coordinates of the phylogeny, and
// r(FE) the configuration Rp with E; their shapes are the same at any scale, so that the lines are
// those of the phylogeny as given (value and probability, from the same draws), never 0 with P = 1.
// The coordinates come from a single-precision copy of the phylogeny, which would hold 0 for
// distances this small (no axis), and at 2^-600 the squares of Rp (about 1e-362) would leave
// double. The report prints the coordinates in the phylogeny's own units: as many axes as at the
// ordinary scale, each score that of the phylogeny as given (normalised to D / max D) times
// max D 2^e, the factor between the two sets of distances.
TEST_F(TinyPhylogenyE2E, ConfigurationsOfThePhylogenyUnderProcrustesAndRVAreThoseOfTheOrdinaryScale) {
    const std::vector<double> F = Numbers(kData + "/fa_F.txt");
    ASSERT_EQ(F.size(), 25u);
    double largest = 0;
    for (double d : F) largest = std::max(largest, d);
    const std::string axesHeading = "phylogenetic resemblance matrix with 5 OTUs by ";
    for (const char* measure : {"2\n", "3\n"}) {
        const std::string given = Report("fa", measure);
        const int axes = std::atoi(Word(given, axesHeading).c_str());
        ASSERT_GE(axes, 1);
        const std::vector<double> scores = NumbersAfter(given, "ordination dimensions: \n", 5 * axes);
        ASSERT_EQ(scores.size(), 5u * axes);
        double top = 0;
        for (double x : scores) top = std::max(top, std::fabs(x));
        for (const std::string& label : {kSignal, kAlphaDivergence}) {
            ASSERT_NE(Word(given, label), "") << label;
            EXPECT_NE(std::atof(Word(given, label).c_str()), 0.0) << label;
        }
        for (int e : kExponents) {
            SCOPED_TRACE(std::string("measure ") + measure[0] + ", 2^" + std::to_string(e));
            const std::string tiny = Report(Name(e), measure);
            for (const std::string& label : {kSignal, kAlphaDivergence}) EXPECT_EQ(Line(tiny, label), Line(given, label));
            EXPECT_EQ(std::atoi(Word(tiny, axesHeading).c_str()), axes);
            const std::vector<double> own = NumbersAfter(tiny, "ordination dimensions: \n", 5 * axes);
            ASSERT_EQ(own.size(), scores.size());
            const double factor = std::ldexp(largest, e);
            for (size_t k = 0; k < own.size(); k++)
                EXPECT_NEAR(own[k] / factor, scores[k], 1e-5 * top) << "score " << k;
        }
    }
}

}  // namespace
