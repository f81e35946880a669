// bench_unfilter - the row unfilter's speed, fast against plain: 71 rows of
// a 2560-pixel screenshot, their leftmost 1476 pixels unfiltered, with 3
// and 4 bytes a pixel and each filter type for every row, mixed at random,
// or the first row Sub and the others Average.
//
//     bench_unfilter [repeats]
//
// Prints the median microseconds a call over `repeats` calls (default 301),
// the two unfilters taking turns so that both see the same load on the
// machine, for all rows in one call and for the rows in windows of a few
// as the top-rows reader hands them over, and says so when the two
// disagree.
#include "reading/png/unfilter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

const size_t WIDTH = 2560, COLUMNS = 1476, ROWS = 71;
const int MIXED = -1;
const int FIRST_SUB = -2;  // the first row Sub, the others Average

struct Input {
    int pixel_bytes;
    size_t stride;
    std::vector<uint8_t> filtered, prior;
};

// Random bytes: the speed does not depend on them.
Input make_input(int pixel_bytes, int filter) {
    Input input = {pixel_bytes, WIDTH * static_cast<size_t>(pixel_bytes) + 1, {}, {}};
    std::mt19937 random(7);
    input.filtered.resize(ROWS * input.stride);
    for (uint8_t& byte : input.filtered) byte = static_cast<uint8_t>(random());
    for (size_t row = 0; row < ROWS; ++row) {
        int type = filter == MIXED       ? static_cast<int>(random() % 5)
                   : filter == FIRST_SUB ? (row == 0 ? 1 : 3)
                                         : filter;
        input.filtered[row * input.stride] = static_cast<uint8_t>(type);
    }
    input.prior.assign(input.stride - 1, 0);
    return input;
}

// Unfilters every row, `window` rows a call, into out.
bool unfilter_all(bool (*unfilter)(const UnfilterRows&), const Input& input, size_t window,
                  std::vector<uint8_t>* out) {
    const uint8_t* prior = input.prior.data();
    size_t row_bytes = input.stride - 1;
    for (size_t row = 0; row < ROWS; row += window) {
        size_t count = std::min(window, ROWS - row);
        uint8_t* first = out->data() + row * row_bytes;
        UnfilterRows rows = {input.filtered.data() + row * input.stride, input.stride, prior, first,
                             row_bytes, count, COLUMNS * static_cast<size_t>(input.pixel_bytes),
                             input.pixel_bytes};
        if (!unfilter(rows)) return false;
        prior = first + (count - 1) * row_bytes;
    }
    return true;
}

double microseconds(bool (*unfilter)(const UnfilterRows&), const Input& input, size_t window,
                    std::vector<uint8_t>* out) {
    auto start = std::chrono::steady_clock::now();
    unfilter_all(unfilter, input, window, out);
    std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
    return took.count();
}

double median(std::vector<double> times) {
    std::nth_element(times.begin(), times.begin() + static_cast<long>(times.size() / 2), times.end());
    return times[times.size() / 2];
}

const char* filter_name(int filter) {
    static const char* NAMES[] = {"None", "Sub", "Up", "Average", "Paeth"};
    return filter == MIXED ? "mixed" : filter == FIRST_SUB ? "Sub,Avg" : NAMES[filter];
}

}  // namespace

int main(int argc, char* argv[]) {
    int repeats = argc > 1 ? atoi(argv[1]) : 301;
    if (repeats < 1) {
        fprintf(stderr, "usage: bench_unfilter [repeats]\n");
        return 2;
    }
    printf("%zu rows of %zu pixels, leftmost %zu unfiltered; median microseconds a call of %d\n",
           ROWS, WIDTH, COLUMNS, repeats);
    printf("%-6s %-8s %7s %10s %8s %8s\n", "bytes", "filter", "window", "reference", "fast", "ratio");
    bool same = true;
    for (int pixel_bytes : {3, 4}) {
        // The reader's window: 64 KiB of filtered rows, a multiple of four.
        size_t reader_window = (size_t(64) << 10) / (WIDTH * static_cast<size_t>(pixel_bytes) + 1) / 4 * 4;
        for (int filter : {3, 4, 1, 2, 0, MIXED, FIRST_SUB}) {
            Input input = make_input(pixel_bytes, filter);
            for (size_t window : {ROWS, reader_window}) {
                std::vector<uint8_t> plain(ROWS * (input.stride - 1)), fast(plain.size());
                // Turn about, so that both see the same load on the machine.
                std::vector<double> reference, quick;
                for (int i = 0; i < repeats; ++i) {
                    reference.push_back(microseconds(unfilter_rows_reference, input, window, &plain));
                    quick.push_back(microseconds(unfilter_rows, input, window, &fast));
                }
                printf("%-6d %-8s %7zu %10.1f %8.1f %7.2fx\n", pixel_bytes, filter_name(filter), window,
                       median(reference), median(quick), median(reference) / median(quick));
                if (plain != fast) {
                    printf("  the fast unfilter's bytes differ from the plain one's\n");
                    same = false;
                }
            }
        }
    }
    return same ? 0 : 1;
}
