// What the drivers of the trait hierarchy and of its resemblances share: the hierarchy of the
// session's data built once per run, with its fuzzy sets, released when the run ends (also when
// an error code travels through).
#ifndef TNXHIERINTERNAL_H
#define TNXHIERINTERNAL_H

#include <cstdio>
#include <vector>

#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "traits/TNXHIER.h"

namespace hier {

struct Run {
    int levels = isHierarchical == 1 ? nch : 1;
    float** totals = dim2Dfloat(ncsm, 1);
    char*** codes = nullptr;
    float*** data = nullptr;
    std::vector<int> types;  // types per level, as built
    double*** S = nullptr;   // fuzzy sets, when made

    Run() = default;
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    ~Run() {
        FreeSets();
        if (!types.empty()) FreeHierarchy(levels, ncsm, types.data(), codes, data);
        free2D(totals, ncsm);
    }

    // The session's community totals, traits put in the order nchor and the hierarchy of
    // cadat (pooled in place): the session's data change, so they are reloaded afterwards.
    void Build() {
        rcst[0] = tcst;
        DataPartition(tcst, totals);
        Reorder(nch, tcst, nchor, onsta, csm, chtype, chrange, weight);
        Hierarchy(levels, nch, ncsm, csm, &codes, rcst, cadat, &data, cstTrack);
        types.assign(rcst, rcst + levels);
        nlev = levels;
        dirtyOrig = 1;
    }

    // The similarity of each level's types, sharpened by the degree of fuzziness.
    void MakeSets() {
        S = reinterpret_cast<double***>(dim1Dptr(levels));
        for (int l = 0; l < levels; l++) S[l] = dim2Double(types[l], types[l]);
        FuzzySets(levels, codes, types.data(), S, chtype, chrange, weight);
        FuzzinessDegree(levels, types.data(), S, fuzziness);
    }

    void FreeSets() {
        if (!S) return;
        for (int l = 0; l < levels; l++) free2D(S[l], types[l]);
        free1D(S);
        S = nullptr;
    }
};

// PairwiseFuzzyAdj with its work space given: take and tmp hold n entries each.
void PairwiseFuzzyAdj(int n, float** pair, double** S, bool* take, double* tmp);

// "Community labels: " and every community label as "%-6s", a newline after every 21.
void CommunityLabels(FILE* f);

// True when the hierarchy can be built from the session's data: trait codes (otherwise the
// reason is printed), at least one OTU, community and trait.
bool CanBuild();

}  // namespace hier

#endif
