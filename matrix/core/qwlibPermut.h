// Random permutation lists (free, nested, restricted, synchronised) and the enumeration of
// k-subsets.
#ifndef TNX_QWLIBPERMUT_H
#define TNX_QWLIBPERMUT_H

#include <cstdint>

// ============================================================================================
// Random permutation lists (qwlibPermut.cpp)
// ============================================================================================
//
// A list holds n 1-based object numbers; permuted data read object list[i] in place of object
// i. Every list is written into a caller-owned array (none is allocated here) and every draw
// is gsl_rng_uniform_int on the program's one generator `r`, so that one seed gives the same
// lists again: the number and the order of the draws below are part of each routine's
// behaviour. Group labels are any int values, one per object; group k means the objects that
// carry the k-th smallest label. The generator must have been seeded
// (InitRndNumberGenerator) before the first list is drawn.
//
// The restricted forms keep their work buffers between calls (they only grow), so that a
// permutation loop allocates nothing after its first iteration.

// A uniform integer in a .. b (one draw). b < a gives a without a draw.
int RndIntegers(int a, int b);

// Shuffles list[0..n-1] as it stands (forward Fisher-Yates: for i = 0 .. n-2 swap entry i with
// entry i + uniform(n - i)); nothing happens for n < 2.
void RndListSpecified(int n, int* list);
// For i = 0 .. n-1 in order, swaps list[i] with list[uniform(n)] (each partner drawn from the
// whole list).
void RndListPartial(int n, int* list);
// Sampling with replacement: list[i] = 1 + uniform(n) for i = 0 .. n-1 (.. m-1 for the N form).
void RndListBootstrap(int n, int* list);
void RndListBootstrapN(int n, int m, int* list);

// The selected positions receive a random arrangement of their own 1-based numbers (one
// RndList draw of the number selected); whatever they held is discarded, the unselected
// entries are untouched. The int form selects the positions where select[i] == 1.
void RndListSelect(int n, int* list, bool* select);
void RndListSelect(int n, int* list, int* select);

// As RndListSelect, with the permutation kept so that a second list can be moved the same way.
// With s positions selected (m[0..s-1] their 1-based numbers, ascending): when draw is set,
// P = RndList(s) is drawn and copied into perm[0..s-1]; otherwise P is perm[0..s-1] as an
// earlier call left it (no draw). Then for t = 0 .. s-1, q = order[t] (0-based, an index into
// both m and P): list[m[q] - 1] = m[P[q] - 1]. An order entry outside 0 .. s-1 is passed over.
// With nothing selected nothing is written.
void RndListSelectSynchronized(int n, int* list, bool* select, int* order, int* perm, bool draw);

// Permutation of the nPairs = m(m-1)/2 pairs of m objects induced by one random permutation of
// the objects (one RndList(m) draw): the pairs are numbered 1..nPairs along the upper triangle,
// row by row, and pair (i, j) of the list receives the number of the pair of the permuted
// objects. With m < 2 the list is 1..nPairs.
void RndListMantelRestricted(int nPairs, int* list, int m);

// Older multi-level permutation within nested groups. Level l has nGroups[l] groups with the
// labels groupLabels[l][0..nGroups[l]-1] (1..nGroups[l] when groupLabels is null) and one label
// per object in objectLabels[l]. The list is not initialised. With nLevels >= 2 there are
// nLevels - 1 passes; pass q visits the levels l = nLevels - 2 - q down to 0, with the flag
// f = levelFlags[l + 1]: f = 1 permutes the objects of each group of level l among their own
// positions; f = 0 at level 0 gives the whole list a fresh permutation of 1..n, once per group
// of level 0; any other case leaves the level as it is.
void RndListNested(int n, int nLevels, int* levelFlags, int* nGroups, int** groupLabels,
                   int** objectLabels, int* list);

// Restricted permutation by groups, the form the permutation tests use. list = 1..n; mode 1 or
// 3 permutes within each group (one RndList draw of the group's size per group, groups in
// ascending label order); then, when every group has the size of the first, mode 2 or 3
// permutes whole groups as blocks (one RndList draw of the number of groups): each group's
// positions, in order, receive the entries of the group drawn for it, in order. Unequal groups
// leave the block step out silently. Any other mode leaves the identity list.
void RndListNestedNew(int n, int* groups, int mode, int* list);
// Mode 3.
void RndListNestedNew(int n, int* groups, int* list);
// Within the groups of A when `within`; then, when `blocks`, whole groups of B as blocks (equal
// sizes required as above).
void RndListNestedNew(int n, bool within, int* groupsA, bool blocks, int* groupsB, int* list);
// Two factors, groups of B nested in groups of A. list = 1..n. With withinA the groups of A are
// found, and unless blocksWithinA the objects are permuted within each group of A. With blocksB
// (and groups of B of equal sizes) the groups of B are then exchanged as whole blocks: among all
// groups of B when blocksWithinA is not set; when it is set (and withinA), only among the
// groups of B that share members with the same group of A, group of A by group of A.
void RndListNestedNew(int n, bool withinA, int* groupsA, bool blocksB, int* groupsB,
                      bool blocksWithinA, int* list);
// The same, except that with sync the within-group permutation is drawn once, for the first
// group of A, and reused for every group of A of the same size; order[0..s-1] (s the first
// group's size) gives the order of assignment within those groups (see
// RndListSelectSynchronized; the identity order 0..s-1 moves every group the same way). A group
// of another size draws its own permutation, assigned in position order.
void RndListNestedSynchronized(int n, bool withinA, int* groupsA, bool blocksB, int* groupsB,
                               bool blocksWithinA, int* list, bool sync, int* order);
// The two-factor form restricted to the objects with select true: only they are members of a
// group, group sizes count only them, and the other positions keep their own numbers. Groups of
// B without a selected member take no part in the block step; when the groups of B that have
// members differ in size, "Unbalanced design. Permutation among bundling blocks is not
// possible.\n" is written to `out` and no block step is made.
void RndListNestedSelect(int n, bool withinA, int* groupsA, bool blocksB, int* groupsB,
                         bool blocksWithinA, int* list, bool* select);

// ============================================================================================
// Enumeration of k-subsets (qwlibPermut.cpp)
// ============================================================================================

// The binomial coefficient C(n, k), exact in 64 bits; 0 when k < 0 or k > n (or n < 0); a
// value beyond INT64_MAX (n above 66) is given as INT64_MAX.
int64_t BinomialCount(int n, int k);

// All k-subsets of 1..n in lexicographic order (the order of R's combn), one per call. init set
// starts a new enumeration (dropping any earlier one) and delivers the first subset; every
// further call (init not set) delivers the next one. Each call writes combo[0..k-1] = the
// subset's numbers ascending, then combo[k..n-1] = the other numbers ascending, and returns the
// number of subsets delivered so far (1 .. BinomialCount(n, k)). When there is nothing to
// deliver (the last subset was delivered, no enumeration was started, or k < 0, k > n at init)
// nothing is written and 0 is returned. Only one enumeration is in progress at a time.
int64_t PermuteArray(int n, int k, int* combo, bool init);

#endif
