// Dialog procedures of the four wizard pages, and the page-picture painter they share.
#pragma once

#include <windows.h>

INT_PTR CALLBACK AgreementPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DestinationPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CopyPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ShortcutPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The shortcut page's defaults and Finish, without the page: programsDir from the all-users
// Start menu, then the registry entries, the program group with its three shortcuts (and the
// desktop shortcut when withDesktop), and groupFolder. finishShortcuts returns 0 when every
// registry value was written, 1 otherwise (the shortcuts are made either way).
void proposeProgramsDir(void);
int finishShortcuts(int withDesktop);
// 1 when the shortcut page (Finish or Cancel) last wrote every registry value; 0 when it did
// not, or never wrote them (the page went before either was pressed).
int productRegistered(void);

// The directory browser the destination page's Browse button opens.
INT_PTR CALLBACK DirectoryBrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The Start-menu folder browser the shortcut page's Browse button opens.
INT_PTR CALLBACK FolderBrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Destination helpers the directory browser shares with the destination page.
// Fills the drive table, selectedDrive, baseDir and freeKB with the default destination.
void chooseDefaultDestination(void);
// The refusal of a drive with less than REQUIRED_KB free, shown by the page and the browser.
extern const char LOW_SPACE_WARNING[];
// Refuses, with a message over window that names it, a destination that is not a plain full
// path, is a drive, the Windows, a system or a Program Files folder itself, or is or lies in a
// junction or symbolic link. Returns 1 when refused (the message was shown), 0 when path may be
// the destination.
int refuseUnsafeDestination(HWND window, const char *path);
// Sets freeKB from the free space of entry drive of driveRoots; 0 when it cannot be asked.
void updateFreeSpace(int drive);

// WM_PAINT handler of the four wizard pages: copies the page picture, unscaled, to the page's
// top-left corner. Returns 0.
INT_PTR paintPagePicture(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Asks "Are you sure you want to cancel the setup?" over the page (Yes and No), as the
// agreement and destination pages do. TRUE when the user answered Yes.
BOOL confirmCancel(HWND page);

// The list both browsers fill: the directory browser (mode 0) and the Start-menu folder browser
// (mode 1). The image positions and lastItemIndex live in SetupState; one browser is open at a
// time.
enum { LIST_MODE_DIRECTORY = 0, LIST_MODE_START_MENU = 1 };
// Creates the 16 x 16 masked image list of icons 201, 202 and 203, stores their positions in
// folderImage, upImage and newFolderImage, and attaches it to list as its small-image list.
void attachBrowserImages(HWND list);
// Refills list with the go-up item (when path is below its root in that mode), the
// subdirectories of path and the folder-name item, and shows the resulting path in the mode's
// path field of dialog (102 or 211). path is not changed: the search pattern is built beside it.
// A directory that cannot be listed shows the go-up and folder-name items only.
void listDirectory(HWND dialog, HWND list, const char *path, int mode);
// Inserts one item with its text, image and item data (position in the high 16 bits) at
// position; the list's own sorting decides where it shows.
void addListItem(HWND list, const char *text, int position, int image);
// TRUE when the item at the sorted-list position is the go-up item, told by its item data and
// not by its position: a name such as "!tools" may sort before "........".
BOOL isGoUpItem(HWND list, int position);
// Lets list take the Enter key from its dialog, so Enter opens the selected item.
void takeListKeys(HWND list);
// Answers a browser list's notification by moving path (a buffer of PATH_BUFFER characters) in
// the mode, the way the system's folder lists move: a double-click or Enter opens the selected
// item (the go-up item goes up), Backspace goes up, and the list is then refilled with the folder
// left or its first item as the current one. The list taking the focus with nothing selected
// selects an item. Returns 1 when a move was refused as too long, else 0.
int answerListNotification(HWND dialog, const NMHDR *header, char *path, int mode);
// Reads the text of the item at the sorted-list position into text (size characters with the
// terminator; LIST_TEXT_MAX + 1 holds any item). FALSE, text empty, when there is no such item.
BOOL readListItemText(HWND list, int position, char *text, int size);
