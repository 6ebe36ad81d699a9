// The closed-form 2-D sensitivity kernels and the elliptic integral they are built on.
#include "sensitivity/kernels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double pi_kernel = 3.141593;           // the kernels' pi
constexpr double c_kernel = 0.02533029032445501; // 1 / (4 pi^2)
constexpr double half_pi = 1.5707963267948966;   // cel's pi / 2
constexpr double cel_tolerance = 0.0003;         // the iteration's convergence test
constexpr double bisector_k2 = 1e-4;             // below: the series about the bisector

// The integral of [y^2 + P] / (R1^3 R2^3) dy times C, from the squared distances s1 and s2 of
// the point to the two poles and the squared pole separation d2. `far_factor_near_first` and
// `far_factor_near_second` are P - SB (SB the larger square) written out for the two orders,
// so that each term is formed from the coordinates as the surface and buried kernels have
// them.
double pole_pair_integral(double s1, double s2, double d2, double far_factor_near_first,
                          double far_factor_near_second) {
    // Near the bisector the closed form takes the difference of terms of order 1 / D^2 whose
    // sum is of order 1, and loses every digit as D goes to 0. The integrand is symmetric in
    // s1 and s2, so its expansion about r^2 = (s1 + s2) / 2 has no first-order term: the
    // value on the bisector is good to (k^2)^2 there.
    if (std::fabs(s1 - s2) < bisector_k2 * std::max(s1, s2)) {
        const double r2 = 0.5 * (s1 + s2);
        const double r = std::sqrt(r2);
        const double r3 = r2 * r, r5 = r3 * r2;
        return c_kernel * pi_kernel * (1.0 / (2.0 * r3) - 3.0 * d2 / (16.0 * r5));
    }
    const bool first_nearer = s1 < s2;
    const double sb = first_nearer ? s2 : s1, ss = first_nearer ? s1 : s2;
    const double b = std::sqrt(sb);
    const double d = sb - ss;
    const double kq = std::sqrt(d) / b;
    const double kc2 = 1.0 - kq * kq;
    const double kc = std::sqrt(kc2);
    int error = 0;
    const double K = complete_elliptic_integral(kc, 1.0, 1.0, 1.0, error);
    const double E = complete_elliptic_integral(kc, 1.0, 1.0, kc2, error);
    const double t1 = 2.0 * (sb * E - ss * K) / (b * ss * d);
    double t2 = 2.0 * (E * (sb + ss) - 2.0 * ss * K) / (b * ss * d * d);
    t2 *= first_nearer ? far_factor_near_first : far_factor_near_second;
    return (t1 + t2) * c_kernel;
}

} // namespace

double complete_elliptic_integral(double kc, double p, double a, double b, int& error) {
    if (kc == 0.0) {
        error = 1;
        return std::numeric_limits<double>::infinity();
    }
    error = 0;
    // A value that is not a number would never pass the convergence test.
    if (!std::isfinite(kc) || !std::isfinite(p) || !std::isfinite(a) || !std::isfinite(b))
        return std::numeric_limits<double>::quiet_NaN();
    double qc = std::fabs(kc);
    double e = qc, em = 1.0;
    if (p > 0.0) {
        p = std::sqrt(p);
        b /= p;
    } else {
        double f = qc * qc;
        double q = 1.0 - f;
        const double g = 1.0 - p;
        f -= p;
        q *= b - a * p;
        p = std::sqrt(f / g);
        a = (a - b) / g;
        b = -q / (g * g * p) + a * p;
    }
    // The iteration converges quadratically: a few dozen steps reach any finite kc.
    for (int step = 0; step < 64; ++step) {
        const double f = a;
        a += b / p;
        double g = e / p;
        b += f * g;
        b += b;
        p += g;
        g = em;
        em += qc;
        if (std::fabs(g - qc) <= g * cel_tolerance) break;
        qc = std::sqrt(e);
        qc += qc;
        e = qc * em;
    }
    return half_pi * (b + a * em) / (em * (em + p));
}

double elliptic_integrals_k(double k, double* K) {
    const double kc = std::sqrt(1.0 - k * k);
    int error = 0;
    *K = complete_elliptic_integral(kc, 1.0, 1.0, 1.0, error);
    return complete_elliptic_integral(kc, 1.0, 1.0, kc * kc, error);
}

double sens2d_pole_pole(float x, float z, float a) {
    const double xd = x, zd = z, ad = a;
    const double s1 = xd * xd + zd * zd;
    const double s2 = (xd - ad) * (xd - ad) + zd * zd;
    return pole_pair_integral(s1, s2, ad * ad, ad * (xd - ad), -xd * ad);
}

float sens2d_buried_pole(float x, float z, float xa, float za, float xb, float zb) {
    if (xa > xb) std::swap(xa, xb), std::swap(za, zb);
    const double L = double(xb) - double(xa);
    const double u = double(x) - double(xa), w = double(z) - double(za);
    const double dz = double(zb) - double(za);
    const double s1 = u * u + w * w;
    const double s2 = (u - L) * (u - L) + (w - dz) * (w - dz);
    if (s1 == 0.0 || s2 == 0.0) return 999.0f;
    return float(pole_pair_integral(s1, s2, L * L + dz * dz, L * (u - L) + dz * (w - dz),
                                    -(u * L + w * dz)));
}

float sens2d_buried_pole_images(float x, float z, float xa, float za, float xb, float zb) {
    const float sum =
        sens2d_buried_pole(x, z, xa, za, xb, zb) + sens2d_buried_pole(x, z, xa, -za, xb, zb) +
        sens2d_buried_pole(x, z, xa, -za, xb, -zb) + sens2d_buried_pole(x, z, xa, za, xb, -zb);
    return 0.25f * sum;
}

double sens2d_wenner_alpha(float x, float z, float a) {
    return sens2d_pole_pole(x, z, a) - sens2d_pole_pole(x, z, 2.0f * a) -
           sens2d_pole_pole(x - a, z, 2.0f * a) + sens2d_pole_pole(x - 2.0f * a, z, a);
}

double sens2d_wenner_beta(float x, float z, float a) {
    return sens2d_pole_pole(x - a, z, a) - sens2d_pole_pole(x - a, z, 2.0f * a) -
           sens2d_pole_pole(x, z, 2.0f * a) + sens2d_pole_pole(x, z, 3.0f * a);
}

double sens2d_pole_dipole(float x, float z, float a, float n) {
    return sens2d_pole_pole(x, z, n * a) - sens2d_pole_pole(x, z, (n + 1.0f) * a);
}

float min_electrode_distance(float v, float e1, float e2, float e3, float e4) {
    return std::min({std::fabs(v - e1), std::fabs(v - e2), std::fabs(v - e3), std::fabs(v - e4)});
}

float sens2d_line_term(float x, float z) {
    const float q = 4.0f * x * x + z * z;
    return 2.0f * x / (3.1416f * std::pow(q, 1.5f));
}

namespace sens {

namespace {

constexpr float third = 0.33333334f, two_thirds = 0.6666667f;

double F(float u, float z, float a) {
    return sens2d_pole_pole(u, z, a);
}

// The surface array with C1, C2, P1, P2 at the given x: every term with its left pole at the
// origin, as reciprocity allows.
double surface_sum(const float* ex, float x, float z) {
    const float c1 = ex[0], c2 = ex[1], p1 = ex[2], p2 = ex[3];
    return F(x - c1, z, p1 - c1) - F(x - c1, z, p2 - c1) - F(x - c2, z, p1 - c2) +
           F(x - c2, z, p2 - c2);
}

double borehole_sum(const Electrodes& e, float x, float z) {
    const auto Fh = [&](int i, int j) {
        return double(sens2d_buried_pole_images(x, z, e.x[i], e.z[i], e.x[j], e.z[j]));
    };
    return Fh(0, 2) - Fh(0, 3) - Fh(1, 2) + Fh(1, 3);
}

} // namespace

float array_kernel_sum(int code, float n, const Electrodes& e, float x, float z) {
    double v = 0.0;
    switch (code) {
    case wenner_alpha:
        v = F(x, z, third) - F(x, z, two_thirds) - F(x - third, z, two_thirds) +
            F(x + (-two_thirds), z, third);
        break;
    case wenner_beta:
        v = F(x - third, z, third) - F(x - third, z, two_thirds) - F(x, z, two_thirds) +
            F(x, z, 1.0f);
        break;
    case wenner_gamma:
        v = F(x, z, third) - F(x, z, 1.0f) - F(x - third, z, third) +
            F(x + (-two_thirds), z, third);
        break;
    case dipole_dipole: {
        const float a = 1.0f / (n + 2.0f), na = n * a, n1a = (n + 1.0f) * a, n2a = (n + 2.0f) * a;
        v = F(x - a, z, na) - F(x - a, z, n1a) - F(x, z, n1a) + F(x, z, n2a);
        break;
    }
    case pole_dipole: {
        const float a = 1.0f / (n + 1.0f), na = n * a, n1a = (n + 1.0f) * a;
        v = F(x, z, na) - F(x, z, n1a);
        break;
    }
    case wenner_schlumberger: {
        const float a = 1.0f / (2.0f * n + 1.0f), na = n * a, n1a = (n + 1.0f) * a;
        v = F(x, z, na) - F(x, z, n1a) - F(x - na, z, n1a) + F(x - n1a, z, na);
        break;
    }
    case general_array:
        v = surface_sum(e.x, x, z);
        break;
    case borehole_array:
        v = borehole_sum(e, x, z);
        break;
    default:
        v = F(x, z, 1.0f);
        break;
    }
    return float(v);
}

} // namespace sens
