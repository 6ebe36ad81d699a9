// The settings file veldarin.ini in the program folder: two outside programs, the model-file
// pattern and the input and output folders, carried from one run to the next.
#pragma once

#include <cstddef>
#include <string>

namespace shell {

/// The default paint and editor program: the desktop's opener, which shows a file in the program
/// the user chose for its type.
constexpr const char* desktop_opener = "xdg-open";

/// The five values of the settings file.
struct SettingsValues {
    std::string paint;     ///< [programs] paint, default desktop_opener
    std::string editor;    ///< [programs] editor, default desktop_opener
    std::string extension; ///< [files] extension: pattern of the model-file dialog, "*.mod"
    std::string input;     ///< [files] input: initial folder of the file dialogs
    std::string output;    ///< [files] output: output folder
};

/// Full path of the settings file: the program folder (with its trailing '/') + "veldarin.ini".
std::string settings_file_path(const std::string& program_dir);

/// The longest value a key may hold (the callers' buffers less the terminating zero).
constexpr std::size_t settings_value_max = 254;

/// Reads the settings file of `program_dir` into `values`. The paint, editor and extension
/// defaults are stored first (a paint or editor program "pbrush.exe" or "notepad.exe", which
/// earlier builds wrote, reads as the default); input and output keep what they hold, and an empty
/// one takes the program folder. A missing file changes nothing more; otherwise every key is read,
/// a missing or empty key giving its default (the program folder for input and output). Returns ""
/// or a message for the user: a file that is not a regular file or is larger than 1 MB is not read
/// (nor opened, so a FIFO cannot hang the start), and a value longer than settings_value_max
/// is not cut but replaced by its default.
std::string read_settings_file(const std::string& program_dir, SettingsValues& values);

/// Writes the five values back into the settings file of `program_dir`, keeping every line,
/// section and comment that the program does not own. A new file gets, line by line:
/// "[programs]", "paint=", "editor=", "[files]", "extension=", "output=", "input=" (output
/// before input); in an existing file each key stays where it is and a missing one goes at the
/// end of its section. Both folders end with a '/', which is added when missing. The file is
/// saved whole or not at all. Returns "" or a message for the user: a value longer than
/// settings_value_max is not written (the file keeps its line), and a file that is unusable or
/// cannot be written is left as it was.
std::string write_settings_file(const std::string& program_dir, const SettingsValues& values);

} // namespace shell
