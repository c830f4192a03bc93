// The drivers of the stored resemblances on the five-OTU session (HierSession.h), worked by
// hand. Level tables (communities c1..c4 by types): level 1 (2 0 0 1), (1 1 0 1), (1 0 1 1),
// (0 1 1 1); level 2 (2 0 1), (2 0 1), (1 1 1), (1 1 1); level 3 (3 0), (3 0), (2 1), (2 1).
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/model/TNXGLOB.h"
#include "traits/HierSession.h"
#include "traits/TNXHIERRESE.h"

namespace {

using tnxtest::CodeOf;
using tnxtest::Count;
using Doubles = std::vector<double>;

class StoredResemblances : public tnxtest::HierarchicalAccumTest {
protected:
    void Prepare(int opt, int hierarchical = 1) {
        LoadTraits("1");
        isHierarchical = hierarchical;
        HierarchicalAccum();  // writes s1Hie.txt
        LoadTraits("1");      // the session's data as loaded again after an analysis
        isHierarchical = hierarchical, rese_opt = opt;
        std::snprintf(whichNRese, sizeof whichNRese, "s1NRe.txt");
        std::snprintf(whichPRese, sizeof whichPRese, "s1PRe.txt");
        std::snprintf(whichCstRese, sizeof whichCstRese, "s1CRe.txt");
    }
    void TearDown() override {
        reseCstOpt = whichLevelCst = printNRese = printPRese = printReseFree = 0;
        HierarchicalAccumTest::TearDown();
    }
};

// Absolute values, one a line, upper triangle with the diagonal: level 1 (1,2) 2, (1,3) 2,
// (1,4) 4, (2,3) 2, (2,4) 2, (3,4) 2; levels 2 and 3 0 for c1-c2 and c3-c4, 2 otherwise.
const std::string kLevel1 = "0\n2\n2\n4\n0\n2\n2\n0\n2\n0\n", kLevel3 = "0\n0\n2\n2\n0\n2\n2\n0\n0\n0\n",
                  kZeros = "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n";

TEST_F(StoredResemblances, LevelsPartsThatAddBackToLevelOneAndTheirReport) {
    Prepare(8);
    printNRese = printPRese = printReseFree = 'y';
    Resemblance();
    EXPECT_EQ(dirtyOrig, 1);
    EXPECT_EQ(Read("s1NRe.txt"), kLevel1 + kLevel3 + kLevel3);
    // Level 1 less level 2, level 2 less level 3 (nothing), level 3, and their sum: level 1.
    EXPECT_EQ(Read("s1PRe.txt"), "0\n2\n0\n2\n0\n0\n0\n0\n2\n0\n" + kZeros + kLevel3 + kLevel1);
    const std::string r = Read("s1Prinda.txt");
    EXPECT_EQ(Count(r, "RESEMBLANCE OF COMMUNITIES\n" + std::string(70, '-') + "\n"), 1);
    EXPECT_EQ(Count(r, "Resemblance function: 8 (absolute value function)\nFuzzy transformation: none (crisp)\n"), 1);
    EXPECT_EQ(Count(r, "\nLevel 1: Nominal resemblances (Option 8):\n0\t\n2\t0\t\n2\t2\t0\t\n4\t2\t2\t0\t\n"), 1);
    EXPECT_EQ(Count(r, "levels 1 to 3 in rows (upper half, free format, no diagonal):\n2\t2\t4\t2\t2\t2\t\n0\t2\t2\t2\t2\t0"),
              1);
    EXPECT_EQ(Count(r, "\nLevel 2: Partial resemblances (Option 8):\n"), 1);
    EXPECT_EQ(Count(r, "Global resemblances (Option 8):\n"), 1);
    // The classical analyses read the stored matrices back.
    rese = dim3Double(3, 4, 4);
    ReadResemblance(1, false);
    EXPECT_EQ((Doubles{rese[0][0][3], rese[0][3][0], rese[1][0][1], rese[2][2][1]}), (Doubles{4, 4, 0, 2}));
    ReadResemblance(2, false);
    EXPECT_EQ((Doubles{rese[0][0][1], rese[0][0][2], rese[1][0][2], rese[2][1][2]}), (Doubles{2, 0, 0, 2}));
    free3D(rese, 3, 4);
    rese = nullptr;
}

TEST_F(StoredResemblances, CorrelationOptionsStoreTheSecondMatrixAndFuzzySetsStoreNoParts) {
    // Option 10 on level 3, N = 12, K = 5 x 5 x 5, totals 3: C(c1, c1) = 9/12 - 9/125,
    // C(c1, c3) = 6/12 - 9/125, C(c3, c3) = 5/12 - 9/125; r = 0.885379, 2 (1 - r) = 0.229242.
    // Equal rows correlate 1: 0. With fuzzy sets the tables read back are the crisp ones.
    Prepare(10);
    Resemblance();
    const std::string stored = Read("s1NRe.txt");
    EXPECT_EQ(stored.substr(stored.size() - 15), "0.229242\n0\n0\n0\n");
    EXPECT_EQ(Count(stored, "\n0.229242\n"), 2);
    // The parts in the same form: the last, the global one, is level 1's.
    const auto lines = [](const std::string& name) {
        std::vector<std::string> v;
        std::istringstream in(Read(name));
        for (std::string l; std::getline(in, l);) v.push_back(l);
        return v;
    };
    const auto nominal = lines("s1NRe.txt"), parts = lines("s1PRe.txt");
    ASSERT_EQ(parts.size(), 40u);
    EXPECT_EQ(std::vector<std::string>(parts.end() - 10, parts.end()),
              std::vector<std::string>(nominal.begin(), nominal.begin() + 10));
    Prepare(10);
    fuzzy = 1, fuzziness = 1.0f;
    std::remove("s1PRe.txt");
    Resemblance();
    EXPECT_FALSE(std::ifstream("s1PRe.txt").good()) << "parts only for crisp monothetic types";
    EXPECT_EQ(Read("s1NRe.txt"), stored) << "the tables read back are crisp";
}

TEST_F(StoredResemblances, AnIntermediateFileThatDoesNotFitIsRefused) {
    Prepare(8);
    Write("s1Hie.txt", "4\t4\n1 1 1 1 \n1 1 1 1 \n1 1 1 1 \n1 1 1 1 \n2\t4\n1 1 1 1 \n1 1 1 1 \n2\t4\n1 1 1 1 \n1 1 1 1 \n");
    EXPECT_EQ(CodeOf([] { Resemblance(); }), 2);
    LoadTraits("2.5");
    Resemblance();
    EXPECT_FALSE(std::ifstream("s1NRe.txt").good());
}

TEST_F(StoredResemblances, OneLevelWithEveryOptionAndTheTypesOfALevel) {
    Prepare(8, 0);
    printNRese = 'y';
    ResemblanceNonHier();
    EXPECT_EQ(Read("s1NRe.txt"), kLevel1);
    // Option 3 is computed too: cross products over the grand total 12.
    rese_opt = 3;
    ResemblanceNonHier();
    EXPECT_EQ(Read("s1NRe.txt"), "0.416667\n0.25\n0.25\n0.0833333\n0.25\n0.166667\n0.166667\n0.25\n0.166667\n0.25\n");
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "Nominal resemblances (Option 3):\n0.416667\t\n"), 1);
    // The types of level 2 (rows of the file) over the communities: (2 2 1 1), (0 0 1 1), (1 1 1 1).
    Prepare(8);
    whichLevelCst = 2, reseCstOpt = 8, printReseFree = 'y';
    ResemblanceCst();
    EXPECT_EQ(Read("s1CRe.txt"), "0\n4\n2\n0\n2\n0\n");
    EXPECT_EQ((tnxtest::Ints{rcst[0], rcst[1]}), (tnxtest::Ints{4, 3}));
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "RESEMBLANCE OF PFTs\n"), 1);
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "hierarchy (upper half, free format, no diagonal):\n4\t2\t2\t\n"), 1);
    whichLevelCst = 0;
    EXPECT_EQ(CodeOf([] { ResemblanceCst(); }), 2) << "levels are counted from 1";
}

class EnvResemblance : public tnxtest::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        tnxtest::LoadFiveOtus();  // E: c1 (1, 4), c2 (2, 3), c3 (3, 2), c4 (4, 1)
        std::snprintf(whichEnvPrinda, sizeof whichEnvPrinda, "s1Prinda.txt");
        std::snprintf(whichEnvRese, sizeof whichEnvRese, "s1ERe.txt");
        std::snprintf(prindaMode, sizeof prindaMode, "w");
        rese = dim3Double(1, 4, 4);
    }
    void TearDown() override {
        free3D(rese, 1, 4);
        rese = nullptr;
        envVecTrOpt = printNRese = printReseFree = 0;
        TempDirTest::TearDown();
    }
};

TEST_F(EnvResemblance, TransformationsOfACopyAndBothCoefficients) {
    const struct {
        int varType, transform;
        const char* stored;  // the first row of the upper triangle
    } cases[] = {
        {1, 0, "0\n1.41421\n2.82843\n4.24264\n"},  // Euclidean: sqrt 2, sqrt 8, sqrt 18
        {2, 2, "0\n1.41421\n2.82843\n4.24264\n"},  // centred columns: the same distances
        {1, 3, "0\n0.341345\n"},                   // unit rows (1, 4)/sqrt 17, (2, 3)/sqrt 13
        {3, 0, "0\n0.333333\n0.666667\n1\n"},      // 1 - Gower, ranges 3
    };
    for (const auto& c : cases) {
        optEnvVarType = c.varType, envVecTrOpt = c.transform;
        EnvRese();
        EXPECT_EQ(Read("s1ERe.txt").substr(0, std::string(c.stored).size()), c.stored) << c.transform;
        EXPECT_EQ(Count(Read("s1Prinda.txt"), c.varType == 3 ? "Resemblance option: 1 - Gower index\n"
                                                             : "Resemblance option: Euclidean distances\n"),
                  1);
    }
    EXPECT_EQ((Doubles{rese[0][3][0], rese[0][0][3]}), (Doubles{1, 1})) << "the full square";
    EXPECT_EQ((tnxtest::Floats{env[0][0], env[0][1]}), (tnxtest::Floats{1, 4})) << "E is not changed";
    optEnvVarType = 1, envVecTrOpt = 3, printNRese = printReseFree = 'y';
    EnvRese();
    EXPECT_NEAR(rese[0][0][3], std::sqrt(18.0 / 17), 1e-6);  // c4 (4, 1)/sqrt 17
    const std::string r = Read("s1Prinda.txt");
    EXPECT_EQ(Count(r, "EXPLORATION OF ENVIRONMENTAL DATA STRUCTURE\n"), 1);
    EXPECT_EQ(Count(r, "Vector transformation: 3 (normalization within communities)\n"), 1);
    EXPECT_EQ(Count(r, "\nResemblance matrix (upper half, free format, no diagonal):\n"), 1);
    std::snprintf(whichEnvRese, sizeof whichEnvRese, "no-such-dir/s1ERe.txt");
    testing::internal::CaptureStderr();
    EXPECT_EQ(CodeOf([] { EnvRese(); }), 4);
    testing::internal::GetCapturedStderr();
}

}  // namespace
