// Fixtures of the finite-element tests.
#include "fe_fixture.h"

#include "fesolve/fesolve.h"
#include "model/mesh_nodes.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace fe_test {

ProgLim limits_for(int electrodes, int rows) {
    ProgLim l;
    l.max_electrodes = electrodes;
    l.max_n = 70;
    l.max_data_points = 2000;
    l.max_levels = 160;
    l.max_resistivity_values = 33;
    l.max_node_rows = rows;
    l.max_node_columns = 4 * electrodes + 43;
    l.max_topo_points = electrodes;
    l.max_spacing_ratio = 160;
    l.max_electrodes_b = l.max_electrodes_c = l.max_electrodes_d = electrodes;
    l.max_node_columns_b = l.max_node_columns;
    l.max_borehole_electrodes = 32;
    l.max_boreholes = 30;
    l.max_frequencies = 12;
    return l;
}

void Records::SetUp() {
    char pattern[] = "/tmp/fe_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = std::string(pattern) + "/";
    ASSERT_EQ(init_globals(), 0);
    Proglim = limits_for(161);
    ASSERT_EQ(model::allocate_model_arrays(Modelsettings, Potentialtables, Proglim), 0);
    model::set_work_file_paths(Modelsettings, Modelresolution, folder_);
    model::copy_text(Printtrace.file_name, sizeof Printtrace.file_name,
                     file("kwoptrace.txt").c_str());
    Statuswind.bar_width = 200;
    ui::install_backend(&backend);
}

void Records::TearDown() {
    ui::install_backend(nullptr);
    sys::set_page_budget(-1);
    model::exit_globals();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
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
    nx = 2 * m + (nelec - 1) * p - 1;
    s.nelec = nelec;
    s.margin_columns = m;
    s.nodes_per_spacing = p;
    s.nx_nodes = nx;
    s.nz_nodes = nz;
    s.nx_cells = nx - 1;
    s.nz_cells = nz - 1;
    for (int r = 1; r <= nz; ++r)
        s.depth_lines[r - 1] = float(row_depth(r));
    for (int r = 1; r < nz; ++r)
        s.node_row_dz[r - 1] = float(row_depth(r + 1) - row_depth(r));
    set_fe_node_spacing(s, m, s.node_col_dx, p, nx, s.node_col_x);
    s.tflag = elevations.empty() ? 0 : 1;
    for (int i = 0; i < nelec; ++i) {
        s.elec_x[i] = float(i);
        s.elec_z[i] = elevations.empty() ? 0.0f : elevations[i];
        s.electrode_water[i] = 0;
        s.electrode_table[i] = ElectrodeNode{};
        s.electrode_table[i].x = float(i);
    }
    Set_Topo_Grid_Nodes(&s.topo_bottom_shift, nelec, nx, nz, m, p, s.tflag, s.node_col_x,
                        s.depth_lines, s.node_col_dx, s.node_row_dz, s.node_x, s.node_z, s.elec_x,
                        s.elec_z);
    s.nelec_total = nelec;
    s.nboreholes = 0;
    s.nborehole_nodes = 0;
    s.electrode_offset_ratio = 1.0f;
    s.remote_electrodes = 0;
    for (int c = 0; c < 2 * (nx - 1) * (nz - 1); ++c)
        s.driver_cells_2x[c] = float(1.0 / rho);
}

void BlockModel::add_borehole(float x, const std::vector<float>& depths) {
    ModelSettings& s = Modelsettings;
    const int b = s.nboreholes++;
    s.issbor[b] = int(depths.size());
    s.borehole_first[b] = round_to_int(x);
    s.borehole_table_2[b] = m + round_to_int(float(p) * x);
    int first_row = 0;
    for (int r = 1; r <= nz; ++r)
        if (std::fabs(row_depth(r) - depths[0]) <= 0.001) first_row = r - 1;
    s.borehole_table_3[b] = first_row;
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

int BlockModel::run_band() {
    ModelSettings& s = Modelsettings;
    return calresfem_sym_dbl(
        s, Potentialtables.fe_vector_a, s.nboreholes, s.issbor, s.borehole_table_2, s.borehole_z,
        s.nelec_total, s.electrode_offset_ratio, m, p, nelec, s.driver_cells_2x, s.node_x, s.node_z,
        nx, nz, s.potential_table_a, s.potential_table_b, s.nky, s.electrode_water, nullptr);
}

int BlockModel::run_sparse() {
    ModelSettings& s = Modelsettings;
    return calresfem_l_dbl(s, Potentialtables.fe_vector_a, s.remote_electrodes, s.c2_remote_x,
                           s.c2_remote_y, s.p2_remote_x, s.p2_remote_y, s.nelec_total,
                           s.electrode_offset_ratio, m, p, nelec, s.driver_cells_2x, s.node_col_x,
                           nx, nz, s.potential_table_a, s.potential_table_b, s.nky,
                           s.electrode_water, nullptr, nullptr);
}

int BlockModel::run_q4() {
    ModelSettings& s = Modelsettings;
    return calresfemq4(s.nboreholes, s.issbor, s.borehole_table_2, s.borehole_table_3,
                       s.nelec_total, s.electrode_offset_ratio, m, p, nelec, s.array_type,
                       s.driver_cells_2x, s.node_row_dz, s.node_col_dx, nx, nz, s.potential_table_a,
                       s.potential_table_b, s.nky, s.electrode_water, nullptr, nullptr);
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
