// The plot of the block sensitivity: the chosen quantity of every sensitivity block drawn as a
// contoured section under the electrode line.
#pragma once

#include "model/records_fwd.h"

namespace gfx {
class Canvas;
}

/// The quantity sens_type chooses and its legend label: 0 sens_total "Integrated sensitivity";
/// 1 sens_unit_area "Sensitivity per unit area"; with calc_resolution 1, 2 resolution "Model
/// resolution" and 3 resolution_normalized "Normalized model resolution"; any other choice
/// (also 2 and 3 without resolution) the sensitivity per unit area.
struct SensitivityQuantity {
    const float* values; ///< [sens_nblocks]
    const char* label;
};
SensitivityQuantity sensitivity_plot_quantity(const ModelSettings& model);

/// Draws the chosen quantity of the blocks of the last block-sensitivity run (sens_nrows rows of
/// sens_ncols blocks at their centres, the end blocks' values carried out to the first and last
/// electrode) as a contoured section from the surface down, titled
/// model_title + " - Sensitivity Plot", its legend labelled by the quantity, the nelec
/// electrodes on the surface one unit spacing apart (scale labels in metres). The scale is the
/// smaller of (client width - 18 character widths) / (nelec - 1) and (3/4 of the client height
/// - 4 text heights) / the depth range of the block centres, both axes alike. The levels are
/// chosen by the user (select_contours with ProgDisplay::contour_quantity 2, into
/// display.res_levels); when the choice is cancelled nothing is drawn. Otherwise the section is
/// drawn on `window` and again on display.canvas_dc, so that later repaints show it. Work
/// arrays that cannot be had give "Insufficient memory for the sensitivity section!".
void sensitivity_plot(const ModelSettings& model, ProgDisplay& display, gfx::Canvas& window);
