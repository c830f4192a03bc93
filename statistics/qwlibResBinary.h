// Binary (presence/absence) coefficients.
#ifndef TNX_QWLIBRESBINARY_H
#define TNX_QWLIBRESBINARY_H

#endif
