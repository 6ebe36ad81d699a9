// One-pixel lines, pattern lines and the outline of a pseudosection's data area.
#include "display/lines.h"

#include "model/globals.h"
#include "platform/gfx/canvas.h"

#include <cstdlib>
#include <vector>

namespace {

// The pixel line: major axis y when |dx| < |dy|, else x; max(|dx|, |dy|) + 1 pixels from
// (x1, y1) to (x2, y2), each passed to plot(x, y).
template <class Plot> int pixel_line(int x1, int y1, int x2, int y2, Plot plot) {
    const int sx = x2 >= x1 ? 1 : -1, sy = y2 >= y1 ? 1 : -1;
    const int dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
    const bool along_y = dx < dy;
    const int major = along_y ? dy : dx, minor = along_y ? dx : dy;
    int x = x1, y = y1, error = -major;
    for (int i = 0; i <= major; ++i) {
        error += 2 * minor;
        plot(x, y);
        if (error > 0) {
            error -= 2 * major;
            if (along_y)
                x += sx;
            else
                y += sy;
        }
        if (along_y)
            y += sy;
        else
            x += sx;
    }
    return major + 1;
}

struct Point {
    int x, y;
};

// draw_line six times along one edge, shifted by o = -1..4 pixels along (ox, oy).
void thick_segment(Point a, Point b, int ox, int oy, gfx::Canvas& dc) {
    for (int o = -1; o <= 4; ++o)
        draw_line(a.x + o * ox, a.y + o * oy, b.x + o * ox, b.y + o * oy, dc);
}

// Thick line through `pts`, shifted along (ox, oy).
void thick_path(const std::vector<Point>& pts, int ox, int oy, gfx::Canvas& dc) {
    for (std::size_t i = 1; i < pts.size(); ++i)
        thick_segment(pts[i - 1], pts[i], ox, oy, dc);
}

} // namespace

void draw_line(int x1, int y1, int x2, int y2, gfx::Canvas& dc) {
    if (Progdisplay.line_mode == 2) {
        const gfx::Colour c = Progdisplay.pixel_line_colour;
        pixel_line(x1, y1, x2, y2, [&](int x, int y) { dc.set_pixel(x, y, c); });
        return;
    }
    // Both directions, because line_to leaves out its end pixel.
    dc.move_to(x1, y1);
    dc.line_to(x2, y2);
    dc.move_to(x2, y2);
    dc.line_to(x1, y1);
    const gfx::Colour start = dc.get_pixel(x1, y1);
    if (start != gfx::clr_invalid) dc.set_pixel(x2, y2, start);
}

int draw_pattern_line(int x1, int y1, int x2, int y2, const std::uint16_t pattern[8],
                      gfx::Canvas& dc) {
    const gfx::Colour set = Progdisplay.background_colour;
    return pixel_line(x1, y1, x2, y2, [&](int x, int y) {
        const unsigned row = pattern[y & 7];
        dc.set_pixel(x, y, (row & (0x80u >> (x & 7))) ? set : gfx::black);
    });
}

void draw_section_outline(const std::int32_t* x, const std::int32_t* y,
                          const std::int32_t* level_start, int levels, int n, int pen_flag,
                          int shape, gfx::Canvas& dc, const gfx::Pen& first_pen,
                          const gfx::Pen& second_pen) {
    // The points (0-based, first..last) of every level that has points.
    struct Range {
        int first, last;
    };
    std::vector<Range> rows;
    for (int k = 0; k < levels; ++k) {
        const int a = level_start[k] - 1, b = level_start[k + 1] - 2;
        if (a >= 0 && b >= a && b < n) rows.push_back({a, b});
    }
    if (rows.empty()) return;
    const auto at = [&](int p) { return Point{x[p], y[p]}; };
    const auto row = [&](const Range& r) { // the level's points, 15 pixels beyond both ends
        std::vector<Point> pts{{x[r.first] - 15, y[r.first]}};
        for (int p = r.first; p <= r.last; ++p)
            pts.push_back(at(p));
        pts.push_back({x[r.last] + 15, y[r.last]});
        return pts;
    };
    const std::size_t bottom = rows.size() - 1;

    dc.select_pen(pen_flag == 1 ? first_pen : second_pen);
    thick_path(row(rows[0]), 0, -1, dc);
    thick_path(row(rows[bottom]), 0, 1, dc);
    for (std::size_t k = 0; k < bottom; ++k) {
        thick_segment(at(rows[k].first), at(rows[k + 1].first), -1, 0, dc);
        thick_segment(at(rows[k].last), at(rows[k + 1].last), 1, 0, dc);
    }
    dc.select_pen(first_pen);
    if (pen_flag == 1 || shape < 2 || shape > 4) return;

    // Thin inner outline just inside the points.
    for (std::size_t k = 0; k < bottom; ++k) {
        const int down = k == 0 ? 2 : 0, up = k + 1 == bottom ? 1 : 0;
        const Point f0 = at(rows[k].first), f1 = at(rows[k + 1].first);
        const Point l0 = at(rows[k].last), l1 = at(rows[k + 1].last);
        draw_line(f0.x + 2, f0.y + down, f1.x + 2, f1.y - up, dc);
        draw_line(l0.x - 2, l0.y + down, l1.x - 2, l1.y - up, dc);
        if (k == 0) draw_line(f0.x + 2, l0.y + 2, l0.x - 2, l0.y + 2, dc);
    }
    const Range& r = rows[bottom];
    for (int p = r.first; p < r.last; ++p)
        draw_line(x[p] + (p == r.first ? 1 : 0), y[p] - 1, x[p + 1] - 1, y[p + 1] - 1, dc);
}
