// Shared fixture of the settings-dialog and handler tests: a data set of 5 OTUs, 3 traits
// (tr1..tr3, quantitative), 4 communities and 2 environmental variables in the globals, a
// scripted console (`in` and `out` are temporary files) and standard error captured.
#ifndef TARNEX_TESTS_SETTINGS_FIXTURE_H
#define TARNEX_TESTS_SETTINGS_FIXTURE_H

#include "e2e.h"
#include "foundation/ConsoleReaders.h"
#include "model_fixture.h"
#include "session/TNXIFSET.h"

namespace settings_test {

using e2e::Count;
using e2e::Header;
using tnxtest::CodeOf;

// Prompts that the functional-analysis and trait-subset dialogs share.
const std::string kFk = "Read group memberships from file (f) or from the keyboard (k)? f/k ";
const std::string kKeyboardGroups = "Enter the group of each OTU:\nOTU:    \t1\t2\t3\t4\t5\nGroups: ";
const std::string kFuzzyBlock =
    "\nFuzzy set adjustment:\n   0  no adjustment (crisp belonging of OTUs to types)\n"
    "   1  fuzzy types (fuzzy belonging of OTUs to types)\nType option no.: ";
const std::string kCongruence =
    "\nMeasuring congruence using\n  1 matrix correlation (Mantel)\n"
    "  2 Procrustes (traceW, cannot be used when matrix E contains nominal variables)\n"
    "  3 RV coefficient (Dantrel 1973, cannot be used when matrix E contains nominal variables)\n"
    "Type option no.: ";
const std::string kReseFunction =
    "\nResemblance function option:\n\t6   Euclidean distance\n\t10  chord distance\nType option no.: ";
const std::string kTraits = "\nTraits in matrix B to be used in the analysis:\n   1  all traits \n"
                            "   2  select traits \nType option no.: ";
const std::string kStandardize =
    "\nStandardize community data matrix (matrix W) to unit total in each community? y/n ";

class DialogTest : public tnxtest::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        Load();
        includePhylogeny = false;
        temEnvQual = opt_struct = rese_opt = whichObj = 0;
        optmain = 'H';
        optmain1 = 'V';
        std::strcpy(sessionName, "s1");
        std::strcpy(sessionShortName, "s1");
        std::strcpy(whichPrinda, "s1Prinda.txt");
        std::strcpy(whichFormda, "s1Formda.txt");
        std::strcpy(whichTrack, "s1Trk.txt");
        out = outFile_ = std::tmpfile();
        Script("");
        testing::internal::CaptureStderr();
    }
    void TearDown() override {
        if (capturing_) testing::internal::GetCapturedStderr();
        std::fclose(inFile_);
        std::fclose(outFile_);
        in = stdin;
        out = stdout;
        runMacro = 0;
        ReleaseSettingsArrays();
        ResetDataSet();
        TempDirTest::TearDown();
    }
    // Loads 5 OTUs, 4 communities, 2 environmental variables and the quantitative traits
    // tr1..tr3 (and a phylogeny when asked for).
    static void Load(bool phylogeny = false) {
        tnxtest::AllocateModel(3, 4, 5, 2, 0, phylogeny);
        for (int j = 0; j < nch; j++) {
            chtype[j] = 3;
            std::strcpy(chLabel[j], ("tr" + std::to_string(j + 1)).c_str());
        }
        for (int k = 0; k < ncsm; k++) relSelect[k] = 1;
    }
    // The answers the dialog reads from `in` (replacing any earlier ones).
    void Script(const std::string& answers) {
        if (inFile_) std::fclose(inFile_);
        in = inFile_ = std::tmpfile();
        std::fputs(answers.c_str(), inFile_);
        std::rewind(inFile_);
    }
    // Everything written on `out` so far.
    std::string Out() {
        std::rewind(outFile_);
        std::string s;
        for (int c; (c = std::fgetc(outFile_)) != EOF;) s += static_cast<char>(c);
        return s;  // at the end again: writing goes on there
    }
    // Everything written on standard error (once per test).
    std::string Err() {
        capturing_ = false;
        return testing::internal::GetCapturedStderr();
    }

    FILE* inFile_ = nullptr;
    FILE* outFile_ = nullptr;
    bool capturing_ = true;
};

}  // namespace settings_test

#endif
