// The pair and remote-electrode transforms of the complex solvers.
#include "ipsolve/transform_cmplx.h"

#include "fdsolve/sici.h"
#include "fdsolve/spline.h"
#include "fesolve/solver_common.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"
#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

using sys::PageArray;

constexpr float one_over_pi = 0.3183099f;

// The three kinds of interval of the transforms, evaluated in double precision (the closed forms
// lose their digits to cancellation in single precision at small offsets), over wavenumbers
// k[0..n-1] and values v (one receiver or pair): `plain` the integral of V, `cosine` that of V
// cos(k x) (x > 0). Wavenumbers with index below `logarithmic` (at least 1) end logarithmic
// intervals.
struct Intervals {
    const float* k;
    const float* v;
    int n;
    int logarithmic;

    // First interval [0, k1], V = V1 - ln(k/k1).
    double first_plain() const { return k[0] * v[0]; }
    double first_cosine(double x) const {
        return (v[0] * std::sin(k[0] * x) + sine_cosine_integrals_dbl(k[0] * x, &ci_)) / x;
    }
    // Logarithmic interval j (1-based, 2..logarithmic): V = V(j-1) + B ln(k/k(j-1)).
    double slope(int j) const { return (v[j - 1] - v[j - 2]) / std::log(k[j - 1] / k[j - 2]); }
    double log_plain(int j) const {
        // B k(j) (V(j-1)/B + L - 1) - B k(j-1) (V(j-1)/B - 1), without the division by B.
        const double dk = k[j - 1] - k[j - 2], l = std::log(k[j - 1] / k[j - 2]);
        return v[j - 2] * dk + slope(j) * (k[j - 1] * (l - 1.0) + k[j - 2]);
    }
    double log_cosine(int j, double x) const {
        const double a = k[j - 2] * x, b = k[j - 1] * x;
        return (v[j - 1] * std::sin(b) - v[j - 2] * std::sin(a)) / x -
               (slope(j) / x) *
                   (sine_cosine_integrals_dbl(b, &ci_) - sine_cosine_integrals_dbl(a, &ci_));
    }
    // Exponential interval j: only where both ends are positive.
    bool exponential(int j) const { return v[j - 1] > 0.0 && v[j - 2] / v[j - 1] > 0.0; }
    double alpha(int j) const { return std::log(v[j - 2] / v[j - 1]) / (k[j - 1] - k[j - 2]); }
    double exp_plain(int j) const {
        return fd::exp_piece_integral<double>(k[j - 1] - k[j - 2], v[j - 2], v[j - 1],
                                              std::log(v[j - 2] / v[j - 1]));
    }
    double exp_cosine(int j, double x) const {
        // V(j-1) exp(-alpha (k - k(j-1))) cos(k x), with the exponentials at the ends folded
        // into the end values so that nothing overflows.
        const double al = alpha(j), a = k[j - 2] * x, b = k[j - 1] * x;
        const double q = al * al + x * x;
        return v[j - 1] * (x * std::sin(b) - al * std::cos(b)) / q -
               v[j - 2] * (x * std::sin(a) - al * std::cos(a)) / q;
    }

    double plain() const {
        double p = first_plain();
        for (int j = 2; j <= logarithmic; ++j)
            p += log_plain(j);
        for (int j = std::max(logarithmic, 1) + 1; j <= n; ++j)
            if (exponential(j)) p += exp_plain(j);
        return p;
    }
    double cosine(double x) const {
        double c = first_cosine(x);
        for (int j = 2; j <= logarithmic; ++j)
            c += log_cosine(j, x);
        for (int j = std::max(logarithmic, 1) + 1; j <= n; ++j)
            if (exponential(j)) c += exp_cosine(j, x);
        return c;
    }

    mutable double ci_ = 0.0;
};

// Wavenumbers below which k r < 0.5, among the first `limit`.
int logarithmic_count(float r, const float* k, int limit) {
    int count = 0;
    for (int w = 0; w < limit; ++w)
        if (r * k[w] < 0.5f) ++count;
    return count;
}

} // namespace

namespace ip {

float inverse_fourier_transform_flt(int type, int n, int& count, float r, const float* k,
                                    const float* f) {
    if (count < 1) count = 1;
    if (type == 1) return trapezoid_integral_flt(k, f, n) - cosine_transform_linear_flt(r, k, f, n);
    const Intervals in{k, f, n, std::min(count, n)};
    return float(in.plain() - in.cosine(r));
}

} // namespace ip

float trapezoid_integral_flt(const float* k, const float* f, int n) {
    if (n < 1) return 0.0f;
    float sum = k[0] * f[0];
    for (int w = 1; w < n; ++w)
        sum += 0.5f * (f[w] + f[w - 1]) * (k[w] - k[w - 1]);
    return sum;
}

float cosine_transform_linear_flt(float r, const float* k, const float* f, int n) {
    if (n < 1) return 0.0f;
    if (!(r > 0.0f)) return trapezoid_integral_flt(k, f, n); // cos(k r) = 1
    const double x = r;
    double sum = f[0] * std::sin(x * k[0]) / x;
    for (int w = 1; w < n; ++w) {
        const double k0 = k[w - 1], k1 = k[w], dk = k1 - k0;
        if (!(dk > 0.0)) continue;
        const double q = (double(f[w]) - f[w - 1]) / dk;
        const double p = (double(f[w - 1]) * k1 - double(f[w]) * k0) / dk;
        const double s1 = std::sin(x * k1), s0 = std::sin(x * k0);
        // (cos(x k1) - cos(x k0)) / x² as -2 sin(x (k1 + k0) / 2) sin(x dk / 2) / x².
        const double dc = -2.0 * std::sin(0.5 * x * (k1 + k0)) * std::sin(0.5 * x * dk);
        sum += p * (s1 - s0) / x + q * ((k1 * s1 - k0 * s0) / x + dc / (x * x));
    }
    return float(sum);
}

namespace {

// Ratio of an accurate integral to a simple one; 1 when the simple one is 0 (or either is not
// a number), so that the imaginary part keeps its simple integral.
float correction(float accurate, float simple) {
    const float ratio = accurate / simple;
    return std::isfinite(ratio) ? ratio : 1.0f;
}

// Negates v in place when its first value is negative; returns the sign to put back.
float make_leading_positive(float* v, int n) {
    if (!(v[0] < 0.0f)) return 1.0f;
    for (int w = 0; w < n; ++w)
        v[w] = -v[w];
    return -1.0f;
}

} // namespace

int sortfemcmplx(int type, float y, const float* re, const float* im, double* t_re, double* t_im,
                 double* s_re, double* s_im, int np, int nw, const float* k, int points, int npairs,
                 int lead) {
    model::trace("sortfemcmplx type_int_cmplx %d iss %d lwno %d np %d ivk %d\n", type, np, nw,
                 points, npairs);
    // The sources' pairs on the solver threads, each with its own values of a pair.
    const int workers = std::max(1, std::min(sys::pool_threads(), np - 1));
    PageArray<float> wavenumbers(nw), values(std::size_t(nw) * workers);
    if (!wavenumbers.ok() || !values.ok()) return 1;
    std::copy(k, k + nw, wavenumbers.get());
    const float* kk = wavenumbers.get();
    if (!(y > 0.0f)) y = 1.0f;
    sys::run_in_parallel(np - 1, workers, [&](int worker, int item) {
        float* v = values.get() + std::size_t(worker) * nw;
        const int i = item + 1;
        for (int j = i + 1; j <= np; ++j) {
            const long long pair = fe::pair_position(np, i, j);
            const float d = float(i - j), r = std::sqrt(d * d + y * y);
            for (int w = 0; w < nw; ++w)
                v[w] = re[pair + (long long)w * npairs];
            const float s = make_leading_positive(v, nw);
            const int ns = count_significant_flt(nw, v);
            int c = std::max(1, logarithmic_count(r, kk, ns));
            const float tr = s * log_spline_integral_flt(kk, v, ns, points) * one_over_pi;
            const float sr =
                s * ip::inverse_fourier_transform_flt(0, nw, c, y, kk, v) * one_over_pi;
            float ratio_t = 1.0f, ratio_s = 1.0f;
            if (type == 1) {
                ratio_t = correction(tr, s * trapezoid_integral_flt(kk, v, nw) * one_over_pi);
                int c1 = c;
                ratio_s = correction(
                    sr, s * ip::inverse_fourier_transform_flt(1, nw, c1, y, kk, v) * one_over_pi);
            }

            for (int w = 0; w < nw; ++w)
                v[w] = im[pair + (long long)w * npairs];
            const float s2 = make_leading_positive(v, nw);
            int m = 0;
            while (m < nw && nw > 1 && std::fabs(v[m] / v[1]) > 1e-10f && v[m] > 0.0f)
                ++m;
            int c2 = std::max(1, logarithmic_count(r, kk, m));
            const float vt = type == 0 ? log_spline_integral_flt(kk, v, m, points)
                                       : trapezoid_integral_flt(kk, v, nw);
            const float ti = s2 * vt * one_over_pi * ratio_t;
            const float si = s2 * ip::inverse_fourier_transform_flt(type, nw, c2, y, kk, v) *
                             one_over_pi * ratio_s;

            const int ij = index2d(i, j, lead), ji = index2d(j, i, lead);
            t_re[ij] = t_re[ji] = tr;
            t_im[ij] = t_im[ji] = ti;
            s_re[ij] = s_re[ji] = sr;
            s_im[ij] = s_im[ji] = si;
        }
    });
    model::trace("End sortfemcmplx\n");
    return 0;
}

int inverse_fourier_transform_cmplx_flt(int mode, const float* distance, const float* re,
                                        const float* im, double* x, double* result_2,
                                        double* result_3, int receivers, int nw, const float* k,
                                        int stride) {
    PageArray<float> wavenumbers(nw), values(nw);
    if (!wavenumbers.ok() || !values.ok()) return 1;
    std::copy(k, k + nw, wavenumbers.get());
    const float* kk = wavenumbers.get();
    float* v = values.get();
    for (int i = 0; i < receivers; ++i) {
        float offset = std::fabs(float(x[i]));
        if (offset <= 0.02f) offset = 0.0f;
        const int s = logarithmic_count(distance[i], kk, nw);
        auto transform = [&](const float* table) {
            for (int w = 0; w < nw; ++w)
                v[w] = table[i + (std::size_t)w * stride];
            const Intervals in{kk, v, nw, s};
            return float(one_over_pi * (offset > 0.0f ? in.cosine(offset) : in.plain()));
        };
        auto difference = [&](const float* table) {
            for (int w = 0; w < nw; ++w)
                v[w] = table[i + (std::size_t)w * stride];
            int count = s;
            return one_over_pi * ip::inverse_fourier_transform_flt(1, nw, count, offset, kk, v);
        };
        x[i] = transform(re);
        if (mode == 0) {
            result_2[i] = x[i];
            result_3[i] = transform(im);
        } else {
            result_2[i] = difference(re);
            result_3[i] = difference(im);
        }
    }
    return 0;
}
