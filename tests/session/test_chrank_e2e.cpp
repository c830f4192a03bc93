// The trait-subset search end to end on the mafragh survey: imported by the answers of its
// README, then letter K for every criterion the data allow, with every trait in the subset.
// The values of the whole trait set are the functional analysis's statistics, which
// mafragh_expected_H.txt holds from an independent computation in R (expected.R beside it).
#include <cmath>
#include <cstdlib>

#include "session_fixture.h"

using namespace tnxtest;

namespace {

const std::string kImport =
    "N\nmafragh\n1\nmafragh_B.txt\n1\nmafragh_F.txt\nmafragh_W.txt\n1\nmafragh_spp.txt\n1\nmafragh_E.txt\n56\n6\n2\n"
    "2\nk\n3 3 3 4 4 4\ny\n0\n1\n97\n2\n1\n2\n11\n2\n2\nn\n";

// The statistic named `label` in the expected file ("r(TE)=\t0.16874").
double Expected(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    if (at == std::string::npos) return -999.0;
    return std::atof(text.c_str() + at + label.size());
}

// The value of the per-size line of the given size.
double SizeValue(const std::string& text, const std::string& prefix, int k) {
    const std::string p = prefix + std::to_string(k) + " traits: \t";
    const size_t at = text.find(p);
    if (at == std::string::npos) return -999.0;
    return std::atof(text.c_str() + at + p.size());
}

// Five significant digits.
void ExpectFiveDigits(double got, double expected, const std::string& what) {
    EXPECT_NEAR(got, expected, 5e-5 * std::fabs(expected)) << what;
}

using ChRankE2E = TempDirTest;

TEST_F(ChRankE2E, MafraghEveryCriterionWithAllTraitsAgreesWithTheIndependentStatistics) {
    for (const char* f : {"mafragh_B.txt", "mafragh_F.txt", "mafragh_W.txt", "mafragh_spp.txt", "mafragh_E.txt"})
        std::filesystem::copy(std::string(TARNEX_EXAMPLES) + "/" + f, f);
    // Types: the species (each OTU its own); fuzzy; Mantel; Euclidean distance; all traits; W
    // to unit totals; subsets of 6 traits only; no intermediate lines.
    auto typed = [](int c) {
        return "K\n" + std::to_string(c) + "\ny\n1\n1\n" + (c == 16 ? "" : "6\n") + "1\ny\n6\n6\nn\n\n";
    };
    std::string script = kImport + "V\n" + "K\n10\n1\n1\n6\n6\nn\n\n";
    for (int c : {1, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}) script += typed(c);
    Result r = box_.Run(script + "C\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* f : {"TCAP", "TDAP_TCAP", "TDAP", "PSAP_X", "PSAP_X_T", "PSAP_T", "BetaNicheConserv",
                          "AlphaBetaNicheConserv", "AlphaDivergence", "BetaDivergence", "roXZ", "roTZ", "roXZ_T",
                          "roXY", "roTY", "roXY_T", "DarkDiversity"})
        EXPECT_EQ(Count(r.out, std::string("\n\nResults on file mafraghChRank_") + f + ".txt\n"), 1) << f;

    const std::string expected = Slurp(std::string(TARNEX_EXAMPLES) + "/mafragh_expected_H.txt");
    const std::string plain = "Ranking criterion value and optimal subset with ";
    const std::string grouped = "Ranking criterion value, groups and optimal subset with ";
    ExpectFiveDigits(SizeValue(box_.ReadFile("mafraghChRank_TCAP.txt"), plain, 6), Expected(expected, "r(TE)=\t"),
                     "r(TE)");
    ExpectFiveDigits(SizeValue(box_.ReadFile("mafraghChRank_TDAP_TCAP.txt"), plain, 6),
                     Expected(expected, "r(XE)=\t"), "r(XE)");
    ExpectFiveDigits(SizeValue(box_.ReadFile("mafraghChRank_TDAP.txt"), plain, 6), Expected(expected, "r(XE.T)=\t"),
                     "r(XE.T)");
    ExpectFiveDigits(SizeValue(box_.ReadFile("mafraghChRank_AlphaDivergence.txt"), grouped, 6),
                     Expected(expected, "r(RE)=\t"), "r(RE)");
    ExpectFiveDigits(SizeValue(box_.ReadFile("mafraghChRank_BetaDivergence.txt"), grouped, 6),
                     Expected(expected, "r(XE.TR)=\t"), "r(XE.TR)");

    // The phylogenetic criteria ran on the phylogeny: each names the whole trait set as its
    // subset of 6.
    for (const char* f : {"PSAP_X", "PSAP_X_T", "PSAP_T"}) {
        const std::string text = box_.ReadFile(std::string("mafraghChRank_") + f + ".txt");
        EXPECT_NE(text.find(plain + "6 traits: \t"), std::string::npos) << f;
        EXPECT_NE(text.find("Lfp\tMinHeight\tMaxHeight\tSucculence\tSpikiness\tHairyLeaf\t\n"), std::string::npos) << f;
    }
    for (const char* f : {"BetaNicheConserv", "AlphaBetaNicheConserv"}) {
        const std::string text = box_.ReadFile(std::string("mafraghChRank_") + f + ".txt");
        // The summary block opens the file: the labels of the one size, then its 56 types.
        EXPECT_EQ(text.rfind("Lfp\tMinHeight\tMaxHeight\tSucculence\tSpikiness\tHairyLeaf\t\n56   \t\n", 0), 0u)
            << text.substr(0, 200);
    }
}

}  // namespace
