// Files, whole-file reads, the program folder and the current directory.
#include "platform/sys/sys.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace sys {

bool read_whole_file(const std::string& path, std::vector<char>& bytes) {
    bytes.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        bytes.clear();
        return false;
    }
    return true;
}

bool file_exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

long long file_size(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}

bool delete_file(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool rename_file(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

namespace {
std::atomic<long long> free_disk_override{-1};
} // namespace

long long free_disk_bytes(const std::string& folder) {
    const long long forced = free_disk_override.load();
    if (forced >= 0) return forced;
    struct statvfs info;
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &info) != 0) return -1;
    return static_cast<long long>(info.f_bavail) * static_cast<long long>(info.f_frsize);
}

void set_free_disk_override(long long bytes) {
    free_disk_override.store(bytes < 0 ? -1 : bytes);
}

namespace {
std::mutex dir_mutex;
std::string program_dir_override; // set by set_program_dir; empty = none

std::string with_slash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

} // namespace

std::string executable_dir() {
    std::string buf(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", &buf[0], buf.size() - 1);
    if (n <= 0) return "./";
    buf.resize(static_cast<std::size_t>(n));
    std::size_t cut = buf.rfind('/');
    return cut == std::string::npos ? "./" : buf.substr(0, cut + 1);
}

std::string program_dir() {
    {
        std::lock_guard<std::mutex> lock(dir_mutex);
        if (!program_dir_override.empty()) return program_dir_override;
    }
    const char* home = std::getenv("VELDARIN_HOME");
    if (home && *home) return with_slash(home);
    return executable_dir();
}

void set_program_dir(const std::string& dir) {
    std::lock_guard<std::mutex> lock(dir_mutex);
    program_dir_override = dir.empty() ? std::string() : with_slash(dir);
}

std::string current_dir() {
    std::string buf(4096, '\0');
    if (!::getcwd(&buf[0], buf.size())) return std::string();
    buf.resize(std::char_traits<char>::length(buf.c_str()));
    return buf;
}

bool set_current_dir(const std::string& dir) {
    return ::chdir(dir.c_str()) == 0;
}

std::string file_title(const std::string& path) {
    std::size_t cut = path.rfind('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

} // namespace sys
