// Menu commands of the main window: the table of command ids with their handlers, the frames
// of the option dialogs, and the dispatch that runs a command and repaints.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace shell {

/// The command ids of the main window: every menu item and the two commands without one. Each
/// has one row in command_table().
namespace cmd {
enum : int {
    read_model = 101,
    save_model_results = 102, ///< "&Save results in VELDARIN format"
    save_data_file = 103,     ///< "Save results in &ORBANTEL format"
    save_model_surfer = 105,
    exit_program = 106,
    edit_model = 110,
    display_model = 111,
    change_array_type = 112,
    horizontal_scale = 117,
    vertical_scale = 118,
    normalise = 120, ///< no menu item
    method = 122,    ///< "&Finite-Element or Finite-Difference Method"
    geometric_factor = 123,
    calculate = 130,
    potentials_of_one_electrode = 132, ///< no menu item
    frechet_3d = 135,
    sensitivity_section = 137,
    program_info = 145,
    help = 146,
    editing_keys = 147,
    quit_program = 150,
    add_resistivity = 300,
    default_colours = 301,
    layer_depths = 400,
    customise_colours = 525,
    read_colours = 539,
    extend_depth = 550,
    save_screen_bmp = 552,
    ip_model = 570,
    nonstandard_arrays = 1140,
    trace = 1240,
    distribute_electrode = 1260,
    borehole_plot = 1270,
    sensitivity_standard = 5270,
    sensitivity_nonstandard = 5271,
    include_sensitivity = 5280,
    electrode_jacobian = 5288,
    sensitivity_plot = 5290,
    fd_type = 5310,
    distributed_source = 5320,
    convert_4nodes = 5330,
    pseudodepth_method = 5340,
};
} // namespace cmd

/// What a command leaves in MainViewState::view_code.
enum class ViewRule {
    result,    ///< the handler's return value
    fixed,     ///< the command id, stored before the handler runs
    unchanged, ///< nothing
    callee,    ///< whatever the handler itself stores
};

/// The popups of the menu bar, in their order (Popup::none: a command without a menu item).
enum class Popup { file, edit, options, computation, print, help, quit, none };

/// How a command's item stands in its popup.
enum MenuPlace : unsigned {
    item = 0,            ///< an item
    after_separator = 1, ///< an item with a separator above it
    dropped = 2,         ///< removed each time its popup opens (the id stays reachable)
    after_separator_dropped = 3,
};

/// One command of the main window: its id, its menu item, its view rule and its handler. A row
/// whose `action` is empty has no handler in this build and does what an unknown id does: only
/// the repaint.
struct CommandRow {
    int id = 0;
    Popup popup = Popup::none;
    const char* text = nullptr; ///< the item's text; null without a menu item
    ViewRule view = ViewRule::unchanged;
    std::function<int()> action;
    unsigned place = item; ///< MenuPlace bits
};

/// Every command the main window knows, in menu order, the commands without an item last.
/// Tests may replace the actions.
std::vector<CommandRow>& command_table();

/// Runs command `id` to its end (command_started first: an earlier abort key and the status
/// line are forgotten): its handler (when it has one) with the view code by the
/// row's rule, then the paint routine, also for an id that no row names.
void main_window_command(int id);

/// Frames of the option dialogs; each returns the dialog's result.
/// A: clear the window, arrow cursor, run the dialog.
int dialog_pattern_a(const std::function<int()>& dialog);
/// B: clear the window and the canvas, run the dialog, then show the canvas again.
int dialog_pattern_b(const std::function<int()>& dialog);
/// C: clear the window, leave edit mode, arrow cursor, hide the canvas while the dialog runs,
/// then show it again.
int dialog_pattern_c(const std::function<int()>& dialog);

/// "&Trace program execution": clears the window; when tracing is already on, says so;
/// otherwise runs `trace_dialog`. Returns 1240.
int trace_command(const std::function<int()>& trace_dialog);
/// The help page, which the build puts beside the programs.
constexpr const char* help_file_name = "Veldarin.html";
/// The help page beside the running program, whatever the program folder ($VELDARIN_HOME,
/// --home) is; the program folder's own when none stands there.
std::string help_page_path();
/// "&Help": opens help_page_path() with the desktop's viewer, which goes on on its own (a message
/// when it cannot be shown). Returns 146.
int help_command();

} // namespace shell
