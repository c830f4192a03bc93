// Evaluation of structures: how well the stored community structure (the resemblances per level
// of the trait hierarchy, rese) explains the environment, the community groups, the structure of
// the level before, the ordination axes or the information structure, by the evaluation
// function cohe (1-7); its report section, the values file "Ro.txt" and the structure file.
#ifndef TNXEVAL_H
#define TNXEVAL_H

#include <cstdio>

// De (n x n, both triangles, zero diagonal) = the environmental dissimilarity of the n
// communities over the p variables of data (communities x variables, not changed) of types
// `types`: optEnvVarType 1 the Euclidean distance; 2, 4, or 5 without a nominal variable
// (temEnvQual 0) the Euclidean distance of the variables centred and scaled to unit sum of
// squares (CorrAdj); otherwise 1 - Gower similarity (countDoubleAbsence). Missing values (-999)
// are left out of every sum.
void EnvDissimilarity(int n, int p, float** data, int* types, double** De);
// The same computed on data itself, which is standardised (or its ordinal columns ranked) in
// place; range holds p scratch values.
void EnvDissimilarityInPlace(int n, int p, float** data, int* types, double** De, float* range);

// The congruence of two resemblance matrices of n communities: their matrix correlation, or for
// fewer than 3 communities 1 - |a - b| / max(|a|, |b|) of the single cells (1 when equal).
double Congruence(int n, double** a, double** b);

// The evaluation function cohe of one structure b (ncsm x ncsm): 1 the congruence of a (De) with
// b, b made squared distances first when it holds correlations (rese_opt 5, reseTypeEv not 3);
// 3 the divergence of the groups of groupRel among the communities whose selection flag is 1 by
// groupDissMeth (1 average dissimilarity, 2 nearest neighbour, 3 between-group sum of squares,
// 4 between / within, 1.0 when the between part is not below the total); 4 the congruence of b
// with a; any other function 0. Functions 1, 3 and 4 append their structure to the structure
// file while Evaluation keeps it open (never under the randomisation tests, optmain 'D'). NaN when
// the groups leave no pair to compare.
double EvalStruct(double** a, double** b, int* selection);

// Function 1 for the first `levels` matrices of rese: values[l] = EvalStruct(De, rese[l]).
void VegEnvCoherence(int levels, int n, int p, float** e, double*** matrices, double* values);
// Function 2: De against the Euclidean distances of the communities over the first
// axesChosen[l] (asked here) and over all axesAll[l] ordination axes of each level of the scores
// file; returns the number of levels evaluated (at most `levels`; the arrays hold nch + 1 entries
// at least).
int VegOrdiEnvCoherence(int levels, int n, int p, float** e, double* valuesChosen, double* valuesAll,
                        int* axesChosen, int* axesAll);
// Function 3 for every pair of groups g < h (1-based): out[g - 1][h - 1] = the divergence of the
// two groups alone.
void PairwiseGrComparison(int n, int groupCount, int* groupOf, double** matrix, double** out);
// Function 5: per level of the scores file "Hierarchical level: %d\n" and the correlations of
// its axes with the environmental variables (ScoreCorr, "Variable"), on f.
void CorrOrdScorEnvVar(FILE* f, int levels, int n, int p, float** e, int* axes);

// Runs the evaluation function cohe on the loaded structure and appends the section to
// whichPrinda; functions 1, 2, 3, 4 and 6 write the value of each level to whichRo, unless a value
// is undefined (then hasRo becomes 0 and no values file is written). With fewer than 2
// communities, or without the scores file (functions 2, 5) or the intermediate file (6), it says
// so, writes nothing and returns false; true once its section is appended.
bool Evaluation();

#endif
