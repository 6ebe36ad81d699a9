// Export of the canvas as a 24-bit BMP and, when built with libpng, as a PNG.
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"

#include <vector>
#ifdef VELDARIN_HAVE_PNG
#include <png.h>
#endif

namespace gfx {
namespace {
void put_le(std::vector<unsigned char>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
bool empty_picture(std::string* error) {
    if (error) *error = "The picture is empty";
    return false;
}
} // namespace

bool Canvas::save_bmp(const std::string& path, std::string* error) const {
    if (width_ <= 0 || height_ <= 0) return empty_picture(error);
    const std::uint32_t row = (3u * std::uint32_t(width_) + 3u) & ~3u;
    const std::uint32_t image = row * std::uint32_t(height_);
    std::vector<unsigned char> out;
    out.reserve(54 + image);
    // File header, then the 40-byte info header: 24 bits, no compression, 96 dpi.
    out.push_back('B'), out.push_back('M');
    put_le(out, 54 + image, 4), put_le(out, 0, 4), put_le(out, 54, 4);
    put_le(out, 40, 4), put_le(out, std::uint32_t(width_), 4),
        put_le(out, std::uint32_t(height_), 4);
    put_le(out, 1, 2), put_le(out, 24, 2), put_le(out, 0, 4), put_le(out, image, 4);
    put_le(out, 3780, 4), put_le(out, 3780, 4), put_le(out, 0, 4), put_le(out, 0, 4);
    for (int y = height_ - 1; y >= 0; --y) { // bottom row first
        for (int x = 0; x < width_; ++x) {
            const Colour c = pixels_[std::size_t(y) * width_ + x];
            out.push_back(static_cast<unsigned char>(blue_of(c)));
            out.push_back(static_cast<unsigned char>(green_of(c)));
            out.push_back(static_cast<unsigned char>(red_of(c)));
        }
        out.resize(out.size() + (row - 3u * std::uint32_t(width_)), 0);
    }
    return sys::save_file(path, out.data(), out.size(), error);
}

bool Canvas::png_supported() {
#ifdef VELDARIN_HAVE_PNG
    return true;
#else
    return false;
#endif
}

bool Canvas::save_png(const std::string& path, std::string* error) const {
#ifdef VELDARIN_HAVE_PNG
    if (width_ <= 0 || height_ <= 0) return empty_picture(error);
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = png_uint_32(width_);
    img.height = png_uint_32(height_);
    img.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb;
    rgb.reserve(pixels_.size() * 3);
    for (Colour c : pixels_) {
        rgb.push_back(static_cast<unsigned char>(red_of(c)));
        rgb.push_back(static_cast<unsigned char>(green_of(c)));
        rgb.push_back(static_cast<unsigned char>(blue_of(c)));
    }
    // Encoded in memory first (the size asked, then the bytes), so that the file is saved whole.
    png_alloc_size_t size = 0;
    std::vector<unsigned char> encoded;
    bool ok = png_image_write_to_memory(&img, nullptr, &size, 0, rgb.data(), 0, nullptr) != 0;
    if (ok) {
        encoded.resize(size);
        ok = png_image_write_to_memory(&img, encoded.data(), &size, 0, rgb.data(), 0, nullptr) != 0;
    }
    png_image_free(&img);
    if (!ok) {
        if (error) *error = "The picture cannot be encoded";
        return false;
    }
    return sys::save_file(path, encoded.data(), size, error);
#else
    (void)path;
    if (error) *error = "This build cannot write PNG files";
    return false;
#endif
}

} // namespace gfx
