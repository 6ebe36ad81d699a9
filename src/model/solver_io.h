// What every potential solver takes and gives back: the survey part of its inputs, filled from
// the records, and the one result it returns (finite differences, finite elements, and the
// complex and cylinder solvers that build on them).
#pragma once

#include "model/records_fwd.h"

#include <cstdint>

namespace model {

/// The survey part of a solver's inputs: mesh size and spacings, electrodes, remote electrodes,
/// wavenumbers, and the tables the solver writes. Each solver family's Inputs (fd::Inputs,
/// fe::Inputs, ...) extends it with what that family reads besides.
struct SurveyInputs {
    // Mesh: nx node columns by nz node rows (row 1 the surface), in unit electrode spacings;
    // cell (i, j) between columns i, i + 1 and rows j, j + 1.
    int nx = 0, nz = 0;
    // The spacings (the finite-difference, quadrilateral and complex solvers read them).
    const float* node_col_dx = nullptr; ///< nx - 1 column spacings
    const float* node_row_dz = nullptr; ///< nz - 1 row spacings

    // Electrodes: surface electrode e (1-based) in node column margin_columns + (e - 1) *
    // nodes_per_spacing and node row electrode_water[e - 1] + 1.
    int nelec = 0;
    int margin_columns = 0;
    int nodes_per_spacing = 0;
    const std::int32_t* electrode_water = nullptr; ///< nelec water rows above the electrodes
    float electrode_offset_ratio = 0;              ///< strike offset of table_b
    int array_type = 0; ///< internal array code (it chooses the transform's tail)

    // Remote electrodes C2 and P2 (remote_electrodes > 0): x relative to the first electrode,
    // y the offset along strike.
    int remote_electrodes = 0;
    float c2_x = 0, c2_y = 0, p2_x = 0, p2_y = 0;

    // Wavenumbers: nky values from ky_min to ky_max.
    int nky = 0;
    float ky_min = 0, ky_max = 0;

    // Written: N x N tables of leading dimension `lead`, entry (a, b) at index2d(a, b, lead).
    double* table_a = nullptr;      ///< pair potentials
    double* table_b = nullptr;      ///< their values at the strike offset electrode_offset_ratio
    int lead = 0;                   ///< ProgLim::max_electrodes
    double* remote_table = nullptr; ///< 2 N + 1 remote values, or null for none
};

/// Fills the survey part from the records: ModelSettings::nx_nodes, nz_nodes, node_col_dx,
/// node_row_dz, nelec, margin_columns, nodes_per_spacing, electrode_water,
/// electrode_offset_ratio, array_type, remote_electrodes, c2_remote_x/_y, p2_remote_x/_y, nky,
/// ky_min, ky_max; the leading dimension ProgLim::max_electrodes; the output tables as given.
void fill_survey_inputs(const ModelSettings& settings, const ProgLim& limits, double* table_a,
                        double* table_b, double* remote_table, SurveyInputs& in);

/// What ended a solver run.
enum class SolverStatus {
    ok,         ///< every output table written
    no_memory,  ///< a work array was refused
    bad_input,  ///< the mesh, the electrodes or the wavenumbers do not fit the solver
    ordering,   ///< the ordering set-up or its structure file failed
    matrix,     ///< an element or boundary entry fell outside the sparse structure
    file,       ///< a work file could not be opened, written or read
    pivot,      ///< the factorisation met a non-positive pivot (SolverResult::row says where)
    bad_result, ///< a result failed its own check (a homogeneous run without a pair potential)
    user_abort, ///< the user broke the run (Esc, Q, q or a close request)
};

/// The result of a solver run.
///
/// The contract every solver keeps:
/// - ok: every output the solver documents is written.
/// - any failure: the solver has reported it through the message funnel (model::report_error)
///   before it returns, has left its output tables as they were and has released its work
///   memory; the caller shows nothing more about it and stops its command.
/// - user_abort: nothing was reported (the caller says that the user stopped the run); the
///   outputs and the work memory as for a failure.
struct SolverResult {
    SolverStatus status = SolverStatus::ok;
    int row = 0; ///< pivot: the 1-based row (or node) of the non-positive pivot; else 0

    bool ok() const { return status == SolverStatus::ok; }

    /// The number the calculation's ending shows in "Calculations stopped by an error (code
    /// %d).": 0 for ok, the row for a pivot, 113 for the user's break, 1 for bad_result, else
    /// -1 (no_memory) to -5 (file) in the order of SolverStatus.
    int code() const {
        switch (status) {
        case SolverStatus::ok:
            return 0;
        case SolverStatus::pivot:
            return row;
        case SolverStatus::user_abort:
            return 113;
        case SolverStatus::bad_result:
            return 1;
        default:
            return -static_cast<int>(status);
        }
    }

    static SolverResult failure(SolverStatus status) { return {status, 0}; }
    static SolverResult pivot_at(int row) { return {SolverStatus::pivot, row}; }
};

} // namespace model
