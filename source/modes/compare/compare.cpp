// compare.cpp - the compare mode (see compare.h).
#include "modes/compare/compare.h"

#include "figures/compare_figures.h"
#include "figures/compare_names.h"
#include "figures/damage.h"
#include "modes/compare/compare_page.h"
#include "modes/messages.h"
#include "modes/recordings.h"
#include "modes/scan.h"
#include "platform/platform.h"
#include "reading/file_list.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Counts the weak matches of a folder as the scan reads it.
static void count_weak(void* context, const FileEntry&, const GaugeResult& result,
                       const GaugeCrop*) {
    if (match_doubt(result) != MatchDoubt::none) ++*static_cast<uint32_t*>(context);
}

// Lists and reads one folder: its damages (malloc'd, the caller frees them),
// how many PNGs it has and how many of its readings are weak matches; false
// when it cannot be listed (*error then holds the system's error code, 0 when
// there is none) or memory is short.
static bool read_folder(const char* folder, FolderDamage* out, int* error) {
    *out = {folder, nullptr, 0, 0, 0};
    bool listed = file_list_list_folder(folder);
    *error = listed ? 0 : file_list.error;
    size_t slots = file_list.file_count > 0 ? static_cast<size_t>(file_list.file_count) : 1;
    uint32_t* readings = listed ? static_cast<uint32_t*>(calloc(slots, sizeof(uint32_t))) : nullptr;
    if (readings) {
        for (int slot = 0; slot < file_list.file_count; ++slot) {
            out->pngs += entry_is_png(file_list.entries[file_list.index[slot]]);
        }
        ScanHooks hooks = {false, count_weak, &out->weak, nullptr};
        out->count = scan_read_listing(readings, nullptr, &hooks);
        for (uint32_t i = 0; i < out->count; ++i) readings[i] = damage_of(readings[i]);
        out->damage = readings;
    }
    file_list_release();
    return readings != nullptr;
}

// True when A or B names a recording: a file whose name is a recording's.
static bool names_recording(const char* name) {
    return is_recording_name(name) && path_kind(name) == PathKind::file;
}

// Reads the hits of a recording named as A or B: their damages (malloc'd,
// the caller frees them); false when memory is short.
static bool read_recording_damage(const char* name, FolderDamage* out) {
    *out = {name, nullptr, 0, 0, 0};
    NamedRecording named = {name, name};
    HitReadings hits = {};
    read_named_recordings(&named, 1, nullptr, nullptr, &hits);
    if (!hits.readings && !hits.short_of_memory) {
        hits.readings = static_cast<uint32_t*>(malloc(sizeof(uint32_t)));
    }
    if (!hits.readings) return false;
    for (uint32_t i = 0; i < hits.count; ++i) hits.readings[i] = damage_of(hits.readings[i]);
    out->damage = hits.readings;
    out->count = hits.count;
    out->pngs = hits.count;
    out->weak = hits.weak;
    return true;
}

// Reads A or B, a folder or a recording.
static bool read_source(const char* name, FolderDamage* out, int* error) {
    if (!names_recording(name)) return read_folder(name, out, error);
    *error = 0;
    return read_recording_damage(name, out);
}

// Lists a folder, and only lists it: false, with the error line and the
// system's reason on standard error, when it cannot be.
static bool folder_listable(const char* folder) {
    if (names_recording(folder)) return true;  // read as a recording
    bool listed = file_list_list_folder(folder);
    int error = file_list.error;
    file_list_release();
    if (!listed) {
        printf("Error: Cannot read the folder %s.\n", folder);
        print_file_reason(folder, error);
    }
    return listed;
}

// The folder's error line, if it has one, and the system's reason.
static bool folder_failed(const FolderDamage& folder, bool listed, int error) {
    if (!listed) {
        printf("Error: Cannot read the folder %s.\n", folder.name);
        print_file_reason(folder.name, error);
    } else if (folder.count == 0 && names_recording(folder.name)) {
        printf("Error: No hit could be read in %s.\n", folder.name);
    } else if (folder.count == 0) {
        printf("Error: No screenshot could be read in %s.\n", folder.name);
    }
    return !listed || folder.count == 0;
}

static void show_comparison(FolderDamage* a, FolderDamage* b, const char* run_folder) {
    Comparison comparison;
    if (!compare_damage(a->damage, a->count, b->damage, b->count, &comparison)) {
        printf("Error: Not enough memory to compare the folders.\n");
        return;
    }
    printf("Comparing %s (%u screenshot%s read) with %s (%u read)\n", a->name, a->count,
           a->count == 1 ? "" : "s", b->name, b->count);
    char table[COMPARE_TABLE_SIZE], sentence[COMPARE_SENTENCE_SIZE], power[COMPARE_SENTENCE_SIZE];
    compare_table_text(comparison, table);
    FolderNames names = compare_folder_names(a->name, b->name);
    compare_sentence(comparison, names.a, names.b, sentence);
    printf("%s%s\n", table, sentence);
    if (compare_power_sentence(comparison, power)) printf("%s\n", power);
    fflush(stdout);

    // In the run folder; A and B keep the names they were typed with, in the
    // folder the program was started in.
    char path[OUTPUT_PATH_SIZE];
    snprintf(path, sizeof path, "%s%s%s", run_folder, run_folder[0] ? "/" : "", "compare.html");
    OutputFile out = {};
    bool saved = false;
    if (output_file_open(&out, path)) {
        bool written = write_compare_page(out.file, comparison, *a, *b);
        saved = output_file_commit(&out) && written;
    }
    printf(saved ? "Saved compare.html\n" : "Error: Failed to write compare.html.\n");
    if (!saved) print_file_reason("compare.html", out.error);
}

void run_compare(const char* folder_a, const char* folder_b, const char* run_folder) {
    if (!folder_a || !folder_b) {
        printf("Error: -compare needs two folders: healthgauge -compare FOLDER_A FOLDER_B\n");
        return;
    }
    // Both folders are listed before either is read: a mistyped one costs
    // no reading. A folder named twice is said once.
    bool same = strcmp(folder_a, folder_b) == 0;
    bool listable_a = folder_listable(folder_a);
    bool listable_b = same ? listable_a : folder_listable(folder_b);
    if (!listable_a || !listable_b) return;
    FolderDamage a, b = {folder_b, nullptr, 0, 0, 0};
    int error_a = 0, error_b = 0;
    bool listed_a = read_source(folder_a, &a, &error_a);
    // A folder named twice that failed the first time is not read again:
    // its messages would only be said twice.
    bool again = same && (!listed_a || a.count == 0);
    bool listed_b = !again && read_source(folder_b, &b, &error_b);
    bool failed_a = folder_failed(a, listed_a, error_a);
    bool failed_b = again || folder_failed(b, listed_b, error_b);
    if (!failed_a && !failed_b) show_comparison(&a, &b, run_folder);
    free(a.damage);
    free(b.damage);
}
