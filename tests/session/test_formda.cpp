// The formatted data file, the "DATA FOR SESSION" dialog and its merge, the data checks, species codes.
#include "session/model/TNXCHECK.h"
#include "session/TNXIFFMT.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

// By hand: 3 OTUs, 4 traits of all types, 2 communities, 2 variables, 2 species, window 3, phylogeny, groups.
const std::string kSample =
    "sample_B.txt \n4 \nflying\tdiet\tmass\tsize\t\n 1\t 2\t 3\t 4\t\n0\t0\t0\t0\t\n 3\t 3\t 3\t 3\t\n"
    "2 \nnorth\tsouth\t\n3 \n0\t0\t\n0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n"
    "1\t2\t0.1234567\t3\t\n0\t1\t-999\t1\t\n1\t3\t123456.7\t2\t\n\n1.5\t0\t\n0\t2\t\n-999\t1e-07\t\n\n"
    "2 \n97Sep08 \n5 \n3\t2\t\npH\tmoisture\t\nsample_E.txt \n   5.5\t  -999\t\n     1\t     2\t\n"
    "2 \nsample spp.txt \nPoan Poa annua\nCafl Carex flacca\n10\n01\n10\n01\n10\nSMW 3\n1\n";
const std::string kMatrix = "1\n1\t0.3333333333333333\t0.25\t\n0.3333333333333333\t1\t0.5\t\n0.25\t0.5\t1\t\n";
const std::string kVariables = "2\n2\n1\t2\t\n0\t1\t\n1\t2\t\n0\t3\t\n";
const std::string kEnd = "1\n1\t1\t2\t2\t\nMon Dec  6 16:55:00 2004\n";

// Sessions a (2 OTUs) and b (3 OTUs, the second in no community): 2 traits, 2 communities, pH, 2 species.
const std::string kA =
    "aFormda.txt \n2 \nflying\tmass\t\n 1\t 3\t\n0\t0\t\n 2\t 2\t\n2 \nnorth\tsouth\t\n2 \n0\t0\t\n"
    "0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n1\t2.5\t\n0\t4\t\n\n1\t0\t\n0\t3\t\n\n"
    "1 \n97Sep08 \n2 \n3\t\npH\t\nE_a \n5\t6\t\n2 \nspp.txt \nPoa annua\nCarex flacca\n10\n01\n10\n01\n"
    "SMW 1\n0\n1\n1\t1\t\nMon Dec  6 16:55:00 2004\n";
const std::string kB =
    "bFormda.txt \n2 \nflying\tmass\t\n 1\t 3\t\n0\t0\t\n 2\t 3\t\n2 \nnorth\twest\t\n3 \n0\t0\t\n"
    "0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n0\t7\t\n1\t8\t\n1\t9\t\n\n2\t0\t\n0\t0\t\n0\t5\t\n\n"
    "1 \n97Sep08 \n2 \n3\t\npH\t\nE_b \n7\t-999\t\n2 \nspp.txt \nPoa annua\nCarex flacca\n10\n01\n10\n01\n01\n"
    "SMW 1\n0\n1\n1\t1\t\nMon Dec  6 16:55:00 2004\n";

void Put(float** m, int rows, int cols, std::initializer_list<float> v) {
    const float* p = v.begin();
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) m[i][j] = *p++;
}

void PutRows(char** rows, const Strings& values) {
    for (size_t i = 0; i < values.size(); i++) std::memcpy(rows[i], values[i].c_str(), values[i].size());
}

void WriteAs(const char* name) { WriteFormda(tcst, name, dataName, csm_Float, cadat); }

// The error code of loading `name` (or writing over it); `err` gets standard error.
int CodeOf(const char* name, std::string& err, bool write = false) {
    ::testing::internal::CaptureStderr();
    const int code = tnxtest::CodeOf([&] { write ? WriteAs(name) : LoadFormda(name); });
    err = ::testing::internal::GetCapturedStderr();
    return code;
}

// A data set of the given shape without working arrays (what the checks use).
void MakeData(int nTraits, int nComm, int nOtu, int nSpecies = 0) {
    ResetDataSet();
    nch = nTraits, ncsm = nComm, tcst = nOtu, nSpp = nSpecies;
    chLabel = dim2Dchar(nch, kLabelSize);
    chtype = dim1Dint(nch);
    chrange = dim1Dfloat(nch);
    onsta = dim1Dint(nch);
    ncst = dim1Dint(ncsm);
    csm_Float = dim2Dfloat(tcst, nch);
    cadat = dim2Dfloat(tcst, ncsm);
    if (nSpp > 0) {
        spp = dim2Dchar(nSpp, kSpeciesNameSize);
        sppRelMap = dim2Dchar(nSpp, ncsm);
        cstSppMap = dim2Dchar(tcst, nSpp);
    }
}

// One OTU per name (species arrays sized by the OTUs, as in the import), then species with codes.
void Species(const Strings& names) {
    const int n = static_cast<int>(names.size());
    MakeData(1, 1, n, n);
    free2D(sppRelMap, n);
    sppRelMap = nullptr;
    for (int i = 0; i < n; i++) std::snprintf(spp[i], kSpeciesNameSize, "%s", names[i].c_str());
    CheckSpecies(2);
}

using FormdaTest = TempDirTest;

class DataMenuTest : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        std::strcpy(sessionName, "s");
        std::strcpy(whichTrack, "sTrk.txt");
        Write("sTrk.txt", "");
        Write("aFormda.txt", kA);
        Write("bFormda.txt", kB);
    }
    // The data dialog on `answers`; printed_ gets its standard output.
    int Run(const std::string& answers) {
        Script(answers);
        ::testing::internal::CaptureStdout();
        const int r = SetFormda();
        printed_ = ::testing::internal::GetCapturedStdout();
        return r;
    }
    std::string printed_;
};

}  // namespace

// Written again, the file is the same; FreeGlobals2 releases all (leak checker) and nulls every pointer.
TEST_F(FormdaTest, LoadedWrittenAgainAndReleasedWithBothPhylogenyForms) {
    const auto withoutTimeStamp = [](const std::string& t) { return t.substr(0, t.rfind('\n', t.size() - 2)); };
    for (int form : {1, 2}) {
        SCOPED_TRACE(form);
        const std::string text = kSample + (form == 1 ? kMatrix : kVariables) + kEnd;
        Write("in.txt", text);
        dirtyOrig = 1;
        LoadFormda("in.txt");
        EXPECT_EQ(dirtyOrig, 0);
        WriteAs("out.txt");
        const std::string again = Read("out.txt");
        EXPECT_EQ(withoutTimeStamp(again), withoutTimeStamp(text));
        EXPECT_EQ(again.size() - withoutTimeStamp(again).size(), 26u);  // "\n" + 24 characters + "\n"
        EXPECT_EQ((Floats{csm_Float[0][2], csm_Float[2][2], cadat[2][1], env[1][0]}),
                  (Floats{0.1234567f, 123456.7f, 1e-7f, -999}));  // E is written variable by variable
        ASSERT_EQ(phylogenyMatrixType, form);
        EXPECT_EQ(form == 1 ? phylogenyRese[1][0] : phylogenyData[2][1], form == 1 ? 1.0 / 3.0 : 3.0);
        EXPECT_EQ((Ints{temEnvQuant, temEnvQual, temEnvBin}), (Ints{1, 1, 0}));  // from the variable types
        EXPECT_TRUE(groupCstP && groupCst == groupCstP[0] && groupRel == groupRelP[0]);  // working arrays
        for (int twice = 0; twice < 2; twice++) {
            FreeGlobals2();
            const void* arrays[] = {
                chLabel,   reLabel,     grLabelP,       grCstLabelP, nchor,         weight,       chtype,
                traitGroups, chrange,   onsta,          ncst,        rcst,          nGrPoly,      cadat,
                csm_Float, env,         envLabel,       envVarType,  relSelect,     nGroupsP,     groupRelP,
                partLabel, nGroupsCstP, whichLevelGrCstP, groupCstP, partCstLabel, partition_OTUs, spp,
                sppRelMap, cstSppMap,   cstTrack,       phylogenyRese, phylogenyData, phylogenyVarType,
                groupRel,  grLabel,     groupCst,       grCstLabel, csm};
            for (const void* p : arrays) EXPECT_EQ(p, nullptr);
        }
    }
}

TEST_F(FormdaTest, OlderFormsAndTheResetBeforeLoading) {
    Write("full.txt", kSample + kMatrix + kEnd);
    LoadFormda("full.txt");
    nPart = 2;
    // Version of 2008: no trait groups; no variables, species or phylogeny in this file either.
    Write("2008.txt", "old data\n2\nfifteen_chars_x\tb\t\n1\t3\t\n0\t0\t\n2\t2\t\n1\nr1\t\n2\n0\t\n"
                      "0\t0\t0\t0\t0\t0\t0\t\n\n18Jan2008\n1\t2.5\t\n0\t7\t\n\n3\t\n0\t\n\n0\n0\nSMW 2\n0\n1\n"
                      "1\t2\t\nTue Jan 18 10:00:00 2008\n");
    // Text after the window that is no number (though it starts with digits) is not the phylogeny flag.
    // Neither is a number beyond the int range.
    for (const char* note : {"18Jan2008 notes", "99999999999"}) {
        Write("2008note.txt", Edit(Read("2008.txt"), "SMW 2\n0\n1\n1\t2\t\n", std::string("SMW 2\n") + note + "\n"));
        LoadFormda("2008note.txt");
        EXPECT_EQ((Ints{SMWSize, hasPhylogeny, hasTraitGroups}), (Ints{2, 0, 0})) << note;
    }
    LoadFormda("full.txt");
    nPart = 2;
    LoadFormda("2008.txt");  // without releasing first: nothing of the first file stays
    EXPECT_EQ((Strings{chLabel[0], chLabel[1]}), (Strings{"fifteen_ch", "b"}));  // the next label undisturbed
    EXPECT_EQ((Floats{csm_Float[0][1], cadat[0][0]}), (Floats{2.5f, 3}));
    EXPECT_EQ((Ints{SMWSize, hasTraitGroups, hasPhylogeny, nenv, optEnvVarType, temEnvQual, nSpp, nPart}),
              (Ints{2, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ((std::vector<const void*>{phylogenyRese, env, spp}), std::vector<const void*>(3, nullptr));
    EXPECT_EQ((Strings{dataName, whichSpp}), (Strings{"old data", ""}));
    WriteAs("min.txt");  // zero counts and flags for what is absent
    EXPECT_NE(Read("min.txt").find("\n0\t7\t\n\n3\t\n0\t\n\n0 \n0 \nSMW 2\n0\n0\n"), std::string::npos);

    // No version word, traits as one word of 2 digits each, no variable types, window or phylogeny flag.
    Write("older.txt", "older\n2\nt1\tt2\t\n2\t1\t\n 0\t 0\t\n 3\t 2\t\n2\nr1\tr2\t\n2\n  0\t  0\t\n"
                       "0\t0\t0\t0\t0\t0\t0\t\n0301\t    1\t    0\t\n1200\t    0\t    4\t\n"
                       "2\nalt\tslope\t\nenvfile\n100\t200\t\n5\t-999\t\n1\nspp\n" +
                           std::string(75, 'a') + " tail\n11\n1\n1\nMon Dec  6 16:55:00 2004\n");
    LoadFormda("older.txt");
    ASSERT_EQ((Ints{tcst, nenv, nSpp, SMWSize, hasPhylogeny}), (Ints{2, 2, 1, 1, 0}));
    EXPECT_EQ(Get(csm_Float, 2, 2), (Floats{3, 1, 12, 0}));
    EXPECT_EQ(Get(cadat, 2, 2), (Floats{1, 0, 0, 4}));
    EXPECT_EQ(GetRows(csm, 2), (Strings{"0301", "1200"}));  // the trait words are kept as the codes
    EXPECT_EQ((Ints{optEnvVarType, envVarType[0], envVarType[1]}), (Ints{2, 3, 3}));
    EXPECT_EQ((Strings{envLabel[1], envName}), (Strings{"slope", "envfile"}));
    EXPECT_EQ(Get(env, 2, 2), (Floats{100, 5, 200, -999}));
    EXPECT_EQ(std::string(spp[0]), std::string(70, 'a'));  // the rest of its line is passed over
    EXPECT_EQ(std::string(sppRelMap[0], 2) + cstSppMap[1][0], "111");
}

TEST_F(FormdaTest, BadFilesRaiseTheirCodes) {
    Write("truncated.txt", kSample.substr(0, kSample.find("25Jun2016") + 20));
    Write("negative.txt", "n\n-3\n");
    Write("huge.txt", "n\n1\na\t\n1\t\n0\t\n1\t\n2000000000\n");
    Write("badmap.txt", "n\n1\nb\t\n1\t\n0\t\n1\t\n1\nr\t\n1\n0\t\n0\t0\t0\t0\t0\t0\t0\t\n\n"
                        "25Jun2016\n1\t\n\n1\t\n\n0\n1\nspp\nname\nx\n1\nSMW 1\n0\n0\n");
    // Counts the data model forbids, or that the file cannot hold (every item takes a byte at
    // least): code 2 before anything is allocated; more than the machine holds: code 1. (Control
    // bytes, counts running into letters and more such counts: the fuzzing corpus.)
    const std::string five = FiveOtus(false);
    Write("noOtus.txt", Edit(five, "\n5 \n", "\n0 \n"));
    Write("noTraits.txt", "n\n0\n");
    Write("noCommunities.txt", Edit(five, "\n4 \nc1", "\n0 \nc1"));
    Write("hugeVariables.txt", Edit(five, "\n0 \n0 \nSMW", "\n2000000000 \n0 \nSMW"));
    Write("manySpecies.txt", Edit(five, "\n0 \n0 \nSMW", "\n0 \n100000 \nSMW"));
    const std::tuple<const char*, int, const char*> cases[] = {
        {"truncated.txt", 2, "file truncated.txt"}, {"negative.txt", 2, ""}, {"badmap.txt", 2, ""}, {"huge.txt", 1, ""},
        {"none.txt", 4, "can't open none.txt"}, {"noOtus.txt", 2, "file noOtus.txt"}, {"noTraits.txt", 2, ""},
        {"noCommunities.txt", 2, ""}, {"hugeVariables.txt", 1, ""}, {"manySpecies.txt", 2, ""}};
    for (const auto& [file, code, message] : cases) {
        std::string err;
        EXPECT_EQ(CodeOf(file, err), code) << file;
        EXPECT_NE(err.find(message), std::string::npos) << err;
    }
}

// An empty label or name is written as "NULL": the file reads back with every item in its place.
TEST_F(FormdaTest, EmptyItemsAreWrittenAsNull) {
    Write("in.txt", kSample + kMatrix + kEnd);
    LoadFormda("in.txt");
    for (char* item : {chLabel[1], reLabel[0], envLabel[1], spp[0], dataName, envName, whichSpp}) item[0] = '\0';
    WriteAs("out.txt");
    LoadFormda("out.txt");
    EXPECT_EQ((Strings{chLabel[0], chLabel[1], reLabel[0], reLabel[1], envLabel[0], envLabel[1], spp[0], spp[1]}),
              (Strings{"flying", "NULL", "NULL", "south", "pH", "NULL", "NULL", "Cafl Carex flacca"}));
    EXPECT_EQ((Strings{dataName, envName, whichSpp}), (Strings{"NULL", "NULL", "NULL"}));
    EXPECT_EQ((Floats{csm_Float[2][2], cadat[2][1], env[1][1]}), (Floats{123456.7f, 1e-7f, 2}));
    EXPECT_EQ(phylogenyRese[2][1], 0.5);
}

// A data or environmental file name longer than its field is cut to 319 characters and the rest
// of its line passed over: what follows reads in its place.
TEST_F(FormdaTest, LongFileNamesAreCutToTheirField) {
    const std::string longB(400, 'B'), longE(400, 'E');
    Write("long.txt", Edit(Edit(kSample + kMatrix + kEnd, "sample_B.txt", longB), "sample_E.txt", longE));
    LoadFormda("long.txt");
    EXPECT_EQ((Strings{dataName, envName}), (Strings{longB.substr(0, 319), longE.substr(0, 319)}));
    EXPECT_EQ((Floats{env[0][0], env[1][1]}), (Floats{5.5f, 2}));
    EXPECT_STREQ(whichSpp, "sample spp.txt");
}

TEST_F(FormdaTest, FailedWriteRaisesCode3AndKeepsTheOldFile) {
    Write("in.txt", kSample + kMatrix + kEnd);
    LoadFormda("in.txt");
    Write("sFormda.txt", "the old file\n");
    EXPECT_EQ(CodeWithSmallFiles([] { WriteAs("sFormda.txt"); }), 3);
    EXPECT_EQ(Read("sFormda.txt"), "the old file\n");
    EXPECT_EQ(Entries(), 2);  // no temporary file left behind
    // A directory stands where the file should go: the rename over it fails with code 4.
    std::string err;
    std::filesystem::create_directory("dFormda.txt");
    Write("dFormda.txt/inside", "kept\n");
    EXPECT_EQ(CodeOf("dFormda.txt", err, true), 4);
    EXPECT_NE(err.find("can't replace dFormda.txt: Is a directory"), std::string::npos);
    EXPECT_EQ(Read("dFormda.txt/inside"), "kept\n");
    EXPECT_EQ(Entries(), 3);
}

// Unknown sessions and refused merges offer the options again; the data of another session "as it is" are
// named by the track file and not left loaded.
TEST_F(DataMenuTest, UnknownSessionsRefusedMergesAndAnotherSessionsDataAsItIs) {
    // Second sessions d0..d9 differ from a in one point each; d9 meets the labels of t.
    const std::string seconds[] = {
        Edit(Edit(kB, "2 \nflying\tmass\t\n 1\t 3\t\n0\t0\t\n 2\t 3\t", "1 \nflying\t\n 1\t\n0\t\n 2\t"),
             "0\t7\t\n1\t8\t\n1\t9\t", "0\t\n1\t\n1\t"),
        Edit(kB, "flying\tmass", "mass\tflying"),
        Edit(kB, " 1\t 3\t", " 1\t 4\t"),
        Edit(kB, "\n0\t0\t0\t0\t0\t0\t0\t", "\n5\t0\t0\t0\t0\t0\t0\t"),
        Edit(kB, "1 \n97Sep08 \n2 \n3\t\npH\t\nE_b \n7\t-999\t\n", "0 \n"),
        Edit(kB, "97Sep08 \n2 \n3\t", "97Sep08 \n2 \n2\t"),  // the variable's type
        Edit(kB, "97Sep08 \n2 \n3\t", "97Sep08 \n5 \n3\t"),  // the kind of E
        Edit(kB, "pH", "alt"),
        Edit(kB, "2 \nspp.txt \nPoa annua\nCarex flacca\n10\n01\n10\n01\n01\n", "0 \n"),
        Edit(kB, "north", "tenletters")};
    Write("tFormda.txt", Edit(kA, "north", "tenletters"));
    std::string answers = "2\nnosuch\n3\na\nnosuch\n";
    for (int k = 0; k < 10; k++) {
        Write("d" + std::to_string(k) + "Formda.txt", seconds[k]);
        answers += std::string("3\n") + (k == 9 ? "t" : "a") + "\nd" + std::to_string(k) + "\n";
    }
    EXPECT_EQ(Run(answers + "2\na\n1\n"), 0);
    EXPECT_EQ(Count(Err(), "can't open nosuchFormda.txt"), 2);
    EXPECT_EQ(Count(Out(), "\nEnter name of the session from which data is to be extracted: \nUse file "
                           "aFormda.txt:\n   1  as it is \n   2  modified \n   3  return to main menu \n"
                           "Type option no.: \n\n"),
              1);
    const std::string messages =
        "\nThe number of traits do not match.\n\n\nLabels for traits do not match (or their order).\n\n"
        "\nTrait types do not match.\n\n\nTranslating values for cover-abundance scale codes do not match.\n\n"
        "\nThe number of environmental variables do not match.\n\n"
        "\nThe types of environmental variables do not match.\n\n"
        "\nThe types of environmental variables do not match.\n\n"
        "\nLabels for environmental variables do not match.\n\n\nOne session has species names and the other "
        "not.\nBoth files must have or not have species names.\n\n"
        "\b\nThere are releve labels in the second session that are identical to\n"
        "labels in the first session. Change them (or reduce the second\n"
        "session labels length to 9 letters or digits) and try again.\n";
    EXPECT_NE(printed_.find(messages), std::string::npos) << printed_;  // after the bells of unknown sessions
    EXPECT_TRUE(tcst == 0 && !csm_Float && !reLabel && !groupCstP);  // nothing left loaded
    EXPECT_EQ(Read("sTrk.txt"), "aFormda.txt\n07Jul17\n");
    EXPECT_FALSE(std::filesystem::exists("sFormda.txt"));
}

TEST_F(DataMenuTest, MergedDataSetHasBothSessionsInTheirOwnRowsAndColumns) {
    EXPECT_EQ(Run("3\na\nb\n"), 0);
    EXPECT_EQ(Read("sTrk.txt"), "sFormda.txt\n07Jul17\n");
    EXPECT_EQ(Count(Out(), "\nEnter names of the sessions from which data is to be merged:\nFirst session "
                           "name: "), 1);
    LoadFormda("sFormda.txt");
    EXPECT_STREQ(dataName, "aFormda.txt bFormda.txt");
    ASSERT_EQ((Ints{ncsm, tcst, nenv, nSpp, onsta[1]}), (Ints{4, 4, 1, 2, 4}));  // OTUs: 2 + 3, less one absent
    EXPECT_EQ(GetRows(reLabel, 4), (Strings{"north", "south", "northb", "west"}));
    EXPECT_EQ(Get(csm_Float, 4, 2), (Floats{1, 2.5f, 0, 4, 0, 7, 1, 9}));
    EXPECT_EQ(Get(cadat, 4, 4), (Floats{1, 0, 0, 0, 0, 3, 0, 0, 0, 0, 2, 0, 0, 0, 0, 5}));
    EXPECT_EQ(Get(env, 4, 1), (Floats{5, 6, 7, -999}));
    EXPECT_STREQ(envName, "E_a E_b");
    // The same species names of the two sessions become one species.
    EXPECT_EQ(GetRows(spp, 2), (Strings{"Poa annua", "Carex flacca"}));
    EXPECT_EQ(GetRows(sppRelMap, 2, 4), (Strings{"1010", "0101"}));
    EXPECT_EQ(GetRows(cstSppMap, 4, 2), (Strings{"10", "01", "10", "01"}));
    EXPECT_EQ(hasTraitGroups, 1);
    EXPECT_EQ(printed_.find("phylogeny"), std::string::npos);
    // Different trait groups are dropped; an equal window size is kept; the phylogeny of one
    // session is not carried.
    Write("cFormda.txt", Edit(kA, "SMW 1\n0\n", "SMW 2\n1\n1\n1\t0.5\t\n0.5\t1\t\n"));
    Write("dFormda.txt", Edit(kB, "SMW 1\n0\n1\n1\t1\t", "SMW 2\n0\n1\n3\t3\t"));
    EXPECT_EQ(Run("3\nc\nd\n"), 0);
    EXPECT_NE(printed_.find("trait groups"), std::string::npos);
    EXPECT_NE(printed_.find("\nThe phylogeny is not carried into the merged data.\n"), std::string::npos);
    LoadFormda("sFormda.txt");
    EXPECT_FALSE(hasPhylogeny);
    EXPECT_EQ((Ints{hasTraitGroups, SMWSize}), (Ints{0, 2}));
    // Trait groups of one session only are dropped too.
    Write("gFormda.txt", Edit(kB, "SMW 1\n0\n1\n1\t1\t", "SMW 1\n0\n0\n"));
    EXPECT_EQ(Run("3\na\ng\n"), 0);
    LoadFormda("sFormda.txt");
    EXPECT_EQ((Ints{ncsm, hasTraitGroups}), (Ints{4, 0}));
    // Neither session has species names: merged all the same, still without them.
    Write("eFormda.txt", Edit(kA, "2 \nspp.txt \nPoa annua\nCarex flacca\n10\n01\n10\n01\n", "0 \n"));
    Write("fFormda.txt", Edit(kB, "2 \nspp.txt \nPoa annua\nCarex flacca\n10\n01\n10\n01\n01\n", "0 \n"));
    EXPECT_EQ(Run("3\ne\nf\n"), 0);
    LoadFormda("sFormda.txt");
    EXPECT_EQ((Ints{ncsm, tcst, nSpp}), (Ints{4, 4, 0}));
}

// A data file name that fills its 41 characters: the rest of that line is passed over, not taken as the
// next answer.
TEST_F(DataMenuTest, DataFileNameFillingItsFieldDropsTheRestOfTheLine) {
    Write("a.txt", "1\n");
    Write("b.txt", "2\n");
    Script(std::string(41, 'x') + "a.txt\nb.txt\n");
    char name[42];
    FILE* f = ReadDataFileName(name);
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_STREQ(name, "b.txt");
    EXPECT_EQ(Count(Out(), "Enter data file name: "), 2);
}

// The merged data set's environmental name is the first session's, a blank and the second's, as
// much as the 319 characters of the field hold: at 317 characters one more fits after the blank,
// at 318 only the blank, at 319 nothing. The file holds each name followed by " \n"; a reader
// passes over the blanks that end the line.
TEST_F(DataMenuTest, MergedEnvironmentalNameKeepsWithinItsField) {
    const struct {
        size_t length;
        const char* after;  // what follows the first session's name
        const char* reread;  // and read back, the blank that ends the line passed over
    } cases[] = {{317, " E", " E"}, {318, " ", ""}, {319, "", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string y(c.length, 'y');
        Write("cFormda.txt", Edit(kA, "E_a \n", y + " \n"));
        EXPECT_EQ(Run("3\nc\nb\n"), 0);
        const std::string merged = Read("sFormda.txt");
        EXPECT_EQ(merged.substr(0, merged.find('\n') + 1), "cFormda.txt bFormda.txt \n");
        EXPECT_EQ(Count(merged, "\n" + y + c.after + " \n"), 1);
        EXPECT_EQ(Count(merged, "E_b"), 0);  // never the second name whole, past the field
        LoadFormda("sFormda.txt");
        EXPECT_EQ((Ints{ncsm, tcst, nenv}), (Ints{4, 4, 1}));
        EXPECT_EQ(std::string(envName), y + c.reread);
    }
}

TEST_F(DataMenuTest, RefusedMergeLeavesTheLoadedDataAsTheyWere) {
    Write("cFormda.txt", Edit(kA, "north\tsouth", "A\tAb"));
    Write("dFormda.txt", Edit(kB, "north", "A"));  // "Ab" is taken by "A" and its "b"
    LoadFormda("cFormda.txt");
    const std::vector<const void*> loaded{csm_Float, cadat, reLabel};
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(MergeFormda("dFormda.txt"), 0);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("renamed with \"b\""), std::string::npos);
    EXPECT_EQ(loaded, (std::vector<const void*>{csm_Float, cadat, reLabel}));
    EXPECT_EQ((Ints{tcst, ncsm}), (Ints{2, 2}));
    EXPECT_EQ(GetRows(reLabel, 2), (Strings{"A", "Ab"}));
    EXPECT_STREQ(dataName, "aFormda.txt");
}

TEST_F(FormdaTest, AbsentOtuIsDroppedWithItsPhylogenyAndEmptyCommunityCounted) {
    MakeData(1, 3, 4);
    Put(csm_Float, 4, 1, {10, 20, 30, 40});
    Put(cadat, 4, 3, {1, 0, 0, 0, 0, 0, -999, 0, 0, 0, 2, 0});  // OTU 2 only zeros
    phylogenyRese = dim2Double(4, 4);
    for (int k = 0; k < 16; k++) phylogenyRese[k / 4][k % 4] = 10 * (k / 4) + k % 4;
    CheckData(1);
    ASSERT_EQ(tcst, 3);
    EXPECT_EQ(Get(csm_Float, 3, 1), (Floats{10, 30, 40}));
    EXPECT_EQ(Get(cadat, 3, 3), (Floats{1, 0, 0, -999, 0, 0, 0, 2, 0}));
    EXPECT_EQ((Ints{ncst[0], ncst[1], ncst[2], emptyReleves}), (Ints{2, 1, 0, 1}));  // -999 is not 0
    EXPECT_EQ(Get(phylogenyRese, 3, 3), (std::vector<double>{0, 2, 3, 20, 22, 23, 30, 32, 33}));  // OTUs 0, 2, 3
}

// Repeated species are merged, the last position included; the last trait "sp" gets the row of the
// species' first OTU.
TEST_F(FormdaTest, RepeatedSpeciesAreMergedAndTraitSpFilled) {
    MakeData(3, 3, 4, 4);
    PutRows(chLabel, {"sp", "x", "sp"});
    Put(csm_Float, 4, 3, {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7});
    PutRows(spp, {"a", "b", "a", "a"});
    PutRows(cstSppMap, {"1000", "0100", "0010", "0001"});
    PutRows(sppRelMap, {"100", "010", "001", "001"});
    Put(cadat, 4, 3, {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1});
    CheckData(0);
    ASSERT_EQ(nSpp, 2);
    EXPECT_EQ(GetRows(spp, 2), (Strings{"a", "b"}));
    EXPECT_EQ(GetRows(cstSppMap, 4, 2), (Strings{"10", "01", "10", "10"}));
    EXPECT_EQ(GetRows(sppRelMap, 2, 3), (Strings{"101", "010"}));
    EXPECT_EQ(Get(csm_Float, 4, 3), (Floats{7, 7, 0, 7, 7, 1, 7, 7, 0, 7, 7, 0}));
}

TEST_F(FormdaTest, TrimSpeciesRemovesUnusedSpeciesAndReportsOrphanOtus) {
    // s0 has OTU 0; s1 none; s2 OTU 1 but occurs nowhere; s3 OTU 2, present only where it has no value;
    // s4 OTU 3, present only in the last community, where OTU 3 has its value.
    MakeData(1, 2, 4, 5);
    PutRows(spp, {"s0", "s1", "s2", "s3", "s4"});
    PutRows(cstSppMap, {"10000", "00100", "00010", "00001"});
    PutRows(sppRelMap, {"10", "11", "00", "10", "01"});
    Put(cadat, 4, 2, {2, 0, 0, 1, 0, 5, 0, 3});
    ::testing::internal::CaptureStderr();
    TrimSpecies(4);
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(nSpp, 3);
    EXPECT_EQ(GetRows(spp, 3), (Strings{"s0", "s3", "s4"}));
    EXPECT_EQ((std::vector<const void*>{spp[3], sppRelMap[4]}), std::vector<const void*>(2, nullptr));
    EXPECT_EQ(GetRows(cstSppMap, 4, 3), (Strings{"100", "000", "000", "001"}));
    EXPECT_EQ(err, "\nOTU 2 is left without a species in the species list.\n"
                   "\nOTU 3 is left without a species in the species list.\n");
}

TEST_F(FormdaTest, RangeStatesUsesPresentValuesOnlyAndCountStatesEveryValue) {
    MakeData(5, 1, 3);
    for (int j = 0; j < 4; j++) chtype[j] = 3;
    Put(csm_Float, 3, 5, {2, -7, -999, 0, 1e8f, 5, -2, -999, 0, 1e8f, -999, -999, -999, 0, 0});
    chrange[4] = 123.0f;
    RangeStates(nch, tcst, csm_Float, chtype, chrange);
    // 2 5 -999; -7 -2; nothing present; constant; not an interval trait (untouched).
    EXPECT_EQ(Floats(chrange, chrange + 5), (Floats{3, 5, 0, 0, 123}));
    CountStates(nch, tcst, onsta, csm_Float);
    EXPECT_EQ(Ints(onsta, onsta + 5), (Ints{3, 3, 1, 1, 2}));  // -999 and 1e8 are values like any other
}

TEST_F(FormdaTest, SpeciesMapHelpersAndStateCountersOfTraitStrings) {
    MakeData(3, 3, 3, 3);  // 3 by 3 maps; the species names hold trait strings, the trait labels states
    PutRows(cstSppMap, {"100", "010", "001"});
    int group[3] = {2, 2, 1}, key[3] = {1, 2, 1};
    MatchSpeciesCSTPooled(3, 2, cstSppMap, sppRelMap, group);
    EXPECT_EQ(GetRows(sppRelMap, 2, 3), (Strings{"001", "110"}));
    MatchSpeciesCST(3, cstSppMap, key);
    EXPECT_EQ(GetRows(cstSppMap, 2, 3), (Strings{"101", "010"}));
    // Keys 1 2 1 2: row 2 joins row 0, then row 3 (moved ahead of it) joins row 1.
    PutRows(cstSppMap, {"100", "010", "001"});
    char extra[4] = "111", *rows[] = {cstSppMap[0], cstSppMap[1], cstSppMap[2], extra};
    int keys[4] = {1, 2, 1, 2};
    MatchSpeciesCST(4, rows, keys);
    EXPECT_EQ(GetRows(rows, 2, 3), (Strings{"101", "111"}));
    PutRows(spp, {"0102", "0103", "0202"});  // two characters per trait
    int n = 0, freq[3] = {9, 9, 9};
    CountStatesChar(0, 3, &n, spp, chLabel);
    EXPECT_EQ(GetRows(chLabel, n), (Strings{"01", "02"}));
    CountStatesFreqChar(1, 3, &n, spp, chLabel, freq);
    EXPECT_EQ(GetRows(chLabel, n), (Strings{"02", "03"}));
    EXPECT_EQ(Ints(freq, freq + 3), (Ints{2, 1, 0}));
    CountStatesFreqGroup(0, 3, &n, spp, chLabel, freq, 3, group, 2);  // rows 0 and 1
    EXPECT_EQ(GetRows(chLabel, n), (Strings{"01"}));
    EXPECT_EQ(Ints(freq, freq + 3), (Ints{2, 0, 0}));
    CountStatesFreqGroup(0, 1, &n, spp, chLabel, freq, 3, group, 2);  // a single row is still counted
    EXPECT_EQ(n, 1);
    EXPECT_EQ(Ints(freq, freq + 3), (Ints{1, 0, 0}));
    // One slot only: trait 1 has states 02 (twice) and 03; 03 finds no slot and is not counted, and
    // the slot after the last (holding "03" here) is never read.
    int all[3] = {1, 1, 1};
    std::strcpy(chLabel[1], "03");
    freq[1] = 7;
    CountStatesFreqGroup(1, 3, &n, spp, chLabel, freq, 1, all, 1);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(Ints(freq, freq + 2), (Ints{2, 7}));
    EXPECT_STREQ(chLabel[0], "02");
    EXPECT_EQ(CheckIdenticalLabels("0103x", spp, 3), 1);  // 4 characters are compared
    EXPECT_EQ(CheckIdenticalLabels("0104", spp, 3), 0);
}

TEST_F(FormdaTest, SpeciesCodesAreUniqueAndLongNamesCut) {
    Species({"Poa annua", "Poa angustifolia", "Poaceae", "Poales", "Poa annua x",
             "Averyveryverylonggenusname " + std::string(80, 'q')});
    ASSERT_EQ(nSpp, 6);
    // Poan taken: the 1st character upper-cased changes nothing, then POan, POAn; Po when no 2nd word.
    EXPECT_EQ(GetRows(spp, 5), (Strings{"Poan Poa annua", "POan Poa angustifolia", "Po Poaceae", "PO Poales",
                                        "POAn Poa annua x"}));
    EXPECT_EQ(std::string(spp[5]), "Avqq Averyveryverylonggenusname " + std::string(38, 'q'));  // 70 characters
    // 'z' is a letter like any other: upper-cased, never raised past the letters.
    Species({"zz zz", "zz zzb"});
    ASSERT_EQ(nSpp, 2);
    EXPECT_EQ(GetRows(spp, 2), (Strings{"zzzz zz zz", "Zzzz zz zzb"}));
    // Beyond the eight changes of case the codes still stay unique.
    Strings many;
    for (size_t k = 1; k <= 12; k++) many.push_back("Abc def" + std::string(k, 'x'));
    Species(many);
    ASSERT_EQ(nSpp, 12);
    for (int a = 0; a < 12; a++)
        for (int b = a + 1; b < 12; b++) EXPECT_NE(std::string(spp[a], 4), std::string(spp[b], 4));
    // Abde taken: B, D, E upper-cased in turn, then A, B, D, E raised by one, each change kept; the
    // ninth finds all eight taken and takes "Ab" and a counter of two base-62 digits.
    Strings codes;
    for (int a = 0; a < 12; a++) codes.push_back(std::string(spp[a], 4));
    EXPECT_EQ(codes, (Strings{"Abde", "ABde", "ABDe", "ABDE", "BBDE", "BCDE", "BCEE", "BCEF", "Ab00", "Ab01", "Ab02",
                              "Ab03"}));
}
