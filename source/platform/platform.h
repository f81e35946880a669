// platform.h - the few services the program takes from the operating system:
// directory, file, output file, time, console, clipboard, watch, interrupt,
// memory.
//
// This floor chooses no text of its own: it hands back the system's error
// codes and leaves every message to the modes. Everything above it is plain
// portable C++; each service lives in a small unit per platform, in posix/
// and win32/ side by side (the Windows units alone share win32/text.h, the
// UTF-8 <-> UTF-16 conversion):
//
//   win32/dir.cpp        posix/dir.cpp
//   win32/file.cpp       posix/file.cpp
//   win32/clipboard.cpp  posix/clipboard.cpp
//   win32/terminal.cpp   posix/terminal.cpp
//   win32/output.cpp     posix/output.cpp
//   win32/watch.cpp      posix/watch.cpp
//   win32/console.cpp    posix/console.cpp
//   win32/time.cpp       posix/time.cpp
//   win32/interrupt.cpp  posix/interrupt.cpp
//   win32/memory.cpp     posix/memory.cpp
//
// The build picks one of each pair (source/platform/CMakeLists.txt);
// output_file.cpp is the portable layer over the output units, which alone
// share output_start.h. The rest of the program only sees the declarations
// below.
//
// Names are bytes in the platform's file name encoding: on POSIX systems the
// bytes the file system holds, on Windows always UTF-8 (the Windows units
// convert to and from the UTF-16 names of the system themselves, whatever
// the system's ANSI code page), so a name that the directory search yields
// always opens with open_regular_file and prints as UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

// Separator that the listing puts between a directory and a name in its
// search pattern and paths.
#ifdef _WIN32
constexpr char PATH_SEPARATOR = '\\';
#else
constexpr char PATH_SEPARATOR = '/';
#endif

// Longest name a directory entry can carry, terminator included: a Windows
// name has up to 255 UTF-16 units, each at most 3 bytes of UTF-8 (a pair of
// surrogates gives 4 bytes for 2 units), and POSIX names are at most 255
// bytes (NAME_MAX). A longer name is passed over by the search.
constexpr int DIR_NAME_SIZE = 3 * 255 + 1;

// One entry of a directory, as the search yields it.
struct DirItem {
    char name[DIR_NAME_SIZE];  // bytes as the file system has them, zero-terminated
    bool is_directory;
    bool is_hidden;            // Windows' hidden attribute (false elsewhere: a
                               // leading dot hides a name there)
    uint64_t time;             // last-write time; only its order matters
    uint32_t size;             // low 32 bits of the size, 0 for a directory
};

struct DirSearch;  // one running search, owned by the platform unit

// Starts listing the directory named by a pattern of the form
// "<directory><PATH_SEPARATOR>*". Returns nullptr when the directory cannot be
// read and sets *error to the system's error code.
DirSearch* dir_search_start(const char* pattern, int* error);

// Fills *item with the next entry; false when there are no more. Entries are
// offered in the platform's order, "." and ".." included where it has them.
bool dir_search_next(DirSearch* search, DirItem* item);

// Ends the search and releases it.
void dir_search_end(DirSearch* search);

// Opens a regular file for binary reading without ever blocking: a name that
// turned into a named pipe, a device or a directory since it was listed is
// refused. Returns nullptr when the file cannot be opened or is not a regular
// file. The path is in the bytes the directory search gives.
FILE* open_regular_file(const char* path);

// The size in bytes of an open file, 64 bits on every platform (Windows'
// long, and so ftell, has 32); 0 when the system cannot tell.
uint64_t open_file_size(FILE* file);

// The last bytes of an open file, read without moving it (posix/file_end.cpp,
// win32/file_end.cpp).
//
//     uint8_t tail[12];
//     uint64_t size;
//     if (read_file_end(file, tail, sizeof tail, &size)) ... tail holds the last 12 bytes ...
//
// The size comes from the open file itself (fstat, GetFileSizeEx) and the
// bytes from one positioned read (pread, ReadFile at an offset), without a
// seek and without touching the stream's buffer. Windows moves the file's
// own position all the same: seek before reading the stream on.
// False when the file is shorter than `count` bytes or cannot be read.
bool read_file_end(FILE* file, uint8_t* tail, size_t count, uint64_t* file_size);

// True when standard error is a terminal (on Windows, a console) that a
// progress line can be drawn on; false when it goes to a file, a pipe or the
// null device.
bool stderr_is_terminal();
// The console, around the whole run of the program:
//
//     console_begin();
//     ... print ...
//     console_end();
//
// On Windows, when standard output or standard error is a console window,
// console_begin has the window show the program's UTF-8 output and messages
// (the names of screenshots, the × of a size) as the characters they are,
// whatever the console's code page, which stays as it was; console_end
// flushes and writes out what is left. Output to a file or pipe is UTF-8
// bytes in any case. On POSIX systems console_begin only sees
// to the standard descriptors (below) and console_end does nothing.
void console_begin();
void console_end();

// After a failed write to standard output: true when it failed because
// nobody reads it any more (a pipe whose reader closed it: EPIPE, or
// ERROR_NO_DATA on Windows), false for any other failure (a full disk).
bool output_reader_gone();

// ---- The process, from its start ------------------------------------------
//
// main calls console_begin, then interrupts_begin, before anything else is
// opened. On POSIX systems console_begin opens /dev/null on any of the
// standard descriptors 0, 1 and 2 that the process was started without, so
// that no file the program opens takes their place (the Windows C runtime
// keeps its descriptors 0 to 2 reserved whatever the standard handles are).
//
// interrupts_begin ignores SIGPIPE (a closed pipe shows as a failed write)
// and takes over the interruptions: SIGINT, SIGTERM and SIGHUP on POSIX
// systems, the console's Ctrl+C, Ctrl+Break and close on Windows; a signal
// the process was started with ignored stays ignored. An interruption
// removes the temporary output files that exist and ends the program as it
// would have without them, until stop_requests_start (below) turns it into
// a stop request.
void interrupts_begin();

// Hands the heap memory freed so far back to the system where the C library
// keeps it for later, and has it hand large blocks back as soon as they are
// freed (glibc's malloc_trim and fixed mapping threshold, the Windows C
// runtime's _heapmin; nothing elsewhere): for a mode that reads folder
// after folder, so that what one folder's reading freed does not stay on
// top of the next.
void release_free_memory();

// How long the clipboard waits for its helper program to finish.
constexpr int CLIPBOARD_HELPER_WAIT_MS = 3000;

// What became of a change of the clipboard.
enum class ClipboardOutcome {
    done,       // done, or nothing to do it with: its failures go unreported
    timed_out,  // its helper did not finish in CLIPBOARD_HELPER_WAIT_MS and was ended
    stopped,    // a stop request ended the wait for its helper, which was ended
};

// The clipboard, as two plain function pointers so that tests can put a
// recorder in its place. Both print nothing.
struct Clipboard {
    ClipboardOutcome (*put_text)(const char* text);  // the clipboard then holds exactly text
    ClipboardOutcome (*empty)();                     // the clipboard then holds nothing
};

// The system clipboard of this platform.
extern const Clipboard SYSTEM_CLIPBOARD;

// The clipboard the program uses; SYSTEM_CLIPBOARD unless a test replaced it.
extern Clipboard clipboard;

// ---- Watching a folder (posix/watch.cpp, win32/watch.cpp) ------------------
//
// What the watch mode needs from the system: news of files written into a
// folder, a way to be told to stop (Ctrl+C), a clock, and a close look at one
// file. Used like this:
//
//     stop_requests_start();
//     FolderWatch* watch = folder_watch_start(".");   // null: look every second
//     WatchEvent event;
//     while (!stop_requested()) {
//         if (folder_watch_next(watch, timeout_ms, &event)) ... event ...
//     }
//     folder_watch_end(watch);
//
// Linux uses inotify (a file closed after writing, or renamed or moved in);
// Windows uses ReadDirectoryChangesW (a file added, changed or renamed in).

enum class WatchEventKind {
    written,      // name was written, renamed or moved into the folder
    overflow,     // the system dropped news: list the folder to catch up
    folder_gone,  // the folder was removed or can no longer be read
};

struct WatchEvent {
    WatchEventKind kind;
    char name[DIR_NAME_SIZE];  // for written: the name in the folder, as listed
};

struct FolderWatch;  // one running watch, owned by the platform unit

// Starts watching the folder (not its subfolders). Null when the system
// cannot watch it (limits reached, unsupported file system).
FolderWatch* folder_watch_start(const char* folder);

// Sleeps in the system's wait until the folder changes, a stop is requested
// or timeout_ms pass (negative: no limit). True with *event filled when there
// is news; false on a timeout or a stop request.
bool folder_watch_next(FolderWatch* watch, int timeout_ms, WatchEvent* event);

void folder_watch_end(FolderWatch* watch);

// Makes Ctrl+C (and SIGTERM and SIGHUP on POSIX, closing the console on
// Windows) request a stop instead of ending the process, and forgets any
// earlier request. The request wakes folder_watch_next,
// wait_for_stop_request and the clipboard's wait for its helper at once.
void stop_requests_start();
bool stop_requested();
// True when the stop request came from the console window being closed, or
// the session logging off or shutting down (Windows): the process must end
// at once then. False for Ctrl+C and Ctrl+Break, and always on POSIX.
bool stop_ends_session();

// Sleeps for timeout_ms, or less when a stop is requested.
void wait_for_stop_request(int timeout_ms);

// Milliseconds of a clock that only goes forward.
uint64_t clock_ms();

// The present time in the units of DirItem::time.
uint64_t file_time_now();

enum class FileState {
    missing,      // gone, or cannot be looked at
    not_regular,  // a directory, a pipe, a device
    busy,         // its writer still holds it (Windows: it cannot be opened alone)
    ready,        // can be read; the fields below are filled in
};

constexpr int FILE_TAIL_SIZE = 16;

struct FileLook {
    FileState state;
    uint64_t time;                  // last-write time, in the units of DirItem::time
    uint64_t size;
    uint64_t id;                    // the file's identity on its volume (inode, file index)
    unsigned char tail[FILE_TAIL_SIZE];  // its last bytes
    int tail_size;                  // how many of them there are (less for a short file)
};

// Looks at a file without changing it and without ever blocking.
void look_at_file(const char* path, FileLook* look);
// File times as calendar time (posix/time.cpp,
// win32/time.cpp). A last-write time from the directory search
// counts from a platform's own epoch; these are the one place that knows it.
// local_time.h turns them into text.

// Whole seconds since 1970-01-01 00:00:00 UTC (negative before).
int64_t file_time_seconds(uint64_t time);

// The other way: seconds since 1970 (with their fraction) as a file time;
// times before 1601 or past the units' range are brought to its ends.
uint64_t file_time_from_seconds(double seconds);

// The machine's local calendar time of seconds since 1970; false when the
// system cannot tell it.
bool local_calendar_time(int64_t seconds, struct tm* local);

// ---- Files the program writes, replaced whole or not at all ----------------
//
// output_file.cpp, over each platform's output unit (output_start.h):
//
//     OutputFile out;
//     if (!output_file_open(&out, "raw.txt")) ... it cannot be created ...
//     fprintf(out.file, ...);
//     if (!output_file_commit(&out)) ... a write failed; the old file stands ...
//
// output_file_abort(&out) drops what was written (after a hand-over too). Every OutputFile that is
// opened ends in exactly one commit or abort.
//
// A library that writes a file only by its name (libxlsxwriter) gets it
// through a hand-over between the open and the commit:
//
//     if (output_file_open(&out, "report.xlsx")) {
//         if (output_file_hand_over(&out) && library_write(output_file_path(&out))) {
//             saved = output_file_commit(&out);
//         } else {
//             output_file_abort(&out);
//         }
//     }
//
// A regular file (or one that does not exist yet) is written to a temporary
// file in its folder and put in the old file's place by the commit only when
// every write and the flush to disk succeeded; otherwise, and when the program
// is interrupted, the old file stays exactly as it was and the temporary file
// goes. A symbolic link is followed: the file it leads to is replaced, the
// link stays. A device or a named pipe is written directly. A directory, a
// read-only file, or a folder that takes no new file cannot be opened.


constexpr int OUTPUT_PATH_SIZE = 4096;

struct OutputFile {
    FILE* file;                        // where the content goes
    char target[OUTPUT_PATH_SIZE];     // the file that is replaced
    char temporary[OUTPUT_PATH_SIZE];  // written first, then put in target's place
    bool direct;                       // writing straight into target
    int error;                         // after a failed open or commit: the system's
                                       // error code (last_system_error), 0 when unknown
};

// Starts writing the file called name; false when it cannot be opened.
bool output_file_open(OutputFile* out, const char* name);

// Finishes the file; false when any write, the flush or the replacement
// failed.
bool output_file_commit(OutputFile* out);

// Drops the file.
void output_file_abort(OutputFile* out);

// Closes the program's own handle on the temporary file, so that another
// writer may open it by name (on Windows the temporary file is opened
// exclusively); a device or a named pipe stays open. False when the close
// failed. The commit opens the temporary file again to finish it.
bool output_file_hand_over(OutputFile* out);

// The name to write after a hand-over: the temporary file, or the device or
// named pipe itself.
const char* output_file_path(const OutputFile* out);

// ---- The command line, the run's folder, the console at the end ----------
//
//     char** arguments = program_arguments(&argc, argv);   // UTF-8 on every platform
//     switch (path_kind(argument)) { ... }                // a folder? a file?
//     int error = enter_folder(folder);                   // 0, or the system's code
//     ConsoleFacts facts = console_facts();               // for the pause at the end
//     wait_for_enter(60000);                              // "Press Enter ..." on the console

// The program's arguments in UTF-8: on Windows converted from the wide
// command line (so names outside the ANSI code page come through whole),
// elsewhere argv itself. *argc is set to their number.
char** program_arguments(int* argc, char** argv);

enum class PathKind { missing, folder, file };

// What path names, links followed: a folder, a file of any other kind, or
// nothing that can be looked at.
PathKind path_kind(const char* path);

// Makes path the working directory; 0, or the system's error code (the
// working directory then stays as it was).
int enter_folder(const char* path);

// The working directory's full path in UTF-8 (on POSIX systems its bytes);
// false when it cannot be told or does not fit.
bool current_folder(char* path, size_t size);

// What the console of the run is, for the pause at the end (Windows only; on
// POSIX systems console_processes is 0 and the rest false).
struct ConsoleFacts {
    unsigned console_processes;  // processes attached to the console (GetConsoleProcessList)
    bool input_is_console;       // standard input is that console
    bool output_is_console;      // standard output is that console
};
ConsoleFacts console_facts();

// Writes an empty line and "Press Enter to close this window." to the console
// itself (never to standard output) and waits for Enter, at most timeout_ms.
// Does nothing on POSIX systems.
void wait_for_enter(int timeout_ms);

// The error of the last failed system call of this thread: errno on POSIX
// systems; on Windows GetLastError(), or for a C runtime failure without one
// the nearest Windows code (disk full, access denied), else 0. Clear it
// before the calls it is to tell about.
void clear_system_error();
int last_system_error();

// The system's message for an error code as the platform's functions hand
// them back (errno values; Windows error codes on Windows), in UTF-8 without
// a line end, e.g. "Permission denied". Returns text.
const char* system_error_text(int code, char* text, size_t size);
