// The session track file: its layout, the round trip, the checks against the data, the replacing writer.
#include <cfloat>
#include <cstring>

#include "session/model/TNXTRACK.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

// With two community partitions (the second current) and one OTU partition at level 2 (2 groups).
const std::string kPartitionTrack = kPlainTrack.substr(0, kPlainTrack.find("0\n0\n\n\n0 0")) +
                                    "2\n1\nhabitat year \n2 3 \ndry wet \ny1 y2 y3 \n1 2 2 1 \n3 1 2 3 \n0 1 "
                                    "\n2\n1\n0\ntypes \n2 \nA B \n2 \n2 1 \n1 0 1 1 \n0\n0\n1\n2\n0\n1\n";

// Every level and index at a bound of its range: nchor 0 and nch, the current community partition
// the last slot, two OTU partitions at levels 1 and nch (4 and 2 members by rcst) with the second
// current, whichLevelGrCST and whichLevelCst nch, the window as wide as the 4 communities.
const std::string kBoundsTrack =
    Edit(kPartitionTrack.substr(0, kPartitionTrack.find("0 1 \n2\n1\n0\ntypes")), "1 2 3 \n4 2 2", "0 2 3 \n4 2 2") +
    "0 1 \n3\n2\n1\ntypes sizes \n2 3 \nA B \nS M L \n1 3 \n1 2 2 0 \n3 1 \n1 0 1 1 \n0\n0\n3\n2\n0\n4\n";

class TrackTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        std::strcpy(whichTrack, "s1Trk.txt");
        LoadFiveOtus();
    }
    void TearDown() override {
        FreeGlobals1();
        TempDirTest::TearDown();
    }
};

TEST_F(TrackTest, ReadingRestoresEveryItemAndTheCurrentPartitions) {
    Write("s1Trk.txt", kPartitionTrack);
    EXPECT_EQ(ReadTrack(), 1);
    EXPECT_STREQ(whichHier, "s1Hie.txt");
    EXPECT_EQ((Ints{hasHier, nchor[0], rese_opt, rcst[0], fuzzy, poolCSTopt}), (Ints{1, 1, 6, 4, 3, 2}));
    EXPECT_EQ((Strings{partLabel[1], grLabelP[1][2], grCstLabel[1]}), (Strings{"year", "y3", "B"}));
    // The current partitions are the stored slots whichPart and whichCstPart.
    EXPECT_EQ((Ints{groupRelP[1][0], nGroups, whichLevelGrCST, nCstGroups, groupCstP[0][0]}),
              (Ints{3, 3, 2, 2, 2}));
    EXPECT_EQ((std::vector<const void*>{groupRel, grLabel, groupCst}),
              (std::vector<const void*>{groupRelP[1], grLabelP[1], groupCstP[0]}));
}

TEST_F(TrackTest, BoundsAndTheCurrentOtuPartitionInTheSecondSlot) {
    Write("s1Trk.txt", kBoundsTrack);
    EXPECT_EQ(ReadTrack(), 1);
    EXPECT_EQ((Ints{nchor[0], nchor[2], whichPart, nGroups, whichLevelGrCST, whichLevelCst, SMWSize}),
              (Ints{0, 3, 1, 3, 3, 3, 4}));
    EXPECT_EQ((Ints{nPartCst, whichCstPart, nCstGroups, groupCst[0], groupCst[1], groupCstP[0][3]}),
              (Ints{2, 1, 3, 3, 1, 0}));
    EXPECT_EQ((std::vector<const void*>{groupCst, grCstLabel}),
              (std::vector<const void*>{groupCstP[1], grCstLabelP[1]}));
    EXPECT_EQ((Strings{partCstLabel[1], grCstLabel[0], grCstLabel[2]}), (Strings{"sizes", "S", "L"}));
    // An empty label is written as "NULL", and the labels after it stay in their places.
    grCstLabelP[1][1][0] = '\0';
    partLabel[0][0] = '\0';
    WriteTrack(1);
    EXPECT_EQ(Read("s1Trk.txt"), Edit(Edit(kBoundsTrack, "S M L", "S NULL L"), "habitat", "NULL"));
    EXPECT_EQ(ReadTrack(), 1);
    EXPECT_EQ((Strings{partLabel[0], partLabel[1], grCstLabel[1], grCstLabel[2]}),
              (Strings{"NULL", "year", "NULL", "L"}));
}

TEST_F(TrackTest, WrittenBackByteForByte) {
    for (const std::string& text : {kPlainTrack, kPartitionTrack, Edit(kPlainTrack, "1.000000", "1.234567")}) {
        Write("s1Trk.txt", text);
        ReadTrack();
        std::filesystem::remove("s1Trk.txt");
        WriteTrack(1);
        EXPECT_EQ(Read("s1Trk.txt"), text);
        EXPECT_EQ(Entries(), 2);  // no temporary file left beside it and the data
    }
}

// An unknown version, or a track file of a new session (its data file and version only, blanks after
// them), restores nothing.
TEST_F(TrackTest, UnknownVersionOrAShortFileKeepsTheOptions) {
    rese_opt = 5;
    Write("s1Trk.txt", Edit(kPlainTrack, "07Jul17", "01Jan99"));
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(ReadTrack(), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "\n\aFormda file is compatible, but other files of the session \nare not compatible with this "
              "program version." + std::string(53, ' '));
    for (const std::string& text : {kShortTrack, Edit(kShortTrack, "07Jul17\n", "07Jul17 \t\n")}) {
        Write("s1Trk.txt", text);
        EXPECT_EQ(ReadTrack(), 1) << text;
    }
    EXPECT_EQ(rese_opt, 5);
    // The size of an OTU partition: rcst of its level (partition 1 at level 2: 2 types), 0 for a slot
    // out of range or while either array it reads is absent.
    Write("s1Trk.txt", kPartitionTrack);
    ReadTrack();
    EXPECT_EQ((Ints{OtuPartitionSize(0), OtuPartitionSize(-1), OtuPartitionSize(kMaxPartitions)}), (Ints{2, 0, 0}));
    for (int** array : {&whichLevelGrCstP, &rcst}) {
        int* kept = *array;
        *array = nullptr;
        EXPECT_EQ(OtuPartitionSize(0), 0);
        *array = kept;
    }
}

TEST_F(TrackTest, FilesThatDoNotFitTheDataAreRefusedAndLeftAsTheyWere) {
    const std::string rows[] = {
        Edit(kPlainTrack, "\n0\n0\n\n\n0 0", "\n11\n0\n\n\n0 0"),         // too many partitions
        Edit(kPartitionTrack, "\n2\n1\nhabitat", "\n2\n2\nhabitat"),      // no such current one
        Edit(kPartitionTrack, "2 3 \ndry", "2 5 \ndry"),                  // more groups than communities
        Edit(kPartitionTrack, "1 2 2 1 \n", "1 2 3 1 \n"),                // beyond the group count
        Edit(kPartitionTrack, "1 2 2 1 \n", "1 2 -1 1 \n"),
        Edit(kPartitionTrack, "0 1 \n2\n", "0 1 \n4\n"),                  // levels outside 1..nch
        Edit(kPartitionTrack, "0 1 \n2\n", "0 1 \n0\n"),
        Edit(kPartitionTrack, "A B \n2 \n", "A B \n5 \n"),
        Edit(kPartitionTrack, "0 1 \n2\n", "0 10 \n2\n"),                 // no such stored slot
        Edit(kPartitionTrack, "3 \n0 1 \n2\n", "3 \n10 1 \n2\n"),
        Edit(kPlainTrack, "1 2 3 \n", "1 2 9 \n"),                        // beyond the traits
        Edit(kPartitionTrack, "dry wet", "dry wetter"),                   // longer than the field
        Edit(kPlainTrack, "s1Hie.txt", std::string(80, 'h')),
        Edit(kPlainTrack, "s1Hie.txt", std::string(kFileNameSize, 'h')),  // one past the field's room
        Edit(kPlainTrack, "4 2 2 \n3", "4 2 x \n3"),                      // not a number
        Edit(kPlainTrack, "4 2 2 \n3", "4 2 2x \n3"),                     // a number and more
        Edit(kPlainTrack, "4 2 2 \n3", "4 2 99999999999 \n3"),            // beyond any int
        Edit(kPlainTrack, "0\n1\n2\n0\n1\n", "0\n1\n2\n0\n5\n"),          // window beyond the communities
        kPartitionTrack.substr(0, kPartitionTrack.find("dry")),           // ends early
        Edit(kBoundsTrack, "0\n4\n", "0\n5\n"),                          // each bound passed by one
        Edit(kBoundsTrack, "1 3 \n1 2 2 0", "1 4 \n1 2 2 0"),
        Edit(kBoundsTrack, "0 2 3 \n4", "0 2 4 \n4"),
        Edit(kBoundsTrack, "0 1 \n3\n2", "0 1 \n4\n2"),
        Edit(kBoundsTrack, "0\n0\n3\n2\n0", "0\n0\n4\n2\n0"),
        Edit(kBoundsTrack, "1 2 2 0 \n3 1", "1 2 3 0 \n3 1"),
        Edit(kBoundsTrack, "3 1 \n1 0", "4 1 \n1 0"),
        Edit(kBoundsTrack, "1 0 1 1 \n", "1 0 2 1 \n"),
        Edit(kBoundsTrack, "\n2\n1\ntypes", "\n2\n2\ntypes"),
    };
    for (const std::string& text : rows) {
        SCOPED_TRACE(text);
        Write("s1Trk.txt", text);
        EXPECT_EQ(CodeOf([] { ReadTrack(); }), 2);
        EXPECT_EQ(Read("s1Trk.txt"), text);
        EXPECT_EQ(trackFp, nullptr);
    }
    // The longest name the field holds (its room less the terminating byte) is read whole.
    const std::string longest(kFileNameSize - 1, 'h');
    Write("s1Trk.txt", Edit(kPlainTrack, "s1Hie.txt", longest));
    EXPECT_EQ(CodeOf([] { ReadTrack(); }), 0);
    EXPECT_EQ(std::string(whichHier), longest);
}

TEST_F(TrackTest, FilesThatCannotBeOpenedOrWritten) {
    EXPECT_EQ(CodeOf([] { ReadTrack(); }), 4);
    // A directory where the file should go: the temporary file is removed again.
    std::filesystem::create_directory("s1Trk.txt");
    EXPECT_EQ(CodeOf([] { WriteTrack(1); }), 4);
    EXPECT_EQ(Entries(), 2);
    // A write that fails raises code 3 and leaves the old file.
    std::filesystem::remove("s1Trk.txt");
    Write("s1Trk.txt", "old\n");
    EXPECT_EQ(CodeWithSmallFiles([] { WriteTrack(1); }), 3);
    EXPECT_EQ(Read("s1Trk.txt"), "old\n");
    EXPECT_EQ(Entries(), 2);
}

// The track file's one single-precision item, the degree of fuzziness: a number that single
// precision holds is read as its float, subnormals included; one beyond it, or one that is not 0
// and yet would read as 0, makes the file a damaged track file (its name, code 2).
//
// The boundaries from IEEE arithmetic, round to nearest: a decimal rounds to a non-zero float iff it
// lies above 2^-150 = 7.00649232162408535e-46 (half the smallest subnormal 2^-149), and to a finite
// one iff it lies below 2^128 - 2^103 = 3.40282356779733661637e+38 (halfway between FLT_MAX =
// 2^128 - 2^104 and 2^128). Each word beside a bound differs from it in the eighth digit.
TEST_F(TrackTest, AFuzzinessSinglePrecisionCannotHoldIsADamagedFile) {
    const struct {
        const char* word;
        bool read;
        float value;  // when read
    } cases[] = {
        {"0.000000", true, 0.0f},             // a 0 as the writer writes it
        {"-0", true, -0.0f},
        {"0e-99", true, 0.0f},                // a 0 with an exponent is still 0
        {"7.0064924e-46", true, 0x1p-149f},   // just above 2^-150: the smallest subnormal
        {"1.4e-45", true, 0x1p-149f},
        {"-7.0064924e-46", true, -0x1p-149f},
        {"0x1p-149", true, 0x1p-149f},
        {"1e-40", true, 1e-40f},              // a subnormal, read as it is
        {"1.17549435e-38", true, FLT_MIN},
        {"3.40282347e+38", true, FLT_MAX},
        {"3.40282356e+38", true, FLT_MAX},    // just below the midpoint: rounds down to FLT_MAX
        {"-3.40282356e+38", true, -FLT_MAX},
        {"7.0064923e-46", false, 0},          // just below 2^-150: would read as 0
        {"-7.0064923e-46", false, 0},
        {"1e-50", false, 0},
        {"0x1p-200", false, 0},
        {"3.40282357e+38", false, 0},         // just above the midpoint: rounds to an infinity
        {"-3.40282357e+38", false, 0},
        {"1e39", false, 0},
        {"inf", false, 0},
        {"nan", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        const std::string text = Edit(kPlainTrack, "\n3\n1.000000\n", std::string("\n3\n") + c.word + "\n");
        Write("s1Trk.txt", text);
        fuzziness = 0.5f;
        SMWSize = 7;
        ::testing::internal::CaptureStderr();
        const int code = CodeOf([] { ReadTrack(); });
        const std::string err = ::testing::internal::GetCapturedStderr();
        if (c.read) {
            EXPECT_EQ(code, 0) << err;
            EXPECT_EQ(err, "");
            // Compared bit for bit: the sign of a zero counts.
            EXPECT_EQ(std::memcmp(&fuzziness, &c.value, sizeof(float)), 0) << fuzziness;
            EXPECT_EQ(SMWSize, 1);  // and the items after it
        } else {
            EXPECT_EQ(code, 2);
            EXPECT_EQ(err, "\nfile s1Trk.txt ");
            EXPECT_EQ(fuzziness, 0.5f);
        }
        EXPECT_EQ(Read("s1Trk.txt"), text);
        EXPECT_EQ(trackFp, nullptr);
    }
}

}  // namespace
