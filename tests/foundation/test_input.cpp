// Checked file and text input: opening, fields, lines, filtered characters, numbers and
// words, with the exact messages on standard error and the bell on standard output.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FoundationTestSupport.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"

namespace {

const std::string kBell = "\a";

// Runs f and returns the code of the error it raises (0: none).
template <class F>
int CodeOf(F f) {
    try {
        f();
    } catch (const TnxError& e) {
        return e.code();
    }
    return 0;
}

}  // namespace

TEST(Fopenck, MissingFileGivesNullMessageAndBell) {
    ConsoleCapture cap;
    FILE* f = fopenck("Formda.txt", "/nonexistent-tarnex-dir/", "r");
    cap.Stop();
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(cap.err, "\ncan't open /nonexistent-tarnex-dir/Formda.txt \n");
    EXPECT_EQ(cap.out, kBell);
}

TEST(Fopenck, OpensDirectoryPlusNameAndNameAlone) {
    char path[] = "/tmp/tnxfopenXXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "42", 2), 2);
    close(fd);
    FILE* a = fopenck(path + 5, "/tmp/", "r");
    ASSERT_NE(a, nullptr);
    int v = 0;
    freadck(a, "%d", &v, "x");
    EXPECT_EQ(v, 42);
    fclose(a);
    FILE* b = fopenck(path, nullptr, "r");
    ASSERT_NE(b, nullptr);
    fclose(b);
    remove(path);
}

TEST(Fopenck, PathLongerThanTheBufferIsRefusedNotCut) {
    std::string longName(120, 'a');
    ConsoleCapture cap;
    FILE* f = fopenck(longName.c_str(), "", "w");
    cap.Stop();
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(cap.err, "\ncan't open " + longName + " \n");
    EXPECT_NE(access(longName.substr(0, 111).c_str(), F_OK), 0);
}

TEST(Freadck, ReadsOneItemOrRaisesCodeTwo) {
    TextStream s("  17 3.5 word");
    int i = 0;
    double d = 0;
    char w[10];
    freadck(s.f, "%d", &i, "data.txt");
    freadck(s.f, "%lf", &d, "data.txt");
    freadck(s.f, "%9s", w, "data.txt");
    EXPECT_EQ(i, 17);
    EXPECT_EQ(d, 3.5);
    EXPECT_STREQ(w, "word");
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([&] { freadck(s.f, "%d", &i, "data.txt"); }), 2);
    cap.Stop();
    EXPECT_EQ(cap.err, "\nfile data.txt ");
    EXPECT_EQ(cap.out, kBell);
}

TEST(Freadck, UnreadableItemRaisesCodeTwoAndLeavesTheStreamOpen) {
    TextStream s("abc");
    int i = 0;
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([&] { freadck(s.f, "%d", &i, "t.txt"); }), 2);
    cap.Stop();
    EXPECT_EQ(cap.err, "\nfile t.txt ");
    EXPECT_EQ(fgetc(s.f), 'a');   // the stream is still there for its owner to close
}

TEST(Freadck, IntegersOutsideTheirTypeAreRefused) {
    int i = 5;
    long l = 0;
    unsigned u = 0;
    short h = 0;
    {
        TextStream s("-2147483648 2147483647 -7");
        freadck(s.f, "%d", &i, "n");
        EXPECT_EQ(i, INT_MIN);
        freadck(s.f, "%d", &i, "n");
        EXPECT_EQ(i, INT_MAX);
        freadck(s.f, "%hd", &h, "n");
        EXPECT_EQ(h, -7);
    }
    ConsoleCapture cap;
    {
        TextStream s("2147483648");
        EXPECT_EQ(CodeOf([&] { freadck(s.f, "%d", &i, "n"); }), 2);
    }
    {
        TextStream s("99999999999999999999999");
        EXPECT_EQ(CodeOf([&] { freadck(s.f, "%ld", &l, "n"); }), 2);
    }
    {
        TextStream s("-1");
        EXPECT_EQ(CodeOf([&] { freadck(s.f, "%u", &u, "n"); }), 2);
    }
    {
        TextStream s("40000");
        EXPECT_EQ(CodeOf([&] { freadck(s.f, "%hd", &h, "n"); }), 2);
    }
    {
        TextStream s("nan");
        EXPECT_EQ(CodeOf([&] { freadck(s.f, "%d", &i, "n"); }), 2);
    }
    cap.Stop();
    {
        TextStream s("2147483648 4294967295");
        freadck(s.f, "%ld", &l, "n");
        EXPECT_EQ(l, 2147483648L);
        freadck(s.f, "%u", &u, "n");
        EXPECT_EQ(u, 4294967295u);
    }
}

TEST(Freadck, FormatTextAfterTheValueIsHonoured) {
    TextStream s("12\n\n  x");
    int i = 0;
    freadck(s.f, "%d\n", &i, "n");
    EXPECT_EQ(i, 12);
    EXPECT_EQ(fgetc(s.f), 'x');   // "\n" in the format passed over all the blanks
    TextStream c("5,6");
    freadck(c.f, "%d,", &i, "n");
    EXPECT_EQ(i, 5);
    EXPECT_EQ(fgetc(c.f), '6');   // the literal comma was consumed
    TextStream w("4567");
    freadck(w.f, "%2d", &i, "n");
    EXPECT_EQ(i, 45);
    freadck(w.f, "%d", &i, "n");
    EXPECT_EQ(i, 67);
}

TEST(FreadckString, KeepsWhatFitsAndPassesOverTheRestOfTheWord) {
    TextStream s("  abcdefghij next");
    char buf[5];
    freadckString(s.f, buf, sizeof buf, "w");
    EXPECT_STREQ(buf, "abcd");
    freadckString(s.f, buf, sizeof buf, "w");
    EXPECT_STREQ(buf, "next");
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([&] { freadckString(s.f, buf, sizeof buf, "w"); }), 2);
    cap.Stop();
    EXPECT_EQ(cap.err, "\nfile w ");
}

TEST(Freadck1, PassesOverTextSilentlyAndReportsTheEnd) {
    TextStream s("abc 7 x");
    double v = 0;
    ConsoleCapture cap;
    EXPECT_EQ(freadck1(s.f, "%lf", &v, "f.txt"), 1);
    EXPECT_EQ(v, 7.0);
    EXPECT_EQ(freadck1(s.f, "%lf", &v, "f.txt"), 0);
    cap.Stop();
    EXPECT_EQ(cap.err, "\nEnd of file f.txt\n");
    EXPECT_EQ(cap.out, kBell);
}

TEST(Freadlineck, ReadsOneFieldWithInnerSpaces) {
    TextStream s("   Site one\tx");
    char buf[11];
    EXPECT_EQ(freadlineck(s.f, 10, buf, "f"), '\t');
    EXPECT_STREQ(buf, "Site one");
    EXPECT_EQ(freadlineck(s.f, 10, buf, "f"), EOF);   // the end after some characters ends the field
    EXPECT_STREQ(buf, "x");
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([&] { freadlineck(s.f, 10, buf, "f"); }), 2);
    cap.Stop();
    EXPECT_EQ(cap.err, "\nfile f ");
    EXPECT_EQ(cap.out, kBell);
}

TEST(Freadlineck, StopsAtMaxAndLeavesTheRest) {
    TextStream s("abcdefgh\r\nz");
    char buf[4];
    EXPECT_EQ(freadlineck(s.f, 3, buf, "f"), 'c');
    EXPECT_STREQ(buf, "abc");
    char rest[10];
    freadlineck(s.f, 9, rest, "f");
    EXPECT_STREQ(rest, "defgh");
    freadlineck(s.f, 0, rest, "f");
    EXPECT_STREQ(rest, "");
    EXPECT_EQ(fgetc(s.f), 'z');
}

TEST(Freadlineck, CarriageReturnIsStoredWhenItDoesNotEnd) {
    TextStream s("a\rb\tc");
    char buf[10];
    freadlineck(s.f, 9, buf, "f", false);
    EXPECT_STREQ(buf, "a\rb");
    TextStream t("a\rb\tc");
    freadlineck(t.f, 9, buf, "f", true);
    EXPECT_STREQ(buf, "a");
}

TEST(FreadlineckTEMP, TabsBecomeSpacesAndOnlyLineEndsEnd) {
    TextStream s("\n a\tb c\nnext");
    char buf[20];
    freadlineckTEMP(s.f, 19, buf, "f");
    EXPECT_STREQ(buf, "a b c");
    freadlineckTEMP(s.f, 19, buf, "f");
    EXPECT_STREQ(buf, "next");
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([&] { freadlineckTEMP(s.f, 19, buf, "f"); }), 2);
    cap.Stop();
    EXPECT_EQ(cap.err, "\nfile f ");
}

TEST(ScanChar, RefusesWithOneMessagePerWrongCharacter) {
    TextStream s("x\n n");
    ConsoleCapture cap;
    char c = ScanChar(s.f, "y n", "input");
    cap.Stop();
    EXPECT_EQ(c, 'n');
    EXPECT_EQ(cap.err, "\nIncorrect input = x. Reenter.\nAccepted input: y n\n");
    EXPECT_EQ(cap.out, kBell);

    TextStream t("ab\x01\x7f Y");
    ConsoleCapture cap2;
    EXPECT_EQ(ScanChar(t.f, "y n", "input"), 'y');
    cap2.Stop();
    EXPECT_EQ(cap2.err,
              "\nIncorrect input = a. Reenter.\nAccepted input: y n\n"
              "\nIncorrect input = b. Reenter.\nAccepted input: y n\n");
    EXPECT_EQ(cap2.out, kBell + kBell);
}

TEST(ScanChar, ReturnsLowerCaseAndMatchesListsOfCapitals) {
    TextStream s("N");
    EXPECT_EQ(ScanChar(s.f, "N O S A X", "input"), 'n');
    TextStream d("7");
    EXPECT_EQ(ScanChar(d.f, "1 2 7", "input"), '7');
}

TEST(ScanChar, WithoutListSkipsBlanksButReturnsCarriageReturn) {
    TextStream s("\t\n \rq");
    EXPECT_EQ(ScanChar(s.f, nullptr, "input"), '\r');
    EXPECT_EQ(ScanChar(s.f, "", "input"), 'q');
}

TEST(ScanChar, EndOfInputRaisesCodeTwoWithoutBell) {
    TextStream s("  ");
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([&] { ScanChar(s.f, "y n", "input"); }), 2);
    cap.Stop();
    EXPECT_EQ(cap.err, "\nfile input ");
    EXPECT_EQ(cap.out, "");
}

TEST(ScanCharDef, ReturnKeyChoosesTheLastLetterOfTheList) {
    {
        StdinFrom input("\n");
        ConsoleCapture cap;
        EXPECT_EQ(ScanCharDef("y N "), 'N');
        cap.Stop();
        EXPECT_EQ(cap.out, "\bN\n");
    }
    {
        StdinFrom input("Y\n");
        EXPECT_EQ(ScanCharDef("y n"), 'y');
    }
    {
        StdinFrom input("\n");
        EXPECT_EQ(ScanCharDef("   "), -1);
    }
    {
        StdinFrom input("");
        ConsoleCapture cap;
        EXPECT_EQ(CodeOf([] { ScanCharDef("y n"); }), 2);
    }
}

TEST(ScanNumber, ListAcceptsEqualValuesInAnyNotation) {
    TextStream s("2 2.0 2e0");
    for (int k = 0; k < 3; k++) EXPECT_EQ(ScanNumber(s.f, "input", "1 2"), 2.0);
    TextStream t("3 1");
    ConsoleCapture cap;
    EXPECT_EQ(ScanNumber(t.f, "input", "1 2"), 1.0);
    cap.Stop();
    EXPECT_EQ(cap.err, "\nIncorrect input = 3. Reenter.\nAccepted input: 1 2\n");
    EXPECT_EQ(cap.out, kBell);
    TextStream u("24");
    EXPECT_EQ(ScanNumber(u.f, "input", "1 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24"), 24.0);
}

TEST(ScanNumber, RangeAcceptsItsBoundsAndRefusesOutside) {
    TextStream s("1 1000 0.5 nan 1000.5 500");
    EXPECT_EQ(ScanNumber(s.f, "input", "-", 1, 1000), 1.0);
    EXPECT_EQ(ScanNumber(s.f, "input", "-", 1, 1000), 1000.0);
    ConsoleCapture cap;
    EXPECT_EQ(ScanNumber(s.f, "input", "-", 1, 1000), 500.0);
    cap.Stop();
    EXPECT_EQ(cap.err,
              "\nIncorrect input = 0.5. Reenter.\nAccepted input: 1 to 1000\n"
              "\nIncorrect input = nan. Reenter.\nAccepted input: 1 to 1000\n"
              "\nIncorrect input = 1000.5. Reenter.\nAccepted input: 1 to 1000\n");
    EXPECT_EQ(cap.out, kBell + kBell + kBell);
}

TEST(ScanNumber, TextThatIsNoNumberIsSkippedSilently) {
    TextStream s("abc 7");
    ConsoleCapture cap;
    EXPECT_EQ(ScanNumber(s.f, "input", nullptr), 7.0);
    cap.Stop();
    EXPECT_EQ(cap.err, "");
    TextStream t("-0.25");
    EXPECT_EQ(ScanNumber(t.f, "input", ""), -0.25);
}

TEST(ScanNumber, EndOfInputRaisesCodeTwo) {
    TextStream s("9 ");
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([&] { ScanNumber(s.f, "input", "1 2"); }), 2);
    cap.Stop();
    EXPECT_EQ(cap.err, "\nIncorrect input = 9. Reenter.\nAccepted input: 1 2\n\nEnd of file input\n");
    TextStream e("");
    ConsoleCapture cap2;
    EXPECT_EQ(CodeOf([&] { ScanNumber(e.f, "input", nullptr); }), 2);
    EXPECT_EQ(CodeOf([&] { ScanNumber(e.f, "input", "-", 0, 1); }), 2);
}

TEST(ScanString, CutsTrimsAndFiltersWords) {
    TextStream s("  LongerWord yes YES Yes maybe");
    char dst[7];
    EXPECT_EQ(ScanString(s.f, 6, dst, nullptr, 0, "input"), dst);
    EXPECT_STREQ(dst, "Longer");
    EXPECT_EQ(ScanString(s.f, 6, dst, "yes/no", 1, "input"), dst);
    EXPECT_STREQ(dst, "yes");
    ConsoleCapture cap;
    EXPECT_EQ(ScanString(s.f, 6, dst, "yes/no", 1, "input"), nullptr);
    cap.Stop();
    EXPECT_STREQ(dst, "");
    EXPECT_EQ(cap.err, "\nIncorrect input = YES. Reenter.\nAccepted input: yes/no\n");
    EXPECT_EQ(cap.out, kBell);
    EXPECT_EQ(ScanString(s.f, 6, dst, "no/yes", 0, "input"), dst);
    EXPECT_STREQ(dst, "Yes");
    ConsoleCapture cap2;
    EXPECT_EQ(ScanString(s.f, 6, dst, "yes/no", 0, "input"), nullptr);
    EXPECT_EQ(ScanString(s.f, 6, dst, nullptr, 0, "input"), nullptr);   // end of input
    cap2.Stop();
    EXPECT_EQ(cap2.err, "\nIncorrect input = maybe. Reenter.\nAccepted input: yes/no\n\nEnd of file input\n");
}

TEST(ScanString, VeryLongWordsStayInsideTheBuffers) {
    std::string word(400, 'w');
    TextStream s(word + " end");
    char dst[11];
    ScanString(s.f, 10, dst, nullptr, 0, "input");
    EXPECT_EQ(std::string(dst), std::string(10, 'w'));
}

TEST(Strings, TrimUpperCompareAndBase62) {
    char t[] = "a  b  ";
    trimString(t);
    EXPECT_STREQ(t, "a b");
    char t2[] = "   ";
    trimString(t2);
    EXPECT_STREQ(t2, "");
    char u[] = "abC1";
    StrToUpper(u);
    EXPECT_STREQ(u, "ABC1");
    EXPECT_EQ(StrCmp("Abc", "aBC"), 0);
    EXPECT_LT(StrCmp("abc", "ABD"), 0);
    EXPECT_GT(StrCmp("b", "A"), 0);
    char code[2];
    IntToAlpha(62, code);
    EXPECT_EQ(std::string(code, 2), "10");
    IntToAlpha(61, code);
    EXPECT_EQ(std::string(code, 2), "0z");
    IntToAlpha(3843, code);
    EXPECT_EQ(std::string(code, 2), "zz");
    IntToAlpha(10 * 62 + 36, code);
    EXPECT_EQ(std::string(code, 2), "Aa");
    IntToAlpha(5000, code);   // beyond two digits: held at the largest code
    EXPECT_EQ(std::string(code, 2), "zz");
    IntToAlpha(-3, code);
    EXPECT_EQ(std::string(code, 2), "00");
    MemoryCheck();   // returns
}
