// The polar mesh of a cylinder model: rings of eight-node quadrilaterals between successive
// radii and a fan of centre elements inside the last radius, with one node numbering shared by
// the solvers, the node and element coordinates, the electrode marks and the node adjacency.
//
// Numbering (n sectors, nr radii r0 > r1 > ... > r(R), R = nr - 1 rings of quadrilaterals,
// everything 1-based): sector s owns the 3R + 2 nodes from (s - 1)(3R + 2) + 1 on, first the
// 2R + 1 nodes of its starting radial line (r0, mid radius of ring 1, r1, ..., rR), then the
// R + 1 nodes of its middle line (r0, r1, ..., rR). The closing line of sector s is the starting
// line of sector s + 1, and that of sector n the starting line of sector 1. The centre is the
// last node, N = n (3R + 2) + 1. Sector s spans the angles -dt/2 + (s - 1) dt to that plus dt
// (dt = 2 pi / n), so the middle line of sector 1 is the positive x axis.
//
// Elements: quadrilateral (j - 1) n + s for ring j, sector s, then centre element R n + s for
// sector s; n nr in all, the cells of the model grid (cell (s, j) at (s - 1) + n (j - 1)). The
// local nodes of a quadrilateral run counter-clockwise in (xi, eta), xi from the starting line
// (-1) to the closing line (+1) and eta from radius r(j) (-1) to r(j - 1) (+1): 1 (1, 1),
// 2 (0, 1), 3 (-1, 1), 4 (-1, 0), 5 (-1, -1), 6 (0, -1), 7 (1, -1), 8 (1, 0). A centre element
// has the nodes 5, 6, 7 of its sector's ring-R quadrilateral and the centre.
#pragma once

#include "platform/sys/page_array.h"

#include <cstdint>

namespace cyl {

/// Nodes of a polar mesh of n sectors and nr radii: n (3 nr - 1) + 1.
inline int polar_node_count(int n, int nr) {
    return n * (3 * (nr - 1) + 2) + 1;
}

/// Global numbers of the eight local nodes of the quadrilateral of sector s, ring j
/// (1 <= j <= R) in a mesh of n sectors and R rings.
void quad_nodes(int n, int R, int s, int j, int (&local)[8]);

/// The mesh as the solvers and the drawing use it. Node coordinates by node number - 1
/// (x = r cos, y = r sin); 8 element coordinates per element in local-node order (a centre
/// element: r(R) at its closing, middle and starting angle, the centre, then four zeros);
/// the element kind (8 quadrilateral, 4 centre element); two points per electrode, on r0 and at
/// 1.04 r0 on the electrode's angle. The arrays belong to the mesh.
struct PolarMesh {
    int sectors = 0, radii = 0, per_spacing = 0;
    sys::PageArray<float> node_x, node_y;
    sys::PageArray<float> element_x, element_y;
    sys::PageArray<std::int32_t> element_kind;
    sys::PageArray<float> electrode_x, electrode_y;

    int rings() const { return radii - 1; }
    int nodes() const { return polar_node_count(sectors, radii); }
    int elements() const { return sectors * radii; }
    int electrodes() const {
        return per_spacing > 0 ? (sectors + per_spacing - 1) / per_spacing : 0;
    }
};

/// Results of the mesh routines.
enum MeshResult {
    mesh_ok = 0,
    mesh_no_memory = 1,  ///< an array was refused
    mesh_bad_radii = 2,  ///< the radii do not decrease inwards from r0
    mesh_bad_centre = 3, ///< the innermost radius is 0 or less
    mesh_bad_size = 4    ///< fewer than 2 radii, fewer than 1 sector, or k < 1
};

/// Checks the n sectors, nr radii and k sectors per electrode spacing against the mesh: at
/// least one sector, two radii (the electrodes stand on the first ring) and k >= 1, radii
/// decreasing from r0 and the last one above 0 (a ring of no width, or a centre of no size,
/// has elements of zero area).
MeshResult check_polar_mesh(int n, int nr, int k, const float* radii);

/// Builds the mesh of n sectors and the nr radii `radii` (r0 first) with an electrode on every
/// k-th sector from sector 1, after check_polar_mesh. Fills every array of `mesh`; on a failure
/// the mesh is left empty.
MeshResult build_polar_mesh(int n, int nr, int k, const float* radii, PolarMesh& mesh);

/// The node adjacency of the mesh of n sectors and nr radii: the neighbours of node i (1-based)
/// are every other node sharing an element with it, ascending, at the 1-based positions
/// xadj[i - 1] .. xadj[i] - 1 of adjncy (xadj[N] = entries + 1). Built from the elements' node
/// lists. False when the memory is refused (both arrays then empty).
bool polar_mesh_adjacency(int n, int nr, sys::PageArray<int>& xadj, sys::PageArray<int>& adjncy);

} // namespace cyl

/// Global numbers of local nodes 1 .. 7 of the quadrilateral of sector s, ring j (mesh of n
/// sectors and R rings) through l1 .. l7; returns that of local node 8.
int cylinder_element_nodes(int n, int R, int s, int j, int* l1, int* l2, int* l3, int* l4, int* l5,
                           int* l6, int* l7);

/// The polar mesh into the caller's tables: node coordinates (polar_node_count entries each),
/// element coordinates (8 n nr each), element kinds (n nr) and electrode marks (2 per electrode,
/// an electrode on every k-th sector from sector 1). dt = 6.283186 / n in single precision; the
/// angle of each sector is accumulated sector by sector. The radii are not checked (see
/// cyl::check_polar_mesh). Returns the number of elements, n nr.
int cylinder_polar_mesh(int n, int nr, int k, const float* radii, float* node_x, float* node_y,
                        float* element_x, float* element_y, std::int32_t* element_kind,
                        float* electrode_x, float* electrode_y);

/// The same mesh with node coordinates in double precision (dt = 6.283185307 / n, angles in
/// double); the element and electrode tables stay single precision.
int set_cylinder_mesh_nodes(int n, int nr, int k, const float* radii, double* node_x,
                            double* node_y, float* element_x, float* element_y,
                            std::int32_t* element_kind, float* electrode_x, float* electrode_y);

/// The node adjacency of the mesh of n sectors and nr radii into the caller's arrays: xadj
/// (N + 1 entries) and adjncy (room for 18 N entries), as cyl::polar_mesh_adjacency. Returns N,
/// or 0 when its work memory is refused.
int cylinder_mesh_adjacency(int* xadj, int* adjncy, int n, int nr);
