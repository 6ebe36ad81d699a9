// The model section drawing and the outlines it records for the block editor.
#include "display/model_section.h"

#include "display/layout.h"
#include "display/lines.h"
#include "display/section_state.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

SectionOutlines Sectionoutlines;

void SectionOutlines::reserve_group(int group, int blocks, int points, int boxes) {
    if (points != points_per_block) {
        const int blocks_kept = blocks_per_group, boxes_kept = boxes_per_group;
        reset();
        blocks_per_group = blocks_kept;
        boxes_per_group = boxes_kept;
        points_per_block = points;
    }
    const std::size_t nblocks = std::size_t(group + 1) * std::size_t(blocks);
    if (block_drawn.size() < nblocks) {
        block_drawn.resize(nblocks, 0);
        block_marked.resize(nblocks, 0);
        block_sides.resize(nblocks, all_block_sides);
        block_count.resize(nblocks, 0);
        block_x.resize(nblocks * std::size_t(points), 0);
        block_y.resize(nblocks * std::size_t(points), 0);
    }
    const std::size_t nboxes = 4 * std::size_t(group + 1) * std::size_t(boxes);
    if (box_x.size() < nboxes) {
        box_x.resize(nboxes, 0);
        box_y.resize(nboxes, 0);
    }
}

void SectionOutlines::clear_group(int group) {
    const std::size_t n = std::size_t(blocks_per_group);
    const std::size_t first = std::size_t(group) * n;
    if (block_drawn.size() < first + n) return;
    std::fill_n(block_drawn.begin() + first, n, 0);
    std::fill_n(block_marked.begin() + first, n, 0);
    std::fill_n(block_sides.begin() + first, n, all_block_sides);
    const std::size_t points = std::size_t(points_per_block);
    std::fill_n(block_x.begin() + first * points, n * points, 0);
    std::fill_n(block_y.begin() + first * points, n * points, 0);
}

void SectionOutlines::reset() {
    *this = SectionOutlines();
}

int model_value_decimals(float value) {
    const float v = std::fabs(value);
    if (v == 0.0f) return 1;
    if (v >= 10.0f) return 0;
    if (v >= 1.0f) return 1;
    if (v >= 0.1f) return 2;
    return 3;
}

namespace {

// Decimals of a distance or depth label in metres: 2 below 10, 1 below 100, else 0 (1 when the
// unit spacing is below 1 m).
int metre_decimals(float metres, float unit_spacing) {
    const float v = std::fabs(metres);
    if (v < 10.0f) return 2;
    if (v < 100.0f) return 1;
    return unit_spacing < 1.0f ? 1 : 0;
}

std::string number_text(float value, int decimals) {
    char text[64];
    format_axis_number(text, sizeof text, value, decimals);
    return text;
}

// Every label candidate of the electrode axis: more electrodes, fewer labels.
int electrode_label_step(int nelec) {
    if (nelec <= 20) return 2;
    if (nelec <= 100) return 4;
    if (nelec <= 300) return 8;
    return 16;
}

// Pixel geometry of the section: scales, the mesh columns and rows shown, and their pixels.
struct Geometry {
    float us = 1.0f;  // unit spacing, metres
    float pxm = 0.0f; // pixels per metre, horizontal and vertical
    float pzm = 0.0f;
    float x0 = 0.0f; // x of the first electrode, metres
    int nx = 0, nz = 0;
    int left = 0, right = 0; // node columns (0-based) of the window's edges
    int ndisp = 0;           // block rows 1 .. ndisp - 1 are shown
    int top = 0;             // y of the surface (shifted down under topography)
    int lower = 0;           // lower edge of the section
    std::vector<int> px, py; // pixel of every node column and node row
    bool topo = false;

    int node_x_pixel(const ModelSettings& m, int c, int r, int xplt) const {
        return xplt + round_to_int((m.node_x[c * nz + r] * us - x0) * pxm);
    }
    int node_z_pixel(const ModelSettings& m, int c, int r) const {
        return top + round_to_int(m.node_z[c * nz + r] * us * pzm);
    }
};

// Steps 1 to 4 of the drawing: vertical extent, section depth, horizontal window and the rows
// shown, the lower edge held to the canvas of `canvas_height` rows. Returns false when the model
// has nothing to draw.
bool lay_out(ModelSettings& m, const ModelSectionSpec& s, int canvas_height, Geometry& g,
             int& lengthvy) {
    const ProgDisplay& d = Progdisplay;
    g.nx = m.nx_nodes;
    g.nz = m.nz_nodes;
    if (g.nx < 2 || g.nz < 2 || m.nelec < 2 || m.nx_cells < 1 || m.nz_cells < 1 ||
        !(d.xscale > 0.0f) || m.margin_columns < 1 || m.margin_columns > g.nx)
        return false;
    g.us = m.unit_spacing > 0.0f ? m.unit_spacing : 1.0f;
    const float vh = d.vh_factor > 0.0f ? d.vh_factor : 1.0f;
    const int nps = m.nodes_per_spacing > 0 ? m.nodes_per_spacing : 1;
    g.pxm = d.xscale / g.us;
    g.pzm = g.pxm / vh;
    g.x0 = m.node_col_x[m.margin_columns - 1] * g.us;
    g.topo = m.tflag != 0;
    const int line_length = round_to_int(float(m.nelec - 1) * g.us * g.pxm);

    // Step 1: room down to the deepest electrode of every borehole.
    lengthvy = s.lengthvy;
    if (m.nboreholes > 0 && m.borehole_display_off == 0) {
        int n = 0;
        for (int b = 0; b < m.nboreholes; n += std::max(0, m.issbor[b]), ++b)
            if (m.issbor[b] > 0)
                lengthvy = std::max(lengthvy,
                                    round_to_int(m.borehole_z[n + m.issbor[b] - 1] * g.us * g.pzm));
    }

    // Step 2: depth of the section, the topography shift and the first row shown.
    const int left_limit = truncate_to_int(float(s.xplt) - d.xscale / float(nps));
    const int right_limit =
        s.xplt + line_length + truncate_to_int(d.xscale / float(nps) / 2.0f) - 1;
    float depth = float(lengthvy / 2);
    if (m.nip > 0) depth = float((right_limit - left_limit) / 4);
    if (m.nwater_layers > 0) depth += std::fabs(m.zwatermax) * g.us * g.pzm;
    const int section_depth = round_to_int(depth);
    model::trace("max vert disp %d zwatermax %.2f\n", section_depth, m.zwatermax);
    g.top = s.yplt;
    g.lower = s.yplt + section_depth;
    if (g.topo) {
        int rise = 0;
        for (int c = 0; c < g.nx; ++c)
            for (int r = 0; r < g.nz; ++r)
                rise = std::max(rise, -round_to_int(m.node_z[c * g.nz + r] * g.us * g.pzm));
        g.top += rise;
        g.lower += rise;
    }
    int first_row = 0;
    if (m.nboreholes > 0 && m.issbor[0] > 0 && m.borehole_z[0] >= 10.0f) m.deep_borehole_view = 1;
    if (m.deep_borehole_view == 1 && m.nboreholes > 0 && m.issbor[0] > 0)
        for (int j = 1; j <= g.nz - 2; ++j)
            if (m.depth_lines[j] * g.us < m.borehole_z[0] * g.us - 0.001f) first_row = j;
    m.first_shown_row = first_row;
    m.first_shown_depth = m.depth_lines[first_row];
    const float z_top = m.depth_lines[first_row] * g.us;
    // The section reaches down to the borehole electrodes it marks, marks included, as far as
    // the mesh goes (step 4 ends the rows at the mesh).
    if (m.nboreholes > 0 && m.borehole_display_off == 0 && Sectiondisplay.show_electrodes == 1) {
        int n = 0, deepest = 0;
        for (int b = 0; b < m.nboreholes; n += std::max(0, m.issbor[b]), ++b)
            for (int e = n; e < n + std::max(0, m.issbor[b]); ++e)
                deepest = std::max(
                    deepest, round_to_int((m.borehole_z[e] - m.first_shown_depth) * g.us * g.pzm));
        g.lower = std::max(g.lower, g.top + deepest + 3);
    }
    // Deep water adds its depth to the section: what lies below the canvas is not drawn, and no
    // row of it is walked.
    g.lower = std::min(g.lower, std::max(g.top, canvas_height));

    g.px.resize(std::size_t(g.nx));
    g.py.resize(std::size_t(g.nz));
    for (int i = 0; i < g.nx; ++i)
        g.px[i] = s.xplt + round_to_int((m.node_col_x[i] * g.us - g.x0) * g.pxm);
    for (int j = 0; j < g.nz; ++j) {
        g.py[j] = g.top + round_to_int((m.depth_lines[j] * g.us - z_top) * g.pzm);
        if (j > first_row) g.py[j] = std::max(g.py[j], g.py[j - 1] + 2);
    }

    // Step 3: the node columns one mesh column beyond both ends of the electrode line.
    const float bound_left = g.x0 - g.us / float(nps);
    const float bound_right = g.x0 + float(m.nelec - 1) * g.us + g.us / float(nps);
    const float eps = 1e-4f * g.us;
    g.left = g.nx - 1;
    while (g.left > 0 && m.node_col_x[g.left - 1] * g.us >= bound_left - eps)
        --g.left;
    g.right = g.left;
    while (g.right < g.nx - 1 && m.node_col_x[g.right] * g.us < bound_right - eps)
        ++g.right;
    g.right = std::min(g.right, m.nx_cells);

    // Step 4: the rows shown end at the lower edge.
    g.ndisp = std::min(m.nwater + m.nmodel_file + 3, m.nwater + m.ngrid_rows + 1);
    g.ndisp = std::clamp(g.ndisp, 1, m.nz_cells + 1);
    if (!g.topo) {
        if (g.py[g.ndisp - 1] >= g.lower || g.py[g.ndisp - 1] < 1)
            for (int i = 1; i <= g.ndisp; ++i)
                if (g.py[i - 1] > g.lower) {
                    g.ndisp = i;
                    break;
                }
    } else {
        for (int r = 1; r <= g.ndisp; ++r) {
            int drop = -(1 << 30);
            for (int c = g.left; c <= g.right; ++c)
                drop = std::max(drop, round_to_int(m.node_z[c * g.nz + r - 1] * g.us * g.pzm));
            if (g.top + drop > g.lower) {
                g.ndisp = r;
                break;
            }
        }
    }
    return g.right > g.left;
}

// Step 5: depth ticks and labels left of the section, and the axis letter.
void depth_axis(const ModelSettings& m, const ModelSectionSpec& s, const Geometry& g,
                int lowest_label_row, gfx::Canvas& dc) {
    const ProgDisplay& d = Progdisplay;
    const int nps = m.nodes_per_spacing > 0 ? m.nodes_per_spacing : 1;
    const int left_limit = truncate_to_int(float(s.xplt) - d.xscale / float(nps));
    int last_label = -(1 << 30);
    for (int j = 1; j <= g.nz - 2; ++j) {
        const int y = g.py[j];
        // Only the rows the section shows: a tick further down would stand below its blocks.
        if (y < g.top || y > g.lower || j >= g.ndisp) continue;
        draw_line(left_limit - 4, y, left_limit, y, dc);
        const float metres = m.depth_lines[j] * g.us;
        const std::string text =
            metres == 0.0f ? "0.0" : number_text(metres, metre_decimals(metres, g.us));
        const int ty = y - d.char_h / 2;
        if (y > last_label + d.char_h && y < lowest_label_row && ty >= g.top && j < g.ndisp) {
            dc.text_out(left_limit - 8 - int(text.size()) * d.char_w, ty, text);
            last_label = y;
        }
    }
    dc.text_out(std::max(0, s.xplt - 40), g.top - 6 - d.char_h, "Z");
}

// The node columns (left .. right) and node rows (0 .. ndisp - 1) of the section whose grid
// lines are drawn: all of them, or on a long line those least_line_gap apart (columns counted
// from the first electrode's).
struct GridLines {
    std::vector<bool> columns, rows;
    bool all() const {
        return std::find(columns.begin(), columns.end(), false) == columns.end() &&
               std::find(rows.begin(), rows.end(), false) == rows.end();
    }
};
GridLines grid_lines(const ModelSettings& m, const ModelSectionSpec& s, const Geometry& g) {
    std::vector<int> x, y;
    for (int c = g.left; c <= g.right; ++c)
        x.push_back(g.topo ? g.node_x_pixel(m, c, 0, s.xplt) : g.px[c]);
    for (int r = 0; r < g.ndisp; ++r)
        y.push_back(g.py[r]);
    return {thinned_lines(x, m.margin_columns - 1 - g.left), thinned_lines(y)};
}

// The block grid of a topography section on a long line: the kept node rows and columns along
// their displaced nodes.
void draw_topography_grid(const ModelSettings& m, const ModelSectionSpec& s, const Geometry& g,
                          const GridLines& lines, gfx::Canvas& dc) {
    dc.select_pen(Progdisplay.pens[24]);
    const auto x = [&](int c, int r) { return g.node_x_pixel(m, c, r, s.xplt); };
    const auto y = [&](int c, int r) { return g.node_z_pixel(m, c, r); };
    for (int r = 0; r < g.ndisp; ++r)
        if (lines.rows[std::size_t(r)])
            for (int c = g.left; c < g.right; ++c)
                draw_line(x(c, r), y(c, r), x(c + 1, r), y(c + 1, r), dc);
    for (int c = g.left; c <= g.right; ++c)
        if (lines.columns[std::size_t(c - g.left)])
            for (int r = 0; r + 1 < g.ndisp; ++r)
                draw_line(x(c, r), y(c, r), x(c, r + 1), y(c, r + 1), dc);
}

// Step 6: the blocks of the rows shown, with their outlines recorded.
void draw_blocks(const ModelSettings& m, const ModelSectionSpec& s, const Geometry& g,
                 gfx::Canvas& dc) {
    const ProgDisplay& d = Progdisplay;
    SectionOutlines& o = Sectionoutlines;
    o.clear_group(s.group);
    // A topography block is a polygon through four displaced corners, outlined in pen 24; on a
    // long line in its own colour, with the grid thinned over it afterwards.
    gfx::FillMode old_mode = gfx::FillMode::alternate;
    const GridLines lines = g.topo ? grid_lines(m, s, g) : GridLines{};
    const bool outlined = g.topo && lines.all();
    if (g.topo) {
        old_mode = dc.set_poly_fill_mode(gfx::FillMode::winding);
        dc.select_pen(d.pens[24]);
    }
    const int nvalues = std::max(1, s.nvalues);
    for (int r = 1; r <= g.ndisp - 1; ++r) {
        for (int c = g.left + 1; c <= g.right; ++c) {
            const int code = std::clamp(s.codes[index2d(c, r, m.nx_cells)], 0, nvalues - 1);
            const int colour = std::clamp(s.colours[code], 0, 31);
            int cx[4], cy[4];
            if (!g.topo) {
                const int top = g.py[r - 1], bottom = std::min(g.py[r], g.lower);
                if (top < g.top || top >= bottom) continue;
                dc.select_brush(d.brushes[colour]);
                dc.select_pen(d.pens[colour]);
                dc.rectangle(g.px[c - 1], top, g.px[c], bottom);
                const int xs[4] = {g.px[c - 1], g.px[c], g.px[c], g.px[c - 1]};
                const int ys[4] = {top, top, bottom, bottom};
                std::copy(xs, xs + 4, cx), std::copy(ys, ys + 4, cy);
            } else {
                const int nodes[4][2] = {{c - 1, r - 1}, {c, r - 1}, {c, r}, {c - 1, r}};
                std::vector<gfx::Point> pts;
                for (int k = 0; k < 4; ++k) {
                    cx[k] = g.node_x_pixel(m, nodes[k][0], nodes[k][1], s.xplt);
                    cy[k] = g.node_z_pixel(m, nodes[k][0], nodes[k][1]);
                    pts.push_back({cx[k], cy[k]});
                }
                dc.select_brush(d.brushes[colour]);
                if (!outlined) dc.select_pen(d.pens[colour]);
                dc.polygon(pts);
                // The surface row's corners, where the topography shows.
                if (r == 1)
                    model::trace("Block %d %d pts x %d %d %d %d y %d %d %d %d\n", r, c, cx[0],
                                 cx[1], cx[2], cx[3], cy[0], cy[1], cy[2], cy[3]);
            }
            const std::size_t b =
                std::size_t(s.group) * o.blocks_per_group + std::size_t(index2d(c, r, m.nx_cells));
            o.block_drawn[b] = 1;
            std::copy(cx, cx + 4, o.block_x.begin() + 4 * b);
            std::copy(cy, cy + 4, o.block_y.begin() + 4 * b);
        }
    }
    if (g.topo) dc.set_poly_fill_mode(old_mode);
    if (g.topo && !outlined) draw_topography_grid(m, s, g, lines, dc);
    dc.select_pen(d.pens[24]);
}

// The node rows of a flat section whose grid line draw_grid draws: kept[r] for r = 0 .. ndisp - 1
// (none at the surface, r = 0), the lines below the lower edge drawn on it, thinned on a long
// line.
std::vector<bool> flat_grid_rows(const Geometry& g, int section_top) {
    std::vector<int> ys, rows;
    for (int r = 1; r <= g.ndisp - 1; ++r)
        if (g.py[r] >= section_top) ys.push_back(std::min(g.py[r], g.lower)), rows.push_back(r);
    const std::vector<bool> kept = thinned_lines(ys);
    std::vector<bool> by_row(std::size_t(std::max(0, g.ndisp)), false);
    for (std::size_t k = 0; k < rows.size(); ++k)
        by_row[std::size_t(rows[k])] = kept[k];
    return by_row;
}

// Step 7: the block grid of a flat section, thinned on a long line (grid_lines).
void draw_grid(const ModelSettings& m, const ModelSectionSpec& s, const Geometry& g,
               int section_top, gfx::Canvas& dc) {
    beep();
    dc.select_pen(Progdisplay.pens[24]);
    const std::vector<bool> rows = flat_grid_rows(g, section_top);
    for (int r = 1; r <= g.ndisp - 1; ++r)
        if (rows[std::size_t(r)]) {
            const int y = std::min(g.py[r], g.lower);
            draw_line(g.px[g.left], y, g.px[g.right], y, dc);
        }
    const int bottom = std::min(g.py[std::max(0, g.ndisp - 1)], g.lower);
    const GridLines lines = grid_lines(m, s, g);
    for (int c = g.left; c <= g.right; ++c)
        if (lines.columns[std::size_t(c - g.left)])
            draw_line(g.px[c], section_top, g.px[c], bottom, dc);
}

// The sides of every drawn block that lie on a grid line drawn in pen 24
// (SectionOutlines::block_sides): those of a topography section's kept node rows and columns
// (every one when none was left out), those of a flat section on the pixel rows and columns its
// grid drew (none without a grid: the display mode's).
void record_block_sides(const ModelSettings& m, const ModelSectionSpec& s, const Geometry& g) {
    SectionOutlines& o = Sectionoutlines;
    const GridLines lines = grid_lines(m, s, g);
    const bool outlined = g.topo && lines.all();
    std::set<int> ys, xs; // the flat grid's drawn pixel rows and columns
    if (!g.topo && Progdisplay.grid_flag == 0) {
        const std::vector<bool> rows = flat_grid_rows(g, g.top);
        for (int r = 1; r <= g.ndisp - 1; ++r)
            if (rows[std::size_t(r)]) ys.insert(std::min(g.py[r], g.lower));
        for (int c = g.left; c <= g.right; ++c)
            if (lines.columns[std::size_t(c - g.left)]) xs.insert(g.px[c]);
    }
    for (int r = 1; r <= g.ndisp - 1; ++r)
        for (int c = g.left + 1; c <= g.right; ++c) {
            const std::size_t b =
                std::size_t(s.group) * o.blocks_per_group + std::size_t(index2d(c, r, m.nx_cells));
            if (o.block_drawn[b] != 1) continue;
            // Sides from corner k to k + 1: top, right, bottom, left.
            bool side[4];
            if (g.topo) {
                side[0] = outlined || lines.rows[std::size_t(r - 1)];
                side[1] = outlined || lines.columns[std::size_t(c - g.left)];
                side[2] = outlined || lines.rows[std::size_t(r)];
                side[3] = outlined || lines.columns[std::size_t(c - 1 - g.left)];
            } else {
                side[0] = ys.count(o.block_y[4 * b]) > 0;
                side[1] = xs.count(o.block_x[4 * b + 1]) > 0;
                side[2] = ys.count(o.block_y[4 * b + 2]) > 0;
                side[3] = xs.count(o.block_x[4 * b]) > 0;
            }
            o.block_sides[b] = std::uint8_t(side[0] | side[1] << 1 | side[2] << 2 | side[3] << 3);
        }
}

// Step 9: misfit line and colour boxes with their values above the section.
void colour_scale(const ModelSectionSpec& s, int y1, gfx::Canvas& dc) {
    const ProgDisplay& d = Progdisplay;
    SectionOutlines& o = Sectionoutlines;
    if (s.rms_flag > 0) {
        char text[64];
        std::snprintf(text, sizeof text, s.rms_units == 0 ? "RMS error %.2f%%" : "RMS error %.2f",
                      double(s.rms_value));
        dc.text_out(s.xplt, y1 - 3 * d.char_h - 12, text);
    }
    int pitch = 36;
    for (int i = 0; i < s.nvalues; ++i)
        pitch = std::max(pitch, int(number_text(s.values[i], 0).size() + 1) * d.char_w);
    const int x_first = s.nvalues > 6 ? 2 * d.char_w : s.xplt;
    const int box_top = y1 - 2 * d.char_h - 13, box_bottom = y1 - d.char_h - 13;
    const int nboxes = std::min(s.nvalues, o.boxes_per_group);
    for (int i = 0; i < nboxes; ++i) {
        const int x = x_first + i * pitch;
        dc.select_brush(d.brushes[std::clamp(s.colours[i], 0, 31)]);
        dc.select_pen(d.pens[24]);
        dc.rectangle(x, box_top, x + 20, box_bottom);
        const std::size_t box = 4 * (std::size_t(s.group) * o.boxes_per_group + std::size_t(i));
        const int xs[4] = {x, x + 20, x + 20, x},
                  ys[4] = {box_top, box_top, box_bottom, box_bottom};
        std::copy(xs, xs + 4, o.box_x.begin() + box);
        std::copy(ys, ys + 4, o.box_y.begin() + box);
        dc.text_out(x - d.char_w, y1 - d.char_h - 2,
                    number_text(s.values[i], model_value_decimals(s.values[i])));
    }
}

// Step 10: distances of the electrodes from the first one along the surface.
void electrode_axis(const ModelSettings& m, const ModelSectionSpec& s, const Geometry& g,
                    gfx::Canvas& dc) {
    const ProgDisplay& d = Progdisplay;
    const SectionOutlines& o = Sectionoutlines;
    const int nps = m.nodes_per_spacing > 0 ? m.nodes_per_spacing : 1;
    const int step = electrode_label_step(m.nelec);
    std::vector<int> xs(std::size_t(std::max(0, m.nelec))), ys(xs.size());
    for (int i = 0; i < m.nelec; ++i) {
        int x = s.xplt + truncate_to_int(float(i) * g.us * g.pxm), y = g.top;
        if (g.topo) {
            // The top-left corner of the topmost drawn block of the electrode's node column.
            const int c = m.margin_columns + i * nps; // 1-based cell column right of the node
            bool found = false;
            for (int r = 1; r < g.ndisp && !found && c <= m.nx_cells; ++r) {
                const std::size_t b = std::size_t(s.group) * o.blocks_per_group +
                                      std::size_t(index2d(c, r, m.nx_cells));
                if (o.block_drawn[b] == 1) x = o.block_x[4 * b], y = o.block_y[4 * b], found = true;
            }
        }
        xs[std::size_t(i)] = x, ys[std::size_t(i)] = y;
    }
    // On a long line the ticks are thinned; a labelled electrode keeps its tick.
    const std::vector<bool> ticks = thinned_lines(xs);
    int previous_x = -(1 << 30);
    for (int i = 0; i < m.nelec; ++i) {
        const float metres = float(i) * g.us;
        const int x = xs[std::size_t(i)], y = ys[std::size_t(i)];
        const std::string text = number_text(metres, metre_decimals(metres, g.us));
        const bool label =
            i % step == 0 && (i == 0 || (int(text.size()) + 2) * d.char_w < x - previous_x);
        if (label || ticks[std::size_t(i)]) draw_line(x, y - 1, x, y - 5, dc);
        if (!label) continue;
        dc.text_out(x - int(text.size()) * d.char_w / 2, y - 6 - d.char_h, text);
        previous_x = x;
    }
}

// Step 11: borehole tops and electrodes; an electrode whose mark would pass the section's
// bottom (below the mesh) is left out.
void draw_boreholes(const ModelSettings& m, const ModelSectionSpec& s, const Geometry& g,
                    int bottom, gfx::Canvas& dc) {
    if (m.nboreholes <= 0 || m.borehole_display_off != 0) return;
    const ProgDisplay& d = Progdisplay;
    dc.select_pen(d.pens[26]);
    dc.select_brush(d.brushes[26]);
    int n = 0;
    for (int b = 0; b < m.nboreholes; n += std::max(0, m.issbor[b]), ++b) {
        if (m.issbor[b] <= 0) continue;
        const int x = s.xplt + truncate_to_int(m.borehole_x[n] * g.us * g.pxm);
        draw_line(x, g.top - 2, x, g.top - 7, dc);
        if (Sectiondisplay.show_electrodes != 1) continue;
        for (int e = n; e < n + m.issbor[b]; ++e) {
            const int ex = s.xplt + truncate_to_int(m.borehole_x[e] * g.us * g.pxm);
            const int ey =
                g.top + round_to_int((m.borehole_z[e] - m.first_shown_depth) * g.us * g.pzm);
            if (ey - 2 >= g.top && ey + 2 <= bottom) dc.ellipse(ex - 2, ey - 2, ex + 2, ey + 2);
        }
    }
}

} // namespace

int plotmodel(ModelSettings& m, const ModelSectionSpec& s, gfx::Canvas& dc, int* title_y) {
    const ProgDisplay& d = Progdisplay;
    model::trace("plotmodel nmodel_file %d nwater %d ndisp %d tflag %d\nlengthvx %d lengthvy %d "
                 "xscale %.2f\nxplt %d yplt %d\n",
                 m.nmodel_file, m.nwater, 0, m.tflag, d.lengthvx, s.lengthvy, double(d.xscale),
                 s.xplt, s.yplt);
    Geometry g;
    int lengthvy = s.lengthvy;
    // A canvas that grows to hold its picture holds the section as far as it may grow.
    const int canvas_height = dc.growth().most.cy > 0 ? dc.growth().most.cy : dc.height();
    if (!s.codes || !s.colours || !lay_out(m, s, canvas_height, g, lengthvy)) return s.yplt;
    SectionOutlines& o = Sectionoutlines;
    o.blocks_per_group = m.nx_cells * m.nz_cells;
    o.boxes_per_group = std::max(1, Proglim.max_resistivity_values);
    o.reserve_group(s.group, o.blocks_per_group, 4, o.boxes_per_group);

    depth_axis(m, s, g, s.yplt + lengthvy - 2 * d.char_h, dc);
    model::trace("Topo flag %d\n", m.tflag);
    model::trace("Plot model section ndisp %d x limits %d %d\n", g.ndisp, g.left + 1, g.right);
    draw_blocks(m, s, g, dc);
    if (d.grid_flag == 0 && !g.topo) draw_grid(m, s, g, g.top, dc);
    record_block_sides(m, s, g);

    // The highest point of the section, and its lowest, from what was drawn.
    int top = g.top, bottom = g.top;
    bool any = false;
    const std::size_t first = std::size_t(s.group) * o.blocks_per_group;
    for (std::size_t b = first; b < first + std::size_t(o.blocks_per_group); ++b) {
        if (o.block_drawn[b] != 1) continue;
        const int t = std::min(o.block_y[4 * b], o.block_y[4 * b + 1]);
        const int u = std::max(o.block_y[4 * b + 2], o.block_y[4 * b + 3]);
        top = any ? std::min(top, t) : t;
        bottom = any ? std::max(bottom, u) : u;
        any = true;
    }
    if (!g.topo) top = g.top;
    const int y1 = top - d.char_h - 7;
    const int title_width = int(std::strlen(s.title)) * d.char_w;
    // Centred over the blocks, but never starting left of the canvas.
    dc.text_out(std::max(1, (g.px[g.left] + g.px[g.right] - title_width) / 2), y1 - d.char_h,
                s.title);
    if (title_y) *title_y = y1 - d.char_h;
    colour_scale(s, y1, dc);
    electrode_axis(m, s, g, dc);
    draw_boreholes(m, s, g, any ? bottom : g.lower, dc);

    dc.select_pen(d.pens[24]);
    dc.select_brush(d.brushes[25]);
    return (any ? bottom : g.lower) + 6;
}
