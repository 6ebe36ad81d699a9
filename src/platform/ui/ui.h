// The window-system interface of the program: main window, menu, child windows, message boxes,
// file dialogs, modal dialogs from templates, cursors, help and the non-blocking message pump.
// The program talks only to these functions; a backend (headless script runner or FLTK window)
// is installed by the application. With no backend installed every request is answered as if
// the user had cancelled it (message boxes: their default button).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gfx {
class Canvas;
}

namespace ui {

// ---- Message boxes -------------------------------------------------------------------------

// Flags and results keep the values of the dialog system they replace, so callers can pass the
// documented numbers through unchanged.
enum : unsigned {
    mb_ok = 0x0,
    mb_okcancel = 0x1,
    mb_yesnocancel = 0x3,
    mb_yesno = 0x4,
    mb_iconquestion = 0x20,
    mb_iconexclamation = 0x30,
    mb_iconinformation = 0x40,
};
enum : int { id_ok = 1, id_cancel = 2, id_yes = 6, id_no = 7 };

/// Shows `text` under `caption` and returns the button chosen (id_ok, id_cancel, id_yes, id_no).
int message_box(const std::string& text, const std::string& caption, unsigned flags = mb_ok);
/// The message beep.
void beep();

// ---- File dialogs --------------------------------------------------------------------------

enum class FileDialogKind { open, save };
/// Asks for a file. On entry `file` holds the default pattern or name ("*.mod") and `title`
/// the caption; on success `file` holds the full path, `title` the file name without its
/// folder, the current directory becomes the file's folder, and the result is true. A save
/// request for an existing file asks before overwriting; an open request for a missing file
/// asks whether to create it. Cancel, or a path of `max_path` characters or more, gives false.
bool file_dialog(FileDialogKind kind, std::string& file, std::string& title,
                 const std::string& initial_dir, std::size_t max_path = 260);

// ---- Modal dialogs -------------------------------------------------------------------------

enum class ControlKind { static_text, edit, radio, check_box, push_button, group, scroll_bar,
                         colour_swatch };
struct ControlSpec {
    int id = 0; ///< 0 or -1 for unaddressed statics and groups
    ControlKind kind = ControlKind::static_text;
    std::string text;
    int x = 0, y = 0, w = 0, h = 0; ///< dialog units; the backend scales them
};
struct DialogTemplate {
    std::string name;    ///< template name, e.g. "NoiseDiaBox"; the script addresses it by this
    std::string caption; ///< window caption
    int width = 0, height = 0;
    std::vector<ControlSpec> controls;
};

enum class DialogEvent { init, first_paint, command, scroll };
/// Scroll-bar codes of a scroll event.
enum class ScrollCode { line_up, line_down, page_up, page_down, thumb_track, thumb_position,
                        top, bottom, end_scroll };
struct DialogArgs {
    int id = 0;                                 ///< control of a command or scroll event
    ScrollCode code = ScrollCode::end_scroll;   ///< scroll events only
    int pos = 0;                                ///< thumb position of a scroll event
};

/// A live modal dialog as its procedure sees it.
class Dialog {
  public:
    virtual ~Dialog() = default;
    virtual std::string text(int id) const = 0;
    virtual void set_text(int id, const std::string& text) = 0;
    virtual bool checked(int id) const = 0;
    virtual void set_checked(int id, bool on) = 0;
    virtual int scroll_pos(int id) const = 0;
    virtual void set_scroll(int id, int min, int max, int pos) = 0;
    virtual void set_swatch(int id, std::uint32_t colour) = 0; ///< 0x00BBGGRR
    virtual void enable(int id, bool on) = 0;
    /// Ends the dialog; run_dialog returns `result`.
    virtual void end(int result) = 0;
    /// Checks `id` and clears the other buttons from `first` to `last`.
    void check_radio(int first, int last, int id) {
        for (int i = first; i <= last; ++i) set_checked(i, i == id);
    }
    /// Integer and real fields as the dialog procedures read them (atoi/atof rules: leading
    /// white space, then digits; anything else reads as 0).
    int int_value(int id) const;
    double real_value(int id) const;
};

/// Returns true when the event was handled.
using DialogProc = std::function<bool(Dialog&, DialogEvent, const DialogArgs&)>;
/// Runs the dialog modally and returns the value passed to Dialog::end; -1 when it could not be
/// shown or no answer came (the backend then reports it).
int run_dialog(const DialogTemplate& tmpl, const DialogProc& proc);

// ---- Main window ---------------------------------------------------------------------------

struct Size {
    int width = 0, height = 0;
};
void set_title(const std::string& title);
std::string title();
Size client_size();
Size screen_size();
enum class Bar { horizontal, vertical };
void set_scroll(Bar bar, int min, int max, int page, int pos);
int scroll_pos(Bar bar);
/// Asks for a repaint of the main window (the paint handler runs at the next pump or idle).
void invalidate();
bool is_foreground();
/// The surface of the main window's client area for drawing straight into the window; the
/// paint handler copies the off-screen canvas into it.
gfx::Canvas& window_canvas();

// ---- Menu ----------------------------------------------------------------------------------

struct MenuItem {
    int id = 0;       ///< 0 for a separator
    std::string text; ///< with '&' marks
};
struct MenuPopup {
    std::string text;
    std::vector<MenuItem> items;
};
void set_menu(const std::vector<MenuPopup>& menu);
const std::vector<MenuPopup>& menu();
/// Removes the item with this id from whichever popup holds it; no effect when absent.
void remove_menu_item(int id);

// ---- Child windows, cursor, help -----------------------------------------------------------

void invalidate_status(); ///< the status window repaints from StatusWind
void invalidate_next();   ///< the "Next" window repaints from NextWind
enum class Cursor { arrow, wait, cross };
void set_cursor(Cursor cursor);
/// Opens the help file at a topic; false when it cannot be shown.
bool show_help(const std::string& file, const std::string& topic);

// ---- Events and the pump -------------------------------------------------------------------

enum class MouseButton { left, right, middle };
enum class EventKind { command, popup_opening, key, mouse_down, scroll, close, paint };
struct Event {
    EventKind kind = EventKind::paint;
    int id = 0;       ///< command id, popup index or character
    MouseButton button = MouseButton::left;
    int x = 0, y = 0; ///< client coordinates of a mouse event
    Bar bar = Bar::vertical;
    ScrollCode code = ScrollCode::end_scroll;
    int pos = 0;
};

/// What the application does with events; every member may be empty.
struct Handlers {
    std::function<void(int id)> command;
    std::function<void(int popup)> popup_opening;
    std::function<void(int ch)> key;
    std::function<void(MouseButton, int x, int y)> mouse_down;
    std::function<void(Bar, ScrollCode, int pos)> scroll;
    std::function<void()> paint, paint_status, paint_next;
    /// The close request, after any running command ended: save settings, free, end.
    std::function<void()> close;
};
void set_handlers(const Handlers& handlers);

/// Delivers one event under the program's rules: a menu command while another runs is refused
/// with a beep; a close request while a command runs is held until it returns.
void dispatch(const Event& event);
bool command_running();
bool close_requested();

enum class PumpResult { empty, abort, quit };
/// Dispatches every waiting event without blocking. Stops at Esc, 'Q' or 'q' (abort; the key is
/// not dispatched) and at a close request (quit; the close is held for after the command).
PumpResult pump();

// ---- Backends ------------------------------------------------------------------------------

/// What a backend provides. The rules above live in this layer, not in the backends.
class Backend {
  public:
    virtual ~Backend() = default;
    virtual int message_box(const std::string& text, const std::string& caption,
                            unsigned flags) = 0;
    virtual void beep() = 0;
    virtual bool file_dialog(FileDialogKind kind, std::string& file, std::string& title,
                             const std::string& initial_dir) = 0;
    virtual int run_dialog(const DialogTemplate& tmpl, const DialogProc& proc) = 0;
    virtual void set_title(const std::string& title) = 0;
    virtual Size client_size() = 0;
    virtual Size screen_size() = 0;
    virtual void set_scroll(Bar bar, int min, int max, int page, int pos) = 0;
    virtual int scroll_pos(Bar bar) = 0;
    virtual void invalidate() = 0;
    virtual bool is_foreground() = 0;
    virtual gfx::Canvas& window_canvas() = 0;
    virtual void menu_changed() = 0;
    virtual void invalidate_status() = 0;
    virtual void invalidate_next() = 0;
    virtual void set_cursor(Cursor cursor) = 0;
    virtual bool show_help(const std::string& file, const std::string& topic) = 0;
    /// Takes the next waiting event without blocking; false when none waits.
    virtual bool next_event(Event& event) = 0;
};
/// Installs the backend (not owned); nullptr restores the do-nothing backend.
void install_backend(Backend* backend);

} // namespace ui
