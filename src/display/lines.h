// Pixel-level line drawing of the section plots: one-pixel lines through the pen or pixel by
// pixel, pattern lines of the black-and-white sections, and the thick outline of a data area.
#pragma once

#include <cstdint>
#include <vector>

namespace gfx {
class Canvas;
struct Pen;
} // namespace gfx

/// A one-pixel line from (x1, y1) to (x2, y2) covering both ends. With
/// ProgDisplay::line_mode 2 every pixel of the pixel line (below) is set to
/// ProgDisplay::pixel_line_colour; otherwise the selected pen draws the line both ways and the
/// colour then found at (x1, y1) is written to (x2, y2), so a zero-length line changes nothing.
void draw_line(int x1, int y1, int x2, int y2, gfx::Canvas& dc);

/// The pixel line from (x1, y1) to (x2, y2) with the 8 x 8 pattern `pattern` (row y mod 8,
/// bit 0x80 >> (x mod 8) of its low byte): a set bit paints ProgDisplay::background_colour, a
/// clear bit black. Returns the number of pixels set (max(|dx|, |dy|) + 1).
int draw_pattern_line(int x1, int y1, int x2, int y2, const std::uint16_t pattern[8],
                      gfx::Canvas& dc);

/// Six-pixel-thick border around the data area of a pseudosection: x[p - 1], y[p - 1] is the
/// pixel of point p (p = 1..n, level after level), level_start[k - 1] the number of the first
/// point of level k (k = 1..levels) and level_start[levels] = n + 1. The border runs through
/// the first level (15 pixels beyond both ends, shifted up), the last level (shifted down) and
/// the first and last points of the levels between (shifted out), one pixel of it inside the
/// points; it is drawn with `first_pen` when pen_flag is 1, else with `second_pen`, and then
/// `first_pen` is selected. With pen_flag other than 1 and shape 2, 3 or 4 a thin inner
/// outline in `first_pen` follows just inside the points. Levels without points are passed by.
void draw_section_outline(const std::int32_t* x, const std::int32_t* y,
                          const std::int32_t* level_start, int levels, int n, int pen_flag,
                          int shape, gfx::Canvas& dc, const gfx::Pen& first_pen,
                          const gfx::Pen& second_pen);

/// The least distance in pixels between neighbouring grid lines, ticks or data marks of a
/// drawing: on a long line they would stand closer than a pixel, cover the colours between them
/// and turn the section black; those closer than this are left out.
constexpr int least_line_gap = 4;

/// Which of the lines at the pixel positions pos (ascending) a drawing keeps so that no two
/// kept ones stand closer than least_line_gap: the first and the last always; of the others
/// those whose number counted from `origin` is a multiple of step (the least power of two that
/// spaces lines of the mean pitch that far), each when it stands far enough from the last one
/// kept and from the last line. All of them when they stand far enough apart.
std::vector<bool> thinned_lines(const std::vector<int>& pos, int origin = 0);

/// Which of the points (x[i], y[i]), i = 0..n-1, get a mark so that no two marks stand closer
/// than least_line_gap in both directions: each point in turn, when no mark stands that close.
std::vector<bool> thinned_marks(const int* x, const int* y, int n);
