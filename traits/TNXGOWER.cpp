// Gower similarity of populations: partial similarities per trait, their weighted and
// selected averages, and the older forms that read the traits from two-character codes.
#include "traits/TNXGOWER.h"

#include <cstdlib>
#include <cstring>

#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "statistics/qwlibRes.h"

namespace {

// Which traits enter an average, and with what weight.
struct ByWeight {
    const float* weights;
    bool uses(int t) const { return weights[t] > 0.0f; }
    double weight(int t) const { return weights[t]; }
};
struct BySelection {
    const int* selection;
    const float* weights;  // null: every trait weighs 1
    bool uses(int t) const { return selection[t] == 1; }
    double weight(int t) const { return weights ? weights[t] : 1.0; }
};

// The one averaging loop of the family. The float-result members round the sum and the divisor
// to float before dividing (so the search sees the same numbers as the analysis).
template <class Cube, class Result, class Which>
void AverageLayers(int nTraits, int n, Cube*** Sp, Result** S, const Which& which) {
    if (n < 1) return;
    for (int i = 0; i < n; i++) {
        S[i][i] = 1;
        for (int j = i + 1; j < n; j++) {
            if (nTraits < 1) {
                S[i][j] = static_cast<Result>(MissingValue);
                continue;
            }
            double sum = 0.0, weights = 0.0;
            for (int t = 0; t < nTraits; t++) {
                if (!which.uses(t) || IsMissing(Sp[i][j][t])) continue;
                sum += Sp[i][j][t];
                weights += which.weight(t);
            }
            if (!(weights > 0.0))
                S[i][j] = static_cast<Result>(MissingValue);
            else if constexpr (sizeof(Result) == sizeof(float))
                S[i][j] = static_cast<float>(sum) / static_cast<float>(weights);
            else
                S[i][j] = sum / weights;
        }
    }
}


// The partial similarity layers of the traits, from the trait values of each OTU as value(i, t)
// gives them. Each trait's n values are copied into one row of a work matrix (the Gower routine
// ranks ordinal rows in place, so the caller's data are never changed).
template <class Cube, class Value>
void PartialLayers(int nTraits, int n, Cube*** Sp, int* types, float* ranges, float* weights, int countDoubleAbsence,
                   Value value) {
    if (n < 1 || nTraits < 1) return;
    float** byTrait = dim2Dfloat(nTraits, n);
    for (int i = 0; i < n; i++)
        for (int t = 0; t < nTraits; t++) byTrait[t][i] = value(i, t);
    Cube** work = reinterpret_cast<Cube**>(dim2D(sizeof(Cube), n, n));
    for (int t = 0; t < nTraits; t++) {
        GowerMVPartial_dAbsences(n, types[t], byTrait[t], work, ranges[t], weights[t], countDoubleAbsence);
        for (int i = 0; i < n; i++)
            for (int j = i; j < n; j++) Sp[i][j][t] = work[i][j];
    }
    free2D(work, n);
    free2D(byTrait, nTraits);
}

template <class Cube>
void PartialFromMatrix(int nTraits, float** B, int n, Cube*** Sp, int* types, float* ranges, float* weights,
                       int countDoubleAbsence) {
    PartialLayers(nTraits, n, Sp, types, ranges, weights, countDoubleAbsence,
                  [B](int i, int t) { return B[i][t]; });
}

// The code strings decoded into an OTUs x traits matrix.
float** DecodedTraits(int nTraits, char** codes, int n) {
    float** x = dim2Dfloat(n, nTraits);
    for (int i = 0; i < n; i++)
        for (int t = 0; t < nTraits; t++) x[i][t] = TraitCodeValue(codes[i], t);
    return x;
}

}  // namespace

void gower_similarityAverage(int nTraits, int n, double*** Sp, float** S, float* weights) {
    AverageLayers(nTraits, n, Sp, S, ByWeight{weights});
}

void gower_similarityAverage(int nTraits, int n, float*** Sp, float** S, int* selection, float* weights) {
    AverageLayers(nTraits, n, Sp, S, BySelection{selection, weights});
}

void gower_similarityAverage(int nTraits, int n, double*** Sp, float** S, int* selection, float* weights) {
    AverageLayers(nTraits, n, Sp, S, BySelection{selection, weights});
}

void gower_similarityAverage(int nTraits, int n, double*** Sp, double** S, int* selection, float* weights) {
    AverageLayers(nTraits, n, Sp, S, BySelection{selection, weights});
}

float TraitCodeValue(const char* code, int t) {
    // Only this trait's two characters: reading on would take the next trait's digits along.
    char two[3] = {code[2 * t], code[2 * t] ? code[2 * t + 1] : '\0', '\0'};
    return static_cast<float>(std::atof(two));
}

float SpeciesCodeValue(const char* code, int t) {
    const unsigned a = static_cast<unsigned char>(code[2 * t]);
    const unsigned b = a ? static_cast<unsigned char>(code[2 * t + 1]) : 0u;
    return static_cast<float>(a * 1000u + b);
}

void Copy_hcsm_traitData(int nTraits, int n, char** codes, float** out, int* order, char** labels) {
    for (int t = 0; t < nTraits; t++) {
        const bool species = std::strcmp(labels[order[t] - 1], "sp") == 0;
        for (int i = 0; i < n; i++) out[t][i] = species ? SpeciesCodeValue(codes[i], t) : TraitCodeValue(codes[i], t);
    }
}

void gower_similarityPartial(int nTraits, float** B, int n, float*** Sp, int* types, float* ranges, float* weights,
                             int countDoubleAbsence) {
    PartialFromMatrix(nTraits, B, n, Sp, types, ranges, weights, countDoubleAbsence);
}

void gower_similarityPartial(int nTraits, float** B, int n, double*** Sp, int* types, float* ranges, float* weights,
                             int countDoubleAbsence) {
    PartialFromMatrix(nTraits, B, n, Sp, types, ranges, weights, countDoubleAbsence);
}

void gower_similarityPartial(int nTraits, float** B, int n, float*** Sp, int* types, float* ranges, float* weights) {
    PartialFromMatrix(nTraits, B, n, Sp, types, ranges, weights, countDoubleAbsence);
}

void gower_similarityPartial(int nTraits, float** B, int n, double*** Sp, int* types, float* ranges, float* weights) {
    PartialFromMatrix(nTraits, B, n, Sp, types, ranges, weights, countDoubleAbsence);
}

void gower_similarityPartial_OLD(int nTraits, char** codes, int n, float*** Sp, int* types, float* ranges,
                                 float* weights) {
    PartialLayers(nTraits, n, Sp, types, ranges, weights, countDoubleAbsence,
                  [codes](int i, int t) { return TraitCodeValue(codes[i], t); });
}

void gower_similarity(int nTraits, char** codes, int n, double** S, int* types, float* ranges, float* weights,
                      int countDoubleAbsence) {
    float** x = DecodedTraits(nTraits, codes, n);
    GowerMVOpt(n, nTraits, types, x, S, ranges, weights, countDoubleAbsence);
    free2D(x, n);
}

void gower_similarity(int nTraits, char** codes, int n, float** S, int* types, float* ranges, float* weights,
                      int countDoubleAbsence) {
    float** x = DecodedTraits(nTraits, codes, n);
    GowerMVOpt(n, nTraits, types, x, S, ranges, weights, countDoubleAbsence);
    free2D(x, n);
}
