// The window-system layer: program-side window state, the dispatch and pump rules, and the
// do-nothing backend used until an application installs its own.
#include "platform/ui/ui.h"

#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>

namespace ui {

namespace {

// Answers every request as a cancelled one; the window is 0 x 0 and has no events.
class NullBackend final : public Backend {
  public:
    int message_box(const std::string&, const std::string&, unsigned flags) override {
        switch (flags & mb_buttons) {
        case mb_okcancel:
        case mb_yesnocancel:
            return id_cancel;
        case mb_yesno:
            return id_no;
        default:
            return id_ok;
        }
    }
    void beep() override {}
    bool file_dialog(const FileRequest&, std::string&) override { return false; }
    int run_dialog(const DialogTemplate&, const DialogProc&) override { return -1; }
    void title_changed() override {}
    Size client_size() override { return {}; }
    Size screen_size() override { return {}; }
    void set_scroll(Bar, int, int, int, int) override {}
    int scroll_pos(Bar) override { return 0; }
    void invalidate() override {}
    bool is_foreground() override { return false; }
    gfx::Canvas& window_canvas() override { return canvas_; }
    void menu_changed() override {}
    void child_changed(Child) override {}
    void invalidate_child(Child) override {}
    gfx::Canvas& child_canvas(Child) override { return canvas_; }
    void cursor_changed() override {}
    bool show_help(const std::string&, const std::string&) override { return false; }
    bool next_event(Event&) override { return false; }

  private:
    gfx::Canvas canvas_;
};

struct ChildState {
    ChildPlace place;
    bool shown = false;
};

// The program-side state of the one main window.
struct WindowState {
    std::string title;
    std::vector<MenuPopup> menu;
    Handlers handlers;
    ChildState children[2];
    Cursor cursor = Cursor::arrow;
    int running = 0;         // depth of CommandScope
    bool close_held = false; // a close request waits for the running command
    bool asking = false;     // may_close runs: a second close request meanwhile is dropped
    bool closed = false;     // the close handler ran
};

NullBackend null_backend;
Backend* current = &null_backend;
WindowState state;

ChildState& child_state(Child which) {
    return state.children[which == Child::status ? 0 : 1];
}

// The close handler, once, unless may_close keeps the window; afterwards the window counts as
// closed.
void run_close() {
    state.close_held = false;
    if (state.closed || state.asking) return;
    if (state.handlers.may_close) {
        state.asking = true;
        const bool close = state.handlers.may_close();
        state.asking = false;
        if (!close) return;
    }
    state.closed = true;
    if (state.handlers.close) state.handlers.close();
}

void run_command(int id) {
    CommandScope scope;
    if (state.handlers.command) state.handlers.command(id);
}

// A close request, or a menu command that is one.
bool is_close(const Event& e) {
    return e.kind == EventKind::close ||
           (e.kind == EventKind::command && state.handlers.closes && state.handlers.closes(e.id));
}

} // namespace

// ---- Message boxes and file dialogs ------------------------------------------------------------

int message_box(const std::string& text, const std::string& caption, unsigned flags) {
    return current->message_box(text, caption, flags);
}

void beep() {
    current->beep();
}

namespace {

// What the user chose, or "" and a box when the dialog must ask again.
std::string checked_choice(const FileRequest& request, const std::string& path) {
    const std::string name = sys::file_title(path);
    const bool exists = sys::file_exists(path);
    if (request.kind == FileDialogKind::save && exists &&
        message_box(name + " already exists.\nDo you want to replace it?", request.title,
                    mb_yesno | mb_iconexclamation) != id_yes)
        return "";
    // Reading a file that is not there can only fail: ask for another one.
    if (request.kind == FileDialogKind::open && !exists) {
        message_box(name + "\nThis file does not exist.\nPlease choose an existing file.",
                    request.title, mb_ok | mb_iconexclamation);
        return "";
    }
    return path;
}

std::string folder_of(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    return cut == 0 || cut == std::string::npos ? std::string("/") : path.substr(0, cut);
}

} // namespace

bool file_dialog(FileDialogKind kind, std::string& file, std::string& title,
                 const std::string& initial_dir, std::size_t max_path) {
    FileRequest request = file_request(kind, file, title, initial_dir);
    for (;;) {
        std::string chosen;
        if (!current->file_dialog(request, chosen)) return false;
        std::string path = typed_path(request.folder, chosen);
        if (kind == FileDialogKind::save) path = with_filter_extension(path, request.filter);
        if (path.empty()) return false;
        if (path.size() >= max_path) {
            message_box("The path\n" + path + "\nis too long: it has " +
                            std::to_string(path.size()) + " characters, and at most " +
                            std::to_string(max_path - 1) + " are allowed.",
                        title, mb_ok | mb_iconexclamation);
            return false;
        }
        if (checked_choice(request, path).empty()) {
            // The next pass starts where the user was, with the name typed.
            request.folder = folder_of(path);
            request.name = sys::file_title(path);
            continue;
        }
        sys::set_current_dir(folder_of(path));
        file = path;
        title = sys::file_title(path);
        return true;
    }
}

// ---- Dialogs -----------------------------------------------------------------------------------

int Dialog::int_value(int id) const {
    std::string t = text(id);
    long v = std::strtol(t.c_str(), nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

double Dialog::real_value(int id) const {
    std::string t = text(id);
    return std::strtod(t.c_str(), nullptr);
}

namespace {
// Built on first use: templates are globals, constructed before or after this file's own.
std::set<const DialogTemplate*>& template_registry() {
    static std::set<const DialogTemplate*> registry;
    return registry;
}
} // namespace

DialogTemplate::DialogTemplate() {
    template_registry().insert(this);
}

DialogTemplate::DialogTemplate(std::string name_, std::string caption_, int width_, int height_)
    : name(std::move(name_)), caption(std::move(caption_)), width(width_), height(height_) {
    template_registry().insert(this);
}

DialogTemplate::DialogTemplate(const DialogTemplate& other)
    : name(other.name), caption(other.caption), width(other.width), height(other.height),
      controls(other.controls) {
    template_registry().insert(this);
}

DialogTemplate::~DialogTemplate() {
    template_registry().erase(this);
}

std::vector<const DialogTemplate*> live_templates() {
    return {template_registry().begin(), template_registry().end()};
}

std::vector<int> edit_fields(const DialogTemplate& tmpl) {
    std::vector<int> ids;
    for (const ControlSpec& c : tmpl.controls)
        if (c.kind == ControlKind::edit && c.id > 0) ids.push_back(c.id);
    return ids;
}

bool parse_number(const std::string& text, double& value) {
    // Decimal numbers only: strtod would also take "0x1p3", "inf" and "nan".
    if (text.find_first_not_of("0123456789+-.eE \t") != std::string::npos) return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin) return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0' || !std::isfinite(v)) return false;
    value = v;
    return true;
}

int run_dialog(const DialogTemplate& tmpl, const DialogProc& proc) {
    return current->run_dialog(tmpl, proc);
}

// ---- Main window -------------------------------------------------------------------------------

void set_title(const std::string& title) {
    state.title = title;
    current->title_changed();
}
std::string title() {
    return state.title;
}
Size client_size() {
    return current->client_size();
}
Size screen_size() {
    return current->screen_size();
}
void set_scroll(Bar bar, int min, int max, int page, int pos) {
    current->set_scroll(bar, min, max, page, pos);
}
int scroll_pos(Bar bar) {
    return current->scroll_pos(bar);
}
void invalidate() {
    current->invalidate();
}
bool is_foreground() {
    return current->is_foreground();
}
gfx::Canvas& window_canvas() {
    return current->window_canvas();
}
void watch_canvas(gfx::Canvas& canvas) {
    current->watch_canvas(canvas, true);
}
void stop_watching(gfx::Canvas& canvas) {
    current->watch_canvas(canvas, false);
}

// ---- Menu --------------------------------------------------------------------------------------

void set_menu(const std::vector<MenuPopup>& menu) {
    state.menu = menu;
    current->menu_changed();
}

const std::vector<MenuPopup>& menu() {
    return state.menu;
}

void remove_menu_item(int id) {
    if (id == 0) return; // separators are not addressed
    for (MenuPopup& popup : state.menu) {
        for (auto it = popup.items.begin(); it != popup.items.end(); ++it) {
            if (it->id == id) {
                popup.items.erase(it);
                current->menu_changed();
                return;
            }
        }
    }
}

std::string strip_mnemonic(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') out += '&', ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

// ---- Child windows, cursor, help ---------------------------------------------------------------

void place_child(Child which, int x, int y, int w, int h) {
    child_state(which).place = {x, y, w < 0 ? 0 : w, h < 0 ? 0 : h};
    current->child_changed(which);
}
void show_child(Child which, bool shown) {
    child_state(which).shown = shown;
    current->child_changed(which);
}
bool child_shown(Child which) {
    return child_state(which).shown;
}
ChildPlace child_place(Child which) {
    return child_state(which).place;
}
void invalidate_child(Child which) {
    current->invalidate_child(which);
}
gfx::Canvas& child_canvas(Child which) {
    return current->child_canvas(which);
}

void set_cursor(Cursor cursor) {
    state.cursor = cursor;
    current->cursor_changed();
}
Cursor cursor() {
    return state.cursor;
}
bool show_help(const std::string& file, const std::string& topic) {
    return current->show_help(file, topic);
}

// ---- Events and the pump -----------------------------------------------------------------------

void set_handlers(const Handlers& handlers) {
    state.handlers = handlers;
}

void dispatch(const Event& e) {
    if (state.closed) return;
    const Handlers& h = state.handlers;
    switch (e.kind) {
    case EventKind::command:
        // A second command inside a running one could re-read the model or free what the
        // running one works on: refuse it, unless it is the close request, held as that is.
        if (state.running > 0) {
            if (is_close(e))
                state.close_held = true;
            else
                beep();
            return;
        }
        run_command(e.id);
        return;
    case EventKind::close:
        if (state.running > 0)
            state.close_held = true;
        else
            run_close();
        return;
    case EventKind::popup_opening:
        if (h.popup_opening) h.popup_opening(e.id);
        return;
    case EventKind::key:
        if (h.key) h.key(e.id);
        return;
    case EventKind::mouse_down:
        if (h.mouse_down) h.mouse_down(e.button, e.x, e.y);
        return;
    case EventKind::mouse_move:
        if (h.mouse_move) h.mouse_move(e.x, e.y);
        return;
    case EventKind::child_mouse_down:
        if (h.child_mouse_down) h.child_mouse_down(e.child, e.button, e.x, e.y);
        return;
    case EventKind::scroll:
        if (h.scroll) h.scroll(e.bar, e.code, e.pos);
        return;
    case EventKind::paint:
        if (h.paint) h.paint();
        return;
    case EventKind::paint_child: {
        const auto& paint = e.child == Child::status ? h.paint_status : h.paint_next;
        if (paint) paint();
        return;
    }
    }
}

void request_close() {
    Event e;
    e.kind = EventKind::close;
    dispatch(e);
}

bool command_running() {
    return state.running > 0;
}
bool close_requested() {
    return state.close_held;
}
bool window_closed() {
    return state.closed;
}

CommandScope::CommandScope() {
    ++state.running;
}

CommandScope::~CommandScope() {
    if (--state.running == 0 && state.close_held) run_close();
}

bool is_abort_key(int ch) {
    return ch == 27 || ch == 'Q' || ch == 'q';
}

PumpResult pump() {
    Event e;
    while (current->next_event(e)) {
        if (e.kind == EventKind::key && is_abort_key(e.id)) return PumpResult::abort;
        if (is_close(e)) {
            dispatch(e);
            return PumpResult::quit;
        }
        dispatch(e);
    }
    return state.close_held || state.closed ? PumpResult::quit : PumpResult::empty;
}

void reset() {
    state = WindowState();
}

void install_backend(Backend* backend) {
    current = backend ? backend : &null_backend;
}

} // namespace ui
