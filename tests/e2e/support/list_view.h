// Reads and works a list view of another process, as a user would: item texts, images and item
// data, selecting an item and double-clicking it. The item records travel through memory
// allocated in the other process, since list view messages carry pointers.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "installer_driver.h"

namespace listview {

struct Item {
    std::string text;
    int image = -1;
    LPARAM data = 0;
};

// Memory of the list's process holding one item record and its text.
class RemoteBlock {
  public:
    explicit RemoteBlock(HWND list) {
        DWORD process = 0;
        GetWindowThreadProcessId(list, &process);
        process_ =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
        if (process_ == NULL)
            throw driver::DriverError("cannot open the list view's process");
        block_ = (char *)VirtualAllocEx(process_, NULL, SIZE, MEM_COMMIT, PAGE_READWRITE);
        if (block_ == NULL)
            throw driver::DriverError("cannot allocate in the list view's process");
    }
    ~RemoteBlock() {
        VirtualFreeEx(process_, block_, 0, MEM_RELEASE);
        CloseHandle(process_);
    }
    RemoteBlock(const RemoteBlock &) = delete;
    RemoteBlock &operator=(const RemoteBlock &) = delete;

    static const size_t TEXT_OFFSET = 256; // the item record first, its text after it
    static const size_t SIZE = TEXT_OFFSET + 512;
    char *at(size_t offset) const { return block_ + offset; }
    void write(const void *data, size_t size) const {
        WriteProcessMemory(process_, block_, data, size, NULL);
    }
    void read(size_t offset, void *data, size_t size) const {
        ReadProcessMemory(process_, block_ + offset, data, size, NULL);
    }

  private:
    HANDLE process_ = NULL;
    char *block_ = NULL;
};

inline LRESULT send(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(list, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
        throw driver::DriverError("the list view does not answer");
    return (LRESULT)result;
}

inline int itemCount(HWND list) { return (int)send(list, LVM_GETITEMCOUNT, 0, 0); }

// Text, image and item data of the item at the sorted-list position.
inline Item item(HWND list, int position) {
    RemoteBlock block(list);
    LVITEMA record = {};
    record.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    record.iItem = position;
    record.pszText = block.at(RemoteBlock::TEXT_OFFSET);
    record.cchTextMax = 511;
    block.write(&record, sizeof(record));
    Item out;
    if (!send(list, LVM_GETITEMA, 0, (LPARAM)block.at(0)))
        return out;
    char text[512] = "";
    block.read(0, &record, sizeof(record));
    block.read(RemoteBlock::TEXT_OFFSET, text, sizeof(text) - 1);
    out.text = text;
    out.image = record.iImage;
    out.data = record.lParam;
    return out;
}

inline std::vector<Item> items(HWND list) {
    std::vector<Item> out;
    int count = itemCount(list);
    for (int i = 0; i < count; i++)
        out.push_back(item(list, i));
    return out;
}

inline std::vector<std::string> texts(HWND list) {
    std::vector<std::string> out;
    for (const Item &i : items(list))
        out.push_back(i.text);
    return out;
}

// Position of the item with that text, -1 when there is none.
inline int find(HWND list, const std::string &text) {
    std::vector<std::string> all = texts(list);
    for (size_t i = 0; i < all.size(); i++) {
        if (all[i] == text)
            return (int)i;
    }
    return -1;
}

// Selects the item at position, then double-clicks it: the list tells its owner NM_DBLCLK.
inline void doubleClick(HWND list, int position) {
    RemoteBlock block(list);
    LVITEMA record = {};
    record.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    record.state = LVIS_SELECTED | LVIS_FOCUSED;
    block.write(&record, sizeof(record));
    send(list, LVM_SETITEMSTATE, (WPARAM)position, (LPARAM)block.at(0));
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    block.write(&bounds, sizeof(bounds));
    send(list, LVM_GETITEMRECT, (WPARAM)position, (LPARAM)block.at(0));
    block.read(0, &bounds, sizeof(bounds));
    LPARAM point = MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
    PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    PostMessageA(list, WM_LBUTTONUP, 0, point);
}

// Double-clicks the item with that text; throws when the list has none.
inline void doubleClick(HWND list, const std::string &text) {
    int position = find(list, text);
    if (position < 0)
        throw driver::DriverError("no list item \"" + text + "\"");
    doubleClick(list, position);
}

} // namespace listview
