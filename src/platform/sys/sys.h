// Operating-system services of the program: files, page memory, the settings-file format,
// clocks, the program folder, the processor query and the 15-bit random generator.
// Everything here is plain and synchronous; nothing draws or asks the user.
//
// Folder platform/sys/ (library vd_sys), the lowest library of the program: it includes nothing of
// the program's and is included by every other folder. Entry points: sys::AtomicFile and
// sys::save_file (every file saved for the user), sys::page_alloc (the large arrays), and the
// thread pool sys::run_steps (platform/sys/thread_pool.h).
#pragma once

#include "platform/sys/no_copy.h"

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace sys {

/// Closes a C stream when its owner goes out of scope.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
/// An open C stream with one owner (empty when the open failed).
using File = std::unique_ptr<std::FILE, FileCloser>;

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
/// Bytes that files may still take on the file system of `folder`, -1 when it cannot be told.
long long free_disk_bytes(const std::string& folder);
/// Test hook: free_disk_bytes reports `bytes` for every folder; a negative value removes it.
void set_free_disk_override(long long bytes);

// ---- Saving files ------------------------------------------------------------------------

/// A file saved whole or not at all: every file the program writes for the user (data file,
/// model file, bitmap, colour scheme, settings file, ...) goes through this.
///
///     sys::AtomicFile out(path);         // a temporary file beside `path` is created
///     out.write(text);                   // any number of writes, each checked
///     if (!out.commit())                 // sync, close, and rename over `path`
///         report(path, out.error());     // e.g. "No space left on device"
///
/// The bytes go to a new temporary file in the target's folder, so that the final rename
/// cannot cross file systems. Where the file system allows, that file has no name while it is
/// written and is linked in as ".NAME.veldarin.XXXXXX" only once complete, right before the
/// rename: a process killed while saving leaves nothing behind. Elsewhere it is named so from
/// the start, and its writer holds its lock; every save removes the temporary files of its
/// folder whose writer is gone. Every write, the sync and the close are checked; only when all
/// succeeded is the temporary file renamed over the target. Until then the target keeps its old
/// contents (or stays absent). On any failure, and when the object is destroyed without a
/// successful commit(), the temporary file is removed: nothing partial is ever left. After the
/// first failure further writes do nothing and return false.
///
/// A symbolic link as target is followed (the file it names is replaced, the link stays). The
/// new file keeps the permission bits of the file it replaces, else 0666 less the umask.
class AtomicFile : sys::NoCopy {
  public:
    /// synced: commit() waits until the bytes are on the disk. unsynced: for work files, which
    /// only this run reads; the rename is as safe, but a system crash may leave them short.
    enum class Durability { synced, unsynced };
    /// Creates the temporary file; opened() tells whether that worked.
    explicit AtomicFile(const std::string& path, Durability durability = Durability::synced);
    ~AtomicFile();

    bool write(const void* data, std::size_t size);
    bool write(const std::string& text) { return write(text.data(), text.size()); }
    /// Syncs and closes the temporary file and renames it over the target. True when the
    /// target now holds exactly what was written; false (target untouched) otherwise.
    bool commit();

    /// False when the temporary file could not be created (nothing was written anywhere).
    bool opened() const { return fd_ >= 0 || committed_; }
    /// The cause of the first failure in words, "" while there was none.
    const std::string& error() const { return error_; }

  private:
    std::string target_, folder_, temp_stem_, temp_, error_; // temp_: "" while unnamed
    int fd_ = -1, lock_fd_ = -1;
    bool synced_ = true;
    bool committed_ = false;
    long long written_ = 0;
    void fail(int code);
    bool link_unnamed();
    void release(bool remove);
};

/// The whole of `data` saved as AtomicFile does. False, with the cause in `*error` when given,
/// when it failed; the target is then untouched.
bool save_file(const std::string& path, const void* data, std::size_t size,
               std::string* error = nullptr);
inline bool save_file(const std::string& path, const std::string& text,
                      std::string* error = nullptr) {
    return save_file(path, text.data(), text.size(), error);
}

/// Test hook: every later save fails as a full disk would, with errno `code`, once `bytes`
/// bytes have gone into its temporary file (the bytes before still go to disk, so a partial
/// temporary file exists when the failure comes). A negative `bytes` removes the hook.
void set_save_failure(long long bytes, int code = ENOSPC);
/// Test hook: false makes every later save name its temporary file from the start, as on a file
/// system without unnamed files; true (the default) uses them where the file system allows.
void set_unnamed_temp_files(bool allowed);

// ---- Page memory ---------------------------------------------------------------------------

/// Zero-filled memory for the large arrays of the records and the solvers' work arrays.
/// Returns nullptr when the system has none left or when the test budget would be exceeded;
/// a request of 0 bytes gives a valid (empty) block. Large blocks are reserved, not touched:
/// their pages read as zeros and take no memory until they are written, so callers never
/// clear a new block.
void* page_alloc(std::size_t bytes);
/// Frees memory from page_alloc; nullptr is ignored.
void page_free(void* block);
/// Counts the bytes page_alloc gives on this thread while it lives (blocks given back meanwhile
/// are not taken off), so that a solver learns what a worker's arrays take by taking its first.
/// Tallies may nest; each counts everything given in its own lifetime.
class PageTally : NoCopy {
  public:
    PageTally();
    ~PageTally();
    long long bytes() const { return bytes_; }

  private:
    friend void* page_alloc(std::size_t bytes);
    long long bytes_ = 0;
    PageTally* outer_;
};
/// Typed helper: `count` zero-filled elements of T (T must be trivially constructible).
/// Returns nullptr too when count * sizeof(T) does not fit in size_t.
template <class T> T* page_alloc_array(std::size_t count) {
    if (count > std::size_t(-1) / sizeof(T)) return nullptr;
    return static_cast<T*>(page_alloc(count * sizeof(T)));
}
/// Test hook: the number of bytes that may be outstanding at once; a negative budget means no
/// limit (the default). Allocations that would pass it fail with nullptr.
void set_page_budget(long long bytes);
/// A part of a block: `bytes` bytes from `offset`.
struct ByteRange {
    std::size_t offset, bytes;
};
/// The parts of the page memory [data, data + bytes) that may hold anything but zeros, in
/// order: the pages written (or read) since page_alloc gave them out, cut to the block. Every
/// byte outside them reads as zero. When the system cannot tell, the whole block is one part.
/// Only for memory from page_alloc (never-touched pages of anything else need not be zero).
std::vector<ByteRange> written_ranges(const void* data, std::size_t bytes);
/// Bytes outstanding from page_alloc now, and the highest figure since the last reset.
long long page_bytes_in_use();
long long page_bytes_peak();
void reset_page_peak();
/// Bytes page_alloc may still give: the memory the system has available now (its physical
/// memory when it does not tell), or what the test budget leaves when that is less.
long long free_memory_bytes();
/// Test hook: the system is taken to have `bytes` available (page_alloc still gives what it
/// gives, as under overcommit); a negative value removes it.
void set_free_memory_override(long long bytes);
/// How many of `wanted` workers whose work arrays take `bytes_each` bytes each the free memory
/// (free_memory_bytes) holds: 0 when not even one fits. Reserved pages cost nothing until they
/// are written, so a solver counts its workers here before it takes them.
int workers_in_free_memory(int wanted, long long bytes_each);

// ---- Settings file (private-profile strings) ----------------------------------------------

/// The largest settings file read or rewritten: a bigger one is treated as unusable.
constexpr long long profile_max_bytes = 1 << 20;

/// Whether the settings file at `path` can be used: true when it is missing or is a regular
/// file of at most profile_max_bytes; otherwise false with the reason in `*error` ("it is not a
/// regular file", "it is larger than 1 MB"). Neither the readers nor the writers below touch an
/// unusable file (a FIFO is never opened, a huge file never read).
bool profile_file_usable(const std::string& path, std::string* error = nullptr);

/// Value of `key` in `[section]` of the ini file at `path`, or `default_value` when the file,
/// the section or the key is missing, or the file is unusable. The result is cut to `max_chars`
/// characters (254 by default, the size of the callers' buffers less the terminating zero;
/// std::string::npos for no cut).
std::string get_profile_string(const std::string& section, const std::string& key,
                               const std::string& default_value, const std::string& path,
                               std::size_t max_chars = 254);

/// One "key=value" to set in `[section]`.
struct ProfileEntry {
    std::string section, key, value;
};
/// Sets every entry in turn, creating the file, the section or the key as needed (a new key
/// goes after the last line of its section) and keeping every other line, comment and section
/// as it was, with the file's line ends. The file is saved whole or not at all (AtomicFile).
/// Returns false, with the cause in `*error`, when the file is unusable or cannot be written,
/// or when an entry would change the file's structure (a line break anywhere, '=' in a key,
/// an empty section or key); nothing is changed then.
bool write_profile_strings(const std::vector<ProfileEntry>& entries, const std::string& path,
                           std::string* error = nullptr);
/// write_profile_strings with one entry.
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
/// CPU seconds of the calling thread.
double thread_cpu_seconds();
/// Wall-clock seconds from a monotonic clock.
double wall_seconds();
/// Raw CPUID: eax, ebx, ecx, edx of `leaf` (sub-leaf `subleaf`). All zero off x86.
void cpuid(std::uint32_t leaf, std::uint32_t subleaf, std::uint32_t regs[4]);

// ---- Folders -------------------------------------------------------------------------------

/// The system's limit on a path, its terminating zero included (PATH_MAX): every buffer that
/// holds a path the user chose has this size, and a longer path is refused with a message.
constexpr std::size_t path_max = PATH_MAX;

/// The program folder with a trailing '/': $VELDARIN_HOME when set, else the executable's folder.
std::string program_dir();
/// Overrides program_dir() for this process (the runner's --home).
void set_program_dir(const std::string& dir);
/// The folder of the running executable with a trailing '/' ("./" when it cannot be read): where
/// the build puts the programs and the files shipped beside them, whatever program_dir() is.
std::string executable_dir();
/// The current directory, without a trailing '/' (empty when it cannot be read).
std::string current_dir();
bool set_current_dir(const std::string& dir);
/// The part of `path` after its last '/'.
std::string file_title(const std::string& path);

// ---- Work folder ---------------------------------------------------------------------------

/// The folder of this process's work files: "work.PID.XXXXXX" inside `program_dir`, made on
/// the first call (a later call with the same folder returns it again) after the work folders
/// of runs that are gone were removed. While the process lives it holds the lock of the
/// folder's file "lock", which is how a later start tells a live run from one that was killed.
/// Returns the path with its trailing '/', or "" with the cause in `*error` when the program
/// folder cannot hold it.
std::string open_work_folder(const std::string& program_dir, std::string* error = nullptr);
/// The folder open_work_folder made in this process, "" when none.
std::string work_folder();
/// Removes this process's work folder with every file in it. Also done at exit; a process that
/// is killed leaves it to remove_stale_work_folders.
void close_work_folder();
/// Removes the work folders in `program_dir` whose process has ended, each with its files; a
/// live run's folder and every other entry stay. Returns the number removed.
int remove_stale_work_folders(const std::string& program_dir);

// ---- Random numbers ------------------------------------------------------------------------

/// The 15-bit generator the noise models assume: a linear congruential sequence with values
/// 0..32767 (RAND_MAX 32767), seeded with random_seed.
constexpr int random_max = 32767;
void random_seed(unsigned seed);
int random_next();

} // namespace sys
