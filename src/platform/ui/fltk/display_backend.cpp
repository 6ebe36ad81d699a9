// The backend of scripted runs on a real display: the FLTK window shows what the program
// draws, and the script answers every question (each message box also appears for a while).
#include "platform/ui/fltk/fltk_backend.h"

namespace ui {

namespace {

class DisplayBackend final : public Backend {
  public:
    DisplayBackend(Backend& script, FltkBackend& window, double hold)
        : script_(script), window_(window), hold_(hold) {
        // The script's transcript logs what is drawn on the real window too.
        script_.watch_canvas(window_.window_canvas(), true);
    }
    ~DisplayBackend() override { script_.watch_canvas(window_.window_canvas(), false); }

    int message_box(const std::string& text, const std::string& caption, unsigned flags) override {
        const int answer = script_.message_box(text, caption, flags);
        if (hold_ > 0) window_.show_message_for(text, caption, flags, answer, hold_);
        return answer;
    }
    void beep() override {
        script_.beep();
        window_.beep();
    }
    bool file_dialog(const FileRequest& request, std::string& path) override {
        return script_.file_dialog(request, path);
    }
    int run_dialog(const DialogTemplate& tmpl, const DialogProc& proc) override {
        return script_.run_dialog(tmpl, proc);
    }
    bool show_help(const std::string& file, const std::string& topic) override {
        return script_.show_help(file, topic);
    }
    void watch_canvas(gfx::Canvas& canvas, bool on) override { script_.watch_canvas(canvas, on); }

    void title_changed() override { window_.title_changed(); }
    Size client_size() override { return window_.client_size(); }
    Size screen_size() override { return window_.screen_size(); }
    void set_scroll(Bar bar, int min, int max, int page, int pos) override {
        window_.set_scroll(bar, min, max, page, pos);
    }
    int scroll_pos(Bar bar) override { return window_.scroll_pos(bar); }
    void invalidate() override { window_.invalidate(); }
    bool is_foreground() override { return window_.is_foreground(); }
    gfx::Canvas& window_canvas() override { return window_.window_canvas(); }
    void menu_changed() override { window_.menu_changed(); }
    void child_changed(Child which) override { window_.child_changed(which); }
    void invalidate_child(Child which) override { window_.invalidate_child(which); }
    gfx::Canvas& child_canvas(Child which) override { return window_.child_canvas(which); }
    void cursor_changed() override { window_.cursor_changed(); }
    bool next_event(Event& event) override {
        return window_.next_event(event) || script_.next_event(event);
    }

  private:
    Backend& script_;
    FltkBackend& window_;
    double hold_;
};

} // namespace

std::unique_ptr<Backend> make_display_backend(Backend& script, FltkBackend& window,
                                              double hold_seconds) {
    return std::make_unique<DisplayBackend>(script, window, hold_seconds);
}

} // namespace ui
