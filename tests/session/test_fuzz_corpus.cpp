// The inputs that found faults in the readers while fuzzing (tests/fuzz/corpus), run through the
// fuzzing entry points: each reader refuses them with code 2 (NUL and other control bytes in labels,
// names and words; counts of a formatted file that the file cannot hold or the data model forbids;
// a count that runs into letters), and the valid inputs beside them load and survive a round trip.
#include "fuzz/FuzzTargets.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

const std::string kCorpus = std::string(TARNEX_TESTDATA) + "/../fuzz/corpus/";

struct CorpusCase {
    int (*reader)(const uint8_t*, size_t);
    const char* file;
    int code;
};

const CorpusCase kCases[] = {
    {fuzz::Formda, "formda/valid", 0},
    {fuzz::Formda, "formda/nul-label", 2},
    {fuzz::Formda, "formda/nul-taxon-name", 2},
    {fuzz::Formda, "formda/no-communities-many-variables", 2},
    {fuzz::Formda, "formda/variables-beyond-the-file", 2},
    {fuzz::Formda, "formda/clados-beyond-the-file", 2},
    {fuzz::Formda, "formda/version-word-as-count", 2},
    {fuzz::Formda, "formda/count-with-letters", 2},
    {fuzz::Track, "track/valid", 0},
    {fuzz::Track, "track/nul-file-name", 2},
    {fuzz::Track, "track/control-byte-in-name", 2},
    {fuzz::Track, "track/nul-partition-label", 2},
    {fuzz::Preferences, "preferences/valid", 0},
    {fuzz::Preferences, "preferences/nul-words", 2},
    {fuzz::Import, "import/valid", 0},
    {fuzz::Import, "import/nul-community-label", 2},
    {fuzz::Import, "import/nul-trait-label", 2},
    {fuzz::Import, "import/nul-taxon-name", 2},
};

using FuzzCorpus = TempDirTest;

}  // namespace

TEST_F(FuzzCorpus, EveryReaderRefusesWhatFoundItsFaultsAndKeepsWhatIsValid) {
    for (const CorpusCase& c : kCases) {
        SCOPED_TRACE(c.file);
        const std::string bytes = Slurp(kCorpus + c.file);
        ASSERT_FALSE(bytes.empty());
        ::testing::internal::CaptureStderr();
        ::testing::internal::CaptureStdout();
        const int code = c.reader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        const std::string err = ::testing::internal::GetCapturedStderr();
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(code, c.code);
        // A refusal names the file in the reader's message.
        if (c.code == 2) {
            EXPECT_NE(err.find("\nfile "), std::string::npos) << err;
        }
    }
    // The valid import wrote labels read from the end of its files.
    const std::string valid = Slurp(kCorpus + "import/valid");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(fuzz::Import(reinterpret_cast<const uint8_t*>(valid.data()), valid.size()), 0);
    ::testing::internal::GetCapturedStdout();
    LoadFormda("fzImport.txt");
    EXPECT_EQ((Strings{chLabel[0], reLabel[0], reLabel[1]}), (Strings{"size", "c1", "c2"}));
    EXPECT_EQ(Get(cadat, 2, 2), (Floats{1, 0, 0, 1}));
}
