// report.xlsx end to end: the workbook read back with openpyxl
// (report_xlsx_check.py holds it against report.csv), a workbook that cannot
// be written, and the numbers as LibreOffice in German takes them.
#include "pages/local_time.h"
#include "support/program_run.h"
#include "support/workbook_check.h"

#include <algorithm>
#include <set>
#include <sys/stat.h>

namespace {

const char SAVED_REPORT[] = "Saved report.html\nSaved report.csv\nSaved report.xlsx\n";

struct XlsxShot {
    std::string name;       // as written
    int reading;            // -1: not a PNG, -2: no layout
    long time;
    std::string cell;       // the name as the workbook's cell holds it (\n shown as \\n)
};

}  // namespace

TEST_F(EndToEnd, ReportXlsxReadsBackTypedAsReportCsvHoldsIt) {
    if (!openpyxl_present()) {
#ifdef HEALTHGAUGE_OPENPYXL_AT_CONFIGURE
        FAIL() << "python3-openpyxl was present when the build was configured";
#else
        GTEST_SKIP() << "no python3-openpyxl";
#endif
    }
    std::vector<XlsxShot> shots = {
        {"plain.png", 516, 1700000300, "plain.png"},
        {"a,b.png", 900, 1700000100, "a,b.png"},
        {"スクショ.png", 1000, 1700000200, "スクショ.png"},
        {"=1+2.png", 0, 1700000400, "=1+2.png"},
        {"@sum(a).png", 333, 1700000450, "@sum(a).png"},
        {" -3.png", 1, 1700000460, " -3.png"},
        {"broken.png", -1, 1700000500, "broken.png"},
        {"dark.png", -2, 1700000050, "dark.png"},
    };
    if (!is_wine_run()) {  // names Windows does not allow
        shots.push_back({"say \"hi\".png", 250, 1700000600, "say \"hi\".png"});
        shots.push_back({"two\nlines.png", 750, 1700000700, "two\\nlines.png"});
        shots.push_back({"bad\xFF.png", 640, 1700000800, "bad\xEF\xBF\xBD.png"});
        shots.push_back({"bell\x07.png", 10, 1700000900, "bell\xEF\xBF\xBD.png"});
    }
    for (const XlsxShot& shot : shots) write_report_shot(folder / shot.name, shot.reading, shot.time);
    ProgramRun report = run({"-report"});
    EXPECT_NE(report.console.find(SAVED_REPORT), std::string::npos) << report.console;

    std::stable_sort(shots.begin(), shots.end(),
                     [](const XlsxShot& a, const XlsxShot& b) { return a.time < b.time; });
    std::string expected = "rows " + std::to_string(shots.size()) + "\n";
    for (const XlsxShot& shot : shots) expected += shot.cell + "\n";
    EXPECT_EQ(check_workbook(folder.path), expected);
}

TEST_F(EndToEnd, ReportXlsxThatCannotBeWrittenLeavesWhatWasThere) {
    make_screenshots(folder, {500, 600});
    struct Case {
        const char* what;
        bool posix_only;
        std::function<void()> arrange;
        ChildSetup setup;
    };
    ChildSetup no_growth;
    no_growth.no_file_growth = true;
    std::vector<Case> cases = {
        {"a folder in its place", false,
         [&] { ASSERT_EQ(mkdir((folder / "report.xlsx").c_str(), 0755), 0); }, {}},
        {"a full disk", true,
         [&] { ASSERT_EQ(symlink("/dev/full", (folder / "report.xlsx").c_str()), 0); }, {}},
        {"no file may grow", true, [&] { ASSERT_TRUE(write_file(folder / "report.xlsx", "old")); },
         no_growth},
    };
    for (const Case& c : cases) {
        if (c.posix_only && is_wine_run()) continue;
        remove((folder / "report.xlsx").c_str());
        rmdir((folder / "report.xlsx").c_str());
        c.arrange();
        struct stat before;
        ASSERT_EQ(lstat((folder / "report.xlsx").c_str(), &before), 0) << c.what;
        ProgramRun run = this->run({"-report"}, c.setup);
        EXPECT_NE(run.console.find("Error: Failed to write report.xlsx.\n"), std::string::npos)
            << c.what << ": " << run.console;
        struct stat after;
        ASSERT_EQ(lstat((folder / "report.xlsx").c_str(), &after), 0) << c.what;
        EXPECT_EQ(after.st_mode, before.st_mode) << c.what;
        if (S_ISREG(before.st_mode)) {
            EXPECT_EQ(file("report.xlsx"), "old") << c.what;
        }
        for (const std::string& name : folder_names(folder.path)) {
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << c.what << ": " << name << " left behind";
        }
    }
}

// LibreOffice with German settings (a comma as the decimal mark) converts the
// workbook to CSV as the cells are shown: numbers come out with a comma, a
// number kept as text would keep its point.
TEST_F(EndToEnd, ReportXlsxNumbersStayNumbersInGermanLibreOffice) {
    if (is_wine_run()) GTEST_SKIP() << "the Linux LibreOffice, once";
    std::string output;
    if (!run_here("command -v soffice", &output)) {
#ifdef HEALTHGAUGE_LIBREOFFICE_AT_CONFIGURE
        FAIL() << "LibreOffice was present when the build was configured";
#else
        GTEST_SKIP() << "no LibreOffice (soffice)";
#endif
    }
    ASSERT_TRUE(write_file(folder / "=1+2.png", game_png_with_reading(516)));
    ASSERT_TRUE(write_file(folder / "スクショ.png", game_png_with_reading(875)));
    ASSERT_TRUE(set_time(folder / "=1+2.png", 1700000000));
    ASSERT_TRUE(set_time(folder / "スクショ.png", 1700000100));
    run({"-report"});
    // A private profile: cases and builds may convert at the same time.
    std::string convert = "cd '" + folder.path + "' && mkdir -p converted && "
                          "LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 soffice --headless "
                          "-env:UserInstallation=file://" + folder.path + "/profile "
                          "--convert-to 'csv:Text - txt - csv (StarCalc):59,34,76,1' "
                          "--outdir converted report.xlsx";
    // LibreOffice's first start on a new profile now and then ends after
    // making the profile, converting nothing: a second start converts.
    for (int attempt = 0; attempt < 2 && file("converted/report.csv") == "<missing>"; ++attempt) {
        ASSERT_TRUE(run_here(convert, &output)) << output;
    }
    std::string csv = file("converted/report.csv");
    ASSERT_NE(csv, "<missing>") << output;
    char time[LOCAL_TIME_SIZE];
    ASSERT_TRUE(local_time_text(1700000000, time));
    // The first sheet, one line a row; text cells in quotes, numbers bare.
    EXPECT_EQ(csv.substr(0, csv.find('\n', csv.find('\n') + 1)),
              std::string("\"file\";\"file_time\";\"health\";\"damage\";\"status\";\"layout\";\"score\";\"position\"\n"
                          "\"=1+2.png\";") + time + ";51,6;48,4;\"read\";\"1920\xC3\x97" "1080 C\";0;");
    EXPECT_NE(csv.find("\"\xE3\x82\xB9\xE3\x82\xAF\xE3\x82\xB7\xE3\x83\xA7.png\";"), std::string::npos) << csv;
    EXPECT_NE(csv.find(";87,5;12,5;"), std::string::npos) << csv;
}
