// Mouse and key editing of the model blocks on the drawn model sections: marking blocks with
// the highlight brush and giving the marked blocks the value of a colour box.
#pragma once

#include <cstdint>

/// 1 when (px, py) lies inside or on the outline of n points x[], y[] (clockwise on the screen):
/// every edge, and the closing edge unless the last point equals the first, has the point on
/// its inner side. An outline starting at (0, 0) contains nothing.
int point_in_block(int n, const std::int32_t* x, const std::int32_t* y, int px, int py);

// The handlers below work on the outlines the last display recorded (Sectionoutlines), the
// block codes of Modelsettings and the canvas, which they copy into the window afterwards. Each
// returns 1 when it marked or recoloured at least one block, else 0. Marking draws the block
// with the highlight brush (18); a colour box gives every marked block of its section the
// box's value (resistivity_codes, or ip_codes for the IP section) and redraws it in the box's
// colour. Blocks not shown are marked and recoloured but not drawn.

/// Right button, block model: the first unmarked block under the cursor in the resistivity
/// section, and the same in the IP section.
int mark_block(int cx, int cy);
/// Left button, block model: the first block under the cursor (a click on an edge two blocks
/// share is on both) and the next three (in numbering order, up to the section's last block),
/// with one beep; then a colour box under the cursor recolours the marked blocks of its section.
int mark_blocks_multi(int cx, int cy);
/// A character, block model, with the first block under the cursor: "P" that block, "4" it and the
/// next three, "D" its column from it down, "]" its row to the right, "[" its row to the left,
/// "}" the blocks below and right of it, "{" below and left; "C" applies the colour box under
/// the cursor; ";" and "H" show the editing help.
int edit_blocks_mode3(int ch, int cx, int cy);
/// Right button, cylinder model: the first unmarked cell under the cursor.
int draw_mark_block_right(int cx, int cy);
/// Left button, cylinder model: the first unmarked cell under the cursor and up to three after
/// it (not past the ring's end); with no cell under the cursor, a colour box recolours the
/// marked cells.
int draw_mark_block_left(int cx, int cy);
