// The older form of the formatted data file, the trait codes, and the checks of the string layout of the
// traits.
#include "session/TNXIFFM2OLD.h"
#include "session/TNXIFFMTOLD.h"
#include "session/TNXIFPICK.h"
#include "session/model/TNXCHECK.h"
#include "session_fixture.h"

#include <cmath>

using namespace tnxtest;

namespace {

// A data set of n OTUs with the traits "size" (interval) and "sp", 2 communities, no E, species or phylogeny.
void MakeData(int n) {
    ResetDataSet();
    nch = 2;
    ncsm = 2;
    tcst = n;
    chLabel = dim2Dchar(2, kLabelSize);
    std::strcpy(chLabel[0], "size");
    std::strcpy(chLabel[1], "sp");
    chtype = dim1Dint(2);
    chtype[0] = 3;
    chtype[1] = 2;
    chrange = dim1Dfloat(2);
    onsta = dim1Dint(2);
    reLabel = dim2Dchar(2, kLabelSize);
    std::strcpy(reLabel[0], "n");
    std::strcpy(reLabel[1], "s");
    ncst = dim1Dint(2);
    csm_Float = dim2Dfloat(n, 2);
    cadat = dim2Dfloat(n, 2);
}

std::string WithoutTimeStamp(const std::string& t) { return t.substr(0, t.rfind('\n', t.size() - 2) + 1); }

using OldFormda = TempDirTest;

}  // namespace

// Digits 0..99, and under "sp" the base-62 species codes 0..3843; everything else has no code.
TEST_F(OldFormda, TraitCodesBothSidesOfEachBound) {
    const std::tuple<float, bool, const char*> cases[] = {
        {0, false, "00"}, {7, false, "07"},   {99, false, "99"}, {100, false, ""},  {-1, false, ""},
        {2.5, false, ""}, {std::nanf(""), false, ""},   {-999, false, ""}, {10, true, "0A"},  {61, true, "0z"},
        {62, true, "10"}, {3843, true, "zz"}, {3844, true, ""},  {-1, true, ""},    {0.5f, true, ""}};
    for (const auto& [v, species, code] : cases) {
        char pair[2] = {'?', '?'};
        EXPECT_EQ(EncodeTraitCode(v, species, pair), *code != '\0') << v;
        EXPECT_EQ(std::string(pair, 2), *code ? code : "??") << v;
        float back = -1;
        if (*code) {
            EXPECT_TRUE(DecodeTraitCode(code, species, &back) && back == v) << code;
        }
    }
    float v = 0;
    for (const char* pair : {"0A", "-1", " 1", "1.", "z!"}) EXPECT_FALSE(DecodeTraitCode(pair, false, &v)) << pair;
    EXPECT_FALSE(DecodeTraitCode("z!", true, &v));
}

// The older form by hand: ranges "%2g", OTUs per community "%3d", the codes "%g", one word of codes per OTU.
TEST_F(OldFormda, OlderWriterWritesEveryItemInItsForm) {
    MakeData(2);
    chrange[0] = 12.5f;
    onsta[0] = onsta[1] = 2;
    ncst[0] = 1;
    ncst[1] = 2;
    for (int k = 0; k < 7; k++) ca_code[k] = k == 0 ? 0.5f : static_cast<float>(k);
    const float B[2][2] = {{7, 10}, {99, 3843}}, W[2][2] = {{1.5f, 0}, {0, 2}};
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 2; j++) csm_Float[i][j] = B[i][j], cadat[i][j] = W[i][j];
    WriteFormda_OLD(2, "old.txt", "old data", csm_Float, cadat);
    EXPECT_EQ(WithoutTimeStamp(Read("old.txt")),
              "old data \n2 \nsize\tsp\t\n 3\t 2\t\n12.5\t 0\t\n 2\t 2\t\n2 \nn\ts\t\n2 \n  1\t  2\t\n"
              "0.5\t1\t2\t3\t4\t5\t6\t\n\n070A\t  1.5\t    0\t\n99zz\t    0\t    2\t\n\n0 \n0 \nSMW 1\n0\n");
}

// An "sp" trait past 10 species (and to the last code) reloads through both loaders.
TEST_F(OldFormda, OlderFormRoundTripsWithSpeciesPastTen) {
    const Floats sp = {0, 9, 10, 35, 36, 61, 62, 100, 999, 3000, 3843, 5};
    MakeData(12);
    for (int i = 0; i < 12; i++) {
        csm_Float[i][0] = static_cast<float>(8 * i);
        csm_Float[i][1] = sp[static_cast<size_t>(i)];
        cadat[i][0] = 0.25f * static_cast<float>(i);
        cadat[i][1] = -999;
    }
    const Floats B = Get(csm_Float, 12, 2), W = Get(cadat, 12, 2);
    WriteFormda_OLD(12, "old.txt", "d", csm_Float, cadat);
    LoadFormda("old.txt");
    OpenFormda_OLD(1);
    EXPECT_EQ(Get(csm_Float, 12, 2), B);
    EXPECT_EQ(Get(cadat, 12, 2), W);
    EXPECT_EQ(GetRows(csm, 12)[2] + GetRows(csm, 12)[10], "160A80zz");
    LoadFormda("old.txt");  // the live loader reads it the same way
    EXPECT_EQ(Get(csm_Float, 12, 2), B);
    // The block form keeps the same traits and W.
    tarnexInput t;
    InitTarnexInput(&t, "blocks.txt");
    t.has[kBlockTraits] = t.has[kBlockCommunities] = 1;
    t.dims[kDimOtus] = 12;
    t.dims[kDimTraits] = t.dims[kDimCommunities] = 2;
    std::swap(t.B, csm_Float);
    std::swap(t.W, cadat);
    std::swap(t.chLabel, chLabel);
    std::swap(t.reLabel, reLabel);
    std::swap(t.chtype, chtype);
    WriteFormda(&t);
    FreeTarnexInput(&t);
    OpenFormda(&t, 1);
    EXPECT_EQ(Get(t.B, 12, 2), B);
    EXPECT_EQ(Get(t.W, 12, 2), W);
    EXPECT_EQ(GetRows(t.chLabel, 2), (Strings{"size", "sp"}));
    FreeTarnexInput(&t);
}

// The loaders: codes are digits except under "sp"; the older loader refuses a file with a version word.
TEST_F(OldFormda, LoadersReadCodesOnlyInTheirForm) {
    const std::string head = "d\n2\nsize\tsp\t\n3\t2\t\n0\t0\t\n1\t1\t\n1\nn\t\n1\n0\t\n0\t0\t0\t0\t0\t0\t0\t\n";
    Write("sp.txt", head + "000A\t1\t\n0\n0\n");
    LoadFormda("sp.txt");
    EXPECT_EQ(Get(csm_Float, 1, 2), (Floats{0, 10}));  // "0A" is a code under "sp" only
    for (const char* word : {"0A00", "-100", "0100x"}) {
        Write("bad.txt", head + word + "\t1\t\n0\n0\n");
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(CodeOf([] { LoadFormda("bad.txt"); }), 2) << word;
        ::testing::internal::GetCapturedStderr();
    }
    Write("new.txt", FiveOtus(false));
    std::strcpy(whichFormda, "new.txt");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(CodeOf([] { OpenFormda_OLD(1); }), 2);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "\nfile new.txt ");
}

// The species appended as a trait: 1-based numbers as values, 0-based codes on the strings.
TEST_F(OldFormda, SpeciesAppendedAsATrait) {
    MakeData(3);
    nSpp = 2;
    cstSppMap = dim2Dchar(3, 4);
    const char* species[3] = {"10", "01", "10"};  // species 1, 2, 1
    for (int i = 0; i < 3; i++) std::strcpy(cstSppMap[i], species[i]);
    for (int i = 0; i < 3; i++) csm_Float[i][0] = csm_Float[i][1] = static_cast<float>(i);
    AddSpeciesChar();
    ASSERT_EQ(nch, 3);
    EXPECT_EQ(Get(csm_Float, 3, 3), (Floats{0, 0, 1, 1, 1, 2, 2, 2, 1}));
    EXPECT_EQ((Strings{chLabel[2]}), (Strings{"sp"}));
    EXPECT_EQ(Ints(chtype, chtype + 3), (Ints{3, 2, 2}));
    BuildTraitCodes();
    AddSpeciesChar_OLD();
    EXPECT_EQ(GetRows(csm, 3), (Strings{"00000100", "01010201", "02020100"}));
    EXPECT_EQ(csm_Float, nullptr);
    // A species number past 3843 has no code.
    free2D(cstSppMap, 3);
    cstSppMap = dim2Dchar(3, 3846);
    nSpp = 3845;
    for (int i = 0; i < 3; i++) std::memset(cstSppMap[i], '0', 3845);
    cstSppMap[2][3844] = '1';
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(CodeOf(AddSpeciesChar_OLD), 5);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "\nSpecies number 3844 cannot be written as a two-character code (at most 3843).\n");
    nSpp = 0;
}

// A repeated species hands its OTUs on and the last species moves into its place, to be compared in turn.
TEST_F(OldFormda, SpeciesCheckExaminesTheSpeciesMovedIntoAFreedSlot) {
    const std::tuple<Strings, Strings, Strings> cases[] = {
        {{"a", "a", "b", "a"}, {"a", "b"}, {"10", "10", "01", "10"}},
        {{"a", "b", "c", "b"}, {"a", "b", "c"}, {"100", "010", "001", "010"}},
        {{"a"}, {"a"}, {"1"}}};
    for (const auto& [names, species, map] : cases) {
        const int n = static_cast<int>(names.size());
        MakeData(n);
        nSpp = n;
        spp = dim2Dchar(n, kSpeciesNameSize);
        cstSppMap = dim2Dchar(n, n + 1);
        for (int i = 0; i < n; i++) {
            std::strcpy(spp[i], names[static_cast<size_t>(i)].c_str());
            for (int s = 0; s < n; s++) cstSppMap[i][s] = s == i ? '1' : '0';
        }
        CheckSpecies_OLD(1);
        EXPECT_EQ(GetRows(spp, nSpp), species);
        EXPECT_EQ(GetRows(cstSppMap, n, nSpp), map);
    }
}

// Identical strings pooled into the first (W added, species rows merged) after an absent OTU is dropped;
// states and ranges counted on the strings.
TEST_F(OldFormda, StringChecksPoolIdenticalOtus) {
    const Strings codes = {"0312", "1200", "0312", "0500", "1200"}, species = {"10", "01", "01", "10", "10"};
    const Floats W = {1, 0, 2, 0, 0, 3, 0, 0, 4, 5};
    MakeData(5);
    std::strcpy(chLabel[1], "colour");
    free2D(csm_Float, 5);
    csm_Float = nullptr;
    nSpp = 2;
    spp = dim2Dchar(2, kSpeciesNameSize);
    std::strcpy(spp[0], "Poa");
    std::strcpy(spp[1], "Carex");
    sppRelMap = dim2Dchar(2, 3);
    std::strcpy(sppRelMap[0], "11");
    std::strcpy(sppRelMap[1], "11");
    cstSppMap = dim2Dchar(5, 3);
    csm = dim2Dchar(5, 5);
    for (int i = 0; i < 5; i++) {
        std::strcpy(csm[i], codes[static_cast<size_t>(i)].c_str());
        std::strcpy(cstSppMap[i], species[static_cast<size_t>(i)].c_str());
        cadat[i][0] = W[static_cast<size_t>(2 * i)];
        cadat[i][1] = W[static_cast<size_t>(2 * i + 1)];
    }
    CheckData_OLD(1);
    // OTU 4 is absent; OTUs 1 and 3 ("0312") give 1 + 0, 0 + 3; OTUs 2 and 5 ("1200") give 2 + 4, 0 + 5.
    ASSERT_EQ(tcst, 2);
    EXPECT_EQ(GetRows(csm, 2), (Strings{"0312", "1200"}));
    EXPECT_EQ(Get(cadat, 2, 2), (Floats{1, 3, 6, 5}));
    EXPECT_EQ(GetRows(cstSppMap, 2, 2), (Strings{"11", "11"}));
    EXPECT_EQ((Ints{onsta[0], onsta[1], ncst[0], ncst[1], emptyReleves}), (Ints{2, 2, 2, 2, 0}));
    EXPECT_EQ((Floats{chrange[0], chrange[1]}), (Floats{9, 0}));  // 12 - 3; a nominal trait keeps its range
}

TEST_F(OldFormda, StringCountersAndTheSpeciesCodesOfTheSpTrait) {
    char* rows[3] = {const_cast<char*>("0599"), const_cast<char*>("9999"), const_cast<char*>("0099")};
    int types[2] = {3, 3}, states[2] = {0, 0};
    float range[2] = {-1, -1};
    RangeStates_OLD(2, 3, rows, types, range);
    CountStates_OLD(2, 3, states, rows);
    EXPECT_EQ((Floats{range[0], range[1]}), (Floats{99, 0}));  // 99 - 0; every state 99
    EXPECT_EQ((Ints{states[0], states[1]}), (Ints{3, 1}));
    // Without species the "sp" codes stay as they are through the checks.
    MakeData(3);
    csm = dim2Dchar(3, 5);
    for (int i = 0; i < 3; i++) {
        std::snprintf(csm[i], 5, "0%dz%d", i + 5, i);
        cadat[i][0] = 1;
        csm_Float[i][1] = static_cast<float>(7 - i);
    }
    CheckData_OLD(0);
    EXPECT_EQ(GetRows(csm, 3), (Strings{"05z0", "06z1", "07z2"}));
    CheckData(0);  // the same on B
    EXPECT_EQ(Get(csm_Float, 3, 2), (Floats{0, 7, 0, 6, 0, 5}));
    // Species 0, 1, 0: the "sp" codes become the rows of each species' first OTU.
    MakeData(3);
    nSpp = 2;
    cstSppMap = dim2Dchar(3, 3);
    csm = dim2Dchar(3, 5);
    for (int i = 0; i < 3; i++) {
        std::strcpy(cstSppMap[i], i == 1 ? "01" : "10");
        std::strcpy(csm[i], "05zz");
    }
    CheckCSTsSameSpecies_OLD();
    EXPECT_EQ(GetRows(csm, 3), (Strings{"0500", "0501", "0500"}));
    nSpp = 0;
}
