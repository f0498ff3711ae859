// What an installation of the product leaves on the machine, read and set up from outside the
// programs under test: the payload's file names from the manifest, folder trees, HKLM keys and
// values, and shell link files. Files are read, written and removed with installer_run.h.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "installed_system.h"

namespace installed {

// The payload's file names in archive order, read from the source tree's product/manifest.txt
// (QUILLARY_SOURCE_DIR); empty when it cannot be read.
std::vector<std::string> manifestFileNames();
// The first-level folders those names need.
std::vector<std::string> manifestFolders();

// Every file and folder below root, "\\"-separated relative names, folders ending in "\\".
std::vector<std::string> listTree(const std::string &root);
// listTree with each file's size and a hash of its bytes, a line each: two snapshots are equal
// when nothing below root was added, removed or changed.
std::string snapshotTree(const std::string &root);

// HKEY_LOCAL_MACHINE keys and string values (installed_system.h reads them).
bool writeString(const std::string &key, const std::string &value, const std::string &data);
// Every value and subkey below key as "sub\\key|name=data" lines, sorted; "" when missing.
std::string describeKey(const std::string &key);

// Makes linkPath a symbolic link of the file system to the folder target (both Windows paths),
// with the host's own ln: Wine shows such a link as a reparse point, and cannot make one
// itself. False when the link is not there afterwards.
bool makeFolderLink(const std::string &target, const std::string &linkPath);
// Removes such a link, and only the link: Wine's RemoveDirectory would remove the folder it
// leads to.
void removeFolderLink(const std::string &linkPath);

// Makes linkPath a symbolic link of the file system to the file target (replacing any link of
// that name), with the host's own ln. False when linkPath does not lead to a file afterwards.
bool makeFileLink(const std::string &target, const std::string &linkPath);
// Removes such a link, and only the link; done once linkPath no longer leads anywhere.
void removeFileLink(const std::string &linkPath);

// Writes a shell link to target at linkPath.
bool makeLink(const std::string &target, const std::string &linkPath);

} // namespace installed
