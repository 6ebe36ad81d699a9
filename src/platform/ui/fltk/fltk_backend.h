// The interactive backend of the ui layer: the main window with its menu bar, the view of the
// window surface, scroll bars, child windows, message boxes, modal dialogs and file choosers,
// drawn with FLTK. FLTK itself stays inside this folder.
//
// Folder platform/ui/fltk/ (library vd_ui_fltk, FLTK and X11 linked privately), a backend of
// platform/ui: may include platform/ui, platform/gfx and platform/sys, nothing of the program;
// linked only by the programs (app/) and the window tests. Entry points: ui::FltkBackend (the
// window program) and ui::make_display_backend (a script driving the real window).
#pragma once

#include "platform/ui/ui.h"

#include <memory>

namespace ui {

/// True when a window-system display can be opened (DISPLAY names a reachable X server).
bool display_available();

class FltkBackend final : public Backend {
  public:
    /// Opens the display (display_available() must be true) and builds the main window,
    /// not yet shown. Numbers stay in the "C" format whatever FLTK sets.
    FltkBackend();
    ~FltkBackend() override;
    FltkBackend(const FltkBackend&) = delete;
    FltkBackend& operator=(const FltkBackend&) = delete;

    /// Shows the main window over the whole work area of the screen.
    void show_maximised();
    /// The program's event loop: dispatches every event through ui::dispatch, waiting for the
    /// window system when none waits, until the main window has closed (ui::window_closed()).
    void run();
    /// Shows a message box that answers itself with `answer` after `seconds` (scripted runs
    /// on a real display).
    void show_message_for(const std::string& text, const std::string& caption, unsigned flags,
                          int answer, double seconds);
    /// Lets the window system work for `seconds` (drawing, events queued for next_event).
    void wait(double seconds);

    int message_box(const std::string& text, const std::string& caption, unsigned flags) override;
    void beep() override;
    bool file_dialog(const FileRequest& request, std::string& path) override;
    int run_dialog(const DialogTemplate& tmpl, const DialogProc& proc) override;
    void title_changed() override;
    Size client_size() override;
    Size screen_size() override;
    void set_scroll(Bar bar, int min, int max, int page, int pos) override;
    int scroll_pos(Bar bar) override;
    void invalidate() override;
    bool is_foreground() override;
    gfx::Canvas& window_canvas() override;
    void menu_changed() override;
    void child_changed(Child which) override;
    void invalidate_child(Child which) override;
    gfx::Canvas& child_canvas(Child which) override;
    void cursor_changed() override;
    bool show_help(const std::string& file, const std::string& topic) override;
    bool next_event(Event& event) override;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

/// The backend of a scripted run on a real display: the window, its drawing, scroll bars and
/// events are `window`'s; message boxes, file dialogs, dialogs, beeps and help are answered by
/// `script` (which prints and checks them), and each message box is also shown on the display
/// for `hold_seconds` with the script's answer. Events waiting in `script` (typed-ahead input)
/// come after the window's own.
std::unique_ptr<Backend> make_display_backend(Backend& script, FltkBackend& window,
                                              double hold_seconds);

} // namespace ui
