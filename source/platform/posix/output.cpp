// platform/posix/output.cpp - files the program writes, on POSIX systems.
//
// A file is written to a temporary file ".NAME.PID.N.tmp" in the folder of the
// file it replaces (the listing passes over names beginning with a dot),
// flushed to the disk with fsync and moved into place with rename, which
// replaces the old file in one step. Symbolic links are followed to the file
// they lead to, so the link stays. Devices and named pipes are written
// directly, never renamed over.
//
// The temporary files that exist are registered with the interrupt unit
// (posix/interrupt.cpp), whose handler of SIGINT, SIGTERM and SIGHUP
// removes them before the signal ends the program.
#include "platform/output_start.h"
#include "platform/platform.h"
#include "platform/posix/interrupt.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int NAME_SIZE = 4096;
constexpr int MAX_LINK_HOPS = 40;

// Length of the folder part of path, its last '/' included (0: none).
size_t folder_length(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? static_cast<size_t>(slash - path) + 1 : 0;
}

enum class Kind { missing, regular, directory, other, unusable };

// Follows name through symbolic links to the path it finally leads to
// (into final, NAME_SIZE bytes) and tells what is there.
Kind resolve(const char* name, char* final, struct stat* info) {
    if (strlen(name) >= NAME_SIZE) return Kind::unusable;
    strcpy(final, name);
    for (int hop = 0; hop < MAX_LINK_HOPS; ++hop) {
        if (lstat(final, info) != 0) return errno == ENOENT ? Kind::missing : Kind::unusable;
        if (S_ISREG(info->st_mode)) return Kind::regular;
        if (S_ISDIR(info->st_mode)) return Kind::directory;
        if (!S_ISLNK(info->st_mode)) return Kind::other;

        char link[NAME_SIZE];
        ssize_t length = readlink(final, link, sizeof link - 1);
        if (length < 0) return Kind::unusable;
        link[length] = '\0';
        // A relative link is relative to the folder the link is in.
        size_t keep = link[0] == '/' ? 0 : folder_length(final);
        if (keep + static_cast<size_t>(length) >= NAME_SIZE) return Kind::unusable;
        memmove(final + keep, link, static_cast<size_t>(length) + 1);
    }
    return Kind::unusable;  // a loop of links
}

// A file the user protected (no write permission for anyone, which stops
// even the superuser here) or that this user may not write.
bool may_replace(const char* path, const struct stat& info) {
    return (info.st_mode & 0222) != 0 && faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) == 0;
}

// Creates ".NAME.PID.N.tmp" beside final and registers it; the open
// descriptor, or -1.
int create_temporary(const char* final, char* temporary, size_t size) {
    size_t folder = folder_length(final);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        int written = snprintf(temporary, size, "%.*s.%s.%ld.%u.tmp", static_cast<int>(folder),
                               final, final + folder, static_cast<long>(getpid()), attempt);
        if (written < 0 || static_cast<size_t>(written) >= size ||
            static_cast<size_t>(written) >= NAME_SIZE) {
            return -1;
        }
        InterruptsHeld held;
        int fd = open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        if (!interrupt_register_temporary(temporary)) {
            close(fd);
            unlink(temporary);
            return -1;
        }
        return fd;
    }
    return -1;
}

// The replacement keeps the old file's permissions and, where allowed, its
// owner.
void keep_mode_and_owner(int fd, const struct stat& old) {
    fchmod(fd, old.st_mode & 07777);
    if (old.st_uid != geteuid() || old.st_gid != getegid()) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only the superuser may give a file away; the file stays ours.
        }
    }
}

// Writes the folder holding path through to the disk, so the rename lasts.
void sync_folder_of(const char* path) {
    char folder[NAME_SIZE];
    size_t length = folder_length(path);
    if (length == 0) {
        strcpy(folder, ".");
    } else {
        memcpy(folder, path, length);
        folder[length] = '\0';
    }
    int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

OutputStart output_start(const char* name, char* target, char* temporary, size_t size,
                         FILE** file) {
    *file = nullptr;
    char final[NAME_SIZE];
    struct stat info;
    Kind kind = resolve(name, final, &info);
    if (kind == Kind::other) {
        *file = fopen(name, "wb");
        return *file ? OutputStart::direct : OutputStart::refused;
    }
    if (kind == Kind::directory || kind == Kind::unusable) return OutputStart::refused;
    if (kind == Kind::regular && !may_replace(final, info)) return OutputStart::refused;
    if (strlen(final) >= size) return OutputStart::refused;

    int fd = create_temporary(final, temporary, size);
    if (fd < 0) return OutputStart::refused;
    if (kind == Kind::regular) keep_mode_and_owner(fd, info);
    *file = fdopen(fd, "wb");
    if (!*file) {
        close(fd);
        unlink(temporary);
        interrupt_forget_temporary(temporary);
        return OutputStart::refused;
    }
    strcpy(target, final);
    return OutputStart::temporary;
}

bool output_replace(FILE* file, const char* temporary, const char* target) {
    bool ok = fflush(file) == 0 && !ferror(file);
    ok = ok && fsync(fileno(file)) == 0;
    ok = fclose(file) == 0 && ok;
    // Whatever took target's place meanwhile, a device is never renamed over.
    struct stat info;
    if (ok && lstat(target, &info) == 0) {
        ok = S_ISREG(info.st_mode) || S_ISLNK(info.st_mode);
    }
    ok = ok && rename(temporary, target) == 0;
    if (!ok) unlink(temporary);
    interrupt_forget_temporary(temporary);
    if (ok) sync_folder_of(target);
    return ok;
}

void output_discard(FILE* file, const char* temporary) {
    if (file) fclose(file);
    unlink(temporary);
    interrupt_forget_temporary(temporary);
}

FILE* output_reopen(const char* temporary) {
    int fd = open(temporary, O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "ab");
    if (!file) close(fd);
    return file;
}
