// Checked file and text input, with the exact messages on standard error and the bell on stdout.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>

#include "FoundationTestSupport.h"
#include "foundation/qwlibDim.h"

TEST(Fopenck, OpensDirectoryPlusNameAndRefusesWithMessageAndBell) {
    TextStream file("42");
    const std::string longName(120, 'a');
    FILE* a = fopenck(std::to_string(fileno(file.f)).c_str(), "/proc/self/fd/", "r");   // directory + name
    EXPECT_NE(a, nullptr);
    if (a) fclose(a);
    ConsoleCapture cap;
    EXPECT_EQ(fopenck("Formda.txt", "/nonexistent-tarnex-dir/", "r"), nullptr);
    EXPECT_EQ(fopenck(longName.c_str(), "", "w"), nullptr);   // longer than the path buffer: not cut
    EXPECT_EQ(cap.Err(), "\ncan't open /nonexistent-tarnex-dir/Formda.txt \n\ncan't open " + longName + " \n");
    EXPECT_EQ(cap.Out(), "\a\a");
    EXPECT_NE(access(longName.substr(0, 111).c_str(), F_OK), 0);
}

TEST(Freadck, ItemsFormatTextBoundedWordsAndSkippingReadsThenCodeTwo) {
    TextStream s("  3.5 word 12\n\n  x 5,6 abcdefghij next"), t("abc 7 x"), bad("abc");
    double d = 0;
    char w[10], buf[5];
    int i = 0;
    freadck(s.f, "%lf", &d, "data.txt");
    freadck(s.f, "%9s", w, "data.txt");
    EXPECT_EQ(d, 3.5);
    EXPECT_STREQ(w, "word");
    freadck(s.f, "%d\n", &i, "data.txt");
    EXPECT_EQ(fgetc(s.f), 'x');   // "\n" in the format passed over all the blanks
    freadck(s.f, "%d,", &i, "data.txt");
    EXPECT_EQ(fgetc(s.f), '6');   // the literal comma was consumed
    freadckString(s.f, buf, sizeof buf, "data.txt");
    EXPECT_STREQ(buf, "abcd");   // what fits; the rest of the word is passed over
    freadckString(s.f, buf, sizeof buf, "data.txt");
    EXPECT_STREQ(buf, "next");
    ConsoleCapture cap;
    EXPECT_EQ(freadck1(t.f, "%lf", &d, "f.txt"), 1);   // passes over "abc" silently
    EXPECT_EQ(d, 7.0);
    EXPECT_EQ(freadck1(t.f, "%lf", &d, "f.txt"), 0);
    EXPECT_EQ(CodeOf([&] { freadck(s.f, "%d", &i, "data.txt"); }), 2);
    EXPECT_EQ(CodeOf([&] { freadckString(s.f, buf, sizeof buf, "w"); }), 2);
    EXPECT_EQ(CodeOf([&] { freadck(bad.f, "%d", &i, "t.txt"); }), 2);
    EXPECT_EQ(cap.Err(), "\nEnd of file f.txt\n\nfile data.txt \nfile w \nfile t.txt ");
    EXPECT_EQ(cap.Out(), "\a\a\a\a");
    EXPECT_EQ(fgetc(bad.f), 'a');   // the stream is still there for its owner to close
}

TEST(Freadck, IntegersOutsideTheirTypeAreRefused) {
    struct Row { const char* fmt; const char* text; int code; };
    const Row rows[] = {{"%d", "-2147483648", 0}, {"%d", "-5", 0}, {"%d", "2147483648", 2}, {"%d", "nan", 2},
                        {"%hd", "40000", 2}, {"%ld", "2147483648", 0}, {"%u", "4294967295", 0}, {"%u", "-1", 2},
                        {"%2d", "4567", 0}, {"%llu", "18446744073709551615", 0}, {"%llu", "18446744073709551616", 2}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.fmt) + " " + r.text);
        TextStream s(r.text);
        alignas(8) unsigned char got[8] = {0}, want[8] = {0};
        ConsoleCapture cap;
        EXPECT_EQ(CodeOf([&] { freadck(s.f, r.fmt, got, "n"); }), r.code);
        if (r.code == 0) {   // an in-range value is stored as the C library reads it
            EXPECT_EQ(sscanf(r.text, r.fmt, want), 1);
            EXPECT_EQ(memcmp(got, want, sizeof got), 0);
        }
    }
}

TEST(Freadlineck, FieldsLinesAndTheirEnds) {
    TextStream s("   Site one\tx abcdefgh\r\nz a\rb\tc a\rb");
    char buf[11], line[20];
    // Stops at max leaving the rest; without crEnds only TAB and LF end a field; the end of input
    // after some characters ends it too. Returns the last character read.
    struct Row { int max; bool crEnds; int last; const char* field; };
    for (const Row& r : {Row{10, true, '\t', "Site one"}, Row{3, true, 'a', "x a"},
                         Row{10, true, '\r', "bcdefgh"}, Row{10, false, '\t', "z a\rb"},
                         Row{10, true, '\r', "c a"}, Row{10, true, EOF, "b"}}) {
        const int last = r.crEnds ? freadlineck(s.f, r.max, buf, "f") : freadlineck(s.f, r.max, buf, "f", false);
        EXPECT_EQ(last, r.last);
        EXPECT_STREQ(buf, r.field);
    }
    TextStream t("\n a\tb c\nnext");
    freadlineckTEMP(t.f, 19, line, "f");
    EXPECT_STREQ(line, "a b c");   // each TAB stored as a space
    freadlineckTEMP(t.f, 19, line, "f");
    EXPECT_STREQ(line, "next");
    ConsoleCapture cap;
    EXPECT_EQ(CodeOf([&] { freadlineck(s.f, 10, buf, "f"); }), 2);
    EXPECT_EQ(CodeOf([&] { freadlineckTEMP(t.f, 19, line, "g"); }), 2);
    EXPECT_EQ(cap.Err(), "\nfile f \nfile g ");
    EXPECT_EQ(cap.Out(), "\a\a");
}

TEST(ScanChar, OneRefusalPerWrongCharacterLowerCaseAndCodeTwoAtTheEnd) {
    TextStream s("x\n nab\x01\x7f YN7\t\n \rq  ");
    ConsoleCapture cap;
    EXPECT_EQ(ScanChar(s.f, "y n", "input"), 'n');
    EXPECT_EQ(ScanChar(s.f, "y n", "input"), 'y');
    EXPECT_EQ(ScanChar(s.f, "N O S A X", "input"), 'n');
    EXPECT_EQ(ScanChar(s.f, "1 2 7", "input"), '7');
    EXPECT_EQ(ScanChar(s.f, nullptr, "input"), '\r');   // no list: blanks skipped, CR returned
    EXPECT_EQ(ScanChar(s.f, "", "input"), 'q');
    EXPECT_EQ(CodeOf([&] { ScanChar(s.f, "y n", "input"); }), 2);
    const std::string refused = ". Reenter.\nAccepted input: y n\n";
    EXPECT_EQ(cap.Err(), "\nIncorrect input = x" + refused + "\nIncorrect input = a" + refused +
                           "\nIncorrect input = b" + refused + "\nfile input ");
    EXPECT_EQ(cap.Out(), "\a\a\a");   // no bell at the end of input
    // ScanCharDef: the return key chooses the last letter of the list (echoed), -1 without one.
    struct Row { const char *typed, *accept; int expected; const char* echo; };
    for (const Row& r : {Row{"\n", "y N ", 'N', "\bN\n"}, Row{"Y\n", "y n", 'y', ""}, Row{"\n", "  ", -1, ""}}) {
        StdinFrom input(r.typed);
        ConsoleCapture def;
        EXPECT_EQ(ScanCharDef(r.accept), r.expected) << r.accept;
        EXPECT_EQ(def.Out(), r.echo) << r.accept;
    }
    StdinFrom input("");
    ConsoleCapture end;
    EXPECT_EQ(CodeOf([] { ScanCharDef("y n"); }), 2);
}

TEST(ScanNumber, ListsAndRangesRefuseOutsideValuesAndTheEndRaisesCodeTwo) {
    TextStream s("abc 7 -0.25 2 2.0 2e0 3 1 24 1 1000 0.5 nan 1000.5 500 9 ");
    ConsoleCapture cap;
    EXPECT_EQ(ScanNumber(s.f, "input", nullptr), 7.0);   // text that is no number: passed over silently
    EXPECT_EQ(ScanNumber(s.f, "input", ""), -0.25);
    for (int k = 0; k < 3; k++) EXPECT_EQ(ScanNumber(s.f, "input", "1 2"), 2.0);   // any notation
    EXPECT_EQ(ScanNumber(s.f, "input", "1 2"), 1.0);
    EXPECT_EQ(ScanNumber(s.f, "input", "1 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24"), 24.0);
    EXPECT_EQ(ScanNumber(s.f, "input", "-", 1, 1000), 1.0);
    EXPECT_EQ(ScanNumber(s.f, "input", "-", 1, 1000), 1000.0);
    EXPECT_EQ(ScanNumber(s.f, "input", "-", 1, 1000), 500.0);
    EXPECT_EQ(CodeOf([&] { ScanNumber(s.f, "input", "1 2"); }), 2);
    const std::string range = ". Reenter.\nAccepted input: 1 to 1000\n";
    EXPECT_EQ(cap.Err(), "\nIncorrect input = 3. Reenter.\nAccepted input: 1 2\n"
                       "\nIncorrect input = 0.5" + range + "\nIncorrect input = nan" + range +
                       "\nIncorrect input = 1000.5" + range +
                       "\nIncorrect input = 9. Reenter.\nAccepted input: 1 2\n\nEnd of file input\n");
    EXPECT_EQ(cap.Out(), "\a\a\a\a\a\a");   // five refusals, one end
}

TEST(ScanString, CutsTrimsAndFiltersWords) {
    TextStream s("  LongerWord yes YES Yes maybe");
    char dst[7];
    ConsoleCapture cap;
    EXPECT_STREQ(ScanString(s.f, 6, dst, nullptr, 0, "input"), "Longer");   // returns dst
    EXPECT_STREQ(ScanString(s.f, 6, dst, "yes/no", 1, "input"), "yes");
    EXPECT_EQ(ScanString(s.f, 6, dst, "yes/no", 1, "input"), nullptr);   // case-sensitive
    EXPECT_STREQ(dst, "");
    EXPECT_STREQ(ScanString(s.f, 6, dst, "no/yes", 0, "input"), "Yes");
    EXPECT_EQ(ScanString(s.f, 6, dst, "yes/no", 0, "input"), nullptr);
    EXPECT_EQ(ScanString(s.f, 6, dst, nullptr, 0, "input"), nullptr);   // end of input
    // At most 255 characters are read as one word: the 145 after them make the next word.
    TextStream big(std::string(400, 'w'));
    std::string rest(256, '\0');
    EXPECT_STREQ(ScanString(big.f, 6, dst, nullptr, 0, "input"), "wwwwww");   // bounded
    EXPECT_EQ(std::string(ScanString(big.f, 255, &rest[0], nullptr, 0, "input")), std::string(145, 'w'));
    const std::string accepted = ". Reenter.\nAccepted input: yes/no\n";
    EXPECT_EQ(cap.Err(), "\nIncorrect input = YES" + accepted + "\nIncorrect input = maybe" + accepted +
                           "\nEnd of file input\n");
    EXPECT_EQ(cap.Out(), "\a\a\a");
}

TEST(Strings, TrimAndCompare) {
    char t[] = "a  b  ";
    trimString(t);
    EXPECT_STREQ(t, "a b");
    EXPECT_EQ(StrCmp("Abc", "aBC"), 0);   // compared in capitals
    EXPECT_LT(StrCmp("abc", "ABD"), 0);
}

// A control byte that no reader takes for a blank or an end (NUL first of all) ends the reading of
// a word, field, line or label with the reader's message and code 2; blanks, TAB, CR and LF keep
// their meaning, and bytes above 127 are text.
TEST(ControlBytes, RefusedInWordsFieldsAndLinesWithTheReadersMessage) {
    struct Row { std::string text; int reader; const char* kept; };   // kept: null when refused
    const std::string nul(1, '\0');
    const Row rows[] = {
        {"ab" + nul + "c", 0, nullptr}, {"a\x7f", 0, nullptr}, {"\v\fab\tc", 0, "ab"},
        {"\xc3\xa9t\xc3\xa9", 0, "\xc3\xa9t\xc3\xa9"}, {nul + "field", 1, nullptr}, {"a\vb\t", 1, nullptr},
        {"\r\n a b\tc", 1, "a b"}, {"name" + nul + "\n", 2, nullptr}, {"\n\ta\tb\r", 2, "a b"},
        {"w\x04rd", 3, nullptr}, {"\f word ", 3, "word"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "reader " << r.reader << " on " << testing::PrintToString(r.text));
        TextStream s(r.text);
        char buf[20] = "unchanged";
        ConsoleCapture cap;
        const int code = CodeOf([&] {
            if (r.reader == 0) freadckString(s.f, buf, sizeof buf, "lab.txt");
            if (r.reader == 1) freadlineck(s.f, 19, buf, "lab.txt");
            if (r.reader == 2) freadlineckTEMP(s.f, 19, buf, "lab.txt");
            if (r.reader == 3) ScanString(s.f, 19, buf, nullptr, 0, "lab.txt");
        });
        EXPECT_EQ(code, r.kept ? 0 : 2);
        EXPECT_EQ(cap.Err(), r.kept ? "" : "\nfile lab.txt ");
        EXPECT_EQ(cap.Out(), r.kept ? "" : "\a");
        if (r.kept) {
            EXPECT_STREQ(buf, r.kept);
        }
    }
}

// Two base-62 digits (0-9, A-Z, a-z); values outside 0 .. 62 * 62 - 1 are held to it.
TEST(Strings, IntToAlphaWritesTwoBase62Digits) {
    const std::pair<int, const char*> rows[] = {{9, "09"}, {10, "0A"}, {61, "0z"}, {62, "10"}, {3843, "zz"},
                                                {3844, "zz"}, {-1, "00"}};
    for (const auto& [n, want] : rows) {
        char code[3] = "##";
        EXPECT_STREQ(IntToAlpha(n, code), want) << n;
    }
}
