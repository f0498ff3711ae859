// Reads and works another process's list view and drop-down box as a user sees them: item
// texts, images, item data, selection and places, and double-clicks with the mouse. The list's
// messages that carry pointers get a buffer inside the list's own process.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace driver {

struct ListItem {
    std::string text;
    int image;
    LPARAM data;
    bool selected;
    RECT iconRect; // the item's icon, in screen coordinates
};

// The items of the list view in their shown (sorted) order; throws DriverError when the list's
// process cannot be read.
std::vector<ListItem> readListView(HWND list);
// Texts of the items only, in order.
std::vector<std::string> listTexts(HWND list);
// Index of the first item whose text is text, or -1.
int findListItem(HWND list, const std::string &text);

// A double-click on the item at index as the mouse makes it: button down and up (which selects
// the item), then the double-click and up, at the middle of the item's label. The list itself
// sends its parent NM_DBLCLK. Returns once the list's thread has handled them all.
void doubleClickItem(HWND list, int index);
// The same on a point of the list that holds no item (below the last one of the first column).
void doubleClickEmptySpace(HWND list);

// The drop-down box: its item texts and the selected position.
std::vector<std::string> comboTexts(HWND combo);
int comboSelection(HWND combo);
// Picks the item at index as a user's choice from the open list ends: selects it and sends the
// owner CBN_SELENDOK.
void chooseComboItem(HWND combo, int index);

} // namespace driver
