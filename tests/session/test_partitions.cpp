// Group partitions: the partition dialog, the cut of a cluster record, the partition menus and their
// round trip through the track file.
#include "session/model/TNXTRACK.h"
#include "session/dialogs/TNXPART.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

// The answers come from `in` as a macro replays them: lists are read without the file-or-keyboard
// question and without confirmation.
class PartitionTest : public ConsoleTest {
protected:
    void SetUp() override {
        InitGlobals();
        ConsoleTest::SetUp();
        LoadFiveOtus();  // communities c1..c4, 5 OTUs, 3 traits
        std::strcpy(sessionName, "s1");
        std::strcpy(sessionShortName, "s1");
        std::strcpy(whichTrack, "s1Trk.txt");
        runMacro = 1;
        partitionTrackWriter = WriteTrack;
        hasReClus = hasCstClus = 0;
    }
    void TearDown() override {
        FreeGlobals1();
        partitionTrackWriter = nullptr;
        ConsoleTest::TearDown();
    }
    // Runs the dialog on n objects and returns the groups with the labels of the groups.
    std::pair<Ints, Strings> Groups(int n, const char* what, const std::string& answers) {
        Script(answers);
        std::vector<int> g(static_cast<size_t>(n), -1);
        char cells[8][kGroupLabelSize] = {};
        char* labels[8];
        for (int i = 0; i < 8; i++) labels[i] = cells[i];
        int k = -1;
        SettingAnyGroups(n, &k, g.data(), labels, what);
        return {g, GetRows(labels, k < 0 ? 0 : k)};
    }
    // The track file is read back and written again: it must come out the same, byte for byte.
    void ExpectRoundTrip() {
        const std::string text = Read("s1Trk.txt");
        FreeGlobals1();
        ReadTrack();
        std::filesystem::remove("s1Trk.txt");
        WriteTrack(1);
        EXPECT_EQ(Read("s1Trk.txt"), text);
    }
};

const std::string kDialogHead = Header("SET GROUP PARTITION", "s1");
const std::string kLabelMenu =
    "\nLabels for groups: \n   1  given by default \n   2  specify new labels \nType option no.: ";

TEST_F(PartitionTest, GroupsByCountsOfOrderedObjects) {
    // Five objects ordered by groups with counts 3 and 2: groups 1 1 1 2 2 (worked by hand).
    auto [g, labels] = Groups(5, "CSTs", "2\n1\ny\n3\n2\n");
    EXPECT_EQ(g, (Ints{1, 1, 1, 2, 2}));
    EXPECT_EQ(labels, (Strings{"1", "2"}));
    EXPECT_EQ(whichObj, 'c');
    EXPECT_EQ(Out(), kDialogHead + "Specify the number of groups of CSTs: " + kLabelMenu +
                         "Are the CSTs ordered by groups? y/n \nEnter number of CSTs per group:\nGroups:            "
                         "1   2   \nNumber of CSTs: ");
    // 3 + 3 is not 5; 5 + 0 leaves group 2 empty; 4 + 1 is accepted.
    EXPECT_EQ(Groups(5, "CSTs", "2\n1\ny\n3\n3\n5\n0\n4\n1\n").first, (Ints{1, 1, 1, 1, 2}));
    EXPECT_EQ(Count(Out(), "\nError!! Reenter!!\n"), 2);
    EXPECT_EQ(Count(Out(), "\nNumber of CSTs: "), 1 + 3);
}

TEST_F(PartitionTest, MembershipByLabelOfEachCommunity) {
    // Labels typed (whole words cut to 4 characters), then the group label of each community.
    auto [g, labels] = Groups(4, "communities", "2\n2\nwetland dry\nn\ndry wetl dry wetland\n");
    EXPECT_EQ(labels, (Strings{"wetl", "dry"}));
    EXPECT_EQ(g, (Ints{2, 1, 2, 1}));
    EXPECT_EQ(whichObj, 'r');
    const std::string o = Out();
    EXPECT_NE(o.find("\nEnter labels (max. 4 alphanumeric characters):\n"), std::string::npos);
    EXPECT_NE(o.find("\nEnter group membership (label) for communities:\ncommunities:\tc1\tc2\tc3\tc4\t\n"),
              std::string::npos);
}

TEST_F(PartitionTest, UnknownLabelsRepeatedLabelsAndEmptyGroupsAreRefused) {
    struct Case {
        int n;
        std::string answers;
        Ints groups;
        int errors;  // "Error!! Enter again." on standard error
    };
    const Case cases[] = {
        // Default labels 1..3; the label 4 names no group.
        {5, "3\n1\nn\n1 2 3 4 1\n1 2 3 3 1\n", {1, 2, 3, 3, 1}, 1},
        // Two groups may not share a label.
        {4, "2\n2\naa aa\naa bb\nn\nbb aa aa bb\n", {2, 1, 1, 2}, 1},
        // Every group needs a member: group 3 unused, then used.
        {4, "3\n1\nn\n1 1 2 2\n1 3 2 2\n", {1, 3, 2, 2}, 1},
    };
    int expected = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(Groups(c.n, "CSTs", c.answers).first, c.groups) << c.answers;
        expected += c.errors;
    }
    EXPECT_EQ(Count(Err(), "\nError!! Enter again. \n"), expected);
    // Asked again after an unknown label and after an empty group; the repeated group label is refused
    // before any member is asked.
    EXPECT_EQ(Count(Out(), "\nEnter group membership (label) for CSTs:"), 2 + 1 + 2);
}

TEST_F(PartitionTest, NumberOfGroupsBetweenOneAndTheNumberOfObjects) {
    auto [g, labels] = Groups(3, "CSTs", "0\n4\n3\n1\ny\n1\n1\n1\n");
    EXPECT_EQ(g, (Ints{1, 2, 3}));
    EXPECT_NE(Err().find("\nIncorrect input = 0. Reenter.\nAccepted input: 1 to 3\n\nIncorrect input = 4. Reenter.\n"),
              std::string::npos);
    // No object at all: the dialog says so and leaves without a question.
    int k = -1;
    Script("");
    SettingAnyGroups(0, &k, nullptr, nullptr, "communities");
    EXPECT_EQ(k, 0);
    EXPECT_NE(Out().find("\nThere are no communities to partition.\n"), std::string::npos);
}

// A family whose arrays are not all there offers no menu and reads nothing.
TEST_F(PartitionTest, MenusNeedEveryArrayOfTheirFamily) {
    char** names = partLabel;
    partLabel = nullptr;
    IFGroupMembership();
    partLabel = names;
    int* levels = whichLevelGrCstP;
    whichLevelGrCstP = nullptr;
    IFGroupCstMembershipNEW();
    IFGroupCstMembership();
    whichLevelGrCstP = levels;
    EXPECT_EQ(Out(), "");
}

// A record of 5 objects, one fusion step a line: level, member count, members of the group formed.
const std::string kRecord = "0.1\t2\t2\t4\t\n0.3\t2\t1\t3\t\n0.5\t3\t1\t3\t5\t\n0.9\t5\t2\t4\t1\t3\t5\t\n";

TEST_F(PartitionTest, RecordCutAtEachNumberOfGroups) {
    std::strcpy(whichCstClus, "s1.CCl");
    Write("s1.CCl", kRecord);
    // By hand: {2,4} then {1,3} then {1,3,5} then all; groups renumbered in the order of their numbers.
    const std::pair<int, Ints> cuts[] = {{5, {1, 2, 3, 4, 5}}, {4, {1, 2, 3, 2, 4}}, {3, {1, 2, 1, 2, 3}},
                                         {2, {1, 2, 1, 2, 1}}, {1, {1, 1, 1, 1, 1}}};
    for (const auto& [k, expected] : cuts) {
        Ints g(5, 0);
        GetPartition(5, k, g.data(), 'c');
        EXPECT_EQ(g, expected) << k;
    }
    // Groups stay whole whatever the order of their members: {3,5}, then {5,3,1} listed from 5: objects 1,
    // 3 and 5 are one group, 2 and 4 stay alone.
    std::strcpy(whichReClus, "s1.RCl");
    Write("s1.RCl", "1\t2\t3\t5\t\n2\t3\t5\t3\t1\t\n");
    Ints g(5, 0);
    GetPartition(5, 3, g.data(), 'r');
    EXPECT_EQ(g, (Ints{3, 1, 3, 2, 3}));  // numbers 2, 4, 5 become 1, 2, 3
}

TEST_F(PartitionTest, BadRecordsRaiseTheirCodes) {
    std::strcpy(whichReClus, "s1.RCl");
    const std::pair<std::string, int> cases[] = {
        {"1\t2\t1\t6\t\n", 2},        // object 6 of 5
        {"1\t2\t0\t1\t\n", 2},        // object 0
        {"1\t9\t1\t2\t\n", 2},        // more members than objects
        {"1\t2\t1\t2\t\n", 2},        // ends with 4 groups, 2 wanted
        {"1\t2\t1\tx\t\n", 2},        // no number
        {"1\t1\t1\t\n1\t1\t2\t\n2\t1\t3\t\n3\t1\t4\t\n", 2},  // steps that fuse nothing
    };
    for (const auto& [text, code] : cases) {
        Write("s1.RCl", text);
        Ints g(5, 0);
        EXPECT_EQ(CodeOf([&] { GetPartition(5, 2, g.data(), 'r'); }), code) << text;
    }
    std::filesystem::remove("s1.RCl");
    Ints g(5, 0);
    EXPECT_EQ(CodeOf([&] { GetPartition(5, 2, g.data(), 'r'); }), 4);
    EXPECT_EQ(Count(Err(), "\nfile s1.RCl "), 6);  // every bad record names the file
}

TEST_F(PartitionTest, DialogOffersTheRecordOnlyWhenOneIsStored) {
    std::strcpy(whichReClus, "s1.RCl");
    Write("s1.RCl", kRecord);
    hasReClus = 1;
    auto [g, labels] = Groups(5, "communities", "2\n1\n2\n");
    EXPECT_EQ(g, (Ints{1, 2, 1, 2, 1}));
    EXPECT_NE(Out().find("\nGet partition from: \n   1  keyboard or file \n   2  cluster analysis record \n"
                         "Type option no.: "),
              std::string::npos);
    // The OTUs have no record: the question is not asked.
    auto [h, l2] = Groups(5, "CSTs", "2\n1\ny\n2\n3\n");
    EXPECT_EQ(h, (Ints{1, 1, 2, 2, 2}));
    EXPECT_EQ(Count(Out(), "Get partition from"), 1);
    // A record whose file is gone is not offered either (it would end the program when read): the
    // groups come from the keyboard, the flag and name stand.
    std::filesystem::remove("s1.RCl");
    auto [k, l3] = Groups(5, "communities", "2\n1\ny\n3\n2\n");
    EXPECT_EQ(k, (Ints{1, 1, 1, 2, 2}));
    EXPECT_EQ(Count(Out(), "Get partition from"), 1);
    EXPECT_EQ(hasReClus, 1);
    EXPECT_STREQ(whichReClus, "s1.RCl");
}

const std::string kCommunityOptions =
    "\nOptions:\n   s  select another partition\n   r  see this partition\n   m  modify this partition\n";

TEST_F(PartitionTest, CommunityMenuCreatesListsShowsSelectsAndModifies) {
    // None yet: a new one is created at once.
    Script("habitat\n2\n2\ndry wet\ny\n2\n2\n");
    IFGroupMembership();
    EXPECT_EQ(Out(), "\nThere is no communities partition specified\nEnter name for new partition: " + kDialogHead +
                         "Specify the number of groups of communities: " + kLabelMenu +
                         "\nEnter labels (max. 4 alphanumeric characters):\nEnter group labels:\t"
                         "Are the communities ordered by groups? y/n \nEnter number of communities per group:"
                         "\nGroups:            dry wet \nNumber of communities: ");
    EXPECT_EQ((Ints{nPart, whichPart, nGroups, groupRel[0], groupRel[3]}), (Ints{1, 0, 2, 1, 2}));
    ExpectRoundTrip();
    EXPECT_NE(Read("s1Trk.txt").find("\n1\n0\nhabitat \n2 \ndry wet \n1 1 2 2 \n"), std::string::npos);

    // See it, then create a second one from labels; the new one becomes current.
    const size_t from = Out().size();
    Script("r\nn\nyear\n3\n1\nn\n1 2 3 1\n");
    IFGroupMembership();
    const std::string o = Out().substr(from);
    const std::string list = "\nReleve partitions available (maximum allowed = 10):\n\t(1)  habitat\n"
                             "Current partition: (1)  habitat\n" + kCommunityOptions +
                             "   n  create new\n   x  keep unchanged and exit\nType option: ";
    EXPECT_EQ(o.substr(0, list.size()), list);
    EXPECT_NE(o.find(list + "\nCurrent partition: (1)  habitat\nCommunities: \tc1\tc2\tc3\tc4\t\n  Group: \t"
                            "dry\tdry\twet\twet\t\n" + list + "Enter name for new partition: "),
              std::string::npos);
    EXPECT_EQ((Ints{nPart, whichPart, nGroups, groupRel[0], groupRel[1], groupRel[2], groupRel[3]}),
              (Ints{2, 1, 3, 1, 2, 3, 1}));
    ExpectRoundTrip();

    // Select the first, then modify it: two groups by counts 1 and 3.
    Script("s\n1\nm\n2\n1\ny\n1\n3\n");
    IFGroupMembership();
    EXPECT_EQ((Ints{nPart, whichPart, nGroups, groupRelP[0][0], groupRelP[0][1], groupRelP[1][1]}),
              (Ints{2, 0, 2, 1, 2, 2}));
    EXPECT_EQ(grLabel, grLabelP[0]);
    ExpectRoundTrip();

    // x leaves unchanged, but the track file is still written.
    const std::string before = Read("s1Trk.txt");
    std::filesystem::remove("s1Trk.txt");
    Script("x\n");
    IFGroupMembership();
    EXPECT_EQ(Read("s1Trk.txt"), before);
}

TEST_F(PartitionTest, TenPartitionsAreTheMostAndNoLongerOfferANewOne) {
    for (int p = 0; p < 10; p++) {
        Script((p == 0 ? "" : "n\n") + std::string("p") + std::to_string(p) + "\n1\n1\ny\n4\n");
        IFGroupMembership();
    }
    EXPECT_EQ(nPart, 10);
    const size_t from = Out().size();
    Script("n\nx\n");
    IFGroupMembership();
    const std::string o = Out().substr(from);
    EXPECT_EQ(o.find("   n  create new\n"), std::string::npos);
    EXPECT_NE(o.find("\t(10)  p9\nCurrent partition: (10)  p9\n"), std::string::npos);
    EXPECT_NE(Err().find("\nIncorrect input = n. Reenter.\nAccepted input: s r m x\n"), std::string::npos);
    EXPECT_EQ(nPart, 10);
    ExpectRoundTrip();
}

TEST_F(PartitionTest, OtuMenuKeepsTheLevelOfEachPartition) {
    // Two trait levels of 5 and 3 types; the level is asked (monothetic, hierarchical analysis).
    rcst[0] = 5, rcst[1] = 3, rcst[2] = 2;
    poolCSTopt = isHierarchical = 1;
    Script("types\n2\n2\n1\ny\n2\n1\n");
    IFGroupCstMembershipNEW();
    EXPECT_NE(Out().find("\nThere is no PFT partition specified.\nEnter name for new PFT partition: "
                         "Specify hierarchical level: " + kDialogHead + "Specify the number of groups of CSTs: "),
              std::string::npos);
    EXPECT_EQ((Ints{nPartCst, whichLevelGrCstP[0], whichLevelGrCST, nCstGroups, groupCst[0], groupCst[2]}),
              (Ints{1, 2, 2, 2, 1, 2}));
    ExpectRoundTrip();

    // A second one at level 1 (5 members, by label), then see it.
    Script("n\nall\n1\n2\n1\nn\n1 2 2 1 1\nr\nx\n");
    IFGroupCstMembershipNEW();
    IFGroupCstMembershipNEW();
    const std::string o = Out();
    EXPECT_NE(o.find("\nPFT partitions available (maximum allowed = 10):\n\t(1)  types\n\t(2)  all\n"
                     "Current partition: (2)  all\nHierarchical level: 1\n"),
              std::string::npos);
    EXPECT_NE(o.find("\nCurrent partition: (2)  all\nHierarchical level: 1\n   PFTs: \t1\t2\t3\t4\t5\t\n"
                     "  Group: \t1\t2\t2\t1\t1\t\n"),
              std::string::npos);
    ExpectRoundTrip();
    // Selecting the first brings back its level.
    Script("s\n1\nx\n");
    IFGroupCstMembershipNEW();
    EXPECT_EQ((Ints{whichCstPart, whichLevelGrCST, nCstGroups}), (Ints{0, 2, 2}));
    EXPECT_NE(Read("s1Trk.txt").find("\ntypes all \n2 2 \n1 2 \n1 2 \n2 1 \n1 1 2 \n1 2 2 1 1 \n"),
              std::string::npos);
}

TEST_F(PartitionTest, OlderOtuDialogShowsTheCurrentPartitionAndStoresItsLevel) {
    rcst[0] = 5, rcst[1] = 3;
    poolCSTopt = isHierarchical = 1;
    Script("one\n2\n2\n1\ny\n2\n1\n");
    IFGroupCstMembershipNEW();  // level 2: 3 members in groups 1 1 2
    EXPECT_EQ((Ints{whichLevelGrCstP[0], nCstGroups}), (Ints{2, 2}));
    // Shown (no macro), modified on y read from the keyboard itself: level 1, three groups by counts.
    runMacro = 0;
    Write("keys.txt", "y\n");
    ASSERT_NE(std::freopen("keys.txt", "r", stdin), nullptr);
    const size_t from = Out().size();
    Script("1\n3\n1\ny\n2\n2\n1\n");
    IFGroupCstMembership();
    const std::string shown = Header("Current partition:", "s1") +
                              "Hierarchical level: 2\n PFTs: \t1\t2\t3\t\nGroup: \t1\t1\t2\t\nModify? y/n ";
    EXPECT_EQ(Out().substr(from, shown.size()), shown);
    EXPECT_EQ((Ints{whichLevelGrCST, whichLevelGrCstP[0], nGroupsCstP[0], groupCst[4]}), (Ints{1, 1, 3, 3}));
    ExpectRoundTrip();
    // Anything but y leaves it as it is.
    Write("keys.txt", "n\n");
    ASSERT_NE(std::freopen("keys.txt", "r", stdin), nullptr);
    IFGroupCstMembership();
    EXPECT_EQ(nGroupsCstP[0], 3);
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
}

}  // namespace
