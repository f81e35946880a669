// decode_budget.h - a memory budget for one decode, kept per thread.
//
//     budget_begin(64 << 20);          // this thread's decode may hold 64 MiB
//     ... decoders allocate through budget_malloc/realloc/calloc/free ...
//     bool refused = budget_end();     // true when some allocation was refused
//
// The whole decode takes its memory through these functions (stb_image
// through its STBI_MALLOC/STBI_REALLOC/STBI_FREE hooks), so that a file
// whose data inflates far beyond what its header claims fails its decode
// instead of taking the machine's memory. (The top-rows reader, png/png_rows.h,
// inflates into buffers of the sizes it has checked, and needs none.)
// Each thread keeps its own count: decodes running side by side on several
// threads each hold their own budget. Outside a budget the functions
// allocate freely. A block may be freed on any thread and at any time; it
// counts against the budget of the decode that allocated it only while that
// decode is running on its thread.
//
// Part of the decode unit (decode.h).
#pragma once

#include <cstddef>
#include <cstdint>

// Starts counting this thread's allocations against `limit` bytes.
void budget_begin(uint64_t limit);

// Changes the running budget's limit.
void budget_set_limit(uint64_t limit);

// Stops counting; true when an allocation was refused since budget_begin.
bool budget_end();

void* budget_malloc(size_t size);
void* budget_realloc(void* block, size_t size);
void* budget_calloc(size_t count, size_t size);
void budget_free(void* block);
