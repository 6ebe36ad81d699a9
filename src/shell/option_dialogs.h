// The option dialogs of the main window: a choice between radio buttons with OK and Cancel.
#pragma once

#include "platform/ui/ui.h"

/// "Type of IP model": 571 "Linear" (0) or 572 "Non-Linear" (1) for ModelSettings::
/// complex_ip_model; OK with the non-linear model also selects finite elements (fem = 1),
/// Cancel puts the value of the dialog's start back.
extern const ui::DialogTemplate ComplexIPDiaBox;
bool ComplexIPDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

namespace shell {

/// Menu command 570: the window erased, ComplexIPDiaBox, the canvas shown again.
int complex_ip_command();

} // namespace shell
