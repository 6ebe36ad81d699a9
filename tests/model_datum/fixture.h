// Records for the datum and plot-point tests: limits as window creation sets them on a small
// machine, the model arrays allocated from them, and a message-box recorder.
#pragma once

#include "model/globals.h"
#include "platform/ui/headless/backend.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace datum_test {

inline ProgLim small_machine_limits() {
    ProgLim limits;
    limits.max_electrodes = 161;
    limits.max_n = 70;
    limits.max_data_points = 16000;
    limits.max_levels = 160;
    limits.max_resistivity_values = 33;
    limits.max_node_rows = 170;
    limits.max_node_columns = 4 * 161 + 23;
    limits.max_topo_points = 161;
    limits.max_spacing_ratio = 160;
    limits.max_electrodes_b = 161;
    limits.max_electrodes_c = 161;
    limits.max_electrodes_d = 161;
    limits.max_node_columns_b = 4 * 161 + 23;
    limits.max_borehole_electrodes = 32;
    limits.max_boreholes = 30;
    limits.max_frequencies = 12;
    return limits;
}

/// A model record with its arrays, and every message box shown while the fixture lives
/// (as "BOX [caption] text" lines, line breaks written as \n).
class RecordsFixture : public ::testing::Test {
  protected:
    ProgLim limits = small_machine_limits();
    ModelSettings settings;
    Potentials potentials;
    std::ostringstream shown, errors;
    headless::Transcript transcript{shown, nullptr, errors, "model_datum"};
    headless::ScriptBackend backend{transcript, "."};

    void SetUp() override {
        ASSERT_EQ(model::allocate_model_arrays(settings, potentials, limits), 0);
        ui::install_backend(&backend);
    }
    void TearDown() override { ui::install_backend(nullptr); }
};

} // namespace datum_test
