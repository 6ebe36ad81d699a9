// Fixtures of the finite-element tests: a ui backend that records boxes, the global records with
// their arrays for the test's limits in a temporary program folder, and block models built the
// way the model reader builds them (margins growing outward, rows growing with depth).
#pragma once

#include "model/globals.h"
#include "model/model_settings.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/ui/ui.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fe_test {

constexpr double pi = 3.14159265358979323846;

/// Records every message box (answered OK) and beep.
class RecordingBackend : public ui::Backend {
  public:
    std::vector<std::string> boxes; ///< "caption: text"
    int beeps = 0;
    gfx::Canvas canvas{64, 64};

    int message_box(const std::string& text, const std::string& caption, unsigned) override {
        boxes.push_back(caption + ": " + text);
        return ui::id_ok;
    }
    void beep() override { ++beeps; }
    bool file_dialog(ui::FileDialogKind, std::string&, const std::string&,
                     const std::string&) override {
        return false;
    }
    int run_dialog(const ui::DialogTemplate&, const ui::DialogProc&) override { return -1; }
    void title_changed() override {}
    ui::Size client_size() override { return {1024, 700}; }
    ui::Size screen_size() override { return {1024, 768}; }
    void set_scroll(ui::Bar, int, int, int, int) override {}
    int scroll_pos(ui::Bar) override { return 0; }
    void invalidate() override {}
    bool is_foreground() override { return true; }
    gfx::Canvas& window_canvas() override { return canvas; }
    void menu_changed() override {}
    void child_changed(ui::Child) override {}
    void invalidate_child(ui::Child) override {}
    gfx::Canvas& child_canvas(ui::Child) override { return canvas; }
    void cursor_changed() override {}
    bool show_help(const std::string&, const std::string&) override { return false; }
    bool next_event(ui::Event&) override { return false; }
};

/// Program limits for up to `electrodes` electrodes and `rows` node rows.
ProgLim limits_for(int electrodes, int rows = 60);

/// The global records with their arrays, in a fresh temporary program folder; the recording
/// backend installed. Destroyed (work files deleted) by TearDown.
class Records : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    /// Full path of a file in the program folder.
    std::string file(const std::string& name) const { return folder_ + name; }
    RecordingBackend backend;
    std::string folder_;
};

/// A block model in the global record: nelec electrodes one unit apart, 4 node columns a unit,
/// 20 margin columns growing by 1.25 outward, rows of 0.25 to depth 1 then growing by 1.1 and
/// 1.5 (nz rows), every cell of resistivity rho. Optional topography: elevations of the
/// electrodes (tflag 1). The tables of the runs are the record's.
struct BlockModel {
    int nelec = 0, m = 20, p = 4, nx = 0, nz = 0;
    explicit BlockModel(int electrodes, double rho = 1.0, int rows = 20,
                        const std::vector<float>& elevations = {});
    /// Resistivity of the cells whose centre satisfies `inside(x, z)` (x from the first
    /// electrode, z the depth).
    template <class F> void set_resistivity(double rho, F inside);
    /// Adds borehole electrodes at (x, depth) (relative to the first electrode); one call a
    /// borehole, all its electrodes in one column.
    void add_borehole(float x, const std::vector<float>& depths);

    int run_band();
    int run_sparse();
    int run_q4();

    double pot(int a, int b) const;        ///< potential_table_a entry
    double offset_pot(int a, int b) const; ///< potential_table_b entry
    double remote(int i) const;            ///< fe_vector_a entry i (1-based)
    /// x of electrode e (1-based) from the first electrode, depth z.
    double x(int e) const;
    double z(int e) const;
};

template <class F> void BlockModel::set_resistivity(double rho, F inside) {
    ModelSettings& s = Modelsettings;
    const double x0 = s.node_col_x[m - 1];
    for (int c = 1; c < nx; ++c)
        for (int r = 1; r < nz; ++r) {
            const double xc = 0.5 * (double(s.node_col_x[c - 1]) + s.node_col_x[c]) - x0;
            const double zc =
                0.25 * (double(s.node_z[index2d(r, c, nz)]) + s.node_z[index2d(r + 1, c, nz)] +
                        s.node_z[index2d(r, c + 1, nz)] + s.node_z[index2d(r + 1, c + 1, nz)]);
            if (!inside(xc, zc)) continue;
            const int cell = index2d(c, r, nx - 1);
            s.driver_cells_2x[2 * cell] = s.driver_cells_2x[2 * cell + 1] = float(1.0 / rho);
        }
}

/// Depth of node row r (1-based) on flat ground.
double row_depth(int r);

} // namespace fe_test
