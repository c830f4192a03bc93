// The macro menu and the switching of the console streams.
#include "session/TNXMACRO.h"

#include <cctype>
#include <cstring>
#include <utility>

#include "foundation/ConsoleReaders.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXMenu.h"

char whichMacro[42];
char whichRun[128];
FILE* oufpMacro = nullptr;
FILE* infpMacro = nullptr;
FILE* oufpRun = nullptr;

namespace {

// The echo goes to the macro being recorded, else to the report of a replay.
void PointEcho() { outm = createMacro ? oufpMacro : runMacro ? oufpRun : nullptr; }

// Closes the recorded macro `name`; a write that failed on the way is code 3 (the macro is lost),
// after the message naming the file and the system's reason.
void CloseChecked(FILE*& f, const char* name) {
    if (f == nullptr) return;
    CloseOrExplain(std::exchange(f, nullptr), name);
}

void AskFileName() {
    std::fprintf(out, "\nMacro file name:    ");
    ReadLineIn(whichMacro, 41);
}

void StopRecording() {
    createMacro = 0;
    std::fprintf(oufpMacro, "R\n");
    PointEcho();
    CloseChecked(oufpMacro, whichMacro);
    std::fprintf(out, "\n\n\nMacro saved on file %s\n", whichMacro);
    std::fflush(out);
    Wait();
}

// False when the file cannot be created (the opener has said so).
bool StartRecording() {
    AskFileName();
    oufpMacro = fopenck(whichMacro, nullptr, "w");
    if (oufpMacro == nullptr) return false;
    createMacro = 1;
    PointEcho();
    return true;
}

void StopReplay() {
    EndMacroReplay();
    std::fprintf(out, "\n\n\nMacro:          %s\n", whichMacro);
    std::fprintf(out, "Report on file: %s\n", whichRun);
    std::fprintf(out, "Type RETURN to continue\n");
    std::fflush(out);
    Wait();
}

// False when the macro cannot be read or the report cannot be created (the opener has said so).
bool StartReplay() {
    AskFileName();
    infpMacro = fopenck(whichMacro, nullptr, "r");
    if (infpMacro == nullptr) return false;
    std::snprintf(whichRun, sizeof whichRun, "%sMacroRunReport", volumeName);
    oufpRun = fopenck(whichRun, nullptr, "w");
    if (oufpRun == nullptr) {
        std::fclose(infpMacro);
        infpMacro = nullptr;
        return false;
    }
    in = infpMacro;
    out = oufpRun;
    runMacro = 1;
    PointEcho();
    return true;
}

}  // namespace

void EndMacroReplay() {
    if (!runMacro) return;
    runMacro = 0;
    in = stdin;
    out = stdout;
    PointEcho();
    // Quietly: this also runs while an error code is handled, and the report is only a record.
    if (infpMacro != nullptr) std::fclose(infpMacro);
    infpMacro = nullptr;
    if (oufpRun != nullptr) std::fclose(oufpRun);
    oufpRun = nullptr;
}

void IFMacro() {
    for (;;) {
        Menu("SET MACRO MODE");
        // Only the printed letters pass: R while recording would send the echo to a run report
        // and lose the answers from the macro.
        const char* accept = "N R C";
        if (!createMacro) {
            std::fprintf(out, "   N  start creating new macro \n");
            if (!runMacro) std::fprintf(out, "   R  run macro on file\n");
        } else {
            std::fprintf(out, "   N  stop creating macro \n");
            if (!runMacro) accept = "N C";
        }
        if (runMacro) std::fprintf(out, "   R  stop running macro on file\n");
        std::fprintf(out, "   C  return to main menu \n");
        std::fprintf(out, "Type option: ");
        std::fflush(out);
        // Read from the console input itself and not echoed: a replay meets the menu's own
        // answers ("R", "C") in the macro, written there when the recording was stopped or left.
        const int c = std::toupper(static_cast<unsigned char>(ScanChar(in, accept, "input")));
        if (c == 'N') {
            if (createMacro) {
                StopRecording();
                return;
            }
            if (StartRecording()) return;
        } else if (c == 'R') {
            if (runMacro) {
                StopReplay();
                return;
            }
            if (StartReplay()) return;
        } else {
            if ((createMacro || runMacro) && outm != nullptr) std::fprintf(outm, "C\n");
            return;
        }
        Wait();  // the file could not be opened: the user reads the message, then the menu again
    }
}
