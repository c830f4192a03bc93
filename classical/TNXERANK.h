// Ranking of the environmental variables by a stepwise search for the subset whose environmental
// dissimilarity best matches a community structure: criterion 1 (structural redundancy)
// eliminates variables backward, criteria 2 to 4 add them forward. The result file lists every
// subset tried with its value, under the ranking found.
#ifndef TNXERANK_H
#define TNXERANK_H

// The search by optEnvStruct: 1 the congruence with the dissimilarity of the step before (all
// variables at first), 2 with the stored community resemblance rese[0] (correlations and cross
// products as squared distances), 3 the mean dissimilarity between communities of different
// groups of groupRel (minimised), 4 the congruence with the Euclidean distance of the
// communities over the first axes[0] ordination scores of scores[0] (communities x axes).
// Writes whichEnvRank whole (the ranking first, then the settings and every subset tried) and,
// when saveStruct is 'y', each dissimilarity to the structure file. A value that is undefined
// (no pair of communities in different groups) is never best. Criterion 5 and other codes
// rank nothing: a message, and no file. E is not changed.
void EnvRank(int* axes, float*** scores);

// The direction of the search: backward for criterion 1, forward otherwise.
int test_ek(int k);  // another step: k > 0, or k < nenv
int test_em(int m);  // another candidate: m >= 0, or m < nenv
int incr_em(int m);  // next candidate: m - 1, or m + 1
int incr_ek(int k);  // next step: k - 1, or k + 1
int incr_ev(int v);  // next value of the ranking's list: v + 1, or v - 1

#endif
