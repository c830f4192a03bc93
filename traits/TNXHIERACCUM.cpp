// The drivers of the trait hierarchy: HierarchicalAccum (monothetic types at every level, their
// indeterminacy and fuzzy sets) and HierarchicalAccumPolythetic (monothetic types clustered into
// polythetic ones). Each composes its report in memory and writes it and the intermediate file
// whole.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/qwlib.h"
#include "session/model/TNXCHECK.h"
#include "session/model/TNXGLOB.h"
#include "traits/TNXGOWER.h"
#include "traits/TNXHIER.h"
#include "traits/TNXHIERInternal.h"
#include "traits/TNXHIERPRINT.h"
#include "traits/TNXRESEREP.h"
#include "traits/TNXWHOLE.h"

namespace hier {

void CommunityLabels(FILE* f) {
    fprintf(f, "Community labels: ");
    for (int c = 0; c < ncsm; c++) {
        fprintf(f, "%-6s", reLabel[c]);
        if ((c + 1) % 21 == 0) fprintf(f, "\n");
    }
}

bool CanBuild() {
    if (!TraitCodesAvailable()) return false;
    if (tcst < 1 || ncsm < 1 || nch < 1 || !nchor || !rcst || !cstTrack) return false;
    // An order that is not a permutation of the traits (a session that never set one) is taken
    // as the traits' own order: reordering by it would read codes that do not exist.
    std::vector<int> seen(nch, 0);
    bool permutation = true;
    for (int t = 0; t < nch && permutation; t++) {
        permutation = nchor[t] >= 1 && nchor[t] <= nch && !seen[nchor[t] - 1];
        if (permutation) seen[nchor[t] - 1] = 1;
    }
    if (!permutation)
        for (int t = 0; t < nch; t++) nchor[t] = t + 1;
    return true;
}

}  // namespace hier

namespace {

bool OnlyTraitIsSpecies() { return nch == 1 && std::strcmp(chLabel[nchor[0] - 1], "sp") == 0; }

// The lines that open both drivers' sections, down to the data partition type.
void Opening(FILE* f, bool polythetic) {
    ReportOpening(f);
    fprintf(f, "Trait set:        ");
    if (isHierarchical == 1) fprintf(f, "\nOrder:            ");
    for (int t = 0; t < nch; t++) fprintf(f, "%-3s", chLabel[nchor[t] - 1]);
    fprintf(f, "\nNumber of states: ");
    for (int t = 0; t < nch; t++) fprintf(f, "%-3d", onsta[t]);
    fprintf(f, "\nTrait types:       ");
    for (int t = 0; t < nch; t++) fprintf(f, "%-3d", chtype[t]);
    fprintf(f, "\nTrait weights:     ");
    for (int t = 0; t < nch; t++) fprintf(f, polythetic ? "%-3.0g" : "%g\t", weight[t]);
    fprintf(f, "\nPooling of populations: %s\n", OptionLabel(poolCSToptInfo, poolCSTopt - 1));
    if (polythetic) {
        fprintf(f, "\nClustering method of populations: %s\n", OptionLabel(clusMethInfo, clusMethPoolCSTs));
        bool someZero = false;
        for (int t = 0; t < nch; t++) someZero = someZero || weight[t] == 0.0f;
        if (!someZero) fprintf(f, "All traits were considered in the computation of Gower similarity index.\n");
    }
    if (poolCSTopt == 2 || polythetic)
        fprintf(f, "Gower similarity index between populations modified to count matching absences in binary traits? "
                   "%s\n",
                OptionLabel(YesNotInfo, countDoubleAbsence ? 1 : 0));
    fprintf(f, "\nNumber of communities: %d\n", ncsm);
    hier::CommunityLabels(f);
    fprintf(f, "\nFuzzy transformation: %s\n", OptionLabel(fuzzyInfo, fuzzy));
    if (fuzzy == 1 || fuzzy == 2) fprintf(f, "      Degree of fuzziness: %g\n", fuzziness);
    fprintf(f, "Data partition type: %s\n\n", OptionLabel(partInfo, part - 1));
}

// The species of each of k groups, groups[o] (1..k) being OTU o's group.
void SpeciesOfGroups(FILE* f, int k, int* groups) {
    char** map = nSpp > 0 && cstSppMap ? dim2Dchar(k, nSpp + 1) : nullptr;
    if (map) MatchSpeciesCSTPooled(tcst, k, cstSppMap, map, groups);
    PrintSpp(f, k, map, spp, nullptr);
    if (map) free2D(map, k);
}

// Each OTU's type at a level as 1..k in the order of the types' first members.
std::vector<int> TypeNumbers(const int* track) {
    std::vector<int> number(tcst, 0), of(tcst, 0);
    int k = 0;
    for (int o = 0; o < tcst; o++)
        if (track[o] == o + 1) number[o] = ++k;
    for (int o = 0; o < tcst; o++) of[o] = number[track[o] - 1];
    return of;
}

// The species names in alphabetical order, one a line, under their heading.
void SortedSpecies(FILE* f) {
    fprintf(f, "\nSpecies name\n%s\n", std::string(46, '-').c_str());
    std::vector<char*> names(spp, spp + (spp ? nSpp : 0));
    if (!names.empty()) qsort(names.data(), names.size(), sizeof(char*), compareStr);
    for (char* name : names) fprintf(f, "%-s\n", name);
}

// The intermediate file: per level its types and communities, then each type's performance in
// every community.
void WriteIntermediate(int levels, const int* types, float*** data) {
    MemoryReport hie;
    FILE* f = hie.stream();
    if (f)
        for (int l = 0; l < levels; l++) {
            fprintf(f, "%d\t%d\n", types[l], ncsm);
            for (int k = 0; k < types[l]; k++) {
                for (int c = 0; c < ncsm; c++) fprintf(f, "%.12g ", static_cast<double>(data[l][c][k]));
                fprintf(f, "\n");
            }
        }
    PutWhole(volumeName, whichHier, "w", hie);
}

}  // namespace

void HierarchicalAccum() {
    if (!hier::CanBuild()) return;
    hier::Run h;
    h.Build();
    const int L = h.levels, n = ncsm;
    int* types = h.types.data();
    double*** indet = dim3Double(L, n, n);
    if (part != 2) Indeterminacy(L, n, types, h.data, indet);

    MemoryReport report;
    FILE* f = report.stream();
    if (f) {
        Opening(f, false);
        for (int l = 0; l < L; l++) {
            if (princont == 'y') {
                PrintTables_iNEW(l, f, nch - l, n, types[l], h.codes[l], h.data[l], reLabel, nullptr, 0, nullptr,
                                 nullptr, nullptr, nullptr);
                if (part == 1) PrintSummaryNEW(f, n, types[l], h.data[l]);
            }
            if (printSpp == 'y' && !OnlyTraitIsSpecies()) {
                if (isHierarchical == 1)
                    fprintf(f, "\nPFT/Species correspondence, level %d:\n", l + 1);
                else
                    fprintf(f, "\nPFT/Species correspondence:\n");
                std::vector<int> groups = TypeNumbers(cstTrack[l]);
                SpeciesOfGroups(f, types[l], groups.data());
            }
            // The indeterminacy is not computed for quantitative data partitions.
            if (part == 2) continue;
            if (isHierarchical == 1) fprintf(f, "\nLevel %d: ", l + 1);
            double sum = 0.0;
            for (int i = 0; i < n; i++)
                for (int j = i + 1; j < n; j++) sum += indet[l][i][j];
            fprintf(f, "\nAverage indeterminacy: %.*g\n", sDigits, n >= 2 ? sum / (n * (n - 1) / 2.0) : 0.0);
            if (print_indet == 'y') {
                fprintf(f, "Indeterminacy matrix: \n");
                PrintHalfMatrix(f, n, indet[l], 0, sDigits);
            }
        }
        if (printSpp == 'y') SortedSpecies(f);
    }
    free3D(indet, L, n);

    if (fuzzy == 1 || fuzzy == 2) {
        h.MakeSets();
        if (fuzzy == 1) FuzzyAdj(L, n, types, h.data, h.S);
        for (int l = 0; f && print_gindex == 'y' && l < L; l++) {
            if (isHierarchical == 1) fprintf(f, "\nLevel %d: ", l + 1);
            fprintf(f, "Monothetic PFT similarity index: \n");
            PrintMatrix(f, types[l], types[l], h.S[l], sDigits, 0);
        }
        if (f && princont == 'y') {
            fprintf(f, "\nContingency tables weighted by fuzzy sets: \n");
            if (fuzzy == 1) PrintTables(f, L, n, types, h.codes, h.data);
            for (int l = 0; fuzzy == 2 && l < L; l++) {
                float** pair = dim2Dfloat(2, types[l]);
                for (int i = 0; i < n; i++)
                    for (int j = i + 1; j < n; j++) {
                        std::copy(h.data[l][i], h.data[l][i] + types[l], pair[0]);
                        std::copy(h.data[l][j], h.data[l][j] + types[l], pair[1]);
                        PairwiseFuzzyAdj(types[l], pair, h.S[l]);
                        fprintf(f, "Community pair %s %s:\n", reLabel[i], reLabel[j]);
                        PrintMatrix(f, 2, types[l], pair, sDigits, 0);
                    }
                free2D(pair, 2);
            }
        }
    }
    PutWhole(volumeName, whichPrinda, prindaMode, report);
    // Pairwise fuzzy sets change with each pair of communities: there is no one table to keep.
    if (fuzzy != 2) WriteIntermediate(L, types, h.data);
}

namespace {

// The working arrays of the polythetic types.
struct Polythetic {
    int s = tcst, n = ncsm, mono = 0, g = 0;
    float** W = dim2Dfloat(ncsm, tcst);  // the OTUs' own performances, before any pooling
    float** S = dim2Dfloat(tcst, tcst);
    int* labels = dim1Dint(tcst);        // monothetic group of each OTU
    int* poly = dim1Dint(tcst);          // polythetic group of each OTU
    float** Smono = nullptr;
    float** D = nullptr;
    clusterReport* rep = nullptr;
    int* monoGroup = nullptr;
    float **Umono = nullptr, **Upoly = nullptr, **Xmono = nullptr, **Xpoly = nullptr;
    int **pooled = nullptr, **stateCounts = nullptr;
    int ***states = nullptr, ***freq = nullptr;
    int most = 1;
    ~Polythetic() {
        free2D(W, n);
        free2D(S, s);
        free1D(labels);
        free1D(poly);
        free2D(Smono, mono);
        free2D(D, mono);
        for (int k = 0; rep && k < mono - 1; k++) free1D(rep[k].members);
        free1D(rep);
        free1D(monoGroup);
        free2D(Umono, s);
        free2D(Upoly, s);
        free2D(Xmono, n);
        free2D(Xpoly, n);
        free2D(pooled, g);
        free2D(stateCounts, g);
        free3D(states, g, nch);
        free3D(freq, g, nch);
    }
};

}  // namespace

void HierarchicalAccumPolythetic() {
    if (!hier::CanBuild()) return;
    Polythetic p;
    for (int c = 0; c < p.n; c++)
        for (int o = 0; o < p.s; o++) p.W[c][o] = cadat[o][c];
    hier::Run h;
    h.Build();
    gower_similarity(nch, csm, p.s, p.S, chtype, chrange, weight, countDoubleAbsence);
    ClusterIdenticals(p.s, p.S, p.labels, &p.mono, false);
    p.g = nGrPoly ? nGrPoly[0] : 0;
    if (p.g < 1 || p.g > p.mono) {
        fputc(7, stdout);
        fprintf(stderr, "\nThe number of polythetic types must lie between 1 and the number of monothetic types (%d): "
                        "nothing was computed.\n",
                p.mono);
        return;
    }
    p.Smono = dim2Dfloat(p.mono, p.mono);
    TrimRese(p.s, p.mono, p.labels, p.S, p.Smono);
    p.monoGroup = dim1Dint(p.mono);
    if (p.mono >= 2) {
        p.rep = static_cast<clusterReport*>(dim1D(sizeof(clusterReport), p.mono - 1));
        for (int k = 0; k < p.mono - 1; k++) p.rep[k].members = dim1Dint(p.mono);
        if (clusMethPoolCSTs == 3) {
            p.D = dim2Dfloat(p.mono, p.mono);
            CorrToSqDist(p.mono, p.Smono, p.D);
            SumSqCluster(p.mono, p.D, p.rep, true);
        } else {
            LinkageCluster(p.mono, p.Smono, p.rep, false, false, clusMethPoolCSTs, true);
        }
        GetClusterPartitionNew(p.mono, p.g, p.monoGroup, p.rep, clusMethPoolCSTs);
    } else {
        p.monoGroup[0] = 1;
    }
    for (int o = 0; o < p.s; o++) p.poly[o] = p.monoGroup[p.labels[o] - 1];
    p.Umono = dim2Dfloat(p.s, p.mono);
    p.Upoly = dim2Dfloat(p.s, p.g);
    if (fuzzy == 3) {
        FuzzyBelonging(p.s, p.mono, p.S, p.labels, p.Umono, false);
        FuzzyBelonging(p.s, p.g, p.S, p.poly, p.Upoly, false);
    } else {
        CrispBelonging(p.s, p.mono, p.labels, p.Umono);
        CrispBelonging(p.s, p.g, p.poly, p.Upoly);
    }
    p.Xmono = dim2Dfloat(p.n, p.mono);
    p.Xpoly = dim2Dfloat(p.n, p.g);
    MatrixProd(p.n, p.s, p.s, p.mono, p.W, p.Umono, p.Xmono);
    MatrixProd(p.n, p.s, p.s, p.g, p.W, p.Upoly, p.Xpoly);
    for (int t = 0; t < nch; t++) p.most = std::max(p.most, onsta[t]);
    p.pooled = dim2Dint(p.g, nch);
    p.stateCounts = dim2Dint(p.g, nch);
    p.states = dim3Dint(p.g, nch, p.most);
    p.freq = dim3Dint(p.g, nch, p.most);
    PoolCSTs(1, p.pooled, csm, p.s, onsta, p.g, p.poly, p.stateCounts, p.states, p.freq);

    MemoryReport report;
    FILE* f = report.stream();
    if (f) {
        Opening(f, true);
        fprintf(f, "Monothetic PFTs (identical populations for the selected traits were pooled): \n");
        PrintVectorTab(f, p.s, p.labels, nullptr);
        fprintf(f, "\nPopulations pooled according to groups (polythetic PFTs):\n");
        PrintVectorTab(f, p.s, p.poly, nullptr);
        fprintf(f, "\nDegrees of belonging of %d populations (rows) in %d monothetic groups (columns):\n", p.s, p.mono);
        PrintMatrix(f, p.s, p.mono, p.Umono, sDigits, 0);
        fprintf(f, "\nDegrees of belonging of %d populations (rows) in %d polythetic groups (columns):\n", p.s, p.g);
        PrintMatrix(f, p.s, p.g, p.Upoly, sDigits, 0);
        fprintf(f, "\nPooled performance matrix (%d relevs x %d population monothetic groups):\n", p.n, p.mono);
        PrintMatrix(f, p.n, p.mono, p.Xmono, sDigits, 0);
        fprintf(f, "\nPooled performance matrix (%d relevs x %d population polythetic groups):\n", p.n, p.g);
        PrintMatrix(f, p.n, p.g, p.Xpoly, sDigits, 0);
        if (printSpp == 'y' && !OnlyTraitIsSpecies()) {
            fprintf(f, "\nPFT/Species correspondence, level %d (monothetic PFTs):\n", 1);
            SpeciesOfGroups(f, p.mono, p.labels);
        }
        if (princont == 'y')
            PrintTablesCsmInt(0, f, nch, p.n, p.g, p.pooled, p.Xpoly, reLabel, nullptr, 0, nullptr, nullptr, nullptr,
                              nullptr);
    }
    PutWhole(volumeName, whichPrinda, prindaMode, report);
    int types[1] = {p.g};
    float** levels[1] = {p.Xpoly};
    WriteIntermediate(1, types, levels);
}
