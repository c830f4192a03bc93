// Single-statistic permutation tests of the trait-based approach. Mantel family: ro(TE) and its
// partials (trait rows permuted), ro(XE) and ro(XE.T) and their partials (type rows permuted),
// the multi-statistic test, the group-label and the phylogenetic-belonging tests. Beside it:
// limiting similarity per community, the Procrustes tests and the redundancy test.
//
// Common to every member. The arguments are read, never kept; the only state used is the
// program's random generator, which the caller seeds. iterations counts the observed
// arrangement (iterations - 1 randomisations; below 1 it behaves as 1). A probability is the
// number of arrangements, the observed one included, whose statistic is larger than the
// observed one or equal to it within one single-precision step, divided by iterations (upper
// tail, signs kept). With fewer than 2 communities (or no OTU) every statistic is 0, every
// probability 1 and nothing is drawn. W is communities x OTUs; a cell > 0 is an occurrence.
// The community resemblance option (1-10) is translated by TranslateReseOpt_TARNEX_ORBALD;
// the options without a coefficient (1, 2, 4) leave the resemblance 0, so every arrangement
// ties and P = 1. Resemblance matrices are read above the diagonal (the cell [0][1] with 2
// communities, where the correlation of two resemblances is 1 - |a - b| / max(|a|, |b|)).
// weighted: the null model draws the OTUs from the list of occurrences (a frequent OTU lends
// its rows more often); otherwise the OTUs are permuted. With print the intermediate results
// go to stream; every matrix handed in is as it was on return, except S where stated.
#ifndef TNX_QWLIBPERMTESTS_H
#define TNX_QWLIBPERMTESTS_H

#include <cstdio>

// ---------------------------------------------------------------- trait rows permuted

// ro(TE): the correlation of DT, the resemblance (by reseOpt) of the rows of T = W x B over the
// selected traits (select[j] == 1) with its columns divided by their length, and DE; held in
// single precision. The 13-argument forms normalise the columns only when normalise is set.
double Prob_roTE(int iterations, int otus, int traits, int communities, float** B, double** W, double** DE,
                 int* select, int reseOpt, bool print, FILE* stream, bool weighted);
double Prob_roTE(int iterations, int otus, int traits, int communities, float** B, float** W, double** DE,
                 int* select, int reseOpt, bool print, FILE* stream, bool weighted);
double Prob_roTE(int iterations, int otus, int traits, int communities, float** B, double** W, double** DE,
                 int* select, int reseOpt, bool print, FILE* stream, bool weighted, bool normalise);
double Prob_roTE(int iterations, int otus, int traits, int communities, float** B, float** W, double** DE,
                 int* select, int reseOpt, bool print, FILE* stream, bool weighted, bool normalise);

// ro(TE.C) = pc(r(TE), r(TC), r(EC)), single precision; DC from the ecological covariables.
double Prob_roTE_C(int iterations, int otus, int traits, int communities, float** B, double** W, double** DE,
                   double** DC, int* select, int reseOpt, bool print, FILE* stream, bool weighted);

// ro(TE.P) = pc(r(TE), r(TP), rPE), double; rPE the caller's correlation of DP and DE. The
// 13-argument form draws a fresh permutation for every randomisation (no weighted model); the
// 16-argument form does not use its third and fourth arguments.
double Prob_roTE_P(int iterations, int otus, int traits, int communities, float** B, double** W, double rPE,
                   double** DE, double** DP, int* select, int reseOpt, bool print, FILE* stream);
double Prob_roTE_P(int iterations, int otus, int traits, int communities, float** B, double** W, double rPE,
                   double** DE, double** DP, int* select, int reseOpt, bool print, FILE* stream, bool weighted);
double Prob_roTE_P(int iterations, int otus, int** unused, int unusedCount, int traits, int communities, float** B,
                   double** W, double rPE, double** DE, double** DP, int* select, int reseOpt, bool print,
                   FILE* stream, bool weighted);

// ro(TE.PC), the correlation of T and E with P and C removed: pc(r(TE.C), r(TP.C), rPE_C),
// r(TE.C) = pc(r(TE), r(TC), r(EC)), r(TP.C) = pc(r(TP), r(TC), r(PC)); rPE_C the caller's
// partial correlation of DP and DE controlling DC. Double.
double Prob_roTE_PC(int iterations, int otus, int traits, int communities, float** B, double** W, double rPE_C,
                    double** DE, double** DC, double** DP, int* select, int reseOpt, bool print, FILE* stream,
                    bool weighted);

// ---------------------------------------------------------------- type rows permuted

// ro(XE) = r(DE, DX) and ro(XE.T) = pc(ro(XE), r(XT), rTE), DX the resemblance of the rows of
// X = W x U, rTE the caller's correlation of DT and DE; pXE and pXE_T receive the two
// probabilities. Returns true. Float U and W: single precision; double: double. The 14-argument forms draw a fresh
// permutation for every randomisation (no weighted model).
bool Prob_ro_XE_T(int iterations, int otus, int types, int communities, float** U, float** W, float rTE,
                  double** DT, double** DE, double* pXE, double* pXE_T, int reseOpt, bool print, FILE* stream);
bool Prob_ro_XE_T(int iterations, int otus, int types, int communities, float** U, float** W, float rTE,
                  double** DT, double** DE, double* pXE, double* pXE_T, int reseOpt, bool print, FILE* stream,
                  bool weighted);
bool Prob_ro_XE_T(int iterations, int otus, int types, int communities, double** U, double** W, double rTE,
                  double** DT, double** DE, double* pXE, double* pXE_T, int reseOpt, bool print, FILE* stream);
bool Prob_ro_XE_T(int iterations, int otus, int types, int communities, double** U, double** W, double rTE,
                  double** DT, double** DE, double* pXE, double* pXE_T, int reseOpt, bool print, FILE* stream,
                  bool weighted);
// Double U with float W; double statistics.
bool Prob_ro_XE_T(int iterations, int otus, int types, int communities, double** U, float** W, double rTE,
                  double** DT, double** DE, double* pXE, double* pXE_T, int reseOpt, bool print, FILE* stream,
                  bool weighted);

// The 15-argument form is the double Prob_ro_XE_T with the weighted model. The 20-argument form
// holds X in double; statistic 1 correlates resemblances, 2 takes ro(XE) and r(XT) as the
// Procrustes correlations of X with E and with T (no resemblance computed). Another statistic
// computes nothing, leaves both probabilities 1 and returns false.
bool Prob_ro_PE_X(int iterations, int otus, int types, int communities, double** U, double** W, double rTE,
                  double** DT, double** DE, double* pXE, double* pXE_T, int reseOpt, bool print, FILE* stream,
                  bool weighted);
bool Prob_ro_PE_X(int iterations, int otus, int types, int traits, int env, int communities, double** U, double** W,
                  double rTE, double** T, double** DT, double** E, double** DE, double* pXE, double* pXE_T,
                  int reseOpt, bool print, FILE* stream, bool weighted, int statistic);

// ro(XE_C) = pc(r(XE), r(XC), r(EC)) and ro(XE.TC) = pc(ro(XE_C), ro(XT_C), rTE_C), ro(XT_C) =
// pc(r(XT), r(XC), r(TC)); rTE_C the caller's partial correlation of DT and DE controlling DC.
bool Prob_ro_XE_TC(int iterations, int otus, int types, int communities, double** U, double** W, double rTE_C,
                   double** DT, double** DE, double** DC, double* pXE_C, double* pXE_TC, int reseOpt, bool print,
                   FILE* stream, bool weighted);

// ro(XE.P) = pc(r(XE), r(XP), rPE); returns its probability.
double Prob_ro_XE_P(int iterations, int otus, int types, int communities, double** U, double** W, double rPE,
                    double** DE, double** DP, int reseOpt, bool print, FILE* stream, bool weighted);

// ro(XE.TP) = pc(ro(XE.P), ro(XT.P), rTE_P) with ro(XE.P) = pc(r(XE), r(XP), rPE) and ro(XT.P) =
// pc(r(XT), r(XP), rPT); returns its probability. The 15-argument form draws a fresh
// permutation for every randomisation (no weighted model).
double Prob_ro_XE_TP(int iterations, int otus, int types, int communities, double** U, double** W, double rPE,
                     double rPT, double rTE_P, double** DT, double** DE, double** DP, int reseOpt, bool print,
                     FILE* stream);
double Prob_ro_XE_TP(int iterations, int otus, int types, int communities, double** U, double** W, double rPE,
                     double rPT, double rTE_P, double** DT, double** DE, double** DP, int reseOpt, bool print,
                     FILE* stream, bool weighted);

// ro(XE.TPC), X and E with T, P and C removed: pc(ro(XE.PC), ro(XT.PC), rTE_PC), ro(XE.PC) =
// pc(ro(XE_C), ro(XP_C), rPE_C), ro(XT.PC) = pc(ro(XT_C), ro(XP_C), r(PT.C)), r(PT.C) =
// pc(rPT, r(PC), r(TC)); returns its probability.
double Prob_ro_XE_TPC(int iterations, int otus, int types, int communities, double** U, double** W, double rPE_C,
                      double rPT, double rTE_PC, double** DT, double** DE, double** DC, double** DP, int reseOpt,
                      bool print, FILE* stream, bool weighted);

// ---------------------------------------------------------------- several statistics at once

// ro(XE), ro(TE), ro(XE.T), ro(RE) and ro(XE.TR) under one permutation moving B, U and S
// together; R is the Rao entropy of each community over S (similarities, dissimilarity
// sqrt(1 - s)) as an equivalent number of OTUs 1 / (1 - Q); ro(XE.TR) = pc(ro(XE.R), ro(XT.R),
// ro(TE.R)). The correlations with R are matrix correlations even for 2 communities. S's upper
// triangle is copied into its lower one. The 23-argument form takes statistic 1 (matrix
// correlations of resemblances), 2 (Procrustes) or 3 (RV of T, X, R and E themselves); another
// statistic computes nothing, leaves the five probabilities 1 and returns false.
bool Prob_ro_Traits(int iterations, int traits, int* select, int otus, int types, int communities, float** B,
                    float** S, double** U, double** W, double** DE, double* pXE, double* pTE, double* pXE_T,
                    double* pRE, double* pXE_TR, int reseOpt, bool print, FILE* stream, bool weighted);
bool Prob_ro_Traits(int iterations, int traits, int* select, int otus, int types, int env, int communities,
                    float** B, float** S, double** U, double** W, float** E, double** DE, double* pXE, double* pTE,
                    double* pXE_T, double* pRE, double* pXE_TR, int reseOpt, bool print, FILE* stream,
                    bool weighted, int statistic);

// ---------------------------------------------------------------- labels and taxa

// ro(XE.T) with the types given as one label per OTU: U is the fuzzy belonging from S
// (similarities, or dissimilarities with isDissim) or the crisp one, with one column per
// distinct label (types is not needed); labels and S move together, a fresh permutation per
// randomisation. Single precision throughout; returns the probability. With fuzzy belonging
// S's upper triangle is copied into its lower one.
float Prob_ro_XE_T_2(int iterations, int otus, int types, int communities, int* labels, float** S, float** W,
                     float rTE, double** DT, double** DE, int reseOpt, bool isDissim, bool fuzzy, bool print,
                     FILE* stream);

// ro(XP), ro(PT) and ro(XP.T) = pc(r(XP), r(XT), r(PT)), X = W x U, P = W x Q (U and Q with
// types columns each); only the rows of Q are permuted.
void Prob_ro_PX_T(int iterations, int otus, int types, int communities, double** U, double** Q, double** W,
                  double** DT, double* pXP, double* pPT, double* pXP_T, int reseOpt, bool print, FILE* stream,
                  bool weighted);

// ---------------------------------------------------------------- per community

// Limiting similarity: the mean over the present OTUs of a community of the resemblance to their
// nearest present neighbour (R's values weighted by the product of the two abundances,
// multiplied for dissimilarities, divided for similarities; see
// NearNeigAvgTraitRese_WithinEachCommunity), per community and averaged over the communities
// with at least 2 present OTUs (0 when there is none, so that every arrangement ties). R's rows
// and columns are permuted together, a fresh permutation per randomisation; W stays. The tail of
// the test is the upper one for dissimilarities, the lower one for similarities: returns the
// probability of the mean, pTail[c] that of community c, pOpposite[c] that of community c in the
// other tail (both divided by iterations). A community with fewer than 2 present OTUs is 0 in
// every arrangement and ties in both tails. R's upper triangle is copied into its lower one.
// Any number of communities from 1 on is tested.
double Prob_LimitingSimilarityEachComm(int iterations, int otus, int communities, double* pOpposite, double* pTail,
                                       double** W, float** R, bool isDissim, bool print, FILE* stream);

// Redundancy of community c: its diversity D[c] minus its Rao entropy over S (abundances W row
// c; distance S when isDissim, sqrt(1 - S) otherwise). S's rows and columns are permuted
// together, W and D stay; P[c] receives the probability of a redundancy at least as large as the
// observed one. S's upper triangle is copied into its lower one; the permuted copy keeps S's
// type. Any number of communities from 1 on is tested. Returns true; the third argument is not
// read.
bool Prob_Redundancy(int iterations, int otus, int unused, int communities, double* D, double* P, float** S,
                     double** W, bool isDissim, bool print, FILE* stream, bool weighted);
bool Prob_Redundancy(int iterations, int otus, int unused, int communities, double* D, double* P, double** S,
                     double** W, bool isDissim, bool print, FILE* stream, bool weighted);

// ---------------------------------------------------------------- Procrustes

// trace(TE): the Procrustes coefficient of E (communities x env) and T = W x B over the selected
// traits with its columns divided by their length (single precision); the trait rows are
// permuted.
double Prob_ProcrustesTE(int iterations, int otus, int traits, int communities, float** B, double** W, int* select,
                         int env, float** E, bool print, FILE* stream, bool weighted);
// traceW(XE): the Procrustes coefficient of E and X = W x U (single precision); the rows of U are
// permuted.
double Prob_Procrustes_XE(int iterations, int otus, int types, int communities, double** U, double** W, int env,
                          float** E, bool print, FILE* stream, bool weighted);

// traceW(TE), traceW(XE), traceW(XE.T), traceW(RE), traceW(XE.TR) in double under one
// permutation moving the rows of B and U and the rows and columns of S together. T = W x B over
// the selected traits, columns divided by their length; X = W x U; R the Rao entropy of each
// community over S (similarities, distance sqrt(1 - s)). XE.T compares the residuals of X and of
// E regressed on the selected columns of T, XE.TR those on the selected columns and R; residuals
// that vanish (the predictors explain everything, as with too few communities) give 0. select
// has one entry per trait and is not written. S's upper triangle is copied into its lower one.
// Returns true.
bool Prob_Procrustes_Traits(int iterations, int traits, int* select, int otus, int types, int communities, float** B,
                            float** S, double** U, double** W, int env, float** E, double* pTE, double* pXE,
                            double* pXE_T, double* pRE, double* pXE_TR, bool print, FILE* stream, bool weighted);

#endif
