// Noise of synthetic data: the normalised Gaussian deviates and the two noise dialogs
// ("Choose noise level" and "Noise level to add").
#pragma once

#include "platform/ui/ui.h"

/// Fills values[0..n-1] with standard normal deviates (polar Box-Muller on the 15-bit
/// generator of sys), then scales them so that their root-mean-square over the array is exactly
/// 1 (n = 1 gives 1.0 or -1.0; n <= 0 leaves the array alone). A second deviate of a pair waits
/// for the next call. The generator is seeded once per run: from the clock at the first call,
/// or by forward::set_noise_seed.
void gaussian_noise_array(int n, float* values);

/// "Choose noise level": radios 503/504 (add noise no/yes), edit 500 (level in per cent),
/// radios 501/502 (apparent resistivity / voltage dependent), radios 505/506 (save noise
/// values no/yes), OK 1, Cancel 2.
extern const ui::DialogTemplate NoiseDiaBox;
/// Procedure of NoiseDiaBox over Modelsettings. OK stores the level as a fraction (with noise
/// switched on, 0 or less becomes 1 %; the level is held to 0 .. 1; without noise it is 0) and
/// ends with 1; Cancel restores the three choices it opened with and ends with 0.
bool NoiseDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Noise level to add": statics 5301/5302 (minimum and maximum potential in mV), edit 5303
/// (amplitude in mV), OK 1, Cancel 2.
extern const ui::DialogTemplate VoltNoiseDiaBox;
/// Procedure of VoltNoiseDiaBox over Modelsettings: opening raises noise_amplitude to
/// 0.2 % of the minimum potential; OK takes the absolute value typed (mV x 0.001), held to the
/// maximum potential, sets dialog_result 1 and ends with 1; Cancel sets dialog_result 2 and
/// ends with 0.
bool VoltNoiseDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

namespace forward {

/// Seeds the noise generator with `seed` and drops a waiting deviate: the deviates that follow
/// are the same in every run (tests and reproducible data sets).
void set_noise_seed(unsigned seed);
/// Forgets the seed: the next gaussian_noise_array seeds from the clock again.
void reset_noise_seed();

} // namespace forward
