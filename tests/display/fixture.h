// Test fixtures of the display folder: the global records with the headless backend and the
// palette tools built, a temporary folder, and pixel helpers.
#pragma once

#include "display/colours.h"
#include "model/globals.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/headless/backend.h"
#include "platform/ui/headless/script.h"
#include "platform/ui/ui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace display_test {

/// The records of one test over the headless backend with a screen of width x height (the
/// client area is 60 rows lower), and the palette brushes and pens made.
struct Session {
    std::ostringstream out, err;
    headless::Transcript transcript{out, nullptr, err, "test"};
    headless::ScriptBackend backend{transcript, "."};

    explicit Session(int width = 1024, int height = 768) {
        ui::reset();
        ui::install_backend(&backend);
        backend.set_screen(width, height);
        EXPECT_EQ(init_globals(), 0);
        rebuild_display_objects();
    }
    ~Session() {
        model::exit_globals();
        ui::install_backend(nullptr);
        ui::reset();
    }
    /// Queues the answers of script lines (dialog, file, box).
    void answer(const std::string& script) {
        std::vector<headless::ParseError> errors;
        for (const headless::Action& a : headless::parse_script(script, errors))
            backend.push_answer(a);
        EXPECT_TRUE(errors.empty()) << script;
    }
    /// Every message box and beep so far, one "BOX [caption] text" or "BEEP" a line.
    std::string output() const { return out.str(); }
    bool showed(const std::string& text) const { return output().find(text) != std::string::npos; }
    /// True when every queued answer was used and the script rules held.
    bool answered() const { return backend.answers().empty() && !transcript.failed(); }
};

/// A fresh temporary folder (path with a trailing '/'), removed with its files at the end; the
/// current folder, which the file dialogs change, is put back first.
struct TempDir {
    std::string path, home = sys::current_dir();
    TempDir() {
        char name[] = "/tmp/vd_display_XXXXXX";
        path = std::string(mkdtemp(name)) + "/";
    }
    ~TempDir() {
        sys::set_current_dir(home);
        std::system(("rm -rf '" + path + "'").c_str());
    }
    std::string file(const std::string& name) const { return path + name; }
    /// Writes `bytes` to the file `name` and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::FILE* f = std::fopen(file(name).c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        return file(name);
    }
};

/// Size of a file in bytes, -1 when it does not exist.
inline long file_bytes(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    std::fseek(f, 0, SEEK_END);
    const long n = std::ftell(f);
    std::fclose(f);
    return n;
}

/// The pixels whose centre lies inside or on the triangle (x[k], y[k]).
inline std::vector<gfx::Point> pixels_inside(const int x[3], const int y[3]) {
    std::vector<gfx::Point> inside;
    const int lo_x = std::min({x[0], x[1], x[2]}), hi_x = std::max({x[0], x[1], x[2]});
    const int lo_y = std::min({y[0], y[1], y[2]}), hi_y = std::max({y[0], y[1], y[2]});
    const long long turn =
        (long long)(x[1] - x[0]) * (y[2] - y[0]) - (long long)(y[1] - y[0]) * (x[2] - x[0]);
    for (int Y = lo_y; Y <= hi_y; ++Y)
        for (int X = lo_x; X <= hi_x; ++X) {
            bool in = true;
            for (int k = 0; k < 3 && in; ++k) {
                const int j = (k + 1) % 3;
                const long long s =
                    (long long)(x[j] - x[k]) * (Y - y[k]) - (long long)(y[j] - y[k]) * (X - x[k]);
                in = turn > 0 ? s >= 0 : s <= 0;
            }
            if (in) inside.push_back({X, Y});
        }
    return inside;
}

} // namespace display_test
