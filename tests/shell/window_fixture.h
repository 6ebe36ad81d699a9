// A started window program on the headless backend, in a temporary program folder.
#pragma once

#include "model/globals.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"
#include "shell/main_window.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

class WindowProgram : public test_support::ProgramTest {
  protected:
    WindowProgram() : ProgramTest("vd_window") {}
    void TearDown() override {
        shell::end_program();
        ProgramTest::TearDown();
    }
    /// Starts the program on a screen of w x h pixels with `mib` MiB and runs its first paint.
    bool start(int w = 1024, int h = 768, int mib = 512) {
        backend.set_screen(w, h);
        shell::Machine m{w, h, std::uint64_t(mib) << 20};
        if (!shell::start_program(m)) return false;
        idle();
        return true;
    }
    void popup(int position) {
        ui::Event e;
        e.kind = ui::EventKind::popup_opening;
        e.id = position;
        send(e);
    }
};
