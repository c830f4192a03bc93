// Settings dialogs of the classical analyses and the reader of the stored resemblances.
#include "session/dialogs/TNXIFSETCLASSIC.h"

#include <cfloat>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "session/dialogs/TNXIFSET.h"
#include "session/dialogs/TNXPART.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXMenu.h"
#include "session/model/TNXTRACK.h"
#include "traits/TNXHIERInternal.h"

int whichLevelRel = 1;
int printOrdScores = 'n';
int printOrdCorrelations = 'n';
int roFrom = 6, sqRoOpt = 0, whichScale = 1;
float minRoFix = 0.0f, maxRoFix = 0.0f, rangeHorFix = 0.0f;
int relPair[2] = {0, 0};
int ndFrom = 0, whichLevelHist = 1;
int scoreOpt = 0;
int whichAxis[2] = {0, 1};
int* whichLevel = nullptr;
int plotType = 1, whichSctLabels = 1, whichEnv = 0, whichChar = 0, whichChState = 0, whichCstGr = -1,
    howEnv = 1;
int whichGrScatter = -1, connectPtScatterOpt = 0;

namespace {

FILE* Out() { return out ? out : stdout; }

void Bell() {
    std::fputc(7, stdout);
    std::fflush(stdout);
}

void EchoNewline() {
    if ((createMacro || runMacro) && outm) std::fputc('\n', outm);
}

int AskYesNo(const char* question) {
    std::fprintf(Out(), "%s", question);
    return ReadCharIn("y n");
}

// The index of `word` among the n labels, or -1.
int FindLabel(const char* word, char** labels, int n) {
    for (int i = 0; i < n; i++)
        if (std::strcmp(word, labels[i]) == 0) return i;
    return -1;
}

// Labels typed after `prompt` until each is one of the n labels; their indices into idx.
void AskLabels(const char* prompt, char** labels, int n, int count, int* idx) {
    for (;;) {
        std::fprintf(Out(), "%s", prompt);
        bool found = true;
        for (int k = 0; k < count; k++) {
            char word[64];
            ReadStringIn("%s\n", word);
            idx[k] = FindLabel(word, labels, n);
            found = found && idx[k] >= 0;
        }
        if (found) return;
        std::fprintf(Out(), "\nError!! Enter again. \n");
    }
}

int Levels() { return isHierarchical == 1 ? nch : 1; }

// How a label value is shown: 1 as it is, 2 as its class among 9.
int AskHow() {
    return AskOption({{1, "   1  as it is\n"}, {2, "   2  as a class\n"}});
}

// The point labels of a scattergram and what they need; only the available kinds are offered.
void AskScatterLabels() {
    const bool env = optmain1 == 'E';
    std::fprintf(Out(), "\nLabels to use in the scatter: \n");
    std::string accept = "0 1";
    std::fprintf(Out(), "   0  none (only squares)\n   1  community labels\n");
    if (nGroups >= 1) {
        std::fprintf(Out(), "   2  community group labels\n");
        accept += " 2";
    }
    if (nenv > 0) {
        std::fprintf(Out(), "   3  environmental state\n");
        accept += " 3";
    }
    if (!env && nch > 0) {
        std::fprintf(Out(), "   4  weight of trait state in the community\n");
        accept += " 4";
    }
    if (!env && nCstGroups >= 1) {
        std::fprintf(Out(), "   5  performance of PFT group in the community\n");
        accept += " 5";
    }
    std::fprintf(Out(), "Type option no.: ");
    whichSctLabels = static_cast<int>(ReadNumberIn("%d\n", accept.c_str()));
    if (whichSctLabels == 3) {
        AskLabels("Enter label of environmental variable: ", envLabel, nenv, 1, &whichEnv);
        howEnv = AskHow();
    } else if (whichSctLabels == 4) {
        AskLabels("Enter label of trait: ", chLabel, nch, 1, &whichChar);
        std::fprintf(Out(), "Enter state (1 to %d): ", onsta[whichChar]);
        whichChState = static_cast<int>(ReadNumberIn("%d\n", "-", 1.0, onsta[whichChar] > 1 ? onsta[whichChar] : 1.0)) - 1;
        howEnv = AskHow();
    } else if (whichSctLabels == 5) {
        whichCstGr = -1;
        if (AskOption({{1, "   1  all PFT groups\n"}, {2, "   2  one PFT group\n"}}) == 2)
            AskLabels("Enter label of PFT group: ", grCstLabel, nCstGroups, 1, &whichCstGr);
        howEnv = AskHow();
    }
}

}  // namespace

int AskOption(const std::vector<MenuOption>& options) {
    std::string accept;
    for (const MenuOption& o : options) {
        std::fprintf(Out(), "%s", o.text);
        accept += (accept.empty() ? "" : " ") + std::to_string(o.number);
    }
    std::fprintf(Out(), "Type option no.: ");
    return static_cast<int>(ReadNumberIn("%d\n", accept.c_str()));
}

void SettingsTable() {
    IFGroupMembership();
    IFGroupCstMembershipNEW();
    printSpp = nSpp > 0 ? 'y' : 'n';
}

int SettingWhichObj(const char* what) {
    std::fprintf(Out(), "%s of communities(R) or PFTs(C)? ", what);
    whichObj = ReadCharIn("r c");
    return whichObj;
}

bool ResemblancesStored(int type) {
    switch (type) {
        case 1: return StoredResult(hasNRese, whichNRese);
        case 2: return StoredResult(hasPRese, whichPRese);
        case 3: return StoredResult(hasProbN, whichProbN);
        default: return false;
    }
}

int SettingsVegOrdination(int* option) {
    std::fprintf(Out(), "Resemblance function available: option %d ", rese_opt);
    if (hasProbN == 1) std::fprintf(Out(), "and its probabilities\n");
    // Partial resemblances exist only for a crisp, monothetic, hierarchical analysis of 2 or more
    // traits; the probabilities only when they were computed between adjacent units too. Either
    // is offered only while its file can be read: the analysis chosen reads it.
    const bool partial = fuzzy == 0 && poolCSTopt == 1 && isHierarchical == 1 && nch >= 2 && ResemblancesStored(2);
    const bool probabilities = hasProbN == 1 && adjacentRelOpt == 1 && ResemblancesStored(3);
    if (!partial && !probabilities) {
        std::fprintf(Out(), "\nNominal resemblances will be used.");
        *option = 1;
        return *option;
    }
    std::string accept = "1";
    std::fprintf(Out(), "\nUse:\n   1  nominal resemblances \n");
    if (partial) {
        std::fprintf(Out(), "   2  partial resemblances \n");
        accept += " 2";
    }
    if (probabilities) {
        std::fprintf(Out(), "   3  probabilities of nominal resemblances\n");
        accept += " 3";
    }
    std::fprintf(Out(), "Type option no.: ");
    *option = static_cast<int>(ReadNumberIn("%d\n", accept.c_str()));
    return *option;
}

void SettingsOrdOutput(const char* descriptorWord) {
    std::fprintf(Out(), "\nPrintout:\n");
    printOrdScores = AskYesNo("   - ordination scores y/n               ");
    printOrdCorrelations = 'n';
    // Pairwise fuzzy adjustment leaves no descriptors to correlate with the scores.
    if (fuzzy != 2) {
        std::fprintf(Out(), "   - correlation of scores and %s y/n  ", descriptorWord);
        printOrdCorrelations = ReadCharIn("y n");
    }
}

void SettingsEnvRese() {
    const bool quantitative =
        optEnvVarType == 1 || optEnvVarType == 2 || (optEnvVarType == 5 && temEnvQual == 0);
    if (quantitative)
        SettingsVectorTransf(&envVecTrOpt, "communities", "variables");
    else
        envVecTrOpt = 0;
    GetPrindaMode(whichEnvPrinda);
    std::fprintf(Out(), "\nPrintout:\n");
    printNRese = AskYesNo("   - community resemblances y/n  ");
    printReseFree = AskYesNo("   - community resemblances free format (matrix upper half, no diagonal) y/n  ");
}

void SettingsVectorTransf(int* option, const char* rows, const char* columns) {
    std::fprintf(Out(), "\nVector transformation:\n");
    const std::string within[7] = {"", "centering within ", "centering within ", "normalization within ",
                                   "normalization within ", "centering and normalization within ",
                                   "centering and normalization within "};
    std::string texts[7] = {"\t0   none\n"};
    for (int k = 1; k < 7; k++) texts[k] = "\t" + std::to_string(k) + "   " + within[k] + (k % 2 ? rows : columns) + "\n";
    std::vector<MenuOption> options;
    for (int k = 0; k < 7; k++) options.push_back({k, texts[k].c_str()});
    *option = AskOption(options);
}

void SettingsEnvCluster() {
    Menu("CLUSTER ANALYSIS SETTINGS");
    std::fprintf(Out(), "\nClustering method:\n");
    clusMeth = AskOption({{1, "   1  single linkage (nearest neighbor) \n"},
                          {2, "   2  complete linkage \n"},
                          {3, "   3  sum of squares \n"},
                          {4, "   4  average linkage (UPGMA) \n"}});
}

void SettingsEnvRank() {
    Menu("RANKING OF ENVIRONMENTAL VARIABLES");
    const bool resemblances = ResemblancesStored(1);
    const bool groups = nGroups >= 2;
    const bool scores = StoredResult(hasScores, whichScores);
    for (;;) {
        std::fprintf(Out(), "Environmental variables ranking criterion: \n");
        std::fprintf(Out(), "   1  structural redundancy\n");
        if (resemblances) std::fprintf(Out(), "   2  congruence of environmental resemblance/community resemblance\n");
        if (groups) std::fprintf(Out(), "   3  convergence of community groups\n");
        if (scores) std::fprintf(Out(), "   4  congruence of environmental resemblance/community ordination axes\n");
        std::fprintf(Out(), "Type option no.: ");
        optEnvStruct = static_cast<int>(ReadNumberIn("%d\n", "1 2 3 4"));
        // A criterion that was not shown has nothing to rank against: the question again.
        if ((optEnvStruct == 2 && !resemblances) || (optEnvStruct == 3 && !groups) || (optEnvStruct == 4 && !scores))
            continue;
        break;
    }
    if (optEnvStruct == 2) SettingsVegOrdination(&reseTypeERank);
}

void SettingsEnvProfile(int* levels) {
    const int count = *levels >= 1 ? *levels : 1;
    std::fprintf(Out(), "\n%s\n", lineL);
    std::fprintf(Out(), "Hierarchical level to use (among %d levels): \n", count);
    // Levels count from 1: a level 0 would stand before the first.
    *levels = static_cast<int>(ReadNumberIn("%d\n", "-", 1.0, static_cast<double>(count)));
}

void ReadResemblance(int type, bool lowerOnly) {
    const char* name = type == 2 ? whichPRese : type == 3 ? whichProbN : whichNRese;
    FILE* f = fopenck(name, volumeName, "r");
    if (!f) RaiseError(TNX_FAIL_TO_OPEN);
    try {
        const int levels = ReseLevels();
        for (int l = 0; l < levels; l++)
            for (int i = 0; i < ncsm; i++)
                for (int j = i; j < ncsm; j++) {
                    double v = 0.0;
                    freadck(f, "%lf", &v, name);
                    rese[l][j][i] = v;
                    if (!lowerOnly) rese[l][i][j] = v;
                }
    } catch (...) {
        std::fclose(f);
        throw;
    }
    std::fclose(f);
}

void SettingsVegCluster() {
    Menu("CLUSTER ANALYSIS SETTINGS");
    SettingWhichObj("Clustering");
    if (whichObj == 'r' && hasNRese != 1) {
        std::fprintf(Out(), "Resemblance of communities not available\n");
        Bell();
        return;
    }
    if (whichObj == 'c' && hasCstRese != 1) {
        std::fprintf(Out(), "Resemblance of PFTs not available\n");
        Bell();
        return;
    }
    if (whichObj == 'r') {
        SettingWhichLevel(&whichLevelRel);
        SettingsVegOrdination(&reseTypeClus);
    }
    std::fprintf(Out(), "\nClustering method:\n");
    clusMeth = AskOption({{1, "   1  single linkage (nearest neighbor) \n"},
                          {2, "   2  complete linkage \n"},
                          {3, "   3  sum of squares \n"}});
}

void SettingsProfileScale() {
    std::fprintf(Out(), "\nProfile's vertical scale: \n");
    whichScale = AskOption({{1, "   1  based on actual data\n"}, {2, "   2  user specified\n"}});
    if (whichScale != 2) return;
    std::fprintf(Out(), "Specify minimum value: ");
    minRoFix = static_cast<float>(ReadNumberIn("%g\n", "-", -FLT_MAX, FLT_MAX));
    // The maximum cannot lie below the minimum: the scale would be turned over.
    std::fprintf(Out(), "Specify maximum value: ");
    maxRoFix = static_cast<float>(ReadNumberIn("%g\n", "-", minRoFix, FLT_MAX));
}

void SettingsProfile() {
    Menu("PROFILE SETTINGS");
    std::fprintf(Out(), "Draw profile over %d communities \n(assuming they conform a spatial or temporal series) using: \n",
                 ncsm);
    roFrom = AskOption({{6, "   6  nominal resemblances\n"},
                        {7, "   7  partial resemblances\n"},
                        {8, "   8  nominal resemblances probabilities\n"}});
    AskLabels("\nEnter labels of the pair of communities to plot: ", reLabel, ncsm, 2, relPair);
    std::fprintf(Out(), "\nScalar transformation: \n");
    sqRoOpt = AskOption({{0, "   0  no transformation \n"},
                         {1, "   1  plot the squared correlation\n"},
                         {2, "   2  plot the stress function\n"}});
    SettingsProfileScale();
    std::fprintf(Out(), "\nProfile's horizontal scale: \n");
    const int horizontal =
        AskOption({{1, "   1  based on actual number of communities\n"}, {2, "   2  user specified\n"}});
    rangeHorFix = static_cast<float>(ncsm);
    if (horizontal == 2) {
        // A shorter axis would cut the series off.
        std::fprintf(Out(), "Specify maximum value: ");
        rangeHorFix = static_cast<float>(ReadNumberIn("%g\n", "-", static_cast<double>(ncsm), FLT_MAX));
    }
}

void SettingsHistogram() {
    Menu("HISTOGRAM SETTINGS");
    std::fprintf(Out(), "Will draw null frequency distribution histogram of ");
    if (doDistrib == 1) {
        std::fprintf(Out(), "nominal resemblances.\n");
        ndFrom = 3;
        AskLabels("\nEnter labels of the pair of communities involved: ", reLabel, ncsm, 2, relPair);
        SettingWhichLevel(&whichLevelHist);
        return;
    }
    std::fprintf(Out(), "SEF.\n");
    const int c = cohe >= 1 && cohe <= 7 ? cohe : 1;
    std::fprintf(Out(), "Draw histogram of SEF option %s involving:\n", coheInfo[c - 1]);
    // The pairwise comparisons exist only between two or more groups.
    if (nGroups >= 2) {
        ndFrom = AskOption({{1, "   1  the groups previously specified for evaluation\n"},
                            {2, "   2  one of the pairwise group comparisons\n"}}) == 2 ? 2 : 1;
    } else {
        ndFrom = AskOption({{1, "   1  the groups previously specified for evaluation\n"}});
    }
    if (ndFrom == 2) AskLabels("\nEnter labels of the pair of groups to plot: ", grLabel, nGroups, 2, relPair);
    whichLevelHist = 1;
}

void SettingsWhichScatter() {
    scoreOpt = hasScores == 1 ? 1 : hasAOCScor == 1 ? 2 : 0;
    if (hasScores == 1 && hasAOCScor == 1) {
        Menu("SCATTERGRAM SETTINGS");
        std::fprintf(Out(), "\nUse scores generated by: \n");
        scoreOpt = AskOption({{1, "   1  ordination \n"}, {2, "   2  concentration analysis\n"}});
    }
}

void SettingsScatter() {
    Menu("SCATTERGRAM SETTINGS");
    const int axes = maxComponents >= 1 ? maxComponents : 1;
    std::fprintf(Out(), "Specify 2 ordination components (up to component %d) to be plotted:\n", axes);
    for (;;) {
        for (int k = 0; k < 2; k++)
            whichAxis[k] = static_cast<int>(ReadNumberIn("%d\n", "-", 1.0, static_cast<double>(axes))) - 1;
        // The same axis twice would plot a line.
        if (whichAxis[0] != whichAxis[1] || axes < 2) break;
        std::fprintf(Out(), "\nError!! Enter again. \n");
    }

    free1D(whichLevel);
    whichLevel = dim1Dint(nch > 0 ? nch : 1);
    whichLevel[0] = 1;
    if (optmain1 != 'E' && Levels() >= 2) {
        std::fprintf(Out(), "\nHierarchical levels to be plotted: \n");
        if (AskOption({{1, "   1  all\n"}, {2, "   2  some\n"}}) == 1) {
            for (int l = 0; l < nch; l++) whichLevel[l] = 1;
        } else {
            for (;;) {
                std::fprintf(Out(), "\nSelect levels (0 for no, 1 for yes): \n");
                int chosen = 0;
                for (int l = 0; l < nch; l++) {
                    std::fprintf(Out(), "%-3d", l + 1);
                    chosen += whichLevel[l] = static_cast<int>(ReadNumberIn("%-3d", "0 1"));
                }
                EchoNewline();
                if (chosen > 0) break;
                std::fprintf(Out(), "\nError!! Reenter!!\n");
            }
        }
    }

    std::fprintf(Out(), "\nType of scatter diagram: \n");
    plotType = AskOption({{1, "   1  communities only\n"},
                          {2, optmain1 == 'E' ? "   2  biplot with environmental variables\n"
                                              : "   2  biplot with PFTs\n"}});
    if (plotType == 2) {
        std::fprintf(Out(), "Correlation threshold for presenting descriptors in biplots: ");
        biplotCorrThreshold = static_cast<float>(ReadNumberIn("%g\n", "-", 0.0, 1.0));
    }
    if (scatterHSize != scatterVSize)
        std::fprintf(Out(), "\nScatter dimensions are not the same. Please set preferences accordingly. \n"
                            "Will use default sizes now.\n");

    AskScatterLabels();

    whichGrScatter = -1;
    if (nGroups >= 2) {
        std::fprintf(Out(), "\nCommunities to show: \n");
        if (AskOption({{1, "   1  all groups\n"}, {2, "   2  one group\n"}}) == 2)
            AskLabels("Enter label of community group: ", grLabel, nGroups, 1, &whichGrScatter);
    }
    connectPtScatterOpt = 0;
    if (AskYesNo("\nConnect community points in scatter?  y/n ") == 'y') {
        connectPtScatterOpt = 1;
        if (nGroups >= 2)
            connectPtScatterOpt = AskOption(
                {{1, "   1  connect all communities\n"}, {2, "   2  connect communities within groups\n"}});
    }
}

int SelectGroups() {
    std::fprintf(Out(), "\nGroups to be considered in computations: \n");
    const int how = AskOption({{1, "   1  all\n"}, {2, "   2  some\n"}});
    int* use = dim1Dint(nGroups > 0 ? nGroups : 1);
    for (int g = 0; g < nGroups; g++) use[g] = 1;
    int chosen = nGroups;
    if (how == 2 && nGroups > 0) {
        for (;;) {
            std::fprintf(Out(), "\nSelect groups (0 for no, 1 for yes): \n");
            for (int g = 0; g < nGroups; g++) std::fprintf(Out(), "%-3s", grLabel[g]);
            std::fprintf(Out(), "\n");
            chosen = 0;
            bool wrong = false;
            for (int g = 0; g < nGroups; g++) {
                use[g] = static_cast<int>(ReadNumberIn("%-3d", "-", 0.0, static_cast<double>(INT_MAX)));
                wrong = wrong || use[g] >= 2;
                chosen += use[g] == 1;
            }
            EchoNewline();
            // An answer of 2 or more, or no group at all, leaves nothing to compute on.
            if (!wrong && chosen > 0) break;
            std::fprintf(Out(), "\nError!! Reenter!!\n");
        }
    }
    for (int k = 0; k < ncsm; k++) {
        const int g = groupRel != nullptr ? groupRel[k] : 0;
        relSelect[k] = (g >= 1 && g <= nGroups) ? use[g - 1] : (nGroups == 0 ? 1 : 0);
    }
    free1D(use);
    return chosen;
}

void SettingsEvaluation() {
    Menu("EVALUATION SETTINGS");
    // Functions 1, 3, 4 and 7 evaluate the stored community resemblances: without them (or with a
    // file that is gone) they are neither shown nor accepted.
    const bool resemblances = ResemblancesStored(1);
    const MenuOption functions[] = {
        {1, "   1  congruence of community resemblance/environmental resemblance\n"},
        {2, "   2  congruence of community ordination axes/environmental resemblance\n"},
        {3, "   3  divergence of community groups\n"},
        {4, "   4  trait redundancy in community data structure\n"},
        {5, "   5  correlation of community ordination axes/environmental variables\n"},
        {6, "   6  sharpness of information structure\n"},
        {7, "   7  group homogeneity\n"}};
    auto readsResemblances = [](int f) { return f == 1 || f == 3 || f == 4 || f == 7; };
    for (;;) {
        std::fprintf(Out(), "Structure evaluation function option:\n");
        for (const MenuOption& o : functions)
            if (resemblances || !readsResemblances(o.number)) std::fprintf(Out(), "%s", o.text);
        std::fprintf(Out(), "Type option no.: ");
        cohe = static_cast<int>(ReadNumberIn("%d\n", "1 2 3 4 5 6 7"));
        // A function that was not shown has nothing to evaluate: the question again.
        if (readsResemblances(cohe) && !resemblances) continue;
        // Divergence compares two groups at least; homogeneity needs one group.
        if (cohe == 3 && nGroups < 2) continue;
        if (cohe == 7 && nGroups < 1) continue;
        break;
    }
    const bool groups = cohe == 3 || cohe == 7;
    if (groups) {
        std::fprintf(Out(), "\nGroup dissimilarity computation method: \n");
        groupDissMeth = AskOption({{1, "   1  average dissimilarity\n"},
                                   {2, "   2  nearest neighbor\n"},
                                   {3, "   3  sum of squares between groups\n"},
                                   {4, "   4  ratio of between/within groups sum of squares\n"}});
        while (SelectGroups() < (cohe == 3 ? 2 : 1)) std::fprintf(Out(), "\nError!! Reenter!!\n");
    }
    // Functions 2, 5 and 6 work on ordination scores or the information structure, not on the
    // stored resemblances.
    if (cohe != 2 && cohe != 5 && cohe != 6) {
        SettingWhichLevel(&whichLevelRel);
        SettingsVegOrdination(&reseTypeEv);
    }
}

void SettingsCoherence(int* rank, int* dims) {
    std::fprintf(Out(), "\nChoose number of ordination components to use in distances:\n");
    for (int l = 0; l < Levels(); l++) {
        std::fprintf(Out(), "Level %d, rank=%d, dimensions:", l + 1, rank[l]);
        dims[l] = static_cast<int>(ReadNumberIn("%-3d", "-", 0.0, static_cast<double>(rank[l] > 0 ? rank[l] : 0)));
    }
    EchoNewline();
}

void SettingsExportData(int* format) {
    Menu("EXPORT DATA SETTINGS");
    std::fprintf(Out(), "File format:\n");
    *format = AskOption({{1, "   1  Tab separated community matrix for Orbald\n"},
                         {2, "   2  Tab separated community matrix for Mulva5\n"}});
}

int rndWindow = 1;
int rndAdjacent = 1;

bool SettingsRnd() {
    reseTypeRnd = 1;
    if (rndTestOpt == 1) empir_opt = 1;
    if (rndTestOpt == 3) empir_opt = 4;
    if (empir_opt == 1) {
        std::fprintf(Out(), "\nRichness in each random community: \n");
        keepRichness = AskOption({{1, "   1  same as observed\n"}, {2, "   2  may be the same or less than observed\n"}}) == 1;
        std::fprintf(Out(), "\nTotal performance in each random community: \n");
        keepReleveTotal = AskOption({{1, "   1  same as observed\n"}, {2, "   2  variable\n"}}) == 1;
    }
    if (empir_opt == 2) {
        keepRichness = 0;
        keepReleveTotal = 1;
        chDependency = 0;
        std::fprintf(Out(), "\nRandomization on the basis of: \n");
        const bool all = AskOption({{1, "   1  all traits\n"}, {2, "   2  some traits\n"}}) == 1;
        if (all) {
            for (int t = 0; t < nch; t++) whatRndCh[t] = 1;
        } else {
            // The traits in the order the test follows: the hierarchy's own check turns an order
            // that is no permutation of the traits into theirs. Without trait codes no test runs;
            // the traits are then listed as they stand.
            const bool ordered = hier::CanBuild();
            std::fprintf(Out(), "\nSelect traits:\n(enter 0 for exclusion or 1 for inclusion)\n");
            for (int t = 0; t < nch; t++) std::fprintf(Out(), "%-2s ", chLabel[ordered ? nchor[t] - 1 : t]);
            std::fprintf(Out(), "\n");
            for (int t = 0; t < nch; t++) whatRndCh[t] = static_cast<int>(ReadNumberIn("%-3d", "0 1"));
            EchoNewline();
        }
    }
    // The test's own window and adjacency: the session's window is what the track file keeps.
    rndWindow = 1;
    rndAdjacent = 1;
    std::fprintf(Out(), "\nEnter number of iterations: ");
    // One iteration is the observed data alone; none would leave nothing to divide by.
    niter = static_cast<int>(ReadNumberIn("%d\n", "-", 1.0, 2147483647.0));
    std::fprintf(Out(), "\nInitialization of the random number generator: \n");
    seedOpt = AskOption({{1, "   1  automatic (taken from the clock)\n"}, {2, "   2  specified by the user\n"}});
    if (seedOpt == 2) {
        std::fprintf(Out(), "\nEnter seed (integer in the 0 to %u interval):\n", 4294967295u);
        rseed = static_cast<std::uint32_t>(ReadNumberIn("%u\n", "-", 0.0, 4294967295.0));
    }
    std::fprintf(Out(), "\nProbabilities will be generated.\n");
    // Deviations and distributions need two values at least.
    doMeanStOpt = 0;
    if (rndTestOpt == 1 && niter >= 2) {
        std::fprintf(Out(), "Find means and standard deviations for resemblances over %d iterations? y/n ", niter);
        doMeanStOpt = ReadCharIn("y n") == 'y';
    }
    doDistrib = 0;
    if ((rndTestOpt == 1 || rndTestOpt == 3) && niter >= 2) {
        std::fprintf(Out(), "Generate frequency distributions too? y/n  ");
        if (ReadCharIn("y n") != 'n') {
            std::fprintf(Out(), rndTestOpt == 1 ? "Will get frequency distributions of nominal resemblances.\n"
                                                : "Will get frequency distributions of SEF.\n");
            doDistrib = rndTestOpt == 1 ? 1 : 2;
        }
    }
    return true;
}
