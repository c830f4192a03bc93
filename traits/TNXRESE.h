// Functional analysis: scaling traits up from populations to communities.
#ifndef TNXRESE_H
#define TNXRESE_H

// The functional analysis with types of OTUs: reads the data set and the options from the
// global data model and writes its results to the report volumeName + whichPrinda (mode
// prindaMode); leaves the number of types per level in nGrPoly.
void PFTs_ScalingUp();

// Trait averages at community level without types; writes the intermediate file whichHier
// and the report whichPrinda.
void FrequencyTraitsScalingUp();

#endif
