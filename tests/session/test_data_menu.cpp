// The "DATA FOR SESSION" dialog run in process with scripted answers: using another session's
// formatted data as it is, the modified choice that is not there yet, merging, and returning.
// Whatever way it ends, no data set stays loaded (the session loop loads the data itself).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "foundation/ConsoleReaders.h"
#include "foundation/qwlibDim.h"
#include "model_fixture.h"
#include "session/TNXGLOB.h"
#include "session/TNXIFFM2.h"
#include "session/TNXIFFMT.h"

namespace {

// Writes a small formatted data file: 2 OTUs, 1 trait, 2 communities with the given labels.
void WriteSmall(const char* name, const char* label1, const char* label2) {
    ResetDataSet();
    std::snprintf(dataName, sizeof dataName, "%s", name);
    nch = 1;
    ncsm = 2;
    tcst = 2;
    chLabel = dim2Dchar(1, kLabelSize);
    std::strcpy(chLabel[0], "size");
    chtype = dim1Dint(1);
    chtype[0] = 4;
    chrange = dim1Dfloat(1);
    onsta = dim1Dint(1);
    traitGroups = dim1Dint(1);
    reLabel = dim2Dchar(2, kLabelSize);
    std::strcpy(reLabel[0], label1);
    std::strcpy(reLabel[1], label2);
    ncst = dim1Dint(2);
    csm_Float = dim2Dfloat(2, 1);
    csm_Float[1][0] = 2;
    cadat = dim2Dfloat(2, 2);
    cadat[0][0] = 1;
    cadat[1][1] = 1;
    WriteFormda(tcst, name, dataName, csm_Float, cadat);
    ResetDataSet();
}

bool NothingLoaded() {
    return tcst == 0 && ncsm == 0 && nch == 0 && csm_Float == nullptr && cadat == nullptr && chLabel == nullptr &&
           reLabel == nullptr && groupCstP == nullptr;
}

class DataMenuTest : public tnxtest::TempDirTest {
protected:
    void SetUp() override {
        tnxtest::TempDirTest::SetUp();
        std::strcpy(sessionName, "s");
        std::strcpy(whichTrack, "sTrk.txt");
        volumeName[0] = '\0';
        Write("sTrk.txt", "");
        WriteSmall("aFormda.txt", "n1", "n2");
        WriteSmall("bFormda.txt", "n1", "n3");
    }
    void TearDown() override {
        if (in != stdin && in != nullptr) std::fclose(in);
        in = stdin;
        if (out != stdout && out != nullptr) std::fclose(out);
        out = stdout;
        ResetDataSet();
        tnxtest::TempDirTest::TearDown();
    }
    // Runs the dialog on the given answers; returns its result and keeps what it printed.
    int Run(const std::string& answers) {
        Write("answers.txt", answers);
        in = std::fopen("answers.txt", "r");
        out = std::fopen("dialog.txt", "w");
        ::testing::internal::CaptureStderr();
        ::testing::internal::CaptureStdout();
        int r = SetFormda();
        stdoutText_ = ::testing::internal::GetCapturedStdout();
        stderrText_ = ::testing::internal::GetCapturedStderr();
        std::fclose(out);
        out = stdout;
        std::fclose(in);
        in = stdin;
        dialog_ = Read("dialog.txt");
        return r;
    }
    std::string dialog_, stdoutText_, stderrText_;
};

}  // namespace

TEST_F(DataMenuTest, AnotherSessionsDataAsItIsIsNamedByTheTrackFileAndNotLeftLoaded) {
    EXPECT_EQ(Run("2\na\n1\n"), 0);
    EXPECT_TRUE(NothingLoaded());
    EXPECT_EQ(Read("sTrk.txt"), "aFormda.txt\n07Jul17\n");
    EXPECT_STREQ(whichFormda, "aFormda.txt");
    EXPECT_STREQ(tempSession, "a");
    EXPECT_NE(dialog_.find("DATA FOR SESSION"), std::string::npos);
    EXPECT_NE(dialog_.find("\nEnter name of the session from which data is to be extracted: "), std::string::npos);
    EXPECT_NE(dialog_.find("\nUse file aFormda.txt:\n   1  as it is \n   2  modified \n   3  return to main menu \n"
                           "Type option no.: \n\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("sFormda.txt"));
}

TEST_F(DataMenuTest, UnknownSessionAsksTheOptionsAgain) {
    EXPECT_EQ(Run("2\nnosuch\n4\n"), 1);
    EXPECT_NE(stderrText_.find("can't open nosuchFormda.txt"), std::string::npos);
    EXPECT_EQ(Read("sTrk.txt"), "");
    EXPECT_TRUE(NothingLoaded());
    // The options are printed twice.
    size_t first = dialog_.find("   4  return to main menu \n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(dialog_.find("   4  return to main menu \n", first + 1), std::string::npos);
}

TEST_F(DataMenuTest, ModifiedChoiceSaysItIsNotThereAndReturnsToTheMenu) {
    EXPECT_EQ(Run("2\na\n2\n4\n"), 1);
    EXPECT_NE(dialog_.find("not available"), std::string::npos);
    EXPECT_TRUE(NothingLoaded());
    EXPECT_EQ(Read("sTrk.txt"), "");
}

TEST_F(DataMenuTest, ReturnChoicesLeaveTheTrackFileEmpty) {
    EXPECT_EQ(Run("4\n"), 1);
    EXPECT_EQ(Run("2\na\n3\n"), 1);
    EXPECT_EQ(Read("sTrk.txt"), "");
    EXPECT_TRUE(NothingLoaded());
}

TEST_F(DataMenuTest, MergeWritesTheSessionsOwnFileAndNamesIt) {
    EXPECT_EQ(Run("3\na\nb\n"), 0);
    EXPECT_TRUE(NothingLoaded());
    EXPECT_EQ(Read("sTrk.txt"), "sFormda.txt\n07Jul17\n");
    ASSERT_TRUE(std::filesystem::exists("sFormda.txt"));
    EXPECT_NE(dialog_.find("\nEnter names of the sessions from which data is to be merged:\nFirst session name: "),
              std::string::npos);
    EXPECT_NE(dialog_.find("Second session name: "), std::string::npos);
    std::strcpy(whichFormda, "sFormda.txt");
    OpenFormda(1);
    EXPECT_STREQ(dataName, "aFormda.txt bFormda.txt");
    EXPECT_EQ(ncsm, 4);
    EXPECT_STREQ(reLabel[2], "n1b");
    EXPECT_STREQ(reLabel[3], "n3");
}

TEST_F(DataMenuTest, RefusedMergeAndMissingSecondSessionReturnToTheOptions) {
    WriteSmall("cFormda.txt", "x", "y");
    // c has another trait label: refused.
    std::string text = Read("cFormda.txt");
    text.replace(text.find("size"), 4, "mass");
    Write("cFormda.txt", text);
    EXPECT_EQ(Run("3\na\nc\n4\n"), 1);
    EXPECT_NE(stdoutText_.find("Labels for traits do not match"), std::string::npos);
    EXPECT_TRUE(NothingLoaded());
    EXPECT_EQ(Run("3\na\nnosuch\n4\n"), 1);
    EXPECT_TRUE(NothingLoaded());
    EXPECT_EQ(Read("sTrk.txt"), "");
    EXPECT_FALSE(std::filesystem::exists("sFormda.txt"));
}
