// The formatted data file: its exact layout, the round trip of writer and loader, the older
// forms the loader reads, the reset before loading, and the failures (truncated file, bad
// counts, a write that fails, memory that cannot be had).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

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

// The sample data set: 3 OTUs, 4 traits of all types, 2 communities, 2 variables, 2 species,
// a phylogeny, trait groups and a window size. Values need 7 and more significant digits.
const float kB[3][4] = {{1, 2, 0.1234567f, 3}, {0, 1, -999, 1}, {1, 3, 123456.7f, 2}};
const float kW[3][2] = {{1.5f, 0}, {0, 2}, {-999, 1e-7f}};
const float kE[2][2] = {{5.5f, 1}, {-999, 2}};
const double kF[3][3] = {{1, 1.0 / 3.0, 0.25}, {1.0 / 3.0, 1, 0.5}, {0.25, 0.5, 1}};

void FillSample() {
    ResetDataSet();
    std::strcpy(dataName, "sample_B.txt");
    nch = 4;
    ncsm = 2;
    tcst = 3;
    nenv = 2;
    nSpp = 2;
    chLabel = dim2Dchar(nch, kLabelSize);
    chtype = dim1Dint(nch);
    chrange = dim1Dfloat(nch);
    onsta = dim1Dint(nch);
    traitGroups = dim1Dint(nch);
    const char* tl[4] = {"flying", "diet", "mass", "size"};
    const int tt[4] = {1, 2, 3, 4};
    const int tg[4] = {1, 1, 2, 2};
    for (int j = 0; j < nch; j++) {
        std::strcpy(chLabel[j], tl[j]);
        chtype[j] = tt[j];
        onsta[j] = 3;
        chrange[j] = 9.0f;  // not written: read back as 0
        traitGroups[j] = tg[j];
    }
    hasTraitGroups = 1;
    reLabel = dim2Dchar(ncsm, kLabelSize);
    std::strcpy(reLabel[0], "north");
    std::strcpy(reLabel[1], "south");
    ncst = dim1Dint(ncsm);
    ncst[0] = 5;  // not written: read back as 0
    csm_Float = dim2Dfloat(tcst, nch);
    cadat = dim2Dfloat(tcst, ncsm);
    for (int i = 0; i < tcst; i++) {
        for (int j = 0; j < nch; j++) csm_Float[i][j] = kB[i][j];
        for (int c = 0; c < ncsm; c++) cadat[i][c] = kW[i][c];
    }
    optEnvVarType = 5;
    envVarType = dim1Dint(nenv);
    envVarType[0] = 3;
    envVarType[1] = 2;
    envLabel = dim2Dchar(nenv, kLabelSize);
    std::strcpy(envLabel[0], "pH");
    std::strcpy(envLabel[1], "moisture");
    std::strcpy(envName, "sample_E.txt");
    env = dim2Dfloat(ncsm, nenv);
    for (int c = 0; c < ncsm; c++)
        for (int j = 0; j < nenv; j++) env[c][j] = kE[c][j];
    std::strcpy(whichSpp, "sample spp.txt");
    spp = dim2Dchar(nSpp, kSpeciesNameSize);
    std::strcpy(spp[0], "Poan Poa annua");
    std::strcpy(spp[1], "Cafl Carex flacca");
    sppRelMap = dim2Dchar(nSpp, ncsm);
    std::memcpy(sppRelMap[0], "10", 2);
    std::memcpy(sppRelMap[1], "01", 2);
    cstSppMap = dim2Dchar(tcst, nSpp);
    std::memcpy(cstSppMap[0], "10", 2);
    std::memcpy(cstSppMap[1], "01", 2);
    std::memcpy(cstSppMap[2], "10", 2);
    SMWSize = 3;
    hasPhylogeny = true;
    phylogenyMatrixType = 1;
    phylogenyRese = dim2Double(tcst, tcst);
    for (int i = 0; i < tcst; i++)
        for (int k = 0; k < tcst; k++) phylogenyRese[i][k] = kF[i][k];
}

// A data set without E, species, phylogeny or groups: 1 OTU, 1 trait, 1 community.
void FillMinimal() {
    ResetDataSet();
    std::strcpy(dataName, "min");
    nch = ncsm = tcst = 1;
    chLabel = dim2Dchar(1, kLabelSize);
    std::strcpy(chLabel[0], "t");
    chtype = dim1Dint(1);
    chtype[0] = 3;
    chrange = dim1Dfloat(1);
    onsta = dim1Dint(1);
    onsta[0] = 1;
    traitGroups = dim1Dint(1);
    reLabel = dim2Dchar(1, kLabelSize);
    std::strcpy(reLabel[0], "r");
    ncst = dim1Dint(1);
    csm_Float = dim2Dfloat(1, 1);
    csm_Float[0][0] = 4;
    cadat = dim2Dfloat(1, 1);
    cadat[0][0] = 2;
}

void WriteAndReload(const char* name) {
    WriteFormda(tcst, name, dataName, csm_Float, cadat);
    ResetDataSet();
    std::snprintf(whichFormda, sizeof whichFormda, "%s", name);
    OpenFormda(1);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t p = text.find('\n'); p != std::string::npos; p = text.find('\n', start)) {
        lines.push_back(text.substr(start, p - start));
        start = p + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

int ErrorCodeOf(void (*fn)()) {
    try {
        fn();
    } catch (const TnxError& e) {
        return e.code();
    }
    return 0;
}

void LoadWhichFormda() { OpenFormda(1); }

class FormdaTest : public tnxtest::TempDirTest {
protected:
    void TearDown() override {
        ResetDataSet();
        tnxtest::TempDirTest::TearDown();
    }
};

}  // namespace

// ---------------------------------------------------------------------------------- layout

TEST_F(FormdaTest, HeaderLinesHaveTheirFormats) {
    FillSample();
    WriteFormda(tcst, "sFormda.txt", dataName, csm_Float, cadat);
    std::vector<std::string> l = Lines(Read("sFormda.txt"));
    ASSERT_GT(l.size(), 16u);
    EXPECT_EQ(l[0], "sample_B.txt ");
    EXPECT_EQ(l[1], "4 ");
    EXPECT_EQ(l[2], "flying\tdiet\tmass\tsize\t");
    EXPECT_EQ(l[3], " 1\t 2\t 3\t 4\t");
    EXPECT_EQ(l[4], "0\t0\t0\t0\t");  // ranges are written as zeros
    EXPECT_EQ(l[5], " 3\t 3\t 3\t 3\t");
    EXPECT_EQ(l[6], "2 ");
    EXPECT_EQ(l[7], "north\tsouth\t");
    EXPECT_EQ(l[8], "3 ");
    EXPECT_EQ(l[9], "0\t0\t");
    EXPECT_EQ(l[10], "0\t0\t0\t0\t0\t0\t0\t");
    EXPECT_EQ(l[11], "");
    EXPECT_EQ(l[12], "25Jun2016 ");
    EXPECT_EQ(l[13], "1\t2\t0.1234567\t3\t");   // more than 6 digits where needed
    EXPECT_EQ(l[14], "0\t1\t-999\t1\t");
    EXPECT_EQ(l[15], "1\t3\t123456.7\t2\t");
    EXPECT_EQ(l[16], "");
    EXPECT_EQ(l[17], "1.5\t0\t");
}

TEST_F(FormdaTest, EnvironmentIsWrittenVariableByVariable) {
    FillSample();
    WriteFormda(tcst, "sFormda.txt", dataName, csm_Float, cadat);
    std::string text = Read("sFormda.txt");
    std::string block = "2 \n97Sep08 \n5 \n3\t2\t\npH\tmoisture\t\nsample_E.txt \n   5.5\t  -999\t\n     1\t     2\t\n2 \n";
    EXPECT_NE(text.find(block), std::string::npos) << text;
    EXPECT_NE(text.find("2 \nsample spp.txt \nPoan Poa annua\nCafl Carex flacca\n10\n01\n10\n01\n10\nSMW 3\n1\n1\n"),
              std::string::npos);
    EXPECT_NE(text.find("1\t1\t2\t2\t\n"), std::string::npos);
}

TEST_F(FormdaTest, MinimalDataSetEndsWithZeroCountsAndFlags) {
    FillMinimal();
    WriteFormda(tcst, "mFormda.txt", dataName, csm_Float, cadat);
    std::vector<std::string> l = Lines(Read("mFormda.txt"));
    ASSERT_EQ(l.size(), 23u);
    EXPECT_EQ(l[13], "4\t");  // B, then an empty line
    EXPECT_EQ(l[14], "");
    EXPECT_EQ(l[15], "2\t");  // W, then an empty line
    EXPECT_EQ(l[16], "");
    EXPECT_EQ(l[17], "0 ");   // nenv
    EXPECT_EQ(l[18], "0 ");   // nSpp
    EXPECT_EQ(l[19], "SMW 1");
    EXPECT_EQ(l[20], "0");    // no phylogeny
    EXPECT_EQ(l[21], "0");    // no trait groups
    EXPECT_EQ(l[22].size(), 24u);  // the time stamp
    ResetDataSet();
    std::strcpy(whichFormda, "mFormda.txt");
    OpenFormda(1);
    EXPECT_EQ(nenv, 0);
    EXPECT_EQ(nSpp, 0);
    EXPECT_FALSE(hasPhylogeny);
    EXPECT_EQ(hasTraitGroups, 0);
    EXPECT_EQ(SMWSize, 1);
    EXPECT_EQ(env, nullptr);
    EXPECT_EQ(spp, nullptr);
    EXPECT_FLOAT_EQ(csm_Float[0][0], 4);
    EXPECT_FLOAT_EQ(cadat[0][0], 2);
}

// ------------------------------------------------------------------------------ round trip

TEST_F(FormdaTest, RoundTripRestoresTheSameDataSet) {
    FillSample();
    dirtyOrig = 1;
    WriteAndReload("sFormda.txt");
    EXPECT_EQ(dirtyOrig, 0);
    EXPECT_STREQ(dataName, "sample_B.txt");
    ASSERT_EQ(nch, 4);
    ASSERT_EQ(ncsm, 2);
    ASSERT_EQ(tcst, 3);
    const char* tl[4] = {"flying", "diet", "mass", "size"};
    for (int j = 0; j < 4; j++) {
        EXPECT_STREQ(chLabel[j], tl[j]);
        EXPECT_EQ(chtype[j], j + 1);
        EXPECT_EQ(onsta[j], 3);
        EXPECT_EQ(chrange[j], 0.0f);
        EXPECT_EQ(traitGroups[j], j < 2 ? 1 : 2);
    }
    EXPECT_EQ(hasTraitGroups, 1);
    EXPECT_STREQ(reLabel[1], "south");
    EXPECT_EQ(ncst[0], 0);
    for (int k = 0; k < 7; k++) EXPECT_EQ(ca_code[k], 0.0f);
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 4; j++) EXPECT_EQ(csm_Float[i][j], kB[i][j]) << i << "," << j;
        for (int c = 0; c < 2; c++) EXPECT_EQ(cadat[i][c], kW[i][c]) << i << "," << c;
    }
    ASSERT_EQ(nenv, 2);
    EXPECT_EQ(optEnvVarType, 5);
    EXPECT_EQ(envVarType[0], 3);
    EXPECT_EQ(envVarType[1], 2);
    EXPECT_EQ(temEnvQuant, 1);
    EXPECT_EQ(temEnvQual, 1);
    EXPECT_EQ(temEnvBin, 0);
    EXPECT_STREQ(envLabel[1], "moisture");
    EXPECT_STREQ(envName, "sample_E.txt");
    for (int c = 0; c < 2; c++)
        for (int j = 0; j < 2; j++) EXPECT_EQ(env[c][j], kE[c][j]);
    ASSERT_EQ(nSpp, 2);
    EXPECT_STREQ(whichSpp, "sample spp.txt");
    EXPECT_STREQ(spp[0], "Poan Poa annua");
    EXPECT_STREQ(spp[1], "Cafl Carex flacca");
    EXPECT_EQ(std::string(sppRelMap[1], 2), "01");
    EXPECT_EQ(std::string(cstSppMap[2], 2), "10");
    EXPECT_EQ(SMWSize, 3);
    ASSERT_TRUE(hasPhylogeny);
    EXPECT_EQ(phylogenyMatrixType, 1);
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 3; k++) EXPECT_EQ(phylogenyRese[i][k], kF[i][k]);
    // The working and partition arrays exist, empty, with the current partitions in slot 0.
    ASSERT_NE(groupCstP, nullptr);
    EXPECT_EQ(groupCst, groupCstP[0]);
    EXPECT_EQ(groupRel, groupRelP[0]);
    EXPECT_NE(cstTrack, nullptr);
    EXPECT_EQ(nPart, 0);
}

TEST_F(FormdaTest, RoundTripOfPhylogenyAsVariables) {
    FillSample();
    free2D(phylogenyRese, tcst);
    phylogenyRese = nullptr;
    phylogenyMatrixType = 2;
    nClados = 2;
    phylogenyVarType = dim1Dint(2);
    phylogenyVarType[0] = 1;
    phylogenyVarType[1] = 2;
    phylogenyData = dim2Dfloat(tcst, 2);
    for (int i = 0; i < tcst; i++) {
        phylogenyData[i][0] = static_cast<float>(i % 2);
        phylogenyData[i][1] = static_cast<float>(i + 1);
    }
    WriteAndReload("pFormda.txt");
    ASSERT_TRUE(hasPhylogeny);
    EXPECT_EQ(phylogenyMatrixType, 2);
    ASSERT_EQ(nClados, 2);
    EXPECT_EQ(phylogenyVarType[1], 2);
    EXPECT_EQ(phylogenyData[2][0], 0.0f);
    EXPECT_EQ(phylogenyData[2][1], 3.0f);
}

TEST_F(FormdaTest, LoaderResetsItemsAbsentFromTheNextFile) {
    FillSample();
    WriteFormda(tcst, "full.txt", dataName, csm_Float, cadat);
    FillMinimal();
    WriteFormda(tcst, "min.txt", dataName, csm_Float, cadat);
    std::strcpy(whichFormda, "full.txt");
    OpenFormda(1);
    ASSERT_TRUE(hasPhylogeny);
    nPart = 2;
    // Loading another file without releasing first: nothing of the first stays.
    std::strcpy(whichFormda, "min.txt");
    OpenFormda(1);
    EXPECT_FALSE(hasPhylogeny);
    EXPECT_EQ(phylogenyRese, nullptr);
    EXPECT_EQ(SMWSize, 1);
    EXPECT_EQ(hasTraitGroups, 0);
    EXPECT_EQ(nenv, 0);
    EXPECT_EQ(optEnvVarType, 0);
    EXPECT_EQ(temEnvQual, 0);
    EXPECT_EQ(nSpp, 0);
    EXPECT_STREQ(whichSpp, "");
    EXPECT_EQ(nPart, 0);
}

// ------------------------------------------------------------------------------ older forms

TEST_F(FormdaTest, VersionOf2008HasNoTraitGroups) {
    Write("oFormda.txt",
          "old data\n2\na\tb\t\n1\t3\t\n0\t0\t\n2\t2\t\n1\nr1\t\n2\n0\t\n0\t0\t0\t0\t0\t0\t0\t\n\n"
          "18Jan2008\n1\t2.5\t\n0\t7\t\n\n3\t\n0\t\n\n0\n0\nSMW 2\n0\n1\n1\t2\t\nTue Jan 18 10:00:00 2008\n");
    std::strcpy(whichFormda, "oFormda.txt");
    OpenFormda(1);
    EXPECT_STREQ(dataName, "old data");
    EXPECT_EQ(tcst, 2);
    EXPECT_FLOAT_EQ(csm_Float[0][1], 2.5f);
    EXPECT_FLOAT_EQ(cadat[0][0], 3.0f);
    EXPECT_EQ(SMWSize, 2);
    EXPECT_EQ(hasTraitGroups, 0);
    EXPECT_EQ(traitGroups[0], 0);
}

TEST_F(FormdaTest, OlderFormWithTraitWordsAndUntypedEnvironment) {
    // No version word: each OTU's traits are one word of two characters per trait. No types
    // before the variables, no window size, no phylogeny flag: the time stamp follows, and
    // none of its digits may be taken for the missing items.
    Write("oFormda.txt",
          "older\n2\nt1\tt2\t\n2\t1\t\n 0\t 0\t\n 3\t 2\t\n2\nr1\tr2\t\n2\n  0\t  0\t\n0\t0\t0\t0\t0\t0\t0\t\n"
          "0301\t    1\t    0\t\n1200\t    0\t    4\t\n"
          "2\nalt\tslope\t\nenvfile\n100\t200\t\n5\t-999\t\n"
          "0\nMon Dec  6 16:55:00 2004\n");
    std::strcpy(whichFormda, "oFormda.txt");
    SMWSize = 7;
    OpenFormda(1);
    ASSERT_EQ(tcst, 2);
    EXPECT_FLOAT_EQ(csm_Float[0][0], 3);
    EXPECT_FLOAT_EQ(csm_Float[0][1], 1);
    EXPECT_FLOAT_EQ(csm_Float[1][0], 12);
    EXPECT_FLOAT_EQ(csm_Float[1][1], 0);
    EXPECT_FLOAT_EQ(cadat[1][1], 4);
    ASSERT_EQ(nenv, 2);
    EXPECT_EQ(optEnvVarType, 2);
    EXPECT_EQ(envVarType[0], 3);
    EXPECT_EQ(envVarType[1], 3);
    EXPECT_STREQ(envLabel[0], "alt");
    EXPECT_STREQ(envLabel[1], "slope");
    EXPECT_STREQ(envName, "envfile");
    EXPECT_FLOAT_EQ(env[1][0], 200);
    EXPECT_FLOAT_EQ(env[1][1], -999);
    EXPECT_EQ(nSpp, 0);
    EXPECT_EQ(SMWSize, 1);
    EXPECT_FALSE(hasPhylogeny);
    EXPECT_EQ(hasTraitGroups, 0);
}

// ---------------------------------------------------------------------------- bad content

TEST_F(FormdaTest, LongLabelsAndNamesAreCutAndTheRestPassedOver) {
    Write("lFormda.txt",
          "n\n2\nfifteen_chars_x\tb\t\n1\t1\t\n0\t0\t\n1\t1\t\n1\nr\t\n1\n0\t\n0\t0\t0\t0\t0\t0\t0\t\n\n"
          "25Jun2016\n1\t0\t\n\n1\t\n\n0\n1\nspp\n" +
              std::string(75, 'a') + " tail\n1\n1\nSMW 1\n0\n0\nMon Dec  6 16:55:00 2004\n");
    std::strcpy(whichFormda, "lFormda.txt");
    OpenFormda(1);
    EXPECT_STREQ(chLabel[0], "fifteen_ch");
    EXPECT_STREQ(chLabel[1], "b");
    EXPECT_EQ(std::string(spp[0]), std::string(70, 'a'));
    EXPECT_EQ(sppRelMap[0][0], '1');
    EXPECT_EQ(cstSppMap[0][0], '1');
}

TEST_F(FormdaTest, TruncatedFileRaisesCode2) {
    FillSample();
    WriteFormda(tcst, "sFormda.txt", dataName, csm_Float, cadat);
    std::string text = Read("sFormda.txt");
    Write("tFormda.txt", text.substr(0, text.find("25Jun2016") + 20));
    std::strcpy(whichFormda, "tFormda.txt");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ErrorCodeOf(LoadWhichFormda), 2);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("file tFormda.txt"), std::string::npos);
}

TEST_F(FormdaTest, MissingFileRaisesCode4) {
    std::strcpy(whichFormda, "noFormda.txt");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ErrorCodeOf(LoadWhichFormda), 4);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("can't open noFormda.txt"), std::string::npos);
}

TEST_F(FormdaTest, NegativeCountRaisesCode2AndHugeCountCode1) {
    Write("nFormda.txt", "n\n-3\n");
    std::strcpy(whichFormda, "nFormda.txt");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ErrorCodeOf(LoadWhichFormda), 2);
    ::testing::internal::GetCapturedStderr();
    Write("hFormda.txt", "n\n1\na\t\n1\t\n0\t\n1\t\n2000000000\n");
    std::strcpy(whichFormda, "hFormda.txt");
    EXPECT_EQ(ErrorCodeOf(LoadWhichFormda), 1);
}

TEST_F(FormdaTest, BadMapCharacterRaisesCode2) {
    Write("bFormda.txt",
          "n\n1\nb\t\n1\t\n0\t\n1\t\n1\nr\t\n1\n0\t\n0\t0\t0\t0\t0\t0\t0\t\n\n"
          "25Jun2016\n1\t\n\n1\t\n\n0\n1\nspp\nname\nx\n1\nSMW 1\n0\n0\n");
    std::strcpy(whichFormda, "bFormda.txt");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ErrorCodeOf(LoadWhichFormda), 2);
    ::testing::internal::GetCapturedStderr();
}

// --------------------------------------------------------------------------- failed writes

namespace {

void WriteSampleOver() { WriteFormda(tcst, "sFormda.txt", dataName, csm_Float, cadat); }

}  // namespace

TEST_F(FormdaTest, FailedWriteRaisesCode3AndKeepsTheOldFile) {
    Write("sFormda.txt", "the old file\n");
    FillSample();
    // Writes beyond 64 bytes fail (and the signal that would end the process is ignored).
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 64;
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int code = ErrorCodeOf(WriteSampleOver);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(code, 3);
    EXPECT_EQ(Read("sFormda.txt"), "the old file\n");
    // No temporary file is left behind.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
        (void)e;
        files++;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(FormdaTest, TargetThatCannotBeReplacedRaisesCode4AndStaysAsItWas) {
    // A directory stands where the file should go: the rename over it fails.
    std::filesystem::create_directory("dFormda.txt");
    Write("dFormda.txt/inside", "kept\n");
    FillSample();
    ::testing::internal::CaptureStderr();
    int code = 0;
    try {
        WriteFormda(tcst, "dFormda.txt", dataName, csm_Float, cadat);
    } catch (const TnxError& e) {
        code = e.code();
    }
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 4);
    EXPECT_NE(err.find("can't open dFormda.txt"), std::string::npos);
    EXPECT_EQ(Read("dFormda.txt/inside"), "kept\n");
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
        (void)e;
        files++;
    }
    EXPECT_EQ(files, 1);  // the temporary file is gone
}

TEST_F(FormdaTest, MemoryThatCannotBeHadRaisesCode1) {
    int code = 0;
    try {
        EnsureAllocatable(2000000000LL, 2000000000LL, sizeof(float));
    } catch (const TnxError& e) {
        code = e.code();
    }
    EXPECT_EQ(code, 1);
    EXPECT_NO_THROW(EnsureAllocatable(1000, 1000, sizeof(double)));
}
