// A section of blocks given by their corners in unit spacings, each in the colour band of its
// value, with its frame, colour scale, electrode axis, misfit line and depth labels.
#pragma once

#include <cstdint>
#include <string>

namespace gfx {
class Canvas;
}

/// The inputs of draw_block_section (owned by the caller and only read).
struct BlockSectionInput {
    int corners_per_block = 2; ///< 2: two opposite corners (a rectangle); more: four (polygon)
    int surface_line = 0;      ///< 1: the top edge again in the surface pen (28)
    int misfit_units = 0;      ///< 0: the misfit is printed x 100 with " %"
    int iteration = 0;
    float misfit = 0.0f;
    int right_edge = 0;        ///< pixel x at which the unit-spacing text ends
    std::string bottom_text;   ///< written under the section
    std::string scale_caption; ///< caption of the colour scale (the multiplier is appended)
    int show_scale = 1;        ///< 1: colour scale and its texts
    int reciprocal = 0;        ///< 1: blocks coloured by 1 / value, labels with a multiplier
    int nlevels = 0;
    const float* levels = nullptr; ///< ascending
    const float* values = nullptr; ///< one per block
    float first_x = 0.0f;          ///< first electrode, metres
    float spacing = 1.0f;          ///< unit electrode spacing, metres
    int nelec = 0;
    int nlayers = 0;
    const std::int32_t* blocks_in_layer = nullptr;
    int nblocks = 0;
    const float* corner_x = nullptr; ///< corners_per_block a block, unit spacings, layer by layer
    const float* corner_z = nullptr;
    int x0 = 0, y0 = 0; ///< top-left corner of the section
    float pixels_per_spacing = 1.0f;
    float vh_factor = 1.0f;
};

/// Draws the section on `dc` with the brushes and pens of the display state: every block in
/// the band of its value (the number of levels strictly below it), outlined in its own colour
/// (pen 24 in the black-and-white scheme); the frame; the bottom text; with show_scale the
/// nlevels + 1 colour boxes from x = 24 with the values of every second level, the caption
/// (with " x 0.01" and the like in reciprocal mode) and "Unit electrode spacing %.1f m.";
/// the electrode axis (a label every 4th electrode below 32, every 8th below 51, else every
/// 16th) with "m."; "Iteration %d RMS error = %3.1f"; "Depth" and the depth of every layer.
/// Returns the row below the scale's texts (below the section without the scale).
int draw_block_section(const BlockSectionInput& in, gfx::Canvas& dc);

/// The multiplier text of the reciprocal scale for the levels first..last (" x 0.01" for a
/// geometric middle of 0.01) and the factor M the labels are multiplied by.
std::string reciprocal_multiplier(float first, float last, float* factor);
