// The settings-file format: "[section]" lines and "key=value" lines, names compared without
// regard to case, every other line kept as it is.
#include "platform/sys/sys.h"

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace sys {
namespace {

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

bool same_name(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

/// True when `line` is a section header; `name` gets the text between '[' and ']'.
bool section_of(const std::string& line, std::string& name) {
    std::string t = trim(line);
    if (t.empty() || t[0] != '[') return false;
    std::size_t close = t.find(']');
    name = trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

/// True when `line` is a "key=value" line; a line starting with ';' is a comment.
bool entry_of(const std::string& line, std::string& key, std::string& value) {
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = trim(line.substr(0, eq));
    if (!key.empty() && key[0] == ';') return false;
    value = trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return true;
}

/// The file's lines without their ends; `crlf` tells whether it used "\r\n". A missing file
/// gives no lines and true; an unusable one false, with the reason in `error`. The file is
/// opened without blocking, so that a FIFO in its place cannot hang the program.
bool read_lines(const std::string& path, std::vector<std::string>& lines, bool& crlf,
                std::string& error) {
    lines.clear();
    crlf = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        error = std::error_code(errno, std::generic_category()).message();
        return false;
    }
    struct stat st;
    std::string text;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        error = "it is not a regular file";
    else if (st.st_size > profile_max_bytes)
        error = "it is larger than 1 MB";
    else {
        // Read at most one byte past the limit: a file that grew since fstat is refused too.
        char buf[65536];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0 &&
               text.size() <= static_cast<std::size_t>(profile_max_bytes))
            text.append(buf, static_cast<std::size_t>(n));
        if (n < 0) error = std::error_code(errno, std::generic_category()).message();
        if (text.size() > static_cast<std::size_t>(profile_max_bytes))
            error = "it is larger than 1 MB";
    }
    ::close(fd);
    if (!error.empty()) return false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            crlf = true;
        }
        lines.push_back(line);
        start = end + 1;
    }
    return true;
}

bool has_line_break(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

} // namespace

std::string get_profile_string(const std::string& section, const std::string& key,
                               const std::string& default_value, const std::string& path,
                               std::size_t max_chars) {
    std::vector<std::string> lines;
    bool crlf;
    std::string error;
    std::string result = default_value;
    if (read_lines(path, lines, crlf, error)) {
        bool inside = false;
        std::string name, k, v;
        for (const std::string& line : lines) {
            if (section_of(line, name)) {
                inside = same_name(name, section);
            } else if (inside && entry_of(line, k, v) && same_name(k, key)) {
                result = v;
                break;
            }
        }
    }
    if (result.size() > max_chars) result.resize(max_chars);
    return result;
}

bool profile_file_usable(const std::string& path, std::string* error) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return true; // missing, or found wanting when opened
    std::string why;
    if (!S_ISREG(st.st_mode))
        why = "it is not a regular file";
    else if (st.st_size > profile_max_bytes)
        why = "it is larger than 1 MB";
    if (error) *error = why;
    return why.empty();
}

namespace {

bool entry_breaks_file(const ProfileEntry& e) {
    return e.section.empty() || e.key.empty() || has_line_break(e.section) ||
           has_line_break(e.key) || e.key.find('=') != std::string::npos || has_line_break(e.value);
}

// Sets one entry in the lines of a file.
void set_entry(std::vector<std::string>& lines, const ProfileEntry& e) {
    // Find the section, the key inside it, and the last non-blank line of the section.
    std::size_t sect = lines.size(), found = lines.size(), last = lines.size();
    std::string name, k, v;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (section_of(lines[i], name)) {
            if (sect != lines.size()) break;
            if (same_name(name, e.section)) sect = last = i;
        } else if (sect != lines.size()) {
            if (!trim(lines[i]).empty()) last = i;
            if (entry_of(lines[i], k, v) && same_name(k, e.key)) {
                found = i;
                break;
            }
        }
    }
    if (found != lines.size())
        lines[found] = k + "=" + e.value;
    else if (sect != lines.size())
        lines.insert(lines.begin() + static_cast<long>(last) + 1, e.key + "=" + e.value);
    else {
        lines.push_back("[" + e.section + "]");
        lines.push_back(e.key + "=" + e.value);
    }
}

} // namespace

bool write_profile_strings(const std::vector<ProfileEntry>& entries, const std::string& path,
                           std::string* error) {
    std::string why;
    for (const ProfileEntry& e : entries)
        if (entry_breaks_file(e)) why = "the entry " + e.key + " would break the file's lines";
    std::vector<std::string> lines;
    bool crlf = false;
    if (why.empty()) read_lines(path, lines, crlf, why);
    if (!why.empty()) {
        if (error) *error = why;
        return false;
    }
    for (const ProfileEntry& e : entries)
        set_entry(lines, e);
    std::string text;
    const char* eol = crlf ? "\r\n" : "\n";
    for (const std::string& line : lines)
        text += line + eol;
    return save_file(path, text, error);
}

bool write_profile_string(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& path) {
    return write_profile_strings({{section, key, value}}, path);
}

} // namespace sys
