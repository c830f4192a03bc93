// The handlers of the classical analyses on the aviurba survey, imported by the built program:
// after each handler its flags and names; every file written read back by its reader and
// checked against a computation of its own; the session reopened from its track file.
#include <cmath>

#include "classical/TNXIFCLASSIC.h"
#include "classical/TNXORDI.h"
#include "session/TNXIFHAND.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/dialogs/TNXPART.h"
#include "session/model/TNXHIEFILE.h"
#include "session/model/TNXTRACK.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

using Mat = std::vector<std::vector<double>>;

double Euclidean(const std::vector<double>& a, const std::vector<double>& b) {
    double s = 0;
    for (size_t k = 0; k < a.size(); k++) s += (a[k] - b[k]) * (a[k] - b[k]);
    return std::sqrt(s);
}

// Pearson correlation of the cells above the diagonal.
double Mantel(const Mat& a, const Mat& b) {
    std::vector<double> x, y;
    for (size_t i = 0; i < a.size(); i++)
        for (size_t j = i + 1; j < a.size(); j++) x.push_back(a[i][j]), y.push_back(b[i][j]);
    const double n = static_cast<double>(x.size());
    double mx = 0, my = 0, sxy = 0, sxx = 0, syy = 0;
    for (size_t k = 0; k < x.size(); k++) mx += x[k] / n, my += y[k] / n;
    for (size_t k = 0; k < x.size(); k++)
        sxy += (x[k] - mx) * (y[k] - my), sxx += (x[k] - mx) * (x[k] - mx), syy += (y[k] - my) * (y[k] - my);
    return sxy / std::sqrt(sxx * syy);
}

// Distances between the rows of m.
Mat Distances(const Mat& m) {
    Mat d(m.size(), std::vector<double>(m.size()));
    for (size_t i = 0; i < m.size(); i++)
        for (size_t j = 0; j < m.size(); j++) d[i][j] = Euclidean(m[i], m[j]);
    return d;
}

void ExpectClose(const Mat& got, const Mat& expected, double relative) {
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); i++)
        for (size_t j = 0; j < got.size(); j++)
            ASSERT_NEAR(got[i][j], expected[i][j], relative * (1.0 + std::fabs(expected[i][j]))) << i << " " << j;
}

class AviurbaHandlers : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
        for (const char* f : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_E.txt", "aviurba_spp.txt"})
            std::filesystem::copy(std::string(TARNEX_EXAMPLES) + "/" + f, f);
        ASSERT_EQ(box_.Run(kAviImport).status, 0);
        for (char* name : {sessionName, sessionShortName}) std::strcpy(name, "avi");
        std::strcpy(whichTrack, "aviTrk.txt");
        optmain1 = 'V';
        sDigits = 6;
        maxComponents = 6;
        partitionTrackWriter = WriteTrack;  // as the session installs it
        Reload();
    }
    void TearDown() override {
        partitionTrackWriter = nullptr;
        FreeGlobals1();
        ConsoleTest::TearDown();
    }
    // As the session loop does after an analysis: the data and the track file read again.
    static void Reload() {
        LoadFormda("aviFormda.txt");
        ReadTrack();
    }
    // The handler on the answers: no error code, every answer read and nothing more.
    void Step(int letter, const std::string& answers, void (*handler)()) {
        if (dirtyOrig == 1) Reload();
        optmain = letter;
        Script(answers + "END\n");
        ASSERT_EQ(CodeOf(handler), 0) << static_cast<char>(letter) << (capturing_ ? Err() : "");
        char rest[8] = "";
        ASSERT_EQ(std::fscanf(inFile_, "%7s", rest), 1);
        ASSERT_STREQ(rest, "END") << static_cast<char>(letter);
    }
    // The stored community resemblance as written.
    static Mat StoredNominal() {
        double*** cube = dim3Double(1, ncsm, ncsm);
        rese = cube, nlev = 1;
        ReadResemblance(1, false);
        Mat m(ncsm, std::vector<double>(ncsm));
        for (int i = 0; i < ncsm; i++)
            for (int j = 0; j < ncsm; j++) m[i][j] = cube[0][i][j];
        free3D(cube, 1, ncsm), rese = nullptr;
        return m;
    }
};

TEST_F(AviurbaHandlers, EachHandlerRecordsItsFilesAndTheTrackKeepsThem) {
    // Species as types, crisp, 9 iterations, seed 1, Mantel, Euclidean distance, all traits, W standardised.
    Step('H', "y\n0\n9\n0\n2\n1\n1\n6\n1\ny\nn\n", IFHierarchicalAccum);
    // The functional analysis names the intermediate file but leaves it to the other analyses of
    // the hierarchy: with every species a type of its own, W is the types' table.
    WriteIntermediateW();
    Ints flags = ResultFlags();
    EXPECT_EQ(flags, (Ints{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // R: the community resemblance of the types' table of the intermediate file (types x communities).
    Step('R', "r\n6\nn\nn\nn\n", IFResemblance);
    flags[1] = 1;
    EXPECT_EQ(ResultFlags(), flags);
    EXPECT_EQ((Strings{whichNRese, whichPRese}), (Strings{"aviNRe.txt", "NULL"}));
    int types = 0;
    float** x = ReadIntermediateLevel(whichHier, 1, &types);
    Mat byCommunity(ncsm, std::vector<double>(types));
    for (int k = 0; k < types; k++)
        for (int c = 0; c < ncsm; c++) byCommunity[c][k] = x[k][c];
    free2D(x, types);
    const Mat nominal = StoredNominal();
    ExpectClose(nominal, Distances(byCommunity), 1e-5);  // stored with 6 significant digits

    // O: principal coordinates of Euclidean distances give them back from all the axes.
    Step('O', "y\ny\n", IFOrdination);
    flags[4] = 1;
    EXPECT_EQ(ResultFlags(), flags);
    {
        const OrdinationScores s;
        ASSERT_EQ(s.Levels(), 1);
        Mat points(ncsm, std::vector<double>(s.Axes(0)));
        for (int c = 0; c < ncsm; c++)
            for (int a = 0; a < s.Axes(0); a++) points[c][a] = s.Level(0)[c][a];
        ExpectClose(Distances(points), nominal, 1e-4);
    }

    // U: complete linkage fuses the closest pair first; the record cut at ncsm - 1 groups joins just them.
    Step('U', "r\n2\n", IFCluster);
    flags[5] = 1;
    EXPECT_EQ(ResultFlags(), flags);
    EXPECT_STREQ(whichReClus, "avi.RCl");
    int a = 0, b = 1;
    for (int i = 0; i < ncsm; i++)
        for (int j = i + 1; j < ncsm; j++)
            if (nominal[i][j] < nominal[a][b]) a = i, b = j;
    Ints groups(ncsm);
    GetPartition(ncsm, ncsm - 1, groups.data(), 'r');
    EXPECT_EQ(groups[a], groups[b]);
    EXPECT_EQ(std::set<int>(groups.begin(), groups.end()).size(), static_cast<size_t>(ncsm - 1));

    // E, function 1: the Mantel correlation with the Euclidean distance of the variables centred and
    // scaled to unit sum of squares (binary and ordinal variables).
    Step('E', "1\nn\n", IFEvaluation);
    flags[6] = 1;
    EXPECT_EQ(ResultFlags(), flags);
    Mat e(ncsm, std::vector<double>(nenv));
    for (int v = 0; v < nenv; v++) {
        double mean = 0, squares = 0;
        for (int c = 0; c < ncsm; c++) mean += env[c][v] / static_cast<double>(ncsm);
        for (int c = 0; c < ncsm; c++) squares += (env[c][v] - mean) * (env[c][v] - mean);
        for (int c = 0; c < ncsm; c++) e[c][v] = (env[c][v] - mean) / std::sqrt(squares);
    }
    EXPECT_NEAR(std::stod(Read("aviRo.txt")), Mantel(nominal, Distances(e)), 1e-5);
    // Again with its Mantel test: communities relocated 98 times (seed 7). The probability counts
    // the observed arrangement, so it lies in [1/99, 1]; the report's observed value is the Mantel
    // correlation again.
    Step('E', "1\ny\n99\n2\n7\nn\n", IFEvaluation);
    flags[8] = 1;
    EXPECT_EQ(ResultFlags(), flags);
    EXPECT_STREQ(whichProbRo, "aviPRo.txt");
    {
        std::istringstream probabilities(Read("aviPRo.txt"));
        std::vector<double> p;
        for (double y; probabilities >> y;) p.push_back(y);
        ASSERT_EQ(p.size(), 1u);
        EXPECT_GE(p[0], 1.0 / 99 - 1e-12);
        EXPECT_LE(p[0], 1.0);
        const std::string report = Read("aviPrinda.txt");
        const size_t row = report.rfind("\nLevel   1\t");
        ASSERT_NE(row, std::string::npos);
        std::istringstream values(report.substr(row + 11));
        double sef = 0, printed = 0;
        values >> sef >> printed;
        EXPECT_NEAR(sef, Mantel(nominal, Distances(e)), 1e-5);
        EXPECT_NEAR(printed, p[0], 1e-6);
    }

    // Z: J computes the complexity, after which the menu offers its profile.
    Step('Z', "J\n1\nC\n", IFDynamics);
    flags[10] = 1;
    EXPECT_EQ(ResultFlags(), flags);
    EXPECT_EQ(Count(Out(), "   P  draw profile\n"), 1);

    // T: three community groups cut from the cluster record, three type groups by counts; N on them.
    Step('T', "clu\n3\n1\n2\ntyp\n3\n1\ny\n10\n10\n20\n", IFStructTable);
    EXPECT_EQ((Ints{nGroups, nCstGroups}), (Ints{3, 3}));
    EXPECT_EQ(Count(Out(), "\n\nTable appended to file aviPrinda.txt\n"), 1);
    Step('N', "x\nx\n", IFConcentrationAn);
    flags[9] = 1;
    EXPECT_EQ(ResultFlags(), flags);
    {
        // The scores file holds its axis count, then every axis over the 3 + 3 groups.
        std::istringstream aoc(Read("avi.AOC"));
        int axes = 0;
        aoc >> axes;
        std::vector<double> v;
        for (double y; aoc >> y;) v.push_back(y);
        EXPECT_GE(axes, 1);
        EXPECT_EQ(v.size(), static_cast<size_t>(axes) * 6);
    }
    // S reads it back: the concentration scores on axes 1 and 2.
    Step('S', "2\n1\n2\n1\n1\n1\nn\n", IFScatter);

    // X, formats 1 and 2: level 1 of the intermediate file for other programs.
    Step('X', "1\n", IFExportData);
    Step('X', "2\n", IFExportData);
    std::istringstream orbald(Read("avil1Orbald.txt"));
    for (int k = 0; k < types; k++)
        for (int c = 0; c < ncsm; c++) {
            double v = 0;
            ASSERT_TRUE(orbald >> v);
            ASSERT_NEAR(v, byCommunity[c][k], 1e-6 * (1 + std::fabs(v)));
        }
    EXPECT_EQ(Count(Read("avil1Mulva5.txt"), "\n"), types + 1);  // the labels, then a line per type

    // The environmental menu: R (no transformation, the report appended), O, U, K against the stored
    // community resemblance, and the profile and scatter of what they wrote.
    optmain1 = 'E';
    Step('R', "0\na\nn\nn\n", IFEnvRese);
    flags[12] = 1;
    EXPECT_EQ(ResultFlags(), flags);
    Mat raw(ncsm, std::vector<double>(nenv));
    for (int c = 0; c < ncsm; c++)
        for (int v = 0; v < nenv; v++) raw[c][v] = env[c][v];
    Step('O', "y\ny\n", IFEnvOrdination);
    flags[13] = 1;
    EXPECT_EQ(ResultFlags(), flags);
    {
        std::istringstream esc(Read("aviESc.txt"));
        int axes = 0;
        esc >> axes;
        Mat points(ncsm, std::vector<double>(axes));
        for (int k = 0; k < axes; k++)
            for (int i = 0; i < ncsm + nenv; i++) {
                double v = 0;
                ASSERT_TRUE(esc >> v);
                if (i < ncsm) points[i][k] = v;
            }
        ExpectClose(Distances(points), Distances(raw), 1e-4);
    }
    Step('U', "4\n", IFEnvCluster);
    EXPECT_EQ(Count(Read("aviPrinda.txt"), "CLUSTER ANALYSIS (environmental)\n"), 1);
    Step('K', "2\n", IFEnvRank);
    flags[14] = 1;
    EXPECT_EQ(ResultFlags(), flags);
    EXPECT_EQ(Read("aviERk.txt").substr(0, 6), "    1\n");
    Step('P', "", IFProfile);
    Step('S', "1\n2\n1\n1\n1\nn\n", IFScatter);

    // Nothing was refused on the way.
    const std::string err = Err();
    for (const char* refusal : {"holds no", "fewer components", "not available", "needs"})
        EXPECT_EQ(err.find(refusal), std::string::npos) << refusal;

    // Reopened from its track file, the session has the same flags and names.
    const Strings names = ResultNames();
    FreeGlobals1();
    Reload();
    EXPECT_EQ(ResultFlags(), flags);
    EXPECT_EQ(ResultNames(), names);
    EXPECT_EQ(names, (Strings{"aviNRe.txt", "NULL", "NULL", "aviSco.txt", "avi.RCl", "NULL", "aviRo.txt", "avi.AOC",
                              "aviERe.txt", "aviESc.txt", "aviERk.txt"}));
}

}  // namespace
