// The model-file reader: readmodel_2D turns a text model file (*.mod) into ModelSettings, and
// the two block-code row readers that it and the IP sections share.
//
// Folder model/reader/ (library vd_reader), in the model layer above model: may include model,
// platform/ui, platform/gfx and platform/sys; included by forward alone (the read command in
// forward/read_command.cpp) and the reader's fuzz target. Entry point: readmodel_2D (below); the
// sections of a file are read in turn by the readers of readmodel_sections.h.
#pragma once

#include "model/records_fwd.h"

#include <cstdint>

namespace gfx {
class Canvas;
}

/// Reads the model file at `path` into `model`: model name and kind, electrodes, data levels,
/// water layers, unit spacing, remote electrodes, grid, resistivities, depths, boreholes and the
/// rows of block codes, then builds the mesh (water rows, node columns and rows under the
/// surface). `name_buffer` (256 bytes, normally model.model_title) receives the model name.
/// A summary line per value or section is drawn on `dc` (nullptr: none), from y = 10 down in
/// steps of 16 pixels; the caller clears the window first.
///
/// Every count read is held within the limits of `limits`, which must be those the arrays of
/// `model` were allocated with (allocate_model_arrays). The first bad value ends the read with
/// a beep and a message box that says what is wrong; the model then keeps the values stored
/// before that check and the fields cleared at the start of the read.
///
/// Returns 1 when the read ends before the level-limit step of the array-type section (the
/// caller marks the model as not read) and 0 from that step on, whether the read completes or a
/// later check of the data ends it. The file is read whole into page memory and freed again.
int readmodel_2D(const ProgLim& limits, ModelSettings& model, char* name_buffer, const char* path,
                 gfx::Canvas* dc);

/// Reads `nrows` rows of one-character block codes from buffer[cursor..length) into the table
/// `codes` of `ncolumns` cells a row (cell column c of row r at index2d(c, r, ncolumns)). Each
/// row gives `ncodes` codes for the cell columns first_column .. first_column + ncodes - 1;
/// columns left of them take the row's first code, columns right of them (up to and including
/// column ncolumns) its last code. Rows after `nrows_store` are read and dropped. Digits give
/// 0-9, letters of either case 10-35, other bytes below 'A' 0; every code is limited to
/// 0 .. nvalues - 1. Blanks before a row are skipped; characters after the codes are ignored.
///
/// Needs 1 <= first_column, ncodes >= 1, first_column + ncodes - 1 <= ncolumns and a table of
/// nrows_store x ncolumns entries; a code that would fall beyond column ncolumns is stored in
/// column ncolumns. Returns 0, or 1 after the message "Error in model line %d. ..." for a row
/// shorter than ncodes or when the rows reach the end of the text (the last row must be
/// followed by a line end); the rows before it stay stored. The cursor ends behind the last
/// row read.
int read_block_code_rows(int nrows, int nrows_store, int first_column, int ncodes, int ncolumns,
                         std::int32_t* codes, int nvalues, std::int32_t length, const char* buffer,
                         std::int32_t& cursor);

/// Reads `nrows` rings of a cylinder model, `ncodes` codes each, into `codes` (row r, code k at
/// (r - 1) x ncodes + k - 1). Digits give 0-9, 'A'-'G' and 'a'-'g' 10-16, every other byte 0;
/// codes are limited to 0 .. nvalues - 1. Returns 0, or 1 after the message "Error in model
/// line %d" for a short row or the end of the text.
int read_cylinder_block_codes(int nrows, int ncodes, std::int32_t* codes, int nvalues,
                              std::int32_t length, const char* buffer, std::int32_t& cursor);
