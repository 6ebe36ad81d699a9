// The scripted backend behind the runner: queued answers, the message queue, the window
// surfaces, and the transcript of what the program showed.
#pragma once

#include "platform/gfx/canvas.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/headless/script.h"
#include "platform/ui/ui.h"

#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace headless {

/// What the program showed, printed as it happens and kept for `expect`.
class Transcript {
  public:
    Transcript(std::ostream& out, std::ostream* file, std::ostream& err, std::string name);

    void box(const std::string& caption, const std::string& text);
    void beep();
    void text(const std::string& text);
    /// A line for the output and the transcript file (NOANSWER, HELP).
    void note(const std::string& line);
    /// A runner failure at the current script line: the run will exit with exit_failed.
    void fail(const std::string& message);
    /// A hint at the current script line that does not fail the run by itself.
    void warn(const std::string& message);

    /// Finds the first record of `what` after the last one found by this call that matches
    /// `pattern` (a box by its text or as "[caption] text"); true when there is one.
    bool find(ExpectWhat what, const std::string& pattern);

    int line = 0; ///< script line being run, for messages
    bool failed() const { return failed_; }

  private:
    struct Record {
        ExpectWhat what;
        std::string text;
        std::string full; ///< a box as "[caption] text"
    };
    std::ostream& out_;
    std::ostream* file_;
    std::ostream& err_;
    std::string name_;
    bool failed_ = false;
    std::vector<Record> records_;
    std::size_t marks_[4] = {0, 0, 0, 0};

    void print(const std::string& line, bool to_out);
};

/// The scroll events a user's action on a bar sends: a drag of the thumb to `pos` (code
/// thumb_track: track, then position), or the one request `code` at the `current` position;
/// each ends with end_scroll.
void send_scroll(ui::ScrollCode code, int pos, int current,
                 const std::function<void(ui::ScrollCode, int)>& send);

class ScriptBackend final : public ui::Backend {
  public:
    ScriptBackend(Transcript& transcript, std::string script_dir);
    ~ScriptBackend() override;

    /// The screen of the `start` line; the client area is that of the window over the whole
    /// screen (ui::client_of_screen), and the window surface takes that size.
    void set_screen(int width, int height);
    /// Queues a file, dialog or box answer.
    void push_answer(const Action& answer) { answers_.push_back(answer); }
    const std::deque<Action>& answers() const { return answers_; }
    /// Puts an event into the message queue (found by the next pump or the idle loop).
    void post(const ui::Event& event) { events_.push_back(event); }

    int message_box(const std::string& text, const std::string& caption, unsigned flags) override;
    void beep() override;
    bool file_dialog(const ui::FileRequest& request, std::string& path) override;
    int run_dialog(const ui::DialogTemplate& tmpl, const ui::DialogProc& proc) override;
    void title_changed() override {}
    ui::Size client_size() override { return client_; }
    ui::Size screen_size() override { return screen_; }
    void set_scroll(ui::Bar bar, int min, int max, int page, int pos) override;
    int scroll_pos(ui::Bar bar) override { return bars_[bar_index(bar)].pos; }
    /// The largest position the program gave the bar (its range is 0 .. this).
    int scroll_max(ui::Bar bar) const { return bars_[bar_index(bar)].max; }
    void invalidate() override { paint_pending_ = true; }
    bool is_foreground() override { return true; }
    gfx::Canvas& window_canvas() override { return window_; }
    void watch_canvas(gfx::Canvas& canvas, bool on) override;
    void menu_changed() override {}
    void child_changed(ui::Child which) override;
    void invalidate_child(ui::Child which) override;
    gfx::Canvas& child_canvas(ui::Child which) override { return children_[child_index(which)]; }
    void cursor_changed() override {}
    bool show_help(const std::string& file, const std::string& topic) override;
    bool next_event(ui::Event& event) override;

  private:
    struct ScrollBar {
        int min = 0, max = 0, page = 0, pos = 0;
    };
    Transcript& transcript_;
    std::string script_dir_;
    std::deque<Action> answers_;
    std::deque<ui::Event> events_;
    ui::Size screen_, client_;
    gfx::Canvas window_;
    gfx::Canvas children_[2];
    std::vector<gfx::Canvas*> watched_;
    ScrollBar bars_[2];
    bool paint_pending_ = false;
    bool child_paint_pending_[2] = {false, false};

    static int bar_index(ui::Bar bar) { return bar == ui::Bar::horizontal ? 0 : 1; }
    static int child_index(ui::Child c) { return c == ui::Child::status ? 0 : 1; }
    /// The front answer when it is of `kind`; nullptr otherwise (a hint names the mismatch).
    const Action* front_answer(ActionKind kind, const std::string& asker);
    void observe(gfx::Canvas& canvas);
};

} // namespace headless
