// The report mode run end to end.
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

// ---- the report mode ---------------------------------------------------------

TEST_F(EndToEnd, ReportDoesWhatTheScanDoesAndWritesThePage) {
    std::vector<std::string> names = make_screenshots(folder, {1000, -1, 1000, 900});
    ProgramRun scan = run({"-scan"});
    std::string raw = file("raw.txt"), output = file("output.txt");
    ASSERT_EQ(remove((folder / "raw.txt").c_str()), 0);
    ASSERT_EQ(remove((folder / "output.txt").c_str()), 0);

    EXPECT_EQ(run({"-report"}).console, scan.console + "Saved report.html\nSaved report.csv\nSaved report.xlsx\n");
    EXPECT_EQ(file("raw.txt"), raw);
    EXPECT_EQ(file("output.txt"), output);
    std::string page = file("report.html");
    EXPECT_EQ(page.compare(0, 15, "<!DOCTYPE html>"), 0);
    size_t at = 0;
    for (const std::string& name : names) {  // every file has its row, by time (they were made in order)
        at = page.find("<td class=\"name\">" + name + "</td>", at);
        EXPECT_NE(at, std::string::npos) << name;
    }
    EXPECT_NE(page.find("<tr><td>Health bars detected:</td><td>3</td></tr>"), std::string::npos);

    // -r is the same, and the page is replaced.
    ASSERT_TRUE(write_file(folder / "report.html", "old"));
    EXPECT_EQ(run({"-R"}).console, scan.console + "Saved report.html\nSaved report.csv\nSaved report.xlsx\n");
    EXPECT_EQ(file("report.html"), page);
}

TEST_F(EndToEnd, ReportOfAScanThatReadsNothing) {
    std::vector<std::string> names = make_screenshots(folder, {-1, -1});
    ASSERT_TRUE(write_file(folder / "output.txt", "earlier summary\r\n"));
    EXPECT_EQ(run({"-report"}).console,
              std::string(PROCESSING) + "Error: Failed to load " + names[0] +
                  "\nError: Failed to load " + names[1] +
                  "\nSaved raw.txt with 0 percentages\n"
                  "Error: Didn't find any health bar gauges.\n"
                  "Saved report.html\nSaved report.csv\nSaved report.xlsx\n");
    EXPECT_EQ(file("output.txt"), "earlier summary\r\n");
    std::string page = file("report.html");
    EXPECT_NE(page.find("Error: Didn't find any health bar gauges."), std::string::npos);
    for (const std::string& name : names) {
        EXPECT_NE(page.find("<td class=\"name\">" + name +
                            "</td><td class=\"time\">"),
                  std::string::npos);
    }
    EXPECT_EQ(page.find("<svg"), std::string::npos);
}

TEST_F(EndToEnd, ReportThatCannotBeWritten) {
    make_screenshots(folder, {500, 600});
    ProgramRun scan = run({"-scan"});
    ASSERT_EQ(mkdir((folder / "report.html").c_str(), 0755), 0);
    ASSERT_EQ(remove((folder / "raw.txt").c_str()), 0);
    ASSERT_EQ(remove((folder / "output.txt").c_str()), 0);
    EXPECT_EQ(run({"-r"}).console,
              scan.console + "Error: Failed to write report.html.\nSaved report.csv\nSaved report.xlsx\n");
    EXPECT_EQ(file("raw.txt"), "50.0%\r\n40.0%\r\n");
    EXPECT_EQ(file("output.txt").compare(0, 24, "Health bars detected: 2\r"), 0);
}
