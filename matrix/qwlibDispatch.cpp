// Resemblance dispatcher (every coefficient code wired to its kernel), its older and
// three-way forms, the ordination-score wrappers and the randomisation test of the
// resemblances among variables.
#include "matrix/qwlib.h"

#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "matrix/qwlibInternal.h"
#include "statistics/qwlibRes.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <type_traits>

namespace {

using qwmat::NewMatrix;

// Which dispatcher is running: the current one, or the older one (code 5 by GowerMV, no
// codes 21 and 22).
enum class Form { Current, Old };

// A work copy of x (m x q).
template <class T>
T** Copy(int m, int q, T** x)
{
    T** w = NewMatrix<T>(m, q);
    for (int i = 0; i < m; i++)
        for (int j = 0; j < q; j++) w[i][j] = x[i][j];
    return w;
}

// Runs the kernel of code on the m objects (rows) of x, q variables each, into r.
template <class TD, class TR>
void Kernel(int m, int q, TD** x, TR** r, int code, int* varTypes, double par1, double par2,
            int gowerOpt, bool flag, Form form)
{
    constexpr bool doubleData = std::is_same<TD, double>::value;
    switch (code) {
    case 1: CrossProductMV(m, q, x, r); break;
    case 2: AbsValFunctionMV(m, q, x, r); break;
    case 3: EucliDistMV(m, q, x, r); break;
    case 4: MutualInformationMV(m, q, x, r); break;
    case 5:
        if constexpr (!doubleData && std::is_same<TR, float>::value) {
            if (form == Form::Old) {
                GowerMV(m, q, varTypes, x, r, nullptr, nullptr);
                break;
            }
        }
        GowerMVOpt(m, q, varTypes, x, r, nullptr, nullptr, gowerOpt);
        break;
    case 6: MDISMV(m, q, x, r, flag); break;
    case 7: MutualEntropyPairwiseMV(m, q, x, r, TR(par1), flag); break;
    case 8:
        CoheCoefPairwiseMV(m, q, x, r, float(par1), flag);
        // Coherence as a distance; a coherence of magnitude 1 or more (rounding) gives 0.
        for (int i = 0; i < m; i++)
            for (int j = i; j < m; j++) {
                TR c = TR(1) - r[i][j] * r[i][j];
                r[i][j] = c > TR(0) ? std::sqrt(c) : TR(0);
            }
        break;
    case 9: CoheCoefPairwiseMV(m, q, x, r, float(par1), flag); break;
    case 10: QuiSquareMV(m, q, x, r, flag); break;
    case 11: Jaccard(m, q, x, r); break;
    case 12: SimpleMatching(m, q, x, r); break;
    case 13: SokalMichener(m, q, x, r); break;
    case 14: Ochiai(m, q, x, r); break;
    case 15: Sorensen(m, q, x, r); break;
    case 16: MeanSquareContingency(m, q, x, r); break;
    case 17:
        if constexpr (doubleData) {
            CorrelationMV(m, q, x, r);
        } else {
            TD** w = Copy(m, q, x);
            CenterRowsMV(m, q, w, w);
            NormalizeRowsMV(m, q, w, w);
            CrossProductMV(m, q, w, r);
            free2D(w, m);
        }
        break;
    case 18:
        if constexpr (doubleData) {
            ChordDistMV(m, q, x, r);
        } else {
            TD** w = Copy(m, q, x);
            NormalizeRowsMV(m, q, w, w);
            EucliDistMV(m, q, w, r);
            free2D(w, m);
        }
        break;
    case 19:
        // The tolerance is carried in single precision in every form.
        LegendreChodorowski(m, q, x, r, nullptr, float(par2));
        break;
    case 20: BrayCurtisMV(m, q, x, r); break;
    case 21:
        if (form == Form::Old) break;
        {
            TD** w = Copy(m, q, x);
            CenterRowsMV(m, q, w, w);
            NormalizeRowsMV(m, q, w, w);
            for (int i = 0; i < m; i++)
                for (int j = i + 1; j < m; j++)
                    HierFactorialEigen(q, w[i], w[j], nullptr, &r[i][j], nullptr, nullptr);
            free2D(w, m);
        }
        break;
    case 22:
        if constexpr (doubleData) {
            if (form == Form::Current) CovarianceMV(m, q, x, r);
        }
        break;
    default: break;
    }
}

// The dispatcher's steps: orientation, kernel, write-back of the oriented copy, post-step,
// mirroring.
template <class TD, class TR>
int ResemblanceT(int n, int p, TD** data, TR** rese, int orient, int code, int post,
                 int* varTypes, double par1, double par2, int gowerOpt, bool flag, Form form)
{
    int m = n, q = p;
    TD** x = data;
    if (orient == 2) {
        m = p;
        q = n;
        x = NewMatrix<TD>(p, n);
        for (int i = 0; i < n; i++)
            for (int j = 0; j < p; j++) x[j][i] = data[i][j];
    }
    Kernel(m, q, x, rese, code, varTypes, par1, par2, gowerOpt, flag, form);
    if (orient == 2) {
        for (int i = 0; i < n; i++)
            for (int j = 0; j < p; j++) data[i][j] = x[j][i];
        free2D(x, p);
    }
    if (post == 1 || post == 2)
        for (int i = 0; i < m; i++)
            for (int j = i; j < m; j++)
                rese[i][j] = post == 2 ? std::sqrt(rese[i][j]) : rese[i][j] * rese[i][j];
    for (int i = 0; i < m; i++)
        for (int j = i + 1; j < m; j++) rese[j][i] = rese[i][j];
    return 1;
}

template <class T>
int TripletsT(int n, int p, T** data, T*** rese3, int orient, int code, double par1, bool flag)
{
    int m = n, q = p;
    T** x = data;
    if (orient == 2) {
        m = p;
        q = n;
        x = NewMatrix<T>(p, n);
        for (int i = 0; i < n; i++)
            for (int j = 0; j < p; j++) x[j][i] = data[i][j];
    }
    if (code == 7) MutualEntropyTripletsMV(m, q, x, rese3, float(par1), flag);
    if (orient == 2) {
        for (int i = 0; i < n; i++)
            for (int j = 0; j < p; j++) data[i][j] = x[j][i];
        free2D(x, p);
    }
    for (int i = 0; i < m; i++)
        for (int j = i + 1; j < m; j++)
            for (int k = j + 1; k < m; k++) {
                T v = rese3[i][j][k];
                rese3[i][k][j] = rese3[j][i][k] = rese3[j][k][i] = v;
                rese3[k][i][j] = rese3[k][j][i] = v;
            }
    return 1;
}

// The randomisation test: TD data, on a float work table.
template <class TD>
int RandomizationT(int n, int p, TD** data, double** prob, int iterations, unsigned seed,
                   int scaleOpt, int colOpt, int rowOpt, int classes, int orient, int code,
                   int* varTypes, float par1, float par2, int gowerOpt, float* seconds)
{
    InitRndNumberGenerator(seed);
    clock_t start = clock();
    float** W = dim2Dfloat(n, p);
    float** R0 = dim2Dfloat(p, p);
    float** R = dim2Dfloat(p, p);
    int* list = dim1Dint(n);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) W[i][j] = float(data[i][j]);
    DataTransformationsLib(n, p, W, scaleOpt, colOpt, rowOpt, classes, classes, true);
    ResemblanceLib(n, p, W, R0, orient, code, 0, varTypes, par1, par2, gowerOpt, false);
    for (int i = 0; i < p; i++)
        for (int j = i + 1; j < p; j++) prob[i][j] = 1.0;
    char text[64];
    for (int t = 2; t <= iterations; t++) {
        snprintf(text, sizeof text, "Randomization iteration: %d %d", iterations, t);
        HandleEventInfoWhere2(text);
        for (int j = 0; j < p; j++) {
            RndList(n, list);
            for (int i = 0; i < n; i++) W[i][j] = float(data[list[i] - 1][j]);
        }
        DataTransformationsLib(n, p, W, scaleOpt, colOpt, rowOpt, classes, classes, true);
        ResemblanceLib(n, p, W, R, orient, code, 0, varTypes, par1, par2, gowerOpt, false);
        for (int i = 0; i < p; i++)
            for (int j = i + 1; j < p; j++)
                if (std::fabs(R[i][j]) >= std::fabs(R0[i][j])) prob[i][j] += 1.0;
    }
    for (int i = 0; i < p; i++)
        for (int j = i + 1; j < p; j++) {
            if (iterations > 0) prob[i][j] /= iterations;
            prob[j][i] = double(R0[i][j]);
        }
    *seconds = difftime_Clock((unsigned long)start);
    free1D(list);
    free2D(R, p);
    free2D(R0, p);
    free2D(W, n);
    return 1;
}

}  // namespace

int ResemblanceLib(int n, int p, double** data, double** rese, int orient, int code, int post,
                   int* varTypes, double par1, double par2, int gowerOpt, bool flag)
{
    return ResemblanceT(n, p, data, rese, orient, code, post, varTypes, par1, par2, gowerOpt,
                        flag, Form::Current);
}

int ResemblanceLib(int n, int p, float** data, double** rese, int orient, int code, int post,
                   int* varTypes, double par1, double par2, int gowerOpt, bool flag)
{
    return ResemblanceT(n, p, data, rese, orient, code, post, varTypes, par1, par2, gowerOpt,
                        flag, Form::Current);
}

int ResemblanceLib(int n, int p, float** data, float** rese, int orient, int code, int post,
                   int* varTypes, double par1, double par2, int gowerOpt, bool flag)
{
    return ResemblanceT(n, p, data, rese, orient, code, post, varTypes, par1, par2, gowerOpt,
                        flag, Form::Current);
}

int ResemblanceLib(int n, int p, double** data, double** rese, int orient, int code,
                   int* varTypes, double par1, double par2, int gowerOpt, bool flag)
{
    return ResemblanceLib(n, p, data, rese, orient, code, 0, varTypes, par1, par2, gowerOpt, flag);
}

int ResemblanceLib(int n, int p, float** data, double** rese, int orient, int code,
                   int* varTypes, double par1, double par2, int gowerOpt, bool flag)
{
    return ResemblanceLib(n, p, data, rese, orient, code, 0, varTypes, par1, par2, gowerOpt, flag);
}

int ResemblanceLib(int n, int p, float** data, float** rese, int orient, int code,
                   int* varTypes, double par1, double par2, int gowerOpt, bool flag)
{
    return ResemblanceLib(n, p, data, rese, orient, code, 0, varTypes, par1, par2, gowerOpt, flag);
}

int ResemblanceLibOld(int n, int p, float** data, float** rese, int orient, int code,
                      int* varTypes, double par1, double par2, bool flag)
{
    return ResemblanceT(n, p, data, rese, orient, code, 0, varTypes, par1, par2, 0, flag,
                        Form::Old);
}

int ResemblanceLibTriplets(int n, int p, float** data, float*** rese3, int orient, int code,
                           int* varTypes, double par1, bool flag)
{
    (void)varTypes;
    return TripletsT(n, p, data, rese3, orient, code, par1, flag);
}

int ResemblanceLibTriplets(int n, int p, double** data, double*** rese3, int orient, int code,
                           int* varTypes, double par1, bool flag)
{
    (void)varTypes;
    return TripletsT(n, p, data, rese3, orient, code, par1, flag);
}

int RandomizationVar(int n, int p, float** data, double** prob, int iterations, unsigned seed,
                     int scaleOpt, int colOpt, int rowOpt, int classes, int orient, int code,
                     int* varTypes, float par1, float par2, int gowerOpt, float* seconds)
{
    return RandomizationT(n, p, data, prob, iterations, seed, scaleOpt, colOpt, rowOpt, classes,
                          orient, code, varTypes, par1, par2, gowerOpt, seconds);
}

int RandomizationVar(int n, int p, double** data, double** prob, int iterations, unsigned seed,
                     int scaleOpt, int colOpt, int rowOpt, int classes, int orient, int code,
                     int* varTypes, float par1, float par2, int gowerOpt, float* seconds)
{
    return RandomizationT(n, p, data, prob, iterations, seed, scaleOpt, colOpt, rowOpt, classes,
                          orient, code, varTypes, par1, par2, gowerOpt, seconds);
}
