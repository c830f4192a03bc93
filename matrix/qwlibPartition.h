// Partitions from a dendrogram: cuts into k groups, renumbering of labels, tree text, classes
// of identical objects (qwlibPartition.cpp).
//
// The cuts read the n - 1 fusion records of a clustering (clusterReport, qwlibCluster.h):
// only level, nMembers and members. A record applied to a labelling gives every member after
// the first the label of the first member; applied in fusion order this keeps one label per
// current group.
// k outside 1..n is taken as the nearest of 1 and n. Labels are renumbered 1..k in the
// ascending order of the values they carried.
#ifndef TNX_QWLIBPARTITION_H
#define TNX_QWLIBPARTITION_H

struct clusterReport;

// Labels of the k-group partition. With method 3 (sums of squares) and n >= 3 the records are
// first put in ascending order of level (exchange sort on a copy, strict comparison, so equal
// levels keep their order); other methods keep the fusion order. A record with at least two
// members lowers the group count by one; the walk stops when k groups are left.
void GetClusterPartitionNew(int n, int k, int* labels, clusterReport* rep, int method);
// The same in fusion order for every method.
void GetClusterPartition(int n, int k, int* labels, clusterReport* rep);
// As GetClusterPartitionNew; *level = the level of the last fusion applied (0 for k = n; for
// k = 1 the level of the last record of the walk).
void GetClusterPartitionLevel(int n, int k, int* labels, double* level, clusterReport* rep,
                              int method);
// The k-group labels (fusion order) and the two groups that fuse next: which[0] = their label
// among k - 1 groups, which[1] = the label among k groups of the first object whose labels
// differ. Not written when no further fusion changes the labels (k = 1).
void GetClusterPartitionWhich(int n, int k, int* labels, int* which, clusterReport* rep);

// Renumbers labels in place: for L = 1..k, while no object carries L every label above L is
// lowered by one. The k smallest distinct labels >= 1 become 1..k, larger ones drop by the same
// gaps; with fewer than k such labels it stops at the last one present. Labels below 1 stay.
void RenamePartitionLabels(int n, int k, int* labels);

// Classes of identical objects: j joins i (i < j) when rese[i][j] is exactly 0 (isDistance) or
// exactly 1 (similarity). labels 1..*nGroups in the order of each class's first object.
void ClusterIdenticals(int n, float** rese, int* labels, int* nGroups, bool isDistance);
void ClusterIdenticals(int n, double** rese, int* labels, int* nGroups, bool isDistance);

// out (k x k, diagonal and upper triangle) = the resemblance among the representatives of the
// labels 1..k, the representative being the first object of the label (object 0 for a label no
// object carries). in is read in its upper triangle and diagonal only.
void TrimRese(int n, int k, int* labels, float** in, float** out);
void TrimRese(int n, int k, int* labels, double** in, double** out);

// Appends the Newick text of the dendrogram to out (the caller sizes it): each record is
// (first,second) of its two groups, with withLengths ":%g" after each with the record's
// branchFirst and branchSecond; the root has no length and the text ends with ";". A name
// holding a blank or one of ( ) , : ; ' [ ] is put in single quotes, a quote doubled. names[i]
// names object i + 1. The third and fifth arguments are not read.
void NewickFormat(int n, clusterReport* rep, int, char** names, bool, char* out, bool withLengths);

#endif
