// temp_folder.h - a temporary folder for a test, removed with its contents
// when the test ends, and small file helpers.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <ftw.h>
#include <set>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct TempFolder {
    std::string path;

    TempFolder() {
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/healthgauge-XXXXXX";
        if (mkdtemp(&pattern[0])) path = pattern;
    }
    ~TempFolder() {
        if (path.empty()) return;
        chmod(path.c_str(), 0700);
        nftw(path.c_str(), remove_one, 16, FTW_DEPTH | FTW_PHYS);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string operator/(const std::string& name) const { return path + "/" + name; }

  private:
    static int remove_one(const char* file, const struct stat*, int, struct FTW*) {
        remove(file);
        return 0;
    }
};

// Runs the body of a test inside a folder, and goes back when it ends.
struct InsideFolder {
    char previous[4096];
    explicit InsideFolder(const std::string& folder) {
        if (!getcwd(previous, sizeof previous)) previous[0] = '\0';
        if (chdir(folder.c_str()) != 0) perror("chdir");
    }
    ~InsideFolder() {
        if (previous[0] && chdir(previous) != 0) perror("chdir");
    }
};

// Writes the file anew, or with append, adds to its end (opening and
// closing it as a writer that reopens would).
inline bool write_file(const std::string& path, const std::string& content, bool append = false) {
    FILE* file = fopen(path.c_str(), append ? "ab" : "wb");
    if (!file) return false;
    bool ok = fwrite(content.data(), 1, content.size(), file) == content.size();
    return fclose(file) == 0 && ok;
}

// The whole file, or "<missing>" when it cannot be opened.
inline std::string read_file(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return "<missing>";
    std::string content;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
    fclose(file);
    return content;
}

// Runs a shell command: its standard output, or, with input, nothing (input
// goes to its standard input).
inline std::string run_command(const std::string& command, const char* input = nullptr) {
    FILE* pipe = popen(command.c_str(), input ? "w" : "r");
    if (!pipe) return "<failed>";
    std::string content;
    if (input) {
        fputs(input, pipe);
    } else {
        char buffer[256];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) content.append(buffer, got);
    }
    pclose(pipe);
    return content;
}

// The names in a folder, dot names included ("." and ".." left out).
inline std::set<std::string> folder_names(const std::string& folder) {
    std::set<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.insert(name);
    }
    closedir(dir);
    return names;
}

// Sets a file's last-write time to `seconds` after the epoch.
inline bool set_time(const std::string& path, long seconds, long nanoseconds = 0) {
    struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}
