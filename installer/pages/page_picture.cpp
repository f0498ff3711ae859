// The page picture painter: the WM_PAINT handler every wizard page shares.
#include "common/setup_state.h"
#include "pages/pages.h"

// Copies the page picture unscaled to the page's top-left corner. Before the agreement page has
// loaded the picture (or when the resource is missing) the page is painted without it.
INT_PTR paintPagePicture(HWND window, UINT, WPARAM, LPARAM) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    if (setup.pagePicture.bitmap != NULL) {
        HDC source = CreateCompatibleDC(target);
        HGDIOBJ kept = SelectObject(source, setup.pagePicture.bitmap);
        BitBlt(target, 0, 0, setup.pagePicture.width, setup.pagePicture.height, source, 0, 0,
               SRCCOPY);
        if (kept != NULL && kept != HGDI_ERROR) {
            SelectObject(source, kept);
        }
        DeleteDC(source);
    }
    EndPaint(window, &paint);
    return 0;
}
