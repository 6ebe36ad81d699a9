// The finite-element block mesh of the fesolve tests and the benchmark.
#include "support/fe_mesh.h"

#include "model/mesh_nodes.h"
#include "support/model_records.h"

namespace test_support {

int lay_out_fe_mesh(ModelSettings& s, int nelec, int m, int p, int nz, double rho,
                    const std::vector<float>& elevations) {
    const int nx = 2 * m + (nelec - 1) * p - 1;
    s.nelec = nelec;
    s.margin_columns = m;
    s.nodes_per_spacing = p;
    s.nx_nodes = nx;
    s.nz_nodes = nz;
    s.nx_cells = nx - 1;
    s.nz_cells = nz - 1;
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
    return nx;
}

ProgLim bench_limits(int electrodes, int rows, int p) {
    ProgLim l = limits_for(electrodes, 1000);
    l.max_node_rows = rows;
    l.max_node_columns = l.max_node_columns_b = p * electrodes + 43;
    return l;
}

int lay_out_bench_mesh(ModelSettings& s, int nelec, int m, int p, int rows, double rho) {
    int nz = 1;
    s.depth_lines[0] = 0.0f;
    for (float dz = 0.25f; s.depth_lines[nz - 1] < 2.0f * float(nelec) && nz < rows - 1; ++nz) {
        s.node_row_dz[nz - 1] = dz;
        s.depth_lines[nz] = s.depth_lines[nz - 1] + dz;
        if (nz >= 4) dz *= 1.1f;
    }
    const int nx = lay_out_fe_mesh(s, nelec, m, p, nz, rho);
    for (int c = 0; c < (nx - 1) * (nz - 1); ++c)
        s.cell_conductivity[c] = float(1.0 / rho);
    for (int e = 0; e < nelec; ++e)
        s.driver_elec_2[e] = float(e);
    return nx;
}

} // namespace test_support
