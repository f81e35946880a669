// unfilter.cpp - undoing PNG's row filters (see unfilter.h).
#include "reading/unfilter.h"

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

// Four rows are unfiltered together, as the four 4-byte lanes of a
// register: lane k holds row k's pixel x - k. Its left neighbour is the
// same lane one step earlier, its upper neighbour lane k - 1 one step
// earlier, and its upper-left one lane k - 1 two steps earlier; lane 0
// takes those two from the row above the four.
const int LANES = 4;

struct Group {
    const uint8_t* in[LANES];  // filtered bytes of each row (after the type byte)
    uint8_t* out[LANES];       // lanes past `rows`: a spare row, written and never read
    const uint8_t* prior;
    int rows;        // 1 to 4; lanes past it compute nothing that is kept
    long pixels;     // pixels to unfilter in each row
    __m128i sub, up, average, paeth;  // lanes of each filter type: all ones
};

uint32_t load32(const uint8_t* bytes) {
    uint32_t value;
    memcpy(&value, bytes, sizeof value);
    return value;
}

#if defined(__GNUC__)
#define ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ALWAYS_INLINE inline
#endif

// The predictors of all four lanes for their filters, byte by byte.
ALWAYS_INLINE __m128i predict(const Group& group, __m128i a, __m128i b, __m128i c) {
    const __m128i zero = _mm_setzero_si128();
    // Paeth with unsigned bytes: pa = |b - c|, pb = |a - c|, and
    // pc = |(b - c) + (a - c)|, which is pa + pb when both differences
    // have the same sign (saturating at 255 keeps every comparison below
    // true) and |pa - pb| otherwise.
    __m128i max_bc = _mm_max_epu8(b, c), max_ac = _mm_max_epu8(a, c);
    __m128i pa = _mm_sub_epi8(max_bc, _mm_min_epu8(b, c));
    __m128i pb = _mm_sub_epi8(max_ac, _mm_min_epu8(a, c));
    __m128i signs_differ = _mm_xor_si128(_mm_cmpeq_epi8(max_bc, b), _mm_cmpeq_epi8(max_ac, a));
    __m128i pc_apart = _mm_sub_epi8(_mm_max_epu8(pa, pb), _mm_min_epu8(pa, pb));
    __m128i pc = _mm_or_si128(_mm_and_si128(signs_differ, pc_apart),
                              _mm_andnot_si128(signs_differ, _mm_adds_epu8(pa, pb)));
    __m128i pa_le_pb = _mm_cmpeq_epi8(_mm_subs_epu8(pa, pb), zero);
    __m128i pa_le_pc = _mm_cmpeq_epi8(_mm_subs_epu8(pa, pc), zero);
    __m128i pb_le_pc = _mm_cmpeq_epi8(_mm_subs_epu8(pb, pc), zero);
    __m128i take_a = _mm_and_si128(pa_le_pb, pa_le_pc);
    __m128i b_or_c = _mm_or_si128(_mm_and_si128(pb_le_pc, b), _mm_andnot_si128(pb_le_pc, c));
    __m128i nearest = _mm_or_si128(_mm_and_si128(take_a, a), _mm_andnot_si128(take_a, b_or_c));
    // Average rounds down; the instruction rounds up.
    __m128i average = _mm_sub_epi8(_mm_avg_epu8(a, b),
                                   _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
    __m128i left_or_up = _mm_or_si128(_mm_and_si128(group.sub, a), _mm_and_si128(group.up, b));
    __m128i mean_or_paeth = _mm_or_si128(_mm_and_si128(group.average, average),
                                         _mm_and_si128(group.paeth, nearest));
    return _mm_or_si128(left_or_up, mean_or_paeth);
}

// A pixel of `bytes` bytes, or 0 outside 0..pixels-1.
template <int BYTES>
uint32_t load_pixel(const uint8_t* row, long x, long pixels) {
    uint32_t value = 0;
    if (x >= 0 && x < pixels) memcpy(&value, row + x * BYTES, BYTES);
    return value;
}

// One step at the ends of the rows, where some lanes lie outside them:
// exact loads and stores, and lanes left of a row's start kept at zero so
// that they are the left neighbours its first pixel sees.
template <int BYTES>
void edge_step(const Group& group, long step, __m128i* previous, __m128i* before) {
    uint32_t in[LANES], keep[LANES];
    for (int lane = 0; lane < LANES; ++lane) {
        long x = step - lane;
        in[lane] = lane < group.rows ? load_pixel<BYTES>(group.in[lane], x, group.pixels) : 0;
        keep[lane] = x >= 0 ? 0xFFFFFFFFu : 0;
    }
    __m128i b = _mm_or_si128(_mm_slli_si128(*previous, 4),
                             _mm_cvtsi32_si128(static_cast<int>(load_pixel<BYTES>(group.prior, step, group.pixels))));
    __m128i c = _mm_or_si128(_mm_slli_si128(*before, 4),
                             _mm_cvtsi32_si128(static_cast<int>(load_pixel<BYTES>(group.prior, step - 1, group.pixels))));
    __m128i filtered = _mm_setr_epi32(static_cast<int>(in[0]), static_cast<int>(in[1]),
                                      static_cast<int>(in[2]), static_cast<int>(in[3]));
    __m128i kept = _mm_setr_epi32(static_cast<int>(keep[0]), static_cast<int>(keep[1]),
                                  static_cast<int>(keep[2]), static_cast<int>(keep[3]));
    __m128i result = _mm_and_si128(_mm_add_epi8(filtered, predict(group, *previous, b, c)), kept);
    uint32_t lanes[LANES];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), result);
    for (int lane = 0; lane < LANES; ++lane) {
        long x = step - lane;
        if (lane < group.rows && x >= 0 && x < group.pixels) {
            memcpy(group.out[lane] + x * BYTES, &lanes[lane], BYTES);
        }
    }
    *before = *previous;
    *previous = result;
}

// One step where every lane lies inside its row, short of its last pixel:
// loads and stores of four bytes, for 3-byte pixels one byte more than the
// pixel, which the next step overwrites.
template <int BYTES>
ALWAYS_INLINE void inner_step(const Group& group, long step, __m128i* previous, __m128i* before) {
    size_t at = static_cast<size_t>(step) * BYTES;
    __m128i filtered = _mm_setr_epi32(static_cast<int>(load32(group.in[0] + at)),
                                      static_cast<int>(load32(group.in[1] + at - BYTES)),
                                      static_cast<int>(load32(group.in[2] + at - 2 * BYTES)),
                                      static_cast<int>(load32(group.in[3] + at - 3 * BYTES)));
    __m128i b = _mm_or_si128(_mm_slli_si128(*previous, 4),
                             _mm_cvtsi32_si128(static_cast<int>(load32(group.prior + at))));
    __m128i c = _mm_or_si128(_mm_slli_si128(*before, 4),
                             _mm_cvtsi32_si128(static_cast<int>(load32(group.prior + at - BYTES))));
    __m128i result = _mm_add_epi8(filtered, predict(group, *previous, b, c));
    uint32_t lanes[LANES] = {static_cast<uint32_t>(_mm_cvtsi128_si32(result)),
                             static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(result, 4))),
                             static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(result, 8))),
                             static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(result, 12)))};
    memcpy(group.out[0] + at, &lanes[0], 4);
    memcpy(group.out[1] + at - BYTES, &lanes[1], 4);
    memcpy(group.out[2] + at - 2 * BYTES, &lanes[2], 4);
    memcpy(group.out[3] + at - 3 * BYTES, &lanes[3], 4);
    *before = *previous;
    *previous = result;
}

__m128i lanes_of(const int* filters, int filter) {
    return _mm_setr_epi32(filters[0] == filter ? -1 : 0, filters[1] == filter ? -1 : 0,
                          filters[2] == filter ? -1 : 0, filters[3] == filter ? -1 : 0);
}

template <int BYTES>
void unfilter_group(Group& group) {
    __m128i previous = _mm_setzero_si128(), before = _mm_setzero_si128();
    long last_step = group.pixels - 1 + (LANES - 1);
    long step = 0;
    // The inner steps need every lane short of its last pixel.
    long inner_end = group.pixels - 1;
    for (; step < LANES - 1 && step <= last_step; ++step) edge_step<BYTES>(group, step, &previous, &before);
    for (; step < inner_end; ++step) inner_step<BYTES>(group, step, &previous, &before);
    for (; step <= last_step; ++step) edge_step<BYTES>(group, step, &previous, &before);
}

template <int BYTES>
bool unfilter_fast(const UnfilterRows& rows, uint8_t* spare) {
    const uint8_t* prior = rows.prior;
    for (size_t first = 0; first < rows.count; first += LANES) {
        Group group;
        group.rows = static_cast<int>(rows.count - first < LANES ? rows.count - first : LANES);
        group.pixels = static_cast<long>(rows.length / BYTES);
        group.prior = prior;
        int filters[LANES] = {NONE, NONE, NONE, NONE};
        for (int lane = 0; lane < LANES; ++lane) {
            size_t row = first + static_cast<size_t>(lane < group.rows ? lane : 0);
            const uint8_t* in = rows.filtered + row * rows.filtered_stride;
            if (lane < group.rows) {
                if (in[0] > PAETH) return false;
                filters[lane] = in[0];
            }
            group.in[lane] = in + 1;
            group.out[lane] = lane < group.rows ? rows.out + row * rows.out_stride : spare;
        }
        group.sub = lanes_of(filters, SUB);
        group.up = lanes_of(filters, UP);
        group.average = lanes_of(filters, AVERAGE);
        group.paeth = lanes_of(filters, PAETH);
        unfilter_group<BYTES>(group);
        prior = group.out[group.rows - 1];
    }
    return true;
}

}  // namespace

bool unfilter_rows(const UnfilterRows& rows) {
    if (rows.pixel_bytes != 3 && rows.pixel_bytes != 4) return unfilter_rows_reference(rows);
    // Lanes without a row of their own (the last rows, when fewer than four)
    // read the group's first row and write here.
    uint8_t* spare = static_cast<uint8_t*>(malloc(rows.length + 4));
    if (!spare) return unfilter_rows_reference(rows);
    bool ok = rows.pixel_bytes == 3 ? unfilter_fast<3>(rows, spare) : unfilter_fast<4>(rows, spare);
    free(spare);
    return ok;
}

#else

bool unfilter_rows(const UnfilterRows& rows) { return unfilter_rows_reference(rows); }

#endif
