// Rao quadratic entropy and the diversity of vectors.
#ifndef TNX_QWLIBRESRAO_H
#define TNX_QWLIBRESRAO_H

#endif
