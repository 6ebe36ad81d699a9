// Inverse transform of a wavenumber-domain Jacobian to space: a rule linear in the values (a
// natural spline in ln k), and the older exponential interpolation between the wavenumbers.
#pragma once

#include "model/model_settings.h"

/// Integral over k of the values v[0..n-1] given at the increasing wavenumbers k[0..n-1]: k[0]
/// v[0] for the interval from 0, then per interval the integral of the exponential through both
/// ends, (a - b) dk / (ln a - ln b), or the trapezoid when ln a - ln b <= 1e-10 (flat or
/// rising); an interval with a value <= 0 at either end adds nothing.
float integrate_wavenumbers_exp(int n, const float* k, const float* v);

/// output[j] for j = 0 .. 2 P N - 1 (P = n_elec_positions, N = ndata) from the nk blocks of
/// input (block i: 2 P N values, x-shift values position-major, then z-shift values): the
/// integral over k of each series by fd::wavenumber_spline_weights, whatever the signs of its
/// values.
void Inverse_Fourier_Transform_Jacobian_X_Z(const ModelSettings& settings, int nk, const float* k,
                                            const float* input, float* output);
