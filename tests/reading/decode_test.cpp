// Decoding: the per-thread memory budget, PNG only, hostile files that claim
// or inflate to far more than they hold, and files that are not regular
// files by the time they are read.
#include "modes/messages.h"
#include "platform/platform.h"
#include "reading/decode.h"
#include "reading/decode_budget.h"
#include "reading/gauge.h"
#include "reading/screenshot.h"
#include "support/png_bombs.h"
#include "support/png_writer.h"
#include "support/pngsuite.h"
#include "support/temp_folder.h"

#include "reading/stb_image_setup.h"

#include <gtest/gtest.h>

#include <stb_image_write.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const uint64_t MIB = 1 << 20;

uint64_t nothing(int, int, int) { return 0; }
uint64_t everything(int width, int height, int channels) {
    return static_cast<uint64_t>(width) * height * channels;
}

// The decode's status for the bytes, written to a file.
DecodeStatus decode_bytes(const std::string& bytes, BytesNeeded needed, bool fast = true) {
    TempFolder folder;
    std::string path = folder / "shot.png";
    EXPECT_TRUE(write_file(path, bytes));
    FILE* file = fopen(path.c_str(), "rb");
    EXPECT_NE(file, nullptr);
    if (!file) return DecodeStatus::failed;
    DecodedImage decoded;
    DecodeStatus status = decode_screenshot(file, needed, fast, &decoded);
    fclose(file);
    if (status == DecodeStatus::decoded) free_decoded(&decoded);
    return status;
}

// What a mode prints after reading the bytes as shot.png.
std::string message_for(const std::string& bytes) {
    TempFolder folder;
    InsideFolder inside(folder.path);
    EXPECT_TRUE(write_file("shot.png", bytes));
    GaugeResult result = read_gauge("shot.png");
    testing::internal::CaptureStdout();
    print_read_failure(result, "shot.png");
    return testing::internal::GetCapturedStdout();
}

const char LOAD_ERROR[] = "Error: Failed to load shot.png\n";
const char NO_LAYOUT[] = "Warning: Could not find matching health bar type for screenshot shot.png\n";

void append_bytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

}  // namespace

TEST(DecodeBudget, RefusesWhatWouldPassTheLimitAndCountsFreesAndReallocs) {
    budget_begin(10 * MIB);
    void* a = budget_malloc(6 * MIB);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(budget_malloc(5 * MIB), nullptr);
    void* b = budget_malloc(4 * MIB);  // exactly up to the limit
    ASSERT_NE(b, nullptr);
    budget_free(b);
    void* grown = budget_realloc(a, 9 * MIB);  // 3 MiB more
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(budget_realloc(grown, 11 * MIB), nullptr);  // and the block stays
    static_cast<char*>(grown)[9 * MIB - 1] = 1;
    EXPECT_EQ(budget_calloc(2 * MIB, 1), nullptr);
    void* zeros = budget_calloc(1024, 1024);
    ASSERT_NE(zeros, nullptr);
    EXPECT_EQ(static_cast<char*>(zeros)[12345], 0);
    EXPECT_EQ(budget_calloc(SIZE_MAX / 2, 4), nullptr);
    budget_free(zeros);
    budget_free(grown);
    EXPECT_TRUE(budget_end());

    // Blocks from before the budget do not count in it, and after the
    // budget nothing is limited.
    void* before = budget_malloc(8 * MIB);
    budget_begin(4 * MIB);
    budget_free(before);
    EXPECT_EQ(budget_malloc(5 * MIB), nullptr);
    void* small = budget_malloc(3 * MIB);
    EXPECT_NE(small, nullptr);
    EXPECT_TRUE(budget_end());
    void* free_again = budget_malloc(64 * MIB);
    EXPECT_NE(free_again, nullptr);
    budget_free(free_again);
    budget_free(small);

    budget_begin(MIB);
    budget_free(budget_malloc(MIB));
    EXPECT_FALSE(budget_end());
}

TEST(DecodeBudget, EachThreadHasItsOwn) {
    budget_begin(8 * MIB);
    void* mine = budget_malloc(6 * MIB);
    ASSERT_NE(mine, nullptr);
    bool other_got = false, unlimited_got = false;
    std::thread other([&] {
        budget_begin(8 * MIB);
        void* block = budget_malloc(6 * MIB);
        other_got = block != nullptr;
        budget_free(block);
        budget_end();
    });
    other.join();
    std::thread unlimited([&] {
        void* block = budget_malloc(32 * MIB);
        unlimited_got = block != nullptr;
        budget_free(block);
    });
    unlimited.join();
    EXPECT_TRUE(other_got);
    EXPECT_TRUE(unlimited_got);
    EXPECT_EQ(budget_malloc(3 * MIB), nullptr);  // this thread's budget is still 6 of 8 used
    budget_free(mine);
    EXPECT_TRUE(budget_end());
}

TEST(Decode, OnlyPngFilesAreDecoded) {
    // A screenshot with a readable gauge, in other formats, named .png.
    Screenshot shot = blank_screenshot(1920, 1080, 3);
    paint_gauge(shot, 3, 237);
    std::string bmp, tga, jpeg;
    stbi_write_bmp_to_func(append_bytes, &bmp, 1920, 1080, 3, shot.pixels.data());
    stbi_write_tga_to_func(append_bytes, &tga, 1920, 1080, 3, shot.pixels.data());
    stbi_write_jpg_to_func(append_bytes, &jpeg, 1920, 1080, 3, shot.pixels.data(), 95);
    for (const std::string& other : {bmp, tga, jpeg, psd_header(), bmp_header(), gif_header(),
                                     std::string("\x89PNG\r\n\x1a", 7), std::string()}) {
        EXPECT_EQ(decode_bytes(other, everything), DecodeStatus::failed) << other.substr(0, 4);
        EXPECT_EQ(message_for(other), LOAD_ERROR) << other.substr(0, 4);
    }
    EXPECT_EQ(message_for(encode_png(shot)), "");  // the same picture as a PNG reads
}

TEST(Decode, TheBudgetLeavesRoomForEveryKindOfPng) {
    // Every PngSuite image the decoder reads without a budget, it reads
    // within one: all colour types, depths, interlacing and transparency.
    // Read as a screenshot, each (32 pixels wide or smaller) fails: with the
    // load error where it does not decode, else with the layout warning.
    int files = 0, decoded = 0;
    for (const std::string& name : pngsuite_names()) {
        std::string bytes = read_file(pngsuite_path(name));
        int width, height, channels;
        stbi_uc* free_decode = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                                     static_cast<int>(bytes.size()), &width,
                                                     &height, &channels, 0);
        DecodeStatus status = decode_bytes(bytes, everything, false);
        EXPECT_EQ(status == DecodeStatus::decoded, free_decode != nullptr) << name;
        EXPECT_EQ(message_for(bytes), free_decode ? NO_LAYOUT : LOAD_ERROR) << name;
        ++files;
        decoded += free_decode != nullptr;
        stbi_image_free(free_decode);
    }
    EXPECT_GT(files, 40) << PNGSUITE_DIR;
    EXPECT_GT(decoded, 40) << decoded;

    // The costliest kind at a larger size: 16-bit RGBA, interlaced (the
    // decoder's first guess of the inflated size is short, and it doubles).
    EXPECT_EQ(decode_bytes(deep_png(1000, 700, true), everything, false), DecodeStatus::decoded);
    EXPECT_EQ(decode_bytes(deep_png(1000, 700, false), everything, false), DecodeStatus::decoded);
}

TEST(Decode, DataBeyondTheHeadersClaimFails) {
    // One pixel whose data inflates to 256 MiB: decoded whole it fails,
    // whether anything is needed from it or not. The fast decode stops
    // after the one row and never sees the rest.
    std::string one_pixel = inflating_png(256 * MIB);
    EXPECT_EQ(decode_bytes(one_pixel, nothing), DecodeStatus::failed);
    EXPECT_EQ(decode_bytes(one_pixel, everything, false), DecodeStatus::failed);
    EXPECT_EQ(message_for(one_pixel), LOAD_ERROR);

    // A grey screenshot (decoded whole) of a layout's width with a few
    // rows too many in its data still reads; one with 100 MiB too many
    // fails.
    Screenshot grey = blank_screenshot(1920, 64, 1, 200);
    uint64_t size = png_data_size(1920, 64, 8, 1, false);
    std::string rows(size, '\0');
    EXPECT_EQ(decode_bytes(png_file(1920, 64, 8, 0, false, zlib_with_zeros(rows, size + 4 * 1921)),
                           everything), DecodeStatus::decoded);
    std::string flooded = png_file(1920, 64, 8, 0, false, zlib_with_zeros(rows, size + 100 * MIB));
    EXPECT_EQ(decode_bytes(flooded, everything), DecodeStatus::failed);
    EXPECT_EQ(message_for(flooded), LOAD_ERROR);
}

TEST(Decode, HugeImagesNoLayoutCanMatchGiveTheLayoutWarning) {
    for (bool interlaced : {false, true}) {
        std::string deep = deep_png(16384, 16383, interlaced);
        EXPECT_LT(deep.size(), 3 * MIB);
        EXPECT_EQ(decode_bytes(deep, nothing), DecodeStatus::out_of_budget) << interlaced;
        EXPECT_EQ(message_for(deep), NO_LAYOUT) << interlaced;
        // Where the caller needs its pixels, running out is a failure.
        EXPECT_EQ(decode_bytes(deep, everything), DecodeStatus::failed) << interlaced;
    }
    // Small enough to decode: decoded, and then no layout matches.
    Screenshot small = blank_screenshot(640, 480, 4, 90);
    EXPECT_EQ(decode_bytes(encode_png(small), nothing), DecodeStatus::decoded);
    EXPECT_EQ(message_for(encode_png(small)), NO_LAYOUT);
    // Damaged, whatever its size: the load error.
    std::string cut = deep_png(16384, 16383, false);
    cut = cut.substr(0, 1000) + cut.substr(cut.size() - 12);
    EXPECT_EQ(decode_bytes(cut, nothing), DecodeStatus::failed);
    EXPECT_EQ(message_for(cut), LOAD_ERROR);
}

TEST(OpenOnce, NamedPipesAndDirectoriesAreRefusedWithoutBlocking) {
    TempFolder folder;
    std::string pipe = folder / "pipe.png";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    ASSERT_EQ(mkdir((folder / "folder.png").c_str(), 0755), 0);
    alarm(20);  // a blocking open would otherwise hang the test for good
    EXPECT_EQ(open_regular_file(pipe.c_str()), nullptr);
    EXPECT_EQ(open_regular_file((folder / "folder.png").c_str()), nullptr);
    EXPECT_EQ(read_gauge(pipe.c_str()).status, GaugeStatus::load_failed);
    EXPECT_EQ(read_gauge_decoded_whole(pipe.c_str()).status, GaugeStatus::load_failed);
    alarm(0);

    Screenshot shot = blank_screenshot(1920, 80, 3);
    paint_gauge(shot, 4, 389);
    ASSERT_TRUE(write_png(shot, folder / "shot.png"));
    FILE* file = open_regular_file((folder / "shot.png").c_str());
    ASSERT_NE(file, nullptr);
    char start[8];
    EXPECT_EQ(fread(start, 1, 8, file), 8u);  // blocking reads from here on
    EXPECT_EQ(memcmp(start, "\x89PNG", 4), 0);
    fclose(file);
}
