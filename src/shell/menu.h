// The main window's menu bar and the items it removes each time one of its popups opens.
#pragma once

#include "platform/ui/ui.h"

#include <vector>

namespace shell {

/// The menu bar as the program starts: "&File", "&Edit", "&Options", "&Model computation",
/// "&Print", "&Help", "&Quit" with every item of the command table (separators have id 0).
std::vector<ui::MenuPopup> alteration_menu();

/// Removes, by command id, the items that the popup at `position` (0 = "&File") drops each
/// time it is about to open (the rows marked `dropped` in the command table): 135 from
/// position 3; 5280, 5270, 5271, 5290, 1270, 5340 and 5288 from position 1; 5310, 5320 and
/// 1260 from position 2. Items already gone are ignored and separators stay. Their commands
/// stay reachable by id.
void remove_popup_items(int position);

} // namespace shell
