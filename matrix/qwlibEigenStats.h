// Eigenvalue statistics, analysis of concentration and permutation tests of axes.
#ifndef TNX_QWLIBEIGENSTATS_H
#define TNX_QWLIBEIGENSTATS_H

#endif
