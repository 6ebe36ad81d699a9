// The Cole-Cole model of a complex resistivity spectrum, rho0 (1 - m (1 - 1/(1 + (i w tau)^c)))
// with w = 2 pi f, its derivatives, and the damped least-squares fit of tau and c to a
// spectrum with rho0 and m held fixed. Units: ohm-m, m as a fraction, tau in s, f in Hz, phase
// in mrad (-1000 atan(Im/Re), positive for a negative imaginary part).
#pragma once

namespace gfx {
class Canvas;
}

/// Complex resistivity of the Cole-Cole model at frequency f: returns the real part and writes
/// the imaginary part, the amplitude and the phase. f <= 0 gives the direct-current value
/// (rho0, 0, |rho0|, 0). Evaluated in double precision, stored as floats.
float colecole_response(float rho0, float m, float tau, float c, float f, float* im,
                        float* amplitude, float* phase);

/// As colecole_response, with the derivatives of the real part, imaginary part, amplitude and
/// phase with respect to tau and c. f <= 0 gives zero derivatives of Re and Im and leaves the
/// four of amplitude and phase unwritten.
float colecole_derivatives(float rho0, float m, float tau, float c, float f, float* im,
                           float* amplitude, float* phase, float* dre_dtau, float* dre_dc,
                           float* dim_dtau, float* dim_dc, float* damp_dtau, float* damp_dc,
                           float* dphase_dtau, float* dphase_dc);

/// The model at n frequencies into amplitude[n], phase[n], re[n] and im[n], and the Jacobian of
/// the logarithmic residuals ln(observed/model) with respect to ln tau and ln c: 2n rows (the
/// real parts, then the imaginary parts) by 2 columns, column after column in jacobian[4n]:
/// -tau dRe/dtau / Re, -tau dIm/dtau / Im, -c dRe/dc / Re, -c dIm/dc / Im. The frequencies must
/// be positive (the imaginary part is 0 at f = 0).
void calc_cole_cole_spectrum(int n, const float* frequencies, float* amplitude, float* phase,
                             float rho0, float m, float tau, float c, float* re, float* im,
                             float* jacobian);

/// Result codes of lsq_cholesky_solve besides 0.
enum LsqResult { lsq_no_memory = 1, lsq_not_positive_definite = 2 };

/// One damped Gauss-Newton step: solves (JᵀJ + damping I) step = -Jᵀ r by Cholesky in double
/// precision, J the rows x params float matrix stored column after column, r the rows
/// residuals. Returns 0 with step[params] written; lsq_not_positive_definite after the beep and
/// "Least-squares matrix not positive definite!" on the status line (status_canvas, may be
/// null), or lsq_no_memory when the work arrays are refused; step is then unchanged.
int lsq_cholesky_solve(const float* jacobian, int rows, int params, const double* residuals,
                       float* step, float damping, gfx::Canvas* status_canvas);

/// rms values of fit_cole_cole that mark a spectrum it did not fit (tau and c are then 0).
constexpr float fit_invalid_spectrum = -1.0f;
constexpr float fit_no_memory = -2.0f;

/// Fits tau and c of the Cole-Cole model with rho0 and m fixed to the observed spectrum
/// (re_obs, im_obs) at n frequencies: starting exponent from the steepest slope of ln phase over
/// ln f (0.01 when that is not positive), starting tau from the grid 0.001, 0.01 .. 10000 (the
/// first of equal misfits wins), then five damped Gauss-Newton steps in ln tau and ln c
/// (damping 0.5, times 0.35 after an accepted step, 3.5 after a rejected one; a step is
/// accepted when it does not raise the misfit, so the misfit never rises). Returns tau and
/// writes c and the rms logarithmic misfit sqrt(sum r² / 2n).
///
/// The logarithms need n >= 2, positive finite frequencies, rho0 and m positive, every
/// in-phase value positive and every quadrature negative: a spectrum that is not so is not
/// fitted (tau = c = 0, rms = fit_invalid_spectrum). Work memory refused: tau = c = 0, rms =
/// fit_no_memory; the caller reports it. A failed least-squares step leaves the previous step
/// in force (zero before the first), as the misfit test then decides.
float fit_cole_cole(int n, float rho0, float m, const float* frequencies, const float* re_obs,
                    const float* im_obs, float* c, float* rms, gfx::Canvas* status_canvas);

/// Complex resistivity of one model cell at frequency f, as colecole_response but with the
/// literal constants 1.57079633 and 6.28318531: returns the real part and writes the imaginary
/// part, amplitude, phase and the complex conductivity 1/rho (sigma_re, sigma_im).
float cole_cole_complex_resistivity(float rho0, float m, float tau, float c, float f, float* im,
                                    float* amplitude, float* phase, float* sigma_re,
                                    float* sigma_im);
