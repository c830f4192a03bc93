// Hierarchical clustering engine. Fusion levels and member sets against R's hclust on seven
// tie-free points (r/hclust.R), Ward's criterion against ward.D2's height^2 / 2, sums of squares
// against the within-group sums of squares of the points themselves, and hand-worked cases.

#include <algorithm>
#include <limits>

#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

using V = std::vector<int>;

const double kPts[7][2] = {{0.0, 0.0}, {1.1, 0.3}, {4.0, 0.2}, {4.3, 1.9},
                           {0.4, 2.7}, {7.5, 6.1}, {2.2, 5.3}};

double Dist(int i, int j) { return std::hypot(kPts[i][0] - kPts[j][0], kPts[i][1] - kPts[j][1]); }

// Upper triangle of f(distance); the lower triangle and the diagonal hold junk that must not be
// read: NaN, which the routines refuse wherever they look for it.
template <class T, class F>
void FillDistances(Mat<T>& m, F f) {
    for (int i = 0; i < 7; i++)
        for (int j = 0; j < 7; j++)
            m[i][j] = i < j ? T(f(Dist(i, j))) : std::numeric_limits<T>::quiet_NaN();
}

// Members given as numbers, sorted, as "a b c".
template <class T>
std::string SetOf(const T* m, int n) {
    std::vector<int> v(m, m + n);
    std::sort(v.begin(), v.end());
    std::string s;
    for (int x : v) s += (s.empty() ? "" : " ") + std::to_string(x);
    return s;
}

// n - 1 zero-filled records, each with room for n members (and p scores).
struct Records {
    std::vector<clusterReport> rep;
    std::vector<V> members;
    std::vector<std::vector<double>> vecs;
    Records(int n, int p = 0) : rep(n > 1 ? n - 1 : 1), members(rep.size(), V(n)) {
        for (size_t t = 0; t < rep.size(); t++) {
            rep[t] = clusterReport{};
            rep[t].members = members[t].data();
            for (double** slot : {&rep[t].eigenVector1, &rep[t].eigenVector2, &rep[t].factorScores1, &rep[t].factorScores2})
                *slot = vecs.emplace_back(slot == &rep[t].eigenVector1 || slot == &rep[t].eigenVector2 ? 2 : p).data();
        }
    }
    clusterReport* data() { return rep.data(); }
    std::string Set(int t) const { return SetOf(rep[t].members, rep[t].nMembers); }
};

struct Expected {
    int method;
    std::vector<double> heights;
    std::vector<std::string> sets;
};

// r/hclust.R
const Expected kSingle{1, {1.14017542509914, 1.72626765016321, 2.5, 2.90172362570938, 3.16227766016838, 5.28015151297763},
                       {"1 2", "3 4", "1 2 5", "1 2 3 4 5", "1 2 3 4 5 7", "1 2 3 4 5 6 7"}};
const Expected kComplete{2, {1.14017542509914, 1.72626765016321, 2.72946881279124, 4.70106370941726, 5.36003731330296, 9.66747123088556},
                         {"1 2", "3 4", "1 2 5", "1 2 3 4 5", "6 7", "1 2 3 4 5 6 7"}};
const Expected kAverage{4, {1.14017542509914, 1.72626765016321, 2.61473440639562, 3.92493670427793, 4.6849779605063, 7.27948683431768},
                        {"1 2", "3 4", "1 2 5", "1 2 3 4 5", "1 2 3 4 5 7", "1 2 3 4 5 6 7"}};
const Expected kMcQuitty{5, {1.14017542509914, 1.72626765016321, 2.61473440639562, 3.98921843416358, 4.49896782705418, 6.32559159425429},
                         {"1 2", "3 4", "1 2 5", "1 2 3 4 5", "1 2 3 4 5 7", "1 2 3 4 5 6 7"}};

template <class T>
void CheckLinkage(const Expected& e, double tol) {
    SCOPED_TRACE(testing::Message() << "method " << e.method << (sizeof(T) == 4 ? " float" : " double"));
    // Distances, squared distances, and similarities 10 - d (maximum searched, levels 10 - h).
    for (int form = 0; form < 3; form++) {
        Mat<T> m(7, 7);
        FillDistances(m, [&](double d) { return form == 1 ? d * d : form == 2 ? 10 - d : d; });
        Records rec(7);
        ASSERT_TRUE(LinkageCluster(7, m, rec.data(), form != 2, form == 1, e.method, true));
        for (int t = 0; t < 6; t++) {
            double want = form == 2 ? 10 - e.heights[t] : e.heights[t];
            EXPECT_NEAR(rec.rep[t].level, want, tol) << "form " << form << " step " << t;
            EXPECT_EQ(rec.Set(t), e.sets[t]) << "form " << form << " step " << t;
        }
    }
}

TEST(LinkageCluster, LevelsAndGroupsEqualRsHclust) {
    for (const Expected* e : {&kSingle, &kComplete, &kAverage, &kMcQuitty}) {
        CheckLinkage<double>(*e, 1e-12);
        CheckLinkage<float>(*e, 2e-5);
    }
}

TEST(LinkageCluster, WithoutCopyTheCallersMatrixIsTheWorkSpace) {
    Mat<float> m(7, 7);
    FillDistances(m, [](double d) { return d; });
    float* rows[7];
    for (int i = 0; i < 7; i++) rows[i] = m[i];
    Records rec(7);
    ASSERT_TRUE(LinkageCluster(7, m, rec.data(), true, false, 4, false));
    for (int t = 0; t < 6; t++) EXPECT_NEAR(rec.rep[t].level, kAverage.heights[t], 2e-5);
    // The rows are permuted, none lost (the matrix is freed as before by Mat).
    std::vector<float*> now(static_cast<float**>(m), static_cast<float**>(m) + 7);
    EXPECT_TRUE(std::is_permutation(now.begin(), now.end(), rows));
    EXPECT_NE(now, std::vector<float*>(rows, rows + 7));
}

TEST(Clustering, TwoObjectsFuseInOneRecord) {
    Mat<double> d{{0, 3}, {0, 0}};
    Records a(2), b(2);
    ASSERT_TRUE(LinkageCluster(2, d, a.data(), true, false, 4, true));
    ASSERT_TRUE(SumSqCluster(2, d, b.data(), false));
    std::vector<double> out(4);
    ASSERT_TRUE(AvLinkCluster(2, d, out.data(), true, false));
    EXPECT_EQ(a.rep[0].level, 3);
    EXPECT_EQ(V(a.rep[0].members, a.rep[0].members + 2), V({1, 2}));
    const clusterReport& r = b.rep[0];
    EXPECT_EQ(std::vector<double>({r.level, r.criterion, r.branchFirst, r.branchSecond}), std::vector<double>(4, 4.5));  // 9 / 2
    EXPECT_EQ(out, std::vector<double>({3, 2, 1, 2}));
}

TEST(Clustering, RefusesFewerThanTwoObjectsAndNonFiniteValues) {
    Records rec(3);
    rec.rep[0].level = 42;
    Mat<double> one(1, 1), m{{0, 1, 2}, {0, 0, 3}, {0, 0, 0}};
    EXPECT_FALSE(LinkageCluster(1, one, rec.data(), true, false, 1, true));
    EXPECT_FALSE(LinkageCluster(0, one, rec.data(), true, false, 1, true));
    EXPECT_FALSE(HierFactorialClustering(1, 1, one, rec.data()));
    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        m[1][2] = bad;
        EXPECT_FALSE(LinkageCluster(3, m, rec.data(), true, false, 1, false));
        EXPECT_FALSE(SumSqCluster(3, m, rec.data(), false));
        Mat<double> outv(1, 6);
        EXPECT_FALSE(AvLinkCluster(3, m, outv[0], true, false));
        EXPECT_FALSE(HierFactorialClustering(3, 3, m, rec.data()));  // as data: a non-finite value
        EXPECT_EQ(m[0][1], 1.0);  // refused before anything was changed
    }
    EXPECT_EQ(rec.rep[0].level, 42);
    EXPECT_EQ(rec.rep[0].nMembers, 0);
}

// The centroid update on distances is checked through the centroid clustering below.
TEST(FusionMatrix, TheSimilarityForm) {
    // Similarities: s(k, a+b) = s_kb nb/n + s_ka na/n - (1 - s_ab) c, c = -1/4:
    // 0.4/2 + 0.6/2 + (1 - 0.8)/4... with the sign of the definition: -((1 - 0.8) * -0.25) = 0.05.
    Mat<double> S{{0, 0.8, 0.6}, {0, 0, 0.4}, {0, 0, 0}};
    int size[3] = {1, 1, 1};
    FusionMatrix(3, size, 0, 1, S, false);
    EXPECT_NEAR(S[0][1], 0.55, 1e-15);
    EXPECT_EQ(S[0][0], 0.0);  // the diagonal is not written
    EXPECT_EQ(size[0], 2);
}

// Within-group sum of squares (about the centroid) of a set of the seven points.
double ESS(const clusterReport& r) {
    double c[2] = {0, 0}, s = 0;
    for (int t = 0; t < r.nMembers; t++)
        for (int k = 0; k < 2; k++) c[k] += kPts[r.members[t] - 1][k] / r.nMembers;
    for (int t = 0; t < r.nMembers; t++)
        for (int k = 0; k < 2; k++) s += (kPts[r.members[t] - 1][k] - c[k]) * (kPts[r.members[t] - 1][k] - c[k]);
    return s;
}

TEST(SumSqCluster, CriterionIsWardD2HeightSquaredOverTwoAndLevelTheGroupsSumOfSquares) {
    // r/hclust.R, ward.D2: height^2 / 2 and the groups formed.
    const double crit[6] = {0.65, 1.49, 4.35, 14.365, 15.99, 43.2207142857143};
    const char* sets[6] = {"1 2", "3 4", "1 2 5", "6 7", "1 2 3 4 5", "1 2 3 4 5 6 7"};
    for (bool sq : {false, true}) {
        Mat<double> m(7, 7);
        Mat<float> f(7, 7);
        FillDistances(m, [&](double d) { return sq ? d * d : d; });
        FillDistances(f, [&](double d) { return sq ? d * d : d; });
        Records rec(7), recf(7);
        ASSERT_TRUE(SumSqCluster(7, m, rec.data(), sq));
        ASSERT_TRUE(SumSqCluster(7, f, recf.data(), sq));
        std::vector<double> own(8, 0.0);  // level of the group each object's last group had
        for (int t = 0; t < 6; t++) {
            SCOPED_TRACE(t);
            const clusterReport& r = rec.rep[t];
            EXPECT_NEAR(r.criterion, crit[t], 1e-12);
            EXPECT_EQ(rec.Set(t), sets[t]);
            EXPECT_NEAR(r.level, ESS(r), 1e-12);
            EXPECT_NEAR(recf.rep[t].level, ESS(r), 1e-4);
            EXPECT_NEAR(recf.rep[t].criterion, crit[t], 1e-4);
            EXPECT_EQ(recf.Set(t), sets[t]);
            // Branches: the level minus each part's own level; they differ by the parts' levels.
            int split = int(std::find(r.members, r.members + r.nMembers, r.splitObject) - r.members);
            double firstOwn = own[r.members[0]], secondOwn = own[r.members[split + 1]];
            EXPECT_NEAR(r.branchFirst, r.level - firstOwn, 1e-12);
            EXPECT_NEAR(r.branchSecond, r.level - secondOwn, 1e-12);
            for (int k = 0; k < r.nMembers; k++) own[r.members[k]] = r.level;
        }
        for (int i = 0; i < 7; i++)
            for (int j = i + 1; j < 7; j++) EXPECT_EQ(m[i][j], sq ? Dist(i, j) * Dist(i, j) : Dist(i, j));
    }
}

TEST(SumSqClusterRestrained, OnlyLinkedGroupsFuseAndADisconnectedLinkFallsBack) {
    // Objects at 0, 10, 1 linked as a chain 1-2-3: {1, 3} (distance 1) may not fuse; of the
    // linked pairs (1,2) criterion 50 and (2,3) criterion 40.5, {2, 3} goes first.
    Mat<double> D{{0, 10, 1}, {0, 0, 9}, {0, 0, 0}};
    Mat<int> chain{{0, 1, 0}, {0, 0, 1}, {0, 0, 0}}, none(3, 3);
    Records rec(3), free(3), fall(3);
    ASSERT_TRUE(SumSqClusterRestrained(3, D, chain, rec.data(), false));
    EXPECT_EQ(rec.Set(0), "2 3");
    EXPECT_DOUBLE_EQ(rec.rep[0].criterion, 40.5);
    EXPECT_EQ(rec.Set(1), "1 2 3");
    // Centroid of {10, 1} is 5.5: criterion 5.5^2 * 2 / 3.
    EXPECT_NEAR(rec.rep[1].criterion, 5.5 * 5.5 * 2 / 3, 1e-12);
    // No link at all: the unrestricted search is taken, as SumSqCluster does.
    ASSERT_TRUE(SumSqCluster(3, D, free.data(), false));
    ASSERT_TRUE(SumSqClusterRestrained(3, D, none, fall.data(), false));
    for (int t = 0; t < 2; t++) {
        EXPECT_EQ(fall.Set(t), free.Set(t));
        EXPECT_DOUBLE_EQ(fall.rep[t].level, free.rep[t].level);
    }
    EXPECT_EQ(free.Set(0), "1 3");
}

TEST(AvLinkCluster, CentroidLevelsEqualRsCentroidMethodInAFlatArray) {
    // r/hclust.R: centroid method on squared distances, square roots of the heights.
    const double h[6] = {1.14017542509914, 1.72626765016321, 2.55440795488896, 3.6503424496888,
                         4.28672369065234, 7.0226617302685};
    const char* sets[6] = {"1 2", "3 4", "1 2 5", "1 2 3 4 5", "1 2 3 4 5 7", "1 2 3 4 5 6 7"};
    Mat<double> m(7, 7);
    FillDistances(m, [](double d) { return d; });
    std::vector<double> out(6 * 2 + 2 + 2 + 3 + 5 + 6 + 7, -1);
    ASSERT_TRUE(AvLinkCluster(7, m, out.data(), true, false));
    size_t at = 0;
    for (int t = 0; t < 6; t++) {
        EXPECT_NEAR(out[at], h[t], 1e-12) << t;
        int size = int(out[at + 1]);
        EXPECT_EQ(SetOf(&out[at + 2], size), sets[t]);
        at += 2 + size;
    }
    EXPECT_EQ(at, out.size());
}

// Rows centred and scaled to unit length have the cross-product matrix [[1, r], [r, 1]] (r their
// correlation): eigenvalues 1 + |r| and 1 - |r|, eigenvectors (1, sign r) / sqrt 2 and
// (1, -sign r) / sqrt 2.
TEST(HierFactorialClustering, FusesTheMostCorrelatedPairFirstWithClosedFormEigenvalues) {
    const Rows rows = {{1, 2, 3, 4}, {2, 4, 6, 9}, {4, 1, 3, 2}};
    Mat<double> x(rows);
    Mat<float> xf(rows);
    double r01 = Pearson(x[0], x[1], 4), r02 = Pearson(x[0], x[2], 4), r12 = Pearson(x[1], x[2], 4);
    ASSERT_GT(std::fabs(r01), std::max(std::fabs(r02), std::fabs(r12)));
    Records rec(3, 4), recf(3, 4);
    ASSERT_TRUE(HierFactorialClustering(3, 4, x, rec.data()));
    ASSERT_TRUE(HierFactorialClustering(3, 4, xf, recf.data()));
    EXPECT_EQ(rec.Set(0), "1 2");
    EXPECT_NEAR(rec.rep[0].level, 1 - std::fabs(r01), 1e-12);
    EXPECT_NEAR(rec.rep[0].criterion, 1 + std::fabs(r01), 1e-12);
    EXPECT_NEAR(recf.rep[0].level, 1 - std::fabs(r01), 1e-6);
    EXPECT_EQ(float(recf.rep[0].level), recf.rep[0].level);  // recorded in single precision
    EXPECT_NEAR(std::fabs(rec.rep[0].eigenVector1[0]), M_SQRT1_2, 1e-12);
    EXPECT_NEAR(rec.rep[0].eigenVector1[0] * rec.rep[0].eigenVector1[1], 0.5, 1e-12);
    // Scores on the eigenvectors: (z0 + z1) / sqrt 2 and (z0 - z1) / sqrt 2 up to the sign (r > 0
    // here), z the scaled rows.
    Mat<double> z(3, 4);
    CenterRowsMV(3, 4, x, z);
    NormalizeRowsMV(3, 4, z, z);
    const double s1 = rec.rep[0].eigenVector1[0] > 0 ? 1 : -1, s2 = rec.rep[0].eigenVector2[0] > 0 ? 1 : -1;
    for (int k = 0; k < 4; k++) {
        EXPECT_NEAR(rec.rep[0].factorScores1[k], s1 * (z[0][k] + z[1][k]) * M_SQRT1_2, 1e-12);
        EXPECT_NEAR(rec.rep[0].factorScores2[k], s2 * (z[0][k] - z[1][k]) * M_SQRT1_2, 1e-12);
    }
}

TEST(HierFactorialClustering, AMissingCellGivesNoScoreAndTheFusedGroupNoValueThere) {
    // Row 1 misses its third value: the pair's scores there stay 0 (as allocated) and the
    // fused group carries the missing mark on, so the next fusion skips that cell too.
    Mat<double> x{{1, 2, -999, 4, 3}, {2, 4, 5, 9, 7}, {5, 1, 4, 2, 3}};
    Records rec(3, 5);
    ASSERT_TRUE(HierFactorialClustering(3, 5, x, rec.data()));
    ASSERT_EQ(rec.Set(0), "1 2");
    EXPECT_NE(rec.rep[0].factorScores1[0], 0);
    for (int t : {0, 1}) EXPECT_EQ(std::make_pair(rec.rep[t].factorScores1[2], rec.rep[t].factorScores2[2]), std::make_pair(0.0, 0.0)) << t;
    for (int k = 0; k < 5; k++) EXPECT_TRUE(std::isfinite(rec.rep[1].factorScores1[k]));
}

TEST(HierFactorialEigen, TwoByTwoCrossProductsOverPresentCells) {
    // x = (1, 0, -999), y = (1, 1, 5): each product over the cells where both its factors are
    // present, C = [[1, 1], [1, 27]]: eigenvalues 14 +- sqrt(13^2 + 1) = 14 +- sqrt 170.
    double x[3] = {1, 0, -999}, y[3] = {1, 1, 5}, lg, sm, v1[2], v2[2];
    float xf[3] = {1, 0, -999}, yf[3] = {1, 1, 5}, lgf, smf, v1f[2], v2f[2];
    EXPECT_TRUE(HierFactorialEigen(3, x, y, &lg, &sm, v1, v2));
    HierFactorialEigen(3, xf, yf, &lgf, &smf, v1f, v2f);
    for (double tol : {1e-12, 1e-5}) {
        EXPECT_NEAR(tol < 1e-6 ? lg : lgf, 14 + std::sqrt(170.0), tol);
        EXPECT_NEAR(tol < 1e-6 ? sm : smf, 14 - std::sqrt(170.0), tol);
    }
    EXPECT_NEAR(v1[0] * v2[0] + v1[1] * v2[1], 0, 1e-12);  // orthonormal
    EXPECT_NEAR(v1[0] * v1[0] + v1[1] * v1[1], 1, 1e-12);
    // C v1 = larger v1.
    EXPECT_NEAR(1 * v1[0] + 1 * v1[1], lg * v1[0], 1e-12);
    double only;
    HierFactorialEigen(3, xf, yf, nullptr, &only, nullptr, nullptr);
    EXPECT_NEAR(only, sm, 1e-12);
}

}  // namespace
