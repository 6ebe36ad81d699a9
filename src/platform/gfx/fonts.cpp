// FreeType faces for the canvas fonts, opened once a process and shared, with their glyphs
// rendered as monochrome masks on first use.
#include "fonts.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

namespace gfx::detail {
namespace {

std::recursive_mutex cache_mutex; // guards everything below and FreeType itself

/// Path of the font file `name` under /usr/share/fonts, "" when there is none.
std::string find_font_file(const std::string& name) {
    static std::map<std::string, std::string> found;
    auto it = found.find(name);
    if (it != found.end()) return it->second;
    std::string path;
    std::error_code ec;
    namespace fs = std::filesystem;
    for (fs::recursive_directory_iterator d("/usr/share/fonts", ec), end; !ec && d != end;
         d.increment(ec))
        if (d->path().filename() == name) {
            path = d->path().string();
            break;
        }
    return found[name] = path;
}

FT_Library library() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        return FT_Init_FreeType(&l) == 0 ? l : nullptr;
    }();
    return lib;
}

// The Latin letters of the symbol face show the Greek letters at the same keys.
unsigned symbol_code_point(unsigned char ch) {
    static const unsigned upper[26] = {
        0x391, 0x392, 0x3A7, 0x394, 0x395, 0x3A6, 0x393, 0x397, 0x399, 0x3D1, 0x39A, 0x39B, 0x39C,
        0x39D, 0x39F, 0x3A0, 0x398, 0x3A1, 0x3A3, 0x3A4, 0x3A5, 0x3C2, 0x3A9, 0x39E, 0x3A8, 0x396};
    static const unsigned lower[26] = {
        0x3B1, 0x3B2, 0x3C7, 0x3B4, 0x3B5, 0x3C6, 0x3B3, 0x3B7, 0x3B9, 0x3D5, 0x3BA, 0x3BB, 0x3BC,
        0x3BD, 0x3BF, 0x3C0, 0x3B8, 0x3C1, 0x3C3, 0x3C4, 0x3C5, 0x3D6, 0x3C9, 0x3BE, 0x3C8, 0x3B6};
    if (ch >= 'A' && ch <= 'Z') return upper[ch - 'A'];
    if (ch >= 'a' && ch <= 'z') return lower[ch - 'a'];
    return ch;
}

class FreeTypeFace : public FontFace {
  public:
    FreeTypeFace(FT_Face face, bool fixed_cell, bool symbol, int height)
        : face_(face), fixed_(fixed_cell), symbol_(symbol) {
        if (!face_ || fixed_) {
            // The fixed font: 14-pixel glyphs in an 8 x 16 cell with the baseline 13 down.
            tm_ = TextMetrics{};
            if (face_) FT_Set_Pixel_Sizes(face_, 0, 14);
            return;
        }
        // The cell height is ascent + descent of the face, as the window system sizes fonts.
        const double asc = face_->ascender, desc = -face_->descender;
        const double em = face_->units_per_EM;
        const int ppem = std::max(1, int(std::lround(height * em / (asc + desc))));
        FT_Set_Pixel_Sizes(face_, 0, FT_UInt(ppem));
        tm_.height = height;
        tm_.ascent = int(std::lround(height * asc / (asc + desc)));
        tm_.descent = height - tm_.ascent;
        const TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        tm_.ave_char_width = os2 && os2->xAvgCharWidth > 0
                                 ? int(std::lround(os2->xAvgCharWidth * ppem / em))
                                 : glyph('x').advance;
        tm_.max_char_width = int(std::lround(face_->max_advance_width * ppem / em));
    }
    const TextMetrics& metrics() const override { return tm_; }
    const Glyph& glyph(unsigned char ch) const override {
        std::lock_guard<std::recursive_mutex> lock(cache_mutex);
        std::unique_ptr<Glyph>& g = glyphs_[ch];
        if (!g) g = render(ch);
        return *g;
    }

  private:
    FT_Face face_;
    bool fixed_, symbol_;
    TextMetrics tm_;
    mutable std::unique_ptr<Glyph> glyphs_[256];

    std::unique_ptr<Glyph> render(unsigned char ch) const {
        auto g = std::make_unique<Glyph>();
        g->advance = fixed_ || !face_ ? tm_.ave_char_width : 0;
        if (!face_) return g;
        const unsigned cp = symbol_ ? symbol_code_point(ch) : ch;
        if (FT_Load_Char(face_, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) return g;
        const FT_GlyphSlot s = face_->glyph;
        const FT_Bitmap& b = s->bitmap;
        if (!fixed_) g->advance = int((s->advance.x + 32) >> 6);
        g->left = s->bitmap_left;
        g->top = s->bitmap_top;
        g->width = int(b.width);
        g->rows = int(b.rows);
        g->mask.assign(std::size_t(g->width) * g->rows, 0);
        for (int r = 0; r < g->rows; ++r) {
            const unsigned char* line = b.buffer + std::ptrdiff_t(r) * b.pitch;
            for (int c = 0; c < g->width; ++c)
                g->mask[std::size_t(r) * g->width + c] = b.pixel_mode == FT_PIXEL_MODE_MONO
                                                             ? (line[c >> 3] >> (7 - (c & 7))) & 1
                                                             : line[c] >= 128;
        }
        return g;
    }
};

std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

/// A new face of the font file `file` (else `fallback`); each cached font owns its face because
/// a face holds one pixel size.
FT_Face open_face(const std::string& file, const std::string& fallback) {
    std::string path = find_font_file(file);
    if (path.empty() && !fallback.empty()) path = find_font_file(fallback);
    if (path.empty() || !library()) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(library(), path.c_str(), 0, &face) != 0) return nullptr;
    return face;
}

} // namespace

const FontFace& font_face(const Font& font) {
    std::lock_guard<std::recursive_mutex> lock(cache_mutex);
    static std::map<std::tuple<std::string, int, bool>, std::unique_ptr<FontFace>> cache;
    const std::string face = lower(font.face);
    const bool fixed = face.empty() || face == "fixed";
    const int height = fixed ? 16 : std::max(1, std::abs(font.height));
    auto key = std::make_tuple(fixed ? std::string("fixed") : face, height, font.bold);
    std::unique_ptr<FontFace>& entry = cache[key];
    if (!entry) {
        const std::string b = font.bold ? "-Bold" : "";
        const std::string sans = "DejaVuSans" + b + ".ttf";
        FT_Face f = nullptr;
        if (fixed)
            f = open_face("DejaVuSansMono" + b + ".ttf", "DejaVuSansMono.ttf");
        else if (face == "arial")
            f = open_face(
                std::string("LiberationSans-") + (font.bold ? "Bold" : "Regular") + ".ttf", sans);
        else
            f = open_face(sans, "DejaVuSans.ttf");
        entry = std::make_unique<FreeTypeFace>(f, fixed, face == "symbol", height);
    }
    return *entry;
}

} // namespace gfx::detail
