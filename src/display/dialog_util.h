// Small helpers of the display dialogs: formatted texts, edit fields read as the dialog
// procedures read them, and template building.
#pragma once

#include "platform/ui/ui.h"

#include <string>

namespace display {

/// `format` (one printf conversion of a double) applied to `value`.
std::string formatted(const char* format, double value);

/// atof of the first `max_chars` characters of edit `id`.
double field_value(const ui::Dialog& dialog, int id, int max_chars);
/// The number in the first `max_chars` characters of edit `id`; when the field is empty or holds
/// anything but one number, false after the message "Please type a number for <what>." (caption
/// "Message"): the procedure then keeps the dialog open.
bool number_field(const ui::Dialog& dialog, int id, int max_chars, const char* what, double& value);

/// Appends a control to a template.
inline void add(ui::DialogTemplate& t, int id, ui::ControlKind kind, const std::string& text, int x,
                int y, int w, int h) {
    t.controls.push_back({id, kind, text, x, y, w, h});
}
/// Appends OK (1) and Cancel (2) buttons side by side at row y.
void add_ok_cancel(ui::DialogTemplate& t, int y);

/// Ends a dialog the way every display dialog does: dialog_result 1 and the result 1 on OK,
/// dialog_result 2 and the result 0 on Cancel.
void end_dialog(ui::Dialog& dialog, bool ok);
/// end_dialog for `id` OK or Cancel; true when it was one of them, false (nothing done) else.
bool end_on_ok_or_cancel(ui::Dialog& dialog, int id);

/// Shows `text` under `caption` with `flags` (through the message funnel, no beep).
int ask(const std::string& text, const char* caption, unsigned flags);

} // namespace display
