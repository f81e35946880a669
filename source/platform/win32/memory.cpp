// platform/win32/memory.cpp - handing freed heap memory back to the system
// (release_free_memory, platform.h): the C runtime's _heapmin.
#include "platform/platform.h"

#include <malloc.h>

void release_free_memory() { _heapmin(); }
