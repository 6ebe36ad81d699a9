// Geometry of contour pieces and the flood fills of outlined sections.
#include "display/polygon_fill.h"

#include "model/globals.h"

#include <algorithm>
#include <cmath>

namespace {

// Edge sign of (X, Y) for edge k of the polygon.
int edge_sign(int n, const int* x, const int* y, int k, int X, int Y) {
    const int j = k + 1 == n ? 0 : k + 1;
    return (x[j] - x[k]) * (Y - y[k]) - (y[j] - y[k]) * (X - x[k]);
}

struct Box {
    int left, top, right, bottom;
};
Box bounding_box(int n, const int* x, const int* y) {
    Box b{x[0], y[0], x[0], y[0]};
    for (int k = 1; k < n; ++k) {
        b.left = std::min(b.left, x[k]), b.right = std::max(b.right, x[k]);
        b.top = std::min(b.top, y[k]), b.bottom = std::max(b.bottom, y[k]);
    }
    return b;
}

void set_fill_background() {
    ProgDisplay& d = Progdisplay;
    d.fill_background =
        d.level_scheme == 2 || d.level_scheme == 3 ? d.alt_background_colour : d.background_colour;
}

// Fills from (X, Y) when it is unpainted and strictly inside the clip rectangle; returns the
// colour found there. fill_background must be set.
gfx::Colour fill_if_unpainted(int X, int Y, const gfx::Brush& brush, gfx::Canvas& dc, int xmin,
                              int ymin, int xmax, int ymax) {
    const gfx::Colour p = dc.get_pixel(X, Y);
    if (p == Progdisplay.fill_background && xmin < X && X < xmax && ymin < Y && Y < ymax) {
        dc.select_brush(brush);
        dc.ext_flood_fill(X, Y, Progdisplay.line_colour, gfx::FloodType::border);
    }
    return p;
}

// The line a X + b Y + c = 0 of edge k (vertex k to k + 1) scaled by 1 / its length (0 for an
// edge of no length).
struct Line {
    double a, b, c;
};
Line edge_line(const int* x, const int* y, int k) {
    const int j = (k + 1) % 3;
    const double a = y[j] - y[k], b = -(x[j] - x[k]);
    const double c = double(y[k]) * (x[j] - x[k]) - double(x[k]) * (y[j] - y[k]);
    const double length = std::sqrt(a * a + b * b);
    const double w = length > 0.0 ? 1.0 / length : 0.0;
    return {a * w, b * w, c * w};
}

// Crossing of two lines by Cramer's rule; false when they are (nearly) parallel.
bool cross(const Line& p, const Line& q, double& X, double& Y) {
    const double det = p.a * q.b - q.a * p.b;
    if (std::fabs(det) <= 1e-5) return false;
    X = (p.b * q.c - q.b * p.c) / det;
    Y = (q.a * p.c - p.a * q.c) / det;
    return true;
}

bool within(double v, int e1, int e2) {
    return v >= std::min(e1, e2) && v <= std::max(e1, e2);
}

// Inner bisector at vertex v (between edges v - 1 and v): the sum of the two normalised edge
// lines when it crosses the opposite edge within its ends, else their difference.
Line inner_bisector(const int* x, const int* y, int v) {
    const Line e0 = edge_line(x, y, (v + 2) % 3), e1 = edge_line(x, y, v);
    const Line sum{e0.a + e1.a, e0.b + e1.b, e0.c + e1.c};
    const int p = (v + 1) % 3, q = (v + 2) % 3; // ends of the opposite edge
    double X, Y;
    if (cross(sum, edge_line(x, y, p), X, Y) && within(X, x[p], x[q]) && within(Y, y[p], y[q]))
        return sum;
    return {e0.a - e1.a, e0.b - e1.b, e0.c - e1.c};
}

} // namespace

float poly_area(int n, const int* x, const int* y) {
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
        const int j = k + 1 == n ? 0 : k + 1;
        sum += double(x[k]) * y[j] - double(x[j]) * y[k];
    }
    return static_cast<float>(std::fabs(sum) * 0.5);
}

int remove_duplicate_vertices(int n, int* x, int* y) {
    int kept = n > 0 ? 1 : 0;
    for (int k = 1; k < n; ++k) {
        bool seen = false;
        for (int j = 0; j < kept && !seen; ++j)
            seen = x[j] == x[k] && y[j] == y[k];
        if (seen) continue;
        x[kept] = x[k], y[kept] = y[k];
        ++kept;
    }
    for (int k = kept; k < n; ++k)
        x[k] = 0, y[k] = 0;
    return kept;
}

void orient_polygon(int n, int* x, int* y) {
    if (n < 3) return;
    const auto turn = [&](int a, int b, int c) {
        return (x[b] - x[a]) * (y[c] - y[b]) - (x[c] - x[b]) * (y[b] - y[a]);
    };
    int c = turn(0, 1, 2);
    if (c == 0 && n >= 4) c = turn(1, 2, 3);
    if (c >= 0) return;
    std::reverse(x + 1, x + n);
    std::reverse(y + 1, y + n);
}

float polygon_size_ratio(int n, float area, const int* x, const int* y) {
    if (area <= 0.0f) return 0.0f;
    int longest = 0;
    for (int k = 0; k < n; ++k) {
        const int j = k + 1 == n ? 0 : k + 1;
        const int dx = x[j] - x[k], dy = y[j] - y[k];
        longest = std::max(longest, dx * dx + dy * dy);
    }
    float ratio = 5.0f;
    if (longest > 0 && area < 25.0f * float(longest))
        ratio = area / std::sqrt(static_cast<float>(longest));
    return n == 3 ? ratio * 0.5f : ratio;
}

float triangle_incentre(const int* x, const int* y, float* y_out, int xmin, int xmax, int ymin,
                        int ymax) {
    double X = x[0], Y = y[0];
    if (!cross(inner_bisector(x, y, 1), inner_bisector(x, y, 2), X, Y)) X = x[0], Y = y[0];
    *y_out = static_cast<float>(Y);
    if (X < xmin || X > xmax || Y < ymin || Y > ymax) return -1.0f;
    return static_cast<float>(X);
}

int point_in_convex_polygon(int n, const int* x, const int* y, int X, int Y) {
    for (int k = 0; k < n; ++k)
        if (edge_sign(n, x, y, k, X, Y) < 0) return 0;
    return 1;
}

gfx::Colour flood_fill_at_point(int X, int Y, int band, gfx::Canvas& dc, const gfx::Brush* brushes,
                                int xmin, int ymin, int xmax, int ymax) {
    set_fill_background();
    return fill_if_unpainted(X, Y, brushes[band], dc, xmin, ymin, xmax, ymax);
}

void flood_fill_polygon(int n, const int* x, const int* y, int band, gfx::Canvas& dc,
                        const gfx::Brush* brushes, int xmin, int ymin, int xmax, int ymax) {
    if (n < 1) return;
    set_fill_background();
    const Box box = bounding_box(n, x, y);
    for (int Y = box.top; Y <= box.bottom; ++Y) {
        bool was_inside = false;
        for (int X = box.left; X <= box.right; ++X) {
            const bool inside = point_in_convex_polygon(n, x, y, X, Y) == 1;
            if (!inside && was_inside) break;
            was_inside = inside;
            if (inside) fill_if_unpainted(X, Y, brushes[band], dc, xmin, ymin, xmax, ymax);
        }
    }
}

void flood_fill_polygon2(int n, const int* x, const int* y, int band, gfx::Canvas& dc,
                         const gfx::Brush* brushes, int xmin, int ymin, int xmax, int ymax) {
    if (n < 1) return;
    set_fill_background();
    const Box box = bounding_box(n, x, y);
    for (int k = 0; k < n; ++k) {
        for (int X : {x[k] - 1, x[k] + 1}) {
            for (int Y : {y[k] - 1, y[k] + 1}) {
                if (X < box.left || X > box.right || Y < box.top || Y > box.bottom) continue;
                bool on_every_edge = true;
                for (int j = 0; j < n && on_every_edge; ++j)
                    on_every_edge = edge_sign(n, x, y, j, X, Y) == 0;
                if (on_every_edge)
                    fill_if_unpainted(X, Y, brushes[band], dc, xmin, ymin, xmax, ymax);
            }
        }
    }
}

void flood_fill_near_polygon(int n, const int* x, const int* y, int band, gfx::Canvas& dc,
                             const gfx::Brush* brushes, int xmin, int ymin, int xmax, int ymax) {
    if (n < 1) return;
    set_fill_background();
    const Box box = bounding_box(n, x, y);
    for (int Y = box.top - 1; Y <= box.bottom + 1; ++Y) {
        for (int X = box.left - 1; X <= box.right + 1; ++X) {
            bool near = true;
            for (int k = 0; k < n && near; ++k) {
                const int j = k + 1 == n ? 0 : k + 1;
                const double ex = x[j] - x[k], ey = y[j] - y[k];
                near = edge_sign(n, x, y, k, X, Y) >= -std::sqrt(ex * ex + ey * ey);
            }
            if (near) fill_if_unpainted(X, Y, brushes[band], dc, xmin, ymin, xmax, ymax);
        }
    }
}

void fill_around_datum(int nlevels, int X, int Y, const float* values, const float* levels,
                       int datum, gfx::Canvas& dc, const gfx::Brush* brushes, int xmin, int ymin,
                       int xmax, int ymax) {
    set_fill_background();
    const float v = values[datum - 1];
    int b = 1;
    while (b <= nlevels && levels[b - 1] < v)
        ++b;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            fill_if_unpainted(X + dx, Y + dy, brushes[b - 1], dc, xmin, ymin, xmax, ymax);
}
