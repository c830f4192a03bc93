// End-to-end dialogs of the two analyses of the community-structures menu (H and K): the
// built program runs in a temporary directory on a small formatted data set with a scripted
// input; the prompts, the refusals, the result-file notices and the track file are checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "e2e.h"

namespace {

const std::string kRule(70, '-');

std::string Header(const std::string& title, const std::string& session) {
    std::string line = title + std::string(47 - title.size(), ' ');
    line += std::string(23 - session.size(), ' ') + session;
    return "\n\n" + line + "\n" + kRule + "\n";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> v;
    std::istringstream s(text);
    std::string line;
    while (std::getline(s, line)) v.push_back(line);
    return v;
}

// 5 OTUs, 3 traits (quantitative, binary, quantitative; trait groups 1 1 2), 4 communities,
// two environmental variables (quantitative and nominal), two species, no phylogeny.
const std::string kMiniFormda =
    "mini data \n3 \nt1\tt2\tt3\t\n 3\t 1\t 3\t\n0\t0\t0\t\n 4\t 2\t 4\t\n4 \nc1\tc2\tc3\tc4\t\n5 \n"
    "0\t0\t0\t0\t\n0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n"
    "1.5\t0\t10\t\n2\t1\t12\t\n7\t0\t3\t\n8\t1\t2\t\n5\t1\t6\t\n\n"
    "1\t0\t2\t0\t\n0\t3\t0\t1\t\n2\t0\t1\t4\t\n0\t1\t1\t0\t\n3\t2\t0\t0\t\n\n"
    "2 \n97Sep08 \n5 \n3\t2\t\ne1\te2\t\nenvi \n"
    "  0.1\t  0.5\t  0.9\t  1.3\t\n     1\t     2\t     1\t     3\t\n"
    "2 \nspp.txt \nSpecies one\nSpecies two\n1101\n0111\n10\n10\n01\n01\n01\n"
    "SMW 1\n0\n1\n1\t1\t2\t\nMon Jan  1 00:00:00 2024\n";

// 4 OTUs, 2 traits, 3 communities; no environmental variables, species or phylogeny.
const std::string kTinyFormda =
    "tiny data \n2 \nt1\tt2\t\n 3\t 3\t\n0\t0\t\n 4\t 4\t\n3 \nc1\tc2\tc3\t\n4 \n0\t0\t0\t\n"
    "0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n"
    "1\t2\t\n3\t4\t\n5\t6\t\n7\t8\t\n\n"
    "1\t0\t2\t\n0\t1\t0\t\n3\t0\t1\t\n0\t2\t2\t\n\n"
    "0 \n0 \nSMW 1\n0\n0\nMon Jan  1 00:00:00 2024\n";

const std::string kShortTrack = "s1Formda.txt\n07Jul17\n";

const std::string kCongruence =
    "\nMeasuring congruence using\n"
    "  1 matrix correlation (Mantel)\n"
    "  2 Procrustes (traceW, cannot be used when matrix E contains nominal variables)\n"
    "  3 RV coefficient (Dantrel 1973, cannot be used when matrix E contains nominal variables)\n"
    "Type option no.: ";

TEST(HandlersE2E, FunctionalAnalysisAndTraitSubsetsOnASessionWithEnvironment) {
    e2e::Sandbox box;
    box.WriteFile("s1Formda.txt", kMiniFormda);
    box.WriteFile("s1Trk.txt", kShortTrack);
    box.WriteFile("groups.txt", "1 1 2 2 3\n");
    box.WriteFile("nest.txt", "1 1 1 2 2\n");

    const std::string script =
        "O\ns1\nV\n"
        // H: types from a file, fuzzy, restricted permutations from a file, a given seed,
        // Procrustes refused (nominal variable), Mantel, Euclidean, traits 1 and 3, group
        // weights, standardised W, no detail; then the return key.
        "H\nn\nf\ngroups.txt\n1\n20\n1\nf\nnest.txt\n2\n42\n2\n1\n6\n2\n1 0 1\ny\ny\nn\n\n"
        // H again: types from the species, crisp, no iterations, free permutations, clock
        // seed, RV refused, Mantel, relative absolute value function, all traits.
        "H\ny\n0\n0\n0\n1\n3\n1\n9\n1\nn\nn\ny\n\n"
        // K, criterion 9 (TDAP), keyboard types, sizes 1..3.
        "K\n9\nn\nk\n1 1 2 2 3\n0\n1\n6\n1\nn\nn\n1\n3\nn\n\n"
        // K, criterion 10 (TCAP): congruence, traits, group weights and sizes only.
        "K\n10\n1\n1\nn\n1\n2\ny\n\n"
        // K, criterion 24 (dark diversity).
        "K\n24\ny\n1\n1\n10\n1\nn\nn\n2\n2\nn\n\n"
        "C\nC\nX\n";
    e2e::Result r = box.Run(script);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;

    const std::string& o = r.out;
    EXPECT_EQ(e2e::Count(o, Header("FUNCTIONAL ANALYSIS SETTINGS", "s1")), 5);
    EXPECT_EQ(e2e::Count(o, Header("CHARACTER RANKING SETTINGS", "s1")), 3);
    // Procrustes and RV are refused while E holds a nominal variable: the block comes again.
    EXPECT_NE(o.find(kCongruence + kCongruence + "\nSpecify resemblance function between communities:"),
              std::string::npos);
    EXPECT_EQ(e2e::Count(o, "Wish to use as OTUs types the species specified in the session's formatted file? y/n "),
              4);
    EXPECT_NE(o.find("Read nesting group memberships from file (f) or from the keyboard (k)? f/k "),
              std::string::npos);
    EXPECT_NE(o.find("Set weights for traits inversely proportional to effective trait group sizes? y/n "),
              std::string::npos);
    EXPECT_EQ(e2e::Count(o, "\n\nResults on file s1Prinda.txt\n"), 2);
    EXPECT_NE(o.find("\n\nResults on file s1ChRank_TDAP.txt\n"), std::string::npos);
    EXPECT_NE(o.find("\n\nResults on file s1ChRank_TCAP.txt\n"), std::string::npos);
    EXPECT_NE(o.find("\n\nResults on file s1ChRank_DarkDiversity.txt\n"), std::string::npos);
    // The environment allows criterion 16; the traits are not nominal, so 9 and 10 are listed.
    EXPECT_NE(o.find("   1 r(XE): TCAP and TDAP\n   9 r(XE.T): TDAP only\n   10 r(TE): TCAP only\n"
                     "   16  alpha divergence: r(RE) \n"),
              std::string::npos);
    EXPECT_NE(o.find("Minimum number of traits in the trait subset (minimum: 1, maximum: 3): "),
              std::string::npos);
    EXPECT_EQ(r.err.find("Incorrect input"), std::string::npos) << r.err;

    // The track file of the last functional analysis (the searches leave it as it was).
    std::vector<std::string> trk = Lines(box.ReadFile("s1Trk.txt"));
    ASSERT_GT(trk.size(), 47u);
    EXPECT_EQ(trk[0], "s1Formda.txt");
    EXPECT_EQ(trk[1], "07Jul17");
    EXPECT_EQ(trk[5], "s1Hie.txt");
    EXPECT_EQ(trk[20], "1");        // traitBasedOpt
    EXPECT_EQ(trk[24], "1");        // hasHier
    EXPECT_EQ(trk[42], "9");        // rese_opt of the second run
    EXPECT_EQ(trk[45], "1 2 3 ");   // nchor
    EXPECT_EQ(trk[46], "2 2 2 ");   // rcst: two species as types, then 2 per level
    EXPECT_EQ(trk[48], "0");        // crisp belonging
}

TEST(HandlersE2E, CriteriaNeedingTheEnvironmentAreRefusedWithoutIt) {
    e2e::Sandbox box;
    box.WriteFile("s1Formda.txt", kTinyFormda);
    box.WriteFile("s1Trk.txt", kShortTrack);
    const std::string script =
        "O\ns1\nV\n"
        "K\n16\n9\n18\nk\n1 1 2 2\n0\n1\n6\n1\nn\n1\n2\nn\n\n"
        "C\nC\nX\n";
    e2e::Result r = box.Run(script);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string menu = Header("CHARACTER RANKING SETTINGS", "s1") +
                             "Trait ranking criterion maximized: \n\n\nType option no.: ";
    EXPECT_EQ(e2e::Count(r.out, menu), 3);
    EXPECT_NE(r.out.find("\n\nResults on file s1ChRank_roXZ.txt\n"), std::string::npos);
    // The trait-subset search does not rewrite the track file.
    EXPECT_EQ(box.ReadFile("s1Trk.txt"), kShortTrack);
}

TEST(HandlersE2E, ShortNestingFileEndsTheProgramWithCodeTwo) {
    e2e::Sandbox box;
    box.WriteFile("s1Formda.txt", kMiniFormda);
    box.WriteFile("s1Trk.txt", kShortTrack);
    box.WriteFile("short.txt", "1 1\n");
    e2e::Result r = box.Run("O\ns1\nV\nH\nn\nk\n1 1 2 2 3\n0\n5\n1\nf\nshort.txt\n");
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\nEnd of file short.txt\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\nEND OF FILE !!!\n"), std::string::npos) << r.err;
    // The analysis never ran: the track file is as it was.
    EXPECT_EQ(box.ReadFile("s1Trk.txt"), kShortTrack);
}

}  // namespace

namespace {

// The aviurba survey imported through the "DATA FOR SESSION" dialog: 40 OTUs with 4 traits
// (three nominal, one dichotomous), 51 communities by rows, species names with codes made by
// the program, 11 environmental variables (10 binary, 1 ordinal) entered by communities.
const std::string kAviurbaImport =
    "N\ns1\n1\naviurba_B.txt\n0\naviurba_W.txt\n1\naviurba_spp.txt\n1\naviurba_E.txt\n"
    "40\n4\n2\n2\nk\n2 2 2 1\ny\n0\n51\n2\n1\n2\n11\n2\n5\nk\n1 1 1 1 1 1 1 1 1 1 4\ny\nn\n";

// Column `col` (0-based) of the 40 OTU rows of the aviurba trait file, as integers.
std::vector<int> AviurbaTrait(int col) {
    std::istringstream s(e2e::Slurp(std::string(TARNEX_EXAMPLES) + "/aviurba_B.txt"));
    std::vector<int> v;
    for (int i = 0; i < 40; i++) {
        double x[4];
        for (double& d : x) s >> d;
        v.push_back(static_cast<int>(x[col]));
    }
    return v;
}

std::string Join(const std::vector<int>& v, int add = 0) {
    std::string s;
    for (size_t i = 0; i < v.size(); i++) s += (i ? " " : "") + std::to_string(v[i] + add);
    return s;
}

int Distinct(std::vector<int> v) {
    std::sort(v.begin(), v.end());
    return static_cast<int>(std::unique(v.begin(), v.end()) - v.begin());
}

// One trait-subset search on aviurba: criterion c with the types from the species, fuzzy
// belonging, Mantel with the Euclidean distance (criterion 16 sets it itself), all traits,
// sizes 1..4; criterion 10 asks only congruence, traits and sizes.
std::string AviurbaK(int c) {
    if (c == 10) return "K\n10\n1\n1\n1\n4\nn\n\n";
    std::string s = "K\n" + std::to_string(c) + "\ny\n1\n1\n";
    if (c != 16) s += "6\n";
    return s + "1\nn\n1\n4\nn\n\n";
}

TEST(HandlersE2E, AviurbaSessionAnswersEveryQuestionOfHAndK) {
    e2e::Sandbox box;
    for (const char* f : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_E.txt", "aviurba_spp.txt"})
        box.CopyIn(std::string(TARNEX_EXAMPLES) + "/" + f, f);
    const std::vector<int> feedhab = AviurbaTrait(0);
    const std::vector<int> feedstrat = AviurbaTrait(1);
    const std::vector<int> migratory = AviurbaTrait(3);
    box.WriteFile("types.txt", Join(feedhab) + "\n");
    box.WriteFile("nest.txt", Join(migratory, 1) + "\n");
    // A report of an earlier run: each H asks how to open it.
    box.WriteFile("s1Prinda.txt", "earlier\n");

    std::string script = kAviurbaImport + "V\n";
    // H 1: types from the species, fuzzy, 99 iterations restricted within the nesting groups
    // of a file, the largest seed (one beyond refused), RV coefficient, three traits selected,
    // standardised W, detailed printout, append.
    script += "H\ny\n1\n99\n1\nf\nnest.txt\n2\n4294967296\n4294967295\n3\n2\n1 1 0 1\ny\ny\na\n\n";
    // H 2: types from a file, crisp, no iterations, clock seed, Procrustes (E has no nominal
    // variable), all traits; erase with a capital W.
    script += "H\nn\nf\ntypes.txt\n0\n0\n0\n1\n2\n1\nn\nn\nW\n\n";
    // H 3: types from the keyboard, fuzzy, restricted permutations from the keyboard, Mantel,
    // chord distance.
    script += "H\nn\nk\n" + Join(feedstrat) + "\n1\n10\n1\nk\n" + Join(migratory, 1) +
              "\n1\n1\n10\n1\ny\nn\nw\n\n";
    // K for every criterion the data allow; 11 (no phylogeny) is refused before 1.
    script += "K\n11\n1\ny\n0\n3\n2\n1 1 0 1\ny\n2\n3\ny\n\n";
    const int criteria[] = {9, 10, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    for (int c : criteria) script += AviurbaK(c);
    script += "C\nC\nX\n";

    e2e::Result r = box.Run(script);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string& o = r.out;

    EXPECT_EQ(e2e::Count(o, Header("FUNCTIONAL ANALYSIS SETTINGS", "s1")), 3 + 1 + 11);
    EXPECT_EQ(e2e::Count(o, "\n\nResults on file s1Prinda.txt\n"), 3);
    EXPECT_EQ(e2e::Count(o, "\nThis session has a previous s1Prinda.txt file.\n"), 3);
    // RV and Procrustes are accepted at once: the congruence block shows once per run.
    EXPECT_EQ(e2e::Count(o, kCongruence), 15);
    // Nominal traits: only 1 and 16 are listed, 9 and 10 are still accepted.
    const std::string menu = Header("CHARACTER RANKING SETTINGS", "s1") +
        "Trait ranking criterion maximized: \n   1 r(XE): TCAP and TDAP\n   16  alpha divergence: r(RE) \n\n"
        "1. Correlation r(XE) between fuzzy weighted community composition based on OTU's trait similarities "
        "(X) and ecological variables (E) may reflect both trait convergence assembly patterns (TCAP) and "
        "trait divergence assembly patterns (TDAP).\n"
        "16. ro(RE) is a congruence between Rao entropy and E.\n\nType option no.: ";
    EXPECT_EQ(e2e::Count(o, menu), 2 + 11);
    EXPECT_NE(o.find("Minimum number of traits in the trait subset (minimum: 1, maximum: 3): "
                     "Maximum number of traits in the trait subset (minimum: 2, maximum: 3): "),
              std::string::npos);
    EXPECT_EQ(e2e::Count(o, "Minimum number of traits in the trait subset (minimum: 1, maximum: 4): "), 11);
    const char* files[] = {"s1ChRank_TDAP_TCAP.txt", "s1ChRank_TDAP.txt",    "s1ChRank_TCAP.txt",
                           "s1ChRank_AlphaDivergence.txt", "s1ChRank_BetaDivergence.txt",
                           "s1ChRank_roXZ.txt",      "s1ChRank_roTZ.txt",    "s1ChRank_roXZ_T.txt",
                           "s1ChRank_roXY.txt",      "s1ChRank_roTY.txt",    "s1ChRank_roXY_T.txt",
                           "s1ChRank_DarkDiversity.txt"};
    for (const char* f : files)
        EXPECT_EQ(e2e::Count(o, std::string("\n\nResults on file ") + f + "\n"), 1) << f;

    // The one refusal on standard error is the seed beyond 32 bits.
    EXPECT_NE(r.err.find("\nIncorrect input = 4.29497e+09. Reenter.\n"), std::string::npos) << r.err;
    EXPECT_EQ(e2e::Count(r.err, "Incorrect input"), 1) << r.err;

    // The track file is the one the last functional analysis wrote.
    std::vector<std::string> trk = Lines(box.ReadFile("s1Trk.txt"));
    ASSERT_GT(trk.size(), 48u);
    EXPECT_EQ(trk[0], "s1Formda.txt");
    EXPECT_EQ(trk[5], "s1Hie.txt");
    EXPECT_EQ(trk[24], "1");        // hasHier
    EXPECT_EQ(trk[42], "10");       // chord distance
    EXPECT_EQ(trk[45], "1 2 3 4 ");
    EXPECT_EQ(trk[46], std::to_string(Distinct(feedstrat)) + " 2 2 2 ");
    EXPECT_EQ(trk[48], "3");        // fuzzy types
    EXPECT_EQ(box.ReadFile("s1Prinda.txt"), "earlier\n");
}

}  // namespace
