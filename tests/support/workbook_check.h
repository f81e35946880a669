// workbook_check.h - report.xlsx read back with openpyxl against report.csv
// (tests/modes/report_xlsx_check.py), for the end-to-end tests.
//
//     std::string output = check_workbook(folder.path);  // "rows N\n..." and any "fault: ..." lines
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

// Runs a command here (never through HEALTHGAUGE_RUNNER); its output and
// whether it exited with 0.
inline bool run_here(const std::string& command, std::string* output) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return false;
    char buffer[4096];
    size_t got;
    output->clear();
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, got);
    return pclose(pipe) == 0;
}

inline bool openpyxl_present() {
    return system("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null") == 0;
}

inline std::string check_workbook(const std::string& folder) {
    std::string output;
    run_here("/usr/bin/python3 '" HEALTHGAUGE_TESTS_SOURCE "/modes/report_xlsx_check.py' '" + folder + "'",
             &output);
    return output;
}
