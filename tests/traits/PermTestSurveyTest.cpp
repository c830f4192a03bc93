// The permutation-test engine at survey scale, every OTU its own type (more columns than the
// engine's direct loops take, so X, the Rao entropies and the distances among communities come
// from the BLAS): the observed statistics against the library's forms on X, R and P formed by
// plain loops in the test, identity lists, and the same probabilities on one thread and four.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "common/ClaimedCpus.h"
#include "foundation/TnxBlas.h"
#include "matrix/core/qwlibRandom.h"
#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResRao.h"
#include "statistics/qwlibResCompare.h"
#include "traits/RefusedThreads.h"
#include "traits/TNXPERMTEST.h"

namespace {

const int sN = 14, sS = 40, sP = 3, sV = 2, sQ = 4, sA = 2;

// Euclidean distances among the rows, both halves.
template <class T>
void Euclid(int rows, int cols, T** x, double** d) {
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < rows; j++) {
            double sum = 0;
            for (int c = 0; c < cols; c++) sum += (double(x[i][c]) - x[j][c]) * (double(x[i][c]) - x[j][c]);
            d[i][j] = std::sqrt(sum);
        }
}

// A survey drawn with a fixed seed: about a third of the cells occupied, abundances 1-5, every
// OTU its own type (belonging 0 crisp, 1 fuzzy with a share in the next OTU's type, 2 fuzzy with
// a share in every type, a table without zeros), four taxa.
struct Survey {
    Mat<double> W{sN, sS}, U{sS, sS}, Q{sS, sQ}, E{sN, sV}, Y{sN, sS}, Z{sN, sS};
    Mat<double> DE{sN, sN}, DY{sN, sN}, DZ{sN, sN}, Sf{sS, sS};
    Mat<float> B{sS, sP}, Sb{sS, sS}, axes{sS, sA};
    int sel[sP] = {1, 1, 1};
    int nest[sS];
    PermTest_FunctionalPhyl_Correl_Input in{};

    Survey(int optRo, int belonging) {
        std::mt19937 gen(417);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        for (int o = 0; o < sS; o++) {
            for (int t = 0; t < sP; t++) B[o][t] = float(10 * u(gen));
            for (int t = 0; t < sA; t++) axes[o][t] = float(u(gen) - 0.5);
            U[o][o] = belonging == 0 ? 1.0 : 0.7;
            if (belonging == 1) U[o][(o + 1) % sS] = 0.3;
            if (belonging == 2)
                for (int t = 0; t < sS; t++)
                    if (t != o) U[o][t] = 0.3 / (sS - 1);
            Q[o][o % sQ] = 1;
            nest[o] = o + 1;
        }
        Mat<double> d(sS, sS);
        Euclid(sS, sP, static_cast<float**>(B), d);
        Similarity(d, Sb);
        Euclid(sS, sA, static_cast<float**>(axes), d);
        Similarity(d, Sf);
        for (int c = 0; c < sN; c++) {
            for (int o = 0; o < sS; o++) {
                if (u(gen) < 0.35) W[c][o] = 1 + int(5 * u(gen));
                Y[c][o] = W[c][o] + u(gen);
                Z[c][o] = std::sqrt(W[c][o]) + u(gen);
            }
            for (int j = 0; j < sV; j++) E[c][j] = u(gen) + (j == 0 ? 0.1 * W[c][0] : 0.0);
        }
        Euclid(sN, sV, static_cast<double**>(E), DE);
        Euclid(sN, sS, static_cast<double**>(Y), DY);
        Euclid(sN, sS, static_cast<double**>(Z), DZ);
        in.iterations = 1, in.nTraits = sP, in.traitSelected = sel, in.nOTUs = sS, in.nTypes = sS, in.nEnv = sV;
        in.nCommunities = sN, in.nTaxa = sQ, in.nPhylAxes = sA;
        in.B = B, in.Sb = Sb, in.phylAxes = axes, in.Sf = Sf, in.E = E, in.U = U, in.Q = Q, in.W = W;
        in.DE = DE, in.DY = DY, in.DZ = DZ, in.Y = Y, in.Z = Z;
        in.reseOpt = 6, in.optRo = optRo, in.overfitFactor = 2.0, in.includePhylogeny = true;
        in.sqrtRaoTraits = true, in.sqrtRaoPhyl = false, in.restriction = 0, in.nestingGroups = nest;
        in.twoTailed = true;
    }
    // s = 1 - d / max(d).
    template <class T>
    static void Similarity(Mat<double>& d, Mat<T>& s) {
        double mx = 0;
        for (int i = 0; i < sS; i++)
            for (int j = 0; j < sS; j++) mx = std::fmax(mx, d[i][j]);
        for (int i = 0; i < sS; i++)
            for (int j = 0; j < sS; j++) s[i][j] = T(1 - d[i][j] / mx);
    }
};

// Within 1e-9 of the reference, relative.
void ExpectClose(double got, double want, const std::string& what) {
    EXPECT_NEAR(got, want, 1e-9 * std::fabs(want) + 1e-15) << what;
}

// The observed ro(XE), r(XY), ro(RE), ro(PE) and r(FE) against the library's forms on X = W U,
// P = W Q and the Rao entropies of RaoIndex, all formed by plain loops here: Mantel from the
// distances among the rows, Procrustes from the rotation form (GSL's Jacobi), RV.
TEST(PermTestSurvey, ObservedStatisticsEqualTheLibraryForms) {
    for (int optRo : {1, 2, 3})
        for (int belonging : {0, 1, 2}) {
            Survey d(optRo, belonging);
            ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
            Mat<double> X(sN, sS), P(sN, sQ), R(sN, 1), F(sN, 1), SbD(sS, sS);
            for (int i = 0; i < sS; i++)
                for (int j = 0; j < sS; j++) SbD[i][j] = d.Sb[i][j];
            for (int c = 0; c < sN; c++) {
                for (int o = 0; o < sS; o++) {
                    for (int t = 0; t < sS; t++) X[c][t] += d.W[c][o] * d.U[o][t];
                    for (int t = 0; t < sQ; t++) P[c][t] += d.W[c][o] * d.Q[o][t];
                }
                R[c][0] = RaoIndex(sS, d.W[c], static_cast<double**>(SbD), false, true);
                F[c][0] = RaoIndex(sS, d.W[c], static_cast<double**>(d.Sf), false, false);
            }
            const std::string what = std::to_string(optRo) + " belonging " + std::to_string(belonging);
            if (optRo == 1) {
                Mat<double> DX(sN, sN), DP(sN, sN), DR(sN, sN), DF(sN, sN);
                Euclid(sN, sS, static_cast<double**>(X), DX);
                Euclid(sN, sQ, static_cast<double**>(P), DP);
                Euclid(sN, 1, static_cast<double**>(R), DR);
                Euclid(sN, 1, static_cast<double**>(F), DF);
                ExpectClose(d.in.observed[kRoXE], MatrixCorr(sN, d.DE, DX), what + " XE");
                ExpectClose(d.in.observed[kRXY], MatrixCorr(sN, DX, d.DY), what + " XY");
                ExpectClose(d.in.observed[kRoRE], MatrixCorr(sN, d.DE, DR), what + " RE");
                ExpectClose(d.in.observed[kRoPE], MatrixCorr(sN, d.DE, DP), what + " PE");
                ExpectClose(d.in.observed[kRFE], MatrixCorr(sN, d.DE, DF), what + " FE");
            } else {
                Mat<double> rot(sN, sS);
                auto coeff = [&](double** a, int pa, double** b, int pb) {
                    return optRo == 2 ? ProcrustesCoeff(sN, pa, pb, a, b, static_cast<double**>(rot))
                                      : RVcoeff(sN, pa, pb, a, b);
                };
                ExpectClose(d.in.observed[kRoXE], coeff(X, sS, d.E, sV), what + " XE");
                ExpectClose(d.in.observed[kRXY], coeff(X, sS, d.Y, sS), what + " XY");
                ExpectClose(d.in.observed[kRoRE], coeff(R, 1, d.E, sV), what + " RE");
                ExpectClose(d.in.observed[kRoPE], coeff(P, sQ, d.E, sV), what + " PE");
                ExpectClose(d.in.observed[kRFE], coeff(F, 1, d.E, sV), what + " FE");
            }
            EXPECT_GT(std::fabs(d.in.observed[kRXY]), 0.05) << what;
        }
}

// A missing resemblance between two OTUs (one cell of Sb and one of Sf at -999) drops that pair from
// the Rao entropies: R and F formed here from the relative abundances and the other pairs,
// 2 sum over a < b of p_a p_b d_ab with d = sqrt(1 - s) for the traits and 1 - s for the phylogeny,
// each community's value as handed back and their correlations with E.
TEST(PermTestSurvey, AMissingResemblanceDropsItsPairFromTheRaoEntropies) {
    Survey d(1, 0);
    d.Sb[1][3] = float(MissingValue);
    d.Sf[0][4] = MissingValue;
    double outR[sN] = {}, outF[sN] = {};
    d.in.handBack = true, d.in.outR = outR, d.in.outRaoPhyl = outF;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    Mat<double> R(sN, 1), F(sN, 1), DR(sN, sN), DF(sN, sN);
    for (int c = 0; c < sN; c++) {
        double total = 0.0;
        for (int o = 0; o < sS; o++) total += d.W[c][o];
        for (int a = 0; a < sS && total > 0.0; a++)
            for (int b = a + 1; b < sS; b++) {
                const double pp = 2.0 * d.W[c][a] * d.W[c][b] / (total * total);
                if (!(a == 1 && b == 3)) R[c][0] += pp * std::sqrt(1.0 - double(d.Sb[a][b]));
                if (!(a == 0 && b == 4)) F[c][0] += pp * (1.0 - d.Sf[a][b]);
            }
    }
    for (int c = 0; c < sN; c++) {
        ExpectClose(outR[c], R[c][0], "R " + std::to_string(c));
        ExpectClose(outF[c], F[c][0], "F " + std::to_string(c));
    }
    Euclid(sN, 1, static_cast<double**>(R), DR);
    Euclid(sN, 1, static_cast<double**>(F), DF);
    ExpectClose(d.in.observed[kRoRE], MatrixCorr(sN, d.DE, DR), "RE");
    ExpectClose(d.in.observed[kRFE], MatrixCorr(sN, d.DE, DF), "FE");
}

// A community without any OTU has no diversity: its Rao entropies are 0 (not 0/0), so r(RE) and
// r(FE) are those of the other communities' entropies beside a 0.
TEST(PermTestSurvey, AnEmptyCommunityHasEntropyZero) {
    Survey d(1, 0);
    for (int o = 0; o < sS; o++) d.W[0][o] = 0.0;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    Mat<double> R(sN, 1), F(sN, 1), SbD(sS, sS), DR(sN, sN), DF(sN, sN);
    for (int i = 0; i < sS; i++)
        for (int j = 0; j < sS; j++) SbD[i][j] = d.Sb[i][j];
    for (int c = 1; c < sN; c++) {
        R[c][0] = RaoIndex(sS, d.W[c], static_cast<double**>(SbD), false, true);
        F[c][0] = RaoIndex(sS, d.W[c], static_cast<double**>(d.Sf), false, false);
    }
    Euclid(sN, 1, static_cast<double**>(R), DR);
    Euclid(sN, 1, static_cast<double**>(F), DF);
    ExpectClose(d.in.observed[kRoRE], MatrixCorr(sN, d.DE, DR), "RE");
    ExpectClose(d.in.observed[kRFE], MatrixCorr(sN, d.DE, DF), "FE");
}

// Every OTU its own nesting group: each list is the identity, each random value the observed
// one, so every probability is 1 under each measure, phylogeny included.
TEST(PermTestSurvey, IdentityListsGiveProbabilityOneEverywhere) {
    for (int optRo : {1, 2, 3}) {
        Survey d(optRo, 2);
        d.in.iterations = 6;
        d.in.restriction = 1;
        InitRndNumberGenerator(5);
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
        for (int i = 0; i < kPermTestStats; i++) EXPECT_EQ(d.in.probability[i], 1.0) << optRo << " " << i;
    }
}

// Real permutations and draws from the occurrences: the probabilities on four threads are those
// of one thread, and they are not all 1.
TEST(PermTestSurvey, FourThreadsGiveTheProbabilitiesOfOne) {
    const char* env = std::getenv("TARNEX_THREADS");
    const std::string saved = env ? env : "";
    const ClaimedCpus cpus(4);
    for (int optRo : {1, 2, 3})
        for (bool weighted : {false, true}) {
            double prob[2][kPermTestStats];
            for (int run = 0; run < 2; run++) {
                setenv("TARNEX_THREADS", run == 0 ? "1" : "4", 1);
                Survey d(optRo, weighted ? 2 : 0);
                d.in.iterations = 25;
                d.in.weightedNullModel = weighted;
                InitRndNumberGenerator(21);
                ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
                for (int i = 0; i < kPermTestStats; i++) prob[run][i] = d.in.probability[i];
            }
            int belowOne = 0;
            for (int i = 0; i < kPermTestStats; i++) {
                EXPECT_EQ(prob[1][i], prob[0][i]) << optRo << " " << weighted << " " << i;
                belowOne += prob[0][i] < 1.0;
            }
            EXPECT_GT(belowOne, 5) << optRo << " " << weighted;
        }
    if (env)
        setenv("TARNEX_THREADS", saved.c_str(), 1);
    else
        unsetenv("TARNEX_THREADS");
}

// Four threads asked for while the system refuses every start, or every start after the first:
// the threads that run take the refused ones' share, and the probabilities are one thread's.
TEST(PermTestSurvey, ThreadsTheSystemRefusesLeaveTheirShareToTheOthers) {
    const char* env = std::getenv("TARNEX_THREADS");
    const std::string saved = env ? env : "";
    double one[kPermTestStats];
    setenv("TARNEX_THREADS", "1", 1);
    {
        Survey d(2, 2);
        d.in.iterations = 25;
        InitRndNumberGenerator(21);
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
        std::copy(d.in.probability, d.in.probability + kPermTestStats, one);
    }
    setenv("TARNEX_THREADS", "4", 1);
    const ClaimedCpus cpus(4);
    for (int allowed : {0, 1}) {
        Survey d(2, 2);
        d.in.iterations = 25;
        InitRndNumberGenerator(21);
        RefusedThreads refusal(allowed);
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in)) << allowed;
        EXPECT_GE(refusal.Refused(), 1) << allowed;
        for (int i = 0; i < kPermTestStats; i++) EXPECT_EQ(d.in.probability[i], one[i]) << allowed << " " << i;
    }
    if (env)
        setenv("TARNEX_THREADS", saved.c_str(), 1);
    else
        unsetenv("TARNEX_THREADS");
}

// Four threads asked for while the first thread start lowers the address-space limit of the
// process (a child) below a BLAS work buffer: every worker beyond the calling thread, which holds
// its buffer and its work space already, is refused its buffer before it makes its space and
// leaves its share to the calling thread. The probabilities are one thread's; the child's status
// sets one bit per check that failed.
TEST(PermTestSurvey, WorkersRefusedTheirBufferLeaveTheirShareToTheCallingThread) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const ClaimedCpus cpus(4);
        double one[kPermTestStats];
        setenv("TARNEX_THREADS", "1", 1);
        {
            Survey d(2, 2);
            d.in.iterations = 25;
            InitRndNumberGenerator(21);
            if (!PermTest_FunctionalPhyl_Correl(&d.in)) _exit(1);
            std::copy(d.in.probability, d.in.probability + kPermTestStats, one);
        }
        setenv("TARNEX_THREADS", "4", 1);
        Survey d(2, 2);
        d.in.iterations = 25;
        InitRndNumberGenerator(21);
        bool done = false;
        {
            const LimitAtFirstStart limit(BlasBufferBytes() / 2);
            done = PermTest_FunctionalPhyl_Correl(&d.in);
        }
        int failed = done ? 0 : 2;
        for (int i = 0; i < kPermTestStats; i++)
            if (!(d.in.probability[i] == one[i])) failed |= 4;
        _exit(failed);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
