// The sensitivity section display: a grid of node values drawn as colour-filled contour bands
// with its frame, distance and depth scales, marked electrodes, legend, title and captions.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace gfx {
class Canvas;
struct Brush;
struct Pen;
} // namespace gfx

/// The inputs of draw_sensitivity_section, owned by the caller and only read except `levels`.
/// Positions are in section units (unit electrode spacings); depths are positive downwards.
/// Node (r, c), both from 0, is entry r * columns + c of node_x, node_z and values.
struct SensitivitySection {
    /// 0: in the outline style the band boundaries are drawn again after filling (level pens,
    /// or band patterns in the black-and-white styles); 1: boundaries only in the direct style,
    /// in the outline pen, with colour_mode 1 or 4.
    int line_option = 1;
    /// 1: the section is centred in the window; 2: a two-row legend from the section's left
    /// edge, its caption centred under it; other values: one centred legend row.
    int layout = 1;
    int iteration = 0;      ///< above 0: "Iteration %d RMS error = %3.1f" over the section
    float rms_error = 0.0f; ///< the value of that caption
    int rms_absolute = 0;   ///< 0: the caption ends with " %"
    int n_surface_electrodes = 0;
    const float* surface_x = nullptr; ///< ticks of the distance scale, from x_min
    const float* surface_z = nullptr;
    int n_set_a = 0, n_set_b = 0; ///< two sets of marked electrodes (circles)
    const float *set_a_x = nullptr, *set_a_z = nullptr;
    const float *set_b_x = nullptr, *set_b_z = nullptr;
    float x_scale = 1.0f, z_scale = 1.0f; ///< pixels per section unit; the frame follows both
    std::string legend_caption;           ///< the line under the legend
    /// Extent of the section; the call raises x_max to the largest node x and z_max to the
    /// largest depth of the nodes and marked electrodes (on its own copies).
    float x_max = 0.0f, x_min = 0.0f, z_max = 0.0f, z_min = 0.0f;
    const float* node_x = nullptr; ///< [rows * columns]
    const float* node_z = nullptr; ///< [rows * columns]
    int n_levels = 0;              ///< 1..31 ascending contour levels
    /// 2 and 3: the black-and-white styles; other values colour, 1 and 4 with the band
    /// boundaries and the grid outline drawn over the bands.
    int colour_mode = 0;
    int show_legend = 1;             ///< 1: legend and legend_caption
    int top = 0, left = 0;           ///< pixel of the section's top-left corner (left: see layout)
    long long rows = 0, columns = 0; ///< 64-bit: a section may hold 2^28 nodes
    float* levels = nullptr;         ///< [n_levels]; replaced when the contour lists overflow
    const float* values = nullptr;   ///< [rows * columns]
    int invert_values = 0;           ///< 1: contours 1 / value; the legend shows levels x 1000
    float label_offset = 0.0f;       ///< added to every distance-scale label
    float unit_spacing = 1.0f;       ///< multiplies the scale labels
    std::string title;               ///< centred at the top of the window
    /// Called with the rows of cells done and their count as the cells are contoured; true
    /// stops the drawing (the user's break on a large grid). Empty: never stopped.
    std::function<bool(double done, double total)> stopping;
};

/// What draw_sensitivity_section returns when `stopping` stopped it.
constexpr int sensitivity_drawing_stopped = -2;

/// Draws `in` on `dc` (the main window or the off-screen canvas) for a window of the client
/// size ui::client_size(): band b with brushes[b] and pens[b], the frame, grid outline and
/// electrode outlines with pens[24], the electrodes filled with brushes[19] and the
/// black-and-white background with brushes[21] (tables of 32 entries). Nothing is drawn (the
/// top is returned) without a grid or with levels beyond the colour scale
/// (1..most_scale_levels), whose bands would take the drawing tools' colours.
///
/// ProgDisplay::fill_style 2 or more draws the band pieces as polygons in the winding fill mode
/// (with colour_mode 2 the outline style is taken instead); below 2 the pieces are outlined in
/// ProgDisplay::line_colour and flood-filled. Every fill paints `dc`. The fill style and dc's
/// polygon fill mode are put back on return; ProgDisplay::line_mode is left at 1 (or 2 in the
/// black-and-white styles). The node grid's first row is carried up to the top of the frame
/// when it lies below it, so that no pixel inside the frame stays unpainted.
///
/// In the outline style more than 10000 contour segments end the cells: the levels are
/// replaced (a series by factors of sqrt 2, sqrt 3 in the black-and-white style, from 50, 10,
/// 1 or 0.1 when the largest value is positive; else automatic linear levels between twice
/// the smallest and half the largest value), the window is erased, and the section drawn once
/// more; a second overflow leaves the window and the drawing area of `dc` cleared.
///
/// Returns the lowest pixel row of the drawing (section, labels, legend and caption) plus
/// three text heights of dc's font; -1 when the work arrays cannot be had (nothing drawn);
/// sensitivity_drawing_stopped when `stopping` stopped it (the drawing left as far as it got).
int draw_sensitivity_section(SensitivitySection& in, gfx::Canvas& dc, const gfx::Brush* brushes,
                             const gfx::Pen* pens);

/// Most ticks of a distance scale.
constexpr int max_surface_ticks = 4097;
/// The ticks of the distance scale of a section from x_min to x_max: one every half unit from
/// 0 (twice |x_max - x_min| rounded of them) and x_max - x_min last; surface_z as many zeros.
/// Beyond max_surface_ticks the step doubles (1, 2, 4 ... units, the count halved each time)
/// until they are no more.
void surface_ticks(float x_min, float x_max, std::vector<float>& surface_x,
                   std::vector<float>& surface_z);

/// Writes the 16 levels -128, -64, -32, -16, -8, -4, -2, 0, 2, 4, 8, 16, 32, 64, 128, 256 into
/// levels[0..15]; returns 16.
int set_sensitivity_levels(float* levels);
