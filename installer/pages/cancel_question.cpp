// The cancel question the wizard pages ask before they end with the cancel result.
#include "common/setup_state.h"
#include "pages/pages.h"

static const char CANCEL_QUESTION[] = "Are you sure you want to cancel the setup?";

BOOL confirmCancel(HWND page) {
    return MessageBoxA(page, CANCEL_QUESTION, SETUP_CAPTION, MB_ICONQUESTION | MB_YESNO) == IDYES;
}
