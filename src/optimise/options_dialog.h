// The options dialog of the array optimisation.
#pragma once

#include "platform/ui/ui.h"

/// "Optimized Array Options": radio groups 1300..1303 (method), 1310..1312 (cable layout),
/// 1330/1331 (symmetry), 1332..1334 (array kinds), 1335/1336 (ETH type), 1337/1338 (parallel
/// calculations), edits 1313 and 1320..1329, OK, Cancel.
extern const ui::DialogTemplate OptArrayDiaBox;

/// Procedure of OptArrayDiaBox over the global Modelresolution. A radio click stores its value
/// at once; the two-cable layout sets 41 electrodes, the four-cable layout 61 with the depth
/// ratio lowered to 0.17 and the layer factor raised to 1.15 where needed. OK (dialog_result 1,
/// ends with 1) reads every edit within its bounds (electrodes 10..opt_param_64, iterations
/// 1..opt_param_100, BGS ratio 0.5..0.9, extra ratio 0.05..0.5, arrays at least the electrodes,
/// depth ratio 0.15..0.3, first layer 0.25..1, layer factor 1..1.25, n 3..8, damping
/// 0.0001..0.1, spacing 0.1..100; a number outside is refused with its box) and clears use_sse2 on
/// a processor without SSE2
/// (Proglim.simd_level below 2). Cancel (dialog_result 2, ends with 2) puts back every setting
/// the dialog shows as it was at the opening. An entry that is no number ("nan", text after the
/// number, a fraction where a whole number is read) is refused with its box, nothing is stored
/// and the dialog stays open.
bool OptArrayDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);
