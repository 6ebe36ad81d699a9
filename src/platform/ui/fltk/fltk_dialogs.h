// Modal windows of the FLTK backend: message boxes, dialogs built from templates, and the file
// chooser (internal to the backend).
#pragma once

#include "platform/ui/ui.h"

#include <string>

namespace ui {

/// Shows a message box with the buttons and icon of `flags` and returns the button chosen.
/// Enter chooses the first button, Esc Cancel (or OK in an OK box). With `hold_seconds` > 0
/// the box closes itself after that time with `preset`.
int fltk_message_box(const std::string& text, const std::string& caption, unsigned flags,
                     int preset = -1, double hold_seconds = 0);

/// Runs the dialog of `tmpl` modally: init, show, first paint, then the commands and scroll
/// events of its controls until the procedure ends it. Enter sends id_ok and Esc or the
/// window's close button id_cancel. Returns the value passed to end().
int fltk_run_dialog(const DialogTemplate& tmpl, const DialogProc& proc);

/// Asks for one file with the pattern `file` in `initial_dir`; on success `file` holds the
/// chosen path.
bool fltk_choose_file(FileDialogKind kind, std::string& file, const std::string& title,
                      const std::string& initial_dir);

/// `text` without '&' marks ("&&" gives one '&').
std::string without_mnemonics(const std::string& text);

} // namespace ui
