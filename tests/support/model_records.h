// Program limits and a model record kept for the whole run, for the tests and the fuzz target.
// Free of GoogleTest: the fuzz target builds model_records.cpp too.
#pragma once

#include "model/model_settings.h"
#include "model/records.h"

#include <memory>

namespace test_support {

/// Program limits as window creation sets them for n electrodes and d data points (the node
/// columns are 4 n + 43, at least 227).
ProgLim limits_for(int n, int d);
/// The limits of the default screen and memory: limits_for(161, 16000).
ProgLim default_limits();

/// A model record with its arrays allocated for default_limits(); not the global one.
struct SharedRecords {
    ProgLim limits = default_limits();
    std::unique_ptr<ModelSettings> model = std::make_unique<ModelSettings>();
    std::unique_ptr<Potentials> potentials = std::make_unique<Potentials>();
    /// Aborts the run when the arrays cannot be allocated.
    SharedRecords();
    ~SharedRecords();
};
/// The one SharedRecords of the run, built at the first call and kept to the end, as the
/// program keeps its record (every read starts from the one before).
SharedRecords& shared_records();

} // namespace test_support
