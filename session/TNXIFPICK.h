// A new session's data from the formatted data of another session, modified: chosen traits,
// OTUs, communities and environmental variables, absent OTUs optionally dropped, and the
// communities optionally turned into group means, changes between paired communities, or
// means over a moving window along a series.
#ifndef TNXIFPICK_H
#define TNXIFPICK_H

// The dialog "GETTING DATA FROM ANOTHER SESSION". whichFormda names the other session's
// formatted data file and tempSession that session's name (its track file, when there is one,
// lends its stored partitions and cluster records to the dialog). The other data set is
// loaded and checked before anything is written; on return the new data set is written as
// sessionName + "Formda.txt", which whichFormda then names, and it stays loaded.
//
// Missing values (-999) enter no mean, change or window: a mean is over the present values
// (-999 when none is present) and a change is -999 when either value is missing. The
// phylogeny and the trait groups follow the chosen OTUs and traits; the variable types and the
// kind of E are derived again after pooling, change or windows; the states of the traits, the
// OTUs per community, the empty communities and the species maps are recounted for what is
// written.
void PickSomeFormda();

// The earlier form of the dialog: "population" in its texts, the question "Pool identical
// populations for the traits? y/n " in place of the trimming (y pools the populations whose
// traits are identical, after the checks of PoolIdenticalTraits_OLD), and the older writer
// WriteFormda_OLD, which refuses a trait value that has no two-character code (code 5).
void PickSomeFormda_OLD();

// The pairing dialog of the change between communities: *nUnits = n / 2; unitOf[c] = the
// 1-based unit of community c (0 for a last community left without a pair); labels[u] the
// label of unit u (room for 5 bytes each; default "1", "2", ...; labels typed are whole words
// cut to 4 characters, and a label given twice is refused).
void SettingNewReleves(int n, int* nUnits, int* unitOf, char** labels);

#endif
