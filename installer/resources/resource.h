// Resource and control ids shared by the resource scripts and the code.
#pragma once

// Icons: the window class icon and the three browser list icons.
#define IDI_SETUP 200
#define IDI_FOLDER 201
#define IDI_UP 202
#define IDI_NEW_FOLDER 203

// String table.
#define AGREEMENT_TEXT_ID 150
#define IDS_CLASS_NAME 301

// The payload: one gzip member carried as raw data.
#define PAYLOAD_RESOURCE_ID 15734

// The page picture is a named bitmap resource: the scripts write the bare word IDB_VESTRAL and
// the code loads it by this name, so IDB_VESTRAL itself must never be defined as a number.
#define PAGE_PICTURE_NAME "IDB_VESTRAL"

// Controls of the agreement page.
#define IDC_AGREEMENT_TEXT 151

// Controls of the destination page.
#define IDC_BROWSE 100
#define IDC_INSTALL_DIR 101

// Controls of the copy page.
#define IDC_PROGRESS_STRIP 214
#define IDC_COPY_STATUS 215

// Controls of the directory browser.
#define IDC_BROWSE_PATH 102
#define IDC_SPACE_LABEL 103
#define IDC_DRIVE_BOX 104
#define IDC_FOLDER_NAME 105
#define IDC_DIRECTORY_LIST 107

// Controls of the shortcut page (its Browse button is IDC_BROWSE as on the destination page):
// the field showing the programs folder, then the group folder, and the desktop check box.
#define IDC_SHORTCUT_PATH 101
#define IDC_DESKTOP_SHORTCUT 110

// Controls of the Start-menu folder browser: the group path field and the folder list.
#define IDC_GROUP_PATH 211
#define IDC_FOLDER_LIST 212
