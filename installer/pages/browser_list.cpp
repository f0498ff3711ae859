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
