// Fixtures of the cylinder tests: the global records and a recording backend, a ring of
// electrodes on a polar mesh with its conductivities and output table, and the series solution
// of a homogeneous cylinder.
#pragma once

#include "cylinder/cylinder.h"
#include "cylinder/element.h"
#include "cylinder/mesh.h"
#include "support/recording_backend.h"
#include "support/refusal.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace cyl_test {

/// The global records (status window 200 pixels wide) and the recording backend.
class Records : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    test_support::GlobalRecords records_;
    test_support::RecordingBackend backend;

    /// test_support::refuse_memory_in_turn with the cylinder solvers' memory message.
    template <class Run, class Check> int refuse_memory(int steps, Run run, Check check) {
        return test_support::refuse_memory_in_turn(
            backend, steps, "Error Message: Insufficient memory!.", run, check);
    }
};

/// nr radii from r0 = 1 down to 0.15, each ring 1.25 times as thick as the one outside it.
std::vector<float> test_radii(int nr);

/// A homogeneous ring of nelec electrodes, k sectors a spacing, on the radii given, solved into
/// its own nelec x nelec table.
struct Ring {
    int nelec, k;
    std::vector<float> radii;
    cyl::PolarMesh mesh;
    std::vector<float> sigma, sigma_im;
    std::vector<double> table, table_im;
    std::vector<std::int32_t> nodes;

    Ring(int electrodes, int per_spacing, std::vector<float> radii_, double rho);
    cyl::SolverInputs inputs(float radius = 1.0f);
    model::SolverResult solve(float radius = 1.0f);
    model::SolverResult solve_complex() { return cyl::solve_transfer_potentials_complex(inputs()); }
    double P(int i, int j) const {
        return table[std::size_t(i - 1) + std::size_t(nelec) * (j - 1)];
    }
    /// P(P1|C1) - P(P1|C2) - P(P2|C1) + P(P2|C2) of the table, or of the imaginary parts.
    double transfer(int c1, int c2, int p1, int p2, bool imaginary = false) const;
};

/// The tables and lists of one call of cyl::apparent_values on a ring of N electrodes: the
/// potential P(i | j) = 1 / chord(i, j) and the IP potential P / (1 - m); output lists of 4000
/// data (spectra of up to 12 frequencies) filled with -7 before the call.
struct RingData {
    int N;
    std::vector<double> dc, ip;
    std::vector<float> level_values, level_ip, values, ip_values, n, c1, c2, p1, p2, sre, sim, tau,
        cexp;
    std::vector<std::int32_t> counts, spacing, first;
    cyl::ApparentInputs in;
    cyl::ApparentOutputs out;

    RingData(int electrodes, int code, int levels, double m = 0.1);
    int run() { return cyl::apparent_values(in, out); }
    std::vector<int> electrodes(int g) const {
        return {int(c1[g]), int(c2[g]), int(p1[g]), int(p2[g])};
    }
};

/// The envelope index of a polar mesh in its natural order (perm the identity).
struct PolarEnvelope {
    std::vector<int> perm, xenv;
    int size = 0; ///< entries of the envelope
    explicit PolarEnvelope(const cyl::PolarMesh& mesh);
};

/// The entries of sigma (S + kk M) of a polar mesh: add(i, j, value) for every upper-triangle
/// entry of every quadrilateral, sigma(s, j) that of the quadrilateral of sector s, ring j, and
/// of one centre triangle (middle, start, centre) of every sector with the conductivity `centre`.
template <class T, class Sigma, class Add>
void assemble_polar(const cyl::PolarMesh& mesh, float kk, Sigma sigma, T centre, Add add) {
    const int n = mesh.sectors, R = mesh.rings(), N = mesh.nodes();
    for (int s = 1; s <= n; ++s) {
        int l[8];
        for (int j = 1; j <= R; ++j) {
            cyl::quad_nodes(n, R, s, j, l);
            float x[8], y[8], S[64] = {}, M[64] = {};
            for (int q = 0; q < 8; ++q) {
                x[q] = mesh.node_y[l[q] - 1];
                y[q] = mesh.node_x[l[q] - 1];
            }
            quad8_element_matrices(x, y, S, M);
            const T value = sigma(s, j);
            for (int p = 0; p < 8; ++p)
                for (int q = p; q < 8; ++q)
                    add(l[p], l[q], value * T(S[8 * p + q] + kk * M[8 * p + q]));
        }
        const int tri[3] = {l[5], l[4], N};
        float x[3], y[3], S[9], M[9];
        for (int q = 0; q < 3; ++q) {
            x[q] = mesh.node_x[tri[q] - 1];
            y[q] = mesh.node_y[tri[q] - 1];
        }
        triangle_element_matrices(x, y, S, M);
        for (int p = 0; p < 3; ++p)
            for (int q = p; q < 3; ++q)
                add(tri[p], tri[q], centre * T(S[3 * p + q] + kk * M[3 * p + q]));
    }
}

} // namespace cyl_test
