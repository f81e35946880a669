// compare.html in a real browser: headless Chromium renders the page of two
// generated folders. The rendered DOM must hold the table, the verdict, both
// folders' histogram bars with their counts on the report's bins, both
// cumulative curves and the folder names as plain text; the page rendered to
// a PNG (kept under the build folder as test-artifacts/compare.png) must show
// both folders' colours; and the page must name nothing outside itself.
#include "pages/chart.h"
#include "support/browser.h"
#include "support/page_text.h"
#include "support/screenshot_maker.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <stb_image.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int TYPE = 5;  // its bar is 240 pixels: every reading below is exact

// Folder names that HTML must not take for markup (no single quote: the
// shell command quotes them with it).
const char NAME_A[] = "old <i>gear & \"x\"";
const char NAME_B[] = "new gear";

class BrowserCompare : public testing::Test {
  protected:
    void SetUp() override {
        int status;
        command_output(browser() + " --version >/dev/null 2>&1", &status);
        ASSERT_EQ(status, 0) << browser() << " cannot be run: scripts/install-deps installs it";
        // A: 40 screenshots, B: 36 with 30 pixels less bar; misses in both.
        for (int i = 0; i < 40; ++i) readings[0].push_back(i % 8 == 0 ? 1000 : (90 + i * 37 % 120) * 1000 / 240);
        for (int i = 0; i < 36; ++i) readings[1].push_back(i % 12 == 0 ? 1000 : (60 + i * 41 % 120) * 1000 / 240);
        const char* names[2] = {NAME_A, NAME_B};
        for (int f = 0; f < 2; ++f) {
            ASSERT_EQ(mkdir((folder / names[f]).c_str(), 0755), 0);
            for (size_t i = 0; i < readings[f].size(); ++i) {
                Screenshot shot = blank_screenshot(1920, 64, 3);
                paint_gauge(shot, TYPE, filled_for_reading(TYPE, static_cast<uint32_t>(readings[f][i])));
                ASSERT_TRUE(write_png(shot, folder / names[f] + "/shot" + std::to_string(i) + ".png"));
            }
        }
        command_output("cd " + folder.path + " && " + HEALTHGAUGE_DEFAULT_PROGRAM + " -compare '" +
                           NAME_A + "' '" + NAME_B + "' >/dev/null",
                       &status);
        page = read_file(folder / "compare.html");
        ASSERT_EQ(page.compare(0, 15, "<!DOCTYPE html>"), 0) << page.substr(0, 100);
    }
    TempFolder folder;
    std::vector<int> readings[2];
    std::string page;
};

}  // namespace

TEST_F(BrowserCompare, RenderedDomHasEveryPart) {
    int status;
    std::string dom = command_output(browser_command(folder, "compare.html", "--dump-dom"), &status);
    ASSERT_EQ(status, 0);
    ASSERT_NE(dom.find("<h1>Health gauge comparison</h1>"), std::string::npos) << dom.substr(0, 300);

    // The table: a header and three rows of five cells; the verdict.
    EXPECT_EQ(occurrences(dom, "<tr>"), size_t(1 + 3 + 1 + 7));  // and the folders' table
    for (const char* label : {"Average damage", "Median damage", "Complete misses",
                              "95% interval of B", "Middle half of the damages", "Weak matches"}) {
        EXPECT_NE(dom.find(label), std::string::npos) << label;
    }
    EXPECT_NE(dom.find("<p class=\"verdict\" id=\"verdict\">new gear does more damage than old &lt;i&gt;gear &amp; \"x\" (p = 0.0"),
              std::string::npos);

    // Both folders' bars on the report's 21 bins, with their counts.
    for (int f = 0; f < 2; ++f) {
        uint32_t expected[HISTOGRAM_BINS] = {};
        for (int reading : readings[f]) ++expected[histogram_bin(1000 - static_cast<uint32_t>(reading))];
        std::string tag = std::string("<rect class=\"bar ") + (f ? "b" : "a") + "\"";
        std::vector<std::string> counts = attributes(dom, tag, "data-count");
        ASSERT_EQ(counts.size(), size_t(HISTOGRAM_BINS)) << tag;
        for (int bin = 0; bin < HISTOGRAM_BINS; ++bin) {
            EXPECT_EQ(counts[bin], std::to_string(expected[bin])) << tag << " bin " << bin;
        }
        std::vector<std::string> curve = attributes(dom, std::string("<path class=\"curve ") + (f ? "b" : "a"), "data-count");
        ASSERT_EQ(curve.size(), size_t(1));
        EXPECT_EQ(curve[0], std::to_string(readings[f].size()));
    }
    // The names as text, never as markup.
    EXPECT_NE(dom.find("<b>old &lt;i&gt;gear &amp; \"x\"</b>"), std::string::npos);
    EXPECT_EQ(dom.find("<i>gear"), std::string::npos);
}

TEST_F(BrowserCompare, RenderedPageShowsBothFolders) {
    std::string artifact = std::string(HEALTHGAUGE_ARTIFACT_DIR) + "/compare.png";
    remove(artifact.c_str());
    int status;
    command_output(browser_command(folder, "compare.html", "--window-size=1400,1400 --screenshot=" + artifact),
                   &status);
    ASSERT_EQ(status, 0);
    write_file(std::string(HEALTHGAUGE_ARTIFACT_DIR) + "/compare.html", page);
    int width = 0, height = 0, channels = 0;
    uint8_t* pixels = stbi_load(artifact.c_str(), &width, &height, &channels, 3);
    ASSERT_NE(pixels, nullptr) << "no screenshot at " << artifact;
    // The curves' strokes in A's blue and B's orange, and text.
    size_t ink = 0, blue = 0, orange = 0;
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        const uint8_t* p = pixels + 3 * i;
        if (p[0] < 200 || p[1] < 200 || p[2] < 200) ++ink;
        if (abs(p[0] - 0x2F) < 8 && abs(p[1] - 0x6D) < 8 && abs(p[2] - 0xB3) < 8) ++blue;
        if (abs(p[0] - 0xD0) < 8 && abs(p[1] - 0x70) < 8 && abs(p[2] - 0x2A) < 8) ++orange;
    }
    stbi_image_free(pixels);
    EXPECT_GT(ink, static_cast<size_t>(width) * height / 40);
    EXPECT_GT(blue, 300u);
    EXPECT_GT(orange, 300u);
}

TEST_F(BrowserCompare, PageIsSelfContained) {
    EXPECT_EQ(page.find("data:"), std::string::npos);  // no pictures at all
    for (const char* outside : OUTSIDE_ADDRESSES) {
        EXPECT_EQ(page.find(outside), std::string::npos) << outside;
    }
}
