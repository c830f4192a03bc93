// Linear regression, residuals and redundancy analysis.
#ifndef TNX_QWLINEARMODELS_H
#define TNX_QWLINEARMODELS_H

#endif
