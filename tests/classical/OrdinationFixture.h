// Support of the structure tests: the series data set with e2 = 2 7 1 8, the stored community
// resemblances of four points (r/structures.R) and the values of a report line.
#ifndef TARNEX_TESTS_CLASSICAL_ORDINATION_FIXTURE_H
#define TARNEX_TESTS_CLASSICAL_ORDINATION_FIXTURE_H

#include "series_fixture.h"
#include "traits/TNXWHOLE.h"

namespace tnxtest {

using Matrix = std::vector<std::vector<double>>;

// Squared Euclidean distances of the points (0,0,0), (3,0,1), (0,4,2), (5,5,0).
const Matrix kSquared = {{0, 10, 20, 50}, {10, 0, 26, 30}, {20, 26, 0, 30}, {50, 30, 30, 0}};

// Their cmdscale scores, community by axis.
const Matrix kPoints = {{-2.97612615198044805, 0.163429541457618, 0.860792607122647},
                        {-1.09199585809318145, 2.061257960566548, -0.826898219799984},
                        {0.00644600782720907, -2.903221751518362, -0.443014571423718},
                        {4.06167600224642111, 0.678534249494197, 0.409120184101057}};

inline Matrix Roots(Matrix m) {
    for (auto& row : m)
        for (double& v : row) v = std::sqrt(v);
    return m;
}

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class StructureTest : public SeriesTest {
protected:
    void SetUp() override {
        SeriesTest::SetUp();
        const float e2[4] = {2, 7, 1, 8};
        for (int c = 0; c < 4; c++) env[c][1] = e2[c];
        optEnvVarType = 2, maxComponents = 6, sDigits = 12, saveStruct = 'n';
        temEnvQual = hasVegOrdiCorrel = 0, printOrdScores = printOrdCorrelations = 'n';
        reseTypeOrd = reseTypeClus = reseTypeEv = reseTypeERank = 1;
        for (auto n : {std::make_pair(whichScores, "s1Sco.txt"), {whichEnvPrinda, "s1Prinda.txt"},
                       {whichEnvScores, "s1ESc.txt"}, {whichAOCScor, "s1.AOC"}, {whichReClus, "s1.RCl"},
                       {whichCstClus, "s1.CCl"}})
            std::strcpy(n.first, n.second);
    }
    void TearDown() override {
        Store(0, {});
        SeriesTest::TearDown();
    }
    // `levels` stored matrices, each m (a square of at most ncsm + 1 rows) in full.
    void Store(int levels, const Matrix& m) {
        free3D(rese, stored_, ncsm + 1);
        nlev = stored_ = levels;
        rese = levels > 0 ? dim3Double(levels, ncsm + 1, ncsm + 1) : nullptr;
        for (int l = 0; l < levels; l++)
            for (size_t i = 0; i < m.size(); i++)
                for (size_t j = 0; j < m.size(); j++) rese[l][i][j] = m[i][j];
    }
    int stored_ = 0;
};

// The numbers of the first line of `text` that starts with `title`, after the title.
inline std::vector<double> LineValues(const std::string& text, const std::string& title) {
    for (const std::string& line : Lines(text))
        if (line.rfind(title, 0) == 0) return Numbers(line.substr(title.size()));
    ADD_FAILURE() << "no line " << title;
    return {};
}

}  // namespace tnxtest

#endif
