// The calculation path of cylinder models: refusals, cell values, the polar mesh and its
// drawing, the solver passes, the apparent values and their normalisation.
#include "forward/cylinder_path.h"

#include "cylinder/cylinder.h"
#include "cylinder/mesh.h"
#include "display/cylinder_drawing.h"
#include "display/display_commands.h"
#include "model/datum_points.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/records.h"
#include "model/services.h"
#include "platform/sys/verify.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <new>

namespace forward {

namespace {

// The arrays a ring of electrodes can form: Wenner alpha, beta, gamma, dipole-dipole and
// Wenner-Schlumberger. The others need a remote electrode or a second line.
bool ring_array(int code) {
    return code == 1 || code == 2 || code == 3 || code == 5 || code == 7;
}

// The frequencies with complex potentials: a model with IP values and time constants has them
// for every frequency once its calculation succeeded; any other has none.
int spectral_frequencies(const ModelSettings& s) {
    return s.nip > 0 && s.ntau > 0 ? s.nfreq : 0;
}

// A model the path cannot calculate: its message, and true.
bool refuse(const ModelSettings& s) {
    const char* text = nullptr;
    if (!ring_array(s.array_type)) {
        text = "This array is not supported for a cylindrical symmetry";
    } else {
        switch (cyl::check_polar_mesh(s.le, s.ne, s.nodes_per_spacing, s.depth_lines)) {
        case cyl::mesh_ok:
            break;
        case cyl::mesh_bad_centre:
            text = "Error in radius of grid lines!\nThe innermost radius must be greater than 0.";
            break;
        case cyl::mesh_bad_radii:
            text = "Error in radius of grid lines!\nRadius of grid lines must be given in "
                   "decreasing values!";
            break;
        default:
            text = "Too few model grid rows for cylinder model!\nYou must have at least 4 "
                   "vertical rows of blocks.";
            break;
        }
    }
    if (!text) return false;
    model::show_message(text, "Error Message");
    return true;
}

// The mesh as the drawing and the editor take it.
void keep_for_drawing(const cyl::PolarMesh& mesh) {
    CylinderMesh& d = Cylindermesh;
    const std::size_t points = 8 * std::size_t(mesh.elements()), marks = 2 * mesh.electrodes();
    d.node_x.assign(mesh.element_x.get(), mesh.element_x.get() + points);
    d.node_y.assign(mesh.element_y.get(), mesh.element_y.get() + points);
    d.outline_points.assign(mesh.element_kind.get(), mesh.element_kind.get() + mesh.elements());
    d.elec_x.assign(mesh.electrode_x.get(), mesh.electrode_x.get() + marks);
    d.elec_y.assign(mesh.electrode_y.get(), mesh.electrode_y.get() + marks);
    d.ncells = mesh.elements();
}

void forget_drawing() {
    Cylindermesh = CylinderMesh();
}

model::SolverResult solve(ModelSettings& s, const ProgLim& limits, const cyl::PolarMesh& mesh,
                          const float* cells, double* table) {
    return cyl::solve_transfer_potentials(
        cyl::solver_inputs(s, mesh, cells, table, limits.max_electrodes));
}

// The values of the datum list from the present tables; false when a Cole-Cole fit was refused
// its memory (the message shown).
bool form_values(ModelSettings& s, const ProgLim& limits, Potentials& p, int nfreq) {
    bool complete = true;
    s.ndata = calc_apparent_cole_cole(s, limits, p, s.nip, nfreq, s.potential_table_a,
                                      s.app_resistivity, &ui::window_canvas(), &complete);
    return complete;
}

// Every value divided by that of a homogeneous cylinder of unit conductivity (Potentials table
// 10), which datum_gfactor keeps.
void normalise_values(ModelSettings& s, const ProgLim& limits, Potentials& p) {
    s.ndata =
        calc_apparent_cole_cole(s, limits, p, 0, 0, p.potential_table_1, s.datum_gfactor, nullptr);
    for (int i = 0; i < s.ndata; ++i)
        if (s.datum_gfactor[i] != 0.0f) s.app_resistivity[i] /= s.datum_gfactor[i];
}

// The complex potentials of every frequency: each cell's Cole-Cole conductivity
// (ModelSettings::driver_cells_2x and _b), then the complex solver into Potentials tables 6 and 7
// at the frequency's block, nelec x nelec values packed from block k nelec^2 on. Stops at the
// first frequency that fails.
model::SolverResult spectral_pass(ModelSettings& s, const ProgLim& limits, Potentials& p,
                                  const cyl::PolarMesh& mesh) {
    set_cylinder_cell_parameters(s.ntau, s.model_taus, s.tau_codes, s.cell_tau, s.le, s.ne,
                                 s.cexp_codes, s.cell_cexp, s.model_cexps, s.ncip);
    // Potentials tables 6 and 7 hold max_frequencies blocks of max_electrodes^2 values.
    VERIFY(s.nfreq <= limits.max_frequencies && s.nelec <= limits.max_electrodes, s.nfreq);
    const std::size_t block = std::size_t(s.nelec) * s.nelec;
    for (int k = 0; k < s.nfreq; ++k) {
        set_cylinder_complex_conductivity(s.le, s.ne, s.resistivity_codes, s.model_resistivities,
                                          s.nresis, s.ip_codes, s.model_chargeabilities, s.nip,
                                          s.cell_tau, s.cell_cexp, s.frequencies[k],
                                          s.driver_cells_2x, s.driver_cells_2x_b);
        cyl::SolverInputs in =
            cyl::solver_inputs(s, mesh, s.driver_cells_2x, p.spectral_table_a + k * block, s.nelec);
        in.conductivity_im = s.driver_cells_2x_b;
        in.table_im = p.spectral_table_b + k * block;
        if (model::SolverResult r = cyl::solve_transfer_potentials_complex(in); !r.ok()) return r;
    }
    return {};
}

} // namespace

std::optional<model::SolverResult> calculate_cylinder_model(ProgDisplay& display, ModelSettings& s,
                                                            const ProgLim& limits, Potentials& p) {
    s.jacob = 0;
    s.cyl_double_variant = 0;
    if (refuse(s)) return std::nullopt;
    form_values(s, limits, p, 0);
    set_cylinder_block_conductivity(s.nip, s.model_chargeabilities, s.ip_codes,
                                    s.cell_conductivity_ip, s.le, s.ne, s.resistivity_codes,
                                    s.cell_conductivity, s.model_resistivities, s.nresis);
    cyl::PolarMesh mesh;
    bool kept = false;
    if (cyl::build_polar_mesh(s.le, s.ne, s.nodes_per_spacing, s.depth_lines, mesh) ==
        cyl::mesh_ok) {
        try {
            keep_for_drawing(mesh);
            kept = true;
        } catch (const std::bad_alloc&) {
            forget_drawing();
        }
    }
    if (!kept) {
        model::report_error(model::Shown::box, "Error Message", "Insufficient memory!.");
        return model::SolverResult::failure(model::SolverStatus::no_memory);
    }
    draw_cylinder_sections(display, s);
    ui::show_child(ui::Child::status, true);
    model::trace("\nCylinder calresfemcylenvqc1\n");

    // The tables change from here on: they hold the model's potentials again only at the end.
    s.pot_values_present = 0;
    model::SolverResult status = solve(s, limits, mesh, s.cell_conductivity, s.potential_table_a);
    if (status.ok() && s.nip > 0)
        status = solve(s, limits, mesh, s.cell_conductivity_ip, s.potential_table_a_ip);
    if (status.ok() && s.nip > 0 && s.ntau > 0) status = spectral_pass(s, limits, p, mesh);
    if (!status.ok()) return status;
    if (!form_values(s, limits, p, spectral_frequencies(s)))
        return model::SolverResult::failure(model::SolverStatus::no_memory);
    if (s.normalise == 1) {
        std::fill(s.cell_work, s.cell_work + s.le * s.ne, 1.0f);
        status = solve(s, limits, mesh, s.cell_work, p.potential_table_1);
        if (!status.ok()) return status;
        normalise_values(s, limits, p);
    } else {
        std::fill(s.datum_gfactor, s.datum_gfactor + s.ndata, 1.0f);
    }
    s.pot_values_present = 1;
    s.data_ready = 1;
    return model::SolverResult{};
}

void cylinder_calappmod(ModelSettings& s, const ProgLim& limits, Potentials& p,
                        const int* previous_array_type) {
    const char* refusal = nullptr;
    if (!ring_array(s.array_type))
        refusal = "This array is not supported for a cylindrical symmetry";
    else if (s.pot_values_present == 0)
        refusal = "You must first calculate the potential values";
    if (refusal) {
        model::show_message(refusal, "Error Message");
        if (previous_array_type) s.array_type = *previous_array_type;
        return;
    }
    s.ndata = calc_datum_points(s, limits);
    if (!form_values(s, limits, p, spectral_frequencies(s))) return;
    if (s.normalise == 1)
        normalise_values(s, limits, p);
    else
        std::fill(s.datum_gfactor, s.datum_gfactor + s.ndata, 1.0f);
    s.data_ready = 1;
}

void keep_cylinder_mesh(const ModelSettings& s) {
    cyl::PolarMesh mesh;
    try {
        if (cyl::build_polar_mesh(s.le, s.ne, s.nodes_per_spacing, s.depth_lines, mesh) ==
            cyl::mesh_ok) {
            keep_for_drawing(mesh);
            return;
        }
    } catch (const std::bad_alloc&) {
    }
    forget_drawing();
}

} // namespace forward
