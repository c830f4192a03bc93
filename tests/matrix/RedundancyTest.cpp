// Principal-component regression residuals and the redundancy analysis (routine and
// interactive driver). Reference values: r/pca_rda.R (lm on prcomp scores, eigen of the
// covariance of the fitted values, vegan::rda).

#include <fstream>
#include <iterator>

#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"

namespace {

// Twelve units, seven factors and two responses of r/pca_rda.R.
void Design(Mat<double>& X, Mat<double>& Y) {
    for (int i = 0; i < 12; i++) {
        for (int k = 0; k < 7; k++) X[i][k] = double(((i + 1) * (k + 2) + (i + 1) * (i + 1) * (k + 1)) % 13);
        Y[i][0] = i + (i * 7) % 5;
        Y[i][1] = ((i + 1) * (i + 1)) % 9;
    }
}

TEST(PcaRegressionTest, UsesAtMostNMinusTwoOverFactorComponents) {
    // All 7 components of the correlations exist; (12 - 2) / 2 = 5 of them are used.
    Mat<double> X(12, 7), Y(12, 2), R(12, 2);
    Design(X, Y);
    EXPECT_EQ(PCA_Regression_ResidualsSelect(12, 2, 7, Y, X, R, nullptr, 2, 2.0), 1);
    const std::vector<double> r1 = {-3.7262502673734, -1.0585620900076, -3.13945964096792, -2.8732952387853, 3.40864353915817, -2.05693380286356, -1.07783239865598, -0.281491424772514, 4.0924462663258, 3.11539725853975, 2.03095277125011, 1.56638502815243};
    const std::vector<double> r2 = {-0.779334558722198, -1.25076040117952, -1.34339433748036, 2.14492237241524, 3.03934624801499, 0.60079427666969, -1.15677261802676, 1.01995189645978, -2.96574325137705, 0.485776903286274, 0.794603061482614, -0.589389591542692};
    ExpectColumn(R, 0, r1, 1e-9);
    ExpectColumn(R, 1, r2, 1e-9);
    // factor 4: 2.5 truncated to 2 components.
    EXPECT_EQ(PCA_Regression_ResidualsSelect(12, 2, 7, Y, X, R, nullptr, 2, 4.0), 1);
    const std::vector<double> s1 = {-6.96706810394264, -3.74060356478349, -2.48615802424046, -2.3721589186937, -0.897861004426068, -1.65278323788055, 0.374460730596574, 3.79232220461231, 2.89586691331108, 6.30234654654148, 1.9420323319454, 2.80960412696006};
    ExpectColumn(R, 0, s1, 1e-9);
}

TEST(PcaRegressionTest, AllComponentsSpanTheFactorsAndNoComponentCentres) {
    // With every component used (factor small enough), the residuals are those of the
    // regression on the selected factors themselves, for covariances and correlations alike.
    Mat<double> X(12, 7), Y(12, 2), R(12, 2), Rc(12, 2), Rd(12, 2);
    Design(X, Y);
    int sel[7] = {1, 0, 1, 1, 0, 0, 0};
    PCA_Regression_ResidualsSelect(12, 2, 7, Y, X, R, sel, 1, 0.5);
    PCA_Regression_ResidualsSelect(12, 2, 7, Y, X, Rc, sel, 2, 0.5);
    Regression_ResidualsSelect(12, 2, 7, Y, X, Rd, sel);
    ExpectSame(R, Rd, 1e-9);
    ExpectSame(Rc, Rd, 1e-9);
    // A limit below zero, and an option without components, leave the centred responses.
    // y1 = i + (7i mod 5): 0 3 6 4 7 5 8 11 9 12 10 13, mean 88 / 12.
    const double meanY0 = 88.0 / 12.0;
    for (int opt : {2, 3}) {
        PCA_Regression_ResidualsSelect(12, 2, 7, Y, X, R, nullptr, opt, opt == 2 ? -1.0 : 2.0);
        EXPECT_NEAR(R[0][0], 0 - meanY0, 1e-12) << opt;
        EXPECT_NEAR(R[11][0], 13 - meanY0, 1e-12) << opt;
    }
}

// A work space serves the calls that fit it in every size: one too small in a single size (the
// units, the responses or the factors) gives the same residuals and return as the one-off form,
// from buffers of its own; one that fits gives them from its own.
TEST(PcaRegressionTest, AWorkSpaceTooSmallInOneSizeGivesTheOneOffResiduals) {
    Mat<double> X(12, 7), Y(12, 2), once(12, 2), spaced(12, 2);
    Design(X, Y);
    const int expected = PCA_Regression_ResidualsSelect(12, 2, 7, Y, X, once, nullptr, 2, 2.0);
    const struct {
        int n, p, q;
    } sizes[] = {{11, 2, 7}, {12, 1, 7}, {12, 2, 6}, {12, 2, 7}, {20, 3, 9}};
    for (const auto& sz : sizes) {
        SCOPED_TRACE(testing::Message() << sz.n << " " << sz.p << " " << sz.q);
        PcaRegressionWorkspace ws(sz.n, sz.p, sz.q);
        EXPECT_EQ(ws.Fits(12, 2, 7), sz.n >= 12 && sz.p >= 2 && sz.q >= 7);
        for (int i = 0; i < 12; i++) spaced[i][0] = spaced[i][1] = -1.0;
        EXPECT_EQ(PCA_Regression_ResidualsSelect(12, 2, 7, Y, X, spaced, nullptr, 2, 2.0, ws), expected);
        ExpectSame(spaced, once, 1e-12);
    }
}

// Whether the residuals keep variation of the response (return 1) or are its rounding (0): the
// response f = 2 x0 - x2 + 0.5 x3 + 4 of the selected factors, plus e h, h orthogonal to them and
// to 1 (F and H their centred sums of squares). The residual is e h, and the ratio of its sum of
// squares to the response's, e^2 H / (F + e^2 H), is set to r by e^2 = r F / (H (1 - r)): both
// sides of 1e-12, and 1e-5 (a small genuine residual); no h leaves rounding only. A response of
// its own without variation (a constant one ulp off, also with a -999) has none to keep. With
// every component used (factor 0.5) the residuals are those of the selected factors.
TEST(PcaRegressionTest, ResidualsOfRoundingNoiseAreReported) {
    Mat<double> X(12, 7), Y0(12, 2);
    Design(X, Y0);
    int sel[7] = {1, 0, 1, 1, 0, 0, 0};
    std::vector<double> f(12), h(12);
    for (int i = 0; i < 12; i++) {
        f[i] = 2 * X[i][0] - X[i][2] + 0.5 * X[i][3] + 4;
        h[i] = Y0[i][0];
    }
    h = OrthogonalPart(X, {0, 2, 3}, h);
    double F = 0, H = 0, mean = 0;
    for (int i = 0; i < 12; i++) mean += f[i] / 12, H += h[i] * h[i];
    for (int i = 0; i < 12; i++) F += (f[i] - mean) * (f[i] - mean);
    const double up = std::nextafter(0.1, 1.0);
    const struct {
        double ratio;  // 0: no h; -1: a constant one ulp off; -2: the same with a -999
        int want;
    } rows[] = {{0, 0}, {2e-12, 1}, {0.5e-12, 0}, {1e-5, 1}, {-1, 0}, {-2, 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.ratio);
        const double e = r.ratio > 0 ? std::sqrt(r.ratio * F / (H * (1 - r.ratio))) : 0.0;
        Mat<double> Y(12, 1), R(12, 1);
        for (int i = 0; i < 12; i++) Y[i][0] = r.ratio < 0 ? (i == 3 ? up : 0.1) : f[i] + e * h[i];
        if (r.ratio == -2) Y[7][0] = -999;
        EXPECT_EQ(PCA_Regression_ResidualsSelect(12, 1, 7, Y, X, R, sel, 2, 0.5), r.want);
        for (int i = 0; i < 12 && r.ratio == 1e-5; i++) EXPECT_NEAR(R[i][0], e * h[i], 1e-9 * e * std::sqrt(H)) << i;
    }
}

TEST(RdaTest, CanonicalEigenvaluesAndAxisCorrelations) {
    Mat<double> X(12, 7), Y(12, 2), X3(12, 3), scores(2, 12);
    Mat<float> Yf(12, 2), Xf(12, 3);
    Design(X, Y);
    for (int i = 0; i < 12; i++)
        for (int k = 0; k < 3; k++) X3[i][k] = X[i][k];
    Copy(Y, Yf);
    Copy(X3, Xf);
    double eig[2], corr[2];
    EXPECT_EQ(RDA(12, 2, 3, Y, X3, eig, scores, corr, nullptr, false, nullptr, 1), 1);
    ExpectVec(eig, {6.81547304790926, 0.117459684203801}, 1e-10);
    ExpectVec(corr, {0.724870540348232, 0.110981170790395}, 1e-6);
    const std::vector<double> f1 = {0.103873528155408, 3.09818469061648, 0.669436077988794, 2.36178601052693, 3.13280274666472, -4.19014471424354, 2.72189437405591, -3.23210989481799, -0.563289039837654, -3.31752795994607, 0.720236087068631, -1.50514190623161};
    const double sign = scores[0][1] > 0 ? 1 : -1;
    for (int i = 0; i < 12; i++) EXPECT_NEAR(sign * scores[0][i], f1[i], 1e-9) << i;
    // Float data give the same to single precision; the report names the analysis.
    FILE* f = tmpfile();
    testing::internal::CaptureStdout();
    RDA(12, 2, 3, Yf, Xf, eig, scores, corr, nullptr, true, f, 0);
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(console, "\nAnalise de Redundancia (RDA)\ncf. Quarrin & Quarrin 1998, p.579-594.\n");
    EXPECT_NEAR(eig[0], 6.81547304790926, 1e-4);
    std::string text = ReadBack(f);
    fclose(f);
    EXPECT_EQ(text.rfind("Analise de Redundancia (RDA)\ncf. Quarrin & Quarrin 1998, p.579-594.\nMatriz y:\n0\t1\t\n", 0), 0u);
    EXPECT_NE(text.find("\nAutovalores canonicos (espaco definido pelas variaveis x): \n6.81547\t0.11746\t\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nCorrelacao entre variaveis em X e os eixos de ordenacao canonica:\nVar. 1:\t"), std::string::npos);
}

// The interactive driver in a directory of its own, answers read from a file.
class RdaDriverTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (answers_) fclose(answers_);
        in = stdin;
    }
    void Answers(const std::string& text) {
        if (answers_) fclose(answers_);
        std::ofstream("answers.txt") << text;
        in = answers_ = fopen("answers.txt", "r");
    }
    static std::string Read(const char* name) {
        std::ifstream f(name);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    // The error code rda() raises on these answers (0: none); its console output is dropped.
    int CodeOf(const std::string& answers) {
        Answers(answers);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int code = 0;
        try {
            rda();
        } catch (const TnxError& e) {
            code = e.code();
        }
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        return code;
    }
    InTempDir dir_;
    FILE* answers_ = nullptr;
};

TEST_F(RdaDriverTest, SummaryReportIsAppendedAndDetailedAddsTheMatrices) {
    // y = 2x exactly: one canonical axis with all the variance (proportion 1).
    std::ofstream("d.txt") << "4 1 1\n2\n4\n6\n8\n1\n2\n3\n4\n";
    std::ofstream("prinda.txt") << "earlier\n";
    Answers("d.txt\nr\nn\nd.txt\nd\ns\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(rda(), 1);
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_NE(console.find("\nExaminar resultados no arquivo prinda.txt.\n\n"), std::string::npos);
    std::string rep = Read("prinda.txt");
    EXPECT_EQ(rep.rfind("earlier\n" + std::string(61, '=') + "\nAnalise de Redundancia (RDA)\n", 0), 0u);
    // Covariance of the fitted values: var(2, 4, 6, 8) = 20/3.
    EXPECT_NE(rep.find("\nAutovalores canonicos (espaco definido pelas variaveis x): \n6.66667\t\n"), std::string::npos) << rep;
    EXPECT_NE(rep.find("\nProporcao dos eixos canonicos em relacao aa variacao total das variaveis y:\n1\t\n"), std::string::npos);
    // Two runs: the summary has no intermediate matrices, the detailed one has them once.
    size_t first = rep.find("\nMatriz xTx:\n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(rep.find("\nMatriz xTx:\n", first + 1), std::string::npos);
    EXPECT_NE(rep.find("\nMatriz S inversa:\n0.2\t\n"), std::string::npos);  // x'x = 5 after centring
    EXPECT_NE(rep.find("\nAnalise de Componentes Principais com a matriz Y (ordenacao nao-canonica)\n"), std::string::npos);
}

TEST_F(RdaDriverTest, ShortDataFileRaisesAndLeavesTheReport) {
    std::ofstream("short.txt") << "4 1 1\n2\n4\n";
    EXPECT_EQ(CodeOf("short.txt\nr\n"), TNX_END_OF_FILE);
    EXPECT_FALSE(std::filesystem::exists("prinda.txt"));
    EXPECT_EQ(CodeOf("missing.txt\n"), TNX_FAIL_TO_OPEN);
}

}  // namespace
