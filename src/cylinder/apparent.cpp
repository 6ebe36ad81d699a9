// The data set of a ring of electrodes: transfer values, apparent IP, spectra and the
// Cole-Cole fit of every datum.
#include "cylinder/cylinder.h"

#include "ipsolve/colecole.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "model/utilities.h"

#include <algorithm>
#include <vector>

namespace cyl {

namespace {

// One datum of the ring: its electrodes, n factor and spacing.
struct RingDatum {
    int c1 = 0, c2 = 0, p1 = 0, p2 = 0;
    float n = 1.0f;
    int spacing = 1;
};

// Number of data of level d for array code `code` on N electrodes.
int level_size(int code, int N, int d) {
    switch (code) {
    case 1:
    case 2:
    case 3:
        return std::max(0, N + 1 - 3 * d);
    case 5:
        return d + 3 <= N ? N : 0;
    case 7:
        return std::max(0, N - 2 * d);
    default:
        return 0;
    }
}

// Datum t (1-based) of level d; an electrode number above N goes round the ring.
RingDatum ring_datum(int code, int N, int d, int t) {
    RingDatum r;
    if (code == 1 || code == 2 || code == 3) {
        const int a = 3 * d + t;
        if (code == 1) r = {a - 3 * d, a, a - 2 * d, a - d};
        if (code == 2) r = {a - 2 * d, a - 3 * d, a - d, a};
        if (code == 3) r = {a - 3 * d, a - d, a - 2 * d, a};
        r.spacing = d;
    } else if (code == 5) {
        const int q = t + d + 2;
        r = {q - d - 1, q - d - 2, q - 1, q};
        r.n = float(d);
    } else {
        r = {t, t + 2 * d + 1, t + d, t + d + 1};
        r.n = float(d);
    }
    for (int* e : {&r.c1, &r.c2, &r.p1, &r.p2})
        if (*e > N) *e -= N;
    return r;
}

// P(P1|C1) - P(P1|C2) - P(P2|C1) + P(P2|C2) of the table with leading dimension lead, in
// double.
template <class T> double transfer(const T* table, int lead, const RingDatum& r) {
    auto P = [&](int i, int j) { return double(table[index2d(i, j, lead)]); };
    return (P(r.p1, r.c1) - P(r.p1, r.c2)) - (P(r.p2, r.c1) - P(r.p2, r.c2));
}

} // namespace

int apparent_values(const ApparentInputs& in, ApparentOutputs& out) {
    const int N = in.nelec, F = in.nfreq > 0 ? in.nfreq : 0;
    const int levels = std::min({in.levels, in.max_level_rows, in.level_stride});
    const std::size_t block = std::size_t(N) * N;
    std::vector<float> re(std::size_t(F) + 1), im(std::size_t(F) + 1);
    int g = 0;
    for (int d = 1; d <= levels; ++d) {
        const int size = std::min(level_size(in.array_type, N, d), in.max_positions);
        int t = 0;
        while (t < size && g < in.max_data) {
            ++t;
            const RingDatum r = ring_datum(in.array_type, N, d, t);
            const float dv =
                float(in.dc_flt ? transfer(in.dc_flt, in.lead, r) : transfer(in.dc, in.lead, r));
            float ip = 0.0f;
            if (in.ip > 0) {
                const double dv_ip = in.ip_table_flt ? transfer(in.ip_table_flt, in.lead, r)
                                                     : transfer(in.ip_table, in.lead, r);
                // A datum whose IP transfer value is 0 (a symmetric one) has no apparent IP.
                if (dv_ip != 0.0) ip = float(1000.0 * (dv_ip - double(dv)) / dv_ip);
            }
            if (out.level_values) out.level_values[index2d(d, t, in.level_stride)] = dv;
            if (out.level_ip && in.ip > 0) out.level_ip[index2d(d, t, in.level_stride)] = ip;
            out.values[g] = dv;
            if (in.ip > 0) out.ip_values[g] = ip;
            out.n_factor[g] = r.n;
            out.spacing[g] = r.spacing;
            out.first[g] = t;
            out.c1[g] = float(r.c1);
            out.c2[g] = float(r.c2);
            out.p1[g] = float(r.p1);
            out.p2[g] = float(r.p2);
            for (int f = 0; f < F; ++f) {
                re[f] = float(transfer(in.spectral_re + f * block, N, r));
                im[f] = float(transfer(in.spectral_im + f * block, N, r));
                out.spectrum_re[std::size_t(g) + std::size_t(f) * in.max_data] = re[f];
                out.spectrum_im[std::size_t(g) + std::size_t(f) * in.max_data] = im[f];
            }
            if (F > 0) {
                // Without an apparent IP there is no chargeability to hold in the fit.
                float c = 0.0f, rms = 0.0f, tau = 0.0f;
                if (in.ip > 0 && ip != 0.0f) {
                    tau = fit_cole_cole(F, dv, 0.001f * ip, in.frequencies, re.data(), im.data(),
                                        &c, &rms, in.status_canvas);
                    if (rms == fit_no_memory) out.fit_refused = true;
                }
                out.tau[g] = tau;
                out.cexp[g] = c;
            }
            ++g;
        }
        if (out.level_counts) out.level_counts[d - 1] = t;
    }
    return g;
}

} // namespace cyl

namespace {

// The inputs and outputs of a run on the record's tables.
void record_tables(ModelSettings& s, const ProgLim& limits, const Potentials& potentials, int nfreq,
                   float* values, gfx::Canvas* status_canvas, cyl::ApparentInputs& in,
                   cyl::ApparentOutputs& out) {
    in.nfreq = nfreq;
    in.frequencies = s.frequencies;
    in.ip_table = s.potential_table_a_ip;
    in.lead = limits.max_electrodes;
    in.spectral_re = potentials.spectral_table_a;
    in.spectral_im = potentials.spectral_table_b;
    in.levels = s.nlev;
    in.nelec = s.nelec;
    in.array_type = s.array_type;
    in.max_data = limits.max_data_points;
    in.level_stride = limits.max_levels;
    in.max_level_rows = limits.max_spacing_ratio + 1;
    in.max_positions = limits.max_electrodes;
    in.status_canvas = status_canvas;
    // The level tables hold the apparent values; a run into another table leaves them.
    if (values == s.app_resistivity) {
        out.level_values = s.app_res_grid;
        out.level_ip = s.app_ip_grid;
    }
    out.level_counts = s.level_counts;
    out.values = values;
    out.ip_values = s.app_ip;
    out.n_factor = s.datum_n;
    out.spacing = s.datum_a;
    out.first = s.datum_first_electrode;
    out.c1 = s.cyl_elec_c1;
    out.c2 = s.cyl_elec_c2;
    out.p1 = s.cyl_elec_p1;
    out.p2 = s.cyl_elec_p2;
    out.spectrum_re = s.sip_inphase;
    out.spectrum_im = s.sip_quadrature;
    out.tau = s.datum_tau;
    out.cexp = s.datum_cexp;
}

int run_on_records(const cyl::ApparentInputs& in, cyl::ApparentOutputs& out, bool* complete) {
    const int count = cyl::apparent_values(in, out);
    if (out.fit_refused)
        model::report_error(model::Shown::box, "Error Message", "Insufficient memory!.");
    if (complete) *complete = !out.fit_refused;
    return count;
}

} // namespace

int calc_apparent_cole_cole(ModelSettings& s, const ProgLim& limits, const Potentials& potentials,
                            int ip, int nfreq, const double* dc, float* values,
                            gfx::Canvas* status_canvas, bool* complete) {
    cyl::ApparentInputs in;
    cyl::ApparentOutputs out;
    record_tables(s, limits, potentials, nfreq, values, status_canvas, in, out);
    in.ip = ip;
    in.dc = dc;
    return run_on_records(in, out, complete);
}

int calc_apparent_cole_cole_flt(ModelSettings& s, const ProgLim& limits,
                                const Potentials& potentials, int nfreq, const float* dc,
                                const float* ip_table, float* values, gfx::Canvas* status_canvas,
                                bool* complete) {
    cyl::ApparentInputs in;
    cyl::ApparentOutputs out;
    record_tables(s, limits, potentials, nfreq, values, status_canvas, in, out);
    in.ip = 1;
    in.dc_flt = dc;
    in.ip_table_flt = ip_table;
    return run_on_records(in, out, complete);
}
