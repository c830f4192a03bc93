// Functional analysis. The computations are not built yet: each entry returns at once,
// leaving the data model as it found it.
#include "traits/TNXRESE.h"

void PFTs_ScalingUp() {}

void FrequencyTraitsScalingUp() {}
