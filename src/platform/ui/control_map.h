// Lookup in the control table of a live dialog, as both backends keep it.
#pragma once

#include <map>

namespace ui {

/// The control with `id` in `controls`, or null when the dialog has none.
template <class Control>
const Control* find_control(const std::map<int, Control>& controls, int id) {
    auto it = controls.find(id);
    return it == controls.end() ? nullptr : &it->second;
}
template <class Control> Control* find_control(std::map<int, Control>& controls, int id) {
    auto it = controls.find(id);
    return it == controls.end() ? nullptr : &it->second;
}

} // namespace ui
