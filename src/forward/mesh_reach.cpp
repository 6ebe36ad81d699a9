// The solver mesh of a block model: the model's node mesh with padding columns and rows, its
// lines cut finer near the surface electrodes and around the buried ones.
#include "forward/mesh_reach.h"

#include "forward/apparent.h"

#include "fdsolve/spline.h"

#include "model/model_settings.h"
#include "model/solver_io.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace forward {

namespace {

// Padding spacings grow by half again each: the reach of a long line's widest array in a few
// rows. Measured on homogeneous lines of 96 to 601 electrodes: every datum of the standard
// sets within 2 % of the half-space value (pole-pole 3 %) with the bottom and the side edges
// two spans of the widest datum away; at one span the pole-pole data of a 96-electrode line
// read 3.4 % off, at half a span the Wenner data of 301 electrodes 5 %.
constexpr float growth = 1.5f;
constexpr float reach_per_span = 2.0f;
// A remote electrode's current spreads through the ground beyond it and beyond the electrodes
// it is measured at: measured on homogeneous ground with remote electrodes 60 to 1000 spacings
// off a 21-electrode line, their potentials at the electrodes read 4 to 8 % off with the bottom
// and the sides just beyond them (the model's own 6 spacings deep), within 1.2 % with them
// twice their distance from the line away; P2's potential from C2, both 3000 spacings off the
// ends of a 61-electrode line, 2.2 % off with them twice that distance away, 0.8 % with them
// twice the 6060 spacings between the two.
constexpr float remote_per_distance = 2.0f;
// A buried electrode's current spreads around it: measured with a hole of 32 electrodes down
// to 835 spacings below a 40-electrode line (the sides two spans of its widest datum, 78
// spacings, beyond the line's ends), its in-hole pairs read up to 105 % off; with the sides and
// the bottom once the farthest pair a buried electrode makes away (beyond the line's ends,
// below the deepest electrode) 0.4 %, twice 0.2 %.
constexpr float buried_per_distance = 2.0f;
// The wavenumbers continue below the first one as a point source's potential, which the
// potential of a buried electrode is only with its image in the surface as well, while that
// image is still near: the in-hole pairs of that hole read up to 4.7 % off with the first
// wavenumber 1.55 over the farthest distance of an electrode from another's image, 1.1 % at
// 0.73, 0.2 % at 0.33.
constexpr double image_wavenumber = 0.5;
// The boundary condition takes the ground beyond the mesh as homogeneous: a conductive layer
// over a resistive base carries the current farther sideways, a resistive layer over a
// conductive base sends it deeper. Measured with pole-pole data of 2.5 to 32.5 m on a
// 41-electrode line (the model's margin 44 spacings, the bottom two spans down): 10 ohm-m over
// 200 ohm-m at 5 m read 0.4 to 3.7 % low, 10 over 500 ohm-m 3.6 to 9.9 %, 10 over 100 ohm-m at
// 10 m and 20 over 1000 ohm-m at 2 m up to 3.8 %; with the sides twice the layers' reach away
// all within 1.1 % (at 4 and 8 times: 1.8 and 2.1 %, the near data's own error growing). 200
// over 10 ohm-m read up to 1.3 % high, 0.9 % with the bottom four times as deep.
constexpr float reach_per_layer = 2.0f;

// A remote electrode is placed on the nodes nearest to it unless they are among the three
// outermost lines of the mesh: four lines beyond it give it its nodes. Its potentials at the
// line cross the padding between them: measured on homogeneous ground with the electrodes 300
// to 100000 spacings off a 21-electrode line at 4 to 12 nodes a spacing, they read up to 2.2 %
// off through padding that grows by 1.5 a column, within 1 % through padding that grows by 1.2
// up to the electrode (0.3 % at 1.15).
constexpr int lines_beyond_held = 4;
constexpr float toward_held = 1.2f;

// Spacings added beyond `reached` (from the spacing `last` on) until `target` is reached and,
// with a point to hold `hold` out (0: none), until lines_beyond_held lines lie beyond it, of
// which `beyond` are there already; they grow by toward_held up to that point. `holds`: whether
// the point is held within `most` spacings.
struct Padding {
    std::vector<float> steps;
    bool holds = true;
};
Padding padding(float reached, float last, float target, int most, float hold = 0.0f,
                int beyond = lines_beyond_held) {
    Padding p;
    while ((reached < target || (hold > 0.0f && beyond < lines_beyond_held)) &&
           int(p.steps.size()) < most) {
        last *= reached < hold ? toward_held : growth;
        reached += last;
        p.steps.push_back(last);
        if (reached > hold) ++beyond;
    }
    p.holds = !(hold > 0.0f) || beyond >= lines_beyond_held;
    return p;
}

// The number of lines among those at `widths` outward from a line's end (the innermost first)
// that lie beyond `hold`.
int lines_beyond(const float* widths, int n, int step, float hold) {
    int beyond = 0;
    float at = 0.0f;
    for (int i = 0; i < n; ++i) {
        at += widths[i * step];
        if (at > hold) ++beyond;
    }
    return beyond;
}

bool standard_array(int code) {
    return (code >= 1 && code <= 10) || code == 15;
}

// Rows whose top lies within one unit spacing of the surface and that are thicker than 1.2
// node spacings along the line are split into equal rows no thicker than that. Measured on a
// pole-pole line with its own default depths (rows of 0.45 spacings at 4 nodes a spacing):
// neighbouring electrodes read 4.3 % (finite differences) and 5.2 % (elements) high, with the
// rows split 0.6 %.
constexpr float split_near = 1.0f, thickest_near = 1.2f;

// Models whose electrodes stand on nodes of a given row: water rows, boreholes, a tank's
// floor and line electrodes keep the model's rows.
bool rows_may_split(const ModelSettings& s) {
    return s.water_present != 1 && s.nboreholes == 0 && s.tank_model != 1 &&
           s.electrode_type == 0 && s.nodes_per_spacing >= 1;
}

// Around a buried electrode (and down from the surface electrodes' row) the lines are the
// spacing at the electrode apart, one passing through the electrode, and their spacing grows by
// graded_growth a line away from it until the model's own lines are as close. Measured with
// boreholes of electrodes from 1 to 8 m on homogeneous ground at 4 nodes a spacing: on the
// model's lines an in-hole pair 1 m apart read 10.8 % off above rows of 2 m, an in-hole array
// of 1 m through rows of 0.5 m 3.6 % and an inclined borehole in the side columns 5.7 %; with
// the lines within two spacings of every electrode no wider than the node spacing, every
// in-hole, cross-hole and surface-to-hole array 1.6 % at most, but a row of 500 spacings around
// an electrode became 2000 rows. Graded by 1.3 they read 1.6 % at most as well (by 1.4 and 1.5
// the quadrilateral solver's in-hole pairs 1.5 and 1.6 %, its surface dipoles by a hole at 8
// nodes a spacing 1.4 % with the rows graded down from the surface, 3.8 % without).
constexpr float graded_growth = 1.3f;
// The potential a point source gives at a distance r depends on the mesh around it through the
// spacing there over r: the spacing at a buried electrode is an eighth of its distance to the
// nearest other electrode, or the node spacing where that is wider. Measured with a hole of 32
// electrodes 25 spacings apart below a line at 4 nodes a spacing, on homogeneous ground: its
// in-hole arrays of four read 0.1 % off at a sixteenth (386 rows), 0.5 % at an eighth (257),
// 0.8 % at a sixth (240), 1.7 % at a quarter (191; so do the arrays of one spacing at the node
// spacing of a quarter), against 756 rows at the node spacing.
constexpr float spacing_per_distance = 0.125f;
// The last gap between the lines graded from both ends of an interval may be 2 % wider than the
// spacing there: a gap just over it would otherwise take a line more (a row in every interval of
// a hole of electrodes two spacings apart, 143 rows where 125 do, its arrays as close).
constexpr float last_gap_slack = 1.02f;

bool grades_buried(const ModelSettings& s) {
    return s.nboreholes > 0 && s.nborehole_nodes > 0 && s.tank_model != 1 &&
           s.electrode_type == 0 && s.nodes_per_spacing >= 1;
}

// How the solver mesh cuts each model interval of an axis: into parts no wider than `widest`
// (infinity: kept whole), first at the fractions `at` of it (ascending), where buried
// electrodes stand and the lines graded around them lie.
struct Cuts {
    std::vector<float> widest;
    std::vector<std::vector<float>> at;
    explicit Cuts(int n)
        : widest(std::size_t(std::max(n, 0)), INFINITY), at(std::size_t(std::max(n, 0))) {}
    void narrow(int i, float width) {
        widest[std::size_t(i)] = std::min(widest[std::size_t(i)], width);
    }
    // A cut at `v` in interval i of [lo, hi], unless v lies within `margin` of its ends.
    void cut(int i, float lo, float hi, float v, float margin) {
        if (!(v > lo + margin && v < hi - margin)) return;
        std::vector<float>& a = at[std::size_t(i)];
        const float f = (v - lo) / (hi - lo);
        if (std::find(a.begin(), a.end(), f) == a.end())
            a.insert(std::upper_bound(a.begin(), a.end(), f), f);
    }
};
struct Widest {
    Cuts rows, columns;
};

// Positions of the n + 1 ends of n intervals of `widths`, the first at 0.
std::vector<float> line_positions(const float* widths, int n) {
    std::vector<float> p(std::size_t(n) + 1, 0.0f);
    for (int i = 0; i < n; ++i)
        p[std::size_t(i) + 1] = p[std::size_t(i)] + widths[i];
    return p;
}

// The node (from 0) of `lines` nearest `v`.
int nearest_line(const std::vector<float>& lines, float v) {
    int best = 0;
    for (int i = 1; i < int(lines.size()); ++i)
        if (std::fabs(lines[std::size_t(i)] - v) < std::fabs(lines[std::size_t(best)] - v))
            best = i;
    return best;
}

// A point the lines are graded around: where it stands and the spacing at it.
struct Graded {
    float at, h;
    bool operator<(const Graded& o) const { return at < o.at || (at == o.at && h < o.h); }
};

// The graded spacing at y around the points `at`: the least over them of the spacing at a
// point grown by graded_growth - 1 times the distance to it.
float graded_spacing(const std::vector<Graded>& at, float y) {
    float spacing = INFINITY;
    for (const Graded& g : at)
        spacing = std::min(spacing, g.h + (graded_growth - 1.0f) * std::fabs(y - g.at));
    return spacing;
}

// The longest step from y in `direction` (+1 or -1) no longer than the graded spacing anywhere
// along it: the spacing at y, or where that step would end a point nearer, 1 / graded_growth of
// it (the spacing falls by graded_growth - 1 a unit of the step), and no longer than any point
// ahead allows (the spacing at it and graded_growth - 1 of the rest of the way, over the step).
float step_from(const std::vector<Graded>& at, float y, float direction) {
    const float here = graded_spacing(at, y);
    if (!(graded_spacing(at, y + direction * here) < here)) return here;
    float step = here / graded_growth;
    for (const Graded& g : at) {
        const float ahead = direction * (g.at - y);
        if (ahead > 0.0f)
            step = std::min(step, (g.h + (graded_growth - 1.0f) * ahead) / graded_growth);
    }
    return step;
}

// Lines between a and b (a < b, the points `at` outside it) no farther apart than the graded
// spacing between them (the last gap last_gap_slack times it): taken from both ends inwards,
// the narrower side first; a last gap under half the steps beside it is shared with the step
// before it. (Between the points the spacing is the least of lines rising from them, so its
// least over a gap is at an end.)
std::vector<float> graded_lines(const std::vector<Graded>& at, float a, float b) {
    std::vector<float> left, right;
    float l = a, r = b;
    bool left_last = true;
    for (;;) {
        const float sl = step_from(at, l, 1.0f), sr = step_from(at, r, -1.0f);
        if (r - l <= last_gap_slack * std::min(sl, sr)) {
            std::vector<float>& last = left_last ? left : right;
            if (r - l < 0.5f * std::min(sl, sr) && !last.empty()) {
                const float from = left_last ? (left.size() > 1 ? left[left.size() - 2] : a)
                                             : (right.size() > 1 ? right[right.size() - 2] : b);
                last.back() = 0.5f * (from + (left_last ? r : l));
            }
            break;
        }
        if (sl <= sr) {
            l += sl;
            left.push_back(l);
            left_last = true;
        } else {
            r -= sr;
            right.push_back(r);
            left_last = false;
        }
    }
    left.insert(left.end(), right.rbegin(), right.rend());
    return left;
}

// Cuts the model intervals i of an axis whose lines are `lines` (ascending) and that `graded`
// allows around the points `at`: a line through each point (unless within `margin` of a model
// line) and graded lines between.
template <class Allowed>
void grade_axis(const std::vector<float>& lines, std::vector<Graded> at, float margin,
                Allowed graded, Cuts& cuts) {
    std::sort(at.begin(), at.end());
    at.erase(std::unique(at.begin(), at.end(),
                         [](const Graded& a, const Graded& b) { return a.at == b.at; }),
             at.end());
    for (int i = 0; i + 1 < int(lines.size()); ++i) {
        if (!graded(i)) continue;
        const float lo = lines[std::size_t(i)], hi = lines[std::size_t(i) + 1];
        std::vector<float> ends{lo};
        for (const Graded& p : at)
            if (p.at > lo + margin && p.at < hi - margin) ends.push_back(p.at);
        ends.push_back(hi);
        for (std::size_t e = 0; e + 1 < ends.size(); ++e) {
            if (e > 0) cuts.cut(i, lo, hi, ends[e], 0.0f);
            for (float v : graded_lines(at, ends[e], ends[e + 1]))
                cuts.cut(i, lo, hi, v, 0.0f);
        }
    }
}

// Where an electrode stands: x along the model's node columns (the first at 0), z in the
// node tables' frame (down, topography included) and its depth below the surface there, all in
// unit spacings.
struct Electrode {
    float x, z, depth;
};

// The nelec surface electrodes on their nodes, then the buried ones.
std::vector<Electrode> electrode_places(const ModelSettings& s) {
    const int mx = s.nx_nodes, mz = s.nz_nodes;
    const std::vector<float> x = line_positions(s.node_col_dx, mx - 1);
    const int first = std::clamp(s.margin_columns - 1, 0, mx - 1);
    std::vector<Electrode> at;
    for (int e = 0; e < s.nelec; ++e) {
        const std::size_t c = std::size_t(std::min(first + e * s.nodes_per_spacing, mx - 1));
        const float* z = s.node_z + c * mz;
        at.push_back({x[c], z[s.electrode_water[e]], z[s.electrode_water[e]] - z[0]});
    }
    for (int k = 0; k < s.nborehole_nodes; ++k) {
        const float bx = x[std::size_t(first)] + s.borehole_x[k];
        const float* z = s.node_z + std::size_t(nearest_line(x, bx)) * mz;
        at.push_back({bx, s.borehole_z[k], s.borehole_z[k] - z[0]});
    }
    return at;
}

float distance(const Electrode& a, const Electrode& b) {
    return std::hypot(a.x - b.x, a.z - b.z);
}

// The spacing the mesh has at buried electrode k (from 0) of `at` (electrode_places).
float buried_spacing(const ModelSettings& s, const std::vector<Electrode>& at, int k,
                     float node_spacing) {
    const std::size_t self = std::size_t(s.nelec + k);
    float nearest = INFINITY;
    for (std::size_t o = 0; o < at.size(); ++o)
        if (o != self) nearest = std::min(nearest, distance(at[o], at[self]));
    return std::isfinite(nearest) ? std::max(node_spacing, spacing_per_distance * nearest)
                                  : node_spacing;
}

// The intervals around the buried electrodes graded: rows from the deepest surface electrode's
// row down (the rows above keep their numbers) by the depths below the surface of the column
// nearest each electrode, those whose top lies within one unit spacing of that row also from
// it; columns outside the surface electrodes' span (the electrodes are found by their column
// numbers from the first one).
void grade_around_buried(const ModelSettings& s, int first, int last, float node_spacing,
                         Widest& w) {
    const int mx = s.nx_nodes, mz = s.nz_nodes;
    const std::vector<float> x = line_positions(s.node_col_dx, mx - 1);
    const std::vector<float> depth = line_positions(s.node_row_dz, mz - 1);
    int surface_rows = 0;
    for (int e = 0; e < s.nelec; ++e)
        surface_rows = std::max(surface_rows, s.electrode_water[e]);
    const std::vector<Electrode> at = electrode_places(s);
    std::vector<Graded> xs, depths;
    for (int k = 0; k < s.nborehole_nodes; ++k) {
        const Electrode& e = at[std::size_t(s.nelec + k)];
        const float h = buried_spacing(s, at, k, node_spacing);
        xs.push_back({e.x, h});
        depths.push_back({e.depth, h});
    }
    const float margin = 0.1f * node_spacing, surface = depth[std::size_t(surface_rows)];
    const auto near_surface = [&](int j) { return depth[std::size_t(j)] < surface + split_near; };
    grade_axis(
        depth, depths, margin, [&](int j) { return j >= surface_rows && !near_surface(j); },
        w.rows);
    depths.push_back({surface, node_spacing});
    grade_axis(
        depth, depths, margin, [&](int j) { return j >= surface_rows && near_surface(j); }, w.rows);
    grade_axis(
        x, xs, margin, [&](int i) { return i < first || i >= last; }, w.columns);
}

// A remote electrode beside the line's ends stands in the model's margin, whose columns grow
// outward: its current enters the ground through a column as wide as several spacings, where a
// resistive top layer passes it on to what lies below within a few layer thicknesses of it.
// Measured on 25 electrodes 2.5 m apart, C2 4 and P2 26 spacings off the ends: over 1000 ohm-m
// on 20 ohm-m at 2.5 m their potentials read 12 % high, over 200 ohm-m on 10 ohm-m at 20 m 6 %
// high; with the columns graded around them from the node spacing at the electrodes, as around
// a buried electrode, 3.4 and 1.5 %, about what the line's own pole-pole reads on such earths
// (2.8 % at 3 spacings over the first).
bool grades_remote(const ModelSettings& s) {
    return s.remote_electrodes > 0 && s.tank_model != 1 && s.electrode_type == 0 &&
           s.nodes_per_spacing >= 1;
}

// The columns around the remote electrodes graded, outside the surface electrodes' span.
void grade_around_remote(const ModelSettings& s, int first, int last, float node_spacing,
                         Widest& w) {
    const std::vector<float> x = line_positions(s.node_col_dx, s.nx_nodes - 1);
    const std::vector<Graded> xs{{x[std::size_t(first)] + s.c2_remote_x, node_spacing},
                                 {x[std::size_t(first)] + s.p2_remote_x, node_spacing}};
    grade_axis(
        x, xs, 0.1f * node_spacing, [&](int i) { return i < first || i >= last; }, w.columns);
}

// The widest intervals of the solver mesh: the rows near the surface electrodes and the lines
// around the buried ones.
Widest widest_intervals(const ModelSettings& s) {
    const int mx = s.nx_nodes, mz = s.nz_nodes;
    const int first = std::clamp(s.margin_columns - 1, 0, mx - 2);
    const int last = first + (s.nelec - 1) * s.nodes_per_spacing;
    const float node_spacing = s.node_col_dx[first];
    Widest w{Cuts(mz - 1), Cuts(mx - 1)};
    float top = 0.0f;
    for (int j = 0; j < mz - 1; ++j) {
        if (rows_may_split(s) && top < split_near) w.rows.narrow(j, thickest_near * node_spacing);
        top += s.node_row_dz[j];
    }
    if (grades_buried(s)) grade_around_buried(s, first, last, node_spacing, w);
    if (grades_remote(s)) grade_around_remote(s, first, last, node_spacing, w);
    return w;
}

// The lines of one axis of the solver mesh within the model's: solver interval k is the part
// of model interval from[k] that starts at the fraction part[k] of it, width[k] wide.
struct AxisCut {
    std::vector<int> from;
    std::vector<float> part, width;
    int added = 0;
};

// The model's intervals `widths` cut as `cuts` says: at its cuts first, each piece then into
// the fewest equal parts no wider than its widest.
AxisCut cut_axis(const float* widths, const Cuts& cuts) {
    AxisCut a;
    for (std::size_t i = 0; i < cuts.widest.size(); ++i) {
        std::vector<float> ends = cuts.at[i];
        ends.insert(ends.begin(), 0.0f);
        ends.push_back(1.0f);
        const float w = widths[i], widest = cuts.widest[i];
        for (std::size_t e = 0; e + 1 < ends.size(); ++e) {
            const float piece = w * (ends[e + 1] - ends[e]);
            const int parts = piece > widest ? int(std::ceil(piece / widest)) : 1;
            for (int p = 0; p < parts; ++p) {
                a.width.push_back(piece / float(parts));
                a.from.push_back(int(i));
                a.part.push_back(ends[e] + (ends[e + 1] - ends[e]) * float(p) / float(parts));
            }
            a.added += parts;
        }
        --a.added;
    }
    return a;
}

} // namespace

Reach reach_for_span(float span) {
    return {reach_per_span * span, reach_per_span * span};
}

namespace {

// The distance of the farthest pair with a remote electrode: a remote electrode and the
// farther end of the line, or the two remote electrodes.
double farthest_remote_pair(const ModelSettings& s) {
    const double last = s.nelec - 1;
    double far =
        std::hypot(double(s.p2_remote_x) - s.c2_remote_x, double(s.p2_remote_y) - s.c2_remote_y);
    for (const auto& [x, y] :
         {std::pair{s.c2_remote_x, s.c2_remote_y}, std::pair{s.p2_remote_x, s.p2_remote_y}})
        far = std::max({far, std::hypot(double(x), double(y)), std::hypot(x - last, double(y))});
    return far;
}

// How far a layered earth carries current beyond the mesh, from its conductivities `sigma`
// (cell (i, j) at index2d(i, j, nx_cells)) down model cell column `column` (from 1): sideways,
// at every rise of the resistivity downwards, the conductance of the rows above it times the
// resistivity below (the distance at which the ground below takes over from a conductive
// layer); downwards, at every fall, the transverse resistance of the rows above it divided by
// the resistivity below (the thickness of the ground below that passes current as the
// resistive layer does).
struct LayerReach {
    double side = 0.0, depth = 0.0;
};
LayerReach layer_reach(const ModelSettings& s, const float* sigma, int column) {
    LayerReach r;
    double conductance = 0.0, resistance = 0.0;
    for (int j = 1; j <= s.nz_cells; ++j) {
        const double cell = sigma[index2d(column, j, s.nx_cells)];
        if (j > 1) {
            const double above = sigma[index2d(column, j - 1, s.nx_cells)];
            if (cell < above) r.side = std::max(r.side, conductance / cell);
            if (cell > above) r.depth = std::max(r.depth, resistance * cell);
        }
        conductance += s.node_row_dz[j - 1] * cell;
        resistance += s.node_row_dz[j - 1] / cell;
    }
    return r;
}

// The farthest pairs a buried electrode makes with any other electrode, in the section plane
// and with the other's mirror image in the surface (a half-space's potential holds that image),
// and the depth of the deepest buried electrode; all 0 without buried electrodes.
struct BuriedReach {
    float direct = 0.0f, image = 0.0f, deepest = 0.0f;
};
BuriedReach buried_reach(const ModelSettings& s) {
    BuriedReach r;
    if (s.nborehole_nodes <= 0 || s.nx_nodes < 2 || s.nz_nodes < 1) return r;
    const std::vector<Electrode> at = electrode_places(s);
    for (std::size_t b = std::size_t(s.nelec); b < at.size(); ++b) {
        r.deepest = std::max(r.deepest, at[b].depth);
        for (std::size_t o = 0; o < at.size(); ++o)
            if (o != b) {
                r.direct = std::max(r.direct, distance(at[b], at[o]));
                r.image =
                    std::max(r.image, std::hypot(at[b].x - at[o].x, at[b].depth + at[o].depth));
            }
    }
    return r;
}

} // namespace

Reach reach_for_model(const ModelSettings& s, float span) {
    Reach r = reach_for_span(span);
    // The ground beyond the sides is the model's outermost columns; below, every column.
    if (s.cell_conductivity && s.nx_cells > 0)
        for (int i = 1; i <= s.nx_cells; ++i) {
            const LayerReach layer = layer_reach(s, s.cell_conductivity, i);
            if (i == 1 || i == s.nx_cells)
                r.side = std::max(r.side, reach_per_layer * float(layer.side));
            r.depth = std::max(r.depth, reach_per_layer * float(layer.depth));
        }
    const float remote =
        s.remote_electrodes > 0 ? remote_per_distance * float(farthest_remote_pair(s)) : 0.0f;
    r.side = std::max(r.side, remote);
    r.depth = std::max(r.depth, remote);
    const BuriedReach buried = buried_reach(s);
    r.side = std::max(r.side, buried_per_distance * buried.direct);
    if (buried.direct > 0.0f)
        r.depth = std::max(r.depth, buried.deepest + buried_per_distance * buried.direct);
    const float last = float(s.nelec - 1);
    if (s.remote_electrodes > 0)
        for (const float x : {s.c2_remote_x, s.p2_remote_x}) {
            if (x < 0.0f) r.hold_left = std::max(r.hold_left, -x);
            if (x > last) r.hold_right = std::max(r.hold_right, x - last);
        }
    // Off the line along strike, a remote electrode's potentials are carried by the wavenumbers
    // below 1/|y|, whose solutions spread as far sideways: the columns grow gently out to that
    // distance on both sides (1000 m off a line of 1 m, a half-space's potentials 1.6 % off
    // without, 1.0 % with).
    if (s.remote_electrodes > 0)
        for (const float y : {s.c2_remote_y, s.p2_remote_y}) {
            r.hold_left = std::max(r.hold_left, std::fabs(y));
            r.hold_right = std::max(r.hold_right, std::fabs(y));
        }
    return r;
}

void reach_wavenumbers(const ModelSettings& s, double first, model::SurveyInputs& in,
                       bool remote_pairs) {
    if (in.nky < 2 || !(first > 0.0) || !(in.ky_max > first)) return;
    double lowest = INFINITY; // the first wavenumber the pairs need
    if (remote_pairs && s.remote_electrodes > 0) lowest = 1.0 / farthest_remote_pair(s);
    const BuriedReach buried = buried_reach(s);
    if (buried.image > 0.0f) lowest = std::min(lowest, image_wavenumber / double(buried.image));
    if (!(first > lowest)) return;
    const double step = std::log(double(in.ky_max) / first) / double(in.nky - 1);
    const int more =
        std::min(int(std::ceil(std::log(first / lowest) / step)), fd::max_wavenumbers - in.nky);
    if (more <= 0) return;
    in.nky += more;
    in.ky_min = float(double(in.ky_min) * std::exp(-double(more) * step));
}

float widest_datum_span(const ModelSettings& s) {
    const float line = float(std::max(s.nelec - 1, 1));
    if (s.ndata <= 0 || !standard_array(s.array_type)) return line;
    int widest = 1;
    for (int d = 0; d < s.ndata; ++d) {
        const DatumElectrodes e = datum_electrodes(s, s.array_type, d);
        int low = s.nelec, high = 1;
        for (int x : {e.c1, e.c2, e.p1, e.p2})
            if (x >= 1 && x <= s.nelec) {
                low = std::min(low, x);
                high = std::max(high, x);
            }
        widest = std::max(widest, high - low);
    }
    return float(widest);
}

bool potentials_reach(const ModelSettings& s, float solved) {
    const float span = widest_datum_span(s);
    if (span <= solved) return true;
    const SolverMesh needed(s, reach_for_model(s, span)), had(s, reach_for_model(s, solved));
    return needed.left <= had.left && needed.right <= had.right && needed.below <= had.below;
}

SolverMesh::SolverMesh(const ModelSettings& s, const Reach& reach, int max_padding,
                       bool split_lines)
    : model_nx_(s.nx_nodes), model_nz_(s.nz_nodes) {
    const int mx = s.nx_nodes, mz = s.nz_nodes;
    const int first = s.margin_columns - 1, last = first + (s.nelec - 1) * s.nodes_per_spacing;
    float left_width = 0.0f, right_width = 0.0f, depth = 0.0f;
    for (int i = 0; i < first; ++i)
        left_width += s.node_col_dx[i];
    for (int i = last; i < mx - 1; ++i)
        right_width += s.node_col_dx[i];
    for (int j = 0; j < mz - 1; ++j)
        depth += s.node_row_dz[j];
    const Padding padded_left =
        padding(left_width, s.node_col_dx[0], reach.side, max_padding, reach.hold_left,
                lines_beyond(s.node_col_dx + first - 1, first, -1, reach.hold_left));
    const Padding padded_right =
        padding(right_width, s.node_col_dx[mx - 2], reach.side, max_padding, reach.hold_right,
                lines_beyond(s.node_col_dx + last, mx - 1 - last, 1, reach.hold_right));
    const std::vector<float>& pad_left = padded_left.steps;
    const std::vector<float>& pad_right = padded_right.steps;
    const std::vector<float> pad_below =
        padding(depth, s.node_row_dz[mz - 2], reach.depth, max_padding).steps;
    holds = padded_left.holds && padded_right.holds;
    left = int(pad_left.size());
    right = int(pad_right.size());
    below = int(pad_below.size());

    // The model's lines, some cut finer: solver row r (0-based) lies in model row row_from_[r]
    // from the fraction row_part_[r] of it on, and likewise the columns.
    Widest widest{Cuts(mz - 1), Cuts(mx - 1)};
    if (max_padding > 0 && split_lines) widest = widest_intervals(s);
    AxisCut rows = cut_axis(s.node_row_dz, widest.rows);
    AxisCut columns = cut_axis(s.node_col_dx, widest.columns);
    split = rows.added;
    split_columns = columns.added;
    row_from_ = std::move(rows.from);
    row_part_ = std::move(rows.part);
    col_from_ = std::move(columns.from);
    col_part_ = std::move(columns.part);
    nx = mx + split_columns + left + right;
    nz = mz + split + below;
    column_of_.assign(std::size_t(mx), 0);
    for (int k = int(col_from_.size()) - 1; k >= 0; --k)
        if (col_part_[std::size_t(k)] == 0.0f)
            column_of_[std::size_t(col_from_[std::size_t(k)])] = left + k;
    column_of_[std::size_t(mx - 1)] = left + int(col_from_.size());

    col_dx.assign(pad_left.rbegin(), pad_left.rend());
    col_dx.insert(col_dx.end(), columns.width.begin(), columns.width.end());
    col_dx.insert(col_dx.end(), pad_right.begin(), pad_right.end());
    col_x.assign(std::size_t(nx), 0.0f);
    for (int i = 1; i < nx; ++i)
        col_x[i] = col_x[i - 1] + col_dx[i - 1];
    row_dz = std::move(rows.width);
    row_dz.insert(row_dz.end(), pad_below.begin(), pad_below.end());
    place_nodes(s);
}

int SolverMesh::column(int model_column) const {
    return column_of_[std::size_t(std::clamp(model_column, 1, model_nx_) - 1)] + 1;
}

namespace {

// Where a solver line lies in the model's lines of one axis: in model interval `at` from the
// fraction `part` of it on (part 0 for a model line itself).
struct LineIn {
    int at = 0;
    float part = 0.0f;
};

// Solver line k (0-based, counted from the first model line) of an axis whose cut intervals
// are from / part, the model having `lines` lines: the last model line beyond the cut ones.
LineIn line_in(const std::vector<int>& from, const std::vector<float>& part, int k, int lines) {
    if (k < 0) return {0, 0.0f};
    if (k >= int(from.size())) return {lines - 1, 0.0f};
    return {from[std::size_t(k)], part[std::size_t(k)]};
}

// The value of a model node table (mz values a column) at a point within the model's lines:
// on the straight lines between the model's nodes around it.
float model_value(const float* table, int mz, const LineIn& c, const LineIn& r) {
    auto at = [&](int i, int j) { return table[std::size_t(i) * mz + j]; };
    auto down = [&](int i) {
        const float v = at(i, r.at);
        return r.part > 0.0f ? v + r.part * (at(i, r.at + 1) - v) : v;
    };
    const float v = down(c.at);
    return c.part > 0.0f ? v + c.part * (down(c.at + 1) - v) : v;
}

} // namespace

void SolverMesh::place_nodes(const ModelSettings& s) {
    // Node positions: the model's nodes moved right by the left padding, nodes of split lines
    // on the straight lines between the model's nodes around them, padding columns at the
    // depths of the model column beside them, padding rows flat below the bottom row.
    const int mx = model_nx_, mz = model_nz_;
    const float shift = col_x[std::size_t(left)];
    const int rows = mz + split;            // the model's rows, split
    const int columns = mx + split_columns; // the model's columns, split
    node_x.assign(std::size_t(nx) * nz, 0.0f);
    node_z.assign(node_x.size(), 0.0f);
    for (int c = 0; c < nx; ++c) {
        const bool model_column = c >= left && c < left + columns;
        const LineIn mc = line_in(col_from_, col_part_, c - left, mx);
        for (int r = 0; r < nz; ++r) {
            const std::size_t at = std::size_t(c) * nz + r;
            const LineIn mr = line_in(row_from_, row_part_, std::min(r, rows - 1), mz);
            node_x[at] = model_column ? model_value(s.node_x, mz, mc, mr) + shift : col_x[c];
            node_z[at] = model_value(s.node_z, mz, mc, mr);
            if (r >= rows) {
                float below_bottom = 0.0f;
                for (int k = rows; k <= r; ++k)
                    below_bottom += row_dz[std::size_t(k - 1)];
                node_z[at] += below_bottom;
            }
        }
    }
}

std::vector<int> SolverMesh::cell_sources() const {
    std::vector<int> from(std::size_t(nx - 1) * (nz - 1));
    for (int j = 1; j < nz; ++j)
        for (int i = 1; i < nx; ++i) {
            const int k = i - 1 - left;
            const int mi = k < 0                        ? 1
                           : k >= int(col_from_.size()) ? model_nx_ - 1
                                                        : col_from_[std::size_t(k)] + 1;
            const int mj =
                j <= int(row_from_.size()) ? row_from_[std::size_t(j - 1)] + 1 : model_nz_ - 1;
            from[std::size_t(index2d(i, j, nx - 1))] = index2d(mi, mj, model_nx_ - 1);
        }
    return from;
}

std::vector<float> SolverMesh::cells(const float* model_cells, int per_cell) const {
    const std::vector<int> from = cell_sources();
    std::vector<float> out(from.size() * std::size_t(per_cell));
    for (std::size_t c = 0; c < from.size(); ++c) {
        const float* values = model_cells + std::size_t(from[c]) * per_cell;
        std::copy(values, values + per_cell, out.begin() + c * std::size_t(per_cell));
    }
    return out;
}

} // namespace forward
