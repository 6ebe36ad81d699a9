// The block section with its frame, colour scale, axes and labels.
#include "display/block_section.h"

#include "display/layout.h"
#include "display/lines.h"
#include "model/globals.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

std::string reciprocal_multiplier(float first, float last, float* factor) {
    const float m = first > 0.0f && last > 0.0f ? std::sqrt(first * last)
                                                : 0.5f * (std::fabs(first) + std::fabs(last));
    const float e = std::log10(m);
    *factor = 1.0f;
    if (!(e < 0.0f)) return "";
    const int k = int(std::lround(std::floor(-e)));
    *factor = float(std::lround(std::pow(10.0, k)));
    if (k <= 0) return "";
    return " x 0." + std::string(std::size_t(k - 1), '0') + "1";
}

namespace {

std::string number_text(float value, int decimals) {
    char text[64];
    format_axis_number(text, sizeof text, value, decimals);
    return text;
}

// Label of a colour-scale level: 0 decimals from 100 up, else 1; below 10 more, by the scaled
// value in reciprocal mode.
std::string level_label(float level, bool reciprocal, float factor) {
    if (std::fabs(level) >= 100.0f) return number_text(level, 0);
    if (!reciprocal) return number_text(level, std::fabs(level) < 10.0f ? 2 : 1);
    const float v = factor * level, a = std::fabs(v);
    const int decimals = a < 0.01f ? 5 : a < 0.1f ? 4 : a < 1.0f ? 3 : a < 10.0f ? 2 : 1;
    return number_text(v, decimals);
}

struct Pixels {
    std::vector<int> x, y;
    int width = 0, height = 0, cw = 8, ch = 16, top = 0;
};

// The colour scale under the section; returns the row below its texts.
int colour_scale(const BlockSectionInput& in, const Pixels& p, gfx::Canvas& dc) {
    const ProgDisplay& d = Progdisplay;
    float factor = 1.0f;
    std::string caption = in.scale_caption;
    if (in.reciprocal == 1 && in.nlevels > 0)
        caption += reciprocal_multiplier(in.levels[0], in.levels[in.nlevels - 1], &factor);
    const int box_top = p.top + p.height + p.ch + 3, box_bottom = box_top + 10;
    int x = 24;
    for (int i = 1; i <= in.nlevels + 1; ++i, x += 32) {
        dc.select_brush(d.brushes[std::clamp(i - 1, 0, 31)]);
        dc.select_pen(d.pens[24]);
        dc.rectangle(x, box_top, x + 25, box_bottom);
        if (i % 2 == 0 || i > in.nlevels) continue;
        const std::string t = level_label(in.levels[i - 1], in.reciprocal == 1, factor);
        dc.text_out(x + 25 + 8 - 4 * int(t.size()), box_bottom + 1, t);
    }
    const int row = box_bottom + 1 + p.ch - 1;
    dc.text_out((24 + x - dc.text_extent(caption).cx) / 2, row, caption);
    char spacing[64];
    std::snprintf(spacing, sizeof spacing,
                  in.spacing < 1.0f ? "Unit electrode spacing %.2f m."
                                    : "Unit electrode spacing %.1f m.",
                  double(in.spacing));
    dc.text_out(in.right_edge - p.cw / 2 - dc.text_extent(spacing).cx, row, spacing);
    return row + p.ch + 1;
}

// Ticks and labels of the electrodes across the top.
void electrode_axis(const BlockSectionInput& in, const Pixels& p, gfx::Canvas& dc) {
    const int step = in.nelec < 32 ? 4 : in.nelec < 51 ? 8 : 16;
    const int right = in.x0 + p.width;
    int previous_end = 0, last_end = 0;
    for (int i = 0; i < in.nelec; ++i) {
        const int x = in.x0 + round_to_int(float(i) * in.pixels_per_spacing);
        const bool labelled = i % step == 0;
        draw_line(x, p.top - 1, x, p.top - (labelled ? 6 : 3), dc);
        if (!labelled) continue;
        const float position = in.first_x + float(i) * in.spacing;
        const std::string t = number_text(position, std::fabs(position) < 100.0f ? 1 : 0);
        const int w = dc.text_extent(t).cx;
        int tx = std::min(x - w / 2, right - 7 - w);
        if (i == 0) tx = in.x0 - 3 * p.cw / 2;
        if (i > 0 && (tx < previous_end + 4 || tx + w >= right - 8)) continue;
        dc.text_out(tx, p.top - 7 - p.ch, t);
        previous_end = last_end = tx + w;
    }
    dc.text_out(std::max(right, last_end) + 4, p.top - 8 - p.ch, "m.");
}

// "Depth" and the depth of the first corner of every layer on the left.
void depth_labels(const BlockSectionInput& in, const Pixels& p, gfx::Canvas& dc) {
    dc.text_out(std::max(1, in.x0 - 7 * p.cw - 3), p.top - 2 * p.ch, "Depth");
    int first = 0, last_y = 0;
    for (int layer = 0; layer < in.nlayers; ++layer) {
        const int k = first * in.corners_per_block;
        first += std::max(0, in.blocks_in_layer[layer]);
        if (k >= int(p.y.size())) break;
        const int y = p.y[k];
        if (layer > 0 && y <= last_y + p.ch + 1) continue;
        const float metres = in.corner_z[k] * in.spacing;
        const std::string t = number_text(metres, std::fabs(metres) < 100.0f ? 1 : 0);
        dc.text_out(in.x0 - 8 - dc.text_extent(t).cx, y - p.ch / 2, t);
        draw_line(in.x0 - 4, y, in.x0 - 1, y, dc);
        draw_line(in.x0 + p.width + 1, y, in.x0 + p.width + 4, y, dc);
        last_y = y;
    }
}

} // namespace

int draw_block_section(const BlockSectionInput& in, gfx::Canvas& dc) {
    const ProgDisplay& d = Progdisplay;
    Pixels p;
    const gfx::TextMetrics tm = dc.text_metrics();
    p.cw = tm.ave_char_width;
    p.ch = tm.height;
    p.top = in.y0 + p.ch / 2;
    const float vz = in.vh_factor > 0.0f && in.vh_factor != 1.0f
                         ? in.pixels_per_spacing / in.vh_factor
                         : in.pixels_per_spacing;
    p.width = round_to_int(float(std::max(0, in.nelec - 1)) * in.pixels_per_spacing);
    const int cpb = in.corners_per_block > 2 ? 4 : 2;
    const int ncorners = std::max(0, in.nblocks) * cpb;
    int deepest = p.top;
    for (int k = 0; k < ncorners; ++k) {
        p.x.push_back(round_to_int(in.corner_x[k] * in.pixels_per_spacing + float(in.x0)));
        p.y.push_back(round_to_int(in.corner_z[k] * vz + float(p.top)));
        deepest = std::max(deepest, p.y.back());
    }
    p.height = deepest - p.top + 1;

    for (int b = 0; b < in.nblocks; ++b) {
        const float v = in.reciprocal == 1 ? 1.0f / in.values[b] : in.values[b];
        const int band = int(std::count_if(in.levels, in.levels + in.nlevels,
                                           [v](float level) { return level < v; }));
        dc.select_brush(d.brushes[std::min(band, 31)]);
        dc.select_pen(d.level_scheme == 2 ? d.pens[24] : d.pens[std::min(band, 31)]);
        const int k = b * cpb;
        if (cpb == 2) {
            dc.rectangle(std::min(p.x[k], p.x[k + 1]), std::min(p.y[k], p.y[k + 1]),
                         std::max(p.x[k], p.x[k + 1]), std::max(p.y[k], p.y[k + 1]));
        } else {
            dc.polygon({{p.x[k], p.y[k]},
                        {p.x[k + 1], p.y[k + 1]},
                        {p.x[k + 2], p.y[k + 2]},
                        {p.x[k + 3], p.y[k + 3]}});
        }
    }

    dc.select_brush(d.brushes[25]);
    dc.select_pen(d.pens[24]);
    const int right = in.x0 + p.width, bottom = p.top + p.height;
    draw_line(in.x0, p.top, right, p.top, dc);
    draw_line(in.x0, p.top, in.x0, bottom, dc);
    draw_line(in.x0, bottom, right, bottom, dc);
    if (d.level_scheme == 2) draw_line(right, p.top, right, bottom, dc);
    if (in.surface_line == 1) {
        dc.select_pen(d.pens[28]);
        draw_line(in.x0, p.top, right, p.top, dc);
        dc.select_pen(d.pens[24]);
    }
    dc.text_out(in.x0 + 4, bottom + 1, in.bottom_text);
    const int legend_bottom = in.show_scale == 1 ? colour_scale(in, p, dc) : bottom + p.ch + 1;
    dc.select_pen(d.pens[24]);
    electrode_axis(in, p, dc);

    char line[96];
    std::snprintf(line, sizeof line,
                  in.misfit_units == 0 ? "Iteration %d RMS error = %3.1f %%"
                                       : "Iteration %d RMS error = %3.1f",
                  in.iteration, double(in.misfit_units == 0 ? in.misfit * 100.0f : in.misfit));
    dc.text_out(in.x0, p.top - 6 - 2 * p.ch, line);
    depth_labels(in, p, dc);
    return legend_bottom;
}
