// Planted DLLs: copies of the marker DLL put next to a program under the names of system DLLs,
// with Wine told to prefer a native copy of those names, and the markers that show which were
// loaded. Wine takes its builtin DLL in place of a file of the same name unless told otherwise,
// so without the overrides a planted DLL would never show.
#pragma once

#include <string>
#include <vector>

namespace markers {

// Names that the shell, COM and the common controls load on demand (version.dll is left out:
// Wine's own builtins import it before a program's first instruction).
const std::vector<std::string> &onDemandNames();

// Copies the marker DLL into folder as "<name>.dll" for each name; false when one failed.
bool plant(const std::string &folder, const std::vector<std::string> &names);
// Deletes every marker left so far.
void clear();
// The module names that left a marker ("uxtheme.dll", ...), sorted.
std::vector<std::string> found();

// The WINEDLLOVERRIDES entry that makes Wine prefer native copies of names. Wine reads it from
// the host environment of the first Wine process only (a value set from a Windows program does
// not reach the programs it starts), so the scenarios run in their own ctest entry that sets it;
// they check that it is in force.
std::string nativeFirstEntry(const std::vector<std::string> &names);
// True when this process's WINEDLLOVERRIDES holds that entry.
bool nativeFirstInForce(const std::vector<std::string> &names);

} // namespace markers
