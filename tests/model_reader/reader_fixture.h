// Test fixtures of the model reader: a ui backend that records message boxes and beeps, one
// model record with its arrays (kept for the whole run, as the program keeps it), and reads of
// fixture files or of texts written to a temporary file.
#pragma once

#include "model/globals.h"
#include "model/model_settings.h"
#include "model/readmodel.h"
#include "model/readmodel_sections.h"
#include "model/records.h"
#include "platform/gfx/canvas.h"
#include "platform/ui/ui.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace reader_test {

struct Box {
    std::string text, caption;
    unsigned flags = 0;
    bool beeped = false; ///< a beep came just before the box
};

/// Records every message box and beep; draws nothing. Yes/no boxes take the queued answers in
/// order (Yes when none is left), every other box is answered OK.
class RecordingBackend : public ui::Backend {
  public:
    std::vector<Box> boxes;
    int beeps = 0;
    std::deque<int> answers;

    int message_box(const std::string& text, const std::string& caption, unsigned flags) override {
        boxes.push_back({text, caption, flags, beep_pending_});
        beep_pending_ = false;
        if ((flags & ui::mb_buttons) != ui::mb_yesno) return ui::id_ok;
        if (answers.empty()) return ui::id_yes;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void beep() override {
        ++beeps;
        beep_pending_ = true;
    }
    bool file_dialog(ui::FileDialogKind, std::string&, const std::string&,
                     const std::string&) override {
        return false;
    }
    int run_dialog(const ui::DialogTemplate&, const ui::DialogProc&) override { return -1; }
    void title_changed() override {}
    ui::Size client_size() override { return {1024, 700}; }
    ui::Size screen_size() override { return {1024, 768}; }
    void set_scroll(ui::Bar, int, int, int, int) override {}
    int scroll_pos(ui::Bar) override { return 0; }
    void invalidate() override {}
    bool is_foreground() override { return true; }
    gfx::Canvas& window_canvas() override { return canvas_; }
    void menu_changed() override {}
    void child_changed(ui::Child) override {}
    void invalidate_child(ui::Child) override {}
    gfx::Canvas& child_canvas(ui::Child) override { return canvas_; }
    void cursor_changed() override {}
    bool show_help(const std::string&, const std::string&) override { return false; }
    bool next_event(ui::Event&) override { return false; }

  private:
    gfx::Canvas canvas_{8, 8};
    bool beep_pending_ = false;
};

/// Program limits as window creation sets them for the default screen and memory.
ProgLim default_limits();

/// The model record of the test run with its arrays, allocated once for default_limits().
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
