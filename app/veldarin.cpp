// veldarin: the interactive window program. Takes no arguments; opens the main window over
// the whole screen with its menu and runs until the window is closed.
#include "platform/ui/fltk/fltk_backend.h"
#include "platform/ui/ui.h"
#include "shell/main_window.h"

#include <clocale>
#include <cstdio>

int main(int argc, char** argv) {
    (void)argv;
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C"); // numbers are read and written with a dot
    if (argc > 1) {
        std::fprintf(stderr, "veldarin takes no arguments; it opens the program's window.\n"
                             "For scripted runs use veldarin-script.\n");
        return 2;
    }
    if (!ui::display_available()) {
        std::fprintf(stderr, "veldarin: no display to open the window on (is DISPLAY set?)\n");
        return 1;
    }
    ui::FltkBackend window;
    ui::install_backend(&window);
    window.show_maximised();
    int status = 0;
    if (shell::start_program(shell::this_machine()))
        window.run();
    else
        status = 1;
    shell::end_program();
    ui::install_backend(nullptr);
    return status;
}
