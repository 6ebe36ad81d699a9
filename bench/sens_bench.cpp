// The 2-D sensitivity kernels and sections: kernel evaluations per second (surface pole pair,
// buried pole pair, image sum), and the time of the default section (x from -1 to 2, depth
// 0.01 to 1, spacings 0.02: 151 x 51 points) of the Wenner alpha and of a cross-hole borehole
// array, its values and its drawing on an off-screen canvas.
#include "display/colours.h"
#include "model/globals.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "sensitivity/kernels.h"
#include "sensitivity/section_display.h"
#include "sensitivity/standard_arrays.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Evaluations per second of `kernel` over a spread of points, and a checksum that keeps the
// calls from being optimised away.
template <class K> void kernel_rate(const char* name, K kernel) {
    const int n = 400000;
    double sum = 0.0;
    const double start = sys::wall_seconds();
    for (int i = 0; i < n; ++i) {
        const float x = -1.0f + 3.0f * float(i % 997) / 997.0f;
        const float z = 0.01f + float(i % 89) / 89.0f;
        sum += kernel(x, z);
    }
    const double seconds = sys::wall_seconds() - start;
    std::printf("%-34s %12.0f /s   (checksum %.6g)\n", name, double(n) / seconds, sum);
}

void section_time(const char* name, int code, const sens::Electrodes& e, gfx::Canvas& canvas) {
    const int repeats = 5;
    sens::GridPositions grid;
    std::vector<float> values, node_x, node_z;
    const double start = sys::wall_seconds();
    for (int r = 0; r < repeats; ++r) {
        sens::grid_positions(code, e, 0.25f, -1.0f, 2.0f, 0.02f, 0.01f, 1.0f, 0.02f, 0, grid);
        values.clear();
        for (const float z : grid.z)
            for (const float x : grid.x)
                values.push_back(sens::array_kernel_sum(code, 1.0f, e, x, z));
    }
    const double computed = sys::wall_seconds() - start;
    float largest = 0.0f;
    for (const float v : values)
        largest = std::max(largest, std::fabs(v));
    const float factor = sens::scale_factor(largest, 1, 100.0f);
    for (float& v : values)
        v *= factor;
    for (const float z : grid.z)
        for (const float x : grid.x)
            node_x.push_back(x), node_z.push_back(z);

    float levels[16];
    SensitivitySection s;
    s.layout = 0;
    s.n_levels = set_sensitivity_levels(levels);
    s.levels = levels;
    s.rows = int(grid.z.size());
    s.columns = int(grid.x.size());
    s.node_x = node_x.data();
    s.node_z = node_z.data();
    s.values = values.data();
    s.x_min = -1.0f, s.x_max = 2.0f, s.z_max = 1.0f;
    s.x_scale = s.z_scale = 880.0f / 3.0f;
    s.top = 64, s.left = 72;
    const double drawing_start = sys::wall_seconds();
    for (int r = 0; r < repeats; ++r) {
        canvas.fill_rect({0, 0, canvas.width(), canvas.height()}, gfx::white);
        draw_sensitivity_section(s, canvas, Progdisplay.brushes, Progdisplay.pens);
    }
    const double drawn = sys::wall_seconds() - drawing_start;
    std::printf("%-22s %4zu x %3zu points   values %8.2f ms   drawing %8.2f ms\n", name,
                grid.x.size(), grid.z.size(), 1000.0 * computed / repeats,
                1000.0 * drawn / repeats);
}

} // namespace

int main() {
    init_globals();
    rebuild_display_objects();
    kernel_rate("surface pole pair (sens2d_pole_pole)",
                [](float x, float z) { return sens2d_pole_pole(x, z, 1.0f); });
    kernel_rate("buried pole pair (sens2d_buried_pole)", [](float x, float z) {
        return double(sens2d_buried_pole(x, z, 0.0f, 0.25f, 1.0f, 0.75f));
    });
    kernel_rate("image sum (4 buried pairs)", [](float x, float z) {
        return double(sens2d_buried_pole_images(x, z, 0.0f, 0.25f, 1.0f, 0.75f));
    });
    std::printf("\n");
    gfx::Canvas canvas(1280, 960);
    for (const int style : {2, 1}) {
        Progdisplay.fill_style = style;
        std::printf("%s style\n", style == 2 ? "direct" : "outline");
        section_time("Wenner alpha", sens::wenner_alpha, sens::Electrodes(), canvas);
        sens::Electrodes cross;
        const float x[4] = {0.0f, 0.0f, 1.0f, 1.0f}, z[4] = {0.25f, 0.75f, 0.25f, 0.75f};
        std::copy(x, x + 4, cross.x);
        std::copy(z, z + 4, cross.z);
        section_time("borehole (cross-hole)", sens::borehole_array, cross, canvas);
    }
    model::exit_globals();
    return 0;
}
