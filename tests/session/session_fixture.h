// Session test support: the end-to-end sandbox, temporary directories, a scripted console, data sets, prompts.
#ifndef TARNEX_TESTS_SESSION_FIXTURE_H
#define TARNEX_TESTS_SESSION_FIXTURE_H

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "common/ErrorCode.h"
#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "session/TNXIFFM2.h"
#include "session/TNXMACRO.h"
#include "session/dialogs/TNXIFSET.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/dialogs/TNXPART.h"
#include "session/model/TNXCHECK.h"
#include "session/model/TNXGLOB.h"

namespace tnxtest {

// How a run ended (status 137 after the time limit) and what it printed on its two streams.
struct Result {
    int status;
    std::string out, err;
};

inline std::string Slurp(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + p.string());
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

inline int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) ++n;
    return n;
}

// A dialog header: the title in 47 columns, the session name right-aligned in 23, a rule line.
inline std::string Header(const std::string& title, const std::string& session) {
    return "\n\n" + title + std::string(47 - title.size(), ' ') + std::string(23 - session.size(), ' ') +
           session + "\n" + std::string(70, '-') + "\n";
}

// A formatted data file by hand: quantitative traits tr1..tr3, 4 communities, 5 OTUs, with 2 quantitative
// environmental variables and a phylogeny (similarities) when asked for.
inline std::string FiveOtus(bool variables, bool phylogeny = false) {
    return std::string("d \n3 \ntr1\ttr2\ttr3\t\n 3\t 3\t 3\t\n0\t0\t0\t\n 5\t 5\t 5\t\n4 \nc1\tc2\tc3\tc4\t\n"
                       "5 \n0\t0\t0\t0\t\n0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n1\t2\t3\t\n2\t3\t4\t\n3\t4\t5\t\n"
                       "4\t5\t6\t\n5\t6\t7\t\n\n1\t0\t1\t0\t\n0\t1\t0\t1\t\n1\t1\t0\t0\t\n0\t0\t1\t1\t\n"
                       "1\t1\t1\t1\t\n\n") +
           (variables ? "2 \n97Sep08 \n2 \n3\t3\t\ne1\te2\t\nE \n1\t2\t3\t4\t\n4\t3\t2\t1\t\n" : "0 \n") +
           "0 \nSMW 1\n" +
           (phylogeny ? "1\n1\n1\t0\t0\t0\t0\t\n0\t1\t0\t0\t0\t\n0\t0\t1\t0\t0\t\n0\t0\t0\t1\t0\t\n"
                        "0\t0\t0\t0\t1\t\n"
                      : "0\n") +
           "0\nMon Jan  1 00:00:00 2024\n";
}
inline const std::string kShortTrack = "s1Formda.txt\n07Jul17\n";
// The track file of "s1" after one functional analysis, without partitions (from the layout by hand).
inline const std::string kPlainTrack =
    "s1Formda.txt\n07Jul17\nNULL\nNULL\nNULL\ns1Hie.txt\n"
    "NULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\n"
    "0\n1\n0\n0\n0\n1\n"                                   // isHierarchical .. hasHier
    "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n"  // hasCstRese .. optEnvStruct
    "6\n0\n1\n"                                             // rese_opt, reseCstOpt, part
    "1 2 3 \n4 2 2 \n4 2 2 \n3\n1.000000\n"                 // nchor, rcst, nGrPoly, fuzzy
    "1\n1\n1\n1\n1\n0\n0\n0\n0\n"                           // reseType.., cohe .. keepRichness
    "0\n0\n\n\n0 0 \n1\n"                                   // no partitions, AOC ones, whichLevelGrCST
    "0\n0\n\n\n\n1 1 1 1 \n0\n"                             // no OTU partitions, relSelect, doDistrib
    "0\n1\n2\n0\n1\n";                                      // adjacentRelOpt .. SMWSize

// The import of the aviurba survey (examples/README.md), ending the program.
inline const std::string kAviImport =
    "N\navi\n1\naviurba_B.txt\n0\naviurba_W.txt\n1\naviurba_spp.txt\n1\naviurba_E.txt\n40\n4\n"
    "2\n2\nk\n2 2 2 1\ny\n0\n51\n2\n1\n2\n11\n2\n5\nk\n1 1 1 1 1 1 1 1 1 1 4\ny\nn\nC\nX\n";

// A folder of its own for a test, under the temporary folder, removed with everything in it when
// the sandbox ends. A test whose process ends never ends its sandboxes: the child of a death test
// (the test program run again for the one statement that must end it) makes its own inside the
// folder of the first sandbox the parent has alive, named to it by the environment, and the
// parent removes them with its own.
class Sandbox {
public:
    Sandbox() {
        const char* host = std::getenv(kHost);
        const bool child = !GTEST_FLAG_GET(internal_run_death_test).empty();
        const std::filesystem::path base =
            child && host ? std::filesystem::path(host) : std::filesystem::temp_directory_path();
        std::string tmpl = (base / "tarnex-e2e-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        root_ = tmpl;
        std::filesystem::create_directory(Path(""));
        if (!child && !host) {
            setenv(kHost, root_.c_str(), 1);
            hosts_ = true;
        }
    }
    ~Sandbox() {
        if (hosts_) unsetenv(kHost);
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    std::filesystem::path Path(const std::string& name) const { return root_ / "run" / name; }
    std::string ReadFile(const std::string& name) const { return Slurp(Path(name)); }
    void WriteFile(const std::string& name, const std::string& text) const {
        std::ofstream f(Path(name), std::ios::binary);
        if (!(f << text)) throw std::runtime_error("cannot write " + name);
    }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Path(""))) names.insert(e.path().filename());
        return names;
    }
    void PrepareTinySession() const {
        WriteFile("s1Formda.txt", FiveOtus(false));
        WriteFile("s1Trk.txt", kShortTrack);
    }
    // Runs the program with `input` as its standard input, for at most two minutes.
    Result Run(const std::string& input) const {
        std::ofstream(root_ / "stdin.txt", std::ios::binary) << input;
        const std::string cmd = "cd '" + Path("").string() + "' && timeout -s KILL 120 '" TARNEX_BIN
                                "' <../stdin.txt >../stdout.txt 2>../stderr.txt";
        const int w = std::system(cmd.c_str());
        return {WIFEXITED(w) ? WEXITSTATUS(w) : -1, Slurp(root_ / "stdout.txt"), Slurp(root_ / "stderr.txt")};
    }

    // The variable that names the folder hosting the sandboxes of a death test's child.
    static constexpr const char* kHost = "TNXTEST_SANDBOX_HOST";

private:
    std::filesystem::path root_;
    bool hosts_ = false;  // this sandbox named its folder in the environment
};

// The session's settings, file names and result flags as they were when it was made, put back when
// it ends: a test that answers dialogs, runs handlers or sets these by hand leaves the next test
// the state it found. (The loaded data and its arrays are ResetDataSet's; the console's streams,
// CleanConsole's.)
class SessionSettingsKept {
public:
    SessionSettingsKept() {
        for (const Place& p : Places()) saved_.emplace_back(p.at, p.at + p.size);
    }
    ~SessionSettingsKept() {
        const std::vector<Place> places = Places();
        for (size_t k = 0; k < places.size(); k++) std::memcpy(places[k].at, saved_[k].data(), places[k].size);
    }
    SessionSettingsKept(const SessionSettingsKept&) = delete;
    SessionSettingsKept& operator=(const SessionSettingsKept&) = delete;

private:
    struct Place {
        char* at;
        size_t size;
    };
    template <class... T>
    static std::vector<Place> Of(T&... globals) {
        return {Place{reinterpret_cast<char*>(&globals), sizeof globals}...};
    }
    static std::vector<Place> Places() {
        std::vector<Place> all = Of(
            hasTraitGroups, ca_code, optEnvVarType, temEnvBin, temEnvQual, temEnvQuant, hasPhylogeny,
            phylogenyMatrixType, SMWSize, whichLevelGrCST, whichPartAOC, whichPartCstAOC, traitBasedOpt, poolCSTopt,
            clusMethPoolCSTs, reseCSTopt, fuzzy, fuzziness, fuzzyPhyl, part, opt_ro, rese_opt, reseCstOpt, whichObj,
            whichLevelCst, isHierarchical, niter, optRndTests, optRestrictPermutNullModel, optWeightedNullModel,
            seedOpt, rseed, optUnitTotalAdjust1, optUnitTotalAdjust2, optCoVariable, includePhylogeny, nTaxa,
            OTUsTypesAreSpecies, printDetail, printNRese, printReseFree, printPRese, printSpp, princont, print_indet,
            print_gindex, prindaMode, opt_struct, rankingAlgorithm, nMinCSTGroupsChRank, nMaxCSTGroupsChRank,
            nMinTraitsChRank, nMaxTraitsChRank, printRankIntermedResults, nCSTGroupsChRankRedundancy,
            redundancyMeth, rndTestOpt, optEnvStruct, cohe, groupDissMeth, empir_opt, keepRichness,
            keepReleveTotal, envVecTrOpt, clusMeth, reseTypeOrd, reseTypeClus, reseTypeEv, reseTypeRnd,
            reseTypeERank, doDistrib, adjacentRelOpt, chDependency, doMeanStOpt, nlev, isHierarchicalPref,
            scatterHSize, scatterVSize, scatterPointSize, profileHSize, profileVSize, profileType, drawProfPtsOpt,
            profilePointSize, treeHSize, treeVSize, sDigits, maxComponents, saveStruct, saveRndData, showMemory,
            countDoubleAbsence, sqrtDissimOpt_RaoTraits, sqrtDissimOpt_RaoPhyl, BealsIncludeOpt,
            overfitFactorPCARegr, twoTailedTestMantel, nProcessors, biplotCorrThreshold, emptyReleves);
        const std::vector<Place> names = Of(
            sessionShortName, sessionName, volumeName, tempName, tempSession, whichTrack, whichFormda,
            whichStructures, whichRndData, whichRnd, whichPrinda, whichHier, whichNRese, whichPRese, whichCstRese,
            whichScores, whichChorder, whichProbN, whichProbRo, whichRo, whichComplexity, whichVelocity,
            whichRoVelComplex, whichEnvPrinda, whichEnvRese, whichEnvScores, whichEnvRank, whichMulva, whichOrbald,
            whichRelReseNoDiag, whichReClus, whichCstClus, whichAOCScor, whichMacro, whichRun, hasHier, hasNRese,
            hasPRese, hasCstRese, hasScores, hasProbN, hasProbRo, hasRo, hasComplexity, hasVelocity, hasRoVelComplex,
            hasRoVelComplexPROB, hasEnvRese, hasEnvScores, hasEnvRank, hasReClus, hasCstClus, hasAOCScor,
            hasVegOrdiCorrel, hasEnvOrdiCorrel, hasCstScores, hasChorder, dirtyOrig, optmain1, optmain,
            partitionTrackWriter);
        const std::vector<Place> classical = Of(
            whichLevelRel, printOrdScores, printOrdCorrelations, roFrom, sqRoOpt, whichScale, minRoFix, maxRoFix,
            rangeHorFix, relPair, ndFrom, whichLevelHist, scoreOpt, whichAxis, plotType, whichSctLabels, whichEnv,
            whichChar, whichChState, whichCstGr, howEnv, whichGrScatter, connectPtScatterOpt);
        all.insert(all.end(), names.begin(), names.end());
        all.insert(all.end(), classical.begin(), classical.end());
        return all;
    }
    std::vector<std::vector<char>> saved_;
};

using Floats = std::vector<float>;
using Ints = std::vector<int>;
using Strings = std::vector<std::string>;

// The result flags of the session: hasHier, hasNRese, hasPRese, hasCstRese, hasScores, hasReClus, hasRo,
// hasProbN, hasProbRo, hasAOCScor, hasComplexity, hasVelocity, hasEnvRese, hasEnvScores, hasEnvRank,
// hasCstClus, hasRoVelComplex, hasRoVelComplexPROB.
inline Ints ResultFlags() {
    return {hasHier,    hasNRese,      hasPRese,    hasCstRese, hasScores,  hasReClus,    hasRo,
            hasProbN,   hasProbRo,     hasAOCScor,  hasComplexity, hasVelocity, hasEnvRese, hasEnvScores,
            hasEnvRank, hasCstClus,    hasRoVelComplex, hasRoVelComplexPROB};
}
// Their files: NRe, PRe, CRe, Sco, RCl, CCl, Ro, AOC, ERe, ESc, ERk.
inline Strings ResultNames() {
    return {whichNRese, whichPRese,   whichCstRese, whichScores,    whichReClus, whichCstClus,
            whichRo,    whichAOCScor, whichEnvRese, whichEnvScores, whichEnvRank};
}

// Runs each test in the fresh empty directory of a sandbox, which is removed afterwards; the data
// set loaded, the settings arrays and the session's settings are released or put back after it.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::current_path(box_.Path("")); }
    void TearDown() override {
        ReleaseSettingsArrays();  // a run's taxa and nesting groups, which the data set does not own
        ResetDataSet();
        std::filesystem::current_path(old_);
    }
    static std::string Read(const std::string& name) { return Slurp(name); }
    static void Write(const std::string& name, const std::string& text) { std::ofstream(name) << text; }
    static long Entries() { return std::distance(std::filesystem::directory_iterator("."), {}); }
    const SessionSettingsKept kept_;  // made first, so put back last (after TearDown)
    const std::filesystem::path old_ = std::filesystem::current_path();
    const Sandbox box_;
};

// The answers of Script() on `in`, what is written on `out` (Out()), standard error (Err(), once a test).
class ConsoleTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        out = outFile_ = std::fopen("console.txt", "w");
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
        TempDirTest::TearDown();
    }
    void Script(const std::string& answers) {
        if (inFile_) std::fclose(inFile_);
        Write("answers.txt", answers);
        in = inFile_ = std::fopen("answers.txt", "r");
    }
    std::string Out() {
        std::fflush(outFile_);
        return Read("console.txt");
    }
    std::string Err() {
        capturing_ = false;
        return testing::internal::GetCapturedStderr();
    }
    FILE* inFile_ = nullptr;
    FILE* outFile_ = nullptr;
    bool capturing_ = true;
};


// The error code that f raises while no file can grow beyond `bytes` bytes (SIGXFSZ ignored).
template <class F>
int CodeWithSmallFiles(F f, rlim_t bytes = 64) {
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    const struct rlimit small = {bytes, old.rlim_max};
    const auto handler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const int code = CodeOf(f);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, handler);
    return code;
}

// `text` with its first `from` replaced by `to` (a failure when there is none).
inline std::string Edit(std::string text, const std::string& from, const std::string& to) {
    const size_t p = text.find(from);
    EXPECT_NE(p, std::string::npos) << from;
    return p == std::string::npos ? text : text.replace(p, from.size(), to);
}

// A matrix row by row, or column by column.
template <class T>
std::vector<T> Get(T** m, int rows, int cols, bool byColumns = false) {
    std::vector<T> v;
    for (int a = 0; a < (byColumns ? cols : rows); a++)
        for (int b = 0; b < (byColumns ? rows : cols); b++) v.push_back(byColumns ? m[b][a] : m[a][b]);
    return v;
}

// Rows of characters as strings (up to their end, or of `width` characters).
inline Strings GetRows(char** rows, int n, int width = -1) {
    Strings v;
    for (int i = 0; i < n; i++) v.push_back(width < 0 ? std::string(rows[i]) : std::string(rows[i], width));
    return v;
}

// Loads the formatted data file `path` into the globals with the program's own loader.
inline void LoadFormda(const std::string& path) {
    std::snprintf(whichFormda, sizeof whichFormda, "%s", path.c_str());
    volumeName[0] = '\0';
    OpenFormda(1);
}

// Writes FiveOtus with its variables as "s1Formda.txt" and loads it.
inline void LoadFiveOtus(bool phylogeny = false) {
    std::ofstream("s1Formda.txt") << FiveOtus(true, phylogeny);
    LoadFormda("s1Formda.txt");
}

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
    "\nResemblance function option:\n\t6   Euclidean distance\n\t7   relative Euclidean distance\n"
    "\t8   absolute value function\n\t9   relative absolute value function\n\t10  chord distance\n"
    "Type option no.: ";
const std::string kTraits = "\nTraits in matrix B to be used in the analysis:\n   1  all traits \n"
                            "   2  select traits \nType option no.: ";
const std::string kStandardize =
    "\nStandardize community data matrix (matrix W) to unit total in each community? y/n ";
// The answers of K after the criterion: keyboard types, crisp, Mantel, Euclidean, all traits, sizes 1..1.
const std::string kKAnswers = "k\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n1\nn\n";

// The criterion menu of K: every criterion the data allow (with nominal traits neither 9 and 10 nor 12
// and 13); the smoothing criteria 18 to 23 need no more than W and B.
inline std::string CriterionMenu(bool env, bool phyl, bool nominal = false, const std::string& session = "s1") {
    std::string s = Header("CHARACTER RANKING SETTINGS", session) + "Trait ranking criterion maximized: \n";
    if (env) s += "   1 r(XE): TCAP and TDAP\n";
    if (env && !nominal) s += "   9 r(XE.T): TDAP only\n   10 r(TE): TCAP only\n";
    if (phyl)
        s += "   11  correlation of phylogenetically structured assembly patterns (PSAP) to both TCAP and "
             "TDAP = r(PX)\n";
    if (phyl && !nominal)
        s += "   12  correlation of PSAP to TDAP = r(PX.T)\n   13  correlation of PSAP to TCAP = r(PT)\n";
    if (env && phyl)
        s += "   14  beta niche conservation: ro(PT) * ro(TE)\n   15  alpha and beta niche conservation: "
             "ro(PX) * ro(XE)\n";
    if (env) s += "   16  alpha divergence: r(RE) \n   17  beta divergence: r(XE.TR)\n";
    s += "   18  congruence of X and the composition predicted by Lindqvar (2008) smoothing: r(XZ)\n"
         "   19  trait convergence: r(TZ)\n   20  trait divergence: r(XZ.T)\n"
         "   21  congruence of X and the composition predicted by Beals smoothing: r(XY)\n"
         "   22  trait convergence: r(TY)\n   23  trait divergence: r(XY.T)\n";
    if (env) s += "   24  dark diversity (sum of absolute differences between X and W) and E: r(SE)\n";
    s += "\n";
    if (env)
        s += "1. Correlation r(XE) between fuzzy weighted community composition based on OTU's trait "
             "similarities (X) and ecological variables (E) may reflect both trait convergence assembly "
             "patterns (TCAP) and trait divergence assembly patterns (TDAP).\n";
    if (env && !nominal)
        s += "9. Partial correlation r(XE.T) between X and E, removing T, reflects TDAP only.\n10. Correlation "
             "r(TE) between community weighted mean traits (T) and E reflects TCAP only.\n";
    if (phyl)
        s += "11. Correlation r(PX) between P (fuzzy weighted community composition based on OTU's "
             "phylogenetic similarities) and X reflects phylogenetic signal at the metacommunity level.\n";
    if (phyl && !nominal)
        s += "12. Partial correlation r(PX.T) between P and X, removing T reflects phylogenetic signal at the "
             "metacommunity level.\n13. Correlation r(PT) reflects phylogenetic signal at the metacommunity "
             "level.\n";
    if (env) s += "16. ro(RE) is a congruence between Rao entropy and E.\n";
    return s + "\nType option no.: ";
}

class DialogTest : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        Load();
        includePhylogeny = false;
        temEnvQual = opt_struct = rese_opt = whichObj = 0;
        optmain = 'H';
        optmain1 = 'V';
        std::strcpy(sessionName, "s1");
        std::strcpy(sessionShortName, "s1");
        std::strcpy(whichPrinda, "s1Prinda.txt");
        std::strcpy(whichTrack, "s1Trk.txt");
    }
    void TearDown() override {
        ReleaseSettingsArrays();
        ConsoleTest::TearDown();
    }
    // The data set (with a phylogeny when asked for), every community selected.
    static void Load(bool phylogeny = false) {
        LoadFiveOtus(phylogeny);
        for (int k = 0; k < ncsm; k++) relSelect[k] = 1;
    }
    // Runs f on the answers; true when every answer was read and nothing more.
    template <class F>
    bool Run(const std::string& answers, F f) {
        Script(answers + "END\n");
        f();
        char rest[8] = "";
        return std::fscanf(inFile_, "%7s", rest) == 1 && std::string(rest) == "END";
    }
};

}  // namespace tnxtest

#endif
