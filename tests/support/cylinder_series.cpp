// The series solution of a homogeneous cylinder: the modes summed at every wavenumber, then the
// integral over the wavenumber.
#include "support/cylinder_series.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace test_support {

namespace {

constexpr double pi = 3.14159265358979323846;

} // namespace

double cylinder_series_difference(double a1, double a2) {
    // Each mode falls off as exp(-k a) beyond k = 1 / a: the integral stops at 25 / a. Mode m
    // adds (cos m a1 - cos m a2) (I_m / (k I_m') - 1 / m), which is small only for m well above
    // k; the sum of the 1 / m limits is -ln(2 sin(a / 2)).
    const double kmax = 25.0 / std::min(a1, a2);
    const int modes = int(20.0 * kmax) + 100, depth = modes + int(kmax) + 60;
    const double c1 = std::cos(a1), c2 = std::cos(a2);
    std::vector<double> ratio(std::size_t(modes) + 1);
    auto modes_sum = [&](double k) {
        // I_m / I_(m-1) by its continued fraction, from far above the last mode down.
        double r = 0.0;
        for (int m = depth; m >= 1; --m) {
            r = 1.0 / (2.0 * m / k + r);
            if (m <= modes) ratio[m] = r;
        }
        double s = -2.0 * std::log(2.0 * std::sin(a1 / 2)) + 2.0 * std::log(2.0 * std::sin(a2 / 2));
        // cos(m a) by its recurrence: p holds the value of m - 1, q that of m.
        double p1 = 1.0, q1 = c1, p2 = 1.0, q2 = c2;
        for (int m = 1; m <= modes; ++m) {
            // k I_m' / I_m = k I_(m-1) / I_m - m.
            s += 2.0 * (q1 - q2) * (1.0 / (k / ratio[m] - m) - 1.0 / m);
            const double n1 = 2.0 * c1 * q1 - p1, n2 = 2.0 * c2 * q2 - p2;
            p1 = q1;
            q1 = n1;
            p2 = q2;
            q2 = n2;
        }
        return s / (2.0 * pi);
    };
    // Simpson's rule in ln k from 1e-6, the stretch below it taken as a rectangle.
    const int steps = 400;
    const double k0 = 1e-6, lo = std::log(k0), h = (std::log(kmax) - lo) / steps;
    double sum = k0 * modes_sum(k0);
    for (int i = 0; i <= steps; ++i) {
        const double k = std::exp(lo + i * h);
        const double w = i == 0 || i == steps ? 1.0 : i % 2 ? 4.0 : 2.0;
        sum += w * h / 3.0 * modes_sum(k) * k;
    }
    return sum / pi;
}

} // namespace test_support
