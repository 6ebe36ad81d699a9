// Inverse Fourier transform over wavenumber of 2.5-D potentials: electrode-pair tables of the
// finite-difference and finite-element solvers, and lists of points (remote electrodes).
//
// The potential in space is (1/pi) times the integral over k of the wavenumber-domain potential
// V(k), weighted by cos(k*y) at a distance y along strike. Below the first wavenumber k_1 V is
// continued by the low-wavenumber tail (fd::low_wavenumber_tail), the one place where every
// transform of this file gets that part of the integral; above it V is linear in ln k between
// samples while k*r < 0.5 and exponential beyond (the section-plane pair potentials use the
// spline integral there), each piece integrated in closed form. Zero-width intervals contribute
// nothing, equal neighbouring samples take the limit of the exponential rule, and a zero strike
// distance takes the limit of the cosine-weighted integral, so no input of positive wavenumbers
// gives NaN or infinity.
#pragma once

#include "platform/sys/page_array.h"

#include <complex>
#include <limits>
#include <vector>

namespace fd {

/// The weights of the strike transforms of fourier_transform_grid for the pair distances
/// 1 .. count: they depend on the wavenumbers, the strike offset s and the node spacing only,
/// so they can be had while the potentials are being solved.
///
/// Beyond the last wavenumber the mesh resolves, k_c, a pair's ratio g(k) = V(k) / K0(k d) is
/// continued towards `limit`, the ratio at large k: the resistivity of the ground at the two
/// electrodes over pi (pair_limit), which alone a point source's potential sees once it dies
/// within a fraction of a spacing. The way there is that of one image source at a distance
/// r > d, g(k) = limit + (g_c - limit) [K0(k r) / K0(k d)] / [K0(k_c r) / K0(k_c d)], r fitted
/// to the last two resolved samples: on two layers the first term of the image series. The
/// spline of the ratio then runs through the resolved samples and the continuation's values at
/// the wavenumbers beyond, to the last within the kernels' reach, whose ratio is held. Without
/// a limit (NaN), when the ratio does not near it from the second-last to the last resolved
/// sample (a half-space, whose ratio is the limit), or for a pair whose samples end before k_c,
/// the ratio of the last resolved sample is held instead.
///
/// Below the first wavenumber k_1 the potential at the strike distance continues the pair's
/// samples as its section-plane integral does (low_wavenumber_tail of the first two), not with
/// the first sample's ratio held: on layered ground the ratio there is still on its way to the
/// deeper ground's resistivity. The difference, whose weight 1 - cos(k s) leaves next to
/// nothing below k_1, holds the first ratio.
class StrikeWeights {
  public:
    static constexpr double no_limit = std::numeric_limits<double>::quiet_NaN();

    /// Weights for the distances 1..count on `workers` threads (the calling thread among
    /// them); false when the memory is refused.
    bool prepare(const double* k, int n, double s, double node_spacing, int count, int workers);
    /// Whether the weights of a prepare are held.
    bool held() const { return n_ > 0; }
    /// Gives their memory back.
    void release();
    /// Whether prepare ran with these arguments.
    bool fits(const double* k, int n, double s, double node_spacing, int count) const;
    /// (1/pi) times the integral of V(k)(1 - cos(k s)) of a pair d apart from its first `last`
    /// samples v, continued beyond the resolved wavenumbers towards `limit`.
    double difference(const double* v, int last, int d, double limit = no_limit) const {
        return integral(difference_.get(), difference_held_.get(), continued_difference_.get(), v,
                        last, d, limit, false);
    }
    /// (1/pi) times the integral of V(k) cos(k s), likewise.
    double strike(const double* v, int last, int d, double limit = no_limit) const {
        return integral(strike_.get(), strike_held_.get(), continued_strike_.get(), v, last, d,
                        limit, true);
    }

  private:
    struct Continuation;
    // The continuation of the pair's ratio beyond the resolved wavenumbers, if it has one.
    bool continuation(const double* v, int last, int d, double limit, Continuation& c) const;
    double integral(const double* weights, const double* held, const double* continued,
                    const double* v, int last, int d, double limit, bool cosine) const;
    double sum(const double* weights, const double* held, const double* v, int last, int d) const;

    int n_ = 0, count_ = 0;
    double s_ = 0.0, node_spacing_ = 0.0;
    std::vector<double> k_;
    // Per distance: the samples resolved (the first usable) and within the kernels' reach.
    sys::PageArray<int> usable_, reach_;
    // Per distance: the first sample's share of the potential at s below the first wavenumber
    // when its ratio is held there.
    sys::PageArray<double> below_;
    // The weights of the usable samples, those that hold the ratio of each beyond it, and the
    // weights of the samples within reach for the continued ratio (count x n each).
    sys::PageArray<double> difference_, difference_held_, strike_, strike_held_;
    sys::PageArray<double> continued_difference_, continued_strike_;
};

/// The ratio V(k) / K0(k d) of a pair of electrodes at large k, from the resistivities rho_a
/// and rho_b of the ground as a point source at each sees it (point_source_resistivity):
/// (2/pi) rho_a rho_b / (rho_a + rho_b), that of the pair's potential across a vertical
/// contact, rho/pi on ground of one resistivity. NaN unless both are positive and finite.
double pair_limit(double rho_a, double rho_b);
/// The same of complex resistivities (one frequency's), its real and imaginary parts those of
/// the real and imaginary parts of V; NaN unless both are finite with a positive real part.
std::complex<double> pair_limit(std::complex<double> rho_a, std::complex<double> rho_b);

/// The resistivity of the ground as a point source at node (column, row) of a grid of nx x nz
/// nodes sees it: 2 over the sum of the conductivities sigma(i, j) (real or complex) of the
/// cells (i, j) of the grid that meet at the node (i = column - 1 or column, j = row - 1 or
/// row): on the surface the harmonic mean of the two cells below, within the ground half the
/// resistivity of the four cells around (a full space conducts twice as much as a half-space).
template <class Sigma>
auto point_source_resistivity(int nx, int nz, int column, int row, Sigma sigma) {
    decltype(sigma(1, 1) * 1.0) sum = 0.0;
    for (int i = column - 1; i <= column; ++i)
        for (int j = row - 1; j <= row; ++j)
            if (i >= 1 && i < nx && j >= 1 && j < nz) sum += sigma(i, j) * 1.0;
    return 2.0 / sum;
}

} // namespace fd

/// Pair transform of the finite-difference drivers. `values` holds the wavenumber-domain
/// potential of every electrode pair (P = N(N-1)/2 rows, one column per wavenumber, leading
/// dimension P): pairs (L, J), L < J, with J outer and L inner when `order` is 0 ((1,2), (1,3),
/// (2,3), ...), L outer and J inner otherwise. For each pair it writes, at (L, J) and (J, L) of
/// the two N x N tables with leading dimension `lead`:
///   pot        = (1/pi) * fd::potential_integral of the significant samples (m sub-steps),
///   offset_pot = (1/pi) * integral of V(k)(1 - cos(k s)): the section-plane potential less
///                the potential at the strike distance s (array type 10, "Offset
///                Pole-Dipole": (1/pi) * integral of V(k) cos(k s), the potential at s itself),
///                from V(k) / K0(k d) as a natural cubic spline of ln k through the
///                samples (fd::strike_kernel_integrals), exact for a homogeneous earth; samples
///                beyond k = 0.5 / node_spacing (node_spacing the mesh's node spacing at the
///                electrodes, in unit spacings), which the mesh does not resolve, are left out:
///                beyond them the ratio is continued towards the ground at the electrodes, or
///                held without `resistivity`; the potential at s takes the low-wavenumber
///                tail of the first two samples below the first wavenumber (fd::StrikeWeights).
/// The pair distance is d = J - L unit spacings. The diagonal is not written.
/// Returns 0, or 1 (tables untouched) when the work vectors cannot be had.
/// `strike`, when given and prepared for these wavenumbers, s, node spacing and N - 1
/// distances, saves preparing the strike weights here. `resistivity`, when given, holds the
/// resistivity of the ground at each of the N electrodes (fd::point_source_resistivity), from
/// which the strike transforms continue a pair beyond the resolved wavenumbers (fd::pair_limit,
/// fd::StrikeWeights); without it they hold the ratio of the last resolved sample.
int fourier_transform_grid(int lead, float s, int order, const double* values, double* pot,
                           double* offset_pot, int N, int n, const double* k, int m, int P,
                           int array_type, double node_spacing,
                           const fd::StrikeWeights* strike = nullptr,
                           const double* resistivity = nullptr);

/// Point transform in place: for each of the `count` points, y[j] holds the strike distance on
/// entry (|y| <= 0.02 counts as 0) and the potential (1/pi) * integral of V(k) cos(k*y) on
/// return. V of point j is row j of `values` (leading dimension ld); all n wavenumbers are used,
/// r[j] chooses the log-linear intervals (k*r < 0.5).
/// Returns 0, or 1 (y untouched) when the work vectors cannot be had.
int inverse_fourier_transform_dbl(const double* r, const double* values, double* y, int count,
                                  int n, const double* k, int ld);
/// Point transform of electrodes off the line (remote electrodes): point j (0-based) lies d[j] > 0
/// unit spacings from its source in the section plane and s[j] along strike; out[j] = (1/pi) *
/// integral of V(k) cos(k s), V of point j being row j + 1 of `values` (leading dimension ld).
/// In the section plane (|s| <= 0.02) by the pairs' own integral (fd::potential_integral of the
/// significant samples, m = 4); off it by the ratio rule of the strike transforms: V(k) / K0(k d)
/// a natural cubic spline of ln k through the significant samples, held beyond the last one
/// used, times K0(k d) (exact for a homogeneous earth at any d and s), the samples used ending
/// where k d passes 20 or k h[j] 0.5, h[j] the widest node spacing at the point and its source;
/// below the first wavenumber V is continued as the pairs' integrals continue it, A K0(k r)
/// fitted to the first two samples (fd::low_wavenumber_tail). A point whose first sample is
/// negative is integrated negated and the sign put back.
/// Returns 0, or 1 (out untouched) when the work vectors cannot be had.
int strike_point_potentials(const double* d, const double* s, const double* h, const double* values,
                            double* out, int count, int n, const double* k, int ld);

/// Twin with single-precision points and values and double wavenumbers.
int inverse_fourier_transform_flt(const float* r, const float* values, float* y, int count, int n,
                                  const double* k, int ld);
/// Single-precision twin that uses only the significant samples of each point
/// (count_significant_flt); the strike distance in and the potential out stay double.
int inverse_fourier_pair_potentials_exp(const float* r, const float* values, double* y, int count,
                                        int n, const float* k, int ld);

/// Pair tables of the finite-element solvers: pairs L = 1..N-1 outer, J = L+1..N inner, rows of
/// `values` (leading dimension ld); outputs and `resistivity` as fourier_transform_grid. s <= 0
/// is taken as 1. A pair whose first value is negative is integrated with all its values negated
/// (both outputs non-negative). Returns 0, or 1 when the work vectors cannot be had.
int inverse_fourier_pair_potentials_dbl(float s, const double* values, double* pot,
                                        double* offset_pot, int N, int n, const double* k, int m,
                                        int ld, int lead, int array_type, double node_spacing,
                                        const double* resistivity = nullptr);
/// Single-precision inputs, double outputs: a negated pair gets pot negated back (offset_pot
/// not); offset_pot is the section-plane potential less the potential at s, both by the
/// piecewise model (linear in ln k while k r < 0.5, exponential beyond), about 2 % high on a
/// half-space; the array type is not consulted.
int inverse_fourier_pair_potentials(float s, const float* values, double* pot, double* offset_pot,
                                    int N, int n, const float* k, int m, int ld, int lead);

namespace fd {

/// The integrals from 0 to k1 of V(k) and of V(k) cos(k s), V continued below the first two
/// samples (k1, v1) and (k2, v2) as a 2.5-D point-source potential A K0(k r), A and r fitted to
/// the two samples (v1/v2 = K0(k1 r)/K0(k2 r)); both integrals are then exact for a homogeneous
/// earth at any k1 r and s. While k1 r < 1e-4 the fit is its limit, the logarithmic rise
/// V = v1 + b ln(k1/k), b = (v1 - v2)/ln(k2/k1): plain k1 (v1 + b), cosine
/// (v1 sin(k1 s) + b Si(k1 s))/s. Beyond k1 r = 500 the fit stays at r = 500/k1 (K0 nears the
/// end of the double range; nearly all of the integral then lies below k1). cosine equals
/// plain at s = 0. Samples that do not decay (v2 >= v1, v2 <= 0, k2 <= k1, anything not
/// finite) give the rectangle k1 v1 and v1 sin(k1 s)/s. Never NaN; both scale with (v1, v2)
/// when these are scaled by one positive factor.
struct TailIntegrals {
    double plain;  ///< integral of V from 0 to k1
    double cosine; ///< integral of V(k) cos(k s) from 0 to k1
};
TailIntegrals low_wavenumber_tail(double k1, double k2, double v1, double v2, double s);

/// The integrals of a homogeneous earth's kernel K0(k d) at the distance d, and of the kernel
/// times 1 - cos(k s), against the cardinal functions of the n wavenumbers k: function i is the
/// natural cubic spline of ln k through 1 at k[i] and 0 at the other wavenumbers, held at its
/// end values below k[0] and above k[n-1]. So a ratio V(k)/K0(k d) given at the wavenumbers and
/// interpolated so integrates to the sums of its values times these. The plain integrals add
/// up to pi/(2 d) and the differences to (pi/2)(1/d - 1/sqrt(d^2 + s^2)). Integrals beyond
/// k d = 60 are left out (below 1e-27 of the sum).
void strike_kernel_integrals(const double* k, int n, double d, double s, double* plain,
                             double* difference);

/// The two integrals of strike_kernel_integrals from 0 to the first wavenumber k1 alone: of
/// K0(k d), and of K0(k d)(1 - cos(k s)).
void below_first_kernel(double k1, double d, double s, double& plain, double& difference);

/// Weights w[0..n-1] of a rule linear in the samples: the sum of w[i] v[i] is k[0] v[0] (v held
/// below the first wavenumber) plus the integral from k[0] to k[n-1] of the natural cubic
/// spline, in ln k, through k[i] v[i] (the integrand of dk = k d ln k). Samples of any sign; k
/// increasing and positive. n < 1 writes nothing, n = 1 gives k[0].
void wavenumber_spline_weights(const double* k, int n, double* weights);

/// Integral from 0 to infinity of the potential samples v at the wavenumbers k (n leading
/// samples, m spline sub-steps per interval): the low-wavenumber tail below k[0], the
/// exponentiated Akima spline of ln v above it and its exponential end (log_spline_integral_dbl
/// without its rectangle). Every pair potential on the section plane is (1/pi) times this.
double potential_integral(const double* k, const double* v, int n, int m);
double potential_integral(const float* k, const float* v, int n, int m);

} // namespace fd
