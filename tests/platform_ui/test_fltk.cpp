// The FLTK backend on a virtual X server, worked with real key strokes: what is typed into the
// file chooser is the path it returns, a dialog takes what is typed into its first field, and
// the help viewer runs on its own while the window takes input.
#include "platform/sys/sys.h"
#include "platform/ui/fltk/fltk_backend.h"
#include "platform/ui/ui.h"
#include "support/files.h"
#include "support/keyboard.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using test_support::have_xdotool;
using test_support::type_into;

class FltkChooser : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ui::display_available()) GTEST_SKIP() << "no display";
        if (!have_xdotool()) GTEST_SKIP() << "xdotool is not installed";
        ASSERT_EQ(mkdir((dir.path + "sub").c_str(), 0755), 0);
    }
    test_support::TempDir dir{"vd_chooser"};
};

TEST_F(FltkChooser, TypedEntryIsThePathReturned) {
    ui::FltkBackend window;
    const std::string folder = dir.folder();
    const struct {
        ui::FileDialogKind kind;
        const char* file; // pattern or proposed name
        std::vector<std::string> steps;
        bool chosen;
        std::string path;
    } cases[] = {
        // The proposed name is selected: typing replaces it.
        {ui::FileDialogKind::save, "model.dat", {"abc", "<Return>"}, true, folder + "/abc"},
        {ui::FileDialogKind::save, "model.dat", {"<Return>"}, true, folder + "/model.dat"},
        // An empty field takes an absolute path from its leading '/'.
        {ui::FileDialogKind::save,
         "*.dat",
         {folder + "/sub/blk.dat", "<Return>"},
         true,
         folder + "/sub/blk.dat"},
        {ui::FileDialogKind::open, "*.mod", {"sub/m.mod", "<Return>"}, true, folder + "/sub/m.mod"},
        // A folder typed opens it; the name typed next is taken there.
        {ui::FileDialogKind::open,
         "*.mod",
         {"sub", "<Return>", "m.mod", "<Return>"},
         true,
         folder + "/sub/m.mod"},
        {ui::FileDialogKind::save, "model.dat", {"abc", "<Escape>"}, false, ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        ui::FileRequest request = ui::file_request(c.kind, c.file, "", folder);
        request.title = "Chooser case " + std::to_string(++n);
        std::thread user(type_into, request.title, c.steps);
        std::string path;
        const bool chosen = window.file_dialog(request, path);
        user.join();
        EXPECT_EQ(chosen, c.chosen) << request.title;
        EXPECT_EQ(path, c.path) << request.title;
    }
}

// A dialog opens with the keyboard in its first field, its text selected: what is typed
// replaces it, and Enter is OK.
TEST(FltkDialog, TypingGoesIntoTheFirstField) {
    if (!ui::display_available()) GTEST_SKIP() << "no display";
    if (!have_xdotool()) GTEST_SKIP() << "xdotool is not installed";
    ui::FltkBackend window;
    ui::DialogTemplate t("FocusDiaBox", "First field case", 200, 80);
    t.controls.push_back({-1, ui::ControlKind::static_text, "A factor:", 10, 8, 60, 10});
    t.controls.push_back({ui::id_ok, ui::ControlKind::push_button, "OK", 20, 56, 50, 14});
    t.controls.push_back({846, ui::ControlKind::edit, "", 80, 8, 80, 12});
    t.controls.push_back({847, ui::ControlKind::edit, "", 80, 28, 80, 12});
    t.controls.push_back({ui::id_cancel, ui::ControlKind::push_button, "Cancel", 90, 56, 50, 14});
    std::string first, second;
    const auto proc = [&](ui::Dialog& d, ui::DialogEvent e, const ui::DialogArgs& a) {
        if (e == ui::DialogEvent::first_paint) d.set_text(846, "1.00"), d.set_text(847, "7");
        if (e != ui::DialogEvent::command) return false;
        if (a.id == ui::id_ok || a.id == ui::id_cancel) {
            first = d.text(846), second = d.text(847);
            d.end(a.id == ui::id_ok ? 1 : 0);
        }
        return true;
    };
    std::thread user([&t] {
        type_into(t.caption, {"0.5", "<Return>"});
        test_support::escape_if_still_shown(t.caption, 5);
    });
    const int result = window.run_dialog(t, proc);
    user.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(first, "0.5");
    EXPECT_EQ(second, "7");
}

// An opener standing in for the desktop's: it notes that it started and ended, waits for
// `release` (10 s at most) and ends with `status`.
void write_opener(const std::string& folder, int status) {
    const std::string path = folder + "xdg-open";
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f,
                 "#!/bin/sh\n"
                 "touch '%sstarted'\n"
                 "i=0\n"
                 "while [ ! -e '%srelease' ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done\n"
                 "touch '%sended'\n"
                 "exit %d\n",
                 folder.c_str(), folder.c_str(), folder.c_str(), status);
    std::fclose(f);
    ASSERT_EQ(chmod(path.c_str(), 0755), 0);
}

// Help does not wait for the viewer: the call returns while the viewer is still open, and the
// window takes a key typed meanwhile. An opener that fails at once is reported.
TEST(FltkHelp, TheViewerRunsOnItsOwnWhileTheWindowTakesInput) {
    if (!ui::display_available()) GTEST_SKIP() << "no display";
    if (!have_xdotool()) GTEST_SKIP() << "xdotool is not installed";
    test_support::TempDir dir("vd_help");
    const std::string page = dir.write("page.html", "<p>help</p>");
    const char* path = std::getenv("PATH");
    const std::string kept = path ? path : "";
    setenv("PATH", (dir.folder() + ":" + kept).c_str(), 1);
    write_opener(dir.path, 0);
    {
        ui::FltkBackend window;
        ui::set_title("Help case");
        window.show_maximised();
        window.wait(0.3);
        EXPECT_TRUE(window.show_help(page, ""));
        EXPECT_TRUE(sys::file_exists(dir.path + "started"));
        EXPECT_FALSE(sys::file_exists(dir.path + "ended")) << "Help waited for the viewer";
        std::thread user(type_into, "Help case", std::vector<std::string>{"k"});
        user.join();
        bool key = false;
        ui::Event e;
        for (int i = 0; i < 100 && !key; ++i) {
            window.wait(0.05);
            while (!key && window.next_event(e))
                key = e.kind == ui::EventKind::key && e.id == 'k';
        }
        EXPECT_TRUE(key) << "the window took no key while the viewer was open";
        EXPECT_FALSE(sys::file_exists(dir.path + "ended"));
        dir.touch("release");
        EXPECT_FALSE(window.show_help(dir.path + "missing.html", ""));
    }
    std::remove((dir.path + "release").c_str());
    write_opener(dir.path, 3);
    dir.touch("release");
    {
        ui::FltkBackend window;
        EXPECT_FALSE(window.show_help(page, "")) << "a failed opener was not reported";
    }
    setenv("PATH", kept.c_str(), 1);
    ui::reset();
}

} // namespace
