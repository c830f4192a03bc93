// The report section of the functional analysis (session name + "Prinda.txt").
#include "traits/TNXRESEREP.h"

#include <cmath>
#include <cstring>

#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "session/model/TNXGLOB.h"

namespace {

// Indices of the statistics in the engine's record.
enum Stat {
    kXE = 0, kTE = 1, kXE_T = 2, kRE = 3, kXE_TR = 4,
    kBF = 11, kFE = 12, kPE = 13, kPT = 14, kPX = 15, kPX_T = 16,
    kTE_P = 17, kXE_P = 18, kXE_TP = 19, kPE_T = 20, kPE_X = 21
};

const char* YesNot(int v) { return OptionLabel(YesNotInfo, v ? 1 : 0); }

void Matrix(FILE* f, int rows, int cols, float** m) { PrintMatrix(f, rows, cols, m, sDigits, 0); }
void Matrix(FILE* f, int rows, int cols, double** m) { PrintMatrix(f, rows, cols, m, sDigits, 0); }

void SelectedLabels(FILE* f, const FunctionalResults& r, const char* format) {
    for (int j = 0; j < nch; j++)
        if (r.selected[j] == 1) fprintf(f, format, chLabel[j]);
}

void Header(FILE* f, const FunctionalResults& r) {
    ReportOpening(f);
    fprintf(f, "Trait set:        ");
    for (int j = 0; j < nch; j++) fprintf(f, "%-3s", chLabel[j]);
    TraitStatesAndTypes(f);
    fprintf(f, "\nTrait weights:     ");
    for (int j = 0; j < nch; j++) fprintf(f, "%g\t", weight[j]);
    fprintf(f, "\nTrait-based approach: %s\n", OptionLabel(traitBasedOptInfo, traitBasedOpt - 1));
    fprintf(f, optUnitTotalAdjust1
                   ? "Community data matrix W adjusted to unit totals prior to trait convergence evaluation (TCAP).\n"
                   : "Community data matrix W NOT adjusted to unit totals prior to trait convergence evaluation (TCAP).\n");
    fprintf(f, optUnitTotalAdjust2 ? "Community data matrix W adjusted to unit totals prior to evaluation of TDAP.\n"
                                   : "Community data matrix W NOT adjusted to unit totals prior to evaluation of TDAP.\n");
    fprintf(f, "\nPooling of OTUs: %s\n", OptionLabel(poolCSToptInfo, poolCSTopt - 1));
    if (poolCSTopt == 2) {
        if (clusMethPoolCSTs != 0)
            fprintf(f, "Clustering method defining types: %s\n", OptionLabel(clusMethInfo, clusMethPoolCSTs));
        else
            fprintf(f, "Clustering method defining types: none (groups were specified by the user).\n");
        fprintf(f, "Resemblance function between OTUs: %s\n", OptionLabel(reseCSToptInfo, reseCSTopt - 1));
        if (reseCSTopt == 1)
            fprintf(f, "Gower index modified to count matching absences in binary traits? %s\n", YesNot(countDoubleAbsence));
    }
    const char* phylLine = includePhylogeny ? "\nPhylogeny: Is considered\n" : "\nPhylogeny: Is NOT considered\n";
    fprintf(f, "%s", phylLine);
    fprintf(f, "Rao entropy based on traits computed on square root transformed dissimilarities? %s\n",
            YesNot(sqrtDissimOpt_RaoTraits));
    if (includePhylogeny)
        fprintf(f, "Rao entropy based on phylogeny computed on square root transformed dissimilarities? %s\n",
                YesNot(sqrtDissimOpt_RaoPhyl));
    fprintf(f, "%s", phylLine);
    bool someZero = false;
    for (int j = 0; j < nch; j++) someZero = someZero || weight[j] == 0.0f;
    if (someZero) {
        fprintf(f, "Traits considered in the computation of OTUs resemblance:\n");
        for (int j = 0; j < nch; j++)
            if (weight[j] > 0.0f) fprintf(f, "%-3s", chLabel[j]);
    } else {
        fprintf(f, "All traits were considered in the computation of resemblance between OTUs.\n");
    }
    fprintf(f, "\nFuzzy transformation: \t%s\n", OptionLabel(fuzzyInfo, fuzzy));
    fprintf(f, "Number of types examined: \t%d\n", r.nTypes);
    fprintf(f, "\nCorrelation function between matrices: \t%s\n", OptionLabel(opt_roInfo, opt_ro - 1));
    if (opt_ro == 1)
        fprintf(f, "Resemblance option between communities: %s\n", OptionLabel(rese_optInfo, rese_opt - 1));
    else
        fprintf(f,
                "Factor (f) for limiting the number of predictors in PCA regression in relation to sample size n "
                "(number of predictors = n/f): %g\n",
                overfitFactorPCARegr);
    fprintf(f, "\nNumber of communities: %d\n", ncsm);
    fprintf(f, "Community labels: ");
    for (int c = 0; c < ncsm; c++) fprintf(f, "%-6s", reLabel[c]);
    fprintf(f, "\n");
    if (printDetail == 1) {
        fprintf(f, "\nCommunity matrix W with %d communities by %d OTUs: \n", ncsm, tcst);
        Matrix(f, ncsm, tcst, r.W);
        fprintf(f, "\n");
        fprintf(f, "\nCommunity matrix W with %d communities by %d OTUs adjusted to unit sum within each community: \n",
                ncsm, tcst);
        Matrix(f, ncsm, tcst, r.W1);
        fprintf(f, "\n");
    }
}

void Phylogeny(FILE* f, const FunctionalResults& r) {
    if (printDetail == 1) {
        fprintf(f, "\nPCoA scores based on the phylogenetic resemblance matrix with %d OTUs by %d ordination dimensions: \n",
                tcst, r.nPhylAxes);
        // In the phylogeny's own units: the scores times 2^-e, in double, which holds them at any
        // scale (and prints single-precision values as they are).
        double** scores = dim2Double(tcst, r.nPhylAxes > 0 ? r.nPhylAxes : 1);
        for (int i = 0; i < tcst; i++)
            for (int a = 0; a < r.nPhylAxes; a++)
                scores[i][a] = std::ldexp(double(r.phylScores[i][a]), -r.phylScoresExponent);
        Matrix(f, tcst, r.nPhylAxes, scores);
        free2D(scores, tcst);
    }
    if (phylogenyMatrixType == 2) {
        fprintf(f, "\nVariable types in the phylogeny matrix with %d OTUs by %d phylogenetic variables: \n", tcst, nClados);
        PrintVectorTab(f, nClados, phylogenyVarType, nullptr);
    }
    if (printDetail == 1) {
        if (phylogenyMatrixType == 1)
            fprintf(f, "\nSimilarity matrix, in the range 0-1, between %d OTUs based on their phylogeny:\n", tcst);
        else if (phylogenyMatrixType == 3)
            fprintf(f, "\nDissimilarity matrix, in the range 0-1, between %d OTUs based on their phylogeny:\n", tcst);
        else if (phylogenyMatrixType == 2) {
            fprintf(f, "\nPhylogeny matrix with %d OTUs by %d phylogenetic variables: \n", tcst, nClados);
            Matrix(f, tcst, nClados, phylogenyData);
            fprintf(f, "\n");
            fprintf(f, "\nSimilarity matrix (Gower index) between %d OTUs, based on %d phylogenetic variables:\n", tcst,
                    nClados);
        }
        PrintMatrixTab(f, tcst, tcst, phylogenyRese, sDigits);
    }
    fprintf(f, "\nPartition vector of %d OTUs in %d taxa:\n", tcst, nTaxa);
    PrintVectorTab(f, tcst, partition_OTUs_Phyl, nullptr);
    if (printDetail == 1) {
        fprintf(f, "\nFuzzy belonging of %d OTUs (rows) in %d taxa (columns) according to their phylogeny:\n", tcst, nTaxa);
        Matrix(f, tcst, nTaxa, r.Q);
        fprintf(f, "\n");
    }
    fprintf(f, "\nPooled performance matrix P (%d communities x %d taxa) after fuzzy-weighting by the specified phylogeny:\n",
            ncsm, nTaxa);
    Matrix(f, ncsm, nTaxa, r.P);
    fprintf(f, "\n");
    if (opt_ro == 1) {
        fprintf(f, "\nResemblance matrix (DP) between communities based on matrix P, the composition of OTUs weighted by "
                   "their phylogeny:\n");
        PrintUpperTriangle(f, ncsm, r.DP);
    }
}

void Pass(FILE* f, const FunctionalResults& r) {
    fprintf(f, "\nEcological variables (factors or effects):\t");
    for (int v = 0; v < nenv; v++) fprintf(f, "%s\t", envLabel[v]);
    fprintf(f, "\n");
    fprintf(f, "\nMatrix E with ecological variables (%d communities x %d variables):\n", ncsm, nenv);
    Matrix(f, ncsm, nenv, env);
    fprintf(f, "\n");
    if (opt_ro == 1) {
        fprintf(f, "Resemblance matrix (DE) between community sites based on ecological variables:\n");
        PrintUpperTriangle(f, ncsm, r.DE);
    }
    fprintf(f, "\nTraits:\t");
    SelectedLabels(f, r, "%s\t");
    fprintf(f, "\n");
    if (optUnitTotalAdjust1)
        fprintf(f, "\nMatrix T with trait averages at community level (%d communities x %d traits):\n", ncsm, nch);
    else
        fprintf(f, "\nMatrix T with trait totals at community level (%d communities x %d traits):\n", ncsm, nch);
    Matrix(f, ncsm, nch, r.T);
    fprintf(f, "\n");
    fprintf(f, "\nMatrix T with normalized traits at community level (%d communities x %d traits adjusted to unit length):\n",
            ncsm, nch);
    Matrix(f, ncsm, nch, r.Tn);
    fprintf(f, "\n");
    if (opt_ro == 1) {
        fprintf(f, "Resemblance matrix (DT) between communities based on selected traits:\n");
        PrintUpperTriangle(f, ncsm, r.DT);
    }
    fprintf(f, "\nTraits:\t");
    SelectedLabels(f, r, "%s\t");
    fprintf(f, "\n");
    if (printDetail == 1) {
        fprintf(f, "\nSimilarity matrix between %d OTUs, based on %d traits:\n", tcst, r.nSelected);
        PrintUpperTriangle(f, tcst, r.S);
    }
    if (r.clustered) {
        fprintf(f, "\nWith this trait subset there are %d monothetic types of OTUs.\n", r.nMonothetic);
        if (printDetail == 1) {
            fprintf(f, "\nSimilarity matrix between %d monothetic types, based on %d traits:\n", r.nMonothetic,
                    r.nSelected);
            PrintUpperTriangle(f, r.nMonothetic, r.Smono);
        }
    }
}

void Types(FILE* f, const FunctionalResults& r) {
    const int k = r.nTypes;
    int* partition = r.partition ? r.partition : partition_OTUs;
    if (r.clustered) {
        fprintf(f, "\nPartition vector of %d OTUs in %d monothetic types:\n", tcst, r.nMonothetic);
        PrintVectorTab(f, tcst, r.monothetic, nullptr);
        fprintf(f, "\nPartition vector of %d OTUs in %d polythetic types:\n", tcst, k);
    } else {
        fprintf(f, "\nPartition vector of %d OTUs in %d specified types:\n", tcst, k);
    }
    PrintVectorTab(f, tcst, partition, nullptr);
    if (OTUsTypesAreSpecies) {
        fprintf(f, "\nThe types are species (# labels are used later in these results to identify the species) :\n");
        fprintf(f, "#\tSpecies\n");
        // Each label names its own species (label l is species l); label 0 marks OTUs that were
        // given no species.
        for (int i = 0; i < r.nLabels; i++) {
            const int l = r.labels[i];
            fprintf(f, "%d\t%s\n", l, (l >= 1 && l <= nSpp) ? spp[l - 1] : "(no species)");
        }
    }
    if (printDetail == 1) {
        fprintf(f, "\nFuzzy degrees of belonging (matrix U) of %d OTUs (rows) in %d types (columns):\n", tcst, k);
        Matrix(f, tcst, k, r.U);
        fprintf(f, "\n");
        fprintf(f, "\nCrisp degrees of belonging (matrix C) of %d OTUs (rows) in %d types (columns):\n", tcst, k);
        Matrix(f, tcst, k, r.C);
        fprintf(f, "\n");
    }
    if (!r.clustered) {
        fprintf(f, "\nLabels of %d specified types:\n", r.nLabels);
        PrintVectorTab(f, r.nLabels, r.labels, nullptr);
    }
    fprintf(f, "\nNumber of OTUs in each type:\n");
    PrintVectorTab(f, k, r.typeSizes, nullptr);
    fprintf(f, "\n");
    fprintf(f, "\nAverage trait matrix (%d types x %d traits):\n", k, nch);
    Matrix(f, k, nch, r.A);
    fprintf(f, "\n");
    fprintf(f, "Pooled performance community matrix (%d communities x %d crisp types) without fuzzy-weighting by the "
               "selected traits.\n",
            ncsm, k);
    Matrix(f, ncsm, k, r.Xc);
    fprintf(f, "\n");
    if (fuzzy == 3) {
        fprintf(f, "Pooled performance matrix X (%d communities x %d types) after fuzzy-weighting by the selected traits.\n",
                ncsm, k);
        fprintf(f, "Traits:\t");
        SelectedLabels(f, r, "%s\t");
        fprintf(f, "\n");
        Matrix(f, ncsm, k, r.X);
        fprintf(f, "\n");
    } else {
        fprintf(f, "\nPooled performance matrix X (%d communities x %d crisp types):\n", ncsm, k);
        Matrix(f, ncsm, k, r.Xc);
        fprintf(f, "\n");
    }
}

// The line after the statistics that names the selected nominal traits: T averages their
// category codes, and r(TE), r(XE.T) and r(XE.TR) rest on those averages. Nothing without them.
void NominalAveragesNote(FILE* f, const FunctionalResults& r) {
    bool any = false;
    for (int j = 0; j < nch; j++) any = any || (r.selected[j] == 1 && chtype[j] == 2);
    if (!any) return;
    fprintf(f, "r(TE), r(XE.T) and r(XE.TR) rest on T, which averages the category codes of the nominal traits:\t");
    for (int j = 0; j < nch; j++)
        if (r.selected[j] == 1 && chtype[j] == 2) fprintf(f, "%s\t", chLabel[j]);
    fprintf(f, "\n");
}

// A statistic or its probability, or "undefined" when the data do not define the statistic
// (the engine leaves it not a number: too few communities for it, or an environment without
// variation).
void PrintStatistic(FILE* f, double v, bool undefined) {
    if (undefined) fprintf(f, "undefined");
    else fprintf(f, "%g", v);
}

// "<head>" and the statistic i, then, for the tested report, "\tP=\t" and its probability; both
// "undefined" when the statistic is.
void StatisticLine(FILE* f, const FunctionalResults& r, const char* head, int i, bool withP) {
    const bool undefined = !std::isfinite(r.observed[i]);
    fprintf(f, "%s", head);
    PrintStatistic(f, r.observed[i], undefined);
    if (withP) {
        fprintf(f, "\tP=\t");
        PrintStatistic(f, r.probability[i], undefined);
    }
}

void Statistics(FILE* f, const FunctionalResults& r) {
    if (opt_ro == 1)
        fprintf(f, "\nThe statistics shown below are matrix (Mantel) correlations.\n");
    else if (opt_ro == 2)
        fprintf(f, "\nThe statistics shown below are Procrustes correlations (traceW).\n");
    else if (opt_ro == 3)
        fprintf(f, "\nThe statistics shown below are RV coefficients (Dantrel 1973).\n");

    // The statistics that compare the communities with their environment, with the heads of the
    // tested and the untested report.
    struct Line {
        const char *tested, *untested;
        int index;
    };
    const Line lines[] = {
        {"Convergence (TCAP): r(TE)=\t", "Convergence (TCAP): r(TE)=\t", kTE},
        {"Both TCAP and Divergence (TDAP): r(XE)=\t", "Both TCAP and TDAP: r(XE)=\t", kXE},
        {"TDAP: r(XE.T)=\t", "Divergence (TDAP): r(XE.T)=\t", kXE_T},
        {"Alpha divergence (correlation between environmental variables and Rao entropy): r(RE)=\t",
         "Alpha divergence (correlation between environmental variables and Rao entropy): r(RE)=\t", kRE},
        {"Beta divergence: r(XE.TR)=\t", "Beta divergence: r(XE.TR)=\t", kXE_TR}};
    fprintf(f, r.tested ? "\nStatistics and probabilities*:\n" : "\nStatistics:\n");
    for (const Line& line : lines) {
        StatisticLine(f, r, r.tested ? line.tested : line.untested, line.index, r.tested);
        fprintf(f, "\n");
    }
    NominalAveragesNote(f, r);
    if (r.tested) {
        fprintf(f, "\nNumber of iterations for permutation tests: %d\n", niter);
        fprintf(f, "Random generator seed: %u\n", static_cast<unsigned>(rseed));
        if (optRestrictPermutNullModel == 0) {
            fprintf(f, "Permutations of OTUs: Unrestricted\n");
        } else if (optRestrictPermutNullModel == 1) {
            fprintf(f, "Permutations of OTUs: Restricted within the following groups:\nNesting groups for %d OTUs:\t", tcst);
            PrintVectorTab(f, tcst, nestingMembershipOTUs, nullptr);
        }
        if (opt_ro == 1)
            fprintf(f, twoTailedTestMantel
                           ? "Permutation tests generated TWO-tailed p-values based on Mantel correlations.\n"
                           : "Permutation tests generated ONE-tailed p-values based on Mantel correlations, except for "
                             "partial correlations, which are always two-tailed tests.\n");
    }

    fprintf(f, fuzzy == 3 ? "\nNumber of fuzzy types:\t%d\nTraits:\t" : "\nNumber of crisp types:\t%d\nTraits:\t", r.nTypes);
    SelectedLabels(f, r, "%-2s\t");
    fprintf(f, "\nNumber of OTUs in each type:\t");
    for (int t = 0; t < r.nTypes; t++) fprintf(f, "%d\t", r.typeSizes[t]);
    fprintf(f, "\n");

    if (includePhylogeny) {
        // Each statistic with the text before it and after it, in the tested report and in the
        // untested one under the matrix correlation.
        struct Phylo {
            const char *before, *after;
            int index;
        };
        if (r.tested) {
            const Phylo tested[] = {
                {"\nPhylogenetic signal at OTU (species) level ro(BF) = \t", "", kBF},
                {"\n\nPhylogenetically structured assembly patterns (PSAP):\n"
                 "Correlation of PSAP to ecological variables: ro(PE)=\t",
                 "\n", kPE},
                {"Correlation of PSAP to TCAP: ro(PT)=\t", "\n", kPT},
                {"Correlation of PSAP to both TCAP and TDAP: ro(PX)=\t", "\n", kPX},
                {"Correlation of PSAP to TDAP: ro(PX.T)=\t", "\n", kPX_T},
                {"Removing phylogeny from TCAP: ro(TE.P)=\t", "\n", kTE_P},
                {"Removing phylogeny from both TCAP and TDAP: ro(XE.P)=\t", "\n", kXE_P},
                {"Removing phylogeny from TDAP: ro(XE.TP)=\t", "\n", kXE_TP},
                {"Removing TCAP from phylogeny: ro(PE.T)=\t", "\n", kPE_T},
                {"Removing TCAP and TDAP from phylogeny: ro(PE.X)=\t", "\n", kPE_X},
                {"Alpha divergence (correlation between environmental variables and Rao entropy based on phylogeny): "
                 "r(FE)=\t",
                 "\n", kFE}};
            for (const Phylo& line : tested) {
                StatisticLine(f, r, line.before, line.index, true);
                fprintf(f, "%s", line.after);
            }
        } else if (opt_ro == 1) {
            const Phylo untested[] = {
                {"\nPhylogenetic signal at OTU (species) level ro(BF) = \t", "", kBF},
                {"\n\nPhylogenetically structured assembly patterns (PSAP):\n"
                 "\nCorrelation of PSAP to ecological variables: ro(PE)=\t",
                 "", kPE},
                {"\nCorrelation of PSAP to TCAP (phylogenetic signal at metacommunity level): ro(PT)=\t", "", kPT},
                {"\nCorrelation of PSAP to both TCAP and TDAP (phylogenetic signal at metacommunity level): ro(PX)=\t",
                 "", kPX},
                {"\nCorrelation of PSAP to TDAP: ro(PX.T)=\t", "", kPX_T},
                {"\nRemoving phylogeny from TCAP: ro(TE.P)=\t", "", kTE_P},
                {"\nRemoving phylogeny from both TCAP and TDAP: ro(XE.P)=\t", "", kXE_P},
                {"\nRemoving phylogeny from TDAP: ro(XE.TP)=\t", "", kXE_TP},
                {"\nRemoving TCAP from phylogeny: ro(PE.T)=\t", "", kPE_T},
                {"\nRemoving TCAP and TDAP from phylogeny: ro(PE.X)=\t", "\n", kPE_X},
                {"Alpha divergence (correlation between environmental variables and Rao entropy based on phylogeny): "
                 "r(FE)=\t",
                 "\n", kFE}};
            for (const Phylo& line : untested) {
                StatisticLine(f, r, line.before, line.index, false);
                fprintf(f, "%s", line.after);
            }
        }
    }

    if (r.tested) {
        if (!includePhylogeny) {
            fprintf(f, "\n(*)Probability of finding more extreme correlations involving matrices T and X, and vector R, "
                       "under null model described in Morrant et al. (2009).\n");
            fprintf(f, "Null model involved permutation among OTUs vectors in matrix B, keeping fixed the community matrix "
                       "W and environmental matrix E.\n");
        } else {
            fprintf(f, "\n(*)Probability of finding more extreme correlations involving matrices T, X and P, and vector R, "
                       "under null models described in Morrant et al. (2009) and Morrant & Keslin (2010).\n");
            fprintf(f, "Null model involved (1) permutation among OTUs vectors in matrix B for those correlations "
                       "involving matrices T and X and vector R, (2) permutation among vectors in matrix Q for those "
                       "correlations involving matrix P (ro(PE), ro(PT) and ro(PE.X)), and (3) identical permutation "
                       "among row vectors in both matrices U and Q, for ro(PX) and ro(PX.T). Matrix W and "
                       "environmental matrix E are not permuted.\n");
        }
        fprintf(f, optWeightedNullModel
                       ? "Probability of an OTU occurring in a community was weighted by its frequency in the community "
                         "set.\n"
                       : "Probability of an OTU occurring in a community was NOT weighted by its frequency in the "
                         "community set.\n");
        fprintf(f, "Elapsed time for the test(s): %g seconds\n", r.elapsedSeconds);
    }
}

void Diversity(FILE* f, const FunctionalResults& r) {
    fprintf(f, "\n\nFUNCTIONAL DIVERSITY");
    fprintf(f, "\nGini-Simpson index (D) within each community (equivalent to Rao quadratic entropy with null, crisp, "
               "similarities):\n");
    PrintVectorTab(f, ncsm, r.D, sDigits, nullptr);
    fprintf(f, sqrtDissimOpt_RaoTraits
                   ? "\nRao quadratic entropy within each community, considering trait dissimilarities "
                     "[D=sqrt(1-GowerIndex)] between OTUs (Rf):\n"
                   : "\nRao quadratic entropy within each community, considering trait dissimilarities "
                     "[D=1-GowerIndex] between OTUs (Rf):\n");
    PrintVectorTab(f, ncsm, r.Rf, sDigits, nullptr);
    fprintf(f, "\nFunctional redundancy in each community (FR = D-Rf):\n");
    PrintVectorTab(f, ncsm, r.FR, sDigits, nullptr);
    if (includePhylogeny) {
        fprintf(f, "\n\nPHYLOGENETIC DIVERSITY");
        fprintf(f, "%s", PhylogeneticRaoHeading(phylogenyMatrixType == 3, sqrtDissimOpt_RaoPhyl != 0));
        PrintVectorTab(f, ncsm, r.Rp, sDigits, nullptr);
        fprintf(f, "\nPhylogenetic redundancy in each community (PR = D-Rp):\n");
        PrintVectorTab(f, ncsm, r.PR, sDigits, nullptr);
    }
}

// Transposed into a copy, so that the caller's matrix is never written.
template <class T>
void UpperTriangleAsLowerHalf(FILE* f, int n, T** m) {
    T** t = reinterpret_cast<T**>(dim2D(sizeof(T), n, n));
    for (int i = 0; i < n; i++)
        for (int j = 0; j <= i; j++) t[i][j] = m[j][i];
    PrintLowerHalfMatrixTab(f, n, t, sDigits);
    free2D(t, n);
}

}  // namespace

void ReportOpening(FILE* f) {
    if (std::strcmp(prindaMode, "w") == 0) fprintf(f, "\n%s\n", version);
    fprintf(f, "%s\n", lineL);
    fprintf(f, "EXPLORATION OF COMMUNITY DATA STRUCTURES\n");
    fprintf(f, "%s\n", lineL);
    TimeStamp(f);
    fprintf(f, "Session:          %s\n", sessionName);
    fprintf(f, "Formatted data:   %s\n", whichFormda);
    fprintf(f, "Unformatted data: %s\n\n", dataName);
}

void TraitStatesAndTypes(FILE* f) {
    fprintf(f, "\nNumber of states: ");
    for (int j = 0; j < nch; j++) fprintf(f, "%-3d", onsta[j]);
    fprintf(f, "\nTrait type:       ");
    for (int j = 0; j < nch; j++) fprintf(f, "%-3d", chtype[j]);
}

void PrintUpperTriangle(FILE* f, int n, double** m) { UpperTriangleAsLowerHalf(f, n, m); }
void PrintUpperTriangle(FILE* f, int n, float** m) { UpperTriangleAsLowerHalf(f, n, m); }

const char* PhylogeneticRaoHeading(bool phylIsDissimilarity, bool squareRoot) {
    if (phylIsDissimilarity)
        return squareRoot ? "\nRao quadratic entropy (Rp) within each community, considering phylogenetic dissimilarities "
                            "obtained by transformation of input dissimilarities [D= sqrt(D)] between OTUs:\n"
                          : "\nRao quadratic entropy (Rp) within each community, considering phylogenetic dissimilarities "
                            "between OTUs:\n";
    return squareRoot ? "\nRao quadratic entropy (Rp) within each community, considering phylogenetic dissimilarities "
                        "obtained by transformation of input similarities [D= sqrt(1-S)] between OTUs:\n"
                      : "\nRao quadratic entropy (Rp) within each community, considering phylogenetic dissimilarities "
                        "obtained by transformation of input similarities [D= 1-S] between OTUs:\n";
}

bool WriteFunctionalReport(FILE* f, const FunctionalResults& r) {
    Header(f, r);
    if (includePhylogeny) Phylogeny(f, r);
    if (printDetail == 1) {
        fprintf(f, "\nTrait matrix B with %d OTUs by %d traits: \n", tcst, nch);
        Matrix(f, tcst, nch, csm_Float);
        fprintf(f, "\n");
    }
    if (r.nSelected > 0) {
        Pass(f, r);
        if (r.typesExamined) {
            Types(f, r);
            Statistics(f, r);
            Diversity(f, r);
        }
    }
    fprintf(f, "\n");
    return fflush(f) == 0 && !ferror(f);
}
