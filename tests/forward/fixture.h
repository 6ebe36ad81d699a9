// Test fixtures of the forward folder: the global records with their arrays for a small line,
// analytic potential tables, the headless backend, and temporary folders.
#pragma once

#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "platform/ui/headless/backend.h"
#include "platform/ui/headless/script.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

namespace forward_test {

/// Program limits for N electrodes and D data points, as window creation sets them.
ProgLim limits_for(int n, int d);

/// The global records of one test with their arrays allocated for limits_for(n, d) (the
/// dialog procedures and commands work on the globals).
struct Records {
    explicit Records(int n = 61, int d = 4000);
    ~Records();
    ModelSettings& m;
    Potentials& p;
    ProgLim& limits;
};

/// Pair potential of two electrodes `r` unit spacings apart, and of the same pair with the
/// second electrode on the line at offset `d`: the four tables of a forward run are filled from
/// it (potential_table_a, potential_table_b = P(r) - P(sqrt(r^2 + d^2)), the IP tables as the
/// resistivity ones divided by 1 - m).
using PairPotential = std::function<double(double r)>;
/// Half-space of resistivity rho, unit current: rho / (2 pi r).
PairPotential half_space(double rho);
void fill_tables(ModelSettings& m, const ProgLim& limits, const PairPotential& potential,
                 double offset, double chargeability);

/// A line of `nelec` electrodes at unit spacing a, the datum list of the internal array type
/// `code` from calc_datum_points, as the read command leaves them.
void set_line(ModelSettings& m, const ProgLim& limits, int nelec, int code, float a = 1.0f);

/// The headless backend for one test; `output()` holds its BOX and BEEP lines.
struct Headless {
    std::ostringstream out, err;
    headless::Transcript transcript{out, nullptr, err, "test"};
    headless::ScriptBackend backend{transcript, "."};
    Headless();
    ~Headless();
    /// Queues the answers of script lines (dialog, file, box).
    void answer(const std::string& script);
    std::string output() const { return out.str(); }
};

/// A fresh temporary folder (path ends with '/'), removed at the end.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    std::string file(const std::string& name) const { return path + name; }
};

/// Whole contents of a file ("" when missing).
std::string read_file(const std::string& path);

} // namespace forward_test
