// veldarin-script: the program without a window, driven by an action script.
// Usage: veldarin-script --script FILE [--home DIR] [--transcript FILE]
#include "platform/sys/sys.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/ui.h"

#include <clocale>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

const char usage[] = "usage: veldarin-script --script FILE [--home DIR] [--transcript FILE]\n"
                     "       veldarin-script --batch MODEL.mod [--out DIR]\n"
                     "       veldarin-script --display --script FILE [--home DIR]\n";

// The application the script drives. Until the window program's start-up exists this is a
// stand-in: an empty menu, and every command beeps as an id that no command answers.
headless::AppHooks provisional_app() {
    headless::AppHooks hooks;
    hooks.start = [](const headless::StartSettings&) {
        ui::Handlers h;
        h.command = [](int) { ui::beep(); };
        ui::set_handlers(h);
        return true;
    };
    return hooks;
}

struct Options {
    std::string script, home, transcript, batch, out;
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
    if (!o.batch.empty() || o.display) {
        std::cerr << "veldarin-script: " << (o.display ? "--display" : "--batch")
                  << " is not available in this build\n";
        return headless::exit_failed;
    }
    if (o.script.empty()) {
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
    headless::RunOptions run;
    run.transcript_path = o.transcript;
    return headless::run_script(o.script, run, provisional_app());
}
