// The report layouts of the trait-subset searches: each criterion's header lines in order, the
// intermediate lines, the per-size lines and lists with "none", the top lists, the summary
// block of the niche criteria, and equal values kept in the order enumerated.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "statistics/StatTestUtil.h"
#include "traits/ChRankData.h"
#include "traits/TNXCHORD.h"
#include "traits/TNXCHORDCommon.h"
#include "traits/TNXCHORDReport.h"

namespace {

using namespace chranktest;

// Checks that every fragment occurs, each after the previous one.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& fragments) {
    size_t at = 0;
    for (const std::string& f : fragments) {
        const size_t p = text.find(f, at);
        ASSERT_NE(p, std::string::npos) << "missing or out of order: [" << f << "]";
        at = p + f.size();
    }
}

const std::string kPartition = "Partition of OTUs into types specified by the user:\n1\t2\t3\t1\t2\t3\t1\t\n";

// The name of a case in the test list: its criterion, the same in every build.
template <class C>
std::string CriterionName(const ::testing::TestParamInfo<C>& info) {
    return "Criterion" + std::to_string(info.param.criterion);
}

struct HeaderCase {
    int criterion;
    std::vector<std::string> fragments;
    std::string intermediate;  // how each intermediate line starts
    int intermediateLines;
};

class ChRankHeader : public tnxtest::TempDirTest, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(ChRankHeader, LinesInOrderWithTheIntermediatePrintout) {
    const HeaderCase hc = GetParam();
    const Survey sv = RandomSurvey(140 + hc.criterion, 3, 7, 6, 2, true);
    LoadSurvey(sv, hc.criterion, {1, 2, 3, 1, 2, 3, 1});
    printRankIntermedResults = 'y';
    ASSERT_EQ(RunCriterion(hc.criterion), kChRankDone);
    const std::string text = Read("s1ChRank.txt");
    std::vector<std::string> all = {std::string(version) + "\n\n" + lineL + "\nTRAIT SUBSET OPTIMIZATION\n" + lineL +
                                    "\n",
                                    "Session:        s1 \nFormatted data: s1Formda.txt \n"};
    all.insert(all.end(), hc.fragments.begin(), hc.fragments.end());
    ExpectInOrder(text, all);
    if (!hc.intermediate.empty()) {
        EXPECT_EQ(tnxtest::Count(text, "\n" + hc.intermediate), hc.intermediateLines);
    }
    // The whole trait set appears in its intermediate line, its per-size line, the per-size
    // list (or the first top list of the niche criteria) and, when its value is ranked, the top list.
    const int whole = tnxtest::Count(text, "\tt1\tt2\tt3\t");
    EXPECT_GE(whole, 3);
    EXPECT_LE(whole, 4);
    EXPECT_EQ(tnxtest::Count(text, "Elapsed time: "), 1);
    if (hc.criterion == 14) {
        // The products of each intermediate line are those of its printed correlations.
        size_t at = 0;
        int lines = 0;
        while ((at = text.find("\nro(PT)=\t", at)) != std::string::npos) {
            auto field = [&](const std::string& name) {
                // The first field of that name from the line's start (roBetaNiche stands before
                // roAlphaBetaNiche, which contains its name).
                const size_t p = text.find(name + "=\t", at);
                return std::atof(text.c_str() + p + name.size() + 2);
            };
            EXPECT_NEAR(field("roBetaNiche"), field("ro(PT)") * field("ro(TE)"), 1e-5);
            EXPECT_NEAR(field("roAlphaBetaNiche"), field("ro(PX)") * field("ro(XE)"), 1e-5);
            EXPECT_NEAR(field("roAlphaNiche"), field("ro(XE.T)") * field("ro(PX.T)"), 1e-5);
            at++;
            lines++;
        }
        EXPECT_EQ(lines, 7);
    }
}

// Lines several headers share.
const std::string kUnitLines =
    "Community data matrix W adjusted to unit totals prior to trait convergence evaluation.\n"
    "Community data matrix W NOT adjusted to unit totals prior to evaluation.\n";
const std::string kTypes = "Trait-based approach: 1 (composition of types)\n" + kUnitLines;
const std::string kMantel = "Correlation measure: matrix correlation (Mantel)\nPooling of OTUs: 2 (polythetic)\n" + kPartition;
const std::string kGower = "Resemblance function between OTUs: 1 (Gower index)\n";
const std::string kRanking = "Ranking algorithm: 2 (all trait combinations)\n";
const std::string kFuzzyEuclid = "Fuzzy transformation: fuzzy (fuzzy belonging of OTUs to types)\n"
                                 "Resemblance option between communities: 6 (Euclidean distance)\n";
const std::string kPerSize = "\n\nTrait subsets with maximum rank for each number of traits:\nTRC         \tSubset of traits\n";

INSTANTIATE_TEST_SUITE_P(
    Criteria, ChRankHeader,
    ::testing::Values(
        HeaderCase{1,
                   {"Trait ranking criterion (TRC): 1 (both trait-divergence and trait-convergence assembly "
                    "patterns)\n" + kMantel + "Gower similarity index modified to count matching absences in binary "
                    "traits? not\n" + kRanking + kFuzzyEuclid + "All traits were considered.\n\nTRC         \tTrait "
                    "subset used:\n",
                    "Ranking criterion value and optimal subset with 1 traits: \t",
                    "\n\nTrait subsets with maximum rank:\nTRC         \tSubset of traits\n", kPerSize, "\nElapsed time: "},
                   "", 0},
        HeaderCase{9,
                   {kTypes + "Trait ranking criterion (TRC): 9 (Trait-divergence assembly patterns, TDAP)\n" + kMantel +
                        kGower + "Gower similarity modified to count matching absences in binary traits? not\n" +
                        kRanking + "All traits were considered.\n" + kFuzzyEuclid +
                        "\nTRC         \tTrait subset used:\nro(TE)=\t",
                    "\tro(XE)=\t", "\tro(XT)=\t", "\tro(XE.T)=\t", "\tTraits:\tt1\t\n",
                    "\n\nTrait subsets with maximum partial Mantel correlation ro(XE.T):\nTRC\toptimal subset of traits\n"},
                   "ro(TE)=\t", 7},
        HeaderCase{11,
                   {kTypes + "Trait ranking criterion (TRC): 11 (correlation of phylogenetically structured assembly "
                             "patterns, PSAP to both trait-divergence and trait-convergence assembly patterns, TDAP and "
                             "TCAP)\n" + kMantel + kGower +
                        "Gower index modified to count matching absences in binary traits? not\n" + kRanking +
                        kFuzzyEuclid + "\nTRC         \tTrait subset used:\nro(PT)=\t",
                    "\n\nTrait subsets with maximum matrix correlation:\nTRC\toptimal subset of traits\n", kPerSize,
                    "\nElapsed time: "},
                   "ro(PT)=\t", 7},
        HeaderCase{14,
                   {kTypes + "Trait ranking criterion (TRC): 14 (beta niche conservation: ro(PT) * ro(TE))\n"
                             "Pooling of OTUs: 2 (polythetic)\n"
                             "Clustering method defining types: none (groups were specified by the user).\n"
                             "1\t2\t3\t1\t2\t3\t1\t\n" + kGower +
                        "Gower index modified to count matching absences in binary traits? not\n" + kRanking +
                        "All traits were considered in the computation of Gower similarity index between "
                        "populations.\n" + kFuzzyEuclid + "\nTRC         \tGroups\tTrait subset used:\nro(PT)=\t",
                    "\troAlphaNiche=\t", "\t3 groups\tTraits:\tt1\tGroup sizes:\t3\t2\t2\t\n",
                    "Ranking criterion values, groups and optimal subset with 1 traits: \t",
                    "\n\nTrait subsets and number of types with maximum matrix correlation:\nTRC\tn groups\toptimal "
                    "subset of traits\n",
                    "\n\nTrait subsets with maximum matrix correlation (only optimal number of types presented):\nTRC\tn "
                    "groups\toptimal subset of traits\n",
                    "\nElapsed time: "},
                   "ro(PT)=\t", 7},
        HeaderCase{17,
                   {kTypes + "Trait ranking criterion (TRC): 17 (beta divergence: ro(XE.TR))\tmatrix correlation "
                             "(Mantel)\n" + kMantel + kGower +
                        "Gower similarity modified to count matching absences in binary traits? not\n"
                        "Rao entropy based on traits computed on square root transformed dissimilarities? not\n" +
                        kRanking + kFuzzyEuclid + "\nTRC         \tGroups\tTrait subset used:\nr(XE.TR)=\t",
                    kPerSize},
                   "r(XE.TR)=\t", 7}),
    CriterionName<HeaderCase>);

// The per-size pieces and the top list, from records filled by hand.
class ChRankReportPieces : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = chLabel;
        savedDigits_ = sDigits;
        labels_ = reinterpret_cast<char**>(dim2D(sizeof(char), 3, 8));
        std::snprintf(labels_[0], 8, "ab");
        std::snprintf(labels_[1], 8, "c");
        std::snprintf(labels_[2], 8, "long1");
        chLabel = labels_;
        sDigits = 4;
    }
    void TearDown() override {
        chLabel = saved_;
        sDigits = savedDigits_;
        free2D(labels_, 3);
    }
    template <class F>
    static std::string Printed(F print) {
        FILE* f = std::tmpfile();
        print(f);
        const std::string s = ReadBack(f);
        std::fclose(f);
        return s;
    }
    char** saved_ = nullptr;
    char** labels_ = nullptr;
    int savedDigits_ = 6;
};

TEST_F(ChRankReportPieces, SizeLinesWithValuesGroupsLabelsAndNone) {
    chrank::SizeRecord filled;
    filled.filled = true;
    filled.best.value = -0.123456;
    filled.best.groups = 3;
    filled.best.traits = {0, 2};
    chrank::SizeRecord zero;
    zero.filled = true;
    zero.best.value = 0.0;
    chrank::SizeRecord empty;
    const chrank::SizeStyle plain = {"Value with %d traits: \t", false, false};
    const chrank::SizeStyle grouped = {"Value with %d traits: \t", true, true};
    EXPECT_EQ(Printed([&](FILE* f) { chrank::WriteSizeLine(f, plain, 2, filled); }),
              "Value with 2 traits: \t-0.1235   \tab\tlong1\t\n");
    EXPECT_EQ(Printed([&](FILE* f) { chrank::WriteSizeLine(f, grouped, 2, filled); }),
              "Value with 2 traits: \t-0.1235   \t3 groups\tab\tlong1\t\n");
    // A magnitude criterion whose best is exactly 0, and a size never evaluated.
    EXPECT_EQ(Printed([&](FILE* f) { chrank::WriteSizeLine(f, grouped, 1, zero); }),
              "Value with 1 traits: \t0         \t0 groups\tnone\n");
    EXPECT_EQ(Printed([&](FILE* f) { chrank::WriteSizeLine(f, plain, 3, empty); }), "Value with 3 traits: \tnone\n");
    std::vector<chrank::SizeRecord> sizes = {empty, zero, filled, empty};
    EXPECT_EQ(Printed([&](FILE* f) { chrank::WriteSizeList(f, grouped, sizes, 1, 3); }),
              "0            \tnone\n-0.1235      \tab\tlong1\t\nnone\n");
    EXPECT_EQ(Printed([&](FILE* f) { chrank::WriteSizeList(f, plain, sizes, 1, 1); }), "0            \t\n");
}

TEST_F(ChRankReportPieces, TopListBestFirstSkippingOrShowingEmptySlots) {
    chrank::TopList top(100, 0.0, chrank::Rank::kSigned, false);
    const int a[] = {1}, b[] = {0, 1};
    top.Offer(0.25, 2, a, 1);
    top.Offer(0.75, 4, b, 2);
    EXPECT_EQ(Printed([&](FILE* f) { chrank::WriteTopList(f, top, false, true); }),
              "0.75      \tab\tc \t\n0.25      \tc \t\n");
    const std::string shown = Printed([&](FILE* f) { chrank::WriteTopList(f, top, true, false); });
    EXPECT_EQ(shown.rfind("0.75      \t4 groups\tab\tc \t\n0.25      \t2 groups\tc \t\n0         \t0 groups\t\n", 0), 0u);
    EXPECT_EQ(tnxtest::Count(shown, "\n"), 100);
}

class ChRankTies : public tnxtest::TempDirTest {};
using ChRankLayout = tnxtest::TempDirTest;

// Criterion 10 over sizes 2 and 3 of 3 traits, with the intermediate lines, line by line: the
// header; every subset once, in enumeration order, with its r(TE) (DT formed as the search does,
// from float means); the per-size line after the last subset of each size; the top list best
// first, holding the positive values only; then the per-size list.
TEST_F(ChRankLayout, TraitConvergenceFileLineByLine) {
    LoadSurvey(RandomSurvey(5, 3, 7, 6, 2), 10, {});
    printRankIntermedResults = 'y';
    nMinTraitsChRank = 2;
    ASSERT_EQ(ChRankTCAP(), kChRankDone);
    const std::string text = Read("s1ChRank.txt");
    const std::string head = std::string(version) + "\n\n" + lineL + "\nTRAIT SUBSET OPTIMIZATION\n" + lineL + "\n";
    ASSERT_EQ(text.compare(0, head.size(), head), 0);
    auto line = [](const char* format, double v, const std::vector<int>& s) {
        char buf[64];
        std::snprintf(buf, sizeof buf, format, v);
        std::string l = buf;
        for (int t : s) l += "t" + std::to_string(t + 1) + "\t";
        return l + "\n";
    };
    std::string expected =
        "Session:        s1 \nFormatted data: s1Formda.txt \n"
        "\nTrait-based approach: 2 (trait averages at community level)\n"
        "Trait ranking criterion (TRC): 10 (Trait-convergence assembly patterns, TCAP)\n"
        "Correlation measure: matrix correlation (Mantel)\nRanking algorithm: 2 (all trait combinations)\n"
        "All traits were considered.\nResemblance option between communities: 6 (Euclidean distance)\n";
    double** DE = RawEnvironmentDistance();
    const std::vector<std::vector<int>> order = {{0, 1}, {0, 2}, {1, 2}, {0, 1, 2}};
    std::vector<double> values;
    for (size_t i = 0; i < order.size(); i++) {
        double** DT = TraitDistanceFloat(order[i]);
        values.push_back(MatrixCorr(ncsm, DE, DT));
        free2D(DT, ncsm);
        expected += line("%g\t", values[i], order[i]);
        if (i >= 2) {
            const size_t b = i == 2 ? 0 : 3;
            const size_t best = std::max_element(values.begin() + b, values.end()) - values.begin();
            expected += "Ranking criterion value and optimal subset with " + std::to_string(order[i].size()) +
                        " traits: \t" + line("%-12.6g\t", values[best], order[best]);
        }
    }
    free2D(DE, ncsm);
    expected += "\n\nTrait subsets with maximum rank:\nTRC         \tSubset of traits\n";
    std::vector<size_t> idx = {0, 1, 2, 3};
    std::sort(idx.begin(), idx.end(), [&](size_t a, size_t b) { return values[a] > values[b]; });
    for (size_t i : idx)
        if (values[i] > 0.0) expected += line("%-12.6g\t", values[i], order[i]);
    expected += "\n\nTrait subsets with maximum rank for each number of traits:\nTRC         \tSubset of traits\n";
    // The data give both signs.
    ASSERT_GT(*std::max_element(values.begin(), values.end()), 0.0);
    ASSERT_LT(*std::min_element(values.begin(), values.end()), 0.0);
    const std::string rest = text.substr(text.find('\n', head.size()) + 1);
    EXPECT_EQ(rest.substr(0, expected.size()), expected);
    EXPECT_EQ(tnxtest::Count(rest, "\nElapsed time: "), 1);
}

// Crisp types: X does not depend on the subset, so every subset of criterion 1 has the same
// value; each size keeps its first subset and the top list holds every subset (the value is
// positive), whatever their order.
TEST_F(ChRankTies, CrispTypesGiveEqualValuesAndEachSizeKeepsItsFirstSubset) {
    const Survey sv = RandomSurvey(150, 4, 8, 7, 2);
    LoadSurvey(sv, 1, {1, 2, 1, 2, 3, 3, 1, 2});
    fuzzy = 0;
    ASSERT_EQ(ChRankTDAP_TCAP(), kChRankDone);
    const std::string text = Read("s1ChRank.txt");
    double** DE = RawEnvironmentDistance();
    // X = W C, the crisp composition, gives the one value.
    double** C = dim2Double(tcst, 3);
    CrispBelonging(tcst, 3, partition_OTUs, C);
    double** W = CommunitiesByOtus();
    double** X = dim2Double(ncsm, 3);
    MatrixProdMV(ncsm, tcst, tcst, 3, W, C, X);
    double** DX = dim2Double(ncsm, ncsm);
    NominalReseNonHier(ncsm, 3, X, DX, 6);
    const double value = MatrixCorr(ncsm, DE, DX);
    for (int k = 1; k <= 4; k++) {
        SizeLine line =
            ReadSizeLine(text, "Ranking criterion value and optimal subset with " + std::to_string(k) + " traits: \t");
        ASSERT_TRUE(line.found);
        EXPECT_NEAR(std::atof(line.value.c_str()), value, 1e-6);
        std::vector<int> first;
        for (int t = 0; t < k; t++) first.push_back(t);
        EXPECT_EQ(line.labels, Labels(first));
    }
    if (value > 0.0) {
        // The top list holds all 15 subsets once each.
        const size_t b = text.find("\n\nTrait subsets with maximum rank:\n");
        const size_t e = text.find("\n\nTrait subsets with maximum rank for each number of traits:");
        const std::string list = text.substr(b, e - b);
        EXPECT_EQ(tnxtest::Count(list, "\n"), 2 + 15);
        for (const auto& s : AllSubsets(4)) {
            std::string labels;
            for (int t : s) labels += "t" + std::to_string(t + 1) + "\t";
            EXPECT_NE(list.find("\t" + labels + "\n"), std::string::npos) << labels;
        }
    }
    free2D(DX, ncsm);
    free2D(X, ncsm);
    free2D(W, ncsm);
    free2D(C, tcst);
    free2D(DE, ncsm);
}

}  // namespace

namespace {

// Saving the structures changes nothing in the result file; the structure file (written only
// when asked for, under its own name) holds one ranking line per evaluated subset (7 subsets of
// 3 traits) and, under Mantel, the residuals of DX on DT after each (and those of DP through the
// phylogeny); none for r(XE), r(TE), r(RE) and r(SE), which remove nothing.
struct StructureCase {
    int criterion;
    const char* file;
    const char* rankingLine;
    std::string start;  // how the file starts, when checked
    int xBlocks = -1;   // blocks of DX, when checked: only where the criterion uses X
};

class ChRankStructures : public tnxtest::TempDirTest, public ::testing::WithParamInterface<StructureCase> {};
using ChRankStructuresOfWeights = tnxtest::TempDirTest;

TEST_P(ChRankStructures, OneBlockPerSubsetAndTheResultsUnchanged) {
    const StructureCase sc = GetParam();
    const Survey sv = RandomSurvey(160 + sc.criterion, 3, 7, 6, 2, true);
    LoadSurvey(sv, sc.criterion, {1, 2, 3, 4, 5, 6, 7});
    ASSERT_EQ(RunCriterion(sc.criterion), kChRankDone);
    EXPECT_FALSE(std::filesystem::exists(sc.file));
    const std::string plain = Read("s1ChRank.txt");
    saveStruct = 'y';
    ASSERT_EQ(RunCriterion(sc.criterion), kChRankDone);
    EXPECT_EQ(ResultBody(plain), ResultBody(Read("s1ChRank.txt")));
    const std::string structure = Read(sc.file);
    EXPECT_EQ(std::filesystem::exists("s1Str.txt"), std::string(sc.file) == "s1Str.txt");
    EXPECT_EQ(structure.rfind(sc.start, 0), 0u);
    EXPECT_EQ(tnxtest::Count(structure, sc.rankingLine), 7) << structure.substr(0, 400);
    const int c = sc.criterion;
    const int perSubset = c == 1 || c == 10 || c == 16 || c == 24 ? 0 : c >= 11 && c <= 15 ? 2 : 1;
    EXPECT_EQ(tnxtest::Count(structure, "(residuals after removing the effect of DT):\n"), 7 * perSubset);
    if (c >= 11 && c <= 15) {
        // The phylogenetic block under every criterion of the phylogeny, with its heading as printed.
        EXPECT_EQ(tnxtest::Count(structure, "\nResemblance matrix between communities based lon phylogeny (residuals "
                                            "after removing the effect of DT):\n"), 7);
        EXPECT_EQ(tnxtest::Count(structure, "\nResemblance matrix between communities based on traits (residuals "
                                            "after removing the effect of DT):\n"), 7);
    }
    if (sc.xBlocks >= 0) {
        EXPECT_EQ(tnxtest::Count(structure, "based on composition of types (matrix X):\n"), sc.xBlocks);
    }
}

TEST_F(ChRankStructuresOfWeights, TraitsOfWeightZeroPrintAsZeroInTheTraitMatrix) {
    const Survey sv = RandomSurvey(170, 3, 5, 6, 2);
    LoadSurvey(sv, 10, {});
    weight[1] = 0.0f;
    saveStruct = 'y';
    ASSERT_EQ(ChRankTCAP(), kChRankDone);
    const std::string structure = Read("s1Str.txt");
    const std::string heading = "\nTrait matrix with 5 populations by 3 traits: \n";
    const size_t b = structure.find(heading);
    ASSERT_NE(b, std::string::npos);
    std::istringstream rows(structure.substr(b + heading.size()));
    for (int i = 0; i < 5; i++) {
        double a, z, c;
        rows >> a >> z >> c;
        EXPECT_EQ(z, 0.0) << i;
        EXPECT_NEAR(a, csm_Float[i][0], 1e-4);
        EXPECT_NEAR(c, csm_Float[i][2], 1e-4);
    }
    // Only the subsets of the two selected traits are evaluated.
    EXPECT_EQ(tnxtest::Count(structure, "\nTrait ranking criterion ro(TE)=\t"), 3);
}

// Under Procrustes (and RV) r(XE) needs no DX; the structure file still prints the subset's DX:
// that of its X from scratch, the lower half with the diagonal, for the first subset {t1}.
TEST_F(ChRankStructuresOfWeights, CompositionResemblanceIsPrintedUnderProcrustesToo) {
    const Survey sv = RandomSurvey(171, 3, 7, 5, 2);
    LoadSurvey(sv, 1, {1, 2, 3, 1, 2, 3, 1});
    opt_ro = 2, saveStruct = 'y';
    ASSERT_EQ(ChRankTDAP_TCAP(), kChRankDone);
    const std::string structure = Read("s1Str.txt");
    const std::string heading = "Resemblance matrix between relevés:\n";
    const size_t b = structure.find(heading);
    ASSERT_NE(b, std::string::npos);
    double** DX = CompositionDistance({0}, 3);
    std::istringstream cells(structure.substr(b + heading.size()));
    for (int i = 0; i < ncsm; i++)
        for (int j = 0; j <= i; j++) {
            double v = -1.0;
            cells >> v;
            EXPECT_NEAR(v, DX[j][i], 1e-5 * (1.0 + std::fabs(DX[j][i]))) << i << " " << j;
        }
    EXPECT_GT(DX[0][1], 0.0);
    free2D(DX, ncsm);
}

// Group sizes and type averages by hand: OTUs 1 and 2 in type 1, OTU 3 in type 2, whose second
// trait is missing, so that average is missing too (never 0/0).
TEST(ChRankTypeSummary, AveragesSkipMissingValuesAndAnEmptyAverageIsMissing) {
    float rows[3][2] = {{1, 4}, {3, -999}, {10, -999}};
    float* b[3] = {rows[0], rows[1], rows[2]};
    double crows[3][2] = {{1, 0}, {1, 0}, {0, 1}};
    double* C[3] = {crows[0], crows[1], crows[2]};
    float** saved = csm_Float;
    const int digits = sDigits;
    csm_Float = b, sDigits = 6;
    FILE* f = std::tmpfile();
    chrank::WriteTypeSummary(f, 3, 2, 2, C);
    csm_Float = saved, sDigits = digits;
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    std::fclose(f);
    ExpectInOrder(text, {"\nGroup sizes:\n2\t1\t\n", "\nAverage trait matrix (2 types x 2 traits):\n", "2", "4",
                         "10", "-999"});
    EXPECT_EQ(text.find("nan"), std::string::npos) << text;
    // The matrix itself, type by type: (1 + 3) / 2 and 4 (the -999 left out); 10 and no value.
    const std::string title = "\nAverage trait matrix (2 types x 2 traits):\n";
    std::istringstream matrix(text.substr(text.find(title) + title.size()));
    std::vector<double> cells(4);
    for (double& v : cells) matrix >> v;
    EXPECT_EQ(cells, (std::vector<double>{2, 4, 10, -999})) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, ChRankStructures,
    ::testing::Values(
        StructureCase{1, "s1Str.txt", "\nTrait ranking criterion:\t",
                      "Resemblance matrix between 6 relevés based on 2 environmental variables:\n"},
        StructureCase{10, "s1Str.txt", "\nTrait ranking criterion ro(TE)=\t", ""},
        StructureCase{9, "s1Str.txt", "\nTrait ranking criterion:\tro(TE)=\t", ""},
        StructureCase{13, "IntermediateRankResults.txt", "\nTrait ranking criterion:\tro(PT)=\t",
                      "\nSimilarity matrix between 7 OTUs:\n"},
        StructureCase{15, "s1Str.txt", "\nTrait ranking criterion:\tro(PT)=\t", ""},
        StructureCase{16, "s1Str.txt", "\nTrait ranking criterion:\tro(TE)=\t", "", 0},
        StructureCase{20, "s1Str.txt", "\nTrait ranking criterion:\tro(TE)=\t", "", 7},
        StructureCase{24, "s1Str.txt", "\nTrait ranking criterion:\tro(TE)=\t", "", 0}),
    CriterionName<StructureCase>);

}  // namespace

namespace {

// The value of the best subset of size k ("optimal subset with k traits: \t" and the number).
double SizeValue(const std::string& text, int k) {
    const std::string key = "optimal subset with " + std::to_string(k) + " traits: \t";
    const size_t at = text.find(key);
    return at == std::string::npos ? NAN : std::atof(text.c_str() + at + key.size());
}

// Too few communities or an environment without variation leave a criterion undefined for the
// whole run (the subset changes neither). Every Mantel value of 2 communities takes its single
// pair's congruence; a first-order partial needs 3 communities (3 pairs), a second-order one 4 (6
// pairs): ro(XE.T) (9), ro(PX.T) (12), r(XZ.T) (20) and r(XY.T) (23) need 3, r(XE.TR) (17) 4. The
// criteria that follow E, 1, 9, 10, 14 (ro(PT) ro(TE)), 15 (ro(PX) ro(XE)), 16, 17 and 24, are
// undefined with the same variables in every community. An undefined value is written -999: in the
// intermediate lines and for each size, with no subset (the top list takes none); the others are
// values of a correlation (or of a product of two). In the survey of 3 communities every OTU occurs in
// every community: each Beals probability Y is 1, Y has no variation and DY is 0, so r(XY) (21),
// r(TY) (22) and r(XY.T) (23) compare a flat resemblance and are -999 as well.
TEST_F(ChRankTies, TooFewCommunitiesOrAFlatEnvironmentWriteTheMissingValue) {
    struct Run {
        int n;
        bool flat;
        std::vector<int> undefined;  // the criteria whose value is -999
    };
    const Run runs[] = {
        {2, false, {9, 12, 17, 20, 23}},
        {3, false, {17, 21, 22, 23}},
        {4, false, {}},
        {4, true, {1, 9, 10, 14, 15, 16, 17, 24}},
    };
    for (const Run& run : runs)
        for (int criterion : {1, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}) {
            SCOPED_TRACE(testing::Message() << run.n << " communities, flat " << run.flat << ", criterion "
                                            << criterion);
            Survey sv = RandomSurvey(170 + run.n, 2, 5, run.n, 2, true);
            if (run.flat)
                for (auto& row : sv.E) std::fill(row.begin(), row.end(), 5.0f);
            LoadSurvey(sv, criterion, {1, 2, 3, 4, 5});  // each OTU its own type (dark diversity)
            printRankIntermedResults = 'y';
            ASSERT_EQ(RunCriterion(criterion), kChRankDone);
            const std::string text = Read("s1ChRank.txt");
            const bool undefined =
                std::find(run.undefined.begin(), run.undefined.end(), criterion) != run.undefined.end();
            for (int k = 1; k <= 2; k++) {
                const double v = SizeValue(text, k);
                if (undefined) {
                    EXPECT_EQ(v, -999.0) << k;
                } else {
                    EXPECT_TRUE(std::fabs(v) <= 1.0) << k << ": " << v;
                }
            }
            // The subsets t1, t2 and {t1, t2}: each intermediate line holds the value (criteria 1 and
            // 10 first on the line, as "%-12g" and "%g").
            if (undefined && (criterion == 1 || criterion == 10)) {
                EXPECT_EQ(tnxtest::Count(text, criterion == 1 ? "\n-999        \t" : "\n-999\t"), 3);
            }
            if (undefined && (criterion == 9 || criterion == 12)) {
                EXPECT_EQ(tnxtest::Count(text, "=\t-999\tTraits:\t"), 3);
            }
            if (undefined && criterion >= 16) {
                EXPECT_EQ(tnxtest::Count(text, "=\t-999\tTraits:\t"), 3);
            }
            EXPECT_EQ(tnxtest::Count(text, "-999         \tnone\n"), undefined && criterion != 14 && criterion != 15 ? 2 : 0);
            EXPECT_EQ(tnxtest::Count(text, "nan"), 0);
            if (criterion != 14 && criterion != 15) continue;
            // The fifteen coefficients: the partials by their order, those on E when it is flat,
            // and the products of any of them.
            const bool two = run.n == 2, three = run.n == 3;
            EXPECT_EQ(tnxtest::Count(text, "\tro(PX.T)=\t-999\t"), two ? 3 : 0);
            EXPECT_EQ(tnxtest::Count(text, "\tro(XE.T)=\t-999\t"), two || run.flat ? 3 : 0);
            EXPECT_EQ(tnxtest::Count(text, "\tro(XE.PT)=\t-999\t"), two || three || run.flat ? 3 : 0);
            EXPECT_EQ(tnxtest::Count(text, "\troAlphaNiche=\t-999\t"), two || run.flat ? 3 : 0);
            EXPECT_EQ(tnxtest::Count(text, "\tro(TE)=\t-999\t"), run.flat ? 3 : 0);
            EXPECT_EQ(tnxtest::Count(text, "ro(PT)=\t-999\t") + tnxtest::Count(text, "\tro(PX)=\t-999\t"), 0);
        }
}

// Runs the criterion under the measure on a survey of 8 communities and 5 OTUs, each its own
// type (crisp: the types not fuzzy), whose second trait is the same (4.2) for every OTU
// (ulpApart: one ulp above it for the second and fourth), with W at unit totals and the
// intermediate lines; the result file ("" when the search did not run).
std::string RunWithAConstantTrait(int criterion, int measure, bool ulpApart = false, bool crisp = false) {
    Survey sv = RandomSurvey(58, 2, 5, 8, 2, true);
    for (int o = 0; o < sv.s; o++) sv.B[o][1] = ulpApart && o % 2 == 1 ? std::nextafter(4.2f, 5.0f) : 4.2f;
    LoadSurvey(sv, criterion, {1, 2, 3, 4, 5});
    if (crisp) fuzzy = 0;
    opt_ro = measure;
    optUnitTotalAdjust2 = true;
    printRankIntermedResults = 'y';
    return RunCriterion(criterion) == kChRankDone ? tnxtest::Slurp("s1ChRank.txt") : std::string();
}

// The second trait is the same for every OTU: the subset {t2} leaves T constant, the OTUs alike
// (X, their fuzzy composition over W at unit totals, the same in every community) and every Rao
// entropy 0. Under Procrustes and RV a value that compares one of these tables is not one the
// data define: -999 on its intermediate line, ranked nowhere (no other line names {t2} alone; the
// best of size 1 is {t1}). Dark diversity (24) compares the communities' distances from their
// types, which still vary: a value. With both traits every table varies.
TEST_F(ChRankTies, ASubsetWhoseTablesHaveNoVariationIsMissingAndRanksNowhere) {
    const std::vector<int> flat = {1, 9, 10, 11, 12, 13, 16, 17, 18, 19, 20, 21, 22, 23};
    for (int measure : {2, 3})
        for (int criterion : {1, 9, 10, 11, 12, 13, 16, 17, 18, 19, 20, 21, 22, 23, 24}) {
            SCOPED_TRACE(testing::Message() << "measure " << measure << ", criterion " << criterion);
            const std::string text = RunWithAConstantTrait(criterion, measure);
            ASSERT_FALSE(text.empty());
            const bool missing = std::find(flat.begin(), flat.end(), criterion) != flat.end();
            // The intermediate line of {t2}: the last line before it ends, and the text of its value.
            const size_t end = text.find("\tt2\t\n");
            ASSERT_NE(end, std::string::npos);
            const std::string line = text.substr(text.rfind('\n', end) + 1, end - text.rfind('\n', end));
            EXPECT_EQ(line.find("t1"), std::string::npos) << line;
            EXPECT_EQ(line.find("-999") != std::string::npos, missing) << line;
            // {t2} alone on no other line; {t1} the best of size 1 and {t1, t2} of size 2, each a value.
            EXPECT_EQ(tnxtest::Count(text, "\tt2\t\n") - tnxtest::Count(text, "\tt1\tt2\t\n"), missing ? 1 : 2);
            for (int k = 1; k <= 2; k++) {
                const double v = SizeValue(text, k);
                EXPECT_TRUE(v != -999.0 && std::fabs(v) <= 1.0) << k << ": " << v;
            }
            if (missing) {
                const size_t at = text.find("optimal subset with 1 traits: \t");
                EXPECT_NE(text.find("t1\t", at), std::string::npos);
                EXPECT_LT(text.find("t1\t", at), text.find("\n", at));
            }
        }
}

}  // namespace

namespace {

// The lines of a result file that name `trait` without `other` (the subset of that trait alone).
std::vector<std::string> LinesNamingAlone(const std::string& text, const std::string& trait, const std::string& other) {
    std::vector<std::string> found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.find("\t" + trait + "\t") != std::string::npos && line.find(other) == std::string::npos)
            found.push_back(line);
    return found;
}

// The same survey under Procrustes and RV: each partial of {t2} compares a table without variation
// (X, or T for ro(PX.T) of criteria 11 to 13, whose first table is P), and its own field on the
// intermediate line says -999, not the 0 of the congruence that found it flat.
TEST_F(ChRankTies, UnderProcrustesAndRVThePartialOfAFlatTableIsMissingOnItsLine) {
    const std::pair<int, const char*> cases[] = {{9, "\tro(XE.T)=\t-999\tTraits:\tt2\t"},
                                                 {12, "\tro(PX.T)=\t-999\tTraits:\tt2\t"},
                                                 {17, "r(XE.TR)=\t-999\tTraits:\tt2\t"},
                                                 {20, "r(XZ.T)=\t-999\tTraits:\tt2\t"},
                                                 {23, "r(XY.T)=\t-999\tTraits:\tt2\t"}};
    for (int measure : {2, 3})
        for (const auto& [criterion, field] : cases) {
            SCOPED_TRACE(testing::Message() << "measure " << measure << ", criterion " << criterion);
            const std::string text = RunWithAConstantTrait(criterion, measure);
            const std::vector<std::string> alone = LinesNamingAlone(text, "t2", "t1");
            ASSERT_EQ(alone.size(), 1u);
            EXPECT_NE(alone[0].find(field), std::string::npos) << alone[0];
        }
}

// The survey of the Procrustes case above under the matrix correlation: {t2} leaves T constant (its
// means exactly equal, DT 0), X the same in every community (DX of rounding noise) and every Rao
// entropy 0. A Mantel value whose first or second resemblance is flat, by its own cells or built
// from a table without variation, is not defined by the data: -999 on the intermediate line of
// {t2}, which is the only line that names it (the best of size 1 is {t1}). That is every criterion
// but dark diversity (24: the distances from the types vary); the niche criteria through their
// factors ro(PT) and ro(TE) (14), ro(PX) and ro(XE) (15). Beside the criterion's value, each printed
// value that compares DT or DX is -999 too, and a partial whose control alone is flat is the simple
// correlation: ro(PE.T) = ro(PE). With both traits every value is defined.
TEST_F(ChRankTies, UnderMantelASubsetOfFlatResemblancesIsMissingAndRanksNowhere) {
    struct Case {
        int criterion;
        std::string value;  // how the criterion's value of {t2} is printed on its intermediate line
    };
    const Case cases[] = {
        {1, "-999        \tt2\t"},       {9, "\tro(XE.T)=\t-999\t"},    {10, "-999\tt2\t"},
        {11, "\tro(PX)=\t-999\t"},       {12, "\tro(PX.T)=\t-999\t"},   {13, "ro(PT)=\t-999\t"},
        {14, "\troBetaNiche=\t-999\t"},  {15, "\troAlphaBetaNiche=\t-999\t"},
        {16, "r(RE)=\t-999\t"},           {17, "r(XE.TR)=\t-999\t"},      {18, "r(XZ)=\t-999\t"},
        {19, "r(TZ)=\t-999\t"},           {20, "r(XZ.T)=\t-999\t"},       {21, "r(XY)=\t-999\t"},
        {22, "r(TY)=\t-999\t"},           {23, "r(XY.T)=\t-999\t"},       {24, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "criterion " << c.criterion);
        const std::string text = RunWithAConstantTrait(c.criterion, 1);
        const std::vector<std::string> alone = LinesNamingAlone(text, "t2", "t1");
        ASSERT_FALSE(alone.empty());
        const std::string& line = alone[0];
        if (c.value.empty()) {
            EXPECT_EQ(line.find("-999"), std::string::npos) << line;
            EXPECT_GE(alone.size(), 2u);
        } else {
            EXPECT_NE(line.find(c.value), std::string::npos) << line;
            EXPECT_EQ(alone.size(), 1u) << alone.back();
            const size_t at = text.find("optimal subset with 1 traits: \t");
            ASSERT_NE(at, std::string::npos);
            EXPECT_NE(text.substr(at, text.find('\n', at) - at).find("\tt1\t"), std::string::npos);
        }
        for (int k = 1; k <= 2; k++) {
            const double v = SizeValue(text, k);
            EXPECT_TRUE(v != -999.0 && std::fabs(v) <= 1.0) << k << ": " << v;
        }
        if (c.criterion == 9) {
            EXPECT_EQ(line.rfind("ro(TE)=\t-999\tro(XE)=\t-999\tro(XT)=\t-999\tro(XE.T)=\t-999\t", 0), 0u) << line;
        }
        if (c.criterion == 14 || c.criterion == 15) {
            for (const char* name : {"ro(PT)", "ro(PX)", "ro(XT)", "ro(PX.T)", "ro(XE)", "ro(TE)", "ro(XE.T)",
                                     "ro(TE.P)", "ro(XE.P)", "ro(XE.PT)", "roBetaNiche", "roAlphaBetaNiche",
                                     "roAlphaNiche"})
                EXPECT_NE(line.find(std::string(name) + "=\t-999\t"), std::string::npos) << name;
            const double pe = std::atof(line.c_str() + line.find("ro(PE)=\t") + 8);
            EXPECT_TRUE(pe != 0.0 && std::fabs(pe) <= 1.0) << line;
            EXPECT_EQ(std::atof(line.c_str() + line.find("ro(PE.T)=\t") + 10), pe) << line;
        }
    }
}

// Three communities at equal distances (each its own unit variable, every distance sqrt 2): the
// distances have no variance, so the matrix correlation of anything with DE is not defined (-999
// for r(XE), 1, and r(TE), 10, each size, no subset); Procrustes and RV compare the configuration
// of E itself, which varies: values. A constant environment leaves all three undefined.
TEST_F(ChRankTies, CommunitiesAtEqualDistancesLeaveOnlyTheMatrixCorrelationUndefined) {
    for (bool constant : {false, true})
        for (int measure : {1, 2, 3})
            for (int criterion : {1, 10}) {
                SCOPED_TRACE(testing::Message() << (constant ? "constant" : "equal distances") << ", measure "
                                                << measure << ", criterion " << criterion);
                Survey sv = RandomSurvey(173, 2, 5, 3, 3);
                for (int c = 0; c < 3; c++)
                    for (int v = 0; v < 3; v++) sv.E[c][v] = constant ? 1.0f : (c == v ? 1.0f : 0.0f);
                LoadSurvey(sv, criterion, {1, 2, 3, 4, 5});
                opt_ro = measure;
                printRankIntermedResults = 'y';
                ASSERT_EQ(RunCriterion(criterion), kChRankDone);
                const std::string text = Read("s1ChRank.txt");
                const bool undefined = constant || measure == 1;
                for (int k = 1; k <= 2; k++) {
                    const double v = SizeValue(text, k);
                    if (undefined) {
                        EXPECT_EQ(v, -999.0) << k;
                    } else {
                        EXPECT_TRUE(v != -999.0 && std::fabs(v) <= 1.0) << k << ": " << v;
                    }
                }
                EXPECT_EQ(tnxtest::Count(text, "-999         \tnone\n"), undefined ? 2 : 0);
            }
}

// X with and without variation. Four OTUs in two crisp types ({1, 2} and {3, 4}), each of abundance
// 1 in each of five communities but the first two OTUs, 1 + c h and 1 + (c mod 2) h in community c
// (0..4); W at unit totals. By hand X_c = (1/2 + (c + c mod 2) h / 8, ...) to first order in h: a
// spread of the data, however small (h = 2^-18, or 2^-19, which a tolerance on the sum of squares
// of the values once took for rounding; the float cells are exact), and every value is one (T,
// from two OTUs moving apart, leaves X given T a spread of its own). With the third and fourth
// OTUs as the first two, X_c = (1/2, 1/2) in every community: what the double division leaves is
// rounding, X has no variation, and r(XE)
// (criterion 1) and ro(XE.T) (9) are -999 for every subset, under Mantel as under Procrustes,
// although DX's own cells still spread over their own scale. The second trait is the same for
// every OTU: {t2} leaves DT flat, which under Mantel prints ro(TE) and ro(XT) as -999 and leaves
// ro(XE.T) the simple ro(XE) when X varies.
TEST_F(ChRankTies, TheCompositionVariesWithTheDataAndNotWithItsRounding) {
    const struct {
        int e;
        bool balanced, flat;
    } cases[] = {{18, false, false}, {19, false, false}, {18, true, true}, {19, true, true}};
    for (int measure : {1, 2})
        for (int criterion : {1, 9})
            for (const auto& cs : cases) {
                SCOPED_TRACE(testing::Message() << "measure " << measure << ", criterion " << criterion
                                                << ", h = 2^-" << cs.e << (cs.balanced ? ", balanced" : ""));
                Survey sv = RandomSurvey(61, 2, 4, 5, 2);
                const float h = std::ldexp(1.0f, -cs.e);
                for (int c = 0; c < sv.n; c++) {
                    for (int o = 0; o < sv.s; o++) sv.W[o][c] = 1.0f;
                    sv.W[0][c] = 1.0f + static_cast<float>(c) * h;
                    sv.W[1][c] = 1.0f + static_cast<float>(c % 2) * h;
                    if (cs.balanced) sv.W[2][c] = sv.W[0][c], sv.W[3][c] = sv.W[1][c];
                }
                for (auto& row : sv.B) row[1] = 4.2f;
                LoadSurvey(sv, criterion, {1, 1, 2, 2});
                opt_ro = measure;
                fuzzy = 0;
                optUnitTotalAdjust2 = true;
                printRankIntermedResults = 'y';
                ASSERT_EQ(RunCriterion(criterion), kChRankDone);
                const std::string text = Read("s1ChRank.txt");
                const bool flat = cs.flat;
                for (int k = 1; k <= 2; k++) {
                    const double v = SizeValue(text, k);
                    if (flat) {
                        EXPECT_EQ(v, -999.0) << k;
                    } else {
                        EXPECT_TRUE(v != -999.0 && std::fabs(v) <= 1.0) << k << ": " << v;
                    }
                }
                // The three subsets' lines, each -999 (criterion 9: the partial's field) or none.
                const std::string field = criterion == 1 ? "\n-999        \t" : "\tro(XE.T)=\t-999\t";
                EXPECT_EQ(tnxtest::Count(text, field), flat ? 3 : 0);
                if (criterion != 9 || measure != 1) continue;
                const std::vector<std::string> alone = LinesNamingAlone(text, "t2", "t1");
                ASSERT_FALSE(alone.empty());
                const std::string& line = alone[0];
                EXPECT_EQ(line.rfind("ro(TE)=\t-999\tro(XE)=\t", 0), 0u) << line;
                EXPECT_NE(line.find("\tro(XT)=\t-999\t"), std::string::npos) << line;
                if (flat) continue;
                const double xe = std::atof(line.c_str() + line.find("ro(XE)=\t") + 8);
                EXPECT_TRUE(xe != 0.0 && std::fabs(xe) <= 1.0) << line;
                EXPECT_EQ(std::atof(line.c_str() + line.find("ro(XE.T)=\t") + 10), xe) << line;
            }
}

// The second trait one ulp apart among the OTUs (4.2 and the float above it): a difference in the
// data, however small. Its community means spread by up to 1.1e-7 of their size, far above what
// their double computation can leave (2^-40), so T varies (in single precision the means fall on
// 4.2 or the float above it, as the search rounds them), and so do the types, X and the Rao
// entropies, which the Gower similarity over the trait's range sees as two states. Under Mantel
// every simple value on the line of {t2} is a number, those on DT included (ro(PT) 13, the niche
// product ro(PT) ro(TE) 14, r(TZ) 19, r(TY) 22), but r(TE) of criterion 10, whose means are held in
// single precision, where one step lies within the rounding they carry: -999, ranked nowhere. The
// ro(TE), ro(PT) and ro(XT) beside the partials of criteria 9 and 12 are numbers too. The two
// states make both T and X (each OTU its
// own type, its belonging one of two rows) affine in the share of one state over W at unit totals:
// DX is DT times a factor and ro(XT) = 1, so every partial that removes T from DX has nothing left
// to compare and is -999 (9, 12, 17, 20, 23 and, printed beside the niche criteria's values,
// ro(PX.T), ro(XE.T), ro(XE.PT) and their product roAlphaNiche).
TEST_F(ChRankTies, UnderMantelMeansOneUlpApartAreVariation) {
    struct Case {
        int criterion;
        std::string field;  // what stands before the criterion's value on the line of {t2}
        int explained;      // the partials given T on the line, -999
    };
    const Case cases[] = {
        {1, "", 0},           {9, "ro(XE.T)=\t", 1},     {10, "", 0},
        {11, "ro(PX)=\t", 1}, {12, "ro(PX.T)=\t", 1},     {13, "ro(PT)=\t", 1},
        {14, "roBetaNiche=\t", 4}, {15, "roAlphaBetaNiche=\t", 4},
        {16, "r(RE)=\t", 0},  {17, "r(XE.TR)=\t", 1},     {18, "r(XZ)=\t", 0},
        {19, "r(TZ)=\t", 0},  {20, "r(XZ.T)=\t", 1},      {21, "r(XY)=\t", 0},
        {22, "r(TY)=\t", 0},  {23, "r(XY.T)=\t", 1},      {24, "r(SE)=\t", 0},
    };
    // The value of a field of a line.
    const auto value = [](const std::string& line, const std::string& field) {
        return std::atof(line.c_str() + line.find(field) + field.size());
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "criterion " << c.criterion);
        const std::string text = RunWithAConstantTrait(c.criterion, 1, true);
        const std::vector<std::string> alone = LinesNamingAlone(text, "t2", "t1");
        ASSERT_FALSE(alone.empty());
        const std::string& line = alone[0];
        ASSERT_NE(line.find(c.field), std::string::npos) << line;
        const double v = value(line, c.field);
        const bool partialGivenT = c.criterion == 9 || c.criterion == 12 || c.criterion == 17 ||
                                   c.criterion == 20 || c.criterion == 23;
        if (partialGivenT || c.criterion == 10) {
            EXPECT_EQ(v, -999.0) << line;
        } else {
            EXPECT_TRUE(v != -999.0 && std::fabs(v) <= 1.0) << line;
        }
        EXPECT_EQ(tnxtest::Count(line, "=\t-999\t"), c.explained) << line;
        EXPECT_EQ(tnxtest::Count(line, "-999"), c.explained + (c.criterion == 10 ? 1 : 0)) << line;
        if (line.find("ro(XT)=\t") != std::string::npos) {
            EXPECT_NEAR(value(line, "ro(XT)=\t"), 1.0, 1e-6) << line;
        }
        if (partialGivenT || c.criterion == 10) {
            // Ranked nowhere: the best of size 1 is {t1}.
            const size_t at = text.find("optimal subset with 1 traits: \t");
            ASSERT_NE(at, std::string::npos);
            EXPECT_NE(text.substr(at, text.find('\n', at) - at).find("\tt1\t"), std::string::npos);
        }
        for (const char* beside : {"ro(TE)=\t", "ro(PT)=\t", "ro(XT)=\t"})
            if (line.find(beside) != std::string::npos) {
                const double b = value(line, beside);
                EXPECT_TRUE(b != 0.0 && std::fabs(b) <= 1.0) << beside << line;
            }
    }
}

// A survey whose composition X has no variation while T has: four OTUs in two crisp types ({1, 2}
// and {3, 4}) over five communities c = 0..4, W at unit totals; the first two trade abundance,
// 1 + c/8 and 1 - c/8, so that their type's total stays 2, and the last two 1/2 + c/32 and
// 1/2 - c/32, their type's total 1, while T of the first trait moves with their trait values. X is
// then (2/3, 1/3) in every community but for what the division by the total of 3 leaves, rounding
// (no variation), its DX rounding noise spread over its own scale; the phylogeny, fuzzy over the
// OTUs, varies with the trade. The second trait is the same for every OTU.
void LoadFlatComposition(int criterion) {
    Survey sv = RandomSurvey(61, 2, 4, 5, 2, true);
    for (int c = 0; c < sv.n; c++) {
        sv.W[0][c] = 1.0f + static_cast<float>(c) * 0.125f;
        sv.W[1][c] = 1.0f - static_cast<float>(c) * 0.125f;
        sv.W[2][c] = 0.5f + static_cast<float>(c) / 32.0f;
        sv.W[3][c] = 0.5f - static_cast<float>(c) / 32.0f;
    }
    for (auto& row : sv.B) row[1] = 4.2f;
    ASSERT_NE(sv.B[0][0], sv.B[1][0]);
    LoadSurvey(sv, criterion, {1, 1, 2, 2});
    fuzzy = 0;
    optUnitTotalAdjust2 = true;
    printRankIntermedResults = 'y';
}

// Under Mantel, the phylogeny criteria's values on the line of a subset whose T has no variation
// while X has (the second trait the same for every OTU, {t2}, with crisp types), and the other way
// round (the survey above, {t1}): every value that compares DT, or DX, is -999, ro(XT) included since it
// compares both, whatever the other's spread; a value that compares neither is one, and a partial
// whose control alone is flat is the simple correlation (its control's value is 0). Criteria 11 to
// 13 print ro(PT), ro(PX), ro(XT), ro(PX.T); 14 and 15 the fifteen niche coefficients. In the
// survey above W moves linearly with the community, and so do T and P: DP is DT times a factor,
// ro(PT) = 1, and the partials that remove one of the two from the other's comparison with E,
// ro(TE.P) and ro(PE.T), have nothing left to compare: -999.
TEST_F(ChRankTies, UnderMantelAFlatTOrAFlatXLeavesMissingEveryValueThatComparesIt) {
    // Each field: "-999", "value" (defined: not -999, at most 1 in size), "one" (1 to rounding) or
    // "=" and the field whose value it repeats.
    using Fields = std::vector<std::pair<const char*, std::string>>;
    const Fields flatT3 = {{"ro(PT)", "-999"}, {"ro(PX)", "value"}, {"ro(XT)", "-999"}, {"ro(PX.T)", "=ro(PX)"}};
    const Fields flatX3 = {{"ro(PT)", "one"}, {"ro(PX)", "-999"}, {"ro(XT)", "-999"}, {"ro(PX.T)", "-999"}};
    const Fields flatT15 = {{"ro(PT)", "-999"},      {"ro(PX)", "value"},          {"ro(XT)", "-999"},
                            {"ro(PX.T)", "=ro(PX)"}, {"ro(XE)", "value"},          {"ro(TE)", "-999"},
                            {"ro(XE.T)", "=ro(XE)"}, {"ro(PE)", "value"},          {"ro(TE.P)", "-999"},
                            {"ro(PE.T)", "=ro(PE)"}, {"ro(XE.P)", "value"},        {"ro(XE.PT)", "value"},
                            {"roBetaNiche", "-999"}, {"roAlphaBetaNiche", "value"}, {"roAlphaNiche", "value"}};
    const Fields flatX15 = {{"ro(PT)", "one"},       {"ro(PX)", "-999"},          {"ro(XT)", "-999"},
                            {"ro(PX.T)", "-999"},    {"ro(XE)", "-999"},          {"ro(TE)", "value"},
                            {"ro(XE.T)", "-999"},    {"ro(PE)", "value"},         {"ro(TE.P)", "-999"},
                            {"ro(PE.T)", "-999"},    {"ro(XE.P)", "-999"},        {"ro(XE.PT)", "-999"},
                            {"roBetaNiche", "value"}, {"roAlphaBetaNiche", "-999"}, {"roAlphaNiche", "-999"}};
    const struct {
        bool flatT;  // the survey: T flat ({t2} constant, crisp types), or X flat ({t1} of the survey above)
        int criterion;
        const Fields& fields;
    } rows[] = {{true, 11, flatT3},   {true, 12, flatT3},   {true, 13, flatT3},   {true, 14, flatT15},
                {true, 15, flatT15},  {false, 11, flatX3},  {false, 12, flatX3},  {false, 13, flatX3},
                {false, 14, flatX15}, {false, 15, flatX15}};
    // The text of a field on the line ("" when it is not there), as printed.
    const auto field = [](const std::string& line, const std::string& name) {
        const std::string key = name + "=\t";
        size_t at = line.rfind(key, 0) == 0 ? 0 : line.find("\t" + key);
        if (at == std::string::npos) return std::string();
        at += line[at] == '\t' ? key.size() + 1 : key.size();
        return line.substr(at, line.find('\t', at) - at);
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << (r.flatT ? "T flat" : "X flat") << ", criterion " << r.criterion);
        std::string text;
        if (r.flatT) {
            text = RunWithAConstantTrait(r.criterion, 1, false, true);
        } else {
            LoadFlatComposition(r.criterion);
            ASSERT_EQ(RunCriterion(r.criterion), kChRankDone);
            text = Read("s1ChRank.txt");
        }
        const std::vector<std::string> alone =
            r.flatT ? LinesNamingAlone(text, "t2", "t1") : LinesNamingAlone(text, "t1", "t2");
        ASSERT_FALSE(alone.empty());
        const std::string& line = alone[0];
        for (const auto& [name, expected] : r.fields) {
            const std::string printed = field(line, name);
            ASSERT_FALSE(printed.empty()) << name << " in " << line;
            if (expected == "value") {
                const double v = std::atof(printed.c_str());
                EXPECT_TRUE(printed != "-999" && std::fabs(v) <= 1.0) << name << " = " << printed;
            } else if (expected == "one") {
                EXPECT_NEAR(std::atof(printed.c_str()), 1.0, 1e-6) << name << " = " << printed;
            } else if (expected[0] == '=') {
                EXPECT_EQ(printed, field(line, expected.substr(1))) << name;
                EXPECT_NE(printed, "-999") << name;
            } else {
                EXPECT_EQ(printed, expected) << name;
            }
        }
    }
}

}  // namespace
