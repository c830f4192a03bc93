// The global data model of the program.
//
// Every piece of program state lives here: the loaded data set of the session with its
// descriptors and labels, the stored partitions, the options of the analyses, the
// preferences, the names and flags of the session's files, and the option label tables used
// in reports. TNXGLOB.cpp defines them (data only) and holds the three routines that set and
// reset them.
//
// The console state (`in`, `out`, `outm`, `createMacro`, `runMacro`) and the preference
// `maxColsPrint` belong to the foundation (ConsoleReaders.h, qwlibOut.h); they are included
// here so that every user of the data model sees them, and `InitGlobals` sets their defaults.
//
// Matrices are tables of row pointers from the foundation's allocators (zero-filled) and are
// released with the matching release routine and the same leading dimensions.
#ifndef TNXGLOB_H
#define TNXGLOB_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "foundation/ConsoleReaders.h"
#include "foundation/qwlibOut.h"

// ---------------------------------------------------------------------------------------
// Sizes of names and labels.
// ---------------------------------------------------------------------------------------

// A session name keeps at most this many characters.
constexpr int kSessionNameMax = 21;
// Buffers of session names (the name plus its terminator, with room to spare).
constexpr int kSessionNameSize = 42;
// Buffers of file names. The longest name built is a 21-character session name plus the
// 32-character suffix "ChRank_AlphaBetaNicheConserv.txt" (53 characters); the data dialog
// builds names from another session's name of at most 31 characters plus "Formda.txt".
constexpr int kFileNameSize = 64;
// Raw answer to the session-name prompt (read bounded to kTempNameSize - 1 characters).
constexpr int kTempNameSize = 4100;
// Labels of traits, communities and variables: 10 characters and the terminator.
constexpr int kLabelSize = 11;
// Names of stored partitions (20 characters) and their group labels (4 characters).
constexpr int kPartLabelSize = 21;
constexpr int kGroupLabelSize = 5;
// Stored partitions of each family.
constexpr int kMaxPartitions = 10;
// Species names: 70 characters and the terminator.
constexpr int kSpeciesNameSize = 71;
// Name of the data set and of the environmental data (the merge appends to both).
constexpr int kDataNameSize = 320;

// ---------------------------------------------------------------------------------------
// 1. Counts of the data set.
// ---------------------------------------------------------------------------------------
extern int nch;      // traits
extern int tcst;     // populations (OTUs)
extern int ncsm;     // communities (releves)
extern int nenv;     // environmental variables; 0 = no matrix E
extern int nSpp;     // species names; 0 = none
extern int nClados;  // phylogenetic variables (phylogeny as OTUs by variables)

// ---------------------------------------------------------------------------------------
// 2. Matrices, vectors and descriptors of the data set.
// ---------------------------------------------------------------------------------------
extern float** csm_Float;           // B [tcst][nch]; -999 = missing
// B as two-character trait codes, one string per OTU [tcst][2 nch + 1] (trait t at characters
// 2t, 2t + 1): kept from an older-form file, else built from B when every value is a whole
// number 0..99 (7 -> "07"); null when B cannot be coded so (see TraitCodesAvailable).
extern char** csm;
extern float** cadat;               // W transposed [tcst][ncsm]; -999 = missing
extern float** env;                 // E [ncsm][nenv]; -999 = missing
extern double** phylogenyRese;      // F [tcst][tcst]
extern float** phylogenyData;       // F as OTUs by variables [tcst][nClados]
extern int* phylogenyVarType;       // [nClados]
extern char dataName[kDataNameSize];
extern char** chLabel;              // [nch][kLabelSize]
extern int* chtype;                 // [nch] 1 dichotomous, 2 nominal, 3 interval/ratio, 4 ordinal
extern float* chrange;              // [nch]
extern int* onsta;                  // [nch] number of states
extern int* traitGroups;            // [nch]
extern int hasTraitGroups;
extern char** reLabel;              // [ncsm][kLabelSize]
extern int* ncst;                   // [ncsm] OTUs recorded in each community
extern float ca_code[10];           // cover-abundance code values (7 used)
extern char** envLabel;             // [nenv][kLabelSize]
extern int* envVarType;             // [nenv] 1 binary, 2 nominal, 3 quantitative, 4 ordinal
extern int optEnvVarType;           // 1..5, kind of matrix E
extern int temEnvBin, temEnvQual, temEnvQuant;
extern char envName[kDataNameSize];
extern char** spp;                  // [nSpp][kSpeciesNameSize]
extern char whichSpp[kFileNameSize];
extern char** sppRelMap;            // [nSpp][ncsm] '0'/'1'
extern char** cstSppMap;            // [tcst][nSpp] '0'/'1'
extern bool hasPhylogeny;
extern int phylogenyMatrixType;     // 1 similarities, 2 OTUs by variables, 3 dissimilarities
extern int SMWSize;                 // split moving window size

// ---------------------------------------------------------------------------------------
// 3. Working arrays allocated by the loader with the data set.
// ---------------------------------------------------------------------------------------
extern float* weight;               // [nch]
extern int* nchor;                  // [nch] 1-based trait order
extern int* nGrPoly;                // [nch] types per level
extern int* rcst;                   // [nch] columns of the community-level matrix per level
extern int* relSelect;              // [ncsm]
extern int* partition_OTUs;         // [tcst] 1-based type of each OTU
extern int** cstTrack;              // [nch][tcst]

// ---------------------------------------------------------------------------------------
// 4. Partitions: communities and OTUs, at most kMaxPartitions stored of each.
// ---------------------------------------------------------------------------------------
extern int nPart;
extern char** partLabel;            // [10][kPartLabelSize]
extern int* nGroupsP;               // [10]
extern int** groupRelP;             // [10][ncsm]
extern char*** grLabelP;            // [10][ncsm][kGroupLabelSize]
extern int whichPart;
extern int nGroups;
extern int* groupRel;               // row whichPart of groupRelP
extern char** grLabel;              // slot whichPart of grLabelP
extern int nPartCst;
extern char** partCstLabel;         // [10][kPartLabelSize]
extern int* nGroupsCstP;            // [10]
extern int** groupCstP;             // [10][tcst]
extern char*** grCstLabelP;         // [10][tcst][kGroupLabelSize]
extern int* whichLevelGrCstP;       // [10]
extern int whichCstPart;
extern int nCstGroups;
extern int* groupCst;
extern char** grCstLabel;
extern int whichLevelGrCST;
extern int whichPartAOC, whichPartCstAOC;

// ---------------------------------------------------------------------------------------
// 5. Options of the functional analysis, the trait-subset search and the classical analyses.
// ---------------------------------------------------------------------------------------
extern int traitBasedOpt;           // 1 composition of types, 2 trait averages, 3 raw W
extern int poolCSTopt;              // 0 none, 1 monothetic, 2 polythetic
extern int clusMethPoolCSTs;        // 0 user's partition, 1..5 clustering methods
extern int reseCSTopt;              // 1 Gower, 2 Euclidean
extern int fuzzy;                   // 0 crisp, 1 global, 2 pairwise, 3 fuzzy belonging
extern float fuzziness;
extern int fuzzyPhyl;
extern int part;                    // 1 mixed, 2 quantitative, 3 qualitative
extern int opt_ro;                  // 1 Mantel, 2 Procrustes, 3 RV
extern int rese_opt, reseCstOpt;    // codes 1-10 of rese_optInfo
extern int whichObj;                // 'r' communities, 'c' types
extern int whichLevelCst;
extern int isHierarchical;
extern int niter;
extern bool optRndTests;
extern int optRestrictPermutNullModel;
extern int* nestingMembershipOTUs;  // [tcst], allocated per run by the settings dialog
extern int optWeightedNullModel;
extern int seedOpt;                 // 1 clock, 2 user's seed
extern std::uint32_t rseed;
extern bool optUnitTotalAdjust1, optUnitTotalAdjust2;
extern bool optCoVariable;
extern bool includePhylogeny;
extern int* partition_OTUs_Phyl;    // [tcst], allocated per run by the settings dialog
extern int nTaxa;
extern bool OTUsTypesAreSpecies;
extern int printDetail;
extern int printNRese, printReseFree, printPRese;  // 'y'/'n'
// 'y'/'n' print options of the trait hierarchy: species of each type, contingency tables,
// indeterminacy matrices, similarity of the types.
extern int printSpp, princont, print_indet, print_gindex;
extern char prindaMode[4];          // "w" or "a"
extern int opt_struct;              // trait-subset criterion 1..24
extern int rankingAlgorithm;        // 1 stepwise, 2 all combinations
extern int nMinCSTGroupsChRank, nMaxCSTGroupsChRank;
extern int nMinTraitsChRank, nMaxTraitsChRank;
extern char printRankIntermedResults;
// Character ranking: the number of CST groups its redundancy cuts the types into (default 5), and
// the redundancy method printed in its reports (1 next lower level, 2 level one, the default).
extern int nCSTGroupsChRankRedundancy;
extern int redundancyMeth;
extern int rndTestOpt;

// Classical analyses.
extern int optEnvStruct, cohe, groupDissMeth, empir_opt, keepRichness, keepReleveTotal;
extern int envVecTrOpt, clusMeth;
extern int reseTypeOrd, reseTypeClus, reseTypeEv, reseTypeRnd, reseTypeERank;
extern int doDistrib, adjacentRelOpt;
// Randomisation tests: traits drawn together (1) or each on its own (0); the traits whose states a
// random taxon passes on, by position in the user's trait order [nch]; means and deviations of
// the random resemblances asked (1); the two-character taxa of every OTU and trait, in the trait
// order of the test [tcst][nch]. whatRndCh and aprioriList are allocated by the test.
extern int chDependency;
extern int* whatRndCh;
extern int doMeanStOpt;
extern int** aprioriList;
// Analysis of variance of stored resemblances: the stored community partitions taken as factors
// [nFactors], whether each is nested in the one before [nFactors], the coefficients of each
// factor's contrasts [nFactors][nMaxContrasts][groups of the factor], their counts [nFactors],
// and whether any factor is nested. Allocated by the test that asks them.
extern int* whichFactors;
extern int* nestedFactors;
extern int*** contrastCoef;
extern int* nContrasts;
extern int nFactors, nMaxContrasts, nesting;

// Stored community resemblances: nlev matrices, each at least ncsm by ncsm, allocated by the
// analysis that reads them.
extern double*** rese;
extern int nlev;
// The levels of rese that an analysis uses: every one over a hierarchy, the first otherwise.
inline int ReseLevels() { return isHierarchical == 1 ? nlev : 1; }

// ---------------------------------------------------------------------------------------
// 6. Preferences (file "TARNEX.prf"); `maxColsPrint` lives in the foundation.
// ---------------------------------------------------------------------------------------
extern int isHierarchicalPref;
extern float scatterHSize, scatterVSize;
extern int scatterPointSize;
extern float profileHSize, profileVSize;
extern int profileType;
extern char drawProfPtsOpt;
extern int profilePointSize;
extern float treeHSize, treeVSize;
extern int sDigits;
extern int maxComponents;
extern char saveStruct, saveRndData, showMemory;
extern int countDoubleAbsence;
extern int sqrtDissimOpt_RaoTraits, sqrtDissimOpt_RaoPhyl;
extern int BealsIncludeOpt;
extern double overfitFactorPCARegr;
extern int twoTailedTestMantel;
extern int nProcessors;
extern float biplotCorrThreshold;

// ---------------------------------------------------------------------------------------
// 7. Session, console and file state.
// ---------------------------------------------------------------------------------------
extern char sessionShortName[kSessionNameSize];
extern char sessionName[kSessionNameSize];
extern char volumeName[kFileNameSize];       // always empty: files lie in the current directory
extern char tempName[kTempNameSize];
extern char tempSession[kFileNameSize];      // another session's name (data dialog)
extern char whichTrack[kFileNameSize];
extern char whichFormda[kFileNameSize];
extern char whichStructures[kFileNameSize];
extern char whichRndData[kFileNameSize];
extern char whichRnd[kFileNameSize];          // null distributions of a randomisation test
// Calendar time at the start of a long analysis (reports print the elapsed seconds from it).
extern std::time_t time0;

// Result files; each holds "NULL" while the session has no such file.
extern char whichPrinda[kFileNameSize];
extern char whichHier[kFileNameSize];
extern char whichNRese[kFileNameSize];
extern char whichPRese[kFileNameSize];
extern char whichCstRese[kFileNameSize];
extern char whichScores[kFileNameSize];
extern char whichChorder[kFileNameSize];
extern char whichProbN[kFileNameSize];
extern char whichProbRo[kFileNameSize];
extern char whichRo[kFileNameSize];
extern char whichComplexity[kFileNameSize];
extern char whichVelocity[kFileNameSize];
extern char whichRoVelComplex[kFileNameSize];
extern char whichEnvPrinda[kFileNameSize];
extern char whichEnvRese[kFileNameSize];
extern char whichEnvScores[kFileNameSize];
extern char whichEnvRank[kFileNameSize];
extern char whichMulva[kFileNameSize];
extern char whichOrbald[kFileNameSize];
extern char whichRelReseNoDiag[kFileNameSize];
extern char whichReClus[kFileNameSize];
extern char whichCstClus[kFileNameSize];
extern char whichAOCScor[kFileNameSize];

// Result flags (0/1).
extern int hasHier, hasNRese, hasPRese, hasCstRese, hasScores, hasProbN, hasProbRo, hasRo;
extern int hasComplexity, hasVelocity, hasRoVelComplex, hasRoVelComplexPROB;
extern int hasEnvRese, hasEnvScores, hasEnvRank;
extern int hasReClus, hasCstClus, hasAOCScor;
extern int hasVegOrdiCorrel, hasEnvOrdiCorrel, hasCstScores, hasChorder;

extern int dirtyOrig;               // 1 after an analysis: reload before the next menu
extern int optmain1;                // last letter of the session menu
extern int optmain;                 // last letter of the community-structures menu
extern FILE* trackFp;               // the track file while it is open

// Fixed texts.
extern const char lineL[];          // 70 dashes
extern const char version[];        // the 70-character version line
extern const char versionFormda_Traits[];   // "08Jan18"
extern const char versionFormda[];          // "97Sep08"
extern const char versionTrack[];           // "07Jul17"
extern const char versionPref[];            // "18Nov2016"
extern const char TARNEXPrefsName[];        // "TARNEX.prf"

// Suffixes of the session files (appended to the session name).
extern const char prindaExt[];      // "Prinda.txt"
extern const char hierExt[];        // "Hie.txt"
extern const char nReseExt[];       // "NRe.txt"
extern const char pReseExt[];       // "PRe.txt"
extern const char CstReseExt[];     // "CRe.txt"
extern const char scoresExt[];      // "Sco.txt"
extern const char chRankExt[];      // "ChRank.txt"
extern const char chRankFExt[];     // "ChFRank.txt"
extern const char probNExt[];       // "PrN.txt"
extern const char probRoExt[];      // "PRo.txt"
extern const char rndDataExt[];     // "RDa.txt"
extern const char formdaExt[];      // "Formda.txt"
extern const char trackExt[];       // "Trk.txt"
extern const char structExt[];      // "Str.txt"
extern const char roExt[];          // "Ro.txt"
extern const char complexityExt[];  // "Complexity.txt"
extern const char velocityExt[];    // "Velocity.txt"
extern const char roVelComplexExt[];// "RoVelComplex.txt"
extern const char ePrindaExt[];     // "Prinda.txt"
extern const char eReseExt[];       // "ERe.txt"
extern const char eScoresExt[];     // "ESc.txt"
extern const char eRankExt[];       // "ERk.txt"
extern const char mulvaExt[];       // "Mulva5.txt"
extern const char orbaldExt[];      // "Orbald.txt"
extern const char reseNoDiagExt[];  // "Rese.txt"
extern const char rndExt[];         // ".Rnd"
extern const char reClusExt[];      // ".RCl"
extern const char cstClusExt[];     // ".CCl"
extern const char aocExt[];         // ".AOC"

// ---------------------------------------------------------------------------------------
// Option labels printed in reports. fuzzyInfo, clusMethInfo and YesNotInfo are indexed by the
// code itself, every other table by the code minus 1. Read them through OptionLabel, which
// stays inside the table.
// ---------------------------------------------------------------------------------------
extern const char* const partInfo[3];
extern const char* const fuzzyInfo[4];
extern const char* const rese_optInfo[10];
extern const char* const rese_typeInfo[3];
extern const char* const clusMethInfo[6];
extern const char* const opt_roInfo[3];
extern const char* const rankingAlgorithmInfo[2];
extern const char* const poolCSToptInfo[2];
extern const char* const reseCSToptInfo[2];
extern const char* const traitBasedOptInfo[2];
extern const char* const YesNotInfo[2];
extern const char* const redundancyMethInfo[2];
extern const char* const vecTrOptInfo[7];
extern const char* const optEnvStructInfo[5];
extern const char* const coheInfo[7];
extern const char* const groupDissMethInfo[4];
extern const char* const empir_optInfo[5];
extern const char* const keepRichnessInfo[2];
extern const char* const keepReleveTotalInfo[2];
extern const char* const opt_structInfo[24];   // criteria 1..24

// The entry `index` of a label table, or "" when the index lies outside it.
template <std::size_t N>
inline const char* OptionLabel(const char* const (&table)[N], int index) {
    return (index >= 0 && static_cast<std::size_t>(index) < N) ? table[index] : "";
}

// ---------------------------------------------------------------------------------------
// Setting and resetting the model.
// ---------------------------------------------------------------------------------------

// Sets every option and preference to its default; called once at start-up, before the
// preferences file is read.
void InitGlobals();

// Forgets the session's results: result names to "NULL", result flags to 0, no partitions.
void FreeGlobals1();

// Builds dst = sessionName + suffix, the name of one of the session's files. The name holds
// at most 21 characters and the longest suffix 32, so it always fits; a name that would not
// fit is a file that cannot be opened (code 4).
void SessionFileName(char (&dst)[kFileNameSize], const char* suffix);

// Releases the loaded data set (everything the loader allocates, the phylogeny and the
// per-trait working arrays included) and nulls the pointers, so that it can run twice.
void FreeGlobals2();

// Builds csm from csm_Float when every trait value is a whole number 0..99; otherwise csm stays
// null. Called by the loader when the file held B as numbers.
void BuildTraitCodes();

// True when the trait codes exist. Otherwise prints, on the console, that the analysis needs
// every trait value as a whole number from 0 to 99, and returns false: the caller then writes
// nothing.
bool TraitCodesAvailable();

#endif
