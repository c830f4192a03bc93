// The earlier import dialogs against the live import, their guards, and the checks of the string layout.
#include "session/TNXIFFM2OLD.h"
#include "session/TNXIFFMT.h"
#include "session/TNXIFFMTOLD.h"
#include "session/TNXIFPICK.h"
#include "session/model/TNXCHECK.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

// One small data set, worked by hand: 4 OTUs with traits size and colour (whole numbers, so every
// dialog can read them), 3 communities, 4 species, 2 variables.
const Floats kB = {1, 12, 3, 40, 5, 7, 0, 99};
const Floats kW = {1, 0, 2, 3, 0, 0, 4, 5, 0, 0, 0, 6};  // OTUs as rows
const Floats kE = {5.5, 1, 6, 2, 7, 3};                  // communities as rows
const std::string kNames = "Poa annua\nCarex flacca\nFestuca rubra\nBriza media\n";
const std::string kBRows = "1 12\n3 40\n5 7\n0 99\n", kBCols = "1 3 5 0\n12 40 7 99\n";
const std::string kWRows = "1 0 2\n3 0 0\n4 5 0\n0 0 6\n", kWCols = "1 3 4 0\n0 0 5 0\n2 0 0 6\n";
const std::string kLabels = "size colour\nnorth south east\n";
// The E dialog of the earlier imports: typed labels, the file of E by variables.
const std::string kOpenEnv = "y\n2\n2\npH moist\ne2.txt\nt\n2\n";

struct Snapshot {
    Floats B, W, E;
    Strings traits, communities, variables, species, map;
    Ints types, varTypes;
    bool operator==(const Snapshot& o) const {
        return std::tie(B, W, E, traits, communities, variables, species, map, types, varTypes) ==
               std::tie(o.B, o.W, o.E, o.traits, o.communities, o.variables, o.species, o.map, o.types, o.varTypes);
    }
};

Snapshot Loaded() {
    return {Get(csm_Float, tcst, nch), Get(cadat, tcst, ncsm), Get(env, ncsm, nenv), GetRows(chLabel, nch),
            GetRows(reLabel, ncsm), GetRows(envLabel, nenv), GetRows(spp, nSpp), GetRows(cstSppMap, tcst, nSpp),
            Ints(chtype, chtype + nch), Ints(envVarType, envVarType + nenv)};
}

const Snapshot kExpected = {kB, kW, kE, {"size", "colour"}, {"north", "south", "east"}, {"pH", "moist"},
                            {"Poa annua", "Carex flacca", "Festuca rubra", "Briza media"},
                            {"1000", "0100", "0010", "0001"}, {2, 3}, {3, 3}};

struct DialogCase {
    const char* what;
    void (*dialog)();
    std::string answers;
    Strings files;  // name, contents, ...
    bool older = false;  // written in the older form, which keeps the trait codes
};

const DialogCase kDialogs[] = {
    {"2011, B and W as rows, species in a file", IFFormat_OLD_04Jul2011,
     "one.txt\n4\n2\n2\nsize colour\n2\n2 3\n0\n3\n2\nnorth south east\n2\nn\ny\n2\ns.txt\n1\n" + kOpenEnv,
     {"one.txt", kBRows + kWRows}},
    // Transposed, with the species at the end of the data file and E by communities.
    {"2011, B and W as columns, species at the end", IFFormat_OLD_04Jul2011,
     "one.txt\n4\n2\n2\nsize colour\n1\n2 3\n0\n3\n2\nnorth south east\n1\nn\ny\n1\n1\n"
     "y\n2\n2\npH moist\ne3.txt\nn\n2\n",
     {"one.txt", kBCols + kWCols + kNames, "e3.txt", "5.5 1\n6 2\n7 3\n"}},
    {"2009, B then W in one file", IFFormat_OLD_08Mar2009,
     "2\nnine.txt\n4\n2\n1\n2\n3\n2\n2\n1\n1\ns.txt\n2 3\n0\n1\n" + kOpenEnv + "n\n",
     {"nine.txt", kBCols + kWCols + kLabels}},
    // Records of OTUs as rows: the OTUs met again in later communities are pooled into the first.
    {"2009, records with their traits as rows", IFFormat_OLD_08Mar2009,
     "1\nrec.txt\n4\n2\n2\n2\n3\n2\n2\n1\nsrec.txt\ny\n3 1 2\n2 3\n0\n1\n" + kOpenEnv + "n\n",
     {"rec.txt", "1 12 1\n3 40 3\n5 7 4\n5 7 5\n1 12 2\n0 99 6\n" + kLabels}},
    // Records as columns, quantities as cover-abundance codes (+ 1 2 3 4 5 stand for 1 to 6).
    {"2009, records with their traits as columns, codes", IFFormat_OLD_08Mar2009,
     "1\nrec.txt\n4\n1\n2\n2\n3\n2\n1\n0.1 1 2 3 4 5 6\n1\nsrec.txt\ny\n3 1 2\n2 3\n0\n1\n" + kOpenEnv + "n\n",
     {"rec.txt", "1 3 5\n12 40 7\n+ 2 3\n5\n7\n4\n1 0\n12 99\n1 5\n" + kLabels}},
    {"earliest, B then W as community rows", IFFormat_OLD,
     "2\nold.txt\n4\n2\n2\n2\n3\n2\n2\n1\n1\ns.txt\n2 3\n1\n" + kOpenEnv + "n\n",
     {"old.txt", kBRows + kWCols + kLabels}, true},
};

class OldImport : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        runMacro = 1;  // lists come from the answers, without the file-or-keyboard question
        std::strcpy(whichFormda, "tFormda.txt");
        volumeName[0] = '\0';
        for (const auto& [name, text] : {std::pair<const char*, std::string>{"b.txt", kBRows + "size colour\n"},
                                         {"w.txt", kWRows + "north south east\n"}, {"s.txt", kNames},
                                         {"e.txt", "5.5 6 7\n1 2 3\npH moist\n"}, {"e2.txt", "5.5 6 7\n1 2 3\n"},
                                         {"srec.txt", "Poa annua\nCarex flacca\nFestuca rubra\nFestuca rubra\n"
                                                      "Poa annua\nBriza media\n"}})
            Write(name, text);
    }
    void Run(void (*dialog)(), const std::string& answers) {
        Script(answers + "left\n");
        dialog();
        char rest[8] = "";  // every answer was taken
        EXPECT_TRUE(std::fscanf(in, "%7s", rest) == 1 && std::string(rest) == "left");
    }
};

}  // namespace

TEST_F(OldImport, EachEarlierDialogGivesTheDataOfTheLiveImport) {
    Run(IFFormat, "b.txt\n0\nw.txt\n1\ns.txt\n1\ne.txt\n4\n2\n2\n2\n2 3\n0\n3\n2\n2\n1\n2\n2\n2\nt\n");
    LoadFormda("tFormda.txt");
    const Snapshot live = Loaded();
    ASSERT_EQ(live, kExpected);
    for (const DialogCase& c : kDialogs) {
        SCOPED_TRACE(c.what);
        for (size_t k = 0; k + 1 < c.files.size(); k += 2) Write(c.files[k], c.files[k + 1]);
        Run(c.dialog, c.answers);
        EXPECT_EQ(tcst, 0);  // released
        LoadFormda("tFormda.txt");
        EXPECT_EQ(Loaded(), live);
        if (c.older) {
            EXPECT_EQ(Read("tFormda.txt").find("25Jun2016"), std::string::npos);
            EXPECT_EQ(GetRows(csm, 4), (Strings{"0112", "0340", "0507", "0099"}));
        }
    }
    // The block form of the 2011 import, read back into its record.
    Run([] { IFFormat_NEW_07Jul2011("blocks.txt"); },
        "1\nb.txt\n0\n1\nw.txt\n1\ns.txt\n1\ne.txt\n4\n2\n2\n2 3\n2\n3\n2\n2\n1\n2\n2\nt\n2\n");
    EXPECT_EQ(Out().find("empty communities"), std::string::npos);  // every community holds an OTU
    tarnexInput t;
    InitTarnexInput(&t, "blocks.txt");
    OpenFormda(&t, 1);
    const Snapshot blocks = {Get(t.B, 4, 2), Get(t.W, 4, 3), Get(t.E, 3, 2), GetRows(t.chLabel, 2), GetRows(t.reLabel, 3),
                             GetRows(t.envLabel, 2), GetRows(t.spp, 4), GetRows(t.cstSppMap, 4, 4),
                             Ints(t.chtype, t.chtype + 2), Ints(t.envVarType, t.envVarType + 2)};
    EXPECT_EQ(blocks, live);
    EXPECT_EQ((Ints{t.has[0], t.has[1], t.has[2], t.has[3], t.has[4], t.optEnvVarType}), (Ints{1, 0, 1, 1, 1, 2}));
    EXPECT_EQ(std::string(t.source[kBlockSpecies]), "s.txt");
    const std::string text = Read("blocks.txt");
    EXPECT_EQ(text.substr(0, 47), "07Jul2011\n4\n\n1\nb.txt\n2\nsize\tcolour\t\n2\t3\t\n1\t12\t\n");
    // Cut short, communities that disagree with W's, another version word: code 2, the record kept.
    for (const std::string& bad : {text.substr(0, text.size() - 9), Edit(text, "\n4\n3\nPoa", "\n4\n4\nPoa"),
                                   Edit(text, "07Jul2011", "25Jun2016")}) {
        Write("blocks.txt", bad);
        EXPECT_EQ(CodeOf([&] { OpenFormda(&t, 1); }), 2);
        EXPECT_EQ(std::string(t.spp[0]), "Poa annua");
    }
    FreeTarnexInput(&t);
}

// Distances of the 2011 import are stored as similarities 1 - D/Dmax; with every distance 0, as 1.
TEST_F(OldImport, BlockFormStoresDistancesAsSimilarities) {
    const std::pair<std::string, std::vector<double>> cases[] = {{"0 2\n2 0\n", {1, 0, 0, 1}},
                                                                 {"0 0.5\n0.5 0\n", {1, 0, 0, 1}},
                                                                 {"0 0\n0 0\n", {1, 1, 1, 1}}};
    for (const auto& [distances, similarities] : cases) {
        Write("f.txt", distances);
        Run([] { IFFormat_NEW_07Jul2011("blocks.txt"); }, "0\n1\nf.txt\n0\n0\n0\n2\n1\n");
        tarnexInput t;
        InitTarnexInput(&t, "blocks.txt");
        OpenFormda(&t, 1);
        EXPECT_EQ((Ints{t.has[0], t.has[1], t.has[4], t.dims[kDimOtus]}), (Ints{0, 1, 0, 2}));
        EXPECT_EQ(Get(t.phylogeny, 2, 2), similarities) << distances;
        FreeTarnexInput(&t);
    }
}

// "sp" is refused among the typed trait labels; the phylogeny may be OTUs by nominal variables; a community
// without OTUs is named after writing.
TEST_F(OldImport, TypedLabelsRefuseSpAndThePhylogenyMayBeVariables) {
    Write("one.txt", kBRows + "1 0 2\n3 0 0\n4 0 0\n0 0 6\n");
    Write("p.txt", "1 2\n1 3\n2 3\n2 2\n");
    Run(IFFormat_OLD_04Jul2011, "one.txt\n4\n2\n2\nsize sp\nsize colour\n2\n2 3\n0\n3\n1\n2\ny\n2\np.txt\n2\n2\nn\nn\n");
    EXPECT_EQ(Count(Out(), "Label 'sp' is reserved!! Enter again!!\n"), 1);
    EXPECT_EQ(Count(Out(), "\nWarning!! There are 1 empty communities!!\nInspect file tFormda.txt\n"), 1);
    LoadFormda("tFormda.txt");
    EXPECT_EQ(GetRows(chLabel, 2), (Strings{"size", "colour"}));
    EXPECT_EQ(GetRows(reLabel, 3), (Strings{"1", "2", "3"}));
    ASSERT_EQ((Ints{hasPhylogeny, phylogenyMatrixType, nClados}), (Ints{1, 2, 2}));
    EXPECT_EQ(Get(phylogenyData, 4, 2), (Floats{1, 2, 1, 3, 2, 3, 2, 2}));
    EXPECT_EQ(Ints(phylogenyVarType, phylogenyVarType + 2), (Ints{2, 2}));
}

// Records pooled by name alone when there are no traits, or W alone (data format 3); the species become
// the only trait.
TEST_F(OldImport, RecordsWithoutTraitsMatchByNameAndTheSpeciesBecomeATrait) {
    Write("q.txt", "1 2\n3\n4 5\n");
    Write("n.txt", "Poa annua\nCarex flacca\nPoa annua\nCarex flacca\nBriza media\n");
    Write("w3.txt", "1 3 0\n2 0 4\n0 0 5\n");  // OTUs as rows
    Write("n3.txt", "Poa annua\nCarex flacca\nBriza media\n");
    // Format 1: 3 OTUs stated; counts 2 1 2; with pooling the 5 records are 3 species.
    for (const char* answers : {"1\nq.txt\n3\n3\n3\n1\n2\n1\nn.txt\ny\n2 1 2\n1\nn\ny\n",
                                "3\nw3.txt\n3\n3\n1\n2\n2\n1\nn3.txt\n1\nn\ny\n"}) {
        for (void (*dialog)() : {IFFormat_OLD_08Mar2009, IFFormat_OLD}) {
            Run(dialog, answers);
            LoadFormda("tFormda.txt");
            // Poa in communities 1 and 2, Carex in 1 and 3, Briza in 3.
            EXPECT_EQ(Get(cadat, 3, 3), (Floats{1, 3, 0, 2, 0, 4, 0, 0, 5})) << answers;
            EXPECT_EQ(GetRows(chLabel, 1), (Strings{"sp"}));
            // After the checks the species trait holds the row of each species' first OTU.
            EXPECT_EQ(Get(csm_Float, 3, 1), (Floats{0, 1, 2}));
        }
    }
}

TEST_F(OldImport, GuardsOfTheRecordsAndTheCodes) {
    Write("q.txt", "1 2\n3\n4 5\n");
    Write("n.txt", "a\nb\nc\nd\ne\n");
    Write("c.txt", "r R\n+\nx 5\n");
    Write(whichFormda, "the old file\n");
    // More distinct OTUs than stated; more records than the file holds; no trait at all; an extraneous code (the data set released once).
    const std::tuple<const char*, std::string, int, std::string> cases[] = {
        {"more OTUs", "1\nq.txt\n4\n3\n3\n1\n2\n1\nn.txt\ny\n2 1 2\n", 2,
         "\nThe records of file q.txt hold more than the 4 OTUs stated.\n"},
        {"a count of records the file cannot hold", "1\nq.txt\n4\n3\n3\n1\n2\n1\nn.txt\ny\n2 1 2000000000\n", 2,
         "\nfile q.txt "},
        {"no trait", "1\nq.txt\n5\n3\n3\n1\n2\n0\ny\n2 1 2\nn\n", 5, "\nThe data have no trait: nothing was written.\n"},
        {"code x", "1\nc.txt\n5\n3\n3\n1\n1\n1 2 3 4 5 6 7\n0\nn\n2 1 2\n", 5,
         "Extraneous cover-abundance code: x\nCheck file c.txt !!!\n1st dimension: 3 \n2st dimension: 1 \n"},
    };
    std::string err;
    for (const auto& [what, answers, code, message] : cases) {
        Script(answers);
        EXPECT_EQ(CodeOf(IFFormat_OLD_08Mar2009), code) << what;
        EXPECT_EQ(Read(whichFormda), "the old file\n") << what;
        FreeGlobals2();  // the session loop releases again: nothing is left to release twice
        err += message;
    }
    EXPECT_EQ(Err(), err);
}

// "r" and "R" give the same value, "0" gives 0 whatever the codes; option 2 reads numbers strictly.
TEST_F(OldImport, TranslateCodeAndTheStateReaders) {
    float codes[7] = {0.5f, 1, 2, 3, 4, 5, 6};
    Write("c.txt", "r R + 0 1 5x 3 2.5 x");
    FILE* f = std::fopen("c.txt", "r");
    Floats values;
    for (int k = 0; k < 7; k++) {
        float v = -1;
        TranslateCode(f, 1, codes, &v, "c.txt", 0, k);
        values.push_back(v);
    }
    EXPECT_EQ(values, (Floats{0.5f, 0.5f, 1, 0, 2, 6, 4}));
    float v = 0;
    TranslateCode(f, 2, codes, &v, "c.txt", 0, 0);
    EXPECT_EQ(v, 2.5f);
    EXPECT_EQ(CodeOf([&] { TranslateCode(f, 2, codes, &v, "c.txt", 0, 0); }), 2);
    std::fclose(f);

    // ReadCharState: whole numbers 0..99 as two digits, text before a number passed over; ReadCharStateOLD:
    // a word of 1 or 2 characters, a longer one refused with the state kept.
    Write("s.txt", "7 42 0 abc 99 100 7.5 -1");
    Write("w.txt", "7 ab abc");
    const auto read = [](const char* name, int n, bool old) {
        FILE* f = std::fopen(name, "r");
        std::string states;
        for (int k = 0; k < n; k++) {
            char s[3] = "zz";
            const int code = CodeOf([&] { old ? ReadCharStateOLD(f, s, name) : ReadCharState(f, s, name); });
            states += std::string(s) + (code ? "!" : " ");
        }
        std::fclose(f);
        return states;
    };
    EXPECT_EQ(read("s.txt", 7, false), "07 42 00 99 zz!zz!zz!");
    EXPECT_EQ(read("w.txt", 3, true), "07 ab zz!");
    EXPECT_EQ(Err(), "\nfile c.txt "
                     "\nState 100 of file s.txt is not a whole number from 0 to 99.\n"
                     "\nState 7.5 of file s.txt is not a whole number from 0 to 99.\n"
                     "\nState -1 of file s.txt is not a whole number from 0 to 99.\n"
                     "\nState abc... of file w.txt has more than 2 characters.\n");
}

// A state read as "nan" or "inf" is refused by its value with the state reader's own message, as any
// other value outside 0 .. 99.
TEST_F(OldImport, NonFiniteWordsOfAStateFileAreRefusedByTheirValue) {
    const std::pair<const char*, const char*> rows[] = {
        {"nan 7", "nan"}, {"NaN 7", "nan"}, {"-nan 7", "-nan"}, {"inf 7", "inf"}, {"-Infinity 7", "-inf"}};
    std::string err;
    for (const auto& [text, shown] : rows) {
        Write("s.txt", text);
        FILE* f = std::fopen("s.txt", "r");
        char state[3] = "zz";
        EXPECT_EQ(CodeOf([&] { ReadCharState(f, state, "s.txt"); }), 2) << text;
        EXPECT_STREQ(state, "zz");
        std::fclose(f);
        err += std::string("\nState ") + shown + " of file s.txt is not a whole number from 0 to 99.\n";
    }
    EXPECT_EQ(Err(), err);
}

// The earlier subset dialog: its texts, identical populations pooled, the older form; a value without a
// code writes nothing.
TEST_F(OldImport, EarlierSubsetPoolsIdenticalPopulations) {
    std::strcpy(sessionName, "s2");
    std::strcpy(tempSession, "s1");
    const std::string five = FiveOtus(true);
    Write("s1Formda.txt", Edit(five, "3\t4\t5\t\n4\t5", "1\t2\t3\t\n4\t5"));  // OTU 3 as OTU 1
    std::strcpy(whichFormda, "s1Formda.txt");
    Run(PickSomeFormda_OLD, "1\n2\n5\n1 2 3 4 5\n1\n1\ny\n");
    for (const char* text : {"Enter new number of populations:   ", "Identify the population by their position on file: \n",
                             "Pool identical populations for the traits? y/n "})
        EXPECT_NE(Out().find(text), std::string::npos) << text;
    const std::string written = Read("s2Formda.txt");
    EXPECT_EQ(written.find("25Jun2016"), std::string::npos);
    LoadFormda("s2Formda.txt");
    ASSERT_EQ(tcst, 4);
    EXPECT_EQ(Get(cadat, 4, 4), (Floats{2, 1, 1, 0, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1}));  // rows 1 and 3 added
    EXPECT_EQ(GetRows(csm, 4), (Strings{"010203", "020304", "040506", "050607"}));

    Write("s1Formda.txt", Edit(five, "3\t4\t5\t\n4\t5", "2.5\t4\t5\t\n4\t5"));
    std::strcpy(whichFormda, "s1Formda.txt");
    Script("1\n1\n1\n1\nn\n");
    EXPECT_EQ(CodeOf(PickSomeFormda_OLD), 5);
    EXPECT_EQ(Read("s2Formda.txt"), written);
    EXPECT_NE(Err().find("The value 2.5 of trait tr1 of OTU 3 cannot be written"), std::string::npos);
}
