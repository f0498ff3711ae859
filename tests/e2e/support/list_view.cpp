// Cross-process list view and drop-down box reading, and mouse double-clicks on list items.
#include "list_view.h"

#include <windows.h>

#include <commctrl.h>

#include <string.h>

#include "installer_driver.h"

namespace driver {

namespace {

const UINT SEND_TIMEOUT = 5000;

LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, SEND_TIMEOUT,
                             &result))
        throw DriverError("message " + std::to_string(message) + " to the list was not answered");
    return (LRESULT)result;
}

// A block of memory inside the process that owns a window, for messages whose lParam points
// at a record: the record is written there, the message sent, and the answer read back.
class RemoteBlock {
  public:
    RemoteBlock(HWND window, SIZE_T size) : size_(size) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               processId);
        if (process_ == NULL)
            throw DriverError("cannot open the list's process " + std::to_string(processId));
        address_ = (char *)VirtualAllocEx(process_, NULL, size, MEM_COMMIT, PAGE_READWRITE);
        if (address_ == NULL) {
            CloseHandle(process_);
            throw DriverError("cannot allocate in the list's process");
        }
    }
    ~RemoteBlock() {
        VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        CloseHandle(process_);
    }
    RemoteBlock(const RemoteBlock &) = delete;
    RemoteBlock &operator=(const RemoteBlock &) = delete;

    char *at(SIZE_T offset) const { return address_ + offset; }
    void write(SIZE_T offset, const void *data, SIZE_T length) const {
        SIZE_T done = 0;
        if (offset + length > size_ ||
            !WriteProcessMemory(process_, address_ + offset, data, length, &done) || done != length)
            throw DriverError("cannot write into the list's process");
    }
    void read(SIZE_T offset, void *data, SIZE_T length) const {
        SIZE_T done = 0;
        if (offset + length > size_ ||
            !ReadProcessMemory(process_, address_ + offset, data, length, &done) || done != length)
            throw DriverError("cannot read from the list's process");
    }

  private:
    HANDLE process_;
    char *address_;
    SIZE_T size_;
};

const SIZE_T TEXT_OFFSET = 256; // the text buffer follows the record in the block
const int TEXT_ROOM = 512;

// Item index's rectangle of kind (LVIR_ICON, LVIR_LABEL), in the list's client coordinates.
RECT itemRect(HWND list, const RemoteBlock &block, int index, int kind) {
    RECT rect = {kind, 0, 0, 0};
    block.write(0, &rect, sizeof(rect));
    if (!send(list, LVM_GETITEMRECT, (WPARAM)index, (LPARAM)block.at(0)))
        throw DriverError("the list has no item " + std::to_string(index));
    block.read(0, &rect, sizeof(rect));
    return rect;
}

ListItem readItem(HWND list, const RemoteBlock &block, int index) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    item.iItem = index;
    item.stateMask = LVIS_SELECTED;
    item.pszText = block.at(TEXT_OFFSET);
    item.cchTextMax = TEXT_ROOM;
    block.write(0, &item, sizeof(item));
    char empty = '\0';
    block.write(TEXT_OFFSET, &empty, 1);
    if (!send(list, LVM_GETITEMA, 0, (LPARAM)block.at(0)))
        throw DriverError("the list has no item " + std::to_string(index));
    block.read(0, &item, sizeof(item));
    char text[TEXT_ROOM + 1] = {};
    block.read(TEXT_OFFSET, text, TEXT_ROOM);
    ListItem found;
    found.text = text;
    found.image = item.iImage;
    found.data = item.lParam;
    found.selected = (item.state & LVIS_SELECTED) != 0;
    found.iconRect = itemRect(list, block, index, LVIR_ICON);
    MapWindowPoints(list, NULL, (POINT *)&found.iconRect, 2);
    return found;
}

// Button down, up, double-click and up at a point of the list's client area.
void doubleClickAt(HWND list, POINT at) {
    LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageA(list, WM_LBUTTONUP, 0, where);
    PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, where);
    PostMessageA(list, WM_LBUTTONUP, 0, where);
    send(list, WM_NULL, 0, 0); // returns after the posted messages were handled
}

} // namespace

std::vector<ListItem> readListView(HWND list) {
    RemoteBlock block(list, TEXT_OFFSET + TEXT_ROOM);
    int count = (int)send(list, LVM_GETITEMCOUNT, 0, 0);
    std::vector<ListItem> items;
    for (int i = 0; i < count; i++)
        items.push_back(readItem(list, block, i));
    return items;
}

std::vector<std::string> listTexts(HWND list) {
    std::vector<std::string> texts;
    for (const ListItem &item : readListView(list))
        texts.push_back(item.text);
    return texts;
}

int findListItem(HWND list, const std::string &text) {
    std::vector<std::string> texts = listTexts(list);
    for (size_t i = 0; i < texts.size(); i++)
        if (texts[i] == text)
            return (int)i;
    return -1;
}

void doubleClickItem(HWND list, int index) {
    RemoteBlock block(list, sizeof(RECT));
    send(list, LVM_ENSUREVISIBLE, (WPARAM)index, FALSE);
    RECT label = itemRect(list, block, index, LVIR_LABEL);
    doubleClickAt(list, {(label.left + label.right) / 2, (label.top + label.bottom) / 2});
}

void doubleClickEmptySpace(HWND list) {
    RemoteBlock block(list, sizeof(RECT));
    RECT client;
    GetClientRect(list, &client);
    int count = (int)send(list, LVM_GETITEMCOUNT, 0, 0);
    POINT at = {client.left + 8, client.bottom - 4};
    if (count > 0) {
        RECT last = itemRect(list, block, count - 1, LVIR_BOUNDS);
        // Below the last item of a list that fills less than its first column.
        if (last.left > client.left + 8 || last.bottom + 4 >= client.bottom)
            throw DriverError("the list has no empty space below its items");
        at.y = (last.bottom + client.bottom) / 2;
    }
    doubleClickAt(list, at);
}

std::vector<std::string> comboTexts(HWND combo) {
    std::vector<std::string> texts;
    int count = (int)send(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        // Asked in UTF-16: Wine hands a wide text to an ANSI caller of another process.
        wchar_t wide[256] = L"";
        DWORD_PTR length = 0;
        if (SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, (WPARAM)i, 0, SMTO_ABORTIFHUNG,
                                SEND_TIMEOUT, &length) &&
            length < 256)
            SendMessageTimeoutW(combo, CB_GETLBTEXT, (WPARAM)i, (LPARAM)wide, SMTO_ABORTIFHUNG,
                                SEND_TIMEOUT, &length);
        char text[512] = "";
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), NULL, NULL);
        texts.push_back(text);
    }
    return texts;
}

int comboSelection(HWND combo) { return (int)send(combo, CB_GETCURSEL, 0, 0); }

void chooseComboItem(HWND combo, int index) {
    send(combo, CB_SETCURSEL, (WPARAM)index, 0);
    HWND owner = GetParent(combo);
    PostMessageA(owner, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELENDOK), (LPARAM)combo);
    send(owner, WM_NULL, 0, 0);
}

} // namespace driver
