// The dialogs of the 2-D sensitivity command: the kind of calculation with the physical
// constants, the surface array with the section's range, and the four free electrodes.
#pragma once

#include "platform/ui/ui.h"

// Every dialog fills its controls at the first paint from the sensitivity block of
// Modelsettings, stores a radio choice when it is clicked and the numbers on OK (read by
// model::FieldReader: an entry that is no number of its range is refused with its box and the
// dialog stays open with nothing stored), sets dialog_result (1 OK, ends with 1; 2 Cancel, ends
// with 0) and puts back on Cancel what it kept when it opened.

/// "Select Type of Sensitivity Calculation": radios 961 "User input surface array", 962 "User
/// input borehole array", 963 "Read array parameters from file" (sens_calc_type 0..2, forced
/// into that range when shown); edits 964 resistivity ("%.2f"), 965 maximum current, 966
/// minimum potential and 967 unit spacing ("%.4f"): the resistivity, the current and the spacing
/// above 0, the potential at least 0. Cancel restores the type and the four numbers.
extern const ui::DialogTemplate Sens2DDiaBox;
bool Sens2DDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Choose array for sensitivity calculations": array radios 1201 to 1207 and 1209 (general
/// array, code 11) set sens_array_type and place the electrodes on a line of unit length (the
/// general array keeps them); 1205 to 1207 first read 'n' (edit 1220) into sens_n_value, forced
/// into 0.1..16. The buttons write the positions into edits 1221 to 1224 (C1, C2, P1, P2,
/// "%.5f"); otherwise those edits are filled only when the dialog opens, so positions typed for
/// the general array are what OK reads. Radios 1231/1232 choose sens_variable_spacing, 1251/1252
/// sens_auto_scale. OK: n forced into 0.1..24 with the positions of codes 5 to 7 recomputed from
/// it (code 7 keeps C1), the typed positions for code 11, then the range group 1225 to 1230 and
/// the factor 1253 with their corrections (X maximum not above X minimum becomes X minimum + 1,
/// X spacing at least 0.01, Z minimum at least 0.005, Z maximum not above Z minimum becomes Z
/// minimum + 1, Z spacing at least 0.02, factor at least 1.0). Cancel restores the array, the
/// two radio choices, n and the positions.
extern const ui::DialogTemplate Array2DSensDiaBox;
bool Array2DSensDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Set borehole electrodes": edits 1240 to 1247 (x and depth of C1, C2, P1, P2, "%.4f"; the
/// depths at least 0), the range group, radios and factor of Array2DSensDiaBox with the same
/// corrections. Cancel restores the two radio choices.
extern const ui::DialogTemplate Array2DBorSensDiaBox;
bool Array2DBorSensDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event,
                              const ui::DialogArgs& args);
