// file_list.h - the listing of the working directory.
//
// A table of entries and, beside it, the index list of the file entries in
// the order they were found. A mode uses it like this:
//
//     file_list_allocate();
//     file_list.keep_files = true;
//     file_list.keep_directories = false;
//     file_list_reset();
//     file_list_scan();
//     for (int slot = 0; slot < file_list.file_count; ++slot) {
//         const FileEntry& entry = file_list.entries[file_list.index[slot]];
//         if (entry_is_png(entry)) ... entry.path ...
//     }
//     file_list_release();
//
// file_list_list_files() does the first five steps as the modes need them;
// file_list_list_folder() does them for another folder than the working one.
//
// Only the working directory itself is read: subdirectories are recorded,
// then dropped by the final filter, and their contents are never listed.
// Names that begin with a dot are passed over.
//
// The table starts small and grows as entries are added, past MAX_ENTRIES
// too, so every entry of a folder is listed and memory follows the entries
// actually present. Entries never move once the listing has ended; while it
// runs, growing moves them. Each entry's path is kept once, in the length it
// has, in blocks of paths that never move: an entry's pointers into its path
// stay valid however the table grows. Reset and listing touch only the
// entries in use, so an empty folder costs next to nothing.
//
// The root, the folder listed, is kept at whatever length it has: the
// listing puts no limit of its own on it.
#pragma once

#include <cstdint>

// How many entries a folder commonly has at most; the table grows past it.
constexpr int MAX_ENTRIES = 20000;
// A path holds any name the directory search yields (DIR_NAME_SIZE in
// platform.h: 255 UTF-16 units of a Windows name as UTF-8) and the
// terminator; a longer one is not listed.
constexpr int PATH_SIZE = 3 * 255 + 1;

struct FileEntry {
    uint64_t time;          // last-write time, compared for order only
    const char* path;       // relative to the root, e.g. "shot0001.png"; null when clear
    const char* extension;  // after the name's last dot; else the whole path
    const char* name;       // after the path's last separator; else the whole path
    uint32_t size;          // low 32 bits of the size; 0 for a directory
    uint16_t stem_length;   // bytes of name before its last dot (files only); else all of it
    bool in_use;
    bool is_directory;
    bool pending;           // a directory still to be listed
};

struct NameBlock;  // where the entries' paths are kept (file_list.cpp)

struct FileList {
    FileEntry* entries;        // `capacity` records; entry 0 is the root
    int32_t* index;            // `capacity` table indices of files, -1 for an empty slot
    int capacity;              // records the table has room for
    int entry_count;           // entries taken since the reset; all later ones are clear
    int file_count;
    bool keep_files;
    bool keep_directories;
    char* root;                // the directory listed, from malloc: "." (the working
                               // directory) or a folder as typed; null until one is
    int first_free;            // no entry below this one is free
    bool failed;               // a directory could not be listed
    int error;                 // then the system's error code
    char home[PATH_SIZE];      // what file_list_list_files lists: "." (the working
                               // directory), or a run folder that could not be entered
    NameBlock* names;          // the newest block of paths; each leads to the one before
};

// The program's one listing.
extern FileList file_list;

// Allocates the table (a small one; it grows while listing); false when
// memory is short.
bool file_list_allocate();
void file_list_release();

// Empties the table, the index list and the paths.
void file_list_reset();

// Lists the root directory (the working directory when none is set) into
// the table, then applies the final filter.
// False when a directory could not be listed: file_list.failed is then set
// and file_list.error holds the system's error code, for the mode's message.
bool file_list_scan();

// What the modes do: allocates the table, keeps files and drops
// directories, resets and lists file_list.home (the working directory). False
// when the table cannot be allocated or the folder cannot be listed.
bool file_list_list_files();

// The same for another folder, given as the player typed it (relative to the
// working directory, or whole): it becomes the root, so entry paths stay
// relative to it. False as above, and for an empty name (failed, with no
// error code).
bool file_list_list_folder(const char* folder);

// Records one name found by the search of pattern, growing the table when it
// is full. Used by file_list_scan.
void file_list_add(const char* pattern, const char* name, bool is_directory, uint64_t time,
                   uint32_t size);

// True for an entry in use whose extension is "png" in any case.
bool entry_is_png(const FileEntry& entry);
