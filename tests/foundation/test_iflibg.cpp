// Progress line, line clearing, waiting, time stamps and processor time.
#include <gtest/gtest.h>

#include <cmath>
#include "common/TimeStampLine.h"
#include <string>

#include "FoundationTestSupport.h"
#include "foundation/iflibG.h"

namespace {

// Makes the next progress call due by moving the last one far enough into the past.
void MakeProgressDue() { t2 = clock() - kProgressInterval - 1; }

}  // namespace

TEST(Progress, ThrottledLinesOfEightyColumns) {
    InitIFLibG();
    ConsoleCapture cap;
    MakeProgressDue();
    HandleEventInfoWhere2("Permutation 10");
    HandleEventInfoWhere2("Permutation 11");   // too soon: nothing
    MakeProgressDue();
    HandleEventInfoWhere2("Permutation 12");
    cap.Stop();
    std::string pad(40, ' ');
    EXPECT_EQ(cap.out, std::string(26, ' ') + "Permutation 10" + pad + "\n" + std::string(26, ' ') +
                           "Permutation 12" + pad);
    EXPECT_EQ(is40CharLine, 1);
    EXPECT_EQ(is80CharLine, 1);
    ClearLine();
}

TEST(Progress, IntervalIsAboutATwelfthOfASecond) {
    double seconds = static_cast<double>(kProgressInterval) / CLOCKS_PER_SEC;
    EXPECT_NEAR(seconds, 5.0 / 60.0, 1e-3);
}

TEST(Progress, LongTextsShowTheirFirstFortyCharacters) {
    InitIFLibG();
    std::string text = "0123456789012345678901234567890123456789TAIL";
    ConsoleCapture cap;
    MakeProgressDue();
    HandleEventInfoWhere2(text.c_str());
    cap.Stop();
    EXPECT_EQ(cap.out, text.substr(0, 40) + std::string(40, ' '));
    ClearLine();
}

TEST(Progress, ClearLineEndsAPendingLineOnce) {
    InitIFLibG();
    MakeProgressDue();
    ConsoleCapture cap;
    HandleEventInfoWhere2("x");
    cap.Stop();
    ConsoleCapture first;
    ClearLine();
    first.Stop();
    ConsoleCapture second;
    ClearLine();
    second.Stop();
    EXPECT_EQ(first.out, "\n\n");
    EXPECT_EQ(second.out, "");
    ConsoleCapture len;
    ClearLineLength(80);
    HandleEventInfoWhere("somewhere");   // does nothing
    len.Stop();
    EXPECT_EQ(len.out, "\n");
}

TEST(Wait, StopsBeforeTheControlCharacterOrAtTheEnd) {
    {
        StdinFrom input("abc\nxyz");
        Wait();
        EXPECT_EQ(fgetc(stdin), '\n');
    }
    {
        StdinFrom input("no newline");
        Wait();   // returns at the end of input
        EXPECT_EQ(fgetc(stdin), EOF);
    }
}

TEST(VolumeName, EndsThePathWithAColon) {
    char path[70];
    {
        StdinFrom input("Disk\n");
        ConsoleCapture cap;
        GetVolumeName(path);
        cap.Stop();
        EXPECT_STREQ(path, "Disk:");
        EXPECT_EQ(cap.out, "Enter pathway:      ");
    }
    {
        StdinFrom input("Disk:\n");
        ConsoleCapture cap;
        GetVolumeName(path);
        EXPECT_STREQ(path, "Disk:");
    }
    {
        StdinFrom input(":\n");
        ConsoleCapture cap;
        GetVolumeName(path);
        EXPECT_STREQ(path, ":");
    }
    {
        StdinFrom input(std::string(80, 'p') + "\n");
        ConsoleCapture cap;
        GetVolumeName(path);
        EXPECT_EQ(std::string(path), std::string(68, 'p') + ":");
    }
}

TEST(Clock, TimeStampHasTheCalendarForm) {
    SinkStream s;
    TimeStamp(s.f);
    std::string text = s.Text();
    EXPECT_EQ(text.size(), 25u);
    EXPECT_TRUE(tnxtest::IsTimeStampLine(text))
        << text;
}

TEST(Clock, RatesNeverDivideByZero) {
    InitIFLibG();
    // Right after start-up no calendar second has passed.
    long rate = GetClocksPerSecond();
    EXPECT_GE(rate, 0);
    EXPECT_TRUE(std::isfinite(Clocks_Event));
    AdjustClocks_Event();
    EXPECT_GE(Clocks_Event, 0.0);
    float s = difftime_Clock(static_cast<unsigned long>(clock()));
    EXPECT_GE(s, 0.0f);
    EXPECT_LT(s, 1.0f);
    difftime_Clock(1.0);
    MemoryStamp();
    InitMultiprocessing(4);
}
