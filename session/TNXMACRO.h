// Macros: a recorded sequence of the user's answers, replayed later without the keyboard.
//
// While a macro is recorded, every console reader echoes its accepted answer to the macro file
// (outm); while one is replayed, the answers come from the macro file (in) and the prompts and
// the echo go to the run report (out, outm). IFMacro is the menu that starts and stops both.
#ifndef TNXMACRO_H
#define TNXMACRO_H

#include <cstdio>

extern char whichMacro[42];   // the macro file's name (at most 41 characters typed)
extern char whichRun[128];    // the run report: volumeName + "MacroRunReport"
extern FILE* oufpMacro;       // the macro being recorded
extern FILE* infpMacro;       // the macro being replayed
extern FILE* oufpRun;         // the run report of a replay

// The "SET MACRO MODE" menu: start or stop recording (N), start or stop a replay (R), or leave
// (C). Only the letters it prints are accepted.
void IFMacro();

// Ends a replay that an error code interrupts: closes the macro and the report and gives the
// console back to standard input and output (the rest of the macro cannot be matched to the
// questions any more). Does nothing while no macro is replayed; raises nothing.
void EndMacroReplay();

#endif
