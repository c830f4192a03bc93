// The console: readers with their echo to `outm`, the long input's file-or-keyboard dialog, the
// progress line, waiting, time stamps and processor time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "FoundationTestSupport.h"
#include "common/TimeStampLine.h"
#include "foundation/ConsoleReaders.h"
#include "foundation/iflibG.h"

namespace {

// Console state set up by a test and put back afterwards.
class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override { InitConsoleStreams(); }
    void TearDown() override {
        keyboard_.reset();
        InitConsoleStreams();
    }
    // The answers typed (or replayed), read through `in`; accepted answers are echoed to macro.
    void Type(const std::string& text) {
        keyboard_.reset();
        keyboard_.reset(new StdinFrom(text));
        in = stdin;
        outm = macro.f;
    }
    TextStream macro;
    std::unique_ptr<StdinFrom> keyboard_;
};

const std::string kIntRange = ". Reenter.\nAccepted input: -2.14748e+09 to 2.14748e+09\n";

}  // namespace

TEST_F(ConsoleTest, CharactersWordsAndLinesAreBoundedAndEchoedOnlyWhileAMacroRuns) {
    Type("O\nz\nS\n  alpha beta\nabcdefghij next\n\n  my macro.txt\n");
    EXPECT_EQ(ReadCharIn("N O S A X"), 'o');
    EXPECT_EQ(macro.Text(), "");   // not recording: no echo
    createMacro = 1;
    char word[22], small[4], line[42];
    ConsoleCapture cap;
    EXPECT_EQ(ReadCharIn("N O S A X"), 's');
    EXPECT_STREQ(ReadStringIn("%s\n", word), "alpha");
    createMacro = 0;
    runMacro = 1;   // a replay echoes too
    EXPECT_STREQ(ReadStringIn("%s\n", word), "beta");
    EXPECT_STREQ(ReadStringIn("%s\n", small), "abc");
    EXPECT_STREQ(ReadStringIn("%s\n", small, sizeof small), "nex");
    EXPECT_STREQ(ReadLineIn(line, 41), "my macro.txt");
    EXPECT_EQ(CodeOf([&] { ReadStringIn("%s\n", word); }), 2);
    EXPECT_EQ(CodeOf([&] { ReadLineIn(line, 41); }), 2);
    EXPECT_EQ(cap.Err(),
              "\nIncorrect input = z. Reenter.\nAccepted input: N O S A X\n\nfile input \nfile input ");
    EXPECT_EQ(macro.Text(), "s\nalpha\nbeta\nabc\nnex\nmy macro.txt\n");
}

TEST_F(ConsoleTest, NumbersAreEchoedInTheFormatsTypeAndRefusedWhenItCannotHoldThem) {
    Type("12.7\n4294967295\n16777217\n0.1\n3\n1e10 nan 5\n-1 7\n");
    createMacro = 1;
    EXPECT_EQ(ReadNumberIn("%d\n", "-", 1, 1000), 12.7);   // returned as typed
    EXPECT_EQ(ReadNumberIn("%u\n", "-", 1, 4294967295.0), 4294967295.0);
    EXPECT_EQ(ReadNumberIn("%f\n", nullptr), 16777217.0);
    EXPECT_EQ(ReadNumberIn("%lf\n", nullptr), 0.1);
    EXPECT_EQ(ReadNumberIn("%-3d", "1 2 3 4"), 3.0);
    // %f shows the value rounded to single precision; %lf the double itself.
    EXPECT_EQ(macro.Text(), "12\n4294967295\n16777216.000000\n0.100000\n3  ");
    ConsoleCapture cap;
    EXPECT_EQ(ReadNumberIn("%d\n", nullptr), 5.0);
    EXPECT_EQ(ReadNumberIn("%u\n", nullptr), 7.0);
    EXPECT_EQ(CodeOf([] { ReadNumberIn("%d\n", "-", 1, 10); }), 2);
    // "nan" is no number at a prompt: its letters are passed over like any others.
    EXPECT_EQ(cap.Err(), "\nIncorrect input = 1e+10" + kIntRange +
                           "\nIncorrect input = -1. Reenter.\nAccepted input: 0 to 4.29497e+09\n"
                           "\nEnd of file input\n");
    EXPECT_EQ(cap.Out(), "\a\a\a");
}

// The 64-bit limits are no exact doubles: 2^63 and 2^64, the first values beyond LONG_MAX and
// ULLONG_MAX, are refused (a 32-bit format takes its limit itself, as above).
TEST_F(ConsoleTest, SixtyFourBitFormatsRefuseThePowerOfTwoJustBeyondTheirRange) {
    const std::string sLong = "\nIncorrect input = 9.22337e+18. Reenter.\nAccepted input: -9.22337e+18 to 9.22337e+18\n";
    const std::string uLong = "\nIncorrect input = 1.84467e+19. Reenter.\nAccepted input: 0 to 1.84467e+19\n";
    for (const char* fmt : {"%ld\n", "%lld\n", "%lu\n", "%llu\n"}) {
        SCOPED_TRACE(fmt);
        const bool isSigned = fmt[std::strlen(fmt) - 2] == 'd';
        // 2^63 (2^64) is refused; the lower limit itself is taken.
        Type(isSigned ? "9223372036854775808\n-9223372036854775808\n" : "18446744073709551616\n0\n");
        createMacro = 1;
        ConsoleCapture cap;
        EXPECT_EQ(ReadNumberIn(fmt, nullptr), isSigned ? -9223372036854775808.0 : 0.0);
        EXPECT_EQ(cap.Err(), isSigned ? sLong : uLong);
    }
    EXPECT_EQ(macro.Text(), "-9223372036854775808\n-9223372036854775808\n0\n0\n");
}

// A conversion other than a word is read as the format gives it, up to its first blank or line end:
// the line end after the number stays in the input.
TEST_F(ConsoleTest, ReadStringInReadsOtherConversionsAsTheyStand) {
    Type("42\nnext");
    int v = 0;
    ReadStringIn("%d\n", reinterpret_cast<char*>(&v), sizeof v);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(fgetc(stdin), '\n');
}

TEST_F(ConsoleTest, LongInputFromTheKeyboardAsksAgainAfterNoOrMinusOneAndFilters) {
    Type("k\na b c\nn\nk\nd e_long_label f\ny\nk\n1 -1\nk\n3e9 3 4\ny\nk\n1 5 4 2\ny\n");
    createMacro = 1;
    Table<char> labels(3, 5);
    int values[3] = {0, 0, 0};
    ConsoleCapture cap;
    EXPECT_EQ(ReadLongInput(3, 4, labels, "labels"), 1);
    EXPECT_EQ(ReadLongInput(2, values, "trait groups", nullptr), 1);
    EXPECT_EQ(values[1], 4);
    EXPECT_EQ(ReadLongInput(3, values, "trait types", "1 2 3 4"), 1);
    const std::string question = "Read input from file (f) or from the keyboard (k)? f/k \n";
    const std::string round = question + "Enter labels:\tAre these correct? y/n ";
    EXPECT_EQ(cap.Out().substr(0, 2 * round.size()), round + round);
    EXPECT_NE(cap.Out().find("Enter trait groups: \t\n" + question), std::string::npos);   // asked again
    EXPECT_EQ(cap.Err(), "\nIncorrect input = 3e+09" + kIntRange +
                           "\nIncorrect input = 5. Reenter.\nAccepted input: 1 2 3 4\n");
    EXPECT_STREQ(labels[1], "e_lo");   // cut to the label length
    // Only the accepted lists are echoed.
    EXPECT_EQ(macro.Text(), "d\te_lo\tf\t\n3\t4\t\n1\t4\t2\t\n");
}

TEST_F(ConsoleTest, LongInputFromFiles) {
    TextStream labelFile("one two\nthree\n"), shortFile("only\n"), good("1 2 3"), huge("1 1e12 3");
    Type("f\n" + labelFile.Path() + "\ny\nf\n/no/such/labels\nf\n" + shortFile.Path() + "\ny\nf\n" +
         good.Path() + "\ny\nf\n" + huge.Path() + "\n");
    Table<char> labels(3, 11);
    int values[3] = {0, 0, 0};
    ConsoleCapture cap;
    ReadLongInput(3, 10, labels, "labels");
    EXPECT_STREQ(labels[2], "three");
    ReadLongInput(3, 10, labels, "labels");   // a missing file asks again
    EXPECT_STREQ(labels[0], "only");          // fewer words leave the other labels empty
    EXPECT_STREQ(labels[2], "");
    ReadLongInput(3, values, "trait groups", nullptr);
    EXPECT_EQ(values[2], 3);
    // A value that no int can hold in a file is unreadable: code 2.
    EXPECT_EQ(CodeOf([&] { ReadLongInput(3, values, "trait groups", nullptr); }), 2);
    EXPECT_NE(cap.Out().find("Enter name of file containing the labels: "), std::string::npos);
    EXPECT_NE(cap.Out().find("labels:\tone\ttwo\tthree\t\n"), std::string::npos);
    EXPECT_EQ(cap.Err(), "\ncan't open /no/such/labels: No such file or directory \n\nEnd of file " + shortFile.Path() + "\n\nfile " +
                             huge.Path() + " ");
}

// A list read from a file takes "nan" and "inf" for the values they spell, which no int holds: refused
// as in a file they always were (code 2, or the list's own refusal). Typed at the keyboard, they are
// letters, passed over like any others.
TEST_F(ConsoleTest, NonFiniteWordsOfAListAreRefusedInAFileAndPassedOverAtTheKeyboard) {
    TextStream groups("1 nan 2 3"), types("1 inf 2 3 4"), listed("1 nan 2 3");
    Type("f\n" + groups.Path() + "\nf\n" + types.Path() + "\nf\n" + listed.Path() + "\ny\nk\n1 nan 2 -inf 3\ny\n");
    int values[3] = {0, 0, 0};
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([&] { ReadLongInput(3, values, "trait groups", nullptr); }), 2);
    EXPECT_EQ(CodeOf([&] { ReadLongInput(3, values, "trait groups", nullptr); }), 2);
    ReadLongInput(3, values, "trait types", "1 2 3 4");
    EXPECT_EQ((std::vector<int>(values, values + 3)), (std::vector<int>{1, 2, 3}));
    values[0] = values[1] = values[2] = 0;
    ReadLongInput(3, values, "trait types", "1 2 3 4");
    EXPECT_EQ((std::vector<int>(values, values + 3)), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(cap.Err(), "\nfile " + groups.Path() + " \nfile " + types.Path() +
                             " \nIncorrect input = nan. Reenter.\nAccepted input: 1 2 3 4\n");
}

// A number too long to read, typed at a prompt, is refused as a value out of range is: its first 20
// characters and what the prompt accepts. It is passed over whole, and the answer after it is taken and
// echoed alone. In a list's file the same number is unreadable: code 2.
TEST_F(ConsoleTest, ANumberTooLongToReadIsRefusedAtAPromptAndUnreadableInAFile) {
    const std::string nines(512, '9'), ones = "-" + std::string(700, '1') + ".25e+2";
    TextStream file(nines + " 1 2\n");
    Type(nines + "\n7\n" + ones + " 2\n0." + std::string(600, '0') + "1\n0.5\nk\n" + nines + " 1 2\ny\nf\n" +
         file.Path() + "\n");
    createMacro = 1;
    int values[2] = {0, 0};
    ConsoleCapture cap;
    EXPECT_EQ(ReadNumberIn("%d\n", "-", 1, 10), 7.0);
    EXPECT_EQ(ReadNumberIn("%d\n", "1 2 3"), 2.0);
    EXPECT_EQ(ReadNumberIn("%lf\n", nullptr), 0.5);
    EXPECT_EQ(ReadLongInput(2, values, "OTUs", nullptr), 1);
    EXPECT_EQ((std::vector<int>(values, values + 2)), (std::vector<int>{1, 2}));
    EXPECT_EQ(CodeOf([&] { ReadLongInput(2, values, "OTUs", nullptr); }), 2);
    const std::string refused = "\nIncorrect input = ",
                      any = ".... Reenter.\nAccepted input: a number of at most 511 characters\n";
    EXPECT_EQ(cap.Err(), refused + std::string(20, '9') + ".... Reenter.\nAccepted input: 1 to 10\n" + refused + "-" +
                             std::string(19, '1') + ".... Reenter.\nAccepted input: 1 2 3\n" + refused + "0." +
                             std::string(18, '0') + any + refused + std::string(20, '9') + any + "\nfile " +
                             file.Path() + " ");
    EXPECT_EQ(std::count(cap.Out().begin(), cap.Out().end(), '\a'), 5);   // four refusals, the file
    EXPECT_EQ(macro.Text(), "7\n2\n0.500000\n1\t2\t\n");
}

TEST_F(ConsoleTest, ReplayAsksNothingAndRaisesCodeTwoWhenItEndsInsideAList) {
    Type("x y\n5 6\n");
    runMacro = 1;
    out = macro.f;
    Table<char> labels(2, 11);
    int values[2];
    ConsoleCapture cap;
    ReadLongInput(2, 10, labels, "labels");
    ReadLongInput(2, values, "OTUs", nullptr);
    EXPECT_EQ(cap.Out(), "");   // no question on the console
    EXPECT_EQ(macro.Text(), "Enter labels:\tx\ty\t\nEnter OTUs: \t5\t6\t\n");
    ConsoleCapture cap2;
    Type("x\n");
    EXPECT_EQ(CodeOf([&] { ReadLongInput(2, 10, labels, "labels"); }), 2);
    Type("4\n");
    EXPECT_EQ(CodeOf([&] { ReadLongInput(2, values, "OTUs", nullptr); }), 2);
    runMacro = 0;
    Type("k\na\n");   // the keyboard closed during the list
    EXPECT_EQ(CodeOf([&] { ReadLongInput(2, 10, labels, "labels"); }), 2);
    EXPECT_NE(cap2.Err().find("\nfile keyboard "), std::string::npos);
}

TEST(Progress, ThrottledLinesClearedOnceTimeStampsAndRatesThatNeverDivideByZero) {
    EXPECT_NEAR(static_cast<double>(kProgressInterval) / CLOCKS_PER_SEC, 5.0 / 60.0, 1e-3);
    InitIFLibG();   // right after start-up no calendar second has passed
    EXPECT_GE(GetClocksPerSecond(), 0);
    AdjustClocks_Event();
    EXPECT_TRUE(std::isfinite(Clocks_Event) && Clocks_Event >= 0);
    TextStream stamp;
    TimeStamp(stamp.f);
    EXPECT_TRUE(tnxtest::IsTimeStampLine(stamp.Text())) << stamp.Text();
    const std::string longText = "0123456789012345678901234567890123456789TAIL", pad(40, ' ');
    ConsoleCapture cap;
    t2 = clock() - kProgressInterval - 1;   // the next line is due
    HandleEventInfoWhere2("Permutation 10");
    HandleEventInfoWhere2("Permutation 11");   // too soon: nothing
    t2 = clock() - kProgressInterval - 1;
    HandleEventInfoWhere2(longText.c_str());   // its first forty characters
    EXPECT_EQ(is40CharLine + is80CharLine, 2);
    ClearLine();
    ClearLine();   // nothing pending any more
    ClearLineLength(80);
    EXPECT_EQ(cap.Out(),
              std::string(26, ' ') + "Permutation 10" + pad + "\n" + longText.substr(0, 40) + pad + "\n\n\n");
}

// A test that ends with a progress line pending leaves nothing to the next: run in one process, in
// this order, the second starts with no line pending (tests/common/CleanConsole.cpp), so that
// clearing it prints nothing.
TEST(Progress, ATestMayEndWithALinePending) {
    ConsoleCapture cap;
    t2 = clock() - kProgressInterval - 1;
    HandleEventInfoWhere2("Permutation 10");
    EXPECT_EQ(is40CharLine + is80CharLine, 2);
    EXPECT_EQ(cap.Out(), std::string(26, ' ') + "Permutation 10" + std::string(40, ' '));
}

TEST(Progress, ATestStartsWithNoLinePending) {
    EXPECT_EQ(is40CharLine + is80CharLine, 0);
    ConsoleCapture cap;
    ClearLine();
    EXPECT_EQ(cap.Out(), "");
}

TEST(Console, WaitStopsBeforeAControlCharacterAndReturnsAtTheEnd) {
    // Blanks and '~' (126) are passed over; DEL (127), LF and the unit separator (31) stop it.
    StdinFrom input("a b~\x7f c\n x\x1fyz");
    for (int stop : {127, 10, 31}) {
        Wait();
        EXPECT_EQ(fgetc(stdin), stop);
    }
    Wait();   // no control character before the end of input
    EXPECT_EQ(fgetc(stdin), EOF);
}
