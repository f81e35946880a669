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
// caller's pipes open. The helper itself exits once it has the text (what
// serves the selection is a child of its own, not waited for); one that has
// not exited after CLIPBOARD_HELPER_WAIT_MS, or when a stop is requested, is
// killed and the caller told. Other failures are ignored, as on every
// platform.
#include "platform/platform.h"

#include <algorithm>
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

// Waits for the helper to end: up to CLIPBOARD_HELPER_WAIT_MS, less when a
// stop is requested. A helper still running then is killed and reaped.
static ClipboardOutcome wait_for_helper(pid_t pid) {
    uint64_t until = clock_ms() + CLIPBOARD_HELPER_WAIT_MS;
    int step_ms = 1;
    int status;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) return ClipboardOutcome::done;
        uint64_t now = clock_ms();
        if (stop_requested() || now >= until) break;
        wait_for_stop_request(static_cast<int>(std::min<uint64_t>(until - now, step_ms)));
        step_ms = std::min(step_ms * 2, 50);
    }
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return stop_requested() ? ClipboardOutcome::stopped : ClipboardOutcome::timed_out;
}

// Runs argv with text on its standard input and waits for it to finish.
static ClipboardOutcome run_helper(char* const argv[], const char* text) {
    int fds[2];
    if (pipe(fds) != 0) return ClipboardOutcome::done;
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    // SIGPIPE is ignored in this process (interrupts_begin), so a helper that
    // quits before reading shows as a failed write; the child gets the
    // default handling back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    pid_t pid;
    int spawned = posix_spawnp(&pid, argv[0], &actions, &attributes, argv, environ);
    close(fds[0]);
    if (spawned == 0) {
        // The text is a few bytes: the pipe takes it whether or not the
        // helper reads.
        size_t length = strlen(text);
        while (length > 0) {
            ssize_t written = write(fds[1], text, length);
            if (written <= 0) break;
            text += written;
            length -= static_cast<size_t>(written);
        }
    }
    close(fds[1]);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? wait_for_helper(pid) : ClipboardOutcome::done;
}

// Puts text on the clipboard, or empties it when text is null.
static ClipboardOutcome set_clipboard(const char* text) {
    static char wl_copy[] = "wl-copy", clear[] = "--clear";
    static char xclip[] = "xclip", selection[] = "-selection", name[] = "clipboard";
    static char xsel[] = "xsel", board[] = "--clipboard", input[] = "--input";
    static char pbcopy[] = "pbcopy";

#ifdef __APPLE__
    char* pbcopy_argv[] = {pbcopy, nullptr};
    return run_helper(pbcopy_argv, text ? text : "");
#else
    (void)pbcopy;
#endif
    if (has_value("WAYLAND_DISPLAY") && on_path(wl_copy)) {
        char* put[] = {wl_copy, nullptr};
        char* empty[] = {wl_copy, clear, nullptr};
        return run_helper(text ? put : empty, text ? text : "");
    } else if (has_value("DISPLAY") && on_path(xclip)) {
        char* argv[] = {xclip, selection, name, nullptr};
        return run_helper(argv, text ? text : "");
    } else if (has_value("DISPLAY") && on_path(xsel)) {
        char* put[] = {xsel, board, input, nullptr};
        char* empty[] = {xsel, board, clear, nullptr};
        return run_helper(text ? put : empty, text ? text : "");
    }
    return ClipboardOutcome::done;
}

static ClipboardOutcome put_text(const char* text) { return set_clipboard(text); }
static ClipboardOutcome empty() { return set_clipboard(nullptr); }

const Clipboard SYSTEM_CLIPBOARD = {put_text, empty};
Clipboard clipboard = SYSTEM_CLIPBOARD;
