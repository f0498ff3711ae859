// Every registry access of the installer: the all-users shell folders it reads and the product
// entries it writes, all under HKEY_LOCAL_MACHINE.
#pragma once

#include <stddef.h>

// Reads the Shell Folders value valueName (read into a 512-byte buffer) into path, a buffer of
// pathSize bytes, without one trailing backslash. Returns 1 when a non-empty folder path was
// copied; 0 when the key or value is missing, the value is longer than 511 characters, empty, or
// would not fit pathSize. On 0 path is left as the caller had it.
int ReadShellFolder(const char *valueName, char *path, size_t pathSize);

// Writes App Paths\Quillary: the product name and "Path" = installDir; and App Paths\Quillary.exe:
// the program's full path and "Path" = installDir. Does nothing when the App Paths key cannot be
// opened; that key is never created. Returns 0 when every value was written, 1 otherwise (each
// failure logged).
int RegisterAppPath(void);

// Writes Uninstall\Quillary: "DisplayName", "UninstallString" (uninstallerPath, quoted), "Scdir"
// (groupPath) and "Progdir" (installDir), then "DisplayIcon", "DisplayVersion", "Publisher",
// "InstallLocation" and the numbers "EstimatedSize", "NoModify" and "NoRepair". Does nothing
// when the Uninstall key cannot be opened. Returns 0 when every value was written, 1 otherwise.
int RegisterUninstallEntry(const char *uninstallerPath, const char *groupPath);

// Writes the document class QLRDOC1.Image below SOFTWARE\Classes with its icon and its open
// command. Returns 0 when every value was written, 1 otherwise.
int RegisterDocumentType(void);
