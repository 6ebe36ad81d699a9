// Jacobian of the apparent resistivities with respect to horizontal and vertical shifts of the
// first electrode positions, from the work files of a finite-element run with the sensitivity
// option.
//
// Coefficient file (jacob_elec_positions_file, float32, no header): per wavenumber an x block and
// then a z block of M values each, M = the sum over the positions p of (nz_nodes - 1) x
// (last_p - first_p + 3) x 10, first_p and last_p the element columns jacob_elec_a/_b[p]: per
// position the element columns first_p - 1 .. last_p + 1, each with its nz_nodes - 1 elements from
// the top, each with 10 terms (upper triangle by rows of the derivative of the 4 x 4 element
// matrix, corners (c, r), (c + 1, r), (c, r + 1), (c + 1, r + 1)).
#pragma once

#include "model/model_settings.h"

#include <cstdint>

/// Element columns of position p (0-based) widened by one on each side.
void shift_column_range(const ModelSettings& settings, int p, int& first, int& last);

/// Shift matrix of position p from its coefficients: nx_nodes x nz_nodes nodes (node (c, r) is
/// number (c - 1) nz + r), 9 entries each, the couplings to the neighbours at (column, row)
/// offsets (-1,-1), (-1,0), (-1,+1), (0,-1), (0,0), (0,+1), (+1,-1), (+1,0), (+1,+1).
void assemble_shift_matrix(const ModelSettings& settings, int p, const float* coefficients,
                           float* shift);

/// factor x sum over the nodes n of the columns first - 1 .. last + 1 of B[n] times the shift
/// matrix row of n applied to A (neighbours outside the mesh left out).
float gradelec_sum(float factor, const ModelSettings& settings, int p, const float* shift,
                   const double* field_a, const double* field_b);

/// One wavenumber k and one component: adds, for every position p and datum d, the derivative
/// term to output[p N + d] (N = ndata). potentials: the node-potential block; coefficients: the
/// component's M values. Returns 0, or 1 when a work array cannot be had.
int gradfemd2d_trap_elecs(ModelSettings& settings, const float* potentials,
                          const float* coefficients, float k, float offset_ratio, int array_type,
                          int n, const std::int32_t* electrodes, const float* gfactors,
                          const std::int32_t* datum_nelec, const std::int64_t* pot_index,
                          float* output);

/// The command (5288): view_result = 5270 first. Needs data and a finite-element run with the
/// sensitivity option of the model as it stands, whose potentials gave the data's apparent
/// values (sensitivity_potentials_ready, sensitivity_data_ready say what to run first); reads the
/// wavenumber, coefficient and node-potential files, forms the wavenumber-domain Jacobian,
/// transforms it to space, reports the time, writes the text dump (dump_file) and saves the 2 x
/// n_elec_positions x ndata transformed values to grfile_elec_file. Sets every datum's electrode x
/// (metres) and z (0). Every failure ends the command after its message (a wavenumber count
/// outside 1..20 without one); the work files are closed on every path.
void Calculate_Jacobian_Elec_Position(int& view_result, ModelSettings& settings);
