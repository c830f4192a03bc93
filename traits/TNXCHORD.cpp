// Trait-subset searches. The computations are not built yet: each entry returns at once.
#include "traits/TNXCHORD.h"

void ChRankTDAP_TCAP() {}
void ChRankTDAP() {}
void ChRankTCAP() {}
void ChRankPhylogenyAssembly() {}
void ChRank_Phylogeny_x_Trait_Assembly() {}
void ChRankAlphaBetaDivergence(int /*mode*/) {}
void ChOrderSearch() {}
