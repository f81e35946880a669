// watch.cpp - the watch mode (see watch.h).
//
// News of a written PNG leads to a look at the file. A complete one is read
// at once; any other waits in the pending table and is looked at again on its
// next news or when its wait runs out. The last RECENT_READINGS readings are
// remembered by name and file state, so that more news of a write already read
// does not read it twice, while a new write (another time, size or ending)
// does.
//
// When news was dropped, a listing catches up: every PNG whose file time is
// at or after "since" (the file time of the newest screenshot read, never
// later than the clock when it was read, so one dated in the future cannot
// hide the ones after it) less CATCH_UP_SLACK_SECONDS, for file systems that
// keep coarse times, but not before the start, and that was not read
// already: the readings of that span are remembered by name, time and size
// for it.
#include "modes/watch.h"

#include "figures/damage.h"
#include "modes/messages.h"
#include "modes/progress.h"
#include "platform/platform.h"
#include "reading/file_list.h"
#include "reading/names.h"
#include "reading/png/png_format.h"
#include "reading/screenshot.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

constexpr int MAX_PENDING = 256;
constexpr int RECENT_READINGS = 64;
constexpr int FIRST_WAIT_MS = 25;
constexpr int LONGEST_WAIT_MS = 400;
constexpr int POLL_INTERVAL_MS = 1000;
constexpr int64_t CATCH_UP_SLACK_SECONDS = 2;

void format_watch_summary(uint32_t count, uint64_t sum, char* text, int text_size) {
    if (count == 0) {
        snprintf(text, static_cast<size_t>(text_size), "Read 0 screenshots");
        return;
    }
    char damage[PERCENT_TEXT_SIZE], health[PERCENT_TEXT_SIZE];
    uint32_t average = average_reading(sum, count);
    format_percent(damage_of(average), damage);
    format_percent(average, health);
    snprintf(text, static_cast<size_t>(text_size),
             "Read %u screenshots, average damage %s (health left %s)", count, damage, health);
}

int format_watch_status(char* text, size_t size, uint32_t count, uint64_t sum,
                        uint32_t last_reading, long seconds_ago) {
    int length;
    if (count == 0) {
        length = snprintf(text, size, "Watching: no screenshot read yet");
    } else {
        char damage[PERCENT_TEXT_SIZE], last[PERCENT_TEXT_SIZE], ago[24];
        format_percent(damage_of(average_reading(sum, count)), damage);
        format_percent(last_reading, last);
        format_duration(ago, sizeof ago, seconds_ago < 0 ? 0 : seconds_ago);
        length = snprintf(text, size, "Watching: %u read, average damage %s, last reading %s %s ago",
                          count, damage, last, ago);
    }
    if (length < 0) return 0;
    return static_cast<size_t>(length) < size ? length : static_cast<int>(size) - 1;
}

// ---- the session -----------------------------------------------------------------

struct PendingFile {
    bool used;
    char name[DIR_NAME_SIZE];
    uint64_t give_up_ms;  // read as it is from then on (unless still busy)
    uint64_t look_ms;     // when to look again
    int wait_ms;          // the wait before that look
};

struct RecentReading {
    char name[DIR_NAME_SIZE];
    FileLook look;
};

// A PNG found by a listing.
struct ListedFile {
    char name[DIR_NAME_SIZE];
    uint64_t time;
    uint32_t size;
    uint64_t key;  // hash of the name
};

// A screenshot read, as a listing shows it.
struct ReadMark {
    char name[DIR_NAME_SIZE];
    uint64_t time;
    uint32_t size;  // low 32 bits, as listed
};

struct WatchSession {
    uint32_t count;
    uint64_t sum;
    uint32_t last_reading;  // the latest reading, once count > 0
    uint64_t last_ms;       // clock_ms() when it was read
    Progress status;        // the status line, on a terminal only
    long status_age;        // the seconds since the last reading it shows
    uint64_t start;  // file time of the start: nothing older is read
    uint64_t since;  // file time of the latest reading (or of the start)
    // The readings a catch-up could list again: those of the last
    // CATCH_UP_SLACK_SECONDS before since, and any later.
    ReadMark* marks;
    int mark_count;
    int mark_capacity;
    bool folder_gone;
    PendingFile pending[MAX_PENDING];
    RecentReading recent[RECENT_READINGS];
    int recent_next;
    // Listings: a fresh one, and for looking every second the one before.
    ListedFile* listed;
    int listed_count;
    ListedFile* previous;
    int previous_count;
    ListedFile* news;
    int capacity;  // files each of the three has room for
};

static WatchSession session;

static long status_age() { return static_cast<long>((clock_ms() - session.last_ms) / 1000); }

// Draws the status line, when it has one: PROGRESS_INTERVAL after it was
// hidden for a line (which may reach the screen by another way, progress.h),
// and whenever the seconds since the last reading it shows are out of date.
static void show_status() {
    if (!session.status.stream) return;
    double clock = progress_clock();
    if (session.status.width == 0 && clock - session.status.drawn < PROGRESS_INTERVAL) return;
    long age = status_age();
    if (session.status.width > 0 && (session.count == 0 || age == session.status_age)) return;
    char text[PROGRESS_TEXT_SIZE];
    int length = format_watch_status(text, sizeof text, session.count, session.sum,
                                     session.last_reading, age);
    progress_show_text(&session.status, text, length, clock);
    session.status_age = age;
}

// The longest wait before the status line is due again (the next whole
// second since the last reading); -1 when nothing will change it.
static int status_wait_ms() {
    if (!session.status.stream) return -1;
    if (session.status.width == 0) return static_cast<int>(PROGRESS_INTERVAL * 1000);
    if (session.count == 0) return -1;
    return STATUS_INTERVAL_MS - static_cast<int>((clock_ms() - session.last_ms) % STATUS_INTERVAL_MS);
}

static void hide_status() { progress_hide(&session.status, progress_clock()); }

static void print_line(const char* text) {
    hide_status();
    printf("%s\n", text);
    flush_console();
}

// The watch goes on until a stop is requested, its folder goes or nobody
// reads its console any more (a closed pipe; a full disk is no reason).
static bool watching() { return !stop_requested() && !session.folder_gone && !console_lost(); }

static bool same_state(const FileLook& a, const FileLook& b) {
    return a.time == b.time && a.size == b.size && a.id == b.id && a.tail_size == b.tail_size &&
           memcmp(a.tail, b.tail, static_cast<size_t>(a.tail_size)) == 0;
}

static bool already_read(const char* name, const FileLook& look) {
    for (const RecentReading& recent : session.recent) {
        if (recent.look.state == FileState::ready && same_state(recent.look, look) &&
            strcmp(recent.name, name) == 0) {
            return true;
        }
    }
    return false;
}

static PendingFile* find_pending(const char* name) {
    for (PendingFile& file : session.pending) {
        if (file.used && strcmp(file.name, name) == 0) return &file;
    }
    return nullptr;
}

static int64_t catch_up_from() {
    return file_time_seconds(session.since) - CATCH_UP_SLACK_SECONDS;
}

static bool marked(const char* name, uint64_t time, uint32_t size) {
    for (int i = 0; i < session.mark_count; ++i) {
        const ReadMark& mark = session.marks[i];
        if (mark.time == time && mark.size == size && strcmp(mark.name, name) == 0) return true;
    }
    return false;
}

// Remembers a reading for the catch-up, after dropping the marks it no
// longer needs. Short of memory, the mark is left out: the screenshot may
// then be read again by a catch-up, never lost.
static void mark_read(const char* name, const FileLook& look) {
    int64_t from = catch_up_from();
    int kept = 0;
    for (int i = 0; i < session.mark_count; ++i) {
        if (file_time_seconds(session.marks[i].time) >= from) {
            session.marks[kept++] = session.marks[i];
        }
    }
    session.mark_count = kept;
    if (session.mark_count == session.mark_capacity) {
        int capacity = session.mark_capacity ? session.mark_capacity * 2 : 16;
        void* grown = realloc(session.marks, sizeof(ReadMark) * static_cast<size_t>(capacity));
        if (!grown) return;
        session.marks = static_cast<ReadMark*>(grown);
        session.mark_capacity = capacity;
    }
    ReadMark& mark = session.marks[session.mark_count++];
    snprintf(mark.name, sizeof mark.name, "%s", name);
    mark.time = look.time;
    mark.size = static_cast<uint32_t>(look.size);
}

static void read_now(const char* name, const FileLook& look) {
    GaugeResult result = read_gauge(name);
    hide_status();
    show_reading(result, name);
    if (result.status == GaugeStatus::read) {
        ++session.count;
        session.sum += result.reading;
        session.last_reading = result.reading;
        session.last_ms = clock_ms();
    }
    RecentReading& recent = session.recent[session.recent_next];
    session.recent_next = (session.recent_next + 1) % RECENT_READINGS;
    snprintf(recent.name, sizeof recent.name, "%s", name);
    recent.look = look;
    session.since = std::max(session.since, std::min(look.time, file_time_now()));
    mark_read(name, look);
}

// Reads the file as it is now: its wait is over.
static void read_as_it_is(PendingFile* file) {
    FileLook look;
    look_at_file(file->name, &look);
    file->used = false;
    if (look.state == FileState::ready && !already_read(file->name, look)) {
        read_now(file->name, look);
    }
}

// A pending entry for name, new or renewed: its wait starts again.
static void keep_waiting(const char* name, PendingFile* file) {
    uint64_t now = clock_ms();
    if (!file) {
        for (PendingFile& free_file : session.pending) {
            if (!free_file.used) {
                file = &free_file;
                break;
            }
        }
    }
    if (!file) {  // the table is full: the one waiting longest is read as it is
        file = &session.pending[0];
        for (PendingFile& other : session.pending) {
            if (other.give_up_ms < file->give_up_ms) file = &other;
        }
        read_as_it_is(file);
    }
    snprintf(file->name, sizeof file->name, "%s", name);
    file->used = true;
    file->give_up_ms = now + COMPLETION_WAIT_MS;
    file->wait_ms = FIRST_WAIT_MS;
    file->look_ms = now + FIRST_WAIT_MS;
}

// News of name: reads it when it is complete, else waits for it.
static void consider(const char* name) {
    if (!name_is_png(name)) return;
    FileLook look;
    look_at_file(name, &look);
    PendingFile* file = find_pending(name);
    if (look.state == FileState::missing || look.state == FileState::not_regular ||
        (look.state == FileState::ready && already_read(name, look))) {
        if (file) file->used = false;
        return;
    }
    if (look.state == FileState::ready && ends_with_iend(look.tail, look.tail_size)) {
        if (file) file->used = false;
        read_now(name, look);
        return;
    }
    keep_waiting(name, file);
}

// Looks again at a pending file whose wait ran out.
static void look_again(PendingFile* file, uint64_t now) {
    FileLook look;
    look_at_file(file->name, &look);
    if (look.state == FileState::missing || look.state == FileState::not_regular ||
        (look.state == FileState::ready && already_read(file->name, look))) {
        file->used = false;
        return;
    }
    bool complete = look.state == FileState::ready && ends_with_iend(look.tail, look.tail_size);
    if (complete || (look.state == FileState::ready && now >= file->give_up_ms)) {
        file->used = false;
        read_now(file->name, look);
        return;
    }
    file->wait_ms = std::min(file->wait_ms * 2, LONGEST_WAIT_MS);
    file->look_ms = now + static_cast<uint64_t>(file->wait_ms);
    if (look.state == FileState::ready) file->look_ms = std::min(file->look_ms, file->give_up_ms);
}

static void look_at_due_files() {
    uint64_t now = clock_ms();
    for (PendingFile& file : session.pending) {
        if (file.used && file.look_ms <= now) look_again(&file, now);
    }
}

// Milliseconds until the next pending look (at most limit; -1 for none).
static int time_to_next_look(int limit) {
    uint64_t now = clock_ms();
    int wait = limit;
    for (const PendingFile& file : session.pending) {
        if (!file.used) continue;
        int until = file.look_ms > now ? static_cast<int>(file.look_ms - now) : 0;
        if (wait < 0 || until < wait) wait = until;
    }
    return wait;
}

// ---- listing the folder ---------------------------------------------------------

static uint64_t name_key(const char* name) {
    uint64_t hash = 1469598103934665603u;  // FNV-1a
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(name); *c; ++c) {
        hash = (hash ^ *c) * 1099511628211u;
    }
    return hash;
}

// Room for `count` files in each listing; false when memory is short.
static bool make_room(int count) {
    if (count <= session.capacity) return true;
    size_t bytes = sizeof(ListedFile) * static_cast<size_t>(count);
    ListedFile** blocks[] = {&session.listed, &session.previous, &session.news};
    for (ListedFile** block : blocks) {
        ListedFile* grown = static_cast<ListedFile*>(realloc(*block, bytes));
        if (!grown) return false;
        *block = grown;
    }
    session.capacity = count;
    return true;
}

enum class Listing { listed, unreadable, short_of_memory };

// Lists the folder's PNGs into session.listed with the program's listing.
static Listing list_folder() {
    session.listed_count = 0;
    Listing outcome = Listing::short_of_memory;
    if (file_list_list_files() && make_room(file_list.file_count)) {
        outcome = Listing::listed;
        for (int slot = 0; slot < file_list.file_count; ++slot) {
            const FileEntry& entry = file_list.entries[file_list.index[slot]];
            if (!entry_is_png(entry)) continue;
            ListedFile& file = session.listed[session.listed_count++];
            snprintf(file.name, sizeof file.name, "%s", entry.path);
            file.time = entry.time;
            file.size = entry.size;
            file.key = name_key(entry.path);
        }
    }
    if (file_list.failed) outcome = Listing::unreadable;
    file_list_release();
    return outcome;
}

static bool earlier(const ListedFile& a, const ListedFile& b) {
    if (a.time != b.time) return a.time < b.time;
    return strcmp(a.name, b.name) < 0;
}

static bool key_order(const ListedFile& a, const ListedFile& b) { return a.key < b.key; }

// After dropped news: every PNG written since the latest reading and not
// read yet, oldest first.
static void catch_up() {
    Listing outcome = list_folder();
    if (outcome == Listing::unreadable) session.folder_gone = true;
    if (outcome != Listing::listed) return;  // short of memory: nothing to catch up with
    int64_t from = catch_up_from();
    auto known = [from](const ListedFile& file) {
        return file.time < session.start || file_time_seconds(file.time) < from ||
               marked(file.name, file.time, file.size);
    };
    ListedFile* end = std::remove_if(session.listed, session.listed + session.listed_count, known);
    std::sort(session.listed, end, earlier);
    for (ListedFile* file = session.listed; file != end; ++file) consider(file->name);
    session.listed_count = 0;
}

// Looking every second: the listing is compared with the one before, and
// each PNG that is new or changed is news, oldest first.
static bool changed_since_previous(const ListedFile& file) {
    const ListedFile* begin = session.previous;
    const ListedFile* end = session.previous + session.previous_count;
    const ListedFile* at = std::lower_bound(begin, end, file, key_order);
    for (; at != end && at->key == file.key; ++at) {
        if (strcmp(at->name, file.name) == 0) return at->time != file.time || at->size != file.size;
    }
    return true;
}

static bool look_at_folder(bool first) {
    Listing outcome = list_folder();
    if (outcome == Listing::unreadable) return false;
    if (outcome != Listing::listed) return true;  // short of memory: no news
    std::sort(session.listed, session.listed + session.listed_count, key_order);
    if (!first) {
        ListedFile* news = session.news;
        int count = 0;
        for (int i = 0; i < session.listed_count; ++i) {
            if (changed_since_previous(session.listed[i])) news[count++] = session.listed[i];
        }
        std::sort(news, news + count, earlier);
        for (int i = 0; i < count; ++i) consider(news[i].name);
    }
    std::swap(session.listed, session.previous);
    session.previous_count = session.listed_count;
    return true;
}

// ---- the mode -------------------------------------------------------------------

static void handle(const WatchEvent& event) {
    switch (event.kind) {
    case WatchEventKind::written:
        consider(event.name);
        break;
    case WatchEventKind::overflow:
        catch_up();
        break;
    case WatchEventKind::folder_gone:
        session.folder_gone = true;
        break;
    }
}

static void finish() {
    char summary[96];
    format_watch_summary(session.count, session.sum, summary, sizeof summary);
    print_line(summary);
}

// Frees what the session holds and clears it for the next run.
static void reset_session() {
    free(session.listed);
    free(session.previous);
    free(session.news);
    free(session.marks);
    memset(&session, 0, sizeof session);
}

void run_watch() {
    reset_session();
    stop_requests_start();
    session.start = session.since = file_time_now();
    progress_start(&session.status, 0, stderr_is_terminal() ? stderr : nullptr, progress_clock());
    FolderWatch* watch = folder_watch_start(".");
    bool looking = watch == nullptr;
    if (looking && !look_at_folder(true)) session.folder_gone = true;
    print_line("Watching for new screenshots. Press Ctrl+C to stop.");
    if (looking) {
        print_line("Warning: Cannot watch this folder for changes; looking every second instead.");
    }
    uint64_t next_listing = clock_ms() + POLL_INTERVAL_MS;
    while (watching()) {
        show_status();
        if (watch) {
            WatchEvent event;
            if (folder_watch_next(watch, time_to_next_look(status_wait_ms()), &event)) handle(event);
        } else {
            uint64_t now = clock_ms();
            int wait = next_listing > now ? static_cast<int>(next_listing - now) : 0;
            int status_wait = status_wait_ms();
            if (status_wait >= 0 && status_wait < wait) wait = status_wait;
            wait_for_stop_request(time_to_next_look(wait));
            if (!stop_requested() && clock_ms() >= next_listing) {
                if (!look_at_folder(false)) session.folder_gone = true;
                next_listing = clock_ms() + POLL_INTERVAL_MS;
            }
        }
        if (watching()) look_at_due_files();
    }
    folder_watch_end(watch);
    if (session.folder_gone && !stop_requested()) {
        print_line("Error: Stopped watching: the folder can no longer be read.");
    }
    finish();
    reset_session();
}
