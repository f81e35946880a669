// report_collect.cpp - collecting the scan's results for the report (see report_collect.h).
#include "modes/report/report_collect.h"

#include "figures/damage.h"
#include "pages/html.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

constexpr uint32_t CROP_SLOTS = REPORT_FIRST_CROPS + 2 * REPORT_EXTREME_CROPS;

void report_start(Report* report) {
    memset(report, 0, sizeof *report);
    report->crops = static_cast<ReportCrop*>(calloc(CROP_SLOTS, sizeof(ReportCrop)));
    report->failed = report->crops == nullptr;
}

// Grows a block to hold at least `needed` items of `size` bytes.
static bool grow(void** block, size_t* capacity, size_t needed, size_t size) {
    if (needed <= *capacity) return true;
    size_t wanted = *capacity ? *capacity : 256;
    while (wanted < needed) wanted *= 2;
    void* grown = realloc(*block, wanted * size);
    if (!grown) return false;
    *block = grown;
    *capacity = wanted;
    return true;
}

// Encodes a crop into the next slot; its index, or -1.
static int32_t keep_crop(Report* report, uint32_t row, const GaugeCrop& crop) {
    if (report->crop_count >= CROP_SLOTS) return -1;
    ReportCrop* kept = &report->crops[report->crop_count];
    if (!encode_crop_png(crop, &kept->png)) return -1;
    kept->row = row;
    kept->width = crop.width;
    kept->height = crop.height;
    kept->bar_end = crop.bar_end;
    return static_cast<int32_t>(report->crop_count++);
}

// Offers a crop to a held set of REPORT_EXTREME_CROPS: it goes in while
// there is room, or in place of the weakest member when it beats it. The
// weakest has the damage furthest from the set's end (`higher` tells which
// end) and, among equal ones, the latest row, so earlier rows win ties.
static void offer_crop(HeldCrop* set, uint32_t* count, bool higher, uint32_t row, uint32_t damage,
                       const GaugeCrop& crop) {
    uint32_t slot = *count;
    if (*count < REPORT_EXTREME_CROPS) {
        ++*count;
    } else {
        slot = 0;
        for (uint32_t i = 1; i < *count; ++i) {
            bool weaker = higher ? set[i].damage < set[slot].damage
                                 : set[i].damage > set[slot].damage;
            if (weaker || (set[i].damage == set[slot].damage && set[i].row > set[slot].row)) {
                slot = i;
            }
        }
        if (higher ? damage <= set[slot].damage : damage >= set[slot].damage) return;
    }
    set[slot].row = row;
    set[slot].damage = damage;
    set[slot].crop = crop;
}

static void hold_crop(Report* report, uint32_t row, const GaugeCrop& crop) {
    if (!report->highest) {
        report->highest = static_cast<HeldCrop*>(malloc(REPORT_EXTREME_CROPS * sizeof(HeldCrop)));
        report->lowest = static_cast<HeldCrop*>(malloc(REPORT_EXTREME_CROPS * sizeof(HeldCrop)));
        if (!report->highest || !report->lowest) {  // the pictures are left out
            free(report->highest);
            free(report->lowest);
            report->highest = report->lowest = nullptr;
            return;
        }
    }
    uint32_t damage = report->rows[row].damage;
    offer_crop(report->highest, &report->highest_count, true, row, damage, crop);
    offer_crop(report->lowest, &report->lowest_count, false, row, damage, crop);
}

// A new row for name, or null when memory ran short (the report has then failed).
static ReportRow* add_row(Report* report, const char* name) {
    if (report->failed) return nullptr;
    size_t name_length = strlen(name) + 1;
    if (!grow(reinterpret_cast<void**>(&report->rows), &report->row_capacity, report->row_count + 1,
              sizeof(ReportRow)) ||
        !grow(reinterpret_cast<void**>(&report->names), &report->names_capacity,
              report->names_size + name_length, 1)) {
        report->failed = true;
        return nullptr;
    }
    ReportRow& row = report->rows[report->row_count++];
    row = ReportRow();
    row.name = report->names_size;
    memcpy(report->names + report->names_size, name, name_length);
    report->names_size += name_length;
    row.position = -1;
    row.crop = -1;
    return &row;
}

// Counts a row that was read and keeps or holds its gauge picture.
static void take_read_row(Report* report, uint32_t index, const GaugeCrop* crop) {
    ++report->read_count;
    if (report->rows[index].weak) ++report->weak_count;
    uint32_t rank = index < report->ranked ? report->time_rank[index] : index;
    bool early = rank < REPORT_FIRST_CROPS;
    ReportRow& row = report->rows[index];
    if (crop && early && report->crop_bytes < REPORT_CROP_BYTES) {
        row.crop = keep_crop(report, index, *crop);
        if (row.crop >= 0) report->crop_bytes += report->crops[row.crop].png.size;
        report->first_crops = report->crop_count;
    } else if (crop) {
        hold_crop(report, index, *crop);
    }
}

void report_add(Report* report, const FileEntry& entry, const GaugeResult& result,
                const GaugeCrop* crop) {
    ReportRow* row = add_row(report, entry.path);
    if (!row) return;
    row->time = entry.time;
    row->result = result;
    if (result.status != GaugeStatus::read) return;
    row->damage = damage_of(result.reading);
    row->weak = match_doubt(result) != MatchDoubt::none;
    take_read_row(report, report->row_count - 1, crop);
}

void report_add_hit(Report* report, const char* name, uint64_t time, const Recording& recording,
                    const RecordingHit& hit) {
    ReportRow* row = add_row(report, name);
    if (!row) return;
    report->recordings = true;
    row->time = time;
    row->result.status = GaugeStatus::read;
    row->result.reading = hit.reading > FULL_READING ? FULL_READING : hit.reading;
    row->result.layout = recording.layout;
    row->result.score = hit.score;
    row->result.width = recording.info.width;
    row->result.height = recording.info.height;
    row->weak = recording.weak;
    row->damage = hit.damage > FULL_READING ? FULL_READING : hit.damage;
    row->position = hit.position;
    take_read_row(report, report->row_count - 1, hit.crop);
}

static void show_held(Report* report, const HeldCrop* set, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        ReportRow& row = report->rows[set[i].row];
        if (row.crop < 0) row.crop = keep_crop(report, set[i].row, set[i].crop);
    }
}

// Page bytes of a crop: its base64 and the markup around it.
static size_t crop_page_bytes(const ReportCrop& crop) {
    return base64_length(crop.png.size) + 200;
}

// Shows as many of the first crops, in listing order, as the page's target
// leaves room for beside the rows and the extremes' crops.
static void fit_first_crops(Report* report) {
    size_t used = 64u << 10;  // head, style, summary and charts' frames
    used += report->row_count * REPORT_ROW_BYTES + report->names_size;
    for (uint32_t i = report->first_crops; i < report->crop_count; ++i) {
        used += crop_page_bytes(report->crops[i]);
    }
    uint32_t shown = 0;
    while (shown < report->first_crops &&
           used + crop_page_bytes(report->crops[shown]) <= REPORT_PAGE_TARGET) {
        used += crop_page_bytes(report->crops[shown++]);
    }
    for (uint32_t i = shown; i < report->first_crops; ++i) {
        report->rows[report->crops[i].row].crop = -1;
        free_crop_png(&report->crops[i].png);
    }
    report->first_shown = shown;
}

void report_rank_listing(Report* report, const FileEntry* const* pngs, uint32_t count) {
    if (report->failed || count == 0) return;
    uint32_t* by_time = static_cast<uint32_t*>(malloc(count * sizeof(uint32_t)));
    report->time_rank = static_cast<uint32_t*>(malloc(count * sizeof(uint32_t)));
    if (!by_time || !report->time_rank) {  // the pictures then follow the listing
        free(by_time);
        free(report->time_rank);
        report->time_rank = nullptr;
        return;
    }
    for (uint32_t i = 0; i < count; ++i) by_time[i] = i;
    std::stable_sort(by_time, by_time + count,
                     [pngs](uint32_t a, uint32_t b) { return pngs[a]->time < pngs[b]->time; });
    for (uint32_t i = 0; i < count; ++i) report->time_rank[by_time[i]] = i;
    report->ranked = count;
    free(by_time);
}

// The page's order of the rows: by file time, of equal times in listing order.
static void order_rows(Report* report) {
    uint32_t n = report->row_count;
    report->order = static_cast<uint32_t*>(malloc((n ? n : 1) * sizeof(uint32_t)));
    if (!report->order) {
        report->failed = true;
        return;
    }
    for (uint32_t i = 0; i < n; ++i) report->order[i] = i;
    const ReportRow* rows = report->rows;
    std::stable_sort(report->order, report->order + n,
                     [rows](uint32_t a, uint32_t b) { return rows[a].time < rows[b].time; });
}

// Puts the first crops in the page's order, so that the oldest are the ones
// shown when not all fit.
static void sort_first_crops(Report* report) {
    const Report& r = *report;
    auto rank = [&r](const ReportCrop& crop) {
        return crop.row < r.ranked ? r.time_rank[crop.row] : crop.row;
    };
    std::stable_sort(report->crops, report->crops + report->first_crops,
                     [&rank](const ReportCrop& a, const ReportCrop& b) { return rank(a) < rank(b); });
    for (uint32_t i = 0; i < report->first_crops; ++i) {
        report->rows[report->crops[i].row].crop = static_cast<int32_t>(i);
    }
}

void report_finish(Report* report) {
    if (report->failed) return;
    sort_first_crops(report);
    if (report->highest) show_held(report, report->highest, report->highest_count);
    if (report->lowest) show_held(report, report->lowest, report->lowest_count);
    fit_first_crops(report);
    order_rows(report);
}

void layout_text(const GaugeResult& result, char text[LAYOUT_TEXT_SIZE]) {
    if (result.status == GaugeStatus::load_failed) {
        snprintf(text, LAYOUT_TEXT_SIZE, "not loaded");
        return;
    }
    if (result.status == GaugeStatus::no_layout) {
        if (result.width > 0 && result.height > 0) {
            snprintf(text, LAYOUT_TEXT_SIZE, "no match (%d\xC3\x97%d)", result.width, result.height);
        } else {
            snprintf(text, LAYOUT_TEXT_SIZE, "no match");
        }
        return;
    }
    if (result.layout < 0 || result.layout >= GAUGE_TYPE_COUNT) {
        snprintf(text, LAYOUT_TEXT_SIZE, "unknown");
        return;
    }
    // The short name: a letter among the layouts of the same screen size.
    const GaugeType& type = gauge_types[result.layout];
    int letter = 0;
    for (int i = 0; i < result.layout; ++i) {
        if (gauge_types[i].screen_width == type.screen_width &&
            gauge_types[i].screen_height == type.screen_height) {
            ++letter;
        }
    }
    snprintf(text, LAYOUT_TEXT_SIZE, "%d\xC3\x97%d %c", type.screen_width, type.screen_height,
             'A' + letter);
}

void report_free(Report* report) {
    for (uint32_t i = 0; i < report->crop_count; ++i) free_crop_png(&report->crops[i].png);
    free(report->crops);
    free(report->rows);
    free(report->names);
    free(report->highest);
    free(report->lowest);
    free(report->time_rank);
    free(report->order);
    memset(report, 0, sizeof *report);
}

const char* report_row_name(const Report& report, const ReportRow& row) {
    return report.names + row.name;
}

bool report_folder_name(char* name, size_t size) {
    char path[4096];
    if (!current_folder(path, sizeof path)) return false;
    size_t length = strlen(path);
    while (length > 1 && (path[length - 1] == '/' || path[length - 1] == '\\')) path[--length] = '\0';
    const char* last = path;
    for (const char* c = path; *c; ++c) {
        if ((*c == '/' || *c == '\\') && c[1]) last = c + 1;
    }
    snprintf(name, size, "%s", last);
    return true;
}
