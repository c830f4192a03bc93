// Random permutation lists drawn on the program's one generator (free, bootstrap, selected,
// synchronised, pair, nested and restricted forms) and the enumeration of k-subsets.
#include "matrix/core/qwlibPermut.h"

#include <gsl/gsl_rng.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "foundation/ConsoleReaders.h"
#include "matrix/core/qwlibRandom.h"

namespace {

// One uniform integer in 0 .. m-1 from the shared generator.
inline int Draw(int m) { return static_cast<int>(gsl_rng_uniform_int(r, static_cast<unsigned long>(m))); }

// The objects of a grouping, group by group: members[start[k] .. start[k+1]-1] are the 1-based
// positions of group k in ascending order; groups in ascending order of their labels.
struct Grouping {
    std::vector<int> distinct, groupOf, start, members;
    int g = 0;
    int Size(int k) const { return start[k + 1] - start[k]; }
    const int* Members(int k) const { return members.data() + start[k]; }
};

// Work buffers shared by the list generators. They only grow, so that a permutation loop
// allocates nothing once its first list has been drawn (the program is single-threaded).
struct Work {
    Grouping A, B;
    std::vector<int> positions, perm, kept, blocks, blockList;
    std::vector<char> marks;
};

Work& Buffers() {
    static Work w;
    return w;
}

// Groups of labels[0..n-1] among the objects for which in(i) holds (the others belong to no
// group, groupOf -1). The distinct labels are found by sorting a copy rather than through
// CountGroups, which allocates on every call.
template <class In>
void FindGroups(int n, const int* labels, In in, Grouping& G) {
    G.distinct.clear();
    for (int i = 0; i < n; i++)
        if (in(i)) G.distinct.push_back(labels[i]);
    std::sort(G.distinct.begin(), G.distinct.end());
    G.distinct.erase(std::unique(G.distinct.begin(), G.distinct.end()), G.distinct.end());
    G.g = static_cast<int>(G.distinct.size());
    G.groupOf.assign(n, -1);
    G.start.assign(G.g + 1, 0);
    for (int i = 0; i < n; i++) {
        if (!in(i)) continue;
        int k = static_cast<int>(std::lower_bound(G.distinct.begin(), G.distinct.end(), labels[i]) -
                                 G.distinct.begin());
        G.groupOf[i] = k;
        G.start[k + 1]++;
    }
    for (int k = 0; k < G.g; k++) G.start[k + 1] += G.start[k];
    G.members.resize(G.start[G.g]);
    // Filling in object order keeps every group's positions ascending.
    std::vector<int>& next = Buffers().positions;
    next.assign(G.start.begin(), G.start.end() - 1);
    for (int i = 0; i < n; i++)
        if (G.groupOf[i] >= 0) G.members[next[G.groupOf[i]]++] = i + 1;
}

void FindGroups(int n, const int* labels, Grouping& G) {
    FindGroups(n, labels, [](int) { return true; }, G);
}

// The s positions pos[0..s-1] (1-based, ascending) receive a random arrangement of their own
// numbers: one RndList(s) draw.
void PermuteAmong(int s, const int* pos, int* list) {
    std::vector<int>& P = Buffers().perm;
    P.resize(std::max(s, 1));
    RndList(s, P.data());
    for (int t = 0; t < s; t++) list[pos[t] - 1] = pos[P[t] - 1];
}

// The same over the positions i + 1 for which sel(i) holds.
template <class Sel>
void PermuteSelected(int n, int* list, Sel sel) {
    std::vector<int>& pos = Buffers().positions;
    pos.clear();
    for (int i = 0; i < n; i++)
        if (sel(i)) pos.push_back(i + 1);
    PermuteAmong(static_cast<int>(pos.size()), pos.data(), list);
}

// Assignment of the synchronised lists: for t = 0 .. s-1, q = order[t] indexes both the
// positions and the permutation, 0-based. Entries outside the range are passed over, so that
// an order or a kept permutation of another size never reads outside its arrays.
void AssignInOrder(int s, const int* pos, const int* P, const int* order, int* list) {
    for (int t = 0; t < s; t++) {
        int q = order[t];
        if (q < 0 || q >= s || P[q] < 1 || P[q] > s) continue;
        list[pos[q] - 1] = pos[P[q] - 1];
    }
}

void Identity(int n, int* list) {
    for (int i = 0; i < n; i++) list[i] = i + 1;
}

bool EqualSizes(const Grouping& G) {
    for (int k = 1; k < G.g; k++)
        if (G.Size(k) != G.Size(0)) return false;
    return true;
}

// Whole groups exchanged as blocks (all of equal size): one RndList(g) draw; the positions of
// group k, in order, receive the entries that group P[k] held, in order.
void PermuteBlocks(const Grouping& G, int* list) {
    Work& w = Buffers();
    w.blocks.resize(G.members.size());
    for (size_t t = 0; t < G.members.size(); t++) w.blocks[t] = list[G.members[t] - 1];
    w.perm.resize(std::max(G.g, 1));
    RndList(G.g, w.perm.data());
    for (int k = 0; k < G.g; k++) {
        int from = w.perm[k] - 1;
        for (int t = 0; t < G.Size(k); t++) list[G.Members(k)[t] - 1] = w.blocks[G.start[from] + t];
    }
}

// Groups of B exchanged as blocks only with groups of B inside the same group of A: for each
// group of A in ascending order, the groups of B sharing members with it are marked, a list of
// group numbers is permuted over the marked entries (one RndList draw of their number), and
// each marked group receives the entries of the group drawn for it.
void PermuteBlocksWithin(const Grouping& A, const Grouping& B, int* list) {
    Work& w = Buffers();
    w.blocks.resize(B.members.size());
    w.blockList.resize(std::max(B.g, 1));
    for (int a = 0; a < A.g; a++) {
        w.marks.assign(B.g, 0);
        for (int t = 0; t < A.Size(a); t++) {
            int b = B.groupOf[A.Members(a)[t] - 1];
            if (b >= 0) w.marks[b] = 1;
        }
        for (int b = 0; b < B.g; b++) {
            w.blockList[b] = b + 1;
            if (w.marks[b])
                for (int t = 0; t < B.Size(b); t++) w.blocks[B.start[b] + t] = list[B.Members(b)[t] - 1];
        }
        // PermuteSelected uses the shared position buffer, not the block buffers.
        PermuteSelected(B.g, w.blockList.data(), [&](int b) { return w.marks[b] != 0; });
        for (int b = 0; b < B.g; b++) {
            if (!w.marks[b]) continue;
            int from = w.blockList[b] - 1;
            for (int t = 0; t < B.Size(b); t++) list[B.Members(b)[t] - 1] = w.blocks[B.start[from] + t];
        }
    }
}

// Within every group of G: one draw per group, or with sync one draw for the first group,
// kept and reused (in the caller's order) for every group of the same size; a group of another
// size draws its own permutation.
void PermuteWithinGroups(const Grouping& G, int* list, bool sync, int* order) {
    Work& w = Buffers();
    int keptSize = -1;
    for (int k = 0; k < G.g; k++) {
        int s = G.Size(k);
        if (!sync) {
            PermuteAmong(s, G.Members(k), list);
            continue;
        }
        std::vector<int>& P = (keptSize < 0 || s == keptSize) ? w.kept : w.perm;
        if (keptSize < 0 || s != keptSize) {
            P.resize(std::max(s, 1));
            RndList(s, P.data());
            if (keptSize < 0) keptSize = s;
        }
        AssignInOrder(s, G.Members(k), P.data(), order, list);
    }
}

// The two-factor restricted permutation; `in` tells which objects take part (the others keep
// their identity numbers).
template <class In>
void NestedTwoFactor(int n, bool withinA, int* groupsA, bool blocksB, int* groupsB,
                     bool blocksWithinA, int* list, bool sync, int* order, In in, bool report) {
    Work& w = Buffers();
    Identity(n, list);
    if (withinA) {
        FindGroups(n, groupsA, in, w.A);
        if (!blocksWithinA) PermuteWithinGroups(w.A, list, sync, order);
    }
    if (!blocksB) return;
    FindGroups(n, groupsB, in, w.B);
    if (!EqualSizes(w.B)) {
        if (report) std::fputs("Unbalanced design. Permutation among bundling blocks is not possible.\n", out ? out : stdout);
        return;
    }
    if (!blocksWithinA)
        PermuteBlocks(w.B, list);
    else if (withinA)
        PermuteBlocksWithin(w.A, w.B, list);
}

// The running state of PermuteArray: one enumeration at a time.
struct Enumeration {
    std::vector<int> index;  // the current subset as 0-based indices, ascending
    std::vector<char> isIn;  // membership marks of the n objects
    int64_t count = 0, counter = 0;
    int n = 0, k = 0;
    bool active = false;
    void Release() {
        std::vector<int>().swap(index);
        std::vector<char>().swap(isIn);
        active = false;
    }
};

}  // namespace

int RndIntegers(int a, int b) {
    if (b < a) return a;
    return a + Draw(b - a + 1);
}

void RndListSpecified(int n, int* list) {
    for (int i = 0; i < n - 1; i++) std::swap(list[i], list[i + Draw(n - i)]);
}

void RndListPartial(int n, int* list) {
    for (int i = 0; i < n; i++) std::swap(list[i], list[Draw(n)]);
}

void RndListBootstrap(int n, int* list) { RndListBootstrapN(n, n, list); }

void RndListBootstrapN(int n, int m, int* list) {
    if (n < 1) return;
    for (int i = 0; i < m; i++) list[i] = 1 + Draw(n);
}

void RndListSelect(int n, int* list, bool* select) {
    PermuteSelected(n, list, [&](int i) { return select[i]; });
}

void RndListSelect(int n, int* list, int* select) {
    PermuteSelected(n, list, [&](int i) { return select[i] == 1; });
}

void RndListSelectSynchronized(int n, int* list, bool* select, int* order, int* perm, bool draw) {
    std::vector<int>& pos = Buffers().positions;
    pos.clear();
    for (int i = 0; i < n; i++)
        if (select[i]) pos.push_back(i + 1);
    int s = static_cast<int>(pos.size());
    if (s == 0) return;
    if (draw) RndList(s, perm);
    AssignInOrder(s, pos.data(), perm, order, list);
}

void RndListMantelRestricted(int nPairs, int* list, int m) {
    Identity(nPairs, list);
    if (m < 2) return;
    std::vector<int>& perm = Buffers().perm;
    perm.resize(m);
    RndList(m, perm.data());
    // Pair (a, b), a < b, is number a m - a (a + 1) / 2 + (b - a) along the upper triangle.
    int at = 0;
    for (int i = 0; i < m - 1; i++)
        for (int j = i + 1; j < m && at < nPairs; j++) {
            int a = std::min(perm[i], perm[j]) - 1, b = std::max(perm[i], perm[j]) - 1;
            list[at++] = a * m - a * (a + 1) / 2 + (b - a);
        }
}

void RndListNested(int n, int nLevels, int* levelFlags, int* nGroups, int** groupLabels,
                   int** objectLabels, int* list) {
    for (int q = 0; q < nLevels - 1; q++)
        for (int l = nLevels - 2 - q; l >= 0; l--) {
            int f = levelFlags[l + 1];
            if (f == 1) {
                for (int k = 0; k < nGroups[l]; k++) {
                    int label = groupLabels ? groupLabels[l][k] : k + 1;
                    PermuteSelected(n, list, [&](int i) { return objectLabels[l][i] == label; });
                }
            } else if (f == 0 && l == 0) {
                for (int k = 0; k < nGroups[0]; k++) RndList(n, list);
            }
        }
}

void RndListNestedNew(int n, int* groups, int mode, int* list) {
    Work& w = Buffers();
    Identity(n, list);
    if (mode < 1 || mode > 3) return;
    FindGroups(n, groups, w.A);
    if (mode != 2) PermuteWithinGroups(w.A, list, false, nullptr);
    if (mode != 1 && EqualSizes(w.A)) PermuteBlocks(w.A, list);
}

void RndListNestedNew(int n, int* groups, int* list) { RndListNestedNew(n, groups, 3, list); }

void RndListNestedNew(int n, bool within, int* groupsA, bool blocks, int* groupsB, int* list) {
    Work& w = Buffers();
    Identity(n, list);
    if (within) {
        FindGroups(n, groupsA, w.A);
        PermuteWithinGroups(w.A, list, false, nullptr);
    }
    if (!blocks) return;
    FindGroups(n, groupsB, w.B);
    if (EqualSizes(w.B)) PermuteBlocks(w.B, list);
}

void RndListNestedNew(int n, bool withinA, int* groupsA, bool blocksB, int* groupsB,
                      bool blocksWithinA, int* list) {
    NestedTwoFactor(n, withinA, groupsA, blocksB, groupsB, blocksWithinA, list, false, nullptr,
                    [](int) { return true; }, false);
}

void RndListNestedSynchronized(int n, bool withinA, int* groupsA, bool blocksB, int* groupsB,
                               bool blocksWithinA, int* list, bool sync, int* order) {
    NestedTwoFactor(n, withinA, groupsA, blocksB, groupsB, blocksWithinA, list, sync, order,
                    [](int) { return true; }, false);
}

void RndListNestedSelect(int n, bool withinA, int* groupsA, bool blocksB, int* groupsB,
                         bool blocksWithinA, int* list, bool* select) {
    NestedTwoFactor(n, withinA, groupsA, blocksB, groupsB, blocksWithinA, list, false, nullptr,
                    [&](int i) { return select[i]; }, true);
}

int64_t BinomialCount(int n, int k) {
    if (n < 0 || k < 0 || k > n) return 0;
    k = std::min(k, n - k);
    // After step i the value is C(n - k + i, i), an integer, so each division is exact; the
    // values grow with i, so once one passes INT64_MAX the result does too.
    unsigned __int128 c = 1;
    for (int i = 1; i <= k; i++) {
        c = c * static_cast<unsigned>(n - k + i) / static_cast<unsigned>(i);
        if (c > static_cast<unsigned __int128>(INT64_MAX)) return INT64_MAX;
    }
    return static_cast<int64_t>(c);
}

int64_t PermuteArray(int n, int k, int* combo, bool init) {
    static Enumeration e;
    if (init) {
        e.Release();
        if (n < 0 || k < 0 || k > n) return 0;
        e.n = n;
        e.k = k;
        e.count = BinomialCount(n, k);
        e.counter = 0;
        e.index.resize(std::max(k, 1));
        for (int t = 0; t < k; t++) e.index[t] = t;
        e.isIn.assign(std::max(n, 1), 0);
        e.active = true;
    } else {
        if (!e.active) return 0;
        // The rightmost index below its largest value n - k + i moves up by one; the indices
        // after it follow on consecutively.
        int i = e.k - 1;
        while (i >= 0 && e.index[i] == e.n - e.k + i) i--;
        if (i >= 0) {
            e.index[i]++;
            for (int j = i + 1; j < e.k; j++) e.index[j] = e.index[j - 1] + 1;
        }
    }
    std::fill(e.isIn.begin(), e.isIn.end(), 0);
    for (int t = 0; t < e.k; t++) {
        combo[t] = e.index[t] + 1;
        e.isIn[e.index[t]] = 1;
    }
    int at = e.k;
    for (int o = 0; o < e.n; o++)
        if (!e.isIn[o]) combo[at++] = o + 1;
    int64_t delivered = ++e.counter;
    if (delivered >= e.count) e.Release();
    return delivered;
}
