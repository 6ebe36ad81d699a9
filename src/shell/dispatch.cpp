// The command table of the main window and its dispatch.
#include "shell/dispatch.h"

#include "display/bitmap.h"
#include "display/block_editing.h"
#include "display/colours.h"
#include "display/display_commands.h"
#include "display/scales.h"
#include "forward/commands.h"
#include "model/globals.h"
#include "model/services.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"
#include "sensitivity/electrode_jacobian.h"
#include "sensitivity/section_command.h"
#include "sensitivity/sensitivity_3d.h"
#include "sensitivity/sensitivity_commands.h"
#include "shell/main_window.h"
#include "shell/option_dialogs.h"
#include "shell/paint.h"

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
    hooks.rebuild_data = [](int previous) { calappmod(Modelsettings, 0, &previous); };
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

// Each row names the handler that runs the command; an empty action is a command whose
// handler is not part of this build yet.
std::vector<CommandRow> make_table() {
    using V = ViewRule;
    // clang-format off
    return {
        {101,  V::result,    [] { return read_model_command(Progdisplay, Modelsettings); }},
        {102,  V::fixed,     [] { return save_results_command(Progdisplay, Modelsettings, 0); }},
        {103,  V::fixed,     [] { return save_results_command(Progdisplay, Modelsettings, 1); }},
        {5330, V::result,    {}},            // convert_model_4nodes_command
        {105,  V::result,    {}},            // save_model_surfer
        {1240, V::fixed,     [] { return trace_command({}); }}, // the dialog: TraceDiaBox
        {106,  V::unchanged, close_command},
        {150,  V::unchanged, close_command},
        {110,  V::fixed,     edit_model},
        {111,  V::fixed,     display_model_command},
        {112,  V::result,    {}},            // change_array_type
        {300,  V::result,    {}},            // add_model_resistivity
        {400,  V::result,    {}},            // model_depth_command
        {123,  V::result,    {}},            // geom_factor_command
        {120,  V::result,    {}},            // normalise_command
        {130,  V::result,    [] { return start_calculations(Progdisplay, Modelsettings); }},
        {137,  V::result,    sensitivity_section_command},
        {1140, V::result,    {}},            // save_general_array_file
        {5271, V::result,    {}},            // sensitivity_nonstd_command
        {117,  V::result,    hrps_menu_handler},
        {525,  V::result,    edit_colour_scheme},
        {539,  V::result,    read_colour_scheme},
        {301,  V::result,    restore_default_colours},
        {552,  V::result,    save_screen_bmp},
        {118,  V::fixed,
         [] { return dialog_pattern_b([] { return ui::run_dialog(VtsfDiaBox, VtsfDiaBoxProc); }); }},
        {1270, V::fixed,     {}},            // dialog_pattern_b with BorePlotDiaBox
        {550,  V::fixed,     {}},            // dialog_pattern_a with ExtendDepthDiaBox
        {122,  V::fixed,     {}},            // dialog_pattern_c with FemDiaBox
        {5310, V::fixed,     {}},            // dialog_pattern_c with FDFTypeDiaBox
        {5320, V::fixed,     {}},            // dialog_pattern_c with UseHermDiaBox
        {1260, V::fixed,     {}},            // dialog_pattern_c with ShiftNodeDiaBox
        {570,  V::fixed,     complex_ip_command},  // ComplexIPDiaBox
        {5340, V::unchanged, {}},            // PseudoDepthDiaBox
        {145,  V::fixed,     {}},            // erase_window, AboutDiaBox
        {146,  V::fixed,     help_command},
        {147,  V::fixed,     editing_keys_command},
        {132,  V::unchanged, {}},            // write_pot1elec, "Potential values calculated"
        {135,  V::fixed,     sensitivity_3d_command},
        {5280, V::callee,    [] { run_jacobcal_dialog(Mainviewstate.view_code); return 0; }},
        {5288, V::callee,
         [] { Calculate_Jacobian_Elec_Position(Mainviewstate.view_code, Modelsettings); return 0; }},
        {5270, V::fixed,     [] { return sensitivity_view(sensitivity_command); }},
        {5290, V::fixed,     [] { return sensitivity_view(display_sensitivity_command); }},
    };
    // clang-format on
}

} // namespace

std::vector<CommandRow>& command_table() {
    static std::vector<CommandRow> table = make_table();
    return table;
}

void main_window_command(int id) {
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

int help_command() {
    erase_window();
    const std::string folder = Systemsettings.program_dir;
    sys::set_current_dir(folder);
    const std::string path = folder + "Veldarin.chm";
    if (!ui::show_help(path, "")) {
        const std::string text = "The help file\n" + path + "\ncannot be shown.";
        model::ask_message(text.c_str(), "Message", ui::mb_iconexclamation);
    }
    ui::set_cursor(ui::Cursor::arrow);
    return 146;
}

} // namespace shell
