// Console readers: filtering through `in`, echo of accepted answers to `outm` while a macro
// is recorded or replayed, and the file-or-keyboard dialog of the long input.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "FoundationTestSupport.h"
#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"

namespace {

template <class F>
int CodeOf(F f) {
    try {
        f();
    } catch (const TnxError& e) {
        return e.code();
    }
    return 0;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) n++;
    return n;
}

// Console state set up by a test and put back afterwards.
class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override { InitConsoleStreams(); }
    void TearDown() override { InitConsoleStreams(); }
};

std::string TempFileWith(const std::string& text) {
    char path[] = "/tmp/tnxreadXXXXXX";
    int fd = mkstemp(path);
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) path[0] = '\0';
    close(fd);
    return path;
}

}  // namespace

TEST_F(ConsoleTest, StartValuesAreTheStandardStreams) {
    EXPECT_EQ(in, stdin);
    EXPECT_EQ(out, stdout);
    EXPECT_EQ(outm, nullptr);
    EXPECT_EQ(createMacro, 0);
    EXPECT_EQ(runMacro, 0);
}

TEST_F(ConsoleTest, ReadCharInEchoesOnlyWhileAMacroRuns) {
    TextStream answers("O\nz\nS\n");
    SinkStream macro;
    in = answers.f;
    outm = macro.f;
    EXPECT_EQ(ReadCharIn("N O S A X"), 'o');
    EXPECT_EQ(macro.Text(), "");   // not recording: no echo
    createMacro = 1;
    ConsoleCapture cap;
    EXPECT_EQ(ReadCharIn("N O S A X"), 's');
    cap.Stop();
    EXPECT_EQ(cap.err, "\nIncorrect input = z. Reenter.\nAccepted input: N O S A X\n");
    EXPECT_EQ(macro.Text(), "s\n");
}

TEST_F(ConsoleTest, ReadCharInTakesANullStreamAsStandardInput) {
    StdinFrom input("a\n");
    in = nullptr;
    EXPECT_EQ(ReadCharIn("a b"), 'a');
}

TEST_F(ConsoleTest, ReadNumberInEchoesInTheFormatsType) {
    TextStream answers("12.7\n4294967295\n16777217\n0.1\n3\n");
    SinkStream macro;
    in = answers.f;
    outm = macro.f;
    createMacro = 1;
    EXPECT_EQ(ReadNumberIn("%d\n", "-", 1, 1000), 12.7);
    EXPECT_EQ(ReadNumberIn("%u\n", "-", 1, 4294967295.0), 4294967295.0);
    EXPECT_EQ(ReadNumberIn("%f\n", nullptr), 16777217.0);   // returned as typed
    EXPECT_EQ(ReadNumberIn("%lf\n", nullptr), 0.1);
    EXPECT_EQ(ReadNumberIn("%-3d", "1 2 3 4"), 3.0);
    // %f shows the value rounded to single precision; %lf the double itself.
    EXPECT_EQ(macro.Text(), "12\n4294967295\n16777216.000000\n0.100000\n3  ");
}

TEST_F(ConsoleTest, ReadNumberInReplaysEchoToTheReport) {
    TextStream answers("2\n");
    SinkStream report;
    in = answers.f;
    outm = report.f;
    runMacro = 1;
    EXPECT_EQ(ReadNumberIn("%g\n", "1 2"), 2.0);
    EXPECT_EQ(report.Text(), "2\n");
}

TEST_F(ConsoleTest, IntegerAnswersMustFitTheirType) {
    TextStream answers("1e10 nan -inf 5\n-1 7\n");
    in = answers.f;
    ConsoleCapture cap;
    EXPECT_EQ(ReadNumberIn("%d\n", nullptr), 5.0);
    EXPECT_EQ(ReadNumberIn("%u\n", nullptr), 7.0);
    cap.Stop();
    EXPECT_EQ(cap.err,
              "\nIncorrect input = 1e+10. Reenter.\nAccepted input: -2.14748e+09 to 2.14748e+09\n"
              "\nIncorrect input = nan. Reenter.\nAccepted input: -2.14748e+09 to 2.14748e+09\n"
              "\nIncorrect input = -inf. Reenter.\nAccepted input: -2.14748e+09 to 2.14748e+09\n"
              "\nIncorrect input = -1. Reenter.\nAccepted input: 0 to 4.29497e+09\n");
    EXPECT_EQ(Count(cap.out, "\a"), 4u);
}

TEST_F(ConsoleTest, ReadNumberInAtTheEndOfInputRaisesCodeTwo) {
    TextStream answers("  ");
    in = answers.f;
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([] { ReadNumberIn("%d\n", "-", 1, 10); }), 2);
    cap.Stop();
    EXPECT_EQ(cap.err, "\nEnd of file input\n");
}

TEST_F(ConsoleTest, ReadStringInReadsOneBoundedWord) {
    TextStream answers("  alpha beta\nabcdefghij next\n");
    SinkStream macro;
    in = answers.f;
    outm = macro.f;
    createMacro = 1;
    char word[22];
    EXPECT_STREQ(ReadStringIn("%s\n", word), "alpha");
    EXPECT_STREQ(ReadStringIn("%s\n", word), "beta");
    char small[4];
    EXPECT_STREQ(ReadStringIn("%s\n", small), "abc");
    EXPECT_STREQ(ReadStringIn("%s\n", small, sizeof small), "nex");
    EXPECT_EQ(macro.Text(), "alpha\nbeta\nabc\nnex\n");
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([&] { ReadStringIn("%s\n", word); }), 2);
    cap.Stop();
    EXPECT_EQ(cap.err, "\nfile input ");
}

TEST_F(ConsoleTest, ReadLineInReadsAFieldAndEchoesIt) {
    TextStream answers("\n  my macro.txt\nrest");
    SinkStream macro;
    in = answers.f;
    outm = macro.f;
    runMacro = 1;
    char line[42];
    EXPECT_STREQ(ReadLineIn(line, 41), "my macro.txt");
    EXPECT_EQ(macro.Text(), "my macro.txt\n");
    ReadLineIn(line, 41);
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([&] { ReadLineIn(line, 41); }), 2);
}

TEST_F(ConsoleTest, LongInputOfLabelsFromTheKeyboard) {
    StdinFrom input("k\na b c\ny\n");
    in = stdin;
    char** labels = dim2Dchar(3, 11);
    ConsoleCapture cap;
    EXPECT_EQ(ReadLongInput(3, 10, labels, "labels"), 1);
    cap.Stop();
    EXPECT_STREQ(labels[0], "a");
    EXPECT_STREQ(labels[1], "b");
    EXPECT_STREQ(labels[2], "c");
    EXPECT_EQ(cap.out,
              "Read input from file (f) or from the keyboard (k)? f/k \nEnter labels:\tAre these correct? y/n ");
    free2D(labels, 3);
}

TEST_F(ConsoleTest, LongInputOfLabelsAnsweredNoAsksEverythingAgain) {
    StdinFrom input("k\na b c\nn\nk\nd e_long_label f\ny\n");
    in = stdin;
    SinkStream macro;
    outm = macro.f;
    createMacro = 1;
    char** labels = dim2Dchar(3, 5);
    ConsoleCapture cap;
    ReadLongInput(3, 4, labels, "group labels");
    cap.Stop();
    EXPECT_EQ(Count(cap.out, "Read input from file (f) or from the keyboard (k)? f/k "), 2u);
    EXPECT_STREQ(labels[0], "d");
    EXPECT_STREQ(labels[1], "e_lo");   // cut to the label length
    EXPECT_STREQ(labels[2], "f");
    EXPECT_EQ(macro.Text(), "d\te_lo\tf\t\n");   // only the accepted list is echoed
    free2D(labels, 3);
}

TEST_F(ConsoleTest, LongInputOfLabelsFromAFile) {
    std::string path = TempFileWith("one two\nthree\n");
    std::string shortPath = TempFileWith("only\n");
    StdinFrom input("f\n" + path + "\ny\nf\n/no/such/labels\nf\n" + shortPath + "\ny\n");
    in = stdin;
    char** labels = dim2Dchar(3, 11);
    ConsoleCapture cap;
    ReadLongInput(3, 10, labels, "labels");
    EXPECT_STREQ(labels[2], "three");
    ReadLongInput(3, 10, labels, "labels");
    cap.Stop();
    // A missing file asks again; a file with fewer words leaves the other labels empty.
    EXPECT_STREQ(labels[0], "only");
    EXPECT_STREQ(labels[1], "");
    EXPECT_STREQ(labels[2], "");
    EXPECT_NE(cap.out.find("Enter name of file containing the labels: "), std::string::npos);
    EXPECT_NE(cap.out.find("labels:\tone\ttwo\tthree\t\n"), std::string::npos);
    EXPECT_NE(cap.err.find("\ncan't open /no/such/labels \n"), std::string::npos);
    EXPECT_NE(cap.err.find("\nEnd of file " + shortPath + "\n"), std::string::npos);
    remove(path.c_str());
    remove(shortPath.c_str());
    free2D(labels, 3);
}

TEST_F(ConsoleTest, LongInputOfValuesRestartsOnMinusOne) {
    StdinFrom input("k\n1 -1\nk\n3 4\ny\n");
    in = stdin;
    int values[2] = {0, 0};
    ConsoleCapture cap;
    EXPECT_EQ(ReadLongInput(2, values, "trait groups", nullptr), 1);
    cap.Stop();
    EXPECT_EQ(values[0], 3);
    EXPECT_EQ(values[1], 4);
    EXPECT_EQ(Count(cap.out, "Enter trait groups: \t"), 2u);
}

TEST_F(ConsoleTest, LongInputOfValuesFiltersByTheList) {
    StdinFrom input("k\n1 5 4 2\ny\n");
    in = stdin;
    SinkStream macro;
    outm = macro.f;
    createMacro = 1;
    int values[3];
    ConsoleCapture cap;
    ReadLongInput(3, values, "trait types", "1 2 3 4");
    cap.Stop();
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[1], 4);
    EXPECT_EQ(values[2], 2);
    EXPECT_EQ(cap.err, "\nIncorrect input = 5. Reenter.\nAccepted input: 1 2 3 4\n");
    EXPECT_EQ(macro.Text(), "1\t4\t2\t\n");
}

TEST_F(ConsoleTest, LongInputOfValuesRefusesNumbersAnIntCannotHold) {
    StdinFrom input("k\n3e9 6\ny\n");
    in = stdin;
    int values[1];
    ConsoleCapture cap;
    ReadLongInput(1, values, "OTUs", nullptr);
    cap.Stop();
    EXPECT_EQ(values[0], 6);
    EXPECT_EQ(cap.err, "\nIncorrect input = 3e+09. Reenter.\nAccepted input: -2.14748e+09 to 2.14748e+09\n");
}

TEST_F(ConsoleTest, LongInputOfValuesFromAFile) {
    std::string stop = TempFileWith("7 -1 9");
    std::string good = TempFileWith("1 2 3");
    std::string huge = TempFileWith("1 1e12 3");
    StdinFrom input("f\n" + stop + "\nf\n" + good + "\ny\nf\n" + huge + "\n");
    in = stdin;
    int values[3] = {0, 0, 0};
    ConsoleCapture cap;
    ReadLongInput(3, values, "trait groups", nullptr);
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[2], 3);
    // A value that no int can hold in a file is unreadable: code 2.
    EXPECT_EQ(CodeOf([&] { ReadLongInput(3, values, "trait groups", nullptr); }), 2);
    cap.Stop();
    // After -1 the values read so far are shown, the others keep their contents.
    EXPECT_NE(cap.out.find("trait groups:\t7\t0\t0\t\n\n"), std::string::npos);
    EXPECT_NE(cap.out.find("trait groups:\t1\t2\t3\t\n"), std::string::npos);
    EXPECT_NE(cap.err.find("\nfile " + huge + " "), std::string::npos);
    remove(stop.c_str());
    remove(good.c_str());
    remove(huge.c_str());
}

TEST_F(ConsoleTest, ReplayAsksNothingAndWritesToTheReport) {
    TextStream macroFile("x y\n5 6\n");
    SinkStream report;
    in = macroFile.f;
    out = report.f;
    outm = report.f;
    runMacro = 1;
    char** labels = dim2Dchar(2, 11);
    int values[2];
    ConsoleCapture cap;
    ReadLongInput(2, 10, labels, "labels");
    ReadLongInput(2, values, "OTUs", nullptr);
    cap.Stop();
    EXPECT_EQ(cap.out, "");   // no question on the console
    EXPECT_EQ(report.Text(), "Enter labels:\tx\ty\t\nEnter OTUs: \t5\t6\t\n");
    free2D(labels, 2);
}

TEST_F(ConsoleTest, ReplayEndingInsideAListRaisesCodeTwo) {
    TextStream macroFile("x\n");
    SinkStream report;
    in = macroFile.f;
    out = report.f;
    runMacro = 1;
    char** labels = dim2Dchar(2, 11);
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([&] { ReadLongInput(2, 10, labels, "labels"); }), 2);
    TextStream numbers("4\n");
    in = numbers.f;
    int values[2];
    EXPECT_EQ(CodeOf([&] { ReadLongInput(2, values, "OTUs", nullptr); }), 2);
    cap.Stop();
    free2D(labels, 2);
}

TEST_F(ConsoleTest, ClosedKeyboardDuringLongInputRaisesCodeTwo) {
    StdinFrom input("k\na\n");
    in = stdin;
    char** labels = dim2Dchar(2, 11);
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([&] { ReadLongInput(2, 10, labels, "labels"); }), 2);
    cap.Stop();
    EXPECT_NE(cap.err.find("\nfile keyboard "), std::string::npos);
    free2D(labels, 2);
}
