// Dialogue and parameter files of the community assembly simulator.
#include "simulation/TNXSIMINPUT.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "foundation/nrutilQW.h"
#include "foundation/qwlibDim.h"
#include "session/dialogs/TNXIFSET.h"
#include "session/model/TNXGLOB.h"

namespace {

FILE* Out() { return out ? out : stdout; }

// Longest file name typed at the prompt.
constexpr int kNameMax = 41;
constexpr double kFloatMax = 3.4028234663852886e38;

const char* const kKernelFilePrompt =
    "Name of the file with a matrix of %d OTU with the two parameters of the logistic function for each OTU: \n"
    "The parameters are: (1) slope of the tangent in the center of antisymmetry of the function (<0), and (2) center: "
    "the position of the center of antisymmetry (0 = xmin, 1 = xmax) )";
const char* const kSurvivalFilePrompt =
    "Name of the file with a matrix of %d OTU with the two parameters of the logistic function for each OTU: \n"
    "The parameters are: (1) slope of the tangent in the center of antisymmetry of the function (<0, if it "
    "approaches 0 the density dependence effect will be neutral), and (2) center: the position of the center of "
    "antisymmetry (0 = xmin, 1 = xmax) )";

void Refuse(const char* why) {
    fputc(7, stdout);
    fprintf(stderr, "%s", why);
}

// Closes a parameter file, also when an error code leaves the reading.
struct FileCloser {
    FILE* f;
    ~FileCloser() {
        if (f) fclose(f);
    }
};

// Asks for a file name until the file opens; the name (at most 41 characters) goes to name.
FILE* OpenParameterFile(char (&name)[48]) {
    for (;;) {
        fprintf(Out(), "Enter data file name: ");
        fflush(Out());
        char buf[kNameMax + 1];
        ReadLineIn(buf, kNameMax);
        if (static_cast<int>(strlen(buf)) == kNameMax) {
            // The name filled the field: the rest of its line is not the next answer.
            FILE* src = in ? in : stdin;
            int c = fgetc(src);
            while (c != EOF && c != '\n' && c != '\r') c = fgetc(src);
        }
        size_t len = strlen(buf);
        while (len > 0 && (buf[len - 1] == ' ' || buf[len - 1] == '\t')) buf[--len] = '\0';
        FILE* f = fopenck(buf, nullptr, "r");
        if (f) {
            snprintf(name, sizeof name, "%s", buf);
            return f;
        }
    }
}

// rows x cols numbers in row order; a value that is no finite number of the element type,
// a word such as "nan" or "inf" included, raises code 2 (as the reader does at the end of the
// file) rather than being passed over, which would shift every value after it.
template <class T>
void ReadValues(FILE* f, const char* name, int rows, int cols, T** dst, int firstCol = 0) {
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) {
            const double v = ScanNumber(f, name, nullptr, kReadNonFinite);
            const double limit = sizeof(T) == sizeof(float) ? kFloatMax : DBL_MAX;
            if (!std::isfinite(v) || std::fabs(v) > limit) {
                fprintf(stderr, "\nfile %s ", name);
                fputc(7, stdout);
                RaiseError(TNX_END_OF_FILE);
            }
            dst[i][firstCol + j] = static_cast<T>(v);
        }
}

// Prompts, opens and reads a rows x cols matrix.
template <class T>
void ReadMatrixFile(char (&name)[48], int rows, int cols, T** dst, int firstCol = 0) {
    FILE* f = OpenParameterFile(name);
    FileCloser closer{f};
    ReadValues(f, name, rows, cols, dst, firstCol);
}

// A correlation matrix: asked again (prompt included) until it is positive definite.
template <class T>
void ReadCorrelationFile(char (&name)[48], int n, T** dst, const char* prompt, int a, int b) {
    for (;;) {
        fprintf(Out(), prompt, a, b);
        ReadMatrixFile(name, n, n, dst);
        if (IsPositiveDefinite(n, dst)) return;
        Refuse("\nThe correlation matrix is not positive definite. Reenter.\n");
    }
}

template <class T>
bool PositiveDefiniteT(int n, T** corr) {
    if (n < 1) return false;
    double** a = dim2Double(n, n);
    double* diag = dim1Double(n);
    bool finite = true;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) {
            a[i][j] = corr[i][j];
            finite = finite && std::isfinite(a[i][j]);
        }
    // The factorisation reads the upper triangle; an unsymmetric matrix is no correlation matrix.
    bool symmetric = true;
    for (int i = 0; i < n && symmetric; i++)
        for (int j = i + 1; j < n; j++)
            if (a[i][j] != a[j][i]) symmetric = false;
    bool ok = finite && symmetric;
    if (ok) {
        // The factorisation's own message would speak of a routine the user never named.
        for (int i = 0; i < n && ok; i++)
            for (int j = i; j < n && ok; j++) {
                double sum = a[i][j];
                for (int k = i - 1; k >= 0; k--) sum -= a[i][k] * a[j][k];
                if (i == j) {
                    if (!(sum > 0.0)) ok = false;
                    else diag[i] = std::sqrt(sum);
                } else {
                    a[j][i] = sum / diag[i];
                }
            }
    }
    free1D(diag);
    free2D(a, n);
    return ok;
}

// A count in 1..2147483647 that passes check (a size the run can hold); asked again otherwise.
template <class Check>
int AskCount(const char* prompt, Check check) {
    for (;;) {
        fprintf(Out(), "%s", prompt);
        const int v = static_cast<int>(ReadNumberIn("%d\n", "-", 1.0, 2147483647.0));
        if (check(static_cast<long long>(v))) return v;
        Refuse("\nToo large: a table of the simulation would exceed 2147483647 cells. Reenter.\n");
    }
}

// Slope range (second bounded above by the first) and centre range of a logistic function.
void AskSlopesCentres(const char* slopePrompt, const char* centrePrompt, double* a1, double* a2, double* c1,
                      double* c2) {
    fprintf(Out(), "%s", slopePrompt);
    *a1 = ReadNumberIn("%lf\n", "-", -kFloatMax, 0.0);
    *a2 = ReadNumberIn("%lf\n", "-", -kFloatMax, *a1);
    fprintf(Out(), "%s", centrePrompt);
    *c1 = ReadNumberIn("%lf\n", "-", 0.0, 1.0);
    *c2 = ReadNumberIn("%lf\n", "-", 0.0, 1.0);
}

// The texts of one per-OTU logistic function: the d/r question, the file prompt, the slope and
// centre prompts.
struct LogisticPrompts {
    const char* question;
    const char* filePrompt;
    const char* slopes;
    const char* centres;
};

// The parameters of one logistic function for every OTU: from a file into columns firstCol and
// firstCol + 1 of table (d), or slope and centre ranges to draw from (r). Returns the letter.
char AskOtuLogistic(const LogisticPrompts& text, int s, double** table, int firstCol, char (&file)[48], double* a1,
                    double* a2, double* c1, double* c2) {
    fprintf(Out(), "%s", text.question);
    const char mode = ReadCharIn("d r");
    if (mode == 'd') {
        fprintf(Out(), text.filePrompt, s);
        ReadMatrixFile(file, s, 2, table, firstCol);
    } else {
        AskSlopesCentres(text.slopes, text.centres, a1, a2, c1, c2);
    }
    return mode;
}

const LogisticPrompts kKernelPrompts = {
    "Specify for each OTU the parameters for local seed dispersal kernel (d), or generate the parameters (slope and "
    "center) of the logistic function at random (r)? d/r ",
    kKernelFilePrompt,
    "Specify the minimum and maximum (negative) slope in the center of antisymmetry of the logistic function for the "
    "dispersal kernel (<0, suggested -5, if very close to 0 the effect of dispersal will be neutral): ",
    "Specify the minimum and maximum center of antisymmetry of the logistic function for the dispersal kernel (0-1): "};
const LogisticPrompts kSurvivalPrompts = {
    "Specify for each OTU the parameters (slope and center) of the logistic function relating probability of "
    "survival to distance between OTU traits and expected community traits (d), or generate the parameters at random "
    "(r)? d/r ",
    kSurvivalFilePrompt,
    "Specify the minimum and maximum (negative) slope in the center of antisymmetry of the logistic function for the "
    "survival probability (<0, suggested -1 and -5, if it approaches 0 the niche effect will be neutral): ",
    "Specify the minimum and maximum center of antisymmetry of the logistic function for the survival probability "
    "(0-1): "};
const LogisticPrompts kDensityPrompts = {
    "Specify for each OTU the parameters for the density dependence function (d), or generate the parameters (slope "
    "and center) of the logistic function at random (r)? d/r ",
    kKernelFilePrompt,
    "Specify the minimum and maximum (negative) slope in the center of antisymmetry of the logistic function for "
    "density dependence (<0, suggested -5, if 0 the effect of density dependence will be neutral): ",
    "Specify the minimum and maximum center of antisymmetry of the logistic function for density dependence (0-1): "};

void EchoNewline() {
    if ((createMacro || runMacro) && outm) fputc('\n', outm);
}

// The trait descriptors the functional-analysis settings dialogue reads, for p traits of type 3
// labelled "1".."p" and s OTUs; the flags of an earlier session are cleared so that the dialogue
// asks nothing about phylogeny, trait groups or qualitative variables.
void SetSimulatorGlobals(const AssemblySettings& set, char* savedPrinda, char* savedPrindaMode) {
    tcst = set.s;
    nch = set.p;
    nSpp = 0;
    optmain = 'H';
    hasPhylogeny = false;
    includePhylogeny = false;
    hasTraitGroups = 0;
    temEnvQual = 0;
    chtype = dim1Dint(nch);
    chLabel = dim2Dchar(nch, kLabelSize);
    weight = dim1Dfloat(nch);
    nchor = dim1Dint(nch);
    nGrPoly = dim1Dint(nch);
    partition_OTUs = dim1Dint(tcst);
    for (int t = 0; t < nch; t++) {
        chtype[t] = 3;
        snprintf(chLabel[t], kLabelSize, "%d", t + 1);
        weight[t] = 1.0f;
    }
    // No session report exists: an empty report name makes the dialogue find none to ask about.
    snprintf(savedPrinda, kFileNameSize, "%s", whichPrinda);
    snprintf(savedPrindaMode, 4, "%s", prindaMode);
    whichPrinda[0] = '\0';
}

// The ecosystem variables (and interactions) the tests use.
void AskVariableSelection(const AssemblySettings& set, int* select) {
    fprintf(Out(), "\nEcosystem variables in matrix E to be used in the analysis of the simulated data:\n");
    fprintf(Out(), "   1  all variables \n");
    fprintf(Out(), "   2  select variables \n");
    fprintf(Out(), "Type option no.: ");
    const int opt = static_cast<int>(ReadNumberIn("%d\n", "1 2"));
    if (opt == 1) {
        for (int j = 0; j < set.v; j++) select[j] = 1;
        return;
    }
    for (;;) {
        fprintf(Out(), "Select variables (and their interactions if included):\n");
        fprintf(Out(), "(enter 0 for exclusion or 1 for inclusion)\n");
        for (int i = 1; i <= set.f; i++) fprintf(Out(), "%d ", i);
        if (set.interactions && set.f >= 2)
            for (int i = 1; i <= set.f; i++)
                for (int j = i + 1; j <= set.f; j++) fprintf(Out(), "%dx%d ", i, j);
        fprintf(Out(), "\n");
        int selected = 0;
        for (int j = 0; j < set.v; j++) {
            select[j] = static_cast<int>(ReadNumberIn("%-3d", "0 1"));
            selected += select[j];
        }
        EchoNewline();
        if (selected > 0) return;
        Refuse("\nNo variable selected. Reenter.\n");
    }
}

void AskSeed() {
    fprintf(Out(), "\nInitialization of the random number generator: \n");
    fprintf(Out(), "   1  automatic (taken from the clock)\n");
    fprintf(Out(), "   2  specified by the user\n");
    fprintf(Out(), "Type option no.: ");
    seedOpt = static_cast<int>(ReadNumberIn("%d\n", "1 2"));
    if (seedOpt == 2) {
        fprintf(Out(), "\nEnter seed (integer in the 0 to %u interval):\n", 4294967295u);
        rseed = static_cast<std::uint32_t>(ReadNumberIn("%u\n", "-", 0.0, 4294967295.0));
    } else {
        rseed = static_cast<std::uint32_t>(time(nullptr));
    }
}

}  // namespace

int AskSimulationCount(const char* prompt, const std::function<bool(long long)>& fits) {
    return AskCount(prompt, fits);
}

void ReadSimulationMatrix(char (&name)[48], int rows, int cols, double** dst) { ReadMatrixFile(name, rows, cols, dst); }

void ReadSimulationValues(FILE* f, const char* name, int rows, int cols, double** dst) {
    ReadValues(f, name, rows, cols, dst);
}

void ReadSimulationCorrelation(char (&name)[48], int n, double** dst, const char* prompt, int a, int b) {
    ReadCorrelationFile(name, n, dst, prompt, a, b);
}

bool CellsFit(long long rows, long long cols) {
    if (rows < 1 || cols < 1) return false;
    return rows <= INT_MAX / cols;
}

long long PredictorCount(long long f, bool interactions) {
    return interactions ? f + f * (f - 1) / 2 : f;
}

bool IsPositiveDefinite(int n, float** corr) { return PositiveDefiniteT(n, corr); }
bool IsPositiveDefinite(int n, double** corr) { return PositiveDefiniteT(n, corr); }

void SimulatorDialogue(AssemblySettings* set, AssemblyModel* m, double*** rawEnv, int** varSelect, bool* globalsSet,
                       char* savedPrinda, char* savedPrindaMode) {
    AssemblySettings& S = *set;
    FILE* o = Out();
    S.n = AskCount("Specify the number of communities (sites): ",
                   [](long long n) { return CellsFit(n + 1, n); });
    S.s = AskCount("Specify the number of OTUs: ",
                   [&](long long s) { return CellsFit(s, s) && CellsFit(S.n + 1LL, s); });
    S.p = AskCount("Specify the number of traits: ",
                   [&](long long p) {
                       // The tests hold one s x s similarity per trait.
                       return CellsFit(S.s, p) && CellsFit(p, p) && CellsFit(p, S.n) &&
                              CellsFit(static_cast<long long>(S.s) * S.s, p);
                   });

    fprintf(o, "Input is a %d OTUs x %d traits matrix (t) or a trait x traits correlation matrix (c) or both the latter "
               "and a taxa x taxa correlation matrix (b)? t/c/b ", S.s, S.p);
    S.traitInput = ReadCharIn("t c b");
    if (S.traitInput == 't') {
        m->B = dim2Dfloat(S.s, S.p);
        fprintf(o, "Name of the file with trait data matrix (%d OTUs x %d traits): ", S.s, S.p);
        ReadMatrixFile(S.traitFile, S.s, S.p, m->B);
        S.traitCode = 2;
    } else {
        m->traitCorr = dim2Dfloat(S.p, S.p);
        ReadCorrelationFile(S.traitCorrFile, S.p, m->traitCorr,
                            "Name of the file with full trait correlation matrix (%d traits x %d traits): ", S.p, S.p);
        if (S.traitInput == 'b') {
            m->otuCorr = dim2Dfloat(S.s, S.s);
            ReadCorrelationFile(S.otuCorrFile, S.s, m->otuCorr,
                                "Name of the file with full correlation matrix between OTUs (%d OTUs x %d nOTUs): ", S.s,
                                S.s);
        }
        fprintf(o, "Generate OTUs x traits matrix with uniform (u) or normal (n) distribution of values in each trait? "
                   "u/n ");
        S.traitCode = ReadCharIn("u n") == 'u' ? 1 : 2;
    }

    m->kernel = dim2Double(S.s, 3);
    S.kernelMode = AskOtuLogistic(kKernelPrompts, S.s, m->kernel, 1, S.kernelFile, &S.kernelSlope1, &S.kernelSlope2,
                                  &S.kernelCentre1, &S.kernelCentre2);
    fprintf(o, "Specify the minimum long-distance dispersal probability in the pool of OTUs (0-1): ");
    S.lmin = ReadNumberIn("%lf\n", "-", 0.0, 1.0);

    fprintf(o, "Specify community site coordinates (c), or generate coordinates at random (r)? c/r ");
    S.coordMode = ReadCharIn("c r");
    m->coords = dim2Double(2, S.n);
    if (S.coordMode == 'c') {
        fprintf(o, "Name of the file with X and Y coordinates for %d sites (2 rows): ", S.n);
        ReadMatrixFile(S.coordFile, 2, S.n, m->coords);
    }

    S.f = AskCount("Specify the number of factors: ",
                   [&](long long f) { return CellsFit(f, f) && CellsFit(f, S.n) && CellsFit(f, S.p); });
    fprintf(o, "Specify the environmental data as a %d factors x %d sites matrix (e) or generate the data based on a "
               "factor x factor correlation matrix (c)? e/c ", S.f, S.n);
    S.envMode = ReadCharIn("e c");
    if (S.envMode == 'e') {
        *rawEnv = dim2Double(S.f, S.n);
        fprintf(o, "Name of the file with matrix of %d factors x %d sites with initial ecosystem conditions: ", S.f, S.n);
        ReadMatrixFile(S.envFile, S.f, S.n, *rawEnv);
    } else {
        m->factorCorr = dim2Double(S.f, S.f);
        ReadCorrelationFile(S.factorCorrFile, S.f, m->factorCorr,
                            "Name of the file with full factor correlation matrix (%d factors x %d factors): ", S.f, S.f);
        fprintf(o, "Generate factors x sites matrix with uniform (u) or normal (n) distribution of values in each "
                   "factor? u/n ");
        S.envCode = ReadCharIn("u n") == 'u' ? 1 : 2;
    }

    for (;;) {
        fprintf(o, "Consider double interactions between factors? y/n ");
        S.interactions = ReadCharIn("y n") == 'y';
        const long long v = PredictorCount(S.f, S.interactions);
        if (v <= INT_MAX && CellsFit(v, S.n) && CellsFit(S.p, v)) {
            S.v = static_cast<int>(v);
            break;
        }
        Refuse("\nToo many interaction terms for the number of factors. Reenter.\n");
    }
    m->E0 = dim2Double(S.v, S.n);
    if (*rawEnv)
        for (int i = 0; i < S.f; i++)
            for (int k = 0; k < S.n; k++) m->E0[i][k] = (*rawEnv)[i][k];

    m->A = dim2Double(S.p, S.v);
    if (S.interactions)
        fprintf(o, "Name of the file with matrix of parameters for linear models of community responses to ecosystem "
                   "conditions (%d traits by %d ecosystem predictor variables and their double interactions): ",
                S.p, S.v);
    else
        fprintf(o, "Name of the file with matrix of parameters for linear models of community responses to ecosystem "
                   "conditions (%d traits by %d ecosystem predictor variables): ",
                S.p, S.f);
    ReadMatrixFile(S.responseFile, S.p, S.v, m->A);
    m->considered = dim1Dint(S.p);
    for (int t = 0; t < S.p; t++)
        for (int j = 0; j < S.v; j++)
            if (m->A[t][j] != 0.0) m->considered[t] = 1;

    m->K = dim2Double(S.f, S.p);
    fprintf(o, "Name of the file with matrix of parameters for linear models of community effects on ecosystem "
               "conditions (%d ecosystem variables by %d predictor traits): ", S.f, S.p);
    ReadMatrixFile(S.effectFile, S.f, S.p, m->K);

    m->survival = dim2Double(S.s, 2);
    S.survivalMode = AskOtuLogistic(kSurvivalPrompts, S.s, m->survival, 0, S.survivalFile, &S.survivalSlope1,
                                    &S.survivalSlope2, &S.survivalCentre1, &S.survivalCentre2);
    m->density = dim2Double(S.s, 2);
    S.densityMode = AskOtuLogistic(kDensityPrompts, S.s, m->density, 0, S.densityFile, &S.densitySlope1,
                                   &S.densitySlope2, &S.densityCentre1, &S.densityCentre2);

    // The total number of individuals (M n) is an int.
    S.M = AskCount("Specify the maximum average number of individuals per community: ",
                   [&](long long M) { return CellsFit(M, S.n); });
    S.G = AskCount("Specify the maximum number of iterations: ", [](long long) { return true; });
    fprintf(o, "Specify the threshold (proportion) of the maximum average number of individuals per community after "
               "which OTU richness and number of OTU colonizations and extinctions are recorded: ");
    S.h = ReadNumberIn("%lf\n", "-", 0.0, 1.0);

    for (;;) {
        fprintf(o, "Evaluate type I error or power? y/n ");
        S.testMode = ReadCharIn("y n") == 'y';
        if (!S.testMode || S.n >= 2) break;
        Refuse("\nThe tests need at least 2 communities. Reenter.\n");
    }
    *varSelect = dim1Dint(S.v);
    if (S.testMode) {
        fprintf(o, "Specify the number of simulated data sets: ");
        S.N = static_cast<int>(ReadNumberIn("%d\n", "-", 1.0, 2147483647.0));
        SetSimulatorGlobals(S, savedPrinda, savedPrindaMode);
        *globalsSet = true;
        SettingsHierarchy();
        AskVariableSelection(S, *varSelect);
        fprintf(o, "Specify the alpha threshold for Ho rejection: ");
        S.alpha = ReadNumberIn("%lf\n", "-", 0.0, 1.0);
        S.intermediate = printDetail == 1;
    } else {
        AskSeed();
        fprintf(o, "Save intermediate results? y/n ");
        S.intermediate = ReadCharIn("y n") == 'y';
        S.N = 1;
        S.alpha = 0.0;
        for (int j = 0; j < S.v; j++) (*varSelect)[j] = 1;
    }
    S.stepFiles = !S.testMode && S.intermediate;
}

void ReleaseSimulatorGlobals(const char* savedPrinda, const char* savedPrindaMode) {
    free2D(chLabel, nch);
    chLabel = nullptr;
    free1D(chtype);
    chtype = nullptr;
    free1D(weight);
    weight = nullptr;
    free1D(nchor);
    nchor = nullptr;
    free1D(nGrPoly);
    nGrPoly = nullptr;
    free1D(partition_OTUs);
    partition_OTUs = nullptr;
    ReleaseSettingsArrays();
    includePhylogeny = false;
    tcst = 0;
    nch = 0;
    snprintf(whichPrinda, kFileNameSize, "%s", savedPrinda);
    snprintf(prindaMode, sizeof prindaMode, "%s", savedPrindaMode);
}
