// Inverse transform of the wavenumber-domain Jacobian.
#include "sensitivity/jacobian_transform.h"

#include "model/services.h"

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
    std::vector<float> v(nk > 0 ? nk : 1);
    model::trace("Inverse_Fourier_Transform_Jacobian_X_Z\n");
    for (long long j = 0; j < block; ++j) {
        for (int i = 0; i < nk; ++i)
            v[i] = input[j + i * block];
        if (j == 0)
            for (int i = 0; i < nk; ++i)
                model::trace("%2d %12.4e %12.4e\n", i, double(k[i]), double(v[i]));
        if (nk <= 0 || v[0] == 0.0f) {
            output[j] = 0.0f;
        } else {
            const float sign = v[0] < 0.0f ? -1.0f : 1.0f;
            if (sign < 0.0f)
                for (float& x : v)
                    x = -x;
            output[j] = sign * integrate_wavenumbers_exp(nk, k, v.data());
        }
        if (j == 0) model::trace("sum %12.4e\n", double(output[0]));
    }
}
