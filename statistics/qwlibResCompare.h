// Matrix comparison: matrix correlation, RV coefficient, Procrustes.
#ifndef TNX_QWLIBRESCOMPARE_H
#define TNX_QWLIBRESCOMPARE_H

#endif
