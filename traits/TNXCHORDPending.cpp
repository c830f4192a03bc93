// Criteria whose searches are not built yet: they say so and write nothing.
#include <cstdio>

#include "foundation/ConsoleReaders.h"
#include "traits/TNXCHORD.h"

namespace {

ChRankStatus NotBuilt() {
    fputs("\nThis criterion is not available in this version.\n", out ? out : stdout);
    return kChRankRefused;
}

}  // namespace

ChRankStatus ChRankPhylogenyAssembly() { return NotBuilt(); }
ChRankStatus ChRank_Phylogeny_x_Trait_Assembly() { return NotBuilt(); }
