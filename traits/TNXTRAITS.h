// Small queries on the trait descriptors of the loaded data set.
#ifndef TNXTRAITS_H
#define TNXTRAITS_H

// True when at least one of the n trait types is 2 (nominal, "qualitative"); false when n is
// below 1 or no type is 2.
bool HasQualitTrait(int n, int* types);

#endif
