// Wizard sequence: the four pages in their fixed order, then one closing message.
#include "shell/wizard.h"

#include <shellapi.h>

#include <stdio.h>

#include "common/file_removal.h"
#include "common/running_program.h"
#include "common/setup_log.h"
#include "common/setup_state.h"
#include "common/setup_switches.h"
#include "pages/pages.h"
#include "product_version.h"
#include "system/existing_installation.h"

const char CANCEL_MESSAGE[] =
    "Setup was canceled. Any notes or errors you can send on my email: setup@quillary.example";
const char SUCCESS_FORMAT[] = "%s was successfully %s";
static const char DOWNGRADE_FORMAT[] =
    "A newer version of " PRODUCT_NAME " (%s) is already installed. This setup installs version "
    "%s.\n\nDo you want to replace the newer version with this older one?";

// Runs one page modally over the main window; -1 (no template) counts as a cancel like 1. Once
// the main window has been closed under a page (the page went with it), nothing more is shown:
// the closed window counts as a cancel, whatever the gone page's dialog result says.
static INT_PTR runPage(HWND window, const char *templateName, DLGPROC procedure) {
    INT_PTR result = DialogBoxParamA(setup.instance, templateName, window, procedure, 0);
    return IsWindow(window) ? result : 1;
}

// The success message, then, once it is dismissed, the program group in a shell window. With no
// group (the shortcut page was cancelled) nothing is opened: the shell, handed an empty path,
// would open whatever folder is current.
static void showSuccess(HWND window) {
    wsprintfA(setup.messageText, SUCCESS_FORMAT, PRODUCT_NAME, "installed");
    MessageBoxA(window, setup.messageText, SETUP_CAPTION, MB_OK | MB_ICONINFORMATION);
    if (setup.groupFolder[0] != '\0')
        ShellExecuteA(NULL, NULL, setup.groupFolder, NULL, NULL, SW_SHOWNA);
}

// A newer version installed: 0 when there is none or the user wants to replace it anyway.
static INT_PTR confirmDowngrade(HWND window) {
    if (!isDowngrade())
        return 0;
    char text[sizeof(DOWNGRADE_FORMAT) + 2 * VERSION_BUFFER];
    snprintf(text, sizeof(text), DOWNGRADE_FORMAT, existing.version, PRODUCT_VERSION_TEXT);
    int answer =
        MessageBoxA(window, text, SETUP_CAPTION, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    SetupLog("Newer version %s installed: %s", existing.version,
             answer == IDYES ? "replaced, as the user chose" : "kept, as the user chose");
    return answer == IDYES ? 0 : 1;
}

// The product's program must not run while its files are replaced. 0 once it is not running;
// on Cancel the folder the destination page made is removed again, so nothing has changed.
static INT_PTR confirmProgramClosed(HWND window) {
    if (confirmProductClosed(window, SETUP_CAPTION) == 0)
        return 0;
    SetupLog("%s is running: the user cancelled instead of closing it", PRODUCT_NAME);
    if (setup.installDirCreated)
        removeEmptyFolder(setup.installDir);
    return 1;
}

// The exit code tells whoever started the installer how it ended: installed (files and registry
// entries), cancelled, or failed (the copy sets that itself; the registry is checked here). The
// messages the user sees do not change with it.
INT_PTR RunWizard(HWND window, UINT, UINT, LPARAM) {
    findExistingInstallation();
    if (confirmDowngrade(window) == 0 && runPage(window, "IDD_AGREEMENT", AgreementPageProc) == 0 &&
        runPage(window, "IDD_DIR", DestinationPageProc) == 0 && confirmProgramClosed(window) == 0 &&
        runPage(window, "IDD_COPY", CopyPageProc) == 0) {
        // Only now, with the new copy whole, does an installation in another folder go.
        removeReplacedInstallation();
        // The shortcut page's result does not matter: the product's files are in place. Whoever
        // started the installer learns whether the registry entries were written too.
        runPage(window, "IDD_SHORTCUT", ShortcutPageProc);
        setup.exitCode = productRegistered() ? EXIT_INSTALLED : EXIT_FAILED;
        if (setup.exitCode != EXIT_INSTALLED)
            SetupLog("Installation failed: the registry entries were not all written");
        if (IsWindow(window))
            showSuccess(window);
    } else {
        if (setup.exitCode != EXIT_FAILED)
            setup.exitCode = EXIT_CANCELLED;
        SetupLog(setup.exitCode == EXIT_FAILED ? "Installation failed" : "Cancelled by the user");
        if (IsWindow(window)) {
            MessageBoxA(window, CANCEL_MESSAGE, SETUP_CAPTION, MB_OK | MB_ICONEXCLAMATION);
            // An undone copy that could not put everything back names what stays.
            if (setup.rollbackStays[0] != '\0')
                MessageBoxA(window, setup.rollbackStays, SETUP_CAPTION, MB_OK | MB_ICONWARNING);
        }
    }
    DestroyWindow(window);
    return 0;
}
