// The product's program running while its files are to be replaced or removed: found by the
// mutex it holds, asked to close, waited for. The installer and the uninstaller share it.
#pragma once

#include <windows.h>

// How long an unattended run waits for the program to end once its windows were asked to close.
enum { PRODUCT_CLOSE_WAIT_MS = 10000 };

// The question shown while the program runs (Retry and Cancel).
extern const char PRODUCT_RUNNING_QUESTION[];

// 1 while the product's program runs (its mutex exists), 0 otherwise.
int isProductRunning(void);

// Unattended: asks every top-level window of the program's class to close (WM_CLOSE), then waits
// up to PRODUCT_CLOSE_WAIT_MS for the program to end. Returns 0 when it is not running (also
// when it was not running at all), 1 when it still runs.
int closeRunningProduct(void);

// Interactive: while the program runs, asks the user to close it (Retry and Cancel, over owner,
// with caption). Returns 0 when it is not running, 1 when the user chose Cancel.
int confirmProductClosed(HWND owner, const char *caption);
