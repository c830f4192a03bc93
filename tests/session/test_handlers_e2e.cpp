// End-to-end dialogs of the two analyses of the community-structures menu (H and K): the built
// program runs on a formatted data set with a scripted input; the prompts, the refusals, the
// result-file notices and the track file are checked.
#include <algorithm>
#include <vector>

#include "test_settings_fixture.h"

namespace {

using e2e::Count;
using e2e::Header;
using settings_test::kCongruence;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> v;
    std::istringstream s(text);
    for (std::string line; std::getline(s, line);) v.push_back(line);
    return v;
}

TEST(HandlersE2E, CongruenceRefusedWithANominalEnvironmentalVariable) {
    e2e::Sandbox box;
    // 5 OTUs, 3 traits, 4 communities, a quantitative and a nominal environmental variable.
    box.WriteFile("s1Formda.txt",
                  "mini data \n3 \nt1\tt2\tt3\t\n 3\t 1\t 3\t\n0\t0\t0\t\n 4\t 2\t 4\t\n4 \n"
                  "c1\tc2\tc3\tc4\t\n5 \n0\t0\t0\t0\t\n0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n1.5\t0\t10\t\n"
                  "2\t1\t12\t\n7\t0\t3\t\n8\t1\t2\t\n5\t1\t6\t\n\n1\t0\t2\t0\t\n0\t3\t0\t1\t\n2\t0\t1\t4\t\n"
                  "0\t1\t1\t0\t\n3\t2\t0\t0\t\n\n2 \n97Sep08 \n5 \n3\t2\t\ne1\te2\t\nenvi \n"
                  "0.1\t0.5\t0.9\t1.3\t\n1\t2\t1\t3\t\n0 \nSMW 1\n0\n0\nMon Jan  1 00:00:00 2024\n");
    box.WriteFile("s1Trk.txt", e2e::kShortTrack);
    // Procrustes, then RV refused before Mantel; relative absolute value function (9).
    const e2e::Result r = box.Run("O\ns1\nV\nH\nk\n1 1 2 2 3\n1\n20\n0\n2\n42\n2\n3\n1\n9\n1\nn\nn\n\nC\nC\n"
                                  "X\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("Incorrect input"), std::string::npos) << r.err;
    EXPECT_EQ(Count(r.out, kCongruence + kCongruence + kCongruence + "\nSpecify resemblance function"), 1);
    EXPECT_EQ(Count(r.out, "\n\nResults on file s1Prinda.txt\n"), 1);
    const std::vector<std::string> trk = Lines(box.ReadFile("s1Trk.txt"));
    ASSERT_GT(trk.size(), 48u);
    EXPECT_EQ(trk[5], "s1Hie.txt");
    EXPECT_EQ(trk[24], "1");       // hasHier
    EXPECT_EQ(trk[42], "9");       // rese_opt
    EXPECT_EQ(trk[46], "3 2 2 ");  // rcst
    EXPECT_EQ(trk[48], "3");       // fuzzy belonging
}

TEST(HandlersE2E, CriteriaNeedingTheEnvironmentAreRefusedWithoutIt) {
    e2e::Sandbox box;
    box.PrepareTinySession();
    const e2e::Result r = box.Run("O\ns1\nV\nK\n16\n9\n18\nk\n1 1 2 2\n0\n1\n6\n1\nn\n1\n2\nn\n\nC\nC\nX\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Count(r.out, Header("CHARACTER RANKING SETTINGS", "s1") +
                               "Trait ranking criterion maximized: \n\n\nType option no.: "), 3);
    EXPECT_EQ(Count(r.out, "\n\nResults on file s1ChRank_roXZ.txt\n"), 1);
    EXPECT_EQ(box.ReadFile("s1Trk.txt"), e2e::kShortTrack);  // the search does not rewrite it
}

// Column `col` of the 40 OTU rows of the aviurba trait file, as integers plus `add`, joined;
// `distinct` receives the number of distinct values.
std::string AviurbaTrait(int col, int add = 0, int* distinct = nullptr) {
    std::istringstream s(e2e::Slurp(std::string(TARNEX_EXAMPLES) + "/aviurba_B.txt"));
    std::vector<int> v;
    for (double x[4]; v.size() < 40 && s >> x[0] >> x[1] >> x[2] >> x[3];)
        v.push_back(static_cast<int>(x[col]) + add);
    std::string joined;
    for (size_t i = 0; i < v.size(); i++) joined += (i ? " " : "") + std::to_string(v[i]);
    std::sort(v.begin(), v.end());
    if (distinct) *distinct = static_cast<int>(std::unique(v.begin(), v.end()) - v.begin());
    return joined;
}

// The aviurba survey (40 OTUs with 3 nominal traits and 1 dichotomous, 51 communities, species,
// 11 binary or ordinal environmental variables) answers every question of H and K.
TEST(HandlersE2E, AviurbaSessionAnswersEveryQuestionOfHAndK) {
    e2e::Sandbox box;
    for (const char* f : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_E.txt", "aviurba_spp.txt"})
        box.CopyIn(std::string(TARNEX_EXAMPLES) + "/" + f, f);
    int feedstratTypes = 0;
    const std::string feedstrat = AviurbaTrait(1, 0, &feedstratTypes), nesting = AviurbaTrait(3, 1);
    box.WriteFile("types.txt", AviurbaTrait(0) + "\n");
    box.WriteFile("nest.txt", nesting + "\n");
    box.WriteFile("s1Prinda.txt", "earlier\n");  // each H asks how to open it
    std::string script =
        "N\ns1\n1\naviurba_B.txt\n0\naviurba_W.txt\n1\naviurba_spp.txt\n1\naviurba_E.txt\n40\n4\n2\n2\nk\n"
        "2 2 2 1\ny\n0\n51\n2\n1\n2\n11\n2\n5\nk\n1 1 1 1 1 1 1 1 1 1 4\ny\nn\nV\n"
        // H: types from the species, fuzzy, 99 iterations restricted within the groups of a file, the
        // largest seed (one beyond refused), RV, three traits, standardised, detailed, append.
        "H\ny\n1\n99\n1\nf\nnest.txt\n2\n4294967296\n4294967295\n3\n2\n1 1 0 1\ny\ny\na\n\n"
        // H: types from a file, crisp, no iterations, clock seed, Procrustes, all traits; erase (W).
        "H\nn\nf\ntypes.txt\n0\n0\n0\n1\n2\n1\nn\nn\nW\n\n"
        // H: types and restricted permutations from the keyboard, Mantel, chord distance.
        "H\nn\nk\n" + feedstrat + "\n1\n10\n1\nk\n" + nesting + "\n1\n1\n10\n1\ny\nn\nw\n\n"
        // K: 11 (no phylogeny) refused before 1; then every other criterion the data allow.
        "K\n11\n1\ny\n0\n3\n2\n1 1 0 1\ny\n2\n3\ny\n\n";
    for (int c : {9, 10, 16, 17, 18, 19, 20, 21, 22, 23, 24})
        script += c == 10 ? "K\n10\n1\n1\n1\n4\nn\n\n"  // no types, no function for 16
                          : "K\n" + std::to_string(c) + "\ny\n1\n1\n" + (c == 16 ? "" : "6\n") +
                                "1\nn\n1\n4\nn\n\n";
    const e2e::Result r = box.Run(script + "C\nC\nX\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string& o = r.out;
    EXPECT_EQ(Count(o, Header("FUNCTIONAL ANALYSIS SETTINGS", "s1")), 3 + 1 + 11);
    EXPECT_EQ(Count(o, "\n\nResults on file s1Prinda.txt\n"), 3);
    EXPECT_EQ(Count(o, "\nThis session has a previous s1Prinda.txt file.\n"), 3);
    EXPECT_EQ(Count(o, kCongruence), 15);  // RV and Procrustes accepted at once
    // Nominal traits: only 1 and 16 are listed, 9 and 10 are still accepted.
    EXPECT_EQ(Count(o, Header("CHARACTER RANKING SETTINGS", "s1") + "Trait ranking criterion maximized: \n   "
                       "1 r(XE): TCAP and TDAP\n   16  alpha divergence: r(RE) \n\n1. Correlation r(XE) "
                       "between fuzzy weighted community composition based on OTU's trait similarities (X) "
                       "and ecological variables (E) may reflect both trait convergence assembly patterns "
                       "(TCAP) and trait divergence assembly patterns (TDAP).\n16. ro(RE) is a congruence "
                       "between Rao entropy and E.\n\nType option no.: "), 2 + 11);
    EXPECT_EQ(Count(o, "Minimum number of traits in the trait subset (minimum: 1, maximum: 3): Maximum "
                       "number of traits in the trait subset (minimum: 2, maximum: 3): "), 1);
    EXPECT_EQ(Count(o, "Minimum number of traits in the trait subset (minimum: 1, maximum: 4): "), 11);
    for (const char* f : {"TDAP_TCAP", "TDAP", "TCAP", "AlphaDivergence", "BetaDivergence", "roXZ", "roTZ",
                          "roXZ_T", "roXY", "roTY", "roXY_T", "DarkDiversity"})
        EXPECT_EQ(Count(o, std::string("\n\nResults on file s1ChRank_") + f + ".txt\n"), 1) << f;
    // The one refusal on standard error is the seed beyond 32 bits.
    EXPECT_EQ(Count(r.err, "Incorrect input"), 1) << r.err;
    EXPECT_EQ(Count(r.err, "\nIncorrect input = 4.29497e+09. Reenter.\n"), 1);
    // The track file is the one the last functional analysis wrote.
    const std::vector<std::string> trk = Lines(box.ReadFile("s1Trk.txt"));
    ASSERT_GT(trk.size(), 48u);
    EXPECT_EQ(trk[42], "10");  // chord distance
    EXPECT_EQ(trk[45], "1 2 3 4 ");
    EXPECT_EQ(trk[46], std::to_string(feedstratTypes) + " 2 2 2 ");
    EXPECT_EQ(trk[48], "3");  // fuzzy types
    EXPECT_EQ(box.ReadFile("s1Prinda.txt"), "earlier\n");
}

}  // namespace
