// Array-type codes: the internal numbering, the numbering of the model file and the dialog,
// their conversion, the display names and the array-type dialog "Choose array type".
#pragma once

#include "platform/ui/ui.h"

/// Display name of internal code c at position c - 1 (c = 1..18); codes 11 to 14 and 16 to 18
/// name "Unknown".
extern const char* const ArrayNameTable[18];

/// The array-type dialog: radio group 201..211 (button 200 + dialog code), pole-dipole
/// direction 215/216, edits 212 (a spacings of the arrays with 'a' only), 213 (a spacings of the
/// arrays with 'a' and 'n'), 214 ('n' values), radio pairs 217/218 (maximum geometric factor),
/// 220/221 (limit depth), 223/224 (odd n only), edits 219 and 222, OK 1 and Cancel 2.
extern const ui::DialogTemplate ArrayTypeDiaBox2;

/// Procedure of ArrayTypeDiaBox2 over the global Modelsettings and Proglim. The depth ratio is
/// shown as at least 5 % of the electrodes. OK stores the choices (the counts whole numbers: 'a'
/// spacings of the 'a' arrays from 2, of the others from 1, up to 100000; 'n' values from 1 to
/// ProgLim::max_n; a geometric factor above 0; a depth ratio of at least 0.05; an entry outside
/// is refused with its box and the dialog stays open), sets dialog_result to 1 and ends the
/// dialog with 1; Cancel restores the values it shows, stores nothing, sets dialog_result to 2
/// and ends with 0. Returns true for a handled event.
bool ArrayTypeDiaBox2Proc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);

namespace model {
/// Internal code of a model-file or dialog code: 2 -> 4, 3 -> 5, 4 -> 2, 5 -> 3, 11 -> 15, every
/// other value unchanged.
int array_code_from_file(int file_code);
/// Model-file and dialog code of an internal code (the inverse of array_code_from_file).
int array_code_to_file(int internal_code);
/// ArrayNameTable entry of an internal code; "Unknown" outside 1..18.
const char* array_type_name(int internal_code);
/// True for the arrays whose data levels are set by the spacing alone (codes 1 to 4, 8 and 9:
/// the Wenner arrays, pole-pole, equatorial dipole-dipole and gradient); the others step a and
/// n.
bool levels_by_spacing(int internal_code);
} // namespace model
