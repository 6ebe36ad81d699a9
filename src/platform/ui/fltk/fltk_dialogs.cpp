// Message boxes, template dialogs and the file chooser of the FLTK backend.
#include "platform/ui/fltk/fltk_dialogs.h"

#include "platform/sys/sys.h"
#include "platform/ui/control_map.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace ui {

namespace {

constexpr int font_size = 13;

// Static text drawn as given: no '@' symbols, no mnemonics.
class TextBox : public Fl_Widget {
  public:
    TextBox(int x, int y, int w, int h, const std::string& text, Fl_Align align)
        : Fl_Widget(x, y, w, h), text_(text), align_(align) {}
    void set(const std::string& text) {
        text_ = text;
        redraw();
    }
    const std::string& text() const { return text_; }
    void draw() override {
        fl_push_clip(x(), y(), w(), h());
        fl_color(parent() ? parent()->color() : FL_BACKGROUND_COLOR);
        fl_rectf(x(), y(), w(), h());
        fl_font(FL_HELVETICA, font_size);
        fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
        fl_draw(text_.c_str(), x(), y(), w(), h(), align_, nullptr, 0);
        fl_pop_clip();
    }

  private:
    std::string text_;
    Fl_Align align_;
};

// A group frame with its caption on the top edge.
class GroupFrame : public Fl_Widget {
  public:
    GroupFrame(int x, int y, int w, int h, const std::string& text)
        : Fl_Widget(x, y, w, h), text_(text) {}
    void draw() override {
        fl_font(FL_HELVETICA, font_size);
        const int top = y() + fl_height() / 2;
        fl_color(FL_DARK3);
        fl_rect(x(), top, w(), h() - (top - y()));
        if (!text_.empty()) {
            const int tw = static_cast<int>(fl_width(text_.c_str())) + 6;
            fl_color(parent() ? parent()->color() : FL_BACKGROUND_COLOR);
            fl_rectf(x() + 6, y(), tw, fl_height());
            fl_color(FL_FOREGROUND_COLOR);
            fl_draw(text_.c_str(), x() + 9, y() + fl_height() - fl_descent());
        }
    }

  private:
    std::string text_;
};

// A colour field; a click on it is a command of its id.
class Swatch : public Fl_Box {
  public:
    Swatch(int x, int y, int w, int h) : Fl_Box(FL_BORDER_BOX, x, y, w, h, nullptr) {}
    int handle(int event) override {
        if (event == FL_PUSH && active_r()) {
            do_callback();
            return 1;
        }
        return Fl_Box::handle(event);
    }
};

Fl_Color fl_colour_of(std::uint32_t c) {
    return fl_rgb_color(static_cast<uchar>(c & 255), static_cast<uchar>(c >> 8 & 255),
                        static_cast<uchar>(c >> 16 & 255));
}

// The scroll request a user's action on an FLTK scroll bar stands for: a drag of the thumb, or
// a step of one line or one page towards the new value.
ScrollCode scroll_code_of(int old_value, int new_value) {
    if (Fl::event() == FL_DRAG) return ScrollCode::thumb_track;
    const int step = new_value - old_value;
    if (step == -1) return ScrollCode::line_up;
    if (step == 1) return ScrollCode::line_down;
    return step < 0 ? ScrollCode::page_up : ScrollCode::page_down;
}

// ---- Message box ----------------------------------------------------------------------------

struct BoxState {
    int answer = -1;
    Fl_Window* window = nullptr;
};

class BoxWindow : public Fl_Double_Window {
  public:
    BoxWindow(int w, int h, const char* caption, BoxState& state, int enter, int escape)
        : Fl_Double_Window(w, h, caption), state_(state), enter_(enter), escape_(escape) {}
    int handle(int event) override {
        if (event == FL_SHORTCUT &&
            (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
            state_.answer = enter_;
            hide();
            return 1;
        }
        return Fl_Double_Window::handle(event);
    }
    // Esc and the close button.
    void escape() {
        if (escape_ < 0) return;
        state_.answer = escape_;
        hide();
    }

  private:
    BoxState& state_;
    int enter_, escape_;
};

struct BoxButton {
    int id;
    const char* label;
};

std::vector<BoxButton> box_buttons(unsigned flags) {
    switch (flags & mb_buttons) {
    case mb_okcancel:
        return {{id_ok, "OK"}, {id_cancel, "Cancel"}};
    case mb_yesnocancel:
        return {{id_yes, "&Yes"}, {id_no, "&No"}, {id_cancel, "Cancel"}};
    case mb_yesno:
        return {{id_yes, "&Yes"}, {id_no, "&No"}};
    default:
        return {{id_ok, "OK"}};
    }
}

void add_icon(int x, int y, unsigned flags) {
    const unsigned icon = flags & 0xF0;
    if (icon == 0) return;
    const char* mark = icon == mb_iconexclamation ? "!" : icon == mb_iconquestion ? "?" : "i";
    Fl_Box* b = new Fl_Box(FL_OVAL_BOX, x, y, 36, 36, nullptr);
    b->copy_label(mark);
    b->color(icon == mb_iconexclamation ? FL_YELLOW : fl_rgb_color(40, 90, 200));
    b->labelcolor(icon == mb_iconexclamation ? FL_BLACK : FL_WHITE);
    b->labelfont(FL_HELVETICA_BOLD);
    b->labelsize(22);
}

void close_box(void* window) {
    static_cast<Fl_Window*>(window)->hide();
}

} // namespace

std::string without_mnemonics(const std::string& text) {
    return strip_mnemonic(text);
}

void place_in_front(Fl_Window& w) {
    Fl_Window* front = Fl::first_window();
    int x = 0, y = 0, sw = Fl::w(), sh = Fl::h();
    if (front && front != &w) x = front->x(), y = front->y(), sw = front->w(), sh = front->h();
    w.position(x + std::max(0, (sw - w.w()) / 2), y + std::max(0, (sh - w.h()) / 3));
}

int fltk_message_box(const std::string& text, const std::string& caption, unsigned flags,
                     int preset, double hold_seconds) {
    const std::vector<BoxButton> buttons = box_buttons(flags);
    int escape = -1;
    for (const BoxButton& b : buttons)
        if (b.id == id_cancel) escape = id_cancel;
    if (buttons.size() == 1) escape = id_ok;

    fl_font(FL_HELVETICA, font_size);
    int tw = 0, th = 0;
    fl_measure(text.c_str(), tw, th, 0);
    if (tw > 560) {
        tw = 560;
        th = 0;
        fl_measure(text.c_str(), tw, th, 0);
    }
    const bool icon = (flags & 0xF0) != 0;
    const int text_x = icon ? 70 : 20;
    const int bw = 86, bh = 26, gap = 10;
    const int buttons_w = static_cast<int>(buttons.size()) * (bw + gap) - gap;
    const int w = std::max({text_x + tw + 20, buttons_w + 40, 260});
    const int text_h = std::max(th, icon ? 36 : 0);
    const int h = 20 + text_h + 20 + bh + 14;

    BoxState state;
    BoxWindow win(w, h, nullptr, state, buttons.front().id, escape);
    win.copy_label(caption.c_str());
    win.begin();
    if (icon) add_icon(20, 20, flags);
    new TextBox(text_x, 20, w - text_x - 20, text_h, text,
                Fl_Align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP |
                         (th < 36 && icon ? FL_ALIGN_CENTER : FL_ALIGN_TOP)));
    int bx = (w - buttons_w) / 2;
    std::vector<std::pair<int, BoxState*>> data;
    data.reserve(buttons.size());
    for (const BoxButton& b : buttons) {
        Fl_Button* button = new Fl_Button(bx, h - bh - 14, bw, bh);
        button->copy_label(b.label);
        data.emplace_back(b.id, &state);
        button->callback(
            [](Fl_Widget* wd, void* p) {
                auto* d = static_cast<std::pair<int, BoxState*>*>(p);
                d->second->answer = d->first;
                wd->window()->hide();
            },
            &data.back());
        bx += bw + gap;
    }
    win.end();
    win.callback([](Fl_Widget* wd, void*) { static_cast<BoxWindow*>(wd)->escape(); });
    win.set_modal();
    place_in_front(win);
    win.show();
    if (hold_seconds > 0) Fl::add_timeout(hold_seconds, close_box, &win);
    while (win.shown())
        Fl::wait();
    Fl::remove_timeout(close_box, &win);
    if (hold_seconds > 0 && state.answer < 0) state.answer = preset;
    return state.answer < 0 ? escape : state.answer;
}

// ---- Template dialogs -----------------------------------------------------------------------

namespace {

// Width of the widest line of `text` in the dialog font, mnemonic marks left out.
int text_width(const std::string& text) {
    fl_font(FL_HELVETICA, font_size);
    int w = 0, h = 0;
    fl_measure(without_mnemonics(text).c_str(), w, h, 0);
    return w;
}

// Height of `text` in the dialog font wrapped at `width` pixels (0: at its line breaks only);
// its widest line in `wrapped`.
int wrapped_height(const std::string& text, int width, int* wrapped = nullptr) {
    fl_font(FL_HELVETICA, font_size);
    int w = std::max(width, 0), h = 0;
    fl_measure(without_mnemonics(text).c_str(), w, h, 0);
    if (wrapped) *wrapped = w;
    return h;
}

// Room a button needs beside its label: the round or square mark of radio and check buttons,
// the frame of a push button, the gap of a group's caption.
int label_margin(ControlKind kind) {
    switch (kind) {
    case ControlKind::radio:
    case ControlKind::check_box:
        return font_size + 12;
    case ControlKind::push_button:
        return 10;
    case ControlKind::group:
        return 18;
    default:
        return 0;
    }
}

bool has_label(const ControlSpec& c) {
    return !c.text.empty() && (c.kind == ControlKind::static_text || label_margin(c.kind) > 0);
}

// Pixels of one dialog unit across and down. The templates were drawn for a smaller font than
// this one, so the scale grows from the base until every text of the template shows whole: each
// static text in at most the lines its control is high, each button's label on one line.
struct Scale {
    double x = 1.6, y = 1.75;

    explicit Scale(const DialogTemplate& tmpl) {
        constexpr double most = 3.5; // keeps a dialog on the screen whatever it holds
        fl_font(FL_HELVETICA, font_size);
        const int line = fl_height();
        for (const ControlSpec& c : tmpl.controls)
            if (has_label(c) && c.h > 0) y = std::max(y, double(line) / c.h);
        y = std::min(y, most);
        for (const ControlSpec& c : tmpl.controls)
            if (has_label(c) && c.w > 0) x = std::max(x, double(needed_width(c)) / c.w);
        x = std::min(x, most);
    }
    int px(int units) const { return int(std::ceil(units * x)); }
    int py(int units) const { return int(std::ceil(units * y)); }
    /// The control's place in the dialog in pixels.
    void place(const ControlSpec& c, int& x_, int& y_, int& w, int& h) const {
        x_ = px(c.x), y_ = py(c.y), w = std::max(px(c.w), 4), h = std::max(py(c.h), 4);
    }

  private:
    // The narrowest width in which the control's text fits its height at this vertical scale.
    int needed_width(const ControlSpec& c) const {
        if (c.kind != ControlKind::static_text) return text_width(c.text) + label_margin(c.kind);
        const int height = py(c.h), widest = text_width(c.text);
        if (wrapped_height(c.text, widest) > height) return widest; // one line a line break
        int lo = 1, hi = widest;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (wrapped_height(c.text, std::max(mid, 1)) <= height)
                hi = mid;
            else
                lo = mid + 1;
        }
        return hi;
    }
};

struct Control {
    ControlKind kind;
    Fl_Widget* widget;
    int min = 0, max = 0, pos = 0; // scroll bars
};

class TemplateDialog;

class DialogWindow : public Fl_Double_Window {
  public:
    DialogWindow(int w, int h, TemplateDialog& dialog) : Fl_Double_Window(w, h), dialog_(dialog) {}
    int handle(int event) override;

  private:
    TemplateDialog& dialog_;
};

class TemplateDialog final : public Dialog {
  public:
    TemplateDialog(const DialogTemplate& tmpl, const DialogProc& proc);
    int run();
    void send(DialogEvent event, const DialogArgs& args) {
        if (!ended_ && proc_) proc_(*this, event, args);
    }
    void command(int id) {
        DialogArgs a;
        a.id = id;
        send(DialogEvent::command, a);
    }

    std::string text(int id) const override;
    void set_text(int id, const std::string& text) override;
    bool checked(int id) const override;
    void set_checked(int id, bool on) override;
    int scroll_pos(int id) const override;
    void set_scroll(int id, int min, int max, int pos) override;
    void set_swatch(int id, std::uint32_t colour) override;
    void enable(int id, bool on) override;
    void set_focus(int id) override {
        Dialog::set_focus(id);
        Control* c = find(id);
        if (!c || !c->widget->take_focus()) return;
        if (c->kind == ControlKind::edit) {
            auto* input = static_cast<Fl_Input*>(c->widget);
            input->position(input->size(), 0);
        }
    }
    void end(int result) override {
        ended_ = true;
        result_ = result;
        window_.hide();
    }

  private:
    const DialogProc& proc_;
    const std::vector<int> edits_; // in the template's order
    Scale scale_;
    DialogWindow window_;
    std::map<int, Control> controls_;
    std::vector<std::pair<TemplateDialog*, int>> callback_data_;
    bool ended_ = false;
    int result_ = -1;

    const Control* find(int id) const { return find_control(controls_, id); }
    Control* find(int id) { return find_control(controls_, id); }
    void add(const ControlSpec& spec);
    void focus_on_opening();
    Fl_Widget* wire(Fl_Widget* w, int id, Fl_Callback* callback);
    static void clicked(Fl_Widget* w, void* data);
    static void scrolled(Fl_Widget* w, void* data);
};

int DialogWindow::handle(int event) {
    if (event == FL_SHORTCUT && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
        dialog_.command(id_ok);
        return 1;
    }
    return Fl_Double_Window::handle(event);
}

TemplateDialog::TemplateDialog(const DialogTemplate& tmpl, const DialogProc& proc)
    : proc_(proc), edits_(edit_fields(tmpl)), scale_(tmpl),
      window_(std::max(scale_.px(tmpl.width), 120), std::max(scale_.py(tmpl.height), 60), *this) {
    window_.copy_label(tmpl.caption.c_str());
    callback_data_.reserve(tmpl.controls.size());
    window_.begin();
    for (const ControlSpec& spec : tmpl.controls)
        add(spec);
    window_.end();
    // Esc and the close button are the Cancel command, as the procedures expect.
    window_.callback(
        [](Fl_Widget*, void* d) { static_cast<TemplateDialog*>(d)->command(id_cancel); }, this);
    window_.set_modal();
}

void TemplateDialog::add(const ControlSpec& s) {
    int x, y, w, h;
    scale_.place(s, x, y, w, h);
    const std::string label = without_mnemonics(s.text);
    Fl_Widget* widget = nullptr;
    switch (s.kind) {
    case ControlKind::static_text:
        widget =
            new TextBox(x, y, w, h, label,
                        Fl_Align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP));
        break;
    case ControlKind::group:
        widget = new GroupFrame(x, y, w, h, label);
        break;
    case ControlKind::edit: {
        auto* input = new Fl_Input(x, y, w, std::max(h, 20));
        input->textsize(font_size);
        input->value(s.text.c_str());
        widget = input;
        break;
    }
    case ControlKind::radio:
    case ControlKind::check_box:
    case ControlKind::push_button: {
        Fl_Button* b = s.kind == ControlKind::radio
                           ? static_cast<Fl_Button*>(new Fl_Round_Button(x, y, w, h))
                       : s.kind == ControlKind::check_box ? new Fl_Check_Button(x, y, w, h)
                                                          : new Fl_Button(x, y, w, h);
        b->copy_label(s.text.c_str()); // '&' marks the key, as in the templates
        b->labelsize(font_size);
        widget = wire(b, s.id, clicked);
        break;
    }
    case ControlKind::scroll_bar: {
        auto* bar = new Fl_Scrollbar(x, y, w, h);
        bar->type(w > h ? FL_HORIZONTAL : FL_VERTICAL);
        bar->linesize(1);
        bar->clear_visible_focus();
        widget = wire(bar, s.id, scrolled);
        break;
    }
    case ControlKind::colour_swatch: {
        auto* sw = new Swatch(x, y, w, h);
        widget = wire(sw, s.id, clicked);
        break;
    }
    }
    if (s.id != 0 && s.id != -1) controls_[s.id] = Control{s.kind, widget};
}

// Events of `w` go to `callback` with this dialog and the control's id. callback_data_ has room
// for every control of the template, so the pointers stay valid.
Fl_Widget* TemplateDialog::wire(Fl_Widget* w, int id, Fl_Callback* callback) {
    callback_data_.emplace_back(this, id);
    w->callback(callback, &callback_data_.back());
    return w;
}

// Buttons do not check themselves: the procedure sets the checks on the command.
void TemplateDialog::clicked(Fl_Widget* w, void* data) {
    auto* d = static_cast<std::pair<TemplateDialog*, int>*>(data);
    if (auto* b = dynamic_cast<Fl_Button*>(w); b && b->type() == FL_TOGGLE_BUTTON)
        b->value(!b->value());
    d->first->command(d->second);
}

// The bar moves only when the procedure sets it.
void TemplateDialog::scrolled(Fl_Widget* w, void* data) {
    auto* d = static_cast<std::pair<TemplateDialog*, int>*>(data);
    Control* c = d->first->find(d->second);
    auto* bar = static_cast<Fl_Scrollbar*>(w);
    const int now = bar->value();
    if (!c || now == c->pos) return;
    DialogArgs a;
    a.id = d->second;
    a.code = scroll_code_of(c->pos, now);
    a.pos = now;
    bar->value(c->pos);
    d->first->send(DialogEvent::scroll, a);
}

int TemplateDialog::run() {
    send(DialogEvent::init, {});
    if (ended_) return result_;
    place_in_front(window_);
    window_.show();
    Fl::flush();
    send(DialogEvent::first_paint, {});
    focus_on_opening();
    while (!ended_ && window_.shown())
        Fl::wait();
    window_.hide();
    return ended_ ? result_ : -1;
}

// The field the procedure chose, else the first edit that takes input; given now that the
// window is shown and the texts are in.
void TemplateDialog::focus_on_opening() {
    if (ended_) return;
    if (focus() != 0) {
        set_focus(focus());
        return;
    }
    for (const int id : edits_) {
        const Control* c = find(id);
        if (c && c->widget->active_r()) {
            set_focus(id);
            return;
        }
    }
}

std::string TemplateDialog::text(int id) const {
    const Control* c = find(id);
    if (!c) return "";
    switch (c->kind) {
    case ControlKind::edit:
        return static_cast<Fl_Input*>(c->widget)->value();
    case ControlKind::static_text:
        return static_cast<TextBox*>(c->widget)->text();
    default:
        return c->widget->label() ? c->widget->label() : "";
    }
}

void TemplateDialog::set_text(int id, const std::string& text) {
    Control* c = find(id);
    if (!c) return;
    switch (c->kind) {
    case ControlKind::edit:
        static_cast<Fl_Input*>(c->widget)->value(text.c_str());
        break;
    case ControlKind::static_text:
        static_cast<TextBox*>(c->widget)->set(text);
        break;
    default:
        c->widget->copy_label(text.c_str());
        c->widget->redraw();
        break;
    }
}

bool TemplateDialog::checked(int id) const {
    const Control* c = find(id);
    if (!c || !(c->kind == ControlKind::radio || c->kind == ControlKind::check_box)) return false;
    return static_cast<Fl_Button*>(c->widget)->value() != 0;
}

void TemplateDialog::set_checked(int id, bool on) {
    Control* c = find(id);
    if (!c || !(c->kind == ControlKind::radio || c->kind == ControlKind::check_box)) return;
    static_cast<Fl_Button*>(c->widget)->value(on ? 1 : 0);
}

int TemplateDialog::scroll_pos(int id) const {
    const Control* c = find(id);
    return c && c->kind == ControlKind::scroll_bar ? c->pos : 0;
}

void TemplateDialog::set_scroll(int id, int min, int max, int pos) {
    Control* c = find(id);
    if (!c || c->kind != ControlKind::scroll_bar) return;
    if (max < min) std::swap(min, max);
    c->min = min;
    c->max = max;
    c->pos = std::clamp(pos, min, max);
    auto* bar = static_cast<Fl_Scrollbar*>(c->widget);
    const int extent = max - min;
    const int window = std::max(1, extent / 10);
    bar->scrollvalue(c->pos, window, min, extent + window);
}

void TemplateDialog::set_swatch(int id, std::uint32_t colour) {
    Control* c = find(id);
    if (!c || c->kind != ControlKind::colour_swatch) return;
    c->widget->color(fl_colour_of(colour));
    c->widget->redraw();
}

void TemplateDialog::enable(int id, bool on) {
    Control* c = find(id);
    if (!c) return;
    if (on)
        c->widget->activate();
    else
        c->widget->deactivate();
}

} // namespace

std::vector<TextExtent> fltk_text_extents(const DialogTemplate& tmpl) {
    const Scale scale(tmpl);
    std::vector<TextExtent> out;
    for (const ControlSpec& c : tmpl.controls) {
        if (!has_label(c)) continue;
        TextExtent e;
        e.text = c.text;
        int x, y;
        scale.place(c, x, y, e.width, e.height);
        if (c.kind == ControlKind::static_text) {
            e.text_height = wrapped_height(c.text, e.width, &e.text_width);
        } else {
            e.text_width = text_width(c.text) + label_margin(c.kind);
            e.text_height = wrapped_height(c.text, 0);
        }
        out.push_back(e);
    }
    return out;
}

int fltk_run_dialog(const DialogTemplate& tmpl, const DialogProc& proc) {
    TemplateDialog dialog(tmpl, proc);
    return dialog.run();
}

} // namespace ui
