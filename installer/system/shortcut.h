// Shell shortcut files made by the platform's shell link object.
#pragma once

#include <windows.h>

// Writes the shortcut linkPath (a ".lnk" file, replaced when it exists) that opens targetPath and
// shows description as its comment; nothing else is set. COM is initialised and released within
// the call. Returns the COM status: negative when the link object could not be made, could not
// save, or linkPath is 260 characters or longer (refused before any COM call, since the shell
// takes no longer path); zero or positive when the file was written.
HRESULT CreateShortcut(const char *targetPath, const char *linkPath, const char *description);
