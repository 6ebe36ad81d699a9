// Helpers of the display dialogs.
#include "display/dialog_util.h"

#include "model/globals.h"
#include "model/services.h"

#include <cstdio>

namespace display {

std::string formatted(const char* format, double value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void add_ok_cancel(ui::DialogTemplate& t, int y) {
    add(t, ui::id_ok, ui::ControlKind::push_button, "OK", t.width / 2 - 70, y, 60, 16);
    add(t, ui::id_cancel, ui::ControlKind::push_button, "Cancel", t.width / 2 + 10, y, 60, 16);
}

void end_dialog(ui::Dialog& dialog, bool ok) {
    dialog_result = ok ? 1 : 2;
    dialog.end(ok ? 1 : 0);
}

bool end_on_ok_or_cancel(ui::Dialog& dialog, int id) {
    if (id != ui::id_ok && id != ui::id_cancel) return false;
    end_dialog(dialog, id == ui::id_ok);
    return true;
}

int ask(const std::string& text, const char* caption, unsigned flags) {
    return model::ask_message(text.c_str(), caption, flags);
}

} // namespace display
