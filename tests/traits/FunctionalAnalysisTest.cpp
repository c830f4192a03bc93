// The functional analysis run in the process on the five-OTU data set of the session tests: the
// files it writes (whole, or not at all), its refusals and the sections it leaves out.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/ClaimedCpus.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "../common/TimeStampLine.h"
#include "traits/FiveOtusAnalysis.h"
#include "traits/TNXRESE.h"

namespace {

using tnxtest::CodeOf;
using tnxtest::Count;

// The numbers printed after a heading.
std::vector<double> After(const std::string& text, const std::string& heading, int count) {
    std::vector<double> v;
    const size_t at = text.find(heading);
    if (at == std::string::npos) return v;
    const char* p = text.c_str() + at + heading.size();
    for (int i = 0; i < count; i++) {
        char* end = nullptr;
        v.push_back(std::strtod(p, &end));
        p = end;
    }
    return v;
}

class FunctionalAnalysis : public tnxtest::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        tnxtest::LoadFiveOtusAnalysis('n');
    }
    static bool Exists(const char* name) { return std::filesystem::exists(name); }
};

TEST_F(FunctionalAnalysis, RandomDataFileOnlyWhenAskedFor) {
    Write("s1RDa.txt", "saved earlier\n");
    ASSERT_TRUE(PFTs_ScalingUp());
    EXPECT_EQ(Read("s1RDa.txt"), "saved earlier\n");
    EXPECT_EQ(std::string(whichRndData), "s1RDa.txt");

    saveRndData = 'y';
    ASSERT_TRUE(PFTs_ScalingUp());
    const std::string rnd = Read("s1RDa.txt");
    EXPECT_EQ(Count(rnd, "INTERMEDIATE RESULTS\n"), 1);
    // The last of the 8 permutations: its traits, types and similarities blocks.
    EXPECT_EQ(Count(rnd, "\n\nITERATION\t8\n"), 3);
    EXPECT_FALSE(Exists("s1RDa.txt.part"));
    for (const auto& e : std::filesystem::directory_iterator("."))  // no temporary file left behind
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "\nNumber of iterations for permutation tests: 9\n"), 1);
}

// The OTU lists of the random-data file: does some list name an OTU twice?
bool SomeListRepeatsAnOtu(const std::string& rnd) {
    const std::string label = "\nOrder of original OTUs in permuted traits matrix Brnd:\t";
    for (size_t at = rnd.find(label); at != std::string::npos; at = rnd.find(label, at + 1)) {
        const char* p = rnd.c_str() + at + label.size();
        int seen[6] = {0};
        for (int i = 0; i < 5; i++) {
            char* end = nullptr;
            const long otu = std::strtol(p, &end, 10);
            if (otu >= 1 && otu <= 5 && seen[otu]++) return true;
            p = end;
        }
    }
    return false;
}

TEST_F(FunctionalAnalysis, TheWeightedNullModelReachesTheTest) {
    // W holds 12 occurrences (OTU 5 in all four communities): drawn from them, the OTUs of a list
    // repeat; a permutation never repeats one.
    saveRndData = 'y';
    ASSERT_TRUE(PFTs_ScalingUp());
    EXPECT_FALSE(SomeListRepeatsAnOtu(Read("s1RDa.txt")));
    optWeightedNullModel = 1;
    ASSERT_TRUE(PFTs_ScalingUp());
    EXPECT_TRUE(SomeListRepeatsAnOtu(Read("s1RDa.txt")));
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "was weighted by its frequency in the community set.\n"), 1);
}

// The text without its clock lines (time stamps, the elapsed time), the only lines that may
// differ between two runs.
std::string WithoutStamps(const std::string& text) {
    std::string out, line;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        line = text.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
        if (!tnxtest::IsTimeStampLine(line) && line.rfind("Elapsed time for the test(s): ", 0) != 0) out += line;
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return out;
}

// The same seed gives the same report and the same random-data file, byte for byte, whether the
// permutations run on one thread or are shared among four: each measure, the occurrence-drawn
// and the nested null models, and the phylogeny's statistics.
TEST_F(FunctionalAnalysis, SameSeedSameFilesWithOneThreadAndWithFour) {
    const struct {
        int measure, weighted, restriction;
        bool phylogeny;
    } cases[] = {{1, 0, 0, false}, {2, 0, 0, false}, {3, 0, 0, false}, {1, 1, 0, false},
                 {2, 0, 1, false}, {1, 0, 0, true},  {2, 0, 0, true},  {3, 1, 0, true}};
    const char* env = std::getenv("TARNEX_THREADS");
    const std::string saved = env ? env : "";
    const ClaimedCpus cpus(4);
    for (const auto& c : cases) {
        int taxa[5] = {1, 1, 2, 2, 3};
        if (c.phylogeny) {
            tnxtest::LoadFiveOtus(true);
            nTaxa = 3, phylogenyMatrixType = 1, partition_OTUs_Phyl = taxa;
        }
        includePhylogeny = c.phylogeny;
        opt_ro = c.measure, optWeightedNullModel = c.weighted, optRestrictPermutNullModel = c.restriction;
        int groups[5] = {1, 1, 2, 2, 2};
        nestingMembershipOTUs = groups;
        niter = 40, saveRndData = 'y';
        std::string report[2], rnd[2];
        for (int run = 0; run < 2; run++) {
            setenv("TARNEX_THREADS", run == 0 ? "1" : "4", 1);
            ASSERT_TRUE(PFTs_ScalingUp()) << c.measure;
            report[run] = WithoutStamps(Read("s1Prinda.txt"));
            rnd[run] = Read("s1RDa.txt");
        }
        EXPECT_EQ(report[1], report[0]) << c.measure << " " << c.weighted << " " << c.restriction << " " << c.phylogeny;
        EXPECT_EQ(rnd[1], rnd[0]) << c.measure << " " << c.weighted << " " << c.restriction << " " << c.phylogeny;
        // Every permutation is in the file, the last one last.
        EXPECT_EQ(Count(rnd[0], "\n\nITERATION\t39\n"), 3);
        EXPECT_GT(rnd[0].rfind("\n\nITERATION\t39\n"), rnd[0].rfind("\n\nITERATION\t38\n"));
        EXPECT_GT(report[0].size(), 1000u);
        nestingMembershipOTUs = partition_OTUs_Phyl = nullptr;
    }
    if (env)
        setenv("TARNEX_THREADS", saved.c_str(), 1);
    else
        unsetenv("TARNEX_THREADS");
}

TEST_F(FunctionalAnalysis, ATypeWithoutAValueHasNoAverage) {
    // OTU 5 alone makes type 3; without its tr1 value the type has no tr1 average (-999), while
    // type 1 (OTUs 1 and 2) averages (1 + 2)/2, (2 + 3)/2, (3 + 4)/2.
    csm_Float[4][0] = -999.0f;
    ASSERT_TRUE(PFTs_ScalingUp());
    const std::vector<double> a = After(Read("s1Prinda.txt"), "\nAverage trait matrix (3 types x 3 traits):\n", 9);
    EXPECT_EQ(a, (std::vector<double>{1.5, 2.5, 3.5, 3.5, 4.5, 5.5, -999, 6, 7}));
}

TEST_F(FunctionalAnalysis, TypesBuiltByClustering) {
    // Gower similarity of the five OTUs (rows 1 2 3, 2 3 4, ..., each trait of range 4):
    // 1 - |i - j|/4. UPGMA on similarities fuses OTUs 1 and 2 (0.75, the first such pair), then
    // 3 and 4 (0.75; the group 1+2 is 0.625 from OTU 3): 3 types {1 2} {3 4} {5}.
    // Ward's method on 2(1 - s) fuses the same pairs first.
    printDetail = 1;
    for (int method : {4, 3}) {
        clusMethPoolCSTs = method;
        ASSERT_TRUE(PFTs_ScalingUp()) << method;
        const std::string t = Read("s1Prinda.txt");
        EXPECT_EQ(Count(t, "\nWith this trait subset there are 5 monothetic types of OTUs.\n\nSimilarity matrix between 5 "
                           "monothetic types, based on 3 traits:\n1\t\n0.75\t1\t\n0.5\t0.75\t1\t\n"), 1) << method;
        EXPECT_EQ(Count(t, "\nPartition vector of 5 OTUs in 5 monothetic types:\n1\t2\t3\t4\t5\t\n"
                           "\nPartition vector of 5 OTUs in 3 polythetic types:\n1\t1\t2\t2\t3\t\n"), 1) << method;
        EXPECT_EQ(Count(t, "Labels of"), 0) << method;
        EXPECT_EQ(Count(t, "\nNumber of OTUs in each type:\n2\t2\t1\t\n"), 1) << method;
    }
    // Two types: UPGMA then joins {3 4} and {5} (0.625, against 0.5 for {1 2} and {3 4}).
    nGrPoly[0] = 2;
    clusMethPoolCSTs = 4;
    ASSERT_TRUE(PFTs_ScalingUp());
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "\nPartition vector of 5 OTUs in 2 polythetic types:\n1\t1\t2\t2\t2\t\n"), 1);
    nGrPoly[0] = 3;

    // OTUs 1 and 2 identical: 4 monothetic groups. A single nominal trait: its states are the
    // types, whatever number of types was asked for.
    for (int j = 0; j < 3; j++) csm_Float[1][j] = csm_Float[0][j];
    chtype[0] = 2;
    weight[1] = weight[2] = 0.0f;
    ASSERT_TRUE(PFTs_ScalingUp());
    const std::string t = Read("s1Prinda.txt");
    EXPECT_EQ(Count(t, "\nWith this trait subset there are 4 monothetic types of OTUs.\n"), 1);
    EXPECT_EQ(Count(t, "\nPartition vector of 5 OTUs in 4 polythetic types:\n1\t1\t2\t3\t4\t\n"), 1);
    EXPECT_EQ(Count(t, "Number of types examined: \t4\n"), 1);
}

// The number of clustered types asked against the number g of monothetic groups, on both sides
// of each bound: k = 1, 2, g and g + 1 for g = 1, 2 and 3. OTU i takes the traits (a_i, a_i + 1,
// a_i + 2), so that the three Gower layers agree: s(i, j) = 1 - |a_i - a_j| / range(a), exactly 1
// for equal a. W (raw, crisp types): c1 = {1 3 5}, c2 = {2 3 5}, c3 = {1 4 5}, c4 = {2 4 5}.
// - a = 1 1 1 1 1: one group; no k from 2 to 1 exists, none is examined.
// - a = 1 1 1 3 3: groups {1 2 3} {4 5} (s = 0 between them); k = 2 keeps them apart, sizes
//   3 2, X = W C = c1 (2 1), c2 (2 1), c3 (1 2), c4 (1 2).
// - a = 1 1 2 4 4: groups G1 = {1 2}, G2 = {3}, G3 = {4 5}, s(G1, G2) = 2/3, s(G2, G3) = 1/3,
//   s(G1, G3) = 0. Every method fuses the closest pair G1 G2 first: k = 2 gives {1 2 3} {4 5}
//   (the X above); k = 3 is the groups themselves, sizes 2 1 2, X = c1 (1 1 1), c2 (1 1 1),
//   c3 (1 0 2), c4 (1 0 2).
// k = 1 and k = g + 1 are not examined: no partition, no X and no statistics.
TEST_F(FunctionalAnalysis, ClusteredTypesAskedAgainstTheMonotheticGroups) {
    const struct {
        float a[5];
        int g;
        const char* monothetic;
        int k;
        const char* polythetic;  // null: k not examined
        const char* sizes;
        std::vector<double> X;  // communities in rows
    } cases[] = {
        {{1, 1, 1, 1, 1}, 1, "1\t1\t1\t1\t1\t", 1, nullptr, "", {}},
        {{1, 1, 1, 1, 1}, 1, "1\t1\t1\t1\t1\t", 2, nullptr, "", {}},
        {{1, 1, 1, 3, 3}, 2, "1\t1\t1\t2\t2\t", 1, nullptr, "", {}},
        {{1, 1, 1, 3, 3}, 2, "1\t1\t1\t2\t2\t", 2, "1\t1\t1\t2\t2\t", "3\t2\t", {2, 1, 2, 1, 1, 2, 1, 2}},
        {{1, 1, 1, 3, 3}, 2, "1\t1\t1\t2\t2\t", 3, nullptr, "", {}},
        {{1, 1, 2, 4, 4}, 3, "1\t1\t2\t3\t3\t", 1, nullptr, "", {}},
        {{1, 1, 2, 4, 4}, 3, "1\t1\t2\t3\t3\t", 2, "1\t1\t1\t2\t2\t", "3\t2\t", {2, 1, 2, 1, 1, 2, 1, 2}},
        {{1, 1, 2, 4, 4}, 3, "1\t1\t2\t3\t3\t", 3, "1\t1\t2\t3\t3\t", "2\t1\t2\t", {1, 1, 1, 1, 1, 1, 1, 0, 2, 1, 0, 2}},
        {{1, 1, 2, 4, 4}, 3, "1\t1\t2\t3\t3\t", 4, nullptr, "", {}},
    };
    fuzzy = 0, optUnitTotalAdjust2 = false, optRndTests = false;
    for (const auto& c : cases)
        for (int method = 1; method <= 5; method++) {
            const std::string at = "g " + std::to_string(c.g) + ", k " + std::to_string(c.k) + ", method " +
                                   std::to_string(method);
            for (int i = 0; i < 5; i++)
                for (int j = 0; j < 3; j++) csm_Float[i][j] = c.a[i] + static_cast<float>(j);
            clusMethPoolCSTs = method, nGrPoly[0] = c.k;
            ASSERT_TRUE(PFTs_ScalingUp()) << at;
            const std::string t = Read("s1Prinda.txt");
            EXPECT_EQ(Count(t, "Number of types examined: \t" + std::to_string(c.k) + "\n"), 1) << at;
            EXPECT_EQ(Count(t, "\nWith this trait subset there are " + std::to_string(c.g) + " monothetic types of OTUs.\n"),
                      1) << at;
            if (!c.polythetic) {
                EXPECT_EQ(Count(t, "Partition vector"), 0) << at;
                EXPECT_EQ(Count(t, "Pooled performance"), 0) << at;
                EXPECT_EQ(Count(t, "Statistics"), 0) << at;
                continue;
            }
            const std::string k = std::to_string(c.k);
            EXPECT_EQ(Count(t, "\nPartition vector of 5 OTUs in " + std::to_string(c.g) + " monothetic types:\n" +
                                   c.monothetic + "\n\nPartition vector of 5 OTUs in " + k + " polythetic types:\n" +
                                   c.polythetic + "\n"),
                      1) << at;
            EXPECT_EQ(Count(t, "\nStatistics:\n"), 1) << at;
            EXPECT_EQ(Count(t, "\nNumber of crisp types:\t" + k + "\n"), 1) << at;
            EXPECT_EQ(Count(t, "\nNumber of OTUs in each type:\n" + std::string(c.sizes) + "\n"), 1) << at;
            EXPECT_EQ(After(t, "\nPooled performance matrix X (4 communities x " + k + " crisp types):\n", 4 * c.k), c.X)
                << at;
        }
}

TEST_F(FunctionalAnalysis, EnvironmentalResemblanceByTheKindOfVariables) {
    // e1 = (1 2 3 4), e2 = (4 3 2 1). Same units: the raw Euclidean distance, sqrt(2) |i - j|.
    // Several types with e1 nominal: 1 - Gower = 1 - (0 + 1 - |i - j|/3)/2.
    const std::string heading = "Resemblance matrix (DE) between community sites based on ecological variables:\n";
    optEnvVarType = 1;
    ASSERT_TRUE(PFTs_ScalingUp());
    std::vector<double> de = After(Read("s1Prinda.txt"), heading, 10);  // lower half of 4
    ASSERT_EQ(de.size(), 10u);
    EXPECT_NEAR(de[1], std::sqrt(2.0), 1e-5);      // (0, 1)
    EXPECT_NEAR(de[6], 3 * std::sqrt(2.0), 1e-5);  // (0, 3)

    optEnvVarType = 5, temEnvQual = 1, envVarType[0] = 2;
    ASSERT_TRUE(PFTs_ScalingUp());
    de = After(Read("s1Prinda.txt"), heading, 10);
    ASSERT_EQ(de.size(), 10u);
    EXPECT_NEAR(de[1], 1 - (1 - 1 / 3.0) / 2, 1e-5);
    EXPECT_NEAR(de[6], 1.0, 1e-5);
}

TEST_F(FunctionalAnalysis, AppendingToAnEmptyReportAndEachGroupItsOwnClusteredType) {
    Write("s1Prinda.txt", "");
    std::snprintf(prindaMode, sizeof prindaMode, "a");
    ASSERT_TRUE(PFTs_ScalingUp());
    EXPECT_EQ(Read("s1Prinda.txt").substr(0, 71), std::string(70, '-') + "\n");

    // As many clustered types as monothetic groups: each group its own type.
    clusMethPoolCSTs = 1;
    nGrPoly[0] = 5;
    std::snprintf(prindaMode, sizeof prindaMode, "w");
    ASSERT_TRUE(PFTs_ScalingUp());
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "\nPartition vector of 5 OTUs in 5 polythetic types:\n1\t2\t3\t4\t5\t\n"), 1);
}

TEST_F(FunctionalAnalysis, EntrySettingsForTheSearchAndTheTrack) {
    weight[2] = 0.0f;
    optUnitTotalAdjust1 = false;
    ASSERT_TRUE(PFTs_ScalingUp());
    EXPECT_EQ(opt_struct, 9);
    EXPECT_TRUE(optUnitTotalAdjust1);
    EXPECT_EQ((std::vector<int>{nMinCSTGroupsChRank, nMaxCSTGroupsChRank, nMinTraitsChRank, nMaxTraitsChRank}),
              (std::vector<int>{3, 3, 2, 2}));
    // RangeStates refreshed the ranges of the interval traits: 5 - 1, 6 - 2, 7 - 3.
    EXPECT_EQ((std::vector<float>{chrange[0], chrange[1], chrange[2]}), (std::vector<float>{4, 4, 4}));
}

TEST_F(FunctionalAnalysis, AReportThatCannotBeWrittenRaisesCode4AndWritesNothing) {
    std::snprintf(whichPrinda, sizeof whichPrinda, "no-such-dir/s1Prinda.txt");
    testing::internal::CaptureStderr();
    EXPECT_EQ(CodeOf([] { PFTs_ScalingUp(); }), TNX_FAIL_TO_OPEN);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\ncan't open no-such-dir/s1Prinda.txt: No such file or directory \n");
    // Appending to a report that cannot be opened: the same code.
    std::snprintf(prindaMode, sizeof prindaMode, "a");
    testing::internal::CaptureStderr();
    EXPECT_EQ(CodeOf([] { PFTs_ScalingUp(); }), TNX_FAIL_TO_OPEN);
    testing::internal::GetCapturedStderr();
}

TEST_F(FunctionalAnalysis, RefusalsWriteNothing) {
    struct {
        const char* name;
        void (*set)();
        const char* message;
    } cases[] = {
        {"one community", [] { ncsm = 1; }, "\nThe functional analysis needs at least 2 communities.\n"},
        {"Procrustes with a missing value in E", [] { opt_ro = 2, env[1][1] = -999.0f; },
         "\nProcrustes and RV congruences cannot be computed with missing values in matrix E (or, with the "
         "phylogeny, in matrix B).\n"},
        {"RV with a missing trait value and the phylogeny", [] { opt_ro = 3, includePhylogeny = true, csm_Float[0][0] = -999.0f; },
         "\nProcrustes and RV congruences cannot be computed with missing values in matrix E (or, with the "
         "phylogeny, in matrix B).\n"},
    };
    for (const auto& c : cases) {
        const int communities = ncsm;
        const float e = env[1][1], b = csm_Float[0][0];
        c.set();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(PFTs_ScalingUp()) << c.name;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message) << c.name;
        EXPECT_FALSE(Exists("s1Prinda.txt")) << c.name;
        ncsm = communities, env[1][1] = e, csm_Float[0][0] = b, opt_ro = 1, includePhylogeny = false;
    }
    // Two communities are enough.
    const int communities = ncsm;
    ncsm = 2;
    EXPECT_TRUE(PFTs_ScalingUp());
    ncsm = communities;
    EXPECT_TRUE(Exists("s1Prinda.txt"));
}

TEST_F(FunctionalAnalysis, WithoutSelectedTraitsOrWithoutTypesTheSectionStopsEarly) {
    saveRndData = 'y';
    printDetail = 1;
    for (int j = 0; j < nch; j++) weight[j] = 0.0f;
    ASSERT_TRUE(PFTs_ScalingUp());
    std::string t = Read("s1Prinda.txt");
    EXPECT_EQ(Count(t, "\nTrait matrix B with 5 OTUs by 3 traits: \n"), 1);
    EXPECT_EQ(Count(t, "Ecological variables"), 0);
    EXPECT_FALSE(Exists("s1RDa.txt")) << "no test, no random-data file";

    // Every OTU its own type is examined (k = tcst); one type more is not.
    for (int j = 0; j < nch; j++) weight[j] = 1.0f;
    for (int i = 0; i < 5; i++) partition_OTUs[i] = i + 1;
    nGrPoly[0] = 5;
    ASSERT_TRUE(PFTs_ScalingUp());
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "\nNumber of fuzzy types:\t5\n"), 1);
    std::remove("s1RDa.txt");
    for (int k : {6, 1}) {
        nGrPoly[0] = k;
        ASSERT_TRUE(PFTs_ScalingUp());
        t = Read("s1Prinda.txt");
        EXPECT_EQ(Count(t, "\nMatrix T with normalized traits"), 1) << k;
        EXPECT_EQ(Count(t, "Partition vector"), 0) << k;
        EXPECT_EQ(Count(t, "FUNCTIONAL DIVERSITY"), 0) << k;
        EXPECT_FALSE(Exists("s1RDa.txt")) << k;
    }
}

}  // namespace
