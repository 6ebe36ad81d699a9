// Log-spaced wavenumbers, significance counts and the exponentiated Akima-spline integral.
// The spline coefficients of an interval are formed from its neighbours when they are needed,
// so the integral keeps no work tables and takes any number of samples.
#include "fdsolve/spline.h"

#include <algorithm>
#include <cmath>

namespace {

// Akima coefficients of interval i (0-based, between points i and i+1) of the n points
// (x[j], v(j)). A zero-width interval borrows the secant slope of its nearest neighbour of
// non-zero width and gets c = d = 0.
template <class T, class V>
void akima_interval(int n, const T* x, const V& v, int i, T& t, T& c, T& d) {
    auto secant = [&](int j) -> T {
        for (int q = j; q >= 0; --q)
            if (x[q + 1] != x[q]) return (v(q + 1) - v(q)) / (x[q + 1] - x[q]);
        for (int q = j + 1; q <= n - 2; ++q)
            if (x[q + 1] != x[q]) return (v(q + 1) - v(q)) / (x[q + 1] - x[q]);
        return T(0);
    };
    // Secant slopes with two linearly extrapolated slopes beyond each end.
    auto slope = [&](int j) -> T {
        if (n == 2) return secant(0);
        if (j < 0) {
            const T m0 = secant(0), m1 = secant(1);
            const T before = T(2) * m0 - m1;
            return j == -1 ? before : T(2) * before - m0;
        }
        if (j > n - 2) {
            const T ml = secant(n - 2), mp = secant(n - 3);
            const T after = T(2) * ml - mp;
            return j == n - 1 ? after : T(2) * after - ml;
        }
        return secant(j);
    };
    const T m_2 = slope(i - 2), m_1 = slope(i - 1), m0 = slope(i), m1 = slope(i + 1),
            m2 = slope(i + 2);
    T w1 = std::fabs(m1 - m0), w2 = std::fabs(m_1 - m_2);
    if (w1 + w2 == T(0)) w1 = w2 = T(0.5);
    T w3 = std::fabs(m2 - m1), w4 = std::fabs(m0 - m_1);
    if (w3 + w4 == T(0)) w3 = w4 = T(0.5);
    const T left = (w1 * m_1 + w2 * m0) / (w1 + w2);
    const T right = (w3 * m0 + w4 * m1) / (w3 + w4);
    const T h = x[i + 1] - x[i];
    t = left;
    if (h == T(0)) {
        c = d = T(0);
        return;
    }
    c = (T(2) * (m0 - left) + m0 - right) / h;
    d = (left + right - T(2) * m0) / (h * h);
}

template <class T> int spline_coef(int n, const T* x, const T* y, T* t, T* c, T* d) {
    if (n < 2) return 1;
    auto value = [y](int j) { return y[j]; };
    for (int i = 0; i < n - 1; ++i)
        akima_interval(n, x, value, i, t[i], c[i], d[i]);
    return 0;
}

// Integral of exp(S) over [x0, x1], S = a + t*h + c*h^2 + d*h^3, on m sub-steps of equal
// ratio (equal width when x0 is not positive). The ends use the given samples y and their
// logarithms l. *last receives the term of the last sub-step, counted or not; a zero-width
// interval leaves it alone.
double exp_spline_interval(int m, double x0, double x1, double a, double t, double c, double d,
                           double y0, double y1, double l0, double l1, double* last) {
    if (!(x1 > x0)) return 0.0;
    if (m < 1) m = 1;
    const bool geometric = x0 > 0.0 && x1 > 0.0;
    const double ratio = geometric ? std::pow(x1 / x0, 1.0 / m) : 1.0;
    const double width = (x1 - x0) / m;
    double xp = x0, yp = y0, lp = l0, sum = 0.0;
    for (int k = 1; k <= m; ++k) {
        double xk = x1, yk = y1, lk = l1;
        if (k < m) {
            xk = geometric ? xp * ratio : x0 + k * width;
            const double h = xk - x0;
            lk = a + h * (t + h * (c + h * d));
            yk = std::exp(lk);
        }
        const double term = fd::exp_piece_integral(xk - xp, yp, yk, lp - lk);
        if (term > 0.0) sum += term;
        *last = term;
        xp = xk;
        yp = yk;
        lp = lk;
    }
    return sum;
}

// The decay rate ln(y0/y1)/(x1 - x0) of the exponential through two samples.
template <class T> double decay_rate(T x0, T x1, T y0, T y1) {
    return (std::log(static_cast<double>(y0)) - std::log(static_cast<double>(y1))) /
           (static_cast<double>(x1) - static_cast<double>(x0));
}

// Index of the last of the samples 0..j-1 that lies left of x[j]; -1 when none does.
template <class T> int previous_abscissa(const T* x, int j) {
    int p = j - 1;
    while (p >= 0 && !(x[p] < x[j]))
        --p;
    return p;
}

// y[n-1]/alpha, the integral beyond x[n-1] of the exponential through the last two samples of
// different abscissa; 0 when the samples do not decay there (the tail would not converge).
template <class T> double exp_tail(int n, const T* x, const T* y) {
    const int p = previous_abscissa(x, n - 1);
    if (p < 0) return 0.0;
    const double alpha = decay_rate(x[p], x[n - 1], y[p], y[n - 1]);
    if (!(alpha > 0.0) || !std::isfinite(alpha)) return 0.0;
    return y[n - 1] / alpha;
}

// A potential keeps decaying over wavenumber at least about as fast as over the interval
// before (its rate settles towards the distance from the source). A last sample that falls far
// more slowly than that is one the mesh no longer resolves (on 2 node columns a spacing the
// samples of k = 3.8 and 8 are noise), and the exponential end through it, y[n-1]/alpha, grows
// without bound as it nears the sample before: moving an electrode by 0.0005 spacings raised
// the potential of a pair 2 spacings apart by 15 % and of a pair 1 apart by 36 %. How far such
// an end stalls is S = R^2 X, R the ratio of the rate before to the last one and X the part of
// the integral owed to the slower rate (the end less the end that the rate before would give).
// The runs that are kept reach S = 5.1 (R = 7 with X = 8 %, 11 with 2 %, 28 with 0.7 %, 58 with
// 0.001 %; samples that the mesh resolves have R below 1.5). Beyond stall_limit the rule gives
// way, with the weight stall_limit / S, to the rule without that sample, where the significance
// count leaves a last sample that does not fall: what the stalled end then adds is at most
// stall_limit / R^2 of the integral, nothing in the limit, so the integral stays continuous as
// that sample nears the one before.
constexpr double stall_limit = 25.0;

struct StalledEnd {
    double weight; ///< of the whole rule; the rest goes to the rule on the first `kept` samples
    int kept;
};

// How far the decay of the last of n samples stalls against the interval before it, for the
// integral `whole` of the rule (weight 1: not at all, or one of the two does not decay, or
// there is no interval before).
template <class T> StalledEnd stalled_end(int n, const T* x, const T* y, double whole) {
    const StalledEnd kept{1.0, n};
    const int p = previous_abscissa(x, n - 1);
    const int q = p > 0 ? previous_abscissa(x, p) : -1;
    if (q < 0) return kept;
    const double last = decay_rate(x[p], x[n - 1], y[p], y[n - 1]);
    const double before = decay_rate(x[q], x[p], y[q], y[p]);
    if (!(last > 0.0) || !(before > last) || !std::isfinite(before)) return kept;
    if (!std::isfinite(whole)) return {0.0, p + 1};
    const double ratio = before / last;
    const double stall = ratio * ratio * y[n - 1] * (1.0 / last - 1.0 / before) / whole;
    if (!(stall > stall_limit)) return kept;
    return {stall_limit / stall, p + 1};
}

// The cubic of ln y on one interval and the logarithms at its ends.
template <class T> struct Cubic { T a, t, c, d, l0, l1; };

// The integral of exp(S) over x[0]..x[n-1] and its exponential end; cubic(n, i) gives the
// cubic of interval i of a spline through the first n samples.
template <class T, class Spline>
double spline_and_end(int m, int n, const T* x, const T* y, const Spline& cubic) {
    if (n < 2) return 0.0;
    double sum = 0.0, last = 0.0;
    for (int i = 0; i < n - 1; ++i) {
        const Cubic<T> s = cubic(n, i);
        sum += exp_spline_interval(m, x[i], x[i + 1], s.a, s.t, s.c, s.d, y[i], y[i + 1], s.l0,
                                   s.l1, &last);
    }
    if (!(1e-7 * sum < last)) return sum;
    const double whole = sum + exp_tail(n, x, y);
    const StalledEnd stall = stalled_end(n, x, y, whole);
    if (stall.weight == 1.0) return whole;
    const double without = spline_and_end(m, stall.kept, x, y, cubic);
    if (stall.weight == 0.0) return without;
    return stall.weight * whole + (1.0 - stall.weight) * without;
}

// The rule on given coefficients (those of the first intervals serve the rule without the last
// samples too).
template <class T>
double exp_spline_integral(int m, int n, const T* d, const T* c, const T* t, const T* a, const T* y,
                           const T* ly, const T* x) {
    return spline_and_end(
        m, n, x, y, [&](int, int i) { return Cubic<T>{a[i], t[i], c[i], d[i], ly[i], ly[i + 1]}; });
}

// The spline integral of the leading positive samples from x[0] on, with its exponential end;
// the spline is fitted to ln y in the precision T.
template <class T> double spline_above_first(const T* x, const T* y, int n, int m) {
    int positive = 0;
    while (positive < n && y[positive] > T(0))
        ++positive;
    if (positive < 2) return 0.0;
    auto log_value = [y](int j) { return static_cast<T>(std::log(y[j])); };
    return spline_and_end(m, positive, x, y, [&](int count, int i) {
        Cubic<T> s{log_value(i), T(0), T(0), T(0), log_value(i), log_value(i + 1)};
        akima_interval(count, x, log_value, i, s.t, s.c, s.d);
        return s;
    });
}

// The rectangle below x[0] plus the spline integral.
template <class T> double log_spline_integral(const T* x, const T* y, int n, int m) {
    if (n <= 0) return 0.0;
    const T rectangle = x[0] * y[0];
    return rectangle + spline_above_first(x, y, n, m);
}

template <class T> int count_significant(int n, const T* a, int start, double threshold) {
    if (n <= 0) return 0;
    int count = start;
    for (int j = start; j < n; ++j)
        if (a[j] > threshold && a[j] < a[j - 1]) ++count;
    if (count > n) count = n;
    if (a[count - 1] < threshold) --count;
    return count;
}

} // namespace

namespace fd {

void log_spaced(int n, double* v, double first, double last) {
    if (n <= 0) return;
    v[0] = first;
    v[n - 1] = last;
    if (n <= 2) return;
    const long double start = std::log(static_cast<long double>(first));
    const long double step = (std::log(static_cast<long double>(last)) - start) / (n - 1);
    long double exponent = start;
    for (int i = 1; i < n - 1; ++i) {
        exponent += step;
        v[i] = static_cast<double>(std::exp(exponent));
    }
}

double spline_integral_above_first(const double* x, const double* y, int n, int m) {
    return spline_above_first(x, y, n, m);
}
double spline_integral_above_first(const float* x, const float* y, int n, int m) {
    return spline_above_first(x, y, n, m);
}

} // namespace fd

void log_spaced_values_dbl(int n, double* v, float first, float last) {
    fd::log_spaced(n, v, first, last);
}

int count_significant_dbl(int n, const double* a) {
    return count_significant(n, a, 3, 1e-100);
}
int count_significant_flt(int n, const float* a) {
    return count_significant(n, a, 2, 1e-45);
}

int spline_coef_dbl(int n, const double* x, const double* y, double* t, double* c, double* d) {
    return spline_coef(n, x, y, t, c, d);
}
int spline_coef_flt(int n, const float* x, const float* y, float* t, float* c, float* d) {
    return spline_coef(n, x, y, t, c, d);
}

double exp_spline_integral_dbl(int m, int n, const double* d, const double* c, const double* t,
                               const double* a, const double* y, const double* ly,
                               const double* x) {
    return exp_spline_integral(m, n, d, c, t, a, y, ly, x);
}
double exp_spline_integral_flt(int m, int n, const float* d, const float* c, const float* t,
                               const float* a, const float* y, const float* ly, const float* x) {
    return exp_spline_integral(m, n, d, c, t, a, y, ly, x);
}

double log_spline_integral_dbl(const double* x, const double* y, int n, int m) {
    return log_spline_integral(x, y, n, m);
}
float log_spline_integral_flt(const float* x, const float* y, int n, int m) {
    return static_cast<float>(log_spline_integral(x, y, n, m));
}

double exp_segment_integral_dbl(const double* x, const double* y, int n) {
    if (n <= 0) return 0.0;
    double sum = x[0] * y[0];
    for (int i = 0; i + 1 < n; ++i) {
        const double fall = std::log(y[i]) - std::log(y[i + 1]);
        const double h = x[i + 1] - x[i];
        sum += fall > 1e-11 ? (y[i] - y[i + 1]) * h / fall : 0.5 * (y[i] + y[i + 1]) * h;
    }
    return sum;
}
