// platform/win32/clipboard.cpp - the Windows clipboard, as plain text.
//
// The text goes into a movable global block that is handed to the clipboard
// as CF_TEXT; from then on the block belongs to the clipboard and is not
// freed here. The clipboard is opened without an owner window, since this
// console program has none. Nothing waits on another program here, so every
// change ends as done; failures are ignored.
#include "platform/platform.h"

#include <cstring>
#include <windows.h>

static ClipboardOutcome put_text(const char* text) {
    size_t size = strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return ClipboardOutcome::done;
    void* memory = GlobalLock(block);
    if (!memory) {
        GlobalFree(block);
        return ClipboardOutcome::done;
    }
    memcpy(memory, text, size);
    GlobalUnlock(block);

    OpenClipboard(nullptr);
    EmptyClipboard();
    // Only a block the clipboard did not take is still ours to free.
    if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
    CloseClipboard();
    return ClipboardOutcome::done;
}

static ClipboardOutcome empty() {
    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
    return ClipboardOutcome::done;
}

const Clipboard SYSTEM_CLIPBOARD = {put_text, empty};
Clipboard clipboard = SYSTEM_CLIPBOARD;
