// Sums of squares from distance matrices and the distance-based analysis of variance.
#ifndef TNX_QWLIBSUMSQ_H
#define TNX_QWLIBSUMSQ_H

#endif
