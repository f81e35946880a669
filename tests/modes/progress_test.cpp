// The progress line: its text, when it is drawn, and that hiding it leaves
// the terminal's line as blank as before.
#include "modes/progress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

std::string text_of(int done, int total, double seconds) {
    char text[PROGRESS_TEXT_SIZE];
    int length = format_progress(text, sizeof text, done, total, seconds);
    EXPECT_EQ(static_cast<size_t>(length), std::string(text).size());
    return text;
}

// Everything written to the stream so far.
std::string written(FILE* file) {
    long size = ftell(file);
    std::string bytes(static_cast<size_t>(size), '\0');
    rewind(file);
    EXPECT_EQ(fread(&bytes[0], 1, bytes.size(), file), bytes.size());
    fseek(file, 0, SEEK_END);
    return bytes;
}

// What a terminal line shows after the bytes: a carriage return goes back
// to the start, other characters overwrite.
std::string screen_line(const std::string& bytes) {
    std::string line;
    size_t column = 0;
    for (char c : bytes) {
        if (c == '\r') {
            column = 0;
            continue;
        }
        if (column < line.size()) {
            line[column] = c;
        } else {
            line += c;
        }
        ++column;
    }
    return line;
}

bool blank(const std::string& line) { return line.find_first_not_of(' ') == std::string::npos; }

}  // namespace

TEST(Progress, TextTellsDoneOfTotalRateAndTimeLeft) {
    EXPECT_EQ(text_of(0, 20000, 0.7), "Reading screenshots: 0 of 20000");
    EXPECT_EQ(text_of(1000, 20000, 2.0), "Reading screenshots: 1000 of 20000, 500/s, 0:38 left");
    EXPECT_EQ(text_of(10, 20000, 1.0), "Reading screenshots: 10 of 20000, 10/s, 33:19 left");
    EXPECT_EQ(text_of(1, 20000, 1.0), "Reading screenshots: 1 of 20000, 1/s, 5:33:19 left");
    EXPECT_EQ(text_of(20000, 20000, 4.0), "Reading screenshots: 20000 of 20000, 5000/s, 0:00 left");
    char small[12];
    EXPECT_EQ(format_progress(small, sizeof small, 5, 10, 1.0), 11) << "cut to the buffer";
    EXPECT_EQ(std::string(small), "Reading scr");
}

TEST(Progress, ARecordingsLineTellsPositionRateSpeedAndTimeLeft) {
    const struct {
        double position, duration;
        uint64_t frames;
        double seconds;
        const char* text;
    } cases[] = {
        {192, 602, 11520, 24, "Reading a.mp4: 3:12 of 10:02, 480 frames/s, 8.0\xC3\x97 real time, 0:51 left"},
        {0, 602, 0, 0, "Reading a.mp4: 0:00, 0 frames/s"},
        {30, 0, 1800, 3, "Reading a.mp4: 0:30, 600 frames/s"},  // a length the headers do not give
        {700, 602, 42000, 70, "Reading a.mp4: 11:40 of 10:02, 600 frames/s, 10.0\xC3\x97 real time, 0:00 left"},
        {3725, 7200, 1000, 10, "Reading a.mp4: 1:02:05 of 2:00:00, 100 frames/s, 372.5\xC3\x97 real time, 0:09 left"},
    };
    for (const auto& c : cases) {
        char text[256];
        int length = format_recording_progress(text, sizeof text, "a.mp4", c.position, c.duration,
                                               c.frames, c.seconds);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(static_cast<size_t>(length), strlen(text));
    }
    char small[10];
    EXPECT_EQ(format_recording_progress(small, sizeof small, "a.mp4", 1, 2, 3, 4), 9);
    EXPECT_STREQ(small, "Reading a");
}

TEST(Progress, DrawnAfterTheDelayAtMostEveryIntervalAndHiddenWithoutATrace) {
    FILE* file = tmpfile();
    ASSERT_NE(file, nullptr);
    Progress progress;
    progress_start(&progress, 100, file, 10.0);
    progress_update(&progress, 1, 10.2);
    progress_hide(&progress, 10.2);
    EXPECT_EQ(written(file), "") << "a short scan shows nothing";

    progress_update(&progress, 9, 10.0 + PROGRESS_DELAY + 0.05);
    std::string first = written(file);
    EXPECT_EQ(screen_line(first), "Reading screenshots: 9 of 100, 16/s, 0:06 left");
    progress_update(&progress, 10, 10.0 + PROGRESS_DELAY + 0.1);
    EXPECT_EQ(written(file), first) << "redrawn before the interval passed";
    progress_update(&progress, 99, 10.66);
    EXPECT_EQ(screen_line(written(file)), "Reading screenshots: 99 of 100, 150/s, 0:00 left");

    // A shorter line covers the longer one; hiding blanks it all.
    progress_update(&progress, 100, 1000.0);
    EXPECT_EQ(screen_line(written(file)), "Reading screenshots: 100 of 100, 0/s, 0:00 left ");
    progress_hide(&progress, 1000.0);
    std::string all = written(file);
    EXPECT_TRUE(blank(screen_line(all))) << '"' << screen_line(all) << '"';
    EXPECT_EQ(all.back(), '\r') << "the cursor is back at the line's start";
    EXPECT_EQ(all.find('\n'), std::string::npos);
    progress_hide(&progress, 1000.0);
    EXPECT_EQ(written(file), all) << "hiding twice writes nothing more";

    // After hiding (to print a message) the line stays away for the interval.
    progress_update(&progress, 100, 1000.0 + PROGRESS_INTERVAL / 2);
    EXPECT_EQ(written(file), all);
    progress_update(&progress, 100, 1000.0 + PROGRESS_INTERVAL * 1.5);
    EXPECT_NE(written(file), all);
    fclose(file);
}

TEST(Progress, WithoutATerminalNothingIsDone) {
    Progress progress;
    progress_start(&progress, 10, nullptr, 0.0);
    progress_update(&progress, 5, 100.0);
    progress_hide(&progress, 100.0);
    EXPECT_EQ(progress.done, 5);
    EXPECT_EQ(progress.width, 0);
}
