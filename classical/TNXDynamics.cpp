// Diversity, complexity and velocity of community change, their correlation and the profile
// of their series: dialogs, reports and session files.
#include "classical/TNXDynamics.h"

#include <cfloat>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "classical/TNXSeries.h"
#include "classical/qwComplexity.h"
#include "classical/qwDynamics.h"
#include "foundation/ConsoleReaders.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "session/dialogs/TNXIFSET.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXMenu.h"
#include "statistics/qwlibRes.h"

namespace {

FILE* Out() { return out ? out : stdout; }

constexpr double kLn2 = 0.6931471805599453;
// Structural complexities this small are rounding, not structure.
constexpr double kSmallComplexity = 1e-6;

const char kVariablesAvailable[] = "\nThe following environmental variables are available: ";

// Closes a file when it goes out of scope, also when an error code travels through.
struct InputFile {
    explicit InputFile(const char* name) : name(name), f(fopenck(name, volumeName, "r")) {
        if (!f) RaiseError(TNX_FAIL_TO_OPEN);
    }
    ~InputFile() { std::fclose(f); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    // The next n values; a file that ends first is code 2.
    void Read(int n, float* dst) {
        for (int i = 0; i < n; i++) dst[i] = ReadFloatStrict(f, name);
    }
    int ReadInt() { return ReadIntStrict(f, name); }
    const char* name;
    FILE* f;
};

// The stored community resemblances, nlev matrices of ncsm + 1 rows, while an analysis reads them.
struct StoredResemblances {
    StoredResemblances() { rese = dim3Double(nlev, ncsm + 1, ncsm + 1); }
    ~StoredResemblances() {
        free3D(rese, nlev, ncsm + 1);
        rese = nullptr;
    }
    StoredResemblances(const StoredResemblances&) = delete;
    StoredResemblances& operator=(const StoredResemblances&) = delete;
};

void PrintRow(FILE* f, const char* label, const std::vector<double>& v) {
    std::fprintf(f, "%s", label);
    PrintVectorTab(f, static_cast<int>(v.size()), const_cast<double*>(v.data()), sDigits, nullptr);
}

const char* const kSeriesLabels[3] = {"Velocity vs. Diversity:\t", "Velocity vs. Total Complexity:\t",
                                      "Velocity vs. Structural Complexity:\t"};

// The overall values of the three series, one "%g" line each.
void PrintOverall(FILE* f, const double* values) {
    std::fprintf(f, "\n%s%g\n", kSeriesLabels[0], values[0]);
    std::fprintf(f, "%s%g\n", kSeriesLabels[1], values[1]);
    std::fprintf(f, "%s%g\n", kSeriesLabels[2], values[2]);
}

void PrintWindows(FILE* f, const std::vector<double>& times, const std::vector<double>* values) {
    PrintRow(f, "Average time scale (for diversity or complexity) within sliding window:\t", times);
    for (int s = 0; s < 3; s++) PrintRow(f, kSeriesLabels[s], values[s]);
}

// The series names of profile sources 9 .. 18.
const char* const kProfileNames[10] = {
    "diversity",
    "total complexity",
    "structural complexity",
    "velocity of community change",
    "correlation of velocity and diversity (sliding window size = %d, ",
    "correlation of velocity and total complexity (sliding window size = %d, ",
    "correlation of velocity and structural complexity (sliding window size = %d, ",
    "probability P(roRND>=ro) of correlation velocity vs. diversity (sliding window size = %d, ",
    "probability P(roRND>=ro) of correlation velocity vs. total complexity (sliding window size = %d, ",
    "probability P(roRND>=ro) of correlation velocity vs. structural complexity (sliding window size = %d, "};


}  // namespace

void IFComplexity() {
    if (!StoredOrRefused(whichHier, "table of types")) return;
    int level = 1;
    // Pairwise fuzzy adjustment keeps no level structure of its own: level 1 serves.
    if (fuzzy != 2) SettingWhichLevel(&level);
    int types = 0;
    OwnedTable<float> units(ReadLevelByCommunity(level, &types), ncsm);
    std::fprintf(Out(), "Alpha value for Renyi entropy functions: ");
    const float alpha = static_cast<float>(ReadNumberIn("%g\n", "-", 0.0, 20.0));

    std::vector<double> H(ncsm), L(ncsm), S(ncsm);
    for (int c = 0; c < ncsm; c++) {
        H[c] = EntropyVector(types, units[c], alpha);
        L[c] = ComplexityVector(types, units[c]);
    }

    SessionFileName(whichPrinda, prindaExt);
    RunFilesScope run;
    ReportSection report(whichPrinda);
    FILE* f = report.Stream();
    SectionHead(f, "DIVERSITY AND COMPLEXITY\n", false);
    std::fprintf(f, "\nRenyi general entropy of order %g in sampling units (nats):\n", alpha);
    std::fprintf(f, "Sampling units:    \t");
    PrintStringVectorTab(f, ncsm, reLabel, nullptr);
    PrintRow(f, "Entropy (nats):    \t", H);
    for (double& h : H) h /= kLn2;
    std::fprintf(f, "\nRenyi general entropy (H) of order %g in sampling units (bits):\n", alpha);
    std::fprintf(f, "Sampling units:    \t");
    PrintStringVectorTab(f, ncsm, reLabel, nullptr);
    PrintRow(f, "Entropy (bits):    \t", H);
    std::fprintf(f, "\nKolmogorov complexity (Kessel & Banstead 1996) in sampling units:\n");
    std::fprintf(f, "Sampling units:     \t       \t");
    PrintStringVectorTab(f, ncsm, reLabel, nullptr);
    PrintRow(f, "Total complexity (L):       \t", L);
    for (int c = 0; c < ncsm; c++) {
        S[c] = types >= 3 ? L[c] - H[c] : 0.0;
        if (S[c] <= kSmallComplexity) S[c] = 0.0;
    }
    PrintRow(f, "Structural complexity (L-H):\t", S);

    SessionFileName(whichComplexity, complexityExt);
    WriteWhole(whichComplexity, [&](FILE* file) {
        for (const std::vector<double>* row : {&H, &L, &S})
            PrintVectorTab(file, ncsm, const_cast<double*>(row->data()), sDigits, nullptr);
    });
    report.Commit();
    hasComplexity = 1;
    RewriteTrack();
    run.CommitOrRaise();
    ResultsAppended(whichPrinda);
}

void IFVelocity() {
    // Every kind of stored resemblance comes with the nominal ones.
    if (!StoredResemblancesOrRefused(1) || !TimeVariableAvailable(ScaleWithoutMissing)) return;
    Menu("VELOCITY OF COMMUNITY CHANGE SETTINGS");
    SettingsVegOrdination(&reseTypeOrd);
    int level = 1;
    SettingWhichLevel(&level);
    if (!AskTimeVariable(kVariablesAvailable,
                         "\nEnter variable (label) to be taken as time scale for velocity computation: ",
                         ScaleWithoutMissing))
        return;

    if (!StoredResemblancesOrRefused(reseTypeOrd)) return;
    // Partial resemblances carry one more, global, matrix.
    nlev = nch + (reseTypeOrd == 2 ? 1 : 0);
    std::vector<float> t(ncsm);
    std::vector<double> v(ncsm > 1 ? ncsm - 1 : 0);
    {
        StoredResemblances stored;
        ReadResemblance(reseTypeOrd, false);
        for (int c = 0; c < ncsm; c++) t[c] = env[c][whichEnv];
        VelocitySeries(ncsm, rese[level - 1], t.data(), v.data());
    }

    SessionFileName(whichPrinda, prindaExt);
    RunFilesScope run;
    ReportSection report(whichPrinda);
    FILE* f = report.Stream();
    SectionHead(f, "VELOCITY OF COMMUNITY CHANGE\n", false);
    std::fprintf(f, "Time scale:\n");
    PrintVectorTab(f, ncsm, t.data(), sDigits, nullptr);
    std::fprintf(f, "\nVelocity:\n");
    PrintVectorTab(f, static_cast<int>(v.size()), v.data(), sDigits, nullptr);

    SessionFileName(whichVelocity, velocityExt);
    WriteWhole(whichVelocity, [&](FILE* file) {
        PrintVectorTab(file, static_cast<int>(v.size()), v.data(), sDigits, nullptr);
        PrintVectorTab(file, ncsm, t.data(), sDigits, nullptr);
    });
    report.Commit();
    hasVelocity = 1;
    RewriteTrack();
    run.CommitOrRaise();
    ResultsAppended(whichPrinda);
}

void IFComplexityVelocity() {
    const int pairs = ncsm > 1 ? ncsm - 1 : 0;
    std::vector<float> v(pairs), t(ncsm), series[3];
    SessionFileName(whichVelocity, velocityExt);
    SessionFileName(whichComplexity, complexityExt);
    if (!StoredOrRefused(whichVelocity, "velocities of community change") ||
        !StoredOrRefused(whichComplexity, "diversities and complexities"))
        return;
    {
        InputFile velocity(whichVelocity);
        velocity.Read(pairs, v.data());
        velocity.Read(ncsm, t.data());
        InputFile complexity(whichComplexity);
        for (std::vector<float>& s : series) {
            s.resize(ncsm);
            complexity.Read(ncsm, s.data());
        }
    }

    // A window holds 3 pairs at least and leaves one out: it needs 4 units.
    bool equalSteps = false;
    if (ncsm >= 4) {
        std::fprintf(Out(), "\nAre time steps constant? y/n ");
        equalSteps = ReadCharIn("y n") == 'y';
    }
    Menu("SETTINGS CORRELATION OF DIVERSITY OR COMPLEXITY VS. VELOCITY OF COMMUNITY CHANGE");
    std::fprintf(Out(), "\nCompute correlation considering:\n");
    const int option = AskOption(
        {{1, "   1  velocity ahead (diversity or complexity at time i vs. velocity from time i to i+1)\n"},
         {2, "   2  velocity behind (diversity or complexity at time i+1 vs. velocity from time i to i+1)\n"},
         {3, "   3  average diversity or complexity between time i and i+1 vs. velocity from time i to i+1)\n"}});
    std::fprintf(Out(), "\nGenerate probabilities by randomization testing? y/n ");
    const bool randomize = ReadCharIn("y n") == 'y';
    int nPerm = 1;
    if (randomize) {
        std::fprintf(Out(), "Specify number of random permutations: ");
        nPerm = static_cast<int>(ReadNumberIn("%d\n", "-", 1.0, static_cast<double>(INT_MAX)));
    }
    int w = 0;
    if (equalSteps) {
        std::fprintf(Out(), "Time steps are equal.\n");
        std::fprintf(Out(), "Specify sliding window size (in time equal steps) for correlation computations: ");
        w = static_cast<int>(ReadNumberIn("%d\n", "-", 3.0, static_cast<double>(ncsm - 1)));
    }
    if (randomize) SeedGenerators();

    float* X[3] = {series[0].data(), series[1].data(), series[2].data()};
    VelocityCorrelations result;
    CorrelateVelocity(ncsm, v.data(), t.data(), X, option, w, nPerm, &result);

    SessionFileName(whichPrinda, prindaExt);
    RunFilesScope run;
    ReportSection report(whichPrinda);
    FILE* f = report.Stream();
    SectionHead(f, "CORRELATION OF DIVERSITY OR COMPLEXITY VS. VELOCITY OF COMMUNITY CHANGE\n", false);
    static const char* const kOptionLines[3] = {
        "Correlation computed with velocity ahead, i.e., diversity or complexity at time i vs. velocity from time "
        "i to i+1\n",
        "Correlation computed with velocity behind, i.e., diversity or complexity at time i+1 vs. velocity from "
        "time i to i+1\n",
        "Correlation computed with average diversity (or complexity) between time i and i+1 vs. velocity from time "
        "i to i+1\n"};
    static const char* const kWindowTimes[3] = {"Time of a window: mean of the times i of its pairs\n",
                                                "Time of a window: mean of the times i+1 of its pairs\n",
                                                "Time of a window: mean of (time i + time i+1)/2 of its pairs\n"};
    std::fprintf(f, "%s", kOptionLines[option - 1]);
    int undefined = 0;
    for (float velocity : v) undefined += velocity >= kUndefinedVelocity;
    if (undefined > 0)
        std::fprintf(f, "Pairs of sampling units at the same time (velocity undefined) left out: %d\n", undefined);
    PrintOverall(f, result.r);
    if (w > 0) {
        std::fprintf(f, "\nUsing a sliding window size of %d time units (series with equal time steps)\n", w);
        std::fprintf(f, "%s", kWindowTimes[option - 1]);
        PrintWindows(f, result.windowTime, result.rWindow);
    }
    if (randomize) {
        std::fprintf(f, "\n\nPROBABILITIES P(roRND>=ro) GENERATED BY RANDOMIZATION UNDER NULL HYPOTHESIS OF "
                        "UNDIRECTED TIME SERIES\n");
        std::fprintf(f, "Number of random permutations: \t%d\n", nPerm);
        PrintOverall(f, result.p);
        if (w > 0) {
            std::fprintf(f,
                         "\nProbabilities P(roRND>=ro) of correlations computed using a sliding window size of %d "
                         "time units (series with equal time steps)\n",
                         w);
            PrintWindows(f, result.windowTime, result.pWindow);
        }
    }

    if (w > 0) {
        SessionFileName(whichRoVelComplex, roVelComplexExt);
        WriteWhole(whichRoVelComplex, [&](FILE* file) {
            std::fprintf(file, "%d\n%d\n", w, option);
            PrintVectorTab(file, ncsm - w, result.windowTime.data(), sDigits, nullptr);
            for (const auto& row : result.rWindow) PrintVectorTab(file, ncsm - w, const_cast<double*>(row.data()), sDigits, nullptr);
            for (const auto& row : result.pWindow) PrintVectorTab(file, ncsm - w, const_cast<double*>(row.data()), sDigits, nullptr);
        });
    }
    report.Commit();
    if (w > 0) {
        hasRoVelComplex = 1;
        // The file now holds this run's probabilities, or none worth drawing.
        hasRoVelComplexPROB = randomize ? 1 : 0;
    }
    RewriteTrack();
    run.CommitOrRaise();
    ResultsAppended(whichPrinda);
}

std::string ProfileDynamicsCaption(int source, int transform, double tFirst, double tLast, int w, int option) {
    std::string caption = FormatText("Time points %g to %g vs. \r", tFirst, tLast);
    std::string name;
    if (source >= 9 && source <= 12) {
        name = kProfileNames[source - 9];
    } else if (source >= 13 && source <= 18) {
        name = FormatText(kProfileNames[source - 9], w);
        // Sources 13 and 16 concern diversity, the others complexity.
        if (option == 1)
            name += " velocity ahead).";
        else if (option == 2)
            name += " velocity behind).";
        else
            name += (source == 13 || source == 16) ? " with average diversity between time i and i+1)."
                                                    : " with average complexity between time i and i+1).";
    }
    static const char* const kTransforms[4] = {"%s\r", "sq. %s\r", "stress function based on %s\r",
                                               "log transformed %s\r"};
    caption += FormatText(kTransforms[transform >= 0 && transform <= 3 ? transform : 0], name.c_str());
    if (source > 11) caption += FormatText("Resemblance option: %s\r", OptionLabel(rese_optInfo, rese_opt - 1));
    caption += FormatText("Formatted data (%c): %s\r", optmain1, whichFormda);
    return caption;
}

void IFProfileDynamics() {
    const bool timeScale = UsableScaleVariables(ScaleWithoutMissing) > 0;
    std::vector<MenuOption> sources;
    if (hasComplexity == 1 && timeScale) {
        sources.push_back({9, "   9  diversity\n"});
        sources.push_back({10, "   10  total complexity\n"});
        sources.push_back({11, "   11  structural complexity\n"});
    }
    if (hasVelocity == 1) sources.push_back({12, "   12  velocity of community change\n"});
    if (hasRoVelComplex == 1) {
        sources.push_back({13, "   13  correlation between velocity (of community change) and diversity\n"});
        sources.push_back({14, "   14  correlation between velocity and total complexity\n"});
        sources.push_back({15, "   15  correlation between velocity and structural complexity\n"});
    }
    if (hasRoVelComplexPROB == 1) {
        sources.push_back({16, "   16  probability of correlation between velocity and diversity\n"});
        sources.push_back({17, "   17  probability of correlation between velocity and total complexity\n"});
        sources.push_back({18, "   18  probability of correlation between velocity and structural complexity\n"});
    }
    if (sources.empty()) {
        Refuse("\nNo series of community dynamics to draw.\n");
        return;
    }
    Menu("PROFILE SETTINGS");
    std::fprintf(Out(), "Draw profile over time steps using \n");
    roFrom = AskOption(sources);
    {
        // The series chosen is read from its file, under the session's name.
        char name[kFileNameSize];
        const bool complexity = roFrom <= 11, velocity = roFrom == 12;
        SessionFileName(name, complexity ? complexityExt : velocity ? velocityExt : roVelComplexExt);
        if (!StoredOrRefused(name, complexity ? "diversities and complexities"
                                   : velocity ? "velocities of community change"
                                              : "correlations of velocity with diversity and complexity"))
            return;
    }

    std::fprintf(Out(), "\nScalar transformation: \n");
    std::vector<MenuOption> transforms = {{0, "   0  no transformation \n"}};
    if (roFrom >= 13 && roFrom <= 15) {
        transforms.push_back({1, "   1  plot squared correlation\n"});
        transforms.push_back({2, "   2  plot stress function (1 - squared correlation)\n"});
    }
    if (roFrom <= 12) transforms.push_back({3, "   3  plot log(x+1)\n"});
    sqRoOpt = AskOption(transforms);

    SettingsProfileScale();
    if (whichScale != 2) {
        minRoFix = -FLT_MAX;
        maxRoFix = FLT_MAX;
    }
    std::fprintf(Out(), "\nProfile's horizontal scale: \n");
    if (AskOption({{1, "   1  based on actual data (time or spatial scale)\n"}, {2, "   2  user specified\n"}}) == 2) {
        std::fprintf(Out(), "Specify minimum value: ");
        const double lo = ReadNumberIn("%g\n", "-", -FLT_MAX, FLT_MAX);
        // The maximum cannot lie below the minimum: the axis would be turned over.
        std::fprintf(Out(), "Specify maximum value: ");
        ReadNumberIn("%g\n", "-", lo, FLT_MAX);
    }

    // The series and its time scale, as the graph would draw them.
    std::vector<float> values, times;
    int w = 0, option = 0;
    if (roFrom <= 11) {
        SessionFileName(whichComplexity, complexityExt);
        InputFile file(whichComplexity);
        values.resize(ncsm);
        for (int line = 9; line <= roFrom; line++) file.Read(ncsm, values.data());
        AskTimeVariable("\nThe following environmental variables are available for time scale: ",
                        "\nEnter variable (label) to be taken as horizontal scale (time  or space): ",
                        ScaleWithoutMissing);
        for (int c = 0; c < ncsm; c++) times.push_back(env[c][whichEnv]);
    } else if (roFrom == 12) {
        SessionFileName(whichVelocity, velocityExt);
        InputFile file(whichVelocity);
        values.resize(ncsm > 1 ? ncsm - 1 : 0);
        times.resize(ncsm);
        file.Read(static_cast<int>(values.size()), values.data());
        file.Read(ncsm, times.data());
    } else {
        SessionFileName(whichRoVelComplex, roVelComplexExt);
        InputFile file(whichRoVelComplex);
        w = file.ReadInt();
        option = file.ReadInt();
        // A window size or option the correlation could not have written is a corrupt file.
        if (w < 3 || w > ncsm - 1 || option < 1 || option > 3) {
            std::fprintf(stderr, "\nfile %s ", file.name);
            RaiseError(TNX_END_OF_FILE);
        }
        times.resize(ncsm - w);
        values.resize(ncsm - w);
        file.Read(ncsm - w, times.data());
        for (int k = 13; k <= roFrom; k++) file.Read(ncsm - w, values.data());
    }
    const double first = times.empty() ? 0.0 : times.front(), last = times.empty() ? 0.0 : times.back();
    // The caption goes with the graph, which this program does not draw.
    const std::string caption = ProfileDynamicsCaption(roFrom, sqRoOpt, first, last, w, option);
    (void)caption;
}
