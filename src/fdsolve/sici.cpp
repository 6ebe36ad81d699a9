// Sine and cosine integrals by Chebyshev series; one template body serves both precisions.
#include "fdsolve/sici.h"

#include <cmath>
#include <cstddef>

namespace {

// Si(x) = t * sum a_k T_k(2t^2 - 1), t = x/4, for |x| <= 4.
constexpr double si_table[11] = {2.73687068,     -1.11063141,      0.141765622,    -0.0102526526,
                                 0.000464946156, -1.43617309e-05,  3.20936849e-07, -5.42519908e-09,
                                 7.17762886e-11, -7.633549372e-13, 6.66799583e-15};
// Ci(x) = ln|x| + gamma - t^2 * sum b_k T_k(2t^2 - 1) for |x| <= 4.
constexpr double ci_table[11] = {2.96596104,     -0.942971983,    0.0861103427,   -0.00477760845,
                                 0.000175291612, -4.54487278e-06, 8.75158392e-08, -1.29986999e-09,
                                 1.53389749e-11, -1.47242561e-13, 1.1721421e-15};
// f(x) = sum f_k T_k(8/|x| - 1) / x for |x| > 4.
constexpr double f_table[23] = {0.96578828,      -0.0430608378,   -0.00731437117,  0.00147052358,
                                -9.86576857e-05, -2.27432022e-05, 9.82402573e-06,  -1.89734301e-06,
                                1.00634359e-07,  8.08193648e-08,  -3.89762829e-08, 1.03356503e-08,
                                -1.41043449e-09, -2.52320784e-10, 2.56998313e-10,  -1.05978893e-10,
                                2.89700316e-11,  -4.10231426e-12, -1.04376937e-12, 1.09941845e-12,
                                -5.22142394e-13, 1.74699208e-13,  -3.8470013e-14};
// g(x) = 4 * sum g_k T_k(8/|x| - 1) / x^2 for |x| > 4.
constexpr double g_table[24] = {0.228012206,     -0.0268697274,   -0.00351071573,  0.00123980086,
                                -0.000156729451, -1.06641418e-05, 1.11706293e-05,  -3.17540117e-06,
                                4.43174735e-07,  5.51086969e-08,  -5.92430787e-08, 2.21025734e-08,
                                -5.02568275e-09, 3.15191683e-10,  3.63069908e-10,  -2.29747642e-10,
                                8.55303094e-11,  -2.11830677e-11, 1.71336626e-12,  1.72388775e-12,
                                -1.29302814e-12, 5.74723392e-13,  -1.84154683e-13, 3.59372566e-14};

constexpr double euler_gamma = 0.57721566;

// The coefficient table in the working precision T.
template <class T, std::size_t N> struct Table {
    T c[N];
    explicit Table(const double (&source)[N]) {
        for (std::size_t i = 0; i < N; ++i)
            c[i] = static_cast<T>(source[i]);
    }
};

template <class T> T chebyshev_sum(int n, T x, const T* c) {
    if (n == 0) return c[0];
    if (n == 1) return c[0] + c[1] * x;
    T b2 = c[n];
    T b1 = T(2) * x * c[n] + c[n - 1];
    for (int k = n - 2; k >= 1; --k) {
        const T b = T(2) * x * b1 + c[k] - b2;
        b2 = b1;
        b1 = b;
    }
    return c[0] + x * b1 - b2;
}

// Si(x) and Ci(|x|) for |x| <= 4.
template <class T> T small_argument(T x, T* ci) {
    static const Table<T, 11> a(si_table), b(ci_table);
    const T t = x * T(0.25);
    const T u = T(2) * t * t - T(1);
    *ci = std::log(std::fabs(x)) + T(euler_gamma) - t * t * chebyshev_sum<T>(10, u, b.c);
    return t * chebyshev_sum<T>(10, u, a.c);
}

// pi/2 in the two places it appears: the nearest value of T in the main routine, and the
// eight-digit decimal in the auxiliary routine (double family) or the nearest float.
template <class T> constexpr T half_pi() {
    return T(1.5707963267948966);
}
template <class T> constexpr T half_pi_auxiliary() {
    return T(1.5707963267948966);
}
template <> constexpr double half_pi_auxiliary<double>() {
    return 1.57079633;
}

template <class T> void auxiliary(float xf, T* f, T* g) {
    const T x = static_cast<T>(xf);
    if (std::fabs(x) <= T(4)) {
        T ci;
        const T si = small_argument<T>(x, &ci) - half_pi_auxiliary<T>();
        *f = ci * std::sin(x) - si * std::cos(x);
        *g = -ci * std::cos(x) - si * std::sin(x);
        return;
    }
    static const Table<T, 23> ft(f_table);
    static const Table<T, 24> gt(g_table);
    const T s = T(1) / std::fabs(x);
    const T u = T(8) * s - T(1);
    *f = chebyshev_sum<T>(22, u, ft.c) / x;
    *g = T(4) * chebyshev_sum<T>(23, u, gt.c) * s * s;
}

template <class T> T sine_cosine_integrals(T x, T* ci) {
    if (std::fabs(x) <= T(4)) return small_argument<T>(x, ci);
    T f, g;
    auxiliary<T>(static_cast<float>(x), &f, &g);
    const T h = x >= T(0) ? half_pi<T>() : -half_pi<T>();
    // f is odd and g even, so f*sin x and g*cos x give Ci(|x|) for either sign.
    *ci = f * std::sin(x) - g * std::cos(x);
    return h - f * std::cos(x) - g * std::sin(x);
}

} // namespace

double sine_cosine_integrals_dbl(double x, double* ci) {
    return sine_cosine_integrals(x, ci);
}
float sine_cosine_integrals_flt(float x, float* ci) {
    return sine_cosine_integrals(x, ci);
}
void si_ci_auxiliary_dbl(float x, double* f, double* g) {
    auxiliary(x, f, g);
}
void si_ci_auxiliary_flt(float x, float* f, float* g) {
    auxiliary(x, f, g);
}
double chebyshev_sum_dbl(int n, double x, const double* c) {
    return chebyshev_sum(n, x, c);
}
float chebyshev_sum_flt(int n, float x, const float* c) {
    return chebyshev_sum(n, x, c);
}
