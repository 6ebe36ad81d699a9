// The list of the arrays that allocate_model_arrays allocates, with their capacities: one list
// serves the allocation, the release in the destructors and the size report of the tests.
#pragma once

#include "model/globals.h"

namespace model {

/// Calls visit(pointer, elements, name) for every array of `p` sized from the limits
/// (Potentials are allocated first).
template <class Visit>
void visit_potentials_arrays(Potentials& p, const ModelCapacities& c, Visit&& visit) {
    const std::size_t N = c.N, F = c.F;
#define PT(field, count) visit(p.field, std::size_t(count), "Potentials::" #field)
    PT(ip_vector_a, 2 * N + 1);
    PT(ip_vector_b, 2 * N + 1);
    PT(ip_vector_c, 2 * N + 1);
    PT(fe_vector_a, 2 * N + 1);
    PT(fe_vector_b, 2 * N + 1);
    PT(spectral_table_a, F * N * N);
    PT(spectral_table_b, F * N * N);
    PT(ip_table_a, N * N);
    PT(ip_table_b, N * N);
    PT(potential_table_1, N * N);
    PT(potential_table_2, N * N);
    PT(cylinder_table, N * N);
    PT(spectral_remote, F * 2 * (2 * N + 1));
#undef PT
}

/// Calls visit(pointer, elements, name) for every array of `m` that is sized from the limits
/// (not the constructor's arrays, not the code views into resistivity_codes).
template <class Visit>
void visit_settings_arrays(ModelSettings& m, const ModelCapacities& c, Visit&& visit) {
    const std::size_t N = c.N, D = c.D, X = c.X, Z = c.Z, C = c.C, R = c.R, B = c.B, E = c.E,
                      F = c.F, S = c.S, L = c.L, V = c.V, W = c.W;
#define MS(field, count) visit(m.field, std::size_t(count), "ModelSettings::" #field)
    MS(model_title, 256);
    MS(namefile, 256);
    MS(data_dir, 256);
    MS(electrode_table, N + 2);
    MS(electrode_node, N + 2);
    MS(electrode_water, W + 1);
    MS(issbor, B + 1);
    MS(borehole_first, B + 1);
    MS(borehole_column, B + 1);
    MS(borehole_first_row, B + 1);
    MS(borehole_x, E * B + 1);
    MS(borehole_z, E * B + 1);
    MS(borehole_elec_a, N + 1);
    MS(borehole_elec_b, N + 1);
    MS(node_col_x, X + 1);
    MS(node_col_dx, X + 1);
    MS(node_row_dz, Z + 1);
    MS(node_z, C);
    MS(node_x, C);
    MS(depth_lines, Z + 1);
    MS(depth_lines_saved, Z + 1);
    MS(model_resistivities, R + 11);
    MS(resistivity_codes, 4 * C + 4);
    MS(cell_conductivity, C);
    MS(cell_conductivity_ip, C);
    MS(cell_work, C);
    MS(model_chargeabilities, R + 1);
    MS(model_taus, R + 1);
    MS(model_cexps, R + 1);
    MS(frequencies, F + 1);
    MS(topo_distance, 4 * N + 4);
    MS(elec_x, 4 * N + 4);
    MS(elec_z, 4 * N + 4);
    MS(level_counts, S + 1);
    MS(level_n_factor, S + 1);
    MS(depth_factors, 60);
    MS(datum_nelec, D + 1);
    MS(datum_first_electrode, D + 1);
    MS(datum_a, D + 1);
    MS(datum_n, D + 1);
    MS(datum_weight, D + 1);
    MS(datum_median_depth, 2 * D);
    MS(datum_work, D);
    MS(measured_values, D);
    MS(measured_values_2, D);
    MS(app_resistivity, D + 1);
    MS(app_ip, D);
    MS(c1_x, D + 1);
    MS(c1_z, D + 1);
    MS(c2_x, D + 1);
    MS(c2_z, D + 1);
    MS(p1_x, D + 1);
    MS(p1_z, D + 1);
    MS(p2_x, D + 1);
    MS(p2_z, D + 1);
    MS(electrode_spacing_table, N * S);
    MS(potential_table_a, N * N);
    MS(potential_table_a_ip, N * N);
    MS(potential_table_b_ip, N * N);
    MS(potential_table_b, N * N);
    MS(cell_sigma_dbl_1, C);
    MS(cell_sigma_dbl_2, C);
    MS(cell_sigma_dbl_3, C);
    MS(cell_sigma_dbl_4, C);
    MS(driver_table_1, N * S);
    MS(driver_table_2, N * S);
    MS(driver_table_3, N * S);
    MS(driver_elec_1, 4 * N + 4);
    MS(driver_datum_1, D);
    MS(driver_cells_2x, 2 * C);
    MS(driver_cells_2x_b, 2 * C);
    MS(driver_elec_2, 4 * N + 4);
    MS(driver_elec_3, 4 * N + 4);
    MS(driver_cell_1, C);
    MS(driver_cell_2, C);
    MS(gen_array_1, D);
    MS(gen_array_2, D);
    MS(gen_array_3, 12 * D);
    MS(gen_array_4, 12 * D);
    MS(gen_array_5, D + 1);
    MS(gen_array_6, D + 1);
    MS(gen_array_7, D + 1);
    MS(gen_array_8, D + 1);
    MS(gen_array_9, N * S);
    MS(display_grid_a, 32 * X * Z + 1);
    MS(display_grid_b, 32 * X * Z + 1);
    MS(display_grid_c, 32 * X * Z + 1);
    MS(display_grid_d, 32 * X * Z + 1);
    MS(mark_list_a, 4 * R);
    MS(mark_list_b, 4 * R);
    MS(display_cells, X * Z);
    MS(display_poly_a, 16 * X * Z);
    MS(display_poly_b, 16 * X * Z);
    MS(colour_marks, R + 1);
    MS(plot_levels, N * L + 1);
    MS(plot_level_count, L + 1);
    MS(plot_level_z, L + 2);
    MS(plot_grid_x, D);
    MS(plot_grid_z, D);
    MS(sens_datum_1, D + 1);
    MS(sens_datum_2, D + 1);
    MS(sens_datum_3, D + 1);
    MS(sens_datum_4, D + 1);
    MS(sens_datum_5, D + 1);
    MS(sens_row_top, C);
    MS(sens_col_left, C);
    MS(sens_row_bottom, C);
    MS(sens_col_right, C);
    MS(sens_block_resistivity, C);
    MS(jacob_electrode, N + 1);
    MS(jacob_elec_a, N + 1);
    MS(jacob_elec_b, N + 1);
    MS(sens_block_x, C);
    MS(sens_block_z, C);
    MS(sens_block_area, C);
    MS(sens_total, C);
    MS(sens_unit_area, C);
    MS(resolution, C);
    MS(resolution_normalized, C);
    MS(electrode_node_range, 64);
    MS(cell_tau, C);
    MS(cell_cexp, C);
    MS(datum_c1, D + 1);
    MS(datum_c2, D + 1);
    MS(datum_p1, D + 1);
    MS(datum_p2, D + 1);
    MS(datum_gfactor, D + 1);
    MS(datum_tau, D);
    MS(datum_cexp, D);
    MS(sip_inphase, F * D);
    MS(sip_quadrature, F * D);
    MS(app_res_grid, V * N);
    MS(app_ip_grid, V * N);
    MS(cyl_elec_c1, D + 1);
    MS(cyl_elec_c2, D + 1);
    MS(cyl_elec_p1, D + 1);
    MS(cyl_elec_p2, D + 1);
    MS(cyl_electrode_nodes, N + 1);
    MS(layout_fractions, 60);
#undef MS
}

} // namespace model
