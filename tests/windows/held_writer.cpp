// held_writer.cpp - a Windows writer that holds its file open: the tests run
// it under Wine to show that the watch mode waits for a writer to let go.
//
//   held_writer SOURCE TARGET HOLD_MS
//
// Creates TARGET, sharing it for reading only (as a game writing a
// screenshot might), writes SOURCE's bytes into it, prints "written", keeps
// it open for HOLD_MS milliseconds and closes it. Exit status 0 when all of
// that worked.
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <windows.h>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        fprintf(stderr, "usage: held_writer SOURCE TARGET HOLD_MS\n");
        return 2;
    }
    _setmode(_fileno(stdout), _O_BINARY);
    FILE* source = fopen(argv[1], "rb");
    if (!source) return 1;
    std::string bytes;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, source)) > 0) bytes.append(buffer, got);
    fclose(source);

    HANDLE target = CreateFileA(argv[2], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (target == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    BOOL ok = WriteFile(target, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    printf("written\n");
    fflush(stdout);
    Sleep(static_cast<DWORD>(atoi(argv[3])));
    CloseHandle(target);
    return ok && written == bytes.size() ? 0 : 1;
}
