// Handlers of the analyses of community dynamics: diversity and complexity of each sampling
// unit (IFComplexity, declared with the other handlers in TNXIFCLASSIC.h), velocity of change
// between consecutive units (IFVelocity), their correlation (IFComplexityVelocity), the profile
// of one of their series over time (IFProfileDynamics) and Markov models (Markov). Each appends
// its section to the session's report and writes the session file the next one reads:
//   session + "Complexity.txt": three lines of ncsm values: Renyi entropy in bits H, total
//     complexity L, structural complexity L - H;
//   session + "Velocity.txt": ncsm - 1 velocities, then the ncsm times;
//   session + "RoVelComplex.txt" (only with a sliding window of w units): w, the correlation
//     option, then seven lines of ncsm - w values: the window times, the window correlations
//     of velocity with H, L and S, and their probabilities.
#ifndef TNXDYNAMICS_H
#define TNXDYNAMICS_H

#include <string>

#include "classical/TNXIFCLASSIC.h"

void IFVelocity();
void IFComplexityVelocity();
void IFProfileDynamics();
void Markov();

// The caption of a profile of source 9 (diversity), 10 (total complexity), 11 (structural
// complexity), 12 (velocity of community change), 13-15 (correlations of velocity with them in
// a sliding window of w units, correlation option 1-3) or 16-18 (their probabilities), under
// transformation 0 (none), 1 (squared), 2 (stress function), 3 (log(x + 1)), over the times
// tFirst .. tLast. Lines end with "\r".
std::string ProfileDynamicsCaption(int source, int transform, double tFirst, double tLast, int w, int option);

#endif
