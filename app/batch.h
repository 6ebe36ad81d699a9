// The batch run of veldarin-script: the canned actions "read the model, calculate, display,
// save the window as a bitmap, save the data file" on the headless backend.
#pragma once

#include <string>

namespace batch {

/// Runs the model file `model` and writes NAME.dat (data file without noise) and NAME.bmp
/// (the window) into `out_dir` (empty: the model's folder). Prints the model summary, every
/// message box and beep, and the files written. Returns 0 when every step succeeded, 1 when
/// one failed (no data file is written when the model cannot be read or calculated), 2 for a
/// model path or output folder that cannot be used.
int run(const std::string& model, const std::string& out_dir);

} // namespace batch
