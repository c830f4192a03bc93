// The structured table, the exports of a level's table or of a community resemblance, and the
// further table printers.
#include "classical/TNXTABLE.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "classical/TNXORDI.h"
#include "classical/TNXSeries.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "session/model/TNXCHECK.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXHIEFILE.h"
#include "traits/TNXHIER.h"
#include "traits/TNXHIERInternal.h"
#include "traits/TNXHIERPRINT.h"
#include "traits/TNXWHOLE.h"

namespace {

// A species table: one trait, labelled "sp", whose types are the species.
bool SpeciesTable() { return nch == 1 && std::strcmp(chLabel[0], "sp") == 0 && nSpp > 0 && spp && cstSppMap; }

// The species of type k through the species map (none for a type beyond the map's rows).
std::vector<int> SpeciesOf(int k) {
    std::vector<int> s;
    if (!cstSppMap || k >= tcst) return s;
    for (int j = 0; j < nSpp; j++)
        if (cstSppMap[k][j] == '1') s.push_back(j);
    return s;
}

// The name proper of species s, after its 4-letter code and a blank.
const char* NameProper(int s) { return std::strlen(spp[s]) > 5 ? spp[s] + 5 : ""; }

// Level `level` of the intermediate file, types by communities; its type count also goes to rcst.
struct LevelTable {
    explicit LevelTable(int level) : m(ReadIntermediateLevel(whichHier, level, &types)) {
        if (rcst && level >= 1 && level <= nch) rcst[level - 1] = types;
    }
    ~LevelTable() { free2D(m, types); }
    LevelTable(const LevelTable&) = delete;
    LevelTable& operator=(const LevelTable&) = delete;
    int types = 0;
    float** m;
};

// Session name + "l<level>" + suffix.
void LevelFileName(char (&dst)[kFileNameSize], int level, const char* suffix) {
    SessionFileName(dst, FormatText("l%d%s", level, suffix).c_str());
}

// A group label "%d" of number g, kept within the label's room.
void NumberLabel(char* label, int g) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", g);
    std::snprintf(label, kGroupLabelSize, "%.*s", kGroupLabelSize - 1, digits);
}

// Where each member of groups 1..count goes: the members of group 1 in their order, then group
// 2, and so on; members of no group are left out.
std::vector<int> GroupOrder(int n, const int* groups, int count) {
    std::vector<int> order;
    for (int g = 1; g <= count; g++)
        for (int i = 0; i < n; i++)
            if (groups[i] == g) order.push_back(i);
    return order;
}

}  // namespace

void StructTable() {
    const int L = whichLevelGrCST;
    // The hierarchy's own check: trait codes, and an order of the traits that is a permutation of
    // them (the traits' own otherwise), which the reordering below follows.
    if (L < 1 || L > nch || !groupRel || !groupCst || !hier::CanBuild()) return;
    Reorder(nch, tcst, nchor, onsta, csm, chtype, chrange, weight);
    std::vector<int> nTypes(L, 0);
    nTypes[0] = tcst;
    char*** codes = nullptr;
    float*** data = nullptr;
    Hierarchy(L, nch, ncsm, csm, &codes, nTypes.data(), cadat, &data, cstTrack);
    struct Release {
        int L;
        std::vector<int>& nTypes;
        char*** codes;
        float*** data;
        ~Release() { FreeHierarchy(L, ncsm, nTypes.data(), codes, data); }
    } release{L, nTypes, codes, data};
    dirtyOrig = 1;
    for (int l = 0; l < L; l++) rcst[l] = nTypes[l];
    const int types = nTypes[L - 1];
    if (printSpp == 'y' && cstSppMap) {
        std::vector<int> key(cstTrack[L - 1], cstTrack[L - 1] + tcst);
        MatchSpeciesCST(tcst, cstSppMap, key.data());
    }

    // Without a partition every community (type) is a group of its own; the session keeps it.
    if (nGroups == 0) {
        for (int c = 0; c < ncsm; c++) {
            groupRel[c] = c + 1;
            NumberLabel(grLabel[c], c + 1);
        }
        nGroups = ncsm;
        if (nGroupsP) nGroupsP[whichPart] = nGroups;
    }
    if (nCstGroups == 0) {
        for (int k = 0; k < types; k++) {
            groupCst[k] = k + 1;
            NumberLabel(grCstLabel[k], k + 1);
        }
        nCstGroups = types;
        if (nGroupsCstP) nGroupsCstP[whichCstPart] = nCstGroups;
        if (whichLevelGrCstP) whichLevelGrCstP[whichCstPart] = L;
    }

    const std::vector<int> rows = GroupOrder(ncsm, groupRel, nGroups);
    const std::vector<int> cols = GroupOrder(types, groupCst, nCstGroups);
    const int nr = static_cast<int>(rows.size()), nc = static_cast<int>(cols.size());
    OwnedTable<float> table(nr > 0 ? nr : 1, nc > 0 ? nc : 1);
    std::vector<std::string> typeLabels;
    std::vector<char*> typeCodes, typePointers, communityLabels;
    std::vector<int> communityGroups, typeGroups;
    for (int j = 0; j < nc; j++) typeLabels.push_back(FormatText("%-d", cols[j] + 1));
    for (int j = 0; j < nc; j++) {
        typeCodes.push_back(codes[L - 1][cols[j]]);
        typePointers.push_back(&typeLabels[j][0]);
        typeGroups.push_back(groupCst[cols[j]]);
    }
    for (int i = 0; i < nr; i++) {
        communityLabels.push_back(reLabel[rows[i]]);
        communityGroups.push_back(groupRel[rows[i]]);
        for (int j = 0; j < nc; j++) table[i][j] = data[L - 1][rows[i]][cols[j]];
    }

    SessionFileName(whichPrinda, prindaExt);
    ReportSection report(whichPrinda);
    FILE* f = report.Stream();
    std::fprintf(f, "\n");
    SectionHead(f, "STRUCTURED TABLE \n", false);
    std::fprintf(f, "Level on trait hierarchy: %d\n", L);
    std::fprintf(f, "Communities and PFTs are arranged according to groups.\nCommunity group label below each community "
                    "label.\n\n");
    PrintTables_iNEW(L - 1, f, nch - (L - 1), nr, nc, typeCodes.data(), table.get(), communityLabels.data(),
                     typePointers.data(), 1, grLabel, grCstLabel, communityGroups.data(), typeGroups.data());
    if (printSpp == 'y' && !SpeciesTable() && cstSppMap) {
        std::fprintf(f, "\nPFT/Species correspondence, level %d:\n", L);
        PrintSpp(f, std::min(types, tcst), cstSppMap, spp, nullptr);
    }
    report.Commit();
}

void PrintOrbaldFormat(int level) {
    LevelTable t(level);
    LevelFileName(whichOrbald, level, orbaldExt);
    WriteWhole(whichOrbald, [&](FILE* f) {
        for (int k = 0; k < t.types; k++) {
            for (int c = 0; c < ncsm; c++) std::fprintf(f, "%.12g\t", static_cast<double>(t.m[k][c]));
            std::fprintf(f, "\n");
        }
        std::fprintf(f, "\n");
        for (int c = 0; c < ncsm; c++) std::fprintf(f, "%s\t", reLabel[c]);
        std::fprintf(f, "\n");
        if (SpeciesTable()) {
            for (int k = 0; k < t.types; k++)
                for (int s : SpeciesOf(k)) std::fprintf(f, "%4.4s\t", spp[s]);
            std::fprintf(f, "\n\n");
            for (int k = 0; k < t.types; k++)
                for (int s : SpeciesOf(k)) std::fprintf(f, "%s\n", NameProper(s));
        } else {
            for (int k = 0; k < t.types; k++) std::fprintf(f, "%d\t", k + 1);
            std::fprintf(f, "\n");
        }
    });
}

void PrintMulvaFormat(int level) {
    LevelTable t(level);
    LevelFileName(whichMulva, level, mulvaExt);
    const bool species = SpeciesTable();
    WriteWhole(whichMulva, [&](FILE* f) {
        if (species) std::fprintf(f, "\t");
        for (int c = 0; c < ncsm; c++) std::fprintf(f, "\t%s", reLabel[c]);
        std::fprintf(f, "\n");
        for (int k = 0; k < t.types; k++) {
            std::fprintf(f, "%d", k + 1);
            if (species)
                for (int s : SpeciesOf(k)) std::fprintf(f, "\t%s", NameProper(s));
            for (int c = 0; c < ncsm; c++) std::fprintf(f, "\t%.12g", static_cast<double>(t.m[k][c]));
            std::fprintf(f, "\n");
        }
    });
}

void PrintReseRowFormat(double** rese, int level) {
    LevelFileName(whichRelReseNoDiag, level, reseNoDiagExt);
    WriteWhole(whichRelReseNoDiag, [&](FILE* f) { PrintHalfMatrix_row(f, ncsm, rese, 1); });
}

void PrintMatrixFormat(int level) {
    LevelTable t(level);
    LevelFileName(whichMulva, level, mulvaExt);
    WriteWhole(whichMulva, [&](FILE* f) {
        for (int k = 0; k < t.types; k++) {
            for (int c = 0; c < ncsm; c++) std::fprintf(f, "\t%.12g", static_cast<double>(t.m[k][c]));
            std::fprintf(f, "\n");
        }
        if (SpeciesTable())
            for (int k = 0; k < t.types; k++)
                for (int s : SpeciesOf(k)) std::fprintf(f, "%s\n", NameProper(s));
        std::fprintf(f, "\n");
        std::fprintf(f, "\nData matrix: %d PFTs or species (rows) by %d communities (columns)\n", t.types, ncsm);
        std::fprintf(f, "The list of %d species (if it is the case) folows.\n", t.types);
        std::fprintf(f, "\nReleve labels:\t");
        for (int c = 0; c < ncsm; c++) std::fprintf(f, "%s\t", reLabel[c]);
        std::fprintf(f, "\n");
    });
}

void PrintEnvMatrix(int nVar, int nRel, float** e, char** varLabels, char** relLabels) {
    MemoryReport report;
    FILE* f = report.stream();
    std::fprintf(f, "\n\nENVIRONMENTAL VARIABLES \n");
    std::fprintf(f, "Relevs:");
    for (int c = 0; c < nRel; c++) std::fprintf(f, "\t%s", relLabels[c]);
    for (int v = 0; v < nVar; v++) {
        std::fprintf(f, "\n%s", varLabels[v]);
        for (int c = 0; c < nRel; c++) std::fprintf(f, "\t%g", static_cast<double>(e[c][v]));
    }
    std::fprintf(f, "\n\n");
    PutWhole(volumeName, whichPrinda, prindaMode, report);
}

void PrintSummary(FILE* f, int nRel, int nTypes, float** table) {
    struct Line {
        int type;
        double presence, dominance;
    };
    std::vector<Line> lines;
    for (int k = 0; k < nTypes; k++) {
        int present = 0;
        double sum = 0.0;
        for (int c = 0; c < nRel; c++)
            if (table[c][k] > 0.0f) {
                present++;
                sum += table[c][k];
            }
        lines.push_back({k + 1, nRel > 0 ? 100.0 * present / nRel : 0.0, present > 0 ? sum / present : 0.0});
    }
    // Ascending presence, equal presences in type order; listed from the last.
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.presence < b.presence; });
    std::fprintf(f, "Presence(%%) and dominance (average peformance when PFT is present):\n");
    std::fprintf(f, "PFT\t\tPresence(%%)\t\tAvg.perf.\n");
    std::fprintf(f, "---\t\t-----------\t\t---------\n");
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        std::fprintf(f, "%3g\t\t%11.*g\t\t%9.*g\n", static_cast<double>(it->type), sDigits, it->presence, sDigits,
                     it->dominance);
    std::fprintf(f, "\n");
}

void PrintSppNEW(FILE* f, int nTypes, char** map, char** species, char** typeLabels, int fullNames) {
    std::fprintf(f, "%-4s\t%-s\n", "PFT#", "Species");
    std::fprintf(f, "%-4s\t%-s\n", "----", "-------------------------------------------");
    for (int k = 0; k < nTypes; k++) {
        if (typeLabels)
            std::fprintf(f, "%-4s\t", typeLabels[k]);
        else
            std::fprintf(f, "%-4d\t", k + 1);
        long count = 4;
        for (int s = 0; map && species && s < nSpp; s++) {
            if (map[k][s] != '1') continue;
            if (fullNames) {
                std::fprintf(f, "%s\t", species[s]);
                continue;
            }
            if (count > maxColsPrint) {
                std::fprintf(f, "\n%-4s\t", "");
                count = 4;
            }
            std::fprintf(f, "%-4.4s\t", species[s]);
            count += 5;
        }
        std::fprintf(f, "\n");
    }
}

void PrintTables_i(int level, FILE* f, int nTraits, int nCols, int nRows, char** codes, float** data, char** colLabels,
                   char** rowLabels, int mode, char** colGroupLabels, char** rowGroupLabels, int* colGroups,
                   int* rowGroups) {
    int width = 3;
    for (int c = 0; c < nCols; c++)
        for (int r = 0; r < nRows; r++)
            width = std::max(width, static_cast<int>(FormatText("%.*g", sDigits, static_cast<double>(data[c][r])).size()));
    const long start = 7 + 3L * nTraits;
    // Cells of the columns, continued under the leading cells past maxColsPrint.
    auto columns = [&](auto cell) {
        long pos = start;
        for (int c = 0; c < nCols; c++) {
            if (c > 0 && pos > maxColsPrint) {
                std::fprintf(f, "\n%-3s\t%-2s\t", "", "");
                for (int t = 0; t < nTraits; t++) std::fprintf(f, "%-2s\t", "");
                pos = start;
            }
            cell(c);
            pos += width + 1;
        }
        std::fprintf(f, "\n");
    };
    auto traitCells = [&](const char* text) {
        for (int t = 0; t < nTraits; t++) std::fprintf(f, "%-2s\t", text);
    };
    if (isHierarchical == 1)
        std::fprintf(f, "Contingency table level %d: \n", level + 1);
    else
        std::fprintf(f, "Contingency table: \n");
    std::fprintf(f, "%-3s\t%-2s\t", mode == 3 ? "OTU" : "CST", rowGroups ? "Gr" : "");
    for (int t = 0; t < nTraits; t++) std::fprintf(f, "%-2.2s\t", OrderedTraitLabel(t));
    columns([&](int c) {
        if (colLabels)
            std::fprintf(f, "%*s\t", width, colLabels[c]);
        else
            std::fprintf(f, "%*d\t", width, c + 1);
    });
    if (colGroups && colGroupLabels) {
        std::fprintf(f, "%-3s\t%-2s\t", "Gr", "");
        traitCells("");
        columns([&](int c) { std::fprintf(f, "%*s\t", width, colGroupLabels[colGroups[c] - 1]); });
    }
    std::fprintf(f, "%-3s\t%-2s\t", "---", "--");
    traitCells("--");
    columns([&](int) { std::fprintf(f, "%*s\t", width, "---"); });
    for (int r = 0; r < nRows; r++) {
        if (rowLabels)
            std::fprintf(f, "%-3s\t", rowLabels[r]);
        else
            std::fprintf(f, "%-3d\t", r + 1);
        std::fprintf(f, "%-2s\t", rowGroups && rowGroupLabels ? rowGroupLabels[rowGroups[r] - 1] : "");
        for (int t = 0; t < nTraits; t++) std::fprintf(f, "%c%c\t", codes[r][2 * t], codes[r][2 * t + 1]);
        columns([&](int c) { std::fprintf(f, "%*.*g\t", width, sDigits, static_cast<double>(data[c][r])); });
    }
    std::fprintf(f, "\n");
}
