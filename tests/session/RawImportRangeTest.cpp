// The raw-data import's values against the range of single precision, where B, W and E are
// stored (the phylogeny, kept in double, against the bound above only): 0 and every magnitude that rounds to neither 0 nor an infinity are
// taken; a number beyond, or one that is not 0 and would be stored as 0, is refused with its file,
// line and word and why, never as "not a number", before anything is written.
#include <cfloat>
#include <cstring>

#include "session/TNXIFFMT.h"
#include "session/TNXIFRAW.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

// The boundaries from IEEE arithmetic, round to nearest, ties to even, on the double a word reads
// as: it rounds to a non-zero float iff its magnitude exceeds 2^-150 (2^-150 itself ties to 0),
// and to a finite one iff its magnitude is below 2^128 - 2^103, halfway between FLT_MAX =
// 2^128 - 2^104 and 2^128 (which ties to 2^128). The words with 17 digits read as the doubles
// named beside them (checked in the first test).
const char* const kHalfSubnormal = "7.0064923216240854e-46";   // 2^-150
const char* const kAboveHalfSubnormal = "7.0064923216240869e-46";  // 2^-150 (1 + 2^-52)
const char* const kHalfwayToInfinity = "3.4028235677973366e+38";   // 2^128 - 2^103
const char* const kBelowHalfway = "3.4028235677973362e+38";        // 2^128 - 2^103 - 2^75

std::string Beyond(const std::string& file, int line, const std::string& word) {
    return "\nfile " + file + ", line " + std::to_string(line) + ": \"" + word +
           "\" is out of the range of single precision: its magnitude exceeds the largest value single precision "
           "holds, 3.40282347e+38.\n";
}
std::string Below(const std::string& file, int line, const std::string& word) {
    return "\nfile " + file + ", line " + std::to_string(line) + ": \"" + word +
           "\" is out of the range of single precision: it is not 0, yet so small that single precision would "
           "store it as 0.\n";
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class RawImportRange : public ConsoleTest {};

}  // namespace

// One word after a first line of 0, read by RawFile::Value: taken, as the float the import stores,
// or refused on line 2 with code 2.
TEST_F(RawImportRange, EachBoundaryOfSinglePrecisionOnBothSidesAndBothSigns) {
    ASSERT_EQ(std::strtod(kHalfSubnormal, nullptr), 0x1p-150);
    ASSERT_EQ(std::strtod(kAboveHalfSubnormal, nullptr), 0x1.0000000000001p-150);
    ASSERT_EQ(std::strtod(kHalfwayToInfinity, nullptr), 0x1p128 - 0x1p103);
    ASSERT_EQ(std::strtod(kBelowHalfway, nullptr), 0x1p128 - 0x1p103 - 0x1p75);
    Err();  // the table captures the error stream case by case
    const auto neg = [](const char* w) { return std::string("-") + w; };
    const struct {
        std::string word;
        char outcome;  // 'v' taken, 'b' beyond single precision, 's' not 0 and below it
        float stored;  // when taken
    } cases[] = {
        {"0", 'v', 0.0f},
        {"-0", 'v', -0.0f},
        {"0.000e-999", 'v', 0.0f},     // a 0 however small its exponent
        {"-999", 'v', -999.0f},        // the missing value
        {"1e-45", 'v', 0x1p-149f},     // 0.71 of the smallest subnormal: rounds up to it
        {"1.4e-45", 'v', 0x1p-149f},
        {kAboveHalfSubnormal, 'v', 0x1p-149f},
        {neg(kAboveHalfSubnormal), 'v', -0x1p-149f},
        {kHalfSubnormal, 's', 0},
        {neg(kHalfSubnormal), 's', 0},
        {"7e-46", 's', 0},
        {"1e-160", 's', 0},
        {"-1e-160", 's', 0},
        {"1e-999", 's', 0},            // below double precision too
        {"3.40282347e+38", 'v', FLT_MAX},
        {kBelowHalfway, 'v', FLT_MAX},
        {neg(kBelowHalfway), 'v', -FLT_MAX},
        {kHalfwayToInfinity, 'b', 0},
        {neg(kHalfwayToInfinity), 'b', 0},
        {"1e39", 'b', 0},
        {"1e+150", 'b', 0},
        {"-1e+150", 'b', 0},
        {"1e999", 'b', 0},             // beyond double precision too
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        Write("v.txt", "0\n" + c.word + "\n");
        Script("v.txt\n");
        rawimport::RawFile f;
        f.Ask();
        testing::internal::CaptureStderr();
        float first = 1.0f, value = 1.0f;
        const int code = CodeOf([&] {
            first = static_cast<float>(f.Value());
            value = static_cast<float>(f.Value());
        });
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(first, 0.0f);
        if (c.outcome == 'v') {
            EXPECT_EQ(code, 0) << err;
            EXPECT_TRUE(SameBits(value, c.stored)) << value;
        } else {
            EXPECT_EQ(code, 2);
            EXPECT_EQ(err, c.outcome == 'b' ? Beyond("v.txt", 2, c.word) : Below("v.txt", 2, c.word));
        }
    }
}

namespace {

// The import of 2 OTUs with 1 trait (b.txt, one OTU a line), their full phylogenetic similarities
// (f.txt), 3 communities as rows (w.txt) and 2 quantitative variables by communities (e.txt), every
// label by default.
const std::string kAnswers = "b.txt\n1\nf.txt\nw.txt\n0\n1\ne.txt\n2\n1\n1\n2\n3\n0\n2\n3\n1\n1\n2\n1\n1\nn\n";
const Strings kPlainFiles = {"b.txt", "1\n2\n", "f.txt", "1 0.5\n0.5 1\n", "w.txt", "1 2\n3 4\n5 6\n",
                             "e.txt", "1 2\n3 4\n5 6\n"};

class RawImportRangeFiles : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        runMacro = 1;  // the trait type is read from the answers, without the file-or-keyboard question
        std::strcpy(whichFormda, "tFormda.txt");
        volumeName[0] = '\0';
    }
    // Imports with the plain files, `file` holding `text`; the error code.
    int Import(const std::string& file, const std::string& text) {
        for (size_t k = 0; k < kPlainFiles.size(); k += 2) Write(kPlainFiles[k], kPlainFiles[k + 1]);
        Write(file, text);
        Script(kAnswers);
        const int code = CodeOf([] { IFFormat(); });
        ResetDataSet();
        return code;
    }
};

}  // namespace

// A number out of range in each matrix: named with its file and line, code 2, before anything of
// the session is written; an abundance below single precision is not made an absence.
TEST_F(RawImportRangeFiles, ANumberOutOfRangeInAnyMatrixIsNamedAndNothingIsWritten) {
    Err();
    const struct {
        const char* file;
        const char* text;
        int line;
        const char* word;
        bool beyond;
    } cases[] = {
        {"b.txt", "1\n1e+150\n", 2, "1e+150", true},
        {"b.txt", "-1e-160\n2\n", 1, "-1e-160", false},
        {"b.txt", "1\n\n1e39\n", 3, "1e39", true},
        {"f.txt", "1 -1e+150\n0.5 1\n", 1, "-1e+150", true},
        {"w.txt", "1 2\n3 1e-160\n5 6\n", 2, "1e-160", false},
        {"w.txt", "1 2\r\n3 4\r\n5 1e39\r\n", 3, "1e39", true},
        {"e.txt", "1 2\n3 4\n1e-999 6\n", 3, "1e-999", false},
        {"e.txt", "7 8\n-1e39 10\n5 6\n", 2, "-1e39", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.word);
        testing::internal::CaptureStderr();
        EXPECT_EQ(Import(c.file, c.text), 2);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  c.beyond ? Beyond(c.file, c.line, c.word) : Below(c.file, c.line, c.word));
        EXPECT_FALSE(std::filesystem::exists("tFormda.txt"));
    }
}

// The extremes single precision holds, in every matrix, read back from the written data file as
// the floats they round to; the phylogeny, kept in double, as read, a value below single precision
// among them.
TEST_F(RawImportRangeFiles, TheExtremesThatSinglePrecisionHoldsAreImportedAndReadBack) {
    for (size_t k = 0; k < kPlainFiles.size(); k += 2) Write(kPlainFiles[k], kPlainFiles[k + 1]);
    Write("b.txt", "-0\n-999\n");
    Write("f.txt", std::string("1e-160 ") + kAboveHalfSubnormal + "\n" + kBelowHalfway + " 1\n");
    Write("w.txt", std::string("1.4e-45 0\n3.40282347e+38 -0\n5 -") + kBelowHalfway + "\n");
    Write("e.txt", "0 -1e-45\n3 4\n5 -999\n");
    Script(kAnswers);
    IFFormat();
    LoadFormda("tFormda.txt");
    const Floats b = Get(csm_Float, 2, 1);
    EXPECT_TRUE(SameBits(b[0], -0.0f) && b[1] == -999.0f) << b[0] << " " << b[1];
    EXPECT_EQ(Get(phylogenyRese, 2, 2),
              (std::vector<double>{1e-160, 0x1.0000000000001p-150, 0x1p128 - 0x1p103 - 0x1p75, 1}));
    // cadat is OTUs x communities: the rows of w.txt are its columns.
    const Floats w = Get(cadat, 2, 3);
    EXPECT_EQ(w, (Floats{0x1p-149f, FLT_MAX, 5, 0, 0, -FLT_MAX}));
    EXPECT_TRUE(SameBits(w[4], -0.0f)) << w[4];
    EXPECT_EQ(Get(env, 3, 2), (Floats{0, -0x1p-149f, 3, 4, 5, -999}));
}
