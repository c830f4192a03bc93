// Start-up, main menu, session loop and the menu header.
#ifndef TNXIF_H
#define TNXIF_H

#include "session/model/TNXMenu.h"

// Start-up: numerical library's error handler off, defaults, clocks, banner, then the main
// menu. Never returns. Any error code raised while no session is active ends the program in
// order (the code's messages on standard error, status 1).
[[noreturn]] void mainInit();

// The main-menu loop; ends the program with status 0 on X.
[[noreturn]] void MainMenu();

// One session, from reading its track file to leaving it; returns to the main menu. It is the
// recovery point of the error codes: codes 1-4 end the program, code 5 frees the session's
// data and returns to the main menu.
void IFSession();

// Sets the volume prefix to the empty string.
void GetVolumeNameIn(char* volume);

// Does nothing.
void HandleError(int code);

// The way an error code ends: codes 1-4 print their messages on standard error, wait as the
// code asks and end the program with status 1; code 5 rings the bell, waits for the return
// key (not while a macro runs) and returns; code 6 (another run changed the session's data, so
// this run saved nothing) says so in one line, waits for the return key and ends the program with
// status 1. A macro being replayed ends first (EndMacroReplay).
void HandleErrorCode(int code);

// The handlers that the held dispatch of the session menus would run for a letter, given the
// loaded data and results; null when the letter leads to no handler. The menus' letter lists
// do not let these letters through.
using MenuHandler = void (*)();
MenuHandler CommunityStructuresHandler(int letter);
MenuHandler EnvironmentalStructuresHandler(int letter);

#endif
