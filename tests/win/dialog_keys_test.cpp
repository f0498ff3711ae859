// Every dialog of the installer from the keyboard, made from its own templates: each control a
// user works with is reached with Tab, and each field has just before it a label (the static
// text a screen reader names it by) whose access key brings the focus to the field.
#include <gtest/gtest.h>

#include <windows.h>

#include <ctype.h>
#include <set>
#include <string>
#include <vector>

#include "common/common_controls.h"
#include "resources/resource.h"

namespace {

const struct {
    const char *name;
    std::vector<int> fields; // what the user types in, chooses from or moves through
} DIALOGS[] = {
    {"IDD_AGREEMENT", {}},
    {"IDD_DIR", {IDC_INSTALL_DIR}},
    {"IDD_BROWSE", {IDC_FOLDER_NAME, IDC_DRIVE_BOX, IDC_DIRECTORY_LIST}},
    {"IDD_COPY", {}},
    {"IDD_SHORTCUT", {IDC_SHORTCUT_PATH}},
    {"IDD_BROWSE_SHORTCUT", {IDC_FOLDER_LIST}},
};

INT_PTR CALLBACK plainDialog(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

std::string classOf(HWND control) {
    char name[64] = "";
    GetClassNameA(control, name, sizeof name);
    return name;
}

// The letter after a single ampersand of the control's text, lower case; 0 when there is none.
char accessKey(HWND control) {
    char text[256] = "";
    GetWindowTextA(control, text, sizeof text);
    for (const char *c = text; c[0] != '\0' && c[1] != '\0'; c++) {
        if (c[0] == '&' && c[1] != '&')
            return (char)tolower((unsigned char)c[1]);
        c += c[0] == '&';
    }
    return 0;
}

} // namespace

TEST(DialogKeys, EveryControlIsATabStopAndEveryFieldHasALabelWithAnAccessKeyBeforeIt) {
    ASSERT_EQ(LoadCommonControls(), 0) << "the browsers' list view class";
    const std::set<std::string> workedWith = {"Button", "Edit", "ComboBox", WC_LISTVIEWA};
    for (const auto &row : DIALOGS) {
        SCOPED_TRACE(row.name);
        HWND dialog = CreateDialogParamA(GetModuleHandleA(NULL), row.name, NULL, plainDialog, 0);
        ASSERT_NE(dialog, (HWND)NULL);
        HWND first = GetNextDlgTabItem(dialog, NULL, FALSE);
        std::set<HWND> stops;
        for (HWND stop = first; stop != NULL && stops.insert(stop).second;)
            stop = GetNextDlgTabItem(dialog, stop, FALSE);
        for (HWND c = GetWindow(dialog, GW_CHILD); c != NULL; c = GetWindow(c, GW_HWNDNEXT)) {
            EXPECT_TRUE(!workedWith.count(classOf(c)) || stops.count(c))
                << "control " << GetDlgCtrlID(c) << " is not reached with Tab";
            LONG type = GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK;
            bool checkBox = type == BS_AUTOCHECKBOX || type == BS_CHECKBOX;
            EXPECT_TRUE(classOf(c) != "Button" || !checkBox || accessKey(c) != 0)
                << "check box " << GetDlgCtrlID(c) << " has no access key";
        }
        for (int id : row.fields) {
            HWND field = GetDlgItem(dialog, id), label = GetWindow(field, GW_HWNDPREV);
            ASSERT_TRUE(field != NULL && label != NULL) << "field " << id;
            EXPECT_EQ(classOf(label), "Static") << "before field " << id;
            char key = accessKey(label);
            EXPECT_NE(key, 0) << "the label before field " << id << " has no access key";
            // Alt and the key, as the dialog's message loop takes them from the focused control.
            SetFocus(first);
            MSG alt = {GetFocus(), WM_SYSCHAR, (WPARAM)key, 1 | (1 << 29), 0, {0, 0}};
            IsDialogMessageA(dialog, &alt);
            EXPECT_EQ(GetFocus(), field) << "Alt+" << key << " does not reach field " << id;
        }
        DestroyWindow(dialog);
    }
}
