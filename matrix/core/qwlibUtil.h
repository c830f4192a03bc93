// Matrix and vector utilities: products, transposes, copies, conversions between
// resemblance forms, row totals.
#ifndef TNX_QWLIBUTIL_H
#define TNX_QWLIBUTIL_H

#endif
