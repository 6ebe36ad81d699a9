// The program's dialogs in the FLTK window on a virtual X server: every text of every dialog
// template shows whole in the dialog font.
#include "platform/ui/fltk/fltk_backend.h"
#include "platform/ui/fltk/fltk_dialogs.h"
#include "platform/ui/ui.h"
#include "shell/dispatch.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

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

} // namespace
