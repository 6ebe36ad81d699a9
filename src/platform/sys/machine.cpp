// Machine services: memory size, OS version, clocks, CPUID and the 15-bit random generator.
#include "platform/sys/sys.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <sys/utsname.h>
#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace sys {
namespace {
std::atomic<std::uint64_t> memory_override{0};
std::atomic<std::uint32_t> random_state{1};
} // namespace

std::uint64_t physical_memory_bytes() {
    if (std::uint64_t m = memory_override.load()) return m;
    long pages = ::sysconf(_SC_PHYS_PAGES), page = ::sysconf(_SC_PAGE_SIZE);
    return pages > 0 && page > 0 ? std::uint64_t(pages) * std::uint64_t(page) : 0;
}

void set_physical_memory_override(std::uint64_t bytes) {
    memory_override = bytes;
}

OsVersion os_version() {
    OsVersion v;
    struct utsname u;
    if (::uname(&u) != 0) return v;
    std::sscanf(u.release, "%d.%d.%d", &v.major, &v.minor, &v.build);
    v.name = std::string(u.sysname) + " " + std::to_string(v.major) + "." +
             std::to_string(v.minor) + "." + std::to_string(v.build);
    return v;
}

std::uint32_t tick_count_ms() {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

CalendarTime calendar_now() {
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    struct tm t;
    ::localtime_r(&ts.tv_sec, &t);
    return {t.tm_year + 1900,         t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
            int(ts.tv_nsec / 1000000)};
}

double cpu_seconds() {
    struct timespec ts;
    if (::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts) != 0) return 0.0;
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

double thread_cpu_seconds() {
    struct timespec ts;
    if (::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0) return 0.0;
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

double wall_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void cpuid(std::uint32_t leaf, std::uint32_t subleaf, std::uint32_t regs[4]) {
    regs[0] = regs[1] = regs[2] = regs[3] = 0;
#if defined(__x86_64__) || defined(__i386__)
    unsigned a, b, c, d;
    __cpuid_count(leaf, subleaf, a, b, c, d);
    regs[0] = a, regs[1] = b, regs[2] = c, regs[3] = d;
#endif
}

// The linear congruential generator of the C standard's example, in 32-bit arithmetic; the
// noise models depend on its exact sequence.
void random_seed(unsigned seed) {
    random_state = seed;
}

int random_next() {
    std::uint32_t next = random_state.load() * 1103515245u + 12345u;
    random_state = next;
    return static_cast<int>((next / 65536u) % 32768u);
}

} // namespace sys
