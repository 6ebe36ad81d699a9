// Shared set-up of the optimisation tests: settings whose work files lie in a temporary folder
// that is also the current folder, and a run prepared up to the base set's resolution.
#pragma once

#include "model/records.h"
#include "optimise/run.h"
#include "support/files.h"
#include "support/recording_backend.h"
#include "support/session.h"

#include <functional>
#include <memory>
#include <string>

namespace opt_test {

/// Records boxes and beeps; the first time the status text begins with `at`, does `then` (by
/// default a click on "Next": NextWind::next_flag set), as a user watching the progress would.
/// A `key` set meanwhile is typed once, at once.
struct WatchingBackend : test_support::RecordingBackend {
    std::string at;
    std::function<void()> then;
    bool done = false;
    int key = 0;
    bool next_event(ui::Event& event) override;
};

/// Settings with their defaults and the work files in a fresh folder, which is the current
/// folder for the life of the object; the global records exist and the watching backend is
/// installed meanwhile.
struct Workspace {
    explicit Workspace(int electrodes = 10);
    ~Workspace();
    test_support::TempDir dir;
    test_support::GlobalRecords records;
    std::unique_ptr<ModelResolution> settings = std::make_unique<ModelResolution>();
    WatchingBackend backend;
};

/// The run of the workspace's settings prepared as the driver does up to the resolution of the
/// base set: grid, pole-pole table, arrays, comprehensive and base resolutions. The test fails
/// when a stage does.
struct PreparedRun {
    explicit PreparedRun(const ModelResolution& settings);
    opt::Run run;
    double comprehensive_figure = 0, base_figure = 0;
    int base_count = 0;
};

/// Lines of `text` that start with `prefix`, one a line.
std::string lines_starting(const std::string& text, const std::string& prefix);

} // namespace opt_test
