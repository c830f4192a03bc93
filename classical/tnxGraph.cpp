// Captions of profile, histogram and scatter graphs, with the point labels of the scatters.
#include "classical/tnxGraph.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "classical/TNXORDI.h"
#include "classical/TNXSeries.h"
#include "matrix/qwlib.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/model/TNXCHECK.h"
#include "session/model/TNXGLOB.h"

namespace {

// Point labels hold at most this many characters.
constexpr size_t kPointLabel = 10;
// Label values shown as a class fall in one of this many.
constexpr int kLabelClasses = 9;

std::string Cut(std::string caption) {
    if (caption.size() > kCaptionMax) caption.resize(kCaptionMax);
    return caption;
}

// The label of trait k (0-based) in hierarchy order (trait k itself where the order names none).
const char* TraitInOrder(int k) { return OrderedTraitLabel(k); }

// The labels "%-3s" of the first n traits in hierarchy order.
std::string TraitLabels(int n) {
    std::string s;
    for (int k = 0; k < std::min(n, nch); k++) s += FormatText("%-3s", TraitInOrder(k));
    return s;
}

const char* Fuzzy() { return OptionLabel(fuzzyInfo, fuzzy); }
const char* Partition() { return OptionLabel(partInfo, part - 1); }
const char* Resemblance() { return OptionLabel(rese_optInfo, rese_opt - 1); }
const char* Function() { return OptionLabel(coheInfo, cohe - 1); }
const char* Label(char** labels, int i) { return labels && i >= 0 ? labels[i] : ""; }

// The statistic a profile of `source` shows.
std::string ProfileName(int source) {
    const char* first = Label(reLabel, relPair[0]);
    const char* second = Label(reLabel, relPair[1]);
    switch (source) {
        case 1: return "SEF";
        case 2: return "probability of SEF";
        case 3: return FormatText("nominal resemblances pair %-s, %-s", first, second);
        case 4: return FormatText("partial resemblances pair %-s, %-s", first, second);
        case 5: return FormatText("probabilities nom.rese. pair %-s, %-s", first, second);
        case 6: return "nominal resemblances to adjacent units";
        case 7: return "partial resemblances to adjacent units";
        case 8: return "probabilities of nominal resemblances to adjacent units";
        case 9: return "velocity of community change";
        default: return "SEF environmental";
    }
}

// A value as a point label: as it is, or (how 2) the class of each value among 9 classes.
void ValueLabels(int n, double* values, std::vector<std::string>& labels) {
    std::vector<double> classes(static_cast<size_t>(n));
    if (howEnv == 2) ClassesMV(n, values, classes.data(), kLabelClasses);
    for (int i = 0; i < n; i++) labels[i] = FormatText("%g", howEnv == 2 ? classes[i] : values[i]);
}

// The performance of OTU k in community c, 0 when missing.
double Performance(int k, int c) { return cadat[k][c] == -999.0f ? 0.0 : cadat[k][c]; }

// The two-character code of the chosen state of trait whichChar, or "" without trait codes.
std::string ChosenState() {
    if (!csm || whichChar < 0 || whichChar >= nch || tcst < 1) return "";
    std::vector<char> cells(static_cast<size_t>(tcst) * 3, '\0');
    std::vector<char*> states(static_cast<size_t>(tcst));
    for (int k = 0; k < tcst; k++) states[k] = &cells[k * 3];
    int nStates = 0;
    CountStatesChar(whichChar, tcst, &nStates, csm, states.data());
    const int chosen = whichChState >= 0 && whichChState < nStates ? whichChState : 0;
    return nStates > 0 ? std::string(states[chosen]) : "";
}

// The share of the OTUs in the chosen state of trait whichChar in the performance of each
// community.
void StateWeights(std::vector<double>& weight) {
    const std::string state = ChosenState();
    for (int c = 0; c < ncsm; c++) {
        double inState = 0.0, total = 0.0;
        for (int k = 0; k < tcst; k++) {
            total += Performance(k, c);
            if (!state.empty() && std::strncmp(csm[k] + 2 * whichChar, state.c_str(), 2) == 0)
                inState += Performance(k, c);
        }
        weight[c] = total > 0.0 ? inState / total : 0.0;
    }
}

// The performance of type group g (1-based) in community c.
double GroupPerformance(int g, int c) {
    double sum = 0.0;
    for (int k = 0; k < tcst; k++)
        if (groupCst && groupCst[k] == g) sum += Performance(k, c);
    return sum;
}

// The label of descriptor d (0-based) at the level: a variable label, or the species code of a
// type at a level of species, or the type's number.
std::string DescriptorLabel(int d, int level) {
    if (optmain1 == 'E') return Label(envLabel, d);
    const bool species = level >= 1 && level <= nch && std::strcmp(TraitInOrder(level - 1), "sp") == 0;
    if (species && nSpp > 0 && cstSppMap && d < tcst)
        for (int s = 0; s < nSpp; s++)
            if (cstSppMap[d][s] == '1') return std::string(spp[s], strnlen(spp[s], 4));
    return FormatText("%d", d + 1);
}

// The point labels of the communities by the label kind whichSctLabels.
void CommunityLabels(std::vector<std::string>& labels) {
    std::vector<double> values(static_cast<size_t>(ncsm), 0.0);
    switch (whichSctLabels) {
        case 1:
            for (int c = 0; c < ncsm; c++) labels[c] = reLabel[c];
            return;
        case 2:
            for (int c = 0; c < ncsm; c++)
                labels[c] = groupRel && groupRel[c] >= 1 && groupRel[c] <= nGroups ? grLabel[groupRel[c] - 1] : "";
            return;
        case 3:
            if (whichEnv < 0 || whichEnv >= nenv) return;
            for (int c = 0; c < ncsm; c++) values[c] = env[c][whichEnv];
            ValueLabels(ncsm, values.data(), labels);
            return;
        case 4:
            StateWeights(values);
            ValueLabels(ncsm, values.data(), labels);
            return;
        case 5:
            if (whichCstGr >= 0) {
                for (int c = 0; c < ncsm; c++) values[c] = GroupPerformance(whichCstGr + 1, c);
                ValueLabels(ncsm, values.data(), labels);
                return;
            }
            // Every group: each community shows the group that performs most in it.
            for (int c = 0; c < ncsm; c++) {
                int best = 0;
                double most = -1.0;
                for (int g = 1; g <= nCstGroups; g++)
                    if (GroupPerformance(g, c) > most) {
                        most = GroupPerformance(g, c);
                        best = g;
                    }
                labels[c] = best > 0 ? grCstLabel[best - 1] : "";
            }
            return;
        default:
            return;
    }
}

// The words naming the point labels in the caption.
std::string LabelKind() {
    switch (whichSctLabels) {
        case 2: return "groups communities";
        case 3: return FormatText("%-3s states", Label(envLabel, whichEnv));
        case 4: return FormatText("weights %-3s%-3s", Label(chLabel, whichChar), ChosenState().c_str());
        case 5: return FormatText("C/A PFT group %-3s", whichCstGr >= 0 ? grCstLabel[whichCstGr] : "all");
        case 6: return "community and PFT groups";
        default: return "communities";
    }
}

std::string ScatterCaption() {
    const bool environmental = optmain1 == 'E';
    std::string c = FormatText("Formatted data (%c): %s\r", optmain1, whichFormda);
    c += FormatText("Axes plotted: %d, %d  Labels: %s ", whichAxis[0] + 1, whichAxis[1] + 1, LabelKind().c_str());
    if (whichGrScatter >= 0) c += FormatText(" (community group %s only)", Label(grLabel, whichGrScatter));
    if (plotType == 2)
        c += environmental ? ", biplot with environmental variables (correlations with axes)\r"
                           : ", biplot with PFTs (correlations with axes)\r";
    else
        c += "\r";
    if (connectPtScatterOpt == 1) c += "Connected communities ordered as in data\r";
    if (connectPtScatterOpt == 2) c += "Connected communities ordered within group as in data\r";
    if (environmental) {
        c += FormatText("Resemblance function: %s\r", "Euclidean distance");
        c += FormatText("Vector transformation: %s\r", OptionLabel(vecTrOptInfo, envVecTrOpt));
        return c;
    }
    const bool oneTrait = nch == 1;
    c += oneTrait ? "Level: " : "Levels (starting at the label, ending at the larger square):\r";
    int deepest = 1;
    for (int l = 0; l < nch; l++)
        if (whichLevel && whichLevel[l] == 1) {
            c += FormatText("%-d ", l + 1);
            deepest = l + 1;
        }
    c += oneTrait ? "\rTrait: " : FormatText("\rTraits (cumulative from level %d down):\r", deepest);
    c += TraitLabels(deepest);
    if (whichSctLabels == 6)
        c += "\rScores: from Analysis of Concentration\r";
    else
        c += FormatText("\rResemblance option: %d, %s\r", rese_opt, OptionLabel(rese_typeInfo, reseTypeOrd - 1));
    c += FormatText("Fuzzy: %s  Data partition: %s\r", Fuzzy(), Partition());
    return c;
}

}  // namespace

std::string ProfilePrelim(int n, double* /*values drawn by the graph*/, int source, int scaleFromData, char** labels) {
    const std::string name = ProfileName(source);
    std::string c;
    if (source <= 5) {
        c += FormatText("Levels 1 to %d vs. \r", n);
    } else if (source <= 9) {
        if (SMWSize >= 2)
            c += FormatText("Split moving-window analysis\r%d window locations (split moving-window size = %d units) vs. \r",
                            n, 2 * SMWSize);
        else
            c += FormatText("Communities %s to %s (as a series) vs. \r", Label(labels, n >= 1 ? 0 : -1),
                            Label(labels, n - 1));
    } else {
        c += FormatText("Variables 1 to %d vs. %s\r", n, name.c_str());
        if (source != 10) c += FormatText("Level %d\r", source - 10);
        c += FormatText("SEF: %s\r", OptionLabel(optEnvStructInfo, optEnvStruct - 1));
    }
    if (source < 10) {
        if (sqRoOpt == 1)
            c += FormatText("sq. %s\r", name.c_str());
        else if (sqRoOpt == 2)
            c += "stress function based on \r";
        else
            c += FormatText("%s\r", name.c_str());
        if (source <= 2) c += FormatText("SEF: %s\r", Function());
        if (source > 2 || cohe != 6) {
            c += FormatText("Resemblance option: %s\r", Resemblance());
            c += FormatText("Fuzzy: %s  ", Fuzzy());
        }
        c += FormatText("Data partition: %s\r", Partition());
    }
    if (source == 2 || source == 5 || source == 8) {
        c += FormatText("Reference set option: %s\r", OptionLabel(empir_optInfo, empir_opt - 1));
        if (empir_opt == 1 || empir_opt == 2 || empir_opt == 5) {
            // The dialog keeps 1 for "same as observed", 0 otherwise: the labels are indexed by the
            // value itself, as in the randomisation's report.
            c += FormatText("Richness in random community %s\r", OptionLabel(keepRichnessInfo, keepRichness));
            c += FormatText("Performance in random community %s\r", OptionLabel(keepReleveTotalInfo, keepReleveTotal));
        }
    }
    c += FormatText("Formatted data (%c): %s\r", optmain1, whichFormda);
    if (source <= 5) c += FormatText("Traits (cumulative from level %d down):\r", n) + TraitLabels(n);
    if (source >= 10) {
        c += "Variables (cumulative from left to right):\r";
        for (int k = 0; k < nenv; k++) c += FormatText("%-4s", envLabel[k]);
    }

    if (scaleFromData == 1) {
        const bool pairNotCorrelation = (source == 3 || source == 4) && rese_opt != 5;
        const bool unbounded = source == 2 || (source >= 5 && source <= 9) || cohe == 3 || pairNotCorrelation;
        maxRoFix = unbounded ? FLT_MAX : 1.0f;
        if ((source == 3 || source == 4) && rese_opt == 5 && sqRoOpt == 0)
            minRoFix = -1.0f;
        else if (source == 1 && sqRoOpt == 0)
            minRoFix = -FLT_MAX;
        else
            minRoFix = 0.0f;
    }
    return Cut(c);
}

std::string HistogramPrelim(int nTraits, int level, int nClasses, int* /*counts drawn by the graph*/, double* stats,
                            int kind) {
    std::string name = "SEF";
    if (kind == 3)
        name = FormatText("nominal resemblance of communities %-s and %-s", Label(reLabel, relPair[0]),
                          Label(reLabel, relPair[1]));
    else if (kind == 2)
        name = FormatText("SEF involving groups %-s and %-s", Label(grLabel, relPair[0]), Label(grLabel, relPair[1]));
    std::string c = FormatText("Null frequency distribution of %s\r", name.c_str());
    c += kind >= 3 ? FormatText("Resemblance option: %s\r", Resemblance()) : FormatText("SEF: %s\r", Function());

    const int classes = std::max(nClasses, 0);
    const double observed = stats[classes], probability = stats[classes + 1];
    const double mean = stats[classes + 2], sd = stats[classes + 3];
    c += FormatText("Observed value (X): %.*g  ", sDigits, observed);
    // Small values are the extreme ones for resemblances (other than correlations) and for the
    // divergence of groups.
    const bool lowerTail = (kind >= 3 || cohe == 3) && !(kind == 3 && rese_opt == 5);
    c += lowerTail ? "Probability P(Xo < X): " : "Probability P(Xo >= X): ";
    c += FormatText("%.*g\r", sDigits, probability);
    const double width = classes >= 2 ? stats[1] - stats[0] : 0.0;
    const double low = classes >= 1 ? stats[0] - width : 0.0, high = classes >= 1 ? stats[classes - 1] : 0.0;
    c += FormatText("Range: %.*g to %.*g  ", sDigits, low, sDigits, high);
    c += FormatText("Classes: %d  ", nClasses);
    c += FormatText("Class interval: %.*g\r", sDigits, width);
    c += FormatText("Mean: %.*g  ", sDigits, mean);
    c += FormatText("Standard dev.: %.*g\r", sDigits, sd);
    c += FormatText("Fuzzy: %s  ", Fuzzy());
    c += FormatText("Data partition: %s  ", Partition());
    c += FormatText("Formatted data (%c): %s\r", optmain1, whichFormda);
    c += FormatText("Hierarchical level: %d\r", level);
    c += FormatText("Traits (cumulative from level %d down):\r", nTraits) + TraitLabels(nTraits);
    return Cut(c);
}

ScatterGraph ScatterPrelim(int level, double*** scores) {
    ScatterGraph g;
    g.caption = Cut(ScatterCaption());
    const bool aoc = whichSctLabels == 6;
    const int a0 = whichAxis[0], a1 = whichAxis[1];
    double** axes = scores[aoc ? 0 : level - 1];

    if (aoc) {
        // The groups of the concentration analysis: community groups, then type groups.
        const int nRel = nGroupsP ? nGroupsP[whichPartAOC] : 0, nCst = nGroupsCstP ? nGroupsCstP[whichPartCstAOC] : 0;
        for (int i = 0; i < nRel + nCst; i++) {
            g.labels.push_back(i < nRel ? grLabelP[whichPartAOC][i] : grCstLabelP[whichPartCstAOC][i - nRel]);
            g.x.push_back(axes[a0][i]);
            g.y.push_back(axes[a1][i]);
            g.shown.push_back(true);
        }
    } else {
        g.labels.assign(static_cast<size_t>(ncsm), "");
        CommunityLabels(g.labels);
        for (int c = 0; c < ncsm; c++) {
            g.x.push_back(axes[a0][c]);
            g.y.push_back(axes[a1][c]);
            g.shown.push_back(whichGrScatter < 0 || (groupRel && groupRel[c] == whichGrScatter + 1));
        }
        // The descriptors of a biplot, scaled to the spread of the community scores.
        if (plotType == 2 && ncsm > 0) {
            const auto [min0, max0] = std::minmax_element(g.x.begin(), g.x.end());
            const auto [min1, max1] = std::minmax_element(g.y.begin(), g.y.end());
            const float factor =
                static_cast<float>((*max0 + std::fabs(*min0) + *max1 + std::fabs(*min1)) / 4.0);
            int descriptors = nenv;
            if (optmain1 != 'E') {
                descriptors = 0;
                for (int l = 0; l < nch; l++) descriptors = std::max(descriptors, rcst ? rcst[l] : 0);
            }
            for (int d = 0; d < descriptors; d++) {
                const double r0 = axes[a0][ncsm + d], r1 = axes[a1][ncsm + d];
                const bool strong = std::fabs(r0) > biplotCorrThreshold || std::fabs(r1) > biplotCorrThreshold;
                g.labels.push_back(DescriptorLabel(d, level));
                g.x.push_back(strong ? r0 * factor : DBL_MAX);
                g.y.push_back(strong ? r1 * factor : DBL_MAX);
                g.shown.push_back(strong);
            }
        }
        // Consecutive shown communities are joined, within their group for connection 2.
        for (int c = 0; c < ncsm && connectPtScatterOpt >= 1; c++) {
            if (!g.shown[c]) continue;
            for (int next = c + 1; next < ncsm; next++) {
                if (!g.shown[next]) continue;
                if (connectPtScatterOpt == 2 && (!groupRel || groupRel[next] != groupRel[c])) continue;
                g.connections.push_back({c, next});
                break;
            }
        }
    }
    for (std::string& label : g.labels)
        if (label.size() > kPointLabel) label.resize(kPointLabel);
    return g;
}
