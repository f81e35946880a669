// names.h - the rules for names that the listing, the options and the watch
// share.
//
//     same_text_ignoring_case("-SCAN", "-scan")  -> true
//     name_is_png("shot0042.PNG")                -> true
#pragma once

// True when a and b are equal, ASCII letters compared without regard to case.
bool same_text_ignoring_case(const char* a, const char* b);

// True for a bare name (no folder part) that the listing takes as a
// screenshot: not beginning with a dot, extension png in any case (a name
// without a dot is its own extension, so a file named png counts).
bool name_is_png(const char* name);
