// The printers of the trait hierarchy (exact texts written out by hand), its drivers, those of
// the stored resemblances and the older trait-average scaling-up on the five-OTU session whose
// trait codes pool (HierSession.h). Its level tables (communities c1..c4 by types): level 1
// (2 0 0 1), (1 1 0 1), (1 0 1 1), (0 1 1 1); level 2 (2 0 1), (2 0 1), (1 1 1), (1 1 1);
// level 3 (3 0), (3 0), (2 1), (2 1).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/model/TNXGLOB.h"
#include "traits/HierSession.h"
#include "traits/TNXHIER.h"
#include "traits/TNXHIERPRINT.h"
#include "traits/TNXHIERRESE.h"
#include "traits/TNXRESE.h"

namespace {

using tnxtest::CodeOf;
using tnxtest::Count;
using tnxtest::HierarchicalAccumTest;
using tnxtest::Mat;
using Doubles = std::vector<double>;

// What a printer writes, as text.
template <class Print>
std::string Printed(Print print) {
    char* text = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&text, &size);
    print(f);
    std::fclose(f);
    std::string s(text, size);
    std::free(text);
    return s;
}

// Two types with codes 0102 and 1203 (traits A and B) in communities c1 (1, 2.5), c2 (0, 10).
class Printers : public ::testing::Test {
protected:
    void SetUp() override {
        std::snprintf(labels_.m[0], kLabelSize, "A");
        std::snprintf(labels_.m[1], kLabelSize, "B");
        std::snprintf(codes_.m[0], 5, "0102");
        std::snprintf(codes_.m[1], 5, "1203");
        chLabel = labels_, nchor = order_, sDigits = 6, isHierarchical = 1;
    }
    void TearDown() override {
        chLabel = nullptr, nchor = nullptr, isHierarchical = 0, maxColsPrint = 2147483647;
    }
    const tnxtest::SessionSettingsKept kept_;  // the digits and the hierarchy flag put back after
    std::string Table(int level, int traits, int rows, int mode) {
        return Printed([&](FILE* f) {
            PrintTables_iNEW(level, f, traits, 2, rows, codes_, data_, cols_, mode == 1 ? rows_ : nullptr, mode,
                             groups_, groups_, colGroups_, rowGroups_);
        });
    }
    Mat<char> labels_{2, kLabelSize}, codes_{2, 5};
    Mat<float> data_{2, 2, {1, 2.5f, 0, 10}};
    int order_[2] = {1, 2}, colGroups_[2] = {2, 1}, rowGroups_[2] = {1, 1};
    char c1_[3] = "c1", c2_[3] = "c2", g1_[3] = "g1", g2_[3] = "g2", ra_[3] = "ra", rb_[3] = "rb";
    char* cols_[2] = {c1_, c2_};
    char* groups_[2] = {g1_, g2_};
    char* rows_[2] = {ra_, rb_};
};

TEST_F(Printers, ContingencyTablesOfTypesAndGroups) {
    // Widest value "2.5": width 3. A first code character '0' prints as a blank.
    const std::string table = "PFT\t  \tA \tB \t c1\t c2\t\n   \t  \t--\t--\t---\t---\t\n"
                              "1  \t  \t 1\t 2\t  1\t  0\t\n2  \t  \t12\t 3\t2.5\t 10\t\n\n";
    EXPECT_EQ(Table(0, 2, 2, 0), "\nContingency table level 1: \n" + table);
    EXPECT_EQ(Table(1, 1, 2, 1), "OTU\tGr\tA \t c1\t c2\t\n   \t  \t  \t g2\t g1\t\n---\t--\t--\t---\t---\t\n"
                                 "ra \tg1\t 1\t  1\t  0\t\nrb \tg1\t12\t2.5\t 10\t\n\n");
    isHierarchical = 0;
    EXPECT_EQ(Table(0, 2, 2, 0), "\nContingency table: \n" + table);
    EXPECT_EQ(Table(1, 1, 0, 2), "\nContingency table: \nGr \t  \tA \t c1\t c2\t\n   \t  \t--\t---\t---\t\n\n\n");
    // maxColsPrint 20: the first trait ends at half the line, no wrap yet. 16: the trait labels
    // go on past 8, the values past 16 (titles 7, a trait 3, a value 4); a continuation line
    // starts with blank titles and blanks up to the end of the trait labels.
    maxColsPrint = 20;
    EXPECT_EQ(Table(0, 2, 2, 0), "\nContingency table: \n" + table);
    isHierarchical = 1, maxColsPrint = 17;  // the second value starts at 17: still on the line
    EXPECT_EQ(Table(0, 2, 1, 0), "\nContingency table level 1: \nPFT\t  \tA \t\n   \t  \tB \t c1\t c2\t\n"
                                 "   \t  \t--\t---\t---\t\n1  \t  \t 1\t 2\t  1\t  0\t\n\n");
    maxColsPrint = 16;
    EXPECT_EQ(Table(0, 2, 1, 0), "\nContingency table level 1: \nPFT\t  \tA \t\n   \t  \tB \t c1\t c2\t\n"
                                 "   \t  \t--\t---\t---\t\n1  \t  \t 1\t 2\t  1\t\n   \t  \t  \t  0\t\n\n");
    // Pooled states never wrap; the rule row still ends at the half line for the traits.
    int s0[2] = {3, 14}, s1[2] = {1, 2};
    int* states[2] = {s0, s1};
    EXPECT_EQ(Printed([&](FILE* f) {
                  PrintTablesCsmInt(0, f, 2, 2, 2, states, data_, cols_, nullptr, 0, nullptr, nullptr, nullptr, nullptr);
              }),
              "Contingency table level 1: \nPFT\t  \tA \tB \t c1\t c2\t\n   \t  \t--\t---\t---\t\n"
              "1  \t  \t3\t14\t  1\t  0\t\n2  \t  \t1\t2\t2.5\t 10\t\n\n");
}

TEST(PrintSummaryNEW, TypesByPresenceThenDominance) {
    // Type 1 in 2 of 4 communities (mean 2), type 2 in all (mean 1.5), type 3 in 2 (mean 5),
    // type 4 in none (dominance 0).
    Mat<float> data(4, 4, {1, 1, 4, 0, 3, 2, 6, 0, 0, 1, 0, 0, 0, 2, 0, 0});
    const tnxtest::SessionSettingsKept kept;  // the digits put back after
    sDigits = 6;
    EXPECT_EQ(Printed([&](FILE* f) { PrintSummaryNEW(f, 4, 4, data); }),
              "Presence(%) and dominance (average peformance when PFT is present):\n"
              "PFT\t\tPresence(%)\t\tAvg.perf.\n---\t\t-----------\t\t---------\n"
              "  2\t        100\t\t      1.5\n  3\t         50\t\t        5\n"
              "  1\t         50\t\t        2\n  4\t          0\t\t        0\n");
}

TEST_F(HierarchicalAccumTest, LevelsIndeterminacyAndTheIntermediateFile) {
    LoadTraits("1");
    printSpp = print_indet = 'y';  // a session without species names
    HierarchicalAccum();
    EXPECT_EQ(dirtyOrig, 1);
    EXPECT_EQ((tnxtest::Ints{rcst[0], rcst[1], rcst[2]}), (tnxtest::Ints{4, 3, 2}));
    EXPECT_EQ(Read("s1Hie.txt"), "4\t4\n2 1 1 0 \n0 1 0 1 \n0 0 1 1 \n1 1 1 1 \n"
                                 "3\t4\n2 2 1 1 \n0 0 1 1 \n1 1 1 1 \n2\t4\n3 3 2 2 \n0 0 1 1 \n");
    // Jaccard distances of the presences. Level 1: (1,2) 1/3, (1,3) 1/3, (1,4) 3/4, (2,3),
    // (2,4), (3,4) 1/2: mean 2.916667/6. Level 2: four pairs at 1/3. Level 3: four at 1/2.
    const std::string r = Read("s1Prinda.txt");
    EXPECT_EQ(Count(r, "\nLevel 1: \nAverage indeterminacy: 0.486111\nIndeterminacy matrix: \n"), 1);
    EXPECT_EQ(Count(r, "\nLevel 2: \nAverage indeterminacy: 0.222222\n"), 1);
    EXPECT_EQ(Count(r, "\nLevel 3: \nAverage indeterminacy: 0.333333\n"), 1);
    EXPECT_EQ(Count(r, "Trait set:        \nOrder:            tr1tr2tr3\nNumber of states: 5  5  5  "), 1);
    EXPECT_EQ(Count(r, "Data partition type: mixed\n\n"), 1);
    EXPECT_EQ(Count(r, "Gower similarity index between"), 0) << "monothetic types";
    EXPECT_EQ(Count(r, "\nPFT/Species correspondence, level 3:\nPFT#\tSpecies\n1   \t\n2   \t\n"), 1);
    EXPECT_EQ(Count(r, "\nSpecies name\n" + std::string(46, '-') + "\n"), 1);
}

TEST_F(HierarchicalAccumTest, FuzzySetsKeepTotalsAndPairwiseWritesNoIntermediateFile) {
    LoadTraits("1");
    fuzzy = 1, fuzziness = 1.0f, princont = 'y';
    HierarchicalAccum();
    // The crisp tables, then the fuzzy-weighted ones, of every level; no pairs. Each type of
    // level 1 takes a fuzzy share of its community's total: the totals stay 3, and type 3,
    // absent from c1, gets a share there.
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "\nContingency table level 3: \n"), 2);
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "Community pair"), 0);
    std::istringstream hie(Read("s1Hie.txt"));
    float v[18] = {}, sums[4] = {};
    for (int k = 0; k < 18; k++) hie >> v[k], sums[k % 4] += k >= 2 ? v[k] : 0;  // the 4 x 4 table after "4 4"
    for (float sum : sums) EXPECT_NEAR(sum, 3.0f, 1e-5);
    EXPECT_GT(v[10], 0.0f);
    LoadTraits("1");
    fuzzy = 2, princont = 'y';
    std::remove("s1Hie.txt");
    HierarchicalAccum();
    EXPECT_FALSE(std::ifstream("s1Hie.txt").good());
    const std::string r = Read("s1Prinda.txt");
    EXPECT_EQ(Count(r, "Fuzzy transformation: fuzzy pairwise\n      Degree of fuzziness: 1\n"), 1);
    EXPECT_EQ(Count(r, "Community pair c3 c4:\n"), 3) << "one per level";
}

TEST_F(HierarchicalAccumTest, WithoutTraitCodesNothingIsWritten) {
    LoadTraits("2.5");
    HierarchicalAccum();
    HierarchicalAccumPolythetic();
    Resemblance();
    EXPECT_FALSE(FrequencyTraitsScalingUp_Old());
    EXPECT_EQ(Entries(), 3) << "d.txt and the console files only";
    EXPECT_EQ(Count(Out(), "nothing was computed.\n"), 4);
}

TEST_F(HierarchicalAccumTest, PolytheticTypesFromSingleLinkageOfTheMonotheticOnes) {
    // Gower similarity (ranges 1): monothetic groups {1,3} {2} {4} {5}; between them
    // S(1,2) = S(1,4) = S(2,5) = 2/3, S(1,5) = S(2,4) = 1/3, S(4,5) = 0. Single linkage joins
    // {1,3} with 2, then with 4: two polythetic groups {1,2,3,4} and {5}. Pooled states of
    // group 1: (1,1,1,2) -> 1, (2,2,2,2) -> 2, (3,4,3,3) -> 3.
    LoadTraits("1");
    clusMethPoolCSTs = 1, nGrPoly[0] = 2, princont = 'y';
    HierarchicalAccumPolythetic();
    EXPECT_EQ(Read("s1Hie.txt"), "2\t4\n2 2 2 2 \n1 1 1 1 \n");
    const std::string r = Read("s1Prinda.txt");
    EXPECT_EQ(Count(r, "1  \t  \t1\t2\t3\t  2\t  2\t  2\t  2\t\n2  \t  \t1\t3\t4\t  1\t  1\t  1\t  1\t\n"), 1);
    EXPECT_EQ(Count(r, "Monothetic PFTs (identical populations for the selected traits were pooled): \n1\t2\t1\t3\t4\t\n"
                       "\nPopulations pooled according to groups (polythetic PFTs):\n1\t1\t1\t1\t2\t\n"),
              1);
    // One polythetic type holds every OTU; more than the monothetic ones are refused.
    LoadTraits("1");
    clusMethPoolCSTs = 1, nGrPoly[0] = 1;
    HierarchicalAccumPolythetic();
    EXPECT_EQ(Read("s1Hie.txt"), "1\t4\n3 3 3 3 \n");
    nGrPoly[0] = 5;
    HierarchicalAccumPolythetic();
    EXPECT_NE(Err().find("(4): nothing was computed."), std::string::npos);
    clusMethPoolCSTs = 0;
}

class StoredResemblances : public HierarchicalAccumTest {
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
    // count lines of a file from line `from` on (negative: from the end).
    static std::string Lines(const std::string& name, int from, int count) {
        std::vector<std::string> v;
        std::istringstream in(Read(name));
        for (std::string l; std::getline(in, l);) v.push_back(l);
        std::string s;
        for (int k = from < 0 ? static_cast<int>(v.size()) + from : from, e = k + count; k < e; k++) s += v[k] + "\n";
        return s;
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
    // C(c1, c3) = 6/12 - 9/125, C(c3, c3) = 5/12 - 9/125; r = 0.885379, 2 (1 - r) = 0.229242;
    // equal rows: 0. The global part, last, is level 1's in the same form.
    Prepare(10);
    Resemblance();
    const std::string stored = Read("s1NRe.txt");
    EXPECT_EQ(Lines("s1NRe.txt", 20, 10), "0\n0\n0.229242\n0.229242\n0\n0.229242\n0.229242\n0\n0\n0\n");
    EXPECT_EQ(Lines("s1PRe.txt", -10, 10), Lines("s1NRe.txt", 0, 10));
    // With fuzzy sets the tables read back are the crisp ones; no parts.
    Prepare(10);
    fuzzy = 1, fuzziness = 1.0f;
    std::remove("s1PRe.txt");
    Resemblance();
    EXPECT_FALSE(std::ifstream("s1PRe.txt").good());
    EXPECT_EQ(Read("s1NRe.txt"), stored);
    // An intermediate file whose types do not fit the hierarchy.
    Prepare(8);
    Write("s1Hie.txt", "4\t4\n1 1 1 1 \n1 1 1 1 \n1 1 1 1 \n1 1 1 1 \n2\t4\n1 1 1 1 \n1 1 1 1 \n2\t4\n1 1 1 1 \n1 1 1 1 \n");
    EXPECT_EQ(CodeOf([] { Resemblance(); }), 2);
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
    // The types of level 2 (rows of the file): (2 2 1 1), (0 0 1 1), (1 1 1 1).
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

// The values of a stored-resemblance file, one a line.
Doubles StoredValues(const std::string& text) {
    Doubles v;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) v.push_back(std::strtod(l.c_str(), nullptr));
    return v;
}

// A missing performance (-999) adds nothing to its type. OTU 3 is missing in c1 (it pools into
// OTU 1's type at every level), OTU 1 in c2 (the first member of that type, OTU 3 present) and
// OTU 4 in c3 (alone at every level). The session counts its OTUs as the import does (a missing
// cell is not 0, so it counts). Under every option, crisp, fuzzy and pairwise fuzzy, in each data
// partition, every level's resemblance and every part equal those of the same data with the
// three cells at 0; none is not a number, and no distance is below 0.
TEST_F(StoredResemblances, AMissingPerformanceAddsNothingToItsType) {
    const int cells[3][2] = {{2, 0}, {0, 1}, {3, 2}};
    auto load = [&](float value, int opt, int fz, int partition) {
        LoadTraits("1");
        for (const auto& c : cells) cadat[c[0]][c[1]] = value;
        for (int c = 0; c < ncsm; c++) {
            ncst[c] = 0;
            for (int o = 0; o < tcst; o++) ncst[c] += cadat[o][c] != 0.0f;
        }
        rese_opt = opt, fuzzy = fz, fuzziness = 0.5f, part = partition;
    };
    auto stored = [&](float value, int opt, int fz, int partition) {
        load(value, opt, fz, partition);
        HierarchicalAccum();  // the level tables of s1Hie.txt
        load(value, opt, fz, partition);
        std::remove("s1PRe.txt");
        Resemblance();
        const bool parts = std::ifstream("s1PRe.txt").good();
        return std::make_pair(Read("s1NRe.txt"), parts ? Read("s1PRe.txt") : std::string());
    };
    std::snprintf(whichNRese, sizeof whichNRese, "s1NRe.txt");
    std::snprintf(whichPRese, sizeof whichPRese, "s1PRe.txt");
    for (int partition = 1; partition <= 3; partition++)
        for (int fz = 0; fz <= 2; fz++)
            for (int opt = 1; opt <= 10; opt++) {
                const auto missing = stored(-999.0f, opt, fz, partition), zero = stored(0.0f, opt, fz, partition);
                const std::string at = std::to_string(opt) + " fuzzy " + std::to_string(fz) + " part " +
                                       std::to_string(partition);
                EXPECT_EQ(missing.first, zero.first) << at;
                EXPECT_EQ(missing.second, zero.second) << at;
                EXPECT_EQ(StoredValues(missing.first).size(), 30u) << at << ": three levels of 4 x 4";
                // Option 2 subtracts the totals' divergence and 3 to 5 centre: only the others are
                // distances.
                const bool distance = opt == 1 || opt >= 6;
                for (double x : StoredValues(missing.first + missing.second)) {
                    EXPECT_FALSE(std::isnan(x)) << at;
                }
                if (!distance) continue;
                for (double x : StoredValues(missing.first)) {
                    EXPECT_GE(x, 0.0) << at;
                }
            }
    fuzziness = 0.0f;
}

using EnvResemblance = tnxtest::TempDirTest;

TEST_F(EnvResemblance, TransformationsOfACopyAndBothCoefficients) {
    tnxtest::LoadFiveOtus();  // E: c1 (1, 4), c2 (2, 3), c3 (3, 2), c4 (4, 1)
    std::snprintf(whichEnvPrinda, sizeof whichEnvPrinda, "s1Prinda.txt");
    std::snprintf(whichEnvRese, sizeof whichEnvRese, "s1ERe.txt");
    std::snprintf(prindaMode, sizeof prindaMode, "w");
    rese = dim3Double(1, 4, 4);
    const struct {
        int varType, transform;
        const char* stored;  // the first row of the upper triangle
    } cases[] = {
        {1, 0, "0\n1.41421\n2.82843\n4.24264\n"},  // Euclidean: sqrt 2, sqrt 8, sqrt 18
        {2, 6, "0\n0.632456\n1.26491\n1.89737\n"},  // columns centred, at unit length: sqrt 2 k / sqrt 5
        {1, 3, "0\n0.341345\n"},                   // unit rows (1, 4)/sqrt 17, (2, 3)/sqrt 13
        {3, 0, "0\n0.333333\n0.666667\n1\n"},      // 1 - Gower, ranges 3
    };
    for (const auto& c : cases) {
        optEnvVarType = c.varType, envVecTrOpt = c.transform;
        printNRese = printReseFree = c.varType == 3 ? 'y' : 'n';
        EnvRese();
        EXPECT_EQ(Read("s1ERe.txt").substr(0, std::string(c.stored).size()), c.stored) << c.transform;
    }
    EXPECT_EQ((Doubles{rese[0][3][0], rese[0][0][3]}), (Doubles{1, 1})) << "the full square";
    EXPECT_EQ((tnxtest::Floats{env[0][0], env[0][1]}), (tnxtest::Floats{1, 4})) << "E is not changed";
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "EXPLORATION OF ENVIRONMENTAL DATA STRUCTURE\n" + std::string(70, '-')), 1);
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "Resemblance option: 1 - Gower index\n\nResemblance matrix:\n"), 1);
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "\nResemblance matrix (upper half, free format, no diagonal):\n"), 1);
    std::snprintf(whichEnvRese, sizeof whichEnvRese, "no-such-dir/s1ERe.txt");
    testing::internal::CaptureStderr();
    EXPECT_EQ(CodeOf([] { EnvRese(); }), 4);
    testing::internal::GetCapturedStderr();
    free3D(rese, 1, 4);
    rese = nullptr;
    envVecTrOpt = printNRese = printReseFree = 0;
}

TEST_F(HierarchicalAccumTest, TraitTotalsOfTheCodesNormalisedByTraits) {
    // T = W x B: c1 = OTUs 1, 3, 5 = (3, 7, 10), c2 (3, 7, 11), c3 (4, 7, 10), c4 (4, 7, 11).
    // Columns at unit length: trait 2 is 7/14 everywhere.
    LoadTraits("1");
    princont = 'y';
    ASSERT_TRUE(FrequencyTraitsScalingUp_Old());
    EXPECT_EQ(Read("s1Hie.txt").substr(0, 45), "3\t4\n0.424264\t0.424264\t0.565685\t0.565685\t\n0.5\t");
    const std::string r = Read("s1Prinda.txt");
    EXPECT_EQ(Count(r, "in 4 relevs (rows):\n 3\t 7\t10\t\n 3\t 7\t11\t\n 4\t 7\t10\t\n 4\t 7\t11\t\n"), 1);
    EXPECT_EQ(Count(r, "All traits were considered.\n\nNumber of communities: 4\nCommunity labels: c1    c2    c3    c4    \n"), 1);
    // Trait 2 of weight 0 counts 0; a missing performance (OTU 1 in c1) adds nothing:
    // c1 = (2, 0, 7), c2 (3, 0, 11), c3 (4, 0, 10), c4 (4, 0, 11); columns of length sqrt 45
    // and sqrt 391.
    LoadTraits("1");
    weight[1] = 0, cadat[0][0] = -999;
    ASSERT_TRUE(FrequencyTraitsScalingUp_Old());
    EXPECT_EQ(Count(Read("s1Hie.txt"), "3\t4\n0.298142\t0.447214\t0.596285\t0.596285\t\n0\t0\t0\t0\t\n0.354005\t"), 1);
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "community-level trait description:\ntr1tr3\n"), 1);
    // The pooling of the populations is reported for the composition of types (1) only.
    const int savedOpt = traitBasedOpt;
    for (int opt : {1, 2}) {
        traitBasedOpt = opt;
        ASSERT_TRUE(FrequencyTraitsScalingUp_Old());
        EXPECT_EQ(Count(Read("s1Prinda.txt"), "\nPooling of populations: 1 (monothetic)\n\nClustering method of populations: "),
                  opt == 1 ? 1 : 0) << opt;
    }
    traitBasedOpt = savedOpt;
}

}  // namespace
