// One character per small index, for writing rows of block codes as lines of text.
#pragma once

/// Appends to the zero-terminated `text` the character of `index`: 0..9 give '0'..'9',
/// 10..16 give 'a'..'g', any other value '0'. `text` must have room for one more character and
/// its terminator.
void append_index_char(int index, char* text);
