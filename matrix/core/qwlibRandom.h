// The shared random generator, eigen-analysis, singular value decomposition and matrix
// products.
#ifndef TNX_QWLIBRANDOM_H
#define TNX_QWLIBRANDOM_H

#endif
