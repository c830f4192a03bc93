// Trait-subset optimisation: searches the subsets of traits for the one that maximises a
// congruence criterion. Each search reads its options from the global data model, writes its
// results to whichChorder and, when saveStruct is 'y', the structures examined to
// whichStructures.
#ifndef TNXCHORD_H
#define TNXCHORD_H

void ChRankTDAP_TCAP();                   // criterion 1
void ChRankTDAP();                        // criterion 9
void ChRankTCAP();                        // criterion 10
void ChRankPhylogenyAssembly();           // criteria 11 to 13
void ChRank_Phylogeny_x_Trait_Assembly(); // criteria 14 and 15
// Criteria 16 to 24: mode 1 alpha divergence r(RE), 2 beta divergence r(XE.TR), 3 dark
// diversity r(SE), 4 r(XZ), 5 r(TZ), 6 r(XZ.T), 7 r(XY), 8 r(TY), 9 r(XY.T).
void ChRankAlphaBetaDivergence(int mode);
// Stepwise trait ordering for population structures.
void ChOrderSearch();

#endif
