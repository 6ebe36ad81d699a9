// Records for the datum and plot-point tests: a model record with its arrays allocated for the
// limits of the default screen and memory, and the message boxes shown.
#pragma once

#include "model/globals.h"
#include "support/model_records.h"
#include "support/session.h"

#include <gtest/gtest.h>

namespace datum_test {

/// A model record with its arrays (not the global one), and every message box shown while the
/// fixture lives in `output()` (as "BOX [caption] text" lines, line breaks written as \n).
class RecordsFixture : public ::testing::Test, public test_support::Headless {
  protected:
    ProgLim limits = test_support::default_limits();
    ModelSettings settings;
    Potentials potentials;

    void SetUp() override {
        ASSERT_EQ(model::allocate_model_arrays(settings, potentials, limits), 0);
    }
};

} // namespace datum_test
