// Menu commands of the main window: the table of command ids with their handlers, the frames
// of the option dialogs, and the dispatch that runs a command and repaints.
#pragma once

#include <functional>
#include <vector>

namespace shell {

/// What a command leaves in MainViewState::view_code.
enum class ViewRule {
    result,    ///< the handler's return value
    fixed,     ///< the command id, stored before the handler runs
    unchanged, ///< nothing
    callee,    ///< whatever the handler itself stores
};

/// One command of the main window. A row whose `action` is empty has no handler in this build
/// and does what an unknown id does: only the repaint.
struct CommandRow {
    int id = 0;
    ViewRule view = ViewRule::unchanged;
    std::function<int()> action;
};

/// Every command the main window knows, menu items and hidden ids alike. Tests may replace the
/// actions.
std::vector<CommandRow>& command_table();

/// Runs command `id` to its end: its handler (when it has one) with the view code by the
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
/// "&Help": opens "Veldarin.chm" of the program folder (a message when it cannot be shown).
/// Returns 146.
int help_command();

} // namespace shell
