// The fast unfilter against the plain one, byte for byte: every filter type
// alone and mixed within groups of rows, pixel sizes 3 and 4, rows fewer
// than a group and not a multiple of one, narrow and wide rows, only the
// leftmost columns of longer rows, and bytes so close that Paeth's
// distances tie. (The plain one is checked against stb_image through the
// reader, fast_decode_test.cpp.)
#include "reading/png/unfilter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

struct Case {
    int pixel_bytes;
    size_t pixels;    // of each filtered row
    size_t columns;   // of them unfiltered
    size_t rows;
    int filter;       // 0..4 for every row, or one of the patterns below
    bool close;       // bytes from a few values, so that neighbours tie often
};

const int RANDOM = -1;   // a random type for each row
const int CYCLING = -2;  // 0, 1, 2, 3, 4, 0, ...
const int RUNS = -3;     // runs of 1 to 13 rows of a random type, so that
                         // groups of one type end at every row of a group

// Each row's filter type for the case.
std::vector<int> filter_types(const Case& c, std::mt19937& random) {
    std::vector<int> types;
    while (types.size() < c.rows) {
        int type = c.filter >= 0 ? c.filter : static_cast<int>(random() % 5);
        size_t run = c.filter == RUNS ? 1 + random() % 13 : 1;
        if (c.filter == CYCLING) type = static_cast<int>(types.size() % 5);
        types.insert(types.end(), run, type);
    }
    types.resize(c.rows);
    return types;
}

uint8_t random_byte(const Case& c, std::mt19937& random) {
    static const uint8_t CLOSE[] = {0, 1, 2, 127, 128, 254, 255};
    return c.close ? CLOSE[random() % sizeof CLOSE] : static_cast<uint8_t>(random());
}

const uint8_t UNTOUCHED = 0xA5;

// Filtered rows of random bytes with the case's filter types.
std::vector<uint8_t> filtered_rows(const Case& c, std::mt19937& random) {
    size_t stride = c.pixels * static_cast<size_t>(c.pixel_bytes) + 1;
    std::vector<uint8_t> rows(c.rows * stride);
    for (uint8_t& byte : rows) byte = random_byte(c, random);
    std::vector<int> types = filter_types(c, random);
    for (size_t row = 0; row < c.rows; ++row) rows[row * stride] = static_cast<uint8_t>(types[row]);
    return rows;
}

// Unfilters with `unfilter` below a random prior row; out rows are wider
// than what is unfiltered, so that a byte written past it shows.
std::vector<uint8_t> unfiltered(bool (*unfilter)(const UnfilterRows&), const Case& c,
                                const std::vector<uint8_t>& in, const std::vector<uint8_t>& prior) {
    size_t length = c.columns * static_cast<size_t>(c.pixel_bytes);
    size_t out_stride = c.pixels * static_cast<size_t>(c.pixel_bytes) + 5;
    std::vector<uint8_t> out(c.rows * out_stride, UNTOUCHED);
    UnfilterRows rows = {in.data(), c.pixels * static_cast<size_t>(c.pixel_bytes) + 1, prior.data(),
                         out.data(), out_stride, c.rows, length, c.pixel_bytes};
    EXPECT_TRUE(unfilter(rows));
    for (size_t row = 0; row < c.rows; ++row) {
        for (size_t i = length; i < out_stride; ++i) {
            EXPECT_EQ(out[row * out_stride + i], UNTOUCHED) << "row " << row << " byte " << i;
        }
    }
    return out;
}

std::string describe(const Case& c) {
    return std::to_string(c.pixel_bytes) + " bytes, " + std::to_string(c.columns) + " of " +
           std::to_string(c.pixels) + " pixels, " + std::to_string(c.rows) + " rows, filter " +
           std::to_string(c.filter);
}

}  // namespace

TEST(Unfilter, FastGivesTheReferenceBytes) {
    std::vector<Case> cases;
    for (int pixel_bytes : {3, 4}) {
        for (int filter : {RUNS, CYCLING, RANDOM, 0, 1, 2, 3, 4}) {
            // Widths around the stagger of up to twelve rows, and row
            // counts around groups of four, eight and twelve rows (one,
            // two and three registers).
            for (size_t pixels : {1, 2, 3, 4, 5, 7, 8, 11, 12, 13, 14, 21, 64}) {
                for (size_t rows : {1, 2, 3, 4, 5, 7, 8, 9, 11, 12, 13, 16, 17, 25}) {
                    cases.push_back({pixel_bytes, pixels, pixels, rows, filter, pixels % 2 == 0});
                }
            }
            for (bool close : {false, true}) {
                cases.push_back({pixel_bytes, 2560, 1476, 71, filter, close});  // a screenshot's needed part
                cases.push_back({pixel_bytes, 300, 1, 8, filter, close});
                cases.push_back({pixel_bytes, 300, 2, 6, filter, close});
                cases.push_back({pixel_bytes, 300, 37, 25, filter, close});
                cases.push_back({pixel_bytes, 300, 0, 13, filter, close});  // nothing to unfilter
            }
        }
    }
    std::mt19937 random(20);
    for (const Case& c : cases) {
        std::vector<uint8_t> in = filtered_rows(c, random);
        std::vector<uint8_t> prior(c.pixels * static_cast<size_t>(c.pixel_bytes));
        for (uint8_t& byte : prior) byte = random_byte(c, random);
        std::vector<uint8_t> reference = unfiltered(unfilter_rows_reference, c, in, prior);
        std::vector<uint8_t> fast = unfiltered(unfilter_rows, c, in, prior);
        ASSERT_EQ(fast, reference) << describe(c);
    }
}

TEST(Unfilter, FilterTypesAboveFourAreRefused) {
    struct Bad {
        size_t rows, bad_row;
    };
    for (int pixel_bytes : {3, 4}) {
        for (Bad bad : {Bad{7, 0}, Bad{7, 3}, Bad{7, 6}, Bad{13, 9}, Bad{13, 12}}) {
            size_t bad_row = bad.bad_row;
            Case c = {pixel_bytes, 10, 10, bad.rows, 1, false};
            std::mt19937 random(static_cast<uint32_t>(bad_row));
            std::vector<uint8_t> in = filtered_rows(c, random);
            in[bad_row * (c.pixels * static_cast<size_t>(pixel_bytes) + 1)] = 5;
            std::vector<uint8_t> prior(c.pixels * static_cast<size_t>(pixel_bytes), 0);
            std::vector<uint8_t> out(c.rows * c.pixels * static_cast<size_t>(pixel_bytes));
            UnfilterRows rows = {in.data(), c.pixels * static_cast<size_t>(pixel_bytes) + 1, prior.data(),
                                 out.data(), c.pixels * static_cast<size_t>(pixel_bytes), c.rows,
                                 c.pixels * static_cast<size_t>(pixel_bytes), pixel_bytes};
            EXPECT_FALSE(unfilter_rows(rows)) << pixel_bytes << " row " << bad_row;
            EXPECT_FALSE(unfilter_rows_reference(rows)) << pixel_bytes << " row " << bad_row;
        }
    }
}
