// The display-scale dialogs: the horizontal plotting scale (command 117) and the vertical /
// horizontal scaling factor (command 118).
#pragma once

#include "platform/ui/ui.h"

/// "Horizontal Display Scale": edit 853 shows ProgDisplay::xscale; OK takes a typed value in
/// 1..200 pixels per electrode spacing (dialog_result 1, ends with 1); any other entry is
/// refused with its box and the dialog stays open (model::FieldReader). Cancel keeps the scale
/// (dialog_result 2, ends with 0).
extern const ui::DialogTemplate HrpsDiaBox;
bool HrpsDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Vertical/horizontal display scaling factor": edit 846 shows 1 / ProgDisplay::vh_factor;
/// OK stores 1 / v for a typed v from 0.2 to 100 (dialog_result 1, ends with 1): the drawings
/// take factors up to 5; any other entry is refused with its box and the dialog stays open.
/// Cancel keeps the factor (dialog_result 2, ends with 0). Command 118 runs it between clearing the
/// window and the canvas and setting ProgDisplay::model_displayed.
extern const ui::DialogTemplate VtsfDiaBox;
bool VtsfDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// Command 117 "&Horizontal plotting scale": clears the window and the canvas; without a data
/// set (ModelSettings::ndata < 1) only the message "You need to read in a data set\nbefore
/// using this option.", else HrpsDiaBox, and the status line names a scale taken. Then the
/// display is drawn again (redisplay_model) and ProgDisplay::model_displayed set; returns 117.
int hrps_menu_handler();
