// The ordination engine and conversions between resemblance matrices.
#ifndef TNX_QWLIBORDINATION_H
#define TNX_QWLIBORDINATION_H

#endif
