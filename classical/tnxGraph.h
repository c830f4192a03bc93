// Captions of the graphs of the classical analyses: profiles of a statistic over levels,
// communities or variables, null frequency distributions of randomisation tests, and ordination
// scatters with their point labels. A caption is one text of at most kCaptionMax characters whose
// lines end with a carriage return; nothing is drawn.
#ifndef TNXGRAPH_H
#define TNXGRAPH_H

#include <string>
#include <utility>
#include <vector>

constexpr size_t kCaptionMax = 500;

// The caption of a profile of n values of `source`: 1 evaluation function (SEF), 2 its
// probability, 3-5 nominal, partial resemblances or probabilities of one pair of communities
// (relPair) over the levels, 6-8 the same to adjacent units, 9 velocity of community change,
// 10 and above the environmental function of level source - 10. labels are the community labels
// (the first and the n-th name the series of sources 6-9). With scaleFromData 1 the vertical
// bounds minRoFix and maxRoFix are preset for the source.
std::string ProfilePrelim(int n, double* values, int source, int scaleFromData, char** labels);

// The caption of a null frequency distribution of nClasses classes: stats holds the upper class
// limits, then the observed value, its probability, the mean and the standard deviation. kind 3:
// nominal resemblance of the pair of communities relPair; 2: the evaluation function of the pair
// of groups relPair; 1: the evaluation function. The first nTraits traits in hierarchy order are
// listed.
std::string HistogramPrelim(int nTraits, int level, int nClasses, int* counts, double* stats, int kind);

// An ordination scatter: the caption, and for every point its label (at most 10 characters),
// its coordinates on the two plotted axes (whichAxis), whether it is shown, and the segments
// joining the points.
struct ScatterGraph {
    std::string caption;
    std::vector<std::string> labels;
    std::vector<double> x, y;
    std::vector<bool> shown;
    std::vector<std::pair<int, int>> connections;
};

// scores[level - 1][axis][point]: the communities, then the descriptors (the stored correlations
// of the types, or of the environmental variables from the environmental menu, optmain1 'E').
// With point labels of kind 6 the points are the community groups and then the type groups of
// the concentration analysis (scores[0]). Biplots (plotType 2) place the descriptors whose
// absolute correlation with a plotted axis exceeds biplotCorrThreshold at their correlations
// times (max1 + |min1| + max2 + |min2|) / 4 of the community scores; the others lie at the
// largest double and are not shown.
ScatterGraph ScatterPrelim(int level, double*** scores);

#endif
