// The command table of the main window and its dispatch.
//
// A new developer's path through a command:
// - From a menu id to its handler, one hop: the id has a name in `cmd` (dispatch.h) and one row
//   in make_table() below, which holds the menu text, the view rule and the handler. The window,
//   the script runner (`menu 130`) and the batch all arrive at main_window_command, which runs
//   that row. A command without a handler yet has an empty one and a comment naming what it
//   will call; giving it one is a change of that row alone.
// - From a handler to what it changes, by its signature: a handler takes the records it writes
//   as parameters and a record it only reads as a const reference (`start_calculations(
//   ProgDisplay&, ModelSettings&, const ProgLim&, Potentials&)`). The rows here pass the
//   globals (Progdisplay, Modelsettings, ...); the layers below take what they use as
//   parameters.
// - From a record field to its writers and readers: each block of fields in
//   model/model_settings.h and model/records.h is headed by the code that writes it and the
//   code that reads it.
// - A solver's contract stands in its header (fdsolve/fdsolve.h, fesolve/fesolve.h): the
//   fields of its Inputs it reads, the tables it writes, and its model::SolverResult.
#include "shell/dispatch.h"

#include "display/bitmap.h"
#include "display/block_editing.h"
#include "display/colours.h"
#include "display/display_commands.h"
#include "display/scales.h"
#include "forward/commands.h"
#include "forward/configurations/configurations.h"
#include "forward/pot1elec.h"
#include "model/globals.h"
#include "model/services.h"
#include "platform/sys/sys.h"
#include "platform/sys/verify.h"
#include "platform/ui/ui.h"
#include "sensitivity/electrode_jacobian.h"
#include "sensitivity/section_command.h"
#include "sensitivity/sensitivity_3d.h"
#include "sensitivity/sensitivity_commands.h"
#include "shell/main_window.h"
#include "shell/model_commands.h"
#include "shell/option_dialogs.h"
#include "shell/paint.h"
#include "shell/surfer_file.h"

#include <cstdio>
#include <string>

namespace shell {

namespace {

int close_command() {
    ui::request_close();
    return 0;
}

// "&Edit model" with the block editor's mouse and key handlers.
int edit_model() {
    EditHooks hooks;
    hooks.mark_block = mark_block;
    hooks.draw_mark_block_right = draw_mark_block_right;
    hooks.mark_blocks_multi = mark_blocks_multi;
    hooks.draw_mark_block_left = draw_mark_block_left;
    hooks.edit_blocks_mode3 = edit_blocks_mode3;
    set_edit_hooks(hooks);
    return edit_model_command();
}

// The block-sensitivity commands rebuild the data of a changed array type with the forward
// run's routine.
SensitivityHooks sensitivity_hooks() {
    SensitivityHooks hooks;
    hooks.rebuild_data = [](int previous) {
        calappmod(Modelsettings, Proglim, Potentialtables, 0, &previous);
    };
    return hooks;
}

// Commands 5270 and 5290 clear the window and the canvas first.
int sensitivity_view(void (*command)(int&, ModelSettings&, const SensitivityHooks&)) {
    erase_window();
    clear_area(Progdisplay.canvas_dc, Progdisplay.canvas_width, Progdisplay.canvas_height);
    int view = 0;
    command(view, Modelsettings, sensitivity_hooks());
    return view;
}
int include_sensitivity() {
    run_jacobcal_dialog(Mainviewstate.view_code);
    return 0;
}
int sensitivity_standard() {
    return sensitivity_view(sensitivity_command);
}
int sensitivity_plot() {
    return sensitivity_view(display_sensitivity_command);
}
int electrode_jacobian() {
    Calculate_Jacobian_Elec_Position(Mainviewstate.view_code, Modelsettings);
    return 0;
}

// An edited model not saved is offered to be saved first (Cancel reads nothing and leaves the
// view as it was). The scroll bars show where the read leaves the view: at the top of a new
// model.
int read_model() {
    if (!may_leave_model("reading another model")) return Mainviewstate.view_code;
    const int view = read_model_command(Progdisplay, Modelsettings);
    const ui::Size client = ui::client_size();
    set_scroll_ranges(client.width, client.height);
    return view;
}
int save_model_results() {
    return save_results_command(Progdisplay, Modelsettings, 0);
}
int save_data_file() {
    return save_results_command(Progdisplay, Modelsettings, 1);
}
int trace() {
    return trace_command([] { return ui::run_dialog(TraceDiaBox, TraceDiaBoxProc); });
}
int calculate() {
    return start_calculations(Progdisplay, Modelsettings, Proglim, Potentialtables);
}
int sensitivity_section() {
    return sensitivity_section_command([] { run_configuration_file(Modelsettings, 0); });
}
int nonstandard_arrays() {
    return save_general_array_file(Progdisplay, Modelsettings);
}
int sensitivity_nonstandard() {
    return sensitivity_nonstd_command(Progdisplay, Modelsettings, sensitivity_hooks());
}
// The display is drawn again at the new factor.
int vertical_scale() {
    const int result = dialog_pattern_b([] { return ui::run_dialog(VtsfDiaBox, VtsfDiaBoxProc); });
    if (result == 1) {
        char text[128];
        std::snprintf(text, sizeof text, "Vertical/horizontal display scaling factor: %.2f.",
                      Progdisplay.vh_factor != 0.0f ? 1.0 / Progdisplay.vh_factor : 0.0);
        set_status_line(text);
    }
    redisplay_model(Progdisplay, Modelsettings);
    return result;
}
int convert_4nodes() {
    return convert_model_4nodes_command(Progdisplay, Modelsettings);
}
int surfer_file() {
    return save_model_surfer(Progdisplay, Modelsettings);
}
int array_type() {
    return change_array_type(Progdisplay, Modelsettings);
}
int add_resistivity() {
    return add_model_resistivity(Modelsettings);
}
int layer_depths() {
    return model_depth_command(Modelsettings);
}
int geometric_factor() {
    return geom_factor_command(Progdisplay, Modelsettings);
}
int normalise() {
    return normalise_command(Progdisplay, Modelsettings);
}
// The option dialogs in the frames of patterns B and C.
template <const ui::DialogTemplate& t,
          bool (*proc)(ui::Dialog&, ui::DialogEvent, const ui::DialogArgs&)>
int pattern_b() {
    return dialog_pattern_b([] { return ui::run_dialog(t, proc); });
}
template <const ui::DialogTemplate& t,
          bool (*proc)(ui::Dialog&, ui::DialogEvent, const ui::DialogArgs&)>
int pattern_c() {
    return dialog_pattern_c([] { return ui::run_dialog(t, proc); });
}
int pseudodepth_method() {
    return ui::run_dialog(PseudoDepthDiaBox, PseudoDepthDiaBoxProc);
}
int program_info() {
    erase_window();
    return ui::run_dialog(AboutDiaBox, AboutDiaBoxProc);
}
// The potential section of one electrode, in the program folder.
int potentials_of_one_electrode() {
    if (write_pot1elec(Systemsettings.program_dir))
        model::ask_message("Potential values calculated", "Message", ui::mb_iconexclamation);
    return 0;
}

// One row a command, in menu order. An empty handler is a command not in this build yet; its
// comment says what it will call.
std::vector<CommandRow> make_table() {
    using P = Popup;
    using V = ViewRule;
    // clang-format off
    return {
        // id                              popup           menu text                                                 view          handler                 place
        {cmd::read_model,                  P::file,        "&Read file with forward model",                          V::result,    read_model},
        {cmd::save_model_results,          P::file,        "&Save results in VELDARIN format",                       V::fixed,     save_model_results},
        {cmd::convert_4nodes,              P::file,        "&Convert from 2 to 4 nodes",                             V::result,    convert_4nodes},
        {cmd::save_data_file,              P::file,        "Save results in &ORBANTEL format",                       V::fixed,     save_data_file},
        {cmd::save_model_surfer,           P::file,        "Save model in &SURFER format",                           V::result,    surfer_file},
        {cmd::trace,                       P::file,        "&Trace program execution",                               V::fixed,     trace,                  after_separator},
        {cmd::exit_program,                P::file,        "&Exit program",                                          V::unchanged, close_command,          after_separator},
        {cmd::edit_model,                  P::edit,        "&Edit model",                                            V::fixed,     edit_model},
        {cmd::display_model,               P::edit,        "&Display model",                                         V::fixed,     display_model_command},
        {cmd::change_array_type,           P::edit,        "Change &array type",                                     V::result,    array_type},
        {cmd::add_resistivity,             P::edit,        "Add &new model resistivity",                             V::result,    add_resistivity},
        {cmd::borehole_plot,               P::edit,        "&Type of borehole model plot",                           V::fixed,     pattern_b<BorePlotDiaBox, BorePlotDiaBoxProc>, dropped},
        {cmd::include_sensitivity,         P::edit,        "&Include calculations for sensitivity values",           V::callee,    include_sensitivity,    after_separator_dropped},
        {cmd::sensitivity_standard,        P::edit,        "&Display sensitivity values for standard arrays",        V::fixed,     sensitivity_standard,   dropped},
        {cmd::sensitivity_nonstandard,     P::edit,        "Display sensitivity values &for non-standard arrays",    V::result,    sensitivity_nonstandard, dropped},
        {cmd::sensitivity_plot,            P::edit,        "Select another sensitivity &plot",                       V::fixed,     sensitivity_plot,       dropped},
        {cmd::electrode_jacobian,          P::edit,        "Test electrode position Jacobian",                       V::callee,    electrode_jacobian,     dropped},
        {cmd::layer_depths,                P::edit,        "Change depth to layers",                                 V::result,    layer_depths,           after_separator},
        {cmd::extend_depth,                P::edit,        "Automatically extend model depth range",                 V::fixed,     extend_depth_command},
        {cmd::horizontal_scale,            P::edit,        "&Horizontal plotting scale",                             V::result,    hrps_menu_handler,      after_separator},
        {cmd::vertical_scale,              P::edit,        "&Vertical display scaling factor",                       V::fixed,     vertical_scale},
        {cmd::pseudodepth_method,          P::edit,        "&Select pseudodepth method",                             V::unchanged, pseudodepth_method,     dropped},
        {cmd::customise_colours,           P::edit,        "&Customise colour scheme",                               V::result,    edit_colour_scheme,     after_separator},
        {cmd::read_colours,                P::edit,        "Read customised colour &scheme",                         V::result,    read_colour_scheme},
        {cmd::default_colours,             P::edit,        "&Restore default colours",                               V::result,    restore_default_colours},
        {cmd::method,                      P::options,     "&Finite-Element or Finite-Difference Method",            V::fixed,     pattern_c<FemDiaBox, FemDiaBoxProc>},
        {cmd::fd_type,                     P::options,     "Type of finite-difference method",                       V::fixed,     pattern_c<FDFTypeDiaBox, FDFTypeDiaBoxProc>, dropped},
        {cmd::distributed_source,          P::options,     "Use distributed current source",                         V::fixed,     pattern_c<UseHermDiaBox, UseHermDiaBoxProc>, dropped},
        {cmd::distribute_electrode,        P::options,     "&Distribute electrode effect",                           V::fixed,     pattern_c<ShiftNodeDiaBox, ShiftNodeDiaBoxProc>, dropped},
        {cmd::geometric_factor,            P::options,     "&Geometric factor for underwater surveys",               V::result,    geometric_factor},
        {cmd::ip_model,                    P::options,     "&Type of IP model",                                      V::fixed,     complex_ip_command},
        {cmd::calculate,                   P::computation, "&Calculate potential values",                            V::result,    calculate},
        {cmd::sensitivity_section,         P::computation, "Calculate &2D sensitivity section",                      V::result,    sensitivity_section},
        {cmd::nonstandard_arrays,          P::computation, "Calculate apparent resistivity for non-standard arrays", V::result,    nonstandard_arrays},
        {cmd::frechet_3d,                  P::computation, "Calculate &3D Frechet derivative",                       V::fixed,     sensitivity_3d_command, dropped},
        {cmd::save_screen_bmp,             P::print,       "&Save screen as BMP file",                               V::result,    save_screen_bmp},
        {cmd::help,                        P::help,        "&Help",                                                  V::fixed,     help_command},
        {cmd::program_info,                P::help,        "&Program Info",                                          V::fixed,     program_info},
        {cmd::editing_keys,                P::help,        "&Editing keys",                                          V::fixed,     editing_keys_command},
        {cmd::quit_program,                P::quit,        "&Quit program",                                          V::unchanged, close_command},
        {cmd::normalise,                   P::none,        nullptr,                                                  V::result,    normalise},
        {cmd::potentials_of_one_electrode, P::none,        nullptr,                                                  V::unchanged, potentials_of_one_electrode},
    };
    // clang-format on
}

} // namespace

std::vector<CommandRow>& command_table() {
    static std::vector<CommandRow> table = [] {
        std::vector<CommandRow> rows = make_table();
        for (std::size_t i = 0; i < rows.size(); ++i)
            for (std::size_t j = i + 1; j < rows.size(); ++j)
                VERIFY(rows[i].id != rows[j].id, rows[j].id); // one row an id
        return rows;
    }();
    return table;
}

void main_window_command(int id) {
    command_started();
    for (const CommandRow& row : command_table()) {
        if (row.id != id) continue;
        if (!row.action) break;
        if (row.view == ViewRule::fixed) Mainviewstate.view_code = id;
        const int result = row.action();
        if (row.view == ViewRule::result) Mainviewstate.view_code = result;
        break;
    }
    paint_main_window();
}

int dialog_pattern_a(const std::function<int()>& dialog) {
    erase_window();
    ui::set_cursor(ui::Cursor::arrow);
    return dialog();
}

int dialog_pattern_b(const std::function<int()>& dialog) {
    erase_window();
    clear_area(Progdisplay.canvas_dc, Progdisplay.canvas_width, Progdisplay.canvas_height);
    const int result = dialog();
    Progdisplay.model_displayed = 1;
    return result;
}

int dialog_pattern_c(const std::function<int()>& dialog) {
    erase_window();
    Progdisplay.editmode = 0;
    ui::set_cursor(ui::Cursor::arrow);
    Progdisplay.model_displayed = 0;
    const int result = dialog();
    Progdisplay.model_displayed = 1;
    return result;
}

int trace_command(const std::function<int()>& trace_dialog) {
    erase_window();
    if (Printtrace.active == 1)
        model::ask_message("This option is already active!", "Message", ui::mb_iconexclamation);
    else if (trace_dialog)
        trace_dialog();
    return 1240;
}

std::string help_page_path() {
    const std::string beside_programs = sys::executable_dir() + help_file_name;
    if (sys::file_exists(beside_programs)) return beside_programs;
    return std::string(Systemsettings.program_dir) + help_file_name;
}

int help_command() {
    erase_window();
    sys::set_current_dir(Systemsettings.program_dir);
    const std::string path = help_page_path();
    if (!ui::show_help(path, "")) {
        const std::string text = "The help file\n" + path + "\ncannot be shown.";
        model::ask_message(text.c_str(), "Message", ui::mb_iconexclamation);
    }
    ui::set_cursor(ui::Cursor::arrow);
    return 146;
}

} // namespace shell
