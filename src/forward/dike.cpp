// The image series of a point source beside a vertical dike.
#include "forward/dike.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// Where the two electrodes lie, a the one the series is taken from.
enum class Side {
    both_left,        // a < b < x1
    across,           // a < x1, b > x2
    left_and_inside,  // a < x1, b in the dike
    both_right,       // a and b > x2, a the outer one
    right_and_inside, // a >= x2, b in the dike
    both_inside,      // both in the dike
    inside_and_right, // a in the dike, b > x2
};

struct DikeSum {
    Side side = Side::both_left;
    float r = 0.0f;     // |b - a|
    float value = 0.0f; // potential
};

// Sums `terms` image terms in single precision: S of the case, times rho1 / (2 pi) or the
// factor of the two cases with the source inside the dike.
DikeSum dike_sum(float xa, float xm, float x1, float w, float rho1, float rho2, int terms) {
    float a = std::min(xa, xm), b = std::max(xa, xm);
    const float x2 = x1 + w;
    if (x2 < a && a < b) std::swap(a, b); // right of the dike, the series starts outside
    DikeSum out;
    out.r = std::fabs(b - a);
    const float r = out.r;
    const float k = (rho2 - rho1) / (rho2 + rho1), q = k * k;
    const float d = 2.0f * (x1 - a), e = d, t = d + r;
    float factor = rho1 / 6.2831855f;
    float s = 0.0f, qi = 1.0f;
    if (a < x1 && b < x1) {
        out.side = Side::both_left;
        s = 1.0f / r + k / (d - r);
        for (int i = 0; i < terms; ++i, qi *= q)
            s -= k * (1.0f - q) * qi / (float(2 * i + 2) * w + d - r);
    } else if (a < x1 && b > x2) {
        out.side = Side::across;
        for (int i = 0; i < terms; ++i, qi *= q)
            s += (1.0f - q) * qi / (float(2 * i) * w + r);
    } else if (a < x1) {
        out.side = Side::left_and_inside;
        for (int i = 0; i < terms; ++i, qi *= q)
            s += (1.0f + k) * qi / (float(2 * i) * w + r) -
                 k * (1.0f + k) * qi / (float(2 * i + 2) * w + d - r);
    } else if (a >= x2 && b > x2) {
        out.side = Side::both_right;
        s = 1.0f / r;
        for (int i = 0; i < terms; ++i, qi *= q)
            s += k * qi * (1.0f / (float(2 * i - 2) * w - t) - 1.0f / (float(2 * i) * w - t));
    } else if (a >= x2) {
        out.side = Side::right_and_inside;
        for (int i = 0; i < terms; ++i, qi *= q)
            s += qi / (float(2 * i) * w + r) - k * qi / (float(2 * i) * w - t);
    } else if (b <= x2) {
        out.side = Side::both_inside;
        s = 1.0f / r;
        for (int i = 0; i < terms; ++i, qi *= q)
            s += q * qi / (float(2 * i + 2) * w - r) + q * qi / (float(2 * i + 2) * w + r) -
                 k * qi / (float(2 * i + 2) * w + e - r) - k * qi / (float(2 * i) * w - (e - r));
        factor = (1.0f + k) * rho1 / ((1.0f - k) * 6.2831855f);
    } else {
        out.side = Side::inside_and_right;
        for (int i = 0; i < terms; ++i, qi *= q)
            s += qi / (float(2 * i) * w + r) - k * qi / (float(2 * i) * w - (e - r));
        factor = (1.0f + k) * rho1 / 6.2831855f;
    }
    out.value = factor * s;
    return out;
}

} // namespace

float dike_potential(float xa, float xm, float x1, float w, float rho1, float rho2) {
    // Every case has 1/r in its first term: no series for coincident electrodes.
    if (xa == xm) return std::numeric_limits<float>::infinity();
    return dike_sum(xa, xm, x1, w, rho1, rho2, 2000001).value;
}

double dike_test_cases(std::FILE* file, float xa, float xm, float x1, float w, float rho1,
                       float rho2) {
    if (xa == xm) return std::numeric_limits<double>::infinity();
    const DikeSum sum = dike_sum(xa, xm, x1, w, rho1, rho2, 99);
    if (!file) return sum.value;
    const float k = (rho2 - rho1) / (rho2 + rho1);
    switch (sum.side) {
    case Side::both_left:
        std::fprintf(file, "Case 1 t %.1f xa %.1f xm %.1f x %.1f a %.1f ", w, xa, xm, x1, sum.r);
        std::fprintf(file, "k12 %.1f fac %.1f ", k, rho1 / 6.2831855f);
        break;
    case Side::across:
        std::fprintf(file, "Case 2 xa %.1f xm %.1f x %.1f a %.1f ", xa, xm, x1, sum.r);
        break;
    case Side::left_and_inside:
        std::fprintf(file, "Case 3 xa %.1f xm %.1f x %.1f a %.1f ", xa, xm, x1, sum.r);
        break;
    case Side::both_right:
    case Side::right_and_inside:
        std::fprintf(file, "Case 4 xf2 %.1f xa %.1f xm %.1f x %.1f a %.1f ", x1 + w, xa, xm, x1,
                     sum.r);
        break;
    case Side::both_inside:
    case Side::inside_and_right:
        std::fprintf(file, "Case 5 xa %.1f xm %.1f x %.1f a %.1f ", xa, xm, x1, sum.r);
        break;
    }
    std::fprintf(file, "v %.6f\n", double(sum.value));
    return sum.value;
}
