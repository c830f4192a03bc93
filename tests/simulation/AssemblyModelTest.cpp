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
#include "simulation/TNXSIMMODEL.h"

namespace {

// A small model: n sites, s OTUs, p traits, one factor from "file" with values 1..n, B with
// trait t of OTU o equal to o + 1 + t (o 0-based), every parameter at random from the ranges given.
struct SmallRun {
    AssemblySettings set;
    AssemblyModel m;
    SmallRun(int n, int s, int p, int G, int M) {
        set.n = n;
        set.s = s;
        set.p = p;
        set.f = 1;
        set.v = 1;
        set.G = G;
        set.M = M;
        set.kernelMode = set.survivalMode = set.densityMode = 'r';
        set.coordMode = 'r';
        set.envMode = 'e';
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
        set.kernelSlope1 = set.kernelSlope2 = 0.0;
        set.survivalSlope1 = set.survivalSlope2 = 0.0;
        set.densitySlope1 = set.densitySlope2 = 0.0;
        set.kernelCentre1 = set.survivalCentre1 = set.densityCentre1 = 0.2;
        set.kernelCentre2 = set.survivalCentre2 = set.densityCentre2 = 0.8;
    }
    void Run(unsigned long seed) {
        InitRndNumberGenerator(seed);
        ASSERT_TRUE(PrepareDataSet(set, &m));
        RunAssemblySteps(set, &m, 1, AssemblyStepFiles{});
    }
    std::vector<double> Cells() const {
        std::vector<double> v;
        for (int k = 0; k <= set.n; k++)
            for (int o = 0; o < set.s; o++) v.push_back(m.W[k][o]);
        return v;
    }
};

TEST(ScaledLogistic, EndsAreOneAndZeroAndTheCentreIsHalf) {
    // L(x) = 1 / (1 + exp(20 (x - 0.5))) for slope -5 on [0, 1]: L(0) + L(1) = 1 and L(0.5) = 0.5,
    // so the scaled value at the centre is (0.5 - L(1)) / (L(0) - L(1)) = 0.5.
    EXPECT_DOUBLE_EQ(ScaledLogistic(0.0, 0.0, 1.0, 0.0, -5.0, 0.5), 1.0);
    EXPECT_DOUBLE_EQ(ScaledLogistic(1.0, 0.0, 1.0, 0.0, -5.0, 0.5), 0.0);
    EXPECT_NEAR(ScaledLogistic(0.5, 0.0, 1.0, 0.0, -5.0, 0.5), 0.5, 1e-12);
    // Over [0, 10] with centre 0.3 the curve is centred at x = 3.
    EXPECT_NEAR(ScaledLogistic(3.0, 0.0, 10.0, 0.0, -2.0, 0.3),
                (0.5 - 1.0 / (1.0 + std::exp(-8.0 * (10.0 - 3.0)))) /
                    (1.0 / (1.0 + std::exp(-8.0 * (0.0 - 3.0))) - 1.0 / (1.0 + std::exp(-8.0 * (10.0 - 3.0)))),
                1e-12);
}

TEST(ScaledLogistic, DecreasesWithANegativeSlope) {
    double last = 2.0;
    for (double x = 0.0; x <= 1.0; x += 0.05) {
        const double y = ScaledLogistic(x, 0.0, 1.0, 0.2, -3.0, 0.4);
        EXPECT_LT(y, last);
        EXPECT_GE(y, -1e-15);
        EXPECT_LE(y, 1.0 + 1e-15);
        last = y;
    }
}

TEST(ScaledLogistic, FlatCurveGivesOneNeverNaN) {
    struct Case {
        double x, loX, hiX, lo, slope, centre;
    };
    const Case cases[] = {
        {0.3, 0.0, 1.0, 0.0, 0.0, 0.5},   // neutral slope
        {0.0, 0.0, 0.0, 0.0, -5.0, 0.5},  // no range (dmax = 0)
        {0.7, 0.0, 1.0, 1.0, -5.0, 0.5},  // lower bound 1: the curve has no height
    };
    for (const Case& c : cases) EXPECT_EQ(ScaledLogistic(c.x, c.loX, c.hiX, c.lo, c.slope, c.centre), 1.0);
}

TEST(InteractionRows, PairsInOrderAndNoneForOneFactor) {
    double** E = dim2Double(6, 2);
    const double f0[] = {1, 2}, f1[] = {3, 5}, f2[] = {-1, 4};
    for (int k = 0; k < 2; k++) {
        E[0][k] = f0[k];
        E[1][k] = f1[k];
        E[2][k] = f2[k];
    }
    FormInteractionRows(3, 2, true, E);
    for (int k = 0; k < 2; k++) {
        EXPECT_EQ(E[3][k], f0[k] * f1[k]);
        EXPECT_EQ(E[4][k], f0[k] * f2[k]);
        EXPECT_EQ(E[5][k], f1[k] * f2[k]);
    }
    E[3][0] = 99;
    FormInteractionRows(3, 2, false, E);
    EXPECT_EQ(E[3][0], 99);
    FormInteractionRows(1, 2, true, E);
    EXPECT_EQ(E[1][0], 3);  // f = 1: no pair, the next row is untouched
    free2D(E, 6);
}

TEST(SiteDistances, ScaledToLargestOneAndSymmetric) {
    // Sites (0,0), (3,0), (0,4): distances 3, 4 and 5, scaled 0.6, 0.8 and 1.
    double** c = dim2Double(2, 3);
    double** D = dim2Double(3, 3);
    c[0][1] = 3;
    c[1][2] = 4;
    ScaleSiteDistances(3, c, D);
    EXPECT_DOUBLE_EQ(D[0][1], 0.6);
    EXPECT_DOUBLE_EQ(D[0][2], 0.8);
    EXPECT_DOUBLE_EQ(D[1][2], 1.0);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(D[i][i], 0.0);
        for (int j = 0; j < 3; j++) EXPECT_EQ(D[i][j], D[j][i]);
    }
    // All at one location: every distance 0, never 0/0.
    for (int k = 0; k < 3; k++) c[0][k] = c[1][k] = 7;
    ScaleSiteDistances(3, c, D);
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) EXPECT_EQ(D[i][j], 0.0);
    free2D(c, 2);
    free2D(D, 3);
}

TEST(Standardize, TraitsTwoScalesAndConstantColumn) {
    // Column 1..5: mean 3, SS = 10; reported sd sqrt(10/4), z-scores (x - 3) / sqrt(10/5).
    float** B = dim2Dfloat(5, 2);
    for (int o = 0; o < 5; o++) {
        B[o][0] = static_cast<float>(o + 1);
        B[o][1] = 4.0f;
    }
    double mean[2], sd[2], lo[2], hi[2];
    StandardizeTraits(5, 2, B, mean, sd, lo, hi);
    EXPECT_DOUBLE_EQ(mean[0], 3.0);
    EXPECT_NEAR(sd[0], std::sqrt(2.5), 1e-12);
    for (int o = 0; o < 5; o++) EXPECT_NEAR(B[o][0], (o + 1 - 3.0) / std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(lo[0], -std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(hi[0], std::sqrt(2.0), 1e-6);
    // A constant trait is centred and scaled by 1.
    EXPECT_EQ(sd[1], 0.0);
    for (int o = 0; o < 5; o++) EXPECT_EQ(B[o][1], 0.0f);
    EXPECT_EQ(lo[1], 0.0);
    EXPECT_EQ(hi[1], 0.0);
    free2D(B, 5);
}

TEST(Standardize, FactorRowsAcrossSites) {
    // Row 1..4: mean 2.5, SS = 5, divisor sqrt(5/4).
    double** E = dim2Double(2, 4);
    for (int k = 0; k < 4; k++) {
        E[0][k] = k + 1;
        E[1][k] = 3;
    }
    StandardizeFactorRows(2, 4, E);
    for (int k = 0; k < 4; k++) {
        EXPECT_NEAR(E[0][k], (k + 1 - 2.5) / std::sqrt(1.25), 1e-12);
        EXPECT_EQ(E[1][k], 0.0);
    }
    free2D(E, 2);
}

TEST(PrepareDataSet, DrawsInTheModelsOrder) {
    SmallRun run(3, 4, 2, 1, 5);
    AssemblySettings& set = run.set;
    set.lmin = 0.1;
    set.kernelSlope1 = -1, set.kernelSlope2 = -6, set.kernelCentre1 = 0.2, set.kernelCentre2 = 0.7;
    set.survivalSlope1 = -2, set.survivalSlope2 = -3, set.survivalCentre1 = 0.1, set.survivalCentre2 = 0.9;
    set.densitySlope1 = -4, set.densitySlope2 = -8, set.densityCentre1 = 0.3, set.densityCentre2 = 0.6;
    InitRndNumberGenerator(99);
    ASSERT_TRUE(PrepareDataSet(set, &run.m));

    // The same draws by hand: kernel slopes, kernel centres, X row, Y row, survival slopes and
    // centres, density slopes and centres.
    InitRndNumberGenerator(99);
    auto u = [] { return gsl_rng_uniform(r); };
    for (int o = 0; o < 4; o++) EXPECT_EQ(run.m.kernel[o][1], -1 + u() * (-6 + 1));
    for (int o = 0; o < 4; o++) EXPECT_EQ(run.m.kernel[o][2], 0.2 + u() * (0.7 - 0.2));
    for (int k = 0; k < 3; k++) EXPECT_EQ(run.m.coords[0][k], 100 * u());
    for (int k = 0; k < 3; k++) EXPECT_EQ(run.m.coords[1][k], 100 * u());
    for (int o = 0; o < 4; o++) EXPECT_EQ(run.m.survival[o][0], -2 + u() * (-3 + 2));
    for (int o = 0; o < 4; o++) EXPECT_EQ(run.m.survival[o][1], 0.1 + u() * (0.9 - 0.1));
    for (int o = 0; o < 4; o++) EXPECT_EQ(run.m.density[o][0], -4 + u() * (-8 + 4));
    for (int o = 0; o < 4; o++) EXPECT_EQ(run.m.density[o][1], 0.3 + u() * (0.6 - 0.3));
    for (int o = 0; o < 4; o++)
        EXPECT_EQ(run.m.kernel[o][0], Logistic(1.0, 0.0, 1.0, 0.1, 1.0, run.m.kernel[o][1], run.m.kernel[o][2]));
    // The environment from file is reset to its initial conditions.
    for (int k = 0; k < 3; k++) EXPECT_EQ(run.m.E[0][k], run.m.E0[0][k]);
}

TEST(AssemblyRun, BookkeepingHoldsAndSeedRepeatsTheRun) {
    SmallRun run(4, 6, 2, 40, 6);
    run.set.lmin = 0.2;
    run.set.kernelSlope1 = -3, run.set.kernelSlope2 = -6, run.set.kernelCentre1 = 0.3, run.set.kernelCentre2 = 0.6;
    run.set.survivalSlope1 = -1, run.set.survivalSlope2 = -5, run.set.survivalCentre1 = 0.3;
    run.set.survivalCentre2 = 0.7;
    run.set.densitySlope1 = -5, run.set.densitySlope2 = -5, run.set.densityCentre1 = run.set.densityCentre2 = 0.5;
    run.m.A[0][0] = 1.0;
    run.m.considered[0] = 1;
    run.Run(5);
    const AssemblyModel& m = run.m;
    int total = 0;
    for (int k = 0; k < 4; k++) {
        double row = 0;
        for (int o = 0; o < 6; o++) {
            EXPECT_GE(m.W[k][o], 0.0);
            EXPECT_EQ(m.W[k][o], std::floor(m.W[k][o]));
            row += m.W[k][o];
        }
        EXPECT_EQ(row, m.a[k]);
        total += m.a[k];
        EXPECT_LE(m.a[k], 40);  // at most one individual per site and step
    }
    EXPECT_EQ(total, m.total);
    for (int o = 0; o < 6; o++) {
        double col = 0;
        for (int k = 0; k < 4; k++) col += m.W[k][o];
        EXPECT_EQ(col, m.W[4][o]);
    }
    for (int k = 0; k < 4; k++)
        for (int o = 0; o < 6; o++) {
            EXPECT_GE(m.S[k][o], 0.0);
            EXPECT_LE(m.S[k][o], 1.0);
        }
    EXPECT_GT(m.total, 0);
    const std::vector<double> first = run.Cells();
    run.Run(5);
    EXPECT_EQ(run.Cells(), first);
    run.Run(6);
    EXPECT_NE(run.Cells(), first);
}

TEST(AssemblyRun, NeutralModelFillsOneIndividualPerSiteAndStep) {
    // lmin = 1 makes every long-distance and local dispersal certain, flat survival and density
    // curves give S = Q = 1, and a survival of 1 gives a death probability (1 - S) phi = 0: each
    // site gains exactly one individual per step and nobody dies.
    SmallRun run(3, 5, 1, 12, 100);
    run.Neutral(1.0);
    run.set.h = 0.0;  // recording from the first step (g > 0)
    run.Run(11);
    const AssemblyModel& m = run.m;
    for (int k = 0; k < 3; k++) EXPECT_EQ(m.a[k], 12);
    EXPECT_EQ(m.total, 36);
    EXPECT_EQ(m.recordStep, 1);
    // Nothing died, so every OTU present at a site was counted once as a colonisation there;
    // the richness was taken at step 1, before the first colonisation.
    for (int k = 0; k < 3; k++) {
        int present = 0;
        for (int o = 0; o < 5; o++) present += m.W[k][o] > 0;
        EXPECT_EQ(m.colonisations[k], present);
        EXPECT_EQ(m.extinctions[k], 0);
        EXPECT_EQ(m.richness[k], 0);
    }
}

TEST(AssemblyRun, RecordingStartsWhenTheTotalPassesItsShareOfMN) {
    // One individual per site and step (neutral, lmin = 1): at the start of step g the total is
    // n (g - 1). With n = 3, M = 4 and h = 0.5 the total must pass 0.5 x 12 = 6, first at g = 4
    // (total 9), long before g passes 0.5 x 100.
    SmallRun run(3, 5, 1, 100, 4);
    run.Neutral(1.0);
    run.set.h = 0.5;
    run.Run(8);
    EXPECT_EQ(run.m.recordStep, 4);
    // The richness was taken then: 3 individuals per site, of at most 3 OTUs.
    for (int k = 0; k < 3; k++) {
        EXPECT_GE(run.m.richness[k], 1);
        EXPECT_LE(run.m.richness[k], 3);
    }
}

TEST(AssemblyRun, RecordingNeverStartsBelowAFullThreshold) {
    // h = 1: total > M n and g > G never hold, so the counters stay 0 and the step 0.
    SmallRun run(3, 4, 1, 5, 100);
    run.Neutral(1.0);
    run.set.h = 1.0;
    run.Run(3);
    EXPECT_EQ(run.m.recordStep, 0);
    for (int k = 0; k < 3; k++) EXPECT_EQ(run.m.colonisations[k] + run.m.richness[k], 0);
}

TEST(AssemblyRun, FeedbackMovesTheEnvironmentOnlyFromStepTwo) {
    SmallRun run(3, 5, 1, 1, 100);
    run.Neutral(1.0);
    run.m.A[0][0] = 1.0;
    run.m.K[0][0] = 0.5;
    run.Run(4);
    // G = 1: no feedback.
    for (int k = 0; k < 3; k++) EXPECT_EQ(run.m.E[0][k], run.m.E0[0][k]);
    run.set.G = 6;
    run.Run(4);
    // E grew by K (C(g) - C(g-1)) from step 2 on: the sum telescopes to K (C(G) - C(1)).
    bool moved = false;
    for (int k = 0; k < 3; k++) moved = moved || run.m.E[0][k] != run.m.E0[0][k];
    EXPECT_TRUE(moved);
    run.m.K[0][0] = 0.0;
    run.Run(4);
    for (int k = 0; k < 3; k++) EXPECT_EQ(run.m.E[0][k], run.m.E0[0][k]);
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
        const double expected = c > m.zmax[0] ? c - m.zmax[0] : (c < m.zmin[0] ? c - m.zmin[0] : 0.0);
        EXPECT_EQ(m.extrap[0][k], expected);
        EXPECT_NEAR(c, (100.0 * m.E[0][k] - m.mean[0]) / m.sd[0], 1e-9);
    }
    EXPECT_GT(m.extrap[0][3], 0.0);
    EXPECT_LT(m.extrap[0][0], 0.0);
}

// The text a model run writes to a per-step file.
std::string StepFileText(SmallRun& run, unsigned long seed, FILE* AssemblyStepFiles::*which) {
    FILE* f = std::tmpfile();
    AssemblyStepFiles files;
    files.*which = f;
    InitRndNumberGenerator(seed);
    EXPECT_TRUE(PrepareDataSet(run.set, &run.m));
    RunAssemblySteps(run.set, &run.m, 1, files);
    std::string text;
    std::rewind(f);
    for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) text += static_cast<char>(c);
    std::fclose(f);
    return text;
}

int Occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
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

TEST(AssemblyRun, DeathsNeedASurvivalAndADensityTermBelowOne) {
    // Death of an individual needs u < (1 - S) phi and then u < (q0 - q) phi: a flat density
    // curve (q = q0) kills nobody whatever the filter, a decreasing one does once sites fill.
    SmallRun run(4, 6, 1, 300, 8);
    run.Neutral(1.0);
    run.m.A[0][0] = 1.0;
    run.m.considered[0] = 1;
    run.set.survivalSlope1 = run.set.survivalSlope2 = -0.5;
    const std::string flat = StepFileText(run, 3, &AssemblyStepFiles::community);
    EXPECT_EQ(Occurrences(flat, "AFTER mortality"), 0);
    EXPECT_EQ(Occurrences(flat, "BEFORE mortality"), 300);
    run.set.densitySlope1 = run.set.densitySlope2 = -0.5;
    const std::string steep = StepFileText(run, 3, &AssemblyStepFiles::community);
    EXPECT_GT(Occurrences(steep, "AFTER mortality"), 0);
    EXPECT_NE(steep.find("\nCommunity data matrix at step 1, BEFORE mortality, for 4 community sites in rows and 6 "
                         "OTUs in columns:\n"),
              std::string::npos);
}

TEST(AssemblyRun, StepFilesListEachSiteOfEachStep) {
    SmallRun run(2, 3, 1, 3, 8);
    run.Neutral(1.0);
    const std::string env = StepFileText(run, 4, &AssemblyStepFiles::env);
    // Factor 1..2 standardised: -1 and 1, unchanged without feedback.
    EXPECT_EQ(env, "1\t1\t-1\t\n1\t2\t1\t\n2\t1\t-1\t\n2\t2\t1\t\n3\t1\t-1\t\n3\t2\t1\t\n");
    const std::string dist = StepFileText(run, 4, &AssemblyStepFiles::distances);
    EXPECT_EQ(Occurrences(dist, "Traits that were considered to compute these distances (traits with non-zero "
                                "parameters for community responses to ecosystem conditions): \t0\t\n"),
              3);
}

}  // namespace
