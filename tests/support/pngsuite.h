// pngsuite.h - the PngSuite images of tests/pngsuite, for tests that read
// every one of them (their target defines PNGSUITE_DIR).
#pragma once

#include <algorithm>
#include <dirent.h>
#include <string>
#include <vector>

// The names of the folder's .png files, sorted; empty when it cannot be
// listed.
inline std::vector<std::string> pngsuite_names() {
    std::vector<std::string> names;
    DIR* dir = opendir(PNGSUITE_DIR);
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".png") == 0) names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// The path of one of them.
inline std::string pngsuite_path(const std::string& name) { return std::string(PNGSUITE_DIR) + "/" + name; }
