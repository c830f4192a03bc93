// Data checks of a loaded data set, and the state counters and species-map helpers.
#include "session/model/TNXCHECK.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"

int emptyReleves = 0;

namespace {

const float kMissing = -999.0f;

// Moves slot i of a row table to position last, the slots in between moving up one place.
template <class T>
void RotateToEnd(T** rows, int i, int last) {
    for (int k = i; k < last; k++) swap(rows, k, k + 1);
}

// Moves row i of a row table behind the others (to position last) and releases it there.
template <class T>
void DropRow(T** rows, int i, int last) {
    RotateToEnd(rows, i, last);
    free1D(rows[last]);
    rows[last] = nullptr;
}

// Removes OTU row i: its B, trait-code, W, OTU-species and phylogeny rows (and its phylogeny
// column) go behind the other OTUs and are released; tcst decreases by one.
void DropOtu(int i) {
    const int last = tcst - 1;
    if (csm_Float) DropRow(csm_Float, i, last);
    if (csm) DropRow(csm, i, last);
    DropRow(cadat, i, last);
    if (cstSppMap) DropRow(cstSppMap, i, last);
    if (phylogenyRese) {
        // The phylogeny is OTUs by OTUs: the OTU's column leaves every row as well.
        for (int r = 0; r < tcst; r++) {
            double* row = phylogenyRese[r];
            if (!row) continue;
            double v = row[i];
            std::memmove(row + i, row + i + 1, sizeof(double) * static_cast<size_t>(last - i));
            row[last] = v;
        }
        DropRow(phylogenyRese, i, last);
    }
    if (phylogenyData) DropRow(phylogenyData, i, last);
    tcst--;
}

// Removes species position s: its name and community row go to the end and are released,
// the later OTU-species columns move left one place; nSpp decreases by one.
void RemoveSpecies(int s) {
    const int last = nSpp - 1;
    DropRow(spp, s, last);
    DropRow(sppRelMap, s, last);
    if (cstSppMap) {
        for (int otu = 0; otu < tcst; otu++) {
            char* row = cstSppMap[otu];
            if (!row) continue;
            std::memmove(row + s, row + s + 1, static_cast<size_t>(last - s));
            row[last] = '0';
        }
    }
    nSpp--;
}

bool RowHasOne(const char* row, int n) {
    for (int k = 0; k < n; k++)
        if (row[k] == '1') return true;
    return false;
}

bool SameState(const char* a, const char* b) { return a[0] == b[0] && a[1] == b[1]; }

// Looks up the state of string `s` for `trait` among the first nSlots slots: returns the slot
// that holds it, or stores it in the first free slot and returns that slot with *isNew set;
// -1 when every slot holds another state.
int FindOrAddState(const char* s, int trait, char** states, int nSlots, bool* isNew) {
    const char* st = s + 2 * trait;
    *isNew = false;
    for (int k = 0; k < nSlots; k++) {
        if (states[k][0] == '\0') {
            states[k][0] = st[0];
            states[k][1] = st[1];
            states[k][2] = '\0';
            *isNew = true;
            return k;
        }
        if (SameState(states[k], st)) return k;
    }
    return -1;
}

void ClearStates(char** states, int n) {
    for (int k = 0; k < n; k++) states[k][0] = '\0';
}

}  // namespace

void DropAbsentOtus() {
    for (int i = 0; i < tcst;) {
        bool present = false;
        for (int c = 0; c < ncsm && !present; c++) present = std::fabs(cadat[i][c]) > 1e-13;
        if (present) i++;
        else DropOtu(i);
    }
}

void CountOtusPerCommunity() {
    emptyReleves = 0;
    for (int c = 0; c < ncsm; c++) {
        int n = 0;
        for (int i = 0; i < tcst; i++)
            if (cadat[i][c] != 0.0f) n++;
        ncst[c] = n;
        if (n == 0) emptyReleves++;
    }
}

void CheckData(int countStates) {
    // 1. OTUs without any value in any community (a missing value counts as present).
    DropAbsentOtus();
    // 2. Species.
    if (nSpp > 0) {
        CheckSpeciesMerge();
        CheckCSTsSameSpecies();
    }
    // 3. OTUs per community and empty communities.
    CountOtusPerCommunity();
    // 4. States.
    if (countStates == 1) CountStates(nch, tcst, onsta, csm_Float);
    // 5. Ranges of the interval and ratio traits.
    for (int j = 0; j < nch; j++) {
        if (chtype[j] == 3) {
            RangeStates(nch, tcst, csm_Float, chtype, chrange);
            break;
        }
    }
    // 6. Species without OTUs or occurrences.
    if (nSpp > 0) TrimSpecies(tcst);
}

void CheckSpeciesMerge() {
    for (int i = 0; i < nSpp; i++) {
        for (int j = i + 1; j < nSpp;) {
            if (std::strcmp(spp[j], spp[i]) != 0) {
                j++;
                continue;
            }
            for (int otu = 0; otu < tcst; otu++)
                if (cstSppMap[otu][j] == '1') cstSppMap[otu][i] = '1';
            for (int c = 0; c < ncsm; c++)
                if (sppRelMap[j][c] == '1') sppRelMap[i][c] = '1';
            RemoveSpecies(j);  // the next name now stands at j
        }
    }
}

void CheckCSTsSameSpecies() {
    int t = -1;
    for (int j = 0; j < nch; j++)
        if (std::strcmp(chLabel[j], "sp") == 0) t = j;
    if (t < 0) return;
    for (int i = 0; i < tcst; i++) csm_Float[i][t] = static_cast<float>(i);
    for (int i = 0; i < tcst; i++) {
        for (int k = i + 1; k < tcst; k++) {
            for (int s = 0; s < nSpp; s++) {
                if (cstSppMap[i][s] == '1' && cstSppMap[k][s] == '1') {
                    csm_Float[k][t] = csm_Float[i][t];
                    break;
                }
            }
        }
    }
}

void TrimSpecies(int n) {
    // Which OTUs belong to some species now, to report those that lose their last one.
    std::vector<char> hadSpecies(static_cast<size_t>(n > 0 ? n : 0), 0);
    for (int otu = 0; otu < n; otu++) hadSpecies[otu] = RowHasOne(cstSppMap[otu], nSpp);

    // 1. Species to which none of the n OTUs belongs.
    for (int s = 0; s < nSpp;) {
        bool used = false;
        for (int otu = 0; otu < n && !used; otu++) used = cstSppMap[otu][s] == '1';
        if (used) s++;
        else RemoveSpecies(s);
    }
    // 2. Species that occur in no community.
    for (int s = 0; s < nSpp;) {
        if (RowHasOne(sppRelMap[s], ncsm)) s++;
        else RemoveSpecies(s);
    }
    // 3. An OTU belongs to a species only where some community holds both.
    for (int otu = 0; otu < n; otu++) {
        for (int s = 0; s < nSpp; s++) {
            if (cstSppMap[otu][s] != '1') continue;
            bool supported = false;
            for (int c = 0; c < ncsm && !supported; c++)
                supported = cadat[otu][c] != 0.0f && sppRelMap[s][c] == '1';
            if (!supported) cstSppMap[otu][s] = '0';
        }
    }
    for (int otu = 0; otu < n; otu++) {
        if (hadSpecies[otu] && !RowHasOne(cstSppMap[otu], nSpp))
            std::fprintf(stderr, "\nOTU %d is left without a species in the species list.\n", otu + 1);
    }
}

void CountStates(int nch, int n, int* onsta, float** data) {
    std::vector<float> seen;
    seen.reserve(static_cast<size_t>(n > 0 ? n : 0));
    for (int j = 0; j < nch; j++) {
        seen.clear();
        for (int i = 0; i < n; i++) {
            float v = data[i][j];
            bool known = false;
            for (float s : seen) {
                if (s == v) {
                    known = true;
                    break;
                }
            }
            if (!known) seen.push_back(v);
        }
        onsta[j] = static_cast<int>(seen.size());
    }
}

void RangeStates(int nch, int n, float** data, int* type, float* range) {
    for (int j = 0; j < nch; j++) {
        if (type[j] != 3) continue;
        float mx = -FLT_MAX;
        float mn = FLT_MAX;
        bool any = false;
        for (int i = 0; i < n; i++) {
            float v = data[i][j];
            if (v == kMissing) continue;
            any = true;
            if (v > mx) mx = v;
            if (v < mn) mn = v;
        }
        range[j] = any ? mx - mn : 0.0f;
    }
}

void MatchSpeciesCST(int n, char** map, int* key) {
    int m = n;
    for (int i = 0; i < m - 1; i++) {
        for (int j = i + 1; j < m;) {
            if (key[j] != key[i]) {
                j++;
                continue;
            }
            for (int s = 0; s < nSpp; s++)
                if (map[j][s] == '1') map[i][s] = '1';
            // Row j and its key go behind the rows still examined.
            int kj = key[j];
            for (int k = j; k < m - 1; k++) key[k] = key[k + 1];
            key[m - 1] = kj;
            RotateToEnd(map, j, m - 1);
            m--;
        }
    }
}

void MatchSpeciesCSTPooled(int n, int k, char** mapIn, char** mapOut, int* group) {
    for (int g = 0; g < k; g++)
        for (int s = 0; s < nSpp; s++) mapOut[g][s] = '0';
    for (int g = 1; g <= k; g++) {
        for (int i = 0; i < n; i++) {
            if (group[i] != g) continue;
            for (int s = 0; s < nSpp; s++)
                if (mapIn[i][s] == '1') mapOut[g - 1][s] = '1';
        }
    }
}

void CountStatesChar(int trait, int n, int* nStates, char** strings, char** states) {
    ClearStates(states, n);
    *nStates = 0;
    for (int i = 0; i < n; i++) {
        bool isNew = false;
        FindOrAddState(strings[i], trait, states, n, &isNew);
        if (isNew) (*nStates)++;
    }
}

void CountStatesFreqChar(int trait, int n, int* nStates, char** strings, char** states, int* freq) {
    ClearStates(states, n);
    for (int k = 0; k < n; k++) freq[k] = 0;
    *nStates = 0;
    for (int i = 0; i < n; i++) {
        bool isNew = false;
        int k = FindOrAddState(strings[i], trait, states, n, &isNew);
        if (isNew) (*nStates)++;
        if (k >= 0) freq[k]++;
    }
}

void CountStatesFreqGroup(int trait, int n, int* nStates, char** strings, char** states, int* freq,
                          int nFreq, int* group, int g) {
    ClearStates(states, nFreq);
    for (int k = 0; k < nFreq; k++) freq[k] = 0;
    *nStates = 0;
    if (n < 1) return;
    for (int i = 0; i < n; i++) {
        if (group[i] != g) continue;
        bool isNew = false;
        int k = FindOrAddState(strings[i], trait, states, nFreq, &isNew);
        if (isNew) (*nStates)++;
        if (k >= 0) freq[k]++;
    }
}

int CheckIdenticalLabels(const char* label, char** labels, int n) {
    for (int i = 0; i < n; i++)
        if (std::strncmp(labels[i], label, 4) == 0) return 1;
    return 0;
}
