// Stepwise ranking of the environmental variables and its result file.
#include "classical/TNXERANK.h"

#include <cfloat>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "classical/TNXEVAL.h"
#include "classical/TNXORDI.h"
#include "classical/TNXSeries.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibUtil.h"
#include "session/model/TNXGLOB.h"
#include "statistics/qwlibResDistance.h"
#include "traits/TNXWHOLE.h"

namespace {

bool Backward() { return optEnvStruct == 1; }

// The environmental dissimilarity is Euclidean for quantitative variables, else 1 - Gower.
bool EuclideanEnv() {
    return optEnvVarType == 1 || optEnvVarType == 2 || optEnvVarType == 4 || (optEnvVarType == 5 && temEnvQual == 0);
}

// What the search holds: the working order of the variables (1-based numbers), the work matrix
// rebuilt for each candidate, every dissimilarity, all allocated once.
struct Search {
    Search() : n(ncsm), p(nenv), order(p), best(p), bestOrder(p), types(p), range(p > 0 ? p : 1),
               work(n > 0 ? n : 1, p > 0 ? p : 1), De(Side(), Side()), target(Side(), Side()),
               reference(Side(), Side()), bestDe(Side(), Side()) {
        for (int v = 0; v < p; v++) order[v] = v + 1;
    }
    int Side() const { return n > 0 ? n : 1; }

    // De over the first m variables of the working order.
    void Dissimilarity(int m, double** out) {
        for (int k = 0; k < m; k++) {
            const int v = order[k] - 1;
            types[k] = envVarType ? envVarType[v] : 3;
            for (int c = 0; c < n; c++) work[c][k] = env[c][v];
        }
        EnvDissimilarityInPlace(n, m, work.get(), types.data(), out, range.data());
    }
    // The mean dissimilarity between communities of different groups; NaN without such a pair.
    double BetweenGroups() const {
        double sum = 0.0;
        long pairs = 0;
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++)
                if (groupRel[i] != groupRel[j]) {
                    sum += De[i][j];
                    pairs++;
                }
        return pairs > 0 ? sum / static_cast<double>(pairs) : std::nan("");
    }
    double Value() const {
        switch (optEnvStruct) {
        case 1: return Congruence(n, De.get(), reference.get());
        case 3: return BetweenGroups();
        default: return Congruence(n, De.get(), target.get());
        }
    }
    // Strictly better (a NaN never is): larger, or smaller for criterion 3.
    bool Better(double v, double than) const { return optEnvStruct == 3 ? v < than : v > than; }

    int n, p;
    std::vector<int> order;
    std::vector<double> best;
    std::vector<int> bestOrder, types;
    std::vector<float> range;
    OwnedTable<float> work;
    OwnedTable<double> De, target, reference, bestDe;
};

// A value "%-*.*g\t" (width sDigits + 6), or "undefined" in the same width.
void PrintValue(FILE* f, double v, bool defined = true) {
    if (!defined || std::isnan(v))
        std::fprintf(f, "%-*s\t", sDigits + 6, "undefined");
    else
        std::fprintf(f, "%-*.*g\t", sDigits + 6, sDigits, v);
}

void PrintLabel(FILE* f, const Search& s, int position) { std::fprintf(f, "%-3s\t", envLabel[s.order[position] - 1]); }

// The settings part of the result file, after its ranking.
void Settings(FILE* f, int* axes) {
    std::fprintf(f, "The variables listed above are ordered by decreasing rank.\n");
    std::fprintf(f, "\n\n");
    std::fprintf(f, "%s\n", version);
    std::fprintf(f, "%s\n", lineL);
    std::fprintf(f, "ENVIRONMENTAL VARIABLES RANKING\n");
    std::fprintf(f, "%s\n", lineL);
    TimeStamp(f);
    std::fprintf(f, "Session:        %s \n", sessionName);
    std::fprintf(f, "Formatted data: %s \n", whichFormda);
    std::fprintf(f, "Ranking criterion: %s\n", OptionLabel(optEnvStructInfo, optEnvStruct - 1));
    std::fprintf(f, "Environmental data structure:\n");
    std::fprintf(f, "   Number of variables: %d \n", nenv);
    // The transformation and the resemblance that the dissimilarities were computed with.
    const bool standardised = EuclideanEnv() && optEnvVarType != 1;
    std::fprintf(f, "   Vector transformation: %s\n", OptionLabel(vecTrOptInfo, standardised ? 6 : 0));
    std::fprintf(f, "   Resemblance option: %s\n\n", EuclideanEnv() ? "Euclidean distances" : "1-Gower index");
    std::fprintf(f, "Vegetation data structure:\n");
    if (optEnvStruct == 4) {
        std::fprintf(f, "   Number of vegetation ordination components considered:\n");
        std::fprintf(f, "   ");
        std::fprintf(f, "%d\t", axes ? axes[0] : 0);
        std::fprintf(f, "\n");
    }
    if (optEnvStruct >= 2) {
        std::fprintf(f, "   Data partition type: %s\n", OptionLabel(partInfo, part - 1));
        std::fprintf(f, "   Fuzzy transformation: %s\n", OptionLabel(fuzzyInfo, fuzzy));
        if (fuzzy == 1 || fuzzy == 2) std::fprintf(f, "   Fuzziness degree: %g\n\n", fuzziness);
        std::fprintf(f, "   Resemblance option: %s\n", OptionLabel(rese_optInfo, rese_opt - 1));
        std::fprintf(f, "   Based on %s\n",
                     OptionLabel(rese_typeInfo, (optEnvStruct == 4 ? reseTypeOrd : reseTypeERank) - 1));
    }
    if (optEnvStruct == 3) {
        std::fprintf(f, "Communities: ");
        PrintStringVector(f, ncsm, reLabel, 5, 18, nullptr);
        std::fprintf(f, "\nGroup membership: ");
        std::vector<char*> labels(ncsm);
        static char none[] = "";
        for (int c = 0; c < ncsm; c++)
            labels[c] = groupRel[c] >= 1 && groupRel[c] <= nGroups ? grLabel[groupRel[c] - 1] : none;
        PrintStringVector(f, ncsm, labels.data(), 3, 18, nullptr);
    }
    std::fprintf(f, "\n%-*s\t", sDigits + 6, "SEF");
    if (optEnvStruct == 1) std::fprintf(f, "%-s\t\t", "var.out");
    std::fprintf(f, "%-s\n", "variable subset used:");
}

}  // namespace

int test_ek(int k) { return Backward() ? k > 0 : k < nenv; }
int test_em(int m) { return Backward() ? m >= 0 : m < nenv; }
int incr_em(int m) { return Backward() ? m - 1 : m + 1; }
int incr_ek(int k) { return Backward() ? k - 1 : k + 1; }
int incr_ev(int v) { return Backward() ? v + 1 : v - 1; }

void EnvRank(int* axes, float*** scores) {
    if (optEnvStruct < 1 || optEnvStruct > 4) {
        Refuse(FormatText("\nRanking criterion %d does not rank the variables: nothing is written.\n", optEnvStruct).c_str());
        return;
    }
    Search s;
    const int n = s.n, p = s.p;
    if (optEnvStruct == 2) {
        for (int i = 0; i < n; i++)
            for (int j = i; j < n; j++) s.target[i][j] = rese[0][i][j];
        const StoredKind kind = StoredCommunityKind(rese_opt, reseTypeERank);
        if (kind == StoredKind::Correlations || kind == StoredKind::CrossProducts)
            ToSquaredDistances(n, s.target.get(), s.target.get(), kind);
        UpperToLowerMatrix(n, s.target.get());
    } else if (optEnvStruct == 4) {
        EucliDist(n, axes[0], scores[0], s.target.get());
        UpperToLowerMatrix(n, s.target.get());
    }

    const bool structures = saveStruct == 'y';
    MemoryReport structure, lines;
    FILE* f = lines.stream();
    // Steps that recorded no best value (every candidate undefined) keep it undefined.
    std::vector<bool> recorded(p, false);
    char progress[64];
    const double start = optEnvStruct == 3 ? DBL_MAX : -1.0;
    for (int k = Backward() ? p - 1 : 0; test_ek(k); k = incr_ek(k)) {
        const int m = Backward() ? k : k + 1;
        s.best[k] = start;
        s.bestOrder = s.order;
        if (Backward() && k == p - 1) s.Dissimilarity(p, s.reference.get());
        for (int j = k; test_em(j); j = incr_em(j)) {
            std::snprintf(progress, sizeof progress, "EnvRanking Iteration: %d %d", k + 1, j + 1);
            HandleEventInfoWhere2(progress);
            std::swap(s.order[k], s.order[j]);
            s.Dissimilarity(m, s.De.get());
            if (structures) PrintHalfMatrix(structure.stream(), n, s.De.get(), 0, sDigits);
            const double v = s.Value();
            if (s.Better(v, s.best[k])) {
                s.best[k] = v;
                s.bestOrder = s.order;
                recorded[k] = true;
                if (Backward())
                    for (int a = 0; a < n; a++)
                        for (int b = 0; b < n; b++) s.bestDe[a][b] = s.De[a][b];
            }
            PrintValue(f, v);
            if (Backward()) {
                std::fprintf(f, "%-3s\t\t", envLabel[s.order[k] - 1]);
                for (int q = 0; q < k; q++) PrintLabel(f, s, q);
            } else {
                for (int q = 0; q <= k; q++) PrintLabel(f, s, q);
            }
            std::fprintf(f, "\n");
        }
        s.order = s.bestOrder;
        if (Backward() && recorded[k])
            for (int a = 0; a < n; a++)
                for (int b = 0; b < n; b++) s.reference[a][b] = s.bestDe[a][b];
    }
    std::fprintf(f, "\n");
    SessionFileName(whichEnvRank, eRankExt);
    if (!lines.Close()) RaiseUnwritten(volumeName, whichEnvRank);

    WriteWhole(whichEnvRank, [&](FILE* file) {
        std::fprintf(file, "%5d\n", 1);
        for (int v = Backward() ? 0 : p - 1; Backward() ? v < p : v >= 0; v = incr_ev(v)) PrintValue(file, s.best[v], recorded[v]);
        std::fprintf(file, "\n");
        for (int q = 0; q < p; q++) PrintLabel(file, s, q);
        std::fprintf(file, "\n");
        Settings(file, axes);
        std::fwrite(lines.data(), 1, lines.size(), file);
    });
    if (structures) {
        SessionFileName(whichStructures, structExt);
        PutWhole(volumeName, whichStructures, "w", structure);
    }
}
