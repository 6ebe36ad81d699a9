// The window-system interface of the program: main window, menu, child windows, message boxes,
// file dialogs, modal dialogs from templates, cursors, help and the non-blocking message pump.
// The program talks only to these functions; a backend (headless script runner or FLTK window)
// is installed by the application. With no backend installed every request is answered as if
// the user had cancelled it (message boxes: Cancel or No where offered, else OK).
//
// Folder platform/ui/ (library vd_ui), in the platform layer over platform/gfx and platform/sys;
// included by the two backends and by model and every folder above it (the backends themselves
// only by app/). Entry points: ui::set_handlers and ui::dispatch (the event rules), and
// ui::run_dialog for a dialog template with its procedure.
#pragma once

#include "platform/sys/no_copy.h"
#include "platform/sys/sys.h"

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
    mb_buttons = 0xF, ///< mask of the button choice in the flags
};
enum : int { id_ok = 1, id_cancel = 2, id_yes = 6, id_no = 7 };

/// Shows `text` under `caption` and returns the button chosen (id_ok, id_cancel, id_yes, id_no).
int message_box(const std::string& text, const std::string& caption, unsigned flags = mb_ok);
/// The message beep.
void beep();

// ---- File dialogs --------------------------------------------------------------------------

/// save_set: a save request of a command that writes files named after the one chosen; the
/// dialog takes any name without a question, and the command asks about the files it will
/// write (model::save_files_dialog).
enum class FileDialogKind { open, save, save_set };
/// Asks for a file. On entry `file` holds the pattern ("*.mod") or the proposed name
/// ("survey.dat"), either of them possibly after a folder ("/data/*.col"), and `title` the
/// caption; the dialog opens in that folder, else in `initial_dir`, else in the current folder,
/// and lists the sub-folders and the files of the pattern (a proposed name lists the files of its
/// extension). What the user types is taken as it stands: an absolute path, or a name or
/// relative path in the dialog's folder; a save request adds its filter's extension to a name
/// without one (with_filter_extension). On success `file` holds the full path, `title` the file
/// name without its folder, the current directory becomes the file's folder, and the result is
/// true. A save request for an existing file asks "... already exists." before overwriting; an
/// open request for a missing file says so; either way the dialog asks again. Cancel gives false
/// and leaves `file`, `title` and the current directory as they were; so does a path of
/// `max_path` characters or more, after a box that names it and says it is too long.
bool file_dialog(FileDialogKind kind, std::string& file, std::string& title,
                 const std::string& initial_dir, std::size_t max_path = sys::path_max);

/// One file request as a backend shows it.
struct FileRequest {
    FileDialogKind kind = FileDialogKind::open;
    std::string title;
    std::string folder; ///< absolute; the dialog opens here and relative entries are taken here
    std::string filter; ///< the pattern of the listed files ("*.mod"; "*" for all)
    std::string name;   ///< the proposed name, "" for none
};
/// The request of a file_dialog call (see there for `file` and `initial_dir`).
FileRequest file_request(FileDialogKind kind, const std::string& file, const std::string& title,
                         const std::string& initial_dir);
/// The path an entry typed into a file dialog names: an absolute path as it stands, anything else
/// below `folder`; "" for an entry of blanks only.
std::string typed_path(const std::string& folder, const std::string& typed);
/// The path of an entry into a save dialog: `path` with the extension of `filter` added when its
/// file name has none ("edited" under "*.mod" is "edited.mod"; "edited.v2", a name ending in a
/// dot, a folder, or a filter of no single extension such as "*" leave it as it stands).
std::string with_filter_extension(const std::string& path, const std::string& filter);
/// The list of a file dialog: "../" (except at the root), the sub-folders with a trailing '/',
/// then the files that match `filter` (shell wildcards), each group sorted; names starting with a
/// dot are left out. Empty when the folder cannot be read.
std::vector<std::string> folder_listing(const std::string& folder, const std::string& filter);

// ---- Modal dialogs -------------------------------------------------------------------------

enum class ControlKind {
    static_text,
    edit,
    radio,
    check_box,
    push_button,
    group,
    scroll_bar,
    colour_swatch
};
struct ControlSpec {
    int id = 0; ///< 0 or -1 for unaddressed statics and groups
    ControlKind kind = ControlKind::static_text;
    std::string text;
    int x = 0, y = 0, w = 0, h = 0; ///< dialog units; the backend scales them
};
/// A dialog's layout. Every template object registers itself while it lives, so that a test can
/// walk all of the program's templates (they are globals of the folders that own them).
struct DialogTemplate {
    std::string name;    ///< template name, e.g. "NoiseDiaBox"; the script addresses it by this
    std::string caption; ///< window caption
    int width = 0, height = 0;
    std::vector<ControlSpec> controls;

    DialogTemplate();
    /// An empty layout of the given name, caption and size (dialog units).
    DialogTemplate(std::string name, std::string caption, int width, int height);
    DialogTemplate(const DialogTemplate& other);
    DialogTemplate& operator=(const DialogTemplate& other) = default;
    ~DialogTemplate();
};
/// The template objects alive now, in no particular order.
std::vector<const DialogTemplate*> live_templates();
/// The edit fields of `tmpl` in the template's order. A dialog opens with the keyboard focus in
/// the first of them that takes input, its text selected, unless its procedure has put the
/// focus elsewhere by its first paint.
std::vector<int> edit_fields(const DialogTemplate& tmpl);

enum class DialogEvent { init, first_paint, command, scroll };
/// Scroll-bar codes of a scroll event (the values of the window system's request codes).
enum class ScrollCode {
    line_up,
    line_down,
    page_up,
    page_down,
    thumb_position,
    thumb_track,
    top,
    bottom,
    end_scroll
};
struct DialogArgs {
    int id = 0;                               ///< control of a command or scroll event
    ScrollCode code = ScrollCode::end_scroll; ///< scroll events only
    int pos = 0;                              ///< thumb position of a scroll event
};

/// A live modal dialog as its procedure sees it. Buttons do not check themselves: a click is a
/// command event, and the procedure sets the checks (check_radio); a scroll bar moves only when
/// the procedure calls set_scroll. Ids absent from the template read as "" / false / 0.
class Dialog {
  public:
    virtual ~Dialog() = default;
    virtual std::string text(int id) const = 0;
    virtual void set_text(int id, const std::string& text) = 0;
    virtual bool checked(int id) const = 0;
    virtual void set_checked(int id, bool on) = 0;
    virtual int scroll_pos(int id) const = 0;
    /// Range and thumb of a scroll bar; the position is clamped to [min, max].
    virtual void set_scroll(int id, int min, int max, int pos) = 0;
    virtual void set_swatch(int id, std::uint32_t colour) = 0; ///< 0x00BBGGRR
    virtual void enable(int id, bool on) = 0;
    /// Moves the keyboard focus to control `id`, an edit's text selected so that typing
    /// replaces it (a backend without focus only records it).
    virtual void set_focus(int id) { focus_ = id; }
    /// The control last given the focus by set_focus (0 before).
    int focus() const { return focus_; }
    /// Ends the dialog; run_dialog returns `result`.
    virtual void end(int result) = 0;
    /// Checks `id` and clears the other buttons from `first` to `last`.
    void check_radio(int first, int last, int id) {
        for (int i = first; i <= last; ++i)
            set_checked(i, i == id);
    }
    /// A click on `id` among the buttons `first` to `last`: stores id - first in `field`,
    /// checks it and returns true; any other id changes nothing and returns false.
    bool take_radio(int first, int last, int id, std::int32_t& field) {
        if (id < first || id > last) return false;
        field = id - first;
        check_radio(first, last, id);
        return true;
    }
    /// Integer and real fields as the dialog procedures read them (atoi/atof rules: leading
    /// white space, sign, digits; the rest is ignored and a text without digits reads as 0;
    /// integers beyond the int range are clamped).
    int int_value(int id) const;
    double real_value(int id) const;

  private:
    int focus_ = 0;
};

/// True when `text` holds one finite decimal number and nothing else but blanks around it
/// ("12", "-0.5", "1e3"; not "0x10", "inf" or "nan"); its value in `value`. An empty text is no
/// number.
bool parse_number(const std::string& text, double& value);

/// Returns true when the event was handled.
using DialogProc = std::function<bool(Dialog&, DialogEvent, const DialogArgs&)>;
/// Runs the dialog modally and returns the value passed to Dialog::end; -1 when it could not be
/// shown or no answer came (the backend then reports it).
int run_dialog(const DialogTemplate& tmpl, const DialogProc& proc);

// ---- Main window ---------------------------------------------------------------------------

struct Size {
    int width = 0, height = 0;
};
/// Height of the main window's menu bar and thickness of its scroll bars, in pixels.
constexpr int menu_bar_height = 25;
constexpr int scroll_bar_size = 17;
/// The client area of a main window over the whole of `screen`: the screen less the menu bar
/// and the two scroll bars. Both backends give the program this area on the same screen.
inline Size client_of_screen(Size screen) {
    return {screen.width - scroll_bar_size, screen.height - menu_bar_height - scroll_bar_size};
}
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
/// Lets the backend watch an off-screen canvas of the program too (the headless transcript
/// logs its text). The canvas must outlive the run or be unwatched with stop_watching.
void watch_canvas(gfx::Canvas& canvas);
void stop_watching(gfx::Canvas& canvas);

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
/// `text` without its '&' marks ("&File" -> "File"; "&&" stays one '&').
std::string strip_mnemonic(const std::string& text);

// ---- Child windows, cursor, help -----------------------------------------------------------

/// The two child windows along the bottom edge of the main window. They start hidden, with no
/// size; each has its own surface, drawn by its paint handler.
enum class Child { status, next };
/// Places the child at (x, y) in client pixels with size w x h (its surface is resized).
void place_child(Child which, int x, int y, int w, int h);
void show_child(Child which, bool shown);
bool child_shown(Child which);
struct ChildPlace {
    int x = 0, y = 0, w = 0, h = 0;
};
ChildPlace child_place(Child which);
/// Asks for a repaint of the child (its paint handler runs at the next pump or idle).
void invalidate_child(Child which);
inline void invalidate_status() {
    invalidate_child(Child::status);
}
inline void invalidate_next() {
    invalidate_child(Child::next);
}
gfx::Canvas& child_canvas(Child which);

enum class Cursor { arrow, wait, cross };
void set_cursor(Cursor cursor);
Cursor cursor();
/// Opens the help file at a topic in a viewer that runs on its own: the call does not wait for
/// the viewer to close, and the window goes on taking input. False when it cannot be shown.
bool show_help(const std::string& file, const std::string& topic);

// ---- Events and the pump -------------------------------------------------------------------

enum class MouseButton { left, right, middle };
enum class EventKind {
    command,          ///< menu command `id`
    popup_opening,    ///< popup `id` (its position in the menu bar) is about to open
    key,              ///< character `id`
    mouse_down,       ///< `button` at client (x, y) of the main window
    child_mouse_down, ///< `button` at (x, y) of child window `child`
    scroll,           ///< main-window bar `bar`, request `code`, thumb `pos`
    close,            ///< the close request of the main window
    paint,            ///< the main window needs painting
    paint_child,      ///< child window `child` needs painting
    mouse_move,       ///< the pointer moved to client (x, y) of the main window
};
struct Event {
    EventKind kind = EventKind::paint;
    int id = 0; ///< command id, popup index or character
    MouseButton button = MouseButton::left;
    int x = 0, y = 0; ///< client coordinates of a mouse event
    Bar bar = Bar::vertical;
    ScrollCode code = ScrollCode::end_scroll;
    int pos = 0;
    Child child = Child::status;
};

/// What the application does with events; every member may be empty.
struct Handlers {
    std::function<void(int id)> command;
    std::function<void(int popup)> popup_opening;
    std::function<void(int ch)> key;
    std::function<void(MouseButton, int x, int y)> mouse_down;
    std::function<void(int x, int y)> mouse_move;
    std::function<void(Child, MouseButton, int x, int y)> child_mouse_down;
    std::function<void(Bar, ScrollCode, int pos)> scroll;
    std::function<void()> paint, paint_status, paint_next;
    /// True for a menu command that sends the close request (the program's Exit and Quit):
    /// while another command runs it is held as the close request, not refused. Empty: none.
    std::function<bool(int id)> closes;
    /// Asked when a close request is to be carried out: false keeps the window open (the
    /// request is dropped), true lets `close` run. Empty: always true.
    std::function<bool()> may_close;
    /// The close request, after any running command ended: save settings, free, end.
    std::function<void()> close;
};
void set_handlers(const Handlers& handlers);

/// Delivers one event under the program's rules: a menu command while another runs is refused
/// with a beep, except one that Handlers::closes names, which is held as the close request; a close
/// request while a command runs is held until the command returns, then, unless may_close keeps
/// the window open, the close handler runs once and the window counts as closed. Every other
/// event (paint, scroll, mouse, keys, popups) is delivered at once, also while a command runs.
/// After the window closed, events are dropped.
void dispatch(const Event& event);
/// Sends the close request as the program itself (the "Exit" commands): held while a command
/// runs, handled at once otherwise.
void request_close();
bool command_running();
/// A close request is waiting for the running command to return.
bool close_requested();
/// The close handler has run: the program is over.
bool window_closed();

/// Marks a command as running for its lifetime, as dispatch does around the command handler;
/// for code that runs a command without a menu event (the batch run). When the outermost
/// scope ends and a close request was held, the close handler runs.
class CommandScope : sys::NoCopy {
  public:
    CommandScope();
    ~CommandScope();
};

enum class PumpResult { empty, abort, quit };
/// Dispatches every waiting event without blocking. Stops at Esc, 'Q' or 'q' (abort; the key
/// is not dispatched; later events wait for the next call) and at a close request, or a menu
/// command that is one (quit). While
/// a close request is held, every call returns quit after dispatching what waits, so a
/// calculation that checks again stops again.
PumpResult pump();
/// The abort keys of the pump: Esc (27), 'Q', 'q'.
bool is_abort_key(int ch);

/// Forgets the program's window state: title, menu, handlers, child windows, cursor, a held
/// close and the closed mark. A backend starting a fresh run calls it.
void reset();

// ---- Backends ------------------------------------------------------------------------------

/// What a backend provides. The rules above live in this layer, not in the backends; title,
/// menu, child places and cursor are kept here and the backend is told of changes.
class Backend {
  public:
    virtual ~Backend() = default;
    virtual int message_box(const std::string& text, const std::string& caption,
                            unsigned flags) = 0;
    virtual void beep() = 0;
    /// One pass of the dialog: on true `path` holds the chosen path, absolute or relative to
    /// request.folder. Prompts and checks are done by the caller.
    virtual bool file_dialog(const FileRequest& request, std::string& path) = 0;
    virtual int run_dialog(const DialogTemplate& tmpl, const DialogProc& proc) = 0;
    virtual void title_changed() = 0;
    virtual Size client_size() = 0;
    virtual Size screen_size() = 0;
    virtual void set_scroll(Bar bar, int min, int max, int page, int pos) = 0;
    virtual int scroll_pos(Bar bar) = 0;
    virtual void invalidate() = 0;
    virtual bool is_foreground() = 0;
    virtual gfx::Canvas& window_canvas() = 0;
    virtual void watch_canvas(gfx::Canvas& canvas, bool on) { (void)canvas, (void)on; }
    virtual void menu_changed() = 0;
    /// Place or visibility of a child changed; the surface must take the new size.
    virtual void child_changed(Child which) = 0;
    virtual void invalidate_child(Child which) = 0;
    virtual gfx::Canvas& child_canvas(Child which) = 0;
    virtual void cursor_changed() = 0;
    virtual bool show_help(const std::string& file, const std::string& topic) = 0;
    /// Takes the next waiting event without blocking; false when none waits.
    virtual bool next_event(Event& event) = 0;
};
/// Installs the backend (not owned); nullptr restores the do-nothing backend.
void install_backend(Backend* backend);

} // namespace ui
