// Apparent resistivity and apparent IP of every datum of the standard electrode arrays, from the
// electrode-pair potential tables of a forward run, with the geometric factors of the arrays.
#pragma once

#include "model/records_fwd.h"

namespace gfx {
class Canvas;
}

/// Forms the apparent values of the first settings.ndata data of the datum list for the
/// internal array type settings.array_type.
///
/// Reads: datum_first_electrode, datum_a, datum_n (and c1_x .. p2_x in metres for the
/// multiple gradient), the four pair tables potential_table_a (resistivity run),
/// potential_table_a_ip (IP run, read transposed), potential_table_b and potential_table_b_ip
/// (offset line: the in-line potential less that at the strike offset electrode_offset_ratio,
/// but for the offset pole-dipole, code 10, the potential at that offset itself), N x N doubles
/// with N = limits.max_electrodes at index2d(i, j, N); nelec (the gradient array's C2),
/// unit_spacing, electrode_offset_ratio, electrode_type, geometric_factor_type, zwatermax,
/// complex_ip_model and nip.
/// Writes per datum: app_resistivity = K dV (ohm-m), app_ip (mV/V; 0 without IP values),
/// datum_gfactor = K, datum_c1 .. datum_p2 (0 where the array has no such electrode) and
/// datum_nelec (2, 3 or 4).
///
/// A datum that cannot be formed (an electrode outside 1 .. nelec, coincident electrodes, a
/// zero potential difference, a zero IP potential difference of a model with IP values, or any
/// result that is not finite) is marked: datum_nelec = 0 and app_resistivity, app_ip and
/// datum_gfactor = 0. datum_formed() tells the two apart. No messages; nothing else fails.
void calappres_arrays(ModelSettings& settings, const ProgLim& limits);

/// True when datum d (0-based) was formed by calappres_arrays (see there for the mark).
bool datum_formed(const ModelSettings& settings, int d);

/// Geometric factor 4 pi / S of electrodes at the floor of water of thickness z (unit spacings)
/// from the sum S of the direct and image terms T(r) = 1/r + 1/sqrt(r^2 + 4 z^2): count 4
/// gives S = T(x3-x4) - T(x5-x4) - T(x3-x6) + T(x5-x6) (x3 P1, x4 C1, x5 P2, x6 C2), count 3
/// S = T(x3-x4) - T(x5-x4), any other count S = T(x3-x4). Code 8 (equatorial dipole-dipole,
/// line offset d) uses S = T(r) - T(t) with r = |x3 - x4| and t = sqrt(r^2 + d^2); code 10
/// (offset pole-dipole) S = T(R1) - T(R2) with R1 = sqrt((x3-x4)^2 + d^2) and
/// R2 = sqrt((x5-x4)^2 + d^2). With z = 0 every code gives its surface factor. S is rounded
/// to single precision; S = 0 gives an infinite factor, which the callers refuse.
float image_geometric_factor(int code, float d, int count, int x3, int x4, int x5, int x6, float z);

/// Geometric factor of line (two-dimensional) electrodes at C1 x1, C2 x2, P1 x3, P2 x4:
/// -pi / ln(|x1-x3| |x2-x4| / (|x2-x3| |x1-x4|)), in extended precision.
double line_electrode_geometric_factor(float x1, float x2, float x3, float x4);

/// Apparent values of a spectral IP model: calappres_arrays over the datum list, then, for
/// pole-pole (settings.remote_electrodes 1) and pole-dipole data with remote electrodes, the
/// apparent resistivity and IP again with the potential differences the remote electrodes add
/// (Potentials fe_vector_a for the resistivity run, fe_vector_b for the IP run; 2 m + 1 values,
/// m = nelec_total). With settings.nfreq > 0, for every formed datum and frequency f the same
/// electrode combination on block f of spectral_table_a (real) and spectral_table_b
/// (imaginary), with the remote correction from that frequency's spectral_remote values, times
/// the datum's geometric factor, goes to sip_inphase and sip_quadrature at d + f D (D =
/// limits.max_data_points); fit_cole_cole with rho0 the apparent resistivity and m the apparent
/// IP / 1000 gives datum_tau and datum_cexp (0 for a spectrum it cannot fit). A datum with a
/// zero or non-finite difference is marked as calappres_arrays marks it. Arrays the spectra do
/// not support (forward::spectral_array_supported) are left alone. Returns settings.ndata.
int calappres_ip(ModelSettings& settings, const ProgLim& limits, const Potentials& potentials,
                 gfx::Canvas* status_canvas);

namespace forward {

/// False for the arrays whose data a spectral IP model cannot give: gradient, offset
/// pole-dipole and multiple gradient (9, 10, 15), and the equatorial dipole-dipole (8) when
/// the model has frequencies.
bool spectral_array_supported(const ModelSettings& settings);

/// Electrodes of one datum: 1-based electrode numbers, 0 where the array has none.
struct DatumElectrodes {
    int c1 = 0, c2 = 0, p1 = 0, p2 = 0;
    int count = 0; ///< the electrode-count code: 2, 3 or 4
};

/// Electrodes of datum d (0-based) of the list for internal array type `code`, as
/// calappres_arrays places them (gradient C2 = settings.nelec).
DatumElectrodes datum_electrodes(const ModelSettings& settings, int code, int d);

/// Electrodes of a datum of array `code` (not the multiple gradient, 15) whose first electrode
/// is x, with spacing a and n factor n, as datum_electrodes places them.
DatumElectrodes array_electrodes(const ModelSettings& settings, int code, int x, int a, float n);

/// Apparent values of one datum: resistivity (ohm-m), IP (mV/V) and the geometric factor.
struct ApparentValues {
    float rho = 0.0f, ip = 0.0f, k = 0.0f;
};

/// The apparent values of the datum of array `code` with first electrode x, spacing a and n
/// factor n from the record's pair tables, as calappres_arrays forms them; false for a datum it
/// would mark unformed.
bool apparent_values_at(const ModelSettings& settings, const ProgLim& limits, int code, int x,
                        int a, float n, ApparentValues& values);

/// Surface geometric factor of a datum of array type `code` with spacing a and n factor n
/// (unit spacings; the multiple gradient and the gradient from the electrodes; code 8 with the
/// line offset d), in the single-precision constants of the apparent-value routine.
double surface_geometric_factor(int code, const DatumElectrodes& e, int a, float n, float d);

} // namespace forward
