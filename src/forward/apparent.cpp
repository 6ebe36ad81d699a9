// Apparent resistivity and IP of the standard arrays and their geometric factors.
#include "forward/apparent.h"

#include "ipsolve/colecole.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The constants of the surface factors, as the stored data files were made with them.
constexpr double two_pi_s = 6.283186;
constexpr double pi_s = 3.141593;

// Potential differences of one datum from the four pair tables (entry (i, j) at index2d(i, j,
// N)); the IP tables are read transposed.
struct PairTables {
    const double *res, *ip, *off_res, *off_ip;
    int n;
    double p(int i, int j) const { return res[index2d(i, j, n)]; }
    double pi(int i, int j) const { return ip[index2d(i, j, n)]; }
    double q(int i, int j) const { return off_res[index2d(i, j, n)]; }
    double qi(int i, int j) const { return off_ip[index2d(i, j, n)]; }
};

void potential_differences(int code, const forward::DatumElectrodes& e, const PairTables& t,
                           double& dv, double& dvip) {
    switch (code) {
    case 4:
        dv = t.p(e.c1, e.p1);
        dvip = t.pi(e.p1, e.c1);
        return;
    case 8:
        dv = t.q(e.c1, e.p1);
        dvip = t.qi(e.p1, e.c1);
        return;
    case 6:
        dv = t.p(e.c1, e.p1) - t.p(e.c1, e.p2);
        dvip = t.pi(e.p1, e.c1) - t.pi(e.p2, e.c1);
        return;
    case 10:
        // C1 stands on the offset line and P1, P2 on the main line; for this array the solvers
        // write the potential at the strike offset itself into the offset tables (not the
        // in-line potential less it, as for code 8).
        dv = t.q(e.c1, e.p1) - t.q(e.c1, e.p2);
        dvip = t.qi(e.p1, e.c1) - t.qi(e.p2, e.c1);
        return;
    default:
        dv = (t.p(e.c1, e.p1) - t.p(e.c2, e.p1)) - (t.p(e.c1, e.p2) - t.p(e.c2, e.p2));
        dvip = (t.pi(e.p1, e.c1) - t.pi(e.p1, e.c2)) - (t.pi(e.p2, e.c1) - t.pi(e.p2, e.c2));
        return;
    }
}

// Every electrode the datum uses lies on the line, and no two of them coincide.
bool electrodes_valid(const forward::DatumElectrodes& e, int nelec) {
    const int used[4] = {e.c1, e.c2, e.p1, e.p2};
    int k = 0;
    int list[4];
    for (int v : used) {
        if (v == 0) continue;
        if (v < 1 || v > nelec) return false;
        list[k++] = v;
    }
    if (e.c1 == 0 || e.p1 == 0) return false;
    for (int i = 0; i < k; ++i)
        for (int j = i + 1; j < k; ++j)
            if (list[i] == list[j]) return false;
    return true;
}

double geometric_factor(const ModelSettings& s, int code, const forward::DatumElectrodes& e, int a,
                        float n) {
    const float d = s.electrode_offset_ratio;
    const bool exact = s.zwatermax != 0.0f && s.geometric_factor_type != 0;
    const float z = s.zwatermax;
    switch (code) {
    case 4:
        return exact ? image_geometric_factor(4, d, 2, e.p1, e.c1, 0, 0, z)
                     : forward::surface_geometric_factor(code, e, a, n, d);
    case 6:
        return exact ? image_geometric_factor(6, d, 3, e.p1, e.c1, e.p2, 0, z)
                     : forward::surface_geometric_factor(code, e, a, n, d);
    case 8:
        return exact ? image_geometric_factor(8, d, 4, e.p1, e.c1, 0, 0, z)
                     : forward::surface_geometric_factor(code, e, a, n, d);
    case 10:
        return image_geometric_factor(10, d, 3, e.p1, e.c1, e.p2, 0, exact ? z : 0.0f);
    default:
        if (s.electrode_type == 1)
            return static_cast<float>(line_electrode_geometric_factor(float(e.c1), float(e.c2),
                                                                      float(e.p1), float(e.p2)));
        if (exact) return image_geometric_factor(code, d, 4, e.p1, e.c1, e.p2, e.c2, z);
        return forward::surface_geometric_factor(code, e, a, n, d);
    }
}

void mark_unformed(ModelSettings& s, int d) {
    s.app_resistivity[d] = 0.0f;
    s.app_ip[d] = 0.0f;
    s.datum_gfactor[d] = 0.0f;
    s.datum_nelec[d] = 0;
}

} // namespace

namespace forward {

DatumElectrodes datum_electrodes(const ModelSettings& s, int code, int d) {
    if (code != 15)
        return array_electrodes(s, code, s.datum_first_electrode[d], s.datum_a[d], s.datum_n[d]);
    const float u = s.unit_spacing;
    return {round_to_int(s.c1_x[d] / u) + 1, round_to_int(s.c2_x[d] / u) + 1,
            round_to_int(s.p1_x[d] / u) + 1, round_to_int(s.p2_x[d] / u) + 1, 4};
}

DatumElectrodes array_electrodes(const ModelSettings& s, int code, int x, int a, float n) {
    DatumElectrodes e;
    const float m = std::fabs(n);
    switch (code) {
    case 1:
        e = {x, x + 3 * a, x + a, x + 2 * a, 4};
        break;
    case 2:
        e = {x + a, x, x + 2 * a, x + 3 * a, 4};
        break;
    case 3:
        e = {x, x + 2 * a, x + a, x + 3 * a, 4};
        break;
    case 4:
    case 8:
        e = {x, 0, x + a, 0, 2};
        break;
    case 6:
    case 10:
        if (n >= 0.0f)
            e = {x, 0, x + round_to_int(float(a) * m), x + round_to_int((1.0f + m) * float(a)), 0};
        else
            e = {x + a + round_to_int(float(a) * m), 0, x + a, x, 0};
        e.count = code == 6 ? 2 : 3;
        break;
    case 7:
        e = {x, x + round_to_int((2.0f * n + 1.0f) * float(a)), x + round_to_int(n * float(a)),
             x + round_to_int((1.0f + n) * float(a)), 4};
        break;
    case 9:
        e = {1, s.nelec, x, x + a, 4};
        break;
    default:
        e = {x + a, x, x + round_to_int((1.0f + n) * float(a)),
             x + round_to_int((n + 2.0f) * float(a)), 4};
        break;
    }
    return e;
}

double surface_geometric_factor(int code, const DatumElectrodes& e, int a, float n, float d) {
    const double m = std::fabs(n);
    auto inv = [](int i, int j) { return 1.0 / std::abs(i - j); };
    switch (code) {
    case 1:
    case 4:
        return two_pi_s * a;
    case 2:
        return 18.849558 * a;
    case 3:
        return 9.424779 * a;
    case 6:
        return 2.0 * pi_s * m * (1.0 + m) * a;
    case 7:
        return pi_s * n * (n + 1.0) * a;
    case 8: {
        const double t = std::sqrt(double(a) * a + double(d) * d);
        return two_pi_s * a * t / (t - a);
    }
    case 9:
        return two_pi_s / (inv(e.p1, e.c1) - inv(e.p1, e.c2) - inv(e.p2, e.c1) + inv(e.p2, e.c2));
    case 10:
        return image_geometric_factor(10, d, 3, e.p1, e.c1, e.p2, 0, 0.0f);
    case 15:
        return two_pi_s / (inv(e.p1, e.c1) - inv(e.p2, e.c1) - inv(e.p1, e.c2) + inv(e.p2, e.c2));
    default:
        return pi_s * n * (n + 1.0) * (n + 2.0) * a;
    }
}

} // namespace forward

namespace {

// The apparent values of electrodes e (spacing a, n factor n) of array `code` from the pair
// tables t; false when the electrodes or the values are not usable.
bool apparent_values_of(const ModelSettings& s, int code, const PairTables& t, int nelec,
                        const forward::DatumElectrodes& e, int a, float n,
                        forward::ApparentValues& v) {
    if (!electrodes_valid(e, nelec)) return false;
    double dv = 0.0, dvip = 0.0;
    potential_differences(code, e, t, dv, dvip);
    const float k = static_cast<float>(geometric_factor(s, code, e, a, n));
    const float rho = static_cast<float>(k * static_cast<float>(dv));
    float ip = 0.0f;
    bool ip_ok = true;
    if (s.nip > 0) {
        const double value =
            s.complex_ip_model == 1 ? 1000.0 * dvip / dv : 1000.0 * (dvip - dv) / dvip;
        ip = static_cast<float>(value);
        ip_ok = dvip != 0.0 && std::isfinite(ip);
    }
    if (dv == 0.0 || k == 0.0f || !std::isfinite(k) || !std::isfinite(rho) || !ip_ok) return false;
    v = {rho, ip, k};
    return true;
}

// The apparent values of datum d of array `code` from the pair tables t, or the datum marked
// unformed when its electrodes or its values are not usable.
void apparent_values_of_datum(ModelSettings& s, int code, const PairTables& t, int nelec, int d) {
    const forward::DatumElectrodes e = forward::datum_electrodes(s, code, d);
    s.datum_c1[d] = e.c1;
    s.datum_c2[d] = e.c2;
    s.datum_p1[d] = e.p1;
    s.datum_p2[d] = e.p2;
    forward::ApparentValues v;
    if (!apparent_values_of(s, code, t, nelec, e, s.datum_a[d], s.datum_n[d], v)) {
        mark_unformed(s, d);
        return;
    }
    s.app_resistivity[d] = v.rho;
    s.app_ip[d] = v.ip;
    s.datum_gfactor[d] = v.k;
    s.datum_nelec[d] = e.count;
}

} // namespace

void calappres_arrays(ModelSettings& s, const ProgLim& limits) {
    const int code = s.array_type;
    const PairTables t{s.potential_table_a, s.potential_table_a_ip, s.potential_table_b,
                       s.potential_table_b_ip, limits.max_electrodes};
    const int nelec = s.nelec < limits.max_electrodes ? s.nelec : limits.max_electrodes;
    // Each datum's values are its own: blocks of data run on the solver threads.
    constexpr int block = 8192;
    const int ndata = s.ndata;
    sys::run_in_parallel((ndata + block - 1) / block, sys::pool_threads(), [&](int, int b) {
        for (int d = b * block; d < std::min(ndata, (b + 1) * block); ++d)
            apparent_values_of_datum(s, code, t, nelec, d);
    });
}

bool forward::apparent_values_at(const ModelSettings& s, const ProgLim& limits, int code, int x,
                                 int a, float n, ApparentValues& v) {
    const PairTables t{s.potential_table_a, s.potential_table_a_ip, s.potential_table_b,
                       s.potential_table_b_ip, limits.max_electrodes};
    const int nelec = s.nelec < limits.max_electrodes ? s.nelec : limits.max_electrodes;
    return apparent_values_of(s, code, t, nelec, array_electrodes(s, code, x, a, n), a, n, v);
}

bool datum_formed(const ModelSettings& s, int d) {
    return s.datum_nelec[d] != 0;
}

float image_geometric_factor(int code, float d, int count, int x3, int x4, int x5, int x6,
                             float z) {
    const double zz = 4.0 * double(z) * double(z);
    auto term = [zz](double r) { return 1.0 / r + 1.0 / std::sqrt(r * r + zz); };
    auto dist = [](int i, int j) { return double(std::abs(i - j)); };
    double sum;
    if (code == 8) {
        // The pair at the offset line d enters once per electrode, as the surface factor
        // 2 pi / (1/r - 1/t) counts it; with z = 0 both agree.
        const double r = dist(x3, x4);
        const double t = std::sqrt(r * r + double(d) * d);
        sum = term(r) - term(t);
    } else if (code == 10) {
        const double r1 = std::sqrt(dist(x3, x4) * dist(x3, x4) + double(d) * d);
        const double r2 = std::sqrt(dist(x5, x4) * dist(x5, x4) + double(d) * d);
        sum = term(r1) - term(r2);
    } else if (count == 4) {
        sum = term(dist(x3, x4)) - term(dist(x5, x4)) - term(dist(x3, x6)) + term(dist(x5, x6));
    } else if (count == 3) {
        sum = term(dist(x3, x4)) - term(dist(x5, x4));
    } else {
        sum = term(dist(x3, x4));
    }
    const float s = static_cast<float>(sum);
    return 12.566372f / s;
}

double line_electrode_geometric_factor(float x1, float x2, float x3, float x4) {
    const long double ratio = (std::fabs((long double)x1 - x3) * std::fabs((long double)x2 - x4)) /
                              (std::fabs((long double)x2 - x3) * std::fabs((long double)x1 - x4));
    return static_cast<double>(-3.141592654L / std::log(ratio));
}

namespace {

// The remote-electrode correction of pole-pole (remote C2 and P2) and pole-dipole (remote C2)
// data: the potential differences that the remote electrodes add, from a remote table of
// 2 m + 1 entries (entry j at electrode j from C2, m + i at P2 from electrode i, 2 m + 1 at P2
// from C2, 1-based).
double remote_correction(const ModelSettings& s, int code, const forward::DatumElectrodes& e,
                         const double* r, int m) {
    if (!r) return 0.0;
    if (code == 4 && s.remote_electrodes == 1) return -r[e.p1 - 1] - r[m + e.c1 - 1] + r[2 * m];
    if (code == 6 && s.remote_electrodes > 0) return -r[e.p1 - 1] + r[e.p2 - 1];
    return 0.0;
}

// Forms the datum's in-phase and quadrature values of every frequency; false when a potential
// difference is 0 or a value is not finite.
bool spectral_values(ModelSettings& s, const ProgLim& limits, const Potentials& p, int d,
                     const forward::DatumElectrodes& e, int m) {
    const int n = limits.max_electrodes;
    const std::size_t block = std::size_t(n) * n, remote_block = 2 * (2 * std::size_t(n) + 1);
    const std::size_t stride = std::size_t(limits.max_data_points);
    for (int f = 0; f < s.nfreq; ++f) {
        const PairTables t{p.spectral_table_a + f * block, p.spectral_table_b + f * block,
                           p.spectral_table_a + f * block, p.spectral_table_b + f * block, n};
        double dv_re = 0.0, dv_im = 0.0;
        potential_differences(s.array_type, e, t, dv_re, dv_im);
        const double* kept = p.spectral_remote ? p.spectral_remote + f * remote_block : nullptr;
        dv_re += remote_correction(s, s.array_type, e, kept, m);
        dv_im += remote_correction(s, s.array_type, e, kept ? kept + remote_block / 2 : nullptr, m);
        const float k = s.datum_gfactor[d];
        const float in = float(k * float(dv_re)), quadrature = float(k * float(dv_im));
        if (dv_re == 0.0 || !std::isfinite(in) || !std::isfinite(quadrature)) return false;
        s.sip_inphase[d + f * stride] = in;
        s.sip_quadrature[d + f * stride] = quadrature;
    }
    return true;
}

} // namespace

namespace forward {

bool spectral_array_supported(const ModelSettings& s) {
    const int code = s.array_type;
    return !(code == 9 || code == 10 || code == 15 || (code == 8 && s.nfreq > 0));
}

} // namespace forward

int calappres_ip(ModelSettings& s, const ProgLim& limits, const Potentials& p,
                 gfx::Canvas* status_canvas) {
    if (!forward::spectral_array_supported(s)) return s.ndata;
    calappres_arrays(s, limits);
    const int code = s.array_type, m = s.nelec_total > s.nelec ? s.nelec_total : s.nelec;
    const PairTables t{s.potential_table_a, s.potential_table_a_ip, s.potential_table_b,
                       s.potential_table_b_ip, limits.max_electrodes};
    bool memory_reported = false;
    for (int d = 0; d < s.ndata; ++d) {
        if (!datum_formed(s, d)) continue;
        const forward::DatumElectrodes e = forward::datum_electrodes(s, code, d);
        if ((code == 4 || code == 6) && s.remote_electrodes > 0) {
            double dv = 0.0, dvip = 0.0;
            potential_differences(code, e, t, dv, dvip);
            dv += remote_correction(s, code, e, p.fe_vector_a, m);
            dvip += remote_correction(s, code, e, p.fe_vector_b, m);
            const float k = s.datum_gfactor[d];
            const float rho = float(k * float(dv));
            const float ip = float(1000.0 * (dvip - dv) / dvip);
            if (dv == 0.0 || dvip == 0.0 || !std::isfinite(rho) || !std::isfinite(ip)) {
                mark_unformed(s, d);
                continue;
            }
            s.app_resistivity[d] = rho;
            s.app_ip[d] = ip;
        }
        s.datum_tau[d] = 0.0f;
        s.datum_cexp[d] = 0.0f;
        if (s.nfreq <= 0) continue;
        if (!spectral_values(s, limits, p, d, e, m)) {
            mark_unformed(s, d);
            continue;
        }
        std::vector<float> in(s.nfreq), quadrature(s.nfreq);
        const std::size_t stride = std::size_t(limits.max_data_points);
        for (int f = 0; f < s.nfreq; ++f) {
            in[f] = s.sip_inphase[d + f * stride];
            quadrature[f] = s.sip_quadrature[d + f * stride];
        }
        float c = 0.0f, rms = 0.0f;
        const float tau =
            fit_cole_cole(s.nfreq, s.app_resistivity[d], s.app_ip[d] * 0.001f, s.frequencies,
                          in.data(), quadrature.data(), &c, &rms, status_canvas);
        if (rms == fit_no_memory && !memory_reported) {
            memory_reported = true;
            model::show_message("Insufficient memory for the Cole-Cole fit of the data.",
                                "Error Message");
        }
        s.datum_tau[d] = tau;
        s.datum_cexp[d] = c;
    }
    return s.ndata;
}
