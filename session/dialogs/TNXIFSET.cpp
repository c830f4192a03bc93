// Settings dialogs of the functional analysis and of the trait-subset search.
//
// Answers read through ReadCharIn / ReadNumberIn are echoed to a macro; the ones read
// directly with ScanChar / ScanNumber / ScanString are not (a macro cannot replay them).
#include "session/dialogs/TNXIFSET.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "matrix/qwlib.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXMenu.h"
#include "traits/TNXTRAITS.h"

namespace {

FILE* Out() { return out ? out : stdout; }
// The answers read directly (not echoed) come from standard input while a macro is replayed.
FILE* In() { return DirectIn(); }

// Closes a file that this dialog opened, also when an error code travels through.
struct FileGuard {
    FILE* f;
    explicit FileGuard(FILE* file) : f(file) {}
    ~FileGuard() {
        if (f) fclose(f);
    }
    FileGuard(const FileGuard&) = delete;
    FileGuard& operator=(const FileGuard&) = delete;
};

void EchoNewline() {
    if ((createMacro || runMacro) && outm) fputc('\n', outm);
}

// A group number typed at the keyboard: any number that fits an int (larger magnitudes and
// non-numbers are refused and asked again); the fraction is dropped.
int ScanGroupNumber() {
    double v = ScanNumber(In(), "input", "-", static_cast<double>(INT_MIN), static_cast<double>(INT_MAX));
    return static_cast<int>(v);
}

// A group number read from a file through the silent reader. Returns false at the end of the
// file. A value that is no finite number within the int range ("nan" and "inf" included)
// cannot be a group: code 2.
bool ReadGroupFromFile(FILE* f, const char* fileName, int* dst) {
    double v = 0.0;
    if (!freadck1(f, "%lf", &v, fileName, kReadNonFinite)) return false;
    if (!std::isfinite(v) || v < static_cast<double>(INT_MIN) || v > static_cast<double>(INT_MAX)) {
        fprintf(stderr, "\nfile %s ", fileName);
        fputc(7, stdout);
        RaiseError(TNX_END_OF_FILE);
    }
    *dst = static_cast<int>(v);
    return true;
}

// One file name of at most 99 characters, read directly from the console.
void ScanFileName(char* buf) {
    if (!ScanString(In(), 99, buf, nullptr, 0, "input")) RaiseError(TNX_END_OF_FILE);
}

// Types of OTUs from the species list: the 1-based number of the species marked '1' in the
// OTU's row of cstSppMap (the last one when several are marked; 0 when none is).
void TypesFromSpecies() {
    for (int i = 0; i < tcst; i++) {
        partition_OTUs[i] = 0;
        for (int s = 0; s < nSpp; s++)
            if (cstSppMap[i][s] == '1') partition_OTUs[i] = s + 1;
    }
}

// The texts of one question for a group number per OTU, from a file or from the keyboard.
struct GroupQuestion {
    const char* fileOrKeyboard;   // the f/k question
    bool nameOnStdout;            // the file-name prompt goes to standard output, not Out()
    const char* namePrompt;
    const char* keyboardIntro;
    const char* otuLabel;         // padded to the width of groupsLabel
    const char* groupsLabel;
};

// Reads a group number for each of the tcst OTUs into dst. A file that cannot be opened asks
// the f/k question again; a file that ends early leaves the remaining OTUs in group 0, or
// (fullFile) raises code 2 after the reader's message.
void ReadOtuGroups(const GroupQuestion& q, int* dst, bool fullFile) {
    for (;;) {
        fprintf(Out(), "%s", q.fileOrKeyboard);
        char c = ScanChar(In(), "f k", "input");
        if (c == 'f') {
            char name[100];
            fprintf(q.nameOnStdout ? stdout : Out(), "%s", q.namePrompt);
            ScanFileName(name);
            FILE* f = fopenck(name, nullptr, "r");
            if (!f) continue;
            FileGuard guard(f);
            int i = 0;
            for (; i < tcst; i++)
                if (!ReadGroupFromFile(f, name, &dst[i])) break;
            // The reader has reported the end of the file.
            if (i < tcst && fullFile) RaiseError(TNX_END_OF_FILE);
            for (; i < tcst; i++) dst[i] = 0;
            return;
        }
        fprintf(Out(), "%s", q.keyboardIntro);
        fprintf(Out(), "%s", q.otuLabel);
        for (int i = 1; i <= tcst; i++) fprintf(Out(), "\t%d", i);
        fprintf(Out(), "\n%s", q.groupsLabel);
        for (int i = 0; i < tcst; i++) dst[i] = ScanGroupNumber();
        return;
    }
}

// Types of OTUs from a file or from the keyboard (a short file leaves the rest in group 0).
void TypesFromUser() {
    const GroupQuestion q = {"Read group memberships from file (f) or from the keyboard (k)? f/k ", false,
                             "Enter name of file containing group memberships: ",
                             "Enter the group of each OTU:\n", "OTU:    ", "Groups: "};
    ReadOtuGroups(q, partition_OTUs, false);
}

// Nesting groups of the restricted permutations; a file that holds fewer than tcst numbers
// raises code 2.
void NestingGroups() {
    fprintf(Out(), "Specify the nesting criterion (for each OTU, enter the group to which it belongs):\n");
    const GroupQuestion q = {"Read nesting group memberships from file (f) or from the keyboard (k)? f/k ", true,
                             "Enter name of file containing nesting group memberships: ",
                             "Enter the nesting group of each OTU:\n", "OTU:            ", "Nesting groups: "};
    ReadOtuGroups(q, nestingMembershipOTUs, true);
}

void PermutationTestSettings() {
    optRndTests = true;
    fprintf(Out(), "Enter number of iterations in permutation tests of final correlations based on null models: ");
    // 0 is accepted: the analysis then draws no permutation (every probability is 1).
    niter = static_cast<int>(ReadNumberIn("%d\n", "-", 0.0, 2147483647.0));

    fprintf(Out(), "OTU permutation restrictions: \n\t(0) none\n"
                   "\t(1) permutations restricted within groups of OTUs to be specified\n\t\tEnter option: ");
    optRestrictPermutNullModel = static_cast<int>(ScanNumber(In(), "input", "0 1", kSkipNonFinite, kPromptAnswers));
    if (optRestrictPermutNullModel == 1) {
        free1D(nestingMembershipOTUs);
        nestingMembershipOTUs = dim1Dint(tcst);
        NestingGroups();
    }

    fprintf(Out(), "\nInitialization of the random number generator: \n");
    fprintf(Out(), "   1  automatic (taken from the clock)\n");
    fprintf(Out(), "   2  specified by the user\n");
    fprintf(Out(), "Type option no.: ");
    seedOpt = static_cast<int>(ReadNumberIn("%d\n", "1 2"));
    if (seedOpt == 2) {
        fprintf(Out(), "\nEnter seed (integer in the 0 to %u interval):\n", 4294967295u);
        rseed = static_cast<std::uint32_t>(ReadNumberIn("%u\n", "-", 0.0, 4294967295.0));
    } else {
        rseed = static_cast<std::uint32_t>(time(nullptr));
    }
}

void CongruenceSettings() {
    for (;;) {
        fprintf(Out(), "\nMeasuring congruence using\n");
        fprintf(Out(), "  1 matrix correlation (Mantel)\n");
        fprintf(Out(), "  2 Procrustes (traceW, cannot be used when matrix E contains nominal variables)\n");
        fprintf(Out(), "  3 RV coefficient (Dantrel 1973, cannot be used when matrix E contains nominal variables)\n");
        fprintf(Out(), "Type option no.: ");
        opt_ro = static_cast<int>(ReadNumberIn("%d\n", "1 2 3"));
        if ((opt_ro == 2 || opt_ro == 3) && temEnvQual == 1) continue;
        return;
    }
}

// Traits used and their weights (1 selected, 0 excluded). A selection that leaves no trait
// is asked again.
void TraitSelection() {
    fprintf(Out(), "\nTraits in matrix B to be used in the analysis:\n");
    fprintf(Out(), "   1  all traits \n");
    fprintf(Out(), "   2  select traits \n");
    fprintf(Out(), "Type option no.: ");
    int opt = static_cast<int>(ReadNumberIn("%d\n", "1 2"));
    if (opt == 2) {
        for (;;) {
            fprintf(Out(), "Select traits:\n");
            fprintf(Out(), "(enter 0 for exclusion or 1 for inclusion)\n");
            for (int j = 0; j < nch; j++) fprintf(Out(), "%s ", chLabel[j]);
            fprintf(Out(), "\n");
            int selected = 0;
            for (int j = 0; j < nch; j++) {
                int v = static_cast<int>(ReadNumberIn("%-3d", "0 1"));
                weight[j] = v == 1 ? 1.0f : 0.0f;
                selected += v == 1;
            }
            EchoNewline();
            if (selected > 0 || nch < 1) break;
            fputc(7, stdout);
            fprintf(stderr, "\nNo trait selected. Reenter.\n");
        }
    } else {
        for (int j = 0; j < nch; j++) weight[j] = 1.0f;
    }
}

// Weights inversely proportional to the number of selected traits in each trait group.
void TraitGroupWeights() {
    fprintf(Out(), "Set weights for traits inversely proportional to effective trait group sizes? y/n ");
    if (ReadCharIn("y n") != 'y') return;
    int* select = dim1Dint(nch);
    int* distinct = dim1Dint(nch);
    for (int j = 0; j < nch; j++) select[j] = weight[j] > 0.0f ? 1 : 0;
    int nG = 0;
    CountGroupsSelect(nch, traitGroups, select, &nG, distinct);
    for (int g = 0; g < nG; g++) {
        int count = 0;
        for (int j = 0; j < nch; j++)
            if (select[j] == 1 && traitGroups[j] == distinct[g]) count++;
        if (count < 1) continue;
        for (int j = 0; j < nch; j++)
            if (traitGroups[j] == distinct[g]) weight[j] /= static_cast<float>(count);
    }
    free1D(distinct);
    free1D(select);
}

// The criteria of the trait-subset search: the menu line of each, the data it needs, and
// whether the earlier form of the dialog offers it.
struct Criterion {
    int number;
    const char* line;
    bool environment, phylogeny, noNominal, oldForm;
};
const Criterion kCriteria[] = {
    {1, "   1 r(XE): TCAP and TDAP\n", true, false, false, true},
    {9, "   9 r(XE.T): TDAP only\n", true, false, true, true},
    {10, "   10 r(TE): TCAP only\n", true, false, true, true},
    {11, "   11  correlation of phylogenetically structured assembly patterns (PSAP) to both TCAP and TDAP = r(PX)\n",
     false, true, false, true},
    {12, "   12  correlation of PSAP to TDAP = r(PX.T)\n", false, true, true, true},
    {13, "   13  correlation of PSAP to TCAP = r(PT)\n", false, true, true, true},
    {14, "   14  beta niche conservation: ro(PT) * ro(TE)\n", true, true, false, true},
    {15, "   15  alpha and beta niche conservation: ro(PX) * ro(XE)\n", true, true, false, true},
    {16, "   16  alpha divergence: r(RE) \n", true, false, false, false},
    {17, "   17  beta divergence: r(XE.TR)\n", true, false, false, true},
    {18, "   18  congruence of X and the composition predicted by Lindqvar (2008) smoothing: r(XZ)\n", false, false,
     false, false},
    {19, "   19  trait convergence: r(TZ)\n", false, false, false, false},
    {20, "   20  trait divergence: r(XZ.T)\n", false, false, false, false},
    {21, "   21  congruence of X and the composition predicted by Beals smoothing: r(XY)\n", false, false, false,
     false},
    {22, "   22  trait convergence: r(TY)\n", false, false, false, false},
    {23, "   23  trait divergence: r(XY.T)\n", false, false, false, false},
    {24, "   24  dark diversity (sum of absolute differences between X and W) and E: r(SE)\n", true, false, false,
     false},
};

// The criterion menu of the trait-subset search: every criterion that the data allow is listed,
// and only those are accepted. Returns the criterion, or 0 when the data allow none.
int AskCriterion(bool oldForm) {
    const bool qual = HasQualitTrait(nch, chtype);
    Menu("CHARACTER RANKING SETTINGS");
    FILE* o = Out();
    fprintf(o, "Trait ranking criterion maximized: \n");
    std::string accept;
    for (const Criterion& c : kCriteria) {
        if ((oldForm && !c.oldForm) || (c.environment && nenv <= 0) || (c.phylogeny && !hasPhylogeny) ||
            (c.noNominal && qual))
            continue;
        fprintf(o, "%s", c.line);
        accept += (accept.empty() ? "" : " ") + std::to_string(c.number);
    }
    fprintf(o, "\n");
    if (nenv > 0) {
        fprintf(o, "1. Correlation r(XE) between fuzzy weighted community composition based on OTU's trait "
                   "similarities (X) and ecological variables (E) may reflect both trait convergence assembly "
                   "patterns (TCAP) and trait divergence assembly patterns (TDAP).\n");
        if (!qual) {
            fprintf(o, "9. Partial correlation r(XE.T) between X and E, removing T, reflects TDAP only.\n");
            fprintf(o, "10. Correlation r(TE) between community weighted mean traits (T) and E reflects TCAP only.\n");
        }
    }
    if (hasPhylogeny) {
        fprintf(o, "11. Correlation r(PX) between P (fuzzy weighted community composition based on OTU's "
                   "phylogenetic similarities) and X reflects phylogenetic signal at the metacommunity level.\n");
        if (!qual) {
            fprintf(o, "12. Partial correlation r(PX.T) between P and X, removing T reflects phylogenetic signal "
                       "at the metacommunity level.\n");
            fprintf(o, "13. Correlation r(PT) reflects phylogenetic signal at the metacommunity level.\n");
        }
    }
    if (nenv > 0 && !oldForm) fprintf(o, "16. ro(RE) is a congruence between Rao entropy and E.\n");
    if (accept.empty()) {
        fprintf(o, "\nNo criterion can be computed: the data set has neither environmental variables nor a "
                   "phylogeny.\n");
        return 0;
    }
    fprintf(o, "\nType option no.: ");
    return static_cast<int>(ReadNumberIn("%d\n", accept.c_str()));
}

int ChRankDialog(bool oldForm) {
    opt_struct = AskCriterion(oldForm);
    if (opt_struct == 0) {
        printRankIntermedResults = 'n';
        return printRankIntermedResults;
    }
    rankingAlgorithm = 2;
    includePhylogeny = opt_struct >= 11 && opt_struct <= 15;

    SettingsHierarchy();

    if (opt_struct == 10 || opt_struct == 16) {
        rese_opt = 6;
        if (traitBasedOpt != 1) whichObj = 'r';
    }
    optUnitTotalAdjust1 = true;

    int nTypes = 0;
    CountGroupsNew(tcst, partition_OTUs, &nTypes, nullptr);
    nMinCSTGroupsChRank = nMaxCSTGroupsChRank = nTypes;

    int m = 0;
    for (int j = 0; j < nch; j++)
        if (weight[j] > 0.0f) m++;
    fprintf(Out(), "Minimum number of traits in the trait subset (minimum: 1, maximum: %d): ", m);
    nMinTraitsChRank = static_cast<int>(ReadNumberIn("%g\n", "-", 1.0, static_cast<double>(m)));
    fprintf(Out(), "Maximum number of traits in the trait subset (minimum: %d, maximum: %d): ", nMinTraitsChRank, m);
    nMaxTraitsChRank = static_cast<int>(
        ReadNumberIn("%g\n", "-", static_cast<double>(nMinTraitsChRank), static_cast<double>(m)));

    fprintf(Out(), "\nPrint intermediate results of the ranking process?  y/n ");
    printRankIntermedResults = ReadCharIn("y n");
    return printRankIntermedResults;
}

}  // namespace

void ReleaseSettingsArrays() {
    free1D(nestingMembershipOTUs);
    nestingMembershipOTUs = nullptr;
    free1D(partition_OTUs_Phyl);
    partition_OTUs_Phyl = nullptr;
}

int SettingReseFunction(int* option) {
    fprintf(Out(), "\nResemblance function option:\n");
    fprintf(Out(), "\t6   Euclidean distance\n");
    fprintf(Out(), "\t7   relative Euclidean distance\n");
    fprintf(Out(), "\t8   absolute value function\n");
    fprintf(Out(), "\t9   relative absolute value function\n");
    fprintf(Out(), "\t10  chord distance\n");
    fprintf(Out(), "Type option no.: ");
    *option = static_cast<int>(ReadNumberIn("%d\n", "6 7 8 9 10"));
    return *option;
}

int SettingWhichLevel(int* level) {
    if (nch >= 2 && poolCSTopt == 1 && isHierarchical == 1) {
        fprintf(Out(), "Specify hierarchical level: ");
        *level = static_cast<int>(ReadNumberIn("%d\n", "-", 1.0, static_cast<double>(nch)));
    } else {
        *level = 1;
    }
    return *level;
}

void SettingsRese() {
    if (whichObj == 'r') {
        SettingReseFunction(&rese_opt);
    } else if (whichObj == 'c') {
        SettingReseFunction(&reseCstOpt);
        SettingWhichLevel(&whichLevelCst);
    }
    if (optmain == 'H' || optmain == 'K') return;

    if (whichObj == 'r') {
        fprintf(Out(), "\nPrintout:\n");
        fprintf(Out(), "   - nominal resemblances y/n  ");
        printNRese = ReadCharIn("y n");
        fprintf(Out(), "   - nominal resemblances free format (matrix upper half, no diagonal) y/n  ");
        printReseFree = ReadCharIn("y n");
        printPRese = 'n';
        if (fuzzy == 0 && nch >= 2 && poolCSTopt == 1 && isHierarchical == 1) {
            fprintf(Out(), "   - partial resemblances y/n  ");
            printPRese = ReadCharIn("y n");
        }
    } else if (whichObj == 'c') {
        fprintf(Out(), "\nPrintout:\n");
        fprintf(Out(), "   - resemblances y/n  ");
        printNRese = ReadCharIn("y n");
        fprintf(Out(), "   - resemblances free format (matrix upper half, no diagonal) y/n  ");
        printReseFree = ReadCharIn("y n");
    }
}

void GetPrindaMode(const char* fileName) {
    char path[2 * kFileNameSize];
    snprintf(path, sizeof path, "%s%s", volumeName, fileName);
    // A name that cannot be opened, or is no regular file, is written anew: the run's writer
    // then names what keeps it from being replaced. A named pipe never holds the dialog.
    int reason = 0;
    FILE* f = OpenRegular(path, "r", &reason);
    if (!f) {
        strcpy(prindaMode, "w");
        return;
    }
    fclose(f);
    if (runMacro) {
        strcpy(prindaMode, "a");
        return;
    }
    fprintf(Out(), "\nThis session has a previous %s file.\n", fileName);
    fprintf(Out(), "Options:\n");
    fprintf(Out(), "   w  erase file and create a new one\n");
    fprintf(Out(), "   a  append results to same file\n");
    fprintf(Out(), "Type option: ");
    // The reader returns lower case; either case of the letter is the same answer.
    char c = ScanChar(In(), "W A", "input");
    strcpy(prindaMode, (c == 'w' || c == 'W') ? "w" : "a");
}

void SettingsHierarchy() {
    optWeightedNullModel = 0;
    Menu("FUNCTIONAL ANALYSIS SETTINGS");
    part = 1;

    // Criterion 10 of the trait-subset search works on trait averages: no types, no tests.
    const bool traitAverages = optmain == 'K' && opt_struct == 10;
    if (traitAverages) {
        traitBasedOpt = 2;
        poolCSTopt = 0;
        optRndTests = false;
    } else {
        if (optmain != 'K') fprintf(Out(), "\nTrait-based scaling-up from population to communities:");

        traitBasedOpt = 1;
        poolCSTopt = 2;
        clusMethPoolCSTs = 0;
        fprintf(Out(), "\nThe partition of OTUs into types should be specified.\n");

        OTUsTypesAreSpecies = false;
        bool fromSpecies = false;
        if (nSpp > 0) {
            fprintf(Out(), "Wish to use as OTUs types the species specified in the session's formatted file? y/n ");
            fromSpecies = ScanChar(In(), "y n", "input") == 'y';
        }
        if (fromSpecies) {
            OTUsTypesAreSpecies = true;
            TypesFromSpecies();
        } else {
            TypesFromUser();
        }
        CountGroupsNew(tcst, partition_OTUs, &nGrPoly[0], nullptr);

        reseCSTopt = 1;

        if (part == 1 && poolCSTopt == 2) {
            fprintf(Out(), "\nFuzzy set adjustment:\n");
            fprintf(Out(), "   0  no adjustment (crisp belonging of OTUs to types)\n");
            fprintf(Out(), "   1  fuzzy types (fuzzy belonging of OTUs to types)\n");
            fprintf(Out(), "Type option no.: ");
            if (static_cast<int>(ReadNumberIn("%d\n", "0 1")) == 1) {
                fuzzy = 3;
                fuzziness = 1.0f;
            } else {
                fuzzy = 0;
            }
        } else {
            fuzzy = 0;
        }

        if (optmain != 'K' && traitBasedOpt == 1)
            PermutationTestSettings();
        else
            optRndTests = false;
    }

    CongruenceSettings();

    if (opt_ro == 1) {
        whichObj = 'r';
        if (!(optmain == 'K' && (opt_struct == 10 || opt_struct == 16))) {
            fprintf(Out(), "\nSpecify resemblance function between communities:");
            SettingsRese();
        }
    }

    TraitSelection();
    if (hasTraitGroups) TraitGroupWeights();

    if (traitBasedOpt == 1) {
        fprintf(Out(), "\nStandardize community data matrix (matrix W) to unit total in each community? y/n ");
        optUnitTotalAdjust2 = ScanChar(In(), "y n", "input") == 'y';
    } else {
        optUnitTotalAdjust2 = false;
    }

    if (hasPhylogeny) includePhylogeny = true;
    if (includePhylogeny) {
        free1D(partition_OTUs_Phyl);
        partition_OTUs_Phyl = dim1Dint(tcst);
        for (int i = 0; i < tcst; i++) partition_OTUs_Phyl[i] = partition_OTUs[i];
        CountGroupsNew(tcst, partition_OTUs_Phyl, &nTaxa, nullptr);
        fuzzyPhyl = 1;
    }

    isHierarchical = 0;
    for (int j = 0; j < nch; j++) nchor[j] = j + 1;
    for (int j = 1; j < nch; j++) nGrPoly[j] = 2;
    optCoVariable = false;

    if (optmain == 'K') return;

    fprintf(Out(), "\nInclude detailed results in the printout y/n ");
    printDetail = ReadCharIn("y n") == 'y' ? 1 : 0;

    GetPrindaMode(whichPrinda);
}

int SettingsChRank() { return ChRankDialog(false); }

int SettingsChRank_OLD() { return ChRankDialog(true); }
