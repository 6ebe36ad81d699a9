// Drawing on the raster canvas: state, lines, rectangles, polygons, ellipses, flood fills,
// pixels and block copies.
#include "platform/gfx/canvas.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <new>
#include <utility>

namespace gfx {
namespace {
// The top byte of a colour value carries no colour (it flags palette references elsewhere).
constexpr Colour colour_bits(Colour c) {
    return c & 0x00FFFFFFu;
}
} // namespace

Canvas::Canvas(int width, int height) {
    resize(width, height);
}

void Canvas::resize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_) return;
    std::vector<Colour> next(std::size_t(width) * std::size_t(height), white);
    for (int y = 0; y < std::min(height, height_); ++y)
        std::copy_n(&pixels_[std::size_t(y) * width_], std::min(width, width_),
                    &next[std::size_t(y) * width]);
    pixels_.swap(next);
    width_ = width;
    height_ = height;
    if (resize_observer_) resize_observer_(width_, height_);
}

// ---- Growth ----

void Canvas::set_growth(const Growth& growth) {
    growth_ = growth;
    cut_ = Size{};
    if (growth_.most.cx > 0 && growth_.most.cy > 0) resize(growth_.base.cx, growth_.base.cy);
}

void Canvas::clear() {
    std::fill(pixels_.begin(), pixels_.end(), white);
    cut_ = Size{};
    if (growth_.most.cx > 0 && growth_.most.cy > 0) resize(growth_.base.cx, growth_.base.cy);
}

void Canvas::set_resize_observer(std::function<void(int, int)> observer) {
    resize_observer_ = std::move(observer);
}

void Canvas::make_room(long long right, long long bottom, Colour colour) {
    if (colour_bits(colour) != white) make_room(right, bottom);
}

void Canvas::make_room(long long right, long long bottom) {
    const Growth& g = growth_;
    if (g.most.cx <= 0 || g.most.cy <= 0 || (right <= width_ && bottom <= height_)) return;
    // Whole steps: a picture drawn row by row from the top copies the canvas a few times only.
    const auto side = [](long long now, long long need, int step, int most) {
        if (need <= now) return now;
        return std::max(now, std::min<long long>(most, std::max(need, now + std::max(1, step))));
    };
    long long w = side(width_, right, g.base.cx / 4, g.most.cx);
    long long h = side(height_, bottom, g.base.cy / 4, g.most.cy);
    // Within the pixel budget the height gives way first, then the width.
    if (g.most_pixels > 0 && w * h > g.most_pixels)
        h = std::max<long long>(height_, g.most_pixels / w);
    if (g.most_pixels > 0 && w * h > g.most_pixels)
        w = std::max<long long>(width_, g.most_pixels / h);
    if (w != width_ || h != height_) {
        try {
            resize(int(w), int(h));
        } catch (const std::bad_alloc&) {
            // No memory for a larger picture: the request is clipped as on a fixed canvas.
        }
    }
    if (right > width_ || bottom > height_)
        cut_ = {int(std::min<long long>(INT_MAX, std::max<long long>({right, width_, cut_.cx}))),
                int(std::min<long long>(INT_MAX, std::max<long long>({bottom, height_, cut_.cy})))};
}

void Canvas::make_room_for(const std::vector<Point>& pts, Colour colour) {
    if (pts.empty() || colour_bits(colour) == white) return;
    long long right = pts[0].x, bottom = pts[0].y;
    for (const Point& p : pts)
        right = std::max<long long>(right, p.x), bottom = std::max<long long>(bottom, p.y);
    make_room(right + 1, bottom + 1);
}

void Canvas::make_room_for_shape(long long right, long long bottom) {
    if (!pen_.null) make_room(right, bottom, pen_.colour);
    if (!brush_.null) make_room(right, bottom, brush_.colour);
}

// ---- State ----

Pen Canvas::select_pen(const Pen& pen) {
    Pen old = pen_;
    pen_ = {colour_bits(pen.colour), pen.null};
    return old;
}
Brush Canvas::select_brush(const Brush& brush) {
    Brush old = brush_;
    brush_ = {colour_bits(brush.colour), brush.null};
    return old;
}
Font Canvas::select_font(const Font& font) {
    Font old = font_;
    font_ = font;
    return old;
}
Colour Canvas::set_text_colour(Colour c) {
    return std::exchange(text_colour_, colour_bits(c));
}
Colour Canvas::set_bk_colour(Colour c) {
    return std::exchange(bk_colour_, colour_bits(c));
}
BkMode Canvas::set_bk_mode(BkMode mode) {
    return std::exchange(bk_mode_, mode);
}
unsigned Canvas::set_text_align(unsigned flags) {
    return std::exchange(align_, flags);
}
FillMode Canvas::set_poly_fill_mode(FillMode mode) {
    return std::exchange(fill_mode_, mode);
}

// ---- Pixels ----

Colour Canvas::get_pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return clr_invalid;
    return pixels_[std::size_t(y) * width_ + x];
}

Colour Canvas::set_pixel(int x, int y, Colour c) {
    make_room((long long)x + 1, (long long)y + 1, c);
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return clr_invalid;
    return pixels_[std::size_t(y) * width_ + x] = colour_bits(c);
}

void Canvas::span(int y, int x0, int x1, Colour c) {
    if (y < 0 || y >= height_) return;
    x0 = std::max(x0, 0);
    x1 = std::min(x1, width_ - 1);
    if (x0 <= x1)
        std::fill(&pixels_[std::size_t(y) * width_ + x0],
                  &pixels_[std::size_t(y) * width_ + x1] + 1, c);
}

void Canvas::fill_rect(const Rect& r, Colour c) {
    if (r.left < r.right && r.top < r.bottom) make_room(r.right, r.bottom, c);
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, height_); ++y)
        span(y, r.left, r.right - 1, colour_bits(c));
}

void Canvas::pat_blt(int x, int y, int w, int h, Rop rop) {
    if (rop == Rop::patcopy && brush_.null) return;
    const Colour c = rop == Rop::whiteness ? white : rop == Rop::blackness ? black : brush_.colour;
    Rect r{x, y, x + w, y + h};
    if (w < 0) std::swap(r.left, r.right);
    if (h < 0) std::swap(r.top, r.bottom);
    fill_rect(r, c);
}

// ---- Lines ----

// Pixel k of the line a -> b (k = 0 .. n-1, n = the longer extent, b left out) is the pixel
// nearest to the true line on step k of the longer axis, computed directly rather than
// incrementally so that only the steps inside the canvas are visited.
void Canvas::line_pixels(Point a, Point b, Colour c) {
    const long long dx = (long long)b.x - a.x, dy = (long long)b.y - a.y;
    const long long adx = std::llabs(dx), ady = std::llabs(dy);
    const bool x_major = adx >= ady;
    const long long n = x_major ? adx : ady, minor = x_major ? ady : adx;
    const int smaj = (x_major ? dx : dy) < 0 ? -1 : 1, smin = (x_major ? dy : dx) < 0 ? -1 : 1;
    const long long start = x_major ? a.x : a.y, limit = x_major ? width_ : height_;
    // Steps whose major coordinate lies inside the canvas.
    long long k0 = smaj > 0 ? -start : start - (limit - 1);
    long long k1 = smaj > 0 ? limit - 1 - start : start;
    k0 = std::max(k0, 0LL);
    k1 = std::min(k1, n - 1);
    for (long long k = k0; k <= k1; ++k) {
        const long long major = start + smaj * k;
        const long long off = (2 * k * minor + n) / (2 * n);
        const long long other = (x_major ? a.y : a.x) + smin * off;
        const long long x = x_major ? major : other, y = x_major ? other : major;
        if (x >= 0 && y >= 0 && x < width_ && y < height_)
            pixels_[std::size_t(y) * width_ + std::size_t(x)] = c;
    }
}

Point Canvas::move_to(int x, int y) {
    return std::exchange(pos_, Point{x, y});
}

void Canvas::line_to(int x, int y) {
    if (!pen_.null) {
        make_room(std::max(pos_.x, x) + 1LL, std::max(pos_.y, y) + 1LL, pen_.colour);
        line_pixels(pos_, {x, y}, pen_.colour);
    }
    pos_ = {x, y};
}

void Canvas::polyline(const std::vector<Point>& pts) {
    if (pen_.null) return;
    make_room_for(pts, pen_.colour);
    for (std::size_t i = 1; i < pts.size(); ++i)
        line_pixels(pts[i - 1], pts[i], pen_.colour);
}

// ---- Shapes ----

void Canvas::rectangle(int left, int top, int right, int bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (left == right || top == bottom) return;
    make_room_for_shape(right, bottom);
    int inset = 0;
    if (!pen_.null) {
        inset = 1;
        span(top, left, right - 1, pen_.colour);
        span(bottom - 1, left, right - 1, pen_.colour);
        // Only the rows inside the canvas: a rectangle may reach far beyond it.
        for (int y = std::max(top + 1, 0); y < std::min(bottom - 1, height_); ++y) {
            set_pixel(left, y, pen_.colour);
            set_pixel(right - 1, y, pen_.colour);
        }
    }
    if (!brush_.null)
        fill_rect({left + inset, top + inset, right - inset, bottom - inset}, brush_.colour);
}

void Canvas::polygon(const std::vector<Point>& pts) {
    const std::size_t n = pts.size();
    if (n >= 3 && !brush_.null) make_room_for(pts, brush_.colour);
    if (n >= 2 && !pen_.null) make_room_for(pts, pen_.colour);
    if (n >= 3 && !brush_.null) {
        int ymin = pts[0].y, ymax = pts[0].y;
        for (const Point& p : pts)
            ymin = std::min(ymin, p.y), ymax = std::max(ymax, p.y);
        std::vector<std::pair<double, int>> cross; // x of an edge on the row, its direction
        for (int y = std::max(ymin, 0); y <= std::min(ymax, height_ - 1); ++y) {
            cross.clear();
            for (std::size_t i = 0; i < n; ++i) {
                const Point &p = pts[i], &q = pts[(i + 1) % n];
                // Each edge covers the rows [its top, its bottom): a vertex is counted once.
                if ((p.y <= y && y < q.y) || (q.y <= y && y < p.y))
                    cross.push_back({p.x + double(y - p.y) * (q.x - p.x) / double(q.y - p.y),
                                     q.y > p.y ? 1 : -1});
            }
            std::sort(cross.begin(), cross.end());
            // Pixel centres inside or on the boundary are filled, so the fill reaches the
            // outline pixels, which lie within half a pixel of the boundary.
            int wind = 0;
            for (std::size_t i = 0; i + 1 < cross.size(); ++i) {
                wind = fill_mode_ == FillMode::alternate ? (wind ^ 1) : wind + cross[i].second;
                if (wind != 0)
                    span(y, int(std::ceil(cross[i].first)), int(std::floor(cross[i + 1].first)),
                         brush_.colour);
            }
        }
    }
    if (!pen_.null && n >= 2)
        for (std::size_t i = 0; i < n; ++i)
            line_pixels(pts[i], pts[(i + 1) % n], pen_.colour);
}

void Canvas::ellipse(int left, int top, int right, int bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (left == right || top == bottom) return;
    make_room_for_shape(right, bottom);
    const double cx = 0.5 * (left + right - 1), cy = 0.5 * (top + bottom - 1);
    const double rx = 0.5 * (right - left), ry = 0.5 * (bottom - top);
    // Row y holds the pixel centres inside the ellipse, columns first(y) .. last(y).
    auto row = [&](int y, int& first, int& last) {
        first = 1, last = 0;
        if (y < top || y >= bottom) return;
        const double t = (y - cy) / ry, hw = rx * std::sqrt(std::max(0.0, 1.0 - t * t));
        first = int(std::ceil(cx - hw));
        last = int(std::floor(cx + hw));
    };
    // A pixel of the shape with a 4-neighbour outside it is an outline pixel.
    for (int y = std::max(top, 0); y < std::min(bottom, height_); ++y) {
        int f, l, fa, la, fb, lb;
        row(y, f, l);
        row(y - 1, fa, la);
        row(y + 1, fb, lb);
        for (int x = std::max(f, 0); x <= std::min(l, width_ - 1); ++x) {
            const bool edge = x == f || x == l || x < fa || x > la || x < fb || x > lb;
            if (edge && !pen_.null)
                pixels_[std::size_t(y) * width_ + x] = pen_.colour;
            else if (!brush_.null)
                pixels_[std::size_t(y) * width_ + x] = brush_.colour;
        }
    }
}

bool Canvas::ext_flood_fill(int x, int y, Colour colour, FloodType type) {
    colour = colour_bits(colour);
    auto fills = [&](Colour p) { return type == FloodType::border ? p != colour : p == colour; };
    if (brush_.null || get_pixel(x, y) == clr_invalid || !fills(get_pixel(x, y))) return false;
    // Scan-line fill with an explicit stack; `done` keeps painted pixels from being visited
    // again when the brush colour itself qualifies.
    std::vector<unsigned char> done(pixels_.size(), 0);
    auto open = [&](int px, int py) {
        const std::size_t i = std::size_t(py) * width_ + px;
        return !done[i] && fills(pixels_[i]);
    };
    std::vector<Point> stack{{x, y}};
    while (!stack.empty()) {
        const Point p = stack.back();
        stack.pop_back();
        if (!open(p.x, p.y)) continue;
        int x0 = p.x, x1 = p.x;
        while (x0 > 0 && open(x0 - 1, p.y))
            --x0;
        while (x1 < width_ - 1 && open(x1 + 1, p.y))
            ++x1;
        for (int i = x0; i <= x1; ++i)
            done[std::size_t(p.y) * width_ + i] = 1;
        span(p.y, x0, x1, brush_.colour);
        for (int ny : {p.y - 1, p.y + 1}) {
            if (ny < 0 || ny >= height_) continue;
            for (int i = x0; i <= x1; ++i)
                if (open(i, ny) && (i == x0 || !open(i - 1, ny))) stack.push_back({i, ny});
        }
    }
    return true;
}

void Canvas::bit_blt(int dx, int dy, int w, int h, const Canvas& src, int sx, int sy) {
    // Room for the part of the block the source has, whatever its colours.
    if (sx < src.width_ && sy < src.height_)
        make_room((long long)dx + std::min<long long>(w, (long long)src.width_ - sx),
                  (long long)dy + std::min<long long>(h, (long long)src.height_ - sy));
    // Clip the block to both canvases; a copy within one canvas goes through a buffer.
    const int x0 = std::max({0, -dx, -sx}), y0 = std::max({0, -dy, -sy});
    const int x1 = std::min({w, width_ - dx, src.width_ - sx});
    const int y1 = std::min({h, height_ - dy, src.height_ - sy});
    if (x0 >= x1 || y0 >= y1) return;
    std::vector<Colour> block;
    const std::vector<Colour>* from = &src.pixels_;
    if (&src == this) {
        block = pixels_;
        from = &block;
    }
    for (int j = y0; j < y1; ++j)
        std::copy_n(&(*from)[std::size_t(sy + j) * src.width_ + (sx + x0)], x1 - x0,
                    &pixels_[std::size_t(dy + j) * width_ + (dx + x0)]);
}

} // namespace gfx
