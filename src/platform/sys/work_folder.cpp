// The folder of this process's work files inside the program folder, and the removal of the
// folders of runs that are gone.
#include "platform/sys/owner_lock.h"
#include "platform/sys/sys.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace sys {

namespace detail {

Holder lock_holder(int dir_fd, const char* name, int* fd) {
    *fd = -1;
    const int f = ::openat(dir_fd, name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (f < 0) return errno == ENOENT ? Holder::missing : Holder::alive;
    struct stat st;
    if (::fstat(f, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(f, LOCK_EX | LOCK_NB) != 0) {
        ::close(f);
        return Holder::alive;
    }
    *fd = f;
    return Holder::gone;
}

bool hold_lock(int fd) {
    // Waits out a sweep of another process that holds the lock for the moment of its look.
    int r;
    while ((r = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    return r == 0;
}

} // namespace detail

namespace {

constexpr const char* lock_name = "lock";
// A folder that never got its lock file, or whose lock file is still empty (its process ended
// between making the file and taking its lock), is removed once it is this old. Until then an
// empty lock file may belong to a run that is about to take it.
constexpr std::time_t unlocked_folder_seconds = 60;

struct WorkFolder;
void close_folder(WorkFolder& w);

struct WorkFolder {
    std::mutex mutex;
    std::string program_dir, path; // path with its trailing '/'; empty: none
    int lock_fd = -1;
    pid_t owner = 0;
    // A run that ends through exit() still takes its folder along.
    ~WorkFolder() { close_folder(*this); }
};
WorkFolder& state() {
    static WorkFolder w;
    return w;
}

// "work.<digits>.<six letters or digits>": only names this program makes.
bool work_folder_name(const char* name) {
    if (std::strncmp(name, "work.", 5) != 0) return false;
    const char* p = name + 5;
    const char* digits = p;
    while (*p >= '0' && *p <= '9')
        ++p;
    if (p == digits || *p != '.') return false;
    const char* tail = ++p;
    while (std::isalnum(static_cast<unsigned char>(*p)))
        ++p;
    return *p == '\0' && p - tail == 6;
}

// Removes every file of the folder `name` in `parent_fd` (never a subfolder, never through a
// link), then the folder itself when that left it empty.
void remove_folder(int parent_fd, const char* name) {
    const int fd = ::openat(parent_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    if (DIR* d = ::fdopendir(fd)) {
        while (const dirent* e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                ::unlinkat(fd, e->d_name, 0);
        ::closedir(d); // closes fd
    } else {
        ::close(fd);
    }
    ::unlinkat(parent_fd, name, AT_REMOVEDIR);
}

// Whether the work folder `name` in `parent_fd` belongs to a run that is gone; when so it is
// removed.
void remove_if_stale(int parent_fd, const char* name) {
    const int fd = ::openat(parent_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    int lock_fd = -1;
    const detail::Holder holder = detail::lock_holder(fd, lock_name, &lock_fd);
    struct stat st;
    const bool old =
        ::fstat(fd, &st) == 0 && std::time(nullptr) - st.st_mtime >= unlocked_folder_seconds;
    ::close(fd);
    if (holder == detail::Holder::gone) {
        // The owner writes its lock file only once it holds the lock.
        const bool taken =
            ::fstat(lock_fd, &st) == 0 &&
            (st.st_size > 0 || std::time(nullptr) - st.st_ctime >= unlocked_folder_seconds);
        if (taken) remove_folder(parent_fd, name); // under the lock: no other sweep does it too
        ::close(lock_fd);
    } else if (holder == detail::Holder::missing && old) {
        ::unlinkat(parent_fd, name, AT_REMOVEDIR); // only when empty
    }
}

std::string with_trailing_slash(std::string dir) {
    if (dir.empty()) return "./";
    if (dir.back() != '/') dir += '/';
    return dir;
}

std::string cause(int code) {
    return std::error_code(code, std::generic_category()).message();
}

void close_folder(WorkFolder& w) {
    std::lock_guard<std::mutex> lock(w.mutex);
    // A forked child that did not start a work folder of its own leaves its parent's alone.
    if (w.path.empty() || w.owner != ::getpid()) return;
    std::string folder = w.path;
    folder.pop_back();
    const std::size_t slash = folder.rfind('/');
    const std::string parent = slash == std::string::npos ? "." : folder.substr(0, slash + 1);
    const int parent_fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent_fd >= 0) {
        remove_folder(parent_fd, folder.c_str() + (slash == std::string::npos ? 0 : slash + 1));
        ::close(parent_fd);
    }
    ::close(w.lock_fd);
    w.lock_fd = -1;
    w.path.clear();
    w.program_dir.clear();
}

} // namespace

int remove_stale_work_folders(const std::string& program_dir) {
    const int parent =
        ::open(program_dir.empty() ? "." : program_dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) return 0;
    std::vector<std::string> names;
    if (DIR* d = ::fdopendir(::dup(parent))) {
        while (const dirent* e = ::readdir(d))
            if (work_folder_name(e->d_name)) names.push_back(e->d_name);
        ::closedir(d);
    }
    const std::string own = work_folder();
    int removed = 0;
    for (const std::string& name : names) {
        if (!own.empty() && own == with_trailing_slash(program_dir) + name + "/") continue;
        remove_if_stale(parent, name.c_str());
        struct stat st;
        removed += ::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0;
    }
    ::close(parent);
    return removed;
}

std::string open_work_folder(const std::string& program_dir, std::string* error) {
    WorkFolder& w = state();
    const std::string dir = with_trailing_slash(program_dir);
    {
        std::lock_guard<std::mutex> lock(w.mutex);
        if (!w.path.empty() && w.owner == ::getpid() && w.program_dir == dir) return w.path;
    }
    close_work_folder();
    remove_stale_work_folders(dir);
    std::string pattern = dir + "work." + std::to_string(::getpid()) + ".XXXXXX";
    if (!::mkdtemp(&pattern[0])) {
        if (error) *error = cause(errno);
        return std::string();
    }
    const std::string lock_path = pattern + "/" + lock_name;
    // The lock file gets its first bytes (the process id) only under the lock: a sweep that
    // finds the lock of an empty file free has come between its making and its lock, and
    // leaves the folder to its run.
    const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const std::string pid = std::to_string(::getpid()) + "\n";
    int code = fd < 0 ? errno : 0;
    if (fd >= 0 && !detail::hold_lock(fd)) code = ENOLCK;
    errno = 0;
    if (code == 0 && ::write(fd, pid.data(), pid.size()) != ssize_t(pid.size()))
        code = errno != 0 ? errno : ENOSPC;
    if (code != 0) {
        if (fd >= 0) ::close(fd);
        ::unlink(lock_path.c_str());
        ::rmdir(pattern.c_str());
        if (error) *error = cause(code);
        return std::string();
    }
    std::lock_guard<std::mutex> lock(w.mutex);
    w.program_dir = dir;
    w.path = pattern + "/";
    w.lock_fd = fd;
    w.owner = ::getpid();
    return w.path;
}

std::string work_folder() {
    WorkFolder& w = state();
    std::lock_guard<std::mutex> lock(w.mutex);
    return w.owner == ::getpid() ? w.path : std::string();
}

void close_work_folder() {
    close_folder(state());
}

} // namespace sys
