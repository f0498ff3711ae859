// Process entry: restricts the DLL search, registers the main window class, creates the window
// and runs the one message loop of the process. The command line and the show command are
// ignored.
#include <windows.h>

#include "common/common_controls.h"
#include "common/dll_search.h"
#include "common/setup_state.h"
#include "resources/resource.h"
#include "shell/main_window.h"

static const char COMMON_CONTROLS_MISSING[] =
    "Setup cannot start: the system's common controls library (comctl32.dll) could not be "
    "loaded.";

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything that may load a library: the installer runs as administrator, usually from
    // a Downloads folder any program can write to.
    RestrictDllSearch();
    if (LoadCommonControls() != 0) {
        MessageBoxA(NULL, COMMON_CONTROLS_MISSING, SETUP_CAPTION, MB_OK | MB_ICONERROR);
        return 2;
    }
    LoadStringA(instance, IDS_CLASS_NAME, setup.className, sizeof(setup.className));
    setup.instance = instance;

    WNDCLASSA windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_MENUTEXT + 1);
    windowClass.lpszMenuName = setup.className;
    windowClass.lpszClassName = setup.className;
    if (!RegisterClassA(&windowClass) && !RegisterClassA(&windowClass))
        return 0;

    setup.mainWindow = CreateWindowExA(0, setup.className, setup.className, WS_POPUP | WS_VISIBLE,
                                       0, 0, 0, 0, NULL, NULL, instance, NULL);
    if (!setup.mainWindow)
        return 0;
    UpdateWindow(setup.mainWindow);

    HACCEL accelerators = LoadAcceleratorsA(instance, setup.className);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return (int)msg.wParam;
}
