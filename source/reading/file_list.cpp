// file_list.cpp - the listing of the working directory (see file_list.h).
#include "reading/file_list.h"

#include "platform/platform.h"
#include "reading/names.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

FileList file_list = {nullptr, nullptr, 0, 0, 0, false, false, nullptr, 0, false, 0, ".", nullptr};

// Records the table starts with: enough for a small folder, cheap for an
// empty one. It doubles whenever it is full.
constexpr int FIRST_CAPACITY = 64;

// Paths are kept one after another, each with its terminator, in blocks of
// this many bytes (a path is at most PATH_SIZE): a block is taken when the
// first path is added, so an empty folder takes none.
constexpr size_t NAME_BLOCK_BYTES = 64 * 1024;

struct NameBlock {
    NameBlock* previous;
    size_t used;  // bytes of the text after the header
};

static_assert(NAME_BLOCK_BYTES >= PATH_SIZE, "a block holds the longest path");

static char* block_text(NameBlock* block) { return reinterpret_cast<char*>(block + 1); }

// A copy of the `length` bytes of path and a terminator, kept until the
// next reset; null when memory is short.
static const char* keep_path(const char* path, size_t length) {
    NameBlock* block = file_list.names;
    if (!block || NAME_BLOCK_BYTES - block->used < length + 1) {
        block = static_cast<NameBlock*>(malloc(sizeof(NameBlock) + NAME_BLOCK_BYTES));
        if (!block) return nullptr;
        block->previous = file_list.names;
        block->used = 0;
        file_list.names = block;
    }
    char* kept = block_text(block) + block->used;
    memcpy(kept, path, length);
    kept[length] = '\0';
    block->used += length + 1;
    return kept;
}

static void release_paths() {
    while (NameBlock* block = file_list.names) {
        file_list.names = block->previous;
        free(block);
    }
}

// Moves the table into one of new_capacity records. Fresh records are zero
// (clear) and fresh index slots -1; the entries' paths stay where they are.
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
    if (file_list.entry_count > 0) {
        memcpy(static_cast<void*>(entries), file_list.entries,
               static_cast<size_t>(file_list.entry_count) * sizeof(FileEntry));
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
    free(file_list.root);
    release_paths();
    file_list.entries = nullptr;
    file_list.index = nullptr;
    file_list.root = nullptr;
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
    release_paths();
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
// starts after the root and its separator. Records its length, the position
// of the last separator of the whole path and of the last dot within name
// (-1 for none). False when the result would not fit into PATH_SIZE.
static bool build_path(const char* pattern, const char* name, char* path, int* path_length,
                       int* last_separator, int* last_dot) {
    size_t skip = (file_list.root ? strlen(file_list.root) : 1) + 1;  // no root yet: "."
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
    *path_length = length;
    return true;
}

void file_list_add(const char* pattern, const char* name, bool is_directory, uint64_t time,
                   uint32_t size) {
    if (name[0] == '.') return;

    int free_entry = file_list.first_free;
    while (free_entry < file_list.entry_count && file_list.entries[free_entry].in_use) ++free_entry;
    file_list.first_free = free_entry;

    char path[PATH_SIZE];
    int length, last_separator, last_dot;
    if (!build_path(pattern, name, path, &length, &last_separator, &last_dot)) return;
    if (length == 0) return;

    FileEntry* taken = take_entry(free_entry);
    if (!taken) return;
    const char* kept = keep_path(path, static_cast<size_t>(length));
    if (!kept) return;
    FileEntry& entry = *taken;
    entry.time = time;
    entry.size = size;
    entry.is_directory = is_directory;
    entry.pending = false;
    entry.path = kept;
    int name_start = last_separator + 1;
    entry.name = kept + name_start;
    bool has_extension = last_dot >= 0 && !is_directory;
    entry.extension = has_extension ? kept + last_dot + 1 : kept;
    // A dot before the name's own start (in a name that holds a separator)
    // leaves the name whole.
    int stem_end = has_extension && last_dot >= name_start ? last_dot : length;
    entry.stem_length = static_cast<uint16_t>(stem_end - name_start);
    entry.in_use = true;
    if (!is_directory) file_list.index[file_list.file_count++] = free_entry;
}

// Lists the directory at table position `directory` (the root when its path
// is empty). False when the search could not be started. Adding entries may
// move the table, so the directory is looked up again by position.
static bool list_directory(int directory) {
    const char* path = file_list.entries[directory].path;
    size_t size = strlen(file_list.root) + strlen(path) + 4;
    char* pattern = static_cast<char*>(malloc(size));
    if (!pattern) {
        file_list.failed = true;
        file_list.error = 0;
        return false;
    }
    if (path[0] == '\0') {
        snprintf(pattern, size, "%s%c*", file_list.root, PATH_SEPARATOR);
    } else {
        snprintf(pattern, size, "%s%c%s%c*", file_list.root, PATH_SEPARATOR, path, PATH_SEPARATOR);
    }
    int error = 0;
    DirSearch* search = dir_search_start(pattern, &error);
    if (!search) {
        free(pattern);
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
    free(pattern);
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

// Makes a copy of folder the root; false when memory is short.
static bool set_root(const char* folder) {
    size_t length = strlen(folder);
    char* root = static_cast<char*>(malloc(length + 1));
    if (!root) return false;
    memcpy(root, folder, length + 1);
    free(file_list.root);
    file_list.root = root;
    return true;
}

bool file_list_scan() {
    if (file_list.entry_count < 1) file_list.entry_count = 1;
    FileEntry& root = file_list.entries[0];
    root.in_use = true;
    root.pending = true;
    root.is_directory = true;
    root.path = "";
    file_list.first_free = 1;
    file_list.failed = false;
    file_list.error = 0;
    if (!file_list.root && !set_root(".")) {
        file_list.failed = true;
        return false;
    }

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
    if (folder[0] == '\0' || !set_root(folder)) {
        file_list.failed = true;  // no such folder can be listed, or memory is short
        return false;
    }
    return file_list_scan();
}

bool file_list_list_files() { return file_list_list_folder(file_list.home); }

bool entry_is_png(const FileEntry& entry) {
    return entry.in_use && entry.extension && same_text_ignoring_case(entry.extension, "png");
}
