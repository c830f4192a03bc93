// What the tests of the trait hierarchy share: small matrices, the six-OTU hierarchy worked by
// hand, and the five-OTU session whose trait codes pool.
#ifndef TARNEX_TESTS_TRAITS_HIERSESSION_H
#define TARNEX_TESTS_TRAITS_HIERSESSION_H

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "traits/TNXHIER.h"

namespace tnxtest {

// An r x c matrix filled row by row from v (zeros beyond it), released with its owner.
template <class T>
struct Mat {
    int r;
    T** m;
    Mat(int rows, int cols, const std::vector<T>& v = {})
        : r(rows), m(reinterpret_cast<T**>(dim2D(sizeof(T), rows, cols))) {
        for (size_t k = 0; k < v.size(); k++) m[k / cols][k % cols] = v[k];
    }
    Mat(const Mat&) = delete;
    Mat& operator=(const Mat&) = delete;
    ~Mat() { free2D(m, r); }
    operator T**() const { return m; }
};

// Six OTUs by three traits, OTU 3 repeating OTU 1; W as cadat (OTUs x 5 communities, the
// last two empty). Level 1 pools {1,3} {2} {4} {5} {6}, level 2 (the first two traits)
// {1,2,3} {4,6} {5}, level 3 (the first trait) {1,2,3,5} {4,6}.
struct SixOtus {
    Mat<char> codes{6, 7};
    Mat<float> W{6, 5, {1, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0, 7, 0, 0, 0, 0}};
    Mat<int> track{3, 6};
    int types[3] = {6, 0, 0};
    char*** levelCodes = nullptr;
    float*** levelData = nullptr;
    int levels;
    SixOtus(int nLevels, bool withData) : levels(nLevels) {
        const char* c[6] = {"010203", "010204", "010203", "020203", "010304", "020201"};
        for (int o = 0; o < 6; o++) std::snprintf(codes.m[o], 7, "%s", c[o]);
        Hierarchy(levels, 3, 5, codes, &levelCodes, types, withData ? W.m : nullptr, &levelData, track);
    }
    ~SixOtus() { FreeHierarchy(levels, 5, types, levelCodes, levelData); }
};

// The five-OTU session with traits (1 2 3), (1 2 4), (1 2 3), (2 2 3), (1 3 4): codes
// 010203, 010204, 010203, 020203, 010304. W (OTUs x communities c1..c4): (1 0 1 0), (0 1 0 1),
// (1 1 0 0), (0 0 1 1), (1 1 1 1).
class HierarchicalAccumTest : public ConsoleTest {
protected:
    void LoadTraits(const std::string& first) {
        Write("d.txt", Edit(FiveOtus(false), "25Jun2016 \n1\t2\t3\t\n2\t3\t4\t\n3\t4\t5\t\n4\t5\t6\t\n5\t6\t7",
                            "25Jun2016 \n" + first + "\t2\t3\t\n1\t2\t4\t\n1\t2\t3\t\n2\t2\t3\t\n1\t3\t4"));
        LoadFormda("d.txt");
        std::snprintf(sessionName, sizeof sessionName, "s1");
        std::snprintf(whichPrinda, sizeof whichPrinda, "s1Prinda.txt");
        std::snprintf(whichHier, sizeof whichHier, "s1Hie.txt");
        std::snprintf(prindaMode, sizeof prindaMode, "w");
        for (int t = 0; t < nch; t++) nchor[t] = 0, weight[t] = 1;  // order never set: the traits' own
        isHierarchical = 1, part = 1, fuzzy = 0, poolCSTopt = 1, sDigits = 6;
        princont = printSpp = print_gindex = print_indet = 'n';
        dirtyOrig = 0;
    }
    void TearDown() override {
        isHierarchical = part = fuzzy = poolCSTopt = rese_opt = 0;
        princont = printSpp = print_indet = 'n';
        ConsoleTest::TearDown();
    }
};

}  // namespace tnxtest

#endif
