// Reading and writing of veldarin.ini.
#include "shell/settings_file.h"

#include "platform/sys/sys.h"

namespace shell {

namespace {

std::string with_trailing_separator(const std::string& folder) {
    if (!folder.empty() && folder.back() == '/') return folder;
    return folder + "/";
}

// Paint and editor programs of files written by earlier builds, which this system does not have.
std::string program_or_default(const std::string& value) {
    return value == "pbrush.exe" || value == "notepad.exe" ? desktop_opener : value;
}

std::string folder_or_default(const std::string& value, const std::string& program_dir) {
    return value.empty() ? program_dir : value;
}

// The value of one key, or its default after a note in `problems` when it does not fit its
// field (a cut value would name another program or folder).
std::string value_of(const char* section, const char* key, const std::string& default_value,
                     const std::string& path, std::string& problems) {
    std::string v = sys::get_profile_string(section, key, default_value, path, std::string::npos);
    if (v.size() <= settings_value_max) return v;
    problems += "The value of " + std::string(key) + " is longer than " +
                std::to_string(settings_value_max) + " characters; the default is used.\n";
    return default_value;
}

} // namespace

std::string settings_file_path(const std::string& program_dir) {
    return with_trailing_separator(program_dir) + "veldarin.ini";
}

std::string read_settings_file(const std::string& program_dir, SettingsValues& values) {
    values.paint = desktop_opener;
    values.editor = desktop_opener;
    values.extension = "*.mod";
    // Without a file the folders would stay empty and be written back as a bare separator.
    values.input = folder_or_default(values.input, program_dir);
    values.output = folder_or_default(values.output, program_dir);

    const std::string path = settings_file_path(program_dir);
    std::string why;
    if (!sys::profile_file_usable(path, &why))
        return "The settings file\n" + path + "\ncannot be used: " + why +
               ".\nThe default settings are used and the file is left as it is.";
    if (!sys::file_exists(path)) return "";

    std::string problems;
    values.paint =
        program_or_default(value_of("programs", "paint", desktop_opener, path, problems));
    values.editor =
        program_or_default(value_of("programs", "editor", desktop_opener, path, problems));
    values.extension = value_of("files", "extension", "*.mod", path, problems);
    values.input =
        folder_or_default(value_of("files", "input", program_dir, path, problems), program_dir);
    values.output =
        folder_or_default(value_of("files", "output", program_dir, path, problems), program_dir);
    return problems.empty() ? "" : "The settings file\n" + path + "\n" + problems;
}

std::string write_settings_file(const std::string& program_dir, const SettingsValues& values) {
    const std::string path = settings_file_path(program_dir);
    const std::vector<sys::ProfileEntry> all = {
        {"programs", "paint", values.paint},
        {"programs", "editor", values.editor},
        {"files", "extension", values.extension},
        {"files", "output", with_trailing_separator(values.output)},
        {"files", "input", with_trailing_separator(values.input)}};
    std::vector<sys::ProfileEntry> entries;
    std::string refused;
    for (const sys::ProfileEntry& e : all) {
        if (e.value.size() <= settings_value_max)
            entries.push_back(e);
        else
            refused += "The value of " + e.key + " is longer than " +
                       std::to_string(settings_value_max) + " characters and is not written.\n";
    }
    std::string why;
    if (!sys::write_profile_strings(entries, path, &why))
        return "The settings file\n" + path + "\ncannot be written: " + why + ".";
    return refused.empty() ? "" : "The settings file\n" + path + "\n" + refused;
}

} // namespace shell
