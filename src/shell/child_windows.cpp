// The status window (progress text and green bar) and the "Next" toggle window.
#include "shell/child_windows.h"

#include "model/globals.h"
#include "platform/gfx/canvas.h"
#include "platform/ui/ui.h"
#include "shell/paint.h"

#include <cstdio>

namespace shell {

void create_child_windows() {
    // Extents in the fixed font the main window uses for its own text.
    gfx::Canvas& window = ui::window_canvas();
    const gfx::Font previous = window.select_font(gfx::Font{});
    const int char_height = window.text_metrics().height;

    std::snprintf(Statuswind.text, sizeof Statuswind.text, "%s",
                  "Calculation status child window for messages.   ");
    Statuswind.bar_width = window.text_extent(Statuswind.text).cx;
    Statuswind.bar_height = char_height + 3;
    const ui::Size client = ui::client_size();
    ui::place_child(ui::Child::status, 0, client.height - Statuswind.bar_height,
                    Statuswind.bar_width, Statuswind.bar_height);
    ui::show_child(ui::Child::status, false);
    Progdisplay.status_height = Statuswind.bar_height;

    Nextwind.button_width = window.text_extent("Next Iter.").cx;
    Nextwind.button_height = char_height + 3;
    ui::place_child(ui::Child::next, client.width - Nextwind.button_width - 1,
                    client.height - Nextwind.button_height, Nextwind.button_width,
                    Nextwind.button_height);
    ui::show_child(ui::Child::next, false);
    window.select_font(previous);
}

void StatusChildProc() {
    gfx::Canvas& c = ui::child_canvas(ui::Child::status);
    c.fill_rect({0, 0, c.width(), c.height()}, gfx::white);
    if (Statuswind.bar_length > 0) {
        const gfx::Brush brush = c.select_brush(Windowobjects.bar_brush);
        const gfx::Pen pen = c.select_pen(Windowobjects.bar_pen);
        c.rectangle(0, 0, Statuswind.bar_length, Statuswind.bar_height);
        c.select_brush(brush);
        c.select_pen(pen);
    }
    const gfx::BkMode mode = c.set_bk_mode(gfx::BkMode::transparent);
    c.text_out(2, 0, Statuswind.text);
    c.set_bk_mode(mode);
}

void NextChildProc() {
    gfx::Canvas& c = ui::child_canvas(ui::Child::next);
    const bool exit = Nextwind.next_flag == 1;
    const gfx::Brush face = exit ? Windowobjects.exit_next_brush : Windowobjects.next_brush;
    c.fill_rect({0, 0, Nextwind.button_width, Nextwind.button_height}, face.colour);
    const gfx::BkMode mode = c.set_bk_mode(gfx::BkMode::transparent);
    c.text_out(1, 0, exit ? "Exit Next" : "    Next");
    c.set_bk_mode(mode);
}

void next_window_click() {
    Nextwind.next_flag = Nextwind.next_flag == 0 ? 1 : 0;
    ui::invalidate_next();
}

} // namespace shell
