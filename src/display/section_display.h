// A page of pseudosections: the page title, one or two panels (stored and calculated apparent
// values) with their titles and colour-bar captions; and the frequency dialog of spectral IP.
#pragma once

#include "platform/ui/ui.h"

#include <cstdint>

namespace gfx {
class Canvas;
}

/// The survey values every panel of a page passes to plot_pseudosection unchanged.
struct SectionSurvey {
    int nelec = 0;
    float unit_spacing = 1.0f;
    float first_x = 0.0f; ///< first electrode position in metres (the axis labels)
    int array_type = 0;
    int ndata = 0;
    const float* x = nullptr;     ///< plot x of every datum, unit spacings
    const float* depth = nullptr; ///< pseudodepth of every datum, unit spacings
    int ndata_levels = 0;
    const std::int32_t* level_counts = nullptr;
    const std::int32_t* a_factors = nullptr;
    const float* n_factors = nullptr;
    int level_scheme = 1;
};

/// The quantities a pseudosection page shows: its panel titles and colour-bar caption.
namespace section_quantity {
constexpr int resistivity = 0;   ///< "Apparent Resistivity Pseudosection"
constexpr int chargeability = 1; ///< "Apparent Chargeability Pseudosection"
constexpr int inphase = 2;       ///< "Apparent Inphase Chargeability Pseudosection"
constexpr int outphase = 3;      ///< "Apparent Outphase Chargeability Pseudosection"
constexpr int phase = 4;         ///< "Apparent Phase Pseudosection"
constexpr int amplitude = 5;     ///< "Apparent Amplitude Pseudosection"
} // namespace section_quantity

/// Legend of quantity 0 ("Resistivity in ohm.m") and of the others ("Chargeability in " and
/// the unit text; "Phase in " and the unit text for the phase).
const char* section_legend(int quantity, const char* unit_text, char* buffer, int size);

/// The room left of the sections that the level labels of a page of `survey` take in the font
/// of dc (level_label_room).
int section_label_room(const SectionSurvey& survey, const gfx::Canvas& dc);

/// Draws one page of pseudosections on `dc` at the layout of the display state (left_margin,
/// xscale, vh_factor, char_w, char_h): with title_line_flag 1 the page title "%s (%s array)"
/// (ModelSettings::model_title and the array name) centred at y = 2; then the first panel
/// (first_values, the stored data set's values; titled by the quantity (section_quantity),
/// "Apparent Resistance Pseudosection" with resistance_flag) when first_shown, and the second
/// panel below it (second_values, the calculated ones: "Calculated Apparent Resistivity
/// Pseudosection" or "Calculated Chargeability") when second_shown. A panel's title line starts at
/// its top; the section itself lies 2 char_h + 8 pixels lower. The second panel's top lies 3 char_h
/// + 6 pixels below the first section's bottom, xscale x the deepest survey.depth / vh_factor
/// (truncated) below its top. Only the last panel of the page (Sectiondisplay.panel_count 1, or the
/// second) gets the colour bar. The plots mark the data points and label the rows by n and a as
/// Sectiondisplay.point_marks and na_labels say. Returns the lowest row drawn; `levels`
/// (nlevels values) may be rewritten by the plot when its contour lists overflow.
int display_section(int resistance_flag, int title_line_flag, int top, int quantity,
                    const char* unit_text, int first_shown, int second_shown,
                    const float* first_values, const float* second_values, float* levels,
                    int nlevels, const SectionSurvey& survey, gfx::Canvas& dc);

/// "Select frequency for display": static 861 "Your model has %d frequencies.", edit 862 the
/// frequency number (ModelSettings::freq_index), radios 863 "Inphase and outphase
/// chargeabilities" and 864 "Amplitude and phase" (ProgDisplay::ip_display_mode 0 / 1). OK
/// stores a whole number from 1 to nfreq with dialog_result 1 and ends with 1; an entry that is
/// no such number is refused with its box and the dialog stays open. Cancel
/// puts the mode back (dialog_result 2, ends with 0).
extern const ui::DialogTemplate FreqSelectDiaBox;
bool FreqSelectDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);
