// Finding the product's program running, asking it to close and waiting for it to end.
#include "common/running_program.h"

#include "common/product.h"

const char PRODUCT_RUNNING_QUESTION[] = PRODUCT_NAME " is running. Close it, then press Retry.";

// How often the program's mutex is looked for while waiting for it to go.
static const DWORD POLL_MS = 100;

int isProductRunning(void) {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, PRODUCT_RUNNING_MUTEX);
    if (mutex == NULL)
        // A mutex that exists but may not be opened by this user still means the program runs.
        return GetLastError() == ERROR_ACCESS_DENIED;
    CloseHandle(mutex);
    return 1;
}

// Posts WM_CLOSE to one top-level window when it is of the program's class.
static BOOL CALLBACK closeProgramWindow(HWND window, LPARAM) {
    char className[sizeof(PRODUCT_WINDOW_CLASS) + 1] = "";
    GetClassNameA(window, className, sizeof(className));
    if (lstrcmpA(className, PRODUCT_WINDOW_CLASS) == 0)
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

int closeRunningProduct(void) {
    if (!isProductRunning())
        return 0;
    EnumWindows(closeProgramWindow, 0);
    for (DWORD waited = 0; waited < PRODUCT_CLOSE_WAIT_MS; waited += POLL_MS) {
        Sleep(POLL_MS);
        if (!isProductRunning())
            return 0;
    }
    return 1;
}

int confirmProductClosed(HWND owner, const char *caption) {
    while (isProductRunning()) {
        if (MessageBoxA(owner, PRODUCT_RUNNING_QUESTION, caption,
                        MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY)
            return 1;
    }
    return 0;
}
