// The clipboard, on a real X server or under Wine (see open_clipboard in
// program_run.h).
#include "support/program_run.h"

#include <string>
#include <unistd.h>
#include <vector>

// ---- the clipboard, on a real X server or under Wine ------------------------

namespace {

class Clipboard : public EndToEnd {
  protected:
    void SetUp() override { open_clipboard(&clipboard, folder.path); }
    std::string run_with_display(std::vector<std::string> arguments = {}) {
        ProgramRun result = run_program(folder.path, std::move(arguments), clipboard.display);
        EXPECT_EQ(result.status, 1);
        return result.console;
    }
    ClipboardProbe clipboard;
};

}  // namespace

TEST_F(Clipboard, HoldsExactlyTheReadingAfterASuccessfulRun) {
    ASSERT_TRUE(write_png(screenshot_with_reading(537), folder / "shot.png"));
    EXPECT_EQ(run_with_display(), std::string(BANNER) + "53.7% from shot.png\n");
    EXPECT_EQ(settled_clipboard_text(clipboard, "53.7%"), "53.7%");
}

TEST_F(Clipboard, IsEmptiedWhenTheReadingFails) {
    ASSERT_TRUE(write_file(folder / "shot.png", "garbage"));
    run_with_display();
    EXPECT_EQ(settled_clipboard_text(clipboard, ""), "");
}

TEST_F(Clipboard, IsLeftAloneWithoutAnyPng) {
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    run_with_display();
    EXPECT_EQ(settled_clipboard_text(clipboard, "sentinel"), "sentinel");
}

TEST_F(Clipboard, IsLeftAloneByHelp) {
    ASSERT_TRUE(write_png(screenshot_with_reading(537), folder / "shot.png"));
    std::string console = run_with_display({"--help"});
    EXPECT_EQ(console.compare(0, sizeof BANNER - 1, BANNER), 0) << console;
    EXPECT_NE(console.find("Usage: healthgauge "), std::string::npos) << console;
    EXPECT_EQ(console.find("53.7%"), std::string::npos) << console;
    // A helper started by mistake could take the selection a moment later.
    usleep(300000);
    EXPECT_EQ(settled_clipboard_text(clipboard, "sentinel"), "sentinel");
}
