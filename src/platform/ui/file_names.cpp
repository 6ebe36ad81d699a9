// The names of a file dialog, the same for every backend: the folder, filter and proposed name
// of a request, the path a typed entry names, and the list of a folder.
#include "platform/ui/ui.h"

#include "platform/sys/sys.h"

#include <algorithm>
#include <filesystem>
#include <fnmatch.h>

namespace ui {

namespace {

std::string absolute_folder(const std::string& folder) {
    std::string base = sys::current_dir();
    if (!folder.empty()) base = folder[0] == '/' ? folder : base + "/" + folder;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base.empty() ? std::string("/") : base;
}

bool has_wildcard(const std::string& name) {
    return name.find_first_of("*?[") != std::string::npos;
}

} // namespace

FileRequest file_request(FileDialogKind kind, const std::string& file, const std::string& title,
                         const std::string& initial_dir) {
    FileRequest r;
    r.kind = kind;
    r.title = title;
    std::string name = file;
    std::string folder = initial_dir;
    const std::size_t cut = file.rfind('/');
    if (cut != std::string::npos) {
        folder = cut == 0 ? "/" : file.substr(0, cut);
        name = file.substr(cut + 1);
    }
    r.folder = absolute_folder(folder);
    if (name.empty() || has_wildcard(name)) {
        r.filter = name.empty() ? "*" : name;
        return r;
    }
    r.name = name;
    const std::size_t dot = name.rfind('.');
    r.filter = dot == std::string::npos || dot == 0 ? "*" : "*" + name.substr(dot);
    return r;
}

std::string typed_path(const std::string& folder, const std::string& typed) {
    if (typed.find_first_not_of(" \t") == std::string::npos) return "";
    if (typed[0] == '/') return typed;
    const std::string base = absolute_folder(folder);
    return base == "/" ? "/" + typed : base + "/" + typed;
}

std::string with_filter_extension(const std::string& path, const std::string& filter) {
    const std::string extension =
        filter.size() > 2 && filter.compare(0, 2, "*.") == 0 ? filter.substr(1) : std::string();
    if (extension.empty() || has_wildcard(extension.substr(1))) return path;
    const std::size_t cut = path.rfind('/');
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    // A leading dot is a hidden file's mark, not an extension.
    if (name.empty() || name.find('.', 1) != std::string::npos) return path;
    return path + extension;
}

std::vector<std::string> folder_listing(const std::string& folder, const std::string& filter) {
    namespace fs = std::filesystem;
    std::vector<std::string> folders, files;
    std::error_code ec;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec) return {};
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code kind;
        if (entry.is_directory(kind))
            folders.push_back(name + "/");
        else if (fnmatch(filter.c_str(), name.c_str(), FNM_PERIOD) == 0)
            files.push_back(name);
    }
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
    std::vector<std::string> list;
    if (absolute_folder(folder) != "/") list.push_back("../");
    list.insert(list.end(), folders.begin(), folders.end());
    list.insert(list.end(), files.begin(), files.end());
    return list;
}

} // namespace ui
