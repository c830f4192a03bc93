// Shared report pieces and data checks of the trait-subset searches.
#include "traits/TNXCHORDReport.h"

#include <cfloat>

#include "foundation/ConsoleReaders.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/qwlib.h"
#include "session/model/TNXGLOB.h"
#include "statistics/qwlibRes.h"
#include "traits/TNXTRAITS.h"

namespace chrank {

namespace {

FILE* Out() { return out ? out : stdout; }

bool Refuse(const char* text) {
    fputs(text, Out());
    return false;
}

}  // namespace

bool CheckData(const Needs& needs, std::vector<int>* eligible, int* nTypes) {
    eligible->clear();
    *nTypes = 0;
    if (ncsm < 2) return Refuse("\nThe trait-subset search needs at least 2 communities.\n");
    if (needs.environment && (nenv < 1 || !env))
        return Refuse("\nThis criterion compares the communities with their environment: the data set has no "
                      "environmental variables.\n");
    if (needs.completeEnvironment && nenv > 0 && env) {
        for (int c = 0; c < ncsm; c++)
            for (int v = 0; v < nenv; v++)
                if (IsMissing(env[c][v]))
                    return Refuse("\nProcrustes and RV need complete environmental variables: E holds missing "
                                  "values.\n");
    }
    if (needs.phylogeny && (!hasPhylogeny || !phylogenyRese))
        return Refuse("\nThis criterion compares the communities through the phylogeny of their OTUs: the data "
                      "set has no phylogeny.\n");
    if (needs.noNominal && HasQualitTrait(nch, chtype))
        return Refuse("\nThis criterion rests on community trait averages, which nominal traits make "
                      "meaningless: it is not available for this data set.\n");
    for (int t = 0; t < nch; t++)
        if (weight[t] > 0.0f) eligible->push_back(t);
    if (eligible->empty() || nMinTraitsChRank > static_cast<int>(eligible->size()) ||
        nMaxTraitsChRank < nMinTraitsChRank || nMaxTraitsChRank < 1)
        return Refuse("\nNo subset of the selected traits has a size within the bounds of the search.\n");
    if (needs.types) {
        if (!partition_OTUs) return Refuse("\nThe OTUs have no partition into types.\n");
        CountGroupsNew(tcst, partition_OTUs, nTypes, nullptr);
        if (*nTypes < 2)
            return Refuse("\nThe partition of OTUs into types has fewer than 2 groups: no subset of traits can be "
                          "evaluated.\n");
    }
    return true;
}

void PrintLabels(FILE* f, const std::vector<int>& traits) {
    for (int t : traits) fprintf(f, "%-2s\t", chLabel[t]);
}

void WriteOpening(FILE* f) {
    fprintf(f, "%s\n\n", version);
    fprintf(f, "%s\n", lineL);
    fprintf(f, "TRAIT SUBSET OPTIMIZATION\n");
    fprintf(f, "%s\n", lineL);
    TimeStamp(f);
    fprintf(f, "Session:        %s \n", sessionName);
    fprintf(f, "Formatted data: %s \n", whichFormda);
}

const char* RankingAlgorithmLabel() {
    return rankingAlgorithmInfo[rankingAlgorithm == 1 ? 0 : 1];
}

void WriteSizeLine(FILE* f, const SizeStyle& style, int k, const SizeRecord& r) {
    fprintf(f, style.prefix, k);
    if (!r.filled) {
        fprintf(f, "none\n");
    } else {
        fprintf(f, "%-*.*g\t", sDigits + 6, sDigits, r.best.value);
        if (style.groups) fprintf(f, "%d groups\t", r.best.groups);
        if ((style.noneOnZero && r.best.value == 0.0) || IsMissing(r.best.value)) {
            fprintf(f, "none\n");
        } else {
            PrintLabels(f, r.best.traits);
            fprintf(f, "\n");
        }
    }
    fflush(f);
}

void WriteSizeList(FILE* f, const SizeStyle& style, const std::vector<SizeRecord>& sizes, int kMin, int kMax) {
    for (int k = kMin; k <= kMax; k++) {
        const SizeRecord& r = sizes[k];
        if (!r.filled) {
            fprintf(f, "none\n");
            continue;
        }
        fprintf(f, "%-13.*g\t", sDigits, r.best.value);
        if ((style.noneOnZero && r.best.value == 0.0) || IsMissing(r.best.value)) {
            fprintf(f, "none\n");
            continue;
        }
        PrintLabels(f, r.best.traits);
        fprintf(f, "\n");
    }
}

void WriteTopList(FILE* f, const TopList& top, bool groups, bool skipEmpty) {
    for (int i = top.Size() - 1; i >= 1; i--) {
        const Entry& e = top.Slot(i);
        if (skipEmpty && e.traits.empty()) continue;
        fprintf(f, "%-*.*g\t", sDigits + 6, sDigits, e.value);
        if (groups) fprintf(f, "%d groups\t", e.groups);
        PrintLabels(f, e.traits);
        fprintf(f, "\n");
    }
}

std::string SizeSummary(const std::vector<SizeRecord>& sizes, int kMin, int kMax) {
    std::string summary;
    char buf[128];
    for (int k = kMin; k <= kMax; k++) {
        const SizeRecord& r = sizes[k];
        if (!r.filled || IsMissing(r.best.value)) {
            summary += "none";
        } else {
            for (int t : r.best.traits) {
                snprintf(buf, sizeof buf, "%-2s\t", chLabel[t]);
                summary += buf;
            }
        }
        summary += "\n";
    }
    for (int k = kMin; k <= kMax; k++) {
        snprintf(buf, sizeof buf, "%-5d\t", sizes[k].filled ? sizes[k].best.groups : 0);
        summary += buf;
    }
    summary += "\n";
    for (int k = kMin; k <= kMax; k++) {
        if (sizes[k].filled)
            snprintf(buf, sizeof buf, "%-13.*g\t", sDigits, sizes[k].best.value);
        else
            snprintf(buf, sizeof buf, "%-13s\t", "none");
        summary += buf;
    }
    summary += "\n";
    return summary;
}

ChRankStatus Finish(WholeFile& result, WholeFile* structure, const std::string& prefix) {
    bool ok = true;
    if (structure && !structure->Commit()) ok = false;
    if (!result.Commit(prefix)) ok = false;
    return ok ? kChRankDone : kChRankFileFailed;
}

float** SelectedTraitMatrix(int s, int p) {
    float** B = dim2Dfloat(s, p);
    for (int i = 0; i < s; i++)
        for (int t = 0; t < p; t++) B[i][t] = weight[t] > 0.0f ? csm_Float[i][t] : 0.0f;
    return B;
}

}  // namespace chrank

#include "traits/TNXCHORDCommon.h"

namespace chrank {

namespace {

int GroupSize(int s, double** C, int j) {
    int size = 0;
    for (int i = 0; i < s; i++)
        if (C[i][j] == 1.0) size++;
    return size;
}

}  // namespace

void WriteTypeSummary(FILE* f, int s, int p, int g, double** C) {
    fprintf(f, "\nGroup sizes:\n");
    for (int j = 0; j < g; j++) fprintf(f, "%d\t", GroupSize(s, C, j));
    fprintf(f, "\n");
    float** A = dim2Dfloat(g, p);
    for (int j = 0; j < g; j++)
        for (int t = 0; t < p; t++) {
            double sum = 0.0;
            int present = 0;
            for (int i = 0; i < s; i++) {
                if (C[i][j] != 1.0 || IsMissing(csm_Float[i][t])) continue;
                sum += csm_Float[i][t];
                present++;
            }
            A[j][t] = present > 0 ? static_cast<float>(sum / present) : MissingValue;
        }
    fprintf(f, "\nAverage trait matrix (%d types x %d traits):\n", g, p);
    PrintMatrix(f, g, p, A, sDigits, 0);
    fprintf(f, "\n");
    free2D(A, g);
}

void WriteGroupSizes(FILE* f, int s, int g, double** C) {
    fprintf(f, "Group sizes:\t");
    for (int j = 0; j < g; j++) fprintf(f, "%d\t", GroupSize(s, C, j));
}

}  // namespace chrank
