// Rao quadratic entropy and the diversity of vectors: Rao's Q from abundances and a
// resemblance among species, profile deviations, Renyi entropy, and the occurrence-based
// measures of a species-by-community table (valence, invalence, distinctiveness, florulas).
// Logarithms are natural.
#ifndef TNX_QWLIBRESRAO_H
#define TNX_QWLIBRESRAO_H

#include <cstddef>

// Rao quadratic entropy Q = sum_i sum_j p_i p_j d_ij, p = x / T, T the total of the present
// abundances. The upper triangle of M is first copied into its lower triangle (the caller's
// matrix becomes symmetric). Pairs in which M_ij, x_i or x_j is -999 are skipped (p is not
// renormalised). d_ij: M_ij (dissimilarity), sqrt(M_ij) (dissimilarity, squareRoot),
// 1 - M_ij (similarity), sqrt(max(0, 1 - M_ij)) (similarity, squareRoot). 0 for n < 1 or
// T <= 0. The float-matrix forms compute a derived d in single precision.
double RaoIndex(int n, double* x, double** M, bool dissimilarity, bool squareRoot);
// A null M gives the Gini-Simpson form: d = 1 off the diagonal, 0 on it; nothing mirrored.
double RaoIndex(int n, double* x, float** M, bool dissimilarity, bool squareRoot);
// The Gini-Simpson form (null float matrix) for a call written with nullptr.
double RaoIndex(int n, double* x, std::nullptr_t M, bool dissimilarity, bool squareRoot);
// noMatrix set: the Gini-Simpson form whatever M holds; otherwise the five-argument form.
double RaoIndex(int n, double* x, float** M, bool dissimilarity, bool squareRoot, bool noMatrix);
// Four-argument forms: d = M_ij (dissimilarity) or sqrt(max(0, 1 - M_ij)) (similarity).
double RaoIndex(int n, double* x, double** M, bool dissimilarity);
double RaoIndex(int n, double* x, float** M, bool dissimilarity);
double RaoIndex(int n, float* x, double** M, bool dissimilarity);

// Half the sum over k of |a_k / A - b_k / B| (squared differences when squared is set), A and
// B the totals; 0 for n < 1 or a total <= 0.
double SumAbsDeviations(int n, double* a, double* b, bool squared);

// Renyi entropy of order a of the profile x / sum(x) (Shannon for a = 1); 0 when no value is
// positive.
double EntropyVector(int n, float* x, float a);
double EntropyVector(int n, double* x, double a);
// The same; for a = 1 also code[i] = -ln p_i for every p_i > 0 (other entries untouched).
double EntropyVectorCodeLength(int n, float* x, float a, float* code);
double EntropyVectorCodeLength(int n, double* x, double a, double* code);

// Species-by-community table X (n species x p communities; > 0 is a presence). out1, out3:
// entropies of the species occurrence counts and of their absences; out2, out4: entropies of
// the community richness and of the species missing from each community, divided by p.
// Returns 1; an empty species row (checked first) or an empty community column prints its
// message, writes 0 to the four outputs and returns 0.
int ValenceInvalence(int n, int p, float** X, float* out1, float* out2, float* out3, float* out4,
                     float a);
int ValenceInvalence(int n, int p, float** X, double* out1, double* out2, double* out3,
                     double* out4, float a);
// out1 .. out4 of ValenceInvalence (0 when it stops at an empty row or column).
double LocalValence(int n, int p, float** X, float a);
double FloristicValence(int n, int p, float** X, float a);
double LocalInvalence(int n, int p, float** X, float a);
double FloristicInvalence(int n, int p, float** X, float a);
// Sum over species of the entropy of (presences, absences); 0 for n < 1 or an empty species
// row (its message printed).
double LocalDistinctiveness(int n, int p, float** X, float a);

// Frequencies of the distinct species compositions (florulas): freq[j] (p values) = number of
// communities k >= j with the composition of community j when j is its first occurrence,
// else 0; *count = the number of distinct compositions. Returns 1.
int FlorulaFrequencies(int n, int p, float** X, int* count, float* freq);
// Entropy of order a of the florula frequencies.
double FlorulaDiversity(int n, int p, float** X, float a);
// 1 when a_i == b_i for every i < n (and for n < 1), otherwise 0.
int CompareVector(int n, float* a, float* b);

#endif
