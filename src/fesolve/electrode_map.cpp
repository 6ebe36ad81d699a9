// Remote-electrode nodes, Gaussian spreading of an electrode over a cell, and the wavenumber
// count for distant electrodes.
#include "fesolve/electrode_map.h"

#include "fdsolve/electrode_nodes.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/services.h"

#include <algorithm>
#include <cmath>

void get_electrode_node_numbers(int s, int m, int a, int ny, int nx, const float* positions,
                                float x1, float x2, int* list, float* weights, int* na, int* nb) {
    const float reference = positions[a - 1];
    int found[3];
    float w[2];
    int at = 0, weight_at = 0;
    for (float x : {x1, x2}) {
        find_electrode_nodes(a, s, m, nx - 1, x, reference, positions, found, w);
        list[at++] = found[0];
        for (int i = 1; i <= found[0]; ++i) {
            list[at++] = found[i] * ny + 1;
            weights[weight_at++] = w[i - 1];
        }
    }
    *na = list[0];
    *nb = list[*na + 1];
}

void gaussian_interpolation_nodes(ElectrodeNode* table, int index, float x1, float z1, float x2,
                                  float z2, float x3, float z3, float x4, float z4) {
    ElectrodeNode& e = table[index];
    const double hx = 0.5 * ((double(x1) - x3) + (double(x2) - x4));
    const double hz = 0.5 * ((double(z1) - z3) + (double(z2) - z4));
    const float cx[4] = {x1, x2, x3, x4}, cz[4] = {z1, z2, z3, z4};
    double size2 = hx * hx + hz * hz;
    if (!(size2 > 0.0)) {
        // Corners given in an order whose differences cancel: take the cell's extent instead,
        // so that no weight becomes 0/0.
        const auto [xl, xh] = std::minmax({x1, x2, x3, x4});
        const auto [zl, zh] = std::minmax({z1, z2, z3, z4});
        size2 = double(xh - xl) * (xh - xl) + double(zh - zl) * (zh - zl);
        if (!(size2 > 0.0)) size2 = 1.0;
    }
    const double q = 1.0 / size2;
    double g[4], sum = 0.0;
    for (int n = 0; n < 4; ++n) {
        const double dx = double(e.x) - cx[n], dz = double(e.z) - cz[n];
        g[n] = std::exp(-q * (dx * dx + dz * dz));
        sum += g[n];
    }
    for (int n = 0; n < 4; ++n)
        e.weight[n] = float(g[n] / sum);
    model::trace("Gaussian interpolation\n");
    model::trace("Electrode coordinate %5.2f,%5.2f\n", double(e.x), double(e.z));
    model::trace("Nodes  %5.2f,%5.2f %5.2f,%5.2f %5.2f,%5.2f %5.2f,%5.2f\n", double(x1), double(z1),
                 double(x2), double(z2), double(x3), double(z3), double(x4), double(z4));
}

int extended_count_for_distance(int flag, float u, float v, int n) {
    if (flag < 1) return 12;
    auto beyond = [n](float p) -> double {
        if (p < 1.0f) return std::fabs(p);
        if (p > float(n)) return std::fabs(p - float(n - 1));
        return 1.0;
    };
    const double distance = std::max(beyond(u), beyond(v));
    if (distance <= 2.5) return 12;
    int k = 8;
    double sum = 1.0, term = 0.25;
    while (sum < distance && k < 26) {
        term *= 1.5;
        sum += term;
        ++k;
    }
    return std::max(k, 12);
}
