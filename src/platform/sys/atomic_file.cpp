// Files saved whole or not at all: a temporary file beside the target, renamed over it only
// when every byte, the sync and the close succeeded. Where the file system can, the temporary
// file has no name until it is complete, so a process killed while saving leaves nothing;
// elsewhere each save removes the temporary files in its folder whose writer is gone.
#include "platform/sys/owner_lock.h"
#include "platform/sys/sys.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace sys {
namespace {

std::atomic<long long> failure_after{-1};
std::atomic<int> failure_code{ENOSPC};
std::atomic<bool> unnamed_allowed{true};

// Temporary files are ".NAME" + temp_marker + six letters or digits.
constexpr const char* temp_marker = ".veldarin.";
constexpr std::size_t temp_marker_size = 10;
// An empty temporary file with a free lock may be one whose writer has not taken the lock yet;
// it is removed only when it is this old.
constexpr std::time_t empty_temp_seconds = 10;

std::string cause(int code) {
    return std::error_code(code, std::generic_category()).message();
}

// The temporary files this process is writing now: a sweep never takes them, whatever the
// file system's locks say about a second open file of the same process.
struct LiveTemps {
    std::mutex mutex;
    std::set<std::string> paths;
};
LiveTemps& live_temps() {
    static LiveTemps l;
    return l;
}
void add_live(const std::string& path) {
    std::lock_guard<std::mutex> lock(live_temps().mutex);
    live_temps().paths.insert(path);
}
void drop_live(const std::string& path) {
    std::lock_guard<std::mutex> lock(live_temps().mutex);
    live_temps().paths.erase(path);
}
bool is_live(const std::string& path) {
    std::lock_guard<std::mutex> lock(live_temps().mutex);
    return live_temps().paths.count(path) > 0;
}

bool temp_name(const char* name) {
    const std::size_t n = std::strlen(name);
    if (name[0] != '.' || n < 2 + temp_marker_size + 6) return false;
    const char* tail = name + n - 6 - temp_marker_size;
    if (std::strncmp(tail, temp_marker, temp_marker_size) != 0) return false;
    for (const char* p = tail + temp_marker_size; *p; ++p)
        if (!std::isalnum(static_cast<unsigned char>(*p))) return false;
    return true;
}

// Removes the temporary files in `folder` whose writer is gone: its lock is free, and the file
// holds bytes (the writer takes the lock before its first byte) or has been empty a while.
void remove_abandoned_temps(const std::string& folder) {
    const int dir_fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0) return;
    std::vector<std::string> names;
    if (DIR* d = ::fdopendir(::dup(dir_fd))) {
        while (const dirent* e = ::readdir(d))
            if (temp_name(e->d_name)) names.push_back(e->d_name);
        ::closedir(d);
    }
    for (const std::string& name : names) {
        if (is_live(folder + name)) continue;
        int fd = -1;
        if (detail::lock_holder(dir_fd, name.c_str(), &fd) != detail::Holder::gone) continue;
        struct stat st;
        if (::fstat(fd, &st) == 0 &&
            (st.st_size > 0 || std::time(nullptr) - st.st_ctime >= empty_temp_seconds))
            ::unlinkat(dir_fd, name.c_str(), 0);
        ::close(fd);
    }
    ::close(dir_fd);
}

// The file a save really replaces: the end of a chain of symbolic links, else `path` itself.
std::string resolved_target(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return path; // a dangling link: the save then replaces the link itself
    std::string resolved(real);
    std::free(real);
    return resolved;
}

// Permission bits for the new file: those of the file it replaces, else 0666 less the umask.
mode_t new_file_mode(const std::string& target) {
    struct stat st;
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// An unnamed file in `folder`, or -1 where the file system (or a missing /proc, through which
// it is linked in) does not allow one.
int unnamed_file(const std::string& folder) {
    if (!unnamed_allowed || ::access("/proc/self/fd", X_OK) != 0) return -1;
    return ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

// Six random letters and digits.
std::string random_tail() {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::string tail(6, 'A');
    for (char& c : tail)
        c = letters[generator() % (sizeof letters - 1)];
    return tail;
}

} // namespace

void set_save_failure(long long bytes, int code) {
    failure_code = code;
    failure_after = bytes;
}

void set_unnamed_temp_files(bool allowed) {
    unnamed_allowed = allowed;
}

AtomicFile::AtomicFile(const std::string& path, Durability durability)
    : target_(resolved_target(path)), synced_(durability == Durability::synced) {
    const std::size_t slash = target_.rfind('/');
    folder_ = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (name.empty()) {
        error_ = cause(EISDIR);
        return;
    }
    remove_abandoned_temps(folder_);
    // A name near the system's limit must still leave room for the temporary file's suffix.
    if (name.size() > 200) name.resize(200);
    temp_stem_ = folder_ + "." + name + temp_marker;
    fd_ = unnamed_file(folder_);
    if (fd_ < 0) {
        std::string pattern = temp_stem_ + "XXXXXX";
        fd_ = ::mkostemp(&pattern[0], O_CLOEXEC);
        if (fd_ < 0) {
            error_ = cause(errno);
            return;
        }
        temp_ = pattern;
        add_live(temp_);
    }
    // The lock marks the file as its writer's while the writer lives. It is held through an
    // open file of its own, so that it lasts past the checked close until the rename.
    const std::string lock_path = temp_.empty() ? "/proc/self/fd/" + std::to_string(fd_) : temp_;
    lock_fd_ = ::open(lock_path.c_str(), O_RDWR | O_CLOEXEC);
    if (lock_fd_ >= 0) detail::hold_lock(lock_fd_);
    ::fchmod(fd_, new_file_mode(target_));
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) ::close(fd_);
    release(!committed_);
}

void AtomicFile::release(bool remove) {
    if (!temp_.empty()) {
        if (remove) ::unlink(temp_.c_str());
        drop_live(temp_);
        temp_.clear();
    }
    if (lock_fd_ >= 0) ::close(lock_fd_);
    lock_fd_ = -1;
}

void AtomicFile::fail(int code) {
    if (error_.empty()) error_ = cause(code);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    release(true);
}

bool AtomicFile::write(const void* data, std::size_t size) {
    if (fd_ < 0) return false;
    const char* p = static_cast<const char*>(data);
    std::size_t allowed = size;
    const long long limit = failure_after;
    if (limit >= 0 && written_ + static_cast<long long>(size) > limit)
        allowed = static_cast<std::size_t>(limit > written_ ? limit - written_ : 0);
    std::size_t done = 0;
    while (done < allowed) {
        const ssize_t n = ::write(fd_, p + done, allowed - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fail(n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    written_ += static_cast<long long>(done);
    if (done < size) {
        fail(failure_code);
        return false;
    }
    return true;
}

bool AtomicFile::link_unnamed() {
    const std::string fd_path = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temp_stem_ + random_tail();
        add_live(name);
        if (::linkat(AT_FDCWD, fd_path.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temp_ = name;
            return true;
        }
        const int code = errno;
        drop_live(name);
        if (code != EEXIST) {
            fail(code);
            return false;
        }
    }
    fail(EEXIST);
    return false;
}

bool AtomicFile::commit() {
    if (committed_) return true;
    if (fd_ < 0) return false;
    if (synced_ && ::fsync(fd_) != 0 && errno != EINVAL) { // EINVAL: a file system without sync
        fail(errno);
        return false;
    }
    // The unnamed file gets a temporary name only now, complete, for the rename that replaces
    // the target in one step.
    if (temp_.empty() && !link_unnamed()) return false;
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) {
        fail(errno);
        return false;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        fail(errno);
        return false;
    }
    release(false);
    committed_ = true;
    return true;
}

bool save_file(const std::string& path, const void* data, std::size_t size, std::string* error) {
    AtomicFile out(path);
    const bool ok = out.write(data, size) && out.commit();
    if (error) *error = out.error();
    return ok;
}

} // namespace sys
