// Start-up, main menu, session loop with its error recovery, the session menus and the menu
// header.
#include "session/TNXIF.h"

#include <gsl/gsl_errno.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "classical/TNXIFCLASSIC.h"
#include "foundation/ConsoleReaders.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/TemporaryFiles.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "session/dialogs/TNXPART.h"
#include "session/model/TNXGLOB.h"
#include "session/TNXIF2.h"
#include "session/TNXIFFM2.h"
#include "session/TNXIFFMT.h"
#include "session/TNXIFHAND.h"
#include "session/TNXMACRO.h"
#include "session/model/TNXTRACK.h"
#include "simulation/TNXSIMUL.h"

namespace {

// The credit lines of the banner.
const char* const kCredits[5] = {
    "TARNEX: trait-based analysis of ecological communities",
    "Community-level matrices from traits, composition and environment,",
    "their congruence, permutation tests and functional diversity,",
    "and the search for the trait subset that best explains communities.",
    "How to use it: see README.md, distributed with the program."};

void SetStructuresName() {
    if (saveStruct == 'y') SessionFileName(whichStructures, structExt);
}

int Upper(int c) { return std::toupper(static_cast<unsigned char>(c)); }

// Set by N for the session it starts: that session asks for its data whatever its files hold, and
// they stay as they were until its new data are written (a failed import or a return from the data
// dialog leaves no half-made session behind).
bool newSessionAsksForData = false;

// Reads the first word of the track file into whichFormda; false when the file is empty, or when
// N started the session.
bool TrackNamesData() {
    if (newSessionAsksForData) {
        newSessionAsksForData = false;
        return false;
    }
    FILE* f = fopenck(whichTrack, volumeName, "r");
    if (!f) RaiseError(TNX_FAIL_TO_OPEN);
    char word[256];
    int n = std::fscanf(f, "%255s", word);
    std::fclose(f);
    if (n != 1) return false;
    if (std::strlen(word) >= sizeof whichFormda) {
        // No data file of a session has a name this long: the track file is damaged.
        std::fprintf(stderr, "\nfile %s ", whichTrack);
        std::fputc('\a', stdout);
        RaiseError(TNX_END_OF_FILE);
    }
    std::strcpy(whichFormda, word);
    return true;
}

// Loads the session's data from its formatted data file and restores its analysis state.
void LoadSessionData() {
    FreeGlobals2();
    OpenFormda(1);
    ReadTrack();
}

// Loads the session that the data dialog has just made: its files are in place, so memory refused
// now ends the program after saying that the session was imported and saved, and only its opening
// failed (it opens with O once there is memory for it).
void LoadImportedSession() {
    const auto saved = [] {
        std::fflush(out);
        std::fprintf(stderr, "\nSession %s was imported and saved, but there is not enough memory to open it.\n",
                     sessionName);
    };
    try {
        LoadSessionData();
    } catch (const TnxError& e) {
        if (e.code() == TNX_OUT_OF_MEMORY) saved();
        throw;
    } catch (const std::bad_alloc&) {
        saved();
        throw;
    }
}

// Reloads the data before a structures menu is shown when an analysis may have changed them.
void ReloadIfChanged() {
    if (dirtyOrig == 1) LoadSessionData();
}

// The stored community resemblances, readable and of a kind the analyses can use (cross
// products cannot be).
bool ResemblancesUsable() { return StoredResult(hasNRese, whichNRese) && rese_opt != 3 && rese_opt != 4; }

// The table of types that the analyses of the hierarchy read ("Hie.txt"), readable.
bool TypesTableStored() { return StoredResult(hasHier, whichHier); }

// The null distributions of the last randomisation, which the session file name alone gives.
bool DistributionsStored() {
    if (doDistrib <= 0) return false;
    char name[kFileNameSize];
    SessionFileName(name, rndExt);
    return StoredFileReadable(name);
}

void CommunityStructuresMenu() {
    for (;;) {
        ReloadIfChanged();
        Menu("ANALYSIS OF COMMUNITY STRUCTURES");
        std::fprintf(out, "Options:\n");
        std::fprintf(out, "   H  functional analysis \n");
        std::fprintf(out, "   K  ranking traits (find optimal trait subset) \n");
        std::fprintf(out, "   C  return to session menu \n");
        std::fprintf(out, "Type option: ");
        optmain = Upper(ReadCharIn("H K C"));
        std::fprintf(out, "\n");
        if (optmain == 'C') return;
        if (MenuHandler h = CommunityStructuresHandler(optmain)) h();
    }
}

// Held for the population-structures letter of the session menu.
void PopulationStructuresMenu() {
    for (;;) {
        ReloadIfChanged();
        Menu("ANALYSIS OF POPULATION STRUCTURES");
        std::fprintf(out, "Options:\n");
        std::fprintf(out, "   K  ranking traits \n");
        std::fprintf(out, "   C  return to session menu \n");
        std::fprintf(out, "Type option: ");
        optmain = Upper(ReadCharIn("K C"));
        std::fprintf(out, "\n");
        if (optmain == 'C') return;
        IFChOrderSearch();
    }
}

// Held for the environmental-structures letter of the session menu.
void EnvironmentalStructuresMenu() {
    for (;;) {
        ReloadIfChanged();
        Menu("ANALYSIS OF ENVIRONMENTAL STRUCTURES");
        std::fprintf(out, "Options:\n");
        std::fprintf(out, "   R  resemblance of communities\n");
        // A line for each letter the dispatch would take: its results stored and readable.
        const auto offered = [](int letter) { return EnvironmentalStructuresHandler(letter) != nullptr; };
        if (offered('K')) std::fprintf(out, "   K  ranking variables \n");
        if (offered('O')) std::fprintf(out, "   O  ordination \n");
        if (offered('U')) std::fprintf(out, "   U  cluster \n");
        if (offered('S')) std::fprintf(out, "   S  draw scattergram \n");
        if (offered('P')) std::fprintf(out, "   P  draw profile \n");
        std::fprintf(out, "   G  specify community group partition\n");
        std::fprintf(out, "   C  return to session menu \n");
        std::fprintf(out, "Type option: ");
        optmain = Upper(ReadCharIn("R K O U S P G C"));
        std::fprintf(out, "\n");
        if (optmain == 'C') return;
        if (MenuHandler h = EnvironmentalStructuresHandler(optmain)) h();
    }
}

// Reads the session name: one word, of which the first kSessionNameMax characters are kept.
void ReadSessionName() {
    std::fprintf(out, "Enter session name: ");
    ReadStringIn("%s\n", tempName);
    std::snprintf(sessionShortName, sizeof sessionShortName, "%.*s", kSessionNameMax, tempName);
    volumeName[0] = '\0';
    std::snprintf(sessionName, sizeof sessionName, "%s", sessionShortName);
    SessionFileName(whichTrack, trackExt);
}

// Whether the file of the session named last (session name + suffix) exists, readable or not.
bool SessionFileExists(const char* suffix) {
    char name[kFileNameSize];
    SessionFileName(name, suffix);
    struct stat st;
    return stat((std::string(volumeName) + name).c_str(), &st) == 0;
}

// Whether the track file of the session named last can be written, without changing it: the new
// session's files replace the old ones through their folder, so the folder must take new files.
// A track file that stands, the session's or another run's, is only opened for reading, which
// refuses a name that is not a regular file (a named pipe among them, without waiting for a
// writer). The folder is tried with a file of a name of its own beside the track file, made only
// where no file stands, registered as it is made and removed by that name: a track file that
// another run puts in place meanwhile is never touched. False after the message naming the reason.
bool TrackFileWritable() {
    const std::string path = std::string(volumeName) + whichTrack;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 || errno != ENOENT) {
        FILE* f = fopenck(whichTrack, volumeName, "r");
        if (!f) return false;
        std::fclose(f);
    }
    // The replacing writer's temporary file is the one the import will make: its opener names the
    // track file and the reason, and the writer removes the file when it goes out of scope.
    ReplacingWriter trial(path);
    return trial.Open() != nullptr;
}

// The name of a new session: a session whose formatted data file or track file exists is
// replaced only when the user says so (its files are replaced when the new data are written);
// otherwise the name is asked again.
void ReadNewSessionName() {
    for (;;) {
        ReadSessionName();
        if (!SessionFileExists(formdaExt) && !SessionFileExists(trackExt)) return;
        std::fprintf(out, "Session %s exists. Replace it? (y/n) ", sessionName);
        if (ReadCharIn("y n") == 'y') return;
    }
}

// Ends the program after an error code raised outside a session.
[[noreturn]] void EndOnError(int code) {
    HandleErrorCode(code);
    std::exit(1);
}

}  // namespace

MenuHandler CommunityStructuresHandler(int letter) {
    // A letter whose analysis reads a stored result is taken only while its file can be read.
    switch (Upper(letter)) {
        case 'H': return IFHierarchicalAccum;
        case 'K': return IFChOrderSearch;
        case 'J': return TypesTableStored() ? IFComplexity : nullptr;
        case 'Z': return IFDynamics;
        case 'G': return IFGroupMembership;
        case 'M': return hasHier == 1 ? IFGroupCstMembershipNEW : nullptr;
        case 'R': return TypesTableStored() ? IFResemblance : nullptr;
        case 'D': return ResemblancesUsable() ? IFRandomization : nullptr;
        case 'O': return ResemblancesUsable() ? IFOrdination : nullptr;
        case 'E':
            if ((ResemblancesUsable() && (nch > 1 || nenv > 0)) || (TypesTableStored() && part != 2 && fuzzy != 2))
                return IFEvaluation;
            return nullptr;
        case 'U':
            return (ResemblancesUsable() ||
                    (StoredResult(hasCstRese, whichCstRese) && reseCstOpt != 3 && reseCstOpt != 4))
                       ? IFCluster : nullptr;
        case 'P': return ResemblancesUsable() ? IFProfile : nullptr;
        case 'S':
            return (StoredResult(hasScores, whichScores) || StoredResult(hasAOCScor, whichAOCScor)) ? IFScatter
                                                                                                  : nullptr;
        case 'F': return DistributionsStored() ? IFHistogram : nullptr;
        // The structured table rebuilds the hierarchy from the trait codes: no stored file.
        case 'T': return hasHier == 1 ? IFStructTable : nullptr;
        case 'N': return TypesTableStored() ? IFConcentrationAn : nullptr;
        case 'X': return TypesTableStored() ? IFExportData : nullptr;
        default: return nullptr;
    }
}

MenuHandler EnvironmentalStructuresHandler(int letter) {
    const bool resemblance = StoredResult(hasEnvRese, whichEnvRese);
    switch (Upper(letter)) {
        case 'R': return IFEnvRese;
        case 'K': return nenv >= 2 ? IFEnvRank : nullptr;
        case 'O': return (nenv >= 2 && resemblance) ? IFEnvOrdination : nullptr;
        case 'U': return resemblance ? IFEnvCluster : nullptr;
        case 'S': return StoredResult(hasEnvScores, whichEnvScores) ? IFScatter : nullptr;
        case 'P': return StoredResult(hasEnvRank, whichEnvRank) ? IFProfile : nullptr;
        case 'G': return IFGroupMembership;
        default: return nullptr;
    }
}

void GetVolumeNameIn(char* volume) { volume[0] = '\0'; }

void HandleError(int) {}

void HandleErrorCode(int code) {
    std::fflush(out);
    std::fflush(stdout);
    // A replay that an error code interrupts cannot go on: the console is given back first.
    const bool replaying = runMacro != 0;
    EndMacroReplay();
    if (code == TNX_TRANSLATION) {
        std::fputc('\a', stderr);
        if (!replaying) Wait();
        return;
    }
    if (code == TNX_SESSION_CHANGED) {
        // Nothing of the run was saved: the session's files are the other run's, whole. The
        // session named is the one whose data file changed, which is another session's when
        // this session's data were read from that session's file.
        const std::string& data = SessionDataFile();
        const std::string changed = data.empty() ? std::string(sessionName) : SessionOfDataFile(data);
        std::fprintf(stderr,
                     "\nSession %s was changed since this run read it; the results of this run were not saved.\n"
                     "Open the session again with O and run the analysis again.\n",
                     changed.c_str());
        std::fputc('\a', stderr);
        std::fflush(stderr);
        for (int c; (c = std::getchar()) != EOF && c != '\n';) {
        }
        std::exit(1);
    }
    const char* message = "\nOUT OF MEMORY !!!\n";
    bool untilLetter = true;
    switch (code) {
        case TNX_END_OF_FILE: message = "\nEND OF FILE !!!\n"; untilLetter = false; break;
        case TNX_FAIL_TO_PRINT: message = "\nFAIL TO PRINT ON FILE !!!\n"; break;
        case TNX_FAIL_TO_OPEN: message = "\nFAIL TO OPEN FILE !!!\n"; untilLetter = false; break;
        default: break;
    }
    std::fputs(message, stderr);
    std::fputs("\nQuit and restart TARNEX.\n", stderr);
    std::fputc('\a', stderr);
    std::fflush(stderr);
    // Wait for the user's key: a letter, or the end of a line; the end of input ends it too.
    for (int c; (c = std::getchar()) != EOF;) {
        if (untilLetter ? std::isalpha(c) != 0 : c == '\n') break;
    }
    std::exit(1);
}

void IFSession() {
    try {
        SetStructuresName();
        if (TrackNamesData()) {
            LoadSessionData();
        } else {
            if (SetFormda() != 0) return;
            LoadImportedSession();
        }
        for (;;) {
            Menu("SESSION MENU");
            std::fprintf(out, "Options:\n");
            std::fprintf(out, "   V  analysis of community structures\n");
            std::fprintf(out, "   S  set preferences\n");
            std::fprintf(out, "   C  return to main menu \n");
            std::fprintf(out, "Type option: ");
            optmain1 = Upper(ReadCharIn("V S C"));
            std::fprintf(out, "\n\n");
            switch (optmain1) {
                case 'V': CommunityStructuresMenu(); break;
                case 'S': SetPreferences(); break;
                case 'P':
                    if (nch >= 2) PopulationStructuresMenu();
                    break;
                case 'E':
                    if (nenv > 0) EnvironmentalStructuresMenu();
                    break;
                default: break;
            }
            SetStructuresName();
            if (optmain1 == 'C') break;
        }
        FreeGlobals1();
        FreeGlobals2();
    } catch (const TnxError& e) {
        HandleErrorCode(e.code());  // codes 1-4 and 6 end the program here
        FreeGlobals1();
        FreeGlobals2();
    } catch (const std::bad_alloc&) {
        // Memory that a container or new could not have is the program's out-of-memory error.
        HandleErrorCode(TNX_OUT_OF_MEMORY);
    }
}

void MainMenu() {
    ReadPreferences();
    ClearLine();
    for (;;) {
        if (!runMacro) std::fprintf(out, "\n\n\n\n");
        std::fprintf(out, "%s\n", version);
        std::fprintf(out, "%s\n", lineL);
        std::fprintf(out, "Main menu:\n");
        std::fprintf(out, "   N  start new session\n");
        std::fprintf(out, "   O  attach to old session\n");
        std::fprintf(out, "   S  set preferences\n");
        std::fprintf(out, "   X  exit \n");
        std::fprintf(out, "%s\n", lineL);
        std::fprintf(out, "Type option: ");
        const int choice = Upper(ReadCharIn("N O S A X"));
        std::fprintf(out, "\n\n");
        AdjustClocks_Event();
        switch (choice) {
            case 'N':
            case 'O': {
                bool opens = false;
                if (choice == 'N') {
                    ReadNewSessionName();
                    // Nothing of the session is written before its data are: the track file is
                    // only tried here.
                    opens = TrackFileWritable();
                } else {
                    ReadSessionName();
                    // Read only: every run replaces the session's files through their folder.
                    FILE* f = fopenck(whichTrack, volumeName, "r");
                    opens = f != nullptr;
                    if (f) std::fclose(f);
                }
                if (!opens) {
                    if (!runMacro) Wait();
                } else {
                    newSessionAsksForData = choice == 'N';
                    IFSession();
                }
                break;
            }
            case 'S': SetPreferences(); break;
            case 'A': IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(); break;
            case 'M': IFMacro(); break;  // held: the letter list above does not let M through
            default: break;
        }
        SetStructuresName();
        if (choice == 'X') break;
    }
    std::fflush(out);
    std::exit(0);
}

void mainInit() {
    try {
        // A signal that ends the program removes the temporary files of the commits under way.
        InstallTemporaryCleanup();
        gsl_set_error_handler_off();
        InitGlobals();
        partitionTrackWriter = WriteTrack;
        InitIFLibG();
        std::fprintf(out, "%s\n", lineL);
        std::fprintf(out, "%s\n\n", version);
        for (const char* line : kCredits) std::fprintf(out, "%s\n", line);
        std::fprintf(out, "%s\n", lineL);
        MainMenu();
    } catch (const TnxError& e) {
        EndOnError(e.code());
    } catch (const std::bad_alloc&) {
        EndOnError(TNX_OUT_OF_MEMORY);
    }
}
