// Fixtures of the cylinder tests: the global records and a recording backend, a ring of
// electrodes on a polar mesh with its conductivities and output table, and the series solution
// of a homogeneous cylinder.
#pragma once

#include "cylinder/cylinder.h"
#include "cylinder/mesh.h"
#include "support/recording_backend.h"
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
    double P(int i, int j) const {
        return table[std::size_t(i - 1) + std::size_t(nelec) * (j - 1)];
    }
    /// P(P1|C1) - P(P1|C2) - P(P2|C1) + P(P2|C2).
    double transfer(int c1, int c2, int p1, int p2) const;
};

} // namespace cyl_test
