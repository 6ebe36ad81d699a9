// The pseudosection plot: data points joined level by level into triangles, contour-filled by
// bands, with the electrode axis, level labels, colour bar and captions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace gfx {
class Canvas;
}

/// The inputs of plot_pseudosection (owned by the caller and only read, except `levels`).
struct PseudosectionInput {
    int quantity = 0;     ///< 0 resistivity (the misfit of a model section is a percentage)
    int canvas_width = 0; ///< above 680 the colour bar has larger boxes
    float xscale = 1.0f;  ///< pixels per unit electrode spacing
    const float* overlay_x = nullptr; ///< segment ends over a model section (metres), 2 a segment
    const float* overlay_z = nullptr;
    int overlay_count = 0;
    int legend = 1;          ///< 1: colour bar and captions
    int kind = 0;            ///< 0 apparent pseudosection, 1 with pseudodepth axis, 2 model section
    float first_x = 0.0f;    ///< position of the first electrode, metres
    int nlevels = 0;         ///< contour levels, ascending; a list of 32 the plot may rewrite
    float* levels = nullptr; ///< when the contour lists overflow
    int level_scheme = 1;    ///< 2: black and white
    float unit_spacing = 1.0f;
    int nelec = 0;
    int array_type = 0;
    int ndata = 0;
    const float* x = nullptr;     ///< per point: unit spacings from the first electrode
    const float* depth = nullptr; ///< per point: pseudodepth in unit spacings
    const float* value = nullptr; ///< per point
    int ndata_levels = 0;         ///< data levels (rows); points stored level after level
    const std::int32_t* level_counts = nullptr;
    int left = 0, top = 0;        ///< pixel of the first electrode on the surface line
    float vertical_factor = 1.0f; ///< vertical scale xscale / factor (when positive, not 1)
    float misfit = 0.0f;
    int iteration = 0;
    int point_marks = 0;                     ///< 1: data points marked by white pixels
    int reciprocal = 0;                      ///< 1: shows 1 / value
    const std::int32_t* a_factors = nullptr; ///< per point, for the n,a labels
    const float* n_factors = nullptr;
    int na_labels = 0;   ///< 1: rows labelled by n and a
    std::string caption; ///< unit caption under the colour bar
};

/// Draws the pseudosection described by `in` on `dc` with the brushes and pens of the display
/// state (band b with brush and pen b; 21, 24, 25 and pen 3 as tools); nothing without data or
/// with levels beyond the colour scale (1..most_scale_levels), in the fill style of
/// ProgDisplay::fill_style: direct polygons, or outlines and flood fills (always for the black
/// and white scheme). The fill style and dc's polygon fill mode are put back on return.
///
/// The data levels are joined into triangles (section_mesh), each coloured by
/// contour_triangle; when the contour lists outgrow their capacity (18 ndata + 1000, at least
/// 5000) the levels are chosen anew and the plot starts again once, then gives up. Returns the
/// lowest pixel row used (below the colour bar and captions with the legend). Throws
/// std::bad_alloc when its work lists cannot be had.
int plot_pseudosection(PseudosectionInput& in, gfx::Canvas& dc);
/// The room left of the section that plot_pseudosection's level labels take in the font of dc:
/// the widest label, its gap of 8 pixels to the axis and 2 more (0 without data).
int level_label_room(const PseudosectionInput& in, const gfx::Canvas& dc);

/// The triangles joining the data level of n_upper points starting at point upper_start with
/// the next level of n_lower points starting at lower_start (0-based point numbers; px is the
/// pixel x of every point, increasing within a level): the level with more points (the upper
/// one on a tie) is the long row; each of its segments takes the point of the other row nearest
/// to its middle, and the other row's segments are shared out in order. n_upper + n_lower - 2
/// triangles; none when a level has no points or both have one.
std::vector<std::array<int, 3>> level_pair_triangles(const int* px, int upper_start, int n_upper,
                                                     int lower_start, int n_lower);

/// The triangles of a pseudosection's data area and its lower boundary.
struct SectionMesh {
    std::vector<std::array<int, 3>> triangles;
    /// The points along the lower boundary, left to right (x not decreasing): the left side,
    /// the bottom and the right side.
    std::vector<int> front;
};
/// Joins the data levels into triangles, level after level (level k of points
/// level_start[k - 1] - 1 .. level_start[k] - 2, 0-based, x increasing, k = 1..levels, n
/// points): each level is joined (as level_pair_triangles joins two rows) to the lower boundary
/// of what the levels above it cover, over the x range of the level and of the one above it,
/// and one point further where the level reaches past the boundary's points; the level then
/// becomes that part of the boundary. Levels that reach less far than their neighbours (the
/// n, a levels of a dipole-dipole survey) so leave no notch or gap, and the sides of the area are
/// the outermost level ends. For levels that nest (each within the one above) the triangles are
/// those of level_pair_triangles on neighbouring levels.
SectionMesh section_mesh(const int* px, const std::int32_t* level_start, int levels, int n);

/// Work-list capacity of a pseudosection of ndata points.
int pseudosection_capacity(int ndata);
