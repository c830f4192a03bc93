// Mutual information, contingency tables and nominal resemblances.
#ifndef TNX_QWLIBRESINFO_H
#define TNX_QWLIBRESINFO_H

#endif
