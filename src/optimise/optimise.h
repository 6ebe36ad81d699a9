// Array optimisation by model resolution: for a line of electrodes over a layered block model,
// an optimised set of four-electrode arrays whose model resolution comes close to that of every
// allowed array, grown iteration by iteration from a small base set.
//
// Folder optimise/ (library vd_optimise), in the command layer above sensitivity: may include
// sensitivity, display, matrix (packed kernels and the Jacobian and Hessian files), model,
// platform/ui and platform/sys; no menu item reaches it, only the script runner's `optimise`
// action from app/veldarin_script.cpp. Entry point: optimise_command (below).
#pragma once

class ModelResolution;

/// The optimisation run with the settings of ModelResolution.
///
/// Writes the report ModelResolution::output_name ("model_res_bgs_22.txt" and the like by method
/// and electrode count, in the current folder), then the set as "<stem>_mod.txt" and, for the
/// cable layouts, the protocol files (optimise/protocol.h); work files "elecs_opt.bin",
/// "elecs_file.bin", "grad2d_pp.bin", "gradmatrix.bin" (renamed "gradmatrix_complete.bin" after
/// the comprehensive set), "hessmatrix.bin", "hessmatrix_row.bin" and "invmatrix.bin" at the
/// paths of ModelResolution::work_files. Progress goes to the status line; a click on the
/// "Next" window (NextWind::next_flag set) ends the iterations after the current one, and in
/// the combined method only its BGS phase. The chosen set is left in ModelResolution::arrays
/// and narrays. Ends with the box "Calculation of optimized arrays completed. ..." (caption
/// "Message").
///
/// Failures: a report that cannot be created shows "There has been an error in creating\nthe
/// file %s." and nothing else happens; a failed resolution of the comprehensive set is written
/// to the report, which ends the run without the final box; a failed resolution step in an
/// iteration ends the iterations, and the summary and the files hold the iterations done;
/// work storage that cannot be had ends the run after "Insufficient memory for the array
/// optimisation.".
void optimise_arrays(ModelResolution& settings);

/// The `optimise` action of the scripted program: OptArrayDiaBox, and on OK the run with the
/// status and "Next" windows shown (the "Next" flag cleared first), hidden again afterwards.
void optimise_command(ModelResolution& settings);
