// Analytic references of the road table.
#include "earth_reference.h"

#include <array>
#include <cmath>
#include <vector>

namespace reference {

namespace {

constexpr double pi = 3.14159265358979323846;

Complex reflection(const Earth& e) {
    return (e.rho2 - e.rho1) / (e.rho2 + e.rho1);
}

bool half_space(const Earth& e) {
    return e.h <= 0.0 || e.rho1 == e.rho2;
}

// Nodes and weights of n-point Gauss-Legendre quadrature on [-1, 1], by Newton's iteration on
// the Legendre polynomial from the Chebyshev guesses.
struct GaussLegendre {
    std::vector<double> x, w;
    explicit GaussLegendre(int n) : x(std::size_t(n)), w(std::size_t(n)) {
        for (int i = 0; i < n; ++i) {
            double t = std::cos(pi * (i + 0.75) / (n + 0.5)), dp = 1.0;
            for (int it = 0; it < 100; ++it) {
                double p0 = 1.0, p1 = t;
                for (int k = 2; k <= n; ++k) {
                    const double p2 = ((2.0 * k - 1.0) * t * p1 - (k - 1.0) * p0) / k;
                    p0 = p1;
                    p1 = p2;
                }
                dp = n * (t * p1 - p0) / (t * t - 1.0);
                const double step = p1 / dp;
                t -= step;
                if (std::fabs(step) < 1e-16) break;
            }
            x[std::size_t(i)] = t;
            w[std::size_t(i)] = 2.0 / ((1.0 - t * t) * dp * dp);
        }
    }
};

double distance(Point a, Point b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// Calls pair(current sign, potential sign, source, receiver) for every current-potential pair
// of the electrodes present.
template <class Pair> void for_each_pair(const Electrodes& e, Pair pair) {
    const std::optional<Point> current[2] = {e.c1, e.c2}, receiver[2] = {e.p1, e.p2};
    for (int c = 0; c < 2; ++c)
        for (int p = 0; p < 2; ++p)
            if (current[c] && receiver[p])
                pair((c == 0 ? 1.0 : -1.0) * (p == 0 ? 1.0 : -1.0), *current[c], *receiver[p]);
}

} // namespace

Complex potential(const Earth& earth, double r) {
    Complex sum = 1.0 / r;
    if (!half_space(earth)) {
        const Complex k = reflection(earth);
        Complex kn = k;
        for (int n = 1; n < 100000 && std::abs(kn) > 1e-17; ++n, kn *= k)
            sum += 2.0 * kn / std::sqrt(r * r + 4.0 * n * n * earth.h * earth.h);
    }
    return earth.rho1 * sum / (2.0 * pi);
}

Complex potential_hankel(const Earth& earth, double r) {
    Complex sum = 1.0 / r;
    if (!half_space(earth)) {
        static const GaussLegendre rule(16);
        const Complex k = reflection(earth);
        const double h = earth.h;
        // |k| e^(-2 l h) < 1e-18 beyond l_end; J0(l r) a quarter period a panel.
        const double l_end = std::log(std::max(std::abs(k), 1e-300) * 1e18) / (2.0 * h);
        const double width = std::min(0.5 * pi / r, 0.25 / h);
        Complex integral = 0.0;
        for (double a = 0.0; a < l_end; a += width) {
            const double b = std::min(a + width, l_end), half = 0.5 * (b - a);
            for (std::size_t i = 0; i < rule.x.size(); ++i) {
                const double l = a + half * (1.0 + rule.x[i]);
                const Complex q = k * std::exp(-2.0 * l * h);
                integral += half * rule.w[i] * q / (1.0 - q) * std::cyl_bessel_j(0.0, l * r);
            }
        }
        sum += 2.0 * integral;
    }
    return earth.rho1 * sum / (2.0 * pi);
}

Complex half_space_potential(Complex rho, Point source, Point at) {
    return rho / (2.0 * pi * distance(source, at));
}

Complex potential_difference(const Earth& earth, const Electrodes& e) {
    Complex dv = 0.0;
    for_each_pair(
        e, [&](double sign, Point c, Point p) { dv += sign * potential(earth, distance(c, p)); });
    return dv;
}

double geometric_factor(const Electrodes& e) {
    double g = 0.0;
    for_each_pair(e, [&](double sign, Point c, Point p) { g += sign / distance(c, p); });
    return 2.0 * pi / g;
}

Complex apparent_resistivity(const Earth& earth, const Electrodes& e) {
    return geometric_factor(e) * potential_difference(earth, e);
}

double seigel_chargeability(double rho1, double rho2, double m1, double m2, double h,
                            const Electrodes& e) {
    const double plain = apparent_resistivity({rho1, rho2, h}, e).real();
    const double raised = apparent_resistivity({rho1 / (1.0 - m1), rho2 / (1.0 - m2), h}, e).real();
    return 1000.0 * (1.0 - plain / raised);
}

double seigel_linear(double rho1, double rho2, double m1, double m2, double h,
                     const Electrodes& e) {
    const double step = 1e-4;
    auto log_rho_a = [&](double f1, double f2) {
        return std::log(apparent_resistivity({rho1 * f1, rho2 * f2, h}, e).real());
    };
    const double up = std::exp(step), down = std::exp(-step);
    const double s1 = (log_rho_a(up, 1.0) - log_rho_a(down, 1.0)) / (2.0 * step);
    const double s2 = (log_rho_a(1.0, up) - log_rho_a(1.0, down)) / (2.0 * step);
    return 1000.0 * (m1 * s1 + m2 * s2);
}

Complex cole_cole(double rho0, double m, double tau, double c, double f) {
    const Complex iwt = Complex(0.0, 2.0 * pi * f * tau);
    return rho0 * (1.0 - m * (1.0 - 1.0 / (1.0 + std::pow(iwt, c))));
}

} // namespace reference
