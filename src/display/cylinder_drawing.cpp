// The cylinder model drawing.
#include "display/cylinder_drawing.h"

#include "display/layout.h"
#include "display/model_section.h"
#include "model/globals.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

CylinderMesh Cylindermesh;

namespace {

// Decimals of a colour-box value of a cylinder model: 2 for 0, else as the model section.
int cylinder_value_decimals(float value) {
    return value == 0.0f ? 2 : model_value_decimals(value);
}

// The colour boxes and their values above the mesh.
void cylinder_colour_boxes(int group, int nvalues, const float* values, const std::int32_t* colours,
                           int first_x, int yplt, gfx::Canvas& dc) {
    const ProgDisplay& d = Progdisplay;
    SectionOutlines& o = Sectionoutlines;
    if (nvalues <= 0) return;
    const float threshold = nvalues <= 12 ? 99999.4f : 999.4f;
    const int lower = values[nvalues - 1] < threshold ? 3 : 0;
    const int top = yplt - d.char_h - 10 + lower, bottom = yplt - d.char_h + lower;
    const int pitch = nvalues <= 12 ? 48 : 32;
    for (int i = 1; i <= std::min(nvalues, o.boxes_per_group); ++i) {
        const int x = first_x + (i - 1) * pitch;
        dc.select_brush(d.brushes[std::clamp(colours[i - 1], 0, 31)]);
        dc.select_pen(d.pens[24]);
        dc.rectangle(x, top, x + 20, bottom);
        const std::size_t box = 4 * (std::size_t(group) * o.boxes_per_group + std::size_t(i - 1));
        const int xs[4] = {x, x, x + 20, x + 20}, ys[4] = {top, bottom, bottom, top};
        std::copy(xs, xs + 4, o.box_x.begin() + box);
        std::copy(ys, ys + 4, o.box_y.begin() + box);
        char text[64];
        const float v = values[i - 1];
        format_axis_number(text, sizeof text, v, cylinder_value_decimals(v));
        const int shift = i == nvalues && nvalues > 12 && v > threshold ? 8 : 0;
        dc.text_out(x - shift, top - 2 - d.char_h, text);
    }
}

} // namespace

int draw_cylinder_model(int draw, float* xscale_out, const CylinderMesh& mesh, const char* title,
                        int group, int nvalues, const float* values, const std::int32_t* codes,
                        const std::int32_t* colours, int xplt, int yplt, int height_avail,
                        int nelec, gfx::Canvas& dc) {
    const ProgDisplay& d = Progdisplay;
    const std::size_t nodes = 8 * std::size_t(std::max(0, mesh.ncells));
    if (nodes == 0 || mesh.node_x.size() < nodes || mesh.node_y.size() < nodes)
        return yplt + d.char_h;
    const auto [xmin, xmax] = std::minmax_element(mesh.node_x.begin(), mesh.node_x.begin() + nodes);
    const auto [ymin, ymax] = std::minmax_element(mesh.node_y.begin(), mesh.node_y.begin() + nodes);
    const float height = *ymax - *ymin;
    int H = height_avail - 6 * d.char_h;
    if (!(height > 0.0f) || H <= 0) return yplt + d.char_h;
    float s = float(H) / height;
    if (s > max_cylinder_scale) {
        s = max_cylinder_scale;
        H = round_to_int(height * max_cylinder_scale);
    }
    const int W = round_to_int((*xmax - *xmin) * s);
    if (xscale_out) *xscale_out = s * 6.28319f / float(std::max(1, nelec));
    if (draw == 0) return yplt + H + d.char_h;

    const int cx = xplt + d.lengthvx / 2, cy = yplt + H / 2;
    const int title_width = title ? int(std::strlen(title)) * d.char_w : 0;
    if (title) dc.text_out(cx - title_width / 2, yplt - 4 * d.char_h, title);

    SectionOutlines& o = Sectionoutlines;
    o.blocks_per_group = mesh.ncells;
    o.boxes_per_group = std::max(1, Proglim.max_resistivity_values);
    o.reserve_group(group, mesh.ncells, 8, o.boxes_per_group);
    o.clear_group(group);
    const auto pixel = [&](float x, float y) {
        return gfx::Point{cx + round_to_int(x * s), cy + round_to_int(-y * s)};
    };
    dc.select_pen(d.pens[24]);
    const int nv = std::max(1, nvalues);
    for (int c = 0; c < mesh.ncells; ++c) {
        const int colour = std::clamp(colours[std::clamp(codes[c], 0, nv - 1)], 0, 31);
        if (d.grid_flag != 0) dc.select_pen(d.pens[colour]);
        dc.select_brush(d.brushes[colour]);
        const int n =
            std::clamp(c < int(mesh.outline_points.size()) ? mesh.outline_points[c] : 8, 0, 8);
        const std::size_t b = std::size_t(group) * mesh.ncells + std::size_t(c);
        std::vector<gfx::Point> pts;
        for (int k = 0; k < n; ++k) {
            const gfx::Point p = pixel(mesh.node_x[8 * c + k], mesh.node_y[8 * c + k]);
            o.block_x[8 * b + k] = p.x;
            o.block_y[8 * b + k] = p.y;
            pts.push_back(p);
        }
        o.block_count[b] = n;
        if (n >= 3) dc.polygon(pts);
        o.block_drawn[b] = 1;
    }
    dc.select_pen(d.pens[26]);
    for (std::size_t e = 0; 2 * e + 1 < mesh.elec_x.size() && 2 * e + 1 < mesh.elec_y.size(); ++e)
        dc.polyline({pixel(mesh.elec_x[2 * e], mesh.elec_y[2 * e]),
                     pixel(mesh.elec_x[2 * e + 1], mesh.elec_y[2 * e + 1])});
    dc.select_pen(d.pens[24]);
    cylinder_colour_boxes(group, nvalues, values, colours, std::max(0, cx - W / 2), yplt, dc);
    dc.select_pen(d.pens[24]);
    dc.select_brush(d.brushes[25]);
    return yplt + H + d.char_h;
}
