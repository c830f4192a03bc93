// Console progress line, time stamps, the wait for the return key and processor-time
// measurements.
#ifndef TNX_IFLIBG_H
#define TNX_IFLIBG_H

#include <cstdio>
#include <ctime>

extern int is40CharLine;      // 1 while a progress line is pending on standard output
extern int is80CharLine;
extern clock_t t1;            // processor time at start-up
extern clock_t t2;            // processor time of the last progress line
extern time_t timeStart;      // calendar time at start-up
extern double Clocks_Event;   // processor ticks per calendar second; informative only

// Processor ticks that must pass between two progress lines (5 ticks of a 1/60 s clock).
extern const clock_t kProgressInterval;

void InitIFLibG();
void AdjustClocks_Event();
// Processor ticks per calendar second since start-up (at least one second is assumed).
long GetClocksPerSecond();
// Processor seconds since `start` (a clock() value). Pass a clock_t as (unsigned long).
float difftime_Clock(unsigned long start);
void difftime_Clock(double);
void HandleEventInfoWhere(const char* where);
// Progress line: the text, cut to 40 characters, right-aligned in 40 columns, then 40
// spaces; at most about a dozen lines a second.
void HandleEventInfoWhere2(const char* text);
void ClearLine();
void ClearLineLength(int);
void TimeStamp(FILE* f);
// Reads standard input up to a control character, which it puts back; returns at the end
// of input.
void Wait();
// Asks for a path on standard input (at most 68 characters) and ends it with ":"; path
// needs 70 bytes.
void GetVolumeName(char* path);
void MemoryStamp();
void InitMultiprocessing(int);

#endif
