// The preferences file: its exact layout, reading it back, foreign and damaged files, values
// outside their ranges and a file that cannot be created.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include "common/TimeStampLine.h"
#include "session/PrefsDefaults.h"
#include <string>

#include "foundation/TnxError.h"
#include "foundation/qwlibOut.h"
#include "model_fixture.h"
#include "session/TNXGLOB.h"
#include "session/TNXIF2.h"

namespace {

using tnxtest::kDefaultPrefs;

class PrefsTest : public tnxtest::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        InitGlobals();
        BealsIncludeOpt = 1;
        overfitFactorPCARegr = 2.0;
        twoTailedTestMantel = 1;
    }
    void TearDown() override {
        InitGlobals();
        BealsIncludeOpt = 1;
        overfitFactorPCARegr = 2.0;
        twoTailedTestMantel = 1;
        TempDirTest::TearDown();
    }
};

TEST_F(PrefsTest, DefaultsAreWrittenByteForByte) {
    EXPECT_EQ(WritePreferences(), 0);
    const std::string text = Read("TARNEX.prf");
    ASSERT_GT(text.size(), kDefaultPrefs.size());
    EXPECT_EQ(text.substr(0, kDefaultPrefs.size()), kDefaultPrefs);
    EXPECT_TRUE(tnxtest::IsTimeStampLine(text.substr(kDefaultPrefs.size())))
        << text.substr(kDefaultPrefs.size());
}

TEST_F(PrefsTest, RoundTrip) {
    isHierarchicalPref = 1;
    scatterHSize = 12.5f;
    scatterVSize = 7.25f;
    scatterPointSize = 3;
    profileHSize = 1.5f;
    profileVSize = 2.5f;
    profileType = 2;
    drawProfPtsOpt = 'y';
    profilePointSize = 4;
    treeHSize = 8.0f;
    treeVSize = 9.0f;
    sDigits = 4;
    maxColsPrint = 80;
    maxComponents = 3;
    saveStruct = 'y';
    saveRndData = 'y';
    showMemory = 'y';
    countDoubleAbsence = 0;
    sqrtDissimOpt_RaoTraits = 0;
    sqrtDissimOpt_RaoPhyl = 1;
    BealsIncludeOpt = 0;
    overfitFactorPCARegr = 2.5;
    twoTailedTestMantel = 0;
    nProcessors = 2;
    ASSERT_EQ(WritePreferences(), 0);
    const std::string written = Read("TARNEX.prf");
    EXPECT_EQ(written.substr(0, written.rfind('\n', written.size() - 2) + 1),
              "18Nov2016\n1\n12.500000\n7.250000\n3\n1.500000\n2.500000\n2\ny\n4\n8.000000\n"
              "9.000000\n4\n80\n3\ny\ny\ny\n0\n0\n1\n0\n2.5\n0\n2\n");
    InitGlobals();
    BealsIncludeOpt = 1;
    overfitFactorPCARegr = 2.0;
    twoTailedTestMantel = 1;
    ReadPreferences();
    EXPECT_EQ(isHierarchicalPref, 1);
    EXPECT_FLOAT_EQ(scatterHSize, 12.5f);
    EXPECT_FLOAT_EQ(scatterVSize, 7.25f);
    EXPECT_EQ(scatterPointSize, 3);
    EXPECT_FLOAT_EQ(profileVSize, 2.5f);
    EXPECT_EQ(profileType, 2);
    EXPECT_EQ(drawProfPtsOpt, 'y');
    EXPECT_EQ(profilePointSize, 4);
    EXPECT_FLOAT_EQ(treeVSize, 9.0f);
    EXPECT_EQ(sDigits, 4);
    EXPECT_EQ(maxColsPrint, 80);
    EXPECT_EQ(maxComponents, 3);
    EXPECT_EQ(saveStruct, 'y');
    EXPECT_EQ(saveRndData, 'y');
    EXPECT_EQ(showMemory, 'y');
    EXPECT_EQ(countDoubleAbsence, 0);
    EXPECT_EQ(sqrtDissimOpt_RaoTraits, 0);
    EXPECT_EQ(sqrtDissimOpt_RaoPhyl, 1);
    EXPECT_EQ(BealsIncludeOpt, 0);
    EXPECT_DOUBLE_EQ(overfitFactorPCARegr, 2.5);
    EXPECT_EQ(twoTailedTestMantel, 0);
    EXPECT_EQ(nProcessors, 2);
}

TEST_F(PrefsTest, AFileWithAnotherFirstWordIsIgnored) {
    Write("TARNEX.prf", "17Nov2016\n1\n1.0\n1.0\n1\n1.0\n1.0\n2\ny\n1\n1.0\n1.0\n3\n40\n2\ny\ny\ny\n"
                        "0\n0\n1\n0\n4\n0\n5\n");
    ReadPreferences();
    EXPECT_EQ(sDigits, 6);
    EXPECT_EQ(maxColsPrint, INT_MAX);
    EXPECT_EQ(saveStruct, 'n');
    EXPECT_EQ(twoTailedTestMantel, 1);
    EXPECT_EQ(nProcessors, 0);
    Write("TARNEX.prf", "");  // an empty file too
    ReadPreferences();
    EXPECT_EQ(sDigits, 6);
}

TEST_F(PrefsTest, ValuesOutsideTheirRangeTakeTheDefault) {
    // sDigits 0, maxColsPrint -5, a letter that is not y/n, Gower flag 7, factor 0.5, Mantel
    // flag 2; the valid values around them are kept.
    Write("TARNEX.prf", "18Nov2016\n1\n-3.0\n4.0\n0\n0.0\n0.0\n1\nx\n0\n0.0\n0.0\n0\n-5\n6\ny\nn\nn\n"
                        "7\n0\n1\n1\n0.5\n2\n3\n");
    ReadPreferences();
    EXPECT_EQ(isHierarchicalPref, 1);
    EXPECT_FLOAT_EQ(scatterHSize, 0.0f);
    EXPECT_FLOAT_EQ(scatterVSize, 4.0f);
    EXPECT_EQ(drawProfPtsOpt, 'n');
    EXPECT_EQ(sDigits, 6);
    EXPECT_EQ(maxColsPrint, INT_MAX);
    EXPECT_EQ(saveStruct, 'y');
    EXPECT_EQ(countDoubleAbsence, 1);
    EXPECT_EQ(sqrtDissimOpt_RaoTraits, 0);
    EXPECT_EQ(sqrtDissimOpt_RaoPhyl, 1);
    EXPECT_DOUBLE_EQ(overfitFactorPCARegr, 2.0);
    EXPECT_EQ(twoTailedTestMantel, 1);
    EXPECT_EQ(nProcessors, 3);
}

TEST_F(PrefsTest, AFileCutShortRaisesCode2) {
    Write("TARNEX.prf", "18Nov2016\n0\n0.000000\n0.000000\n0\n");
    int code = 0;
    try {
        ReadPreferences();
    } catch (const TnxError& e) {
        code = e.code();
    }
    EXPECT_EQ(code, 2);
    Write("TARNEX.prf", "18Nov2016\n0\nwide\n");
    code = 0;
    try {
        ReadPreferences();
    } catch (const TnxError& e) {
        code = e.code();
    }
    EXPECT_EQ(code, 2);
}

TEST_F(PrefsTest, AFileThatCannotBeCreatedKeepsTheValues) {
    // The working directory disappears under the program: nothing can be created in it.
    const auto gone = dir_ / "gone";
    std::filesystem::create_directory(gone);
    std::filesystem::current_path(gone);
    std::filesystem::remove(gone);
    sDigits = 9;
    EXPECT_EQ(WritePreferences(), 1);
    EXPECT_EQ(sDigits, 9);
    std::filesystem::current_path(dir_);
    // A directory standing in the file's place: nothing replaces it.
    std::filesystem::create_directory("TARNEX.prf");
    EXPECT_EQ(WritePreferences(), 1);
    EXPECT_TRUE(std::filesystem::is_directory("TARNEX.prf"));
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
        (void)e;
        entries++;
    }
    EXPECT_EQ(entries, 1);
}

}  // namespace
