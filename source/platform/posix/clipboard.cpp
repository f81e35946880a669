// platform/posix/clipboard.cpp - the clipboard on Linux and macOS.
//
// There is no clipboard call in POSIX; the clipboard belongs to the desktop
// session, reached through its usual helper programs:
//
//   Wayland (WAYLAND_DISPLAY set, wl-copy found)  wl-copy        / wl-copy --clear
//   X11 (DISPLAY set)                             xclip -selection clipboard
//                                                 or xsel --clipboard --input / --clear
//   macOS                                         pbcopy
//
// With none of them, nothing happens. The helper is started directly (no
// shell) with the text on its standard input and its output on /dev/null:
// xclip and wl-copy stay behind to serve the selection and must not keep the
// caller's pipes open. Failures are ignored, as on every platform.
#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// True when an executable called name is in one of PATH's folders.
static bool on_path(const char* name) {
    const char* path = getenv("PATH");
    if (!path) return false;
    char candidate[4096];
    while (*path) {
        const char* end = strchr(path, ':');
        size_t length = end ? static_cast<size_t>(end - path) : strlen(path);
        if (length > 0 && length + 1 + strlen(name) < sizeof candidate) {
            memcpy(candidate, path, length);
            candidate[length] = '/';
            strcpy(candidate + length + 1, name);
            if (access(candidate, X_OK) == 0) return true;
        }
        if (!end) break;
        path = end + 1;
    }
    return false;
}

static bool has_value(const char* variable) {
    const char* value = getenv(variable);
    return value && *value;
}

// Runs argv with text on its standard input and waits for it to finish.
static void run_helper(char* const argv[], const char* text) {
    int fds[2];
    if (pipe(fds) != 0) return;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    // A helper that quits before reading must not take this process down
    // with SIGPIPE; the child gets the default handling back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    void (*previous)(int) = signal(SIGPIPE, SIG_IGN);

    pid_t pid;
    int spawned = posix_spawnp(&pid, argv[0], &actions, &attributes, argv, environ);
    close(fds[0]);
    if (spawned == 0) {
        size_t length = strlen(text);
        while (length > 0) {
            ssize_t written = write(fds[1], text, length);
            if (written <= 0) break;
            text += written;
            length -= static_cast<size_t>(written);
        }
    }
    close(fds[1]);
    if (spawned == 0) {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    signal(SIGPIPE, previous);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
}

// Puts text on the clipboard, or empties it when text is null.
static void set_clipboard(const char* text) {
    static char wl_copy[] = "wl-copy", clear[] = "--clear";
    static char xclip[] = "xclip", selection[] = "-selection", name[] = "clipboard";
    static char xsel[] = "xsel", board[] = "--clipboard", input[] = "--input";
    static char pbcopy[] = "pbcopy";

#ifdef __APPLE__
    char* pbcopy_argv[] = {pbcopy, nullptr};
    run_helper(pbcopy_argv, text ? text : "");
    return;
#else
    (void)pbcopy;
#endif
    if (has_value("WAYLAND_DISPLAY") && on_path(wl_copy)) {
        char* put[] = {wl_copy, nullptr};
        char* empty[] = {wl_copy, clear, nullptr};
        run_helper(text ? put : empty, text ? text : "");
    } else if (has_value("DISPLAY") && on_path(xclip)) {
        char* argv[] = {xclip, selection, name, nullptr};
        run_helper(argv, text ? text : "");
    } else if (has_value("DISPLAY") && on_path(xsel)) {
        char* put[] = {xsel, board, input, nullptr};
        char* empty[] = {xsel, board, clear, nullptr};
        run_helper(text ? put : empty, text ? text : "");
    }
}

static void put_text(const char* text) { set_clipboard(text); }
static void empty() { set_clipboard(nullptr); }

const Clipboard SYSTEM_CLIPBOARD = {put_text, empty};
Clipboard clipboard = SYSTEM_CLIPBOARD;
