// Handlers of the classical analyses that are not built yet: each returns at once. IFComplexity
// lives with the other analyses of community dynamics (TNXDynamics).
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
void IFEnvRese() {}
void IFEnvOrdination() {}
void IFEnvCluster() {}
void IFEnvRank() {}
