// Process-wide cache of FreeType faces and monochrome glyphs behind the canvas fonts.
#pragma once

#include "platform/gfx/canvas.h"

namespace gfx::detail {

/// One glyph as a 1-bit-per-pixel mask (one byte a pixel, 0 or 1), placed relative to the pen
/// position on the baseline: columns left .. left+width-1, rows top_from_baseline above it.
struct Glyph {
    int left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<unsigned char> mask;
};

/// A font resolved to a face and a pixel size. Lives as long as the process.
class FontFace {
  public:
    virtual ~FontFace() = default;
    virtual const TextMetrics& metrics() const = 0;
    /// The glyph of Latin-1 byte `ch`; the returned reference stays valid.
    virtual const Glyph& glyph(unsigned char ch) const = 0;
};

/// The cached face for `font` (never null; without a font file it measures an 8 x 16 cell and
/// its glyphs are empty).
const FontFace& font_face(const Font& font);

} // namespace gfx::detail
