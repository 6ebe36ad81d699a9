// Action scripts run through the headless runner against a small test application: what the
// program shows, the answers it gets, the pump and dispatch rules, and the run's exit code.
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/ui.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// ---- The test application ----------------------------------------------------------------------
// Menu "&Test": 1 "&Hello", 2 "&Ask", 5 "&Long loop"; opening the popup removes item 2.
// Commands: 1 OK box; 2 yes/no box; 3 dialog TestDiaBox; 4 open and 6 save file dialog (in
// `folder`); 5 a long loop that pumps; 7 a repaint inside a command; 8 reports the machine;
// 9 an open dialog with a 24-character path limit. Keys and clicks are written on the window.

std::string folder; // the file dialogs' initial folder

void say(const std::string& text) {
    ui::message_box(text, "Message", ui::mb_iconexclamation);
}

const char* pump_name(ui::PumpResult r) {
    return r == ui::PumpResult::abort ? "abort" : r == ui::PumpResult::quit ? "quit" : "empty";
}

void long_loop() {
    for (int i = 0; i < 1000; ++i) {
        ui::PumpResult r = ui::pump();
        if (r != ui::PumpResult::empty) {
            // A held close keeps stopping later checks; an abort key is gone once seen.
            say("stopped " + std::string(pump_name(r)) + " at " + std::to_string(i) + ", next " +
                pump_name(ui::pump()));
            return;
        }
    }
    say("completed");
}

int test_dialog() {
    ui::DialogTemplate t;
    t.name = "TestDiaBox";
    t.caption = "Test";
    t.controls = {
        {101, ui::ControlKind::edit, "12"},      {102, ui::ControlKind::edit, "2.5"},
        {201, ui::ControlKind::radio, "One"},    {202, ui::ControlKind::radio, "Two"},
        {300, ui::ControlKind::scroll_bar, ""},  {400, ui::ControlKind::static_text, "x"},
        {1, ui::ControlKind::push_button, "OK"}, {2, ui::ControlKind::push_button, "Cancel"}};
    std::string got;
    int result = ui::run_dialog(t, [&](ui::Dialog& d, ui::DialogEvent ev, const ui::DialogArgs& a) {
        switch (ev) {
        case ui::DialogEvent::init:
            d.check_radio(201, 202, 201);
            d.set_scroll(300, 0, 255, 10);
            return true;
        case ui::DialogEvent::first_paint:
            d.enable(400, false);
            return true;
        case ui::DialogEvent::scroll:
            if (a.code == ui::ScrollCode::thumb_track) d.set_scroll(300, 0, 255, a.pos);
            if (a.code == ui::ScrollCode::page_down)
                d.set_scroll(300, 0, 255, d.scroll_pos(300) + 16);
            return true;
        case ui::DialogEvent::command:
            if (a.id == 201 || a.id == 202) d.check_radio(201, 202, a.id);
            if (a.id == ui::id_ok) {
                got = " n=" + std::to_string(d.int_value(101)) + " x=" + d.text(102) +
                      " radio=" + (d.checked(202) ? "202" : "201") +
                      " scroll=" + std::to_string(d.scroll_pos(300));
                d.end(1);
            }
            if (a.id == ui::id_cancel) d.end(0);
            return true;
        }
        return false;
    });
    say("dialog " + std::to_string(result) + got);
    return result;
}

void ask_file(ui::FileDialogKind kind, std::size_t max_path = sys::path_max) {
    std::string file = "*.mod", title = "2D Model File";
    if (ui::file_dialog(kind, file, title, folder, max_path))
        say("file " + title + " " + file);
    else
        say("no file " + title + " " + file);
}

void write_on_window(const std::string& text) {
    ui::window_canvas().text_out(0, 0, text);
}

void command(int id) {
    switch (id) {
    case 1:
        say("Hello\nworld");
        break;
    case 2: {
        int r = ui::message_box("Replace it?", "Question", ui::mb_yesno | ui::mb_iconquestion);
        say(r == ui::id_yes ? "answer yes" : r == ui::id_no ? "answer no" : "answer other");
        break;
    }
    case 3:
        test_dialog();
        break;
    case 4:
        ask_file(ui::FileDialogKind::open);
        break;
    case 5:
        long_loop();
        break;
    case 6:
        ask_file(ui::FileDialogKind::save);
        break;
    case 7:
        ui::invalidate();
        ui::pump();
        break;
    case 8: {
        ui::Size s = ui::screen_size(), c = ui::client_size();
        say("screen " + std::to_string(s.width) + "x" + std::to_string(s.height) + " client " +
            std::to_string(c.width) + "x" + std::to_string(c.height) + " memory " +
            std::to_string(sys::physical_memory_bytes() >> 20));
        break;
    }
    case 9:
        ask_file(ui::FileDialogKind::open, 24);
        break;
    default:
        ui::beep();
    }
}

bool start_app(const headless::StartSettings& s) {
    if (s.memory_mib < 64) {
        say("Insufficient memory to start");
        return false;
    }
    ui::set_menu({{"&Test", {{1, "&Hello"}, {2, "&Ask"}, {0, ""}, {5, "&Long loop"}}}});
    ui::set_scroll(ui::Bar::vertical, 0, 100, 10, 0);
    ui::Handlers h;
    h.command = command;
    h.popup_opening = [](int popup) {
        if (popup == 0) ui::remove_menu_item(2);
    };
    h.key = [](int ch) { write_on_window("key " + std::string(1, char(ch))); };
    h.mouse_down = [](ui::MouseButton b, int x, int y) {
        write_on_window("mouse " + std::to_string(int(b)) + " " + std::to_string(x) + " " +
                        std::to_string(y));
    };
    h.scroll = [](ui::Bar bar, ui::ScrollCode code, int pos) {
        if (code == ui::ScrollCode::thumb_track) ui::set_scroll(bar, 0, 100, 10, pos);
    };
    h.paint = [] { write_on_window("painted"); };
    h.close = [] { say("closing"); };
    ui::set_handlers(h);
    ui::set_title("Test program");
    ui::invalidate();
    return true;
}

struct RunResult {
    int code = -1;
    std::string out, err;
};

RunResult run_case(const std::string& script, const std::string& transcript = "") {
    std::ostringstream out, err;
    headless::RunOptions o;
    o.out = &out;
    o.err = &err;
    o.transcript_path = transcript;
    headless::AppHooks hooks;
    hooks.start = start_app;
    hooks.optimise = [] {
        ui::pump();
        say(ui::command_running() ? "optimising" : "not a command");
    };
    RunResult r;
    r.code = headless::run_script_text(script, "case", folder, o, hooks);
    r.out = out.str();
    r.err = err.str();
    return r;
}

std::string replace_all(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
        s.replace(at, from.size(), to);
    return s;
}

// Each test gets a fresh folder with one file, model.mod, and comes back to the folder it
// started in (file dialogs change the current directory).
class Runner : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path.empty());
        folder = dir_.folder();
        dir_.write("model.mod", "model\n");
    }
    const std::string start_dir_ = sys::current_dir();
    test_support::TempDir dir_{"vd_ui_runner"};
};

struct Case {
    const char* name;
    const char* script;
    const char* out; // "$F" stands for the test folder
    int code;
    const char* why = ""; // part of the runner's message when the run fails
};

const Case cases[] = {
    // Message boxes and their answers.
    {"ok_box", "menu 1\n", "BOX [Message] Hello\\nworld\n", 0},
    {"ok_box_takes_box_ok", "box ok\nmenu 1\n", "BOX [Message] Hello\\nworld\n", 0},
    {"yes_no", "box yes\nbox no\nmenu 2\nmenu 2\n",
     "BOX [Question] Replace it?\nBOX [Message] answer yes\n"
     "BOX [Question] Replace it?\nBOX [Message] answer no\n",
     0},
    {"yes_no_unanswered_is_no", "menu 2\n",
     "BOX [Question] Replace it?\nNOANSWER box [Question]\nBOX [Message] answer no\n", 0},
    {"answer_not_a_button", "box cancel\nmenu 2\n",
     "BOX [Question] Replace it?\nNOANSWER box [Question]\nBOX [Message] answer no\n", 2,
     "case:1: this answer was never asked for"},
    {"ok_box_leaves_other_answers", "box yes\nmenu 1\n", "BOX [Message] Hello\\nworld\n", 2,
     "case:1: this answer was never asked for"},
    // Dialogs from a template, controls by id.
    {"dialog_ok",
     "dialog TestDiaBox set 101 \" 7 apples\" set 102 3.25 click 202 scroll 300 99 ok\n"
     "menu 3\n",
     "BOX [Message] dialog 1 n=7 x=3.25 radio=202 scroll=99\n", 0},
    {"dialog_page_and_defaults", "dialog TestDiaBox scroll 300 pagedown ok\nmenu 3\n",
     "BOX [Message] dialog 1 n=12 x=2.5 radio=201 scroll=26\n", 0},
    {"dialog_cancel", "dialog TestDiaBox click 202 cancel\nmenu 3\n", "BOX [Message] dialog 0\n",
     0},
    {"dialog_unanswered", "menu 3\n", "NOANSWER dialog TestDiaBox\nBOX [Message] dialog -1\n", 0},
    {"dialog_other_name", "dialog NoiseDiaBox ok\nmenu 3\n",
     "NOANSWER dialog TestDiaBox\nBOX [Message] dialog -1\n", 2, "does not fit TestDiaBox"},
    {"dialog_left_open", "dialog TestDiaBox set 101 5\nmenu 3\n", "BOX [Message] dialog 0\n", 2,
     "case:2: dialog TestDiaBox is still open"},
    {"dialog_absent_control", "dialog TestDiaBox click 999 ok\nmenu 3\n",
     "BOX [Message] dialog 1 n=12 x=2.5 radio=201 scroll=10\n", 2,
     "control 999 is not in the dialog"},
    {"dialog_disabled_control", "dialog TestDiaBox click 400 ok\nmenu 3\n",
     "BOX [Message] dialog 1 n=12 x=2.5 radio=201 scroll=10\n", 2, "control 400 is disabled"},
    {"dialog_type_into_radio", "dialog TestDiaBox set 201 x ok\nmenu 3\n",
     "BOX [Message] dialog 1 n=12 x=2.5 radio=201 scroll=10\n", 2,
     "control 201 is not an edit field"},
    {"dialog_actions_after_end", "dialog TestDiaBox ok click 202\nmenu 3\n",
     "BOX [Message] dialog 1 n=12 x=2.5 radio=201 scroll=10\n", 2,
     "ended before all its actions ran"},
    // File dialogs: the path in the dialog's folder, title, prompts, cancel, length limit.
    {"file_open", "file model.mod\nmenu 4\n", "BOX [Message] file model.mod $F/model.mod\n", 0},
    {"file_absolute", "file $F/model.mod\nmenu 4\n", "BOX [Message] file model.mod $F/model.mod\n",
     0},
    {"file_script_dir", "file $SCRIPT_DIR/model.mod\nmenu 4\n",
     "BOX [Message] file model.mod $F/model.mod\n", 0},
    {"file_cancel", "file cancel\nmenu 4\n", "BOX [Message] no file 2D Model File *.mod\n", 0},
    {"file_unanswered", "menu 4\n",
     "NOANSWER file [2D Model File]\nBOX [Message] no file 2D Model File *.mod\n", 0},
    // A file to read must exist: the dialog says so and asks again.
    {"file_missing_then_existing", "file new.mod\nfile model.mod\nmenu 4\n",
     "BOX [2D Model File] new.mod\\nThis file does not exist.\\nPlease choose an existing file.\n"
     "BOX [Message] file model.mod $F/model.mod\n",
     0},
    {"file_missing_then_nothing", "file new.mod\nmenu 4\n",
     "BOX [2D Model File] new.mod\\nThis file does not exist.\\nPlease choose an existing file.\n"
     "NOANSWER file [2D Model File]\nBOX [Message] no file 2D Model File *.mod\n",
     0},
    {"file_save_new", "file out.dat\nmenu 6\n", "BOX [Message] file out.dat $F/out.dat\n", 0},
    // A name without an extension takes the filter's, and the overwrite question asks for it.
    {"file_save_without_extension", "file edited\nmenu 6\n",
     "BOX [Message] file edited.mod $F/edited.mod\n", 0},
    {"file_save_without_extension_overwrite", "file model\nbox yes\nmenu 6\n",
     "BOX [2D Model File] model.mod already exists.\\nDo you want to replace it?\n"
     "BOX [Message] file model.mod $F/model.mod\n",
     0},
    {"file_save_overwrite", "file model.mod\nbox yes\nmenu 6\n",
     "BOX [2D Model File] model.mod already exists.\\nDo you want to replace it?\n"
     "BOX [Message] file model.mod $F/model.mod\n",
     0},
    {"file_path_too_long", "file /tmp/a/very/long/name/model.mod\nmenu 9\n",
     "BOX [2D Model File] The path\\n/tmp/a/very/long/name/model.mod\\nis too long: it has 31 "
     "characters, and at most 23 are allowed.\nBOX [Message] no file 2D Model File *.mod\n",
     0},
    {"file_answer_before_box", "file model.mod\nmenu 2\nmenu 4\n",
     "BOX [Question] Replace it?\nNOANSWER box [Question]\nBOX [Message] answer no\n"
     "BOX [Message] file model.mod $F/model.mod\n",
     0},
    // The pump inside a running command: abort keys, close, a second command.
    {"abort_q", "queue key q\nmenu 5\n", "BOX [Message] stopped abort at 0, next empty\n", 0},
    {"abort_Q", "queue key Q\nmenu 5\n", "BOX [Message] stopped abort at 0, next empty\n", 0},
    {"abort_esc", "queue key esc\nmenu 5\n", "BOX [Message] stopped abort at 0, next empty\n", 0},
    {"abort_after_other_key",
     "queue key x\nqueue key q\nqueue key y\nmenu 5\nexpect text \"key x\"\n"
     "expect text \"key y\"\n",
     "BOX [Message] stopped abort at 0, next empty\n", 0},
    {"close_held_until_command_returns", "queue close\nmenu 5\n",
     "BOX [Message] stopped quit at 0, next quit\nBOX [Message] closing\n", 0},
    {"nothing_after_close", "queue close\nmenu 5\nmenu 1\n",
     "BOX [Message] stopped quit at 0, next quit\nBOX [Message] closing\n", 2,
     "case:3: the program has ended"},
    {"expect_after_close", "close\nexpect box closing\n", "BOX [Message] closing\n", 0},
    {"second_command_refused", "queue menu 1\nmenu 5\n", "BEEP\nBOX [Message] completed\n", 0},
    {"queued_without_pump_runs_after", "queue menu 1\nmenu 8\n",
     "BOX [Message] screen 1024x768 client 1007x726 memory 512\nBOX [Message] Hello\\nworld\n", 0},
    {"optimise_runs_as_a_command", "queue menu 1\noptimise\n", "BEEP\nBOX [Message] optimising\n",
     0},
    {"optimise_takes_nothing", "optimise now\n", "", 2, "case:1: optimise takes nothing"},
    {"idle_keys_go_to_the_window", "key q\nkey esc\nexpect text \"key q\"\n", "", 0},
    // Menu by text, popups, removed items.
    {"menu_by_text", "menu \"Test/Hello\"\n", "BOX [Message] Hello\\nworld\n", 0},
    {"menu_item_removed_on_open", "menu \"Test/Ask\"\n", "", 2, "no item \"Ask\""},
    {"menu_removed_id_reachable", "popup Test\nmenu 2\n",
     "BOX [Question] Replace it?\nNOANSWER box [Question]\nBOX [Message] answer no\n", 0},
    {"queue_menu_by_text", "queue menu \"Test/Hello\"\nmenu 5\n", "BEEP\nBOX [Message] completed\n",
     0},
    {"no_such_popup", "popup Tools\n", "", 2, "no popup \"Tools\""},
    // Start line, window, painting, mouse.
    {"start_screen_memory", "start screen 800 600 memory 256\nmenu 8\n",
     "BOX [Message] screen 800x600 client 783x558 memory 256\n", 0},
    {"start_fails", "start memory 32\nexpect box Insufficient*\n",
     "BOX [Message] Insufficient memory to start\n", 0},
    {"nothing_after_failed_start", "start memory 32\nmenu 1\n",
     "BOX [Message] Insufficient memory to start\n", 2, "case:2: the program has ended"},
    {"start_after_action", "menu 1\nstart\n", "", 2, "case:2: start must come before"},
    // A machine larger than any real one is refused before anything is allocated for it.
    {"screen_too_large", "start screen 2147483647 100\n", "", 2,
     "case:1: screen size too large: at most 7680 x 4320"},
    {"screen_of_4_gb", "start screen 20000 20000\n", "", 2, "case:1: screen size too large"},
    {"huge_memory", "start memory 2147483647\n", "", 2,
     "case:1: memory must be at most 1048576 MiB"},
    {"first_paint_and_title", "expect text painted\nexpect title \"Test*\"\n", "", 0},
    {"wrong_title", "expect title \"Other*\"\n", "", 2, "the title is \"Test program\""},
    {"paint_inside_command", "expect text painted\nmenu 7\nexpect text painted\n", "", 0},
    {"click_canvas_pixel",
     "click left 10 20\nscroll v 30\nclick right 10 50\n"
     "expect text \"mouse 0 10 20\"\nexpect text \"mouse 1 10 20\"\n",
     "", 0},
    {"click_hidden_next", "click next\n", "", 2, "not shown"},
    // Checks and script errors.
    {"expect_in_order", "menu 1\nmenu 2\nexpect box Hello*\nexpect box answer*\nexpect beep\n",
     "BOX [Message] Hello\\nworld\nBOX [Question] Replace it?\nNOANSWER box [Question]\n"
     "BOX [Message] answer no\n",
     2, "case:5: expect beep"},
    {"expect_each_once", "menu 1\nexpect box \"Hello\\nworld\"\nexpect box Hello*\nmenu 1\n",
     "BOX [Message] Hello\\nworld\n", 2, "case:3: expect box \"Hello*\""},
    {"expect_beep", "menu 99\nexpect beep\n", "BEEP\n", 0},
    {"expect_box_caption", "menu 2\nexpect box \"[Question] Replace*\"\n",
     "BOX [Question] Replace it?\nNOANSWER box [Question]\nBOX [Message] answer no\n", 0},
    {"expect_box_wrong_caption", "menu 1\nexpect box \"[Question]*\"\n",
     "BOX [Message] Hello\\nworld\n", 2, "case:2: expect box"},
    {"unknown_line_runs_nothing", "menu 1\nfrobnicate now\n", "", 2,
     "case:2: unknown action 'frobnicate'"},
    {"malformed_lines", "box maybe\nkey\nclick up 1 2\nstart screen 10\nmenu 0\n", "", 2,
     "case:5: menu takes"},
    {"unclosed_quote", "menu \"Test/Hello\n", "", 2, "case:1: unclosed quote"},
    {"unconsumed_file", "file model.mod\nmenu 1\n", "BOX [Message] Hello\\nworld\n", 2,
     "case:1: this answer was never asked for"},
    {"unconsumed_dialog", "dialog TestDiaBox ok\n", "", 2,
     "case:1: this answer was never asked for"},
    {"comments_and_blanks", "# a comment\n\n   menu 1   # and another\n",
     "BOX [Message] Hello\\nworld\n", 0},
};

TEST_F(Runner, ScriptCases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunResult r = run_case(replace_all(c.script, "$F", folder));
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(r.out, replace_all(c.out, "$F", folder));
        if (c.code != 0) {
            EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
        }
        EXPECT_FALSE(ui::command_running());
        sys::set_current_dir(start_dir_);
    }
}

// A script path that is a folder (or missing) is refused, not run as an empty script.
TEST_F(Runner, ScriptThatIsNoFileIsRefused) {
    std::ostringstream out, err;
    headless::RunOptions options;
    options.out = &out;
    options.err = &err;
    headless::AppHooks hooks;
    hooks.start = start_app;
    EXPECT_EQ(headless::run_script(folder, options, hooks), headless::exit_failed);
    EXPECT_EQ(err.str(), folder + ": cannot read the script: it is not a regular file\n");
    err.str("");
    EXPECT_EQ(headless::run_script(folder + "/none.vds", options, hooks), headless::exit_failed);
    EXPECT_EQ(err.str(), folder + "/none.vds: cannot read the script: No such file or directory\n");
}

TEST_F(Runner, FileDialogMakesTheFolderCurrent) {
    ASSERT_EQ(run_case("file model.mod\nmenu 4\n").code, 0);
    EXPECT_EQ(sys::current_dir(), folder);
    sys::set_current_dir(start_dir_);
    ASSERT_EQ(run_case("file cancel\nmenu 4\n").code, 0);
    EXPECT_EQ(sys::current_dir(), start_dir_);
}

TEST_F(Runner, TranscriptHoldsTextBoxesAndBeeps) {
    std::string path = folder + "/transcript.txt";
    RunResult r = run_case("key a\nmenu 1\nmenu 99\nclick left 3 4\n", path);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(test_support::read_file(path),
              "TEXT painted\nTEXT key a\nBOX [Message] Hello\\nworld\nBEEP\n"
              "TEXT mouse 0 3 4\n");
    EXPECT_EQ(r.out, "BOX [Message] Hello\\nworld\nBEEP\n");
}

TEST_F(Runner, WatchedCanvasTextGoesToTheTranscript) {
    gfx::Canvas back(100, 40);
    std::ostringstream out, err;
    headless::RunOptions o;
    o.out = &out;
    o.err = &err;
    headless::AppHooks hooks;
    hooks.start = [&](const headless::StartSettings&) {
        ui::watch_canvas(back);
        ui::Handlers h;
        h.command = [&](int id) {
            back.text_out(0, 0, "off-screen " + std::to_string(id));
            if (id == 2) ui::stop_watching(back);
        };
        ui::set_handlers(h);
        return true;
    };
    EXPECT_EQ(headless::run_script_text("menu 1\nexpect text \"off-screen 1\"\nmenu 2\nmenu 3\n"
                                        "expect text \"off-screen 3\"\n",
                                        "watch", folder, o, hooks),
              headless::exit_failed);
    EXPECT_NE(err.str().find("watch:5:"), std::string::npos) << err.str();
}

TEST_F(Runner, ChildWindowsPaintOnlyWhenShown) {
    int status_paints = 0, next_clicks = 0;
    std::ostringstream out, err;
    headless::RunOptions o;
    o.out = &out;
    o.err = &err;
    headless::AppHooks hooks;
    hooks.start = [&](const headless::StartSettings&) {
        ui::Handlers h;
        h.paint_status = [&] {
            ++status_paints;
            EXPECT_EQ(ui::child_canvas(ui::Child::status).width(), 120);
        };
        h.child_mouse_down = [&](ui::Child c, ui::MouseButton, int, int) {
            if (c == ui::Child::next) ++next_clicks;
        };
        h.command = [](int id) {
            if (id == 1) ui::invalidate_status(); // hidden: no paint
            if (id == 2) ui::show_child(ui::Child::status, true);
            if (id == 3) ui::show_child(ui::Child::next, true);
        };
        ui::set_handlers(h);
        ui::place_child(ui::Child::status, 0, 690, 120, 18);
        return true;
    };
    EXPECT_EQ(headless::run_script_text("menu 1\nmenu 2\nmenu 3\nclick next\nclick next\n", "child",
                                        folder, o, hooks),
              headless::exit_ok)
        << err.str();
    EXPECT_EQ(status_paints, 1);
    EXPECT_EQ(next_clicks, 2);
}

} // namespace

namespace {

// A window of its own that forwards every question to the script and adds one key press.
class WrappingBackend final : public ui::Backend {
  public:
    WrappingBackend(ui::Backend& script, int& boxes) : s_(script), boxes_(boxes) {}
    int message_box(const std::string& t, const std::string& c, unsigned f) override {
        ++boxes_;
        return s_.message_box(t, c, f);
    }
    void beep() override { s_.beep(); }
    bool file_dialog(const ui::FileRequest& r, std::string& p) override {
        return s_.file_dialog(r, p);
    }
    int run_dialog(const ui::DialogTemplate& t, const ui::DialogProc& p) override {
        return s_.run_dialog(t, p);
    }
    void title_changed() override {}
    ui::Size client_size() override { return s_.client_size(); }
    ui::Size screen_size() override { return s_.screen_size(); }
    void set_scroll(ui::Bar b, int lo, int hi, int page, int pos) override {
        s_.set_scroll(b, lo, hi, page, pos);
    }
    int scroll_pos(ui::Bar b) override { return s_.scroll_pos(b); }
    void invalidate() override { s_.invalidate(); }
    bool is_foreground() override { return true; }
    gfx::Canvas& window_canvas() override { return s_.window_canvas(); }
    void menu_changed() override {}
    void child_changed(ui::Child c) override { s_.child_changed(c); }
    void invalidate_child(ui::Child c) override { s_.invalidate_child(c); }
    gfx::Canvas& child_canvas(ui::Child c) override { return s_.child_canvas(c); }
    void cursor_changed() override {}
    bool show_help(const std::string& f, const std::string& t) override {
        return s_.show_help(f, t);
    }
    bool next_event(ui::Event& e) override {
        if (!typed_) {
            typed_ = true;
            e = ui::Event();
            e.kind = ui::EventKind::key;
            e.id = 'w';
            return true;
        }
        return s_.next_event(e);
    }

  private:
    ui::Backend& s_;
    int& boxes_;
    bool typed_ = false;
};

TEST_F(Runner, WrappedBackendTakesItsEventsAndTheScriptsAnswers) {
    std::ostringstream out, err;
    headless::RunOptions o;
    o.out = &out;
    o.err = &err;
    int boxes = 0;
    o.wrap_backend = [&](ui::Backend& script) {
        return std::unique_ptr<ui::Backend>(std::make_unique<WrappingBackend>(script, boxes));
    };
    headless::AppHooks hooks;
    hooks.start = start_app;
    EXPECT_EQ(headless::run_script_text("box yes\nmenu 2\nqueue key q\nmenu 5\n"
                                        "expect text \"key w\"\n",
                                        "wrapped", folder, o, hooks),
              headless::exit_ok)
        << err.str();
    EXPECT_EQ(out.str(), "BOX [Question] Replace it?\nBOX [Message] answer yes\n"
                         "BOX [Message] stopped abort at 0, next empty\n");
    EXPECT_EQ(boxes, 3);
}

} // namespace
