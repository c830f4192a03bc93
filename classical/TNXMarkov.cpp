// Markov models of community change: the dialog, the projection of each lag and the report.
#include <algorithm>
#include <climits>
#include <vector>

#include "classical/TNXDynamics.h"
#include "classical/TNXSeries.h"
#include "classical/qwDynamics.h"
#include "foundation/ConsoleReaders.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "session/dialogs/TNXIFSET.h"
#include "session/model/TNXGLOB.h"

namespace {

FILE* Out() { return out ? out : stdout; }

// The projection of one lag is settled once the distance between consecutive Markov relevés
// falls below this percentage of the first distance.
constexpr double kSettledPercent = 1.0;

// The transition matrices of every lag, released when they go out of scope.
struct TransitionMatrices {
    TransitionMatrices(int lags, int p) : lags(lags), p(p), A(dim3Double(lags, p, p)) {}
    ~TransitionMatrices() { free3D(A, lags, p); }
    TransitionMatrices(const TransitionMatrices&) = delete;
    TransitionMatrices& operator=(const TransitionMatrices&) = delete;
    int lags, p;
    double*** A;
};

// One lag's block of the report: its transition matrix, the Markov relevés projected from the
// first `lag` relevés of x, and how their consecutive distances settle.
void ReportLag(FILE* f, int lag, int p, int nM, double** x, double** A, double** M, std::vector<double>& d) {
    std::fprintf(f, "\nAverage transition matrix lag = %d step(s):\n", lag);
    PrintMatrixTab(f, p, p, A, sDigits);
    // Every lag projects from the observed relevés, not from the previous lag's projection.
    for (int i = 0; i < std::min(lag, nM); i++)
        for (int k = 0; k < p; k++) M[i][k] = x[i][k];
    ProjectMarkov(nM, p, lag, A, M);
    std::fprintf(f,
                 "\nMarkov releves in rows (lag = %d step(s) up to %d Markov releves, ordered from past to present):\n",
                 lag, nM);
    PrintMatrixTab(f, nM, p, M, sDigits);

    ConsecutiveDistances(nM, p, M, d.data());
    std::fprintf(f, "\nInstability levels between Markov releves j and j+1 (lag = %d step(s) up to %d Markov releves):\n",
                 lag, nM);
    for (int j = 0; j + 1 < nM; j++) std::fprintf(f, "%g\t", d[j]);
    std::fprintf(f,
                 "\n\nInstability levels (percentage) between Markov releves j and j+1 (lag = %d step(s) up to %d "
                 "Markov releves):\n",
                 lag, nM);
    // Percentages of a first distance of 0 do not exist.
    if (d[0] == 0.0) {
        std::fprintf(f, "percentages undefined\n");
        return;
    }
    int settled = 0;
    for (int j = 0; j + 1 < nM; j++) {
        const double percent = d[j] * 100.0 / d[0];
        std::fprintf(f, "%g\t", percent);
        if (settled == 0 && percent < kSettledPercent) settled = j + 2;
    }
    std::fprintf(f, "\n");
    if (settled > 0)
        std::fprintf(f, "Instability level of less than 1 percent reached at Markov relev\xC3\xA9 %d.\n", settled);
    else
        std::fprintf(f, "Instability level of less than 1 percent was not reached.\n");
}

void ReportTest(FILE* f, int n, int maxLag, int iterations, const MarkovityTest& test) {
    if (n < 3) {
        std::fprintf(f, "\nRANDOMIZATION TEST FOR MARKOVITY (Ho: coenosere undirected) not performed for the number "
                        "of relev\xC3\xA9s < 3.\n");
        return;
    }
    if (iterations < 2) return;
    std::fprintf(f, "\nRANDOMIZATION TEST FOR MARKOVITY (Ho: coenosere undirected):\n");
    std::fprintf(f, "Number of iterations: %d\n", iterations);
    std::fprintf(f, "Minimum theoretical probability of the test (1/n!): %Lg\n", 1.0L / Factorial(n));
    for (int l = 0; l < maxLag; l++) {
        std::fprintf(f, "\nLag = %d step(s):\n", l + 1);
        std::fprintf(f, "Engineer's stress coefficient of Kruskal (K) between observed and Markov releves: ");
        // A stress of -1 has no denominator: the distances are all 0.
        if (test.K[l] < 0.0) {
            std::fprintf(f, "undefined\n");
            continue;
        }
        std::fprintf(f, "%g\n", test.K[l]);
        std::fprintf(f, "Probability P(Knull <= K): %g\n", test.P[l]);
        std::fprintf(f, "Average Knull: %g\n", test.meanNull[l]);
    }
}

}  // namespace

void Markov() {
    if (ncsm < 2) {
        Refuse("\nMarkov fitting needs at least 2 releves.\n");
        return;
    }
    std::fprintf(Out(), "%s\n", "\nMARKOV fitting\n By Q. Morrant, incorporated into TARNEX on 15.April.2003\n");
    std::fprintf(Out(), "%s\n", "Based on technique described in Banstead, Kessel & Ruo (1993).");
    std::fprintf(Out(), "Are the releves arranged in reversed order (from present to past)? y/n ");
    const bool reversed = ReadCharIn("y n") == 'y';
    std::fprintf(Out(), "Enter the maximum lag between steps (must not be larger than number of sampling units - 1):  ");
    const int maxLag = static_cast<int>(ReadWholeNumber(1.0, ncsm - 1.0));
    std::fprintf(Out(), "Enter the number of markov releves to be predicted:  ");
    const int nM = static_cast<int>(ReadNumberIn("%d\n", "-", 2.0, static_cast<double>(INT_MAX)));
    std::fprintf(Out(), "Enter the number of iterations for testing Markovity:  ");
    const int iterations = static_cast<int>(ReadNumberIn("%d\n", "-", 1.0, static_cast<double>(INT_MAX)));
    int level = 1;
    SettingWhichLevel(&level);
    int p = 0;
    OwnedTable<double> x(ReadLevelByCommunityDouble(level, &p, reversed), ncsm);
    const int n = ncsm;
    SeedGenerators();

    // Only the consecutive distances of the Markov relevés are needed, never all their pairs.
    EnsureAllocatable(nM, p, sizeof(double));
    TransitionMatrices fit(maxLag, p);
    OwnedTable<double> M(nM, p);
    std::vector<double> d(static_cast<size_t>(nM - 1));
    FitMarkov(n, p, maxLag, x.get(), fit.A);
    MarkovityTest test;
    TestMarkovity(n, p, maxLag, x.get(), iterations, &test);

    SessionFileName(whichPrinda, prindaExt);
    ReportSection report(whichPrinda);
    FILE* f = report.Stream();
    SectionHead(f, "MARKOV FITTING\nBased on technique described in Banstead, Kessel & Ruo (1993).\n\n", true);
    std::fprintf(f, "Data matrix with %d releves (rows) and %d populations (columns) ordered from past to present:\n",
                 n, p);
    if (reversed) std::fprintf(f, "(Original data was reordered from past to present)\n");
    PrintMatrixTab(f, n, p, x.get(), sDigits);
    for (int l = 1; l <= maxLag; l++) ReportLag(f, l, p, nM, x.get(), fit.A[l - 1], M.get(), d);
    ReportTest(f, n, maxLag, iterations, test);
    report.Commit();
    ResultsAppended(whichPrinda);
}
