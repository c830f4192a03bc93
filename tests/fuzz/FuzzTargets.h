// One entry point per reader of files the user may hand the program: the formatted data file, the
// track file, the preferences file and the raw-data import. The libFuzzer harnesses of this folder
// and the corpus test (tests/session/test_fuzz_corpus.cpp) call the same functions. Each writes the
// input where the reader looks for it (in the current directory), runs the reader, and returns the
// error code it raised (0 for none). What a reader accepts must also survive the program's own
// writer: a file written from it must read back alike, or the entry point aborts (a fault).
#ifndef TARNEX_TESTS_FUZZ_TARGETS_H
#define TARNEX_TESTS_FUZZ_TARGETS_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/ErrorCode.h"
#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "session/TNXIF2.h"
#include "session/TNXIFFM2.h"
#include "session/TNXIFFMT.h"
#include "session/model/TNXTRACK.h"
#include "session/model/TNXGLOB.h"

namespace fuzz {

inline void Put(const char* name, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(name, "wb");
    if (!f) std::abort();
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

using tnxtest::CodeOf;

// The counts of the loaded data set, to compare a file with the one written from it.
inline std::vector<int> Counts() { return {nch, ncsm, tcst, nenv, nSpp, hasPhylogeny ? 1 : 0, hasTraitGroups}; }

inline void Require(bool ok) {
    if (!ok) std::abort();
}

inline void LoadFormdaFile(const char* name) {
    std::snprintf(whichFormda, sizeof whichFormda, "%s", name);
    volumeName[0] = '\0';
    OpenFormda(1);
}

// The formatted data file; when it loads, it is written again and the copy must load with the
// same counts and labels.
inline int Formda(const uint8_t* data, size_t size) {
    Put("fzFormda.txt", data, size);
    const int code = CodeOf([] { LoadFormdaFile("fzFormda.txt"); });
    if (code == 0) {
        const std::vector<int> counts = Counts();
        std::vector<std::string> labels;
        for (int j = 0; j < nch; j++) labels.emplace_back(chLabel[j]);
        for (int c = 0; c < ncsm; c++) labels.emplace_back(reLabel[c]);
        WriteFormda(tcst, "fzAgain.txt", dataName, csm_Float, cadat);
        ResetDataSet();
        Require(CodeOf([] { LoadFormdaFile("fzAgain.txt"); }) == 0 && Counts() == counts);
        for (int j = 0; j < nch; j++) Require(labels[static_cast<size_t>(j)] == chLabel[j]);
        for (int c = 0; c < ncsm; c++) Require(labels[static_cast<size_t>(nch + c)] == reLabel[c]);
    }
    ResetDataSet();
    return code;
}

// A data set of 3 traits, 4 communities and 5 OTUs that the track files are read against.
const char kTrackData[] =
    "d \n3 \ntr1\ttr2\ttr3\t\n 3\t 3\t 3\t\n0\t0\t0\t\n 5\t 5\t 5\t\n4 \nc1\tc2\tc3\tc4\t\n5 \n0\t0\t0\t0\t\n"
    "0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n1\t2\t3\t\n2\t3\t4\t\n3\t4\t5\t\n4\t5\t6\t\n5\t6\t7\t\n\n"
    "1\t0\t1\t0\t\n0\t1\t0\t1\t\n1\t1\t0\t0\t\n0\t0\t1\t1\t\n1\t1\t1\t1\t\n\n0 \n0 \nSMW 1\n0\n0\n";

// The track file, read against that data set; what it restores is written again and must read back.
inline int Track(const uint8_t* data, size_t size) {
    Put("fzData.txt", reinterpret_cast<const uint8_t*>(kTrackData), sizeof kTrackData - 1);
    LoadFormdaFile("fzData.txt");
    std::snprintf(whichTrack, sizeof whichTrack, "%s", "fzTrk.txt");
    Put("fzTrk.txt", data, size);
    const int code = CodeOf([] { ReadTrack(); });
    if (code == 0) {
        const int parts[] = {nPart, whichPart, nPartCst, whichCstPart};
        WriteTrack(1);
        Require(CodeOf([] { ReadTrack(); }) == 0);
        const int again[] = {nPart, whichPart, nPartCst, whichCstPart};
        Require(std::memcmp(parts, again, sizeof parts) == 0);
    }
    FreeGlobals1();
    ResetDataSet();
    return code;
}

// The preferences file: a value out of its range keeps its default; a word that is no number, or a
// file that ends early, ends the reading with code 2.
inline int Preferences(const uint8_t* data, size_t size) {
    Put(TARNEXPrefsName, data, size);
    return CodeOf([] { ReadPreferences(); });
}

// The raw-data import: the input holds the console answers, then the files b.txt, f.txt, w.txt,
// s.txt and e.txt, each part after a byte 0x1e. The answers are read as a replay would read them.
inline int Import(const uint8_t* data, size_t size) {
    const char* names[] = {"fzAnswers.txt", "b.txt", "f.txt", "w.txt", "s.txt", "e.txt"};
    size_t start = 0;
    for (size_t part = 0; part < 6; part++) {
        size_t end = start;
        while (end < size && data[end] != 0x1e) end++;
        Put(names[part], data + start, end - start);
        start = end < size ? end + 1 : size;
    }
    FILE* answers = std::fopen("fzAnswers.txt", "r");
    FILE* report = std::fopen("fzReport.txt", "w");
    if (!answers || !report) std::abort();
    in = answers;
    out = report;
    runMacro = 1;
    std::snprintf(whichFormda, sizeof whichFormda, "%s", "fzImport.txt");
    volumeName[0] = '\0';
    std::remove("fzImport.txt");
    const int code = CodeOf([] { IFFormat(); });
    if (code == 0) {
        // What the import wrote is the session's master copy: it must load.
        Require(CodeOf([] { LoadFormdaFile("fzImport.txt"); }) == 0 && tcst > 0 && ncsm > 0);
    }
    ResetDataSet();
    runMacro = 0;
    in = stdin;
    out = stdout;
    std::fclose(answers);
    std::fclose(report);
    return code;
}

}  // namespace fuzz

#endif
