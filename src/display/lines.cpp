// One-pixel lines, pattern lines and the outline of a pseudosection's data area.
#include "display/lines.h"

#include "display/pseudosection.h"

#include "model/globals.h"
#include "platform/gfx/canvas.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <utility>
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
    // The points (0-based, first..last) of the first and the last level that have points.
    struct Range {
        int first, last;
    };
    std::vector<Range> rows;
    for (int k = 0; k < levels; ++k) {
        const int a = level_start[k] - 1, b = level_start[k + 1] - 2;
        if (a >= 0 && b >= a && b < n) rows.push_back({a, b});
    }
    if (rows.empty()) return;
    const Range top = rows.front(), bottom = rows.back();
    const auto at = [&](int p) { return Point{x[p], y[p]}; };
    const auto row = [&](const Range& r) { // the level's points, 15 pixels beyond both ends
        std::vector<Point> pts{{x[r.first] - 15, y[r.first]}};
        for (int p = r.first; p <= r.last; ++p)
            pts.push_back(at(p));
        pts.push_back({x[r.last] + 15, y[r.last]});
        return pts;
    };
    // The sides: the lower boundary of the data area from the first level's ends down to the
    // last level's (the outermost level ends; the levels' own ends where each level nests in
    // the one above).
    const std::vector<int> front = section_mesh(x, level_start, levels, n).front;
    std::vector<int> left_points, right_points;
    bool past_bottom = false;
    for (int p : front) {
        if (p == bottom.first) left_points.push_back(p);
        if (p >= bottom.first && p <= bottom.last) {
            past_bottom = true;
            if (p == bottom.last) right_points.push_back(p);
            continue;
        }
        (past_bottom ? right_points : left_points).push_back(p);
    }
    // A level reaching past the first level's end covered it: the side starts there all the same.
    if (left_points.front() != top.first) left_points.insert(left_points.begin(), top.first);
    if (right_points.back() != top.last) right_points.push_back(top.last);
    std::vector<Point> left, right;
    for (int p : left_points)
        left.push_back(at(p));
    for (int p : right_points)
        right.push_back(at(p));

    dc.select_pen(pen_flag == 1 ? first_pen : second_pen);
    thick_path(row(top), 0, -1, dc);
    thick_path(row(bottom), 0, 1, dc);
    thick_path(left, -1, 0, dc);
    thick_path(right, 1, 0, dc);
    dc.select_pen(first_pen);
    if (pen_flag == 1 || shape < 2 || shape > 4) return;

    // Thin inner outline just inside the points.
    for (std::size_t k = 0; k + 1 < left.size(); ++k) {
        const int down = k == 0 ? 2 : 0, up = k + 2 == left.size() ? 1 : 0;
        draw_line(left[k].x + 2, left[k].y + down, left[k + 1].x + 2, left[k + 1].y - up, dc);
    }
    for (std::size_t k = right.size(); k-- > 1;) {
        const int down = k + 1 == right.size() ? 2 : 0, up = k == 1 ? 1 : 0;
        draw_line(right[k].x - 2, right[k].y + down, right[k - 1].x - 2, right[k - 1].y - up, dc);
    }
    if (rows.size() > 1)
        draw_line(x[top.first] + 2, y[top.last] + 2, x[top.last] - 2, y[top.last] + 2, dc);
    for (int p = bottom.first; p < bottom.last; ++p)
        draw_line(x[p] + (p == bottom.first ? 1 : 0), y[p] - 1, x[p + 1] - 1, y[p + 1] - 1, dc);
}

std::vector<bool> thinned_lines(const std::vector<int>& pos, int origin) {
    const int n = int(pos.size());
    std::vector<bool> keep(pos.size(), true);
    if (n < 3) return keep;
    const double pitch = double(pos[n - 1] - pos[0]) / double(n - 1);
    long long step = 1;
    while (step < n && double(step) * pitch < double(least_line_gap))
        step *= 2;
    int last = pos[0];
    for (int i = 1; i < n - 1; ++i) {
        const bool candidate = ((long long)(i - origin) % step + step) % step == 0;
        keep[i] =
            candidate && pos[i] - last >= least_line_gap && pos[n - 1] - pos[i] >= least_line_gap;
        if (keep[i]) last = pos[i];
    }
    return keep;
}

std::vector<bool> thinned_marks(const int* x, const int* y, int n) {
    std::vector<bool> keep(std::size_t(std::max(0, n)), false);
    // Marks by cells of least_line_gap pixels: one a cell at most, and a mark closer than the
    // gap lies in the same cell or a neighbouring one.
    std::unordered_map<long long, std::pair<int, int>> marks;
    const auto cell = [](long long cx, long long cy) { return cx * 2147483647LL + cy; };
    const auto floor_div = [](int v) {
        return v >= 0 ? v / least_line_gap : -((-v + least_line_gap - 1) / least_line_gap);
    };
    for (int i = 0; i < n; ++i) {
        const int cx = floor_div(x[i]), cy = floor_div(y[i]);
        bool near = false;
        for (int dx = -1; dx <= 1 && !near; ++dx)
            for (int dy = -1; dy <= 1 && !near; ++dy) {
                const auto it = marks.find(cell(cx + dx, cy + dy));
                near = it != marks.end() && std::abs(it->second.first - x[i]) < least_line_gap &&
                       std::abs(it->second.second - y[i]) < least_line_gap;
            }
        if (near) continue;
        marks[cell(cx, cy)] = {x[i], y[i]};
        keep[std::size_t(i)] = true;
    }
    return keep;
}
