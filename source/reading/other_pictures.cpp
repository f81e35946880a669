// other_pictures.cpp - the pictures of a listing that are not read (see other_pictures.h).
#include "reading/other_pictures.h"

#include "reading/file_list.h"
#include "reading/names.h"

const char* const OTHER_PICTURE_EXTENSIONS[OTHER_PICTURE_KINDS] = {"jpg", "jpeg", "bmp", "webp",
                                                                  "tga"};

// The kind of an entry's extension, or -1 when it is none of them.
static int picture_kind(const FileEntry& entry) {
    if (!entry.in_use || !entry.extension || entry.extension == entry.path) return -1;
    for (int kind = 0; kind < OTHER_PICTURE_KINDS; ++kind) {
        if (same_text_ignoring_case(entry.extension, OTHER_PICTURE_EXTENSIONS[kind])) return kind;
    }
    return -1;
}

OtherPictures count_other_pictures() {
    OtherPictures others = {};
    for (int slot = 0; slot < file_list.file_count; ++slot) {
        int kind = picture_kind(file_list.entries[file_list.index[slot]]);
        if (kind >= 0) ++others.count[kind];
    }
    return others;
}
