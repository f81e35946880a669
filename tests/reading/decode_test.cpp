// Decoding: the per-thread memory budget, PNG only, the header read once
// and what it tells of a file that failed, hostile files that claim or
// inflate to far more than they hold, and files that are not regular files
// by the time they are read.
#include "modes/messages.h"
#include "platform/platform.h"
#include "reading/decode.h"
#include "reading/decode_budget.h"
#include "reading/gauge.h"
#include "reading/png/png_header.h"
#include "reading/png/png_format.h"
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

// IHDR's 13 bytes of data.
std::string ihdr(uint32_t width, uint32_t height, int depth = 8, int colour = 2) {
    std::string data;
    put32(data, width);
    put32(data, height);
    for (int byte : {depth, colour, 0, 0, 0}) data.push_back(static_cast<char>(byte));
    return data;
}

// The signature and an IHDR chunk of those sides, nothing after it.
std::string png_start(uint32_t width, uint32_t height, int depth = 8, int colour = 2) {
    std::string bytes(reinterpret_cast<const char*>(PNG_SIGNATURE), sizeof PNG_SIGNATURE);
    put_chunk(bytes, "IHDR", ihdr(width, height, depth, colour));
    return bytes;
}

std::string signature() { return std::string(reinterpret_cast<const char*>(PNG_SIGNATURE), 8); }

PngHeader parse(const std::string& bytes) {
    PngHeader header;
    parse_png_header(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &header);
    return header;
}

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

TEST(PngHeader, StatusSidesAndWhereTheChunksGoOn) {
    std::string png = png_start(1920, 1080);
    std::string long_ihdr = signature();
    put_chunk(long_ihdr, "IHDR", ihdr(1920, 1080) + "x");
    std::string apple = signature();
    put_chunk(apple, "CgBI", std::string(4, '\0'));
    put_chunk(apple, "IHDR", ihdr(640, 480));
    std::string apple_too_long = signature();
    put_chunk(apple_too_long, "CgBI", std::string(65, '\0'));
    put_chunk(apple_too_long, "IHDR", ihdr(640, 480));
    std::string data_first = signature();
    put_chunk(data_first, "IDAT", std::string(20, 'x'));
    std::string bad_signature = png;
    bad_signature[7] = '\r';  // a line end translated
    const uint32_t MAX = PNG_MAX_SIDE;
    struct Case {
        const char* what;
        std::string bytes;
        PngHeaderStatus status;
        bool ihdr_first, apple;
        uint32_t width, height;
        uint64_t chunks_offset;  // when read
    };
    using S = PngHeaderStatus;
    const Case cases[] = {
        {"empty", "", S::not_png, false, false, 0, 0, 0},
        {"7 bytes of the signature", signature().substr(0, 7), S::not_png, false, false, 0, 0, 0},
        {"a byte of the signature wrong", bad_signature, S::not_png, false, false, 0, 0, 0},
        {"the signature alone", signature(), S::cut_short, false, false, 0, 0, 0},
        {"23 bytes", png.substr(0, 23), S::cut_short, false, false, 0, 0, 0},
        {"24 bytes: the sides", png.substr(0, 24), S::refused, true, false, 1920, 1080, 0},
        {"IHDR's data cut short", png.substr(0, 28), S::refused, true, false, 1920, 1080, 0},
        {"IHDR without its CRC", png.substr(0, 29), S::read, true, false, 1920, 1080, 33},
        {"IHDR of 14 bytes", long_ihdr, S::refused, true, false, 1920, 1080, 0},
        {"CgBI before IHDR", apple, S::read, false, true, 640, 480, 8 + 16 + 25},
        {"CgBI cut short", apple.substr(0, 30), S::refused, false, true, 0, 0, 0},
        {"CgBI over 64 bytes", apple_too_long, S::refused, false, false, 0, 0, 0},
        {"IDAT first", data_first, S::refused, false, false, 0, 0, 0},
        {"no width", png_start(0, 1080), S::refused, true, false, 0, 1080, 33},
        {"no height", png_start(1920, 0), S::refused, true, false, 1920, 0, 33},
        {"largest sides", png_start(MAX, MAX), S::read, true, false, MAX, MAX, 33},
        {"too wide", png_start(MAX + 1, 1), S::refused, true, false, MAX + 1, 1, 33},
        {"too tall", png_start(1, MAX + 1), S::refused, true, false, 1, MAX + 1, 33},
        {"colour type 5", png_start(1920, 1080, 8, 5), S::refused, true, false, 1920, 1080, 33},
    };
    for (const Case& c : cases) {
        PngHeader header = parse(c.bytes);
        EXPECT_EQ(header.status, c.status) << c.what;
        EXPECT_EQ(header.ihdr_first, c.ihdr_first) << c.what;
        EXPECT_EQ(header.apple, c.apple) << c.what;
        EXPECT_EQ(header.width, c.width) << c.what;
        EXPECT_EQ(header.height, c.height) << c.what;
        if (c.chunks_offset != 0) {
            EXPECT_EQ(header.chunks_offset, c.chunks_offset) << c.what;
        }
    }
}

TEST(PngHeader, ChannelsAreThoseTheDecodersGive) {
    // {colour type, channels}: a palette decodes to RGB.
    for (auto [colour, channels] : {std::pair{0, 1}, {2, 3}, {3, 3}, {4, 2}, {6, 4}}) {
        PngHeader header = parse(png_start(16, 9, 16, colour));
        EXPECT_EQ(header.status, PngHeaderStatus::read) << colour;
        EXPECT_EQ(header.channels, channels) << colour;
    }
}

TEST(Screenshot, LoadProblemsAreToldFromTheHeaderAndTheFileEnd) {
    // The header the decode read, and the file's last bytes, say why a
    // file failed; the fast and the whole decode tell the same.
    Screenshot shot = blank_screenshot(1920, 64, 3);
    std::string png = encode_png(shot);
    std::string iend = png.substr(png.size() - 12);
    std::string apple = signature();
    put_chunk(apple, "CgBI", std::string(4, '\0'));
    std::string apple_huge = apple + png_start(8192, 4096).substr(8) + iend;
    apple += png.substr(8);
    std::string long_ihdr = signature();
    put_chunk(long_ihdr, "IHDR", ihdr(1920, 64) + "x");
    std::string wrong_data = png;
    wrong_data[chunk_offsets(png)[1] + 8] ^= 0x0f;  // the zlib header of the first IDAT
    struct Case {
        const char* what;
        std::string bytes;
        LoadProblem problem;
    };
    const Case cases[] = {
        {"empty", "", LoadProblem::not_png},
        {"a GIF", gif_header(), LoadProblem::not_png},
        {"the signature alone", signature(), LoadProblem::cut_short},
        {"cut within IHDR", png.substr(0, 20), LoadProblem::cut_short},
        {"cut in the data", png.substr(0, png.size() / 2), LoadProblem::cut_short},
        {"no IEND", png.substr(0, png.size() - 12), LoadProblem::cut_short},
        {"too wide", png_start(PNG_MAX_SIDE + 1, 1) + iend, LoadProblem::too_large},
        {"too many pixels", png_start(8192, 4096) + iend, LoadProblem::too_large},
        {"too wide in an IHDR of 14 bytes", long_ihdr.substr(0, 16) + ihdr(1u << 25, 1) + iend,
         LoadProblem::too_large},
        {"an IHDR of 14 bytes", long_ihdr + iend, LoadProblem::damaged},
        {"CgBI first", apple, LoadProblem::damaged},
        {"CgBI first, too many pixels", apple_huge, LoadProblem::damaged},  // its sides go unread
        {"colour type 5", png_start(1920, 64, 8, 5) + iend, LoadProblem::damaged},
        {"bad data", wrong_data, LoadProblem::damaged},
    };
    TempFolder folder;
    std::string path = folder / "shot.png";
    for (const Case& c : cases) {
        ASSERT_TRUE(write_file(path, c.bytes));
        GaugeResult fast = read_gauge(path.c_str());
        GaugeResult whole = read_gauge_decoded_whole(path.c_str());
        EXPECT_EQ(fast.status, GaugeStatus::load_failed) << c.what;
        EXPECT_EQ(fast.load_problem, c.problem) << c.what;
        EXPECT_EQ(whole.load_problem, c.problem) << c.what;
    }
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
