// Quantitative distance coefficients.
#ifndef TNX_QWLIBRESDISTANCE_H
#define TNX_QWLIBRESDISTANCE_H

#endif
