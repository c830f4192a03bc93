// Character ranking: trait orders built on the trait hierarchy, each cumulative subset of leading
// traits judged by one of eight criteria (opt_struct; the population-structures branch,
// optmain1 'P', always ranks by criterion 4).
//   1 Mantel correlation of DE and the communities' resemblance D over the subset's types
//   2, 3 group dissimilarity of D over the community groups (2 the smallest is best)
//   4 redundancy of the OTUs: Mantel correlation of their Gower similarity over the subset
//     with that over all traits
//   5 redundancy of the communities: Mantel correlation of D with D over all traits
//   6 (1 - r(DE, D of the trait left out alone)) x the redundancy of 5
//   7 group dissimilarity of the trait left out alone x the redundancy of 5
//   8 coherence (Renyi order 1) of the community x type table
// Criteria 4 to 7 leave one trait out per step (backward), the others add one (forward). Every
// value is rounded to 6 significant digits before it is compared; a candidate replaces the best
// only when strictly better, so ties go to the first candidate visited, and a value that is not
// a number never becomes a best.
//
// Each routine needs the two-character trait codes (csm) and the data its criterion reads; when
// they are missing it prints why and writes nothing. It works on copies of the session's codes,
// composition and trait vectors; at the end nchor holds the trait order found and dirtyOrig is
// 1. whichChorder (its summary first) and, when saveStruct is 'y', whichStructures are written
// whole; a file that cannot be created raises code 4, a failed write code 3. Each returns true
// when it wrote its results, false when it refused.
#ifndef TNXCHORDRANK_H
#define TNXCHORDRANK_H

// Greedy steps over the monothetic types of the leading traits.
bool ChOrderSearch();
// Greedy steps; the types of each candidate clustered (clusMethPoolCSTs 1 to 5) into 2 up to
// nMaxCSTGroupsChRank groups (criteria 4 and 5: nCSTGroupsChRankRedundancy), the best number
// of groups kept with the candidate's value.
bool ChOrderSearchClusterCSTs();
// Every subset of every size, in the lexicographic order, with the best subset of each size
// (not for criteria 6 and 7, which judge a trait left out).
bool ChOrderSearchAll();
// Backward elimination by the redundancy of the communities (criterion 5) over polythetic
// groups: the types clustered and cut at nCSTGroupsChRankRedundancy groups.
bool ChOrderRedundancyPolythetic();

// The direction of the family's loops by opt_struct: criteria 4 to 7 count down.
bool test_k(int k);  // k > 0 backward, k < nch forward
bool test_m(int m);  // m >= 0 backward, m < nch forward
int incr_m(int m);   // m - 1 backward, m + 1 forward
int incr_k(int k);   // as incr_m
int incr_i(int i);   // i + 1 backward, i - 1 forward

#endif
