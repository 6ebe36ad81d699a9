// The fixed 256-colour table and the command that saves the window as a bitmap file.
#pragma once

#include <cstdint>
#include <string>

namespace gfx {
class Canvas;
}

/// Fills table[0..255] (0x00BBGGRR): 20 system colours at 0..10 and 246..255, the 6 x 6 x 6
/// colour cube of the levels 0, 51, .., 255 without its corners at 11..218 (red slowest, blue
/// fastest) and 27 light blue-greys at 219..245.
void set_palette256(std::uint32_t* table);

/// Writes the top-left width x height block of `canvas` (white beyond its edges) as a 24-bit
/// bottom-up BMP: 54 header bytes, rows padded to 4 bytes. The file is saved whole or not at
/// all; false, with the cause in `*error` when given, when it cannot be written.
bool write_window_bitmap(const gfx::Canvas* canvas, int width, int height, const char* path,
                         std::string* error = nullptr);

/// One past the right-most and past the lowest pixel of `canvas` that is not white: the size
/// of what is drawn on it (0 x 0 for a white canvas).
struct DrawnSize {
    int width = 0, height = 0;
};
DrawnSize drawn_extent(const gfx::Canvas& canvas);

/// The size of the window's picture as a bitmap: the client area of width x height, or more
/// where what is drawn on `canvas` reaches further (its drawn extent and a margin of 8 pixels,
/// as the window has beside its right and lower sections).
DrawnSize picture_size(const gfx::Canvas* canvas, int client_width, int client_height);

/// Command 552 "&Save screen as BMP file": asks for a "*.bmp" file and saves the whole picture
/// of the canvas from its top-left corner, whatever part of it the window shows (picture_size
/// of the client area); "Cannot open file %s" and the cause on the next line when it cannot be
/// written (an existing file then stays as it was). Sets ProgDisplay::model_displayed and
/// repaints; returns 552.
int save_screen_bmp();
/// The outcome of the last save_screen_bmp: true only when it wrote its file completely (false
/// after a cancel or a failure). The batch run takes the step's outcome from here.
bool screen_bmp_written();
