// Gower similarity for variables of mixed types and the Legendre-Chodorowski similarity of
// quantitative variables with a tolerance.
//
// Variable types (one int per variable): 1 binary, 2 nominal, 3 quantitative, 4 ordinal;
// a variable of a type a routine does not know is left out. Ranges and weights are float
// vectors of p values; a null weight vector stands for weights of 1.0. The whole-matrix
// routines fill both halves of the caller's n x n matrix and set its diagonal to 1.0; a pair
// with nothing to compare keeps the cell's content. Range searches start the running maximum
// at the lowest value of the type and the minimum at the largest, so all-negative variables
// get their true range.
#ifndef TNX_QWLIBRESGOWER_H
#define TNX_QWLIBRESGOWER_H

// Gower similarity, types 1-4, -999 cells skipped. The ordinal columns of data are replaced by
// their ranks among the present values (ties averaged). The ranges are always computed here
// (the range argument is not read). A binary pair of zeros agrees when countDoubleAbsence is
// nonzero and is left out otherwise.
void GowerMVOpt(int n, int p, int* types, float** data, float** out, float* range, float* weight,
                int countDoubleAbsence);
void GowerMVOpt(int n, int p, int* types, float** data, double** out, float* range,
                float* weight, int countDoubleAbsence);
void GowerMVOpt(int n, int p, int* types, double** data, double** out, float* range,
                float* weight, int countDoubleAbsence);
// Types 1-3; the given ranges are used when range is not null (else computed for type 3);
// binary double zeros never count.
void GowerMV(int n, int p, int* types, float** data, float** out, float* range, float* weight);
void GowerMV(int n, int p, int* types, float** data, double** out, float* range, float* weight);
// As GowerMV without any missing-value test.
void Gower(int n, int p, int* types, float** data, float** out, float* range, float* weight);
void Gower(int n, int p, int* types, float** data, double** out, float* range, float* weight);

// Weighted partial similarity w * s of one variable (values x of the n objects) for every
// pair i <= j, written to both halves; -999 where the pair cannot be compared. Type 4 ranks x
// in place and takes the range of the ranks; type 3 computes the range only when the given
// one is 0. A negative weight counts as 1. countDoubleAbsence: 1 binary double zeros agree,
// 0 they are left out, any other value leaves every binary pair out.
void GowerMVPartial_dAbsences(int n, int type, float* x, float** out, float range, float weight,
                              int countDoubleAbsence);
void GowerMVPartial_dAbsences(int n, int type, float* x, double** out, float range,
                              float weight, int countDoubleAbsence);
// Types 1-3; double absences never count.
void GowerMVPartial(int n, int type, float* x, float** out, float range, float weight);

// Legendre-Chodorowski similarity with tolerance k: variables scanned in order, a weight not
// > 0 ends the scan; a variable with a missing value or with x + y <= 0 is left out; the
// others add w to the denominator and, when x y > 0 and d = |x - y| <= k,
// w 2(k + 1 - d) / (2k + 2 + d k) to the numerator. Cells rounded to single precision.
void LegendreChodorowski(int n, int p, float** data, float** out, float* weight, float k);
void LegendreChodorowski(int n, int p, float** data, double** out, float* weight, float k);
void LegendreChodorowski(int n, int p, double** data, double** out, float* weight, double k);
// One tolerance per variable (k[v] for variable v), computed in double.
void LegendreChodorowski(int n, int p, float** data, float** out, float* weight, float* k);

// Diagonal set to 1, strict lower triangle to 0.
void Cleanup(int n, float** m);
void Cleanup(int n, double** m);

#endif
