// file_list.cpp - the listing of the working directory (see file_list.h).
#include "file_list.h"

#include "platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

FileList file_list = {nullptr, {}, 0, false, false, ".", 0};

bool file_list_allocate() {
    if (!file_list.entries) {
        file_list.entries = static_cast<FileEntry*>(calloc(MAX_ENTRIES, sizeof(FileEntry)));
    }
    return file_list.entries != nullptr;
}

void file_list_release() {
    free(file_list.entries);
    file_list.entries = nullptr;
}

void file_list_reset() {
    for (int i = 0; i < MAX_ENTRIES; ++i) {
        FileEntry& entry = file_list.entries[i];
        entry.in_use = false;
        entry.is_directory = false;
        entry.pending = false;
        memset(entry.path, 0, sizeof entry.path);
        memset(entry.stem_copy, 0, sizeof entry.stem_copy);
        entry.extension = nullptr;
        entry.name = nullptr;
        entry.stem_name = nullptr;
        entry.size = 0;
        entry.time = 0;
        file_list.index[i] = -1;
    }
    file_list.file_count = 0;
    file_list.first_free = 0;
}

static bool is_separator(char c) { return c == '\\' || c == '/'; }

// Builds "<rest of pattern without asterisks><name>" into path, where the rest
// starts after the root and its separator. Records the position of the last
// separator of the whole path and of the last dot within name (-1 for none).
// False when the result would not fit into PATH_SIZE.
static bool build_path(const char* pattern, const char* name, char* path, int* last_separator,
                       int* last_dot) {
    size_t skip = strlen(file_list.root) + 1;
    const char* rest = strlen(pattern) >= skip ? pattern + skip : "";
    int length = 0;
    *last_separator = -1;
    *last_dot = -1;
    for (const char* c = rest; *c; ++c) {
        if (*c == '*') continue;
        if (length >= PATH_SIZE - 1) return false;
        if (is_separator(*c)) *last_separator = length;
        path[length++] = *c;
    }
    for (const char* c = name; *c; ++c) {
        if (length >= PATH_SIZE - 1) return false;
        if (is_separator(*c)) *last_separator = length;
        if (*c == '.') *last_dot = length;
        path[length++] = *c;
    }
    path[length] = '\0';
    return true;
}

void file_list_add(const char* pattern, const char* name, bool is_directory, uint64_t time,
                   uint32_t size) {
    if (name[0] == '.') return;

    int free_entry = file_list.first_free;
    while (free_entry < MAX_ENTRIES && file_list.entries[free_entry].in_use) ++free_entry;
    file_list.first_free = free_entry;
    if (free_entry == MAX_ENTRIES) return;

    char path[PATH_SIZE];
    int last_separator, last_dot;
    if (!build_path(pattern, name, path, &last_separator, &last_dot)) return;

    FileEntry& entry = file_list.entries[free_entry];
    entry.time = time;
    entry.size = size;
    entry.is_directory = is_directory;
    entry.pending = false;
    memset(entry.path, 0, sizeof entry.path);
    strcpy(entry.path, path);
    memcpy(entry.stem_copy, entry.path, sizeof entry.stem_copy);

    if (last_dot >= 0 && !is_directory) {
        entry.extension = entry.path + last_dot + 1;
        entry.stem_copy[last_dot] = '\0';
    } else {
        entry.extension = entry.path;
    }
    int name_start = last_separator + 1;
    entry.name = entry.path + name_start;
    entry.stem_name = entry.stem_copy + name_start;

    if (entry.path[0] == '\0') return;
    entry.in_use = true;
    if (!is_directory) file_list.index[file_list.file_count++] = free_entry;
}

// Lists one directory entry of the table (the root when its path is empty).
// False when the search could not be started.
static bool list_directory(FileEntry& directory) {
    char pattern[2 * PATH_SIZE + 8];
    if (directory.path[0] == '\0') {
        snprintf(pattern, sizeof pattern, "%s%c*", file_list.root, PATH_SEPARATOR);
    } else {
        snprintf(pattern, sizeof pattern, "%s%c%s%c*", file_list.root, PATH_SEPARATOR,
                 directory.path, PATH_SEPARATOR);
    }
    int error = 0;
    DirSearch* search = dir_search_start(pattern, &error);
    if (!search) {
        printf("FindFirstFile failed (%d)\n", error);
        return false;
    }
    DirItem item;
    while (dir_search_next(search, &item)) {
        file_list_add(pattern, item.name, item.is_directory, item.time,
                      item.is_directory ? 0 : item.size);
    }
    directory.pending = false;
    dir_search_end(search);
    return true;
}

static int first_pending() {
    for (int i = 0; i < MAX_ENTRIES; ++i) {
        if (file_list.entries[i].in_use && file_list.entries[i].pending) return i;
    }
    return -1;
}

static void apply_final_filter() {
    file_list.entries[0].in_use = false;
    for (int i = 0; i < MAX_ENTRIES; ++i) {
        FileEntry& entry = file_list.entries[i];
        if (!entry.in_use) continue;
        entry.in_use = entry.is_directory ? file_list.keep_directories : file_list.keep_files;
    }
}

void file_list_scan() {
    FileEntry& root = file_list.entries[0];
    root.in_use = true;
    root.pending = true;
    root.is_directory = true;
    root.path[0] = '\0';
    file_list.first_free = 1;

    size_t root_length = strlen(file_list.root);
    if (root_length > 0 && is_separator(file_list.root[root_length - 1])) {
        file_list.root[root_length - 1] = '\0';
    }

    // Added entries are never pending, so this lists the root once.
    for (int next = first_pending(); next >= 0; next = first_pending()) {
        if (!list_directory(file_list.entries[next])) break;
    }
    apply_final_filter();
}

bool file_list_list_files() {
    if (!file_list_allocate()) return false;
    file_list.keep_files = true;
    file_list.keep_directories = false;
    file_list_reset();
    file_list_scan();
    return true;
}

bool same_text_ignoring_case(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a + 32) : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b + 32) : *b;
        if (x != y) return false;
        if (x == '\0') return true;
    }
}

bool entry_is_png(const FileEntry& entry) {
    return entry.in_use && entry.extension && same_text_ignoring_case(entry.extension, "png");
}
