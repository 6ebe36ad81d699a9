// Modal windows of the FLTK backend: message boxes, dialogs built from templates, and the file
// chooser (internal to the backend).
#pragma once

#include "platform/ui/ui.h"

#include <string>
#include <vector>

class Fl_Window;

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

/// One text of a template as the dialog shows it: its control's size and the extent the text
/// takes in the dialog font (a static text wrapped at its control's width; a button's label on
/// one line with the room of its mark or frame). The text shows whole when it is within the size.
struct TextExtent {
    std::string text;
    int width = 0, height = 0;
    int text_width = 0, text_height = 0;
};
/// The texts of `tmpl` laid out as fltk_run_dialog lays them out (the display must be open).
std::vector<TextExtent> fltk_text_extents(const DialogTemplate& tmpl);

/// One pass of the file chooser for `request`: a list of the folder (double click on a folder
/// opens it, a click on a file takes its name), the name field with the proposed name selected,
/// the filter and OK and Cancel. The name field is taken as typed: a folder opens, a pattern
/// becomes the filter, anything else is the answer: on OK `path` holds the path it names in the
/// folder shown (typed_path).
bool fltk_choose_file(const FileRequest& request, std::string& path);

/// Places a modal window over the middle of the window that is in front (the main window).
void place_in_front(Fl_Window& w);

/// `text` without '&' marks ("&&" gives one '&').
std::string without_mnemonics(const std::string& text);

} // namespace ui
