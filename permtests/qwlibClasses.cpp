// RandomizationTestManova: set-up of the effect tables, the arrays, result access, the
// selected-position lists, the mean vectors and the single-statistic test (SUM-F, LR-IND, MRPP,
// ANOSIM).
#include "permtests/qwlibClasses.h"

#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibPermut.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/qwlib.h"
#include "statistics/qwlibRes.h"

#include <algorithm>
#include <cmath>

namespace {

const double kMissing = -999.0;

template <class T>
T** NewMatrix(int rows, int cols)
{
    return static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), rows, cols)));
}

template <class T>
T*** New3D(int d1, int d2, int d3)
{
    return static_cast<T***>(static_cast<void*>(dim3D(sizeof(T), d1, d2, d3)));
}

template <class T>
T**** New4D(int d1, int d2, int d3, int d4)
{
    return static_cast<T****>(static_cast<void*>(dim4D(sizeof(T), d1, d2, d3, d4)));
}

inline int AtLeast1(int v) { return v > 0 ? v : 1; }

// 1-based group number of label among the ascending distinct labels.
int GroupOf(int label, const int* distinct, int g)
{
    return int(std::lower_bound(distinct, distinct + g, label) - distinct) + 1;
}

}  // namespace

// ---------------------------------------------------------------- set-up and arrays

// Equal within one single-precision step, or beyond the observed value in the tested direction.
// An infinite observed value (a pseudo-F without within-group variation) is matched only by
// the same infinity.
bool RandomizationTestManova::AtLeastAsExtreme(double random, double observed, bool lowerTail)
{
    if (std::isinf(observed)) return random == observed;
    if (AlmostEqual2sComplement(random, observed, 1)) return true;
    return lowerTail ? random < observed : random > observed;
}

RandomizationTestManova::RandomizationTestManova(manovaInput* in, int statistic)
    : statistic_(statistic >= 1 && statistic <= 4 ? statistic : -1)
{
    SetUp(in);
    RunSingleStatistic();
}

RandomizationTestManova::RandomizationTestManova(manovaInput* in) : statistic_(0)
{
    SetUp(in);
    RunMultiFactor();
}

bool RandomizationTestManova::RandomizationTestManova_NotThreadSafe(manovaInput* in)
{
    if (in == nullptr || in != source_ || statistic_ != 0) return false;
    in_ = *in;
    iterations_ = std::max(in_.nIterations, 1);
    RunMultiFactor();
    return true;
}

void RandomizationTestManova::SetUp(manovaInput* in)
{
    source_ = in;
    in_ = *in;
    n_ = std::max(in_.nUnits, 0);
    p_ = in_.data != nullptr ? std::max(in_.nVars, 0) : 0;
    f_ = in_.groups != nullptr ? std::max(in_.nFactors, 0) : 0;
    iterations_ = std::max(in_.nIterations, 1);
    nPairs_ = statistic_ == 0 ? f_ * (f_ - 1) / 2 : 0;
    e_ = f_ + 1 + nPairs_;
    contrasts_ = statistic_ == 0 && in_.hasContrasts && in_.contrastCount != nullptr &&
                 in_.contrastGroups != nullptr;
    maxContrasts_ = 1;
    if (contrasts_)
        for (int k = 0; k < f_; k++) maxContrasts_ = std::max(maxContrasts_, in_.contrastCount[k]);

    effectGroups_ = dim2Dint(e_, AtLeast1(n_));
    effectLabels_ = dim2Dint(e_, AtLeast1(n_));
    effectGroupCount_ = dim1Dint(e_);
    pairOf_ = dim2Dint(AtLeast1(nPairs_), 2);
    pairComplete_ = static_cast<bool*>(dim1D(sizeof(bool), AtLeast1(nPairs_)));
    CountEffectGroups();
    if (statistic_ == 0) FormCells();
    maxGroups_ = 1;
    for (int e = 0; e < e_; e++) maxGroups_ = std::max(maxGroups_, effectGroupCount_[e]);
    DimensionArrays();
    MarkMembers();
}

// The factors' labels are counted and recoded 1..g in ascending label order (MRPP and ANOSIM
// read groups 1..g).
void RandomizationTestManova::CountEffectGroups()
{
    for (int k = 0; k < f_; k++) {
        int g = 0;
        CountGroups(n_, in_.groups[k], &g, effectLabels_[k]);
        effectGroupCount_[k] = g;
        for (int i = 0; i < n_; i++)
            effectGroups_[k][i] = GroupOf(in_.groups[k][i], effectLabels_[k], g);
    }
    // Bundles of unequal sizes cannot be exchanged as blocks; the report says so.
    if (in_.bundlesGiven && in_.bundles != nullptr && n_ > 0) {
        int* distinct = dim1Dint(n_);
        int* size = dim1Dint(n_);
        int g = 0;
        CountGroups(n_, in_.bundles, &g, distinct);
        for (int i = 0; i < n_; i++) size[GroupOf(in_.bundles[i], distinct, g) - 1]++;
        for (int b = 1; b < g; b++)
            if (size[b] != size[0]) unbalancedBundles_ = true;
        free1D(size);
        free1D(distinct);
    }
}

// Cells of the combination of all factors (row f) and of every pair (rows f+1..): units that
// share the group of every factor concerned share a cell; cells are numbered in the order of
// their first unit.
void RandomizationTestManova::FormCells()
{
    int fs[2] = {0, 0};
    for (int a = 0, q = 0; a < f_; a++)
        for (int b = a + 1; b < f_; b++, q++) {
            pairOf_[q][0] = a;
            pairOf_[q][1] = b;
        }
    for (int e = f_; e < e_; e++) {
        const bool all = e == f_;
        if (!all) {
            fs[0] = pairOf_[e - f_ - 1][0];
            fs[1] = pairOf_[e - f_ - 1][1];
        }
        auto same = [&](int u, int v) {
            if (all) {
                for (int k = 0; k < f_; k++)
                    if (effectGroups_[k][u] != effectGroups_[k][v]) return false;
                return true;
            }
            return effectGroups_[fs[0]][u] == effectGroups_[fs[0]][v] &&
                   effectGroups_[fs[1]][u] == effectGroups_[fs[1]][v];
        };
        int cells = 0;
        for (int i = 0; i < n_; i++) {
            int cell = 0;
            for (int u = 0; u < i && cell == 0; u++)
                if (same(u, i)) cell = effectGroups_[e][u];
            if (cell == 0) {
                cell = ++cells;
                effectLabels_[e][cell - 1] = cell;
            }
            effectGroups_[e][i] = cell;
        }
        effectGroupCount_[e] = cells;
        if (!all)
            pairComplete_[e - f_ - 1] =
                cells == effectGroupCount_[fs[0]] * effectGroupCount_[fs[1]];
    }
}

void RandomizationTestManova::DimensionArrays()
{
    const int n = AtLeast1(n_), f1 = AtLeast1(f_), c = maxContrasts_;
    groupSize_ = dim2Dint(e_, maxGroups_);
    members_ = New3D<bool>(e_, maxGroups_, n);
    stat_ = NewMatrix<double>(f_ + 2, f_ + 2);
    rndStat_ = NewMatrix<double>(f_ + 2, f_ + 2);
    F_ = NewMatrix<double>(f_ + 2, f_ + 2);
    rndF_ = NewMatrix<double>(f_ + 2, f_ + 2);
    count_ = NewMatrix<double>(f_ + 1, f_ + 1);
    prob_ = NewMatrix<double>(f_ + 1, f_ + 1);
    cStat_ = New3D<double>(f1, c, 3);
    rndCStat_ = New3D<double>(f1, c, 3);
    cResults_ = New3D<double>(f1, c, 3);
    cCount_ = NewMatrix<double>(f1, c);
    cProb_ = NewMatrix<double>(f1, c);
    cMasks_ = New4D<bool>(f1, c, 3, n);
    means_ = New3D<double>(e_, maxGroups_, AtLeast1(p_));
    meanCounts_ = dim3Dint(e_, maxGroups_, AtLeast1(p_));
    cellMap_ = New4D<int>(f1, f1, n, 2);
    list_ = dim1Dint(n);
    for (int w = 0; w < 3; w++) work_[w] = dim1Dint(n);
    for (int s = 0; s < 2; s++) selection_[s] = static_cast<bool*>(dim1D(sizeof(bool), n));
    rows_ = static_cast<double**>(dim1D(sizeof(double*), n));
    groupWs_ = std::make_unique<GroupStatWorkspace>(n);
    if (in_.distances != nullptr) {
        sq_ = NewMatrix<double>(n, n);
        perm_ = NewMatrix<double>(n, n);
        ranks_ = NewMatrix<double>(n, n);
    }
    // A cell that no test counts keeps P = 1.
    for (int a = 0; a <= f_; a++)
        for (int b = a; b <= f_; b++) prob_[a][b] = 1.0;
}

// Group sizes, a yes/no mark per unit for every effect and group, the factor labels of every
// pair cell, and for every contrast its non-zero, positive and negative units.
void RandomizationTestManova::MarkMembers()
{
    for (int e = 0; e < e_; e++)
        for (int i = 0; i < n_; i++) {
            const int g = effectGroups_[e][i];
            if (g < 1) continue;
            groupSize_[e][g - 1]++;
            members_[e][g - 1][i] = true;
        }
    for (int q = 0; q < nPairs_; q++) {
        const int a = pairOf_[q][0], b = pairOf_[q][1], e = f_ + 1 + q;
        for (int i = 0; i < n_; i++) {
            int* cell = cellMap_[a][b][effectGroups_[e][i] - 1];
            cell[0] = in_.groups[a][i];
            cell[1] = in_.groups[b][i];
        }
    }
    if (!contrasts_) return;
    for (int k = 0; k < f_; k++)
        for (int c = 0; c < in_.contrastCount[k]; c++) {
            const double* coef = in_.contrastGroups[k][c];
            for (int i = 0; i < n_; i++) {
                const double v = coef[effectGroups_[k][i] - 1];
                cMasks_[k][c][0][i] = v != 0.0;
                cMasks_[k][c][1][i] = v > 0.0;
                cMasks_[k][c][2][i] = v < 0.0;
            }
        }
}

RandomizationTestManova::~RandomizationTestManova()
{
    const int n = AtLeast1(n_), f1 = AtLeast1(f_), c = maxContrasts_;
    free2D(effectGroups_, e_);
    free2D(effectLabels_, e_);
    free1D(effectGroupCount_);
    free2D(pairOf_, AtLeast1(nPairs_));
    free1D(pairComplete_);
    free2D(groupSize_, e_);
    free3D(members_, e_, maxGroups_);
    free2D(stat_, f_ + 2);
    free2D(rndStat_, f_ + 2);
    free2D(F_, f_ + 2);
    free2D(rndF_, f_ + 2);
    free2D(count_, f_ + 1);
    free2D(prob_, f_ + 1);
    free3D(cStat_, f1, c);
    free3D(rndCStat_, f1, c);
    free3D(cResults_, f1, c);
    free2D(cCount_, f1);
    free2D(cProb_, f1);
    free4D(cMasks_, f1, c, 3);
    free3D(means_, e_, maxGroups_);
    free3D(meanCounts_, e_, maxGroups_);
    free4D(cellMap_, f1, f1, n);
    free1D(list_);
    for (int w = 0; w < 3; w++) free1D(work_[w]);
    for (int s = 0; s < 2; s++) free1D(selection_[s]);
    free1D(rows_);
    free2D(sq_, n);
    free2D(perm_, n);
    free2D(ranks_, n);
}

// ---------------------------------------------------------------- result access

manovaResults* RandomizationTestManova::GetManovaResults()
{
    results_.statistics = stat_;
    results_.probabilities = prob_;
    results_.pseudoF = F_;
    results_.counts = count_;
    results_.contrasts = contrasts_ ? cResults_ : nullptr;
    results_.means = means_;
    results_.qWithin = qWithin_;
    results_.qThirdOrder = q3_;
    results_.pThirdOrder = p3_;
    results_.elapsed = elapsed_;
    return &results_;
}

bool RandomizationTestManova::ReplaceProbabilities(double** probabilities,
                                                   double** contrastProbabilities)
{
    for (int a = 0; a <= f_; a++)
        for (int b = a; b <= f_; b++) prob_[a][b] = probabilities[a][b];
    if (contrasts_ && contrastProbabilities != nullptr)
        for (int k = 0; k < f_; k++)
            for (int c = 0; c < in_.contrastCount[k]; c++) {
                cProb_[k][c] = contrastProbabilities[k][c];
                cResults_[k][c][2] = cProb_[k][c];
            }
    return true;
}

void RandomizationTestManova::SetElapsedTime(float seconds) { elapsed_ = seconds; }

void RandomizationTestManova::RndListSelect_(int n, int* list, bool* selected)
{
    for (int i = 0; i < n; i++) list[i] = i + 1;
    RndListSelect(n, list, selected);
}

void RandomizationTestManova::RndListTwoSelect_(int n, int* list, bool* a, bool* b)
{
    // The int marks of the positions selected in both go to a work list (room for n_).
    int* both = work_[2];
    for (int i = 0; i < n && i < n_; i++) both[i] = a[i] && b[i] ? 1 : 0;
    for (int i = 0; i < n; i++) list[i] = i + 1;
    RndListSelect(std::min(n, n_), list, both);
}

// ---------------------------------------------------------------- shared steps of the tests

void RandomizationTestManova::SeedAndStartClock()
{
    seedUsed_ = in_.seed;
    if (in_.initGenerator) {
        if (seedUsed_ == 0) seedUsed_ = unsigned(time(nullptr));
        InitRndNumberGenerator(seedUsed_);
    } else if (r == nullptr) {
        // No generator yet: drawing would dereference nothing, so seed one as asked.
        InitRndNumberGenerator(seedUsed_);
    }
    startClock_ = clock();
    startTime_ = time(nullptr);
}

// The permutation list of one iteration: within nesting groups and/or as bundles when asked,
// otherwise the selected units (all, or a balanced subsample) among themselves; a null
// selection permutes all units freely.
void RandomizationTestManova::DrawList(int* list, bool* selection)
{
    const bool nest = in_.nestingGiven && in_.nestingGroups != nullptr;
    const bool bund = in_.bundlesGiven && in_.bundles != nullptr;
    if (nest || bund) {
        // Without nesting the bundles are exchanged among all bundles: asking for exchange
        // within nesting groups there would leave every unit in place.
        const bool withinNesting = nest && in_.bundlesWithinNesting;
        if (statistic_ == 0 && in_.synchronized && nest) {
            int* order = work_[1];
            for (int i = 0; i < n_; i++) order[i] = i;  // any order assigns the same list
            RndListNestedSynchronized(n_, nest, in_.nestingGroups, bund, in_.bundles,
                                      withinNesting, list, true, order);
        } else {
            RndListNestedNew(n_, nest, in_.nestingGroups, bund, in_.bundles, withinNesting, list);
        }
        return;
    }
    if (selection == nullptr) {
        RndList(n_, list);
        return;
    }
    // Unselected positions keep their own number: start from the identity every time, or an
    // earlier draw would leave its numbers there.
    for (int i = 0; i < n_; i++) list[i] = i + 1;
    RndListSelect(n_, list, selection);
}

// Mean of every variable over the units of each group of each effect, -999 cells left out;
// a variable with no value present in a group keeps -999.
void RandomizationTestManova::ComputeMeans()
{
    if (!in_.computeMeans || p_ < 1) return;
    for (int e = 0; e < e_; e++)
        for (int g = 0; g < effectGroupCount_[e]; g++)
            for (int v = 0; v < p_; v++) {
                double sum = 0.0;
                int used = 0;
                for (int i = 0; i < n_; i++) {
                    if (effectGroups_[e][i] != g + 1 || in_.data[i][v] == kMissing) continue;
                    sum += in_.data[i][v];
                    used++;
                }
                means_[e][g][v] = used > 0 ? sum / used : kMissing;
                meanCounts_[e][g][v] = used;
            }
}

void RandomizationTestManova::FinishRun()
{
    for (int a = 0; a <= f_; a++)
        for (int b = a; b <= f_; b++)
            if (count_[a][b] > 0.0) prob_[a][b] = count_[a][b] / iterations_;
    if (statistic_ == 0 && f_ == 3) p3_ = count3_ / iterations_;
    if (contrasts_)
        for (int k = 0; k < f_; k++)
            for (int c = 0; c < in_.contrastCount[k]; c++) {
                cProb_[k][c] = cCount_[k][c] / iterations_;
                cResults_[k][c][0] = cStat_[k][c][0];
                cResults_[k][c][1] = cStat_[k][c][1];
                cResults_[k][c][2] = cProb_[k][c];
            }
    ComputeMeans();
    if (in_.distances != nullptr && n_ >= 2) LowerToUpperMatrix(n_, in_.distances);
    elapsed_ = difftime_Clock((unsigned long)startClock_);
}

// ---------------------------------------------------------------- single-statistic test

// The statistic of factor k on the data rows and the dissimilarities (or their ranks for
// ANOSIM) read on the upper triangle of pairs. A factor with a single group has nothing to
// test and gives 0, as does a statistic whose matrix is missing.
double RandomizationTestManova::FactorStatistic(int k, double** rows, double** pairs) const
{
    const int g = effectGroupCount_[k];
    int* groups = effectGroups_[k];
    if (g < 2) return 0.0;
    switch (statistic_) {
    case 1: return rows ? F_SUM(n_, p_, groups, rows, *groupWs_) : 0.0;
    case 2: return rows ? LR_IND(n_, p_, groups, rows, *groupWs_) : 0.0;
    case 3: return pairs ? MRPP(n_, g, groups, pairs, in_.distancesSquared, in_.mrppSquares) : 0.0;
    case 4: return pairs ? ANOSIM(n_, g, groups, pairs, true) : 0.0;
    default: return 0.0;
    }
}

void RandomizationTestManova::RunSingleStatistic()
{
    SeedAndStartClock();
    for (int k = 0; k <= f_; k++) count_[k][k] = 1.0;
    // Fewer than two units or an unknown statistic: nothing to test; every arrangement would
    // give the same value, so every P is 1.
    if (n_ < 2 || statistic_ < 1) {
        for (int k = 0; k <= f_; k++) count_[k][k] = iterations_;
        FinishRun();
        return;
    }
    const bool onPairs = statistic_ >= 3 && in_.distances != nullptr;
    // The lower triangle holds the data: mirrored first, so that the statistics (which read
    // the upper one) see it. ANOSIM ranks the pairs once: a permutation of the units moves
    // the ranks with their pairs, so the permuted ranks are the ranks of the permuted data.
    double** source = in_.distances;
    if (onPairs) {
        LowerToUpperMatrix(n_, in_.distances);
        if (statistic_ == 4) {
            RankReseAdj(n_, in_.distances, ranks_);
            UpperToLowerMatrix(n_, ranks_);
            source = ranks_;
        }
    }
    double** rows = in_.data;
    double** pairs = onPairs ? source : nullptr;
    for (int k = 0; k < f_; k++) stat_[k][k] = FactorStatistic(k, rows, pairs);
    if (in_.printIntermediate && in_.reportFile)
        PrintManovaResults(in_.reportFile, in_.unitLabels, in_.digits, true, 0);

    char text[80];
    for (int it = 1; it < iterations_; it++) {
        if (in_.showProgress) {
            snprintf(text, sizeof text, Text("Permutation: %d %d", "Permutacao: %d %d"), iterations_,
                     it + 1);
            HandleEventInfoWhere2(text);
        }
        DrawList(list_, nullptr);
        if (in_.data != nullptr)
            for (int i = 0; i < n_; i++) rows_[i] = in_.data[list_[i] - 1];
        if (onPairs)
            for (int i = 0; i < n_; i++)
                for (int j = i + 1; j < n_; j++) {
                    const int a = list_[i] - 1, b = list_[j] - 1;
                    perm_[i][j] = source[std::max(a, b)][std::min(a, b)];
                }
        for (int k = 0; k < f_; k++) {
            rndStat_[k][k] = FactorStatistic(k, in_.data ? rows_ : nullptr, onPairs ? perm_ : nullptr);
            if (AtLeastAsExtreme(rndStat_[k][k], stat_[k][k], statistic_ == 3)) count_[k][k] += 1.0;
        }
        if (in_.printIntermediate && in_.reportFile)
            PrintManovaResults(in_.reportFile, in_.unitLabels, in_.digits, true, it);
    }
    FinishRun();
}
