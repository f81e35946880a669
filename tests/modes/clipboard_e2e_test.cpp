// The clipboard, on a real X server or under Wine.
#include "modes/progress.h"
#include "support/png_bombs.h"
#include "support/program_run.h"

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <functional>
#include <map>
#include <csignal>
#include <linux/capability.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>
#include <zlib.h>

// ---- the clipboard, on a real X server or under Wine ------------------------
//
// HEALTHGAUGE_TEST_DISPLAY names an X display with xclip available (the test
// script starts Xvfb for it); HEALTHGAUGE_REQUIRE_CLIPBOARD makes its absence
// a failure rather than a skip. With HEALTHGAUGE_WINDOWS_TOOL set, the
// clipboard is Wine's, read and set through that tool.

namespace {

// Runs xclip on the test display: reads the clipboard, or sets it to text.
std::string xclip(const std::string& display, const char* text = nullptr) {
    std::string command = "DISPLAY='" + display + "' xclip -selection clipboard";
    command += text ? " >/dev/null 2>&1" : " -o 2>/dev/null";
    return run_command(command, text);
}

class Clipboard : public EndToEnd {
  protected:
    void SetUp() override {
        if (windows_tool().empty()) {
            display = environment("HEALTHGAUGE_TEST_DISPLAY");
            if (display.empty()) {
                if (!environment("HEALTHGAUGE_REQUIRE_CLIPBOARD").empty()) {
                    FAIL() << "HEALTHGAUGE_TEST_DISPLAY is not set";
                }
                GTEST_SKIP() << "no test display";
            }
        }
        put_text("sentinel");
        ASSERT_EQ(settled_text("sentinel"), "sentinel");
    }
    std::string text() {
        return windows_tool().empty() ? xclip(display) : run_windows_tool(folder.path, {"clipboard"});
    }
    // The clipboard's text, read again for up to three seconds until it is
    // `expected`: xclip goes to the background before it takes the
    // selection, so a read right after it returns may still see the old text.
    std::string settled_text(const std::string& expected) {
        std::string current = text();
        for (int i = 0; i < 150 && current != expected; ++i) {
            usleep(20000);
            current = text();
        }
        return current;
    }
    void put_text(const char* content) {
        if (windows_tool().empty()) {
            xclip(display, content);
        } else {
            run_windows_tool(folder.path, {"put-text", content});
        }
    }
    std::string run_with_display(std::vector<std::string> arguments = {}) {
        ProgramRun result = run_program(folder.path, std::move(arguments), display);
        EXPECT_EQ(result.status, 1);
        return result.console;
    }
    std::string display;
};

}  // namespace

TEST_F(Clipboard, HoldsExactlyTheReadingAfterASuccessfulRun) {
    ASSERT_TRUE(write_png(screenshot_with_reading(537), folder / "shot.png"));
    EXPECT_EQ(run_with_display(), std::string(BANNER) + "53.7% from shot.png\n");
    EXPECT_EQ(settled_text("53.7%"), "53.7%");
}

TEST_F(Clipboard, IsEmptiedWhenTheReadingFails) {
    ASSERT_TRUE(write_file(folder / "shot.png", "garbage"));
    run_with_display();
    EXPECT_EQ(settled_text(""), "");
}

TEST_F(Clipboard, IsLeftAloneWithoutAnyPng) {
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    run_with_display();
    EXPECT_EQ(settled_text("sentinel"), "sentinel");
}

TEST_F(Clipboard, IsLeftAloneByHelp) {
    ASSERT_TRUE(write_png(screenshot_with_reading(537), folder / "shot.png"));
    std::string console = run_with_display({"--help"});
    EXPECT_EQ(console.compare(0, sizeof BANNER - 1, BANNER), 0) << console;
    EXPECT_NE(console.find("Usage: healthgauge "), std::string::npos) << console;
    EXPECT_EQ(console.find("53.7%"), std::string::npos) << console;
    // A helper started by mistake could take the selection a moment later.
    usleep(300000);
    EXPECT_EQ(settled_text("sentinel"), "sentinel");
}
