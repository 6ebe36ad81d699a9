// Mixed boundary terms of the 2.5-D potential equation on the left, bottom and right edges of a
// node grid, shared by the band, sparse and quadrilateral-element solvers.
#pragma once

#include "fdsolve/bessel.h"
#include "model/services.h"
#include "model/utilities.h"

#include <cmath>

namespace fe {

/// How the decay rate beta of the potential at the boundary is formed.
enum class BoundaryRatio {
    bessel_dbl,     ///< point source, beta = k K1(kr)/K0(kr) (double-precision ratio)
    bessel_flt,     ///< point source, the single-precision ratio
    two_dimensional ///< line source, beta = 1/(r ln r)
};

/// Smallest distance from the reference point at which 1/(r ln r) is used: the form needs
/// r > 1 (it divides by zero at r = 1 and changes sign below).
constexpr double min_line_source_distance = 2.0;

/// Term of one boundary segment a-b for conductivity sigma: sigma beta cos(theta) L / 6, with L
/// the segment length and theta the angle between the segment's normal and the direction from
/// the reference point (x0, z0) to its midpoint, at distance r.
inline double boundary_segment_term(BoundaryRatio ratio, double k, double x0, double z0, double xa,
                                    double za, double xb, double zb, double sigma) {
    xa -= x0, xb -= x0, za -= z0, zb -= z0;
    const double xm = 0.5 * (xa + xb), zm = 0.5 * (za + zb);
    double beta = 0.0, r = 0.0;
    if (ratio == BoundaryRatio::two_dimensional) {
        r = std::sqrt(xm * xm + zm * zm);
        double rr = r;
        if (!(rr > min_line_source_distance)) {
            model::trace("boundary midpoint %8.3f,%8.3f at r = %8.4f: taken as %4.1f\n", xm, zm, r,
                         min_line_source_distance);
            rr = min_line_source_distance;
        }
        beta = 1.0 / (rr * std::log(rr));
    } else if (ratio == BoundaryRatio::bessel_flt) {
        float d, rf;
        beta = bessel_ratio_k1_k0_flt(0.0f, float(xm), float(zm), &d, &rf, k);
        r = rf;
    } else {
        double d;
        beta = bessel_ratio_k1_k0_dbl(0.0, xm, zm, &d, &r, k);
    }
    if (!(r > 0.0)) return 0.0;
    const double cross = std::fabs((za - zb) * (xa + xb) - (za + zb) * (xa - xb));
    return sigma * cross * beta / (12.0 * r);
}

/// Adds the mixed boundary terms of wavenumber k along the left edge (column 1), the bottom
/// edge (row ny) and the right edge (column nx) of an nx x ny node grid, nodes numbered down
/// the columns ((c - 1) ny + r). Coordinates: x(node), z(node). Cell values: two per cell, cells
/// row by row with the column fastest; the left edge takes the first value of its cell, the
/// bottom and right edges the second. For each segment a-b with term f, add(a, b, f) must add
/// 2f to the diagonals of a and b and f to their coupling; it returns 0, or a non-zero code
/// that stops the loop and is returned. The top edge (the ground surface) gets no term.
template <class X, class Z, class Add>
int add_mixed_boundary(BoundaryRatio ratio, int nx, int ny, double k, double x0, double z0, X x,
                       Z z, const float* cells, Add add) {
    auto node = [ny](int c, int r) { return (c - 1) * ny + r; };
    auto value = [&](int c, int r, int which) {
        return double(cells[2 * index2d(c, r, nx - 1) + which]);
    };
    auto segment = [&](int a, int b, double sigma) {
        return add(a, b, boundary_segment_term(ratio, k, x0, z0, x(a), z(a), x(b), z(b), sigma));
    };
    for (int r = 1; r < ny; ++r)
        if (int code = segment(node(1, r), node(1, r + 1), value(1, r, 0))) return code;
    for (int c = 1; c < nx; ++c)
        if (int code = segment(node(c, ny), node(c + 1, ny), value(c, ny - 1, 1))) return code;
    for (int r = 1; r < ny; ++r)
        if (int code = segment(node(nx, r), node(nx, r + 1), value(nx - 1, r, 1))) return code;
    return 0;
}

} // namespace fe
