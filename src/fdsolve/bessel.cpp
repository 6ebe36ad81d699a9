// Ratio k*K1/K0 from the polynomial approximations of I0, I1, K0 and K1 for arguments up to 2.
#include "fdsolve/bessel.h"

#include <cmath>
#include <type_traits>

namespace {

// One body for both twins; C is the coordinate type (double or float).
template <class C> double bessel_ratio(C x0, C x1, C z, C* d, C* r, double k) {
    constexpr bool single = std::is_same_v<C, float>;
    *d = std::fabs(x1 - x0);
    *r = std::sqrt(*d * *d + z * z);
    const double x = k * static_cast<double>(*r);
    if (k == 0.0) return 0.0;
    if (x >= 2.0) return single ? static_cast<double>(static_cast<float>(k)) : k;

    const double t = x * 0.26666666666666666;
    const double t2 = t * t;
    const double y = 0.25 * x * x;
    const double i0 =
        1.0 + t2 * (3.5156229 +
                    t2 * (3.0899424 +
                          t2 * (1.2067492 + t2 * (0.2659732 + t2 * (0.0360768 + t2 * 0.0045813)))));
    const double i1 =
        x *
        (0.5 +
         t2 * (0.87890594 +
               t2 * (0.51498869 +
                     t2 * (0.15084934 + t2 * (0.02658733 + t2 * (0.00301532 + t2 * 0.00032411))))));
    const double log_half = std::log(0.5 * x);
    const double k0 =
        -log_half * i0 +
        (-0.57721566 +
         y * (0.42278420 +
              y * (0.23069756 +
                   y * (0.03488590 + y * (0.00262698 + y * (0.00010750 + y * 0.0000074))))));
    const double divisor = single ? static_cast<double>(static_cast<float>(x)) : x;
    const double k1 =
        log_half * i1 +
        (1.0 +
         y * (0.15443144 +
              y * (-0.67278579 +
                   y * (-0.18156897 + y * (-0.01919402 + y * (-0.00110404 + y * -0.00004686)))))) /
            divisor;
    if (single) {
        const float ratio = static_cast<float>(k1 / k0);
        return static_cast<double>(static_cast<float>(k * ratio));
    }
    return k * (k1 / k0);
}

} // namespace

double bessel_ratio_k1_k0_dbl(double x0, double x1, double z, double* d, double* r, double k) {
    return bessel_ratio(x0, x1, z, d, r, k);
}

double bessel_ratio_k1_k0_flt(float x0, float x1, float z, float* d, float* r, double k) {
    return bessel_ratio(x0, x1, z, d, r, k);
}
