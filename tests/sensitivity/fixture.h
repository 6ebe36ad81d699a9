// Fixtures of the sensitivity tests: the global records over the headless backend with the
// palette's brushes and pens made.
#pragma once

#include "display/colours.h"
#include "model/globals.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"
#include "support/files.h"
#include "support/session.h"

#include <gtest/gtest.h>

namespace sens_test {

/// The records of one test over the headless backend with a screen of 1024 x 768 (a client
/// area 1024 pixels wide) and the palette brushes and pens made.
struct Session : test_support::Headless {
    test_support::GlobalRecords records;
    Session() {
        backend.set_screen(1024, 768);
        rebuild_display_objects();
    }
};

/// A session with the display width of the screen, an off-screen canvas of 1024 x 1400 as the
/// program's canvas, and the file dialogs starting in the fresh folder `dir`.
struct CanvasSession : Session {
    test_support::TempDir dir{"vd_sens2d"};
    gfx::Canvas canvas{1024, 1400};
    CanvasSession() {
        Progdisplay.display_width = 1024;
        Progdisplay.canvas_dc = &canvas;
        Progdisplay.canvas_width = canvas.width();
        Progdisplay.canvas_height = canvas.height();
        model::copy_text(Systemsettings.initial_dir, sizeof Systemsettings.initial_dir,
                         dir.path.c_str());
    }
    ~CanvasSession() { Progdisplay.canvas_dc = nullptr; }
};

} // namespace sens_test
