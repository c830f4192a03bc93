// Structured table (arranged by groups, partitions kept), exports by hand, presence and dominance.
#include "classical/TNXTABLE.h"
#include "OrdinationFixture.h"

using namespace tnxtest;

namespace {

class TableTest : public StructureTest {
protected:
    void SetUp() override {
        StructureTest::SetUp();
        for (int t = 0; t < 3; t++) nchor[t] = t + 1;
        whichLevelGrCST = 1, printSpp = 'n';
    }
    // Species Abcd, Bcde, Cdef: the first type (OTU) holds Bcde, the second Abcd and Cdef.
    static void Species() {
        nSpp = 3, spp = dim2Dchar(3, kSpeciesNameSize), cstSppMap = dim2Dchar(tcst, 4);
        std::strcpy(cstSppMap[0], "010"), std::strcpy(cstSppMap[1], "101");
        for (int s = 0; s < 3; s++) std::strcpy(spp[s], Strings{"Abcd Alpha one", "Bcde Beta", "Cdef Gamma"}[s].c_str());
    }
};

// Communities of groups B A B A and OTUs (the level-1 types) of groups 1 1 2 2 1 come in group
// order: columns c2 c4 c1 c3, rows 1 2 5 3 4; type 1 (W row 1 0 1 0) reads 0 0 1 1. Without
// partitions every community and type becomes a group of its own, and the session keeps them;
// each type's species are listed.
TEST_F(TableTest, ArrangedByGroupsOrOneEach) {
    const int cg[4] = {2, 1, 2, 1}, tg[5] = {1, 1, 2, 2, 1};
    for (int c = 0; c < 4; c++) groupRel[c] = cg[c];
    for (int k = 0; k < 5; k++) groupCst[k] = tg[k], std::snprintf(grCstLabel[k], 5, "%c", 'x' + k % 2);
    std::strcpy(grLabel[0], "A"), std::strcpy(grLabel[1], "B");
    nGroups = nCstGroups = 2;
    StructTable();
    const std::string table = Read("s1Prinda.txt");
    EXPECT_TRUE(Has(table, " c2\t c4\t c1\t c3\t\n"));
    EXPECT_TRUE(Has(table, "  A\t  A\t  B\t  B\t\n"));
    const size_t rows[5] = {table.find("\n1  \tx \t"), table.find("\n2  \tx \t"), table.find("\n5  \tx \t"),
                            table.find("\n3  \ty \t"), table.find("\n4  \ty \t")};
    for (int r = 1; r < 5; r++) EXPECT_LT(rows[r - 1], rows[r]) << r;
    EXPECT_TRUE(Has(table, " 1\t 2\t 3\t  0\t  0\t  1\t  1\t\n"));
    nGroups = nCstGroups = 0;
    Species();
    // The species are listed only when asked for, though the data hold them.
    std::remove("s1Prinda.txt");
    printSpp = 'n';
    StructTable();
    EXPECT_FALSE(Has(Read("s1Prinda.txt"), "Species"));
    printSpp = 'y';
    StructTable();
    EXPECT_TRUE(Has(Read("s1Prinda.txt"), "level 1:\nPFT#\tSpecies\n1   \tBcde Beta\t\n2   \tAbcd Alpha one\tCdef Gamma\t\n3"));
    EXPECT_EQ((Ints{nGroups, nCstGroups, groupRel[3], groupCst[4], dirtyOrig}), (Ints{4, 5, 4, 5, 1}));
    EXPECT_EQ((Strings{grLabel[0], grLabel[3], grCstLabel[0], grCstLabel[4]}), (Strings{"1", "4", "1", "5"}));
    std::remove("s1Prinda.txt");
    for (int level : {0, 4}) whichLevelGrCST = level, StructTable();  // no such level: no table
    EXPECT_FALSE(std::ifstream("s1Prinda.txt").good());
}

// The exports of a level of two types, and in a species table (one trait "sp") each type's
// species through the species map.
TEST_F(TableTest, ExportFiles) {
    WriteHie({{1, 0, 2.5, 0}, {0, 3, 0, 1}});
    Store(1, kSquared);
    PrintOrbaldFormat(1), PrintReseRowFormat(rese[0], 2);
    EXPECT_EQ(Read("s1l1Orbald.txt"), "1\t0\t2.5\t0\t\n0\t3\t0\t1\t\n\nc1\tc2\tc3\tc4\t\n1\t2\t\n");
    EXPECT_EQ(Read("s1l2Rese.txt"), "10\t20\t50\t26\t30\t30\t");
    PrintMatrixFormat(1);
    EXPECT_EQ(Read("s1l1Mulva5.txt"), "\t1\t0\t2.5\t0\n\t0\t3\t0\t1\n\n\nData matrix: 2 PFTs or species (rows) by 4 "
                                      "communities (columns)\nThe list of 2 species (if it is the case) folows.\n\n"
                                      "Releve labels:\tc1\tc2\tc3\tc4\t\n");
    nch = 1, std::strcpy(chLabel[0], "sp");
    Species();
    PrintMulvaFormat(1), PrintOrbaldFormat(1);
    EXPECT_EQ(Read("s1l1Mulva5.txt"), "\t\tc1\tc2\tc3\tc4\n1\tBeta\t1\t0\t2.5\t0\n2\tAlpha one\tGamma\t0\t3\t0\t1\n");
    EXPECT_TRUE(Has(Read("s1l1Orbald.txt"), "c4\t\nBcde\tAbcd\tCdef\t\n\nBeta\nAlpha one\nGamma\n"));
    PrintMatrixFormat(1);
    EXPECT_TRUE(Has(Read("s1l1Mulva5.txt"), "\t1\nBeta\nAlpha one\nGamma\n\n"));
    nch = 3, std::strcpy(chLabel[0], "tr1");
}

// Presence 50, 100, 50, 0 %: by decreasing presence, the later type first among equals; dominance
// the mean where present, 0 where absent everywhere.
TEST_F(TableTest, SummaryOfPresenceAndDominance) {
    OwnedTable<float> t(4, 4);
    const float v[4][4] = {{2, 1, 5, 0}, {0, 1, 0, 0}, {4, 1, 0, 0}, {0, 1, 1, 0}};
    for (int c = 0; c < 4; c++)
        for (int k = 0; k < 4; k++) t[c][k] = v[c][k];
    MemoryReport text;
    PrintSummary(text.stream(), 4, 4, t.get());
    ASSERT_TRUE(text.Close());
    EXPECT_EQ(std::string(text.data(), text.size()),
              "Presence(%) and dominance (average peformance when PFT is present):\nPFT\t\tPresence(%)\t\tAvg.perf.\n"
              "---\t\t-----------\t\t---------\n  2\t\t        100\t\t        1\n  3\t\t         50\t\t        3\n"
              "  1\t\t         50\t\t        3\n  4\t\t          0\t\t        0\n\n");
    MemoryReport none;  // no community at all: presence 0, never undefined
    PrintSummary(none.stream(), 0, 1, t.get());
    ASSERT_TRUE(none.Close());
    EXPECT_TRUE(Has(std::string(none.data(), none.size()), "\n  1\t\t          0\t\t        0\n"));
}

// The printers of the family: species by code, wrapped past maxColsPrint = 8 (4 + 5 per code), or
// by whole name (map rows of exactly nSpp flags); the earlier contingency table, values
// right-aligned to the widest (4 characters); the environmental variables by community.
TEST_F(TableTest, SpeciesListsEarlierTableAndVariables) {
    Species();
    std::vector<char> first = {'0', '1', '0'}, second = {'1', '0', '1'};
    char *map[2] = {first.data(), second.data()}, pH[] = "pH", N[] = "N", r1[] = "r1", r2[] = "r2";
    char *vars[2] = {pH, N}, *rels[2] = {r1, r2};
    int groups[2] = {1, 1};
    OwnedTable<float> e(2, 2);
    e[0][0] = 1.5f, e[0][1] = 2, e[1][0] = -3, e[1][1] = 0.25f;
    MemoryReport text;
    maxColsPrint = 8;
    PrintSppNEW(text.stream(), 2, map, spp, nullptr, 0);
    maxColsPrint = 2147483647;
    PrintSppNEW(text.stream(), 2, map, spp, rels, 1);
    PrintTables_i(0, text.stream(), 1, 2, 2, rels, e.get(), vars, rels, 1, vars, rels, groups, groups);
    ASSERT_TRUE(text.Close());
    const std::string head = "PFT#\tSpecies\n----\t-------------------------------------------\n";
    EXPECT_EQ(std::string(text.data(), text.size()),
              head + "1   \tBcde\t\n2   \tAbcd\t\n    \tCdef\t\n" + head + "r1  \tBcde Beta\t\nr2  \tAbcd Alpha one\t" +
                  "Cdef Gamma\t\nContingency table: \nCST\tGr\ttr\t  pH\t   N\t\nGr \t  \t  \t  pH\t  pH\t\n---\t--\t--\t" +
                  " ---\t ---\t\nr1 \tr1\tr1\t 1.5\t  -3\t\nr2 \tr1\tr2\t   2\t0.25\t\n\n");
    std::remove("s1Prinda.txt");
    PrintEnvMatrix(2, 2, e.get(), vars, rels);
    EXPECT_EQ(Read("s1Prinda.txt"), "\n\nENVIRONMENTAL VARIABLES \nRelevs:\tr1\tr2\npH\t1.5\t-3\nN\t2\t0.25\n\n");
}

}  // namespace
