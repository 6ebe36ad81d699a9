// Painting of the main window from the off-screen canvas (with the one-time set-up of the first
// paint), scrolling, and the mouse and character handlers that feed the model editor.
#pragma once

#include "platform/gfx/canvas.h"
#include "platform/ui/ui.h"

#include <cstdint>
#include <functional>

namespace shell {

/// The display objects that the first paint creates and that live until the window closes.
struct WindowObjects {
    bool created = false;
    gfx::Font text_font;        ///< "Arial", 16 px above a 520-pixel client height, else 14
    gfx::Font symbol_font;      ///< "Symbol", same height
    gfx::Brush bar_brush;       ///< progress bar (red 0, green 255, blue 63)
    gfx::Pen bar_pen;           ///< its outline, same colour
    gfx::Brush next_brush;      ///< "Next" face (yellow)
    gfx::Brush exit_next_brush; ///< "Exit Next" face (red)
    int char_width = 0;         ///< average character width of the fixed font
    int char_height = 0;        ///< character height of the fixed font
    int text_char_width = 0;    ///< the same of the "Arial" font
    int text_char_height = 0;
    std::uint32_t colour_count = 0; ///< colours the display shows
    gfx::Rect client_rect;          ///< right = client width, bottom = client height
    gfx::Rect window_rect;
};
extern WindowObjects Windowobjects;

/// Editing actions of the mouse and keys while ProgDisplay::editmode is 1; each returns the
/// edit result stored in ProgDisplay::edit_changed. Empty members do nothing.
struct EditHooks {
    std::function<int(int x, int y)> mark_block;            ///< right button, block model
    std::function<int(int x, int y)> draw_mark_block_right; ///< right button, cylinder model
    std::function<int(int x, int y)> mark_blocks_multi;     ///< left button, block model
    std::function<int(int x, int y)> draw_mark_block_left;  ///< left button, cylinder model
    /// A character with the cursor position; block models only.
    std::function<int(int ch, int x, int y)> edit_blocks_mode3;
};
/// The hooks the handlers call (set by the application; empty by default).
void set_edit_hooks(const EditHooks& hooks);

/// The paint routine: runs for every paint request and after every command. The first run
/// after window creation (view_code -1, view_detail 0) reads the settings file, creates the
/// display objects and the child windows and shows the "Program Information" box. Then, when
/// ProgDisplay::model_displayed is 1 and the main window is in the foreground, the canvas is
/// copied into the window from the scroll offsets, and the status line (status_line) is written
/// over it.
void paint_main_window();

/// New client size: scroll ranges 0 .. canvas extent - client extent on both bars (offsets
/// kept within them) and a repaint.
void set_scroll_ranges(int client_width, int client_height);

/// Scroll requests of the two bars: line 1 pixel, page 5 pixels (only when the move stays in
/// range), thumb track to `pos` clamped to the range; then the bar shows the offset and the
/// window is repainted.
void hscroll_handler(ui::ScrollCode code, int pos);
void vscroll_handler(ui::ScrollCode code, int pos);

/// The pointer, mouse buttons at client (x, y) and characters typed in the main window. The
/// pointer's canvas position (client + scroll offsets) is where the keys edit.
void mouse_move_handler(int x, int y);
void left_button_handler(int x, int y);
void right_button_handler(int x, int y);
void char_key_handler(int ch);

/// Frees the display objects (close sequence).
void release_window_objects();

} // namespace shell
