// The settings file veldarin.ini in the program folder: two outside programs, the model-file
// pattern and the input and output folders, carried from one run to the next.
#pragma once

#include <string>

namespace shell {

/// The five values of the settings file.
struct SettingsValues {
    std::string paint;     ///< [programs] paint, default "pbrush.exe"
    std::string editor;    ///< [programs] editor, default "notepad.exe"
    std::string extension; ///< [files] extension: pattern of the model-file dialog, "*.mod"
    std::string input;     ///< [files] input: initial folder of the file dialogs
    std::string output;    ///< [files] output: output folder
};

/// Full path of the settings file: the program folder (with its trailing '/') + "veldarin.ini".
std::string settings_file_path(const std::string& program_dir);

/// Reads the settings file of `program_dir` into `values`. The paint, editor and extension
/// defaults are stored first; input and output keep what they hold, and an empty one takes the
/// program folder. When the file cannot be opened nothing more happens; otherwise every key is
/// read (cut to 254 characters), a missing or empty key giving its default (the program folder
/// for input and output).
void read_settings_file(const std::string& program_dir, SettingsValues& values);

/// Writes the settings file of `program_dir`, line by line: "[programs]", "paint=", "editor=",
/// "[files]", "extension=", "output=", "input=" (output before input); both folders end with a
/// '/', which is added when missing. Returns false, writing nothing, when the file cannot be
/// created.
bool write_settings_file(const std::string& program_dir, const SettingsValues& values);

} // namespace shell
