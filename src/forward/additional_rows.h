// The fractional-n rows that the data files add for dipole-dipole, Wenner-Schlumberger and
// pole-dipole.
#pragma once

#include "forward/noise.h"
#include "model/records_fwd.h"

#include <algorithm>
#include <vector>

namespace forward {

/// One fractional-n row: dipoles of b electrodes m apart (n = m / b), starting at electrode p
/// and spanning `span` electrode steps; its electrodes and the noise factor 1 + L G.
struct AdditionalRow {
    int b = 0, m = 0, p = 0, span = 0;
    float n = 0.0f, factor = 1.0f;
    int c1 = 0, c2 = 0, p1 = 0, p2 = 0;
};

/// The rows of one dipole length b and separation m: p = 1 .. factors.size(), each with its
/// noise factor 1 + L G.
struct AdditionalGroup {
    int b = 0, m = 0, span = 0;
    std::vector<float> factors;
};

/// The group of b and m spanning `span` steps on nelec electrodes (none when the span leaves no
/// row): with a noise level above 0 it draws one deviate a row, in row order.
inline void add_group(std::vector<AdditionalGroup>& groups, int b, int m, int span, int nelec,
                      float level) {
    const int rows = nelec - span;
    if (rows < 1) return;
    AdditionalGroup g{b, m, span, std::vector<float>(std::size_t(rows), 0.0f)};
    if (level > 0.0f) gaussian_noise_array(rows, g.factors.data());
    for (float& f : g.factors)
        f = 1.0f + level * deviate_within(f, level, 1.0f);
    groups.push_back(std::move(g));
}

/// The groups of internal code 5 or 7 on nelec electrodes, in file order: b = 2 ..
/// (nelec - 3) / 3 (at most 24), m = 1 .. nelec - 2b for 5 or nelec - b for 7 (at most 20),
/// span 2b + m or b + 2m.
inline std::vector<AdditionalGroup> additional_groups(int code, int nelec, float level) {
    std::vector<AdditionalGroup> groups;
    const int top = std::min((nelec - 3) / 3, 24);
    for (int b = 2; b <= top; ++b) {
        const int mmax = std::min(code == 5 ? nelec - 2 * b : nelec - b, 20);
        for (int m = 1; m <= mmax; ++m)
            add_group(groups, b, m, code == 5 ? 2 * b + m : b + 2 * m, nelec, level);
    }
    return groups;
}

/// The pole-dipole groups: b = 2 .. 5, m = 1 .. 20, span b + m (one set; the forward rows
/// C1 = p, P1 = p + m, P2 = P1 + b and the reverse ones P2 = p, P1 = p + b, C1 = P1 + m each take
/// a set of their own).
inline std::vector<AdditionalGroup> pole_dipole_groups(int nelec, float level) {
    std::vector<AdditionalGroup> groups;
    for (int b = 2; b <= 5; ++b)
        for (int m = 1; m <= 20; ++m)
            add_group(groups, b, m, b + m, nelec, level);
    return groups;
}

/// The apparent resistivity and IP of a fractional-n row with electrodes c1, c2 (0: none), p1,
/// p2 from the record's pair tables (`lead` entries a row): K dV and 1000 (1 - dV / dVip) (or
/// 1000 dVip / dV with the complex IP model), both times the noise factor. With water and the
/// exact underwater factor (geometric_factor_type != 0) K becomes 4 pi / S of the direct and
/// image terms. False when dV is 0 or a value is not finite: the row is left out.
bool fractional_row_values(const ModelSettings& settings, int lead, float k, int c1, int c2, int p1,
                           int p2, float factor, float& rho, float& ip);

/// The spectrum of a fractional-n row as the data's are formed: at each of settings.nfreq
/// frequencies the in-phase and quadrature values K dV of the real and imaginary spectral pair
/// tables of `potentials` (a block of lead x lead a frequency), K as for fractional_row_values.
/// False when a real difference is 0 or a value is not finite: the row is left out.
bool fractional_row_spectrum(const ModelSettings& settings, const Potentials& potentials, int lead,
                             float k, int c1, int c2, int p1, int p2, std::vector<float>& in_phase,
                             std::vector<float>& quadrature);

/// Row p (1-based) of group g of code 5 (C2 = p, C1 = p + b, P1 = C1 + m, P2 = P1 + b) or 7
/// (C1 = p, P1 = p + m, P2 = P1 + b, C2 = P2 + m).
inline AdditionalRow additional_row_of(int code, const AdditionalGroup& g, int p) {
    AdditionalRow r;
    r.b = g.b;
    r.m = g.m;
    r.span = g.span;
    r.p = p;
    r.n = float(g.m) / float(g.b);
    r.factor = g.factors[std::size_t(p - 1)];
    const int b = g.b, m = g.m;
    if (code == 5)
        r.c2 = p, r.c1 = p + b, r.p1 = p + b + m, r.p2 = p + 2 * b + m;
    else
        r.c1 = p, r.p1 = p + m, r.p2 = p + m + b, r.c2 = p + b + 2 * m;
    return r;
}

/// Calls row(r) for every fractional-n row of internal code 5 or 7 on nelec electrodes, in file
/// order (additional_groups).
template <class Row> void additional_rows(int code, int nelec, float level, Row row) {
    for (const AdditionalGroup& g : additional_groups(code, nelec, level))
        for (int p = 1; p <= int(g.factors.size()); ++p)
            row(additional_row_of(code, g, p));
}

} // namespace forward
