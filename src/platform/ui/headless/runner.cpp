// The script runner: starts the program on the headless backend and plays the script's actions.
//
// One action a line; '#' starts a comment; "double quotes" hold blanks. The whole script is
// checked before anything runs: an unknown or malformed line fails the run (exit 2).
//
//   start [screen W H] [memory MIB]  the machine (default 1024 x 768, 512 MiB; at most
//                                    7680 x 4320 and 1048576 MiB); optional, and
//                                    before every other action but answers. Without it the
//                                    program starts with the defaults at the first action.
//                                    The client area is that of the window over the whole
//                                    screen: (W - 17) x (H - 42) pixels.
//   menu ID | menu "Popup/Item"      a menu command by id (removed items too), or by the texts
//                                    without '&': the popup opens first (its handler may remove
//                                    items), then the item must be there.
//   popup "Popup"                    opens a popup of the menu bar without choosing an item.
//   file PATH | file cancel          answer for the next file dialog; a relative PATH is taken
//                                    in the dialog's initial folder, $SCRIPT_DIR stands for the
//                                    script's folder and $PROGRAM_DIR for the program folder.
//   dialog NAME actions...           answer for the next dialog of template NAME; actions, in
//                                    order after its init and first paint: click ID, set ID
//                                    TEXT (edit fields), scroll ID POS|lineup|linedown|pageup|
//                                    pagedown|top|bottom, ok, cancel. The actions must end the
//                                    dialog, and must not address absent or disabled controls.
//   box yes|no|ok|cancel             answer for the next message box that offers that button;
//                                    an OK box needs none (it takes a waiting `box ok`).
//   key C                            a character: one character, esc, enter, tab, space,
//                                    backspace, or a decimal code of two digits or more.
//   click left|right|middle X Y      a mouse button at canvas pixel (X, Y): the window gets
//                                    client (X, Y) less the scroll positions.
//   click next                       a left click on the "Next" child window (must be shown).
//   scroll h|v POS|lineup|...        the main window's bar: a thumb drag to POS, or a request.
//   expect box "glob"                a box whose text (line breaks as \n), or "[caption] text",
//                                    matches was shown
//   expect text "glob"               since the last box (text, beep) this check found; one
//   expect beep                      check finds one record, so repeated checks follow order.
//   expect title "glob"              the window title matches now.   '*' any run, '?' one char
//   close                            the close request of the main window.
//   optimise                         the array optimisation as a command: its options dialog
//                                    takes a queued `dialog OptArrayDiaBox ...` answer (none:
//                                    Cancel, nothing runs). No script line runs meanwhile, so
//                                    "Next" stays unclicked.
//   queue key C | queue close | queue menu ID|"Popup/Item"
//                                    puts the event into the message queue instead of
//                                    delivering it: the user typing ahead. The pump inside the
//                                    next command finds it; whatever is left when that action
//                                    is over goes through the idle loop like any event.
//
// Answers (file, dialog, box) are queued in script order and consumed by whatever asks next.
// A file dialog, dialog or box with buttons other than OK that finds no fitting answer is
// cancelled (a yes/no box answers No) and reported as a NOANSWER line. Events of the other
// actions are delivered at once (the program is idle between lines), then every waiting event
// (queued input, then paints) is dispatched. Standard output gets BOX, BEEP, NOANSWER and HELP
// lines; the transcript file gets those and a TEXT line for every text drawn on the window or
// a watched canvas. The run fails (exit 2) on a malformed line, a failed expect (the run stops
// there), a dialog action the user could not do, an action after the program ended (expect
// still works), or answers left unconsumed at the end. A command that fails is not a failure
// of the run.
#include "platform/ui/headless/backend.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/headless/script.h"

#include "platform/sys/sys.h"

#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <system_error>

namespace headless {

namespace {

// More events than this in one idle pass means a handler keeps invalidating itself.
constexpr int max_idle_events = 100000;

class Runner {
  public:
    Runner(ScriptBackend& backend, ui::Backend& active, Transcript& transcript,
           const AppHooks& hooks)
        : backend_(backend), active_(active), transcript_(transcript), hooks_(hooks) {}
    int run(const std::vector<Action>& actions);

  private:
    ScriptBackend& backend_; // answers, the script's message queue
    ui::Backend& active_;    // the installed backend: events come from it
    Transcript& transcript_;
    const AppHooks& hooks_;
    bool started_ = false, start_failed_ = false;

    void start(const Action* line);
    bool over() const { return start_failed_ || ui::window_closed(); }
    void idle();
    bool expect(const Action& a);
    void act(const Action& a);
    /// The events of an input action, or false (with the failure reported) when the user
    /// could not do it.
    bool events_of(const Action& a, std::vector<ui::Event>& events);
    void optimise();
    int popup_index(const std::string& text);
    int item_id(int popup, const std::string& text);
};

void Runner::start(const Action* line) {
    StartSettings s;
    if (line && line->has_screen) s.screen_width = line->width, s.screen_height = line->height;
    if (line && line->has_memory) s.memory_mib = line->memory;
    started_ = true;
    backend_.set_screen(s.screen_width, s.screen_height);
    sys::set_physical_memory_override(static_cast<std::uint64_t>(s.memory_mib) << 20);
    if (hooks_.start && !hooks_.start(s)) {
        start_failed_ = true;
        return;
    }
    idle();
}

void Runner::idle() {
    ui::Event e;
    for (int n = 0; active_.next_event(e); ++n) {
        if (n == max_idle_events) {
            transcript_.fail("events keep coming: a handler keeps asking for repaints");
            return;
        }
        ui::dispatch(e);
    }
}

bool Runner::expect(const Action& a) {
    if (a.expect_what == ExpectWhat::title) {
        if (glob_match(a.text, ui::title())) return true;
        transcript_.fail("expect title \"" + a.text + "\": the title is \"" + ui::title() + "\"");
        return false;
    }
    if (transcript_.find(a.expect_what, a.text)) return true;
    static const char* what[] = {"box", "text", "beep", "title"};
    transcript_.fail(std::string("expect ") + what[static_cast<int>(a.expect_what)] +
                     (a.text.empty() ? "" : " \"" + a.text + "\"") +
                     ": nothing of the kind since the last one found");
    return false;
}

void Runner::optimise() {
    if (!hooks_.optimise) {
        transcript_.fail("this program has no array optimisation");
        return;
    }
    {
        ui::CommandScope command;
        hooks_.optimise();
    }
    idle();
}

int Runner::popup_index(const std::string& text) {
    const auto& menu = ui::menu();
    for (std::size_t i = 0; i < menu.size(); ++i)
        if (ui::strip_mnemonic(menu[i].text) == text) return static_cast<int>(i);
    transcript_.fail("the menu bar has no popup \"" + text + "\"");
    return -1;
}

int Runner::item_id(int popup, const std::string& text) {
    const auto& menu = ui::menu();
    if (popup < static_cast<int>(menu.size()))
        for (const ui::MenuItem& item : menu[popup].items)
            if (item.id != 0 && ui::strip_mnemonic(item.text) == text) return item.id;
    transcript_.fail("the popup has no item \"" + text + "\"");
    return 0;
}

bool Runner::events_of(const Action& a, std::vector<ui::Event>& events) {
    ui::Event e;
    switch (a.kind) {
    case ActionKind::menu:
        if (a.by_text) {
            // The popup opens first; its handler decides which items the user then sees.
            int popup = popup_index(a.popup);
            if (popup < 0) return false;
            e.kind = ui::EventKind::popup_opening;
            e.id = popup;
            if (a.queued) {
                events.push_back(e);
            } else {
                ui::dispatch(e);
                if (over()) return true;
            }
            e.id = item_id(popup, a.item);
            if (e.id == 0) return false;
        } else {
            e.id = a.id;
        }
        e.kind = ui::EventKind::command;
        break;
    case ActionKind::popup:
        e.kind = ui::EventKind::popup_opening;
        e.id = popup_index(a.popup);
        if (e.id < 0) return false;
        break;
    case ActionKind::key:
        e.kind = ui::EventKind::key;
        e.id = a.id;
        break;
    case ActionKind::click:
        e.button = a.button;
        if (a.next) {
            if (!ui::child_shown(ui::Child::next)) {
                transcript_.fail("the \"Next\" window is not shown");
                return false;
            }
            e.kind = ui::EventKind::child_mouse_down;
            e.child = ui::Child::next;
            e.x = e.y = 1;
        } else {
            e.kind = ui::EventKind::mouse_down;
            e.x = a.x - ui::scroll_pos(ui::Bar::horizontal);
            e.y = a.y - ui::scroll_pos(ui::Bar::vertical);
        }
        break;
    case ActionKind::scroll:
        e.kind = ui::EventKind::scroll;
        e.bar = a.bar;
        send_scroll(a.code, a.pos, ui::scroll_pos(a.bar), [&](ui::ScrollCode code, int pos) {
            e.code = code;
            e.pos = pos;
            events.push_back(e);
        });
        return true;
    case ActionKind::close:
        e.kind = ui::EventKind::close;
        break;
    default:
        return false;
    }
    events.push_back(e);
    return true;
}

void Runner::act(const Action& a) {
    std::vector<ui::Event> events;
    if (!events_of(a, events)) return;
    for (const ui::Event& e : events) {
        if (a.queued)
            backend_.post(e);
        else
            ui::dispatch(e);
    }
    if (!a.queued) idle();
}

int Runner::run(const std::vector<Action>& actions) {
    for (const Action& a : actions) {
        transcript_.line = a.line;
        if (a.kind == ActionKind::file || a.kind == ActionKind::dialog ||
            a.kind == ActionKind::box) {
            backend_.push_answer(a);
            continue;
        }
        if (a.kind == ActionKind::start) {
            start(&a);
            continue;
        }
        if (!started_) start(nullptr);
        if (a.kind == ActionKind::expect) {
            if (!expect(a)) return exit_failed;
            continue;
        }
        if (over()) {
            transcript_.fail("the program has ended; nothing more can be done in it");
            return exit_failed;
        }
        if (a.kind == ActionKind::optimise)
            optimise();
        else
            act(a);
        if (transcript_.failed()) return exit_failed;
    }
    if (!started_) start(nullptr);
    if (!over()) idle();
    for (const Action& left : backend_.answers()) {
        transcript_.line = left.line;
        transcript_.fail("this answer was never asked for");
    }
    return transcript_.failed() ? exit_failed : exit_ok;
}

// Installs the backend for one run and leaves the ui layer and the memory figure as they were.
class Session {
  public:
    explicit Session(ui::Backend& backend) {
        ui::reset();
        ui::install_backend(&backend);
    }
    ~Session() {
        ui::install_backend(nullptr);
        ui::reset();
        sys::set_physical_memory_override(0);
    }
};

} // namespace

int run_script_text(const std::string& text, const std::string& name, const std::string& script_dir,
                    const RunOptions& options, const AppHooks& hooks) {
    std::ostream& out = options.out ? *options.out : std::cout;
    std::ostream& err = options.err ? *options.err : std::cerr;
    std::vector<ParseError> errors;
    std::vector<Action> actions = parse_script(text, errors);
    for (const ParseError& e : errors)
        err << name << ':' << e.line << ": " << e.message << '\n';
    if (!errors.empty()) return exit_failed;

    std::unique_ptr<std::ofstream> file;
    if (!options.transcript_path.empty()) {
        file = std::make_unique<std::ofstream>(options.transcript_path, std::ios::trunc);
        if (!*file) {
            err << options.transcript_path << ": cannot write the transcript\n";
            return exit_failed;
        }
    }
    Transcript transcript(out, file.get(), err, name);
    ScriptBackend backend(transcript, script_dir);
    std::unique_ptr<ui::Backend> wrapper;
    if (options.wrap_backend) wrapper = options.wrap_backend(backend);
    ui::Backend& active = wrapper ? *wrapper : backend;
    Session session(active);
    return Runner(backend, active, transcript, hooks).run(actions);
}

int run_script(const std::string& path, const RunOptions& options, const AppHooks& hooks) {
    // Only a regular file: a folder would read as an empty script that "succeeds", a FIFO
    // could block for ever.
    struct stat st;
    std::string why;
    if (::stat(path.c_str(), &st) != 0)
        why = std::error_code(errno, std::generic_category()).message();
    else if (!S_ISREG(st.st_mode))
        why = "it is not a regular file";
    std::ifstream in;
    if (why.empty()) {
        in.open(path, std::ios::binary);
        if (!in) why = "it cannot be opened";
    }
    if (!why.empty()) {
        (options.err ? *options.err : std::cerr)
            << path << ": cannot read the script: " << why << '\n';
        return exit_failed;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::size_t cut = path.rfind('/');
    std::string dir = cut == std::string::npos ? "." : path.substr(0, cut);
    if (dir.empty()) dir = "/";
    if (dir[0] != '/') dir = sys::current_dir() + "/" + dir;
    return run_script_text(text.str(), path, dir, options, hooks);
}

} // namespace headless
