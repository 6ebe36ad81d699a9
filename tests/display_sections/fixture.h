// Fixtures of the section drawing tests: the window program started on the headless backend
// in a temporary program folder, model files written there, and pixel helpers.
#pragma once

#include "display/colours.h"
#include "display/model_section.h"
#include "model/globals.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"
#include "shell/dispatch.h"
#include "shell/main_window.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

namespace sections_test {

/// A flat block model of 13 electrodes (unit spacing 1 m, 4 nodes a spacing, Wenner) with
/// `nvalues` resistivities 10, 20, 40, ... and 10 block rows 0.5 m apart (6 m deep): row r
/// (from 1) has the code (r - 1) mod nvalues in every block. With `ip` the chargeabilities
/// 0.01 and 0.05 follow, the first in the upper five rows.
inline std::string block_model_text(int nvalues, bool ip) {
    std::ostringstream t;
    t << "Display fixture: " << nvalues << " values in rows\n13\n4\n0\n1.0\n2\n0 48\n"
      << nvalues << "\n4\n";
    for (int i = 0; i < nvalues; ++i)
        t << (i ? " " : "") << 10 * (1 << i);
    t << "\n10\n0.5 1.0 1.5 2.0 2.5 3.0 3.5 4.0 5.0 6.0\n";
    for (int r = 0; r < 10; ++r)
        t << std::string(48, "0123456789"[r % nvalues]) << '\n';
    if (ip) {
        t << "IP present\n2\n0.01 0.05\n";
        for (int r = 0; r < 10; ++r)
            t << std::string(48, r < 5 ? '0' : '1') << '\n';
    }
    t << "1\n";
    return t.str();
}

/// The window program on the headless backend in a temporary program folder.
class SectionsProgram : public test_support::ProgramTest {
  protected:
    SectionsProgram() : ProgramTest("vd_sections") {}
    void TearDown() override {
        shell::end_program();
        ProgramTest::TearDown();
    }
    /// Starts the program on a screen of w x h pixels with `mib` MiB and runs its first paint.
    void start(int w = 1024, int h = 768, int mib = 512) {
        backend.set_screen(w, h);
        ASSERT_TRUE(shell::start_program(shell::Machine{w, h, std::uint64_t(mib) << 20}));
        idle();
        take_output();
        rebuild_display_objects(); // the brushes and pens of the colour table
    }
    /// A mouse button at canvas pixel (x, y).
    void click(ui::MouseButton button, int x, int y) {
        ui::Event e;
        e.kind = ui::EventKind::mouse_down;
        e.button = button;
        e.x = x - Progdisplay.scroll_x;
        e.y = y - Progdisplay.scroll_y;
        send(e);
    }
    /// A character typed with the pointer at canvas pixel (x, y).
    void key(int ch, int x, int y) {
        Progdisplay.cursor_x = x;
        Progdisplay.cursor_y = y;
        ui::Event e;
        e.kind = ui::EventKind::key;
        e.id = ch;
        send(e);
    }
    /// Writes `text` as `name` in the program folder and reads it with the read command.
    void read_model(const std::string& name, const std::string& text) {
        const std::string path = home + name;
        std::ofstream(path) << text;
        answer("file " + path);
        command(101);
        ASSERT_EQ(Modelsettings.model_read, 1) << take_output();
        take_output();
    }
    gfx::Canvas& canvas() { return shell::canvas(); }
};

/// Block number of (row, column) of a group, as the editor numbers them.
inline std::size_t block_number(int group, int row, int column) {
    const ModelSettings& m = Modelsettings;
    return std::size_t(group) * std::size_t(m.nx_cells * m.nz_cells) +
           std::size_t(index2d(column, row, m.nx_cells));
}

/// Centre pixel of a drawn block of a block model.
inline gfx::Point block_centre(std::size_t b) {
    const SectionOutlines& o = Sectionoutlines;
    return {(o.block_x[4 * b] + o.block_x[4 * b + 2]) / 2,
            (o.block_y[4 * b] + o.block_y[4 * b + 2]) / 2};
}

/// Centre pixel of colour box i of a group.
inline gfx::Point box_centre(int group, int i) {
    const SectionOutlines& o = Sectionoutlines;
    const std::size_t b = 4 * (std::size_t(group) * o.boxes_per_group + std::size_t(i));
    return {(o.box_x[b] + o.box_x[b + 2]) / 2, (o.box_y[b] + o.box_y[b + 2]) / 2};
}

} // namespace sections_test
