// The skeleton of the single-statistic permutation tests: the OTU list and its draws, the
// correlation of community resemblances, the counting rule, progress, printers and the
// permuted trait means and compositions.
#include "permtests/qwlibPermSkeleton.h"

#include <gsl/gsl_rng.h>

#include "foundation/iflibG.h"
#include "matrix/core/qwlibPermut.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/core/qwlibUtil.h"
#include "matrix/qwlibDispatch.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResCompare.h"
#include "traits/TNXCOMRESE.h"

// ------------------------------------------------------------------ the OTU list

OtuList::OtuList(int otus) : otus_(std::max(otus, 0)) { Build<double>(0, nullptr, false); }
OtuList::OtuList(int otus, int communities, double** W, bool weighted) : otus_(std::max(otus, 0)) {
    Build(communities, W, weighted);
}
OtuList::OtuList(int otus, int communities, float** W, bool weighted) : otus_(std::max(otus, 0)) {
    Build(communities, W, weighted);
}

template <class WT>
void OtuList::Build(int communities, WT** W, bool weighted) {
    length_ = otus_;
    if (weighted) {
        length_ = 0;
        for (int c = 0; c < communities; c++)
            for (int o = 0; o < otus_; o++)
                if (W[c][o] > 0) length_++;
    }
    // Room for every occurrence and for the OTUs, whichever is more.
    list_ = dim1Dint(std::max(std::max(length_, otus_), 1));
    identity_ = dim1Dint(std::max(otus_, 1));
    for (int i = 0; i < otus_; i++) list_[i] = identity_[i] = i + 1;
    if (weighted) {
        int e = 0;
        for (int c = 0; c < communities; c++)
            for (int o = 0; o < otus_; o++)
                if (W[c][o] > 0) list_[e++] = o + 1;
    }
}

OtuList::~OtuList() {
    free1D(list_);
    free1D(identity_);
}

void OtuList::Draw(ListDraw how) {
    if (how == ListDraw::kFresh) {
        RndList(otus_, list_);
        return;
    }
    // No occurrence: nothing to draw from, the identity stays.
    if (length_ == 0) return;
    RndListSpecified(length_, list_);
    for (int i = length_; i < otus_; i++) list_[i] = list_[gsl_rng_uniform_int(r, static_cast<unsigned long>(length_))];
}

// ------------------------------------------------------------------ statistics and counting

double CommunityCorr(int n, double** A, double** B) {
    if (n < 2) return 0.0;
    if (n < 3) return TwoCommunityCongruence(A[0][1], B[0][1]);
    return MatrixCorr(n, A, B);
}

bool AtLeastAsLarge(double random, double observed) {
    return random > observed || AlmostEqual2sComplement(random, observed, 1);
}

void ShowProgress(int it, int iterations, const char* format) {
    char text[80];
    snprintf(text, sizeof text, format, it, iterations);
    HandleEventInfoWhere2(text);
}

// ------------------------------------------------------------------ printers

void PrintTitled(FILE* f, const char* title, int rows, int cols, float** m) {
    fputs(title, f);
    PrintMatrixTab(f, rows, cols, m, kPermDigits);
}

void PrintTitled(FILE* f, const char* title, int rows, int cols, double** m) {
    fputs(title, f);
    PrintMatrixTab(f, rows, cols, m, kPermDigits);
}

void PrintResemblance(FILE* f, const char* title, int n, double** D) {
    fprintf(f, title, n);
    TransposeSqMatrix(n, D, D);
    PrintLowerHalfMatrixTab(f, n, D, kPermDigits);
    TransposeSqMatrix(n, D, D);
}

void PrintOtuOrder(FILE* f, const char* title, int otus, const int* list) {
    fputs(title, f);
    PrintVectorTab(f, otus, const_cast<int*>(list), nullptr);
}

// ------------------------------------------------------------------ permuted matrices

namespace {

// X = W x U with the terms of a -999 factor skipped and no cell marked: the double-factor,
// single-result product has no marking form to avoid, the others take the skipping product
// whose mixed members do not mark.
void Product(int n, int s, int k, float** W, float** U, float** X) { MatrixProdMV(n, s, s, k, W, U, X); }
void Product(int n, int s, int k, float** W, double** U, float** X) { MatrixProdMV(n, s, s, k, W, U, X); }
void Product(int n, int s, int k, double** W, double** U, float** X) { MatrixProd(n, s, s, k, W, U, X); }
void Product(int n, int s, int k, double** W, double** U, double** X) { MatrixProd(n, s, s, k, W, U, X); }

// The resemblance among the n rows of x by the dispatcher code; code 0 computes nothing.
template <class M>
void RowResemblance(int n, int cols, M** x, double** d, int code) {
    if (code != 0) ResemblanceLib(n, cols, x, d, 1, code, 0, nullptr, 0.0, 0.0, 0, false);
}

}  // namespace

template <class WT>
TraitMeans<WT>::TraitMeans(int otus_, int traits_, int communities_, float** B, WT** W, int* select, bool normalise,
                           int code)
    : otus(otus_), traits(traits_), communities(communities_), Brnd(otus_, traits_), T(communities_, traits_),
      DT(communities_, communities_), B_(B), W_(W), select_(select), normalise_(normalise), code_(code) {}

template <class WT>
void TraitMeans<WT>::Arrange(const int* list) {
    for (int i = 0; i < otus; i++) std::copy(B_[list[i] - 1], B_[list[i] - 1] + traits, Brnd[i]);
    MatrixProdSelectMV(communities, otus, otus, traits, W_, Brnd, T, select_);
    if (normalise_) NormalizeCols(communities, traits, T, T);
    RowResemblance(communities, traits, static_cast<float**>(T), DT, code_);
}

template <class WT, class UT, class XT>
Composition<WT, UT, XT>::Composition(int otus_, int types_, int communities_, UT** U, WT** W, int code)
    : otus(otus_), types(types_), communities(communities_), Urnd(otus_, types_), X(communities_, types_),
      DX(communities_, communities_), U_(U), W_(W), code_(code) {}

template <class WT, class UT, class XT>
void Composition<WT, UT, XT>::Arrange(const int* list) {
    for (int i = 0; i < otus; i++) std::copy(U_[list[i] - 1], U_[list[i] - 1] + types, Urnd[i]);
    Product(communities, otus, types, W_, static_cast<UT**>(Urnd), static_cast<XT**>(X));
    RowResemblance(communities, types, static_cast<XT**>(X), DX, code_);
}

template class TraitMeans<float>;
template class TraitMeans<double>;
template class Composition<float, float, float>;
template class Composition<float, double, float>;
template class Composition<double, double, float>;
template class Composition<double, double, double>;
