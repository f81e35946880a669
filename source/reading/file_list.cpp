// file_list.cpp - the listing of the working directory (see file_list.h).
#include "reading/file_list.h"

#include "platform/platform.h"
#include "reading/names.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

FileList file_list = {nullptr, nullptr, 0, 0, 0, false, false, ".", 0, false, 0, "."};

// Records the table starts with: enough for a small folder, cheap for an
// empty one. It doubles whenever it is full.
constexpr int FIRST_CAPACITY = 64;

// Moves the table into one of new_capacity records. Fresh records are zero
// (clear) and fresh index slots -1; each entry's pointers into its own path
// and stem copy move with it.
static bool grow_table(int new_capacity) {
    FileEntry* entries = static_cast<FileEntry*>(calloc(new_capacity, sizeof(FileEntry)));
    int32_t* index =
        static_cast<int32_t*>(realloc(file_list.index, new_capacity * sizeof(int32_t)));
    if (index) file_list.index = index;
    if (!entries || !index) {
        free(entries);
        return false;
    }
    for (int i = file_list.capacity; i < new_capacity; ++i) index[i] = -1;
    for (int i = 0; i < file_list.entry_count; ++i) {
        const FileEntry& from = file_list.entries[i];
        FileEntry& to = entries[i];
        to = from;
        if (from.extension) to.extension = to.path + (from.extension - from.path);
        if (from.name) to.name = to.path + (from.name - from.path);
        if (from.stem_name) to.stem_name = to.stem_copy + (from.stem_name - from.stem_copy);
    }
    free(file_list.entries);
    file_list.entries = entries;
    file_list.capacity = new_capacity;
    return true;
}

bool file_list_allocate() {
    if (!file_list.entries) {
        file_list.capacity = 0;
        file_list.entry_count = 0;
        file_list.file_count = 0;
        if (!grow_table(FIRST_CAPACITY)) return false;
    }
    return true;
}

void file_list_release() {
    free(file_list.entries);
    free(file_list.index);
    file_list.entries = nullptr;
    file_list.index = nullptr;
    file_list.capacity = 0;
    file_list.entry_count = 0;
    file_list.file_count = 0;
}

// Entries past entry_count and index slots past file_count are clear already
// (fresh from the allocation or cleared by an earlier reset), so only the
// ones taken since are cleared.
void file_list_reset() {
    memset(static_cast<void*>(file_list.entries), 0,
           static_cast<size_t>(file_list.entry_count) * sizeof(FileEntry));
    for (int i = 0; i < file_list.file_count; ++i) file_list.index[i] = -1;
    file_list.entry_count = 0;
    file_list.file_count = 0;
    file_list.first_free = 0;
    file_list.failed = false;
    file_list.error = 0;
}

// The table entry at position i, taken for use: grows the table when i is
// past its end. Null when memory is short.
static FileEntry* take_entry(int i) {
    if (i >= file_list.capacity) {
        if (file_list.capacity > INT32_MAX / 2 || !grow_table(file_list.capacity * 2)) {
            return nullptr;
        }
    }
    if (i >= file_list.entry_count) file_list.entry_count = i + 1;
    return &file_list.entries[i];
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
    while (free_entry < file_list.entry_count && file_list.entries[free_entry].in_use) ++free_entry;
    file_list.first_free = free_entry;

    char path[PATH_SIZE];
    int last_separator, last_dot;
    if (!build_path(pattern, name, path, &last_separator, &last_dot)) return;

    FileEntry* taken = take_entry(free_entry);
    if (!taken) return;
    FileEntry& entry = *taken;
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

// Lists the directory at table position `directory` (the root when its path
// is empty). False when the search could not be started. Adding entries may
// move the table, so the directory is looked up again by position.
static bool list_directory(int directory) {
    char pattern[2 * PATH_SIZE + 8];
    const char* path = file_list.entries[directory].path;
    if (path[0] == '\0') {
        snprintf(pattern, sizeof pattern, "%s%c*", file_list.root, PATH_SEPARATOR);
    } else {
        snprintf(pattern, sizeof pattern, "%s%c%s%c*", file_list.root, PATH_SEPARATOR, path,
                 PATH_SEPARATOR);
    }
    int error = 0;
    DirSearch* search = dir_search_start(pattern, &error);
    if (!search) {
        file_list.failed = true;
        file_list.error = error;
        return false;
    }
    DirItem item;
    while (dir_search_next(search, &item)) {
        file_list_add(pattern, item.name, item.is_directory, item.time,
                      item.is_directory ? 0 : item.size);
    }
    file_list.entries[directory].pending = false;
    dir_search_end(search);
    return true;
}

static int first_pending() {
    for (int i = 0; i < file_list.entry_count; ++i) {
        if (file_list.entries[i].in_use && file_list.entries[i].pending) return i;
    }
    return -1;
}

static void apply_final_filter() {
    file_list.entries[0].in_use = false;
    for (int i = 0; i < file_list.entry_count; ++i) {
        FileEntry& entry = file_list.entries[i];
        if (!entry.in_use) continue;
        entry.in_use = entry.is_directory ? file_list.keep_directories : file_list.keep_files;
    }
}

bool file_list_scan() {
    if (file_list.entry_count < 1) file_list.entry_count = 1;
    FileEntry& root = file_list.entries[0];
    root.in_use = true;
    root.pending = true;
    root.is_directory = true;
    root.path[0] = '\0';
    file_list.first_free = 1;
    file_list.failed = false;
    file_list.error = 0;

    size_t root_length = strlen(file_list.root);
    if (root_length > 0 && is_separator(file_list.root[root_length - 1])) {
        file_list.root[root_length - 1] = '\0';
    }

    // Added entries are never pending, so this lists the root once.
    bool listed = true;
    for (int next = first_pending(); next >= 0 && listed; next = first_pending()) {
        listed = list_directory(next);
    }
    apply_final_filter();
    return listed;
}

bool file_list_list_folder(const char* folder) {
    if (!file_list_allocate()) return false;
    file_list.keep_files = true;
    file_list.keep_directories = false;
    file_list_reset();
    if (folder[0] == '\0' || strlen(folder) >= sizeof file_list.root) {
        file_list.failed = true;  // no such folder can be listed
        return false;
    }
    strcpy(file_list.root, folder);
    return file_list_scan();
}

bool file_list_list_files() { return file_list_list_folder(file_list.home); }

bool entry_is_png(const FileEntry& entry) {
    return entry.in_use && entry.extension && same_text_ignoring_case(entry.extension, "png");
}
