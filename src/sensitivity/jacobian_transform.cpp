// Inverse transform of the wavenumber-domain Jacobian.
#include "sensitivity/jacobian_transform.h"

#include "fdsolve/transform.h"
#include "model/services.h"

#include <algorithm>
#include <cmath>
#include <vector>

float integrate_wavenumbers_exp(int n, const float* k, const float* v) {
    if (n <= 0) return 0.0f;
    double sum = double(k[0]) * v[0];
    for (int i = 0; i + 1 < n; ++i) {
        const double a = v[i], b = v[i + 1];
        if (a <= 0.0 || b <= 0.0) continue;
        const double d = double(float(std::log(a))) - double(float(std::log(b)));
        const double dk = double(k[i + 1]) - k[i];
        sum += d > 1e-10 ? (a - b) * dk / d : 0.5 * (a + b) * dk;
    }
    return float(sum);
}

void Inverse_Fourier_Transform_Jacobian_X_Z(const ModelSettings& settings, int nk, const float* k,
                                            const float* input, float* output) {
    const long long block = 2LL * settings.n_elec_positions * settings.ndata;
    model::trace("Inverse_Fourier_Transform_Jacobian_X_Z\n");
    // A derivative changes sign along k where the shift moves potential from one side of an
    // electrode to the other: the rule must be linear in the values, and as close as the
    // potentials' own transform to the integral (within a few parts in a thousand).
    const int n = std::max(nk, 0);
    std::vector<double> kd(std::size_t(n) + 1), weights(std::size_t(n) + 1);
    for (int i = 0; i < n; ++i)
        kd[std::size_t(i)] = k[i];
    fd::wavenumber_spline_weights(kd.data(), n, weights.data());
    for (long long j = 0; j < block; ++j) {
        double sum = 0.0;
        for (int i = 0; i < n; ++i)
            sum += weights[std::size_t(i)] * double(input[j + i * block]);
        if (j == 0)
            for (int i = 0; i < n; ++i)
                model::trace("%2d %12.4e %12.4e\n", i, double(k[i]), double(input[i * block]));
        output[j] = float(sum);
        if (j == 0) model::trace("sum %12.4e\n", double(output[0]));
    }
}
