// Resemblance of communities over the trait hierarchy: the option dispatcher (all pairs or
// neighbouring pairs), its pairwise fuzzy form, all levels at once, the drivers of the stored
// resemblances and their writer.
#include "traits/TNXHIERRESE.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/qwlib.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXHIEFILE.h"
#include "statistics/qwlibRes.h"
#include "traits/TNXCOMRESE.h"
#include "traits/TNXHIER.h"
#include "traits/TNXHIERInternal.h"
#include "traits/TNXRESEREP.h"
#include "traits/TNXWHOLE.h"

namespace {

// ---------------------------------------------------------------------------------------
// The cells a resemblance is computed for, with the kernels that fill them.
// ---------------------------------------------------------------------------------------

// Every pair with its diagonal; every kernel writes the diagonal too.
struct AllPairs {
    int n;
    template <class F>
    void Each(bool, F f) const {
        for (int i = 0; i < n; i++)
            for (int j = i; j < n; j++) f(i, j);
    }
    template <class F>
    void EachPair(F f) const {
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) f(i, j);
    }
    void IDiv(int p, float** x, double** d) const { IDivergence(n, p, x, d); }
    void Cross(int p, float** x, double** d) const { CrossProduct(n, p, x, d); }
    void Corr(double** c, double** r) const { Correlation(n, c, r); }
    void EucliSq(int p, float** x, double** d) const { EucliDistSq(n, p, x, d); }
    void AbsVal(int p, float** x, double** d) const { AbsValFunction(n, p, x, d); }
};

// The pairs (i, i + lag), and the diagonal where the kernel writes it (the cross products).
struct Neighbours {
    int n, lag;
    template <class F>
    void Each(bool diagonal, F f) const {
        if (diagonal)
            for (int i = 0; i < n; i++) f(i, i);
        EachPair(f);
    }
    template <class F>
    void EachPair(F f) const {
        for (int i = 0; i + lag < n; i++) f(i, i + lag);
    }
    void IDiv(int p, float** x, double** d) const { IDivergenceNeighbours(n, p, x, d, lag); }
    void Cross(int p, float** x, double** d) const { CrossProductNeighbours(n, p, x, d, lag); }
    void Corr(double** c, double** r) const { CorrelationNeighbours(n, c, r, lag); }
    void EucliSq(int p, float** x, double** d) const { EucliDistSqNeighbours(n, p, x, d, lag); }
    // The neighbours' kernel adds the differences of the last of the variables it is given:
    // given the first k + 1 columns in turn, it sums them all.
    void AbsVal(int p, float** x, double** d) const {
        EachPair([&](int i, int j) { d[i][j] = 0.0; });
        for (int k = 0; k < p; k++) AbsValFunctionNeighbours(n, k + 1, x, d, lag);
    }
};

// Each row divided by its total; a zero total by 1.
void RowsToProportions(int n, int p, float** data, float** totals) {
    for (int i = 0; i < n; i++) {
        const float t = totals[i][0] != 0.0f ? totals[i][0] : 1.0f;
        for (int k = 0; k < p; k++) data[i][k] /= t;
    }
}

template <class Cells>
void Dispatch(const Cells& cells, int p, float** data, double** rese, double** rese2, float** totals, double N,
              double K, int reuseTotals, int opt) {
    const double byN = N != 0.0 ? N : 1.0, byK = K != 0.0 ? K : 1.0;
    switch (opt) {
        case 1:
            cells.IDiv(p, data, rese);
            break;
        case 2:
            cells.IDiv(p, data, rese);
            if (!reuseTotals) cells.IDiv(1, totals, rese2);
            cells.Each(false, [&](int i, int j) { rese[i][j] -= rese2[i][j]; });
            break;
        case 3:
        case 4:
        case 5:
        case 10:
            cells.Cross(p, data, rese);
            cells.Each(true, [&](int i, int j) {
                rese[i][j] /= byN;
                if (opt != 3) rese[i][j] -= static_cast<double>(totals[i][0]) * totals[j][0] / byK;
            });
            if (opt == 5 || opt == 10) cells.Corr(rese, rese2);
            if (opt == 10) cells.Each(true, [&](int i, int j) { rese2[i][j] = i == j ? 0.0 : 2.0 * (1.0 - rese2[i][j]); });
            break;
        case 6:
        case 7:
            if (opt == 7) RowsToProportions(cells.n, p, data, totals);
            cells.EucliSq(p, data, rese);
            cells.Each(false, [&](int i, int j) { rese[i][j] /= byN; });
            break;
        case 8:
        case 9:
            if (opt == 9) RowsToProportions(cells.n, p, data, totals);
            cells.AbsVal(p, data, rese);
            break;
        default:
            break;
    }
}

// The work space of the pairwise fuzzy form, allocated once for all pairs.
struct PairWork {
    int p;
    float** pair = dim2Dfloat(2, p);
    float** totals = dim2Dfloat(2, 1);
    double** rese = dim2Double(2, 2);
    double** rese2 = dim2Double(2, 2);
    bool* take = static_cast<bool*>(dim1D(sizeof(bool), p));
    double* tmp = dim1Double(p);
    explicit PairWork(int nTypes) : p(nTypes) {}
    PairWork(const PairWork&) = delete;
    PairWork& operator=(const PairWork&) = delete;
    ~PairWork() {
        free2D(pair, 2);
        free2D(totals, 2);
        free2D(rese, 2);
        free2D(rese2, 2);
        free1D(take);
        free1D(tmp);
    }
};

template <class Cells>
void PairFuzzy(const Cells& cells, int p, float** data, double** rese, double** rese2, float** totals, double N,
               double K, double** S, int reuseTotals) {
    PairWork w(p);
    cells.EachPair([&](int i, int j) {
        std::copy(data[i], data[i] + p, w.pair[0]);
        std::copy(data[j], data[j] + p, w.pair[1]);
        w.totals[0][0] = totals[i][0];
        w.totals[1][0] = totals[j][0];
        if (reuseTotals) w.rese2[0][1] = rese2[i][j];
        hier::PairwiseFuzzyAdj(p, w.pair, S, w.take, w.tmp);
        Dispatch(AllPairs{2}, p, w.pair, w.rese, w.rese2, w.totals, N, K, reuseTotals, rese_opt);
        rese[i][j] = w.rese[0][1];
        rese2[i][j] = w.rese2[0][1];
    });
}

// Sum of all the cells of a table, in double.
double GrandTotal(int rows, int cols, float** m) {
    double sum = 0.0;
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) sum += m[i][j];
    return sum;
}

// Each level's resemblance by rese_opt, its grand total as N and the product of states as K,
// pairwise fuzzy with fuzzy 2. The totals are the same at every level: with option 2 their
// divergence is taken at the first level and reused.
template <class Cells>
void EachLevel(const Cells& cells, int levels, int* nTypes, double*** S, float*** levelData, float** totals,
               double*** rese, double*** rese2) {
    const int n = cells.n;
    const double K = StatesProduct();
    for (int l = 0; l < levels; l++) {
        const double N = GrandTotal(n, nTypes[l], levelData[l]);
        const int reuse = rese_opt == 2 && l > 0;
        if (reuse)
            for (int i = 0; i < n; i++)
                for (int j = i; j < n; j++) rese2[l][i][j] = rese2[0][i][j];
        if (fuzzy == 2)
            PairFuzzy(cells, nTypes[l], levelData[l], rese[l], rese2[l], totals, N, K, S[l], reuse);
        else
            Dispatch(cells, nTypes[l], levelData[l], rese[l], rese2[l], totals, N, K, reuse, rese_opt);
    }
}

template <class Cells>
void AllLevels(const Cells& cells, char*** levelCodes, int* nTypes, double*** S, float*** levelData, float** totals,
               double*** rese, double*** rese2) {
    const int n = cells.n, levels = isHierarchical == 1 ? nch : 1;
    if (fuzzy == 1 || fuzzy == 2) {
        FuzzySets(levels, levelCodes, nTypes, S, chtype, chrange, weight);
        if (fuzziness < 1.0f)
            for (int l = 0; l < levels; l++) FuzzinessDegree_i(nTypes[l], S[l], fuzziness);
        if (fuzzy == 1) FuzzyAdj(levels, n, nTypes, levelData, S);
    }
    for (int c = 0; c < n; c++) totals[c][0] = static_cast<float>(GrandTotal(1, nTypes[0], levelData[0] + c));
    EachLevel(cells, levels, nTypes, S, levelData, totals, rese, rese2);
}

// ---------------------------------------------------------------------------------------
// The drivers.
// ---------------------------------------------------------------------------------------

// n x n double matrices, released with their owner.
struct Matrices {
    int count, n;
    std::vector<double**> m;
    Matrices(int c, int size) : count(c), n(size) {
        for (int k = 0; k < count; k++) m.push_back(dim2Double(n, n));
    }
    Matrices(const Matrices&) = delete;
    Matrices& operator=(const Matrices&) = delete;
    ~Matrices() {
        for (double** x : m) free2D(x, n);
    }
    double** operator[](int k) const { return m[k]; }
};

// A table of floats released with its owner.
struct FloatTable {
    float** m;
    int rows;
    FloatTable(float** table, int r) : m(table), rows(r) {}
    FloatTable(const FloatTable&) = delete;
    FloatTable& operator=(const FloatTable&) = delete;
    ~FloatTable() { free2D(m, rows); }
};

// The stored matrix of an option: the second one for 5 and 10.
bool SecondIsStored(int opt) { return opt == 5 || opt == 10; }

void SectionOpening(FILE* f, const char* title) {
    fprintf(f, "\n%s\n%s%s\n", lineL, title, lineL);
    TimeStamp(f);
}

// The upper half without its diagonal on one line.
void FreeFormatRow(FILE* f, int n, double** m) {
    PrintHalfMatrix_row(f, n, m, 1);
    fprintf(f, "\n");
}

// Correlations of a cross-product matrix, as 2 (1 - r) for option 10.
void CorrelationForm(int n, double** in, double** out, int opt) {
    Correlation(n, in, out);
    if (opt != 10) return;
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) out[i][j] = i == j ? 0.0 : 2.0 * (1.0 - out[i][j]);
}

}  // namespace

void NominalRese(int n, int p, float** data, double** rese, double** rese2, float** totals, double N, double K,
                 int reuseTotals, int opt) {
    if (n < 1) return;
    Dispatch(AllPairs{n}, p, data, rese, rese2, totals, N, K, reuseTotals, opt);
}

void NominalReseNeighbours(int n, int p, float** data, double** rese, double** rese2, float** totals, double N,
                           double K, int reuseTotals, int opt, int lag) {
    if (n < 1 || lag < 1) return;
    Dispatch(Neighbours{n, lag}, p, data, rese, rese2, totals, N, K, reuseTotals, opt);
}

void PairFuzzyRese(int n, int p, float** data, double** rese, double** rese2, float** totals, double N, double K,
                   double** S, int reuseTotals) {
    PairFuzzy(AllPairs{n}, p, data, rese, rese2, totals, N, K, S, reuseTotals);
}

void PairFuzzyReseNeighbours(int n, int p, float** data, double** rese, double** rese2, float** totals, double N,
                             double K, double** S, int reuseTotals, int lag) {
    if (lag < 1) return;
    PairFuzzy(Neighbours{n, lag}, p, data, rese, rese2, totals, N, K, S, reuseTotals);
}

double StatesProduct() {
    // prod[l + 1] = prod[l] x the states of the trait at position nch - 1 - l.
    double prod = 1.0;
    for (int l = 0; l < nch; l++) prod *= onsta[nch - 1 - l];
    return prod;
}

void Rese(int nComm, char*** levelCodes, int* nTypes, double*** S, float*** levelData, float** totals, double*** rese,
          double*** rese2) {
    if (nComm < 1) return;
    AllLevels(AllPairs{nComm}, levelCodes, nTypes, S, levelData, totals, rese, rese2);
}

void ReseNeighbours(int nComm, char*** levelCodes, int* nTypes, double*** S, float*** levelData, float** totals,
                    double*** rese, double*** rese2, int lag) {
    if (nComm < 1 || lag < 1) return;
    AllLevels(Neighbours{nComm, lag}, levelCodes, nTypes, S, levelData, totals, rese, rese2);
}

void WriteStoredResemblances(const char* name, int nMatrices, int n, double** const* matrices) {
    // One of the run's files while a run is under way: the track file that records it is
    // put in place with it.
    RunFileWriter w(std::string(volumeName) + name);
    FILE* f = w.OpenOrRaise();
    for (int k = 0; k < nMatrices; k++) PrintHalfMatrix_ff(f, n, matrices[k], 0);
    w.CommitOrExplain();
}

void Resemblance() {
    if (!hier::CanBuild()) return;
    hier::Run h;
    h.Build();
    const int L = h.levels, n = ncsm, opt = rese_opt;
    int* types = h.types.data();
    if (fuzzy == 1 || fuzzy == 2) h.MakeSets();
    if (fuzzy != 2) {
        // The level tables as the hierarchy's analysis left them (fuzzy-adjusted with fuzzy 1).
        std::vector<int> rows(L, 0);
        float*** read = ReadIntermediateLevels(whichHier, L, rows.data());
        bool match = true;
        for (int l = 0; l < L; l++) match = match && rows[l] == types[l];
        for (int l = 0; match && l < L; l++)
            for (int k = 0; k < types[l]; k++)
                for (int c = 0; c < n; c++) h.data[l][c][k] = read[l][k][c];
        FreeIntermediateLevels(read, L, rows.data());
        if (!match) {
            fprintf(stderr, "\nfile %s ", whichHier);
            RaiseError(TNX_END_OF_FILE);
        }
    }
    Matrices R(L, n), R2(L, n);
    EachLevel(AllPairs{n}, L, types, h.S, h.data, h.totals, R.m.data(), R2.m.data());
    std::vector<double**> nominal;
    for (int l = 0; l < L; l++) nominal.push_back(SecondIsStored(opt) ? R2[l] : R[l]);

    MemoryReport report;
    FILE* f = report.stream();
    const bool hierarchical = isHierarchical == 1;
    if (f) {
        SectionOpening(f, "RESEMBLANCE OF COMMUNITIES\n");
        fprintf(f, "Resemblance function: %s\n", OptionLabel(rese_optInfo, opt - 1));
        fprintf(f, "Fuzzy transformation: %s\n", OptionLabel(fuzzyInfo, fuzzy));
        if (fuzzy == 1 || fuzzy == 2) fprintf(f, "Degree of fuzziness: %g\n", fuzziness);
        for (int l = 0; printNRese == 'y' && l < L; l++) {
            if (hierarchical) fprintf(f, "\nLevel %d: ", l + 1);
            fprintf(f, SecondIsStored(opt) ? "Global resemblances (Option %d):\n" : "Nominal resemblances (Option %d):\n",
                    opt);
            PrintUpperTriangle(f, n, nominal[l]);
        }
        if (printReseFree == 'y') {
            if (hierarchical)
                fprintf(f,
                        "Nominal resemblances (Option %d), levels 1 to %d in rows (upper half, free format, no "
                        "diagonal):\n",
                        opt, L);
            else
                fprintf(f, "Nominal resemblances (Option %d) (upper half, free format, no diagonal):\n", opt);
            for (int l = 0; l < L; l++) FreeFormatRow(f, n, nominal[l]);
        }
    }

    // The parts of the resemblance contributed between consecutive levels of crisp monothetic
    // types: level l less level l + 1, the last level as it is; they add up to level 1.
    const bool partial = fuzzy == 0 && poolCSTopt == 1 && hierarchical;
    Matrices P(partial ? L + 1 : 0, n), C(partial && SecondIsStored(opt) ? L + 1 : 0, n);
    std::vector<double**> partials;
    if (partial) {
        double** G = P[L];
        for (int l = 0; l < L; l++)
            for (int i = 0; i < n; i++)
                for (int j = i; j < n; j++) {
                    P[l][i][j] = l + 1 < L ? R[l][i][j] - R[l + 1][i][j] : R[l][i][j];
                    G[i][j] += P[l][i][j];
                }
        for (int l = 0; l <= L; l++) {
            if (SecondIsStored(opt)) CorrelationForm(n, P[l], C[l], opt);
            partials.push_back(SecondIsStored(opt) ? C[l] : P[l]);
        }
        for (int l = 0; f && printPRese == 'y' && l <= L; l++) {
            if (l < L)
                fprintf(f, "\nLevel %d: Partial resemblances (Option %d):\n", l + 1, opt);
            else
                fprintf(f, "Global resemblances (Option %d):\n", opt);
            PrintHalfMatrix(f, n, partials[l], 0, sDigits);
        }
    }
    PutWhole(volumeName, whichPrinda, "a", report);
    WriteStoredResemblances(whichNRese, L, n, nominal.data());
    if (partial) WriteStoredResemblances(whichPRese, L + 1, n, partials.data());
}

void ResemblanceNonHier() {
    int rows = 0;
    float** table = ReadIntermediateLevel(whichHier, 1, &rows);
    FloatTable read(table, rows);
    const int n = ncsm, opt = rese_opt;
    FloatTable x(dim2Dfloat(n, rows), n);
    FloatTable totals(dim2Dfloat(n, 1), n);
    for (int c = 0; c < n; c++)
        for (int k = 0; k < rows; k++) x.m[c][k] = read.m[k][c], totals.m[c][0] += read.m[k][c];
    Matrices R(2, n);
    if (opt >= 6 && opt <= 10)
        NominalReseNonHier(n, rows, x.m, R[0], opt);
    else
        NominalRese(n, rows, x.m, R[0], R[1], totals.m, GrandTotal(n, rows, x.m), StatesProduct(), 0, opt);
    double** stored = opt == 5 ? R[1] : R[0];

    MemoryReport report;
    if (FILE* f = report.stream()) {
        SectionOpening(f, "RESEMBLANCE OF COMMUNITIES\n");
        fprintf(f, "Resemblance function: %s\n", OptionLabel(rese_optInfo, opt - 1));
        if (printNRese == 'y') {
            fprintf(f, "Nominal resemblances (Option %d):\n", opt);
            PrintUpperTriangle(f, n, stored);
        }
    }
    PutWhole(volumeName, whichPrinda, "a", report);
    WriteStoredResemblances(whichNRese, 1, n, &stored);
}

void ResemblanceCst() {
    const int level = whichLevelCst;
    std::vector<int> perLevel(std::max(level, 1), 0);
    int rows = 0;
    float** table = ReadIntermediateLevel(whichHier, level, &rows, perLevel.data());
    FloatTable data(table, rows);
    for (int l = 0; l < std::min(level, nch); l++) rcst[l] = perLevel[l];
    FloatTable totals(dim2Dfloat(rows, 1), rows);
    for (int k = 0; k < rows; k++) totals.m[k][0] = static_cast<float>(GrandTotal(1, ncsm, data.m + k));
    Matrices R(2, rows);
    NominalRese(rows, ncsm, data.m, R[0], R[1], totals.m, 1.0, ncsm, 0, reseCstOpt);
    double** stored = SecondIsStored(reseCstOpt) ? R[1] : R[0];

    MemoryReport report;
    if (FILE* f = report.stream()) {
        SectionOpening(f, "RESEMBLANCE OF PFTs\n");
        fprintf(f, "Resemblance function: %s\n", OptionLabel(rese_optInfo, reseCstOpt - 1));
        fprintf(f, "Fuzzy transformation: %s\n", OptionLabel(fuzzyInfo, fuzzy));
        if (fuzzy == 1 || fuzzy == 2) fprintf(f, "Degree of fuzziness: %g\n", fuzziness);
        if (printNRese == 'y') {
            fprintf(f, "Resemblance matrix of PFTs defined at level %d of the trait hierarchy:\n", level);
            PrintUpperTriangle(f, rows, stored);
        }
        if (printReseFree == 'y') {
            fprintf(f,
                    "Resemblance matrix of PFTs defined at level %d of the trait hierarchy (upper half, free format, "
                    "no diagonal):\n",
                    level);
            FreeFormatRow(f, rows, stored);
        }
    }
    WriteStoredResemblances(whichCstRese, 1, rows, &stored);
    PutWhole(volumeName, whichPrinda, "a", report);
}

void EnvRese() {
    if (nenv < 1 || ncsm < 1 || !env) return;
    const int n = ncsm, v = nenv;
    FloatTable E(dim2Dfloat(n, v), n);
    for (int c = 0; c < n; c++)
        for (int k = 0; k < v; k++) E.m[c][k] = env[c][k];
    if (envVecTrOpt == 1 || envVecTrOpt == 5) CenterRowsMV(n, v, E.m, E.m);
    if (envVecTrOpt == 2 || envVecTrOpt == 6) CenterColsMV(n, v, E.m, E.m);
    if (envVecTrOpt == 3 || envVecTrOpt == 5) NormalizeRowsMV(n, v, E.m, E.m);
    if (envVecTrOpt == 4 || envVecTrOpt == 6) NormalizeColsMV(n, v, E.m, E.m);
    const bool euclidean = optEnvVarType == 1 || optEnvVarType == 2 || optEnvVarType == 4 ||
                           (optEnvVarType == 5 && temEnvQual == 0);
    Matrices D(1, n);
    if (euclidean) {
        EucliDistMV(n, v, E.m, D[0]);
    } else {
        GowerMVOpt(n, v, envVarType, E.m, D[0], nullptr, nullptr, countDoubleAbsence);
        ProbToDissim(n, D[0], D[0]);
    }
    if (rese && rese[0])
        for (int i = 0; i < n; i++)
            for (int j = i; j < n; j++) rese[0][i][j] = rese[0][j][i] = D[0][i][j];

    MemoryReport report;
    if (FILE* f = report.stream()) {
        if (std::string(prindaMode) == "w") fprintf(f, "%s\n", version);
        fprintf(f, "%s\nEXPLORATION OF ENVIRONMENTAL DATA STRUCTURE\n%s\n", lineL, lineL);
        TimeStamp(f);
        fprintf(f, "Session:       %s \n", sessionName);
        fprintf(f, "Formatted data: %s \n", whichFormda);
        fprintf(f, "Number of environmental variables: %d \n\n", v);
        fprintf(f, "Vector transformation: %s\n", OptionLabel(vecTrOptInfo, envVecTrOpt));
        fprintf(f, euclidean ? "Resemblance option: Euclidean distances\n" : "Resemblance option: 1 - Gower index\n");
        if (printNRese == 'y') {
            fprintf(f, "\nResemblance matrix:\n");
            PrintHalfMatrix(f, n, D[0], 0, sDigits);
        }
        if (printReseFree == 'y') {
            fprintf(f, "\nResemblance matrix (upper half, free format, no diagonal):\n");
            FreeFormatRow(f, n, D[0]);
        }
    }
    PutWhole(volumeName, whichEnvPrinda, prindaMode, report);
    WriteStoredResemblances(whichEnvRese, 1, n, &D.m[0]);
}
