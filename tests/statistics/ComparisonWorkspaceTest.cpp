// The work space of the RV and Procrustes coefficients when memory is refused: each of its GSL
// blocks refused in turn raises code 1, the out-of-memory road, with the blocks made before it
// freed (LSan judges); with none refused the work space gives the reference value.
#include <gtest/gtest.h>

#include "common/ErrorCode.h"
#include "foundation/TnxGsl.h"
#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

template <class T>
void CheckRefusals(double tol) {
    // Three GSL blocks: the two g x g matrices and the g-vector of the decomposition.
    for (int refused = 1; refused <= 3; refused++) {
        RefuseGslAllocation(refused);
        EXPECT_EQ(tnxtest::CodeOf([] { ComparisonWorkspace<T> ws(6, 3, 2); }), TNX_OUT_OF_MEMORY) << refused;
    }
    RefuseGslAllocation(4);
    ComparisonWorkspace<T> ws(6, 3, 2);
    RefuseGslAllocation(0);
    // The configurations of r/compare.R and vegan's protest value (MatrixCompareTest).
    Mat<T> X{{1, 2, 0}, {3, 1, 4}, {2, 5, 1}, {6, 2, 2}, {4, 4, 5}, {0, 3, 3}};
    Mat<T> Y{{2, 1}, {1, 3}, {4, 2}, {5, 5}, {3, 6}, {1, 2}};
    EXPECT_NEAR(ProcrustesCoeff(6, 3, 2, X, Y, ws), 0.824953135216131, tol);
}

TEST(ComparisonWorkspaceMemory, EachRefusedBlockTakesTheOutOfMemoryRoad) {
    CheckRefusals<double>(1e-10);
    CheckRefusals<float>(2e-5);
}

}  // namespace
