// The trait hierarchy and its fuzzy sets: OTUs described by two-character codes per trait are
// pooled into monothetic types (PFTs) level by level (level 1 pools the OTUs identical in all
// traits, each further level drops the last trait of the order), the communities are described
// by the performance of each level's types, and the types may be made fuzzy by their Gower
// similarity. The drivers HierarchicalAccum and HierarchicalAccumPolythetic write a report
// section and the intermediate file whichHier; the routines serve the community resemblance of
// the hierarchy, the character ranking and the classical analyses.
//
// Layouts: codes[o] is OTU o's string, trait t at characters 2t and 2t + 1; level data are
// levelData[l][c][k], the performance of type k of level l in community c; tracks are
// track[l][o], the type of OTU o at level l named by the 1-based row of its first member.
#ifndef TNXHIER_H
#define TNXHIER_H

// totals[c][0] (communities x 1, starting at 0) receives the sum of the community's column of
// cadat over the nOTU OTUs. With part 3 each positive cadat[o][c] becomes the community mean
// totals[c][0] / ncst[c]; with part 2 it loses that mean and the totals are set back to 0;
// part 1 leaves cadat as it is. A missing performance (-999) is left out of the total and of
// the count of the mean (DataPartitionL).
void DataPartition(int nOTU, float** totals);

// Puts the traits in the order `order` (1-based trait numbers): entry t of states, types,
// ranges and weights becomes the former entry order[t] - 1, and the two code characters of
// trait t of every OTU's string the former characters of trait order[t] - 1.
void Reorder(int nTraits, int nOTU, int* order, int* states, char** codes, int* types, float* ranges,
             float* weights);

// Builds nLevels levels of monothetic types. On entry nTypes[0] holds the number of OTUs (the
// rows of codes and data). Level l (0-based) pools the rows whose codes agree in their first
// 2 (nTraits - l) characters, each type named by its first member; level 1 starts from the
// OTUs, every later level from the types of the level before. On return nTypes[l] is the
// number of types of level l and track[l] each OTU's type; *levelCodes[l][k] holds the first
// 2 (nTraits - l) characters of type k's first member (types in the order of their first
// members). When data (OTUs x nComm, as cadat) is given, the performances of a pooled row are
// added into its type's row of data itself (in place) and *levelData[l][c][k] receives type
// k's performance in community c; with data null *levelData is set to null. A missing
// performance (-999) adds nothing to its type: in data a type's cell stays -999 only while
// none of its members is present there, and its level data hold 0 for it. Both arrays are
// allocated here: release them with FreeHierarchy.
void Hierarchy(int nLevels, int nTraits, int nComm, char** codes, char**** levelCodes, int* nTypes, float** data,
               float**** levelData, int** track);
void FreeHierarchy(int nLevels, int nComm, const int* nTypes, char*** levelCodes, float*** levelData);

// out[l][i][j] (i < j, caller's nComm x nComm matrices) = 1 - a / (a + b): a counts the types
// with performance above 0 in both communities, a + b those above 0 in either; 0 when no type
// is present in either (the binary Jaccard distance).
void Indeterminacy(int nLevels, int nComm, int* nTypes, float*** levelData, double*** out);

// S[l] (caller's nTypes[l] x nTypes[l]) = the Gower similarity of level l's types over the
// nch - l traits that define the level (both triangles), with countDoubleAbsence.
void FuzzySets(int nLevels, char*** levelCodes, int* nTypes, double*** S, int* types, float* ranges,
               float* weights);

// Sharpens similarities by the degree of fuzziness f: each s becomes s^(1/f) (in single
// precision) when f > 0; with f <= 0 it becomes 1 when s >= 1 and 0 otherwise.
// FuzzinessDegree applies it to every level's n x n matrix, and only when f < 1.
void FuzzinessDegree(int nLevels, int* nTypes, double*** S, float f);
void FuzzinessDegree_i(int n, double** S, float f);
void FuzzinessDegree_i(int n, float** S, float f);
void FuzzinessDegreeAnyMatrix(int rows, int cols, double** M, float f);

// Fuzzy-weighted performances that keep each row's total: for row r,
// tmp[k] = sum_j data[r][j] S[k][j], and the row becomes tmp[k] (sum data[r]) / (sum tmp).
// A row whose weighted total sum tmp is 0 is left as it is. FuzzyAdj applies it to every
// level (only level 1 unless isHierarchical is 1).
void FuzzyAdj(int nLevels, int nComm, int* nTypes, float*** levelData, double*** S);
void FuzzyAdj_i(int nRows, int n, float** data, double** S);
// The rectangular form: tmp[k] = sum_j data[r][j] M[j][k] over the nCols inputs and
// out[r][k] = tmp[k] (sum data[r]) / (sum tmp) for the nOut outputs; a row whose weighted total
// is 0 receives tmp unscaled.
void FuzzyAdjAnyMatrix(int nRows, int nCols, int nOut, float** data, float** out, float** M);

// pair: two community rows over n types. Only the types above 0 in at least one row take part:
// for each row tmp[k] = sum_j row[j] S[k][j] over them, and the row becomes
// tmp[k] (the row's total over them) / (sum tmp); the other types become 0. A row whose
// weighted total is 0 is left as it is.
void PairwiseFuzzyAdj(int n, float** pair, double** S);
void PairwiseFuzzyAdj(int n, float** pair, float** S);

// The pooled state of each group of OTUs on each of the first nch - start + 1 traits:
// types[o] is OTU o's group (1..nGroups); for group g (0-based) and trait t, stateCounts[g][t]
// receives the number of distinct states among the group's OTUs, states[g][t] and freq[g][t]
// (room for nStates[t] entries each) the states, read as whole numbers from their two
// characters, and their frequencies, and pooled[g][t] the most frequent state (the first on
// ties) for a nominal trait (chtype 2), else the frequency-weighted mean state rounded to a
// whole number (0 for a group without OTUs).
void PoolCSTs(int start, int** pooled, char** codes, int nOTU, int* nStates, int nGroups, int* types,
              int** stateCounts, int*** states, int*** freq);

// The drivers. Each needs the trait codes (csm): without them it prints why and writes
// nothing. They reorder the session's traits and pool cadat in place (dirtyOrig = 1), write
// the report section to whichPrinda (mode prindaMode) and the intermediate file whichHier,
// each whole; a file that cannot be opened raises code 4.
void HierarchicalAccum();
void HierarchicalAccumPolythetic();

#endif
