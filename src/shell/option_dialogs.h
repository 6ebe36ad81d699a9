// The option dialogs of the main window: choices between radio buttons with OK and Cancel, the
// two number dialogs among them, the trace switch, and the program-information box.
//
// Every radio dialog works the same way: it marks the button of its field's value (the value is
// the button's position in its group, counted from 0), a click sets the field at once, OK keeps
// it, and Cancel puts back the value the dialog started with, also after several clicks. OK
// sets dialog_result to 1 and ends the dialog with 1, Cancel sets 2 and ends with 0
// (ExtendDepthDiaBox leaves dialog_result alone); a number field that refuses its entry keeps
// the dialog open.
#pragma once

#include "platform/ui/ui.h"

/// "Underwater survey geometric factor": 560 "Surface" (0), 561 "Exact" (1) for
/// ModelSettings::geometric_factor_type.
extern const ui::DialogTemplate GeomDiaBox;
bool GeomDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Type of IP model": 571 "Linear" (0) or 572 "Non-Linear" (1) for ModelSettings::
/// complex_ip_model; OK with the non-linear model also selects finite elements (fem = 1), as
/// the user's choice of method (fem_chosen = 1).
extern const ui::DialogTemplate ComplexIPDiaBox;
bool ComplexIPDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Choose computation method": 161 "Finite-difference" (0), 162 "Finite-element" (1) for
/// ModelSettings::fem; OK keeps it as the user's choice (fem_chosen), which every model read
/// later starts from. The procedure also keeps ModelSettings::fem_variant in the group 167/168,
/// which the template does not show: the variant keeps its value.
extern const ui::DialogTemplate FemDiaBox;
bool FemDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Type of finite-difference method": 5311 "Dey & Morrison original" (0), 5312 "Modified
/// 5-point" (1), 5313 "Modified 9-point" (2) for ModelSettings::fd_type.
extern const ui::DialogTemplate FDFTypeDiaBox;
bool FDFTypeDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Use distributed current source": 5321 single point source (0), 5322 distributed source (1)
/// for ModelSettings::distributed_source; edit 5323 shows current_node_weight ("%.2f"). OK
/// stores the weight read from the edit, from 0.5 to 0.98, and side_node_weight =
/// (1 - weight) x 0.5, whichever button is marked; an entry that is no such number is refused
/// with its box and the dialog stays open.
extern const ui::DialogTemplate UseHermDiaBox;
bool UseHermDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Distribute electrode effect": 1261 distribute among nodes (0), 1262 "Maintain singular
/// electrode" (1) for ModelSettings::shift_nodes.
extern const ui::DialogTemplate ShiftNodeDiaBox;
bool ShiftNodeDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Type of borehole model plot": 1271 "Entire Model" (0), 1272 "Only borehole section" (1)
/// for ModelSettings::plot_boreholes.
extern const ui::DialogTemplate BorePlotDiaBox;
bool BorePlotDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Type of pseudodepth estimate": 5341 "Median" (0), 5342 "Mean" (1) for ModelSettings::
/// pseudodepth_type.
extern const ui::DialogTemplate PseudoDepthDiaBox;
bool PseudoDepthDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Automatically extend model depth": 551 no (0), 552 yes (1) for ModelSettings::
/// extend_depth; edit 553 shows extend_depth_factor ("%.1f"). OK stores the ratio read from the
/// edit, from 5 to 25; the edit left as it was shown keeps the ratio (the default 2.5 too); an
/// entry that is no such number is refused and the dialog stays open. dialog_result is left
/// alone.
extern const ui::DialogTemplate ExtendDepthDiaBox;
bool ExtendDepthDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Trace inversion progress": 1241 "No" (0), 1242 "Yes" (1) for PrintTrace::active. OK with
/// tracing on, while no trace line is being written, starts the trace file (PrintTrace::
/// file_name) anew with the line "2D trace"; when it cannot be created, "There has been an
/// error in creating\nthe file %s." is shown and tracing goes back off.
extern const ui::DialogTemplate TraceDiaBox;
bool TraceDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// The program information: "2D Resistivity and IP Forward Modelling", the version text
/// (SystemSettings::version_text, static 1452), the program's notice lines and OK, which ends
/// the box with 1. Nothing else is handled.
extern const ui::DialogTemplate AboutDiaBox;
bool AboutDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// A text box no command opens and no template holds: it shows SystemSettings::message_text
/// in control 1610; OK sets dialog_result to 1 and ends it with 1.
bool InfoTextDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

namespace shell {

/// Menu command 570: the window erased, ComplexIPDiaBox, the canvas shown again.
int complex_ip_command();

} // namespace shell
