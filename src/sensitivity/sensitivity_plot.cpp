// The block sensitivity plot.
#include "sensitivity/sensitivity_plot.h"

#include "display/contour_levels.h"
#include "model/globals.h"
#include "model/services.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/page_array.h"
#include "platform/ui/ui.h"
#include "sensitivity/section_display.h"

#include <algorithm>
#include <cmath>
#include <string>

SensitivityQuantity sensitivity_plot_quantity(const ModelSettings& m) {
    if (m.sens_type == 0) return {m.sens_total, "Integrated sensitivity"};
    if (m.calc_resolution == 1 && m.sens_type == 2) return {m.resolution, "Model resolution"};
    if (m.calc_resolution == 1 && m.sens_type == 3)
        return {m.resolution_normalized, "Normalized model resolution"};
    return {m.sens_unit_area, "Sensitivity per unit area"};
}

namespace {

void memory_message() {
    model::show_message("Insufficient memory for the sensitivity section!", "Error Message");
}

// The block centres as a node grid with one more column at each end of the electrode line,
// holding the end blocks' values, so that the contours fill the section from the first
// electrode to the last (the centres lie half a block inside).
struct PlotGrid {
    sys::PageArray<float> x, z, value;
    int columns = 0;
    bool make(const ModelSettings& m, const float* values) {
        columns = m.sens_ncols + 2;
        const std::size_t n = std::size_t(m.sens_nrows) * std::size_t(columns);
        if (!x.allocate(n) || !z.allocate(n) || !value.allocate(n)) return false;
        for (int r = 0; r < m.sens_nrows; ++r)
            for (int c = 0; c < columns; ++c) {
                const int b = r * m.sens_ncols + std::clamp(c - 1, 0, m.sens_ncols - 1);
                const std::size_t k = std::size_t(r) * columns + c;
                x[k] = c == 0 ? 0.0f : c == columns - 1 ? float(m.nelec - 1) : m.sens_block_x[b];
                z[k] = m.sens_block_z[b];
                value[k] = values[b];
            }
        return true;
    }
};

} // namespace

void sensitivity_plot(const ModelSettings& m, ProgDisplay& display, gfx::Canvas& window) {
    const int blocks = m.sens_nblocks;
    if (blocks < 1 || m.sens_nrows < 1 || m.sens_ncols < 1 || m.nelec < 2) return;
    sys::PageArray<float> electrode_x(std::size_t(m.nelec)), electrode_z(std::size_t(m.nelec));
    if (!electrode_x.ok() || !electrode_z.ok()) {
        memory_message();
        return;
    }
    for (int e = 0; e < m.nelec; ++e)
        electrode_x[e] = float(e), electrode_z[e] = 0.0f;

    const gfx::TextMetrics tm = window.text_metrics();
    const ui::Size client = ui::client_size();
    const int usable_height = client.height * 3 / 4;
    float z_max = 0.0f;
    const float z_min = array_maxmin(blocks, m.sens_block_z, &z_max);
    // A single block row has no depth range: the width alone sets the scale.
    float scale = float(client.width - 18 * tm.ave_char_width) / float(m.nelec - 1);
    if (z_max > z_min)
        scale = std::min(scale, float(usable_height - 4 * tm.height) / (z_max - z_min));
    if (!(scale > 0.0f)) return;

    const SensitivityQuantity quantity = sensitivity_plot_quantity(m);
    float v_max = 0.0f;
    const float v_min = array_maxmin(blocks, quantity.values, &v_max);
    display.contour_quantity = 2;
    const int n_levels = select_contours(display, Systemsettings, v_min, v_max, display.res_levels,
                                         display.level_scheme);
    if (display.contour_dialog_result != 1 || n_levels < 1) return;
    PlotGrid grid;
    if (!grid.make(m, quantity.values)) {
        memory_message();
        return;
    }

    SensitivitySection s;
    s.n_surface_electrodes = m.nelec;
    s.surface_x = electrode_x.get();
    s.surface_z = electrode_z.get();
    s.n_set_a = m.nelec;
    s.set_a_x = electrode_x.get();
    s.set_a_z = electrode_z.get();
    s.x_scale = s.z_scale = scale;
    s.legend_caption = quantity.label;
    s.x_min = 0.0f;
    s.x_max = float(m.nelec - 1);
    s.z_min = 0.0f;
    s.z_max = z_max;
    s.node_x = grid.x.get();
    s.node_z = grid.z.get();
    s.n_levels = n_levels;
    s.levels = display.res_levels;
    s.top = 4 * tm.height;
    s.left = 12 * tm.ave_char_width;
    s.rows = m.sens_nrows;
    s.columns = grid.columns;
    s.values = grid.value.get();
    s.unit_spacing = m.unit_spacing;
    s.title = std::string(m.model_title ? m.model_title : "") + " - Sensitivity Plot";
    bool drawn = draw_sensitivity_section(s, window, display.brushes, display.pens) >= 0;
    if (display.canvas_dc)
        drawn = drawn &&
                draw_sensitivity_section(s, *display.canvas_dc, display.brushes, display.pens) >= 0;
    if (!drawn)
        model::show_message("Insufficient memory for the sensitivity section!", "Error Message");
}
