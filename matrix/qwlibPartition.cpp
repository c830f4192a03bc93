// Partitions cut from the fusion records of a hierarchical clustering, label renumbering,
// the Newick text of a dendrogram, classes of identical objects and the reduced resemblance
// among their representatives.
#include "matrix/qwlib.h"

#include "foundation/qwlibDim.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// k limited to 1..n (n >= 1).
int ClampK(int n, int k)
{
    if (k > n) return n;
    return k < 1 ? 1 : k;
}

// Every member after the first takes the first member's label.
void ApplyRecord(const clusterReport& rec, int* labels)
{
    if (rec.nMembers < 1) return;
    const int first = labels[rec.members[0] - 1];
    for (int m = 1; m < rec.nMembers; m++) labels[rec.members[m] - 1] = first;
}

// Record copies in the order of the walk: ascending level (exchange sort, strict, so that equal
// levels keep their fusion order) for sums of squares, the fusion order otherwise.
clusterReport* WalkOrder(int n, clusterReport* rep, bool sortByLevel)
{
    const int count = n - 1;
    clusterReport* copy = static_cast<clusterReport*>(dim1D_Clear(count > 0 ? count : 0, sizeof(clusterReport)));
    for (int t = 0; t < count; t++) copy[t] = rep[t];
    if (sortByLevel && n >= 3)
        for (int i = 0; i <= n - 3; i++)
            for (int j = i + 1; j <= n - 2; j++)
                if (copy[i].level > copy[j].level) {
                    const clusterReport t = copy[i];
                    copy[i] = copy[j];
                    copy[j] = t;
                }
    return copy;
}

// Applies the records of the walk until k groups are left; returns the index of the first
// record not applied (n - 1 when all were) and the level of the last one applied.
int Walk(int n, int k, int* labels, clusterReport* walk, double* lastLevel)
{
    for (int i = 0; i < n; i++) labels[i] = i + 1;
    int g = n, t = 0;
    if (lastLevel) *lastLevel = 0.0;
    for (; t < n - 1 && g != k; t++) {
        ApplyRecord(walk[t], labels);
        if (walk[t].nMembers >= 2) g--;
        if (lastLevel) *lastLevel = walk[t].level;
    }
    return t;
}

void Cut(int n, int k, int* labels, double* level, clusterReport* rep, bool sortByLevel)
{
    if (n < 1) return;
    k = ClampK(n, k);
    clusterReport* walk = WalkOrder(n, rep, sortByLevel);
    Walk(n, k, labels, walk, level);
    free1D(walk);
    RenamePartitionLabels(n, k, labels);
}

template <class T>
void IdenticalsT(int n, T** rese, int* labels, int* nGroups, bool isDistance)
{
    const T same = isDistance ? T(0) : T(1);
    for (int i = 0; i < n; i++) labels[i] = i + 1;
    for (int i = 0; i < n - 1; i++)
        for (int j = i + 1; j < n; j++)
            if (rese[i][j] == same) labels[j] = labels[i];
    int g = 0;
    CountGroupsNew(n, labels, &g, nullptr);
    *nGroups = g;
    RenamePartitionLabels(n, g, labels);
}

// The representatives are read in the upper triangle whichever comes first in the object
// order: a label's first object may have a higher number than the next label's.
template <class T>
void TrimT(int n, int k, int* labels, T** in, T** out)
{
    int* rep = dim1Dint(k > 0 ? k : 0);
    for (int a = 0; a < k; a++) {
        rep[a] = 0;
        for (int i = 0; i < n; i++)
            if (labels[i] == a + 1) {
                rep[a] = i;
                break;
            }
    }
    for (int a = 0; a < k; a++) {
        out[a][a] = in[rep[a]][rep[a]];
        for (int b = a + 1; b < k; b++) {
            const int i = rep[a], j = rep[b];
            out[a][b] = i <= j ? in[i][j] : in[j][i];
        }
    }
    free1D(rep);
}

// A Newick name: quoted when it holds a character that Newick reserves or a blank.
std::string NewickName(const char* name)
{
    const std::string s = name ? name : "";
    if (!s.empty() && s.find_first_of("()[],:;' \t") == std::string::npos) return s;
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += '\'';
        q += c;
    }
    return q + "'";
}

std::string Length(double x)
{
    char buf[40];
    snprintf(buf, sizeof buf, ":%g", double(float(x)));
    return buf;
}

// Text of the group created by record t (children[t] holds its two parts: a record index, or
// -(object number) for a single object).
struct NewickTree {
    clusterReport* rep;
    char** names;
    bool withLengths;
    int (*children)[2];

    std::string Node(int node) const
    {
        if (node < 0) return NewickName(names[-node - 1]);
        std::string s = "(" + Node(children[node][0]);
        if (withLengths) s += Length(rep[node].branchFirst);
        s += "," + Node(children[node][1]);
        if (withLengths) s += Length(rep[node].branchSecond);
        return s + ")";
    }
};

}  // namespace

void GetClusterPartitionNew(int n, int k, int* labels, clusterReport* rep, int method)
{
    Cut(n, k, labels, nullptr, rep, method == 3);
}

void GetClusterPartition(int n, int k, int* labels, clusterReport* rep) { Cut(n, k, labels, nullptr, rep, false); }

void GetClusterPartitionLevel(int n, int k, int* labels, double* level, clusterReport* rep, int method)
{
    Cut(n, k, labels, level, rep, method == 3);
}

void GetClusterPartitionWhich(int n, int k, int* labels, int* which, clusterReport* rep)
{
    if (n < 1) return;
    k = ClampK(n, k);
    int t = Walk(n, k, labels, rep, nullptr);
    if (t > n - 2) t = n - 2;
    int* next = dim1Dint(n);
    for (int i = 0; i < n; i++) next[i] = labels[i];
    if (t >= 0) ApplyRecord(rep[t], next);
    RenamePartitionLabels(n, k - 1, next);
    RenamePartitionLabels(n, k, labels);
    for (int i = 0; i < n; i++)
        if (next[i] != labels[i]) {
            which[0] = next[i];
            which[1] = labels[i];
            break;
        }
    free1D(next);
}

void RenamePartitionLabels(int n, int k, int* labels)
{
    for (int L = 1; L <= k; L++) {
        // The smallest label at or above L; lowering every label above L until one reaches L
        // moves them all down by its gap at once.
        bool any = false;
        int smallest = 0;
        for (int i = 0; i < n; i++)
            if (labels[i] >= L && (!any || labels[i] < smallest)) {
                smallest = labels[i];
                any = true;
            }
        if (!any) return;
        const int gap = smallest - L;
        if (gap > 0)
            for (int i = 0; i < n; i++)
                if (labels[i] > L) labels[i] -= gap;
    }
}

void ClusterIdenticals(int n, float** rese, int* labels, int* nGroups, bool isDistance)
{
    IdenticalsT(n, rese, labels, nGroups, isDistance);
}
void ClusterIdenticals(int n, double** rese, int* labels, int* nGroups, bool isDistance)
{
    IdenticalsT(n, rese, labels, nGroups, isDistance);
}

void TrimRese(int n, int k, int* labels, float** in, float** out) { TrimT(n, k, labels, in, out); }
void TrimRese(int n, int k, int* labels, double** in, double** out) { TrimT(n, k, labels, in, out); }

void NewickFormat(int n, clusterReport* rep, int, char** names, bool, char* out, bool withLengths)
{
    if (n < 1) return;
    std::string text;
    if (n == 1) {
        text = NewickName(names[0]);
    } else {
        // group[i]: the node that holds object i + 1 so far (a record, or -(i + 1) alone).
        int* group = dim1Dint(n);
        int (*children)[2] = new int[n - 1][2];
        for (int i = 0; i < n; i++) group[i] = -(i + 1);
        for (int t = 0; t < n - 1; t++) {
            const clusterReport& rec = rep[t];
            children[t][0] = group[rec.members[0] - 1];
            children[t][1] = group[rec.members[rec.nMembers - 1] - 1];
            for (int m = 0; m < rec.nMembers; m++) group[rec.members[m] - 1] = t;
        }
        NewickTree tree{rep, names, withLengths, children};
        text = tree.Node(n - 2);
        delete[] children;
        free1D(group);
    }
    text += ";";
    strcat(out, text.c_str());
}
