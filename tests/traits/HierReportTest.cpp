// The printers of the trait hierarchy (exact texts written out by hand) and the driver
// HierarchicalAccum on the five-OTU session with trait codes that pool.
#include <gtest/gtest.h>

#include <string>

#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "traits/TNXHIER.h"
#include "traits/TNXHIERPRINT.h"

namespace {

using tnxtest::Count;

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

class Printers : public ::testing::Test {
protected:
    void SetUp() override {
        chLabel = dim2Dchar(2, kLabelSize);
        std::snprintf(chLabel[0], kLabelSize, "A");
        std::snprintf(chLabel[1], kLabelSize, "B");
        nchor = order_;
        codes_ = dim2Dchar(2, 5);
        std::snprintf(codes_[0], 5, "0102");
        std::snprintf(codes_[1], 5, "1203");
        data_ = dim2Dfloat(2, 2);  // communities x types
        data_[0][0] = 1, data_[0][1] = 2.5f, data_[1][1] = 10;
        sDigits = 6;
        isHierarchical = 1;
    }
    void TearDown() override {
        free2D(chLabel, 2);
        chLabel = nullptr;
        nchor = nullptr;
        free2D(codes_, 2);
        free2D(data_, 2);
        isHierarchical = 0;
        maxColsPrint = 2147483647;
    }
    int order_[2] = {1, 2};
    char** codes_ = nullptr;
    float** data_ = nullptr;
    char c1_[3] = "c1", c2_[3] = "c2";
    char* cols_[2] = {c1_, c2_};
};

TEST_F(Printers, ContingencyTableOfTypes) {
    // Widest value "2.5": width 3. A first code character '0' prints as a blank.
    const std::string table =
        "PFT\t  \tA \tB \t c1\t c2\t\n"
        "   \t  \t--\t--\t---\t---\t\n"
        "1  \t  \t 1\t 2\t  1\t  0\t\n"
        "2  \t  \t12\t 3\t2.5\t 10\t\n\n";
    EXPECT_EQ(Printed([&](FILE* f) { PrintTables_iNEW(0, f, 2, 2, 2, codes_, data_, cols_, nullptr, 0, nullptr,
                                                      nullptr, nullptr, nullptr); }),
              "\nContingency table level 1: \n" + table);
    isHierarchical = 0;
    EXPECT_EQ(Printed([&](FILE* f) { PrintTables_iNEW(0, f, 2, 2, 2, codes_, data_, cols_, nullptr, 0, nullptr,
                                                      nullptr, nullptr, nullptr); }),
              "\nContingency table: \n" + table);
    // No rows: the heading lines and two newlines.
    EXPECT_EQ(Printed([&](FILE* f) { PrintTables_iNEW(1, f, 1, 2, 0, codes_, data_, cols_, nullptr, 2, nullptr,
                                                      nullptr, nullptr, nullptr); }),
              "\nContingency table: \nGr \t  \tA \t c1\t c2\t\n   \t  \t--\t---\t---\t\n\n\n");
}

TEST_F(Printers, GroupsLabelsWrappingAndPooledStates) {
    char g1[3] = "g1", g2[3] = "g2", ra[4] = "ra", rb[4] = "rb";
    char* groupLabels[2] = {g1, g2};
    char* rows[2] = {ra, rb};
    int colGroups[2] = {2, 1}, rowGroups[2] = {1, 1};
    EXPECT_EQ(Printed([&](FILE* f) { PrintTables_iNEW(0, f, 1, 2, 2, codes_, data_, cols_, rows, 1, groupLabels,
                                                      groupLabels, colGroups, rowGroups); }),
              "OTU\tGr\tA \t c1\t c2\t\n"
              "   \t  \t  \t g2\t g1\t\n"
              "---\t--\t--\t---\t---\t\n"
              "ra \tg1\t 1\t  1\t  0\t\n"
              "rb \tg1\t12\t2.5\t 10\t\n\n");
    // maxColsPrint 16: the trait labels go on past position 8, the values past 16 (the title
    // takes 7, a trait 3, a value 4); a continuation line starts with blank title cells and
    // blanks up to the end of the trait labels.
    maxColsPrint = 16;
    EXPECT_EQ(Printed([&](FILE* f) { PrintTables_iNEW(0, f, 2, 2, 1, codes_, data_, cols_, nullptr, 0, nullptr,
                                                      nullptr, nullptr, nullptr); }),
              "\nContingency table level 1: \nPFT\t  \tA \t\n   \t  \tB \t c1\t c2\t\n"
              "   \t  \t--\t---\t---\t\n"
              "1  \t  \t 1\t 2\t  1\t\n   \t  \t  \t  0\t\n\n");
    // The pooled states never wrap; the rule row still ends at the half line for the traits.
    int s0[2] = {3, 14}, s1[2] = {1, 2};
    int* states[2] = {s0, s1};
    EXPECT_EQ(Printed([&](FILE* f) { PrintTablesCsmInt(0, f, 2, 2, 2, states, data_, cols_, nullptr, 0, nullptr,
                                                       nullptr, nullptr, nullptr); }),
              "Contingency table level 1: \nPFT\t  \tA \tB \t c1\t c2\t\n"
              "   \t  \t--\t---\t---\t\n"
              "1  \t  \t3\t14\t  1\t  0\t\n2  \t  \t1\t2\t2.5\t 10\t\n\n");
}

TEST(PrintSummaryNEW, TypesByPresenceThenDominance) {
    // 4 communities: type 1 in 2 (mean 2), type 2 in all 4 (mean 1.5), type 3 in 2 (mean 5),
    // type 4 in none (dominance 0).
    const float w[4][4] = {{1, 1, 4, 0}, {3, 2, 6, 0}, {0, 1, 0, 0}, {0, 2, 0, 0}};
    float** data = dim2Dfloat(4, 4);
    for (int c = 0; c < 4; c++)
        for (int k = 0; k < 4; k++) data[c][k] = w[c][k];
    sDigits = 6;
    EXPECT_EQ(Printed([&](FILE* f) { PrintSummaryNEW(f, 4, 4, data); }),
              "Presence(%) and dominance (average peformance when PFT is present):\n"
              "PFT\t\tPresence(%)\t\tAvg.perf.\n---\t\t-----------\t\t---------\n"
              "  2\t        100\t\t      1.5\n  3\t         50\t\t        5\n"
              "  1\t         50\t\t        2\n  4\t          0\t\t        0\n");
    free2D(data, 4);
}

TEST(PrintSpp, EachTypeWithItsSpecies) {
    nSpp = 3;
    char** names = dim2Dchar(3, 8);
    std::snprintf(names[0], 8, "Poa");
    std::snprintf(names[1], 8, "Carex");
    std::snprintf(names[2], 8, "Stipa");
    char** map = dim2Dchar(2, 4);
    std::snprintf(map[0], 4, "101");
    std::snprintf(map[1], 4, "010");
    EXPECT_EQ(Printed([&](FILE* f) { PrintSpp(f, 2, map, names, nullptr); }),
              "PFT#\tSpecies\n1   \tPoa\tStipa\t\n2   \tCarex\t\n");
    nSpp = 0;
    free2D(names, 3);
    free2D(map, 2);
}

// The five-OTU session with traits (1 2 3), (1 2 4), (1 2 3), (2 2 3), (1 3 4): codes
// 010203, 010204, 010203, 020203, 010304. W (OTUs x communities c1..c4): (1 0 1 0), (0 1 0 1),
// (1 1 0 0), (0 0 1 1), (1 1 1 1).
class HierarchicalAccumTest : public tnxtest::ConsoleTest {
protected:
    void LoadTraits(const std::string& first) {
        Write("d.txt", tnxtest::Edit(tnxtest::FiveOtus(false), "25Jun2016 \n1\t2\t3\t\n2\t3\t4\t\n3\t4\t5\t\n4\t5\t6\t\n5\t6\t7",
                                     "25Jun2016 \n" + first + "\t2\t3\t\n1\t2\t4\t\n1\t2\t3\t\n2\t2\t3\t\n1\t3\t4"));
        tnxtest::LoadFormda("d.txt");
        std::snprintf(sessionName, sizeof sessionName, "s1");
        std::snprintf(whichPrinda, sizeof whichPrinda, "s1Prinda.txt");
        std::snprintf(whichHier, sizeof whichHier, "s1Hie.txt");
        std::snprintf(prindaMode, sizeof prindaMode, "w");
        for (int t = 0; t < nch; t++) nchor[t] = 0, weight[t] = 1;  // order never set: the traits' own
        isHierarchical = 1, part = 1, fuzzy = 0, poolCSTopt = 1, sDigits = 6;
        princont = printSpp = print_gindex = 'n';
        print_indet = 'y';
        dirtyOrig = 0;
    }
    void TearDown() override {
        isHierarchical = part = fuzzy = poolCSTopt = 0;
        print_indet = 'n';
        ConsoleTest::TearDown();
    }
};

TEST_F(HierarchicalAccumTest, LevelsIndeterminacyAndTheIntermediateFile) {
    LoadTraits("1");
    printSpp = 'y';  // a session without species names
    HierarchicalAccum();
    printSpp = 'n';
    EXPECT_EQ(dirtyOrig, 1);
    EXPECT_EQ((tnxtest::Ints{rcst[0], rcst[1], rcst[2]}), (tnxtest::Ints{4, 3, 2}));
    // Level 1 {1,3} {2} {4} {5}; level 2 {1,2,3} {4} {5}; level 3 {1,2,3,5} {4}.
    EXPECT_EQ(Read("s1Hie.txt"), "4\t4\n2 1 1 0 \n0 1 0 1 \n0 0 1 1 \n1 1 1 1 \n"
                                 "3\t4\n2 2 1 1 \n0 0 1 1 \n1 1 1 1 \n"
                                 "2\t4\n3 3 2 2 \n0 0 1 1 \n");
    // Jaccard distances of the presences. Level 1: (1,2) 1/3, (1,3) 1/3, (1,4) 3/4, (2,3),
    // (2,4), (3,4) 1/2: mean 2.916667/6. Level 2: four pairs at 1/3, two at 0. Level 3: four
    // pairs at 1/2.
    const std::string r = Read("s1Prinda.txt");
    EXPECT_EQ(Count(r, "\nLevel 1: \nAverage indeterminacy: 0.486111\nIndeterminacy matrix: \n"), 1);
    EXPECT_EQ(Count(r, "\nLevel 2: \nAverage indeterminacy: 0.222222\n"), 1);
    EXPECT_EQ(Count(r, "\nLevel 3: \nAverage indeterminacy: 0.333333\n"), 1);
    EXPECT_EQ(Count(r, "Trait set:        \nOrder:            tr1tr2tr3\nNumber of states: 5  5  5  "), 1);
    EXPECT_EQ(Count(r, "Data partition type: mixed\n\n"), 1);
    EXPECT_EQ(Count(r, "\nPFT/Species correspondence, level 3:\nPFT#\tSpecies\n1   \t\n2   \t\n"), 1);
    EXPECT_EQ(Count(r, "\nSpecies name\n" + std::string(46, '-') + "\n"), 1);
}

TEST_F(HierarchicalAccumTest, FuzzySetsKeepTotalsAndPairwiseWritesNoIntermediateFile) {
    LoadTraits("1");
    fuzzy = 1, fuzziness = 1.0f;
    HierarchicalAccum();
    // Every type of a level is a fuzzy share of the community's total: the column sums of each
    // level stay the community totals 3 3 3 3.
    const std::string hie = Read("s1Hie.txt");
    float v[4][4] = {};
    ASSERT_EQ(std::sscanf(hie.c_str(), "4 4 %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g", &v[0][0], &v[0][1],
                          &v[0][2], &v[0][3], &v[1][0], &v[1][1], &v[1][2], &v[1][3], &v[2][0], &v[2][1], &v[2][2],
                          &v[2][3], &v[3][0], &v[3][1], &v[3][2], &v[3][3]),
              16);
    for (int c = 0; c < 4; c++) EXPECT_NEAR(v[0][c] + v[1][c] + v[2][c] + v[3][c], 3.0, 1e-5) << c;
    EXPECT_NE(v[2][0], 0.0f) << "type 3 is absent from c1 but similar to types present there";

    LoadTraits("1");
    fuzzy = 2;
    std::remove("s1Hie.txt");
    HierarchicalAccum();
    EXPECT_FALSE(std::ifstream("s1Hie.txt").good());
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "Fuzzy transformation: fuzzy pairwise\n      Degree of fuzziness: 1\n"),
              1);
}

TEST_F(HierarchicalAccumTest, WithoutTraitCodesNothingIsWritten) {
    LoadTraits("2.5");
    HierarchicalAccum();
    EXPECT_FALSE(std::ifstream("s1Prinda.txt").good());
    EXPECT_FALSE(std::ifstream("s1Hie.txt").good());
    EXPECT_EQ(Count(Out(), "nothing was computed.\n"), 1);
}

TEST_F(HierarchicalAccumTest, PolytheticTypesFromSingleLinkageOfTheMonotheticOnes) {
    // Gower similarity (ranges 1): monothetic groups {1,3} {2} {4} {5}; between them
    // S(1,2) = S(1,4) = S(2,5) = 2/3, S(1,5) = S(2,4) = 1/3, S(4,5) = 0. Single linkage joins
    // {1,3} with 2, then with 4: two polythetic groups {1,2,3,4} and {5}.
    LoadTraits("1");
    clusMethPoolCSTs = 1, nGrPoly[0] = 2, princont = 'y';
    HierarchicalAccumPolythetic();
    EXPECT_EQ(Read("s1Hie.txt"), "2\t4\n2 2 2 2 \n1 1 1 1 \n");
    // Pooled states: group 1 traits (1,1,1,2) -> 1, (2,2,2,2) -> 2, (3,4,3,3) -> 3.
    const std::string r = Read("s1Prinda.txt");
    EXPECT_EQ(Count(r, "1  \t  \t1\t2\t3\t  2\t  2\t  2\t  2\t\n2  \t  \t1\t3\t4\t  1\t  1\t  1\t  1\t\n"), 1);
    EXPECT_EQ(Count(r, "Monothetic PFTs (identical populations for the selected traits were pooled): \n1\t2\t1\t3\t4\t\n"
                       "\nPopulations pooled according to groups (polythetic PFTs):\n1\t1\t1\t1\t2\t\n"),
              1);
    // More polythetic types than monothetic ones: refused, nothing written.
    LoadTraits("1");
    std::remove("s1Hie.txt");
    std::remove("s1Prinda.txt");
    nGrPoly[0] = 5;
    HierarchicalAccumPolythetic();
    EXPECT_FALSE(std::ifstream("s1Prinda.txt").good());
    EXPECT_NE(Err().find("(4): nothing was computed."), std::string::npos);
    clusMethPoolCSTs = 0;
    princont = 'n';
}

}  // namespace
