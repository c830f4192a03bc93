// The report section of the functional analysis, item by item, from a record filled by hand:
// the texts are the program's own (typed here from the report's layout), the numbers are the
// record's, printed by the report printers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "../common/TimeStampLine.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "statistics/StatTestUtil.h"
#include "traits/TNXRESEREP.h"

namespace {

using tnxtest::Count;

// What a printer writes, as text.
template <class F>
std::string Printed(F print) {
    FILE* f = std::tmpfile();
    print(f);
    const std::string s = ReadBack(f);
    std::fclose(f);
    return s;
}

// Checks that every fragment occurs, each after the previous one.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& fragments) {
    size_t at = 0;
    for (const std::string& f : fragments) {
        const size_t p = text.find(f, at);
        ASSERT_NE(p, std::string::npos) << "missing or out of order: [" << f << "] after [" << text.substr(at, 200) << "]";
        at = p + f.size();
    }
}

template <class T>
T** Matrix(int rows, int cols, std::initializer_list<T> values) {
    T** m = reinterpret_cast<T**>(dim2D(sizeof(T), rows, cols));
    auto it = values.begin();
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) m[i][j] = it == values.end() ? T(0) : *it++;
    return m;
}

// The five-OTU data set of the session tests (3 traits tr1..tr3, communities c1..c4, variables
// e1, e2, with or without a phylogeny of similarities), options set as the dialog leaves them,
// and a record whose numbers are chosen so that each is recognisable in the text.
class FunctionalReport : public tnxtest::TempDirTest {
protected:
    void Load(bool phylogeny) {
        tnxtest::LoadFiveOtus(phylogeny);
        std::snprintf(sessionName, sizeof sessionName, "s1");
        std::snprintf(dataName, sizeof dataName, "raw.txt");
        std::snprintf(prindaMode, sizeof prindaMode, "w");
        sDigits = 6, traitBasedOpt = 1, poolCSTopt = 2, clusMethPoolCSTs = 0, reseCSTopt = 1, countDoubleAbsence = 0;
        fuzzy = 3, opt_ro = 1, rese_opt = 6, optUnitTotalAdjust1 = optUnitTotalAdjust2 = true;
        includePhylogeny = phylogeny, sqrtDissimOpt_RaoTraits = sqrtDissimOpt_RaoPhyl = 1, printDetail = 0;
        optRndTests = true, niter = 99, rseed = 7, optRestrictPermutNullModel = 0, optWeightedNullModel = 0;
        twoTailedTestMantel = 1, OTUsTypesAreSpecies = false;
        for (int j = 0; j < nch; j++) weight[j] = 1.0f;
        const int part[5] = {1, 1, 2, 2, 3};
        std::copy(part, part + 5, partition_OTUs);
        if (phylogeny) {
            nTaxa = 3, phylogenyMatrixType = 1;
            partition_OTUs_Phyl = dim1Dint(5);
            std::copy(part, part + 5, partition_OTUs_Phyl);
        }
        FillRecord();
    }
    void TearDown() override {
        free1D(partition_OTUs_Phyl);
        partition_OTUs_Phyl = nullptr;
        for (double** m : {r.W1, r.DE, r.P, r.DP, r.T, r.Tn, r.DT, r.X, r.Xc}) free2D(m, 4);
        for (double** m : {r.Q, r.U, r.C}) free2D(m, 5);
        for (float** m : {r.phylScores, r.S}) free2D(m, 5);
        free2D(r.W, 4);
        free2D(r.A, 3);
        for (int* v : {r.selected, r.labels, r.typeSizes}) free1D(v);
        for (double* v : {r.D, r.Rf, r.FR, r.Rp, r.PR}) free1D(v);
        TempDirTest::TearDown();
    }
    void FillRecord() {
        r.nSelected = 3, r.typesExamined = true, r.nTypes = 3, r.nPhylAxes = 2, r.nLabels = 3, r.tested = true;
        r.selected = dim1Dint(3);
        std::fill(r.selected, r.selected + 3, 1);
        r.W = Matrix<float>(4, 5, {1, 0, 1, 0, 1, 0, 1, 1, 0, 1, 1, 0, 0, 1, 1, 0, 1, 0, 1, 1});
        r.W1 = Matrix<double>(4, 5, {1.0 / 3, 0, 1.0 / 3, 0, 1.0 / 3});
        r.DE = Matrix<double>(4, 4, {0, 1.5, 2.5, 3.5, 0, 0, 4.5, 5.5, 0, 0, 0, 6.5});
        r.phylScores = Matrix<float>(5, 5, {0.25f, -0.5f, 0.125f, 0.75f});
        r.Q = Matrix<double>(5, 3, {1, 0, 0});
        r.P = Matrix<double>(4, 3, {0.5, 0.25, 0.25});
        r.DP = Matrix<double>(4, 4, {0, 0.11, 0.12, 0.13, 0, 0, 0.14, 0.15, 0, 0, 0, 0.16});
        r.T = Matrix<double>(4, 3, {2.5, 3.5, 4.5});
        r.Tn = Matrix<double>(4, 3, {0.5, 0.6, 0.7});
        r.DT = Matrix<double>(4, 4, {0, 0.21, 0.22, 0.23, 0, 0, 0.24, 0.25, 0, 0, 0, 0.26});
        r.S = Matrix<float>(5, 5, {1, 0.75f, 0.5f, 0.25f, 0, 9, 1, 0.75f, 0.5f, 0.25f});
        for (int i = 2; i < 5; i++) r.S[i][i] = 1.0f;  // the lower cells stay 0 (and 9): never printed
        r.U = Matrix<double>(5, 3, {0.6, 0.3, 0.1});
        r.C = Matrix<double>(5, 3, {1, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 1});
        r.X = Matrix<double>(4, 3, {0.41, 0.42, 0.43});
        r.Xc = Matrix<double>(4, 3, {0.51, 0.52, 0.53});
        r.labels = dim1Dint(5);
        r.labels[0] = 1, r.labels[1] = 2, r.labels[2] = 3;
        r.typeSizes = dim1Dint(3);
        r.typeSizes[0] = 2, r.typeSizes[1] = 2, r.typeSizes[2] = 1;
        r.A = Matrix<float>(3, 3, {1.5f, 2.5f, 3.5f, 3.5f, 4.5f, 5.5f, 5, 6, 7});
        for (int i = 0; i < 22; i++) {
            r.observed[i] = 0.01 * (i + 1);   // statistic i: 0.0(i+1)
            r.probability[i] = 0.5 + 0.01 * i;
        }
        r.elapsedSeconds = 2;
        for (double** v : {&r.D, &r.Rf, &r.FR, &r.Rp, &r.PR}) *v = dim1Double(4);
        for (int c = 0; c < 4; c++) {
            r.D[c] = 0.6 + 0.01 * c, r.Rf[c] = 0.3 + 0.01 * c, r.FR[c] = 0.3;
            r.Rp[c] = 0.2 + 0.01 * c, r.PR[c] = 0.4;
        }
    }
    std::string Report() {
        return Printed([this](FILE* f) { EXPECT_TRUE(WriteFunctionalReport(f, r)); });
    }
    std::string Lower(double** m) {
        // The upper triangle (computed part) printed as the lower half: row i holds (0,i)..(i,i).
        std::string s;
        char buf[64];
        for (int i = 0; i < 4; i++) {
            for (int j = 0; j <= i; j++) {
                std::snprintf(buf, sizeof buf, "%.*g\t", sDigits, m[j][i]);
                s += buf;
            }
            s += "\n";
        }
        return s;
    }
    template <class T>
    std::string Mat(int rows, int cols, T** m) {
        return Printed([&](FILE* f) { PrintMatrix(f, rows, cols, m, sDigits, 0); });
    }
    FunctionalResults r;
};

TEST_F(FunctionalReport, HeaderLinesInOrderWithTheTitleOnlyWhenWritingAfresh) {
    Load(false);
    const std::string text = Report();
    const std::string head = "\n" + std::string(version) + "\n" + std::string(70, '-') +
                             "\nEXPLORATION OF COMMUNITY DATA STRUCTURES\n" + std::string(70, '-') + "\n";
    ASSERT_EQ(text.substr(0, head.size()), head);
    EXPECT_TRUE(tnxtest::IsTimeStampLine(text.substr(head.size(), 25)));
    const std::string rest =
        "Session:          s1\nFormatted data:   s1Formda.txt\nUnformatted data: raw.txt\n\n"
        "Trait set:        tr1tr2tr3\nNumber of states: 5  5  5  \nTrait type:       3  3  3  \n"
        "Trait weights:     1\t1\t1\t\nTrait-based approach: 1 (composition of types)\n"
        "Community data matrix W adjusted to unit totals prior to trait convergence evaluation (TCAP).\n"
        "Community data matrix W adjusted to unit totals prior to evaluation of TDAP.\n"
        "\nPooling of OTUs: 2 (polythetic)\n"
        "Clustering method defining types: none (groups were specified by the user).\n"
        "Resemblance function between OTUs: 1 (Gower index)\n"
        "Gower index modified to count matching absences in binary traits? not\n"
        "\nPhylogeny: Is NOT considered\n"
        "Rao entropy based on traits computed on square root transformed dissimilarities? yes\n"
        "\nPhylogeny: Is NOT considered\n"
        "All traits were considered in the computation of resemblance between OTUs.\n"
        "\nFuzzy transformation: \tfuzzy (fuzzy belonging of OTUs to types)\nNumber of types examined: \t3\n"
        "\nCorrelation function between matrices: \tmatrix correlation (Mantel)\n"
        "Resemblance option between communities: 6 (Euclidean distance)\n"
        "\nNumber of communities: 4\nCommunity labels: c1    c2    c3    c4    \n";
    EXPECT_EQ(text.substr(head.size() + 25, rest.size()), rest);

    std::snprintf(prindaMode, sizeof prindaMode, "a");
    const std::string appended = Report();
    EXPECT_EQ(appended.substr(0, 71), std::string(70, '-') + "\n");
}

TEST_F(FunctionalReport, WholeSectionWithoutPhylogenyInTheOrderOfItsItems) {
    Load(false);
    const std::string text = Report();
    ExpectInOrder(text, {
        "\nEcological variables (factors or effects):\te1\te2\t\n",
        "\nMatrix E with ecological variables (4 communities x 2 variables):\n" + Mat(4, 2, env) + "\n",
        "Resemblance matrix (DE) between community sites based on ecological variables:\n" + Lower(r.DE),
        "\nTraits:\ttr1\ttr2\ttr3\t\n",
        "\nMatrix T with trait averages at community level (4 communities x 3 traits):\n" + Mat(4, 3, r.T) + "\n",
        "\nMatrix T with normalized traits at community level (4 communities x 3 traits adjusted to unit length):\n" +
            Mat(4, 3, r.Tn) + "\n",
        "Resemblance matrix (DT) between communities based on selected traits:\n" + Lower(r.DT),
        "\nTraits:\ttr1\ttr2\ttr3\t\n",
        "\nPartition vector of 5 OTUs in 3 specified types:\n1\t1\t2\t2\t3\t\n",
        "\nLabels of 3 specified types:\n1\t2\t3\t\n",
        "\nNumber of OTUs in each type:\n2\t2\t1\t\n\n",
        "\nAverage trait matrix (3 types x 3 traits):\n" + Mat(3, 3, r.A) + "\n",
        "Pooled performance community matrix (4 communities x 3 crisp types) without fuzzy-weighting by the "
        "selected traits.\n" + Mat(4, 3, r.Xc) + "\n",
        "Pooled performance matrix X (4 communities x 3 types) after fuzzy-weighting by the selected traits.\n"
        "Traits:\ttr1\ttr2\ttr3\t\n" + Mat(4, 3, r.X) + "\n",
        "\nThe statistics shown below are matrix (Mantel) correlations.\n",
        // r(TE) is index 1, r(XE) 0, r(XE.T) 2, r(RE) 3, r(XE.TR) 4.
        "\nStatistics and probabilities*:\nConvergence (TCAP): r(TE)=\t0.02\tP=\t0.51\n"
        "Both TCAP and Divergence (TDAP): r(XE)=\t0.01\tP=\t0.5\nTDAP: r(XE.T)=\t0.03\tP=\t0.52\n"
        "Alpha divergence (correlation between environmental variables and Rao entropy): r(RE)=\t0.04\tP=\t0.53\n"
        "Beta divergence: r(XE.TR)=\t0.05\tP=\t0.54\n",
        "\nNumber of iterations for permutation tests: 99\nRandom generator seed: 7\n"
        "Permutations of OTUs: Unrestricted\n"
        "Permutation tests generated TWO-tailed p-values based on Mantel correlations.\n",
        "\nNumber of fuzzy types:\t3\nTraits:\ttr1\ttr2\ttr3\t\nNumber of OTUs in each type:\t2\t2\t1\t\n",
        "\n(*)Probability of finding more extreme correlations involving matrices T and X, and vector R, under "
        "null model described in Morrant et al. (2009).\n"
        "Null model involved permutation among OTUs vectors in matrix B, keeping fixed the community matrix W "
        "and environmental matrix E.\n"
        "Probability of an OTU occurring in a community was NOT weighted by its frequency in the community set.\n"
        "Elapsed time for the test(s): 2 seconds\n",
        "\n\nFUNCTIONAL DIVERSITY\nGini-Simpson index (D) within each community (equivalent to Rao quadratic "
        "entropy with null, crisp, similarities):\n0.6\t0.61\t0.62\t0.63\t\n",
        "\nRao quadratic entropy within each community, considering trait dissimilarities [D=sqrt(1-GowerIndex)] "
        "between OTUs (Rf):\n0.3\t0.31\t0.32\t0.33\t\n",
        "\nFunctional redundancy in each community (FR = D-Rf):\n0.3\t0.3\t0.3\t0.3\t\n\n",
    });
    // The section ends with the diversity vector and the closing newline.
    EXPECT_EQ(text.substr(text.size() - 18), "0.3\t0.3\t0.3\t0.3\t\n\n");
    for (const char* absent : {"PHYLOGENETIC", "Phylogenetic signal", "Community matrix W with", "Trait matrix B",
                               "Similarity matrix between", "Fuzzy degrees", "The types are species"})
        EXPECT_EQ(Count(text, absent), 0) << absent;
}

TEST_F(FunctionalReport, DetailAndPhylogenyItemsWithTheTest) {
    Load(true);
    printDetail = 1;
    const std::string text = Report();
    ExpectInOrder(text, {
        "\nPhylogeny: Is considered\n"
        "Rao entropy based on traits computed on square root transformed dissimilarities? yes\n"
        "Rao entropy based on phylogeny computed on square root transformed dissimilarities? yes\n"
        "\nPhylogeny: Is considered\n",
        "\nCommunity matrix W with 4 communities by 5 OTUs: \n" + Mat(4, 5, r.W) + "\n",
        "\nCommunity matrix W with 4 communities by 5 OTUs adjusted to unit sum within each community: \n" +
            Mat(4, 5, r.W1) + "\n",
        "\nPCoA scores based on the phylogenetic resemblance matrix with 5 OTUs by 2 ordination dimensions: \n" +
            Mat(5, 2, r.phylScores),
        "\nSimilarity matrix, in the range 0-1, between 5 OTUs based on their phylogeny:\n" +
            Printed([](FILE* f) { PrintMatrixTab(f, 5, 5, phylogenyRese, sDigits); }),
        "\nPartition vector of 5 OTUs in 3 taxa:\n1\t1\t2\t2\t3\t\n",
        "\nFuzzy belonging of 5 OTUs (rows) in 3 taxa (columns) according to their phylogeny:\n" + Mat(5, 3, r.Q) + "\n",
        "\nPooled performance matrix P (4 communities x 3 taxa) after fuzzy-weighting by the specified phylogeny:\n" +
            Mat(4, 3, r.P) + "\n",
        "\nResemblance matrix (DP) between communities based on matrix P, the composition of OTUs weighted by their "
        "phylogeny:\n" + Lower(r.DP),
        "\nTrait matrix B with 5 OTUs by 3 traits: \n" + Mat(5, 3, csm_Float) + "\n",
        "\nEcological variables (factors or effects):\t",
        "\nTraits:\ttr1\ttr2\ttr3\t\n\nSimilarity matrix between 5 OTUs, based on 3 traits:\n"
        "1\t\n0.75\t1\t\n0.5\t0.75\t1\t\n0.25\t0.5\t0\t1\t\n0\t0.25\t0\t0\t1\t\n",
        "\nPartition vector of 5 OTUs in 3 specified types:\n",
        "\nFuzzy degrees of belonging (matrix U) of 5 OTUs (rows) in 3 types (columns):\n" + Mat(5, 3, r.U) + "\n",
        "\nCrisp degrees of belonging (matrix C) of 5 OTUs (rows) in 3 types (columns):\n" + Mat(5, 3, r.C) + "\n",
        "\nLabels of 3 specified types:\n",
        // ro(BF) 11, r(FE) 12, ro(PE) 13, ro(PT) 14, ro(PX) 15, ro(PX.T) 16, ro(TE.P) 17, ro(XE.P) 18,
        // ro(XE.TP) 19, ro(PE.T) 20, ro(PE.X) 21.
        "\nPhylogenetic signal at OTU (species) level ro(BF) = \t0.12\tP=\t0.61"
        "\n\nPhylogenetically structured assembly patterns (PSAP):\n"
        "Correlation of PSAP to ecological variables: ro(PE)=\t0.14\tP=\t0.63\n"
        "Correlation of PSAP to TCAP: ro(PT)=\t0.15\tP=\t0.64\n"
        "Correlation of PSAP to both TCAP and TDAP: ro(PX)=\t0.16\tP=\t0.65\n"
        "Correlation of PSAP to TDAP: ro(PX.T)=\t0.17\tP=\t0.66\n"
        "Removing phylogeny from TCAP: ro(TE.P)=\t0.18\tP=\t0.67\n"
        "Removing phylogeny from both TCAP and TDAP: ro(XE.P)=\t0.19\tP=\t0.68\n"
        "Removing phylogeny from TDAP: ro(XE.TP)=\t0.2\tP=\t0.69\n"
        "Removing TCAP from phylogeny: ro(PE.T)=\t0.21\tP=\t0.7\n"
        "Removing TCAP and TDAP from phylogeny: ro(PE.X)=\t0.22\tP=\t0.71\n"
        "Alpha divergence (correlation between environmental variables and Rao entropy based on phylogeny): "
        "r(FE)=\t0.13\tP=\t0.62\n",
        "\n(*)Probability of finding more extreme correlations involving matrices T, X and P, and vector R, under "
        "null models described in Morrant et al. (2009) and Morrant & Keslin (2010).\n",
        "\n\nPHYLOGENETIC DIVERSITY\nRao quadratic entropy (Rp) within each community, considering phylogenetic "
        "dissimilarities obtained by transformation of input similarities [D= sqrt(1-S)] between OTUs:\n"
        "0.2\t0.21\t0.22\t0.23\t\n\nPhylogenetic redundancy in each community (PR = D-Rp):\n0.4\t0.4\t0.4\t0.4\t\n\n",
    });
}

TEST_F(FunctionalReport, StatisticsOnlyFormsWithoutTheTest) {
    Load(true);
    r.tested = false;
    const std::string mantel = Report();
    ExpectInOrder(mantel, {
        "\nStatistics:\nConvergence (TCAP): r(TE)=\t0.02\nBoth TCAP and TDAP: r(XE)=\t0.01\n"
        "Divergence (TDAP): r(XE.T)=\t0.03\nAlpha divergence (correlation between environmental variables and Rao "
        "entropy): r(RE)=\t0.04\nBeta divergence: r(XE.TR)=\t0.05\n",
        "\nPhylogenetic signal at OTU (species) level ro(BF) = \t0.12\n\nPhylogenetically structured assembly "
        "patterns (PSAP):\n\nCorrelation of PSAP to ecological variables: ro(PE)=\t0.14"
        "\nCorrelation of PSAP to TCAP (phylogenetic signal at metacommunity level): ro(PT)=\t0.15"
        "\nCorrelation of PSAP to both TCAP and TDAP (phylogenetic signal at metacommunity level): ro(PX)=\t0.16"
        "\nCorrelation of PSAP to TDAP: ro(PX.T)=\t0.17"
        "\nRemoving phylogeny from TCAP: ro(TE.P)=\t0.18\nRemoving phylogeny from both TCAP and TDAP: ro(XE.P)=\t0.19"
        "\nRemoving phylogeny from TDAP: ro(XE.TP)=\t0.2"
        "\nRemoving TCAP from phylogeny: ro(PE.T)=\t0.21\nRemoving TCAP and TDAP from phylogeny: ro(PE.X)=\t0.22\n"
        "Alpha divergence (correlation between environmental variables and Rao entropy based on phylogeny): "
        "r(FE)=\t0.13\n",
        "\n\nFUNCTIONAL DIVERSITY",
    });
    for (const char* absent : {"P=", "Number of iterations", "(*)Probability", "Elapsed time"})
        EXPECT_EQ(Count(mantel, absent), 0) << absent;

    // Without the test and under RV, the phylogenetic statistics are left out altogether.
    opt_ro = 3;
    const std::string rv = Report();
    EXPECT_EQ(Count(rv, "ro(BF)"), 0);
    EXPECT_EQ(Count(rv, "\nThe statistics shown below are RV coefficients (Dantrel 1973).\n"), 1);
}

// The statistics the engine leaves undefined (not a number), those of 2 communities under Mantel:
// r(XE.T) 2, r(RE) 3, r(XE.TR) 4, r(FE) 12 and the partials 16 to 21. Each prints "undefined" in
// place of its value and of its probability, in the tested and the untested report; the others
// keep their numbers.
TEST_F(FunctionalReport, StatisticsTheDataDoNotDefinePrintUndefined) {
    Load(true);
    for (int i : {2, 3, 4, 12, 16, 17, 18, 19, 20, 21}) r.observed[i] = r.probability[i] = std::nan("");
    const struct {
        bool tested;
        std::vector<std::string> lines;
    } cases[] = {
        {true,
         {"\nStatistics and probabilities*:\nConvergence (TCAP): r(TE)=\t0.02\tP=\t0.51\n"
          "Both TCAP and Divergence (TDAP): r(XE)=\t0.01\tP=\t0.5\nTDAP: r(XE.T)=\tundefined\tP=\tundefined\n"
          "Alpha divergence (correlation between environmental variables and Rao entropy): r(RE)=\tundefined\t"
          "P=\tundefined\nBeta divergence: r(XE.TR)=\tundefined\tP=\tundefined\n",
          "\nPhylogenetic signal at OTU (species) level ro(BF) = \t0.12\tP=\t0.61"
          "\n\nPhylogenetically structured assembly patterns (PSAP):\n"
          "Correlation of PSAP to ecological variables: ro(PE)=\t0.14\tP=\t0.63\n"
          "Correlation of PSAP to TCAP: ro(PT)=\t0.15\tP=\t0.64\n"
          "Correlation of PSAP to both TCAP and TDAP: ro(PX)=\t0.16\tP=\t0.65\n"
          "Correlation of PSAP to TDAP: ro(PX.T)=\tundefined\tP=\tundefined\n"
          "Removing phylogeny from TCAP: ro(TE.P)=\tundefined\tP=\tundefined\n"
          "Removing phylogeny from both TCAP and TDAP: ro(XE.P)=\tundefined\tP=\tundefined\n"
          "Removing phylogeny from TDAP: ro(XE.TP)=\tundefined\tP=\tundefined\n"
          "Removing TCAP from phylogeny: ro(PE.T)=\tundefined\tP=\tundefined\n"
          "Removing TCAP and TDAP from phylogeny: ro(PE.X)=\tundefined\tP=\tundefined\n"
          "Alpha divergence (correlation between environmental variables and Rao entropy based on phylogeny): "
          "r(FE)=\tundefined\tP=\tundefined\n"}},
        {false,
         {"\nStatistics:\nConvergence (TCAP): r(TE)=\t0.02\nBoth TCAP and TDAP: r(XE)=\t0.01\n"
          "Divergence (TDAP): r(XE.T)=\tundefined\nAlpha divergence (correlation between environmental variables and "
          "Rao entropy): r(RE)=\tundefined\nBeta divergence: r(XE.TR)=\tundefined\n",
          "\nPhylogenetic signal at OTU (species) level ro(BF) = \t0.12\n\nPhylogenetically structured assembly "
          "patterns (PSAP):\n\nCorrelation of PSAP to ecological variables: ro(PE)=\t0.14"
          "\nCorrelation of PSAP to TCAP (phylogenetic signal at metacommunity level): ro(PT)=\t0.15"
          "\nCorrelation of PSAP to both TCAP and TDAP (phylogenetic signal at metacommunity level): ro(PX)=\t0.16"
          "\nCorrelation of PSAP to TDAP: ro(PX.T)=\tundefined"
          "\nRemoving phylogeny from TCAP: ro(TE.P)=\tundefined\nRemoving phylogeny from both TCAP and TDAP: "
          "ro(XE.P)=\tundefined\nRemoving phylogeny from TDAP: ro(XE.TP)=\tundefined"
          "\nRemoving TCAP from phylogeny: ro(PE.T)=\tundefined\nRemoving TCAP and TDAP from phylogeny: "
          "ro(PE.X)=\tundefined\nAlpha divergence (correlation between environmental variables and Rao entropy "
          "based on phylogeny): r(FE)=\tundefined\n"}},
    };
    for (const auto& c : cases) {
        r.tested = c.tested;
        const std::string text = Report();
        ExpectInOrder(text, c.lines);
        EXPECT_EQ(Count(text, "nan"), 0) << c.tested;
        EXPECT_EQ(Count(text, "undefined"), c.tested ? 20 : 10) << c.tested;
    }
}

struct OptionCase {
    const char* name;
    void (*set)();
    std::vector<std::string> present, absent;
};

const OptionCase kOptionCases[] = {
    {"Procrustes: no lower halves, the regression factor instead of the resemblance option",
     [] { opt_ro = 2; overfitFactorPCARegr = 2.5; },
     {"\nCorrelation function between matrices: \tProcrustes (traceW)\nFactor (f) for limiting the number of "
      "predictors in PCA regression in relation to sample size n (number of predictors = n/f): 2.5\n",
      "\nThe statistics shown below are Procrustes correlations (traceW).\n"},
     {"Resemblance matrix (DE)", "Resemblance matrix (DT)", "Resemblance option between", "Mantel correlations.\n"}},
    {"crisp types print Xc as X and count crisp types",
     [] { fuzzy = 0; },
     {"\nFuzzy transformation: \tnone (crisp)\n", "\nPooled performance matrix X (4 communities x 3 crisp types):\n",
      "\nNumber of crisp types:\t3\nTraits:\ttr1\ttr2\ttr3\t\n"},
     {"after fuzzy-weighting by the selected traits"}},
    {"a trait of weight 0 is left out of the lists, and the labels run into the next item",
     [] { weight[1] = 0.0f; },
     {"Traits considered in the computation of OTUs resemblance:\ntr1tr3\nFuzzy transformation: ",
      "Trait weights:     1\t0\t1\t\n"},
     {"All traits were considered"}},
    {"one-tailed Mantel, weighted null model, W not at unit totals for TDAP",
     [] { twoTailedTestMantel = 0; optWeightedNullModel = 1; optUnitTotalAdjust2 = false; },
     {"Community data matrix W NOT adjusted to unit totals prior to evaluation of TDAP.\n",
      "Permutation tests generated ONE-tailed p-values based on Mantel correlations, except for partial "
      "correlations, which are always two-tailed tests.\n",
      "Probability of an OTU occurring in a community was weighted by its frequency in the community set.\n"},
     {"TWO-tailed"}},
    {"square root off names 1 - Gower; double absences counted",
     [] { sqrtDissimOpt_RaoTraits = 0; countDoubleAbsence = 1; },
     {"considering trait dissimilarities [D=1-GowerIndex] between OTUs (Rf):\n",
      "Gower index modified to count matching absences in binary traits? yes\n",
      "Rao entropy based on traits computed on square root transformed dissimilarities? not\n"},
     {"sqrt(1-GowerIndex)"}},
};

TEST_F(FunctionalReport, EachOptionChangesItsOwnLines) {
    for (const OptionCase& c : kOptionCases) {
        Load(false);
        c.set();
        const std::string text = Report();
        for (const std::string& p : c.present) EXPECT_EQ(Count(text, p), 1) << c.name << ": " << p;
        for (const std::string& a : c.absent) EXPECT_EQ(Count(text, a), 0) << c.name << ": " << a;
        TearDown();
        r = FunctionalResults();
        std::filesystem::current_path(box_.Path(""));
    }
}

TEST_F(FunctionalReport, SpeciesTableNamesTheSpeciesOfEachLabel) {
    Load(false);
    OTUsTypesAreSpecies = true;
    // Species 1 and 3 of three; OTUs 3 and 4 have no species (label 0).
    nSpp = 3;
    spp = dim2Dchar(3, kSpeciesNameSize);
    std::snprintf(spp[0], kSpeciesNameSize, "Alpha one");
    std::snprintf(spp[1], kSpeciesNameSize, "Beta two");
    std::snprintf(spp[2], kSpeciesNameSize, "Gamma three");
    r.labels[0] = 0, r.labels[1] = 1, r.labels[2] = 3;
    const std::string text = Report();
    EXPECT_EQ(Count(text, "\nThe types are species (# labels are used later in these results to identify the species) "
                          ":\n#\tSpecies\n0\t(no species)\n1\tAlpha one\n3\tGamma three\n\nLabels of 3 specified types:\n"),
              1);
}

TEST_F(FunctionalReport, NoSelectedTraitOrNoTypesEndTheSectionEarly) {
    Load(false);
    r.typesExamined = false;
    const std::string noTypes = Report();
    EXPECT_EQ(noTypes.substr(noTypes.size() - 2), "\n\n");
    EXPECT_EQ(Count(noTypes, "Similarity matrix between"), 0);
    EXPECT_EQ(Count(noTypes, "\nMatrix T with normalized traits"), 1);
    for (const char* absent : {"Partition vector", "Statistics", "FUNCTIONAL DIVERSITY"})
        EXPECT_EQ(Count(noTypes, absent), 0) << absent;

    r.nSelected = 0;
    printDetail = 1;
    const std::string noTraits = Report();
    // The trait matrix B is the last item, then the closing newline.
    const std::string tail = "\nTrait matrix B with 5 OTUs by 3 traits: \n" + Mat(5, 3, csm_Float) + "\n\n";
    EXPECT_EQ(noTraits.substr(noTraits.size() - tail.size()), tail);
    EXPECT_EQ(Count(noTraits, "Ecological variables"), 0);
}

TEST_F(FunctionalReport, PhylogenyGivenAsDistancesOrAsVariables) {
    Load(true);
    printDetail = 1;
    phylogenyMatrixType = 3;
    sqrtDissimOpt_RaoPhyl = 0;
    std::string text = Report();
    EXPECT_EQ(Count(text, "\nDissimilarity matrix, in the range 0-1, between 5 OTUs based on their phylogeny:\n"), 1);
    EXPECT_EQ(Count(text, "\nSimilarity matrix, in the range 0-1"), 0);
    EXPECT_EQ(Count(text, "considering phylogenetic dissimilarities between OTUs:\n0.2\t0.21\t0.22\t0.23\t\n"), 1);
    EXPECT_EQ(Count(text, "Variable types in the phylogeny matrix"), 0);

    // As variables: their types, the variables themselves and the Gower similarity computed from them.
    phylogenyMatrixType = 2;
    nClados = 2;
    phylogenyVarType = dim1Dint(2);
    phylogenyVarType[0] = 3, phylogenyVarType[1] = 4;
    float** variables = phylogenyData;
    phylogenyData = Matrix<float>(5, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    text = Report();
    ExpectInOrder(text, {"\nVariable types in the phylogeny matrix with 5 OTUs by 2 phylogenetic variables: \n3\t4\t\n",
                         "\nPhylogeny matrix with 5 OTUs by 2 phylogenetic variables: \n" + Mat(5, 2, phylogenyData) + "\n",
                         "\nSimilarity matrix (Gower index) between 5 OTUs, based on 2 phylogenetic variables:\n" +
                             Printed([](FILE* f) { PrintMatrixTab(f, 5, 5, phylogenyRese, sDigits); })});
    free2D(phylogenyData, 5);
    phylogenyData = variables;
    free1D(phylogenyVarType);
    phylogenyVarType = nullptr;
    nClados = 0;
}

TEST(PhylogeneticRaoHeading, NamesTheDissimilaritiesUsed) {
    EXPECT_EQ(std::string(PhylogeneticRaoHeading(true, false)),
              "\nRao quadratic entropy (Rp) within each community, considering phylogenetic dissimilarities between "
              "OTUs:\n");
    EXPECT_NE(std::string(PhylogeneticRaoHeading(true, true)).find("[D= sqrt(D)]"), std::string::npos);
    EXPECT_NE(std::string(PhylogeneticRaoHeading(false, true)).find("[D= sqrt(1-S)]"), std::string::npos);
    EXPECT_NE(std::string(PhylogeneticRaoHeading(false, false)).find("[D= 1-S]"), std::string::npos);
}

}  // namespace
