// Binary (presence-absence) coefficients from the 2 x 2 table of two objects: Jaccard,
// Sokal-Michener (joint presences over all variables), Ochiai, Sorensen, mean square
// contingency, and simple matching over any values.
//
// Only the values exactly 1.0 and 0.0 enter the 2 x 2 counts; any other value (-999
// included) leaves the variable out of the pair's table. Results fill the cells j >= i of
// the caller's n x n matrix (diagonal included) and nothing below; a zero denominator gives 0.
// Products of counts are formed in 64-bit integers, so large tables cannot overflow.
#ifndef TNX_QWLIBRESBINARY_H
#define TNX_QWLIBRESBINARY_H

// a: x = 1 and y = 1; b: x = 1, y = 0; c: x = 0, y = 1; d: x = 0, y = 0 (all set to 0 first).
void JointFreq(int p, float* x, float* y, int* a, int* b, int* c, int* d);
void JointFreq(int p, double* x, double* y, int* a, int* b, int* c, int* d);

// a / (a + b + c)
void Jaccard(int n, int p, float** in, float** out);
void Jaccard(int n, int p, float** in, double** out);
void Jaccard(int n, int p, double** in, double** out);
// Number of equal values / number of variables where both are present (any values).
void SimpleMatching(int n, int p, float** in, float** out);
void SimpleMatching(int n, int p, float** in, double** out);
void SimpleMatching(int n, int p, double** in, double** out);
// a / (a + b + c + d)
void SokalMichener(int n, int p, float** in, float** out);
void SokalMichener(int n, int p, float** in, double** out);
void SokalMichener(int n, int p, double** in, double** out);
// a / sqrt((a + b)(a + c))
void Ochiai(int n, int p, float** in, float** out);
void Ochiai(int n, int p, float** in, double** out);
void Ochiai(int n, int p, double** in, double** out);
// 2a / (2a + b + c)
void Sorensen(int n, int p, float** in, float** out);
void Sorensen(int n, int p, float** in, double** out);
void Sorensen(int n, int p, double** in, double** out);
// (ad - bc)^2 / ((a + b)(c + d)(a + c)(b + d))
void MeanSquareContingency(int n, int p, float** in, float** out);
void MeanSquareContingency(int n, int p, float** in, double** out);
void MeanSquareContingency(int n, int p, double** in, double** out);

#endif
