// compare_names.cpp - how the comparison's sentences name the folders (see compare_names.h).
#include "figures/compare_names.h"

#include <cstdio>
#include <cstring>
#include <string>

static bool is_separator(char c) {
#ifdef _WIN32
    if (c == '\\' || c == ':') return true;
#endif
    return c == '/';
}

static std::string last_part(const char* path) {
    size_t end = strlen(path);
    while (end > 0 && is_separator(path[end - 1])) --end;
    size_t start = end;
    while (start > 0 && !is_separator(path[start - 1])) --start;
    return std::string(path + start, end - start);
}

// The byte offset of a UTF-8 text's character (its size past the last one).
static std::string::size_type character_start(const std::string& text, size_t character) {
    std::string::size_type at = 0;
    for (size_t seen = 0; at < text.size(); ++at) {
        bool continuation = (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
        if (!continuation && seen++ == character) return at;
    }
    return text.size();
}

static size_t characters(const std::string& text) {
    size_t count = 0;
    for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

static void shortened(const std::string& name, char out[COMPARE_NAME_SIZE]) {
    size_t count = characters(name);
    if (count <= COMPARE_NAME_CHARACTERS) {
        snprintf(out, COMPARE_NAME_SIZE, "%s", name.c_str());
        return;
    }
    const size_t head = (COMPARE_NAME_CHARACTERS - 3 + 1) / 2;
    const size_t tail = COMPARE_NAME_CHARACTERS - 3 - head;
    std::string start = name.substr(0, character_start(name, head));
    std::string end = name.substr(character_start(name, count - tail));
    snprintf(out, COMPARE_NAME_SIZE, "%s...%s", start.c_str(), end.c_str());
}

static bool names_itself(const std::string& part) {
    return !part.empty() && part != "." && part != "..";
}

FolderNames compare_folder_names(const char* path_a, const char* path_b) {
    FolderNames names;
    std::string a = last_part(path_a), b = last_part(path_b);
    if (a == b || !names_itself(a) || !names_itself(b)) {
        snprintf(names.a, sizeof names.a, "A");
        snprintf(names.b, sizeof names.b, "B");
        return names;
    }
    shortened(a, names.a);
    shortened(b, names.b);
    return names;
}
