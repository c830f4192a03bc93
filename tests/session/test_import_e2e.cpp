// The raw-data import end to end: the built program runs in a fresh directory with a scripted
// dialog, imports the sample survey or small data sets checked by hand, writes the formatted
// data file and the short track file, and reopens the session. The formatted file is then
// loaded in this process and compared with the raw values. Bad input ends the program with
// its error code and leaves the session's files as they were.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e.h"
#include "session/TNXGLOB.h"
#include "session/TNXIFFM2.h"

namespace {

const std::string kData = TARNEX_TESTDATA;
const std::string kExamples = TARNEX_EXAMPLES;

// The scripted answers, one per line.
std::string Script(const std::vector<std::string>& answers) {
    std::string s;
    for (const std::string& a : answers) s += a + "\n";
    return s;
}

// The numbers of a whitespace-separated text file, up to its first word that is no number.
std::vector<float> Numbers(const std::string& path) {
    std::ifstream f(path);
    std::vector<float> v;
    float x;
    while (f >> x) v.push_back(x);
    return v;
}

// Loads a formatted data file of the sandbox into the globals of this process.
void Load(const e2e::Sandbox& box, const std::string& name) {
    std::string path = box.Path(name).string();
    ASSERT_LT(path.size(), sizeof whichFormda);
    std::snprintf(whichFormda, sizeof whichFormda, "%s", path.c_str());
    volumeName[0] = '\0';
    OpenFormda(1);
}

// Answers that import aviurba into a new session `name`, then leave.
std::vector<std::string> AviurbaImport(const std::string& name) {
    return {"N", name, "1",
            "aviurba_B.txt", "0", "aviurba_W.txt", "1", "aviurba_spp.txt", "1", "aviurba_E.txt",
            "40", "4", "2", "2",                       // OTUs, traits, labels from file, OTUs as rows
            "k", "2 2 2 1", "y", "0",                  // trait types, no trait groups
            "51", "2", "1",                            // communities, labels from file, as rows
            "2",                                       // species codes made by the program
            "11", "2", "5", "k", "1 1 1 1 1 1 1 1 1 1 4", "y", "n",  // E: several types, by communities
            "C", "X"};
}

void CopyAviurba(const e2e::Sandbox& box) {
    for (const char* f : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_E.txt", "aviurba_spp.txt"})
        box.CopyIn(kExamples + "/" + f, f);
}

void CopyMini(const e2e::Sandbox& box) {
    for (const char* f : {"mini_B.txt", "mini_Bcols.txt", "mini_W.txt", "mini_W3.txt", "mini_W_trunc.txt",
                          "mini_Fsim.txt", "mini_Fdist.txt", "mini_Flow.txt", "mini_spp.txt", "mini_E.txt",
                          "mini_Ecomm.txt", "mini_E_bad.txt", "mini_spp_long.txt"})
        box.CopyIn(kData + "/" + f, f);
}

class ImportE2E : public ::testing::Test {
protected:
    void TearDown() override { ResetDataSet(); }
};

}  // namespace

// -------------------------------------------------------------------------------- aviurba

TEST_F(ImportE2E, AviurbaImportThenReopenWithoutAskingForData) {
    e2e::Sandbox box;
    CopyAviurba(box);
    e2e::Result r = box.Run(Script(AviurbaImport("avi")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("DATA FOR SESSION"), std::string::npos);
    EXPECT_NE(r.out.find("SESSION MENU"), std::string::npos);
    EXPECT_EQ(r.out.find("Please check matrix"), std::string::npos);
    EXPECT_EQ(box.ReadFile("aviTrk.txt"), "aviFormda.txt\n07Jul17\n");
    std::set<std::string> files = box.Files();
    EXPECT_EQ(files, (std::set<std::string>{"aviFormda.txt", "aviTrk.txt", "aviurba_B.txt", "aviurba_E.txt",
                                             "aviurba_W.txt", "aviurba_spp.txt"}));

    // O attaches to the session: its data load at once.
    e2e::Result again = box.Run("O\navi\nC\nX\n");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out.find("DATA FOR SESSION"), std::string::npos);
    EXPECT_NE(again.out.find("SESSION MENU"), std::string::npos);

    Load(box, "aviFormda.txt");
    ASSERT_EQ(nch, 4);
    ASSERT_EQ(tcst, 40);
    ASSERT_EQ(ncsm, 51);
    ASSERT_EQ(nenv, 11);
    ASSERT_EQ(nSpp, 40);
    EXPECT_STREQ(dataName, "aviurba_B.txt");
    EXPECT_STREQ(chLabel[0], "feedhab");
    EXPECT_STREQ(chLabel[3], "migratory");
    EXPECT_EQ(chtype[0], 2);
    EXPECT_EQ(chtype[3], 1);
    EXPECT_EQ(onsta[0], 3);
    EXPECT_EQ(onsta[1], 3);
    EXPECT_EQ(onsta[2], 4);
    EXPECT_EQ(onsta[3], 2);
    EXPECT_STREQ(reLabel[0], "s01");
    EXPECT_STREQ(reLabel[50], "s51");
    std::vector<float> b = Numbers(box.Path("aviurba_B.txt").string());
    ASSERT_EQ(b.size(), 160u);
    for (int i = 0; i < 40; i++)
        for (int j = 0; j < 4; j++) ASSERT_EQ(csm_Float[i][j], b[static_cast<size_t>(4 * i + j)]) << i << "," << j;
    // W is held with OTUs as rows: the file's community rows become columns.
    std::vector<float> w = Numbers(box.Path("aviurba_W.txt").string());
    ASSERT_EQ(w.size(), 51u * 40u);
    for (int c = 0; c < 51; c++)
        for (int i = 0; i < 40; i++) ASSERT_EQ(cadat[i][c], w[static_cast<size_t>(40 * c + i)]) << i << "," << c;
    std::vector<float> e = Numbers(box.Path("aviurba_E.txt").string());
    ASSERT_EQ(e.size(), 51u * 11u);
    for (int c = 0; c < 51; c++)
        for (int j = 0; j < 11; j++) ASSERT_EQ(env[c][j], e[static_cast<size_t>(11 * c + j)]) << c << "," << j;
    EXPECT_EQ(optEnvVarType, 5);
    for (int j = 0; j < 10; j++) EXPECT_EQ(envVarType[j], 1);
    EXPECT_EQ(envVarType[10], 4);
    EXPECT_STREQ(envLabel[10], "vegcover");
    EXPECT_STREQ(envName, "aviurba_E.txt");
    EXPECT_STREQ(whichSpp, "aviurba_spp.txt");
    EXPECT_STREQ(spp[0], "Cipy Circus pygargus");
    EXPECT_STREQ(spp[32], "Caca Carduelis carduelis");
    EXPECT_STREQ(spp[33], "CAca Carduelis cannabina");
    for (int i = 0; i < 40; i++)
        for (int s = 0; s < 40; s++) ASSERT_EQ(cstSppMap[i][s], i == s ? '1' : '0');
    for (int s = 0; s < 40; s++)
        for (int c = 0; c < 51; c++) ASSERT_EQ(sppRelMap[s][c], cadat[s][c] != 0 ? '1' : '0');
    EXPECT_FALSE(hasPhylogeny);
    EXPECT_EQ(hasTraitGroups, 0);
}

TEST_F(ImportE2E, OtherSessionsDataAsItIsAndMerged) {
    e2e::Sandbox box;
    CopyAviurba(box);
    ASSERT_EQ(box.Run(Script(AviurbaImport("avi"))).status, 0);
    std::string original = box.ReadFile("aviFormda.txt");

    e2e::Result copy = box.Run("N\ncopy\n2\navi\n1\nC\nX\n");
    ASSERT_EQ(copy.status, 0) << copy.err;
    EXPECT_NE(copy.out.find("SESSION MENU"), std::string::npos);
    EXPECT_EQ(box.ReadFile("copyTrk.txt"), "aviFormda.txt\n07Jul17\n");
    EXPECT_FALSE(box.Exists("copyFormda.txt"));
    EXPECT_EQ(box.ReadFile("aviFormda.txt"), original);

    e2e::Result both = box.Run("N\nboth\n3\navi\navi\nC\nX\n");
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(box.ReadFile("bothTrk.txt"), "bothFormda.txt\n07Jul17\n");
    EXPECT_EQ(box.ReadFile("aviFormda.txt"), original);
    Load(box, "bothFormda.txt");
    EXPECT_EQ(ncsm, 102);
    EXPECT_EQ(tcst, 80);
    EXPECT_EQ(nSpp, 40);  // the same species in both halves
    EXPECT_STREQ(reLabel[51], "s01b");
    EXPECT_STREQ(dataName, "aviFormda.txt aviFormda.txt");
    EXPECT_EQ(cadat[40][51], cadat[0][0]);
    EXPECT_EQ(cadat[40][0], 0.0f);
}

// ------------------------------------------------------------------- small data sets by hand

TEST_F(ImportE2E, MixedTraitsPhylogenySimilaritiesGroupsAndMissingValues) {
    e2e::Sandbox box;
    CopyMini(box);
    e2e::Result r = box.Run(Script({"N", "mini", "1",
                                    "nosuch_B.txt", "mini_B.txt",  // a missing file is asked again
                                    "1", "mini_Fsim.txt", "mini_W.txt", "1", "mini_spp.txt", "1", "mini_E.txt",
                                    "5", "4", "2", "2", "k", "1 2 3 4", "y", "1", "k", "1 1 2 2", "y",
                                    "2",                          // full similarities
                                    "3", "2", "1",                // communities, labels from file, as rows
                                    "2",                          // species codes
                                    "2", "2", "5", "k", "3 2", "y", "t",
                                    "C", "X"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(e2e::Count(r.err, "can't open nosuch_B.txt"), 1);
    EXPECT_EQ(e2e::Count(r.out, "Enter data file name: "), 6);
    EXPECT_NE(r.out.find("\nPlease check matrix W. Sampling unit east has all values zero or missing (-999), which "
                         "will generate unreliable results."),
              std::string::npos);
    EXPECT_EQ(e2e::Count(r.out, "Please check matrix W."), 1);
    EXPECT_NE(r.out.find("\nPlease check matrix E. Sampling unit east has all values missing (-999), which will "
                         "generate unreliable results."),
              std::string::npos);
    EXPECT_NE(r.out.find("Traits:     \t    flying\t      diet\tbodymassgr\t      size\t\n"), std::string::npos);
    EXPECT_NE(r.out.find("   1  a full matrix of phylogenetic distances of 5 OTUs by 5 OTUs (e.g. as given by PHYLOCOM)\n"),
              std::string::npos);
    EXPECT_EQ(box.ReadFile("miniTrk.txt"), "miniFormda.txt\n07Jul17\n");

    Load(box, "miniFormda.txt");
    ASSERT_EQ(nch, 4);
    ASSERT_EQ(tcst, 5);
    ASSERT_EQ(ncsm, 3);
    // A 15-character label keeps its first 10 characters; the next label is not disturbed.
    EXPECT_STREQ(chLabel[2], "bodymassgr");
    EXPECT_STREQ(chLabel[3], "size");
    EXPECT_STREQ(reLabel[1], "southmeado");
    EXPECT_STREQ(reLabel[2], "east");
    const float expB[5][4] = {{1, 1, 2.5f, 1}, {0, 2, -999, 2}, {1, 3, 10, 3}, {1, 1, 4.25f, 2}, {0, 2, 7, 1}};
    const float expW[5][3] = {{1, 0, 0}, {0, 3, 0}, {2, 0, 0}, {0, 1, 0}, {-999, 0, 0}};
    for (int i = 0; i < 5; i++) {
        for (int j = 0; j < 4; j++) EXPECT_EQ(csm_Float[i][j], expB[i][j]) << i << "," << j;
        for (int c = 0; c < 3; c++) EXPECT_EQ(cadat[i][c], expW[i][c]) << i << "," << c;
    }
    for (int j = 0; j < 4; j++) EXPECT_EQ(chtype[j], j + 1);
    EXPECT_EQ(onsta[0], 2);
    EXPECT_EQ(onsta[1], 3);
    EXPECT_EQ(onsta[2], 5);  // -999 counts as a value here
    EXPECT_EQ(onsta[3], 3);
    ASSERT_EQ(hasTraitGroups, 1);
    EXPECT_EQ(traitGroups[0], 1);
    EXPECT_EQ(traitGroups[3], 2);
    ASSERT_TRUE(hasPhylogeny);
    EXPECT_EQ(phylogenyMatrixType, 1);
    EXPECT_DOUBLE_EQ(phylogenyRese[0][1], 0.8);
    EXPECT_DOUBLE_EQ(phylogenyRese[3][2], 0.6);
    EXPECT_DOUBLE_EQ(phylogenyRese[4][4], 1.0);
    ASSERT_EQ(nSpp, 4);
    EXPECT_STREQ(spp[0], "Poan Poa annua");
    EXPECT_STREQ(spp[1], "POan Poa angustifolia");
    EXPECT_STREQ(spp[2], "Feru Festuca rubra");
    EXPECT_STREQ(spp[3], "Cafl Carex flacca");
    const char* expCst[5] = {"1000", "0100", "0010", "1000", "0001"};
    for (int i = 0; i < 5; i++) EXPECT_EQ(std::string(cstSppMap[i], 4), expCst[i]) << i;
    const char* expRel[4] = {"110", "010", "100", "100"};  // -999 counts as present
    for (int s = 0; s < 4; s++) EXPECT_EQ(std::string(sppRelMap[s], 3), expRel[s]) << s;
    ASSERT_EQ(nenv, 2);
    EXPECT_EQ(optEnvVarType, 5);
    EXPECT_EQ(envVarType[0], 3);
    EXPECT_EQ(envVarType[1], 2);
    EXPECT_STREQ(envLabel[0], "pH");
    EXPECT_STREQ(envLabel[1], "moisture");
    const float expE[3][2] = {{5.5f, 1}, {-999, 2}, {-999, -999}};
    for (int c = 0; c < 3; c++)
        for (int j = 0; j < 2; j++) EXPECT_EQ(env[c][j], expE[c][j]) << c << "," << j;
}

TEST_F(ImportE2E, PhylogeneticDistancesTraitColumnsVectorLayoutAndDefaultLabels) {
    e2e::Sandbox box;
    CopyMini(box);
    e2e::Result r = box.Run(Script({"N", "mini2", "1",
                                    "mini_Bcols.txt", "1", "mini_Fdist.txt", "mini_W3.txt", "0", "1",
                                    "mini_Ecomm.txt",
                                    "5", "4", "1", "1", "k", "1 2 3 4", "y", "0",
                                    "1",                                  // full distances
                                    "3", "1", "3",                        // vector per community
                                    "k", "3 3 1", "y",                    // 7 OTUs of 5: refused
                                    "k", "2 -3 1", "y",                   // negative: refused
                                    "k", "2 2 1", "y",
                                    "2", "1", "1", "n",                   // E by communities
                                    "C", "X"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nPhylogenetic distances were normalized to values in the range [0,1] by Dnorm = D/Dmax\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Number of OTUs in each community:\nCommunities:       \t1\t2\t3\t\n"), std::string::npos);
    EXPECT_NE(r.err.find("add up to 7, more than the 5 OTUs"), std::string::npos);
    EXPECT_NE(r.err.find("cannot be negative"), std::string::npos);
    // The third community holds only a missing value.
    EXPECT_EQ(e2e::Count(r.out, "Please check matrix W. Sampling unit 3 has"), 1);
    EXPECT_EQ(e2e::Count(r.out, "Please check matrix W."), 1);

    Load(box, "mini2Formda.txt");
    ASSERT_EQ(tcst, 5);
    ASSERT_EQ(nch, 4);
    EXPECT_STREQ(chLabel[0], "1");
    EXPECT_STREQ(chLabel[3], "4");
    EXPECT_STREQ(reLabel[2], "3");
    EXPECT_EQ(csm_Float[2][2], 10.0f);
    EXPECT_EQ(csm_Float[1][2], -999.0f);
    EXPECT_EQ(csm_Float[4][1], 2.0f);
    ASSERT_TRUE(hasPhylogeny);
    EXPECT_EQ(phylogenyMatrixType, 3);
    EXPECT_DOUBLE_EQ(phylogenyRese[0][1], 0.2);
    EXPECT_DOUBLE_EQ(phylogenyRese[2][3], 0.4);
    EXPECT_DOUBLE_EQ(phylogenyRese[4][0], 1.0);
    // Community 1 fills OTU rows 1-2, community 2 rows 3-4, community 3 row 5.
    const float expW[5][3] = {{1, 0, 0}, {2, 0, 0}, {0, 3, 0}, {0, 1, 0}, {0, 0, -999}};
    for (int i = 0; i < 5; i++)
        for (int c = 0; c < 3; c++) EXPECT_EQ(cadat[i][c], expW[i][c]) << i << "," << c;
    ASSERT_EQ(nenv, 2);
    EXPECT_EQ(optEnvVarType, 1);
    EXPECT_EQ(envVarType[0], 3);
    EXPECT_EQ(envVarType[1], 3);
    EXPECT_STREQ(envLabel[1], "2");
    EXPECT_EQ(env[0][0], 5.5f);
    EXPECT_EQ(env[0][1], 1.0f);
    EXPECT_EQ(env[1][1], 2.0f);
    EXPECT_EQ(env[2][0], -999.0f);
    EXPECT_EQ(nSpp, 0);
    EXPECT_EQ(hasTraitGroups, 0);
}

TEST_F(ImportE2E, PhylogenyAsLowerHalfIsMirroredAndLongSpeciesNameIsCut) {
    e2e::Sandbox box;
    CopyMini(box);
    e2e::Result r = box.Run(Script({"N", "mini3", "1", "mini_B.txt", "1", "mini_Flow.txt", "mini_W.txt", "1",
                                    "mini_spp_long.txt", "0", "5", "4", "2", "2", "k", "1 2 3 4", "y", "0", "3",
                                    "3", "2", "1", "1", "C", "X"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("normalized"), std::string::npos);
    Load(box, "mini3Formda.txt");
    // The first name has 104 characters: 70 are kept and the rest of its line is not a name.
    ASSERT_EQ(nSpp, 5);
    EXPECT_EQ(std::string(spp[0]), std::string("Hieracium pilosella subsp. ") + std::string(43, 'x'));
    EXPECT_STREQ(spp[1], "Poa annua");
    EXPECT_STREQ(spp[4], "Carex nigra");
    ASSERT_TRUE(hasPhylogeny);
    EXPECT_EQ(phylogenyMatrixType, 1);
    const double expF[5][5] = {{1, 0.8, 0.2, 0.2, 0.1}, {0.8, 1, 0.2, 0.2, 0.1}, {0.2, 0.2, 1, 0.6, 0.1},
                               {0.2, 0.2, 0.6, 1, 0.1}, {0.1, 0.1, 0.1, 0.1, 1}};
    for (int i = 0; i < 5; i++)
        for (int k = 0; k < 5; k++) EXPECT_DOUBLE_EQ(phylogenyRese[i][k], expF[i][k]) << i << "," << k;
}

// -------------------------------------------------------------------------------- bad input

namespace {

// An old session whose track file is still empty and which holds a formatted data file from
// an earlier attempt: the failed import must leave both exactly as they were.
void PrepareOldSession(const e2e::Sandbox& box) {
    box.WriteFile("badTrk.txt", "");
    box.WriteFile("badFormda.txt", "an earlier formatted data file\n");
}

void ExpectUntouched(const e2e::Sandbox& box, const std::set<std::string>& before) {
    EXPECT_EQ(box.ReadFile("badTrk.txt"), "");
    EXPECT_EQ(box.ReadFile("badFormda.txt"), "an earlier formatted data file\n");
    EXPECT_EQ(box.Files(), before);  // nothing new, no temporary file left
}

}  // namespace

TEST_F(ImportE2E, TruncatedWEndsWithCode2AndLosesNothing) {
    e2e::Sandbox box;
    CopyMini(box);
    PrepareOldSession(box);
    std::set<std::string> before = box.Files();
    e2e::Result r = box.Run(Script({"O", "bad", "1", "mini_B.txt", "0", "mini_W_trunc.txt", "0", "0",
                                    "5", "4", "2", "2", "k", "1 2 3 4", "y", "0", "3", "2", "1", "x"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\nEnd of file mini_W_trunc.txt\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\nEND OF FILE !!!\n"), std::string::npos);
    ExpectUntouched(box, before);
}

TEST_F(ImportE2E, NonNumericValueInEEndsWithCode2AndLosesNothing) {
    e2e::Sandbox box;
    CopyMini(box);
    PrepareOldSession(box);
    std::set<std::string> before = box.Files();
    e2e::Result r = box.Run(Script({"O", "bad", "1", "mini_B.txt", "0", "mini_W.txt", "0", "1", "mini_E_bad.txt",
                                    "5", "4", "2", "2", "k", "1 2 3 4", "y", "0", "3", "2", "1",
                                    "2", "2", "2", "t", "x"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\nfile mini_E_bad.txt "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\nEND OF FILE !!!\n"), std::string::npos);
    ExpectUntouched(box, before);
}

TEST_F(ImportE2E, CountsBeyondMemoryEndWithCode1AndLoseNothing) {
    e2e::Sandbox box;
    CopyMini(box);
    PrepareOldSession(box);
    std::set<std::string> before = box.Files();
    e2e::Result r = box.Run(Script({"O", "bad", "1", "mini_B.txt", "0", "mini_W.txt", "0", "0",
                                    "2000000000", "2000000000", "x"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\nOUT OF MEMORY !!!\n"), std::string::npos) << r.err;
    ExpectUntouched(box, before);
}
