// The menu bar "Alteration" and the removal of items when a popup opens.
#include "shell/menu.h"

namespace shell {

std::vector<ui::MenuPopup> alteration_menu() {
    const ui::MenuItem separator{0, ""};
    return {
        {"&File",
         {{101, "&Read file with forward model"},
          {102, "&Save results in VELDARIN format"},
          {5330, "&Convert from 2 to 4 nodes"},
          {103, "Save results in &ORBANTEL format"},
          {105, "Save model in &SURFER format"},
          separator,
          {1240, "&Trace program execution"},
          separator,
          {106, "&Exit program"}}},
        {"&Edit",
         {{110, "&Edit model"},
          {111, "&Display model"},
          {112, "Change &array type"},
          {300, "Add &new model resistivity"},
          {1270, "&Type of borehole model plot"},
          separator,
          {5280, "&Include calculations for sensitivity values"},
          {5270, "&Display sensitivity values for standard arrays"},
          {5271, "Display sensitivity values &for non-standard arrays"},
          {5290, "Select another sensitivity &plot"},
          {5288, "Test electrode position Jacobian"},
          separator,
          {400, "Change depth to layers"},
          {550, "Automatically extend model depth range"},
          separator,
          {117, "&Horizontal plotting scale"},
          {118, "&Vertical display scaling factor"},
          {5340, "&Select pseudodepth method"},
          separator,
          {525, "&Customise colour scheme"},
          {539, "Read customised colour &scheme"},
          {301, "&Restore default colours"}}},
        {"&Options",
         {{122, "&Finite-Element or Finite-Difference Method"},
          {5310, "Type of finite-difference method"},
          {5320, "Use distributed current source"},
          {1260, "&Distribute electrode effect"},
          {123, "&Geometric factor for underwater surveys"},
          {570, "&Type of IP model"}}},
        {"&Model computation",
         {{130, "&Calculate potential values"},
          {137, "Calculate &2D sensitivity section"},
          {1140, "Calculate apparent resistivity for non-standard arrays"},
          {135, "Calculate &3D Frechet derivative"}}},
        {"&Print", {{552, "&Save screen as BMP file"}}},
        {"&Help", {{146, "&Help"}, {145, "&Program Info"}, {147, "&Editing keys"}}},
        {"&Quit", {{150, "&Quit program"}}},
    };
}

void remove_popup_items(int position) {
    static const std::vector<int> computation = {135};
    static const std::vector<int> edit = {5280, 5270, 5271, 5290, 1270, 5340, 5288};
    static const std::vector<int> options = {5310, 5320, 1260};
    const std::vector<int>* ids = nullptr;
    if (position == 3) ids = &computation;
    if (position == 1) ids = &edit;
    if (position == 2) ids = &options;
    if (!ids) return;
    for (int id : *ids)
        ui::remove_menu_item(id);
}

} // namespace shell
