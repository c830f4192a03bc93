// Community assembly simulator. The simulation is not built yet: the entry returns at once
// to the main menu.
#include "simulation/TNXSIMUL.h"

void IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error() {}
