// A started window program on the headless backend, in a temporary program folder.
#pragma once

#include "model/globals.h"
#include "platform/sys/sys.h"
#include "platform/ui/headless/backend.h"
#include "platform/ui/ui.h"
#include "shell/main_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

class WindowProgram : public ::testing::Test {
  protected:
    std::ostringstream out, err;
    headless::Transcript transcript{out, nullptr, err, "test"};
    headless::ScriptBackend backend{transcript, "."};
    std::string home; // program folder, with its trailing '/'

    void SetUp() override {
        char tmpl[] = "/tmp/vd_window_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = std::string(tmpl) + "/";
        sys::set_program_dir(home);
        ui::reset();
        ui::install_backend(&backend);
    }
    void TearDown() override {
        shell::end_program();
        ui::install_backend(nullptr);
        ui::reset();
        sys::set_page_budget(-1);
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
    /// Starts the program on a screen of w x h pixels with `mib` MiB and runs its first paint.
    bool start(int w = 1024, int h = 768, int mib = 512) {
        backend.set_screen(w, h);
        shell::Machine m{w, h, std::uint64_t(mib) << 20};
        if (!shell::start_program(m)) return false;
        idle();
        return true;
    }
    /// Dispatches every waiting event, as the idle program does.
    void idle() {
        ui::Event e;
        for (int n = 0; n < 10000 && backend.next_event(e); ++n)
            ui::dispatch(e);
    }
    void send(ui::Event e) {
        ui::dispatch(e);
        idle();
    }
    void command(int id) {
        ui::Event e;
        e.kind = ui::EventKind::command;
        e.id = id;
        send(e);
    }
    void popup(int position) {
        ui::Event e;
        e.kind = ui::EventKind::popup_opening;
        e.id = position;
        send(e);
    }
    /// The lines printed since the last call.
    std::string take_output() {
        std::string s = out.str();
        out.str("");
        return s;
    }
};
