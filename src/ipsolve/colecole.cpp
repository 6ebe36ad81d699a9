// The Cole-Cole response, its derivatives, the spectrum with its logarithmic Jacobian, the
// damped least-squares step and the fit of tau and c.
#include "ipsolve/colecole.h"

#include "model/services.h"
#include "platform/sys/page_array.h"
#include "platform/ui/ui.h"

#include <cmath>
#include <cstddef>
#include <limits>

namespace {

using sys::PageArray;

// The model's value at one frequency and the pieces its derivatives need.
struct ColeCole {
    double re = 0, im = 0;
    double r = 0, s = 0, k = 0, a = 0, b = 0, d = 0, log_w = 0;
};

// Evaluates the model with (i w tau)^c = r (k + i s), k = cos(c h), s = sin(c h); h and
// two_pi are the literal constants of the caller.
ColeCole evaluate(double rho0, double m, double tau, double c, double f, double h, double two_pi) {
    ColeCole v;
    v.s = std::sin(c * h);
    v.k = std::cos(c * h);
    if (f <= 0.0) {
        v.re = rho0;
        return v;
    }
    const double w = two_pi * f * tau;
    v.log_w = std::log(w);
    v.r = std::pow(w, c);
    v.a = 1.0 + v.r * v.k;
    v.b = v.r * v.s;
    v.d = v.a * v.a + v.b * v.b;
    v.re = rho0 - rho0 * m * (1.0 - v.a / v.d);
    v.im = -rho0 * m * v.b / v.d;
    return v;
}

constexpr double half_pi_response = 1.5707963;
constexpr double two_pi_response = 6.28318531;

double phase_mrad(double re, double im) {
    return -1000.0 * std::atan(im / re);
}

} // namespace

float colecole_response(float rho0, float m, float tau, float c, float f, float* im,
                        float* amplitude, float* phase) {
    const ColeCole v = evaluate(rho0, m, tau, c, f, half_pi_response, two_pi_response);
    *im = float(v.im);
    *amplitude = float(std::sqrt(v.re * v.re + v.im * v.im));
    *phase = f <= 0.0f ? 0.0f : float(phase_mrad(v.re, v.im));
    return float(v.re);
}

float colecole_derivatives(float rho0, float m, float tau, float c, float f, float* im,
                           float* amplitude, float* phase, float* dre_dtau, float* dre_dc,
                           float* dim_dtau, float* dim_dc, float* damp_dtau, float* damp_dc,
                           float* dphase_dtau, float* dphase_dc) {
    const ColeCole v = evaluate(rho0, m, tau, c, f, half_pi_response, two_pi_response);
    *im = float(v.im);
    const double amp = std::sqrt(v.re * v.re + v.im * v.im);
    *amplitude = float(amp);
    if (f <= 0.0f) {
        *phase = 0.0f;
        *dre_dtau = *dre_dc = *dim_dtau = *dim_dc = 0.0f;
        return float(v.re);
    }
    *phase = float(phase_mrad(v.re, v.im));
    // The derivative terms take pi/2 in single precision.
    const double h = double(1.5707963f);
    const double da_dtau = v.r * c * v.k / tau, db_dtau = v.r * c * v.s / tau;
    const double da_dc = v.r * v.k * v.log_w - h * v.r * v.s;
    const double db_dc = v.b * v.log_w + h * v.r * v.k;
    const double p = v.a * v.a - v.b * v.b, q = 2.0 * v.a * v.b, d2 = v.d * v.d;
    const double rm = double(rho0) * m;
    auto d_re = [&](double da, double db) { return rm * (-p * da - q * db) / d2; };
    auto d_im = [&](double da, double db) { return -rm * (p * db - q * da) / d2; };
    const double re_t = d_re(da_dtau, db_dtau), re_c = d_re(da_dc, db_dc);
    const double im_t = d_im(da_dtau, db_dtau), im_c = d_im(da_dc, db_dc);
    *dre_dtau = float(re_t);
    *dre_dc = float(re_c);
    *dim_dtau = float(im_t);
    *dim_dc = float(im_c);
    *damp_dtau = float((v.im * im_t + v.re * re_t) / amp);
    *damp_dc = float((v.im * im_c + v.re * re_c) / amp);
    *dphase_dtau = float(-1000.0 * (v.re * im_t - v.im * re_t) / (amp * amp));
    *dphase_dc = float(-1000.0 * (v.re * im_c - v.im * re_c) / (amp * amp));
    return float(v.re);
}

void calc_cole_cole_spectrum(int n, const float* frequencies, float* amplitude, float* phase,
                             float rho0, float m, float tau, float c, float* re, float* im,
                             float* jacobian) {
    for (int k = 0; k < n; ++k) {
        float dre_t, dre_c, dim_t, dim_c, damp_t = 0, damp_c = 0, dph_t = 0, dph_c = 0;
        re[k] =
            colecole_derivatives(rho0, m, tau, c, frequencies[k], &im[k], &amplitude[k], &phase[k],
                                 &dre_t, &dre_c, &dim_t, &dim_c, &damp_t, &damp_c, &dph_t, &dph_c);
        jacobian[k] = -tau * dre_t / re[k];
        jacobian[n + k] = -tau * dim_t / im[k];
        jacobian[2 * n + k] = -c * dre_c / re[k];
        jacobian[3 * n + k] = -c * dim_c / im[k];
    }
}

int lsq_cholesky_solve(const float* jacobian, int rows, int params, const double* residuals,
                       float* step, float damping, gfx::Canvas* status_canvas) {
    const int p = params;
    PageArray<double> x(p), b(p), u(std::size_t(p) * (p + 1) / 2), y(p);
    if (!x.ok() || !b.ok() || !u.ok() || !y.ok()) return lsq_no_memory;
    // Packed upper triangle, row after row: entry (i, j), i <= j, 0-based.
    auto at = [p](int i, int j) {
        return std::size_t(i) * p - std::size_t(i) * (i - 1) / 2 + (j - i);
    };
    auto J = [&](int row, int col) { return double(jacobian[std::size_t(col) * rows + row]); };
    for (int i = 0; i < p; ++i) {
        double rhs = 0.0;
        for (int r = 0; r < rows; ++r)
            rhs += J(r, i) * residuals[r];
        b[i] = -rhs;
        for (int j = i; j < p; ++j) {
            double sum = 0.0;
            for (int r = 0; r < rows; ++r)
                sum += J(r, i) * J(r, j);
            u[at(i, j)] = sum + (i == j ? double(damping) : 0.0);
        }
    }
    for (int i = 0; i < p; ++i) {
        for (int k = 0; k < i; ++k)
            for (int j = i; j < p; ++j)
                u[at(i, j)] -= u[at(k, i)] * u[at(k, j)];
        const double pivot = u[at(i, i)];
        if (!(pivot > 0.0)) {
            beep();
            if (ui::is_foreground())
                show_status_text("Least-squares matrix not positive definite!", status_canvas);
            return lsq_not_positive_definite;
        }
        u[at(i, i)] = std::sqrt(pivot);
        for (int j = i + 1; j < p; ++j)
            u[at(i, j)] /= u[at(i, i)];
    }
    for (int i = 0; i < p; ++i) {
        double sum = b[i];
        for (int k = 0; k < i; ++k)
            sum -= u[at(k, i)] * y[k];
        y[i] = sum / u[at(i, i)];
    }
    for (int i = p - 1; i >= 0; --i) {
        double sum = y[i];
        for (int j = i + 1; j < p; ++j)
            sum -= u[at(i, j)] * x[j];
        x[i] = sum / u[at(i, i)];
    }
    for (int i = 0; i < p; ++i)
        step[i] = float(x[i]);
    return 0;
}

namespace {

// True when the logarithms of the fit are defined for this spectrum.
bool fit_possible(int n, float rho0, float m, const float* f, const float* re, const float* im) {
    if (n < 2 || !(rho0 > 0.0f) || !(m > 0.0f) || !std::isfinite(rho0) || !std::isfinite(m))
        return false;
    for (int k = 0; k < n; ++k)
        if (!(f[k] > 0.0f) || !std::isfinite(f[k]) || !(re[k] > 0.0f) || !std::isfinite(re[k]) ||
            !(im[k] < 0.0f) || !std::isfinite(im[k]))
            return false;
    return true;
}

// The work arrays of one fit.
struct FitWork {
    PageArray<float> observed_phase, amplitude, phase, re, im, jacobian;
    PageArray<double> residuals;
    bool allocate(int n) {
        return observed_phase.allocate(n) && amplitude.allocate(n) && phase.allocate(n) &&
               re.allocate(n) && im.allocate(n) && jacobian.allocate(4 * std::size_t(n)) &&
               residuals.allocate(2 * std::size_t(n));
    }
    // Residuals ln(observed / model) and their sum of squares; infinity where the model has the
    // other sign than the observation, so that such a trial is never taken.
    float misfit(int n, const float* re_obs, const float* im_obs) {
        double sum = 0.0;
        for (int k = 0; k < n; ++k) {
            if (!(re[k] > 0.0f) || !(im[k] < 0.0f)) return std::numeric_limits<float>::infinity();
            residuals[k] = std::log(double(re_obs[k]) / re[k]);
            residuals[n + k] = std::log(double(im_obs[k]) / im[k]);
            sum += residuals[k] * residuals[k] + residuals[n + k] * residuals[n + k];
        }
        return float(sum);
    }
};

// Starting exponent: the steepest slope of ln phase over ln f between neighbours.
float starting_exponent(int n, const float* f, const float* phase) {
    double c = 0.0;
    for (int k = 0; k + 1 < n; ++k) {
        const double dlf = std::log(double(f[k + 1])) - std::log(double(f[k]));
        if (dlf == 0.0) continue;
        const double slope = (std::log(double(phase[k + 1])) - std::log(double(phase[k]))) / dlf;
        if (std::fabs(slope) > c) c = std::fabs(slope);
    }
    return std::isfinite(c) && c > 0.0 ? float(c) : 0.01f;
}

} // namespace

float fit_cole_cole(int n, float rho0, float m, const float* frequencies, const float* re_obs,
                    const float* im_obs, float* c, float* rms, gfx::Canvas* status_canvas) {
    *c = 0.0f;
    *rms = fit_invalid_spectrum;
    if (!fit_possible(n, rho0, m, frequencies, re_obs, im_obs)) return 0.0f;
    FitWork w;
    if (!w.allocate(n)) {
        *rms = fit_no_memory;
        return 0.0f;
    }
    for (int k = 0; k < n; ++k)
        w.observed_phase[k] = float(phase_mrad(re_obs[k], im_obs[k]));
    float cexp = starting_exponent(n, frequencies, w.observed_phase.get());

    float tau = 0.0f, best = 0.0f;
    float trial_tau = 0.001f;
    for (int t = 0; t < 8; ++t, trial_tau *= 10.0f) {
        for (int k = 0; k < n; ++k)
            w.re[k] = colecole_response(rho0, m, trial_tau, cexp, frequencies[k], &w.im[k],
                                        &w.amplitude[k], &w.phase[k]);
        const float misfit = w.misfit(n, re_obs, im_obs);
        if (t == 0 || misfit < best) {
            best = misfit;
            tau = trial_tau;
        }
    }

    auto spectrum = [&](float at_tau, float at_c) {
        calc_cole_cole_spectrum(n, frequencies, w.amplitude.get(), w.phase.get(), rho0, m, at_tau,
                                at_c, w.re.get(), w.im.get(), w.jacobian.get());
        return w.misfit(n, re_obs, im_obs);
    };
    float misfit = spectrum(tau, cexp);
    float damping = 0.5f;
    float step[2] = {0.0f, 0.0f};
    for (int iteration = 0; iteration < 5; ++iteration) {
        const float saved_tau = tau, saved_c = cexp, saved_misfit = misfit;
        lsq_cholesky_solve(w.jacobian.get(), 2 * n, 2, w.residuals.get(), step, damping,
                           status_canvas);
        const float trial_t = float(std::exp(std::log(double(tau)) + step[0]));
        const float trial_c = float(std::exp(std::log(double(cexp)) + step[1]));
        const float trial = spectrum(trial_t, trial_c);
        if (trial <= saved_misfit) {
            tau = trial_t;
            cexp = trial_c;
            misfit = trial;
            damping *= 0.35f;
        } else {
            tau = saved_tau;
            cexp = saved_c;
            spectrum(tau, cexp);
            misfit = saved_misfit;
            damping *= 3.5f;
        }
    }
    if (!std::isfinite(misfit)) return 0.0f;
    *c = cexp;
    *rms = float(std::sqrt(double(misfit) / (2.0 * n)));
    return tau;
}

float cole_cole_complex_resistivity(float rho0, float m, float tau, float c, float f, float* im,
                                    float* amplitude, float* phase, float* sigma_re,
                                    float* sigma_im) {
    const ColeCole v = evaluate(rho0, m, tau, c, f, 1.57079633, 6.28318531);
    const double amp2 = v.re * v.re + v.im * v.im;
    *im = float(v.im);
    *amplitude = float(std::sqrt(amp2));
    *phase = f <= 0.0f ? 0.0f : float(phase_mrad(v.re, v.im));
    *sigma_re = float(v.re / amp2);
    *sigma_im = float(-v.im / amp2);
    return float(v.re);
}
