// Menu handlers of the classical community analyses. Each runs one analysis on the loaded
// data set and returns to the menu that called it.
#ifndef TNXIFCLASSIC_H
#define TNXIFCLASSIC_H

void IFDynamics();
void IFResemblance();
void IFOrdination();
void IFCluster();
void IFEvaluation();
void IFProfile();
void IFScatter();
void IFHistogram();
void IFStructTable();
void IFConcentrationAn();
void IFExportData();
// The export of level `level` (1-based) in `format`: 1 for Orbald, 2 for Mulva5 (the level's
// community-by-type table), 4 the stored nominal resemblances of the level in one row; any other
// format writes nothing. The export dialog offers formats 1 and 2.
void ExportData(int format, int level);
void IFRandomization();
void IFEnvRese();
void IFEnvOrdination();
void IFEnvCluster();
void IFEnvRank();
void IFComplexity();

#endif
