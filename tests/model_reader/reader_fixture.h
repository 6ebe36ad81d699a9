// Test fixtures of the model reader: one model record with its arrays (kept for the whole run,
// as the program keeps it), and reads of fixture files or of texts written to a temporary file,
// with the message boxes and beeps recorded.
#pragma once

#include "model/globals.h"
#include "model/model_settings.h"
#include "model/reader/readmodel.h"
#include "model/reader/readmodel_sections.h"
#include "model/records.h"
#include "platform/gfx/canvas.h"
#include "platform/ui/ui.h"
#include "support/recording_backend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace reader_test {

using test_support::Box;
using test_support::RecordingBackend;

/// The model record of the test run with its arrays, allocated once for the default limits.
ModelSettings& shared_model();
const ProgLim& shared_limits();

/// Path of a fixture file.
std::string fixture(const std::string& name);
/// Contents of a fixture file.
std::string fixture_text(const std::string& name);
/// `text` with the first occurrence of `from` replaced by `to` (the test fails when absent).
std::string replace_once(std::string text, const std::string& from, const std::string& to);

/// One read: the boxes shown, the summary lines drawn, the result and the error number.
struct ReadOutcome {
    int result = -1;
    int error = 0;
    std::vector<Box> boxes;
    int beeps = 0;
    std::vector<std::string> summary;
    bool has_line(const std::string& line) const;
};

/// Reads the file at `path` into the shared model with a recording backend installed; the
/// yes/no boxes of the read take `answers` in order.
ReadOutcome read_model(const std::string& path, const std::vector<int>& answers = {});
/// Writes `text` to a temporary file and reads it.
ReadOutcome read_text(const std::string& text, const std::vector<int>& answers = {});

} // namespace reader_test

namespace reader_test {
/// tank.mod with `rows` grid rows (depths 0.5 m apart) instead of 9, the levels and water
/// lines replaced by `levels_and_water` ("4\n0" in the fixture) and the floor depth by `floor`.
std::string tank_text_with_rows(int rows, const std::string& levels_and_water,
                                const std::string& floor);
} // namespace reader_test
