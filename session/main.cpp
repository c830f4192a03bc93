// The program's entry: everything happens in the start-up routine, which never returns.
#include "session/TNXIF.h"

int main() { mainInit(); }
