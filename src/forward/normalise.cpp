// Homogeneous-earth normalisation: the discretisation error of the mesh, measured on a
// homogeneous earth of conductivity 1, is divided out of every calculated pair potential.
#include "forward/commands.h"
#include "forward/mesh_reach.h"
#include "forward/solver_chain.h"

#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "model/utilities.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr float one_over_two_pi = 0.15915492f;

struct PairFactors {
    int i, j;
    float inline_factor, offset_factor;
};

// Exact half-space potential over the homogeneous run's one, per pair; false (with the pair)
// when a divisor is 0 or not finite.
bool surface_factors(const ModelSettings& s, const double* t10, const double* t11, int n,
                     std::vector<PairFactors>& out, int& bad_i, int& bad_j) {
    const float e = s.electrode_offset_ratio;
    for (int i = 1; i < s.nelec; ++i)
        for (int j = i + 1; j <= s.nelec; ++j) {
            const float d = float(j - i);
            const float r = std::sqrt(d * d + e * e);
            const float a = one_over_two_pi / d;
            const float b = one_over_two_pi / d - one_over_two_pi / r;
            const double h = t10[index2d(i, j, n)], ho = t11[index2d(i, j, n)];
            // Without an offset the offset potentials vanish, and so does their factor.
            const bool offset_ok = b == 0.0f || (ho != 0.0 && std::isfinite(ho));
            if (h == 0.0 || !std::isfinite(h) || !offset_ok) {
                bad_i = i, bad_j = j;
                return false;
            }
            out.push_back({i, j, float(a / h), b == 0.0f ? 0.0f : float(b / ho)});
        }
    return true;
}

void electrode_position(const ModelSettings& s, int k, float& x, float& z) {
    if (k <= s.nelec) {
        x = float(k - 1);
        z = 0.0f;
    } else {
        x = s.borehole_x[k - s.nelec - 1];
        z = s.borehole_z[k - s.nelec - 1];
    }
}

bool borehole_factors(const ModelSettings& s, const double* t10, int n,
                      std::vector<PairFactors>& out, int& bad_i, int& bad_j) {
    const float e = s.electrode_offset_ratio;
    for (int i = 1; i < s.nelec_total; ++i)
        for (int j = i + 1; j <= s.nelec_total; ++j) {
            float xi, zi, xj, zj;
            electrode_position(s, i, xi, zi);
            electrode_position(s, j, xj, zj);
            const float dx = xi - xj, dz = zi - zj, zs = zi + zj;
            const float s1 =
                1.0f / std::sqrt(dx * dx + dz * dz) + 1.0f / std::sqrt(dx * dx + zs * zs);
            const float s2 = 1.0f / std::sqrt(dx * dx + dz * dz + e * e) +
                             1.0f / std::sqrt(dx * dx + zs * zs + e * e);
            const double h = t10[index2d(i, j, n)];
            if (h == 0.0 || !std::isfinite(h)) {
                bad_i = i, bad_j = j;
                return false;
            }
            // Both factors take the in-line homogeneous run, as the stored results were made.
            const float f1 = 1.0f / float(h * 12.566372 / s1);
            const float f2 = 1.0f / float(h * 12.566372 / s2);
            out.push_back({i, j, f1, f2});
        }
    return true;
}

void scale_pair(double* table, int i, int j, int n, float factor) {
    table[index2d(i, j, n)] *= factor;
    table[index2d(j, i, n)] = table[index2d(i, j, n)];
}

} // namespace

model::SolverResult normalise_potentials(ModelSettings& s, const ProgLim& limits, Potentials& p) {
    using forward::Solver;
    const int n = limits.max_electrodes;
    Solver solver = forward::chain_solver(s);
    if (solver == Solver::fd_9pt || solver == Solver::fd_dm) solver = Solver::fd_5pt;
    // The homogeneous run must not overwrite the remote potentials of the model.
    std::vector<double> remote(std::size_t(2 * n + 1), 0.0);
    const model::SolverResult status =
        forward::run_solver(s, limits, solver, forward::widest_datum_span(s), nullptr,
                            p.potential_table_1, p.potential_table_2, remote.data());
    if (!status.ok()) return status;

    std::vector<PairFactors> factors;
    int bad_i = 0, bad_j = 0;
    const bool ok = s.nborehole_nodes > 0
                        ? borehole_factors(s, p.potential_table_1, n, factors, bad_i, bad_j)
                        : surface_factors(s, p.potential_table_1, p.potential_table_2, n, factors,
                                          bad_i, bad_j);
    if (!ok) {
        char text[300];
        std::snprintf(text, sizeof text,
                      "The normalisation run gave no potential for the electrodes %d and %d.\n"
                      "The potentials were not normalised.",
                      bad_i, bad_j);
        model::report_error(model::Shown::box, "Error Message", "%s", text);
        return model::SolverResult::failure(model::SolverStatus::bad_result);
    }
    for (const PairFactors& f : factors) {
        scale_pair(s.potential_table_a, f.i, f.j, n, f.inline_factor);
        scale_pair(s.potential_table_a_ip, f.i, f.j, n, f.inline_factor);
        scale_pair(s.potential_table_b, f.i, f.j, n, f.offset_factor);
        scale_pair(s.potential_table_b_ip, f.i, f.j, n, f.offset_factor);
    }
    return {};
}
