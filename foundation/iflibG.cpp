// Console progress line, time stamps, the wait for the return key, processor time.
#include "foundation/iflibG.h"

#include <cstring>

#include "foundation/qwlibDim.h"

int is40CharLine = 0;
int is80CharLine = 0;
clock_t t1 = 0;
clock_t t2 = 0;
time_t timeStart = 0;
double Clocks_Event = 0.0;

// Five ticks of a 1/60-second clock: about a dozen progress lines a second at most.
const clock_t kProgressInterval = static_cast<clock_t>(5 * CLOCKS_PER_SEC / 60);

namespace {

// Calendar seconds since start-up, at least 1 so that a rate never divides by zero.
double ElapsedSeconds() {
    double s = difftime(time(nullptr), timeStart);
    return s >= 1.0 ? s : 1.0;
}

}  // namespace

void InitIFLibG() {
    is40CharLine = 0;
    is80CharLine = 0;
    t1 = clock();
    t2 = t1;
    timeStart = time(nullptr);
    AdjustClocks_Event();
}

void AdjustClocks_Event() { Clocks_Event = static_cast<double>(clock() - t1) / ElapsedSeconds(); }

long GetClocksPerSecond() { return static_cast<long>(static_cast<double>(clock() - t1) / ElapsedSeconds()); }

float difftime_Clock(unsigned long start) {
    return static_cast<float>(static_cast<double>(static_cast<unsigned long>(clock()) - start) / CLOCKS_PER_SEC);
}

void difftime_Clock(double) {}

void HandleEventInfoWhere(const char*) {}

void HandleEventInfoWhere2(const char* text) {
    clock_t now = clock();
    if (now - t2 < kProgressInterval) return;
    if (is40CharLine == 1) printf("\n");
    printf("%*.*s", 40, 40, text != nullptr ? text : "");
    printf("%*.*s", 40, 40, " ");
    t2 = now;
    is40CharLine = 1;
    is80CharLine = 1;
    fflush(stdout);
}

void ClearLine() {
    if (is40CharLine == 1) {
        printf("\n");
        is40CharLine = 0;
    }
    if (is80CharLine == 1) {
        printf("\n");
        is80CharLine = 0;
    }
}

void ClearLineLength(int) { printf("\n"); }

void TimeStamp(FILE* f) {
    time_t now = time(nullptr);
    char buf[64];
    // The ctime form: "Www Mmm dd hh:mm:ss yyyy\n".
    struct tm local;
    if (localtime_r(&now, &local) == nullptr || strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y\n", &local) == 0)
        strcpy(buf, "\n");
    fputs(buf, f);
}

void Wait() {
    for (;;) {
        int c = fgetc(stdin);
        if (c == EOF) return;
        if (c < 32 || c == 127) {
            ungetc(c, stdin);
            return;
        }
    }
}

void GetVolumeName(char* path) {
    printf("Enter pathway:      ");
    fflush(stdout);
    freadlineck(stdin, 68, path, "keyboard");
    size_t len = strlen(path);
    if (strcmp(path, ":") != 0 && (len == 0 || path[len - 1] != ':')) strcat(path, ":");
}

void MemoryStamp() { MemoryCheck(); }

void InitMultiprocessing(int) {}
