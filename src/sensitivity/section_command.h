// The menu command of the 2-D sensitivity sections.
#pragma once

/// "Calculate &2D sensitivity section" (137): clears the window, arrow cursor, Sens2DDiaBox;
/// on OK shows the status window and, by ModelSettings::sens_calc_type, runs
/// Array2DSensDiaBox (0) or Array2DBorSensDiaBox (1, which sets sens_array_type to 12) and on
/// OK calc_sensitivity_standard_arrays; type 2 sets sens_scale_factor to 10000 and
/// sens_auto_scale to 1 and says that array parameters cannot be read from a file in this
/// build. Any Cancel ends the command; the status window is hidden at the end. Returns 137.
int sensitivity_section_command();
