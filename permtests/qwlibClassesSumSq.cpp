// RandomizationTestManova: the multi-factor test on sums of squares from the dissimilarities
// (factors, pairs of factors, all factors, the third-order term and contrasts), with
// restricted, synchronized and balanced permutations.
#include "permtests/qwlibClasses.h"

#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibPermut.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/qwlib.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Pseudo-F with all degrees of freedom taken as 1. No within-group variation leaves nothing to
// divide by: +infinity, which only a random +infinity matches.
double Ratio(double q, double within)
{
    return within > 0.0 ? q / within : std::numeric_limits<double>::infinity();
}

// P[i][j] (i < j) = the squared dissimilarity of the units list[i] and list[j] (1-based).
void Permuted(int n, double** sq, const int* list, double** P)
{
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) P[i][j] = sq[list[i] - 1][list[j] - 1];
}

// Marks m units chosen at random among the s units pos[0..s-1] (0-based indices); the draw
// goes to draw[0..s-1].
void ChooseAmong(int s, const int* pos, int m, int* draw, bool* selection)
{
    RndList(s, draw);
    for (int t = 0; t < m; t++) selection[pos[draw[t] - 1]] = true;
}

}  // namespace

// Is the statistic of cell [a][b] tested? The interactions of a block factor are pooled into
// the within-groups term instead.
bool RandomizationTestManova::Tested(int a, int b) const
{
    if (a == b || in_.blockFactor < 1) return true;
    return a != in_.blockFactor - 1 && b != in_.blockFactor - 1;
}

// Every Q of the effects with the dissimilarities addressed through list (null: the observed
// units): Q of an effect = Q total - the Q of each of its groups; an effect with one group
// gives 0. Q[a][b] = Q(cells of a and b) - Q(a) - Q(b); the third-order term (three factors)
// = Q(all factors) - the main and pairwise Q. Q within = Q total - Q(all factors), or with a
// block factor Q total less every tested term (the rest is pooled into it).
void RandomizationTestManova::SumOfSquaresStats(const int* list, double** Q, double** F,
                                                double* qWithin, double* q3, double* f3)
{
    double** D = sq_;
    if (list != nullptr) {
        Permuted(n_, sq_, list, perm_);
        D = perm_;
    }
    auto effectQ = [&](int e) {
        if (effectGroupCount_[e] < 2) return 0.0;
        double within = 0.0;
        for (int g = 0; g < effectGroupCount_[e]; g++)
            within += WithinGrSqDissim(n_, D, members_[e][g], true);
        return qTotal_ - within;
    };
    double tested = 0.0, mainsAndPairs = 0.0;
    for (int k = 0; k < f_; k++) {
        Q[k][k] = effectQ(k);
        tested += Q[k][k];
    }
    mainsAndPairs = tested;
    Q[f_][f_] = effectQ(f_);
    Q[f_ + 1][f_ + 1] = qTotal_;
    for (int q = 0; q < nPairs_; q++) {
        const int a = pairOf_[q][0], b = pairOf_[q][1];
        // A factor with one group has no interaction either; its difference would be rounding.
        if (effectGroupCount_[a] < 2 || effectGroupCount_[b] < 2)
            Q[a][b] = 0.0;
        else
            Q[a][b] = effectQ(f_ + 1 + q) - Q[a][a] - Q[b][b];
        mainsAndPairs += Q[a][b];
        if (Tested(a, b)) tested += Q[a][b];
    }
    *q3 = f_ == 3 ? Q[f_][f_] - mainsAndPairs : 0.0;
    *qWithin = in_.blockFactor >= 1 && in_.blockFactor <= f_ ? qTotal_ - tested : qTotal_ - Q[f_][f_];
    if (!in_.pseudoF) return;
    for (int a = 0; a <= f_; a++)
        for (int b = a; b <= f_; b++) F[a][b] = Ratio(Q[a][b], *qWithin);
    *f3 = Ratio(*q3, *qWithin);
}

// Q of contrast c of factor k through list (null: the observed units); *within = its within
// term (the Q of the positive groups plus that of the negative ones).
double RandomizationTestManova::ContrastSS(int k, int c, const int* list, double* within)
{
    double** D = sq_;
    if (list != nullptr) {
        Permuted(n_, sq_, list, perm_);
        D = perm_;
    }
    return GrContrastSS(n_, D, cMasks_[k][c], true, within);
}

// Balanced subsample: in every cell of the combination of all factors that is larger than the
// smallest, that many units are drawn; the smallest cells take part whole.
void RandomizationTestManova::SampleObjSelect(bool* selection)
{
    const int e = f_, g = effectGroupCount_[e];
    int smallest = n_;
    for (int k = 0; k < g; k++) smallest = std::min(smallest, groupSize_[e][k]);
    for (int i = 0; i < n_; i++) selection[i] = false;
    for (int k = 0; k < g; k++) {
        int s = 0;
        for (int i = 0; i < n_; i++)
            if (members_[e][k][i]) work_[0][s++] = i;
        ChooseAmong(s, work_[0], smallest, work_[1], selection);
    }
}

// Balanced subsample of a contrast: as many units on each side (positive and negative groups)
// as the smaller side has; all its units when the sides are equal.
void RandomizationTestManova::SampleObjSelect_Contrasts(int k, int c, bool* selection)
{
    bool** masks = cMasks_[k][c];
    int size[2] = {0, 0};
    for (int i = 0; i < n_; i++) {
        selection[i] = false;
        size[0] += masks[1][i] ? 1 : 0;
        size[1] += masks[2][i] ? 1 : 0;
    }
    const int smaller = std::min(size[0], size[1]);
    for (int side = 0; side < 2; side++) {
        int s = 0;
        for (int i = 0; i < n_; i++)
            if (masks[1 + side][i]) work_[0][s++] = i;
        ChooseAmong(s, work_[0], smaller, work_[1], selection);
    }
}

void RandomizationTestManova::CountMultiFactor()
{
    double** obs = in_.pseudoF ? F_ : stat_;
    double** rnd = in_.pseudoF ? rndF_ : rndStat_;
    for (int a = 0; a <= f_; a++)
        for (int b = a; b <= f_; b++) {
            if (b == f_ && a != f_) continue;  // no statistic in the all-factor column
            if (!Tested(a, b)) continue;
            if (AtLeastAsExtreme(rnd[a][b], obs[a][b], false)) count_[a][b] += 1.0;
        }
    if (f_ == 3 && AtLeastAsExtreme(in_.pseudoF ? rndF3_ : rndQ3_, in_.pseudoF ? f3_ : q3_, false))
        count3_ += 1.0;
    if (!contrasts_) return;
    const int at = in_.pseudoF ? 2 : 0;
    for (int k = 0; k < f_; k++)
        for (int c = 0; c < in_.contrastCount[k]; c++)
            if (AtLeastAsExtreme(rndCStat_[k][c][at], cStat_[k][c][at], false)) cCount_[k][c] += 1.0;
}

void RandomizationTestManova::RunMultiFactor()
{
    SeedAndStartClock();
    // Without dissimilarities or with fewer than two units there is nothing to permute: every
    // arrangement would tie and every P is 1.
    const double start = sq_ == nullptr || n_ < 2 ? double(iterations_) : 1.0;
    for (int a = 0; a <= f_; a++)
        for (int b = a; b <= f_; b++)
            if ((b < f_ || a == f_) && Tested(a, b)) count_[a][b] = start;
    count3_ = start;
    for (int k = 0; contrasts_ && k < f_; k++)
        for (int c = 0; c < in_.contrastCount[k]; c++) cCount_[k][c] = start;
    if (sq_ == nullptr || n_ < 2) {
        FinishRun();
        return;
    }
    // The lower triangle holds the dissimilarities; they are squared once, into both halves.
    for (int i = 0; i < n_; i++)
        for (int j = 0; j < i; j++) {
            const double d = in_.distances[i][j];
            sq_[i][j] = sq_[j][i] = in_.distancesSquared ? d : d * d;
        }
    // A permutation moves units, never the set of pairs: the total stays what it is.
    qTotal_ = WithinGrSqDissim(n_, sq_, static_cast<bool*>(nullptr), true);
    bool unbalanced = false;
    for (int e = 0; e < e_; e++)
        for (int g = 1; g < effectGroupCount_[e]; g++)
            if (groupSize_[e][g] != groupSize_[e][0]) unbalanced = true;
    balancing_ = in_.forceBalance || (in_.balance && unbalanced);

    for (int i = 0; i < n_; i++) {
        list_[i] = i + 1;
        selection_[0][i] = true;
    }
    SumOfSquaresStats(nullptr, stat_, F_, &qWithin_, &q3_, &f3_);
    for (int k = 0; contrasts_ && k < f_; k++)
        for (int c = 0; c < in_.contrastCount[k]; c++) {
            double* s = cStat_[k][c];
            s[0] = ContrastSS(k, c, nullptr, &s[1]);
            s[2] = Ratio(s[0], s[1]);
        }
    FILE* report = in_.reportFile;
    if (in_.printIntermediate && !balancing_ && report)
        PrintManovaResults(report, in_.unitLabels, in_.digits, 0, nullptr, false, true, 0);
    if (in_.intermediateTables && report) PrintManovaIntermResults(report, in_.digits, 0);

    char text[96];
    for (int it = 1; it < iterations_; it++) {
        if (in_.showProgress) {
            if (in_.nTests != 1)
                snprintf(text, sizeof text,
                         Text("Test: %d %d Permutation: %d %d", "Teste: %d %d Permutacao: %d %d"),
                         in_.nTests, in_.testNumber, iterations_, it);
            else
                snprintf(text, sizeof text, Text("Permutation: %d %d", "Permutacao: %d %d"),
                         iterations_, it);
            HandleEventInfoWhere2(text);
        }
        if (balancing_) SampleObjSelect(selection_[0]);
        DrawList(list_, selection_[0]);
        SumOfSquaresStats(list_, rndStat_, rndF_, &rndQWithin_, &rndQ3_, &rndF3_);
        for (int k = 0; contrasts_ && k < f_; k++)
            for (int c = 0; c < in_.contrastCount[k]; c++) {
                // Each contrast permutes only the units of its non-zero groups (under
                // balancing, a balanced part of them) and leaves the others in place.
                int* list = work_[0];
                if (balancing_) {
                    SampleObjSelect_Contrasts(k, c, selection_[1]);
                    RndListTwoSelect_(n_, list, cMasks_[k][c][0], selection_[1]);
                } else {
                    RndListSelect_(n_, list, cMasks_[k][c][0]);
                }
                double* s = rndCStat_[k][c];
                s[0] = ContrastSS(k, c, list, &s[1]);
                s[2] = Ratio(s[0], s[1]);
            }
        CountMultiFactor();
        if (in_.printIntermediate && report)
            PrintManovaResults(report, in_.unitLabels, in_.digits, 0, nullptr, false, true, it);
        if (in_.intermediateTables && report) PrintManovaIntermResults(report, in_.digits, it);
    }
    FinishRun();
}
