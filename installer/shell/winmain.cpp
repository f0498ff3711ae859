// Process entry: registers the main window class, creates the window and runs the one message
// loop of the process. The command line and the show command are ignored.
#include <windows.h>

#include "common/setup_state.h"
#include "resources/resource.h"
#include "shell/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
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
