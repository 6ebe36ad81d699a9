// The mesh the potential solvers of a block model run on: the model's own node mesh, or that
// mesh widened and deepened by padding columns and rows when the electrode arrays being
// calculated reach farther than it does. The model, its display and its files keep their own
// lines; only the solvers see the padding.
#pragma once

#include <vector>

class ModelSettings;
namespace model {
struct SurveyInputs;
}

namespace forward {

/// How far the mesh must reach for a set of data whose widest datum spans `span` unit
/// spacings: its bottom at least `depth` below the surface, its side edges at least `side`
/// beyond the first and the last electrode; and points it must hold with nodes (remote
/// electrodes; 0 for none) `hold_left` before the first and `hold_right` after the last
/// electrode.
struct Reach {
    float depth = 0.0f;
    float side = 0.0f;
    float hold_left = 0.0f, hold_right = 0.0f;
};
Reach reach_for_span(float span);

/// How far the mesh must reach for the record's data: reach_for_span of the widest datum span
/// `span`; with remote electrodes (remote_electrodes > 0) twice the distance of the farthest pair
/// they make (a remote electrode and the farther end of the line, or C2 and P2) beyond the
/// line's ends and below the surface, so that their currents spread as into the ground beyond
/// the mesh, and the remote electrodes beyond the line's ends held (and the sides held out to
/// their distance along strike); with buried electrodes twice the farthest distance of one from
/// another electrode beyond the line's ends and below the deepest of them.
Reach reach_for_model(const ModelSettings& settings, float span);

/// Wavenumbers for the pairs with a remote electrode (the settings' remote_electrodes > 0 and
/// `remote_pairs`: a solver that holds them) and with a buried one: when the first wavenumber
/// `first` (what the solver makes of in.ky_min) lies above 1/d, d the distance of the farthest
/// pair with a remote electrode, or above 0.5/d', d' the farthest distance of a buried electrode
/// from another electrode's image in the surface (unit spacings), in.nky grows by the fewest
/// steps of the solver's logarithmic spacing (from `first` to in.ky_max) that take the first
/// wavenumber to those or below, and in.ky_min falls by as many steps, at most to
/// fd::max_wavenumbers in all: the wavenumbers above stay as they were.
void reach_wavenumbers(const ModelSettings& settings, double first, model::SurveyInputs& in,
                       bool remote_pairs = true);

/// The span of the widest datum of the record's datum list (ndata data of array_type, whose
/// electrodes datum_electrodes gives) in unit spacings, from its first to its last electrode
/// on the line (a remote electrode counts as none). An empty list, or one of an array code
/// without standard electrodes, spans the whole line, nelec - 1.
float widest_datum_span(const ModelSettings& settings);

/// Whether potentials solved on the mesh for the widest datum span `solved` serve the record's
/// datum list: its widest datum is no wider, or that mesh reaches it as well (it needs no more
/// padding).
bool potentials_reach(const ModelSettings& settings, float solved);

/// The solver mesh: the model's nx x nz nodes with `left` padding columns before its first
/// column, `right` after its last and `below` padding rows under its last row. Padding spacings
/// grow outward and downward by a fixed factor from the model's outermost column spacing and
/// its last row spacing (toward a held point by a smaller one). Rows within one unit spacing of
/// the surface that are thicker than 1.2 node spacings at the electrodes are split into equal
/// rows no thicker than that (`split` rows more), unless the electrodes stand on given rows
/// (water rows, boreholes, a tank, line electrodes). Around every buried (borehole) electrode
/// the rows, and the columns outside the surface electrodes' span, are graded: a line through
/// the electrode, lines beside it as far apart as the spacing at the electrode (the node spacing
/// at the electrodes, or an eighth of its distance to the nearest other electrode where that is
/// wider), their spacing growing by a fixed ratio away from it until the model's own lines are
/// as close (`split_columns` columns more); the rows within a unit spacing of the deepest surface
/// electrode's row likewise from that row at the node spacing, the rows above it keeping their
/// numbers (not in tank models or with line electrodes). Node x and z come from the
/// model's node tables (topography and the flat bottom row included; split lines on the straight
/// line between the model's nodes), shifted so that the first column stands at x = 0; a padding
/// column takes the depths of the model column beside it, a padding row lies flat below the bottom
/// row.
class SolverMesh {
  public:
    /// The mesh of `settings` (nx_nodes, nz_nodes, node_col_dx, node_row_dz, node_x, node_z,
    /// the borehole electrodes) padded until it reaches `reach` and holds its points with four
    /// lines beyond each (which the remote electrodes' placement needs), with at most `max_padding`
    /// columns a side and rows; `max_padding` 0 keeps the model's mesh node for node (no lines
    /// split either). `split_lines` false pads without splitting: every model cell is then one
    /// cell of the mesh, model node column c its column c + left (the sensitivity work files
    /// are written on the model's cells).
    SolverMesh(const ModelSettings& settings, const Reach& reach, int max_padding = 60,
               bool split_lines = true);

    int nx = 0, nz = 0;                 ///< node columns and rows
    int left = 0, right = 0, below = 0; ///< padding columns and rows
    bool holds = true;                  ///< whether every point of the reach is held
    int split = 0;                      ///< rows added by splitting the model's
    int split_columns = 0;              ///< columns added by splitting the model's
    std::vector<float> col_dx;          ///< nx - 1 column spacings
    std::vector<float> col_x;           ///< nx column positions, the first at 0
    std::vector<float> row_dz;          ///< nz - 1 row spacings
    std::vector<float> node_x, node_z;  ///< nx nz node positions, down the columns

    bool padded() const { return left + right + below > 0; }
    /// Whether the mesh differs from the model's: padded or split.
    bool changed() const { return padded() || split > 0 || split_columns > 0; }
    /// The node column (from 1) of this mesh that model node column `model_column` (from 1)
    /// became.
    int column(int model_column) const;

    /// A cell table of the model (`per_cell` values a cell, cell (i, j) from
    /// per_cell index2d(i, j, nx_nodes - 1)) on this mesh: a padding cell takes the values of
    /// the nearest model cell, a split cell those of the cell it was cut from.
    std::vector<float> cells(const float* model_cells, int per_cell) const;

    /// The model cell each cell of this mesh takes its values from, as cells() takes them:
    /// entry index2d(i, j, nx - 1) holds index2d(mi, mj, nx_nodes - 1) of model cell (mi, mj).
    std::vector<int> cell_sources() const;

  private:
    int model_nx_ = 0, model_nz_ = 0;
    std::vector<int> row_from_;   ///< the model row (0-based) of each split row
    std::vector<float> row_part_; ///< where in it the split row starts, as a fraction
    std::vector<int> col_from_;   ///< the model column (0-based) of each split column
    std::vector<float> col_part_; ///< likewise
    std::vector<int> column_of_;  ///< the solver column (0-based) of each model node column

    void place_nodes(const ModelSettings& settings);
};

} // namespace forward
