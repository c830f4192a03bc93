// The track file's one single-precision item, the degree of fuzziness: a number that single
// precision holds is read as its float, subnormals included; one beyond it, or one that is not 0
// and yet would read as 0, makes the file a damaged track file (its name, code 2).
#include <cfloat>

#include "session/model/TNXTRACK.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

class TrackFloatItem : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        std::strcpy(whichTrack, "s1Trk.txt");
        LoadFiveOtus();
    }
    void TearDown() override {
        FreeGlobals1();
        TempDirTest::TearDown();  // the settings read, fuzziness among them, put back
    }
};

// The boundaries from IEEE arithmetic, round to nearest: a decimal rounds to a non-zero float iff it
// lies above 2^-150 = 7.00649232162408535e-46 (half the smallest subnormal 2^-149), and to a finite
// one iff it lies below 2^128 - 2^103 = 3.40282356779733661637e+38 (halfway between FLT_MAX =
// 2^128 - 2^104 and 2^128). Each word beside a bound differs from it in the eighth digit.
TEST_F(TrackFloatItem, AFuzzinessSinglePrecisionCannotHoldIsADamagedFile) {
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
