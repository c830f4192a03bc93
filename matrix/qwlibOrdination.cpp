// Ordination engine (principal coordinates, principal components, correspondence scaling),
// the conversions between kinds of resemblance matrix, the data-transformation dispatchers and
// the correlations of ordination axes with variables.
#include "matrix/qwlib.h"

#include "foundation/qwlibDim.h"
#include "matrix/qwlibInternal.h"
#include "statistics/qwlibRes.h"

#include <cmath>

namespace {

using qwmat::NewMatrix;
using qwmat::NewVector;

// How a resemblance matrix becomes the squared distances of principal coordinates.
enum class ToSquared { RootOfComplement, FromProducts, Square };

// The float engine: similarities become sqrt(1 - s) (taken as squared distances as they
// stand), cross products, chi-square and correlations go through ProdToSqDist, the rest is
// squared.
ToSquared FloatRule(int code)
{
    switch (code) {
    case 5: case 6: case 7: case 9: case 11: case 12: case 13: case 14: case 15: case 16:
    case 19:
        return ToSquared::RootOfComplement;
    case 1: case 10: case 17:
        return ToSquared::FromProducts;
    default:
        return ToSquared::Square;
    }
}

// The double engine: similarities and products through ProdToSqDist (2 (1 - s) for a unit
// diagonal); with covariance only when the data were double.
ToSquared DoubleRule(int code, bool covarianceToo)
{
    if ((code >= 9 && code <= 17) || code == 1 || code == 5 || code == 6 || code == 7 ||
        code == 19 || (covarianceToo && code == 22))
        return ToSquared::FromProducts;
    return ToSquared::Square;
}

void Mirror(int n, float** m) { UpperToLowerMatrix(n, m); }
void Mirror(int n, double** m) { UpperToLowerMatrix(n, m); }

// The decomposition on the eigen blocks of a work space when one is given (double only).
bool Eigen(int n, float** W, float** vec, float* eig, EigenWorkspace*) { return EigenHouseholderQL_GSL(n, W, vec, eig); }
bool Eigen(int n, double** W, double** vec, double* eig, EigenWorkspace* ws)
{
    return ws ? EigenHouseholderQL_GSL_D(n, W, vec, eig, *ws) : EigenHouseholderQL_GSL_D(n, W, vec, eig);
}

// Number of leading axes whose eigenvalue times 100 over the sum of the positive eigenvalues
// exceeds threshold; inFloat forms the product 100 e in single precision.
template <class TV>
int CountAxes(int n, const TV* eig, double threshold, bool inFloat)
{
    double positive = 0.0;
    for (int k = 0; k < n; k++)
        if (eig[k] > 0) positive += double(eig[k]);
    if (!(positive > 0.0)) return 0;
    int count = 0;
    for (int k = 0; k < n; k++) {
        double scaled = inFloat ? double(100.0f * float(eig[k])) : 100.0 * double(eig[k]);
        if (scaled / positive > threshold) count++;
    }
    return count;
}

// The n x p descriptor-by-object table of data according to orient (1: as it stands).
template <class TD, class TV>
TV** DescriptorTable(int n, int p, TD** data, int orient, TV** X)
{
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) X[i][j] = TV(orient == 1 ? data[i][j] : data[j][i]);
    return X;
}

template <class TD, class TV>
TV** DescriptorTable(int n, int p, TD** data, int orient)
{
    return DescriptorTable(n, p, data, orient, NewMatrix<TV>(n, p));
}

struct EngineRule {
    ToSquared (*rule)(int code, bool covarianceToo);
    bool covarianceToo;
    double threshold;
    bool productInFloat;
};

ToSquared FloatRuleAdapter(int code, bool) { return FloatRule(code); }

// The rule of the double engine on double data.
const EngineRule kDoubleEngine{DoubleRule, true, 1e-6, false};

// The engine's work matrices (n x n, n x p), the correspondence scaling's sums (n, p) and the
// eigen blocks, borrowed from a work space; where null, the engine makes and frees its own.
template <class TV>
struct EngineScratch {
    TV** W = nullptr;
    TV** X = nullptr;
    double* r = nullptr;
    double* c = nullptr;
    EigenWorkspace* eigen = nullptr;
};

// The engine shared by the three ordination forms: TD data, TR resemblance, TV results.
template <class TD, class TR, class TV>
int OrdinationT(int n, int p, TD** data, TR** rese, TV** vec, TV** scores, int* nAxes, TV* eig,
                bool* ok, int method, int code, int orient, const EngineRule& er,
                const EngineScratch<TV>& ws = EngineScratch<TV>())
{
    if (n < 1) {  // nothing to decompose
        *nAxes = 0;
        *ok = true;
        return 1;
    }
    TV** W = ws.W ? ws.W : NewMatrix<TV>(n, n);
    if (method == 1) {
        switch (er.rule(code, er.covarianceToo)) {
        case ToSquared::RootOfComplement:
            // A similarity slightly above 1 (rounding) would give the root of a negative.
            for (int i = 0; i < n; i++)
                for (int j = i; j < n; j++) {
                    TV c = TV(1) - TV(rese[i][j]);
                    W[i][j] = std::sqrt(c > TV(0) ? c : TV(0));
                }
            break;
        case ToSquared::FromProducts:
            ProdToSqDist(n, rese, W);
            break;
        case ToSquared::Square:
            for (int i = 0; i < n; i++)
                for (int j = i; j < n; j++) W[i][j] = TV(rese[i][j]) * TV(rese[i][j]);
            break;
        }
        Mirror(n, W);
        DissToCenterProdMatrix(n, W, W, true);
        Mirror(n, W);
    } else {
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) W[i][j] = TV(rese[i][j]);
    }
    *ok = Eigen(n, W, vec, eig, ws.eigen);
    if (!ws.W) free2D(W, n);
    int axes = CountAxes(n, eig, er.threshold, er.productInFloat);
    *nAxes = axes;
    if (method == 1) {
        for (int k = 0; k < axes; k++) {
            double len2 = 0.0;
            for (int i = 0; i < n; i++) len2 += double(vec[k][i]) * double(vec[k][i]);
            double f = std::sqrt(double(eig[k]) / len2);
            for (int i = 0; i < n; i++) scores[k][i] = TV(double(vec[k][i]) * f);
        }
        return 1;
    }
    if (method != 2 && method != 3) return 1;
    TV** X = ws.X ? DescriptorTable(n, p, data, orient, ws.X) : DescriptorTable<TD, TV>(n, p, data, orient);
    if (method == 2) {
        for (int k = 0; k < axes; k++) {
            double len2 = 0.0;
            for (int i = 0; i < n; i++) len2 += double(vec[k][i]) * double(vec[k][i]);
            double len = len2 > 0.0 ? std::sqrt(len2) : 1.0;
            for (int i = 0; i < n; i++) vec[k][i] = TV(double(vec[k][i]) / len);
        }
        if (code == 22) {
            CenterRowsCovMV(n, p, X, X);
        } else if (code == 17) {
            CenterRowsMV(n, p, X, X);
            NormalizeRowsMV(n, p, X, X);
        }
        for (int k = 0; k < axes; k++)
            for (int j = 0; j < p; j++) {
                double s = 0.0;
                for (int i = 0; i < n; i++)
                    if (IsPresent(X[i][j])) s += double(X[i][j]) * double(vec[k][i]);
                scores[k][j] = TV(s);
            }
    } else {
        double* r = ws.r ? ws.r : dim1Double(n);
        double* c = ws.c ? ws.c : dim1Double(p);
        for (int i = 0; i < n; i++) r[i] = 0.0;
        for (int j = 0; j < p; j++) c[j] = 0.0;
        double total = 0.0;
        for (int i = 0; i < n; i++)
            for (int j = 0; j < p; j++)
                if (IsPresent(X[i][j])) {
                    r[i] += double(X[i][j]);
                    c[j] += double(X[i][j]);
                    total += double(X[i][j]);
                }
        for (int k = 0; k < axes; k++) {
            for (int i = 0; i < n; i++)
                if (r[i] > 0.0) vec[k][i] = TV(double(vec[k][i]) * std::sqrt(total / r[i]));
            double root = std::sqrt(double(eig[k]));
            for (int j = 0; j < p; j++) {
                double s = 0.0;
                if (c[j] > 0.0)
                    for (int i = 0; i < n; i++)
                        if (IsPresent(X[i][j])) s += double(X[i][j]) * double(vec[k][i]);
                scores[k][j] = c[j] > 0.0 ? TV(s / (c[j] * root)) : TV(0);
            }
        }
        if (!ws.r) free1D(r);
        if (!ws.c) free1D(c);
    }
    if (!ws.X) free2D(X, n);
    return 1;
}

template <class T>
void DissToCenterT(int n, T** D, T** C, bool squared)
{
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) C[i][j] = squared ? D[i][j] : D[i][j] * D[i][j];
    double* m = dim1Double(n);
    double grand = 0.0;
    for (int i = 0; i < n; i++) {
        double s = 0.0;
        for (int j = 0; j < n; j++) s += double(i <= j ? C[i][j] : C[j][i]);
        grand += s;
        m[i] = s / n;
    }
    grand /= double(n) * double(n);
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) C[i][j] = T(-0.5 * (double(C[i][j]) - m[i] - m[j] + grand));
    free1D(m);
}

// TC is the precision of the arithmetic.
template <class TC, class TS, class TD>
void ProdToSqDistT(int n, TS** S, TD** D)
{
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++)
            D[i][j] = TD(TC(S[i][i]) + TC(S[j][j]) - TC(2) * TC(S[i][j]));
    for (int i = 0; i < n; i++) D[i][i] = TD(0);
}

// B[i][j] = f(A[i][j]) for j >= i, mirrored (each cell is read before its mirror is written).
template <class T, class F>
void ElementWise(int n, T** A, T** B, F f)
{
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) B[i][j] = f(A[i][j]);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) B[j][i] = B[i][j];
}

enum class Variant { FloatLib, DoubleLib, DoubleDispatch };

// Each column (byColumn) or row of data replaced through op(len, in, out) on a work vector.
template <class T, class Op>
void ForEachLine(int n, int p, T** data, bool byColumn, Op op)
{
    const int lines = byColumn ? p : n, len = byColumn ? n : p;
    T* in = NewVector<T>(len);
    T* out = NewVector<T>(len);
    for (int l = 0; l < lines; l++) {
        for (int k = 0; k < len; k++) in[k] = byColumn ? data[k][l] : data[l][k];
        op(len, in, out);
        for (int k = 0; k < len; k++) (byColumn ? data[k][l] : data[l][k]) = out[k];
    }
    free1D(in);
    free1D(out);
}

template <class T>
void ScalarStep(int n, int p, T** data, int scalar)
{
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) {
            T& x = data[i][j];
            if (IsMissing(x)) continue;
            if (scalar == 1 && x > T(0))
                x = T(1);
            else if (scalar == 2)
                x = std::sqrt(std::fabs(x));
            else if (scalar == 3 && x > T(0))
                x = std::log10(std::fabs(x) + T(1));
        }
}

template <class T>
void Beals(int n, int p, T** data, int rowAdj, bool flag1, bool flag2, Variant v);

template <>
void Beals<float>(int n, int p, float** data, int rowAdj, bool flag1, bool, Variant v)
{
    if (v != Variant::FloatLib) return;
    if (rowAdj == 11) BealsSmoothing(n, p, data, data, data, flag1, 1, false);
    if (rowAdj == 12) BealsSmoothing(n, p, data, data, data, flag1, 2, true);
}

template <>
void Beals<double>(int n, int p, double** data, int rowAdj, bool flag1, bool flag2, Variant v)
{
    if (v == Variant::DoubleDispatch && rowAdj == 11)
        BealsSmoothing(n, p, data, data, data, false, 0, nullptr, flag1, 1, flag2);
}

template <class T>
void TransformT(int n, int p, T** data, int scalar, int colAdj, int rowAdj, int colClasses,
                int rowClasses, bool flag1, bool flag2, Variant v)
{
    ScalarStep(n, p, data, scalar);
    switch (colAdj) {
    case 1: UnitSumColsAdjMV(n, p, data, data); break;
    case 2: CenterColsCovMV(n, p, data, data); break;
    case 3: CenterColsMV(n, p, data, data); break;
    case 4: NormalizeColsMV(n, p, data, data); break;
    case 5:
        CenterColsMV(n, p, data, data);
        NormalizeColsMV(n, p, data, data);
        break;
    case 6:
        // The dispatcher's double form leaves column code 6 out; the others take the
        // deviations from independence of the whole table, as their row code 6 does.
        if (v != Variant::DoubleDispatch) DeviationsExpectationsMV(n, p, data, data);
        break;
    case 7: RangeColsAdjMV(n, p, data, data); break;
    case 8:
        ForEachLine(n, p, data, true, [&](int len, T* in, T* out) { ClassesMV(len, in, out, colClasses); });
        break;
    case 9:
        ForEachLine(n, p, data, true, [](int len, T* in, T* out) { RankVectorAdjMV(len, in, out); });
        break;
    case 10: HellingerColsAdjMV(n, p, data, data); break;
    default: break;
    }
    switch (rowAdj) {
    case 1: UnitSumRowsAdjMV(n, p, data, data); break;
    case 2: CenterRowsCovMV(n, p, data, data); break;
    case 3: CenterRowsMV(n, p, data, data); break;
    case 4: NormalizeRowsMV(n, p, data, data); break;
    case 5:
        CenterRowsMV(n, p, data, data);
        NormalizeRowsMV(n, p, data, data);
        break;
    case 6: DeviationsExpectationsMV(n, p, data, data); break;
    case 7: RangeRowsAdjMV(n, p, data, data); break;
    case 8:
        ForEachLine(n, p, data, false, [&](int len, T* in, T* out) { ClassesMV(len, in, out, rowClasses); });
        break;
    case 9:
        ForEachLine(n, p, data, false, [](int len, T* in, T* out) { RankVectorAdjMV(len, in, out); });
        break;
    case 10: HellingerRowsAdjMV(n, p, data, data); break;
    case 11:
    case 12: Beals(n, p, data, rowAdj, flag1, flag2, v); break;
    default: break;
    }
}

template <class T>
void ScoreCorrCompT(int nScores, int p, T** scores, T** data, int nVar, int orient, int nAxes,
                    T** R)
{
    const int a = nScores < nAxes ? nScores : nAxes;
    if (a < 1 || nVar < 1) return;
    T** M = NewMatrix<T>(a + nVar, p);
    for (int k = 0; k < a; k++)
        for (int j = 0; j < p; j++) M[k][j] = scores[k][j];
    for (int k = 0; k < nVar; k++)
        for (int j = 0; j < p; j++) M[a + k][j] = orient != 0 ? data[k][j] : data[j][k];
    CorrelationPartition(a, nVar, p, M, R);
    free2D(M, a + nVar);
}

}  // namespace

int OrdinationLib(int n, int p, float** data, float** rese, float** vec, float** scores,
                  int* nAxes, float* eig, bool* ok, int method, int reseCode, int orient)
{
    const EngineRule er{FloatRuleAdapter, false, 1e-4, true};
    return OrdinationT(n, p, data, rese, vec, scores, nAxes, eig, ok, method, reseCode, orient, er);
}

int OrdinationLib_D(int n, int p, double** data, double** rese, double** vec, double** scores,
                    int* nAxes, double* eig, bool* ok, int method, int reseCode, int orient)
{
    return OrdinationT(n, p, data, rese, vec, scores, nAxes, eig, ok, method, reseCode, orient, kDoubleEngine);
}

int OrdinationLib_D(int n, int p, float** data, float** rese, double** vec, double** scores,
                    int* nAxes, double* eig, bool* ok, int method, int reseCode, int orient)
{
    const EngineRule er{DoubleRule, false, 1e-10, false};
    return OrdinationT(n, p, data, rese, vec, scores, nAxes, eig, ok, method, reseCode, orient, er);
}

void DissToCenterProdMatrix(int n, float** D, float** C, bool squared) { DissToCenterT(n, D, C, squared); }
void DissToCenterProdMatrix(int n, double** D, double** C, bool squared) { DissToCenterT(n, D, C, squared); }

void ProdToSqDist(int n, float** S, float** D) { ProdToSqDistT<float>(n, S, D); }
void ProdToSqDist(int n, double** S, double** D) { ProdToSqDistT<double>(n, S, D); }
void ProdToSqDist(int n, float** S, double** D) { ProdToSqDistT<float>(n, S, D); }

void CorrToSqDist(int n, float** R, float** D)
{
    ElementWise(n, R, D, [](float r) { return 2.0f * (1.0f - r); });
    for (int i = 0; i < n; i++) D[i][i] = 0.0f;
}

void CorrToSqDist(int n, double** R, double** D)
{
    ElementWise(n, R, D, [](double r) { return 2.0 * (1.0 - r); });
    for (int i = 0; i < n; i++) D[i][i] = 0.0;
}

void ProbToDissim(int n, float** P, float** D) { ElementWise(n, P, D, [](float x) { return 1.0f - x; }); }
void ProbToDissim(int n, double** P, double** D) { ElementWise(n, P, D, [](double x) { return 1.0 - x; }); }
void SquareSqMatrix(int n, float** A, float** B) { ElementWise(n, A, B, [](float x) { return x * x; }); }
void SquareSqMatrix(int n, double** A, double** B) { ElementWise(n, A, B, [](double x) { return x * x; }); }
void SquareRootSqMatrix(int n, float** A, float** B) { ElementWise(n, A, B, [](float x) { return std::sqrt(x); }); }
void SquareRootSqMatrix(int n, double** A, double** B) { ElementWise(n, A, B, [](double x) { return std::sqrt(x); }); }

int DataTransformationsLib(int n, int p, float** data, int scalar, int colAdj, int rowAdj,
                           int colClasses, int rowClasses, bool bealsOpt)
{
    TransformT(n, p, data, scalar, colAdj, rowAdj, colClasses, rowClasses, bealsOpt, false,
               Variant::FloatLib);
    return 1;
}

int DataTransformationsLib_D(int n, int p, double** data, int scalar, int colAdj, int rowAdj,
                             int colClasses, int rowClasses)
{
    TransformT(n, p, data, scalar, colAdj, rowAdj, colClasses, rowClasses, false, false,
               Variant::DoubleLib);
    return 1;
}

int DataTransformationsLib(int n, int p, double** data, int scaleOpt, int colOpt, int rowOpt,
                           int colClasses, int rowClasses, bool bealsFlag1, bool bealsFlag2)
{
    TransformT(n, p, data, scaleOpt, colOpt, rowOpt, colClasses, rowClasses, bealsFlag1,
               bealsFlag2, Variant::DoubleDispatch);
    return 1;
}

void ScoreCorrComp(int nScores, int p, float** scores, float** data, int nVar, int orient,
                   int nAxes, float** R)
{
    ScoreCorrCompT(nScores, p, scores, data, nVar, orient, nAxes, R);
}

void ScoreCorrComp(int nScores, int p, double** scores, double** data, int nVar, int orient,
                   int nAxes, double** R)
{
    ScoreCorrCompT(nScores, p, scores, data, nVar, orient, nAxes, R);
}

// The buffers of OrdinationWorkspace, for n descriptors and p objects (at least one of each).
struct OrdinationWorkspace::Buffers {
    Buffers(int n_, int p_)
        : n(n_ > 0 ? n_ : 1), p(p_ > 0 ? p_ : 1), W(dim2Double(n, n)), X(dim2Double(n, p)), vec(dim2Double(n, n)),
          eig(dim1Double(n)), r(dim1Double(n)), c(dim1Double(p)), eigen(n)
    {
    }
    ~Buffers()
    {
        free2D(W, n);
        free2D(X, n);
        free2D(vec, n);
        free1D(eig);
        free1D(r);
        free1D(c);
    }
    Buffers(const Buffers&) = delete;
    Buffers& operator=(const Buffers&) = delete;
    int n, p;
    double **W, **X, **vec;
    double *eig, *r, *c;
    EigenWorkspace eigen;
};

OrdinationWorkspace::OrdinationWorkspace(int n, int p) : b_(new Buffers(n, p)) {}

OrdinationWorkspace::~OrdinationWorkspace() { delete b_; }

bool OrdinationWorkspace::Fits(int n, int p) const { return n <= b_->n && p <= b_->p; }

int OrdinationLib_Scores(int n, int p, double** data, double** rese, double** scores, int method, int code,
                         int orient, OrdinationWorkspace& ws)
{
    if (!ws.Fits(n, p)) return OrdinationLib_Scores(n, p, data, rese, scores, method, code, orient);
    OrdinationWorkspace::Buffers& b = *ws.buffers();
    EngineScratch<double> s;
    s.W = b.W;
    s.X = b.X;
    s.r = b.r;
    s.c = b.c;
    s.eigen = &b.eigen;
    int axes = 0;
    bool ok = true;
    OrdinationT(n, p, data, rese, b.vec, scores, &axes, b.eig, &ok, method, code, orient, kDoubleEngine, s);
    return axes;
}

int OrdinationLib_Scores(int n, int p, double** data, double** rese, double** scores,
                         int method, int code, int orient)
{
    double** vec = dim2Double(n, n);
    double* eig = dim1Double(n);
    int axes = 0;
    bool ok = true;
    OrdinationLib_D(n, p, data, rese, vec, scores, &axes, eig, &ok, method, code, orient);
    free1D(eig);
    free2D(vec, n);
    return axes;
}

int OrdinationLib_Scores(int n, int p, float** data, float** rese, float** scores, int method,
                         int code, int orient)
{
    float** vec = dim2Dfloat(n, n);
    float* eig = dim1Dfloat(n);
    int axes = 0;
    bool ok = true;
    OrdinationLib(n, p, data, rese, vec, scores, &axes, eig, &ok, method, code, orient);
    free1D(eig);
    free2D(vec, n);
    return axes;
}

int OrdinationLib_Scores(int n, int p, float** data, double** rese, float** scores, int method,
                         int code, int orient)
{
    // The engine reads the whole matrix for components and correspondence scaling, so the
    // rounded upper triangle is mirrored rather than left beside a zero lower half.
    float** r = dim2Dfloat(n, n);
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) r[i][j] = r[j][i] = float(rese[i][j]);
    int axes = OrdinationLib_Scores(n, p, data, r, scores, method, code, orient);
    free2D(r, n);
    return axes;
}
