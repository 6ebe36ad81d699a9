// Contour filling of triangles: corner ordering, level cuts, band pieces, and the seed and
// flood-fill passes over the pieces of an outlined section.
#include "display/contour_fill.h"

#include "display/lines.h"
#include "display/polygon_fill.h"
#include "model/globals.h"
#include "model/utilities.h"

#include <utility>

namespace {

struct Corner {
    int x, y;
    float v;
};
// Corners by value: lo <= mid <= hi.
struct Ordered {
    Corner lo, mid, hi;
};
// A cut of one level: on the long edge lo-hi, and on the short edge lo-mid or mid-hi.
struct Cut {
    gfx::Point along_long, along_short;
    bool short_on_lo_mid;
};

Ordered order_corners(const Corner c[3]) {
    int lo = 0, hi = 1;
    if (c[0].v > c[1].v) lo = 1;
    if (c[lo].v > c[2].v) lo = 2;
    if (c[hi].v < c[0].v) hi = 0;
    if (c[hi].v < c[2].v) hi = 2;
    int mid = 0;
    for (int k = 0; k < 3; ++k)
        if (k != lo && k != hi) mid = k;
    return {c[lo], c[mid], c[hi]};
}

// Where `level` (a.v <= level <= b.v) crosses the edge a-b; a level equal to an end's value
// cuts at that end, so an edge of no value range never divides by zero.
gfx::Point crossing(const Corner& a, const Corner& b, float level) {
    if (level == a.v) return {a.x, a.y};
    if (level == b.v) return {b.x, b.y};
    const float t = (level - a.v) / (b.v - a.v);
    return {a.x + round_to_int(t * float(b.x - a.x)), a.y + round_to_int(t * float(b.y - a.y))};
}

Cut cut_at(const Ordered& t, float level) {
    const bool lo_mid = level < t.mid.v;
    return {crossing(t.lo, t.hi, level),
            lo_mid ? crossing(t.lo, t.mid, level) : crossing(t.mid, t.hi, level), lo_mid};
}

gfx::Point at(const Corner& c) {
    return {c.x, c.y};
}

bool has_area(const std::vector<gfx::Point>& pts) {
    long long twice = 0;
    for (std::size_t k = 0; k < pts.size(); ++k) {
        const gfx::Point& a = pts[k];
        const gfx::Point& b = pts[(k + 1) % pts.size()];
        twice += (long long)a.x * b.y - (long long)b.x * a.y;
    }
    return twice != 0;
}

void draw_piece(const std::vector<gfx::Point>& pts, int band, gfx::Canvas& dc,
                const gfx::Brush* brushes, const gfx::Pen* pens) {
    // A piece of no area (a cut through a corner) has no pixels of its own to paint.
    if (!has_area(pts)) return;
    dc.select_pen(pens[band]);
    dc.select_brush(brushes[band]);
    dc.polygon(pts);
}

void record_piece(ContourRecord& r, const std::vector<gfx::Point>& pts, int band) {
    r.piece_band.push_back(band + 1);
    r.piece_vertices.push_back(int(pts.size()));
    for (std::size_t k = 0; k < 4; ++k) {
        r.piece_x.push_back(k < pts.size() ? pts[k].x : 0);
        r.piece_y.push_back(k < pts.size() ? pts[k].y : 0);
    }
}

// Direct style: the pieces from the lo corner up, band i1 - 1 .. i2.
void draw_pieces(const Ordered& t, const std::vector<Cut>& cuts, int i1, gfx::Canvas& dc,
                 const gfx::Brush* brushes, const gfx::Pen* pens) {
    const Cut& first = cuts.front();
    if (first.short_on_lo_mid)
        draw_piece({at(t.lo), first.along_long, first.along_short}, i1 - 1, dc, brushes, pens);
    else
        draw_piece({at(t.lo), at(t.mid), first.along_short, first.along_long}, i1 - 1, dc, brushes,
                   pens);
    for (std::size_t k = 1; k < cuts.size(); ++k) {
        const Cut &p = cuts[k - 1], &c = cuts[k];
        const int band = i1 + int(k) - 1;
        if (p.short_on_lo_mid == c.short_on_lo_mid)
            draw_piece({p.along_long, p.along_short, c.along_short, c.along_long}, band, dc,
                       brushes, pens);
        else
            draw_piece({p.along_long, p.along_short, at(t.mid), c.along_short, c.along_long}, band,
                       dc, brushes, pens);
    }
    const Cut& last = cuts.back();
    const int top = i1 + int(cuts.size()) - 1;
    if (last.short_on_lo_mid)
        draw_piece({last.along_long, last.along_short, at(t.mid), at(t.hi)}, top, dc, brushes,
                   pens);
    else
        draw_piece({last.along_long, last.along_short, at(t.hi)}, top, dc, brushes, pens);
}

// Outline style: the contour segments drawn and recorded, and the pieces recorded.
void record_pieces(const Ordered& t, const Corner c[3], const std::vector<Cut>& cuts,
                   const float* levels, int i1, ContourRecord& r, gfx::Canvas& dc) {
    for (std::size_t k = 0; k < cuts.size(); ++k) {
        const Cut& cut = cuts[k];
        const gfx::Point a = cut.along_long, b = cut.along_short;
        if (a.x == b.x && a.y == b.y) continue; // the level only touches a corner
        draw_line(a.x, a.y, b.x, b.y, dc);
        r.seg_xa.push_back(a.x), r.seg_ya.push_back(a.y);
        r.seg_xb.push_back(b.x), r.seg_yb.push_back(b.y);
        r.seg_level.push_back(i1 + int(k) + 1);
    }
    const float level = levels[i1 - 1];
    if (cuts.size() == 1 && level == t.lo.v) {
        // The one level passes through the lowest corner: the triangle is one piece, on the
        // side of the level where most of its values lie (summed in double, so that a flat
        // triangle raised by the factor above counts as above).
        const double mean = (double(c[0].v) + c[1].v + c[2].v) / 3.0;
        record_piece(r, {at(c[0]), at(c[1]), at(c[2])}, mean > double(level) ? i1 : i1 - 1);
        return;
    }
    const Cut& first = cuts.front();
    if (first.short_on_lo_mid)
        record_piece(r, {first.along_long, first.along_short, at(t.lo)}, i1 - 1);
    else
        record_piece(r, {first.along_long, first.along_short, at(t.mid), at(t.lo)}, i1 - 1);
    // Between two cuts: four cut points in the order (previous long, previous short, long,
    // short), which the fill passes uncross. When the short cuts lie on different edges the
    // piece is the pentagon through the mid corner, recorded as a quadrilateral up to the mid
    // corner and the triangle beyond it, so that no part of it lies outside every piece.
    for (std::size_t k = 1; k < cuts.size(); ++k) {
        const Cut &p = cuts[k - 1], &c = cuts[k];
        const int band = i1 + int(k) - 1;
        if (p.short_on_lo_mid == c.short_on_lo_mid) {
            record_piece(r, {p.along_long, p.along_short, c.along_long, c.along_short}, band);
        } else {
            record_piece(r, {p.along_long, p.along_short, at(t.mid), c.along_long}, band);
            record_piece(r, {c.along_long, at(t.mid), c.along_short}, band);
        }
    }
    const Cut& last = cuts.back();
    const int top = i1 + int(cuts.size()) - 1;
    if (last.short_on_lo_mid)
        record_piece(r, {last.along_long, last.along_short, at(t.mid), at(t.hi)}, top);
    else
        record_piece(r, {last.along_long, last.along_short, at(t.hi)}, top);
}

} // namespace

void ContourRecord::clear() {
    for (auto* v : {&seg_xa, &seg_xb, &seg_ya, &seg_yb, &seg_level, &piece_band, &piece_vertices,
                    &piece_x, &piece_y})
        v->clear();
}

void finish_contour_record(ContourRecord& record) {
    for (std::int32_t& level : record.seg_level)
        --level;
    for (std::int32_t& band : record.piece_band)
        --band;
}

int contour_triangle(int n, int x1, int x2, int x3, int y1, int y2, int y3, float val1, float val2,
                     float val3, const float* levels, ContourRecord& record, gfx::Canvas& dc,
                     const gfx::Brush* brushes, const gfx::Pen* pens) {
    if (val1 == val2 && val2 == val3) val3 *= 1.0000001f;
    const Corner c[3] = {{x1, y1, val1}, {x2, y2, val2}, {x3, y3, val3}};
    const Ordered t = order_corners(c);
    const bool direct = Progdisplay.fill_style >= 2;

    // Levels i1..i2 (1-based) cut the triangle; otherwise it lies whole in one band.
    int whole = -1, i1 = 1, i2 = 0;
    if (n < 1 || t.hi.v < levels[0]) {
        whole = 0;
    } else if (t.lo.v > levels[n - 1]) {
        whole = n;
    } else {
        while (i1 <= n && levels[i1 - 1] < t.lo.v)
            ++i1;
        i2 = n;
        while (i2 >= 1 && levels[i2 - 1] > t.hi.v)
            --i2;
        if (i2 < i1 || t.hi.v == t.lo.v) whole = i2;
    }
    if (whole >= 0) {
        if (direct) draw_piece({at(c[0]), at(c[1]), at(c[2])}, whole, dc, brushes, pens);
        return record.segments();
    }

    std::vector<Cut> cuts;
    for (int i = i1; i <= i2; ++i)
        cuts.push_back(cut_at(t, levels[i - 1]));
    if (direct)
        draw_pieces(t, cuts, i1, dc, brushes, pens);
    else
        record_pieces(t, c, cuts, levels, i1, record, dc);
    return record.segments();
}

namespace {

// Tries a seed: rounded, inside the piece, then flood_fill_at_point. Returns the colour found
// at the seed, or the line colour when it was not tried.
gfx::Colour try_seed(float X, float Y, int n, const int* x, const int* y, int band, gfx::Canvas& dc,
                     const gfx::Brush* brushes, int left, int top, int right, int bottom) {
    if (X <= 0.0f) return Progdisplay.line_colour;
    const int ix = round_to_int(X), iy = round_to_int(Y);
    if (point_in_convex_polygon(n, x, y, ix, iy) != 1) return Progdisplay.line_colour;
    return flood_fill_at_point(ix, iy, band, dc, brushes, left, top, right, bottom);
}

bool crossed_quadrilateral(const int* x, const int* y) {
    const long long at2 =
        (long long)(x[1] - x[0]) * (y[2] - y[1]) - (long long)(x[2] - x[1]) * (y[1] - y[0]);
    const long long at3 =
        (long long)(x[2] - x[1]) * (y[3] - y[2]) - (long long)(x[3] - x[2]) * (y[2] - y[1]);
    return (at2 < 0 && at3 > 0) || (at2 > 0 && at3 < 0);
}

} // namespace

void fill_contour_pieces(ContourRecord& r, gfx::Canvas& dc, const gfx::Brush* brushes, int left,
                         int top, int right, int bottom) {
    const auto seed = [&](float X, float Y, int n, const int* x, const int* y, int band) {
        return try_seed(X, Y, n, x, y, band, dc, brushes, left, top, right, bottom);
    };
    const auto xs = [&r](int p) { return &r.piece_x[std::size_t(index2d(1, p + 1, 4))]; };
    const auto ys = [&r](int p) { return &r.piece_y[std::size_t(index2d(1, p + 1, 4))]; };
    // First pass: one seed inside every piece.
    for (int p = 0; p < r.pieces(); ++p) {
        int *x = xs(p), *y = ys(p);
        const int band = r.piece_band[p];
        int& n = r.piece_vertices[p];
        n = remove_duplicate_vertices(n, x, y);
        if (n < 3) continue;
        if (n == 4 && crossed_quadrilateral(x, y)) std::swap(x[2], x[3]), std::swap(y[2], y[3]);
        orient_polygon(n, x, y);
        const float ratio = polygon_size_ratio(n, poly_area(n, x, y), x, y);
        if (ratio == 0.0f) continue;
        if (n == 3 && ratio > 2.9f) {
            float Y = 0.0f;
            const float X = triangle_incentre(x, y, &Y, left, right, top, bottom);
            seed(X, Y, n, x, y, band);
        } else if (n == 3) {
            seed((x[0] + x[1] + x[2]) * 0.333333f, (y[0] + y[1] + y[2]) * 0.333333f, n, x, y, band);
        } else if (ratio >= 2.9f) {
            seed((x[0] + x[1] + x[2] + x[3]) * 0.25f, (y[0] + y[1] + y[2] + y[3]) * 0.25f, n, x, y,
                 band);
        } else {
            // The corner triangles in turn, while the last seed found only a line.
            static const int corners[3][3] = {{0, 1, 2}, {1, 2, 3}, {2, 3, 0}};
            gfx::Colour found = Progdisplay.line_colour;
            for (const auto& k : corners) {
                if (found != Progdisplay.line_colour) break;
                const int tx[3] = {x[k[0]], x[k[1]], x[k[2]]}, ty[3] = {y[k[0]], y[k[1]], y[k[2]]};
                if (poly_area(3, tx, ty) <= 0.0f) continue;
                float Y = 0.0f;
                const float X = triangle_incentre(tx, ty, &Y, left, right, top, bottom);
                found = seed(X, Y, n, x, y, band);
            }
        }
    }
    // Second pass: every unpainted pixel left inside a piece. Thin pieces are missed by their
    // seeds, and where a contour line meets an outline at a sharp angle it cuts off a pocket
    // of a few pixels from the seeded region of a thick piece too.
    for (int p = 0; p < r.pieces(); ++p)
        if (r.piece_vertices[p] >= 3)
            flood_fill_polygon(r.piece_vertices[p], xs(p), ys(p), r.piece_band[p], dc, brushes,
                               left, top, right, bottom);
    // Third pass: pieces collapsed onto a line.
    for (int p = 0; p < r.pieces(); ++p)
        if (r.piece_vertices[p] >= 2)
            flood_fill_polygon2(r.piece_vertices[p], xs(p), ys(p), r.piece_band[p], dc, brushes,
                                left, top, right, bottom);
    // Last pass: single pixels between an outline and the pieces' rounded edges.
    for (int p = 0; p < r.pieces(); ++p)
        if (r.piece_vertices[p] >= 3)
            flood_fill_near_polygon(r.piece_vertices[p], xs(p), ys(p), r.piece_band[p], dc, brushes,
                                    left, top, right, bottom);
}
