// Gower similarity of populations (OTUs) by their traits.
//
// The similarity is built in two steps so that the trait-subset search can average any subset
// of traits without recomputing a trait: gower_similarityPartial fills the cube Sp of partial
// similarities (OTU x OTU x trait, each term already multiplied by its trait's weight, -999
// where a pair cannot be compared on that trait), and gower_similarityAverage averages the
// layers of the traits in use. Only the upper triangle with its diagonal (j >= i) of every
// layer and of the result is written; callers that need both halves mirror them.
//
// The older forms read the trait values from two-character codes: one string per OTU, trait t
// at the characters 2t and 2t + 1.
#ifndef TNXGOWER_H
#define TNXGOWER_H

// Partial similarities of the n OTUs (rows of B, n x nTraits) on each trait: Sp[i][j][t] for
// j >= i. types: 1 dichotomous, 2 nominal, 3 interval, 4 ordinal (ranked); ranges are used for
// the interval traits; weights multiply each trait's terms (a negative weight counts as 1).
// With countDoubleAbsence a double absence of a dichotomous trait counts as a match; the form
// without it takes the session's preference. B is not changed.
void gower_similarityPartial(int nTraits, float** B, int n, float*** Sp, int* types, float* ranges,
                             float* weights, int countDoubleAbsence);
void gower_similarityPartial(int nTraits, float** B, int n, double*** Sp, int* types, float* ranges,
                             float* weights, int countDoubleAbsence);
void gower_similarityPartial(int nTraits, float** B, int n, float*** Sp, int* types, float* ranges,
                             float* weights);
void gower_similarityPartial(int nTraits, float** B, int n, double*** Sp, int* types, float* ranges,
                             float* weights);

// Similarity over the traits of weight above 0: S[i][i] = 1 and, for j > i, the sum of the
// present partial similarities divided by the sum of the weights of the traits that were
// compared (both summed in double, then each rounded to float); -999 when no trait could be
// compared or nTraits < 1.
void gower_similarityAverage(int nTraits, int n, double*** Sp, float** S, float* weights);

// Selection forms: the traits whose selection flag is exactly 1. The divisor is the sum of the
// weights of the compared traits (weights null: each trait weighs 1), so that two identical
// OTUs have similarity 1 whatever the weights. The float-result forms round the sum and the
// divisor to float before dividing; the double-result form divides in double.
void gower_similarityAverage(int nTraits, int n, float*** Sp, float** S, int* selection, float* weights);
void gower_similarityAverage(int nTraits, int n, double*** Sp, float** S, int* selection, float* weights);
void gower_similarityAverage(int nTraits, int n, double*** Sp, double** S, int* selection, float* weights);

// The value of trait t in one OTU's two-character code: the two characters read as a number
// (as atof reads them, so "07" is 7 and a non-numeric code is 0). Only the trait's own two
// characters are read, never the characters of the next trait.
float TraitCodeValue(const char* code, int t);

// A species code: its two characters as small integers a and b, made one number a * 1000 + b
// so that distinct pairs never give the same number (1|23 and 12|3 stay apart).
float SpeciesCodeValue(const char* code, int t);

// As gower_similarityPartial, with trait t of OTU i read from codes[i] (TraitCodeValue).
void gower_similarityPartial_OLD(int nTraits, char** codes, int n, float*** Sp, int* types, float* ranges,
                                 float* weights);

// The full Gower similarity (both triangles) of the traits read from the code strings; ordinal
// traits are ranked and the ranges recomputed on a work copy.
void gower_similarity(int nTraits, char** codes, int n, double** S, int* types, float* ranges, float* weights,
                      int countDoubleAbsence);
void gower_similarity(int nTraits, char** codes, int n, float** S, int* types, float* ranges, float* weights,
                      int countDoubleAbsence);

// Decodes the code strings into out (traits x OTUs): trait t is labelled labels[order[t] - 1]
// (order 1-based); a trait labelled exactly "sp" is a species code (SpeciesCodeValue), any other
// a trait code (TraitCodeValue).
void Copy_hcsm_traitData(int nTraits, int n, char** codes, float** out, int* order, char** labels);

#endif
