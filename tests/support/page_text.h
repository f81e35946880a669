// page_text.h - looking into the text of report.html, for the report's tests.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// Every value of attribute `name` in the tags of `text` that start with `tag`.
inline std::vector<std::string> attributes(const std::string& text, const std::string& tag,
                                    const std::string& name) {
    std::vector<std::string> values;
    for (size_t at = text.find(tag); at != std::string::npos; at = text.find(tag, at + 1)) {
        size_t end = text.find('>', at);
        size_t found = text.find(" " + name + "=\"", at);
        if (found == std::string::npos || found > end) continue;
        found += name.size() + 3;
        values.push_back(text.substr(found, text.find('"', found) - found));
    }
    return values;
}

// How often part occurs in text.
inline size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// What a writer puts into a file, as a string: write(FILE*) is called on a
// temporary file.
template <typename Write>
inline std::string written(Write write) {
    FILE* file = tmpfile();
    if (!file) return "<no tmpfile>";
    write(file);
    std::string text;
    rewind(file);
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    fclose(file);
    return text;
}
