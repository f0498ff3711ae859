// The unattended installation (/S): the interactive defaults, with no window and no message box.
#pragma once

#include "common/setup_switches.h"

// Installs into the /D= folder, or the folder the destination page would propose (an existing
// installation's own), with the free-space rule of that page, the copy with its checks, the
// registry entries and the program group with its three shortcuts (no desktop shortcut); an
// installation in another folder is removed once the copy is whole. Returns the process's exit
// code: EXIT_INSTALLED, or EXIT_FAILED when a newer version is installed, the product's program
// would not close, the destination is unusable or too small, or the copy failed.
int RunUnattended(const SetupSwitches *switches);
