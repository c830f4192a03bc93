// Checked file and text input, with the exact messages on standard error and the bell on stdout.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "FoundationTestSupport.h"
#include "foundation/ConsoleReaders.h"
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
    EXPECT_EQ(cap.Err(), "\ncan't open /nonexistent-tarnex-dir/Formda.txt: No such file or directory \n"
                         "\ncan't open " + longName + ": File name too long \n");
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
                       "\nIncorrect input = 0.5" + range + "\nIncorrect input = 1000.5" + range +
                       "\nIncorrect input = 9. Reenter.\nAccepted input: 1 2\n\nEnd of file input\n");
    EXPECT_EQ(cap.Out(), "\a\a\a\a\a");   // four refusals ("nan" is passed over as letters), one end
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

namespace {

// Whether two read values are one: NaN equals NaN, and infinities and zeros keep their sign.
bool SameValue(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

// Every value the skipping reader gives on `text` until the end of input, and the character the
// stream holds right after the first value. With `unbuffered`, each character put back goes to
// the stream's own store instead of its buffer. With `prompt`, the values are the answers to a
// number prompt (ReadNumberIn), whose end of input raises code 2.
std::vector<double> ReadAll(const std::string& text, NonFiniteWords words, bool unbuffered, int* after,
                            std::string* err, bool prompt = false) {
    TextStream s(text);
    if (unbuffered) setvbuf(s.f, nullptr, _IONBF, 0);
    std::vector<double> values;
    ConsoleCapture cap;
    double v = 0;
    in = s.f;
    const auto next = [&] {
        if (prompt) return CodeOf([&] { v = ReadNumberIn("%lf\n", nullptr); }) == 0;
        return freadck1(s.f, "%lf", &v, "f.txt", words) == 1;
    };
    while (next()) {
        values.push_back(v);
        if (values.size() == 1) {
            *after = fgetc(s.f);
            if (*after != EOF) ungetc(*after, s.f);
        }
    }
    in = stdin;
    *err = cap.Err();
    return values;
}

}  // namespace

// A word before a number, on the line before it or the same line, is passed over one character at
// a time and the number is read whole; a number's text ends at the first character that cannot
// continue it, which stays in the stream with any the scanner read to find that out.
TEST(Freadck1, TextBeforeANumberIsPassedOverAndTheNumberReadWhole) {
    const double inf = INFINITY, nan = NAN;
    const std::string longest = std::string(kLongestNumber - 4, '0') + "1.25";   // 511 characters
    const std::string refused = ". Reenter.\nAccepted input: a number of at most 511 characters\n\nEnd of file input\n";
    struct Row {
        std::string text;
        NonFiniteWords words;
        std::vector<double> values;
        int after;
        bool prompt = false;
        std::string err = "\nEnd of file f.txt\n";
    };
    const Row rows[] = {
        // Words on the line before the number: none of its digits is lost.
        {"n\n999\n", kSkipNonFinite, {999}, '\n'},
        {"i\n999\n", kSkipNonFinite, {999}, '\n'},
        {"in\n999\n", kSkipNonFinite, {999}, '\n'},
        {"inf\n999\n", kSkipNonFinite, {999}, '\n'},
        {"nan\n999\n", kSkipNonFinite, {999}, '\n'},
        {"x\n999\n", kSkipNonFinite, {999}, '\n'},
        {"-\n999\n", kSkipNonFinite, {999}, '\n'},
        {".\n999\n", kSkipNonFinite, {999}, '\n'},
        {"n 999", kSkipNonFinite, {999}, EOF},
        {"--5 +.x -.5", kSkipNonFinite, {-5, -0.5}, ' '},
        // Exponents: taken only when a digit follows the sign; otherwise "e" begins what follows.
        {"1e3", kSkipNonFinite, {1000}, EOF},
        {"1e\n5", kSkipNonFinite, {1, 5}, 'e'},
        {"1e+\n5", kSkipNonFinite, {1, 5}, 'e'},
        {"2E-2x", kSkipNonFinite, {0.02}, 'x'},
        // What the program and its users have always written.
        {"-999\t1e-05\t.5\t5.\n", kSkipNonFinite, {-999, 1e-05, 0.5, 5}, '\t'},
        {"1,000", kSkipNonFinite, {1, 0}, ','},
        {"1.2.3", kSkipNonFinite, {1.2, 0.3}, '.'},
        {"0x10", kSkipNonFinite, {0, 10}, 'x'},
        {"-0", kSkipNonFinite, {-0.0}, EOF},
        {"1e999 -1e999", kSkipNonFinite, {inf, -inf}, ' '},
        // A file whose reader refuses a value that is not finite by its value reads the word.
        {"nan 5", kReadNonFinite, {nan, 5}, ' '},
        {"x-Inf INFINITY +nan", kReadNonFinite, {-inf, inf, nan}, ' '},
        {"infinix 3", kReadNonFinite, {inf, 3}, 'i'},
        {"nab 4 .nan", kReadNonFinite, {4, nan}, ' '},
        // Words that mix the letters of those words are text in either mode: passed over, no value.
        {"inn 5\n", kSkipNonFinite, {5}, '\n'}, {"inn 5\n", kReadNonFinite, {5}, '\n'},
        {"nnn 5\n", kSkipNonFinite, {5}, '\n'}, {"nnn 5\n", kReadNonFinite, {5}, '\n'},
        {"ian 5\n", kSkipNonFinite, {5}, '\n'}, {"ian 5\n", kReadNonFinite, {5}, '\n'},
        {"naf 5\n", kSkipNonFinite, {5}, '\n'}, {"naf 5\n", kReadNonFinite, {5}, '\n'},
        {"nafinity 5\n", kSkipNonFinite, {5}, '\n'}, {"nafinity 5\n", kReadNonFinite, {5}, '\n'},
        {"-Inn 5\n", kSkipNonFinite, {5}, '\n'}, {"-Inn 5\n", kReadNonFinite, {5}, '\n'},
        // The longest text a number may have, and one character more (refused: code 2).
        {longest + "\n", kSkipNonFinite, {1.25}, '\n'},
        {"0" + longest + "\n", kSkipNonFinite, {}, EOF},
        // At a prompt, a number too long to read is refused whole and the answer after it is taken.
        {std::string(512, '9') + "\n5\n", kSkipNonFinite, {5}, '\n', true,
         "\nIncorrect input = " + std::string(20, '9') + "..." + refused},
        {"-" + std::string(1000, '1') + ".5e-3 6 x", kSkipNonFinite, {6}, ' ', true,
         "\nIncorrect input = -" + std::string(19, '1') + "..." + refused},
    };
    for (const Row& r : rows) {
        for (bool unbuffered : {false, true}) {
            SCOPED_TRACE(testing::Message() << testing::PrintToString(r.text.substr(0, 40)) << " words "
                                            << r.words << (unbuffered ? " unbuffered" : ""));
            int after = -2;
            std::string err;
            std::vector<double> values;
            const int code = CodeOf([&] { values = ReadAll(r.text, r.words, unbuffered, &after, &err, r.prompt); });
            if (r.values.empty()) {   // the number too long to read
                EXPECT_EQ(code, 2);
                continue;
            }
            EXPECT_EQ(code, 0);
            EXPECT_EQ(values.size(), r.values.size());
            for (size_t k = 0; k < values.size() && values.size() == r.values.size(); k++)
                EXPECT_TRUE(SameValue(values[k], r.values[k])) << values[k];
            EXPECT_EQ(after, r.after);
            EXPECT_EQ(err, r.err);
        }
    }
}

// Integers, floats and doubles each converted as the C library converts the text for that type
// (a float is not a double rounded twice); the strict readers read the words "nan" and "inf" that
// the program writes for a value that is no number, and refuse what only the C library's scanf
// took for a number and any other word ("inn").
TEST(Freadck, NumbersOfEachTypeAndTheStrictReadersOfDataFiles) {
    const float fmax = FLT_MAX;
    struct Row { const char* text; char reader; double value; int code; };   // reader: i int, f float, d double
    const Row rows[] = {
        {"-2147483648\n", 'i', -2147483648.0, 0}, {"-\n5", 'i', 0, 2}, {"5.", 'i', 0, 2},
        {"0.1\t", 'f', static_cast<double>(0.1f), 0}, {"16777217", 'f', 16777216.0, 0},
        {"3.40282347e38", 'f', static_cast<double>(fmax), 0}, {"3.5e38", 'f', INFINITY, 0},
        {"0.1", 'd', 0.1, 0}, {"1e-05 ", 'd', 1e-05, 0}, {"-999\n", 'd', -999, 0}, {".5", 'd', 0.5, 0},
        {"5.\t", 'd', 5, 0}, {"nan\t", 'd', NAN, 0}, {"-inf\n", 'f', -INFINITY, 0}, {"Infinity", 'd', INFINITY, 0},
        {"0x1A", 'd', 0, 2}, {"0x1A", 'f', 0, 2}, {"1e 5", 'd', 0, 2}, {"1e+", 'f', 0, 2}, {"nano", 'd', 0, 2},
        {"n", 'd', 0, 2}, {"", 'd', 0, 2}, {"1,5", 'd', 0, 2},
        {"inn", 'd', 0, 2}, {"inn\t", 'f', 0, 2}, {"-Inn\n", 'f', 0, 2}, {"nafinity", 'd', 0, 2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(1, r.reader) + " " + r.text);
        TextStream s(r.text);
        double got = 0;
        ConsoleCapture cap;
        const int code = CodeOf([&] {
            if (r.reader == 'i') got = ReadIntStrict(s.f, "formda.txt");
            if (r.reader == 'f') got = static_cast<double>(ReadFloatStrict(s.f, "formda.txt"));
            if (r.reader == 'd') got = ReadDoubleStrict(s.f, "formda.txt");
        });
        EXPECT_EQ(code, r.code);
        EXPECT_EQ(cap.Err(), r.code ? "\nfile formda.txt " : "");
        if (r.code == 0) {
            EXPECT_TRUE(SameValue(got, r.value)) << got;
        }
    }
    // Every floating conversion goes through the program's scanner: no hexadecimal value for any.
    for (const char* fmt : {"%f", "%F", "%e", "%E", "%g", "%G", "%lf", "%le", "%lG", "%Lf", "%Lg"}) {
        TextStream hex("0x10");
        alignas(16) unsigned char value[sizeof(long double)];
        memset(value, 0x7f, sizeof value);   // a value of another size leaves bytes of this pattern
        freadck(hex.f, fmt, value, "formda.txt");
        float f;
        double d;
        long double ld;
        memcpy(&f, value, sizeof f), memcpy(&d, value, sizeof d), memcpy(&ld, value, sizeof ld);
        const double got = fmt[1] == 'l' ? d : fmt[1] == 'L' ? static_cast<double>(ld) : static_cast<double>(f);
        EXPECT_EQ(got, 0.0) << fmt;
        EXPECT_EQ(fgetc(hex.f), 'x') << fmt;
    }
    // A literal percent before the conversion is text of the format, matched as scanf matches it.
    TextStream percent("%7");
    int seven = 0;
    freadck(percent.f, "%%%d", &seven, "formda.txt");
    EXPECT_EQ(seven, 7);
    // A number or a word read whole leaves the blank that ended it for the next reader.
    TextStream items("2.5\tlabel\nnext");
    char word[8];
    EXPECT_EQ(ReadDoubleStrict(items.f, "formda.txt"), 2.5);
    EXPECT_EQ(fgetc(items.f), '\t');
    freadckString(items.f, word, sizeof word, "formda.txt");
    EXPECT_STREQ(word, "label");
    EXPECT_EQ(fgetc(items.f), '\n');
}
