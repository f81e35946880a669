// The fast decode of the top rows against the whole decode: the same bytes
// on real-world PNGs, and the same outcome and message from read_gauge on
// every kind of file a screenshot folder may hold.
#include "modes/messages.h"
#include "reading/gauge.h"
#include "reading/png/png_rows.h"
#include "reading/screenshot.h"
#include "support/png_bombs.h"
#include "support/png_writer.h"
#include "support/pngsuite.h"
#include "support/screenshot_maker.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include "reading/stb_image_setup.h"
#include <set>
#include <string>
#include <zlib.h>

namespace {

struct Outcome {
    bool ok;
    uint32_t reading;
    std::string console;
    bool operator==(const Outcome& other) const {
        return ok == other.ok && reading == other.reading && console == other.console;
    }
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << (o.ok ? "read " : "failed ") << o.reading << " [" << o.console << "]";
}

// The result of reading path, with the message a mode prints for it.
Outcome outcome(GaugeResult (*read)(const char*, GaugeCrop*), const std::string& path) {
    GaugeResult gauge = read(path.c_str(), nullptr);
    Outcome result = {gauge.status == GaugeStatus::read, gauge.reading, ""};
    testing::internal::CaptureStdout();
    print_read_failure(gauge, path.c_str());
    result.console = testing::internal::GetCapturedStdout();
    return result;
}

// True when the fast decode takes the file at path.
bool fast_decode_takes(const std::string& path, BytesNeeded needed = gauge_bytes_needed) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    TopRows rows;
    bool taken = decode_top_rows(file, needed, &rows);
    fclose(file);
    if (taken) free_top_rows(&rows);
    return taken;
}

uint64_t every_byte(int width, int height, int channels) {
    return static_cast<uint64_t>(width) * height * channels;
}

// A noisy screenshot of width x height with layout `type` at `filled`.
Screenshot scene(int width, int height, int channels, int type, int filled) {
    Screenshot shot = blank_screenshot(width, height, channels);
    add_scenery(shot, static_cast<uint32_t>(width + height + channels));
    paint_gauge(shot, type, filled);
    return shot;
}

class FastDecode : public testing::Test {
  protected:
    // Writes bytes to a file and checks both decodes agree on it.
    Outcome expect_same(const std::string& png, const std::string& what) {
        std::string path = folder / "shot.png";
        EXPECT_TRUE(write_file(path, png));
        Outcome fast = outcome(read_gauge, path);
        Outcome whole = outcome(read_gauge_decoded_whole, path);
        EXPECT_EQ(fast, whole) << what;
        return fast;
    }
    std::string path() const { return folder / "shot.png"; }
    TempFolder folder;
};

}  // namespace

TEST_F(FastDecode, TopRowsEqualTheWholeDecodeOnPngSuite) {
    // Every image the fast decode takes comes out as the whole decode gives
    // it; it takes at least the plain 8- and 16-bit RGB and RGBA images,
    // and never one the whole decode refuses (all rows are needed here, so
    // no damage lies below them).
    const std::set<std::string> must_take = {"basn2c08.png", "basn6a08.png", "ftp0n2c08.png",
                                             "basn2c16.png", "basn6a16.png"};
    std::vector<std::string> names = pngsuite_names();
    ASSERT_FALSE(names.empty()) << PNGSUITE_DIR;
    std::set<std::string> taken;
    for (const std::string& name : names) {
        std::string file_path = pngsuite_path(name);
        FILE* file = fopen(file_path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        TopRows rows;
        bool accepted = decode_top_rows(file, every_byte, &rows);
        fclose(file);
        int width, height, channels;
        stbi_uc* whole = stbi_load(file_path.c_str(), &width, &height, &channels, 0);
        EXPECT_EQ(outcome(read_gauge, file_path), outcome(read_gauge_decoded_whole, file_path)) << name;
        if (accepted) {
            taken.insert(name);
            EXPECT_NE(whole, nullptr) << name << " is taken, but the whole decode refuses it";
        }
        if (accepted && whole) {
            EXPECT_EQ(rows.image.width, width) << name;
            EXPECT_EQ(rows.image.height, height) << name;
            EXPECT_EQ(rows.image.channels, channels) << name;
            EXPECT_EQ(rows.image.size, static_cast<size_t>(width) * height * channels) << name;
            EXPECT_TRUE(rows.image.size == static_cast<size_t>(width) * height * channels &&
                        memcmp(rows.image.pixels, whole, rows.image.size) == 0) << name;
        }
        if (accepted) free_top_rows(&rows);
        stbi_image_free(whole);
    }
    for (const std::string& name : must_take) EXPECT_EQ(taken.count(name), 1u) << name;
}

TEST_F(FastDecode, EveryLevelAndFilterReadsTheSame) {
    for (int depth : {8, 16}) {
    for (int channels : {3, 4}) {
        Screenshot shot = scene(1920, 160, channels, 4, 250);
        for (int level = depth == 16 ? 1 : 0; level <= (depth == 16 ? 1 : 9); ++level) {
            for (int filter = -1; filter <= 4; ++filter) {
                PngOptions options;
                options.level = level;
                options.filter = filter;
                options.depth = depth;
                std::string what = "depth " + std::to_string(depth) + " channels " +
                                   std::to_string(channels) + " level " +
                                   std::to_string(level) + " filter " + std::to_string(filter);
                Outcome read = expect_same(encode_png(shot, options), what);
                EXPECT_TRUE(read.ok) << what;
                EXPECT_EQ(read.reading, 250u * 1000 / 389) << what;
                EXPECT_TRUE(fast_decode_takes(path())) << what;
            }
        }
    }
    }
}

TEST_F(FastDecode, SixteenBitRowsAreTheHighBytesTheWholeDecodeKeeps) {
    for (int channels : {3, 4}) {
        for (int width : {1, 7, 333, 2560}) {
            Screenshot shot = scene(width, 37, channels, 1, 100);
            PngOptions options;
            options.depth = 16;
            options.idat_size = 777;
            ASSERT_TRUE(write_file(path(), encode_png(shot, options)));
            std::string what = std::to_string(channels) + " channels, " + std::to_string(width) + " wide";
            FILE* file = fopen(path().c_str(), "rb");
            ASSERT_NE(file, nullptr);
            TopRows rows;
            bool taken = decode_top_rows(file, every_byte, &rows);
            fclose(file);
            ASSERT_TRUE(taken) << what;
            int w, h, n;
            stbi_uc* whole = stbi_load(path().c_str(), &w, &h, &n, 0);
            ASSERT_NE(whole, nullptr) << what;
            ASSERT_EQ(rows.image.size, static_cast<size_t>(w) * h * n) << what;
            EXPECT_EQ(rows.image.channels, n) << what;
            EXPECT_EQ(memcmp(rows.image.pixels, whole, rows.image.size), 0) << what;
            EXPECT_EQ(memcmp(rows.image.pixels, shot.pixels.data(), rows.image.size), 0) << what;
            stbi_image_free(whole);
            free_top_rows(&rows);
        }
    }
}

TEST_F(FastDecode, GiantScreenshotsReadFromTheirTopRows) {
    // The largest screen of the layouts: too large for the whole decode,
    // which refuses it, but its top rows are a few megabytes.
    Screenshot top = scene(25600, 70, 3, 0, 150);
    ASSERT_TRUE(write_file(path(), tall_png(top, 14400, 8)));
    Outcome fast = outcome(read_gauge, path());
    EXPECT_TRUE(fast.ok);
    EXPECT_EQ(fast.reading, 150u * 1000 / 229);
    EXPECT_EQ(outcome(read_gauge_decoded_whole, path()).console,
              "Error: Failed to load " + path() + "\n");

    // 16-bit at 12800 x 7200 (737 MB decoded whole), and a screenshot
    // matching by width alone that is a million rows tall.
    top = scene(12800, 60, 4, 6, 200);
    ASSERT_TRUE(write_file(path(), tall_png(top, 7200, 16)));
    fast = outcome(read_gauge, path());
    EXPECT_TRUE(fast.ok);
    EXPECT_EQ(fast.reading, 200u * 1000 / 229);
    top = scene(1920, 70, 4, 4, 100);
    ASSERT_TRUE(write_file(path(), tall_png(top, 1000000, 16)));
    fast = outcome(read_gauge, path());
    EXPECT_TRUE(fast.ok);
    EXPECT_EQ(fast.reading, 100u * 1000 / 389);
}

TEST_F(FastDecode, NeededRowsBeyondItsLimitAreDeclined) {
    // Matching by height alone, the layouts reach 59 rows down: 53 MB of
    // rows at 300000 pixels wide are decoded, 106 MB at 600000 are not.
    for (uint32_t width : {300000u, 600000u}) {
        uint64_t size = png_data_size(width, 1080, 8, 3, false);
        ASSERT_TRUE(write_file(path(), png_file(width, 1080, 8, 2, false, zlib_with_zeros("", size))));
        EXPECT_EQ(fast_decode_takes(path()), width == 300000u) << width;
    }
    // The whole decode then refuses a size that large.
    EXPECT_EQ(outcome(read_gauge, path()).console, "Error: Failed to load " + path() + "\n");
}

TEST_F(FastDecode, AncillaryChunksArePassedOverLikeTheWholeDecodeDoes) {
    // An ICC profile that inflates to 256 MiB before the image data: both
    // decodes pass over it without inflating it, and read the screenshot.
    Screenshot shot = scene(1920, 80, 3, 4, 200);
    std::string png = encode_png(shot);
    std::string profile = std::string("icc\0\0", 5) + zlib_with_zeros("", uint64_t(256) << 20);
    std::string chunk;
    for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(static_cast<char>(profile.size() >> shift));
    std::string body = "iCCP" + profile;
    uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
    chunk += body;
    for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(static_cast<char>(crc >> shift));
    std::vector<size_t> chunks = chunk_offsets(png);
    Outcome read = expect_same(png.substr(0, chunks[1]) + chunk + png.substr(chunks[1]), "iCCP");
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.reading, 200u * 1000 / 389);
    EXPECT_TRUE(fast_decode_takes(path()));
}

TEST_F(FastDecode, IdatChunksOfAnySizeReadTheSame) {
    Screenshot shot = scene(1920, 120, 3, 3, 100);
    for (size_t size : {size_t(1), size_t(2), size_t(13), size_t(1000), size_t(65536), size_t(1) << 24}) {
        PngOptions options;
        options.idat_size = size;
        Outcome read = expect_same(encode_png(shot, options), "IDAT size " + std::to_string(size));
        EXPECT_TRUE(read.ok);
        EXPECT_TRUE(fast_decode_takes(path()));
    }
}

TEST_F(FastDecode, OneMatchingDimensionAndRowsThatSpillOver) {
    // Height alone matches; the layouts' x runs past the width into the
    // next rows, which the fast decode must also have decoded.
    Screenshot tall = scene(700, 1080, 3, 3, 237);
    Outcome read = expect_same(encode_png(tall), "700 x 1080");
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.reading, 1000u);
    EXPECT_TRUE(fast_decode_takes(path()));

    Screenshot wide = scene(2560, 90, 4, 1, 389);  // width alone
    read = expect_same(encode_png(wide), "2560 x 90");
    EXPECT_EQ(read.reading, 1000u);
    EXPECT_TRUE(fast_decode_takes(path()));

    // Taller than the layouts reach, but too small for them: a warning.
    Screenshot small = scene(1920, 20, 3, 3, 237);
    Outcome warned = expect_same(encode_png(small), "1920 x 20");
    EXPECT_FALSE(warned.ok);

    // No layout matches either side: left to the whole decode.
    Screenshot odd = scene(640, 480, 3, 3, 100);
    expect_same(encode_png(odd), "640 x 480");
    EXPECT_FALSE(fast_decode_takes(path()));
}

TEST_F(FastDecode, DamagedFilesGiveTheWholeDecodesAnswer) {
    Screenshot shot = scene(1920, 160, 3, 5, 120);
    PngOptions options;
    options.idat_size = 4096;
    std::string png = encode_png(shot, options);
    std::vector<size_t> chunks = chunk_offsets(png);

    for (int i = 1; i <= 30; ++i) {
        size_t cut = png.size() * i / 31;
        expect_same(png.substr(0, cut), "cut at " + std::to_string(cut));
        EXPECT_FALSE(fast_decode_takes(path()));
    }
    expect_same(png.substr(0, png.size() - 12), "no IEND");
    EXPECT_FALSE(fast_decode_takes(path()));
    expect_same(png + "trailing bytes", "bytes after IEND");
    EXPECT_FALSE(fast_decode_takes(path()));

    // Neither decode checks CRCs: the same reading either way.
    std::string early = png;
    early[chunks[0] + 8 + 13] ^= 0x01;  // the IHDR's CRC
    EXPECT_TRUE(expect_same(early, "CRC error in IHDR").ok);
    EXPECT_TRUE(fast_decode_takes(path()));
    std::string in_idat = png;
    in_idat[chunks[1] + 8 + 4096] ^= 0x01;  // the first IDAT's CRC
    EXPECT_TRUE(expect_same(in_idat, "CRC error in the first IDAT").ok);
    EXPECT_TRUE(fast_decode_takes(path()));
    std::string late = png;
    late[png.size() - 12 - 1] ^= 0x01;  // the last IDAT's CRC, below the rows needed
    expect_same(late, "CRC error in the last IDAT");

    std::string not_png = png;
    not_png[1] = 'Q';
    expect_same(not_png, "bad signature");
    EXPECT_FALSE(fast_decode_takes(path()));
}

TEST_F(FastDecode, TransparencyAndOtherKindsAreLeftToTheWholeDecode) {
    Screenshot shot = scene(1920, 80, 3, 4, 389);
    std::string png = encode_png(shot);
    // A tRNS chunk after IHDR: the whole decode adds an alpha channel.
    std::vector<size_t> chunks = chunk_offsets(png);
    std::string trns_body = std::string("tRNS") + std::string("\0\1\0\2\0\3", 6);
    uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(trns_body.data()), 10));
    std::string trns = std::string("\0\0\0\6", 4) + trns_body;
    for (int shift = 24; shift >= 0; shift -= 8) trns.push_back(static_cast<char>(crc >> shift));
    std::string with_trns = png.substr(0, chunks[1]) + trns + png.substr(chunks[1]);
    Outcome read = expect_same(with_trns, "tRNS");
    EXPECT_TRUE(read.ok);
    EXPECT_FALSE(fast_decode_takes(path()));

    Screenshot grey = blank_screenshot(1920, 80, 1, 200);
    expect_same(encode_png(grey), "grey");
    EXPECT_FALSE(fast_decode_takes(path()));
}

TEST_F(FastDecode, DamageBelowTheNeededRowsIsNotSeen) {
    // The one known difference: compressed data missing below the rows the
    // layouts need. The fast decode reads the gauge; the whole decode
    // rejects the file.
    Screenshot shot = scene(1920, 400, 3, 4, 300);
    PngOptions options;
    options.idat_size = 1024;
    std::string png = encode_png(shot, options);
    std::vector<size_t> chunks = chunk_offsets(png);
    size_t keep_until = chunks[chunks.size() / 2];  // half of the IDAT chunks
    std::string damaged = png.substr(0, keep_until) + png.substr(png.size() - 12);
    std::string file = folder / "damaged.png";
    ASSERT_TRUE(write_file(file, damaged));
    Outcome fast = outcome(read_gauge, file);
    Outcome whole = outcome(read_gauge_decoded_whole, file);
    EXPECT_TRUE(fast.ok);
    EXPECT_EQ(fast.reading, 300u * 1000 / 389);
    EXPECT_FALSE(whole.ok);
    EXPECT_EQ(whole.console, "Error: Failed to load " + file + "\n");
}
