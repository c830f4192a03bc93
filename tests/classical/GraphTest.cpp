// Captions of profile, histogram and scatter graphs, each against its text for hand-set options;
// the preset profile bounds, the tail a histogram names, the points of a scatter.
#include <array>
#include <cfloat>

#include "classical/tnxGraph.h"
#include "series_fixture.h"

using namespace tnxtest;

namespace {

class GraphTest : public SeriesTest {
protected:
    void SetUp() override {
        SeriesTest::SetUp();
        std::strcpy(whichFormda, "s1Formda.txt");
        nchor[0] = 2, nchor[1] = 1, nchor[2] = 3;  // hierarchy order tr2 tr1 tr3
        relPair[0] = 0, relPair[1] = 2;
        cohe = part = 1;
        fuzzy = 0;
        rese_opt = 5;
        SMWSize = 1;
    }
};

const std::string kData = "Formatted data (V): s1Formda.txt\r";

TEST_F(GraphTest, ProfileCaptions) {
    const struct {
        int source, n, sq, smw, cohe, fuzzy;
        std::string caption;
    } cases[] = {
        {3, 2, 1, 1, 1, 0,
         "Levels 1 to 2 vs. \rsq. nominal resemblances pair c1, c3\rResemblance option: 5 (correlation coefficient)\r"
         "Fuzzy: none (crisp)  Data partition: mixed\r" + kData + "Traits (cumulative from level 2 down):\rtr2tr1"},
        {7, 3, 2, 2, 1, 3,
         "Split moving-window analysis\r3 window locations (split moving-window size = 4 units) vs. \r"
         "stress function based on \rResemblance option: 5 (correlation coefficient)\r"
         "Fuzzy: fuzzy (fuzzy belonging of OTUs to types)  Data partition: mixed\r" + kData},
        // cohe 6: no resemblance option; null model 2: richness and performance of the random communities
        // as its dialog keeps them (richness 0: may be less; total 1: the observed one).
        {2, 1, 0, 1, 6, 0,
         "Levels 1 to 1 vs. \rprobability of SEF\rSEF: 6 (sharpness of information structure)\rData partition: mixed\r"
         "Reference set option: 2 (random taxon hypothesis)\rRichness in random community \xE2\x89\xA4 richness in "
         "observed community\rPerformance in random community = total in observed community\r" + kData +
             "Traits (cumulative from level 1 down):\rtr2"},
        {10, 2, 0, 1, 1, 0,
         "Variables 1 to 2 vs. SEF environmental\rSEF: 2 (congruence environmental resemblance/community "
         "resemblance)\r" + kData + "Variables (cumulative from left to right):\re1  e2  "},
        {12, 2, 0, 1, 1, 0,
         "Variables 1 to 2 vs. SEF environmental\rLevel 2\rSEF: 2 (congruence environmental resemblance/community "
         "resemblance)\r" + kData + "Variables (cumulative from left to right):\re1  e2  "},
    };
    empir_opt = 2, keepRichness = 0, keepReleveTotal = 1, optEnvStruct = 2;
    for (const auto& c : cases) {
        std::tie(sqRoOpt, SMWSize, cohe, fuzzy) = std::tie(c.sq, c.smw, c.cohe, c.fuzzy);
        EXPECT_EQ(ProfilePrelim(c.n, nullptr, c.source, 0, reLabel), c.caption) << c.source;
    }
}

// An order that names no trait at a place (0 in a track that never set one, or past the traits)
// lists the trait of that place itself.
TEST_F(GraphTest, OrderNamingNoTraitListsTheTraitOfThePlace) {
    nchor[0] = 0, nchor[1] = 4, nchor[2] = 1;
    sqRoOpt = 0;
    const std::string c = ProfilePrelim(3, nullptr, 3, 0, reLabel);
    EXPECT_EQ(c.substr(c.rfind('\r') + 1), "tr1tr2tr1");
}

// Bounds preset from the data: correlations of a pair run from -1 to 1; other resemblances, the
// probabilities, the adjacent units and the divergence of groups are unbounded above; the
// evaluation function unsquared is unbounded below.
TEST_F(GraphTest, ProfileBoundsFromTheData) {
    const struct {
        int source, rese, cohe, sq;
        float min, max;
    } cases[] = {
        {3, 5, 1, 0, -1, 1},    {4, 5, 1, 1, 0, 1},       {3, 6, 1, 0, 0, FLT_MAX},        {1, 6, 1, 0, -FLT_MAX, 1},
        {1, 6, 1, 1, 0, 1},     {2, 6, 1, 0, 0, FLT_MAX}, {1, 6, 3, 0, -FLT_MAX, FLT_MAX}, {9, 5, 1, 0, 0, FLT_MAX},
        {5, 5, 1, 0, 0, FLT_MAX}, {10, 6, 1, 0, 0, 1},
    };
    for (const auto& c : cases) {
        std::tie(rese_opt, cohe, sqRoOpt) = std::tie(c.rese, c.cohe, c.sq);
        minRoFix = maxRoFix = 7;
        ProfilePrelim(4, nullptr, c.source, 1, reLabel);
        EXPECT_EQ((Floats{minRoFix, maxRoFix}), (Floats{c.min, c.max})) << c.source << c.rese << c.cohe << c.sq;
    }
    minRoFix = 7;
    ProfilePrelim(4, nullptr, 3, 0, reLabel);
    EXPECT_EQ(minRoFix, 7.0f);  // not preset
}

// Limits 1 3 5 (class width 2), observed 4.5, P 0.25, mean 3, sd 1.25; the tail by kind and option.
TEST_F(GraphTest, HistogramCaptions) {
    double stats[7] = {1, 3, 5, 4.5, 0.25, 3, 1.25};
    const std::string tail = "Range: -1 to 5  Classes: 3  Class interval: 2\rMean: 3  Standard dev.: 1.25\r"
                             "Fuzzy: none (crisp)  Data partition: mixed  " + kData +
                             "Hierarchical level: 1\rTraits (cumulative from level 2 down):\rtr2tr1";
    EXPECT_EQ(HistogramPrelim(2, 1, 3, nullptr, stats, 3),
              "Null frequency distribution of nominal resemblance of communities c1 and c3\r"
              "Resemblance option: 5 (correlation coefficient)\rObserved value (X): 4.5  Probability P(Xo >= X): 0.25\r" +
                  tail);
    const struct {
        int kind, cohe, rese;
        std::string head;
    } cases[] = {
        {1, 3, 5, "Null frequency distribution of SEF\rSEF: 3 (divergence community groups)\r"
                  "Observed value (X): 4.5  Probability P(Xo < X): "},
        {3, 1, 6, "Null frequency distribution of nominal resemblance of communities c1 and c2\r"
                  "Resemblance option: 6 (Euclidean distance)\rObserved value (X): 4.5  Probability P(Xo < X): "},
        {2, 1, 6, "Null frequency distribution of SEF involving groups g1 and g2\r"
                  "SEF: 1 (congruence community/environmental resemblance)\r"
                  "Observed value (X): 4.5  Probability P(Xo >= X): "},
    };
    nGroups = 2;
    relPair[0] = 0, relPair[1] = 1;
    std::strcpy(grLabel[0], "g1");
    std::strcpy(grLabel[1], "g2");
    for (const auto& c : cases) {
        std::tie(cohe, rese_opt) = std::tie(c.cohe, c.rese);
        EXPECT_EQ(HistogramPrelim(2, 1, 3, nullptr, stats, c.kind).substr(0, c.head.size()), c.head) << c.kind;
    }
}

// Source 5 (probabilities of a pair) runs over the levels; its reference set names the richness and
// performance of the random communities under null models 1, 2 and 5, not under 3 or 4.
TEST_F(GraphTest, ProbabilitiesOfAPairOverTheLevels) {
    sqRoOpt = 0, keepRichness = keepReleveTotal = 1;
    for (const auto& [model, random] : {std::make_pair(1, true), {3, false}, {4, false}, {5, true}}) {
        empir_opt = model;
        const std::string c = ProfilePrelim(2, nullptr, 5, 0, reLabel);
        EXPECT_EQ(c.substr(0, 19), "Levels 1 to 2 vs. \r");
        EXPECT_EQ(c.find("Richness in random community") != std::string::npos, random) << model;
    }
}

// The caption names what the random communities keep as the dialog stores it (1: as observed, 0:
// may be less, or variable), with the texts of the randomisation's report.
TEST_F(GraphTest, TheReferenceSetNamesWhatTheRandomCommunitiesKeep) {
    sqRoOpt = 0, empir_opt = 1;
    const struct {
        int richness, total;
        const char* lines;
    } cases[] = {
        {1, 1, "Richness in random community = richness in observed community\r"
               "Performance in random community = total in observed community\r"},
        {0, 1, "Richness in random community \xE2\x89\xA4 richness in observed community\r"
               "Performance in random community = total in observed community\r"},
        {1, 0, "Richness in random community = richness in observed community\r"
               "Performance in random community variable\r"},
        {0, 0, "Richness in random community \xE2\x89\xA4 richness in observed community\r"
               "Performance in random community variable\r"},
    };
    for (const auto& c : cases) {
        keepRichness = c.richness, keepReleveTotal = c.total;
        const std::string caption = ProfilePrelim(2, nullptr, 5, 0, reLabel);
        EXPECT_NE(caption.find(std::string("(random composition hypothesis)\r") + c.lines), std::string::npos)
            << c.richness << " " << c.total << "\n" << caption;
    }
}

// The class limits come first in stats, then the observed value, its probability, the mean and
// the standard deviation. Two classes have an interval (1 to 3: width 2, the range starting one
// width below the first limit); one class has none, its range its one limit; without classes the
// range and the interval are 0. A correlation's extreme values are the large ones.
TEST_F(GraphTest, HistogramRangeByTheNumberOfClasses) {
    const struct {
        int classes;
        std::vector<double> stats;
        const char* line;
    } cases[] = {
        {2, {1, 3, 2, 0.5, 2, 1}, "Observed value (X): 2  Probability P(Xo >= X): 0.5\r"
         "Range: -1 to 3  Classes: 2  Class interval: 2\rMean: 2  Standard dev.: 1\r"},
        {1, {5, 7, 0.25, 6, 2}, "Observed value (X): 7  Probability P(Xo >= X): 0.25\r"
         "Range: 5 to 5  Classes: 1  Class interval: 0\rMean: 6  Standard dev.: 2\r"},
        {0, {7, 0.25, 6, 2}, "Observed value (X): 7  Probability P(Xo >= X): 0.25\r"
         "Range: 0 to 0  Classes: 0  Class interval: 0\rMean: 6  Standard dev.: 2\r"},
    };
    for (const auto& c : cases) {
        std::vector<double> stats = c.stats;
        const std::string caption = HistogramPrelim(2, 1, c.classes, nullptr, stats.data(), 3);
        EXPECT_NE(caption.find(c.line), std::string::npos) << c.classes << "\n" << caption;
    }
}

// The points of a concentration analysis are its community groups, then its type groups, each once.
TEST_F(GraphTest, ScatterOfConcentrationGroups) {
    double a0[3] = {1, 2, 3}, a1[3] = {-1, -2, -3};
    double* axes[2] = {a0, a1};
    double** levels[1] = {axes};
    whichAxis[0] = 0, whichAxis[1] = 1, whichSctLabels = 6, whichPartAOC = whichPartCstAOC = 0;
    nGroupsP[0] = 2, nGroupsCstP[0] = 1;
    std::strcpy(grLabelP[0][0], "g1"), std::strcpy(grLabelP[0][1], "g2"), std::strcpy(grCstLabelP[0][0], "A");
    const ScatterGraph g = ScatterPrelim(1, levels);
    EXPECT_EQ(g.labels, (Strings{"g1", "g2", "A"}));
    EXPECT_EQ(g.y, (std::vector<double>{-1, -2, -3}));
}

// Community scores on axes 1 and 3: (1, .5), (-2, 1), (3, -1), (0, 2); the biplot factor is
// (3 + 2 + 2 + 1) / 4 = 2; type 1 correlates 0.9 with axis 1 (shown at 1.8, 0.4), type 2 at most
// 0.5, the threshold (hidden). Labels by groups g1 g1 g2 g2, joined within groups; at a level of
// species (trait "sp"), type 1 is named by its species (first 4 characters), type 2 by its number.
TEST_F(GraphTest, ScatterOfCommunitiesWithTypes) {
    double a0[6] = {1, -2, 3, 0, 0.9, 0.5}, a1[6] = {}, a2[6] = {0.5, 1, -1, 2, 0.2, -0.3};
    double* axes[3] = {a0, a1, a2};
    double** levels[1] = {axes};
    int plotted[3] = {1, 0, 1};
    free1D(whichLevel);  // the levels an earlier scattergram dialog chose, in the same process
    whichLevel = plotted;
    whichAxis[0] = 0, whichAxis[1] = 2;
    whichSctLabels = 2, plotType = 2, connectPtScatterOpt = 2, whichGrScatter = -1;
    rese_opt = 6, reseTypeOrd = 1, biplotCorrThreshold = 0.5f;
    rcst[0] = 2, rcst[1] = 1, rcst[2] = 2;
    nGroups = 2;
    const int groups[4] = {1, 1, 2, 2};
    std::copy(groups, groups + 4, groupRel);
    std::strcpy(grLabel[0], "g1");
    std::strcpy(grLabel[1], "g2");
    std::strcpy(chLabel[1], "sp");
    nSpp = 2, spp = dim2Dchar(2, kSpeciesNameSize), cstSppMap = dim2Dchar(tcst, 2);
    std::strcpy(spp[1], "Quercus ilex");
    cstSppMap[0][1] = '1';
    const ScatterGraph g = ScatterPrelim(1, levels);
    whichLevel = nullptr;
    EXPECT_EQ(g.caption, kData + "Axes plotted: 1, 3  Labels: groups communities , biplot with PFTs (correlations "
                                 "with axes)\rConnected communities ordered within group as in data\r"
                                 "Levels (starting at the label, ending at the larger square):\r1 3 \r"
                                 "Traits (cumulative from level 3 down):\rsp tr1tr3\r"
                                 "Resemblance option: 6, nominal resemblances\rFuzzy: none (crisp)  Data partition: mixed\r");
    EXPECT_EQ(g.labels, (Strings{"g1", "g1", "g2", "g2", "Quer", "2"}));
    EXPECT_EQ(g.x, (std::vector<double>{1, -2, 3, 0, 1.8, DBL_MAX}));
    EXPECT_EQ(g.y, (std::vector<double>{0.5, 1, -1, 2, 0.4, DBL_MAX}));
    EXPECT_EQ(g.shown, (std::vector<bool>{true, true, true, true, true, false}));
    EXPECT_EQ(g.connections, (std::vector<std::pair<int, int>>{{0, 1}, {2, 3}}));
}

// Point labels from the environmental menu, only group g1 shown, all communities joined. W holds
// OTUs 1..5 in c1 {1,3,5}, c2 {2,3,5}, c3 {1,4,5}, c4 {2,4,5}, each 1. Values of e2 (4 3 2 1) and
// their classes among 9 (1 -> 1, 4 -> 9, 3 -> ceil(2 * 9 / 3) = 6, 2 -> 3); share of the OTUs of
// tr1 state "01" (OTU 1): 1/3 in c1 and c3; performance of type group A = OTUs {1, 4, 5}, and
// the group that performs most (B = {2, 3} in c2; A, the first, in the emptied c4).
TEST_F(GraphTest, ScatterPointLabels) {
    double a0[4] = {1, 2, 3, 4}, a1[4] = {4, 3, 2, 1};
    double* axes[2] = {a0, a1};
    double** levels[1] = {axes};
    optmain1 = 'E';
    whichAxis[0] = 0, whichAxis[1] = 1;
    whichEnv = 1, plotType = 1, connectPtScatterOpt = 1, whichGrScatter = 0, envVecTrOpt = 4;
    whichChar = 0, whichChState = 0, nGroups = nCstGroups = 2;
    const int groups[4] = {1, 2, 1, 2}, typeGroups[5] = {1, 2, 2, 1, 1};
    std::copy(groups, groups + 4, groupRel);
    std::copy(typeGroups, typeGroups + 5, groupCst);
    std::strcpy(grLabel[0], "g1");
    std::strcpy(grCstLabel[0], "A");
    std::strcpy(grCstLabel[1], "B");
    for (int k = 0; k < tcst; k++) cadat[k][3] = 0;  // c4 empty: weights and performances 0
    const struct {
        int kind, how, typeGroup;
        Strings labels;
    } cases[] = {
        {3, 1, 0, {"4", "3", "2", "1"}},           {3, 2, 0, {"9", "6", "3", "1"}},
        {4, 1, 0, {"0.333333", "0", "0.333333", "0"}}, {5, 1, 0, {"2", "1", "3", "0"}},
        {5, 1, -1, {"A", "B", "A", "A"}},          {1, 1, 0, {"c1", "c2", "c3", "c4"}},
    };
    for (const auto& c : cases) {
        std::tie(whichSctLabels, howEnv, whichCstGr) = std::tie(c.kind, c.how, c.typeGroup);
        const ScatterGraph g = ScatterPrelim(1, levels);
        EXPECT_EQ(g.labels, c.labels) << c.kind;
        EXPECT_EQ(g.shown, (std::vector<bool>{true, false, true, false}));
        EXPECT_EQ(g.connections, (std::vector<std::pair<int, int>>{{0, 2}}));
    }
    whichSctLabels = 3;
    EXPECT_EQ(ScatterPrelim(1, levels).caption,
              "Formatted data (E): s1Formda.txt\rAxes plotted: 1, 2  Labels: e2  states  (community group g1 only)\r"
              "Connected communities ordered as in data\rResemblance function: Euclidean distance\r"
              "Vector transformation: 4 (normalization within variables)\r");
}

// 60 traits of 10 characters: the caption is cut at 500 characters.
TEST_F(GraphTest, CaptionsAreCutAt500Characters) {
    char** saved = chLabel;
    const int savedCount = nch;
    int* savedOrder = nchor;
    std::vector<std::array<char, 11>> names(60);
    std::vector<char*> labels;
    for (auto& name : names) labels.push_back(std::strcpy(name.data(), "abcdefghij"));
    chLabel = labels.data(), nch = 60, nchor = nullptr;
    const std::string caption = ProfilePrelim(60, nullptr, 1, 0, reLabel);
    chLabel = saved, nch = savedCount, nchor = savedOrder;
    EXPECT_EQ(caption.size(), 500u);
    const size_t traits = caption.find("Traits (cumulative from level 60 down):\r") + 40;
    EXPECT_EQ(caption.substr(traits), Repeat("abcdefghij", 60).substr(0, 500 - traits));
}

}  // namespace
