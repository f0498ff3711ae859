// Process entry: restricts the DLL search, reads the switches, then either installs unattended
// or registers the main window class, creates the window and runs the one message loop of the
// process. The process's exit code says how the installation ended (0 installed, 1 cancelled,
// 2 failed, 1618 another installer running).
#include <windows.h>

#include "common/common_controls.h"
#include "common/dll_search.h"
#include "common/setup_log.h"
#include "common/setup_state.h"
#include "common/setup_switches.h"
#include "product_version.h"
#include "resources/resource.h"
#include "shell/main_window.h"
#include "shell/unattended.h"

static const char COMMON_CONTROLS_MISSING[] =
    "Setup cannot start: the system's common controls library (comctl32.dll) could not be "
    "loaded.";
static const char ALREADY_RUNNING[] = PRODUCT_NAME " Setup is already running.";
static const char SWITCHES_HELP[] =
    "Quillary Setup switches:\n\n"
    "/S\tInstall unattended: no window, no message.\n"
    "/D=<folder>\tThe destination folder (with /S only). Last on the line,\n"
    "\twithout quotes, blanks included: /S /D=C:\\Apps\\Quillary Test\n"
    "/LOG=<file>\tWrite a log of the installation to the file\n"
    "\t(in quotes when it has blanks).\n"
    "/?\tShow this message.\n\n"
    "Exit codes:\n"
    "0\tInstalled.\n"
    "1\tCancelled by the user.\n"
    "2\tFailed (damaged setup files, a file not written, not enough\n"
    "\tfree space, an unusable /D= folder, a newer version installed,\n"
    "\tor " PRODUCT_NAME " still running).\n"
    "1618\tAnother " PRODUCT_NAME " Setup or uninstall is running; nothing\n"
    "\twas changed. Try again later.";

// Opens the log asked for and names the run in it; a log that cannot be made is left out.
static void startLog(const SetupSwitches *switches, const char *commandLine) {
    if (switches->logPath[0] == '\0' || SetupLogOpen(switches->logPath) != 0)
        return;
    SetupLog("%s %s", SETUP_TITLE, PRODUCT_VERSION_TEXT);
    SetupLog("Command line: %s", commandLine);
    SetupLog("Mode: %s", switches->unattended ? "unattended" : "interactive");
}

static int endLog(int exitCode) {
    SetupLog("Exit code %d", exitCode);
    SetupLogClose();
    return exitCode;
}

// The interactive installation: the main window and the wizard it runs. Its exit code is the
// one the wizard recorded, whatever the quit message carries.
static int runInteractive(HINSTANCE instance) {
    if (LoadCommonControls() != 0) {
        SetupLog("%s", COMMON_CONTROLS_MISSING);
        MessageBoxA(NULL, COMMON_CONTROLS_MISSING, SETUP_CAPTION, MB_OK | MB_ICONERROR);
        return EXIT_FAILED;
    }
    LoadStringA(instance, IDS_CLASS_NAME, setup.className, sizeof(setup.className));

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
        return EXIT_FAILED;

    setup.mainWindow = CreateWindowExA(0, setup.className, setup.className, WS_POPUP | WS_VISIBLE,
                                       0, 0, 0, 0, NULL, NULL, instance, NULL);
    if (!setup.mainWindow)
        return EXIT_FAILED;
    UpdateWindow(setup.mainWindow);

    HACCEL accelerators = LoadAcceleratorsA(instance, setup.className);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return setup.exitCode;
}

// The second of two installers started together: it changes nothing, says why (a message, or
// the log of an unattended run) and ends with the code deployment tools retry on.
static int endAsSecondInstance(const SetupSwitches *switches) {
    SetupLog("%s", ALREADY_RUNNING);
    if (!switches->unattended)
        MessageBoxA(NULL, ALREADY_RUNNING, SETUP_CAPTION, MB_OK | MB_ICONEXCLAMATION);
    return endLog(EXIT_ALREADY_RUNNING);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    // One installer or uninstaller at a time, whoever started it. The handle stays open until
    // the process ends, which frees the name.
    HANDLE running = CreateMutexA(NULL, FALSE, SETUP_RUNNING_MUTEX);
    int secondInstance = running == NULL || GetLastError() == ERROR_ALREADY_EXISTS;
    // Before anything that may load a library: the installer runs as administrator, usually from
    // a Downloads folder any program can write to.
    RestrictDllSearch();
    setup.instance = instance;

    SetupSwitches switches;
    parseSetupSwitches(commandLine, &switches);
    startLog(&switches, commandLine);
    if (secondInstance)
        return endAsSecondInstance(&switches);
    if (switches.unattended)
        return endLog(RunUnattended(&switches));
    if (switches.help) {
        // Only the list was asked for: nothing failed.
        MessageBoxA(NULL, SWITCHES_HELP, SETUP_CAPTION, MB_OK | MB_ICONINFORMATION);
        return endLog(0);
    }
    return endLog(runInteractive(instance));
}
