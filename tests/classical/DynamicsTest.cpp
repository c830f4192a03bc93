// Diversity, complexity and velocity of community change, their correlation and profile: values
// by hand and from R (r/renyi.R, r/velocity.R), the session files, the guards of the dialogs.
#include <cfloat>

#include "classical/TNXDynamics.h"
#include "classical/qwDynamics.h"
#include "common/TimeStampLine.h"
#include "foundation/ScopedValue.h"
#include "matrix/core/qwlibRandom.h"
#include "series_fixture.h"

using namespace tnxtest;

namespace {

class DynamicsTest : public SeriesTest {
protected:
    void SetUp() override {
        SeriesTest::SetUp();
        runMacro = 0;
        hasComplexity = hasVelocity = hasRoVelComplex = hasRoVelComplexPROB = 0;
        rese_opt = 6;
    }
    // The data set keeps 4 communities; a test that pretends to more or fewer restores the count
    // before the data set is released.
    struct Communities {
        explicit Communities(int n) : saved(ncsm) { ncsm = n; }
        ~Communities() { ncsm = saved; }
        int saved;
    };
};

// The section of the report after its time stamp (rule line, title, rule line, time stamp).
std::string AfterTimeStamp(const std::string& section) {
    size_t p = 0;
    for (int k = 0; k < 3; k++) p = section.find('\n', p) + 1;
    const size_t end = section.find('\n', p);
    EXPECT_TRUE(IsTimeStampLine(section.substr(p, end - p + 1)));
    return section.substr(end + 1);
}

// Velocity by hand from stored resemblances of 4 communities (upper triangle with diagonal) and
// times 0 2 2 -3 of e1: 3 / |2 - 0|, the largest float (equal times), 8 / |-3 - 2|; the report is
// appended to the earlier text.
TEST_F(DynamicsTest, VelocityFileAndReport) {
    Write("s1NRe.txt", "0 3 9 9\n0 5 9\n0 8\n0\n");
    std::strcpy(whichNRese, "s1NRe.txt");
    Write("s1Prinda.txt", "earlier\n");
    const float times[4] = {0, 2, 2, -3};
    for (int c = 0; c < 4; c++) env[c][0] = times[c];
    nenv = 1;  // one variable is enough
    EXPECT_TRUE(Run("e1\n", [] { IFVelocity(); }));
    nenv = 2;
    EXPECT_EQ(Read("s1Velocity.txt"), "1.5\t3.40282e+38\t1.6\t\n0\t2\t2\t-3\t\n");
    const std::string report = Read("s1Prinda.txt");
    EXPECT_EQ(report.rfind("earlier\n" + std::string(lineL) + "\nVELOCITY OF COMMUNITY CHANGE\n", 0), 0u);
    EXPECT_EQ(AfterTimeStamp(report.substr(8)), "Time scale:\n0\t2\t2\t-3\t\n\nVelocity:\n1.5\t3.40282e+38\t1.6\t\n");
    EXPECT_EQ((Ints{hasVelocity, whichEnv}), (Ints{1, 0}));
    EXPECT_EQ(rese, nullptr);
    EXPECT_NE(Out().find("\n\nResults appended to file s1Prinda.txt\n"), std::string::npos);
}

// vegan::renyi(hill = FALSE) / log 2 at order 2 (r/renyi.R); Huffman lengths by hand (values
// printed with 6 digits):
// (1,1,2) 1.5, (5,0,5) 1, (3,2,1) 1.499998, (1,1,1) 1.666665; S = L - H, 0 where L - H <= 1e-6.
TEST_F(DynamicsTest, ComplexityAgainstRenyiAndHuffman) {
    WriteHie({{1, 5, 3, 1}, {1, 0, 2, 1}, {2, 5, 1, 1}});
    EXPECT_TRUE(Run("2\n", [] { IFComplexity(); }));
    const double H[4] = {1.41503749928, 1.0, 1.36257007938, 1.58496250072};
    const double L[4] = {1.5, 1.0, 1.499998, 1.666665};
    const std::vector<std::string> lines = Lines(Read("s1Complexity.txt"));
    ASSERT_EQ(lines.size(), 3u);
    for (int c = 0; c < 4; c++) {
        EXPECT_NEAR(Numbers(lines[0])[c], H[c], 1e-5);
        EXPECT_NEAR(Numbers(lines[1])[c], L[c], 1e-5);
        EXPECT_NEAR(Numbers(lines[2])[c], c == 1 ? 0.0 : L[c] - H[c], 1e-5);
    }
    // The section: its labels as printed, the rows in bits as in the file, the nats as H ln 2.
    const std::vector<std::string> got = Lines(AfterTimeStamp(ReportAfter(std::string(lineL) + "\nDIVERSITY")));
    const std::string units = "Sampling units:    \tc1\tc2\tc3\tc4\t";
    ASSERT_EQ(got.size(), 13u);
    EXPECT_EQ((Strings{got[1], got[2], got[5], got[6], got[7], got[9], got[10], got[11], got[12]}),
              (Strings{"Renyi general entropy of order 2 in sampling units (nats):", units,
                       "Renyi general entropy (H) of order 2 in sampling units (bits):", units,
                       "Entropy (bits):    \t" + lines[0],
                       "Kolmogorov complexity (Kessel & Banstead 1996) in sampling units:",
                       "Sampling units:     \t       \tc1\tc2\tc3\tc4\t", "Total complexity (L):       \t" + lines[1],
                       "Structural complexity (L-H):\t" + lines[2]}));
    EXPECT_EQ(got[3].rfind("Entropy (nats):    \t", 0), 0u);
    for (int c = 0; c < 4; c++) EXPECT_NEAR(Numbers(got[3].substr(20))[c], H[c] * std::log(2.0), 1e-5);
    EXPECT_EQ(hasComplexity, 1);
    // Two types: structural complexity 0 whatever the total complexity.
    WriteHie({{1, 5, 3, 0}, {1, 1, 2, 1}});
    EXPECT_TRUE(Run("1\n", [] { IFComplexity(); }));
    EXPECT_EQ(Lines(Read("s1Complexity.txt"))[2], "0\t0\t0\t0\t");
    // (1,1) and (3,2): 1 bit; (5,1): frequencies 833333 and 166666, 0.999999; (0,1): no code.
    EXPECT_EQ(Numbers(Lines(Read("s1Complexity.txt"))[1]), (std::vector<double>{1, 0.999999, 1, 0}));
    // Monothetic types of a hierarchy: the level is asked for, except under the pairwise fuzzy
    // adjustment, which keeps no levels.
    ASSERT_GE(nch, 2);
    isHierarchical = 1, poolCSTopt = 1, fuzzy = 2;
    EXPECT_TRUE(Run("1\n", [] { IFComplexity(); }));
    fuzzy = 0;
    EXPECT_TRUE(Run("1\n1\n", [] { IFComplexity(); }));
}

// r/velocity.R: cor() of 5 velocities with diversity ahead, behind and averaged; the pair of
// undefined velocity left out; windows of 4 pairs and their times by option.
TEST(VelocityCorrelation, PairingsWindowsAndUndefinedPairsAgainstR) {
    float v[5] = {0.5f, 2, 1.25f, 4, 3}, t[6] = {0, 1, 2, 3, 4, 5}, X[6] = {1, 3, 2, 5, 4, 6};
    float* series[3] = {X, X, X};
    const struct {
        int option, w;
        double r;
        std::vector<double> rWindow, windowTime;
    } cases[] = {
        {1, 4, 0.997155044022, {0.996842305122, 0.997815796446}, {1.5, 2.5}},
        {2, 0, 0.313391585264, {}, {}},
        {3, 0, 0.812766516651, {}, {}},
        {2, 4, 0.313391585264, {}, {2.5, 3.5}},
        {3, 4, 0.812766516651, {}, {2, 3}},
        {1, 5, 0.997155044022, {0.997155044022}, {2}},  // window of every pair: one window
    };
    for (const auto& c : cases) {
        VelocityCorrelations out;
        CorrelateVelocity(6, v, t, series, c.option, c.w, 1, &out);
        for (int s = 0; s < 3; s++) {
            EXPECT_NEAR(out.r[s], c.r, 1e-5) << c.option;
            EXPECT_EQ(out.p[s], 1.0);  // one arrangement: 1 / 1
            if (!c.rWindow.empty()) {
                EXPECT_EQ(out.rWindow[s].size(), c.rWindow.size());
            }
            for (size_t k = 0; k < c.rWindow.size(); k++) EXPECT_NEAR(out.rWindow[s][k], c.rWindow[k], 1e-5);
        }
        EXPECT_EQ(out.windowTime, c.windowTime) << c.option;
    }
    v[2] = 3.40282e38f;  // as read back from the file
    VelocityCorrelations out;
    CorrelateVelocity(6, v, t, series, 1, 0, 1, &out);
    EXPECT_NEAR(out.r[0], 0.99679057744, 1e-5);
}

// Velocities 1 2 4 beside diversity 1 2 4: r = 1, and of the 3! orders only the observed one
// reaches |r| = 1, so P tends to 1/6 (binomial standard error 0.007 over 3000 orders).
TEST(VelocityCorrelation, PermutationProbabilityOfTheOnlyPerfectOrder) {
    InitRndNumberGenerator(5);
    float v[3] = {1, 2, 4}, t[4] = {0, 1, 2, 3}, X[4] = {1, 2, 4, 0};
    float* series[3] = {X, X, X};
    VelocityCorrelations out;
    CorrelateVelocity(4, v, t, series, 1, 0, 3001, &out);
    EXPECT_NEAR(out.r[0], 1.0, 1e-6);
    EXPECT_NEAR(out.p[0], 1.0 / 6.0, 0.035);
    EXPECT_EQ(out.p[0], out.p[2]);  // the same orders for every series
    EXPECT_EQ(out.permutations, 3001);
    // nPerm counts the observed order: 3 means exactly 2 random orders drawn.
    int list[3];
    InitRndNumberGenerator(9);
    for (int k = 0; k < 2; k++) RndList(3, list);
    const unsigned long expected = gsl_rng_get(r);
    InitRndNumberGenerator(9);
    CorrelateVelocity(4, v, t, series, 1, 0, 3, &out);
    EXPECT_EQ(gsl_rng_get(r), expected);
}

// 6 units (r/velocity.R), equal steps, window 4, no test; then the guards: 3 units ask no window,
// a short velocity file is code 2 and a missing one code 4.
TEST_F(DynamicsTest, CorrelationReportAndWindowFile) {
    {
        Communities six(6);
        Write("s1Velocity.txt", "0.5 2 1.25 4 3\n0 1 2 3 4 5\n");
        Write("s1Complexity.txt", "1 3 2 5 4 6\n2 6 4 10 8 12\n-1 -3 -2 -5 -4 -6\n");
        EXPECT_TRUE(Run("y\n1\nn\n4\n", [] { IFComplexityVelocity(); }));
        EXPECT_EQ(Read("s1RoVelComplex.txt"),
                  "4\n1\n1.5\t2.5\t\n0.996842\t0.997816\t\n0.996842\t0.997816\t\n-0.996842\t-0.997816\t\n"
                  "1\t1\t\n1\t1\t\n1\t1\t\n");
        EXPECT_EQ(AfterTimeStamp(ReportAfter(std::string(lineL) + "\nCORRELATION")),
                  "Correlation computed with velocity ahead, i.e., diversity or complexity at time i vs. velocity from "
                  "time i to i+1\n\nVelocity vs. Diversity:\t0.997155\nVelocity vs. Total Complexity:\t0.997155\n"
                  "Velocity vs. Structural Complexity:\t-0.997155\n"
                  "\nUsing a sliding window size of 4 time units (series with equal time steps)\n"
                  "Time of a window: mean of the times i of its pairs\n"
                  "Average time scale (for diversity or complexity) within sliding window:\t1.5\t2.5\t\n"
                  "Velocity vs. Diversity:\t0.996842\t0.997816\t\nVelocity vs. Total Complexity:\t0.996842\t0.997816\t\n"
                  "Velocity vs. Structural Complexity:\t-0.996842\t-0.997816\t\n");
        EXPECT_EQ((Ints{hasRoVelComplex, hasRoVelComplexPROB}), (Ints{1, 0}));
        EXPECT_NE(Out().find("\nAre time steps constant? y/n "), std::string::npos);
    }
    {
        Communities three(3);
        std::filesystem::remove("s1RoVelComplex.txt");
        Write("s1Velocity.txt", "1 2\n0 1 2\n");
        Write("s1Complexity.txt", "1 2 3\n1 2 3\n0 0 0\n");
        const std::string before = Out();
        hasRoVelComplex = 0;
        EXPECT_TRUE(Run("2\nn\n", [] { IFComplexityVelocity(); }));
        EXPECT_EQ(Out().find("time steps constant", before.size()), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists("s1RoVelComplex.txt"));
        EXPECT_EQ(hasRoVelComplex, 0);
        Write("s1Velocity.txt", "1 2\n0 1\n");
        EXPECT_EQ(CodeOf([] { IFComplexityVelocity(); }), TNX_END_OF_FILE);
        // A file that is gone is refused in one line, before anything is asked or written.
        std::filesystem::remove("s1Velocity.txt");
        const size_t from = Out().size();
        EXPECT_EQ(CodeOf([] { IFComplexityVelocity(); }), 0);
        EXPECT_EQ(Out().size(), from);
        EXPECT_EQ(Count(Err(), "\nThis session holds no readable velocities of community change.\n"), 1);
        EXPECT_FALSE(std::filesystem::exists("s1RoVelComplex.txt"));
    }
}

// Each caption by hand for one case of each kind of series.
TEST_F(DynamicsTest, ProfileCaptions) {
    std::strcpy(whichFormda, "s1Formda.txt");
    const struct {
        int source, transform, w, option;
        std::string caption;
    } cases[] = {
        {9, 3, 0, 0, "Time points 1 to 4 vs. \rlog transformed diversity\rFormatted data (V): s1Formda.txt\r"},
        {14, 1, 4, 3,
         "Time points 1 to 4 vs. \rsq. correlation of velocity and total complexity (sliding window size = 4,  with "
         "average complexity between time i and i+1).\rResemblance option: 6 (Euclidean distance)\r"
         "Formatted data (V): s1Formda.txt\r"},
        {16, 2, 3, 1,
         "Time points 1 to 4 vs. \rstress function based on probability P(roRND>=ro) of correlation velocity vs. "
         "diversity (sliding window size = 3,  velocity ahead).\rResemblance option: 6 (Euclidean distance)\r"
         "Formatted data (V): s1Formda.txt\r"},
    };
    for (const auto& c : cases) EXPECT_EQ(ProfileDynamicsCaption(c.source, c.transform, 1, 4, c.w, c.option), c.caption);
}

// Only the printed sources and transformations are accepted; without a variable the complexity
// series are not offered; a window size the correlation cannot have written is code 2.
TEST_F(DynamicsTest, ProfileAcceptsOnlyWhatItOffers) {
    Write("s1Complexity.txt", "1 2 3 4\n1 2 3 4\n0 0 0 0\n");
    hasComplexity = 1;
    EXPECT_TRUE(Run("12\n9\n1\n3\n1\n1\ne1\n", [] { IFProfileDynamics(); }));
    EXPECT_EQ((Ints{roFrom, sqRoOpt}), (Ints{9, 3}));
    EXPECT_EQ(minRoFix, -FLT_MAX);
    EXPECT_NE(Out().find("   11  structural complexity\nType option no.: \nScalar transformation: \n"
                         "   0  no transformation \n   3  plot log(x+1)\nType option no.: "),
              std::string::npos);
    // The velocity file holds n - 1 velocities, then n times.
    hasVelocity = 1;
    Write("s1Velocity.txt", "1 2 3\n0 1 2 3\n");
    EXPECT_TRUE(Run("12\n0\n1\n1\n", [] { IFProfileDynamics(); }));
    EXPECT_EQ(roFrom, 12);
    hasVelocity = 0;
    nenv = 0;
    EXPECT_TRUE(Run("", [] { IFProfileDynamics(); }));
    nenv = 2;
    hasRoVelComplex = 1;
    Write("s1RoVelComplex.txt", "3\n1\n1.5\t\n0.9\t\n");  // the widest window of 4 communities: 3
    EXPECT_TRUE(Run("13\n0\n1\n1\n", [] { IFProfileDynamics(); }));
    // A correlation (13 to 15) may be plotted squared or as its stress, and not as log(x+1).
    const size_t from = Out().size();
    EXPECT_TRUE(Run("13\n2\n1\n1\n", [] { IFProfileDynamics(); }));
    EXPECT_EQ(sqRoOpt, 2);
    EXPECT_NE(Out().find("\nScalar transformation: \n   0  no transformation \n   1  plot squared correlation\n"
                         "   2  plot stress function (1 - squared correlation)\nType option no.: ",
                         from),
              std::string::npos);
    Write("s1RoVelComplex.txt", "4\n1\n1\n");  // 4 communities hold no window of 4
    EXPECT_EQ(CodeOf([this] { Run("13\n0\n1\n1\n", [] { IFProfileDynamics(); }); }), TNX_END_OF_FILE);
    const std::string err = Err();
    EXPECT_EQ(Count(err, "\nIncorrect input = "), 2);
    EXPECT_NE(err.find("\nNo series of community dynamics to draw.\n"), std::string::npos);
}

}  // namespace

// A level of the intermediate file read community by community (transposed), its number of types
// recorded for a level the session holds (rcst), and for none past them or without the record.
TEST_F(DynamicsTest, ALevelReadByCommunityRecordsItsTypesOnlyWithinTheLevels) {
    // Level 1: two types in the four communities; level 2: one type.
    Write("s1Hie.txt", "2 4\n1 2 3 4\n5 6 7 8\n1 4\n9 9 9 9\n");
    int kept[2] = {7, 7};
    const ScopedValue<int> levels(nch, 1);
    const struct {
        int level;
        int* record;
        std::vector<int> recorded;  // kept afterwards
    } cases[] = {{1, kept, {2, 7}}, {2, kept, {2, 7}}, {1, nullptr, {2, 7}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        const ScopedValue<int*> record(rcst, c.record);
        int types = 0;
        float** table = ReadLevelByCommunity(c.level, &types);
        EXPECT_EQ(types, c.level == 1 ? 2 : 1);
        if (c.level == 1) {
            EXPECT_EQ((std::vector<float>{table[0][0], table[0][1], table[3][0], table[3][1]}),
                      (std::vector<float>{1, 5, 4, 8}));
        }
        free2D(table, ncsm);
        EXPECT_EQ((std::vector<int>{kept[0], kept[1]}), c.recorded);
    }
}
