// Principal coordinates of the stored community and environmental resemblances, the analysis of
// concentration, their report blocks and scores files, and the reader of the community scores.
#include "classical/TNXORDI.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "classical/TNXSeries.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibPooling.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/core/qwlibUtil.h"
#include "matrix/qwlibEigenStats.h"
#include "matrix/qwlibOrdination.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXHIEFILE.h"
#include "statistics/qwlibRes.h"
#include "traits/TNXHIERPRINT.h"

namespace {

// Eigenvalues this small are rounding, not an axis.
constexpr double kSmallEigenvalue = 1e-6;
// Chi-squared components this small are rounding, not an axis.
constexpr double kSmallComponent = 1e-10;

// One ordination's scores: per level a table whose row a holds axis a, the ncsm community scores
// and then `extra[l]` more cells (the correlations of the level's descriptors), with the
// eigenvalues and the number of axes kept. Released when it goes out of scope.
struct ScoreCube {
    ScoreCube(int levels, int n, const std::vector<int>& extra) : n(n), rows(n + 1), extra(extra) {
        for (int l = 0; l < levels; l++) {
            EnsureAllocatable(rows, static_cast<long long>(n) + extra[l], sizeof(double));
            scores.push_back(dim2Double(rows, n + extra[l] > 0 ? n + extra[l] : 1));
            eig.push_back(std::vector<double>(rows, 0.0));
        }
        axes.assign(levels, 0);
    }
    ~ScoreCube() {
        for (double** s : scores) free2D(s, rows);
    }
    ScoreCube(const ScoreCube&) = delete;
    ScoreCube& operator=(const ScoreCube&) = delete;

    // The level's resemblance made squared distances, Gower-centred in place, and analysed.
    void Analyse(int l, double** matrix, StoredKind kind) {
        ToSquaredDistances(n, matrix, matrix, kind);
        DissToCenterProdMatrix(n, matrix, matrix, true);
        UpperToLowerMatrix(n, matrix);
        q_pca(n, matrix, scores[l], eig[l].data(), &axes[l]);
    }
    // Each kept eigenvalue as a percentage of their sum.
    std::vector<double> Percent(int l) const {
        double sum = 0.0;
        for (int a = 0; a < axes[l]; a++) sum += eig[l][a];
        std::vector<double> p(axes[l]);
        for (int a = 0; a < axes[l]; a++) p[a] = eig[l][a] * 100.0 / sum;
        return p;
    }

    int n, rows;
    std::vector<int> extra;
    std::vector<double**> scores;
    std::vector<std::vector<double>> eig;
    std::vector<int> axes;
};

// "Eigenvalues:\t" (or another title) and the values, then "    Percent:\t" and the percentages
// in 3 digits in the same column width.
void PrintSpectrum(FILE* f, const char* title, int n, double* values, double* percent, int indent) {
    std::fprintf(f, "%s", title);
    const int width = PrintVector(f, n, values, sDigits, 0, indent, nullptr);
    std::fprintf(f, "    Percent:\t");
    PrintVector(f, n, percent, 3, width, indent, nullptr);
}

// Row pointers to the texts, for the printers.
std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> p;
    for (std::string& t : texts) p.push_back(&t[0]);
    return p;
}

// The descriptors of level l: the level's table of the intermediate file (types by communities)
// as communities by types, each community's row normalised for the correlation and chord options
// or scaled to unit sum for the relative ones, as the resemblance saw them.
void Descriptors(float** byType, int types, float** d) {
    for (int c = 0; c < ncsm; c++)
        for (int k = 0; k < types; k++) d[c][k] = byType[k][c];
    if (rese_opt == 5 || rese_opt == 10) NormalizeRows(ncsm, types, d, d);
    if (rese_opt == 7 || rese_opt == 9) UnitSumRowsAdj(ncsm, types, d, d);
}

void WriteValue(FILE* f, double v) { std::fprintf(f, "%.12g\n", v); }

}  // namespace

const char* OrderedTraitLabel(int t) {
    const int k = nchor ? nchor[t] - 1 : t;
    return chLabel[k >= 0 && k < nch ? k : t];
}

std::vector<std::string> TypeLabels(int types, bool species) {
    species = species && cstSppMap && spp;
    std::vector<std::string> labels;
    for (int k = 0; k < types; k++) {
        std::string label = std::to_string(k + 1);
        if (species && k < tcst)
            for (int s = 0; s < nSpp; s++)
                if (cstSppMap[k][s] == '1') {
                    label.assign(spp[s], strnlen(spp[s], 4));
                    break;
                }
        labels.push_back(label);
    }
    return labels;
}

StoredKind StoredCommunityKind(int code, int type) {
    if (type == 3) return StoredKind::Distances;
    if (code == 5) return StoredKind::Correlations;
    if (code == 3 || code == 4) return StoredKind::CrossProducts;
    if (isHierarchical == 1 && (code == 6 || code == 7 || code == 10)) return StoredKind::SquaredDistances;
    return StoredKind::Distances;
}

StoredKind StoredTypeKind(int code) {
    if (code == 5) return StoredKind::Correlations;
    if (code == 3 || code == 4) return StoredKind::CrossProducts;
    if (code == 6 || code == 7 || code == 10) return StoredKind::SquaredDistances;
    return StoredKind::Distances;
}

void ToSquaredDistances(int n, double** in, double** out, StoredKind kind) {
    switch (kind) {
    case StoredKind::Correlations:
        CorrToSqDist(n, in, out);
        return;
    case StoredKind::CrossProducts:
        ProdToSqDist(n, in, out);
        break;
    case StoredKind::Distances:
        SquareSqMatrix(n, in, out);
        return;
    case StoredKind::SquaredDistances:
        for (int i = 0; i < n; i++)
            for (int j = i; j < n; j++) out[i][j] = in[i][j];
        break;
    }
    UpperToLowerMatrix(n, out);
}

void q_pca(int n, double** centred, double** vectors, double* values, int* nAxes) {
    EigenHouseholderQL(n, centred, vectors, values);
    *nAxes = 0;
    for (int a = 0; a < n; a++) {
        if (!(values[a] > kSmallEigenvalue)) continue;
        double ss = 0.0;
        for (int i = 0; i < n; i++) ss += vectors[a][i] * vectors[a][i];
        const double scale = std::sqrt(values[a] / ss);
        for (int i = 0; i < n; i++) vectors[a][i] *= scale;
        *nAxes = a + 1;
    }
}

void OptimalSign(double*** scores, int* nAxes) {
    for (int l = 1; l < nlev; l++) {
        const int axes = std::min(nAxes[l - 1], nAxes[l]);
        for (int a = 0; a < axes; a++) {
            double* now = scores[l][a];
            const double* before = scores[l - 1][a];
            double same = 0.0, opposite = 0.0;
            for (int c = 0; c < ncsm; c++) {
                opposite += (now[c] + before[c]) * (now[c] + before[c]);
                same += (now[c] - before[c]) * (now[c] - before[c]);
            }
            if (opposite < same)
                for (int c = 0; c < ncsm; c++) now[c] = -now[c];
        }
    }
}

void PrintScores(FILE* f, int nAxes, int nObjects, double** scores, char** labels, const char* what) {
    const int k = std::max(0, std::min(nAxes, maxComponents));
    std::fprintf(f, "\nScores of %s on the first %d components:\n", what, k);
    const int width = GetWidthMax(k, nObjects, scores, sDigits);
    std::fprintf(f, "%8s\t", "");
    PrintStringVector(f, nObjects, labels, width, 8, nullptr);
    for (int a = 0; a < k; a++) {
        std::fprintf(f, "Axis %2d:\t", a + 1);
        PrintVector(f, nObjects, scores[a], sDigits, width, 8, nullptr);
    }
}

void ScoreCorr(FILE* f, int nAxes, int nObjects, double** scores, float** descriptors, int nDescriptors,
               char** descriptorLabels, const char* what, int store) {
    const int k = std::max(0, std::min(maxComponents, nAxes));
    OwnedTable<double> variables(k + nDescriptors, nObjects > 0 ? nObjects : 1);
    for (int a = 0; a < k; a++)
        for (int i = 0; i < nObjects; i++) variables[a][i] = scores[a][i];
    for (int d = 0; d < nDescriptors; d++)
        for (int i = 0; i < nObjects; i++) variables[k + d][i] = descriptors[i][d];
    OwnedTable<double> r(nDescriptors, k > 0 ? k : 1);
    CorrelationPartition(k, nDescriptors, nObjects, variables.get(), r.get());

    std::fprintf(f, "%s\t", what);
    for (int a = 0; a < k; a++) std::fprintf(f, "Axis %d\t", a + 1);
    std::fprintf(f, "\n");
    const int width = static_cast<int>(std::strlen(what));
    for (int d = 0; d < nDescriptors; d++) {
        std::fprintf(f, "%*s\t", width, descriptorLabels[d]);
        for (int a = 0; a < k; a++) std::fprintf(f, "%.*g\t", sDigits, r[d][a]);
        std::fprintf(f, "\n");
        if (store == 1)
            for (int a = 0; a < k; a++) scores[a][nObjects + d] = r[d][a];
    }

    // Every pick is a real descriptor: the search starts below any absolute value, and a
    // descriptor once listed is left out, so ties and zeros come in label order.
    std::fprintf(f, "%ss with the highest correlation coeficients:\n", what);
    const int m = std::min(2 * maxComponents, nDescriptors);
    std::vector<bool> listed(nDescriptors);
    for (int a = 0; a < k; a++) {
        std::fprintf(f, "Axis %d:\n", a + 1);
        std::fill(listed.begin(), listed.end(), false);
        for (int i = 0; i < m; i++) {
            double best = -1.0;
            int which = -1;
            for (int d = 0; d < nDescriptors; d++)
                if (!listed[d] && std::fabs(r[d][a]) > best) {
                    best = std::fabs(r[d][a]);
                    which = d;
                }
            if (which < 0) break;
            listed[which] = true;
            std::fprintf(f, "%s:%g\t", descriptorLabels[which], r[which][a]);
        }
        std::fprintf(f, "\n");
    }
}

int StoredCorrelations(int level) {
    return hasVegOrdiCorrel == 1 && rcst && level < nch ? rcst[level] : 0;
}

void Ordination() {
    const int levels = ReseLevels();
    const bool allInReport = poolCSTopt != 2 && isHierarchical == 1;
    const int reportLevels = allInReport ? levels : std::min(levels, 1);
    const bool correlations = fuzzy != 2 && printOrdCorrelations == 'y';
    hasVegOrdiCorrel = printOrdCorrelations == 'y' ? 1 : 0;

    // The types of the levels in the report come first from the intermediate file: their counts
    // size the correlation cells of the scores.
    const int typeLevels = correlations ? std::min(reportLevels, nch) : 0;
    std::vector<int> types(std::max(typeLevels, 1), 0);
    float*** byType = typeLevels > 0 ? ReadIntermediateLevels(whichHier, typeLevels, types.data()) : nullptr;
    struct Release {
        float*** t;
        int n;
        const int* rows;
        ~Release() {
            if (t) FreeIntermediateLevels(t, n, rows);
        }
    } release{byType, typeLevels, types.data()};
    for (int l = 0; l < typeLevels; l++) rcst[l] = types[l];

    std::vector<int> extra(levels);
    for (int l = 0; l < levels; l++) extra[l] = StoredCorrelations(l);
    ScoreCube cube(levels, ncsm, extra);
    for (int l = 0; l < levels; l++) {
        HandleEventInfoWhere2(FormatText("Ordination level: %d", l + 1).c_str());
        cube.Analyse(l, rese[l], StoredCommunityKind(rese_opt, reseTypeOrd));
    }
    if (isHierarchical == 1) OptimalSign(cube.scores.data(), cube.axes.data());

    SessionFileName(whichPrinda, prindaExt);
    ReportSection report(whichPrinda);
    FILE* f = report.Stream();
    SectionHead(f, "ORDINATION\n", true);
    std::fprintf(f, "Based on %s.\n", OptionLabel(rese_typeInfo, reseTypeOrd - 1));
    for (int l = 0; l < reportLevels; l++) {
        if (isHierarchical == 1) std::fprintf(f, "\nLevel: %d \n", l + 1);
        std::vector<double> percent = cube.Percent(l);
        PrintSpectrum(f, "Eigenvalues:\t", cube.axes[l], cube.eig[l].data(), percent.data(), 13);
        if (printOrdScores == 'y') PrintScores(f, cube.axes[l], ncsm, cube.scores[l], reLabel, "communities");
        if (!correlations || l >= typeLevels) continue;
        std::fprintf(f, "\n\nCorrelation of ordination axes and PFTs:\n");
        // At the last level a species trait names each type by its first species.
        const bool species = l == nch - 1 && nch > 0 && std::strcmp(OrderedTraitLabel(0), "sp") == 0;
        std::vector<std::string> labels = TypeLabels(types[l], species);
        std::vector<char*> labelPointers = Pointers(labels);
        OwnedTable<float> descriptors(ncsm, types[l]);
        Descriptors(byType[l], types[l], descriptors.get());
        std::fprintf(f, "Level of the character hierarchy: %d\n", l + 1);
        ScoreCorr(f, cube.axes[l], ncsm, cube.scores[l], descriptors.get(), types[l], labelPointers.data(), "PFT",
                  hasVegOrdiCorrel);
    }

    WriteWhole(whichScores, [&](FILE* file) {
        for (int l = 0; l < levels; l++) std::fprintf(file, "%d ", cube.axes[l]);
        std::fprintf(file, "\n");
        for (int l = 0; l < levels; l++)
            for (int a = 0; a < cube.axes[l]; a++)
                for (int i = 0; i < ncsm + extra[l]; i++) WriteValue(file, cube.scores[l][a][i]);
    });
    report.Commit();
}

void OrdinationEnv() {
    ScoreCube cube(1, ncsm, {nenv});
    cube.Analyse(0, rese[0], StoredKind::Distances);
    hasEnvOrdiCorrel = 1;

    ReportSection report(whichEnvPrinda);
    FILE* f = report.Stream();
    SectionHead(f, "ORDINATION OF RELEVES (environmental)\n", false);
    std::vector<double> percent = cube.Percent(0);
    PrintSpectrum(f, "Eigenvalues:\t", cube.axes[0], cube.eig[0].data(), percent.data(), 12);
    if (printOrdScores == 'y') PrintScores(f, cube.axes[0], ncsm, cube.scores[0], reLabel, "communities");
    if (printOrdCorrelations == 'y') {
        std::fprintf(f, "\nCorrelation of ordination axes and environmental variables:\n");
        // The session's E stays as it is: the transformation works on a copy.
        OwnedTable<float> e(ncsm, nenv > 0 ? nenv : 1);
        for (int c = 0; c < ncsm; c++)
            for (int v = 0; v < nenv; v++) e[c][v] = env[c][v];
        if (envVecTrOpt == 5 || envVecTrOpt == 3) {
            if (envVecTrOpt == 5) CenterRowsMV(ncsm, nenv, e.get(), e.get());
            NormalizeRowsMV(ncsm, nenv, e.get(), e.get());
        } else if (envVecTrOpt == 6 || envVecTrOpt == 4) {
            if (envVecTrOpt == 6) CenterColsMV(ncsm, nenv, e.get(), e.get());
            NormalizeColsMV(ncsm, nenv, e.get(), e.get());
        }
        ScoreCorr(f, cube.axes[0], ncsm, cube.scores[0], e.get(), nenv, envLabel, "Variable", 1);
    }

    WriteWhole(whichEnvScores, [&](FILE* file) {
        std::fprintf(file, "%d \n", cube.axes[0]);
        for (int a = 0; a < cube.axes[0]; a++) {
            for (int i = 0; i < ncsm + nenv; i++) WriteValue(file, cube.scores[0][a][i]);
            std::fprintf(file, "\n");
        }
    });
    report.Commit();
}

void ConcentrationAn() {
    const int level = whichLevelGrCST;
    int types = 0;
    OwnedTable<float> table(ReadLevelByCommunity(level, &types), ncsm);
    // The type partition holds one group per OTU at most; a level with more types than OTUs
    // does not belong to this data set.
    if (types > tcst) {
        std::fprintf(stderr, "\nfile %s ", whichHier);
        RaiseError(TNX_END_OF_FILE);
    }
    if (nGroups < 1 || nCstGroups < 1 || !groupRel || !groupCst) {
        Refuse("\nThe analysis of concentration needs a partition of the communities and one of the PFTs.\n");
        return;
    }

    const int k = nGroups, g = nCstGroups;
    OwnedTable<float> pooled(k, g);
    ConcentrateGroups(ncsm, types, table.get(), pooled.get(), k, groupRel, g, groupCst, 1);
    OwnedTable<double> F(k, g), rowScores(k, k), colScores(k, g);
    for (int a = 0; a < k; a++)
        for (int b = 0; b < g; b++) F[a][b] = pooled[a][b];
    std::vector<double> eig(k), chi(k);
    AOC(k, g, F.get(), eig.data(), chi.data(), rowScores.get(), colScores.get());
    int axes = 0;
    double sum = 0.0;
    for (int a = 0; a < k; a++) {
        sum += chi[a];
        if (chi[a] > kSmallComponent) axes = a + 1;
    }
    std::vector<double> percent(axes);
    for (int a = 0; a < axes; a++) percent[a] = chi[a] * 100.0 / sum;

    SessionFileName(whichPrinda, prindaExt);
    ReportSection report(whichPrinda);
    FILE* f = report.Stream();
    SectionHead(f, "ANALYSIS OF CONCENTRATION\n", false);
    std::fprintf(f, "\n");
    if (k < ncsm || g < types)
        std::fprintf(f, "Entries in contingency table (rows=PFT groups, columns=community groups) are adjusted by "
                        "block size.\n");
    PrintTables_iNEW(level - 1, f, 0, k, g, nullptr, pooled.get(), grLabel, grCstLabel, 2, nullptr, nullptr, nullptr,
                     nullptr);
    PrintSpectrum(f, "Chi-squared:\t", axes, chi.data(), percent.data(), 13);
    PrintScores(f, axes, k, rowScores.get(), grLabel, "column groups");
    PrintScores(f, axes, g, colScores.get(), grCstLabel, "row groups");

    WriteWhole(whichAOCScor, [&](FILE* file) {
        std::fprintf(file, "%d \n", axes);
        for (int a = 0; a < axes; a++) {
            for (int i = 0; i < k; i++) WriteValue(file, rowScores[a][i]);
            for (int j = 0; j < g; j++) WriteValue(file, colScores[a][j]);
        }
    });
    report.Commit();
    whichPartAOC = whichPart;
    whichPartCstAOC = whichCstPart;
}

OrdinationScores::OrdinationScores() {
    const char* name = whichScores;
    FILE* f = fopenck(name, volumeName, "r");
    if (!f) RaiseError(TNX_FAIL_TO_OPEN);
    auto corrupt = [&] {
        std::fprintf(stderr, "\nfile %s ", name);
        RaiseError(TNX_END_OF_FILE);
    };
    try {
        // The first line: one axis count per level.
        const int maxLevels = std::max(nch + 1, 1);
        for (;;) {
            int c = std::fgetc(f);
            while (c == ' ' || c == '\t' || c == '\r') c = std::fgetc(f);
            if (c == '\n' || c == EOF) break;
            std::ungetc(c, f);
            const int axes = ReadIntStrict(f, name);
            if (static_cast<int>(axes_.size()) >= maxLevels || axes < 0 || axes > ncsm) corrupt();
            axes_.push_back(axes);
        }
        if (axes_.empty()) corrupt();
        for (int l = 0; l < Levels(); l++) {
            const int skip = StoredCorrelations(l);
            EnsureInFile(f, static_cast<long long>(axes_[l]) * (static_cast<long long>(ncsm) + skip), name);
            scores_.push_back(dim2Double(ncsm, axes_[l] > 0 ? axes_[l] : 1));
            correlations_.push_back(dim2Double(axes_[l] > 0 ? axes_[l] : 1, skip > 0 ? skip : 1));
            for (int a = 0; a < axes_[l]; a++) {
                for (int c = 0; c < ncsm; c++) scores_[l][c][a] = ReadDoubleStrict(f, name);
                for (int d = 0; d < skip; d++) correlations_[l][a][d] = ReadDoubleStrict(f, name);
            }
        }
    } catch (...) {
        std::fclose(f);
        Release();
        throw;
    }
    std::fclose(f);
}

OrdinationScores::~OrdinationScores() { Release(); }

void OrdinationScores::Release() {
    for (double** s : scores_) free2D(s, ncsm);
    for (size_t l = 0; l < correlations_.size(); l++) free2D(correlations_[l], axes_[l] > 0 ? axes_[l] : 1);
    scores_.clear();
    correlations_.clear();
}
