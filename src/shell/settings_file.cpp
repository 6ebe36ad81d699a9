// Reading and writing of veldarin.ini.
#include "shell/settings_file.h"

#include "platform/sys/sys.h"

#include <cstdio>

namespace shell {

namespace {

std::string with_trailing_separator(const std::string& folder) {
    if (!folder.empty() && folder.back() == '/') return folder;
    return folder + "/";
}

std::string folder_or_default(const std::string& value, const std::string& program_dir) {
    return value.empty() ? program_dir : value;
}

} // namespace

std::string settings_file_path(const std::string& program_dir) {
    return with_trailing_separator(program_dir) + "veldarin.ini";
}

void read_settings_file(const std::string& program_dir, SettingsValues& values) {
    values.paint = "pbrush.exe";
    values.editor = "notepad.exe";
    values.extension = "*.mod";
    // Without a file the folders would stay empty and be written back as a bare separator.
    values.input = folder_or_default(values.input, program_dir);
    values.output = folder_or_default(values.output, program_dir);

    const std::string path = settings_file_path(program_dir);
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (!probe) return;
    std::fclose(probe);

    values.paint = sys::get_profile_string("programs", "paint", "pbrush.exe", path);
    values.editor = sys::get_profile_string("programs", "editor", "notepad.exe", path);
    values.extension = sys::get_profile_string("files", "extension", "*.mod", path);
    values.input = folder_or_default(sys::get_profile_string("files", "input", program_dir, path),
                                     program_dir);
    values.output = folder_or_default(sys::get_profile_string("files", "output", program_dir, path),
                                      program_dir);
}

bool write_settings_file(const std::string& program_dir, const SettingsValues& values) {
    const std::string path = settings_file_path(program_dir);
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    std::fprintf(f, "[programs]\n");
    std::fprintf(f, "paint=%s\n", values.paint.c_str());
    std::fprintf(f, "editor=%s\n", values.editor.c_str());
    std::fprintf(f, "[files]\n");
    std::fprintf(f, "extension=%s\n", values.extension.c_str());
    std::fprintf(f, "output=%s\n", with_trailing_separator(values.output).c_str());
    std::fprintf(f, "input=%s\n", with_trailing_separator(values.input).c_str());
    return std::fclose(f) == 0;
}

} // namespace shell
