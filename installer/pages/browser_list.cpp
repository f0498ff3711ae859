// The list both browsers fill: the go-up item, the subdirectories of a path and the folder-name
// item, with the three folder icons, and the path the listing leads to.
#include <windows.h>

#include <commctrl.h>

#include "common/common_controls.h"
#include "common/setup_state.h"
#include "pages/browser_moves.h"
#include "pages/pages.h"
#include "resources/resource.h"

// The go-up item's mark in the low 16 bits of its item data. Ordinary items carry their
// insertion position in the high 16 bits and zero below, so the mark tells the go-up item from
// a directory that sorts before it ("!tools" comes before "........").
enum { GO_UP_MARK = 1 };

static const char GO_UP_TEXT[] = "........";

// Inserts one item with its text, image and item data at position.
static void insertListItem(HWND list, const char *text, int position, int image, LPARAM data) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = position;
    item.iSubItem = 0;
    item.pszText = (LPSTR)text;
    item.cchTextMax = LIST_TEXT_MAX;
    item.iImage = image;
    item.lParam = data;
    SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
}

void addListItem(HWND list, const char *text, int position, int image) {
    insertListItem(list, text, position, image, (LPARAM)((position & 0xFFFF) << 16));
}

BOOL isGoUpItem(HWND list, int position) {
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = position;
    if (position < 0 || !SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item))
        return FALSE;
    return (item.lParam & 0xFFFF) == GO_UP_MARK;
}

BOOL readListItemText(HWND list, int position, char *text, int size) {
    text[0] = '\0';
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = position;
    item.pszText = text;
    item.cchTextMax = size;
    return position >= 0 && SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
}

// Appends icon id from the installer's resources to images; its position there, or -1.
static int appendIcon(HIMAGELIST images, int id) {
    HICON icon = LoadIconA(setup.instance, MAKEINTRESOURCEA(id));
    return commonImageListReplaceIcon(images, -1, icon);
}

// The common controls library, loaded at start before any browser opens, registers the list view
// class (SysListView32) as it loads; no initialisation call is needed.
void attachBrowserImages(HWND list) {
    HIMAGELIST images = commonImageListCreate(16, 16, ILC_MASK, 3, 0);
    setup.folderImage = appendIcon(images, IDI_FOLDER);
    setup.upImage = appendIcon(images, IDI_UP);
    setup.newFolderImage = appendIcon(images, IDI_NEW_FOLDER);
    // The list owns the image list from here and releases it with itself.
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);
}

// Adds every subdirectory of path whose name does not begin with a full stop, hidden and system
// ones included, from position n on; returns the position after the last one added.
static int addSubdirectories(HWND list, const char *path, int mode, int n) {
    char pattern[PATH_BUFFER];
    if (listSearchPattern(pattern, sizeof(pattern), path, mode) != 0)
        return n;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return n;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.cFileName[0] != '.')
            addListItem(list, found.cFileName, n++, setup.folderImage);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return n;
}

void listDirectory(HWND dialog, HWND list, const char *path, int mode) {
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    int n = 0;
    if (isBelowRoot(path, mode))
        insertListItem(list, GO_UP_TEXT, n++, setup.upImage, GO_UP_MARK);
    n = addSubdirectories(list, path, mode, n);
    setup.lastItemIndex = n;
    addListItem(list, setup.folderName, n, setup.newFolderImage);
    // A path too long to show with the name leaves the field empty rather than cut short.
    listShownPath(setup.messageText, sizeof(setup.messageText), path, setup.folderName, mode);
    SetDlgItemTextA(dialog, mode == LIST_MODE_DIRECTORY ? IDC_BROWSE_PATH : IDC_GROUP_PATH,
                    setup.messageText);
}

// --- moving through the list with the mouse and the keyboard ---

// The list view's own procedure, to which a browser list hands every message.
static WNDPROC listViewProcedure;

// A browser list asks for the Enter key itself, so the dialog's message loop hands the key to it
// instead of pressing the dialog's default button; the list reports it as NM_RETURN. Not a
// table-dispatched procedure: it only adds to the list view's own answer.
static LRESULT CALLBACK BrowserListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT answer = CallWindowProcA(listViewProcedure, list, message, wParam, lParam);
    const MSG *key = (const MSG *)lParam;
    if (message == WM_GETDLGCODE && key != NULL && key->message == WM_KEYDOWN &&
        key->wParam == VK_RETURN)
        answer |= DLGC_WANTMESSAGE;
    return answer;
}

void takeListKeys(HWND list) {
    WNDPROC own = (WNDPROC)GetWindowLongPtrA(list, GWLP_WNDPROC);
    if (own == NULL || own == BrowserListProc)
        return;
    listViewProcedure = own;
    SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)BrowserListProc);
}

// Selects the item at position, puts the list's focus mark on it and scrolls it into view: the
// item the arrows move from and Enter opens.
static void markItem(HWND list, int position) {
    LVITEMA item = {};
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)position, (LPARAM)&item);
    SendMessageA(list, LVM_ENSUREVISIBLE, (WPARAM)position, FALSE);
}

// The position of the first item whose text is name (in any case), or 0 when there is none.
static int positionOfName(HWND list, const char *name) {
    if (name[0] == '\0')
        return 0;
    LVFINDINFOA find = {};
    find.flags = LVFI_STRING;
    find.psz = name;
    int position = (int)SendMessageA(list, LVM_FINDITEMA, (WPARAM)-1, (LPARAM)&find);
    return position < 0 ? 0 : position;
}

// A list reached from the keyboard with nothing selected selects its focused item, or its first:
// the arrows and Enter then have an item to start from. A click on an item has selected it
// before the list takes the focus, so this leaves it alone.
static void selectOnFocus(HWND list) {
    if (SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) != 0)
        return;
    int focused = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
    markItem(list, focused < 0 ? 0 : focused);
}

// Goes down into the item at position; 1 when the move was refused as too long.
static int enterItem(HWND list, int position, char *path, int mode) {
    char name[LIST_TEXT_MAX + 1];
    if (!readListItemText(list, position, name, sizeof(name)))
        return 0;
    return browseDown(path, PATH_BUFFER, BROWSE_PATH_MAX, name, mode) != 0;
}

int answerListNotification(HWND dialog, const NMHDR *header, char *path, int mode) {
    HWND list = header->hwndFrom;
    if (header->code == (UINT)NM_SETFOCUS) {
        selectOnFocus(list);
        return 0;
    }
    BOOL up = header->code == (UINT)LVN_KEYDOWN && ((const NMLVKEYDOWN *)header)->wVKey == VK_BACK;
    if (!up && header->code != (UINT)NM_DBLCLK && header->code != (UINT)NM_RETURN)
        return 0;
    int refused = 0;
    if (!up) {
        int position = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
        if (position >= 0 && position <= setup.lastItemIndex) {
            up = isGoUpItem(list, position);
            if (!up)
                refused = enterItem(list, position, path, mode);
        }
    }
    // Going up, the folder left becomes the current item, as in the system's folder windows.
    char left[PATH_BUFFER] = "";
    if (up && isBelowRoot(path, mode)) {
        lstrcpynA(left, lastPathName(path), sizeof(left));
        browseUp(path, mode);
    }
    listDirectory(dialog, list, path, mode);
    markItem(list, positionOfName(list, left));
    return refused;
}
