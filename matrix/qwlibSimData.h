// Simulated data with a prescribed correlation or eigenvalue structure (qwlibSimData.cpp).
//
// Every draw comes from the program's generator r, in the order described, so that a seed
// repeats the tables. Distribution codes of a cell: 1 uniform on [0,1) minus 0.5, 2 Gaussian
// (mean 0, sd 1), 5 lognormal (zeta 0, sigma 1), 7 exponential with mean 1, 8 the cube of an
// exponential draw with mean 1; any other code is Gaussian in CorrToData_New and uniform
// minus 0.5 in the EigenToData family. A correlation matrix is p x p (both triangles read as
// the Cholesky factorisation needs them), symmetric with unit diagonal and positive definite;
// it is never changed. Every routine returns true on success; false leaves the outputs
// unspecified (a matrix that is not positive definite, an impossible target, no convergence).
#ifndef TNX_QWLIBSIMDATA_H
#define TNX_QWLIBSIMDATA_H

// out (n x p) = Z U: Z holds n x p independent draws (row by row, within a row column by
// column), U the transposed Cholesky factor of corr, so that corr is the population
// correlation of the columns.
bool CorrToData_New(int n, int p, float** corr, float** out, int dist);
bool CorrToData_New(int n, int p, double** corr, double** out, int dist);

// T (p x n) = CorrToData_New(p, n, corrRows, dist), then out (n x p) = T' U(corrCols): the
// rows are correlated by corrRows (n x n), the columns by corrCols (p x p).
bool CorrToData_BothRowsColumns(int n, int p, float** corrCols, float** corrRows, float** out,
                                int dist);

// out (n x p) whose sample correlation matrix is exactly corr: centred columns of unit length
// with out' out = corr. Codes: 2 Gaussian, any other uniform minus 0.5. Needs n > p (centred
// data of n rows span at most n - 1 dimensions); otherwise false.
bool CorrToData(int n, int p, float** corr, float** out, int dist);

// out (n x p) of centred, unit-length, exactly uncorrelated columns from uniform draws. It
// first reseeds the generator with the clock (two calls within one second repeat the
// table). Needs n > p.
bool SimZeroCorrData(int n, int p, float** out);

// Iterative fit of a table of n rows whose correlation matrix has the eigenvalues eigTarget
// (p values, non-negative, summing to p; others are refused before any draw). Each pass
// centres and normalises the variables, decomposes their correlation matrix C (eigenvalues c,
// vectors V), scales the projections V Z to the square roots of the targets and rotates back.
// It stops when sum |c - eigTarget| is at most 0.0001 (float forms), or after 1000 passes
// with false; an undefined difference stops it with false too. The fourth argument is not read.
// out = the first nOut rows of the fitted table; eigOut = eigenvalues of the correlation among
// those rows. Float tridiagonal eigen-analysis.
bool EigenToData(int n, int nOut, int p, int, float* eigTarget, float** out, float* eigOut,
                 int dist);
// The same with the GSL eigen-analysis; eigOut and corrOut (p x p, unit diagonal) describe all
// n rows, which go to all when it is not null.
bool EigenToData(int n, int nOut, int p, int, float* eigTarget, float** out, float* eigOut,
                 int dist, float** all, float** corrOut);
// Double fit: the threshold starts at 1e-5 and, after every 30 passes since the last change
// without reaching it, is multiplied by 10 (at most twice) with
// "\n\nLack of convergence. Bias threshold REDUCED TO %g\n" on standard output; cross
// products skip -999.
bool EigenToData_D(int n, int nOut, int p, int, double* eigTarget, double** out, double* eigOut,
                   int dist, double** all, double** corrOut);
// As EigenToData_D (message "... INCREASED TO %g"); vecOut = eigenvectors (rows) of the final
// correlation matrix; with noise > 0 every cell of out gets a Gaussian draw of standard
// deviation noise added.
bool EigenToData_D_Noise(int n, int nOut, int p, int, double* eigTarget, double** out,
                         double* eigOut, double** vecOut, int dist, double** all,
                         double** corrOut, double noise);
// Fits the eigenvalues on n rows, takes their correlation matrix R (unit diagonal) into
// corrOut, then draws nOut rows by CorrToData_New(nOut, p, R, dist) into out; eigOut =
// eigenvalues of the correlation of the drawn rows.
bool EigenToData_MixedProc(int n, int nOut, int p, int, float* eigTarget, float** out,
                           float* eigOut, float** corrOut, int dist);

#endif
