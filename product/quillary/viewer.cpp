// Quillary.exe: a window titled "Quillary" that shows the bitmap file named on the command line,
// or the product's picture and version when it is started without one.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bitmap_file.h"
#include "command_line.h"
#include "common/product.h"
#include "product_resources.h"
#include "shell/message_table.h"

static const char CLASS_NAME[] = PRODUCT_WINDOW_CLASS;
static const char TITLE[] = "Quillary";
static const char VERSION_LINE[] = "Quillary version " QUILLARY_VERSION_TEXT;
// Files above this size are refused before they are read.
static const DWORD LARGEST_FILE = 128u * 1024 * 1024;
// The client area never gets smaller than this, so the version line fits.
static const int SMALLEST_WIDTH = 240, SMALLEST_HEIGHT = 120;
// Height of the line under the product's picture that carries the version.
static const int VERSION_LINE_HEIGHT = 28;

// What the window shows: the document's checked bytes, or the product's picture.
struct ViewerState {
    HINSTANCE instance;
    HBITMAP productPicture;
    SIZE pictureSize;
    unsigned char *document; // NULL when no document is shown
    BitmapLayout layout;
};
static ViewerState viewer;

// Why a document cannot be shown, as the sentence after its path.
static const char *const DOCUMENT_FAULTS[] = {
    "",
    "It is not a bitmap picture.",
    "The bitmap is damaged.",
    "Quillary does not show bitmaps of this kind (compressed, or larger than 16384 pixels).",
    "It does not exist or cannot be read.",
    "The file is too large to show.",
};
enum { DOCUMENT_UNREADABLE = 4, DOCUMENT_TOO_LARGE = 5 };

// Reads path whole into a new block (*data, released with free). 0, or a DOCUMENT_FAULTS index.
static int readDocument(const char *path, unsigned char **data, DWORD *size) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return DOCUMENT_UNREADABLE;
    DWORD high = 0;
    DWORD length = GetFileSize(file, &high);
    int fault = 0;
    if (length == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        fault = DOCUMENT_UNREADABLE;
    else if (high != 0 || length > LARGEST_FILE)
        fault = DOCUMENT_TOO_LARGE;
    unsigned char *block = fault == 0 ? (unsigned char *)malloc(length + 1) : NULL;
    DWORD got = 0;
    if (fault == 0 &&
        (block == NULL || !ReadFile(file, block, length, &got, NULL) || got != length))
        fault = block == NULL ? DOCUMENT_TOO_LARGE : DOCUMENT_UNREADABLE;
    CloseHandle(file);
    if (fault != 0) {
        free(block);
        return fault;
    }
    *data = block;
    *size = length;
    return 0;
}

// Loads the document into viewer, or tells the user why it cannot be shown.
static void openDocument(HWND window, const char *path) {
    unsigned char *data = NULL;
    DWORD size = 0;
    int fault = readDocument(path, &data, &size);
    if (fault == 0)
        fault = checkBitmapFile(data, size, &viewer.layout);
    if (fault == 0) {
        viewer.document = data;
        return;
    }
    free(data);
    char message[MAX_PATH + 200];
    snprintf(message, sizeof(message), "Quillary cannot show the file\n%s\n\n%s", path,
             DOCUMENT_FAULTS[fault]);
    MessageBoxA(window, message, TITLE, MB_OK | MB_ICONERROR);
}

// The client size the window asks for: the document's or the picture's, never below the
// smallest size.
static SIZE wantedClientSize() {
    SIZE size = viewer.pictureSize;
    size.cy += VERSION_LINE_HEIGHT;
    if (viewer.document != NULL) {
        size.cx = viewer.layout.width;
        size.cy = abs(viewer.layout.height);
    }
    if (size.cx < SMALLEST_WIDTH)
        size.cx = SMALLEST_WIDTH;
    if (size.cy < SMALLEST_HEIGHT)
        size.cy = SMALLEST_HEIGHT;
    return size;
}

// Sizes the window around wantedClientSize, kept within the work area.
static void fitWindow(HWND window) {
    SIZE client = wantedClientSize();
    RECT frame = {0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&frame, (DWORD)GetWindowLongPtrA(window, GWL_STYLE), FALSE,
                       (DWORD)GetWindowLongPtrA(window, GWL_EXSTYLE));
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    if (width > work.right - work.left)
        width = work.right - work.left;
    if (height > work.bottom - work.top)
        height = work.bottom - work.top;
    SetWindowPos(window, NULL, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

static void paintDocument(HDC dc) {
    const BitmapLayout &layout = viewer.layout;
    int rows = abs(layout.height);
    StretchDIBits(
        dc, 0, 0, layout.width, rows, 0, 0, layout.width, rows, viewer.document + layout.bitsOffset,
        (const BITMAPINFO *)(viewer.document + layout.infoOffset), DIB_RGB_COLORS, SRCCOPY);
}

static void paintProductPicture(HWND window, HDC dc) {
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, viewer.productPicture);
    BitBlt(dc, 0, 0, viewer.pictureSize.cx, viewer.pictureSize.cy, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);

    RECT client;
    GetClientRect(window, &client);
    RECT line = {0, viewer.pictureSize.cy, client.right,
                 viewer.pictureSize.cy + VERSION_LINE_HEIGHT};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextA(dc, VERSION_LINE, -1, &line, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

static INT_PTR ViewerPaint(HWND window, UINT, WPARAM, LPARAM) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (viewer.document != NULL)
        paintDocument(dc);
    else
        paintProductPicture(window, dc);
    EndPaint(window, &paint);
    return 0;
}

static INT_PTR ViewerDestroy(HWND, UINT, WPARAM, LPARAM) {
    PostQuitMessage(0);
    return 0;
}

static const MessageEntry VIEWER_MESSAGE_ROWS[] = {
    {WM_PAINT, ViewerPaint},
    {WM_DESTROY, ViewerDestroy},
};
static const MessageTable VIEWER_MESSAGES = {TABLE_ROWS(VIEWER_MESSAGE_ROWS), VIEWER_MESSAGE_ROWS,
                                             DEFAULT_WINDOW};

static LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessageTable(&VIEWER_MESSAGES, window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    // Held until the process ends: while it exists, an installer or uninstaller knows the
    // program is running and asks it to close before replacing or removing its files.
    CreateMutexA(NULL, FALSE, PRODUCT_RUNNING_MUTEX);
    viewer.instance = instance;
    viewer.productPicture = (HBITMAP)LoadImageA(instance, MAKEINTRESOURCEA(IDB_PRODUCT_PICTURE),
                                                IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR);
    BITMAP picture;
    if (viewer.productPicture != NULL &&
        GetObjectA(viewer.productPicture, sizeof(picture), &picture)) {
        viewer.pictureSize.cx = picture.bmWidth;
        viewer.pictureSize.cy = picture.bmHeight;
    }

    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof(windowClass));
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = ViewerProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_QUILLARY));
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = CLASS_NAME;
    if (!RegisterClassA(&windowClass))
        return 1;
    HWND window =
        CreateWindowExA(0, CLASS_NAME, TITLE, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        SMALLEST_WIDTH, SMALLEST_HEIGHT, NULL, NULL, instance, NULL);
    if (window == NULL)
        return 1;

    fitWindow(window);
    ShowWindow(window, show);
    UpdateWindow(window);
    // The window is up before a message about the document, which it then owns.
    char self[MAX_PATH], document[MAX_PATH];
    DWORD selfLength = GetModuleFileNameA(NULL, self, sizeof(self));
    if (selfLength == 0 || selfLength >= sizeof(self))
        self[0] = '\0';
    if (commandLineDocument(GetCommandLineA(), self, document, sizeof(document)) != 0) {
        MessageBoxA(window, "Quillary cannot show the file: its name is too long.", TITLE,
                    MB_OK | MB_ICONERROR);
    } else if (document[0] != '\0') {
        openDocument(window, document);
        fitWindow(window);
        InvalidateRect(window, NULL, TRUE);
    }

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}
