// The menu command of the 2-D sensitivity sections.
#pragma once

#include <functional>

/// "Calculate &2D sensitivity section" (137): clears the window, arrow cursor, Sens2DDiaBox;
/// on OK shows the status window and, by ModelSettings::sens_calc_type, runs
/// Array2DSensDiaBox (0) or Array2DBorSensDiaBox (1, which sets sens_array_type to 12) and on
/// OK calc_sensitivity_standard_arrays; type 2 sets sens_scale_factor to 10000 and
/// sens_auto_scale to 1 and runs `from_file` (the sections of an array configuration file,
/// which the forward-modelling folder above this one computes). Any Cancel ends the command;
/// the status window is hidden at the end. Returns 137.
int sensitivity_section_command(const std::function<void()>& from_file);
