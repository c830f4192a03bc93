// Beals smoothing and conditional probabilities.
#ifndef TNX_QWLIBRESBEALS_H
#define TNX_QWLIBRESBEALS_H

#endif
