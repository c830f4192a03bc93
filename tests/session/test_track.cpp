// The session track file: its exact layout, the round trip of the analysis state, the checks
// of every count, index and level against the loaded data, and the replacing writer.
#include <fcntl.h>
#include <unistd.h>

#include <iterator>

#include "foundation/ConsoleReaders.h"
#include "model_fixture.h"
#include "session/TNXTRACK.h"

namespace {

// The track file of a session "s1" with 3 traits, 4 communities and 5 OTUs after one
// functional analysis, without stored partitions (worked out from the layout by hand).
const std::string kPlainTrack =
    "s1Formda.txt\n07Jul17\nNULL\nNULL\nNULL\ns1Hie.txt\n"
    "NULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\n"
    "0\n1\n0\n0\n0\n1\n"                                   // isHierarchical .. hasHier
    "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n"  // hasCstRese .. optEnvStruct
    "6\n0\n1\n"                                             // rese_opt, reseCstOpt, part
    "1 2 3 \n4 2 2 \n4 2 2 \n3\n1.000000\n"                 // nchor, rcst, nGrPoly, fuzzy
    "1\n1\n1\n1\n1\n0\n0\n0\n0\n"                           // reseType.., cohe .. keepRichness
    "0\n0\n\n\n0 0 \n1\n"                                   // no partitions, AOC ones, whichLevelGrCST
    "0\n0\n\n\n\n1 1 1 1 \n0\n"                             // no OTU partitions, relSelect, doDistrib
    "0\n1\n2\n0\n1\n";                                      // adjacentRelOpt .. SMWSize

// The same with two community partitions (the second current) and one OTU partition at level
// 2, whose rcst entry (2) gives its number of members.
const std::string kPartitionTrack = kPlainTrack.substr(0, kPlainTrack.find("0\n0\n\n\n0 0")) +
                                    "2\n1\nhabitat year \n2 3 \ndry wet \ny1 y2 y3 \n1 2 2 1 \n3 1 2 3 \n0 1 "
                                    "\n2\n1\n0\ntypes \n2 \nA B \n2 \n2 1 \n1 0 1 1 \n0\n0\n1\n2\n0\n1\n";

class TrackTest : public tnxtest::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        std::strcpy(whichTrack, "s1Trk.txt");
        std::strcpy(whichFormda, "s1Formda.txt");
        tnxtest::AllocateModel(3, 4, 5);
    }
    void TearDown() override {
        ResetDataSet();
        FreeGlobals1();
        TempDirTest::TearDown();
    }
    static std::string Replace(std::string s, const std::string& from, const std::string& to) {
        const auto pos = s.find(from);
        EXPECT_NE(pos, std::string::npos) << from;
        return pos == std::string::npos ? s : s.replace(pos, from.size(), to);
    }
    static long Entries() {
        return std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator());
    }
};

TEST_F(TrackTest, ReadingRestoresEveryItemAndTheCurrentPartitions) {
    Write("s1Trk.txt", kPartitionTrack);
    EXPECT_EQ(ReadTrack(), 1);
    EXPECT_STREQ(whichHier, "s1Hie.txt");
    for (int v : {traitBasedOpt, hasHier, part, nchor[0], relSelect[0], whichPartCstAOC})
        EXPECT_EQ(v, 1);
    EXPECT_EQ(rese_opt, 6);
    EXPECT_EQ(rcst[0], 4);
    EXPECT_EQ(fuzzy, 3);
    EXPECT_EQ(poolCSTopt, 2);
    EXPECT_STREQ(partLabel[1], "year");
    EXPECT_STREQ(grLabelP[1][2], "y3");
    EXPECT_EQ(groupRelP[1][0], 3);
    // The current partitions are the stored slots whichPart and whichCstPart.
    EXPECT_EQ(nGroups, 3);
    EXPECT_EQ(groupRel, groupRelP[1]);
    EXPECT_EQ(grLabel, grLabelP[1]);
    EXPECT_EQ(whichLevelGrCST, 2);
    EXPECT_EQ(nCstGroups, 2);
    EXPECT_EQ(groupCst, groupCstP[0]);
    EXPECT_EQ(groupCstP[0][0], 2);
    EXPECT_STREQ(grCstLabel[1], "B");
}

TEST_F(TrackTest, WrittenBackByteForByte) {
    const std::string sixDecimals = Replace(kPlainTrack, "1.000000", "1.234567");
    for (const std::string& text : {kPlainTrack, kPartitionTrack, sixDecimals}) {
        Write("s1Trk.txt", text);
        ReadTrack();
        std::filesystem::remove("s1Trk.txt");
        WriteTrack(1);
        EXPECT_EQ(Read("s1Trk.txt"), text);
        EXPECT_EQ(Entries(), 1);  // no temporary file left beside it
    }
}

TEST_F(TrackTest, UnknownVersionKeepsTheOptions) {
    out = std::tmpfile();
    rese_opt = 5;
    Write("s1Trk.txt", Replace(kPlainTrack, "07Jul17", "01Jan99"));
    EXPECT_EQ(ReadTrack(), 1);
    EXPECT_EQ(rese_opt, 5);
    std::string text(200, '\0');
    std::rewind(out);
    text.resize(std::fread(text.data(), 1, text.size(), out));
    std::fclose(out);
    out = stdout;
    EXPECT_EQ(text, "\n\aFormda file is compatible, but other files of the session \nare not compatible with "
                    "this program version." + std::string(53, ' '));
}

TEST_F(TrackTest, FilesThatDoNotFitTheDataAreRefusedAndLeftAsTheyWere) {
    const std::string rows[] = {
        Replace(kPlainTrack, "\n0\n0\n\n\n0 0", "\n11\n0\n\n\n0 0"),         // too many partitions
        Replace(kPartitionTrack, "\n2\n1\nhabitat", "\n2\n2\nhabitat"),      // no such current one
        Replace(kPartitionTrack, "2 3 \ndry", "2 5 \ndry"),                  // more groups than communities
        Replace(kPartitionTrack, "1 2 2 1 \n", "1 2 3 1 \n"),                // beyond the group count
        Replace(kPartitionTrack, "1 2 2 1 \n", "1 2 -1 1 \n"),
        Replace(kPartitionTrack, "0 1 \n2\n", "0 1 \n4\n"),                  // levels outside 1..nch
        Replace(kPartitionTrack, "0 1 \n2\n", "0 1 \n0\n"),
        Replace(kPartitionTrack, "A B \n2 \n", "A B \n5 \n"),
        Replace(kPartitionTrack, "0 1 \n2\n", "0 10 \n2\n"),                 // no such stored slot
        Replace(kPlainTrack, "1 2 3 \n", "1 2 9 \n"),                        // beyond the traits
        Replace(kPartitionTrack, "dry wet", "dry wetter"),                   // longer than the field
        Replace(kPlainTrack, "s1Hie.txt", std::string(80, 'h')),
        Replace(kPlainTrack, "4 2 2 \n3", "4 2 x \n3"),                      // not a number
        Replace(kPlainTrack, "0\n1\n2\n0\n1\n", "0\n1\n2\n0\n5\n"),          // window beyond the communities
        kPartitionTrack.substr(0, kPartitionTrack.find("dry")),              // ends early
    };
    for (const std::string& text : rows) {
        SCOPED_TRACE(text);
        Write("s1Trk.txt", text);
        EXPECT_EQ(tnxtest::CodeOf([] { ReadTrack(); }), 2);
        EXPECT_EQ(Read("s1Trk.txt"), text);
        EXPECT_EQ(trackFp, nullptr);
    }
}

TEST_F(TrackTest, FilesThatCannotBeOpenedOrWritten) {
    EXPECT_EQ(tnxtest::CodeOf([] { ReadTrack(); }), 4);
    // A directory where the file should go: the temporary file is removed again.
    std::filesystem::create_directory("s1Trk.txt");
    EXPECT_EQ(tnxtest::CodeOf([] { WriteTrack(1); }), 4);
    EXPECT_EQ(Entries(), 1);
    // A write that fails, or a writer abandoned before it commits, leaves the old file.
    Write("target.txt", "old\n");
    {
        ReplacingWriter w("target.txt");
        FILE* f = w.Open();
        std::fprintf(f, "new contents that never arrive\n");
        const int readOnly = open("/dev/null", O_RDONLY);  // every write of the stream fails from now on
        dup2(readOnly, fileno(f));
        close(readOnly);
        EXPECT_EQ(w.Commit(), ReplacingWriter::kWriteFailed);
        ReplacingWriter abandoned("target.txt");
        std::fprintf(abandoned.Open(), "new\n");
    }
    EXPECT_EQ(Read("target.txt"), "old\n");
    EXPECT_EQ(Entries(), 2);
}

}  // namespace
