// Principal-component regression residuals and the redundancy analysis (routine and
// interactive driver). Reference values: r/pca_rda.R (lm on prcomp scores, eigen of the
// covariance of the fitted values, vegan::rda).

#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <iterator>

#include "common/ErrorCode.h"
#include "common/RefusedGrowth.h"
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

// The summary report of y = 2x (x = 1..4), worked out by hand: x and y centred (-1.5 -0.5 0.5 1.5,
// -3 -1 1 3), b = x'y / x'x = 10 / 5 = 2 and the fitted values y itself; one canonical axis of
// variance 20/3, the whole variance of y (proportion 1), loading 1, scores the centred y in both
// spaces, correlations 1 and biplot score sqrt(1) * 1; no residual variation, so no non-canonical
// axis (empty lines); the principal components of y the same axis again.
std::string SummaryOfTwiceX() {
    const std::string scores = "-3\t\n-1\t\n1\t\n3\t\n";
    return std::string(61, '=') +
           "\nAnalise de Redundancia (RDA)\ncf. Quarrin & Quarrin 1998, p.579-594.\n"
           "\nDADOS: \td.txt\nNumero de unidades amostrais: \t4\nNumero de variaveis em y: \t1\n"
           "Numero de variaveis em x: \t1\n"
           "\nMatriz y:\n2\t\n4\t\n6\t\n8\t\n\n\nMatriz x:\n1\t\n2\t\n3\t\n4\t\n\n"
           "\nAutovalores canonicos (espaco definido pelas variaveis x): \n6.66667\t\n"
           "\nProporcao dos eixos canonicos em relacao aa variacao total das variaveis y:\n1\t\n"
           "\nAutovetores (espaco definido pelas variaveis x): \n1\t\n"
           "\nEscores de unidades amostrais (espaco definido pelas variaveis x): \n" + scores +
           "\nEscores de unidades amostrais (espaco definido pelas variaveis y): \n" + scores +
           "Correlacao entre escores no espaco definido por Y e por X (eixo de ordenacao 1): 1\n"
           "\nCorrelacao entre variaveis em X e os eixos de ordenacao canonica:\nVar. 1:\t1\t\n"
           "\nEscores de variaveis em X para biplots:\nVar. 1:\t1\t\n"
           "\nAutovalores nao-canonicos (espaco definido pelas variaveis yRes = y-yP): \n\n"
           "\nProporcao dos eixos nao-canonicos em relacao a variacao total das variaveis y:\n\n"
           "\nAnalise de Componentes Principais com a matriz Y (ordenacao nao-canonica)\n"
           "\nAutovalores (espaco definido pelas variaveis y): \n6.66667\t\n"
           "\nProporcao dos eixos em relacao aa variacao total das variaveis y:\n1\t\n"
           "\nAutovetores (espaco definido pelas variaveis y): \n1\t\n"
           "\nEscores de unidades amostrais (espaco definido pelas variaveis y): \n" + scores + "\n\n\n";
}

// The report is composed whole before it is appended: it is appended byte for byte, or the report
// stays as it was. A report of 1000 bytes under a file-size limit of 1100 (SIGXFSZ ignored, as
// under nohup) has room for 100 bytes of the new text: the append fails and is cut back, the file
// and the reason named (code 3); memory refused for the text past 1024 bytes (the text is longer)
// is code 1, before the report is touched.
TEST_F(RdaDriverTest, TheReportIsAppendedWholeOrNotAtAll) {
    const std::string earlier(999, 'e'), text = SummaryOfTwiceX();
    ASSERT_GT(text.size(), 1024u);
    const struct {
        const char* what;
        rlim_t fileSizeLimit;  // 0: none
        size_t refuseGrowthAbove;
        int code;
        const char* message;
    } cases[] = {
        {"appended whole", 0, SIZE_MAX, 0, ""},
        {"past the file-size limit", 1100, SIZE_MAX, TNX_FAIL_TO_PRINT, "\ncan't write prinda.txt: File too large \n"},
        {"memory refused", 0, 1024, TNX_OUT_OF_MEMORY, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream("d.txt") << "4 1 1\n2\n4\n6\n8\n1\n2\n3\n4\n";
        std::ofstream("prinda.txt") << earlier << "\n";
        struct rlimit old {};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        if (c.fileSizeLimit) {
            const struct rlimit limit = {c.fileSizeLimit, old.rlim_max};
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
        }
        Answers("d.txt\nr\ns\n");
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int code = 0;
        {
            RefusedGrowth refusal(c.refuseGrowthAbove);
            code = tnxtest::CodeOf(rda);
        }
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(Read("prinda.txt"), earlier + "\n" + (c.code == 0 ? text : ""));
    }
}

// The reader: a file cut short, or no unit, raises end of file and leaves no report; one unit is
// the fewest it takes (its report appended, with no axis to show).
TEST_F(RdaDriverTest, ShortDataFileRaisesAndLeavesTheReport) {
    const struct {
        const char* what;
        const char* data;
        int code;
    } files[] = {{"cut short", "4 1 1\n2\n4\n", TNX_END_OF_FILE},
                 {"no unit", "0 1 1\n", TNX_END_OF_FILE},
                 {"one unit", "1 1 1\n2\n1\n", 0}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.what);
        std::filesystem::remove("prinda.txt");
        std::ofstream("short.txt") << f.data;
        EXPECT_EQ(CodeOf("short.txt\nr\ns\n"), f.code);
        EXPECT_EQ(std::filesystem::exists("prinda.txt"), f.code == 0);
        if (f.code != 0) continue;
        const std::string report = Read("prinda.txt");
        EXPECT_NE(report.find("Numero de unidades amostrais: \t1\n"), std::string::npos);
        EXPECT_NE(report.find("\nMatriz y:\n2\t\n\n\nMatriz x:\n1\t\n"), std::string::npos);
    }
    EXPECT_EQ(CodeOf("missing.txt\n"), TNX_FAIL_TO_OPEN);
}

}  // namespace
