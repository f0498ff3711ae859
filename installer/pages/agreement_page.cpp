// Agreement page: shows the product's agreement in a read-only field; "I Agree" goes on.
// As the first page it also loads the page picture every wizard page paints.
#include "common/setup_state.h"
#include "pages/pages.h"
#include "resources/resource.h"
#include "shell/message_table.h"

// Bytes the agreement text is loaded into: at most 6999 characters are shown.
enum { AGREEMENT_BUFFER = 7000 };

static void loadPagePicture(void) {
    BITMAP description;
    setup.pagePicture.bitmap = LoadBitmapA(setup.instance, PAGE_PICTURE_NAME);
    if (setup.pagePicture.bitmap == NULL)
        return;
    if (GetObjectA(setup.pagePicture.bitmap, sizeof(description), &description) ==
        sizeof(description)) {
        setup.pagePicture.width = description.bmWidth;
        setup.pagePicture.height = description.bmHeight;
    }
}

static INT_PTR AgreementPageInit(HWND window, UINT, WPARAM, LPARAM) {
    static char agreement[AGREEMENT_BUFFER];
    loadPagePicture();
    // A missing string leaves the field empty: LoadStringA then copies nothing.
    agreement[0] = '\0';
    LoadStringA(setup.instance, AGREEMENT_TEXT_ID, agreement, AGREEMENT_BUFFER);
    SetDlgItemTextA(window, IDC_AGREEMENT_TEXT, agreement);
    SetFocus(GetDlgItem(window, IDOK));
    return TRUE;
}

static INT_PTR AgreementPageCommand(HWND window, UINT commandId, UINT, LPARAM) {
    if (commandId == IDOK) {
        EndDialog(window, 0);
    } else if (confirmCancel(window)) {
        EndDialog(window, 1);
    }
    return 0;
}

static const CommandEntry AGREEMENT_COMMAND_ROWS[] = {
    {IDOK, AgreementPageCommand},
    {IDCANCEL, AgreementPageCommand},
};
static const CommandTable AGREEMENT_COMMANDS = {TABLE_ROWS(AGREEMENT_COMMAND_ROWS),
                                                AGREEMENT_COMMAND_ROWS, DEFAULT_NONE};

static INT_PTR AgreementPageDispatchCommand(HWND window, UINT, WPARAM wParam, LPARAM lParam) {
    return dispatchCommandTable(&AGREEMENT_COMMANDS, window, wParam, lParam);
}

static const MessageEntry AGREEMENT_MESSAGE_ROWS[] = {
    {WM_COMMAND, AgreementPageDispatchCommand},
    {WM_INITDIALOG, AgreementPageInit},
    {WM_PAINT, paintPagePicture},
};
static const MessageTable AGREEMENT_MESSAGES = {TABLE_ROWS(AGREEMENT_MESSAGE_ROWS),
                                                AGREEMENT_MESSAGE_ROWS, DEFAULT_NONE};

INT_PTR CALLBACK AgreementPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessageTable(&AGREEMENT_MESSAGES, window, message, wParam, lParam);
}
