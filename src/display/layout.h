// Layout of the section drawings: the horizontal scale from the window and font metrics, axis
// numbers, the default layout fractions, the level count of a contour scheme and path joining.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gfx {
class Canvas;
}

/// Number of contour levels of the last set_ncontours call (read by the contour selection).
extern std::int32_t contour_count;
/// Length of the folder part of the last make_path result.
extern std::int32_t path_folder_length;

/// Prints `value` with `ndec` decimals into `buffer` (capacity `size`, always terminated):
/// "%3.1f", "%4.2f", "%5.3f", "%6.4f", "%7.5f" for 1..5 decimals, "%8.6f" for 6 or more, and
/// for 0 or less the value rounded to the nearest whole number, halves away from zero, printed
/// from the float itself (1e30 gives all its digits, not an int's limit). Returns the length of
/// the text.
int format_axis_number(char* buffer, std::size_t size, float value, int ndec);

/// Horizontal scale of a section of `nelec` electrodes with `nodes_per_spacing` mesh columns
/// per electrode spacing, fitted into the main window's client area (ui::client_size, W x H):
/// below H = 550 the display's small font is selected into `dc` first; char_w and char_h are
/// the average width and the height of dc's font. The pixels per spacing s are the whole number
/// of pixels per mesh column that (W - margin_a - margin_b - char_w) / (nelec - 1) holds (never
/// rounded up, so the line ends inside the client area with its margins), kept
/// within 5..10 pixels per mesh column when `canvas_width` allows, else fitted to the canvas.
/// Writes s to xscale_raw, round(s (nelec - 1)) to plot_width, the drawing width to lengthvx
/// and H to client_height; returns plot_width / (nelec - 1), at least 1.0. A line of fewer
/// than two electrodes is laid out as one of two.
float layout_text_metrics(int nodes_per_spacing, int canvas_width, int nelec, float* xscale_raw,
                          std::int32_t* plot_width, int margin_a, int margin_b,
                          std::int32_t* char_w, std::int32_t* char_h, std::int32_t* lengthvx,
                          std::int32_t* client_height, gfx::Canvas& dc);

/// Writes the eight default layout fractions 0.5, 0.4, 0.6, 0.9, 0.3, 0.45, 0.55, 0.4 into
/// fractions[0..7].
void set_layout_fractions(float* fractions);

/// Number of contour levels of level scheme `mode`: 10 for 2, 11 for 3, else 16; also stored
/// in contour_count.
int set_ncontours(int mode);

/// destination = folder, a separator when folder does not end in '/' or '\', then name (cut
/// to `size` - 1 characters, always terminated); path_folder_length = length of folder. An
/// empty folder gives the name alone.
void make_path(const char* folder, const char* name, char* destination, std::size_t size);
