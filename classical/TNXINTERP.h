// Linear interpolation of a community series (units ordered along a time or spatial variable)
// onto a regular scale, written to "Interpolated.txt" in the current directory for other
// programs.
#ifndef TNXINTERP_H
#define TNXINTERP_H

// The file every interpolation writes.
extern const char kInterpolatedFile[];  // "Interpolated.txt"

// Interpolates the n units of x (units by nVar variables, positions t increasing) onto the
// scale trunc(t[0]) + i c, i = 0 .. trunc((t[n-1] - t[0]) / step + 1) - 1, where c is the step
// rounded up to a whole number. A step that is not > 0, no unit, or a decreasing series writes
// nothing and returns 0; otherwise returns the worker's result.
int Interpolate(int n, int nVar, float** x, float* t, float step, int digits);
int Interpolate(int n, int nVar, double** x, double* t, double step, int digits);

// The worker. The series of each variable lives on the unit grid trunc(t[0]), trunc(t[0]) + 1,
// ...: the first unit's value, then for each interval of t[i+1] - t[i] = dt > 0, ceil(dt) values
// x[i] + k (x[i+1] - x[i]) / dt, k = 1 .. ceil(dt) (an interval of dt <= 0 adds none). Each new
// position that is a grid position takes its grid value; any other gets 0; values below 1e-5
// become 0. Writes the file (the result matrix tab-separated with `digits` significant digits,
// its sizes, the new scale and the original positions) whole and returns 1; 0 for no unit.
int Interpolate(int n, int nVar, float** x, float* t, int nNew, float* newScale, int digits);
int Interpolate(int n, int nVar, double** x, double* t, int nNew, double* newScale, int digits);

// Class averages instead: the whole positions trunc(t[0]) .. trunc(t[n-1]) are divided into
// trunc((trunc(t[n-1]) - trunc(t[0])) / step + 1) equal classes; each variable is interpolated
// linearly at every position (a position outside the units takes the nearest unit's value), and
// each class holds the mean of its positions' values at the mean of its positions. Classes
// without a position are left out. Returns 1, or 0 (nothing written) as Interpolate.
int InterpolateOLD(int n, int nVar, float** x, float* t, float step, int digits);

// The dialog: the level, the variable holding the positions (whole numbers that never
// decrease), the whole step; then the interpolation of the level's types.
void IFInterpolation();

#endif
