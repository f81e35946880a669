// A folder or a screenshot named on the command line, the messages about
// arguments not taken, report.csv read back with a real CSV reader, and the
// pause at the end that a run with redirected output never makes.
#include "pages/local_time.h"
#include "support/program_run.h"

#include <algorithm>
#include <chrono>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void make_shot(const std::string& path, uint32_t reading, long time) {
    ASSERT_TRUE(write_file(path, game_png_with_reading(reading)));
    ASSERT_TRUE(set_time(path, time));
}

}  // namespace

TEST_F(EndToEnd, UnknownOptionGetsALineOnStandardErrorAndChangesNothingElse) {
    ASSERT_TRUE(write_file(folder / "shot.png", game_png_with_reading(516)));
    ProgramRun plain = run();
    ProgramRun typo = run_with_errors(folder.path, {"-scna"});
    EXPECT_EQ(typo.console, std::string(BANNER) + plain.console);
    EXPECT_EQ(typo.errors, "healthgauge: unknown option '-scna' (see --help)\n");
    ProgramRun other = run_with_errors(folder.path, {"-s", "nowhere"});
    EXPECT_EQ(other.errors, "healthgauge: no such folder or screenshot: 'nowhere'\n");
    EXPECT_EQ(file("raw.txt"), "48.4%\r\n");
    ProgramRun none = run_with_errors(folder.path, {});
    EXPECT_EQ(none.errors, "");
}

TEST_F(EndToEnd, AFolderMakesTheRunWorkThere) {
    for (const std::string sub : {"shots", "my shots", "スクショ skärm"}) {
        ASSERT_EQ(mkdir((folder / sub).c_str(), 0755), 0);
        make_shot(folder / (sub + "/a.png"), 516, 1000);
        make_shot(folder / (sub + "/b.png"), 900, 2000);
        ProgramRun scan = run_with_errors(folder.path, {"-scan", sub});
        EXPECT_EQ(scan.errors, "") << sub;
        EXPECT_NE(scan.console.find("Saved raw.txt with 2 percentages"), std::string::npos) << sub;
        EXPECT_EQ(read_file(folder / (sub + "/output.txt")).compare(0, 23, "Health bars detected: 2"), 0)
            << sub;
        ProgramRun report = run_with_errors(folder.path, {sub, "-r"});
        EXPECT_NE(report.console.find("Saved report.csv"), std::string::npos) << sub;
        EXPECT_NE(read_file(folder / (sub + "/report.html")), "<missing>") << sub;
        EXPECT_NE(read_file(folder / (sub + "/report.csv")), "<missing>") << sub;
        ProgramRun latest = run_with_errors(folder.path, {sub});
        EXPECT_EQ(latest.console, std::string(BANNER) + "90.0% from b.png\n") << sub;
    }
    // Nothing was written where the program was started.
    for (const char* name : {"raw.txt", "output.txt", "report.html", "report.csv"}) {
        EXPECT_EQ(file(name), "<missing>") << name;
    }
    // Of several folders the last one counts.
    ProgramRun two = run_with_errors(folder.path, {"shots", "my shots", "-s"});
    EXPECT_NE(read_file(folder / "my shots/raw.txt"), "<missing>");
}

TEST_F(EndToEnd, AScreenshotNamedInLatestModeIsReadInsteadOfTheNewest) {
    ASSERT_EQ(mkdir((folder / "sub dir").c_str(), 0755), 0);
    make_shot(folder / "sub dir/Old Shot.PNG", 516, 1000);
    make_shot(folder / "new.png", 900, 2000);
    ProgramRun named = run_with_errors(folder.path, {"sub dir/Old Shot.PNG"});
    EXPECT_EQ(named.console, std::string(BANNER) + "51.6% from sub dir/Old Shot.PNG\n");
    EXPECT_EQ(named.errors, "");
    // In scan mode it is not taken.
    ProgramRun scan = run_with_errors(folder.path, {"-s", "new.png"});
    EXPECT_EQ(scan.errors, "healthgauge: no such folder or screenshot: 'new.png'\n");
}

// ---- Why, on standard error -----------------------------------------------------

TEST_F(EndToEnd, FailuresGiveTheirReasonOnStandardErrorOnly) {
    make_shot(folder / "good.png", 516, 1000);
    ASSERT_TRUE(write_file(folder / "text.png", "this is not a picture"));
    std::string whole = encode_png(screenshot_with_reading(500));
    ASSERT_TRUE(write_file(folder / "cut.png", whole.substr(0, whole.size() / 2)));
    ProgramRun scan = run_with_errors(folder.path, {"-scan"});
    // Standard output as ever.
    EXPECT_NE(scan.console.find("Error: Failed to load text.png\n"), std::string::npos);
    EXPECT_EQ(scan.console.find("healthgauge:"), std::string::npos);
    EXPECT_NE(scan.errors.find("healthgauge: text.png: it is not a PNG picture (another format, or "
                               "no picture at all)\n"),
              std::string::npos)
        << scan.errors;
    EXPECT_NE(scan.errors.find("healthgauge: cut.png: the file is cut short: it ends before the "
                               "picture does\n"),
              std::string::npos)
        << scan.errors;

    if (is_wine_run()) return;  // the permissions below are POSIX ones
    ASSERT_EQ(remove((folder / "raw.txt").c_str()), 0);
    ASSERT_EQ(remove((folder / "output.txt").c_str()), 0);
    ASSERT_EQ(chmod(folder.path.c_str(), 0555), 0);
    ChildSetup setup;
    setup.obey_permissions = true;
    ProgramRun refused = run_with_errors(folder.path, {"-r"}, setup);
    chmod(folder.path.c_str(), 0755);
    EXPECT_NE(refused.console.find("Error: Failed to open raw.txt for writing.\n"), std::string::npos);
    for (const char* name : {"raw.txt", "output.txt", "report.html", "report.csv", "report.xlsx"}) {
        EXPECT_NE(refused.errors.find(std::string("healthgauge: ") + name + ": Permission denied\n"),
                  std::string::npos)
            << name << ": " << refused.errors;
    }
    // A write that fails on its way: a full disk, as /dev/full is.
    ASSERT_EQ(symlink("/dev/full", (folder / "raw.txt").c_str()), 0);
    ProgramRun full = run_with_errors(folder.path, {"-s"});
    EXPECT_NE(full.console.find("Error: Failed to write raw.txt.\n"), std::string::npos);
    EXPECT_NE(full.errors.find("healthgauge: raw.txt: No space left on device\n"), std::string::npos)
        << full.errors;
}

TEST_F(EndToEnd, ReportCsvReadsBackRowForRowWithACsvReader) {
    if (system("python3 -c 'import csv' 2>/dev/null") != 0) GTEST_SKIP() << "no python3";
    struct Shot {
        std::string name;  // as written
        int reading;       // -1: not a PNG, -2: no layout
        long time;
        std::string file_field;  // as the CSV reader gives it back
    };
    std::vector<Shot> shots = {
        {"plain.png", 516, 1700000300, "plain.png"},
        {"a,b.png", 900, 1700000100, "a,b.png"},
        {"スクショ.png", 1000, 1700000200, "スクショ.png"},
        {"=1+2.png", 0, 1700000400, "'=1+2.png"},
        {"broken.png", -1, 1700000500, "broken.png"},
        {"dark.png", -2, 1700000050, "dark.png"},
    };
    if (!is_wine_run()) {  // names Windows does not allow
        shots.push_back({"say \"hi\".png", 250, 1700000600, "say \"hi\".png"});
        shots.push_back({"two\nlines.png", 750, 1700000700, "two\nlines.png"});
    }
    for (const Shot& shot : shots) write_report_shot(folder / shot.name, shot.reading, shot.time);
    run({"-report"});
    std::string csv = file("report.csv");
    ASSERT_EQ(csv.compare(0, 3, "\xEF\xBB\xBF"), 0);
    const std::string header = "file,file_time,health,damage,status,layout,score,position\r\n";
    ASSERT_EQ(csv.compare(3, header.size(), header), 0);
    // Python's csv module, the BOM taken by utf-8-sig; fields apart by US,
    // rows by RS.
    std::string script =
        "import csv,sys\n"
        "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',newline='')))\n"
        "sys.stdout.write('\\x1e'.join('\\x1f'.join(r) for r in rows))\n";
    ASSERT_TRUE(write_file(folder / "read.py", script));
    // Straight from here, never through HEALTHGAUGE_RUNNER.
    std::string output;
    FILE* reader = popen(("cd '" + folder.path + "' && python3 read.py report.csv").c_str(), "r");
    ASSERT_NE(reader, nullptr);
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, reader)) > 0) output.append(buffer, got);
    ASSERT_EQ(pclose(reader), 0);
    std::vector<std::vector<std::string>> rows;
    std::stringstream all(output);
    std::string row_text;
    while (std::getline(all, row_text, '\x1e')) {
        std::vector<std::string> fields;
        std::stringstream row(row_text);
        std::string field;
        while (std::getline(row, field, '\x1f')) fields.push_back(field);
        if (!row_text.empty() && row_text.back() == '\x1f') fields.push_back("");
        rows.push_back(fields);
    }
    ASSERT_EQ(rows.size(), shots.size() + 1);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"file", "file_time", "health", "damage", "status",
                                                 "layout", "score", "position"}));
    std::vector<Shot> by_time = shots;
    std::stable_sort(by_time.begin(), by_time.end(),
                     [](const Shot& a, const Shot& b) { return a.time < b.time; });
    for (size_t i = 0; i < by_time.size(); ++i) {
        const Shot& shot = by_time[i];
        const std::vector<std::string>& row = rows[i + 1];
        ASSERT_EQ(row.size(), 8u) << shot.name;
        EXPECT_EQ(row[7], "") << "no position for a screenshot: " << shot.name;
        EXPECT_EQ(row[0], shot.file_field);
        char time[LOCAL_TIME_SIZE];
        ASSERT_TRUE(local_time_text(shot.time, time));
        if (!is_wine_run()) {
            EXPECT_EQ(row[1], time) << shot.name;
        }
        EXPECT_EQ(row[1].size(), 19u) << shot.name;
        if (shot.reading >= 0) {
            EXPECT_EQ(row[2] + "%", percent(shot.reading)) << shot.name;
            EXPECT_EQ(row[3] + "%", percent(1000 - shot.reading)) << shot.name;
            EXPECT_EQ(row[4], "read") << shot.name;
            EXPECT_NE(row[5].find("\xC3\x97"), std::string::npos) << shot.name;
            EXPECT_FALSE(row[6].empty()) << shot.name;
        } else {
            EXPECT_EQ(row[2], "") << shot.name;
            EXPECT_EQ(row[3], "") << shot.name;
            EXPECT_EQ(row[4], shot.reading == -1 ? "load_failed" : "no_layout") << shot.name;
            EXPECT_EQ(row[5], shot.reading == -1 ? "not loaded" : "no match (1280\xC3\x97" "720)")
                << shot.name;
            EXPECT_EQ(row[6], "") << shot.name;
        }
    }
}

TEST_F(EndToEnd, ARunWithRedirectedOutputNeverWaitsForEnter) {
    make_screenshots(folder, {516});
    ChildSetup setup;
    setup.unset.push_back("HEALTHGAUGE_NO_PAUSE");
    auto start = std::chrono::steady_clock::now();
    for (const char* option : {"-last", "-scan", "-nonsense"}) {
        ProgramRun run = run_with_errors(folder.path, {option}, setup);
        EXPECT_EQ(run.console.find("Press Enter"), std::string::npos);
        EXPECT_EQ(run.errors.find("Press Enter"), std::string::npos);
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 30.0);  // a pause would wait 60 s
}
