// platform/posix/console.cpp - the console on POSIX systems: a terminal shows
// the bytes the program prints as they are, so there is nothing to set. What
// there is to see to is the standard descriptors: a process started with one
// of them closed (`healthgauge >&-`, some launchers) would hand that number
// to the next file it opens, and print into raw.txt, or give the clipboard
// helper a closed standard input. Each closed one is opened on /dev/null.
// The arguments are the bytes the system hands over; a terminal window does
// not close with the program, so it never waits at the end.
#include "platform/platform.h"

#include <fcntl.h>
#include <unistd.h>

void console_begin() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0) continue;
        // Opens the lowest free descriptor, which is fd itself.
        int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) close(opened);
    }
}

void console_end() {}

char** program_arguments(int*, char** argv) { return argv; }

ConsoleFacts console_facts() { return {0, false, false}; }

void wait_for_enter(int) {}
