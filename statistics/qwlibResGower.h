// Gower and Legendre-Chodorowski similarity.
#ifndef TNX_QWLIBRESGOWER_H
#define TNX_QWLIBRESGOWER_H

#endif
