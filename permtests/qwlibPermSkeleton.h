// The skeleton every single-statistic permutation test of this library shares: work arrays,
// the OTU list and its draws, the correlation of two community resemblances, the counting rule,
// the progress line, the printers of the intermediate results and the loop that ties them.
//
// A test is a class that computes its statistics from one arrangement of the OTUs:
//
//   struct MyTest {
//       int counted = 2;                     // statistics that get a count
//       double stat[kMaxCounted];            // filled by Arrange, float-held ones rounded to float
//                                            // (or a pointer to counted values)
//       void Arrange(const int* list);       // list[i] (1-based) is the OTU that lends row i
//       void PrintHeader(FILE* f);           // header and observed lines (after Arrange(identity))
//       void PrintIteration(FILE* f, int it, const int* list, const double* counts);
//   };
//
// and a member of the library reads:
//
//   if (!Testable(communities, otus)) { *p = 1.0; return ...; }   // nothing computed or drawn
//   MyTest test(...);                                             // every buffer allocated here
//   OtuList list(otus, communities, W, weighted);
//   double p[kMaxCounted];
//   RunPermutationTest(test, iterations, list, ListDraw::kContinued, print ? stream : nullptr, p);
//
// RunPermutationTest computes the observed statistics from the identity arrangement (so that
// drawing the identity reproduces them exactly), counts each as at least as large as itself,
// shows the progress line, draws iterations - 1 lists, counts by AtLeastAsLarge and leaves
// count / iterations in p (iterations below 1 behave as 1). A statistic whose extreme values are
// the small ones is counted as its negation, which turns the lower tail into the upper one.
#ifndef TNX_QWLIBPERMSKELETON_H
#define TNX_QWLIBPERMSKELETON_H

#include <algorithm>
#include <cstdio>

#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"

// Significant digits of every matrix of the intermediate results.
constexpr int kPermDigits = 6;
// Most statistics a test of the Mantel family counts (the size of its stat array).
constexpr int kMaxCounted = 8;

// A zero-filled rows x cols work matrix from the foundation's allocators (at least 1 x 1, so
// that empty tables need no special case), released with the row count it was made with.
template <class T>
class WorkMatrix {
public:
    WorkMatrix(int rows, int cols)
        : rows_(std::max(rows, 1)),
          m_(static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), rows_, std::max(cols, 1))))) {}
    ~WorkMatrix() { free2D(m_, rows_); }
    WorkMatrix(const WorkMatrix&) = delete;
    WorkMatrix& operator=(const WorkMatrix&) = delete;
    operator T**() const { return m_; }
    T* operator[](int i) const { return m_[i]; }

private:
    int rows_;
    T** m_;
};

// How each randomisation draws its list.
enum class ListDraw {
    kContinued,  // shuffle the list as the previous randomisation left it
    kFresh       // a new permutation of 1 .. OTUs (no weighted null model)
};

// The OTU list: list[i] is the 1-based OTU whose rows stand in row i of a permuted matrix.
// Plain: 1 .. OTUs. Under the weighted null model: the occurrences of W, community by
// community and, within one, OTU by OTU, one entry per cell > 0; its first OTUs entries are
// used, so an OTU occurring in many communities lends its rows more often.
class OtuList {
public:
    explicit OtuList(int otus);
    OtuList(int otus, int communities, double** W, bool weighted);
    OtuList(int otus, int communities, float** W, bool weighted);
    ~OtuList();
    OtuList(const OtuList&) = delete;
    OtuList& operator=(const OtuList&) = delete;

    // Continued: the shuffle of the whole list (OTUs entries, or every occurrence) as it stands.
    // With fewer occurrences than OTUs the remaining positions are drawn with replacement from
    // the shuffled occurrences; without any occurrence the list stays 1 .. OTUs and nothing is
    // drawn. Fresh: RndList over 1 .. OTUs.
    void Draw(ListDraw how);
    const int* Entries() const { return list_; }
    const int* Identity() const { return identity_; }
    // Entries the continued shuffle moves: OTUs, or the number of occurrences.
    int Length() const { return length_; }

private:
    template <class WT>
    void Build(int communities, WT** W, bool weighted);
    int otus_, length_ = 0;
    int* list_ = nullptr;
    int* identity_ = nullptr;
};

// A test needs at least 2 communities and 1 OTU; below that every statistic is 0, every
// probability 1 and nothing is drawn.
inline bool Testable(int communities, int otus) { return communities >= 2 && otus >= 1; }

// Correlation of two resemblance matrices of n communities (cells above the diagonal): the
// matrix correlation from 3 communities on, the two-community congruence of the cells [0][1]
// for 2, 0 below.
double CommunityCorr(int n, double** A, double** B);

// The counting rule: a random value counts when it is strictly larger than the observed one or
// equal to it within one unit in the last place of single precision. Upper tail, signs kept.
bool AtLeastAsLarge(double random, double observed);

// The progress line of a randomisation, "Permutation test: %d of %d" unless another format
// (two %d: this randomisation, the iterations) is given; shown at most once every 5 ticks.
void ShowProgress(int it, int iterations, const char* format = "Permutation test: %d of %d");

// Intermediate results. A matrix after its title; a resemblance matrix (title with one %d, the
// number of objects) as the lower half of its transpose, so that the computed upper triangle
// is shown, the matrix transposed back afterwards; an OTU order after its title.
void PrintTitled(FILE* f, const char* title, int rows, int cols, float** m);
void PrintTitled(FILE* f, const char* title, int rows, int cols, double** m);
void PrintResemblance(FILE* f, const char* title, int n, double** D);
void PrintOtuOrder(FILE* f, const char* title, int otus, const int* list);

// The head of the intermediate results: the title, "INTERMEDIATE RESULTS", the OTU matrix the
// test permutes under its title, and W (communities x OTUs).
template <class M, class WT>
void PrintHead(FILE* f, const char* title, const char* matrixTitle, int otus, int cols, M** m, int communities,
               WT** W) {
    fputs(title, f);
    fputs("INTERMEDIATE RESULTS\n", f);
    PrintTitled(f, matrixTitle, otus, cols, m);
    fprintf(f, "\nMatrix W (%d communities by %d OTUs):\n", communities, otus);
    PrintMatrixTab(f, communities, otus, W, kPermDigits);
}

// The first lines of an iteration block: "ITERATION", the permuted matrix (one row per OTU) under
// its title, the OTU order, the random product (its title takes the communities and columns)
// and, when its title is given, the product's resemblance D.
struct IterationTexts {
    const char* permuted;
    const char* order;
    const char* product;
    const char* resemblance;  // null: not written
};
template <class P, class M>
void PrintPermutedBlock(FILE* f, int it, const IterationTexts& t, int otus, int cols, P** permuted, const int* list,
                        int communities, M** product, double** D) {
    fprintf(f, "\n\nITERATION\t%d\n", it);
    PrintTitled(f, t.permuted, otus, cols, permuted);
    PrintOtuOrder(f, t.order, otus, list);
    fprintf(f, t.product, communities, cols);
    PrintMatrixTab(f, communities, cols, product, kPermDigits);
    if (t.resemblance) PrintResemblance(f, t.resemblance, communities, D);
}

// What the tests permute. The trait means: Brnd row i = B row list[i] - 1; T = W x Brnd over
// the selected traits (select[j] == 1; other columns 0; terms with a -999 factor skipped, the
// sums in single precision), its columns divided by their length when asked (a zero column
// stays 0); DT the resemblance among the rows of T by the dispatcher code (0: none, DT stays as
// it is). W is float or double.
template <class WT>
class TraitMeans {
public:
    TraitMeans(int otus, int traits, int communities, float** B, WT** W, int* select, bool normalise, int code);
    void Arrange(const int* list);
    const int otus, traits, communities;
    WorkMatrix<float> Brnd, T;
    WorkMatrix<double> DT;

private:
    float** B_;
    WT** W_;
    int* select_;
    bool normalise_;
    int code_;
};

// The composition: Urnd row i = U row list[i] - 1, held in U's own type so that the identity
// reproduces X exactly; X = W x Urnd (terms with a -999 factor skipped, no cell marked); DX the
// resemblance among the rows of X by the dispatcher code (0: none). Instantiated for (W, U, X)
// = (float, float, float), (float, double, float), (double, double, float) and (double,
// double, double).
template <class WT, class UT, class XT>
class Composition {
public:
    Composition(int otus, int types, int communities, UT** U, WT** W, int code);
    void Arrange(const int* list);
    const int otus, types, communities;
    WorkMatrix<UT> Urnd;
    WorkMatrix<XT> X;
    WorkMatrix<double> DX;

private:
    UT** U_;
    WT** W_;
    int code_;
};

// The loop of every test (see the head of this file). counts (test.counted values) receives
// the probabilities.
template <class Test>
void RunPermutationTest(Test& test, int iterations, OtuList& list, ListDraw how, FILE* print, double* counts,
                        const char* progress = "Permutation test: %d of %d") {
    const int total = std::max(iterations, 1);
    test.Arrange(list.Identity());
    const int counted = std::max(test.counted, 0);
    WorkMatrix<double> held(1, counted);
    double* observed = held[0];
    for (int i = 0; i < counted; i++) {
        observed[i] = test.stat[i];
        counts[i] = 1.0;
    }
    if (print) test.PrintHeader(print);
    for (int it = 1; it < total; it++) {
        ShowProgress(it, total, progress);
        list.Draw(how);
        test.Arrange(list.Entries());
        for (int i = 0; i < counted; i++)
            if (AtLeastAsLarge(test.stat[i], observed[i])) counts[i] += 1.0;
        if (print) test.PrintIteration(print, it, list.Entries(), counts);
    }
    for (int i = 0; i < counted; i++) counts[i] /= total;
}

#endif
