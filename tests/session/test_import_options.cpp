// The raw-data import run in-process, one option at a time, on small files whose values show where
// each one lands (a transposed matrix or a variable of the wrong type gives other values).
#include <functional>

#include "session/TNXIFFMT.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

// The answers of the import before the W layout: B "b.txt" with 2 OTUs and 1 trait (values 1 and 2,
// one row per OTU), an optional phylogeny, W "w.txt", optional species and E, default labels,
// quantitative trait, no trait groups, 3 communities.
std::string Head(const std::string& phylogeny, bool species, bool variables) {
    return std::string("b.txt\n") + (phylogeny.empty() ? "0\n" : "1\nf.txt\n") + "w.txt\n" +
           (species ? "1\ns.txt\n" : "0\n") + (variables ? "1\ne.txt\n" : "0\n") + "2\n1\n1\n2\n3\n0\n" +
           phylogeny + "3\n1\n";
}

struct ImportCase {
    const char* what;
    std::string answers;
    Strings files;                  // name, contents, name, contents, ...
    std::function<void()> check;    // on the data loaded back from the written file
    std::string printed = "", notPrinted = "";
};

// The E answers: 2 variables in "e.txt" with default labels, type option and the rest as given.
std::string Env(const std::string& optionAndTypes) { return "2\n1\n" + optionAndTypes; }

const std::string kSix = "1 2 3\n4 5 6\n";
const std::string kMixedNotice = "Data not mixed as indicated!!!\nWish to correct manually? y/n ";

void ExpectTypes(int option, Ints types) {
    EXPECT_EQ(optEnvVarType, option);
    EXPECT_EQ(Ints(envVarType, envVarType + nenv), types);
}

const ImportCase kCases[] = {
    // W with communities as rows: the file's rows are communities of 2 OTU values each.
    {"W layout 1", Head("", false, false) + "1\n", {"w.txt", kSix},
     [] { EXPECT_EQ(Get(cadat, 2, 3), (Floats{1, 3, 5, 2, 4, 6})); }},
    // Communities as columns: the file's rows are the OTUs.
    {"W layout 2", Head("", false, false) + "2\n", {"w.txt", kSix},
     [] { EXPECT_EQ(Get(cadat, 2, 3), (Floats{1, 2, 3, 4, 5, 6})); }},
    // Vectors: community 1 holds OTU 1, community 2 none, community 3 OTU 2.
    {"W layout 3", Head("", false, false) + "3\n1 0 1\n", {"w.txt", "7 8\n"},
     [] { EXPECT_EQ(Get(cadat, 2, 3), (Floats{7, 0, 0, 0, 0, 8})); },
     "Please check matrix W. Sampling unit 2 has all values zero"},
    // Full similarities are stored as read, unchanged and not made symmetric.
    {"phylogeny option 2", Head("2\n", false, false) + "2\n", {"w.txt", kSix, "f.txt", "1 0.5\n0.25 1\n"},
     [] {
         ASSERT_EQ(phylogenyMatrixType, 1);
         EXPECT_EQ(Get(phylogenyRese, 2, 2), (std::vector<double>{1, 0.5, 0.25, 1}));
     }},
    // Distances all within 0..1 are kept as they are, without the normalising message.
    {"phylogeny option 1 within 0..1", Head("1\n", false, false) + "2\n",
     {"w.txt", kSix, "f.txt", "0 1\n1 0\n"},
     [] {
         ASSERT_EQ(phylogenyMatrixType, 3);
         EXPECT_EQ(Get(phylogenyRese, 2, 2), (std::vector<double>{0, 1, 1, 0}));
     },
     "", "normalized"},
    // E by variables (T): each row of the file is one variable over the 3 communities.
    {"E option 2", Head("", false, true) + "2\n" + Env("2\nt\n"), {"w.txt", kSix, "e.txt", kSix},
     [] {
         ExpectTypes(2, {3, 3});
         EXPECT_EQ(Get(env, 3, 2), (Floats{1, 4, 2, 5, 3, 6}));
         EXPECT_EQ((Ints{temEnvQuant, temEnvQual, temEnvBin}), (Ints{1, 0, 0}));
     }},
    // By communities (N): each row is one community's 2 values.
    {"E option 3", Head("", false, true) + "2\n" + Env("3\nn\n"), {"w.txt", kSix, "e.txt", kSix},
     [] {
         ExpectTypes(3, {2, 2});
         EXPECT_EQ(Get(env, 3, 2), (Floats{1, 2, 3, 4, 5, 6}));
         EXPECT_EQ((Ints{temEnvQuant, temEnvQual, temEnvBin}), (Ints{0, 1, 0}));
     }},
    {"E option 4", Head("", false, true) + "2\n" + Env("4\nt\n"), {"w.txt", kSix, "e.txt", kSix},
     [] {
         ExpectTypes(4, {1, 1});
         EXPECT_EQ((Ints{temEnvQuant, temEnvQual, temEnvBin}), (Ints{0, 0, 1}));
     }},
    // Several types that are mixed: kept as given, no question.
    {"E option 5 mixed", Head("", false, true) + "2\n" + Env("5\n1 3\nt\n"), {"w.txt", kSix, "e.txt", kSix},
     // The labels are given only after the data are read: two blank columns of 10.
     [] { ExpectTypes(5, {1, 3}); }, "Variable:    \t" + std::string(22, ' ') + "Enter variable type: \t",
     "not mixed"},
    // Not mixed and kept: the option of the one kind that is there.
    {"E option 5 nominal only", Head("", false, true) + "2\n" + Env("5\n2 2\nn\nt\n"),
     {"w.txt", kSix, "e.txt", kSix}, [] { ExpectTypes(3, {2, 2}); }, kMixedNotice},
    {"E option 5 ordinal and quantitative", Head("", false, true) + "2\n" + Env("5\n4 3\nn\nt\n"),
     {"w.txt", kSix, "e.txt", kSix}, [] { ExpectTypes(2, {4, 3}); }, kMixedNotice},
    {"E option 5 binary only", Head("", false, true) + "2\n" + Env("5\n1 1\nn\nt\n"),
     {"w.txt", kSix, "e.txt", kSix}, [] { ExpectTypes(4, {1, 1}); }, kMixedNotice},
    // Not mixed, corrected by hand: asked again, and the mixed answer stands with option 5.
    {"E option 5 corrected", Head("", false, true) + "2\n" + Env("5\n2 2\ny\n2 1\nt\n"),
     {"w.txt", kSix, "e.txt", kSix}, [] { ExpectTypes(5, {2, 1}); }, kMixedNotice},
    // Six variables of one kind, read by communities: row c of the file is community c.
    {"E option 1 six variables", Head("", false, true) + "2\n6\n1\n1\nn\n",
     {"w.txt", kSix, "e.txt", "1 2 3 4 5 6\n7 8 9 10 11 12\n13 14 15 16 17 18\n"},
     [] {
         ExpectTypes(1, {3, 3, 3, 3, 3, 3});
         EXPECT_EQ(Get(env, 3, 6, true), (Floats{1, 7, 13, 2, 8, 14, 3, 9, 15, 4, 10, 16, 5, 11, 17, 6, 12, 18}));
     }},
    // One variable: no question whether by communities or by variables.
    {"E single variable", Head("", false, true) + "2\n1\n1\n2\n", {"w.txt", kSix, "e.txt", "7 8 9\n"},
     [] {
         ExpectTypes(2, {3});
         EXPECT_EQ(Get(env, 3, 1), (Floats{7, 8, 9}));
     },
     "", "Data entered by"},
    // Two OTUs of one species: one species row, both OTUs in its column.
    {"species", Head("", true, false) + "2\n1\n", {"w.txt", kSix, "s.txt", "Poa annua\nPoa annua\n"},
     [] {
         ASSERT_EQ(nSpp, 1);
         EXPECT_EQ(GetRows(cstSppMap, 2, 1), (Strings{"1", "1"}));
         EXPECT_EQ(GetRows(sppRelMap, 1, 3), (Strings{"111"}));
     }},
};

class ImportOptions : public ConsoleTest {};

}  // namespace

TEST_F(ImportOptions, EachOptionPutsTheValuesWhereTheyBelong) {
    runMacro = 1;  // the lists are read from the answers, without the file-or-keyboard question
    std::strcpy(whichFormda, "tFormda.txt");
    volumeName[0] = '\0';
    Write("b.txt", "1\n2\n");
    for (const ImportCase& c : kCases) {
        SCOPED_TRACE(c.what);
        for (size_t k = 0; k + 1 < c.files.size(); k += 2) Write(c.files[k], c.files[k + 1]);
        Script(c.answers + "this answer is never read\n");
        const long before = static_cast<long>(Out().size());
        IFFormat();
        const std::string printed = Out().substr(static_cast<size_t>(before));
        LoadFormda("tFormda.txt");
        EXPECT_EQ(Get(csm_Float, 2, 1), (Floats{1, 2}));
        c.check();
        if (!c.printed.empty()) {
            EXPECT_NE(printed.find(c.printed), std::string::npos) << printed;
        }
        if (!c.notPrinted.empty()) {
            EXPECT_EQ(printed.find(c.notPrinted), std::string::npos) << printed;
        }
        // Every answer was taken: the next word is the one left over.
        char rest[16] = "";
        EXPECT_EQ(std::fscanf(in, "%15s", rest), 1);
        EXPECT_STREQ(rest, "this");
        ResetDataSet();
    }
}

// The presence flags follow the kind of E chosen (option 1 or 2 quantitative, 3 nominal, 4 binary):
// seen where the formatted file cannot be written (code 4), before the data set is released.
TEST_F(ImportOptions, FlagsOfTheKindOfVariablesStayWhenTheFileCannotBeWritten) {
    runMacro = 1;
    std::strcpy(whichFormda, "no-such-directory/tFormda.txt");
    volumeName[0] = '\0';
    Write("b.txt", "1\n2\n");
    Write("w.txt", kSix);
    Write("e.txt", kSix);
    for (int option : {1, 3, 4}) {
        SCOPED_TRACE(option);
        Script(Head("", false, true) + "2\n" + Env(std::to_string(option) + "\nt\n"));
        EXPECT_EQ(CodeOf([] { IFFormat(); }), 4);
        EXPECT_EQ((Ints{temEnvQuant, temEnvQual, temEnvBin}), (Ints{option == 1, option == 3, option == 4}));
        ResetDataSet();
    }
}

// The file prompts of the import read a field: blanks, tabs and line ends before it are passed
// over (a line of blanks and tabs is no answer), a tab or the line's end ends it, and the blanks
// after it are dropped before it is opened; blanks inside it stay. A name that opens nothing is
// refused with the opener's reason and asked again, and the next answer is taken. Here the answers
// to B's prompt; the rest of the import as in the table above, W by OTUs.
TEST_F(ImportOptions, FileNamesAreFieldsWithoutTheBlanksAroundThem) {
    runMacro = 1;
    std::strcpy(whichFormda, "tFormda.txt");
    volumeName[0] = '\0';
    Write("b.txt", "1\n2\n");
    Write("my b.txt", "1\n2\n");
    Write("c.txt  ", "3\n4\n");  // a name that ends in blanks cannot be asked for
    Write("w.txt", kSix);
    auto refused = [](const std::string& name) { return "\ncan't open " + name + ": No such file or directory \n"; };
    const struct {
        const char* what;
        std::string answers;  // to B's prompt
        int prompts;          // how often it is asked
        std::string err;
    } cases[] = {
        {"blanks after the name", "b.txt   \n", 1, ""},
        {"blanks and a tab after the name", "b.txt  \t\n", 1, ""},
        {"blanks before the name", "  \tb.txt\n", 1, ""},
        {"lines of blanks and tabs before the name", " \t \n\t\n  \nb.txt\n", 1, ""},
        {"a blank inside the name", "my b.txt \n", 1, ""},
        {"a name that opens nothing", "nosuch.txt\nb.txt\n", 2, refused("nosuch.txt")},
        {"a blank inside kept", "b. txt\n b.txt\n", 2, refused("b. txt")},
        {"the blanks after the name dropped", "c.txt  \nnosuch.txt \t\nb.txt\n", 3,
         refused("c.txt") + refused("nosuch.txt")},
    };
    const std::string rest = Head("", false, false).substr(std::strlen("b.txt\n")) + "2\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Script(c.answers + rest + "this answer is never read\n");
        const size_t before = Out().size();
        IFFormat();
        const std::string printed = Out().substr(before);
        std::string asked;
        for (int k = 0; k < c.prompts; k++) asked += "Enter data file name: ";
        EXPECT_NE(printed.find("should be always specified.\n" + asked + "A matrix (F) "),
                  std::string::npos)
            << printed;
        EXPECT_EQ(Count(printed, "Enter data file name: "), c.prompts + 1);  // and W's
        EXPECT_EQ(Err(), c.err);
        testing::internal::CaptureStderr();
        capturing_ = true;
        LoadFormda("tFormda.txt");
        EXPECT_EQ(Get(csm_Float, 2, 1), (Floats{1, 2}));
        EXPECT_EQ(Get(cadat, 2, 3), (Floats{1, 2, 3, 4, 5, 6}));
        char word[16] = "";
        EXPECT_EQ(std::fscanf(in, "%15s", word), 1);
        EXPECT_STREQ(word, "this");
        ResetDataSet();
    }
}
