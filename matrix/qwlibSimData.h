// Simulated data with a prescribed correlation or eigenvalue structure.
#ifndef TNX_QWLIBSIMDATA_H
#define TNX_QWLIBSIMDATA_H

#endif
