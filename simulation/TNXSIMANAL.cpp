// Functional analysis of a simulated data set with the permutation-test engine.
#include "simulation/TNXSIMANAL.h"

#include "foundation/qwlibDim.h"
#include "matrix/qwlib.h"
#include "session/model/TNXGLOB.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResBeals.h"
#include "statistics/qwlibResDistance.h"
#include "traits/TNXCOMRESE.h"
#include "traits/TNXGOWER.h"

void AllocSimAnalysis(const AssemblySettings& set, SimAnalysis* a) {
    const int n = set.n, s = set.s, p = set.p, v = set.v;
    a->traitFlags = dim1Dint(p);
    a->ranges = dim1Dfloat(p);
    a->Sp = dim3Double(s, s, p);
    a->S = dim2Dfloat(s, s);
    a->U = dim2Double(s, s);
    a->Wr = dim2Double(n, s);
    a->Y = dim2Double(n, s);
    a->Z = dim2Double(n, s);
    a->Eanal = dim2Double(n, v);
    a->DE = dim2Double(n, n);
    a->DY = dim2Double(n, n);
    a->DZ = dim2Double(n, n);
    a->T = dim2Double(n, p);
    a->X = dim2Double(n, s);
    a->R = dim1Double(n);
}

void FreeSimAnalysis(const AssemblySettings& set, SimAnalysis* a) {
    const int n = set.n, s = set.s;
    free1D(a->traitFlags);
    free1D(a->ranges);
    if (a->Sp) free3D(a->Sp, s, s);
    free2D(a->S, s);
    free2D(a->U, s);
    free2D(a->Wr, n);
    free2D(a->Y, n);
    free2D(a->Z, n);
    free2D(a->Eanal, n);
    free2D(a->DE, n);
    free2D(a->DY, n);
    free2D(a->DZ, n);
    free2D(a->T, n);
    free2D(a->X, n);
    free1D(a->R);
    *a = SimAnalysis{};
}

bool AnalyseSimulatedData(const AssemblySettings& set, const AssemblyModel& m, const int* varSelect, SimAnalysis* a) {
    const int n = set.n, s = set.s, p = set.p, v = set.v;
    // A trait takes part when its weight is above 0 (the settings dialogue's weights are 0 or 1,
    // or fractions of 1 with trait groups).
    for (int t = 0; t < p; t++) {
        a->traitFlags[t] = weight[t] > 0.0f ? 1 : 0;
        chtype[t] = 3;
        a->ranges[t] = 0.0f;
    }

    // The similarity of the OTUs is computed as the functional analysis computes it, with crisp
    // types too, so that the Rao statistics are tested on real dissimilarities.
    gower_similarityPartial(p, m.B, s, a->Sp, chtype, a->ranges, weight, countDoubleAbsence);
    gower_similarityAverage(p, s, a->Sp, a->S, weight);
    for (int i = 0; i < s; i++)
        for (int j = i + 1; j < s; j++) a->S[j][i] = a->S[i][j];
    if (fuzzy == 3)
        FuzzyBelonging(s, s, a->S, nullptr, a->U, false);
    else
        CrispBelonging(s, s, nullptr, a->U);

    UnitSumRowsAdjMV(n, s, a->Wr, m.W);
    BealsSmoothing(n, s, a->Wr, a->Wr, a->Y, BealsIncludeOpt != 0, 1, false);
    BealsSmoothing(n, s, a->Wr, a->Wr, a->Z, BealsIncludeOpt != 0, 2, true);

    for (int k = 0; k < n; k++)
        for (int j = 0; j < v; j++) a->Eanal[k][j] = varSelect[j] == 1 ? m.E[j][k] : 0.0;
    CorrAdj(n, v, a->Eanal, a->Eanal);
    EucliDist(n, v, a->Eanal, a->DE);
    NominalReseNonHier(n, s, a->Y, a->DY, rese_opt);
    NominalReseNonHier(n, s, a->Z, a->DZ, rese_opt);

    PermTest_FunctionalPhyl_Correl_Input& in = a->record;
    in = PermTest_FunctionalPhyl_Correl_Input{};
    in.iterations = niter;
    in.nTraits = p;
    in.traitSelected = a->traitFlags;
    in.nOTUs = s;
    in.nTypes = s;
    in.nTaxa = nTaxa;
    in.nEnv = v;
    in.nCommunities = n;
    in.nPhylAxes = 0;
    in.B = m.B;
    in.Sb = a->S;
    in.E = a->Eanal;
    in.U = a->U;
    in.W = a->Wr;
    in.DE = a->DE;
    in.DY = a->DY;
    in.DZ = a->DZ;
    in.Y = a->Y;
    in.Z = a->Z;
    in.reseOpt = rese_opt;
    in.optRo = opt_ro;
    in.overfitFactor = overfitFactorPCARegr;
    in.sqrtRaoTraits = true;
    in.restriction = optRestrictPermutNullModel;
    in.nestingGroups = nestingMembershipOTUs;
    in.handBack = true;
    in.twoTailed = twoTailedTestMantel != 0;
    in.outT = a->T;
    in.outX = a->X;
    in.outR = a->R;
    if (PermTest_FunctionalPhyl_Correl(&in)) return true;
    for (int i = 0; i < kPermTestStats; i++) {
        in.observed[i] = 0.0;
        in.probability[i] = 1.0;
    }
    return false;
}
