// The session track file: its exact layout, the round trip of the analysis state, the checks
// of every count, index and level against the loaded data, and the replacing writer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/TnxError.h"
#include "model_fixture.h"
#include "session/TNXGLOB.h"
#include "session/TNXTRACK.h"

namespace {

// The track file of a session "s1" with 3 traits, 4 communities and 5 OTUs after one
// functional analysis, without stored partitions (worked out from the layout by hand).
const std::string kPlainTrack =
    "s1Formda.txt\n07Jul17\n"
    "NULL\nNULL\nNULL\ns1Hie.txt\n"
    "NULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\n"
    "0\n1\n0\n0\n0\n1\n"                                        // isHierarchical .. hasHier
    "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n"       // hasCstRese .. optEnvStruct
    "6\n0\n1\n"                                                  // rese_opt, reseCstOpt, part
    "1 2 3 \n4 2 2 \n4 2 2 \n3\n1.000000\n"                      // nchor, rcst, nGrPoly, fuzzy
    "1\n1\n1\n1\n1\n0\n0\n0\n0\n"                                // reseType.., cohe .. keepRichness
    "0\n0\n"                                                     // nPart, whichPart
    "\n\n"                                                       // no names, no group counts
    "0 0 \n1\n"                                                  // AOC partitions, whichLevelGrCST
    "0\n0\n"                                                     // nPartCst, whichCstPart
    "\n\n\n"                                                     // no names, counts, levels
    "1 1 1 1 \n0\n"                                              // relSelect, doDistrib
    "0\n1\n2\n0\n1\n";                                           // adjacentRelOpt .. SMWSize

// The same session with two community partitions (the second current) and one OTU partition
// at level 2, whose rcst entry (2) gives its number of members.
const std::string kPartitionTrack =
    "s1Formda.txt\n07Jul17\n"
    "NULL\nNULL\nNULL\ns1Hie.txt\n"
    "NULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\n"
    "0\n1\n0\n0\n0\n1\n"
    "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n"
    "6\n0\n1\n"
    "1 2 3 \n4 2 2 \n4 2 2 \n3\n1.000000\n"
    "1\n1\n1\n1\n1\n0\n0\n0\n0\n"
    "2\n1\n"
    "habitat year \n2 3 \n"
    "dry wet \ny1 y2 y3 \n"
    "1 2 2 1 \n3 1 2 3 \n"
    "0 1 \n2\n"
    "1\n0\n"
    "types \n2 \nA B \n2 \n2 1 \n"
    "1 0 1 1 \n0\n"
    "0\n1\n2\n0\n1\n";

class TrackTest : public tnxtest::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        InitGlobals();
        FreeGlobals1();
        std::strcpy(sessionName, "s1");
        std::strcpy(whichTrack, "s1Trk.txt");
        std::strcpy(whichFormda, "s1Formda.txt");
        tnxtest::AllocateModel(3, 4, 5);
        for (int i = 0; i < 3; i++) nchor[i] = 0;
    }
    void TearDown() override {
        FreeGlobals2();
        FreeGlobals1();
        nch = ncsm = tcst = 0;
        TempDirTest::TearDown();
    }
    // The state after a functional analysis, without partitions.
    static void SetAnalysisState() {
        const char* names[] = {whichEnvRese, whichEnvScores, whichEnvRank, whichCstRese, whichNRese,
                               whichPRese, whichRo, whichProbRo, whichScores, whichProbN, whichReClus,
                               whichCstClus, whichAOCScor, whichComplexity, whichVelocity,
                               whichRoVelComplex};
        for (const char* n : names) std::strcpy(const_cast<char*>(n), "NULL");
        std::strcpy(whichHier, "s1Hie.txt");
        isHierarchical = 0;
        traitBasedOpt = 1;
        hasHier = 1;
        hasVegOrdiCorrel = hasEnvOrdiCorrel = 0;
        optEnvStruct = 0;
        rese_opt = 6;
        reseCstOpt = 0;
        part = 1;
        for (int i = 0; i < 3; i++) nchor[i] = i + 1;
        rcst[0] = nGrPoly[0] = 4;
        rcst[1] = rcst[2] = nGrPoly[1] = nGrPoly[2] = 2;
        fuzzy = 3;
        fuzziness = 1.0f;
        reseTypeOrd = reseTypeClus = reseTypeEv = reseTypeRnd = reseTypeERank = 1;
        cohe = groupDissMeth = empir_opt = keepRichness = 0;
        nPart = whichPart = 0;
        whichPartAOC = whichPartCstAOC = 0;
        whichLevelGrCST = 1;
        nPartCst = whichCstPart = 0;
        for (int i = 0; i < 4; i++) relSelect[i] = 1;
        doDistrib = adjacentRelOpt = 0;
        whichLevelCst = 1;
        poolCSTopt = 2;
        clusMethPoolCSTs = 0;
        SMWSize = 1;
    }
    // Reads a track file that must be refused; checks the code and that the file is unchanged.
    void ExpectRefused(const std::string& text) {
        Write("s1Trk.txt", text);
        int code = 0;
        try {
            ReadTrack();
        } catch (const TnxError& e) {
            code = e.code();
        }
        EXPECT_EQ(code, 2);
        EXPECT_EQ(Read("s1Trk.txt"), text);
        EXPECT_EQ(trackFp, nullptr);
    }
    static std::string Replace(std::string s, const std::string& from, const std::string& to) {
        const auto pos = s.find(from);
        EXPECT_NE(pos, std::string::npos) << from;
        return s.replace(pos, from.size(), to);
    }
};

TEST_F(TrackTest, ShortTrackFileHoldsNameAndVersion) {
    WriteTrack(0);
    EXPECT_EQ(Read("s1Trk.txt"), "s1Formda.txt\n07Jul17\n");
    hasHier = 1;
    rese_opt = 7;
    std::strcpy(whichFormda, "other");
    EXPECT_EQ(ReadTrack(), 1);
    EXPECT_STREQ(whichFormda, "s1Formda.txt");
    EXPECT_EQ(hasHier, 1);  // nothing further restored
    EXPECT_EQ(rese_opt, 7);
}

TEST_F(TrackTest, FullTrackFileLayoutWithoutPartitions) {
    SetAnalysisState();
    WriteTrack(1);
    EXPECT_EQ(Read("s1Trk.txt"), kPlainTrack);
    // No temporary file is left beside it.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(".")) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST_F(TrackTest, ReadingRestoresEveryItemAndTheCurrentPartitions) {
    Write("s1Trk.txt", kPartitionTrack);
    EXPECT_EQ(ReadTrack(), 1);
    EXPECT_STREQ(whichHier, "s1Hie.txt");
    EXPECT_STREQ(whichNRese, "NULL");
    EXPECT_EQ(traitBasedOpt, 1);
    EXPECT_EQ(hasHier, 1);
    EXPECT_EQ(rese_opt, 6);
    EXPECT_EQ(part, 1);
    EXPECT_EQ(nchor[2], 3);
    EXPECT_EQ(rcst[0], 4);
    EXPECT_EQ(nGrPoly[1], 2);
    EXPECT_EQ(fuzzy, 3);
    EXPECT_FLOAT_EQ(fuzziness, 1.0f);
    EXPECT_EQ(nPart, 2);
    EXPECT_EQ(whichPart, 1);
    EXPECT_STREQ(partLabel[0], "habitat");
    EXPECT_STREQ(partLabel[1], "year");
    EXPECT_EQ(nGroupsP[0], 2);
    EXPECT_EQ(nGroupsP[1], 3);
    EXPECT_STREQ(grLabelP[0][1], "wet");
    EXPECT_STREQ(grLabelP[1][2], "y3");
    EXPECT_EQ(groupRelP[0][3], 1);
    EXPECT_EQ(groupRelP[1][0], 3);
    EXPECT_EQ(whichPartAOC, 0);
    EXPECT_EQ(whichPartCstAOC, 1);
    // The current community partition is stored slot whichPart.
    EXPECT_EQ(nGroups, 3);
    EXPECT_EQ(groupRel, groupRelP[1]);
    EXPECT_EQ(grLabel, grLabelP[1]);
    EXPECT_EQ(whichLevelGrCST, 2);
    EXPECT_EQ(nPartCst, 1);
    EXPECT_EQ(whichCstPart, 0);
    EXPECT_STREQ(partCstLabel[0], "types");
    EXPECT_EQ(whichLevelGrCstP[0], 2);
    EXPECT_EQ(groupCstP[0][0], 2);
    EXPECT_EQ(groupCstP[0][1], 1);
    EXPECT_EQ(nCstGroups, 2);
    EXPECT_EQ(groupCst, groupCstP[0]);
    EXPECT_STREQ(grCstLabel[1], "B");
    EXPECT_EQ(relSelect[1], 0);
    EXPECT_EQ(whichLevelCst, 1);
    EXPECT_EQ(poolCSTopt, 2);
    EXPECT_EQ(SMWSize, 1);
    // Written back, the file is the same byte for byte.
    std::filesystem::rename("s1Trk.txt", "read.txt");
    WriteTrack(1);
    EXPECT_EQ(Read("s1Trk.txt"), kPartitionTrack);
}

TEST_F(TrackTest, FuzzinessKeepsSixDecimals) {
    SetAnalysisState();
    fuzziness = 1.234567f;
    WriteTrack(1);
    EXPECT_NE(Read("s1Trk.txt").find("\n1.234567\n"), std::string::npos);
    fuzziness = 0.0f;
    ReadTrack();
    EXPECT_FLOAT_EQ(fuzziness, 1.234567f);
}

TEST_F(TrackTest, UnknownVersionKeepsTheOptions) {
    FILE* captured = std::tmpfile();
    out = captured;
    hasHier = 0;
    rese_opt = 5;
    Write("s1Trk.txt", Replace(kPlainTrack, "07Jul17", "01Jan99"));
    EXPECT_EQ(ReadTrack(), 1);
    out = stdout;
    EXPECT_EQ(hasHier, 0);
    EXPECT_EQ(rese_opt, 5);
    std::rewind(captured);
    char buf[512] = {0};
    size_t n = std::fread(buf, 1, sizeof buf - 1, captured);
    std::fclose(captured);
    const std::string text(buf, n);
    EXPECT_EQ(text, "\n\aFormda file is compatible, but other files of the session \n"
                    "are not compatible with this program version." + std::string(98 - 45, ' '));
}

TEST_F(TrackTest, FilesThatDoNotFitTheDataAreRefused) {
    // Too many partitions, or a current partition that does not exist.
    ExpectRefused(Replace(kPlainTrack, "1\n0\n0\n0\n0\n0\n0\n\n\n", "1\n0\n0\n0\n0\n11\n0\n\n\n"));
    ExpectRefused(Replace(kPartitionTrack, "\n2\n1\nhabitat", "\n2\n2\nhabitat"));
    // More groups than communities; a group number above the group count.
    ExpectRefused(Replace(kPartitionTrack, "2 3 \ndry", "2 5 \ndry"));
    ExpectRefused(Replace(kPartitionTrack, "1 2 2 1 \n", "1 2 3 1 \n"));
    ExpectRefused(Replace(kPartitionTrack, "1 2 2 1 \n", "1 2 -1 1 \n"));
    // Levels outside 1..nch.
    ExpectRefused(Replace(kPartitionTrack, "0 1 \n2\n", "0 1 \n4\n"));
    ExpectRefused(Replace(kPartitionTrack, "0 1 \n2\n", "0 1 \n0\n"));
    ExpectRefused(Replace(kPartitionTrack, "A B \n2 \n", "A B \n5 \n"));
    // A partition chosen for the concentration analysis outside the stored slots.
    ExpectRefused(Replace(kPartitionTrack, "0 1 \n2\n", "0 10 \n2\n"));
    // A trait order beyond the traits; labels longer than their fields.
    ExpectRefused(Replace(kPlainTrack, "1 2 3 \n", "1 2 9 \n"));
    ExpectRefused(Replace(kPartitionTrack, "habitat year", "habitat abcdefghijklmnopqrstuvwxyz"));
    ExpectRefused(Replace(kPartitionTrack, "dry wet", "dry wetter"));
    ExpectRefused(Replace(kPlainTrack, "s1Hie.txt", std::string(80, 'h')));
    // Not a number where one stands; a window larger than the communities.
    ExpectRefused(Replace(kPlainTrack, "3\n1.000000\n", "3\nabc\n"));
    ExpectRefused(Replace(kPlainTrack, "4 2 2 \n3", "4 2 x \n3"));
    ExpectRefused(Replace(kPlainTrack, "0\n1\n2\n0\n1\n", "0\n1\n2\n0\n5\n"));
    // A file that ends early.
    ExpectRefused(kPlainTrack.substr(0, kPlainTrack.size() - 8));
    ExpectRefused(kPartitionTrack.substr(0, kPartitionTrack.find("dry")));
}

TEST_F(TrackTest, MissingTrackFileRaisesCode4) {
    int code = 0;
    try {
        ReadTrack();
    } catch (const TnxError& e) {
        code = e.code();
    }
    EXPECT_EQ(code, 4);
}

TEST_F(TrackTest, TrackFileThatCannotBeCreatedOrReplaced) {
    std::strcpy(whichTrack, "nodir/s1Trk.txt");
    int code = 0;
    try {
        WriteTrack(0);
    } catch (const TnxError& e) {
        code = e.code();
    }
    EXPECT_EQ(code, 4);
    // A directory standing where the file should go: the temporary file is removed again.
    std::filesystem::create_directory("s1Trk.txt");
    std::strcpy(whichTrack, "s1Trk.txt");
    code = 0;
    try {
        WriteTrack(1);
    } catch (const TnxError& e) {
        code = e.code();
    }
    EXPECT_EQ(code, 4);
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
        (void)e;
        entries++;
    }
    EXPECT_EQ(entries, 1);
    EXPECT_TRUE(std::filesystem::is_directory("s1Trk.txt"));
}

TEST_F(TrackTest, ReplacingWriterLeavesTheOldFileWhenAWriteFails) {
    Write("target.txt", "old contents\n");
    {
        ReplacingWriter w("target.txt");
        FILE* f = w.Open();
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "new contents that never arrive\n");
        // Make every write of the stream fail from now on.
        int ro = open("/dev/null", O_RDONLY);
        ASSERT_GE(ro, 0);
        dup2(ro, fileno(f));
        close(ro);
        EXPECT_EQ(w.Commit(), ReplacingWriter::kWriteFailed);
    }
    EXPECT_EQ(Read("target.txt"), "old contents\n");
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
        (void)e;
        entries++;
    }
    EXPECT_EQ(entries, 1);
    // A writer abandoned before it commits leaves the old file as well.
    {
        ReplacingWriter w("target.txt");
        ASSERT_NE(w.Open(), nullptr);
    }
    EXPECT_EQ(Read("target.txt"), "old contents\n");
    // A committed writer replaces it.
    {
        ReplacingWriter w("target.txt");
        FILE* f = w.Open();
        std::fprintf(f, "new\n");
        EXPECT_EQ(w.Commit(), ReplacingWriter::kWritten);
    }
    EXPECT_EQ(Read("target.txt"), "new\n");
}

}  // namespace
