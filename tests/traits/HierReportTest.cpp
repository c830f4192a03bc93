// The printers of the trait hierarchy (exact texts written out by hand) and its drivers on the
// five-OTU session whose trait codes pool (HierSession.h).
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "session/model/TNXGLOB.h"
#include "traits/HierSession.h"
#include "traits/TNXHIER.h"
#include "traits/TNXHIERPRINT.h"
#include "traits/TNXRESE.h"

namespace {

using tnxtest::Count;
using tnxtest::HierarchicalAccumTest;
using tnxtest::Mat;

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
    // maxColsPrint 16: the trait labels go on past position 8, the values past 16 (the titles
    // take 7, a trait 3, a value 4); a continuation line starts with blank titles and blanks up
    // to the end of the trait labels.
    maxColsPrint = 20;  // the first trait ends at half the line: no wrap yet
    EXPECT_EQ(Table(0, 2, 2, 0), "\nContingency table: \n" + table);
    isHierarchical = 1, maxColsPrint = 16;
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

TEST_F(Printers, ASpeciesTraitShowsTheSpeciesOfEachRow) {
    char poa[] = "Poaannua", carex[] = "Carex", m0[] = "10", m1[] = "01";
    char* names[2] = {poa, carex};
    char* map[2] = {m0, m1};
    std::snprintf(labels_.m[0], kLabelSize, "sp");
    spp = names, cstSppMap = map, nSpp = tcst = 2;
    EXPECT_EQ(Table(0, 1, 2, 0), "\nContingency table level 1: \nPFT\t  \tsp  \t c1\t c2\t\n   \t  \t--  \t---\t---\t\n"
                                 "1  \t  \tPoaa\t  1\t  0\t\n2  \t  \tCare\t2.5\t 10\t\n\n");
    spp = nullptr, cstSppMap = nullptr, nSpp = tcst = 0;
}

TEST(PrintSummaryNEW, TypesByPresenceThenDominance) {
    // Type 1 in 2 of 4 communities (mean 2), type 2 in all (mean 1.5), type 3 in 2 (mean 5),
    // type 4 in none (dominance 0).
    Mat<float> data(4, 4, {1, 1, 4, 0, 3, 2, 6, 0, 0, 1, 0, 0, 0, 2, 0, 0});
    sDigits = 6;
    EXPECT_EQ(Printed([&](FILE* f) { PrintSummaryNEW(f, 4, 4, data); }),
              "Presence(%) and dominance (average peformance when PFT is present):\n"
              "PFT\t\tPresence(%)\t\tAvg.perf.\n---\t\t-----------\t\t---------\n"
              "  2\t        100\t\t      1.5\n  3\t         50\t\t        5\n"
              "  1\t         50\t\t        2\n  4\t          0\t\t        0\n");
}

TEST(PrintSpp, EachTypeWithItsSpecies) {
    char poa[] = "Poa", carex[] = "Carex", stipa[] = "Stipa", m0[] = "101", m1[] = "010";
    char* names[3] = {poa, carex, stipa};
    char* map[2] = {m0, m1};
    nSpp = 3;
    EXPECT_EQ(Printed([&](FILE* f) { PrintSpp(f, 2, map, names, nullptr); }),
              "PFT#\tSpecies\n1   \tPoa\tStipa\t\n2   \tCarex\t\n");
    nSpp = 0;
}

TEST_F(HierarchicalAccumTest, LevelsIndeterminacyAndTheIntermediateFile) {
    LoadTraits("1");
    printSpp = print_indet = 'y';  // a session without species names
    HierarchicalAccum();
    EXPECT_EQ(dirtyOrig, 1);
    EXPECT_EQ((tnxtest::Ints{rcst[0], rcst[1], rcst[2]}), (tnxtest::Ints{4, 3, 2}));
    // Level 1 {1,3} {2} {4} {5}; level 2 {1,2,3} {4} {5}; level 3 {1,2,3,5} {4}.
    EXPECT_EQ(Read("s1Hie.txt"), "4\t4\n2 1 1 0 \n0 1 0 1 \n0 0 1 1 \n1 1 1 1 \n"
                                 "3\t4\n2 2 1 1 \n0 0 1 1 \n1 1 1 1 \n2\t4\n3 3 2 2 \n0 0 1 1 \n");
    // Jaccard distances of the presences. Level 1: (1,2) 1/3, (1,3) 1/3, (1,4) 3/4, (2,3),
    // (2,4), (3,4) 1/2: mean 2.916667/6. Level 2: four pairs at 1/3, two at 0. Level 3: four
    // pairs at 1/2.
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
    // The crisp tables, then the fuzzy-weighted ones, of every level; no pairs.
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "\nContingency table level 3: \n"), 2);
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "Community pair"), 0);
    // Each type of level 1 takes a fuzzy share of its community's total: the column sums stay
    // the community totals 3 3 3 3, and type 3, absent from c1, gets a share there.
    std::istringstream hie(Read("s1Hie.txt"));
    int rows = 0, cols = 0;
    float v[4][4] = {};
    hie >> rows >> cols;
    for (int k = 0; k < 16; k++) hie >> v[k / 4][k % 4];
    for (int c = 0; c < 4; c++) EXPECT_NEAR(v[0][c] + v[1][c] + v[2][c] + v[3][c], 3.0, 1e-5) << c;
    EXPECT_GT(v[2][0], 0.0f);

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
    EXPECT_EQ(Entries(), 3) << "d.txt and the console files only";
    EXPECT_EQ(Count(Out(), "nothing was computed.\n"), 2);
}

TEST_F(HierarchicalAccumTest, PolytheticTypesFromSingleLinkageOfTheMonotheticOnes) {
    // Gower similarity (ranges 1): monothetic groups {1,3} {2} {4} {5}; between them
    // S(1,2) = S(1,4) = S(2,5) = 2/3, S(1,5) = S(2,4) = 1/3, S(4,5) = 0. Single linkage joins
    // {1,3} with 2, then with 4: two polythetic groups {1,2,3,4} and {5}.
    LoadTraits("1");
    clusMethPoolCSTs = 1, nGrPoly[0] = 2, princont = 'y';
    HierarchicalAccumPolythetic();
    EXPECT_EQ(Read("s1Hie.txt"), "2\t4\n2 2 2 2 \n1 1 1 1 \n");
    // Pooled states of group 1: traits (1,1,1,2) -> 1, (2,2,2,2) -> 2, (3,4,3,3) -> 3.
    const std::string r = Read("s1Prinda.txt");
    EXPECT_EQ(Count(r, "1  \t  \t1\t2\t3\t  2\t  2\t  2\t  2\t\n2  \t  \t1\t3\t4\t  1\t  1\t  1\t  1\t\n"), 1);
    EXPECT_EQ(Count(r, "Monothetic PFTs (identical populations for the selected traits were pooled): \n1\t2\t1\t3\t4\t\n"
                       "\nPopulations pooled according to groups (polythetic PFTs):\n1\t1\t1\t1\t2\t\n"),
              1);
    // More polythetic types than monothetic ones: refused, nothing written.
    LoadTraits("1");
    std::remove("s1Prinda.txt");
    nGrPoly[0] = 5;
    HierarchicalAccumPolythetic();
    EXPECT_FALSE(std::ifstream("s1Prinda.txt").good());
    EXPECT_NE(Err().find("(4): nothing was computed."), std::string::npos);
    clusMethPoolCSTs = 0;
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
    // c1 = (2, 0, 7), columns 1 and 3 of length sqrt 45 and sqrt 391.
    LoadTraits("1");
    weight[1] = 0, cadat[0][0] = -999;
    ASSERT_TRUE(FrequencyTraitsScalingUp_Old());
    const std::string hie = Read("s1Hie.txt");
    EXPECT_EQ(Count(hie, "3\t4\n0.298142\t"), 1);
    EXPECT_EQ(Count(hie, "\n0\t0\t0\t0\t\n0.354005\t"), 1);
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "community-level trait description:\ntr1tr3\n"), 1);
    LoadTraits("2.5");
    std::remove("s1Hie.txt");
    EXPECT_FALSE(FrequencyTraitsScalingUp_Old());
    EXPECT_FALSE(std::ifstream("s1Hie.txt").good());
}

}  // namespace
