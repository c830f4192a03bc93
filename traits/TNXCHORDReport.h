// The pieces of the trait-subset reports that several criteria share, and the checks each
// criterion makes on the data before it opens a file.
#ifndef TNXCHORDREPORT_H
#define TNXCHORDREPORT_H

#include <cstdio>
#include <string>
#include <vector>

#include "traits/TNXCHORD.h"
#include "traits/TNXCHORDSearch.h"

namespace chrank {

// What a criterion needs of the data set.
struct Needs {
    bool environment = false;
    bool phylogeny = false;
    bool types = false;         // a partition of the OTUs into at least 2 types
    bool noNominal = false;     // rests on community trait averages
    bool completeEnvironment = false;  // Procrustes or RV on E: no missing value
};

// Prints why the data cannot be used and returns false, or returns true. Fills the eligible
// traits (0-based numbers of the traits of weight above 0) and the number of types.
bool CheckData(const Needs& needs, std::vector<int>* eligible, int* nTypes);

// The trait labels of a list as "%-2s\t".
void PrintLabels(FILE* f, const std::vector<int>& traits);
// Version, rules, title, time stamp, session and data lines.
void WriteOpening(FILE* f);
// "Ranking algorithm: ..." and the other one-line options.
const char* RankingAlgorithmLabel();

// How the per-size lines and the lists read.
struct SizeStyle {
    const char* prefix;      // printf format with %d for the size, ending in "\t"
    bool groups;             // "%d groups\t" after the value
    bool noneOnZero;         // "none" in place of the labels when the value is exactly 0
};

// The per-size line of size k: prefix, value as "%-*.*g\t", optional groups, labels (or
// "none"); a size of which no subset was evaluated prints the prefix and "none", a size whose
// value the data do not define -999 and "none".
void WriteSizeLine(FILE* f, const SizeStyle& style, int k, const SizeRecord& r);
// The per-size list after the top list: "%-13.*g\t" and the labels (or "none", also after -999).
void WriteSizeList(FILE* f, const SizeStyle& style, const std::vector<SizeRecord>& sizes, int kMin, int kMax);
// Top-list slots from the best down to slot 1; skipEmpty leaves out slots never filled, else
// they print their start value with 0 groups. groups adds "%d groups\t" after the value.
void WriteTopList(FILE* f, const TopList& top, bool groups, bool skipEmpty);

// The summary that heads a result file once the search has ended: for each size kMin..kMax a
// line of the best subset's labels ("%-2s\t"; "none" for a size never filled or whose value is
// -999), then one line of the sizes' numbers of types ("%-5d\t") and one of their values
// ("%-13.*g\t", or "none").
std::string SizeSummary(const std::vector<SizeRecord>& sizes, int kMin, int kMax);

// Result of a search that wrote its files (or could not).
ChRankStatus Finish(WholeFile& result, WholeFile* structure, const std::string& prefix = std::string());

// B with the columns of traits of weight 0 or less set to 0.
float** SelectedTraitMatrix(int s, int p);

}  // namespace chrank

#endif
