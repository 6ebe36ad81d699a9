// The calculation driver: the method, the chain of potential solvers, the normalisation and
// the apparent values of the datum list.
#include "forward/apparent.h"
#include "forward/commands.h"
#include "forward/cylinder_path.h"
#include "forward/mesh_reach.h"
#include "forward/solver_chain.h"

#include "display/display_commands.h"
#include "fdsolve/fdsolve.h"
#include "fesolve/fesolve.h"
#include "ipsolve/ipsolve.h"
#include "model/datum_points.h"
#include "model/globals.h"
#include "model/model_settings.h"
#include "model/phase_clock.h"
#include "model/plot_points.h"
#include "model/records.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace forward {

Solver chain_solver(const ModelSettings& s) {
    if (s.fem == 0) {
        if (s.fd_type == 2 && s.nip == 0) return Solver::fd_9pt;
        if (s.fd_type == 0 && s.nip == 0) return Solver::fd_dm;
        return Solver::fd_5pt;
    }
    if (s.fem_variant != 0) return Solver::fe_q4;
    if (s.sparsefem != 0) return Solver::fe_sparse;
    return Solver::fe_band;
}

namespace {

const char* solver_name(Solver solver) {
    switch (solver) {
    case Solver::fe_q4:
        return "calresfemq4 used\n";
    case Solver::fe_sparse:
        return "calresfem_l_dbl used\n";
    case Solver::fe_band:
        return "calresfem_sym_dbl used\n";
    default:
        return "";
    }
}

// Two values per cell, cells row by row, for the finite-element solvers.
void fill_element_conductivity(ModelSettings& s, const float* cells) {
    float* out = s.driver_cells_2x;
    for (int j = 1; j <= s.nz_cells; ++j)
        for (int i = 1; i <= s.nx_cells; ++i) {
            const float v = cells ? cells[index2d(i, j, s.nx_cells)] : 1.0f;
            *out++ = v;
            *out++ = v;
        }
}

// The survey of a run moved onto the solver mesh: its size, spacings and electrode columns.
void on_mesh(const SolverMesh& mesh, model::SurveyInputs& in) {
    in.nx = mesh.nx;
    in.nz = mesh.nz;
    in.node_col_dx = mesh.col_dx.data();
    in.node_row_dz = mesh.row_dz.data();
    in.margin_columns = mesh.column(in.margin_columns);
}

// The mesh every pass of a calculation solves on: the model's, reaching the widest datum of
// the list (span unit spacings), the remote electrodes and the layering (reach_for_model).
// When the band solver writes the Jacobian work files (the sensitivity option) its lines are
// the model's, padded only: the files hold the model's own cells and nodes, which are then
// cells and nodes of the mesh.
SolverMesh chain_mesh(const ModelSettings& s, float span) {
    const bool work_files = s.jacob == 1 && forward::chain_solver(s) == Solver::fe_band;
    return SolverMesh(s, reach_for_model(s, span), 60, !work_files);
}

// A mesh that does not hold a remote electrode would leave it without nodes, and potentials
// of 0 in its data: the run is refused with the reason.
model::SolverResult refuse_unheld() {
    model::report_error(model::Shown::box, "Error Message",
                        "A remote electrode stands farther off the line than the mesh "
                        "reaches:\nits potentials cannot be calculated.");
    return model::SolverResult::failure(model::SolverStatus::bad_input);
}

} // namespace

model::SolverResult run_solver(ModelSettings& s, const ProgLim& limits, Solver solver, float span,
                               const float* cells, double* table_a, double* table_b,
                               double* remote) {
    // Only the resistivity model's pass writes the Jacobian work files.
    model::PhaseTimer timer(model::Phase::setup);
    const SolverMesh mesh = chain_mesh(s, span);
    if (!mesh.holds) return refuse_unheld();
    if (solver == Solver::fd_9pt || solver == Solver::fd_dm || solver == Solver::fd_5pt) {
        if (!cells) {
            std::fill(s.cell_work, s.cell_work + s.nx_cells * s.nz_cells, 1.0f);
            cells = s.cell_work;
        }
        const std::vector<float> padded = mesh.cells(cells, 1);
        timer.stop();
        fd::Inputs in = fd::make_inputs(s, limits, cells, table_a, table_b, remote);
        reach_wavenumbers(s, fd::first_wavenumber(in), in);
        if (mesh.changed()) {
            on_mesh(mesh, in);
            in.conductivity = padded.data();
        }
        if (solver == Solver::fd_9pt) return calaresforward_9pt(in);
        if (solver == Solver::fd_dm) return calaresforward_dm(in);
        return calaresforward_dbl(in);
    }
    timer.stop();
    fill_element_conductivity(s, cells);
    model::trace("%s", solver_name(solver));
    fe::Inputs in = fe::make_inputs(s, limits, s.driver_cells_2x, table_a, table_b, remote);
    if (cells != s.cell_conductivity) in.jacobian = 0;
    // The Jacobian work files hold the settings' wavenumbers.
    if (in.jacobian == 0 && solver != Solver::fe_q4) reach_wavenumbers(s, in.ky_min, in);
    // The quadrilateral solver's own wavenumbers run from 0.01 to 12, and it holds no remote
    // electrodes: the buried electrodes' pairs may take them lower.
    if (in.jacobian == 0 && solver == Solver::fe_q4) {
        model::SurveyInputs own = in;
        own.ky_min = in.q4_first_wavenumber;
        own.ky_max = 12.0f;
        reach_wavenumbers(s, own.ky_min, own, false);
        in.nky = own.nky;
        in.q4_first_wavenumber = own.ky_min;
    }
    // The solvers may move nodes onto electrodes: the padded nodes are copies of their own.
    const std::vector<float> padded = mesh.cells(s.driver_cells_2x, 2);
    std::vector<float> node_x = mesh.node_x, node_z = mesh.node_z;
    std::vector<std::int32_t> borehole_columns(in.borehole_columns,
                                               in.borehole_columns + std::max(in.nboreholes, 0));
    for (std::int32_t& c : borehole_columns)
        c = mesh.column(c);
    if (mesh.changed()) {
        on_mesh(mesh, in);
        in.cells = padded.data();
        in.node_x = node_x.data();
        in.node_z = node_z.data();
        in.node_col_x = mesh.col_x.data();
        in.borehole_columns = borehole_columns.data();
        in.model_left = mesh.left;
        in.model_nx = s.nx_nodes;
        in.model_nz = s.nz_nodes;
        in.model_cells = s.driver_cells_2x;
    }
    if (solver == Solver::fe_q4) return calresfemq4(in);
    if (solver == Solver::fe_sparse) return calresfem_l_dbl(in);
    return calresfem_sym_dbl(in);
}

model::SolverResult run_complex_solver(ModelSettings& s, const ProgLim& limits, Potentials& p,
                                       ComplexPass pass, float span) {
    model::PhaseTimer timer(model::Phase::setup);
    const SolverMesh mesh = chain_mesh(s, span);
    if (!mesh.holds) return refuse_unheld();
    const std::vector<int> from = mesh.cell_sources();
    std::vector<std::int32_t> borehole_columns(s.borehole_column,
                                               s.borehole_column + std::max(s.nboreholes, 0));
    for (std::int32_t& c : borehole_columns)
        c = mesh.column(c);
    // The node positions of a mesh under topography; a flat mesh's nodes stand at their
    // column positions and row depths.
    std::vector<float> node_x, node_z;
    if (s.tflag > 0) node_x = mesh.node_x, node_z = mesh.node_z;
    ip::Mesh on;
    on.nx = mesh.nx;
    on.nz = mesh.nz;
    on.col_dx = mesh.col_dx.data();
    on.row_dz = mesh.row_dz.data();
    on.node_x = node_x.empty() ? nullptr : node_x.data();
    on.node_z = node_z.empty() ? nullptr : node_z.data();
    on.margin_columns = mesh.column(s.margin_columns);
    on.borehole_columns = borehole_columns.data();
    on.cell_from = from.data();
    timer.stop();
    if (pass == ComplexPass::nonlinear_ip)
        return calc_potentials_complex_ip(s, limits, p.ip_vector_a, p.ip_vector_b, p.ip_vector_c,
                                          p.ip_table_a, p.ip_table_b, &on);
    return calc_potentials_spectral_ip(s, limits, p.ip_vector_a, p.ip_vector_b, p.ip_vector_c,
                                       p.spectral_table_a, p.ip_table_a, p.spectral_table_b,
                                       p.ip_table_b, p.spectral_remote, &on);
}

} // namespace forward

namespace {

using forward::Solver;

// Why the run needs finite elements, which the finite differences cannot take; null when it
// does not.
const char* finite_element_cause(const ModelSettings& s) {
    if (s.jacob > 0) return "the sensitivity values are included";
    if (s.tflag > 0) return "the model has topography";
    if (s.water_present > 0) return "the model has water layers";
    if (s.nborehole_nodes > 0) return "the model has boreholes";
    if (s.ntau > 0) return "the model has spectral IP values";
    if (s.electrode_type == 1) return "the model has line electrodes";
    return nullptr;
}

// Method forced by the model: finite elements for what finite differences cannot model. It
// holds until the next model is read, which starts from the user's own choice again.
void force_method(ModelSettings& s) {
    if (s.jacob > 0) {
        s.fem = 1;
        s.sparsefem = 0;
        model::trace("Start model 1 cal fem %d sparsefem %d\n", s.fem, s.sparsefem);
    }
    if (finite_element_cause(s)) s.fem = 1;
}

// The status line of a completed run names its method, and why when the model chose it.
void tell_method(const ModelSettings& s, bool finite_elements) {
    std::string text = finite_elements ? "Calculated by finite elements"
                                       : "Calculated by finite "
                                         "differences";
    if (const char* cause = finite_element_cause(s); finite_elements && cause)
        text += std::string(": ") + cause;
    set_status_line((text + ".").c_str());
}

// The resistivity pass and, with IP values, the IP pass and, with time constants too, the
// spectral pass; or the one complex pass of the non-linear IP model, on a mesh that reaches the
// datum span `span`. The first failure ends the chain.
model::SolverResult run_chain(ModelSettings& s, const ProgLim& limits, Potentials& p, float span) {
    if (s.fem != 0 && s.complex_ip_model == 1 && s.nip > 0) {
        model::trace("Complex Resistivity Model FEM\n");
        s.nfreq = 0;
        const model::SolverResult status =
            forward::run_complex_solver(s, limits, p, forward::ComplexPass::nonlinear_ip, span);
        // The real part is this model's resistivity response: its remote-electrode potentials
        // go where the data file reads those of the resistivity pass.
        if (status.ok() && s.remote_electrodes > 0)
            std::copy(p.ip_vector_a, p.ip_vector_a + 2 * std::size_t(limits.max_electrodes) + 1,
                      p.fe_vector_a);
        return status;
    }
    const Solver solver = forward::chain_solver(s);
    model::SolverResult status =
        forward::run_solver(s, limits, solver, span, s.cell_conductivity, s.potential_table_a,
                            s.potential_table_b, p.fe_vector_a);
    if (!status.ok() || s.nip <= 0) return status;
    status = forward::run_solver(s, limits, solver, span, s.cell_conductivity_ip,
                                 s.potential_table_a_ip, s.potential_table_b_ip, p.fe_vector_b);
    if (!status.ok() || s.fem == 0 || s.ntau <= 0) return status;
    return forward::run_complex_solver(s, limits, p, forward::ComplexPass::spectral_ip, span);
}

// The finite-element potentials of every electrode pair in the trace log: the two resistivity
// tables and, with IP values, the two IP tables.
void trace_pair_potentials(const ModelSettings& s, int lead) {
    if (Printtrace.active != 1) return;
    model::trace("Finite-element potentials %d\n", s.nelec);
    for (int i = 1; i < s.nelec; ++i)
        for (int j = i + 1; j <= s.nelec; ++j) {
            const int at = index2d(i, j, lead);
            char ip[64] = "";
            if (s.nip > 0)
                std::snprintf(ip, sizeof ip, " %12.4e %12.4e", s.potential_table_a_ip[at],
                              s.potential_table_b_ip[at]);
            model::trace("%3d %3d %12.4e %12.4e%s\n", i, j, s.potential_table_a[at],
                         s.potential_table_b[at], ip);
        }
}

// The misfit of the model file's measured apparent resistivities (ndata_read of them, the
// start of the datum list) against the values calculated for them so far (from the file's
// potentials or its calculated values, or by the last calculation), as a percentage; NaN
// unless the datum list is the file's own and every value is above 0.
float file_data_misfit(const ModelSettings& s) {
    const int n = s.ndata_read;
    if (s.array_type != s.datum_array_type || n < 1 || n > s.ndata) return NAN;
    for (int d = 0; d < n; ++d)
        if (!(s.measured_values[d] > 0.0f) || !(s.app_resistivity[d] > 0.0f)) return NAN;
    std::vector<float> shown(static_cast<std::size_t>(n)), log_ratio(shown.size());
    float rms = 0.0f;
    rms_log_misfit(0, n, shown.data(), s.measured_values, s.app_resistivity, &rms,
                   log_ratio.data());
    return 100.0f * rms;
}

// The datum list the apparent values are formed for, made before the solvers run: their mesh
// must reach its widest datum. A model file's own list of its array type is kept (a spectral
// model forms its spectra for it too); any other is made anew. The new list's depth order may be
// left to `later`.
void prepare_datum_list(ModelSettings& s, const ProgLim& limits, DatumOrder* later) {
    if (s.array_type != s.datum_array_type) s.ndata = calc_datum_points(s, limits, later);
}

// The depth order of a new datum list left to come, worked out on a thread of its own while the
// solvers run (they read nothing of the list but its widest span) and placed in the settings
// when they have ended.
class OrderBesideTheSolvers {
  public:
    OrderBesideTheSolvers(ModelSettings& s, DatumOrder& order) : s_(s), order_(order) {
        if (order_.pending())
            beside_.emplace([this] {
                model::PhaseTimer timer(model::Phase::setup);
                order_.work_out();
            });
    }
    ~OrderBesideTheSolvers() {
        beside_.reset();
        order_.place(s_);
    }
    OrderBesideTheSolvers(const OrderBesideTheSolvers&) = delete;
    OrderBesideTheSolvers& operator=(const OrderBesideTheSolvers&) = delete;

  private:
    ModelSettings& s_;
    DatumOrder& order_;
    std::optional<sys::Beside> beside_;
};

// The apparent values of the datum list from potentials whose mesh reached the datum span
// `span`.
void form_apparent_values(ModelSettings& s, const ProgLim& limits, Potentials& p, float span) {
    // What the potentials' mesh reached for: an array-type change may not go wider.
    s.potentials_span = span;
    s.potentials_array_type = s.array_type;
    if (s.ntau > 0) {
        s.ndata = calappres_ip(s, limits, p, &ui::window_canvas());
        s.pot_values_present = 1;
        s.data_ready = 1;
        return;
    }
    calappres_arrays(s, limits);
    s.pot_values_present = 1;
    s.data_ready = 1;
}

// The cause of a failed calculation in words, from the family of the solver that ran and its
// result (the solver has reported its own message before; this one names the outcome).
std::string failure_cause(bool finite_elements, model::SolverResult result) {
    using model::SolverStatus;
    if (result.status == SolverStatus::bad_result)
        return "the homogeneous run gave no potential to normalise by";
    if (!finite_elements) return "the finite-difference solver could not use the model or mesh";
    switch (result.status) {
    case SolverStatus::no_memory:
        return "there was not enough memory for the finite-element solver";
    case SolverStatus::bad_input:
        return "the mesh, the electrodes or the wavenumbers do not fit the finite-element solver";
    case SolverStatus::ordering:
        return "the ordering of the finite-element matrix failed";
    case SolverStatus::matrix:
        return "an element of the mesh fell outside the finite-element matrix";
    case SolverStatus::file:
        return "a work file of the finite-element solver could not be written";
    default:
        return "the finite-element matrix could not be factorised at node " +
               std::to_string(result.row) +
               ": a resistivity or a mesh interval lies outside the range the solver handles";
    }
}

// The code the ending shows: the result's own, but 1 for every failure of a finite-difference
// solver other than a pivot, as the calculation has always shown them.
int failure_code(bool finite_elements, model::SolverResult result) {
    if (finite_elements || result.status == model::SolverStatus::pivot) return result.code();
    return 1;
}

void show_ending(model::SolverResult status, bool finite_elements, double seconds) {
    char text[512];
    if (status.ok()) {
        std::snprintf(text, sizeof text, "Calculations completed.\nTime taken was %.2f seconds.",
                      seconds);
        dialog_result = model::ask_message(text, "Message", ui::mb_ok | ui::mb_iconinformation);
    } else if (status.status == model::SolverStatus::user_abort) {
        model::show_message("Calculations stopped by the user.\nNo apparent values were formed.",
                            "Message");
        set_status_line("Calculation stopped by the user.");
    } else {
        std::snprintf(text, sizeof text,
                      "Calculations stopped by an error (code %d):\n%s.\nNo apparent values "
                      "were formed.",
                      failure_code(finite_elements, status),
                      failure_cause(finite_elements, status).c_str());
        model::show_message(text, "Error Message");
    }
}

} // namespace

int start_calculations(ProgDisplay& display, ModelSettings& s, const ProgLim& limits,
                       Potentials& p) {
    force_method(s);
    erase_window();
    clear_area(display.canvas_dc, display.canvas_width, display.canvas_height);
    display.model_displayed = 1;
    display.editmode = 0;
    ui::set_cursor(ui::Cursor::wait);
    update_status("Start Calculations", 0);
    const double start = sys::wall_seconds();
    model::trace("Start model 2 cal fem %d sparsefem %d\n", s.fem, s.sparsefem);
    if (s.nboreholes > 0) {
        forward::set_electrode_positions(s, true);
        s.sparsefem = 1;
    } else {
        forward::set_electrode_positions(s, false);
    }
    model::trace("Start model 3 cal fem %d sparsefem %d issbor %d\n", s.fem, s.sparsefem,
                 s.issbor[0]);
    if (s.model_read != 1) {
        beep();
        model::ask_message("You must first read in a model!\nPlease use the File option to read "
                           "in a model file.",
                           "Message", ui::mb_ok | ui::mb_iconexclamation);
        ui::set_cursor(ui::Cursor::arrow);
        return 130;
    }
    model::trace("Start model a cal fem %d sparsefem %d\n", s.fem, s.sparsefem);
    s.data_ready = 0;
    s.results_stale = 0; // this calculation's results, or none, are the edited model's
    display.grid_flag = 0;
    if (s.cylinder_model) {
        const std::optional<model::SolverResult> status =
            forward::calculate_cylinder_model(display, s, limits, p);
        ui::set_cursor(ui::Cursor::arrow);
        if (status) show_ending(*status, true, sys::wall_seconds() - start);
        update_status("End Calculations", 0);
        ui::show_child(ui::Child::status, false);
        return 130;
    }
    // Time constants without IP values make no spectra.
    if (s.ntau > 0 && s.nip <= 0) s.nfreq = 0;
    if (s.ntau > 0 && !forward::spectral_array_supported(s)) {
        model::show_message("This array is not supported for a spectral IP model", "Error Message");
        ui::set_cursor(ui::Cursor::arrow);
        update_status("End Calculations", 0);
        return 130;
    }
    // A datum list that is the model file's own: the misfit of its data, printed over the
    // resistivity section (a line more of room above it), and the plotting positions.
    float misfit = NAN;
    if (s.array_type == s.datum_array_type) {
        misfit = file_data_misfit(s);
        std::vector<float> x(std::size_t(std::max(1, s.ndata))), z(x.size());
        calc_plot_points(s, limits, x.data(), z.data());
    }
    // The model sections, drawn before the solvers run, show what is being calculated.
    const int top = (std::isfinite(misfit) ? 6 : 5) * display.char_h;
    const int bottom = draw_model_sections(display, s, top, misfit);
    display.drawn_height = std::min(bottom, display.canvas_height);
    display.drawn_width = std::min(display.plot_width, display.canvas_width);
    ui::show_child(ui::Child::status, true);
    // Every cell with its own code, as the model sections show it: the reader gives the cells
    // beyond the file's block columns the codes of the edge blocks, and an edit may change any.
    set_code2res(s, s.nip, s.model_chargeabilities, s.ip_codes, s.cell_conductivity_ip, s.nx_nodes,
                 s.nz_nodes, 1, s.nx_cells, s.resistivity_codes, s.cell_conductivity,
                 s.model_resistivities);
    model::trace("nip %d ntau %d ncip %d\n", s.nip, s.ntau, s.ncip);
    model::trace("fem %d sfem %d t %d\n", s.fem, s.sparsefem, s.tflag);
    model::trace("Conductivity\n");
    model::trace("Conductivity IP\n");
    model::trace("Start model c cal fem %d sparsefem %d\n", s.fem, s.sparsefem);

    model::PhaseTimer setup(model::Phase::setup);
    // On one solver thread the new list is ordered at once, as it always was.
    DatumOrder order;
    prepare_datum_list(s, limits, sys::pool_threads() > 1 ? &order : nullptr);
    const float span = forward::widest_datum_span(s);
    setup.stop();
    model::SolverResult status;
    {
        const OrderBesideTheSolvers beside(s, order);
        status = run_chain(s, limits, p, span);
    }
    if (s.fem != 0) trace_pair_potentials(s, limits.max_electrodes);
    if (status.ok() && s.normalise == 1) status = normalise_potentials(s, limits, p);
    if (status.ok()) {
        model::PhaseTimer timer(model::Phase::apparent);
        form_apparent_values(s, limits, p, span);
    }

    ui::set_cursor(ui::Cursor::arrow);
    model::trace("\nissbor1 %d issbor2 %d\n", s.issbor[0], s.issbor[1]);
    beep();
    const forward::Solver solver = forward::chain_solver(s);
    const bool finite_elements =
        solver != Solver::fd_9pt && solver != Solver::fd_dm && solver != Solver::fd_5pt;
    show_ending(status, finite_elements, sys::wall_seconds() - start);
    if (status.ok()) tell_method(s, finite_elements);
    update_status("End Calculations", 0);
    ui::show_child(ui::Child::status, false);
    return 130;
}
