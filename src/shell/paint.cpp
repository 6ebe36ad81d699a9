// The paint routine with the first paint's set-up, the scroll-bar handlers, and the mouse and
// character handlers of the main window.
#include "shell/paint.h"

#include "display/colours.h"
#include "model/globals.h"
#include "model/services.h"
#include "shell/child_windows.h"
#include "shell/main_window.h"
#include "shell/settings_file.h"
#include "shell/text_buffer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace shell {

WindowObjects Windowobjects;

namespace {

EditHooks edit_hooks;
gfx::Size fitted_canvas; // the canvas size the scroll ranges were last set for

// The settings file's values go into the records that use them.
void read_settings_into_records() {
    SettingsValues v;
    v.input = Systemsettings.initial_dir;
    v.output = Systemsettings.output_dir;
    const std::string problem = read_settings_file(Systemsettings.program_dir, v);
    if (!problem.empty()) model::show_message(problem.c_str(), "Message");
    copy_text(Systemsettings.paint_program, v.paint);
    copy_text(Systemsettings.windows_dir, v.editor);
    copy_text(Modelsettings.model_file, v.extension);
    copy_text(Systemsettings.initial_dir, v.input);
    copy_text(Systemsettings.output_dir, v.output);
}

// The palette's brushes and pens (and the colours the canvas shows for them), then the default
// drawing state of both surfaces and a white canvas.
void create_palette_objects(gfx::Canvas& canvas, gfx::Canvas& window) {
    create_display_objects();
    for (gfx::Canvas* c : {&canvas, &window}) {
        c->select_pen(Progdisplay.pens[24]);
        c->select_brush(gfx::Brush{gfx::white, false});
        c->set_text_colour(gfx::black);
    }
    canvas.fill_rect({0, 0, canvas.width(), canvas.height()}, gfx::white);
}

// The display fonts (their size from the client height) and the child windows' colours.
void create_fonts_and_brushes(gfx::Canvas& canvas, gfx::Canvas& window) {
    WindowObjects& w = Windowobjects;
    const int height = w.client_rect.bottom > 520 ? 16 : 14;
    w.text_font = gfx::Font{"Arial", height, false};
    w.symbol_font = gfx::Font{"Symbol", height, false};
    canvas.select_font(w.text_font);
    window.select_font(w.text_font);
    const gfx::TextMetrics text = window.text_metrics();
    w.text_char_width = text.ave_char_width;
    w.text_char_height = text.height;
    Progdisplay.char_w = text.ave_char_width;
    Progdisplay.char_h = text.height;
    canvas.select_font(gfx::Font{});
    window.select_font(gfx::Font{});
    // A true-colour display reports no palette and -1 colours, read as all ones.
    w.colour_count = 0xFFFFFFFFu;

    const gfx::Colour bar = gfx::rgb(0, 255, 63);
    w.bar_brush = gfx::Brush{bar, false};
    w.bar_pen = gfx::Pen{bar, false};
    w.next_brush = gfx::Brush{gfx::rgb(255, 255, 0), false};
    w.exit_next_brush = gfx::Brush{gfx::rgb(255, 0, 0), false};
    const gfx::TextMetrics fixed = window.text_metrics();
    w.char_width = fixed.ave_char_width;
    w.char_height = fixed.height;
}

void show_program_information() {
    char text[512];
    std::snprintf(text, sizeof text,
                  "2D Resistivity and IP Forward Modelling\n\n%s\n\n"
                  "Maximum number of electrodes is %d.",
                  Systemsettings.version_text, Proglim.max_electrodes);
    model::ask_message(text, "Program Information", ui::mb_ok | ui::mb_iconinformation);
}

// The one-time set-up of the first paint.
void first_paint_setup() {
    gfx::Canvas& c = canvas();
    gfx::Canvas& window = ui::window_canvas();
    read_settings_into_records();
    ui::set_cursor(ui::Cursor::arrow);
    const ui::Size client = ui::client_size();
    Windowobjects.client_rect = {0, 0, std::abs(client.width), std::abs(client.height)};
    Windowobjects.window_rect = Windowobjects.client_rect;
    Progdisplay.client_height = Windowobjects.client_rect.bottom;
    create_palette_objects(c, window);
    create_fonts_and_brushes(c, window);
    Windowobjects.created = true;
    create_child_windows();
    show_program_information();
}

// Scroll ranges and the children's places for the client size; the offsets stay in range.
void fit_to_client(int client_width, int client_height) {
    Windowobjects.client_rect = {0, 0, client_width, client_height};
    Progdisplay.client_height = client_height;
    fitted_canvas = {Progdisplay.canvas_width, Progdisplay.canvas_height};
    const int max_x = std::max(0, Progdisplay.canvas_width - client_width);
    const int max_y = std::max(0, Progdisplay.canvas_height - client_height);
    Progdisplay.scroll_x = std::clamp(Progdisplay.scroll_x, 0, max_x);
    Progdisplay.scroll_y = std::clamp(Progdisplay.scroll_y, 0, max_y);
    ui::set_scroll(ui::Bar::horizontal, 0, max_x, 0, Progdisplay.scroll_x);
    ui::set_scroll(ui::Bar::vertical, 0, max_y, 0, Progdisplay.scroll_y);
    if (Statuswind.bar_height > 0) {
        ui::place_child(ui::Child::status, 0, client_height - Statuswind.bar_height,
                        Statuswind.bar_width, Statuswind.bar_height);
        ui::place_child(ui::Child::next, client_width - Nextwind.button_width - 1,
                        client_height - Nextwind.button_height, Nextwind.button_width,
                        Nextwind.button_height);
    }
}

// One scroll request on an offset whose range is 0 .. extent - client.
int scrolled(int position, int extent, int client, ui::ScrollCode code, int pos) {
    const int max = extent - client;
    switch (code) {
    case ui::ScrollCode::line_up:
        return position > 0 ? position - 1 : position;
    case ui::ScrollCode::line_down:
        return max > position ? position + 1 : position;
    case ui::ScrollCode::page_up:
        return position - 5 > 0 ? position - 5 : position;
    case ui::ScrollCode::page_down:
        return position + 5 < max ? position + 5 : position;
    // The thumb can report a position the canvas does not have (a range set before a
    // resize): keep it on the canvas.
    case ui::ScrollCode::thumb_track:
        return std::clamp(pos, 0, std::max(0, max));
    default:
        return position;
    }
}

// One request on the scroll bar `bar` moves `offset` across a canvas `extent` pixels long in a
// client area `client` pixels long; the bar takes the new offset and the window is repainted.
void scroll_bar_moved(ui::Bar bar, int& offset, int extent, int client, ui::ScrollCode code,
                      int pos) {
    offset = scrolled(offset, extent, client, code, pos);
    ui::set_scroll(bar, 0, std::max(0, extent - client), 0, offset);
    ui::invalidate();
}

} // namespace

void set_edit_hooks(const EditHooks& hooks) {
    edit_hooks = hooks;
}

void paint_main_window() {
    if (Mainviewstate.view_detail == 0 && Mainviewstate.view_code == -1) {
        Mainviewstate.view_code = 0;
        first_paint_setup();
    }
    // A new client size, or a canvas that grew or went back to its base size.
    const ui::Size client = ui::client_size();
    if (client.width != Windowobjects.client_rect.right ||
        client.height != Windowobjects.client_rect.bottom ||
        fitted_canvas.cx != Progdisplay.canvas_width ||
        fitted_canvas.cy != Progdisplay.canvas_height)
        fit_to_client(client.width, client.height);
    if (!ui::is_foreground()) return;
    if (Progdisplay.model_displayed == 1)
        ui::window_canvas().bit_blt(0, 0, Progdisplay.canvas_width, Progdisplay.canvas_height,
                                    canvas(), Progdisplay.scroll_x, Progdisplay.scroll_y);
    else if (Progdisplay.model_displayed == 0)
        ui::set_cursor(ui::Cursor::arrow);
    if (*status_line()) show_status_text(status_line());
}

void set_scroll_ranges(int client_width, int client_height) {
    fit_to_client(client_width, client_height);
    ui::invalidate();
}

void hscroll_handler(ui::ScrollCode code, int pos) {
    scroll_bar_moved(ui::Bar::horizontal, Progdisplay.scroll_x, Progdisplay.canvas_width,
                     Windowobjects.client_rect.right, code, pos);
}

void vscroll_handler(ui::ScrollCode code, int pos) {
    scroll_bar_moved(ui::Bar::vertical, Progdisplay.scroll_y, Progdisplay.canvas_height,
                     Windowobjects.client_rect.bottom, code, pos);
}

void mouse_move_handler(int x, int y) {
    Progdisplay.cursor_x = x + Progdisplay.scroll_x;
    Progdisplay.cursor_y = y + Progdisplay.scroll_y;
}

void right_button_handler(int x, int y) {
    mouse_move_handler(x, y);
    if (Progdisplay.editmode != 1) return;
    const auto& hook = Modelsettings.cylinder_model != 0 ? edit_hooks.draw_mark_block_right
                                                         : edit_hooks.mark_block;
    if (hook) Progdisplay.edit_changed = hook(Progdisplay.cursor_x, Progdisplay.cursor_y);
}

void left_button_handler(int x, int y) {
    mouse_move_handler(x, y);
    model::trace("Left mouse  %d %d editmode %d\n", Progdisplay.cursor_x, Progdisplay.cursor_y,
                 Progdisplay.editmode);
    if (Progdisplay.editmode != 1) return;
    const auto& hook = Modelsettings.cylinder_model != 0 ? edit_hooks.draw_mark_block_left
                                                         : edit_hooks.mark_blocks_multi;
    if (hook) Progdisplay.edit_changed = hook(Progdisplay.cursor_x, Progdisplay.cursor_y);
}

void char_key_handler(int ch) {
    if (Progdisplay.editmode != 1 || Modelsettings.cylinder_model != 0) return;
    if (edit_hooks.edit_blocks_mode3)
        Progdisplay.edit_changed =
            edit_hooks.edit_blocks_mode3(ch, Progdisplay.cursor_x, Progdisplay.cursor_y);
}

void release_window_objects() {
    Windowobjects = WindowObjects();
    fitted_canvas = {};
}

} // namespace shell
