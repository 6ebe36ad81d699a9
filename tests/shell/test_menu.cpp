// The menu bar, the items removed when a popup opens, and the dispatch of menu commands.
#include "window_fixture.h"

#include "platform/ui/headless/headless.h"
#include "shell/dispatch.h"
#include "shell/menu.h"

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

// Every command of the table has its handler, but those of the non-standard arrays (1140, 5271),
// which this build does not have yet.
TEST_F(WindowProgram, EveryCommandHasItsHandler) {
    const std::vector<int> without = {1140, 5271};
    for (const shell::CommandRow& row : shell::command_table()) {
        const bool missing = std::find(without.begin(), without.end(), row.id) != without.end();
        EXPECT_EQ(bool(row.action), !missing) << row.id;
    }
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

TEST_F(WindowProgram, HelpOpensTheHelpFileOfTheProgramFolder) {
    ASSERT_TRUE(start());
    take_output();
    command(146);
    EXPECT_EQ(take_output(), "HELP " + home + "Veldarin.chm\nBOX [Message] The help file\\n" +
                                 home + "Veldarin.chm\\ncannot be shown.\n");
    std::ofstream(home + "Veldarin.chm") << "help";
    command(146);
    EXPECT_EQ(take_output(), "HELP " + home + "Veldarin.chm\n");
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
