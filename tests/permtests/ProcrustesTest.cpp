// The Procrustes permutation tests on MantelData: the observed congruences against R
// (r/procrustes.R: vegan::protest(symmetric = TRUE), ade4::procuste.rtest and RV.rtest, lm
// residuals for the partialled ones), the probability of trace(TE) against all 120 arrangements,
// the guards, the selection and S left as the caller expects, residuals that vanish or alias,
// and the texts and lists of the three members.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "MantelData.h"
#include "permtests/qwlibPermProcrustes.h"
#include "permtests/qwlibPermTests.h"

namespace {

// The five congruences of the multi-statistic test in the order counted: TE, XE, XE.T, RE, XE.TR.
std::vector<double> Traits(MantelData& d, int communities, int* select, float** B) {
    ProcrustesTraitsTest t(kOtus, kTraits, kTypes, 2, communities, select, B, d.S, d.U, d.W, d.Ef);
    t.Arrange(d.identity);
    return {t.stat, t.stat + 5};
}

TEST(Procrustes, ObservedCongruencesAgreeWithR) {
    MantelData d;
    ProcrustesTest te(ProcrustesStatistic::kTE, kOtus, kTraits, kComm, d.B, nullptr, d.W, d.sel, 2, d.Ef);
    ProcrustesTest xe(ProcrustesStatistic::kXE, kOtus, kTypes, kComm, nullptr, d.U, d.W, nullptr, 2, d.Ef);
    ProcrustesTraitsTest all(kOtus, kTraits, kTypes, 2, kComm, d.sel, d.B, d.S, d.U, d.W, d.Ef);
    te.Arrange(d.identity);
    xe.Arrange(d.identity);
    all.Arrange(d.identity);
    // Expected: r/procrustes.R. protest and procuste.rtest agree to 1e-15 on each; single-precision
    // statistics within 1e-6, double 1e-12.
    const struct {
        const char* name;
        double got, want, tol;
    } cases[] = {
        {"trace(TE)", te.stat[0], 0.61940352634905615, 1e-6},
        {"traceW(XE), single", xe.stat[0], 0.65422338253326151, 1e-6},
        {"traceW(TE)", all.stat[0], 0.6194034928908384, 1e-12},
        {"traceW(XE)", all.stat[1], 0.6542233667122882, 1e-12},
        {"traceW(XE.T), lm residuals on T", all.stat[2], 0.49905392573729024, 1e-12},
        {"traceW(RE)", all.stat[3], 0.82869274621564126, 1e-12},
        {"traceW(XE.TR), lm residuals on T and R", all.stat[4], 0.53925481638223072, 1e-12},
        {"Rao entropy of community 1", all.R[0][0], 0.36392152640554637, 1e-12},
        {"Rao entropy of community 6", all.R[5][0], 0.31272675796430938, 1e-12},
        {"RV of T and E (ade4::RV.rtest)", RVcoeff(kComm, 2, 2, all.T, d.E), 0.33715087697370782, 1e-12},
    };
    for (const auto& c : cases) EXPECT_NEAR(c.got, c.want, c.tol) << c.name;
}

// trace(TE) is at least as large as the observed one in 54 of the 120 arrangements
// (r/procrustes.R; the nearest value below lies 0.002 away, far from the tie rule).
TEST(Procrustes, TraceTEMatchesTheEnumerationOfAllArrangements) {
    MantelData d;
    const int N = 20000;
    InitRndNumberGenerator(2025);
    const double P = Prob_ProcrustesTE(N, kOtus, kTraits, kComm, d.B, d.W, d.sel, 2, d.Ef, false, nullptr, false);
    const double q = 54.0 / 120.0;
    const double mean = (1.0 + (N - 1) * q) / N, se = std::sqrt(q * (1 - q) / (N - 1)) * (N - 1) / N;
    EXPECT_LT(std::fabs(P - mean), 4 * se) << P << " vs " << mean;
}

// The selection is read on its traits entries only (ASan sees a write past them), and comes back
// unchanged; S's lower triangle is never read and holds the upper one on return.
TEST(Procrustes, SelectionUntouchedAndOnlyTheUpperTriangleOfSRead) {
    MantelData d;
    std::vector<int> select(d.sel, d.sel + kTraits);
    for (int i = 0; i < kOtus; i++)
        for (int j = 0; j < i; j++) d.S[i][j] = 0.01f * (i + j);
    double p[5];
    InitRndNumberGenerator(6);
    EXPECT_TRUE(Prob_Procrustes_Traits(3, kTraits, select.data(), kOtus, kTypes, kComm, d.B, d.S, d.U, d.W, 2, d.Ef,
                                       &p[0], &p[1], &p[2], &p[3], &p[4], false, nullptr, false));
    EXPECT_EQ(select, std::vector<int>(d.sel, d.sel + kTraits));
    for (int i = 0; i < kOtus; i++)
        for (int j = 0; j < i; j++) EXPECT_EQ(d.S[i][j], d.S[j][i]) << i << " " << j;
    EXPECT_NEAR(Traits(d, kComm, select.data(), d.B)[3], 0.82869274621564126, 1e-12);
}

TEST(Procrustes, ResidualsThatVanishOrAliasNeverEndTheRun) {
    MantelData d;
    // Three communities: two trait columns (and R) explain every centred column of X and E, so
    // nothing is left to compare and the partialled congruences are 0; the others are not.
    const std::vector<double> three = Traits(d, 3, d.sel, d.B);
    EXPECT_GT(three[0], 0.1);
    EXPECT_GT(three[1], 0.1);
    EXPECT_EQ(three[2], 0.0);
    EXPECT_EQ(three[4], 0.0);
    // A second trait twice the first gives the same normalised column: it is aliased (coefficient
    // 0), so XE.T is that of the first trait alone.
    Mat<float> B2(kOtus, kTraits);
    for (int o = 0; o < kOtus; o++) B2[o][0] = d.B[o][0], B2[o][1] = 2 * d.B[o][0];
    int first[kTraits] = {1, 0, 0};
    const std::vector<double> aliased = Traits(d, kComm, d.sel, B2), alone = Traits(d, kComm, first, B2);
    EXPECT_NEAR(aliased[2], alone[2], 1e-12);
    EXPECT_NEAR(aliased[4], alone[4], 1e-12);
    EXPECT_GT(alone[2], 0.01);
}

// One form of a member on MantelData: n communities, it iterations, intermediate results to f
// when given; returns its probabilities.
struct Member {
    const char* name;
    std::function<std::vector<double>(MantelData&, int n, int it, FILE* f, bool weighted)> run;
    std::vector<std::string> texts;  // in the order written
    int orderLines;                  // OTU orders per iteration block
};

std::vector<Member> Members() {
    using V = std::vector<double>;
    return {
        {"Prob_ProcrustesTE",
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             return V{Prob_ProcrustesTE(it, kOtus, kTraits, n, d.B, d.W, d.sel, 2, d.Ef, f != nullptr, f, w)};
         },
         {"\nPERMUTATION TEST FOR PROCRUSTES CONGRUENCE trace(TE)\nINTERMEDIATE RESULTS\n\nObserved trait matrix (B):\n"
          "1\t10\t0.5\t\n", "\nMatrix W (6 communities by 5 OTUs):\n3\t1\t0\t0\t2\t\n",
          "\t\n\nObserved Procrustes trace(TE)=\t0.619404\n\n\nITERATION\t1\nPermuted trait matrix (Brnd):\n",
          "\n\nMatrix Trnd (6 communities by 3 traits) generated after Brnd (Trnd = W x Brnd):\n",
          "\t\n\nIteration 1\tRandom traceTE =\t", "\tCummulative frequency for ro(TE)="},
         1},
        {"Prob_Procrustes_XE",
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             return V{Prob_Procrustes_XE(it, kOtus, kTypes, n, d.U, d.W, 2, d.Ef, f != nullptr, f, w)};
         },
         {"\nPERMUTATION TEST FOR PROCRUSTES traceW(XE)\nINTERMEDIATE RESULTS\n\nObserved belonging matrix (U):\n1\t0\t\n"
          "0.8\t0.2\t\n", "\t\nObserved traceXE=\t0.654223\n\n\nITERATION\t1\nPermuted belonging matrix (Urnd):\n",
          "\nOrder of original OTUs in permuted belongin matrix Urnd:\t",
          "\n\nMatrix Xrnd (6 communities by 2 PFTs) generated after Urnd (Xrnd = W x Urnd):\n",
          "\t\n\nIteration 1\tRandom procrustesXE =\t", "\tCummulative frequency for procrustesXE="},
         1},
        {"Prob_Procrustes_Traits",
         [](MantelData& d, int n, int it, FILE* f, bool w) {
             V p(5);
             EXPECT_TRUE(Prob_Procrustes_Traits(it, kTraits, d.sel, kOtus, kTypes, n, d.B, d.S, d.U, d.W, 2, d.Ef, &p[0],
                                                &p[1], &p[2], &p[3], &p[4], f != nullptr, f, w));
             return p;
         },
         {"\nPERMUTATION TEST FOR PROCRUSTES traceW\nINTERMEDIATE RESULTS\n\nObserved trait matrix (B):\n",
          "\n\nMatrix T (comunity weighted means traits in 6 communities by 3 traits) computed after B (T = W x B):\n",
          "\nObserved belonging matrix (U):\n", "\nMatrix X (6 communities by 2 types):\n5\t1\t\n",
          "\nObserved similarity matrix (S) between OTUs, based on the traits:\n:1\t0.8\t0.3\t0.5\t0.6\t\n",
          "\n\nRao entropy vector R (6 communities) computed after S:\n0.363922\t",
          "\t0.312727\t\n\nProcrustes congruence observed traceW(XE):\t0.654223\n\nProcrustes congruence observed "
          "traceW(TE):\t0.619403\n\nProcrustes congruence observed traceW(XE.T):\t0.499054\n\nProcrustes congruence "
          "observed traceW(RE):\t0.828693\n\nProcrustes congruence observed traceW(XE.TR):\t0.539255\n\n\nITERATION\t1\n"
          "Permuted trait matrix (Brnd):\n",
          "\n\nMatrix Trnd (6 communities by 3 traits) generated after Brnd (Trnd = W x Brnd):\n",
          "\t\nPermuted belonging matrix (Urnd):\n",
          "\n\nMatrix Xrnd (6 communities by 2 PFTs) generated after Urnd (Xrnd = W x Urnd):\n",
          "\t\n\nIteration 1\tRandom traceTE =\t", "\tprocrustesXE =\t", "\tprocrustesXE_T =\t",
          "\tCummulative frequency for ro(TE)=", "\tCummulative frequency for ro(XE)=",
          "\tCummulative frequency for ro(XE.T)=", "\n\nIteration 1\tRandom procrustes traceRE =\t",
          "\tCummulative frequency for ro(RE)=", "\tprocrustesXE_TR =\t", "\tCummulative frequency for ro(XE.TR)=",
          "\t\n\n\nITERATION\t2\n"},
         1},
    };
}

TEST(ProcrustesMembers, OneCommunityOrOneIterationGiveProbabilityOneAndDrawNothing) {
    const unsigned long untouched = DrawAfter(21, [] {});
    for (const Member& m : Members())
        for (const auto& [n, it] : std::vector<std::pair<int, int>>{{1, 50}, {kComm, 1}, {kComm, 0}, {kComm, -3}}) {
            MantelData d;
            Scratch s;
            std::vector<double> p;
            EXPECT_EQ(DrawAfter(21, [&] { p = m.run(d, n, it, n == 1 ? s.f : nullptr, true); }), untouched) << m.name;
            for (double v : p) EXPECT_EQ(v, 1.0) << m.name << " " << n << " " << it;
            EXPECT_EQ(s.Text(), "") << m.name;
        }
}

TEST(ProcrustesMembers, EachWritesItsTextsAndContinuesItsList) {
    for (const Member& m : Members())
        for (bool weighted : {false, true}) {
            MantelData d;
            Scratch s;
            InitRndNumberGenerator(31);
            m.run(d, kComm, 4, s.f, weighted);
            const std::string out = s.Text();
            size_t at = 0;
            for (const std::string& t : m.texts) {
                const size_t next = out.find(t, at);
                EXPECT_NE(next, std::string::npos) << m.name << ": " << t;
                if (next != std::string::npos) at = next + t.size();
            }
            // Nothing among the communities is resembled.
            EXPECT_EQ(out.find("Resemblance matrix"), std::string::npos) << m.name;
            // The orders written, one per randomisation, replay the shuffled list.
            InitRndNumberGenerator(31);
            OtuList ref(kOtus, kComm, d.W, weighted);
            int blocks = 0;
            for (size_t k = out.find("Order of original OTUs"); k != std::string::npos;
                 k = out.find("Order of original OTUs", k + 1), blocks++) {
                ref.Draw(ListDraw::kContinued);
                std::string want = ":\t";
                for (int o = 0; o < kOtus; o++) want += std::to_string(ref.Entries()[o]) + "\t";
                EXPECT_EQ(out.compare(out.find(":\t", k), want.size() + 1, want + "\n"), 0) << m.name << " " << blocks;
            }
            EXPECT_EQ(blocks, 3 * m.orderLines) << m.name;
        }
}

}  // namespace
