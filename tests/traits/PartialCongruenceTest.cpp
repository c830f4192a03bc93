// Partial Procrustes and RV congruence against R (r/permtest_small.R: residuals of lm on the
// covariates, then vegan::protest and ade4::RV.rtest), column selection and the empty cases.
#include <gtest/gtest.h>

#include "statistics/StatTestUtil.h"
#include "traits/PermTestData.h"
#include "traits/TNXPERMTEST.h"

namespace {

TEST(PartialMatrixCorrelation, AgreesWithRAndSelectsColumns) {
    // X and E given T of r/permtest_small.R; T enters through its selection (the third column,
    // all 7, must not enter: it would be a constant predictor anyway, but a wrong width of the
    // predictor table shows).
    Small d(2, false);
    Mat<double> X(kN, kK), T(kN, kP);
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
    int sel[kP] = {1, 1, 0};
    EXPECT_NEAR(PartialMatrixCorrelation(kN, kK, kV, X, d.E, 2, 2.0, {{kP, sel, T}}), 0.4178472093564839, 1e-10);
    EXPECT_NEAR(PartialMatrixCorrelation(kN, kK, kV, X, d.E, 3, 2.0, {{kP, sel, T}}), 0.17546126354602604, 1e-10);
    EXPECT_EQ(PartialMatrixCorrelation(kN, kK, kV, X, d.E, 2, 2.0, {}), 0.0);
    int none[kP] = {0, 0, 0};
    EXPECT_EQ(PartialMatrixCorrelation(kN, kK, kV, X, d.E, 2, 2.0, {{kP, none, T}}), 0.0);
    EXPECT_EQ(PartialMatrixCorrelation(kN, kK, kV, X, d.E, 1, 2.0, {{kP, sel, T}}), 0.0);
}

}  // namespace
