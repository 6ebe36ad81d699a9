// Colour schemes: the palette, brushes and pens made from the colour table, the colour dialog
// "ColDiaBox", colour-scheme files (*.col) and the three colour commands of the main window.
#pragma once

#include "platform/gfx/canvas.h"
#include "platform/ui/ui.h"

#include <cstdint>
#include <string>

/// Palette entry of a colour-table colour: pure white is entered as (250, 250, 250), so that
/// a white band is told apart from the unpainted white background.
gfx::Colour palette_colour(std::uint32_t colour);

/// Rebuilds ProgDisplay::palette from colour-table entries 0..31 (white rule above) and brush
/// and pen i (solid, width 1) from palette entry i; selects a black pen and a white brush into
/// the window surface.
void rebuild_display_objects();
/// The first paint's set-up: rebuild_display_objects, then palette256[0..31] = the colours a
/// canvas shows for the 32 brushes.
void create_display_objects();

/// Colour-scheme file: int32 n (5..31), then colour-table entries 0..n, 4 bytes each
/// (red, green, blue, 0), little-endian; 4 (n + 2) bytes in all.
enum class ColourFileStatus { ok, cannot_open, bad_file };
/// Reads a colour-scheme file into table[0..n]; the table is unchanged unless the result is
/// ok. A file of 16 to 132 bytes whose n lies in 5..31 is read; bytes after entry n are
/// ignored. Any other file is bad, and so is one too short to hold entries 0..n.
ColourFileStatus read_colour_scheme_file(const char* path, std::uint32_t* table);
/// Writes n and table[0..n], whole or not at all (sys::save_file); false, with the cause in
/// `*error` when given, when the file cannot be written completely.
bool write_colour_scheme_file(const char* path, int n, const std::uint32_t* table,
                              std::string* error = nullptr);

// The three colour commands end with the picture they found: the display drawn again in the
// colours now in use when the canvas held it, else the canvas as it was (picture_after_colours).

/// Command 525 "&Customise colour scheme": ColDiaBox; on OK the display objects are rebuilt,
/// the new scale is shown and the user may save it to a colour-scheme file of
/// set_ncontours(level_scheme) levels. Returns 525.
int edit_colour_scheme();
/// Command 539 "Read customised colour &scheme": a colour-scheme file replaces colour-table
/// entries 0..n; a missing or bad file leaves the table unchanged, with a message. Returns 539.
int read_colour_scheme();
/// Command 301 "&Restore default colours": colour-table entries 0..31 from default_colours.
/// Returns 301.
int restore_default_colours();

/// "Select Colour": radios 900..916 choose the scale entry, scroll bars 10..12 compose its red,
/// green and blue (texts 940..942), swatches 3920.. ("Old") and 920.. ("New"), preview 943,
/// label 944. OK copies the working entries 0..31 into the colour table (dialog_result 1, ends
/// with 1); Cancel leaves the table (dialog_result 2, ends with 0).
extern const ui::DialogTemplate ColDiaBox;
bool ColDiaBoxProc(ui::Dialog& dialog, ui::DialogEvent event, const ui::DialogArgs& args);
