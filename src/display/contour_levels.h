// Contour levels of the colour-contoured sections: the data range, automatic linear and
// logarithmic levels, the five dialogs of the user's choice, and contour-values files.
#pragma once

#include "model/records_fwd.h"
#include "platform/sys/no_copy.h"
#include "platform/ui/ui.h"

/// Capacity of every contour level list (ProgDisplay::res_levels and the others).
constexpr int max_contour_levels = 32;
/// The most contour levels a section shows: its bands, one more than its levels, take the 17
/// colours of the colour scale (colour-table entries 0..16; the entries after them are drawing
/// tools: white, black, the highlight).
constexpr int most_scale_levels = 16;

/// Minimum of values[0..n-1], with their maximum written to *max_out; both are values[0] when
/// n is below 2.
float array_maxmin(int n, const float* values, float* max_out);

/// Lets the user choose the contour levels of data in [data_min, data_max] (the caller sets
/// display.contour_quantity first): "ContourChoiceBox" (data_min > 0) or "ContourNegBox",
/// then automatic, typed or file levels. The dialogs write their choices into `display` (the
/// contour_* words, data_min, data_max, user_contour_values); a values file is asked for with
/// the file buffers of `system`. Writes them ascending into levels (capacity
/// max_contour_levels) and returns their number (10, 11 or 16 by level_scheme, or a file's
/// count); 0 when the user cancelled or the choice failed (levels are then not to be used).
int select_contours(ProgDisplay& display, SystemSettings& system, float data_min, float data_max,
                    float* levels, int level_scheme);

/// While a ContourReplay lives, select_contours asks nothing: its k-th call gives the levels the
/// k-th call of the last display chose, or none where that call was cancelled (the picture is
/// drawn again as it was), and a call past those the automatic levels (logarithmic for
/// positive data, else linear).
class ContourReplay : sys::NoCopy {
  public:
    ContourReplay();
    ~ContourReplay();
};
/// True while a ContourReplay lives: a display drawn again asks nothing.
bool contour_replay_running();
/// A display starts: the levels its select_contours calls choose replace the kept ones, from
/// its first choice on (a display cancelled at its first choice keeps them; nothing changes
/// while a replay runs).
void forget_contour_choices();

/// Writes n levels (1 <= n <= max_contour_levels) into levels by mode: 1 automatic linear,
/// 2 automatic logarithmic (linear when data_min is not positive), 4 user-defined logarithmic
/// ("ContourLogBox"), any other user-defined linear ("ContourLinearBox"); the user modes then
/// ask whether to keep the levels. data_min and data_max (swapped when reversed; equal ones
/// become data_min, data_min + 100) are kept in `display`, as are the first level and the step
/// of the user modes. Returns 1 when the levels were accepted, 2 when the user cancelled.
int choose_contours(ProgDisplay& display, int n, float* levels, int mode, float data_max,
                    float data_min);

/// Reads a contour-values file: more than 50 and fewer than 2000 bytes, an integer count N in
/// 1..most_scale_levels, then N numbers (any separators). Writes the N values ascending into
/// levels and returns N. Returns 0 when the file cannot be opened (silently), after "There is
/// an error in the file with the contour values!" for a bad size, count, too few numbers or a
/// number beyond the float range, after a message that says how many values the colour scale
/// takes for a count above most_scale_levels, and after the duplicate-value message when two
/// values are equal; levels is then unchanged.
int read_contour_values_file(const char* path, float* levels);

/// The dialogs. Their procedures take the display record they work on first; contour_dialog
/// binds one to a record for ui::run_dialog. OK sets dialog_result 1 and ends with 1, Cancel
/// sets 2 and ends with 0, except where said.
extern const ui::DialogTemplate ContourChoiceBox, ContourNegBox, ContourLogBox, ContourLinearBox,
    UdfDiaBox, UdfBWDiaBox;
using ContourProc = bool (*)(ProgDisplay&, ui::Dialog&, ui::DialogEvent, const ui::DialogArgs&);
ui::DialogProc contour_dialog(ProgDisplay& display, ContourProc proc);
/// Radios 160..165 choose contour_choice 1..6 (preset 2); Cancel sets contour_choice 1.
bool ContourChoiceBoxProc(ProgDisplay& display, ui::Dialog& dialog, ui::DialogEvent event,
                          const ui::DialogArgs& args);
/// Radios 160, 162, 164, 165 choose 1, 3, 5, 6 (preset 1); Cancel sets contour_choice 1;
/// dialog_result is left alone.
bool ContourNegBoxProc(ProgDisplay& display, ui::Dialog& dialog, ui::DialogEvent event,
                       const ui::DialogArgs& args);
/// Factor radios 142..146 (log_factor_choice 0..4, preset from the data range and put back by
/// Cancel), minimum edit 147 and factor edit 148, stored as absolute values on OK.
bool ContourLogBoxProc(ProgDisplay& display, ui::Dialog& dialog, ui::DialogEvent event,
                       const ui::DialogArgs& args);
/// Minimum edit 152 and spacing edit 153, stored signed on OK.
bool ContourLinearBoxProc(ProgDisplay& display, ui::Dialog& dialog, ui::DialogEvent event,
                          const ui::DialogArgs& args);
/// Edits 171.. (10, 11 or 16 by level_scheme) into user_contour_values on button 187; button
/// 188 cancels; Enter (1) and Esc (2) only move between the fields.
bool UdfDiaBoxProc(ProgDisplay& display, ui::Dialog& dialog, ui::DialogEvent event,
                   const ui::DialogArgs& args);
