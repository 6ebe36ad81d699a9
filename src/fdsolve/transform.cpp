// Inverse Fourier transforms of pair and point potentials: one low-wavenumber tail and one
// piecewise model of V(k) with closed-form integrals, shared by every table and point routine.
#include "fdsolve/transform.h"

#include "fdsolve/sici.h"
#include "fdsolve/spline.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"
#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double inv_pi = 0.3183098862435492;
constexpr float inv_pi_flt = 0.31830987f;
constexpr int offset_pole_dipole = 10;

double sine_integral(double x) {
    double ci;
    return sine_cosine_integrals_dbl(x, &ci);
}
float sine_integral(float x) {
    float ci;
    return sine_cosine_integrals_flt(x, &ci);
}

// K0(t), K1(t) and the integral of K0 from 0 to t, for t > 0. Up to t = 8 from the power
// series (with y = t^2/4 and psi(j+1) = H_j - gamma):
//   K0 = sum y^j/(j!)^2 (psi(j+1) - ln(t/2)),
//   K1 = 1/t + (t/2) sum y^j/(j!(j+1)!) (ln(t/2) - (psi(j+1) + psi(j+2))/2),
//   integral = t sum y^j/(j!)^2 (psi(j+1) - ln(t/2) + 1/(2j+1))/(2j+1);
// cancellation costs at most about six digits at t = 8. Beyond, K0 and K1 come from the
// standard library and the integral is pi/2 less the asymptotic series of the rest,
// sqrt(pi/(2t)) exp(-t) (1 - 5/(8t) + 129/(128t^2) - 2655/(1024t^3)), good to 1e-7 of pi/2.
// With `k0_only` the other two are left 0 and K0 comes out the same, bit for bit, at half the
// cost or less (the library's K1 costs as much as its K0).
struct BesselK {
    double k0, k1, integral;
};
BesselK bessel_k(double t, bool k0_only = false) {
    constexpr double pi = 3.141592653589793;
    if (t > 8.0 && k0_only) return {std::cyl_bessel_k(0.0, t), 0.0, 0.0};
    if (t > 8.0) {
        const double w = 1.0 / t;
        const double rest = std::sqrt(0.5 * pi * w) * std::exp(-t) *
                            (1.0 - w * (0.625 - w * (1.0078125 - w * 2.5927734375)));
        return {std::cyl_bessel_k(0.0, t), std::cyl_bessel_k(1.0, t), 0.5 * pi - rest};
    }
    constexpr int terms = 48; // y^j/(j!)^2 < 1e-30 by then for y <= 16
    struct Reciprocals {
        double next[terms], odd[terms];
    };
    static const Reciprocals r = [] {
        Reciprocals table{};
        for (int j = 0; j < terms; ++j) {
            table.next[j] = 1.0 / (j + 1);
            table.odd[j] = 1.0 / (2 * j + 1);
        }
        return table;
    }();
    const double y = 0.25 * t * t, log_half = std::log(0.5 * t);
    double a = 1.0, psi = -0.5772156649015329, k0 = 0.0, k1 = 0.0, integral = 0.0;
    for (int j = 0; j < terms && a > 1e-20; ++j) {
        const double psi_next = psi + r.next[j];
        const double term = a * (psi - log_half);
        k0 += term;
        if (!k0_only) {
            k1 += a * r.next[j] * (log_half - 0.5 * (psi + psi_next));
            integral += (term + a * r.odd[j]) * r.odd[j];
        }
        a *= y * r.next[j] * r.next[j];
        psi = psi_next;
    }
    if (k0_only) return {k0, 0.0, 0.0};
    return {k0, 1.0 / t + 0.5 * t * k1, t * integral};
}

double bessel_k0(double t) {
    return bessel_k(t, true).k0;
}

// Where the fit below the first wavenumber is taken to be its logarithmic limit, and where it
// stops following a faster decay, K0 being near the end of the double range (see
// fd::low_wavenumber_tail).
constexpr double fit_smallest = 1e-4, fit_largest = 500.0;

// x = k1 r of the potential A K0(k r) with K0(x)/K0(ratio x) = q (q > 1, ratio > 1): the root
// of ln K0(x) - ln K0(ratio x) - ln q, which rises with x, by Newton steps in ln x kept inside
// a shrinking bracket. The start is the logarithmic limit, K0(x) ~ -ln(x/2) - gamma =
// q ln(ratio)/(q - 1), accurate for small x; 0 when that lies below fit_smallest (the limit
// holds there), fit_largest when the root lies beyond.
double fitted_argument(double q, double ratio) {
    const double log_q = std::log(q);
    double u = std::log(2.0) - 0.5772156649015329 + std::log(ratio) / std::expm1(-log_q);
    if (!(u >= std::log(fit_smallest))) return 0.0;
    double low = std::log(fit_smallest), high = std::log(fit_largest);
    if (!(u < high)) u = 0.5 * (low + high);
    for (int step = 0; step < 100; ++step) {
        const double x = std::exp(u);
        const BesselK near = bessel_k(x), far = bessel_k(ratio * x);
        // A K0 that underflows (ratio x beyond some 700) puts the root lower.
        const double h = far.k0 > 0.0 ? std::log(near.k0 / far.k0) - log_q : HUGE_VAL;
        const double slope =
            far.k0 > 0.0 ? ratio * x * far.k1 / far.k0 - x * near.k1 / near.k0 : 0.0;
        (h < 0.0 ? low : high) = u;
        double next = slope > 0.0 && h != HUGE_VAL ? u - h / slope : 0.5 * (low + high);
        if (!(next > low && next < high)) next = 0.5 * (low + high);
        // Newton's error squares: a step of 1e-8 leaves one of about 1e-16.
        const bool converged = std::fabs(next - u) < 1e-8 || high - low < 1e-12;
        u = next;
        if (converged) break;
    }
    return std::min(std::exp(u), fit_largest);
}

// The integral over t from 0 to 1 of (K0(x t) - k0_x + ln t)(1 - cos(w t)), k0_x = K0(x): the
// smooth rest of a fitted K0 beyond its logarithmic part, weighted as a strike distance does
// (w = k1 s), by eight-point Gauss-Legendre.
// Eight-point Gauss-Legendre on [-1, 1]: the positive nodes and their weights.
constexpr double gauss_node[4] = {0.1834346424956498, 0.5255324099163290, 0.7966664774136267,
                                  0.9602898564975363};
constexpr double gauss_weight[4] = {0.3626837833783620, 0.3137066458778873, 0.2223810344533745,
                                    0.1012285362903763};

double smooth_rest_weighted(double x, double k0_x, double w) {
    double sum = 0.0;
    for (int i = 0; i < 4; ++i)
        for (double sign : {-1.0, 1.0}) {
            const double t = 0.5 * (1.0 + sign * gauss_node[i]);
            const double half_sine = std::sin(0.5 * w * t); // 1 - cos(w t) = 2 sin^2(w t / 2)
            sum += gauss_weight[i] * (bessel_k0(x * t) - k0_x + std::log(t)) * 2.0 * half_sine *
                   half_sine;
        }
    return 0.5 * sum;
}

// ---- Strike kernels of a homogeneous earth ----
//
// Beyond k d = 60, K0(k d) is below 1e-27 of its size near k d = 1: the kernels' integrals end
// there, and samples beyond it carry nothing.
constexpr double kernel_reach = 60.0;
// Nor does the mesh follow a potential falling like exp(-k r) much beyond k h = 0.5, h the node
// spacing at the electrodes: measured on a half-space at 4 nodes a spacing, the samples of
// neighbouring electrodes read 0.89 to 1.02 of K0 at k = 3.5 and 0.1 to 1.3 at k = 8 (the
// thinner the top rows, the lower), against 0.99 to 1.02 up to k = 1.8. Those wavenumbers see
// only the ground right at the electrodes, so the strike transforms hold the ratio of the last
// sample the mesh resolves; with the samples of k = 3.5 and 8 taken as they came, the equatorial
// dipole-dipole data of neighbouring electrodes read up to 3 % low.
constexpr double resolved_wavenumber = 0.5;
// Sub-intervals of at most 0.8 of ln k, 5 radians of cos(k s) and a fall of K0(k d) by e^8
// keep the eight-point rule within 1e-12 of the kernels' sums (measured at 0.25 to 10 units of
// s and 1 to 600 of d).
constexpr double widest_log_step = 0.8, widest_phase = 5.0, widest_decay = 8.0;

// A strike distance far beyond the pair's section-plane distance (a remote electrode far along
// strike) puts thousands of periods of cos(k s) within the kernel's reach: resolving each cost
// 24 s for one remote electrode 10000 spacings off a 21-electrode line. Beyond
// filon_phase_steps periods' worth of sub-intervals the cosine moments are taken by a
// Filon-type rule instead: K0(k d) times the shape, interpolated at the eight Gauss nodes of a
// sub-interval, against cos(k s) integrated exactly, in filon_refinement times the sub-intervals
// the smoothness of the kernel needs and none more for the phase. Measured on the kernel sums
// at d = 0.06 to 150 and s = 50 to 1e5: within 2e-9 of pi / (2 r) at this refinement (7e-9 at
// the plain sub-intervals); the remote electrode's run took 0.09 s.
constexpr int filon_phase_steps = 256, filon_refinement = 4;

// The moments c[j] and s[j] of u^j cos(theta u) and u^j sin(theta u) over [-1, 1], j = 0..7: by
// their power series while theta < 4, else by the recurrences of integration by parts (each
// step multiplies the error by j / theta, below 2).
void oscillatory_moments(double theta, double c[8], double s[8]) {
    if (std::fabs(theta) < 4.0) {
        for (int j = 0; j < 8; ++j) {
            double cosine = 0.0, sine = 0.0, term = 1.0; // theta^m / m!
            for (int m = 0; m < 60; ++m) {
                const int p = j + m;
                const double integral = p % 2 == 0 ? 2.0 / (p + 1) : 0.0;
                const double add = term * integral;
                switch (m % 4) {
                case 0:
                    cosine += add;
                    break;
                case 1:
                    sine += add;
                    break;
                case 2:
                    cosine -= add;
                    break;
                default:
                    sine -= add;
                    break;
                }
                term *= theta / (m + 1);
            }
            c[j] = cosine;
            s[j] = sine;
        }
        return;
    }
    const double sine = std::sin(theta), cosine = std::cos(theta);
    for (int j = 0; j < 8; ++j) {
        const double odd = j % 2 == 0 ? 1.0 : -1.0; // (-1)^j
        const double ends_c = (1.0 + odd) * sine / theta, ends_s = (odd - 1.0) * cosine / theta;
        c[j] = ends_c - (j > 0 ? j / theta * s[j - 1] : 0.0);
        s[j] = ends_s + (j > 0 ? j / theta * c[j - 1] : 0.0);
    }
}

// The coefficients of the eight Lagrange polynomials through the Gauss nodes of [-1, 1] (node i
// at gauss_node order: -x3 .. -x0, x0 .. x3), power j of polynomial i at [i][j].
struct GaussLagrange {
    double node[8], coefficient[8][8];
    GaussLagrange() {
        for (int i = 0; i < 4; ++i) {
            node[i] = -gauss_node[3 - i];
            node[7 - i] = gauss_node[3 - i];
        }
        for (int i = 0; i < 8; ++i) {
            double poly[8] = {1.0}, denominator = 1.0;
            int degree = 0;
            for (int j = 0; j < 8; ++j) {
                if (j == i) continue;
                for (int p = ++degree; p >= 0; --p)
                    poly[p] = (p > 0 ? poly[p - 1] : 0.0) - node[j] * poly[p];
                denominator *= node[i] - node[j];
            }
            for (int p = 0; p < 8; ++p)
                coefficient[i][p] = poly[p] / denominator;
        }
    }
};

// The cubic shapes at k (see add_kernel_piece).
void kernel_shapes(double k, bool cubic, double u_right, double width, double curvature,
                   double shapes[4]) {
    const double a = cubic ? (u_right - std::log(k)) / width : 1.0, b = 1.0 - a;
    shapes[0] = a;
    shapes[1] = b;
    shapes[2] = (a * a * a - a) * curvature;
    shapes[3] = (b * b * b - b) * curvature;
}

// The moments over [k_from, k_to] (clipped at kernel_reach / d) of K0(k d) and of
// K0(k d)(1 - cos(k s)) against the four shape functions of a cubic in u = ln k on the interval
// [u_left, u_right] of width h: a = (u_right - u) / h, b = 1 - a, (a^3 - a) h^2/6 and
// (b^3 - b) h^2/6, added to plain[0..3] and difference[0..3]. With k_left == k_right only the
// constant 1 is added (entry 0).
void add_kernel_piece(double k_from, double k_to, double k_left, double k_right, double d, double s,
                      double plain[4], double difference[4]) {
    k_to = std::min(k_to, kernel_reach / d);
    if (!(k_to > k_from)) return;
    const bool cubic = k_right > k_left;
    const double u_right = std::log(k_right), width = cubic ? u_right - std::log(k_left) : 1.0;
    // Uniform steps of ln k from k_from > 0, or of k from k_from = 0 (the lowest piece, whose
    // steps are graded towards 0 by the caller).
    const bool logarithmic = k_from > 0.0;
    const double from = logarithmic ? std::log(k_from) : 0.0;
    const double to = logarithmic ? std::log(k_to) : k_to;
    // The widest step in k: k_to times the step of ln k, or the step itself.
    const double span = to - from, per_step = logarithmic ? k_to * span : k_to - k_from;
    const int smooth = std::max({1, int(std::ceil(logarithmic ? span / widest_log_step : 0.0)),
                                 int(std::ceil(per_step * d / widest_decay))});
    const double phase = std::ceil(per_step * s / widest_phase);
    const bool filon = logarithmic && phase > filon_phase_steps;
    const int steps = filon ? filon_refinement * smooth : std::max(smooth, int(phase));
    const double h = span / steps, curvature = width * width / 6.0;
    const int count = cubic ? 4 : 1;
    static const GaussLagrange lagrange;
    for (int step = 0; step < steps; ++step) {
        const double middle = from + (step + 0.5) * h;
        double piece[4] = {};
        for (int i = 0; i < 4; ++i)
            for (double sign : {-1.0, 1.0}) {
                const double t = middle + sign * 0.5 * h * gauss_node[i];
                const double k = logarithmic ? std::exp(t) : t;
                const double jacobian = 0.5 * h * gauss_weight[i] * (logarithmic ? k : 1.0);
                const double kernel = bessel_k0(k * d) * jacobian;
                double shapes[4];
                kernel_shapes(k, cubic, u_right, width, curvature, shapes);
                const double half_sine = filon ? 0.0 : std::sin(0.5 * k * s);
                for (int m = 0; m < count; ++m) {
                    piece[m] += shapes[m] * kernel;
                    difference[m] += shapes[m] * kernel * 2.0 * half_sine * half_sine;
                }
            }
        for (int m = 0; m < count; ++m)
            plain[m] += piece[m];
        if (!filon) continue;
        // The sub-interval in k, its kernel and shapes at the Gauss nodes against cos(k s): the
        // difference is the plain moment less that.
        const double low = std::exp(middle - 0.5 * h), high = std::exp(middle + 0.5 * h);
        const double centre = 0.5 * (low + high), half = 0.5 * (high - low);
        double c[8], sn[8];
        oscillatory_moments(s * half, c, sn);
        const double cc = std::cos(s * centre), sc = std::sin(s * centre);
        for (int i = 0; i < 8; ++i) {
            const double k = centre + half * lagrange.node[i];
            double moment = 0.0;
            for (int j = 0; j < 8; ++j)
                moment += lagrange.coefficient[i][j] * (cc * c[j] - sc * sn[j]);
            const double kernel = bessel_k0(k * d) * half * moment;
            double shapes[4];
            kernel_shapes(k, cubic, u_right, width, curvature, shapes);
            for (int m = 0; m < count; ++m)
                piece[m] -= shapes[m] * kernel;
        }
        for (int m = 0; m < count; ++m)
            difference[m] += piece[m];
    }
}

// The image distance of the continuation beyond the resolved wavenumbers (fd::StrikeWeights):
// r > d with K0(kp r) K0(kc d) / (K0(kc r) K0(kp d)) = q, for q > 1 and kp < kc. The root of
// ln K0(kp r) - ln K0(kc r) - ln(K0(kp d) / K0(kc d)) - ln q, which rises with r (x K1(x) / K0(x)
// rises with x), by Newton steps kept inside a shrinking bracket; infinity when it lies beyond
// kernel_reach / kc, the image having died out by kc.
double image_distance(double kp, double kc, double d, double q) {
    const double offset = std::log(bessel_k0(kc * d) / bessel_k0(kp * d)) - std::log(q);
    auto rise = [&](double r, double& slope) {
        const BesselK near = bessel_k(kp * r), far = bessel_k(kc * r);
        slope = kc * far.k1 / far.k0 - kp * near.k1 / near.k0;
        return std::log(near.k0 / far.k0) + offset;
    };
    double low = d, high = kernel_reach / kc, slope = 0.0;
    if (!(high > low) || rise(high, slope) < 0.0) return HUGE_VAL;
    double r = low;
    for (int step = 0; step < 100; ++step) {
        const double value = rise(r, slope);
        (value < 0.0 ? low : high) = r;
        double next = slope > 0.0 ? r - value / slope : 0.5 * (low + high);
        if (!(next > low && next < high)) next = 0.5 * (low + high);
        const bool converged = std::fabs(next - r) < 1e-10 * r || high - low < 1e-12 * r;
        r = next;
        if (converged) break;
    }
    return r;
}

// Second derivatives in u = ln k, at the n knots u, of the natural cubic splines through the
// unit vectors: column j (second[j n + i]) for the spline that is 1 at knot j and 0 at the
// others. Natural ends (second derivative 0); fewer than 3 knots, or two at the same place,
// give straight lines (all 0).
void natural_spline_curvatures(const std::vector<double>& u, std::vector<double>& second) {
    const int n = int(u.size());
    second.assign(std::size_t(n) * n, 0.0);
    if (n < 3) return;
    for (int i = 0; i + 1 < n; ++i)
        if (!(u[std::size_t(i + 1)] > u[std::size_t(i)])) return;
    // Rows 1..n-2: h0 M[i-1] + 2 (h0 + h1) M[i] + h1 M[i+1] = 6 (y[i+1] - y[i]) / h1
    // - 6 (y[i] - y[i-1]) / h0, by the Thomas algorithm for every right-hand side.
    std::vector<double> diagonal(static_cast<std::size_t>(n)), upper(diagonal), rhs(diagonal);
    for (int j = 0; j < n; ++j) {
        auto y = [j](int i) { return i == j ? 1.0 : 0.0; };
        for (int i = 1; i + 1 < n; ++i) {
            const double h0 = u[i] - u[i - 1], h1 = u[i + 1] - u[i];
            double diag = 2.0 * (h0 + h1),
                   right = 6.0 * ((y(i + 1) - y(i)) / h1 - (y(i) - y(i - 1)) / h0);
            if (i > 1) {
                const double factor = h0 / diagonal[i - 1];
                diag -= factor * upper[i - 1];
                right -= factor * rhs[i - 1];
            }
            diagonal[i] = diag;
            upper[i] = h1;
            rhs[i] = right;
        }
        double* m = second.data() + std::size_t(j) * n;
        for (int i = n - 2; i >= 1; --i)
            m[i] = (rhs[i] - (i + 2 < n ? upper[i] * m[i + 1] : 0.0)) / diagonal[i];
    }
}

template <class T> struct Integrals {
    T plain;  ///< integral of V from 0 to the last sample
    T cosine; ///< integral of V(k) cos(k s) over the same range
};

// The tail below k[0] from the first two of `last` samples (the rectangle when there is only one).
template <class T> fd::TailIntegrals tail_of(const T* k, const T* v, int last, T s) {
    const double k2 = last >= 2 ? double(k[1]) : double(k[0]);
    const double v2 = last >= 2 ? double(v[1]) : double(v[0]);
    return fd::low_wavenumber_tail(double(k[0]), k2, double(v[0]), v2, double(s));
}

// The integral of V from 0 on: the tail's plain part below k[0] and the spline integral of the
// n samples above it (fd::potential_integral).
template <class T>
double section_plane_integral(const fd::TailIntegrals& tail, const T* k, const T* v, int n, int m) {
    return tail.plain + fd::spline_integral_above_first(k, v, n, m);
}

// The two integrals of the piecewise model of v[0..last-1] over k[0..last-1]: `tail` (tail_of
// the same samples and s) below k_1, intervals 0..nb-2 linear in ln k, intervals nb-1..last-2
// exponential. An exponential interval counts only when both samples are positive. s = 0 takes
// the limit of the cosine-weighted integral.
template <class T>
Integrals<T> piecewise_integrals(const fd::TailIntegrals& tail, const T* k, const T* v, int nb,
                                 int last, T s) {
    Integrals<T> sum{T(tail.plain), T(tail.cosine)};
    const bool weighted = s != T(0);
    for (int i = 0; i + 1 < nb && i + 1 < last; ++i) {
        if (!(k[i + 1] > k[i])) continue; // zero width: nothing to add
        const T b = (v[i + 1] - v[i]) / std::log(k[i + 1] / k[i]);
        sum.plain += k[i + 1] * (v[i + 1] - b) - k[i] * (v[i] - b);
        if (weighted)
            sum.cosine += (v[i + 1] * std::sin(k[i + 1] * s) - b * sine_integral(k[i + 1] * s) -
                           v[i] * std::sin(k[i] * s) + b * sine_integral(k[i] * s)) /
                          s;
    }
    for (int i = nb > 0 ? nb - 1 : 0; i + 1 < last; ++i) {
        if (!(v[i + 1] > T(0)) || !(v[i] > T(0))) continue;
        const T width = k[i + 1] - k[i];
        if (!(width > T(0))) continue;
        const T fall = std::log(v[i] / v[i + 1]);
        const T a = fall / width;
        sum.plain += fd::exp_piece_integral(width, v[i], v[i + 1], fall);
        if (weighted)
            sum.cosine += (v[i + 1] * (s * std::sin(k[i + 1] * s) - a * std::cos(k[i + 1] * s)) -
                           v[i] * (s * std::sin(k[i] * s) - a * std::cos(k[i] * s))) /
                          (a * a + s * s);
    }
    if (!weighted) sum.cosine = sum.plain;
    return sum;
}

// Number of the first `last` wavenumbers with k*r below 0.5 (the log-linear samples).
template <class T> int log_linear_count(const T* k, int last, double r) {
    int nb = 0;
    for (int i = 0; i < last; ++i)
        if (k[i] * r < 0.5) ++nb;
    return nb;
}

// Calls f(L, J) for every pair L < J of N electrodes: J outer when `order` is 0, L outer
// otherwise.
template <class F> void for_each_pair(int N, int order, F f) {
    if (order == 0) {
        for (int J = 2; J <= N; ++J)
            for (int L = 1; L < J; ++L)
                f(L, J);
    } else {
        for (int L = 1; L < N; ++L)
            for (int J = L + 1; J <= N; ++J)
                f(L, J);
    }
}

// Calls f(worker, L, J, p) for every pair L < J of N electrodes, p being the pair's number in
// the order of for_each_pair, on `workers` threads: the outer index in blocks of about equal
// numbers of pairs.
template <class F> void for_each_pair_block(int N, int order, int workers, F f) {
    const long long pairs = (long long)N * (N - 1) / 2;
    const int blocks = int(std::min<long long>(pairs, 16LL * workers));
    // Outer index o = 1 .. N - 1 (J = o + 1 for order 0, L = o otherwise) with o pairs (order
    // 0) or N - o pairs; start[b] is the first outer index of block b.
    std::vector<int> start{1};
    long long before = 0;
    for (int o = 1; o < N; ++o) {
        before += order == 0 ? o : N - o;
        if (before * blocks >= pairs * (long long)start.size() && o + 1 < N) start.push_back(o + 1);
    }
    start.push_back(N);
    const auto first_pair = [&](int o) -> long long {
        return order == 0 ? (long long)o * (o - 1) / 2
                          : (long long)(o - 1) * N - (long long)o * (o - 1) / 2;
    };
    sys::run_in_parallel(int(start.size()) - 1, workers, [&](int worker, int b) {
        for (int o = start[std::size_t(b)]; o < start[std::size_t(b) + 1]; ++o) {
            int p = int(first_pair(o));
            if (order == 0)
                for (int L = 1; L <= o; ++L)
                    f(worker, L, o + 1, ++p);
            else
                for (int J = o + 1; J <= N; ++J)
                    f(worker, o, J, ++p);
        }
    });
}

void store_pair(double* table, int lead, int L, int J, double value) {
    table[index2d(L, J, lead)] = value;
    table[index2d(J, L, lead)] = value;
}

} // namespace

namespace {

// The weights of the ratio rule of one section-plane distance d and strike distance s: a
// sample's V(k) divided by a homogeneous earth's K0(k d), a natural cubic spline of ln k held
// beyond the first and the last usable sample, times K0(k d) integrates to the weighted sum of
// the samples. The samples used end where k d passes kernel_reach or k h resolved_wavenumber.
// difference: of V(k)(1 - cos(k s)); strike: of V(k) cos(k s); the held weights take the
// ratio of sample i on for all the samples after it.
struct RatioRule {
    explicit RatioRule(int n)
        : difference(std::size_t(n)), difference_held(difference), strike(difference),
          strike_held(difference), plain_(difference), difference_(difference) {}
    int usable = 0;
    std::vector<double> difference, difference_held, strike, strike_held;

    void weigh(const double* k, int n, double d, double s, double node_spacing,
               double reach = kernel_reach) {
        usable = 1;
        while (usable < n && k[usable] * d <= reach &&
               k[usable] * node_spacing <= resolved_wavenumber)
            ++usable;
        fd::strike_kernel_integrals(k, usable, d, s, plain_.data(), difference_.data());
        double plain_after = 0.0, difference_after = 0.0;
        for (int i = usable - 1; i >= 0; --i) {
            const std::size_t at = std::size_t(i);
            plain_after += plain_[at];
            difference_after += difference_[at];
            const double kernel = bessel_k0(k[i] * d);
            difference[at] = difference_[at] / kernel;
            difference_held[at] = difference_after / kernel;
            strike[at] = (plain_[at] - difference_[at]) / kernel;
            strike_held[at] = (plain_after - difference_after) / kernel;
        }
    }

  private:
    std::vector<double> plain_, difference_;
};

// A remote electrode's samples come from a mesh that grows coarse around it: beyond k d = 20
// (K0 below 4e-10 of its value at k d = 0.2) they are the solution's rounding noise, which the
// ratio to K0 blows up (a sample of 4e-11 at k d = 41, 1000 spacings off the line, weighed
// 8e6 times its share).
constexpr double point_reach = 20.0;

// A point this close to the section plane (in unit spacings) lies in it: its potential is the
// pairs' own integral of V.
constexpr double in_plane = 0.02;

// (1/pi) times the sum of the first `last` samples v (at most `usable`) by the weights w, the
// last one's by its held weight.
double ratio_sum(const double* w, const double* held, int usable, const double* v, int last) {
    last = std::min(last, usable);
    if (last < 1) return 0.0;
    double total = held[last - 1] * v[last - 1];
    for (int i = 0; i + 1 < last; ++i)
        total += w[i] * v[i];
    return inv_pi * total;
}

// The share of the integral of V(k) cos(k s) from 0 to the first wavenumber k_1 that a ratio
// rule at the distance d gives the first sample, holding its ratio there: the integral of
// K0(k d) cos(k s) over that range (fd::below_first_kernel) over K0(k_1 d).
double held_below(const double* k, double d, double s) {
    double plain = 0.0, difference = 0.0;
    fd::below_first_kernel(k[0], d, s, plain, difference);
    return (plain - difference) / bessel_k0(k[0] * d);
}

// What continuing the first `last` samples v below k_1 as the pairs' own integrals continue
// them (the low-wavenumber tail, A K0(k r) fitted to the first two) adds to a ratio rule's
// integral of V(k) cos(k s) over holding the first ratio there (`held`, held_below), times
// 1/pi. On a homogeneous earth the two agree; on layered ground the ratio at k_1 is still on
// its way to the deeper ground's resistivity, which the tail follows and the held ratio does
// not. Nothing without samples.
double below_first(const double* k, const double* v, int last, double s, double held) {
    if (last < 1) return 0.0;
    return inv_pi * (tail_of(k, v, last, s).cosine - held * v[0]);
}

} // namespace

namespace fd {

// Strike transforms of the pairs of a line: the potential at the strike distance s (offset
// pole-dipole) and the section-plane potential less it (every other array). A pair's samples
// V(k_i) divided by a homogeneous earth's K0(k_i d) vary slowly with k even where V falls by
// orders of magnitude between the samples; this ratio, a natural cubic spline of ln k through
// the samples and held beyond the first and the last usable one, times K0(k d) integrates to a
// weighted sum of the samples with weights fixed by d, s and the wavenumbers
// (fd::strike_kernel_integrals), exact for a homogeneous earth. The samples used end where k d
// passes kernel_reach or k h resolved_wavenumber; a pair with fewer significant samples holds
// the ratio of its last one. Chords of V itself (the piecewise model) lie above the convex decay
// between wavenumbers some 2.3 apart: on a half-space the difference came out 2 to 2.5 % high
// at every distance; on two layers 1 to 4.3 %, which the spline of the ratio brings to 0.3 %
// (a straight line of it left 4.2 %).
//
// Beyond the resolved samples a second set of weights, over every sample within reach, takes
// the continuation's values (StrikeWeights::Continuation). On a layered earth the ratio is
// still on its way from the deeper ground's resistivity to the top layer's at k_c: holding it
// there took the deeper ground's share for the top layer's at every larger wavenumber, which
// carry much of the difference of near pairs. From exact samples of
// 200 over 20 ohm-m one spacing thick, at 1.5 spacings of strike offset, the difference of a
// pair one spacing apart came out 19.5 % low at two nodes a spacing and 2.2 % at four (20 over
// 200 ohm-m: 16 and 1.4 % high); continued, within 1.8 and 0.03 %.
//
// Below the first wavenumber the potential at the strike distance continues the samples as the
// pairs' own integrals do, not the first ratio held (below_first): over 20 ohm-m on 200, 2
// spacings thick, from exact samples, it read 0.33 % low at every distance with any number of
// wavenumbers. The difference, whose weight 1 - cos(k s) leaves next to nothing there, keeps
// the held ratio.
bool StrikeWeights::prepare(const double* k, int n, double s, double node_spacing, int count,
                            int workers) {
    n_ = 0;
    const std::size_t size = std::size_t(count) * n;
    if (!usable_.allocate(std::size_t(count)) || !reach_.allocate(std::size_t(count)) ||
        !below_.allocate(std::size_t(count)) || !difference_.allocate(size) ||
        !difference_held_.allocate(size) || !strike_.allocate(size) ||
        !strike_held_.allocate(size) || !continued_difference_.allocate(size) ||
        !continued_strike_.allocate(size)) {
        release();
        return false;
    }
    // The distances on the threads, each with its own integral vectors.
    workers = std::max(1, workers);
    std::vector<RatioRule> rules(static_cast<std::size_t>(workers), RatioRule(n));
    sys::run_in_parallel(count, workers, [&](int worker, int item) {
        const int d = item + 1;
        RatioRule& rule = rules[std::size_t(worker)];
        rule.weigh(k, n, d, s, node_spacing);
        usable_[std::size_t(d - 1)] = rule.usable;
        below_[std::size_t(d - 1)] = held_below(k, d, s);
        const std::size_t at = std::size_t(d - 1) * n;
        std::copy(rule.difference.begin(), rule.difference.end(), difference_.get() + at);
        std::copy(rule.difference_held.begin(), rule.difference_held.end(),
                  difference_held_.get() + at);
        std::copy(rule.strike.begin(), rule.strike.end(), strike_.get() + at);
        std::copy(rule.strike_held.begin(), rule.strike_held.end(), strike_held_.get() + at);
        // The continuation's weights: every sample within the kernels' reach.
        int reach = rule.usable;
        while (reach < n && k[reach] * d <= kernel_reach)
            ++reach;
        reach_[std::size_t(d - 1)] = reach;
        if (reach == rule.usable) return;
        rule.weigh(k, n, d, s, 0.0);
        std::copy(rule.difference.begin(), rule.difference.end(), continued_difference_.get() + at);
        std::copy(rule.strike.begin(), rule.strike.end(), continued_strike_.get() + at);
    });
    n_ = n;
    count_ = count;
    s_ = s;
    node_spacing_ = node_spacing;
    k_.assign(k, k + n);
    return true;
}

void StrikeWeights::release() {
    n_ = 0;
    count_ = 0;
    k_.clear();
    usable_.release();
    difference_.release();
    difference_held_.release();
    strike_.release();
    strike_held_.release();
    continued_difference_.release();
    continued_strike_.release();
    reach_.release();
    below_.release();
}

bool StrikeWeights::fits(const double* k, int n, double s, double node_spacing, int count) const {
    return n_ > 0 && n == n_ && count == count_ && s == s_ && node_spacing == node_spacing_ &&
           std::equal(k, k + n, k_.begin());
}

double StrikeWeights::sum(const double* weights, const double* held, const double* v, int last,
                          int d) const {
    const std::size_t at = std::size_t(d - 1) * n_;
    return ratio_sum(weights + at, held + at, usable_[std::size_t(d - 1)], v, last);
}

// The pair's ratio beyond the last usable wavenumber k_c: limit + excess K0(k r) / K0(k d),
// excess = (g_c - limit) K0(k_c d) / K0(k_c r); without an image (r infinite) the limit alone.
struct StrikeWeights::Continuation {
    double limit = 0.0, excess = 0.0, r = HUGE_VAL;
    // The potential the continuation gives at wavenumber k.
    double value(double k, double d) const {
        return limit * bessel_k0(k * d) + (std::isfinite(r) ? excess * bessel_k0(k * r) : 0.0);
    }
};

bool StrikeWeights::continuation(const double* v, int last, int d, double limit,
                                 Continuation& c) const {
    const int usable = usable_[std::size_t(d - 1)], reach = reach_[std::size_t(d - 1)];
    if (!std::isfinite(limit) || last < usable || usable < 2 || reach == usable) return false;
    const double kc = k_[std::size_t(usable - 1)], kp = k_[std::size_t(usable - 2)];
    const double kernel_c = bessel_k0(kc * d);
    const double excess_c = v[usable - 1] / kernel_c - limit;
    const double q = (v[usable - 2] / bessel_k0(kp * d) - limit) / excess_c;
    if (!(q > 1.0) || !std::isfinite(q)) return false;
    c.limit = limit;
    c.r = image_distance(kp, kc, d, q);
    if (std::isfinite(c.r)) c.excess = excess_c * kernel_c / bessel_k0(kc * c.r);
    return true;
}

double StrikeWeights::integral(const double* weights, const double* held, const double* continued,
                               const double* v, int last, int d, double limit, bool cosine) const {
    const int usable = usable_[std::size_t(d - 1)], reach = reach_[std::size_t(d - 1)];
    // The tail only where the first two samples fall as a point source's potential does (the
    // imaginary parts of a complex run need not): elsewhere the first ratio stays held.
    const bool falls = last >= 2 && v[0] > v[1] && v[1] > 0.0;
    const double below =
        cosine && falls ? below_first(k_.data(), v, last, s_, below_[std::size_t(d - 1)]) : 0.0;
    Continuation c;
    if (!continuation(v, last, d, limit, c)) return sum(weights, held, v, last, d) + below;
    const std::size_t at = std::size_t(d - 1) * n_;
    double total = 0.0;
    for (int i = 0; i < reach; ++i)
        total += continued[at + i] * (i < usable ? v[i] : c.value(k_[std::size_t(i)], d));
    return inv_pi * total + below;
}

double pair_limit(double rho_a, double rho_b) {
    if (!(rho_a > 0.0 && rho_b > 0.0) || !std::isfinite(rho_a) || !std::isfinite(rho_b))
        return StrikeWeights::no_limit;
    return inv_pi * 2.0 * rho_a * rho_b / (rho_a + rho_b);
}

std::complex<double> pair_limit(std::complex<double> rho_a, std::complex<double> rho_b) {
    const bool finite = std::isfinite(rho_a.real()) && std::isfinite(rho_a.imag()) &&
                        std::isfinite(rho_b.real()) && std::isfinite(rho_b.imag());
    if (!finite || !(rho_a.real() > 0.0 && rho_b.real() > 0.0))
        return {StrikeWeights::no_limit, StrikeWeights::no_limit};
    return inv_pi * 2.0 * rho_a * rho_b / (rho_a + rho_b);
}

} // namespace fd

namespace {

// The point transform in the arithmetic type T; R, K and Y are the storage types of the radii
// and values, the wavenumbers and the strike distances.
template <class T, bool significant_only, class R, class K, class Y>
int point_transform(const R* r, const R* values, Y* y, int count, int n, const K* k, int ld) {
    sys::PageArray<T> kw(n), v(n);
    if (!kw.ok() || !v.ok()) return 1;
    for (int i = 0; i < n; ++i)
        kw[i] = static_cast<T>(k[i]);
    for (int j = 1; j <= count; ++j) {
        double strike = std::fabs(static_cast<double>(y[j - 1]));
        if (strike <= 0.02) strike = 0.0;
        y[j - 1] = Y(0);
        for (int i = 1; i <= n; ++i)
            v[i - 1] = static_cast<T>(values[index2d(j, i, ld)]);
        int last = n;
        if constexpr (significant_only) last = count_significant_flt(n, v.get());
        if (last < 1) continue;
        const int nb = log_linear_count(kw.get(), last, static_cast<double>(r[j - 1]));
        const T s = static_cast<T>(strike);
        const Integrals<T> sum = piecewise_integrals(tail_of(kw.get(), v.get(), last, s), kw.get(),
                                                     v.get(), nb > 0 ? nb : 1, last, s);
        const T scale = significant_only ? T(inv_pi_flt) : T(inv_pi);
        y[j - 1] = static_cast<Y>(scale * (strike == 0.0 ? sum.plain : sum.cosine));
    }
    return 0;
}

} // namespace

namespace fd {

TailIntegrals low_wavenumber_tail(double k1, double k2, double v1, double v2, double s) {
    const bool weighted = s != 0.0;
    const double rectangle_cosine = weighted ? v1 * std::sin(k1 * s) / s : k1 * v1;
    const TailIntegrals rectangle{k1 * v1, rectangle_cosine};
    if (!(k1 > 0.0 && k2 > k1 && v2 > 0.0 && v1 > v2) || !std::isfinite(k2) || !std::isfinite(v1))
        return rectangle;
    const double ratio = k2 / k1, q = v1 / v2;
    const double b = (v1 - v2) / std::log(ratio);
    if (!(b > 0.0) || !std::isfinite(b) || !std::isfinite(q)) return rectangle;

    // The logarithmic rise, plain and weighted with cos(k s) (its integral by parts is Si).
    const double log_plain = k1 * (v1 + b);
    const double log_cosine =
        weighted ? (v1 * std::sin(k1 * s) + b * sine_integral(k1 * s)) / s : log_plain;
    const double x = fitted_argument(q, ratio);
    if (x == 0.0) return {log_plain, log_cosine};

    // A K0(k r) with A K0(x) = v1 exceeds the rise by D = (A - b) ln(k1/k) + E, with
    // E(k1 t) = A (K0(x t) - K0(x) + ln t) smooth and small. D cos(k s) integrates as D less
    // D (1 - cos(k s)): the logarithmic part in closed form, E's part (nearly nothing while
    // k1 s is small) by eight-point Gauss-Legendre on [0, k1].
    const BesselK fit = bessel_k(x);
    const double plain = k1 * v1 * fit.integral / (x * fit.k0);
    if (!std::isfinite(plain)) return {log_plain, log_cosine};
    if (!weighted) return {plain, plain};
    const double a = v1 / fit.k0;
    const double rest = a * k1 * smooth_rest_weighted(x, fit.k0, k1 * s);
    const double cosine =
        log_cosine + (plain - log_plain) - (a - b) * (k1 - sine_integral(k1 * s) / s) - rest;
    if (!std::isfinite(cosine)) return {log_plain, log_cosine};
    return {plain, cosine};
}

void below_first_kernel(double k1, double d, double s, double& plain, double& difference) {
    // The plain integral in closed form (K0 rises like -ln k at 0), the difference (like
    // k^2 ln k) in steps graded by 8 towards 0.
    plain = bessel_k(k1 * d).integral / d;
    double p[4] = {}, q[4] = {}, low = 0.0;
    for (double fraction : {1.0 / 512, 1.0 / 64, 1.0 / 8, 1.0}) {
        add_kernel_piece(low, k1 * fraction, k1, k1, d, s, p, q);
        low = k1 * fraction;
    }
    difference = q[0];
}

void strike_kernel_integrals(const double* k, int n, double d, double s, double* plain,
                             double* difference) {
    std::fill(plain, plain + n, 0.0);
    std::fill(difference, difference + n, 0.0);
    if (n < 1) return;
    double p[4] = {}, q[4] = {};
    below_first_kernel(k[0], d, s, plain[0], difference[0]);
    // Between the samples: each spline's values at the ends and its curvatures.
    std::vector<double> u(static_cast<std::size_t>(n)), second;
    for (int i = 0; i < n; ++i)
        u[std::size_t(i)] = std::log(k[i]);
    natural_spline_curvatures(u, second);
    for (int i = 0; i + 1 < n; ++i) {
        std::fill(p, p + 4, 0.0);
        std::fill(q, q + 4, 0.0);
        add_kernel_piece(k[i], k[i + 1], k[i], k[i + 1], d, s, p, q);
        plain[i] += p[0];
        plain[i + 1] += p[1];
        difference[i] += q[0];
        difference[i + 1] += q[1];
        for (int j = 0; j < n; ++j) {
            const double* m = second.data() + std::size_t(j) * n;
            plain[j] += m[i] * p[2] + m[i + 1] * p[3];
            difference[j] += m[i] * q[2] + m[i + 1] * q[3];
        }
    }
    std::fill(p, p + 4, 0.0);
    std::fill(q, q + 4, 0.0);
    add_kernel_piece(k[n - 1], kernel_reach / d, k[n - 1], k[n - 1], d, s, p, q);
    plain[n - 1] += p[0];
    difference[n - 1] += q[0];
}

void wavenumber_spline_weights(const double* k, int n, double* weights) {
    std::fill(weights, weights + std::max(n, 0), 0.0);
    if (n < 1) return;
    weights[0] = k[0];
    if (n < 2) return;
    std::vector<double> u(static_cast<std::size_t>(n)), second;
    for (int i = 0; i < n; ++i)
        u[std::size_t(i)] = std::log(k[i]);
    natural_spline_curvatures(u, second);
    // The cubic of interval i integrates to h (y_i + y_i+1) / 2 - h^3 (M_i + M_i+1) / 24; the
    // knot values are k_j v_j, so the weight of v_j is k_j times the integral of its cardinal.
    for (int j = 0; j < n; ++j) {
        const double* m = second.data() + std::size_t(j) * n;
        double w = 0.0;
        for (int i = 0; i + 1 < n; ++i) {
            const double h = u[std::size_t(i + 1)] - u[std::size_t(i)];
            const double ends = (i == j ? 1.0 : 0.0) + (i + 1 == j ? 1.0 : 0.0);
            w += 0.5 * h * ends - h * h * h * (m[i] + m[i + 1]) / 24.0;
        }
        weights[j] += k[j] * w;
    }
}

double potential_integral(const double* k, const double* v, int n, int m) {
    return n > 0 ? section_plane_integral(tail_of(k, v, n, 0.0), k, v, n, m) : 0.0;
}
double potential_integral(const float* k, const float* v, int n, int m) {
    return n > 0 ? section_plane_integral(tail_of(k, v, n, 0.0f), k, v, n, m) : 0.0;
}

} // namespace fd

namespace {

// The pair transforms of fourier_transform_grid and inverse_fourier_pair_potentials_dbl (n >= 1
// samples a pair at index2d(p, i, ld) of `values`, strike offset s, the electrodes' ground
// `resistivity` or null); with `positive` a pair whose first sample is negative is negated first
// (the limit at large wavenumbers is that of the positive potential). 1 when the work vectors
// cannot be had.
int transform_pairs(int lead, double s, int order, const double* values, double* pot,
                    double* offset_pot, int N, int n, const double* k, int m, int ld,
                    int array_type, double node_spacing, bool positive,
                    const fd::StrikeWeights* prepared, const double* resistivity) {
    const int workers = std::max(1, sys::pool_threads());
    fd::StrikeWeights own;
    if (!prepared || !prepared->fits(k, n, s, node_spacing, N - 1)) {
        if (!own.prepare(k, n, s, node_spacing, N - 1, workers)) return 1;
        prepared = &own;
    }
    const fd::StrikeWeights& strike = *prepared;
    const bool offset_array = array_type == offset_pole_dipole;
    std::vector<sys::PageArray<double>> v(static_cast<std::size_t>(workers));
    for (sys::PageArray<double>& w : v)
        if (!w.allocate(n)) return 1;
    // Pair p = number of (L, J) in the order of `order`: each pair's samples give its values
    // alone, so blocks of pairs run on any thread.
    for_each_pair_block(N, order, workers, [&](int worker, int L, int J, int p) {
        double* samples = v[std::size_t(worker)].get();
        for (int i = 1; i <= n; ++i)
            samples[i - 1] = values[index2d(p, i, ld)];
        const double limit = resistivity ? fd::pair_limit(resistivity[L - 1], resistivity[J - 1])
                                         : fd::StrikeWeights::no_limit;
        if (positive && samples[0] < 0.0)
            for (int i = 0; i < n; ++i)
                samples[i] = -samples[i];
        const int nsig = count_significant_dbl(n, samples);
        const fd::TailIntegrals tail = tail_of(k, samples, nsig, 0.0);
        store_pair(pot, lead, L, J, inv_pi * section_plane_integral(tail, k, samples, nsig, m));
        store_pair(offset_pot, lead, L, J,
                   offset_array ? strike.strike(samples, nsig, J - L, limit)
                                : strike.difference(samples, nsig, J - L, limit));
    });
    return 0;
}

} // namespace

int fourier_transform_grid(int lead, float s, int order, const double* values, double* pot,
                           double* offset_pot, int N, int n, const double* k, int m, int P,
                           int array_type, double node_spacing, const fd::StrikeWeights* strike,
                           const double* resistivity) {
    if (n < 1) return 0;
    return transform_pairs(lead, double(s), order, values, pot, offset_pot, N, n, k, m, P,
                           array_type, node_spacing, false, strike, resistivity);
}

int inverse_fourier_transform_dbl(const double* r, const double* values, double* y, int count,
                                  int n, const double* k, int ld) {
    if (n < 1) return 0;
    return point_transform<double, false>(r, values, y, count, n, k, ld);
}

int inverse_fourier_transform_flt(const float* r, const float* values, float* y, int count, int n,
                                  const double* k, int ld) {
    if (n < 1) return 0;
    return point_transform<float, false>(r, values, y, count, n, k, ld);
}

int inverse_fourier_pair_potentials_exp(const float* r, const float* values, double* y, int count,
                                        int n, const float* k, int ld) {
    if (n < 1) return 0;
    return point_transform<float, true>(r, values, y, count, n, k, ld);
}

int inverse_fourier_pair_potentials_dbl(float s, const double* values, double* pot,
                                        double* offset_pot, int N, int n, const double* k, int m,
                                        int ld, int lead, int array_type, double node_spacing,
                                        const double* resistivity) {
    if (n < 1) return 0;
    const double offset = s > 0.0f ? s : 1.0;
    return transform_pairs(lead, offset, 1, values, pot, offset_pot, N, n, k, m, ld, array_type,
                           node_spacing, true, nullptr, resistivity);
}

int inverse_fourier_pair_potentials(float s, const float* values, double* pot, double* offset_pot,
                                    int N, int n, const float* k, int m, int ld, int lead) {
    if (n < 1) return 0;
    sys::PageArray<float> v(n);
    if (!v.ok()) return 1;
    const float offset = s > 0.0f ? s : 1.0f;
    int p = 0;
    for_each_pair(N, 1, [&](int L, int J) {
        ++p;
        for (int i = 1; i <= n; ++i)
            v[i - 1] = values[index2d(p, i, ld)];
        const bool negated = v[0] < 0.0f;
        if (negated)
            for (int i = 0; i < n; ++i)
                v[i] = -v[i];
        const int nsig = count_significant_flt(n, v.get());
        const fd::TailIntegrals tail = tail_of(k, v.get(), nsig, offset);
        const float integral =
            inv_pi_flt * float(section_plane_integral(tail, k, v.get(), nsig, m));
        store_pair(pot, lead, L, J, negated ? -integral : integral);

        const float d = static_cast<float>(J - L);
        const int nb = log_linear_count(k, nsig, std::sqrt(d * d + offset * offset));
        const Integrals<float> sum =
            piecewise_integrals(tail, k, v.get(), nb > 0 ? nb : 1, nsig, offset);
        store_pair(offset_pot, lead, L, J, inv_pi_flt * (sum.plain - sum.cosine));
    });
    return 0;
}

int strike_point_potentials(const double* d, const double* s, const double* h, const double* values,
                            double* out, int count, int n, const double* k, int ld) {
    if (n < 1 || count < 1) return 0;
    const int workers = std::max(1, std::min(sys::pool_threads(), count));
    std::vector<RatioRule> rules(static_cast<std::size_t>(workers), RatioRule(n));
    std::vector<sys::PageArray<double>> v(static_cast<std::size_t>(workers));
    for (sys::PageArray<double>& w : v)
        if (!w.allocate(n)) return 1;
    sys::run_in_parallel(count, workers, [&](int worker, int j) {
        RatioRule& rule = rules[std::size_t(worker)];
        double* samples = v[std::size_t(worker)].get();
        const double sign = values[index2d(j + 1, 1, ld)] < 0.0 ? -1.0 : 1.0;
        for (int i = 1; i <= n; ++i)
            samples[i - 1] = sign * values[index2d(j + 1, i, ld)];
        const int significant = count_significant_dbl(n, samples);
        if (std::fabs(s[j]) <= in_plane) {
            out[j] = sign * inv_pi *
                     section_plane_integral(tail_of(k, samples, significant, 0.0), k, samples,
                                            significant, 4);
            return;
        }
        const double strike = std::fabs(s[j]);
        rule.weigh(k, n, d[j], strike, h[j], point_reach);
        double value = ratio_sum(rule.strike.data(), rule.strike_held.data(), rule.usable, samples,
                                 significant);
        if (significant >= 1) {
            // Below the first wavenumber the ratio rule holds the first ratio, which on a
            // layered earth is still on its way to the deep ground's: far along strike, where
            // nearly all of the integral lies below it, the potentials of a remote electrode
            // 400 spacings off read 10 to 30 % low over 10 ohm-m on 200 ohm-m (2.5 to 4.6 times
            // high the other way round). The continuation of the pairs' own integrals follows
            // the samples' fall instead.
            value += below_first(k, samples, significant, strike, held_below(k, d[j], strike));
        }
        out[j] = sign * value;
    });
    return 0;
}
