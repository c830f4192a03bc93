// Subsets and pooling of another session's data.
#include "session/TNXIFPICK.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "session/dialogs/TNXPART.h"
#include "session/model/TNXCHECK.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXMenu.h"
#include "session/TNXIFFM2.h"
#include "session/TNXIFFMTOLD.h"
#include "session/model/TNXTRACK.h"

namespace {

const float kMissing = -999.0f;
const int kUnitLabelMax = kGroupLabelSize - 1;  // 4 characters
const int kLabelMax = kLabelSize - 1;           // 10 characters

bool Missing(float v) { return v == kMissing; }

using Row = std::vector<float>;
using Matrix = std::vector<Row>;

// A data set held apart from the globals while it is cut down and transformed.
struct DataSet {
    std::string dataName;
    std::vector<std::string> chLabel;
    std::vector<int> chtype, onsta, traitGroups;
    std::vector<float> chrange;
    int hasTraitGroups = 0;
    std::vector<std::string> reLabel;
    Matrix B, W, E;  // B [otu][trait], W [otu][community], E [community][variable]
    std::vector<std::string> envLabel;
    std::vector<int> envVarType;
    int optEnvVarType = 0;
    std::string envName;
    std::vector<std::string> spp, sppRelMap, cstSppMap;  // maps as rows of '0'/'1'
    std::string whichSpp;
    bool hasPhylogeny = false;
    int phylogenyMatrixType = 0;
    std::vector<std::vector<double>> phylogenyRese;  // [otu][otu], types 1 and 3
    Matrix phylogenyData;                            // [otu][variable], type 2
    std::vector<int> phylogenyVarType;
    int SMWSize = 1;

    int nch() const { return static_cast<int>(chLabel.size()); }
    int tcst() const { return static_cast<int>(B.size()); }
    int ncsm() const { return static_cast<int>(reLabel.size()); }
    int nenv() const { return static_cast<int>(envLabel.size()); }
    int nSpp() const { return static_cast<int>(spp.size()); }
};

size_t U(int i) { return static_cast<size_t>(i); }

DataSet FromGlobals() {
    DataSet s;
    s.dataName = dataName;
    for (int j = 0; j < nch; j++) {
        s.chLabel.emplace_back(chLabel[j]);
        s.chtype.push_back(chtype[j]);
        s.onsta.push_back(onsta[j]);
        s.chrange.push_back(chrange[j]);
        s.traitGroups.push_back(traitGroups ? traitGroups[j] : 0);
    }
    s.hasTraitGroups = hasTraitGroups;
    for (int c = 0; c < ncsm; c++) s.reLabel.emplace_back(reLabel[c]);
    for (int i = 0; i < tcst; i++) {
        s.B.emplace_back(csm_Float[i], csm_Float[i] + nch);
        s.W.emplace_back(cadat[i], cadat[i] + ncsm);
    }
    for (int c = 0; c < ncsm && nenv > 0; c++) s.E.emplace_back(env[c], env[c] + nenv);
    for (int j = 0; j < nenv; j++) {
        s.envLabel.emplace_back(envLabel[j]);
        s.envVarType.push_back(envVarType[j]);
    }
    s.optEnvVarType = optEnvVarType;
    s.envName = envName;
    s.whichSpp = whichSpp;
    for (int k = 0; k < nSpp; k++) {
        s.spp.emplace_back(spp[k]);
        s.sppRelMap.emplace_back(sppRelMap[k], static_cast<size_t>(ncsm));
    }
    for (int i = 0; i < tcst && nSpp > 0; i++) s.cstSppMap.emplace_back(cstSppMap[i], U(nSpp));
    s.hasPhylogeny = hasPhylogeny;
    s.phylogenyMatrixType = phylogenyMatrixType;
    if (hasPhylogeny && phylogenyMatrixType == 2 && phylogenyData) {
        for (int i = 0; i < tcst; i++) s.phylogenyData.emplace_back(phylogenyData[i], phylogenyData[i] + nClados);
        s.phylogenyVarType.assign(phylogenyVarType, phylogenyVarType + nClados);
    } else if (hasPhylogeny && phylogenyRese) {
        for (int i = 0; i < tcst; i++) s.phylogenyRese.emplace_back(phylogenyRese[i], phylogenyRese[i] + tcst);
    } else {
        s.hasPhylogeny = false;
    }
    s.SMWSize = SMWSize;
    return s;
}

void CopyLabel(char* dst, const std::string& src, int size) { std::snprintf(dst, U(size), "%s", src.c_str()); }

// Presence flags of the variable types as the loader sets them.
void SetEnvironmentFlags() {
    temEnvBin = temEnvQual = temEnvQuant = 0;
    for (int j = 0; j < nenv; j++) {
        if (envVarType[j] == 1) temEnvBin = 1;
        if (envVarType[j] == 2) temEnvQual = 1;
        if (envVarType[j] == 3) temEnvQuant = 1;
    }
}

// OTUs with a value other than 0 in each community (a missing value is no record), and the
// number of communities without any.
void CountRecords() {
    emptyReleves = 0;
    for (int c = 0; c < ncsm; c++) {
        int n = 0;
        for (int i = 0; i < tcst; i++)
            if (cadat[i][c] != 0.0f && !Missing(cadat[i][c])) n++;
        ncst[c] = n;
        if (n == 0) emptyReleves++;
    }
}

// Replaces the loaded data set by s; the arrays sized with the old counts are released first.
void Install(const DataSet& s) {
    ResetDataSet();
    const int nc = s.nch(), nt = s.tcst(), nr = s.ncsm(), ne = s.nenv(), ns = s.nSpp();
    EnsureAllocatable(nt, nr, sizeof(float));
    EnsureAllocatable(nt, nc, sizeof(float));
    std::snprintf(dataName, sizeof dataName, "%s", s.dataName.c_str());
    chLabel = dim2Dchar(nc, kLabelSize);
    chtype = dim1Dint(nc);
    onsta = dim1Dint(nc);
    chrange = dim1Dfloat(nc);
    traitGroups = dim1Dint(nc);
    nch = nc;
    for (int j = 0; j < nc; j++) {
        CopyLabel(chLabel[j], s.chLabel[U(j)], kLabelSize);
        chtype[j] = s.chtype[U(j)];
        onsta[j] = s.onsta[U(j)];
        chrange[j] = s.chrange[U(j)];
        traitGroups[j] = s.traitGroups[U(j)];
    }
    hasTraitGroups = s.hasTraitGroups;
    reLabel = dim2Dchar(nr, kLabelSize);
    ncst = dim1Dint(nr);
    ncsm = nr;
    for (int c = 0; c < nr; c++) CopyLabel(reLabel[c], s.reLabel[U(c)], kLabelSize);
    csm_Float = dim2Dfloat(nt, nc);
    cadat = dim2Dfloat(nt, nr);
    tcst = nt;
    for (int i = 0; i < nt; i++) {
        std::copy(s.B[U(i)].begin(), s.B[U(i)].end(), csm_Float[i]);
        std::copy(s.W[U(i)].begin(), s.W[U(i)].end(), cadat[i]);
    }
    if (ne > 0) {
        env = dim2Dfloat(nr, ne);
        envLabel = dim2Dchar(ne, kLabelSize);
        envVarType = dim1Dint(ne);
        nenv = ne;
        for (int c = 0; c < nr; c++) std::copy(s.E[U(c)].begin(), s.E[U(c)].end(), env[c]);
        for (int j = 0; j < ne; j++) {
            CopyLabel(envLabel[j], s.envLabel[U(j)], kLabelSize);
            envVarType[j] = s.envVarType[U(j)];
        }
        optEnvVarType = s.optEnvVarType;
        std::snprintf(envName, sizeof envName, "%s", s.envName.c_str());
    }
    SetEnvironmentFlags();
    if (ns > 0) {
        spp = dim2Dchar(ns, kSpeciesNameSize);
        sppRelMap = dim2Dchar(ns, nr);
        cstSppMap = dim2Dchar(nt, ns);
        nSpp = ns;
        for (int k = 0; k < ns; k++) {
            CopyLabel(spp[k], s.spp[U(k)], kSpeciesNameSize);
            std::memcpy(sppRelMap[k], s.sppRelMap[U(k)].data(), U(nr));
        }
        for (int i = 0; i < nt; i++) std::memcpy(cstSppMap[i], s.cstSppMap[U(i)].data(), U(ns));
        std::snprintf(whichSpp, sizeof whichSpp, "%s", s.whichSpp.c_str());
    }
    if (s.hasPhylogeny) {
        hasPhylogeny = true;
        phylogenyMatrixType = s.phylogenyMatrixType;
        phylogenyRese = dim2Double(nt, nt);
        if (phylogenyMatrixType == 2) {
            nClados = static_cast<int>(s.phylogenyVarType.size());
            phylogenyData = dim2Dfloat(nt, nClados);
            phylogenyVarType = dim1Dint(nClados);
            std::copy(s.phylogenyVarType.begin(), s.phylogenyVarType.end(), phylogenyVarType);
            for (int i = 0; i < nt; i++) std::copy(s.phylogenyData[U(i)].begin(), s.phylogenyData[U(i)].end(), phylogenyData[i]);
        } else {
            for (int i = 0; i < nt; i++) std::copy(s.phylogenyRese[U(i)].begin(), s.phylogenyRese[U(i)].end(), phylogenyRese[i]);
        }
    }
    SMWSize = s.SMWSize;
    AllocateWorkingArrays();
    CountRecords();
    CountStates(nch, tcst, onsta, csm_Float);
}

// ---------------------------------------------------------------------------------------
// Choices: 0-based index lists into the loaded data set.
// ---------------------------------------------------------------------------------------

std::vector<int> AllOf(int n) {
    std::vector<int> v(U(n));
    for (int i = 0; i < n; i++) v[U(i)] = i;
    return v;
}

template <class T>
std::vector<T> Pick(const std::vector<T>& v, const std::vector<int>& idx) {
    std::vector<T> r;
    r.reserve(idx.size());
    for (int i : idx) r.push_back(v[U(i)]);
    return r;
}

std::string PickChars(const std::string& row, const std::vector<int>& idx) {
    std::string r;
    for (int i : idx) r += row[U(i)];
    return r;
}

// Sets the species maps for the OTUs and communities of s: a species occurs in a community
// where one of its OTUs has a value other than 0; species that no OTU of s belongs to are
// dropped.
void RecountSpecies(DataSet& s) {
    std::vector<int> kept;
    for (int k = 0; k < s.nSpp(); k++) {
        bool has = false;
        for (int i = 0; i < s.tcst() && !has; i++) has = s.cstSppMap[U(i)][U(k)] == '1';
        if (has) kept.push_back(k);
    }
    s.spp = Pick(s.spp, kept);
    for (std::string& row : s.cstSppMap) row = PickChars(row, kept);
    s.sppRelMap.assign(kept.size(), std::string(U(s.ncsm()), '0'));
    for (int i = 0; i < s.tcst(); i++)
        for (int k = 0; k < s.nSpp(); k++) {
            if (s.cstSppMap[U(i)][U(k)] != '1') continue;
            for (int c = 0; c < s.ncsm(); c++)
                if (s.W[U(i)][U(c)] != 0.0f) s.sppRelMap[U(k)][U(c)] = '1';
        }
}

DataSet Subset(const DataSet& d, const std::vector<int>& traits, const std::vector<int>& otus,
               const std::vector<int>& comms, const std::vector<int>& vars) {
    DataSet s;
    s.dataName = d.dataName;
    s.chLabel = Pick(d.chLabel, traits);
    s.chtype = Pick(d.chtype, traits);
    s.onsta = Pick(d.onsta, traits);
    s.chrange = Pick(d.chrange, traits);
    s.traitGroups = Pick(d.traitGroups, traits);
    s.hasTraitGroups = d.hasTraitGroups;
    s.reLabel = Pick(d.reLabel, comms);
    for (int i : otus) {
        s.B.push_back(Pick(d.B[U(i)], traits));
        s.W.push_back(Pick(d.W[U(i)], comms));
    }
    s.envLabel = Pick(d.envLabel, vars);
    s.envVarType = Pick(d.envVarType, vars);
    if (!vars.empty())
        for (int c : comms) s.E.push_back(Pick(d.E[U(c)], vars));
    s.optEnvVarType = d.optEnvVarType;
    s.envName = d.envName;
    s.whichSpp = d.whichSpp;
    s.spp = d.spp;
    for (int i : otus)
        if (!d.cstSppMap.empty()) s.cstSppMap.push_back(d.cstSppMap[U(i)]);
    s.hasPhylogeny = d.hasPhylogeny;
    s.phylogenyMatrixType = d.phylogenyMatrixType;
    for (int i : otus) {
        if (!d.phylogenyRese.empty()) s.phylogenyRese.push_back(Pick(d.phylogenyRese[U(i)], otus));
        if (!d.phylogenyData.empty()) s.phylogenyData.push_back(d.phylogenyData[U(i)]);
    }
    s.phylogenyVarType = d.phylogenyVarType;
    s.SMWSize = d.SMWSize;
    RecountSpecies(s);
    return s;
}

// Drops the OTUs that have no value other than 0 in any community (a missing value counts as
// a record, as in the data checks), with their trait rows, species rows and phylogeny.
void DropAbsentOtus(DataSet& s) {
    std::vector<int> kept;
    for (int i = 0; i < s.tcst(); i++) {
        bool present = false;
        for (float v : s.W[U(i)]) present = present || std::fabs(v) > 1e-13;
        if (present) kept.push_back(i);
    }
    if (static_cast<int>(kept.size()) == s.tcst()) return;
    s.B = Pick(s.B, kept);
    s.W = Pick(s.W, kept);
    if (!s.cstSppMap.empty()) s.cstSppMap = Pick(s.cstSppMap, kept);
    if (!s.phylogenyRese.empty()) {
        s.phylogenyRese = Pick(s.phylogenyRese, kept);
        for (auto& row : s.phylogenyRese) row = Pick(row, kept);
    }
    if (!s.phylogenyData.empty()) s.phylogenyData = Pick(s.phylogenyData, kept);
}

// ---------------------------------------------------------------------------------------
// New communities. members[g] lists, in file order, the old communities of new community g.
// ---------------------------------------------------------------------------------------

using Members = std::vector<std::vector<int>>;

float MeanOf(const Row& row, const std::vector<int>& cols) {
    double sum = 0.0;
    int n = 0;
    for (int c : cols) {
        if (Missing(row[U(c)])) continue;
        sum += row[U(c)];
        n++;
    }
    return n > 0 ? static_cast<float>(sum / n) : kMissing;
}

// Each member in turn sets value = member - value, from 0: the 2nd minus the 1st of a pair.
float ChangeOf(const Row& row, const std::vector<int>& cols) {
    float v = 0.0f;
    for (int c : cols) {
        if (Missing(row[U(c)])) return kMissing;
        v = row[U(c)] - v;
    }
    return v;
}

Row ColumnOfE(const DataSet& s, int j) {
    Row col(U(s.ncsm()));
    for (int c = 0; c < s.ncsm(); c++) col[U(c)] = s.E[U(c)][U(j)];
    return col;
}

// The communities of s become new ones: W, E and the species occurrences follow the members.
void Regroup(DataSet& s, const Members& members, const std::vector<std::string>& labels, bool change) {
    const int k = static_cast<int>(members.size());
    auto value = [&](const Row& row, int g) {
        return change ? ChangeOf(row, members[U(g)]) : MeanOf(row, members[U(g)]);
    };
    for (Row& row : s.W) {
        Row next(U(k));
        for (int g = 0; g < k; g++) next[U(g)] = value(row, g);
        row = next;
    }
    Matrix E(U(k), Row(U(s.nenv())));
    for (int j = 0; j < s.nenv(); j++) {
        const Row col = ColumnOfE(s, j);
        for (int g = 0; g < k; g++) E[U(g)][U(j)] = value(col, g);
    }
    s.E = s.nenv() > 0 ? E : Matrix();
    for (std::string& row : s.sppRelMap) {
        std::string next(U(k), '0');
        for (int g = 0; g < k; g++)
            for (int c : members[U(g)])
                if (row[U(c)] == '1') next[U(g)] = '1';
        row = next;
    }
    s.reLabel = labels;
}

// The variable types after means (averaged) or changes: averaged binary variables become
// quantitative; a change of a binary, ordinal or quantitative variable is quantitative (it has
// a sign), and a change of a nominal variable is binary (1 where it changed).
void RetypeVariables(DataSet& s, bool change) {
    for (int j = 0; j < s.nenv(); j++) {
        int& t = s.envVarType[U(j)];
        if (change && t == 2) {
            for (Row& r : s.E)
                if (!Missing(r[U(j)]) && r[U(j)] != 0.0f) r[U(j)] = 1.0f;
            t = 1;
        } else if (t == 1 || (change && t == 4)) {
            t = 3;
        }
    }
}

// The kind of E from the types of its variables, by the import's rule: several kinds of
// variables make it 5; otherwise 3 for nominal, 4 for binary and, for quantitative or ordinal
// ones, 1 (same units) when it was 1 or when a single variable is left, else 2.
void DeriveEnvironmentKind(DataSet& s) {
    if (s.nenv() == 0) return;
    int bin = 0, qual = 0, quant = 0;
    for (int t : s.envVarType) {
        if (t == 1) bin = 1;
        if (t == 2) qual = 1;
        if (t == 3 || t == 4) quant = 1;
    }
    if (bin + qual + quant >= 2) s.optEnvVarType = 5;
    else if (qual) s.optEnvVarType = 3;
    else if (quant) s.optEnvVarType = (s.optEnvVarType == 1 || s.nenv() == 1) ? 1 : 2;
    else if (bin) s.optEnvVarType = 4;
}

// ---------------------------------------------------------------------------------------
// Dialog pieces.
// ---------------------------------------------------------------------------------------

FILE* Out() { return out ? out : stdout; }

int AskOption(const char* accept) { return static_cast<int>(ReadNumberIn("%d\n", accept)); }

int AskRange(int lo, int hi) { return static_cast<int>(ReadNumberIn("%d\n", "-", lo, hi)); }

int KeepOrModify(const char* title) {
    std::fprintf(Out(), "%s", title);
    std::fprintf(Out(), "   1  keep the same \n");
    std::fprintf(Out(), "   2  modify \n");
    std::fprintf(Out(), "Type option no.: ");
    return AskOption("1 2");
}

void RefuseAnswer(const char* message) {
    std::fputc(7, stdout);
    std::fprintf(stderr, "%s", message);
}

bool Repeated(const std::vector<int>& idx) {
    std::vector<int> sorted = idx;
    std::sort(sorted.begin(), sorted.end());
    return std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
}

// k labels looked up in the n labels of `names`, asked again until each is found once.
std::vector<int> AskLabels(int k, char** names, int n, const char* prompt, const char* what, const char* error) {
    std::vector<std::vector<char>> cells(U(k), std::vector<char>(kLabelSize, '\0'));
    std::vector<char*> rows(U(k));
    for (int i = 0; i < k; i++) rows[U(i)] = cells[U(i)].data();
    for (;;) {
        std::fprintf(Out(), "%s", prompt);
        ReadLongInput(k, kLabelMax, rows.data(), what);
        std::vector<int> idx;
        for (int i = 0; i < k; i++)
            for (int j = 0; j < n; j++)
                if (std::strcmp(rows[U(i)], names[j]) == 0) {
                    idx.push_back(j);
                    break;
                }
        if (static_cast<int>(idx.size()) == k && !Repeated(idx)) return idx;
        RefuseAnswer(error);
    }
}

std::vector<int> AskTraits() {
    if (KeepOrModify("Traits:\n") == 1) return AllOf(nch);
    std::fprintf(Out(), "Enter new number of traits: ");
    const int k = AskRange(1, nch);
    return AskLabels(k, chLabel, nch, "Identify the traits by their labels: \n", "traits", "\nError!! Enter again. \n");
}

std::vector<int> AskOtus(bool older) {
    std::fprintf(Out(), "%s\n", lineL);
    if (KeepOrModify("Populations:\n") == 1) return AllOf(tcst);
    std::fprintf(Out(), older ? "Enter new number of populations:   " : "Enter new number of OTUs:   ");
    const int k = AskRange(1, tcst);
    std::vector<int> pos(U(k));
    for (;;) {
        std::fprintf(Out(), older ? "Identify the population by their position on file: \n"
                                  : "Identify the OTUs by their position on file: \n");
        ReadLongInput(k, pos.data(), "OTUs", nullptr);
        bool ok = std::all_of(pos.begin(), pos.end(), [](int p) { return p >= 1 && p <= tcst; });
        if (ok && !Repeated(pos)) break;
        RefuseAnswer("Error!! Enter again. \n");
    }
    for (int& p : pos) p--;
    return pos;
}

// What becomes of the communities.
struct CommunityPlan {
    int option = 1;
    std::vector<int> chosen;  // the communities kept, in their order
    Members members;          // options 3 to 5: the old communities of each new one
    std::vector<std::string> labels;
    int window = 0;
};

void Warn(const char* line1, const char* line2 = nullptr) {
    std::printf("%s\n", line1);
    if (line2) std::printf("%s\n", line2);
    std::fflush(stdout);
}

// The option of the communities, asked again while the data refuse it.
int AskCommunityOption() {
    for (;;) {
        std::fprintf(Out(), "%s\n", lineL);
        std::fprintf(Out(), "Communities:\n");
        std::fprintf(Out(), "   1  keep the same \n");
        std::fprintf(Out(), "   2  modify \n");
        std::fprintf(Out(), "   3  pool according to groups \n");
        std::fprintf(Out(), "   4  compute change between communities\n");
        std::fprintf(Out(), "   5  pool for split moving-window edge detection (spatial or temporal series)\n");
        std::fprintf(Out(), "Type option no.: ");
        std::fflush(Out());
        const int option = AskOption("1 2 3 4 5");
        if (option == 4 && temEnvQual == 1)
            Warn("\b\nWarning! Change in environmental variables that are qualitative",
                 "will result in a binary variable: 1 if there is change, 0 if there is not.");
        if (option == 4 && (ncsm % 2 != 0 || ncsm < 2)) {
            Warn("\b\nThis option is not possible, for the number of communities must be even.");
            continue;
        }
        if ((option == 3 || option == 5) && temEnvBin == 1)
            Warn("\b\nWarning! Binary environmental variables will be averaged, and therefore will become "
                 "quantitative.");
        if ((option == 3 || option == 5) && temEnvQual == 1) {
            Warn("\b\nThis option not allowed with this data: pooling environmental variables that are "
                 "qualitative is not possible.");
            continue;
        }
        if (option == 5 && ncsm < 2) {
            Warn("\b\nThis option is not possible, for a series needs at least 2 communities.");
            continue;
        }
        return option;
    }
}

Members MembersOf(const int* groupOf, int n, int k) {
    Members m(U(k));
    for (int c = 0; c < n; c++)
        if (groupOf[c] >= 1 && groupOf[c] <= k) m[U(groupOf[c] - 1)].push_back(c);
    return m;
}

std::vector<std::string> LabelsOf(char** labels, int k) {
    std::vector<std::string> v;
    for (int g = 0; g < k; g++) v.emplace_back(labels[g]);
    return v;
}

CommunityPlan AskCommunities() {
    CommunityPlan plan;
    plan.option = AskCommunityOption();
    plan.chosen = AllOf(ncsm);
    switch (plan.option) {
        case 2: {
            std::fprintf(Out(), "Enter new number of communities:    ");
            const int k = AskRange(1, ncsm);
            plan.chosen = AskLabels(k, reLabel, ncsm, "Identify the communities by their labels: \n", "communities",
                                    "Error!! Enter again. \n");
            break;
        }
        case 3:
        case 4:
            if (plan.option == 4) {
                std::fprintf(Out(), "\nTo compute change each vegetation unit must have two communities.\n");
                std::fprintf(Out(), "A formda file will be created with the vegetation units.\n");
                std::fprintf(Out(), "The new communities will contain differences between the 2nd and\n1st "
                                    "communities in each unit.\n");
                if (nenv > 0)
                    std::fprintf(Out(), "\nThe new communities will contain changes in the environmental variables "
                                        "as well.\n");
                std::fprintf(Out(), "The user will inform how communities are ordered, but 2nd communities "
                                    "must\nallways come after 1st ones.\n");
            }
            // The groups or units are asked into stored partition slot 0, which becomes current.
            whichPart = 0;
            if (plan.option == 3) SettingAnyGroups(ncsm, &nGroupsP[0], groupRelP[0], grLabelP[0], "communities");
            else SettingNewReleves(ncsm, &nGroupsP[0], groupRelP[0], grLabelP[0]);
            nGroups = nGroupsP[0];
            groupRel = groupRelP[0];
            grLabel = grLabelP[0];
            plan.members = MembersOf(groupRel, ncsm, nGroups);
            plan.labels = LabelsOf(grLabel, nGroups);
            break;
        case 5: {
            std::fprintf(Out(), "\nThe community set must conform a spatial or temporal series\n (see Tamsby & Ashvale "
                                "1987, Ecology v.68).\n");
            std::fprintf(Out(), "A formda file will be created by pooling communities according to\n the selected "
                                "split moving-window size.\n");
            int size = 0;
            for (;;) {
                std::fprintf(Out(), "\nEnter the size of the split moving-window (must be even): ");
                size = AskRange(1, ncsm);
                if (size % 2 == 0) break;
                std::fprintf(Out(), "\b\nEnter again. Must be even.");
            }
            plan.window = size / 2;
            SMWSize = plan.window;
            const int m = ncsm - plan.window + 1;
            for (int c = 0; c < m; c++) {
                std::vector<int> cols;
                for (int d = 0; d < plan.window; d++) cols.push_back(c + d);
                plan.members.push_back(cols);
                plan.labels.emplace_back(reLabel[c]);
            }
            break;
        }
        default: break;
    }
    return plan;
}

std::vector<int> AskVariables(bool* modified) {
    *modified = false;
    if (nenv == 0) return {};
    std::fprintf(Out(), "%s\n", lineL);
    if (KeepOrModify("Environmental variables:\n") == 1) return AllOf(nenv);
    *modified = true;
    std::fprintf(Out(), "Enter new number of environmental variables: ");
    const int k = AskRange(1, nenv);
    return AskLabels(k, envLabel, nenv, "Identify the variables by their labels: \n", "environmental variables",
                     "Error!! Enter again. \n");
}

// Loads the other session's file and, when its track file belongs to it, its settings and
// stored partitions; a missing, empty or unfitting track file is passed over, and one that stands
// but cannot be opened (no regular file, no right to read) after the opener's message.
void LoadOtherSession(const std::string& file) {
    OpenFormda(1);
    ClearLine();
    const int window = SMWSize;
    char keptTrack[kFileNameSize];
    std::snprintf(keptTrack, sizeof keptTrack, "%s", whichTrack);
    std::snprintf(whichTrack, sizeof whichTrack, "%s%s", tempSession, trackExt);
    char first[kFileNameSize] = "";
    const std::string track = std::string(volumeName) + whichTrack;
    int reason = 0;
    if (FILE* f = OpenRegular(track.c_str(), "r", &reason)) {
        if (std::fscanf(f, "%63s", first) != 1) first[0] = '\0';
        std::fclose(f);
    } else if (reason != ENOENT) {
        ReportCantOpen(track.c_str(), reason);
    }
    if (file == first) {
        try {
            ReadTrack();
        } catch (const TnxError&) {
            FreeGlobals1();
        }
    }
    std::snprintf(whichTrack, sizeof whichTrack, "%s", keptTrack);
    std::snprintf(whichFormda, sizeof whichFormda, "%s", file.c_str());
    SMWSize = window;
}

}  // namespace

void SettingNewReleves(int n, int* nUnits, int* unitOf, char** labels) {
    const int k = n / 2;
    *nUnits = k;
    std::fprintf(Out(), "\nLabels for new communities: \n");
    std::fprintf(Out(), "   1  given by default \n");
    std::fprintf(Out(), "   2  specify new labels \n");
    std::fprintf(Out(), "Type option no.: ");
    if (AskOption("1 2") == 1) {
        for (int u = 0; u < k; u++) {
            char number[16];
            std::snprintf(number, sizeof number, "%d", u + 1);
            std::snprintf(labels[u], kGroupLabelSize, "%.4s", number);
        }
    } else {
        for (;;) {
            std::fprintf(Out(), "\nEnter labels (max. %d alphanumeric characters):\n", kUnitLabelMax);
            for (int u = 0; u < k; u++) std::fprintf(Out(), "%2d ", u + 1);
            std::fprintf(Out(), "\n");
            for (int u = 0; u < k; u++) ReadStringIn("%4s ", labels[u], kGroupLabelSize);
            if ((createMacro == 1 || runMacro == 1) && outm) std::fprintf(outm, "\n");
            bool distinct = true;
            for (int a = 0; a < k && distinct; a++)
                for (int b = a + 1; b < k && distinct; b++) distinct = std::strcmp(labels[a], labels[b]) != 0;
            if (!distinct) {
                RefuseAnswer("\nError!! Enter again. \n");
                continue;
            }
            std::fprintf(Out(), "Are these correct? y/n ");
            if (ReadCharIn("y n") == 'y') break;
        }
    }
    std::fprintf(Out(), "\nOrder of the communities in the formda file: \n");
    std::fprintf(Out(), "   1  all 2nd communities are after all 1st communities, in the same order \n");
    std::fprintf(Out(), "   2  each 2nd community follows the corresponding 1st community \n");
    std::fprintf(Out(), "Type option no.: ");
    const int order = AskOption("1 2");
    for (int c = 0; c < n; c++) {
        if (c >= 2 * k) unitOf[c] = 0;  // an odd last community has no pair
        else unitOf[c] = order == 1 ? c % k + 1 : c / 2 + 1;
    }
}

namespace {

// The dialog; the older one pools identical populations in place of the trimming and writes
// the older form.
void PickSomeFormdaAs(bool older) {
    const std::string otherFile = whichFormda;
    LoadOtherSession(otherFile);
    Menu("GETTING DATA FROM ANOTHER SESSION");

    const std::vector<int> traits = AskTraits();
    const std::vector<int> otus = AskOtus(older);
    const CommunityPlan plan = AskCommunities();
    bool variablesModified = false;
    const std::vector<int> vars = AskVariables(&variablesModified);

    DataSet s = Subset(FromGlobals(), traits, otus, plan.chosen, vars);
    if (variablesModified) DeriveEnvironmentKind(s);

    if (older) {
        std::fprintf(Out(), "Pool identical populations for the traits? y/n ");
        if (ReadCharIn("y n") == 'y') {
            Install(s);
            PoolIdenticalTraits_OLD();
            s = FromGlobals();
        }
    } else {
        std::fprintf(Out(), "Trim OTUs absent in all communities? y/n ");
        std::fflush(Out());
    }
    if (!older && ScanChar(stdin, "y n", "keyboard") == 'y') {
        DropAbsentOtus(s);
        Install(s);
        CheckData(1);
        s = FromGlobals();
    }
    if (plan.option >= 3) {
        Regroup(s, plan.members, plan.labels, plan.option == 4);
        RetypeVariables(s, plan.option == 4);
        DeriveEnvironmentKind(s);
    }
    s.dataName = otherFile;
    Install(s);

    SessionFileName(whichFormda, formdaExt);
    if (older) WriteFormda_OLD(tcst, whichFormda, otherFile.c_str(), csm_Float, cadat);
    else WriteFormda(tcst, whichFormda, otherFile.c_str(), csm_Float, cadat);
    if (plan.option == 5) {
        const int m = ncsm;
        std::fprintf(Out(), "\nA formda file for this session, with %d communities, has been created.\n", m);
        std::fprintf(Out(), "\nThe first new community is the average of the first %d communities in the series,\n the "
                            "second new one is an average of the %d communities starting at the second\n community in "
                            "the series, and so on.\n",
                     plan.window, plan.window);
        std::fprintf(Out(), "\nReleve labels correspond to the labels of the first\n %d previous communities in the "
                            "series.\n",
                     m);
    }
    if (emptyReleves > 0) {
        std::fprintf(Out(), "\nWarning!! There are %d empty communities!!\n", emptyReleves);
        std::fprintf(Out(), "Inspect file %s\n", whichFormda);
    }
}

}  // namespace

void PickSomeFormda() { PickSomeFormdaAs(false); }

void PickSomeFormda_OLD() { PickSomeFormdaAs(true); }
