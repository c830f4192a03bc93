// Menu handlers of the classical analyses: each names the session files it writes, runs its
// settings dialog, loads what its analysis reads, runs it, records the session's result flags
// and reports. A handler's result files and the track file are put in place together, as one
// run's files (RunFilesScope), before anything reads them back. IFComplexity lives with the other
// analyses of community dynamics (TNXDynamics), IFRandomization with the randomisation tests
// (tnxRnd).
#include "classical/TNXIFCLASSIC.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "classical/TNXCLUST.h"
#include "classical/TNXDynamics.h"
#include "classical/TNXERANK.h"
#include "classical/TNXEVAL.h"
#include "classical/TNXINTERP.h"
#include "classical/TNXORDI.h"
#include "classical/TNXSeries.h"
#include "classical/TNXTABLE.h"
#include "classical/tnxGraph.h"
#include "foundation/ConsoleReaders.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "session/dialogs/TNXIFSET.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXMenu.h"
#include "session/model/TNXTRACK.h"
#include "traits/TNXHIERRESE.h"

namespace {

FILE* Out() { return out ? out : stdout; }

void Bell() {
    std::fputc(7, stdout);
    std::fflush(stdout);
}

void WaitUnlessMacro() {
    if (!runMacro) Wait();
}

// The end of an environmental analysis: "\n\nResults on file %s%s\n" and the wait.
void ResultsOnFile(const char* name) {
    ClearLine();
    std::fprintf(Out(), "\n\nResults on file %s%s\n", volumeName, name);
    WaitUnlessMacro();
}

// The levels of the stored community resemblances of `type`: one per trait, and the global
// matrix after them for the partial resemblances (type 2).
int StoredLevels(int type) { return std::max(nch, 1) + (type == 2 ? 1 : 0); }

// The stored resemblances while an analysis reads them: `levels` square matrices of `side` rows
// in rese (nlev = levels), released when the analysis ends (also when an error code travels
// through).
class ResemblanceCube {
public:
    ResemblanceCube(int levels, int side) : levels_(std::max(levels, 1)), side_(std::max(side, 1)) {
        nlev = levels_;
        rese = dim3Double(levels_, side_, side_);
    }
    ~ResemblanceCube() {
        free3D(rese, levels_, side_);
        rese = nullptr;
    }
    ResemblanceCube(const ResemblanceCube&) = delete;
    ResemblanceCube& operator=(const ResemblanceCube&) = delete;

private:
    int levels_, side_;
};

// A result file's name that stands only once its file is written: the former name comes back
// when the handler leaves without Keep (a refusal, or an error code travelling through).
class PendingName {
public:
    PendingName(char (&name)[kFileNameSize], const char* suffix) : name_(name) {
        std::memcpy(former_, name, sizeof former_);
        SessionFileName(name, suffix);
    }
    ~PendingName() {
        if (!kept_) std::memcpy(name_, former_, sizeof former_);
    }
    PendingName(const PendingName&) = delete;
    PendingName& operator=(const PendingName&) = delete;
    void Keep() { kept_ = true; }

private:
    char (&name_)[kFileNameSize];
    char former_[kFileNameSize];
    bool kept_ = false;
};

// A session file open for reading, closed when it goes out of scope; one that cannot be opened
// is code 4.
class SessionFile {
public:
    explicit SessionFile(const char* name) : name_(name), f_(fopenck(name, volumeName, "r")) {
        if (!f_) RaiseError(TNX_FAIL_TO_OPEN);
    }
    ~SessionFile() { std::fclose(f_); }
    SessionFile(const SessionFile&) = delete;
    SessionFile& operator=(const SessionFile&) = delete;
    FILE* get() const { return f_; }
    const char* name() const { return name_; }
    int Int() const { return ReadIntStrict(f_, name_); }
    double Double() const { return ReadDoubleStrict(f_, name_); }
    // True when only blanks are left.
    bool AtEnd() const {
        int c;
        while ((c = std::fgetc(f_)) != EOF && std::isspace(c)) {}
        if (c == EOF) return true;
        std::ungetc(c, f_);
        return false;
    }
    // A value the ranking wrote: a number, or the word "undefined" (NaN); anything else is code 2.
    double ValueOrUndefined() const {
        char word[64];
        freadckString(f_, word, sizeof word, name_);
        if (std::strcmp(word, "undefined") == 0) return std::nan("");
        char* end = nullptr;
        errno = 0;
        const double v = std::strtod(word, &end);
        if (end == word || *end != '\0' || errno != 0) Corrupt();
        return v;
    }
    [[noreturn]] void Corrupt() const {
        std::fprintf(stderr, "\nfile %s ", name_);
        RaiseError(TNX_END_OF_FILE);
    }

private:
    const char* name_;
    FILE* f_;
};

// m (n x n) = the upper triangle with its diagonal of the file, row by row, mirrored.
void ReadTriangle(const char* name, int n, double** m) {
    SessionFile file(name);
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) m[i][j] = m[j][i] = file.Double();
}

// The session's data that rebuilding the trait hierarchy changes in place (performances pooled
// and partitioned, traits reordered, the types of each OTU): kept before a resemblance and put
// back after it, byte for byte, so that what follows starts from the data as loaded.
class LoadedData {
public:
    LoadedData() {
        for (int o = 0; cadat && o < tcst; o++) cadat_.emplace_back(cadat[o], cadat[o] + ncsm);
        for (int o = 0; csm && o < tcst; o++) csm_.emplace_back(csm[o], csm[o] + 2 * nch + 1);
        for (int l = 0; cstTrack && l < nch; l++) track_.emplace_back(cstTrack[l], cstTrack[l] + tcst);
        Keep(onsta_, onsta);
        Keep(chtype_, chtype);
        Keep(nchor_, nchor);
        Keep(chrange_, chrange);
        Keep(weight_, weight);
    }
    void Restore() const {
        Rows(cadat_, cadat);
        Rows(csm_, csm);
        Rows(track_, cstTrack);
        Back(onsta_, onsta);
        Back(chtype_, chtype);
        Back(nchor_, nchor);
        Back(chrange_, chrange);
        Back(weight_, weight);
    }

private:
    template <class T>
    static void Keep(std::vector<T>& v, const T* p) {
        if (p) v.assign(p, p + nch);
    }
    template <class T>
    static void Back(const std::vector<T>& v, T* p) {
        if (p) std::copy(v.begin(), v.end(), p);
    }
    template <class T>
    static void Rows(const std::vector<std::vector<T>>& kept, T** rows) {
        for (size_t r = 0; rows && r < kept.size(); r++) std::copy(kept[r].begin(), kept[r].end(), rows[r]);
    }
    std::vector<std::vector<float>> cadat_;
    std::vector<std::vector<char>> csm_;
    std::vector<std::vector<int>> track_;
    std::vector<int> onsta_, chtype_, nchor_;
    std::vector<float> chrange_, weight_;
};

// The randomisation test `kind` (1 pairwise resemblances, 3 Mantel test of the evaluation);
// rndTestOpt is 0 again afterwards, also when an error code travels through.
void RunRandomization(int kind) {
    struct Reset {
        ~Reset() { rndTestOpt = 0; }
    } reset;
    rndTestOpt = kind;
    IFRandomization();
}

// A flag that is on only while its file can be read (StoredResult): a session file that is gone
// is not offered to the dialog the guard surrounds. The flag comes back when the guard ends.
class FlagWhileReadable {
public:
    FlagWhileReadable(int& flag, const char* name) : flag_(flag), former_(flag) {
        if (!StoredResult(flag, name)) flag_ = 0;
    }
    ~FlagWhileReadable() { flag_ = former_; }
    FlagWhileReadable(const FlagWhileReadable&) = delete;
    FlagWhileReadable& operator=(const FlagWhileReadable&) = delete;

private:
    int& flag_;
    int former_;
};

const char kTypesTable[] = "table of types";

// The resemblance of the types of level whichLevelCst.
void TypeResemblance() {
    PendingName name(whichCstRese, CstReseExt);
    ResemblanceCst();
    name.Keep();
    hasCstRese = 1;
    // Clusters of the former resemblance of types no longer hold.
    hasCstClus = 0;
    std::snprintf(whichCstClus, sizeof whichCstClus, "NULL");
}

// The resemblance of the communities; the session's data are back as loaded afterwards.
void CommunityResemblance() {
    PendingName nominal(whichNRese, nReseExt), partial(whichPRese, pReseExt);
    // What was computed from the former resemblance no longer holds.
    hasScores = hasReClus = hasProbN = hasProbRo = hasVelocity = hasRoVelComplex = hasRoVelComplexPROB = 0;
    if (cohe != 6) hasRo = 0;
    cohe = 0;
    doDistrib = 0;
    adjacentRelOpt = 1;
    reseTypeOrd = reseTypeClus = reseTypeEv = reseTypeRnd = reseTypeERank = 1;
    dirtyOrig = 1;
    // The parts between levels exist only for crisp monothetic types of a hierarchy.
    const bool partials = isHierarchical == 1 && fuzzy == 0 && poolCSTopt == 1;
    const LoadedData loaded;
    if (isHierarchical == 1)
        Resemblance();
    else
        ResemblanceNonHier();
    loaded.Restore();
    nominal.Keep();
    partial.Keep();
    hasNRese = 1;
    hasPRese = partials ? 1 : 0;
    if (!partials) std::snprintf(whichPRese, sizeof whichPRese, "NULL");
}

// The values of a values file (one per level, at least one, at most `most`).
std::vector<double> ReadLevelValues(const char* name, int most) {
    SessionFile file(name);
    std::vector<double> v;
    while (static_cast<int>(v.size()) < most && !file.AtEnd()) v.push_back(file.Double());
    if (v.empty()) file.Corrupt();
    return v;
}

// True when the session holds the file that profile source `source` reads, readable.
bool ProfileSourceStored(int source) {
    switch (source) {
        case 1: return StoredResult(hasRo, whichRo);
        case 2: return StoredResult(hasProbRo, whichProbRo);
        case 3:
        case 6: return StoredResult(hasNRese, whichNRese);
        case 4:
        case 7: return StoredResult(hasPRese, whichPRese);
        case 5:
        case 8: return StoredResult(hasProbN, whichProbN);
        case 10: return StoredResult(hasEnvRank, whichEnvRank);
        default: return false;
    }
}

// The values of the ranking file "ERk.txt" of the level the user chooses among those it holds;
// *source becomes 10, or 10 + the level when the file holds two levels or more.
std::vector<double> ReadRankingProfile(int* source) {
    SessionFile file(whichEnvRank);
    const int levels = file.Int();
    if (levels < 1 || levels > std::max(nch + 1, 1)) file.Corrupt();
    int level = 1;
    if (levels >= 2) {
        level = levels;
        SettingsEnvProfile(&level);
    }
    for (int k = 0; k < (level - 1) * nenv; k++) file.ValueOrUndefined();
    std::vector<double> v(static_cast<size_t>(std::max(nenv, 0)));
    for (double& x : v) x = file.ValueOrUndefined();
    *source = levels >= 2 ? 10 + level : 10;
    return v;
}

// The resemblances that profile sources 3 to 8 show: the pair relPair at every level (3-5), or
// each community with the one SMWSize further at level whichLevelRel (6-8).
std::vector<double> ReadResemblanceProfile(int source) {
    const int type = (source - 3) % 3 + 1;
    ResemblanceCube cube(StoredLevels(type), ncsm);
    ReadResemblance(type, false);
    const int levels = ReseLevels();
    std::vector<double> v;
    if (source <= 5) {
        for (int l = 0; l < levels; l++) v.push_back(rese[l][relPair[0]][relPair[1]]);
        return v;
    }
    const int level = std::min(std::max(whichLevelRel, 1), levels);
    const int lag = std::max(SMWSize, 1);
    for (int i = 0; i + lag < ncsm; i++) v.push_back(rese[level - 1][i][i + lag]);
    return v;
}

// Scores of a scattergram: per level and axis a row of the points (communities, or groups of the
// concentration analysis) followed by room for the descriptors of a biplot.
struct ScatterScores {
    std::vector<int> axes;
    std::vector<std::vector<std::vector<double>>> cells;  // [level][axis][point]
    void AddLevel(int nAxes, int width) {
        axes.push_back(nAxes);
        cells.emplace_back(static_cast<size_t>(std::max(nAxes, 1)), std::vector<double>(static_cast<size_t>(width), 0.0));
    }
};

// The width of a scattergram row: the points and every descriptor a biplot may place.
int ScatterWidth(int points) {
    int descriptors = std::max(nenv, 0);
    for (int l = 0; rcst && l < nch; l++) descriptors = std::max(descriptors, rcst[l]);
    return points + descriptors;
}

// A scores file of one level whose every axis holds `points` values: the axis count, then the
// axes ("ESc.txt", ".AOC").
ScatterScores ReadAxesFile(const char* name, int points) {
    SessionFile file(name);
    const int nAxes = file.Int();
    if (nAxes < 0 || nAxes > std::max(points, 1)) file.Corrupt();
    EnsureInFile(file.get(), static_cast<long long>(nAxes) * points, name);
    ScatterScores s;
    s.AddLevel(nAxes, ScatterWidth(points));
    for (int a = 0; a < nAxes; a++)
        for (int i = 0; i < points; i++) s.cells[0][a][i] = file.Double();
    return s;
}

// The community scores file through its reader, the stored correlations after the communities.
ScatterScores ReadCommunityScores() {
    const OrdinationScores read;
    ScatterScores s;
    for (int l = 0; l < read.Levels(); l++) {
        s.AddLevel(read.Axes(l), ScatterWidth(ncsm));
        for (int a = 0; a < read.Axes(l); a++) {
            for (int c = 0; c < ncsm; c++) s.cells[l][a][c] = read.Level(l)[c][a];
            for (int d = 0; d < StoredCorrelations(l); d++) s.cells[l][a][ncsm + d] = read.Correlations(l)[a][d];
        }
    }
    return s;
}

// The number of groups of stored partition k of a family, 0 without it.
int StoredGroups(const int* counts, int k) { return counts && k >= 0 && k < kMaxPartitions ? counts[k] : 0; }

}  // namespace

void IFDynamics() {
    for (;;) {
        // Each line only while the files its analysis reads can be read: the table of types,
        // the community resemblances, the complexity and velocity files.
        const bool hierarchy = StoredResult(hasHier, whichHier);
        const bool velocity = StoredResult(hasNRese, whichNRese) && nenv > 0;
        const bool complexity = StoredResult(hasComplexity, whichComplexity);
        const bool change = StoredResult(hasVelocity, whichVelocity);
        const bool correlation = complexity && change;
        const bool profile = complexity || change;
        Menu("ANALYSIS OF COMMUNITY DYNAMICS");
        std::fprintf(Out(), "Options:\n");
        if (hierarchy) std::fprintf(Out(), "   J  diversity and complexity\n");
        if (velocity) std::fprintf(Out(), "   V  velocity of community change\n");
        if (correlation) std::fprintf(Out(), "   R  correlation between complexity and velocity of change\n");
        if (profile) std::fprintf(Out(), "   P  draw profile\n");
        if (hierarchy) {
            std::fprintf(Out(), "   M  Markov fitting\n");
            std::fprintf(Out(), "   I  data interpolation\n");
        }
        std::fprintf(Out(), "   C  return to analysis of community structures main options\n");
        std::fprintf(Out(), "Type option: ");
        // A letter whose line is not shown does nothing: the menu comes again.
        switch (std::toupper(ReadCharIn("J V R P M I C"))) {
            case 'J':
                if (hierarchy) IFComplexity();
                break;
            case 'V':
                if (velocity) IFVelocity();
                break;
            case 'R':
                if (correlation) IFComplexityVelocity();
                break;
            case 'P':
                if (profile) {
                    // The profile offers a series by its flag: one whose file is gone is not offered.
                    const FlagWhileReadable c(hasComplexity, whichComplexity), v(hasVelocity, whichVelocity),
                        r(hasRoVelComplex, whichRoVelComplex), p(hasRoVelComplexPROB, whichRoVelComplex);
                    IFProfileDynamics();
                }
                break;
            case 'M':
                if (hierarchy) Markov();
                break;
            case 'I':
                if (hierarchy) IFInterpolation();
                break;
            case 'C': return;
            default: break;
        }
    }
}

void IFResemblance() {
    // Every resemblance starts from the table of types.
    if (!StoredOrRefused(whichHier, kTypesTable)) return;
    Menu("RESEMBLANCE SETTINGS");
    const int formerObject = whichObj;
    SettingWhichObj("Resemblance");
    if (whichObj == 'c' && fuzzy == 2) {
        std::fprintf(Out(), "\n\nResemblance of PFTs not available when fuzzy adjustment is pairwise\n");
        Bell();
        whichObj = formerObject;
        return;
    }
    // Only the hierarchical resemblance of communities rebuilds the hierarchy from the trait
    // codes; the others read the table of types alone, whatever the traits' values.
    if (whichObj == 'r' && isHierarchical == 1 && !TraitCodesAvailable()) {
        whichObj = formerObject;
        WaitUnlessMacro();
        return;
    }
    SessionFileName(whichPrinda, prindaExt);
    SettingsRese();
    // The resemblance's files and the track file change together, before the randomisation
    // reads them.
    RunFilesScope run;
    if (whichObj == 'c') {
        TypeResemblance();
        WriteTrack(1);
        run.CommitOrRaise();
        ResultsAppended(whichPrinda);
        return;
    }
    CommunityResemblance();
    WriteTrack(1);
    run.CommitOrRaise();
    ResultsAppended(whichPrinda);

    // Cross products have no null distribution to compare with.
    if (rese_opt == 3 || rese_opt == 4) return;
    std::fprintf(Out(), "Generate probabilities by randomization for pairwise resemblances? y/n  ");
    if (ReadCharIn("y n") != 'y') return;
    if (poolCSTopt == 2) {
        std::fprintf(Out(), "Option available only under monothetic pooling criterion of types.");
        return;
    }
    // The randomisation rebuilds the random data sets from the trait codes.
    if (!TraitCodesAvailable()) return;
    RunRandomization(1);
}

void IFOrdination() {
    SessionFileName(whichPrinda, prindaExt);
    Menu("ORDINATION SETTINGS");
    SettingsVegOrdination(&reseTypeOrd);
    SettingsOrdOutput("PFTs");
    if (!StoredResemblancesOrRefused(reseTypeOrd)) return;
    // The correlations with the types read the table of types.
    if (fuzzy != 2 && printOrdCorrelations == 'y' && !StoredOrRefused(whichHier, kTypesTable)) return;
    // The congruence of the former axes with the environment no longer holds.
    if (cohe == 2) {
        std::snprintf(whichRo, sizeof whichRo, "NULL");
        hasRo = 0;
    }
    PendingName name(whichScores, scoresExt);
    RunFilesScope run;
    {
        ResemblanceCube cube(StoredLevels(reseTypeOrd), ncsm + 1);
        ReadResemblance(reseTypeOrd, false);
        Ordination();
    }
    name.Keep();
    hasScores = 1;
    WriteTrack(1);
    run.CommitOrRaise();
    ResultsAppended(whichPrinda);
}

void IFCluster() {
    SessionFileName(whichPrinda, prindaExt);
    // The fusions go to the partition file under the cluster letter only.
    optmain = 'U';
    SettingsVegCluster();
    const bool types = whichObj == 'c';
    if (types ? hasCstRese != 1 : hasNRese != 1) {
        WaitUnlessMacro();
        return;
    }
    if (types ? !StoredOrRefused(whichCstRese, "resemblance of PFTs") : !StoredResemblancesOrRefused(reseTypeClus)) return;
    RunFilesScope run;
    if (types) {
        // A level loaded for the types is stored where the clustering reads it.
        const int level = std::max(1, whichLevelCst);
        const int n = level <= nch && rcst ? rcst[level - 1] : 0;
        if (n < 1) {
            Refuse("\nThe resemblance of PFTs does not belong to a level of this session.\n");
            return;
        }
        PendingName name(whichCstClus, cstClusExt);
        {
            ResemblanceCube cube(level, n);
            ReadTriangle(whichCstRese, n, rese[level - 1]);
            Cluster();
        }
        name.Keep();
        hasCstClus = 1;
    } else {
        PendingName name(whichReClus, reClusExt);
        {
            ResemblanceCube cube(StoredLevels(reseTypeClus), ncsm + 1);
            ReadResemblance(reseTypeClus, false);
            Cluster();
        }
        name.Keep();
        hasReClus = 1;
    }
    WriteTrack(1);
    run.CommitOrRaise();
    ResultsAppended(whichPrinda);
}

void IFEvaluation() {
    SessionFileName(whichPrinda, prindaExt);
    SettingsEvaluation();
    // What the function chosen reads: the ordination scores (2, 5), the table of types (6), or
    // the stored community resemblances of the type chosen.
    if (cohe == 2 || cohe == 5) {
        if (!StoredOrRefused(whichScores, "ordination scores")) return;
    } else if (cohe == 6) {
        if (!StoredOrRefused(whichHier, kTypesTable)) return;
    } else if (!StoredResemblancesOrRefused(reseTypeEv)) {
        return;
    }
    const int formerProbRo = hasProbRo;
    if (cohe != 2 && cohe != 5) hasProbRo = 0;
    // The evaluation names the values file when it writes it; a run that writes none leaves the
    // session's former values (or, for an undefined value, none).
    char formerRo[kFileNameSize];
    std::memcpy(formerRo, whichRo, sizeof formerRo);
    std::snprintf(whichRo, sizeof whichRo, "NULL");
    bool reported = false;
    RunFilesScope run;
    {
        ResemblanceCube cube(StoredLevels(reseTypeEv), ncsm + 1);
        if (cohe != 2 && cohe != 5 && cohe != 6) ReadResemblance(reseTypeEv, false);
        reported = Evaluation();
    }
    if (!reported) {
        // Refused (it said why): no section, no values, and nothing of the session changed.
        hasProbRo = formerProbRo;
        std::memcpy(whichRo, formerRo, sizeof formerRo);
        return;
    }
    if (std::strcmp(whichRo, "NULL") != 0)
        hasRo = 1;
    else if (hasRo == 1)
        std::memcpy(whichRo, formerRo, sizeof formerRo);
    dirtyOrig = 1;
    WriteTrack(1);
    run.CommitOrRaise();
    ResultsAppended(whichPrinda);
    if (cohe != 1) return;
    std::fprintf(Out(), "Generate probabilities by randomization (Mantel test)? y/n  ");
    if (ReadCharIn("y n") == 'y') RunRandomization(3);
}

void IFProfile() {
    int source = 10;
    if (optmain1 == 'E') {
        roFrom = 10;
    } else {
        SettingsProfile();
        source = roFrom;
    }
    if (!ProfileSourceStored(source)) {
        Refuse("\nThis session holds no results of the profile's source.\n");
        return;
    }
    std::vector<double> values;
    switch (source) {
        case 1: values = ReadLevelValues(whichRo, std::max(nch + 1, 1)); break;
        case 2: values = ReadLevelValues(whichProbRo, std::max(nch + 1, 1)); break;
        case 10: values = ReadRankingProfile(&source); break;
        default: values = ReadResemblanceProfile(source); break;
    }
    // The graph is not drawn: its caption is what a drawing would carry.
    ProfilePrelim(static_cast<int>(values.size()), values.data(), source, whichScale == 1 ? 1 : 0, reLabel);
}

void IFScatter() {
    const bool environmental = optmain1 == 'E';
    if (!environmental) {
        const FlagWhileReadable scores(hasScores, whichScores), concentration(hasAOCScor, whichAOCScor);
        SettingsWhichScatter();
        if (scoreOpt == 0) {
            Refuse("\nThis session holds no scores to plot.\n");
            return;
        }
    } else if (!StoredOrRefused(whichEnvScores, "environmental scores")) {
        return;
    }
    SettingsScatter();
    ScatterScores s;
    if (environmental) {
        s = ReadAxesFile(whichEnvScores, ncsm + nenv);
    } else if (scoreOpt == 2) {
        const int points = StoredGroups(nGroupsP, whichPartAOC) + StoredGroups(nGroupsCstP, whichPartCstAOC);
        s = ReadAxesFile(whichAOCScor, points);
        // The points are the groups of the concentration analysis.
        whichSctLabels = 6;
    } else {
        s = ReadCommunityScores();
    }
    // One level of environmental or concentration scores; the levels chosen of the community ones.
    const bool oneLevel = environmental || scoreOpt == 2;
    auto plotted = [&](int l) { return oneLevel ? l == 0 : whichLevel && l < nch && whichLevel[l] == 1; };
    const int levelCount = static_cast<int>(s.axes.size());
    for (int l = 0; l < levelCount; l++) {
        if (!plotted(l)) continue;
        if (whichAxis[0] >= s.axes[l] || whichAxis[1] >= s.axes[l]) {
            Refuse("\nThe scores hold fewer components than the scattergram asks for.\n");
            return;
        }
    }
    std::vector<std::vector<double*>> rows(s.cells.size());
    std::vector<double**> levels;
    for (size_t l = 0; l < s.cells.size(); l++) {
        for (auto& axis : s.cells[l]) rows[l].push_back(axis.data());
        levels.push_back(rows[l].data());
    }
    // The graphs are not drawn: their points and captions are what a drawing would show.
    for (int l = 0; l < levelCount; l++)
        if (plotted(l)) ScatterPrelim(l + 1, levels.data());
}

void IFHistogram() {
    SessionFileName(whichRnd, rndExt);
    if (!StoredOrRefused(whichRnd, "null distributions")) return;
    SettingsHistogram();
    const int level = std::max(whichLevelHist, 1);
    int record = level - 1;
    if (ndFrom == 3) {
        const int a = std::min(relPair[0], relPair[1]), b = std::max(relPair[0], relPair[1]);
        if (a == b) {
            Refuse("\nA community has no null distribution of its resemblance to itself.\n");
            return;
        }
        const int pairs = ncsm * (ncsm - 1) / 2;
        record = (level - 1) * pairs + a * ncsm - a * (a + 1) / 2 + (b - a - 1);
    } else if (ndFrom == 2) {
        Refuse("\nThe null distributions of the pairwise group comparisons are not stored.\n");
        return;
    }
    SessionFile file(whichRnd);
    const int classes = file.Int();
    if (classes < 1 || classes > 1000) file.Corrupt();
    // Each distribution: the frequencies, then the class limits, the observed value, its
    // probability, the mean and the standard deviation.
    std::vector<int> counts(static_cast<size_t>(classes));
    std::vector<double> stats(static_cast<size_t>(classes) + 4);
    for (int r = 0; r <= record; r++) {
        for (int& c : counts) c = file.Int();
        for (double& x : stats) x = file.Double();
    }
    HistogramPrelim(std::max(nch - level + 1, 1), level, classes, counts.data(), stats.data(), ndFrom);
}

void IFStructTable() {
    // The table is built from the trait codes: without them nothing is written.
    if (!TraitCodesAvailable()) {
        WaitUnlessMacro();
        return;
    }
    SessionFileName(whichPrinda, prindaExt);
    SettingsTable();
    StructTable();
    dirtyOrig = 1;
    ClearLine();
    std::fprintf(Out(), "\n\nTable appended to file %s\n", whichPrinda);
    WaitUnlessMacro();
}

void IFConcentrationAn() {
    if (!StoredOrRefused(whichHier, kTypesTable)) return;
    SessionFileName(whichPrinda, prindaExt);
    PendingName name(whichAOCScor, aocExt);
    SettingsTable();
    // The analysis needs a partition of each kind; without one it says so and writes nothing.
    const bool partitions = nGroups >= 1 && nCstGroups >= 1 && groupRel && groupCst;
    RunFilesScope run;
    ConcentrationAn();
    dirtyOrig = 1;
    if (!partitions) {
        WaitUnlessMacro();
        return;
    }
    name.Keep();
    hasAOCScor = 1;
    WriteTrack(1);
    run.CommitOrRaise();
    ResultsAppended(whichPrinda);
}

void ExportData(int format, int level) {
    if ((format == 1 || format == 2) && !StoredOrRefused(whichHier, kTypesTable)) return;
    if (format == 4 && !StoredOrRefused(whichNRese, "community resemblances")) return;
    switch (format) {
        case 1:
            PrintOrbaldFormat(level);
            std::fprintf(Out(), "\n\nExported data on file %s\n", whichOrbald);
            return;
        case 2:
            PrintMulvaFormat(level);
            std::fprintf(Out(), "\n\nExported data on file %s\n", whichMulva);
            return;
        case 4: {
            ResemblanceCube cube(std::max(nch, 1), ncsm);
            ReadResemblance(1, false);
            // Levels count from 1.
            const int stored = ReseLevels();
            PrintReseRowFormat(rese[std::min(std::max(level, 1), stored) - 1], level);
            std::fprintf(Out(), "\n\nExported resemblance matrix on file %s (upper half in one row, no diagonal) \n",
                         whichRelReseNoDiag);
            return;
        }
        default: return;
    }
}

void IFExportData() {
    if (fuzzy == 2) {
        std::fprintf(Out(), "\n\n\bFuzzy adjustment is not global. Exporting data is not possible.\n");
        return;
    }
    // Both formats the dialog offers export a level of the table of types.
    if (!StoredOrRefused(whichHier, kTypesTable)) return;
    int format = 0, level = 1;
    SettingsExportData(&format);
    SettingWhichLevel(&level);
    ExportData(format, level);
}

void IFEnvRese() {
    if (nenv < 1 || !env) {
        Refuse("\nThe session holds no environmental variables.\n");
        return;
    }
    SessionFileName(whichEnvPrinda, ePrindaExt);
    PendingName name(whichEnvRese, eReseExt);
    RunFilesScope run;
    {
        ResemblanceCube cube(1, ncsm);
        SettingsEnvRese();
        EnvRese();
    }
    name.Keep();
    hasEnvRese = 1;
    // The scores of the former resemblance no longer hold.
    hasEnvScores = 0;
    WriteTrack(1);
    run.CommitOrRaise();
    ResultsOnFile(whichEnvPrinda);
}

void IFEnvOrdination() {
    if (!StoredOrRefused(whichEnvRese, "environmental resemblance")) return;
    SessionFileName(whichEnvPrinda, ePrindaExt);
    PendingName name(whichEnvScores, eScoresExt);
    RunFilesScope run;
    {
        ResemblanceCube cube(1, ncsm + 1);
        ReadTriangle(whichEnvRese, ncsm, rese[0]);
        SettingsOrdOutput("variables");
        OrdinationEnv();
    }
    name.Keep();
    hasEnvScores = 1;
    WriteTrack(1);
    run.CommitOrRaise();
    ResultsOnFile(whichEnvPrinda);
}

void IFEnvCluster() {
    if (!StoredOrRefused(whichEnvRese, "environmental resemblance")) return;
    SessionFileName(whichEnvPrinda, ePrindaExt);
    {
        ResemblanceCube cube(1, ncsm);
        ReadTriangle(whichEnvRese, ncsm, rese[0]);
        SettingsEnvCluster();
        EnvCluster();
    }
    ResultsOnFile(whichEnvPrinda);
}

void IFEnvRank() {
    PendingName name(whichEnvRank, eRankExt);
    SettingsEnvRank();
    // Criterion 2 reads the stored community resemblances of the type chosen, 4 the scores.
    if (optEnvStruct == 2 && !StoredResemblancesOrRefused(reseTypeERank)) return;
    if (optEnvStruct == 4 && !StoredOrRefused(whichScores, "ordination scores")) return;
    printOrdScores = 'y';
    RunFilesScope run;
    {
        // Criterion 2 ranks against the stored resemblances, criterion 4 against the axes.
        ResemblanceCube cube(optEnvStruct == 2 ? StoredLevels(reseTypeERank) : 1, ncsm);
        if (optEnvStruct == 2) ReadResemblance(reseTypeERank, false);
        std::vector<int> available(static_cast<size_t>(std::max(nch + 1, 1)), 0), chosen(available.size(), 0);
        std::vector<std::vector<std::vector<float>>> cells;
        std::vector<std::vector<float*>> rows;
        std::vector<float**> scores;
        if (optEnvStruct == 4) {
            const OrdinationScores read;
            const int levels = std::min(read.Levels(), static_cast<int>(available.size()));
            cells.resize(levels);
            rows.resize(levels);
            for (int l = 0; l < levels; l++) {
                available[l] = read.Axes(l);
                cells[l].assign(ncsm, std::vector<float>(static_cast<size_t>(std::max(read.Axes(l), 1)), 0.0f));
                for (int c = 0; c < ncsm; c++) {
                    for (int a = 0; a < read.Axes(l); a++) cells[l][c][a] = static_cast<float>(read.Level(l)[c][a]);
                    rows[l].push_back(cells[l][c].data());
                }
                scores.push_back(rows[l].data());
            }
            SettingsCoherence(available.data(), chosen.data());
        }
        EnvRank(chosen.data(), scores.empty() ? nullptr : scores.data());
    }
    name.Keep();
    hasEnvRank = 1;
    WriteTrack(1);
    run.CommitOrRaise();
    dirtyOrig = 1;
    ResultsOnFile(whichEnvRank);
}
