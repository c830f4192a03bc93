// The trait-subset search end to end on the mafragh survey: imported by the answers of its README,
// then letter K for every criterion the data allow, with every trait in the subset. The values of the
// whole trait set are those of mafragh_expected_H.txt, an independent computation in R (expected.R
// beside it); that letter H prints the same values is checked by the functional-analysis tests.
#include <cmath>
#include <cstdlib>

#include "session_fixture.h"

using namespace tnxtest;

namespace {

const std::string kTraitLine = "Lfp\tMinHeight\tMaxHeight\tSucculence\tSpikiness\tHairyLeaf\t\n";

// The number after `label` in `text` (-999 when there is none).
double After(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    return at == std::string::npos ? -999.0 : std::atof(text.c_str() + at + label.size());
}

using ChRankE2E = TempDirTest;

TEST_F(ChRankE2E, MafraghEveryCriterionWithAllTraitsGivesTheIndependentStatistics) {
    for (const char* f : {"mafragh_B.txt", "mafragh_F.txt", "mafragh_W.txt", "mafragh_spp.txt", "mafragh_E.txt"})
        std::filesystem::copy(std::string(TARNEX_EXAMPLES) + "/" + f, f);
    // Types: the species (each OTU its own); fuzzy; Mantel; Euclidean distance; all traits; W to unit
    // totals; subsets of 6 traits only; no intermediate lines. Criterion 10 asks no types.
    std::string script = "N\nmafragh\n1\nmafragh_B.txt\n1\nmafragh_F.txt\nmafragh_W.txt\n1\nmafragh_spp.txt\n1\n"
                         "mafragh_E.txt\n56\n6\n2\n2\nk\n3 3 3 4 4 4\ny\n0\n1\n97\n2\n1\n2\n11\n2\n2\nn\n"
                         "V\nK\n10\n1\n1\n6\n6\nn\n\n";
    for (int c : {1, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24})
        script += "K\n" + std::to_string(c) + "\ny\n1\n1\n" + (c == 16 ? "" : "6\n") + "1\ny\n6\n6\nn\n\n";
    const Result r = box_.Run(script + "C\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* f : {"TCAP", "TDAP_TCAP", "TDAP", "PSAP_X", "PSAP_X_T", "PSAP_T", "BetaNicheConserv",
                          "AlphaBetaNicheConserv", "AlphaDivergence", "BetaDivergence", "roXZ", "roTZ", "roXZ_T",
                          "roXY", "roTY", "roXY_T", "DarkDiversity"})
        EXPECT_EQ(Count(r.out, std::string("\n\nResults on file mafraghChRank_") + f + ".txt\n"), 1) << f;

    const std::string expected = Slurp(std::string(TARNEX_EXAMPLES) + "/mafragh_expected_H.txt");
    const std::string plain = "Ranking criterion value and optimal subset with 6 traits: \t";
    const std::string grouped = "Ranking criterion value, groups and optimal subset with 6 traits: \t";
    const std::tuple<const char*, std::string, const char*> rows[] = {
        {"TCAP", plain, "r(TE)=\t"},           {"TDAP_TCAP", plain, "r(XE)=\t"},
        {"TDAP", plain, "r(XE.T)=\t"},         {"AlphaDivergence", grouped, "r(RE)=\t"},
        {"BetaDivergence", grouped, "r(XE.TR)=\t"}};
    for (const auto& [file, prefix, label] : rows) {
        const double want = After(expected, label);  // five significant digits
        EXPECT_NEAR(After(box_.ReadFile(std::string("mafraghChRank_") + file + ".txt"), prefix), want,
                    5e-5 * std::fabs(want)) << label;
    }
    // The phylogenetic criteria ran on the phylogeny: each names the whole trait set as its subset of 6;
    // the niche-conservatism files open with the summary block: the labels of the one size, its 56 types.
    for (const char* f : {"PSAP_X", "PSAP_X_T", "PSAP_T"}) {
        const std::string text = box_.ReadFile(std::string("mafraghChRank_") + f + ".txt");
        EXPECT_TRUE(text.find(plain) != std::string::npos && text.find(kTraitLine) != std::string::npos) << f;
    }
    for (const char* f : {"BetaNicheConserv", "AlphaBetaNicheConserv"})
        EXPECT_EQ(box_.ReadFile(std::string("mafraghChRank_") + f + ".txt").rfind(kTraitLine + "56   \t\n", 0), 0u)
            << f;
}

}  // namespace
