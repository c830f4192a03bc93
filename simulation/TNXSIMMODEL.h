// Community assembly model: the settings of a simulation run, the matrices of one simulated
// data set, and the stepwise dispersal, environmental filtering, density-dependent
// establishment and mortality, and feedback of the communities on the ecosystem.
#ifndef TNXSIMMODEL_H
#define TNXSIMMODEL_H

#include <cstdio>

// Everything the simulator's dialogue fixes. Letters are stored lower case; distribution codes
// are those of CorrToData_New (1 uniform, 2 normal).
struct AssemblySettings {
    int n = 0;  // communities (sites)
    int s = 0;  // OTUs
    int p = 0;  // traits
    int f = 0;  // ecosystem factors
    int v = 0;  // predictors: f, or f + f(f-1)/2 with double interactions
    char traitInput = 't';  // t trait matrix, c trait correlations, b trait and OTU correlations
    int traitCode = 2;
    char kernelMode = 'r';  // d from file, r at random
    double kernelSlope1 = 0, kernelSlope2 = 0, kernelCentre1 = 0, kernelCentre2 = 0;
    double lmin = 0;        // minimum long-distance dispersal probability
    char coordMode = 'r';   // c from file, r at random
    char envMode = 'e';     // e from file, c from factor correlations
    int envCode = 2;
    bool interactions = false;
    char survivalMode = 'r';
    double survivalSlope1 = 0, survivalSlope2 = 0, survivalCentre1 = 0, survivalCentre2 = 0;
    char densityMode = 'r';
    double densitySlope1 = 0, densitySlope2 = 0, densityCentre1 = 0, densityCentre2 = 0;
    int M = 1;              // maximum average number of individuals per community
    int G = 1;              // steps
    double h = 0;           // recording threshold
    bool testMode = false;  // type I error or power
    int N = 1;              // simulated data sets
    double alpha = 0;
    bool intermediate = false;
    bool stepFiles = false;  // per-step files (not in test mode, intermediate results on)

    // Names of the parameter files as typed (empty when not read).
    char traitFile[48] = "", traitCorrFile[48] = "", otuCorrFile[48] = "", kernelFile[48] = "";
    char coordFile[48] = "", envFile[48] = "", factorCorrFile[48] = "", responseFile[48] = "";
    char effectFile[48] = "", survivalFile[48] = "", densityFile[48] = "";
};

// The matrices of the run, allocated once (AllocAssemblyModel) and released at its end.
// Sites are rows of W, Dist and S; traits are rows of C*, C, Cprev and the extrapolation.
struct AssemblyModel {
    float** B = nullptr;           // s x p z-scores of the traits
    float** traitCorr = nullptr;   // p x p (inputs c, b)
    float** otuCorr = nullptr;     // s x s (input b)
    double** factorCorr = nullptr; // f x f (environment c)
    double* mean = nullptr;        // [p] trait means (before standardisation)
    double* sd = nullptr;          // [p] trait standard deviations, divisor s - 1
    double* zmin = nullptr;        // [p] smallest z-score of each trait
    double* zmax = nullptr;        // [p] largest z-score of each trait
    double** kernel = nullptr;     // s x 3: long-distance probability, slope, centre
    double** survival = nullptr;   // s x 2: slope, centre
    double** density = nullptr;    // s x 2: slope, centre
    double** coords = nullptr;     // 2 x n: X row, Y row
    double** D = nullptr;          // n x n site distances scaled to a largest value of 1
    double** E = nullptr;          // v x n ecosystem: factor rows, then interaction rows
    double** E0 = nullptr;         // v x n initial conditions (environment from file)
    double** A = nullptr;          // p x v response parameters
    double** K = nullptr;          // f x p effect parameters
    int* considered = nullptr;     // [p] 1 when the trait's row of A has a non-zero entry
    double** W = nullptr;          // (n + 1) x s individuals; row n the metacommunity totals
    int* a = nullptr;              // [n] individuals per site
    int total = 0;
    double** Cstar = nullptr;      // p x n expected community-weighted means, z scale
    double** Dist = nullptr;       // n x s squared trait distances
    double** S = nullptr;          // n x s survival probabilities
    double** C = nullptr;          // p x n community-weighted means of the step
    double** Cprev = nullptr;      // p x n those of the previous step
    double** extrap = nullptr;     // p x n amount of extrapolation after the last step
    bool recording = false;
    int recordStep = 0;
    int* richness = nullptr;       // [n]
    int* colonisations = nullptr;  // [n]
    int* extinctions = nullptr;    // [n]
    int kest = 0;
    // Work space of the steps.
    double** Wr = nullptr;         // n x s rows of W at unit sum
    double** delta = nullptr;      // p x n change of the community-weighted means
    double** work = nullptr;       // n x f draws of the generated environment
};

// The per-step files of the model; each null when not written.
struct AssemblyStepFiles {
    FILE* env = nullptr;        // EnvData.txt
    FILE* cwmExpected = nullptr;
    FILE* distances = nullptr;
    FILE* prob = nullptr;
    FILE* community = nullptr;
    FILE* cwm = nullptr;
};

// Allocates every matrix of the run that is not allocated yet (the dialogue allocates the ones
// it reads into as soon as their sizes are known); FreeAssemblyModel releases them all.
void AllocAssemblyModel(const AssemblySettings& set, AssemblyModel* m);
void FreeAssemblyModel(const AssemblySettings& set, AssemblyModel* m);

// (L(x) - L(hiX)) / (L(loX) - L(hiX)) with L(x) = Logistic(x, loX, hiX, lo, 1, slope, centre):
// 1 at loX, 0 at hiX. When the two reference values are equal (a flat curve: slope 0, a range
// of 0, lo = 1) the curve says nothing and the result is 1, never 0/0.
double ScaledLogistic(double x, double loX, double hiX, double lo, double slope, double centre);

// Rows f .. v-1 of E: the products E[i][k] E[j][k] of the factor pairs i < j in the order
// (0,1), (0,2), ..., (1,2), ... (nothing with fewer than 2 factors or without interactions).
void FormInteractionRows(int f, int n, bool interactions, double** E);

// D (n x n) = Euclidean distances between the sites of coords (2 x n) divided by the largest of
// them; sites that all lie at one location keep distance 0.
void ScaleSiteDistances(int n, double** coords, double** D);

// Columns of B replaced by their z-scores with the divisor sqrt(SS/s); mean and sd receive the
// column means and standard deviations with the divisor s - 1, zmin and zmax the extremes of
// the z-scores. A column whose deviation is 0 or not finite is centred and scaled by 1.
void StandardizeTraits(int s, int p, float** B, double* mean, double* sd, double* zmin, double* zmax);
void StandardizeTraits(int s, int p, double** B, double* mean, double* sd, double* zmin, double* zmax);

// Factor rows 0..f-1 of E (f x n) replaced by their z-scores across sites (divisor sqrt(SS/n));
// a constant row is centred only.
void StandardizeFactorRows(int f, int n, double** E);

// Draws the parameters the settings leave to chance, in the model's order: kernel slopes then
// centres (random mode), the long-distance probability of every OTU, random coordinates (X row
// then Y row) and the scaled site distances, the generated or reset environment, survival
// slopes then centres, density slopes then centres. Traits (inputs c and b) are generated by
// the caller first. Returns false when the factor correlations cannot generate data.
bool PrepareDataSet(const AssemblySettings& set, AssemblyModel* m);

// Runs the G steps of one data set (W, counters and the extrapolation start from zero) and
// writes the per-step files that are open. dataSet is the 1-based number shown in the progress.
void RunAssemblySteps(const AssemblySettings& set, AssemblyModel* m, int dataSet, const AssemblyStepFiles& files);

#endif
