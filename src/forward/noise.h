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

/// The deviate that noise of relative level `level` applies to `value` as value (1 + level g):
/// `g` itself when the noisy value keeps the sign of `value` (1 + level g > 0) and, when
/// `upper` > 0 and `value` > 0, stays below `upper`; otherwise deviates are drawn again (from
/// the generator of gaussian_noise_array, not rescaled) until one does. Noise never turns an
/// apparent resistivity negative or an apparent chargeability past 1000 mV/V. After 1000
/// draws in vain (a level far beyond 100 %) it gives 0.
float deviate_within(float g, float level, float value, float upper = 0.0f);

/// "Choose noise level": radios 503/504 (add noise no/yes), edit 500 (level in per cent),
/// radios 501/502 (apparent resistivity / voltage dependent), radios 505/506 (save noise
/// values no/yes), OK 1, Cancel 2.
extern const ui::DialogTemplate NoiseDiaBox;
/// The controls of NoiseDiaBox.
namespace noise_control {
enum : int {
    level = 500,
    resistivity_noise = 501,
    voltage_noise = 502,
    no_noise = 503,
    add_noise = 504,
    do_not_save = 505,
    save_noise = 506,
};
} // namespace noise_control
/// Procedure of NoiseDiaBox over Modelsettings. With noise switched on, OK refuses a level that
/// is not a number above 0 and at most 100 (nan, inf, text, blanks, 0, a negative or larger
/// number) with a message and keeps the dialog open; otherwise it stores the level as a fraction
/// (without noise it is 0) and ends with 1. Cancel restores the three choices it opened with and
/// ends with 0.
bool NoiseDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

/// "Noise level to add": statics 5301/5302 (minimum and maximum potential in mV), edit 5303
/// (amplitude in mV), OK 1, Cancel 2.
extern const ui::DialogTemplate VoltNoiseDiaBox;
/// Procedure of VoltNoiseDiaBox over Modelsettings: opening shows noise_amplitude raised to at
/// least 0.2 % of the minimum potential; OK refuses what is not a number from 0 to the maximum
/// potential in mV with a message and keeps the dialog open, else stores the value typed
/// (mV x 0.001; blanks are 0), sets dialog_result 1 and ends with 1; Cancel stores nothing, sets
/// dialog_result 2 and ends with 0.
bool VoltNoiseDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

namespace forward {

/// Seeds the noise generator with `seed` and drops a waiting deviate: the deviates that follow
/// are the same in every run (tests and reproducible data sets).
void set_noise_seed(unsigned seed);
/// Forgets the seed: the next gaussian_noise_array seeds from the clock again.
void reset_noise_seed();

} // namespace forward
