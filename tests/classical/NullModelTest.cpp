// The null models of the randomisation tests: what each random data set keeps (checked over 10^4
// draws with fixed seeds), strata, relocations, random taxa, the restricted and window forms, the
// orderings by presence and the synthetic data; the distributions file and the analysis-of-variance
// table by hand.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "classical/TNXEVAL.h"
#include "classical/tnxRnd.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibRandom.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"

namespace {

using Grid = std::vector<std::vector<float>>;

// A table of row pointers over a Grid (the generators take float**).
struct Rows {
    explicit Rows(Grid& g) {
        for (auto& r : g) p.push_back(r.data());
    }
    float** get() { return p.data(); }
    std::vector<float*> p;
};

void Seed(unsigned s) {
    std::srand(s);
    InitRndNumberGenerator(s);
}

// W: 6 OTUs (rows) by 5 communities, values differing so that totals and slots can be told apart.
const Grid kW = {{1, 0, 2, 0, 0}, {0, 3, 0, 1, 5}, {4, 0, 0, 2, 0}, {0, 1, 6, 0, 2}, {2, 2, 0, 0, 3}, {0, 0, 1, 7, 0}};

// The occurrences of W in OTU order (community by community within an OTU), their richness per
// community; grouped by stratum of w.
struct List {
    std::vector<Occurrence> occ;
    std::vector<int> richness, perWindow;
    List(const Grid& w, int strata) : richness(w[0].size(), 0), perWindow(strata, 0) {
        for (int s = 0; s < strata; s++)
            for (size_t o = 0; o < w.size(); o++)
                for (size_t c = s; c < w[o].size(); c += strata)
                    if (w[o][c] != 0) {
                        occ.push_back({int(o), int(c), w[o][c]});
                        richness[c]++;
                        perWindow[s]++;
                    }
    }
};

struct Summary {
    std::vector<int> richness, occurrences;
    std::vector<double> totals;
    std::multiset<float> values;  // every non-zero cell
};

Summary Summarise(const Grid& w) {
    Summary s{std::vector<int>(w[0].size()), std::vector<int>(w.size()), std::vector<double>(w[0].size()), {}};
    for (size_t o = 0; o < w.size(); o++)
        for (size_t c = 0; c < w[o].size(); c++) {
            s.totals[c] += w[o][c];
            if (w[o][c] == 0) continue;
            s.richness[c]++;
            s.occurrences[o]++;
            s.values.insert(w[o][c]);
        }
    return s;
}

// Draws until the composition succeeds; the number of failures is returned through `failed`.
void Draw(Grid& out, const List& l, int w, int keepRich, int keepTotal, int* failed) {
    Rows r(out);
    while (!RndCompositionGeneral(r.get(), l.occ.data(), 6, int(l.occ.size()), 5, l.richness.data(), w,
                                  l.perWindow.data(), keepRich, keepTotal))
        ++*failed;
}

// Both keep flags: every community keeps its richness and total, every OTU its occurrences, and the
// community's values are its own.
TEST(NullModel, BothKeepFlagsKeepRichnessTotalsAndOccurrences) {
    Seed(3);
    const List l(kW, 1);
    const Summary observed = Summarise(kW);
    Grid out(6, std::vector<float>(5));
    int failed = 0;
    std::set<std::vector<float>> distinct;
    for (int draw = 0; draw < 10000; draw++) {
        Draw(out, l, 1, 1, 1, &failed);
        const Summary s = Summarise(out);
        ASSERT_EQ(s.richness, observed.richness);
        ASSERT_EQ(s.occurrences, observed.occurrences);
        for (int c = 0; c < 5; c++) {
            ASSERT_EQ(s.totals[c], observed.totals[c]);
            std::multiset<float> own, got;
            for (int o = 0; o < 6; o++) {
                if (kW[o][c] != 0) own.insert(kW[o][c]);
                if (out[o][c] != 0) got.insert(out[o][c]);
            }
            ASSERT_EQ(got, own);
        }
        distinct.insert(out[0]);
    }
    EXPECT_GT(distinct.size(), 5u);  // the data do change
}

// Keep-total only: repeated hits merge, so the richness may drop but never grows; totals stay.
// Keep-richness only: each OTU keeps its occurrences and its own values.
TEST(NullModel, OneKeepFlag) {
    Seed(5);
    const List l(kW, 1);
    const Summary observed = Summarise(kW);
    Grid out(6, std::vector<float>(5));
    int failed = 0, dropped = 0;
    for (int draw = 0; draw < 10000; draw++) {
        Draw(out, l, 1, 0, 1, &failed);
        const Summary s = Summarise(out);
        for (int c = 0; c < 5; c++) {
            ASSERT_NEAR(s.totals[c], observed.totals[c], 1e-5);
            ASSERT_LE(s.richness[c], observed.richness[c]);
            dropped += s.richness[c] < observed.richness[c];
        }
    }
    EXPECT_GT(dropped, 0);
    for (int draw = 0; draw < 10000; draw++) {
        Draw(out, l, 1, 1, 0, &failed);
        const Summary s = Summarise(out);
        ASSERT_EQ(s.richness, observed.richness);
        ASSERT_EQ(s.occurrences, observed.occurrences);
        for (int o = 0; o < 6; o++) {
            std::multiset<float> own(kW[o].begin(), kW[o].end()), got(out[o].begin(), out[o].end());
            ASSERT_EQ(got, own);
        }
    }
}

// A community that needs 3 different OTUs where only 2 occur: refused draw after draw, the model
// gives up (0) instead of looping.
TEST(NullModel, ImpossibleRichnessFails) {
    Seed(7);
    const std::vector<Occurrence> occ = {{0, 0, 1}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
    const int richness[2] = {3, 1}, perWindow[1] = {4};
    Grid out(2, std::vector<float>(2));
    Rows r(out);
    EXPECT_EQ(RndCompositionGeneral(r.get(), occ.data(), 2, 4, 2, richness, 1, perWindow, 1, 1), 0);
    // Without the richness rule the two hits of an OTU merge and the model succeeds.
    EXPECT_EQ(RndCompositionGeneral(r.get(), occ.data(), 2, 4, 2, richness, 1, perWindow, 0, 1), 1);
}

// Windows of 2 over 5 communities: strata {0, 2, 4} and {1, 3}. Occurrences stay in their stratum
// (the stratum totals hold); with 3 communities the stratum {1} alone keeps its column.
TEST(NullModel, StrataKeepTheirOccurrences) {
    Seed(11);
    const List l(kW, 2);
    Grid out(6, std::vector<float>(5));
    int failed = 0;
    for (int draw = 0; draw < 10000; draw++) {
        Draw(out, l, 2, 1, 0, &failed);
        for (int o = 0; o < 6; o++) {
            ASSERT_EQ(out[o][0] + out[o][2] + out[o][4], kW[o][0] + kW[o][2] + kW[o][4]);
            ASSERT_EQ(out[o][1] + out[o][3], kW[o][1] + kW[o][3]);
        }
    }
    Grid three = {{1, 2, 3}, {4, 5, 6}}, moved(2, std::vector<float>(3));
    Rows in(three), to(moved);
    std::set<float> firsts;
    for (int draw = 0; draw < 10000; draw++) {
        RndRelLocationData(2, 3, to.get(), in.get(), 2);
        ASSERT_EQ(moved[0][1], 2);
        ASSERT_EQ(moved[1][1], 5);
        ASSERT_EQ(moved[0][0] + moved[0][2], 4);  // 1 and 3 change places or stay
        firsts.insert(moved[0][0]);
    }
    EXPECT_EQ(firsts, (std::set<float>{1, 3}));
}

// Relocated resemblances are the observed ones read through one permutation m of the communities:
// random[i][j] = observed[m(i)][m(j)] from the upper triangle. With a window as wide as the series
// every stratum holds one community and the matrix comes back unchanged.
TEST(NullModel, RelocationPermutesCommunities) {
    const int n = 4;
    std::vector<std::vector<double>> obs(n, std::vector<double>(n, -1)), rnd(n, std::vector<double>(n));
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) obs[i][j] = 10 * i + j;  // upper triangle only; diagonal 0, 11, 22, 33
    std::vector<double*> o, r;
    for (int i = 0; i < n; i++) o.push_back(obs[i].data()), r.push_back(rnd[i].data());
    double** ol[1] = {o.data()};
    double** rl[1] = {r.data()};
    isHierarchical = 0;
    Seed(13);
    RndRelLocationSMW(ol, rl, n, n);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) EXPECT_EQ(rnd[i][j], obs[std::min(i, j)][std::max(i, j)]);
    std::set<std::vector<int>> seen;
    for (int draw = 0; draw < 10000; draw++) {
        if (draw % 2) RndRelLocation(ol, rl, n);
        else RndRelLocationSMW(ol, rl, n, 1);
        std::vector<int> m(n);
        for (int i = 0; i < n; i++) m[i] = int(rnd[i][i]) / 11;
        ASSERT_TRUE(std::is_permutation(m.begin(), m.end(), std::vector<int>{0, 1, 2, 3}.begin()));
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) ASSERT_EQ(rnd[i][j], obs[std::min(m[i], m[j])][std::max(m[i], m[j])]);
        seen.insert(m);
    }
    EXPECT_EQ(seen.size(), 24u);  // every order of 4 occurs
}

// Codes of 4 OTUs and 3 traits; traits 1 and 3 marked.
struct Taxa {
    char rows[4][7] = {"010203", "040506", "070809", "101112"};
    char rnd[4][7] = {};
    int cells[4][3] = {};
    char* codes[4] = {rows[0], rows[1], rows[2], rows[3]};
    char* out[4] = {rnd[0], rnd[1], rnd[2], rnd[3]};
    int* taxa[4] = {cells[0], cells[1], cells[2], cells[3]};
    int marks[3] = {1, 0, 1};
    Taxa() { nch = 3, whatRndCh = marks; }
    ~Taxa() { whatRndCh = nullptr; }
};

// Every row gets a taxon 1..4 that no other row holds for the trait and that taxon's two characters
// of the marked traits; the unmarked trait keeps the row's own and draws nothing (taxa 0). With the
// traits dependent one taxon serves every marked trait.
TEST(NullModel, RandomTaxaAreDistinctPerTrait) {
    Taxa t;
    for (int dependent : {0, 1}) {
        chDependency = dependent;
        Seed(17);
        int sameTaxon = 0;
        for (int draw = 0; draw < 10000; draw++) {
            RndTaxon(t.codes, t.out, t.taxa, 4);
            for (int tr : {0, 2}) {
                std::set<int> k;
                for (int i = 0; i < 4; i++) {
                    const int taxon = t.taxa[i][tr];
                    ASSERT_GE(taxon, 1);
                    ASSERT_LE(taxon, 4);
                    k.insert(taxon);
                    ASSERT_EQ(std::string(t.out[i] + 2 * tr, 2), std::string(t.codes[taxon - 1] + 2 * tr, 2));
                }
                ASSERT_EQ(k.size(), 4u);
            }
            for (int i = 0; i < 4; i++) {
                ASSERT_EQ(t.taxa[i][1], 0);
                ASSERT_EQ(std::string(t.out[i] + 2, 2), std::string(t.codes[i] + 2, 2));
                ASSERT_EQ(std::strlen(t.out[i]), 6u);
                sameTaxon += t.taxa[i][0] == t.taxa[i][2];
            }
        }
        if (dependent) EXPECT_EQ(sameTaxon, 40000);
        else EXPECT_LT(sameTaxon, 40000);
    }
    chDependency = 0;
}

// Unmarked traits consume no draws: marking the first or the last trait gives the same taxa and
// leaves the C generator at the same place.
TEST(NullModel, UnmarkedTraitsDrawNothing) {
    Taxa t;
    std::vector<int> first, next;
    for (int marked : {0, 2}) {
        t.marks[0] = marked == 0, t.marks[1] = 0, t.marks[2] = marked == 2;
        Seed(19);
        RndTaxon(t.codes, t.out, t.taxa, 4);
        std::vector<int> got;
        for (int i = 0; i < 4; i++) got.push_back(t.taxa[i][marked]);
        next.push_back(std::rand());
        if (first.empty()) first = got;
        else EXPECT_EQ(got, first);
    }
    EXPECT_EQ(next[0], next[1]);
}

// Orders: each OTU's taxa follow the trait order; OTUs and rows by decreasing presence, ties kept
// in their order.
TEST(NullModel, OrdersByTraitAndPresence) {
    int cells[2][3] = {{1, 2, 3}, {4, 5, 6}};
    int* list[2] = {cells[0], cells[1]};
    int order[3] = {3, 1, 2};
    ReorderRnd(3, 2, order, list);
    EXPECT_EQ(std::vector<int>(cells[0], cells[0] + 3), (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(std::vector<int>(cells[1], cells[1] + 3), (std::vector<int>{6, 4, 5}));

    // Presences over all columns 1, 3, 1, 2; over columns 0 and 2 only 1, 2, 0, 2.
    Grid g = {{1, 0, 0, 0}, {1, 1, 1, 0}, {0, 0, 0, 1}, {5, 0, 5, 0}};
    Rows r(g);
    const struct {
        int start, step;
        std::vector<int> want;
    } cases[] = {{0, 1, {1, 3, 0, 2}}, {0, 2, {1, 3, 0, 2}}, {1, 2, {1, 2, 0, 3}}};
    for (const auto& c : cases) {
        std::vector<int> o = {0, 1, 2, 3};
        SortByPresenceSMW(4, 4, o.data(), r.get(), c.start, c.step);
        EXPECT_EQ(o, c.want) << c.start << " " << c.step;
    }
    char names[4][3] = {"a", "b", "c", "d"}, names2[4][3] = {"A", "B", "C", "D"};
    char* l1[4] = {names[0], names[1], names[2], names[3]};
    char* l2[4] = {names2[0], names2[1], names2[2], names2[3]};
    SortByPresence(4, 4, l1, r.get(), l2);
    EXPECT_EQ(std::string(l1[0]) + l1[1] + l1[2] + l1[3], "bdac");
    EXPECT_EQ(std::string(l2[0]) + l2[1] + l2[2] + l2[3], "BDAC");
    EXPECT_EQ(r.get()[1][0], 5);
    SortByPresence(4, 4, nullptr, r.get(), nullptr);  // labels are optional
    EXPECT_EQ(r.get()[3][3], 1);
}

// One permutation moves both lists; blocks keep their members; whole permutations of strings.
TEST(NullModel, PermutationsOfListsAndStrings) {
    Seed(23);
    int a[5] = {1, 2, 3, 4, 5}, b[5] = {10, 20, 30, 40, 50}, ao[5], bo[5];
    char s[6][2] = {"a", "b", "c", "d", "e", "f"};
    char* strings[6] = {s[0], s[1], s[2], s[3], s[4], s[5]};
    char* out[6];
    const int sizes[2] = {2, 4};
    std::set<std::string> orders;
    for (int draw = 0; draw < 10000; draw++) {
        RndPartition(a, ao, b, bo, 5);
        for (int i = 0; i < 5; i++) ASSERT_EQ(bo[i], 10 * ao[i]);
        ASSERT_TRUE(std::is_permutation(ao, ao + 5, a));
        RndCompositionSMW(strings, out, 6, 2, sizes);
        std::string got;
        for (char* p : out) got += p;
        ASSERT_TRUE(std::is_permutation(got.begin(), got.begin() + 2, std::string("ab").begin()));
        ASSERT_TRUE(std::is_permutation(got.begin() + 2, got.end(), std::string("cdef").begin()));
        orders.insert(got);
        RndComposition(strings, out, 6);
        got.clear();
        for (char* p : out) got += p;
        ASSERT_TRUE(std::is_permutation(got.begin(), got.end(), std::string("abcdef").begin()));
    }
    EXPECT_EQ(orders.size(), 2u * 24u);
    // Blocks that cover only part of the strings leave the rest of out as it was.
    char* partial[6] = {};
    RndCompositionSMW(strings, partial, 6, 1, sizes);
    EXPECT_TRUE(partial[0] && partial[1] && !partial[2] && !partial[5]);
}

// Window form: each row's values move among the communities of their stratum. With the keep flag no
// community receives more non-zero values than its richness; a richness that cannot hold them all
// ends with "ERROR!!!" and 0.
TEST(NullModel, WindowCompositionKeepsRowsAndRichness) {
    Seed(29);
    Grid in = {{1, 0, 2, 0}, {0, 3, 4, 0}, {5, 0, 0, 6}}, out(3, std::vector<float>(4));
    Rows i(in), o(out);
    const int richness[4] = {1, 1, 2, 2}, tooSmall[4] = {0, 1, 1, 1};
    int kept = 0;
    for (int draw = 0; draw < 10000; draw++) {
        ASSERT_EQ(RndCompositionSMWNew(i.get(), o.get(), 3, 4, 2, 0, richness), 1);
        for (int r = 0; r < 3; r++) {
            ASSERT_EQ(out[r][0] + out[r][2], in[r][0] + in[r][2]);
            ASSERT_EQ(out[r][1] + out[r][3], in[r][1] + in[r][3]);
        }
        // Values are placed row by row: a row whose last non-zero value finds only full communities
        // left fails, and the caller draws again.
        if (!RndCompositionSMWNew(i.get(), o.get(), 3, 4, 1, 1, richness)) continue;
        kept++;
        for (int c = 0; c < 4; c++) {
            int held = 0;
            for (int r = 0; r < 3; r++) held += out[r][c] != 0;
            ASSERT_LE(held, richness[c]);
        }
    }
    EXPECT_GT(kept, 1000);
    testing::internal::CaptureStdout();
    EXPECT_EQ(RndCompositionSMWNew(i.get(), o.get(), 3, 4, 1, 1, tooSmall), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("ERROR!!!"), std::string::npos);
}

// Restricted placement: no combination (category of the row, category of the slot) twice; every
// row placed once. Two rows of category 1 and two slots of category 1: impossible, 0.
TEST(NullModel, RestrictedPlacementUsesEachCombinationOnce) {
    Seed(31);
    int cells[4][2] = {{1, 1}, {1, 2}, {2, 1}, {2, 2}};
    int* list[4] = {cells[0], cells[1], cells[2], cells[3]};
    char s[4][3] = {"aa", "bb", "cc", "dd"}, o[4][3] = {};
    char* strings[4] = {s[0], s[1], s[2], s[3]};
    char* out[4] = {o[0], o[1], o[2], o[3]};
    const int sizes[2] = {2, 2};
    for (int draw = 0; draw < 10000; draw++) {
        ASSERT_EQ(RndCompositionRestricted(strings, out, list, 2, 4, 3), 1);
        std::set<std::pair<int, int>> used;
        std::string got;
        for (int r = 0; r < 4; r++) {
            const int i = o[r][0] - 'a';
            used.insert({cells[i][0], cells[r][1]});
            got += o[r];
        }
        ASSERT_EQ(used.size(), 4u);
        ASSERT_TRUE(std::is_permutation(got.begin(), got.end(), std::string("aabbccdd").begin()));
        // Blocks of two rows: each block keeps its rows.
        ASSERT_EQ(RndCompositionRestrictedSMW(strings, out, list, 2, 4, 3, 2, sizes), 1);
        ASSERT_EQ(std::string(o[0]) + o[1] == "aabb" || std::string(o[0]) + o[1] == "bbaa", true);
    }
    // Every row of category 1: only the combinations (1, 1) and (1, 2) exist, the third row has none.
    for (auto& c : cells) c[0] = 1;
    EXPECT_EQ(RndCompositionRestricted(strings, out, list, 2, 4, 3), 0);
    // Two such rows fit.
    EXPECT_EQ(RndCompositionRestricted(strings, out, list, 2, 2, 3), 1);
}

// Synthetic data: three bands of 20u, 20u + shift and 20u + 2 shift; 100 - w + 1 windows; the
// distance of two windows is the squared Euclidean distance of their column means (by hand here).
TEST(NullModel, SyntheticDataBandsAndWindows) {
    Seed(37);
    const int n = 3, w = 4;
    std::vector<std::vector<float>> out(n, std::vector<float>(100));
    std::vector<float*> rows;
    for (auto& r : out) rows.push_back(r.data());
    std::vector<std::vector<double>> d(97, std::vector<double>(97));
    std::vector<double*> drows;
    for (auto& r : d) drows.push_back(r.data());
    std::vector<Occurrence> occ(100 * n);
    int count = 0;
    const int found = CreateData(n, &count, w, 50.0f, rows.data(), drows.data(), occ.data());
    EXPECT_EQ(count, 97);
    EXPECT_EQ(found, 300);  // every value is positive
    for (int i = 0; i < n; i++)
        for (int c = 0; c < 100; c++) {
            const float lo = c < 33 ? 0 : c < 66 ? 50 : 100;
            ASSERT_GT(out[i][c], lo);
            ASSERT_LT(out[i][c], lo + 20);
        }
    auto mean = [&](int i, int k) {
        double s = 0;
        for (int c = k; c < k + w; c++) s += out[i][c];
        return s / w;
    };
    double expect = 0;
    for (int i = 0; i < n; i++) expect += std::pow(mean(i, 0) - mean(i, 90), 2);
    EXPECT_NEAR(d[0][90], expect, 1e-3 * expect);
    EXPECT_EQ(occ[5].otu, 0);
    EXPECT_EQ(occ[5].community, 5);
    EXPECT_EQ(occ[5].value, out[0][5]);
}

// A null distribution of 1, 2, 3, 4 in 2 classes (limits 2.5 and 4): 2 and 2, mean 2.5, standard
// deviation sqrt(5/3) (by hand).
TEST(NullModel, DistributionLine) {
    sDigits = 6;
    double values[4] = {1, 2, 3, 4}, limits[2], mean = 0, sd = 0;
    int freq[2];
    FILE* f = std::tmpfile();
    SaveDistribution(f, 4, values, freq, 2, limits, 1, 0.25, &mean, &sd);
    std::rewind(f);
    char text[200] = {};
    text[std::fread(text, 1, sizeof text - 1, f)] = '\0';
    std::fclose(f);
    EXPECT_EQ(std::string(text), "2\t2\t\n2.5\t4\t1\t0.25\t2.5\t1.29099\t\n");
    EXPECT_DOUBLE_EQ(sd, std::sqrt(5.0 / 3.0));
}

}  // namespace

namespace {

// Relocation by a partition: with one level a permutation of all communities; with two levels and
// the flag of the second set, the communities move only within their group of the first.
TEST(NullModel, PartitionRelocationStaysInGroups) {
    const int n = 4;
    std::vector<std::vector<double>> obs(n, std::vector<double>(n)), rnd(n, std::vector<double>(n));
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) obs[i][j] = i == j ? 11 * i : 100 + std::min(i, j) * 10 + std::max(i, j);
    std::vector<double*> o, r;
    for (int i = 0; i < n; i++) o.push_back(obs[i].data()), r.push_back(rnd[i].data());
    double** ol[1] = {o.data()};
    double** rl[1] = {r.data()};
    isHierarchical = 0;
    int flags[2] = {0, 1}, groups[2] = {2, 4}, first[4] = {1, 1, 2, 2}, second[4] = {1, 2, 3, 4};
    int* labels[2] = {first, second};
    Seed(41);
    std::set<std::vector<int>> one, two;
    for (int draw = 0; draw < 10000; draw++) {
        for (int levels : {1, 2}) {
            RndPartitionManova(n, levels, flags, groups, nullptr, labels, ol, rl);
            std::vector<int> m(n);
            for (int i = 0; i < n; i++) m[i] = int(rnd[i][i]) / 11;
            for (int i = 0; i < n; i++)
                for (int j = 0; j < n; j++) ASSERT_EQ(rnd[i][j], obs[m[i]][m[j]]);
            if (levels == 2) {
                ASSERT_EQ(std::max(m[0], m[1]), 1);  // the first group holds 0 and 1
            }
            (levels == 1 ? one : two).insert(m);
        }
    }
    EXPECT_EQ(one.size(), 24u);
    EXPECT_EQ(two.size(), 4u);
}

// Fewer than two groups: no pair of groups, the random matrix is not touched.
TEST(NullModel, PairwiseContrastsNeedTwoGroups) {
    double cells[2][2] = {{-1, -1}, {-1, -1}};
    double* rows[2] = {cells[0], cells[1]};
    int groups[3] = {1, 1, 1};
    RndPairwiseGrComp(3, 1, groups, nullptr, rows, rows, rows);
    EXPECT_EQ(cells[0][1], -1);
}

// The analysis-of-variance table of two factors A (groups g1 g2, one contrast 1 -1) and B: the rows
// padded to 22, 25 and 9 columns (by hand), the interaction, the totals. Nested factors leave out
// the between total; with three factors and the first one set aside only B x C is listed, with the
// first interaction's values (those after the factors').
TEST(NullModel, AnalysisOfVarianceTable) {
    char names[3][21] = {"A", "B", "C"}, g[2][5] = {"g1", "g2"};
    char* labels[3] = {names[0], names[1], names[2]};
    char* groupLabels[2] = {g[0], g[1]};
    char** grLabels[3] = {groupLabels, groupLabels, groupLabels};
    int counts[3] = {2, 2, 2}, which[3] = {0, 1, 2}, contrasts[3] = {1, 0, 0}, coef[2] = {1, -1};
    int* coefRows[1] = {coef};
    int** coefs[3] = {coefRows, coefRows, coefRows};
    partLabel = labels, nGroupsP = counts, grLabelP = grLabels, whichFactors = which, nContrasts = contrasts;
    contrastCoef = coefs;
    nFactors = 2, nesting = 0, sDigits = 6;
    const double Qb[4] = {1.5, 2, 0.25, 0.125}, P[4] = {0.02, 0.04, 0.5, 0.75};
    double cq[1] = {0.5}, cp[1] = {0.3};
    double* cQb[3] = {cq, cq, cq};
    double* cP[3] = {cp, cp, cp};
    auto text = [&](bool skipFirst) {
        FILE* f = std::tmpfile();
        PrintManova(f, Qb, P, cQb, cP, 3.75, 0.01, 6.25, 10, skipFirst);
        std::rewind(f);
        std::string s(4000, '\0');
        s.resize(std::fread(&s[0], 1, s.size(), f));
        std::fclose(f);
        return s;
    };
    const std::string rule(70, '-');
    auto row = [](const std::string& label, const std::string& q, const std::string& p) {
        return label + std::string(22 - label.size(), ' ') + "\t" + std::string(25 - q.size(), ' ') + q + "\t" +
               std::string(9 - p.size(), ' ') + p + "\n";
    };
    EXPECT_EQ(text(false),
              "\nAnalysis of variance:\nSource of variation     \t      Sum of squares (Qb)\tP(Qbo >= Qb)\n" + rule +
                  "\nA:\n" + row("Between groups", "1.5", "0.02") + "   Contrasts (groups: g1 g2)\n" +
                  row(" 1 -1", "0.5", "0.3") + rule + "\nB:\n" + row("Between groups", "2", "0.04") +
                  row("A         x B        ", "0.25", "0.5") + row("Between groups", "3.75", "0.01") +
                  "Within Groups         \t" + std::string(21, ' ') + "6.25\n" + rule + "\nTotal" +
                  std::string(17, ' ') + "\t" + std::string(23, ' ') + "10\n");
    nFactors = 3, nesting = 1;
    const std::string three = text(true);
    EXPECT_EQ(three.find("A         x"), std::string::npos);
    EXPECT_NE(three.find(row("B         x C        ", "0.125", "0.75")), std::string::npos);
    EXPECT_EQ(three.find("Between groups\t"), std::string::npos);
    EXPECT_EQ(three.find(row("Between groups", "3.75", "0.01")), std::string::npos);
    partLabel = nullptr, nGroupsP = nullptr, grLabelP = nullptr, whichFactors = nContrasts = nullptr;
    contrastCoef = nullptr;
    nFactors = nesting = 0;
}

}  // namespace

namespace {

// The null values read back series by series whether kept in memory or in the temporary file: 3
// series of 4 values need 96 bytes, so a budget of 96 keeps them and one of 95 spills them.
TEST(NullModel, NullValuesInMemoryOrInFile) {
    for (size_t budget : {size_t(96), size_t(95)}) {
        NullValues store(3, 4, budget);
        EXPECT_EQ(store.InFile(), budget < 96);
        for (int it = 0; it < 4; it++) {
            const double block[3] = {double(it), 10.0 + it, 20.0 + it};
            store.Put(it, block);
        }
        for (size_t s = 0; s < 3; s++) {
            double v[4];
            store.Get(s, v);
            for (int it = 0; it < 4; it++) EXPECT_EQ(v[it], 10.0 * s + it) << budget;
        }
    }
    EXPECT_FALSE(NullValues(1000, 1000).InFile());  // 8 MB fit the budget of the program
}

}  // namespace

namespace {

// Value of iteration it in series s: distinct for every place, so that a value read from another
// iteration's or series' place shows.
double Placed(size_t s, int it) { return 1000.0 * static_cast<double>(s) + it + 0.25; }

// Every place of the null values, in both layouts (the file forced by a budget one byte short of
// the memory layout): shapes at the edges (one series, one iteration) and one whose file outgrows
// a stream buffer; iterations put in order, in reverse and rotated, series read back last first.
// Each series reads its own values in iteration order, the observed one first, also a second
// time; an iteration put again after a read replaces its former values in its own place.
TEST(NullModel, NullValuesKeepEachIterationInItsPlace) {
    const struct {
        size_t series;
        int iterations;
    } shapes[] = {{1, 1}, {1, 5}, {4, 1}, {3, 4}, {7, 1500}};
    for (const auto& shape : shapes)
        for (bool inFile : {false, true})
            for (int order : {0, 1, 2}) {
                const size_t bytes = shape.series * shape.iterations * sizeof(double);
                NullValues store(shape.series, shape.iterations, inFile ? bytes - 1 : bytes);
                ASSERT_EQ(store.InFile(), inFile);
                std::vector<int> its(shape.iterations);
                std::iota(its.begin(), its.end(), 0);
                if (order == 1) std::reverse(its.begin(), its.end());
                if (order == 2) std::rotate(its.begin(), its.begin() + its.size() / 2, its.end());
                std::vector<double> block(shape.series), values(shape.iterations);
                const int again = shape.iterations / 2;
                for (int it : its) {
                    for (size_t s = 0; s < shape.series; s++) block[s] = it == again ? -5.0 : Placed(s, it);
                    store.Put(it, block.data());
                }
                store.Get(0, values.data());
                for (size_t s = 0; s < shape.series; s++) block[s] = Placed(s, again);
                store.Put(again, block.data());
                for (size_t s = shape.series; s-- > 0;)
                    for (int twice = 0; twice < 2; twice++) {
                        std::fill(values.begin(), values.end(), -1.0);
                        store.Get(s, values.data());
                        for (int it = 0; it < shape.iterations; it++)
                            ASSERT_EQ(values[it], Placed(s, it)) << shape.series << "x" << shape.iterations
                                                                 << " file " << inFile << " order " << order
                                                                 << " series " << s << " iteration " << it;
                    }
            }
}

// The budget decides without a product that wraps: 2^61 series of 8 iterations need 2^67 bytes,
// which wrap to 0 in 64 bits; they go to the file (a memory layout of the wrapped size would be
// written far beyond its end). No iteration needs no memory.
TEST(NullModel, NullValuesBeyondAnyBudgetGoToTheFile) {
    EXPECT_TRUE(NullValues(size_t(1) << 61, 8, SIZE_MAX).InFile());
    EXPECT_TRUE(NullValues(SIZE_MAX / 8, 2, SIZE_MAX).InFile());
    EXPECT_FALSE(NullValues(SIZE_MAX / 8 / 1000, 0, 0).InFile());  // no iteration: nothing to keep
}

// A write to the temporary file that fails (past a file-size limit) names the file and the
// system's reason, then code 3: in Put, once the values outgrow the stream's buffer (7 series of
// 1500 iterations take 84,000 bytes, past a limit of 8,192), and in Get for values the buffer still
// held (3 series of 4 iterations take 96 bytes, past a limit of 64), which were read back before as
// a file cut short.
TEST(NullModel, AWriteToTheFileThatFailsIsNamedWithItsReason) {
    const struct {
        const char* what;
        size_t series;
        int iterations;
        rlim_t limit;
        bool allPut;  // every iteration was put before the failure
    } cases[] = {{"in Put", 7, 1500, 8192, false}, {"in Get", 3, 4, 64, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NullValues store(c.series, c.iterations, 0);
        ASSERT_TRUE(store.InFile());
        std::vector<double> block(c.series, 1.0), values(c.iterations);
        int put = 0;
        testing::internal::CaptureStderr();
        const int code = tnxtest::CodeWithSmallFiles(
            [&] {
                for (; put < c.iterations; put++) store.Put(put, block.data());
                store.Get(0, values.data());
            },
            c.limit);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "\ncan't write a temporary file: File too large \n");
        EXPECT_EQ(code, TNX_FAIL_TO_PRINT);
        EXPECT_EQ(put == c.iterations, c.allPut) << put;
    }
}

// The iterations of the engines: first .. last in order, each once, the largest count the dialog
// accepts (2147483647) included, a step that answers false ends them.
TEST(NullModel, IterationsReachTheLargestCountAndEnd) {
    const struct {
        int first, last, stopAt;
        std::vector<int> want;
        bool completed;
    } cases[] = {{2, 5, 0, {2, 3, 4, 5}, true},
                 {2, 1, 0, {}, true},
                 {2, 2, 0, {2}, true},
                 {INT_MAX - 2, INT_MAX, 0, {INT_MAX - 2, INT_MAX - 1, INT_MAX}, true},
                 {INT_MAX, INT_MAX, 0, {INT_MAX}, true},
                 {2, 9, 4, {2, 3, 4}, false},
                 {INT_MAX - 1, INT_MAX, INT_MAX, {INT_MAX - 1, INT_MAX}, false}};
    for (const auto& c : cases) {
        std::vector<int> seen;
        const bool completed = EachIteration(c.first, c.last, [&](int it) {
            seen.push_back(it);
            return it != c.stopAt && seen.size() < 10;
        });
        EXPECT_EQ(seen, c.want) << c.first << ".." << c.last;
        EXPECT_EQ(completed, c.completed) << c.first << ".." << c.last;
    }
}

// Windows of the synthetic data over its 100 columns: 100 - w + 1 of them while w fits, none for a
// window wider than the columns (101 still leaves 0; 102 would be -1 windows) or below 1.
TEST(NullModel, SyntheticDataWindowsNeverBelowNone) {
    const int n = 2;
    std::vector<std::vector<float>> out(n, std::vector<float>(100));
    std::vector<float*> rows;
    for (auto& r : out) rows.push_back(r.data());
    std::vector<std::vector<double>> d(101, std::vector<double>(101));
    std::vector<double*> drows;
    for (auto& r : d) drows.push_back(r.data());
    std::vector<Occurrence> occ(100 * n);
    const int cases[][2] = {{1, 100}, {99, 2}, {100, 1}, {101, 0}, {102, 0}, {150, 0}, {0, 0}, {-3, 0}};
    for (const auto& c : cases) {
        for (auto& r : d) std::fill(r.begin(), r.end(), -1.0);
        Seed(43);
        int count = 12345;
        EXPECT_EQ(CreateData(n, &count, c[0], 5.0f, rows.data(), drows.data(), occ.data()), 200) << c[0];
        EXPECT_EQ(count, c[1]) << "window " << c[0];
        // Distances among the windows there are, none beyond: a window's distance to itself is 0.
        if (count > 0) {
            EXPECT_EQ(d[count - 1][count - 1], 0.0) << c[0];
        }
        EXPECT_EQ(d[std::max(count, 0)][std::max(count, 0)], -1.0) << c[0];
    }
}

// W with a missing performance (-999) and the same W with that cell 0. The missing cell is no
// occurrence: both give the same occurrence list (OTU, community, value, in the same order), the
// same richness and the same occurrences per stratum, and the random compositions drawn from them
// with the same seed are the same, never negative and never -999 or a value summed with it.
TEST(NullModel, MissingPerformanceIsNoOccurrence) {
    Grid missing = kW, zero = kW;
    missing[1][4] = -999.0f;  // OTU 2 in community 5 (5 there, 0 in `zero`)
    zero[1][4] = 0.0f;
    missing[4][0] = -999.0f;  // OTU 5 in community 1, where it would lead its stratum's order
    zero[4][0] = 0.0f;
    Rows m(missing), z(zero);
    int present = 0;
    for (const auto& row : zero) present += int(std::count_if(row.begin(), row.end(), [](float v) { return v != 0; }));
    for (int strata : {1, 2}) {
        const Occurrences a(m.get(), 6, 5, strata), b(z.get(), 6, 5, strata);
        ASSERT_EQ(a.list.size(), b.list.size());
        EXPECT_EQ(int(a.list.size()), present);
        for (size_t k = 0; k < a.list.size(); k++) {
            EXPECT_EQ(a.list[k].otu, b.list[k].otu) << k;
            EXPECT_EQ(a.list[k].community, b.list[k].community) << k;
            EXPECT_EQ(a.list[k].value, b.list[k].value) << k;
        }
        EXPECT_EQ(a.richness, b.richness);
        EXPECT_EQ(a.richness, (std::vector<int>{2, 3, 3, 3, 2}));  // by hand from kW without the two cells
        EXPECT_EQ(a.perWindow, b.perWindow);
        for (int keepRich : {0, 1})
            for (int keepTotal : {0, 1}) {
                Grid fromMissing(6, std::vector<float>(5)), fromZero(6, std::vector<float>(5));
                Rows fm(fromMissing), fz(fromZero);
                for (int draw = 0; draw < 2000; draw++) {
                    Seed(47 + draw);
                    const int okA = RndCompositionGeneral(fm.get(), a.list.data(), 6, int(a.list.size()), 5,
                                                          a.richness.data(), strata, a.perWindow.data(), keepRich,
                                                          keepTotal);
                    Seed(47 + draw);
                    const int okB = RndCompositionGeneral(fz.get(), b.list.data(), 6, int(b.list.size()), 5,
                                                          b.richness.data(), strata, b.perWindow.data(), keepRich,
                                                          keepTotal);
                    ASSERT_EQ(okA, okB);
                    ASSERT_EQ(fromMissing, fromZero);
                    double total = 0;
                    for (const auto& row : fromMissing)
                        for (float v : row) {
                            ASSERT_GE(v, 0.0f) << strata << keepRich << keepTotal;
                            total += v;
                        }
                    // A data set built whole places every present value once (merged hits add
                    // them up): its total is theirs, 35 by hand (42 less 5 and 2), never one with
                    // -999 in it.
                    if (okA) {
                        ASSERT_NEAR(total, 35.0, 1e-4) << strata << keepRich << keepTotal;
                    }
                }
            }
    }
}

// Presences count the cells that are neither 0 nor missing: OTU 0 has two present cells and one
// missing, OTU 1 three present ones, so OTU 1 comes first (with -999 counted, a tie would keep 0
// first).
TEST(NullModel, MissingCellIsNoPresence) {
    Grid g = {{1, -999, 2, 0}, {3, 1, 4, 0}};
    Rows r(g);
    std::vector<int> order = {0, 1};
    SortByPresenceSMW(2, 4, order.data(), r.get(), 0, 1);
    EXPECT_EQ(order, (std::vector<int>{1, 0}));
    order = {0, 1};
    g[0][1] = 5;
    SortByPresenceSMW(2, 4, order.data(), r.get(), 0, 1);
    EXPECT_EQ(order, (std::vector<int>{0, 1}));  // a tie keeps the order
}

}  // namespace
