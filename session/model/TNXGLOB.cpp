// Definitions of the global data model, its defaults and its release routines.
#include "session/model/TNXGLOB.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"

// 1. Counts.
int nch = 0, tcst = 0, ncsm = 0, nenv = 0, nSpp = 0, nClados = 0;

// 2. Data set.
float** csm_Float = nullptr;
float** cadat = nullptr;
float** env = nullptr;
double** phylogenyRese = nullptr;
float** phylogenyData = nullptr;
int* phylogenyVarType = nullptr;
char dataName[kDataNameSize] = "";
char** chLabel = nullptr;
int* chtype = nullptr;
float* chrange = nullptr;
int* onsta = nullptr;
int* traitGroups = nullptr;
int hasTraitGroups = 0;
char** reLabel = nullptr;
int* ncst = nullptr;
float ca_code[10] = {0};
char** envLabel = nullptr;
int* envVarType = nullptr;
int optEnvVarType = 0;
int temEnvBin = 0, temEnvQual = 0, temEnvQuant = 0;
char envName[kDataNameSize] = "";
char** spp = nullptr;
char whichSpp[kFileNameSize] = "";
char** sppRelMap = nullptr;
char** cstSppMap = nullptr;
bool hasPhylogeny = false;
int phylogenyMatrixType = 0;
int SMWSize = 0;

// 3. Working arrays.
float* weight = nullptr;
int* nchor = nullptr;
int* nGrPoly = nullptr;
int* rcst = nullptr;
int* relSelect = nullptr;
int* partition_OTUs = nullptr;
int** cstTrack = nullptr;
char** csm = nullptr;
double*** rese = nullptr;
int nlev = 1;

// 4. Partitions.
int nPart = 0;
char** partLabel = nullptr;
int* nGroupsP = nullptr;
int** groupRelP = nullptr;
char*** grLabelP = nullptr;
int whichPart = 0;
int nGroups = 0;
int* groupRel = nullptr;
char** grLabel = nullptr;
int nPartCst = 0;
char** partCstLabel = nullptr;
int* nGroupsCstP = nullptr;
int** groupCstP = nullptr;
char*** grCstLabelP = nullptr;
int* whichLevelGrCstP = nullptr;
int whichCstPart = 0;
int nCstGroups = 0;
int* groupCst = nullptr;
char** grCstLabel = nullptr;
int whichLevelGrCST = 0;
int whichPartAOC = 0, whichPartCstAOC = 0;

// 5. Options.
int traitBasedOpt = 0;
int poolCSTopt = 0;
int clusMethPoolCSTs = 0;
int reseCSTopt = 0;
int fuzzy = 0;
float fuzziness = 0.0f;
int fuzzyPhyl = 0;
int part = 0;
int opt_ro = 0;
int rese_opt = 0, reseCstOpt = 0;
int whichObj = 0;
int whichLevelCst = 0;
int isHierarchical = 0;
int niter = 0;
bool optRndTests = false;
int optRestrictPermutNullModel = 0;
int* nestingMembershipOTUs = nullptr;
int optWeightedNullModel = 0;
int seedOpt = 0;
std::uint32_t rseed = 0;
bool optUnitTotalAdjust1 = false, optUnitTotalAdjust2 = false;
bool optCoVariable = false;
bool includePhylogeny = false;
int* partition_OTUs_Phyl = nullptr;
int nTaxa = 0;
bool OTUsTypesAreSpecies = false;
int printDetail = 0;
int printNRese = 0, printReseFree = 0, printPRese = 0;
int printSpp = 'n', princont = 'n', print_indet = 'n', print_gindex = 'n';
char prindaMode[4] = "";
int opt_struct = 0;
int rankingAlgorithm = 0;
int nMinCSTGroupsChRank = 0, nMaxCSTGroupsChRank = 0;
int nMinTraitsChRank = 0, nMaxTraitsChRank = 0;
char printRankIntermedResults = 0;
int nCSTGroupsChRankRedundancy = 0;
int redundancyMeth = 0;
int rndTestOpt = 0;

int optEnvStruct = 0, cohe = 0, groupDissMeth = 0, empir_opt = 0, keepRichness = 0, keepReleveTotal = 0;
int envVecTrOpt = 0, clusMeth = 0;
int reseTypeOrd = 0, reseTypeClus = 0, reseTypeEv = 0, reseTypeRnd = 0, reseTypeERank = 0;
int doDistrib = 0, adjacentRelOpt = 0;
int chDependency = 0;
int* whatRndCh = nullptr;
int doMeanStOpt = 0;
int** aprioriList = nullptr;
int* whichFactors = nullptr;
int* nestedFactors = nullptr;
int*** contrastCoef = nullptr;
int* nContrasts = nullptr;
int nFactors = 0, nMaxContrasts = 0, nesting = 0;

// 6. Preferences. Three of them hold their default before InitGlobals runs.
int isHierarchicalPref = 0;
float scatterHSize = 0.0f, scatterVSize = 0.0f;
int scatterPointSize = 0;
float profileHSize = 0.0f, profileVSize = 0.0f;
int profileType = 0;
char drawProfPtsOpt = 0;
int profilePointSize = 0;
float treeHSize = 0.0f, treeVSize = 0.0f;
int sDigits = 0;
int maxComponents = 0;
char saveStruct = 0, saveRndData = 0, showMemory = 0;
int countDoubleAbsence = 0;
int sqrtDissimOpt_RaoTraits = 0, sqrtDissimOpt_RaoPhyl = 0;
int BealsIncludeOpt = 1;
double overfitFactorPCARegr = 2.0;
int twoTailedTestMantel = 1;
int nProcessors = 0;
float biplotCorrThreshold = 0.0f;

// 7. Session, console and file state.
char sessionShortName[kSessionNameSize] = "";
char sessionName[kSessionNameSize] = "";
char volumeName[kFileNameSize] = "";
char tempName[kTempNameSize] = "";
char tempSession[kFileNameSize] = "";
char whichTrack[kFileNameSize] = "";
char whichFormda[kFileNameSize] = "";
char whichStructures[kFileNameSize] = "";
char whichRndData[kFileNameSize] = "";
char whichRnd[kFileNameSize] = "NULL";
std::time_t time0 = 0;

char whichPrinda[kFileNameSize] = "NULL";
char whichHier[kFileNameSize] = "NULL";
char whichNRese[kFileNameSize] = "NULL";
char whichPRese[kFileNameSize] = "NULL";
char whichCstRese[kFileNameSize] = "NULL";
char whichScores[kFileNameSize] = "NULL";
char whichChorder[kFileNameSize] = "NULL";
char whichProbN[kFileNameSize] = "NULL";
char whichProbRo[kFileNameSize] = "NULL";
char whichRo[kFileNameSize] = "NULL";
char whichComplexity[kFileNameSize] = "NULL";
char whichVelocity[kFileNameSize] = "NULL";
char whichRoVelComplex[kFileNameSize] = "NULL";
char whichEnvPrinda[kFileNameSize] = "NULL";
char whichEnvRese[kFileNameSize] = "NULL";
char whichEnvScores[kFileNameSize] = "NULL";
char whichEnvRank[kFileNameSize] = "NULL";
char whichMulva[kFileNameSize] = "NULL";
char whichOrbald[kFileNameSize] = "NULL";
char whichRelReseNoDiag[kFileNameSize] = "NULL";
char whichReClus[kFileNameSize] = "NULL";
char whichCstClus[kFileNameSize] = "NULL";
char whichAOCScor[kFileNameSize] = "NULL";

int hasHier = 0, hasNRese = 0, hasPRese = 0, hasCstRese = 0, hasScores = 0, hasProbN = 0,
    hasProbRo = 0, hasRo = 0;
int hasComplexity = 0, hasVelocity = 0, hasRoVelComplex = 0, hasRoVelComplexPROB = 0;
int hasEnvRese = 0, hasEnvScores = 0, hasEnvRank = 0;
int hasReClus = 0, hasCstClus = 0, hasAOCScor = 0;
int hasVegOrdiCorrel = 0, hasEnvOrdiCorrel = 0, hasCstScores = 0, hasChorder = 0;

int dirtyOrig = 0;
int optmain1 = 0;
int optmain = 0;
FILE* trackFp = nullptr;

const char lineL[] = "----------------------------------------------------------------------";
const char version[] = "CHARACTER-BASED COMMUNITY ANALYSIS                    TARNEX v.2.11.11";
const char versionFormda_Traits[] = "08Jan18";
const char versionFormda[] = "97Sep08";
const char versionTrack[] = "07Jul17";
const char versionPref[] = "18Nov2016";
const char TARNEXPrefsName[] = "TARNEX.prf";

const char prindaExt[] = "Prinda.txt";
const char hierExt[] = "Hie.txt";
const char nReseExt[] = "NRe.txt";
const char pReseExt[] = "PRe.txt";
const char CstReseExt[] = "CRe.txt";
const char scoresExt[] = "Sco.txt";
const char chRankExt[] = "ChRank.txt";
const char chRankFExt[] = "ChFRank.txt";
const char probNExt[] = "PrN.txt";
const char probRoExt[] = "PRo.txt";
const char rndDataExt[] = "RDa.txt";
const char formdaExt[] = "Formda.txt";
const char trackExt[] = "Trk.txt";
const char structExt[] = "Str.txt";
const char roExt[] = "Ro.txt";
const char complexityExt[] = "Complexity.txt";
const char velocityExt[] = "Velocity.txt";
const char roVelComplexExt[] = "RoVelComplex.txt";
const char ePrindaExt[] = "Prinda.txt";
const char eReseExt[] = "ERe.txt";
const char eScoresExt[] = "ESc.txt";
const char eRankExt[] = "ERk.txt";
const char mulvaExt[] = "Mulva5.txt";
const char orbaldExt[] = "Orbald.txt";
const char reseNoDiagExt[] = "Rese.txt";
const char rndExt[] = ".Rnd";
const char reClusExt[] = ".RCl";
const char cstClusExt[] = ".CCl";
const char aocExt[] = ".AOC";

// Option labels.
const char* const partInfo[3] = {"mixed", "quantitative", "qualitative"};
const char* const fuzzyInfo[4] = {"none (crisp)", "fuzzy global", "fuzzy pairwise",
                                  "fuzzy (fuzzy belonging of OTUs to types)"};
const char* const rese_optInfo[10] = {
    "1 (information divergence within rows)", "2 (information divergence mutual)",
    "3 (cross product uncentered data)",      "4 (cross product centered data)",
    "5 (correlation coefficient)",            "6 (Euclidean distance)",
    "7 (relative Euclidean distance)",        "8 (absolute value function)",
    "9 (relative absolute value function)",   "10 (chord distance)"};
const char* const rese_typeInfo[3] = {"nominal resemblances", "partial resemblances",
                                      "probabilities of nominal resemblances"};
const char* const clusMethInfo[6] = {"0 (none)", "1 (single linkage)", "2 (complete linkage)",
                                     "3 (sum of squares)", "4 (average linkage UPGMA)",
                                     "5 (average linkage WPGMA)"};
const char* const opt_roInfo[3] = {"matrix correlation (Mantel)", "Procrustes (traceW)",
                                   "RV coefficient (Dantrel 1973)"};
const char* const rankingAlgorithmInfo[2] = {"1 (stepwise)", "2 (all trait combinations)"};
const char* const poolCSToptInfo[2] = {"1 (monothetic)", "2 (polythetic)"};
const char* const reseCSToptInfo[2] = {"1 (Gower index)", "2 (Euclidean distance)"};
const char* const traitBasedOptInfo[2] = {"1 (composition of types)",
                                          "2 (trait averages at community level)"};
const char* const YesNotInfo[2] = {"not", "yes"};
const char* const redundancyMethInfo[2] = {"1 (correlation with next lower level)",
                                           "2 (correlation with level one)"};
const char* const vecTrOptInfo[7] = {"0 (none)",
                                     "1 (centering within communities)",
                                     "2 (centering within variables)",
                                     "3 (normalization within communities)",
                                     "4 (normalization within variables)",
                                     "5 (centering and normalization within communities)",
                                     "6 (centering and normalization within variables)"};
const char* const optEnvStructInfo[5] = {
    "1 (structural redundancy)",
    "2 (congruence environmental resemblance/community resemblance)",
    "3 (convergence community groups)",
    "4 (congruence environmental resemblance/community ordination axes)",
    "5 (divergence of community groups)"};
const char* const coheInfo[7] = {
    "1 (congruence community/environmental resemblance)",
    "2 (congruence community ordination axes/environmental resemblance)",
    "3 (divergence community groups)",
    "4 (trait redundancy in community data structure)",
    "5 (correlation community ordination axes/environmental variables)",
    "6 (sharpness of information structure)",
    "7 (group homogeneity)"};
const char* const groupDissMethInfo[4] = {"1 (average dissimilarity)", "2 (nearest neighbor)",
                                          "3 (sum of squares between groups)",
                                          "4 (ratio of between/within groups sum of squares)"};
const char* const empir_optInfo[5] = {
    "1 (random composition hypothesis)", "2 (random taxon hypothesis)",
    "3 (random partition hypothesis)", "4 (random community location hypothesis)",
    "5 (random composition and random community location combined)"};
const char* const keepRichnessInfo[2] = {"\xE2\x89\xA4 richness in observed community",
                                         "= richness in observed community"};
const char* const keepReleveTotalInfo[2] = {"variable", "= total in observed community"};

// One label per trait-subset criterion, 1..24 (indexed by the criterion minus 1).
const char* const opt_structInfo[24] = {
    "1 (both trait-divergence and trait-convergence assembly patterns)",
    "2 (convergence community groups)",
    "3 (divergence community groups)",
    "4 (trait redundancy in population data structure)",
    "5 (trait redundancy in community data structure)",
    "6 (criteria 1 and 5 combined)",
    "7 (criteria 2 and 5 combined)",
    "8 (sharpness in information structure)",
    "9 (Trait-divergence assembly patterns, TDAP)",
    "10 (Trait-convergence assembly patterns, TCAP)",
    "11 (correlation of phylogenetically structured assembly patterns, PSAP to both "
    "trait-divergence and trait-convergence assembly patterns, TDAP and TCAP)",
    "12 (correlation of phylogenetically structured assembly patterns, PSAP to "
    "trait-divergence, TDAP)",
    "13 (correlation of phylogenetically structured assembly patterns, PSAP to "
    "trait-convergence assembly patterns, TCAP)",
    "14 (beta niche conservation: ro(PT) * ro(TE))",
    "15 (alpha and beta niche conservation: ro(PX) * ro(XE))",
    "16 (alpha divergence: ro(RE))",
    "17 (beta divergence: ro(XE.TR))",
    "18 (congruence of fuzzy-weighted composition and composition predicted by Lindqvar (2008) "
    "smoothing: r(XZ))",
    "19 (trait convergence: r(TZ))",
    "20 (trait divergence: r(XZ.T))",
    "21 (congruence of fuzzy-weighted composition and composition predicted by Beals "
    "smoothing: r(XY))",
    "22 (trait convergence: r(TY))",
    "23 (trait divergence: r(XY.T))",
    "24 (correlation between 'dark diversity' (for each community, sum of absolute differences "
    "between matrices X and W) and E: r(SE))"};

void InitGlobals() {
    in = stdin;
    out = stdout;
    runMacro = 0;
    createMacro = 0;
    biplotCorrThreshold = 0.6f;
    isHierarchicalPref = 0;
    scatterHSize = scatterVSize = 0.0f;
    profileHSize = profileVSize = 0.0f;
    treeHSize = treeVSize = 0.0f;
    profilePointSize = 0;
    scatterPointSize = 0;
    profileType = 1;
    drawProfPtsOpt = 'n';
    saveStruct = 'n';
    saveRndData = 'n';
    showMemory = 'n';
    sDigits = 6;
    countDoubleAbsence = 1;
    sqrtDissimOpt_RaoTraits = 1;
    sqrtDissimOpt_RaoPhyl = 0;
    maxColsPrint = INT_MAX;
    maxComponents = 6;
    nGroups = 0;
    nPart = 0;
    nCstGroups = 0;
    nPartCst = 0;
    rndTestOpt = 0;
    nCSTGroupsChRankRedundancy = 5;
    redundancyMeth = 2;
    whichLevelGrCST = 1;
    SMWSize = 1;
    nProcessors = 0;
}

void FreeGlobals1() {
    char* const names[] = {whichPrinda,     whichEnvPrinda, whichHier,         whichNRese,
                           whichPRese,      whichCstRese,   whichScores,       whichChorder,
                           whichProbN,      whichProbRo,    whichRo,           whichComplexity,
                           whichVelocity,   whichRoVelComplex, whichEnvRese,   whichEnvScores,
                           whichEnvRank,    whichMulva,     whichOrbald,       whichRelReseNoDiag,
                           whichReClus,     whichCstClus,   whichAOCScor,      whichRnd};
    for (char* name : names) std::strcpy(name, "NULL");
    hasHier = hasNRese = hasPRese = hasCstRese = hasScores = hasProbN = hasProbRo = hasRo = 0;
    hasComplexity = hasVelocity = hasRoVelComplex = hasRoVelComplexPROB = 0;
    hasEnvRese = hasEnvScores = hasEnvRank = 0;
    hasReClus = hasCstClus = hasAOCScor = 0;
    nPart = 0;
    nGroups = 0;
    nPartCst = 0;
    nCstGroups = 0;
    whichLevelGrCST = 1;
}

namespace {

// Release helpers: each does nothing on a null array and nulls the pointer it released, so
// that releasing twice (or releasing what was never loaded) is harmless.
template <typename T>
void Release1(T*& p) {
    if (p) free1D(p);
    p = nullptr;
}

template <typename T>
void Release2(T**& p, int rows) {
    if (p) free2D(reinterpret_cast<void**>(p), rows);
    p = nullptr;
}

template <typename T>
void Release3(T***& p, int d1, int d2) {
    if (p) free3D(reinterpret_cast<void***>(p), d1, d2);
    p = nullptr;
}

}  // namespace

void FreeGlobals2() {
    // The session's data are released: the commits no longer hold to its data file.
    ClearSessionData();
    Release2(chLabel, nch);
    Release2(reLabel, ncsm);
    Release3(grLabelP, kMaxPartitions, ncsm);
    Release3(grCstLabelP, kMaxPartitions, tcst);
    Release1(nchor);
    Release1(weight);
    Release1(chtype);
    Release1(traitGroups);
    Release1(chrange);
    Release1(onsta);
    Release1(ncst);
    Release1(rcst);
    Release1(nGrPoly);
    Release2(cadat, tcst);
    Release2(csm_Float, tcst);
    Release2(csm, tcst);
    // The environmental and species arrays exist only when their counts are positive; a null
    // pointer is skipped in any case.
    Release2(env, ncsm);
    Release2(envLabel, nenv);
    Release1(envVarType);
    Release1(relSelect);
    Release1(nGroupsP);
    Release2(groupRelP, kMaxPartitions);
    Release2(partLabel, kMaxPartitions);
    Release1(nGroupsCstP);
    Release1(whichLevelGrCstP);
    Release2(groupCstP, kMaxPartitions);
    Release2(partCstLabel, kMaxPartitions);
    Release1(partition_OTUs);
    Release2(spp, nSpp);
    Release2(sppRelMap, nSpp);
    Release2(cstSppMap, tcst);
    // Allocated by the loader on every load as well.
    Release2(cstTrack, nch);
    Release2(phylogenyRese, tcst);
    Release2(phylogenyData, tcst);
    Release1(phylogenyVarType);
    // The current partitions pointed into the released tables.
    groupRel = nullptr;
    grLabel = nullptr;
    groupCst = nullptr;
    grCstLabel = nullptr;
}

void BuildTraitCodes() {
    Release2(csm, tcst);
    if (csm_Float == nullptr || tcst < 1 || nch < 1) return;
    for (int i = 0; i < tcst; i++)
        for (int t = 0; t < nch; t++) {
            const float v = csm_Float[i][t];
            // NaN fails both comparisons; a fractional value differs from its floor.
            if (!(v >= 0.0f && v <= 99.0f) || v != std::floor(v)) return;
        }
    csm = dim2Dchar(tcst, 2 * nch + 1);
    for (int i = 0; i < tcst; i++)
        for (int t = 0; t < nch; t++) {
            const int v = static_cast<int>(csm_Float[i][t]);
            csm[i][2 * t] = static_cast<char>('0' + v / 10);
            csm[i][2 * t + 1] = static_cast<char>('0' + v % 10);
        }
}

bool TraitCodesAvailable() {
    if (csm != nullptr) return true;
    std::fprintf(out ? out : stdout,
                 "\nThis analysis needs every trait value as a whole number from 0 to 99: nothing was "
                 "computed.\n");
    return false;
}

void SessionFileName(char (&dst)[kFileNameSize], const char* suffix) {
    const int n = std::snprintf(dst, sizeof dst, "%s%s", sessionName, suffix);
    if (n < 0 || n >= kFileNameSize) RaiseError(TNX_FAIL_TO_OPEN);
}
