// The pseudosection plot: triangulation of the data levels, contour filling and the axes.
#include "display/pseudosection.h"

#include "display/contour_fill.h"
#include "display/contour_levels.h"
#include "display/layout.h"
#include "display/lines.h"
#include "display/polygon_fill.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

int pseudosection_capacity(int ndata) {
    const long long c = ndata > 3000 ? 9LL * ndata + 1000 : 18LL * ndata + 1000;
    return int(std::clamp(c, 5000LL, 1LL << 30));
}

namespace {

// The triangles joining two rows of points given by their numbers (x increasing in each).
std::vector<std::array<int, 3>> row_pair_triangles(const int* px, const std::vector<int>& upper,
                                                   const std::vector<int>& lower) {
    std::vector<std::array<int, 3>> t;
    const int n_upper = int(upper.size()), n_lower = int(lower.size());
    if (n_upper <= 0 || n_lower <= 0 || (n_upper == 1 && n_lower == 1)) return t;
    const bool upper_long = n_upper >= n_lower;
    const std::vector<int>& long_row = upper_long ? upper : lower;
    const std::vector<int>& short_row = upper_long ? lower : upper;
    const int nl = int(long_row.size()), ns = int(short_row.size());
    const auto L = [&](int i) { return long_row[std::size_t(i - 1)]; }; // 1-based
    const auto S = [&](int j) { return short_row[std::size_t(j - 1)]; };
    // The short-row point nearest to the middle of each long-row segment.
    std::vector<int> near(std::size_t(nl), 1);
    for (int i = 1; i <= nl - 1; ++i) {
        const float middle = 0.5f * float(px[L(i)] + px[L(i + 1)]);
        int j = 1;
        while (j < ns &&
               std::fabs(float(px[S(j + 1)]) - middle) < std::fabs(float(px[S(j)]) - middle))
            ++j;
        near[i - 1] = j;
        t.push_back({L(i), L(i + 1), S(j)});
    }
    const auto short_segments = [&](int from, int to, int apex) {
        for (int j = from; j < to; ++j)
            t.push_back({S(j), S(j + 1), L(apex)});
    };
    short_segments(1, near[0], 1);
    int used = near[0];
    for (int i = 2; i <= nl - 1; ++i)
        if (near[i - 1] > used) {
            short_segments(used, near[i - 1], i);
            used = near[i - 1];
        }
    short_segments(used, ns, nl);
    return t;
}

std::vector<int> numbers(int first, int count) {
    std::vector<int> v(std::size_t(std::max(0, count)));
    for (int i = 0; i < count; ++i)
        v[std::size_t(i)] = first + i;
    return v;
}

} // namespace

std::vector<std::array<int, 3>> level_pair_triangles(const int* px, int upper_start, int n_upper,
                                                     int lower_start, int n_lower) {
    return row_pair_triangles(px, numbers(upper_start, n_upper), numbers(lower_start, n_lower));
}

SectionMesh section_mesh(const int* px, const std::int32_t* level_start, int levels, int n) {
    SectionMesh mesh;
    int prev_left = 0, prev_right = 0;
    for (int k = 1; k <= levels; ++k) {
        const int first = level_start[k - 1] - 1, count = level_start[k] - level_start[k - 1];
        if (first < 0 || count <= 0 || first + count > n) continue;
        const std::vector<int> row = numbers(first, count);
        const int left = px[row.front()], right = px[row.back()];
        if (mesh.front.empty()) {
            mesh.front = row;
            prev_left = left, prev_right = right;
            continue;
        }
        const std::vector<int>& f = mesh.front;
        const auto x = [&](std::size_t i) { return px[f[i]]; };
        // The front over the previous level's extent and this one's, and one point of an
        // earlier level beyond an end where this level reaches past the front's points there.
        const int lo = std::min(left, prev_left), hi = std::max(right, prev_right);
        std::size_t a = 0, b = f.size() - 1;
        while (a < f.size() && x(a) < lo)
            ++a;
        while (b > 0 && x(b) > hi)
            --b;
        if (a >= f.size() || b < a) { // no front point over the level: its nearest ones
            a = std::min(a, f.size() - 1);
            b = a;
        }
        if (a > 0 && left < x(a)) --a;
        if (b + 1 < f.size() && right > x(b)) ++b;
        const std::vector<int> upper(f.begin() + std::ptrdiff_t(a),
                                     f.begin() + std::ptrdiff_t(b) + 1);
        const auto t = row_pair_triangles(px, upper, row);
        mesh.triangles.insert(mesh.triangles.end(), t.begin(), t.end());
        // The joined front's end points stay on the lower boundary unless the level reaches
        // past them; what lies between them is covered now, and the level takes its place.
        const std::size_t head = x(a) <= left ? a + 1 : a, tail = x(b) >= right ? b : b + 1;
        std::vector<int> next(f.begin(), f.begin() + std::ptrdiff_t(head));
        next.insert(next.end(), row.begin(), row.end());
        next.insert(next.end(), f.begin() + std::ptrdiff_t(tail), f.end());
        mesh.front = std::move(next);
        prev_left = left, prev_right = right;
    }
    return mesh;
}

namespace {

std::string number_text(float value, int decimals) {
    char text[64];
    format_axis_number(text, sizeof text, value, decimals);
    return text;
}

// Decimals of a colour-bar value below 100 (scaled by 1000 in reciprocal mode).
int bar_decimals(float v) {
    v = std::fabs(v);
    if (v < 0.01f) return 5;
    if (v < 0.1f) return 4;
    if (v < 1.0f) return 3;
    if (v < 10.0f) return 2;
    return 1;
}

// The pixels of the points and the section's frame.
struct Frame {
    std::vector<int> ix, iy;         // per point
    std::vector<std::int32_t> start; // 1-based first point of each level, then ndata + 1
    int left = 0, top = 0, right = 0, bottom = 0, width = 0, height = 0;
    int cw = 8, ch = 16;
};

Frame frame_of(const PseudosectionInput& in, const gfx::Canvas& dc) {
    Frame f;
    const float vz = in.vertical_factor > 0.0f && in.vertical_factor != 1.0f
                         ? in.xscale / in.vertical_factor
                         : in.xscale;
    f.left = in.left;
    f.top = in.top;
    f.width = round_to_int(float(std::max(1, in.nelec - 1)) * in.xscale);
    f.right = f.left + f.width;
    f.ix.resize(std::size_t(in.ndata));
    f.iy.resize(std::size_t(in.ndata));
    int deepest = in.top;
    for (int i = 0; i < in.ndata; ++i) {
        f.ix[i] = std::clamp(round_to_int(in.x[i] * in.xscale + float(in.left)), f.left, f.right);
        f.iy[i] = round_to_int(in.depth[i] * vz + float(in.top));
        deepest = std::max(deepest, f.iy[i]);
    }
    f.height = deepest - in.top + 1;
    f.bottom = f.top + f.height;
    f.start.assign(std::size_t(in.ndata_levels) + 1, 1);
    for (int k = 1; k <= in.ndata_levels; ++k)
        f.start[k] = f.start[k - 1] + std::max(0, in.level_counts[k - 1]);
    const gfx::TextMetrics tm = dc.text_metrics();
    f.cw = tm.ave_char_width;
    f.ch = tm.height;
    return f;
}

// Step 2 of the drawing pass: the title left of (or over) the section.
void left_title(const PseudosectionInput& in, const Frame& f, gfx::Canvas& dc) {
    std::string text;
    if (in.kind == 0) {
        const bool na = in.na_labels == 1 && in.ndata > 0 && in.n_factors &&
                        in.n_factors[in.ndata - 1] != 1.0f &&
                        (in.array_type == 5 || in.array_type == 6 || in.array_type == 7);
        text = na ? "n,a" : "n";
        dc.text_out(f.left - (int(text.size()) + 3) * f.cw - 3, f.top - 2 * f.ch, text);
    } else if (in.kind == 1) {
        text = "Ps.Z";
        dc.text_out(std::max(1, f.left - (int(text.size()) + 3) * f.cw - 3), f.top - 2 * f.ch,
                    text);
    } else {
        char line[96];
        const bool percent = in.quantity == 0;
        std::snprintf(line, sizeof line,
                      percent ? "Iteration %d RMS error = %3.1f %%"
                              : "Iteration %d RMS error = %3.1f",
                      in.iteration, double(percent ? in.misfit * 100.0f : in.misfit));
        dc.text_out(f.left, f.top - 2 * f.ch - 8, line);
        text = "Depth";
        dc.text_out(std::max(1, f.left - (int(text.size()) + 3) * f.cw - 4), f.top - 2 * f.ch,
                    text);
    }
}

// Step 4: the colour bar with its values, the unit spacing and the caption. Returns the row
// below the captions.
int colour_bar(const PseudosectionInput& in, const Frame& f, gfx::Canvas& dc) {
    const ProgDisplay& d = Progdisplay;
    std::string caption = in.caption;
    if (in.reciprocal == 1) caption += " x 0.001";
    const bool large = in.canvas_width > 680;
    const int bw = large ? 30 : 25, bh = large ? 16 : 10;
    const int box_top = f.bottom + f.ch + 6;
    int x = 24;
    for (int k = 1; k <= in.nlevels + 1; ++k, x += bw + 7) {
        dc.select_brush(d.brushes[std::clamp(k - 1, 0, 31)]);
        dc.select_pen(d.pens[24]);
        dc.rectangle(x, box_top, x + bw, box_top + bh);
        if (k % 2 == 0 || k == in.nlevels + 1) continue;
        const float level = in.levels[k - 1];
        std::string text;
        if (std::fabs(level) >= 100.0f) {
            text = number_text(level, 0);
        } else {
            const float v = in.reciprocal == 1 ? level * 1000.0f : level;
            text = number_text(v, bar_decimals(v));
        }
        dc.text_out(x + bw + 8 - 4 * int(text.size()), box_top + bh + 1, text);
    }
    dc.select_brush(d.brushes[24]);
    const int bar_end = x - 7;

    const int row = box_top + bh + 1 + f.ch + 2;
    char spacing[64];
    std::snprintf(spacing, sizeof spacing,
                  in.unit_spacing < 1.0f ? "Unit electrode spacing %.2f m."
                                         : "Unit electrode spacing %.1f m.",
                  double(in.unit_spacing));
    const int spacing_width = dc.text_extent(spacing).cx;
    // Ends half a character before the right end of the electrode line: one spacing further,
    // as far as nelec spacings, it would pass the canvas's right edge where the line fills the
    // canvas (the bundled example: 25 electrodes 40 pixels apart from x = 60 on 1024 pixels).
    const int spacing_x = f.right - f.cw / 2 - spacing_width;
    dc.text_out(spacing_x, row, spacing);
    const int caption_width = dc.text_extent(caption).cx;
    int caption_x = (24 + bar_end - caption_width) / 2;
    if (caption_x + caption_width > spacing_x - 2 * f.cw)
        caption_x = spacing_x - 4 * f.cw - caption_width;
    // A caption too long for the room left of the spacing (a spectral caption under a short
    // line) takes the row below rather than run into it.
    if (caption_x >= 0) {
        dc.text_out(caption_x, row, caption);
        return row + f.ch + 1;
    }
    dc.text_out(std::max(0, (24 + bar_end - caption_width) / 2), row + f.ch, caption);
    return row + 2 * f.ch + 1;
}

// The label of data level k (from 1) whose first point is p: its n and a, its a, its number,
// or the pseudodepth of a depth axis.
std::string level_label(const PseudosectionInput& in, int k, int p) {
    char t[32];
    if (in.kind == 0 && in.na_labels == 1 && in.a_factors && in.n_factors) {
        if (std::fabs(in.n_factors[in.ndata - 1]) <= 1.0f) {
            std::snprintf(t, sizeof t, "%2d", int(in.a_factors[p]));
            return t;
        }
        std::snprintf(t, sizeof t, "%.1f,", double(in.n_factors[p]));
        const float a = float(in.a_factors[p]) * in.unit_spacing;
        return t + number_text(a, std::fabs(a) < 100.0f ? 1 : 0);
    }
    if (in.kind == 0) {
        std::snprintf(t, sizeof t, "%2d", k);
        return t;
    }
    const float metres = in.depth[p] * in.unit_spacing;
    return number_text(metres, std::fabs(metres) < 100.0f ? 1 : 0);
}

// The electrode axis along the top edge, the level labels on the left and the frame's sides.
void axes(const PseudosectionInput& in, const Frame& f, bool outline, gfx::Canvas& dc) {
    const ProgDisplay& d = Progdisplay;
    if (outline) {
        dc.select_pen(d.pens[25]);
        draw_line(f.left - 1, f.bottom + 1, f.right + 1, f.bottom + 1, dc);
    }
    dc.select_pen(in.level_scheme == 1 ? d.pens[3] : d.pens[24]);
    draw_line(f.left - 1, f.top - 1, f.right + 1, f.top - 1, dc);
    int previous_end = -(1 << 30);
    int last_label = f.left;
    std::vector<int> xs(std::size_t(std::max(0, in.nelec)));
    for (int i = 0; i < in.nelec; ++i)
        xs[std::size_t(i)] = f.left + round_to_int(float(i) * in.xscale);
    // On a long line the ticks are thinned to every second, fourth (the long ones), ...
    const std::vector<bool> ticks = thinned_lines(xs);
    for (int i = 0; i < in.nelec; ++i) {
        const int x = xs[std::size_t(i)];
        const bool fourth = i % 4 == 0;
        const bool label =
            fourth && (in.nelec < 32 || (in.nelec < 51 && i % 8 == 0) || i % 16 == 0);
        if (ticks[std::size_t(i)] || label)
            draw_line(x, f.top - 1, x, f.top - (fourth ? 6 : 3), dc);
        if (!label) continue;
        const float position = in.first_x + float(i) * in.unit_spacing;
        const std::string text = number_text(position, std::fabs(position) < 100.0f ? 1 : 0);
        const int width = dc.text_extent(text).cx;
        int tx = std::min(x - width / 2, f.right - width);
        if (i == 0) tx = x - width / 2;
        if (i > 0 && tx < previous_end + f.cw) continue;
        dc.text_out(tx, f.top - 7 - f.ch, text);
        previous_end = tx + width;
        last_label = previous_end;
    }
    dc.text_out(std::max(f.right + f.cw, last_label + f.cw / 2), f.top - 7 - f.ch, "m.");

    // One label per data level at the y of its first point.
    std::string text;
    int previous_y = -(1 << 30);
    for (int k = 1; k <= in.ndata_levels; ++k) {
        const int p = f.start[k - 1] - 1;
        if (in.level_counts[k - 1] <= 0 || p < 0 || p >= in.ndata) continue;
        text = level_label(in, k, p);
        const int y = f.iy[p] - f.ch / 2;
        if (y < previous_y + f.ch + 1) continue;
        // Kept on the canvas like the titles (the display leaves room for the widest label,
        // level_label_room).
        dc.text_out(std::max(1, f.left - 8 - dc.text_extent(text).cx), y, text);
        previous_y = y;
    }
    draw_line(f.left - 1, f.top - 1, f.left - 1, f.bottom + 1, dc);
    draw_line(f.right + 1, f.top - 1, f.right + 1, f.bottom + 1, dc);
}

// New levels after the contour lists overflowed.
void replace_levels(ProgDisplay& d, PseudosectionInput& in, const std::vector<float>& shown) {
    const auto mm = std::minmax_element(shown.begin(), shown.end());
    const float lo = *mm.first, hi = *mm.second;
    if (lo <= 0.0f) {
        choose_contours(d, in.nlevels, in.levels, 1, hi * 2.0f, lo * 0.5f);
        return;
    }
    in.levels[0] = lo > 50.0f ? 50.0f : lo > 10.0f ? 10.0f : lo > 1.0f ? 1.0f : 0.1f;
    const float r = std::sqrt(in.level_scheme == 2 || in.level_scheme == 3 ? 3.0f : 2.0f);
    for (int k = 1; k < in.nlevels; ++k)
        in.levels[k] = in.levels[k - 1] * r;
}

// The outline style's fill passes and the redrawing of its lines.
void finish_outline_style(const PseudosectionInput& in, const Frame& f,
                          const std::vector<float>& shown, ContourRecord& record, gfx::Canvas& dc) {
    ProgDisplay& d = Progdisplay;
    fill_contour_pieces(record, dc, d.brushes, f.left - 1, f.top - 1, f.right + 1, f.bottom + 1);
    // What is left unpainted round the data points takes the band of the point's value. The
    // end points of a level lie on the data outline, whose outer side their 3 x 3 block would
    // reach: they are left to the piece fills.
    for (int k = 1; k <= in.ndata_levels; ++k)
        for (int p = f.start[k - 1]; p < f.start[k] - 2 && p < in.ndata; ++p) {
            const int y = f.iy[p] + (k == 1 ? 1 : 0) - (k == in.ndata_levels ? 1 : 0);
            fill_around_datum(in.nlevels, f.ix[p], y, shown.data(), in.levels, p + 1, dc, d.brushes,
                              f.left - 1, f.top - 1, f.right + 1, f.bottom + 1);
        }
    const bool bw = in.level_scheme == 2;
    d.line_mode = 1;
    draw_section_outline(f.ix.data(), f.iy.data(), f.start.data(), in.ndata_levels, in.ndata, 1,
                         in.level_scheme, dc, d.pens[24], d.pens[25]);
    for (int s = 0; s < record.segments(); ++s) {
        const int level = std::clamp(record.seg_level[s], 0, 32);
        if (bw) {
            std::uint16_t pattern[8];
            std::copy(d.line_patterns[level], d.line_patterns[level] + 8, pattern);
            draw_pattern_line(record.seg_xa[s], record.seg_ya[s], record.seg_xb[s],
                              record.seg_yb[s], pattern, dc);
        } else {
            dc.select_pen(d.pens[std::min(level, 31)]);
            draw_line(record.seg_xa[s], record.seg_ya[s], record.seg_xb[s], record.seg_yb[s], dc);
        }
    }
    dc.select_pen(d.pens[24]);
    d.line_mode = 1;
    draw_section_outline(f.ix.data(), f.iy.data(), f.start.data(), in.ndata_levels, in.ndata, 2,
                         in.level_scheme, dc, d.pens[24], d.pens[25]);
}

} // namespace

namespace {

// Puts the fill style and the surface's polygon fill mode back on every way out.
struct FillStyleGuard {
    gfx::Canvas& dc;
    std::int32_t style;
    gfx::FillMode mode;
    ~FillStyleGuard() {
        Progdisplay.fill_style = style;
        dc.set_poly_fill_mode(mode);
    }
};

// Marks the data points with white pixels (not in the schemes 2 and 3); on a long line the
// marks are thinned (thinned_marks), so that the bands between them show.
void mark_points(const PseudosectionInput& in, const Frame& f, gfx::Canvas& dc) {
    if (in.point_marks != 1 || in.level_scheme == 2 || in.level_scheme == 3) return;
    std::vector<int> points;
    for (int k = 1; k <= in.ndata_levels - 1; ++k) {
        const int first = f.start[k - 1] - 1, last = std::min(f.start[k] - 1, in.ndata) - 1;
        for (int p = first; p <= last; ++p) {
            const bool inner = k > 1 && p != first && p != last;
            if (in.level_scheme == 1 || inner) points.push_back(p);
        }
    }
    std::vector<int> x, y;
    for (const int p : points)
        x.push_back(f.ix[p]), y.push_back(f.iy[p]);
    const std::vector<bool> kept = thinned_marks(x.data(), y.data(), int(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i)
        if (kept[i]) dc.set_pixel(x[i], y[i], 0xFFFFFF);
}

void draw_overlay(const PseudosectionInput& in, const Frame& f, gfx::Canvas& dc) {
    if (in.kind != 2 || in.overlay_count <= 1 || !in.overlay_x || !in.overlay_z) return;
    const float vz = in.vertical_factor > 0.0f && in.vertical_factor != 1.0f
                         ? in.xscale / in.vertical_factor
                         : in.xscale;
    const float us = in.unit_spacing > 0.0f ? in.unit_spacing : 1.0f;
    const auto px = [&](float x) {
        return f.left + round_to_int((x - in.first_x) / us * in.xscale);
    };
    const auto py = [&](float z) { return f.top + round_to_int(z / us * vz); };
    for (int j = 0; j < in.overlay_count; ++j)
        draw_line(px(in.overlay_x[2 * j]), py(in.overlay_z[2 * j]), px(in.overlay_x[2 * j + 1]),
                  py(in.overlay_z[2 * j + 1]), dc);
}

} // namespace

int level_label_room(const PseudosectionInput& in, const gfx::Canvas& dc) {
    if (in.ndata <= 0 || !in.level_counts || !in.depth) return 0;
    int widest = 0, p = 0;
    for (int k = 1; k <= in.ndata_levels && p < in.ndata;
         p += std::max(0, in.level_counts[k - 1]), ++k)
        if (in.level_counts[k - 1] > 0)
            widest = std::max(widest, dc.text_extent(level_label(in, k, p)).cx);
    return widest > 0 ? widest + 8 + 2 : 0;
}

int plot_pseudosection(PseudosectionInput& in, gfx::Canvas& dc) {
    ProgDisplay& d = Progdisplay;
    if (in.ndata <= 0 || in.nelec < 2 || !in.levels || in.nlevels < 1 ||
        in.nlevels > most_scale_levels || !in.x || !in.depth || !in.value || !in.level_counts ||
        in.ndata_levels < 1)
        return in.top;
    // The black-and-white scheme is always drawn in the outline style.
    const FillStyleGuard guard{dc, d.fill_style, dc.set_poly_fill_mode(gfx::FillMode::winding)};
    if (d.fill_style >= 2 && in.level_scheme == 2) d.fill_style = 1;
    const bool direct = d.fill_style >= 2;
    if (!direct) dc.set_poly_fill_mode(guard.mode);
    const bool bw = in.level_scheme == 2;

    std::vector<float> shown(std::size_t(in.ndata));
    for (int i = 0; i < in.ndata; ++i) {
        const float v = in.reciprocal == 1 ? 1.0f / in.value[i] : in.value[i];
        shown[i] = std::isfinite(v) ? v : 0.0f;
    }
    const Frame f = frame_of(in, dc);
    const SectionMesh mesh = section_mesh(f.ix.data(), f.start.data(), in.ndata_levels, in.ndata);
    const int capacity = pseudosection_capacity(in.ndata);
    ContourRecord record;
    int bottom_out = f.bottom + f.ch + 6;
    for (int pass = 1;; ++pass) {
        record.clear();
        dc.select_brush(d.brushes[24]);
        dc.select_pen(d.pens[24]);
        if (!direct) {
            draw_line(f.left - 1, f.top - 1, f.right + 1, f.top - 1, dc);
            draw_line(f.right + 1, f.top - 1, f.right + 1, f.bottom + 1, dc);
            draw_line(f.right + 1, f.bottom + 1, f.left - 1, f.bottom + 1, dc);
            draw_line(f.left - 1, f.bottom + 1, f.left - 1, f.top - 1, dc);
        }
        left_title(in, f, dc);
        bottom_out = f.bottom + f.ch + 6;
        if (in.legend == 1) bottom_out = colour_bar(in, f, dc);
        if (!direct) {
            draw_section_outline(f.ix.data(), f.iy.data(), f.start.data(), in.ndata_levels,
                                 in.ndata, 1, in.level_scheme, dc, d.pens[24], d.pens[25]);
            if (bw) {
                const int cx = f.left + f.width / 2, cy = f.top + f.height / 2;
                dc.select_brush(d.brushes[21]);
                dc.ext_flood_fill(cx, cy, d.line_colour, gfx::FloodType::border);
                d.alt_background_colour = dc.get_pixel(cx, cy);
            }
        }
        d.line_mode = bw ? 2 : 1;
        d.pixel_line_colour = 0;

        bool overflow = false;
        for (const auto& t : mesh.triangles) {
            if (std::max({t[0], t[1], t[2]}) >= in.ndata) continue;
            const int segments = contour_triangle(
                in.nlevels, f.ix[t[0]], f.ix[t[1]], f.ix[t[2]], f.iy[t[0]], f.iy[t[1]], f.iy[t[2]],
                shown[t[0]], shown[t[1]], shown[t[2]], in.levels, record, dc, d.brushes, d.pens);
            // Each triangle records at most one piece more than it adds segments.
            if (segments > capacity || record.pieces() > capacity + 300) {
                overflow = true;
                break;
            }
        }
        if (!overflow) break;
        // The lists overflowed: new levels and one more try on a cleared section.
        replace_levels(d, in, shown);
        erase_window();
        dc.fill_rect({0, f.top - 8 - f.ch, dc.width(), bottom_out + 1}, gfx::white);
        if (pass == 2) return bottom_out;
    }
    finish_contour_record(record);
    if (!direct) finish_outline_style(in, f, shown, record, dc);
    draw_overlay(in, f, dc);
    mark_points(in, f, dc);
    axes(in, f, !direct, dc);
    return bottom_out;
}
