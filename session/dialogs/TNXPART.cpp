// Group partitions: the partition dialog, the cut of a cluster record and the partition menus.
#include "session/dialogs/TNXPART.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "session/dialogs/TNXIFSET.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXTRACK.h"
#include "session/model/TNXMenu.h"

int (*partitionTrackWriter)(char full) = nullptr;

namespace {

const int kGroupLabelMax = kGroupLabelSize - 1;  // 4 characters

FILE* Out() { return out ? out : stdout; }

// The echo stream of a macro, or null while none is recorded or replayed.
FILE* MacroEcho() { return (createMacro == 1 || runMacro == 1) ? outm : nullptr; }

void ErrorEnterAgain() {
    std::fputc(7, stdout);
    std::fprintf(stderr, "\nError!! Enter again. \n");
}

// A table of n labels of at most 4 characters, released with its owner.
class LabelTable {
public:
    explicit LabelTable(int n) : cells_(static_cast<size_t>(n > 0 ? n : 0)), rows_(cells_.size()) {
        for (size_t i = 0; i < cells_.size(); i++) {
            cells_[i].fill('\0');
            rows_[i] = cells_[i].data();
        }
    }
    char** rows() { return rows_.data(); }

private:
    std::vector<std::array<char, kGroupLabelSize>> cells_;
    std::vector<char*> rows_;
};

// 1-based position of label among the k labels, 0 when none has it.
int PositionOf(const char* label, char** labels, int k) {
    for (int g = 0; g < k; g++)
        if (std::strcmp(label, labels[g]) == 0) return g + 1;
    return 0;
}

bool Distinct(char** labels, int k) {
    for (int a = 0; a < k; a++)
        for (int b = a + 1; b < k; b++)
            if (std::strcmp(labels[a], labels[b]) == 0) return false;
    return true;
}

// True when every group 1..k has a member.
bool EveryGroupUsed(const int* groups, int n, int k) {
    std::vector<char> used(static_cast<size_t>(k), 0);
    for (int i = 0; i < n; i++)
        if (groups[i] >= 1 && groups[i] <= k) used[static_cast<size_t>(groups[i] - 1)] = 1;
    return std::all_of(used.begin(), used.end(), [](char u) { return u != 0; });
}

void AskGroupLabels(int k, char** labels) {
    std::fprintf(Out(), "\nLabels for groups: \n");
    std::fprintf(Out(), "   1  given by default \n");
    std::fprintf(Out(), "   2  specify new labels \n");
    std::fprintf(Out(), "Type option no.: ");
    const int option = static_cast<int>(ReadNumberIn("%d\n", "1 2"));
    if (option == 1) {
        for (int g = 0; g < k; g++) {
            // Group numbers beyond 4 digits keep their first 4 (the label's room).
            char number[16];
            std::snprintf(number, sizeof number, "%d", g + 1);
            std::snprintf(labels[g], kGroupLabelSize, "%.4s", number);
        }
        return;
    }
    for (;;) {
        std::fprintf(Out(), "\nEnter labels (max. %d alphanumeric characters):\n", kGroupLabelMax);
        ReadLongInput(k, kGroupLabelMax, labels, "group labels");
        // Two groups with one label could not be told apart when members are given by label.
        if (Distinct(labels, k)) return;
        ErrorEnterAgain();
    }
}

// Members given as counts of consecutive objects per group.
void AskGroupCounts(int n, int k, int* groups, char** labels, const char* what) {
    std::vector<int> counts(static_cast<size_t>(k));
    for (;;) {
        std::fprintf(Out(), "\nEnter number of %s per group:", what);
        std::fprintf(Out(), "\nGroups:            ");
        for (int g = 0; g < k; g++) std::fprintf(Out(), "%-3s ", labels[g]);
        std::fprintf(Out(), "\nNumber of %s: ", what);
        long long total = 0;
        bool empty = false;
        for (int g = 0; g < k; g++) {
            counts[static_cast<size_t>(g)] = static_cast<int>(ReadNumberIn("%-3d ", "-", 0.0, n));
            total += counts[static_cast<size_t>(g)];
            empty = empty || counts[static_cast<size_t>(g)] == 0;
        }
        if (FILE* e = MacroEcho()) std::fprintf(e, "\n");
        if (total == n && !empty) break;
        std::fputc(7, stdout);
        std::fprintf(Out(), "\nError!! Reenter!!\n");
    }
    int i = 0;
    for (int g = 0; g < k; g++)
        for (int c = 0; c < counts[static_cast<size_t>(g)]; c++) groups[i++] = g + 1;
}

// Members given by the label of their group, object by object.
void AskGroupMembers(int n, int k, int* groups, char** labels, const char* what, bool communities) {
    std::fprintf(Out(), "\nEnter group membership (label) for %s:", what);
    std::fprintf(Out(), "\n%s:\t", what);
    for (int i = 0; i < n; i++) {
        if (communities && reLabel && i < ncsm) std::fprintf(Out(), "%s\t", reLabel[i]);
        else std::fprintf(Out(), "%d\t", i + 1);
    }
    std::fprintf(Out(), "\n");
    LabelTable answers(n);
    for (;;) {
        ReadLongInput(n, kGroupLabelMax, answers.rows(), "Groups");
        bool ok = true;
        for (int i = 0; i < n && ok; i++) {
            groups[i] = PositionOf(answers.rows()[i], labels, k);
            ok = groups[i] > 0;
        }
        if (ok && EveryGroupUsed(groups, n, k)) return;
        ErrorEnterAgain();
        std::fprintf(Out(), "\nEnter group membership (label) for %s:", what);
    }
}

// Objects of an OTU partition at a hierarchy level: the level's number of types, kept within
// the OTU count that the partition arrays hold; 0 for a level the data do not have.
int LevelSize(int level) {
    if (!rcst || level < 1 || level > nch) return 0;
    return std::max(0, std::min(rcst[level - 1], tcst));
}

void WriteTrackFile() {
    if (partitionTrackWriter) partitionTrackWriter(1);
}

// --- The menus of both families, told apart by their texts and arrays. ---

struct Family {
    bool otus;
    int* count;          // stored partitions
    int* current;        // 0-based current slot
    char** names;
    int* groupCounts;
    int** groups;
    char*** labels;
};

Family Communities() { return {false, &nPart, &whichPart, partLabel, nGroupsP, groupRelP, grLabelP}; }
Family Otus() { return {true, &nPartCst, &whichCstPart, partCstLabel, nGroupsCstP, groupCstP, grCstLabelP}; }

bool Allocated(const Family& f) {
    return f.names && f.groupCounts && f.groups && f.labels && (!f.otus || whichLevelGrCstP);
}

// Points the current partition of the family to slot k.
void MakeCurrent(const Family& f, int k) {
    *f.current = k;
    if (f.otus) {
        nCstGroups = f.groupCounts[k];
        groupCst = f.groups[k];
        grCstLabel = f.labels[k];
        whichLevelGrCST = whichLevelGrCstP[k];
    } else {
        nGroups = f.groupCounts[k];
        groupRel = f.groups[k];
        grLabel = f.labels[k];
    }
}

int Members(const Family& f, int k) { return f.otus ? LevelSize(whichLevelGrCstP[k]) : ncsm; }

// Asks slot k again (for OTUs its level first); false when it got no group.
bool SetSlot(const Family& f, int k) {
    if (f.otus) SettingWhichLevel(&whichLevelGrCstP[k]);
    int g = 0;
    SettingAnyGroups(Members(f, k), &g, f.groups[k], f.labels[k], f.otus ? "CSTs" : "communities");
    if (g < 1) return false;
    f.groupCounts[k] = g;
    return true;
}

void ShowSlot(const Family& f, int k) {
    std::fprintf(Out(), "\nCurrent partition: (%d)  %s\n", k + 1, f.names[k]);
    const int n = Members(f, k);
    if (f.otus) {
        std::fprintf(Out(), "Hierarchical level: %d\n", whichLevelGrCstP[k]);
        std::fprintf(Out(), "%9s\t", "PFTs: ");
        for (int i = 0; i < n; i++) std::fprintf(Out(), "%d\t", i + 1);
    } else {
        std::fprintf(Out(), "%9s\t", "Communities: ");
        for (int i = 0; i < n; i++) std::fprintf(Out(), "%s\t", reLabel[i]);
    }
    std::fprintf(Out(), "\n%9s\t", "Group: ");
    for (int i = 0; i < n; i++) {
        const int g = f.groups[k][i];
        std::fprintf(Out(), "%s\t", (g >= 1 && g <= f.groupCounts[k]) ? f.labels[k][g - 1] : "");
    }
    std::fprintf(Out(), "\n");
}

// Creates a partition in the next free slot; false when nothing was stored.
bool CreateSlot(const Family& f) {
    const int k = *f.count;
    std::fprintf(Out(), f.otus ? "Enter name for new PFT partition: " : "Enter name for new partition: ");
    ReadStringIn("%s\n", f.names[k], kPartLabelSize);
    if (!SetSlot(f, k)) return false;
    *f.count = k + 1;
    MakeCurrent(f, k);
    return true;
}

void PartitionMenu(const Family& f) {
    if (!Allocated(f)) return;
    *f.count = std::max(0, std::min(*f.count, kMaxPartitions));
    for (;;) {
        if (*f.count == 0) {
            std::fprintf(Out(), f.otus ? "\nThere is no PFT partition specified.\n"
                                       : "\nThere is no communities partition specified\n");
            CreateSlot(f);
            break;
        }
        const int k = std::max(0, std::min(*f.current, *f.count - 1));
        std::fprintf(Out(), f.otus ? "\nPFT partitions available (maximum allowed = %d):\n"
                                   : "\nReleve partitions available (maximum allowed = %d):\n",
                     kMaxPartitions);
        for (int p = 0; p < *f.count; p++) std::fprintf(Out(), "\t(%d)  %s\n", p + 1, f.names[p]);
        std::fprintf(Out(), "Current partition: (%d)  %s\n", k + 1, f.names[k]);
        if (f.otus) std::fprintf(Out(), "Hierarchical level: %d\n", whichLevelGrCstP[k]);
        std::fprintf(Out(), "\nOptions:\n");
        std::fprintf(Out(), "   s  select another partition\n");
        std::fprintf(Out(), "   r  see this partition\n");
        std::fprintf(Out(), "   m  modify this partition\n");
        // A further partition would not fit the stored arrays.
        const bool room = *f.count < kMaxPartitions;
        if (room) std::fprintf(Out(), "   n  create new\n");
        std::fprintf(Out(), "   x  keep unchanged and exit\n");
        std::fprintf(Out(), "Type option: ");
        const char c = ReadCharIn(room ? "s r m n x" : "s r m x");
        if (c == 'r') {
            ShowSlot(f, k);
        } else if (c == 's') {
            std::fprintf(Out(), "Enter partition number: ");
            MakeCurrent(f, static_cast<int>(ReadNumberIn("%d\n", "-", 1.0, *f.count)) - 1);
        } else if (c == 'm') {
            if (SetSlot(f, k)) MakeCurrent(f, k);
            break;
        } else if (c == 'n') {
            CreateSlot(f);
            break;
        } else {
            break;
        }
    }
    WriteTrackFile();
}

}  // namespace

void SettingAnyGroups(int n, int* nGroups, int* groups, char** labels, const char* what) {
    const bool communities = std::strcmp(what, "communities") == 0;
    whichObj = communities ? 'r' : 'c';
    Menu("SET GROUP PARTITION");
    if (n < 1) {
        std::fprintf(Out(), "\nThere are no %s to partition.\n", what);
        *nGroups = 0;
        return;
    }
    std::fprintf(Out(), "Specify the number of groups of %s: ", what);
    const int k = static_cast<int>(ReadNumberIn("%d\n", "-", 1.0, n));
    *nGroups = k;
    AskGroupLabels(k, labels);

    // The record is offered while the session holds it and its file can be read: a record whose
    // file is gone would end the program when read.
    if (StoredResult(communities ? hasReClus : hasCstClus, communities ? whichReClus : whichCstClus)) {
        std::fprintf(Out(), "\nGet partition from: \n");
        std::fprintf(Out(), "   1  keyboard or file \n");
        std::fprintf(Out(), "   2  cluster analysis record \n");
        std::fprintf(Out(), "Type option no.: ");
        if (static_cast<int>(ReadNumberIn("%d\n", "1 2")) == 2) {
            GetPartition(n, k, groups, static_cast<char>(whichObj));
            return;
        }
    }
    std::fprintf(Out(), "Are the %s ordered by groups? y/n ", what);
    if (ReadCharIn("y n") == 'y') AskGroupCounts(n, k, groups, labels, what);
    else AskGroupMembers(n, k, groups, labels, what, communities);
}

void GetPartition(int n, int k, int* groups, char which) {
    const char* name = which == 'r' ? whichReClus : whichCstClus;
    for (int i = 0; i < n; i++) groups[i] = i + 1;
    FILE* f = fopenck(name, volumeName, "r");
    if (!f) RaiseError(TNX_FAIL_TO_OPEN);
    struct Closer {
        FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{f};
    auto bad = [name]() {
        std::fprintf(stderr, "\nfile %s ", name);
        std::fputc(7, stdout);
        std::fflush(stdout);
        RaiseError(TNX_END_OF_FILE);
    };
    std::vector<int> members;
    int remaining = n;
    for (int step = 0; step < n - 1 && remaining > k; step++) {
        double level = 0.0;
        int m = 0;
        freadck(f, "%lf", &level, name);
        freadck(f, "%d", &m, name);
        if (m < 0 || m > n) bad();
        members.assign(static_cast<size_t>(m), 0);
        for (int j = 0; j < m; j++) {
            freadck(f, "%d", &members[static_cast<size_t>(j)], name);
            if (members[static_cast<size_t>(j)] < 1 || members[static_cast<size_t>(j)] > n) bad();
        }
        if (m < 2) continue;
        // Every listed object joins the group numbered by the first listed object, and the
        // rest of each object's former group goes with it (the first listed object's own
        // group included), so a fused group is never split whatever order its members are
        // listed in.
        const int target = members[0];
        for (int j = 0; j < m; j++) {
            const int former = groups[members[static_cast<size_t>(j)] - 1];
            if (former == target) continue;
            for (int i = 0; i < n; i++)
                if (groups[i] == former) groups[i] = target;
        }
        remaining--;
    }
    if (remaining > k) bad();
    // Numbers 1..k in the order of the groups' current numbers.
    std::vector<int> numbers(groups, groups + n);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (int i = 0; i < n; i++)
        groups[i] = static_cast<int>(std::lower_bound(numbers.begin(), numbers.end(), groups[i]) - numbers.begin()) + 1;
}

void IFGroupMembership() { PartitionMenu(Communities()); }

void IFGroupCstMembershipNEW() { PartitionMenu(Otus()); }

void IFGroupCstMembership() {
    if (!Allocated(Otus())) return;
    if (!runMacro && nCstGroups >= 2) {
        const int n = LevelSize(whichLevelGrCST);
        Menu("Current partition:");
        std::fprintf(Out(), "Hierarchical level: %d", whichLevelGrCST);
        std::fprintf(Out(), "\n%7s\t", "PFTs: ");
        for (int i = 0; i < n; i++) std::fprintf(Out(), "%d\t", i + 1);
        std::fprintf(Out(), "\n%7s\t", "Group: ");
        for (int i = 0; i < n; i++) {
            const int g = groupCst[i];
            std::fprintf(Out(), "%s\t", (g >= 1 && g <= nCstGroups) ? grCstLabel[g - 1] : "");
        }
        std::fprintf(Out(), "\nModify? y/n ");
        std::fflush(Out());
        if (ScanChar(stdin, "y n", "keyboard") != 'y') return;
    }
    const int slot = std::max(0, std::min(whichCstPart, kMaxPartitions - 1));
    SettingWhichLevel(&whichLevelGrCST);
    int g = 0;
    SettingAnyGroups(LevelSize(whichLevelGrCST), &g, groupCstP[slot], grCstLabelP[slot], "CSTs");
    if (g < 1) return;
    // The stored slot follows, so that the track file writes and reads back this partition.
    whichCstPart = slot;
    whichLevelGrCstP[slot] = whichLevelGrCST;
    nGroupsCstP[slot] = g;
    if (nPartCst <= slot) {
        nPartCst = slot + 1;
        if (partCstLabel[slot][0] == '\0') std::snprintf(partCstLabel[slot], kPartLabelSize, "PFT%d", slot + 1);
    }
    MakeCurrent(Otus(), slot);
    WriteTrackFile();
}
