// Marking model blocks with the mouse and keys, and giving them the value of a colour box.
#include "display/block_editing.h"

#include "display/display_commands.h"
#include "display/lines.h"
#include "display/model_section.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <vector>

int point_in_block(int n, const std::int32_t* x, const std::int32_t* y, int px, int py) {
    if (n < 1 || (x[0] == 0 && y[0] == 0)) return 0;
    const auto inside = [&](int i, int j) {
        return (long long)(py - y[i]) * (x[j] - x[i]) - (long long)(px - x[i]) * (y[j] - y[i]) >= 0;
    };
    for (int i = 0; i + 1 < n; ++i)
        if (!inside(i, i + 1)) return 0;
    if ((x[n - 1] != x[0] || y[n - 1] != y[0]) && !inside(n - 1, 0)) return 0;
    return 1;
}

namespace {

SectionOutlines& outlines() {
    return Sectionoutlines;
}

void show_canvas() {
    const ProgDisplay& d = Progdisplay;
    if (d.canvas_dc)
        ui::window_canvas().bit_blt(0, 0, d.canvas_width, d.canvas_height, *d.canvas_dc, d.scroll_x,
                                    d.scroll_y);
    if (*status_line()) show_status_text(status_line());
}

// A value of the model changed: its results are stale, and the first such edit says so.
void model_changed(ModelSettings& m) {
    const bool had_results =
        m.results_stale == 0 && (m.pot_values_present == 1 || m.data_ready == 1);
    model::model_edited(m);
    if (had_results)
        set_status_line("The model has changed: the data shown belong to the model before the "
                        "edit. Calculate again for the edited model's data.");
}

// Block b (any model) drawn anew filled with `brush`: a cylinder cell outlined in pen 24; a
// block of a block model as the section drew it (a flat block's box, a topography block's
// polygon) in the brush's colour, with those of its sides in pen 24 that lie on a grid line the
// section drew (all of them but on a long line, whose grid is thinned).
void paint_block(std::size_t b, int brush) {
    const ProgDisplay& d = Progdisplay;
    const SectionOutlines& o = outlines();
    if (!d.canvas_dc) return;
    gfx::Canvas& dc = *d.canvas_dc;
    const std::size_t points = std::size_t(o.points_per_block);
    const int n = points == 4 ? 4 : o.block_count[b];
    const std::int32_t* x = &o.block_x[points * b];
    const std::int32_t* y = &o.block_y[points * b];
    std::vector<gfx::Point> pts;
    for (int k = 0; k < n; ++k)
        pts.push_back({x[k], y[k]});
    const int colour = std::clamp(brush, 0, 31);
    dc.select_brush(d.brushes[colour]);
    if (points != 4) {
        dc.select_pen(d.pens[24]);
        if (n >= 3) dc.polygon(pts);
        return;
    }
    dc.select_pen(d.pens[colour]);
    if (Modelsettings.tflag != 0)
        dc.polygon(pts);
    else
        dc.rectangle(x[0], y[0], x[2], y[2]);
    dc.select_pen(d.pens[24]);
    const std::uint8_t sides = b < o.block_sides.size() ? o.block_sides[b] : all_block_sides;
    for (int k = 0; k < 4; ++k)
        if (sides & (1 << k)) draw_line(x[k], y[k], x[(k + 1) % 4], y[(k + 1) % 4], dc);
}

constexpr int highlight_brush = 18;

// ---- Block models ----------------------------------------------------------------------------

// The groups of block-model sections that can be edited: resistivity, and IP with IP values.
int edit_groups() {
    const SectionOutlines& o = outlines();
    if (o.points_per_block != 4 || o.blocks_per_group <= 0) return 0;
    const int drawn = int(o.block_drawn.size() / std::size_t(o.blocks_per_group));
    return std::min(drawn, Modelsettings.nip > 0 ? 2 : 1);
}

bool contains(std::size_t b, int cx, int cy) {
    const SectionOutlines& o = outlines();
    return point_in_block(4, &o.block_x[4 * b], &o.block_y[4 * b], cx, cy) == 1;
}

// Marks block b; shown blocks are drawn with the highlight brush. True when it was not marked.
bool mark(std::size_t b) {
    SectionOutlines& o = outlines();
    if (o.block_marked[b] == 1) return false;
    o.block_marked[b] = 1;
    if (o.block_drawn[b] == 1) paint_block(b, highlight_brush);
    return true;
}

// Block numbers b, b + 1, b + 2, b + 3 within the section of b.
bool mark_four(std::size_t b) {
    const std::size_t n = std::size_t(outlines().blocks_per_group);
    const std::size_t end = (b / n + 1) * n;
    bool any = false;
    for (std::size_t k = b; k < std::min(b + 4, end); ++k)
        any = mark(k) || any;
    return any;
}

// A colour box of `group` under the cursor gives the marked blocks of that group its value.
bool apply_colour_boxes(int group, int cx, int cy) {
    SectionOutlines& o = outlines();
    ModelSettings& m = Modelsettings;
    const int nboxes = std::min(group == 0 ? m.nresis : m.nip, o.boxes_per_group);
    std::int32_t* codes = group == 0 ? m.resistivity_codes : m.ip_codes;
    const std::size_t n = std::size_t(o.blocks_per_group);
    bool changed = false;
    for (int c = 0; c < nboxes; ++c) {
        const std::size_t box = 4 * (std::size_t(group) * o.boxes_per_group + std::size_t(c));
        if (!(o.box_x[box] < cx && cx < o.box_x[box + 2] && o.box_y[box] < cy &&
              cy < o.box_y[box + 2]))
            continue;
        beep();
        bool edited = false;
        for (std::size_t k = group * n; k < (group + 1) * n; ++k) {
            if (o.block_marked[k] != 1) continue;
            edited = edited || codes[k - group * n] != c;
            codes[k - group * n] = c;
            o.block_marked[k] = 0;
            if (o.block_drawn[k] == 1) paint_block(k, m.colour_marks[c]);
            changed = true;
        }
        if (edited) model_changed(m);
    }
    return changed;
}

// The blocks a key marks from the block at (row r, column c) of `group`.
bool mark_by_key(int ch, int group, int r, int c) {
    const ModelSettings& m = Modelsettings;
    const std::size_t base = std::size_t(group) * std::size_t(outlines().blocks_per_group);
    const auto at = [&](int row, int col) {
        return base + std::size_t(index2d(col, row, m.nx_cells));
    };
    int r0 = r, r1 = r, c0 = c, c1 = c;
    switch (ch) {
    case 'P':
    case 'p':
        if (!mark(at(r, c))) return false;
        beep();
        return true;
    case '4':
        beep();
        return mark_four(at(r, c));
    case 'D':
    case 'd':
        r1 = m.nz_cells;
        break;
    case ']':
        c1 = m.nx_cells;
        break;
    case '[':
        c0 = 1;
        break;
    case '}':
        r1 = m.nz_cells, c1 = m.nx_cells;
        break;
    case '{':
        r1 = m.nz_cells, c0 = 1;
        break;
    default:
        return false;
    }
    beep();
    bool any = false;
    for (int row = r0; row <= r1; ++row)
        for (int col = c0; col <= c1; ++col)
            any = mark(at(row, col)) || any;
    return any;
}

} // namespace

int mark_block(int cx, int cy) {
    const std::size_t n = std::size_t(std::max(0, outlines().blocks_per_group));
    bool any = false;
    for (int g = 0; g < edit_groups(); ++g)
        for (std::size_t b = g * n; b < (g + 1) * n; ++b)
            if (outlines().block_marked[b] != 1 && contains(b, cx, cy)) {
                beep();
                SectionOutlines& o = outlines();
                o.block_marked[b] = 1;
                paint_block(b, highlight_brush);
                any = true;
                break;
            }
    show_canvas();
    return any ? 1 : 0;
}

int mark_blocks_multi(int cx, int cy) {
    const std::size_t n = std::size_t(std::max(0, outlines().blocks_per_group));
    bool any = false;
    for (int g = 0; g < edit_groups(); ++g) {
        // A click on the edge or corner two or four blocks share marks from the first of them,
        // with one beep.
        for (std::size_t b = g * n; b < (g + 1) * n; ++b)
            if (contains(b, cx, cy)) {
                beep();
                any = mark_four(b) || any;
                break;
            }
        any = apply_colour_boxes(g, cx, cy) || any;
    }
    show_canvas();
    return any ? 1 : 0;
}

int edit_blocks_mode3(int ch, int cx, int cy) {
    if (ch == ';' || ch == 'H' || ch == 'h') {
        char buffer[1024];
        edit_help_message(buffer, sizeof buffer);
        return 0;
    }
    const ModelSettings& m = Modelsettings;
    bool any = false;
    for (int g = 0; g < edit_groups(); ++g) {
        if (ch == 'C' || ch == 'c') {
            any = apply_colour_boxes(g, cx, cy) || any;
            continue;
        }
        const std::size_t base = std::size_t(g) * std::size_t(outlines().blocks_per_group);
        bool found = false; // the first block under the pointer, as for a click
        for (int r = 1; r <= m.nz_cells && !found; ++r)
            for (int c = 1; c <= m.nx_cells && !found; ++c)
                if (contains(base + std::size_t(index2d(c, r, m.nx_cells)), cx, cy)) {
                    any = mark_by_key(ch, g, r, c) || any;
                    found = true;
                }
    }
    show_canvas();
    return any ? 1 : 0;
}

// ---- Cylinder models -------------------------------------------------------------------------

namespace {

// An outline of up to 4 points is tested in reverse order; one of 5 or more as the two
// 5-point polygons that share the edge from point 1 to point 5.
bool cell_contains(int c, int cx, int cy) {
    const SectionOutlines& o = outlines();
    const std::int32_t* x = &o.block_x[8 * std::size_t(c)];
    const std::int32_t* y = &o.block_y[8 * std::size_t(c)];
    const int n = o.block_count[c];
    if (n < 3) return false;
    if (n <= 4) {
        std::int32_t rx[4], ry[4];
        for (int k = 0; k < n; ++k)
            rx[k] = x[n - 1 - k], ry[k] = y[n - 1 - k];
        return point_in_block(n, rx, ry, cx, cy) == 1;
    }
    const int halves[2][5] = {{0, 7, 6, 5, 1}, {1, 5, 4, 3, 2}};
    for (const auto& h : halves) {
        std::int32_t px[5], py[5];
        for (int k = 0; k < 5; ++k)
            px[k] = x[h[k]], py[k] = y[h[k]];
        if (point_in_block(5, px, py, cx, cy) == 1) return true;
    }
    return false;
}

// The first unmarked cell under the cursor, or -1.
int cell_under(int cx, int cy) {
    const SectionOutlines& o = outlines();
    if (o.points_per_block != 8) return -1;
    for (int c = 0; c < o.blocks_per_group && c < int(o.block_drawn.size()); ++c)
        if (o.block_marked[c] != 1 && cell_contains(c, cx, cy)) return c;
    return -1;
}

void mark_cell(int c) {
    outlines().block_marked[c] = 1;
    paint_block(std::size_t(c), highlight_brush);
}

} // namespace

int draw_mark_block_right(int cx, int cy) {
    model::trace("xc %d yc %d\n", cx, cy);
    const int c = cell_under(cx, cy);
    if (c < 0) return 0;
    beep();
    mark_cell(c);
    show_canvas();
    return 1;
}

int draw_mark_block_left(int cx, int cy) {
    model::trace("xc %d yc %d\n", cx, cy);
    SectionOutlines& o = outlines();
    if (o.points_per_block != 8) return 0;
    const int c = cell_under(cx, cy);
    bool any = false;
    if (c >= 0) {
        beep();
        mark_cell(c);
        any = true;
        // The next three cells, not past the end of the ring (where the outline's second point
        // comes back to the x of the first cell's).
        for (int k = c + 1; k <= c + 3 && k < o.blocks_per_group; ++k) {
            if (o.block_x[8 * std::size_t(k) + 1] == o.block_x[1]) break;
            if (o.block_marked[k] != 1) mark_cell(k);
        }
    } else {
        ModelSettings& m = Modelsettings;
        for (int b = 0; b < std::min(m.nresis, o.boxes_per_group); ++b) {
            const std::size_t box = 4 * std::size_t(b);
            if (!(o.box_x[box] < cx && cx < o.box_x[box + 2] && o.box_y[box] < cy &&
                  cy < o.box_y[box + 2]))
                continue;
            beep();
            bool edited = false;
            for (int k = 0; k < o.blocks_per_group; ++k) {
                if (o.block_marked[k] != 1) continue;
                edited = edited || m.resistivity_codes[k] != b;
                m.resistivity_codes[k] = b;
                o.block_marked[k] = 0;
                paint_block(std::size_t(k), m.colour_marks[b]);
                any = true;
            }
            if (edited) model_changed(m);
        }
    }
    show_canvas();
    return any ? 1 : 0;
}
