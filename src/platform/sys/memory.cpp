// Zero-filled page memory with a size record per block, the test budget and peak tracking.
#include "platform/sys/sys.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace sys {
namespace {
// Each block starts with a header holding its size; the caller's memory follows, aligned as
// malloc aligns.
struct alignas(std::max_align_t) BlockHeader {
    std::size_t bytes;
};

struct PageLedger {
    std::mutex mutex;
    long long budget = -1;
    long long in_use = 0;
    long long peak = 0;
};
PageLedger& ledger() {
    static PageLedger l;
    return l;
}
} // namespace

void* page_alloc(std::size_t bytes) {
    if (bytes > std::size_t(-1) / 2) return nullptr;
    PageLedger& l = ledger();
    const long long want = static_cast<long long>(bytes);
    {
        // The bytes are booked first and the block zero-filled outside the lock, so that
        // threads taking their work arrays at once do not wait for each other's filling.
        std::lock_guard<std::mutex> lock(l.mutex);
        if (l.budget >= 0 && l.in_use + want > l.budget) return nullptr;
        l.in_use += want;
        if (l.in_use > l.peak) l.peak = l.in_use;
    }
    void* raw = std::calloc(1, sizeof(BlockHeader) + bytes);
    if (!raw) {
        std::lock_guard<std::mutex> lock(l.mutex);
        l.in_use -= want;
        return nullptr;
    }
    static_cast<BlockHeader*>(raw)->bytes = bytes;
    return static_cast<BlockHeader*>(raw) + 1;
}

void page_free(void* block) {
    if (!block) return;
    BlockHeader* head = static_cast<BlockHeader*>(block) - 1;
    PageLedger& l = ledger();
    {
        std::lock_guard<std::mutex> lock(l.mutex);
        l.in_use -= static_cast<long long>(head->bytes);
    }
    std::free(head);
}

void set_page_budget(long long bytes) {
    std::lock_guard<std::mutex> lock(ledger().mutex);
    ledger().budget = bytes < 0 ? -1 : bytes;
}

long long page_bytes_in_use() {
    std::lock_guard<std::mutex> lock(ledger().mutex);
    return ledger().in_use;
}

long long page_bytes_peak() {
    std::lock_guard<std::mutex> lock(ledger().mutex);
    return ledger().peak;
}

long long free_memory_bytes() {
    long long available = -1;
    if (std::FILE* info = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        long long kib = 0;
        while (std::fgets(line, sizeof line, info))
            if (std::sscanf(line, "MemAvailable: %lld kB", &kib) == 1) available = kib * 1024;
        std::fclose(info);
    }
    if (available < 0) available = static_cast<long long>(physical_memory_bytes());
    std::lock_guard<std::mutex> lock(ledger().mutex);
    const PageLedger& l = ledger();
    if (l.budget >= 0 && l.budget - l.in_use < available) available = l.budget - l.in_use;
    return available > 0 ? available : 0;
}

void reset_page_peak() {
    std::lock_guard<std::mutex> lock(ledger().mutex);
    ledger().peak = ledger().in_use;
}

} // namespace sys
