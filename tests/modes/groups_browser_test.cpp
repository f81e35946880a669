// compare.html of twelve setups (the groups mode) in a real browser:
// headless Chromium renders the page of twelve generated subfolders of
// different sizes, one with markup in its name and one with a long Unicode
// name. The rendered DOM must hold the table, the averages chart and the
// table of pairs with a row for each setup or pair, each setup's histogram
// with its counts and its bars as shares on one scale, the names as plain
// text and no address outside the page; at 1,280 pixels the page must not
// scroll sideways, the histograms must stand three to a row at their full
// size and no name of the averages chart may fall outside it. The page rendered to a PNG is kept
// as test-artifacts/groups.png.
#include "pages/chart.h"
#include "support/browser.h"
#include "support/page_text.h"
#include "support/screenshot_maker.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int TYPE = 5;  // its bar is 240 pixels: every reading below is exact
constexpr int SETUPS = 12;
constexpr int PAIRS = SETUPS * (SETUPS - 1) / 2;

const char MARKUP_NAME[] = "<i>sword & \"x\"";
const char MARKUP_SHOWN[] = "&lt;i&gt;sword &amp; \"x\"";
const char LONG_NAME[] = "2026-11-21 20:10\xE2\x80\x93" "21:45 Gro\xC3\x9F" "schwert der D\xC3\xA4mmerung";

std::string setup_name(int k) {
    if (k == 0) return MARKUP_NAME;
    if (k == 1) return LONG_NAME;
    return "setup " + std::to_string(k + 1);
}

std::string shown_name(int k) { return k == 0 ? MARKUP_SHOWN : setup_name(k); }

// The text of dom from `from` to the next `end`.
std::string part_of(const std::string& dom, const std::string& from, const std::string& end) {
    size_t start = dom.find(from);
    if (start == std::string::npos) return "";
    return dom.substr(start, dom.find(end, start) - start);
}

class BrowserGroups : public testing::Test {
  protected:
    void SetUp() override {
        int status;
        command_output(browser() + " --version >/dev/null 2>&1", &status);
        ASSERT_EQ(status, 0) << browser() << " cannot be run: scripts/install-deps installs it";
        // Setup k: 10 + 2k screenshots, emptier bars the higher k, a miss in
        // every third setup.
        for (int k = 0; k < SETUPS; ++k) {
            std::string name = setup_name(k);
            ASSERT_EQ(mkdir((folder / name).c_str(), 0755), 0) << name;
            for (int i = 0; i < 10 + 2 * k; ++i) {
                int pixels = k % 3 == 0 && i == 0 ? 240 : 200 - 9 * k - (i * 7) % 40;
                readings[k].push_back(pixels * 1000 / 240);
                Screenshot shot = blank_screenshot(1920, 64, 3);
                paint_gauge(shot, TYPE, filled_for_reading(TYPE, static_cast<uint32_t>(readings[k][i])));
                ASSERT_TRUE(write_png(shot, folder / name + "/shot" + std::to_string(i) + ".png"));
            }
        }
        command_output("cd " + folder.path + " && " + HEALTHGAUGE_DEFAULT_PROGRAM + " -groups >/dev/null 2>&1",
                       &status);
        page = read_file(folder / "compare.html");
        ASSERT_EQ(page.compare(0, 15, "<!DOCTYPE html>"), 0) << page.substr(0, 100);
    }
    TempFolder folder;
    std::vector<int> readings[SETUPS];
    std::string page;
};

}  // namespace

TEST_F(BrowserGroups, RenderedDomHasEveryPart) {
    int status;
    std::string dom = command_output(browser_command(folder, "compare.html", "--dump-dom"), &status);
    ASSERT_EQ(status, 0);
    ASSERT_NE(dom.find("<h1>Health gauge comparison of setups</h1>"), std::string::npos)
        << dom.substr(0, 300);
    std::string verdict = part_of(dom, "<p class=\"verdict\"", "</p>");
    EXPECT_NE(verdict.find("setup 12 does the most damage; it beats"), std::string::npos) << verdict;

    // A row of the table and a mark of the averages chart for each setup, a
    // row for each pair; the names as text.
    std::string table = part_of(dom, "<table id=\"setups\">", "</table>");
    EXPECT_EQ(occurrences(table, "<tr"), size_t(1 + SETUPS));
    EXPECT_EQ(occurrences(part_of(dom, "<svg id=\"averages\"", "</svg>"), "<g class=\"setup\""),
              size_t(SETUPS));
    EXPECT_EQ(occurrences(part_of(dom, "<table id=\"pairs\">", "</table>"), "<tr"), size_t(1 + PAIRS));
    for (int k = 0; k < SETUPS; ++k) {
        EXPECT_NE(table.find("<td>" + shown_name(k) + "</td><td class=\"num\">" +
                             std::to_string(readings[k].size()) + "</td>"),
                  std::string::npos)
            << shown_name(k);
    }
    EXPECT_EQ(dom.find("<i>sword"), std::string::npos);
    // Nothing outside the page: no pictures at all, no address.
    EXPECT_EQ(page.find("data:"), std::string::npos);
    for (const char* outside : OUTSIDE_ADDRESSES) {
        EXPECT_EQ(page.find(outside), std::string::npos) << outside;
    }

    // Each setup's histogram: its counts on the report's bins, and every
    // bar's height its share of the setup's screenshots on the one scale.
    double per_share = 0;
    for (int k = 0; k < SETUPS; ++k) {
        std::string chart = part_of(dom, "<figcaption>" + shown_name(k) + " <span", "</svg>");
        ASSERT_FALSE(chart.empty()) << shown_name(k);
        uint32_t expected[HISTOGRAM_BINS] = {};
        for (int reading : readings[k]) ++expected[histogram_bin(1000 - static_cast<uint32_t>(reading))];
        std::vector<std::string> counts = attributes(chart, "<rect class=\"bar\"", "data-count");
        std::vector<std::string> heights = attributes(chart, "<rect class=\"bar\"", "height");
        ASSERT_EQ(counts.size(), size_t(HISTOGRAM_BINS)) << shown_name(k);
        for (int bin = 0; bin < HISTOGRAM_BINS; ++bin) {
            EXPECT_EQ(counts[bin], std::to_string(expected[bin])) << shown_name(k) << " bin " << bin;
            double share = 100.0 * expected[bin] / readings[k].size();
            double height = std::stod(heights[bin]);
            if (share == 0) {
                EXPECT_EQ(height, 0) << shown_name(k) << " bin " << bin;
                continue;
            }
            if (per_share == 0) per_share = height / share;
            EXPECT_NEAR(height, share * per_share, 0.02) << shown_name(k) << " bin " << bin;
        }
    }
}

TEST_F(BrowserGroups, TwelveSetupsAreReadableAt1280Pixels) {
    // The page itself has no script; a copy with one measures it: the page's
    // and the window's widths, the rows the histograms stand in, the
    // histograms drawn narrower than their 392 pixels, and the names of the
    // averages chart that reach outside it.
    std::string measured = page;
    measured.insert(measured.rfind("</body>"),
                    "<script>var tops=new Set(),narrow=0,outside=0;"
                    "document.querySelectorAll('#histograms figure').forEach(function(f){"
                    "tops.add(Math.round(f.getBoundingClientRect().top));"
                    "if(f.querySelector('svg').getBoundingClientRect().width<391)++narrow;});"
                    "var box=document.getElementById('averages').getBoundingClientRect();"
                    "document.querySelectorAll('#averages g.setup text').forEach(function(t){"
                    "var r=t.getBoundingClientRect();if(r.left<box.left||r.right>box.right||"
                    "r.bottom>box.bottom)++outside;});"
                    "document.body.setAttribute('data-measures',"
                    "document.documentElement.scrollWidth+' '+window.innerWidth+' '+tops.size+' '+"
                    "narrow+' '+outside)</script>");
    ASSERT_TRUE(write_file(folder / "measured.html", measured));
    int status;
    std::string dom = command_output(
        browser_command(folder, "measured.html", "--window-size=1280,900 --dump-dom"), &status);
    ASSERT_EQ(status, 0);
    std::vector<std::string> measures = attributes(dom, "<body", "data-measures");
    ASSERT_EQ(measures.size(), 1u) << dom.substr(0, 300);
    int scroll = 0, inner = 0, rows = 0, narrow = 0, outside = 0;
    ASSERT_EQ(sscanf(measures[0].c_str(), "%d %d %d %d %d", &scroll, &inner, &rows, &narrow, &outside), 5);
    EXPECT_EQ(inner, 1280);
    EXPECT_LE(scroll, inner) << "the page scrolls sideways";
    EXPECT_EQ(rows, SETUPS / 3) << "histograms not three to a row";
    EXPECT_EQ(narrow, 0) << "histograms drawn smaller than their size";
    EXPECT_EQ(outside, 0) << "names of the averages chart reach outside it";
    // The long name is cut short in the chart, whole in its title.
    std::string averages = part_of(dom, "<svg id=\"averages\"", "</svg>");
    EXPECT_NE(averages.find("<title>" + std::string(LONG_NAME) + "</title>"), std::string::npos);
    EXPECT_NE(averages.find(std::string(LONG_NAME).substr(0, 26) + "\xE2\x80\xA6</text>"), std::string::npos)
        << averages;

    std::string artifact = std::string(HEALTHGAUGE_ARTIFACT_DIR) + "/groups.png";
    remove(artifact.c_str());
    command_output(browser_command(folder, "compare.html", "--window-size=1280,2600 --screenshot=" + artifact),
                   &status);
    EXPECT_EQ(status, 0);
    write_file(std::string(HEALTHGAUGE_ARTIFACT_DIR) + "/groups.html", page);
    struct stat info;
    EXPECT_EQ(stat(artifact.c_str(), &info), 0) << "no screenshot at " << artifact;
}
