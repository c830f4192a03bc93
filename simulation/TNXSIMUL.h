// Community assembly simulator.
#ifndef TNXSIMUL_H
#define TNXSIMUL_H

// Simulates community assembly under assembly rules with feedback of the communities on the
// environment and reports the type I error and power of the tests; run from the main menu.
void IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error();

#endif
