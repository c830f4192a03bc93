// Memory that cannot be had. This test program's operator new stands in front of the one it
// replaces (the address sanitizer's, or the C++ library's) and refuses every block from a given
// size on while a test asks it to: a real allocation fails, as under a memory limit, in every
// build (the sanitizer itself would end the process on a failed new instead of throwing). With it:
// the randomisation engine turns memory it cannot have into the program's out-of-memory error
// before any iteration, keeps nothing that grows with the iterations when no distribution is
// asked, and the recovery points of the session end the program with the out-of-memory message.
#include <dlfcn.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "classical/tnxRnd.h"
#include "common/ErrorCode.h"
#include "matrix/core/qwlibRandom.h"
#include "RandomizationFixture.h"
#include "session/TNXIF.h"

namespace {

// Blocks of at least this many bytes are refused.
std::atomic<size_t> refuseFrom{SIZE_MAX};

static_assert(sizeof(size_t) == sizeof(unsigned long), "operator new(size_t) is _Znwm");
using NewFunction = void* (*)(size_t);

// The operator new that this one stands in front of.
NewFunction Next() {
    static const NewFunction next = reinterpret_cast<NewFunction>(dlsym(RTLD_NEXT, "_Znwm"));
    return next;
}

// Refuses the blocks of `bytes` and more for the life of the object.
struct RefusedBlocks {
    explicit RefusedBlocks(size_t bytes) { refuseFrom = bytes; }
    ~RefusedBlocks() { refuseFrom = SIZE_MAX; }
    RefusedBlocks(const RefusedBlocks&) = delete;
    RefusedBlocks& operator=(const RefusedBlocks&) = delete;
};

}  // namespace

void* operator new(size_t bytes) {
    if (bytes >= refuseFrom.load(std::memory_order_relaxed)) throw std::bad_alloc();
    return Next()(bytes);
}

using namespace tnxtest;

namespace {

// The randomisation tests on the session tests' data set (4 communities, two variables) with the
// stored resemblance that the resemblance test computes again: option 6 over the trait hierarchy,
// whose types are the 5 OTUs, gives the squared distances over the grand total 12 (c1..c4 hold the
// OTUs {1 3 5}, {2 3 5}, {1 4 5}, {2 4 5}: 2 / 12 or 4 / 12).
class MemoryTest : public RandomizationFixture {
protected:
    void SetUp() override {
        RandomizationFixture::SetUp();
        saveRndData = 'y';
        Write("s1NRe.txt", "0\n0.166667\n0.166667\n0.333333\n0\n0.333333\n0.166667\n0\n0.166667\n0\n");
    }
};

// The next draws of the two generators: the C generator's and a permutation of the shared one.
std::pair<int, std::vector<int>> NextDraws() {
    std::vector<int> list(6);
    const int c = std::rand();
    RndList(6, list.data());
    return {c, list};
}

// Null distributions need blocks of as many doubles as iterations: refused, the test ends with code
// 1 before any iteration (both generators stand where the seed put them), nothing is written, no
// flag changes and the session's stored resemblances come back. Test 1 keeps one distribution per
// pair, test 3 one per level; 200000 iterations keep them in memory, 40 million (320 MB for one
// level) in the temporary file, where the series read back is the block refused.
TEST_F(MemoryTest, NullDistributionsThatCannotBeHadAreOutOfMemory) {
    const int cases[][2] = {{1, 200000}, {3, 200000}, {3, 40000000}};
    for (const auto& c : cases) {
        const int kind = c[0], iterations = c[1];
        rndTestOpt = kind;
        Script(kind == 1 ? FormatText("1\n1\n%d\n2\n5\nn\ny\n", iterations) : FormatText("%d\n2\n5\ny\n", iterations));
        const Ints flags = ResultFlags();
        const Strings names = ResultNames();
        const long files = Entries();
        double*** stored = rese;
        int code = 0;
        {
            RefusedBlocks refused(sizeof(double) * iterations);
            code = CodeOf(IFRandomization);
        }
        EXPECT_EQ(code, TNX_OUT_OF_MEMORY) << kind;
        const auto drawn = NextDraws();
        std::srand(5);
        InitRndNumberGenerator(5);
        EXPECT_EQ(drawn, NextDraws()) << kind;
        EXPECT_EQ(Entries(), files) << kind;
        EXPECT_EQ(ResultFlags(), flags) << kind;
        EXPECT_EQ(ResultNames(), names) << kind;
        EXPECT_EQ(rese, stored);
        EXPECT_EQ(whatRndCh, nullptr);
        EXPECT_FALSE(Has(Out(), "Results appended"));
    }
}

// Without distributions nothing grows with the iterations: with every block of 20000 doubles
// refused, 20000 iterations of either test run to their probabilities.
TEST_F(MemoryTest, WithoutDistributionsNothingGrowsWithTheIterations) {
    const int iterations = 20000;
    for (int kind : {1, 3}) {
        rndTestOpt = kind;
        {
            RefusedBlocks refused(sizeof(double) * iterations);
            EXPECT_TRUE(Run(kind == 1 ? FormatText("1\n1\n%d\n2\n5\nn\nn\n", iterations)
                                      : FormatText("%d\n2\n5\nn\n", iterations),
                            IFRandomization))
                << kind;
        }
        EXPECT_EQ(kind == 1 ? hasProbN : hasProbRo, 1) << kind;
        EXPECT_TRUE(std::filesystem::exists(kind == 1 ? "s1PrN.txt" : "s1PRo.txt")) << kind;
    }
    EXPECT_TRUE(Has(Read("s1Prinda.txt"), "Number of iterations: 20000\n"));
}

// The recovery points: a block refused anywhere in a session (from its start here) or anywhere
// after the start of the program ends it with the out-of-memory message and status 1, as the
// program's own code 1 does, never by std::terminate.
TEST_F(MemoryTest, RecoveryPointsEndWithTheOutOfMemoryMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Err();  // the death tests take standard error for themselves
    Write("s1Formda.txt", FiveOtus(true));
    Write("s1Trk.txt", kShortTrack);
    const std::string message = "\nOUT OF MEMORY !!!\n\nQuit and restart TARNEX.\n\a";
    Script("V\nC\nC\n");
    EXPECT_EXIT(
        {
            RefusedBlocks refused(1);
            IFSession();
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), message);
    // The simulator of the main menu (letter A) on the simulator tests' parameter files.
    for (const char* name : {"sim_B.txt", "sim_E.txt", "sim_A.txt", "sim_K.txt"})
        Write(name, Slurp(std::string(TARNEX_TESTDATA) + "/" + name));
    Write("start.txt",
          "A\n4\n5\n2\nt\nsim_B.txt\nr\n-5\n-6\n0.4\n0.6\n0.1\nr\n1\ne\nsim_E.txt\nn\nsim_A.txt\nsim_K.txt\n"
          "r\n-3\n-4\n0.4\n0.6\nr\n-5\n-5\n0.5\n0.5\n5\n30\n0.5\nn\n2\n7\ny\nX\n");
    EXPECT_EXIT(
        {
            std::freopen("start.txt", "r", stdin);
            RefusedBlocks refused(1);
            mainInit();
        },
        ::testing::ExitedWithCode(1), message);
}

}  // namespace
