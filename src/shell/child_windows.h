// The status and "Next" child windows along the bottom edge of the main window.
#pragma once

namespace shell {

/// Creates both child windows, hidden, at the foot of the client area: the status window as
/// wide as its initial text, the "Next" window as wide as "Next Iter." at the right edge; each
/// one character height + 3 high (fixed font).
void create_child_windows();

/// Paints the status window: the green bar of StatusWind::bar_length pixels (none at 0) and
/// StatusWind::text at (2, 0) over it.
void StatusChildProc();

/// Paints the "Next" window: red with "Exit Next" when NextWind::next_flag is 1, else yellow
/// with "    Next".
void NextChildProc();

/// A left click in the "Next" window flips NextWind::next_flag and repaints it.
void next_window_click();

} // namespace shell
