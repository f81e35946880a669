// other_pictures.h - the pictures of a listing that are not read: files a
// player may take for screenshots (JPEG, BMP, WebP, TGA) but that the
// program leaves alone, as it reads PNG only.
//
//     OtherPictures others = count_other_pictures();  // after a listing
//     for (int kind = 0; kind < OTHER_PICTURE_KINDS; ++kind)
//         ... others.count[kind] files of OTHER_PICTURE_EXTENSIONS[kind] ...
#pragma once

#include <cstdint>

constexpr int OTHER_PICTURE_KINDS = 5;

// The extensions counted, in lower case and in the order they are told.
extern const char* const OTHER_PICTURE_EXTENSIONS[OTHER_PICTURE_KINDS];

struct OtherPictures {
    uint32_t count[OTHER_PICTURE_KINDS];  // files of each extension, in any case
};

// Counts the files of file_list whose extension is one of the above.
OtherPictures count_other_pictures();
