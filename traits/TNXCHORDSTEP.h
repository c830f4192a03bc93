// Stepwise trait-subset search for the partial Mantel correlation ro(XE.T): level k extends the
// subset carried from level k - 1 by the one remaining trait that gives the largest ro(XE.T).
#ifndef TNXCHORDSTEP_H
#define TNXCHORDSTEP_H

// Reads the session's data and the options the trait-subset settings leave; writes whichChorder
// (a summary of the best subset of each level first) and, when saveStruct is 'y',
// whichStructures, each whole or not at all. The types of a subset are the user's partition of
// the OTUs into nGrPoly[0] groups when clusMethPoolCSTs is 0, and otherwise the cuts of a
// clustering of the OTUs by the subset's Gower similarity. A community resemblance option
// outside 6 to 10, or data that cannot be used, print one line and nothing is written. A file
// that cannot be created raises error code 4, a failed write code 3.
void ChRankAssemblyRulesStepwise();

#endif
