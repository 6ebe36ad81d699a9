// Fixtures of the finite-element tests: the global records with their arrays in a temporary
// program folder and a backend that records boxes, and block models built the way the model
// reader builds them (margins growing outward, rows growing with depth).
#pragma once

#include "fesolve/fesolve.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/utilities.h"
#include "support/files.h"
#include "support/model_records.h"
#include "support/recording_backend.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fe_test {

constexpr double pi = 3.14159265358979323846;

/// The global records with their arrays for test_support::limits_for(161, 2000), in a fresh
/// temporary program folder; the recording backend installed. Destroyed (work files deleted)
/// after TearDown.
class Records : public ::testing::Test {
  protected:
    /// Stops the test when the folder or the records could not be made.
    void SetUp() override;
    void TearDown() override;
    /// Full path of a file in the program folder.
    std::string file(const std::string& name) const { return folder_.file(name); }
    test_support::TempDir folder_{"fe_test"};
    test_support::GlobalRecords records_{test_support::limits_for(161, 2000)};
    test_support::RecordingBackend backend;
};

/// A block model in the global record: nelec electrodes one unit apart, 4 node columns a unit,
/// 20 margin columns growing by 1.25 outward, rows of 0.25 to depth 1 then growing by 1.1 and
/// 1.5 (nz rows), every cell of resistivity rho. Optional topography: elevations of the
/// electrodes (tflag 1). The tables of the runs are the record's.
struct BlockModel {
    int nelec = 0, m = 20, p = 4, nx = 0, nz = 0;
    explicit BlockModel(int electrodes, double rho = 1.0, int rows = 20,
                        const std::vector<float>& elevations = {});
    /// Resistivity of the cells whose centre satisfies `inside(x, z)` (x from the first
    /// electrode, z the depth).
    template <class F> void set_resistivity(double rho, F inside);
    /// Adds borehole electrodes at (x, depth) (relative to the first electrode); one call a
    /// borehole, all its electrodes in one column.
    void add_borehole(float x, const std::vector<float>& depths);

    /// Runs a solver on the record's inputs with this model's electrodes and mesh.
    model::SolverResult run_band();
    model::SolverResult run_sparse();
    model::SolverResult run_q4();
    model::SolverResult run_block();
    fe::Inputs inputs() const;

    double pot(int a, int b) const;        ///< potential_table_a entry
    double offset_pot(int a, int b) const; ///< potential_table_b entry
    double remote(int i) const;            ///< fe_vector_a entry i (1-based)
    /// x of electrode e (1-based) from the first electrode, depth z.
    double x(int e) const;
    double z(int e) const;
};

template <class F> void BlockModel::set_resistivity(double rho, F inside) {
    ModelSettings& s = Modelsettings;
    const double x0 = s.node_col_x[m - 1];
    for (int c = 1; c < nx; ++c)
        for (int r = 1; r < nz; ++r) {
            const double xc = 0.5 * (double(s.node_col_x[c - 1]) + s.node_col_x[c]) - x0;
            const double zc =
                0.25 * (double(s.node_z[index2d(r, c, nz)]) + s.node_z[index2d(r + 1, c, nz)] +
                        s.node_z[index2d(r, c + 1, nz)] + s.node_z[index2d(r + 1, c + 1, nz)]);
            if (!inside(xc, zc)) continue;
            const int cell = index2d(c, r, nx - 1);
            s.driver_cells_2x[2 * cell] = s.driver_cells_2x[2 * cell + 1] = float(1.0 / rho);
        }
}

/// Depth of node row r (1-based) on flat ground.
double row_depth(int r);

} // namespace fe_test
