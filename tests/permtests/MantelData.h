// The data set of the Mantel-family tests (r/mantel_family.R holds the same values and prints the
// expected statistics): 6 communities, 5 OTUs, 3 traits (the third not selected), 2 types, 2
// taxa, 2 environmental variables and 2 covariables.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

#include "matrix/core/qwlibRandom.h"
#include "permtests/qwlibPermMantel.h"
#include "statistics/StatTestUtil.h"

const int kComm = 6, kOtus = 5, kTraits = 3, kTypes = 2;

struct MantelData {
    Mat<double> W{{3, 1, 0, 0, 2}, {0, 2, 4, 1, 0}, {1, 0, 0, 5, 2}, {2, 2, 2, 0, 0}, {0, 0, 1, 3, 4}, {5, 0, 1, 0, 1}};
    Mat<float> B{{1.0, 10, 0.5}, {2.5, 12, 0.1}, {4.0, 7, 0.9}, {3.0, 15, 0.3}, {0.5, 9, 0.7}};
    Mat<double> U{{1, 0}, {0.8, 0.2}, {0, 1}, {0.3, 0.7}, {0.6, 0.4}};
    Mat<double> Q{{1, 0}, {1, 0}, {0, 1}, {0, 1}, {1, 0}};
    Mat<double> E{{1, 5}, {2, 3}, {4, 4}, {3, 1}, {5, 2}, {0.5, 4.5}};
    Mat<double> C{{2, 1}, {0, 3}, {1, 1}, {4, 2}, {3, 0}, {1, 2}};
    Mat<float> S{{1, .8, .3, .5, .6}, {.8, 1, .4, .7, .5}, {.3, .4, 1, .2, .9}, {.5, .7, .2, 1, .1}, {.6, .5, .9, .1, 1}};
    Mat<double> P{kComm, 2}, DE{kComm, kComm}, DC{kComm, kComm}, DP{kComm, kComm}, DT{kComm, kComm};
    Mat<float> Uf{kOtus, kTypes}, Wf{kComm, kOtus}, Ef{kComm, 2};  // single-precision copies
    int sel[kTraits] = {1, 1, 0};
    int identity[kOtus] = {1, 2, 3, 4, 5};

    MantelData() {
        Copy(U, Uf);
        Copy(W, Wf);
        Copy(E, Ef);
        for (int c = 0; c < kComm; c++)
            for (int o = 0; o < kOtus; o++)
                for (int t = 0; t < 2; t++) P[c][t] += W[c][o] * Q[o][t];
        RowDistances(E, DE);
        RowDistances(C, DC);
        RowDistances(P, DP);
        // DT of the observed T, the resemblance the type-composition tests are handed.
        TraitMeans<double> means(kOtus, kTraits, kComm, B, W, sel, true, 3);
        means.Arrange(identity);
        for (int i = 0; i < kComm; i++)
            for (int j = 0; j < kComm; j++) DT[i][j] = means.DT[i][j];
    }
};

// The given correlations of r/mantel_family.R.
const double kRTE = 0.031139244177606006, kRPE = 0.21842479405252149, kRPT = 0.83792826847291013,
             kRPE_C = 0.24008245539717885, kRTE_C = 0.035625449791580839, kRTE_P = -0.28517562798967661,
             kRTE_PC = -0.32630348417966337;

// A scratch stream for the intermediate results, closed on scope exit.
struct Scratch {
    FILE* f = std::tmpfile();
    ~Scratch() {
        if (f) std::fclose(f);
    }
    std::string Text() { return ReadBack(f); }
};

// The next draw of the shared generator after seeding with seed and calling run: tells whether
// run drew anything.
template <class F>
unsigned long DrawAfter(unsigned long seed, F run) {
    InitRndNumberGenerator(seed);
    run();
    return gsl_rng_get(r);
}
