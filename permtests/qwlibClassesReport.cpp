// RandomizationTestManova: the reports (header, restrictions, the single-statistic lines, the
// table of the multi-factor test, the mean vectors) and the per-permutation table.
#include "permtests/qwlibClasses.h"

#include "foundation/qwlibOut.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace {

const char* const kRule79 =
    "-------------------------------------------------------------------------------";

// The value line of each statistic (1..4), in the final report and with running counts.
const char* const kStatisticLine[4][2] = {
    {"SUM-F:\t%g\tP(SUM-F_Rnd>=SUM-F):\t%g\n", "SUM-F:\t%g\tFreq(SUM-F_Rnd>=SUM-F):\t%g\n"},
    {"LR-IND:\t%g\tP(LR-IND_Rnd>=LR-IND):\t%g\n", "LR-IND:\t%g\tFreq(LR-IND_Rnd>=LR-IND):\t%g\n"},
    {"MRPP:\t%g\tP(MRPP_Rnd<=MRPP):\t%g\n", "MRPP:\t%g\tFreq(MRPP_Rnd<=MRPP):\t%g\n"},
    // The built ANOSIM statistic is a quarter of R, and the line says so.
    {"ANOSIM R/4:\t%g\tP(R_Rnd>=R):\t%g\n", "ANOSIM R/4:\t%g\tFreq(R_Rnd>=R):\t%g\n"},
};

// The note on each statistic, English and Portuguese.
const char* const kStatisticNote[4][2] = {
    {"\n(*) Probabilities P generated for the sum F statistic based on ANOVA Fs for each variable.\n",
     "\n(*) Probabilidades P geradas para a estatistica soma de F baseada nos F de ANOVA para cada variavel.\n"},
    {"\n(*) Probabilities P generated for the LR-IND likelihood ratio for independent variables statistic (Dunmore & Carrow 2004).\n",
     "\n(*) Probabilities P generated for the LR-IND likelihood ratio for independent variables statistic (Dunmore & Carrow 2004).\n"},
    {"\n(*) Probabilities P generated for the MRPP statistic (average dissimilaritty, v=1, Tosk & Alvane 2001).\n",
     "\n(*) Probabilidades P geradas para a estatistica de MRPP (dissimilaridade media, v=1, Tosk & Alvane 2001).\n"},
    {"\n(*) Probabilities P generated for the ANOSIM statistic (R, Wemble 1993).\n",
     "\n(*) Probabilidades P geradas para a estatistica de ANOSIM (R, Wemble 1993).\n"},
};

// One mean vector, ten values to a line, all as wide as the widest.
void PrintMeanVector(FILE* f, int p, double* v, int digits)
{
    const int width = GetWidthMax(1, p, &v, digits);
    for (int s = 0; s < p; s += 10) PrintVector(f, p - s < 10 ? p - s : 10, v + s, digits, width, 0, nullptr);
}

}  // namespace

const char* RandomizationTestManova::Text(const char* english, const char* portuguese) const
{
    return in_.portuguese ? portuguese : english;
}

// The label of factor k (0-based), or its 1-based number when the caller gave no labels or k
// is no factor.
const char* RandomizationTestManova::FactorName(int k, char* buf, int size) const
{
    if (k >= 0 && k < f_ && in_.factorLabels != nullptr && in_.factorLabels[k] != nullptr)
        return in_.factorLabels[k];
    snprintf(buf, size_t(size), "%d", k + 1);
    return buf;
}

RandomizationTestManova::View RandomizationTestManova::Observed()
{
    return View{stat_, F_, prob_, qWithin_, q3_, p3_, f3_, cStat_, cProb_, false};
}

RandomizationTestManova::View RandomizationTestManova::Random()
{
    return View{rndStat_, rndF_, count_, rndQWithin_, rndQ3_, count3_, rndF3_, rndCStat_, cCount_, true};
}

void RandomizationTestManova::PrintHeader(FILE* f, char** unitLabels, bool intermediate,
                                          int iteration) const
{
    const bool multi = statistic_ == 0;
    char name[16];
    fprintf(f, "\n%s\n", kRule79);
    fputs(Text("RANDOMIZATION TEST", "TESTE DE ALEATORIZACAO"), f);
    if (intermediate)
        fprintf(f, Text("\nINTERMEDIATE RESULTS Permutation %d", "\nRESULTADOS INTERMEDIARIOS Permutacao %d"),
                iteration + 1);
    fprintf(f, "\n%s\n", kRule79);
    if (intermediate && iteration > 0) return;
    const char* when = ctime(&startTime_);
    if (when != nullptr) fputs(when, f);
    fprintf(f, Text("Elapsed time: %g seconds\n", "Tempo decorrido: %g seconds\n"), elapsed_);
    fprintf(f,
            multi ? Text("Number of random permutations plus observed data set: %d\n",
                         "Numero de permutacoes aleatorias mais dados observados: %d\n")
                  : Text("Number of random permutations plus observed data: %d\n",
                         "Numero de permutacoes aleatorias mais dados observados: %d\n"),
            iterations_);
    fprintf(f, Text("Random number generation initializer: %u\n", "Inicializador da geracao de numeros aleatorios: %u\n"),
            seedUsed_);
    fputs(Text("Group partition of sampling units:\n", "Particao das unidades amostrais em grupos:\n"), f);
    fputs(Text("Sampling units:   ", "Unidades amostrais: "), f);
    if (unitLabels == nullptr) unitLabels = in_.unitLabels;
    for (int i = 0; i < n_; i++) {
        if (unitLabels != nullptr)
            fprintf(f, " %s", unitLabels[i]);
        else
            fprintf(f, " %d", i + 1);
    }
    for (int k = 0; k < f_; k++) {
        fprintf(f, Text("\nFactor %s: ", "\nFator %s: "), FactorName(k, name, sizeof name));
        fputs(multi ? Text("\nGroups:           ", "\nGrupos:             ")
                    : Text("\nGroups:             ", "\nGrupos:             "),
              f);
        for (int i = 0; i < n_; i++) fprintf(f, " %d", in_.groups[k][i]);
        fputc('\n', f);
        if (in_.hasContrasts) {
            fputs(Text("Order of groups in contrasts:", "Ordem dos grupos em contrastes:"), f);
            for (int g = 0; g < effectGroupCount_[k]; g++) fprintf(f, " %d", effectLabels_[k][g]);
            fputc('\n', f);
        }
    }
}

void RandomizationTestManova::PrintRestrictions(FILE* f) const
{
    const bool nest = in_.nestingGiven && in_.nestingGroups != nullptr;
    const bool bund = in_.bundlesGiven && in_.bundles != nullptr;
    fputs("\nRandomization restrictions:", f);
    if (!nest && !bund) fputs("none\n", f);
    if (bund) {
        fputs("\nUnits randomly permuted as bundles:\t", f);
        for (int i = 0; i < n_; i++) fprintf(f, " %d", in_.bundles[i]);
    }
    if (nest) {
        fputs("\nRandom permutation within nesting groups:\t", f);
        for (int i = 0; i < n_; i++) fprintf(f, " %d", in_.nestingGroups[i]);
    }
    if (bund && nest)
        fputs(in_.bundlesWithinNesting
                  ? "\nPermutation of bundles within nesting groups.\n"
                  : "\nPermutation of units within nesting groups, followed by permutation of the bundles.\n",
              f);
    else if (bund || nest)
        fputc('\n', f);
    // Bundles of unequal sizes stay where they are: the P values cannot be taken at face value.
    if (bund && unbalancedBundles_)
        fputs("Unbalanced design. Permutation among bundling blocks is not possible.\n", f);
}

void RandomizationTestManova::PrintSingleStatistic(FILE* f, const View& v) const
{
    char name[16];
    const int s = statistic_ - 1;
    if (s < 0) return;
    fputs(kStatisticNote[s][in_.portuguese ? 1 : 0], f);
    PrintRestrictions(f);
    for (int k = 0; k < f_; k++) {
        fprintf(f, "%.78s\n", kRule79);
        fprintf(f, Text("Factor %s:\n", "Fator %s:\n"), FactorName(k, name, sizeof name));
        fprintf(f, kStatisticLine[s][v.frequencies ? 1 : 0], v.Q[k][k], v.P[k][k]);
    }
}

void RandomizationTestManova::PrintMultiFactor(FILE* f, int digits, int residualKind,
                                               int* residualFactors, bool residualNotes,
                                               const View& v) const
{
    char a[16], b[16], c[16];
    const int block = in_.blockFactor >= 1 && in_.blockFactor <= f_ ? in_.blockFactor - 1 : -1;
    const bool pf = in_.pseudoF;
    fputs("\nPermuted data were ", f);
    if (residualKind == 1 && residualFactors != nullptr)
        fprintf(f, "vectors of residuals (effect of factor %s was removed).",
                FactorName(residualFactors[0] - 1, a, sizeof a));
    else if (residualKind == 2 && residualFactors != nullptr)
        fprintf(f, "vectors of residuals (effects of factors %s and %s were removed).",
                FactorName(residualFactors[0] - 1, a, sizeof a),
                FactorName(residualFactors[1] - 1, b, sizeof b));
    else
        fputs("vectors of raw data.", f);
    if (residualNotes && (f_ == 2 || f_ == 3)) {
        fputs("\nVectors of raw data were used to generate probabilities for the main effects while vectors of residuals were used for double interactions (both factor effects removed).", f);
        fputs("\nFor each main effect permutations were restricted within the groups defined by the combination of the other factors.", f);
        fputs("\nFor the all-factor combination effect permutations were unrestricted.\n", f);
    }
    PrintRestrictions(f);
    if (in_.synchronized && in_.nestingGiven && in_.nestingGroups != nullptr)
        fputs("\nSynchronized permutations were performed.\n", f);
    if (in_.forceBalance)
        fputs("Balancing analysis was always performed even when group sizes equal.\n", f);
    else if (in_.balance)
        fputs("Balancing analysis was performed when group sizes were unequal.\n", f);
    if (residualNotes)
        fputs("\n(*) Probabilities P generated for sum of squares (Qb), except for interactions, where F=Qb/Qw was used as test criterion.\n", f);

    const bool star = residualNotes && f_ > 1;
    if (pf)
        fprintf(f, "\n\n%-22s\t%20.20s\t%12.12s\t%s\n", "Source of variation   ", "Sum of squares(Q)   ",
                "F=Qb/Qw", v.frequencies ? " Freq(FNULL>=F)" : " P(FNULL>=F)");
    else
        fprintf(f, "\n\n%-22s\t%20.20s\t%s\n", "Source of variation   ", "Sum of squares(Q)   ",
                v.frequencies ? (star ? " Freq(QbNULL>=Qb) *" : " Freq(QbNULL>=Qb)")
                              : (star ? " P(QbNULL>=Qb) *" : " P(QbNULL>=Qb)"));
    // Q, then F with the pseudo-F, then P.
    auto values = [&](const char* qFormat, double q, double F, double P) {
        fprintf(f, qFormat, digits, q);
        if (pf) fprintf(f, "\t%12.*g", digits, F);
        fprintf(f, "\t%g\n", P);
    };

    for (int k = 0; k < f_; k++) {
        fprintf(f, "%.78s\n", kRule79);
        fprintf(f, "\nFactor %s: \n", FactorName(k, a, sizeof a));
        fprintf(f, "%-22s\t", "Between groups");
        if (k == block)
            fprintf(f, "%20.*g\t\n", digits, v.Q[k][k]);
        else
            values("%20.*g", v.Q[k][k], v.F[k][k], v.P[k][k]);
        if (!contrasts_ || in_.contrastCount[k] < 1) continue;
        fprintf(f, "%-22s\n", "   Contrasts:");
        for (int q = 0; q < in_.contrastCount[k]; q++) {
            std::string label;
            char coef[32];
            for (int g = 0; g < effectGroupCount_[k]; g++) {
                snprintf(coef, sizeof coef, " %g", in_.contrastGroups[k][q][g]);
                label += coef;
            }
            const double* s = v.contrasts[k][q];
            if (k == block)
                fprintf(f, "%-22s\t%20.*g\n", label.c_str(), digits, s[0]);
            else if (pf)
                fprintf(f, "%-22s\t%20.*g\t%12.*g\t%g\n", label.c_str(), digits, s[0], digits, s[2],
                        v.contrastP[k][q]);
            else
                fprintf(f, "%-22s\t%20.*g\t\t%g\n", label.c_str(), digits, s[0], v.contrastP[k][q]);
        }
    }
    for (int q = 0; q < nPairs_; q++) {
        const int i = pairOf_[q][0], j = pairOf_[q][1];
        if (!Tested(i, j)) continue;
        fprintf(f, "%.78s\n", kRule79);
        fprintf(f, "%-9s x %-9s", FactorName(i, a, sizeof a), FactorName(j, b, sizeof b));
        values("\t%20.*g", v.Q[i][j], v.F[i][j], v.P[i][j]);
        if (!pairComplete_[q])
            fputs("Warning! Data do not contain all the combinations of levels for these factors.\n", f);
    }
    if (f_ == 3 && block < 0) {
        fprintf(f, "%.78s\n", kRule79);
        fprintf(f, "%-9s x %-9s x %-9s", FactorName(0, a, sizeof a), FactorName(1, b, sizeof b),
                FactorName(2, c, sizeof c));
        values("\t%13.*g", v.q3, v.f3, v.p3);
    } else if (f_ >= 4) {
        double other = v.Q[f_][f_];
        for (int i = 0; i < f_; i++)
            for (int j = i; j < f_; j++) other -= v.Q[i][j];
        fprintf(f, "%.78s\n", kRule79);
        fprintf(f, "%-22s\t%20.*g\n", "Other interactions", digits, other);
    }
    if (f_ >= 2 && block < 0) {
        fprintf(f, "%.78s\n", kRule79);
        fprintf(f, "%-22s\t", "Between groups");
        values("%20.*g", v.Q[f_][f_], v.F[f_][f_], v.P[f_][f_]);
    }
    fprintf(f, "%-22s\t%20.*g\n", "Within groups", digits, v.qWithin);
    fprintf(f, "%.78s\n", kRule79);
    fprintf(f, "%-22s\t%20.*g\n", "Total", digits, v.Q[f_ + 1][f_ + 1]);
}

void RandomizationTestManova::PrintMeans(FILE* f, int digits) const
{
    if (!in_.computeMeans || p_ < 1) return;
    char a[16], b[16];
    fputs(Text("\nMean vectors of each group:\n", "\nVetores medios de cada grupo:\n"), f);
    for (int k = 0; k < f_; k++) {
        fprintf(f, Text("Factor %s:\n", "Fator %s:\n"), FactorName(k, a, sizeof a));
        for (int g = 0; g < effectGroupCount_[k]; g++) {
            fprintf(f, Text("Group %d (n=%d):\t", "Grupo %d (n=%d):\t"), effectLabels_[k][g], groupSize_[k][g]);
            PrintMeanVector(f, p_, means_[k][g], digits);
        }
    }
    if (f_ < 2) return;
    // The single-statistic test forms no pair cells: only the headers of the pairs appear.
    for (int i = 0, q = 0; i < f_; i++)
        for (int j = i + 1; j < f_; j++, q++) {
            fprintf(f, Text("Interaction factors %s x %s:\n", "Interacao fatores %s x %s:\n"),
                    FactorName(i, a, sizeof a), FactorName(j, b, sizeof b));
            if (q >= nPairs_) continue;
            const int e = f_ + 1 + q;
            for (int g = 0; g < effectGroupCount_[e]; g++) {
                const int* cell = cellMap_[i][j][g];
                fprintf(f, Text("Group %d x %d (n=%d):\t", "Grupo %d x %d (n=%d):\t"), cell[0], cell[1],
                        groupSize_[e][g]);
                PrintMeanVector(f, p_, means_[e][g], digits);
            }
        }
}

// ---------------------------------------------------------------- the public printers

void RandomizationTestManova::PrintManovaResults(FILE* f, char** unitLabels, int digits,
                                                 bool intermediate, int iteration)
{
    if (statistic_ == 0) {
        PrintManovaResults(f, unitLabels, digits, 0, nullptr, false, intermediate, iteration);
        return;
    }
    View v = intermediate ? Random() : Observed();
    // The report of the observed data in the series of permutations shows the observed values
    // with their counts.
    if (intermediate && iteration == 0) v.Q = stat_;
    PrintHeader(f, unitLabels, intermediate, iteration);
    PrintSingleStatistic(f, v);
    if (!intermediate) PrintMeans(f, digits);
}

void RandomizationTestManova::PrintManovaResults(FILE* f, char** unitLabels, int digits,
                                                 int residualKind, int* residualFactors,
                                                 bool residualNotes, bool intermediate,
                                                 int iteration)
{
    if (statistic_ != 0) {
        PrintManovaResults(f, unitLabels, digits, intermediate, iteration);
        return;
    }
    View v = intermediate ? Random() : Observed();
    if (intermediate && iteration == 0) {
        const View o = Observed();
        v.Q = o.Q;
        v.F = o.F;
        v.qWithin = o.qWithin;
        v.q3 = o.q3;
        v.f3 = o.f3;
        v.contrasts = o.contrasts;
    }
    PrintHeader(f, unitLabels, intermediate, iteration);
    PrintMultiFactor(f, digits, residualKind, residualFactors, residualNotes, v);
    if (!intermediate) PrintMeans(f, digits);
}

void RandomizationTestManova::PrintManovaResults(FILE* f, char** unitLabels, int digits)
{
    PrintManovaResults(f, unitLabels, digits, 0, nullptr, false, false, 0);
}

void RandomizationTestManova::PrintManovaResults(FILE* f, int digits, int residualKind,
                                                 int* residualFactors, char** unitLabels)
{
    PrintManovaResults(f, unitLabels, digits, residualKind, residualFactors, false, false, 0);
}

void RandomizationTestManova::PrintManovaResults(FILE* f, char** unitLabels, int digits,
                                                 int residualKind, int* residualFactors,
                                                 bool residualNotes)
{
    PrintManovaResults(f, unitLabels, digits, residualKind, residualFactors, residualNotes, false, 0);
}

void RandomizationTestManova::PrintManovaIntermResults(FILE* f, int digits, int iteration)
{
    char a[16], b[16], c[16];
    const int block = in_.blockFactor >= 1 && in_.blockFactor <= f_ ? in_.blockFactor - 1 : -1;
    double** Q = iteration > 0 ? rndStat_ : stat_;
    const double q3 = iteration > 0 ? rndQ3_ : q3_;
    if (iteration == 0) {
        fprintf(f, "\n%s\n", kRule79);
        fputs(Text("RANDOMIZATION TEST - INTERMEDIATE RESULTS", "TESTE DE ALEATORIZACAO - RESULTADOS INTERMEDIARIOS"), f);
        fprintf(f, "\n%s\n", kRule79);
        for (int k = 0; k < f_; k++) fprintf(f, "%s\t", FactorName(k, a, sizeof a));
        for (int q = 0; q < nPairs_; q++)
            if (Tested(pairOf_[q][0], pairOf_[q][1]))
                fprintf(f, "%s x %s\t", FactorName(pairOf_[q][0], a, sizeof a),
                        FactorName(pairOf_[q][1], b, sizeof b));
        if (f_ == 3 && block < 0)
            fprintf(f, "%s x %s x %s\t", FactorName(0, a, sizeof a), FactorName(1, b, sizeof b),
                    FactorName(2, c, sizeof c));
        if (block < 0) fputs("All factors\t", f);
        if (!contrasts_) fputs("Random permutations", f);
        fprintf(f, "\n%s", kRule79);
    }
    fputc('\n', f);
    for (int k = 0; k < f_; k++) fprintf(f, "%*g\t", digits, Q[k][k]);
    for (int q = 0; q < nPairs_; q++)
        if (Tested(pairOf_[q][0], pairOf_[q][1]))
            fprintf(f, "%20.*g\t", digits, Q[pairOf_[q][0]][pairOf_[q][1]]);
    if (f_ == 3 && block < 0) fprintf(f, "%13.*g\t", digits, q3);
    if (block < 0) fprintf(f, "%20.*g\t", digits, Q[f_][f_]);
    if (contrasts_) return;
    for (int i = 0; i < n_; i++) {
        const int u = list_[i] - 1;
        if (in_.unitLabels != nullptr)
            fprintf(f, "%s\t", in_.unitLabels[u]);
        else
            fprintf(f, "%d\t", u + 1);
    }
}
