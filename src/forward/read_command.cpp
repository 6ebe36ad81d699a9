// The read-model command and the set-up of a model after the model-file reader.
#include "forward/apparent.h"
#include "forward/commands.h"
#include "forward/cylinder_path.h"
#include "forward/mesh_reach.h"

#include "display/display_commands.h"
#include "model/datum_points.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/reader/readmodel.h"
#include "model/records.h"
#include "model/services.h"
#include "model/snapshot.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

namespace forward {

void set_electrode_positions(ModelSettings& s, bool boreholes) {
    for (int j = 0; j < s.nelec; ++j) {
        s.driver_elec_2[j] = float(j);
        s.driver_elec_3[j] = 0.0f;
    }
    model::trace("end set xpelec\n");
    s.nelec_total = s.nelec;
    if (!boreholes) return;
    s.borehole_nodes_per_spacing = s.nodes_per_spacing;
    int first = 0; // electrodes of the earlier boreholes
    for (int b = 0; b < s.nboreholes; ++b) {
        const int k = s.nelec + first;
        s.nelec_total += s.issbor[b];
        s.borehole_column[b] = s.margin_columns + round_to_int(float(s.nodes_per_spacing) *
                                                               float(s.borehole_first[b]));
        s.borehole_first_row[b] = s.nodes_per_spacing;
        for (int r = 0; r < s.nz_nodes; ++r)
            if (std::fabs(s.depth_lines[r] - s.borehole_z[first]) <= 0.001f)
                s.borehole_first_row[b] = r;
        for (int i = 0; i < s.issbor[b]; ++i) {
            s.driver_elec_2[k + i] = float(s.borehole_first[b]);
            s.driver_elec_3[k + i] = s.borehole_z[first + i];
        }
        first += s.issbor[b];
    }
}

} // namespace forward

namespace {

int colour_step(int nresis) {
    if (nresis <= 4) return 4;
    if (nresis <= 6) return 3;
    if (nresis <= 8) return 2;
    return 1;
}

void clear_tags(ModelSettings& s, int cells) {
    std::fill(s.display_poly_a, s.display_poly_a + cells, 0);
    std::fill(s.display_poly_b, s.display_poly_b + cells, 0);
}

// Surface electrode of each borehole: the last one at the borehole's x.
void set_borehole_surface_electrodes(ModelSettings& s) {
    int first = 0;
    for (int b = 0; b < s.nboreholes; ++b) {
        for (int j = 0; j < s.nelec; ++j)
            if (s.borehole_elec_a[j] == s.borehole_x[first]) s.borehole_first[b] = j;
        first += s.issbor[b];
    }
}

// Apparent values from the potentials the model file holds.
void apparent_values_from_file(ModelSettings& s) {
    if (s.pot_values_present != 1) return;
    Progdisplay.vh_factor = 1.0f;
    if (s.array_type != s.datum_array_type) s.ndata = calc_datum_points(s, Proglim);
    calappres_arrays(s, Proglim);
    // The potentials of a model file were calculated for its own datum list.
    s.potentials_span = forward::widest_datum_span(s);
    s.potentials_array_type = s.array_type;
    s.data_ready = 1;
}

// Steps of a block model after a successful read.
void set_up_block_model(ProgDisplay& display, ModelSettings& s, const char* path) {
    model::trace("set grid initial\n");
    model::copy_text(Systemsettings.model_path, sizeof Systemsettings.model_path, path);
    s.electrode_offset_ratio = s.electrode_offset / s.unit_spacing;
    model::trace("set code2res l %d %d %d n %d\n", s.nx_nodes, s.model_col_start, s.model_col_end,
                 s.nz_nodes);
    set_code2res(s, s.nip, s.model_chargeabilities, s.ip_codes, s.cell_conductivity_ip, s.nx_nodes,
                 s.nz_nodes, s.model_col_start, s.model_col_end, s.resistivity_codes,
                 s.cell_conductivity, s.model_resistivities);
    model::trace("end set code2res\n");
    s.electrode_node_first = s.margin_columns;
    s.electrode_node_last = s.margin_columns + (s.nelec - 1) * s.nodes_per_spacing;
    const int range[4] = {s.electrode_node_first, s.electrode_node_last, s.electrode_node_first,
                          s.electrode_node_last};
    std::copy(range, range + 4, s.electrode_node_range);
    model::copy_text(s.title_text, 256, path);
    if (s.datum_array_type > 0) s.ndata_read = std::max(s.ndata, 0);
    model::trace("set xscale\n");
    set_section_layout(display, s);
    clear_tags(s, s.nx_cells * s.nz_cells);
    model::trace("end set tag\n");
    if (s.nborehole_nodes > 0) set_borehole_surface_electrodes(s);
    s.array_type_copy = s.array_type;
    model::trace("end set nlev\n");
    apparent_values_from_file(s);
    forward::set_electrode_positions(s, s.nborehole_nodes > 0);
    model::trace("set tank\n");
    model::trace("end set tank\n");
}

void finish_read(ModelSettings& s, const char* path) {
    model::trace("issbor1 %d issbor2 %d\n", s.issbor[0], s.issbor[1]);
    model::trace("get datadir\n");
    const std::string folder = sys::current_dir();
    model::copy_text(Systemsettings.initial_dir, sizeof Systemsettings.initial_dir, folder.c_str());
    model::trace("datadir is %s\nprogram is dir %s\n", Systemsettings.initial_dir,
                 Systemsettings.program_dir);
    const std::string name = sys::file_title(path);
    const std::size_t dot = name.rfind('.');
    const std::string pattern = "*" + (dot == std::string::npos ? std::string() : name.substr(dot));
    model::copy_text(s.model_file, sizeof s.model_file, pattern.c_str());
    ui::set_title(std::string(Systemsettings.version_text) + " - " + path);
    char text[1100];
    std::snprintf(text, sizeof text, "Completed reading of data file\n%s.", path);
    dialog_result = model::ask_message(text, "File read", ui::mb_ok | ui::mb_iconinformation);
}

// The folder the read dialog opens in: that of the last model read. Before the first model, while
// that is still the program folder, the bundled examples, when the program stands in the build
// tree beside them.
std::string model_folder(const SystemSettings& system, const ModelSettings& s) {
#ifdef VELDARIN_EXAMPLES_DIR
    std::error_code ec;
    if (s.model_read != 1 &&
        std::filesystem::equivalent(system.initial_dir, system.program_dir, ec) &&
        std::filesystem::is_directory(VELDARIN_EXAMPLES_DIR, ec))
        return VELDARIN_EXAMPLES_DIR "/";
#endif
    return system.initial_dir;
}

} // namespace

int read_model_command(ProgDisplay& display, ModelSettings& s) {
    erase_window();
    clear_area(display.canvas_dc, display.canvas_width, display.canvas_height);
    display.editmode = 0;
    SystemSettings& system = Systemsettings;
    const std::string folder = model_folder(system, s);
    sys::set_current_dir(folder);
    model::copy_text(system.file_name, sizeof system.file_name, "*.mod");
    model::copy_text(system.file_title, sizeof system.file_title, "2D Model File");
    if (!open_file_dialog(system.file_name, system.file_title, folder.c_str())) return 101;

    // A file that cannot be read leaves the model that was loaded, whatever the reader had
    // stored before it refused the file.
    const model::ModelSnapshot loaded(s, Proglim);
    char path[sizeof system.file_name];
    model::copy_text(path, sizeof path, system.file_name);
    model::copy_text(s.namefile, 256, path);
    s.datum_array_type = 0;
    s.ndata = 0;
    display.model_displayed = 0;
    s.app_resistivity[0] = 0.0f;
    // A new model has no calculated data until its potentials are read or calculated.
    s.data_ready = 0;
    // The method a model forces (finite elements for topography, boreholes, ...) held for the
    // model before: this one starts from the user's own choice.
    s.fem = s.fem_chosen;
    s.sparsefem = 0;
    const int failed = readmodel_2D(Proglim, s, s.model_title, path, &ui::window_canvas());
    model::trace("after readataf Grid size %d %d  %d %d\nznode %.2f %.2f %.2f\n", s.le, s.nx_nodes,
                 s.ne, s.nz_nodes, s.depth_lines[0], s.depth_lines[1], s.depth_lines[2]);
    s.array_type_model = s.array_type;
    if (s.tflag > 0) s.fem = 1;
    if (failed) {
        loaded.restore();
        if (s.model_read == 1) {
            const std::string kept =
                std::string("The file was not read; the model stays: ") + s.namefile;
            set_status_line(kept.c_str());
            redisplay_model(display, s);
        }
        return 101;
    }
    std::fill(s.datum_gfactor, s.datum_gfactor + Proglim.max_data_points, 1.0f);
    display.vh_factor = 1.0f;
    s.nlev_read = s.nlev;
    s.nlev = s.nelec / 3;
    s.n_a_spacings = s.nelec / 3;
    // The segments of a multiple gradient come from the model file: its datum list is made
    // from them.
    if (s.array_type != 15) s.n_n_values = std::min(s.nelec / 2, 8);
    s.model_read = 1;
    s.results_stale = 0;
    s.model_unsaved = 0;
    // A new model is shown from the top left of the canvas, where its sections start.
    display.scroll_x = display.scroll_y = 0;
    model::trace("set models initial\n");
    const int step = colour_step(s.nresis);
    for (int i = 0; i < s.nresis; ++i)
        s.colour_marks[i] = step * i;
    if (s.cylinder_model) {
        model::trace("cylinder le %d ne %d  le*ne %d\n", s.le, s.ne, s.le * s.ne);
        model::copy_text(system.model_path, sizeof system.model_path, path);
        clear_tags(s, s.le * s.ne);
        forward::keep_cylinder_mesh(s);
        model::trace("end set cylinder initial\n");
    } else {
        set_up_block_model(display, s, path);
    }
    finish_read(s, path);
    return 101;
}
