// The process-wide SetupState record and MakeDirectory.
#include "common/setup_state.h"

#include "common/folder_security.h"
#include "common/setup_log.h"

SetupState setup;

const char SETUP_CAPTION[] = SETUP_TITLE;

BOOL MakeDirectory(const char *path) {
    BOOL made = createProtectedFolder(path);
    DWORD error = made ? ERROR_SUCCESS : GetLastError();
    if (made)
        SetupLog("Made the folder %s (SYSTEM and Administrators full control, Users read)", path);
    else if (error == ERROR_ALREADY_EXISTS)
        SetupLog("The folder %s exists already: its permissions are kept", path);
    SetLastError(error);
    return made;
}
