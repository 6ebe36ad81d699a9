// Start-up of the window program (window creation), the main window's event handlers, the
// close sequence and the end of the program.
#include "shell/main_window.h"

#include "display/bitmap.h"
#include "display/layout.h"
#include "forward/commands.h"
#include "model/globals.h"
#include "model/services.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"
#include "shell/child_windows.h"
#include "shell/cpu.h"
#include "shell/dispatch.h"
#include "shell/limits.h"
#include "shell/menu.h"
#include "shell/paint.h"
#include "shell/settings_file.h"
#include "shell/text_buffer.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

MainViewState Mainviewstate;

namespace shell {

namespace {

std::unique_ptr<gfx::Canvas> off_screen;
gfx::Canvas empty_canvas;

void install_handlers() {
    ui::Handlers h;
    h.command = main_window_command;
    h.popup_opening = remove_popup_items;
    h.key = char_key_handler;
    h.mouse_down = [](ui::MouseButton button, int x, int y) {
        if (button == ui::MouseButton::left) left_button_handler(x, y);
        if (button == ui::MouseButton::right) right_button_handler(x, y);
    };
    h.mouse_move = mouse_move_handler;
    h.child_mouse_down = [](ui::Child child, ui::MouseButton button, int, int) {
        if (child == ui::Child::next && button == ui::MouseButton::left) next_window_click();
    };
    h.scroll = [](ui::Bar bar, ui::ScrollCode code, int pos) {
        if (bar == ui::Bar::horizontal)
            hscroll_handler(code, pos);
        else
            vscroll_handler(code, pos);
    };
    h.paint = paint_main_window;
    h.paint_status = StatusChildProc;
    h.paint_next = NextChildProc;
    h.closes = [](int id) { return id == cmd::exit_program || id == cmd::quit_program; };
    h.may_close = may_close_main_window;
    h.close = close_main_window;
    ui::set_handlers(h);
}

// The system's version line; the program runs on any version of it.
void set_system_version() {
    const sys::OsVersion os = sys::os_version();
    std::snprintf(Systemsettings.windows_version_text, sizeof Systemsettings.windows_version_text,
                  "%s Version %d.%d", os.name.empty() ? "Linux" : os.name.c_str(), os.major,
                  os.minor);
    Systemsettings.windows_version = 4;
}

// The off-screen canvas grows to hold whatever is drawn on it, as far as eight times its base
// size each way and in area (beyond that a picture is cut, as on a fixed canvas).
constexpr int most_canvas_factor = 8;

// Off-screen canvas of 5/4 the screen in each direction, white, growing to hold what is drawn
// (ProgDisplay's canvas size follows it, and the next paint the scroll ranges), the scroll
// ranges of the client area over it, and the 256-colour table.
void create_canvas(const Machine& machine) {
    Progdisplay.screen_width = machine.screen_width;
    Progdisplay.canvas_width = machine.screen_width * 5 / 4;
    Progdisplay.canvas_height = machine.screen_height * 5 / 4;
    const ui::Size client = ui::client_size();
    ui::set_scroll(ui::Bar::horizontal, 0, std::max(0, Progdisplay.canvas_width - client.width), 0,
                   0);
    ui::set_scroll(ui::Bar::vertical, 0, std::max(0, Progdisplay.canvas_height - client.height), 0,
                   0);
    if (off_screen) ui::stop_watching(*off_screen);
    off_screen = std::make_unique<gfx::Canvas>(Progdisplay.canvas_width, Progdisplay.canvas_height);
    gfx::Canvas::Growth growth;
    growth.base = {Progdisplay.canvas_width, Progdisplay.canvas_height};
    growth.most = {most_canvas_factor * growth.base.cx, most_canvas_factor * growth.base.cy};
    growth.most_pixels = (long long)most_canvas_factor * growth.base.cx * growth.base.cy;
    off_screen->set_growth(growth);
    off_screen->set_resize_observer([](int width, int height) {
        Progdisplay.canvas_width = width;
        Progdisplay.canvas_height = height;
        ui::invalidate();
    });
    ui::watch_canvas(*off_screen);
    set_palette256(Progdisplay.palette256);
    Progdisplay.canvas_dc = off_screen.get();
    Progdisplay.canvas_bitmap = off_screen.get();
    Progdisplay.display_width = machine.screen_width; // the screen's resolution
    Progdisplay.display_height = machine.screen_height;
}

// Vendor, SIMD level and L2 cache; the descriptor bytes stand in when no size is reported.
void set_processor_information() {
    unsigned char descriptors[16] = {};
    ::cpu_info(Proglim.cpu_vendor, &Proglim.simd_level, &Proglim.l2_cache_kb, descriptors);
    if (Proglim.l2_cache_kb == 0) Proglim.l2_cache_kb = l2_cache_from_descriptors(descriptors);
}

// Folders and file paths in the program folder, which also becomes the current folder. The
// work files go into a folder of this run's own inside it, so that runs sharing the program
// folder never meet in each other's files; a program folder that cannot hold one keeps them
// itself.
void set_program_paths() {
    const std::string dir = Systemsettings.program_dir;
    sys::set_current_dir(dir);
    copy_text(Systemsettings.initial_dir, dir);
    std::string work = sys::open_work_folder(dir);
    if (work.empty()) work = dir;
    copy_text(Systemsettings.work_dir, work);
    copy_text(Systemsettings.output_dir, dir);
    copy_text(Systemsettings.pcx_path, dir + "temp.pcx");
    copy_text(Systemsettings.bmp_path, dir + "temp.bmp");
    copy_text(Systemsettings.windows_dir, desktop_opener);
    copy_text(Printtrace.file_name, dir + "kwoptrace.txt");
    Printtrace.active = 0;
    file_dialog_init();
    model::set_work_file_paths(Modelsettings, Modelresolution, work, dir);
}

} // namespace

Machine this_machine() {
    Machine m;
    const ui::Size screen = ui::screen_size();
    if (screen.width > 0 && screen.height > 0) {
        m.screen_width = screen.width;
        m.screen_height = screen.height;
    }
    m.memory_bytes = sys::physical_memory_bytes();
    return m;
}

int create_main_window(const Machine& machine) {
    set_system_version();
    create_canvas(machine);
    set_program_limits(Proglim, machine.widest_limits ? widest_tier_width : machine.screen_width,
                       machine.memory_bytes);
    set_processor_information();
    if (model::allocate_model_arrays(Modelsettings, Potentialtables, Proglim) != 0) return 1;
    set_layout_fractions(Modelsettings.layout_fractions);
    set_program_paths();
    Mainviewstate.view_code = -1;
    Mainviewstate.view_detail = 0;
    return 0;
}

bool start_program(const Machine& machine) {
    if (!model::globals_alive() && init_globals() != 0) return false;
    copy_text(Systemsettings.program_dir, sys::program_dir());
    release_window_objects();
    if (create_main_window(machine) != 0) return false;
    ui::set_title(Systemsettings.version_text);
    ui::set_menu(alteration_menu());
    install_handlers();
    ui::invalidate();
    return true;
}

bool may_leave_model(const char* before) {
    const ModelSettings& m = Modelsettings;
    if (!model::globals_alive() || m.model_read != 1 || m.model_unsaved != 1) return true;
    const std::string text =
        std::string("The model has been edited and not saved.\nDo you want to save the model "
                    "before ") +
        before + "?";
    const int answer =
        model::ask_message(text.c_str(), "Message", ui::mb_yesnocancel | ui::mb_iconquestion);
    if (answer == ui::id_no) return true;
    if (answer != ui::id_yes) return false;
    save_results_command(Progdisplay, Modelsettings, 0);
    return Modelsettings.model_unsaved == 0;
}

bool may_close_main_window() {
    return may_leave_model("closing");
}

void close_main_window() {
    SettingsValues v;
    v.paint = Systemsettings.paint_program;
    v.editor = Systemsettings.windows_dir;
    v.extension = Modelsettings.model_file;
    v.input = Systemsettings.initial_dir;
    v.output = Systemsettings.output_dir;
    // A settings file that cannot be written keeps what it held; the clean-up runs all the same.
    const std::string problem = write_settings_file(Systemsettings.program_dir, v);
    if (!problem.empty()) model::show_message(problem.c_str(), "Message");
    release_window_objects();
    model::empty_and_delete_file(Modelsettings.nodes_file);
}

void end_program() {
    if (model::globals_alive()) model::exit_globals();
    sys::close_work_folder();
    if (off_screen) {
        ui::stop_watching(*off_screen);
        off_screen.reset();
    }
    Mainviewstate = MainViewState();
}

gfx::Canvas& canvas() {
    return off_screen ? *off_screen : empty_canvas;
}

} // namespace shell
