// Inverse Fourier transforms of pair and point potentials: one piecewise model of V(k) with
// closed-form plain and cosine-weighted integrals, shared by every table and point routine.
#include "fdsolve/transform.h"

#include "fdsolve/sici.h"
#include "fdsolve/spline.h"
#include "matrix/pagearray.h"
#include "model/utilities.h"

#include <cmath>

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

template <class T> struct Integrals {
    T plain;  ///< integral of V from 0 to the last sample
    T cosine; ///< integral of V(k) cos(k s) over the same range
};

// The two integrals of the piecewise model of v[0..last-1] over k[0..last-1]: intervals
// 0..nb-2 linear in ln k, intervals nb-1..last-2 exponential. An exponential interval counts
// only when both samples are positive and, with `falling_only`, the second is the smaller.
// Below k_1 V is taken as V_1 in both integrals (a rise with a fixed coefficient would not
// scale with the potential), and s = 0 takes the limit of the cosine-weighted integral.
template <class T>
Integrals<T> piecewise_integrals(const T* k, const T* v, int nb, int last, T s, bool falling_only) {
    Integrals<T> sum{k[0] * v[0], T(0)};
    const bool weighted = s != T(0);
    if (weighted) sum.cosine = v[0] * std::sin(s * k[0]) / s;
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
        if (falling_only && !(v[i] > v[i + 1])) continue;
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

void store_pair(double* table, int lead, int L, int J, double value) {
    table[index2d(L, J, lead)] = value;
    table[index2d(J, L, lead)] = value;
}

// The point transform in the arithmetic type T; R, K and Y are the storage types of the radii
// and values, the wavenumbers and the strike distances.
template <class T, bool significant_only, class R, class K, class Y>
int point_transform(const R* r, const R* values, Y* y, int count, int n, const K* k, int ld) {
    mx::PageArray<T> kw(n), v(n);
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
        const Integrals<T> sum = piecewise_integrals(kw.get(), v.get(), nb > 0 ? nb : 1, last,
                                                     static_cast<T>(strike), false);
        const T scale = significant_only ? T(inv_pi_flt) : T(inv_pi);
        y[j - 1] = static_cast<Y>(scale * (strike == 0.0 ? sum.plain : sum.cosine));
    }
    return 0;
}

} // namespace

int fourier_transform_grid(int lead, float s, int order, const double* values, double* pot,
                           double* offset_pot, int N, int n, const double* k, int m, int P,
                           int array_type) {
    if (n < 1) return 0;
    mx::PageArray<double> v(n);
    if (!v.ok()) return 1;
    const bool offset_array = array_type == offset_pole_dipole;
    int p = 0;
    for_each_pair(N, order, [&](int L, int J) {
        ++p;
        for (int i = 1; i <= n; ++i)
            v[i - 1] = values[index2d(p, i, P)];
        const int nsig = count_significant_dbl(n, v.get());
        store_pair(pot, lead, L, J, inv_pi * log_spline_integral_dbl(k, v.get(), nsig, m));

        const double d = J - L;
        int nb = log_linear_count(k, nsig, std::sqrt(d * d + double(s) * double(s)));
        if (nb < 2) nb = 2;
        if (offset_array) nb = 4;
        if (nb > n) nb = n;
        const Integrals<double> sum = piecewise_integrals(k, v.get(), nb, nsig, double(s), true);
        store_pair(offset_pot, lead, L, J,
                   offset_array ? inv_pi * sum.cosine : inv_pi * (sum.plain - sum.cosine));
    });
    return 0;
}

int inverse_fourier_transform_dbl(const double* r, const double* values, double* y, int count,
                                  int n, const double* k, int unused, int ld) {
    if (n < 1) return 0;
    return point_transform<double, false>(r, values, y, count, n, k, ld);
}

int inverse_fourier_transform_flt(const float* r, const float* values, float* y, int count, int n,
                                  const double* k, int unused, int ld) {
    if (n < 1) return 0;
    return point_transform<float, false>(r, values, y, count, n, k, ld);
}

int inverse_fourier_pair_potentials_exp(const float* r, const float* values, double* y, int count,
                                        int n, const float* k, int unused, int ld) {
    if (n < 1) return 0;
    return point_transform<float, true>(r, values, y, count, n, k, ld);
}

int inverse_fourier_pair_potentials_dbl(float s, const double* values, double* pot,
                                        double* offset_pot, int N, int n, const double* k, int m,
                                        int ld, int lead, int array_type) {
    if (n < 1) return 0;
    mx::PageArray<double> v(n);
    if (!v.ok()) return 1;
    const double offset = s > 0.0f ? s : 1.0;
    const bool offset_array = array_type == offset_pole_dipole;
    int p = 0;
    for_each_pair(N, 1, [&](int L, int J) {
        ++p;
        for (int i = 1; i <= n; ++i)
            v[i - 1] = values[index2d(p, i, ld)];
        if (v[0] < 0.0)
            for (int i = 0; i < n; ++i)
                v[i] = -v[i];
        const int nsig = count_significant_dbl(n, v.get());
        store_pair(pot, lead, L, J, inv_pi * log_spline_integral_dbl(k, v.get(), nsig, m));

        const double d = J - L;
        int nb = log_linear_count(k, nsig, std::sqrt(d * d + offset * offset));
        if (nb < 2) nb = 2;
        if (offset_array) nb = 4;
        if (nb > n) nb = n;
        const Integrals<double> sum = piecewise_integrals(k, v.get(), nb, nsig, offset, true);
        store_pair(offset_pot, lead, L, J,
                   offset_array ? inv_pi * sum.cosine : inv_pi * (sum.plain - sum.cosine));
    });
    return 0;
}

int inverse_fourier_pair_potentials(float s, const float* values, double* pot, double* offset_pot,
                                    int N, int n, const float* k, int m, int ld, int lead) {
    if (n < 1) return 0;
    mx::PageArray<float> v(n);
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
        const float integral = inv_pi_flt * log_spline_integral_flt(k, v.get(), nsig, m);
        store_pair(pot, lead, L, J, negated ? -integral : integral);

        const float d = static_cast<float>(J - L);
        const int nb = log_linear_count(k, nsig, std::sqrt(d * d + offset * offset));
        const Integrals<float> sum =
            piecewise_integrals(k, v.get(), nb > 0 ? nb : 1, nsig, offset, false);
        store_pair(offset_pot, lead, L, J, inv_pi_flt * (sum.plain - sum.cosine));
    });
    return 0;
}
