// Test fixtures of the model folder: the global records for one test, the headless backend with
// its printed transcript, and a temporary program folder.
#pragma once

#include "model/globals.h"
#include "platform/sys/sys.h"
#include "platform/ui/headless/backend.h"
#include "platform/ui/headless/script.h"
#include "platform/ui/ui.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace model_test {

/// The records of one test, built by init_globals and destroyed at the end.
struct GlobalRecords {
    GlobalRecords() { EXPECT_EQ(init_globals(), 0); }
    ~GlobalRecords() { model::exit_globals(); }
};

/// The headless backend installed for one test; `output()` holds its BOX and BEEP lines.
struct Headless {
    std::ostringstream out, err;
    headless::Transcript transcript{out, nullptr, err, "test"};
    headless::ScriptBackend backend{transcript, "."};

    Headless() {
        ui::reset();
        ui::install_backend(&backend);
    }
    ~Headless() {
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
    void key(int ch) {
        ui::Event e;
        e.kind = ui::EventKind::key;
        e.id = ch;
        backend.post(e);
    }
    std::string output() const { return out.str(); }
};

/// A fresh temporary folder (with a trailing '/'), removed with its files at the end.
struct TempDir {
    std::string path;
    TempDir() {
        char name[] = "/tmp/vd_model_XXXXXX";
        path = std::string(mkdtemp(name)) + "/";
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string file(const std::string& name) const { return path + name; }
    void touch(const std::string& name) const {
        std::FILE* f = std::fopen(file(name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("data", f);
        std::fclose(f);
    }
};

/// Program limits as window creation sets them for N electrodes and D data points.
inline ProgLim limits_for(int n, int d) {
    ProgLim l;
    l.max_electrodes = n;
    l.max_n = 70;
    l.max_data_points = d;
    l.max_levels = 160;
    l.max_resistivity_values = 33;
    l.max_node_rows = 170;
    l.max_node_columns = 4 * n + 23 > 227 ? 4 * n + 23 : 227;
    l.max_topo_points = n;
    l.max_spacing_ratio = 160;
    l.max_electrodes_b = l.max_electrodes_c = l.max_electrodes_d = n;
    l.max_node_columns_b = l.max_node_columns;
    l.max_borehole_electrodes = 32;
    l.max_boreholes = 30;
    l.max_frequencies = 12;
    return l;
}

} // namespace model_test
