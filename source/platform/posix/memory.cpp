// platform/posix/memory.cpp - handing freed heap memory back to the system
// (release_free_memory, platform.h): glibc keeps it, other C libraries have
// no call for it.
//
// glibc raises its threshold for serving a block with its own mapping to
// the size of the largest such block freed (the reader's buffers), and then
// keeps blocks under it, once freed, at the top of each thread's heap, where
// malloc_trim does not reach. Fixing the threshold at glibc's own starting
// value (128 KiB) has every larger block mapped, and unmapped when freed.
#include "platform/platform.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

void release_free_memory() {
#ifdef __GLIBC__
    constexpr int LARGE_BLOCK = 128 * 1024;
    mallopt(M_MMAP_THRESHOLD, LARGE_BLOCK);
    mallopt(M_TRIM_THRESHOLD, LARGE_BLOCK);
    malloc_trim(0);
#endif
}
