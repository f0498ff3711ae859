// Shell shortcuts: one link file per call through the shell link object.
#include "system/shortcut.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <string.h>

#include "common/paths.h"

HRESULT CreateShortcut(const char *targetPath, const char *linkPath, const char *description) {
    if (strlen(linkPath) >= SHELL_PATH_BUFFER)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    CoInitialize(NULL);
    IShellLinkA *link = NULL;
    HRESULT status = CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      (void **)&link);
    if (SUCCEEDED(status)) {
        link->SetPath(targetPath);
        link->SetDescription(description);
        IPersistFile *file = NULL;
        status = link->QueryInterface(IID_IPersistFile, (void **)&file);
        if (SUCCEEDED(status)) {
            WCHAR widePath[SHELL_PATH_BUFFER];
            MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, SHELL_PATH_BUFFER);
            status = file->Save(widePath, TRUE);
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return status;
}
