// latest.cpp - the latest-screenshot mode (see latest.h).
#include "modes/latest.h"

#include "modes/messages.h"
#include "reading/file_list.h"
#include "reading/screenshot.h"

#include <cstdio>
#include <cstring>

// Index of the PNG entry with the greatest time (the first listed of equal
// times), or -1 when the listing holds none.
static int newest_png() {
    int newest = -1;
    for (int slot = 0; slot < file_list.file_count; ++slot) {
        int index = file_list.index[slot];
        const FileEntry& entry = file_list.entries[index];
        if (!entry_is_png(entry)) continue;
        if (newest < 0 || entry.time > file_list.entries[newest].time) newest = index;
    }
    return newest;
}

void run_latest() {
    int newest = -1;
    bool listed = file_list_list_files();
    if (listed) {
        newest = newest_png();
        print_other_pictures(strcmp(file_list.root, ".") != 0 ? file_list.root : nullptr);
    } else {
        print_listing_failure();
    }
    if (newest < 0) {
        printf("Error: Could not find any PNG file.\n");
        if (listed) print_no_png_folder();
        return;
    }
    const char* path = file_list.entries[newest].path;
    show_reading(read_gauge(path), path);
}

void run_latest_named(const char* path) { show_reading(read_gauge(path), path); }
