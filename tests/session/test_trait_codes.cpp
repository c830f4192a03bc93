// Trait codes built with the data set, and the readers of the intermediate file.
#include "session/model/TNXHIEFILE.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

using TraitCodesTest = ConsoleTest;
using IntermediateFileTest = TempDirTest;

// FiveOtus holds the traits 1..7 of its five OTUs; `first` replaces the first OTU's first value.
void LoadWithFirstTrait(const std::string& first) {
    std::ofstream("d.txt") << Edit(FiveOtus(false), "25Jun2016 \n1\t", "25Jun2016 \n" + first + "\t");
    LoadFormda("d.txt");
}

}  // namespace

TEST_F(TraitCodesTest, BuiltFromWholeNumbersUpTo99AndOtherwiseRefused) {
    // Whole numbers 0..99 become two digits, a leading 0 below 10; anything else leaves no codes.
    const struct {
        const char* first;
        const char* code;  // the first OTU's codes, or null
    } cases[] = {{"7", "070203"}, {"0", "000203"}, {"99", "990203"}, {"42", "420203"},
                 {"2.5", nullptr}, {"100", nullptr}, {"-1", nullptr},      {"-999", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        LoadWithFirstTrait(c.first);
        if (c.code) {
            ASSERT_NE(csm, nullptr);
            EXPECT_EQ(GetRows(csm, tcst), (Strings{c.code, "020304", "030405", "040506", "050607"}));
            EXPECT_TRUE(TraitCodesAvailable());
        } else {
            EXPECT_EQ(csm, nullptr);
            EXPECT_FALSE(TraitCodesAvailable());
        }
    }
    EXPECT_EQ(Count(Out(), "\nThis analysis needs every trait value as a whole number from 0 to 99: nothing was "
                           "computed.\n"),
              4);
    FreeGlobals2();
    EXPECT_EQ(csm, nullptr);
}

TEST_F(IntermediateFileTest, LevelsReadWithTheirCountsChecked) {
    ncsm = 2;
    // Level 1: 3 rows; level 2: 1 row. 0.1 parses differently in single and double precision.
    Write("h.txt", "3\t2\n1 2 \n3 4 \n5 6 \n1\t2\n0.1 7 \n");
    int rows = 0, perLevel[2] = {0, 0};
    float** one = ReadIntermediateLevel("h.txt", 1, &rows);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(Get(one, 3, 2), (Floats{1, 2, 3, 4, 5, 6}));
    free2D(one, rows);
    double** two = ReadIntermediateLevelDouble("h.txt", 2, &rows, perLevel);
    EXPECT_EQ((Ints{rows, perLevel[0], perLevel[1]}), (Ints{1, 3, 1}));
    EXPECT_EQ((std::vector<double>{two[0][0], two[0][1]}), (std::vector<double>{0.1, 7}));
    free2D(two, rows);
    int all[2] = {0, 0};
    float*** levels = ReadIntermediateLevels("h.txt", 2, all);
    EXPECT_EQ((Ints{all[0], all[1]}), (Ints{3, 1}));
    EXPECT_EQ(Get(levels[1], 1, 2), (Floats{0.1f, 7}));
    FreeIntermediateLevels(levels, 2, all);

    const struct {
        const char* text;
        int level, code;
    } bad[] = {
        {"3\t3\n1 2 3\n", 1, 2},           // a community count other than ncsm
        {"0\t2\n", 1, 2},                  // a level without rows
        {"2\t2\n1 2\n3\n", 1, 2},          // ends inside the table
        {"1\t2\n1 x\n", 1, 2},             // a value that is no number
        {"1\t2\n1 2x\n", 1, 2},            // a number running into letters
        {"2000000000\t2\n1 2\n", 1, 2},    // more values than the file can hold: nothing allocated
        {"1\t2\n1 2\n", 2, 2},             // the level asked for is not there
        {"1\t2\n1 2\n", 0, 2},             // levels are counted from 1
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.text);
        Write("bad.txt", b.text);
        int r = -1;
        testing::internal::CaptureStderr();
        EXPECT_EQ(CodeOf([&] { free2D(ReadIntermediateLevel("bad.txt", b.level, &r), r); }), b.code);
        int counts[2] = {0, 0};
        EXPECT_EQ(CodeOf([&] { FreeIntermediateLevels(ReadIntermediateLevels("bad.txt", 2, counts), 2, counts); }),
                  2);
        testing::internal::GetCapturedStderr();
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(CodeOf([&] { ReadIntermediateLevel("none.txt", 1, &rows); }), 4);
    testing::internal::GetCapturedStderr();
}
