// Support of the community-series tests: the session data set of 4 communities c1..c4 with the
// variables e1 = 1 2 3 4 and e2 = 4 3 2 1, a non-hierarchical crisp analysis, a scripted console
// and the session files the analyses read.
#ifndef TARNEX_TESTS_CLASSICAL_SERIES_FIXTURE_H
#define TARNEX_TESTS_CLASSICAL_SERIES_FIXTURE_H

#include <cmath>
#include <functional>

#include "classical/TNXSeries.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/session_fixture.h"

namespace tnxtest {

class SeriesTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        // An empty standard input for the wait for the return key.
        ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
        isHierarchical = fuzzy = hasProbN = 0;
        poolCSTopt = 2;
        sDigits = 6;
        seedOpt = 2;
        rseed = 11;
        timeVariableChosen = 0;
        std::strcpy(whichHier, "s1Hie.txt");
    }
    void TearDown() override {
        timeVariableChosen = timeVariable_;
        DialogTest::TearDown();
    }
    const int timeVariable_ = timeVariableChosen;  // the series' time variable, put back after
    // The intermediate file of one level: each row one type's values in the communities.
    static void WriteHie(const std::vector<std::vector<double>>& rows) {
        std::string text = std::to_string(rows.size()) + " " + std::to_string(ncsm) + "\n";
        for (const auto& row : rows) {
            for (double v : row) text += FormatText("%.17g ", v);
            text += "\n";
        }
        Write("s1Hie.txt", text);
    }
    // The report's text after `from`.
    static std::string ReportAfter(const std::string& from) {
        const std::string report = Read("s1Prinda.txt");
        const size_t p = report.find(from);
        return p == std::string::npos ? "" : report.substr(p);
    }
};

// Values of a tab-separated line.
inline std::vector<double> Numbers(const std::string& line) {
    std::vector<double> v;
    std::istringstream s(line);
    for (double x; s >> x;) v.push_back(x);
    return v;
}

inline std::string Repeat(const std::string& text, int times) {
    std::string s;
    for (int i = 0; i < times; i++) s += text;
    return s;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream s(text);
    for (std::string line; std::getline(s, line);) lines.push_back(line);
    return lines;
}

}  // namespace tnxtest

#endif
