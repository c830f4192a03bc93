// Hierarchical cluster analysis of communities or of the types of one hierarchy level from their
// stored resemblance, and of communities from their environmental dissimilarity: the matrix made
// fit for the method, the clustering engine, the report section (fusion directory and the
// partitions at every level), the dendrogram's caption and the partition file of the fusions.
#ifndef TNXCLUST_H
#define TNXCLUST_H

#include <cstdio>
#include <string>

// The objects of whichObj ('c': the rcst types of level whichLevelCst; otherwise the ncsm
// communities of level whichLevelRel) clustered by Cluster2 from rese[level - 1]. Returns the
// dendrogram's caption.
std::string Cluster();

// Clusters the n objects of `matrix` (read in its upper triangle and diagonal; prepared in
// place for the method) by clusMeth (1 single, 2 complete linkage, 3 sums of squares, 4 UPGMA;
// any other code fuses nothing), appends the section to whichPrinda and, when optmain is 'U',
// writes the fusions to whichReClus (whichObj 'r') or whichCstClus. A matrix of correlations or
// of cross products is clustered as similarities, or made squared distances for sums of
// squares; plain distances are squared for sums of squares. Returns the dendrogram's caption.
std::string Cluster2(int n, char** labels, int level, int reseType, double** matrix);

// The section of Cluster2 written to f (the matrix prepared alike); no partition file. Returns
// the caption.
std::string ClusterSection(FILE* f, int n, char** labels, int level, int reseType, double** matrix);

// The communities clustered by clusMeth from the environmental dissimilarity in rese[0] (not
// changed; sums of squares square it), the section appended to whichEnvPrinda. Sets whichObj to
// 'r'. Returns the caption.
std::string EnvCluster();

// The partition file of whichObj ('r': whichReClus, otherwise whichCstClus) from a flat record
// of the n - 1 fusions: each the level, the criterion (method 3 only), the member count and the
// members. One line per fusion: "%g\t" level, "%d\t" count, "%d\t" per member; sums of squares
// in increasing order of level (equal levels keep their order).
void SaveClus(int n, double* records, int method);

#endif
