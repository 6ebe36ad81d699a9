// The scripted backend: message boxes, file dialogs and modal dialogs answered from the queued
// answers of the script, events from its message queue, and the transcript.
#include "platform/ui/headless/backend.h"

#include "platform/sys/sys.h"
#include "platform/ui/control_map.h"

#include <algorithm>
#include <map>
#include <ostream>
#include <utility>

namespace headless {

// ---- Transcript --------------------------------------------------------------------------------

Transcript::Transcript(std::ostream& out, std::ostream* file, std::ostream& err, std::string name)
    : out_(out), file_(file), err_(err), name_(std::move(name)) {}

void Transcript::print(const std::string& line, bool to_out) {
    if (to_out) out_ << line << '\n' << std::flush;
    if (file_) *file_ << line << '\n' << std::flush;
}

void Transcript::box(const std::string& caption, const std::string& text) {
    std::string shown = escape_breaks(text);
    print("BOX [" + caption + "] " + shown, true);
    records_.push_back({ExpectWhat::box, shown, "[" + caption + "] " + shown});
}

void Transcript::beep() {
    print("BEEP", true);
    records_.push_back({ExpectWhat::beep, std::string(), std::string()});
}

void Transcript::text(const std::string& text) {
    std::string shown = escape_breaks(text);
    print("TEXT " + shown, false);
    records_.push_back({ExpectWhat::text, shown, shown});
}

void Transcript::note(const std::string& line) {
    print(line, true);
}

void Transcript::fail(const std::string& message) {
    failed_ = true;
    err_ << name_ << ':' << line << ": " << message << '\n' << std::flush;
}

void Transcript::warn(const std::string& message) {
    err_ << name_ << ':' << line << ": note: " << message << '\n' << std::flush;
}

bool Transcript::find(ExpectWhat what, const std::string& pattern) {
    std::size_t& mark = marks_[static_cast<int>(what)];
    for (std::size_t i = mark; i < records_.size(); ++i) {
        const Record& r = records_[i];
        if (r.what == what && (glob_match(pattern, r.text) || glob_match(pattern, r.full))) {
            mark = i + 1;
            return true;
        }
    }
    return false;
}

// ---- Modal dialog ------------------------------------------------------------------------------

namespace {

// A dialog as its procedure sees it: the controls of the template with their state.
class ScriptDialog final : public ui::Dialog {
  public:
    explicit ScriptDialog(const ui::DialogTemplate& tmpl) {
        for (const ui::ControlSpec& c : tmpl.controls) {
            if (c.id <= 0) continue;
            Control& ctl = controls_[c.id];
            ctl.kind = c.kind;
            ctl.text = c.text;
        }
    }
    std::string text(int id) const override {
        const Control* c = find(id);
        return c ? c->text : std::string();
    }
    void set_text(int id, const std::string& text) override {
        if (Control* c = find(id)) c->text = text;
    }
    bool checked(int id) const override {
        const Control* c = find(id);
        return c && c->checked;
    }
    void set_checked(int id, bool on) override {
        if (Control* c = find(id)) c->checked = on;
    }
    int scroll_pos(int id) const override {
        const Control* c = find(id);
        return c ? c->pos : 0;
    }
    void set_scroll(int id, int min, int max, int pos) override {
        if (Control* c = find(id)) {
            c->min = min;
            c->max = max;
            c->pos = std::max(min, std::min(max, pos));
        }
    }
    void set_swatch(int id, std::uint32_t colour) override {
        if (Control* c = find(id)) c->colour = colour;
    }
    void enable(int id, bool on) override {
        if (Control* c = find(id)) c->enabled = on;
    }
    void end(int result) override {
        if (ended_) return;
        ended_ = true;
        result_ = result;
    }

    bool ended() const { return ended_; }
    bool takes_input(int id) const {
        const Control* c = find(id);
        return c && c->enabled;
    }
    int result() const { return result_; }
    /// Why the user could not do `step` (absent or disabled control, wrong kind); empty if ok.
    std::string refuse(const DialogStep& step) const {
        if (step.kind == DialogStep::Kind::ok || step.kind == DialogStep::Kind::cancel) return {};
        const Control* c = find(step.id);
        std::string which = "control " + std::to_string(step.id);
        if (!c) return which + " is not in the dialog";
        if (!c->enabled) return which + " is disabled";
        if (step.kind == DialogStep::Kind::set && c->kind != ui::ControlKind::edit)
            return which + " is not an edit field";
        if (step.kind == DialogStep::Kind::scroll && c->kind != ui::ControlKind::scroll_bar)
            return which + " is not a scroll bar";
        return {};
    }

  private:
    struct Control {
        ui::ControlKind kind = ui::ControlKind::static_text;
        std::string text;
        bool checked = false, enabled = true;
        int min = 0, max = 100, pos = 0;
        std::uint32_t colour = 0;
    };
    std::map<int, Control> controls_;
    bool ended_ = false;
    int result_ = -1;

    const Control* find(int id) const { return ui::find_control(controls_, id); }
    Control* find(int id) { return ui::find_control(controls_, id); }
};

std::string describe(const Action& a) {
    switch (a.kind) {
    case ActionKind::file:
        return "file " + a.text;
    case ActionKind::dialog:
        return "dialog " + a.text;
    default:
        return "box";
    }
}

} // namespace

void send_scroll(ui::ScrollCode code, int pos, int current,
                 const std::function<void(ui::ScrollCode, int)>& send) {
    if (code == ui::ScrollCode::thumb_track) {
        send(ui::ScrollCode::thumb_track, pos);
        send(ui::ScrollCode::thumb_position, pos);
    } else {
        send(code, current);
    }
    send(ui::ScrollCode::end_scroll, current);
}

// ---- Backend -----------------------------------------------------------------------------------

ScriptBackend::ScriptBackend(Transcript& transcript, std::string script_dir)
    : transcript_(transcript), script_dir_(std::move(script_dir)) {
    observe(window_);
}

ScriptBackend::~ScriptBackend() {
    for (gfx::Canvas* c : watched_)
        c->set_text_observer(nullptr);
}

void ScriptBackend::observe(gfx::Canvas& canvas) {
    canvas.set_text_observer([this](int, int, const std::string& text) { transcript_.text(text); });
}

void ScriptBackend::set_screen(int width, int height) {
    screen_ = {width, height};
    client_ = ui::client_of_screen(screen_);
    window_.resize(client_.width, client_.height);
}

const Action* ScriptBackend::front_answer(ActionKind kind, const std::string& asker) {
    if (answers_.empty()) return nullptr;
    const Action& a = answers_.front();
    if (a.kind == kind && (kind != ActionKind::dialog || a.text == asker)) return &a;
    transcript_.warn("the next answer (" + describe(a) + ", line " + std::to_string(a.line) +
                     ") does not fit " + asker);
    return nullptr;
}

int ScriptBackend::message_box(const std::string& text, const std::string& caption,
                               unsigned flags) {
    transcript_.box(caption, text);
    unsigned buttons = flags & ui::mb_buttons;
    std::vector<int> offered;
    int dismissed = ui::id_cancel; // what closing the box without an answer gives
    switch (buttons) {
    case ui::mb_ok:
        offered = {ui::id_ok}, dismissed = ui::id_ok;
        break;
    case ui::mb_okcancel:
        offered = {ui::id_ok, ui::id_cancel};
        break;
    case ui::mb_yesnocancel:
        offered = {ui::id_yes, ui::id_no, ui::id_cancel};
        break;
    case ui::mb_yesno:
        offered = {ui::id_yes, ui::id_no}, dismissed = ui::id_no;
        break;
    default:
        offered = {ui::id_ok, ui::id_cancel};
        break;
    }
    bool ok_only = buttons == ui::mb_ok;
    // An OK box needs no answer: it takes a queued `box ok` and leaves any other answer.
    if (!answers_.empty() && answers_.front().kind == ActionKind::box) {
        int id = answers_.front().id;
        if (std::find(offered.begin(), offered.end(), id) != offered.end()) {
            answers_.pop_front();
            return id;
        }
    }
    if (ok_only) return ui::id_ok;
    if (front_answer(ActionKind::box, "the message box") != nullptr)
        transcript_.warn("box answer does not name a button of this box");
    transcript_.note("NOANSWER box [" + caption + "]");
    return dismissed;
}

void ScriptBackend::beep() {
    transcript_.beep();
}

bool ScriptBackend::file_dialog(const ui::FileRequest& request, std::string& path) {
    const Action* a = front_answer(ActionKind::file, "the file dialog");
    if (!a) {
        transcript_.note("NOANSWER file [" + request.title + "]");
        return false;
    }
    bool cancel = a->cancel;
    std::string answer = a->text;
    answers_.pop_front();
    if (cancel) return false;
    // $SCRIPT_DIR lets a script name files beside itself wherever it is run from, and
    // $PROGRAM_DIR in the program folder (--home) it runs in.
    std::string program_dir = sys::program_dir();
    if (program_dir.size() > 1 && program_dir.back() == '/') program_dir.pop_back();
    for (const auto& [var, value] :
         {std::pair<std::string, std::string>{"$SCRIPT_DIR", script_dir_},
          {"$PROGRAM_DIR", program_dir}})
        for (std::size_t at; (at = answer.find(var)) != std::string::npos;)
            answer.replace(at, var.size(), value);
    path = answer;
    return true;
}

int ScriptBackend::run_dialog(const ui::DialogTemplate& tmpl, const ui::DialogProc& proc) {
    if (!front_answer(ActionKind::dialog, tmpl.name)) {
        transcript_.note("NOANSWER dialog " + tmpl.name);
        return -1;
    }
    std::vector<DialogStep> steps = answers_.front().steps;
    answers_.pop_front();

    ScriptDialog dlg(tmpl);
    auto send = [&](ui::DialogEvent ev, const ui::DialogArgs& args) {
        if (!dlg.ended() && proc) proc(dlg, ev, args);
    };
    send(ui::DialogEvent::init, {});
    send(ui::DialogEvent::first_paint, {});
    // The focus where the window's dialog puts it on opening.
    if (dlg.focus() == 0)
        for (const int id : ui::edit_fields(tmpl))
            if (dlg.takes_input(id)) {
                dlg.set_focus(id);
                break;
            }
    for (const DialogStep& s : steps) {
        if (dlg.ended()) {
            transcript_.fail("dialog " + tmpl.name + " ended before all its actions ran");
            break;
        }
        std::string refused = dlg.refuse(s);
        if (!refused.empty()) {
            transcript_.fail("dialog " + tmpl.name + ": " + refused);
            continue;
        }
        ui::DialogArgs args;
        switch (s.kind) {
        case DialogStep::Kind::ok:
            args.id = ui::id_ok;
            break;
        case DialogStep::Kind::cancel:
            args.id = ui::id_cancel;
            break;
        case DialogStep::Kind::click:
            args.id = s.id;
            break;
        case DialogStep::Kind::set:
            dlg.set_text(s.id, s.text);
            continue;
        case DialogStep::Kind::scroll:
            send_scroll(s.code, s.pos, dlg.scroll_pos(s.id), [&](ui::ScrollCode code, int pos) {
                ui::DialogArgs sa;
                sa.id = s.id;
                sa.code = code;
                sa.pos = pos;
                send(ui::DialogEvent::scroll, sa);
            });
            continue;
        }
        send(ui::DialogEvent::command, args);
    }
    if (!dlg.ended()) {
        // A user cannot leave a dialog open and go on: the script must end it.
        transcript_.fail("dialog " + tmpl.name + " is still open after its actions");
        send(ui::DialogEvent::command, ui::DialogArgs{ui::id_cancel});
    }
    return dlg.ended() ? dlg.result() : -1;
}

void ScriptBackend::set_scroll(ui::Bar bar, int min, int max, int page, int pos) {
    ScrollBar& b = bars_[bar_index(bar)];
    b = {min, max, page, std::max(min, std::min(max, pos))};
}

void ScriptBackend::watch_canvas(gfx::Canvas& canvas, bool on) {
    auto it = std::find(watched_.begin(), watched_.end(), &canvas);
    if (on && it == watched_.end()) {
        watched_.push_back(&canvas);
        observe(canvas);
    } else if (!on && it != watched_.end()) {
        watched_.erase(it);
        canvas.set_text_observer(nullptr);
    }
}

void ScriptBackend::child_changed(ui::Child which) {
    ui::ChildPlace p = ui::child_place(which);
    children_[child_index(which)].resize(p.w, p.h);
    if (ui::child_shown(which)) child_paint_pending_[child_index(which)] = true;
}

void ScriptBackend::invalidate_child(ui::Child which) {
    // A hidden window gets no paint.
    if (ui::child_shown(which)) child_paint_pending_[child_index(which)] = true;
}

bool ScriptBackend::show_help(const std::string& file, const std::string& topic) {
    transcript_.note("HELP " + file + (topic.empty() ? "" : " " + topic));
    return sys::file_exists(file);
}

bool ScriptBackend::next_event(ui::Event& event) {
    // Input first; paints come when nothing else waits, as in any window system.
    if (!events_.empty()) {
        event = events_.front();
        events_.pop_front();
        return true;
    }
    event = ui::Event();
    if (paint_pending_) {
        paint_pending_ = false;
        event.kind = ui::EventKind::paint;
        return true;
    }
    for (ui::Child c : {ui::Child::status, ui::Child::next}) {
        if (child_paint_pending_[child_index(c)]) {
            child_paint_pending_[child_index(c)] = false;
            event.kind = ui::EventKind::paint_child;
            event.child = c;
            return true;
        }
    }
    return false;
}

} // namespace headless
