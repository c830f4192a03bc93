// Data checks of a loaded data set (absent OTUs, species merging and trimming, ranges and
// states), the species maps of the import and the species codes.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/qwlibDim.h"
#include "session/TNXCHECK.h"
#include "session/TNXGLOB.h"
#include "session/TNXIFFM2.h"
#include "session/TNXIFFMT.h"

namespace {

// A data set of the given shape in the globals (B, W, descriptors; species arrays when asked).
void MakeData(int nTraits, int nComm, int nOtu, int nSpecies = 0) {
    ResetDataSet();
    nch = nTraits;
    ncsm = nComm;
    tcst = nOtu;
    nSpp = nSpecies;
    chLabel = dim2Dchar(nch, kLabelSize);
    chtype = dim1Dint(nch);
    chrange = dim1Dfloat(nch);
    onsta = dim1Dint(nch);
    traitGroups = dim1Dint(nch);
    reLabel = dim2Dchar(ncsm, kLabelSize);
    ncst = dim1Dint(ncsm);
    csm_Float = dim2Dfloat(tcst, nch);
    cadat = dim2Dfloat(tcst, ncsm);
    for (int j = 0; j < nch; j++) {
        std::strcpy(chLabel[j], ("t" + std::to_string(j + 1)).c_str());
        chtype[j] = 2;
    }
    for (int c = 0; c < ncsm; c++) std::strcpy(reLabel[c], ("c" + std::to_string(c + 1)).c_str());
    if (nSpp > 0) {
        spp = dim2Dchar(nSpp, kSpeciesNameSize);
        sppRelMap = dim2Dchar(nSpp, ncsm);
        cstSppMap = dim2Dchar(tcst, nSpp);
    }
}

void SetMapRow(char* row, const char* bits) { std::memcpy(row, bits, std::strlen(bits)); }

std::string MapRow(const char* row, int n) { return std::string(row, static_cast<size_t>(n)); }

class DataChecks : public ::testing::Test {
protected:
    void TearDown() override { ResetDataSet(); }
};

}  // namespace

// ------------------------------------------------------------------------------- CheckData

TEST_F(DataChecks, AbsentOtuIsDroppedAndTheOthersMoveUp) {
    MakeData(1, 2, 4);
    chtype[0] = 3;
    const float b[4] = {10, 20, 30, 40};
    const float w[4][2] = {{1, 0}, {0, 0}, {-999, 0}, {0, 2}};
    for (int i = 0; i < 4; i++) {
        csm_Float[i][0] = b[i];
        cadat[i][0] = w[i][0];
        cadat[i][1] = w[i][1];
    }
    CheckData(1);
    ASSERT_EQ(tcst, 3);  // the OTU with only zeros goes; the one with -999 and 0 stays
    EXPECT_FLOAT_EQ(csm_Float[0][0], 10);
    EXPECT_FLOAT_EQ(csm_Float[1][0], 30);
    EXPECT_FLOAT_EQ(csm_Float[2][0], 40);
    EXPECT_FLOAT_EQ(cadat[1][0], -999);
    EXPECT_FLOAT_EQ(cadat[2][1], 2);
    EXPECT_EQ(ncst[0], 2);  // 1 and -999 are values other than 0
    EXPECT_EQ(ncst[1], 1);
    EXPECT_EQ(emptyReleves, 0);
    EXPECT_EQ(onsta[0], 3);
    EXPECT_FLOAT_EQ(chrange[0], 30.0f);
    EXPECT_EQ(csm_Float[3], nullptr);  // released at once
}

TEST_F(DataChecks, DroppedOtuTakesItsPhylogenyRowAndColumnAlong) {
    MakeData(1, 1, 4);
    cadat[0][0] = 1;
    cadat[2][0] = 1;
    cadat[3][0] = 1;  // OTU 2 (index 1) is absent
    hasPhylogeny = true;
    phylogenyMatrixType = 1;
    phylogenyRese = dim2Double(4, 4);
    for (int i = 0; i < 4; i++)
        for (int k = 0; k < 4; k++) phylogenyRese[i][k] = 10 * i + k;
    CheckData(0);
    ASSERT_EQ(tcst, 3);
    const int kept[3] = {0, 2, 3};
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 3; k++) EXPECT_DOUBLE_EQ(phylogenyRese[i][k], 10 * kept[i] + kept[k]) << i << "," << k;
}

TEST_F(DataChecks, EmptyCommunityIsCountedAndKept) {
    MakeData(1, 3, 2);
    cadat[0][0] = 1;
    cadat[1][2] = 4;
    CheckData(0);
    EXPECT_EQ(ncsm, 3);
    EXPECT_EQ(emptyReleves, 1);
    EXPECT_EQ(ncst[1], 0);
}

TEST_F(DataChecks, RepeatedSpeciesAreMergedIncludingTheLastPosition) {
    MakeData(1, 3, 4, 4);
    const char* names[4] = {"a", "b", "a", "a"};
    for (int s = 0; s < 4; s++) std::strcpy(spp[s], names[s]);
    const char* cst[4] = {"1000", "0100", "0010", "0001"};
    const char* rel[4] = {"100", "010", "001", "001"};
    for (int i = 0; i < 4; i++) {
        SetMapRow(cstSppMap[i], cst[i]);
        SetMapRow(sppRelMap[i], rel[i]);
    }
    cadat[0][0] = 1;
    cadat[1][1] = 1;
    cadat[2][2] = 1;
    cadat[3][2] = 1;
    CheckData(0);
    ASSERT_EQ(nSpp, 2);
    EXPECT_STREQ(spp[0], "a");
    EXPECT_STREQ(spp[1], "b");
    EXPECT_EQ(MapRow(cstSppMap[0], 2), "10");
    EXPECT_EQ(MapRow(cstSppMap[1], 2), "01");
    EXPECT_EQ(MapRow(cstSppMap[2], 2), "10");
    EXPECT_EQ(MapRow(cstSppMap[3], 2), "10");
    EXPECT_EQ(MapRow(sppRelMap[0], 3), "101");
}

TEST_F(DataChecks, TraitSpGetsTheRowOfTheSpeciesFirstOtu) {
    MakeData(3, 1, 3, 2);
    std::strcpy(chLabel[0], "sp");
    std::strcpy(chLabel[2], "sp");
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) csm_Float[i][j] = 7;
    SetMapRow(cstSppMap[0], "10");
    SetMapRow(cstSppMap[1], "01");
    SetMapRow(cstSppMap[2], "10");
    CheckCSTsSameSpecies();
    // Only the last trait labelled "sp" is filled.
    EXPECT_FLOAT_EQ(csm_Float[0][0], 7);
    EXPECT_FLOAT_EQ(csm_Float[0][2], 0);
    EXPECT_FLOAT_EQ(csm_Float[1][2], 1);
    EXPECT_FLOAT_EQ(csm_Float[2][2], 0);
}

TEST_F(DataChecks, WithoutTraitSpTheTraitsStayAsTheyAre) {
    MakeData(2, 1, 2, 1);
    csm_Float[0][0] = 3;
    csm_Float[1][1] = 4;
    SetMapRow(cstSppMap[0], "1");
    SetMapRow(cstSppMap[1], "1");
    CheckCSTsSameSpecies();
    EXPECT_FLOAT_EQ(csm_Float[0][0], 3);
    EXPECT_FLOAT_EQ(csm_Float[1][1], 4);
    EXPECT_FLOAT_EQ(csm_Float[1][0], 0);
}

TEST_F(DataChecks, TrimSpeciesRemovesUnusedSpeciesAndReportsOrphanOtus) {
    // Species: s0 has OTU 0; s1 has no OTU; s2 has OTU 1 but occurs nowhere; s3 has OTU 2,
    // which is marked present only where OTU 2 has no value.
    MakeData(1, 2, 3, 4);
    const char* names[4] = {"s0", "s1", "s2", "s3"};
    for (int s = 0; s < 4; s++) std::strcpy(spp[s], names[s]);
    SetMapRow(cstSppMap[0], "1000");
    SetMapRow(cstSppMap[1], "0010");
    SetMapRow(cstSppMap[2], "0001");
    SetMapRow(sppRelMap[0], "10");
    SetMapRow(sppRelMap[1], "11");
    SetMapRow(sppRelMap[2], "00");
    SetMapRow(sppRelMap[3], "10");
    cadat[0][0] = 2;
    cadat[1][1] = 1;
    cadat[2][1] = 5;
    ::testing::internal::CaptureStderr();
    TrimSpecies(3);
    std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(nSpp, 2);
    EXPECT_STREQ(spp[0], "s0");
    EXPECT_STREQ(spp[1], "s3");
    EXPECT_EQ(spp[2], nullptr);
    EXPECT_EQ(sppRelMap[3], nullptr);
    EXPECT_EQ(MapRow(cstSppMap[0], 2), "10");
    EXPECT_EQ(MapRow(cstSppMap[1], 2), "00");
    EXPECT_EQ(MapRow(cstSppMap[2], 2), "00");  // s3 is present only in community 1
    EXPECT_NE(err.find("OTU 2 is left without a species"), std::string::npos);
    EXPECT_NE(err.find("OTU 3 is left without a species"), std::string::npos);
    EXPECT_EQ(err.find("OTU 1 "), std::string::npos);
}

// ----------------------------------------------------------------------- ranges and states

TEST_F(DataChecks, RangeStatesUsesPresentValuesOnly) {
    MakeData(4, 1, 3);
    chtype[0] = chtype[1] = chtype[2] = 3;
    chtype[3] = 2;
    const float v[3][4] = {{2, -7, -999, 1}, {5, -2, -999, 9}, {-999, -999, -999, 4}};
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 4; j++) csm_Float[i][j] = v[i][j];
    chrange[3] = 123.0f;
    RangeStates(nch, tcst, csm_Float, chtype, chrange);
    EXPECT_FLOAT_EQ(chrange[0], 3.0f);  // 2, 5, -999
    EXPECT_FLOAT_EQ(chrange[1], 5.0f);  // -7, -2
    EXPECT_FLOAT_EQ(chrange[2], 0.0f);  // no present value
    EXPECT_FLOAT_EQ(chrange[3], 123.0f);  // not an interval trait: untouched
}

TEST_F(DataChecks, RangeStatesOfConstantTraitIsZero) {
    MakeData(1, 1, 2);
    chtype[0] = 3;
    RangeStates(nch, tcst, csm_Float, chtype, chrange);
    EXPECT_EQ(chrange[0], 0.0f);
}

TEST_F(DataChecks, CountStatesCountsDistinctValuesWhateverTheirSize) {
    MakeData(3, 1, 4);
    const float v[4][3] = {{1, 1e8f, 0}, {1, 1e8f, 0}, {2, 0, 0}, {-999, 1e8f, 0}};
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 3; j++) csm_Float[i][j] = v[i][j];
    CountStates(nch, tcst, onsta, csm_Float);
    EXPECT_EQ(onsta[0], 3);  // 1, 2 and -999
    EXPECT_EQ(onsta[1], 2);  // 1e8 is a value like any other
    EXPECT_EQ(onsta[2], 1);
}

// -------------------------------------------------------------------------- species maps

TEST_F(DataChecks, MatchSpeciesCstMergesRowsWithEqualKeys) {
    nSpp = 3;
    char r0[] = "100", r1[] = "010", r2[] = "001";
    char* map[3] = {r0, r1, r2};
    int key[3] = {1, 2, 1};
    MatchSpeciesCST(3, map, key);
    EXPECT_EQ(MapRow(map[0], 3), "101");
    EXPECT_EQ(MapRow(map[1], 3), "010");
    EXPECT_EQ(key[0], 1);
    EXPECT_EQ(key[1], 2);
    EXPECT_EQ(map[2], r2);
    nSpp = 0;
}

TEST_F(DataChecks, MatchSpeciesCstPooledOrsTheRowsOfEachGroup) {
    nSpp = 3;
    char i0[] = "100", i1[] = "001", i2[] = "010";
    char* mapIn[3] = {i0, i1, i2};
    char o0[] = "xxx", o1[] = "xxx";
    char* mapOut[2] = {o0, o1};
    int group[3] = {2, 2, 1};
    MatchSpeciesCSTPooled(3, 2, mapIn, mapOut, group);
    EXPECT_EQ(MapRow(mapOut[0], 3), "010");
    EXPECT_EQ(MapRow(mapOut[1], 3), "101");
    nSpp = 0;
}

TEST_F(DataChecks, StateCountersOnTraitStrings) {
    char s0[] = "0102", s1[] = "0103", s2[] = "0202";
    char* strings[3] = {s0, s1, s2};
    char** states = dim2Dchar(3, 3);
    int n = 0;
    CountStatesChar(0, 3, &n, strings, states);
    EXPECT_EQ(n, 2);
    EXPECT_STREQ(states[0], "01");
    EXPECT_STREQ(states[1], "02");
    int freq[3] = {9, 9, 9};
    CountStatesFreqChar(1, 3, &n, strings, states, freq);
    EXPECT_EQ(n, 2);
    EXPECT_STREQ(states[0], "02");
    EXPECT_STREQ(states[1], "03");
    EXPECT_EQ(freq[0], 2);
    EXPECT_EQ(freq[1], 1);
    EXPECT_EQ(freq[2], 0);
    int group[3] = {1, 2, 1};
    CountStatesFreqGroup(0, 3, &n, strings, states, freq, 3, group, 1);
    EXPECT_EQ(n, 2);  // "01" and "02" among rows 0 and 2
    EXPECT_EQ(freq[0], 1);
    EXPECT_EQ(freq[1], 1);
    CountStatesFreqGroup(0, 0, &n, strings, states, freq, 3, group, 1);
    EXPECT_EQ(n, 0);
    free2D(states, 3);
}

TEST_F(DataChecks, IdenticalLabelsCompareFourCharacters) {
    char a[] = "abcdX", b[] = "zzzz";
    char* labels[2] = {b, a};
    EXPECT_EQ(CheckIdenticalLabels("abcdY", labels, 2), 1);
    EXPECT_EQ(CheckIdenticalLabels("abce", labels, 2), 0);
    EXPECT_EQ(CheckIdenticalLabels("abcd", labels, 0), 0);
}

// ------------------------------------------------------------------- species of the import

namespace {

void MakeSpecies(const std::vector<std::string>& names, int nComm = 1) {
    const int n = static_cast<int>(names.size());
    MakeData(1, nComm, n);
    spp = dim2Dchar(n, kSpeciesNameSize);
    cstSppMap = dim2Dchar(n, n);
    for (int i = 0; i < n; i++) std::snprintf(spp[i], kSpeciesNameSize, "%s", names[static_cast<size_t>(i)].c_str());
}

// The species arrays of MakeSpecies are sized by the OTUs; release them so.
void ReleaseSpecies() {
    free2D(spp, tcst);
    spp = nullptr;
    free2D(sppRelMap, nSpp);
    sppRelMap = nullptr;
    nSpp = 0;
}

}  // namespace

TEST_F(DataChecks, CheckSpeciesGivesOneColumnPerDistinctName) {
    MakeSpecies({"Poa annua", "Carex flacca", "Poa annua"});
    CheckSpecies(1);
    ASSERT_EQ(nSpp, 2);
    EXPECT_STREQ(spp[0], "Poa annua");
    EXPECT_STREQ(spp[1], "Carex flacca");
    EXPECT_EQ(MapRow(cstSppMap[0], 3), "100");
    EXPECT_EQ(MapRow(cstSppMap[1], 3), "010");
    EXPECT_EQ(MapRow(cstSppMap[2], 3), "100");
    ReleaseSpecies();
}

TEST_F(DataChecks, SpeciesCodesAreMadeUnique) {
    MakeSpecies({"Poa annua", "Poa angustifolia", "Poaceae", "Poales", "Poa annua x", "Carex flacca"});
    CheckSpecies(2);
    ASSERT_EQ(nSpp, 6);
    EXPECT_STREQ(spp[0], "Poan Poa annua");
    // Poan is taken; upper-casing the 1st character changes nothing, the 2nd gives POan.
    EXPECT_STREQ(spp[1], "POan Poa angustifolia");
    // No blank after the second character: a 2-character code.
    EXPECT_STREQ(spp[2], "Po Poaceae");
    EXPECT_STREQ(spp[3], "PO Poales");
    // Poan, POan, then POAn.
    EXPECT_STREQ(spp[4], "POAn Poa annua x");
    EXPECT_STREQ(spp[5], "Cafl Carex flacca");
    ReleaseSpecies();
}

TEST_F(DataChecks, SpeciesCodesStayUniqueAfterTheEightChanges) {
    std::vector<std::string> names;
    for (int k = 0; k < 12; k++) names.push_back("Abc def" + std::string(static_cast<size_t>(k + 1), 'x'));
    MakeSpecies(names);
    CheckSpecies(2);
    ASSERT_EQ(nSpp, 12);
    for (int a = 0; a < 12; a++) {
        EXPECT_LE(std::strlen(spp[a]), 70u);
        for (int b = a + 1; b < 12; b++) EXPECT_NE(std::string(spp[a], 4), std::string(spp[b], 4)) << a << " " << b;
    }
    ReleaseSpecies();
}

TEST_F(DataChecks, LongSpeciesNameIsCutToSeventyCharacters) {
    std::string longName = "Averyveryverylonggenusname " + std::string(80, 'q');
    MakeSpecies({longName});
    CheckSpecies(2);
    EXPECT_EQ(std::strlen(spp[0]), 70u);
    EXPECT_EQ(std::string(spp[0], 5), "Avqq ");
    ReleaseSpecies();
}

TEST_F(DataChecks, SpeciesReleveMapCountsMissingValuesAsPresent) {
    MakeSpecies({"a", "b", "a"}, 3);
    cadat[0][0] = 1;
    cadat[1][1] = -999;
    cadat[2][2] = 0.5f;
    CheckSpecies(1);
    sppRelMap = dim2Dchar(nSpp, ncsm);
    SpeciesReleveMap();
    EXPECT_EQ(MapRow(sppRelMap[0], 3), "101");
    EXPECT_EQ(MapRow(sppRelMap[1], 3), "010");
    ReleaseSpecies();
}
