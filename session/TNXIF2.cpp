// Preferences file and dialog.
#include "session/TNXIF2.h"

#include <cctype>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/ConsoleReaders.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "session/TNXIF.h"
#include "session/model/TNXTRACK.h"

namespace {

// Reads the items of the preferences file one word at a time.
class PrefReader {
public:
    explicit PrefReader(FILE* f) : f_(f) {}

    [[noreturn]] void Fail() const {
        std::fprintf(stderr, "\nfile %s ", TARNEXPrefsName);
        std::fputc('\a', stdout);
        std::fflush(stdout);
        RaiseError(TNX_END_OF_FILE);
    }

    // False when the file has no word left.
    bool Word(char (&buf)[64]) { return std::fscanf(f_, "%63s", buf) == 1; }

    // A whole number; a value outside lo..hi gives the default.
    int Int(int lo, int hi, int def) {
        char buf[64];
        if (!Word(buf)) Fail();
        char* end = nullptr;
        errno = 0;
        long v = std::strtol(buf, &end, 10);
        if (end == buf || *end != '\0') Fail();
        if (errno != 0 || v < lo || v > hi) return def;
        return static_cast<int>(v);
    }

    // A real number; a value outside lo..hi (or not finite) gives the default.
    double Real(double lo, double hi, double def) {
        char buf[64];
        if (!Word(buf)) Fail();
        char* end = nullptr;
        double v = std::strtod(buf, &end);
        if (end == buf || *end != '\0') Fail();
        if (!std::isfinite(v) || v < lo || v > hi) return def;
        return v;
    }

    // A y/n letter; anything else gives the default.
    char YesNo(char def) {
        char buf[64];
        if (!Word(buf)) Fail();
        const int c = std::tolower(static_cast<unsigned char>(buf[0]));
        if (buf[1] != '\0' || (c != 'y' && c != 'n')) return def;
        return static_cast<char>(c);
    }

private:
    FILE* f_;
};

struct FileGuard {
    FILE* f;
    ~FileGuard() {
        if (f) std::fclose(f);
    }
};

constexpr float kFloatMax = FLT_MAX;

// A y/n answer of the dialog as 0 (n) or 1 (y).
int YesNoIn() { return ReadCharIn("y n") == 'y' ? 1 : 0; }

}  // namespace

void ReadPreferences() {
    int reason = 0;
    FILE* f = OpenRegular(TARNEXPrefsName, "r", &reason);
    if (!f) {
        // A missing file is the first start; any other reason (a folder, a named pipe, no right to
        // read) is named, and the defaults stay.
        if (reason != ENOENT) ReportCantOpen(TARNEXPrefsName, reason);
        return;
    }
    FileGuard guard{f};
    PrefReader r(f);
    char word[64];
    if (!r.Word(word) || std::strcmp(word, versionPref) != 0) return;

    isHierarchicalPref = r.Int(0, 1, 0);
    scatterHSize = static_cast<float>(r.Real(0.0, kFloatMax, 0.0));
    scatterVSize = static_cast<float>(r.Real(0.0, kFloatMax, 0.0));
    scatterPointSize = r.Int(0, INT_MAX, 0);
    profileHSize = static_cast<float>(r.Real(0.0, kFloatMax, 0.0));
    profileVSize = static_cast<float>(r.Real(0.0, kFloatMax, 0.0));
    profileType = r.Int(1, INT_MAX, 1);
    drawProfPtsOpt = r.YesNo('n');
    profilePointSize = r.Int(0, INT_MAX, 0);
    treeHSize = static_cast<float>(r.Real(0.0, kFloatMax, 0.0));
    treeVSize = static_cast<float>(r.Real(0.0, kFloatMax, 0.0));
    sDigits = r.Int(1, INT_MAX, 6);
    maxColsPrint = r.Int(1, INT_MAX, INT_MAX);
    maxComponents = r.Int(1, INT_MAX, 6);
    saveStruct = r.YesNo('n');
    saveRndData = r.YesNo('n');
    showMemory = r.YesNo('n');
    countDoubleAbsence = r.Int(0, 1, 1);
    sqrtDissimOpt_RaoTraits = r.Int(0, 1, 1);
    sqrtDissimOpt_RaoPhyl = r.Int(0, 1, 0);
    BealsIncludeOpt = r.Int(0, 1, 1);
    overfitFactorPCARegr = r.Real(1.0, kFloatMax, 2.0);
    twoTailedTestMantel = r.Int(0, 1, 1);
    nProcessors = r.Int(0, INT_MAX, 0);
}

int WritePreferences() {
    ReplacingWriter w(TARNEXPrefsName);
    FILE* f = w.Open();
    if (!f) return 1;  // the opener's message stands; the values stay in memory
    std::fprintf(f, "%s\n", versionPref);
    std::fprintf(f, "%d\n", isHierarchicalPref);
    std::fprintf(f, "%f\n", scatterHSize);
    std::fprintf(f, "%f\n", scatterVSize);
    std::fprintf(f, "%d\n", scatterPointSize);
    std::fprintf(f, "%f\n", profileHSize);
    std::fprintf(f, "%f\n", profileVSize);
    std::fprintf(f, "%d\n", profileType);
    std::fprintf(f, "%c\n", drawProfPtsOpt);
    std::fprintf(f, "%d\n", profilePointSize);
    std::fprintf(f, "%f\n", treeHSize);
    std::fprintf(f, "%f\n", treeVSize);
    std::fprintf(f, "%d\n", sDigits);
    std::fprintf(f, "%d\n", maxColsPrint);
    std::fprintf(f, "%d\n", maxComponents);
    std::fprintf(f, "%c\n", saveStruct);
    std::fprintf(f, "%c\n", saveRndData);
    std::fprintf(f, "%c\n", showMemory);
    std::fprintf(f, "%d\n", countDoubleAbsence);
    std::fprintf(f, "%d\n", sqrtDissimOpt_RaoTraits);
    std::fprintf(f, "%d\n", sqrtDissimOpt_RaoPhyl);
    std::fprintf(f, "%d\n", BealsIncludeOpt);
    std::fprintf(f, "%g\n", overfitFactorPCARegr);
    std::fprintf(f, "%d\n", twoTailedTestMantel);
    std::fprintf(f, "%d\n", nProcessors);
    TimeStamp(f);
    switch (w.Commit()) {
        case ReplacingWriter::kWritten: return 0;
        case ReplacingWriter::kNotReplaced: return 1;  // the opener's message stands
        default:
            ExplainFileFailure("write", TARNEXPrefsName, w.Reason());
            RaiseError(TNX_FAIL_TO_PRINT);
    }
}

int SetPreferences() {
    for (;;) {
        Menu("PREFERENCES");
        std::fprintf(out, "Set preferences of: \n");
        std::fprintf(out, "   F  output files \n");
        std::fprintf(out, "   G  Gower index\n");
        std::fprintf(out, "   R  Rao entropy\n");
        std::fprintf(out, "   B  Beals smoothing\n");
        std::fprintf(out, "   O  PCA regression\n");
        std::fprintf(out, "   T  permutaton tests based on Mantel correlations\n");
        std::fprintf(out, "   C  return to main menu \n");
        std::fprintf(out, "Type option: ");
        const int c = std::toupper(static_cast<unsigned char>(ReadCharIn("F G R B O T C")));
        switch (c) {
            case 'F': {
                std::fprintf(out, "\n%s\n", lineL);
                std::fprintf(out, "Number of significant digits on printouts (enter zero for default):\n");
                const int digits = static_cast<int>(ReadNumberIn("%d\n", "-", 0.0, 2147483647.0));
                sDigits = digits == 0 ? 6 : digits;
                std::fprintf(out, "Save tables and resemblances generated by randomization? y/n ");
                saveRndData = ReadCharIn("y n");
                break;
            }
            case 'G':
                std::fprintf(out, "Modify Gower similarity index to count matching absences in binary "
                                  "traits (default is yes)? y/n ");
                countDoubleAbsence = YesNoIn();
                break;
            case 'R':
                std::fprintf(out, "Use squared root dissimilarities for computing Rao entropy based on "
                                  "traits (default is yes)? y/n ");
                sqrtDissimOpt_RaoTraits = YesNoIn();
                std::fprintf(out, "Use squared root dissimilarities for computing Rao entropy based on "
                                  "phylogeny (default is no)? y/n ");
                sqrtDissimOpt_RaoPhyl = YesNoIn();
                break;
            case 'B':
                std::fprintf(out, "Use target OTU value for estimating its own abundance by Beals "
                                  "smoothing (default is yes)? y/n ");
                BealsIncludeOpt = YesNoIn();
                break;
            case 'O':
                std::fprintf(out, "Specify the factor for limiting the number of predictors in PCA "
                                  "regression in relation to sample size n (default is 2, i.e., the "
                                  "maximum number of predictors (PCA axes) will be n/2): ");
                overfitFactorPCARegr = ReadNumberIn("%lf\n", "-", 1.0, 3.4028234663852886e38);
                break;
            case 'T':
                std::fprintf(out, "Generate two-tailed p-values for Mantel correlations (default is "
                                  "yes: two-tailed)? y/n ");
                twoTailedTestMantel = YesNoIn();
                break;
            case 'I':  // held: the letter list does not accept it
                std::fprintf(out, "\n%s\n", lineL);
                std::fprintf(out, "Inform available free memory? y/n ");
                showMemory = ReadCharIn("y n");
                break;
            case 'L':  // held: the letter list does not accept it
                std::fprintf(out, "\nMulti-level hierarchical analysis performed when applicable (y/n): ");
                isHierarchicalPref = YesNoIn();
                break;
            case 'C': return WritePreferences();
            default: break;
        }
    }
}
