// The hierarchical clustering engine and its fusion records.
#ifndef TNX_QWLIBCLUSTER_H
#define TNX_QWLIBCLUSTER_H

#endif
