// The raw-data import end to end: the program imports in a fresh directory; the formatted data file it
// writes is loaded here and compared with the raw files. Bad input ends the program and loses nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "e2e.h"
#include "session/TNXGLOB.h"
#include "session/TNXIFFM2.h"

namespace {

using Ints = std::vector<int>;
using Strings = std::vector<std::string>;
const std::string kData = TARNEX_TESTDATA;
const std::string kExamples = TARNEX_EXAMPLES;

// The numbers of a raw file, up to its first word that is no number.
template <class T = float>
std::vector<T> Numbers(const std::string& path) {
    std::ifstream f(path);
    std::vector<T> v;
    for (T x; f >> x;) v.push_back(x);
    return v;
}

// A matrix of the globals row by row, or column by column.
template <class T>
std::vector<T> Get(T** m, int rows, int cols, bool byColumns = false) {
    std::vector<T> v;
    for (int a = 0; a < (byColumns ? cols : rows); a++)
        for (int b = 0; b < (byColumns ? rows : cols); b++) v.push_back(byColumns ? m[b][a] : m[a][b]);
    return v;
}

Strings GetRows(char** rows, int n, int width = -1) {
    Strings v;
    for (int i = 0; i < n; i++) v.push_back(width < 0 ? std::string(rows[i]) : std::string(rows[i], width));
    return v;
}

void ExpectIn(const std::string& text, const Strings& parts) {
    for (const std::string& p : parts) EXPECT_NE(text.find(p), std::string::npos) << p;
}

// Runs the program on the answers, one a line, after copying in the small data sets when asked.
e2e::Result Import(const e2e::Sandbox& box, const Strings& answers, bool mini = true) {
    std::string input;
    for (const std::string& a : answers) input += a + "\n";
    if (mini)
        for (const auto& e : std::filesystem::directory_iterator(kData))
            box.CopyIn(e.path(), e.path().filename().string());
    return box.Run(input);
}

// Loads a formatted data file of the sandbox into the globals of this process.
void Load(const e2e::Sandbox& box, const std::string& name) {
    std::snprintf(whichFormda, sizeof whichFormda, "%s", box.Path(name).c_str());
    volumeName[0] = '\0';
    OpenFormda(1);
}

class ImportE2E : public ::testing::Test {
protected:
    void TearDown() override { ResetDataSet(); }
};

}  // namespace

TEST_F(ImportE2E, AviurbaImportThenReopenWithoutAskingForData) {
    e2e::Sandbox box;
    for (const char* f : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_E.txt", "aviurba_spp.txt"})
        box.CopyIn(kExamples + "/" + f, f);
    std::set<std::string> files = box.Files();
    // B as rows without trait groups, W as rows, species codes, E of several types by communities.
    e2e::Result r = Import(
        box, {"N", "avi", "1", "aviurba_B.txt", "0", "aviurba_W.txt", "1", "aviurba_spp.txt", "1",
              "aviurba_E.txt", "40", "4", "2", "2", "k", "2 2 2 1", "y", "0", "51", "2", "1", "2", "11", "2",
              "5", "k", "1 1 1 1 1 1 1 1 1 1 4", "y", "n", "C", "X"}, false);
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectIn(r.out, {"DATA FOR SESSION", "SESSION MENU"});
    EXPECT_EQ(box.ReadFile("aviTrk.txt"), "aviFormda.txt\n07Jul17\n");
    files.insert({"aviFormda.txt", "aviTrk.txt"});
    EXPECT_EQ(box.Files(), files);
    // O attaches to the session: its data load at once.
    e2e::Result again = box.Run("O\navi\nC\nX\n");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out.find("DATA FOR SESSION"), std::string::npos);
    ExpectIn(again.out, {"SESSION MENU"});

    Load(box, "aviFormda.txt");
    ASSERT_EQ((Ints{nch, tcst, ncsm, nenv, nSpp}), (Ints{4, 40, 51, 11, 40}));
    EXPECT_EQ(GetRows(chLabel, 4), (Strings{"feedhab", "feedstrat", "breeding", "migratory"}));
    EXPECT_EQ(Ints(chtype, chtype + 4), (Ints{2, 2, 2, 1}));
    EXPECT_EQ(Ints(onsta, onsta + 4), (Ints{3, 3, 4, 2}));
    EXPECT_EQ(Get(csm_Float, 40, 4), Numbers(box.Path("aviurba_B.txt").string()));
    EXPECT_EQ(Get(cadat, 40, 51, true), Numbers(box.Path("aviurba_W.txt").string()));  // communities as rows
    EXPECT_EQ(Get(env, 51, 11), Numbers(box.Path("aviurba_E.txt").string()));
    EXPECT_EQ(optEnvVarType, 5);
    EXPECT_EQ(Ints(envVarType, envVarType + 11), (Ints{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 4}));
    EXPECT_EQ((Strings{spp[0], spp[33]}), (Strings{"Cipy Circus pygargus", "CAca Carduelis cannabina"}));
    for (int i = 0; i < 40; i++)
        for (int s = 0; s < 40; s++) ASSERT_EQ(cstSppMap[i][s], i == s ? '1' : '0');
    for (int s = 0; s < 40; s++)
        for (int c = 0; c < 51; c++) ASSERT_EQ(sppRelMap[s][c], cadat[s][c] != 0 ? '1' : '0');
    EXPECT_FALSE(hasPhylogeny);
}

TEST_F(ImportE2E, MixedTraitsPhylogenyAsLowerHalfGroupsAndMissingValues) {
    e2e::Sandbox box;
    // A missing file asked again; trait groups; the lower half of similarities; W as rows; species codes.
    e2e::Result r = Import(
        box, {"N", "mini", "1", "nosuch_B.txt", "mini_B.txt", "1", "mini_Flow.txt", "mini_W.txt", "1",
              "mini_spp.txt", "1", "mini_E.txt", "5", "4", "2", "2", "k", "1 2 3 4", "y", "1", "k", "1 1 2 2",
              "y", "3", "3", "2", "1", "2", "2", "2", "5", "k", "3 2", "y", "t", "C", "X"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(e2e::Count(r.err, "can't open nosuch_B.txt"), 1);
    EXPECT_EQ(e2e::Count(r.out, "Enter data file name: "), 6);
    ExpectIn(r.out, {"\nPlease check matrix W. Sampling unit east has all values zero or missing (-999), "
                     "which will generate unreliable results.",
                     "\nPlease check matrix E. Sampling unit east has all values missing (-999), which will "
                     "generate unreliable results.",
                     "Traits:     \t    flying\t      diet\tbodymassgr\t      size\t\n",
                     "   1  a full matrix of phylogenetic distances of 5 OTUs by 5 OTUs (e.g. as given by "
                     "PHYLOCOM)\n"});
    EXPECT_EQ(e2e::Count(r.out, "Please check matrix W."), 1);
    EXPECT_EQ(r.out.find("normalized"), std::string::npos);

    Load(box, "miniFormda.txt");
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
    e2e::Sandbox box;
    // Full distances; W as a vector per community (7 OTUs of 5, then a negative count, are refused);
    // names without codes; E by communities.
    e2e::Result r = Import(
        box, {"N", "mini2", "1", "mini_Bcols.txt", "1", "mini_Fdist.txt", "mini_W3.txt", "1",
              "mini_spp_long.txt", "1", "mini_Ecomm.txt", "5", "4", "1", "1", "k", "1 2 3 4", "y", "0", "1",
              "3", "1", "3", "k", "3 3 1", "y", "k", "2 -3 1", "y", "k", "2 2 1", "y", "1", "2", "1", "1",
              "n", "C", "X"});
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectIn(r.out, {"\nPhylogenetic distances were normalized to values in the range [0,1] by "
                     "Dnorm = D/Dmax\n",
                     "Number of OTUs in each community:\nCommunities:       \t1\t2\t3\t\n",
                     "Please check matrix W. Sampling unit 3 has"});  // it holds only a -999
    ExpectIn(r.err, {"add up to 7, more than the 5 OTUs", "cannot be negative"});

    Load(box, "mini2Formda.txt");
    ASSERT_EQ((Ints{nch, tcst, ncsm, nenv, nSpp}), (Ints{4, 5, 3, 2, 5}));
    EXPECT_EQ(GetRows(chLabel, 4), (Strings{"1", "2", "3", "4"}));
    EXPECT_EQ(Get(csm_Float, 5, 4, true), Numbers(kData + "/mini_Bcols.txt"));  // traits as rows
    ASSERT_EQ((Ints{hasPhylogeny, phylogenyMatrixType}), (Ints{1, 3}));
    const std::vector<double> d = Numbers<double>(kData + "/mini_Fdist.txt");
    for (int k = 0; k < 25; k++) EXPECT_DOUBLE_EQ(phylogenyRese[k / 5][k % 5], d[k] / 10) << k;
    // Community 1 fills OTU rows 1-2, community 2 rows 3-4, community 3 row 5.
    EXPECT_EQ(Get(cadat, 5, 3), (std::vector<float>{1, 0, 0, 2, 0, 0, 0, 3, 0, 0, 1, 0, 0, 0, -999}));
    EXPECT_EQ((Ints{optEnvVarType, envVarType[0], envVarType[1]}), (Ints{1, 3, 3}));
    EXPECT_EQ(Get(env, 3, 2), Numbers(kData + "/mini_Ecomm.txt"));
    // The first name has 104 characters: 70 are kept and the rest of its line is not a name.
    EXPECT_EQ(std::string(spp[0]), "Hieracium pilosella subsp. " + std::string(43, 'x'));
    EXPECT_EQ(GetRows(spp + 1, 4), (Strings{"Poa annua", "Festuca rubra", "Carex flacca", "Carex nigra"}));
}

TEST_F(ImportE2E, BadInputEndsTheProgramAndLeavesTheSessionsFilesAlone) {
    const struct {
        Strings answers, err;
    } cases[] = {
        {{"O", "bad", "1", "mini_B.txt", "0", "mini_W_trunc.txt", "0", "0", "5", "4", "2", "2", "k", "1 2 3 4",
          "y", "0", "3", "2", "1", "x"},
         {"\nEnd of file mini_W_trunc.txt\n", "\nEND OF FILE !!!\n"}},
        {{"O", "bad", "1", "mini_B.txt", "0", "mini_W.txt", "0", "1", "mini_E_bad.txt", "5", "4", "2", "2", "k",
          "1 2 3 4", "y", "0", "3", "2", "1", "2", "2", "2", "t", "x"},
         {"\nfile mini_E_bad.txt ", "\nEND OF FILE !!!\n"}},
        {{"O", "bad", "1", "mini_B.txt", "0", "mini_W.txt", "0", "0", "2000000000", "2000000000", "x"},
         {"\nOUT OF MEMORY !!!\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err[0]);
        e2e::Sandbox box;
        // An old session with an empty track file and the formatted file of an earlier attempt.
        box.WriteFile("badTrk.txt", "");
        box.WriteFile("badFormda.txt", "an earlier formatted data file\n");
        std::set<std::string> before = box.Files();
        e2e::Result r = Import(box, c.answers);
        for (const auto& e : std::filesystem::directory_iterator(kData))
            before.insert(e.path().filename().string());
        EXPECT_EQ(r.status, 1);
        ExpectIn(r.err, c.err);
        EXPECT_EQ(box.ReadFile("badTrk.txt"), "");
        EXPECT_EQ(box.ReadFile("badFormda.txt"), "an earlier formatted data file\n");
        EXPECT_EQ(box.Files(), before);  // nothing new, no temporary file left
    }
}
