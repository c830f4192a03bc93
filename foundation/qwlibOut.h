// Report printers of matrices and vectors.
//
// Padded form: right-aligned fields as wide as the widest "%.*g" text of the table (width 0)
// or of the given width, each followed by a TAB, wrapped once a line's running column count
// exceeds maxColsPrint (the continuation line starts with one blank field).
// Tab form: one value and a TAB per cell, a newline per row; no alignment, no wrapping.
// Every printer writes to the stream it is given and leaves it open. `order`, where given,
// is a 1-based order vector: item i of the output is element order[i] - 1 (null: own order).
#ifndef TNX_QWLIBOUT_H
#define TNX_QWLIBOUT_H

#include <cstdio>

// Preference: the character columns of a padded line (default 2147483647, no wrapping).
extern int maxColsPrint;

// ---------------------------------------------------------------- padded form

int GetWidthMax(int rows, int cols, float** m, int digits);
int GetWidthMax(int rows, int cols, double** m, int digits);
int GetWidthMaxSqrt(int rows, int cols, float** m, int digits, int sqrtFlag);
int GetWidthMaxSqrt(int rows, int cols, double** m, int digits, int sqrtFlag);

int PrintMatrix(FILE* f, int rows, int cols, float** m, int digits, int width);
int PrintMatrix(FILE* f, int rows, int cols, double** m, int digits, int width);
int PrintMatrixFloat(FILE* f, int rows, int cols, float** m, int digits, int width);
int PrintMatrixFloat(FILE* f, int rows, int cols, double** m, int digits, int width);
int PrintLowerHalfMatrix(FILE* f, int n, float** m, int digits, int width);
int PrintLowerHalfMatrix(FILE* f, int n, double** m, int digits, int width);
int PrintHalfMatrix(FILE* f, int n, float** m, int offset, int digits);
int PrintHalfMatrix(FILE* f, int n, double** m, int offset, int digits);
int PrintHalfMatrix(FILE* f, int n, float** m, int offset, int digits, int sqrtFlag);
int PrintHalfMatrix(FILE* f, int n, double** m, int offset, int digits, int sqrtFlag);
int PrintVector(FILE* f, int n, float* v, int digits, int width, int indent, int* order);
int PrintVector(FILE* f, int n, double* v, int digits, int width, int indent, int* order);
// Width 0: as wide as the longest text. Returns the width used.
int PrintStringVector(FILE* f, int n, char** s, int width, int indent, int* order);

// ---------------------------------------------------------------- tab form (return 1)

int PrintMatrixTab(FILE* f, int rows, int cols, float** m, int digits);
int PrintMatrixTab(FILE* f, int rows, int cols, double** m, int digits);
int PrintMatrixTab(FILE* f, int rows, int cols, int** m);
int PrintMatrixTab(FILE* f, int rows, int cols, unsigned long** m);
int PrintMatrixTab(FILE* f, int rows, int cols, char** m);
int PrintLowerHalfMatrixTab(FILE* f, int n, float** m, int digits);
int PrintLowerHalfMatrixTab(FILE* f, int n, double** m, int digits);
int PrintLowerHalfMatrixTab(FILE* f, int n, int** m);
// Rows 0 .. n - offset - 1, each with all n cells; returns n - offset.
int PrintHalfMatrixTab(FILE* f, int n, float** m, int offset);
int PrintHalfMatrixTab(FILE* f, int n, double** m, int offset);
int PrintHalfMatrixTab(FILE* f, int n, int** m, int offset);
int PrintVectorTab(FILE* f, int n, int* v, int* order);
int PrintVectorTab(FILE* f, int n, float* v, int digits, int* order);
int PrintVectorTab(FILE* f, int n, double* v, int digits, int* order);
int PrintStringVectorTab(FILE* f, int n, char** s, int* order);
// The first sub-diagonal, cells (i + 1, i).
int PrintNeighborRese(FILE* f, int n, float** m, int digits);
int PrintNeighborRese(FILE* f, int n, double** m, int digits);

// ---------------------------------------------------------------- free forms

void PrintLowerHalfMatrix_ff(FILE* f, int n, float** m, int digits, bool withDiagonal);
void PrintLowerHalfMatrix_ff(FILE* f, int n, double** m, int digits, bool withDiagonal);
void PrintHalfMatrix_ff(FILE* f, int n, float** m, int offset);
void PrintHalfMatrix_ff(FILE* f, int n, double** m, int offset);
void PrintHalfMatrix_row(FILE* f, int n, float** m, int offset);
void PrintHalfMatrix_row(FILE* f, int n, double** m, int offset);
void PrintHalfMatrix_row(FILE* f, int n, float** m, int offset, int sqrtFlag);
void PrintHalfMatrix_row(FILE* f, int n, double** m, int offset, int sqrtFlag);
// Rewrite fixed-width fields in place at the file positions stored in pos.
void PrintHalfMatrix_bi(FILE* f, int n, float** m, long** pos, int offset);
void PrintHalfMatrix_bi(FILE* f, int n, double** m, long** pos, int offset);
void PrintVector_bi(FILE* f, int n, float* v, long* pos);
void PrintVector_bi(FILE* f, int n, double* v, long* pos);

#endif
