// The Surfer model file.
#include "shell/surfer_file.h"

#include "forward/commands.h"
#include "forward/datafile.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "model/text_format.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"

namespace shell {

std::string surfer_model_text(const ModelSettings& m) {
    const bool ip = m.nip > 0;
    std::string out = "X-location Z-location Resistivity(Ohm.m)";
    out += ip ? " Chargeability(mV/V)\n" : "\n";
    const int nps = m.nodes_per_spacing, columns = (m.nelec - 1) * nps;
    const float a = m.unit_spacing;
    for (int i = 1; i <= m.nz_nodes - 1; ++i) {
        const float z = 0.5f * (m.depth_lines[i - 1] + m.depth_lines[i]) * a;
        for (int j = 1; j <= columns; ++j) {
            const float x = a * (float(j) - 0.5f) / float(nps);
            const int cell = index2d(j + m.margin_columns - 1, i, m.nx_cells);
            model::append_values(out, "%8.3f %8.3f %10.5f",
                                 {x, z, m.model_resistivities[m.resistivity_codes[cell]]}, true);
            if (ip)
                model::append_values(out, " %10.5f",
                                     {1000.0f * m.model_chargeabilities[m.ip_codes[cell]]}, true);
            out += "\n";
        }
    }
    return out;
}

int save_model_surfer(ProgDisplay& display, ModelSettings& s) {
    s.export_array_type = s.array_type;
    forward::command_frame(display);
    if (forward::ask_output_file("*.txt", "Output SURFER File"))
        forward::save_text_file(Systemsettings.file_name, [&s] { return surfer_model_text(s); });
    ui::invalidate();
    return 105;
}

} // namespace shell
