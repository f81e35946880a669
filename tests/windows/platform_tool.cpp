// platform_tool.cpp - the Windows platform layer seen from the tests, which
// run this program under Wine beside the program under test.
//
//   platform_tool clipboard        prints the clipboard's text (CF_TEXT), or
//                                  nothing when it holds none
//   platform_tool put-text TEXT    puts TEXT on the clipboard
//   platform_tool list PATTERN     lists a directory search, one entry a line:
//                                  NAME <tab> d|f <tab> TIME <tab> SIZE, or
//                                  "error N" when the search cannot start;
//                                  names in UTF-8, as the program has them
//   platform_tool code-page        prints the system's ANSI code page, which
//                                  programs without a code page of their own
//                                  in their manifest use (this tool has none)
//   platform_tool record FILE ARG...  appends each ARG to FILE as a line of
//                                  UTF-8, taken from the wide command line (the
//                                  page opener of the drop targets' tests)
//
// put-text and list go through the program's own platform unit; clipboard
// reads with its own calls, so that what the program left is seen as any
// other Windows program sees it. Output is binary: no carriage returns.
#include "platform/platform.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

static int print_clipboard() {
    if (!OpenClipboard(nullptr)) {
        printf("<cannot open the clipboard>");
        return 1;
    }
    HANDLE block = GetClipboardData(CF_TEXT);
    if (block) {
        const char* text = static_cast<const char*>(GlobalLock(block));
        if (text) {
            fputs(text, stdout);
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    return 0;
}

static int list(const char* pattern) {
    int error = 0;
    DirSearch* search = dir_search_start(pattern, &error);
    if (!search) {
        printf("error %d\n", error);
        return 0;
    }
    DirItem item;
    while (dir_search_next(search, &item)) {
        printf("%s\t%c\t%" PRIu64 "\t%" PRIu32 "\n", item.name, item.is_directory ? 'd' : 'f',
               item.time, item.size);
    }
    dir_search_end(search);
    return 0;
}

// The UTF-8 form of a wide string (empty when it cannot be converted).
static std::string utf8(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &bytes[0], size, nullptr, nullptr);
    bytes.resize(static_cast<size_t>(size) - 1);
    return bytes;
}

static int record() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 3) return 2;
    FILE* file = _wfopen(arguments[2], L"ab");
    if (!file) return 1;
    for (int i = 3; i < count; ++i) fprintf(file, "%s\n", utf8(arguments[i]).c_str());
    fclose(file);
    LocalFree(arguments);
    return 0;
}

int main(int argc, char* argv[]) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc == 2 && strcmp(argv[1], "clipboard") == 0) return print_clipboard();
    if (argc == 3 && strcmp(argv[1], "put-text") == 0) {
        SYSTEM_CLIPBOARD.put_text(argv[2]);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "list") == 0) return list(argv[2]);
    if (argc == 3 && strcmp(argv[1], "size") == 0) {
        FILE* file = open_regular_file(argv[2]);
        if (!file) return 1;
        printf("%llu\n", static_cast<unsigned long long>(open_file_size(file)));
        fclose(file);
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "code-page") == 0) {
        printf("%u\n", GetACP());
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "record") == 0) return record();
    fprintf(stderr, "usage: platform_tool clipboard | put-text TEXT | list PATTERN | size PATH | "
                    "code-page | record FILE ARG...\n");
    return 2;
}
