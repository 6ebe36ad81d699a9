// The headless backend: runs the program from an action script instead of a mouse and keyboard,
// printing every message box and beep, and checking the script's expectations.
//
// Folder platform/ui/headless/ (library vd_ui_headless), a backend of platform/ui: may include
// platform/ui, platform/gfx and platform/sys, nothing of the program; linked only by the programs
// (app/), the tests, the benchmarks and the fuzz targets. Entry point: headless::run_script
// (below); the script's grammar stands at the top of runner.cpp.
#pragma once

#include "platform/ui/ui.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

namespace headless {

/// Exit codes of a run: every line ran and every check passed, or the run failed (unknown line,
/// failed expect, answer left unconsumed, action after the program ended, unreadable script).
constexpr int exit_ok = 0;
constexpr int exit_failed = 2;

/// The machine the script's `start` line describes (defaults: 1024 x 768, 512 MiB).
struct StartSettings {
    int screen_width = 1024;
    int screen_height = 768;
    int memory_mib = 512;
};

/// What the application provides to the runner.
struct AppHooks {
    /// Window creation: called once with the backend installed, the screen size in place and
    /// the physical memory reported as `memory_mib`. Sets the menu and the handlers
    /// (ui::set_menu, ui::set_handlers) and may call ui::invalidate for the first paint, which
    /// runs right after it. Returns false when the program cannot start (it has then shown its
    /// message); the script's later actions then fail the run.
    std::function<bool(const StartSettings&)> start;
    /// The `optimise` action: runs as a command (menu commands typed ahead are refused) and
    /// asks its own questions. Empty: the action fails the run.
    std::function<void()> optimise;
};

struct RunOptions {
    /// File for the transcript (every BOX, BEEP, NOANSWER, HELP and TEXT line); empty for none.
    std::string transcript_path;
    /// Where BOX, BEEP, NOANSWER and HELP lines go (nullptr: standard output) and where the
    /// runner's own errors go (nullptr: standard error).
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
    /// Wraps the script's backend into the one installed for the run (a real window driven by
    /// the script): the wrapper answers questions through `script`, takes its events from
    /// `script`'s message queue and may add its own. Empty: the script's backend runs alone.
    std::function<std::unique_ptr<ui::Backend>(ui::Backend& script)> wrap_backend;
};

/// Runs the action script in the file at `path` and returns exit_ok or exit_failed. The
/// headless backend is installed for the run and removed afterwards; the ui window state is
/// reset before and after it.
int run_script(const std::string& path, const RunOptions& options, const AppHooks& hooks);
/// The same for a script held in memory; `name` labels error messages and `script_dir` is the
/// folder that $SCRIPT_DIR stands for.
int run_script_text(const std::string& text, const std::string& name, const std::string& script_dir,
                    const RunOptions& options, const AppHooks& hooks);

} // namespace headless
