// A ui backend for tests that records every message box and beep and draws nothing.
#pragma once

#include "platform/gfx/canvas.h"
#include "platform/ui/ui.h"

#include <deque>
#include <string>
#include <vector>

namespace test_support {

struct Box {
    std::string text, caption;
    unsigned flags = 0;
    bool beeped = false; ///< a beep came just before the box
    /// "caption: text", for comparing a box whole.
    std::string line() const { return caption + ": " + text; }
};

/// Records every message box and beep; draws nothing. Yes/no boxes take the queued answers in
/// order (Yes when none is left), every other box is answered OK. File dialogs are cancelled,
/// dialogs return -1, no event ever waits; the window is in front, 1024 x 700 on a screen of
/// 1024 x 768.
class RecordingBackend : public ui::Backend {
  public:
    std::vector<Box> boxes;
    int beeps = 0;
    std::deque<int> answers;
    /// The abort key 'q' comes as the event of this call of next_event (counted from 1; -1
    /// never), so that a run sees the user's break at a known point.
    int abort_at = -1;

    int message_box(const std::string& text, const std::string& caption, unsigned flags) override;
    void beep() override;
    bool file_dialog(const ui::FileRequest&, std::string&) override { return false; }
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
    bool next_event(ui::Event& event) override;

  private:
    gfx::Canvas canvas_{8, 8};
    bool beep_pending_ = false;
    int event_calls_ = 0;
};

/// A recording backend that types the abort key at its first event check `after` seconds from
/// its making, and notes when it did (the abort latencies of the benchmarks).
class TimedBreak final : public RecordingBackend {
  public:
    explicit TimedBreak(double after);
    double typed = 0; ///< wall-clock seconds (sys::wall_seconds) of the key, 0 before it
    bool next_event(ui::Event& event) override;

  private:
    double at_;
};

} // namespace test_support
