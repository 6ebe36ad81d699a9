// Fixtures of the finite-element tests.
#include "fe_fixture.h"

#include "fesolve/fesolve.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"
#include "support/fe_mesh.h"

#include <cmath>

namespace fe_test {

void Records::SetUp() {
    ASSERT_FALSE(folder_.path.empty());
    ASSERT_FALSE(HasFailure());
    model::set_work_file_paths(Modelsettings, Modelresolution, folder_.path);
    model::copy_text(Printtrace.file_name, sizeof Printtrace.file_name,
                     file("kwoptrace.txt").c_str());
    Statuswind.bar_width = 200;
    ui::install_backend(&backend);
}

void Records::TearDown() {
    sys::set_pool_threads(0);
    ui::install_backend(nullptr);
    sys::set_page_budget(-1);
    sys::set_free_memory_override(-1);
}

double row_depth(int r) {
    double depth = 0.0, dz = 0.25;
    for (int j = 1; j < r; ++j) {
        if (j == 5)
            dz = 0.35;
        else if (j > 5 && j <= 10)
            dz *= 1.1;
        else if (j > 10)
            dz *= 1.5;
        depth += dz;
    }
    return depth;
}

BlockModel::BlockModel(int electrodes, double rho, int rows, const std::vector<float>& elevations)
    : nelec(electrodes), nz(rows) {
    ModelSettings& s = Modelsettings;
    for (int r = 1; r <= nz; ++r)
        s.depth_lines[r - 1] = float(row_depth(r));
    for (int r = 1; r < nz; ++r)
        s.node_row_dz[r - 1] = float(row_depth(r + 1) - row_depth(r));
    nx = test_support::lay_out_fe_mesh(s, nelec, m, p, nz, rho, elevations);
}

void BlockModel::add_borehole(float x, const std::vector<float>& depths) {
    ModelSettings& s = Modelsettings;
    const int b = s.nboreholes++;
    s.issbor[b] = int(depths.size());
    s.borehole_first[b] = round_to_int(x);
    s.borehole_column[b] = m + round_to_int(float(p) * x);
    int first_row = 0;
    for (int r = 1; r <= nz; ++r)
        if (std::fabs(row_depth(r) - depths[0]) <= 0.001) first_row = r - 1;
    s.borehole_first_row[b] = first_row;
    s.borehole_nodes_per_spacing = p;
    for (float depth : depths) {
        const int k = s.nborehole_nodes++;
        s.borehole_x[k] = x;
        s.borehole_z[k] = depth;
        s.electrode_table[s.nelec_total] = ElectrodeNode{};
        s.electrode_table[s.nelec_total].x = x;
        s.electrode_table[s.nelec_total].z = depth;
        ++s.nelec_total;
    }
}

fe::Inputs BlockModel::inputs() const {
    ModelSettings& s = Modelsettings;
    fe::Inputs in = fe::make_inputs(s, Proglim, s.driver_cells_2x, s.potential_table_a,
                                    s.potential_table_b, Potentialtables.fe_vector_a);
    in.margin_columns = m;
    in.nodes_per_spacing = p;
    in.nelec = nelec;
    in.nx = nx;
    in.nz = nz;
    return in;
}

model::SolverResult BlockModel::run_band() {
    return calresfem_sym_dbl(inputs());
}

model::SolverResult BlockModel::run_sparse() {
    return calresfem_l_dbl(inputs());
}

model::SolverResult BlockModel::run_q4() {
    return calresfemq4(inputs());
}

model::SolverResult BlockModel::run_block() {
    return calc_potentials_fem_wavenumbers(inputs());
}

double BlockModel::pot(int a, int b) const {
    return Modelsettings.potential_table_a[index2d(a, b, Proglim.max_electrodes)];
}
double BlockModel::offset_pot(int a, int b) const {
    return Modelsettings.potential_table_b[index2d(a, b, Proglim.max_electrodes)];
}
double BlockModel::remote(int i) const {
    return Potentialtables.fe_vector_a[i - 1];
}
double BlockModel::x(int e) const {
    return e <= nelec ? e - 1 : Modelsettings.electrode_table[e - 1].x;
}
double BlockModel::z(int e) const {
    return e <= nelec ? 0.0 : Modelsettings.electrode_table[e - 1].z;
}

} // namespace fe_test
