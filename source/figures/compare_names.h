// compare_names.h - how the comparison's sentences name the two folders.
//
//     FolderNames names = compare_folder_names("shots/new gear", "D:\\old gear\\");
//     // names.a "new gear", names.b "old gear"
//
// Each folder is named by the last part of its path as typed, separators at
// its end passed over ('/', on Windows also '\\' and a drive's ':'). When the
// two last parts are equal, or either is no name of its own ("", "." or
// ".."), the folders are "A" and "B" as in the table. A name longer than
// COMPARE_NAME_CHARACTERS characters (UTF-8 sequences counted as one) keeps
// its start and its end with "..." between them.
#pragma once

#include <cstddef>

constexpr size_t COMPARE_NAME_CHARACTERS = 40;
constexpr size_t COMPARE_NAME_SIZE = 4 * COMPARE_NAME_CHARACTERS + 1;

struct FolderNames {
    char a[COMPARE_NAME_SIZE];
    char b[COMPARE_NAME_SIZE];
};

FolderNames compare_folder_names(const char* path_a, const char* path_b);
