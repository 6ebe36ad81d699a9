// The block sensitivity table.
#include "sensitivity/sensitivity_table.h"

#include "model/result_check.h"
#include "model/services.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"
#include "sensitivity/text_out.h"

#include <algorithm>
#include <cstdio>

int write_sensitivity_file(const ModelSettings& m, const char* path) {
    const std::size_t blocks = std::size_t(std::max(m.sens_nblocks, 0));
    model::ResultValues values;
    values.add(m.sens_total, blocks).add(m.sens_unit_area, blocks);
    if (m.calc_resolution != 0)
        values.add(m.resolution, blocks).add(m.resolution_normalized, blocks);
    values.add(m.app_resistivity, std::size_t(std::max(m.ndata, 0)));
    if (!values.writable("sensitivity values")) return 1;
    std::string f;
    {
        const double us = m.unit_spacing;
        sens::appendf(f, "// %s\n", m.model_title ? m.model_title : "");
        sens::appendf(f, "//  Sensitivity values\n");
        const bool with_resolution = m.calc_resolution != 0;
        if (!with_resolution)
            sens::appendf(f, "//  Block        Block Center            Block Sensitivity\n"
                             "// Number   x-location z-location        Total     Unit Area    "
                             "Resistivity         Area\n");
        else
            sens::appendf(f, "//  Block        Block Center            Block Sensitivity           "
                             "Block Resolution\n// Number   x-location z-location        Total     "
                             "Unit Area         Total    Normalized   Resistivity          Area\n");
        for (int b = 0; b < m.sens_nblocks; ++b) {
            const double x = m.sens_block_x[b] * us, z = m.sens_block_z[b] * us;
            const double area = m.sens_block_area[b] * us * us;
            if (!with_resolution)
                sens::appendf(f, "  %6d  %10.3f %10.3f   %12.4f  %12.4f  %12.3f  %12.3f\n", b + 1,
                              x, z, double(m.sens_total[b]), double(m.sens_unit_area[b]),
                              double(m.sens_block_resistivity[b]), area);
            else
                sens::appendf(
                    f, "  %6d  %10.3f %10.3f   %12.4f  %12.4f  %12.4f  %12.4f  %12.3f  %12.3f\n",
                    b + 1, x, z, double(m.sens_total[b]), double(m.sens_unit_area[b]),
                    double(m.resolution[b]), double(m.resolution_normalized[b]),
                    double(m.sens_block_resistivity[b]), area);
        }
        sens::appendf(f, "//  Apparent resistivity values\n");
        sens::appendf(f, "//  Data         C1          C2      P1      P2       App. Resis.\n");
        for (int d = 0; d < m.ndata; ++d)
            sens::appendf(
                f, "  %6d  %10.3f,%10.3f   %10.3f,%10.3f  %10.3f,%10.3f  %10.3f,%10.3f  %12.4f\n",
                d + 1, double(m.c1_x[d]), double(m.c1_z[d]), double(m.c2_x[d]), double(m.c2_z[d]),
                double(m.p1_x[d]), double(m.p1_z[d]), double(m.p2_x[d]), double(m.p2_z[d]),
                double(m.app_resistivity[d]));
        if (sys::save_file(path, f)) return 0;
    }
    char text[600];
    std::snprintf(text, sizeof text, "Error in creating sensitivity file\n%s", path);
    model::ask_message(text, "File opening error", ui::mb_yesno | ui::mb_iconquestion);
    return 1;
}
