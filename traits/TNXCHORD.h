// Trait-subset optimisation: searches the subsets of traits for the one that maximises a
// congruence criterion. Each search reads its options from the global data model, writes its
// results to whichChorder and, when saveStruct is 'y', the structures examined to
// whichStructures (the phylogenetic criteria 11 to 13 to "IntermediateRankResults.txt").
//
// Every search first checks that the data it needs exist (at least 2 communities; the
// environmental variables, the phylogeny, a partition of at least 2 types, traits that are not
// nominal where the criterion rests on trait averages); otherwise it prints why and returns
// kChRankRefused before any file is opened. A result or structure file that cannot be written
// gives kChRankFileFailed (the file is left as it was: results are written whole or not at
// all).
#ifndef TNXCHORD_H
#define TNXCHORD_H

#include "traits/TNXCHORDRANK.h"

enum ChRankStatus { kChRankDone = 0, kChRankRefused = 1, kChRankFileFailed = 2 };

ChRankStatus ChRankTDAP_TCAP();                   // criterion 1
ChRankStatus ChRankTDAP();                        // criterion 9
ChRankStatus ChRankTCAP();                        // criterion 10
ChRankStatus ChRankPhylogenyAssembly();           // criteria 11 to 13
ChRankStatus ChRank_Phylogeny_x_Trait_Assembly(); // criteria 14 and 15
// Criteria 16 to 24: mode 1 alpha divergence r(RE), 2 beta divergence r(XE.TR), 3 dark
// diversity r(SE), 4 r(XZ), 5 r(TZ), 6 r(XZ.T), 7 r(XY), 8 r(TY), 9 r(XY.T).
ChRankStatus ChRankAlphaBetaDivergence(int mode);
// The character ranking (ChOrderSearch and its family) is declared in TNXCHORDRANK.h.

// Rearranges the four vectors of length n in place so that entry i becomes the former entry
// numbered order[i] (order holds 1-based trait numbers, each in 1..n).
void ReorderVectors(int n, int* order, int* states, int* types, float* ranges, float* weights);

// data is populations x communities, tot communities x 1. tot[c][0] becomes the sum of the
// community's column; for part 3 each positive entry becomes tot[c][0] / counts[c], for part
// 2 it loses that mean and the totals are set back to 0; part 1 leaves data unchanged. Nothing
// is done when nComm < 1; a community whose count is below 1 keeps its entries. A missing
// entry (-999) is left as it is, out of the sum, and out of counts[c], which counts every
// entry that is not 0 (ncst).
void DataPartitionL(int nPop, int nComm, int* counts, int part, float** data, float** tot);

#endif
