// Functional analysis: scaling traits up from populations (OTUs) to communities.
#ifndef TNXRESE_H
#define TNXRESE_H

// The functional analysis with types of OTUs (community-structures letter H): reads the data
// set and the options that the settings dialog left in the global data model, builds DE, T, the
// similarity of the OTUs, their belonging to types, X, the Rao entropies and, with a phylogeny,
// Q, P and DP, runs the permutation test and writes the report section to volumeName +
// whichPrinda (mode prindaMode), whole or not at all. With the preference saveRndData 'y' the
// test's intermediate results go to sessionName + "RDa.txt"; otherwise that file is not touched.
// Returns false, after a message on standard error and without writing anything, when the data
// cannot be analysed: fewer than 2 communities, or Procrustes / RV with missing values in E (or,
// with the phylogeny, in B). A report file that cannot be opened raises code 4; a random-data
// file that cannot be opened ends the program with status 1.
bool PFTs_ScalingUp();

// Trait averages at community level without types: T, its resemblance and its congruence
// ro(TE) with the environment, written to the report whichPrinda and, T normalised and
// transposed, to the intermediate file whichHier. Returns false, after a message and without
// writing, for fewer than 2 communities.
bool FrequencyTraitsScalingUp();

// The older form on the two-character trait codes (csm): T is the plain product of W and the
// trait values (0 for a trait of weight 0; a missing performance adds nothing), normalised by
// columns; no environment. Writes the report to whichPrinda (mode prindaMode) and the normalised
// T transposed (traits in rows) to whichHier, each whole. Without trait codes it prints why and
// writes nothing (false).
bool FrequencyTraitsScalingUp_Old();

#endif
