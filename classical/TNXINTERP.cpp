// Interpolation of community series onto a regular scale, its older class-average form and
// its dialog.
#include "classical/TNXINTERP.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <vector>

#include "classical/TNXSeries.h"
#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/qwlib.h"
#include "session/dialogs/TNXIFSET.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/model/TNXGLOB.h"

const char kInterpolatedFile[] = "Interpolated.txt";

namespace {

FILE* Out() { return out ? out : stdout; }

// Interpolated values below this are written as 0.
constexpr double kSmallest = 1e-5;

// True when the positions never decrease.
template <class T>
bool Increasing(int n, const T* t) {
    for (int i = 1; i < n; i++)
        if (t[i] < t[i - 1]) return false;
    return true;
}

// A count of positions that a table of int rows can hold; larger is more than memory holds.
int PositionCount(double count) {
    if (!(count <= static_cast<double>(INT_MAX))) RaiseError(TNX_OUT_OF_MEMORY);
    return static_cast<int>(count);
}

// The file: the result, its sizes, the new scale and the original positions.
template <class T>
void WriteInterpolated(int n, int nVar, T* t, int nNew, T* newScale, T** result, int digits) {
    WriteWhole(kInterpolatedFile, [&](FILE* f) {
        PrintMatrixTab(f, nNew, nVar, result, digits);
        std::fprintf(f,
                     "\nAbove matrix (Rows= %d sampling units, columns= %d variables)\ncontains interpolated data "
                     "obtained from data originally with %d sampling units.\n",
                     nNew, nVar, n);
        std::fprintf(f, "New time (or spatial) scale of interpolated data:\n");
        PrintVectorTab(f, nNew, newScale, digits, nullptr);
        std::fprintf(f, "\nSpecified time (or spatial) scale of original data:\n");
        PrintVectorTab(f, n, t, digits, nullptr);
    });
}

template <class T>
int InterpolateWorker(int n, int nVar, T** x, T* t, int nNew, T* newScale, int digits) {
    if (n < 1 || nVar < 0 || nNew < 0) return 0;
    // Grid index of the last value each interval appends; an interval of dt <= 0 appends none.
    // Counts are kept in double: exact far beyond any grid that fits in memory.
    std::vector<double> last(static_cast<size_t>(n > 1 ? n - 1 : 0));
    double gridSize = 1.0;
    for (int i = 0; i + 1 < n; i++) {
        const T dt = t[i + 1] - t[i];
        if (dt > T(0)) gridSize += std::ceil(static_cast<double>(dt));
        last[i] = gridSize - 1.0;
    }
    EnsureAllocatable(nNew, nVar, sizeof(T));
    OwnedTable<T> result(nNew, nVar);
    const double origin = std::trunc(static_cast<double>(t[0]));
    for (int r = 0; r < nNew; r++) {
        const double g = static_cast<double>(newScale[r]) - origin;
        // A position between grid points or off the grid stays 0.
        if (g != std::trunc(g) || g < 0.0 || g >= gridSize) continue;
        if (g == 0.0) {
            for (int v = 0; v < nVar; v++) result[r][v] = x[0][v];
        } else {
            // The interval that appended grid index g: the first whose last index reaches it.
            const int i = static_cast<int>(std::lower_bound(last.begin(), last.end(), g) - last.begin());
            const T k = static_cast<T>(g - (i > 0 ? last[i - 1] : 0.0));
            const T dt = t[i + 1] - t[i];
            // Each interval runs from its own unit's value, so the series passes through every
            // unit even after two units at the same position.
            for (int v = 0; v < nVar; v++) result[r][v] = x[i][v] + k * ((x[i + 1][v] - x[i][v]) / dt);
        }
        for (int v = 0; v < nVar; v++)
            if (result[r][v] < T(kSmallest)) result[r][v] = T(0);
    }
    WriteInterpolated(n, nVar, t, nNew, newScale, result.get(), digits);
    return 1;
}

template <class T>
int InterpolateStep(int n, int nVar, T** x, T* t, T step, int digits) {
    if (n < 1 || !(step > T(0)) || !Increasing(n, t)) return 0;
    const int nNew = PositionCount(std::trunc(static_cast<double>((t[n - 1] - t[0]) / step + T(1))));
    const double wholeStep = std::ceil(static_cast<double>(step));
    const double origin = std::trunc(static_cast<double>(t[0]));
    std::vector<T> newScale(static_cast<size_t>(nNew));
    for (int i = 0; i < nNew; i++) newScale[i] = static_cast<T>(origin + i * wholeStep);
    return InterpolateWorker(n, nVar, x, t, nNew, newScale.data(), digits);
}

// The value of variable v at position g, linear between the units that bracket it.
float ValueAt(int n, float** x, const float* t, int v, double g) {
    if (g <= t[0]) return x[0][v];
    for (int i = 0; i + 1 < n; i++) {
        const float dt = t[i + 1] - t[i];
        if (dt > 0.0f && g <= t[i + 1])
            return x[i][v] + static_cast<float>(g - t[i]) * ((x[i + 1][v] - x[i][v]) / dt);
    }
    return x[n - 1][v];
}

}  // namespace

int Interpolate(int n, int nVar, float** x, float* t, float step, int digits) {
    return InterpolateStep(n, nVar, x, t, step, digits);
}
int Interpolate(int n, int nVar, double** x, double* t, double step, int digits) {
    return InterpolateStep(n, nVar, x, t, step, digits);
}
int Interpolate(int n, int nVar, float** x, float* t, int nNew, float* newScale, int digits) {
    return InterpolateWorker(n, nVar, x, t, nNew, newScale, digits);
}
int Interpolate(int n, int nVar, double** x, double* t, int nNew, double* newScale, int digits) {
    return InterpolateWorker(n, nVar, x, t, nNew, newScale, digits);
}

int InterpolateOLD(int n, int nVar, float** x, float* t, float step, int digits) {
    if (n < 1 || !(step > 0.0f) || !Increasing(n, t)) return 0;
    const float first = std::trunc(t[0]), lastPosition = std::trunc(t[n - 1]);
    const int nClasses = PositionCount(std::trunc((lastPosition - first) / step + 1.0f));
    const int nGrid = PositionCount(static_cast<double>(lastPosition) - first + 1.0);
    std::vector<float> position(static_cast<size_t>(nGrid)), cls(static_cast<size_t>(nGrid));
    for (int g = 0; g < nGrid; g++) position[g] = first + static_cast<float>(g);
    ClassesMV(nGrid, position.data(), cls.data(), nClasses);

    std::vector<double> sumPosition(static_cast<size_t>(nClasses), 0.0);
    std::vector<int> members(static_cast<size_t>(nClasses), 0);
    EnsureAllocatable(nClasses, nVar, sizeof(double));
    OwnedTable<double> sums(nClasses, nVar);
    for (int g = 0; g < nGrid; g++) {
        const int c = static_cast<int>(cls[g]) - 1;
        if (c < 0 || c >= nClasses) continue;
        members[c]++;
        sumPosition[c] += position[g];
        for (int v = 0; v < nVar; v++) sums[c][v] += ValueAt(n, x, t, v, position[g]);
    }
    int nNew = 0;
    for (int c = 0; c < nClasses; c++) nNew += members[c] > 0;
    OwnedTable<float> result(nNew, nVar);
    std::vector<float> newScale(static_cast<size_t>(nNew));
    for (int c = 0, r = 0; c < nClasses; c++) {
        if (members[c] == 0) continue;
        newScale[r] = static_cast<float>(sumPosition[c] / members[c]);
        for (int v = 0; v < nVar; v++) {
            const float mean = static_cast<float>(sums[c][v] / members[c]);
            result[r][v] = mean < kSmallest ? 0.0f : mean;
        }
        r++;
    }
    WriteInterpolated(n, nVar, t, nNew, newScale.data(), result.get(), digits);
    return 1;
}

void IFInterpolation() {
    // Without a usable position variable there is nothing to interpolate along.
    if (!TimeVariableAvailable(ScaleWholeIncreasing)) return;
    int level = 1;
    SettingWhichLevel(&level);
    int types = 0;
    OwnedTable<float> units(ReadLevelByCommunity(level, &types), ncsm);
    if (!AskTimeVariable("\nThe following environmental variables are available: ",
                         "\nEnter variable (label) to be taken as time (or spatial) scale for interpolation: ",
                         ScaleWholeIncreasing))
        return;
    std::fprintf(Out(), "Enter the time (or spatial) interval between new interpolated sampling units:  ");
    // A step must be a whole number of at least 1: the new positions are whole units.
    const float step = static_cast<float>(ReadWholeNumber(1.0, FLT_MAX));

    std::vector<float> t(static_cast<size_t>(ncsm));
    for (int c = 0; c < ncsm; c++) t[c] = env[c][whichEnv];
    Interpolate(ncsm, types, units.get(), t.data(), step, sDigits);
    ClearLine();
    std::fprintf(Out(), "\n\nInterpolated data exported on file %s\n", kInterpolatedFile);
}
