// Group test statistics, response curves, nearest-neighbour resemblance and partial
// correlation.
#ifndef TNX_QWLIBGROUPSTATS_H
#define TNX_QWLIBGROUPSTATS_H

#endif
