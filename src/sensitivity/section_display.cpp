// The sensitivity section: layout, scales, legend, contour bands by cell triangles, fills and
// electrodes.
#include "sensitivity/section_display.h"

#include "display/contour_fill.h"
#include "display/contour_levels.h"
#include "display/layout.h"
#include "display/lines.h"
#include "display/polygon_fill.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/page_array.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void surface_ticks(float x_min, float x_max, std::vector<float>& surface_x,
                   std::vector<float>& surface_z) {
    // Counted in double: a range of 1e12 units would ask for 2^30 ticks (8 GB and minutes of
    // drawing) at half a unit. The range as a float, as the drawing's scale takes it.
    const float span = std::fabs(x_max - x_min);
    const double range = std::isfinite(span) ? double(span) : 0.0;
    double step = 0.5, ticks = 2.0 * std::floor(range + 0.5);
    while (ticks > double(max_surface_ticks - 1))
        step *= 2.0, ticks = std::floor(ticks / 2.0);
    surface_x.resize(std::size_t(ticks) + 1);
    surface_z.assign(surface_x.size(), 0.0f);
    for (std::size_t i = 0; i + 1 < surface_x.size(); ++i)
        surface_x[i] = float(double(i) * step);
    surface_x.back() = x_max - x_min;
}

int set_sensitivity_levels(float* levels) {
    static const float fixed[16] = {-128.0f, -64.0f, -32.0f, -16.0f, -8.0f, -4.0f, -2.0f,  0.0f,
                                    2.0f,    4.0f,   8.0f,   16.0f,  32.0f, 64.0f, 128.0f, 256.0f};
    std::copy(fixed, fixed + 16, levels);
    return 16;
}

namespace {

// Fixed tools by their place in the pen and brush tables.
constexpr int frame_pen = 24, electrode_brush = 19, background_brush = 21;
constexpr int max_segments = 10000;

bool black_and_white(int colour_mode) {
    return colour_mode == 2 || colour_mode == 3;
}

std::string axis_text(float value, int decimals) {
    char text[64];
    format_axis_number(text, sizeof text, value, decimals);
    return text;
}

// A legend level: "%.1e" below 0.0001, "%.4f" below 0.1, "%.3f" below 1, "%.2f" below 10,
// else "%.1f" (by absolute value); exactly 0 as "%.1f".
std::string legend_text(float level) {
    const float a = std::fabs(level);
    const char* format = a == 0.0f     ? "%.1f"
                         : a < 0.0001f ? "%.1e"
                         : a < 0.1f    ? "%.4f"
                         : a < 1.0f    ? "%.3f"
                         : a < 10.0f   ? "%.2f"
                                       : "%.1f";
    char text[64];
    std::snprintf(text, sizeof text, format, double(level));
    return text;
}

// Band of a value: the first level at or above it, n_levels when none is.
int band_of(float v, const float* levels, int n) {
    for (int b = 0; b < n; ++b)
        if (levels[b] >= v) return b;
    return n;
}

// The contoured grid in pixels: the caller's nodes, with the first row repeated on the frame's
// top edge when it lies below it (row 0 is then that copy).
struct Grid {
    sys::PageArray<int> px, py;
    sys::PageArray<float> value;
    // 64-bit counts: a section may hold 2^28 nodes.
    long long rows = 0, columns = 0, first = 0; // first: the row of the caller's first row
    std::size_t at(long long r, long long c) const { return std::size_t(r * columns + c); }
};

// Extent and placement of one drawing pass.
struct Frame {
    float x_max = 0.0f, z_max = 0.0f;
    int left = 0, top = 0, width = 0, height = 0;
    int bottom = 0; // lowest row used so far
    int cw = 8, th = 16, client_width = 0;
};

bool allocate(Grid& g, const SensitivitySection& in) {
    const std::size_t n = std::size_t(in.rows + 1) * std::size_t(in.columns);
    return g.px.allocate(n) && g.py.allocate(n) && g.value.allocate(n);
}

// Step 3: extent, width and height, the pixels of every node.
Frame place(const SensitivitySection& in, Grid& g, const gfx::Canvas& dc) {
    Frame f;
    const gfx::TextMetrics tm = dc.text_metrics();
    f.cw = tm.ave_char_width;
    f.th = tm.height;
    f.client_width = ui::client_size().width;
    const std::size_t nodes = std::size_t(in.rows) * std::size_t(in.columns);
    f.x_max = std::max(in.x_max, *std::max_element(in.node_x, in.node_x + nodes));
    f.z_max = std::max(in.z_max, *std::max_element(in.node_z, in.node_z + nodes));
    for (int i = 0; i < in.n_set_a; ++i)
        f.z_max = std::max(f.z_max, in.set_a_z[i]);
    for (int i = 0; i < in.n_set_b; ++i)
        f.z_max = std::max(f.z_max, in.set_b_z[i]);
    f.width = round_to_int((f.x_max - in.x_min) * in.x_scale);
    f.height = round_to_int((f.z_max - in.z_min) * in.z_scale);
    f.top = in.top;
    f.left = in.layout == 1 ? (f.client_width - f.width) / 2 : in.left;

    g.columns = in.columns;
    const int first_row = round_to_int((in.node_z[0] - in.z_min) * in.z_scale) + f.top;
    g.first = first_row > f.top ? 1 : 0;
    g.rows = in.rows + g.first;
    f.bottom = f.top;
    for (long long r = 0; r < in.rows; ++r)
        for (long long c = 0; c < in.columns; ++c) {
            const std::size_t k = std::size_t(r * in.columns + c), to = g.at(r + g.first, c);
            g.px[to] = round_to_int((in.node_x[k] - in.x_min) * in.x_scale) + f.left;
            g.py[to] = round_to_int((in.node_z[k] - in.z_min) * in.z_scale) + f.top;
            const float v = in.values[k];
            g.value[to] = in.invert_values == 1 ? 1.0f / v : v;
            f.bottom = std::max(f.bottom, g.py[to]);
        }
    for (std::size_t c = 0; c < std::size_t(g.first * in.columns); ++c) {
        g.px[c] = g.px[g.at(1, c)];
        g.py[c] = f.top;
        g.value[c] = g.value[g.at(1, c)];
    }
    return f;
}

void line(gfx::Canvas& dc, int x1, int y1, int x2, int y2) {
    draw_line(x1, y1, x2, y2, dc);
}

// Step 5: electrode ticks and their labels along the top edge.
void distance_scale(const SensitivitySection& in, const Frame& f, gfx::Canvas& dc) {
    const int n = in.n_surface_electrodes;
    const int every = n < 24 ? 1 : n < 48 ? 2 : n < 96 ? 4 : 16;
    for (int i = 1; i <= n; ++i) {
        const int x = f.left + round_to_int(in.surface_x[i - 1] * in.x_scale);
        line(dc, x, f.top, x, f.top - 3);
        if ((i - 1) % every != 0) continue;
        const float value = in.surface_x[i - 1] * in.unit_spacing + in.label_offset;
        const bool whole = value > 99.99f || (value > 9.999f && n > 16);
        const std::string text = axis_text(value, whole ? 0 : 1);
        const int start = x - 4 * int(text.size());
        if (start < 8) continue;
        line(dc, x, f.top, x, f.top - 4);
        dc.text_out(start, f.top - f.th - 4, text);
    }
}

// Step 6: the side edges of the frame row by row, with the depth labels on both sides.
void depth_scale(const SensitivitySection& in, const Grid& g, Frame& f, gfx::Canvas& dc) {
    const int right = f.left + f.width;
    const bool ticks = in.rows > 1 && g.py[g.at(g.first + 1, 0)] - g.py[g.at(g.first, 0)] > f.th;
    int previous_row = f.top, previous_label = -(1 << 30);
    for (long long r = 0; r < in.rows; ++r) {
        const int y = g.py[g.at(r + g.first, 0)];
        line(dc, f.left, previous_row, f.left, y);
        line(dc, right, previous_row, right, y);
        previous_row = y;
        if (ticks) {
            line(dc, f.left, y, f.left - 2, y);
            line(dc, right, y, right + 2, y);
        }
        if (y <= previous_label + f.th) continue;
        const float depth = in.node_z[std::size_t(r * in.columns)] * in.unit_spacing;
        const float a = std::fabs(depth);
        const std::string text = axis_text(depth, a < 10.0f ? 2 : a <= 99.99f ? 1 : 0);
        const int length = int(text.size());
        dc.text_out(f.left - ((length + 1) * f.cw + 2), y - f.th / 2, text);
        dc.text_out(right + f.cw + 2, y - f.th / 2, text);
        line(dc, f.left, y, f.left - 4, y);
        line(dc, right, y, right + 4, y);
        previous_label = y;
    }
    const int edge_end = f.top + f.height + 1;
    line(dc, f.left, previous_row, f.left, edge_end);
    line(dc, right, previous_row, right, edge_end);
    line(dc, f.left, f.top + f.height, right, f.top + f.height);
    f.bottom = std::max(f.bottom, edge_end);
}

// Step 7: one box per band with the levels under every other box, and the caption.
void legend(const SensitivitySection& in, Frame& f, gfx::Canvas& dc, const gfx::Brush* brushes,
            const gfx::Pen* pens) {
    const int boxes = in.n_levels + 1;
    const int column = std::max(4 * f.cw + 4, 40);
    const bool two_rows = in.layout == 2;
    const int per_row = two_rows ? std::max(1, in.n_levels / 2) : boxes;
    const int box_h = two_rows ? 10 : 15;
    const int first_top = f.top + f.height + f.th * 3 / 2;
    const int row_width = std::min(boxes, per_row) * column;
    const int x0 = two_rows ? f.left : (f.client_width - row_width) / 2;
    int lowest = first_top;
    for (int i = 1; i <= boxes; ++i) {
        const int row = (i - 1) / per_row, col = (i - 1) % per_row;
        const int x = x0 + col * column;
        const int y = first_top + row * (box_h + f.th + 4);
        dc.select_pen(pens[frame_pen]);
        dc.select_brush(brushes[std::min(i - 1, 31)]);
        dc.rectangle(x, y, x + 24, y + box_h);
        lowest = std::max(lowest, y + box_h + 2 + f.th);
        if (i % 2 == 0 || i == boxes) continue;
        const float level = in.levels[i - 1];
        const std::string text = legend_text(in.invert_values == 1 ? level * 1000.0f : level);
        const int centre = x + 24 + (column - 24) / 2;
        dc.text_out(centre - dc.text_extent(text).cx / 2, y + box_h + 2, text);
    }
    const int caption_width = dc.text_extent(in.legend_caption).cx;
    const int caption_x =
        two_rows ? x0 + (row_width - caption_width) / 2 : (f.client_width - caption_width) / 2;
    const int caption_y = lowest + f.th / 2;
    dc.text_out(caption_x, caption_y, in.legend_caption);
    f.bottom = std::max(f.bottom, caption_y + f.th);
}

void grid_outline(const Grid& g, gfx::Canvas& dc) {
    const long long last_row = g.rows - 1, last_col = g.columns - 1;
    for (long long c = 0; c < last_col; ++c) {
        line(dc, g.px[g.at(0, c)], g.py[g.at(0, c)], g.px[g.at(0, c + 1)], g.py[g.at(0, c + 1)]);
        line(dc, g.px[g.at(last_row, c)], g.py[g.at(last_row, c)], g.px[g.at(last_row, c + 1)],
             g.py[g.at(last_row, c + 1)]);
    }
    for (long long r = 0; r < last_row; ++r) {
        line(dc, g.px[g.at(r, 0)], g.py[g.at(r, 0)], g.px[g.at(r + 1, 0)], g.py[g.at(r + 1, 0)]);
        line(dc, g.px[g.at(r, last_col)], g.py[g.at(r, last_col)], g.px[g.at(r + 1, last_col)],
             g.py[g.at(r + 1, last_col)]);
    }
}

// How the contouring of the cells ended.
enum class Cells { done, overflow, stopped };

// Step 9: every cell cut into four triangles about its centre, each coloured by
// contour_triangle. Overflow when the segments outgrew the lists (outline style); stopped when
// the caller's `stopping` said so between two rows.
Cells contour_cells(const SensitivitySection& in, const Grid& g, ContourRecord& record,
                    gfx::Canvas& dc, const gfx::Brush* brushes, const gfx::Pen* pens) {
    for (long long r = 0; r + 1 < g.rows; ++r) {
        if (in.stopping && in.stopping(double(r), double(g.rows - 1))) return Cells::stopped;
        for (long long c = 0; c + 1 < g.columns; ++c) {
            const std::size_t k[4] = {g.at(r, c), g.at(r, c + 1), g.at(r + 1, c),
                                      g.at(r + 1, c + 1)};
            const int cx = (g.px[k[0]] + g.px[k[1]] + g.px[k[2]] + g.px[k[3]]) / 4;
            const int cy = (g.py[k[0]] + g.py[k[1]] + g.py[k[2]] + g.py[k[3]]) / 4;
            const float cv =
                0.25f * (g.value[k[0]] + g.value[k[1]] + g.value[k[2]] + g.value[k[3]]);
            // The cell's top, left, right and bottom edges with its centre.
            static const int edges[4][2] = {{0, 1}, {0, 2}, {1, 3}, {2, 3}};
            for (const auto& e : edges) {
                const int a = k[e[0]], b = k[e[1]];
                float centre = cv;
                if (g.value[a] == g.value[b] && g.value[b] == centre) centre *= 1.000001f;
                if (g.value[a] == g.value[b] && g.value[b] == centre) continue;
                const int segments = contour_triangle(in.n_levels, g.px[a], g.px[b], cx, g.py[a],
                                                      g.py[b], cy, g.value[a], g.value[b], centre,
                                                      in.levels, record, dc, brushes, pens);
                if (segments > max_segments) return Cells::overflow;
            }
        }
    }
    return Cells::done;
}

// Step 10: new levels after an overflow.
void replace_levels(SensitivitySection& in, const Grid& g) {
    const auto range =
        std::minmax_element(g.value.get(), g.value.get() + std::size_t(g.rows * g.columns));
    const float lo = *range.first, hi = *range.second;
    if (hi > 0.0f) {
        in.levels[0] = hi > 50.0f ? 50.0f : hi > 10.0f ? 10.0f : hi > 1.0f ? 1.0f : 0.1f;
        const float ratio = std::sqrt(in.colour_mode == 2 ? 3.0f : 2.0f);
        for (int k = 1; k < in.n_levels; ++k)
            in.levels[k] = in.levels[k - 1] * ratio;
    } else {
        choose_contours(Progdisplay, in.n_levels, in.levels, 1, hi * 0.5f, lo * 2.0f);
    }
}

// The outline style's fills: the pieces, or the whole section in one band, then the corners.
void fill_outlined(const SensitivitySection& in, const Grid& g, const Frame& f,
                   ContourRecord& record, gfx::Canvas& dc, const gfx::Brush* brushes) {
    const int right = f.left + f.width, bottom = f.top + f.height;
    const auto fill_at = [&](int x, int y, float v) {
        flood_fill_at_point(x, y, band_of(v, in.levels, in.n_levels), dc, brushes, f.left, f.top,
                            right, bottom);
    };
    if (record.segments() == 0)
        fill_at(f.left + f.width / 2, f.top + f.height / 2, g.value[0]);
    else
        fill_contour_pieces(record, dc, brushes, f.left, f.top, right, bottom);
    const std::size_t last = std::size_t(g.rows * g.columns - 1);
    fill_at(f.left + 1, f.top + 1, g.value[0]);
    fill_at(right - 1, f.top + 1, g.value[std::size_t(g.columns - 1)]);
    fill_at(f.left + 1, bottom - 1, g.value[last - std::size_t(g.columns) + 1]);
    fill_at(right - 1, bottom - 1, g.value[last]);
}

// The band boundaries over the filled section.
void boundaries(const SensitivitySection& in, const Grid& g, const ContourRecord& record,
                gfx::Canvas& dc, const gfx::Brush* brushes, const gfx::Pen* pens) {
    ProgDisplay& d = Progdisplay;
    const bool lines_mode = in.colour_mode == 1 || in.colour_mode == 4;
    if (d.fill_style < 2 && in.line_option == 0) {
        for (int s = 0; s < record.segments(); ++s) {
            const int level = std::clamp(record.seg_level[s], 0, 32);
            if (black_and_white(in.colour_mode)) {
                std::uint16_t pattern[8];
                std::copy(d.line_patterns[level], d.line_patterns[level] + 8, pattern);
                draw_pattern_line(record.seg_xa[s], record.seg_ya[s], record.seg_xb[s],
                                  record.seg_yb[s], pattern, dc);
            } else if (lines_mode) {
                dc.select_pen(pens[std::min(level, 31)]);
                line(dc, record.seg_xa[s], record.seg_ya[s], record.seg_xb[s], record.seg_yb[s]);
            }
        }
    } else if (d.fill_style >= 2 && in.line_option == 1 && lines_mode) {
        // The direct style records no segments: the cuts are made once more in the outline
        // style, which draws each segment in the pen selected.
        d.fill_style = 1;
        dc.select_pen(pens[frame_pen]);
        ContourRecord scratch;
        contour_cells(in, g, scratch, dc, brushes, pens);
        d.fill_style = 2;
    }
}

void electrodes(const SensitivitySection& in, const Frame& f, int n, const float* x, const float* z,
                gfx::Canvas& dc, const gfx::Brush* brushes, const gfx::Pen* pens) {
    dc.select_pen(pens[frame_pen]);
    dc.select_brush(brushes[electrode_brush]);
    for (int i = 0; i < n; ++i) {
        const int X = f.left + round_to_int((x[i] - in.x_min) * in.x_scale);
        const int Y = f.top + round_to_int((z[i] - in.z_min) * in.z_scale);
        dc.ellipse(X - 2, Y - 2, X + 3, Y + 3);
    }
}

// Puts the fill style, the level scheme the fills read, the polygon fill mode and the fixed
// tools back on every way out.
struct DrawingState {
    gfx::Canvas& dc;
    const gfx::Brush* brushes;
    const gfx::Pen* pens;
    std::int32_t fill_style = Progdisplay.fill_style;
    std::int32_t level_scheme = Progdisplay.level_scheme;
    gfx::FillMode mode = dc.set_poly_fill_mode(gfx::FillMode::winding);
    ~DrawingState() {
        Progdisplay.fill_style = fill_style;
        Progdisplay.level_scheme = level_scheme;
        dc.set_poly_fill_mode(mode);
        dc.select_pen(pens[frame_pen]);
        dc.select_brush(brushes[frame_pen]);
    }
};

// Clears what a pass drew: the window and the drawing's rows of dc.
void clear_drawing(const Frame& f, gfx::Canvas& dc) {
    erase_window();
    dc.fill_rect({0, 0, dc.width(), f.bottom + 1}, gfx::white);
}

} // namespace

int draw_sensitivity_section(SensitivitySection& in, gfx::Canvas& dc, const gfx::Brush* brushes,
                             const gfx::Pen* pens) {
    if (in.rows < 1 || in.columns < 1 || !in.node_x || !in.node_z || !in.values || !in.levels ||
        in.n_levels < 1 || in.n_levels > most_scale_levels)
        return in.top;
    Grid g;
    if (!allocate(g, in)) return -1;
    ProgDisplay& d = Progdisplay;
    const DrawingState state{dc, brushes, pens};
    if (d.fill_style >= 2 && in.colour_mode == 2) d.fill_style = 1;
    if (d.fill_style < 2) dc.set_poly_fill_mode(state.mode);
    // The fills take the black-and-white background where the level scheme says so.
    if (in.colour_mode == 2) d.level_scheme = 2;

    Frame f;
    ContourRecord record;
    for (int pass = 1;; ++pass) {
        record.clear();
        f = place(in, g, dc);
        dc.select_pen(pens[frame_pen]);
        d.line_mode = 1;
        const int title_width = int(in.title.size()) * f.cw;
        dc.text_out((f.client_width - title_width) / 2, f.th / 2, in.title);
        line(dc, f.left, f.top, f.left + f.width - 1, f.top);
        distance_scale(in, f, dc);
        depth_scale(in, g, f, dc);
        if (in.show_legend == 1) legend(in, f, dc, brushes, pens);
        // The outline style's lines bound its flood fills: they take the boundary colour.
        dc.select_pen(gfx::Pen{d.line_colour, false});
        if (d.fill_style < 2) grid_outline(g, dc);
        if (in.iteration > 0) {
            char caption[96];
            std::snprintf(caption, sizeof caption,
                          in.rms_absolute == 0 ? "Iteration %d RMS error = %3.1f %%"
                                               : "Iteration %d RMS error = %3.1f",
                          in.iteration, double(in.rms_error));
            dc.text_out(f.left, f.top - 2 * f.th - 6, caption);
        }
        if (in.colour_mode == 2) {
            const int cx = f.left + f.width / 2, cy = f.top + f.height / 2;
            dc.select_brush(brushes[background_brush]);
            dc.ext_flood_fill(cx, cy, d.line_colour, gfx::FloodType::border);
            d.alt_background_colour = dc.get_pixel(cx, cy);
        }
        d.line_mode = black_and_white(in.colour_mode) ? 2 : 1;
        d.pixel_line_colour = 0;
        const Cells cells = contour_cells(in, g, record, dc, brushes, pens);
        if (cells == Cells::stopped) return sensitivity_drawing_stopped;
        if (cells == Cells::done) break;
        replace_levels(in, g);
        clear_drawing(f, dc);
        if (pass == 2) return f.bottom + 3 * f.th;
    }
    finish_contour_record(record);
    if (d.fill_style < 2) fill_outlined(in, g, f, record, dc, brushes);
    boundaries(in, g, record, dc, brushes, pens);
    d.line_mode = 1;
    dc.select_pen(pens[frame_pen]);
    if (in.colour_mode == 1 || in.colour_mode == 4) grid_outline(g, dc);
    electrodes(in, f, in.n_set_a, in.set_a_x, in.set_a_z, dc, brushes, pens);
    electrodes(in, f, in.n_set_b, in.set_b_x, in.set_b_z, dc, brushes, pens);
    dc.select_pen(pens[frame_pen]);
    const int right = f.left + f.width, bottom = f.top + f.height;
    line(dc, f.left, f.top, right, f.top);
    line(dc, right, f.top, right, bottom);
    line(dc, right, bottom, f.left, bottom);
    line(dc, f.left, bottom, f.left, f.top);
    return f.bottom + 3 * f.th;
}
