// Zero-filled page memory with a size record per block, the test budget and peak tracking, and
// the query of which pages of a block have been written.
#include "platform/sys/sys.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace sys {
namespace {
// Each block holds its size in a header right before the caller's memory, which is aligned as
// malloc aligns.
struct alignas(std::max_align_t) BlockHeader {
    std::size_t bytes;
};

// Blocks from this size on are mapped from the system on their own: their pages are zero
// without a write, stay out of the resident set until used, and go back to the system when
// freed. Smaller ones come from the heap, cleared by calloc. A mapped block's memory starts on
// the page after its header's, so that no page of it is touched.
constexpr std::size_t mapped_block_bytes = std::size_t(128) << 10;

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
std::atomic<long long> free_memory_override{-1};
// The innermost PageTally of this thread.
thread_local PageTally* current_tally = nullptr;

// Books `want` bytes against the budget; false when the budget refuses them.
bool book(long long want) {
    PageLedger& l = ledger();
    std::lock_guard<std::mutex> lock(l.mutex);
    if (want > 0 && l.budget >= 0 && l.in_use + want > l.budget) return false;
    l.in_use += want;
    if (l.in_use > l.peak) l.peak = l.in_use;
    return true;
}

std::size_t page_bytes() {
    static const std::size_t size = [] {
        const long s = ::sysconf(_SC_PAGESIZE);
        return s > 0 ? std::size_t(s) : std::size_t(4096);
    }();
    return size;
}

bool mapped(std::size_t bytes) {
    return bytes >= mapped_block_bytes;
}
// The bytes before the caller's memory in a block of `bytes`.
std::size_t lead_bytes(std::size_t bytes) {
    return mapped(bytes) ? page_bytes() : sizeof(BlockHeader);
}
// This process's page map, opened once (again in a forked child, whose map is its own).
int pagemap_fd() {
    static std::mutex mutex;
    static int fd = -1;
    static pid_t owner = 0;
    std::lock_guard<std::mutex> lock(mutex);
    if (owner != ::getpid()) {
        if (fd >= 0) ::close(fd);
        fd = ::open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
        owner = ::getpid();
    }
    return fd;
}
} // namespace

void* page_alloc(std::size_t bytes) {
    if (bytes > std::size_t(-1) / 2) return nullptr;
    const long long want = static_cast<long long>(bytes);
    // The bytes are booked first and the block taken outside the lock, so that threads taking
    // their work arrays at once do not wait for each other.
    if (!book(want)) return nullptr;
    const std::size_t lead = lead_bytes(bytes);
    void* raw = nullptr;
    if (!mapped(bytes)) {
        raw = std::calloc(1, lead + bytes);
    } else {
        raw = ::mmap(nullptr, lead + bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1,
                     0);
        if (raw == MAP_FAILED) raw = nullptr;
    }
    if (!raw) {
        book(-want);
        return nullptr;
    }
    unsigned char* block = static_cast<unsigned char*>(raw) + lead;
    reinterpret_cast<BlockHeader*>(block)[-1].bytes = bytes;
    for (PageTally* t = current_tally; t; t = t->outer_)
        t->bytes_ += want;
    return block;
}

PageTally::PageTally() : outer_(current_tally) {
    current_tally = this;
}

PageTally::~PageTally() {
    current_tally = outer_;
}

void page_free(void* block) {
    if (!block) return;
    const std::size_t bytes = static_cast<BlockHeader*>(block)[-1].bytes;
    book(-static_cast<long long>(bytes));
    const std::size_t lead = lead_bytes(bytes);
    unsigned char* raw = static_cast<unsigned char*>(block) - lead;
    if (!mapped(bytes))
        std::free(raw);
    else
        ::munmap(raw, lead + bytes);
}

std::vector<ByteRange> written_ranges(const void* data, std::size_t bytes) {
    std::vector<ByteRange> ranges;
    if (!data || bytes == 0) return ranges;
    const std::size_t page = page_bytes();
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first_page = start / page, end_page = (start + bytes - 1) / page + 1;
    // Each page has one 64-bit entry: bit 63 present, bit 62 swapped out. A page that is
    // neither has never been written since it was mapped and reads as zeros.
    const int fd = pagemap_fd();
    if (fd < 0) return {{0, bytes}};
    std::uint64_t entries[512];
    for (std::uintptr_t p = first_page; p < end_page;) {
        const std::size_t count = std::min<std::uintptr_t>(512, end_page - p);
        const ssize_t got = ::pread(fd, entries, count * 8, off_t(p * 8));
        if (got != ssize_t(count * 8)) return {{0, bytes}};
        for (std::size_t k = 0; k < count; ++k, ++p) {
            if (!(entries[k] >> 62)) continue;
            const std::size_t from = std::max(start, p * page) - start;
            const std::size_t to = std::min(start + bytes, (p + 1) * page) - start;
            if (!ranges.empty() && ranges.back().offset + ranges.back().bytes == from)
                ranges.back().bytes += to - from;
            else
                ranges.push_back({from, to - from});
        }
    }
    return ranges;
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
    long long available = free_memory_override.load();
    if (available < 0)
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

void set_free_memory_override(long long bytes) {
    free_memory_override = bytes < 0 ? -1 : bytes;
}

int workers_in_free_memory(int wanted, long long bytes_each) {
    if (wanted <= 0) return 0;
    const long long fit = sys::free_memory_bytes() / std::max(bytes_each, 1LL);
    return static_cast<int>(std::min<long long>(wanted, fit));
}

void reset_page_peak() {
    std::lock_guard<std::mutex> lock(ledger().mutex);
    ledger().peak = ledger().in_use;
}

} // namespace sys
