// Options (the watch mode's among them), the percent text, and the latest
// mode with a recording clipboard.
#include "figures/damage.h"
#include "modes/latest.h"
#include "cli/options.h"
#include "cli/pause.h"
#include "cli/program.h"
#include "platform/platform.h"
#include "reading/file_list.h"
#include "support/screenshot_maker.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

Mode mode_of(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "healthgauge");
    return choose_mode(static_cast<int>(arguments.size()), arguments.data());
}

Request request_of(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "healthgauge");
    return choose_request(static_cast<int>(arguments.size()), arguments.data());
}

// The arguments, joined for a message.
std::string shown(const std::vector<const char*>& arguments) {
    std::string text;
    for (const char* argument : arguments) text += std::string(" '") + argument + "'";
    return text;
}

// What the latest mode did to the clipboard.
std::vector<std::string> clipboard_calls;
ClipboardOutcome record_put(const char* text) {
    clipboard_calls.push_back(std::string("put ") + text);
    return ClipboardOutcome::done;
}
ClipboardOutcome record_empty() {
    clipboard_calls.push_back("empty");
    return ClipboardOutcome::done;
}

class LatestMode : public testing::Test {
  protected:
    void SetUp() override {
        clipboard_calls.clear();
        clipboard = {record_put, record_empty};
    }
    void TearDown() override {
        clipboard = SYSTEM_CLIPBOARD;
        file_list_release();
    }
    // The whole program with these arguments: its console output.
    std::string run_program_here(std::vector<const char*> arguments) {
        arguments.insert(arguments.begin(), "healthgauge");
        InsideFolder inside(folder.path);
        testing::internal::CaptureStdout();
        EXPECT_EQ(run_program(static_cast<int>(arguments.size()), arguments.data()), 1);
        return testing::internal::GetCapturedStdout();
    }
    std::string run_here() {
        InsideFolder inside(folder.path);
        testing::internal::CaptureStdout();
        run_latest();
        return testing::internal::GetCapturedStdout();
    }
    void write_screenshot(const std::string& name, int filled, long time) {
        Screenshot shot = blank_screenshot(1920, 1080, 3);
        paint_gauge(shot, 3, filled);
        ASSERT_TRUE(write_png(shot, folder / name));
        ASSERT_TRUE(set_time(folder / name, time));
    }
    TempFolder folder;
};

}  // namespace

TEST(Options, ModeOptionsInAnyCaseAndTheLastOneWins) {
    struct Case {
        std::vector<const char*> arguments;
        Mode mode;
    };
    const Case cases[] = {
        {{}, Mode::latest},
        {{"-l"}, Mode::latest}, {{"-LAST"}, Mode::latest}, {{"-last"}, Mode::latest}, {{"-L"}, Mode::latest},
        {{"-s"}, Mode::scan}, {{"-SCAN"}, Mode::scan}, {{"-Scan"}, Mode::scan}, {{"-S"}, Mode::scan},
        {{"-r"}, Mode::report}, {{"-R"}, Mode::report}, {{"-report"}, Mode::report},
        {{"-REPORT"}, Mode::report}, {{"-Report"}, Mode::report},
        {{"-watch"}, Mode::watch}, {{"-w"}, Mode::watch}, {{"-W"}, Mode::watch},
        {{"-WATCH"}, Mode::watch}, {{"-Watch"}, Mode::watch},
        {{"-groups"}, Mode::groups}, {{"-g"}, Mode::groups}, {{"-G"}, Mode::groups},
        {{"-GROUPS"}, Mode::groups}, {{"-Groups"}, Mode::groups},
        {{"-sessions"}, Mode::sessions}, {{"-e"}, Mode::sessions}, {{"-E"}, Mode::sessions},
        {{"-SESSIONS"}, Mode::sessions}, {{"-Sessions"}, Mode::sessions},
        // The last mode option wins.
        {{"-scan", "-last"}, Mode::latest}, {{"-last", "-S"}, Mode::scan},
        {{"-report", "-s"}, Mode::scan}, {{"-l", "-r"}, Mode::report},
        {{"-watch", "-scan"}, Mode::scan}, {{"-s", "-w"}, Mode::watch}, {{"-w", "-l"}, Mode::latest},
        {{"-g", "-e"}, Mode::sessions}, {{"-sessions", "-groups"}, Mode::groups},
        {{"-c", "a", "b", "-g"}, Mode::groups}, {{"-g", "-c", "-e", "-s"}, Mode::compare},
        // Anything else is ignored.
        {{"scan"}, Mode::latest}, {{"watch"}, Mode::latest},
        {{"-x", "-sc", "--scan", "-scans", ""}, Mode::latest},
        {{"-s", "-x", "last"}, Mode::scan}, {{"-r", "-x", "report"}, Mode::report},
        {{"-rep", "--report", "-reports", "-rr"}, Mode::latest},
        {{"-wa"}, Mode::latest}, {{"-watching"}, Mode::latest},
        {{"-group", "--groups", "-session", "-ee", "-gs"}, Mode::latest},
    };
    for (const Case& c : cases) EXPECT_EQ(mode_of(c.arguments), c.mode) << shown(c.arguments);
}

TEST(Options, HelpAnywhereWinsThenVersion) {
    EXPECT_EQ(request_of({}), Request::mode);
    for (const char* help : {"-help", "--help", "-h", "-?", "/?", "-HELP", "--Help", "-H"}) {
        EXPECT_EQ(request_of({help}), Request::help) << help;
    }
    EXPECT_EQ(request_of({"-scan", "x", "-?"}), Request::help);
    EXPECT_EQ(request_of({"--version", "-h", "-s"}), Request::help);
    EXPECT_EQ(request_of({"-h", "-version"}), Request::help);
    for (const char* version : {"-version", "--version", "-VERSION", "--Version"}) {
        EXPECT_EQ(request_of({"-s", version, "-l"}), Request::version) << version;
    }
    // Near misses are unknown arguments like any other: ignored.
    for (const char* other : {"help", "?", "/h", "/help", "-hel", "--h", "-helps", "-/?", "/??",
                              "-v", "--v", "version", "/version", "-versions", ""}) {
        EXPECT_EQ(request_of({other}), Request::mode) << other;
    }
    // Mode options keep their own rule whatever else is given.
    EXPECT_EQ(mode_of({"-h", "-scan", "--version"}), Mode::scan);
}

TEST(Options, UsageFitsAnEightyColumnConsole) {
    std::string usage = USAGE;
    ASSERT_FALSE(usage.empty());
    EXPECT_EQ(usage.back(), '\n');
    std::string::size_type start = 0, end;
    while ((end = usage.find('\n', start)) != std::string::npos) {
        EXPECT_LT(end - start, 80u) << usage.substr(start, end - start);
        start = end + 1;
    }
}

TEST(Options, PercentTextHasOneDecimal) {
    char text[PERCENT_TEXT_SIZE];
    const std::pair<uint32_t, const char*> cases[] = {
        {1000, "100.0%"}, {537, "53.7%"}, {5, "0.5%"}, {0, "0.0%"}};
    for (const auto& [value, expected] : cases) {
        format_percent(value, text);
        EXPECT_STREQ(text, expected);
    }
}

TEST_F(LatestMode, ReadsTheNewestPngAndCopiesItsText) {
    write_screenshot("old.png", 237, 1000);
    write_screenshot("new.png", 120, 2000);
    ASSERT_TRUE(write_file(folder / "newest.txt", "not a screenshot"));
    ASSERT_TRUE(set_time(folder / "newest.txt", 3000));
    EXPECT_EQ(run_here(), "50.6% from new.png\n");
    EXPECT_EQ(clipboard_calls, std::vector<std::string>{"put 50.6%"});
}

TEST_F(LatestMode, UnreadableNewestEmptiesTheClipboardWithoutTryingOlderOnes) {
    write_screenshot("good.png", 237, 1000);
    ASSERT_TRUE(write_file(folder / "bad.png", "garbage"));
    ASSERT_TRUE(set_time(folder / "bad.png", 2000));
    EXPECT_EQ(run_here(), "Error: Failed to load bad.png\n");
    EXPECT_EQ(clipboard_calls, std::vector<std::string>{"empty"});

    Screenshot blank = blank_screenshot(1920, 1080, 3);
    ASSERT_TRUE(write_png(blank, folder / "bad.png"));
    ASSERT_TRUE(set_time(folder / "bad.png", 2000));
    clipboard_calls.clear();
    EXPECT_EQ(run_here(),
              "Warning: Could not find matching health bar type for screenshot bad.png\n");
    EXPECT_EQ(clipboard_calls, std::vector<std::string>{"empty"});
}

TEST_F(LatestMode, NoPngLeavesTheClipboardAlone) {
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    ASSERT_EQ(mkdir((folder / "folder.png").c_str(), 0755), 0);
    EXPECT_EQ(run_here(), "Error: Could not find any PNG file.\n");
    EXPECT_TRUE(clipboard_calls.empty());
}

TEST_F(LatestMode, EqualTimesGoToTheFileListedFirst) {
    write_screenshot("a.png", 237, 5000);
    write_screenshot("b.png", 0, 5000);
    write_screenshot("c.png", 120, 5000);
    // Which one the platform yields first is its own business: ask it.
    std::string first;
    {
        InsideFolder inside(folder.path);
        ASSERT_TRUE(file_list_list_files());
        first = file_list.entries[file_list.index[0]].path;
    }
    const std::map<std::string, std::string> text = {
        {"a.png", "100.0%"}, {"b.png", "0.0%"}, {"c.png", "50.6%"}};
    EXPECT_EQ(run_here(), text.at(first) + " from " + first + "\n");
    EXPECT_EQ(clipboard_calls, std::vector<std::string>{"put " + text.at(first)});
}

TEST_F(LatestMode, HelpAndVersionReadNothingAndLeaveTheClipboardAlone) {
    write_screenshot("shot.png", 120, 2000);
    const std::string banner = "Varnholt screenshot health gauge tool v" HEALTHGAUGE_VERSION " (by Tamsel)\n\n";
    EXPECT_EQ(run_program_here({"-scan", "--HELP"}), banner + USAGE);
    EXPECT_EQ(run_program_here({"/?", "-last"}), banner + USAGE);
    EXPECT_EQ(run_program_here({"-s", "-Version"}), banner);
    EXPECT_EQ(run_program_here({"--version"}), banner);
    EXPECT_TRUE(clipboard_calls.empty());
    EXPECT_EQ(read_file(folder / "raw.txt"), "<missing>");
    EXPECT_EQ(read_file(folder / "output.txt"), "<missing>");

    // Without them the same folder is read: the cases above had a choice.
    EXPECT_EQ(run_program_here({"-x"}), banner + "50.6% from shot.png\n");
    EXPECT_EQ(clipboard_calls, std::vector<std::string>{"put 50.6%"});
}

// ---- The command line as one record -----------------------------------------

namespace {

// What names are, for parse_arguments: a table instead of the file system.
PathKind kind_in_table(const char* name) {
    static const std::map<std::string, PathKind> KINDS = {
        {"shots", PathKind::folder},        {"my shots", PathKind::folder},
        {"スクショ", PathKind::folder},      {"-dash folder", PathKind::folder},
        {"shot.png", PathKind::file},       {"SHOT.PNG", PathKind::file},
        {"notes.txt", PathKind::file},      {"png", PathKind::file},
        {"folder.png", PathKind::folder},   {"skärmbild.png", PathKind::file},
        {"a.mp4", PathKind::file},          {"B.MKV", PathKind::file},
        {"c.webm", PathKind::file},         {"clips.mp4", PathKind::folder},
    };
    auto found = KINDS.find(name);
    return found == KINDS.end() ? PathKind::missing : found->second;
}

Arguments parsed(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "healthgauge");
    return parse_arguments(static_cast<int>(arguments.size()), arguments.data(), kind_in_table);
}

}  // namespace

TEST(Arguments, EachIsAnOptionAFolderAScreenshotOrAMessage) {
    const std::string unknown = "healthgauge: unknown option '";
    const std::string missing = "healthgauge: no such folder or screenshot: '";
    const std::string not_here = "' (recordings are read by -scan, -report and -compare)";
    const std::string recording = "healthgauge: unknown argument '";
    struct Case {
        std::vector<const char*> arguments;
        Mode mode;
        Request request;
        std::string folder, screenshot;
        std::vector<std::string> messages;
        std::vector<std::string> recordings = {};
    };
    const Case cases[] = {
        {{}, Mode::latest, Request::mode, "", "", {}},
        {{"-scna"}, Mode::latest, Request::mode, "", "", {unknown + "-scna' (see --help)"}},
        {{"-scan", "shots"}, Mode::scan, Request::mode, "shots", "", {}},
        {{"shots", "-R"}, Mode::report, Request::mode, "shots", "", {}},
        {{"-groups", "shots"}, Mode::groups, Request::mode, "shots", "", {}},
        {{"shots", "-E"}, Mode::sessions, Request::mode, "shots", "", {}},
        {{"-g", "shot.png"}, Mode::groups, Request::mode, "", "", {missing + "shot.png'"}},
        {{"shots", "my shots"}, Mode::latest, Request::mode, "my shots", "", {}},  // the last counts
        {{"スクショ", "-w"}, Mode::watch, Request::mode, "スクショ", "", {}},
        {{"-dash folder"}, Mode::latest, Request::mode, "-dash folder", "", {}},  // a folder first
        {{"shot.png"}, Mode::latest, Request::mode, "", "shot.png", {}},
        {{"SHOT.PNG", "-l"}, Mode::latest, Request::mode, "", "SHOT.PNG", {}},
        {{"shot.png", "skärmbild.png"}, Mode::latest, Request::mode, "", "skärmbild.png", {}},
        {{"shots", "shot.png"}, Mode::latest, Request::mode, "shots", "shot.png", {}},
        // A screenshot is taken in latest mode only.
        {{"-s", "shot.png"}, Mode::scan, Request::mode, "", "", {missing + "shot.png'"}},
        {{"notes.txt"}, Mode::latest, Request::mode, "", "", {missing + "notes.txt'"}},
        {{"png"}, Mode::latest, Request::mode, "", "", {missing + "png'"}},
        {{"folder.png"}, Mode::latest, Request::mode, "folder.png", "", {}},
        {{"C:\\Shots"}, Mode::latest, Request::mode, "", "", {missing + "C:\\Shots'"}},
        {{"-x", "gone", ""}, Mode::latest, Request::mode, "", "",
         {unknown + "-x' (see --help)", missing + "gone'", missing + "'"}},
        {{"--scan", "-s"}, Mode::scan, Request::mode, "", "", {unknown + "--scan' (see --help)"}},
        {{"-h", "-scna"}, Mode::latest, Request::help, "", "", {unknown + "-scna' (see --help)"}},
        {{"-version", "shots"}, Mode::latest, Request::version, "shots", "", {}},
        // Recordings: read by the scan and the report, in their order.
        {{"-scan", "a.mp4"}, Mode::scan, Request::mode, "", "", {}, {"a.mp4"}},
        {{"B.MKV", "shots", "-r", "a.mp4"}, Mode::report, Request::mode, "shots", "", {},
         {"B.MKV", "a.mp4"}},
        {{"a.mp4"}, Mode::latest, Request::mode, "", "", {recording + "a.mp4" + not_here}},
        {{"-w", "c.webm"}, Mode::watch, Request::mode, "", "", {recording + "c.webm" + not_here}},
        {{"-g", "a.mp4"}, Mode::groups, Request::mode, "", "", {recording + "a.mp4" + not_here}},
        {{"-s", "gone.mp4"}, Mode::scan, Request::mode, "", "", {missing + "gone.mp4'"}},
        {{"-s", "clips.mp4"}, Mode::scan, Request::mode, "clips.mp4", "", {}},  // a folder first
        {{"-c", "a.mp4", "B.MKV", "c.webm"}, Mode::compare, Request::mode, "", "",
         {recording + "c.webm" + not_here}},
#ifdef _WIN32
        {{"/x"}, Mode::latest, Request::mode, "", "", {unknown + "/x' (see --help)"}},
#else
        {{"/x"}, Mode::latest, Request::mode, "", "", {missing + "/x'"}},
#endif
    };
    for (const Case& c : cases) {
        Arguments arguments = parsed(c.arguments);
        EXPECT_EQ(arguments.mode, c.mode) << shown(c.arguments);
        EXPECT_EQ(arguments.request, c.request) << shown(c.arguments);
        EXPECT_EQ(arguments.folder, c.folder) << shown(c.arguments);
        EXPECT_EQ(arguments.screenshot, c.screenshot) << shown(c.arguments);
        EXPECT_EQ(arguments.messages, c.messages) << shown(c.arguments);
        EXPECT_EQ(arguments.recordings, c.recordings) << shown(c.arguments);
    }
}

TEST(Arguments, TheRealFileSystemByDefault) {
    TempFolder folder;
    ASSERT_EQ(mkdir((folder / "shots").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(folder / "a.png", "x"));
    InsideFolder inside(folder.path);
    std::vector<const char*> argv = {"healthgauge", "shots", "a.png", "b.png"};
    Arguments arguments = parse_arguments(4, argv.data());
    EXPECT_EQ(arguments.folder, "shots");
    EXPECT_EQ(arguments.screenshot, "a.png");
    EXPECT_EQ(arguments.messages,
              std::vector<std::string>{"healthgauge: no such folder or screenshot: 'b.png'"});
}

TEST(Pause, OnlyInAConsoleWindowOfItsOwn) {
    struct Case {
        PauseFacts facts;
        bool pause;
    };
    const Case cases[] = {
        {{1, true, true, false, false, false}, true},   // double-clicked, or a folder dropped
        {{2, true, true, false, false, false}, false},  // cmd or PowerShell shares the console
        {{0, true, true, false, false, false}, false},  // no console (POSIX)
        {{3, true, true, false, false, false}, false},
        {{1, false, true, false, false, false}, false},  // input redirected
        {{1, true, false, false, false, false}, false},  // output redirected
        {{1, false, false, false, false, false}, false},
        {{1, true, true, true, true, false}, true},     // watch: ended by Ctrl+C
        {{1, true, true, true, true, false, true}, false},  // watch: its window closed
        {{1, true, true, false, true, false}, false},   // a stop was requested
        {{1, true, true, false, false, true}, false},   // HEALTHGAUGE_NO_PAUSE
    };
    for (const Case& c : cases) {
        const PauseFacts& f = c.facts;
        EXPECT_EQ(should_pause(f), c.pause)
            << f.console_processes << f.input_is_console << f.output_is_console << f.watch
            << f.stop_requested << f.no_pause_set;
    }
    EXPECT_EQ(PAUSE_TIMEOUT_MS, 60000);
}

TEST_F(LatestMode, NamedScreenshotIsReadInsteadOfTheNewest) {
    write_screenshot("old.png", 237, 1000);
    write_screenshot("new.png", 120, 2000);
    const std::string banner = "Varnholt screenshot health gauge tool v" HEALTHGAUGE_VERSION " (by Tamsel)\n\n";
    EXPECT_EQ(run_program_here({"old.png"}), banner + "100.0% from old.png\n");
    EXPECT_EQ(clipboard_calls, std::vector<std::string>{"put 100.0%"});
}

TEST(Arguments, CompareFoldersAreNeitherRunFoldersNorScreenshotsNorMessages) {
    Arguments compared = parsed({"-compare", "shots", "shot.png", "my shots"});
    EXPECT_EQ(compared.mode, Mode::compare);
    EXPECT_STREQ(compared.compare_a, "shots");
    EXPECT_STREQ(compared.compare_b, "shot.png");
    EXPECT_EQ(compared.folder, "my shots");  // where compare.html goes
    EXPECT_EQ(compared.screenshot, "");
    EXPECT_EQ(compared.messages, std::vector<std::string>{});
    Arguments odd = parsed({"-c", "-scna", "gone"});
    EXPECT_STREQ(odd.compare_a, "-scna");
    EXPECT_STREQ(odd.compare_b, "gone");
    EXPECT_EQ(odd.messages, std::vector<std::string>{});
}

TEST(Options, CompareTakesTheNextTwoArgumentsAsItsFolders) {
    struct Case {
        std::vector<const char*> arguments;
        Mode mode;
        const char* a;  // null: missing
        const char* b;
    };
    const Case cases[] = {
        {{"-compare", "A", "B"}, Mode::compare, "A", "B"},
        {{"-C", "gear one", "gear two"}, Mode::compare, "gear one", "gear two"},
        {{"-COMPARE", "x", "y", "-x"}, Mode::compare, "x", "y"},
        // The folders are never options, whatever they look like.
        {{"-c", "-scan", "-r"}, Mode::compare, "-scan", "-r"},
        {{"-c", "-c", "-watch"}, Mode::compare, "-c", "-watch"},
        // A later mode option still sets the mode; a later -compare its folders.
        {{"-compare", "A", "B", "-scan"}, Mode::scan, "A", "B"},
        {{"-scan", "-c", "A", "B"}, Mode::compare, "A", "B"},
        {{"-c", "A", "B", "-c", "C", "D"}, Mode::compare, "C", "D"},
        // Too few arguments after it.
        {{"-compare"}, Mode::compare, nullptr, nullptr},
        {{"-s", "-compare", "A"}, Mode::compare, "A", nullptr},
        // No -compare: no folders.
        {{"-scan", "A", "B"}, Mode::scan, nullptr, nullptr},
        {{"-comp", "--compare", "-compared", "compare"}, Mode::latest, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"healthgauge"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        int argc = static_cast<int>(argv.size());
        EXPECT_EQ(choose_mode(argc, argv.data()), c.mode) << shown(c.arguments);
        CompareFolders folders = choose_compare_folders(argc, argv.data());
        EXPECT_STREQ(folders.a, c.a) << shown(c.arguments);
        EXPECT_STREQ(folders.b, c.b) << shown(c.arguments);
    }
    // Help and version anywhere still win, in the folders' places too.
    EXPECT_EQ(request_of({"-compare", "A", "--help"}), Request::help);
    EXPECT_EQ(request_of({"-c", "-version", "B"}), Request::version);
}
