// unfilter.cpp - undoing PNG's row filters (see unfilter.h).
#include "reading/png/unfilter.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

enum Filter { NONE = 0, SUB = 1, UP = 2, AVERAGE = 3, PAETH = 4 };

uint8_t paeth(int a, int b, int c) {
    int pa = abs(b - c), pb = abs(a - c), pc = abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

void unfilter_row_reference(int filter, const uint8_t* in, const uint8_t* prior, uint8_t* out,
                            size_t length, size_t pixel_bytes) {
    for (size_t i = 0; i < length; ++i) {
        int a = i >= pixel_bytes ? out[i - pixel_bytes] : 0;
        int b = prior[i];
        int c = i >= pixel_bytes ? prior[i - pixel_bytes] : 0;
        int predicted = filter == SUB       ? a
                        : filter == UP      ? b
                        : filter == AVERAGE ? (a + b) / 2
                        : filter == PAETH   ? paeth(a, b, c)
                                            : 0;
        out[i] = static_cast<uint8_t>(in[i] + predicted);
    }
}

}  // namespace

bool unfilter_rows_reference(const UnfilterRows& rows) {
    const uint8_t* prior = rows.prior;
    for (size_t row = 0; row < rows.count; ++row) {
        const uint8_t* in = rows.filtered + row * rows.filtered_stride;
        uint8_t* out = rows.out + row * rows.out_stride;
        if (in[0] > PAETH) return false;
        unfilter_row_reference(in[0], in + 1, prior, out, rows.length,
                               static_cast<size_t>(rows.pixel_bytes));
        prior = out;
    }
    return true;
}

#if defined(__SSE2__)

namespace {

// Rows are unfiltered together as the four 4-byte lanes of a register,
// and up to MOST_REGISTERS registers side by side: row k of a group
// (register k / 4, lane k % 4) holds its pixel x - k at step x. Its left
// neighbour is its own lane one step earlier, its upper neighbour row
// k - 1 one step earlier, and its upper-left one row k - 1 two steps
// earlier; row 0 takes those two from the row above the group. A
// register's step needs only the previous step of its own and of the
// register above, so the processor runs the registers' steps side by
// side. A group whose rows share a filter type takes a step with that
// filter's predictor alone, a far shorter chain than all four.
const int LANES = 4;
const int MOST_REGISTERS = 3;
const int GROUP = LANES * MOST_REGISTERS;
const int MIXED = -1;  // a group whose rows have different filter types

// All ones in the lanes whose rows have each filter type (mixed groups).
struct Masks {
    __m128i sub, up, average, paeth;
};

struct Group {
    const uint8_t* in[GROUP];  // filtered bytes of each row (after the type byte)
    uint8_t* out[GROUP];       // rows past `rows`: a spare row, written and never read
    const uint8_t* prior;
    int rows;     // 1 to GROUP; rows past it compute nothing that is kept
    long pixels;  // pixels to unfilter in each row
    Masks masks[MOST_REGISTERS];
};

// Each register's last results and the upper neighbours they were made
// from (the next step's upper-left ones).
template <int REGISTERS>
struct Chain {
    __m128i left[REGISTERS];
    __m128i upper[REGISTERS];
};

uint32_t load32(const uint8_t* bytes) {
    uint32_t value;
    memcpy(&value, bytes, sizeof value);
    return value;
}

void store32(uint8_t* bytes, __m128i lane0) {
    uint32_t value = static_cast<uint32_t>(_mm_cvtsi128_si32(lane0));
    memcpy(bytes, &value, sizeof value);
}

#if defined(__GNUC__)
#define ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ALWAYS_INLINE inline
#endif

ALWAYS_INLINE __m128i select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Paeth's nearest of a, b and c, byte by byte, with unsigned bytes. With
// pa = |b - c| and pb = |a - c|, pc = |(b - c) + (a - c)| is pa + pb when
// a and b lie on the same side of c (counting c itself as above it), and
// then the nearer of a and b wins (a on a tie). Otherwise pc = |pa - pb|,
// and the nearer of a and b wins only if it is no further than that, that
// is when twice its distance is at most the other's; else c. (Checked
// against the plain one for all 2^24 triples of bytes.)
ALWAYS_INLINE __m128i paeth_nearest(__m128i a, __m128i b, __m128i c) {
    __m128i max_bc = _mm_max_epu8(b, c), max_ac = _mm_max_epu8(a, c);
    __m128i pa = _mm_sub_epi8(max_bc, _mm_min_epu8(b, c));
    __m128i pb = _mm_sub_epi8(max_ac, _mm_min_epu8(a, c));
    __m128i same_side = _mm_cmpeq_epi8(_mm_cmpeq_epi8(max_bc, b), _mm_cmpeq_epi8(max_ac, a));
    __m128i least = _mm_min_epu8(pa, pb), most = _mm_max_epu8(pa, pb);
    __m128i a_or_b = select(_mm_cmpeq_epi8(least, pa), a, b);
    // Apart, pa + pb = |a - b| < 256, so twice the least does not saturate.
    __m128i twice_least = _mm_adds_epu8(least, least);
    __m128i c_further = _mm_cmpeq_epi8(_mm_subs_epu8(twice_least, most), _mm_setzero_si128());
    return select(_mm_or_si128(same_side, c_further), a_or_b, c);
}

// The predictors of a mixed group's lanes for their filters, byte by byte.
ALWAYS_INLINE __m128i predict_mixed(const Masks& masks, __m128i a, __m128i b, __m128i c) {
    // Average rounds down; the instruction rounds up.
    __m128i average = _mm_sub_epi8(_mm_avg_epu8(a, b),
                                   _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
    __m128i left_or_up = _mm_or_si128(_mm_and_si128(masks.sub, a), _mm_and_si128(masks.up, b));
    __m128i mean_or_paeth = _mm_or_si128(_mm_and_si128(masks.average, average),
                                         _mm_and_si128(masks.paeth, paeth_nearest(a, b, c)));
    return _mm_or_si128(left_or_up, mean_or_paeth);
}

// How the chain holds bytes: Average's complemented, since the average
// rounded down of a and b is ~avg_up(~a, ~b), so that ~out is
// avg_up(~a, ~b) - filtered, two instructions; the others' as they are.
// Its own inverse.
template <int FILTER>
ALWAYS_INLINE __m128i chain_form(__m128i bytes) {
    if constexpr (FILTER == AVERAGE) return _mm_xor_si128(bytes, _mm_set1_epi8(-1));
    return bytes;
}

// A pixel of the row above the group in lane 0 in the chain's form, the
// other lanes zero.
template <int FILTER>
ALWAYS_INLINE __m128i prior_lane(uint32_t pixel) {
    return _mm_cvtsi32_si128(static_cast<int>(FILTER == AVERAGE ? ~pixel : pixel));
}

// A step's results from the left, upper and upper-left neighbours, in
// the chain's form.
template <int FILTER>
ALWAYS_INLINE __m128i next(const Masks& masks, __m128i a, __m128i b, __m128i c, __m128i filtered) {
    if constexpr (FILTER == SUB) return _mm_add_epi8(filtered, a);
    if constexpr (FILTER == AVERAGE) return _mm_sub_epi8(_mm_avg_epu8(a, b), filtered);
    if constexpr (FILTER == PAETH) return _mm_add_epi8(filtered, paeth_nearest(a, b, c));
    return _mm_add_epi8(filtered, predict_mixed(masks, a, b, c));
}

// The upper neighbours of every register's lanes: the lanes above one step
// earlier, and for the first, `prior` (lane 0, the rest zero).
template <int REGISTERS>
ALWAYS_INLINE void upper_neighbours(const __m128i* left, __m128i prior, __m128i* upper) {
    upper[0] = _mm_or_si128(_mm_slli_si128(left[0], 4), prior);
#pragma GCC unroll 4
    for (int r = 1; r < REGISTERS; ++r) {
        upper[r] = _mm_or_si128(_mm_slli_si128(left[r], 4), _mm_srli_si128(left[r - 1], 12));
    }
}

// Register r's next results, in the chain's form, from its filtered bytes
// and the upper neighbours of every register; the chain moves on to them.
template <int FILTER, int REGISTERS>
ALWAYS_INLINE __m128i advance(const Group& group, int r, const __m128i* upper, __m128i filtered,
                              Chain<REGISTERS>* chain) {
    __m128i result = next<FILTER>(group.masks[r], chain->left[r], upper[r], chain->upper[r], filtered);
    chain->left[r] = result;
    chain->upper[r] = upper[r];
    return result;
}

// A pixel of `bytes` bytes, or 0 outside 0..pixels-1.
template <int BYTES>
int load_pixel(const uint8_t* row, long x, long pixels) {
    uint32_t value = 0;
    if (x >= 0 && x < pixels) memcpy(&value, row + x * BYTES, BYTES);
    return static_cast<int>(value);
}

// Lane 0's pixel, where x is inside 0..pixels-1.
template <int BYTES>
void store_pixel(uint8_t* row, long x, long pixels, __m128i lane0) {
    if (x < 0 || x >= pixels) return;
    uint32_t value = static_cast<uint32_t>(_mm_cvtsi128_si32(lane0));
    memcpy(row + x * BYTES, &value, BYTES);
}

// One step at the ends of the rows, where some lanes lie outside them:
// exact loads and stores, and lanes left of a row's start kept at zero so
// that they are the left neighbours its first pixel sees. (Rows past the
// group's read its first row and write the spare row.)
template <int BYTES, int FILTER, int REGISTERS>
void edge_step(const Group& group, long step, Chain<REGISTERS>* chain) {
    __m128i prior = prior_lane<FILTER>(load_pixel<BYTES>(group.prior, step, group.pixels));
    __m128i upper[REGISTERS];
    upper_neighbours<REGISTERS>(chain->left, prior, upper);
    for (int r = 0; r < REGISTERS; ++r) {
        const uint8_t* const* in = group.in + r * LANES;
        uint8_t* const* out = group.out + r * LANES;
        long x = step - r * LANES;  // lane 0's pixel
        long pixels = group.pixels;
        __m128i filtered = _mm_setr_epi32(load_pixel<BYTES>(in[0], x, pixels),
                                          load_pixel<BYTES>(in[1], x - 1, pixels),
                                          load_pixel<BYTES>(in[2], x - 2, pixels),
                                          load_pixel<BYTES>(in[3], x - 3, pixels));
        // Lane k is kept from x - k = 0 on.
        int started = static_cast<int>(x < 0 ? 0 : x < LANES ? x + 1 : LANES);
        __m128i kept = _mm_cmplt_epi32(_mm_setr_epi32(0, 1, 2, 3), _mm_set1_epi32(started));
        __m128i bytes = _mm_and_si128(chain_form<FILTER>(advance<FILTER>(group, r, upper, filtered, chain)), kept);
        store_pixel<BYTES>(out[0], x, pixels, bytes);
        store_pixel<BYTES>(out[1], x - 1, pixels, _mm_shuffle_epi32(bytes, 1));
        store_pixel<BYTES>(out[2], x - 2, pixels, _mm_shuffle_epi32(bytes, 2));
        store_pixel<BYTES>(out[3], x - 3, pixels, _mm_shuffle_epi32(bytes, 3));
        chain->left[r] = chain_form<FILTER>(bytes);
    }
}

// One step where every lane lies inside its row and, for 3-byte pixels,
// short of its last pixel: loads and stores of four bytes, for 3-byte
// pixels one byte more than the pixel, which the next step overwrites.
template <int BYTES, int FILTER, int REGISTERS>
ALWAYS_INLINE void inner_step(const Group& group, long step, Chain<REGISTERS>* chain) {
    size_t at = static_cast<size_t>(step) * BYTES;
    __m128i prior = prior_lane<FILTER>(load32(group.prior + at));
    __m128i upper[REGISTERS];
    upper_neighbours<REGISTERS>(chain->left, prior, upper);
#pragma GCC unroll 4
    for (int r = 0; r < REGISTERS; ++r) {
        const uint8_t* const* in = group.in + r * LANES;
        uint8_t* const* out = group.out + r * LANES;
        size_t from = at - static_cast<size_t>(r * LANES * BYTES);
        __m128i filtered = _mm_setr_epi32(static_cast<int>(load32(in[0] + from)),
                                          static_cast<int>(load32(in[1] + from - BYTES)),
                                          static_cast<int>(load32(in[2] + from - 2 * BYTES)),
                                          static_cast<int>(load32(in[3] + from - 3 * BYTES)));
        __m128i bytes = chain_form<FILTER>(advance<FILTER>(group, r, upper, filtered, chain));
        store32(out[0] + from, bytes);
        store32(out[1] + from - BYTES, _mm_shuffle_epi32(bytes, 1));
        store32(out[2] + from - 2 * BYTES, _mm_shuffle_epi32(bytes, 2));
        store32(out[3] + from - 3 * BYTES, _mm_shuffle_epi32(bytes, 3));
    }
}

// Rows of four 4-byte values into columns: the transpose of a 4 x 4 matrix.
ALWAYS_INLINE void transpose(__m128i* v) {
    __m128i t0 = _mm_unpacklo_epi32(v[0], v[1]), t1 = _mm_unpacklo_epi32(v[2], v[3]);
    __m128i t2 = _mm_unpackhi_epi32(v[0], v[1]), t3 = _mm_unpackhi_epi32(v[2], v[3]);
    v[0] = _mm_unpacklo_epi64(t0, t1);
    v[1] = _mm_unpackhi_epi64(t0, t1);
    v[2] = _mm_unpacklo_epi64(t2, t3);
    v[3] = _mm_unpackhi_epi64(t2, t3);
}

// Each row's four 4-byte pixels from `at` (less its stagger) in the
// register's lanes, transposed into one register a step; and back.
template <int REGISTERS>
ALWAYS_INLINE void load_block(const Group& group, size_t at, __m128i (*lanes)[LANES]) {
#pragma GCC unroll 4
    for (int r = 0; r < REGISTERS; ++r) {
#pragma GCC unroll 4
        for (int lane = 0; lane < LANES; ++lane) {
            int row = r * LANES + lane;
            const uint8_t* from = group.in[row] + at - static_cast<size_t>(row * 4);
            lanes[r][lane] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        }
        transpose(lanes[r]);
    }
}

template <int REGISTERS>
ALWAYS_INLINE void store_block(const Group& group, size_t at, __m128i (*lanes)[LANES]) {
#pragma GCC unroll 4
    for (int r = 0; r < REGISTERS; ++r) {
        transpose(lanes[r]);
#pragma GCC unroll 4
        for (int lane = 0; lane < LANES; ++lane) {
            int row = r * LANES + lane;
            uint8_t* to = group.out[row] + at - static_cast<size_t>(row * 4);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to), lanes[r][lane]);
        }
    }
}

// Four inner steps of 4-byte pixels at once: each row's four pixels are 16
// bytes in a row, loaded and stored whole.
template <int FILTER, int REGISTERS>
ALWAYS_INLINE void inner_block(const Group& group, long step, Chain<REGISTERS>* chain) {
    size_t at = static_cast<size_t>(step) * 4;
    __m128i lanes[REGISTERS][LANES];
    load_block<REGISTERS>(group, at, lanes);
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) {
        __m128i prior = prior_lane<FILTER>(load32(group.prior + at + static_cast<size_t>(j) * 4));
        __m128i upper[REGISTERS];
        upper_neighbours<REGISTERS>(chain->left, prior, upper);
#pragma GCC unroll 4
        for (int r = 0; r < REGISTERS; ++r) {
            lanes[r][j] = chain_form<FILTER>(advance<FILTER>(group, r, upper, lanes[r][j], chain));
        }
    }
    store_block<REGISTERS>(group, at, lanes);
}

// Four Average steps of up to four rows of 4-byte pixels, each row in a
// register of its own (its pixel in lane 0, complemented as in the chain):
// its upper neighbour is then the register above as it is, with no shift
// between lanes, so a step waits on two instructions instead of four.
// With more rows the lanes' way keeps the processor busier.
ALWAYS_INLINE void average_rows_apart(const Group& group, long step, __m128i* rows) {
    const __m128i ones = _mm_set1_epi8(-1);
    size_t at = static_cast<size_t>(step) * 4;
    __m128i prior = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(group.prior + at)), ones);
    __m128i out[LANES][4];
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) {
        __m128i above = prior;
#pragma GCC unroll 4
        for (int k = 0; k < LANES; ++k) {
            size_t from = at + static_cast<size_t>((j - k) * 4);
            __m128i filtered = _mm_cvtsi32_si128(static_cast<int>(load32(group.in[k] + from)));
            out[k][j] = _mm_sub_epi8(_mm_avg_epu8(rows[k], above), filtered);
            above = rows[k];
            rows[k] = out[k][j];
        }
        prior = _mm_srli_si128(prior, 4);
    }
#pragma GCC unroll 4
    for (int k = 0; k < LANES; ++k) {
        __m128i pixels = _mm_unpacklo_epi64(_mm_unpacklo_epi32(out[k][0], out[k][1]),
                                            _mm_unpacklo_epi32(out[k][2], out[k][3]));
        uint8_t* to = group.out[k] + at - static_cast<size_t>(k * 4);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_xor_si128(pixels, ones));
    }
}

// Average's inner steps in fours with the rows apart, from the chain's
// lanes and back into them. Average reads no upper-left neighbour, so
// chain->upper is left behind.
ALWAYS_INLINE long average_apart_steps(const Group& group, long step, long end, Chain<1>* chain) {
    __m128i left = chain->left[0];
    __m128i rows[LANES] = {left, _mm_srli_si128(left, 4), _mm_srli_si128(left, 8), _mm_srli_si128(left, 12)};
    for (; step + 4 <= end; step += 4) average_rows_apart(group, step, rows);
    chain->left[0] = _mm_unpacklo_epi64(_mm_unpacklo_epi32(rows[0], rows[1]), _mm_unpacklo_epi32(rows[2], rows[3]));
    return step;
}

// The inner steps from `step` to `end`, on copies of the group and the
// chain that no store to a row can alter, so that they stay in registers.
template <int BYTES, int FILTER, int REGISTERS>
ALWAYS_INLINE long inner_steps(const Group group, long step, long end, Chain<REGISTERS>* chain) {
    Chain<REGISTERS> kept = *chain;
    if constexpr (BYTES == 4 && FILTER == AVERAGE && REGISTERS == 1) {
        step = average_apart_steps(group, step, end, &kept);
    } else if constexpr (BYTES == 4) {
        for (; step + 4 <= end; step += 4) inner_block<FILTER, REGISTERS>(group, step, &kept);
    }
    for (; step < end; ++step) inner_step<BYTES, FILTER, REGISTERS>(group, step, &kept);
    *chain = kept;
    return step;
}

template <int BYTES, int FILTER, int REGISTERS>
void unfilter_group(const Group& group) {
    Chain<REGISTERS> chain;
    for (int r = 0; r < REGISTERS; ++r) {
        chain.left[r] = chain_form<FILTER>(_mm_setzero_si128());
        chain.upper[r] = chain.left[r];
    }
    const long rows = REGISTERS * LANES;
    long last_step = group.pixels - 1 + (rows - 1);
    // The inner steps need every lane inside its row, for 3-byte pixels
    // short of its last pixel.
    long inner_end = BYTES == 4 ? group.pixels : group.pixels - 1;
    long step = 0;
    for (; step < rows - 1 && step <= last_step; ++step) edge_step<BYTES, FILTER, REGISTERS>(group, step, &chain);
    step = inner_steps<BYTES, FILTER, REGISTERS>(group, step, inner_end, &chain);
    for (; step <= last_step; ++step) edge_step<BYTES, FILTER, REGISTERS>(group, step, &chain);
}

// Registers side by side for each filter type, as many as keep the
// processor busy (bench_unfilter): Sub's rows need no row above and its
// chain is one instruction a step, so one register does; more only slow
// it down. The others gain up to three.
constexpr int most_registers(int filter) { return filter == SUB ? 1 : MOST_REGISTERS; }

// With as few registers as hold the group's rows.
template <int BYTES, int FILTER>
void unfilter_staggered(const Group& group) {
    constexpr int MOST = most_registers(FILTER);
    static_assert(MOST <= 3, "a case for each register count");
    int registers = (group.rows + LANES - 1) / LANES;
    if constexpr (MOST >= 3) {
        if (registers == 3) return unfilter_group<BYTES, FILTER, 3>(group);
    }
    if constexpr (MOST >= 2) {
        if (registers == 2) return unfilter_group<BYTES, FILTER, 2>(group);
    }
    unfilter_group<BYTES, FILTER, 1>(group);
}

// Rows whose bytes need no left neighbour: None and Up, 16 bytes at a time.
void unfilter_row_up(int filter, const uint8_t* in, const uint8_t* prior, uint8_t* out, size_t length) {
    if (filter == NONE) {
        memcpy(out, in, length);
        return;
    }
    size_t i = 0;
    for (; i + 16 <= length; i += 16) {
        __m128i sum = _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), sum);
    }
    for (; i < length; ++i) out[i] = static_cast<uint8_t>(in[i] + prior[i]);
}

int filter_of(const UnfilterRows& rows, size_t row) { return rows.filtered[row * rows.filtered_stride]; }

__m128i lanes_of(const UnfilterRows& rows, size_t first, int count, int filter) {
    int lanes[LANES];
    for (int lane = 0; lane < LANES; ++lane) {
        lanes[lane] = lane < count && filter_of(rows, first + static_cast<size_t>(lane)) == filter ? -1 : 0;
    }
    return _mm_setr_epi32(lanes[0], lanes[1], lanes[2], lanes[3]);
}

// Rows first to first + count - 1 below `prior`.
Group group_of(const UnfilterRows& rows, size_t first, int count, const uint8_t* prior, uint8_t* spare) {
    Group group;
    group.rows = count;
    group.pixels = static_cast<long>(rows.length / static_cast<size_t>(rows.pixel_bytes));
    group.prior = prior;
    for (int row = 0; row < GROUP; ++row) {
        size_t at = first + static_cast<size_t>(row < count ? row : 0);
        group.in[row] = rows.filtered + at * rows.filtered_stride + 1;
        group.out[row] = row < count ? rows.out + at * rows.out_stride : spare;
    }
    for (int r = 0; r < MOST_REGISTERS; ++r) {
        size_t lane0 = first + static_cast<size_t>(r * LANES);
        int lanes = count - r * LANES;
        group.masks[r] = {lanes_of(rows, lane0, lanes, SUB), lanes_of(rows, lane0, lanes, UP),
                          lanes_of(rows, lane0, lanes, AVERAGE), lanes_of(rows, lane0, lanes, PAETH)};
    }
    return group;
}

template <int BYTES>
void unfilter_group_of(int filter, const Group& group) {
    if (filter == SUB) return unfilter_staggered<BYTES, SUB>(group);
    if (filter == AVERAGE) return unfilter_staggered<BYTES, AVERAGE>(group);
    if (filter == PAETH) return unfilter_staggered<BYTES, PAETH>(group);
    unfilter_staggered<BYTES, MIXED>(group);
}

// Rows a group of the filter type takes at most: None and Up rows go one
// at a time.
size_t group_rows(int filter) {
    return filter == NONE || filter == UP ? 1 : static_cast<size_t>(most_registers(filter) * LANES);
}

// Rows of one filter type from `first`, up to `most`.
size_t run_of(const UnfilterRows& rows, size_t first, size_t most) {
    int filter = filter_of(rows, first);
    size_t run = 1;
    while (run < most && first + run < rows.count && filter_of(rows, first + run) == filter) ++run;
    return run;
}

// Whether the rows from `first` are worth a group of their filter type:
// Sub, Average or Paeth rows that fill one, or a register's worth or more
// up to the last row.
bool own_group_at(const UnfilterRows& rows, size_t first) {
    int filter = filter_of(rows, first);
    if (filter == NONE || filter == UP) return false;
    size_t most = group_rows(filter);
    size_t run = run_of(rows, first, most);
    return run == most || (run >= LANES && first + run == rows.count);
}

// How many rows from `first` go together, and with which filter: a group
// of one type where the rows fill one or reach the last row, else a mixed
// group of up to GROUP rows that stops short of rows worth a group of
// their own (and is of one type too if they come within its first run).
int next_group(const UnfilterRows& rows, size_t first, int* filter) {
    *filter = filter_of(rows, first);
    size_t run = run_of(rows, first, group_rows(*filter));
    if (run == group_rows(*filter) || first + run == rows.count) return static_cast<int>(run);
    size_t count = 1;
    while (count < GROUP && first + count < rows.count && !own_group_at(rows, first + count)) ++count;
    if (run < count) *filter = MIXED;
    return static_cast<int>(count);
}

template <int BYTES>
void unfilter_fast(const UnfilterRows& rows, uint8_t* spare) {
    const uint8_t* prior = rows.prior;
    for (size_t first = 0; first < rows.count;) {
        int filter;
        int count = next_group(rows, first, &filter);
        uint8_t* last = rows.out + (first + static_cast<size_t>(count) - 1) * rows.out_stride;
        if (filter == NONE || filter == UP) {
            unfilter_row_up(filter, rows.filtered + first * rows.filtered_stride + 1, prior, last, rows.length);
        } else {
            unfilter_group_of<BYTES>(filter, group_of(rows, first, count, prior, spare));
        }
        prior = last;
        first += static_cast<size_t>(count);
    }
}

}  // namespace

bool unfilter_rows(const UnfilterRows& rows) {
    if (rows.pixel_bytes != 3 && rows.pixel_bytes != 4) return unfilter_rows_reference(rows);
    for (size_t row = 0; row < rows.count; ++row) {
        if (filter_of(rows, row) > PAETH) return false;
    }
    // Lanes without a row of their own (the last rows, when fewer than a
    // group) read the group's first row and write here.
    uint8_t* spare = static_cast<uint8_t*>(malloc(rows.length + 4));
    if (!spare) return unfilter_rows_reference(rows);
    if (rows.pixel_bytes == 3) {
        unfilter_fast<3>(rows, spare);
    } else {
        unfilter_fast<4>(rows, spare);
    }
    free(spare);
    return true;
}

#else

bool unfilter_rows(const UnfilterRows& rows) { return unfilter_rows_reference(rows); }

#endif
