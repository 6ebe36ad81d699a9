// veldarin-script: the program without a window, driven by an action script.
// Usage: veldarin-script [--display] --script FILE [--home DIR] [--transcript FILE]
#include "batch.h"
#include "model/globals.h"
#include "optimise/optimise.h"
#include "platform/sys/sys.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/ui.h"
#include "shell/main_window.h"
#ifdef VELDARIN_HAVE_FLTK
#include "platform/ui/fltk/fltk_backend.h"
#endif

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

const char usage[] =
    "usage: veldarin-script --script FILE [--home DIR] [--transcript FILE]\n"
    "       veldarin-script --batch MODEL.mod [--out DIR] [--home DIR]\n"
    "       veldarin-script --display --script FILE [--home DIR] [--transcript FILE]\n"
    "                       [--hold SECONDS]   (each message box stays shown)\n";

// The window program the script drives: start-up, menu and command dispatch of the shell.
headless::AppHooks window_program() {
    headless::AppHooks hooks;
    hooks.start = [](const headless::StartSettings& s) {
        shell::Machine m;
        m.screen_width = s.screen_width;
        m.screen_height = s.screen_height;
        m.memory_bytes = static_cast<std::uint64_t>(s.memory_mib) << 20;
        return shell::start_program(m);
    };
    hooks.optimise = [] { optimise_command(Modelresolution); };
    return hooks;
}

struct Options {
    std::string script, home, transcript, batch, out, hold = "1";
    bool display = false;
};

// False (after a message) when the arguments are not a valid call.
bool parse_options(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string* value = nullptr;
        if (arg == "--script")
            value = &o.script;
        else if (arg == "--home")
            value = &o.home;
        else if (arg == "--transcript")
            value = &o.transcript;
        else if (arg == "--batch")
            value = &o.batch;
        else if (arg == "--out")
            value = &o.out;
        else if (arg == "--hold")
            value = &o.hold;
        else if (arg == "--display") {
            o.display = true;
            continue;
        } else {
            std::cerr << "veldarin-script: unknown argument '" << arg << "'\n" << usage;
            return false;
        }
        if (i + 1 >= argc) {
            std::cerr << "veldarin-script: " << arg << " needs a value\n" << usage;
            return false;
        }
        *value = argv[++i];
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C"); // numbers are read and written with a dot
    Options o;
    if (!parse_options(argc, argv, o)) return headless::exit_failed;
    if (o.script.empty() == o.batch.empty()) {
        std::cerr << usage;
        return headless::exit_failed;
    }
    if (!o.home.empty()) {
        std::error_code ec;
        std::filesystem::path home = std::filesystem::absolute(o.home, ec);
        if (ec || !std::filesystem::is_directory(home, ec)) {
            std::cerr << "veldarin-script: --home " << o.home << " is not a folder\n";
            return headless::exit_failed;
        }
        sys::set_program_dir(home.string());
    }
    if (!o.batch.empty()) return batch::run(o.batch, o.out);
    headless::RunOptions run;
    run.transcript_path = o.transcript;
    if (!o.display) {
        const int status = headless::run_script(o.script, run, window_program());
        shell::end_program();
        return status;
    }
#ifdef VELDARIN_HAVE_FLTK
    // The same script on the real window: what the program draws is shown, the script still
    // answers every question, and each message box stays on the display for a while.
    char* end = nullptr;
    const double hold = std::strtod(o.hold.c_str(), &end);
    if (end == o.hold.c_str() || *end != '\0' || !(hold >= 0 && hold <= 600)) {
        std::cerr << "veldarin-script: --hold needs a number of seconds from 0 to 600\n";
        return headless::exit_failed;
    }
    if (!ui::display_available()) {
        std::cerr << "veldarin-script: --display: no display to open the window on\n";
        return headless::exit_failed;
    }
    ui::FltkBackend window;
    window.show_maximised();
    run.wrap_backend = [&window, hold](ui::Backend& script) {
        return ui::make_display_backend(script, window, hold);
    };
    const int status = headless::run_script(o.script, run, window_program());
    shell::end_program();
    return status;
#else
    std::cerr << "veldarin-script: --display needs the FLTK window, which this build lacks\n";
    return headless::exit_failed;
#endif
}
