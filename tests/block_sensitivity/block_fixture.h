// A small synthetic finite-element run for the block sensitivity: the mesh, data and work files
// of nelec electrodes one node column apart, 7 node rows, every cell with unit element terms on
// the diagonal and constant node potentials per electrode.
#pragma once

#include "model/globals.h"
#include "support/files.h"
#include "support/model_records.h"
#include "support/recording_backend.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace block_test {

class SyntheticRun : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    /// Lays out the mesh of nelec electrodes (margin 2 columns each side, one node column a
    /// spacing, nz node rows 0.5 apart, conductivity 1 but 0.25 in the cells of the second block
    /// of the top row) and two data: pole-pole 1-2 (apparent resistivity 2) and pole-dipole
    /// 1-2-3 (1), both with the geometric factor pi and, as the apparent values store it for
    /// both arrays, the electrode count 2; the potentials and apparent values ready.
    void lay_out(int nelec, int nz = 7);
    /// Writes the three work files for the wavenumbers k: diagonal unit element terms, and node
    /// potentials 2, 3, 5, 7, ... for electrodes 1, 2, 3, 4, ...
    void write_work_files(const std::vector<float>& k);
    /// J[d][b] as the Jacobian file holds it in datum order, or the file in block order.
    std::vector<float> jacobian_file() const;

    test_support::TempDir dir{"vd_blocks"};
    test_support::GlobalRecords records{test_support::limits_for(20, 200)};
    test_support::RecordingBackend backend;
    ModelSettings& m = Modelsettings;
};

} // namespace block_test
