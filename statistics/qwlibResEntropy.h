// Entropy, coherence and mutual entropy of contingency tables.
#ifndef TNX_QWLIBRESENTROPY_H
#define TNX_QWLIBRESENTROPY_H

#endif
