// The small data set of the permutation-test tests (r/permtest_small.R holds the same values and
// prints every expected value), with a filled record.
#pragma once

#include <cmath>
#include <utility>

#include "statistics/StatTestUtil.h"
#include "traits/TNXPERMTEST.h"

const int kN = 6, kS = 5, kP = 3, kK = 2, kQ = 2, kV = 2, kA = 2;

// The data of r/permtest_small.R. W: 6 communities by 5 OTUs; the third trait is not selected.
struct Small {
    Mat<double> W{{3, 1, 0, 0, 2}, {0, 2, 4, 1, 0}, {1, 0, 0, 5, 2}, {2, 2, 2, 0, 0}, {0, 0, 1, 3, 4}, {5, 0, 1, 0, 1}};
    Mat<float> B{{1.0, 10, 0.5}, {2.5, 12, 0.1}, {4.0, 7, 0.9}, {3.0, 15, 0.3}, {0.5, 9, 0.7}};
    Mat<double> U{{1, 0}, {0.8, 0.2}, {0, 1}, {0.3, 0.7}, {0.6, 0.4}};
    Mat<double> Q{{1, 0}, {1, 0}, {0, 1}, {0, 1}, {1, 0}};
    Mat<double> E{{1, 5}, {2, 3}, {4, 4}, {3, 1}, {5, 2}, {0.5, 4.5}};
    // Only the upper triangles are filled (the engine reads no other half); the lower cells
    // hold 9 to catch a read.
    Mat<float> Sb{{1, .8, .3, .5, .6}, {9, 1, .4, .7, .5}, {9, 9, 1, .2, .9}, {9, 9, 9, 1, .1}, {9, 9, 9, 9, 1}};
    Mat<double> Sf{{1, .9, .2, .3, .8}, {9, 1, .1, .4, .7}, {9, 9, 1, .6, .3}, {9, 9, 9, 1, .2}, {9, 9, 9, 9, 1}};
    Mat<float> axes{{0.5, 0.1}, {0.4, -0.2}, {-0.6, 0.3}, {-0.3, -0.4}, {0.2, 0.5}};
    Mat<double> Y{kN, kS}, Z{kN, kS}, DE{kN, kN}, DY{kN, kN}, DZ{kN, kN};
    Mat<double> outT{kN, kP}, outX{kN, kK}, outP{kN, kQ};
    double outR[kN] = {}, outF[kN] = {};
    int sel[kP] = {1, 1, 0};
    int nest[kS] = {1, 2, 3, 4, 5};
    PermTest_FunctionalPhyl_Correl_Input in{};

    static void Euclid(Mat<double>& x, Mat<double>& d) {
        for (int i = 0; i < x.rows(); i++)
            for (int j = i + 1; j < x.rows(); j++) {
                double s = 0;
                for (int c = 0; c < x.cols(); c++) s += (x[i][c] - x[j][c]) * (x[i][c] - x[j][c]);
                d[i][j] = std::sqrt(s);
                d[j][i] = 77;  // never read
            }
    }

    // Y and Z from W, and the resemblances DE, DY and DZ.
    void Derive() {
        for (int c = 0; c < kN; c++)
            for (int o = 0; o < kS; o++) {
                Y[c][o] = W[c][o] + 0.5;
                Z[c][o] = std::sqrt(W[c][o] + 1);
            }
        Euclid(E, DE);
        Euclid(Y, DY);
        Euclid(Z, DZ);
    }

    // The communities in the reverse order: the rows of W and E, and all that derives from them.
    void ReverseCommunities() {
        for (int c = 0; c < kN / 2; c++) {
            std::swap(static_cast<double**>(W)[c], static_cast<double**>(W)[kN - 1 - c]);
            std::swap(static_cast<double**>(E)[c], static_cast<double**>(E)[kN - 1 - c]);
        }
        Derive();
    }

    Small(int optRo, bool phyl) {
        Derive();
        // Sizes, tables and options; the phylogeny's tables only with it.
        in.iterations = 1, in.nTraits = kP, in.traitSelected = sel, in.nOTUs = kS, in.nTypes = kK, in.nEnv = kV;
        in.nCommunities = kN, in.nTaxa = phyl ? kQ : 0, in.nPhylAxes = phyl ? kA : 0;
        in.B = B, in.Sb = Sb, in.E = E, in.U = U, in.W = W, in.DE = DE, in.DY = DY, in.DZ = DZ, in.Y = Y, in.Z = Z;
        in.phylAxes = phyl ? static_cast<float**>(axes) : nullptr;
        in.Sf = phyl ? static_cast<double**>(Sf) : nullptr;
        in.Q = phyl ? static_cast<double**>(Q) : nullptr;
        in.reseOpt = 6, in.optRo = optRo, in.overfitFactor = 2.0, in.includePhylogeny = phyl;
        in.sqrtRaoTraits = true, in.sqrtRaoPhyl = false, in.restriction = 0, in.nestingGroups = nest;
        in.twoTailed = true;
        in.outT = outT, in.outX = outX, in.outP = outP, in.outR = outR, in.outRaoPhyl = outF;
    }
};

// X = W U and the community-weighted means of the first two traits (each W row over its total),
// computed directly for the partial congruences; the third column of T is set to 7.
inline void CompositionAndMeans(Small& d, Mat<double>& X, Mat<double>& T) {
    for (int c = 0; c < kN; c++) {
        double tot = 0;
        for (int o = 0; o < kS; o++) {
            tot += d.W[c][o];
            for (int t = 0; t < kK; t++) X[c][t] += d.W[c][o] * d.U[o][t];
            for (int t = 0; t < 2; t++) T[c][t] += d.W[c][o] * d.B[o][t];
        }
        for (int t = 0; t < 2; t++) T[c][t] /= tot;
        T[c][2] = 7;
    }
}
