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
void IFRandomization();
void IFEnvRese();
void IFEnvOrdination();
void IFEnvCluster();
void IFEnvRank();
void IFComplexity();

#endif
