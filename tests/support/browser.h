// browser.h - headless Chromium for the pages' browser tests (report.html,
// compare.html). HEALTHGAUGE_BROWSER names the browser (default: chromium,
// which scripts/install-deps installs).
#pragma once

#include "support/temp_folder.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

inline std::string browser() {
    const char* name = getenv("HEALTHGAUGE_BROWSER");
    return name && *name ? name : "chromium";
}

// Runs a shell command; its standard output, and its exit status in *status.
inline std::string command_output(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        *status = -1;
        return output;
    }
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    int result = pclose(pipe);
    *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return output;
}

// Chromium, headless, as root and on a closed network: no sandbox, no GPU,
// no background connections, a fresh profile in the folder; `action` done
// on the folder's page.
inline std::string browser_command(const TempFolder& folder, const std::string& page,
                                   const std::string& action) {
    return "timeout 120 " + browser() +
           " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
           " --disable-background-networking --disable-component-update --disable-sync"
           " --hide-scrollbars --user-data-dir=" +
           folder / "profile" + " " + action + " file://" + folder / page + " 2>/dev/null";
}

// Nothing in a page (its data: addresses taken out) names a place to fetch
// from or a way to fetch: the words that would.
inline const char* const OUTSIDE_ADDRESSES[] = {
    "http:", "https:", "//", "url(", "@import", "<script", "<link", "<iframe", "<object",
    "<embed", "href=", "srcset", "file:"};
