// Cluster analysis drivers: stored community or type resemblances and the environmental
// dissimilarity clustered, reported, captioned and saved as partition files.
#include "classical/TNXCLUST.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "classical/TNXORDI.h"
#include "classical/TNXSeries.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibUtil.h"
#include "matrix/qwlibCluster.h"
#include "matrix/qwlibOrdination.h"
#include "matrix/qwlibPartition.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/model/TNXGLOB.h"

namespace {

// The n - 1 fusion records of one clustering, their member arrays owned here; `steps` is 0
// until the engine has run.
struct Fusions {
    explicit Fusions(int n) : n(n), records(n > 1 ? n - 1 : 0), members(records.size(), std::vector<int>(n)) {
        for (size_t t = 0; t < records.size(); t++) records[t].members = members[t].data();
    }
    int n;
    std::vector<clusterReport> records;
    std::vector<std::vector<int>> members;
    int steps = 0;
};

// One fusion as the partition file lists it.
struct Step {
    double level;
    std::vector<int> members;
};

// Runs the engine of the method on the prepared matrix (the input is left as prepared).
void Run(Fusions& fusions, double** matrix, bool isDistance, bool squared, int method) {
    bool done = false;
    if (method == 1 || method == 2 || method == 4)
        done = LinkageCluster(fusions.n, matrix, fusions.records.data(), isDistance, false, method, true);
    else if (method == 3)
        done = SumSqCluster(fusions.n, matrix, fusions.records.data(), squared);
    fusions.steps = done ? fusions.n - 1 : 0;
}

// The fusion directory, the closing line on the dendrogram and the partitions at every level.
void PrintFusions(FILE* f, const Fusions& fusions, char** labels, int method, const char* levelName, bool env) {
    std::fprintf(f, "Fusion directory:\n");
    if (method == 3)
        std::fprintf(f, "%-5s\t%-11s\t%-13s\t%-s\n", "Step", "SSwithin", "SSbetween", "Objects in group");
    else
        std::fprintf(f, "%-5s\t%-13s\t%-s\n", "Step", levelName, "Objects in group");
    for (int s = 0; s < fusions.steps; s++) {
        const clusterReport& rec = fusions.records[s];
        std::fprintf(f, "%-5d\t", s + 1);
        std::fprintf(f, "%-13.*g\t", sDigits, rec.level);
        if (method == 3) std::fprintf(f, "%-11.*g\t", sDigits, rec.criterion);
        int k = 1;
        for (int m = 0; m < rec.nMembers; m++) {
            if (4 * k + 32 > maxColsPrint) {
                if (method == 3)
                    std::fprintf(f, "\n%-5s\t%-11s\t%-13s\t", "", "", "");
                else
                    std::fprintf(f, "\n%-5s\t%-13s\t", "", "");
                k = 1;
            }
            std::fprintf(f, "%-3s\t", labels[rec.members[m] - 1]);
            k++;
        }
        std::fprintf(f, "\n");
    }
    std::fprintf(f, "\nThe dendrogram places the objects from the bottom up as ordered in the last clustering step.\n");
    if (env) std::fprintf(f, "\n");

    std::fprintf(f, "\nGroup partitions at each clustering level (cl):\n");
    std::fprintf(f, "Objects:                 \t");
    for (int i = 0; i < fusions.n; i++) std::fprintf(f, "%s\t", labels[i]);
    if (fusions.steps > 0) {
        std::vector<int> groups(fusions.n);
        auto* records = const_cast<clusterReport*>(fusions.records.data());
        for (int g = 2; g <= fusions.n; g++) {
            double cl = 0.0;
            GetClusterPartitionLevel(fusions.n, g, groups.data(), &cl, records, method);
            std::fprintf(f, "\n%d groups (cl = %g):     \t", g, cl);
            for (int i = 0; i < fusions.n; i++) std::fprintf(f, "%d\t", groups[i]);
        }
    }
    std::fprintf(f, "\n");
}

// The caption's opening lines: the data file, the method and the objects.
std::string CaptionHead(const char* objects) {
    return FormatText("Formatted data (%c): %s\r", optmain1, whichFormda) +
           FormatText("Clustering method: %s\r", OptionLabel(clusMethInfo, clusMeth)) +
           FormatText("Objects: %s\r", objects);
}

// The partition file: the fusions, in increasing order of level for sums of squares.
void WritePartitionFile(std::vector<Step> steps, int method) {
    if (method == 3)
        std::stable_sort(steps.begin(), steps.end(), [](const Step& a, const Step& b) { return a.level < b.level; });
    WriteWhole(whichObj == 'r' ? whichReClus : whichCstClus, [&](FILE* file) {
        for (const Step& s : steps) {
            std::fprintf(file, "%g\t%d\t", s.level, static_cast<int>(s.members.size()));
            for (int m : s.members) std::fprintf(file, "%d\t", m);
            std::fprintf(file, "\n");
        }
    });
}

// A clustering in progress: the prepared matrix's kind for the engine.
struct Prepared {
    bool isDistance = true;
    bool squared = true;
};

// Makes `matrix` fit for the method: similarities (correlations, cross products) stay for the
// linkage methods and become squared distances for sums of squares, plain distances are squared
// for sums of squares, squared distances stay.
Prepared Prepare(int n, double** matrix, StoredKind kind, int method) {
    Prepared p;
    const bool similarity = kind == StoredKind::Correlations || kind == StoredKind::CrossProducts;
    if (method == 3) {
        if (kind != StoredKind::SquaredDistances) ToSquaredDistances(n, matrix, matrix, kind);
    } else if (similarity) {
        p.isDistance = false;
    }
    return p;
}

// The section of Cluster2 on f; the fusions go to *steps when it is given.
std::string Section(FILE* f, int n, char** labels, int level, int reseType, double** matrix, std::vector<Step>* steps) {
    const bool types = whichObj == 'c';
    const int method = clusMeth;
    const StoredKind kind = types ? StoredTypeKind(reseCstOpt) : StoredCommunityKind(rese_opt, reseType);
    const Prepared p = Prepare(n, matrix, kind, method);
    Fusions fusions(n);
    Run(fusions, matrix, p.isDistance, p.squared, method);

    SectionHead(f, "CLUSTER ANALYSIS\n", true);
    if (types) {
        std::fprintf(f, "Objects: %s\n", "PFTs");
        std::fprintf(f, "Resemblance option: %s\n", OptionLabel(rese_optInfo, reseCstOpt - 1));
    } else {
        std::fprintf(f, "Objects: %s\n", "communities");
        std::fprintf(f, "Based on %s.\n", OptionLabel(rese_typeInfo, reseType - 1));
        std::fprintf(f, "Resemblance option: %s\n", OptionLabel(rese_optInfo, rese_opt - 1));
    }
    std::fprintf(f, "Clustering method: %s\n", OptionLabel(clusMethInfo, method));
    if (isHierarchical == 1) std::fprintf(f, "Level on trait hierarchy: %d\n", level);
    PrintFusions(f, fusions, labels, method, "Resemblance", false);

    std::string caption = CaptionHead(types ? "PFTs" : "communities");
    if (isHierarchical == 1) caption += FormatText("Level on trait hierarchy: %d\r", level);
    caption += FormatText("Traits (cumulative from level %d down):\r", nch);
    for (int t = 0; t < nch; t++) caption += FormatText("%-3s", OrderedTraitLabel(t));
    caption += "\r";
    if (types)
        caption += FormatText("Resemblance option: %s", OptionLabel(rese_optInfo, reseCstOpt - 1));
    else
        caption += FormatText("Resemblance option: %d, %s", rese_opt, OptionLabel(rese_typeInfo, reseType - 1));
    caption += FormatText("\rFuzzy: %s  Data partition: %s\r", OptionLabel(fuzzyInfo, fuzzy), OptionLabel(partInfo, part - 1));

    if (steps)
        for (int s = 0; s < fusions.steps; s++) {
            const clusterReport& r = fusions.records[s];
            steps->push_back({r.level, std::vector<int>(r.members, r.members + r.nMembers)});
        }
    return caption;
}

}  // namespace

std::string ClusterSection(FILE* f, int n, char** labels, int level, int reseType, double** matrix) {
    return Section(f, n, labels, level, reseType, matrix, nullptr);
}

std::string Cluster2(int n, char** labels, int level, int reseType, double** matrix) {
    SessionFileName(whichPrinda, prindaExt);
    ReportSection report(whichPrinda);
    std::vector<Step> steps;
    std::string caption = Section(report.Stream(), n, labels, level, reseType, matrix, &steps);
    if (optmain == 'U') WritePartitionFile(steps, clusMeth);
    report.Commit();
    return caption;
}

std::string Cluster() {
    if (whichObj == 'c') {
        const int level = std::max(1, whichLevelCst);
        const int n = rcst[level - 1];
        // In a species table each type is named by its species.
        const bool species = nch == 1 && std::strcmp(chLabel[0], "sp") == 0 && nSpp > 0;
        std::vector<std::string> labels = TypeLabels(n, species);
        std::vector<char*> pointers;
        for (std::string& l : labels) pointers.push_back(&l[0]);
        return Cluster2(n, pointers.data(), level, reseTypeClus, rese[level - 1]);
    }
    const int level = std::max(1, whichLevelRel);
    return Cluster2(ncsm, reLabel, level, reseTypeClus, rese[level - 1]);
}

std::string EnvCluster() {
    whichObj = 'r';
    const int n = ncsm, method = clusMeth;
    OwnedTable<double> d(n > 0 ? n : 1, n > 0 ? n : 1);
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) d[i][j] = rese[0][i][j];
    Fusions fusions(n);
    Run(fusions, d.get(), true, false, method);

    ReportSection report(whichEnvPrinda);
    FILE* f = report.Stream();
    SectionHead(f, "CLUSTER ANALYSIS (environmental)\n", true);
    std::fprintf(f, "Objects: %s\n", "communities");
    std::fprintf(f, "Clustering method: %s\n", OptionLabel(clusMethInfo, method));
    PrintFusions(f, fusions, reLabel, method, "Dissimilarity", true);
    report.Commit();

    return CaptionHead("communities") + FormatText("Resemblance function: %s\r", "Euclidean distance") +
           FormatText("Vector transformation: %s\r", OptionLabel(vecTrOptInfo, envVecTrOpt));
}

void SaveClus(int n, double* records, int method) {
    std::vector<Step> steps;
    size_t at = 0;
    for (int s = 0; s + 1 < n; s++) {
        Step step;
        step.level = records[at++];
        if (method == 3) at++;
        const int count = std::max(0, std::min(n, static_cast<int>(records[at++])));
        for (int m = 0; m < count; m++) step.members.push_back(static_cast<int>(records[at++]));
        steps.push_back(step);
    }
    WritePartitionFile(steps, method);
}
