// The report page in a real browser: headless Chromium renders report.html
// of a generated folder. The rendered DOM must hold the histogram's bars with
// the readings' counts and a row for every file (hostile names as plain
// text); the page rendered to a PNG (kept under the build folder as
// test-artifacts/report.png) must not be blank; and every picture of the page
// must be a data: PNG that decodes, with no address outside the page.
//
// HEALTHGAUGE_BROWSER names the browser (support/browser.h).
#include "pages/chart.h"
#include "pages/html.h"
#include "support/browser.h"
#include "support/page_text.h"
#include "support/screenshot_maker.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <dirent.h>
#include <map>
#include <sys/stat.h>
#include <stb_image.h>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

// Layout 5 has a 240-pixel bar: every reading used below is exact with it.
constexpr int TYPE = 5;

std::vector<uint8_t> base64_decode(const std::string& text) {
    std::vector<uint8_t> bytes;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        int value;
        if (c >= 'A' && c <= 'Z') value = c - 'A';
        else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
        else if (c >= '0' && c <= '9') value = c - '0' + 52;
        else if (c == '+') value = 62;
        else if (c == '/') value = 63;
        else break;  // padding ends it
        bits = bits << 6 | static_cast<uint32_t>(value);
        if ((count += 6) >= 8) {
            count -= 8;
            bytes.push_back(static_cast<uint8_t>(bits >> count));
        }
    }
    return bytes;
}

// A file of the folder: its name, and its reading or -1 (not an image) or
// -2 (an image that matches no layout).
struct FolderFile {
    std::string name;
    int reading;
};

// The name as the rendered DOM serialises it: text with & < > escaped,
// quotes as they are, invalid bytes as U+FFFD.
std::string dom_text(const std::string& name) {
    std::vector<char> out(HTML_ESCAPED_SIZE(name.size()));
    html_escape(name.c_str(), out.data(), out.size());
    std::string text = out.data();
    for (const char* quote : {"&quot;", "&#39;"}) {
        for (size_t at; (at = text.find(quote)) != std::string::npos;) {
            text.replace(at, strlen(quote), quote[1] == 'q' ? "\"" : "'");
        }
    }
    return text;
}

class BrowserReport : public testing::Test {
  protected:
    void SetUp() override {
        int status;
        command_output(browser() + " --version >/dev/null 2>&1", &status);
        ASSERT_EQ(status, 0) << browser() << " cannot be run: scripts/install-deps installs it";

        // Readings (exact with the 240-pixel bar) at the first bins' edges and
        // elsewhere, and files that fail.
        std::vector<int> readings = {1000, 1000, 1000, 995, 950, 950, 900, 500, 500, 500,
                                     500,  500,  0,    0,   4,   -1,  -2,  750, 800, 1000};
        const std::vector<std::string> odd_names = {
            "<img src=x onerror=alert(1)><script>.png", "a&b \"quoted\" 'single'.png",
            "bad\xFF\xFE" "bytes.png", "sk\xC3\xA4rmbild.png"};
        for (size_t i = 0; i < readings.size(); ++i) {
            std::string name = i < odd_names.size() ? odd_names[i]
                                                     : "shot" + std::to_string(1000 + i) + ".png";
            files.push_back({name, readings[i]});
            ASSERT_TRUE(write_file_for(files.back())) << name;
            ASSERT_TRUE(set_time(folder / name, 1767225600L + static_cast<long>(i) * 5400));
        }
        int run_status;
        command_output("cd " + folder.path + " && " + HEALTHGAUGE_DEFAULT_PROGRAM +
                           " -report >/dev/null",
                       &run_status);
        page = read_file(folder / "report.html");
        ASSERT_EQ(page.compare(0, 15, "<!DOCTYPE html>"), 0) << page.substr(0, 100);
    }

    bool write_file_for(const FolderFile& file) {
        if (file.reading == -1) return write_file(folder / file.name, "not a picture");
        Screenshot shot = blank_screenshot(1920, 64, 3);
        if (file.reading >= 0) {
            paint_gauge(shot, TYPE, filled_for_reading(TYPE, static_cast<uint32_t>(file.reading)));
        }
        return write_png(shot, folder / file.name);
    }

    size_t read_count() const {
        size_t count = 0;
        for (const FolderFile& file : files) count += file.reading >= 0;
        return count;
    }

    TempFolder folder;
    std::vector<FolderFile> files;
    std::string page;
};

}  // namespace

TEST_F(BrowserReport, RenderedDomHasTheHistogramAndEveryRow) {
    int status;
    std::string dom = command_output(browser_command(folder, "report.html", "--dump-dom"), &status);
    ASSERT_EQ(status, 0);
    ASSERT_NE(dom.find("<h1>Health gauge report</h1>"), std::string::npos) << dom.substr(0, 300);

    // The bars: 21, with the readings' counts and heights in proportion.
    uint32_t expected[HISTOGRAM_BINS] = {};
    for (const FolderFile& file : files) {
        if (file.reading >= 0) ++expected[histogram_bin(1000 - static_cast<uint32_t>(file.reading))];
    }
    std::vector<std::string> counts = attributes(dom, "<rect class=\"bar", "data-count");
    std::vector<std::string> heights = attributes(dom, "<rect class=\"bar", "height");
    ASSERT_EQ(counts.size(), size_t(HISTOGRAM_BINS));
    ASSERT_EQ(heights.size(), size_t(HISTOGRAM_BINS));
    double per_screenshot = atof(heights[0].c_str()) / expected[0];
    for (int bin = 0; bin < HISTOGRAM_BINS; ++bin) {
        EXPECT_EQ(counts[bin], std::to_string(expected[bin])) << "bin " << bin;
        EXPECT_NEAR(atof(heights[bin].c_str()), expected[bin] * per_screenshot, 0.02) << bin;
    }
    EXPECT_EQ(occurrences(dom, "<circle "), read_count());  // one point per reading

    // Every file has its row, by file time (the order of `files`), its name
    // as plain text, whatever the listing's order.
    EXPECT_EQ(occurrences(dom, "<tr class=\"file"), files.size());
    size_t at = 0;
    for (const FolderFile& file : files) {
        const std::string& name = file.name;
        at = dom.find("<td class=\"name\">" + dom_text(name) + "</td>", at);
        ASSERT_NE(at, std::string::npos) << "no row for " << name;
    }
    EXPECT_NE(dom.find("&lt;img src=x onerror=alert(1)&gt;&lt;script&gt;.png"), std::string::npos);
    EXPECT_EQ(dom.find("<img src=\"x\""), std::string::npos);
    EXPECT_NE(dom.find("bad\xEF\xBF\xBD\xEF\xBF\xBD" "bytes.png"), std::string::npos);
    EXPECT_EQ(dom.find("<script"), std::string::npos);
    EXPECT_EQ(occurrences(dom, "Error: Failed to load"), size_t(1));
    EXPECT_EQ(occurrences(dom, "Warning: Could not find matching health bar type"), size_t(1));
}

TEST_F(BrowserReport, RenderedPageIsNotBlank) {
    std::string artifact = std::string(HEALTHGAUGE_ARTIFACT_DIR) + "/report.png";
    remove(artifact.c_str());
    int status;
    command_output(browser_command(folder, "report.html", "--window-size=1400,2200 --screenshot=" + artifact),
                   &status);
    ASSERT_EQ(status, 0);
    write_file(std::string(HEALTHGAUGE_ARTIFACT_DIR) + "/report.html", page);
    int width = 0, height = 0, channels = 0;
    uint8_t* pixels = stbi_load(artifact.c_str(), &width, &height, &channels, 3);
    ASSERT_NE(pixels, nullptr) << "no screenshot at " << artifact;
    EXPECT_EQ(width, 1400);
    EXPECT_EQ(height, 2200);
    // Text, charts and gauge pictures: many pixels that are not the white
    // ground, the histogram's bar colour, and the magenta end marks.
    size_t ink = 0, bars = 0, marks = 0;
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        const uint8_t* p = pixels + 3 * i;
        if (p[0] < 200 || p[1] < 200 || p[2] < 200) ++ink;
        if (p[0] == 0xC8 && p[1] == 0x86 && p[2] == 0x2A) ++bars;
        if (p[0] == 0xFF && p[1] == 0x00 && p[2] == 0xFF) ++marks;
    }
    stbi_image_free(pixels);
    EXPECT_GT(ink, static_cast<size_t>(width) * height / 20);
    EXPECT_GT(bars, 1000u);
    EXPECT_GT(marks, 100u);
}

TEST_F(BrowserReport, PageIsSelfContained) {
    // Every address in the page is a data: PNG that decodes, in the size
    // that its crop of the 240-pixel bar has.
    std::vector<std::string> sources = attributes(page, "<img", "src");
    EXPECT_EQ(sources.size(), read_count());
    for (const std::string& source : sources) {
        const std::string prefix = "data:image/png;base64,";
        ASSERT_EQ(source.compare(0, prefix.size(), prefix), 0) << source.substr(0, 60);
        std::vector<uint8_t> png = base64_decode(source.substr(prefix.size()));
        int width = 0, height = 0, channels = 0;
        uint8_t* pixels = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width,
                                                &height, &channels, 3);
        ASSERT_NE(pixels, nullptr);
        stbi_image_free(pixels);
        EXPECT_EQ(width, 240 + 2 * 12);
        EXPECT_EQ(height, 25);
    }
    EXPECT_EQ(occurrences(page, "data:"), sources.size());
    // Without the pictures' data, nothing in the page names a place to
    // fetch from or a way to fetch.
    std::string rest = page;
    for (size_t at; (at = rest.find("data:")) != std::string::npos;) {
        rest.erase(at, rest.find('"', at) - at);
    }
    // The two links: report.xlsx and report.csv beside the page.
    EXPECT_EQ(occurrences(rest, "href="), size_t(2));
    for (std::string link : {"<a href=\"report.xlsx\">", "<a href=\"report.csv\">"}) {
        ASSERT_EQ(occurrences(rest, link), size_t(1)) << link;
        rest.erase(rest.find(link), link.size());
    }
    for (const char* outside : OUTSIDE_ADDRESSES) {
        EXPECT_EQ(rest.find(outside), std::string::npos) << outside;
    }
}

// ---- Two play sessions a day apart, and the page's width -------------------

namespace {

class BrowserSessions : public testing::Test {
  protected:
    void SetUp() override {
        int status;
        command_output(browser() + " --version >/dev/null 2>&1", &status);
        ASSERT_EQ(status, 0) << browser() << " cannot be run: scripts/install-deps installs it";
        // An evening: 8 screenshots 5 minutes apart; the next evening: 6,
        // 4 minutes apart. Names that list in another order than time.
        const long evening = 1767290400L;  // 2026-01-01 18:00 UTC
        for (int i = 0; i < 14; ++i) {
            long time = i < 8 ? evening + i * 300 : evening + 86400 + 7200 + (i - 8) * 240;
            std::string name = "shot" + std::to_string((i * 7) % 14 + 10) + "_" +
                               std::to_string(i) + ".png";
            Screenshot shot = blank_screenshot(1920, 64, 3);
            uint32_t reading = static_cast<uint32_t>(1000 - (i * 137) % 700);
            reading = reading / 25 * 25;  // exact with the 240-pixel bar
            paint_gauge(shot, TYPE, filled_for_reading(TYPE, reading));
            ASSERT_TRUE(write_png(shot, folder / name));
            ASSERT_TRUE(set_time(folder / name, time));
            names.push_back(name);
        }
        int run_status;
        command_output("cd " + folder.path + " && TZ=UTC " + HEALTHGAUGE_DEFAULT_PROGRAM +
                           " -report >/dev/null",
                       &run_status);
        page = read_file(folder / "report.html");
        ASSERT_EQ(page.compare(0, 15, "<!DOCTYPE html>"), 0) << page.substr(0, 100);
    }
    TempFolder folder;
    std::vector<std::string> names;  // in time order
    std::string page;
};

}  // namespace

TEST_F(BrowserSessions, TwoPanelsAndTheTableInTimeOrder) {
    int status;
    std::string dom = command_output(browser_command(folder, "report.html", "--dump-dom"), &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(attributes(dom, "<g class=\"session\"", "data-count"),
              (std::vector<std::string>{"8", "6"}));
    EXPECT_EQ(attributes(dom, "<g class=\"session\"", "data-start"),
              (std::vector<std::string>{"2026-01-01 18:00:00", "2026-01-02 20:00:00"}));
    EXPECT_EQ(attributes(dom, "<g class=\"session\"", "data-end"),
              (std::vector<std::string>{"2026-01-01 18:35:00", "2026-01-02 20:20:00"}));
    EXPECT_EQ(occurrences(dom, "<path class=\"line\""), size_t(2));  // one line per session
    EXPECT_NE(dom.find(">18:00\xE2\x80\x93" "18:35<"), std::string::npos);
    EXPECT_NE(dom.find(">20:00\xE2\x80\x93" "20:20<"), std::string::npos);
    size_t at = 0;
    for (const std::string& name : names) {
        at = dom.find("<td class=\"name\">" + name + "</td>", at);
        ASSERT_NE(at, std::string::npos) << name << " out of time order";
    }
    for (const char* figure : {"Median damage:", "10th percentile of damage:",
                               "90th percentile of damage:", "Screenshots that show damage:",
                               "Folder:", "Time span:"}) {
        EXPECT_NE(dom.find(figure), std::string::npos) << figure;
    }
}

TEST_F(BrowserSessions, NoSidewaysScrollingAt1280Pixels) {
    // The page itself has no script; a copy with one measures it.
    std::string measured = page;
    measured.insert(measured.rfind("</body>"),
                    "<script>document.body.setAttribute('data-widths',"
                    "document.documentElement.scrollWidth+' '+window.innerWidth)</script>");
    ASSERT_TRUE(write_file(folder / "report.html", measured));
    for (int width : {1280, 1024}) {
        int status;
        std::string dom = command_output(
            browser_command(folder, "report.html", "--window-size=" + std::to_string(width) + ",900 --dump-dom"),
            &status);
        ASSERT_EQ(status, 0);
        std::vector<std::string> widths = attributes(dom, "<body", "data-widths");
        ASSERT_EQ(widths.size(), 1u) << dom.substr(0, 300);
        int scroll = 0, inner = 0;
        ASSERT_EQ(sscanf(widths[0].c_str(), "%d %d", &scroll, &inner), 2);
        EXPECT_EQ(inner, width);
        EXPECT_LE(scroll, inner) << "the page scrolls sideways at " << width << " pixels";
    }
    // The picture of the two sessions, kept with the other artifacts.
    ASSERT_TRUE(write_file(folder / "report.html", page));
    std::string artifact = std::string(HEALTHGAUGE_ARTIFACT_DIR) + "/report-sessions.png";
    int status;
    command_output(browser_command(folder, "report.html", "--window-size=1280,1400 --screenshot=" + artifact),
                   &status);
    EXPECT_EQ(status, 0);
}

TEST_F(BrowserSessions, TwentyThousandScreenshotsRenderInUnderFiveSeconds) {
    // The page of a big folder, made from the report's own pieces is slow to
    // build here; the time chart is what grows, so it alone is measured in
    // a page of its own: 20,000 points in 40 sessions.
    std::vector<TimePoint> points;
    for (uint32_t i = 0; i < 20000; ++i) {
        points.push_back({1767290400 + (i / 500) * 7200 + (i % 500) * 10, (i * 7919) % 1001});
    }
    FILE* file = fopen((folder / "report.html").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fprintf(file, "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>");
    write_timeline_svg(file, points.data(), static_cast<uint32_t>(points.size()));
    fprintf(file, "</body></html>");
    fclose(file);
    struct stat info;
    ASSERT_EQ(stat((folder / "report.html").c_str(), &info), 0);
    EXPECT_LT(info.st_size, 2 << 20);
    // The browser's start alone, on an empty page, is taken off: on a busy
    // machine it takes several seconds by itself.
    auto timed = [&](std::string* dom) {
        auto start = std::chrono::steady_clock::now();
        int status;
        *dom = command_output(browser_command(folder, "report.html", "--dump-dom"), &status);
        EXPECT_EQ(status, 0);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::string dom, empty;
    double seconds = timed(&dom);
    ASSERT_TRUE(write_file(folder / "report.html", "<!DOCTYPE html><html><body></body></html>"));
    double start_up = timed(&empty);
    EXPECT_EQ(occurrences(dom, "<circle "), size_t(20000));
    EXPECT_LT(seconds - start_up, 5.0) << seconds << " s in all, " << start_up << " s to start";
}
