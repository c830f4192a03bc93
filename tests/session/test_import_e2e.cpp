// The raw-data import and the analyses H and K end to end; the formatted data files are loaded back here.
#include <cmath>
#include <map>
#include <regex>

#include "session_fixture.h"

using namespace tnxtest;

namespace {

const std::string kData = TARNEX_TESTDATA;

// The numbers of a raw file, up to its first word that is no number.
template <class T = float>
std::vector<T> Numbers(const std::string& path) {
    std::ifstream f(path);
    std::vector<T> v;
    for (T x; f >> x;) v.push_back(x);
    return v;
}

Strings Lines(const std::string& text) {
    Strings v;
    std::istringstream s(text);
    for (std::string line; std::getline(s, line);) v.push_back(line);
    return v;
}

void ExpectIn(const std::string& text, const Strings& parts) {
    for (const std::string& p : parts) EXPECT_NE(text.find(p), std::string::npos) << p;
}

// Runs the program on `input` after copying in the small data sets when asked.
Result Import(const Sandbox& box, const std::string& input, bool mini = true) {
    if (mini)
        for (const auto& e : std::filesystem::directory_iterator(kData))
            std::filesystem::copy(e.path(), box.Path(e.path().filename()));
    return box.Run(input);
}

using ImportE2E = TempDirTest;

}  // namespace

// aviurba is imported, reopened with O, and K answers the criteria that nominal traits change.
TEST_F(ImportE2E, AviurbaImportReopenAndTheCriteriaOfNominalTraits) {
    for (const char* f : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_E.txt", "aviurba_spp.txt"})
        std::filesystem::copy(std::string(TARNEX_EXAMPLES) + "/" + f, f);
    std::set<std::string> files = box_.Files();
    // B as rows without trait groups, W as rows, species codes, E of several types by communities.
    Result r = Import(box_,
                      "N\navi\n1\naviurba_B.txt\n0\naviurba_W.txt\n1\naviurba_spp.txt\n1\naviurba_E.txt\n40\n4\n"
                      "2\n2\nk\n2 2 2 1\ny\n0\n51\n2\n1\n2\n11\n2\n5\nk\n1 1 1 1 1 1 1 1 1 1 4\ny\nn\nC\nX\n",
                      false);
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectIn(r.out, {"DATA FOR SESSION", "SESSION MENU"});
    EXPECT_EQ(box_.ReadFile("aviTrk.txt"), "aviFormda.txt\n07Jul17\n");
    files.insert({"aviFormda.txt", "aviTrk.txt"});
    EXPECT_EQ(box_.Files(), files);

    LoadFormda("aviFormda.txt");
    ASSERT_EQ((Ints{nch, tcst, ncsm, nenv, nSpp}), (Ints{4, 40, 51, 11, 40}));
    EXPECT_EQ(GetRows(chLabel, 4), (Strings{"feedhab", "feedstrat", "breeding", "migratory"}));
    EXPECT_EQ(Ints(chtype, chtype + 4), (Ints{2, 2, 2, 1}));
    EXPECT_EQ(Ints(onsta, onsta + 4), (Ints{3, 3, 4, 2}));
    EXPECT_EQ(Get(csm_Float, 40, 4), Numbers("aviurba_B.txt"));
    EXPECT_EQ(Get(cadat, 40, 51, true), Numbers("aviurba_W.txt"));  // communities as rows
    EXPECT_EQ(Get(env, 51, 11), Numbers("aviurba_E.txt"));
    EXPECT_EQ(optEnvVarType, 5);
    EXPECT_EQ(Ints(envVarType, envVarType + 11), (Ints{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 4}));
    EXPECT_EQ((Strings{spp[0], spp[33]}), (Strings{"Cipy Circus pygargus", "CAca Carduelis cannabina"}));

    // K on the imported session: 11 (no phylogeny) refused before 1; then the criteria that nominal traits
    // change: 9 and 10 are refused at once, 16 runs. (Letter H on aviurba, and the other criteria, run in
    // the functional-analysis and mafragh tests.)
    std::string script = "O\navi\nV\nK\n11\n1\ny\n0\n3\n2\n1 1 0 1\ny\n2\n3\ny\n\n";
    script += "K\n9\n10\n16\ny\n1\n1\n1\nn\n1\n4\nn\n\n";
    r = box_.Run(script + "C\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string accepted = "Accepted input: 1 16 17 18 19 20 21 22 23 24\n";
    EXPECT_EQ(r.err, "\nIncorrect input = 11. Reenter.\n" + accepted + "\nIncorrect input = 9. Reenter.\n" + accepted +
                         "\nIncorrect input = 10. Reenter.\n" + accepted);
    const std::string& o = r.out;
    EXPECT_EQ(o.find("DATA FOR SESSION"), std::string::npos);  // O loads the data without asking
    EXPECT_EQ(Count(o, Header("FUNCTIONAL ANALYSIS SETTINGS", "avi")), 1 + 1);
    EXPECT_EQ(Count(o, kCongruence), 2);  // RV accepted at once
    // Nominal traits: neither 9 nor 10 is listed, and typed they are refused before any further question.
    EXPECT_EQ(Count(o, CriterionMenu(true, false, true, "avi")), 2);
    EXPECT_EQ(Count(o, "Minimum number of traits in the trait subset (minimum: 1, maximum: 3): Maximum "
                       "number of traits in the trait subset (minimum: 2, maximum: 3): "), 1);
    EXPECT_EQ(Count(o, "Minimum number of traits in the trait subset (minimum: 1, maximum: 4): "), 1);
    for (const char* f : {"TDAP_TCAP", "AlphaDivergence"})
        EXPECT_EQ(Count(o, std::string("\n\nResults on file aviChRank_") + f + ".txt\n"), 1) << f;
    for (const char* f : {"TDAP", "TCAP"}) EXPECT_FALSE(std::filesystem::exists(box_.Path(std::string("aviChRank_") + f + ".txt"))) << f;
    EXPECT_EQ(box_.ReadFile("aviTrk.txt"), "aviFormda.txt\n07Jul17\n");  // the search does not rewrite it
}

// Mixed traits, -999, trait groups, half similarities, a nominal variable (H refuses Procrustes and RV).
TEST_F(ImportE2E, MixedTraitsPhylogenyAsLowerHalfGroupsAndMissingValues) {
    // A missing file asked again; trait groups; the lower half of similarities; W as rows; species codes.
    Result r = Import(box_,
                      "N\nmini\n1\nnosuch_B.txt\nmini_B.txt\n1\nmini_Flow.txt\nmini_W.txt\n1\nmini_spp.txt\n1\n"
                      "mini_E.txt\n5\n4\n2\n2\nk\n1 2 3 4\ny\n1\nk\n1 1 2 2\ny\n3\n3\n2\n1\n2\n2\n2\n5\nk\n"
                      "3 2\ny\nt\n"
                      // H: keyboard types, fuzzy, 20 iterations, seed 42, Mantel, function 9, all traits.
                      "V\nH\nn\nk\n1 1 2 2 3\n1\n20\n0\n2\n42\n2\n3\n1\n9\n1\nn\nn\nn\n\nC\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "\ncan't open nosuch_B.txt: No such file or directory \n");
    EXPECT_EQ(Count(r.out, "Enter data file name: "), 6);
    ExpectIn(r.out, {"\nPlease check matrix W. Sampling unit east has all values zero or missing (-999), "
                     "which will generate unreliable results.",
                     "\nPlease check matrix E. Sampling unit east has all values missing (-999), which will "
                     "generate unreliable results.",
                     "Traits:     \t    flying\t      diet\tbodymassgr\t      size\t\n",
                     "   1  a full matrix of phylogenetic distances of 5 OTUs by 5 OTUs (e.g. as given by "
                     "PHYLOCOM)\n"});
    EXPECT_EQ(Count(r.out, "Please check matrix W."), 1);
    EXPECT_EQ(Count(r.out, kCongruence + kCongruence + kCongruence + "\nSpecify resemblance function"), 1);
    EXPECT_EQ(Count(r.out, "\n\nResults on file miniPrinda.txt\n"), 1);
    const Strings trk = Lines(box_.ReadFile("miniTrk.txt"));
    ASSERT_GT(trk.size(), 48u);  // hasHier, rese_opt, rcst, fuzzy belonging
    EXPECT_EQ((Strings{trk[0], trk[5], trk[24], trk[42], trk[46], trk[48]}),
              (Strings{"miniFormda.txt", "miniHie.txt", "1", "9", "3 2 2 2 ", "3"}));

    LoadFormda("miniFormda.txt");
    ASSERT_EQ((Ints{nch, tcst, ncsm, nenv, nSpp}), (Ints{4, 5, 3, 2, 4}));
    // Labels of 15 characters keep their first 10; the next label is not disturbed.
    EXPECT_EQ(GetRows(chLabel, 4), (Strings{"flying", "diet", "bodymassgr", "size"}));
    EXPECT_EQ(GetRows(reLabel, 3), (Strings{"north", "southmeado", "east"}));
    EXPECT_EQ(Get(csm_Float, 5, 4), Numbers(kData + "/mini_B.txt"));
    EXPECT_EQ(Get(cadat, 5, 3, true), Numbers(kData + "/mini_W.txt"));
    EXPECT_EQ(Ints(onsta, onsta + 4), (Ints{2, 3, 5, 3}));  // -999 counts as a value
    EXPECT_EQ((Ints{hasTraitGroups, hasPhylogeny, phylogenyMatrixType}), (Ints{1, 1, 1}));
    EXPECT_EQ(Ints(traitGroups, traitGroups + 4), (Ints{1, 1, 2, 2}));
    EXPECT_EQ(Get(phylogenyRese, 5, 5), Numbers<double>(kData + "/mini_Fsim.txt"));  // the half mirrored
    EXPECT_EQ(GetRows(spp, 4),
              (Strings{"Poan Poa annua", "POan Poa angustifolia", "Feru Festuca rubra", "Cafl Carex flacca"}));
    EXPECT_EQ(GetRows(cstSppMap, 5, 4), (Strings{"1000", "0100", "0010", "1000", "0001"}));
    EXPECT_EQ(GetRows(sppRelMap, 4, 3), (Strings{"110", "010", "100", "100"}));  // -999 counts as present
    EXPECT_EQ((Ints{optEnvVarType, envVarType[0], envVarType[1]}), (Ints{5, 3, 2}));
    EXPECT_EQ(GetRows(envLabel, 2), (Strings{"pH", "moisture"}));
    EXPECT_EQ(Get(env, 3, 2, true), Numbers(kData + "/mini_E.txt"));  // variables as rows
}

TEST_F(ImportE2E, PhylogeneticDistancesTraitColumnsVectorLayoutDefaultLabelsLongNames) {
    // Full distances; W by community vectors (7 of 5 OTUs and a negative count refused); E by communities.
    Result r = Import(box_,
                      "N\nmini2\n1\nmini_Bcols.txt\n1\nmini_Fdist.txt\nmini_W3.txt\n1\nmini_spp_long.txt\n1\n"
                      "mini_Ecomm.txt\n5\n4\n1\n1\nk\n1 2 3 4\ny\n0\n1\n3\n1\n3\nk\n3 3 1\ny\nk\n2 -3 1\ny\n"
                      "k\n2 2 1\ny\n1\n2\n1\n1\nn\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectIn(r.out, {"\nPhylogenetic distances were normalized to values in the range [0,1] by "
                     "Dnorm = D/Dmax\n",
                     "Number of OTUs in each community:\nCommunities:       \t1\t2\t3\t\n",
                     "Please check matrix W. Sampling unit 3 has"});  // it holds only a -999
    ExpectIn(r.err, {"add up to 7, more than the 5 OTUs", "cannot be negative"});

    LoadFormda("mini2Formda.txt");
    ASSERT_EQ((Ints{nch, tcst, ncsm, nenv, nSpp}), (Ints{4, 5, 3, 2, 5}));
    EXPECT_EQ(GetRows(chLabel, 4), (Strings{"1", "2", "3", "4"}));
    EXPECT_EQ(Get(csm_Float, 5, 4, true), Numbers(kData + "/mini_Bcols.txt"));  // traits as rows
    ASSERT_EQ((Ints{hasPhylogeny, phylogenyMatrixType}), (Ints{1, 3}));
    const std::vector<double> d = Numbers<double>(kData + "/mini_Fdist.txt");
    for (int k = 0; k < 25; k++) EXPECT_DOUBLE_EQ(phylogenyRese[k / 5][k % 5], d[k] / 10) << k;
    // Community 1 fills OTU rows 1-2, community 2 rows 3-4, community 3 row 5.
    EXPECT_EQ(Get(cadat, 5, 3), (Floats{1, 0, 0, 2, 0, 0, 0, 3, 0, 0, 1, 0, 0, 0, -999}));
    EXPECT_EQ((Ints{optEnvVarType, envVarType[0], envVarType[1]}), (Ints{1, 3, 3}));
    EXPECT_EQ(Get(env, 3, 2), Numbers(kData + "/mini_Ecomm.txt"));
    // The first name has 104 characters: 70 are kept and the rest of its line is not a name.
    EXPECT_EQ(std::string(spp[0]), "Hieracium pilosella subsp. " + std::string(43, 'x'));
    EXPECT_EQ(GetRows(spp + 1, 4), (Strings{"Poa annua", "Festuca rubra", "Carex flacca", "Carex nigra"}));
}

TEST_F(ImportE2E, BadInputEndsTheProgramAndLeavesTheSessionsFilesAlone) {
    const std::pair<std::string, Strings> cases[] = {
        {"O\nbad\n1\nmini_B.txt\n0\nmini_W_trunc.txt\n0\n0\n5\n4\n2\n2\nk\n1 2 3 4\ny\n0\n3\n2\n1\nx\n",
         {"\nfile mini_W_trunc.txt does not fit the counts: they call for 15 values and 3 labels, the file holds 8 "
          "words.\n", "\nEND OF FILE !!!\n"}},
        {"O\nbad\n1\nmini_B.txt\n0\nmini_W.txt\n0\n1\nmini_E_bad.txt\n5\n4\n2\n2\nk\n1 2 3 4\ny\n0\n3\n2\n1\n2\n"
         "2\n2\nt\nx\n",
         {"\nfile mini_E_bad.txt, line 1: \"x7\" is not a number.", "\nEND OF FILE !!!\n"}},
        // Counts far beyond the file are refused before anything of their size is allocated.
        {"O\nbad\n1\nmini_B.txt\n0\nmini_W.txt\n0\n0\n2000000000\n2000000000\n2\n2\nx\n",
         {"they call for 4000000000000000000 values and 2000000000 labels, the file holds 24 words.\n",
          "\nEND OF FILE !!!\n"}},
    };
    for (const auto& [input, err] : cases) {
        SCOPED_TRACE(input);
        Sandbox box;
        // An old session with an empty track file and the formatted file of an earlier attempt.
        box.WriteFile("badTrk.txt", "");
        box.WriteFile("badFormda.txt", "an earlier formatted data file\n");
        std::set<std::string> before = box.Files();
        Result r = Import(box, input);
        for (const auto& e : std::filesystem::directory_iterator(kData))
            before.insert(e.path().filename().string());
        EXPECT_EQ(r.status, 1);
        ExpectIn(r.err, err);
        EXPECT_EQ(box.ReadFile("badTrk.txt"), "");
        EXPECT_EQ(box.ReadFile("badFormda.txt"), "an earlier formatted data file\n");
        EXPECT_EQ(box.Files(), before);  // nothing new, no temporary file left
    }
}

namespace {

// Three OTUs with two traits (rows), two communities (rows), two variables by communities, each with
// its labels on the last line; full phylogenetic similarities; three species names.
const Strings kRawFiles = {"b.txt", "1 2\n3 4\n5 6\nta tb\n", "w.txt", "1 0 2\n0 3 1\nc1 c2\n", "e.txt",
                           "7 8\n9 10\npH moist\n", "f.txt", "1 0 0\n0 1 0\n0 0 1\n", "s.txt", "Poa\nCarex\nFestuca\n"};
// N "raw" with B, F (when asked), W, species and E (when asked); then the traits and the communities.
std::string Files(bool phylogeny, bool species, bool variables) {
    return std::string("N\nraw\n1\nb.txt\n") + (phylogeny ? "1\nf.txt\n" : "0\n") + "w.txt\n" +
           (species ? "1\ns.txt\n" : "0\n") + (variables ? "1\ne.txt\n" : "0\n");
}
const std::string kTraitAnswers = "3\n2\n2\n2\nk\n3 3\ny\n0\n", kCommunityAnswers = "2\n2\n1\n";

// Runs `input` beside the raw files (`file` holding `text` when named): code 2, no session file written.
Result RunRaw(const std::string& input, const std::string& file = "", const std::string& text = "") {
    Sandbox box;
    for (size_t k = 0; k < kRawFiles.size(); k += 2) box.WriteFile(kRawFiles[k], kRawFiles[k + 1]);
    if (!file.empty()) box.WriteFile(file, text);
    Result r = box.Run(input);
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(box.Path("rawFormda.txt")));
    EXPECT_FALSE(std::filesystem::exists(box.Path("rawTrk.txt")));  // N writes nothing before the data
    return r;
}

}  // namespace

// Counts that do not fit a file: what they call for and the file's words (counted by hand); B, W and E
// ask their counts again (`question` twice, then the input ends), F and the species end the session.
TEST(RawImport, CountsThatDoNotFitTheFilesAreRefusedAndNothingIsWritten) {
    const std::tuple<std::string, std::string, long long, long long, int, const char*> cases[] = {
        {"3\n1\n2\n2\n", "b.txt", 3, 1, 8, "Number of OTUs: "},  // one trait of two
        {"4\n2\n2\n2\n", "b.txt", 8, 2, 8, "Number of OTUs: "},  // ends early: the labels are no values
        {"3\n2\n1\n2\n", "b.txt", 6, 0, 8, "Number of OTUs: "},  // labels left in the file
        {"2000000000\n2000000000\n1\n2\n", "b.txt", 4000000000000000000, 0, 8, "Number of OTUs: "},
        {kTraitAnswers + "3\n2\n1\n", "w.txt", 9, 3, 8, "Enter number of communities:    "},
        {kTraitAnswers + "2\n1\n3\nk\n2 1\ny\n", "w.txt", 3, 0, 8, "Enter number of communities:    "},
        {kTraitAnswers + kCommunityAnswers + "3\n2\n", "e.txt", 6, 3, 6, "Number of environmental variables: "},
        {kTraitAnswers + "3\n", "f.txt", 6, 0, 9, ""}};  // the lower half where the full matrix stands
    for (const auto& [answers, file, values, labels, words, question] : cases) {
        SCOPED_TRACE(answers);
        const Result r = RunRaw(Files(file == "f.txt", false, file == "e.txt") + answers);
        EXPECT_NE(r.err.find("\nfile " + file + " does not fit the counts: they call for " + std::to_string(values) +
                             " values and " + std::to_string(labels) + " labels, the file holds " +
                             std::to_string(words) + " words.\n" + (*question ? "" : "\nEND OF FILE !!!\n")),
                  std::string::npos) << r.err;
        EXPECT_EQ(Count(r.err, "does not fit"), 1);
        EXPECT_EQ(*question ? Count(r.out, question) : 2, 2);
    }
    for (const auto& [names, lines] : {std::pair<std::string, int>{"Poa\nCarex\n", 2}, {"a\n\nb\n \t\nc\r\nd\n", 4}}) {
        const Result r = RunRaw(Files(false, true, false) + kTraitAnswers + kCommunityAnswers + "1\n", "s.txt", names);
        EXPECT_NE(r.err.find("\nfile s.txt does not fit the counts: they call for 3 species names, one a line, the "
                             "file holds " + std::to_string(lines) + " lines.\n\nEND OF FILE !!!\n"),
                  std::string::npos) << r.err;
    }
}

// Counts refused, then answered right: B and W as in the files; the extremes of a value pass.
TEST(RawImport, CountsAnsweredAgainImportTheFiles) {
    const SessionSettingsKept kept;  // the loader's file name and settings are put back
    Sandbox box;
    for (size_t k = 0; k < kRawFiles.size(); k += 2) box.WriteFile(kRawFiles[k], kRawFiles[k + 1]);
    box.WriteFile("b.txt", "+1 -2.\n.5 3.4028234e38\n-999 1E-3\nta tb\n");
    const Result r = box.Run(Files(false, false, false) + "3\n1\n2\n2\n" + kTraitAnswers + "3\n2\n1\n" + kCommunityAnswers + "C\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Count(r.err, "does not fit the counts"), 2);
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(box.Path(""));
    LoadFormda("rawFormda.txt");
    EXPECT_EQ(Get(csm_Float, 3, 2), (Floats{1, -2, 0.5f, 3.4028234e38f, -999, 1e-3f}));
    EXPECT_EQ(Get(cadat, 3, 2, true), (Floats{1, 0, 2, 0, 3, 1}));
    EXPECT_EQ(GetRows(reLabel, 2), (Strings{"c1", "c2"}));
    ResetDataSet();
    std::filesystem::current_path(here);
}

// A word typed before the number of OTUs is passed over and the number read whole: the import
// goes on with the answers that follow and writes the data set the plain answers write.
TEST_F(ImportE2E, AWordBeforeACountOfTheImportLeavesTheCountWhole) {
    for (const char* f : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_E.txt", "aviurba_spp.txt"})
        std::filesystem::copy(std::string(TARNEX_EXAMPLES) + "/" + f, box_.Path(f));
    const auto formda = [this](const std::string& count) {
        std::string answers = kAviImport;
        answers.replace(answers.find("\n40\n") + 1, 3, count);
        std::filesystem::remove(box_.Path("aviFormda.txt"));
        std::filesystem::remove(box_.Path("aviTrk.txt"));
        const Result r = box_.Run(answers);
        EXPECT_EQ(r.status, 0) << count << r.err;
        EXPECT_EQ(Count(r.err, "Incorrect input"), 0) << count << r.err;
        const std::string text = box_.ReadFile("aviFormda.txt");
        return text.substr(0, text.rfind('\n', text.size() - 2));   // without the time stamp
    };
    const std::string plain = formda("40\n");
    ASSERT_NE(plain.find("\n40 \n"), std::string::npos);
    for (const char* count : {"n\n40\n", "in\n40\n", "nan 40\n"}) EXPECT_EQ(formda(count), plain) << count;
}

// A word where a number stands: the file, its line (lines end in LF, CR LF or CR) and the word; code 2.
TEST(RawImport, AWordWhereANumberStandsIsNamedWithItsLine) {
    const std::map<std::string, std::string> answers = {
        {"b.txt", Files(false, false, false) + kTraitAnswers}, {"w.txt", Files(false, false, false) + kTraitAnswers + kCommunityAnswers},
        {"e.txt", Files(false, false, true) + kTraitAnswers + kCommunityAnswers + "2\n2\n1\n"},
        {"f.txt", Files(true, false, false) + kTraitAnswers + "2\n"}};
    const std::tuple<const char*, const char*, int, const char*> cases[] = {
        {"b.txt", "1 2\n3 NA\n5 6\nta tb\n", 2, "NA"}, {"b.txt", "1 2\n3 n/a\n5 6\nta tb\n", 2, "n/a"},
        {"b.txt", "1 2\n3 4\n? 6\nta tb\n", 3, "?"}, {"b.txt", "1 2\n3 4\n5 1,234\nta tb\n", 3, "1,234"},
        {"b.txt", "ta tb\n1 2\n3 4\n5 6\nta tb\n", 1, "ta"}, {"b.txt", "nan 2\n3 4\n5 6\nta tb\n", 1, "nan"},
        {"b.txt", "1 inf\n3 4\n5 6\nta tb\n", 1, "inf"}, {"b.txt", "1 2\r\n3 4\r\n-Infinity 6\r\nta tb\r\n", 3, "-Infinity"},
        {"b.txt", "1 2\r3 4\r5 0x1p3\rta tb\r", 3, "0x1p3"},
        {"b.txt", "1 2\n3 4\n5 1e\nta tb\n", 3, "1e"}, {"w.txt", "1 0 2\n0 3 NaN\nc1 c2\n", 2, "NaN"},
        {"f.txt", "1 0 0\n0 1 0\n0 0 .\n", 3, "."}};
    for (const auto& [file, text, line, word] : cases) {
        const Result r = RunRaw(answers.at(file), file, text);
        EXPECT_NE(r.err.find(std::string("\nfile ") + file + ", line " + std::to_string(line) + ": \"" + word +
                             "\" is not a number. Every value of a raw data file is a number; missing values are "
                             "written -999.\n\nEND OF FILE !!!\n"),
                  std::string::npos) << r.err;
    }
    // A number beyond single precision is a number all the same: refused as out of its range.
    const std::tuple<const char*, const char*, int, const char*> beyond[] = {
        {"b.txt", "1 2\n\n3 4\n5 1e39\nta tb\n", 4, "1e39"}, {"e.txt", "7 8\n-1e39 10\npH moist\n", 2, "-1e39"}};
    for (const auto& [file, text, line, word] : beyond) {
        const Result r = RunRaw(answers.at(file), file, text);
        EXPECT_NE(r.err.find(std::string("\nfile ") + file + ", line " + std::to_string(line) + ": \"" + word +
                             "\" is out of the range of single precision: its magnitude exceeds the largest value "
                             "single precision holds, 3.40282347e+38.\n\nEND OF FILE !!!\n"),
                  std::string::npos) << r.err;
        EXPECT_EQ(Count(r.err, "not a number"), 0);
    }
}

namespace {

// The fenced block of a README that follows the first line holding `title`, as it stands.
std::string FencedAfter(const std::string& readme, const std::string& title) {
    const size_t at = readme.find(title);
    if (at == std::string::npos) return "";
    const size_t from = readme.find("```\n", at), to = from == std::string::npos ? from : readme.find("```", from + 4);
    return to == std::string::npos ? "" : readme.substr(from + 4, to - from - 4);
}

// The number after `label` in `text`, and the text after it; NaN when the label is missing.
double NumberAfter(const std::string& text, const std::string& label, size_t* end = nullptr) {
    const size_t at = text.find(label);
    if (at == std::string::npos) return std::nan("");
    size_t used = 0;
    const double v = std::stod(text.substr(at + label.size()), &used);
    if (end) *end = at + label.size() + used;
    return v;
}

}  // namespace

// The READMEs of examples/ name the files as they are: a table row that lists a file (its first cell a
// file name) and every `Rscript` command name a file of the folder. Each README lists at least its own
// data files, so a table that lost its names fails too.
TEST(ExamplesReadmes, NameTheFilesOfTheFolderAsTheyAre) {
    const std::filesystem::path examples = TARNEX_EXAMPLES;
    const std::regex fileName("[A-Za-z0-9_.-]+\\.(txt|R|md)"), rscript("Rscript ([^ `]+)");
    int readmes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(examples)) {
        if (entry.path().extension() != ".md") continue;
        readmes++;
        std::istringstream lines(Slurp(entry.path()));
        std::string line;
        int listed = 0;
        while (std::getline(lines, line)) {
            std::smatch m;
            std::string first;
            if (line.rfind("| ", 0) == 0) {
                first = line.substr(2, line.find(" |", 2) - 2);
                first.erase(std::remove(first.begin(), first.end(), '`'), first.end());
            }
            if (std::regex_match(first, fileName)) {
                listed++;
                EXPECT_TRUE(std::filesystem::exists(examples / first)) << entry.path().filename() << ": " << line;
            }
            for (auto it = std::sregex_iterator(line.begin(), line.end(), rscript);
                 it != std::sregex_iterator(); ++it)
                EXPECT_TRUE(std::filesystem::exists(examples / (*it)[1].str())) << entry.path().filename() << ": " << line;
        }
        EXPECT_GE(listed, 4) << entry.path().filename();
    }
    EXPECT_GE(readmes, 3);
}

// The analyses of the walk-through of examples/README.md, replayed exactly as they stand after its import,
// from the folder and with the command it gives: no answer is refused, H writes its report with the five
// statistics (each a correlation with its P over 999 iterations) and the
// functional diversity; K writes its ranking of the 2^4 - 1 = 15 subsets of the four traits, the best of each
// size, and, for all four traits, the r(XE) of the report (the same types, belonging, correlation, distance
// and W).
TEST_F(ImportE2E, TheExamplesAnalysesReplayAsWritten) {
    const std::string examples = TARNEX_EXAMPLES, readme = Slurp(examples + "/README.md");
    // The command as it runs from examples/: the program that ./run, one folder up, builds.
    for (const char* command : {"    ../build-release/tarnex < answers.txt\n", "    ../build-release/tarnex < analyses.txt\n"})
        EXPECT_EQ(Count(readme, command), 1) << command;
    // No bare name that the PATH would have to find, in either survey's walk-through.
    EXPECT_EQ(readme.find("`tarnex <"), std::string::npos);
    const std::string mafragh = Slurp(examples + "/mafragh_README.md");
    EXPECT_EQ(mafragh.find("`tarnex <"), std::string::npos);
    EXPECT_EQ(Count(mafragh, "    ../build-release/tarnex < answers.txt\n"), 1);
    EXPECT_NE(Slurp(examples + "/../run").find("\"$here/build-release/tarnex\""), std::string::npos);
    const std::string import = FencedAfter(readme, "Answers, one per line"),
                      analyses = FencedAfter(readme, "Answers of the analyses, one per line");
    ASSERT_FALSE(import.empty());
    ASSERT_EQ(analyses.rfind("O\navi\nV\nH\n", 0), 0u);  // the session the import made
    for (const char* f : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_E.txt", "aviurba_spp.txt"})
        std::filesystem::copy(examples + "/" + f, f);
    Result r = box_.Run(import);
    ASSERT_EQ(r.status, 0) << r.err;
    r = box_.Run(analyses);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");  // no answer refused
    for (const char* f : {"aviPrinda.txt", "aviChRank_TDAP_TCAP.txt"})
        EXPECT_EQ(Count(r.out, std::string("\n\nResults on file ") + f + "\n"), 1) << f;
    EXPECT_EQ(Count(r.out, Header("FUNCTIONAL ANALYSIS SETTINGS", "avi")), 2);  // H, and K's own settings
    EXPECT_EQ(Count(r.out, Header("CHARACTER RANKING SETTINGS", "avi")), 1);

    const std::string report = box_.ReadFile("aviPrinda.txt");
    ExpectIn(report, {"\nNumber of types examined: \t40\n", "\nFuzzy transformation: \tfuzzy (fuzzy belonging of OTUs to types)\n",
                      "\nCorrelation function between matrices: \tmatrix correlation (Mantel)\n",
                      "\nResemblance option between communities: 6 (Euclidean distance)\n",
                      "\nNumber of iterations for permutation tests: 999\n", "\nFUNCTIONAL DIVERSITY\n"});
    for (const char* statistic : {"Convergence (TCAP): r(TE)=\t", "Both TCAP and Divergence (TDAP): r(XE)=\t",
                                  "TDAP: r(XE.T)=\t", "and Rao entropy): r(RE)=\t", "Beta divergence: r(XE.TR)=\t"}) {
        SCOPED_TRACE(statistic);
        size_t end = 0;
        const double value = NumberAfter(report, statistic, &end);
        EXPECT_TRUE(value >= -1.0 && value <= 1.0) << value;
        // The observed value is the first of the 999 iterations: P = k/999 with k from 1 to 999, printed
        // with six significant digits.
        const double k = NumberAfter(report.substr(end, 40), "\tP=\t") * 999.0;
        EXPECT_TRUE(k >= 1.0 - 1e-3 && k <= 999.0 + 1e-3) << k;
        EXPECT_NEAR(k, std::round(k), 1e-3);
    }

    const std::string ranking = box_.ReadFile("aviChRank_TDAP_TCAP.txt");
    ExpectIn(ranking, {"\nTRAIT SUBSET OPTIMIZATION\n",
                       "\nTrait ranking criterion (TRC): 1 (both trait-divergence and trait-convergence assembly patterns)\n",
                       "\nCorrelation measure: matrix correlation (Mantel)\n",
                       "\nFuzzy transformation: fuzzy (fuzzy belonging of OTUs to types)\n",
                       "\nResemblance option between communities: 6 (Euclidean distance)\n"});
    // Every subset once, ranked by its value; the best of each size heads the subsets of that size.
    const size_t list = ranking.find("\nTrait subsets with maximum rank:\nTRC         \tSubset of traits\n");
    ASSERT_NE(list, std::string::npos);
    std::istringstream rows(ranking.substr(ranking.find("traits\n", list) + 7));
    std::set<std::string> subsets;
    std::map<int, double> best;
    double previous = 2.0;
    for (std::string line; std::getline(rows, line) && !line.empty();) {
        std::istringstream row(line);
        double value = 0.0;
        row >> value;
        std::string subset;
        int size = 0;
        for (std::string trait; row >> trait; size++) subset += trait + " ";
        EXPECT_TRUE(value >= -1.0 && value <= previous) << line;
        previous = value;
        EXPECT_TRUE(subsets.insert(subset).second) << line;
        if (!best.count(size)) best[size] = value;
    }
    EXPECT_EQ(subsets.size(), 15u);
    ASSERT_EQ(best.size(), 4u);
    for (int size = 1; size <= 4; size++)
        EXPECT_NEAR(NumberAfter(ranking, "optimal subset with " + std::to_string(size) + " traits: \t"), best[size], 1e-6)
            << size;
    EXPECT_EQ(subsets.count("feedhab feedstrat breeding migratory "), 1u);
    EXPECT_NEAR(best[4], NumberAfter(report, "Both TCAP and Divergence (TDAP): r(XE)=\t"), 1e-6);
}

// The walk-through of examples/README.md: its list of answers, replayed exactly as it stands, imports
// aviurba with the counts and types the walk-through names, and ends the program without a refusal.
TEST_F(ImportE2E, TheExamplesWalkThroughReplaysAsWritten) {
    const std::string readme = Slurp(std::string(TARNEX_EXAMPLES) + "/README.md");
    const size_t list = readme.find("Answers, one per line");
    ASSERT_NE(list, std::string::npos);
    const size_t from = readme.find("```\n", list) + 4, to = readme.find("```", from);
    ASSERT_TRUE(from > list + 4 && to != std::string::npos);
    const std::string answers = readme.substr(from, to - from);
    for (const char* f : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_E.txt", "aviurba_spp.txt"})
        std::filesystem::copy(std::string(TARNEX_EXAMPLES) + "/" + f, f);
    const Result r = box_.Run(answers);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");  // no answer refused
    EXPECT_EQ(Count(r.out, Header("SESSION MENU", "avi")), 1);
    LoadFormda("aviFormda.txt");
    EXPECT_EQ((Ints{tcst, nch, ncsm, nenv, nSpp, optEnvVarType}), (Ints{40, 4, 51, 11, 40, 5}));
    EXPECT_EQ(Ints(chtype, chtype + 4), (Ints{2, 2, 2, 1}));
    EXPECT_EQ(Ints(envVarType, envVarType + 11), (Ints{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 4}));
}

namespace {

// Every file of the box with its bytes.
std::map<std::string, std::string> Snapshot(const Sandbox& box) {
    std::map<std::string, std::string> files;
    for (const std::string& name : box.Files()) files[name] = box.ReadFile(name);
    return files;
}

}  // namespace

// Every road into a session's data that ends without data leaves the session's files as they were before N:
// a raw file refused (the program ends) and the returns of the data dialog (4; "use" then 3; another session
// that does not exist; a merge refused). A new session then leaves no file, so the next N asks nothing; an
// existing one, replaced after y, keeps its formatted data file and its full track file byte for byte, and O
// reopens it without asking for data.
TEST(RawImport, AnImportThatEndsWithoutDataLeavesTheSessionsFilesAsTheyWere) {
    // road, the answers after the session name (and y), the exit status
    const std::tuple<std::string, std::string, int> roads[] = {
        {"refused raw file", "1\nb.txt\n0\nw.txt\n0\n0\n" + kTraitAnswers, 1},  // "NA" in B: code 2
        {"return", "4\nX\n", 0},
        {"use another session, then return", "2\nother\n3\nX\n", 0},
        {"another session that does not exist", "2\nnosuch\n4\nX\n", 0},
        {"merge refused", "3\nother\nt\n4\nX\n", 0}};  // the traits of t are labelled otherwise
    for (const bool existing : {false, true}) {
        for (const auto& [road, answers, status] : roads) {
            SCOPED_TRACE(std::string(existing ? "existing session, " : "new session, ") + road);
            Sandbox box;
            for (size_t k = 0; k < kRawFiles.size(); k += 2) box.WriteFile(kRawFiles[k], kRawFiles[k + 1]);
            box.WriteFile("b.txt", "1 2\n3 NA\n5 6\nta tb\n");
            box.WriteFile("otherFormda.txt", FiveOtus(false));
            box.WriteFile("tFormda.txt", Edit(FiveOtus(false), "tr1\ttr2", "tr1\ttrX"));
            if (existing) {
                box.WriteFile("s1Formda.txt", FiveOtus(true));
                box.WriteFile("s1Trk.txt", kPlainTrack);
            }
            const auto before = Snapshot(box);
            const Result r = box.Run(std::string("N\ns1\n") + (existing ? "y\n" : "") + answers);
            EXPECT_EQ(r.status, status) << r.err;
            EXPECT_EQ(Count(r.out, "Session s1 exists. Replace it? (y/n) "), existing ? 1 : 0);
            EXPECT_EQ(Count(r.out, Header("DATA FOR SESSION", "s1")), 1);
            EXPECT_EQ(Count(r.out, "SESSION MENU"), 0);
            EXPECT_EQ(Count(r.err, "\"NA\" is not a number"), road == "refused raw file" ? 1 : 0) << r.err;
            EXPECT_EQ(Count(r.out, "\nLabels for traits do not match (or their order).\n\n"), road == "merge refused" ? 1 : 0);
            EXPECT_EQ(Snapshot(box), before);  // nothing written, nothing removed, no temporary file

            // The next start: a new session is no session (no question); an existing one opens as it was.
            const Result next = box.Run(existing ? "O\ns1\nC\nX\n" : "N\ns1\n4\nX\n");
            EXPECT_EQ(next.status, 0) << next.err;
            EXPECT_EQ(Count(next.out, "exists. Replace it?"), 0);
            EXPECT_EQ(Count(next.out, Header("SESSION MENU", "s1")), existing ? 1 : 0);
            EXPECT_EQ(Count(next.out, "DATA FOR SESSION"), existing ? 0 : 1);
            EXPECT_EQ(Snapshot(box), before);
        }
    }
}

// A word that only mixes the letters of "nan" and "inf" ("inn") for the first abundance of the imported
// aviurba survey: reopening the session refuses its formatted data file (code 2) and every file of the
// session stays as it was.
TEST_F(ImportE2E, AMadeUpWordForAnAbundanceRefusesTheFormattedDataFile) {
    for (const char* f : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_E.txt", "aviurba_spp.txt"})
        std::filesystem::copy(std::string(TARNEX_EXAMPLES) + "/" + f, box_.Path(f));
    ASSERT_EQ(box_.Run(kAviImport).status, 0);
    std::string formda = box_.ReadFile("aviFormda.txt");
    const size_t w = formda.find("\n\n", formda.find("\n25Jun2016 \n")) + 2;   // W follows B after a blank line
    ASSERT_EQ(formda.substr(w, 4), "0\t0\t");
    box_.WriteFile("aviFormda.txt", formda.replace(w, 1, "inn"));
    const auto before = Snapshot(box_);
    const Result r = box_.Run("O\navi\nC\nX\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\nfile aviFormda.txt \nEND OF FILE !!!\n\nQuit and restart TARNEX.\n\a");
    EXPECT_EQ(Count(r.out, "SESSION MENU"), 0);
    EXPECT_EQ(Snapshot(box_), before);
}

// Replacing an existing session (a full track file, five OTUs) with raw data that import: the new formatted
// data file (3 OTUs, 2 traits, 2 communities) and the short track file take their places, and O opens it.
TEST_F(ImportE2E, ReplacingAnExistingSessionWithAnImportThatSucceeds) {
    for (size_t k = 0; k < kRawFiles.size(); k += 2) box_.WriteFile(kRawFiles[k], kRawFiles[k + 1]);
    box_.WriteFile("s1Formda.txt", FiveOtus(false));
    box_.WriteFile("s1Trk.txt", kPlainTrack);
    Result r = box_.Run("N\ns1\ny\n1\nb.txt\n0\nw.txt\n0\n0\n" + kTraitAnswers + kCommunityAnswers + "C\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Count(r.out, "Session s1 exists. Replace it? (y/n) "), 1);
    EXPECT_EQ(box_.ReadFile("s1Trk.txt"), kShortTrack);
    r = box_.Run("O\ns1\nC\nX\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Count(r.out, Header("SESSION MENU", "s1")), 1);
    EXPECT_EQ(Count(r.out, "DATA FOR SESSION"), 0);
    LoadFormda("s1Formda.txt");
    ASSERT_EQ((Ints{tcst, nch, ncsm, nenv, nSpp}), (Ints{3, 2, 2, 0, 0}));
    EXPECT_EQ(Get(csm_Float, 3, 2), (Floats{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Get(cadat, 3, 2, true), (Floats{1, 0, 2, 0, 3, 1}));  // communities as rows
    EXPECT_EQ(GetRows(chLabel, 2), (Strings{"ta", "tb"}));
}
