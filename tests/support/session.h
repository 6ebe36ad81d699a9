// Headless sessions of the tests: the scripted backend installed with its transcript, the global
// records built and destroyed, and the base fixture of the window program's tests.
#pragma once

#include "model/records.h"
#include "platform/ui/headless/backend.h"
#include "platform/ui/ui.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace test_support {

/// The global records of one test: init_globals on construction (the test fails when it does
/// not return 0), model::exit_globals at the end.
struct GlobalRecords {
    GlobalRecords();
    /// Also sets Proglim to `limits` and allocates the model arrays for them.
    explicit GlobalRecords(const ProgLim& limits);
    ~GlobalRecords();
    GlobalRecords(const GlobalRecords&) = delete;
    GlobalRecords& operator=(const GlobalRecords&) = delete;
};

/// The solver threads forced to `count` for the life of the object (back to the machine's
/// after).
struct PoolThreads {
    explicit PoolThreads(int count);
    ~PoolThreads();
    PoolThreads(const PoolThreads&) = delete;
    PoolThreads& operator=(const PoolThreads&) = delete;
};

/// For the life of the object, runs on more than one worker hold each step but the first until
/// their stop flag is set: a break typed during such a run comes while steps are still to do,
/// however fast the machine. A minute after the object's making nothing is held any more, so
/// that a test of a run that ignores its break fails on what it checks rather than hanging.
struct HeldSteps {
    HeldSteps();
    ~HeldSteps();
    HeldSteps(const HeldSteps&) = delete;
    HeldSteps& operator=(const HeldSteps&) = delete;
};

/// The scripted backend installed for the life of the object, with the window state reset
/// before and after. `out` gets the BOX, BEEP and NOANSWER lines, `log` those and the TEXT lines
/// drawn, `err` the broken script rules.
struct Headless {
    std::ostringstream out, log, err;
    headless::Transcript transcript{out, &log, err, "test"};
    headless::ScriptBackend backend{transcript, "."};

    Headless();
    ~Headless();
    Headless(const Headless&) = delete;
    Headless& operator=(const Headless&) = delete;

    /// Queues the answers of script lines (dialog, file, box); the test fails on a line that
    /// does not parse.
    void answer(const std::string& script);
    /// Puts a key press into the message queue.
    void key(int ch);
    /// Every line printed so far, one "BOX [caption] text" or "BEEP" a line.
    std::string output() const { return out.str(); }
    bool showed(const std::string& text) const { return output().find(text) != std::string::npos; }
    /// True when every queued answer was used and the script rules held.
    bool answered() const { return backend.answers().empty() && !transcript.failed(); }
    /// The lines printed since the last call.
    std::string take_output();
    /// The TEXT lines drawn since the last call, one a line.
    std::string take_texts();
};

/// Base fixture of the window program's tests: the headless session over a fresh temporary
/// program folder `home` (with its trailing '/'), removed at the end. The folder's own fixture
/// starts the program, and ends it in its TearDown before calling this one's.
class ProgramTest : public ::testing::Test, public Headless {
  protected:
    /// `prefix` names the temporary folder (/tmp/<prefix>_XXXXXX).
    explicit ProgramTest(const std::string& prefix);
    /// Stops the test when the program folder could not be made.
    void SetUp() override;
    /// Lifts the page budget a test may have set.
    void TearDown() override;

    /// Dispatches every waiting event, as the idle program does.
    void idle();
    void send(const ui::Event& e);
    void command(int id);
    /// Drags the thumb of the main window's scroll bar `bar` to `pos`, as a user does.
    void scroll_to(ui::Bar bar, int pos);

    TempDir home_dir;
    std::string home; ///< home_dir.path
};

} // namespace test_support
