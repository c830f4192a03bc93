// Loading the formatted data file of a large survey: 400 communities, 800 OTUs, 8 traits and 4
// environmental variables, written once to a temporary folder (abundances mostly absent, the
// others with up to 9 significant digits, as the writer keeps them) and read back whole by the
// program's loader each iteration.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "foundation/qwlibDim.h"
#include "session/TNXIFFM2.h"
#include "session/model/TNXGLOB.h"

namespace {

const int kCommunities = 400, kOtus = 800, kTraits = 8, kVariables = 4;

std::uint32_t Step(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// Labels, types and values in the order the loader reads them.
std::string SurveyText() {
    std::string t = "large \n" + std::to_string(kTraits) + " \n";
    for (int j = 0; j < kTraits; j++) t += "trait" + std::to_string(j + 1) + "\t";
    t += "\n";
    for (int j = 0; j < kTraits; j++) t += " 3\t";
    t += "\n";
    for (int j = 0; j < kTraits; j++) t += "0\t";
    t += "\n";
    for (int j = 0; j < kTraits; j++) t += " 0\t";
    t += "\n" + std::to_string(kCommunities) + " \n";
    for (int c = 0; c < kCommunities; c++) t += "site" + std::to_string(c + 1) + "\t";
    t += "\n" + std::to_string(kOtus) + " \n";
    for (int c = 0; c < kCommunities; c++) t += "0\t";
    t += "\n0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n";
    std::uint32_t seed = 20261207u;
    char buf[48];
    for (int i = 0; i < kOtus; i++) {
        for (int j = 0; j < kTraits; j++) {
            std::snprintf(buf, sizeof buf, "%.9g\t", static_cast<double>(static_cast<float>(Step(seed)) / 1024.0f));
            t += buf;
        }
        t += "\n";
    }
    t += "\n";
    for (int i = 0; i < kOtus; i++) {
        for (int c = 0; c < kCommunities; c++) {
            const std::uint32_t r = Step(seed);
            if (r % 10 < 7) t += "0\t";
            else {
                std::snprintf(buf, sizeof buf, "%.6g\t", static_cast<double>(r % 100000) / 1000.0);
                t += buf;
            }
        }
        t += "\n";
    }
    t += "\n" + std::to_string(kVariables) + " \n97Sep08 \n2 \n";
    for (int j = 0; j < kVariables; j++) t += "3\t";
    t += "\n";
    for (int j = 0; j < kVariables; j++) t += "var" + std::to_string(j + 1) + "\t";
    t += "\nlarge_E.txt \n";
    for (int j = 0; j < kVariables; j++) {
        for (int c = 0; c < kCommunities; c++) {
            std::snprintf(buf, sizeof buf, "%6.6g\t", static_cast<double>(Step(seed) % 100000) / 100.0);
            t += buf;
        }
        t += "\n";
    }
    t += "0 \nSMW 1\n0\n0\nMon Dec  7 13:00:00 2026\n";
    return t;
}

void BM_LoadFormda(benchmark::State& state) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tarnex_bench_formda";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "largeFormda.txt").string();
    {
        const std::string text = SurveyText();
        FILE* f = std::fopen(path.c_str(), "w");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    volumeName[0] = '\0';
    std::snprintf(whichFormda, sizeof whichFormda, "%s", path.c_str());
    for (auto _ : state) {
        OpenFormda(1);
        benchmark::DoNotOptimize(cadat[kOtus - 1][kCommunities - 1]);
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LoadFormda)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
