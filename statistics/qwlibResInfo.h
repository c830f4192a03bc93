// Mutual information, contingency tables and nominal resemblances.
#ifndef TNX_QWLIBRESINFO_H
#define TNX_QWLIBRESINFO_H

#include <cstdio>

// ===========================================================================================
// Contingency tables, nominal resemblances and mutual information (qwlibResInfo.cpp)
// ===========================================================================================
//
// Nominal data: x holds n variables (rows) by p objects (columns). A value is a state code, read
// as an integer by truncation toward zero (2.5 is state 2). The states of a variable are its
// distinct present states in the order of their first appearance. -999 marks a missing value in
// the MV forms; a value that is not finite or lies outside the int range is no state and is
// passed over like a missing one.
//
// Contingency table of two variables: cell [r][c] counts the objects at which the first
// variable has its r-th state and the second its c-th state, both present. The caller allocates
// room for every state of each variable; size[0], size[1] (size[2]) receive the table's sizes.
//
// Listing: with flag equal to 1 the pairwise kernels write every table they build to
// "Tables.txt" (the triplet kernel to "Tables3D.txt") in the current directory. The file is
// written whole or not at all (it replaces an earlier one only when complete); a file that
// cannot be created raises error code 4. Resemblance results fill the cells j >= i.

// Fills table and size; when stream is not null lists "Row states (R): " and the row states
// (each followed by a TAB), "\nColumn states (C): " and the column states, a newline, then the
// table at 6 significant digits. The int form tests the integer -999; Contingency has no
// missing-value test (-999 is then a state like any other).
void ContingencyMV(int p, double* a, double* b, double** table, int* size, FILE* stream);
void ContingencyMV(int p, float* a, float* b, float** table, int* size, FILE* stream);
void ContingencyMV(int p, int* a, int* b, float** table, int* size, FILE* stream);
void Contingency(int p, float* a, float* b, float** table, int* size, FILE* stream);
// Three-way table: a layer per state of a, a row per state of b, a column per state of c. The
// listing gives the states of b and c and then each layer's table.
void Contingency3D_MV(int p, float* a, float* b, float* c, float*** table3, int* size,
                      FILE* stream);
void Contingency3D_MV(int p, double* a, double* b, double* c, double*** table3, int* size,
                      FILE* stream);
// The states of one vector (no missing-value test) into states[0 .. *count - 1] and the number
// of values in each state into freq.
void ContingencyVector(int p, float* x, float* freq, int* count, int* states);
void ContingencyVector(int p, double* x, double* freq, int* count, int* states);

// Minimum discrimination information statistic (G statistic) of every pair of variables:
// 2 N I, N the table total and I its Shannon mutual information. MDIS with a float result forms
// the product in single precision.
void MDISMV(int n, int p, double** x, double** r, char flag);
void MDISMV(int n, int p, float** x, float** r, char flag);
void MDISMV(int n, int p, float** x, double** r, char flag);
void MDIS(int n, int p, float** x, float** r, char flag);
void MDIS(int n, int p, float** x, double** r, char flag);

// Renyi mutual entropy of order a of every pair of variables (the double form narrows a to
// single precision first).
void MutualEntropyPairwiseMV(int n, int p, double** x, double** r, double a, char flag);
void MutualEntropyPairwiseMV(int n, int p, float** x, float** r, float a, char flag);
void MutualEntropyPairwiseMV(int n, int p, float** x, double** r, double a, char flag);
void MutualEntropyPairwise(int n, int p, float** x, float** r, float a, char flag);
void MutualEntropyPairwise(int n, int p, float** x, double** r, double a, char flag);

// Three-way mutual entropy of every triple i <= j <= k into r3[i][j][k].
void MutualEntropyTripletsMV(int n, int p, float** x, float*** r3, float a, char flag);
void MutualEntropyTripletsMV(int n, int p, double** x, double*** r3, float a, char flag);

// Coherence coefficient of order a of every pair of variables.
void CoheCoefPairwiseMV(int n, int p, double** x, double** r, float a, char flag);
void CoheCoefPairwiseMV(int n, int p, float** x, double** r, float a, char flag);
void CoheCoefPairwiseMV(int n, int p, float** x, float** r, float a, char flag);
void CoheCoefPairwise(int n, int p, float** x, float** r, float a, char flag);
void CoheCoefPairwise(int n, int p, float** x, double** r, double a, char flag);

// Pearson chi-square of every pair of variables: sum (o - e)^2 / e, e = t_r t_c / N, over the
// cells whose row total, column total and grand total are above 0 (0 when none is).
void QuiSquareMV(int n, int p, double** x, double** r, char flag);
void QuiSquareMV(int n, int p, float** x, float** r, char flag);
void QuiSquareMV(int n, int p, float** x, double** r, char flag);
void QuiSquare(int n, int p, float** x, float** r, char flag);
void QuiSquare(int n, int p, float** x, double** r, char flag);
// The chi-square of a given R x C table (present cells), as above; 0 for R < 1.
double QuiSquareFromContingencyMV(int R, int C, double** table);

// Information resemblance among the rows of a table of non-negative values: the information
// divergence of the two rows minus t_i ln(2 t_i / (t_i + t_j)) + t_j ln(2 t_j / (t_i + t_j)),
// t the row totals (0 ln 0 taken as 0). 0 on the diagonal and for proportional rows.
void MutualInformationMV(int n, int p, double** x, double** d);
void MutualInformationMV(int n, int p, float** x, float** d);
void MutualInformationMV(int n, int p, float** x, double** d);
void MutualInformation(int n, int p, float** x, float** d);
void MutualInformation(int n, int p, float** x, double** d);

#endif
