// Cylinder models: the drawing of the mesh cells in the colours of their values with the
// electrodes round the circumference and the colour boxes.
#pragma once

#include <cstdint>
#include <vector>

namespace gfx {
class Canvas;
}

/// The mesh of a cylinder or convex-section model as the cylinder mesh routine builds it:
/// 8 nodes a cell (model units, y upwards, the cylinder's centre at the origin) of which the
/// first outline_points[c] go round cell c, and two points an electrode (its mark).
struct CylinderMesh {
    int ncells = 0;
    std::vector<float> node_x, node_y;        ///< 8 per cell
    std::vector<std::int32_t> outline_points; ///< per cell
    std::vector<float> elec_x, elec_y;        ///< 2 per electrode
};
/// The mesh of the current cylinder model (empty until the cylinder mesh is built).
extern CylinderMesh Cylindermesh;

/// Largest cylinder scale, pixels per model unit.
constexpr float max_cylinder_scale = 180.0f;

/// Draws the cylinder model (draw non-zero) or only sizes it (draw 0): the scale s fits the
/// mesh's height into height_avail - 6 character heights (at most max_cylinder_scale), and
/// *xscale_out receives s 6.28319 / nelec, the pixels of one electrode spacing round a
/// cylinder of unit radius. The drawing centres the mesh on xplt + lengthvx / 2 below yplt
/// with the title 4 lines above yplt: every cell a polygon in the colour of its value
/// (outlined in that colour when ProgDisplay::grid_flag is set, else in pen 24), the
/// electrodes in pen 26, and the colour boxes with their values above the mesh. Records the
/// cell and box outlines of `group` in Sectionoutlines. Returns yplt + drawing height + char_h
/// in both passes.
int draw_cylinder_model(int draw, float* xscale_out, const CylinderMesh& mesh, const char* title,
                        int group, int nvalues, const float* values, const std::int32_t* codes,
                        const std::int32_t* colours, int xplt, int yplt, int height_avail,
                        int nelec, gfx::Canvas& dc);
