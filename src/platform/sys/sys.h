// Operating-system services of the program: files, page memory, the settings-file format,
// clocks, the program folder, the processor query and the 15-bit random generator.
// Everything here is plain and synchronous; nothing draws or asks the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sys {

// ---- Files -------------------------------------------------------------------------------

/// Reads the whole file into `bytes`. Returns false (and leaves `bytes` empty) when the file
/// cannot be opened or read.
bool read_whole_file(const std::string& path, std::vector<char>& bytes);
bool file_exists(const std::string& path);
/// Size in bytes, or -1 when the file cannot be examined.
long long file_size(const std::string& path);
/// Deletes a file; false when it did not exist or could not be removed.
bool delete_file(const std::string& path);
bool rename_file(const std::string& from, const std::string& to);

// ---- Page memory ---------------------------------------------------------------------------

/// Zero-filled memory for the large arrays of the records and the solvers' work arrays.
/// Returns nullptr when the system has none left or when the test budget would be exceeded;
/// a request of 0 bytes gives a valid (empty) block.
void* page_alloc(std::size_t bytes);
/// Frees memory from page_alloc; nullptr is ignored.
void page_free(void* block);
/// Typed helper: `count` zero-filled elements of T (T must be trivially constructible).
/// Returns nullptr too when count * sizeof(T) does not fit in size_t.
template <class T> T* page_alloc_array(std::size_t count) {
    if (count > std::size_t(-1) / sizeof(T)) return nullptr;
    return static_cast<T*>(page_alloc(count * sizeof(T)));
}
/// Test hook: the number of bytes that may be outstanding at once; a negative budget means no
/// limit (the default). Allocations that would pass it fail with nullptr.
void set_page_budget(long long bytes);
/// Bytes outstanding from page_alloc now, and the highest figure since the last reset.
long long page_bytes_in_use();
long long page_bytes_peak();
void reset_page_peak();

// ---- Settings file (private-profile strings) ----------------------------------------------

/// Value of `key` in `[section]` of the ini file at `path`, or `default_value` when the file,
/// the section or the key is missing. The result is cut to `max_chars` characters (254 by
/// default, the size of the callers' buffers less the terminating zero).
std::string get_profile_string(const std::string& section, const std::string& key,
                               const std::string& default_value, const std::string& path,
                               std::size_t max_chars = 254);
/// Sets `key` = `value` in `[section]`, creating the file, the section or the key as needed and
/// keeping every other line. Returns false when the file cannot be written.
bool write_profile_string(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& path);

// ---- Machine -------------------------------------------------------------------------------

/// Physical memory in bytes (the override when one is set).
std::uint64_t physical_memory_bytes();
/// Makes physical_memory_bytes() report `bytes` (the runner's `start memory MIB`); 0 removes the
/// override.
void set_physical_memory_override(std::uint64_t bytes);
struct OsVersion {
    int major = 0, minor = 0, build = 0;
    std::string name; // e.g. "Linux 6.1.0"
};
OsVersion os_version();
/// Milliseconds since an arbitrary start, wrapping at 2^32 like the tick counter it replaces.
std::uint32_t tick_count_ms();
/// Local calendar time.
struct CalendarTime {
    int year, month, day, hour, minute, second, millisecond;
};
CalendarTime calendar_now();
/// Processor time used by this process, in seconds.
double cpu_seconds();
/// Wall-clock seconds from a monotonic clock.
double wall_seconds();
/// Raw CPUID: eax, ebx, ecx, edx of `leaf` (sub-leaf `subleaf`). All zero off x86.
void cpuid(std::uint32_t leaf, std::uint32_t subleaf, std::uint32_t regs[4]);

// ---- Folders -------------------------------------------------------------------------------

/// The program folder with a trailing '/': $VELDARIN_HOME when set, else the executable's folder.
std::string program_dir();
/// Overrides program_dir() for this process (the runner's --home).
void set_program_dir(const std::string& dir);
/// The current directory, without a trailing '/' (empty when it cannot be read).
std::string current_dir();
bool set_current_dir(const std::string& dir);
/// The part of `path` after its last '/'.
std::string file_title(const std::string& path);

// ---- Random numbers ------------------------------------------------------------------------

/// The 15-bit generator the noise models assume: a linear congruential sequence with values
/// 0..32767 (RAND_MAX 32767), seeded with random_seed.
constexpr int random_max = 32767;
void random_seed(unsigned seed);
int random_next();

} // namespace sys
