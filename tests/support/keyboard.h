// Real key strokes for the window tests on a virtual X server, typed by xdotool.
#pragma once

#include <string>
#include <vector>

namespace test_support {

/// True when xdotool, which types into the windows of the display, is installed.
bool have_xdotool();

/// Focuses the window titled `title` once it is shown (10 s at most), then types each step:
/// "<Key>" is a key by its X name ("<Return>"), anything else is typed as text.
void type_into(const std::string& title, const std::vector<std::string>& steps);

/// Waits up to `seconds` for the window titled `title` to close, and presses Esc in it when it
/// is still shown then: a modal window that did not take the keys typed is cancelled, and the
/// test fails on what it checks instead of waiting for ever.
void escape_if_still_shown(const std::string& title, double seconds);

} // namespace test_support
