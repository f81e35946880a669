// gauge.h - reading the health gauge out of a screenshot's pixels.
//
//     GaugeResult result = read_gauge_image(image);
//     if (result.status == GaugeStatus::read) ... result.reading is 0..1000 ...
//
// The pixels are matched against the built-in gauge layouts by three sample
// pixels each, and the health bar of the best layout is walked from its left
// end. The reading is the filled share of the bar in permille: 1000 is a full
// bar. Nothing here prints or touches a file: the modes tell the player what
// a result means. Decoding is decode.h's; opening a file and putting the two
// together is screenshot.h's.
#pragma once

#include "reading/image.h"

#include <cstddef>
#include <cstdint>

struct Colour {
    uint8_t red, green, blue;
};

struct SamplePoint {
    int32_t x, y;
    Colour colour;  // the colour expected there
};

struct GaugeType {
    int32_t screen_width;
    int32_t screen_height;
    int32_t bar_row;    // y of the scan line through the bar
    int32_t bar_first;  // x of the bar's left end
    int32_t bar_last;   // x of the bar's right end, inclusive
    Colour bar_colour;
    SamplePoint points[3];
};

constexpr int GAUGE_TYPE_COUNT = 9;
extern const GaugeType gauge_types[GAUGE_TYPE_COUNT];

constexpr int MAX_MATCH_SCORE = 600;   // highest accepted sum of three sample distances
constexpr int MAX_BAR_DISTANCE = 200;  // highest distance a bar pixel may have

// |R - r| + |G - g| + |B - b| for the three bytes at pixels.
int colour_distance(const uint8_t* pixels, Colour colour);

// True when the layout's sample points and whole bar lie inside the image's
// bytes and its width or height matches the layout's screen.
bool is_candidate(const Image& image, const GaugeType& type);

// The layout's score in the image: the sum of its three sample points'
// colour distances (the layout must be a candidate).
int match_score(const Image& image, const GaugeType& type);

// The best-matching layout's index, or -1 when none is a candidate. *score
// gets its score; ties go to the earlier layout.
int choose_gauge_type(const Image& image, int* score);

// Bar-coloured pixels from the left end, up to the first that is not.
uint32_t count_bar_pixels(const Image& image, const GaugeType& type);

// The filled part of the bar for a video frame, whose compression moves
// pixels: the walk from the left end steps over up to `skips` pixels in a
// row that are not bar-coloured and ends at the next one (or at the bar's
// end); the count runs up to the last bar-coloured pixel it saw.
uint32_t count_bar_pixels_skipping(const Image& image, const GaugeType& type, int skips);

// Pixels in the layout's bar, and the reading in permille of `filled` of them.
uint32_t bar_length(const GaugeType& type);
uint32_t bar_reading(const GaugeType& type, uint32_t filled);

enum class GaugeStatus {
    read,         // the bar was measured
    load_failed,  // the file could not be opened or decoded
    no_layout,    // no layout matches the screenshot well enough
};

// What reading one screenshot gave.
// Why a screenshot did not load (GaugeStatus::load_failed), for standard
// error only: the program's own messages on standard output never say.
enum class LoadProblem : uint8_t {
    none,
    cannot_open,  // not opened: load_error holds the system's error code (0: unknown)
    not_png,      // does not begin as a PNG file does
    too_large,    // a PNG whose picture is too large to decode
    cut_short,    // a PNG that ends before its end chunk
    damaged,      // a complete PNG whose data does not decode
};

struct GaugeResult {
    GaugeStatus status;
    uint32_t reading;  // 0..1000 when read
    int layout;        // row of gauge_types that matched best, -1 when none did
    int score;         // that row's match score (0 when none)
    uint32_t filled;   // bar pixels counted from the left end, when read
    int width = 0;     // the screenshot's size when it was decoded (or, too large
                       // to decode, matched no layout), else 0
    int height = 0;
    LoadProblem load_problem = LoadProblem::none;  // when load_failed
    int load_error = 0;  // for cannot_open: the system's error code, or 0
};

// Choose the layout, reject a poor match, measure.
GaugeResult read_gauge_image(const Image& image);

// A reading that may not come from a game screenshot at all. Lossless game
// screenshots score under 30 and lossy ones up to about 270, while other
// pictures of a screen's size can score under MAX_MATCH_SCORE by chance; and
// a game screenshot has the whole screen size of its layout, not one side of
// it. Such a reading is still a reading: the modes only tell the player.
constexpr int WEAK_MATCH_SCORE = 300;  // a reading scoring above it is weak

enum class MatchDoubt : uint8_t {
    none,        // not read, or a good match
    high_score,  // read with a score above WEAK_MATCH_SCORE
    one_side,    // read, but only its width or only its height is the layout's
};

// The doubt about a result, the size before the score: a result read from a
// picture of one matching side is one_side whatever its score.
MatchDoubt match_doubt(const GaugeResult& result);

// The screen sizes the game's screenshots come in, which the layouts are
// made for; the table's larger sizes are scaled copies of their bars.
struct ScreenSize {
    int width, height;
};
constexpr int SCREEN_SIZE_COUNT = 2;
constexpr ScreenSize SCREEN_SIZES[SCREEN_SIZE_COUNT] = {{1920, 1080}, {2560, 1440}};

// True when the width or the height of a picture is that of some layout's
// screen: only then can it be read.
bool size_fits_a_layout(int width, int height);

// Bytes from the top of a width x height image of `channels` channels that
// the candidate layouts can look at (the end of the furthest sample point or
// bar pixel); 0 when no layout matches either dimension.
uint64_t gauge_bytes_needed(int width, int height, int channels);

// Pixels from the left of a row of a width x height image that the
// candidate layouts and their gauge pictures (crop_gauge) look at: one past
// the furthest sample point or picture pixel, or the whole width when one
// of them lies at or past it (offsets run on into the next row there); 0
// when no layout matches either dimension.
uint32_t gauge_columns_needed(int width, int height);

// A small picture of the gauge of a screenshot that was read: the bar and
// CROP_MARGIN pixels around it on every side, as RGB, rows top to bottom.
// Bytes the reader could not see (past the decoded rows) are black.
constexpr int CROP_MARGIN = 12;
constexpr int CROP_MAX_WIDTH = 389 + 2 * CROP_MARGIN;  // the longest bar
constexpr int CROP_HEIGHT = 2 * CROP_MARGIN + 1;

struct GaugeCrop {
    int width;        // bar length + 2 * CROP_MARGIN
    int height;       // CROP_HEIGHT
    int bar_start;    // x of the bar's left end in the crop (CROP_MARGIN)
    int bar_end;      // x just past the filled part in the crop
    int bar_row;      // y of the scan line in the crop (CROP_MARGIN)
    uint8_t pixels[CROP_MAX_WIDTH * CROP_HEIGHT * 3];
};

// Fills *crop for a result whose status is read.
void crop_gauge(const Image& image, const GaugeResult& result, GaugeCrop* crop);
