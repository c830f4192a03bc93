// Group partitions of communities and of OTUs (types).
//
// A partition gives each object one of a few labelled groups (labels of at most 4
// characters). The session stores up to kMaxPartitions partitions of each kind (TNXGLOB.h)
// and keeps them in its track file. SettingAnyGroups is the dialog that defines one
// partition; GetPartition cuts a stored cluster record into one; the menus list, select,
// show, modify and create the stored partitions and then rewrite the track file.
//
// The track file belongs to the session, above this layer: the menus rewrite it through
// partitionTrackWriter, which the session installs at start-up (null: nothing is written).
#ifndef TNXPART_H
#define TNXPART_H

// Writes the track file (argument 1: the whole analysis state); installed by the session.
extern int (*partitionTrackWriter)(char full);

// The dialog "SET GROUP PARTITION" for n objects; `what` names them ("communities", or
// "CSTs" for OTUs and types). Out: the number of groups (1..n), the 1-based group of each
// object and the k group labels (room for 5 bytes each). Every group gets at least one member
// and the labels are distinct; answers that break this are asked again. With no object at all
// it says so, sets *nGroups to 0 and leaves. When the session holds a cluster record of these
// objects the partition may be cut from it (GetPartition).
void SettingAnyGroups(int n, int* nGroups, int* groups, char** labels, const char* what);

// Cuts the cluster record at k groups: which 'r' reads the communities' record whichReClus,
// any other letter the types' record whichCstClus. Each line of a record is one fusion step:
// its level, its member count m and the m 1-based object numbers of the group it forms. The
// objects start in groups of their own (object i in group i); at each step of two or more
// members every listed object joins the group of the first listed object's number, until k
// groups remain; the groups are then numbered 1..k in the order of their numbers. A record
// that cannot be opened raises code 4; one with an object number outside 1..n, an unreadable
// item, or that ends before only k groups remain raises code 2 after "\nfile %s ".
void GetPartition(int n, int k, int* groups, char which);

// The community-partition menu: list, select (s), see (r), modify (m), create (n, only while
// fewer than kMaxPartitions are stored), leave unchanged (x). Rewrites the track file on
// leaving.
void IFGroupMembership();

// The same menu for the OTU partitions; each belongs to a hierarchy level and has as many
// members as that level has types (rcst, kept within the OTU count).
void IFGroupCstMembershipNEW();

// The older OTU-partition dialog: shows the current OTU partition and, on y, sets it again
// (level and groups); the stored level of the current slot follows. Rewrites the track file
// after a change.
void IFGroupCstMembership();

#endif
