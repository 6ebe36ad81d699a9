// Files saved whole or not at all: a temporary file beside the target, renamed over it only
// when every byte, the sync and the close succeeded.
#include "platform/sys/sys.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace sys {
namespace {

std::atomic<long long> failure_after{-1};
std::atomic<int> failure_code{ENOSPC};

std::string cause(int code) {
    return std::error_code(code, std::generic_category()).message();
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

} // namespace

void set_save_failure(long long bytes, int code) {
    failure_code = code;
    failure_after = bytes;
}

AtomicFile::AtomicFile(const std::string& path) : target_(resolved_target(path)) {
    const std::size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (name.empty()) {
        error_ = cause(EISDIR);
        return;
    }
    // A name near the system's limit must still leave room for the temporary file's suffix.
    if (name.size() > 200) name.resize(200);
    std::string pattern = folder + "." + name + ".XXXXXX";
    fd_ = ::mkstemp(&pattern[0]);
    if (fd_ < 0) {
        error_ = cause(errno);
        return;
    }
    temp_ = pattern;
    ::fchmod(fd_, new_file_mode(target_));
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

void AtomicFile::fail(int code) {
    if (error_.empty()) error_ = cause(code);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
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

bool AtomicFile::commit() {
    if (committed_) return true;
    if (fd_ < 0) return false;
    if (::fsync(fd_) != 0 && errno != EINVAL) { // EINVAL: a file system without sync
        fail(errno);
        return false;
    }
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
