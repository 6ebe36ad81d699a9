// The geometric-step spline integral over wavenumber.
#include "cylinder/spline.h"

#include "fdsolve/spline.h"
#include "platform/sys/page_array.h"

#include <cmath>
#include <limits>

int spline_coef_akima_dbl(int m, const double* x, const double* y, double* b, double* c,
                          double* d) {
    return spline_coef_dbl(m, x, y, b, c, d);
}

double exp_spline_integral_geo_dbl(int nsub, int m, const double* a, const double* b,
                                   const double* c, const double* d, const double* x,
                                   const double* v, const double* lv) {
    if (nsub < 1) nsub = 1;
    double sum = 0.0;
    for (int i = 0; i + 1 < m; ++i) {
        const double ratio = std::pow(x[i + 1] / x[i], 1.0 / nsub);
        double z0 = x[i], e0 = v[i], p0 = lv[i];
        for (int q = 1; q <= nsub; ++q) {
            double z1 = x[i + 1], e1 = v[i + 1], p1 = lv[i + 1];
            if (q < nsub) {
                z1 = z0 * ratio;
                const double t = z1 - x[i];
                p1 = a[i] + t * (b[i] + t * (c[i] + t * d[i]));
                e1 = std::exp(p1);
            }
            const double width = z1 - z0;
            sum +=
                p0 > p1 ? fd::exp_piece_integral(width, e0, e1, p0 - p1) : 0.5 * (e0 + e1) * width;
            z0 = z1;
            e0 = e1;
            p0 = p1;
        }
    }
    return sum;
}

double log_spline_integral_geo_dbl(const double* x, const double* v, int n, int nsub) {
    if (n <= 0) return 0.0;
    const double rectangle = x[0] * v[0];
    int m = 0;
    while (m < n && v[m] > 1e-36)
        ++m;
    if (m < 2) return rectangle;
    sys::PageArray<double> work(4 * std::size_t(m));
    if (!work.ok()) return std::numeric_limits<double>::quiet_NaN();
    double* lv = work.get();
    double* b = lv + m;
    double* c = b + m;
    double* d = c + m;
    for (int i = 0; i < m; ++i)
        lv[i] = std::log(v[i]);
    if (spline_coef_akima_dbl(m, x, lv, b, c, d) != 0) return rectangle;
    return rectangle + exp_spline_integral_geo_dbl(nsub, m, lv, b, c, d, x, v, lv);
}
