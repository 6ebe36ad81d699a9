// The ui layer without a backend: default answers, field reading, menu editing, the command
// and close rules; and the script's word and pattern rules.
#include "platform/sys/sys.h"
#include "platform/ui/headless/script.h"
#include "platform/ui/ui.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

class UiLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::install_backend(nullptr);
        ui::reset();
    }
    void TearDown() override { ui::reset(); }
};

TEST_F(UiLayer, WithoutBackendEveryRequestIsCancelled) {
    EXPECT_EQ(ui::message_box("t", "c", ui::mb_ok), ui::id_ok);
    EXPECT_EQ(ui::message_box("t", "c", ui::mb_yesno | ui::mb_iconquestion), ui::id_no);
    EXPECT_EQ(ui::message_box("t", "c", ui::mb_okcancel), ui::id_cancel);
    EXPECT_EQ(ui::message_box("t", "c", ui::mb_yesnocancel), ui::id_cancel);
    std::string file = "*.mod", title = "2D Model File";
    EXPECT_FALSE(ui::file_dialog(ui::FileDialogKind::open, file, title, "/tmp"));
    EXPECT_EQ(file, "*.mod");
    EXPECT_EQ(title, "2D Model File");
    EXPECT_EQ(ui::run_dialog(ui::DialogTemplate{}, nullptr), -1);
    EXPECT_EQ(ui::pump(), ui::PumpResult::empty);
}

// A dialog whose fields hold fixed texts.
class TextDialog : public ui::Dialog {
  public:
    std::map<int, std::string> texts;
    std::string text(int id) const override {
        auto it = texts.find(id);
        return it == texts.end() ? std::string() : it->second;
    }
    void set_text(int id, const std::string& t) override { texts[id] = t; }
    bool checked(int) const override { return false; }
    void set_checked(int, bool) override {}
    int scroll_pos(int) const override { return 0; }
    void set_scroll(int, int, int, int) override {}
    void set_swatch(int, std::uint32_t) override {}
    void enable(int, bool) override {}
    void end(int) override {}
};

TEST(DialogFields, ReadAsTheProceduresRead) {
    const struct {
        const char* text;
        int as_int;
        double as_real;
    } cases[] = {
        {"42", 42, 42.0},
        {"  -7", -7, -7.0},
        {"12abc", 12, 12.0},
        {"abc", 0, 0.0},
        {"", 0, 0.0},
        {"2.75", 2, 2.75},
        {"1e3", 1, 1000.0},
        {"+5", 5, 5.0},
        {" .5", 0, 0.5},
        {"99999999999", INT_MAX, 99999999999.0},
        {"-99999999999", INT_MIN, -99999999999.0},
    };
    TextDialog d;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        d.set_text(5, c.text);
        EXPECT_EQ(d.int_value(5), c.as_int);
        EXPECT_DOUBLE_EQ(d.real_value(5), c.as_real);
    }
    EXPECT_EQ(d.int_value(6), 0); // absent field
}

TEST(DialogFields, CheckRadioClearsTheRestOfTheGroup) {
    struct Checks : TextDialog {
        std::map<int, bool> on;
        void set_checked(int id, bool v) override { on[id] = v; }
    } d;
    d.set_checked(30, true); // outside the group: untouched
    d.check_radio(201, 204, 203);
    EXPECT_EQ(d.on, (std::map<int, bool>{
                        {30, true}, {201, false}, {202, false}, {203, true}, {204, false}}));
}

TEST(FileNames, RequestFromPatternNameAndFolder) {
    const std::string here = sys::current_dir();
    const struct {
        const char* file;
        const char* initial_dir;
        std::string folder, filter, name;
    } cases[] = {
        {"*.mod", "/data/models", "/data/models", "*.mod", ""},
        {"*.mod", "/data/models/", "/data/models", "*.mod", ""},
        // The colour and contour-value dialogs put their folder in front of the pattern.
        {"/home/u/schemes/*.col", "/data", "/home/u/schemes", "*.col", ""},
        {"/*.col", "/data", "/", "*.col", ""},
        // A name is proposed and lists the files of its extension.
        {"survey.dat", "/data", "/data", "*.dat", "survey.dat"},
        {"/out/survey.bmp", "/data", "/out", "*.bmp", "survey.bmp"},
        {"README", "/data", "/data", "*", "README"},
        {"", "", here, "*", ""},
        {"*.mod", "rel", here + "/rel", "*.mod", ""},
    };
    for (const auto& c : cases) {
        const ui::FileRequest r =
            ui::file_request(ui::FileDialogKind::save, c.file, "Title", c.initial_dir);
        EXPECT_EQ(r.folder, c.folder) << c.file;
        EXPECT_EQ(r.filter, c.filter) << c.file;
        EXPECT_EQ(r.name, c.name) << c.file;
        EXPECT_EQ(r.title, "Title");
    }
}

// What is typed is the path: nothing is put in front of an absolute path, and a name or
// relative path is taken in the dialog's folder as it stands.
TEST(FileNames, TypedEntryIsThePathItSpells) {
    const struct {
        const char* folder;
        const char* typed;
        const char* path;
    } cases[] = {
        {"/data", "abc", "/data/abc"},
        {"/data/", "blk.dat", "/data/blk.dat"},
        {"/data", "sub/blk.dat", "/data/sub/blk.dat"},
        {"/data", "../blk.dat", "/data/../blk.dat"},
        {"/data", "/tmp/x/blk.dat", "/tmp/x/blk.dat"},
        {"/data", "/", "/"},
        {"/", "blk.dat", "/blk.dat"},
        {"/data", "name with blanks.mod", "/data/name with blanks.mod"},
        {"/data", "", ""},
        {"/data", "  ", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::typed_path(c.folder, c.typed), c.path) << c.typed;
}

// A save dialog's entry without an extension takes the filter's, so that the file is listed
// under the filter when it is read back; any other entry stands as typed.
TEST(FileNames, SaveEntryWithoutExtensionTakesTheFilters) {
    const struct {
        const char* path;
        const char* filter;
        const char* saved;
    } cases[] = {
        {"/data/edited", "*.mod", "/data/edited.mod"},
        {"/data/edited", "*.dat", "/data/edited.dat"},
        {"/data.d/edited", "*.bmp", "/data.d/edited.bmp"},
        {"/data/edited.mod", "*.mod", "/data/edited.mod"},
        {"/data/edited.v2", "*.mod", "/data/edited.v2"},
        {"/data/edited.", "*.mod", "/data/edited."},
        {"/data/edited", "*", "/data/edited"},
        {"/data/edited", "*.*", "/data/edited"},
        {"/data/edited", "model.mod", "/data/edited"},
        {"/data/", "*.mod", "/data/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::with_filter_extension(c.path, c.filter), c.saved)
            << c.path << " " << c.filter;
}

TEST(FileNames, ListingHoldsFoldersThenTheFilesOfTheFilter) {
    test_support::TempDir dir("vd_listing");
    for (const char* name : {"warm.col", "cold.col", "model.mod", "notes.txt", ".hidden.col"})
        dir.touch(name);
    ASSERT_EQ(mkdir((dir.path + "schemes").c_str(), 0755), 0);
    const std::vector<std::string> col = {"../", "schemes/", "cold.col", "warm.col"};
    EXPECT_EQ(ui::folder_listing(dir.folder(), "*.col"), col);
    const std::vector<std::string> all = {"../",       "schemes/",  "cold.col",
                                          "model.mod", "notes.txt", "warm.col"};
    EXPECT_EQ(ui::folder_listing(dir.path, "*"), all);
    EXPECT_EQ(ui::folder_listing("/", "*.col").front().back(), '/'); // no "../" at the root
    EXPECT_NE(ui::folder_listing("/", "*").front(), "../");
    EXPECT_TRUE(ui::folder_listing(dir.file("missing"), "*").empty());
}

TEST_F(UiLayer, MenuItemsRemovedById) {
    ui::set_menu({{"&File", {{101, "&Read"}, {0, ""}, {106, "E&xit"}}},
                  {"&Edit", {{110, "&Edit model"}, {0, ""}}}});
    ui::remove_menu_item(106);
    ui::remove_menu_item(106); // already gone
    ui::remove_menu_item(0);   // separators are not addressed
    ui::remove_menu_item(110);
    ASSERT_EQ(ui::menu().size(), 2u);
    ASSERT_EQ(ui::menu()[0].items.size(), 2u);
    EXPECT_EQ(ui::menu()[0].items[1].id, 0);
    ASSERT_EQ(ui::menu()[1].items.size(), 1u);
    EXPECT_EQ(ui::menu()[1].items[0].id, 0);
}

TEST(MenuText, StripMnemonic) {
    EXPECT_EQ(ui::strip_mnemonic("&File"), "File");
    EXPECT_EQ(ui::strip_mnemonic("Save in &ORBANTEL format"), "Save in ORBANTEL format");
    EXPECT_EQ(ui::strip_mnemonic("Salt && &Pepper"), "Salt & Pepper");
    EXPECT_EQ(ui::strip_mnemonic("trailing&"), "trailing");
}

TEST_F(UiLayer, CloseWaitsForTheOutermostCommand) {
    std::vector<std::string> log;
    ui::Handlers h;
    h.command = [&](int id) {
        log.push_back("command " + std::to_string(id));
        ui::CommandScope inner; // a nested phase of the same command
        ui::request_close();
        EXPECT_TRUE(ui::close_requested());
        EXPECT_EQ(ui::pump(), ui::PumpResult::quit);
        EXPECT_EQ(ui::pump(), ui::PumpResult::quit);
        log.push_back("command returns");
    };
    h.close = [&] { log.push_back("close"); };
    h.key = [&](int ch) { log.push_back("key " + std::string(1, char(ch))); };
    ui::set_handlers(h);
    ui::Event e;
    e.kind = ui::EventKind::command;
    e.id = 7;
    ui::dispatch(e);
    EXPECT_TRUE(ui::window_closed());
    EXPECT_FALSE(ui::command_running());
    e.kind = ui::EventKind::key;
    e.id = 'x';
    ui::dispatch(e); // the window is gone: dropped
    ui::request_close();
    EXPECT_EQ(log, (std::vector<std::string>{"command 7", "command returns", "close"}));
}

// A menu command that sends the close request (Quit) is not refused while a command runs: it is
// held as the close request is, and carried out when the command returns; any other command
// meanwhile is refused.
TEST_F(UiLayer, QuitCommandIsTheCloseRequest) {
    std::vector<std::string> log;
    ui::Handlers h;
    h.closes = [](int id) { return id == 150; };
    h.command = [&](int id) {
        log.push_back("command " + std::to_string(id));
        if (id != 7) return;
        ui::Event quit;
        quit.kind = ui::EventKind::command;
        for (int other : {8, 150}) {
            quit.id = other;
            ui::dispatch(quit);
        }
        EXPECT_TRUE(ui::close_requested());
        EXPECT_FALSE(ui::window_closed());
        log.push_back("command returns");
    };
    h.close = [&] { log.push_back("close"); };
    ui::set_handlers(h);
    ui::Event e;
    e.kind = ui::EventKind::command;
    e.id = 7;
    ui::dispatch(e);
    EXPECT_TRUE(ui::window_closed());
    EXPECT_EQ(log, (std::vector<std::string>{"command 7", "command returns", "close"}));
    ui::reset();
    ui::set_handlers(h);
    e.id = 150; // idle, it runs as any command does (its handler sends the close request)
    ui::dispatch(e);
    EXPECT_EQ(log.back(), "command 150");
}

TEST_F(UiLayer, CloseWhenIdleRunsAtOnce) {
    int closes = 0;
    ui::Handlers h;
    h.close = [&] { ++closes; };
    ui::set_handlers(h);
    ui::request_close();
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(ui::window_closed());
    EXPECT_FALSE(ui::close_requested());
}

TEST(ScriptWords, SplitAndQuote) {
    const struct {
        const char* line;
        std::vector<std::string> words;
        bool ok;
    } cases[] = {
        {"menu 101", {"menu", "101"}, true},
        {"  dialog   X  set 5 \"a b\"  ok ", {"dialog", "X", "set", "5", "a b", "ok"}, true},
        {"set 1 \"say \\\"hi\\\" \\\\ \\n\"", {"set", "1", "say \"hi\" \\ \\n"}, true},
        {"key \"#\" # comment", {"key", "#"}, true},
        {"# only a comment", {}, true},
        {"menu 1\r", {"menu", "1"}, true},
        {"file \"", {"file"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<std::string> words;
        EXPECT_EQ(headless::split_words(c.line, words), c.ok);
        if (c.ok) {
            EXPECT_EQ(words, c.words);
        }
    }
}

TEST(ScriptWords, GlobPatterns) {
    const struct {
        const char* pattern;
        const char* text;
        bool match;
    } cases[] = {
        {"Calculations completed*", "Calculations completed. Time 3 s", true},
        {"Calculations completed*", "Calculation completed", false},
        {"*", "", true},
        {"", "", true},
        {"", "x", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"*done", "all done", true},
        {"*done", "done, not", false},
        {"a*b*c", "a-b-b-c", true},
        {"a*b*c", "a-c-b", false},
        {"File*\\n*read", "File x\\nnot read", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.text);
        EXPECT_EQ(headless::glob_match(c.pattern, c.text), c.match);
    }
}

} // namespace
