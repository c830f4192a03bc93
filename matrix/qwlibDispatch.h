// The resemblance dispatcher and the library front-ends.
#ifndef TNX_QWLIBDISPATCH_H
#define TNX_QWLIBDISPATCH_H

#endif
