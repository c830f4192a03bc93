// Settings dialogs of the classical analyses (ordination, clustering, evaluation of structures,
// profiles, histograms, scattergrams, exports) and the reader of the stored community
// resemblances. Each dialog accepts exactly the options it prints and writes the options of the
// global data model, or the settings below, which only these analyses use.
//
// Indices stored here are 0-based (communities, groups, axes, traits, states) unless noted.
#ifndef TNXIFSETCLASSIC_H
#define TNXIFSETCLASSIC_H

#include <vector>

extern int whichLevelRel;         // hierarchy level of the community resemblances used
extern int printOrdScores;        // 'y' / 'n'
extern int printOrdCorrelations;  // 'y' / 'n'
// Profile: source (6 nominal, 7 partial resemblances, 8 probabilities of nominal resemblances),
// transformation (0 none, 1 squared correlation, 2 stress function), vertical scale (1 from the
// data, 2 minRoFix .. maxRoFix), horizontal extent in communities.
extern int roFrom, sqRoOpt, whichScale;
extern float minRoFix, maxRoFix, rangeHorFix;
extern int relPair[2];            // a pair of communities, or of groups (histogram kind 2)
// Histogram kind: 3 nominal resemblances of the pair, 2 evaluation function of the pair of
// groups, 1 evaluation function of the groups chosen for the evaluation; and its level.
extern int ndFrom, whichLevelHist;
extern int scoreOpt;              // scores of the scattergram: 1 ordination, 2 concentration analysis
// Scattergram: the two axes; per level (nch entries) 1 when it is plotted; 1 communities only or
// 2 biplot; point labels 0..5 (0 none, 1 communities, 2 community groups, 3 environmental
// variable, 4 weight of a trait state, 5 performance of a type group); the variable, trait,
// state and type group of the labels (type group -1: all), and 1 as it is / 2 as a class; the
// community group shown (-1: all); connection 0 none, 1 all communities, 2 within groups.
extern int whichAxis[2];
extern int* whichLevel;
extern int plotType, whichSctLabels, whichEnv, whichChar, whichChState, whichCstGr, howEnv;
extern int whichGrScatter, connectPtScatterOpt;

// A numbered menu: each option's line, "Type option no.: ", and one of the printed numbers.
struct MenuOption {
    int number;
    const char* text;
};
int AskOption(const std::vector<MenuOption>& options);

// The community-partition and OTU-partition menus, then printSpp.
void SettingsTable();
// "<what> of communities(R) or PFTs(C)? "; sets whichObj to 'r' or 'c' and returns it.
int SettingWhichObj(const char* what);
// True when the session holds the stored community resemblances of `type` (1 nominal, 2 partial,
// 3 probabilities of the nominal ones): their flag is on and their file can be read.
bool ResemblancesStored(int type);
// Which stored community resemblances to use: 1 nominal, 2 partial, 3 probabilities of the
// nominal ones (only those that exist are offered: partial ones of a crisp, monothetic,
// hierarchical analysis of 2 traits or more, probabilities between adjacent units, each with its
// file readable). Stores and returns it.
int SettingsVegOrdination(int* option);
// The printout questions of an ordination.
void SettingsOrdOutput(const char* descriptorWord);
// The environmental resemblance: the vector transformation (asked only for quantitative
// variables, or several kinds without a nominal one; otherwise envVecTrOpt 0), the report mode of
// whichEnvPrinda and the printout questions (printNRese, printReseFree).
void SettingsEnvRese();
// The vector-transformation menu (0 none, 1-6 centring and normalisation within `rows` or
// `columns`) into *option.
void SettingsVectorTransf(int* option, const char* rows, const char* columns);
// The clustering method of the environmental resemblance (1-4) into clusMeth.
void SettingsEnvCluster();
// The ranking criterion of the environmental variables into optEnvStruct: only the criteria
// shown are accepted (2 with stored community resemblances whose file can be read, 3 with two
// groups or more, 4 with the community scores file); any other is asked again. Criterion 2 also
// asks the resemblance type into reseTypeERank.
void SettingsEnvRank();
// The level of an environmental profile: *levels holds the number of levels (at least 1) and
// receives the level chosen, 1 .. *levels.
void SettingsEnvProfile(int* levels);
// Reads the stored resemblances of type 1 (whichNRese), 2 (whichPRese) or 3 (whichProbN) into
// rese: per level (nlev when isHierarchical, else 1) the upper triangle with its diagonal, row
// by row. lowerOnly false fills the whole square; true only its lower half (row >= column).
// A file that cannot be opened is code 4; one that ends early code 2.
void ReadResemblance(int type, bool lowerOnly);
void SettingsVegCluster();
void SettingsProfile();
void SettingsProfileScale();
void SettingsHistogram();
void SettingsWhichScatter();
void SettingsScatter();
// The groups of the current community partition used in computations (relSelect); returns
// the number chosen (at least 1 when the partition has groups).
int SelectGroups();
// The structure evaluation function into cohe: functions 1, 3, 4 and 7, which read the stored
// community resemblances, are shown and accepted only while the session holds them
// (ResemblancesStored(1)); 3 needs two groups, 7 one. A function not accepted is asked again.
// Then the group method and groups (3, 7), and the level and resemblance type (1, 3, 4, 7).
void SettingsEvaluation();
// Per level the number of ordination axes (0..rank[level]) into dims[level].
void SettingsCoherence(int* rank, int* dims);
// The export format: 1 or 2.
void SettingsExportData(int* format);

// The randomisation test's dialog: the null model (test 1 takes model 1, test 3 model 4), the keep
// flags of the random compositions, the traits a random taxon passes on (whatRndCh, nch entries
// by position in the trait order nchor, allocated by the caller), the iterations (1 and above),
// the seed, and with 2 iterations or more the means and deviations (test 1) and the null
// distributions (tests 1 and 3). The window and adjacency of the test are its own (rndWindow,
// rndAdjacent, both 1): the session's SMWSize and adjacentRelOpt stay as they are. Returns true.
extern int rndWindow;
extern int rndAdjacent;
bool SettingsRnd();

#endif
