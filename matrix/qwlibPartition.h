// Partitions from a dendrogram: cuts, renumbering, tree text, identical objects.
#ifndef TNX_QWLIBPARTITION_H
#define TNX_QWLIBPARTITION_H

#endif
