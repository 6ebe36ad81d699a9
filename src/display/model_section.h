// The model section: blocks coloured by their value, depth and electrode axes, title, colour
// boxes, misfit line and boreholes; and the pixel outlines of blocks and colour boxes that the
// block editor reads.
#pragma once

#include <cstdint>
#include <vector>

namespace gfx {
class Canvas;
}
class ModelSettings;

/// SectionOutlines::block_sides of a block whose four sides are grid lines.
constexpr std::uint8_t all_block_sides = 0xF;

/// Pixel outlines of the model sections drawn last, read by the mouse and key editing.
///
/// Block model: block b of group g (0 resistivity, 1 IP, 2 time constant, 3 Cole exponent) is
/// number g N + (row - 1) nx_cells + (column - 1) with N = nx_cells nz_cells; its corners are
/// block_x/block_y[4 number + k], k = 0..3 top-left, top-right, bottom-right, bottom-left.
/// Cylinder model: cell c has block_count[c] outline points in block_x/block_y[8 c + k].
/// Colour box i of group g is number g R + i with R = ProgLim::max_resistivity_values; its
/// corners are box_x/box_y[4 number + k], k = 0..3 top-left, top-right, bottom-right,
/// bottom-left. A block or box never drawn has all corners 0 (and so contains no point).
struct SectionOutlines {
    int blocks_per_group = 0; ///< N of the block numbering (block models)
    int boxes_per_group = 0;  ///< R of the box numbering
    int points_per_block = 4; ///< 4 (block models) or 8 (cylinder models)
    std::vector<std::int32_t> block_x, block_y;
    std::vector<std::int32_t> block_count;  ///< cylinder models: outline points per cell
    std::vector<std::int32_t> block_drawn;  ///< 1: the block is shown (editing redraws it)
    std::vector<std::int32_t> block_marked; ///< 1: marked for a new value
    /// Block models: bit k set when the side from outline point k to k + 1 lies on a grid line
    /// the section drew in pen 24 (all four while the grid keeps every line; on a long line,
    /// whose grid is thinned, those of the kept lines), so that the editor paints a block anew
    /// as the section shows it.
    std::vector<std::uint8_t> block_sides;
    std::vector<std::int32_t> box_x, box_y;

    /// Makes room for groups 0..group of `blocks` blocks (`points` outline points each) and
    /// `boxes` boxes a group; new entries are 0 (all are cleared when the points per block
    /// change). Throws std::bad_alloc.
    void reserve_group(int group, int blocks, int points, int boxes);
    /// Clears the drawn and marked flags and the outlines of one group of blocks.
    void clear_group(int group);
    /// Forgets every outline (a new model).
    void reset();
};
extern SectionOutlines Sectionoutlines;

/// What one call of plotmodel draws besides the model record's mesh.
struct ModelSectionSpec {
    const char* title = "";
    int group = 0;                         ///< outline group, see SectionOutlines
    int nvalues = 0;                       ///< values shown in the colour boxes
    const float* values = nullptr;         ///< the model values of this kind
    const std::int32_t* codes = nullptr;   ///< block codes, nx_cells a row (index2d(c, r))
    const std::int32_t* colours = nullptr; ///< colour index of each value (colour_of_value)
    int xplt = 0, yplt = 0;                ///< left end of the electrode line; surface line
    int lengthvy = 0;                      ///< drawing height in pixels
    int rms_flag = 0;                      ///< above 0: print the misfit line
    int rms_units = 0;                     ///< 0: the misfit is a percentage
    float rms_value = 0.0f;
};

/// Draws the model section of `model` on `dc` with the scales, font metrics, grid switch,
/// brushes and pens of the display state (ProgDisplay): every block of the displayed rows in
/// the colour of its value (a rectangle, or with topography a polygon through its displaced
/// corners outlined in pen 24), the depth axis on the left with "Z", the title, the colour
/// boxes with their values, the misfit line ("RMS error %.2f%%", or without '%' when rms_units
/// is not 0), the electrode distances along the surface and the boreholes. With
/// ProgDisplay::grid_flag 0 and a flat surface the block grid is drawn too (after a beep).
///
/// The section is (nelec - 1) unit spacings wide plus one mesh column at each end, and as deep
/// as half of lengthvy (a quarter of its width for a model with IP values) plus the water.
/// Records the outlines of the drawn blocks and of the colour boxes of spec.group in
/// Sectionoutlines; writes title_y (the y of the title line) when not null and the
/// deep-borehole words of `model` (deep_borehole_view, first_shown_row, first_shown_depth).
/// Returns the y of the section's lower edge plus 6; a model without a mesh or electrodes draws
/// nothing and returns spec.yplt. Throws std::bad_alloc when its work arrays cannot be had
/// (callers turn it into the memory message).
int plotmodel(ModelSettings& model, const ModelSectionSpec& spec, gfx::Canvas& dc,
              int* title_y = nullptr);

/// Number of decimals of a colour-box value: 0 from 10 up, 1 below 10, 2 below 1, 3 below
/// 0.1, and 1 for 0 (magnitudes).
int model_value_decimals(float value);
