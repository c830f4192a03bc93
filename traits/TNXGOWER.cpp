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
