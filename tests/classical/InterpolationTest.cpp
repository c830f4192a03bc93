// Interpolation of series: values against R's approx (r/interpolation.R), the file's layout, the
// edges of the grid, and the guards of the dialog.
#include "classical/TNXINTERP.h"
#include "series_fixture.h"

using namespace tnxtest;

namespace {

using Rows = std::vector<std::vector<double>>;

// The result rows of "Interpolated.txt" (the lines before its first blank line).
Rows ResultRows() {
    Rows rows;
    for (const std::string& line : Lines(Slurp("Interpolated.txt"))) {
        if (line.empty()) break;
        rows.push_back(Numbers(line));
    }
    return rows;
}

// Interpolates units x at positions t by a step (or onto `scale` when given), in T; the result rows.
template <class T>
Rows Interp(Rows x, std::vector<T> t, T step, std::vector<T> scale = {}, int* status = nullptr) {
    std::vector<std::vector<T>> cells;
    std::vector<T*> rows;
    for (const auto& row : x) cells.emplace_back(row.begin(), row.end());
    for (auto& row : cells) rows.push_back(row.data());
    const int n = static_cast<int>(x.size()), nVar = n > 0 ? static_cast<int>(x[0].size()) : 0;
    const int s = scale.empty() ? Interpolate(n, nVar, rows.data(), t.data(), step, 6)
                                : Interpolate(n, nVar, rows.data(), t.data(), static_cast<int>(scale.size()), scale.data(), 6);
    if (status) *status = s;
    return s ? ResultRows() : Rows{};
}

class InterpolationTest : public SeriesTest {};

// Positions 1 3 4 8; values below 1e-5 (the negative ones of the third variable) are written as 0.
TEST_F(InterpolationTest, MatchesApproxOnWholeNumberData) {
    const Rows x = {{2, 0.5, 1}, {6, 0.25, -2}, {5, 3, 0}, {1, 7, 4}};
    const Rows step1 = {{2, 0.5, 1}, {4, 0.375, 0}, {6, 0.25, 0}, {5, 3, 0}, {4, 4, 1}, {3, 5, 2}, {2, 6, 3}, {1, 7, 4}};
    const Rows step3 = {{2, 0.5, 1}, {5, 3, 0}, {2, 6, 3}};
    EXPECT_EQ(Interp<float>(x, {1, 3, 4, 8}, 1), step1);
    EXPECT_EQ(Interp<double>(x, {1, 3, 4, 8}, 1), step1);
    EXPECT_EQ(Interp<float>(x, {1, 3, 4, 8}, 3), step3);
    EXPECT_EQ(Interp<double>(x, {1, 3, 4, 8}, 3), step3);
}

// The whole file of a small case: positions 0 2 4, step 2, 2 variables; then the edges of the grid.
TEST_F(InterpolationTest, FileLayoutAndEdgesOfTheGrid) {
    const Rows x = {{1, 8}, {3, 4}, {5, 0}};
    Interp<float>(x, {0, 2, 4}, 2);
    EXPECT_EQ(Read("Interpolated.txt"),
              "1\t8\t\n3\t4\t\n5\t0\t\n"
              "\nAbove matrix (Rows= 3 sampling units, columns= 2 variables)\ncontains interpolated data obtained from "
              "data originally with 3 sampling units.\nNew time (or spatial) scale of interpolated data:\n0\t2\t4\t\n"
              "\nSpecified time (or spatial) scale of original data:\n0\t2\t4\t\n");
    // Step 1: the odd positions are the midpoints; 1.5 counts as 2 whole units, trunc(4 / 1.5 + 1) = 3
    // positions; a step beyond the range gives the first position only.
    EXPECT_EQ(Interp<float>(x, {0, 2, 4}, 1), (Rows{{1, 8}, {2, 6}, {3, 4}, {4, 2}, {5, 0}}));
    EXPECT_EQ(Interp<float>(x, {0, 2, 4}, 1.5f), (Rows{{1, 8}, {3, 4}, {5, 0}}));
    EXPECT_EQ(Interp<float>(x, {0, 2, 4}, 5), (Rows{{1, 8}}));
    // Given positions: off the grid (-1, 0.5, 5) give 0; 4 is a grid point.
    EXPECT_EQ(Interp<float>(x, {0, 2, 4}, 0, {-1, 0.5f, 4, 5}), (Rows{{0, 0}, {0, 0}, {5, 0}, {0, 0}}));
    // Units 2 and 3 at the same position 2 (values 3 and 7): the position holds the first unit's value,
    // the next interval runs from the second unit's value to the last one's (7 + (9 - 7) / 2 at 3).
    EXPECT_EQ(Interp<float>({{1}, {3}, {7}, {9}}, {0, 2, 2, 4}, 1), (Rows{{1}, {2}, {3}, {8}, {9}}));
    // Refused without writing: a step not > 0, a decreasing series, no unit.
    std::filesystem::remove("Interpolated.txt");
    int status = 1;
    for (float step : {0.0f, -1.0f}) {
        Interp<float>(x, {0, 2, 4}, step, {}, &status);
        EXPECT_EQ(status, 0);
    }
    Interp<float>(x, {4, 2, 0}, 1, {}, &status);
    EXPECT_EQ(status, 0);
    Interp<float>({}, {}, 1, {}, &status);
    EXPECT_EQ(status, 0);
    Interp<float>({}, {}, 0, {1}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(std::filesystem::exists("Interpolated.txt"));
}

// Classes of the whole positions 0..4 (step 2: 3 classes {0, 1}, {2}, {3, 4} by ClassesMV):
// means of the positions and of the interpolated values.
TEST_F(InterpolationTest, OlderFormAveragesWithinClasses) {
    float x[3][1] = {{0}, {4}, {8}}, t[3] = {0, 2, 4};
    float* rows[3] = {x[0], x[1], x[2]};
    ASSERT_EQ(InterpolateOLD(3, 1, rows, t, 2.0f, 6), 1);
    EXPECT_EQ(ResultRows(), (Rows{{1}, {4}, {7}}));
    EXPECT_NE(Read("Interpolated.txt").find("New time (or spatial) scale of interpolated data:\n0.5\t2\t3.5\t\n"),
              std::string::npos);
    EXPECT_EQ(InterpolateOLD(3, 1, rows, t, 0.0f, 6), 0);
}

// The dialog: e2 decreases (refused), "end" before any choice is unknown, a 10-character label
// is chosen whole, a step of 1.5 is refused and 1 taken. Types 2 over positions 1..4.
TEST_F(InterpolationTest, DialogGuardsAndTenCharacterLabel) {
    std::strcpy(envLabel[0], "timescale1");
    WriteHie({{1, 2, 3, 4}, {0, 0, 5, 5}});
    EXPECT_TRUE(Run("e2\nend\ntimescal\ntimescale1\n1.5\n0\n1\n", [] { IFInterpolation(); }));
    EXPECT_EQ(whichEnv, 0);
    EXPECT_EQ(ResultRows(), (Rows{{1, 0}, {2, 0}, {3, 5}, {4, 5}}));
    EXPECT_EQ(Out(),
              Repeat("\nThe following environmental variables are available: timescale1\t e2\t"
                     "\nEnter variable (label) to be taken as time (or spatial) scale for interpolation: ",
                     4) +
                  "Enter the time (or spatial) interval between new interpolated sampling units:  "
                  "\n\nInterpolated data exported on file Interpolated.txt\n");
    EXPECT_EQ(Err(),
              "\nVariable e2 decreases from one community to the next: it cannot be taken as scale. Enter again. \n"
              "\nError!! Enter again. \n\nError!! Enter again. \n"
              "\nIncorrect input = 1.5. Reenter.\nAccepted input: whole numbers from 1 to 3.40282e+38\n"
              "\nIncorrect input = 0. Reenter.\nAccepted input: 1 to 3.40282e+38\n");
    // Now "end" keeps the variable chosen.
    EXPECT_TRUE(Run("end\n2\n", [] { IFInterpolation(); }));
    EXPECT_EQ(ResultRows(), (Rows{{1, 0}, {3, 5}}));
}

// No variable at all, or none whose values are whole numbers: refused before any question.
TEST_F(InterpolationTest, RefusedWithoutAUsableVariable) {
    env[1][0] = 2.5f;
    env[0][1] = -999;
    EXPECT_TRUE(Run("", [] { IFInterpolation(); }));
    // The question of the scale refuses alike, whoever asks it.
    bool asked = true;
    EXPECT_TRUE(Run("", [&] { asked = AskTimeVariable("intro", "prompt", ScaleWholeIncreasing); }));
    EXPECT_FALSE(asked);
    nenv = 0;
    EXPECT_TRUE(Run("", [] { IFInterpolation(); }));
    nenv = 2;
    EXPECT_EQ(Out(), "");
    EXPECT_EQ(Err(), "\nNo environmental variable can be taken as time (or spatial) scale.\n"
                     "\nNo environmental variable can be taken as time (or spatial) scale.\n"
                     "\nNo environmental variable: there is no time (or spatial) scale.\n");
    EXPECT_FALSE(std::filesystem::exists("Interpolated.txt"));
}

}  // namespace
