// The FLTK main window: menu bar, the view that shows the window surface, scroll bars, the two
// child windows, and the event queue that the ui layer's pump and the event loop read.
#include "platform/ui/fltk/fltk_backend.h"

#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/fltk/fltk_dialogs.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <X11/Xlib.h>
#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace ui {

namespace {

constexpr int menu_height = menu_bar_height;
constexpr int bar_size = scroll_bar_size;
// Drawing that commands do straight into the window shows within this time.
constexpr double redraw_interval = 0.05;
// How long Help waits for the opener of the help page to fail before leaving it to run.
constexpr double opener_verdict_seconds = 0.5;

// Copies `canvas` to the widget area at (x, y), white where the canvas does not reach.
void draw_canvas(const gfx::Canvas& canvas, int x, int y, int w, int h) {
    const int cw = std::min(canvas.width(), w), ch = std::min(canvas.height(), h);
    if (cw > 0 && ch > 0)
        fl_draw_image(reinterpret_cast<const uchar*>(canvas.pixels().data()), x, y, cw, ch, 4,
                      canvas.width() * 4);
    fl_color(FL_WHITE);
    if (cw < w) fl_rectf(x + std::max(cw, 0), y, w - std::max(cw, 0), h);
    if (ch < h) fl_rectf(x, y + std::max(ch, 0), std::max(cw, 0), h - std::max(ch, 0));
}

} // namespace

// ---- Widgets --------------------------------------------------------------------------------

struct FltkBackend::Impl {
    class View;
    class ChildView;
    class MenuBar;
    class MainWindow;

    FltkBackend& owner;
    MainWindow* window = nullptr;
    MenuBar* menubar = nullptr;
    View* view = nullptr;
    Fl_Scrollbar* bars[2] = {nullptr, nullptr}; // horizontal, vertical
    ChildView* children[2] = {nullptr, nullptr};
    gfx::Canvas surface;
    gfx::Canvas child_surfaces[2];
    std::deque<Event> events;
    bool paint_pending = false;
    bool child_paint_pending[2] = {false, false};
    int bar_pos[2] = {0, 0};
    std::vector<Fl_Menu_Item> menu_items;
    std::vector<std::string> menu_labels;
    double last_redraw = 0;
    std::vector<pid_t> viewers; // help openers still running

    // Collects the openers that have ended; the others go on.
    void reap_viewers() {
        viewers.erase(std::remove_if(viewers.begin(), viewers.end(),
                                     [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; }),
                      viewers.end());
    }

    explicit Impl(FltkBackend& o) : owner(o) {}
    void build();
    void layout();
    void post(const Event& e) { events.push_back(e); }
    void rebuild_menu();
    void redraw_all();
    static int bar_index(Bar bar) { return bar == Bar::horizontal ? 0 : 1; }
    static int child_index(Child c) { return c == Child::status ? 0 : 1; }
};

class FltkBackend::Impl::View : public Fl_Widget {
  public:
    View(int x, int y, int w, int h, Impl& impl) : Fl_Widget(x, y, w, h), impl_(impl) {}
    void draw() override { draw_canvas(impl_.surface, x(), y(), w(), h()); }
    int handle(int event) override {
        switch (event) {
        case FL_FOCUS:
        case FL_UNFOCUS:
        case FL_ENTER:
            return 1;
        case FL_MOVE:
        case FL_DRAG: {
            // Only the latest position matters: a waiting move is replaced.
            Event e;
            e.kind = EventKind::mouse_move;
            e.x = Fl::event_x() - x();
            e.y = Fl::event_y() - y();
            if (!impl_.events.empty() && impl_.events.back().kind == EventKind::mouse_move)
                impl_.events.back() = e;
            else
                impl_.post(e);
            return 1;
        }
        case FL_PUSH: {
            take_focus();
            Event e;
            e.kind = EventKind::mouse_down;
            const int b = Fl::event_button();
            e.button = b == FL_RIGHT_MOUSE    ? MouseButton::right
                       : b == FL_MIDDLE_MOUSE ? MouseButton::middle
                                              : MouseButton::left;
            e.x = Fl::event_x() - x();
            e.y = Fl::event_y() - y();
            impl_.post(e);
            return 1;
        }
        case FL_MOUSEWHEEL: {
            // A wheel notch moves three lines' worth of a page, as a thumb drag.
            for (Bar bar : {Bar::vertical, Bar::horizontal}) {
                const int step = bar == Bar::vertical ? Fl::event_dy() : Fl::event_dx();
                if (step == 0) continue;
                Event e;
                e.kind = EventKind::scroll;
                e.bar = bar;
                e.code = ScrollCode::thumb_track;
                e.pos = impl_.bar_pos[bar_index(bar)] + step * 48;
                impl_.post(e);
                e.code = ScrollCode::end_scroll;
                impl_.post(e);
            }
            return 1;
        }
        case FL_KEYBOARD: {
            const int key = Fl::event_key();
            int ch = 0;
            if (key == FL_Escape)
                ch = 27;
            else if (key == FL_Enter || key == FL_KP_Enter)
                ch = 13;
            else if (key == FL_BackSpace)
                ch = 8;
            else if (key == FL_Tab)
                ch = 9;
            else if (Fl::event_length() > 0)
                ch = static_cast<unsigned char>(Fl::event_text()[0]);
            if (ch == 0 || (Fl::event_state() & (FL_ALT | FL_META))) return 0;
            Event e;
            e.kind = EventKind::key;
            e.id = ch;
            impl_.post(e);
            return 1;
        }
        default:
            return Fl_Widget::handle(event);
        }
    }

  private:
    Impl& impl_;
};

class FltkBackend::Impl::ChildView : public Fl_Widget {
  public:
    ChildView(Impl& impl, Child which) : Fl_Widget(0, 0, 1, 1), impl_(impl), which_(which) {}
    void draw() override {
        draw_canvas(impl_.child_surfaces[child_index(which_)], x(), y(), w(), h());
        fl_color(FL_DARK3);
        fl_rect(x(), y(), w(), h());
    }
    int handle(int event) override {
        if (event != FL_PUSH) return Fl_Widget::handle(event);
        Event e;
        e.kind = EventKind::child_mouse_down;
        e.child = which_;
        e.button = Fl::event_button() == FL_RIGHT_MOUSE ? MouseButton::right : MouseButton::left;
        e.x = Fl::event_x() - x();
        e.y = Fl::event_y() - y();
        impl_.post(e);
        return 1;
    }

  private:
    Impl& impl_;
    Child which_;
};

// The menu bar tells the program which popup is about to open before FLTK opens it, so the
// program can change the items first.
class FltkBackend::Impl::MenuBar : public Fl_Menu_Bar {
  public:
    MenuBar(int x, int y, int w, int h) : Fl_Menu_Bar(x, y, w, h) {}
    int handle(int event) override {
        int popup = -1;
        if (event == FL_PUSH && menu()) {
            popup = title_at(Fl::event_x() - x());
        } else if (event == FL_SHORTCUT && menu() && !menu()->test_shortcut()) {
            int index = -1;
            const Fl_Menu_Item* m = menu()->find_shortcut(&index, true);
            if (m && m->submenu()) popup = index;
        }
        if (popup >= 0) {
            Event e;
            e.kind = EventKind::popup_opening;
            e.id = popup;
            ui::dispatch(e); // at once: the items must be right when the popup shows
        }
        return Fl_Menu_Bar::handle(event);
    }

  private:
    // The title under x, laid out as FLTK lays out a menu bar's titles.
    int title_at(int mx) const {
        int xx = 3, n = 0;
        for (const Fl_Menu_Item* m = menu(); m && m->text; m = m->next(), ++n) {
            xx += m->measure(nullptr, this) + 16;
            if (xx > mx) return n;
        }
        return -1;
    }
};

class FltkBackend::Impl::MainWindow : public Fl_Double_Window {
  public:
    MainWindow(int w, int h, Impl& impl) : Fl_Double_Window(w, h), impl_(impl) {}
    void resize(int x, int y, int w, int h) override {
        Fl_Double_Window::resize(x, y, w, h);
        impl_.layout();
    }

  private:
    Impl& impl_;
};

namespace {

void scrolled(Fl_Widget* w, void* data) {
    auto* impl = static_cast<FltkBackend::Impl*>(data);
    const int index = w == impl->bars[0] ? 0 : 1;
    auto* bar = static_cast<Fl_Scrollbar*>(w);
    const int now = bar->value(), before = impl->bar_pos[index];
    if (now == before) return;
    // The program moves the bar when it has taken the request.
    bar->value(before);
    Event e;
    e.kind = EventKind::scroll;
    e.bar = index == 0 ? Bar::horizontal : Bar::vertical;
    e.pos = now;
    if (Fl::event() == FL_DRAG)
        e.code = ScrollCode::thumb_track;
    else if (now - before == -1)
        e.code = ScrollCode::line_up;
    else if (now - before == 1)
        e.code = ScrollCode::line_down;
    else
        e.code = now < before ? ScrollCode::page_up : ScrollCode::page_down;
    impl->post(e);
    e.code = ScrollCode::end_scroll;
    impl->post(e);
}

} // namespace

void FltkBackend::Impl::build() {
    window = new MainWindow(800, 600, *this);
    window->begin();
    menubar = new MenuBar(0, 0, 800, menu_height);
    menubar->textsize(14);
    view = new View(0, menu_height, 800 - bar_size, 600 - menu_height - bar_size, *this);
    bars[0] = new Fl_Scrollbar(0, 600 - bar_size, 800 - bar_size, bar_size);
    bars[0]->type(FL_HORIZONTAL);
    bars[1] = new Fl_Scrollbar(800 - bar_size, menu_height, bar_size, 600 - menu_height - bar_size);
    for (Fl_Scrollbar* b : bars) {
        b->linesize(1);
        b->clear_visible_focus();
        b->callback(scrolled, this);
    }
    for (Child c : {Child::status, Child::next}) {
        children[child_index(c)] = new ChildView(*this, c);
        children[child_index(c)]->hide();
    }
    window->end();
    window->resizable(view);
    window->user_data(this);
    // The close button asks the program; Esc is a key for the program, never a close.
    window->callback(
        [](Fl_Widget*, void* d) {
            auto* impl = static_cast<Impl*>(d);
            Event e;
            if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) {
                e.kind = EventKind::key;
                e.id = 27;
            } else {
                e.kind = EventKind::close;
            }
            impl->post(e);
        },
        this);
    layout();
}

void FltkBackend::Impl::layout() {
    if (!view) return;
    const int w = window->w(), h = window->h();
    menubar->resize(0, 0, w, menu_height);
    const int vw = std::max(1, w - bar_size), vh = std::max(1, h - menu_height - bar_size);
    view->resize(0, menu_height, vw, vh);
    bars[0]->resize(0, menu_height + vh, vw, bar_size);
    bars[1]->resize(vw, menu_height, bar_size, vh);
    if (surface.width() != vw || surface.height() != vh) {
        surface.resize(vw, vh);
        paint_pending = true;
    }
    for (Child c : {Child::status, Child::next}) {
        const ChildPlace p = child_place(c);
        children[child_index(c)]->resize(view->x() + p.x, view->y() + p.y, std::max(p.w, 1),
                                         std::max(p.h, 1));
    }
    window->redraw();
}

void FltkBackend::Impl::rebuild_menu() {
    const std::vector<MenuPopup>& popups = menu();
    menubar->menu(nullptr);
    menu_labels.clear();
    menu_items.clear();
    std::size_t count = 1;
    for (const MenuPopup& p : popups)
        count += p.items.size() + 2;
    menu_labels.reserve(count);
    menu_items.reserve(count);
    auto item = [&](const std::string& label, int flags, int id) {
        menu_labels.push_back(label);
        Fl_Menu_Item m{};
        m.text = menu_labels.back().c_str();
        m.flags = flags;
        if (id != 0) {
            m.callback_ = [](Fl_Widget* w, void* data) {
                auto* impl = static_cast<Impl*>(w->user_data());
                Event e;
                e.kind = EventKind::command;
                e.id = static_cast<int>(reinterpret_cast<std::intptr_t>(data));
                impl->post(e);
            };
            m.user_data_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(id));
        }
        menu_items.push_back(m);
    };
    auto end = [&] { menu_items.push_back(Fl_Menu_Item{}); };
    for (const MenuPopup& p : popups) {
        item(p.text, FL_SUBMENU, 0);
        for (const MenuItem& mi : p.items) {
            if (mi.id == 0) {
                // A separator is a line under the item before it.
                if (!menu_items.empty() && menu_items.back().text &&
                    !(menu_items.back().flags & FL_SUBMENU))
                    menu_items.back().flags |= FL_MENU_DIVIDER;
                continue;
            }
            item(mi.text, 0, mi.id);
        }
        end();
    }
    end();
    menubar->user_data(this);
    menubar->menu(menu_items.data());
    menubar->redraw();
}

void FltkBackend::Impl::redraw_all() {
    view->redraw();
    for (ChildView* c : children)
        if (c->visible()) c->redraw();
    last_redraw = sys::wall_seconds();
}

// ---- The backend ----------------------------------------------------------------------------

bool display_available() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    XCloseDisplay(d);
    return true;
}

FltkBackend::FltkBackend() : impl_(std::make_unique<Impl>(*this)) {
    fl_open_display();
    // The program reads and writes numbers with a dot, whatever the desktop's locale says.
    std::setlocale(LC_NUMERIC, "C");
    Fl::scheme("gtk+");
    Fl::visual(FL_DOUBLE | FL_RGB);
    impl_->build();
}

FltkBackend::~FltkBackend() {
    if (impl_->window) {
        impl_->window->hide();
        impl_->menubar->menu(nullptr);
        delete impl_->window;
    }
}

void FltkBackend::show_maximised() {
    int x, y, w, h;
    Fl::screen_work_area(x, y, w, h);
    impl_->window->resize(x, y, w, h);
    impl_->window->copy_label(title().c_str());
    impl_->window->show();
    impl_->view->take_focus();
    impl_->paint_pending = true;
}

void FltkBackend::run() {
    Event e;
    while (!window_closed()) {
        if (next_event(e)) {
            dispatch(e);
            continue;
        }
        impl_->redraw_all();
        if (!impl_->window->shown()) break;
        Fl::wait();
    }
}

void FltkBackend::wait(double seconds) {
    impl_->redraw_all();
    const double end = sys::wall_seconds() + seconds;
    for (double left = seconds; left > 0; left = end - sys::wall_seconds())
        Fl::wait(left);
}

void FltkBackend::show_message_for(const std::string& text, const std::string& caption,
                                   unsigned flags, int answer, double seconds) {
    impl_->redraw_all();
    fltk_message_box(text, caption, flags, answer, seconds);
}

int FltkBackend::message_box(const std::string& text, const std::string& caption, unsigned flags) {
    impl_->redraw_all();
    return fltk_message_box(text, caption, flags);
}

void FltkBackend::beep() {
    fl_beep();
}

bool FltkBackend::file_dialog(const FileRequest& request, std::string& path) {
    impl_->redraw_all();
    return fltk_choose_file(request, path);
}

int FltkBackend::run_dialog(const DialogTemplate& tmpl, const DialogProc& proc) {
    impl_->redraw_all();
    return fltk_run_dialog(tmpl, proc);
}

void FltkBackend::title_changed() {
    impl_->window->copy_label(title().c_str());
}

Size FltkBackend::client_size() {
    return {impl_->view->w(), impl_->view->h()};
}

Size FltkBackend::screen_size() {
    return {Fl::w(), Fl::h()};
}

void FltkBackend::set_scroll(Bar bar, int min, int max, int page, int pos) {
    const int i = Impl::bar_index(bar);
    if (max < min) std::swap(min, max);
    pos = std::clamp(pos, min, max);
    impl_->bar_pos[i] = pos;
    Fl_Scrollbar* b = impl_->bars[i];
    const int window =
        page > 0 ? page : std::max(1, bar == Bar::horizontal ? impl_->view->w() : impl_->view->h());
    b->scrollvalue(pos, window, min, (max - min) + window);
    if (max > min)
        b->activate();
    else
        b->deactivate();
}

int FltkBackend::scroll_pos(Bar bar) {
    return impl_->bar_pos[Impl::bar_index(bar)];
}

void FltkBackend::invalidate() {
    impl_->paint_pending = true;
}

bool FltkBackend::is_foreground() {
    return impl_->window->shown() && !Fl::modal() && Fl::first_window() == impl_->window;
}

gfx::Canvas& FltkBackend::window_canvas() {
    return impl_->surface;
}

void FltkBackend::menu_changed() {
    impl_->rebuild_menu();
}

void FltkBackend::child_changed(Child which) {
    const int i = Impl::child_index(which);
    const ChildPlace p = child_place(which);
    impl_->child_surfaces[i].resize(p.w, p.h);
    Impl::ChildView* c = impl_->children[i];
    c->resize(impl_->view->x() + p.x, impl_->view->y() + p.y, std::max(p.w, 1), std::max(p.h, 1));
    if (child_shown(which)) {
        c->show();
        impl_->child_paint_pending[i] = true;
    } else {
        c->hide();
    }
    impl_->window->redraw();
}

void FltkBackend::invalidate_child(Child which) {
    if (child_shown(which)) impl_->child_paint_pending[Impl::child_index(which)] = true;
}

gfx::Canvas& FltkBackend::child_canvas(Child which) {
    return impl_->child_surfaces[Impl::child_index(which)];
}

void FltkBackend::cursor_changed() {
    Fl_Cursor c = FL_CURSOR_DEFAULT;
    if (cursor() == Cursor::wait) c = FL_CURSOR_WAIT;
    if (cursor() == Cursor::cross) c = FL_CURSOR_CROSS;
    impl_->window->cursor(c);
}

bool FltkBackend::show_help(const std::string& file, const std::string& /*topic*/) {
    if (!sys::file_exists(file)) return false;
    // The desktop's opener for the file, started on its own (no shell sees the name) in a
    // process group of its own, so that a break typed at the program's terminal leaves it.
    pid_t pid = 0;
    char opener[] = "xdg-open";
    std::string path = file;
    char* argv[] = {opener, path.data(), nullptr};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const int failed = posix_spawnp(&pid, opener, nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) return false;
    // An opener that cannot show the page says so at once; one that keeps its viewer in the
    // foreground goes on while the window takes input and paints (reaped by next_event).
    const double end = sys::wall_seconds() + opener_verdict_seconds;
    while (sys::wall_seconds() < end) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        wait(0.02);
    }
    impl_->viewers.push_back(pid);
    return true;
}

bool FltkBackend::next_event(Event& event) {
    impl_->reap_viewers();
    if (sys::wall_seconds() - impl_->last_redraw > redraw_interval) impl_->redraw_all();
    Fl::check();
    if (!impl_->events.empty()) {
        event = impl_->events.front();
        impl_->events.pop_front();
        return true;
    }
    event = Event();
    // Paints come when nothing else waits; the widget shows the surface once it is painted.
    if (impl_->paint_pending) {
        impl_->paint_pending = false;
        impl_->view->redraw();
        event.kind = EventKind::paint;
        return true;
    }
    for (Child c : {Child::status, Child::next}) {
        const int i = Impl::child_index(c);
        if (impl_->child_paint_pending[i]) {
            impl_->child_paint_pending[i] = false;
            impl_->children[i]->redraw();
            event.kind = EventKind::paint_child;
            event.child = c;
            return true;
        }
    }
    return false;
}

} // namespace ui
