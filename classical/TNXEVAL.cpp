// Evaluation of structures: the seven evaluation functions, their report section, the values
// file and the structure file.
#include "classical/TNXEVAL.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "classical/TNXCLUST.h"
#include "classical/TNXORDI.h"
#include "classical/TNXSeries.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibUtil.h"
#include "matrix/qwlibOrdination.h"
#include "matrix/qwlibSumSq.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXHIEFILE.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResCompare.h"
#include "statistics/qwlibResDistance.h"
#include "statistics/qwlibResEntropy.h"
#include "statistics/qwlibResGower.h"
#include "traits/TNXCOMRESE.h"
#include "traits/TNXWHOLE.h"

namespace {

// The structure file while Evaluation composes it; null otherwise.
FILE* structureFile = nullptr;

// The structure file composed in memory while an evaluation runs, put in place whole at its end
// ("w": created afresh, "a": appended); nothing is kept when the preference is off or the
// randomisation tests run.
class StructureFile {
public:
    explicit StructureFile(const char* mode) : mode_(mode), on_(saveStruct == 'y' && optmain != 'D') {
        if (on_) structureFile = text_.stream();
    }
    ~StructureFile() { structureFile = nullptr; }
    StructureFile(const StructureFile&) = delete;
    StructureFile& operator=(const StructureFile&) = delete;
    FILE* Stream() const { return on_ ? structureFile : nullptr; }
    void Commit() {
        if (!on_) return;
        structureFile = nullptr;
        SessionFileName(whichStructures, structExt);
        PutWhole(volumeName, whichStructures, mode_, text_);
    }

private:
    const char* mode_;
    bool on_;
    MemoryReport text_;
};

void AppendStructure(double** m) {
    if (structureFile) PrintHalfMatrix(structureFile, ncsm, m, 0, sDigits);
}

// The matrix that receives converted structures, kept from one call to the next: the
// randomisation tests evaluate a structure per permutation.
double** ConversionSpace(int n) {
    static std::vector<double> cells;
    static std::vector<double*> rows;
    if (static_cast<int>(rows.size()) != n) {
        cells.assign(static_cast<size_t>(n) * n, 0.0);
        rows.resize(n);
        for (int i = 0; i < n; i++) rows[i] = cells.data() + static_cast<size_t>(i) * n;
    }
    return rows.data();
}

// Correlations (the nominal or partial ones) are compared as squared distances.
bool CorrelationsStored() { return reseTypeEv != 3 && rese_opt == 5; }

// A value of the report: "%.*g", or "undefined" for NaN.
std::string Value(double v) { return std::isnan(v) ? "undefined" : FormatText("%.*g", sDigits, v); }

// The number of levels a report lists: the first only for polythetic or non-hierarchical data.
int ReportedLevels(int levels) { return (poolCSTopt == 2 || isHierarchical != 1) ? std::min(levels, 1) : levels; }

// "Level %d: value \n" per level (the partial resemblances' extra matrix is the global one),
// or "value \n" when the analysis is not hierarchical.
void PrintLevels(FILE* f, int levels, const double* values) {
    for (int l = 0; l < ReportedLevels(levels); l++) {
        if (isHierarchical != 1)
            std::fprintf(f, "%s \n", Value(values[l]).c_str());
        else if (reseTypeEv == 2 && l == nch)
            std::fprintf(f, "Global: %s \n", Value(values[l]).c_str());
        else
            std::fprintf(f, "Level %d: %s \n", l + 1, Value(values[l]).c_str());
    }
}

// A list of items after its title: a counter starts at 23, grows by 4 per item and past
// maxColsPrint the list goes on under the title.
template <class Item>
void PrintList(FILE* f, const char* title, int n, Item item) {
    std::fprintf(f, "%s", title);
    long count = 23;
    for (int i = 0; i < n; i++) {
        item(i);
        count += 4;
        if (count > maxColsPrint) {
            std::fprintf(f, "\n                     ");
            count = 23;
        }
    }
}

void PrintCommunities(FILE* f) {
    PrintList(f, "     Communities:          ", ncsm, [&](int i) { std::fprintf(f, "%-6s", reLabel[i]); });
}

void PrintMembership(FILE* f) {
    PrintList(f, "\n     Group membership: ", ncsm, [&](int i) {
        const int g = groupRel[i];
        std::fprintf(f, "%-4s", g >= 1 && g <= nGroups ? grLabel[g - 1] : "");
    });
}

// The values file: level 1 and, in a hierarchical analysis, the further levels. Not written when
// a value is undefined: the session then holds no values.
void WriteValues(int levels, const double* values) {
    const int n = isHierarchical == 1 ? levels : std::min(levels, 1);
    for (int l = 0; l < n; l++)
        if (std::isnan(values[l])) {
            hasRo = 0;
            std::snprintf(whichRo, sizeof whichRo, "NULL");
            return;
        }
    WriteWhole(whichRo, [&](FILE* file) {
        for (int l = 0; l < n; l++) std::fprintf(file, "%.12g \n", values[l]);
    });
}

// The notes that close a structure file of functions 1 and 2.
void StructureNotes(FILE* s) {
    std::fprintf(s, "The arrays are upper half %d x %d communities matrices,\n", ncsm, ncsm);
    if (optEnvVarType == 1)
        std::fprintf(s, "1st array: euclidean distances environmental structure.\n");
    else if (optEnvVarType == 2 || optEnvVarType == 4 || (optEnvVarType == 5 && temEnvQual == 0))
        std::fprintf(s, "1st array: euclidean distances environmental structure, after variables centered and "
                        "normalized.\n");
    else
        std::fprintf(s, "1st array: 1-Gower index, environmental structure.\n");
}

// The Euclidean distance of the communities over the first k columns of scores, mirrored.
void ScoreDistances(int n, int k, double** scores, double** D) {
    EucliDist(n, k, scores, D);
    UpperToLowerMatrix(n, D);
}

// The evaluation of the partition's groups, one community group at a time clustered by complete
// linkage, each group's section after its heading.
void GroupHomogeneity(FILE* f) {
    whichObj = 'r';
    clusMeth = 2;
    const int level = std::max(1, whichLevelRel);
    double** whole = rese[level - 1];
    for (int g = 1; g <= nGroups; g++) {
        std::vector<int> members;
        for (int c = 0; c < ncsm; c++)
            if (groupRel[c] == g) members.push_back(c);
        std::fprintf(f, "%s\n", lineL);
        std::fprintf(f, "Group %s:", grLabel[g - 1]);
        const int m = static_cast<int>(members.size());
        if (m < 2) continue;
        OwnedTable<double> sub(m, m);
        std::vector<char*> labels;
        for (int i = 0; i < m; i++) {
            labels.push_back(reLabel[members[i]]);
            for (int j = i; j < m; j++) sub[i][j] = whole[members[i]][members[j]];
        }
        ClusterSection(f, m, labels.data(), level, reseTypeEv, sub.get());
    }
}

}  // namespace

void EnvDissimilarityInPlace(int n, int p, float** data, int* types, double** De, float* range) {
    const bool euclidean = optEnvVarType == 1 || optEnvVarType == 2 || optEnvVarType == 4 ||
                           (optEnvVarType == 5 && temEnvQual == 0);
    if (euclidean) {
        if (optEnvVarType != 1) CorrAdj(n, p, data, data);
        EucliDistMV(n, p, data, De);
        UpperToLowerMatrix(n, De);
        return;
    }
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) De[i][j] = 0.0;
    GowerMVOpt(n, p, types, data, De, range, nullptr, countDoubleAbsence);
    ProbToDissim(n, De, De);
}

void EnvDissimilarity(int n, int p, float** data, int* types, double** De) {
    // The caller's table stays as it is: standardising and ranking work on a copy.
    OwnedTable<float> copy(n > 0 ? n : 1, p > 0 ? p : 1);
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++) copy[i][k] = data[i][k];
    std::vector<float> range(p > 0 ? p : 1);
    EnvDissimilarityInPlace(n, p, copy.get(), types, De, range.data());
}

double Congruence(int n, double** a, double** b) {
    if (n >= 3) return MatrixCorr(n, a, b);
    return n == 2 ? TwoCommunityCongruence(a[0][1], b[0][1]) : 0.0;
}

double EvalStruct(double** a, double** b, int* selection) {
    const int n = ncsm;
    if (cohe == 4) {
        AppendStructure(b);
        return Congruence(n, b, a);
    }
    if (cohe != 1 && cohe != 3) return 0.0;
    double** s = b;
    if (CorrelationsStored()) {
        s = ConversionSpace(n);
        CorrToSqDist(n, b, s);
    }
    AppendStructure(s);
    if (cohe == 1) return Congruence(n, a, s);

    switch (groupDissMeth) {
    case 1:
        return AverageDissim(n, s, groupRel, selection);
    case 2:
        return NearNeighDist(n, s, groupRel, selection);
    case 3:
    case 4: {
        // The sums of squares take the structure's squares, or its cells when they are squared.
        const bool squared =
            CorrelationsStored() || StoredCommunityKind(rese_opt, reseTypeEv) == StoredKind::SquaredDistances;
        double between = 0.0, total = 0.0;
        BetweenGrSqDissim(n, s, groupRel, &between, &total, selection, squared);
        if (groupDissMeth == 3) return between;
        return between < total ? between / (total - between) : 1.0;
    }
    default:
        return 0.0;
    }
}

void VegEnvCoherence(int levels, int n, int p, float** e, double*** matrices, double* values) {
    OwnedTable<double> De(n > 0 ? n : 1, n > 0 ? n : 1);
    EnvDissimilarity(n, p, e, envVarType, De.get());
    AppendStructure(De.get());
    for (int l = 0; l < levels; l++) values[l] = EvalStruct(De.get(), matrices[l], nullptr);
}

int VegOrdiEnvCoherence(int levels, int n, int p, float** e, double* valuesChosen, double* valuesAll,
                        int* axesChosen, int* axesAll) {
    OwnedTable<double> De(n > 0 ? n : 1, n > 0 ? n : 1);
    EnvDissimilarity(n, p, e, envVarType, De.get());
    AppendStructure(De.get());
    OrdinationScores scores;
    const int evaluated = std::min(levels, scores.Levels());
    // Levels the dialog does not ask about (the global one of partial resemblances) use all axes.
    for (int l = 0; l < evaluated; l++) axesChosen[l] = axesAll[l] = scores.Axes(l);
    SettingsCoherence(axesAll, axesChosen);
    OwnedTable<double> D(n > 0 ? n : 1, n > 0 ? n : 1);
    for (int l = 0; l < evaluated; l++) {
        ScoreDistances(n, std::min(axesChosen[l], axesAll[l]), scores.Level(l), D.get());
        valuesChosen[l] = Congruence(n, D.get(), De.get());
        AppendStructure(D.get());
        ScoreDistances(n, axesAll[l], scores.Level(l), D.get());
        valuesAll[l] = Congruence(n, D.get(), De.get());
        AppendStructure(D.get());
    }
    return evaluated;
}

void PairwiseGrComparison(int n, int groupCount, int* groupOf, double** matrix, double** out) {
    std::vector<int> selection(n);
    for (int g = 1; g <= groupCount; g++)
        for (int h = g + 1; h <= groupCount; h++) {
            for (int c = 0; c < n; c++) selection[c] = groupOf[c] == g || groupOf[c] == h;
            out[g - 1][h - 1] = EvalStruct(nullptr, matrix, selection.data());
        }
}

void CorrOrdScorEnvVar(FILE* f, int levels, int n, int p, float** e, int* axes) {
    OrdinationScores scores;
    const int read = std::min(levels, scores.Levels());
    for (int l = 0; l < read; l++) {
        axes[l] = scores.Axes(l);
        // ScoreCorr takes each axis as a row of community scores.
        OwnedTable<double> byAxis(axes[l] + 1, n > 0 ? n : 1);
        for (int a = 0; a < axes[l]; a++)
            for (int c = 0; c < n; c++) byAxis[a][c] = scores.Level(l)[c][a];
        std::fprintf(f, "Hierarchical level: %d\n", l + 1);
        ScoreCorr(f, axes[l], n, byAxis.get(), e, p, envLabel, "Variable", 0);
    }
}

bool Evaluation() {
    if (ncsm < 2) {
        Refuse("\nThe evaluation of structures needs at least 2 communities.\n");
        return false;
    }
    if ((cohe == 2 || cohe == 5) && hasScores != 1) {
        Refuse("\nThe evaluation function needs the ordination scores of the communities.\n");
        return false;
    }
    if (cohe == 6 && hasHier != 1) {
        Refuse("\nThe evaluation function needs the intermediate file of the functional analysis.\n");
        return false;
    }
    SessionFileName(whichPrinda, prindaExt);
    ReportSection report(whichPrinda);
    FILE* f = report.Stream();
    SectionHead(f, "EVALUATION OF STRUCTURES\n", true);
    if (cohe != 6) std::fprintf(f, "Based on %s.\n", OptionLabel(rese_typeInfo, reseTypeEv - 1));
    std::fprintf(f, "Structure evaluation function: %s\n", OptionLabel(coheInfo, cohe - 1));

    const int levels = ReseLevels();
    std::vector<double> values(std::max(levels, nch) + 1, 0.0);
    int valueLevels = 0;
    switch (cohe) {
    case 1: {
        StructureFile structure("w");
        VegEnvCoherence(levels, ncsm, nenv, env, rese, values.data());
        valueLevels = levels;
        PrintLevels(f, levels, values.data());
        if (FILE* s = structure.Stream()) {
            StructureNotes(s);
            std::fprintf(s, "Next %d array(s): distances community structure.\n", nch);
        }
        structure.Commit();
        break;
    }
    case 2: {
        StructureFile structure("a");
        const int room = std::max(nch + 1, 1);
        std::vector<double> all(room);
        std::vector<int> chosen(room), available(room);
        valueLevels = VegOrdiEnvCoherence(std::max(nch + 1, 1), ncsm, nenv, env, values.data(), all.data(),
                                          chosen.data(), available.data());
        auto list = [&](int n, const std::vector<int>& axes, const double* v) {
            for (int l = 0; l < n; l++) {
                if (reseTypeOrd == 2 && l == nch)
                    std::fprintf(f, "Global (%d axes): %s\n", axes[l], Value(v[l]).c_str());
                else
                    std::fprintf(f, "Level %d (%d axes): %s\n", l + 1, axes[l], Value(v[l]).c_str());
            }
        };
        list(valueLevels, chosen, values.data());
        std::fprintf(f, "\nCongruence of all community ordination axes/environmental resemblance:\n");
        list(poolCSTopt == 2 ? std::min(valueLevels, 1) : valueLevels, available, all.data());
        if (FILE* s = structure.Stream()) {
            StructureNotes(s);
            std::fprintf(s, "The other arrays are community euclidean distances ");
            std::fprintf(s, "based on ordination dimensions. In sets of two, \n");
            std::fprintf(s, "the first array uses the dimensions specified, ");
            std::fprintf(s, "the second uses all ordination dimensions.\n ");
        }
        structure.Commit();
        break;
    }
    case 3: {
        StructureFile structure("a");
        for (int l = 0; l < levels; l++) values[l] = EvalStruct(nullptr, rese[l], relSelect);
        valueLevels = levels;
        PrintCommunities(f);
        PrintList(f, "\n     Communities selected: ", ncsm, [&](int i) { std::fprintf(f, "%-4d", relSelect[i]); });
        PrintMembership(f);
        std::fprintf(f, "\n");
        std::fprintf(f, "Group dissimilarity computation method: %s\n", OptionLabel(groupDissMethInfo, groupDissMeth - 1));
        PrintLevels(f, levels, values.data());
        std::fprintf(f, "\nAll pairwise group comparisons:\n");
        OwnedTable<double> pairs(std::max(nGroups, 1), std::max(nGroups, 1));
        for (int l = 0; l < levels; l++) {
            PairwiseGrComparison(ncsm, nGroups, groupRel, rese[l], pairs.get());
            std::fprintf(f, "Level %d:\n", l + 1);
            PrintHalfMatrix(f, nGroups, pairs.get(), 1, sDigits);
        }
        structure.Commit();
        break;
    }
    case 4: {
        StructureFile structure("a");
        const int n = isHierarchical == 1 ? std::min(nch, nlev) : 1;
        values[0] = 1.0;
        for (int k = 1; k < n; k++) values[k] = EvalStruct(rese[poolCSTopt == 2 ? 0 : k - 1], rese[k], nullptr);
        valueLevels = n;
        for (int l = 0; l < ReportedLevels(n); l++) std::fprintf(f, "Level %d: %s \n", l + 1, Value(values[l]).c_str());
        structure.Commit();
        break;
    }
    case 5: {
        std::vector<int> axes(std::max(nch + 1, 1));
        CorrOrdScorEnvVar(f, std::max(nch + 1, 1), ncsm, nenv, env, axes.data());
        break;
    }
    case 6: {
        const int n = isHierarchical == 1 ? nch : 1;
        std::vector<int> rows(n);
        float*** tables = ReadIntermediateLevels(whichHier, n, rows.data());
        for (int l = 0; l < n; l++) {
            rcst[l] = rows[l];
            OwnedTable<float> byCommunity(ncsm, rows[l]);
            for (int c = 0; c < ncsm; c++)
                for (int k = 0; k < rows[l]; k++) byCommunity[c][k] = tables[l][k][c];
            values[l] = CoheCoef(ncsm, rows[l], byCommunity.get(), 1.0);
        }
        FreeIntermediateLevels(tables, n, rows.data());
        valueLevels = n;
        PrintLevels(f, n, values.data());
        break;
    }
    case 7: {
        PrintCommunities(f);
        PrintMembership(f);
        std::fprintf(f, "\n%s\n", lineL);
        std::fprintf(f, "GROUP HOMOGENEITY:\n");
        std::fprintf(f, "indicated by cluster analysis (complete linkage) of %d groups\n", nGroups);
        std::fprintf(f, "%s\n\n", lineL);
        std::fprintf(out ? out : stdout,
                     "\n\nThe %d dendrograms showed on screen correspond to the groups in the same order as given in "
                     "file %s%s\n",
                     nGroups, volumeName, whichPrinda);
        GroupHomogeneity(f);
        break;
    }
    default:
        break;
    }
    if (cohe == 1 || cohe == 2 || cohe == 3 || cohe == 4 || cohe == 6) {
        SessionFileName(whichRo, roExt);
        WriteValues(valueLevels, values.data());
    }
    report.Commit();
    return true;
}
