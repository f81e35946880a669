// platform/posix/memory.cpp - handing freed heap memory back to the system
// (release_free_memory, platform.h): glibc keeps it, other C libraries have
// no call for it.
#include "platform/platform.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

void release_free_memory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
