// Tests of the community assembly model: its logistic scaling, interaction rows, site
// distances, standardisations, the order of its random draws and properties of whole runs that
// follow from the model's rules.
#include <gtest/gtest.h>
#include <gsl/gsl_rng.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/qwlib.h"
#include "session/session_fixture.h"
#include "simulation/TNXSIMMODEL.h"

namespace {

using tnxtest::Count;
using V = std::vector<double>;

// A small model: n sites, s OTUs, p traits, one factor from "file" with values 1..n, B with
// trait t of OTU o equal to (o (t + 2)) mod 5 + t, every parameter at random from the ranges given.
struct SmallRun {
    AssemblySettings set;
    AssemblyModel m;
    SmallRun(int n, int s, int p, int G, int M) {
        set.n = n, set.s = s, set.p = p, set.f = set.v = 1, set.G = G, set.M = M;
        AllocAssemblyModel(set, &m);
        for (int o = 0; o < s; o++)
            for (int t = 0; t < p; t++) m.B[o][t] = static_cast<float>((o * (t + 2)) % 5 + t);
        for (int k = 0; k < n; k++) m.E0[0][k] = k + 1;
        StandardizeFactorRows(1, n, m.E0);
        StandardizeTraits(s, p, m.B, m.mean, m.sd, m.zmin, m.zmax);
    }
    ~SmallRun() { FreeAssemblyModel(set, &m); }
    // Neutral model: every slope 0 (flat curves filter nothing).
    void Neutral(double lmin) {
        set.lmin = lmin;
        Ranges(0, 0, 0.2, 0.8, 0, 0, 0.2, 0.8, 0, 0, 0.2, 0.8);
    }
    // Slopes and centres of the kernel, the survival and the density curves.
    void Ranges(double k1, double k2, double kc1, double kc2, double s1, double s2, double sc1, double sc2, double d1,
                double d2, double dc1, double dc2) {
        set.kernelSlope1 = k1, set.kernelSlope2 = k2, set.kernelCentre1 = kc1, set.kernelCentre2 = kc2;
        set.survivalSlope1 = s1, set.survivalSlope2 = s2, set.survivalCentre1 = sc1, set.survivalCentre2 = sc2;
        set.densitySlope1 = d1, set.densitySlope2 = d2, set.densityCentre1 = dc1, set.densityCentre2 = dc2;
    }
    void Run(unsigned long seed) {
        InitRndNumberGenerator(seed);
        ASSERT_TRUE(PrepareDataSet(set, &m));
        RunAssemblySteps(set, &m, 1, AssemblyStepFiles{});
    }
    V Cells() const { return tnxtest::Get(m.W, set.n + 1, set.s); }
    V Row(double** x, int row, int cols) const { return V(x[row], x[row] + cols); }
    // The text a run writes to one per-step file.
    std::string StepFileText(unsigned long seed, FILE* AssemblyStepFiles::*which) {
        FILE* f = std::tmpfile();
        AssemblyStepFiles files;
        files.*which = f;
        InitRndNumberGenerator(seed);
        EXPECT_TRUE(PrepareDataSet(set, &m));
        RunAssemblySteps(set, &m, 1, files);
        std::string text(std::ftell(f), '\0');
        std::rewind(f);
        text.resize(std::fread(&text[0], 1, text.size(), f));
        std::fclose(f);
        return text;
    }
};

TEST(ScaledLogistic, EndsCentreAndFlatCurves) {
    // L(x) = 1 / (1 + exp(20 (x - 0.5))) for slope -5 on [0, 1]: L(0) + L(1) = 1 and L(0.5) = 0.5,
    // so the scaled value at the centre is (0.5 - L(1)) / (L(0) - L(1)) = 0.5. Over [0, 10] with
    // centre 0.3 the curve (slope -2: L(x) = 1 / (1 + exp(-8 (x - 3)))) is centred at x = 3.
    const double L0 = 1.0 / (1.0 + std::exp(-8.0 * (0.0 - 3.0))), L10 = 1.0 / (1.0 + std::exp(-8.0 * (10.0 - 3.0)));
    const struct {
        double x, loX, hiX, lo, slope, centre, expected, tolerance;
    } cases[] = {
        {0.0, 0.0, 1.0, 0.0, -5.0, 0.5, 1.0, 0}, {1.0, 0.0, 1.0, 0.0, -5.0, 0.5, 0.0, 0},
        {0.5, 0.0, 1.0, 0.0, -5.0, 0.5, 0.5, 1e-12}, {3.0, 0.0, 10.0, 0.0, -2.0, 0.3, (0.5 - L10) / (L0 - L10), 1e-12},
        // Flat curves give 1, never NaN: neutral slope, no range (dmax = 0), lower bound 1.
        {0.3, 0.0, 1.0, 0.0, 0.0, 0.5, 1.0, 0}, {0.0, 0.0, 0.0, 0.0, -5.0, 0.5, 1.0, 0}, {0.7, 0.0, 1.0, 1.0, -5.0, 0.5, 1.0, 0},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(ScaledLogistic(c.x, c.loX, c.hiX, c.lo, c.slope, c.centre), c.expected, c.tolerance)
            << c.x << " " << c.hiX << " " << c.slope;
    // A negative slope decreases within [0, 1].
    double last = 2.0;
    for (double x = 0.0; x <= 1.0; x += 0.05) {
        const double y = ScaledLogistic(x, 0.0, 1.0, 0.2, -3.0, 0.4);
        EXPECT_TRUE(y < last && y >= -1e-15 && y <= 1.0 + 1e-15) << x;
        last = y;
    }
}

TEST(InteractionRows, PairsInOrderOneForTwoFactorsAndNoneForOne) {
    double** E = dim2Double(6, 2);
    const V f[3] = {{1, 2}, {3, 5}, {-1, 4}};
    for (int i = 0; i < 3; i++) E[i][0] = f[i][0], E[i][1] = f[i][1];
    FormInteractionRows(3, 2, true, E);
    EXPECT_EQ(tnxtest::Get(E, 6, 2), (V{1, 2, 3, 5, -1, 4, 3, 10, -1, 8, -3, 20}));
    E[3][0] = 99;
    FormInteractionRows(3, 2, false, E);
    FormInteractionRows(1, 2, true, E);  // f = 1: no pair, the next row is untouched
    EXPECT_EQ((V{E[3][0], E[1][0]}), (V{99, 3}));
    FormInteractionRows(2, 2, true, E);  // f = 2: the one pair goes into row 2
    EXPECT_EQ((V{E[2][0], E[2][1], E[3][0]}), (V{3, 10, 99}));
    free2D(E, 6);
}

TEST(SiteDistances, ScaledToLargestOneAndSymmetric) {
    // Sites (0,0), (3,0), (0,4): distances 3, 4 and 5, scaled 0.6, 0.8 and 1.
    double** c = dim2Double(2, 3);
    double** D = dim2Double(3, 3);
    c[0][1] = 3;
    c[1][2] = 4;
    ScaleSiteDistances(3, c, D);
    EXPECT_EQ(tnxtest::Get(D, 3, 3), (V{0, 0.6, 0.8, 0.6, 0, 1, 0.8, 1, 0}));
    // All at one location: every distance 0, never 0/0.
    for (int k = 0; k < 3; k++) c[0][k] = c[1][k] = 7;
    ScaleSiteDistances(3, c, D);
    EXPECT_EQ(tnxtest::Get(D, 3, 3), V(9, 0.0));
    free2D(c, 2);
    free2D(D, 3);
}

TEST(Standardize, TraitsFactorRowsAndConstantColumns) {
    // Traits 1..5: mean 3, SS = 10; reported sd sqrt(10/4), z-scores (x - 3) / sqrt(10/5). A
    // constant trait is centred and scaled by 1.
    float** B = dim2Dfloat(5, 2);
    for (int o = 0; o < 5; o++) B[o][0] = static_cast<float>(o + 1), B[o][1] = 4.0f;
    double mean[2], sd[2], lo[2], hi[2];
    StandardizeTraits(5, 2, B, mean, sd, lo, hi);
    EXPECT_DOUBLE_EQ(mean[0], 3.0);
    EXPECT_NEAR(sd[0], std::sqrt(2.5), 1e-12);
    for (int o = 0; o < 5; o++) EXPECT_NEAR(B[o][0], (o + 1 - 3.0) / std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(lo[0], -std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(hi[0], std::sqrt(2.0), 1e-6);
    EXPECT_EQ((V{sd[1], lo[1], hi[1], B[0][1], B[4][1]}), V(5, 0.0));
    free2D(B, 5);
    // A factor row 1..4 across sites: mean 2.5, SS = 5, divisor sqrt(5/4); a constant row is 0.
    double** E = dim2Double(2, 4);
    for (int k = 0; k < 4; k++) E[0][k] = k + 1, E[1][k] = 3;
    StandardizeFactorRows(2, 4, E);
    for (int k = 0; k < 4; k++) EXPECT_NEAR(E[0][k], (k + 1 - 2.5) / std::sqrt(1.25), 1e-12);
    EXPECT_EQ(V(E[1], E[1] + 4), V(4, 0.0));
    free2D(E, 2);
}

TEST(PrepareDataSet, DrawsInTheModelsOrder) {
    SmallRun run(3, 4, 2, 1, 5);
    run.set.lmin = 0.1;
    run.Ranges(-1, -6, 0.2, 0.7, -2, -3, 0.1, 0.9, -4, -8, 0.3, 0.6);
    InitRndNumberGenerator(99);
    ASSERT_TRUE(PrepareDataSet(run.set, &run.m));
    // The same draws by hand: kernel slopes, kernel centres, X row, Y row, survival slopes and
    // centres, density slopes and centres.
    InitRndNumberGenerator(99);
    const AssemblyModel& m = run.m;
    const auto draws = [](int count, double from, double to) {
        V v;
        for (int i = 0; i < count; i++) v.push_back(from + gsl_rng_uniform(r) * (to - from));
        return v;
    };
    const auto column = [](double** x, int c) { return V{x[0][c], x[1][c], x[2][c], x[3][c]}; };
    EXPECT_EQ(column(m.kernel, 1), draws(4, -1, -6));
    EXPECT_EQ(column(m.kernel, 2), draws(4, 0.2, 0.7));
    EXPECT_EQ(run.Row(m.coords, 0, 3), draws(3, 0, 100));
    EXPECT_EQ(run.Row(m.coords, 1, 3), draws(3, 0, 100));
    EXPECT_EQ(column(m.survival, 0), draws(4, -2, -3));
    EXPECT_EQ(column(m.survival, 1), draws(4, 0.1, 0.9));
    EXPECT_EQ(column(m.density, 0), draws(4, -4, -8));
    EXPECT_EQ(column(m.density, 1), draws(4, 0.3, 0.6));
    for (int o = 0; o < 4; o++) EXPECT_EQ(m.kernel[o][0], Logistic(1.0, 0.0, 1.0, 0.1, 1.0, m.kernel[o][1], m.kernel[o][2]));
    // The environment from file is reset to its initial conditions.
    EXPECT_EQ(run.Row(m.E, 0, 3), run.Row(m.E0, 0, 3));
}

TEST(AssemblyRun, BookkeepingHoldsAndSeedRepeatsTheRun) {
    SmallRun run(4, 6, 2, 40, 6);
    run.set.lmin = 0.2;
    run.Ranges(-3, -6, 0.3, 0.6, -1, -5, 0.3, 0.7, -5, -5, 0.5, 0.5);
    run.m.A[0][0] = 1.0;
    run.m.considered[0] = 1;
    run.Run(5);
    const AssemblyModel& m = run.m;
    int total = 0;
    for (int k = 0; k < 4; k++) {
        double row = 0;
        for (int o = 0; o < 6; o++) {
            EXPECT_TRUE(m.W[k][o] >= 0.0 && m.W[k][o] == std::floor(m.W[k][o]));
            EXPECT_TRUE(m.S[k][o] >= 0.0 && m.S[k][o] <= 1.0);
            row += m.W[k][o];
        }
        EXPECT_EQ(row, m.a[k]);
        total += m.a[k];
        EXPECT_LE(m.a[k], 40);  // at most one individual per site and step
    }
    EXPECT_EQ(total, m.total);
    EXPECT_GT(m.total, 0);
    for (int o = 0; o < 6; o++) EXPECT_EQ(m.W[0][o] + m.W[1][o] + m.W[2][o] + m.W[3][o], m.W[4][o]);
    const V first = run.Cells();
    run.Run(5);
    EXPECT_EQ(run.Cells(), first);
    run.Run(6);
    EXPECT_NE(run.Cells(), first);
}

TEST(AssemblyRun, RecordingStartsWhenTheTotalOrTheStepPassesItsShare) {
    // lmin = 1 makes every dispersal certain, flat survival and density curves give S = Q = 1, and
    // a survival of 1 gives a death probability (1 - S) phi = 0: each site gains exactly one
    // individual per step and nobody dies. At the start of step g the total is n (g - 1).
    const struct {
        int G, M;
        double h;
        int recordStep;
    } cases[] = {
        {12, 100, 0.0, 1},  // from the first step (g > 0)
        {100, 4, 0.5, 4},   // the total passes 0.5 x 4 x 3 = 6 first at g = 4 (total 9), long before g > 50
        {5, 100, 1.0, 0},   // total > M n and g > G never hold: the counters stay 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.h);
        SmallRun run(3, 5, 1, c.G, c.M);
        run.Neutral(1.0);
        run.set.h = c.h;
        run.Run(11);
        const AssemblyModel& m = run.m;
        EXPECT_EQ(m.recordStep, c.recordStep);
        EXPECT_EQ(m.total, 3 * c.G);
        for (int k = 0; k < 3; k++) {
            double present = 0;
            for (int o = 0; o < 5; o++) present += m.W[k][o] > 0;
            EXPECT_EQ(m.a[k], c.G);
            EXPECT_EQ(m.extinctions[k], 0);
            // The richness is taken at the recording step, before its colonisation: none at step 1,
            // 3 individuals of at most 3 OTUs at step 4. Nothing dies, so from step 1 on every OTU
            // present was counted once as a colonisation.
            if (c.recordStep == 4) {
                EXPECT_TRUE(m.richness[k] >= 1 && m.richness[k] <= 3) << m.richness[k];
            } else {
                EXPECT_EQ((V{double(m.colonisations[k]), double(m.richness[k])}), (V{c.recordStep ? present : 0.0, 0}));
            }
        }
    }
}

TEST(AssemblyRun, FeedbackMovesTheEnvironmentOnlyFromStepTwo) {
    SmallRun run(3, 5, 1, 1, 100);
    run.Neutral(1.0);
    run.m.A[0][0] = 1.0;
    run.m.K[0][0] = 0.5;
    run.Run(4);
    EXPECT_EQ(run.Row(run.m.E, 0, 3), run.Row(run.m.E0, 0, 3));  // G = 1: no feedback
    // E grows by K (C(g) - C(g-1)) from step 2 on: the sum telescopes to K (C(G) - C(1)).
    run.set.G = 6;
    run.Run(4);
    EXPECT_NE(run.Row(run.m.E, 0, 3), run.Row(run.m.E0, 0, 3));
    run.m.K[0][0] = 0.0;
    run.Run(4);
    EXPECT_EQ(run.Row(run.m.E, 0, 3), run.Row(run.m.E0, 0, 3));
}

TEST(AssemblyRun, ExtrapolationIsClearedAndMeasuredFromTheTraitRange) {
    SmallRun run(4, 5, 1, 2, 10);
    run.Neutral(1.0);
    // C* = (100 E - mean) / sd: far beyond the range of the standardised trait at the extreme sites.
    run.m.A[0][0] = 100.0;
    for (int k = 0; k < 4; k++) run.m.extrap[0][k] = 12345.0;
    run.Run(8);
    const AssemblyModel& m = run.m;
    for (int k = 0; k < 4; k++) {
        const double c = m.Cstar[0][k];
        EXPECT_EQ(m.extrap[0][k], c > m.zmax[0] ? c - m.zmax[0] : (c < m.zmin[0] ? c - m.zmin[0] : 0.0));
        EXPECT_NEAR(c, (100.0 * m.E[0][k] - m.mean[0]) / m.sd[0], 1e-9);
    }
    EXPECT_TRUE(m.extrap[0][3] > 0.0 && m.extrap[0][0] < 0.0);
}

TEST(AssemblyRun, WithoutLongDistanceDispersalNothingEverArrives) {
    // lmin = 0 and a kernel of extreme slope: l = Logistic(1, 0, 1, 0, 1, slope, centre) is 0, and
    // an OTU absent from the metacommunity can arrive only through l.
    SmallRun run(3, 4, 1, 20, 10);
    run.Neutral(0.0);
    run.set.kernelSlope1 = run.set.kernelSlope2 = -1e6;
    run.Run(2);
    EXPECT_EQ(run.m.total, 0);
    for (int o = 0; o < 4; o++) EXPECT_EQ(run.m.kernel[o][0], 0.0);
}

TEST(AssemblyRun, ANeighbourWithinTheKernelsReachIsColonisedAtOnce) {
    // One OTU, flat survival and density, lmin 0.5 and a kernel that steps down at distance 0.5.
    // Sites 1 and 2 lie 0.01 apart, site 3 at 1: an occupied neighbour 0.01 away makes local
    // dispersal certain (1 (1 - l) + l = 1), a site farther than 0.5 gives only l. Once either of
    // sites 1 and 2 holds the OTU, the other gains it in the same step or the next, and each
    // occupied site gains one individual a step (nobody dies): their totals differ by 1 at most.
    for (unsigned long seed = 1; seed <= 20; seed++) {
        SmallRun run(3, 1, 1, 20, 100);
        run.Neutral(0.5);
        run.set.kernelSlope1 = run.set.kernelSlope2 = -1e6;
        run.set.kernelCentre1 = run.set.kernelCentre2 = 0.5;
        run.set.coordMode = 'c';
        run.m.coords[0][1] = 1, run.m.coords[0][2] = 100;
        run.Run(seed);
        EXPECT_LE(std::abs(run.m.a[0] - run.m.a[1]), 1) << seed;
        EXPECT_GT(run.m.a[0], 0) << seed;
    }
}

TEST(AssemblyRun, DeathsNeedASurvivalAndADensityTermBelowOne) {
    // Death of an individual needs u < (1 - S) phi and then u < (q0 - q) phi: a flat density
    // curve (q = q0) kills nobody whatever the filter, a decreasing one does once sites fill.
    SmallRun run(4, 6, 1, 300, 8);
    run.Neutral(1.0);
    run.m.A[0][0] = 1.0;
    run.m.considered[0] = 1;
    run.set.survivalSlope1 = run.set.survivalSlope2 = -0.5;
    const std::string flat = run.StepFileText(3, &AssemblyStepFiles::community);
    EXPECT_EQ((V{double(Count(flat, "AFTER mortality")), double(Count(flat, "BEFORE mortality"))}), (V{0, 300}));
    run.set.densitySlope1 = run.set.densitySlope2 = -0.5;
    const std::string steep = run.StepFileText(3, &AssemblyStepFiles::community);
    EXPECT_GT(Count(steep, "AFTER mortality"), 0);
    EXPECT_NE(steep.find("\nCommunity data matrix at step 1, BEFORE mortality, for 4 community sites in rows and 6 "
                         "OTUs in columns:\n"),
              std::string::npos);
}

TEST(AssemblyRun, StepFilesListEachSiteOfEachStep) {
    SmallRun run(2, 3, 1, 3, 8);
    run.Neutral(1.0);
    // Factor 1..2 standardised: -1 and 1, unchanged without feedback.
    EXPECT_EQ(run.StepFileText(4, &AssemblyStepFiles::env), "1\t1\t-1\t\n1\t2\t1\t\n2\t1\t-1\t\n2\t2\t1\t\n3\t1\t-1\t\n3\t2\t1\t\n");
    // One OTU, whose z-score is 0: every community-weighted mean is 0, at the empty sites too.
    SmallRun one(2, 1, 1, 2, 8);
    one.Neutral(1.0);
    EXPECT_EQ(one.StepFileText(4, &AssemblyStepFiles::cwm), "1\t1\t0\t\n1\t2\t0\t\n2\t1\t0\t\n2\t2\t0\t\n");
    EXPECT_EQ(Count(run.StepFileText(4, &AssemblyStepFiles::distances),
                    "Traits that were considered to compute these distances (traits with non-zero parameters for "
                    "community responses to ecosystem conditions): \t0\t\n"),
              3);
}

}  // namespace
