// Every dialog of the installer from the keyboard, made from its own templates: each control a
// user works with is reached with Tab, each field has a label with an access key just before it
// (the static text a screen reader names the field by), and that key brings the focus to the
// field; no two access keys of a dialog are the same.
#include <gtest/gtest.h>

#include <windows.h>

#include <ctype.h>
#include <set>
#include <string>
#include <vector>

#include "common/common_controls.h"
#include "resources/resource.h"

namespace {

struct DialogFields {
    const char *templateName;
    std::vector<int> fields; // what the user types in, chooses from or moves through
};

const DialogFields DIALOGS[] = {
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

std::string textOf(HWND control) {
    char text[256] = "";
    GetWindowTextA(control, text, sizeof text);
    return text;
}

LONG styleOf(HWND control) { return GetWindowLongA(control, GWL_STYLE); }

// The letter after a single ampersand, lower case; 0 when the text has no access key.
char accessKey(const std::string &text) {
    for (size_t i = 0; i + 1 < text.size(); i++) {
        if (text[i] != '&')
            continue;
        if (text[i + 1] != '&')
            return (char)tolower((unsigned char)text[i + 1]);
        i++;
    }
    return 0;
}

bool isField(HWND control) {
    std::string name = classOf(control);
    return (lstrcmpiA(name.c_str(), "Edit") == 0 && !(styleOf(control) & ES_READONLY)) ||
           lstrcmpiA(name.c_str(), "ComboBox") == 0 || name == WC_LISTVIEWA;
}

bool isWorkedWith(HWND control) {
    std::string name = classOf(control);
    return lstrcmpiA(name.c_str(), "Button") == 0 || lstrcmpiA(name.c_str(), "Edit") == 0 ||
           isField(control);
}

bool isCheckBox(HWND control) {
    LONG type = styleOf(control) & BS_TYPEMASK;
    return lstrcmpiA(classOf(control).c_str(), "Button") == 0 &&
           (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX);
}

// Alt with key, as the dialog's message loop takes it from the focused control.
void pressAccessKey(HWND dialog, char key) {
    MSG message = {};
    message.hwnd = GetFocus() != NULL ? GetFocus() : dialog;
    message.message = WM_SYSCHAR;
    message.wParam = (WPARAM)key;
    message.lParam = 1 | (1 << 29); // one key, Alt held
    IsDialogMessageA(dialog, &message);
}

// Every control Tab and Shift+Tab go round, from the first tab stop.
std::set<HWND> tabStops(HWND dialog) {
    std::set<HWND> stops;
    HWND first = GetNextDlgTabItem(dialog, NULL, FALSE);
    for (HWND stop = first; stop != NULL && stops.insert(stop).second;)
        stop = GetNextDlgTabItem(dialog, stop, FALSE);
    return stops;
}

void checkDialog(const DialogFields &row) {
    SCOPED_TRACE(row.templateName);
    HWND dialog =
        CreateDialogParamA(GetModuleHandleA(NULL), row.templateName, NULL, plainDialog, 0);
    ASSERT_NE(dialog, (HWND)NULL);
    std::set<HWND> stops = tabStops(dialog);
    std::set<HWND> fields;
    for (int id : row.fields) {
        HWND field = GetDlgItem(dialog, id);
        EXPECT_NE(field, (HWND)NULL) << "no field " << id;
        fields.insert(field);
    }
    std::multiset<char> keys;
    for (HWND control = GetWindow(dialog, GW_CHILD); control != NULL;
         control = GetWindow(control, GW_HWNDNEXT)) {
        int id = GetDlgCtrlID(control);
        char key = accessKey(textOf(control));
        EXPECT_TRUE(!isWorkedWith(control) || stops.count(control))
            << "control " << id << " is not a tab stop";
        EXPECT_TRUE(!isField(control) || fields.count(control))
            << "control " << id << " is a field the table lacks";
        EXPECT_TRUE(!isCheckBox(control) || key != 0) << "check box " << id << " has no access key";
        if (key != 0)
            keys.insert(key);
    }
    for (char key : keys)
        EXPECT_EQ(keys.count(key), 1u) << "access key " << key << " is used twice";
    for (HWND field : fields) {
        if (field == NULL)
            continue;
        int id = GetDlgCtrlID(field);
        HWND label = GetWindow(field, GW_HWNDPREV);
        ASSERT_NE(label, (HWND)NULL) << "field " << id << " has nothing before it";
        EXPECT_EQ(lstrcmpiA(classOf(label).c_str(), "Static"), 0)
            << "before field " << id << ": a " << classOf(label) << ", not a label";
        char key = accessKey(textOf(label));
        EXPECT_NE(key, 0) << "the label \"" << textOf(label) << "\" of field " << id
                          << " has no access key";
        if (key == 0)
            continue;
        SetFocus(GetNextDlgTabItem(dialog, NULL, FALSE));
        pressAccessKey(dialog, key);
        EXPECT_EQ(GetFocus(), field) << "Alt+" << key << " does not reach field " << id;
    }
    DestroyWindow(dialog);
}

} // namespace

TEST(DialogKeys, EveryControlIsATabStopAndEveryFieldHasALabelWithAnAccessKeyBeforeIt) {
    ASSERT_EQ(LoadCommonControls(), 0) << "the list view class is needed by the browsers";
    for (const DialogFields &row : DIALOGS)
        checkDialog(row);
}
