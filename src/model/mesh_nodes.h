// Placement of the mesh nodes of a 2-D model: the flat layout of the node columns with growing
// margins and tank walls, and the node positions under a topographic surface.
#pragma once

#include <vector>

class ModelSettings;

/// Flat layout of n node columns with m - 1 columns outside each end of the electrode line and
/// k columns per unit spacing: spacing[i] = 1/k, growing by 1.25 a column outward from column
/// m - 4 in both margins (mirrored), positions[0] = 0 and each next position the previous plus
/// its spacing. For a tank model (settings.tank_model 1) the columns nearest to the walls at
/// tank_x_left and tank_x_right from the first electrode (column m - 1) are moved onto them
/// (ties keep the earlier column): tank_left_column = the left one, tank_right_column = the
/// right one + 1, and the spacings are recomputed from the positions. Writes spacing[0..n-2]
/// and positions[0..n-1]; does nothing for n < 2.
void set_fe_node_spacing(ModelSettings& settings, int m, float* spacing, int k, int n,
                         float* positions);

/// Places every node of an nx x nz mesh under the surface given at the nelec electrodes
/// (elec_x, elec_z: x and elevation in unit spacings, elevation positive up). node_z of node
/// (c, r) at c * nz + r is the flat depth of row r (rows spaced by node_row_dz) less the surface
/// height of column c, which is the elevation of the nearest electrode in the margins and the
/// linear interpolation between neighbouring electrodes on the line; the bottom row is flat at
/// the deepest row depth plus the largest depth of an electrode below 0, which goes to
/// *topo_bottom_shift. The k spacings of electrode interval i (1-based) go into node_col_dx
/// entries m - 1 + (i - 1) k .. m - 2 + i k, the columns between electrodes i - 1 and i:
/// |elec_x[i] - elec_x[i - 1]| / k, or with tflag 2 (distances along the surface) the spacing h
/// before them narrowed to sqrt(h^2 - v^2), v the elevation step per column (at most 0.9 h).
/// The margin entries keep the flat layout. Then node_col_x is rebuilt from the spacings and
/// node_x of every node takes its column's x. depth_lines is not used.
/// Needs nx = 2m + (nelec - 1) k - 1 and the arrays of those sizes; does nothing when
/// nelec < 2, m < 1, k < 1, nz < 2 or nx < 1.
void Set_Topo_Grid_Nodes(float* topo_bottom_shift, int nelec, int nx, int nz, int m, int k,
                         int tflag, float* node_col_x, const float* depth_lines, float* node_col_dx,
                         const float* node_row_dz, float* node_x, float* node_z,
                         const float* elec_x, const float* elec_z);

/// Row `row` of a table of rows of n + 1 samples at the ascending positions xs[0..n],
/// evaluated at x: the sample of the first position j with x <= xs[j] (j = n when none), or for
/// j < n - 1 the straight line through samples j and j + 1. Returns 0 for n < 0.
float interp_table_row(int n, const float* xs, int row, float x, const float* table);

namespace model {

/// The farthest a remote electrode may stand from the electrode line, in unit spacings: beyond
/// the line's nearer end and along strike together. The solvers' mesh holds it on its nodes
/// and reaches twice as far within the padding it takes.
constexpr float max_remote_distance = 100000.0f;

/// The flat column layout of set_fe_node_spacing without the tank walls.
void flat_column_layout(int m, float* spacing, int k, int n, float* positions);
/// The tank-wall step of set_fe_node_spacing on a flat layout.
void snap_tank_walls(ModelSettings& settings, int m, float* spacing, int n, float* positions);

/// The default row spacings of a model file that gives no depths, `rows` of them into dz: 0.25
/// for rows 1 to 4, 0.35 for row 5, growing by 1.1 a row to row 10 and by 1.5 beyond, each times
/// `factor` (the array's depth factor).
void default_row_spacings(float factor, int rows, float* dz);

/// The surface at the nelec electrodes as Set_Topo_Grid_Nodes takes it. Without topography
/// (tflag 0): the first nelec points of settings.elec_x and elec_z. With topography: the ntopo
/// elevation points read (elec_x, elec_z) interpolated linearly at the electrode positions
/// first_electrode_x / unit_spacing + i, the end elevations held beyond the points.
void electrode_surface(const ModelSettings& settings, std::vector<float>& x, std::vector<float>& z);

/// Places every node of the record's mesh (node_x, node_z, node_col_x and the electrode-interval
/// entries of node_col_dx) with Set_Topo_Grid_Nodes under the surface of electrode_surface,
/// from the record's row spacings node_row_dz and margin spacings. The reader does this as its
/// last step; whatever changes the row spacings or the surface afterwards must do it again, as
/// the finite-element solvers take the node positions, not the spacings.
void place_mesh_nodes(ModelSettings& settings);

} // namespace model
