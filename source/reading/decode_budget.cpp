// decode_budget.cpp - a memory budget for one decode, kept per thread (see decode_budget.h).
#include "reading/decode_budget.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

// In front of every block: its size, and the budget it was counted in.
struct alignas(16) BlockHeader {
    uint64_t size;
    uint64_t budget;
};

struct Budget {
    uint64_t id;  // 0 while no budget runs on this thread
    uint64_t limit;
    uint64_t used;
    bool refused;
};

std::atomic<uint64_t> last_budget_id{0};
thread_local Budget budget = {0, 0, 0, false};

BlockHeader* header_of(void* block) { return static_cast<BlockHeader*>(block) - 1; }

// Bytes of a block already counted in the running budget.
uint64_t counted(const BlockHeader* header) {
    return budget.id != 0 && header->budget == budget.id ? header->size : 0;
}

// True when `more` bytes fit, `less` being freed at the same time.
bool fits(uint64_t more, uint64_t less) {
    if (budget.id == 0) return true;
    uint64_t used = budget.used - less;
    if (more <= budget.limit && used <= budget.limit - more) return true;
    budget.refused = true;
    return false;
}

}  // namespace

void budget_begin(uint64_t limit) {
    budget = {++last_budget_id, limit, 0, false};
}

void budget_set_limit(uint64_t limit) { budget.limit = limit; }

bool budget_end() {
    bool refused = budget.refused;
    budget = {0, 0, 0, false};
    return refused;
}

void* budget_malloc(size_t size) {
    if (size > SIZE_MAX - sizeof(BlockHeader) || !fits(size, 0)) return nullptr;
    BlockHeader* header = static_cast<BlockHeader*>(malloc(sizeof(BlockHeader) + size));
    if (!header) return nullptr;
    *header = {size, budget.id};
    budget.used += budget.id != 0 ? size : 0;
    return header + 1;
}

void* budget_realloc(void* block, size_t size) {
    if (!block) return budget_malloc(size);
    BlockHeader* header = header_of(block);
    uint64_t old_counted = counted(header);
    if (size > SIZE_MAX - sizeof(BlockHeader) || !fits(size, old_counted)) return nullptr;
    BlockHeader* moved = static_cast<BlockHeader*>(realloc(header, sizeof(BlockHeader) + size));
    if (!moved) return nullptr;
    *moved = {size, budget.id};
    if (budget.id != 0) budget.used = budget.used - old_counted + size;
    return moved + 1;
}

void* budget_calloc(size_t count, size_t size) {
    if (size != 0 && count > SIZE_MAX / size) return nullptr;
    void* block = budget_malloc(count * size);
    if (block) memset(block, 0, count * size);
    return block;
}

void budget_free(void* block) {
    if (!block) return;
    BlockHeader* header = header_of(block);
    budget.used -= counted(header);
    free(header);
}
