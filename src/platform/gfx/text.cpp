// Text on the raster canvas: placement by the alignment flags, opaque background, monochrome
// glyphs, extents and metrics.
#include "fonts.h"

#include <algorithm>

namespace gfx {

Size Canvas::text_extent(const std::string& text) const {
    const detail::FontFace& face = detail::font_face(font_);
    Size s{0, face.metrics().height};
    for (unsigned char ch : text)
        s.cx += face.glyph(ch).advance;
    return s;
}

TextMetrics Canvas::text_metrics() const {
    return detail::font_face(font_).metrics();
}

void Canvas::set_text_observer(std::function<void(int, int, const std::string&)> observer) {
    text_observer_ = std::move(observer);
}

void Canvas::text_out(int x, int y, const std::string& text) {
    if (text_observer_) text_observer_(x, y, text);
    const detail::FontFace& face = detail::font_face(font_);
    const TextMetrics& tm = face.metrics();
    const Size ext = text_extent(text);
    // The cell box of the whole text: [left, left + cx) x [top, top + height).
    int left = x, top = y;
    if ((align_ & ta_center) == ta_center)
        left -= ext.cx / 2;
    else if (align_ & ta_right)
        left -= ext.cx;
    if ((align_ & ta_baseline) == ta_baseline)
        top -= tm.ascent;
    else if (align_ & ta_bottom)
        top -= tm.height;
    const Rect box{left, top, left + ext.cx, top + tm.height};
    if (!text.empty()) make_room(box.right, box.bottom, text_colour_);
    if (bk_mode_ == BkMode::opaque) fill_rect(box, bk_colour_);

    // Glyph pixels are kept inside the cell box, so text never paints outside what an opaque
    // background would cover.
    const int baseline = top + tm.ascent;
    int pen_x = left;
    for (unsigned char ch : text) {
        const detail::Glyph& g = face.glyph(ch);
        for (int r = 0; r < g.rows; ++r) {
            const int py = baseline - g.top + r;
            if (py < std::max(box.top, 0) || py >= std::min(box.bottom, height_)) continue;
            for (int c = 0; c < g.width; ++c) {
                const int px = pen_x + g.left + c;
                if (g.mask[std::size_t(r) * g.width + c] && px >= std::max(box.left, 0) &&
                    px < std::min(box.right, width_))
                    pixels_[std::size_t(py) * width_ + px] = text_colour_;
            }
        }
        pen_x += g.advance;
    }
}

} // namespace gfx
