// Helpers of the in-process session tests: a temporary working directory, and a data model
// allocated with the shapes the loader of the formatted data file gives it.
#ifndef TARNEX_TESTS_MODEL_FIXTURE_H
#define TARNEX_TESTS_MODEL_FIXTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "session/TNXGLOB.h"
#include "session/TNXIFFM2.h"

namespace tnxtest {

// Runs each test in a fresh empty directory, which is removed afterwards.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        std::string tmpl = (std::filesystem::temp_directory_path() / "tarnex-unit-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    static std::string Read(const std::string& name) {
        std::ifstream f(name, std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        return s.str();
    }
    static void Write(const std::string& name, const std::string& text) { std::ofstream(name) << text; }
    std::filesystem::path old_;
    std::filesystem::path dir_;
};

// The error code that f raises (0 when it raises none).
template <class F>
int CodeOf(F f) {
    try {
        f();
    } catch (const TnxError& e) {
        return e.code();
    }
    return 0;
}

// Releases the loaded data set, then allocates the data and descriptor arrays with the given
// counts (environmental, species and phylogeny arrays only when asked for) and the working and
// partition arrays as the loader does.
inline void AllocateModel(int nTraits, int nComm, int nOtu, int nVar = 0, int nSpecies = 0,
                          bool phylogeny = false) {
    ResetDataSet();
    nch = nTraits;
    ncsm = nComm;
    tcst = nOtu;
    nenv = nVar;
    nSpp = nSpecies;
    chLabel = dim2Dchar(nch, kLabelSize);
    chtype = dim1Dint(nch);
    chrange = dim1Dfloat(nch);
    onsta = dim1Dint(nch);
    traitGroups = dim1Dint(nch);
    reLabel = dim2Dchar(ncsm, kLabelSize);
    ncst = dim1Dint(ncsm);
    cadat = dim2Dfloat(tcst, ncsm);
    csm_Float = dim2Dfloat(tcst, nch);
    if (nenv > 0) {
        env = dim2Dfloat(ncsm, nenv);
        envLabel = dim2Dchar(nenv, kLabelSize);
        envVarType = dim1Dint(nenv);
    }
    if (nSpp > 0) {
        spp = dim2Dchar(nSpp, kSpeciesNameSize);
        sppRelMap = dim2Dchar(nSpp, ncsm);
        cstSppMap = dim2Dchar(tcst, nSpp);
    }
    if (phylogeny) {
        hasPhylogeny = true;
        phylogenyRese = dim2Double(tcst, tcst);
        nClados = 2;
        phylogenyData = dim2Dfloat(tcst, nClados);
        phylogenyVarType = dim1Dint(nClados);
    }
    AllocateWorkingArrays();
}

}  // namespace tnxtest

#endif
