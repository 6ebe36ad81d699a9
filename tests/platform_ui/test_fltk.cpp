// The FLTK backend on a virtual X server, worked with real key strokes: what is typed into the
// file chooser is the path it returns.
#include "platform/ui/fltk/fltk_backend.h"
#include "platform/ui/ui.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

bool have_xdotool() {
    return std::system("command -v xdotool >/dev/null 2>&1") == 0;
}

// Focuses the window titled `title` once it is shown, then types each step: "<Key>" is a key
// by its X name, anything else is typed as text.
void type_into(const std::string& title, const std::vector<std::string>& steps) {
    std::system(("timeout 10 xdotool search --sync --name '^" + title +
                 "$' windowfocus --sync >/dev/null 2>&1")
                    .c_str());
    for (const std::string& step : steps) {
        const bool key = step.size() > 2 && step.front() == '<' && step.back() == '>';
        const std::string command = key ? "xdotool key " + step.substr(1, step.size() - 2)
                                        : "xdotool type --delay 15 '" + step + "'";
        std::system(command.c_str());
    }
}

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

} // namespace
