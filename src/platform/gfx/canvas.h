// Software raster canvas: an in-memory picture with the drawing state and operations of a
// window's device context (pens, brushes, fonts, lines, fills, flood fills, text, blits, BMP).
//
// Folder platform/gfx/ (library vd_gfx, FreeType and libpng linked privately), in the platform
// layer over platform/sys; included by platform/ui and its backends, model, model/reader, display,
// sensitivity, forward, forward/configurations and shell. Entry point: gfx::Canvas (below), with
// Canvas::save_bmp for the saved window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gfx {

/// Colours are 0x00BBGGRR.
using Colour = std::uint32_t;
constexpr Colour rgb(int r, int g, int b) {
    return Colour(r & 255) | Colour(g & 255) << 8 | Colour(b & 255) << 16;
}
constexpr int red_of(Colour c) {
    return int(c & 255);
}
constexpr int green_of(Colour c) {
    return int(c >> 8 & 255);
}
constexpr int blue_of(Colour c) {
    return int(c >> 16 & 255);
}
/// get_pixel outside the canvas, set_pixel that did nothing.
constexpr Colour clr_invalid = 0xFFFFFFFFu;
constexpr Colour white = 0x00FFFFFFu;
constexpr Colour black = 0x00000000u;

struct Point {
    int x = 0, y = 0;
};
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0; // right and bottom exclusive
};
struct Size {
    int cx = 0, cy = 0;
};

/// Pen for outlines and lines: solid, one pixel wide, or null (draws nothing).
struct Pen {
    Colour colour = black;
    bool null = false;
};
/// Brush for interiors and flood fills: solid colour, or null (hollow, fills nothing).
struct Brush {
    Colour colour = white;
    bool null = false;
};
/// Font by face name and cell height in pixels (the text-metrics height).
/// The face "" or "fixed" is the fixed font: DejaVu Sans Mono drawn at 14 px in an 8 x 16 cell
/// whatever `height` says. "Arial" maps to Liberation Sans (else DejaVu Sans); "Symbol" maps to
/// DejaVu Sans with the Latin letters shown as the matching Greek ones; any other face maps to
/// DejaVu Sans.
struct Font {
    std::string face = "fixed";
    int height = 16;
    bool bold = false;
};
struct TextMetrics {
    int height = 16; // ascent + descent
    int ascent = 13; // baseline below the top of the cell
    int descent = 3;
    int ave_char_width = 8;
    int max_char_width = 8;
};

/// Text alignment flags, combined with '|' (same values as the window system's).
constexpr unsigned ta_left = 0, ta_right = 2, ta_center = 6;
constexpr unsigned ta_top = 0, ta_bottom = 8, ta_baseline = 24;

enum class FillMode { alternate = 1, winding = 2 };
enum class BkMode { transparent = 1, opaque = 2 };
/// border: fill up to (not including) pixels of the given colour; surface: fill while the
/// pixels have the given colour.
enum class FloodType { border, surface };
/// Raster operations of pat_blt: the brush, all white, all black.
enum class Rop { patcopy, whiteness, blackness };

/// A width x height picture, initially white, with the drawing state of a device context:
/// pen (black), brush (white), text colour (black), background colour (white) and mode
/// (opaque), alignment (left | top), font (fixed), fill mode (alternate), position (0, 0).
/// Drawing outside the picture is clipped. Nothing is anti-aliased: every pixel gets exactly
/// the pen, brush, text or background colour.
class Canvas {
  public:
    explicit Canvas(int width = 0, int height = 0);

    int width() const { return width_; }
    int height() const { return height_; }
    /// Row-major pixels, width * height, top row first.
    const std::vector<Colour>& pixels() const { return pixels_; }
    /// New size; the overlap keeps its pixels, new area is white. Negative sizes become 0.
    void resize(int width, int height);

    /// How far a canvas that holds whatever is drawn on it (the main window's picture) grows:
    /// while `most` is set, a drawing request that reaches right of or below the picture first
    /// enlarges it, white, to hold the request, in steps of at least a quarter of `base` and up to
    /// `most` (each side) and `most_pixels` (in all); what lies further is clipped. Requests
    /// that draw white grow nothing (the new area is white already), nor does a flood fill.
    struct Growth {
        Size base;                 ///< the size set_growth gives it and clear() gives back
        Size most;                 ///< 0 x 0: the canvas never grows by itself
        long long most_pixels = 0; ///< width x height at most
    };
    /// Sets the growth and resizes the canvas to growth.base (a growth with no `most` only
    /// stops the growing and keeps the size).
    void set_growth(const Growth& growth);
    const Growth& growth() const { return growth_; }
    /// Every pixel white; a growing canvas goes back to its base size.
    void clear();
    /// The extent that drawings since the last clear() or set_growth() asked a growing canvas
    /// for where it could not grow to hold them (beyond `most` or `most_pixels`, or without
    /// memory), so that they were clipped: the furthest right and bottom asked for, each at
    /// least the canvas's size; 0 x 0 when nothing was cut.
    Size cut_extent() const { return cut_; }
    /// Called with the new width and height after every change of the size (a growth too).
    void set_resize_observer(std::function<void(int width, int height)> observer);

    // ---- State (each setter returns the previous value) ----
    Pen select_pen(const Pen& pen);
    Brush select_brush(const Brush& brush);
    Font select_font(const Font& font);
    Colour set_text_colour(Colour c);
    Colour set_bk_colour(Colour c);
    BkMode set_bk_mode(BkMode mode);
    unsigned set_text_align(unsigned flags);
    FillMode set_poly_fill_mode(FillMode mode);
    const Pen& pen() const { return pen_; }
    const Brush& brush() const { return brush_; }
    const Font& font() const { return font_; }
    Point position() const { return pos_; }

    // ---- Lines and shapes ----
    /// Sets the current position; returns the previous one.
    Point move_to(int x, int y);
    /// Line with the pen from the current position to (x, y), leaving out (x, y) itself; the
    /// position becomes (x, y).
    void line_to(int x, int y);
    /// Lines through the points in turn (each end pixel left out, as line_to).
    void polyline(const std::vector<Point>& pts);
    /// Outline of [left, right) x [top, bottom) with the pen, interior with the brush. With a
    /// null pen the brush fills the whole box.
    void rectangle(int left, int top, int right, int bottom);
    /// Fills [left, right) x [top, bottom) with colour c; the state is not used.
    void fill_rect(const Rect& r, Colour c);
    /// Fills the box x..x+w-1, y..y+h-1 with the brush, white or black.
    void pat_blt(int x, int y, int w, int h, Rop rop);
    /// Closed polygon: interior (pixel centres inside or on the boundary, by the fill mode)
    /// with the brush, then the closed outline with the pen, so the fill meets its outline.
    void polygon(const std::vector<Point>& pts);
    /// Ellipse inscribed in [left, right) x [top, bottom): interior with the brush, its
    /// boundary pixels with the pen.
    void ellipse(int left, int top, int right, int bottom);
    /// 4-connected flood fill with the brush from (x, y) (see FloodType). Returns false and
    /// paints nothing when (x, y) is outside, the start pixel does not qualify or the brush is
    /// null.
    bool ext_flood_fill(int x, int y, Colour colour, FloodType type);

    // ---- Pixels ----
    /// Colour at (x, y), or clr_invalid outside the canvas.
    Colour get_pixel(int x, int y) const;
    /// Sets (x, y) to c; returns c, or clr_invalid outside the canvas.
    Colour set_pixel(int x, int y, Colour c);

    // ---- Text (bytes are Latin-1 characters) ----
    /// Draws `text` at (x, y) placed by the alignment flags, in the text colour; with opaque
    /// mode the text's cell box is first filled with the background colour. Reports the call to
    /// the text observer.
    void text_out(int x, int y, const std::string& text);
    /// Width (sum of advances) and height of `text` in the current font.
    Size text_extent(const std::string& text) const;
    TextMetrics text_metrics() const;
    /// Called with the arguments of every text_out (the headless runner logs the text).
    void set_text_observer(std::function<void(int x, int y, const std::string& text)> observer);

    // ---- Copies and files ----
    /// Copies the w x h block at (sx, sy) of `src` to (dx, dy) (both clipped). `src` may be
    /// this canvas.
    void bit_blt(int dx, int dy, int w, int h, const Canvas& src, int sx, int sy);
    /// Writes a 24-bit bottom-up BMP (rows padded to 4 bytes), whole or not at all
    /// (sys::save_file). False, with the cause in `*error` when given, when it cannot be written.
    bool save_bmp(const std::string& path, std::string* error = nullptr) const;
    /// Writes an RGB PNG as save_bmp does; false too when PNG support was not built.
    bool save_png(const std::string& path, std::string* error = nullptr) const;
    static bool png_supported();

  private:
    int width_ = 0, height_ = 0;
    std::vector<Colour> pixels_;
    Pen pen_;
    Brush brush_;
    Font font_;
    Colour text_colour_ = black, bk_colour_ = white;
    BkMode bk_mode_ = BkMode::opaque;
    unsigned align_ = ta_left | ta_top;
    FillMode fill_mode_ = FillMode::alternate;
    Point pos_;
    std::function<void(int, int, const std::string&)> text_observer_;
    Growth growth_;
    Size cut_; ///< see cut_extent
    std::function<void(int, int)> resize_observer_;

    /// Grows a growing canvas so that it holds column right - 1 and row bottom - 1: for a
    /// request in `colour` (white grows nothing), for the points of a line or polygon, for a
    /// shape of the selected pen and brush.
    void make_room(long long right, long long bottom);
    void make_room(long long right, long long bottom, Colour colour);
    void make_room_for(const std::vector<Point>& pts, Colour colour);
    void make_room_for_shape(long long right, long long bottom);

    void span(int y, int x0, int x1, Colour c); // [x0, x1] inclusive, clipped
    void line_pixels(Point a, Point b, Colour c);
};

} // namespace gfx
