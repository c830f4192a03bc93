// Merging the formatted data of two sessions: the merged matrices, the "b" of reused
// community labels, and the refusals, which leave the loaded data set as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "model_fixture.h"
#include "session/TNXGLOB.h"
#include "session/TNXIFFM2.h"

namespace {

struct Set {
    std::vector<std::string> traits{"flying", "mass"};
    std::vector<int> types{1, 3};
    std::vector<std::string> communities{"north", "south"};
    std::vector<std::vector<float>> B{{1, 2.5f}, {0, 4}};   // OTUs by traits
    std::vector<std::vector<float>> W{{1, 0}, {0, 3}};      // OTUs by communities
    std::vector<std::string> variables{"pH"};
    std::vector<std::vector<float>> E{{5}, {6}};            // communities by variables
    std::vector<std::string> species{"Poa annua", "Carex flacca"};
    std::vector<std::string> otuSpecies{"10", "01"};       // OTU-species map rows
    int groups = 1;
    int smw = 1;
};

// Writes the set as the formatted data file `name` (through the globals) and releases it.
void WriteSet(const Set& s, const char* name) {
    ResetDataSet();
    std::snprintf(dataName, sizeof dataName, "%s", name);
    nch = static_cast<int>(s.traits.size());
    ncsm = static_cast<int>(s.communities.size());
    tcst = static_cast<int>(s.B.size());
    nenv = static_cast<int>(s.variables.size());
    nSpp = static_cast<int>(s.species.size());
    chLabel = dim2Dchar(nch, kLabelSize);
    chtype = dim1Dint(nch);
    chrange = dim1Dfloat(nch);
    onsta = dim1Dint(nch);
    traitGroups = dim1Dint(nch);
    for (int j = 0; j < nch; j++) {
        std::strcpy(chLabel[j], s.traits[static_cast<size_t>(j)].c_str());
        chtype[j] = s.types[static_cast<size_t>(j)];
        traitGroups[j] = s.groups;
    }
    hasTraitGroups = 1;
    reLabel = dim2Dchar(ncsm, kLabelSize);
    for (int c = 0; c < ncsm; c++) std::strcpy(reLabel[c], s.communities[static_cast<size_t>(c)].c_str());
    ncst = dim1Dint(ncsm);
    csm_Float = dim2Dfloat(tcst, nch);
    cadat = dim2Dfloat(tcst, ncsm);
    for (int i = 0; i < tcst; i++) {
        for (int j = 0; j < nch; j++) csm_Float[i][j] = s.B[static_cast<size_t>(i)][static_cast<size_t>(j)];
        for (int c = 0; c < ncsm; c++) cadat[i][c] = s.W[static_cast<size_t>(i)][static_cast<size_t>(c)];
    }
    if (nenv > 0) {
        optEnvVarType = 2;
        envVarType = dim1Dint(nenv);
        envLabel = dim2Dchar(nenv, kLabelSize);
        for (int j = 0; j < nenv; j++) {
            envVarType[j] = 3;
            std::strcpy(envLabel[j], s.variables[static_cast<size_t>(j)].c_str());
        }
        std::snprintf(envName, sizeof envName, "E_%s", name);
        env = dim2Dfloat(ncsm, nenv);
        for (int c = 0; c < ncsm; c++)
            for (int j = 0; j < nenv; j++) env[c][j] = s.E[static_cast<size_t>(c)][static_cast<size_t>(j)];
    }
    if (nSpp > 0) {
        std::strcpy(whichSpp, "spp.txt");
        spp = dim2Dchar(nSpp, kSpeciesNameSize);
        sppRelMap = dim2Dchar(nSpp, ncsm);
        cstSppMap = dim2Dchar(tcst, nSpp);
        for (int k = 0; k < nSpp; k++) {
            std::strcpy(spp[k], s.species[static_cast<size_t>(k)].c_str());
            std::memset(sppRelMap[k], '0', static_cast<size_t>(ncsm));
        }
        for (int i = 0; i < tcst; i++) {
            std::memcpy(cstSppMap[i], s.otuSpecies[static_cast<size_t>(i)].c_str(), static_cast<size_t>(nSpp));
            for (int k = 0; k < nSpp; k++)
                for (int c = 0; c < ncsm; c++)
                    if (cstSppMap[i][k] == '1' && cadat[i][c] != 0) sppRelMap[k][c] = '1';
        }
    }
    SMWSize = s.smw;
    WriteFormda(tcst, name, dataName, csm_Float, cadat);
    ResetDataSet();
}

void LoadFirst(const char* name) {
    std::snprintf(whichFormda, sizeof whichFormda, "%s", name);
    OpenFormda(1);
    std::snprintf(dataName, sizeof dataName, "%s", name);
}

class MergeTest : public tnxtest::TempDirTest {
protected:
    void SetUp() override {
        tnxtest::TempDirTest::SetUp();
        std::strcpy(sessionName, "m");
        volumeName[0] = '\0';
    }
    void TearDown() override {
        ResetDataSet();
        tnxtest::TempDirTest::TearDown();
    }
    // Merges and returns the result with what was printed.
    int Merge(const char* second, std::string* printed) {
        ::testing::internal::CaptureStdout();
        int r = MergeFormda(second);
        *printed = ::testing::internal::GetCapturedStdout();
        return r;
    }
};

}  // namespace

TEST_F(MergeTest, MergedDataSetHasBothSessionsInTheirOwnRowsAndColumns) {
    Set a;
    Set b;
    b.communities = {"north", "west"};
    b.B = {{0, 7}, {1, 8}, {1, 9}};
    b.W = {{2, 0}, {0, 0}, {0, 5}};  // the second OTU occurs nowhere
    b.otuSpecies = {"10", "01", "01"};
    b.E = {{7}, {-999}};
    WriteSet(a, "aFormda.txt");
    WriteSet(b, "bFormda.txt");
    LoadFirst("aFormda.txt");
    std::string printed;
    ASSERT_EQ(Merge("bFormda.txt", &printed), 1) << printed;

    EXPECT_STREQ(dataName, "aFormda.txt bFormda.txt");
    EXPECT_STREQ(whichFormda, "mFormda.txt");
    ASSERT_EQ(ncsm, 4);
    EXPECT_STREQ(reLabel[0], "north");
    EXPECT_STREQ(reLabel[1], "south");
    EXPECT_STREQ(reLabel[2], "northb");  // reused label
    EXPECT_STREQ(reLabel[3], "west");
    ASSERT_EQ(tcst, 4);  // 2 + 3, less the OTU without any value
    const float expB[4][2] = {{1, 2.5f}, {0, 4}, {0, 7}, {1, 9}};
    const float expW[4][4] = {{1, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 5}};
    for (int i = 0; i < 4; i++) {
        for (int j = 0; j < 2; j++) EXPECT_EQ(csm_Float[i][j], expB[i][j]) << i << "," << j;
        for (int c = 0; c < 4; c++) EXPECT_EQ(cadat[i][c], expW[i][c]) << i << "," << c;
    }
    for (int c = 0; c < 4; c++) EXPECT_EQ(ncst[c], 1);
    EXPECT_EQ(onsta[1], 4);
    EXPECT_FLOAT_EQ(chrange[1], 9 - 2.5f);
    ASSERT_EQ(nenv, 1);
    EXPECT_FLOAT_EQ(env[2][0], 7);
    EXPECT_FLOAT_EQ(env[3][0], -999);
    EXPECT_STREQ(envName, "E_aFormda.txt E_bFormda.txt");
    // The same species names of the two sessions become one species.
    ASSERT_EQ(nSpp, 2);
    EXPECT_STREQ(spp[0], "Poa annua");
    EXPECT_STREQ(spp[1], "Carex flacca");
    EXPECT_EQ(std::string(sppRelMap[0], 4), "1010");
    EXPECT_EQ(std::string(sppRelMap[1], 4), "0101");
    EXPECT_EQ(std::string(cstSppMap[2], 2), "10");
    EXPECT_EQ(std::string(cstSppMap[3], 2), "01");
    EXPECT_EQ(hasTraitGroups, 1);
    EXPECT_FALSE(hasPhylogeny);

    // The written file holds the same data set.
    ResetDataSet();
    std::strcpy(whichFormda, "mFormda.txt");
    OpenFormda(1);
    EXPECT_EQ(tcst, 4);
    EXPECT_EQ(ncsm, 4);
    EXPECT_STREQ(reLabel[2], "northb");
    EXPECT_EQ(cadat[3][3], 5);
    EXPECT_EQ(std::string(sppRelMap[1], 4), "0101");
    EXPECT_STREQ(dataName, "aFormda.txt bFormda.txt");
}

TEST_F(MergeTest, RefusalsLeaveTheLoadedDataAsTheyWere) {
    Set a;
    WriteSet(a, "aFormda.txt");
    struct Case {
        Set s;
        const char* message;
    };
    std::vector<Case> cases;
    {
        Case c{a, "\nThe number of traits do not match.\n\n"};
        c.s.traits = {"flying"};
        c.s.types = {1};
        c.s.B = {{1}, {0}};
        cases.push_back(c);
    }
    {
        Case c{a, "\nLabels for traits do not match (or their order).\n\n"};
        c.s.traits = {"mass", "flying"};
        cases.push_back(c);
    }
    {
        Case c{a, "\nTrait types do not match.\n\n"};
        c.s.types = {1, 4};
        cases.push_back(c);
    }
    {
        Case c{a, "\nThe number of environmental variables do not match.\n\n"};
        c.s.variables = {};
        cases.push_back(c);
    }
    {
        Case c{a, "\nLabels for environmental variables do not match.\n\n"};
        c.s.variables = {"alt"};
        cases.push_back(c);
    }
    {
        Case c{a, "\nOne session has species names and the other not.\nBoth files must have or not have species names.\n\n"};
        c.s.species = {};
        cases.push_back(c);
    }
    int k = 0;
    for (Case& c : cases) {
        std::string name = "c" + std::to_string(k++) + "Formda.txt";
        WriteSet(c.s, name.c_str());
        LoadFirst("aFormda.txt");
        float** b = csm_Float;
        char** labels = reLabel;
        std::string printed;
        EXPECT_EQ(Merge(name.c_str(), &printed), 0);
        EXPECT_EQ(printed, c.message);
        EXPECT_EQ(csm_Float, b);
        EXPECT_EQ(reLabel, labels);
        EXPECT_EQ(tcst, 2);
        EXPECT_EQ(ncsm, 2);
        EXPECT_STREQ(dataName, "aFormda.txt");
        EXPECT_FALSE(std::filesystem::exists("mFormda.txt"));
        ResetDataSet();
    }
}

TEST_F(MergeTest, DifferentCoverAbundanceCodesAreRefused) {
    Set a;
    WriteSet(a, "aFormda.txt");
    // The same file with another value among the seven codes.
    std::string text = Read("aFormda.txt");
    size_t p = text.find("0\t0\t0\t0\t0\t0\t0\t\n");
    ASSERT_NE(p, std::string::npos);
    text.replace(p, 2, "5\t");
    Write("cFormda.txt", text);
    LoadFirst("aFormda.txt");
    std::string printed;
    EXPECT_EQ(Merge("cFormda.txt", &printed), 0);
    EXPECT_EQ(printed, "\nTranslating values for cover-abundance scale codes do not match.\n\n");
}

TEST_F(MergeTest, LongReusedLabelIsRefused) {
    Set a;
    a.communities = {"tenletters", "south"};
    Set b = a;
    b.communities = {"tenletters", "x"};
    WriteSet(a, "aFormda.txt");
    WriteSet(b, "bFormda.txt");
    LoadFirst("aFormda.txt");
    std::string printed;
    EXPECT_EQ(Merge("bFormda.txt", &printed), 0);
    EXPECT_EQ(printed,
              "\b\nThere are releve labels in the second session that are identical to\n"
              "labels in the first session. Change them (or reduce the second\n"
              "session labels length to 9 letters or digits) and try again.\n");
    EXPECT_STREQ(reLabel[0], "tenletters");
    EXPECT_EQ(ncsm, 2);
}

TEST_F(MergeTest, LabelWithItsBMustNotMeetAnotherLabel) {
    Set a;
    a.communities = {"A", "Ab"};
    Set b = a;
    b.communities = {"A", "x"};
    WriteSet(a, "aFormda.txt");
    WriteSet(b, "bFormda.txt");
    LoadFirst("aFormda.txt");
    std::string printed;
    EXPECT_EQ(Merge("bFormda.txt", &printed), 0);
    EXPECT_NE(printed.find("renamed with \"b\""), std::string::npos);
    EXPECT_EQ(ncsm, 2);
    EXPECT_FALSE(std::filesystem::exists("mFormda.txt"));
}

TEST_F(MergeTest, DifferentTraitGroupsAreDroppedAndWindowSizeKeptWhenEqual) {
    Set a;
    a.smw = 2;
    Set b = a;
    b.groups = 3;
    b.communities = {"e", "f"};
    WriteSet(a, "aFormda.txt");
    WriteSet(b, "bFormda.txt");
    LoadFirst("aFormda.txt");
    std::string printed;
    ASSERT_EQ(Merge("bFormda.txt", &printed), 1);
    EXPECT_EQ(hasTraitGroups, 0);
    EXPECT_EQ(SMWSize, 2);
    EXPECT_NE(printed.find("trait groups"), std::string::npos);
}
