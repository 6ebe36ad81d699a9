// The fractional-n rows that the data files add for dipole-dipole and Wenner-Schlumberger.
#pragma once

#include "forward/noise.h"

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

/// Calls row(r) for every fractional-n row of internal code 5 (C2 = p, C1 = p + b, P1 = C1 + m,
/// P2 = P1 + b) or 7 (C1 = p, P1 = p + m, P2 = P1 + b, C2 = P2 + m) on nelec electrodes:
/// b = 2 .. (nelec - 3) / 3 (at most 24), m = 1 .. nelec - 2b for 5 or nelec - b for 7 (at most
/// 20), p = 1 .. nelec - span with span 2b + m or b + 2m. With a noise level above 0 each (b, m)
/// draws one deviate a row, in row order.
template <class Row> void additional_rows(int code, int nelec, float level, Row row) {
    const int top = std::min((nelec - 3) / 3, 24);
    for (int b = 2; b <= top; ++b) {
        const int mmax = std::min(code == 5 ? nelec - 2 * b : nelec - b, 20);
        for (int m = 1; m <= mmax; ++m) {
            AdditionalRow r;
            r.b = b;
            r.m = m;
            r.span = code == 5 ? 2 * b + m : b + 2 * m;
            const int rows = nelec - r.span;
            if (rows < 1) continue;
            r.n = float(m) / float(b);
            std::vector<float> g(std::size_t(rows), 0.0f);
            if (level > 0.0f) gaussian_noise_array(rows, g.data());
            for (r.p = 1; r.p <= rows; ++r.p) {
                const int p = r.p;
                r.factor = 1.0f + level * deviate_within(g[std::size_t(p - 1)], level, 1.0f);
                if (code == 5)
                    r.c2 = p, r.c1 = p + b, r.p1 = p + b + m, r.p2 = p + 2 * b + m;
                else
                    r.c1 = p, r.p1 = p + m, r.p2 = p + m + b, r.c2 = p + b + 2 * m;
                row(r);
            }
        }
    }
}

} // namespace forward
