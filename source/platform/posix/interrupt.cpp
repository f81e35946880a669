// platform/posix/interrupt.cpp - interruptions on POSIX systems (see
// platform.h): the one home of the program's signal handling.
//
// SIGPIPE is ignored, so a closed pipe on standard output shows as a failed
// write (EPIPE) that the modes handle. SIGINT, SIGTERM and SIGHUP share one
// handler, installed for each signal the process was not started with
// ignored (a program started in the background with SIGINT ignored keeps it
// so). Until stop_requests_start, the handler removes the temporary files
// registered by the output unit (unlink is safe in a signal handler), then
// lets the signal end the program as it would have without the handler.
// From stop_requests_start on, it only sets a flag and writes a byte to a
// pipe that every wait of the program polls, so a signal that arrives just
// before a wait still ends it at once.
#include "platform/platform.h"
#include "platform/posix/interrupt.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int NAME_SIZE = 4096;
constexpr int SLOTS = 4;  // temporary files open at once
const int SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

// Temporary files to remove on a signal. A slot's name is complete before
// its flag is set, and the flag is cleared before the name is reused.
char pending_names[SLOTS][NAME_SIZE];
volatile sig_atomic_t pending_used[SLOTS];

bool handlers_installed = false;
volatile sig_atomic_t stopping_softly = 0;  // stop_requests_start was called
volatile sig_atomic_t stop_flag = 0;
int stop_pipe[2] = {-1, -1};

void remove_pending_and_die(int signal_number) {
    for (int i = 0; i < SLOTS; ++i) {
        if (pending_used[i]) unlink(pending_names[i]);
    }
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
    raise(signal_number);  // delivered as soon as this handler returns
}

void on_signal(int signal_number) {
    if (!stopping_softly) {
        remove_pending_and_die(signal_number);
        return;
    }
    int saved = errno;
    stop_flag = 1;
    if (stop_pipe[1] >= 0) {
        char byte = 1;
        ssize_t ignored = write(stop_pipe[1], &byte, 1);
        (void)ignored;
    }
    errno = saved;
}

// No SA_RESTART: a wait in progress returns at once.
void install_handlers() {
    if (handlers_installed) return;
    handlers_installed = true;
    for (int signal_number : SIGNALS) {
        struct sigaction old_action;
        if (sigaction(signal_number, nullptr, &old_action) != 0) continue;
        if (old_action.sa_handler == SIG_IGN) continue;
        struct sigaction action = {};
        action.sa_handler = on_signal;
        sigemptyset(&action.sa_mask);
        for (int other : SIGNALS) sigaddset(&action.sa_mask, other);
        sigaction(signal_number, &action, nullptr);
    }
}

bool make_pipe(int fds[2]) {
    if (pipe(fds) != 0) return false;
    for (int i = 0; i < 2; ++i) {
        fcntl(fds[i], F_SETFD, FD_CLOEXEC);
        fcntl(fds[i], F_SETFL, fcntl(fds[i], F_GETFL) | O_NONBLOCK);
    }
    return true;
}

}  // namespace

void interrupts_begin() {
    signal(SIGPIPE, SIG_IGN);
    install_handlers();
}

void stop_requests_start() {
    if (stop_pipe[0] < 0 && !make_pipe(stop_pipe)) stop_pipe[0] = stop_pipe[1] = -1;
    char drained[64];
    while (stop_pipe[0] >= 0 && read(stop_pipe[0], drained, sizeof drained) > 0) {
    }
    stop_flag = 0;
    stopping_softly = 1;
    install_handlers();
}

bool stop_requested() { return stop_flag != 0; }

bool stop_ends_session() { return false; }

void wait_for_stop_request(int timeout_ms) {
    if (stop_requested()) return;
    struct pollfd fd = {stop_pipe[0], POLLIN, 0};  // a fd of -1 is passed over
    poll(&fd, 1, timeout_ms < 0 ? -1 : timeout_ms);
}

int interrupt_stop_fd() { return stop_pipe[0]; }

InterruptsHeld::InterruptsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal_number : SIGNALS) sigaddset(&set, signal_number);
    sigprocmask(SIG_BLOCK, &set, &previous);
}

InterruptsHeld::~InterruptsHeld() { sigprocmask(SIG_SETMASK, &previous, nullptr); }

bool interrupt_register_temporary(const char* name) {
    install_handlers();
    size_t length = strlen(name);
    if (length >= NAME_SIZE) return false;
    for (int i = 0; i < SLOTS; ++i) {
        if (pending_used[i]) continue;
        memcpy(pending_names[i], name, length + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        pending_used[i] = 1;
        return true;
    }
    return false;
}

void interrupt_forget_temporary(const char* name) {
    for (int i = 0; i < SLOTS; ++i) {
        if (pending_used[i] && strcmp(pending_names[i], name) == 0) {
            pending_used[i] = 0;
            std::atomic_signal_fence(std::memory_order_seq_cst);
        }
    }
}
