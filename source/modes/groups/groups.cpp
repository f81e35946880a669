// groups.cpp - the groups and sessions modes (see groups.h).
#include "modes/groups/groups.h"

#include "figures/damage.h"
#include "figures/groups_figures.h"
#include "figures/sessions.h"
#include "modes/groups/groups_page.h"
#include "modes/messages.h"
#include "modes/scan.h"
#include "pages/local_time.h"
#include "platform/platform.h"
#include "reading/file_list.h"
#include "reading/parallel_read.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

// The setups of a run, as read.
struct SetupList {
    std::vector<std::string> names;
    std::vector<std::vector<uint32_t>> damage;
    std::vector<uint32_t> weak;  // weak matches (match_doubt) among each setup's readings
};

// A screenshot read: its damage, file time and whether its match is weak.
struct ReadPoint {
    TimePoint point;
    bool weak;
};

static void print_padded(const char* text, size_t width) {
    printf("%s%*s", text, static_cast<int>(width - text_characters(text)), "");
}

static void print_table(const GroupsComparison& c) {
    size_t width = text_characters("Setup");
    for (int g = 0; g < c.count; ++g) width = std::max(width, text_characters(c.groups[g].name));
    print_padded("Setup", width);
    printf("  %5s  %-29s  %6s  %s\n", "Read", "Average damage (95% interval)", "Median",
           "Complete misses (95% interval)");
    for (int g = 0; g < c.count; ++g) {
        GroupCells cells;
        group_cells(c.groups[g], &cells);
        print_padded(c.groups[g].name, width);
        printf("  %5s  %-29s  %6s  %s\n", cells.read, cells.average, cells.median, cells.misses);
    }
}

static void save_page(const GroupsComparison& comparison, const GroupSample* samples) {
    OutputFile out = {};
    bool saved = false;
    if (output_file_open(&out, "compare.html")) {
        bool written = write_groups_page(out.file, comparison, samples);
        saved = output_file_commit(&out) && written;
    }
    printf(saved ? "Saved compare.html\n" : "Error: Failed to write compare.html.\n");
    if (!saved) print_file_reason("compare.html", out.error);
}

// The table, the lines of the setups left out, the sentence and the page.
static void show_setups(SetupList* setups) {
    std::vector<GroupSample> samples;
    for (size_t i = 0; i < setups->names.size(); ++i) {
        uint32_t read = static_cast<uint32_t>(setups->damage[i].size());
        if (read < COMPARE_MIN_READ) {
            printf("%s: %u screenshot%s read, fewer than %u: left out of the tests.\n",
                   setups->names[i].c_str(), read, read == 1 ? "" : "s", COMPARE_MIN_READ);
        }
        if (read > 0) {
            samples.push_back({setups->names[i].c_str(), setups->damage[i].data(), read,
                               setups->weak[i]});
        }
    }
    GroupsComparison comparison;
    int threads = parallel_thread_count(getenv("HEALTHGAUGE_THREADS"),
                                        std::thread::hardware_concurrency());
    if (!compare_groups(samples.data(), static_cast<int>(samples.size()), threads, &comparison)) {
        printf("Error: Not enough memory to compare the setups.\n");
        groups_release(&comparison);
        return;
    }
    char sentence[GROUPS_SENTENCE_SIZE];
    groups_sentence(comparison, sentence);
    if (comparison.count > 0) print_table(comparison);
    printf("%s\n", sentence);
    fflush(stdout);
    if (comparison.enough) save_page(comparison, samples.data());
    groups_release(&comparison);
}

// Collects the damage of each screenshot read, with its file time.
static void collect_point(void* context, const FileEntry& entry, const GaugeResult& result,
                          const GaugeCrop*) {
    if (result.status != GaugeStatus::read) return;
    static_cast<std::vector<ReadPoint>*>(context)->push_back(
        {{file_time_seconds(entry.time), damage_of(result.reading)},
         match_doubt(result) != MatchDoubt::none});
}

// Reads the listed folder's PNGs: their damage and file times.
static std::vector<ReadPoint> read_listed() {
    std::vector<ReadPoint> points;
    size_t slots = file_list.file_count > 0 ? static_cast<size_t>(file_list.file_count) : 1;
    std::vector<uint32_t> readings(slots);
    ScanHooks hooks = {false, collect_point, &points, nullptr};
    scan_read_listing(readings.data(), nullptr, &hooks);
    return points;
}

static bool holds_png() {
    for (int slot = 0; slot < file_list.file_count; ++slot) {
        if (entry_is_png(file_list.entries[file_list.index[slot]])) return true;
    }
    return false;
}

// The run folder's subfolders that are not hidden, sorted by name.
static std::vector<std::string> subfolders() {
    std::vector<std::string> names;
    int error = 0;
    char pattern[4] = {'.', PATH_SEPARATOR, '*', '\0'};
    DirSearch* search = dir_search_start(pattern, &error);
    DirItem item;
    while (search && dir_search_next(search, &item)) {
        if (item.is_directory && item.name[0] != '.' && !item.is_hidden) names.push_back(item.name);
    }
    if (search) dir_search_end(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Collects the damage of each screenshot read of one setup, and counts its
// weak matches.
static void collect_damage(void* context, const FileEntry&, const GaugeResult& result,
                           const GaugeCrop*) {
    if (result.status != GaugeStatus::read) return;
    SetupList* setups = static_cast<SetupList*>(context);
    setups->damage.back().push_back(damage_of(result.reading));
    setups->weak.back() += match_doubt(result) != MatchDoubt::none;
}

// Reads the listed subfolder as the setup `name`. Only its damage stays, in
// a vector of its own size; the listing and the reading's buffers are freed
// and handed back before the next subfolder is read, so that the peak
// memory is that of the largest subfolder's reading.
static void read_setup(const std::string& name, SetupList* setups) {
    setups->names.push_back(name);
    setups->damage.emplace_back();
    setups->weak.push_back(0);
    setups->damage.back().reserve(static_cast<size_t>(file_list.file_count));
    {
        std::vector<uint32_t> readings(static_cast<size_t>(file_list.file_count));
        ScanHooks hooks = {false, collect_damage, setups, nullptr};
        scan_read_listing(readings.data(), nullptr, &hooks);
    }
    setups->damage.back().shrink_to_fit();
}

void run_groups() {
    SetupList setups;
    release_free_memory();  // and from now on, the large blocks handed back when freed
    for (const std::string& name : subfolders()) {
        bool listed = file_list_list_folder(name.c_str());
        if (!listed) {
            printf("Error: Cannot read the folder %s.\n", name.c_str());
            print_file_reason(name.c_str(), file_list.error);
        } else if (holds_png()) {
            read_setup(name, &setups);
        }
        file_list_release();
        release_free_memory();
    }
    show_setups(&setups);
}

// "2026-11-21 20:10–21:45"; the end's date too when it is another day.
static std::string session_name(int64_t first, int64_t last) {
    char start[LOCAL_TIME_SIZE], end[LOCAL_TIME_SIZE];
    if (!local_time_text(first, start) || !local_time_text(last, end)) return "unknown time";
    bool same_day = strncmp(start, end, 10) == 0;
    return std::string(start, 16) + "\xE2\x80\x93" + std::string(end + (same_day ? 11 : 0), same_day ? 5 : 16);
}

void run_sessions() {
    std::vector<ReadPoint> read;
    if (file_list_list_files()) {
        read = read_listed();
    } else {
        print_listing_failure();
    }
    file_list_release();
    std::stable_sort(read.begin(), read.end(), [](const ReadPoint& a, const ReadPoint& b) {
        return a.point.seconds < b.point.seconds;
    });
    std::vector<TimePoint> points;
    for (const ReadPoint& r : read) points.push_back(r.point);
    TimeSession sessions[MAX_SESSIONS];
    int count = split_sessions(points.data(), static_cast<uint32_t>(points.size()), sessions);
    SetupList setups;
    for (int s = 0; s < count; ++s) {
        const TimePoint* first = &points[sessions[s].first];
        setups.names.push_back(session_name(first->seconds, first[sessions[s].count - 1].seconds));
        std::vector<uint32_t> damage;
        uint32_t weak = 0;
        for (uint32_t i = sessions[s].first; i < sessions[s].first + sessions[s].count; ++i) {
            damage.push_back(points[i].damage);
            weak += read[i].weak;
        }
        setups.damage.push_back(damage);
        setups.weak.push_back(weak);
    }
    show_setups(&setups);
}
