// The two earlier forms of the community assembly simulator, kept beside the one of letter A:
// one data set by a chi-square survival probability, one density weight and feedback of the
// community-weighted means on the environment (IFAssemblyRulesSimulation_EnvFeedback), and the
// prediction of community matrices from environmental filtering and from assembly rules between
// nearest neighbours in trait space (IFAssemblyRulesSimulation). Each runs its own dialogue and
// writes fixed-name files in the current directory, each file whole or not at all.
#ifndef TNXSIMOLD_H
#define TNXSIMOLD_H

#include <cstdio>

// ---------------------------------------------------------------- environmental feedback

// Settings and matrices of one environmental-feedback run. OTUs are the rows of W, Dist and S;
// traits the rows of Cstar and CWM.
struct EnvFeedbackRun {
    int n = 0;  // communities (sites)
    int s = 0;  // OTUs
    int p = 0;  // traits
    int f = 0;  // environmental factors
    int M = 1;  // maximum average number of individuals per community
    int G = 1;  // maximum number of steps
    double w = 0;            // weight of density in the survival probability (0-1)
    char traitInput = 't';   // t trait matrix, c trait correlations
    bool intermediate = false;
    char traitFile[48] = "", traitCorrFile[48] = "", envFile[48] = "", responseFile[48] = "", effectFile[48] = "";

    double** B = nullptr;          // s x p traits, column z-scores once standardized
    double** traitCorr = nullptr;  // p x p (input c)
    double* mean = nullptr;        // [p] trait means before standardisation
    double* sd = nullptr;          // [p] trait standard deviations, divisor s - 1
    double* zmin = nullptr;        // [p] extremes of the z-scores
    double* zmax = nullptr;
    double** E = nullptr;          // f x n environment, rows at z-scores across the sites
    double** A = nullptr;          // p x f response parameters
    double** K = nullptr;          // f x p effect parameters
    double** W = nullptr;          // s x (n + 1) individuals; column n the total of each OTU
    int* a = nullptr;              // [n] individuals per site
    int total = 0;
    double** Cstar = nullptr;      // p x n expected community means on the traits' z scale
    double** Dist = nullptr;       // s x n squared trait distances to the expected means
    double** S = nullptr;          // s x n survival probabilities
    double** Wc = nullptr;         // s x n sites' columns of W at unit sum (work)
    double** CWM = nullptr;        // p x n community-weighted means
    int step = 0;                  // the last step run
};

// The per-step files; each null when not written.
struct EnvFeedbackStepFiles {
    FILE* community = nullptr;    // CommunityData.txt
    FILE* env = nullptr;          // EnvData.txt
    FILE* cwmExpected = nullptr;  // CWM_Expected.txt
    FILE* distances = nullptr;    // Distances.txt
    FILE* prob = nullptr;         // Prob.txt
    FILE* cwm = nullptr;          // CWM.txt
};

// Allocates every matrix of the run that is not allocated yet; FreeEnvFeedbackRun releases them.
void AllocEnvFeedbackRun(EnvFeedbackRun* run);
void FreeEnvFeedbackRun(EnvFeedbackRun* run);

// Survival probability Q^(1 - w) Y^w of an OTU at squared trait distance d from the expected
// means of p traits at a site holding a individuals: Q is the upper chi-square tail of d with p
// degrees of freedom, Y = 1 - a / target (1e-19 when it is exactly 0). Powers of 0 follow pow
// (0^0 = 1), so w = 1 gives Y whatever Q, and Q = 0 gives 0 for every w < 1.
double ChiSquareSurvival(double d, int p, int a, long long target, double w);

// Cstar = A E on the traits' z scale (a deviation of 0 or not finite scales by 1), Dist the
// squared distances of every OTU to it over all traits, S the survival probabilities with the
// sites' abundances as they are.
void EnvFeedbackSurvival(EnvFeedbackRun* run);

// Colonisation: each site in turn draws an OTU (gsl_rng_uniform_int) and a uniform u while the
// total is below M n; the OTU gains an individual there when its survival probability exceeds u.
// A site gives up after 1000 s consecutive failed draws. Returns true when the total reached M n.
bool EnvFeedbackColonise(EnvFeedbackRun* run);

// Mortality: at each occupied site, phi = 1 / (a G) with the site's abundance on arrival; each
// individual of each OTU present dies when (1 - S) phi exceeds a uniform draw, examined one by
// one while more individuals remain than were examined. Returns the number of deaths.
int EnvFeedbackMortality(EnvFeedbackRun* run);

// CWM = B' W with W's site columns at unit sum (an empty site stays 0); E grows by K CWM and its
// rows are z-standardized again across the sites (a constant row is centred only).
void EnvFeedbackOnEnvironment(EnvFeedbackRun* run);

// Runs the steps from an empty W until G steps or a step that ends with the total at M n and no
// death; writes the per-step files that are open. Returns the last step.
int RunEnvFeedbackSteps(EnvFeedbackRun* run, const EnvFeedbackStepFiles& files);

// The dialogue, the seed from the clock, the run and its files.
void IFAssemblyRulesSimulation_EnvFeedback();

// ---------------------------------------------------------------- filtering and assembly rules

// Sizes and matrices of one prediction run. OTUs are the rows of the s x n predictions.
struct AssemblyRulesRun {
    int n = 0;             // communities
    int p = 0;             // traits
    int s = 0;             // OTUs
    int f = 0;             // environmental factors
    int nx = 0;            // expanded predictors: f values, f squares, f(f-1)/2 pair columns left 0
    int nInteraction = 0;  // coefficients per trait of the interaction file: 1 + 2p + p(p-1)/2

    double** B = nullptr;          // s x p uniform traits
    double** E = nullptr;          // n x f environment
    double** Ex = nullptr;         // n x nx expanded predictors
    double** coefF = nullptr;      // p x (1 + nx) filtering coefficients: intercept first
    double** coefI = nullptr;      // p x nInteraction interaction coefficients: intercept first
    double** CWM = nullptr;        // n x p expected community means of filtering
    double*** dev = nullptr;       // p matrices s x n: trait minus expected mean
    double*** sim = nullptr;       // p matrices s x s: Gower similarity of the OTUs by one trait
    double** Xf = nullptr;         // s x n prediction by filtering
    double** Wf = nullptr;         // s x n its cells not below 1/s
    double** Xr = nullptr;         // s x n prediction by assembly rules
    double** Wr = nullptr;         // s x n its cells not below 1/s
    double** Wfa = nullptr;        // s x n combined prediction
    int* order = nullptr;          // [s] 1-based OTU numbers in the order of arrival
    double** Btemp = nullptr;      // s x p traits of the OTUs taken so far
    double* nn = nullptr;          // [p] nearest-neighbour similarities of the OTU arriving
    double* expected = nullptr;    // [p] expected community means on its arrival
    double* coefSum = nullptr;     // [p] sum of each trait's interaction coefficients after the intercept
};

void AllocAssemblyRulesRun(AssemblyRulesRun* run);
void FreeAssemblyRulesRun(AssemblyRulesRun* run);

// Ex (n x (2f + f(f-1)/2)): the f columns of E, then their squares, then the pair columns at 0.
void ExpandPredictors(int n, int f, double** E, double** Ex);

// CWM[k][t] = coef[t][0] + sum over j of coef[t][1 + j] Ex[k][j] (nx predictors).
void PredictorMeans(int n, int p, int nx, double** Ex, double** coef, double** CWM);

// dev[t][o][k] = B[o][t] - CWM[k][t].
void TraitDeviations(int s, int n, int p, double** B, double** CWM, double*** dev);

// X[o][k] = the mean over the p traits of 1 - |dev[t][o][k]|, 0 when that mean is negative; then
// each community column divided by its sum (a column summing to 0 stays 0).
void PredictionFromDeviations(int p, int s, int n, double*** dev, double** X);

// out = the cells of X (s x n) not below the threshold, the others 0.
void KeepNotBelow(int s, int n, double** X, double threshold, double** out);

// The arrival of the OTUs in community k in run->order (1-based): the first keeps the expected
// means of filtering; each later OTU's nearest-neighbour similarity for trait t is its largest
// similarity by t to the OTUs already taken, and the expected mean of t becomes coefI[t][0] +
// that similarity x (the sum of coefI[t][1..]). dev[t][o][k] receives the trait of o minus the
// expected mean on o's arrival. With trace, the block of every arrival is appended to it.
void AssemblyRulesCommunity(AssemblyRulesRun* run, int k, FILE* trace);

// Wfa = the cell-wise minimum of Xf and Xr, community columns at unit sum (0 stays 0), keeping
// the cells not below 0.9 / s.
void CombinePredictions(int s, int n, double** Xf, double** Xr, double** Wfa);

// The dialogue, the seed from the clock, the predictions and their files.
void IFAssemblyRulesSimulation();

#endif
