// The top-rows reader against stb_image's whole decode, as tables of
// cases: the bytes of the needed rows and columns (zeros right of them),
// the reading, the message and the report's gauge picture, on screenshots
// of both benchmark corpora's kinds, every filter type, sizes at the
// layouts' limits, chunk boundaries inside rows, files cut short, and the
// files it must leave to the whole decode.
#include "reading/gauge.h"
#include "modes/messages.h"
#include "reading/png/png_rows.h"
#include "support/png_writer.h"
#include "support/pngsuite.h"
#include "reading/screenshot.h"
#include "support/screenshot_maker.h"
#include "reading/stb_image_setup.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

Screenshot scene(int width, int height, int channels, int type, int filled, uint32_t seed = 5) {
    Screenshot shot = blank_screenshot(width, height, channels);
    add_scenery(shot, seed + static_cast<uint32_t>(width + height + channels));
    paint_gauge(shot, type, filled);
    return shot;
}

std::string encode(const Screenshot& shot, int filter, int depth = 8, size_t idat_size = 1 << 16, int level = 6) {
    PngOptions options;
    options.filter = filter;
    options.depth = depth;
    options.idat_size = idat_size;
    options.level = level;
    return encode_png(shot, options);
}

uint32_t half_width(int width, int) { return static_cast<uint32_t>(width / 2); }

// What read_gauge and the whole decode give: reading, message and picture.
struct Reading {
    GaugeResult result;
    std::string console;
    GaugeCrop crop;
};

Reading read_with(GaugeResult (*read)(const char*, GaugeCrop*), const std::string& path) {
    Reading reading;
    memset(&reading.crop, 0, sizeof reading.crop);
    reading.result = read(path.c_str(), &reading.crop);
    testing::internal::CaptureStdout();
    print_read_failure(reading.result, path.c_str());
    reading.console = testing::internal::GetCapturedStdout();
    return reading;
}

struct ShotCase {
    int width, height, channels, type, depth, filter;
    size_t idat_size;
};

std::string describe(const ShotCase& c) {
    return std::to_string(c.width) + "x" + std::to_string(c.height) + "x" + std::to_string(c.channels) +
           " layout " + std::to_string(c.type) + " depth " + std::to_string(c.depth) + " filter " +
           std::to_string(c.filter) + " IDAT " + std::to_string(c.idat_size);
}

class TopRowsReader : public testing::Test {
  protected:
    std::string path() const { return folder / "shot.png"; }

    // Decodes the file's top rows; true when they were taken. Taken rows
    // must equal stb_image's whole decode of `whole_png` (the same file
    // unless it was cut) over the needed rows and columns, with zeros right
    // of those columns.
    bool top_rows_match(const std::string& png, const std::string& whole_png, BytesNeeded bytes,
                        ColumnsNeeded columns, const std::string& what) {
        EXPECT_TRUE(write_file(path(), png)) << what;
        FILE* file = fopen(path().c_str(), "rb");
        if (!file) return false;
        TopRows rows;
        bool taken = decode_top_rows(file, bytes, columns, &rows);
        fclose(file);
        if (!taken) return false;
        int width, height, channels;
        stbi_uc* whole = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(whole_png.data()),
                                               static_cast<int>(whole_png.size()), &width, &height,
                                               &channels, 0);
        EXPECT_NE(whole, nullptr) << what;
        if (whole) {
            EXPECT_EQ(rows.image.width, width) << what;
            EXPECT_EQ(rows.image.height, height) << what;
            EXPECT_EQ(rows.image.channels, channels) << what;
            size_t row_bytes = static_cast<size_t>(width) * static_cast<size_t>(channels);
            uint32_t wanted = columns ? columns(width, height) : 0;
            size_t length = wanted == 0 || wanted > static_cast<uint32_t>(width)
                                ? row_bytes
                                : wanted * static_cast<size_t>(channels);
            uint64_t needed_rows = (bytes(width, height, channels) + row_bytes - 1) / row_bytes;
            if (needed_rows > static_cast<uint64_t>(height)) needed_rows = static_cast<uint64_t>(height);
            EXPECT_EQ(rows.image.size, needed_rows * row_bytes) << what;
            std::vector<uint8_t> zeros(row_bytes - length + 1, 0);
            for (size_t row = 0; row < rows.image.size / row_bytes; ++row) {
                const uint8_t* got = rows.image.pixels + row * row_bytes;
                bool same = memcmp(got, whole + row * row_bytes, length) == 0 &&
                            memcmp(got + length, zeros.data(), row_bytes - length) == 0;
                EXPECT_TRUE(same) << what << ", row " << row;
                if (!same) break;
            }
            stbi_image_free(whole);
        }
        free_top_rows(&rows);
        return true;
    }

    // Both paths through read_gauge give the same result and message. The
    // gauge picture of top rows shows what lies in them and black below;
    // when the top rows were not `taken`, the whole decode's picture.
    void expect_same_reading(const std::string& what, bool taken) {
        Reading fast = read_with(read_gauge, path());
        Reading whole = read_with(read_gauge_decoded_whole, path());
        EXPECT_EQ(fast.result.status, whole.result.status) << what;
        EXPECT_EQ(fast.result.reading, whole.result.reading) << what;
        EXPECT_EQ(fast.result.layout, whole.result.layout) << what;
        EXPECT_EQ(fast.result.score, whole.result.score) << what;
        EXPECT_EQ(fast.console, whole.console) << what;
        if (fast.result.status != GaugeStatus::read) return;
        GaugeCrop expected;
        memset(&expected, 0, sizeof expected);
        int width, height, channels;
        stbi_uc* pixels = stbi_load(path().c_str(), &width, &height, &channels, 0);
        ASSERT_NE(pixels, nullptr) << what;
        uint64_t row_bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(channels);
        uint64_t rows = (gauge_bytes_needed(width, height, channels) + row_bytes - 1) / row_bytes;
        if (!taken || rows > static_cast<uint64_t>(height)) rows = static_cast<uint64_t>(height);
        Image top = {pixels, static_cast<size_t>(rows * row_bytes), width, height, channels};
        crop_gauge(top, fast.result, &expected);
        stbi_image_free(pixels);
        EXPECT_EQ(memcmp(&fast.crop, &expected, sizeof expected), 0) << what;
    }

    void expect_cases_read(const ShotCase* cases, size_t count);

    TempFolder folder;
};

}  // namespace

// Reads each case's screenshot through the reader and both read_gauge paths.
void TopRowsReader::expect_cases_read(const ShotCase* cases, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const ShotCase& c = cases[i];
        Screenshot shot = scene(c.width, c.height, c.channels, c.type, 100 + c.width % 200);
        std::string png = encode(shot, c.filter, c.depth, c.idat_size, c.height >= 1000 ? 1 : 6);
        std::string what = describe(c);
        EXPECT_TRUE(top_rows_match(png, png, gauge_bytes_needed, gauge_columns_needed, what)) << what;
        expect_same_reading(what, true);
        if (c.height >= 1000) continue;  // a whole decode of a full screenshot takes a while
        // Whole rows, and half of each row. In this order, the half-row
        // decode gets the block the whole rows filled (a thread keeps its
        // last one), so its zeros are checked over bytes that held pixels.
        EXPECT_TRUE(top_rows_match(png, png, gauge_bytes_needed, nullptr, what + ", whole rows")) << what;
        EXPECT_TRUE(top_rows_match(png, png, gauge_bytes_needed, half_width, what + ", half rows")) << what;
    }
}

TEST_F(TopRowsReader, BenchmarkKindsReadAsTheWholeDecodeReadsThem) {
    // The benchmark corpora's kinds, 8 and 16 bits.
    const ShotCase cases[] = {
        {2560, 1440, 3, 1, 8, -1, 8192},
        {2560, 1440, 3, 1, 16, -1, 65536},
        {1920, 1080, 4, 4, 8, -1, 1 << 20},
        {1920, 1080, 4, 3, 16, -1, 8192},
    };
    expect_cases_read(cases, sizeof cases / sizeof cases[0]);
}

TEST_F(TopRowsReader, FiltersSizesAndChunkBoundariesReadAsTheWholeDecodeReadsThem) {
    const ShotCase cases[] = {
        // Every filter type alone, for both pixel sizes.
        {1920, 80, 3, 4, 8, 0, 65536}, {1920, 80, 3, 4, 8, 1, 65536}, {1920, 80, 3, 4, 8, 2, 65536},
        {1920, 80, 3, 4, 8, 3, 65536}, {1920, 80, 3, 4, 8, 4, 65536},
        {1920, 80, 4, 5, 8, 0, 65536}, {1920, 80, 4, 5, 8, 1, 65536}, {1920, 80, 4, 5, 8, 2, 65536},
        {1920, 80, 4, 5, 8, 3, 65536}, {1920, 80, 4, 5, 8, 4, 65536},
        // Chunk boundaries inside rows (a 2560-wide RGB row is 7,681 bytes).
        {2560, 75, 3, 1, 8, -1, 1}, {2560, 75, 3, 1, 8, -1, 7}, {2560, 75, 3, 1, 8, -1, 4096},
        {2560, 75, 3, 1, 8, -1, 7681}, {2560, 75, 4, 1, 16, -1, 12345},
        // Heights around the rows the layouts reach, widths around the
        // columns they reach (1,167 at a height of 1080) and far below.
        {1920, 58, 3, 4, 8, -1, 65536}, {1920, 59, 3, 4, 8, -1, 65536}, {1920, 60, 3, 4, 8, -1, 65536},
        {1920, 61, 3, 4, 8, -1, 65536}, {1920, 62, 4, 4, 8, -1, 65536},
        {1166, 1080, 3, 4, 8, -1, 65536}, {1167, 1080, 3, 4, 8, -1, 65536}, {1168, 1080, 4, 4, 8, -1, 65536},
        {1919, 1080, 3, 3, 8, -1, 65536}, {1921, 1080, 3, 5, 8, -1, 65536}, {700, 1080, 3, 3, 8, -1, 65536},
        {3, 1080, 3, 3, 8, -1, 65536}, {1, 1080, 4, 3, 16, -1, 65536}, {2560, 1, 3, 1, 8, -1, 65536},
    };
    expect_cases_read(cases, sizeof cases / sizeof cases[0]);
}

TEST_F(TopRowsReader, PngSuiteReadsAsTheWholeDecodeReadsIt) {
    // Every PngSuite image the reader takes, with half of each row.
    std::vector<std::string> names = pngsuite_names();
    ASSERT_FALSE(names.empty()) << PNGSUITE_DIR;
    int taken = 0;
    for (const std::string& name : names) {
        std::string png = read_file(pngsuite_path(name));
        auto all = [](int width, int height, int channels) {
            return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * static_cast<uint64_t>(channels);
        };
        taken += top_rows_match(png, png, all, half_width, name);
        expect_same_reading(name, false);
    }
    EXPECT_GE(taken, 5);
}

TEST_F(TopRowsReader, FilesCutShortAreDeclinedOrReadRight) {
    // Cut at every 4 KiB, with the IEND chunk put back at the end: the
    // reader either declines (the data ends before its rows) or reads the
    // rows it needs, which must then be the complete file's.
    for (int channels : {3, 4}) {
        Screenshot shot = scene(2560, 90, channels, 1, 300);
        std::string png = encode(shot, -1, 8, 3000);
        std::string iend = png.substr(png.size() - 12);
        int declined = 0, read = 0;
        for (size_t cut = 0; cut < png.size() - 12; cut += 4096) {
            std::string what = std::to_string(channels) + " channels cut at " + std::to_string(cut);
            if (top_rows_match(png.substr(0, cut) + iend, png, gauge_bytes_needed, gauge_columns_needed, what)) {
                ++read;
            } else {
                ++declined;
                expect_same_reading(what, false);
            }
        }
        EXPECT_GT(declined, 10) << channels;
        EXPECT_GT(read, 0) << channels;  // those cut only below the needed rows
    }
}

TEST_F(TopRowsReader, KeptMemoryServesShapesInAnyOrderAndOnEveryThread) {
    // A thread keeps its last decode's blocks for the next: shapes that
    // grow and shrink every block (rows, window, zero row), whole rows
    // after narrow ones, 16 bits after 8, each must still read exactly.
    const ShotCase shapes[] = {
        {700, 1080, 3, 3, 8, -1, 65536},  {2560, 75, 4, 1, 16, -1, 4096},
        {1920, 80, 3, 4, 8, 4, 65536},    {3, 1080, 3, 3, 8, -1, 65536},
        {2560, 75, 3, 1, 8, -1, 7681},    {1, 1080, 4, 3, 16, -1, 65536},
    };
    std::vector<std::string> pngs;
    for (const ShotCase& c : shapes) {
        pngs.push_back(encode(scene(c.width, c.height, c.channels, c.type, 150), c.filter, c.depth, c.idat_size));
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t k = 0; k < pngs.size(); ++k) {
            size_t i = pass == 0 ? k : pngs.size() - 1 - k;
            std::string what = describe(shapes[i]) + ", pass " + std::to_string(pass);
            EXPECT_TRUE(top_rows_match(pngs[i], pngs[i], gauge_bytes_needed, gauge_columns_needed, what));
            EXPECT_TRUE(top_rows_match(pngs[i], pngs[i], gauge_bytes_needed, nullptr, what + ", whole rows"));
        }
    }
    // Threads decoding different shapes at once each get their own blocks:
    // every thread's rows stay those of its own file, read after read.
    std::vector<std::vector<uint8_t>> expected(pngs.size());
    std::vector<std::string> paths;
    for (size_t i = 0; i < pngs.size(); ++i) {
        paths.push_back(folder / ("shot" + std::to_string(i) + ".png"));
        ASSERT_TRUE(write_file(paths[i], pngs[i]));
        FILE* file = fopen(paths[i].c_str(), "rb");
        ASSERT_NE(file, nullptr);
        TopRows rows;
        ASSERT_TRUE(decode_top_rows(file, gauge_bytes_needed, gauge_columns_needed, &rows));
        fclose(file);
        expected[i].assign(rows.image.pixels, rows.image.pixels + rows.image.size);
        free_top_rows(&rows);
    }
    // The block a thread keeps is its own: this thread gets its last rows'
    // block back, another thread meanwhile gets a block of its own.
    auto pixels_of = [&](size_t i) {
        FILE* file = fopen(paths[i].c_str(), "rb");
        TopRows rows;
        bool taken = file && decode_top_rows(file, gauge_bytes_needed, gauge_columns_needed, &rows);
        if (file) fclose(file);
        const uint8_t* pixels = taken ? rows.image.pixels : nullptr;
        if (taken) free_top_rows(&rows);
        return pixels;
    };
    const uint8_t* mine = pixels_of(0);
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(pixels_of(0), mine);
    const uint8_t* theirs = nullptr;
    std::thread([&] { theirs = pixels_of(0); }).join();
    EXPECT_NE(theirs, nullptr);
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(pixels_of(0), mine);
    std::vector<int> mismatches(pngs.size(), 0);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < pngs.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                size_t i = (t + static_cast<size_t>(round)) % pngs.size();
                FILE* file = fopen(paths[i].c_str(), "rb");
                TopRows rows;
                bool taken = file && decode_top_rows(file, gauge_bytes_needed, gauge_columns_needed, &rows);
                if (file) fclose(file);
                if (!taken || rows.image.size != expected[i].size() ||
                    memcmp(rows.image.pixels, expected[i].data(), expected[i].size()) != 0) {
                    ++mismatches[t];
                }
                if (taken) free_top_rows(&rows);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (size_t t = 0; t < pngs.size(); ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

TEST_F(TopRowsReader, FilesTheWholeDecodeMightReadDifferentlyAreDeclined) {
    Screenshot shot = scene(1920, 80, 3, 4, 200);
    std::string png = encode(shot, -1);
    std::vector<size_t> chunks = chunk_offsets(png);
    size_t idat = chunks[1];            // the first IDAT chunk
    size_t zlib = idat + 8;             // its first two bytes: the zlib header
    auto with_zlib_header = [&](uint8_t method, uint8_t flags, bool fix_check) {
        std::string changed = png;
        if (fix_check) flags = static_cast<uint8_t>((flags & 0xE0) | (31 - (method * 256 + (flags & 0xE0)) % 31) % 31);
        changed[zlib] = static_cast<char>(method);
        changed[zlib + 1] = static_cast<char>(flags);
        return changed;
    };
    auto before_idat = [&](const char* type, const std::string& data) {
        std::string chunk;
        put_chunk(chunk, type, data);
        return png.substr(0, idat) + chunk + png.substr(idat);
    };
    std::string filter_five = encode(shot, 0, 8, 1 << 16, 0);  // stored: the first row's type byte is in plain view
    size_t first_type = chunk_offsets(filter_five)[1] + 8 + 2 + 5;
    ASSERT_EQ(filter_five[first_type], 0);
    filter_five[first_type] = 5;
    std::string long_idat = png;
    long_idat[idat] = 0x7F;  // claims nearly 2 GiB, beyond the file's end

    struct Declined {
        const char* what;
        std::string png;
    };
    const Declined cases[] = {
        {"zlib check value wrong", with_zlib_header(0x78, 0x9D, false)},
        {"zlib preset dictionary", with_zlib_header(0x78, 0x20, true)},
        {"zlib method 7", with_zlib_header(0x77, 0x00, true)},
        {"PLTE", before_idat("PLTE", std::string(6, '\x10'))},
        {"unknown critical chunk", before_idat("ABCD", "x")},
        {"CgBI", before_idat("CgBI", std::string(4, '\0'))},
        {"second IHDR", before_idat("IHDR", png.substr(chunks[0] + 8, 13))},
        {"tRNS", before_idat("tRNS", std::string(6, '\0'))},
        {"IEND before the data", before_idat("IEND", "")},
        {"filter type 5", filter_five},
        {"IDAT past the end", long_idat},
    };
    for (const Declined& c : cases) {
        EXPECT_FALSE(top_rows_match(c.png, c.png, gauge_bytes_needed, gauge_columns_needed, c.what)) << c.what;
        expect_same_reading(c.what, false);
    }

    // Taken as the whole decode takes them: a window size above 32 KiB in
    // the zlib header (neither decode minds) and an ancillary chunk.
    const Declined taken[] = {
        {"zlib window 2^23", with_zlib_header(0xF8, 0x00, true)},
        {"ancillary chunk", before_idat("zzZz", std::string(100000, 'z'))},
    };
    for (const Declined& c : taken) {
        EXPECT_TRUE(top_rows_match(c.png, c.png, gauge_bytes_needed, gauge_columns_needed, c.what)) << c.what;
        expect_same_reading(c.what, true);
    }
}

TEST(GaugeColumns, CoverTheLayoutsAndTheirPictures) {
    // One past the furthest picture pixel: the bar's end and 12 pixels.
    EXPECT_EQ(gauge_columns_needed(2560, 1440), 1474u + CROP_MARGIN + 1);
    EXPECT_EQ(gauge_columns_needed(1920, 1080), 1154u + CROP_MARGIN + 1);
    EXPECT_EQ(gauge_columns_needed(1920, 500), 1154u + CROP_MARGIN + 1);
    EXPECT_EQ(gauge_columns_needed(1000, 1080), 1000u);  // past the width: whole rows
    EXPECT_EQ(gauge_columns_needed(640, 480), 0u);
}
