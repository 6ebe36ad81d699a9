// The block sensitivity table.
#include "sensitivity/sensitivity_table.h"

#include "model/result_check.h"
#include "model/services.h"
#include "model/text_format.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cstdio>

namespace {

// The scales of the value columns of the block lines: each column's largest size.
struct BlockScales {
    double total, unit_area, resistivity;
};

// One block line: the centre and area as given, the sensitivities and the block resistivity
// each against its column, the resolutions (fractions of 1) to four decimals.
void block_line(std::string& f, const ModelSettings& m, int b, const BlockScales& scales,
                bool with_resolution) {
    const double us = m.unit_spacing;
    model::appendf(f, "  %6d  %10.3f %10.3f", b + 1, m.sens_block_x[b] * us,
                   m.sens_block_z[b] * us);
    model::append_scaled_values(f, "   %12.4f", {double(m.sens_total[b])}, scales.total);
    model::append_scaled_values(f, "  %12.4f", {double(m.sens_unit_area[b])}, scales.unit_area);
    if (with_resolution)
        model::appendf(f, "  %12.4f  %12.4f", double(m.resolution[b]),
                       double(m.resolution_normalized[b]));
    model::append_scaled_values(f, "  %12.3f", {double(m.sens_block_resistivity[b])},
                                scales.resistivity);
    model::appendf(f, "  %12.3f\n", m.sens_block_area[b] * us * us);
}

// The data lines: the electrode positions as given, the apparent resistivity against its column.
void data_lines(std::string& f, const ModelSettings& m) {
    const std::size_t n = std::size_t(std::max(m.ndata, 0));
    const double scale = model::largest_size(m.app_resistivity, n);
    model::appendf(f, "//  Apparent resistivity values\n");
    model::appendf(f, "//  Data         C1          C2      P1      P2       App. Resis.\n");
    for (int d = 0; d < m.ndata; ++d) {
        model::appendf(f, "  %6d  %10.3f,%10.3f   %10.3f,%10.3f  %10.3f,%10.3f  %10.3f,%10.3f",
                       d + 1, double(m.c1_x[d]), double(m.c1_z[d]), double(m.c2_x[d]),
                       double(m.c2_z[d]), double(m.p1_x[d]), double(m.p1_z[d]), double(m.p2_x[d]),
                       double(m.p2_z[d]));
        model::append_scaled_values(f, "  %12.4f\n", {double(m.app_resistivity[d])}, scale);
    }
}

} // namespace

int write_sensitivity_file(const ModelSettings& m, const char* path) {
    const std::size_t blocks = std::size_t(std::max(m.sens_nblocks, 0));
    model::ResultValues values;
    values.add(m.sens_total, blocks).add(m.sens_unit_area, blocks);
    if (m.calc_resolution != 0)
        values.add(m.resolution, blocks).add(m.resolution_normalized, blocks);
    values.add(m.app_resistivity, std::size_t(std::max(m.ndata, 0)));
    if (!values.writable("sensitivity values")) return 1;
    std::string f;
    model::appendf(f, "// %s\n", m.model_title ? m.model_title : "");
    model::appendf(f, "//  Sensitivity values\n");
    const bool with_resolution = m.calc_resolution != 0;
    if (!with_resolution)
        model::appendf(f, "//  Block        Block Center            Block Sensitivity\n"
                          "// Number   x-location z-location        Total     Unit Area    "
                          "Resistivity         Area\n");
    else
        model::appendf(f, "//  Block        Block Center            Block Sensitivity           "
                          "Block Resolution\n// Number   x-location z-location        Total     "
                          "Unit Area         Total    Normalized   Resistivity          Area\n");
    const BlockScales scales{model::largest_size(m.sens_total, blocks),
                             model::largest_size(m.sens_unit_area, blocks),
                             model::largest_size(m.sens_block_resistivity, blocks)};
    for (int b = 0; b < m.sens_nblocks; ++b)
        block_line(f, m, b, scales, with_resolution);
    data_lines(f, m);
    if (sys::save_file(path, f)) return 0;
    char text[600];
    std::snprintf(text, sizeof text, "Error in creating sensitivity file\n%s", path);
    model::ask_message(text, "File opening error", ui::mb_yesno | ui::mb_iconquestion);
    return 1;
}
