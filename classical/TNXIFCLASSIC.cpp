// Handlers of the classical analyses. The analyses are not built yet: each handler returns
// at once.
#include "classical/TNXIFCLASSIC.h"

void IFDynamics() {}
void IFResemblance() {}
void IFOrdination() {}
void IFCluster() {}
void IFEvaluation() {}
void IFProfile() {}
void IFScatter() {}
void IFHistogram() {}
void IFStructTable() {}
void IFConcentrationAn() {}
void IFExportData() {}
void IFRandomization() {}
void IFEnvRese() {}
void IFEnvOrdination() {}
void IFEnvCluster() {}
void IFEnvRank() {}
void IFComplexity() {}
