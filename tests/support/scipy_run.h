// scipy_run.h - SciPy as the oracle of the statistics' tests: a Python
// script run by /usr/bin/python3, its standard output read back.
//
// Without python3 and SciPy the SciPy cases are skipped, unless the build
// was configured where they were present (HEALTHGAUGE_SCIPY_AT_CONFIGURE;
// scripts/install-deps installs them): then their absence is a failure.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Runs a Python script; its standard output, and its exit status in *status.
inline std::string run_python(const std::string& script, int* status) {
    char path[] = "/tmp/healthgauge-scipy-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0 || write(fd, script.data(), script.size()) != static_cast<ssize_t>(script.size())) {
        *status = -1;
        return "";
    }
    close(fd);
    std::string output;
    FILE* pipe = popen(("/usr/bin/python3 " + std::string(path) + " 2>&1").c_str(), "r");
    char buffer[4096];
    size_t got;
    while (pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    int result = pipe ? pclose(pipe) : -1;
    *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    unlink(path);
    return output;
}

inline bool scipy_present() {
    int status;
    run_python("import scipy.stats\n", &status);
    return status == 0;
}

inline std::string python_list(const std::vector<uint32_t>& values) {
    std::string text = "[";
    for (uint32_t v : values) text += std::to_string(v) + ",";
    return text + "]";
}

// The tests' own generator of samples (a 64-bit LCG), independent of the
// one under test.
struct Lcg {
    uint64_t x;
    uint32_t below(uint32_t n) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>((x >> 33) % n);
    }
};

// Ours agrees with SciPy's figure to a relative 1e-9.
inline void expect_relative(double ours, double theirs, const std::string& what) {
    double scale = std::fabs(theirs) > 1e-300 ? std::fabs(theirs) : 1e-300;
    EXPECT_LE(std::fabs(ours - theirs) / scale, 1e-9) << what << ": " << ours << " vs " << theirs;
}

#ifdef HEALTHGAUGE_SCIPY_AT_CONFIGURE
#define SKIP_WITHOUT_SCIPY() \
    if (!scipy_present()) FAIL() << "/usr/bin/python3 with SciPy was there when the build was configured"
#else
#define SKIP_WITHOUT_SCIPY() \
    if (!scipy_present()) GTEST_SKIP() << "no /usr/bin/python3 with SciPy (scripts/install-deps installs it)"
#endif
