// The three finite-difference drivers: their argument lists gathered once into the inputs of
// the shared frame.
#include "fdsolve/fdsolve.h"
#include "fdsolve/frame.h"

#include "model/services.h"

namespace {

int forward(fd::Scheme scheme, ModelSettings& settings, double* remote_table, int max_electrodes,
            int margin_columns, int nodes_per_spacing, int remote_electrodes, float c2_remote_x,
            float c2_remote_y, float p2_remote_x, float p2_remote_y,
            const std::int32_t* electrode_water, int nelec, double* table_a, double* table_b,
            const float* conductivity, const float* node_row_dz, const float* node_col_dx,
            int nx_nodes, int nz_nodes, float electrode_offset_ratio, int nky,
            gfx::Canvas* status_canvas) {
    fd::Inputs in;
    in.settings = &settings;
    in.remote_table = remote_table;
    in.max_electrodes = max_electrodes;
    in.margin_columns = margin_columns;
    in.nodes_per_spacing = nodes_per_spacing;
    in.remote_electrodes = remote_electrodes;
    in.c2_x = c2_remote_x;
    in.c2_y = c2_remote_y;
    in.p2_x = p2_remote_x;
    in.p2_y = p2_remote_y;
    in.electrode_water = electrode_water;
    in.nelec = nelec;
    in.table_a = table_a;
    in.table_b = table_b;
    in.conductivity = conductivity;
    in.node_row_dz = node_row_dz;
    in.node_col_dx = node_col_dx;
    in.nx = nx_nodes;
    in.nz = nz_nodes;
    in.electrode_offset_ratio = electrode_offset_ratio;
    in.nky = nky;
    in.status_canvas = status_canvas;
    return scheme == fd::Scheme::modified_9pt ? fd::run_band(in) : fd::run_sparse(in, scheme);
}

} // namespace

int calaresforward_dbl(ModelSettings& settings, double* remote_table, int max_electrodes,
                       int margin_columns, int nodes_per_spacing, int remote_electrodes,
                       float c2_remote_x, float c2_remote_y, float p2_remote_x, float p2_remote_y,
                       const std::int32_t* electrode_water, int nelec, double* table_a,
                       double* table_b, const float* conductivity, const float* node_row_dz,
                       const float* node_col_dx, int nx_nodes, int nz_nodes,
                       float electrode_offset_ratio, int nky, const void* main_window,
                       gfx::Canvas* status_canvas) {
    model::trace("calaresforward_dbl\n");
    const int status =
        forward(fd::Scheme::modified_5pt, settings, remote_table, max_electrodes, margin_columns,
                nodes_per_spacing, remote_electrodes, c2_remote_x, c2_remote_y, p2_remote_x,
                p2_remote_y, electrode_water, nelec, table_a, table_b, conductivity, node_row_dz,
                node_col_dx, nx_nodes, nz_nodes, electrode_offset_ratio, nky, status_canvas);
    if (status == 0) model::trace("v %12.4e %12.4e %12.4e\n", table_a[0], table_a[1], table_a[2]);
    return status;
}

int calaresforward_9pt(ModelSettings& settings, double* remote_table, int max_electrodes,
                       int margin_columns, int nodes_per_spacing, int remote_electrodes,
                       float c2_remote_x, float c2_remote_y, float p2_remote_x, float p2_remote_y,
                       const std::int32_t* electrode_water, int nelec, double* table_a,
                       double* table_b, const float* conductivity, const float* node_row_dz,
                       const float* node_col_dx, int nx_nodes, int nz_nodes,
                       float electrode_offset_ratio, int nky, const void* main_window,
                       gfx::Canvas* status_canvas) {
    return forward(fd::Scheme::modified_9pt, settings, remote_table, max_electrodes, margin_columns,
                   nodes_per_spacing, remote_electrodes, c2_remote_x, c2_remote_y, p2_remote_x,
                   p2_remote_y, electrode_water, nelec, table_a, table_b, conductivity, node_row_dz,
                   node_col_dx, nx_nodes, nz_nodes, electrode_offset_ratio, nky, status_canvas);
}

int calaresforward_dm(ModelSettings& settings, double* remote_table, int max_electrodes,
                      int margin_columns, int nodes_per_spacing, int remote_electrodes,
                      float c2_remote_x, float c2_remote_y, float p2_remote_x, float p2_remote_y,
                      const std::int32_t* electrode_water, int nelec, double* table_a,
                      double* table_b, const float* conductivity, const float* node_row_dz,
                      const float* node_col_dx, int nx_nodes, int nz_nodes,
                      float electrode_offset_ratio, int nky, const void* main_window,
                      gfx::Canvas* status_canvas) {
    return forward(fd::Scheme::dey_morrison, settings, remote_table, max_electrodes, margin_columns,
                   nodes_per_spacing, remote_electrodes, c2_remote_x, c2_remote_y, p2_remote_x,
                   p2_remote_y, electrode_water, nelec, table_a, table_b, conductivity, node_row_dz,
                   node_col_dx, nx_nodes, nz_nodes, electrode_offset_ratio, nky, status_canvas);
}
