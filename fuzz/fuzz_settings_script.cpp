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

// One folder for the whole run, holding the settings file of each input: in memory where the
// machine has /dev/shm, since every save is synced to its disk.
struct Home {
    std::string dir;
    Home() {
        char in_memory[] = "/dev/shm/vd_fuzz_settings_XXXXXX";
        char on_disk[] = "/tmp/vd_fuzz_settings_XXXXXX";
        const char* made = ::mkdtemp(in_memory);
        if (!made) made = ::mkdtemp(on_disk);
        if (!made) std::abort();
        dir = std::string(made) + "/";
    }
    ~Home() {
        std::remove(shell::settings_file_path(dir).c_str());
        ::rmdir(dir.c_str());
    }
};
const std::string& home() {
    static const Home made;
    return made.dir;
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
