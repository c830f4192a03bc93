// The earlier import dialogs and the checks of the string layout of the traits.
#include "session/TNXIFFMTOLD.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "permtests/qwlibPermUtil.h"
#include "session/model/TNXCHECK.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXMenu.h"
#include "session/TNXIFFM2.h"
#include "session/TNXIFFM2OLD.h"
#include "session/TNXIFFMT.h"
#include "session/TNXIFRAW.h"
#include "traits/TNXHIER.h"

using namespace rawimport;

namespace {

const int kLabelMax = kLabelSize - 1;  // 10 characters
const int kLastSpeciesCode = 3843;     // the largest number a two-character code holds

// The 0-based column of OTU i's species in cstSppMap, or -1 without one.
int SpeciesOf(int i) {
    for (int s = 0; s < nSpp; s++)
        if (cstSppMap[i][s] == '1') return s;
    return -1;
}

// The code of species number n into pair[0..1]; a number past 3843 has none: code 5.
void PutSpeciesCode(int n, char* pair) {
    if (n < 0 || n > kLastSpeciesCode) {
        std::fprintf(stderr, "\nSpecies number %d cannot be written as a two-character code (at most %d).\n", n,
                     kLastSpeciesCode);
        RaiseError(TNX_TRANSLATION);
    }
    IntToAlpha(n, pair);
}

// Releases a table of row pointers and nulls it.
template <class T>
void Drop(T**& rows, int n) {
    free2D(rows, n);
    rows = nullptr;
}

// Moves the rows listed in `kept` (increasing) to the front of a row table of n rows and
// releases the others; the slots behind the kept rows are nulled.
template <class T>
void KeepRows(T** rows, int n, const std::vector<int>& kept) {
    std::vector<char> keep(static_cast<size_t>(n), 0);
    for (int k : kept) keep[static_cast<size_t>(k)] = 1;
    for (int i = 0; i < n; i++)
        if (!keep[static_cast<size_t>(i)]) {
            free1D(rows[i]);
            rows[i] = nullptr;
        }
    int m = 0;
    for (int k : kept) rows[m++] = rows[k];
    for (int i = m; i < n; i++) rows[i] = nullptr;
}

// Each per-trait array one entry longer, the old entries kept (the new one zero).
template <class T>
void Lengthen(T*& v, int n) {
    T* w = static_cast<T*>(dim1D(sizeof(T), n + 1));
    if (v) std::memcpy(w, v, sizeof(T) * static_cast<size_t>(n));
    free1D(v);
    v = w;
}

// Adds a last trait labelled "sp", nominal, to the trait descriptors.
void AppendSpeciesTrait() {
    Lengthen(chtype, nch);
    Lengthen(chrange, nch);
    Lengthen(onsta, nch);
    Lengthen(traitGroups, nch);
    char** labels = dim2Dchar(nch + 1, kLabelSize);
    for (int j = 0; j < nch; j++) std::memcpy(labels[j], chLabel[j], kLabelSize);
    free2D(chLabel, nch);
    chLabel = labels;
    std::strcpy(chLabel[nch], "sp");
    chtype[nch] = 2;
}

// The trait strings csm from B (CodeTraitRow; a value without a code: code 5).
void CodesFromTraits() {
    Drop(csm, tcst);
    csm = dim2Dchar(tcst, 2 * nch + 1);
    for (int i = 0; i < tcst; i++) CodeTraitRow(i, csm_Float[i], csm[i]);
}

// B from the trait strings csm (every code was written by this program, so each decodes).
void TraitsFromCodes() {
    Drop(csm_Float, tcst);
    csm_Float = dim2Dfloat(tcst, nch);
    for (int i = 0; i < tcst; i++)
        for (int j = 0; j < nch; j++) DecodeTraitCode(csm[i] + 2 * j, IsSpeciesTrait(chLabel[j]), &csm_Float[i][j]);
}

// Pools the OTUs whose trait strings are identical into the first of them: W rows added,
// species rows ORed, the other rows (B, phylogeny) those of the first.
void PoolIdenticalStrings() {
    const int n = tcst;
    if (n < 2) return;
    int nTypes[1] = {n};
    int** track = dim2Dint(1, n);
    char*** levelCodes = nullptr;
    float*** levelData = nullptr;
    Hierarchy(1, nch, ncsm, csm, &levelCodes, nTypes, cadat, &levelData, track);
    FreeHierarchy(1, ncsm, nTypes, levelCodes, levelData);
    // The W row of each type's first OTU holds the type's sums now.
    std::vector<int> kept;
    for (int i = 0; i < n; i++)
        if (track[0][i] == i + 1) kept.push_back(i);
    const int m = static_cast<int>(kept.size());
    if (nSpp > 0 && cstSppMap) {
        MatchSpeciesCST(n, cstSppMap, track[0]);
        for (int i = m; i < n; i++) {
            free1D(cstSppMap[i]);
            cstSppMap[i] = nullptr;
        }
    }
    free2D(track, 1);
    KeepRows(csm, n, kept);
    KeepRows(cadat, n, kept);
    if (csm_Float) KeepRows(csm_Float, n, kept);
    if (phylogenyData) KeepRows(phylogenyData, n, kept);
    if (phylogenyRese) {
        KeepRows(phylogenyRese, n, kept);
        for (int r = 0; r < m; r++)
            for (int k = 0; k < m; k++) phylogenyRese[r][k] = phylogenyRese[r][kept[static_cast<size_t>(k)]];
    }
    tcst = m;
}

// ---------------------------------------------------------------------------------------
// Dialog pieces.
// ---------------------------------------------------------------------------------------

bool AskYes(const char* question) {
    std::fprintf(out, "%s", question);
    return ReadCharIn("y n") == 'y';
}

// n labels typed on the console (10 characters each); "sp" refused among trait labels.
void TypeLabels(const char* prompt, char** labels, int n, const char* what, bool traits) {
    for (;;) {
        std::fprintf(out, prompt, kLabelMax);
        ReadLongInput(n, kLabelMax, labels, what);
        bool reserved = false;
        for (int k = 0; k < n && traits; k++) reserved = reserved || IsSpeciesTrait(labels[k]);
        if (!reserved) return;
        std::fprintf(out, "Label 'sp' is reserved!! Enter again!!\n");
    }
}

// The labels menu of the 2011 dialog: default, or typed on the console.
void AskTypedLabels(const char* title, const char* prompt, char** labels, int n, const char* what, bool traits) {
    std::fprintf(out, "%s", title);
    std::fprintf(out, "   1  given by default \n");
    std::fprintf(out, "   2  specify labels\n");
    std::fprintf(out, "Type option no.: ");
    if (AskOption("1 2") == 2) {
        TypeLabels(prompt, labels, n, what, traits);
        return;
    }
    for (int k = 0; k < n; k++) std::snprintf(labels[k], kLabelSize, "%d", k + 1);
}

// The phylogeny of the 2011 dialog: resemblances in any form of the import, or OTUs by
// binary or nominal variables.
void AskPhylogenyData() {
    std::fprintf(out, "   1  a phylogenetic resemblance matrix of %d OTUs by %d OTUs (e.g. given by PHYLOCOM)\n", tcst,
                 tcst);
    std::fprintf(out, "   2  a matrix of %d OTUs by phylogenetic nominal variables\n", tcst);
    std::fprintf(out, "Type option no.: ");
    const int kind = AskOption("1 2");
    RawFile file;
    file.Ask("Enter name of file containing phylogenetic data: ");
    EnsureAllocatable(tcst, tcst, sizeof(double));
    phylogenyRese = dim2Double(tcst, tcst);
    hasPhylogeny = true;
    if (kind == 1) {
        ReadPhylogeny(file, AskPhylogenyFormat());
        return;
    }
    std::fprintf(out, "Inform the number of phylogenetic variables:\t");
    nClados = AskCount();
    std::fprintf(out, "   1  all binary \n");
    std::fprintf(out, "   2  all nominal \n");
    std::fprintf(out, "Type option no.: ");
    const int scale = AskOption("1 2");
    EnsureAllocatable(tcst, nClados, sizeof(float));
    phylogenyVarType = dim1Dint(nClados);
    phylogenyData = dim2Dfloat(tcst, nClados);
    for (int k = 0; k < nClados; k++) phylogenyVarType[k] = scale;
    for (int i = 0; i < tcst; i++)
        for (int k = 0; k < nClados; k++) phylogenyData[i][k] = ReadTraitValue(file);
    phylogenyMatrixType = 2;
}

void AskEnvironmentOld() {
    if (AskYes("Include environmental variables? y/n ")) optEnvVarType = OpenEnv(envName, ncsm, &nenv, &env);
}

// After writing: the communities that hold no OTU.
void WarnEmptyCommunities() {
    if (emptyReleves == 0) return;
    std::fprintf(out, "\nWarning!! There are %d empty communities!!\n", emptyReleves);
    std::fprintf(out, "Inspect file %s\n", whichFormda);
}

// ---------------------------------------------------------------------------------------
// The 2009 dialog and the earliest one.
// ---------------------------------------------------------------------------------------

// The records of data format 1, gathered before the OTUs they make are known.
struct Records {
    std::vector<std::vector<float>> traits;  // per OTU
    std::vector<std::string> names;          // per OTU, with species names
    std::vector<std::vector<float>> W;       // per OTU, ncsm values
};

// The OTU that a record is, among those read: equal traits and, with names, an equal name;
// without traits the name alone decides (and without names nothing matches). -1: a new one.
int MatchOtu(const Records& r, std::vector<float>& traits, const std::string* name) {
    if (nch == 0 && !name) return -1;
    for (size_t o = 0; o < r.traits.size(); o++) {
        if (!CompareTwoVectors(nch, traits.data(), const_cast<float*>(r.traits[o].data()))) continue;
        if (name && r.names[o] != *name) continue;
        return static_cast<int>(o);
    }
    return -1;
}

// Data format 1: for each community its counts[c] records, each the quantity of an OTU
// preceded by its traits in `layout` (1 as columns, 2 as rows, 3 none).
Records ReadRecords(const RawFile& data, FILE* names, const char* namesFile, const std::vector<int>& counts,
                    int layout, bool pool, int stated, const ValueReader& trait, const ValueReader& quantity) {
    Records r;
    for (int c = 0; c < ncsm; c++) {
        const int n = counts[static_cast<size_t>(c)];
        // Each record holds its traits and its quantity: a count the file cannot hold is code 2
        // before anything is allocated for it.
        EnsureInFile(data.get(), static_cast<long long>(n) * (nch + 1), data.name());
        std::vector<std::vector<float>> traits(static_cast<size_t>(n), std::vector<float>(static_cast<size_t>(nch)));
        std::vector<float> q(static_cast<size_t>(n));
        if (layout == 1)
            for (int j = 0; j < nch; j++)
                for (int k = 0; k < n; k++) traits[static_cast<size_t>(k)][static_cast<size_t>(j)] = trait(j, k);
        for (int k = 0; k < n; k++) {
            if (layout == 2)
                for (int j = 0; j < nch; j++) traits[static_cast<size_t>(k)][static_cast<size_t>(j)] = trait(k, j);
            if (layout == 2 || layout == 3) q[static_cast<size_t>(k)] = quantity(c, k);
        }
        if (layout == 1)
            for (int k = 0; k < n; k++) q[static_cast<size_t>(k)] = quantity(c, k);
        for (int k = 0; k < n; k++) {
            std::string name;
            if (names) {
                char buf[kSpeciesNameSize];
                ReadSpeciesName(names, namesFile, buf);
                name = buf;
            }
            std::vector<float>& t = traits[static_cast<size_t>(k)];
            int o = pool ? MatchOtu(r, t, names ? &name : nullptr) : -1;
            if (o < 0) {
                if (static_cast<int>(r.traits.size()) == stated) {
                    std::fprintf(stderr, "\nThe records of file %s hold more than the %d OTUs stated.\n", data.name(),
                                 stated);
                    RaiseError(TNX_END_OF_FILE);
                }
                o = static_cast<int>(r.traits.size());
                r.traits.push_back(t);
                r.names.push_back(name);
                r.W.emplace_back(static_cast<size_t>(ncsm), 0.0f);
            }
            r.W[static_cast<size_t>(o)][static_cast<size_t>(c)] += q[static_cast<size_t>(k)];
        }
    }
    return r;
}

void Import2009(bool earliest) {
    const char* otus = earliest ? "populations" : "OTUs";
    ResetDataSet();
    Menu("GETTING RAW DATA");
    std::fprintf(out, "Data format: \n");
    std::fprintf(out, "   1  A matrix (vector) per community, each OTU quantity record\n"
                      "        preceded or not by a description by traits\n");
    std::fprintf(out, "   2  A common OTUs by traits (or transposed) matrix for all communities followed by a \n"
                      "        matrix with OTUs quantity records\n");
    std::fprintf(out, "   3  A matrix of OTUs quantity records (no trait matrix) \n");
    std::fprintf(out, "Type option no.: ");
    const int format = AskOption("1 2 3");
    RawFile data;
    data.Ask();
    std::fprintf(out, "%s\n", lineL);
    std::fprintf(out, "Number of %s in the whole table: ", otus);
    const int stated = tcst = AskCount();
    int layoutB = 3;
    if (format == 1) layoutB = AskTraitLayout(true);
    if (format == 2 || layoutB != 3) {
        std::fprintf(out, "Enter number of traits (characters): ");
        nch = AskCount();
    }
    if (format == 2) layoutB = AskTraitLayout(false);
    int traitLabels = 1;
    if (nch > 0) {
        PrintFileOptions("Labels for traits: \n", data.name(), true);
        traitLabels = AskOption("1 2");
    }
    std::fprintf(out, "%s\n", lineL);
    std::fprintf(out, "Enter number of communities:    ");
    ncsm = AskCount();
    PrintFileOptions("Labels for communities: \n", data.name(), true);
    const int communityLabels = AskOption("1 2");
    std::fprintf(out, "Type of performance data: \n");
    std::fprintf(out, "   1  One-character codes \n");
    std::fprintf(out, "   2  Quantities \n");
    std::fprintf(out, "Type option no.: ");
    const int performance = AskOption("1 2");
    if (performance == 1) {
        std::fprintf(out, "Code replacement: \n");
        std::fprintf(out, "   Code:  R\t+\t1\t2\t3\t4\t5 \n");
        std::fprintf(out, "   Value: ");
        for (int k = 0; k < 7; k++) ca_code[k] = static_cast<float>(ReadNumberIn("%g\n", nullptr));
    }
    int layoutW = 3;
    if (format != 1) layoutW = AskPerformanceLayout(true);
    std::fprintf(out, "Species names of OTUs 0/1\t");
    RawFile names;
    if (AskOption("0 1") == 1) names.Ask();
    bool pool = false;
    std::vector<int> counts(static_cast<size_t>(ncsm));
    if (format == 1) {
        std::fprintf(out, "Pool identical %s for the traits? y/n ", otus);
        pool = ReadCharIn("y n") == 'y';
        AskOtusPerCommunity(counts.data(), otus, !pool);
    }

    const ValueReader trait = [&](int, int) {
        if (!earliest) return ReadTraitValue(data);
        char state[2];
        ReadCharState(data.get(), state, data.name());
        return static_cast<float>((state[0] - '0') * 10 + (state[1] - '0'));
    };
    const ValueReader quantity = [&](int i, int j) {
        float v = 0.0f;
        TranslateCode(data.get(), performance, ca_code, &v, data.name(), i, j);
        return v;
    };
    Records records;
    if (format == 1) {
        records = ReadRecords(data, names.get(), names.name(), counts, layoutB, pool, stated, trait, quantity);
        tcst = static_cast<int>(records.traits.size());
    } else {
        tcst = stated;
    }
    AllocateTraits();
    AllocateCommunities();
    if (format == 1) {
        for (int i = 0; i < tcst; i++) {
            std::copy(records.traits[static_cast<size_t>(i)].begin(), records.traits[static_cast<size_t>(i)].end(),
                      csm_Float[i]);
            std::copy(records.W[static_cast<size_t>(i)].begin(), records.W[static_cast<size_t>(i)].end(), cadat[i]);
        }
    } else {
        if (format == 2) ReadTraits(layoutB, trait);
        ReadPerformances(layoutW, quantity);
    }
    FillLabels(chLabel, nch, traitLabels, data);
    FillLabels(reLabel, ncsm, communityLabels, data);
    data.Close();
    if (nch > 0) {
        if (earliest) {
            AskTraitTypes("Trait type (1 for dichotomous, 2 for nominal, 3 for ordered): \n", "1 2 3");
        } else {
            AskTraitTypes(kTraitTypePrompt, "1 2 3 4");
            AskTraitGroups();
        }
    }
    CheckPerformances();

    if (names.get()) {
        std::snprintf(whichSpp, sizeof whichSpp, "%s", names.name());
        const int option = AskSpeciesLabels();
        EnsureAllocatable(tcst, kSpeciesNameSize, 1);
        spp = dim2Dchar(tcst, kSpeciesNameSize);
        nSpp = tcst;
        if (format == 1) {
            for (int i = 0; i < tcst; i++)
                std::snprintf(spp[i], kSpeciesNameSize, "%s", records.names[static_cast<size_t>(i)].c_str());
        } else {
            for (int i = 0; i < tcst; i++) ReadSpeciesName(names.get(), names.name(), spp[i]);
        }
        names.Close();
        SpeciesFromNames(option, earliest ? CheckSpecies_OLD : CheckSpecies);
    }
    AskEnvironmentOld();

    if (earliest) {
        // From here on the traits are the strings of two-character states.
        BuildTraitCodes();
        if (!csm) csm = dim2Dchar(tcst, 2 * nch + 1);  // no traits: empty strings
        Drop(csm_Float, tcst);
    }
    if (nSpp > 0 && AskYes("Include species as an additional trait? y/n ")) {
        if (earliest) AddSpeciesChar_OLD();
        else AddSpeciesChar();
    }
    if (nch == 0) {
        std::fprintf(stderr, "\nThe data have no trait: nothing was written.\n");
        RaiseError(TNX_TRANSLATION);
    }
    std::snprintf(dataName, sizeof dataName, "%s", data.name());
    if (earliest) {
        CheckData_OLD(1);
        TraitsFromCodes();
        WriteFormda_OLD(tcst, whichFormda, dataName, csm_Float, cadat);
    } else {
        CheckData(1);
        WriteFormda(tcst, whichFormda, dataName, csm_Float, cadat);
    }
    WarnEmptyCommunities();
    ResetDataSet();
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Dialogs.
// ---------------------------------------------------------------------------------------

void IFFormat_OLD_04Jul2011() {
    ResetDataSet();
    Menu("GETTING RAW DATA");
    std::fprintf(out, "\nInput data: A matrix (B) of OTUs by traits (or transposed) followed, in the same file, by a "
                      "matrix (W) with quantity records of OTUS in commmunities.\n\n");
    RawFile data;
    data.Ask();
    std::fprintf(out, "%s\n", lineL);
    std::fprintf(out, "Number of OTUs: ");
    tcst = AskCount();
    std::fprintf(out, "Enter number of traits (characters): ");
    nch = AskCount();
    AllocateTraits();
    AskTypedLabels("Labels for traits: \n", "Enter labels (max. %d letters, digits or combination):\n", chLabel, nch,
                   "trait labels", true);
    ReadTraits(AskTraitLayout(false), [&](int, int) { return ReadTraitValue(data); });
    AskTraitTypes(kTraitTypePrompt, "1 2 3 4");
    AskTraitGroups();
    std::fprintf(out, "%s\n", lineL);
    std::fprintf(out, "Enter number of communities:    ");
    ncsm = AskCount();
    AllocateCommunities();
    AskTypedLabels("Labels for communities: \n", "Enter community labels (max. %d letters, digits or combination):\n",
                   reLabel, ncsm, "community labels", false);
    ReadPerformances(AskPerformanceLayout(true), [&](int, int) { return ReadSkippingFloat(data); });
    CheckPerformances();

    if (AskYes("Include phylogenetic matrix? y/n ")) AskPhylogenyData();
    if (AskYes("Include species names? y/n ")) {
        std::fprintf(out, "   1  at the end of file %s\n", data.name());
        std::fprintf(out, "   2  in a separate file\n");
        std::fprintf(out, "Type option no.: ");
        if (AskOption("1 2") == 1) {
            ReadSpecies(data.get(), data.name());
        } else {
            RawFile names;
            names.Ask("Enter name of file containing species names: ");
            ReadSpecies(names.get(), names.name());
        }
    }
    data.Close();
    AskEnvironmentOld();

    CheckData(1);
    std::snprintf(dataName, sizeof dataName, "%s", data.name());
    WriteFormda(tcst, whichFormda, dataName, csm_Float, cadat);
    WarnEmptyCommunities();
    ResetDataSet();
}

void IFFormat_NEW_07Jul2011(const char* title) {
    ResetDataSet();
    Menu("SPECIFYING THE AVAILABLE INPUT DATA:\n");
    std::fprintf(out, "For each data specified below indicate by 0/1 which are available\n\n");
    std::fprintf(out, "OTUs = Operational Taxonomic Units, refer to species, populations, individuals or other "
                      "taxonomic rank\n");
    // Every name is asked first; each file is opened again when it is read.
    RawFile files[5];
    const char* questions[5] = {"A matrix (B) with trait description of OTUs 0/1\t",
                                "A matrix (F) with phylogenetic resemblances of the OTUs 0/1\t",
                                "A matrix (W) with quantity or presence absence records of OTUS in commmunities 0/1\t",
                                "Species names of OTUs 0/1\t",
                                "A matrix (E) with ecosystem variables of the community sites 0/1\t"};
    enum { B, F, W, S, E };
    bool given[5];
    for (int k = 0; k < 5; k++) {
        std::fprintf(out, "%s", questions[k]);
        given[k] = AskOption("0 1") == 1;
        if (given[k]) files[k].Ask();
        files[k].Close();
    }
    std::fprintf(out, "%s\n", lineL);
    std::fprintf(out, "Number of OTUs: ");
    tcst = AskCount();

    if (given[B]) {
        RawFile& f = files[B];
        std::fprintf(out, "Enter number of traits (characters): ");
        nch = AskCount();
        AllocateTraits();
        PrintFileOptions("Labels for traits: \n", f.name(), true);
        const int labels = AskOption("1 2");
        if (labels == 1) FillLabels(chLabel, nch, 1, f);
        AskTraitTypes("Trait type (1: binary, 2: nominal, 3: interval or ratio scale, 4: ordinal): \n", "1 2 3 4");
        const int layout = AskTraitLayout(false);
        f.Reopen();
        ReadTraits(layout, [&](int, int) { return ReadTraitValue(f); });
        if (labels == 2) FillLabels(chLabel, nch, 2, f);
        f.Close();
    }
    if (given[F]) {
        EnsureAllocatable(tcst, tcst, sizeof(double));
        phylogenyRese = dim2Double(tcst, tcst);
        std::fprintf(out, "%s\n", lineL);
        const int option = AskPhylogenyFormat();
        files[F].Reopen();
        // Stored as similarities in every form: distances become 1 - D/Dmax, Dmax the largest
        // value on or above the diagonal (all similarities 1 when every distance is 0).
        ReadPhylogeny(files[F], option == 1 ? 2 : option);
        if (option == 1) {
            double dmax = 0.0;
            for (int i = 0; i < tcst; i++)
                for (int k = i; k < tcst; k++) dmax = std::max(dmax, phylogenyRese[i][k]);
            for (int i = 0; i < tcst; i++)
                for (int k = 0; k < tcst; k++) phylogenyRese[i][k] = dmax > 0.0 ? 1.0 - phylogenyRese[i][k] / dmax : 1.0;
        }
        files[F].Close();
    }
    if (given[W] || given[E]) {
        std::fprintf(out, "%s\n", lineL);
        std::fprintf(out, "Enter number of communities:    ");
        ncsm = AskCount();
        AllocateCommunities();
    }
    if (given[W]) {
        RawFile& f = files[W];
        PrintFileOptions("Labels for communities: \n", f.name(), true);
        const int labels = AskOption("1 2");
        const int layout = AskPerformanceLayout(false);
        f.Reopen();
        ReadPerformances(layout, [&](int, int) { return ReadSkippingFloat(f); });
        FillLabels(reLabel, ncsm, labels, f);
        f.Close();
    }
    if (given[S]) {
        files[S].Reopen();
        ReadSpecies(files[S].get(), files[S].name());
        files[S].Close();
    }
    if (given[E]) {
        RawFile& f = files[E];
        const int labels = AskEnvironment(f, "Number of ecosystem variables: ", "Labels for ecosystem variables: \n");
        const bool byVariables = AskEnvironmentByVariables();
        AskEnvironmentKind("Types of ecosystem variables: \n   1 only quantitative variables, same units \n   2 only "
                           "quantitative variables, different units \n   3 only qualitative, non binary variables\n"
                           "   4 only binary variables\n   5 several types \n",
                           "Enter ecosystem variable type (1:binary, 2:nominal, 3:quantitative interval or ratio "
                           "scale, 4:ordinal): \n");
        f.Reopen();
        ReadEnvironmentValues(f, byVariables);
        FillLabels(envLabel, nenv, labels, f);
        f.Close();
    }

    // The record takes the data set over from the globals.
    tarnexInput t;
    InitTarnexInput(&t, title);
    const int blockOf[5] = {kBlockTraits, kBlockPhylogeny, kBlockCommunities, kBlockSpecies, kBlockEnvironment};
    for (int k = 0; k < 5; k++) {
        t.has[blockOf[k]] = given[k] ? 1 : 0;
        if (given[k]) std::snprintf(t.source[blockOf[k]], kTarnexTextSize, "%s", files[k].name());
    }
    t.dims[kDimOtus] = tcst;
    t.dims[kDimTraits] = nch;
    t.dims[kDimCommunities] = ncsm;
    t.dims[kDimSpecies] = nSpp;
    t.dims[kDimVariables] = nenv;
    std::swap(t.B, csm_Float);
    std::swap(t.phylogeny, phylogenyRese);
    std::swap(t.chLabel, chLabel);
    std::swap(t.chtype, chtype);
    std::swap(t.E, env);
    std::swap(t.envLabel, envLabel);
    std::swap(t.envVarType, envVarType);
    t.optEnvVarType = optEnvVarType;
    std::swap(t.spp, spp);
    std::swap(t.sppRelMap, sppRelMap);
    std::swap(t.cstSppMap, cstSppMap);
    if (given[W]) {
        std::swap(t.W, cadat);
        std::swap(t.reLabel, reLabel);
    }
    ResetDataSet();
    try {
        WriteFormda(&t);
    } catch (...) {
        FreeTarnexInput(&t);
        throw;
    }
    FreeTarnexInput(&t);
}

void IFFormat_OLD_08Mar2009() { Import2009(false); }

void IFFormat_OLD() { Import2009(true); }

int OpenEnv(char* fileName, int nComm, int* nVar, float*** E) {
    std::fprintf(out, "%s\n", lineL);
    std::fprintf(out, "Number of environmental variables: ");
    *nVar = nenv = AskCount();
    EnsureAllocatable(nComm, nenv, sizeof(float));
    EnsureAllocatable(nenv, kLabelSize, 1);
    envLabel = dim2Dchar(nenv, kLabelSize);
    envVarType = dim1Dint(nenv);
    std::fprintf(out, "Labels for environmental variables: \n");
    std::fprintf(out, "   1  given by default\n");
    std::fprintf(out, "   2  specify labels \n");
    std::fprintf(out, "Type option no.: ");
    if (AskOption("1 2") == 2) {
        TypeLabels("Enter labels for variables (max. %d letters, digits or combination):\n", envLabel, nenv,
                   "variable labels", false);
    } else {
        for (int j = 0; j < nenv; j++) std::snprintf(envLabel[j], kLabelSize, "%d", j + 1);
    }
    RawFile file;
    file.Ask("Environmental variables filename: ");
    std::snprintf(fileName, kFileNameMax + 1, "%s", file.name());
    *E = dim2Dfloat(nComm, nenv);
    const bool byVariables = AskEnvironmentByVariables();
    for (int a = 0; a < (byVariables ? nenv : nComm); a++)
        for (int b = 0; b < (byVariables ? nComm : nenv); b++) (byVariables ? (*E)[b][a] : (*E)[a][b]) = ReadStrictFloat(file);
    AskEnvironmentKind(kEnvironmentKinds, kVariableTypePrompt);
    return optEnvVarType;
}

void TranslateCode(FILE* f, int option, float* codes, float* value, const char* fileName, int i, int j) {
    if (option != 1) {
        freadck(f, "%f", value, fileName);
        return;
    }
    char word[32];
    freadckString(f, word, sizeof word, fileName);
    const char c = word[0];
    if (c == 'R' || c == 'r') *value = codes[0];
    else if (c == '+') *value = codes[1];
    else if (c == '0') *value = 0.0f;
    else if (c >= '1' && c <= '5') *value = codes[2 + (c - '1')];
    else {
        // The import cannot go on: the data set goes, the session returns to the main menu.
        ResetDataSet();
        std::fprintf(stderr, "Extraneous cover-abundance code: %c\n", c);
        std::fprintf(stderr, "Check file %s !!!\n", fileName);
        std::fprintf(stderr, "1st dimension: %d \n", i + 1);
        std::fprintf(stderr, "2st dimension: %d \n", j + 1);
        RaiseError(TNX_TRANSLATION);
    }
}

void AddSpeciesChar() {
    Drop(csm, tcst);  // the codes of the traits no longer match them
    for (int i = 0; i < tcst; i++) {
        float* row = dim1Dfloat(nch + 1);
        std::memcpy(row, csm_Float[i], sizeof(float) * static_cast<size_t>(nch));
        row[nch] = static_cast<float>(SpeciesOf(i) + 1);
        free1D(csm_Float[i]);
        csm_Float[i] = row;
    }
    AppendSpeciesTrait();
    nch++;
}

void AddSpeciesChar_OLD() {
    Drop(csm_Float, tcst);  // the string layout stands alone
    std::vector<char> codes(2 * static_cast<size_t>(tcst));
    for (int i = 0; i < tcst; i++) PutSpeciesCode(std::max(SpeciesOf(i), 0), &codes[2 * static_cast<size_t>(i)]);
    for (int i = 0; i < tcst; i++) {
        char* row = dim1Dchar(2 * nch + 3);
        std::memcpy(row, csm[i], static_cast<size_t>(2 * nch));
        std::memcpy(row + 2 * nch, &codes[2 * static_cast<size_t>(i)], 2);
        free1D(csm[i]);
        csm[i] = row;
    }
    AppendSpeciesTrait();
    nch++;
}

// A state of the earliest form: a whole number from 0 to 99; "nan" or "inf" is read as its value
// and refused by it, not passed over.
void ReadCharState(FILE* f, char* state, const char* fileName) {
    const double v = ScanNumber(f, fileName, nullptr, kReadNonFinite);
    if (!(v >= 0.0 && v <= 99.0) || v != std::floor(v)) {
        std::fprintf(stderr, "\nState %g of file %s is not a whole number from 0 to 99.\n", v, fileName);
        RaiseError(TNX_END_OF_FILE);
    }
    const int n = static_cast<int>(v);
    state[0] = static_cast<char>('0' + n / 10);
    state[1] = static_cast<char>('0' + n % 10);
}

void ReadCharStateOLD(FILE* f, char* state, const char* fileName) {
    char word[4];  // three characters are enough to know a word is too long
    freadckString(f, word, sizeof word, fileName);
    const size_t n = std::strlen(word);
    if (n > 2) {
        std::fprintf(stderr, "\nState %s... of file %s has more than 2 characters.\n", word, fileName);
        std::fputc(7, stdout);
        std::fflush(stdout);
        RaiseError(TNX_END_OF_FILE);
    }
    state[0] = n == 2 ? word[0] : '0';
    state[1] = word[n - 1];
}

void CountStates_OLD(int nTraits, int n, int* states, char** strings) {
    char** scratch = dim2Dchar(n, 3);
    for (int j = 0; j < nTraits; j++) CountStatesChar(j, n, &states[j], strings, scratch);
    free2D(scratch, n);
}

void RangeStates_OLD(int nTraits, int n, char** strings, int* type, float* range) {
    for (int j = 0; j < nTraits; j++) {
        if (type[j] != 3) continue;
        int mx = 0, mn = 100;
        for (int i = 0; i < n; i++) {
            float v = 0.0f;
            if (!DecodeTraitCode(strings[i] + 2 * j, false, &v)) continue;
            mx = std::max(mx, static_cast<int>(v));
            mn = std::min(mn, static_cast<int>(v));
        }
        range[j] = static_cast<float>(mx - mn);
    }
}

void CheckData_OLD(int countStates) {
    DropAbsentOtus();
    if (nSpp > 0) {
        CheckSpeciesMerge();
        CheckCSTsSameSpecies_OLD();
    }
    PoolIdenticalStrings();
    CountOtusPerCommunity();
    if (countStates == 1) CountStates_OLD(nch, tcst, onsta, csm);
    RangeStates_OLD(nch, tcst, csm, chtype, chrange);
    if (nSpp > 0) TrimSpecies(tcst);
}

void CheckSpecies_OLD(int option) {
    for (int i = 0; nSpp >= 2 && i < nSpp; i++) {
        for (int j = i + 1; j < nSpp;) {
            if (std::strcmp(spp[j], spp[i]) != 0) {
                j++;
                continue;
            }
            const int last = nSpp - 1;
            for (int otu = 0; otu < tcst; otu++) {
                if (cstSppMap[otu][j] == '1') cstSppMap[otu][i] = '1';
                cstSppMap[otu][j] = cstSppMap[otu][last];
                cstSppMap[otu][last] = '0';
            }
            swap(spp, j, last);
            free1D(spp[last]);
            spp[last] = nullptr;
            if (sppRelMap) {
                for (int c = 0; c < ncsm; c++)
                    if (sppRelMap[j][c] == '1') sppRelMap[i][c] = '1';
                swap(sppRelMap, j, last);
                free1D(sppRelMap[last]);
                sppRelMap[last] = nullptr;
            }
            nSpp--;
            // The species moved into position j is compared next.
        }
    }
    if (option == 2) CodeSpeciesNames();
}

void CheckCSTsSameSpecies_OLD() {
    int t = -1;
    for (int j = 0; j < nch; j++)
        if (IsSpeciesTrait(chLabel[j])) t = j;
    if (t < 0) return;
    std::vector<int> first(static_cast<size_t>(tcst));
    for (int i = 0; i < tcst; i++) first[static_cast<size_t>(i)] = i;
    for (int i = 0; i < tcst; i++)
        for (int k = i + 1; k < tcst; k++)
            for (int s = 0; s < nSpp; s++)
                if (cstSppMap[i][s] == '1' && cstSppMap[k][s] == '1') {
                    first[static_cast<size_t>(k)] = first[static_cast<size_t>(i)];
                    break;
                }
    for (int i = 0; i < tcst; i++) PutSpeciesCode(first[static_cast<size_t>(i)], csm[i] + 2 * t);
}

void PoolIdenticalTraits_OLD() {
    // The labels of the stored OTU partitions are sized by the OTUs, which pooling makes fewer.
    free3D(grCstLabelP, kMaxPartitions, tcst);
    grCstLabelP = nullptr;
    grCstLabel = nullptr;
    CodesFromTraits();
    CheckData_OLD(1);
    TraitsFromCodes();
}
