// platform/posix/watch.cpp - watching a folder on Linux (see platform.h).
//
// inotify reports a file closed after writing (IN_CLOSE_WRITE) and a file
// renamed or moved into the folder (IN_MOVED_TO); IN_Q_OVERFLOW says that the
// kernel's queue overflowed and news was dropped. The folder itself going
// away shows as IN_DELETE_SELF, IN_MOVE_SELF, IN_UNMOUNT or IN_IGNORED (the
// watch was removed); a change of its permissions (IN_ATTRIB) is followed by
// a check that it can still be read. While this process works in the folder,
// removing it sends none of these (the folder lives on until its last user
// leaves it), so the folder's parent is watched as well: when a folder is
// removed from it, the watched one is checked for having no links left.
//
// Stop requests come as signals. Their handler only sets a flag and writes a
// byte to a pipe that every wait here polls beside the inotify descriptor, so
// a signal that arrives just before a wait still ends it at once.
//
// Other POSIX systems without inotify get a null watch, and the watch mode
// looks at the folder every second instead.
#include "platform/platform.h"
#include "platform/posix/file_time.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/inotify.h>
#endif

// ---- stop requests -----------------------------------------------------------

static volatile sig_atomic_t stop_flag = 0;
static int stop_pipe[2] = {-1, -1};

static void on_stop_signal(int) {
    int saved = errno;
    stop_flag = 1;
    if (stop_pipe[1] >= 0) {
        char byte = 1;
        ssize_t ignored = write(stop_pipe[1], &byte, 1);
        (void)ignored;
    }
    errno = saved;
}

static bool make_pipe(int fds[2]) {
    if (pipe(fds) != 0) return false;
    for (int i = 0; i < 2; ++i) {
        fcntl(fds[i], F_SETFD, FD_CLOEXEC);
        fcntl(fds[i], F_SETFL, fcntl(fds[i], F_GETFL) | O_NONBLOCK);
    }
    return true;
}

void stop_requests_start() {
    if (stop_pipe[0] < 0 && !make_pipe(stop_pipe)) stop_pipe[0] = stop_pipe[1] = -1;
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a wait in progress returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool stop_requested() { return stop_flag != 0; }

// Polls fds (the stop pipe first) for up to timeout_ms. Returns the number
// of ready descriptors, 0 on a timeout, a signal or a stop request.
static int wait_for(struct pollfd* fds, int count, int timeout_ms) {
    if (stop_requested()) return 0;
    int ready = poll(fds, static_cast<nfds_t>(count), timeout_ms < 0 ? -1 : timeout_ms);
    if (ready <= 0 || stop_requested()) return 0;
    return ready;
}

void wait_for_stop_request(int timeout_ms) {
    struct pollfd fd = {stop_pipe[0], POLLIN, 0};
    wait_for(&fd, 1, timeout_ms);
}

// ---- one file ------------------------------------------------------------------

// Fills the state and the file's time, size and identity from info.
static void describe(const struct stat& info, FileLook* look) {
    if (!S_ISREG(info.st_mode)) {
        look->state = FileState::not_regular;
        return;
    }
    look->state = FileState::ready;
#ifdef __APPLE__
    look->time = file_time_of(info.st_mtimespec);
#else
    look->time = file_time_of(info.st_mtim);
#endif
    look->size = static_cast<uint64_t>(info.st_size);
    look->id = static_cast<uint64_t>(info.st_ino);
}

void look_at_file(const char* path, FileLook* look) {
    memset(look, 0, sizeof *look);
    look->state = FileState::missing;
    struct stat info;
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        // A file there that cannot be opened has no ending to show: it is
        // read as it is after its wait, and its reading fails aloud.
        if (stat(path, &info) == 0) describe(info, look);
        return;
    }
    if (fstat(fd, &info) == 0) describe(info, look);
    if (look->state == FileState::ready) {
        off_t start = info.st_size > FILE_TAIL_SIZE ? info.st_size - FILE_TAIL_SIZE : 0;
        ssize_t got = pread(fd, look->tail, static_cast<size_t>(info.st_size - start), start);
        look->tail_size = got > 0 ? static_cast<int>(got) : 0;
    }
    close(fd);
}

// ---- the watch -------------------------------------------------------------------

#ifdef __linux__

struct FolderWatch {
    int fd;
    int folder_wd;  // the folder's watch
    int parent_wd;  // its parent's, or -1
    char folder[4096];
    // Events read but not yet handed out; inotify records are aligned for
    // struct inotify_event.
    alignas(struct inotify_event) char buffer[64 * 1024];
    size_t used;
    size_t at;
};

FolderWatch* folder_watch_start(const char* folder) {
    if (strlen(folder) >= sizeof(FolderWatch::folder)) return nullptr;
    int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return nullptr;
    uint32_t mask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ATTRIB |
                    IN_ONLYDIR | IN_EXCL_UNLINK;
    int folder_wd = inotify_add_watch(fd, folder, mask);
    if (folder_wd < 0) {
        close(fd);
        return nullptr;
    }
    char parent[sizeof(FolderWatch::folder) + 3];
    snprintf(parent, sizeof parent, "%s/..", folder);
    FolderWatch* watch = new FolderWatch;
    watch->fd = fd;
    watch->folder_wd = folder_wd;
    watch->parent_wd = inotify_add_watch(fd, parent, IN_DELETE | IN_ONLYDIR);
    strcpy(watch->folder, folder);
    watch->used = watch->at = 0;
    return watch;
}

static bool folder_readable(const char* folder) {
    DIR* dir = opendir(folder);
    if (!dir) return false;
    closedir(dir);
    return true;
}

static bool folder_removed(const char* folder) {
    struct stat info;
    return stat(folder, &info) != 0 || info.st_nlink == 0;
}

// Turns one inotify record into an event; false for one that means nothing
// to the watch.
static bool event_of(const FolderWatch* watch, const struct inotify_event* record,
                     WatchEvent* event) {
    uint32_t mask = record->mask;
    event->name[0] = '\0';
    if (mask & IN_Q_OVERFLOW) {
        event->kind = WatchEventKind::overflow;
        return true;
    }
    if (record->wd != watch->folder_wd) {  // the parent: a folder removed from it
        if ((mask & IN_DELETE) && (mask & IN_ISDIR) && folder_removed(watch->folder)) {
            event->kind = WatchEventKind::folder_gone;
            return true;
        }
        return false;
    }
    if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED)) {
        event->kind = WatchEventKind::folder_gone;
        return true;
    }
    if (record->len == 0) {  // about the folder itself: its permissions changed
        if ((mask & IN_ATTRIB) && !folder_readable(watch->folder)) {
            event->kind = WatchEventKind::folder_gone;
            return true;
        }
        return false;
    }
    if (!(mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) || (mask & IN_ISDIR)) return false;
    size_t length = strnlen(record->name, record->len);
    if (length == 0 || length >= sizeof event->name) return false;
    memcpy(event->name, record->name, length);
    event->name[length] = '\0';
    event->kind = WatchEventKind::written;
    return true;
}

bool folder_watch_next(FolderWatch* watch, int timeout_ms, WatchEvent* event) {
    for (;;) {
        while (watch->at + sizeof(struct inotify_event) <= watch->used) {
            const struct inotify_event* record =
                reinterpret_cast<const struct inotify_event*>(watch->buffer + watch->at);
            size_t size = sizeof(struct inotify_event) + record->len;
            if (watch->at + size > watch->used) break;
            watch->at += size;
            if (event_of(watch, record, event)) return true;
        }
        watch->used = watch->at = 0;
        ssize_t got = read(watch->fd, watch->buffer, sizeof watch->buffer);
        if (got > 0) {
            watch->used = static_cast<size_t>(got);
            continue;
        }
        if (got < 0 && errno != EAGAIN && errno != EINTR) {
            event->kind = WatchEventKind::folder_gone;
            event->name[0] = '\0';
            return true;
        }
        struct pollfd fds[2] = {{stop_pipe[0], POLLIN, 0}, {watch->fd, POLLIN, 0}};
        if (wait_for(fds, 2, timeout_ms) == 0) return false;
        if (!(fds[1].revents & POLLIN)) return false;
    }
}

void folder_watch_end(FolderWatch* watch) {
    if (!watch) return;
    close(watch->fd);
    delete watch;
}

#else

FolderWatch* folder_watch_start(const char*) { return nullptr; }
bool folder_watch_next(FolderWatch*, int, WatchEvent*) { return false; }
void folder_watch_end(FolderWatch*) {}

#endif
