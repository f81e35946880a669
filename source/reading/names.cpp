// names.cpp - the rules for names (see names.h).
#include "reading/names.h"

#include <cstring>

bool same_text_ignoring_case(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a + 32) : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b + 32) : *b;
        if (x != y) return false;
        if (x == '\0') return true;
    }
}

bool name_is_png(const char* name) {
    if (name[0] == '\0' || name[0] == '.') return false;
    if (strchr(name, '/') || strchr(name, '\\')) return false;
    const char* dot = strrchr(name, '.');
    return same_text_ignoring_case(dot ? dot + 1 : name, "png");
}
