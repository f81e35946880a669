// desktop_keeper.cpp - keeps Wine's desktop, and so its clipboard, alive while
// the tests run the Windows program under Wine.
//
//   desktop_keeper SECONDS READY_FILE
//
// Wine keeps the clipboard in its desktop process, which ends about a second
// after the last program that used windows has exited; between two runs of
// the program under test the clipboard would be lost. This program joins the
// desktop, creates READY_FILE to say so, and sleeps for SECONDS at most (the
// test script ends it sooner).
#include <cstdio>
#include <cstdlib>
#include <windows.h>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        fprintf(stderr, "usage: desktop_keeper SECONDS READY_FILE\n");
        return 2;
    }
    DWORD seconds = static_cast<DWORD>(strtoul(argv[1], nullptr, 10));
    if (!GetDesktopWindow()) return 1;
    FILE* ready = fopen(argv[2], "wb");
    if (!ready) return 1;
    fclose(ready);
    Sleep(seconds * 1000);
    return 0;
}
