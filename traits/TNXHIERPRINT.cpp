// Report printers of the trait hierarchy: contingency tables, the presence and dominance
// summary of the types, the species of each type.
#include "traits/TNXHIERPRINT.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/qwlibOut.h"
#include "session/model/TNXGLOB.h"

namespace {

// The label of trait t in the order nchor.
const char* TraitLabel(int t) { return chLabel[nchor ? nchor[t] - 1 : t]; }

bool IsSpeciesTrait(int t) { return std::strcmp(TraitLabel(t), "sp") == 0; }

// Everything a table shares between the code and the pooled-state forms. Positions count the
// characters of a line as a cell's width plus one for its tab; the row titles take 7.
struct Table {
    FILE* f;
    int nTraits, nCols, nRows;
    float** data;
    char** colLabels;
    char** rowLabels;
    int mode;
    char** colGroupLabels;
    char** rowGroupLabels;
    int* colGroups;
    int* rowGroups;
    bool wrap;
    std::vector<int> traitWidth;
    int valueWidth = 3;
    long traitsEnd = 7;  // where the columns start on the heading lines

    long Half() const { return maxColsPrint / 2; }
    // Blank title cells and blanks up to the end of the trait block: a continuation line.
    void Continue(long* pos) const {
        fprintf(f, "\n%-3s\t%-2s\t", "", "");
        *pos = 7;
        while (*pos < traitsEnd) {
            fprintf(f, "%-2s\t", "");
            *pos += 3;
        }
    }
    // One cell of a column run, continued on a new line past maxColsPrint.
    template <class Print>
    void ColumnCell(long* pos, int c, Print print) const {
        if (wrap && c > 0 && *pos > maxColsPrint) Continue(pos);
        print();
        *pos += valueWidth + 1;
    }
    void Heading(int level, const char* levelForm, const char* plainForm) {
        if (mode != 1) {
            if (isHierarchical == 1 || !plainForm)
                fprintf(f, levelForm, level + 1);
            else
                fprintf(f, "%s", plainForm);
        }
        const char* first = mode == 0 ? "PFT" : mode == 2 ? "Gr " : "OTU";
        fprintf(f, "%-3s\t%-2s\t", first, (mode == 1 || mode == 3) ? "Gr" : "");
        long pos = 7;
        bool wrapped = false;
        for (int t = 0; t < nTraits; t++) {
            if (wrap && t > 0 && pos > Half()) {
                fprintf(f, "\n%-3s\t%-2s\t", "", "");
                pos = 7;
                wrapped = true;
            }
            fprintf(f, "%-*s\t", traitWidth[t], TraitLabel(t));
            pos += traitWidth[t] + 1;
        }
        for (; wrapped && pos < Half(); pos += 3) fprintf(f, "%-2s\t", "");
        traitsEnd = pos;
        for (int c = 0; c < nCols; c++)
            ColumnCell(&pos, c, [&] {
                if (colLabels)
                    fprintf(f, "%*s\t", valueWidth, colLabels[c]);
                else
                    fprintf(f, "%*d\t", valueWidth, c + 1);
            });
        fprintf(f, "\n");
        if (mode == 1) {
            fprintf(f, "%-3s\t%-2s\t", "", "");
            for (pos = 7; pos < traitsEnd; pos += 3) fprintf(f, "%-2s\t", "");
            for (int c = 0; c < nCols; c++)
                ColumnCell(&pos, c, [&] { fprintf(f, "%*s\t", valueWidth, colGroupLabels[colGroups[c] - 1]); });
            fprintf(f, "\n");
        }
        const bool grouped = mode == 1 || mode == 3;
        fprintf(f, "%-3s\t%-2s\t", grouped ? "---" : "", grouped ? "--" : "");
        pos = 7;
        for (int t = 0; t < nTraits && pos <= Half(); t++) {
            fprintf(f, "%-*s\t", traitWidth[t], "--");
            pos += traitWidth[t] + 1;
        }
        for (int c = 0; c < nCols && pos <= maxColsPrint; c++) {
            fprintf(f, "%*s\t", valueWidth, "---");
            pos += valueWidth + 1;
        }
        fprintf(f, "\n");
    }
    // The row's title cells: its label or number and, with groups, its group.
    void RowTitle(int r) const {
        if (mode == 1 || mode == 3) {
            if (rowLabels)
                fprintf(f, "%-3s\t", rowLabels[r]);
            else
                fprintf(f, "%-3d\t", r + 1);
            fprintf(f, "%-2s\t", rowGroupLabels[rowGroups[r] - 1]);
        } else if (rowLabels) {
            fprintf(f, "%-3s\t%-2s\t", rowLabels[r], "");
        } else {
            fprintf(f, "%-3d\t%-2s\t", r + 1, "");
        }
    }
    void Values(int r, long pos) const {
        for (int c = 0; c < nCols; c++)
            ColumnCell(&pos, c,
                       [&] { fprintf(f, "%*.*g\t", valueWidth, sDigits, static_cast<double>(data[c][r])); });
        fprintf(f, "\n");
    }
    // The rows, each led by its trait cells as traitCell(r, t) prints them.
    template <class TraitCell>
    void Rows(TraitCell traitCell) const {
        for (int r = 0; r < nRows; r++) {
            RowTitle(r);
            long pos = 7;
            for (int t = 0; t < nTraits; t++) {
                traitCell(r, t);
                pos += traitWidth[t] + 1;
            }
            Values(r, pos);
        }
        fprintf(f, nRows > 0 ? "\n" : "\n\n");
    }
};

Table MakeTable(FILE* f, int nTraits, int nCols, int nRows, float** data, char** colLabels, char** rowLabels, int mode,
                char** colGroupLabels, char** rowGroupLabels, int* colGroups, int* rowGroups, bool wrap) {
    Table t{f,         nTraits, nCols,       nRows, data, colLabels, rowLabels, mode, colGroupLabels, rowGroupLabels,
            colGroups, rowGroups, wrap, {}};
    for (int k = 0; k < nTraits; k++) t.traitWidth.push_back(IsSpeciesTrait(k) ? 4 : 2);
    char text[64];
    for (int c = 0; c < nCols; c++)
        for (int r = 0; r < nRows; r++) {
            const int n = snprintf(text, sizeof text, "%.*g", sDigits, static_cast<double>(data[c][r]));
            t.valueWidth = std::max(t.valueWidth, n);
        }
    return t;
}

// The species of row r as the first four letters of each name.
void SpeciesCell(FILE* f, int r) {
    if (!cstSppMap || !spp || r >= tcst) return;
    for (int s = 0; s < nSpp; s++)
        if (cstSppMap[r][s] == '1') fprintf(f, "%-4.4s\t", spp[s]);
}

}  // namespace

void PrintTables_iNEW(int level, FILE* f, int nTraits, int nCols, int nRows, char** codes, float** data,
                      char** colLabels, char** rowLabels, int mode, char** colGroupLabels, char** rowGroupLabels,
                      int* colGroups, int* rowGroups) {
    Table t = MakeTable(f, nTraits, nCols, nRows, data, colLabels, rowLabels, mode, colGroupLabels,
                              rowGroupLabels, colGroups, rowGroups, true);
    t.Heading(level, "\nContingency table level %d: \n", "\nContingency table: \n");
    t.Rows([&](int r, int k) {
        if (IsSpeciesTrait(k)) {
            SpeciesCell(f, r);
            return;
        }
        const char first = codes[r][2 * k];
        fprintf(f, "%c", first == '0' ? ' ' : first);
        fprintf(f, "%c\t", codes[r][2 * k + 1]);
    });
}

void PrintTables(FILE* f, int nLevels, int nComm, int* nTypes, char*** levelCodes, float*** levelData) {
    const int levels = isHierarchical == 1 ? nLevels : std::min(nLevels, 1);
    for (int l = 0; l < levels; l++)
        PrintTables_iNEW(l, f, nch - l, nComm, nTypes[l], levelCodes[l], levelData[l], reLabel, nullptr, 0, nullptr,
                         nullptr, nullptr, nullptr);
}

void PrintTablesCsmInt(int level, FILE* f, int nTraits, int nCols, int nRows, int** states, float** data,
                       char** colLabels, char** rowLabels, int mode, char** colGroupLabels, char** rowGroupLabels,
                       int* colGroups, int* rowGroups) {
    Table t = MakeTable(f, nTraits, nCols, nRows, data, colLabels, rowLabels, mode, colGroupLabels,
                              rowGroupLabels, colGroups, rowGroups, false);
    t.Heading(level, "Contingency table level %d: \n", nullptr);
    t.Rows([&](int r, int k) { fprintf(f, "%d\t", states[r][k]); });
}

void PrintSummaryNEW(FILE* f, int nComm, int nTypes, float** data) {
    struct Line {
        int type;
        double presence, dominance;
    };
    std::vector<Line> lines;
    for (int k = 0; k < nTypes; k++) {
        int present = 0;
        double sum = 0.0;
        for (int c = 0; c < nComm; c++)
            if (data[c][k] != 0.0f) present++, sum += data[c][k];
        lines.push_back({k, nComm > 0 ? 100.0 * present / nComm : 0.0, present > 0 ? sum / present : 0.0});
    }
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return a.presence != b.presence ? a.presence > b.presence : a.dominance > b.dominance;
    });
    fprintf(f, "Presence(%%) and dominance (average peformance when PFT is present):\n");
    fprintf(f, "PFT\t\tPresence(%%)\t\tAvg.perf.\n");
    fprintf(f, "---\t\t-----------\t\t---------\n");
    const bool species = nch == 1 && IsSpeciesTrait(0);
    for (const Line& l : lines) {
        if (species) {
            const char* name = "";
            for (int s = 0; cstSppMap && spp && l.type < tcst && s < nSpp; s++)
                if (cstSppMap[l.type][s] == '1') {
                    name = spp[s];
                    break;
                }
            fprintf(f, "%-4.4s\t%11.*g\t\t%9.*g\n", name, sDigits, l.presence, sDigits, l.dominance);
        } else {
            fprintf(f, "%3g\t%11.*g\t\t%9.*g\n", static_cast<double>(l.type + 1), sDigits, l.presence, sDigits,
                    l.dominance);
        }
    }
}

void PrintSpp(FILE* f, int nTypes, char** map, char** names, char** labels) {
    fprintf(f, "%-4s\t%s\n", "PFT#", "Species");
    for (int k = 0; k < nTypes; k++) {
        if (labels)
            fprintf(f, "%-4s\t", labels[k]);
        else
            fprintf(f, "%-4d\t", k + 1);
        for (int s = 0; map && names && s < nSpp; s++)
            if (map[k][s] == '1') fprintf(f, "%s\t", names[s]);
        fprintf(f, "\n");
    }
}
