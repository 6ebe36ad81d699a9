// Test fixtures of the forward folder: the global records with their arrays for a small line,
// and analytic potential tables.
#pragma once

#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "support/files.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace forward_test {

/// The global records of one test with their arrays allocated for the limits of n electrodes
/// and d data points (the dialog procedures and commands work on the globals).
struct Records : test_support::GlobalRecords {
    explicit Records(int n = 61, int d = 4000);
    ModelSettings& m;
    Potentials& p;
    ProgLim& limits;
};

/// Pair potential of two electrodes `r` unit spacings apart, and of the same pair with the
/// second electrode on the line at offset `d`: the four tables of a forward run are filled from
/// it (potential_table_a, potential_table_b = P(r) - P(sqrt(r^2 + d^2)), or P(sqrt(r^2 + d^2))
/// alone when m.array_type is 10, as the solvers write them; the IP tables as the resistivity
/// ones divided by 1 - m).
using PairPotential = std::function<double(double r)>;
/// Half-space of resistivity rho, unit current: rho / (2 pi r).
PairPotential half_space(double rho);
void fill_tables(ModelSettings& m, const ProgLim& limits, const PairPotential& potential,
                 double offset, double chargeability);

/// A line of `nelec` electrodes at unit spacing a, the datum list of the internal array type
/// `code` from calc_datum_points, as the read command leaves them.
void set_line(ModelSettings& m, const ProgLim& limits, int nelec, int code, float a = 1.0f);

/// Full path of a bundled example model.
std::string example(const std::string& name);

/// Records, a temporary program folder for the work files, and the headless backend.
struct CommandFixture {
    Records r;
    test_support::Headless h;
    test_support::TempDir home;
    /// Records for the limits of n electrodes and d data points.
    explicit CommandFixture(int n = 61, int d = 4000);
    void read(const std::string& path);
    int calculate();
    /// Saves the data file at `path` (no noise) through the command and reads it back into
    /// `text`; a fatal failure when the save does not write it.
    void save_data_file(const std::string& path, std::string* text);
    /// Largest relative deviation of the apparent resistivities from `rho`.
    double worst(double rho) const;
};

} // namespace forward_test
