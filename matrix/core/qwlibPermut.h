// Random permutation lists (free, nested, restricted, synchronised) and the enumeration of
// k-subsets.
#ifndef TNX_QWLIBPERMUT_H
#define TNX_QWLIBPERMUT_H

#endif
