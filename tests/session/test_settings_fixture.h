// Shared fixture of the settings-dialog and handler tests: a small data set in the globals
// (5 OTUs, 3 traits, 4 communities, 2 environmental variables), a scripted console (`in` reads
// the answers from a temporary file, `out` writes to another one), standard error captured,
// and a fresh working directory for the files the dialogs look at.
#ifndef TARNEX_TESTS_SETTINGS_FIXTURE_H
#define TARNEX_TESTS_SETTINGS_FIXTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "session/TNXGLOB.h"
#include "session/TNXIFSET.h"

namespace settings_test {

inline std::string ReadAll(FILE* f) {
    fflush(f);
    rewind(f);
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    // Writing may go on after the read: reposition at the end.
    fseek(f, 0, SEEK_END);
    return s;
}

inline std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

inline void Spill(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
}

inline int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) n++;
    return n;
}

// The header every dialog begins with: two newlines, the title in 47 columns, the session
// name right-aligned in 23 columns, a newline, the rule line of 70 dashes and a newline.
inline std::string Header(const std::string& title, const std::string& session) {
    std::string t = title;
    t.resize(47 < t.size() ? t.size() : 47, ' ');
    std::string s(23 > session.size() ? 23 - session.size() : 0, ' ');
    return "\n\n" + t + s + session + "\n" + std::string(70, '-') + "\n";
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tarnex-dialog-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        oldDir_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);

        tcst = 5;
        nch = 3;
        ncsm = 4;
        nenv = 2;
        nSpp = 0;
        csm_Float = dim2Dfloat(tcst, nch);
        cadat = dim2Dfloat(tcst, ncsm);
        chLabel = dim2Dchar(nch, kLabelSize);
        NameTraits();
        chtype = dim1Dint(nch);
        for (int j = 0; j < nch; j++) chtype[j] = 3;
        traitGroups = dim1Dint(nch);
        weight = dim1Dfloat(nch);
        nchor = dim1Dint(nch);
        nGrPoly = dim1Dint(nch);
        rcst = dim1Dint(nch);
        partition_OTUs = dim1Dint(tcst);
        relSelect = dim1Dint(ncsm);
        for (int k = 0; k < ncsm; k++) relSelect[k] = 1;
        cstSppMap = nullptr;

        hasTraitGroups = 0;
        hasPhylogeny = false;
        includePhylogeny = false;
        temEnvQual = 0;
        optmain = 'H';
        optmain1 = 'V';
        opt_struct = 0;
        rese_opt = 0;
        whichObj = 0;
        runMacro = 0;
        createMacro = 0;
        outm = nullptr;
        strcpy(sessionName, "s1");
        strcpy(sessionShortName, "s1");
        volumeName[0] = '\0';
        strcpy(whichPrinda, "s1Prinda.txt");
        strcpy(whichFormda, "s1Formda.txt");
        strcpy(whichTrack, "s1Trk.txt");

        inFile_ = tmpfile();
        outFile_ = tmpfile();
        ASSERT_NE(inFile_, nullptr);
        ASSERT_NE(outFile_, nullptr);
        in = inFile_;
        out = outFile_;
        testing::internal::CaptureStderr();
        capturing_ = true;
    }

    void TearDown() override {
        if (capturing_) testing::internal::GetCapturedStderr();
        in = stdin;
        out = stdout;
        outm = nullptr;
        runMacro = createMacro = 0;
        fclose(inFile_);
        fclose(outFile_);
        if (macroFile_) fclose(macroFile_);
        ReleaseSettingsArrays();
        free2D(csm_Float, tcst);
        free2D(cadat, tcst);
        free2D(chLabel, nch);
        free2D(cstSppMap, tcst);
        free1D(chtype);
        free1D(traitGroups);
        free1D(weight);
        free1D(nchor);
        free1D(nGrPoly);
        free1D(rcst);
        free1D(partition_OTUs);
        free1D(relSelect);
        free2D(phylogenyRese, tcst);
        csm_Float = cadat = nullptr;
        chLabel = cstSppMap = nullptr;
        chtype = traitGroups = nchor = nGrPoly = rcst = partition_OTUs = relSelect = nullptr;
        weight = nullptr;
        phylogenyRese = nullptr;
        nSpp = 0;
        std::filesystem::current_path(oldDir_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // Trait labels tr1, tr2, ...
    void NameTraits() {
        for (int j = 0; j < nch; j++) {
            std::string label = "tr" + std::to_string((j + 1) % 1000);
            memcpy(chLabel[j], label.c_str(), label.size() + 1);
        }
    }

    // Replaces the data set's traits by n traits of the given types.
    void SetTraits(int n, const int* types) {
        free2D(csm_Float, tcst);
        free2D(chLabel, nch);
        free1D(chtype);
        free1D(traitGroups);
        free1D(weight);
        free1D(nchor);
        free1D(nGrPoly);
        free1D(rcst);
        nch = n;
        csm_Float = dim2Dfloat(tcst, nch);
        chLabel = dim2Dchar(nch, kLabelSize);
        NameTraits();
        chtype = dim1Dint(nch);
        for (int j = 0; j < nch; j++) chtype[j] = types[j];
        traitGroups = dim1Dint(nch);
        weight = dim1Dfloat(nch);
        nchor = dim1Dint(nch);
        nGrPoly = dim1Dint(nch);
        rcst = dim1Dint(nch);
    }

    // The answers the dialog reads from `in`.
    void Script(const std::string& answers) {
        fputs(answers.c_str(), inFile_);
        fflush(inFile_);
        rewind(inFile_);
    }

    // Records echoed answers as while a macro is recorded.
    void RecordMacro() {
        macroFile_ = tmpfile();
        outm = macroFile_;
        createMacro = 1;
    }
    std::string Macro() { return ReadAll(macroFile_); }

    std::string Out() { return ReadAll(outFile_); }
    // Everything written on standard error so far (once per test).
    std::string Err() {
        capturing_ = false;
        return testing::internal::GetCapturedStderr();
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
    std::filesystem::path oldDir_;
    FILE* inFile_ = nullptr;
    FILE* outFile_ = nullptr;
    FILE* macroFile_ = nullptr;
    bool capturing_ = false;
};

// Expects that `f` raises the error code `code`.
template <class F>
void ExpectErrorCode(F f, int code) {
    try {
        f();
        ADD_FAILURE() << "no error code raised";
    } catch (const TnxError& e) {
        EXPECT_EQ(e.code(), code);
    }
}

}  // namespace settings_test

#endif
