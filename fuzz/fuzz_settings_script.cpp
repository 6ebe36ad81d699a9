// Fuzz target of the two small text readers a user hands the program: the settings file
// (read, then written back with the lines the program does not own) and the action script.
// The same bytes go to both.
#include "platform/ui/headless/script.h"
#include "shell/settings_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// One folder for the whole run, holding the settings file of each input.
const std::string& home() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/vd_fuzz_settings_XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (!made) std::abort();
        return std::string(made) + "/";
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::vector<headless::ParseError> errors;
    (void)headless::parse_script(text, errors);

    const std::string path = shell::settings_file_path(home());
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    shell::SettingsValues values;
    (void)shell::read_settings_file(home(), values);
    values.input += "/more";
    (void)shell::write_settings_file(home(), values);
    // What was written must read back without a complaint about its own values.
    shell::SettingsValues again;
    if (shell::read_settings_file(home(), again).find("cannot be used") != std::string::npos &&
        text.size() < (1u << 19))
        std::abort();
    return 0;
}
