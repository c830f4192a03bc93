// The block form of the formatted data file (2011): the record tarnexInput that the 2011
// import fills, its writer and its reader. Nothing loads this form into a session.
//
// The file: "07Jul2011", the number of OTUs, then five blocks in the order traits, phylogeny,
// communities, species, environment, each introduced by "\n%d\n" with its presence flag and,
// when present, its source file name on a line of its own followed by
//   traits:       the number of traits, their labels, their types, B (OTUs x traits);
//   phylogeny:    the similarities (OTUs x OTUs);
//   communities:  the number of communities, their labels, W (OTUs x communities);
//   species:      the numbers of species and of communities, the names one a line, the
//                 species-community map (species rows of '0'/'1'), the OTU-species map;
//   environment:  the numbers of communities and of variables, the kind of E, the types and
//                 labels of the variables, E (communities x variables).
#ifndef TNXIFFM2OLD_H
#define TNXIFFM2OLD_H

// The blocks and their presence flags, and the dimensions.
enum TarnexBlock { kBlockTraits = 0, kBlockPhylogeny = 1, kBlockSpecies = 2, kBlockEnvironment = 3, kBlockCommunities = 4 };
enum TarnexDim { kDimOtus = 0, kDimTraits = 1, kDimCommunities = 2, kDimSpecies = 3, kDimVariables = 4 };

const int kTarnexTextSize = 1024;

// A data set of the 2011 import. The record owns its arrays (FreeTarnexInput releases them);
// an absent block leaves its arrays null.
struct tarnexInput {
    char title[kTarnexTextSize];           // the name of the file written and read
    int has[5];                            // presence flags, indexed by TarnexBlock
    char source[5][kTarnexTextSize];       // source file of each block, indexed by TarnexBlock
    int dims[5];                           // indexed by TarnexDim
    float** B;                             // [OTUs][traits]
    float** W;                             // [OTUs][communities]
    float** E;                             // [communities][variables]
    double** phylogeny;                    // [OTUs][OTUs], similarities
    char** spp;                            // [species][kSpeciesNameSize]
    char** chLabel;                        // [traits][kLabelSize]
    char** reLabel;                        // [communities][kLabelSize], with W
    char** envLabel;                       // [variables][kLabelSize]
    int* chtype;                           // [traits]
    int* envVarType;                       // [variables]
    int optEnvVarType;                     // kind of E
    char** sppRelMap;                      // [species][communities] '0'/'1'
    char** cstSppMap;                      // [OTUs][species] '0'/'1'
};

// An empty record (no block, no array) with the given title.
void InitTarnexInput(tarnexInput* t, const char* title);
// Releases the arrays of the record and marks every block absent (the title stays).
void FreeTarnexInput(tarnexInput* t);

// Writes volumeName + t->title, whole or not at all (code 4 when it cannot be created, 3 for
// a failed write).
void WriteFormda(tarnexInput* t);
// Reads volumeName + t->title into the record (its arrays released first): code 4 when it
// cannot be opened, code 2 for a missing or unusable item, a count the file cannot hold or a
// count that disagrees with an earlier block; the record is left as it was then. The flag is
// kept for the callers' form; the whole file is always read.
void OpenFormda(tarnexInput* t, int fullRead);

#endif
