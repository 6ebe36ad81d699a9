// The menu bar "Alteration", built from the command table, and the removal of items when a popup
// opens.
#include "shell/menu.h"

#include "shell/dispatch.h"

namespace shell {

namespace {

const char* const popup_titles[] = {"&File",  "&Edit", "&Options", "&Model computation",
                                    "&Print", "&Help", "&Quit"};

} // namespace

std::vector<ui::MenuPopup> alteration_menu() {
    std::vector<ui::MenuPopup> bar;
    for (const char* title : popup_titles)
        bar.push_back({title, {}});
    for (const CommandRow& row : command_table()) {
        if (row.popup == Popup::none) continue;
        std::vector<ui::MenuItem>& items = bar[static_cast<int>(row.popup)].items;
        if (row.place & after_separator) items.push_back({0, ""});
        items.push_back({row.id, row.text});
    }
    return bar;
}

void remove_popup_items(int position) {
    for (const CommandRow& row : command_table())
        if ((row.place & dropped) && static_cast<int>(row.popup) == position)
            ui::remove_menu_item(row.id);
}

} // namespace shell
