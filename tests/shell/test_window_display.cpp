// The program's dialogs in the FLTK window on a virtual X server: every text of every dialog
// template shows whole in the dialog font, and a number typed at once goes into the first field.
#include "display/scales.h"
#include "model/globals.h"
#include "platform/ui/fltk/fltk_backend.h"
#include "platform/ui/fltk/fltk_dialogs.h"
#include "platform/ui/ui.h"
#include "shell/dispatch.h"
#include "shell/option_dialogs.h"
#include "support/keyboard.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(DialogTexts, EveryTextOfEveryTemplateShowsWhole) {
    if (!ui::display_available()) GTEST_SKIP() << "no display";
    ui::FltkBackend window; // opens the display and its fonts
    // The command table reaches every command, and with it every dialog template of the program.
    ASSERT_FALSE(shell::command_table().empty());
    std::set<std::string> names;
    for (const ui::DialogTemplate* t : ui::live_templates()) {
        names.insert(t->name);
        for (const ui::TextExtent& e : ui::fltk_text_extents(*t)) {
            EXPECT_LE(e.text_width, e.width) << t->name << ": \"" << e.text << "\" is cut off";
            EXPECT_LE(e.text_height, e.height) << t->name << ": \"" << e.text << "\" is cut off";
        }
    }
    for (const char* name : {"NoiseDiaBox", "VoltNoiseDiaBox", "HrpsDiaBox", "VtsfDiaBox",
                             "ContourLinearBox", "ColDiaBox", "ArrayTypeDiaBox2"})
        EXPECT_EQ(names.count(name), 1u) << name << " was not walked";
}

// A user who opens a number dialog and types a number and Enter sets that number: the dialog
// opens with the keyboard in its field and the shown value selected.
TEST(DialogFocus, ANumberTypedAtOnceIsTaken) {
    if (!ui::display_available()) GTEST_SKIP() << "no display";
    if (!test_support::have_xdotool()) GTEST_SKIP() << "xdotool is not installed";
    ui::FltkBackend window;
    const struct {
        const ui::DialogTemplate* dialog;
        bool (*proc)(ui::Dialog&, ui::DialogEvent, const ui::DialogArgs&);
        const char* typed;
        float* setting;
        float stored;
    } cases[] = {
        // The vertical factor is kept as its reciprocal.
        {&VtsfDiaBox, VtsfDiaBoxProc, "0.5", &Progdisplay.vh_factor, 2.0f},
        {&HrpsDiaBox, HrpsDiaBoxProc, "5", &Progdisplay.xscale, 5.0f},
        // Its field comes after the radio buttons.
        {&ExtendDepthDiaBox, ExtendDepthDiaBoxProc, "7", &Modelsettings.extend_depth_factor, 7.0f},
    };
    Progdisplay.vh_factor = 1.0f;
    Progdisplay.xscale = 20.0f;
    for (const auto& c : cases) {
        std::thread user([&c] {
            test_support::type_into(c.dialog->caption, {c.typed, "<Return>"});
            test_support::escape_if_still_shown(c.dialog->caption, 5);
        });
        EXPECT_EQ(window.run_dialog(*c.dialog, c.proc), 1) << c.dialog->name;
        user.join();
        EXPECT_FLOAT_EQ(*c.setting, c.stored) << c.dialog->name;
    }
}

} // namespace
