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

class InterpolationTest : public SeriesTest {};

// Positions 1 3 4 8; values below 1e-5 (the negative ones of the third variable) are written as 0.
TEST_F(InterpolationTest, MatchesApproxOnWholeNumberData) {
    const Rows step1 = {{2, 0.5, 1}, {4, 0.375, 0}, {6, 0.25, 0}, {5, 3, 0},
                        {4, 4, 1},   {3, 5, 2},     {2, 6, 3},    {1, 7, 4}};
    const Rows step3 = {{2, 0.5, 1}, {5, 3, 0}, {2, 6, 3}};
    for (bool dbl : {false, true}) {
        for (const auto& [step, expected] : {std::pair<double, Rows>{1, step1}, {3, step3}}) {
            double xd[4][3] = {{2, 0.5, 1}, {6, 0.25, -2}, {5, 3, 0}, {1, 7, 4}}, td[4] = {1, 3, 4, 8};
            float xf[4][3], tf[4];
            double* rd[4];
            float* rf[4];
            for (int i = 0; i < 4; i++) {
                rd[i] = xd[i];
                rf[i] = xf[i];
                tf[i] = static_cast<float>(td[i]);
                for (int v = 0; v < 3; v++) xf[i][v] = static_cast<float>(xd[i][v]);
            }
            EXPECT_EQ(dbl ? Interpolate(4, 3, rd, td, step, 6) : Interpolate(4, 3, rf, tf, static_cast<float>(step), 6),
                      1);
            const Rows got = ResultRows();
            ASSERT_EQ(got.size(), expected.size());
            for (size_t r = 0; r < got.size(); r++)
                for (int v = 0; v < 3; v++) EXPECT_NEAR(got[r][v], expected[r][v], 1e-6) << r << " " << v;
        }
    }
}

// The whole file of a small case: positions 0 2 4, step 2, 2 variables; then its edges.
TEST_F(InterpolationTest, FileLayoutAndEdgesOfTheGrid) {
    float x[4][2] = {{1, 8}, {3, 4}, {5, 0}, {9, 9}}, t[4] = {0, 2, 4, 6};
    float* rows[4] = {x[0], x[1], x[2], x[3]};
    ASSERT_EQ(Interpolate(3, 2, rows, t, 2.0f, 6), 1);
    EXPECT_EQ(Read("Interpolated.txt"),
              "1\t8\t\n3\t4\t\n5\t0\t\n"
              "\nAbove matrix (Rows= 3 sampling units, columns= 2 variables)\ncontains interpolated data obtained from "
              "data originally with 3 sampling units.\nNew time (or spatial) scale of interpolated data:\n0\t2\t4\t\n"
              "\nSpecified time (or spatial) scale of original data:\n0\t2\t4\t\n");
    // Step 1: the odd positions are the midpoints.
    Interpolate(3, 2, rows, t, 1.0f, 6);
    EXPECT_EQ(ResultRows(), (Rows{{1, 8}, {2, 6}, {3, 4}, {4, 2}, {5, 0}}));
    // A step of 1.5 is taken as 2 whole units; the count is trunc(4 / 1.5 + 1) = 3.
    Interpolate(3, 2, rows, t, 1.5f, 6);
    EXPECT_EQ(ResultRows(), (Rows{{1, 8}, {3, 4}, {5, 0}}));
    // A step beyond the range: the first position only.
    Interpolate(3, 2, rows, t, 5.0f, 6);
    EXPECT_EQ(ResultRows(), (Rows{{1, 8}}));
    // Given positions: off the grid (-1, 0.5, 5) give 0; 4 is a grid point.
    float scale[4] = {-1, 0.5f, 4, 5};
    Interpolate(3, 2, rows, t, 4, scale, 6);
    EXPECT_EQ(ResultRows(), (Rows{{0, 0}, {0, 0}, {5, 0}, {0, 0}}));
    // Units 2 and 3 at the same position 2 (values 3 and 7): no grid point between them; the
    // position holds the first unit's value, and the next interval runs from the second unit's
    // value to the last unit's (7 + (9 - 7) / 2 at 3).
    float tied[4] = {0, 2, 2, 4}, y[4][1] = {{1}, {3}, {7}, {9}};
    float* yr[4] = {y[0], y[1], y[2], y[3]};
    Interpolate(4, 1, yr, tied, 1.0f, 6);
    EXPECT_EQ(ResultRows(), (Rows{{1}, {2}, {3}, {8}, {9}}));
    // Refused: a step that is not > 0, a decreasing series, no unit. The file stays as it was.
    const std::string before = Read("Interpolated.txt");
    float down[3] = {4, 2, 0};
    for (auto call : {std::function<int()>([&] { return Interpolate(3, 2, rows, t, 0.0f, 6); }),
                      std::function<int()>([&] { return Interpolate(3, 2, rows, t, -1.0f, 6); }),
                      std::function<int()>([&] { return Interpolate(3, 2, rows, down, 1.0f, 6); }),
                      std::function<int()>([&] { return Interpolate(0, 2, rows, t, 1.0f, 6); })})
        EXPECT_EQ(call(), 0);
    EXPECT_EQ(Read("Interpolated.txt"), before);
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
    nenv = 0;
    EXPECT_TRUE(Run("", [] { IFInterpolation(); }));
    nenv = 2;
    EXPECT_EQ(Out(), "");
    EXPECT_EQ(Err(), "\nNo environmental variable can be taken as time (or spatial) scale.\n"
                     "\nNo environmental variable: there is no time (or spatial) scale.\n");
    EXPECT_FALSE(std::filesystem::exists("Interpolated.txt"));
}

}  // namespace
