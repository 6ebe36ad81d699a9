// The settings-file format: "[section]" lines and "key=value" lines, names compared without
// regard to case, every other line kept as it is.
#include "platform/sys/sys.h"

#include <cctype>
#include <cstdio>
#include <fstream>

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

/// The file's lines without their ends; `crlf` tells whether it used "\r\n".
bool read_lines(const std::string& path, std::vector<std::string>& lines, bool& crlf) {
    lines.clear();
    crlf = false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            crlf = true;
        }
        lines.push_back(line);
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
    std::string result = default_value;
    if (read_lines(path, lines, crlf)) {
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

bool write_profile_string(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& path) {
    // A line break or '=' in a name, or a line break in the value, would change the file's
    // structure; such writes are refused.
    if (section.empty() || key.empty() || has_line_break(section) || has_line_break(key) ||
        key.find('=') != std::string::npos || has_line_break(value))
        return false;
    std::vector<std::string> lines;
    bool crlf;
    read_lines(path, lines, crlf);

    // Find the section, the key inside it, and the last non-blank line of the section.
    std::size_t sect = lines.size(), found = lines.size(), last = lines.size();
    std::string name, k, v;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (section_of(lines[i], name)) {
            if (sect != lines.size()) break;
            if (same_name(name, section)) sect = last = i;
        } else if (sect != lines.size()) {
            if (!trim(lines[i]).empty()) last = i;
            if (entry_of(lines[i], k, v) && same_name(k, key)) {
                found = i;
                break;
            }
        }
    }
    if (found != lines.size())
        lines[found] = k + "=" + value;
    else if (sect != lines.size())
        lines.insert(lines.begin() + static_cast<long>(last) + 1, key + "=" + value);
    else {
        lines.push_back("[" + section + "]");
        lines.push_back(key + "=" + value);
    }

    // Write beside the file and rename, so a failed write leaves the old file whole.
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        const char* eol = crlf ? "\r\n" : "\n";
        for (const std::string& line : lines)
            out << line << eol;
        out.flush();
        if (!out) {
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace sys
