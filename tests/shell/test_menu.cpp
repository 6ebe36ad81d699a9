// The menu bar, the items removed when a popup opens, and the dispatch of menu commands.
#include "window_fixture.h"

#include "platform/ui/headless/headless.h"
#include "shell/dispatch.h"
#include "shell/menu.h"
#include "support/files.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <vector>

namespace {

std::vector<int> ids_of(int popup) {
    std::vector<int> ids;
    for (const ui::MenuItem& item : ui::menu().at(popup).items)
        ids.push_back(item.id);
    return ids;
}

TEST_F(WindowProgram, MenuAfterEachPopupOpens) {
    ASSERT_TRUE(start());
    const std::vector<ui::MenuPopup> full = shell::alteration_menu();
    ASSERT_EQ(ui::menu().size(), 7u);
    std::vector<std::string> titles;
    for (const ui::MenuPopup& p : ui::menu())
        titles.push_back(p.text);
    EXPECT_EQ(titles, (std::vector<std::string>{"&File", "&Edit", "&Options", "&Model computation",
                                                "&Print", "&Help", "&Quit"}));
    // What each popup shows once opened (separators are 0).
    const std::map<int, std::vector<int>> shown = {
        {0, {101, 102, 5330, 103, 105, 0, 1240, 0, 106}},
        {1, {110, 111, 112, 300, 0, 0, 400, 550, 0, 117, 118, 0, 525, 539, 301}},
        {2, {122, 123, 570}},
        {3, {130, 137, 1140}},
        {4, {552}},
        {5, {146, 145, 147}},
        {6, {150}},
    };
    // Opening a popup touches only its own items.
    popup(1);
    EXPECT_EQ(ids_of(1), shown.at(1));
    for (int p : {2, 3})
        EXPECT_EQ(ui::menu()[p].items.size(), full[p].items.size()) << p;
    for (int round = 0; round < 2; ++round) {
        for (int p = 0; p < 7; ++p) {
            popup(p);
            EXPECT_EQ(ids_of(p), shown.at(p)) << "popup " << p << " round " << round;
        }
    }
    // The texts of the items that stay are those of the full menu.
    for (std::size_t p = 0; p < full.size(); ++p)
        for (const ui::MenuItem& item : ui::menu()[p].items) {
            auto it = std::find_if(full[p].items.begin(), full[p].items.end(),
                                   [&](const ui::MenuItem& f) { return f.id == item.id; });
            ASSERT_NE(it, full[p].items.end());
            EXPECT_EQ(it->text, item.text);
        }
}

// Replaces every handler of the command table by a probe for the test's lifetime.
class CommandProbes {
  public:
    std::vector<int> calls;
    CommandProbes() : saved_(shell::command_table()) {
        for (shell::CommandRow& row : shell::command_table()) {
            const int id = row.id;
            const shell::ViewRule view = row.view;
            row.action = [this, id, view] {
                calls.push_back(id);
                if (view == shell::ViewRule::callee) Mainviewstate.view_code = 9000 + id;
                return 7000 + id;
            };
        }
    }
    ~CommandProbes() { shell::command_table() = saved_; }
    void set(int id, std::function<int()> action) {
        for (shell::CommandRow& row : shell::command_table())
            if (row.id == id) row.action = std::move(action);
    }

  private:
    std::vector<shell::CommandRow> saved_;
};

TEST_F(WindowProgram, EveryCommandIdReachesItsRowWithItsViewCode) {
    ASSERT_TRUE(start());
    for (int p = 0; p < 7; ++p)
        popup(p); // the removed ones too
    CommandProbes probes;
    // Each command and the view code it leaves, in the table's order: the handler's result
    // (the probe returns 7000 + id), its own id, unchanged (42), or what the handler stores
    // itself (the probe stores 9000 + id).
    constexpr int result = -1, unchanged = -2, callee = -3;
    const std::pair<int, int> expected[] = {
        {101, result}, {102, 102},        {5330, result}, {103, 103},     {105, result},
        {1240, 1240},  {106, unchanged},  {110, 110},     {111, 111},     {112, result},
        {300, result}, {1270, 1270},      {5280, callee}, {5270, 5270},   {5271, result},
        {5290, 5290},  {5288, callee},    {400, result},  {550, 550},     {117, result},
        {118, 118},    {5340, unchanged}, {525, result},  {539, result},  {301, result},
        {122, 122},    {5310, 5310},      {5320, 5320},   {1260, 1260},   {123, result},
        {570, 570},    {130, result},     {137, result},  {1140, result}, {135, 135},
        {552, result}, {146, 146},        {145, 145},     {147, 147},     {150, unchanged},
        {120, result}, {132, unchanged},
    };
    std::vector<int> ids;
    for (const auto& [id, view] : expected) {
        ids.push_back(id);
        Mainviewstate.view_code = 42;
        command(id);
        ASSERT_FALSE(probes.calls.empty()) << id;
        EXPECT_EQ(probes.calls.back(), id);
        const int code = view == result      ? 7000 + id
                         : view == unchanged ? 42
                         : view == callee    ? 9000 + id
                                             : view;
        EXPECT_EQ(Mainviewstate.view_code, code) << id;
    }
    EXPECT_EQ(probes.calls, ids);
    // The table holds these commands and no others.
    std::vector<int> table;
    for (const shell::CommandRow& row : shell::command_table())
        table.push_back(row.id);
    EXPECT_EQ(table, ids);
}

// Every command of the table runs its own handler. On a program without a model and with no
// answer queued, each shows first what its handler shows (its dialog, file dialog or box; the
// commands that need a model refuse with the message of their own path) and leaves its view
// code.
TEST_F(WindowProgram, EveryCommandHasItsHandler) {
    constexpr int unchanged = -1, closes = -2;
    const char* const read_first = "BEEP\nBOX [Message] You must first read in a model!\\n";
    const char* const no_model = "BEEP\nBOX [Message] Hello. There is no model to display!\n";
    const char* const no_potentials = "BEEP\nBOX [Message] You need to select a model and\\n";
    const char* const read_file_first = "BOX [Message] Sorry, you must first read in a model file.";
    const struct {
        int id;
        const char* shows; ///< the start of what it shows
        int view;
    } expected[] = {
        {101, "NOANSWER file [2D Model File]", 101},
        {102, read_first, 102},
        {5330, read_first, 5330},
        {103, read_first, 103},
        {105, "NOANSWER file [Output SURFER File]", 105},
        {1240, "NOANSWER dialog TraceDiaBox", 1240},
        {106, "", closes},
        {110, no_model, 110},
        {111, no_model, 111},
        {112, "NOANSWER dialog ArrayTypeDiaBox2", 112},
        {300, read_file_first, 300},
        {1270, "NOANSWER dialog BorePlotDiaBox", 1270},
        {5280, "NOANSWER dialog JacobCalDiaBox", 5280},
        {5270, no_potentials, 5270},
        {5271, "BEEP\nBOX [Error Message] You must first run the 'Calculate the", 5271},
        {5290, no_potentials, 5290},
        {5288, no_potentials, 5270},
        {400, read_file_first, 400},
        {550, "NOANSWER dialog ExtendDepthDiaBox", 550},
        {117, "BEEP\nBOX [Message] You need to read in a data set", 117},
        {118, "NOANSWER dialog VtsfDiaBox", 118},
        {5340, "NOANSWER dialog PseudoDepthDiaBox", unchanged},
        {525, "NOANSWER dialog ColDiaBox", 525},
        {539, "NOANSWER file [Read colour scheme file]", 539},
        {301, "BOX [Message] The default colour scheme has been restored.", 301},
        {122, "NOANSWER dialog FemDiaBox", 122},
        {5310, "NOANSWER dialog FDFTypeDiaBox", 5310},
        {5320, "NOANSWER dialog UseHermDiaBox", 5320},
        {1260, "NOANSWER dialog ShiftNodeDiaBox", 1260},
        {123, "NOANSWER dialog GeomDiaBox", 123},
        {570, "NOANSWER dialog ComplexIPDiaBox", 570},
        {130, read_first, 130},
        {137, "NOANSWER dialog Sens2DDiaBox", 137},
        {1140, "NOANSWER file [Output ORBANTEL general array file name]", 1140},
        {135, "NOANSWER dialog Array3DSensDiaBox", 135},
        {552, "NOANSWER file [Output BMP File]", 552},
        {146, "HELP ", 146},
        {145, "NOANSWER dialog AboutDiaBox", 145},
        {147, "BOX [Help Message] To move the cursor, use the mouse.", 147},
        {150, "", closes},
        {120, "BOX [Normalisation] One possible way to reduce the errors", 120},
        {132, "BOX [Message] Potential values calculated", unchanged},
    };
    ASSERT_TRUE(start());
    std::vector<int> walked;
    for (const auto& e : expected) {
        walked.push_back(e.id);
        const auto& table = shell::command_table();
        const auto row = std::find_if(table.begin(), table.end(),
                                      [&](const shell::CommandRow& r) { return r.id == e.id; });
        ASSERT_NE(row, table.end()) << e.id;
        ASSERT_TRUE(bool(row->action)) << e.id;
        take_output();
        Mainviewstate.view_code = 42;
        command(e.id);
        const std::string shown = take_output();
        EXPECT_EQ(shown.find(e.shows), 0u) << e.id << ": " << shown;
        if (e.view == closes) {
            EXPECT_TRUE(ui::window_closed()) << e.id;
            shell::end_program();
            ui::reset();
            ASSERT_TRUE(start());
            continue;
        }
        EXPECT_FALSE(ui::window_closed()) << e.id;
        EXPECT_EQ(Mainviewstate.view_code, e.view == unchanged ? 42 : e.view) << e.id;
    }
    std::vector<int> ids;
    for (const shell::CommandRow& row : shell::command_table())
        ids.push_back(row.id);
    EXPECT_EQ(ids, walked);
    EXPECT_TRUE(answered()) << err.str();
}

TEST_F(WindowProgram, IdsWithoutAHandlerOnlyRepaint) {
    ASSERT_TRUE(start());
    CommandProbes probes;
    probes.set(1270, {});
    Progdisplay.model_displayed = 1;
    for (int id : {9999, 1270, 0}) {
        shell::canvas().set_pixel(5, 5, gfx::rgb(0, 0, 255));
        ui::window_canvas().set_pixel(5, 5, gfx::white);
        Mainviewstate.view_code = 42;
        command(id);
        EXPECT_EQ(Mainviewstate.view_code, 42) << id;
        EXPECT_EQ(ui::window_canvas().get_pixel(5, 5), gfx::rgb(0, 0, 255)) << id;
    }
    EXPECT_TRUE(probes.calls.empty());
}

TEST_F(WindowProgram, CommandDuringACommandIsRefusedAndCloseWaits) {
    ASSERT_TRUE(start());
    take_output();
    CommandProbes probes;
    ui::PumpResult pumped = ui::PumpResult::empty;
    bool closed_inside = true;
    probes.set(130, [&] {
        ui::Event e;
        e.kind = ui::EventKind::command;
        e.id = 101;
        backend.post(e); // the user picks another item while the calculation pumps
        e.kind = ui::EventKind::close;
        backend.post(e);
        pumped = ui::pump();
        pumped = ui::pump();
        closed_inside = ui::window_closed() || sys::file_exists(home + "veldarin.ini");
        return 130;
    });
    command(130);
    EXPECT_EQ(take_output(), "BEEP\n");
    EXPECT_EQ(probes.calls, std::vector<int>{});
    EXPECT_EQ(pumped, ui::PumpResult::quit);
    EXPECT_FALSE(closed_inside);
    EXPECT_TRUE(ui::window_closed());
    EXPECT_TRUE(sys::file_exists(home + "veldarin.ini"));
}

TEST_F(WindowProgram, ExitAndQuitCloseWithoutAQuestion) {
    for (int id : {106, 150}) {
        ASSERT_TRUE(start());
        take_output();
        command(id);
        EXPECT_TRUE(ui::window_closed()) << id;
        EXPECT_EQ(take_output(), "") << id;
        shell::end_program();
        ui::reset();
    }
}

TEST_F(WindowProgram, TraceAlreadyActive) {
    ASSERT_TRUE(start());
    take_output();
    Printtrace.active = 1;
    command(1240);
    EXPECT_EQ(take_output(), "BOX [Message] This option is already active!\n");
    EXPECT_EQ(Mainviewstate.view_code, 1240);
}

// The help page the build puts beside the programs, in a program folder that holds it and in one
// that does not.
TEST_F(WindowProgram, HelpOpensTheHelpFileOfTheProgramFolder) {
    ASSERT_TRUE(start());
    take_output();
    command(146);
    EXPECT_EQ(take_output(), "HELP " + home + "Veldarin.html\nBOX [Message] The help file\\n" +
                                 home + "Veldarin.html\\ncannot be shown.\n");
    const std::string shipped = VELDARIN_BINARY_DIR "/app/Veldarin.html";
    ASSERT_TRUE(sys::file_exists(shipped));
    std::ofstream(home + "Veldarin.html") << test_support::read_file(shipped);
    command(146);
    EXPECT_EQ(take_output(), "HELP " + home + "Veldarin.html\n");
    EXPECT_EQ(Mainviewstate.view_code, 146);
}

// The script's `menu ID` reaches a command whose item the menu no longer shows.
TEST_F(WindowProgram, ScriptReachesRemovedItemsById) {
    CommandProbes probes;
    ui::install_backend(nullptr);
    headless::AppHooks hooks;
    hooks.start = [](const headless::StartSettings& s) {
        return shell::start_program(
            {s.screen_width, s.screen_height, std::uint64_t(s.memory_mib) << 20});
    };
    std::ostringstream script_out, script_err;
    headless::RunOptions options;
    options.out = &script_out;
    options.err = &script_err;
    const int rc =
        headless::run_script_text("start screen 1280 1024 memory 800\n"
                                  "expect box \"*Maximum number of electrodes is 257.\"\n"
                                  "popup \"Edit\"\n"
                                  "menu 1270\n"
                                  "menu \"Options/Type of IP model\"\n"
                                  "close\n",
                                  "test", ".", options, hooks);
    EXPECT_EQ(rc, headless::exit_ok) << script_err.str();
    EXPECT_EQ(probes.calls, (std::vector<int>{1270, 570}));
}

} // namespace

namespace {

TEST_F(WindowProgram, DialogFrames) {
    ASSERT_TRUE(start());
    Progdisplay.editmode = 1;
    Progdisplay.model_displayed = 1;
    shell::canvas().set_pixel(3, 3, gfx::black);
    ui::window_canvas().set_pixel(4, 4, gfx::black);
    struct Seen {
        int shown = -1, edit = -1;
        gfx::Colour canvas = 0, window = 0;
    };
    auto look = [](Seen& s) {
        return [&s] {
            s.shown = Progdisplay.model_displayed;
            s.edit = Progdisplay.editmode;
            s.canvas = shell::canvas().get_pixel(3, 3);
            s.window = ui::window_canvas().get_pixel(4, 4);
            return 7;
        };
    };
    Seen a, b, c;
    EXPECT_EQ(shell::dialog_pattern_a(look(a)), 7);
    EXPECT_EQ(a.window, gfx::white); // the window is cleared, the canvas kept
    EXPECT_EQ(a.canvas, gfx::black);
    EXPECT_EQ(a.edit, 1);
    EXPECT_EQ(shell::dialog_pattern_c(look(c)), 7);
    EXPECT_EQ(c.shown, 0); // the canvas is hidden while the dialog is up
    EXPECT_EQ(c.edit, 0);
    EXPECT_EQ(Progdisplay.model_displayed, 1);
    Progdisplay.model_displayed = 0;
    EXPECT_EQ(shell::dialog_pattern_b(look(b)), 7);
    EXPECT_EQ(b.canvas, gfx::white); // the canvas is cleared too
    EXPECT_EQ(Progdisplay.model_displayed, 1);
}

TEST_F(WindowProgram, TraceCommandOpensItsDialogOnlyWhenTracingIsOff) {
    ASSERT_TRUE(start());
    take_output();
    int opened = 0;
    auto dialog = [&] { return ++opened; };
    EXPECT_EQ(shell::trace_command(dialog), 1240);
    EXPECT_EQ(opened, 1);
    Printtrace.active = 1;
    EXPECT_EQ(shell::trace_command(dialog), 1240);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(take_output(), "BOX [Message] This option is already active!\n");
}

} // namespace
